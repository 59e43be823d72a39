#pragma once
// Windows of programs that a test started as processes.
#include <windows.h>

namespace hvtest {

// A top-level window of the process pid: of the window class cls (any class when null), visible
// unless visibleOnly is false, other than skip; null when there is none.
HWND FindProcessWindow(DWORD pid, const wchar_t* cls = L"HvForm", bool visibleOnly = true, HWND skip = nullptr);
// The same once it exists, polled for up to 20 seconds; null when it does not come.
HWND WaitForProcessWindow(DWORD pid, const wchar_t* cls = L"HvForm", bool visibleOnly = true, HWND skip = nullptr);

}  // namespace hvtest
