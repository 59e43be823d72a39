#include "dialogs/CheckBoxes.h"

#include <windowsx.h>

#include <algorithm>

#include "winui/Dpi.h"
#include "winui/Forms.h"
#include "winui/Styles.h"

namespace hv {
namespace {

constexpr UINT_PTR kListSubclassId = 0x4843;  // "HC"
constexpr int kCheck96 = 13;

std::wstring Join(const std::vector<std::wstring>& parts) {
  std::wstring s;
  for (const auto& p : parts) s += (s.empty() ? L"" : L",") + p;
  return s;
}

}  // namespace

// --- TCheckComboBox

void TCheckComboBox::Create(TForm& form, const TRect96& r96, HWND parent) {
  TComboBox::Create(form, TComboBoxStyle::csOwnerDrawFixed, r96, parent);
  SetItemHeight96(17);
  Init();
}

TCheckComboBox::~TCheckComboBox() {
  if (FListHandle && IsWindow(FListHandle)) RemoveWindowSubclass(FListHandle, ListProc, kListSubclassId);
}

void TCheckComboBox::Init() {
  if (FListHandle && IsWindow(FListHandle)) RemoveWindowSubclass(FListHandle, ListProc, kListSubclassId);
  FListHandle = ListHandle();
  if (FListHandle) SetWindowSubclass(FListHandle, ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

int TCheckComboBox::CheckSize() const { return Scale(kCheck96, Form() ? Form()->Dpi() : kDesignDpi); }

void TCheckComboBox::Changed() {
  bCalcText = true;
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TCheckComboBox::SetChecked(int index, bool checked) {
  if (index < 0 || index >= Count()) return;
  SetItemData(index, checked ? 1 : 0);
  Changed();
  if (FListHandle) {
    RECT r{};
    SendMessageW(FListHandle, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    InvalidateRect(FListHandle, &r, FALSE);
  }
  if (OnCheckClick) OnCheckClick();
}

int TCheckComboBox::AddChecked(std::wstring_view text, bool checked) {
  int i = Add(text, checked ? 1 : 0);
  if (i >= 0) Changed();
  return i;
}

bool TCheckComboBox::IsChecked(int index) const { return index >= 0 && index < Count() && ItemData(index) == 1; }

void TCheckComboBox::CheckAll(bool checked) {
  for (int i = 0, n = Count(); i < n; ++i) SetItemData(i, checked ? 1 : 0);
  Changed();
}

std::wstring TCheckComboBox::GetLongString(int index) const {
  std::wstring s = Item(index);
  size_t bar = s.find(L'|');
  return bar == std::wstring::npos ? s : s.substr(0, bar);
}

std::wstring TCheckComboBox::GetShortString(int index) const {
  std::wstring s = Item(index);
  size_t bar = s.find(L'|');
  return bar == std::wstring::npos ? s : s.substr(bar + 1);
}

void TCheckComboBox::SetDefaultIndex(int index) {
  if (index == FDefaultIndex) return;
  if (FDefaultIndex >= 0 && FDefaultIndex < Count()) SetItemData(FDefaultIndex, 0);
  FDefaultIndex = index;
  FCheckedCount = 0;
  Changed();
}

void TCheckComboBox::SetCaption(std::wstring_view text) {
  if (text == FFixedText) return;
  FFixedText = text;
  Changed();
}

void TCheckComboBox::SetHintPrefix(std::wstring_view text) {
  if (text == FHintPrefix) return;
  FHintPrefix = text;
  Changed();
}

void TCheckComboBox::SetColorFocus(COLORREF c) {
  FColorFocus = c;
  Changed();
}

void TCheckComboBox::SetColorNotFocus(COLORREF c) {
  FColorNotFocus = c;
  Changed();
}

void TCheckComboBox::CalcText() {
  if (!bCalcText) return;
  int n = Count();
  bool any = false;
  for (int i = 0; i < n && !any; ++i) any = IsChecked(i);
  // The default item returns when nothing is checked, but not while the user works in the open list.
  if (!any && FDefaultIndex >= 0 && FDefaultIndex < n && !DroppedDown()) SetItemData(FDefaultIndex, 1);
  std::vector<std::wstring> shorts, longs;
  for (int i = 0; i < n; ++i)
    if (IsChecked(i)) {
      shorts.push_back(GetShortString(i));
      longs.push_back(GetLongString(i));
    }
  FCheckedCount = static_cast<int>(shorts.size());
  sHint = Join(shorts);
  Hint = FHintPrefix + Join(longs);
  bCalcText = false;
}

int TCheckComboBox::CheckedCount() {
  CalcText();
  return FCheckedCount;
}

std::wstring TCheckComboBox::BoxText() {
  CalcText();
  return FFixedText.empty() ? sHint : FFixedText;
}

uint32_t TCheckComboBox::Selected() {
  uint32_t mask = 0;
  for (int i = 0, n = std::min(Count(), 32); i < n; ++i)
    if (IsChecked(i)) mask |= 1u << i;
  Changed();
  return mask;
}

void TCheckComboBox::SetSelected(uint32_t mask) {
  for (int i = 0, n = std::min(Count(), 32); i < n; ++i) SetItemData(i, (mask >> i) & 1u);
  FCheckedCount = 0;
  for (int i = 0, n = Count(); i < n; ++i) FCheckedCount += IsChecked(i);
  Changed();
}

TSelected TCheckComboBox::SelectedIndexes() const {
  TSelected set;
  for (int i = 0, n = std::min(Count(), 256); i < n; ++i) set[static_cast<size_t>(i)] = IsChecked(i);
  return set;
}

void TCheckComboBox::SetSelectedIndexes(const TSelected& set) {
  if (set == SelectedIndexes()) return;
  for (int i = 0, n = std::min(Count(), 256); i < n; ++i) SetItemData(i, set[static_cast<size_t>(i)] ? 1 : 0);
  // As the mask does: recount, recalculate caption and hint, repaint.
  FCheckedCount = 0;
  for (int i = 0, n = Count(); i < n; ++i) FCheckedCount += IsChecked(i);
  Changed();
}

void TCheckComboBox::HandleCommand(WORD code) {
  if (code == CBN_CLOSEUP) Changed();
  TComboBox::HandleCommand(code);
}

void TCheckComboBox::DrawItem(const DRAWITEMSTRUCT& di) {
  const TColorScheme& s = TStyleManager::Active();
  bool box = static_cast<int>(di.itemID) < 0 || (di.itemState & ODS_COMBOBOXEDIT);
  bool selected = di.itemState & ODS_SELECTED, disabled = di.itemState & ODS_DISABLED;
  HDC dc = di.hDC;
  COLORREF bk, fg;
  if (s.System) {
    bk = box ? (selected ? FColorFocus : FColorNotFocus) : GetSysColor(COLOR_WINDOW);
    fg = disabled ? GetSysColor(COLOR_BTNSHADOW) : GetSysColor(COLOR_WINDOWTEXT);
  } else {
    bk = box && selected ? s.Highlight : s.Edit;
    fg = disabled ? s.GrayText : box && selected ? s.HighlightText : s.EditText;
  }
  FillRect(dc, &di.rcItem, TStyleManager::Brush(bk));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, fg);
  RECT r = di.rcItem;
  std::wstring text;
  if (box) {
    text = BoxText();
  } else {
    int i = static_cast<int>(di.itemID);
    text = GetLongString(i);
    RECT c = r;
    c.left += 2;
    TStyleManager::DrawCheckBox(dc, c, CheckSize(), IsChecked(i), !disabled);
    r.left += CheckSize() + 2;
  }
  text = L" " + text;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if ((di.itemState & ODS_FOCUS) && !(di.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &di.rcItem);
}

void TCheckComboBox::Toggle(HWND list, int index) {
  RECT r{};
  if (SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)) != LB_ERR)
    InvalidateRect(list, &r, FALSE);
  SetChecked(index, !IsChecked(index));
}

LRESULT TCheckComboBox::ListMessage(HWND list, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CHAR:
      if (wp == L' ') {
        int i = static_cast<int>(DefSubclassProc(list, LB_GETCURSEL, 0, 0));
        if (i >= 0) Toggle(list, i);
        return 0;
      }
      break;
    case WM_LBUTTONDOWN: {
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      RECT client{};
      GetClientRect(list, &client);
      if (PtInRect(&client, pt)) {
        int top = static_cast<int>(DefSubclassProc(list, LB_GETTOPINDEX, 0, 0));
        int h = static_cast<int>(DefSubclassProc(list, LB_GETITEMHEIGHT, 0, 0));
        int i = top + (h > 0 ? pt.y / h : 0);
        RECT r{};
        if (i < Count() &&
            DefSubclassProc(list, LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)) != LB_ERR &&
            PtInRect(&r, pt))
          Toggle(list, i);
      }
      break;
    }
    case WM_LBUTTONUP:
      return 0;  // the list stays open
    case LB_GETCURSEL:
      return -1;  // the closed box never takes an item's text
  }
  return DefSubclassProc(list, msg, wp, lp);
}

LRESULT CALLBACK TCheckComboBox::ListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  auto* self = reinterpret_cast<TCheckComboBox*>(ref);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(list, ListProc, kListSubclassId);
    if (self->FListHandle == list) self->FListHandle = nullptr;
    return DefSubclassProc(list, msg, wp, lp);
  }
  try {
    return self->ListMessage(list, msg, wp, lp);
  } catch (...) {
    Application().HandleException();
    return 0;
  }
}

// --- TCheckGroupBox

void TCheckGroupBox::Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent) {
  TGroupBox::Create(form, L"", r96, parent);
  TranslateText = false;
  FCreatingCheckBox = true;
  CheckBox.Create(form, caption, {kCheck96 / 3, 0, kCheck96 + 4, 17}, Handle());
  FCreatingCheckBox = false;
  CheckBox.OnClick = [this] {
    SetChecked(CheckBox.Checked());
    if (OnCheckClick) OnCheckClick();
  };
  Invalidate();
}

void TCheckGroupBox::SetCaption(std::wstring_view caption) {
  if (caption != CheckBox.Text()) CheckBox.SetText(caption);
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TCheckGroupBox::SetChecked(bool value) {
  CheckBox.SetChecked(value);
  Invalidate();
}

void TCheckGroupBox::Invalidate() {
  bool on = Checked();
  for (HWND c = GetWindow(Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (c != CheckBox.Handle()) EnableWindow(c, on);
  CheckBox.Hint = Hint;
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TCheckGroupBox::FitCheckBox(HDC dc) {
  // Wide enough for the (translated) caption.
  std::wstring text = CheckBox.Text();
  RECT t{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_CALCRECT);
  UINT dpi = Form()->Dpi();
  int width96 = (kCheck96 + MulDiv(t.right, 96, static_cast<int>(dpi))) * 120 / 100;
  if (width96 == CheckBox.Bounds96.Width) return;
  CheckBox.Bounds96.Width = width96;
  const TRect96& b = CheckBox.Bounds96;
  CheckBox.SetBounds(Scale(b.Left, dpi), Scale(b.Top, dpi), Scale(b.Width, dpi), Scale(b.Height, dpi));
}

RECT TCheckGroupBox::CaptionRect(HDC dc) const { return CheckBox.BoundsRect(); }

LRESULT TCheckGroupBox::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PARENTNOTIFY:
      // Controls put into the box later follow the check box too.
      if (LOWORD(wp) == WM_CREATE && !FCreatingCheckBox)
        EnableWindow(reinterpret_cast<HWND>(lp), Checked());
      break;
    case WM_PAINT: {
      TWindowDCHandle dc(Handle());
      TSelectObject font(dc.Get(), Form()->Font());
      FitCheckBox(dc.Get());
      break;
    }
  }
  return TGroupBox::ControlProc(msg, wp, lp);
}

}  // namespace hv
