#pragma once
// Containers and common controls: group box, radio buttons and radio group, up-down, read-only
// memo, page control with tab sheets, status bar. Sizes are given at 96 dpi.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "winui/Controls.h"

namespace hv {

// A frame with a caption that holds other controls (create them with its Handle() as parent;
// their rectangles are relative to the box). Painted in the scheme's colours.
class TGroupBox : public TPanel {
 public:
  void Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent = nullptr);
  // Top of the area below the caption, at 96 dpi.
  static constexpr int kContentTop96 = 18;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // The caption's rectangle in client pixels (empty caption: an empty rectangle at the indent).
  virtual RECT CaptionRect(HDC dc) const;
  void PaintFrame(HDC dc, const RECT& caption);
};

class TRadioButton : public TControl {
 public:
  // group: the first button of a group (it takes the tab stop).
  void Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent = nullptr, bool group = false);
  bool Checked() const;
  void SetChecked(bool value);
  void Click() { SendMessageW(Handle(), BM_CLICK, 0, 0); }
  std::function<void()> OnClick;
  void HandleCommand(WORD code) override;
};

// A group box with one radio button per item, arranged in columns.
class TRadioGroup : public TGroupBox {
 public:
  void Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent = nullptr);
  void SetItems(const std::vector<std::wstring>& items);
  std::vector<std::wstring> Items() const;
  int Count() const { return static_cast<int>(FButtons.size()); }
  int Columns() const { return FColumns; }
  void SetColumns(int columns);
  // -1: none; setting raises no OnClick.
  int ItemIndex() const;
  void SetItemIndex(int index);
  TRadioButton& Button(int index) { return *FButtons[static_cast<size_t>(index)]; }
  // A button was clicked by the user.
  std::function<void()> OnClick;

 private:
  void Arrange();
  std::vector<std::unique_ptr<TRadioButton>> FButtons;
  int FColumns = 1;
};

// The small up/down arrows beside an edit (its buddy); arrow keys in the edit step too.
class TUpDown : public TControl {
 public:
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  void SetAssociate(TControl* edit);
  int Min() const;
  int Max() const;
  void SetRange(int min, int max);
  void SetMin(int v) { SetRange(v, Max()); }
  void SetMax(int v) { SetRange(Min(), v); }
  int Position() const;
  void SetPosition(int value);
  int Increment() const { return FIncrement; }
  void SetIncrement(int value);
  // After a step by the user; up: the upper arrow.
  std::function<void(bool up)> OnClick;
  bool HandleNotify(const NMHDR& nm, LRESULT& result) override;

 private:
  int FIncrement = 1;
  bool FStepped = false;
};

// A multi-line edit for large texts (no length limit), read-only by default.
class TMemo : public TControl {
 public:
  // Set before Create.
  bool ReadOnly = true;
  bool WordWrap = false;

  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  // A font of its own (the form's font otherwise); follows the form's dpi.
  void SetFont(std::wstring_view name, int pointSize, bool bold = false, bool italic = false);
  ~TMemo() override;

  int LineCount() const;
  std::wstring Line(int index) const;
  // Character positions from 0.
  int SelStart() const;
  int SelLength() const;
  void SetSel(int start, int length);
  std::wstring SelText() const;
  int LineFromChar(int pos) const;
  int LineIndex(int line) const;  // first character of the line
  int CaretLine() const { return LineFromChar(SelStart()); }
  int FirstVisibleLine() const;
  void ScrollToLine(int line);
  void ScrollCaret();

  std::function<void(WORD key)> OnKeyUp;
  std::function<void()> OnMouseDown;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void BuildFont();
  std::wstring FFontName;
  int FFontSize = 0;
  bool FBold = false, FItalic = false;
  TFontHandle FFont;
};

class TPageControl;

// One page of a page control; create its controls with Handle() as parent.
class TTabSheet : public TPanel {
 public:
  TPageControl& PageControl() const { return *FPageControl; }
  int PageIndex() const { return FIndex; }

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  friend class TPageControl;
  TPageControl* FPageControl = nullptr;
  int FIndex = 0;
  RECT FPlace{};
};

// Pages with tabs; with hidden tabs (wizard pages) only the active page shows, switched in code.
class TPageControl : public TPanel {
 public:
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  TTabSheet& AddPage(std::wstring_view caption);
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TTabSheet& Page(int index) { return *FPages[static_cast<size_t>(index)]; }
  int ActivePageIndex() const { return FActive; }
  // Raises no events.
  void SetActivePageIndex(int index);
  bool TabsVisible() const { return FTabsVisible; }
  void SetTabsVisible(bool value);
  HWND TabHandle() const { return FTab; }
  // The user picks another tab: OnChanging may refuse (false), OnChange follows.
  std::function<bool()> OnChanging;
  std::function<void()> OnChange;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  friend class TTabSheet;
  void Arrange();
  void SetTabText(int index, const std::wstring& text);
  void DrawTab(HDC dc, int index, const RECT& rect);
  void PaintDarkTabs(HDC dc);
  static LRESULT CALLBACK TabSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  HWND FTab = nullptr;
  std::vector<std::unique_ptr<TTabSheet>> FPages;
  int FActive = -1;
  bool FTabsVisible = true;
};

// The bar at the bottom of a form with panels of given widths (-1: the rest).
class TStatusBar : public TControl {
 public:
  void Create(TForm& form, HWND parent = nullptr, bool sizeGrip = true);
  void SetPanels(const std::vector<int>& widths96);
  int PanelCount() const { return static_cast<int>(FTexts.size()); }
  void SetPanelText(int index, std::wstring_view text);
  std::wstring PanelText(int index) const;
  // Moves the bar to the bottom of its parent (call after the parent changed its size).
  void Realign();
  static constexpr int kHeight96 = 22;
  bool HandleDrawItem(const DRAWITEMSTRUCT& di) override;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ApplyParts();
  std::vector<int> FWidths96;
  std::vector<std::wstring> FTexts;
};

}  // namespace hv
