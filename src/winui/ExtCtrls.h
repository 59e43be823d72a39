#pragma once
// Painted controls: a splitter bar that the user drags, a grid of owner-drawn cells, and the
// date and time pickers.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <string_view>

#include "winui/Controls.h"

namespace hv {

// Paints a window in WM_PAINT through a bitmap (no flicker): paint draws the client area into
// the bitmap's DC, which is then copied with the raster operation rop.
void PaintBuffered(HWND wnd, const std::function<void(HDC dc, const RECT& client)>& paint, DWORD rop = SRCCOPY);

// A bar between two areas; dragging it moves it within its parent, OnMoved gives the new left
// (vertical bar) or top (horizontal bar) in pixels; the form lays out the areas beside it.
class TSplitter : public TPanel {
 public:
  // vertical: a bar that moves left and right.
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr, bool vertical = true);
  bool Vertical() const { return FVertical; }
  // Space kept free on both sides, at 96 dpi.
  int MinSize96 = 30;
  int Position() const;
  // Moves the bar (clamped), without OnMoved.
  void SetPosition(int pixels);
  std::function<void(int position)> OnMoved;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int Clamp(int pos) const;
  bool FVertical = true;
  int FGrab = -1;  // offset of the pointer in the bar while dragging
};

// Cell state of OnDrawCell.
enum TGridDrawState : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };

// A grid of cells that the form paints; the fixed rows and columns stay when it scrolls.
class TDrawGrid : public TControl {
 public:
  // Set before Create.
  int ColCount = 5, RowCount = 5, FixedCols = 1, FixedRows = 1;
  int DefaultColWidth96 = 64, DefaultRowHeight96 = 24;

  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  int Col() const { return FCol; }
  int Row() const { return FRow; }
  // Selects a cell outside the fixed ones and scrolls it into view; raises no event.
  void SetSelection(int col, int row);
  // Pixels, client coordinates (empty when the cell is scrolled away).
  RECT CellRect(int col, int row) const;
  // The cell at a client point; false when there is none.
  bool MouseToCell(POINT pt, int& col, int& row) const;
  int TopRow() const { return FTopRow; }
  int LeftCol() const { return FLeftCol; }

  // Called after the cell's background was filled; the DC has the control's font.
  std::function<void(HDC dc, int col, int row, const RECT& rect, unsigned state)> OnDrawCell;
  // The user selects a cell: false keeps the old one.
  std::function<bool(int col, int row)> OnSelectCell;
  std::function<void()> OnDblClick;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int ColWidth() const;
  int RowHeight() const;
  void Paint(HDC dc);
  void UpdateScrollBars();
  void Scroll(int bar, int code);
  void UserSelect(int col, int row);
  int VisibleCols() const;
  int VisibleRows() const;
  int FCol = 1, FRow = 1, FTopRow = 1, FLeftCol = 1;
};

enum class TDateTimeKind { dtkDate, dtkTime };

class TDateTimePicker : public TControl {
 public:
  // Set before Create.
  TDateTimeKind Kind = TDateTimeKind::dtkDate;
  bool ShowCheckbox = false;

  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  // Picture as "yyyy-MM-dd" or "HH:mm" (empty: the locale's short form).
  void SetFormat(std::wstring_view format);
  SYSTEMTIME DateTime() const;
  void SetDateTime(const SYSTEMTIME& value);
  // With ShowCheckbox: whether a value is set.
  bool Checked() const;
  void SetChecked(bool value);
  std::function<void()> OnChange;
  bool HandleNotify(const NMHDR& nm, LRESULT& result) override;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void ApplyColors(bool dark);
  SYSTEMTIME FKept{};  // the value while unchecked
};

}  // namespace hv
