#include "dialogs/SelectDlg.h"

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/app/SystemInfo.h"
#include "base/os/WinUtils.h"
#include "dialogs/DlgUtils.h"
#include "winui/Dpi.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kButtonWidth96 = 105, kTextLeft96 = 50, kGap96 = 10, kMargin96 = 5, kIconSize96 = 32;
constexpr int kIconLeft96 = 10, kButtonSpace96 = 5;

std::wstring Dlg(const wchar_t* msgid) { return DGetText(L"dialogs", msgid); }

const wchar_t* StandardCaption(TMsgDlgType t) {
  switch (t) {
    case TMsgDlgType::mtWarning: return L"Warning";
    case TMsgDlgType::mtError: return L"Error";
    case TMsgDlgType::mtInformation: return L"Information";
    case TMsgDlgType::mtConfirmation: return L"Confirm";
    case TMsgDlgType::mtCustom: break;
  }
  return L"";
}

}  // namespace

const wchar_t* StandardIcon(TMsgDlgType t) {
  switch (t) {
    case TMsgDlgType::mtWarning: return IDI_WARNING;
    case TMsgDlgType::mtError: return IDI_ERROR;
    case TMsgDlgType::mtInformation: return IDI_INFORMATION;
    case TMsgDlgType::mtConfirmation: return IDI_QUESTION;
    case TMsgDlgType::mtCustom: break;
  }
  return nullptr;
}

TSelectLayout SelectDialogLayout(const TSelectLayoutIn& in) {
  auto s = [&](int v) { return hv::Scale(v, in.Dpi); };
  const int w = s(in.ButtonWidth96 > 0 ? in.ButtonWidth96 : kButtonWidth96);
  const int b = s(70) + 3 * w, l = s(kTextLeft96), g = s(kGap96), m = s(kMargin96);
  TSelectLayout out;
  int textWidth = in.Bold ? in.TextWidth * 5 / 4 : in.TextWidth;
  int textHeight = in.TextLines * (in.FontHeight * 12 / 10) + g;
  out.ClientWidth = textWidth < b - l - g ? b : l + textWidth + g;
  out.Text = {l, g, l + (textWidth < b - l - g ? textWidth : out.ClientWidth - l - g), g + textHeight};
  int y = out.Text.bottom;
  if (in.Option) {
    int h = in.FontHeight * 16 / 10;
    out.Option = {l, y, out.ClientWidth - g, y + h};
    y += h + g / 2;
  }
  const int bh = in.FontHeight * 24 / 10, pitch = bh * 30 / 26;
  const int x0 = out.ClientWidth - 3 * w - 4 * m;
  const int rows = (in.ButtonCount + 2) / 3;
  for (int i = 0; i < in.ButtonCount; ++i) {
    int row = i / 3, col = i % 3;
    if (row == rows - 1) col += 3 - (in.ButtonCount - 3 * (rows - 1));  // the last row is aligned right
    int x = x0 + col * (w + s(kButtonSpace96)), top = y + row * pitch;
    out.Buttons.push_back({x, top, x + w, top + bh});
  }
  out.ClientHeight = y + (rows - 1) * pitch + pitch + m;
  return out;
}

TSelectDialog::TSelectDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = 385;
  ClientHeight96 = 120;
}

TSelectDialog::~TSelectDialog() {
  Buttons.clear();
}

void TSelectDialog::FormCreate() {
  SetCaption(L"Dialog");
  FScreenReader = IsScreenReaderActive();
  imgIcon.Create(*this, {kIconLeft96, kGap96, kIconSize96, kIconSize96});
  stCaption.Create(*this, L"", {kTextLeft96, kGap96, 300, 20}, nullptr, true, FScreenReader);
  stCaption.TranslateText = false;
  cbOption.Create(*this, L"", {kTextLeft96, 50, 300, 20});
  cbOption.TranslateText = false;
  SetWindowLongW(cbOption.Handle(), GWL_STYLE, GetWindowLongW(cbOption.Handle(), GWL_STYLE) | BS_MULTILINE);
}

void TSelectDialog::Relayout(UINT dpi) {
  if (!cbOption.Handle()) return;
  TSelectLayoutIn in;
  in.ButtonCount = static_cast<int>(Buttons.size());
  in.ButtonWidth96 = FBw;
  in.TextWidth = GetMaxLineWidthFont(FCaption, Font());
  in.TextLines = CountLines(FCaption);
  in.FontHeight = FontMetrics(Font()).tmHeight;
  in.Bold = FBold;
  in.Option = cbOption.Visible();
  in.Dpi = dpi;
  TSelectLayout l = SelectDialogLayout(in);
  SetClientSize(l.ClientWidth, l.ClientHeight);
  imgIcon.SetBounds(hv::Scale(kIconLeft96, dpi), hv::Scale(kGap96, dpi), hv::Scale(kIconSize96, dpi),
                    hv::Scale(kIconSize96, dpi));
  auto place = [](TControl& c, const RECT& r) { c.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); };
  place(stCaption, l.Text);
  place(cbOption, l.Option);
  for (size_t i = 0; i < Buttons.size(); ++i) place(*Buttons[i], l.Buttons[i]);
}

void TSelectDialog::FormShow() { FitFormToWorkArea(*this); }

int TSelectDialog::Execute(TPoint pos, std::wstring_view title, std::wstring_view caption, TMsgDlgType dlgType,
                           bool boldCaption, const TButtonArray& buttons, std::wstring_view option, int buttonWidth,
                           int preSelection, std::wstring_view defaultButton) {
  SetCaption(!title.empty() ? std::wstring(title) : Dlg(StandardCaption(dlgType)));
  FCaption = caption;
  FBw = buttonWidth;
  FPreSel = preSelection;
  FBold = boldCaption;
  stCaption.SetText(caption);
  if (boldCaption) {
    LOGFONTW lf{};
    GetObjectW(Font(), sizeof(lf), &lf);
    lf.lfWeight = FW_BOLD;
    TFontHandle bold(CreateFontIndirectW(&lf));
    SendMessageW(stCaption.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(bold.Get()), FALSE);
    FBoldFont = std::move(bold);
  } else if (FBoldFont) {
    SendMessageW(stCaption.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    FBoldFont.Reset();
  }
  const wchar_t* icon = StandardIcon(dlgType);
  imgIcon.SetVisible(icon != nullptr);
  if (icon) imgIcon.SetSystemIcon(icon);
  cbOption.SetText(option);
  cbOption.SetVisible(!option.empty());
  cbOption.SetChecked(preSelection > 0 && (preSelection & kSelectOptionTicked));

  Buttons.clear();
  Selection = -1;
  const int n = static_cast<int>(buttons.size());
  for (int i = 0; i <= n; ++i) {
    auto b = std::make_unique<TButton>();
    bool last = i == n;
    std::wstring text = !last ? buttons[static_cast<size_t>(i)]
                              : (!defaultButton.empty() ? std::wstring(defaultButton) : Dlg(L"Cancel"));
    b->Create(*this, text, {});
    b->TranslateText = false;
    b->Tag = last ? (n == 0 ? 0 : -1) : i;
    b->Cancel = last;
    b->OnClick = [this, tag = b->Tag] {
      Selection = static_cast<int>(tag);
      ModalResult = Selection >= 0 ? mrOk : mrCancel;
    };
    Buttons.push_back(std::move(b));
  }
  // The check box after the buttons in the tab order, unless a screen reader reads the dialog.
  if (!FScreenReader) SetWindowPos(cbOption.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Relayout(Dpi());
  PlaceForm(*this, pos);
  int focus = preSelection & 0xFF;
  if (preSelection < 0 || focus > n) focus = n;
  ActiveControl = FScreenReader ? static_cast<TControl*>(&stCaption) : Buttons[static_cast<size_t>(focus)].get();
  ShowModal();
  int result = Selection;
  if (result >= 0 && cbOption.Visible() && cbOption.Checked()) result += kSelectOptionTicked;
  Buttons.clear();
  return result;
}

int ShowSelectDialog(std::wstring_view title, std::wstring_view caption, TMsgDlgType dlgType, bool boldCaption,
                     const TButtonArray& buttons, std::wstring_view option, int buttonWidth, int preSelection,
                     std::wstring_view defaultButton) {
  TSelectDialog dlg;
  dlg.Create();
  return dlg.Execute(kDefaultDialogPos, title, caption, dlgType, boldCaption, buttons, option, buttonWidth,
                     preSelection, defaultButton);
}

}  // namespace hv
