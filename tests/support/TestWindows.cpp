#include "support/TestWindows.h"

namespace hvtest {
namespace {

struct TFind {
  DWORD Pid;
  const wchar_t* Class;
  bool VisibleOnly;
  HWND Skip;
  const TWindowFilter& Accept;
  HWND Wnd = nullptr;
};

BOOL CALLBACK FindWindowProc(HWND wnd, LPARAM lp) {
  auto* f = reinterpret_cast<TFind*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid != f->Pid || wnd == f->Skip || (f->VisibleOnly && !IsWindowVisible(wnd))) return TRUE;
  wchar_t cls[64];
  if (f->Class && (!GetClassNameW(wnd, cls, 64) || lstrcmpW(cls, f->Class) != 0)) return TRUE;
  if (f->Accept && !f->Accept(wnd)) return TRUE;
  f->Wnd = wnd;
  return FALSE;
}

}  // namespace

HWND FindProcessWindow(DWORD pid, const wchar_t* cls, bool visibleOnly, HWND skip, const TWindowFilter& accept) {
  TFind f{pid, cls, visibleOnly, skip, accept};
  EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&f));
  return f.Wnd;
}

HWND WaitForProcessWindow(DWORD pid, const wchar_t* cls, bool visibleOnly, HWND skip, const TWindowFilter& accept) {
  for (int i = 0; i < 400; ++i) {
    if (HWND wnd = FindProcessWindow(pid, cls, visibleOnly, skip, accept)) return wnd;
    Sleep(50);
  }
  return nullptr;
}

std::wstring ProcessWindowsText(DWORD pid) {
  struct TList {
    DWORD Pid;
    std::wstring Text;
  } list{pid, {}};
  EnumWindows(
      [](HWND wnd, LPARAM lp) -> BOOL {
        auto* l = reinterpret_cast<TList*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(wnd, &owner);
        if (owner != l->Pid) return TRUE;
        wchar_t cls[64] = L"", caption[128] = L"";
        GetClassNameW(wnd, cls, 64);
        GetWindowTextW(wnd, caption, 128);
        l->Text += std::wstring(cls) + L" \"" + caption + L"\"" + (IsWindowVisible(wnd) ? L" visible" : L" hidden") +
                   (IsWindowEnabled(wnd) ? L"" : L" disabled") + L"\n";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&list));
  return list.Text;
}

}  // namespace hvtest
