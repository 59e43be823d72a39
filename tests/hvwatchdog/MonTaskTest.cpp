#include "hvwatchdog/MonTask.h"

#include <gtest/gtest.h>

#include <vector>

#include "WdTestJobs.h"
#include "support/TestSupport.h"

namespace {

using namespace hv;
using hvtest::TempDir;
using wdtest::WriteJob;

TEST(CheckTaskFile, ConditionsTable) {
  TempDir tmp;
  CreateDirectoryW((tmp / L"src").c_str(), nullptr);
  const std::wstring job = tmp / L"job.buj";
  struct {
    const wchar_t* dest;
    wdtest::TKeys keys;
    int plain;
    int withList;
  } cases[] = {
      {L"D:\\Backup", {}, 0, 0},
      {L"D:\\Backup\\%HOUR%\\", {}, 0, 0},
      {L"D:\\Backup\\%date%\\", {}, 1, 1},
      {L"D:\\%hour%\\%user%", {}, 1, 1},
      {L"D:\\Backup", {{L"DestMode", L"2"}}, 1, 1},
      {L"D:\\Backup", {{L"FtpBackup", L"1"}}, 1, 1},
      {L"D:\\Backup", {{L"Encrypt", L"1"}}, 1, 1},
      {L"D:\\Backup", {{L"DirCount", L"0"}}, 0, 1},
  };
  for (const auto& c : cases) {
    WriteJob(job, tmp / L"src", c.dest, c.keys);
    std::vector<std::pair<std::wstring, int>> sources;
    EXPECT_EQ(CheckTaskFile(job, nullptr), c.plain) << c.dest;
    EXPECT_EQ(CheckTaskFile(job, &sources), c.withList) << c.dest;
    if (c.withList == 0) {
      ASSERT_EQ(sources.size(), 1u);
      EXPECT_EQ(sources[0].first, tmp / L"src");
    }
  }
  EXPECT_EQ(CheckTaskFile(tmp / L"missing.buj", nullptr), 2);
  // A folder in place of the file cannot be read.
  CreateDirectoryW((tmp / L"dir.buj").c_str(), nullptr);
  EXPECT_NE(CheckTaskFile(tmp / L"dir.buj", nullptr), 0);
}

TEST(LoadTaskSettings, ReadsDestinationCompressionAndFilters) {
  TempDir tmp;
  const std::wstring src = tmp / L"src";
  CreateDirectoryW(src.c_str(), nullptr);
  const std::wstring job = tmp / L"job.buj";
  const TTaskDefaults defaults{L"Drv?", L"gz,zip"};
  std::vector<std::wstring> log;
  auto sink = [&](const std::wstring& s) { log.push_back(s); };

  WriteJob(job, src, L"D:\\Backup", {{L"Compress", L"1"}, {L"CompressAsZip", L"1"}, {L"NoCompTypes", L"#"}},
           {{L"FilterMode", L"2"}, {L"Filter", L"*.*"}, {L"BackupMode", L"1"}, {L"Exclude", L"tmp,bak"},
            {L"IncludeDirs", L"0"}, {L"SubCount", L"2"}, {L"SubDir000", L"\"Cache\""}, {L"SubDir001", L"C:\\abs"},
            {L"DirFilter", L"##x,y"}});
  TMonTask t(job, src);
  ASSERT_EQ(LoadTaskSettings(t, defaults, sink), 0);
  EXPECT_EQ(t.DestDir, L"D:\\Backup\\");
  EXPECT_EQ(t.DrvId, L"Drv?");
  EXPECT_EQ(t.Compress, 2);
  EXPECT_EQ(t.NoCompCommaText, L"");
  EXPECT_EQ(t.MonFilter.FileFilter.Filter(), L"*.*");
  EXPECT_EQ(t.MonFilter.FileFilter.Mode(), TFilterMode::fmExclude);
  EXPECT_FALSE(t.MonFilter.IncludeExts);
  EXPECT_EQ(t.MonFilter.ExtList.CommaText(), L"bak,tmp");
  EXPECT_EQ(t.MonFilter.SubDirList.CommaText(), L"Cache");
  EXPECT_FALSE(t.MonFilter.SubDirFilter.Regular());
  EXPECT_EQ(t.MonFilter.SubDirFilter.Filter(), L"#x|y");
  EXPECT_EQ(t.MonFilter.SubDirFilter.Mode(), TFilterMode::fmInclude);

  WriteJob(job, src, L"D:\\Backup", {{L"Compress", L"1"}, {L"DestMode", L"1"}},
           {{L"Regular", L"0"}, {L"FilterMode", L"1"}, {L"Filter", L"[bad"}, {L"DirFilter", L"#^cache$"}});
  TMonTask u(job, src);
  ASSERT_EQ(LoadTaskSettings(u, defaults, sink), 0);
  EXPECT_EQ(u.Compress, 1);
  EXPECT_EQ(u.DrvId, L"");
  EXPECT_EQ(u.NoCompCommaText, L"gz,zip");
  EXPECT_EQ(u.MonFilter.FileFilter.Mode(), TFilterMode::fmOff);  // invalid mask list: off
  EXPECT_TRUE(u.MonFilter.IncludeExts);
  EXPECT_TRUE(u.MonFilter.SubDirFilter.Regular());
  EXPECT_EQ(u.MonFilter.SubDirFilter.Filter(), L"^cache$");
  EXPECT_TRUE(log.empty());

  WriteJob(job, src, L"D:\\Backup", {}, {{L"DirFilter", L"#"}});
  TMonTask v(job, src);
  ASSERT_EQ(LoadTaskSettings(v, defaults, sink), 0);
  EXPECT_EQ(v.MonFilter.SubDirFilter.Mode(), TFilterMode::fmInclude);
  EXPECT_TRUE(v.MonFilter.SubDirFilter.MatchesFilter(L"any"));
}

TEST(LoadTaskSettings, FailuresMakeTheDirectoryInvalid) {
  TempDir tmp;
  const std::wstring src = tmp / L"src";
  CreateDirectoryW(src.c_str(), nullptr);
  const std::wstring job = tmp / L"job.buj";
  WriteJob(job, src, L"D:\\Backup");
  std::vector<std::wstring> log;
  auto sink = [&](const std::wstring& s) { log.push_back(s); };

  TMonTask other(job, tmp / L"other");
  EXPECT_EQ(LoadTaskSettings(other, {}, sink), 2);
  EXPECT_EQ(other.MonStatus, TMonTaskStatus::mtInvalid);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], L"Directory \"" + tmp / L"other" + L"\" not specified in " + job + L"!");

  RemoveDirectoryW(src.c_str());
  TMonTask gone(job, src);
  EXPECT_EQ(LoadTaskSettings(gone, {}, sink), 2);
  EXPECT_EQ(log.back(), L"Directory \"" + src + L"\" not found!");
}

TEST(TMonTaskList, RefusesDuplicatesAndThe26th) {
  TMonTaskList list;
  EXPECT_EQ(list.Add(std::make_unique<TMonTask>(L"C:\\a.buj", L"C:\\Data")), TMonTaskList::arAdded);
  auto dup = std::make_unique<TMonTask>(L"c:\\A.BUJ", L"C:\\data\\");
  EXPECT_EQ(list.Add(std::move(dup)), TMonTaskList::arDuplicate);
  EXPECT_EQ(list.Add(std::make_unique<TMonTask>(L"C:\\b.buj", L"C:\\Data")), TMonTaskList::arAdded);
  for (int i = 2; i < 25; ++i)
    ASSERT_EQ(list.Add(std::make_unique<TMonTask>(L"C:\\a.buj", L"C:\\D" + std::to_wstring(i))), TMonTaskList::arAdded);
  TMonTask extra(L"C:\\a.buj", L"C:\\X");
  EXPECT_EQ(list.Add(std::make_unique<TMonTask>(L"C:\\a.buj", L"C:\\X")), TMonTaskList::arFull);
  EXPECT_EQ(list.Count(), 25u);
  EXPECT_EQ(TMonTaskList::RefusedText(TMonTaskList::arFull, extra), L"No more than 25 directories can be monitored!");
  EXPECT_EQ(TMonTaskList::ItemText(8, list[8]), L"09: C:\\D8");
}

TEST(TaskConditionsText, Layout) {
  EXPECT_EQ(TaskConditionsText(L"j.buj"),
            L"The backup task \"j.buj\" has invalid settings!\r\nThe following conditions must be met for "
            L"HvWatchdog:\r\nBackup method: Separate files - Separate directories for drives\r\nor Original full "
            L"directory structure, no FTP, no encryption, no placeholders");
}

}  // namespace
