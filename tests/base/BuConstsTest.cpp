#include "base/settings/BuConsts.h"

#include <gtest/gtest.h>

using namespace hv;

TEST(BuConsts, PickerFormatsBeforeAndFromLocales) {
  EXPECT_EQ(PickerDateFormat, L"yyyy-MM-dd");
  EXPECT_EQ(PickerTimeFormat, L"HH:mm");
  struct Case {
    const wchar_t *locale, *date, *time;
  } cases[] = {{L"de-DE", L"dd.MM.yyyy", L"HH:mm"},
               {L"en-US", L"MM/dd/yyyy", L"hh:mm tt"},
               {L"ja-JP", L"yyyy-MM-dd", L"HH:mm"},
               {L"xx-no-such-locale", L"yyyy-MM-dd", L"HH:mm"}};
  for (const auto& c : cases) {
    TPickerFormats f = LocalePickerFormats(c.locale);
    EXPECT_EQ(f.Date, c.date) << c.locale;
    EXPECT_EQ(f.Time, c.time) << c.locale;
  }
  SetLocaleTimeFormats();
  TPickerFormats user = LocalePickerFormats();
  EXPECT_EQ(PickerDateFormat, user.Date);
  EXPECT_EQ(PickerTimeFormat, user.Time);
}

TEST(BuConsts, SettingsDefaults) {
  THvSettings s;
  const TPrinterSettings& p = s.PrinterSettings;
  EXPECT_EQ(p.PrtName, L"");
  EXPECT_EQ(p.Margins.Left, 200);
  EXPECT_EQ(p.Margins.Top, 150);
  EXPECT_EQ(p.Margins.Right, 100);
  EXPECT_EQ(p.Margins.Bottom, 150);
  EXPECT_EQ(p.FontName, L"Courier New");
  EXPECT_EQ(p.FontSize, 10);
  EXPECT_EQ(p.FontStyle, 0);
  EXPECT_EQ(p.Orientation, TPrinterOrientation::poPortrait);
  EXPECT_FALSE(s.ViewSettings.ShowToolTips);
  EXPECT_EQ(s.OtherSettings.MinPwdLength, 0);
  EXPECT_EQ(static_cast<int>(TDownMode::dmHybrid), 6);
  EXPECT_EQ(static_cast<int>(TIniLoc::ilCommand), 2);
  EXPECT_EQ(std::size(CommandPlaceholders), 10u);
  EXPECT_EQ(std::size(LogNamePlaceholders), 10u);
  EXPECT_TRUE(Is64BitProcess()) << "the suite is built for x64";
}
