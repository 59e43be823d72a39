#pragma once
// The starter's mail settings (the record is TMailData of StarterSettings): its [Mail] section in the starter's
// INI file, and the dialog that edits it (histories kept in the main program's INI file).
#include <cstdint>
#include <string>
#include <string_view>

#include "base/settings/ListUtils.h"
#include "dialogs/NumberEd.h"
#include "hvstarter/StarterSettings.h"
#include "unattended/mMailer10.h"
#include "winui/ComCtrls.h"
#include "winui/Controls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {
class TMemIniFile;
}

namespace hv::hvstarter {

TMailData DefaultValues();
class TMailDialog : public TForm {
 public:
  TMailDialog();
  // Writes the histories when LoadFromIni named a file (errors are dropped: the program ends).
  ~TMailDialog() override;
  // Loads the histories once; later calls and an empty name do nothing.
  void LoadFromIni(std::wstring_view iniName);
  // prompt: caption of the enable box (empty: hidden). True on OK with data changed.
  bool Execute(std::wstring_view prompt, bool showPwd, TMailData& data);
  // The histories into FIniName (sections erased first).
  void SaveHistories();
  bool CloseQuery() override;

  TLabel laServer, laPort, laUser, laPwd, laSender, laReply, laRecipients, laSubject;
  TComboBox cbServer, cbUser, cbSender, cbReply;
  TRangeEdit edPort;
  TEdit edSmtpPwd, edSubject;
  TButton bbPassword, btnAdd, btnRemove, btnEdit, OKBtn, CancelBtn;
  TCheckBox cbShowPwd, cbMailLog, cbMail;
  TGroupBox gbSecure;
  TComboBox cbSecure;
  TListBox lbRecipients;
  const TStringList& History() const { return hl; }

 protected:
  void FormCreate() override;

 private:
  void ShowPassword();
  void bbPasswordClick();
  void cbSecureCloseUp();
  void btnAddClick();
  void btnEditClick();
  void btnRemoveClick();
  std::wstring FIniName;
  std::wstring MailPwd;
  TStringList hl;
  TSecTransfer fSecureMode = TSecTransfer::stNone;
};

}  // namespace hv::hvstarter
