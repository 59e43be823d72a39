#include "base/os/WinApiUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

using namespace hv;

namespace {

std::wstring OwnExe() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH + 1);
  return std::wstring(buf, n);
}

std::wstring NameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// One block of a version resource: length, value length, type, key, value, children (all 4-aligned).
std::string VersionBlock(const std::wstring& key, const std::string& value, WORD valueLength, WORD type,
                         const std::string& children = {}) {
  std::string b(6, '\0');
  auto pad = [&b] { b.resize((b.size() + 3) & ~size_t(3), '\0'); };
  b.append(reinterpret_cast<const char*>(key.c_str()), (key.size() + 1) * sizeof(wchar_t));
  pad();
  b += value;
  pad();
  b += children;
  WORD header[3] = {static_cast<WORD>(b.size()), valueLength, type};
  b.replace(0, 6, reinterpret_cast<const char*>(header), 6);
  pad();
  return b;
}

std::string TextValue(const std::wstring& s) {
  return std::string(reinterpret_cast<const char*>(s.c_str()), (s.size() + 1) * sizeof(wchar_t));
}

// A version resource with a string table but no VarFileInfo\Translation entry.
std::string VersionWithoutTranslation() {
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = 0xFEEF04BD;
  fixed.dwStrucVersion = 0x10000;
  fixed.dwFileVersionMS = 0x10002;
  std::string strings = VersionBlock(L"CompanyName", TextValue(L"Nobody"), 7, 1) +
                        VersionBlock(L"FileVersion", TextValue(L"1.2"), 4, 1);
  std::string table = VersionBlock(L"040904E4", {}, 0, 1, strings);
  std::string fileInfo = VersionBlock(L"StringFileInfo", {}, 0, 1, table);
  return VersionBlock(L"VS_VERSION_INFO", std::string(reinterpret_cast<const char*>(&fixed), sizeof(fixed)),
                      sizeof(fixed), 0, fileInfo);
}

bool WriteVersionResource(const std::wstring& exe, const std::string& block) {
  HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
  if (!update) return false;
  bool ok = UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                            const_cast<char*>(block.data()), static_cast<DWORD>(block.size()));
  return EndUpdateResourceW(update, !ok) && ok;
}

}  // namespace

TEST(VersionInfo, ReadsTheStringTableOfARealResource) {
  TFileVersionInfo info;
  ASSERT_TRUE(ReadFileVersionInfo(OwnExe(), info));
  EXPECT_EQ(info.Company, L"Hv Test Company");
  EXPECT_EQ(info.Description, L"Suite test program") << "trailing blanks are trimmed";
  EXPECT_EQ(info.Version, L"6.3.2.0");
  EXPECT_EQ(info.InternalName, L"hvtests");
  EXPECT_EQ(info.Copyright, L"(c) Hv Test Company");
  EXPECT_EQ(info.Comments, L"") << "a missing key leaves its field empty";
  EXPECT_EQ(info.ProductName, L"Hv Suite");
  EXPECT_EQ(info.ProductVersion, L"6.3");
  EXPECT_EQ(GetFileVersionText(OwnExe(), L"?"), L"6.3.2");
}

TEST(VersionInfo, FilesWithoutUsableResource) {
  hvtest::TempDir dir;
  const std::wstring plain = dir / L"plain.exe";
  ASSERT_TRUE(CopyFileW(hvtest::TestChildExe().c_str(), plain.c_str(), FALSE));
  TFileVersionInfo info;
  info.Company = L"stale";
  EXPECT_FALSE(ReadFileVersionInfo(plain, info));
  EXPECT_EQ(info.Company, L"");
  EXPECT_EQ(GetFileVersionText(plain, L"n/a"), L"n/a");
  EXPECT_FALSE(ReadFileVersionInfo(dir / L"missing.exe", info));

  // A string table without a translation entry gives false and no fields.
  const std::wstring noTranslation = dir / L"notrans.exe";
  ASSERT_TRUE(CopyFileW(plain.c_str(), noTranslation.c_str(), FALSE));
  ASSERT_TRUE(WriteVersionResource(noTranslation, VersionWithoutTranslation()));
  info.Version = L"stale";
  EXPECT_FALSE(ReadFileVersionInfo(noTranslation, info));
  EXPECT_EQ(info.Version, L"");
  EXPECT_EQ(info.Company, L"");
  EXPECT_EQ(GetFileVersionText(noTranslation, L"n/a"), L"n/a");
}

TEST(VersionInfo, VersionTextDropsTheLastPart) {
  hvtest::TempDir dir;
  const std::wstring exe = dir / L"v.exe";
  ASSERT_TRUE(CopyFileW(hvtest::TestChildExe().c_str(), exe.c_str(), FALSE));
  std::string block = VersionWithoutTranslation();
  // Same resource with a translation entry for 0409/04E4.
  WORD translation[2] = {0x0409, 0x04E4};
  std::string var = VersionBlock(L"VarFileInfo", {}, 0, 1,
                                 VersionBlock(L"Translation", std::string(reinterpret_cast<char*>(translation), 4), 4, 0));
  block += var;
  WORD length = static_cast<WORD>(block.size());
  block.replace(0, 2, reinterpret_cast<const char*>(&length), 2);
  ASSERT_TRUE(WriteVersionResource(exe, block));
  TFileVersionInfo info;
  ASSERT_TRUE(ReadFileVersionInfo(exe, info));
  EXPECT_EQ(info.Company, L"Nobody");
  EXPECT_EQ(GetFileVersionText(exe, L"n/a"), L"1");
}

TEST(WinApi, UserComputerAndFolders) {
  const std::wstring user = GetCurrentUserName();
  ASSERT_FALSE(user.empty());
  const std::wstring qualified = GetQualifiedUserName();
  EXPECT_TRUE(qualified == user || qualified.ends_with(L"\\" + user)) << qualified;
  std::wstring ex;
  EXPECT_FALSE(TryGetUserNameEx(12345, ex)) << "an unknown name format fails";
  EXPECT_FALSE(GetLocalComputerName().empty());
  const std::wstring windows = GetWindowsDir();
  EXPECT_NE(GetFileAttributesW(windows.c_str()), INVALID_FILE_ATTRIBUTES) << windows;
  EXPECT_FALSE(GetAllUsersProfileDir().empty());

  // An unset %PUBLIC% gives empty, not the unexpanded reference.
  wchar_t saved[1024];
  DWORD n = GetEnvironmentVariableW(L"PUBLIC", saved, 1024);
  SetEnvironmentVariableW(L"PUBLIC", L"C:\\HvPublic");
  EXPECT_EQ(GetPublicDir(), L"C:\\HvPublic");
  SetEnvironmentVariableW(L"PUBLIC", nullptr);
  EXPECT_EQ(GetPublicDir(), L"");
  if (n) SetEnvironmentVariableW(L"PUBLIC", saved);
}

TEST(WinApi, VersionAndBitness) {
  EXPECT_TRUE(IsNT4OrLater());
  EXPECT_TRUE(IsWin2000OrLater());
  EXPECT_TRUE(IsVistaOrLater());
  EXPECT_TRUE(IsWindows64Bit());
  EXPECT_TRUE(IsProcess64Bit()) << "the suite is built for x64";
}

TEST(WinApi, ProcessesByNameAndPath) {
  const std::wstring exe = OwnExe();
  EXPECT_EQ(GetProcessImagePath(GetCurrentProcessId()).size(), exe.size());
  EXPECT_TRUE(IsProcessRunning(NameOf(exe), false));
  std::wstring upper = NameOf(exe);
  CharUpperW(upper.data());
  EXPECT_TRUE(IsProcessRunning(upper, false)) << "any case";
  EXPECT_FALSE(IsProcessRunning(L"C:\\elsewhere\\" + NameOf(exe), false)) << "by name only the name counts";
  EXPECT_TRUE(IsProcessRunning(GetProcessImagePath(GetCurrentProcessId()), true));
  EXPECT_FALSE(IsProcessRunning(NameOf(exe), true));
  EXPECT_FALSE(IsProcessRunning(L"no-such-process-hv.exe", false));
  EXPECT_EQ(GetProcessImagePath(0xFFFFFFF0), L"");
}

TEST(WinApi, OptionalFunctionsAndSuspendSeam) {
  TOptionalFunctions& f = OptionalFunctions();
  EXPECT_NE(f.GetTickCount64, nullptr);
  EXPECT_NE(f.QueryFullProcessImageNameW, nullptr);
  EXPECT_NE(f.SetSuspendState, nullptr);

  static BOOLEAN args[3];
  auto saved = f.SetSuspendState;
  f.SetSuspendState = [](BOOLEAN h, BOOLEAN c, BOOLEAN w) -> BOOLEAN {
    args[0] = h, args[1] = c, args[2] = w;
    return TRUE;
  };
  EXPECT_TRUE(SetSystemSuspendState(true, false, true));
  EXPECT_TRUE(args[0] && !args[1] && args[2]);
  f.SetSuspendState = nullptr;
  EXPECT_FALSE(SetSystemSuspendState(false, false, false)) << "a missing function is a failure";
  f.SetSuspendState = saved;

  EXPECT_EQ(LoadLibrarySilent(L"no-such-library-hv.dll", SEM_NOOPENFILEERRORBOX), nullptr);
  HMODULE m = LoadLibrarySilent(L"version.dll", SEM_NOOPENFILEERRORBOX);
  EXPECT_NE(m, nullptr);
  if (m) FreeLibrary(m);
}

TEST(WinApiUtils, LoadLibrarySilentOnThreadsLeavesTheProcessErrorModeAlone) {
  const UINT saved = SetErrorMode(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 300; ++i)
        if (HMODULE m = LoadLibrarySilent(L"version.dll", SEM_NOOPENFILEERRORBOX)) FreeLibrary(m);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(GetErrorMode(), 0u);
  SetErrorMode(saved);
}
