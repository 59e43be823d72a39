#include "hvstarter/StarterMain.h"

#include <algorithm>

#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/app/PlaceHolders.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/WinApiUtils.h"
#include "base/os/WinUtils.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/PwdDlg.h"
#include "dialogs/SelectDlg.h"
#include "winui/Translate.h"

namespace hv::hvstarter {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 12, kLabelWidth96 = 120, kRowHeight96 = 23, kButtonWidth96 = 110, kButtonHeight96 = 28;
constexpr int kClientWidth96 = 560, kClientHeight96 = 400;

const wchar_t* const kStatusTexts[] = {L"None", L"Close automatically", L"Always wait for prompt",
                                       L"Wait for prompt only on errors", L"Show only on errors"};

}  // namespace

TMainForm::TMainForm() {
  KeyPreview = true;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate() {
  const int m = kMargin96, x = m + kLabelWidth96 + 4, w = kClientWidth96 - x - m;
  laGroup.Create(*this, L"Backup group:", {m, 15, kLabelWidth96, 20});
  cbTasks.Create(*this, TComboBoxStyle::csDropDownList, {x, 12, w, 200});
  cbTasks.TranslateText = false;
  laUser.Create(*this, L"User name:", {m, 47, kLabelWidth96, 20});
  edUser.Create(*this, L"", {x, 44, w, kRowHeight96}, nullptr, true);
  edUser.TranslateText = false;
  laJobs.Create(*this, L"Backup tasks:", {m, 78, 300, 20});
  lbTasks.Create(*this, {m, 100, kClientWidth96 - 2 * m, 196});
  lbTasks.TranslateText = false;
  lbTasks.Hint = L"Checked tasks are started";
  laOptions.Create(*this, L"", {m, 304, kClientWidth96 - 2 * m, 40}, nullptr, true);
  laOptions.TranslateText = false;
  laVersion.Create(*this, L"", {m, 366, 300, 20}, nullptr, true);
  laVersion.TranslateText = false;
  bbRun.Create(*this, L"Start backups", {kClientWidth96 - 2 * m - 2 * kButtonWidth96 + 6, 360, kButtonWidth96,
                                         kButtonHeight96});
  bbRun.SetDefault(true);
  bbClose.Create(*this, L"Close", {kClientWidth96 - m - kButtonWidth96, 360, kButtonWidth96, kButtonHeight96});
  bbClose.Cancel = true;
  cbTasks.OnChange = [this] { ShowGroup(cbTasks.ItemIndex()); };
  lbTasks.OnClickCheck = [this](int i) {
    if (TaskIndex >= 0 && i >= 0) Groups[static_cast<size_t>(TaskIndex)]->Tasks[static_cast<size_t>(i)].Checked =
        lbTasks.Checked(i);
  };
  bbRun.OnClick = [this] { RunShownGroup(); };
  bbClose.OnClick = [this] { Close(); };

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

  const TStarterOptions o = ParseStarterCommandLine(CommandLineArgs());
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

  const TSettingsPaths paths = LocateSettings(GetAppDataPath(), ProgramDir(), ProgramName(), false);
  hv::SettingsDir = paths.SettingsDir;
  IniName = paths.OwnIniName;
  if (!o.IniOption.empty()) {
    ResolveIniOption(ExpandFolderPlaceholders(o.IniOption), AppPath, ProgramName(), IniName, AIniPath);
    if (!AIniPath.empty()) hv::SettingsDir = AIniPath;
  }
  hv::MainIniName = MainIniFileName(hv::SettingsDir);

  TStarterSettings st;
  LoadStarterSettings(IniName, LastTask, st);
  LastTask = st.LastTask;
  LastDir = st.LastDir;
  MailData = st.Mail;
  Groups = std::move(st.Groups);
  if (st.Top >= 0 && st.Left >= 0) SetPos(st.Left, st.Top);
  for (const auto& g : Groups) cbTasks.Add(g->Desc);

  mMailer = std::make_unique<TmMailer>(ProgramDir(), L"harvaneroot.pem", L"harvane.crt", L"harvane.key",
                                       L"KestrelMeadows");
  mMailer->ContentType = TContentType::ctUtf8;
  LogName = ExtractFilePath(IniName) + ProgramName() + L".log";
  TaskIndex = -1;
  if (!LastTask.empty())
    if (const TTaskProperties* g = FindGroup(Groups, LastTask)) TaskIndex = g->Index;
  if (TaskIndex < 0) TaskIndex = Groups.empty() ? -1 : 0;
  InitProgramStyle(UseDarkMode);
}

void TMainForm::FormShow() {
  laVersion.SetText(ProgramVersionInfo().InternalName + GetBitnessSuffix() + L" [" +
                    GetProgramVersion(3, L"4.4").substr(GetProgramVersion(3, L"4.4").find(L' ') + 1) + L"]");
  if (Groups.empty()) {
    Groups.push_back(std::make_unique<TTaskProperties>(_(L"New group")));
    cbTasks.Add(Groups.back()->Desc);
    TaskIndex = 0;
  }
  ShowGroup(TaskIndex);
}

void TMainForm::ShowGroup(int index) {
  TaskIndex = index >= 0 && index < static_cast<int>(Groups.size()) ? index : -1;
  cbTasks.SetItemIndex(TaskIndex);
  lbTasks.Clear();
  if (TaskIndex < 0) {
    edUser.SetText(L"");
    laOptions.SetText(L"");
    return;
  }
  const TTaskProperties& g = *Groups[static_cast<size_t>(TaskIndex)];
  edUser.SetText(g.User);
  for (size_t i = 0; i < g.Tasks.size(); ++i) {
    const TTaskEntry& t = g.Tasks[i];
    const int k = lbTasks.Add(t.Missing ? t.File + L"  " + _(L"(missing)") : t.File);
    lbTasks.SetChecked(k, t.Checked);
  }
  std::wstring options = g.ParProc ? SafeFormat(_(L"Parallel runs, %d s between starts"), g.StartDelay)
                                   : _(L"One run after the other");
  options += L"\r\n" + _(L"Status window") + L": " +
             _(kStatusTexts[g.Status >= 0 && g.Status <= 4 ? g.Status : 1]);
  laOptions.SetText(options);
  LastTask = g.Desc;
}

void TMainForm::OnSize(int width, int height) {
  if (!lbTasks.Handle()) return;
  const int m = Scale(kMargin96), bw = Scale(kButtonWidth96), bh = Scale(kButtonHeight96);
  const int x = m + Scale(kLabelWidth96 + 4), w = std::max(width - x - m, 0);
  cbTasks.SetBounds(x, Scale(12), w, Scale(200));
  edUser.SetBounds(x, Scale(44), w, Scale(kRowHeight96));
  const int bottom = height - m - bh;
  const int optionsTop = bottom - Scale(56);
  lbTasks.SetBounds(m, Scale(100), std::max(width - 2 * m, 0), std::max(optionsTop - Scale(108), Scale(40)));
  laOptions.SetBounds(m, optionsTop, std::max(width - 2 * m, 0), Scale(40));
  bbClose.SetBounds(width - m - bw, bottom, bw, bh);
  bbRun.SetBounds(width - m - 2 * bw - Scale(6), bottom, bw, bh);
  laVersion.SetBounds(m, bottom + Scale(6), std::max(width - 2 * bw - 3 * m, 0), Scale(20));
}

bool TMainForm::FormHelp() {
  ShowHelp(L"hv-starter.html");
  return true;
}

bool TMainForm::CloseQuery() {
  // Not while a run polls its processes: the form and its groups must outlive it.
  if (FRunning) {
    MessageBeep(MB_ICONWARNING);
    return false;
  }
  return true;
}

void TMainForm::FormClose() { SaveSettings(); }

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
  for (TControl* c : std::initializer_list<TControl*>{&cbTasks, &lbTasks, &bbRun, &bbClose}) c->SetEnabled(!locked);
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

void TMainForm::RunShownGroup() {
  if (FRunning || TaskIndex < 0) return;
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
  r.LogList.push_back(L"  ==> " + _(L"Start: ") + LogDateTime(t));
  IStarterSystem& sys = StarterSystem();
  if (TermProgs) TerminateAllPrograms(sys, GetCurrentProcessId(), r.LogList, r.ErrCount);
  if (FLockScreen) sys.LockWorkstation();
  std::wstring names = ConfigList;
  do {
    const std::wstring name = ReadNextItem(names, L',');
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
  } while (!names.empty());
  GetLocalTime(&t);
  r.LogList.push_back(L"  ==> " + _(L"End") + L": " + LogDateTime(t));
  const std::wstring endLine = EndActionText(LogOffMode, SuspendMode);
  if (!endLine.empty()) r.LogList.push_back(L"  ==> " + endLine);
  LogList = r.LogList;
  ErrCount = r.ErrCount;
  if (WriteLog && !AppendRunLog(sys, LogName, LogList)) WriteLog = false;
  if (MailData.Enabled && ErrCount > 0)
    SendErrorMail(*mMailer, MailData, LogList, ErrCount, ProgVersName, GetLogFolder() + L"HvSmtp.log");
  DestroyShutdownBlockReason(Handle());
  if (LogOffMode != TDownMode::dmNone) ShutdownSystem();
  else if (SuspendMode != TSuspendMode::smNone) SuspendSystem();
  return Force;
}

}  // namespace hv::hvstarter
