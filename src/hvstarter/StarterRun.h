#pragma once
// Group runs of the starter: the main program's command lines, the start under another account,
// waiting and result texts; the unattended run's log lines, error mail and end actions.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/os/WinExecute.h"
#include "hvstarter/StarterSettings.h"

namespace hv::hvstarter {

// The logon start; the program uses CreateProcessWithLogonW, tests a starter under the current user
// (tests/hvstarter/seams).
class ILogonStarter {
 public:
  virtual ~ILogonStarter() = default;
  // The process handle; raises EProcessError.
  virtual TKernelHandle Start(const std::wstring& user, const std::wstring& domain, const std::wstring& password,
                              const std::wstring& commandLine, const std::wstring& currentDir) = 0;
};
ILogonStarter& LogonStarter();
// Null restores the real one.
void SetLogonStarter(ILogonStarter* starter);

// The logon call takes at most this many characters of command line.
constexpr size_t kMaxLogonCommandLine = 1024;

TKernelHandle StartProcessAsUser(const std::wstring& user, const std::wstring& domain, const std::wstring& password,
                                 const std::wstring& commandLine, const std::wstring& currentDir);
// "domain\user": the domain before the first "\", the rest the user name.
void SplitAccount(std::wstring_view account, std::wstring& user, std::wstring& domain);

std::wstring BuildCommandLine(const TTaskProperties& group, std::wstring_view hvPath, std::wstring_view aIniPath);
// Opens one job file of the group for editing in the main program.
std::wstring BuildEditCommandLine(const TTaskProperties& group, std::wstring_view hvPath, std::wstring_view jobFile);

// Result codes of a run: -1 running, 0 success, 7 not started, 8 no exit code; any other value is
// the main program's exit code (low byte, or the whole code when its low byte is 0).
constexpr int kStillRunning = -1, kStartFailed = 7, kExitCodeUnreadable = 8;
bool StartBackupProcess(std::wstring_view account, const std::wstring& password, const std::wstring& commandLine,
                        std::wstring& message, TKernelHandle& process);
int PollBackupProcess(TKernelHandle& process, std::wstring& message);
// The code of a finished wait of WaitForProcess, with its text.
int MapWaitResult(DWORD result, std::wstring& message);
int RunBackupProcess(std::wstring_view account, const std::wstring& password, const std::wstring& commandLine,
                     std::wstring& message);

// Runs groups; interactive runs report in ShowError, unattended ones in LogList and ErrCount.
class TGroupRunner {
 public:
  std::wstring HvPath, AIniPath;
  std::vector<std::wstring> LogList;
  int ErrCount = 0;
  std::function<void(const std::wstring&)> ShowError;
  // The password of a group; false when the user cancelled.
  std::function<bool(const TTaskProperties&, std::wstring&)> AskPassword;
  std::function<void()> ProcessMessages;

  // False only when the password prompt was cancelled.
  bool RunGroup(TTaskProperties& group, bool interactive);

 private:
  void Report(const std::wstring& text, bool interactive, int status, int code);
};

// --- unattended run ---

// The end-action line text, empty for none (power off writes none either).
std::wstring EndActionText(TDownMode down, TSuspendMode suspend);

// What an unattended run asks of the system; tests record instead.
class IStarterSystem {
 public:
  virtual ~IStarterSystem() = default;
  virtual std::vector<std::pair<std::wstring, HWND>> VisibleWindows() = 0;
  // The process of a window; 0 when the window is gone.
  virtual DWORD ProcessOf(HWND wnd) = 0;
  // Ends a process with exit code 5; 0 or the Windows error code. name: its program file when readable.
  virtual DWORD TerminateProgram(DWORD pid, std::wstring& name) = 0;
  virtual bool LockWorkstation() = 0;
  virtual bool Suspend(bool hibernate) = 0;
  virtual void Sleep(DWORD ms) = 0;
};
IStarterSystem& StarterSystem();
void SetStarterSystem(IStarterSystem* system);

// Ends the programs of the visible windows but the own process, each process once; failures go to
// lines ("  *** " and "      " lines) and count as errors.
void TerminateAllPrograms(IStarterSystem& sys, DWORD ownPid, std::vector<std::wstring>& lines, int& errCount);

// Appends the lines (ANSI, CR LF) and, with endOfRun, the empty line that ends a run's block; a
// second try after 2 s; false when both fail.
bool AppendRunLog(IStarterSystem& sys, const std::wstring& fileName, const std::vector<std::wstring>& lines,
                  bool endOfRun = true);

// The error mail's body: title, count text and ":", an empty line, the run's lines.
std::vector<std::wstring> ErrorMailBody(const std::vector<std::wstring>& lines, int errCount);
// Sets the mailer from the mail data and sends; failures are silent. False when not sent.
bool SendErrorMail(TmMailer& mailer, const TMailData& mail, const std::vector<std::wstring>& lines, int errCount,
                   std::wstring_view userAgent, std::wstring_view sessionLog);
// The run log's line for an error mail that was not sent, with the mailer's errors.
std::wstring MailFailureLine(const TSendErrors& errors);

}  // namespace hv::hvstarter
