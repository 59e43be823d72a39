#pragma once
// Main form of HvStarter: the groups, the shown group's settings and job files, and the commands.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/settings/BuConsts.h"
#include "dialogs/NumberEd.h"
#include "hvstarter/AppDlg.h"
#include "hvstarter/MailDlg.h"
#include "hvstarter/StarterRun.h"
#include "hvstarter/StarterSettings.h"
#include "unattended/ShortcutDlg.h"
#include "unattended/TaskSchedDlg.h"
#include "unattended/WinTask.h"
#include "unattended/mMailer10.h"
#include "winui/ComCtrls.h"
#include "winui/ComScope.h"
#include "winui/Controls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv::hvstarter {

// The job files of the shown group: each file 5 pixels beside its check box, the selection in
// navy on sky blue (the scheme's colours in the dark scheme); missing files are marked.
class TJobListBox : public TCheckListBox {
 public:
  std::vector<bool> Missing;  // per item, kept in step by the form

 protected:
  void DrawItem(const DRAWITEMSTRUCT& di) override;
};

// New names of the groups after the list editor: an empty name, or one already given to a group
// before it in the list, keeps the group's old name (made unique with " (2)" ... when needed).
// entries: new text and old name per group, in the new order.
std::vector<std::wstring> MergeGroupNames(const std::vector<std::pair<std::wstring, std::wstring>>& entries);

// The main program's log of a job file: its [Global] "LogName" (the main program's own log name
// when empty) with the placeholders expanded; a relative name is placed in logDir when that folder
// exists, else in defaultLogDir. Empty when the job file is missing.
std::wstring GetJobLogName(const std::wstring& jobFile, const std::wstring& hvPath, const std::wstring& logDir,
                           const std::wstring& defaultLogDir);

class TMainForm : public TForm {
 public:
  // The program's own command line.
  TMainForm();
  // Another command line (tests).
  explicit TMainForm(std::vector<std::wstring> args);
  ~TMainForm() override;
  // The unattended run ("/force"); true when it was carried out and the program is to end.
  bool CheckForce();
  // Writes the INI file; an error box when that fails.
  void SaveSettings();
  // Runs the group shown, as the user started it.
  void RunShownGroup();
  bool Running() const { return FRunning; }

  void ShowGroup(int index);
  void StoreGroup();
  void UpdateDelayControls();
  TTaskProperties* ShownGroup() const {
    return TaskIndex >= 0 && TaskIndex < static_cast<int>(Groups.size()) ? Groups[static_cast<size_t>(TaskIndex)].get()
                                                                         : nullptr;
  }

  std::wstring ProgVersName, ProgVersDate, AppPath, UserPath, ProgPath, JobDir, HvPath, IniName, AIniPath;
  std::wstring LastTask, LastDir, ConfigList, UserPwd, LogName;
  std::vector<std::wstring> LogList;
  int ErrCount = 0, TaskIndex = -1;
  bool WriteLog = false, ActPrompt = false, Force = false, TermProgs = false, UseDarkMode = false, FLockScreen = false;
  TDownMode LogOffMode = TDownMode::dmNone;
  TSuspendMode SuspendMode = TSuspendMode::smNone;
  TMailData MailData;
  std::unique_ptr<TmMailer> mMailer;
  TGroupList Groups;
  TComScope FCom;
  std::unique_ptr<TWinTaskScheduler> TaskScheduler;
  HRESULT TaskSchedStatus = E_FAIL;
  std::unique_ptr<TTaskScheduleDialog> TaskDialog;
  std::unique_ptr<TAppDialog> AppDialog;
  std::unique_ptr<TMailDialog> MailDlg;
  std::unique_ptr<TShortcutDialog> ShortcutDlg;
  // The start under another account of "Start an application" (tests record instead).
  TProcessStarter AppStarter;

  // Groups
  TLabel laGroup;
  TComboBox cbTasks;
  TButton bbNewGroup, bbEditGroups;
  // Job files
  TLabel laJobs;
  TJobListBox lbTasks;
  TButton bbAddTask, bbRemTask, UpBtn, DownBtn, bbEdit, bbShowHvLog;
  // Account
  TLabel laAccount;
  TEdit edAccount;
  TButton btnUserPwd;
  TGroupBox gbPassword;
  TRadioButton rbPwdPrompt, rbPwdFixed;
  // Run options
  TRadioGroup rgStatus;
  TPanel paStat;
  TLabel laWait, laWaitUnit, laDelayUnit;
  TRangeEdit reWait, reDelay;
  TNumUpDown udWait, udDelay;
  TGroupBox gbOptions;
  TCheckBox cbSplash, cbSound, cbRunAs, cbParallel, cbDelay;
  TLabel laLogDir;
  TEdit edLogDir;
  TButton bbLogDir;
  TCheckBox cbMail;
  TButton MailBtn;
  // Commands
  TButton bbStart, bbShowLog, bbDesktop, bbNewWinTask, bbEditWinTask, bbStartApp, bbInfo, bbHelp, bbQuit;
  TLabel laVersion;

  void bbNewGroupClick();
  void bbEditGroupsClick();
  void bbAddTaskClick();
  void bbRemTaskClick();
  void MoveTask(int delta);
  void btnUserPwdClick();
  void rbPwdFixedClick();
  void rbPwdPromptClick();
  void rgStatusClick();
  void cbDelayClick();
  void bbLogDirClick();
  void bbEditClick();
  void bbShowHvLogClick();
  void bbShowLogClick();
  void bbDesktopClick();
  void bbNewWinTaskClick();
  void bbEditWinTaskClick();
  void bbStartAppClick();
  void cbMailClick();
  void MailBtnClick();
  void bbInfoClick();

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool CloseQuery() override;
  void FormClose() override;
  bool FormHelp() override;
  std::wstring ControlHelpText(TControl& control) override;

 private:
  TGroupRunner MakeRunner();
  bool AskPassword(const TTaskProperties& group, std::wstring& pwd);
  void SetLocked(bool locked);
  void EnableDelayControls();
  void ShutdownSystem();
  void SuspendSystem();
  void FillGroupCombo();
  void AddJobItem(const std::wstring& file, bool checked, bool missing);
  void UpdateLogButton();
  bool TaskSchedulerAvailable();
  std::wstring StarterShortcutOptions() const;
  std::wstring GroupCommaText() const;
  TPoint ScreenPos(const TControl& c, bool bottomRight) const;
  std::vector<std::wstring> FArgs;
  std::vector<std::wstring> FConfigNames;  // the groups of ConfigList as given
  bool FRunning = false;
};

// The program from start-up to end (the main form, or the unattended run); the exit code.
int RunStarter();

}  // namespace hv::hvstarter
