// The advanced schedule options: the record into the controls and back.
#include "unattended/AdvancedScheduleDlg.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/TestSupport.h"
#include "unattended/WinTask.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

class AdvancedScheduleDlgTest : public testing::Test {
 protected:
  void SetUp() override { Application().Initialize(); }
  void TearDown() override {
    TTestHooks::Clear();
    Application().Reset();
  }
  // Runs the dialog; look sees it shown and returns the button to press.
  template <class F>
  bool Run(TAdvancedSettings& adv, F look) {
    TTestHooks::OnFormShown = [&](TForm& f) {
      auto& d = dynamic_cast<TAdvancedScheduleDialog&>(f);
      TButton& b = look(d);
      b.Click();
    };
    return ShowAdvancedSchedule(adv);
  }
};

TEST_F(AdvancedScheduleDlgTest, UnitsOfLoadedValues) {
  struct Case {
    int Interval, Limit;
    int IntervalUnit, IntervalShown, LimitUnit, LimitShown;
  };
  const Case cases[] = {
      {90, 4320, 1, 90, 0, 3}, {120, 10100, 0, 2, 0, 7}, {60, 45, 0, 1, 2, 45}, {60, 180, 0, 1, 1, 3},
      {60, 1500, 0, 1, 1, 25},
  };
  for (const Case& c : cases) {
    TAdvancedSettings adv;
    adv.MinutesInterval = c.Interval;
    adv.MinutesLimit = c.Limit;
    adv.RepeatTask = true;
    adv.UseLimit = true;
    EXPECT_TRUE(Run(adv, [&](TAdvancedScheduleDialog& d) -> TButton& {
      EXPECT_EQ(d.cbRepUnit.ItemIndex(), c.IntervalUnit) << c.Interval;
      EXPECT_EQ(d.udInterval.Position(), c.IntervalShown) << c.Interval;
      EXPECT_EQ(d.cbLimitUnit.ItemIndex(), c.LimitUnit) << c.Limit;
      EXPECT_EQ(d.udLimit.Position(), c.LimitShown) << c.Limit;
      return d.OKBtn;
    }));
    EXPECT_EQ(adv.MinutesInterval, c.Interval);
    // what the units can show: 10100 minutes come back as 7 days
    EXPECT_EQ(adv.MinutesLimit, c.Limit == 10100 ? 7 * 1440 : c.Limit);
  }
}

TEST_F(AdvancedScheduleDlgTest, ExpiryPowerAndCancel) {
  TAdvancedSettings adv;
  adv.EndDate = 46000.5;
  EXPECT_TRUE(Run(adv, [&](TAdvancedScheduleDialog& d) -> TButton& {
    SYSTEMTIME day = d.dpExpire.DateTime(), time = d.dtExpire.DateTime();
    TDateTime today = std::floor(NowLocal());
    SYSTEMTIME t = DateTimeToSystemTime(today);
    bool leap = (t.wYear % 4 == 0 && t.wYear % 100 != 0) || t.wYear % 400 == 0;
    EXPECT_EQ(std::floor(SystemTimeToDateTime(day)), today + (leap ? 366 : 365));
    EXPECT_EQ(time.wHour, 12);
    EXPECT_FALSE(d.dpExpire.Enabled());
    EXPECT_TRUE(d.cbOnBatteries.Checked());
    d.cbPower.SetChecked(false);
    d.cbPower.OnClick();
    EXPECT_FALSE(d.cbOnBatteries.Checked());
    EXPECT_FALSE(d.cbOnBatteries.Enabled());
    d.cbLimitUnit.SetItemIndex(2);
    d.cbLimitUnit.OnChange();
    EXPECT_EQ(d.udLimit.Position(), 30);
    EXPECT_EQ(d.udLimit.Increment(), 10);
    d.cbLimitUnit.SetItemIndex(0);
    d.cbLimitUnit.OnChange();
    EXPECT_EQ(d.udLimit.Position(), 3);
    EXPECT_EQ(d.edLimit.Hint, L"Number of day(s)");
    hvtest::SaveScreenshot(d.Handle(), L"unattended_advanced");
    return d.OKBtn;
  }));
  EXPECT_EQ(adv.EndDate, 46000.5);  // "Expire:" off keeps the old date
  EXPECT_FALSE(adv.PowerOnly);
  EXPECT_FALSE(adv.StopBattery);

  // an expiry picked with seconds is kept in whole minutes
  EXPECT_TRUE(Run(adv, [&](TAdvancedScheduleDialog& d) -> TButton& {
    d.cbExpire.SetChecked(true);
    d.cbExpire.OnClick();
    SYSTEMTIME day = DateTimeToSystemTime(46100), time = DateTimeToSystemTime(46100 + (10 * 3600 + 15 * 60 + 42) / 86400.0);
    d.dpExpire.SetDateTime(day);
    d.dtExpire.SetDateTime(time);
    d.cbRepeat.SetChecked(true);
    d.cbRepeat.OnClick();
    hvtest::SaveScreenshot(d.Handle(), L"unattended_advanced_expire");
    return d.OKBtn;
  }));
  EXPECT_TRUE(adv.UseEndDate);
  EXPECT_NEAR(adv.EndDate, 46100 + (10 * 60 + 15) / 1440.0, 1e-9);
  TAdvancedSettings before = adv;
  EXPECT_FALSE(Run(adv, [&](TAdvancedScheduleDialog& d) -> TButton& {
    d.cbWakeUp.SetChecked(true);
    return d.CancelBtn;
  }));
  EXPECT_EQ(adv.WakeUp, before.WakeUp);
}

}  // namespace
}  // namespace hv
