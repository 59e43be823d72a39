#include "hvstarter/StarterSettings.h"

#include <gtest/gtest.h>

#include "base/settings/IniFileUtils.h"
#include "support/TestSupport.h"

using namespace hv;
using namespace hv::hvstarter;

TEST(StarterCommandLine, OptionsInTheirOrderAndGroupNames) {
  struct Case {
    std::vector<std::wstring> args;
    bool force, writeLog, lock;
    TDownMode down;
    TSuspendMode suspend;
    std::wstring ini, last, list;
  } cases[] = {
      {{L"/F"}, true, false, false, TDownMode::dmNone, TSuspendMode::smNone, L"", L"", L""},
      {{L"-force", L"Daily", L"Weekly"}, true, false, false, TDownMode::dmNone, TSuspendMode::smNone, L"", L"Daily",
       L"Daily,Weekly"},
      {{L"/end:l"}, false, false, true, TDownMode::dmShutdown, TSuspendMode::smNone, L"", L"", L""},  // lockdown
      {{L"/end:logo"}, false, false, false, TDownMode::dmLogOff, TSuspendMode::smNone, L"", L"", L""},
      {{L"/end:r", L"/end:x"}, false, false, false, TDownMode::dmRestart, TSuspendMode::smNone, L"", L"", L""},
      {{L"/end:p"}, false, false, false, TDownMode::dmPowerOff, TSuspendMode::smNone, L"", L"", L""},
      {{L"/suspend:h"}, false, false, false, TDownMode::dmNone, TSuspendMode::smHibernate, L"", L"", L""},
      {{L"/logmode:"}, false, true, false, TDownMode::dmNone, TSuspendMode::smNone, L"", L"", L""},
      {{L"/logmode:abc"}, false, true, false, TDownMode::dmNone, TSuspendMode::smNone, L"", L"", L""},
      {{L"/logmode:1", L"/logmode:0"}, false, false, false, TDownMode::dmNone, TSuspendMode::smNone, L"", L"", L""},
      {{L"/logmode"}, false, false, false, TDownMode::dmNone, TSuspendMode::smNone, L"", L"", L""},
      {{L"/ini:C:\\x y\\", L"/unknown", L"G"}, false, false, false, TDownMode::dmNone, TSuspendMode::smNone,
       L"C:\\x y\\", L"G", L"G"},
  };
  for (const auto& c : cases) {
    const TStarterOptions o = ParseStarterCommandLine(c.args);
    SCOPED_TRACE(testing::PrintToString(c.args.front()));
    EXPECT_EQ(o.Force, c.force);
    EXPECT_EQ(o.WriteLog, c.writeLog);
    EXPECT_EQ(o.LockScreen, c.lock);
    EXPECT_EQ(o.LogOffMode, c.down);
    EXPECT_EQ(o.SuspendMode, c.suspend);
    EXPECT_EQ(o.IniOption, c.ini);
    EXPECT_EQ(o.LastTask, c.last);
    EXPECT_EQ(o.ConfigList, c.list);
  }
}

TEST(StarterCommandLine, IniOptionNamesFileOrFolder) {
  struct Case {
    std::wstring value, ini, folder;
  } cases[] = {
      {L"C:\\Conf", L"C:\\Conf\\HvStarter.ini", L"C:\\Conf\\"},
      {L"C:\\Conf\\", L"C:\\Conf\\HvStarter.ini", L"C:\\Conf\\"},
      {L"C:\\Conf\\own.ini", L"C:\\Conf\\own.ini", L"C:\\Conf\\"},
      {L"other", L"D:\\App\\other.ini", L""},
      {L"other.cfg", L"D:\\App\\other.cfg", L""},
  };
  for (const auto& c : cases) {
    std::wstring ini, folder = L"stale";
    ResolveIniOption(c.value, L"D:\\App\\", L"HvStarter", ini, folder);
    EXPECT_EQ(ini, c.ini) << testing::PrintToString(c.value);
    EXPECT_EQ(folder, c.folder) << testing::PrintToString(c.value);
  }
}

TEST(StarterSettings, GroupsMailAndMissingJobsSurviveASave) {
  hvtest::TempDir dir;
  const std::wstring job = dir / L"a job.buj", gone = dir / L"gone.buj", ini = dir / L"HvStarter.ini";
  ASSERT_TRUE(hvtest::WriteBytes(job, "[Global]\r\n"));
  {
    TUnicodeIniFile f = TUnicodeIniFile::CreateForWrite(ini, true);
    f.WriteInteger(L"Config", L"TaskCount", 2);
    f.WriteString(L"Task00", L"Username", L"DOM\\backup");
    f.WriteInteger(L"Task00", L"Count", 3);
    f.WriteString(L"Task00", L"TaskFile00", job);
    f.WriteString(L"Task00", L"TaskFile01", L"");
    f.WriteString(L"Task00", L"TaskFile02", L"#" + gone);
    f.WriteString(L"Task01", L"Description", L"Second");
    f.WriteString(L"Task07", L"Password", L"stale");
    f.WriteString(L"Tasks", L"Other", L"kept");  // left by an older save
    f.WriteBool(L"Mail", L"Enabled", true);
    f.WriteString(L"Mail", L"SMTP", L"mail.test");
    f.UpdateFile();
  }
  TStarterSettings st;
  LoadStarterSettings(ini, L"", st);
  ASSERT_EQ(st.Groups.size(), 2u);
  TTaskProperties& g = *st.Groups[0];
  EXPECT_EQ(g.Desc, L"Task00");  // no description: the section name
  EXPECT_EQ(g.User, L"DOM\\backup");
  EXPECT_TRUE(g.PwdPrompt);
  EXPECT_TRUE(g.PlaySound);
  ASSERT_EQ(g.Tasks.size(), 2u);
  EXPECT_TRUE(g.Tasks[0].Checked);
  EXPECT_FALSE(g.Tasks[0].Missing);
  EXPECT_FALSE(g.Tasks[1].Checked);
  EXPECT_TRUE(g.Tasks[1].Missing);  // kept, marked
  EXPECT_EQ(st.Groups[1]->Index, 1);
  EXPECT_FALSE(st.Mail.Enabled);  // no recipients
  EXPECT_EQ(st.Mail.Sender, L"HvStarter");

  g.Pwd = L"S3cret pass";
  st.Mail.Password = L"mail-pwd";
  st.Groups.pop_back();
  SaveStarterSettings(ini, st);
  const std::string bytes = hvtest::ReadBytes(ini);
  EXPECT_EQ(bytes.find(std::string("S\0003\000c\000r", 7)), std::string::npos);  // stored enciphered

  TStarterSettings again;
  LoadStarterSettings(ini, L"", again);
  ASSERT_EQ(again.Groups.size(), 1u);
  EXPECT_EQ(again.Groups[0]->Pwd, L"S3cret pass");
  EXPECT_EQ(again.Mail.Password, L"mail-pwd");
  ASSERT_EQ(again.Groups[0]->Tasks.size(), 2u);
  EXPECT_EQ(again.Groups[0]->Tasks[1].File, gone);
  EXPECT_FALSE(again.Groups[0]->Tasks[1].Checked);
  const TUnicodeIniFile f = TUnicodeIniFile::CreateForRead(ini);
  EXPECT_FALSE(f.SectionExists(L"Task01"));  // the deleted group
  EXPECT_FALSE(f.SectionExists(L"Task07"));
  EXPECT_TRUE(f.SectionExists(L"Tasks"));
}

TEST(StarterSettings, MissingFileGivesDefaults) {
  hvtest::TempDir dir;
  TStarterSettings st;
  LoadStarterSettings(dir / L"none.ini", L"C:\\Jobs\\First", st);
  EXPECT_TRUE(st.Groups.empty());
  EXPECT_EQ(st.LastTask, L"C:\\Jobs\\First");
  EXPECT_EQ(st.LastDir, L"C:\\Jobs\\");
  EXPECT_EQ(st.Mail.Port, 25);
  EXPECT_EQ(st.Mail.Subject, L"HvStarter error report");
}

TEST(StarterSettings, SectionNamesHaveTwoDigitsAtLeast) {
  EXPECT_EQ(TaskSectionName(0), L"Task00");
  EXPECT_EQ(TaskSectionName(7), L"Task07");
  EXPECT_EQ(TaskSectionName(100), L"Task100");
}
