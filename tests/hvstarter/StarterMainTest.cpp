// The computing parts of the starter's main window: group names after the list editor and the
// main program's log of a job file.
#include "hvstarter/StarterMain.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace hv::hvstarter {
namespace {

TEST(StarterMain, GroupNamesAfterTheListEditorStayUniqueAndNonEmpty) {
  struct Case {
    std::vector<std::pair<std::wstring, std::wstring>> entries;  // new text, old name
    std::vector<std::wstring> expected;
  } cases[] = {
      {{{L"Daily", L"Daily"}, {L" Weekend ", L"Weekly"}}, {L"Daily", L"Weekend"}},
      {{{L"", L"Daily"}, {L"  ", L"Weekly"}}, {L"Daily", L"Weekly"}},
      {{{L"Daily", L"Daily"}, {L"DAILY", L"Weekly"}}, {L"Daily", L"Weekly"}},
      // two names swapped
      {{{L"Weekly", L"Daily"}, {L"daily", L"Weekly"}}, {L"Weekly", L"daily"}},
      {{{L"Weekly", L"Daily"}, {L"", L"Weekly"}, {L"", L"Weekly (2)"}}, {L"Weekly", L"Weekly (2)", L"Weekly (2) (2)"}},
      {{}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(MergeGroupNames(c.entries), c.expected);
}

TEST(StarterMain, JobLogNameFromTheJobFile) {
  hvtest::TempDir dir, logs;
  const std::wstring missingDir = dir / L"no such folder";
  auto job = [&](const std::wstring& name, const std::string& global) {
    hvtest::WriteBytes(dir / name, "[Global]\r\n" + global);
    return dir / name;
  };
  struct Case {
    std::wstring jobFile, logDir, expected;
  } cases[] = {
      {job(L"plain.buj", ""), logs.Path(), logs / L"Harvane.log"},
      {job(L"night run.buj", "LogName=%TaskName%-x.log\r\n"), logs.Path(), logs / L"night run-x.log"},
      {job(L"rel.buj", "LogName=sub\\r.log\r\n"), missingDir, L"C:\\Default\\sub\\r.log"},
      {job(L"abs.buj", "LogName=D:\\Logs\\%taskname%.log\r\n"), logs.Path(), L"D:\\Logs\\abs.log"},
      {job(L"dest.buj", "LogName=%dest%\\x.log\r\nDestination=E:\\Backup\r\n"), logs.Path(), L"E:\\Backup\\x.log"},
      {dir / L"missing.buj", logs.Path(), L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetJobLogName(c.jobFile, L"C:\\Prog\\Harvane.exe", c.logDir, L"C:\\Default"), c.expected) << c.jobFile;
}

}  // namespace
}  // namespace hv::hvstarter
