#pragma once
// One movable, non-copyable owner for every kind of Windows handle; the traits say which value
// means "none" and how the handle is closed.
#include <windows.h>

#include <utility>

namespace hv {

template <class Traits>
class TUniqueHandle {
 public:
  using pointer = typename Traits::pointer;

  TUniqueHandle() noexcept = default;
  explicit TUniqueHandle(pointer h) noexcept : FHandle(h) {}
  ~TUniqueHandle() { Reset(); }

  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  TUniqueHandle(TUniqueHandle&& other) noexcept : FHandle(other.Release()) {}
  TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  pointer Get() const noexcept { return FHandle; }
  bool Valid() const noexcept { return FHandle != Traits::Invalid(); }
  explicit operator bool() const noexcept { return Valid(); }

  // Gives up ownership without closing.
  pointer Release() noexcept { return std::exchange(FHandle, Traits::Invalid()); }
  void Reset(pointer h = Traits::Invalid()) noexcept {
    pointer old = std::exchange(FHandle, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // Closes now; 0 or the Windows error code of the close.
  DWORD Close() noexcept {
    pointer old = Release();
    if (old == Traits::Invalid() || Traits::Close(old)) return 0;
    return GetLastError();
  }
  // Address for an API that returns the handle through a pointer; the old one is closed first.
  pointer* Put() noexcept {
    Reset();
    return &FHandle;
  }

 private:
  pointer FHandle = Traits::Invalid();
};

// Files, pipes and devices: CreateFileW fails with INVALID_HANDLE_VALUE.
struct TFileHandleTraits {
  using pointer = HANDLE;
  static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool Close(pointer h) noexcept { return CloseHandle(h) != FALSE; }
};
// Processes, threads, events, mappings, tokens: null means none.
struct TKernelHandleTraits {
  using pointer = HANDLE;
  static pointer Invalid() noexcept { return nullptr; }
  static bool Close(pointer h) noexcept { return CloseHandle(h) != FALSE; }
};
struct TFindHandleTraits {
  using pointer = HANDLE;
  static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool Close(pointer h) noexcept { return FindClose(h) != FALSE; }
};
struct TRegKeyTraits {
  using pointer = HKEY;
  static pointer Invalid() noexcept { return nullptr; }
  static bool Close(pointer h) noexcept { return RegCloseKey(h) == ERROR_SUCCESS; }
};
struct TModuleTraits {
  using pointer = HMODULE;
  static pointer Invalid() noexcept { return nullptr; }
  static bool Close(pointer h) noexcept { return FreeLibrary(h) != FALSE; }
};
struct TViewTraits {
  using pointer = void*;
  static pointer Invalid() noexcept { return nullptr; }
  static bool Close(pointer p) noexcept { return UnmapViewOfFile(p) != FALSE; }
};

// Pens, brushes, fonts, bitmaps, regions (not while selected into a DC).
template <class T>
struct TGdiObjectTraits {
  using pointer = T;
  static pointer Invalid() noexcept { return nullptr; }
  static bool Close(pointer h) noexcept { return DeleteObject(h) != FALSE; }
};
// Icons and cursors made by CreateIcon..., CopyIcon or LoadImage without LR_SHARED.
struct TIconTraits {
  using pointer = HICON;
  static pointer Invalid() noexcept { return nullptr; }
  static bool Close(pointer h) noexcept { return DestroyIcon(h) != FALSE; }
};
// Memory and other DCs made by CreateCompatibleDC / CreateDCW.
struct TDCTraits {
  using pointer = HDC;
  static pointer Invalid() noexcept { return nullptr; }
  static bool Close(pointer h) noexcept { return DeleteDC(h) != FALSE; }
};

using TFileHandle = TUniqueHandle<TFileHandleTraits>;
using TKernelHandle = TUniqueHandle<TKernelHandleTraits>;
using TFindHandle = TUniqueHandle<TFindHandleTraits>;
using TRegKey = TUniqueHandle<TRegKeyTraits>;
using TModule = TUniqueHandle<TModuleTraits>;
using TMappedView = TUniqueHandle<TViewTraits>;
using TGdiObjectHandle = TUniqueHandle<TGdiObjectTraits<HGDIOBJ>>;
using TFontHandle = TUniqueHandle<TGdiObjectTraits<HFONT>>;
using TPenHandle = TUniqueHandle<TGdiObjectTraits<HPEN>>;
using TBrushHandle = TUniqueHandle<TGdiObjectTraits<HBRUSH>>;
using TBitmapHandle = TUniqueHandle<TGdiObjectTraits<HBITMAP>>;
using TIconHandle = TUniqueHandle<TIconTraits>;
using TDCHandle = TUniqueHandle<TDCTraits>;

// A DC of a window (GetDC / GetWindowDC), given back with ReleaseDC.
class TWindowDCHandle {
 public:
  explicit TWindowDCHandle(HWND wnd, bool whole = false) noexcept
      : FWnd(wnd), FDC(whole ? GetWindowDC(wnd) : GetDC(wnd)) {}
  ~TWindowDCHandle() {
    if (FDC) ReleaseDC(FWnd, FDC);
  }
  TWindowDCHandle(const TWindowDCHandle&) = delete;
  TWindowDCHandle& operator=(const TWindowDCHandle&) = delete;
  HDC Get() const noexcept { return FDC; }
  explicit operator bool() const noexcept { return FDC != nullptr; }

 private:
  HWND FWnd;
  HDC FDC;
};

// BeginPaint / EndPaint: the window is validated even when painting throws.
class TPaintDC {
 public:
  explicit TPaintDC(HWND wnd) noexcept : FWnd(wnd), FDC(BeginPaint(wnd, &FPaint)) {}
  ~TPaintDC() { EndPaint(FWnd, &FPaint); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;
  HDC Get() const noexcept { return FDC; }
  const PAINTSTRUCT& Info() const noexcept { return FPaint; }

 private:
  HWND FWnd;
  PAINTSTRUCT FPaint{};
  HDC FDC;
};

// Selects an object into a DC and selects the previous one again when it goes out of scope, so an
// owned object is never deleted while selected. Declare the owner of the object before this guard.
class TSelectObject {
 public:
  TSelectObject(HDC dc, HGDIOBJ obj) noexcept : FDC(dc), FOld(dc && obj ? SelectObject(dc, obj) : nullptr) {}
  ~TSelectObject() {
    if (FOld) SelectObject(FDC, FOld);
  }
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;

 private:
  HDC FDC;
  HGDIOBJ FOld;
};

}  // namespace hv
