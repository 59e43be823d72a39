#include "winui/Styles.h"

#include <uxtheme.h>

#include <algorithm>
#include <map>

#include "winui/Handles.h"

namespace hv {
namespace {

TColorScheme SystemScheme() {
  TColorScheme s;
  s.Name = std::wstring(TStyleManager::kSystemStyle);
  s.System = true;
  s.Face = GetSysColor(COLOR_BTNFACE);
  s.FaceText = GetSysColor(COLOR_BTNTEXT);
  s.Window = GetSysColor(COLOR_WINDOW);
  s.WindowText = GetSysColor(COLOR_WINDOWTEXT);
  s.Edit = s.Window;
  s.EditText = s.WindowText;
  s.Button = s.Face;
  s.ButtonHot = GetSysColor(COLOR_BTNHIGHLIGHT);
  s.ButtonPressed = GetSysColor(COLOR_BTNSHADOW);
  s.ButtonText = s.FaceText;
  s.Border = GetSysColor(COLOR_BTNSHADOW);
  s.GrayText = GetSysColor(COLOR_GRAYTEXT);
  s.Highlight = GetSysColor(COLOR_HIGHLIGHT);
  s.HighlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  s.InfoBk = GetSysColor(COLOR_INFOBK);
  s.InfoText = GetSysColor(COLOR_INFOTEXT);
  return s;
}

TColorScheme DarkScheme() {
  TColorScheme s;
  s.Name = std::wstring(TStyleManager::kDarkStyle);
  s.Dark = true;
  s.Face = RGB(0x2B, 0x2B, 0x2B);
  s.FaceText = RGB(0xF0, 0xF0, 0xF0);
  s.Window = RGB(0x20, 0x20, 0x20);
  s.WindowText = RGB(0xF0, 0xF0, 0xF0);
  s.Edit = RGB(0x38, 0x38, 0x38);
  s.EditText = RGB(0xF0, 0xF0, 0xF0);
  s.Button = RGB(0x3C, 0x3C, 0x3C);
  s.ButtonHot = RGB(0x4A, 0x4A, 0x4A);
  s.ButtonPressed = RGB(0x26, 0x4F, 0x78);
  s.ButtonText = RGB(0xF0, 0xF0, 0xF0);
  s.Border = RGB(0x6E, 0x6E, 0x6E);
  s.GrayText = RGB(0x8A, 0x8A, 0x8A);
  s.Highlight = RGB(0x26, 0x4F, 0x78);
  s.HighlightText = RGB(0xFF, 0xFF, 0xFF);
  s.InfoBk = RGB(0x3A, 0x3A, 0x32);
  s.InfoText = RGB(0xF0, 0xF0, 0xF0);
  return s;
}

std::vector<TColorScheme>& Schemes() {
  static std::vector<TColorScheme> list{SystemScheme(), DarkScheme()};
  return list;
}

size_t& ActiveIndex() {
  static size_t i = 0;
  return i;
}

BOOL CALLBACK ApplyChild(HWND child, LPARAM dark) {
  SendMessageW(child, WM_HV_SCHEMECHANGED, static_cast<WPARAM>(dark), 0);
  wchar_t cls[32];
  if (GetClassNameW(child, cls, static_cast<int>(std::size(cls))) && lstrcmpiW(cls, L"Button") == 0) {
    LONG style = GetWindowLongW(child, GWL_STYLE), type = style & BS_TYPEMASK;
    if (GetPropW(child, kSelfDrawnButtonProp)) {
    } else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW) {
      LONG wanted = dark ? BS_OWNERDRAW : GetPropW(child, kDefaultButtonProp) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      if (wanted != type) SetWindowLongW(child, GWL_STYLE, (style & ~BS_TYPEMASK) | wanted);
    } else {
      // Themed check boxes ignore the text colour of WM_CTLCOLORSTATIC: drop their theme in the dark.
      dark ? SetWindowTheme(child, L"", L"") : SetWindowTheme(child, nullptr, nullptr);
    }
  }
  return TRUE;
}

BOOL CALLBACK RepaintThreadWindow(HWND wnd, LPARAM) {
  TStyleManager::ApplyToWindow(wnd);
  return TRUE;
}

}  // namespace

const TColorScheme& TStyleManager::Active() { return Schemes()[ActiveIndex()]; }

std::vector<std::wstring> TStyleManager::StyleNames() {
  std::vector<std::wstring> names;
  for (const auto& s : Schemes()) names.push_back(s.Name);
  return names;
}

bool TStyleManager::TrySetStyle(std::wstring_view name) {
  auto& list = Schemes();
  for (size_t i = 0; i < list.size(); ++i) {
    if (CompareStringOrdinal(list[i].Name.data(), static_cast<int>(list[i].Name.size()), name.data(),
                             static_cast<int>(name.size()), TRUE) != CSTR_EQUAL)
      continue;
    if (i == 0) list[0] = SystemScheme();  // system colours may have changed meanwhile
    ActiveIndex() = i;
    EnumThreadWindows(GetCurrentThreadId(), RepaintThreadWindow, 0);
    return true;
  }
  return false;
}

COLORREF TStyleManager::SysColor(int index) {
  const auto& s = Active();
  if (s.System) return GetSysColor(index);
  switch (index) {
    case COLOR_WINDOW: return s.Window;
    case COLOR_WINDOWTEXT: return s.WindowText;
    case COLOR_BTNFACE: return s.Face;
    case COLOR_BTNTEXT: return s.FaceText;
    case COLOR_BTNSHADOW: return s.Border;
    case COLOR_GRAYTEXT: return s.GrayText;
    case COLOR_HIGHLIGHT: return s.Highlight;
    case COLOR_HIGHLIGHTTEXT: return s.HighlightText;
    case COLOR_INFOBK: return s.InfoBk;
    case COLOR_INFOTEXT: return s.InfoText;
    case COLOR_BTNHIGHLIGHT: return s.ButtonHot;
    default: return GetSysColor(index);
  }
}

TItemColors TStyleManager::ItemColors(bool selected, bool disabled) {
  const TColorScheme& s = Active();
  COLORREF back = selected ? SysColor(COLOR_HIGHLIGHT) : s.System ? GetSysColor(COLOR_WINDOW) : s.Edit;
  COLORREF text = disabled   ? SysColor(COLOR_GRAYTEXT)
                  : selected ? SysColor(COLOR_HIGHLIGHTTEXT)
                  : s.System ? GetSysColor(COLOR_WINDOWTEXT)
                             : s.EditText;
  return {back, text};
}

HBRUSH TStyleManager::Brush(COLORREF c) {
  static std::map<COLORREF, HBRUSH> brushes;
  auto it = brushes.find(c);
  if (it != brushes.end()) return it->second;
  HBRUSH b = CreateSolidBrush(c);
  brushes.emplace(c, b);
  return b;
}

void TStyleManager::ApplyToWindow(HWND form) {
  using Fn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  static const Fn setAttr = [] {
    HMODULE m = LoadLibraryW(L"dwmapi.dll");
    return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, "DwmSetWindowAttribute"))) : nullptr;
  }();
  BOOL dark = Active().Dark ? TRUE : FALSE;
  constexpr DWORD kUseImmersiveDarkMode = 20;
  if (setAttr) setAttr(form, kUseImmersiveDarkMode, &dark, sizeof(dark));
  EnumChildWindows(form, ApplyChild, dark);
  RedrawWindow(form, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

namespace {

void PaintClientEdge(HWND wnd, HDC dc, RECT r, const TColorScheme& s) {
  wchar_t cls[16];
  LONG style = GetWindowLongW(wnd, GWL_STYLE);
  bool edit = GetClassNameW(wnd, cls, static_cast<int>(std::size(cls))) && lstrcmpiW(cls, L"Edit") == 0;
  // Read-only and disabled edits show the face colour (WM_CTLCOLORSTATIC), others the edit colour.
  COLORREF inner = edit && ((style & ES_READONLY) || (style & WS_DISABLED)) ? s.Face : s.Edit;
  FrameRect(dc, &r, TStyleManager::Brush(s.Border));
  InflateRect(&r, -1, -1);
  FrameRect(dc, &r, TStyleManager::Brush(inner));
}

void PaintArrow(HDC dc, const RECT& r, bool vertical, bool first, COLORREF c) {
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  int h = std::max(2, static_cast<int>(std::min(r.right - r.left, r.bottom - r.top)) / 4);
  POINT p[3];
  if (vertical) {
    int d = first ? -1 : 1;
    p[0] = {cx - h, cy - d * h / 2};
    p[1] = {cx + h, cy - d * h / 2};
    p[2] = {cx, cy + d * (h + 1) / 2};
  } else {
    int d = first ? -1 : 1;
    p[0] = {cx - d * h / 2, cy - h};
    p[1] = {cx - d * h / 2, cy + h};
    p[2] = {cx + d * (h + 1) / 2, cy};
  }
  TPenHandle pen(CreatePen(PS_SOLID, 1, c));
  HGDIOBJ oldPen = SelectObject(dc, pen.Get());
  HGDIOBJ oldBrush = SelectObject(dc, TStyleManager::Brush(c));
  Polygon(dc, p, 3);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

void PaintScrollBar(HWND wnd, HDC dc, const RECT& window, LONG object, const TColorScheme& s) {
  SCROLLBARINFO sbi{};
  sbi.cbSize = sizeof(sbi);
  if (!GetScrollBarInfo(wnd, object, &sbi) || (sbi.rgstate[0] & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)))
    return;
  RECT bar = sbi.rcScrollBar;
  OffsetRect(&bar, -window.left, -window.top);
  bool vertical = object == OBJID_VSCROLL;
  bool enabled = !(sbi.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) && IsWindowEnabled(wnd);
  FillRect(dc, &bar, TStyleManager::Brush(s.Window));
  int len = vertical ? bar.bottom - bar.top : bar.right - bar.left;
  int thickness = vertical ? bar.right - bar.left : bar.bottom - bar.top;
  int button = std::min(sbi.dxyLineButton > 0 ? sbi.dxyLineButton : thickness, len / 2);
  RECT first = bar, last = bar;
  if (vertical) {
    first.bottom = first.top + button;
    last.top = last.bottom - button;
  } else {
    first.right = first.left + button;
    last.left = last.right - button;
  }
  for (const RECT* r : {&first, &last}) {
    FillRect(dc, r, TStyleManager::Brush(s.Button));
    PaintArrow(dc, *r, vertical, r == &first, enabled ? s.ButtonText : s.GrayText);
  }
  if (enabled && sbi.xyThumbBottom > sbi.xyThumbTop) {
    RECT thumb = bar;
    if (vertical) {
      thumb.top = bar.top + sbi.xyThumbTop;
      thumb.bottom = bar.top + sbi.xyThumbBottom;
      InflateRect(&thumb, -2, 0);
    } else {
      thumb.left = bar.left + sbi.xyThumbTop;
      thumb.right = bar.left + sbi.xyThumbBottom;
      InflateRect(&thumb, 0, -2);
    }
    FillRect(dc, &thumb, TStyleManager::Brush(s.ButtonHot));
  }
}

// What the scroll bars show; 0 without scroll bars.
size_t ScrollState(HWND wnd) {
  LONG style = GetWindowLongW(wnd, GWL_STYLE);
  if (!(style & (WS_VSCROLL | WS_HSCROLL))) return 0;
  size_t h = static_cast<size_t>(style & (WS_VSCROLL | WS_HSCROLL | WS_DISABLED));
  for (int bar : {SB_VERT, SB_HORZ}) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(wnd, bar, &si)) continue;
    for (int v : {si.nMin, si.nMax, static_cast<int>(si.nPage), si.nPos, si.nTrackPos})
      h = h * 1000003u ^ static_cast<size_t>(v);
  }
  return h | 1;
}

}  // namespace

void TStyleManager::PaintNonClient(HWND wnd) {
  const TColorScheme& s = Active();
  if (s.System) return;
  LONG style = GetWindowLongW(wnd, GWL_STYLE);
  bool edge = GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE;
  if (!edge && !(style & (WS_VSCROLL | WS_HSCROLL))) return;
  RECT window{};
  GetWindowRect(wnd, &window);
  HDC dc = GetWindowDC(wnd);
  if (!dc) return;
  if (edge) PaintClientEdge(wnd, dc, {0, 0, window.right - window.left, window.bottom - window.top}, s);
  if (style & WS_VSCROLL) PaintScrollBar(wnd, dc, window, OBJID_VSCROLL, s);
  if (style & WS_HSCROLL) PaintScrollBar(wnd, dc, window, OBJID_HSCROLL, s);
  if ((style & WS_VSCROLL) && (style & WS_HSCROLL)) {
    // The corner between the two bars.
    SCROLLBARINFO v{}, h{};
    v.cbSize = h.cbSize = sizeof(v);
    if (GetScrollBarInfo(wnd, OBJID_VSCROLL, &v) && GetScrollBarInfo(wnd, OBJID_HSCROLL, &h)) {
      RECT corner{v.rcScrollBar.left, h.rcScrollBar.top, v.rcScrollBar.right, h.rcScrollBar.bottom};
      OffsetRect(&corner, -window.left, -window.top);
      FillRect(dc, &corner, Brush(s.Face));
    }
  }
  ReleaseDC(wnd, dc);
  SetPropW(wnd, kScrollStateProp, reinterpret_cast<HANDLE>(ScrollState(wnd)));
}

void TStyleManager::PaintComboFrame(HWND wnd) {
  const TColorScheme& s = Active();
  if (s.System) return;
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if ((GetWindowLongW(wnd, GWL_STYLE) & 3) == CBS_SIMPLE || !GetComboBoxInfo(wnd, &info)) return;
  RECT r{};
  GetClientRect(wnd, &r);
  HDC dc = GetDC(wnd);
  if (!dc) return;
  bool enabled = IsWindowEnabled(wnd);
  PaintClientEdge(wnd, dc, r, s);
  RECT b = info.rcButton;
  // The ring around the item that the system leaves in the window colour.
  RECT item{r.left + 2, r.top + 2, b.right > b.left ? b.left : r.right - 2, r.bottom - 2};
  FrameRect(dc, &item, Brush(s.Edit));
  if (b.right > b.left) {
    FillRect(dc, &b, Brush(info.stateButton & STATE_SYSTEM_PRESSED ? s.ButtonPressed : s.Button));
    PaintArrow(dc, b, true, false, enabled ? s.ButtonText : s.GrayText);
  }
  ReleaseDC(wnd, dc);
}

void TStyleManager::RefreshScrollBars(HWND wnd, UINT msg) {
  if (Active().System || msg == WM_NCPAINT || msg == WM_NCDESTROY || msg == WM_DESTROY) return;
  size_t state = ScrollState(wnd);
  if (!state) return;
  bool mouse = msg == WM_NCLBUTTONDOWN || msg == WM_NCLBUTTONUP || msg == WM_NCMOUSEMOVE || msg == WM_NCMOUSELEAVE ||
               msg == WM_CAPTURECHANGED || msg == WM_SYSCOMMAND || msg == WM_ENABLE;
  if (mouse || reinterpret_cast<size_t>(GetPropW(wnd, kScrollStateProp)) != state) PaintNonClient(wnd);
}

void TStyleManager::DrawCheckBox(HDC dc, const RECT& r, int size, bool checked, bool enabled) {
  RECT box{r.left, r.top + (r.bottom - r.top - size) / 2, 0, 0};
  box.right = box.left + size;
  box.bottom = box.top + size;
  const TColorScheme& s = Active();
  if (s.System) {
    DrawFrameControl(dc, &box, DFC_BUTTON,
                     DFCS_BUTTONCHECK | DFCS_FLAT | (checked ? DFCS_CHECKED : 0) | (enabled ? 0 : DFCS_INACTIVE));
    return;
  }
  FillRect(dc, &box, Brush(s.Edit));
  FrameRect(dc, &box, Brush(enabled ? s.Border : s.GrayText));
  if (!checked) return;
  // A tick from the left third down to the bottom middle and up to the right.
  int w = size, pen = w >= 20 ? 2 : 1;
  TPenHandle p(CreatePen(PS_SOLID, pen, enabled ? s.EditText : s.GrayText));
  HGDIOBJ old = SelectObject(dc, p.Get());
  POINT pts[3] = {{box.left + w * 2 / 9, box.top + w / 2},
                  {box.left + w * 4 / 9, box.top + w * 7 / 10},
                  {box.left + w * 7 / 9, box.top + w * 3 / 10}};
  Polyline(dc, pts, 3);
  SelectObject(dc, old);
}

void TStyleManager::DrawGrayedCheckBox(HDC dc, const RECT& r, int size, bool enabled) {
  DrawCheckBox(dc, r, size, false, enabled);
  const TColorScheme& s = Active();
  RECT box{r.left, r.top + (r.bottom - r.top - size) / 2, 0, 0};
  const int inset = std::max(size / 4, 2);
  RECT square{box.left + inset, box.top + inset, box.left + size - inset, box.top + size - inset};
  const COLORREF c = s.System ? GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT) : (enabled ? s.EditText : s.GrayText);
  FillRect(dc, &square, Brush(c));
}

}  // namespace hv
