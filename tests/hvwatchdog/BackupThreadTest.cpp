#include "hvwatchdog/BackupThread.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <mutex>
#include <set>

#include "base/text/PathUtils.h"
#include "hvwatchdog/copy/ExtFileTools.h"
#include "support/TestSupport.h"

namespace {

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;

TEST(BackupTargetName, HourDriveFolderAndPath) {
  EXPECT_EQ(BackupTargetName(L"D:\\Backup\\%Hour%\\", L"", L"C:\\Data\\a.txt", 14), L"D:\\Backup\\14\\Data\\a.txt");
  EXPECT_EQ(BackupTargetName(L"D:\\Backup\\%hour%\\", L"", L"C:\\a.txt", 7), L"D:\\Backup\\07\\a.txt");
  EXPECT_EQ(BackupTargetName(L"D:\\B\\", L"Drv?", L"C:\\Data\\a.txt", 0), L"D:\\B\\DrvC\\Data\\a.txt");
  EXPECT_EQ(BackupTargetName(L"D:\\B\\", L"", L"\\\\srv\\share\\x\\a.txt", 0), L"D:\\B\\x\\a.txt");
}

TEST(BackupCopyMode, SuffixesAndTheNoCompressionList) {
  TMatchList noComp;
  noComp.SetCommaText(L"docx,zip");
  const uint32_t base = CopyOptions({coOverwrite, coAttributes, coTimeStamp});
  EXPECT_EQ(base, 0x188u);
  struct {
    const wchar_t* name;
    int compress;
    uint32_t options;
    const wchar_t* suffix;
  } cases[] = {
      {L"a.txt", 0, base, L""},
      {L"a.txt", 1, base | CopyOptions({coCompress}), L".gz"},
      {L"a.DOCX", 1, base, L""},
      {L"a.txt", 2, base | CopyOptions({coCompress, coZipCompress}), L".zip"},
      {L"a.docx", 2, base | CopyOptions({coZipCompress}), L".zip"},
  };
  for (const auto& c : cases) {
    TCopyMode m = BackupCopyMode(c.name, c.compress, noComp);
    EXPECT_EQ(m.Options, c.options) << c.name << c.compress;
    EXPECT_EQ(m.Suffix, c.suffix) << c.name << c.compress;
  }
}

std::wstring Plan(int retain, std::set<int> present) {
  std::wstring out;
  auto exists = [&](const std::wstring& n) {
    for (int k : present)
      if (n == L"r.bak-" + std::to_wstring(k) + L".doc.gz") return true;
    return false;
  };
  for (const auto& s : PlanRotation(L"r.doc", L".gz", retain, exists)) {
    if (!out.empty()) out += L"; ";
    out += s.Kind == TRotationStep::rsDelete ? L"del " + s.From : s.From + L">" + s.To;
  }
  return out;
}

TEST(PlanRotation, DropsTheOldestOnlyWhenAllAreThere) {
  EXPECT_EQ(Plan(0, {}), L"");
  EXPECT_EQ(Plan(1, {}), L"r.doc.gz>r.bak-1.doc.gz");
  EXPECT_EQ(Plan(1, {1}), L"del r.bak-1.doc.gz; r.doc.gz>r.bak-1.doc.gz");
  EXPECT_EQ(Plan(3, {1, 2, 3}),
            L"del r.bak-3.doc.gz; r.bak-2.doc.gz>r.bak-3.doc.gz; r.bak-1.doc.gz>r.bak-2.doc.gz; "
            L"r.doc.gz>r.bak-1.doc.gz");
  // A gap is filled; nothing older is lost.
  EXPECT_EQ(Plan(3, {1, 3}), L"r.bak-1.doc.gz>r.bak-2.doc.gz; r.doc.gz>r.bak-1.doc.gz");
  EXPECT_EQ(Plan(3, {2, 3}), L"r.doc.gz>r.bak-1.doc.gz");
}

TEST(BackupFileLine, Layout) {
  EXPECT_EQ(BackupFileLine(3, L"C:\\D\\a.txt", L"E:\\B\\", 0, L"job.buj", L""),
            L"   => 03: C:\\D\\a.txt => E:\\B\\ (job.buj)");
  EXPECT_EQ(BackupFileLine(12, L"C:\\a", L"E:\\", 2, L"j.buj", L"Error - x"),
            L"   => 12: C:\\a => E:\\ (+2) (j.buj)\r\n  *** Error - x");
}

// A backup of one folder into another with the real engine.
class BackupRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Src = Tmp / L"src";
    Dest = Tmp / L"dest\\";
    CreateDirectoryW(Src.c_str(), nullptr);
  }
  std::wstring Target(const std::wstring& name) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return BackupTargetName(Dest, L"", AddPath(Src, name), st.wHour);
  }
  std::vector<std::wstring> Run(std::initializer_list<const wchar_t*> names, int compress, int retain,
                                std::vector<std::wstring>* unfinished = nullptr) {
    TMatchList files;
    for (auto n : names) files.Add(n);
    std::vector<std::wstring> lines;
    std::mutex lock;
    TBackupThread t(4, L"job.buj", Dest, Src, L"", L"docx", files, compress, retain, [&](const std::wstring& l) {
      std::lock_guard<std::mutex> g(lock);
      lines.push_back(l);
    });
    t.WaitFor();
    EXPECT_TRUE(t.Done());
    if (unfinished) *unfinished = t.Unfinished();
    return lines;
  }
  std::vector<std::wstring> Leftovers() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((GetParentDir(Target(L"a.txt")) + L"\\*.tmp").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do names.push_back(fd.cFileName);
      while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    return names;
  }
  TempDir Tmp;
  std::wstring Src, Dest;
};

TEST_F(BackupRun, CopiesPlainGzipAndZip) {
  WriteBytes(Src + L"\\a.txt", "alpha");
  WriteBytes(Src + L"\\b.docx", "beta");
  auto lines = Run({L"a.txt", L"b.docx"}, 1, 0);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"   => 04: " + Src + L"\\a.txt => " + Dest + L" (job.buj)");
  EXPECT_EQ(GetFileAttributesW((Target(L"a.txt") + L".gz").c_str()) != INVALID_FILE_ATTRIBUTES, true);
  EXPECT_EQ(ReadBytes(Target(L"b.docx")), "beta");
  Run({L"a.txt"}, 2, 0);
  EXPECT_NE(GetFileAttributesW((Target(L"a.txt") + L".zip").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(BackupRun, VersionsRotateAndTheOldestIsDropped) {
  WriteBytes(Src + L"\\a.txt", "v1");
  Run({L"a.txt"}, 0, 2);
  for (const char* v : {"v2", "v3", "v4"}) {
    WriteBytes(Src + L"\\a.txt", v);
    auto lines = Run({L"a.txt"}, 0, 2);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].find(L"***"), std::wstring::npos) << lines[0];
  }
  EXPECT_EQ(ReadBytes(Target(L"a.txt")), "v4");
  EXPECT_EQ(ReadBytes(InsertNameSuffix(Target(L"a.txt"), L".bak-1")), "v3");
  EXPECT_EQ(ReadBytes(InsertNameSuffix(Target(L"a.txt"), L".bak-2")), "v2");
  EXPECT_EQ(GetFileAttributesW(InsertNameSuffix(Target(L"a.txt"), L".bak-3").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(BackupRun, ReadOnlyCopiesAreReplacedAndRotated) {
  WriteBytes(Src + L"\\a.txt", "v1");
  SetFileAttributesW((Src + L"\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  Run({L"a.txt"}, 0, 0);
  SetFileAttributesW((Src + L"\\a.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  WriteBytes(Src + L"\\a.txt", "v2");
  SetFileAttributesW((Src + L"\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  auto lines = Run({L"a.txt"}, 0, 0);
  EXPECT_EQ(lines[0].find(L"***"), std::wstring::npos) << lines[0];
  EXPECT_EQ(ReadBytes(Target(L"a.txt")), "v2");
  // With one version kept, the read-only old version is deleted and replaced.
  for (const char* v : {"v3", "v4"}) {
    SetFileAttributesW((Src + L"\\a.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteBytes(Src + L"\\a.txt", v);
    SetFileAttributesW((Src + L"\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    lines = Run({L"a.txt"}, 0, 1);
    EXPECT_EQ(lines[0].find(L"***"), std::wstring::npos) << lines[0];
  }
  SetFileAttributesW((Src + L"\\a.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(Target(L"a.txt")), "v4");
  EXPECT_EQ(ReadBytes(InsertNameSuffix(Target(L"a.txt"), L".bak-1")), "v3");
}

TEST_F(BackupRun, ARefusedRotationKeepsEveryCopyAndTheNamePending) {
  WriteBytes(Src + L"\\a.txt", "v1");
  Run({L"a.txt"}, 0, 1);
  WriteBytes(Src + L"\\a.txt", "v2");
  Run({L"a.txt"}, 0, 1);
  WriteBytes(Src + L"\\a.txt", "v3");
  // The old version is held open without delete sharing: it can be neither deleted nor replaced.
  const std::wstring bak1 = InsertNameSuffix(Target(L"a.txt"), L".bak-1");
  HANDLE h = CreateFileW(bak1.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::vector<std::wstring> unfinished;
  auto lines = Run({L"a.txt"}, 0, 1, &unfinished);
  CloseHandle(h);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(L"  *** Error - Error deleting file"), std::wstring::npos) << lines[0];
  EXPECT_EQ(unfinished, std::vector<std::wstring>{L"a.txt"});
  EXPECT_EQ(ReadBytes(Target(L"a.txt")), "v2");
  EXPECT_EQ(ReadBytes(bak1), "v1");
  EXPECT_TRUE(Leftovers().empty());
  // The next run copies it.
  lines = Run({L"a.txt"}, 0, 1, &unfinished);
  EXPECT_TRUE(unfinished.empty()) << lines[0];
  EXPECT_EQ(ReadBytes(Target(L"a.txt")), "v3");
  EXPECT_EQ(ReadBytes(bak1), "v2");
}

// Several files are copied at once; lines, versions and the pending names keep the list's order.
TEST_F(BackupRun, ManyFilesAtOnceKeepTheirOrderAndVersions) {
  TMatchList files;
  for (int i = 0; i < 60; ++i) {
    const std::wstring sub = L"s" + std::to_wstring(i % 3);
    CreateDirectoryW((Src + L"\\" + sub).c_str(), nullptr);
    const std::wstring name = sub + L"\\f" + std::to_wstring(i) + (i % 4 == 0 ? L".docx" : L".txt");
    WriteBytes(Src + L"\\" + name, "v1 " + std::to_string(i));
    files.Add(name);
  }
  const std::vector<std::wstring> names = files.ToVector();
  const std::wstring locked = names[7];
  auto run = [&](std::vector<std::wstring>& unfinished) {
    std::vector<std::wstring> lines;
    std::mutex lock;
    TBackupThread t(2, L"job.buj", Dest, Src, L"", L"docx", files, 1, 1, [&](const std::wstring& l) {
      std::lock_guard<std::mutex> g(lock);
      lines.push_back(l);
    });
    t.WaitFor();
    unfinished = t.Unfinished();
    EXPECT_EQ(t.CopiedCount(), names.size() - unfinished.size());
    return lines;
  };
  std::vector<std::wstring> unfinished;
  run(unfinished);
  EXPECT_TRUE(unfinished.empty());
  for (const auto& n : names) WriteBytes(Src + L"\\" + n, "v2" + ReadBytes(Src + L"\\" + n).substr(2));
  HANDLE h = CreateFileW((Src + L"\\" + locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  auto lines = run(unfinished);
  CloseHandle(h);
  ASSERT_EQ(lines.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_TRUE(lines[i].starts_with(L"   => 02: " + Src + L"\\" + names[i] + L" => "));
    EXPECT_EQ(lines[i].find(L"***") != std::wstring::npos, names[i] == locked);
    const std::wstring suffix = names[i].ends_with(L".docx") ? L"" : L".gz";
    const std::wstring target = Target(names[i]);
    if (names[i] == locked) continue;
    EXPECT_NE(lines[i].find(L" (+1) "), std::wstring::npos);
    EXPECT_EQ(GetFileAttributesW((InsertNameSuffix(target, L".bak-1") + suffix).c_str()) != INVALID_FILE_ATTRIBUTES,
              true);
    if (suffix.empty()) {
      const std::string want = ReadBytes(Src + L"\\" + names[i]);
      EXPECT_EQ(ReadBytes(target), want);
      EXPECT_EQ(ReadBytes(InsertNameSuffix(target, L".bak-1")), "v1" + want.substr(2));
    }
  }
  EXPECT_EQ(unfinished, std::vector<std::wstring>{locked});
}

TEST_F(BackupRun, ALockedSourceStaysPending) {
  WriteBytes(Src + L"\\a.txt", "a");
  WriteBytes(Src + L"\\b.txt", "b");
  HANDLE h = CreateFileW((Src + L"\\a.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::vector<std::wstring> unfinished;
  auto lines = Run({L"a.txt", L"b.txt"}, 0, 0, &unfinished);
  CloseHandle(h);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(L"\r\n  *** "), std::wstring::npos);
  EXPECT_EQ(unfinished, std::vector<std::wstring>{L"a.txt"});
  EXPECT_EQ(ReadBytes(Target(L"b.txt")), "b");
}

TEST_F(BackupRun, ACancelledThreadLeavesTheRestUnfinished) {
  std::atomic<int> calls{0};
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  TBackupThread::CopySeam() = [&](const std::wstring&, const std::wstring&, uint32_t, std::wstring&) {
    ++calls;
    WaitForSingleObject(gate, 10000);
    return 0;
  };
  TMatchList files;
  for (auto n : {L"a", L"b", L"c"}) files.Add(n);
  TBackupThread t(1, L"j", Dest, Src, L"", L"", files, 0, 0, nullptr);
  while (calls == 0) Sleep(1);
  t.Cancel();
  SetEvent(gate);
  t.WaitFor();
  TBackupThread::CopySeam() = nullptr;
  CloseHandle(gate);
  EXPECT_EQ(t.Unfinished(), (std::vector<std::wstring>{L"b", L"c"}));
  EXPECT_EQ(t.CopiedCount(), 1u);
}

}  // namespace

namespace {

// Each destination folder is made once per run; one that vanishes meanwhile fails only the file
// being copied then, and is made again for the next.
TEST_F(BackupRun, ADestinationFolderThatVanishesIsMadeAgain) {
  for (auto n : {L"a.txt", L"b.txt", L"c.txt"}) WriteBytes(Src + L"\\" + n, "x");
  const std::wstring folder = GetParentDir(Target(L"a.txt"));
  TBackupThread::CopySeam() = [&](const std::wstring& source, const std::wstring& dest, uint32_t, std::wstring&) {
    if (ExtractFileName(source) == L"b.txt") {
      DeleteFileW((folder + L"\\a.txt").c_str());
      RemoveDirectoryW(folder.c_str());
    }
    return CopyFileW(source.c_str(), dest.c_str(), FALSE) ? 0 : copyerr::kCreate;
  };
  std::vector<std::wstring> unfinished;
  Run({L"a.txt", L"b.txt", L"c.txt"}, 0, 0, &unfinished);
  TBackupThread::CopySeam() = nullptr;
  EXPECT_EQ(unfinished, std::vector<std::wstring>{L"b.txt"});
  EXPECT_EQ(ReadBytes(Target(L"c.txt")), "x");
}

}  // namespace
