#include "hvwatchdog/Monitoring.h"

#include <gtest/gtest.h>

#include <regex>

#include "WdTestJobs.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "hvwatchdog/BackupThread.h"
#include "support/TestSupport.h"

namespace {

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;
using wdtest::PumpUntil;

TEST(CountTexts, FilesAndCountdown) {
  EXPECT_EQ(FileCountText(0), L"No files");
  EXPECT_EQ(FileCountText(1), L"1 file");
  EXPECT_EQ(FileCountText(9999), L"9999 files");
  EXPECT_EQ(FileCountText(12345).size(), std::wstring(L"12,345 files").size());
  struct {
    int t;
    const wchar_t* text;
  } cases[] = {{3725, L"1 h2 m"}, {3600, L"1 h0 m"}, {754, L"12 m"}, {125, L"2 m 5 s"}, {59, L"59 s"}, {0, L"0 s"}};
  for (const auto& c : cases) EXPECT_EQ(CountdownText(true, c.t), c.text);
  EXPECT_EQ(CountdownText(false, 100), L"on demand");
}

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Src = Tmp / L"src";
    Dest = Tmp / L"dest";
    Job = Tmp / L"job.buj";
    CreateDirectoryW(Src.c_str(), nullptr);
    CreateDirectoryW(Dest.c_str(), nullptr);
    wdtest::WriteJob(Job, Src, Dest, {{L"DestMode", L"1"}}, {{L"BackupMode", L"1"}, {L"Exclude", L"tmp"}});
    M.Tasks.Add(std::make_unique<TMonTask>(Job, Src));
    ASSERT_EQ(LoadTaskSettings(M.Tasks[0], {}, nullptr), 0);
    M.LogDir = Tmp.Path();
    M.BuInterval = -1;
    M.OnLog = [this](const std::wstring& l) { Memo.push_back(l); };
    M.OnNotice = [this](const std::wstring& n) { Notices.push_back(n); };
  }
  void TearDown() override {
    SetEvent(Gate);
    TBackupThread::CopySeam() = nullptr;
    CloseHandle(Gate);
  }
  // Copies wait for Gate; Copies counts them.
  void BlockCopies() {
    TBackupThread::CopySeam() = [this](const std::wstring&, const std::wstring&, uint32_t, std::wstring&) {
      ++Copies;
      WaitForSingleObject(Gate, 20000);
      return 0;
    };
  }
  void FinishRuns() {
    ASSERT_TRUE(PumpUntil([&] { return !M.ReleaseDoneThreads(); }));
  }
  std::wstring Target(const std::wstring& name) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return BackupTargetName(AddPathDelimiter(Dest), L"", AddPath(Src, name), st.wHour);
  }
  TempDir Tmp;
  std::wstring Src, Dest, Job;
  TWdMonitor M;
  std::vector<std::wstring> Memo, Notices;
  HANDLE Gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> Copies{0};
};

TEST_F(MonitorTest, ChangedFilesArePendingAndCopiedWithTheDailyLog) {
  std::wstring error;
  ASSERT_TRUE(M.StartMonitoring(error)) << error;
  M.WriteLog = true;
  WriteBytes(Src + L"\\a.txt", "a");
  WriteBytes(Src + L"\\skip.tmp", "t");
  CreateDirectoryW((Src + L"\\sub").c_str(), nullptr);
  WriteBytes(Src + L"\\sub\\b.txt", "b");
  ASSERT_TRUE(PumpUntil([&] { return M.FileCount() == 2; }));
  EXPECT_TRUE(M.Tasks[0].FileList.Contains(L"sub\\b.txt"));
  EXPECT_FALSE(M.Tasks[0].FileList.Contains(L"skip.tmp"));

  M.InstantBackup = true;
  EXPECT_TRUE(M.Tick());
  EXPECT_EQ(M.FileCount(), 0u);
  FinishRuns();
  EXPECT_TRUE(M.LogOpen());
  M.Tick();
  EXPECT_FALSE(M.LogOpen());
  EXPECT_EQ(ReadBytes(Target(L"sub\\b.txt")), "b");

  SYSTEMTIME st;
  GetLocalTime(&st);
  const std::string log = ReadBytes(DailyLogName(Tmp.Path(), st));
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
  const std::wstring text = Utf8ToWide(log.substr(3));
  EXPECT_TRUE(std::regex_search(text, std::wregex(L"^.+  ==> 2 files need to be backed up\r\n"))) << text;
  EXPECT_NE(text.find(L"   => 01: " + Src + L"\\a.txt => " + Dest + L"\\ (job.buj)\r\n"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"   => 01: " + Src + L"\\sub\\b.txt => "), std::wstring::npos);
  M.StopMonitoring();
  EXPECT_FALSE(M.Monitoring());
  // A stop on request is no failure of the watch.
  EXPECT_TRUE(Notices.empty()) << Notices.front();
  for (const auto& line : Memo) EXPECT_EQ(line.find(L" *** "), std::wstring::npos) << line;
}

TEST_F(MonitorTest, AChangeReportedJustBeforeTheStopIsCopied) {
  std::wstring error;
  ASSERT_TRUE(M.StartMonitoring(error)) << error;
  WriteBytes(Src + L"\\late.txt", "late");
  // The watch has reported the change, but its report (WM_USER + 138) still waits in the queue.
  const DWORD start = GetTickCount();
  MSG msg;
  while (!PeekMessageW(&msg, nullptr, WM_USER + 138, WM_USER + 138, PM_NOREMOVE)) {
    ASSERT_LT(GetTickCount() - start, 30000u) << "the change was not reported";
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
  }
  M.StopMonitoring();
  EXPECT_EQ(ReadBytes(Target(L"late.txt")), "late");
  EXPECT_EQ(M.FileCount(), 0u);
}

TEST_F(MonitorTest, AdmissionOfChanges) {
  TMonTask& t = M.Tasks[0];
  CreateDirectoryW((Src + L"\\d").c_str(), nullptr);
  WriteBytes(Src + L"\\d\\in.txt", "x");
  M.DirChangeNotify(2, waAdded, L"a.txt");
  M.DirChangeNotify(0, waAdded, L"a.txt");
  EXPECT_EQ(M.FileCount(), 0u);
  M.DirChangeNotify(1, waModified, L"a.txt");
  M.DirChangeNotify(1, waModified, L"A.TXT");
  EXPECT_EQ(M.FileCount(), 1u);
  // A folder that arrives brings its files.
  M.DirChangeNotify(1, waRenamedNew, L"d");
  EXPECT_TRUE(t.FileList.Contains(L"d\\in.txt"));
  EXPECT_FALSE(t.FileList.Contains(L"d"));
  M.DirChangeNotify(1, waRemoved, L"a.txt");
  M.DirChangeNotify(1, waRemoved, L"never.txt");
  EXPECT_EQ(t.FileList.CommaText(), L"d\\in.txt");
  // A folder moved away or deleted as a whole takes its pending files along, and only them.
  for (auto n : {L"d\\sub\\x.txt", L"d.txt", L"dd\\y.txt"}) t.FileList.Add(n);
  M.DirChangeNotify(1, waRenamedOld, L"D");
  EXPECT_EQ(t.FileList.CommaText(), L"d.txt,dd\\y.txt");
  M.DirChangeNotify(1, waRemoved, L"dd");
  EXPECT_EQ(t.FileList.CommaText(), L"d.txt");
}

// A filter that gives up admits the name and is reported once, in the daily log, the memo and as a
// notice; the names after it are admitted without a further report.
TEST_F(MonitorTest, AFilterThatGivesUpIsReportedOnceAndAdmits) {
  M.WriteLog = true;
  TTextFilter& filter = M.Tasks[0].MonFilter.FileFilter;
  filter.SetRegular(true);
  filter.SetMode(TFilterMode::fmInclude);
  filter.SetFilter(L".(a|a)*(?!)");
  const std::wstring name(178, L'a');
  for (const auto& n : {name, name + L".txt", std::wstring(L"b.txt")}) M.DirChangeNotify(1, waAdded, n);
  EXPECT_EQ(M.FileCount(), 3u);
  ASSERT_EQ(Notices.size(), 1u);
  EXPECT_NE(Notices[0].find(L"Filter error: \".(a|a)*(?!)\" takes too long on \"" + name + L"\""), std::wstring::npos)
      << Notices[0];
  ASSERT_EQ(Memo.size(), 1u);
  EXPECT_NE(Memo[0].find(L" - 01: " + Notices[0]), std::wstring::npos) << Memo[0];
  EXPECT_FALSE(M.LogOpen());
  SYSTEMTIME st;
  GetLocalTime(&st);
  const std::string log = ReadBytes(DailyLogName(Tmp.Path(), st));
  EXPECT_NE(Utf8ToWide(log).find(Memo[0] + L"\r\n"), std::wstring::npos);
}

TEST_F(MonitorTest, AMissingDestinationKeepsTheFilesPending) {
  std::wstring error;
  ASSERT_TRUE(M.StartMonitoring(error));
  M.Tasks[0].DestDir = L":NoSuchVolume:\\Backup\\";
  M.Tasks[0].FileList.Add(L"a.txt");
  for (int i = 1; i <= 2; ++i) {
    M.RunBackup(false);
    EXPECT_EQ(M.Tasks[0].ErrCount, i);
  }
  EXPECT_EQ(M.FileCount(), 1u);
  EXPECT_NE(Memo.back().find(L" - 01: Drive \"NoSuchVolume\" not ready!"), std::wstring::npos) << Memo.back();
  EXPECT_EQ(Memo.back().substr(0, 5), L" *** ");
}

TEST_F(MonitorTest, ADirectoryStillBeingCopiedIsSkipped) {
  BlockCopies();
  M.Tasks[0].FileList.Add(L"a.txt");
  M.RunBackup(false);
  ASSERT_TRUE(M.Tasks[0].BuThread);
  M.Tasks[0].FileList.Add(L"b.txt");
  M.RunBackup(false);
  EXPECT_TRUE(M.Tasks[0].FileList.Contains(L"b.txt"));
  SetEvent(Gate);
  FinishRuns();
  M.RunBackup(false);
  FinishRuns();
  EXPECT_EQ(Copies, 2);
  EXPECT_EQ(M.FileCount(), 0u);
}

TEST_F(MonitorTest, StoppingCopiesTheNamesOfADirectoryThatWasStillBusy) {
  BlockCopies();
  M.Tasks[0].FileList.Add(L"a.txt");
  M.RunBackup(false);
  ASSERT_TRUE(PumpUntil([&] { return Copies == 1; }));
  M.Tasks[0].FileList.Add(L"b.txt");
  M.ProcessMessages = [&] { SetEvent(Gate); };
  M.StopMonitoring();
  EXPECT_EQ(Copies, 2);
  EXPECT_EQ(M.FileCount(), 0u);
  EXPECT_FALSE(M.AnyBackupRunning());
}

TEST_F(MonitorTest, ClosingDuringARunWaitsAndKeepsUnfinishedNames) {
  BlockCopies();
  std::wstring error;
  ASSERT_TRUE(M.StartMonitoring(error));
  for (auto n : {L"a.txt", L"b.txt", L"c.txt"}) M.Tasks[0].FileList.Add(n);
  M.RunBackup(false);
  ASSERT_TRUE(PumpUntil([&] { return Copies == 1; }));
  int waits = 0;
  M.ProcessMessages = [&] {
    ++waits;
    // Nothing re-enters while the final wait runs.
    EXPECT_TRUE(M.InFinalWait());
    M.InstantBackup = true;
    EXPECT_FALSE(M.Tick());
    M.StopMonitoring();
    M.Close(false);
    SetEvent(Gate);
  };
  M.Close(true);
  EXPECT_GE(waits, 1);
  EXPECT_FALSE(M.AnyBackupRunning());
  EXPECT_FALSE(M.Monitoring());
  EXPECT_EQ(Copies, 1);
  EXPECT_EQ(M.Tasks[0].FileList.CommaText(), L"b.txt,c.txt");
}

TEST_F(MonitorTest, FailedCopiesStayPendingForTheNextRun) {
  int failures = 1;
  // A file that was deleted after its change has nothing to copy: it is not kept pending.
  TBackupThread::CopySeam() = [&](const std::wstring& src, const std::wstring&, uint32_t, std::wstring&) {
    return (src.ends_with(L"a.txt") && failures-- > 0) || src.ends_with(L"gone.txt")
               ? WithOperation(copyerr::kOpen, TCopyOperation::opCopy)
               : 0;
  };
  WriteBytes(Src + L"\\a.txt", "a");
  for (auto n : {L"a.txt", L"b.txt", L"gone.txt"}) M.Tasks[0].FileList.Add(n);
  M.RunBackup(false);
  FinishRuns();
  EXPECT_EQ(M.Tasks[0].FileList.CommaText(), L"a.txt");
  M.RunBackup(false);
  FinishRuns();
  EXPECT_EQ(M.FileCount(), 0u);
}

TEST_F(MonitorTest, WatchErrorsAreLoggedAndShown) {
  std::wstring error;
  ASSERT_TRUE(M.StartMonitoring(error));
  WriteBytes(Src + L"\\old.txt", "o");
  ASSERT_TRUE(PumpUntil([&] { return M.FileCount() == 1; }));
  M.Tasks[0].FileList.Clear();
  M.Tasks[0].DirWatch->SimulateFailure(kWatchOverflow);
  WriteBytes(Src + L"\\new.txt", "n");
  // After the overflow the directory is read again: nothing is lost.
  ASSERT_TRUE(PumpUntil([&] { return M.FileCount() == 2; }));
  ASSERT_FALSE(Notices.empty());
  EXPECT_EQ(M.Tasks[0].GetRunStatus(), 1);

  M.Tasks[0].DirWatch->SimulateFailure(ERROR_ACCESS_DENIED);
  WriteBytes(Src + L"\\x.txt", "x");
  ASSERT_TRUE(PumpUntil([&] { return M.Tasks[0].GetRunStatus() == 0; }));
  ASSERT_TRUE(PumpUntil([&] { return Notices.back().find(L"has stopped") != std::wstring::npos; }));
  M.StopMonitoring();
}

TEST_F(MonitorTest, StartupCheckLeavesARunningDirectoryAlone) {
  BlockCopies();
  M.Tasks[0].FileList.Add(L"a.txt");
  M.RunBackup(false);
  DeleteFileW(Job.c_str());
  M.CheckTasks();
  EXPECT_EQ(M.Tasks[0].MonStatus, TMonTaskStatus::mtEnabled);
  SetEvent(Gate);
  FinishRuns();
  M.CheckTasks();
  EXPECT_EQ(M.Tasks[0].MonStatus, TMonTaskStatus::mtInvalid);
  std::wstring error;
  EXPECT_FALSE(M.StartMonitoring(error));
  EXPECT_EQ(error, L"Please specify at least one directory to be monitored!");
}

}  // namespace
