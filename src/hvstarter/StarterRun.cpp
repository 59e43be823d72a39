#include "hvstarter/StarterRun.h"

#include <set>

#include "base/app/HvUtils.h"
#include "base/os/WinApiUtils.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"
#include "winui/Unicode.h"

namespace hv::hvstarter {
namespace {

std::wstring Quoted(std::wstring_view s) {
  return s.find(L' ') != std::wstring_view::npos ? L"\"" + std::wstring(s) + L"\"" : std::wstring(s);
}

bool AppendBytes(const std::wstring& fileName, const std::string& bytes) {
  TFileHandle f(CreateFileW(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  DWORD written = 0;
  return WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

class TRealLogonStarter : public ILogonStarter {
 public:
  TKernelHandle Start(const std::wstring& user, const std::wstring& domain, const std::wstring& password,
                      const std::wstring& commandLine, const std::wstring& currentDir) override {
    auto fn = OptionalFunctions().CreateProcessWithLogonW;
    if (!fn) throw EProcessError(ERROR_PROC_NOT_FOUND);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    SetLastError(0);
    const BOOL ok = fn(user.c_str(), domain.empty() ? nullptr : domain.c_str(), password.c_str(), LOGON_WITH_PROFILE,
                       nullptr, cmd.data(), NORMAL_PRIORITY_CLASS, nullptr,
                       currentDir.empty() ? nullptr : currentDir.c_str(), &si, &pi);
    if (!ok) {
      const DWORD err = GetLastError();
      if (err == 0)
        throw EProcessError(0, SafeFormat(L"%s (0x%.8x)", _(L"The logon start failed and the system gave no reason"),
                                          0u));
      throw EProcessError(err, SafeFormat(L"%s (0x%.8x)", SystemErrorText(err), static_cast<unsigned>(err)));
    }
    CloseHandle(pi.hThread);
    return TKernelHandle(pi.hProcess);
  }
};

ILogonStarter*& ActiveStarter() {
  static ILogonStarter* active = nullptr;
  return active;
}

class TRealSystem : public IStarterSystem {
 public:
  std::vector<std::pair<std::wstring, HWND>> VisibleWindows() override {
    std::vector<std::pair<std::wstring, HWND>> list;
    GetVisibleWindowTitles(list);
    return list;
  }
  DWORD ProcessOf(HWND wnd) override {
    DWORD pid = 0;
    if (IsWindow(wnd)) GetWindowThreadProcessId(wnd, &pid);
    return pid;
  }
  DWORD TerminateProgram(DWORD pid, std::wstring& name) override {
    TKernelHandle h(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!h) {
      const DWORD err = GetLastError();
      return err == ERROR_INVALID_PARAMETER ? 0 : err;  // the process has ended meanwhile
    }
    const std::wstring image = GetProcessImagePath(pid);
    if (!image.empty()) name = image;
    return TerminateProcess(h.Get(), 5) ? 0 : GetLastError();
  }
  bool LockWorkstation() override { return ::LockWorkStation() != FALSE; }
  bool Suspend(bool hibernate) override { return SetSystemSuspendState(hibernate, false, false); }
  void Sleep(DWORD ms) override { ::Sleep(ms); }
};

IStarterSystem*& ActiveSystem() {
  static IStarterSystem* active = nullptr;
  return active;
}

}  // namespace

ILogonStarter& LogonStarter() {
  static TRealLogonStarter real;
  return ActiveStarter() ? *ActiveStarter() : real;
}
void SetLogonStarter(ILogonStarter* starter) { ActiveStarter() = starter; }

TKernelHandle StartProcessAsUser(const std::wstring& user, const std::wstring& domain, const std::wstring& password,
                                 const std::wstring& commandLine, const std::wstring& currentDir) {
  if (commandLine.size() > kMaxLogonCommandLine)
    throw EProcessError(ERROR_BAD_LENGTH,
                        SafeFormat(_(L"The command line has %u characters; a start under another account takes at "
                                     L"most %u."),
                                   static_cast<unsigned>(commandLine.size()),
                                   static_cast<unsigned>(kMaxLogonCommandLine)));
  return LogonStarter().Start(user, domain, password, commandLine, currentDir);
}

void SplitAccount(std::wstring_view account, std::wstring& user, std::wstring& domain) {
  const size_t p = account.find(L'\\');
  if (p == std::wstring_view::npos) {
    user = account;
    domain.clear();
  } else {
    domain = account.substr(0, p);
    user = account.substr(p + 1);
  }
}

std::wstring BuildCommandLine(const TTaskProperties& g, std::wstring_view hvPath, std::wstring_view aIniPath) {
  static constexpr const wchar_t* kPrompt[] = {L"quiet", L"delay", L"wait", L"error", L"silent"};
  std::wstring s = Quoted(hvPath) + MakeOptionValue(L"startapp", L"hvstarter");
  s += MakeOptionValue(L"prompt", g.Status >= 0 && g.Status <= 4 ? kPrompt[g.Status] : L"delay");
  if (!aIniPath.empty()) s += MakeOptionValue(L"ini", aIniPath);
  if (!g.AltLogDir.empty()) s += MakeOptionValue(L"logdir", g.AltLogDir);
  if (g.NoSplash) s += MakeOption(L"hide");
  if (!g.PlaySound) s += MakeOption(L"nosound");
  if (g.RunAs) s += MakeOption(L"elevate");
  if (g.Status == 1 || g.Status == 3) s += MakeOptionInt(L"wait", g.Delay);
  return s + MakeOption(L"force") + MakeOption(L"noaction");
}

std::wstring BuildEditCommandLine(const TTaskProperties& g, std::wstring_view hvPath, std::wstring_view jobFile) {
  std::wstring s = Quoted(hvPath) + MakeOptionValue(L"startapp", L"hvstarter");
  if (!g.AltLogDir.empty()) s += MakeOptionValue(L"logdir", g.AltLogDir);
  return s + L" " + Quoted(jobFile) + MakeOption(L"edit");
}

bool StartBackupProcess(std::wstring_view account, const std::wstring& password, const std::wstring& commandLine,
                        std::wstring& message, TKernelHandle& process) {
  std::wstring user, domain;
  SplitAccount(account, user, domain);
  try {
    process = StartProcessAsUser(user, domain, password, commandLine, L"");
    message.clear();
    return true;
  } catch (const EProcessError& e) {
    process.Reset();
    message = SafeFormat(_(L"Error on starting Harvane: %s"), e.Message());
    return false;
  }
}

int MapWaitResult(DWORD result, std::wstring& message) {
  message.clear();
  if (result == 0) return 0;
  if (result & kExitCodeFlag) {
    const DWORD exitCode = result & ~kExitCodeFlag;
    // Any exit code but 0 is a failure, also one whose low byte is 0.
    const int code = (exitCode & 0xFF) != 0 ? static_cast<int>(exitCode & 0xFF) : static_cast<int>(exitCode);
    message = SafeFormat(_(L"Error reported by Harvane: %s"), GetTaskResultText(code));
    return code;
  }
  message = SafeFormat(_(L"Error on executing Harvane: %s"), SystemErrorText(result));
  return kExitCodeUnreadable;
}

int PollBackupProcess(TKernelHandle& process, std::wstring& message) {
  const DWORD r = WaitForProcess(process, 100, false);
  if (r == kWaitTimedOut && process) {
    message.clear();
    return kStillRunning;
  }
  return MapWaitResult(r, message);
}

int RunBackupProcess(std::wstring_view account, const std::wstring& password, const std::wstring& commandLine,
                     std::wstring& message) {
  TKernelHandle process;
  if (!StartBackupProcess(account, password, commandLine, message, process)) return kStartFailed;
  return MapWaitResult(WaitForProcess(process, 0, true), message);
}

void TGroupRunner::Report(const std::wstring& text, bool interactive, int status, int code) {
  if (interactive) {
    if (code == 4 && status >= 2 && status <= 4) return;
    if (ShowError) ShowError(text);
  } else {
    LogList.push_back(L"  *** " + text);
    ++ErrCount;
  }
}

bool TGroupRunner::RunGroup(TTaskProperties& g, bool interactive) {
  // Without a checked job there is nothing to start.
  if (g.CheckedCount() == 0) {
    Report(_(L"No backup tasks specified!"), interactive, g.Status, 0);
    return true;
  }
  std::wstring pwd;
  if (!g.PwdPrompt && !g.Pwd.empty()) pwd = g.Pwd;
  else if (!AskPassword || !AskPassword(g, pwd)) return false;

  const std::wstring base = BuildCommandLine(g, HvPath, AIniPath);
  const std::wstring taskLine = L"      " + _(L"Backup task") + L": ";
  std::wstring message;
  if (!g.ParProc) {
    std::wstring line = base;
    for (const auto& t : g.Tasks) {
      if (!t.Checked) continue;
      line += L" " + Quoted(t.File);
      LogList.push_back(taskLine + t.File);
    }
    const int code = RunBackupProcess(g.User, pwd, line, message);
    if (code != 0) Report(message, interactive, g.Status, code);
    return true;
  }

  for (size_t i = 0; i < g.Tasks.size(); ++i) {
    TTaskEntry& t = g.Tasks[i];
    if (!t.Checked) continue;
    LogList.push_back(taskLine + t.File);
    std::wstring line = base;
    if (g.StartDelay > 0 && i > 0) line += MakeOptionInt(L"delay", static_cast<long long>(i) * g.StartDelay);
    line += MakeOptionInt(L"xinst", static_cast<long long>(i) + 1) + L" " + Quoted(t.File);
    if (!StartBackupProcess(g.User, pwd, line, message, t.Process))
      Report(message, interactive, g.Status, kStartFailed);
    if (ProcessMessages) ProcessMessages();
  }
  for (bool running = true; running;) {
    running = false;
    for (TTaskEntry& t : g.Tasks) {
      if (!t.Checked || !t.Process) continue;
      const int code = PollBackupProcess(t.Process, message);
      if (code == kStillRunning) {
        running = true;
        continue;
      }
      t.Process.Reset();
      if (code > 0) Report(message + L" - " + _(L"Backup task") + L": " + t.File, interactive, g.Status, code);
    }
    if (ProcessMessages) ProcessMessages();
  }
  return true;
}

std::wstring EndActionText(TDownMode down, TSuspendMode suspend) {
  if (down == TDownMode::dmShutdown) return _(L"The system will be shut down!");
  if (down == TDownMode::dmRestart) return _(L"The system will be restarted!");
  if (down == TDownMode::dmLogOff) return _(L"The user will be logged off!");
  if (down != TDownMode::dmNone) return L"";
  if (suspend == TSuspendMode::smStandby) return _(L"The system will enter the standby state!");
  if (suspend == TSuspendMode::smHibernate) return _(L"The system will enter the hibernate state!");
  return L"";
}

IStarterSystem& StarterSystem() {
  static TRealSystem real;
  return ActiveSystem() ? *ActiveSystem() : real;
}
void SetStarterSystem(IStarterSystem* system) { ActiveSystem() = system; }

void TerminateAllPrograms(IStarterSystem& sys, DWORD ownPid, std::vector<std::wstring>& lines, int& errCount) {
  std::set<DWORD> done;
  for (const auto& [title, wnd] : sys.VisibleWindows()) {
    const DWORD pid = sys.ProcessOf(wnd);
    if (pid == 0 || pid == ownPid || !done.insert(pid).second) continue;
    std::wstring name = title;
    const DWORD err = sys.TerminateProgram(pid, name);
    if (err == 0) continue;
    lines.push_back(L"  *** " + SafeFormat(_(L"Terminating of \"%s\" failed:"), name));
    lines.push_back(L"      " + SystemErrorText(err));
    ++errCount;
  }
}

bool AppendRunLog(IStarterSystem& sys, const std::wstring& fileName, const std::vector<std::wstring>& lines,
                  bool endOfRun) {
  std::wstring text;
  for (const auto& l : lines) text += l + L"\r\n";
  if (endOfRun) text += L"\r\n";
  const std::string bytes = WideToAnsi(text);
  if (AppendBytes(fileName, bytes)) return true;
  sys.Sleep(2000);
  return AppendBytes(fileName, bytes);
}

std::vector<std::wstring> ErrorMailBody(const std::vector<std::wstring>& lines, int errCount) {
  std::vector<std::wstring> body{_(L"HvStarter error report") + L" - " +
                                     FormatCountText(L"", _(L"1 error"), _(L"%u errors"), errCount, true) + L":",
                                 L""};
  body.insert(body.end(), lines.begin(), lines.end());
  return body;
}

bool SendErrorMail(TmMailer& mailer, const TMailData& mail, const std::vector<std::wstring>& lines, int errCount,
                   std::wstring_view userAgent, std::wstring_view sessionLog) {
  mailer.Subject = mail.Subject.empty() ? _(L"HvStarter error report") : mail.Subject;
  mailer.SetRecipients(mail.Recipients);
  mailer.Host = mail.Server;
  mailer.Port = mail.Port;
  mailer.UserId = mail.Username;
  mailer.Password = mail.Password;
  mailer.SetSecureTransfer(mail.SecureMode);
  mailer.HeloName = L"Harvane";
  mailer.Logname = sessionLog;
  mailer.WriteLogFile = mail.WriteLog;
  if (mail.Sender.find(L'@') == std::wstring::npos) mailer.From = {mail.Sender, mail.ReplyTo};
  else mailer.From = {L"HvStarter", mail.Sender};
  mailer.ClearExtraHeaders();
  mailer.AddExtraHeader(L"User-Agent", userAgent);
  mailer.AddExtraHeader(L"Sender", mailer.From.Address);
  if (!mail.ReplyTo.empty()) mailer.AddExtraHeader(L"Reply-To", mail.ReplyTo);
  mailer.ClearBody();
  for (const auto& l : ErrorMailBody(lines, errCount)) mailer.AddToBody(l);
  bool sent = false;
  try {
    sent = mailer.Send();
  } catch (...) {
    sent = false;  // a failed error mail changes nothing of the run
  }
  mailer.WriteLogFile = false;
  return sent;
}

std::wstring MailFailureLine(const TSendErrors& errors) {
  std::wstring why;
  for (const TSendError& e : errors) {
    if (!why.empty()) why += L"; ";
    why += e.ErrType == TSendErrorType::seFailedRecipient ? SafeFormat(_(L"Recipient refused: %s"), e.ErrMsg)
                                                          : e.ErrMsg;
  }
  if (why.empty())
    why = _(L"Unknown or other error: Can not determine owner, other error, or the error can not be revealed.");
  return L"  *** " + SafeFormat(_(L"The error mail was not sent: %s"), why);
}

}  // namespace hv::hvstarter
