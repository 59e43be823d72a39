#include "dialogs/ListSelectDlg.h"

#include <algorithm>

#include "base/os/WinUtils.h"
#include "winui/Dpi.h"
#include "winui/Styles.h"

namespace hv {
namespace {
constexpr int kItemHeight96 = 17;
}

LRESULT TListSelectDialog::TSelectList::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_LBUTTONUP) {
    LRESULT r = TListBox::ControlProc(msg, wp, lp);
    if (OnMouseUp) OnMouseUp();
    return r;
  }
  return TListBox::ControlProc(msg, wp, lp);
}

TListSelectDialog::TListSelectDialog() {
  BorderStyle = TBorderStyle::bsNone;
  ClientWidth96 = 304;
  ClientHeight96 = 242;
}

void TListSelectDialog::FormCreate() {
  lbSelect.OwnerDraw = true;
  lbSelect.ItemHeight96 = kItemHeight96;
  lbSelect.Create(*this, {0, 0, ClientWidth96, ClientHeight96});
  lbSelect.OnDrawItem = [this](const DRAWITEMSTRUCT& di) { DrawEntry(di); };
  lbSelect.OnMouseUp = [this] { EntryClick(); };
}

void TListSelectDialog::Clear() { lbSelect.Clear(); }

int TListSelectDialog::InsertPos(std::wstring_view item) const {
  if (!FSorted) return lbSelect.Count();
  int lo = 0, hi = lbSelect.Count();
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    std::wstring s = lbSelect.Item(mid);
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, s.data(), static_cast<int>(s.size()), item.data(),
                       static_cast<int>(item.size())) == CSTR_GREATER_THAN)
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

void TListSelectDialog::AddItem(std::wstring_view item, int number) {
  lbSelect.Insert(InsertPos(item), item, number);
}

void TListSelectDialog::Add(std::wstring_view item) {
  int pos = InsertPos(item);
  lbSelect.Insert(pos, item, pos);
}

void TListSelectDialog::Assign(const std::vector<std::wstring>& items, int index) {
  Clear();
  for (const auto& s : items) AddItem(s, 0);
  if (index >= 0) lbSelect.SetItemIndex(index);
}

void TListSelectDialog::AddList(const std::vector<std::wstring>& items, std::wstring_view prefix) {
  for (const auto& s : items) AddItem(std::wstring(prefix) + s, 0);
}

void TListSelectDialog::SetBakColor(COLORREF c) {
  if (c == FBakColor) return;
  FBakColor = c;
  InvalidateRect(lbSelect.Handle(), nullptr, TRUE);
}

void TListSelectDialog::SetSorted(bool value) {
  if (value == FSorted) return;
  FSorted = value;
  if (!value) return;
  std::vector<std::pair<std::wstring, intptr_t>> items;
  for (int i = 0; i < lbSelect.Count(); ++i) items.emplace_back(lbSelect.Item(i), lbSelect.ItemData(i));
  Clear();
  for (const auto& [s, n] : items) AddItem(s, static_cast<int>(n));
}

SIZE TListSelectDialog::ListSize(int widestText, int count, int height) const {
  auto px = [this](int v96) { return Scale(v96); };
  SIZE s{};
  s.cx = widestText + px(11) < FWidth ? FWidth : widestText + px(22);
  int h = count * px(kItemHeight96);
  s.cy = height != 0 && height < h ? height : h + px(6);
  return s;
}

void TListSelectDialog::ShowList(TPoint pos, int height) {
  int n = lbSelect.Count();
  if (n == 0) return;
  int widest = 0;
  {
    TWindowDCHandle dc(lbSelect.Handle());
    TSelectObject font(dc.Get(), Font());
    for (int i = 0; i < n; ++i) {
      std::wstring s = lbSelect.Item(i);
      SIZE sz{};
      GetTextExtentPoint32W(dc.Get(), s.c_str(), static_cast<int>(s.size()), &sz);
      widest = std::max<int>(widest, sz.cx);
    }
  }
  SIZE size = ListSize(widest, n, height);
  SetClientSize(size.cx, size.cy);
  lbSelect.SetBounds(0, 0, size.cx, size.cy);
  PlaceForm(*this, pos);
  Show();
  lbSelect.SetFocus();
}

void TListSelectDialog::DrawEntry(const DRAWITEMSTRUCT& di) {
  const TColorScheme& s = TStyleManager::Active();
  int i = static_cast<int>(di.itemID);
  bool selected = (di.itemState & ODS_SELECTED) && i >= 0;
  COLORREF bk = s.System ? (selected ? RGB(0xA6, 0xCA, 0xF0) : FBakColor) : (selected ? s.Highlight : s.Edit);
  COLORREF fg = s.System ? RGB(0, 0, 0) : selected ? s.HighlightText : s.EditText;
  FillRect(di.hDC, &di.rcItem, TStyleManager::Brush(bk));
  if (di.itemState & ODS_FOCUS) DrawFocusRect(di.hDC, &di.rcItem);
  if (i < 0) return;
  std::wstring text = lbSelect.Item(i);
  int h = di.rcItem.bottom - di.rcItem.top, inset = h * 18 / 100;
  SetBkMode(di.hDC, TRANSPARENT);
  SetTextColor(di.hDC, fg);
  TextOutW(di.hDC, di.rcItem.left + inset, di.rcItem.top + inset, text.c_str(), static_cast<int>(text.size()));
}

void TListSelectDialog::EntryClick() {
  int i = lbSelect.ItemIndex();
  if (i >= 0 && OnSelect) OnSelect(static_cast<int>(lbSelect.ItemData(i)));
  Hide();
}

LRESULT TListSelectDialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ACTIVATE && LOWORD(wp) == WA_INACTIVE && Visible()) Hide();
  return TForm::WndProc(msg, wp, lp);
}

}  // namespace hv
