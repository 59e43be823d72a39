#pragma once
// Main form of QlBackup.
#include <memory>
#include <string>

#include "dialogs/CheckBoxes.h"
#include "dialogs/NumberEd.h"
#include "qlbackup/QlCore.h"
#include "unattended/mMailer10.h"
#include "unattended/WinTask.h"
#include "winui/ComScope.h"
#include "winui/ComCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv::qlbackup {

// The list editor of the exclusion lists: the comma list edited as lines; false when cancelled.
bool EditFilterList(TPoint pos, const std::wstring& title, std::wstring& list);

class TMainForm : public TForm, public IQlUi {
 public:
  TMainForm();
  // The unattended run ("/force"); true when it was carried out and the program is to end.
  bool CheckForce();
  int ExitCode() const { return Core.ExitCode; }

  TQlCore Core{*this};
  std::wstring ProgVersDate;

  TPanel paTop, paBottom;
  TLabel laProfile, laMailDir, laBackupDir, laProg;
  TEdit leProfile, leMailDir, leBackupDir;
  TButton bbProfile, btDest, btnVolume, btnPlaceholder, bbBackup, bbWinTask, bbBackupShortcut, bbShowLog, bbRestore,
      bbMove, bbHelp, bbInfo, bbQuit;
  TButton bbShowFiles, MailBtn;
  // The mailer of the test mail.
  std::unique_ptr<TmMailer> mMailer;
  TGroupBox gbBackup, gbRestore, gbTools;
  TCheckBox cbCalendar;
  TPageControl pcOptions;
  // "Settings"
  TCheckGroupBox gbEncrypt;
  TCheckBox cbFixPwd;
  TButton btnCryptPassword;
  TRadioGroup rgLog;
  // "Options"
  TCheckBox cbSync, cbSyncRecycle, cbNoComp, cbMail;
  // "Status window"
  TComboBox cbxStatus;
  TPanel paStat;
  TLabel laStatTime, laStatUnit;
  TRangeEdit reWait;
  TNumUpDown udWait;
  TCheckBox cbStatusOnTop;
  // "Selections"
  TLabel laExcludedFiles, laExcludedTypes;
  TListBox lbExcludedFiles, lbExcludedTypes;
  TButton bbEditFiles, bbEditTypes;

  TComScope Com;  // before the scheduler, which it outlives
  // The connection to the task service (null when connecting failed) and its result.
  std::unique_ptr<TWinTaskScheduler> TaskScheduler;
  HRESULT TaskSchedStatus = E_FAIL;

  // IQlUi
  void ShowError(const std::wstring& text) override;
  void ShowErrorBox(const std::wstring& text) override;
  void ShowInfo(const std::wstring& text) override;
  bool Confirm(const std::wstring& text) override;
  int SelectOption(const std::wstring& title, const std::wstring& text, const std::vector<std::wstring>& buttons,
                   int defaultButton, const std::wstring& option, bool& checked) override;
  bool SelectDirectory(const std::wstring& title, std::wstring& dir, const std::wstring& defaultDir) override;
  bool SelectProfile(const TProfileList& list, std::wstring& profile) override;
  void SetBusy(bool busy) override;

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool CloseQuery() override;
  void FormClose() override;
  bool FormHelp() override;
  std::wstring ControlHelpText(TControl& control) override;

 private:
  void ShowProfile();
  void JobToForm();
  void FormToJob();
  void ShowStatusPanel();
  void bbBackupClick();
  void bbRestoreClick();
  void bbProfileClick();
  void leBackupDirChange();
  void btDestClick();
  void cbMailClick();
  void MailBtnClick();
  void bbShowFilesClick();
  void btnVolumeClick();
  void btnPlaceholderClick();
  void gbEncryptClick();
  void cbFixPwdClick();
  void btnCryptPasswordClick();
  void cbSyncClick();
  void bbEditFilesClick();
  void bbEditTypesClick();
  bool NeedsDestination();
  void bbBackupShortcutClick();
  void bbWinTaskClick();
  void bbShowLogClick();
  void bbMoveClick();
  void bbInfoClick();
  void bbQuitClick();
  // Writes the job when a setting of the shown profile was changed; false after a failed write.
  bool SaveChangedJob();
  TPoint MessagePos() const;
  bool FStarted = false;
  bool FLoading = false;
};

}  // namespace hv::qlbackup
