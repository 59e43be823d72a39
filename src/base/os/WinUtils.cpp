#include "base/os/WinUtils.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/text/ExtSysUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/text/StringUtils.h"
#include "winui/Dpi.h"
#include "winui/Handles.h"

namespace hv {

// --- placement

void AdjustToWorkAreaIn(int& left, int& top, int width, int height, const RECT& r, UINT dpi) {
  const int m = Scale(kWorkAreaMargin96, dpi), mb = Scale(kWorkAreaBottomMargin96, dpi);
  if (left + width > r.right) left = r.right - width - m;
  if (left < r.left) left = r.left + m;
  if (top + height > r.bottom) top = r.bottom - height - mb;
  if (top < r.top) top = r.top + m;
}

void AdjustToWorkArea(int& left, int& top, int width, int height) {
  HMONITOR mon = nullptr;
  RECT r = WorkAreaAt(POINT{left, top}, &mon);
  AdjustToWorkAreaIn(left, top, width, height, r, DpiForMonitor(mon));
}

void FitFormToWorkArea(TForm& form) {
  int left = form.Left(), top = form.Top();
  AdjustToWorkArea(left, top, form.Width(), form.Height());
  form.SetPos(left, top);
}

void PlaceForm(TForm& form, TPoint pos, bool above) {
  if (pos == TPoint{-1, 0}) {
    form.Position = TPosition::poScreenCenter;
    return;
  }
  if (pos == TPoint{-1, -1}) {
    form.Position = TPosition::poMainFormCenter;
    return;
  }
  form.Position = TPosition::poDesigned;
  int x = pos.X < 0 ? form.Left() : pos.X;
  int y = pos.Y < 0 ? form.Top() : pos.Y;
  if (above) y -= form.Height();
  AdjustToWorkArea(x, y, form.Width(), form.Height());
  form.SetPos(x, y);
}

// --- scaling

int ScaleToMonitor(int value, const TForm& form) { return ScaleForMonitor(value, form.Monitor()); }
int ScaleForMonitor(int value, HMONITOR monitor) { return Scale(value, DpiForMonitor(monitor)); }

bool NeedsBitmapScaling(UINT oldDpi, UINT newDpi) {
  return oldDpi > 0 && MulDiv(100, static_cast<int>(newDpi), static_cast<int>(oldDpi)) >= 120;
}

namespace {

TBitmapHandle StretchedCopy(HDC dc, HBITMAP src, int w, int h, int nw, int nh, COLORREF fill) {
  TDCHandle from(CreateCompatibleDC(dc)), to(CreateCompatibleDC(dc));
  TBitmapHandle dst(CreateCompatibleBitmap(dc, nw, nh));
  HGDIOBJ oldFrom = SelectObject(from.Get(), src), oldTo = SelectObject(to.Get(), dst.Get());
  RECT r{0, 0, nw, nh};
  TBrushHandle b(CreateSolidBrush(fill));
  FillRect(to.Get(), &r, b.Get());
  SetStretchBltMode(to.Get(), HALFTONE);
  StretchBlt(to.Get(), 0, 0, nw, nh, from.Get(), 0, 0, w, h, SRCCOPY);
  SelectObject(from.Get(), oldFrom);
  SelectObject(to.Get(), oldTo);
  return dst;
}

BOOL CALLBACK ScaleGlyphProc(HWND child, LPARAM lp) {
  auto dpis = reinterpret_cast<const UINT*>(lp);
  auto bmp = reinterpret_cast<HBITMAP>(SendMessageW(child, BM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP bm;
  if (bmp && GetObjectW(bmp, sizeof(bm), &bm) && bm.bmWidth > 0) {
    TBitmapHandle scaled;
    {
      TWindowDCHandle dc(child);
      scaled = StretchedCopy(dc.Get(), bmp, bm.bmWidth, bm.bmHeight, MulDiv(bm.bmWidth, dpis[1], dpis[0]),
                             MulDiv(bm.bmHeight, dpis[1], dpis[0]), GetSysColor(COLOR_BTNFACE));
    }
    // The button owns its new image; the old one is ours to free.
    TBitmapHandle old(reinterpret_cast<HBITMAP>(
        SendMessageW(child, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.Release()))));
  }
  return TRUE;
}

BOOL CALLBACK ScaleComboProc(HWND child, LPARAM lp) {
  auto dpis = reinterpret_cast<const UINT*>(lp);
  wchar_t cls[32];
  LONG style = GetWindowLongW(child, GWL_STYLE);
  if (GetClassNameW(child, cls, static_cast<int>(std::size(cls))) && lstrcmpiW(cls, WC_COMBOBOXW) == 0 &&
      (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE))) {
    int h = static_cast<int>(SendMessageW(child, CB_GETITEMHEIGHT, 0, 0));
    SendMessageW(child, CB_SETITEMHEIGHT, 0, MulDiv(h, dpis[1], dpis[0]));
  }
  return TRUE;
}

}  // namespace

void ScaleImageList(HIMAGELIST list, UINT oldDpi, UINT newDpi) {
  if (!list || !NeedsBitmapScaling(oldDpi, newDpi)) return;
  HIMAGELIST copy = ImageList_Duplicate(list);
  if (!copy) return;
  int w = 0, h = 0;
  ImageList_GetIconSize(copy, &w, &h);
  int nw = MulDiv(w, newDpi, oldDpi), nh = MulDiv(h, newDpi, oldDpi);
  ImageList_SetIconSize(list, nw, nh);  // also empties the list
  TWindowDCHandle screen(nullptr);
  TDCHandle dc(CreateCompatibleDC(screen.Get()));
  for (int i = 0, n = ImageList_GetImageCount(copy); i < n; ++i) {
    TBitmapHandle image(CreateCompatibleBitmap(screen.Get(), w, h)), mask(CreateBitmap(w, h, 1, 1, nullptr));
    HGDIOBJ old = SelectObject(dc.Get(), image.Get());
    RECT r{0, 0, w, h};
    FillRect(dc.Get(), &r, GetSysColorBrush(COLOR_WINDOW));
    ImageList_Draw(copy, i, dc.Get(), 0, 0, ILD_NORMAL);
    SelectObject(dc.Get(), mask.Get());
    ImageList_Draw(copy, i, dc.Get(), 0, 0, ILD_MASK);
    SelectObject(dc.Get(), old);
    TBitmapHandle bigImage = StretchedCopy(screen.Get(), image.Get(), w, h, nw, nh, GetSysColor(COLOR_WINDOW));
    TBitmapHandle bigMask = StretchedCopy(screen.Get(), mask.Get(), w, h, nw, nh, RGB(255, 255, 255));
    ImageList_Add(list, bigImage.Get(), bigMask.Get());
  }
  ImageList_Destroy(copy);
}

void ScaleButtonGlyphs(HWND parent, UINT oldDpi, UINT newDpi) {
  if (!NeedsBitmapScaling(oldDpi, newDpi)) return;
  const UINT dpis[2] = {oldDpi, newDpi};
  EnumChildWindows(parent, ScaleGlyphProc, reinterpret_cast<LPARAM>(dpis));  // descends by itself
}

void ScaleComboItemHeights(HWND parent, UINT oldDpi, UINT newDpi) {
  if (oldDpi == newDpi || oldDpi == 0) return;
  const UINT dpis[2] = {oldDpi, newDpi};
  EnumChildWindows(parent, ScaleComboProc, reinterpret_cast<LPARAM>(dpis));
}

// --- screen points

namespace {
TPoint CornerPos(const TControl& c, bool right, bool bottom, TPoint offset) {
  RECT r = c.BoundsRect();
  POINT p{right ? r.right : r.left, bottom ? r.bottom : r.top};
  if (HWND parent = GetParent(c.Handle())) ClientToScreen(parent, &p);
  return {p.x + offset.X, p.y + offset.Y};
}
}  // namespace

TPoint TopLeftPos(const TControl& c, TPoint offset) { return CornerPos(c, false, false, offset); }
TPoint BottomLeftPos(const TControl& c, TPoint offset) { return CornerPos(c, false, true, offset); }
TPoint TopRightPos(const TControl& c, TPoint offset) { return CornerPos(c, true, false, offset); }
TPoint BottomRightPos(const TControl& c, TPoint offset) { return CornerPos(c, true, true, offset); }
TPoint GetCursorPosition(TPoint offset) {
  POINT p{};
  GetCursorPos(&p);
  return {p.x + offset.X, p.y + offset.Y};
}

// --- text extents

int CountLines(std::wstring_view text) {
  int n = 1;
  for (size_t p = text.find(L"\r\n"); p != std::wstring_view::npos; p = text.find(L"\r\n", p + 2)) ++n;
  return n;
}

int GetMaxLineWidth(std::wstring_view text, HDC dc) {
  int widest = 0;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(L"\r\n", start);
    std::wstring_view line = text.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
    SIZE s{};
    if (!line.empty()) GetTextExtentPoint32W(dc, line.data(), static_cast<int>(line.size()), &s);
    widest = std::max(widest, static_cast<int>(s.cx));
    if (end == std::wstring_view::npos) return widest;
    start = end + 2;
  }
}

namespace {
template <class F>
auto WithFont(HFONT font, F f) {
  TDCHandle dc(CreateCompatibleDC(nullptr));
  HGDIOBJ old = SelectObject(dc.Get(), font ? font : GetStockObject(DEFAULT_GUI_FONT));
  auto r = f(dc.Get());
  SelectObject(dc.Get(), old);
  return r;
}
}  // namespace

int GetMaxLineWidthFont(std::wstring_view text, HFONT font) {
  return WithFont(font, [&](HDC dc) { return GetMaxLineWidth(text, dc); });
}
int GetTextWidth(std::wstring_view text, HFONT font) {
  return WithFont(font, [&](HDC dc) {
    SIZE s{};
    if (!text.empty()) GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &s);
    return static_cast<int>(s.cx);
  });
}
int GetMaxItemWidth(const std::vector<std::wstring>& items, HFONT font) {
  int w = 0;
  for (const auto& i : items) w = std::max(w, GetTextWidth(i, font));
  return w;
}
SIZE GetTextSize(std::wstring_view text, HFONT font) {
  return WithFont(font, [&](HDC dc) {
    SIZE x{};
    GetTextExtentPoint32W(dc, L"X", 1, &x);
    return SIZE{GetMaxLineWidth(text, dc), CountLines(text) * x.cy};
  });
}
SIZE GetWrappedTextSize(std::wstring_view text, HFONT font, int width) {
  return WithFont(font, [&](HDC dc) {
    RECT r{0, 0, width, 0};
    if (!text.empty())
      DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r,
                DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return SIZE{r.right - r.left, r.bottom - r.top};
  });
}

// --- small control helpers

namespace {
BOOL CALLBACK TabStopProc(HWND child, LPARAM tabStop) {
  wchar_t cls[32];
  if (!GetClassNameW(child, cls, static_cast<int>(std::size(cls)))) return TRUE;
  LONG style = GetWindowLongW(child, GWL_STYLE);
  bool isStatic = lstrcmpiW(cls, WC_STATICW) == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
  bool readOnlyEdit = lstrcmpiW(cls, WC_EDITW) == 0 && (style & ES_READONLY);
  if (isStatic || readOnlyEdit)
    SetWindowLongW(child, GWL_STYLE, tabStop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  return TRUE;
}
}  // namespace

void SetReadOnlyTabStops(HWND parent, bool tabStop) { EnumChildWindows(parent, TabStopProc, tabStop); }

void SetClientWidthToButton(TForm& form, const TControl& button, int margin) {
  RECT r = button.BoundsRect();
  form.SetClientSize(r.right + margin, form.ClientSize().cy);
}

// --- shutdown

bool EnableProcessPrivilege(HANDLE process, std::wstring_view privilege) {
  TKernelHandle token;
  if (!OpenProcessToken(process, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Put())) return false;
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  return LookupPrivilegeValueW(nullptr, std::wstring(privilege).c_str(), &tp.Privileges[0].Luid) &&
         AdjustTokenPrivileges(token.Get(), FALSE, &tp, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
}

namespace {

class TRealShutdownApi : public IShutdownApi {
 public:
  bool EnablePrivilege() override { return EnableProcessPrivilege(GetCurrentProcess(), L"SeShutdownPrivilege"); }
  bool ExitSession(UINT flags, DWORD reason) override { return ExitWindowsEx(flags, reason); }
  bool ShutdownSystem(bool reboot, DWORD reason) override {
    DWORD flags = SHUTDOWN_FORCE_OTHERS | SHUTDOWN_FORCE_SELF | (reboot ? SHUTDOWN_RESTART : SHUTDOWN_POWEROFF);
    return InitiateShutdownW(nullptr, nullptr, 0, flags, reason) == ERROR_SUCCESS;
  }
};

IShutdownApi* gShutdownApi = nullptr;  // a test's stand-in

bool Confirmed(std::wstring_view message) { return message.empty() || ConfirmDialog(message); }

}  // namespace

IShutdownApi& ShutdownApi() {
  static TRealShutdownApi real;
  return gShutdownApi ? *gShutdownApi : real;
}
void SetShutdownApi(IShutdownApi* api) { gShutdownApi = api; }

bool EnableShutdownPrivilege() { return ShutdownApi().EnablePrivilege(); }

bool ExitWindowsConfirm(std::wstring_view message, UINT flags, DWORD reason) {
  if (!Confirmed(message) || !EnableShutdownPrivilege()) return false;
  return ShutdownApi().ExitSession(flags, reason);
}

bool InitiateShutdownConfirm(std::wstring_view message, bool reboot, DWORD reason) {
  if (!Confirmed(message) || !EnableShutdownPrivilege()) return false;
  return ShutdownApi().ShutdownSystem(reboot, reason);
}

// --- code pages

namespace {

std::vector<std::pair<std::wstring, UINT>>* gCodePages = nullptr;  // while the enumeration runs
std::exception_ptr gCodePageError;  // what stopped it

void AddSorted(std::vector<std::pair<std::wstring, UINT>>& list, std::wstring text, UINT cp) {
  auto less = [](const std::pair<std::wstring, UINT>& a, const std::wstring& b) {
    return CompareStringOrdinal(a.first.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  };
  auto it = std::lower_bound(list.begin(), list.end(), text, less);
  if (it != list.end() && CompareStringOrdinal(it->first.c_str(), -1, text.c_str(), -1, TRUE) == CSTR_EQUAL) return;
  list.insert(it, {std::move(text), cp});
}

void AddCodePage(const wchar_t* text) {
  int64_t n = 0;
  UINT cp = TryStrToInt64(text, n) ? static_cast<UINT>(n) : 0;
  CPINFOEXW info{};
  if (!IsValidCodePage(cp) || !GetCPInfoExW(cp, 0, &info)) return;
  std::wstring name = info.CodePageName;
  size_t blank = name.find(L' ');
  name = blank == std::wstring::npos ? std::wstring() : name.substr(blank + 1);
  name = TrimLeftChar(TrimRightChar(name, L' '), L' ');
  while (!name.empty() && name.back() == L')') name.pop_back();
  size_t lead = name.find_first_not_of(L'(');
  name = lead == std::wstring::npos ? std::wstring() : name.substr(lead);
  if (name.empty()) name = std::to_wstring(cp);  // some systems give the number alone
  AddSorted(*gCodePages, SafeFormat(L"%s - (%u)", name, cp), cp);
}

// No exception crosses the enumeration: it stops it and is raised again after.
BOOL CALLBACK CodePageProc(LPWSTR text) {
  try {
    AddCodePage(text);
    return TRUE;
  } catch (...) {
    gCodePageError = std::current_exception();
    return FALSE;
  }
}

}  // namespace

bool GetCodePageList(std::vector<std::pair<std::wstring, UINT>>& list, std::wstring_view extra) {
  std::vector<std::pair<std::wstring, UINT>> temp;
  if (!extra.empty()) AddSorted(temp, L" " + std::wstring(extra), 0);
  gCodePages = &temp;
  gCodePageError = nullptr;
  bool ok = EnumSystemCodePagesW(CodePageProc, CP_SUPPORTED);
  gCodePages = nullptr;
  if (gCodePageError) std::rethrow_exception(std::exchange(gCodePageError, nullptr));
  if (ok) list = std::move(temp);
  return ok;
}

}  // namespace hv
