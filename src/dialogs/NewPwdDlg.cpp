#include "dialogs/NewPwdDlg.h"

#include <algorithm>
#include <string>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "base/security/PasswordStrength.h"
#include "base/text/ExtSysUtils.h"
#include "dialogs/DlgUtils.h"
#include "winui/Dpi.h"
#include "winui/Styles.h"
#include "winui/Translate.h"
#include "winui/Unicode.h"

namespace hv {
namespace {

// Design at 96 dpi (client 486 x 141 with the repeat field).
constexpr int kClientWidth96 = 486, kLeft96 = 10;
constexpr int kPwdPanel96 = 51, kConfirmPanel96 = 44, kBottomPanel96 = 46;
constexpr int kPwdTop96 = 25, kRepTop96 = 20, kEditHeight96 = 23, kRepWidth96 = 466;
constexpr int kShowWidth96 = 26, kShowHeight96 = 23;
constexpr int kBarLeft96 = 70, kBarTop96 = 13, kBarWidth96 = 236, kBarHeight96 = 21;
constexpr int kOkWidth96 = 71, kCancelWidth96 = 96, kButtonHeight96 = 31, kButtonTop96 = 8, kButtonGap96 = 6;

std::wstring Dlg(const wchar_t* msgid) { return DGetText(L"dialogs", msgid); }

COLORREF Mix(COLORREF a, COLORREF b, int num, int den) {
  auto c = [&](int x, int y) { return static_cast<BYTE>(x + (y - x) * num / std::max(den, 1)); };
  return RGB(c(GetRValue(a), GetRValue(b)), c(GetGValue(a), GetGValue(b)), c(GetBValue(a), GetBValue(b)));
}

}  // namespace

int PasswordBarValue(std::wstring_view password, int minLen) {
  if (static_cast<int>(password.size()) < minLen) return 0;
  return PasswordQuality(password);
}

TNewPwdLayout NewPwdDialogLayout(bool confirm, bool show, UINT dpi) {
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  TNewPwdLayout l;
  l.PwdWidth = show ? s(kRepWidth96) - s(kShowWidth96) * 12 / 10 : s(kRepWidth96);
  l.ClientHeight = s(kPwdPanel96) + s(kBottomPanel96) + (confirm ? s(kConfirmPanel96) : 0);
  return l;
}

// --- TQualityBar

void TQualityBar::SetValue(int value) {
  FValue = std::clamp(value, 0, 100);
  InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT TQualityBar::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    TPaintDC dc(Handle());
    Paint(dc.Get());
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  return TPanel::ControlProc(msg, wp, lp);
}

void TQualityBar::Paint(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  const int w = r.right, h = r.bottom, half = w / 2;
  const COLORREF red = RGB(0xE0, 0x20, 0x20), yellow = RGB(0xF0, 0xD0, 0x20), green = RGB(0x20, 0xB0, 0x40);
  for (int x = 0; x < w; ++x) {
    COLORREF c = x < half ? Mix(red, yellow, x, half) : Mix(yellow, green, x - half, w - half);
    RECT col{x, 0, x + 1, h};
    FillRect(dc, &col, TStyleManager::Brush(c));
  }
  const TColorScheme& scheme = TStyleManager::Active();
  RECT rest{w * FValue / 100, 0, w, h};
  FillRect(dc, &rest, TStyleManager::Brush(TStyleManager::SysColor(COLOR_BTNFACE)));
  HBRUSH frame = TStyleManager::Brush(scheme.Dark ? scheme.Border : RGB(0, 0, 0));
  FrameRect(dc, &r, frame);
  std::wstring text = std::to_wstring(FValue) + L"%";
  SetBkMode(dc, TRANSPARENT);
  // The text stands in the middle: over the gradient from 50 % on, else over the background.
  SetTextColor(dc, FValue >= 50 ? RGB(0, 0, 0) : TStyleManager::SysColor(COLOR_BTNTEXT));
  TSelectObject font(dc, Form()->Font());
  DrawTextW(dc, text.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// --- TNewPwdDialog

TNewPwdDialog::TNewPwdDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  KeyPreview = true;
  FontName = L"Tahoma";
  FontSize = 8;
  TextDomain = L"dialogs";
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kPwdPanel96 + kConfirmPanel96 + kBottomPanel96;
}

void TNewPwdDialog::FormCreate() {
  laPwd.Create(*this, L"Enter password:", {kLeft96, kPwdTop96 - 17, 300, 16});
  edtPwd.Create(*this, L"", {kLeft96, kPwdTop96, 436, kEditHeight96});
  edtPwd.Hint = L"Password";
  btnShow.Create(*this, L"\u2022\u2022", {0, kPwdTop96, kShowWidth96, kShowHeight96});
  SetWindowLongW(btnShow.Handle(), GWL_STYLE, GetWindowLongW(btnShow.Handle(), GWL_STYLE) | BS_PUSHLIKE);
  btnShow.TranslateText = false;
  btnShow.Hint = L"Show password";
  btnShow.OnClick = [this] { ShowPasswords(btnShow.Checked()); };
  laRepPwd.Create(*this, L"Repeat password:", {kLeft96, kPwdPanel96 + kRepTop96 - 17, 300, 16});
  edtRepPwd.Create(*this, L"", {kLeft96, kPwdPanel96 + kRepTop96, kRepWidth96, kEditHeight96});
  edtRepPwd.Hint = L"Confirm password";
  Label1.Create(*this, L"Quality:", {0, 0, kBarLeft96 - kLeft96 - 6, 16});
  SetWindowLongW(Label1.Handle(), GWL_STYLE, (GetWindowLongW(Label1.Handle(), GWL_STYLE) & ~SS_TYPEMASK) | SS_RIGHT);
  imgBar.Create(*this, {0, 0, kBarWidth96, kBarHeight96});
  CreateOkCancel(*this, OKBtn, CancelBtn, {0, 0, kOkWidth96, kButtonHeight96}, {0, 0, kCancelWidth96, kButtonHeight96});
  edtPwd.OnChange = [this] { UpdateBar(); };
  ShowPasswords(false);
}

void TNewPwdDialog::Relayout(UINT dpi) {
  if (!CancelBtn.Handle()) return;
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  TNewPwdLayout l = NewPwdDialogLayout(FConf, FShow, dpi);
  SetClientSize(s(kClientWidth96), l.ClientHeight);
  const int left = s(kLeft96), w = s(kClientWidth96);
  laPwd.SetBounds(left, s(kPwdTop96 - 17), s(kRepWidth96), s(16));
  edtPwd.SetBounds(left, s(kPwdTop96), l.PwdWidth, s(kEditHeight96));
  btnShow.SetBounds(left + s(kRepWidth96) - s(kShowWidth96), s(kPwdTop96), s(kShowWidth96), s(kShowHeight96));
  laRepPwd.SetBounds(left, s(kPwdPanel96 + kRepTop96 - 17), s(kRepWidth96), s(16));
  edtRepPwd.SetBounds(left, s(kPwdPanel96 + kRepTop96), s(kRepWidth96), s(kEditHeight96));
  int bottom = l.ClientHeight - s(kBottomPanel96);
  Label1.SetBounds(left, bottom + s(kBarTop96 + 3), s(kBarLeft96 - kLeft96 - 6), s(16));
  imgBar.SetBounds(s(kBarLeft96), bottom + s(kBarTop96), s(kBarWidth96), s(kBarHeight96));
  int cancelLeft = w - left - s(kCancelWidth96);
  CancelBtn.SetBounds(cancelLeft, bottom + s(kButtonTop96), s(kCancelWidth96), s(kButtonHeight96));
  OKBtn.SetBounds(cancelLeft - s(kButtonGap96) - s(kOkWidth96), bottom + s(kButtonTop96), s(kOkWidth96),
                  s(kButtonHeight96));
}

void TNewPwdDialog::FormShow() { FitFormToWorkArea(*this); }

void TNewPwdDialog::UpdateBar() { imgBar.SetValue(PasswordBarValue(edtPwd.Text(), FMinLen)); }

void TNewPwdDialog::ShowPasswords(bool show) {
  for (TEdit* e : {&edtPwd, &edtRepPwd}) {
    SendMessageW(e->Handle(), EM_SETPASSWORDCHAR, show ? 0 : L'*', 0);
    InvalidateRect(e->Handle(), nullptr, TRUE);
  }
}

bool TNewPwdDialog::CloseQuery() {
  if (ModalResult != mrOk) return true;
  std::wstring pwd = edtPwd.Text();
  if (FConf) {
    bool fine = pwd == edtRepPwd.Text() && (pwd.empty() || static_cast<int>(pwd.size()) >= FMinLen);
    if (!fine) {
      if (static_cast<int>(pwd.size()) < FMinLen) {
        ErrorDialog(SafeFormat(Dlg(L"Minimum length of password is %u characters"), FMinLen));
        edtPwd.SetFocus();
      } else {
        ErrorDialog(Dlg(L"Passwords do not match!"));
        edtRepPwd.SetFocus();
      }
      return false;
    }
  }
  if (FSingleByte && !IsAnsiText(pwd)) {
    ErrorDialog(Dlg(L"The password contains characters that cannot be stored here. Please use other characters."));
    edtPwd.SetFocus();
    return false;
  }
  return true;
}

bool TNewPwdDialog::Execute(TPoint pos, std::wstring_view title, std::wstring& password, bool confirm, bool show,
                            int minLen, bool singleByte) {
  PlaceForm(*this, pos);
  SetCaption(title);
  FConf = confirm;
  FShow = show;
  FMinLen = minLen;
  FSingleByte = singleByte;
  edtPwd.SetText(show ? password : std::wstring());
  edtRepPwd.SetText(show ? password : std::wstring());
  for (TEdit* e : {&edtPwd, &edtRepPwd})
    SendMessageW(e->Handle(), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(e->Hint.c_str()));
  imgBar.SetValue(PasswordBarValue(password, minLen));
  btnShow.SetVisible(show);
  for (TControl* c : std::initializer_list<TControl*>{&laRepPwd, &edtRepPwd}) c->SetVisible(confirm);
  Relayout(Dpi());
  ActiveControl = &edtPwd;
  if (ShowModal() != mrOk) return false;
  password = edtPwd.Text();
  return true;
}

bool NewPasswordEx(TPoint pos, std::wstring_view title, std::wstring& password, bool confirm, bool show, int minLen,
                   bool singleByte) {
  TNewPwdDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, title, password, confirm, show, minLen, singleByte);
}

bool NewPassword(TPoint pos, std::wstring_view title, std::wstring& password) {
  return NewPasswordEx(pos, title, password, false, false, 8, true);
}

}  // namespace hv
