#pragma once
// Windows of programs that a test started as processes.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace hvtest {

// A top-level window of the process pid: of the window class cls (any class when null), visible
// unless visibleOnly is false, other than skip, and one that accept takes (when given); null when
// there is none.
using TWindowFilter = std::function<bool(HWND)>;
HWND FindProcessWindow(DWORD pid, const wchar_t* cls = L"HvForm", bool visibleOnly = true, HWND skip = nullptr,
                       const TWindowFilter& accept = {});
// The same once it exists, polled for up to 20 seconds; null when it does not come.
HWND WaitForProcessWindow(DWORD pid, const wchar_t* cls = L"HvForm", bool visibleOnly = true, HWND skip = nullptr,
                          const TWindowFilter& accept = {});
// A visible top-level window of the process pid with the caption, polled for up to 30 seconds or
// until the process ends; null when it does not come.
HWND WaitForCaption(DWORD pid, const std::wstring& caption, HANDLE process);
// Waits up to 30 seconds until the window is hidden or gone, or the process ends; true when it is.
bool WaitHidden(HWND wnd, HANDLE process);
// The top-level windows of the process pid, a line each (class, caption, visible, enabled): what a
// test prints when the window it waited for did not come.
std::wstring ProcessWindowsText(DWORD pid);
// The children (at any depth) of the window class cls and, when given, with the text, in the order
// of EnumChildWindows; the first of them, null when there is none.
std::vector<HWND> FindChildWindows(HWND parent, const wchar_t* cls, const wchar_t* text = nullptr);
HWND FindChildWindow(HWND parent, const wchar_t* cls, const wchar_t* text = nullptr);

// Waits up to ms for the process pid to end; its exit code. An unhandled exception starts the
// system's debugger as a child of the process: the debugger and the process are then ended and the
// result is kCrashed. kTimedOut: the process did not end in time and was ended.
constexpr DWORD kCrashed = 0xC0000005, kTimedOut = 0xFFFFFFFF;
DWORD WaitForExit(HANDLE process, DWORD pid, DWORD ms = 30000);

}  // namespace hvtest
