#pragma once
// Asks for an existing password under a prompt of any length, with an optional "Skip" button and
// an optional choice of the AES key length.
#include <string>
#include <string_view>

#include "winui/ComCtrls.h"
#include "winui/Forms.h"

namespace hv {

enum class TEncryptionMode { emAes128, emAes256, emAuto };

// Heights and widths of the dialog in pixels for a prompt of promptWidth x lines text lines.
struct TPasswordLayout {
  int PromptHeight = 0, TopHeight = 0, ClientWidth = 0, ClientHeight = 0;
};
struct TPasswordLayoutIn {
  int PromptWidth = 0, Lines = 1, FontHeight = 0;
  UINT Dpi = 96;
  int ClientWidth = 0;  // current, pixels
  bool Encryption = false;
};
TPasswordLayout PasswordDialogLayout(const TPasswordLayoutIn& in);

class TPasswordDialog : public TForm {
 public:
  TPasswordDialog();
  // Modal result: mrOk (password set), mrYes ("Skip") or mrCancel; the password changes only on
  // OK. singleByte: the password will be kept in a single-byte form, so OK refuses characters
  // outside the ANSI code page with an error instead of changing them.
  int Execute(TPoint pos, std::wstring_view title, std::wstring_view prompt, bool skip, bool encryption,
              bool singleByte, std::wstring& password, TEncryptionMode& mode);
  void Relayout(UINT dpi) override;

  TLabel lblPrompt, Label1;
  TEdit edtPwd;
  TButton bbPaste, btnSkip, OKBtn, CancelBtn;
  TGroupBox gbEncrypt;
  TRadioButton rbEnc128, rbEnc256, rbEncAuto;

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool CloseQuery() override;

 private:
  std::wstring FPrompt;
  bool FEncryption = false, FSingleByte = false;
};

int InputPasswordEx(TPoint pos, std::wstring_view title, std::wstring_view prompt, bool skip, bool encryption,
                    std::wstring& password, TEncryptionMode& mode, bool singleByte = false);
// For a password kept in a single-byte form (stored-password strings): no encryption choice.
int InputPasswordAnsi(TPoint pos, std::wstring_view title, std::wstring_view prompt, bool skip,
                      std::wstring& password);
int InputPassword(std::wstring_view title, std::wstring_view prompt, bool skip, std::wstring& password);
// true on OK; the password stays as typed (UTF-16), for a logon.
bool QueryPassword(TPoint pos, std::wstring_view title, std::wstring_view prompt, std::wstring& password);

}  // namespace hv
