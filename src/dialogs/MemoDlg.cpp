#include "dialogs/MemoDlg.h"

#include <algorithm>

#include "base/os/WinUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/DlgUtils.h"
#include "winui/Dpi.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 301, kClientHeight96 = 146, kMargin96 = 8, kLabelHeight96 = 16;
constexpr int kButtonWidth96 = 87, kButtonHeight96 = 27, kButtonGap96 = 6;

std::wstring CommaTextToLines(std::wstring s) {
  std::wstring lines;
  while (!s.empty()) {
    if (!lines.empty()) lines += L"\r\n";
    lines += ReadNextQuotedItem(s, L',', L'"');
  }
  return lines;
}

std::wstring LinesToCommaText(const TMemo& memo) {
  std::wstring text;
  for (int i = 0; i < memo.LineCount(); ++i) {
    std::wstring line = memo.Line(i);
    if (i == memo.LineCount() - 1 && line.empty()) break;
    if (i) text += L',';
    text += QuoteIfNeeded(line, L", \"");
  }
  return text;
}

}  // namespace

int MemoDialogClientWidth(int clientWidth, int lineWidth, int workAreaWidth) {
  int needed = MulDiv(lineWidth, 110, 100);
  if (clientWidth >= needed) return clientWidth;
  return std::min(needed, workAreaWidth / 2);
}

TMemoDialog::TMemoDialog() {
  BorderStyle = TBorderStyle::bsSizeable;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

void TMemoDialog::FormCreate() {
  SetCaption(L"Dialog");
  Descriptor.Create(*this, L"", {kMargin96, kMargin96, kClientWidth96 - 2 * kMargin96, kLabelHeight96}, nullptr, true);
  Descriptor.TranslateText = false;
  Memo.ReadOnly = false;
  Memo.WordWrap = true;
  Memo.Create(*this, {kMargin96, 28, kClientWidth96 - 2 * kMargin96, 70});
  CreateOkCancel(*this, OKBtn, CancelBtn, {0, 0, kButtonWidth96, kButtonHeight96});
}

void TMemoDialog::Relayout(UINT dpi) {
  if (!OKBtn.Handle()) return;
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  SIZE c = ClientSize();
  const int m = s(kMargin96), bw = s(kButtonWidth96), bh = s(kButtonHeight96);
  Descriptor.SetBounds(m, m, c.cx - 2 * m, s(kLabelHeight96));
  int memoTop = m + s(kLabelHeight96) + s(4);
  int buttonTop = c.cy - m - bh;
  Memo.SetBounds(m, memoTop, c.cx - 2 * m, std::max(buttonTop - m - memoTop, s(20)));
  PlaceOkCancel(OKBtn, CancelBtn, c.cx - m, buttonTop, bw, bh, s(kButtonGap96));
}

void TMemoDialog::FormShow() { FitFormToWorkArea(*this); }

bool TMemoDialog::Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring& text,
                          bool useCommaText) {
  PlaceForm(*this, pos);
  SetCaption(title);
  Descriptor.SetText(desc);
  std::wstring shown = useCommaText ? CommaTextToLines(text) : text;
  Memo.SetText(shown);
  Memo.Hint = desc;
  int lineWidth = GetMaxLineWidthFont(shown, Font()) + GetSystemMetrics(SM_CXVSCROLL) + Scale(2 * kMargin96);
  RECT r = BoundsRect();
  RECT work = WorkAreaAt(POINT{r.left, r.top});
  SIZE c = ClientSize();
  int width = MemoDialogClientWidth(c.cx, lineWidth, work.right - work.left);
  if (width != c.cx) SetClientSize(width, c.cy);
  Relayout(Dpi());
  Memo.SetSel(static_cast<int>(shown.size()), 0);
  ActiveControl = &Memo;
  if (ShowModal() != mrOk) return false;
  text = useCommaText ? LinesToCommaText(Memo) : Memo.Text();
  return true;
}

bool EditMemoText(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring& text) {
  TMemoDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, title, desc, text, false);
}

}  // namespace hv
