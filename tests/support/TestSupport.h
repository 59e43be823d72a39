#pragma once
// Small fixtures shared by the test executables.
#include <filesystem>
#include <string>
#include <string_view>

struct HKEY__;
struct HWND__;

namespace hvtest {

// The source tree as a Windows path (Wine maps "/" to Z:), from HV_SOURCE_DIR set by CTest.
std::wstring SourceDir();
// tests/fixtures inside the source tree.
std::wstring FixtureDir();
// The build folder as a Windows path, from HV_BINARY_DIR.
std::wstring BinaryDir();

// build/screenshots, made when missing.
std::wstring ScreenshotDir();
// What the window shows, as ScreenshotDir()\name.png; false when it could not be saved.
bool SaveScreenshot(HWND__* wnd, std::wstring_view name);

// hv_test_child.exe of the build: exits with the code given as its first argument.
std::wstring TestChildExe();

// A fresh folder below the temporary folder, removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& Path() const { return FPath; }
  // Path of a name inside the folder.
  std::wstring operator/(const std::wstring& name) const { return FPath + L"\\" + name; }

 private:
  std::wstring FPath;
};

// Writes bytes to a file (creating or replacing it); returns false on failure.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// Reads a whole file; an unreadable file gives an empty string.
std::string ReadBytes(const std::wstring& path);

// IniPath of the suite's registry key pointed at a test folder while the object lives.
class TSettingsKey {
 public:
  explicit TSettingsKey(const std::wstring& dir);
  ~TSettingsKey();
  TSettingsKey(const TSettingsKey&) = delete;
  TSettingsKey& operator=(const TSettingsKey&) = delete;

 private:
  HKEY__* FKey = nullptr;
  std::wstring FOld;
  bool FHadOld = false;
};

}  // namespace hvtest
