#include "winui/ExtCtrls.h"

#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>

#include "winui/Dpi.h"
#include "winui/Forms.h"
#include "winui/Styles.h"

namespace hv {
namespace {

UINT FormDpi(const TControl& c) { return c.Form() ? c.Form()->Dpi() : kDesignDpi; }

}  // namespace

void PaintBuffered(HWND wnd, const std::function<void(HDC dc, const RECT& client)>& paint, DWORD rop) {
  TPaintDC dc(wnd);
  RECT r{};
  GetClientRect(wnd, &r);
  TDCHandle mem(CreateCompatibleDC(dc.Get()));
  TBitmapHandle bmp(CreateCompatibleBitmap(dc.Get(), std::max<LONG>(r.right, 1), std::max<LONG>(r.bottom, 1)));
  TSelectObject select(mem.Get(), bmp.Get());
  paint(mem.Get(), r);
  BitBlt(dc.Get(), 0, 0, r.right, r.bottom, mem.Get(), 0, 0, rop);
}

// --- TSplitter

void TSplitter::Create(TForm& form, const TRect96& r96, HWND parent, bool vertical) {
  FVertical = vertical;
  TPanel::Create(form, r96, parent);
}

int TSplitter::Position() const {
  RECT r = BoundsRect();
  return FVertical ? r.left : r.top;
}

int TSplitter::Clamp(int pos) const {
  RECT parent{}, self = BoundsRect();
  GetClientRect(GetParent(Handle()), &parent);
  int size = FVertical ? self.right - self.left : self.bottom - self.top;
  int extent = FVertical ? parent.right : parent.bottom;
  int min = Scale(MinSize96, FormDpi(*this));
  return std::max(std::min(pos, extent - min - size), min);
}

void TSplitter::SetPosition(int pixels) {
  RECT r = BoundsRect();
  int pos = Clamp(pixels);
  if (FVertical)
    SetBounds(pos, r.top, r.right - r.left, r.bottom - r.top);
  else
    SetBounds(r.left, pos, r.right - r.left, r.bottom - r.top);
  // The form's layout keeps the new place.
  int pos96 = MulDiv(pos, static_cast<int>(kDesignDpi), static_cast<int>(FormDpi(*this)));
  (FVertical ? Bounds96.Left : Bounds96.Top) = pos96;
}

LRESULT TSplitter::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, FVertical ? IDC_SIZEWE : IDC_SIZENS));
      return TRUE;
    case WM_LBUTTONDOWN:
      FGrab = FVertical ? GET_X_LPARAM(lp) : GET_Y_LPARAM(lp);
      SetCapture(Handle());
      return 0;
    case WM_MOUSEMOVE:
      if (FGrab >= 0 && GetCapture() == Handle()) {
        POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        MapWindowPoints(Handle(), GetParent(Handle()), &pt, 1);
        int old = Position();
        SetPosition((FVertical ? pt.x : pt.y) - FGrab);
        if (Position() != old && OnMoved) OnMoved(Position());
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (FGrab >= 0) {
        FGrab = -1;
        if (GetCapture() == Handle()) ReleaseCapture();
      }
      return 0;
  }
  return TPanel::ControlProc(msg, wp, lp);
}

// --- TDrawGrid

void TDrawGrid::Create(TForm& form, const TRect96& r96, HWND parent) {
  static const bool registered = RegisterWindowClass(L"HvDrawGrid", DefWindowProcW, CS_DBLCLKS);
  (void)registered;
  TranslateText = false;
  FCol = std::min(FixedCols, ColCount - 1);
  FRow = std::min(FixedRows, RowCount - 1);
  FLeftCol = FixedCols;
  FTopRow = FixedRows;
  CreateWnd(form, parent, L"HvDrawGrid", L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE,
            r96);
  UpdateScrollBars();
}

int TDrawGrid::ColWidth() const { return Scale(DefaultColWidth96, FormDpi(*this)); }
int TDrawGrid::RowHeight() const { return Scale(DefaultRowHeight96, FormDpi(*this)); }

int TDrawGrid::VisibleCols() const {
  RECT c{};
  GetClientRect(Handle(), &c);
  return std::max(1, static_cast<int>(c.right - FixedCols * ColWidth()) / std::max(ColWidth(), 1));
}

int TDrawGrid::VisibleRows() const {
  RECT c{};
  GetClientRect(Handle(), &c);
  return std::max(1, static_cast<int>(c.bottom - FixedRows * RowHeight()) / std::max(RowHeight(), 1));
}

void TDrawGrid::UpdateScrollBars() {
  const int scrollCols = ColCount - FixedCols, scrollRows = RowCount - FixedRows;
  // Which bars are needed is decided on the area without them: a bar shown only because the
  // other one took room would stay for good.
  RECT c{};
  GetClientRect(Handle(), &c);
  const LONG style = GetWindowLongW(Handle(), GWL_STYLE);
  const int barW = GetSystemMetrics(SM_CXVSCROLL), barH = GetSystemMetrics(SM_CYHSCROLL);
  const int fullW = c.right + ((style & WS_VSCROLL) ? barW : 0), fullH = c.bottom + ((style & WS_HSCROLL) ? barH : 0);
  auto fits = [](int pixels, int fixed, int size, int count) { return pixels - fixed * size >= count * size; };
  bool vert = !fits(fullH, FixedRows, RowHeight(), scrollRows);
  bool horz = !fits(fullW - (vert ? barW : 0), FixedCols, ColWidth(), scrollCols);
  if (horz && !vert) vert = !fits(fullH - barH, FixedRows, RowHeight(), scrollRows);
  if (!vert) FTopRow = FixedRows;
  if (!horz) FLeftCol = FixedCols;
  if (((style & WS_VSCROLL) != 0) != vert) ShowScrollBar(Handle(), SB_VERT, vert);
  if (((style & WS_HSCROLL) != 0) != horz) ShowScrollBar(Handle(), SB_HORZ, horz);
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = scrollRows - 1;
  si.nPage = static_cast<UINT>(VisibleRows());
  si.nPos = FTopRow - FixedRows;
  if (vert) SetScrollInfo(Handle(), SB_VERT, &si, TRUE);
  si.nMax = scrollCols - 1;
  si.nPage = static_cast<UINT>(VisibleCols());
  si.nPos = FLeftCol - FixedCols;
  if (horz) SetScrollInfo(Handle(), SB_HORZ, &si, TRUE);
}

RECT TDrawGrid::CellRect(int col, int row) const {
  auto edge = [](int index, int fixed, int first, int size) {
    return index < fixed ? index * size : (fixed + index - first) * size;
  };
  if ((col >= FixedCols && col < FLeftCol) || (row >= FixedRows && row < FTopRow)) return {};
  int x = edge(col, FixedCols, FLeftCol, ColWidth()), y = edge(row, FixedRows, FTopRow, RowHeight());
  return {x, y, x + ColWidth(), y + RowHeight()};
}

bool TDrawGrid::MouseToCell(POINT pt, int& col, int& row) const {
  if (pt.x < 0 || pt.y < 0) return false;
  int c = pt.x / std::max(ColWidth(), 1), r = pt.y / std::max(RowHeight(), 1);
  col = c < FixedCols ? c : FLeftCol + c - FixedCols;
  row = r < FixedRows ? r : FTopRow + r - FixedRows;
  return col < ColCount && row < RowCount;
}

void TDrawGrid::SetSelection(int col, int row) {
  col = std::clamp(col, FixedCols, ColCount - 1);
  row = std::clamp(row, FixedRows, RowCount - 1);
  FCol = col;
  FRow = row;
  if (row < FTopRow) FTopRow = row;
  if (row >= FTopRow + VisibleRows()) FTopRow = row - VisibleRows() + 1;
  if (col < FLeftCol) FLeftCol = col;
  if (col >= FLeftCol + VisibleCols()) FLeftCol = col - VisibleCols() + 1;
  UpdateScrollBars();
  InvalidateRect(Handle(), nullptr, FALSE);
}

void TDrawGrid::UserSelect(int col, int row) {
  if (col < FixedCols || row < FixedRows || col >= ColCount || row >= RowCount) return;
  if (OnSelectCell && !OnSelectCell(col, row)) return;
  SetSelection(col, row);
}

void TDrawGrid::Scroll(int bar, int code) {
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  GetScrollInfo(Handle(), bar, &si);
  int pos = si.nPos, page = static_cast<int>(si.nPage);
  switch (code) {
    case SB_LINEUP: --pos; break;
    case SB_LINEDOWN: ++pos; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
  }
  pos = std::clamp(pos, 0, std::max(0, si.nMax - page + 1));
  if (bar == SB_VERT)
    FTopRow = FixedRows + pos;
  else
    FLeftCol = FixedCols + pos;
  UpdateScrollBars();
  InvalidateRect(Handle(), nullptr, FALSE);
}

void TDrawGrid::Paint(HDC dc) {
  RECT client{};
  GetClientRect(Handle(), &client);
  FillRect(dc, &client, TStyleManager::Brush(TStyleManager::ItemColors(false).Back));
  TSelectObject font(dc, Form()->Font());
  TPenHandle line(CreatePen(PS_SOLID, 1, TStyleManager::SysColor(COLOR_BTNSHADOW)));
  bool focused = GetFocus() == Handle();
  auto cell = [&](int col, int row) {
    RECT r = CellRect(col, row);
    if (r.right <= r.left) return;
    unsigned state = 0;
    if (col < FixedCols || row < FixedRows) state |= gdFixed;
    if (col == FCol && row == FRow) state |= gdSelected | (focused ? static_cast<unsigned>(gdFocused) : 0u);
    TItemColors c = (state & gdFixed)
                        ? TItemColors{TStyleManager::SysColor(COLOR_BTNFACE), TStyleManager::SysColor(COLOR_BTNTEXT)}
                        : TStyleManager::ItemColors(state & gdSelected);
    FillRect(dc, &r, TStyleManager::Brush(c.Back));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c.Text);
    if (OnDrawCell) {
      int saved = SaveDC(dc);
      IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
      OnDrawCell(dc, col, row, r, state);
      RestoreDC(dc, saved);
    }
    {
      TSelectObject pen(dc, line.Get());
      MoveToEx(dc, r.right - 1, r.top, nullptr);
      LineTo(dc, r.right - 1, r.bottom - 1);
      LineTo(dc, r.left - 1, r.bottom - 1);
    }
    if (state & gdFocused) {
      RECT f = r;
      InflateRect(&f, -1, -1);
      DrawFocusRect(dc, &f);
    }
  };
  int lastCol = std::min(ColCount - 1, FLeftCol + VisibleCols()), lastRow = std::min(RowCount - 1, FTopRow + VisibleRows());
  for (int row = 0; row <= lastRow; ++row) {
    if (row >= FixedRows && row < FTopRow) continue;
    for (int col = 0; col <= lastCol; ++col) {
      if (col >= FixedCols && col < FLeftCol) continue;
      cell(col, row);
    }
  }
}

LRESULT TDrawGrid::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(Handle(), [this](HDC dc, const RECT&) { Paint(dc); });
      return 0;
    case WM_SIZE:
    case WM_SETFONT:
      UpdateScrollBars();
      InvalidateRect(Handle(), nullptr, FALSE);
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
      ::SetFocus(Handle());
      int col = 0, row = 0;
      if (MouseToCell({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, col, row)) UserSelect(col, row);
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      int col = 0, row = 0;
      if (MouseToCell({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, col, row) && col >= FixedCols && row >= FixedRows &&
          OnDblClick)
        OnDblClick();
      return 0;
    }
    case WM_KEYDOWN:
      switch (wp) {
        case VK_LEFT: UserSelect(FCol - 1, FRow); return 0;
        case VK_RIGHT: UserSelect(FCol + 1, FRow); return 0;
        case VK_UP: UserSelect(FCol, FRow - 1); return 0;
        case VK_DOWN: UserSelect(FCol, FRow + 1); return 0;
        case VK_PRIOR: UserSelect(FCol, std::max(FixedRows, FRow - VisibleRows())); return 0;
        case VK_NEXT: UserSelect(FCol, std::min(RowCount - 1, FRow + VisibleRows())); return 0;
      }
      break;
    case WM_VSCROLL:
      Scroll(SB_VERT, LOWORD(wp));
      return 0;
    case WM_HSCROLL:
      Scroll(SB_HORZ, LOWORD(wp));
      return 0;
    case WM_MOUSEWHEEL:
      Scroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wp) > 0 ? SB_LINEUP : SB_LINEDOWN);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_HV_SCHEMECHANGED:
      InvalidateRect(Handle(), nullptr, FALSE);
      break;
  }
  return DefProc(msg, wp, lp);
}

// --- TDateTimePicker

void TDateTimePicker::Create(TForm& form, const TRect96& r96, HWND parent) {
  static const bool classes = [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_DATE_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)classes;
  TranslateText = false;
  DWORD style = WS_VISIBLE | WS_TABSTOP | (Kind == TDateTimeKind::dtkTime ? DTS_TIMEFORMAT | DTS_UPDOWN : DTS_SHORTDATEFORMAT);
  if (ShowCheckbox) style |= DTS_SHOWNONE;
  CreateWnd(form, parent, DATETIMEPICK_CLASSW, L"", style, 0, r96);
  ApplyColors(TStyleManager::Active().Dark);
}

void TDateTimePicker::SetFormat(std::wstring_view format) {
  std::wstring f(format);
  SendMessageW(Handle(), DTM_SETFORMATW, 0, f.empty() ? 0 : reinterpret_cast<LPARAM>(f.c_str()));
}

SYSTEMTIME TDateTimePicker::DateTime() const {
  SYSTEMTIME st{};
  SendMessageW(Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
  return st;
}

void TDateTimePicker::SetDateTime(const SYSTEMTIME& value) {
  SendMessageW(Handle(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&value));
}

bool TDateTimePicker::Checked() const {
  SYSTEMTIME st{};
  return SendMessageW(Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID;
}

void TDateTimePicker::SetChecked(bool value) {
  if (value == Checked()) return;
  if (value) {
    SYSTEMTIME st = FKept;
    if (st.wYear == 0) GetLocalTime(&st);
    SendMessageW(Handle(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  } else {
    FKept = DateTime();  // some pickers want a time with GDT_NONE as well
    SendMessageW(Handle(), DTM_SETSYSTEMTIME, GDT_NONE, reinterpret_cast<LPARAM>(&FKept));
  }
}

bool TDateTimePicker::HandleNotify(const NMHDR& nm, LRESULT& result) {
  if (nm.code == DTN_DATETIMECHANGE && OnChange) OnChange();
  return false;
}

void TDateTimePicker::ApplyColors(bool dark) {
  const TColorScheme& s = TStyleManager::Active();
  struct {
    int Part;
    COLORREF Dark;
  } parts[] = {{MCSC_BACKGROUND, s.Face}, {MCSC_MONTHBK, s.Edit}, {MCSC_TEXT, s.EditText},
               {MCSC_TITLEBK, s.Highlight}, {MCSC_TITLETEXT, s.HighlightText}, {MCSC_TRAILINGTEXT, s.GrayText}};
  for (const auto& p : parts)
    SendMessageW(Handle(), DTM_SETMCCOLOR, static_cast<WPARAM>(p.Part),
                 static_cast<LPARAM>(dark ? p.Dark : GetSysColor(p.Part == MCSC_TEXT ? COLOR_WINDOWTEXT
                                                                  : p.Part == MCSC_TITLEBK ? COLOR_ACTIVECAPTION
                                                                  : p.Part == MCSC_TITLETEXT ? COLOR_CAPTIONTEXT
                                                                  : p.Part == MCSC_TRAILINGTEXT ? COLOR_GRAYTEXT
                                                                                                 : COLOR_WINDOW)));
  dark ? SetWindowTheme(Handle(), L"", L"") : SetWindowTheme(Handle(), nullptr, nullptr);
}

LRESULT TDateTimePicker::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  if ((msg == WM_PAINT || msg == WM_ERASEBKGND) && TStyleManager::Active().Dark) {
    // The picker draws its text in the light scheme's colours only: in the dark it is painted
    // light into a bitmap and shown inverted.
    if (msg == WM_ERASEBKGND) return 1;
    PaintBuffered(
        Handle(),
        [this](HDC dc, const RECT& r) {
          FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
          DefProc(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        },
        NOTSRCCOPY);
    return 0;
  }
  if (msg == WM_HV_SCHEMECHANGED) {
    ApplyColors(wp != 0);
    InvalidateRect(Handle(), nullptr, TRUE);
    return 0;
  }
  return DefProc(msg, wp, lp);
}

}  // namespace hv
