// The command lines of shortcuts and tasks: the starter's own and the main program's options of a
// desktop shortcut, read and written back.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include "unattended/DesktopIconDlg.h"
#include "unattended/ShortcutDlg.h"

namespace hv {
namespace {

struct TStarterCase {
  const wchar_t* Given;
  std::vector<std::wstring> Groups;
  int Action;
  bool Term, WriteLog, LockScreen;
  int ActErr;
  const wchar_t* IniPath;
  const wchar_t* Rebuilt;  // BuildStarterOptions of what was read
};

TEST(StarterOptions, ReadAndWrittenBack) {
  const TStarterCase cases[] = {
      {L"Daily /force", {L"Daily"}, saNone, false, false, false, 0, L"", L"/force"},
      {L"A \"B c\" /force /logmode:1 /lockscreen /end:restart /term", {L"A", L"B c"}, saRestart, true, true, true, 0,
       L"", L"/force /logmode:1 /lockscreen /end:restart /term"},
      // poweroff reads as Shutdown and is written as shutdown.
      {L"/end:poweroff", {}, saShutdown, false, false, false, 0, L"", L"/force /end:shutdown"},
      {L"/end:lockdown", {}, saNone, false, false, false, 0, L"", L"/force"},
      {L"/e:l -t", {}, saLogoff, true, false, false, 0, L"", L"/force /end:logoff /term"},
      {L"/p", {}, saPrompt, false, false, false, 0, L"", L"/force /prompt"},
      {L"/suspend:hib /term", {}, saHibernate, true, false, false, 0, L"", L"/force /suspend:hibernate /term"},
      {L"/SUSPEND:Standby", {}, saStandby, false, false, false, 0, L"", L"/force /suspend:standby"},
      {L"/erractions:12 /force", {}, saNone, false, false, false, 12, L"", L"/force /erractions:12"},
      {L"/erractions:x", {}, saNone, false, false, false, 0, L"", L"/force"},
      {L"/logmode:0", {}, saNone, false, false, false, 0, L"", L"/force"},
      {L"/logmode:abc /logmode", {}, saNone, false, true, false, 0, L"", L"/force /logmode:1"},
      // A quoted folder ends in a doubled backslash, so that the closing quote survives the split.
      {L"\"/ini:C:\\My Settings\\\" G", {L"G"}, saNone, false, false, false, 0, L"C:\\My Settings\\",
       L"/force \"/ini:C:\\My Settings\\\\\""},
      {L"\"/ini:C:\\My Settings\\\\\" G", {L"G"}, saNone, false, false, false, 0, L"C:\\My Settings\\",
       L"/force \"/ini:C:\\My Settings\\\\\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.Given, c.Given + wcslen(c.Given)));
    const TStarterOptions opt = ParseStarterOptions(c.Given);
    EXPECT_EQ(opt.Groups, c.Groups);
    EXPECT_EQ(opt.Action, c.Action);
    EXPECT_EQ(opt.Term, c.Term);
    EXPECT_EQ(opt.WriteLog, c.WriteLog);
    EXPECT_EQ(opt.LockScreen, c.LockScreen);
    EXPECT_EQ(opt.ActErr, c.ActErr);
    EXPECT_EQ(opt.IniPath, c.IniPath);
    EXPECT_EQ(BuildStarterOptions(opt), c.Rebuilt);
  }
}

// The program splits its command line by the system's rules: the settings folder and the groups
// after it arrive as they were chosen.
TEST(StarterOptions, CommandLineSplitsIntoTheChosenValues) {
  for (const wchar_t* folder : {L"C:\\Settings\\", L"C:\\My Settings\\", L"\\\\server\\my share\\hv\\"}) {
    SCOPED_TRACE(testing::Message() << std::string(folder, folder + wcslen(folder)));
    TStarterOptions opt;
    opt.IniPath = folder;
    opt.WriteLog = true;
    const std::wstring line = L"HvStarter.exe " + BuildStarterCommandLine({L"Week end", L"Daily"}, opt);
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &n);
    ASSERT_NE(argv, nullptr);
    const std::vector<std::wstring> args(argv + 1, argv + n);
    LocalFree(argv);
    EXPECT_EQ(args, (std::vector<std::wstring>{L"Week end", L"Daily", L"/force", std::wstring(L"/ini:") + folder,
                                               L"/logmode:1"}));
  }
}

TEST(StarterOptions, TermKeptWithSuspendNotWithPrompt) {
  TStarterOptions opt;
  opt.Term = true;
  opt.Action = saStandby;
  EXPECT_EQ(BuildStarterOptions(opt), L"/force /suspend:standby /term");
  opt.Action = saPrompt;
  EXPECT_EQ(BuildStarterOptions(opt), L"/force /prompt");
}

TEST(StarterOptions, GroupsQuotedWhenTheyHoldBlanks) {
  TStarterOptions opt;
  EXPECT_EQ(BuildStarterCommandLine({L"Daily", L"Week end"}, opt), L"Daily \"Week end\" /force");
}

struct TShortcutCase {
  const wchar_t* Given;
  int Status;
  bool NoSplash;
  int Action;
  const wchar_t* Rebuilt;
};

TEST(ShortcutOptions, ReadAndWrittenBack) {
  const TShortcutCase cases[] = {
      {L"/prompt:error /wait:5 /status:normal /hide /force", ssError, true, kaNone,
       L" /prompt:error /hide /wait:5 /status:normal /force"},
      {L"/prompt:silent", ssSilent, true, kaNone, L" /prompt:silent /hide"},
      // Unknown options with blanks stay one option.
      {L"\"/logdir:C:\\Log Files\" /x", ssDelay, true, kaNone, L" /prompt:delay /hide \"/logdir:C:\\Log Files\" /x"},
      // Power-off has no button but is kept.
      {L"/end:poweroff", ssDelay, true, kaNone, L" /prompt:delay /hide /end:poweroff"},
      {L"/end:lock -suspend:h", ssDelay, true, kaHibernate, L" /prompt:delay /hide /suspend:hibernate"},
      {L"/end:l", ssDelay, true, kaLogoff, L" /prompt:delay /hide /end:logoff"},
      {L"/end:hybrid /erractions:3", ssDelay, true, kaHybrid, L" /prompt:delay /hide /end:hybrid /erractions:3"},
      {L"/end:nothing /prompt:nothing", ssDelay, true, kaNone, L" /prompt:delay /hide"},
      // A profile name among the options is dropped.
      {L"default-release /prompt:quiet", ssQuiet, true, kaNone, L" /prompt:quiet /hide"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.Given, c.Given + wcslen(c.Given)));
    TShortcutOptions opt;
    ParseShortcutOptions(c.Given, opt);
    EXPECT_EQ(opt.Status, c.Status);
    EXPECT_EQ(opt.NoSplash, c.NoSplash);
    EXPECT_EQ(opt.Action, c.Action);
    EXPECT_EQ(BuildShortcutOptions(opt), c.Rebuilt);
  }
}

TEST(ShortcutOptions, ChosenActionReplacesPowerOff) {
  TShortcutOptions opt;
  ParseShortcutOptions(L"/end:poweroff", opt);
  opt.Action = kaRestart;
  opt.PowerOff = false;
  opt.NoSplash = false;
  opt.ActionChangeable = false;
  EXPECT_EQ(BuildShortcutOptions(opt), L" /prompt:delay /noaction /end:restart");
}

}  // namespace
}  // namespace hv
