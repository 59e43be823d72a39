#include "base/app/StyleUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "base/app/SystemInfo.h"
#include "winui/Styles.h"

namespace hv {
namespace {

TEST(StyleUtilsTest, ColorDistance) {
  struct Case {
    TColor A, B;
    int Distance;
  } cases[] = {
      {0x000000, 0xFFFFFF, 255}, {0x000000, 0x0000FF, 147}, {0x123456, 0x123456, 0},
      {0x000000, clWindow, 255}, {clBtnFace, 0xFFFFFF, 255}, {clWindow, clBtnFace, 6},
  };
  for (const auto& c : cases) EXPECT_EQ(ColorDistance(c.A, c.B), c.Distance) << std::hex << c.A << " " << c.B;
}

TEST(StyleUtilsTest, SelectStyleSwitchesBetweenLightAndDark) {
  EXPECT_EQ(StartStyleName(), L"Windows");
  InitStyleNames(L"Windows10 Dark");
  SelectStyle(false);  // light already active: nothing happens
  EXPECT_TRUE(TStyleManager::IsSystemStyle());
  EXPECT_EQ(GetStyledColor(TStyleColor::scListView, clWindow), clWindow);
  EXPECT_EQ(GetStyledSysColor(clBtnFace), clBtnFace);

  SelectStyle(true);
  EXPECT_TRUE(TStyleManager::Active().Dark);
  EXPECT_EQ(GetStyledColor(TStyleColor::scListView, clWindow), TStyleManager::Active().Window);
  EXPECT_EQ(GetStyledFontColor(TStyleFont::sfListItemTextNormal, clWindowText), TStyleManager::Active().WindowText);
  EXPECT_EQ(GetStyledSysColor(clBtnFace), TStyleManager::Active().Face);
  EXPECT_EQ(GetStyledSysColor(0x123456), 0x123456u);

  SelectStyle(false);
  EXPECT_TRUE(TStyleManager::IsSystemStyle());
}

TEST(StyleUtilsTest, AppsThemeFromTheRegistry) {
  const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
  DWORD saved = 0, size = sizeof(saved);
  bool had = RegQueryValueExW(k, L"AppsUseLightTheme", nullptr, nullptr, reinterpret_cast<BYTE*>(&saved), &size) ==
             ERROR_SUCCESS;
  RegDeleteValueW(k, L"AppsUseLightTheme");
  EXPECT_FALSE(AppsUseDarkTheme());
  for (DWORD v : {0u, 1u}) {
    RegSetValueExW(k, L"AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
    EXPECT_EQ(AppsUseDarkTheme(), v == 0);
  }
  InitStyleNames(L"Windows10 Dark");
  DWORD dark = 0;
  RegSetValueExW(k, L"AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dark), sizeof(dark));
  SelectSystemStyle();
  EXPECT_TRUE(TStyleManager::Active().Dark);
  SelectStyle(false);
  if (had)
    RegSetValueExW(k, L"AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved), sizeof(saved));
  else
    RegDeleteValueW(k, L"AppsUseLightTheme");
  RegCloseKey(k);
}

TEST(SystemInfoTest, NoScreenReaderUnderTest) { EXPECT_FALSE(IsScreenReaderActive()); }

}  // namespace
}  // namespace hv
