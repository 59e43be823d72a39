#include "hvwatchdog/DirectoryWatch.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "WdTestJobs.h"
#include "base/text/ExtSysUtils.h"
#include "support/TestSupport.h"

namespace {

using namespace hv;
using hvtest::TempDir;
using hvtest::WriteBytes;
using wdtest::PumpUntil;

struct TRecorder {
  std::vector<std::pair<TWatchAction, std::wstring>> Changes;
  std::vector<int> Errors;
  int ChangeEvents = 0;
  void Attach(TDirectoryWatch& w) {
    w.OnNotify = [this](TDirectoryWatch&, int id, TWatchAction a, const std::wstring& n) {
      EXPECT_EQ(id, 7);
      Changes.emplace_back(a, n);
    };
    w.OnError = [this](TDirectoryWatch&, int code, const std::wstring& text) {
      EXPECT_FALSE(text.empty());
      Errors.push_back(code);
    };
    w.OnChange = [this](TDirectoryWatch&) { ++ChangeEvents; };
  }
  bool Has(TWatchAction a, const std::wstring& n) const {
    for (const auto& c : Changes)
      if (c.first == a && c.second == n) return true;
    return false;
  }
};

TEST(ParseNotifyBuffer, WalksRecordsAndStopsAtTheEdge) {
  alignas(4) unsigned char buf[64] = {};
  auto put = [&](size_t at, DWORD next, DWORD action, const wchar_t* name) {
    DWORD len = static_cast<DWORD>(wcslen(name) * 2);
    memcpy(buf + at, &next, 4);
    memcpy(buf + at + 4, &action, 4);
    memcpy(buf + at + 8, &len, 4);
    memcpy(buf + at + 12, name, len);
  };
  put(0, 20, 1, L"ab");
  put(20, 0, 5, L"c\\d");
  auto r = ParseNotifyBuffer(buf, 38);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].Action, 1u);
  EXPECT_EQ(r[0].Name, L"ab");
  EXPECT_EQ(r[1].Name, L"c\\d");
  // A record that leaves the buffer is not read.
  EXPECT_EQ(ParseNotifyBuffer(buf, 30).size(), 1u);
}

TEST(TDirectoryWatch, StartStopAndSettings) {
  TempDir tmp;
  TDirectoryWatch w(7);
  TRecorder rec;
  rec.Attach(w);
  try {
    w.Start();
    FAIL() << "started without a directory";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Please specify a directory to watch");
  }
  w.SetDirectory(tmp / L"missing");
  EXPECT_THROW(w.Start(), Exception);
  EXPECT_FALSE(w.Started());
  const int before = rec.ChangeEvents;
  w.SetDirectory(L"  " + tmp.Path() + L" ");
  EXPECT_EQ(w.Directory(), tmp.Path());
  w.Start();
  EXPECT_TRUE(w.Running());
  const int started = rec.ChangeEvents;
  EXPECT_GT(started, before);
  w.Start();
  EXPECT_EQ(rec.ChangeEvents, started);
  // The same folder in other case changes nothing.
  std::wstring upper = tmp.Path();
  CharUpperW(upper.data());
  w.SetDirectory(upper);
  EXPECT_EQ(rec.ChangeEvents, started);
  w.Stop();
  EXPECT_FALSE(w.Started());
  EXPECT_FALSE(w.Running());
}

TEST(TDirectoryWatch, ReportsChangesInTheTree) {
  TempDir tmp;
  CreateDirectoryW((tmp / L"sub").c_str(), nullptr);
  TDirectoryWatch w(7);
  TRecorder rec;
  rec.Attach(w);
  w.SetDirectory(tmp.Path());
  w.SetWatchActions(kAllWatchActions & ~(1u << waRemoved));
  w.Start();
  ASSERT_TRUE(WriteBytes(tmp / L"sub\\a.txt", "x"));
  ASSERT_TRUE(PumpUntil([&] { return rec.Has(waAdded, L"sub\\a.txt") || rec.Has(waModified, L"sub\\a.txt"); }));
  ASSERT_TRUE(MoveFileW((tmp / L"sub\\a.txt").c_str(), (tmp / L"b.txt").c_str()));
  ASSERT_TRUE(PumpUntil([&] { return rec.Has(waRenamedNew, L"b.txt"); }));
  EXPECT_TRUE(rec.Has(waRenamedOld, L"sub\\a.txt"));
  ASSERT_TRUE(DeleteFileW((tmp / L"b.txt").c_str()));
  ASSERT_TRUE(WriteBytes(tmp / L"c.txt", "y"));
  ASSERT_TRUE(PumpUntil([&] { return rec.Has(waAdded, L"c.txt") || rec.Has(waModified, L"c.txt"); }));
  // Removals are not asked for.
  EXPECT_FALSE(rec.Has(waRemoved, L"b.txt"));
  w.Stop();
}

TEST(TDirectoryWatch, OverflowIsReportedAndTheTreeReadAgain) {
  TempDir tmp;
  CreateDirectoryW((tmp / L"d").c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(tmp / L"d\\old.txt", "o"));
  TDirectoryWatch w(7);
  TRecorder rec;
  rec.Attach(w);
  w.SetDirectory(tmp.Path());
  w.Start();
  w.SimulateFailure(kWatchOverflow);
  ASSERT_TRUE(WriteBytes(tmp / L"new.txt", "n"));
  ASSERT_TRUE(PumpUntil([&] { return rec.Has(waModified, L"d\\old.txt") && rec.Has(waModified, L"new.txt"); }));
  ASSERT_EQ(rec.Errors.size(), 1u);
  EXPECT_EQ(rec.Errors[0], kWatchOverflow);
  EXPECT_TRUE(w.Running());
  // Watching goes on after the overflow.
  ASSERT_TRUE(WriteBytes(tmp / L"later.txt", "l"));
  ASSERT_TRUE(PumpUntil([&] { return rec.Has(waAdded, L"later.txt") || rec.Has(waModified, L"later.txt"); }));
  w.Stop();
}

TEST(TDirectoryWatch, AWatchThatDiesIsShownStopped) {
  TempDir tmp;
  TDirectoryWatch w(7);
  TRecorder rec;
  rec.Attach(w);
  w.SetDirectory(tmp.Path());
  w.Start();
  const int started = rec.ChangeEvents;
  w.SimulateFailure(ERROR_ACCESS_DENIED);
  ASSERT_TRUE(WriteBytes(tmp / L"x.txt", "x"));
  ASSERT_TRUE(PumpUntil([&] { return !w.Running() && rec.ChangeEvents > started; }));
  ASSERT_EQ(rec.Errors.size(), 1u);
  EXPECT_EQ(rec.Errors[0], static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(w.Started());
  w.Stop();
  EXPECT_FALSE(w.Started());
}

}  // namespace
