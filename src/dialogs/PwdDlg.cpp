#include "dialogs/PwdDlg.h"

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "dialogs/DlgUtils.h"
#include "winui/Clipboard.h"
#include "winui/Dpi.h"
#include "winui/Translate.h"
#include "winui/Unicode.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 380, kPromptLeft96 = 10, kBorder96 = 2;
constexpr int kInputHeight96 = 58, kEditTop96 = 22, kEditWidth96 = 220, kEditHeight96 = 23;
constexpr int kPasteWidth96 = 130, kButtonWidth96 = 87, kButtonHeight96 = 27, kButtonGap96 = 6;
constexpr int kBottomHeight96 = 43, kEncryptHeight96 = 52;

}  // namespace

TPasswordLayout PasswordDialogLayout(const TPasswordLayoutIn& in) {
  auto s = [&](int v) { return hv::Scale(v, in.Dpi); };
  const int b = s(kBorder96);
  TPasswordLayout out;
  out.PromptHeight = in.Lines * (in.FontHeight + b) + 2 * b;
  out.TopHeight = out.PromptHeight + 2 * b;
  out.ClientWidth = in.ClientWidth < in.PromptWidth ? in.PromptWidth + 2 * s(kPromptLeft96) : in.ClientWidth;
  out.ClientHeight = out.TopHeight + s(kInputHeight96) + s(kBottomHeight96) + (in.Encryption ? s(kEncryptHeight96) : 0);
  return out;
}

TPasswordDialog::TPasswordDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kInputHeight96 + kBottomHeight96 + 30;
}

void TPasswordDialog::FormCreate() {
  lblPrompt.Create(*this, L"", {kPromptLeft96, kBorder96, 300, 16}, nullptr, true, true);
  lblPrompt.TranslateText = false;
  Label1.Create(*this, L"Password:", {kPromptLeft96, 0, kEditWidth96, 16});
  edtPwd.Create(*this, L"", {kPromptLeft96, 0, kEditWidth96, kEditHeight96});
  SendMessageW(edtPwd.Handle(), EM_SETPASSWORDCHAR, L'*', 0);
  edtPwd.Hint = L"Password";
  bbPaste.Create(*this, L"Paste from clipboard", {0, 0, kPasteWidth96, kButtonHeight96});
  bbPaste.OnClick = [this] {
    std::wstring text;
    edtPwd.SetText(GetClipboardText(text) ? text : std::wstring());
    edtPwd.SetFocus();
  };
  gbEncrypt.Create(*this, L"AES encryption depth:", {kPromptLeft96, 0, kClientWidth96 - 2 * kPromptLeft96, kEncryptHeight96 - 6});
  rbEnc128.Create(*this, L"128 bit", {12, TGroupBox::kContentTop96 + 2, 100, 20}, gbEncrypt.Handle(), true);
  rbEnc256.Create(*this, L"256 bit", {120, TGroupBox::kContentTop96 + 2, 100, 20}, gbEncrypt.Handle());
  rbEncAuto.Create(*this, L"Automatic", {228, TGroupBox::kContentTop96 + 2, 120, 20}, gbEncrypt.Handle());
  btnSkip.Create(*this, L"Skip", {0, 0, kButtonWidth96, kButtonHeight96});
  btnSkip.ModalResult = mrYes;
  CreateOkCancel(*this, OKBtn, CancelBtn, {0, 0, kButtonWidth96, kButtonHeight96});
}

void TPasswordDialog::Relayout(UINT dpi) {
  if (!CancelBtn.Handle()) return;
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  TPasswordLayoutIn in;
  in.PromptWidth = GetMaxLineWidthFont(FPrompt, Font());
  in.Lines = CountLines(FPrompt);
  in.FontHeight = FontMetrics(Font()).tmHeight;
  in.Dpi = dpi;
  in.ClientWidth = s(kClientWidth96);
  in.Encryption = FEncryption;
  TPasswordLayout l = PasswordDialogLayout(in);
  SetClientSize(l.ClientWidth, l.ClientHeight);
  const int w = l.ClientWidth, left = s(kPromptLeft96), b = s(kBorder96);
  lblPrompt.SetBounds(left, b, in.PromptWidth + b, l.PromptHeight);
  int y = l.TopHeight;
  Label1.SetBounds(left, y + s(4), s(kEditWidth96), s(16));
  edtPwd.SetBounds(left, y + s(kEditTop96), w - 3 * left - s(kPasteWidth96), s(kEditHeight96));
  bbPaste.SetBounds(w - left - s(kPasteWidth96), y + s(kEditTop96) - s(2), s(kPasteWidth96), s(kButtonHeight96));
  y += s(kInputHeight96);
  gbEncrypt.SetBounds(left, y, w - 2 * left, s(kEncryptHeight96 - 6));
  if (FEncryption) y += s(kEncryptHeight96);
  int top = y + s(kBottomHeight96 - kButtonHeight96) / 2, bw = s(kButtonWidth96), bh = s(kButtonHeight96);
  btnSkip.SetBounds(left, top, bw, bh);
  PlaceOkCancel(OKBtn, CancelBtn, w - left, top, bw, bh, s(kButtonGap96));
}

void TPasswordDialog::FormShow() { FitFormToWorkArea(*this); }

bool TPasswordDialog::CloseQuery() {
  if (ModalResult != mrOk || !FSingleByte || IsAnsiText(edtPwd.Text())) return true;
  ErrorDialog(DGetText(L"dialogs", L"The password contains characters that cannot be stored here. Please use other characters."));
  edtPwd.SetFocus();
  return false;
}

int TPasswordDialog::Execute(TPoint pos, std::wstring_view title, std::wstring_view prompt, bool skip,
                             bool encryption, bool singleByte, std::wstring& password, TEncryptionMode& mode) {
  PlaceForm(*this, pos);
  SetCaption(title);
  FPrompt = prompt;
  FEncryption = encryption;
  FSingleByte = singleByte;
  lblPrompt.SetText(prompt);
  edtPwd.SetText(L"");
  SendMessageW(edtPwd.Handle(), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(edtPwd.Hint.c_str()));
  btnSkip.SetVisible(skip);
  gbEncrypt.SetVisible(encryption);
  rbEnc128.SetChecked(mode == TEncryptionMode::emAes128);
  rbEnc256.SetChecked(mode == TEncryptionMode::emAes256);
  rbEncAuto.SetChecked(mode == TEncryptionMode::emAuto);
  Relayout(Dpi());
  ActiveControl = &edtPwd;
  int result = ShowModal();
  if (result == mrOk) {
    password = edtPwd.Text();
    if (encryption)
      mode = rbEnc128.Checked() ? TEncryptionMode::emAes128
             : rbEnc256.Checked() ? TEncryptionMode::emAes256
                                  : TEncryptionMode::emAuto;
  }
  return result;
}

int InputPasswordEx(TPoint pos, std::wstring_view title, std::wstring_view prompt, bool skip, bool encryption,
                    std::wstring& password, TEncryptionMode& mode, bool singleByte) {
  TPasswordDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, title, prompt, skip, encryption, singleByte, password, mode);
}

int InputPasswordAnsi(TPoint pos, std::wstring_view title, std::wstring_view prompt, bool skip,
                      std::wstring& password) {
  TEncryptionMode mode = TEncryptionMode::emAuto;
  return InputPasswordEx(pos, title, prompt, skip, false, password, mode, true);
}

int InputPassword(std::wstring_view title, std::wstring_view prompt, bool skip, std::wstring& password) {
  return InputPasswordAnsi(kDefaultDialogPos, title, prompt, skip, password);
}

bool QueryPassword(TPoint pos, std::wstring_view title, std::wstring_view prompt, std::wstring& password) {
  TEncryptionMode mode = TEncryptionMode::emAuto;
  return InputPasswordEx(pos, title, prompt, false, false, password, mode) == mrOk;
}

}  // namespace hv
