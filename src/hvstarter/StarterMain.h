#pragma once
// Main form of HvStarter: the groups, one group's job files and its run.
#include <memory>
#include <string>
#include <vector>

#include "base/settings/BuConsts.h"
#include "hvstarter/StarterRun.h"
#include "hvstarter/StarterSettings.h"
#include "unattended/mMailer10.h"
#include "winui/Controls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv::hvstarter {

class TMainForm : public TForm {
 public:
  TMainForm();
  ~TMainForm() override;
  // The unattended run ("/force"); true when it was carried out and the program is to end.
  bool CheckForce();
  // Writes the INI file; an error box when that fails.
  void SaveSettings();
  // Runs the group shown, as the user started it.
  void RunShownGroup();
  bool Running() const { return FRunning; }

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

  TLabel laGroup, laUser, laJobs, laOptions, laVersion;
  TComboBox cbTasks;
  TEdit edUser;
  TCheckListBox lbTasks;
  TButton bbRun, bbClose;

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool CloseQuery() override;
  void FormClose() override;
  bool FormHelp() override;
  void OnSize(int width, int height) override;

 private:
  void ShowGroup(int index);
  TGroupRunner MakeRunner();
  bool AskPassword(const TTaskProperties& group, std::wstring& pwd);
  void SetLocked(bool locked);
  void ShutdownSystem();
  void SuspendSystem();
  bool FRunning = false;
};

}  // namespace hv::hvstarter
