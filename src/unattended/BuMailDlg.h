#pragma once
// Mail settings of the profile backup program: the record that goes into a backup job's [Mail]
// section, its reader and writer, and the dialog that edits it and sends a test mail.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings/IniFileUtils.h"
#include "base/settings/ListUtils.h"
#include "dialogs/HListBox.h"
#include "dialogs/NumberEd.h"
#include "unattended/MailTestDlg.h"
#include "unattended/mMailer10.h"
#include "winui/ComCtrls.h"
#include "winui/Controls.h"
#include "winui/Forms.h"
#include "winui/Handles.h"
#include "winui/ListControls.h"
#include "winui/Menus.h"

namespace hv {

// When mail is sent (also: when the run's log is attached).
enum class TMailMode : uint8_t { mmNone, mmAlways, mmError };
// How the attached log is packed.
enum class TZipMode : uint8_t { zmNo, zmYes, zmEncrypt };

// The most attachments a job file holds ("Attachment0" to "Attachment9").
constexpr size_t kMaxAttachments = 10;

struct TMailData {
  std::wstring SMTP;
  std::wstring Username;
  std::wstring Password;  // plain in memory
  std::wstring Sender;
  std::wstring ReplyTo;
  std::wstring Recipients;  // comma list; "#" prefix: only on errors, "*": inactive
  std::wstring Subject;
  std::wstring Attachments;  // comma list
  std::wstring CryptKey;     // plain in memory
  int32_t Port = 25;
  TSecTransfer SecureMode = TSecTransfer::stNone;
  TMailMode LogMode = TMailMode::mmNone;
  TZipMode ZipMode = TZipMode::zmNo;
};

void ClearMailData(TMailData& mailData);
void ReadMailData(const TUnicodeIniFile& ini, std::wstring_view section, TMailData& mailData);
void WriteMailData(TUnicodeIniFile& ini, std::wstring_view section, const TMailData& mailData);

// The non-empty items of a comma list of attachments.
std::vector<std::wstring> AttachmentList(std::wstring_view attachments);
// Adds files to the comma list; false (list unchanged) when that would hold more than
// kMaxAttachments entries.
bool AddAttachments(std::wstring& attachments, const std::vector<std::wstring>& files);

// A recipient of the list: "#" only on errors, "*" inactive, else active.
struct TRecipient {
  std::wstring Address;
  TCheckBoxState State = TCheckBoxState::cbChecked;
  bool operator==(const TRecipient&) const = default;
};
std::vector<TRecipient> ParseRecipients(std::wstring_view recipients);
std::wstring JoinRecipients(const std::vector<TRecipient>& recipients);

// What the test mail is sent with.
struct TTestMail {
  std::wstring Server, User, Password, Sender, ReplyTo, Recipients;  // recipients: comma text
  int Port = 25;
  TSecTransfer SecureMode = TSecTransfer::stNone;
  std::wstring LogFile, ProgramName, ProgramVersion, UserAgent, DateTime;
};
// Fills the mailer's message, server and session log for the test mail.
void PrepareTestMail(TmMailer& mailer, const TTestMail& mail);
// The text of the delivery result (success: sent and no errors).
std::wstring TestMailResultText(bool success, const TmMailer& mailer);

class TMailDialog : public TForm {
 public:
  TMailDialog();
  // Saves the address history into the INI file of Init (errors are reported, never raised).
  ~TMailDialog() override;
  // Loads the histories from the INI file once; later calls and an empty name do nothing.
  void Init(std::wstring_view iniName);
  // True on OK; the record and the mode are changed only then.
  bool Execute(TmMailer* mailer, std::wstring_view task, TMailData& mailData, TMailMode& mode);
  const TStringList& AddressHistory() const { return hl; }
  bool CloseQuery() override;
  void Relayout(UINT dpi) override;

  TLabel lbTask, laServer, laPort, laUser, laPwd, laSender, laReply, laRecipients, laRecNote, laSubject, laAttach;
  THistoryCombo edServer, edUsername, edSubject;
  TRangeEdit edPort;
  TEdit edtSmtpPwd;
  TButton bbPassword;
  TGroupBox gbSecure, gbLog, gbAction;
  TComboBox cbSecure, edSender, edReply;
  TCheckListBox lbRecipients;
  TButton btnAddRec, btnRemRec, btnEditRec, btnPhSubject;
  TRadioButton rbLogAlways, rbLogError, rbLogNever;
  TRadioGroup rgZip;
  TListBox lbAttach;
  TButton btnAddAtt, btnRemAtt, btnEditAtt;
  TRadioButton rbNever, rbError, rbAlways;
  TButton btnTest, OKBtn, CancelBtn;
  TPopupMenu pmHistList;

  // Checks before OK and before the test mail; false with an error box and the focus moved.
  bool CheckSettings();
  void bbPasswordClick();
  void cbSecureCloseUp();
  void rbLogClick();
  void rgZipClick();
  void btnPhSubjectClick();
  void btnAddRecClick();
  void btnEditRecClick();
  void btnRemRecClick();
  void btnAddAttClick();
  void btnEditAttClick();
  void btnRemAttClick();
  void pmiEditListClick(TComboBox& combo);
  void btnTestClick();

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool FormHelp() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ShowPwdDots();
  TComboBox* FPopupCombo = nullptr;
  TFontHandle FBoldFont;
  std::wstring FIniName, Action, CryptPwd, MailPwd;
  TStringList hl;
  TSecTransfer fSecureMode = TSecTransfer::stNone;
  TmMailer* fMailer = nullptr;
};

// Creates the dialog with the main program's INI file for the histories, runs it and frees it.
bool ShowMailDialog(TmMailer* mailer, std::wstring_view task, TMailData& mailData, TMailMode& mode);

}  // namespace hv
