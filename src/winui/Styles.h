#pragma once
// Colour schemes of winui: the plain Windows style and a dark one. Forms and
// controls take their colours from the active scheme; switching repaints every window.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace hv {

struct TColorScheme {
  std::wstring Name;
  bool System = false;  // the plain Windows style: system colours everywhere
  bool Dark = false;
  COLORREF Face, FaceText, Window, WindowText, Edit, EditText, Button, ButtonHot, ButtonPressed, ButtonText,
      Border, GrayText, Highlight, HighlightText, InfoBk, InfoText;
};

// Sent to every child window when the scheme changes (and once after a form is created);
// wParam: 1 for a dark scheme. Wrappers set the colours of their controls on it.
constexpr UINT WM_HV_SCHEMECHANGED = WM_APP + 0x0F02;

// Window property that marks the default push button (it keeps its look while owner-drawn).
constexpr const wchar_t* kDefaultButtonProp = L"HvDefaultButton";
// Window property of an owner-drawn button that draws itself in every scheme (left owner-drawn).
constexpr const wchar_t* kSelfDrawnButtonProp = L"HvSelfDrawnButton";

// Window property with the state of the scroll bars as last painted in a dark scheme.
constexpr const wchar_t* kScrollStateProp = L"HvScrollState";

// Colours of a list item, grid cell and the like: the highlight when selected, else the window's.
struct TItemColors {
  COLORREF Back, Text;
};

class TStyleManager {
 public:
  static constexpr std::wstring_view kSystemStyle = L"Windows";
  static constexpr std::wstring_view kDarkStyle = L"Windows10 Dark";

  static const TColorScheme& Active();
  static bool IsSystemStyle() { return Active().System; }
  static std::vector<std::wstring> StyleNames();
  // Switches to the named style (case-insensitive) and repaints the windows of the thread;
  // false when no style of that name exists.
  static bool TrySetStyle(std::wstring_view name);
  // The active scheme's colour for a system colour index (COLOR_...).
  static COLORREF SysColor(int index);
  static TItemColors ItemColors(bool selected, bool disabled = false);
  // A solid brush of the colour, kept for the life of the process.
  static HBRUSH Brush(COLORREF c);
  // Dark title bar (where Windows offers it), themes of a form's children; in the dark scheme the
  // form draws its push buttons itself.
  static void ApplyToWindow(HWND form);
  // In a dark scheme: the sunken edge (WS_EX_CLIENTEDGE) and the scroll bars of a control, which
  // the system draws in light colours, painted over in the scheme's colours (after WM_NCPAINT).
  static void PaintNonClient(HWND wnd);
  // In a dark scheme: the sunken frame and the arrow button of a drop-down combo box painted over in
  // the scheme's colours (after its WM_PAINT).
  static void PaintComboFrame(HWND wnd);
  // The system redraws scroll bars outside WM_NCPAINT when they move: call after every message of
  // a control; paints them again in a dark scheme when their state changed.
  static void RefreshScrollBars(HWND wnd, UINT msg);
  // A flat check box of an owner-drawn item in the scheme's colours, centred in r.
  static void DrawCheckBox(HDC dc, const RECT& r, int size, bool checked, bool enabled);
  // The third state: a filled square in the box.
  static void DrawGrayedCheckBox(HDC dc, const RECT& r, int size, bool enabled);
};

}  // namespace hv
