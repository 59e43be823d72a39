#include "base/os/WinApiUtils.h"

#include <tlhelp32.h>

#include <cfloat>
#include <iterator>
#include <vector>

#include "base/text/ExtSysUtils.h"
#include "winui/Handles.h"
#include "base/text/PathUtils.h"

namespace hv {

namespace {

template <class Fn>
void Lookup(HMODULE module, const char* name, Fn& fn) {
  fn = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

TOptionalFunctions LookupOptionalFunctions() {
  TOptionalFunctions f;
  Lookup(GetModuleHandleW(L"advapi32.dll"), "CreateProcessWithLogonW", f.CreateProcessWithLogonW);
  // powrprof stays loaded for the life of the process.
  HMODULE powrprof = LoadLibrarySilent(L"powrprof.dll", SEM_NOOPENFILEERRORBOX);
  Lookup(powrprof, "SetSuspendState", f.SetSuspendState);
  Lookup(powrprof, "GetPwrCapabilities", f.GetPwrCapabilities);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  Lookup(kernel, "FindFirstStreamW", f.FindFirstStreamW);
  Lookup(kernel, "FindNextStreamW", f.FindNextStreamW);
  Lookup(kernel, "GetTickCount64", f.GetTickCount64);
  Lookup(kernel, "QueryFullProcessImageNameW", f.QueryFullProcessImageNameW);
  return f;
}

std::wstring TrimRight(std::wstring s) {
  while (!s.empty() && s.back() <= L' ') s.pop_back();
  return s;
}

std::wstring ExpandVariable(const wchar_t* reference) {
  wchar_t buf[1024];
  DWORD n = ExpandEnvironmentStringsW(reference, buf, static_cast<DWORD>(std::size(buf)));
  if (n == 0 || n > std::size(buf)) return L"";
  std::wstring s(buf);
  // An unknown variable is left as it stands.
  return s == reference ? std::wstring() : s;
}

}  // namespace

TOptionalFunctions& OptionalFunctions() {
  static TOptionalFunctions functions = LookupOptionalFunctions();
  return functions;
}

std::wstring GetCurrentUserName() {
  wchar_t buf[1024];
  DWORD n = static_cast<DWORD>(std::size(buf));
  return GetUserNameW(buf, &n) ? std::wstring(buf) : std::wstring();
}

bool TryGetUserNameEx(int format, std::wstring& name) {
  TModule secur(LoadLibrarySilent(L"Secur32.dll", SEM_NOOPENFILEERRORBOX));
  if (!secur) return false;
  using Fn = BOOLEAN(WINAPI*)(int, LPWSTR, PULONG);
  Fn fn = nullptr;
  Lookup(secur.Get(), "GetUserNameExW", fn);
  if (!fn) return false;
  wchar_t buf[1024];
  ULONG n = static_cast<ULONG>(std::size(buf));
  if (!fn(format, buf, &n)) return false;
  name = buf;
  return true;
}

std::wstring GetQualifiedUserName() {
  std::wstring name;
  if (TryGetUserNameEx(2 /* NameSamCompatible */, name)) return name;
  return GetCurrentUserName();
}

std::wstring GetLocalComputerName() {
  wchar_t buf[1024];
  DWORD n = static_cast<DWORD>(std::size(buf));
  return GetComputerNameW(buf, &n) ? std::wstring(buf) : std::wstring();
}

std::wstring GetWindowsDir() {
  wchar_t buf[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryW(buf, static_cast<UINT>(std::size(buf)));
  return n && n < std::size(buf) ? std::wstring(buf, n) : std::wstring();
}

std::wstring GetAllUsersProfileDir() {
  std::wstring dir = ExpandVariable(L"%ALLUSERSPROFILE%");
  return dir.empty() ? GetWindowsDir() : dir;
}

std::wstring GetPublicDir() { return IsNT4OrLater() ? ExpandVariable(L"%PUBLIC%") : std::wstring(); }

// Every Windows this suite runs on is of the NT platform.
bool IsNT4OrLater() { return WindowsMajorVersion() >= 4; }
bool IsWin2000OrLater() { return WindowsMajorVersion() >= 5; }
bool IsVistaOrLater() { return WindowsMajorVersion() >= 6; }

bool IsWindows64Bit() {
  decltype(&::GetNativeSystemInfo) fn = nullptr;
  Lookup(GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo", fn);
  if (!fn) return false;
  SYSTEM_INFO si{};
  fn(&si);
  return si.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
}

bool IsProcess64Bit() {
  BOOL wow = FALSE;
  return IsWindows64Bit() && IsWow64Process(GetCurrentProcess(), &wow) && !wow;
}

bool ReadFileVersionInfo(std::wstring_view fileName, TFileVersionInfo& info) {
  if (!IsWin2000OrLater()) return false;
  info = TFileVersionInfo{};
  const std::wstring name(fileName);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(name.c_str(), &handle);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(name.c_str(), 0, size, block.data())) return false;

  void* value = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &len) || !value || len < 4) return false;
  const WORD* translation = static_cast<const WORD*>(value);
  const std::wstring prefix = SafeFormat(L"\\StringFileInfo\\%.4X%.4X\\", translation[0], translation[1]);

  static const struct {
    const wchar_t* key;
    std::wstring TFileVersionInfo::*field;
  } keys[] = {
      {L"CompanyName", &TFileVersionInfo::Company},
      {L"FileDescription", &TFileVersionInfo::Description},
      {L"FileVersion", &TFileVersionInfo::Version},
      {L"InternalName", &TFileVersionInfo::InternalName},
      {L"LegalCopyright", &TFileVersionInfo::Copyright},
      {L"Comments", &TFileVersionInfo::Comments},
      {L"LegalTradeMarks", nullptr},
      {L"OriginalFileName", nullptr},
      {L"ProductName", &TFileVersionInfo::ProductName},
      {L"ProductVersion", &TFileVersionInfo::ProductVersion},
      {L"PrivateBuild", nullptr},
      {L"SpecialBuild", nullptr},
  };
  for (const auto& k : keys) {
    if (!k.field) continue;
    if (VerQueryValueW(block.data(), (prefix + k.key).c_str(), &value, &len) && value && len > 0)
      info.*k.field = TrimRight(std::wstring(static_cast<const wchar_t*>(value), len));
  }
  return true;
}

std::wstring GetFileVersionText(std::wstring_view fileName, std::wstring_view defaultText) {
  TFileVersionInfo info;
  if (!ReadFileVersionInfo(fileName, info) || info.Version.empty()) return std::wstring(defaultText);
  size_t dot = info.Version.rfind(L'.');
  return dot == std::wstring::npos ? info.Version : info.Version.substr(0, dot);
}

std::wstring GetProcessImagePath(DWORD processId) {
  auto query = OptionalFunctions().QueryFullProcessImageNameW;
  if (!query) return L"";
  TKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return L"";
  wchar_t buf[1024];
  DWORD n = static_cast<DWORD>(std::size(buf));
  return query(process.Get(), 0, buf, &n) ? std::wstring(buf, n) : std::wstring();
}

bool IsProcessRunning(std::wstring_view name, bool byPath) {
  TFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = Process32FirstW(snapshot.Get(), &entry); ok; ok = Process32NextW(snapshot.Get(), &entry)) {
    std::wstring compared;
    if (!byPath)
      compared = entry.szExeFile;
    else if (entry.th32ProcessID != 0)
      compared = GetProcessImagePath(entry.th32ProcessID);
    if (!compared.empty() && SameFileName(compared, name)) return true;
  }
  return false;
}

HMODULE LoadLibrarySilent(std::wstring_view name, UINT errorMode) {
  const std::wstring library(name);
  // The thread's own error mode: threads loading at once cannot leave the process's mode changed.
  DWORD oldMode = 0;
  SetThreadErrorMode(errorMode, &oldMode);
  unsigned oldMask = _controlfp(0, 0);
  _controlfp(oldMask | _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW | _EM_UNDERFLOW, _MCW_EM);
  HMODULE module = LoadLibraryW(library.c_str());
  _controlfp(oldMask, _MCW_EM);
  SetThreadErrorMode(oldMode, nullptr);
  return module;
}

bool SetSystemSuspendState(bool hibernate, bool forceCritical, bool disableWakeEvent) {
  auto fn = OptionalFunctions().SetSuspendState;
  return fn && fn(hibernate, forceCritical, disableWakeEvent);
}

bool DestroyShutdownBlockReason(HWND window) {
  TModule user32(LoadLibrarySilent(L"user32.dll", SEM_NOOPENFILEERRORBOX));
  decltype(&::ShutdownBlockReasonDestroy) fn = nullptr;
  Lookup(user32.Get(), "ShutdownBlockReasonDestroy", fn);
  return fn && fn(window);
}

namespace {
BOOL CALLBACK AddVisibleWindow(HWND wnd, LPARAM lp) {
  try {
    auto* list = reinterpret_cast<std::vector<std::pair<std::wstring, HWND>>*>(lp);
    if (!IsWindowVisible(wnd)) return TRUE;
    HWND owner = GetWindow(wnd, GW_OWNER);
    if (owner && owner != GetDesktopWindow()) return TRUE;
    const LONG_PTR ex = GetWindowLongPtrW(wnd, GWL_EXSTYLE);
    if ((ex & WS_EX_TOOLWINDOW) && !(ex & WS_EX_APPWINDOW)) return TRUE;
    wchar_t title[1025];
    const int n = GetWindowTextW(wnd, title, static_cast<int>(std::size(title)));
    if (n > 0) list->emplace_back(std::wstring(title, static_cast<size_t>(n)), wnd);
  } catch (...) {
  }
  return TRUE;
}
}  // namespace

bool GetVisibleWindowTitles(std::vector<std::pair<std::wstring, HWND>>& list) {
  return EnumWindows(AddVisibleWindow, reinterpret_cast<LPARAM>(&list)) != FALSE;
}

}  // namespace hv
