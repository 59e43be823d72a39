#include "dialogs/CharTableDlg.h"

#include <algorithm>

#include "base/os/WinUtils.h"
#include "base/text/NumberUtils.h"
#include "dialogs/DlgUtils.h"
#include "winui/Dpi.h"

namespace hv {
namespace {

// Design at 96 dpi: 16 x 16 characters below and right of a header row and column.
constexpr int kCells = 17, kCellSize96 = 20, kGridEdges96 = 4, kMargin96 = 8, kTextOffset96 = 3, kFontPoints = 8;
constexpr int kGridSize96 = kCells * kCellSize96 + kGridEdges96;
constexpr int kButtonWidth96 = 87, kButtonHeight96 = 27, kGap96 = 6, kLabelWidth96 = 60, kEditWidth96 = 50;
constexpr int kClientWidth96 = kGridSize96 + 2 * kMargin96;
constexpr int kClientHeight96 = kGridSize96 + 3 * kMargin96 + kButtonHeight96;

HFONT MakeFont(const std::wstring& face, UINT dpi) {
  return CreateFontW(-MulDiv(kFontPoints, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                     face.c_str());
}

}  // namespace

std::optional<int> HexCharCode(std::wstring_view text) {
  int64_t value = 0;
  if (!TryHexStrToInt(text, value) || value < 0 || value > 255) return std::nullopt;
  return static_cast<int>(value);
}

TCharTableDialog::TCharTableDialog() {
  BorderStyle = TBorderStyle::bsSizeable;
  Position = TPosition::poScreenCenter;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

void TCharTableDialog::FormCreate() {
  SetCaption(L"Character table");
  DefFontName = FontName;
  GridFontName = DefFontName;
  CharGrid.ColCount = CharGrid.RowCount = kCells;
  CharGrid.FixedCols = CharGrid.FixedRows = 1;
  CharGrid.DefaultColWidth96 = CharGrid.DefaultRowHeight96 = kCellSize96;
  CharGrid.Create(*this, {kMargin96, kMargin96, kGridSize96, kGridSize96});
  CharGrid.OnDrawCell = [this](HDC dc, int col, int row, const RECT& r, unsigned) { CharGridDrawCell(dc, col, row, r); };
  CharGrid.OnDblClick = [this] { ModalResult = mrOk; };
  lbValue.Create(*this, L"Hex value:", {0, 0, kLabelWidth96, 16});
  leValue.Create(*this, L"", {0, 0, kEditWidth96, 23});
  leValue.TranslateText = false;
  leValue.OnChange = [this] { leValueChange(); };
  CreateOkCancel(*this, OKBtn, CancelBtn, {0, 0, kButtonWidth96, kButtonHeight96}, L"Select");
  ActiveControl = &CharGrid;
}

void TCharTableDialog::Relayout(UINT dpi) {
  if (!CancelBtn.Handle()) return;
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  if (dpi != FFontDpi) MakeFonts(dpi);
  SIZE c = ClientSize();
  const int m = s(kMargin96), bw = s(kButtonWidth96), bh = s(kButtonHeight96), top = c.cy - m - bh;
  CharGrid.SetBounds(m, m, std::max<int>(c.cx - 2 * m, bw), std::max<int>(top - 2 * m, bh));
  const int labelWidth = std::max(s(kLabelWidth96), GetTextWidth(lbValue.Text(), Font()) + s(4));
  lbValue.SetBounds(m, top + s(6), labelWidth, s(16));
  leValue.SetBounds(m + labelWidth + s(4), top + s(2), s(kEditWidth96), s(23));
  PlaceOkCancel(OKBtn, CancelBtn, c.cx - m, top, bw, bh, s(kGap96));
}

void TCharTableDialog::MakeFonts(UINT dpi) {
  FHeaderFont.Reset(MakeFont(DefFontName, dpi));
  FCharFont.Reset(MakeFont(GridFontName.empty() ? DefFontName : GridFontName, dpi));
  FFontDpi = dpi;
  if (CharGrid.Handle()) InvalidateRect(CharGrid.Handle(), nullptr, FALSE);
}

void TCharTableDialog::FormShow() { FitFormToWorkArea(*this); }

void TCharTableDialog::CharGridDrawCell(HDC dc, int col, int row, const RECT& r) {
  std::wstring text;
  if (row == 0 && col > 0) {
    text = IntToHexGrouped(static_cast<uint32_t>(col - 1), 2, 0);
  } else if (col == 0 && row > 0) {
    text = IntToHexGrouped(static_cast<uint32_t>(row - 1), 2, 0);
  } else if (col > 0 && row > 0) {
    text.assign(1, static_cast<wchar_t>((col - 1) + (row - 1) * 16));
  }
  if (text.empty()) return;
  SelectObject(dc, (col == 0 || row == 0) ? FHeaderFont.Get() : FCharFont.Get());
  const int offset = hv::Scale(kTextOffset96, Dpi());
  TextOutW(dc, r.left + offset, r.top + offset, text.c_str(), static_cast<int>(text.size()));
}

int TCharTableDialog::SelectedCode() const { return (CharGrid.Col() - 1) + (CharGrid.Row() - 1) * 16; }

void TCharTableDialog::SelectCode(int code) {
  if (code < 0 || code > 255) return;
  CharGrid.SetSelection(code % 16 + 1, code / 16 + 1);
}

void TCharTableDialog::leValueChange() {
  if (auto code = HexCharCode(leValue.Text())) SelectCode(*code);
}

wchar_t TCharTableDialog::Execute(TPoint pos, std::wstring_view fontName) {
  PlaceForm(*this, pos);
  GridFontName = fontName.empty() ? DefFontName : std::wstring(fontName);
  MakeFonts(Dpi());
  if (ShowModal() != mrOk) return 0;
  return static_cast<wchar_t>(SelectedCode());
}

wchar_t SelectCharacter(TPoint pos, std::wstring_view fontName) {
  TCharTableDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, fontName);
}

}  // namespace hv
