#include "base/os/WinShell.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "winui/ComScope.h"
#include "support/TestSupport.h"

using namespace hv;

namespace {

bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether this platform's shell link object keeps the run-as flag at all.
bool LinkKeepsRunAsFlag() {
  TComScope com;
  Microsoft::WRL::ComPtr<IShellLinkDataList> data;
  bool kept = false;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&data)))) {
    DWORD flags = 0;
    data->SetFlags(kLinkRunAsUser);
    kept = SUCCEEDED(data->GetFlags(&flags)) && (flags & kLinkRunAsUser);
  }
  return kept;
}

class EnvVar {
 public:
  explicit EnvVar(const wchar_t* name) : FName(name) {
    wchar_t buf[1024];
    DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    FHad = n > 0 && n < 1024;
    if (FHad) FValue.assign(buf, n);
  }
  ~EnvVar() { SetEnvironmentVariableW(FName, FHad ? FValue.c_str() : nullptr); }
  void Set(const wchar_t* value) { SetEnvironmentVariableW(FName, value); }

 private:
  const wchar_t* FName;
  bool FHad;
  std::wstring FValue;
};

}  // namespace

TEST(WinShellFolders, SpecialAndKnownFoldersAgree) {
  const std::wstring docs = GetDocumentsFolder();
  ASSERT_FALSE(docs.empty());
  EXPECT_NE(docs.back(), L'\\');
  EXPECT_EQ(docs, GetSpecialFolder(CSIDL_PERSONAL));
  EXPECT_EQ(GetAppDataFolder(), GetSpecialFolder(CSIDL_APPDATA));
  EXPECT_EQ(GetKnownFolder(FOLDERID_RoamingAppData), GetAppDataFolder());
  EXPECT_EQ(GetSpecialFolder(0x7F), L"") << "no such folder";
  EXPECT_EQ(GetSpecialFolder(CSIDL_WINDOWS).size(), GetKnownFolder(FOLDERID_Windows).size());
  EXPECT_EQ(GetKnownFolder(GUID{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}}), L"");
}

TEST(WinShellFolders, ProgramFilesFromEnvironmentThenKnownFolder) {
  EnvVar x86(L"ProgramFiles(x86)"), w6432(L"ProgramW6432"), common(L"CommonProgramW6432");
  x86.Set(nullptr);
  w6432.Set(L"C:\\Programs64");
  common.Set(L"");
  struct Case { int kind; std::wstring result; } cases[] = {
      {0, GetKnownFolder(FOLDERID_ProgramFiles)},
      {9, GetKnownFolder(FOLDERID_ProgramFiles)},
      {1, GetKnownFolder(FOLDERID_ProgramFilesCommon)},
      {2, GetKnownFolder(FOLDERID_ProgramFilesX86)},  // variable missing
      {4, L"C:\\Programs64"},
      {5, GetKnownFolder(FOLDERID_ProgramFilesCommon)},  // variable empty
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.result.empty());
    EXPECT_EQ(GetProgramFilesDir(c.kind), c.result) << c.kind;
  }
  x86.Set(L"D:\\x86");
  EXPECT_EQ(GetProgramFilesDir(2), L"D:\\x86");
  NotifyShellAllChanged();
}

TEST(WinShellLinks, CreateAndReadBack) {
  hvtest::TempDir dir;
  const std::wstring target = dir / L"prog.exe";
  ASSERT_TRUE(hvtest::WriteBytes(target, "MZ"));
  const std::wstring link = dir / L"prog.lnk";
  ASSERT_EQ(CreateShellLink(link, target, L"/force \"a b\"", dir.Path(), L"Run the program", false), S_OK);
  std::wstring t, a, w, d;
  bool runAs = true;
  EXPECT_GE(ReadShellLinkEx(link, t, a, w, d, runAs), 0);
  EXPECT_TRUE(SameFileName(t, target)) << t.c_str();
  EXPECT_EQ(a, L"/force \"a b\"");
  EXPECT_TRUE(SameFileName(w, dir.Path())) << w.c_str();
  EXPECT_EQ(d, L"Run the program");
  EXPECT_FALSE(runAs);

  // Without working folder and description those stay empty.
  const std::wstring bare = dir / L"bare.lnk";
  ASSERT_EQ(CreateShellLinkEx(bare, target, L"", L"", L"", L"", 0, false), S_OK);
  EXPECT_TRUE(ReadShellLink(bare, t, a, w, d));
  EXPECT_TRUE(SameFileName(t, target));
  EXPECT_EQ(a + w + d, L"");

  // Run as administrator: the link carries the flag where the platform keeps it.
  const std::wstring admin = dir / L"admin.lnk";
  ASSERT_EQ(CreateShellLink(admin, target, L"", L"", L"", true), S_OK);
  EXPECT_GE(ReadShellLinkEx(admin, t, a, w, d, runAs), 0);
  EXPECT_TRUE(SameFileName(t, target));
  if (LinkKeepsRunAsFlag())
    EXPECT_TRUE(runAs);
  else
    std::printf("note: this shell link object keeps no run-as flag\n");
}

TEST(WinShellLinks, MissingAndDamagedLinkFiles) {
  hvtest::TempDir dir;
  std::wstring t = L"x", a = L"x", w = L"x", d = L"x";
  bool runAs = true;
  EXPECT_EQ(ReadShellLinkEx(dir / L"missing.lnk", t, a, w, d, runAs), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(t + a + w + d, L"");
  EXPECT_FALSE(runAs);
  EXPECT_FALSE(ReadShellLink(dir / L"missing.lnk", t, a, w, d));

  ASSERT_TRUE(hvtest::WriteBytes(dir / L"damaged.lnk", "this is no shell link at all"));
  EXPECT_LT(ReadShellLinkEx(dir / L"damaged.lnk", t, a, w, d, runAs), 0) << "a failed load is reported";
  EXPECT_EQ(t, L"");
  EXPECT_FALSE(ReadShellLink(dir / L"damaged.lnk", t, a, w, d));

  EXPECT_LT(CreateShellLink(dir / L"no-folder\\x.lnk", dir / L"t.exe", L"", L"", L"", false), 0);
}

TEST(WinShellOperations, ClassicMoveAndDelete) {
  hvtest::TempDir dir;
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"a.txt", "a"));
  CreateDirectoryW((dir / L"sub").c_str(), nullptr);
  EXPECT_EQ(ShellMoveFiles(nullptr, dir / L"a.txt", dir / L"sub\\b.txt", L"", true), 0);
  EXPECT_FALSE(Exists(dir / L"a.txt"));
  EXPECT_EQ(hvtest::ReadBytes(dir / L"sub\\b.txt"), "a");

  ASSERT_TRUE(hvtest::WriteBytes(dir / L"sub\\c.txt", "c"));
  EXPECT_EQ(ShellDeleteFiles(nullptr, dir / L"sub\\*.txt", L"Deleting", false, true), 0);
  EXPECT_FALSE(Exists(dir / L"sub\\b.txt"));
  EXPECT_FALSE(Exists(dir / L"sub\\c.txt"));
  EXPECT_TRUE(Exists(dir / L"sub"));

  ShellMoveFiles(nullptr, dir / L"missing.txt", dir / L"x.txt", L"", true);
  EXPECT_FALSE(Exists(dir / L"x.txt"));
}

TEST(WinShellOperations, ItemOperationsReportTheirResult) {
  hvtest::TempDir dir;
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"a.txt", "a"));
  CreateDirectoryW((dir / L"sub").c_str(), nullptr);
  HRESULT hr = ShellMoveItem(nullptr, dir / L"a.txt", dir / L"sub\\b.txt", true);
  if (hr == E_NOTIMPL) {
    // Wine's file-operation object implements no operation: the failure is reported, nothing moves.
    EXPECT_TRUE(Exists(dir / L"a.txt"));
    EXPECT_EQ(ShellDeleteFolder(nullptr, dir / L"sub", false, true), E_NOTIMPL);
    EXPECT_TRUE(Exists(dir / L"sub"));
    return;
  }
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(hvtest::ReadBytes(dir / L"sub\\b.txt"), "a");
  EXPECT_EQ(ShellDeleteFolder(nullptr, dir / L"sub", false, true), S_OK);
  EXPECT_FALSE(Exists(dir / L"sub"));
}
