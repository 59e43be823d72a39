#pragma once
// Dots per inch of windows and monitors; layouts are given at 96 dpi and scaled with Scale().
#include <windows.h>

namespace hv {

constexpr UINT kDesignDpi = 96;

inline int Scale(int v96, UINT dpi) { return MulDiv(v96, static_cast<int>(dpi), static_cast<int>(kDesignDpi)); }

// GetDpiForWindow when Windows offers it, else the screen's dpi.
UINT DpiForWindow(HWND wnd);
// GetDpiForMonitor (shcore) when Windows offers it, else the screen's dpi.
UINT DpiForMonitor(HMONITOR monitor);
// The work area of the monitor nearest to a point.
RECT WorkAreaAt(POINT pt, HMONITOR* monitor = nullptr);
// AdjustWindowRectExForDpi when available.
void AdjustWindowRectForDpi(RECT& r, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace hv
