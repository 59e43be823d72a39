#pragma once
// Controls that show lists: combo box, list box, check list, list view and tree view. Options
// that fix the window's style are fields set before Create; item heights and column widths are
// given at 96 dpi and follow the form's dpi.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "winui/Controls.h"

namespace hv {

// Owner-drawn kinds are drop-down lists whose items the control (or OnDrawItem) paints.
enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboBox : public TControl {
 public:
  void Create(TForm& form, TComboBoxStyle style, const TRect96& r96, HWND parent = nullptr);
  TComboBoxStyle Style() const { return FStyle; }
  // Changing the style makes a new window; items, text and selection are kept.
  void SetStyle(TComboBoxStyle style);
  bool IsDropDownList() const { return FStyle != TComboBoxStyle::csDropDown && FStyle != TComboBoxStyle::csSimple; }
  bool OwnerDrawn() const {
    return FStyle == TComboBoxStyle::csOwnerDrawFixed || FStyle == TComboBoxStyle::csOwnerDrawVariable;
  }

  int Count() const;
  std::vector<std::wstring> Items() const;
  void SetItems(const std::vector<std::wstring>& items);
  std::wstring Item(int index) const;
  int Add(std::wstring_view text, intptr_t data = 0);
  void Insert(int index, std::wstring_view text, intptr_t data = 0);
  void Delete(int index);
  void Clear();
  intptr_t ItemData(int index) const;
  void SetItemData(int index, intptr_t data);
  // -1: none.
  int ItemIndex() const;
  void SetItemIndex(int index);
  int IndexOf(std::wstring_view text) const;  // exact, ignoring case; -1 when absent
  // Rows shown by the open list.
  int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int count);
  bool DroppedDown() const;
  void SetDroppedDown(bool value);
  // The window of the open list (null before it was first made).
  HWND ListHandle() const;
  // Height of the list items (and of the closed box) of owner-drawn boxes, at 96 dpi.
  void SetItemHeight96(int height);
  int ItemHeight96() const { return FItemHeight96; }

  std::function<void()> OnChange;  // text edited or selection changed
  std::function<void()> OnSelect, OnDropDown, OnCloseUp, OnEnter, OnExit;
  // Owner-drawn boxes: paints one item (itemID -1 or ODS_COMBOBOXEDIT: the closed box).
  std::function<void(const DRAWITEMSTRUCT&)> OnDrawItem;

  void HandleCommand(WORD code) override;
  bool HandleDrawItem(const DRAWITEMSTRUCT& di) override;

 protected:
  // Default drawing of owner-drawn items: the text with one blank in front, scheme colours.
  virtual void DrawItem(const DRAWITEMSTRUCT& di);
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void ApplyItemHeights();

 private:
  // place: put the new window after that sibling (null: at the top).
  void MakeWindow(TForm& form, const TRect96& r96, HWND parent, bool place, HWND after);
  TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
  int FDropDownCount = 8;
  int FItemHeight96 = 0;
};

class TListBox : public TControl {
 public:
  // Set before Create.
  bool MultiSelect = false;     // several items selected by click
  bool ExtendedSelect = false;  // with MultiSelect: Shift and Ctrl extend the selection
  bool Sorted = false;
  bool OwnerDraw = false;
  int ItemHeight96 = 0;  // owner-drawn items; 0: the font's height
  int Columns = 0;       // above 0: items flow in that many columns of equal width

  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);

  int Count() const;
  std::vector<std::wstring> Items() const;
  void SetItems(const std::vector<std::wstring>& items);
  std::wstring Item(int index) const;
  // Returns the index the item landed at (sorted lists sort it in).
  int Add(std::wstring_view text, intptr_t data = 0);
  void Insert(int index, std::wstring_view text, intptr_t data = 0);
  void Delete(int index);
  void Clear();
  intptr_t ItemData(int index) const;
  void SetItemData(int index, intptr_t data);
  // Single selection: the selected item; multi-selection: the focused one. -1: none.
  int ItemIndex() const;
  void SetItemIndex(int index);
  bool Selected(int index) const;
  void SetSelected(int index, bool value);
  int SelCount() const;
  int TopIndex() const;
  void SetTopIndex(int index);
  RECT ItemRect(int index) const;
  // Item under a client point, -1 when none.
  int ItemAtPos(POINT pt) const;
  // Widest horizontal extent in pixels (0: no horizontal scroll bar).
  void SetScrollWidth(int width);

  std::function<void()> OnClick, OnDblClick;
  std::function<void(const DRAWITEMSTRUCT&)> OnDrawItem;

  void HandleCommand(WORD code) override;
  bool HandleDrawItem(const DRAWITEMSTRUCT& di) override;

 protected:
  virtual void DrawItem(const DRAWITEMSTRUCT& di);
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void ApplyItemHeight();
  void ApplyColumns();
};

enum class TCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };

// A list of items with check boxes: a click on the box or the space bar toggles the focused item
// (with AllowGrayed through unchecked, checked and grayed).
class TCheckListBox : public TListBox {
 public:
  bool AllowGrayed = false;
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  bool Checked(int index) const;
  // Raises no event.
  void SetChecked(int index, bool value);
  TCheckBoxState State(int index) const;
  void SetState(int index, TCheckBoxState value);
  // Toggled by the user.
  std::function<void(int index)> OnClickCheck;

 protected:
  void DrawItem(const DRAWITEMSTRUCT& di) override;
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Toggle(int index);
  int CheckSize() const;
  std::vector<uint8_t> FChecks;
};

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TListView : public TControl {
 public:
  // Set before Create.
  TViewStyle ViewStyle = TViewStyle::vsReport;
  bool RowSelect = true;
  bool GridLines = false;
  bool MultiSelect = false;
  bool ShowColumnHeaders = true;
  bool ReadOnly = true;

  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  void AddColumn(std::wstring_view caption, int width96, int format = LVCFMT_LEFT);
  int ColumnCount() const { return static_cast<int>(FColumnWidths96.size()); }
  void SetColumnWidth96(int column, int width96);
  int ColumnWidth(int column) const;  // pixels
  void SetImageList(HIMAGELIST images, int which = LVSIL_SMALL);

  int Count() const;
  int AddItem(std::wstring_view text, intptr_t data = 0, int image = -1);
  // column from 1 for the sub-items.
  void SetItemText(int index, int column, std::wstring_view text);
  std::wstring ItemText(int index, int column = 0) const;
  intptr_t ItemData(int index) const;
  void Delete(int index);
  void Clear();
  int ItemIndex() const;  // the first selected item, -1 when none
  void SetItemIndex(int index);
  bool Selected(int index) const;
  void SetSelected(int index, bool value);

  std::function<void()> OnSelectItem, OnDblClick;
  std::function<void(int column)> OnColumnClick;

  bool HandleNotify(const NMHDR& nm, LRESULT& result) override;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ApplyColors(bool dark);
  std::vector<int> FColumnWidths96;
};

class TTreeView : public TControl {
 public:
  // Set before Create.
  bool ShowLines = true;
  bool ShowButtons = true;
  bool ShowRoot = true;
  bool ReadOnly = true;

  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  void SetImageList(HIMAGELIST images);

  // parent null: a top-level item. hasChildren shows an expand button before children exist
  // (filled on OnExpanding).
  HTREEITEM AddItem(HTREEITEM parent, std::wstring_view text, intptr_t data = 0, bool hasChildren = false,
                    int image = -1, int selectedImage = -1);
  void DeleteItem(HTREEITEM item);
  void DeleteChildren(HTREEITEM item);
  void Clear();
  int Count() const;
  std::wstring ItemText(HTREEITEM item) const;
  void SetItemText(HTREEITEM item, std::wstring_view text);
  intptr_t ItemData(HTREEITEM item) const;
  HTREEITEM Root() const;
  HTREEITEM Parent(HTREEITEM item) const;
  HTREEITEM FirstChild(HTREEITEM item) const;
  HTREEITEM NextSibling(HTREEITEM item) const;
  // The child of parent (null: top level) with that text, ignoring case.
  HTREEITEM FindChild(HTREEITEM parent, std::wstring_view text) const;
  HTREEITEM Selected() const;
  void SetSelected(HTREEITEM item);
  void Expand(HTREEITEM item, bool expand = true);
  bool Expanded(HTREEITEM item) const;

  std::function<void(HTREEITEM)> OnChange;
  // Return false to keep the item closed.
  std::function<bool(HTREEITEM)> OnExpanding;
  std::function<void()> OnDblClick;

  bool HandleNotify(const NMHDR& nm, LRESULT& result) override;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ApplyColors(bool dark);
};

// Paints an owner-drawn list item in the scheme's colours: background, optional check box, text
// with one blank in front; the focus frame when the item has the focus.
void DrawListItem(const DRAWITEMSTRUCT& di, std::wstring_view text, int textLeft = 0);

}  // namespace hv
