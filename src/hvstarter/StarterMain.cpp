#include "hvstarter/StarterMain.h"

#include <shlobj.h>

#include <algorithm>

#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/app/PlaceHolders.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/FileUtils.h"
#include "base/os/WinApiUtils.h"
#include "base/os/WinShell.h"
#include "base/os/WinUtils.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/EditHistListDlg.h"
#include "dialogs/InpText.h"
#include "dialogs/NewPwdDlg.h"
#include "dialogs/PwdDlg.h"
#include "dialogs/SelectDlg.h"
#include "dialogs/ShellDirDlg.h"
#include "dialogs/ShowMemo.h"
#include "hvstarter/MailDlg.h"
#include "unattended/ShortcutDlg.h"
#include "unattended/TaskSchedDlg.h"
#include "unattended/TaskSchedule.h"
#include "unattended/WinTask.h"
#include "winui/CommonDialogs.h"
#include "winui/Styles.h"
#include "winui/Translate.h"

namespace hv::hvstarter {
namespace {

// Design at 96 dpi: the group's settings on the left, the commands in a column on the right.
constexpr int kMargin96 = 12, kRowHeight96 = 23, kButtonHeight96 = 26;
constexpr int kLeftWidth96 = 500, kListWidth96 = 404, kSideButtonWidth96 = 88, kColumnA96 = 240;
constexpr int kColumnLeft96 = kMargin96 + kLeftWidth96 + 16, kColumnWidth96 = 176, kCommandStep96 = 34;
constexpr int kClientWidth96 = kColumnLeft96 + kColumnWidth96 + kMargin96, kClientHeight96 = 548;
constexpr int kJobTextGap96 = 5;
constexpr COLORREF kJobSelectedText = RGB(0, 0, 128), kJobSelectedBack = 0xF0CAA6;  // navy on sky blue

const wchar_t* const kStatusTexts[] = {L"None", L"Close automatically", L"Always wait for prompt",
                                       L"Wait for prompt only on errors", L"Show only on errors"};

std::wstring Trim(std::wstring_view s) { return TrimRightChar(TrimLeftChar(s, L' '), L' '); }

bool SameText(std::wstring_view a, std::wstring_view b) { return AnsiLowerCase(a) == AnsiLowerCase(b); }

bool FolderExists(const std::wstring& dir) {
  if (dir.empty()) return false;
  const DWORD a = GetFileAttributesW(dir.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::wstring& name) {
  if (name.empty()) return false;
  const DWORD a = GetFileAttributesW(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring OwnProgramFile() {
  wchar_t buf[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return n > 0 && n < std::size(buf) ? std::wstring(buf, n) : ProgramDir() + ProgramName() + L".exe";
}

std::wstring LogFilter() { return SafeFormat(_(L"Log files|*.%s|all|*.*"), L"log"); }

}  // namespace

// --- computing parts

std::vector<std::wstring> MergeGroupNames(const std::vector<std::pair<std::wstring, std::wstring>>& entries) {
  std::vector<std::wstring> names;
  auto taken = [&](const std::wstring& n) {
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& o) { return SameText(o, n); });
  };
  for (const auto& [text, old] : entries) {
    std::wstring name = Trim(text);
    if (name.empty() || taken(name)) name = old;
    for (int n = 2; name.empty() || taken(name); ++n) name = old + L" (" + std::to_wstring(n) + L")";
    names.push_back(name);
  }
  return names;
}

std::wstring GetJobLogName(const std::wstring& jobFile, const std::wstring& hvPath, const std::wstring& logDir,
                           const std::wstring& defaultLogDir) {
  if (!IsFile(jobFile)) return {};
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(jobFile);
  std::wstring name = ini.ReadString(L"Global", L"LogName", L"");
  if (name.empty()) {
    name = ReplaceExtension(ExtractFileName(hvPath.empty() ? std::wstring(MainProgramName) : hvPath), L"log");
  } else {
    name = ReplaceTextAll(name, L"%taskname%", DeleteExtension(ExtractFileName(jobFile)));
    std::wstring dest = ini.ReadString(L"Global", L"Destination", L"");
    if (TextPos(L"%dest%", name) == 0 && IsVolumePath(dest)) {
      const int count = static_cast<int>(ini.ReadInt64(L"Global", L"BackupCount", 1));
      dest = ExpandVolumeEnvPlaceholders(GetVolumePath(dest, false), ini.ReadString(L"Dir000", L"Volume", L""), count);
    }
    name = ExpandLogNamePlaceholders(name, dest);
  }
  if (IsAbsolutePath(name) || TextPos(L"%dest%", name) == 0) return name;
  return AddPath(FolderExists(logDir) ? logDir : defaultLogDir, name);
}

// --- job list

void TJobListBox::DrawItem(const DRAWITEMSTRUCT& di) {
  const TColorScheme& s = TStyleManager::Active();
  const int i = static_cast<int>(di.itemID);
  const bool selected = di.itemState & ODS_SELECTED;
  COLORREF bk, fg;
  if (s.System) {
    bk = selected ? kJobSelectedBack : GetSysColor(COLOR_WINDOW);
    fg = selected ? kJobSelectedText : GetSysColor(COLOR_WINDOWTEXT);
  } else {
    bk = selected ? TStyleManager::SysColor(COLOR_HIGHLIGHT) : s.Edit;
    fg = selected ? TStyleManager::SysColor(COLOR_HIGHLIGHTTEXT) : s.EditText;
  }
  if (!IsWindowEnabled(Handle())) fg = TStyleManager::SysColor(COLOR_GRAYTEXT);
  FillRect(di.hDC, &di.rcItem, TStyleManager::Brush(bk));
  if (i < 0) return;
  const int dpi = static_cast<int>(Form() ? Form()->Dpi() : 96);
  const int box = MulDiv(13, dpi, 96), gap = MulDiv(2, dpi, 96);
  RECT r = di.rcItem;
  r.left += gap;
  TStyleManager::DrawCheckBox(di.hDC, r, box, Checked(i), IsWindowEnabled(Handle()));
  r.left += box + MulDiv(kJobTextGap96, dpi, 96);
  SetBkMode(di.hDC, TRANSPARENT);
  SetTextColor(di.hDC, fg);
  const std::wstring text = Item(i);
  DrawTextW(di.hDC, text.c_str(), static_cast<int>(text.size()), &r,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_PATH_ELLIPSIS);
  if ((di.itemState & ODS_FOCUS) && !(di.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(di.hDC, &di.rcItem);
}

// --- form

TMainForm::TMainForm() : TMainForm(CommandLineArgs()) {}

TMainForm::TMainForm(std::vector<std::wstring> args) : FArgs(std::move(args)) {
  KeyPreview = true;
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
  AppStarter = [](std::wstring_view user, std::wstring_view domain, std::wstring_view password,
                  std::wstring_view commandLine, std::wstring_view currentDir) {
    return StartProcessAsUser(std::wstring(user), std::wstring(domain), std::wstring(password),
                              std::wstring(commandLine), std::wstring(currentDir))
        .Release();
  };
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate() {
  const int m = kMargin96;
  SetCaption(L"Start Harvane under different user account");
  // Groups
  laGroup.Create(*this, L"Backup group:", {m, 15, 100, 18});
  cbTasks.Create(*this, TComboBoxStyle::csOwnerDrawFixed, {m + 104, 12, 222, 24});
  cbTasks.SetDropDownCount(15);
  cbTasks.Hint = L"Group name";
  bbNewGroup.Create(*this, L"New group", {m + kLeftWidth96 - 170, 11, 82, kButtonHeight96});
  bbNewGroup.Hint = L"Add new group";
  bbEditGroups.Create(*this, L"Edit list", {m + kLeftWidth96 - 82, 11, 82, kButtonHeight96});
  bbEditGroups.Hint = L"Edit group list";
  // Job files
  laJobs.Create(*this, L"Backup tasks:", {m, 48, 300, 18});
  lbTasks.Create(*this, {m, 68, kListWidth96, 176});
  lbTasks.Hint = L"Selected backup tasks";
  const int sx = m + kLeftWidth96 - kSideButtonWidth96;
  const std::pair<TButton*, const wchar_t*> side[] = {{&bbAddTask, L"Add..."},  {&bbRemTask, L"Remove"},
                                                       {&UpBtn, L"Up"},          {&DownBtn, L"Down"},
                                                       {&bbEdit, L"Edit task"}, {&bbShowHvLog, L"Show log"}};
  for (size_t i = 0; i < std::size(side); ++i)
    side[i].first->Create(*this, side[i].second,
                          {sx, 68 + static_cast<int>(i) * 30, kSideButtonWidth96, kButtonHeight96});
  bbAddTask.Hint = L"Add backup task to list";
  bbRemTask.Hint = L"Remove backup task from list";
  UpBtn.Hint = L"Move backup task up";
  DownBtn.Hint = L"Move backup task down";
  bbEdit.Hint = L"Edit backup task";
  bbShowHvLog.Hint = L"Show backup log file";
  // Account and password
  laAccount.Create(*this, L"User account:", {m, 256, kColumnA96, 18});
  edAccount.Create(*this, L"", {m, 274, kColumnA96 - 32, kRowHeight96});
  edAccount.TranslateText = false;
  edAccount.Hint = L"User account:";
  btnUserPwd.Create(*this, L"...", {m + kColumnA96 - 28, 273, 28, 25});
  btnUserPwd.TranslateText = false;
  btnUserPwd.Hint = L"Enter fixed password for user account";
  gbPassword.Create(*this, L"Password", {m, 304, kColumnA96, 68});
  rbPwdPrompt.Create(*this, L"Prompt for password", {10, 20, 200, 20}, gbPassword.Handle(), true);
  rbPwdFixed.Create(*this, L"Use fixed password", {10, 42, 200, 20}, gbPassword.Handle());
  // Options
  gbOptions.Create(*this, L"Options", {m, 378, kColumnA96, 140});
  const HWND go = gbOptions.Handle();
  cbSplash.Create(*this, L"No splash screen", {10, 20, 200, 20}, go);
  cbSound.Create(*this, L"Play sound", {10, 42, 200, 20}, go);
  cbRunAs.Create(*this, L"Run as administrator", {10, 64, 200, 20}, go);
  cbParallel.Create(*this, L"Parallel processing of tasks", {10, 86, 200, 20}, go);
  cbDelay.Create(*this, L"Delay between tasks", {10, 110, 152, 20}, go);
  reDelay.Create(*this, {164, 108, 40, kRowHeight96}, go);
  reDelay.SetMinValue(0);
  reDelay.SetMaxValue(3600);
  reDelay.Hint = L"Number of seconds";
  udDelay.Create(*this, {204, 108, 16, kRowHeight96}, go);
  udDelay.SetAssociate(&reDelay);
  udDelay.Increment = 5;
  laDelayUnit.Create(*this, L"s", {223, 111, 12, 18}, go);
  // Status window
  const int rx = m + kColumnA96 + 14, rw = kLeftWidth96 - kColumnA96 - 14;
  rgStatus.Create(*this, L"Status window", {rx, 250, rw, 138});
  rgStatus.SetItems(std::vector<std::wstring>(std::begin(kStatusTexts), std::end(kStatusTexts)));
  rgStatus.SetItemIndex(1);
  paStat.Create(*this, {rx, 392, rw, 26});
  laWait.Create(*this, L"Status display time:", {4, 4, 126, 18}, paStat.Handle());
  reWait.Create(*this, {132, 1, 40, kRowHeight96}, paStat.Handle());
  reWait.SetMinValue(1);
  reWait.SetMaxValue(99);
  udWait.Create(*this, {172, 1, 16, kRowHeight96}, paStat.Handle());
  udWait.SetAssociate(&reWait);
  laWaitUnit.Create(*this, L"s", {192, 4, 14, 18}, paStat.Handle());
  // Log folder and mail
  laLogDir.Create(*this, L"Directory for log files:", {rx, 428, rw, 18});
  edLogDir.Create(*this, L"", {rx, 446, rw - 32, kRowHeight96});
  edLogDir.TranslateText = false;
  edLogDir.Hint = L"Directory for log files:";
  bbLogDir.Create(*this, L"...", {rx + rw - 28, 445, 28, 25});
  bbLogDir.TranslateText = false;
  bbLogDir.Hint = L"Select log directory";
  cbMail.Create(*this, L"Send mail on errors", {rx, 482, rw - 76, 20});
  MailBtn.Create(*this, L"Mail...", {rx + rw - 72, 479, 72, kButtonHeight96});
  MailBtn.Hint = L"Settings for automatic E-Mail delivery after backup";
  // Commands
  const std::pair<TButton*, const wchar_t*> commands[] = {
      {&bbStart, L"Start backup"},          {&bbShowLog, L"Show HvStarter log file"},
      {&bbDesktop, L"Desktop shortcut"},    {&bbNewWinTask, L"New scheduled task"},
      {&bbEditWinTask, L"Edit scheduled task"}, {&bbStartApp, L"Start application"}};
  for (size_t i = 0; i < std::size(commands); ++i)
    commands[i].first->Create(*this, commands[i].second,
                              {kColumnLeft96, 11 + static_cast<int>(i) * kCommandStep96, kColumnWidth96, 28});
  bbStart.SetDefault(true);
  bbStart.Hint = L"Start backup";
  bbShowLog.Hint = L"Show HvStarter log file";
  bbDesktop.Hint = L"Create Desktop shortcut to start backups";
  bbNewWinTask.Hint = L"Create Windows Scheduled Task";
  bbEditWinTask.Hint = L"Edit Windows scheduled task";
  bbStartApp.Hint = L"Start an application under different user account";
  const int bottom = kClientHeight96 - m - 28;
  bbInfo.Create(*this, L"Info", {kColumnLeft96, bottom - 2 * kCommandStep96, kColumnWidth96, 28});
  bbInfo.Hint = L"Info about the program";
  bbHelp.Create(*this, L"Help", {kColumnLeft96, bottom - kCommandStep96, kColumnWidth96, 28});
  bbHelp.Hint = L"Program help";
  bbQuit.Create(*this, L"Quit", {kColumnLeft96, bottom, kColumnWidth96, 28});
  bbQuit.Hint = L"Quit program and save settings";
  bbQuit.Cancel = true;
  laVersion.Create(*this, L"", {kColumnLeft96, bottom - 3 * kCommandStep96 + 8, kColumnWidth96, 18}, nullptr, true);
  laVersion.TranslateText = false;

  cbTasks.OnCloseUp = [this] {
    const int i = cbTasks.ItemIndex();
    if (i == TaskIndex) return;
    StoreGroup();
    ShowGroup(i);
  };
  cbTasks.OnSelect = [this] {
    if (!cbTasks.DroppedDown()) cbTasks.OnCloseUp();  // chosen with the keyboard
  };
  bbNewGroup.OnClick = [this] { bbNewGroupClick(); };
  bbEditGroups.OnClick = [this] { bbEditGroupsClick(); };
  bbAddTask.OnClick = [this] { bbAddTaskClick(); };
  bbRemTask.OnClick = [this] { bbRemTaskClick(); };
  UpBtn.OnClick = [this] { MoveTask(-1); };
  DownBtn.OnClick = [this] { MoveTask(1); };
  bbEdit.OnClick = [this] { bbEditClick(); };
  lbTasks.OnDblClick = [this] { bbEditClick(); };
  bbShowHvLog.OnClick = [this] { bbShowHvLogClick(); };
  btnUserPwd.OnClick = [this] { btnUserPwdClick(); };
  rbPwdFixed.OnClick = [this] { rbPwdFixedClick(); };
  rbPwdPrompt.OnClick = [this] { rbPwdPromptClick(); };
  rgStatus.OnClick = [this] { rgStatusClick(); };
  cbParallel.OnClick = [this] { UpdateDelayControls(); };
  cbDelay.OnClick = [this] { cbDelayClick(); };
  bbLogDir.OnClick = [this] { bbLogDirClick(); };
  edLogDir.OnChange = [this] { UpdateLogButton(); };
  cbMail.OnClick = [this] { cbMailClick(); };
  MailBtn.OnClick = [this] { MailBtnClick(); };
  bbStart.OnClick = [this] { RunShownGroup(); };
  bbShowLog.OnClick = [this] { bbShowLogClick(); };
  bbDesktop.OnClick = [this] { bbDesktopClick(); };
  bbNewWinTask.OnClick = [this] { bbNewWinTaskClick(); };
  bbEditWinTask.OnClick = [this] { bbEditWinTaskClick(); };
  bbStartApp.OnClick = [this] { bbStartAppClick(); };
  bbInfo.OnClick = [this] { bbInfoClick(); };
  bbHelp.OnClick = [this] { FormHelp(); };
  bbQuit.OnClick = [this] { Close(); };

  SetLocaleTimeFormats();
  const TDefaultDirs dirs = GetDefaultDirs();
  AppPath = dirs.AppData;
  UserPath = dirs.Documents;
  ProgPath = dirs.ProgramFiles;
  const TVersionCaption v = InitVersionInfo(L"HvStarter", L" - Vers. 4.4", L"", 3);
  ProgVersDate = v.BuildDate;
  ProgVersName = MakeProgramTitle(4);
  SetCaption(v.Caption);
  JobDir = UserPath + L"Harvane\\";
  HvPath = FindMainProgram();

  const TStarterOptions o = ParseStarterCommandLine(FArgs);
  Force = o.Force;
  TermProgs = o.TermProgs;
  WriteLog = o.WriteLog;
  ActPrompt = o.ActPrompt;
  FLockScreen = o.LockScreen;
  UseDarkMode = o.UseDarkMode;
  LogOffMode = o.LogOffMode;
  SuspendMode = o.SuspendMode;
  LastTask = o.LastTask;
  ConfigList = o.ConfigList;
  FConfigNames = o.Groups;

  const TSettingsPaths paths = LocateSettings(GetAppDataPath(), ProgramDir(), ProgramName(), false);
  hv::SettingsDir = paths.SettingsDir;
  IniName = paths.OwnIniName;
  if (!o.IniOption.empty()) {
    ResolveIniOption(ExpandFolderPlaceholders(o.IniOption), AppPath, ProgramName(), IniName, AIniPath);
    if (!AIniPath.empty()) hv::SettingsDir = AIniPath;
  }
  hv::MainIniName = MainIniFileName(hv::SettingsDir);
  SuiteSettings.PrinterSettings = LoadPrinterSettings(hv::MainIniName, L"Printer");

  TStarterSettings st;
  LoadStarterSettings(IniName, LastTask, st);
  LastTask = st.LastTask;
  LastDir = st.LastDir;
  MailData = st.Mail;
  cbMail.SetChecked(MailData.Enabled);
  Groups = std::move(st.Groups);
  if (st.Top >= 0 && st.Left >= 0) {
    // Else the window is centred when shown and the stored position never used.
    Position = TPosition::poDesigned;
    int left = st.Left, top = st.Top;
    AdjustToWorkArea(left, top, Width(), Height());
    SetPos(left, top);
  }
  FillGroupCombo();

  mMailer = std::make_unique<TmMailer>(ProgramDir(), L"harvaneroot.pem", L"harvane.crt", L"harvane.key",
                                       L"KestrelMeadows");
  mMailer->ContentType = TContentType::ctUtf8;
  LogName = ExtractFilePath(IniName) + ProgramName() + L".log";
  UserPwd.clear();
  TaskIndex = -1;
  if (!LastTask.empty())
    if (const TTaskProperties* g = FindGroup(Groups, LastTask)) TaskIndex = g->Index;
  if (TaskIndex < 0) TaskIndex = Groups.empty() ? -1 : 0;
  TaskSchedStatus = FCom.Usable() ? ConnectTaskScheduler(TaskScheduler) : FCom.Result();
  InitProgramStyle(UseDarkMode);
}

void TMainForm::FormShow() {
  if (!MailDlg) {
    MailDlg = std::make_unique<TMailDialog>();
    MailDlg->Create(Handle());
    MailDlg->LoadFromIni(hv::MainIniName);
  }
  if (!ShortcutDlg) {
    ShortcutDlg = std::make_unique<TShortcutDialog>();
    ShortcutDlg->Create(Handle());
  }
  if (!TaskDialog) {
    TaskDialog = std::make_unique<TTaskScheduleDialog>();
    TaskDialog->Create(Handle());
  }
  if (TaskSchedStatus >= 0 && TaskScheduler) TaskDialog->InitTaskScheduler(TaskScheduler.get());
  const std::wstring version = GetProgramVersion(3, L"4.4");
  laVersion.SetText(ProgramVersionInfo().InternalName + GetBitnessSuffix() + L" [" +
                    version.substr(version.find(L' ') + 1) + L"]");
  if (!AppDialog) {
    AppDialog = std::make_unique<TAppDialog>();
    AppDialog->Create(Handle());
    AppDialog->ProgPath = ProgPath;
    AppDialog->LoadFromIni(IniName, L"Applications");
  }
  if (Groups.empty()) {
    Groups.push_back(std::make_unique<TTaskProperties>(_(L"New group")));
    FillGroupCombo();
    TaskIndex = 0;
  }
  UpdateDelayControls();
  ShowGroup(TaskIndex);
}

void TMainForm::FillGroupCombo() {
  cbTasks.Clear();
  for (size_t i = 0; i < Groups.size(); ++i) {
    Groups[i]->Index = static_cast<int>(i);
    cbTasks.Add(Groups[i]->Desc);
  }
}

void TMainForm::AddJobItem(const std::wstring& file, bool checked, bool missing) {
  const int k = lbTasks.Add(missing ? file + L"  " + _(L"(missing)") : file);
  lbTasks.SetChecked(k, checked);
  lbTasks.Missing.push_back(missing);
}

void TMainForm::ShowGroup(int index) {
  if (index < 0 || index >= static_cast<int>(Groups.size())) return;
  TaskIndex = index;
  TTaskProperties& g = *Groups[static_cast<size_t>(index)];
  LastTask = g.Desc;
  cbTasks.SetItemIndex(index);
  edLogDir.SetText(g.AltLogDir);
  UpdateLogButton();
  edAccount.SetText(g.User);
  UserPwd = g.Pwd;
  if (g.Pwd.empty()) g.PwdPrompt = true;
  rbPwdPrompt.SetChecked(g.PwdPrompt);
  rbPwdFixed.SetChecked(!g.PwdPrompt);
  rgStatus.SetItemIndex(g.Status >= 0 && g.Status <= 4 ? g.Status : 1);
  cbSplash.SetChecked(g.NoSplash);
  cbSound.SetChecked(g.PlaySound);
  cbParallel.SetChecked(g.ParProc);
  cbRunAs.SetChecked(g.RunAs);
  reDelay.SetValue(g.StartDelay);
  reWait.SetValue(g.Delay);
  lbTasks.Clear();
  lbTasks.Missing.clear();
  for (const TTaskEntry& t : g.Tasks) AddJobItem(t.File, t.Checked, t.Missing);
  if (lbTasks.Count() > 0) lbTasks.SetItemIndex(0);
  rgStatusClick();
  UpdateDelayControls();
}

void TMainForm::StoreGroup() {
  TTaskProperties* g = ShownGroup();
  if (!g) return;
  LastTask = g->Desc;
  g->AltLogDir = Trim(edLogDir.Text());
  g->User = Trim(edAccount.Text());
  g->Pwd = UserPwd;
  g->PwdPrompt = rbPwdPrompt.Checked() || UserPwd.empty();
  g->Status = std::max(rgStatus.ItemIndex(), 0);
  g->NoSplash = cbSplash.Checked();
  g->PlaySound = cbSound.Checked();
  g->ParProc = cbParallel.Checked();
  g->RunAs = cbRunAs.Checked();
  g->StartDelay = cbDelay.Checked() ? static_cast<int>(reDelay.Value()) : 0;
  g->Delay = static_cast<int>(reWait.Value());
  std::vector<TTaskEntry> tasks;
  for (int i = 0; i < lbTasks.Count(); ++i) {
    const bool missing = lbTasks.Missing[static_cast<size_t>(i)];
    const std::wstring file = lbTasks.Item(i);
    TTaskEntry e;
    e.File = missing ? file.substr(0, file.size() - (L"  " + _(L"(missing)")).size()) : file;
    e.Checked = lbTasks.Checked(i);
    e.Missing = missing;
    tasks.push_back(std::move(e));
  }
  g->Tasks = std::move(tasks);
}

void TMainForm::UpdateDelayControls() {
  EnableDelayControls();
  cbDelay.SetChecked(reDelay.Value() > 0);
}

void TMainForm::EnableDelayControls() {
  const bool parallel = cbParallel.Checked();
  for (TControl* c : std::initializer_list<TControl*>{&cbDelay, &reDelay, &udDelay, &laDelayUnit})
    c->SetEnabled(parallel);
}

void TMainForm::cbDelayClick() {
  if (cbDelay.Checked() && reDelay.Value() == 0) reDelay.SetValue(20);
}

void TMainForm::rgStatusClick() {
  const int s = rgStatus.ItemIndex();
  paStat.SetVisible(s == 1 || s == 3);
}

void TMainForm::UpdateLogButton() { bbShowHvLog.SetEnabled(FolderExists(Trim(edLogDir.Text()))); }

TPoint TMainForm::ScreenPos(const TControl& c, bool bottomRight) const {
  const RECT r = c.BoundsRect();
  POINT p{bottomRight ? r.right : r.left, bottomRight ? r.bottom : r.top};
  MapWindowPoints(GetParent(c.Handle()), nullptr, &p, 1);
  return {p.x, p.y};
}

// --- groups

void TMainForm::bbNewGroupClick() {
  StoreGroup();  // what was typed into the shown group stays with it
  std::wstring name;
  if (!InputText(ScreenPos(bbNewGroup, false), _(L"Add new group"), _(L"Name:"), false, name)) return;
  name = Trim(name);
  if (name.empty()) return;
  if (TTaskProperties* g = FindGroup(Groups, name)) {
    if (ConfirmDialogAt(ScreenPos(bbNewGroup, false), SafeFormat(_(L"Group \"%s\" already exists - Edit?"), g->Desc),
                        TMsgDlgBtn::mbYes, TDefaultMonitor::dmActiveForm))
      ShowGroup(g->Index);
    return;
  }
  Groups.push_back(std::make_unique<TTaskProperties>(name));
  Groups.back()->Index = static_cast<int>(Groups.size()) - 1;
  cbTasks.Add(name);
  ShowGroup(Groups.back()->Index);
}

void TMainForm::bbEditGroupsClick() {
  StoreGroup();  // what was typed into the shown group stays with it
  THistEntries list;
  for (size_t i = 0; i < Groups.size(); ++i) list.push_back({Groups[i]->Desc, static_cast<intptr_t>(i)});
  int index = TaskIndex;
  if (!EditHistoryListEx(ScreenPos(bbEditGroups, true), _(L"Edit group list"), _(L"Backup groups"), list, true, true,
                         index))
    return;
  std::vector<std::pair<std::wstring, std::wstring>> names;
  for (const THistEntry& e : list) names.emplace_back(e.Text, Groups[static_cast<size_t>(e.Data)]->Desc);
  const std::vector<std::wstring> merged = MergeGroupNames(names);
  TGroupList kept;
  for (size_t i = 0; i < list.size(); ++i) {
    kept.push_back(std::move(Groups[static_cast<size_t>(list[i].Data)]));
    kept.back()->Desc = merged[i];
  }
  Groups = std::move(kept);  // the removed groups are freed here
  if (Groups.empty()) Groups.push_back(std::make_unique<TTaskProperties>(_(L"New group")));
  FillGroupCombo();
  TaskIndex = -1;
  ShowGroup(index >= 0 && index < static_cast<int>(Groups.size()) ? index : 0);
}

// --- job files

void TMainForm::bbAddTaskClick() {
  TOpenDialog d;
  d.InitialDir = FolderExists(LastDir) ? LastDir : JobDir;
  d.Title = _(L"Select backup task");
  d.DefaultExt = L"buj";
  d.Filter = SafeFormat(_(L"Backup tasks|*.%s|all|*.*"), L"buj");
  d.Options |= ofAllowMultiSelect | ofFileMustExist | ofPathMustExist;
  if (!d.Execute(Handle())) return;
  std::vector<std::wstring> files = d.Files;
  if (files.empty() && !d.FileName.empty()) files.push_back(d.FileName);
  for (const std::wstring& f : files) AddJobItem(f, true, false);
  if (!files.empty()) {
    LastDir = ExtractFilePath(files.front());
    lbTasks.SetItemIndex(lbTasks.Count() - 1);
  }
}

void TMainForm::bbRemTaskClick() {
  const int i = lbTasks.ItemIndex();
  if (i < 0 || i >= lbTasks.Count()) return;
  lbTasks.Delete(i);
  lbTasks.Missing.erase(lbTasks.Missing.begin() + i);
  if (lbTasks.Count() > 0) lbTasks.SetItemIndex(std::min(i, lbTasks.Count() - 1));
}

void TMainForm::MoveTask(int delta) {
  const int i = lbTasks.ItemIndex(), j = i + delta;
  if (i < 0 || j < 0 || j >= lbTasks.Count()) return;
  const std::wstring text = lbTasks.Item(i);
  const bool checked = lbTasks.Checked(i), missing = lbTasks.Missing[static_cast<size_t>(i)];
  lbTasks.Delete(i);
  lbTasks.Missing.erase(lbTasks.Missing.begin() + i);
  lbTasks.Insert(j, text);
  lbTasks.SetChecked(j, checked);
  lbTasks.Missing.insert(lbTasks.Missing.begin() + j, missing);
  lbTasks.SetItemIndex(j);
}

// --- account

void TMainForm::btnUserPwdClick() {
  std::wstring pwd = UserPwd;
  if (!NewPasswordEx(ScreenPos(btnUserPwd, true), _(L"User name: ") + Trim(edAccount.Text()), pwd, true, false, 2,
                     true))
    return;
  UserPwd = pwd;
  rbPwdPrompt.SetChecked(UserPwd.empty());
  rbPwdFixed.SetChecked(!UserPwd.empty());
}

void TMainForm::rbPwdFixedClick() {
  if (!UserPwd.empty()) return;
  std::wstring pwd;
  if (NewPasswordEx(ScreenPos(btnUserPwd, true), _(L"User name: ") + Trim(edAccount.Text()), pwd, true, false, 2,
                    true) &&
      !pwd.empty()) {
    UserPwd = pwd;
    return;
  }
  rbPwdFixed.SetChecked(false);
  rbPwdPrompt.SetChecked(true);
}

void TMainForm::rbPwdPromptClick() { UserPwd.clear(); }

void TMainForm::bbLogDirClick() {
  std::wstring dir = Trim(edLogDir.Text());
  dir = dir.empty() || !IsAbsolutePath(dir) ? hv::SettingsDir : FindExistingDir(dir, hv::SettingsDir);
  if (!SelectDirZip(_(L"Select log directory"), true, true, hv::SettingsDir, dir)) return;
  edLogDir.SetText(dir);
  UpdateLogButton();
}

// --- runs and logs

void TMainForm::RunShownGroup() {
  if (FRunning || !ShownGroup()) return;
  StoreGroup();
  SaveSettings();
  TGroupRunner r = MakeRunner();
  SetLocked(true);
  try {
    r.RunGroup(*Groups[static_cast<size_t>(TaskIndex)], true);
  } catch (...) {
    SetLocked(false);
    throw;
  }
  SetLocked(false);
}

void TMainForm::bbEditClick() {
  if (FRunning || !ShownGroup()) return;
  StoreGroup();
  const TTaskProperties& g = *ShownGroup();
  if (g.Tasks.empty()) {
    ErrorDialog(_(L"No backup tasks specified!"));
    return;
  }
  const int i = std::max(lbTasks.ItemIndex(), 0);
  const std::wstring job = g.Tasks[static_cast<size_t>(i)].File;
  std::wstring pwd = g.Pwd;
  if (pwd.empty() &&
      !QueryPassword(kDefaultDialogPos, Caption(),
                     SafeFormat(_(L"Enter the password for user \"%s\"\r\nto start the backup task \"%s\""), g.User,
                                ExtractFileName(job)),
                     pwd))
    return;
  std::wstring message;
  SetLocked(true);
  int code = 0;
  try {
    code = RunBackupProcess(g.User, pwd, BuildEditCommandLine(g, HvPath, job), message);
  } catch (...) {
    SetLocked(false);
    throw;
  }
  SetLocked(false);
  if (code != 0) ErrorDialog(message);
}

void TMainForm::bbShowHvLogClick() {
  const TTaskProperties* g = ShownGroup();
  const int i = lbTasks.ItemIndex();
  if (!g || i < 0) return;
  StoreGroup();
  std::wstring name = GetJobLogName(g->Tasks[static_cast<size_t>(i)].File, HvPath, Trim(edLogDir.Text()),
                                    GetLogFolder());
  if (name.empty()) {
    ErrorDialogAt(ScreenPos(bbShowHvLog, false), _(L"Log not available"), TDefaultMonitor::dmActiveForm);
    return;
  }
  if (!IsFile(name)) {
    TOpenDialog d;
    const std::wstring dir = ExtractFilePath(name);
    d.InitialDir = FolderExists(dir) ? dir : AppPath;
    d.FileName = ExtractFileName(name);
    d.Title = _(L"Select log file");
    d.Filter = LogFilter();
    d.Options |= ofFileMustExist;
    if (!d.Execute(Handle())) return;
    name = d.FileName;
  }
  ShowTextFileEx(ProgVersName, name, _(L"Previous section"), _(L"Next section"), L"Harvane -", _(L"Previous error"),
                 _(L"Next error"), L"  *** ", LogFilter(), kDefaultDialogPos, 0, TShowDlgType::stModal, 253,
                 SuiteSettings.PrinterSettings, 0);
}

void TMainForm::bbShowLogClick() {
  if (!IsFile(LogName)) {
    ErrorDialogAt(ScreenPos(bbShowLog, false), _(L"Log file not found: ") + LogName, TDefaultMonitor::dmActiveForm);
    return;
  }
  ShowTextFileEx(Caption(), LogName, _(L"Previous section"), _(L"Next section"), L"HvStarter", _(L"Previous error"),
                 _(L"Next error"), L"  *** ", LogFilter(), kDefaultDialogPos, 0, TShowDlgType::stShow, 189,
                 SuiteSettings.PrinterSettings, 0);
}

// --- shortcuts and scheduled tasks

std::wstring TMainForm::StarterShortcutOptions() const {
  std::wstring options;
  if (!AIniPath.empty()) options += MakeOptionValue(L"ini", AIniPath);
  options += MakeOptionInt(L"logmode", 1);
  return Trim(options);
}

std::wstring TMainForm::GroupCommaText() const {
  std::vector<std::wstring> names;
  for (const auto& g : Groups) names.push_back(g->Desc);
  return ListToCommaText(names);
}

void TMainForm::bbDesktopClick() {
  if (!ShortcutDlg) return;
  StoreGroup();
  std::wstring name, options = StarterShortcutOptions();
  if (!ShortcutDlg->Execute(_(L"Create Desktop shortcut"), _(L"Name of shortcut:"), true, GroupCommaText(), name,
                           options))
    return;
  const std::wstring link = AddPath(GetSpecialFolder(CSIDL_DESKTOPDIRECTORY), name + L".lnk");
  if (IsFile(link) && !ConfirmDialog(SafeFormat(_(L"Replace existing desktop shortcut \"%s\"?"), name))) return;
  const HRESULT hr = CreateShellLink(link, OwnProgramFile(), options, ProgramDir(), name, false);
  if (FAILED(hr)) {
    ErrorDialog(_(L"Error creating desktop shortcut!") + L"\r\n" + SystemErrorText(static_cast<DWORD>(hr)));
    return;
  }
  NotifyShellAllChanged();
}

bool TMainForm::TaskSchedulerAvailable() {
  if (TaskDialog && TaskDialog->IsAvailable()) return true;
  ErrorDialog(TaskSchedulerErrorText(TaskSchedStatus));
  return false;
}

void TMainForm::bbNewWinTaskClick() {
  if (!ShortcutDlg || !TaskSchedulerAvailable()) return;
  StoreGroup();
  std::wstring name, options = StarterShortcutOptions();
  if (!ShortcutDlg->Execute(_(L"Create Windows Scheduled Task"), _(L"Name of task:"), false, GroupCommaText(), name,
                           options, _(L"Next")))
    return;
  int r = TaskDialog->Execute(-1, THvAction::paStarter, JobDir, name, options, false);
  while (r == mrRetry) r = TaskDialog->Execute(-1, THvAction::paStarter, JobDir, name, options, true);
}

void TMainForm::bbEditWinTaskClick() {
  if (!TaskSchedulerAvailable()) return;
  const std::wstring groups = GroupCommaText();
  int r = TaskDialog->Execute(0, THvAction::paStarter, JobDir, L"", groups, false);
  while (r == mrRetry) r = TaskDialog->Execute(0, THvAction::paStarter, JobDir, L"", groups, true);
  if (r == 7 && ConfirmDialog(SafeFormat(_(L"No scheduled tasks using %s found!\r\nCreate new task?"), L"HvStarter")))
    bbNewWinTaskClick();
}

// --- other commands

void TMainForm::bbStartAppClick() {
  const TTaskProperties* g = ShownGroup();
  if (!g || !AppDialog) return;
  std::wstring account = g->User, pwd = g->Pwd, program;
  if (!AppDialog->Execute(account, pwd, program)) return;
  StartAppAsUser(AppStarter, ScreenPos(bbEdit, false), account, pwd, program);
}

void TMainForm::cbMailClick() {
  if (!MailDlg) return;
  if (!cbMail.Checked() || MailData.Enabled) {
    MailData.Enabled = cbMail.Checked();
    return;
  }
  TMailData data = MailData;
  data.Enabled = true;
  if (MailDlg->Execute(_(L"Send mail on errors"), false, data)) {
    MailData = data;
    cbMail.SetChecked(MailData.Enabled);
  } else {
    cbMail.SetChecked(false);
  }
}

void TMainForm::MailBtnClick() {
  if (!MailDlg) return;
  TMailData data = MailData;
  if (!MailDlg->Execute(_(L"Send mail on errors"), false, data)) return;
  MailData = data;
  cbMail.SetChecked(MailData.Enabled);
}

void TMainForm::bbInfoClick() {
  InfoDialogAt(ScreenPos(gbOptions, false), GetAboutText(HvPath, ProgVersDate, 3), TDefaultMonitor::dmActiveForm);
}

bool TMainForm::FormHelp() {
  ShowHelp(L"hv-starter.html");
  return true;
}

std::wstring TMainForm::ControlHelpText(TControl& control) {
  if (GetParent(control.Handle()) == rgStatus.Handle()) return rgStatus.Text();
  return control.Hint;
}

bool TMainForm::CloseQuery() {
  // Not while a run polls its processes: the form and its groups must outlive it.
  if (FRunning) {
    MessageBeep(MB_ICONWARNING);
    return false;
  }
  return true;
}

void TMainForm::FormClose() {
  StoreGroup();
  SaveSettings();
}

void TMainForm::SaveSettings() {
  if (FRunning) return;
  TStarterSettings st;
  const RECT r = BoundsRect();
  st.Top = r.top;
  st.Left = r.left;
  const SIZE cs = ClientSize();
  st.Width = cs.cx;
  st.Height = cs.cy;
  st.LastTask = LastTask;
  st.LastDir = LastDir;
  st.Mail = MailData;
  st.Groups = std::move(Groups);
  try {
    SaveStarterSettings(IniName, st);
  } catch (const Exception& e) {
    ErrorDialog(e.Message());
  }
  Groups = std::move(st.Groups);
}

void TMainForm::SetLocked(bool locked) {
  FRunning = locked;
  for (TControl* c : Controls())
    if (c != &laVersion) c->SetEnabled(!locked);
  if (!locked) {
    EnableDelayControls();  // the delay box keeps its tick
    UpdateLogButton();
  }
  SetCursor(LoadCursorW(nullptr, locked ? IDC_APPSTARTING : IDC_ARROW));
}

bool TMainForm::AskPassword(const TTaskProperties& g, std::wstring& pwd) {
  return QueryPassword(kDefaultDialogPos, Caption(),
                       SafeFormat(_(L"Enter the password for user \"%s\"\r\nto start the the backups of group \"%s\""),
                                  g.User, g.Desc),
                       pwd);
}

TGroupRunner TMainForm::MakeRunner() {
  TGroupRunner r;
  r.HvPath = HvPath;
  r.AIniPath = AIniPath;
  r.ShowError = [](const std::wstring& text) { ErrorDialog(text); };
  r.AskPassword = [this](const TTaskProperties& g, std::wstring& pwd) { return AskPassword(g, pwd); };
  r.ProcessMessages = [] { Application().ProcessMessages(); };
  return r;
}

void TMainForm::ShutdownSystem() {
  constexpr DWORD kPlanned = 0x80000000;  // SHTDN_REASON_FLAG_PLANNED
  const bool ok = LogOffMode == TDownMode::dmLogOff
                      ? ExitWindowsConfirm(L"", EWX_LOGOFF | EWX_FORCEIFHUNG, kPlanned)
                      : InitiateShutdownConfirm(L"", LogOffMode == TDownMode::dmRestart, kPlanned);
  if (!ok)
    ErrorDialog(L"  *** " + SafeFormat(_(L"Error on shutting down or logging off!\r\n%s"),
                                       SystemErrorText(GetLastError())));
}

void TMainForm::SuspendSystem() {
  if (!StarterSystem().Suspend(SuspendMode == TSuspendMode::smHibernate))
    ErrorDialog(L"  *** " + SafeFormat(_(L"Error on suspending system!\r\n%s"), SystemErrorText(GetLastError())));
}

bool TMainForm::CheckForce() {
  if (HvPath.empty()) {
    ErrorDialog(SafeFormat(_(L"\"%s\" not found on this system!"), std::wstring(MainProgramName)));
    return Force;
  }
  if (!Force) return false;
  if (ActPrompt) {
    std::wstring list = ConfigList;
    for (size_t p = list.find(L','); p != std::wstring::npos; p = list.find(L',', p + 2)) list.replace(p, 1, L", ");
    const TButtonArray choices = {_(L"Only backup"),        _(L"Backup + Standby"), _(L"Backup + Hibernate"),
                                  _(L"Backup + Logoff"),    _(L"Backup + Restart"), _(L"Backup + Shutdown")};
    const int answer = ShowSelectDialog(L"Harvane", _(L"Start configurated backups as different user:") + L"\r\n" + list,
                                        TMsgDlgType::mtConfirmation, true, choices,
                                        _(L"Terminate all running programs before starting backups"), 200, -1, L"");
    if (answer < 0) return Force;
    TermProgs = (answer & 256) != 0;
    switch (answer & 0xFF) {
      case 1: SuspendMode = TSuspendMode::smStandby; break;
      case 2: SuspendMode = TSuspendMode::smHibernate; break;
      case 3: LogOffMode = TDownMode::dmLogOff; break;
      case 4: LogOffMode = TDownMode::dmRestart; break;
      case 5: LogOffMode = TDownMode::dmShutdown; break;
      default: break;
    }
  }
  TGroupRunner r = MakeRunner();
  r.LogList.push_back(ProgVersName);
  SYSTEMTIME t;
  GetLocalTime(&t);
  r.LogList.push_back(L"  ==> " + _(L"Start: ") + DateTimeText(t));
  IStarterSystem& sys = StarterSystem();
  if (TermProgs) TerminateAllPrograms(sys, GetCurrentProcessId(), r.LogList, r.ErrCount);
  if (FLockScreen) sys.LockWorkstation();
  // The names as given, so that a name may hold a comma.
  std::vector<std::wstring> names = FConfigNames;
  if (names.empty()) names.emplace_back();
  for (const std::wstring& name : names) {
    TTaskProperties* g = FindGroup(Groups, name);
    if (!g) {
      r.LogList.push_back(L"  *** " + _(L"Unknown group: ") + name);
      ++r.ErrCount;
      continue;
    }
    r.LogList.push_back(L"  ->  " + _(L"Backup group:") + L" " + g->Desc + L" - " + _(L"User name: ") + g->User);
    if (!r.RunGroup(*g, false)) {
      r.LogList.push_back(L"  *** " + _(L"Canceled by user"));
      break;
    }
  }
  GetLocalTime(&t);
  r.LogList.push_back(L"  ==> " + _(L"End") + L": " + DateTimeText(t));
  const std::wstring endLine = EndActionText(LogOffMode, SuspendMode);
  if (!endLine.empty()) r.LogList.push_back(L"  ==> " + endLine);
  LogList = r.LogList;
  ErrCount = r.ErrCount;
  // With a mail to send, the run's block in the log is ended once the mail's outcome is known.
  const bool mail = MailData.Enabled && ErrCount > 0;
  if (WriteLog && !AppendRunLog(sys, LogName, LogList, !mail)) WriteLog = false;
  if (mail) {
    std::vector<std::wstring> tail;
    if (!SendErrorMail(*mMailer, MailData, LogList, ErrCount, ProgVersName, GetLogFolder() + L"HvSmtp.log"))
      tail.push_back(MailFailureLine(mMailer->ErrorList()));
    if (WriteLog) AppendRunLog(sys, LogName, tail);
  }
  DestroyShutdownBlockReason(Handle());
  if (LogOffMode != TDownMode::dmNone) ShutdownSystem();
  else if (SuspendMode != TSuspendMode::smNone) SuspendSystem();
  return Force;
}

int RunStarter() {
  TMainForm* mainForm = nullptr;
  TProgramEntry entry;
  entry.ExtraDomains = {L"winui", L"Indy10", L"Units"};
  entry.CreateForms = [&] { mainForm = &Application().CreateForm<TMainForm>(); };
  entry.CheckForce = [&] { return mainForm->CheckForce(); };
  return RunProgram(entry);
}

}  // namespace hv::hvstarter
