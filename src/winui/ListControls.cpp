#include "winui/ListControls.h"

#include <windowsx.h>

#include <algorithm>

#include "winui/Dpi.h"
#include "winui/Forms.h"
#include "winui/Styles.h"

namespace hv {
namespace {

std::wstring ListText(HWND wnd, UINT lenMsg, UINT textMsg, int index) {
  LRESULT n = SendMessageW(wnd, lenMsg, static_cast<WPARAM>(index), 0);
  if (n < 0) return {};
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = SendMessageW(wnd, textMsg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return s;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

UINT FormDpi(const TControl& c) { return c.Form() ? c.Form()->Dpi() : kDesignDpi; }

}  // namespace

void DrawListItem(const DRAWITEMSTRUCT& di, std::wstring_view text, int textLeft) {
  TItemColors c = TStyleManager::ItemColors(di.itemState & ODS_SELECTED, di.itemState & ODS_DISABLED);
  FillRect(di.hDC, &di.rcItem, TStyleManager::Brush(c.Back));
  SetBkMode(di.hDC, TRANSPARENT);
  SetTextColor(di.hDC, c.Text);
  RECT r = di.rcItem;
  r.left += textLeft;
  std::wstring t = L" " + std::wstring(text);
  DrawTextW(di.hDC, t.c_str(), static_cast<int>(t.size()), &r,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if ((di.itemState & ODS_FOCUS) && !(di.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(di.hDC, &di.rcItem);
}

// --- TComboBox

void TComboBox::Create(TForm& form, TComboBoxStyle style, const TRect96& r96, HWND parent) {
  TranslateText = false;
  FStyle = style;
  MakeWindow(form, r96, parent, false, nullptr);
}

void TComboBox::MakeWindow(TForm& form, const TRect96& r96, HWND parent, bool place, HWND after) {
  DWORD style = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL;
  switch (FStyle) {
    case TComboBoxStyle::csDropDown: style |= CBS_DROPDOWN | CBS_AUTOHSCROLL; break;
    case TComboBoxStyle::csSimple: style |= CBS_SIMPLE | CBS_AUTOHSCROLL; break;
    case TComboBoxStyle::csDropDownList: style |= CBS_DROPDOWNLIST; break;
    case TComboBoxStyle::csOwnerDrawFixed:
    case TComboBoxStyle::csOwnerDrawVariable: style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS; break;
  }
  if (Handle()) DestroyWindow(Handle());
  CreateWnd(form, parent, WC_COMBOBOXW, L"", style, 0, r96);
  if (!Handle()) return;
  if (place) SetWindowPos(Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageW(Handle(), CB_SETMINVISIBLE, static_cast<WPARAM>(FDropDownCount), 0);
  ApplyItemHeights();
  SendMessageW(Handle(), WM_HV_SCHEMECHANGED, TStyleManager::Active().Dark, 0);
}

void TComboBox::SetStyle(TComboBoxStyle style) {
  if (style == FStyle) return;
  if (!Handle()) {
    FStyle = style;
    return;
  }
  std::vector<std::wstring> items = Items();
  std::vector<intptr_t> data;
  for (int i = 0; i < Count(); ++i) data.push_back(ItemData(i));
  int index = ItemIndex();
  std::wstring text = Text();
  bool focused = Focused(), enabled = Enabled(), visible = Visible();
  HWND parent = GetParent(Handle()), after = GetWindow(Handle(), GW_HWNDPREV);
  auto onExit = std::move(OnExit);  // the old window's loss of focus is no exit
  OnExit = nullptr;
  FStyle = style;
  MakeWindow(*Form(), Bounds96, parent, true, after ? after : HWND_TOP);
  OnExit = std::move(onExit);
  if (!Handle()) return;
  for (size_t i = 0; i < items.size(); ++i) Add(items[i], data[i]);
  if (index >= 0)
    SetItemIndex(index);
  else if (!IsDropDownList())
    SetText(text);
  SetEnabled(enabled);
  if (!visible) SetVisible(false);
  if (focused) SetFocus();
}

int TComboBox::Count() const { return static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0)); }

std::vector<std::wstring> TComboBox::Items() const {
  std::vector<std::wstring> items;
  for (int i = 0, n = Count(); i < n; ++i) items.push_back(Item(i));
  return items;
}

void TComboBox::SetItems(const std::vector<std::wstring>& items) {
  std::wstring text = Text();
  Clear();
  for (const auto& s : items) Add(s);
  if (!IsDropDownList()) SetText(text);
}

std::wstring TComboBox::Item(int index) const { return ListText(Handle(), CB_GETLBTEXTLEN, CB_GETLBTEXT, index); }

int TComboBox::Add(std::wstring_view text, intptr_t data) {
  std::wstring s(text);
  int i = static_cast<int>(SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
  if (i >= 0) SetItemData(i, data);
  return i;
}

void TComboBox::Insert(int index, std::wstring_view text, intptr_t data) {
  std::wstring s(text);
  int i = static_cast<int>(
      SendMessageW(Handle(), CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str())));
  if (i >= 0) SetItemData(i, data);
}

void TComboBox::Delete(int index) { SendMessageW(Handle(), CB_DELETESTRING, static_cast<WPARAM>(index), 0); }
void TComboBox::Clear() { SendMessageW(Handle(), CB_RESETCONTENT, 0, 0); }
intptr_t TComboBox::ItemData(int index) const {
  return static_cast<intptr_t>(SendMessageW(Handle(), CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}
void TComboBox::SetItemData(int index, intptr_t data) {
  SendMessageW(Handle(), CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}
int TComboBox::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), CB_GETCURSEL, 0, 0)); }
void TComboBox::SetItemIndex(int index) { SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

int TComboBox::IndexOf(std::wstring_view text) const {
  for (int i = 0, n = Count(); i < n; ++i)
    if (SameText(Item(i), text)) return i;
  return -1;
}

void TComboBox::SetDropDownCount(int count) {
  FDropDownCount = std::max(1, count);
  SendMessageW(Handle(), CB_SETMINVISIBLE, static_cast<WPARAM>(FDropDownCount), 0);
  RECT r = BoundsRect();
  SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

bool TComboBox::DroppedDown() const { return SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0; }
void TComboBox::SetDroppedDown(bool value) { SendMessageW(Handle(), CB_SHOWDROPDOWN, value, 0); }

HWND TComboBox::ListHandle() const {
  COMBOBOXINFO ci{};
  ci.cbSize = sizeof(ci);
  return GetComboBoxInfo(Handle(), &ci) ? ci.hwndList : nullptr;
}

void TComboBox::SetItemHeight96(int height) {
  FItemHeight96 = height;
  ApplyItemHeights();
}

void TComboBox::ApplyItemHeights() {
  if (!Handle() || FItemHeight96 <= 0 || !OwnerDrawn()) return;
  int h = Scale(FItemHeight96, FormDpi(*this));
  SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), h);
  SendMessageW(Handle(), CB_SETITEMHEIGHT, 0, h);
}

void TComboBox::HandleCommand(WORD code) {
  switch (code) {
    case CBN_SELCHANGE:
      if (OnSelect) OnSelect();
      if (OnChange) OnChange();
      break;
    case CBN_EDITCHANGE:
      if (OnChange) OnChange();
      break;
    case CBN_DROPDOWN:
      if (OnDropDown) OnDropDown();
      break;
    case CBN_CLOSEUP:
      if (OnCloseUp) OnCloseUp();
      break;
    case CBN_SETFOCUS:
      if (OnEnter) OnEnter();
      break;
    case CBN_KILLFOCUS:
      if (OnExit) OnExit();
      break;
  }
}

bool TComboBox::HandleDrawItem(const DRAWITEMSTRUCT& di) {
  if (di.CtlType != ODT_COMBOBOX) return false;
  if (OnDrawItem)
    OnDrawItem(di);
  else
    DrawItem(di);
  return true;
}

void TComboBox::DrawItem(const DRAWITEMSTRUCT& di) {
  std::wstring text = static_cast<int>(di.itemID) >= 0 ? Item(static_cast<int>(di.itemID)) : std::wstring();
  DrawListItem(di, text);
}

LRESULT TComboBox::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFONT: {
      LRESULT r = DefProc(msg, wp, lp);
      ApplyItemHeights();
      return r;
    }
  }
  return DefProc(msg, wp, lp);
}

// --- TListBox

void TListBox::Create(TForm& form, const TRect96& r96, HWND parent) {
  TranslateText = false;
  DWORD style = WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  style |= Columns > 0 ? LBS_MULTICOLUMN : WS_VSCROLL;
  if (Sorted) style |= LBS_SORT;
  if (MultiSelect) style |= ExtendedSelect ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  if (OwnerDraw) style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
  CreateWnd(form, parent, WC_LISTBOXW, L"", style, WS_EX_CLIENTEDGE, r96);
  ApplyItemHeight();
  ApplyColumns();
}

void TListBox::ApplyColumns() {
  RECT r;
  if (Handle() && Columns > 0 && GetClientRect(Handle(), &r))
    SendMessageW(Handle(), LB_SETCOLUMNWIDTH, std::max<LONG>(1, r.right / Columns), 0);
}

void TListBox::ApplyItemHeight() {
  if (Handle() && OwnerDraw && ItemHeight96 > 0)
    SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, Scale(ItemHeight96, FormDpi(*this)));
}

int TListBox::Count() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCOUNT, 0, 0)); }

std::vector<std::wstring> TListBox::Items() const {
  std::vector<std::wstring> items;
  for (int i = 0, n = Count(); i < n; ++i) items.push_back(Item(i));
  return items;
}

void TListBox::SetItems(const std::vector<std::wstring>& items) {
  SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
  Clear();
  for (const auto& s : items) Add(s);
  SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle(), nullptr, TRUE);
}

std::wstring TListBox::Item(int index) const { return ListText(Handle(), LB_GETTEXTLEN, LB_GETTEXT, index); }

int TListBox::Add(std::wstring_view text, intptr_t data) {
  std::wstring s(text);
  int i = static_cast<int>(SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
  if (i >= 0) SetItemData(i, data);
  return i;
}

void TListBox::Insert(int index, std::wstring_view text, intptr_t data) {
  std::wstring s(text);
  int i = static_cast<int>(
      SendMessageW(Handle(), LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str())));
  if (i >= 0) SetItemData(i, data);
}

void TListBox::Delete(int index) { SendMessageW(Handle(), LB_DELETESTRING, static_cast<WPARAM>(index), 0); }
void TListBox::Clear() { SendMessageW(Handle(), LB_RESETCONTENT, 0, 0); }
intptr_t TListBox::ItemData(int index) const {
  return static_cast<intptr_t>(SendMessageW(Handle(), LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}
void TListBox::SetItemData(int index, intptr_t data) {
  SendMessageW(Handle(), LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}

int TListBox::ItemIndex() const {
  if (!MultiSelect) return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0));
  if (Count() == 0) return -1;
  return static_cast<int>(SendMessageW(Handle(), LB_GETCARETINDEX, 0, 0));
}

void TListBox::SetItemIndex(int index) {
  if (!MultiSelect) {
    SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return;
  }
  SendMessageW(Handle(), LB_SETSEL, FALSE, -1);
  if (index < 0) return;
  SendMessageW(Handle(), LB_SETSEL, TRUE, index);
  SendMessageW(Handle(), LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
}

bool TListBox::Selected(int index) const {
  return SendMessageW(Handle(), LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
}

void TListBox::SetSelected(int index, bool value) {
  if (MultiSelect)
    SendMessageW(Handle(), LB_SETSEL, value, index);
  else if (value)
    SetItemIndex(index);
  else if (ItemIndex() == index)
    SetItemIndex(-1);
}

int TListBox::SelCount() const {
  if (MultiSelect) return static_cast<int>(SendMessageW(Handle(), LB_GETSELCOUNT, 0, 0));
  return ItemIndex() >= 0 ? 1 : 0;
}

int TListBox::TopIndex() const { return static_cast<int>(SendMessageW(Handle(), LB_GETTOPINDEX, 0, 0)); }
void TListBox::SetTopIndex(int index) { SendMessageW(Handle(), LB_SETTOPINDEX, static_cast<WPARAM>(index), 0); }

RECT TListBox::ItemRect(int index) const {
  RECT r{};
  SendMessageW(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return r;
}

int TListBox::ItemAtPos(POINT pt) const {
  LRESULT r = SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
  if (HIWORD(r)) return -1;
  int i = LOWORD(r);
  return i < Count() ? i : -1;
}

void TListBox::SetScrollWidth(int width) { SendMessageW(Handle(), LB_SETHORIZONTALEXTENT, width, 0); }

void TListBox::HandleCommand(WORD code) {
  if (code == LBN_SELCHANGE && OnClick) OnClick();
  if (code == LBN_DBLCLK && OnDblClick) OnDblClick();
}

bool TListBox::HandleDrawItem(const DRAWITEMSTRUCT& di) {
  if (di.CtlType != ODT_LISTBOX) return false;
  if (OnDrawItem)
    OnDrawItem(di);
  else
    DrawItem(di);
  return true;
}

void TListBox::DrawItem(const DRAWITEMSTRUCT& di) {
  std::wstring text = static_cast<int>(di.itemID) >= 0 ? Item(static_cast<int>(di.itemID)) : std::wstring();
  DrawListItem(di, text);
}

LRESULT TListBox::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETFONT) {
    LRESULT r = DefProc(msg, wp, lp);
    ApplyItemHeight();
    return r;
  }
  if (msg == WM_SIZE) ApplyColumns();
  return DefProc(msg, wp, lp);
}

// --- TCheckListBox

void TCheckListBox::Create(TForm& form, const TRect96& r96, HWND parent) {
  OwnerDraw = true;
  Sorted = false;
  if (ItemHeight96 <= 0) ItemHeight96 = 18;
  TListBox::Create(form, r96, parent);
}

int TCheckListBox::CheckSize() const { return Scale(13, FormDpi(*this)); }

bool TCheckListBox::Checked(int index) const { return State(index) == TCheckBoxState::cbChecked; }

void TCheckListBox::SetChecked(int index, bool value) {
  SetState(index, value ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked);
}

TCheckBoxState TCheckListBox::State(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= FChecks.size()) return TCheckBoxState::cbUnchecked;
  return static_cast<TCheckBoxState>(FChecks[static_cast<size_t>(index)]);
}

void TCheckListBox::SetState(int index, TCheckBoxState value) {
  if (index < 0 || static_cast<size_t>(index) >= FChecks.size()) return;
  FChecks[static_cast<size_t>(index)] = static_cast<uint8_t>(value);
  RECT r = ItemRect(index);
  InvalidateRect(Handle(), &r, FALSE);
}

void TCheckListBox::Toggle(int index) {
  if (index < 0 || index >= Count()) return;
  switch (State(index)) {
    case TCheckBoxState::cbUnchecked: SetState(index, TCheckBoxState::cbChecked); break;
    case TCheckBoxState::cbChecked:
      SetState(index, AllowGrayed ? TCheckBoxState::cbGrayed : TCheckBoxState::cbUnchecked);
      break;
    case TCheckBoxState::cbGrayed: SetState(index, TCheckBoxState::cbUnchecked); break;
  }
  if (OnClickCheck) OnClickCheck(index);
}

void TCheckListBox::DrawItem(const DRAWITEMSTRUCT& di) {
  int size = CheckSize(), gap = Scale(2, FormDpi(*this));
  int i = static_cast<int>(di.itemID);
  DrawListItem(di, i >= 0 ? Item(i) : std::wstring(), size + 2 * gap);
  if (i < 0) return;
  RECT r = di.rcItem;
  r.left += gap;
  if (State(i) == TCheckBoxState::cbGrayed)
    TStyleManager::DrawGrayedCheckBox(di.hDC, r, size, IsWindowEnabled(Handle()));
  else
    TStyleManager::DrawCheckBox(di.hDC, r, size, Checked(i), IsWindowEnabled(Handle()));
}

LRESULT TCheckListBox::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CHAR:
      if (wp == L' ') {
        if (Count() > 0) Toggle(static_cast<int>(SendMessageW(Handle(), LB_GETCARETINDEX, 0, 0)));
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      LRESULT r = DefProc(msg, wp, lp);
      int i = ItemAtPos(pt);
      if (i >= 0 && pt.x < CheckSize() + 2 * Scale(2, FormDpi(*this))) Toggle(i);
      return r;
    }
    // The check marks move with their items.
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      LRESULT r = DefProc(msg, wp, lp);
      if (r >= 0) FChecks.insert(FChecks.begin() + std::min<ptrdiff_t>(r, std::ssize(FChecks)), 0);
      return r;
    }
    case LB_DELETESTRING: {
      LRESULT r = DefProc(msg, wp, lp);
      if (r >= 0 && wp < FChecks.size()) FChecks.erase(FChecks.begin() + static_cast<ptrdiff_t>(wp));
      return r;
    }
    case LB_RESETCONTENT:
      FChecks.clear();
      break;
  }
  return TListBox::ControlProc(msg, wp, lp);
}

// --- TListView

void TListView::Create(TForm& form, const TRect96& r96, HWND parent) {
  TranslateText = false;
  DWORD style = WS_VISIBLE | WS_TABSTOP | LVS_SHOWSELALWAYS;
  switch (ViewStyle) {
    case TViewStyle::vsIcon: style |= LVS_ICON; break;
    case TViewStyle::vsSmallIcon: style |= LVS_SMALLICON; break;
    case TViewStyle::vsList: style |= LVS_LIST; break;
    case TViewStyle::vsReport: style |= LVS_REPORT; break;
  }
  if (!MultiSelect) style |= LVS_SINGLESEL;
  if (!ShowColumnHeaders) style |= LVS_NOCOLUMNHEADER;
  if (!ReadOnly) style |= LVS_EDITLABELS;
  CreateWnd(form, parent, WC_LISTVIEWW, L"", style, WS_EX_CLIENTEDGE, r96);
  DWORD ex = LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP;
  if (RowSelect) ex |= LVS_EX_FULLROWSELECT;
  if (GridLines) ex |= LVS_EX_GRIDLINES;
  SendMessageW(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
  ApplyColors(TStyleManager::Active().Dark);
}

void TListView::AddColumn(std::wstring_view caption, int width96, int format) {
  std::wstring text(caption);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  col.fmt = format;
  col.cx = Scale(width96, FormDpi(*this));
  col.pszText = text.data();
  SendMessageW(Handle(), LVM_INSERTCOLUMNW, FColumnWidths96.size(), reinterpret_cast<LPARAM>(&col));
  FColumnWidths96.push_back(width96);
}

void TListView::SetColumnWidth96(int column, int width96) {
  if (column < 0 || column >= ColumnCount()) return;
  FColumnWidths96[static_cast<size_t>(column)] = width96;
  SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), Scale(width96, FormDpi(*this)));
}

int TListView::ColumnWidth(int column) const {
  return static_cast<int>(SendMessageW(Handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void TListView::SetImageList(HIMAGELIST images, int which) {
  SendMessageW(Handle(), LVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(images));
}

int TListView::Count() const { return static_cast<int>(SendMessageW(Handle(), LVM_GETITEMCOUNT, 0, 0)); }

int TListView::AddItem(std::wstring_view text, intptr_t data, int image) {
  std::wstring s(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
  item.iItem = Count();
  item.pszText = s.data();
  item.lParam = data;
  item.iImage = image;
  return static_cast<int>(SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void TListView::SetItemText(int index, int column, std::wstring_view text) {
  std::wstring s(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = s.data();
  SendMessageW(Handle(), LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

std::wstring TListView::ItemText(int index, int column) const {
  std::wstring s(256, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = s.data();
    item.cchTextMax = static_cast<int>(s.size());
    int n = static_cast<int>(
        SendMessageW(Handle(), LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    if (n < static_cast<int>(s.size()) - 1) {
      s.resize(static_cast<size_t>(std::max(n, 0)));
      return s;
    }
    s.resize(s.size() * 2);
  }
}

intptr_t TListView::ItemData(int index) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  SendMessageW(Handle(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

void TListView::Delete(int index) { SendMessageW(Handle(), LVM_DELETEITEM, static_cast<WPARAM>(index), 0); }
void TListView::Clear() { SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0); }

int TListView::ItemIndex() const {
  return static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void TListView::SetItemIndex(int index) {
  if (!MultiSelect || index < 0) {
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
  }
  if (index < 0) return;
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  SendMessageW(Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

bool TListView::Selected(int index) const {
  return SendMessageW(Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) & LVIS_SELECTED;
}

void TListView::SetSelected(int index, bool value) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = value ? LVIS_SELECTED : 0;
  SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

namespace {
// Selected items in the dark scheme: the scheme's highlight instead of the light system one.
bool DarkSelectionDraw(const NMHDR& nm, LRESULT& result, COLORREF& text, COLORREF& back, UINT& state) {
  if (!TStyleManager::Active().Dark) return false;
  const auto& cd = reinterpret_cast<const NMCUSTOMDRAW&>(nm);
  if (cd.dwDrawStage == CDDS_PREPAINT) {
    result = CDRF_NOTIFYITEMDRAW;
    return true;
  }
  if (cd.dwDrawStage != CDDS_ITEMPREPAINT) return false;
  if (state & CDIS_SELECTED) {
    TItemColors c = TStyleManager::ItemColors(true);
    text = c.Text;
    back = c.Back;
    state &= ~(CDIS_SELECTED | CDIS_FOCUS);
  }
  result = CDRF_DODEFAULT;
  return true;
}
}  // namespace

bool TListView::HandleNotify(const NMHDR& nm, LRESULT& result) {
  switch (nm.code) {
    case NM_CUSTOMDRAW: {
      auto& cd = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(nm));
      if (cd.nmcd.dwDrawStage == CDDS_ITEMPREPAINT &&
          SendMessageW(Handle(), LVM_GETITEMSTATE, cd.nmcd.dwItemSpec, LVIS_SELECTED))
        cd.nmcd.uItemState |= CDIS_SELECTED;
      return DarkSelectionDraw(nm, result, cd.clrText, cd.clrTextBk, cd.nmcd.uItemState);
    }
    case LVN_ITEMCHANGED: {
      const auto& lv = reinterpret_cast<const NMLISTVIEW&>(nm);
      if ((lv.uChanged & LVIF_STATE) && ((lv.uNewState ^ lv.uOldState) & LVIS_SELECTED) && OnSelectItem)
        OnSelectItem();
      break;
    }
    case LVN_COLUMNCLICK:
      if (OnColumnClick) OnColumnClick(reinterpret_cast<const NMLISTVIEW&>(nm).iSubItem);
      break;
    case NM_DBLCLK:
      if (OnDblClick) OnDblClick();
      break;
  }
  return false;
}

void TListView::ApplyColors(bool dark) {
  const TColorScheme& s = TStyleManager::Active();
  COLORREF bk = dark ? s.Edit : GetSysColor(COLOR_WINDOW), fg = dark ? s.EditText : GetSysColor(COLOR_WINDOWTEXT);
  SendMessageW(Handle(), LVM_SETBKCOLOR, 0, static_cast<LPARAM>(bk));
  SendMessageW(Handle(), LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(bk));
  SendMessageW(Handle(), LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(fg));
}

LRESULT TListView::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_HV_SCHEMECHANGED:
      ApplyColors(wp != 0);
      InvalidateRect(Handle(), nullptr, TRUE);
      return 0;
    case WM_SETFONT: {
      LRESULT r = DefProc(msg, wp, lp);
      for (int i = 0; i < ColumnCount(); ++i) SetColumnWidth96(i, FColumnWidths96[static_cast<size_t>(i)]);
      return r;
    }
  }
  return DefProc(msg, wp, lp);
}

// --- TTreeView

void TTreeView::Create(TForm& form, const TRect96& r96, HWND parent) {
  TranslateText = false;
  DWORD style = WS_VISIBLE | WS_TABSTOP | TVS_SHOWSELALWAYS;
  if (ShowLines) style |= TVS_HASLINES;
  if (ShowButtons) style |= TVS_HASBUTTONS;
  if (ShowRoot) style |= TVS_LINESATROOT;
  if (!ReadOnly) style |= TVS_EDITLABELS;
  CreateWnd(form, parent, WC_TREEVIEWW, L"", style, WS_EX_CLIENTEDGE, r96);
  ApplyColors(TStyleManager::Active().Dark);
}

void TTreeView::SetImageList(HIMAGELIST images) {
  SendMessageW(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}

HTREEITEM TTreeView::AddItem(HTREEITEM parent, std::wstring_view text, intptr_t data, bool hasChildren, int image,
                             int selectedImage) {
  std::wstring s(text);
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent ? parent : TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
  ins.item.pszText = s.data();
  ins.item.lParam = data;
  ins.item.cChildren = hasChildren ? 1 : 0;
  if (image >= 0) {
    ins.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    ins.item.iImage = image;
    ins.item.iSelectedImage = selectedImage >= 0 ? selectedImage : image;
  }
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  if (item && parent) {
    TVITEMW p{};
    p.mask = TVIF_CHILDREN | TVIF_HANDLE;
    p.hItem = parent;
    p.cChildren = 1;
    SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&p));
  }
  return item;
}

void TTreeView::DeleteItem(HTREEITEM item) { SendMessageW(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)); }

void TTreeView::DeleteChildren(HTREEITEM item) {
  while (HTREEITEM child = FirstChild(item)) DeleteItem(child);
}

void TTreeView::Clear() { SendMessageW(Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)); }
int TTreeView::Count() const { return static_cast<int>(SendMessageW(Handle(), TVM_GETCOUNT, 0, 0)); }

std::wstring TTreeView::ItemText(HTREEITEM item) const {
  std::wstring s(1024, L'\0');
  TVITEMW tv{};
  tv.mask = TVIF_TEXT | TVIF_HANDLE;
  tv.hItem = item;
  tv.pszText = s.data();
  tv.cchTextMax = static_cast<int>(s.size());
  if (!SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return {};
  s.resize(wcslen(s.c_str()));
  return s;
}

void TTreeView::SetItemText(HTREEITEM item, std::wstring_view text) {
  std::wstring s(text);
  TVITEMW tv{};
  tv.mask = TVIF_TEXT | TVIF_HANDLE;
  tv.hItem = item;
  tv.pszText = s.data();
  SendMessageW(Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

intptr_t TTreeView::ItemData(HTREEITEM item) const {
  TVITEMW tv{};
  tv.mask = TVIF_PARAM | TVIF_HANDLE;
  tv.hItem = item;
  SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return tv.lParam;
}

namespace {
HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT code) {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}
}  // namespace

HTREEITEM TTreeView::Root() const { return NextItem(Handle(), nullptr, TVGN_ROOT); }
HTREEITEM TTreeView::Parent(HTREEITEM item) const { return NextItem(Handle(), item, TVGN_PARENT); }
HTREEITEM TTreeView::FirstChild(HTREEITEM item) const {
  return item ? NextItem(Handle(), item, TVGN_CHILD) : Root();
}
HTREEITEM TTreeView::NextSibling(HTREEITEM item) const { return NextItem(Handle(), item, TVGN_NEXT); }
HTREEITEM TTreeView::Selected() const { return NextItem(Handle(), nullptr, TVGN_CARET); }
void TTreeView::SetSelected(HTREEITEM item) {
  SendMessageW(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  if (item) SendMessageW(Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
}

HTREEITEM TTreeView::FindChild(HTREEITEM parent, std::wstring_view text) const {
  for (HTREEITEM c = FirstChild(parent); c; c = NextSibling(c))
    if (SameText(ItemText(c), text)) return c;
  return nullptr;
}

void TTreeView::Expand(HTREEITEM item, bool expand) {
  SendMessageW(Handle(), TVM_EXPAND, expand ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
}

bool TTreeView::Expanded(HTREEITEM item) const {
  return SendMessageW(Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED;
}

bool TTreeView::HandleNotify(const NMHDR& nm, LRESULT& result) {
  switch (nm.code) {
    case NM_CUSTOMDRAW: {
      auto& cd = const_cast<NMTVCUSTOMDRAW&>(reinterpret_cast<const NMTVCUSTOMDRAW&>(nm));
      return DarkSelectionDraw(nm, result, cd.clrText, cd.clrTextBk, cd.nmcd.uItemState);
    }
    case TVN_SELCHANGEDW:
      if (OnChange) OnChange(reinterpret_cast<const NMTREEVIEWW&>(nm).itemNew.hItem);
      break;
    case TVN_ITEMEXPANDINGW: {
      const auto& tv = reinterpret_cast<const NMTREEVIEWW&>(nm);
      if ((tv.action & TVE_EXPAND) && OnExpanding) {
        result = OnExpanding(tv.itemNew.hItem) ? FALSE : TRUE;
        return true;
      }
      break;
    }
    case NM_DBLCLK:
      if (OnDblClick) OnDblClick();
      break;
  }
  return false;
}

void TTreeView::ApplyColors(bool dark) {
  const TColorScheme& s = TStyleManager::Active();
  SendMessageW(Handle(), TVM_SETBKCOLOR, 0, static_cast<LPARAM>(dark ? s.Edit : static_cast<COLORREF>(-1)));
  SendMessageW(Handle(), TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(dark ? s.EditText : static_cast<COLORREF>(-1)));
  SendMessageW(Handle(), TVM_SETLINECOLOR, 0, static_cast<LPARAM>(dark ? s.Border : CLR_DEFAULT));
}

LRESULT TTreeView::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_HV_SCHEMECHANGED) {
    ApplyColors(wp != 0);
    InvalidateRect(Handle(), nullptr, TRUE);
    return 0;
  }
  return DefProc(msg, wp, lp);
}

}  // namespace hv
