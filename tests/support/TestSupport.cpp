#include "support/TestSupport.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>

#include "winui/TestHooks.h"

namespace hvtest {
namespace {

std::wstring EnvUnixPathAsWindows(const wchar_t* name) {
  wchar_t buf[4096];
  DWORD n = GetEnvironmentVariableW(name, buf, static_cast<DWORD>(std::size(buf)));
  if (n == 0 || n >= std::size(buf)) return L"";
  std::wstring p(buf, n);
  for (auto& c : p)
    if (c == L'/') c = L'\\';
  if (!p.empty() && p[0] == L'\\') p = L"Z:" + p;
  return p;
}

}  // namespace

std::wstring SourceDir() { return EnvUnixPathAsWindows(L"HV_SOURCE_DIR"); }
std::wstring FixtureDir() { return SourceDir() + L"\\tests\\fixtures"; }
std::wstring BinaryDir() { return EnvUnixPathAsWindows(L"HV_BINARY_DIR"); }
std::wstring ScreenshotDir() {
  const std::wstring dir = BinaryDir() + L"\\screenshots";
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}
bool SaveScreenshot(HWND wnd, std::wstring_view name) {
  return hv::SaveWindowAsPng(wnd, ScreenshotDir() + L"\\" + std::wstring(name) + L".png");
}
std::wstring TestChildExe() { return BinaryDir() + L"\\bin\\hv_test_child.exe"; }

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  wchar_t tmp[MAX_PATH + 1];
  DWORD n = GetTempPathW(static_cast<DWORD>(std::size(tmp)), tmp);
  std::wstring base(tmp, n);
  for (;;) {
    FPath = base + L"hvtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
    if (CreateDirectoryW(FPath.c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temporary folder");
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(FPath), ec);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream f(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  f.close();
  return static_cast<bool>(f);
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream f(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TSettingsKey::TSettingsKey(const std::wstring& dir) {
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\HarvaneSix", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, nullptr);
  wchar_t old[MAX_PATH] = L"";
  DWORD size = sizeof(old);
  FHadOld = RegQueryValueExW(FKey, L"IniPath", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == 0;
  if (FHadOld) FOld = old;
  RegSetValueExW(FKey, L"IniPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                 static_cast<DWORD>((dir.size() + 1) * 2));
}

TSettingsKey::~TSettingsKey() {
  if (FHadOld)
    RegSetValueExW(FKey, L"IniPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(FOld.c_str()),
                   static_cast<DWORD>((FOld.size() + 1) * 2));
  else
    RegDeleteValueW(FKey, L"IniPath");
  RegCloseKey(FKey);
}

}  // namespace hvtest
