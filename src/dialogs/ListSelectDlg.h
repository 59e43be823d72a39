#pragma once
// A borderless list of texts shown next to a control without waiting: a click on an entry
// reports its number to OnSelect and closes the list; leaving the list closes it too.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

class TListSelectDialog : public TForm {
 public:
  TListSelectDialog();

  class TSelectList : public TListBox {
   public:
    std::function<void()> OnMouseUp;

   protected:
    LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;
  };
  TSelectList lbSelect;

  void Clear();
  // The items; a non-negative index is selected.
  void Assign(const std::vector<std::wstring>& items, int index);
  // Every string with the prefix in front, number 0.
  void AddList(const std::vector<std::wstring>& items, std::wstring_view prefix);
  // Its number is the position it landed at.
  void Add(std::wstring_view item);
  void AddItem(std::wstring_view item, int number);
  std::wstring GetItem(int index) const { return lbSelect.Item(index); }
  int Count() const { return lbSelect.Count(); }

  // Minimum client width in pixels (0: none).
  int MinWidth() const { return FWidth; }
  void SetMinWidth(int width) { FWidth = width; }
  COLORREF BakColor() const { return FBakColor; }
  void SetBakColor(COLORREF c);
  bool Sorted() const { return FSorted; }
  void SetSorted(bool value);

  // Shows the list at a screen point (dialog position rule), without waiting; an empty list shows
  // nothing. height: the most client height (0: all entries).
  void ShowList(TPoint pos, int height);
  // The client size ShowList gives for a widest entry text width and an entry count (pixels).
  SIZE ListSize(int widestText, int count, int height) const;

  std::function<void(int number)> OnSelect;

 protected:
  void FormCreate() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int InsertPos(std::wstring_view item) const;
  void DrawEntry(const DRAWITEMSTRUCT& di);
  void EntryClick();
  int FWidth = 0;
  COLORREF FBakColor = GetSysColor(COLOR_WINDOW);
  bool FSorted = true;
};

}  // namespace hv
