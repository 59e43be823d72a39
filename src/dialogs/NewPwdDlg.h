#pragma once
// Setting a password: one field, optionally a second to repeat it, a button that shows the
// typing, and a bar with the password's quality.
#include <string>
#include <string_view>

#include "winui/Forms.h"

namespace hv {

// The value the quality bar shows: 0 below the minimum length, else the password's quality.
int PasswordBarValue(std::wstring_view password, int minLen);

// The bar: a red-yellow-green gradient up to the value, the rest in the form's colour, a frame
// and the value with "%".
class TQualityBar : public TPanel {
 public:
  void SetValue(int value);
  int Value() const { return FValue; }

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint(HDC dc);
  int FValue = 0;
};

// Layout in pixels: the first field's width and the client height.
struct TNewPwdLayout {
  int PwdWidth = 0, ClientHeight = 0;
};
TNewPwdLayout NewPwdDialogLayout(bool confirm, bool show, UINT dpi);

class TNewPwdDialog : public TForm {
 public:
  TNewPwdDialog();
  // true on OK, with the first field's text in password. singleByte: the password will be kept
  // in a single-byte form, so characters outside the ANSI code page are refused with an error.
  bool Execute(TPoint pos, std::wstring_view title, std::wstring& password, bool confirm, bool show, int minLen,
               bool singleByte = false);
  void Relayout(UINT dpi) override;

  TLabel laPwd, laRepPwd, Label1;
  TEdit edtPwd, edtRepPwd;
  TCheckBox btnShow;
  TQualityBar imgBar;
  TButton OKBtn, CancelBtn;

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool CloseQuery() override;

 private:
  void UpdateBar();
  void ShowPasswords(bool show);
  bool FConf = false, FShow = false, FSingleByte = false;
  int FMinLen = 0;
};

bool NewPasswordEx(TPoint pos, std::wstring_view title, std::wstring& password, bool confirm, bool show, int minLen,
                   bool singleByte = false);
// No confirmation, nothing shown, minimum length 8 (only for the bar); kept in a single-byte form.
bool NewPassword(TPoint pos, std::wstring_view title, std::wstring& password);

}  // namespace hv
