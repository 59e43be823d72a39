#pragma once
// The logged-on user, the computer, Windows version and bitness, version resources, processes,
// and Windows functions that older versions lack (looked up by name, empty when missing).
#include <windows.h>
#include <powrprof.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hv {

// The string table of a version resource.
struct TFileVersionInfo {
  std::wstring Company;         // CompanyName
  std::wstring Description;     // FileDescription
  std::wstring Version;         // FileVersion
  std::wstring InternalName;    // InternalName
  std::wstring Copyright;       // LegalCopyright
  std::wstring Comments;        // Comments
  std::wstring ProductName;     // ProductName
  std::wstring ProductVersion;  // ProductVersion
};

// Functions looked up once, on first use; a missing one stays null and counts as a failure.
struct TOptionalFunctions {
  decltype(&::CreateProcessWithLogonW) CreateProcessWithLogonW = nullptr;  // only if advapi32 is loaded
  decltype(&::SetSuspendState) SetSuspendState = nullptr;
  decltype(&::GetPwrCapabilities) GetPwrCapabilities = nullptr;
  decltype(&::FindFirstStreamW) FindFirstStreamW = nullptr;
  decltype(&::FindNextStreamW) FindNextStreamW = nullptr;
  decltype(&::GetTickCount64) GetTickCount64 = nullptr;
  decltype(&::QueryFullProcessImageNameW) QueryFullProcessImageNameW = nullptr;
};
// The process-wide set; tests replace single pointers (the suspend call is never made by a test).
TOptionalFunctions& OptionalFunctions();

std::wstring GetCurrentUserName();
// GetUserNameExW of Secur32.dll with the given EXTENDED_NAME_FORMAT value.
bool TryGetUserNameEx(int format, std::wstring& name);
// "domain\user", or the plain logon name when that cannot be had.
std::wstring GetQualifiedUserName();
std::wstring GetLocalComputerName();
std::wstring GetWindowsDir();
// %ALLUSERSPROFILE%, else the Windows folder.
std::wstring GetAllUsersProfileDir();
// %PUBLIC%, else empty.
std::wstring GetPublicDir();

bool IsNT4OrLater();
bool IsWin2000OrLater();
bool IsVistaOrLater();
// A processor architecture other than x86.
bool IsWindows64Bit();
// A 64-bit process on 64-bit Windows.
bool IsProcess64Bit();

// False (all fields empty) when the file has no version resource or the resource has no
// translation entry; fields of missing keys stay empty.
bool ReadFileVersionInfo(std::wstring_view fileName, TFileVersionInfo& info);
// FileVersion without its last dot-separated part ("6.3.2.0" gives "6.3.2"); defaultText when
// the file has no version information.
std::wstring GetFileVersionText(std::wstring_view fileName, std::wstring_view defaultText);

// Full image path of a process; empty when it cannot be read.
std::wstring GetProcessImagePath(DWORD processId);
// A process whose executable name (byPath: full image path) equals name, ignoring case.
bool IsProcessRunning(std::wstring_view name, bool byPath);
// LoadLibraryW with the given error mode for the calling thread (0x8000: no error boxes) and
// floating-point exceptions masked during the load; null on failure.
HMODULE LoadLibrarySilent(std::wstring_view name, UINT errorMode);
// Suspends or hibernates the computer; false when the function is missing or fails.
bool SetSystemSuspendState(bool hibernate, bool forceCritical, bool disableWakeEvent);
bool DestroyShutdownBlockReason(HWND window);

// The titles of the windows a user sees on the task bar (visible, unowned or owned by the desktop,
// no tool window unless marked as app window), with their handles; the result of EnumWindows.
bool GetVisibleWindowTitles(std::vector<std::pair<std::wstring, HWND>>& list);

}  // namespace hv
