#pragma once
// What QlBackup does, apart from its window: start-up values, the start checks, the profile's
// job, the backup run, the restore, the unattended run and its end action. The window (or a
// test) answers through IQlUi.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "qlbackup/QlJob.h"
#include "qlbackup/QlOptions.h"
#include "qlbackup/QlProfiles.h"

namespace hv {


// Questions and reports of the program's flows.
class IQlUi {
 public:
  virtual ~IQlUi() = default;
  // An error of a flow: beside the window, or titled with the program when no window shows.
  virtual void ShowError(const std::wstring& text) = 0;
  // An error box at the default position.
  virtual void ShowErrorBox(const std::wstring& text) = 0;
  virtual void ShowInfo(const std::wstring& text) = 0;
  // Yes/No, Yes preselected; true for Yes.
  virtual bool Confirm(const std::wstring& text) = 0;
  // Buttons plus "Cancel"; the index of the pressed button, -1 for cancel. checked: the option box.
  virtual int SelectOption(const std::wstring& title, const std::wstring& text, const std::vector<std::wstring>& buttons,
                           int defaultButton, const std::wstring& option, bool& checked) = 0;
  // False when cancelled.
  virtual bool SelectDirectory(const std::wstring& title, std::wstring& dir, const std::wstring& defaultDir) = 0;
  // The picker for several profiles; false when cancelled.
  virtual bool SelectProfile(const TProfileList& list, std::wstring& profile) = 0;
  // Commands are disabled while the main program runs.
  virtual void SetBusy(bool busy) = 0;
};

// The result of a run that did not reach the main program (exit code of an unattended run).
constexpr int kRunNotStarted = 9;
// The main program could not be started, or waiting for it failed.
constexpr int kRunStartFailed = 7;
constexpr int kRunWaitFailed = 8;

class TQlCore {
 public:
  explicit TQlCore(IQlUi& ui) : FUi(ui) {}

  // Paths and options, as the main form's creation sets them; appData empty: the system's.
  void Init(const std::vector<std::wstring>& args);
  bool CheckEnvironment();
  // The own settings file: [Config]; the profile of the run when none was named.
  void LoadSettings();
  // Raises EWriteError.
  void SaveSettings(int top, int left);

  // The profile: given, stored or default; false when none can be chosen.
  bool SelectProfile(std::wstring& profile);
  // Makes the profile current: its folder and its job file names.
  void SetProfile(const std::wstring& profile);
  bool ReloadProfiles();
  // Reads "profiles.ini" again; false (reported) when it offers no profile.
  bool ReadProfiles();
  void UpdateProfilesIni();

  bool LoadJob();
  // The main program's log of the profile's backup job; before the job is written, the log it will name.
  std::wstring LogFileName() const;
  bool WriteJob(const std::wstring& jobFile, bool unattended);
  // Result: 0 success, the main program's code, kRunStartFailed, kRunWaitFailed or kRunNotStarted.
  int RunBackup(const std::wstring& jobFile, bool unattended);
  int RunMainProgram(const std::wstring& commandLine);
  std::wstring BuildStatus(bool unattended) const;
  // The profile as one parameter of a command line: quoted when it holds a blank.
  std::wstring ProfileArgument() const;
  // What a shortcut or a scheduled task passes to this program: the profile and the status options.
  std::wstring UnattendedArguments() const;
  // The destination created and the job written for a shortcut or a task; false after a reported error.
  bool PrepareUnattendedRun();
  // "Move mail data" with its questions; true when the profile folder was moved.
  bool MoveMailData();
  // The whole restore with its questions; the result of the main program, or kRunNotStarted.
  int Restore();

  // The unattended run; true when "/force" was given. ExitCode then holds the run's result.
  bool CheckForce();
  void ShutdownSystem();
  void SuspendSystem();
  bool Busy() const { return FBusy; }

  // The values of the main form.
  std::wstring UserPath, AppPath, IniName, JobDir, HvPath, QlApp, QlProf;
  TIniEncoding QlEnc = TIniEncoding::ieAnsi;
  TProfileList ProfileList;
  bool ProfFound = false;
  std::wstring MailProfile, MailDir, DestDir, RealDir;
  std::wstring ExcludedFiles = L"parent.lock,global-messages-db.sqlite";
  std::wstring ExcludedTypes = L"SQLITE-SHM,SQLITE-WAL,LZ4,BAK,LOCK";
  std::wstring BuTaskName, ReTaskName;
  TQlOptions Options;
  TBackupJob Job;
  int StatusIndex = 1, WaitTime = 5;
  bool StatusOnTop = false;
  bool Changed = false;
  int Top = -1, Left = -1;
  std::wstring Version;
  int ExitCode = 0;
  HWND Window = nullptr;
  // Whether Thunderbird runs (a test may put another check in its place).
  std::function<bool()> ThunderbirdRunning;
  // Moves a folder to a new name through the shell (a test may put another move in its place).
  std::function<HRESULT(const std::wstring& source, const std::wstring& dest)> MoveFolder;
  // Sends the mail after a backup when the job asks for it (wired when the mailer is there).
  std::function<void(int result)> MailAfterBackup;

 private:
  int RestoreFrom(std::wstring source, const std::wstring& dest);
  // Asks to close a running Thunderbird; false when it still runs or the user gave up.
  bool ThunderbirdClosed(const std::wstring& purpose, const std::wstring& refused);
  IQlUi& FUi;
  bool FBusy = false;
};

// The own settings file: /ini: resolved against the settings folder and the current folder.
std::wstring ResolveOwnIniName(std::wstring_view option, std::wstring_view settingsDir, std::wstring_view programName,
                               std::wstring_view currentDir);
// The job folder: the option's folder when it exists, else Documents\Harvane\ or the main
// program's [Config] "JobDir" when that folder exists; absolute, with "\".
std::wstring ResolveJobDir(std::wstring_view option, std::wstring_view userPath, std::wstring_view mainIniName,
                           std::wstring_view currentDir);

}  // namespace hv
