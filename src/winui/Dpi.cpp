#include "winui/Dpi.h"

#include "winui/Handles.h"

namespace hv {
namespace {

UINT ScreenDpi() {
  TWindowDCHandle dc(nullptr);
  int dpi = dc ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
  return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

template <class F>
F LookUp(const wchar_t* module, const char* name) {
  HMODULE m = GetModuleHandleW(module);
  if (!m) m = LoadLibraryW(module);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

}  // namespace

UINT DpiForWindow(HWND wnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn fn = LookUp<Fn>(L"user32.dll", "GetDpiForWindow");
  if (fn && wnd) {
    UINT dpi = fn(wnd);
    if (dpi) return dpi;
  }
  return ScreenDpi();
}

UINT DpiForMonitor(HMONITOR monitor) {
  using Fn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const Fn fn = LookUp<Fn>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  if (fn && monitor && SUCCEEDED(fn(monitor, 0, &x, &y)) && y) return y;
  return ScreenDpi();
}

RECT WorkAreaAt(POINT pt, HMONITOR* monitor) {
  HMONITOR m = MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST);
  if (monitor) *monitor = m;
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (m && GetMonitorInfoW(m, &mi)) return mi.rcWork;
  RECT r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

void AdjustWindowRectForDpi(RECT& r, DWORD style, DWORD exStyle, UINT dpi) {
  using Fn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const Fn fn = LookUp<Fn>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (!fn || !fn(&r, style, FALSE, exStyle, dpi)) AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

}  // namespace hv
