#pragma once
// Windows of programs that a test started as processes.
#include <windows.h>

#include <functional>
#include <string>

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
// The top-level windows of the process pid, a line each (class, caption, visible, enabled): what a
// test prints when the window it waited for did not come.
std::wstring ProcessWindowsText(DWORD pid);

}  // namespace hvtest
