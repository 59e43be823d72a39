#include "unattended/AdvancedScheduleDlg.h"

#include <cmath>

#include "base/os/WinUtils.h"
#include "base/settings/BuConsts.h"
#include "dialogs/DlgUtils.h"
#include "unattended/WinTask.h"
#include "winui/Translate.h"

namespace hv {

namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 661, kClientHeight96 = 241;
constexpr int kRight96 = 345, kRightWidth96 = 308;
constexpr int kEditWidth96 = 46, kUpDownWidth96 = 17, kUnitWidth96 = 96, kRowHeight96 = 23;

void MultiLine(TCheckBox& cb) {
  LONG_PTR style = GetWindowLongPtrW(cb.Handle(), GWL_STYLE);
  SetWindowLongPtrW(cb.Handle(), GWL_STYLE, style | BS_MULTILINE);
}

}  // namespace

TAdvancedScheduleDialog::TAdvancedScheduleDialog() {
  TextDomain = L"Units";
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  KeyPreview = true;
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

void TAdvancedScheduleDialog::FormCreate() {
  SetCaption(L"Advanced Schedule Options");
  cbExpire.Create(*this, L"Expire:", {8, 12, 80, 20});
  cbExpire.OnClick = [this] {
    dpExpire.SetEnabled(cbExpire.Checked());
    dtExpire.SetEnabled(cbExpire.Checked());
  };
  dpExpire.Kind = TDateTimeKind::dtkDate;
  dpExpire.Create(*this, {92, 10, 116, kRowHeight96});
  dpExpire.SetFormat(PickerDateFormat);
  dpExpire.Hint = L"Select date";
  dtExpire.Kind = TDateTimeKind::dtkTime;
  dtExpire.Create(*this, {214, 10, 76, kRowHeight96});
  dtExpire.SetFormat(L"HH:mm");
  dtExpire.Hint = L"Select time";

  cbRepeat.Create(*this, L"Repeat task:", {8, 44, 300, 20});
  cbRepeat.OnClick = [this] { EnableRepeatControls(); };
  auto unitRow = [&](TLabel& la, const wchar_t* caption, TEdit& ed, TUpDown& ud, TComboBox& unit, int y) {
    la.Create(*this, caption, {24, y + 4, 112, 17});
    ed.Create(*this, L"1", {140, y, kEditWidth96, kRowHeight96});
    ed.TranslateText = false;
    ud.Create(*this, {140 + kEditWidth96, y, kUpDownWidth96, kRowHeight96});
    ud.SetAssociate(&ed);
    unit.Create(*this, TComboBoxStyle::csOwnerDrawFixed, {140 + kEditWidth96 + kUpDownWidth96 + 6, y, kUnitWidth96, kRowHeight96});
  };
  unitRow(laEvery, L"Every:", edInterval, udInterval, cbRepUnit, 68);
  unitRow(laDuration, L"for a duration of:", edDuration, udDuration, cbDurUnit, 98);
  for (TComboBox* c : {&cbRepUnit, &cbDurUnit}) c->SetItems({L"hour(s)", L"minute(s)"});
  udInterval.SetRange(1, 24);
  udDuration.SetRange(1, 24);
  cbRepUnit.OnChange = [this] { UnitChanged(cbRepUnit, udInterval, edInterval, false); };
  cbDurUnit.OnCloseUp = [this] { UnitChanged(cbDurUnit, udDuration, edDuration, false); };
  cbStopAtEnd.Create(*this, L"Stop all running tasks at end of repetition duration", {24, 126, 306, 34});
  MultiLine(cbStopAtEnd);
  cbStopAtEnd.OnClick = [this] { EnableRepeatControls(); };

  cbLimit.Create(*this, L"Stop task if it runs longer than:", {8, 170, 300, 20});
  cbLimit.OnClick = [this] { EnableLimitControls(cbLimit.Checked()); };
  edLimit.Create(*this, L"1", {24, 196, kEditWidth96, kRowHeight96});
  edLimit.TranslateText = false;
  udLimit.Create(*this, {24 + kEditWidth96, 196, kUpDownWidth96, kRowHeight96});
  udLimit.SetAssociate(&edLimit);
  udLimit.SetRange(1, 24);
  cbLimitUnit.Create(*this, TComboBoxStyle::csOwnerDrawFixed, {24 + kEditWidth96 + kUpDownWidth96 + 6, 196, kUnitWidth96, kRowHeight96});
  cbLimitUnit.SetItems({L"day(s)", L"hour(s)", L"minute(s)"});
  cbLimitUnit.OnChange = [this] { UnitChanged(cbLimitUnit, udLimit, edLimit, true); };

  laBar.Create(*this, L"", {333, 8, 2, 220});
  SetWindowLongPtrW(laBar.Handle(), GWL_STYLE, GetWindowLongPtrW(laBar.Handle(), GWL_STYLE) | SS_ETCHEDVERT);

  cbReRun.Create(*this, L"Run task as soon as possible after a scheduled start is missed", {kRight96, 8, kRightWidth96, 34});
  cbPower.Create(*this, L"Start the task only if the computer is on AC power", {kRight96, 50, kRightWidth96, 34});
  cbOnBatteries.Create(*this, L"Stop if the computer switches to battery power", {kRight96 + 16, 86, kRightWidth96 - 16, 34});
  cbWakeUp.Create(*this, L"Wake the computer to run this task", {kRight96, 124, kRightWidth96, 20});
  cbNetwork.Create(*this, L"Start the task only if a network connection is available", {kRight96, 150, kRightWidth96, 34});
  for (TCheckBox* c : {&cbReRun, &cbPower, &cbOnBatteries, &cbNetwork}) MultiLine(*c);
  cbPower.OnClick = [this] { cbPowerClick(); };

  CreateOkCancel(*this, OKBtn, CancelBtn, {465, 204, 90, 28}, {563, 204, 90, 28});

  SYSTEMTIME now = DateTimeToSystemTime(NowLocal());
  dpExpire.SetDateTime(now);
  SYSTEMTIME noon = now;
  noon.wHour = 12;
  noon.wMinute = noon.wSecond = noon.wMilliseconds = 0;
  dtExpire.SetDateTime(noon);
  cbRepUnit.SetItemIndex(0);
}

void TAdvancedScheduleDialog::FormShow() { FitFormToWorkArea(*this); }

void TAdvancedScheduleDialog::EnableRepeatControls() {
  bool on = cbRepeat.Checked();
  for (TControl* c : std::initializer_list<TControl*>{&laEvery, &edInterval, &udInterval, &cbRepUnit, &laDuration,
                                                      &edDuration, &udDuration, &cbDurUnit, &cbStopAtEnd})
    c->SetEnabled(on);
}

void TAdvancedScheduleDialog::EnableLimitControls(bool enable) {
  for (TControl* c : std::initializer_list<TControl*>{&edLimit, &udLimit, &cbLimitUnit}) c->SetEnabled(enable);
}

void TAdvancedScheduleDialog::cbPowerClick() {
  cbOnBatteries.SetEnabled(cbPower.Checked());
  cbOnBatteries.SetChecked(cbPower.Checked());
}

void TAdvancedScheduleDialog::UnitChanged(TComboBox& unit, TUpDown& ud, TEdit& ed, bool limit) {
  struct TUnit {
    int Max, Position, Increment;
  };
  // interval and duration: hours, minutes; the limit: days, hours, minutes
  static const TUnit kRepeat[] = {{167, 1, 1}, {1439, 30, 10}};
  static const TUnit kLimit[] = {{3650, 3, 1}, {167, 6, 1}, {1439, 30, 10}};
  int i = unit.ItemIndex();
  if (i < 0) return;
  const TUnit& u = limit ? kLimit[i] : kRepeat[i];
  ud.SetRange(1, u.Max);
  ud.SetPosition(u.Position);
  ud.SetIncrement(u.Increment);
  ed.Hint = _(L"Number of ") + unit.Item(i);
}

bool TAdvancedScheduleDialog::Execute(TAdvancedSettings& adv) {
  cbExpire.SetChecked(adv.UseEndDate);
  dpExpire.SetEnabled(adv.UseEndDate);
  dtExpire.SetEnabled(adv.UseEndDate);
  SYSTEMTIME day{}, time{};
  if (adv.UseEndDate) {
    day = time = DateTimeToSystemTime(adv.EndDate);
  } else {
    day = DateTimeToSystemTime(std::floor(NowLocal()));
    bool leap = (day.wYear % 4 == 0 && day.wYear % 100 != 0) || day.wYear % 400 == 0;
    day = DateTimeToSystemTime(std::floor(NowLocal()) + (leap ? 366 : 365));
    time = day;
    time.wHour = 12;
    time.wMinute = time.wSecond = time.wMilliseconds = 0;
  }
  dpExpire.SetDateTime(day);
  dtExpire.SetDateTime(time);

  cbRepeat.SetChecked(adv.RepeatTask);
  auto loadRepeat = [](int minutes, TComboBox& unit, TUpDown& ud) {
    if (minutes % 60 != 0) {
      unit.SetItemIndex(1);
      ud.SetRange(1, 1439);
      ud.SetPosition(minutes);
    } else {
      unit.SetItemIndex(0);
      ud.SetRange(1, 167);
      ud.SetPosition(minutes / 60);
    }
  };
  loadRepeat(adv.MinutesInterval, cbRepUnit, udInterval);
  loadRepeat(adv.MinutesDuration, cbDurUnit, udDuration);
  cbStopAtEnd.SetChecked(adv.StopEndDuration);
  EnableRepeatControls();

  cbLimit.SetChecked(adv.UseLimit);
  cbReRun.SetChecked(adv.ReRun);
  cbPower.SetChecked(adv.PowerOnly);
  cbOnBatteries.SetEnabled(adv.PowerOnly);
  cbOnBatteries.SetChecked(adv.PowerOnly && adv.StopBattery);
  cbWakeUp.SetChecked(adv.WakeUp);
  cbNetwork.SetChecked(adv.NetworkOnly);
  EnableLimitControls(adv.UseLimit);
  int limit = adv.MinutesLimit;
  if (limit % 1440 == 0 || limit >= 10080) {
    cbLimitUnit.SetItemIndex(0);
    udLimit.SetRange(1, 365);
    udLimit.SetPosition(limit / 1440);
  } else if (limit % 60 != 0 && limit < 1440) {
    cbLimitUnit.SetItemIndex(2);
    udLimit.SetRange(1, 1439);
    udLimit.SetPosition(limit);
  } else {
    cbLimitUnit.SetItemIndex(1);
    udLimit.SetRange(1, 167);
    udLimit.SetPosition(limit / 60);
  }

  if (ShowModal() != mrOk) return false;

  adv.UseEndDate = cbExpire.Checked();
  if (adv.UseEndDate) {
    SYSTEMTIME d = dpExpire.DateTime(), t = dtExpire.DateTime();
    d.wHour = t.wHour;
    d.wMinute = t.wMinute;
    d.wSecond = d.wMilliseconds = 0;  // whole minutes
    adv.EndDate = SystemTimeToDateTime(d);
  }
  adv.RepeatTask = cbRepeat.Checked();
  adv.MinutesInterval = udInterval.Position() * (cbRepUnit.ItemIndex() == 1 ? 1 : 60);
  adv.MinutesDuration = udDuration.Position() * (cbDurUnit.ItemIndex() == 1 ? 1 : 60);
  adv.StopEndDuration = cbStopAtEnd.Checked();
  static const int kLimitFactor[] = {1440, 60, 1};
  adv.MinutesLimit = udLimit.Position() * kLimitFactor[cbLimitUnit.ItemIndex() < 0 ? 1 : cbLimitUnit.ItemIndex()];
  adv.UseLimit = cbLimit.Checked();
  adv.ReRun = cbReRun.Checked();
  adv.PowerOnly = cbPower.Checked();
  adv.StopBattery = cbOnBatteries.Checked();
  adv.WakeUp = cbWakeUp.Checked();
  adv.NetworkOnly = cbNetwork.Checked();
  return true;
}

bool ShowAdvancedSchedule(TAdvancedSettings& adv) {
  TAdvancedScheduleDialog dialog;
  dialog.Create(Application().OwnerWindow());
  return dialog.Execute(adv);
}

}  // namespace hv
