// The destination notice: which directory it names and when it shows.
#include "hvwatchdog/ShowHint.h"

#include <gtest/gtest.h>

namespace {

using namespace hv;

TEST(DestinationNoticeText, LimitWorstDirectoryAndState) {
  TMonTaskList tasks;
  const struct {
    const wchar_t* dir;
    int errors;
    TMonTaskStatus status;
  } dirs[] = {{L"C:\\a", 2, TMonTaskStatus::mtEnabled},
              {L"C:\\b", 4, TMonTaskStatus::mtEnabled},
              {L"C:\\c", 4, TMonTaskStatus::mtEnabled},
              {L"C:\\d", 9, TMonTaskStatus::mtDisabled}};
  for (const auto& d : dirs) {
    auto t = std::make_unique<TMonTask>(L"C:\\job.buj", d.dir);
    t->DestDir = std::wstring(L"E:\\Backup\\") + (d.dir + 3) + L"\\";
    t->ErrCount = d.errors;
    t->MonStatus = d.status;
    tasks.Add(std::move(t));
  }
  // After a scheduled run (limit 3): the first of the enabled directories with most failures.
  EXPECT_EQ(DestinationNoticeText(tasks, 3),
            L"Backup destination \"E:\\Backup\\b\\\" not available!\r\n"
            L"Monitored directory \"02: C:\\b\"\r\n"
            L"This was the case with the last 4 backups.\r\n"
            L"Please check that the backup medium is connected correctly!");
  // After a requested run (limit 0) without the count.
  EXPECT_EQ(DestinationNoticeText(tasks, 0),
            L"Backup destination \"E:\\Backup\\b\\\" not available!\r\n"
            L"Monitored directory \"02: C:\\b\"\r\n"
            L"Please check that the backup medium is connected correctly!");
  // A disabled directory does not count; nothing above the limit shows nothing.
  EXPECT_EQ(DestinationNoticeText(tasks, 4), L"");
  for (auto& t : tasks) t->ErrCount = 0;
  EXPECT_EQ(DestinationNoticeText(tasks, 0), L"");
}

}  // namespace
