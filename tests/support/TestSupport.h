#pragma once
// Small fixtures shared by the test executables.
#include <filesystem>
#include <string>

namespace hvtest {

// The source tree as a Windows path (Wine maps "/" to Z:), from HV_SOURCE_DIR set by CTest.
std::wstring SourceDir();
// tests/fixtures inside the source tree.
std::wstring FixtureDir();
// The build folder as a Windows path, from HV_BINARY_DIR.
std::wstring BinaryDir();

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

}  // namespace hvtest
