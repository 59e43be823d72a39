// QlBackup's command line and the main program's command lines.
#include <gtest/gtest.h>

#include "qlbackup/QlOptions.h"

using namespace hv;

namespace {

TEST(QlOptionsTest, OptionsInTheirOrder) {
  TQlOptions o = ParseQlOptions({L"/f"});
  EXPECT_TRUE(o.Force);
  EXPECT_EQ(o.LogMode, -1);
  EXPECT_EQ(o.StatusPrompt, 1);
  EXPECT_EQ(o.WaitDelay, 5);
  EXPECT_TRUE(ParseQlOptions({L"-FORCE"}).Force);

  o = ParseQlOptions({L"first", L"/e:x", L"second", L"/logmode:abc", L"/logdir:C:\\Logs", L"/ba:E:\\B", L"/t:C:\\J",
                      L"/i:my", L"/dark", L"/w:12", L"/p:banana"});
  EXPECT_EQ(o.Profile, L"first");
  EXPECT_EQ(o.ExcludedDirs, L"x");  // "exclude" is tested before "end"
  EXPECT_EQ(o.LogOffMode, TDownMode::dmNone);
  EXPECT_EQ(o.LogMode, 0);
  EXPECT_EQ(o.LogDir, L"C:\\Logs\\");
  EXPECT_EQ(o.BuDir, L"E:\\B");
  EXPECT_EQ(o.JobDir, L"C:\\J");
  EXPECT_EQ(o.IniName, L"my");
  EXPECT_TRUE(o.UseDarkMode);
  EXPECT_EQ(o.WaitDelay, 12);
  EXPECT_EQ(o.StatusPrompt, 1);
  EXPECT_FALSE(o.Force);

  EXPECT_EQ(ParseQlOptions({L"/logmode:2 x"}).LogMode, 2);
  EXPECT_EQ(ParseQlOptions({L"/wait:x"}).WaitDelay, 5);
  // Options the shortcut dialog may write change nothing here.
  o = ParseQlOptions({L"/hide", L"/noaction", L"/erractions", L"/status:ontop", L"/end:hybrid"});
  EXPECT_EQ(o.LogOffMode, TDownMode::dmNone);
  EXPECT_FALSE(o.Force);
}

TEST(QlOptionsTest, EndAndSuspendWords) {
  struct Case {
    const wchar_t* Arg;
    TDownMode End;
    TSuspendMode Suspend;
  } cases[] = {{L"/end:shutdown", TDownMode::dmShutdown, TSuspendMode::smNone},
               {L"/end:lockdown", TDownMode::dmShutdown, TSuspendMode::smNone},
               {L"/end:log", TDownMode::dmLogOff, TSuspendMode::smNone},
               {L"/end:RESTART", TDownMode::dmRestart, TSuspendMode::smNone},
               {L"/end:p", TDownMode::dmPowerOff, TSuspendMode::smNone},
               {L"/end:x", TDownMode::dmNone, TSuspendMode::smNone},
               {L"/s:standby", TDownMode::dmNone, TSuspendMode::smStandby},
               {L"/susp:h", TDownMode::dmNone, TSuspendMode::smHibernate}};
  for (const auto& c : cases) {
    const TQlOptions o = ParseQlOptions({c.Arg});
    EXPECT_EQ(o.LogOffMode, c.End) << testing::PrintToString(std::wstring(c.Arg));
    EXPECT_EQ(o.SuspendMode, c.Suspend) << testing::PrintToString(std::wstring(c.Arg));
  }
  const wchar_t* prompts[] = {L"wait", L"delay", L"quiet", L"error", L"silent"};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(ParseQlOptions({std::wstring(L"/prompt:") + prompts[i]}).StatusPrompt, i);
}

TEST(QlOptionsTest, StatusSwitches) {
  EXPECT_EQ(BuildStatusOptions(0, 5, false), L" /prompt:wait /status:normal /hide /force");
  EXPECT_EQ(BuildStatusOptions(1, 5, false), L" /prompt:delay /wait:5 /status:normal /hide /force");
  EXPECT_EQ(BuildStatusOptions(2, 5, true), L" /prompt:quiet /status:ontop /hide /force");
  EXPECT_EQ(BuildStatusOptions(3, 17, false), L" /prompt:error /wait:17 /status:normal /hide /force");
  EXPECT_EQ(BuildStatusOptions(4, 5, false), L" /prompt:silent /status:normal /hide /force");
  EXPECT_EQ(BuildStatusOptions(9, 5, false), L" /prompt:delay /status:normal /hide /force");
}

TEST(QlOptionsTest, CommandLinesQuotePathsWithBlanks) {
  EXPECT_EQ(MakeBackupCommand(L"C:\\Hv\\Harvane.exe", L"C:\\Jobs\\ql-a.buj", BuildStatusOptions(1, 5, false)),
            L"C:\\Hv\\Harvane.exe C:\\Jobs\\ql-a.buj /startapp:qlbackup /prompt:delay /wait:5 /status:normal /hide /force");
  EXPECT_EQ(MakeBackupCommand(L"C:\\Program Files\\Harvane.exe", L"C:\\My Jobs\\ql-a.buj", L""),
            L"\"C:\\Program Files\\Harvane.exe\" \"C:\\My Jobs\\ql-a.buj\" /startapp:qlbackup");
  EXPECT_EQ(MakeRestoreCommand(L"C:\\Hv\\Harvane.exe", L"C:\\My Jobs\\ql-a.rsj"),
            L"C:\\Hv\\Harvane.exe \"C:\\My Jobs\\ql-a.rsj\" /hide /prompt:wait /restore");
}

}  // namespace
