#pragma once
// Main form of QlBackup.
#include <string>

#include "qlbackup/QlCore.h"
#include "winui/Forms.h"

namespace hv::qlbackup {

class TMainForm : public TForm, public IQlUi {
 public:
  TMainForm();
  // The unattended run ("/force"); true when it was carried out and the program is to end.
  bool CheckForce();
  int ExitCode() const { return Core.ExitCode; }

  TQlCore Core{*this};
  std::wstring ProgVersDate;

  TPanel paTop;
  TLabel laProfile, laMailDir, laBackupDir, laProg;
  TEdit leProfile, leMailDir, leBackupDir;
  TButton bbProfile, btDest, bbBackup, bbRestore, bbQuit;
  TCheckBox cbCalendar, cbNoComp, cbSync, cbSyncRecycle, cbStatusOnTop;

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

 private:
  void ShowProfile();
  void JobToForm();
  void FormToJob();
  void bbBackupClick();
  void bbRestoreClick();
  void bbProfileClick();
  void btDestClick();
  TPoint MessagePos() const;
  bool FStarted = false;
};

}  // namespace hv::qlbackup
