#include "unattended/TaskSchedDlg.h"

#include <algorithm>
#include <cmath>

#include "base/app/HvUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinApiUtils.h"
#include "base/settings/BuConsts.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/ErrorActionDlg.h"
#include "dialogs/InpText.h"
#include "dialogs/MemoDlg.h"
#include "dialogs/ShellDirDlg.h"
#include "unattended/ShortcutDlg.h"
#include "winui/CommonDialogs.h"
#include "unattended/SelSchedTaskDlg.h"
#include "winui/Translate.h"
#include "winui/Unicode.h"

namespace hv {

const wchar_t* const kDefaultWakeQuery =
    L"<QueryList><Query Id=\"0\" Path=\"System\"><Select Path=\"System\">*[System[Provider[@Name='Microsoft-Windows-"
    L"Kernel-Power'] and (EventID=107 or EventID=507)]]</Select></Query></QueryList>";

namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 640, kClientHeight96 = 480;
constexpr int kPageWidth96 = 422, kPageHeight96 = 390, kRow96 = 23;
constexpr int kItemToPage[] = {0, 1, 2, 3, 4, 4};
const wchar_t* const kUnits[] = {L"hour(s)", L"minute(s)", L"seconds(s)"};

std::wstring RunningProgram() {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return std::wstring(buf, n);
}

std::wstring QuoteBlank(const std::wstring& s) { return s.find(L' ') != std::wstring::npos ? L"\"" + s + L"\"" : s; }

bool IsLogonOrParamError(uint32_t code) {
  uint32_t low = code & 0xFFFF;
  return (low >= 1326 && low <= 1332) || low == 87;
}

// Comma-separated items, double quotes allowed around an item.
std::vector<std::wstring> Items(std::wstring_view s) {
  std::vector<std::wstring> r;
  std::wstring rest(s);
  while (!rest.empty()) {
    std::wstring item = ReadNextQuotedItem(rest, L',', L'"');
    if (!item.empty()) r.push_back(item);
  }
  return r;
}

std::wstring FileNameOf(std::wstring_view path) {
  size_t slash = path.find_last_of(L"\\/");
  return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

std::wstring DirOf(std::wstring_view path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, slash + 1));
}

// A task XML file: UTF-16 with its byte-order mark, else UTF-8. Raises EOSError.
std::wstring ReadXmlFile(const std::wstring& fileName) {
  HANDLE h = CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EOSError(L"CreateFile", GetLastError(), fileName);
  std::string bytes;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) bytes.append(buf, n);
  CloseHandle(h);
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return Utf8ToWide(bytes);
}

// The value of a range edit, kept inside its range while the text is still being typed.
int RangeValue(TRangeEdit& e) { return static_cast<int>(std::clamp(e.Value(), e.MinValue(), e.MaxValue())); }

std::wstring BaseName(std::wstring_view path) {
  std::wstring name(path.substr(path.find_last_of(L"\\/") == std::wstring_view::npos ? 0 : path.find_last_of(L"\\/") + 1));
  size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

}  // namespace

TTextPrompt& TaskNamePrompt() {
  static TTextPrompt prompt;
  return prompt;
}

void SecondsToUnit(uint32_t s, int& value, int& unit) {
  if (s % 3600 == 0 || s >= 43200) {
    unit = 0;
    value = static_cast<int>(s / 3600);
  } else if (s % 60 == 0 || s >= 1800) {
    unit = 1;
    value = static_cast<int>(s / 60);
  } else {
    unit = 2;
    value = static_cast<int>(s);
  }
}

uint32_t UnitToSeconds(int value, int unit) {
  static const uint32_t kFactor[] = {3600, 60, 1};
  return static_cast<uint32_t>(value) * kFactor[unit < 0 || unit > 2 ? 2 : unit];
}

TTaskScheduleDialog::TTaskScheduleDialog() {
  TextDomain = L"Units";
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poMainFormCenter;
  KeyPreview = true;
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
  wut = kDefaultWakeQuery;
}

TTaskScheduleDialog::~TTaskScheduleDialog() = default;

void TTaskScheduleDialog::FormCreate() {
  SetCaption(L"Scheduled Task Wizard");
  laJobName.Create(*this, L"Name of scheduled task:", {10, 13, 150, 17});
  edJobName.Create(*this, L"", {165, 10, 465, kRow96}, nullptr, true);
  edJobName.TranslateText = false;
  btnBack.Create(*this, L"Back", {330, 442, 95, 30});
  btnBack.OnClick = [this] { btnBackClick(); };
  btnNext.Create(*this, L"Next", {430, 442, 95, 30});
  btnNext.SetDefault(true);
  btnNext.OnClick = [this] { btnNextClick(); };
  btnCancel.Create(*this, L"Cancel", {535, 442, 95, 30});
  btnCancel.ModalResult = mrCancel;
  btnCancel.Cancel = true;

  pcMain.Create(*this, {0, 42, kClientWidth96, kPageHeight96});
  pcMain.SetTabsVisible(false);
  TTabSheet& tsProgram = pcMain.AddPage(L"Settings");
  TTabSheet& tsSchedule = pcMain.AddPage(L"Schedule");

  // ---- "Settings" ----
  HWND p = tsProgram.Handle();
  auto field = [&](TLabel& la, const wchar_t* caption, TEdit& ed, int y, int width, bool readOnly = false) {
    la.Create(*this, caption, {10, y, 600, 17}, p);
    ed.Create(*this, L"", {10, y + 18, width, kRow96}, p, readOnly);
    ed.TranslateText = false;
  };
  field(laTasks, L"", edTasks, 6, 590);
  btnTask.Create(*this, L"...", {604, 24, 26, kRow96}, p);
  btnTask.TranslateText = false;
  btnTask.Hint = L"Add backup task";
  btnTask.OnClick = [this] { btnTaskClick(); };
  field(laOptions, L"Command line parameters:", edOptions, 54, 620, true);
  edOptions.Hint = L"Fixed parameters";
  field(laUserOptions, L"User defined parameters", edUserOptions, 102, 620);
  edUserOptions.Hint = L"User defined parameters";
  edUserOptions.OnChange = [this] {};
  field(laWorkDir, L"Start in (optional):", edWorkDir, 150, 590);
  btWorkDir.Create(*this, L"...", {604, 168, 26, kRow96}, p);
  btWorkDir.TranslateText = false;
  btWorkDir.Hint = L"Select backup directory";
  btWorkDir.OnClick = [this] { btWorkDirClick(); };
  laIniFile.Create(*this, L"Ini file:", {10, 203, 80, 17}, p);
  edIniFile.Create(*this, L"", {95, 200, 535, kRow96}, p);
  edIniFile.TranslateText = false;
  laPrompt.Create(*this, L"Status window", {10, 237, 110, 17}, p);
  cbxPrompt.Create(*this, TComboBoxStyle::csDropDownList, {125, 234, 200, 24}, p);
  cbxPrompt.SetItems({L"Wait for prompt", L"Close automatically", L"Not visible", L"Wait only on errors",
                      L"Not visible except on errors"});
  cbxPrompt.OnChange = [this] {
    bool wait = cbxPrompt.ItemIndex() == 1 || cbxPrompt.ItemIndex() == 3;
    for (TControl* c : std::initializer_list<TControl*>{&laWait, &reWait, &udWait, &laSeconds}) c->SetEnabled(wait);
    OptionsClick();
  };
  laWait.Create(*this, L"Close after:", {10, 269, 110, 17}, p);
  reWait.Create(*this, {125, 266, 45, kRow96}, p);
  reWait.SetMinValue(1);
  reWait.SetMaxValue(99);
  reWait.SetValue(3);
  reWait.OnChange = [this] { OptionsClick(); };
  udWait.Create(*this, {170, 266, 16, kRow96}, p);
  udWait.SetAssociate(&reWait);
  laSeconds.Create(*this, L"seconds", {195, 269, 100, 17}, p);
  cbHide.Create(*this, L"No splash screen", {10, 298, 300, 20}, p);
  cbHide.OnClick = [this] { OptionsClick(); };
  cbParallel.Create(*this, L"Parallel processing of tasks", {10, 322, 300, 20}, p);
  cbParallel.OnClick = [this] { OptionsClick(); };
  laLog.Create(*this, L"Log mode", {10, 353, 110, 17}, p);
  cbLog.Create(*this, TComboBoxStyle::csDropDownList, {125, 350, 200, 24}, p);
  cbLog.SetItems({L"As in task", L"Short", L"Long", L"Verbose"});
  cbLog.OnChange = [this] { OptionsClick(); };
  rgEnd.Create(*this, L"Subsequent action", {340, 226, 290, 88}, p);
  rgEnd.SetColumns(2);
  rgEnd.SetItems({L"None", L"Standby", L"Hibernate", L"Logoff", L"Shutdown", L"Restart"});
  rgEnd.OnClick = [this] { OptionsClick(); };
  bbErrorAction.Create(*this, L"Error handling", {340, 318, 150, 26}, p);
  bbErrorAction.OnClick = [this] { bbErrorActionClick(); };
  laPriority.Create(*this, L"Process priority", {340, 353, 110, 17}, p);
  cbxPriority.Create(*this, TComboBoxStyle::csDropDownList, {455, 350, 175, 24}, p);
  cbxPriority.SetItems({L"Normal", L"Low", L"High"});
  cbxPriority.Hint = L"Process priority for automatic backup";
  cbxPriority.OnChange = [this] { OptionsClick(); };

  // ---- "Schedule" ----
  HWND s = tsSchedule.Handle();
  rgCycle.Create(*this, L"Perform this task:", {6, 6, 208, 180}, s);
  rgCycle.SetItems({L"Daily", L"Weekly", L"Monthly", L"One time only", L"On logon", L"On waking up the computer"});
  rgCycle.OnClick = [this] { ShowTriggerPage(); };
  cbEnabled.Create(*this, L"Schedule enabled", {10, 196, 198, 20}, s);
  laTrigger.Create(*this, L"", {10, 224, 198, 17}, s);
  laTrigger.TranslateText = false;
  pcSteps.Create(*this, {216, 0, kPageWidth96, kPageHeight96}, s);
  pcSteps.SetTabsVisible(false);
  TTabSheet& tsDaily = pcSteps.AddPage(L"Daily");
  TTabSheet& tsWeekly = pcSteps.AddPage(L"Weekly");
  TTabSheet& tsMonthly = pcSteps.AddPage(L"Monthly");
  TTabSheet& tsOneTime = pcSteps.AddPage(L"One time only");
  TTabSheet& tsEvent = pcSteps.AddPage(L"On logon");
  TTabSheet& tsUser = pcSteps.AddPage(L"User account");

  auto start = [&](TLabel& la, TDateTimePicker& dp, TDateTimePicker& tp, HWND page) {
    la.Create(*this, L"Start:", {8, 39, 60, 17}, page);
    dp.Kind = TDateTimeKind::dtkDate;
    dp.Create(*this, {70, 36, 120, kRow96}, page);
    dp.SetFormat(PickerDateFormat);
    dp.OnChange = [this, &dp] { SyncDates(dp); };
    tp.Kind = TDateTimeKind::dtkTime;
    tp.Create(*this, {196, 36, 80, kRow96}, page);
    tp.SetFormat(PickerTimeFormat);
    tp.OnChange = [this, &tp] { SyncTimes(tp); };
  };
  auto advanced = [&](TButton& b, HWND page) {
    b.Create(*this, L"Advanced settings ...", {8, 346, 180, 28}, page);
    b.OnClick = [this] { ShowAdvancedSchedule(AdvSet); };
  };
  auto number = [&](TRangeEdit& ed, TNumUpDown& ud, HWND page, int x, int y, int min, int max, int value) {
    ed.Create(*this, {x, y, 45, kRow96}, page);
    ed.SetMinValue(min);
    ed.SetMaxValue(max);
    ed.SetValue(value);
    ud.Create(*this, {x + 45, y, 16, kRow96}, page);
    ud.SetAssociate(&ed);
  };

  HWND d = tsDaily.Handle();
  laDaily.Create(*this, L"Settings for daily schedule:", {8, 8, 420, 20}, d);
  start(laStartDaily, dpStartDaily, tpStartDaily, d);
  laPerform.Create(*this, L"Perform this task:", {8, 76, 300, 17}, d);
  rbEveryDay.Create(*this, L"Every day", {20, 98, 200, 20}, d, true);
  rbSkipDays.Create(*this, L"Every", {20, 126, 70, 20}, d);
  number(reDays, udDays, d, 92, 124, 2, 99, 2);
  laDays.Create(*this, L"days", {162, 128, 100, 17}, d);
  for (TRadioButton* rb : {&rbEveryDay, &rbSkipDays})
    rb->OnClick = [this] {
      bool every = rbSkipDays.Checked();
      for (TControl* c : std::initializer_list<TControl*>{&reDays, &udDays, &laDays}) c->SetEnabled(every);
    };
  advanced(btAdvDaily, d);

  HWND w = tsWeekly.Handle();
  laWeekly.Create(*this, L"Settings for weekly schedule:", {8, 8, 420, 20}, w);
  start(laStartWeekly, dpStartWeekly, tpStartWeekly, w);
  laEveryWeek.Create(*this, L"Every", {8, 79, 50, 17}, w);
  number(reWeeks, udWeeks, w, 60, 76, 1, 99, 1);
  laWeeks.Create(*this, L"weeks", {130, 79, 100, 17}, w);
  laOnDays.Create(*this, L"On the following days of the week", {8, 110, 420, 17}, w);
  static const wchar_t* const kDayNames[] = {L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday", L"Sunday"};
  for (int i = 0; i < 7; ++i) {
    cbDay[i].Create(*this, kDayNames[i], {20 + (i / 4) * 200, 132 + (i % 4) * 24, 190, 20}, w);
    cbDay[i].OnClick = [this] {
      bool any = false;
      for (auto& c : cbDay) any = any || c.Checked();
      if (!any && Visible()) cbDay[0].SetChecked(true);
    };
  }
  advanced(btExtWeek, w);

  HWND m = tsMonthly.Handle();
  laMonthly.Create(*this, L"Settings for monthly schedule:", {8, 8, 420, 20}, m);
  start(laStartMonthly, dpStartMonthly, tpStartMonthly, m);
  rbDayOfMonth.Create(*this, L"Days:", {8, 78, 70, 20}, m, true);
  ccMonthDays.Create(*this, {80, 76, 200, 24}, m);
  ccMonthDays.Init();
  for (int i = 1; i <= 31; ++i) ccMonthDays.AddChecked(std::to_wstring(i), false);
  ccMonthDays.AddChecked(_(L"Last"), false);
  ccMonthDays.SetDropDownCount(15);
  rbSpecialday.Create(*this, L"On:", {8, 110, 70, 20}, m);
  ccMonthStart.Create(*this, {80, 108, 150, 24}, m);
  ccMonthStart.Init();
  for (auto t : {L"First|1st", L"Second|2nd", L"Third|3rd", L"Fourth|4th", L"Last"}) ccMonthStart.AddChecked(_(t), false);
  ccWeekdays.Create(*this, {236, 108, 180, 24}, m);
  ccWeekdays.Init();
  for (auto t : {L"Monday|Mo", L"Tuesday|Tu", L"Wednesday|We", L"Thursday|Th", L"Friday|Fr", L"Saturday|Sa", L"Sunday|Su"})
    ccWeekdays.AddChecked(_(t), false);
  for (TRadioButton* rb : {&rbDayOfMonth, &rbSpecialday})
    rb->OnClick = [this] {
      ccMonthDays.SetEnabled(rbDayOfMonth.Checked());
      ccMonthStart.SetEnabled(rbSpecialday.Checked());
      ccWeekdays.SetEnabled(rbSpecialday.Checked());
    };
  laMonths.Create(*this, L"of the following months:", {8, 142, 420, 17}, m);
  static const wchar_t* const kMonthNames[] = {L"January", L"February", L"March", L"April", L"May", L"June",
                                               L"July", L"August", L"September", L"October", L"November", L"December"};
  for (int i = 0; i < 12; ++i) {
    cbMonth[i].Create(*this, kMonthNames[i], {20 + (i / 4) * 135, 164 + (i % 4) * 24, 130, 20}, m);
    cbMonth[i].OnClick = [this] {
      bool any = false;
      for (auto& c : cbMonth) any = any || c.Checked();
      if (!any) cbMonth[0].SetChecked(true);
    };
  }
  advanced(btExtMon, m);

  auto delay = [&](TCheckBox& cb, const wchar_t* caption, TRangeEdit& ed, TNumUpDown& ud, TComboBox& unit, HWND page,
                   int y) {
    cb.Create(*this, caption, {8, y, 400, 20}, page);
    number(ed, ud, page, 24, y + 26, 1, 3599, 30);
    unit.Create(*this, TComboBoxStyle::csDropDownList, {94, y + 26, 120, 24}, page);
    for (auto u : kUnits) unit.Add(_(u));
    unit.SetItemIndex(2);
    unit.OnChange = [this, &unit, &ud, &ed] { UnitCloseUp(unit, ud, ed); };
    cb.OnClick = [&cb, &ed, &ud, &unit] {
      for (TControl* c : std::initializer_list<TControl*>{&ed, &ud, &unit}) c->SetEnabled(cb.Checked());
    };
  };
  HWND o = tsOneTime.Handle();
  laOneTime.Create(*this, L"Settings for one time trigger:", {8, 8, 420, 20}, o);
  start(laStartOneTime, dpOneTime, tpOneTime, o);
  delay(cbRandom, L"Delay task for up to (random delay):", reRandom, udRandom, cbRndUnit, o, 76);
  advanced(btAdvOneTime, o);

  HWND e = tsEvent.Handle();
  laEvent.Create(*this, L"On logon", {8, 8, 420, 20}, e);
  laUser.Create(*this, L"", {8, 32, 420, 17}, e);
  laUser.TranslateText = false;
  cbActivate.Create(*this, L"Activate:", {8, 66, 90, 20}, e);
  dpEventTime.Kind = TDateTimeKind::dtkDate;
  dpEventTime.Create(*this, {100, 64, 120, kRow96}, e);
  dpEventTime.SetFormat(PickerDateFormat);
  dpEventTime.OnChange = [this] { SyncDates(dpEventTime); };
  tpEventTime.Kind = TDateTimeKind::dtkTime;
  tpEventTime.Create(*this, {226, 64, 80, kRow96}, e);
  tpEventTime.SetFormat(PickerTimeFormat);
  tpEventTime.OnChange = [this] { SyncTimes(tpEventTime); };
  cbActivate.OnClick = [this] {
    dpEventTime.SetEnabled(cbActivate.Checked());
    tpEventTime.SetEnabled(cbActivate.Checked());
  };
  delay(cbDelay, L"Delay task for:", reDelay, udDelay, cbDelUnit, e, 100);
  advanced(btEvAdv, e);
  btEventEdit.Create(*this, L"User defined event", {196, 346, 180, 28}, e);
  btEventEdit.Hint = L"User defined event";
  btEventEdit.OnClick = [this] { btEventEditClick(); };
  btEventReset.Create(*this, L"Reset to default event", {8, 310, 180, 28}, e);
  btEventReset.Hint = L"Reset to default event";
  btEventReset.OnClick = [this] { wut = kDefaultWakeQuery; };

  HWND u = tsUser.Handle();
  laDesc.Create(*this, L"Description:", {8, 8, 410, 17}, u);
  leDesc.Create(*this, L"", {8, 26, 410, kRow96}, u);
  leDesc.TranslateText = false;
  gbSecurity.Create(*this, L"Start this task:", {8, 62, 410, 180}, u);
  HWND g = gbSecurity.Handle();
  rbLoggedUser.Create(*this, L"As logged-on user", {10, 24, 380, 20}, g, true);
  rbAnyUser.Create(*this, L"As any user with password", {10, 48, 380, 20}, g);
  for (TRadioButton* rb : {&rbLoggedUser, &rbAnyUser}) rb->OnClick = [this] { rbLoggedUserClick(); };
  laUserName.Create(*this, L"User name:", {10, 83, 95, 17}, g);
  edUser.Create(*this, L"", {110, 80, 295, kRow96}, g);
  edUser.TranslateText = false;
  laPwd.Create(*this, L"Password:", {10, 113, 95, 17}, g);
  edPwd.Create(*this, L"", {110, 110, 295, kRow96}, g);
  edPwd.TranslateText = false;
  SetWindowLongPtrW(edPwd.Handle(), GWL_STYLE, GetWindowLongPtrW(edPwd.Handle(), GWL_STYLE) | ES_PASSWORD);
  SendMessageW(edPwd.Handle(), EM_SETPASSWORDCHAR, L'*', 0);
  cbRunLevel.Create(*this, L"Run with highest privileges", {10, 146, 380, 20}, g);
  ApplyTitleFont();
}

bool TTaskScheduleDialog::FormHelp() {
  ShowHelp(L"hv-sched.html");
  return true;
}

void TTaskScheduleDialog::SyncDates(TDateTimePicker& from) {
  if (FSyncing) return;
  FSyncing = true;
  SYSTEMTIME v = from.DateTime();
  for (TDateTimePicker* p : {&dpStartDaily, &dpStartWeekly, &dpStartMonthly, &dpOneTime, &dpEventTime})
    if (p != &from) p->SetDateTime(v);
  FSyncing = false;
}

void TTaskScheduleDialog::SyncTimes(TDateTimePicker& from) {
  if (FSyncing) return;
  FSyncing = true;
  SYSTEMTIME v = from.DateTime();
  for (TDateTimePicker* p : {&tpStartDaily, &tpStartWeekly, &tpStartMonthly, &tpOneTime, &tpEventTime})
    if (p != &from) p->SetDateTime(v);
  FSyncing = false;
}

void TTaskScheduleDialog::UnitCloseUp(TComboBox& unit, TNumUpDown& ud, TRangeEdit& ed) {
  struct TUnit {
    int Max, Value, Step;
  };
  static const TUnit kUnitRanges[] = {{24, 1, 1}, {719, 1, 10}, {599, 30, 10}};
  int i = unit.ItemIndex() < 0 ? 2 : unit.ItemIndex();
  ed.SetMaxValue(kUnitRanges[i].Max);
  ed.SetValue(kUnitRanges[i].Value);
  ud.Increment = kUnitRanges[i].Step;
  ed.Hint = _(L"Number of ") + unit.Item(i);
}

void TTaskScheduleDialog::ShowDelay(uint32_t seconds, TCheckBox& cb, TRangeEdit& ed, TNumUpDown& ud, TComboBox& unit) {
  int value = 0, u = 0;
  SecondsToUnit(seconds, value, u);
  static const int kMax[] = {24, 719, 599};
  unit.SetItemIndex(u);
  ed.SetMaxValue(kMax[u]);
  ed.SetValue(value);
  ud.Increment = u == 0 ? 1 : 10;
  ed.Hint = _(L"Number of ") + unit.Item(u);
  cb.SetChecked(seconds != 0);
  for (TControl* c : std::initializer_list<TControl*>{&ed, &ud, &unit}) c->SetEnabled(seconds != 0);
}

uint32_t TTaskScheduleDialog::DelaySeconds(TCheckBox& cb, TRangeEdit& ed, TComboBox& unit) {
  return cb.Checked() ? UnitToSeconds(RangeValue(ed), unit.ItemIndex()) : 0;
}

TDateTime TTaskScheduleDialog::PickedStart(TDateTimePicker& date, TDateTimePicker& time) const {
  SYSTEMTIME d = date.DateTime(), t = time.DateTime();
  d.wHour = d.wMinute = d.wSecond = d.wMilliseconds = 0;
  double tod = (t.wHour * 3600 + t.wMinute * 60 + t.wSecond) / 86400.0;
  return std::floor(SystemTimeToDateTime(d)) + std::round(tod * 1440) / 1440;
}

TTaskOptions TTaskScheduleDialog::PageOptions() {
  TTaskOptions o;
  o.Action = HvAction;
  o.Prompt = cbxPrompt.ItemIndex();
  o.Wait = RangeValue(reWait);
  o.Hide = cbHide.Checked();
  o.Parallel = cbParallel.Checked();
  o.EndAction = rgEnd.ItemIndex() < 0 ? 0 : rgEnd.ItemIndex();
  o.ErrActions = ActErr;
  o.Priority = cbxPriority.ItemIndex() < 0 ? 0 : cbxPriority.ItemIndex();
  o.LogMode = cbLog.ItemIndex() < 0 ? 0 : cbLog.ItemIndex();
  o.IniFile = edIniFile.Text();
  return o;
}

void TTaskScheduleDialog::SetPageOptions(const TTaskOptions& o) {
  HvAction = o.Action;
  cbxPrompt.SetItemIndex(o.Prompt);
  reWait.SetValue(o.Wait);
  cbHide.SetChecked(o.Hide);
  cbParallel.SetChecked(o.Parallel);
  rgEnd.SetItemIndex(o.EndAction);
  ActErr = o.ErrActions;
  cbxPriority.SetItemIndex(o.Priority);
  cbLog.SetItemIndex(o.LogMode);
  edIniFile.SetText(o.IniFile);
  if (cbxPrompt.OnChange) cbxPrompt.OnChange();
}

void TTaskScheduleDialog::OptionsClick() {
  std::wstring s = BuildTaskOptions(PageOptions(), false);
  size_t b = s.find_first_not_of(L' ');
  edOptions.SetText(b == std::wstring::npos ? std::wstring() : s.substr(b));
  int end = rgEnd.ItemIndex();
  bbErrorAction.SetEnabled(end > 0);
  bbErrorAction.Hint = end > 0 ? SafeFormat(_(L"Disable %s on errors"), rgEnd.Items()[static_cast<size_t>(end)]) : L"";
}

void TTaskScheduleDialog::bbErrorActionClick() {
  int end = rgEnd.ItemIndex();
  if (end <= 0) return;
  RECT r{};
  GetWindowRect(bbErrorAction.Handle(), &r);
  int mask = ActErr;
  if (SelectErrorActions({r.right, r.bottom}, rgEnd.Items()[static_cast<size_t>(end)], mask)) {
    ActErr = mask;
    OptionsClick();
  }
}

void TTaskScheduleDialog::btnTaskClick() {
  TOpenDialog dlg;
  dlg.Options |= ofAllowMultiSelect | ofFileMustExist | ofPathMustExist;
  std::vector<std::wstring> items = Items(edTasks.Text());
  dlg.InitialDir = !items.empty() && IsAbsolutePath(items[0]) ? DirOf(items[0]) : FPath;
  const wchar_t* kind = HvAction == THvAction::paRestore   ? L"Restore tasks"
                        : HvAction == THvAction::paCleanup ? L"Cleanup tasks"
                        : HvAction == THvAction::paVerify  ? L"Verify tasks"
                                                           : L"Backup tasks";
  dlg.Filter = _(kind) + L"|*" + std::wstring(ActionExtension(HvAction));
  dlg.Title = _(L"Select tasks to be executed");
  if (!dlg.Execute(Handle())) return;
  std::wstring text = edTasks.Text();
  for (const std::wstring& file : dlg.Files) {
    std::wstring item = QuoteIfNeeded(MakeRelativePath(FPath, file), L" ,");
    text += text.empty() ? item : L"," + item;
  }
  edTasks.SetText(text);
}

void TTaskScheduleDialog::btWorkDirClick() {
  std::wstring home = DirOf(RunningProgram());
  std::wstring dir = edWorkDir.Text().empty() ? home : edWorkDir.Text();
  if (!SelectDirZip(_(L"Select backup directory"), true, true, home, dir)) return;
  edWorkDir.SetText(dir);
  edWorkDir.Hint = dir;
}

void TTaskScheduleDialog::btEventEditClick() {
  std::wstring lines;
  for (size_t i = 0; i < wut.size(); ++i) {
    lines += wut[i];
    if (wut[i] == L'>' && i + 1 < wut.size() && wut[i + 1] == L'<') lines += L"\r\n";
  }
  RECT r{};
  GetWindowRect(btEvAdv.Handle(), &r);
  if (!EditMemoText({r.left, r.bottom}, laEvent.Text(), _(L"Query string to select the event:"), lines)) return;
  std::wstring one;
  for (wchar_t c : lines)
    if (c != L'\r' && c != L'\n') one += c;
  wut = one;
}

bool TTaskScheduleDialog::AskTaskName(std::wstring_view title, std::wstring& name) {
  const std::wstring prompt = _(L"Name of new scheduled task:");
  if (TTextPrompt& ask = TaskNamePrompt()) return ask(title, prompt, name);
  return InputText({-1, -1}, title, prompt, false, name);
}

// The starter's command line and the task's name, edited in the starter's own dialog; a new name
// that belongs to another task is refused.
bool TTaskScheduleDialog::EditStarterTask(std::wstring_view groups, int taskIndex) {
  TWinTaskFolder& folder = *TaskSchedule->TaskFolder();
  TWinRegisteredTask& rt = folder.Tasks(taskIndex);
  TWinTask& def = rt.Definition();
  if (def.IndexOfApp(FileNameOf(RunningProgram())) < 0 && def.IndexOfNextExecAction(0) < 0) return true;
  std::wstring name = rt.TaskName(), args = def.Action(def.SelectedAction).Arguments();
  for (;;) {
    if (!ShowShortcutDialog(_(L"Edit Windows Scheduled Task"), _(L"Name of task:"), false, groups, name, args,
                            _(L"Next")))
      return false;
    int other = folder.IndexOfTask(name);
    if (other < 0 || other == taskIndex) break;
    ErrorDialog(SafeFormat(_(L"A scheduled task named \"%s\" already exists!"), name));
  }
  FArgs = args;
  FStarterName = name;
  return true;
}

void TTaskScheduleDialog::ApplyTitleFont() {
  LOGFONTW lf{};
  GetObjectW(Font(), sizeof(lf), &lf);
  lf.lfWeight = FW_BOLD;
  FTitleFont.Reset(CreateFontIndirectW(&lf));
  for (TLabel* la : {&laDaily, &laWeekly, &laMonthly, &laOneTime, &laEvent})
    SendMessageW(la->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FTitleFont.Get()), TRUE);
}

void TTaskScheduleDialog::OnDpiChanged(UINT dpi, const RECT& suggested) {
  TForm::OnDpiChanged(dpi, suggested);
  ApplyTitleFont();
}

std::wstring TTaskScheduleDialog::ControlHelpText(TControl& control) {
  for (TRadioGroup* g : {&rgCycle, &rgEnd})
    for (int i = 0; i < g->Count(); ++i)
      if (&control == &g->Button(i)) return g->Text();
  struct TPair {
    TEdit* Edit;
    TLabel* Label;
  };
  for (TPair p : {TPair{&edJobName, &laJobName}, TPair{&edTasks, &laTasks}, TPair{&edOptions, &laOptions},
                  TPair{&edUserOptions, &laUserOptions}, TPair{&edWorkDir, &laWorkDir},
                  TPair{&edIniFile, &laIniFile}, TPair{&leDesc, &laDesc}, TPair{&edUser, &laUserName},
                  TPair{&edPwd, &laPwd}})
    if (&control == p.Edit) return p.Edit->Hint.empty() ? p.Label->Text() : p.Edit->Hint;
  return control.Hint;
}

void TTaskScheduleDialog::rbLoggedUserClick() {
  if (rbLoggedUser.Checked()) {
    edUser.SetText(GetQualifiedUserName());
    edUser.SetEnabled(false);
    laPwd.SetVisible(false);
    edPwd.SetVisible(false);
  } else {
    edUser.SetEnabled(true);
    laPwd.SetVisible(true);
    edPwd.SetVisible(true);
  }
  laUser.SetText(edUser.Text());
}

void TTaskScheduleDialog::ShowTriggerPage() {
  int item = rgCycle.ItemIndex() < 0 ? 0 : rgCycle.ItemIndex();
  pcSteps.SetActivePageIndex(kItemToPage[item]);
  if (item == 4) laEvent.SetText(_(L"On logon of:"));
  if (item == 5) laEvent.SetText(_(L"On waking up the computer:"));
  btEventEdit.SetVisible(item == 5);
  btEventReset.SetVisible(item == 5);
  laUser.SetVisible(item == 4);
  btnNext.SetText(_(L"Next"));
}

void TTaskScheduleDialog::btnNextClick() {
  btnBack.SetEnabled(true);
  if (pcMain.ActivePageIndex() == 0) {
    std::wstring tasks = edTasks.Text();
    if (tasks.empty()) {
      ErrorDialog(_(L"No tasks specified!"));
      return;
    }
    if (HvAction != THvAction::paSchedule && HvAction != THvAction::paQlBackup)
      for (const std::wstring& item : Items(tasks)) {
        std::wstring file = IsAbsolutePath(item) ? item : BuildFileName(FPath, item, ActionExtension(HvAction));
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
          ErrorDialog(_(L"File not found:") + L"\r\n" + file);
          return;
        }
      }
    pcMain.SetActivePageIndex(1);
    ShowTriggerPage();
  } else if (pcSteps.ActivePageIndex() == 5) {
    laUser.SetText(edUser.Text());
    ModalResult = mrOk;
  } else {
    pcSteps.SetActivePageIndex(5);
    btnNext.SetText(_(L"Done"));
    if (edPwd.Visible()) edPwd.SetFocus();
  }
}

void TTaskScheduleDialog::btnBackClick() {
  if (ShowProgPage && pcSteps.ActivePageIndex() != 5) {
    btnBack.SetEnabled(false);
    pcMain.SetActivePageIndex(0);
  } else {
    btnBack.SetEnabled(ShowProgPage);
    ShowTriggerPage();
  }
  btnNext.SetText(_(L"Next"));
}

void TTaskScheduleDialog::LoadDefaults(TDateTime t) {
  cbEnabled.SetChecked(true);
  SYSTEMTIME st = DateTimeToSystemTime(t);
  FSyncing = true;
  for (TDateTimePicker* p : {&dpStartDaily, &dpStartWeekly, &dpStartMonthly, &dpOneTime, &dpEventTime}) p->SetDateTime(st);
  for (TDateTimePicker* p : {&tpStartDaily, &tpStartWeekly, &tpStartMonthly, &tpOneTime, &tpEventTime}) p->SetDateTime(st);
  FSyncing = false;
  rbEveryDay.SetChecked(true);
  rbSkipDays.SetChecked(false);
  reDays.SetValue(2);
  for (TControl* c : std::initializer_list<TControl*>{&reDays, &udDays, &laDays}) c->SetEnabled(false);
  AdvSet = TAdvancedSettings();
  AdvSet.EndDate = t;
  ActErr = 0;
  ShowDelay(30, cbRandom, reRandom, udRandom, cbRndUnit);
  cbRandom.SetChecked(false);
  cbRandom.OnClick();
  cbActivate.SetChecked(true);
  cbActivate.OnClick();
  ShowDelay(30, cbDelay, reDelay, udDelay, cbDelUnit);
  cbDelay.SetChecked(false);
  cbDelay.OnClick();
  reWeeks.SetValue(1);
  for (auto& c : cbDay) c.SetChecked(false);
  cbDay[0].SetChecked(true);
  rbDayOfMonth.SetChecked(true);
  rbSpecialday.SetChecked(false);
  rbDayOfMonth.OnClick();
  ccMonthDays.SetSelected(0);
  ccMonthStart.SetSelected(1);
  ccWeekdays.SetSelected(1);
  for (auto& c : cbMonth) c.SetChecked(true);
  rbLoggedUser.SetChecked(true);
  rbAnyUser.SetChecked(false);
  cbRunLevel.SetChecked(false);
  rbLoggedUserClick();
  edPwd.SetText(L"");
}

bool TTaskScheduleDialog::ReadTrigger(int index) {
  if (index < 0) {
    laTrigger.SetText(_(L"New schedule"));
    rgCycle.SetItemIndex(0);
    return true;
  }
  std::wstring ordinal = GetOrdinalText(index + 1);
  while (!ordinal.empty() && ordinal.back() == L' ') ordinal.pop_back();
  laTrigger.SetText(ordinal + L" " + _(L"Schedule"));
  TWinTaskTrigger& t = FTask->Trigger(index);
  FOldTypeText = t.TriggerTypeAsString();
  cbEnabled.SetChecked(t.Enabled());
  TDateTime s = t.StartTime();
  bool hasStart = s >= 1;
  if (!hasStart) s = std::floor(NowLocal() * 1440) / 1440;
  SYSTEMTIME st = DateTimeToSystemTime(s);
  FSyncing = true;
  for (TDateTimePicker* p : {&dpStartDaily, &dpStartWeekly, &dpStartMonthly, &dpOneTime, &dpEventTime}) p->SetDateTime(st);
  for (TDateTimePicker* p : {&tpStartDaily, &tpStartWeekly, &tpStartMonthly, &tpOneTime, &tpEventTime}) p->SetDateTime(st);
  FSyncing = false;
  TDateTime end = t.EndTime();
  AdvSet.UseEndDate = end > NowLocal();
  // the end keeps its time of day
  AdvSet.EndDate = AdvSet.UseEndDate ? end : FTask->Date() + 366 - 1.0 / 86400;
  AdvSet.RepeatTask = t.Interval() != 0;
  if (AdvSet.RepeatTask) {
    AdvSet.MinutesInterval = static_cast<int>(t.Interval() / 60);
    AdvSet.MinutesDuration = static_cast<int>(t.Duration() / 60);
  }
  AdvSet.StopEndDuration = t.StopAtDurationEnd();
  AdvSet.UseLimit = t.ExecutionTimeLimit() != 0;
  if (AdvSet.UseLimit) AdvSet.MinutesLimit = static_cast<int>(t.ExecutionTimeLimit() / 60);
  laUser.SetVisible(false);
  using TT = TWinTaskTriggerType;
  switch (t.TriggerType()) {
    case TT::ttEvent:
      wut = t.Subscription();
      rgCycle.SetItemIndex(5);
      cbActivate.SetChecked(hasStart);
      cbActivate.OnClick();
      ShowDelay(t.Delay(), cbDelay, reDelay, udDelay, cbDelUnit);
      return true;
    case TT::ttTime:
      rgCycle.SetItemIndex(3);
      ShowDelay(t.RandomDelay(), cbRandom, reRandom, udRandom, cbRndUnit);
      return true;
    case TT::ttDaily: {
      rgCycle.SetItemIndex(0);
      int days = t.DaysInterval();
      rbEveryDay.SetChecked(days <= 1);
      rbSkipDays.SetChecked(days > 1);
      if (days > 1) reDays.SetValue(days);
      rbEveryDay.OnClick();
      return true;
    }
    case TT::ttWeekly: {
      rgCycle.SetItemIndex(1);
      reWeeks.SetValue(t.WeeksInterval());
      int mask = t.DaysOfWeek();
      for (int i = 0; i < 7; ++i) cbDay[i].SetChecked((mask & (1 << ((i + 1) % 7))) != 0);
      return true;
    }
    case TT::ttMonthly:
    case TT::ttMonthlyDow: {
      rgCycle.SetItemIndex(2);
      bool days = t.TriggerType() == TT::ttMonthly;
      rbDayOfMonth.SetChecked(days);
      rbSpecialday.SetChecked(!days);
      rbDayOfMonth.OnClick();
      if (days) {
        ccMonthDays.SetSelected(static_cast<uint32_t>(t.DaysOfMonth()));
      } else {
        ccMonthStart.SetSelected(static_cast<uint32_t>(t.WeeksOfMonth()));
        uint32_t d = static_cast<uint32_t>(t.DaysOfWeek());
        ccWeekdays.SetSelected((d >> 1) | ((d & 1) << 6));
      }
      int months = t.MonthsOfYear();
      for (int i = 0; i < 12; ++i) cbMonth[i].SetChecked((months & (1 << i)) != 0);
      return true;
    }
    case TT::ttLogon: {
      std::wstring user = t.LogonUserId();
      if (user.empty()) return false;
      rgCycle.SetItemIndex(4);
      cbActivate.SetChecked(hasStart);
      cbActivate.OnClick();
      ShowDelay(t.Delay(), cbDelay, reDelay, udDelay, cbDelUnit);
      laUser.SetText(user);
      laUser.SetVisible(true);
      return true;
    }
    default: return false;
  }
}

void TTaskScheduleDialog::WriteTrigger(int& trgNr) {
  using TT = TWinTaskTriggerType;
  static const TT kTypes[] = {TT::ttDaily, TT::ttWeekly, TT::ttMonthly, TT::ttTime, TT::ttLogon, TT::ttEvent};
  int item = rgCycle.ItemIndex() < 0 ? 0 : rgCycle.ItemIndex();
  TT type = kTypes[item];
  if (type == TT::ttMonthly && rbSpecialday.Checked()) type = TT::ttMonthlyDow;
  TWinTaskTrigger* t = nullptr;
  if (FTrgIndex < 0) {
    t = &FTask->NewTrigger(type);
  } else if (FTask->Trigger(FTrgIndex).TriggerType() != type) {
    if (FTask->DeleteTrigger(FTrgIndex)) {
      t = &FTask->NewTrigger(type);
    } else {
      ErrorDialog(SafeFormat(_(L"Could not delete trigger (%u)\r\nTask: "), FTrgIndex) + FTaskName);
      t = &FTask->Trigger(FTrgIndex);
    }
  } else {
    t = &FTask->Trigger(FTrgIndex);
  }
  for (int i = 0; i < FTask->TriggerCount(); ++i)
    if (&FTask->Trigger(i) == t) trgNr = i;
  t->SetEnabled(cbEnabled.Checked());
  TDateTime start = 0;
  switch (type) {
    case TT::ttTime:
      t->SetRandomDelay(DelaySeconds(cbRandom, reRandom, cbRndUnit));
      start = PickedStart(dpOneTime, tpOneTime);
      break;
    case TT::ttDaily:
      t->SetDaysInterval(static_cast<int16_t>(rbEveryDay.Checked() ? 1 : RangeValue(reDays)));
      start = PickedStart(dpStartDaily, tpStartDaily);
      break;
    case TT::ttWeekly: {
      t->SetWeeksInterval(RangeValue(reWeeks));
      int mask = 0;
      // Monday first on the page, Sunday is bit 0 of the platform's mask
      for (int i = 0; i < 7; ++i)
        if (cbDay[i].Checked()) mask |= 1 << ((i + 1) % 7);
      t->SetDaysOfWeek(mask ? mask : 2);
      start = PickedStart(dpStartWeekly, tpStartWeekly);
      break;
    }
    case TT::ttMonthly:
    case TT::ttMonthlyDow: {
      int months = 0;
      for (int i = 0; i < 12; ++i)
        if (cbMonth[i].Checked()) months |= 1 << i;
      if (type == TT::ttMonthly) {
        uint32_t days = ccMonthDays.Selected();
        t->SetDaysOfMonth(static_cast<int>(days ? days : 1));
      } else {
        uint32_t weeks = ccMonthStart.Selected(), d = ccWeekdays.Selected();
        t->SetWeeksOfMonth(static_cast<int>(weeks ? weeks : 1));
        uint32_t mask = ((d << 1) | ((d >> 6) & 1)) & 0x7F;
        t->SetDaysOfWeek(static_cast<int>(mask ? mask : 2));
      }
      t->SetMonthsOfYear(months ? months : 1);
      start = PickedStart(dpStartMonthly, tpStartMonthly);
      break;
    }
    case TT::ttEvent:
    case TT::ttLogon:
      if (type == TT::ttEvent)
        t->SetSubscription(wut);
      else
        t->SetLogonUserId(laUser.Text());
      start = cbActivate.Checked() ? PickedStart(dpEventTime, tpEventTime) : 0;
      t->SetDelay(DelaySeconds(cbDelay, reDelay, cbDelUnit));
      break;
    default: break;
  }
  TDateTime end = 0;
  if (AdvSet.UseEndDate) end = AdvSet.EndDate > start ? AdvSet.EndDate : start + 1.0 / 1440;
  t->SetEndTime(end);
  t->SetStopAtDurationEnd(AdvSet.StopEndDuration);
  t->SetDuration(AdvSet.RepeatTask ? static_cast<uint32_t>(AdvSet.MinutesDuration) * 60 : 0);
  t->SetInterval(AdvSet.RepeatTask ? static_cast<uint32_t>(AdvSet.MinutesInterval) * 60 : 0);
  t->SetExecutionTimeLimit(AdvSet.UseLimit ? static_cast<uint32_t>(AdvSet.MinutesLimit) * 60 : 0);
  t->SetStartTime(start);
}

int TTaskScheduleDialog::Execute(int index, int trgIndex, THvAction action, std::wstring_view path,
                                 std::wstring_view task, std::wstring_view options, int& taskNr, int& trgNr,
                                 bool retry) {
  taskNr = 0;
  if (!IsAvailable() || !TaskSchedule->TaskFolder()) {
    ErrorDialog(_(L"Scheduled tasks are not available on this computer!"));
    return mrCancel;
  }
  TWinTaskFolder& folder = *TaskSchedule->TaskFolder();
  FPath = AddPathDelimiter(path);
  btnBack.SetEnabled(false);
  pcSteps.SetActivePageIndex(0);
  ActErr = 0;
  HvAction = action;
  FArgs.clear();
  FTask = nullptr;
  FNewTask.reset();
  FStarterName.clear();
  ShowProgPage = action != THvAction::paStarter && action != THvAction::paQlBackup;
  pcMain.SetActivePageIndex(ShowProgPage ? 0 : 1);
  std::wstring actionText = ActionText(action);
  laTasks.SetText(ActionTaskLabel(action));
  SetCaption(_(L"Windows Scheduled Task Wizard") + L" (" + actionText + L")");
  bbErrorAction.SetVisible(action == THvAction::paBackup);
  const bool pickFiles =
      action != THvAction::paSchedule && action != THvAction::paStarter && action != THvAction::paQlBackup;
  btnTask.SetVisible(pickFiles);
  edTasks.SetReadOnly(!pickFiles);

  bool isNew = index < 0;
  std::wstring program = RunningProgram();
  int taskIndex = -1;
  if (index > 0) {
    taskIndex = index - 1;
  } else if (index == 0) {
    int picked = -1, pickedTrigger = 0;
    int r = SelectScheduledTask(actionText, *TaskSchedule, FileNameOf(program), picked, pickedTrigger);
    if (r == mrOk) {
      taskIndex = picked;
      trgIndex = pickedTrigger;
      if (action == THvAction::paStarter && taskIndex >= 0 && taskIndex < folder.TaskCount() &&
          !EditStarterTask(options, taskIndex)) {
        taskNr = picked;
        trgNr = 0;
        return mrCancel;
      }
    } else if (r == 7) {
      if (action == THvAction::paStarter) {
        ErrorDialog(SafeFormat(_(L"No scheduled tasks using %s found!"), L"HvStarter"));
        return 7;
      }
      const wchar_t* who = action == THvAction::paSchedule ? L"HvPlaner" : action == THvAction::paQlBackup ? L"QlBackup" : L"Harvane";
      if (!ConfirmDialog(SafeFormat(_(L"No scheduled tasks using %s found!\r\nCreate new task?"), who))) return mrCancel;
      isNew = true;
    } else if (r == 6) {
      return 6;
    } else {
      taskNr = picked;
      trgNr = 0;
      return mrCancel;
    }
    folder.Refresh();
  }
  if (!isNew && (taskIndex < 0 || taskIndex >= folder.TaskCount())) return mrCancel;

  if (isNew) {
    // name and working arguments
    std::wstring name;
    switch (action) {
      case THvAction::paSchedule:
        FArgs = QuoteIfNeeded(task, L" ,") + L" " + std::wstring(options);
        name = L"Schedule-" + std::wstring(task);
        break;
      case THvAction::paStarter:
      case THvAction::paQlBackup:
        FArgs = options;
        name = std::wstring(ActionNamePrefix(action)) + std::wstring(task);
        break;
      default: {
        std::vector<std::wstring> files = Items(task);
        for (size_t i = 0; i < files.size(); ++i)
          FArgs += (i ? L" " : L"") + QuoteIfNeeded(MakeRelativePath(FPath, files[i]), L" ,");
        FArgs += L" " + std::wstring(options);
        name = std::wstring(ActionNamePrefix(action)) + BaseName(files.empty() ? std::wstring() : files[0]);
      }
    }
    folder.Refresh();
    int found = folder.IndexOfTask(name);
    if (found < 0 && action != THvAction::paStarter && action != THvAction::paSchedule) {
      // the name is confirmed, then looked up again: registering never replaces another task
      for (;;) {
        if (!AskTaskName(actionText, name)) return mrCancel;
        if (IsValidFileName(name)) break;
        // the box's title goes before a "|", which the character list also holds
        ErrorDialog(_(L"Task Scheduler") + L"|" +
                    SafeFormat(_(L"\"%s\" contains invalid characters (%s)!"), name, L"* ? < > : \" / \\ |"));
      }
      found = folder.IndexOfTask(name);
    }
    if (found < 0) {
      try {
        FNewTask = TaskSchedule->NewTask();
      } catch (const Exception& e) {
        ErrorDialog(_(L"Error creating new scheduled task!") + L"\r\n- " + e.Message());
        return mrCancel;
      }
      FTask = FNewTask.get();
      FTrgIndex = -1;
      if (index == -2) {
        std::wstring xml;
        try {
          xml = ReadXmlFile(std::wstring(task));
          FTask->SetXmlText(xml);
        } catch (const Exception& e) {
          ErrorDialog(_(L"Error creating new scheduled task!") + L"\r\n- " + e.Message());
          return mrCancel;
        }
        FTrgIndex = FTask->TriggerCount() > 0 ? 0 : -1;
      } else {
        FTask->SetDescription(_(L"This task was created by Harvane"));
        FTask->SetAuthor(GetCurrentUserName());
        FTask->SetUserId(GetQualifiedUserName());
        FTask->SetLogonType(TLogonType::ltToken);  // the account page starts "As logged-on user"
        FTask->SetDate(NowLocal());
        TWinTaskAction& a = FTask->NewAction(TWinTaskActionType::taExec);
        a.SetApplicationPath(QuoteBlank(program));
        a.SetWorkingDirectory(L"");
        a.SetArguments(FArgs);
      }
      FTaskName = name;
      retry = false;
    } else {
      if (!ConfirmDialog(SafeFormat(_(L"Task \"%s\" already exists - edit?"), name))) return mrCancel;
      taskIndex = found;
      isNew = false;
      retry = false;
    }
  }
  if (!isNew) {
    TWinRegisteredTask& rt = folder.Tasks(taskIndex);
    FTask = &rt.Definition();
    FTaskName = FStarterName.empty() ? rt.TaskName() : FStarterName;
    FTrgIndex = FTask->TriggerCount() > 0 ? std::min(std::max(trgIndex, 0), FTask->TriggerCount() - 1) : -1;
  }
  edJobName.SetText(FTaskName);

  bool supported = true;
  if (!retry) {
    OptionsClick();
    LoadDefaults(NowLocal());
    leDesc.SetText(FTask->Description());
    rbLoggedUser.SetChecked(FTask->LogonType() == TLogonType::ltToken);
    rbAnyUser.SetChecked(!rbLoggedUser.Checked());
    if (rbAnyUser.Checked()) edUser.SetText(FTask->UserId());
    rbLoggedUserClick();
    cbRunLevel.SetChecked(FTask->HighestRunLevel());
    // the exec action that starts this program, else the first exec action
    if (FTask->IndexOfApp(FileNameOf(program)) < 0 && FTask->IndexOfNextExecAction(0) < 0)
      FTask->NewAction(TWinTaskActionType::taExec);
    TWinTaskAction& a = FTask->Action(FTask->SelectedAction);
    edTasks.SetText(L"");
    edUserOptions.SetText(L"");
    edWorkDir.SetText(RemoveQuotes(a.WorkingDirectory()));
    edWorkDir.Hint = edWorkDir.Text();
    if (ShowProgPage) {
      TTaskOptions o;
      o.Action = HvAction;
      std::wstring tasks, user;
      ParseTaskOptions(a.Arguments(), FPath, o, tasks, user);
      SetPageOptions(o);
      edTasks.SetText(tasks);
      edUserOptions.SetText(user);
    } else if (FArgs.empty()) {
      FArgs = a.Arguments();
    }
    OptionsClick();
    if (rbAnyUser.Checked()) edUser.SetText(FTask->UserId());
    AdvSet.ReRun = FTask->Settings().RunIfMissed();
    AdvSet.PowerOnly = FTask->Settings().DisallowOnBatteries();
    AdvSet.StopBattery = FTask->Settings().StopOnBatteries();
    AdvSet.WakeUp = FTask->Settings().WakeToRun();
    AdvSet.NetworkOnly = FTask->Settings().RunOnlyIfNetwork();
    if (FTask->Settings().Compatibility() < TWinTaskCompatibility::tcVista)
      FTask->Settings().SetCompatibility(DefaultCompatibility());
    supported = ReadTrigger(FTrgIndex);
  }
  taskNr = isNew ? -1 : taskIndex;
  trgNr = FTrgIndex;
  if (!supported) {
    ErrorDialog(SafeFormat(_(L"The trigger mode \"%s\" is not supported by Harvane.\r\nPlease use the Windows Task "
                             L"Scheduler for editing!"),
                           FOldTypeText));
    return mrCancel;
  }
  ShowTriggerPage();
  if (ShowProgPage) pcMain.SetActivePageIndex(0);
  if (ShowModal() != mrOk) return mrCancel;

  // write back
  FTask->SetDescription(leDesc.Text());
  // a task picked for editing without a task name of the caller keeps the data it is found by
  if (isNew || !task.empty() || FTask->UserData().empty()) FTask->SetUserData(ActionUserData(action, task));
  FTask->SetLogonType(rbLoggedUser.Checked() ? TLogonType::ltToken : TLogonType::ltPassword);
  FTask->SetHighestRunLevel(cbRunLevel.Checked());
  TWinTaskSettings& st = FTask->Settings();
  st.SetRunIfMissed(AdvSet.ReRun);
  st.SetDisallowOnBatteries(AdvSet.PowerOnly);
  st.SetStopOnBatteries(AdvSet.StopBattery);
  st.SetWakeToRun(AdvSet.WakeUp);
  st.SetRunOnlyIfNetwork(AdvSet.NetworkOnly);
  // the exec action that was edited, not simply the first one
  TWinTaskAction& a = FTask->Action(FTask->SelectedAction);
  std::wstring oldPath = a.ApplicationPath();
  if (AnsiLowerCase(DirOf(oldPath)) != AnsiLowerCase(DirOf(program)))
    a.SetApplicationPath(QuoteBlank(AddPath(DirOf(program), FileNameOf(oldPath))));
  // the service refuses a quoted working folder when the task runs
  a.SetWorkingDirectory(edWorkDir.Text());
  std::wstring args;
  if (action == THvAction::paStarter || action == THvAction::paQlBackup) {
    args = FArgs;
  } else if (action == THvAction::paSchedule) {
    std::vector<std::wstring> items = Items(edTasks.Text());
    args = (items.empty() ? std::wstring() : QuoteIfNeeded(items[0], L" ,")) + BuildTaskOptions(PageOptions(), true);
  } else {
    for (const std::wstring& item : Items(edTasks.Text()))
      args += QuoteIfNeeded(MakeAbsolutePath(FPath, item), L" ,") + L" ";
    std::wstring built = BuildTaskOptions(PageOptions(), true);
    args += built.empty() ? built : built.substr(1);
  }
  if (!edUserOptions.Text().empty()) args += L" " + edUserOptions.Text();
  a.SetArguments(args);
  WriteTrigger(trgNr);

  std::wstring user = edUser.Text(), pwd = edPwd.Text();
  const std::wstring oldName = isNew ? std::wstring() : folder.Tasks(taskIndex).TaskName();
  int registered = folder.RegisterTask(FTaskName, *FTask, user, pwd);
  if (registered >= 0) {
    taskNr = registered;
    if (!FStarterName.empty() && AnsiLowerCase(oldName) != AnsiLowerCase(FTaskName)) {
      if (!folder.DeleteTask(oldName)) ErrorDialog(folder.ErrorMessage());
      taskNr = folder.IndexOfTask(FTaskName);
    }
    FNewTask.reset();
    FTask = nullptr;
    return mrOk;
  }
  uint32_t code = folder.ErrorCode();
  int result = IsLogonOrParamError(code) ? mrRetry : mrCancel;
  ErrorDialog(_(L"Could not create or modify scheduled task!") + L"\r\n" + SystemErrorText(code) + L" - " +
              folder.ErrorMessage());
  if (FNewTask)
    FNewTask.reset();
  else
    folder.Refresh();
  FTask = nullptr;
  return result;
}

int TTaskScheduleDialog::Execute(int index, THvAction action, std::wstring_view path, std::wstring_view task,
                                 std::wstring_view options, bool retry) {
  int taskNr = 0, trgNr = 0;
  return Execute(index, 0, action, path, task, options, taskNr, trgNr, retry);
}

int TaskScheduleWizard(TWinTaskScheduler* scheduler, int index, THvAction action, std::wstring_view path,
                       std::wstring_view task, std::wstring_view options) {
  TTaskScheduleDialog dialog;
  dialog.Create(Application().OwnerWindow());
  dialog.InitTaskScheduler(scheduler);
  return dialog.Execute(index, action, path, task, options, false);
}

}  // namespace hv
