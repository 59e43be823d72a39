#include "hvwatchdog/WdSettings.h"

#include <gtest/gtest.h>

#include "WdTestJobs.h"
#include "support/TestSupport.h"

namespace {

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;

TEST(WdSettings, RoundTripIsByteExact) {
  TempDir tmp;
  const std::wstring job = tmp / L"job.buj";
  wdtest::WriteJob(job, tmp.Path(), L"D:\\B");
  TMonTaskList tasks;
  for (int i = 0; i < 3; ++i) {
    auto t = std::make_unique<TMonTask>(job, tmp / (L"d" + std::to_wstring(i)));
    t->RetainBak = i;
    t->MonStatus = i == 1 ? TMonTaskStatus::mtInvalid : TMonTaskStatus::mtEnabled;
    t->FileList.Add(L"b.txt");
    t->FileList.Add(L"sub\\ä.doc");
    tasks.Add(std::move(t));
  }
  TWdSettings s{10, 20, 600, 700, L"C:\\Jobs\\", 300, true, true};
  const std::wstring ini = tmp / L"HvWatchdog.ini";
  WriteWdSettings(ini, s, tasks, L"HvWatchdog", L"1.2.3.4");
  const std::string first = ReadBytes(ini);

  TWdSettings r;
  TMonTaskList back;
  ReadWdSettings(ini, 590, r, back);
  EXPECT_EQ(r.Top, 10);
  EXPECT_EQ(r.Height, 600);
  EXPECT_EQ(r.JobDir, L"C:\\Jobs\\");
  EXPECT_EQ(r.Interval, 300);
  EXPECT_TRUE(r.SysTray && r.WriteLog);
  ASSERT_EQ(back.Count(), 3u);
  // Invalid is stored as not enabled.
  EXPECT_EQ(back[1].MonStatus, TMonTaskStatus::mtDisabled);
  EXPECT_EQ(back[2].RetainBak, 2);
  EXPECT_EQ(back[2].FileList.CommaText(), L"b.txt,sub\\ä.doc");
  back[1].MonStatus = TMonTaskStatus::mtInvalid;

  WriteWdSettings(ini, r, back, L"HvWatchdog", L"1.2.3.4");
  EXPECT_EQ(ReadBytes(ini), first);
}

TEST(WdSettings, ReadsAtMost25AndDropsMissingJobs) {
  TempDir tmp;
  const std::wstring job = tmp / L"job.buj";
  wdtest::WriteJob(job, tmp.Path(), L"D:\\B");
  const std::wstring ini = tmp / L"HvWatchdog.ini";
  {
    auto f = TUnicodeIniFile::CreateForWrite(ini, true);
    f.WriteString(L"Config", L"Count", L"40");
    f.WriteString(L"Config", L"Height", L"100");
    for (int i = 0; i < 40; ++i) {
      wchar_t sec[16];
      swprintf(sec, 16, L"Monitor%.2d", i);
      f.WriteString(sec, L"BackupTask", i == 3 ? tmp / L"gone.buj" : job);
      f.WriteString(sec, L"Directory", L"C:\\D" + std::to_wstring(i));
      f.WriteString(sec, L"Count", L"2");
      f.WriteString(sec, L"File000", L"x.txt");
      f.WriteString(sec, L"File002", L"beyond.txt");
    }
    f.UpdateFile();
  }
  TWdSettings s;
  TMonTaskList tasks;
  ReadWdSettings(ini, 590, s, tasks);
  EXPECT_EQ(s.Height, 590);
  EXPECT_EQ(s.Interval, 1800);
  ASSERT_EQ(tasks.Count(), 24u);
  EXPECT_EQ(tasks[3].Dir, L"C:\\D4");
  EXPECT_EQ(tasks[0].FileList.CommaText(), L"x.txt");

  // Saving writes Count and at most 25 sections after erasing the old ones.
  WriteWdSettings(ini, s, tasks, L"HvWatchdog", L"1");
  auto f = TUnicodeIniFile::CreateForRead(ini);
  EXPECT_EQ(f.ReadInteger(L"Config", L"Count", 0), 24);
  EXPECT_FALSE(f.SectionExists(L"Monitor24"));
  EXPECT_TRUE(f.SectionExists(L"Monitor30"));  // beyond the 25 sections nothing is touched
}

TEST(WdSettings, UnwritableFileRaisesAndKeepsTheOldOne) {
  TempDir tmp;
  const std::wstring ini = tmp / L"HvWatchdog.ini";
  TMonTaskList tasks;
  WriteWdSettings(ini, TWdSettings{}, tasks, L"HvWatchdog", L"1");
  const std::string before = ReadBytes(ini);
  SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY);
  TWdSettings s;
  s.Interval = 60;
  EXPECT_THROW(WriteWdSettings(ini, s, tasks, L"HvWatchdog", L"1"), EWriteError);
  SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(ini), before);
}

}  // namespace
