#include "support/TestWindows.h"

#include <tlhelp32.h>

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

HWND WaitForCaption(DWORD pid, const std::wstring& caption, HANDLE process) {
  const TWindowFilter hasCaption = [&](HWND wnd) {
    wchar_t text[256];
    return GetWindowTextW(wnd, text, 256) > 0 && caption == text;
  };
  for (int i = 0; i < 600; ++i) {
    if (HWND wnd = FindProcessWindow(pid, nullptr, true, nullptr, hasCaption)) return wnd;
    if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) break;
  }
  return nullptr;
}

bool WaitHidden(HWND wnd, HANDLE process) {
  for (int i = 0; i < 600 && IsWindow(wnd) && IsWindowVisible(wnd); ++i)
    if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) break;
  return !IsWindow(wnd) || !IsWindowVisible(wnd);
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

DWORD WaitForExit(HANDLE process, DWORD pid, DWORD ms) {
  auto endChildren = [pid] {
    bool any = false;
    const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof(e);
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) {
      if (e.th32ParentProcessID != pid || lstrcmpiW(e.szExeFile, L"winedbg.exe") != 0) continue;
      any = true;
      if (HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, e.th32ProcessID)) {
        TerminateProcess(child, 1);
        CloseHandle(child);
      }
    }
    CloseHandle(snap);
    return any;
  };
  for (DWORD waited = 0; WaitForSingleObject(process, 100) == WAIT_TIMEOUT; waited += 100) {
    const bool crashed = endChildren();
    if (crashed || waited >= ms) {
      TerminateProcess(process, 99);
      WaitForSingleObject(process, 10000);
      return crashed ? kCrashed : kTimedOut;
    }
  }
  DWORD code = kTimedOut;
  GetExitCodeProcess(process, &code);
  return code;
}

std::vector<HWND> FindChildWindows(HWND parent, const wchar_t* cls, const wchar_t* text) {
  struct TSearch {
    const wchar_t *Cls, *Text;
    std::vector<HWND> Found;
  } s{cls, text, {}};
  EnumChildWindows(
      parent,
      [](HWND wnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(lp);
        wchar_t c[64], t[256];
        GetClassNameW(wnd, c, 64);
        GetWindowTextW(wnd, t, 256);
        if (lstrcmpiW(c, s->Cls) == 0 && (!s->Text || lstrcmpW(t, s->Text) == 0)) s->Found.push_back(wnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.Found;
}

HWND FindChildWindow(HWND parent, const wchar_t* cls, const wchar_t* text) {
  const std::vector<HWND> found = FindChildWindows(parent, cls, text);
  return found.empty() ? nullptr : found.front();
}

}  // namespace hvtest
