#include "dialogs/InputString.h"

#include <algorithm>

#include "base/os/WinUtils.h"
#include "dialogs/DlgUtils.h"
#include "winui/Dpi.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 301, kClientHeight96 = 96, kMargin96 = 8, kLabelHeight96 = 16;
constexpr int kEditTop96 = 28, kEditHeight96 = 23, kSuffixGap96 = 6, kTextExtra96 = 20;
constexpr int kButtonWidth96 = 87, kButtonHeight96 = 27, kButtonGap96 = 6;

}  // namespace

int InputStringClientWidth(int textWidth, UINT dpi, int defWidth) {
  int needed = textWidth + hv::Scale(kTextExtra96, dpi);
  return needed > defWidth ? needed : defWidth;
}

TInputStringDialog::TInputStringDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

void TInputStringDialog::FormCreate() {
  SetCaption(L"Edit text");
  Descriptor.Create(*this, L"", {kMargin96, kMargin96, kClientWidth96 - 2 * kMargin96, kLabelHeight96}, nullptr, true);
  Descriptor.TranslateText = false;
  TextFeld.Create(*this, L"", {kMargin96, kEditTop96, kClientWidth96 - 2 * kMargin96, kEditHeight96});
  SuffixText.Create(*this, L"", {0, kEditTop96 + 4, 0, kLabelHeight96}, nullptr, true);
  SuffixText.TranslateText = false;
  CreateOkCancel(*this, OKBtn, CancelBtn, {0, 0, kButtonWidth96, kButtonHeight96});
  FDefWidth = Scale(kClientWidth96);
}

void TInputStringDialog::Relayout(UINT dpi) {
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  const int width = ClientSize().cx, m = s(kMargin96);
  std::wstring suffix = SuffixText.Text();
  int suffixWidth = suffix.empty() ? 0 : GetTextWidth(suffix, Font());
  SuffixText.SetVisible(!suffix.empty());
  int editWidth = width - 2 * m - (suffixWidth ? suffixWidth + s(kSuffixGap96) : 0);
  Descriptor.SetBounds(m, m, width - 2 * m, s(kLabelHeight96));
  TextFeld.SetBounds(m, s(kEditTop96), editWidth, s(kEditHeight96));
  SuffixText.SetBounds(width - m - suffixWidth, s(kEditTop96 + 4), suffixWidth, s(kLabelHeight96));
  int top = s(kClientHeight96 - kMargin96 - kButtonHeight96);
  PlaceOkCancel(OKBtn, CancelBtn, width - m, top, s(kButtonWidth96), s(kButtonHeight96), s(kButtonGap96));
}

void TInputStringDialog::FormShow() { FitFormToWorkArea(*this); }

bool TInputStringDialog::Execute(TPoint pos, std::wstring_view title, std::wstring_view desc,
                                 std::wstring_view suffix, std::wstring& text) {
  PlaceForm(*this, pos);
  if (!title.empty()) SetCaption(title);
  Descriptor.SetText(desc);
  SuffixText.SetText(suffix);
  TextFeld.SetText(text);
  TextFeld.Hint = desc;
  int width = InputStringClientWidth(GetTextWidth(text, Font()), Dpi(), FDefWidth);
  SetClientSize(width, Scale(kClientHeight96));
  Relayout(Dpi());
  ActiveControl = &TextFeld;
  SendMessageW(TextFeld.Handle(), EM_SETSEL, 0, -1);
  if (ShowModal() != mrOk) return false;
  text = TextFeld.Text();
  return true;
}

bool EditString(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring_view suffix,
                std::wstring& text) {
  TInputStringDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, title, desc, suffix, text);
}

bool EditStringSimple(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring& text) {
  return EditString(pos, title, desc, L"", text);
}

}  // namespace hv
