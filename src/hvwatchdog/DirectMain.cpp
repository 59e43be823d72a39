#include "hvwatchdog/DirectMain.h"

#include <commdlg.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/FileUtils.h"
#include "base/os/WinExecute.h"
#include "base/os/WinShell.h"
#include "base/os/WinUtils.h"
#include "base/settings/BuConsts.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/ShowMemo.h"
#include "hvwatchdog/HvWatchdogRes.h"
#include "hvwatchdog/InfoDlg.h"
#include "hvwatchdog/SelectListItemDlg.h"
#include "hvwatchdog/ShowHint.h"
#include "hvwatchdog/TrayIcon.h"
#include "hvwatchdog/WdSettings.h"
#include "hvwatchdog/copy/FilePropUtils.h"
#include "winui/CommonDialogs.h"
#include "winui/Translate.h"

namespace hv {

namespace {

constexpr UINT kTrayId = 2;
constexpr UINT WM_TRAYICON = WM_USER + 1;
constexpr wchar_t kBuiltInNoCompress[] =
    L"7z,ace,arc,arj,bz2,cab,docx,epub,gif,gz,gze,jpeg,jpg,lha,lzh,mp3,mp4,mpg,odg,odp,ods,odt,otp,ots,ott,pdf,png,"
    L"pptx,rar,webm,webp,xlsm,xlsx,xpi,zip,zipx";
const wchar_t* const kUnits[] = {L"seconds", L"minute(s)", L"hour(s)"};
enum : UINT { cmdStartImm = 1, cmdStartStop, cmdProg, cmdQuit, cmdHarvane };

}  // namespace

TIntervalView IntervalUnitDefaults(int unit) {
  if (unit == 0) return {0, 30, 5, 295, 5};
  if (unit == 2) return {2, 1, 1, 12, 1};
  return {1, 10, 1, 360, 1};
}

TIntervalView IntervalView(int s) {
  if (s < 1) return IntervalUnitDefaults(1);
  if (s > 7199)
    s = s / 3600 * 3600;
  else if (s > 299)
    s = s / 60 * 60;
  TIntervalView v;
  if (s % 3600 == 0)
    v = {2, s / 3600, 1, 12, 1};
  else if (s % 60 != 0)
    v = {0, s, 5, 295, 5};
  else
    v = {1, s / 60, 1, 360, 1};
  v.Value = std::clamp(v.Value, v.Min, v.Max);
  return v;
}

std::wstring StartupLinkName() {
  std::wstring dir = GetKnownFolder(FOLDERID_Startup);
  if (dir.empty()) dir = GetSpecialFolder(CSIDL_STARTUP);
  return dir.empty() ? std::wstring() : AddPath(dir, L"HvWatchdog.lnk");
}

TfrmHvWatchdog::TfrmHvWatchdog() {
  KeyPreview = true;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = 736;
  ClientHeight96 = 590;
}

TfrmHvWatchdog::~TfrmHvWatchdog() {
  if (FTrayShown) RemoveTrayIcon(Handle(), kTrayId);
}

void TfrmHvWatchdog::FormCreate() {
  SetCaption(L"Direct backup with online monitoring");
  // Left column: the directories; right column: the selected directory's job.
  laMonDirs.Create(*this, L"Directories to be monitored", {8, 8, 420, 17});
  lbDirs.Create(*this, {8, 28, 420, 216});
  lbDirs.OnClick = [this] { ShowTaskSettings(lbDirs.ItemIndex()); };
  lbDirs.OnDblClick = [this] {
    const int i = lbDirs.ItemIndex();
    ShowTaskSettings(i);
    if (i >= 0 && static_cast<size_t>(i) < Monitor.Tasks.Count() && Monitor.Tasks[static_cast<size_t>(i)].GetRunStatus() == 0)
      bbEditClick();
  };
  lbDirs.OnClickCheck = [this](int i) { lbDirsClickCheck(i); };
  laTask.Create(*this, L"Associated backup task", {440, 8, 288, 17});
  edTask.Create(*this, L"", {440, 28, 228, 23}, nullptr, true);
  edTask.Hint = L"Backup task with the settings to be used";
  bbEdit.Create(*this, L"Edit", {674, 27, 54, 25});
  bbEdit.Hint = L"Edit backup task";
  bbEdit.OnClick = [this] { bbEditClick(); };
  laDest.Create(*this, L"Destination:", {440, 58, 288, 17});
  edBuDest.Create(*this, L"", {440, 78, 288, 23}, nullptr, true);
  edBuDest.Hint = L"Destination directory";
  for (auto* e : {&edTask, &edBuDest}) e->TranslateText = false;
  laBuMethod.Create(*this, L"", {440, 108, 288, 17});
  laCompress.Create(*this, L"", {440, 132, 228, 17});
  bbFilter.Create(*this, L"Filter", {674, 128, 54, 25});
  bbFilter.Hint = L"Show filter settings";
  bbFilter.OnClick = [this] { bbFilterClick(); };
  for (auto* l : {&laBuMethod, &laCompress}) l->TranslateText = false;
  laRetainBak.Create(*this, L"Retain previous file versions:", {440, 162, 200, 17});
  edBakCount.Create(*this, L"0", {644, 158, 44, 23});
  edBakCount.TranslateText = false;
  udBakCount.Create(*this, {688, 158, 17, 23});
  udBakCount.SetAssociate(&edBakCount);
  udBakCount.SetRange(0, 9);
  udBakCount.Hint = L"Number of legacy copies to be kept";
  // A number typed into the edit counts as much as a step of the arrows.
  edBakCount.OnChange = [this] {
    const int i = lbDirs.ItemIndex();
    if (i >= 0 && static_cast<size_t>(i) < Monitor.Tasks.Count()) Monitor.Tasks[static_cast<size_t>(i)].RetainBak = udBakCount.Position();
  };
  udBakCount.OnClick = [this](bool) { edBakCount.OnChange(); };
  btnAdd.Create(*this, L"Add directory", {440, 216, 140, 28});
  btnAdd.OnClick = [this] { btnAddClick(); };
  btnRemove.Create(*this, L"Remove directory", {588, 216, 140, 28});
  btnRemove.OnClick = [this] { btnRemoveClick(); };

  gbSettings.Create(*this, L"Backup settings", {8, 254, 420, 90});
  cbPeriodic.Create(*this, L"Automatic backup every", {10, 22, 180, 22}, gbSettings.Handle());
  cbPeriodic.Hint = L"Enable periodic backups";
  cbPeriodic.OnClick = [this] {
    const bool on = cbPeriodic.Checked();
    for (TControl* c : std::initializer_list<TControl*>{&reInterval, &udInterval, &cbIntUnit}) c->SetEnabled(on);
    Monitor.BuInterval = GetIntervalSeconds();
  };
  reInterval.Create(*this, L"30", {194, 21, 50, 23}, gbSettings.Handle());
  reInterval.TranslateText = false;
  udInterval.Create(*this, {244, 21, 17, 23}, gbSettings.Handle());
  udInterval.SetAssociate(&reInterval);
  cbIntUnit.Create(*this, TComboBoxStyle::csDropDownList, {268, 21, 140, 23}, gbSettings.Handle());
  for (auto u : kUnits) cbIntUnit.Add(_(u));
  cbIntUnit.OnCloseUp = [this] { ApplyInterval(IntervalUnitDefaults(cbIntUnit.ItemIndex())); };
  cbSysTray.Create(*this, L"Keep running in background", {10, 56, 300, 22}, gbSettings.Handle());
  cbSysTray.OnClick = [this] { UpdateQuitButton(); };

  gbNext.Create(*this, L"Next backup", {436, 254, 150, 90});
  cpWait.Create(*this, {10, 24, 31, 31}, gbNext.Handle());
  cpWait.ForeColor = RGB(0, 128, 0);
  laCount.Create(*this, L"", {48, 24, 96, 17}, gbNext.Handle());
  laFiles.Create(*this, L"", {48, 44, 70, 17}, gbNext.Handle());
  laFiles.Hint = L"Number of files detected as modified";
  sbViewFiles.Create(*this, L"...", {120, 42, 24, 21}, gbNext.Handle());
  sbViewFiles.TranslateText = false;
  sbViewFiles.Hint = L"Show files";
  sbViewFiles.SetVisible(false);
  sbViewFiles.OnClick = [this] { sbViewFilesClick(); };
  laNoSched.Create(*this, L"Not scheduled", {10, 62, 130, 17}, gbNext.Handle());
  for (auto* l : {&laCount, &laFiles}) l->TranslateText = false;

  bbStart.Create(*this, L"Start", {594, 260, 64, 36});
  bbStart.Hint = L"Start monitoring the selected directories";
  bbStart.OnClick = [this] { bbStartClick(); };
  bbStop.Create(*this, L"Stop", {664, 260, 64, 36});
  bbStop.Hint = L"Stop monitoring";
  bbStop.SetEnabled(false);
  bbStop.OnClick = [this] { bbStopClick(); };
  bbMenu.Create(*this, L"Menu", {594, 304, 64, 36});
  bbMenu.Hint = L"Open menu";
  bbMenu.OnClick = [this] {
    POINT pt;
    GetCursorPos(&pt);
    pmSettings.Popup(pt.x, pt.y, Handle());
  };
  bbQuit.Create(*this, L"Quit", {664, 304, 64, 36});
  bbQuit.Hint = L"Quit program and save settings";
  bbQuit.OnClick = [this] { bbQuitClick(); };

  laLog.Create(*this, L"Backup log:", {8, 354, 200, 17});
  meLog.Create(*this, {8, 374, 720, 174});
  meLog.SetFont(L"Courier New", 9);
  cbWriteLog.Create(*this, L"Write log to file", {8, 558, 260, 22});
  cbWriteLog.OnClick = [this] { Monitor.WriteLog = cbWriteLog.Checked(); };
  bbShowLog.Create(*this, L"Show log", {440, 554, 92, 28});
  bbShowLog.Hint = L"Show log file";
  bbShowLog.OnClick = [this] { bbShowLogClick(); };
  bbCopy.Create(*this, L"Copy", {538, 554, 92, 28});
  bbCopy.Hint = L"Copy log to clipboard";
  bbCopy.OnClick = [this] { bbCopyClick(); };
  bbClear.Create(*this, L"Clear", {636, 554, 92, 28});
  bbClear.Hint = L"Clear log";
  bbClear.OnClick = [this] { meLog.SetText(L""); };

  tmBackup.SetInterval(1000);
  tmBackup.OnTimer = [this] { tmBackupTimer(); };
  tmStart.SetInterval(3000);
  tmStart.OnTimer = [this] { tmStartTimer(); };

  ChangedFiles.Create(Handle());
  ChangedFiles.SetBakColor(GetSysColor(COLOR_INFOBK));
  ChangedFiles.SetSorted(false);

  pmiStartup = &pmSettings.Add(_(L"Start on logon"), [this] { pmiStartupClick(); });
  pmiStartup->AutoCheck = true;
  pmSettings.Add(_(L"Reset window to default size"), [this] { pmiDefaultSizeClick(); });
  pmSettings.AddSeparator();
  pmSettings.Add(_(L"Help") + L"\tF1", [this] { FormHelp(); });
  pmSettings.Add(_(L"Version info"), [this] { pmiInfoClick(); });
  pmSettings.AddSeparator();
  pmSettings.Add(_(L"Cancel"));

  const TDefaultDirs dirs = GetDefaultDirs();
  AppPath = AddPathDelimiter(GetAppDataSubDir(L"Harvane6"));
  UserPath = dirs.Documents;
  SetLocaleTimeFormats();
  TVersionCaption v = InitVersionInfo(L"HvWatchdog", L" - Vers. 1.0", L"", 3);
  ProgVersName = v.Caption;
  ProgVersDate = v.BuildDate;
  JobDir = AddPath(UserPath, L"Harvane\\");
  SetCaption(_(L"File change monitoring with direct backup") + L" (" + ProgramVersionInfo().InternalName +
             GetBitnessSuffix() + L" " + GetProgramVersion(3, L"0.0.0.0") + L")");
  HvPath = FindMainProgram();
  ReadSettings();
  UpdateStartupLink();
  InitProgramStyle(UseDarkMode);
  msgId = RegisterWindowMessageW(L"HvWatchdogForce");
  FTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

  Monitor.OnLog = [this](const std::wstring& l) { AddLogLine(l); };
  Monitor.OnSaveSettings = [this] { SaveSettings(); };
  Monitor.ProcessMessages = [] { Application().ProcessMessages(); };
  Monitor.OnNotice = [this](const std::wstring& n) {
    if (FTrayShown) ShowTrayBalloon(Handle(), kTrayId, ProgVersName, n, false);
  };
}

void TfrmHvWatchdog::ReadSettings() {
  const TSettingsPaths paths = LocateSettings(GetAppDataPath(), ProgramDir(), ProgramName(), false);
  SettingsDir = paths.SettingsDir;
  IniName = paths.OwnIniName;
  TWdSettings s;
  s.Height = DHeight;
  s.Width = DWidth;
  s.JobDir = JobDir;
  s.Top = -1;
  s.Left = -1;
  try {
    ReadWdSettings(IniName, DHeight, s, Monitor.Tasks);
  } catch (const Exception& e) {
    // A file that could not be read (locked, unreadable) is not written over with the defaults.
    FSettingsUnread = true;
    AddLogLine(e.Message());
    AddLogLine(_(L"The settings could not be read; they are not saved until the program starts again."));
  }
  JobDir = s.JobDir;
  cbSysTray.SetChecked(s.SysTray);
  cbWriteLog.SetChecked(s.WriteLog);
  // The first run after the start is logged too, not only those after the settings were saved.
  Monitor.WriteLog = s.WriteLog;
  if (s.Top >= 0 && s.Left >= 0) {
    Position = TPosition::poDesigned;
    SetPos(s.Left, s.Top);
  }
  for (const auto& arg : CommandLineArgs()) {
    if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-')) continue;
    const std::wstring opt = arg.substr(1);
    if (MatchOption(opt, L"hide"))
      cbSysTray.SetChecked(true);
    else if (MatchOption(opt, L"dark"))
      UseDarkMode = true;
    else if (MatchOption(opt, L"force"))
      Force = true;
  }
  UpdateQuitButton();
  MainIniName = MainIniFileName(SettingsDir);
  std::wstring driveId = GetDrivePrefix(), noCompress;
  if (FileExistsXL(MainIniName, true)) {
    try {
      auto ini = TUnicodeIniFile::CreateForRead(MainIniName);
      driveId = ini.ReadString(L"Config", L"DriveId", driveId);
      noCompress = ini.ReadString(L"Config", L"NoCompress", L"");
      if (!noCompress.empty()) {
        TMatchList list;
        list.SetCommaText(noCompress + L"," + kBuiltInNoCompress);
        noCompress = list.CommaText();
      }
      LogDir = ini.ReadString(L"Config", L"ProtDir", L"");
    } catch (const Exception& e) {
      AddLogLine(e.Message());
    }
  }
  SuiteSettings.PrinterSettings = LoadPrinterSettings(MainIniName, L"Printer");
  if (LogDir.empty() || !IsDirectory(LogDir)) LogDir = SettingsDir;
  Monitor.Defaults = {driveId, noCompress};
  Monitor.LogDir = LogDir;
  Monitor.BuInterval = s.Interval < 1 ? -1 : s.Interval;
  cbPeriodic.SetChecked(s.Interval > 0);
  ApplyInterval(IntervalView(s.Interval));
  cbPeriodic.OnClick();
  cpWait.SetVisible(false);
  laFiles.SetText(L"");
  laCount.SetText(L"");
  RenumberDirList();
}

void TfrmHvWatchdog::UpdateQuitButton() {
  // With "Keep running in background" the button hides the window into the tray.
  bbQuit.Hint = cbSysTray.Checked() ? _(L"Move program to background") : _(L"Quit program and save settings");
}

void TfrmHvWatchdog::ApplyInterval(const TIntervalView& v) {
  cbIntUnit.SetItemIndex(v.Unit);
  udInterval.SetRange(v.Min, v.Max);
  udInterval.SetIncrement(v.Step);
  udInterval.SetPosition(v.Value);
  reInterval.SetText(std::to_wstring(v.Value));
  reInterval.Hint = _(L"Number of ") + _(kUnits[v.Unit]);
}

int TfrmHvWatchdog::GetIntervalSeconds() const {
  if (!cbPeriodic.Checked()) return -1;
  static const int factor[] = {1, 60, 3600};
  const int unit = std::clamp(cbIntUnit.ItemIndex(), 0, 2);
  return udInterval.Position() * factor[unit];
}

void TfrmHvWatchdog::FormShow() {
  Monitor.CheckTasks();
  RenumberDirList();
  if (Monitor.Tasks.Count() > 0 && lbDirs.ItemIndex() < 0) lbDirs.SetItemIndex(0);
  ShowTaskSettings(lbDirs.ItemIndex());
}

void TfrmHvWatchdog::AddLogLine(const std::wstring& line) {
  const int len = GetWindowTextLengthW(meLog.Handle());
  meLog.SetSel(len, 0);
  SendMessageW(meLog.Handle(), EM_REPLACESEL, FALSE,
               reinterpret_cast<LPARAM>(((len ? L"\r\n" : L"") + line).c_str()));
}

void TfrmHvWatchdog::RenumberDirList() {
  const int sel = lbDirs.ItemIndex();
  lbDirs.Clear();
  for (size_t i = 0; i < Monitor.Tasks.Count(); ++i) {
    lbDirs.Add(TMonTaskList::ItemText(i, Monitor.Tasks[i]));
    lbDirs.SetChecked(static_cast<int>(i), Monitor.Tasks[i].MonStatus == TMonTaskStatus::mtEnabled);
  }
  if (sel >= 0 && sel < lbDirs.Count()) lbDirs.SetItemIndex(sel);
}

void TfrmHvWatchdog::ShowTaskSettings(int index) {
  if (index < 0 || static_cast<size_t>(index) >= Monitor.Tasks.Count()) return ClearTaskSettings();
  const TMonTask& t = Monitor.Tasks[static_cast<size_t>(index)];
  edTask.SetText(t.BuTask);
  edBuDest.SetText(t.DestDir);
  laBuMethod.SetText(_(L"Method: ") + L" " +
                     (t.DestMode == 0   ? _(L"Separate directories for drives")
                      : t.DestMode == 1 ? _(L"Full original directory structure")
                                        : _(L"Invalid task configuration")));
  laCompress.SetText(t.Compress == 0 ? _(L"No compression")
                                     : _(L"Compress files") + L" " + (t.Compress == 1 ? _(L"as gz") : _(L"as zip")));
  udBakCount.SetPosition(t.RetainBak);
  UpdateDirButtons();
}

void TfrmHvWatchdog::ClearTaskSettings() {
  for (TControl* c : std::initializer_list<TControl*>{&edTask, &edBuDest, &laBuMethod, &laCompress}) c->SetText(L"");
  udBakCount.SetPosition(0);
  UpdateDirButtons();
}

void TfrmHvWatchdog::UpdateDirButtons() {
  const int i = lbDirs.ItemIndex();
  const TMonTask* t = i >= 0 && static_cast<size_t>(i) < Monitor.Tasks.Count() ? &Monitor.Tasks[static_cast<size_t>(i)] : nullptr;
  btnRemove.SetEnabled(t && !Monitor.Monitoring() && !FEditing);
  bbFilter.SetEnabled(t != nullptr);
  bbEdit.SetEnabled(t && t->GetRunStatus() == 0 && !FEditing);
}

void TfrmHvWatchdog::bbFilterClick() {
  const int i = lbDirs.ItemIndex();
  if (i < 0 || static_cast<size_t>(i) >= Monitor.Tasks.Count()) return;
  ShowFilterDialog(Monitor.Tasks[static_cast<size_t>(i)].MonFilter);
}

void TfrmHvWatchdog::bbEditClick() {
  const int i = lbDirs.ItemIndex();
  if (FEditing || i < 0 || static_cast<size_t>(i) >= Monitor.Tasks.Count()) return;
  TMonTask* task = &Monitor.Tasks[static_cast<size_t>(i)];
  if (task->GetRunStatus() != 0) return;
  const std::wstring job = task->BuTask;
  if (!FileExistsXL(job, true)) {
    ErrorDialog(_(L"Task not found") + L": " + job);
    return;
  }
  FEditing = true;
  UpdateDirButtons();
  DWORD result = 0;
  std::wstring error;
  try {
    if (HvPath.empty()) throw EProcessError(ERROR_FILE_NOT_FOUND);
    TKernelHandle process = StartProcess(MakeMainProgramCommand(HvPath, {job}, MakeOption(L"edit")), L"");
    result = WaitForProcess(process, 0, true);
    if (result & kExitCodeFlag)
      error = GetTaskResultText(MainProgramResult(result & ~kExitCodeFlag));
    else if (result != 0)
      error = SystemErrorText(result);
  } catch (const EProcessError& e) {
    error = e.Message();
  }
  FEditing = false;
  // The list may have changed while the main program ran.
  size_t pos = 0;
  while (pos < Monitor.Tasks.Count() && &Monitor.Tasks[pos] != task) ++pos;
  if (!error.empty()) {
    ErrorDialog(SafeFormat(_(L"Error on executing Harvane: %s"), error));
  } else if (pos < Monitor.Tasks.Count() && task->GetRunStatus() == 0) {
    std::vector<std::pair<std::wstring, int>> sources;
    switch (CheckTaskFile(job, &sources)) {
      case 1: ErrorDialog(TaskConditionsText(job)); task->MonStatus = TMonTaskStatus::mtInvalid; break;
      case 2: ErrorDialog(_(L"Task file not found") + L": " + job); task->MonStatus = TMonTaskStatus::mtInvalid; break;
      case 3: ErrorDialog(_(L"Error reading from backup task") + L": " + job); task->MonStatus = TMonTaskStatus::mtInvalid; break;
      default: {
        const bool listed = std::any_of(sources.begin(), sources.end(),
                                        [&](const auto& s) { return SameFileName(s.first, task->Dir); });
        if (!listed) {
          ErrorDialog(SafeFormat(_(L"Directory \"%s\" not specified in %s!"), task->Dir, job));
          task->MonStatus = TMonTaskStatus::mtInvalid;
        } else {
          task->MonStatus = LoadTaskSettings(*task, Monitor.Defaults, [this](const std::wstring& l) { AddLogLine(l); }) == 0
                                ? TMonTaskStatus::mtEnabled
                                : TMonTaskStatus::mtInvalid;
        }
      }
    }
  }
  RenumberDirList();
  ShowTaskSettings(lbDirs.ItemIndex());
}

bool TfrmHvWatchdog::FormHelp() {
  ShowHelp(L"hv-watchdog.html");
  return true;
}

void TfrmHvWatchdog::UpdateStartupLink() {
  const std::wstring link = StartupLinkName();
  const bool exists = !link.empty() && FileExistsXL(link, true);
  pmiStartup->SetChecked(exists);
  // Written again, so that it follows the program when that has moved.
  if (exists) pmiStartupClick();
}

void TfrmHvWatchdog::pmiStartupClick() {
  const std::wstring link = StartupLinkName();
  if (link.empty()) {
    pmiStartup->SetChecked(false);
    return;
  }
  if (!pmiStartup->Checked()) {
    // A shortcut that stays would still start the program at logon.
    if (!DeleteFileW(link.c_str())) {
      const DWORD e = GetLastError();
      if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) {
        ErrorDialog(_(L"Error deleting the shortcut!") + L"\r\n" + SystemErrorText(e));
        pmiStartup->SetChecked(true);
      }
    }
    return;
  }
  const std::wstring args = TrimLeftChar(MakeOption(L"hide") + MakeOption(L"force"), L' ');
  const HRESULT hr = CreateShellLink(link, ProgramFile(), args, L"", ProgVersName, false);
  if (FAILED(hr)) {
    ErrorDialog(_(L"Error creating desktop shortcut!") + L"\r\n" + SystemErrorText(static_cast<uint32_t>(hr)));
    pmiStartup->SetChecked(false);
    return;
  }
  NotifyShellAllChanged();
}

void TfrmHvWatchdog::pmiDefaultSizeClick() { SetClientSize(Scale(DWidth), Scale(DHeight)); }

void TfrmHvWatchdog::pmiInfoClick() {
  const RECT r = bbMenu.BoundsRect();
  POINT pt{r.left, r.top};
  ClientToScreen(Handle(), &pt);
  InfoDialogAt(TPoint{pt.x + ScaleToMonitor(30, *this), pt.y}, GetAboutText(HvPath, ProgVersDate, 3),
               TDefaultMonitor::dmActiveForm);
}

void TfrmHvWatchdog::ShowDestinationNotice(int limit) {
  const std::wstring text = DestinationNoticeText(Monitor.Tasks, limit);
  if (!text.empty()) ShowHintWindow(kDefaultDialogPos, htWarning, Caption(), text, 0);
}

void TfrmHvWatchdog::sbViewFilesClick() {
  ChangedFiles.Clear();
  if (Monitor.FileCount() == 0) {
    ChangedFiles.Add(_(L"No files"));
  } else {
    for (size_t i = 0; i < Monitor.Tasks.Count(); ++i) {
      const TMonTask& t = Monitor.Tasks[i];
      if (t.MonStatus != TMonTaskStatus::mtEnabled) continue;
      const std::wstring prefix = (i < 9 ? L"0" : L"") + std::to_wstring(i + 1) + L": ";
      for (const auto& name : t.FileList) ChangedFiles.Add(prefix + name);
    }
  }
  const RECT r = sbViewFiles.BoundsRect();
  POINT pt{r.left, r.bottom + Scale(2)};
  MapWindowPoints(GetParent(sbViewFiles.Handle()), nullptr, &pt, 1);
  ChangedFiles.ShowList(TPoint{pt.x, pt.y}, 0);
}

void TfrmHvWatchdog::tmStartTimer() {
  tmStart.SetEnabled(false);
  if (StartScreen) StartScreen->Close();
  StartScreen.reset();
}

void TfrmHvWatchdog::lbDirsClickCheck(int index) {
  if (index < 0 || static_cast<size_t>(index) >= Monitor.Tasks.Count()) return;
  TMonTask& t = Monitor.Tasks[static_cast<size_t>(index)];
  if (Monitor.Monitoring()) {
    lbDirs.SetChecked(index, t.MonStatus == TMonTaskStatus::mtEnabled);
    return;
  }
  if (lbDirs.Checked(index)) {
    t.MonStatus = TMonTaskStatus::mtEnabled;
  } else {
    t.MonStatus = TMonTaskStatus::mtDisabled;
    t.ErrCount = 0;
    t.FileList.Clear();
  }
}

void TfrmHvWatchdog::btnAddClick() {
  wchar_t file[MAX_PATH] = L"";
  const std::wstring filter = SafeFormat(_(L"Backup tasks|*.%s|all|*.*"), L"buj") + L"|";
  std::wstring f = filter;
  for (auto& c : f)
    if (c == L'|') c = L'\0';
  const std::wstring title = _(L"Select a backup task with the settings to be used");
  const std::wstring dir = edTask.Text().empty() ? JobDir : GetParentDir(edTask.Text());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = Handle();
  ofn.lpstrFilter = f.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = dir.c_str();
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = L"buj";
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
  if (!GetOpenFileNameW(&ofn)) return;
  std::vector<std::pair<std::wstring, int>> sources;
  switch (CheckTaskFile(file, &sources)) {
    case 1: ErrorDialog(TaskConditionsText(file)); return;
    case 2: ErrorDialog(_(L"Task file not found") + L": " + file); return;
    case 3: ErrorDialog(_(L"Error reading from backup task") + L": " + file); return;
  }
  std::wstring chosen;
  if (sources.size() == 1) {
    chosen = sources[0].first;
  } else {
    std::vector<std::wstring> names;
    for (const auto& source : sources) names.push_back(source.first);
    const RECT r = btnAdd.BoundsRect();
    POINT pt{r.right, r.top};
    ClientToScreen(Handle(), &pt);
    const int chosenIndex =
        SelectListItem(TPoint{pt.x, pt.y}, _(L"Select directory to be monitored"),
                       SafeFormat(_(L"Source directories found in the backup task \"%s\""), ExtractFileName(file)), names);
    if (chosenIndex < 0 || static_cast<size_t>(chosenIndex) >= names.size()) return;
    chosen = names[static_cast<size_t>(chosenIndex)];
  }
  auto task = std::make_unique<TMonTask>(file, chosen);
  if (LoadTaskSettings(*task, Monitor.Defaults, [this](const std::wstring& l) { AddLogLine(l); }) != 0) return;
  TMonTask* raw = task.get();
  const auto result = Monitor.Tasks.Add(std::move(task));
  if (result != TMonTaskList::arAdded) {
    TMonTask shown(file, chosen);
    ErrorDialog(TMonTaskList::RefusedText(result, shown));
    return;
  }
  raw->RetainBak = 0;
  RenumberDirList();
  lbDirs.SetItemIndex(lbDirs.Count() - 1);
  ShowTaskSettings(lbDirs.Count() - 1);
}

void TfrmHvWatchdog::btnRemoveClick() {
  const int i = lbDirs.ItemIndex();
  if (i < 0 || Monitor.Monitoring() || FEditing) return;
  if (!ConfirmDialog(_(L"Remove selected directory from list?"))) return;
  Monitor.Tasks.Remove(static_cast<size_t>(i));
  RenumberDirList();
  lbDirs.SetItemIndex(std::min(i, lbDirs.Count() - 1));
  ShowTaskSettings(lbDirs.ItemIndex());
}

bool TfrmHvWatchdog::StartMonitoring() {
  std::wstring error;
  Monitor.BuInterval = GetIntervalSeconds();
  if (!Monitor.StartMonitoring(error)) {
    RenumberDirList();
    ErrorDialog(error);
    return false;
  }
  RenumberDirList();
  laFiles.SetText(FileCountText(Monitor.FileCount()));
  laNoSched.SetVisible(false);
  sbViewFiles.SetVisible(false);
  UpdateDirButtons();
  // The interval of a running monitoring is the one it started with.
  for (TControl* c : std::initializer_list<TControl*>{&cbPeriodic, &reInterval, &udInterval, &cbIntUnit}) c->SetEnabled(false);
  bbStop.SetEnabled(true);
  bbStart.Hint = _(L"Start immediate backup");
  tmBackup.SetEnabled(true);
  cpWait.SetInterval(Monitor.BuInterval);
  cpWait.Reset();
  cpWait.SetVisible(Monitor.BuInterval > 0);
  TaskBarStatus = TTaskBarStatus::tbsWait;
  UpdateTrayIcon();
  return true;
}

void TfrmHvWatchdog::StopMonitoring() {
  Monitor.StopMonitoring();
  if (Monitor.InFinalWait()) return;
  tmBackup.SetEnabled(false);
  laFiles.SetText(L"");
  laCount.SetText(L"");
  bbStart.SetEnabled(true);
  UpdateDirButtons();
  cbPeriodic.SetEnabled(true);
  cbPeriodic.OnClick();
  bbStop.SetEnabled(false);
  TaskBarStatus = TTaskBarStatus::tbsOff;
  UpdateTrayIcon();
  if (FTrayShown) SetTrayTip(Handle(), kTrayId, TrayTipText(ProgVersName));
  laNoSched.SetVisible(true);
  sbViewFiles.SetVisible(false);
  cpWait.SetVisible(false);
  cpWait.SetPosition(0);
  bbStart.Hint = _(L"Start monitoring the selected directories");
}

void TfrmHvWatchdog::tmBackupTimer() {
  if (Monitor.InFinalWait()) return;
  const size_t files = Monitor.FileCount();
  cpWait.BackColor = RGB(255, 255, 255);
  cpWait.ForeColor = files == 0 ? RGB(0, 128, 0) : RGB(0xDC, 0x14, 0x3C);
  const TTaskBarStatus wanted = files == 0 ? TTaskBarStatus::tbsWait : TTaskBarStatus::tbsRun;
  bbStart.SetEnabled(files > 0);
  const int before = Monitor.TimeCount;
  const bool ran = Monitor.Tick();
  // After a scheduled run only a destination that failed more than three times in a row is noticed.
  if (ran) ShowDestinationNotice(before == 0 || before == 1 ? 3 : 0);
  const size_t now = Monitor.FileCount();
  laFiles.SetText(FileCountText(now));
  sbViewFiles.SetVisible(!ran && now > 0);
  laCount.SetText(CountdownText(cbPeriodic.Checked(), Monitor.TimeCount));
  if (ran && Monitor.TimeCount == Monitor.BuInterval) cpWait.Reset();
  if (cpWait.Visible()) cpWait.SetPosition(Monitor.BuInterval - Monitor.TimeCount);
  UpdateInfoStatus(_(L"Next backup: ") + CountdownText(cbPeriodic.Checked(), Monitor.TimeCount), FileCountText(now));
  if (FTrayShown)
    SetTrayTip(Handle(), kTrayId,
               TrayTipText(ProgVersName + L"\r\n" + _(L"Next backup: ") + CountdownText(cbPeriodic.Checked(), Monitor.TimeCount) +
                           L"\r\n" + FileCountText(now) + L" " + _(L"recognized as changed")));
  const TTaskBarStatus status = ran ? TTaskBarStatus::tbsWait : wanted;
  if (status != TaskBarStatus) {
    TaskBarStatus = status;
    UpdateTrayIcon();
  }
}

void TfrmHvWatchdog::bbStartClick() {
  if (Monitor.Monitoring()) {
    Monitor.InstantBackup = true;
    bbStart.SetEnabled(false);
    return;
  }
  if (!StartMonitoring()) return;
  ShowTaskSettings(lbDirs.ItemIndex());
  GoStandby = cbSysTray.Checked();
  if (GoStandby) Close();
}

void TfrmHvWatchdog::bbStopClick() { StopMonitoring(); }

void TfrmHvWatchdog::bbQuitClick() {
  GoStandby = cbSysTray.Checked();
  if (!GoStandby && Monitor.Monitoring()) StopMonitoring();
  Close();
}

void TfrmHvWatchdog::bbShowLogClick() {
  TOpenDialog dlg;
  dlg.Title = _(L"Select log file");
  // The daily logs are in the log folder.
  dlg.InitialDir = LogDir;
  dlg.FileName = L"HvWatchdog*.log";
  dlg.DefaultExt = L"log";
  dlg.Filter = SafeFormat(_(L"Watchdog logs|*.%s|all|*.*"), L"log");
  dlg.Options |= ofPathMustExist | ofFileMustExist;
  if (!dlg.Execute(Handle())) return;
  ShowTextFileEx(ProgVersName, dlg.FileName, _(L"Previous section"), _(L"Next section"), L"Harvane -",
                 _(L"Previous error"), _(L"Next error"), L"  *** ", SafeFormat(_(L"Log files|*.%s|all|*.*"), L"log"),
                 TPoint{0, -1}, 0, TShowDlgType::stModal, kLogButtons, SuiteSettings.PrinterSettings, 0);
}

void TfrmHvWatchdog::bbCopyClick() {
  std::wstring text = meLog.SelText();
  if (text.empty()) text = meLog.Text();
  if (!OpenClipboard(Handle())) return;
  EmptyClipboard();
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (mem) {
    memcpy(GlobalLock(mem), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(mem);
    if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
  }
  CloseClipboard();
  meLog.SetSel(0, 0);
}

void TfrmHvWatchdog::SaveSettings() {
  TWdSettings s;
  const RECT r = BoundsRect();
  const SIZE c = ClientSize();
  s.Top = r.top;
  s.Left = r.left;
  s.Height = c.cy;
  s.Width = c.cx;
  s.JobDir = JobDir;
  s.Interval = GetIntervalSeconds();
  s.SysTray = cbSysTray.Checked();
  s.WriteLog = cbWriteLog.Checked();
  Monitor.WriteLog = s.WriteLog;
  if (FSettingsUnread) return;
  try {
    WriteWdSettings(IniName, s, Monitor.Tasks, ProgramVersionInfo().InternalName, ProgramVersionInfo().Version);
  } catch (const Exception& e) {
    // Also a file that cannot be opened to be rewritten: closing must not stop half-way.
    ErrorDialog(e.Message());
  }
}

HICON TfrmHvWatchdog::StatusIcon() const {
  const int id = TaskBarStatus == TTaskBarStatus::tbsOff    ? IDI_MICOFF
                 : TaskBarStatus == TTaskBarStatus::tbsWait ? IDI_MICWAIT
                                                             : IDI_MICRUN;
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

void TfrmHvWatchdog::UpdateTrayIcon() {
  if (FTrayShown) ModifyTrayIcon(Handle(), kTrayId, StatusIcon(), L"");
}

void TfrmHvWatchdog::HideToTray() {
  RemoveTrayIcon(Handle(), kTrayId);
  FTrayShown = AddTrayIconEx(Handle(), kTrayId, WM_TRAYICON, StatusIcon(), nullptr, TrayTipText(ProgVersName),
                             _(L"monitors selected directories and backs up changed files automatically!"),
                             TrayTipText(ProgVersName), false);
  Hide();
}

bool TfrmHvWatchdog::CloseQuery() {
  if (Monitor.InFinalWait()) return false;
  CloseAllHelp();
  if (GoStandby) {
    SaveSettings();
    HideToTray();
    return false;
  }
  tmBackup.SetEnabled(false);
  // The watches stop; running backups end and what they did not copy stays pending.
  Monitor.Close(false);
  SaveSettings();
  if (FTrayShown) RemoveTrayIcon(Handle(), kTrayId);
  FTrayShown = false;
  return true;
}

bool TfrmHvWatchdog::CheckForce() {
  if (!Force) {
    Show();
    return false;
  }
  if (!StartMonitoring()) {
    Show();
    return false;
  }
  GoStandby = cbSysTray.Checked();
  if (GoStandby) {
    StartScreen = std::make_unique<TStartScreen>();
    StartScreen->Create();
    StartScreen->ShowMsg(GetProgramVersion(3, L"0.0.0.0"));
    tmStart.SetEnabled(true);
    Application().ProcessMessages();
    HideToTray();
  } else {
    Show();
  }
  return false;
}

std::wstring TfrmHvWatchdog::MonitoringStatusText() {
  std::wstring text;
  for (size_t i = 0; i < Monitor.Tasks.Count(); ++i) {
    const TMonTask& t = Monitor.Tasks[i];
    if (t.MonStatus != TMonTaskStatus::mtEnabled || t.GetRunStatus() == 0) continue;
    text += GetOrdinalText(static_cast<int>(i + 1)) + _(L"Directory") + L": " + t.Dir + L"\r\n";
  }
  if (text.empty()) text = _(L"The monitoring is not active!");
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  return laMonDirs.Text() + L"\r\n" + text;
}

void TfrmHvWatchdog::ShowTrayPopup() {
  if (InfoDialogShown()) return;
  RECT work{};
  POINT cursor;
  GetCursorPos(&cursor);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &mi);
  work = mi.rcWork;
  RECT bar;
  const int edge = GetTaskbarPosition(bar);
  POINT pos{work.right - Scale(50), work.bottom - Scale(50)};
  if (edge == 0) pos = {work.left + Scale(50), work.bottom - Scale(50)};
  if (edge == 1) pos = {work.right - Scale(50), work.top + Scale(50)};
  const int r = ShowInfoDialog(ProgVersName, MonitoringStatusText(), _(L"Edit monitoring"), TPoint{pos.x, pos.y}, true,
                               true, true, [this](std::vector<std::wstring>& lines) {
                                 lines.clear();
                                 for (size_t i = 0; i < Monitor.Tasks.Count(); ++i)
                                   for (const auto& n : Monitor.Tasks[i].FileList)
                                     lines.push_back((i < 9 ? L"0" : L"") + std::to_wstring(i + 1) + L": " + n);
                                 if (lines.empty()) lines.push_back(_(L"No files"));
                               });
  if (r == mrCancel) return;
  if (r == kInfoStart) Monitor.InstantBackup = true;
  Show();
  SetForegroundWindow(Handle());
}

void TfrmHvWatchdog::ShowTrayMenu() {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING | (HvPath.empty() ? MF_GRAYED : 0), cmdHarvane, L"Harvane");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING | (Monitor.Monitoring() && Monitor.FileCount() > 0 ? 0 : MF_GRAYED), cmdStartImm,
              _(L"Start immediate backup").c_str());
  AppendMenuW(menu, MF_STRING, cmdStartStop,
              (Monitor.Monitoring() ? _(L"Stop monitoring") : _(L"Start monitoring")).c_str());
  AppendMenuW(menu, MF_STRING, cmdProg, _(L"Edit monitoring").c_str());
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, cmdQuit, _(L"Quit monitoring").c_str());
  AppendMenuW(menu, MF_STRING, 0, _(L"Cancel").c_str());
  POINT pt;
  GetCursorPos(&pt);
  SetForegroundWindow(Handle());
  const UINT cmd = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, pt.x, pt.y, 0, Handle(), nullptr);
  DestroyMenu(menu);
  switch (cmd) {
    case cmdHarvane: ShellExecuteW(Handle(), L"open", HvPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL); break;
    case cmdStartImm: Monitor.InstantBackup = true; break;
    case cmdStartStop:
      if (Monitor.Monitoring())
        StopMonitoring();
      else
        StartMonitoring();
      UpdateTrayIcon();
      break;
    case cmdProg:
      Show();
      SetForegroundWindow(Handle());
      break;
    case cmdQuit:
      if (Monitor.Monitoring()) StopMonitoring();
      GoStandby = false;
      Close();
      break;
  }
}

void TfrmHvWatchdog::TrayIconMessage(LPARAM lp) {
  switch (LOWORD(lp)) {
    case WM_LBUTTONDOWN:
      if (!Visible()) {
        ShowTrayPopup();
      } else {
        if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
        SetForegroundWindow(Handle());
      }
      break;
    case WM_RBUTTONDOWN: ShowTrayMenu(); break;
  }
}

LRESULT TfrmHvWatchdog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == msgId && msgId != 0) {
    // A request for a run at the next tick; zero withdraws one not served yet.
    Monitor.InstantBackup = wp != 0;
    return 1;
  }
  if (msg == FTaskbarCreated && FTaskbarCreated != 0) {
    if (FTrayShown)
      FTrayShown = AddTrayIconEx(Handle(), kTrayId, WM_TRAYICON, StatusIcon(), nullptr, L"", L"",
                                 TrayTipText(ProgVersName), false);
    return 0;
  }
  switch (msg) {
    case WM_TRAYICON:
      TrayIconMessage(lp);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wp) {
        tmBackup.SetEnabled(false);
        Monitor.Close(true);
        SaveSettings();
      }
      return 0;
  }
  return TForm::WndProc(msg, wp, lp);
}

}  // namespace hv
