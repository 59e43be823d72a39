#include "hvstarter/StarterRun.h"

#include <gtest/gtest.h>

#include <map>

#include "support/TestSupport.h"

using namespace hv;
using namespace hv::hvstarter;

namespace {

// Records each logon start and runs the test child with the exit code given for the job at the
// line's end (0 when none is given); "fail" as the job's name fails the start.
class TFakeStarter : public ILogonStarter {
 public:
  struct TStart {
    std::wstring User, Domain, Password, CommandLine;
  };
  std::vector<TStart> Starts;
  std::map<std::wstring, std::wstring> ChildArgs;  // job file -> test child's arguments

  TKernelHandle Start(const std::wstring& user, const std::wstring& domain, const std::wstring& password,
                      const std::wstring& commandLine, const std::wstring&) override {
    Starts.push_back({user, domain, password, commandLine});
    const std::wstring job = commandLine.substr(commandLine.rfind(L' ') + 1);
    if (job == L"fail") throw EProcessError(ERROR_LOGON_FAILURE);
    const auto it = ChildArgs.find(job);
    return StartProcess(L"\"" + hvtest::TestChildExe() + L"\" " + (it == ChildArgs.end() ? L"0" : it->second), L"");
  }
};

struct TStarterScope {
  explicit TStarterScope(ILogonStarter* s) { SetLogonStarter(s); }
  ~TStarterScope() { SetLogonStarter(nullptr); }
};

TTaskProperties Group(const std::vector<std::pair<std::wstring, bool>>& jobs) {
  TTaskProperties g(L"Nightly");
  g.User = L"DOM\\backup";
  g.Pwd = L"pw";
  g.PwdPrompt = false;
  for (const auto& [f, c] : jobs) g.AddTask(f, c);
  return g;
}

TGroupRunner Runner(std::vector<std::wstring>* errors = nullptr) {
  TGroupRunner r;
  r.HvPath = L"C:\\Program Files\\Harvane\\Harvane.exe";
  if (errors) r.ShowError = [errors](const std::wstring& t) { errors->push_back(t); };
  return r;
}

}  // namespace

TEST(StarterRun, CommandLinesOfGroups) {
  struct Case {
    int status;
    std::wstring logDir, aIni;
    bool noSplash, sound, runAs;
    std::wstring expected;
  } cases[] = {
      {1, L"", L"", false, false, false,
       L"H.exe /startapp:hvstarter /prompt:delay /nosound /wait:5 /force /noaction"},
      {0, L"D:\\Log Dir", L"C:\\Conf\\", true, true, true,
       L"H.exe /startapp:hvstarter /prompt:quiet /ini:C:\\Conf\\ \"/logdir:D:\\Log Dir\" /hide /elevate /force "
       L"/noaction"},
      {3, L"", L"", false, true, false, L"H.exe /startapp:hvstarter /prompt:error /wait:5 /force /noaction"},
      {4, L"", L"", false, true, false, L"H.exe /startapp:hvstarter /prompt:silent /force /noaction"},
      {9, L"", L"", false, true, false, L"H.exe /startapp:hvstarter /prompt:delay /force /noaction"},
  };
  for (const auto& c : cases) {
    TTaskProperties g(L"G");
    g.Status = c.status;
    g.AltLogDir = c.logDir;
    g.NoSplash = c.noSplash;
    g.PlaySound = c.sound;
    g.RunAs = c.runAs;
    EXPECT_EQ(BuildCommandLine(g, L"H.exe", c.aIni), c.expected);
  }
  TTaskProperties g(L"G");
  EXPECT_EQ(BuildCommandLine(g, L"C:\\P F\\Harvane.exe", L"").substr(0, 23), L"\"C:\\P F\\Harvane.exe\" /s");
}

TEST(StarterRun, EditCommandLineOpensOneJob) {
  TTaskProperties g(L"G");
  g.Status = 4;  // run options play no part
  g.NoSplash = true;
  EXPECT_EQ(BuildEditCommandLine(g, L"C:\\P F\\Harvane.exe", L"D:\\Jobs\\my job.buj"),
            L"\"C:\\P F\\Harvane.exe\" /startapp:hvstarter \"D:\\Jobs\\my job.buj\" /edit");
  g.AltLogDir = L"D:\\Log files";
  EXPECT_EQ(BuildEditCommandLine(g, L"H.exe", L"a.buj"),
            L"H.exe /startapp:hvstarter \"/logdir:D:\\Log files\" a.buj /edit");
}

TEST(StarterRun, AccountSplitsAtTheFirstBackslash) {
  struct Case {
    std::wstring account, user, domain;
  } cases[] = {{L"backup", L"backup", L""}, {L"DOM\\backup", L"backup", L"DOM"}, {L"A\\B\\c", L"B\\c", L"A"}};
  for (const auto& c : cases) {
    std::wstring user, domain;
    SplitAccount(c.account, user, domain);
    EXPECT_EQ(user, c.user);
    EXPECT_EQ(domain, c.domain);
  }
}

TEST(StarterRun, ExitCodesAndTheirTexts) {
  struct Case {
    DWORD wait;
    int code;
    std::wstring text;
  } cases[] = {
      {0, 0, L""},
      {kExitCodeFlag | 1, 1, L"Error reported by Harvane: Task not found!"},
      {kExitCodeFlag | 4, 4, L"Error reported by Harvane: Errors during backup!"},
      {kExitCodeFlag | 6, 6, L"Error reported by Harvane: Invalid task configuration!"},
      {kExitCodeFlag | 0x104, 4, L"Error reported by Harvane: Errors during backup!"},
      // A low byte of 0 is no success.
      {kExitCodeFlag | 256, 256, L"Error reported by Harvane: Unexpected error!"},
      {ERROR_ACCESS_DENIED, kExitCodeUnreadable, L"Error on executing Harvane: "},
  };
  for (const auto& c : cases) {
    std::wstring text;
    EXPECT_EQ(MapWaitResult(c.wait, text), c.code) << c.wait;
    EXPECT_EQ(text.substr(0, c.text.size()), c.text);
    if (c.code == kExitCodeUnreadable) {
      EXPECT_GT(text.size(), c.text.size());
    }
  }
}

TEST(StarterRun, SequentialRunPutsCheckedJobsOnOneLine) {
  TFakeStarter fake;
  TStarterScope scope(&fake);
  fake.ChildArgs[L"b.buj"] = L"5";
  TTaskProperties g = Group({{L"C:\\Jobs\\a job.buj", true}, {L"C:\\x.buj", false}, {L"b.buj", true}});
  g.Status = 4;
  std::vector<std::wstring> errors;
  TGroupRunner r = Runner(&errors);
  EXPECT_TRUE(r.RunGroup(g, true));
  ASSERT_EQ(fake.Starts.size(), 1u);
  EXPECT_EQ(fake.Starts[0].User, L"backup");
  EXPECT_EQ(fake.Starts[0].Domain, L"DOM");
  EXPECT_EQ(fake.Starts[0].Password, L"pw");
  const std::wstring& cmd = fake.Starts[0].CommandLine;
  EXPECT_NE(cmd.find(L"/noaction \"C:\\Jobs\\a job.buj\" b.buj"), std::wstring::npos) << cmd;
  EXPECT_EQ(cmd.find(L"x.buj"), std::wstring::npos);
  EXPECT_EQ(r.LogList, (std::vector<std::wstring>{L"      Backup task: C:\\Jobs\\a job.buj", L"      Backup task: b.buj"}));
  // Status 4 hides code 4 only; code 5 is shown.
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], L"Error reported by Harvane: The backup was aborted by the user or due to an error!");

  fake.ChildArgs[L"b.buj"] = L"4";
  errors.clear();
  EXPECT_TRUE(r.RunGroup(g, true));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(r.ErrCount, 0);
}

TEST(StarterRun, ParallelRunNumbersAndDelaysItsStarts) {
  TFakeStarter fake;
  TStarterScope scope(&fake);
  fake.ChildArgs[L"a.buj"] = L"0 300";
  fake.ChildArgs[L"b.buj"] = L"3 200";
  fake.ChildArgs[L"d.buj"] = L"256";
  TTaskProperties g = Group({{L"a.buj", true}, {L"b.buj", true}, {L"c.buj", false}, {L"fail", true}, {L"d.buj", true}});
  g.ParProc = true;
  g.StartDelay = 10;
  TGroupRunner r = Runner();
  int pumps = 0;
  r.ProcessMessages = [&] { ++pumps; };
  EXPECT_TRUE(r.RunGroup(g, false));
  ASSERT_EQ(fake.Starts.size(), 4u);
  const std::wstring expect[] = {L" /xinst:1 a.buj", L" /delay:10 /xinst:2 b.buj", L" /delay:30 /xinst:4 fail",
                                 L" /delay:40 /xinst:5 d.buj"};
  for (size_t i = 0; i < 4; ++i) {
    const std::wstring& cmd = fake.Starts[i].CommandLine;
    EXPECT_EQ(cmd.substr(cmd.size() - expect[i].size()), expect[i]);
    EXPECT_EQ(cmd.find(L"/delay", 0) == std::wstring::npos, i == 0);
  }
  EXPECT_GE(pumps, 4);
  EXPECT_EQ(r.ErrCount, 3);
  // A start failure is reported at once; the other jobs go on.
  ASSERT_EQ(r.LogList.size(), 7u);
  EXPECT_EQ(r.LogList[2], L"      Backup task: fail");
  EXPECT_EQ(r.LogList[3].rfind(L"  *** Error on starting Harvane: ", 0), 0u) << r.LogList[3];
  EXPECT_EQ(r.LogList[4], L"      Backup task: d.buj");
  // The others end in any order.
  const std::wstring rest = r.LogList[5] + L"|" + r.LogList[6];
  EXPECT_NE(rest.find(L"  *** Error reported by Harvane: Source directory not found! - Backup task: b.buj"),
            std::wstring::npos) << rest;
  EXPECT_NE(rest.find(L"  *** Error reported by Harvane: Unexpected error! - Backup task: d.buj"), std::wstring::npos)
      << rest;
  for (const auto& t : g.Tasks) EXPECT_FALSE(t.Process);
}

TEST(StarterRun, NothingCheckedOrPasswordCancelledStartsNothing) {
  TFakeStarter fake;
  TStarterScope scope(&fake);
  for (bool parallel : {false, true}) {
    TTaskProperties g = Group({{L"a.buj", false}});
    g.ParProc = parallel;
    TGroupRunner r = Runner();
    EXPECT_TRUE(r.RunGroup(g, false));
    EXPECT_EQ(r.LogList, std::vector<std::wstring>{L"  *** No backup tasks specified!"});
    EXPECT_EQ(r.ErrCount, 1);
  }
  TTaskProperties g = Group({{L"a.buj", true}});
  g.PwdPrompt = true;
  TGroupRunner r = Runner();
  std::wstring asked;
  r.AskPassword = [&](const TTaskProperties& grp, std::wstring&) {
    asked = grp.Desc;
    return false;
  };
  EXPECT_FALSE(r.RunGroup(g, false));
  EXPECT_EQ(asked, L"Nightly");
  EXPECT_TRUE(fake.Starts.empty());
}

TEST(StarterRun, OverlongCommandLineIsRefusedBeforeTheCall) {
  TFakeStarter fake;
  TStarterScope scope(&fake);
  std::wstring msg;
  TKernelHandle h;
  EXPECT_FALSE(StartBackupProcess(L"u", L"p", L"H.exe " + std::wstring(1020, L'x'), msg, h));
  EXPECT_TRUE(fake.Starts.empty());
  EXPECT_EQ(msg, L"Error on starting Harvane: The command line has 1026 characters; a start under another account "
                 L"takes at most 1024.");
  // 1024 characters pass.
  EXPECT_TRUE(StartBackupProcess(L"u", L"p", L"H.exe " + std::wstring(1012, L'x') + L" a.buj", msg, h)) << msg;
  EXPECT_EQ(fake.Starts.size(), 1u);
}

TEST(StarterRun, RealLogonCallThatFailsIsReported) {
  // No seam: the program's own call. Wine's answers FALSE and leaves the error at 0.
  std::wstring msg;
  TKernelHandle h;
  EXPECT_FALSE(StartBackupProcess(L"hv-no-such-user", L"wrong", L"\"" + hvtest::TestChildExe() + L"\" 0", msg, h));
  EXPECT_FALSE(h);
  EXPECT_EQ(msg.rfind(L"Error on starting Harvane: ", 0), 0u) << msg;
  EXPECT_NE(msg.find(L" (0x"), std::wstring::npos) << msg;
  EXPECT_EQ(msg.find(L"successfully"), std::wstring::npos) << msg;
}

namespace {

class TFakeSystem : public IStarterSystem {
 public:
  std::vector<std::pair<std::wstring, HWND>> Windows;
  std::map<HWND, DWORD> Pids;
  std::map<DWORD, DWORD> Errors;
  std::vector<DWORD> Terminated;
  int Sleeps = 0;
  std::vector<std::pair<std::wstring, HWND>> VisibleWindows() override { return Windows; }
  DWORD ProcessOf(HWND w) override { return Pids.count(w) ? Pids[w] : 0; }
  DWORD TerminateProgram(DWORD pid, std::wstring& name) override {
    Terminated.push_back(pid);
    if (pid == 30) name = L"C:\\Apps\\locked.exe";
    return Errors.count(pid) ? Errors[pid] : 0;
  }
  bool LockWorkstation() override { return true; }
  bool Suspend(bool) override { return true; }
  void Sleep(DWORD) override { ++Sleeps; }
};

HWND W(intptr_t i) { return reinterpret_cast<HWND>(i); }

}  // namespace

TEST(StarterUnattended, ProgramsEndOncePerProcessAndVanishedWindowsAreSkipped) {
  TFakeSystem sys;
  sys.Windows = {{L"Editor - a", W(1)}, {L"Editor - b", W(2)}, {L"Gone", W(3)}, {L"Own", W(4)},
                 {L"Locked", W(5)}, {L"Guarded", W(6)}};
  sys.Pids = {{W(1), 10}, {W(2), 10}, {W(4), 99}, {W(5), 30}, {W(6), 40}};
  sys.Errors = {{30, ERROR_ACCESS_DENIED}, {40, ERROR_ACCESS_DENIED}};
  std::vector<std::wstring> lines;
  int errors = 0;
  TerminateAllPrograms(sys, 99, lines, errors);
  EXPECT_EQ(sys.Terminated, (std::vector<DWORD>{10, 30, 40}));
  EXPECT_EQ(errors, 2);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], L"  *** Terminating of \"C:\\Apps\\locked.exe\" failed:");
  EXPECT_EQ(lines[1].substr(0, 6), L"      ");
  EXPECT_GT(lines[1].size(), 6u);
  EXPECT_EQ(lines[2], L"  *** Terminating of \"Guarded\" failed:");
}

TEST(StarterUnattended, RunLogIsAppendedWithAnEmptyLine) {
  hvtest::TempDir dir;
  TFakeSystem sys;
  const std::wstring log = dir / L"HvStarter.log";
  ASSERT_TRUE(AppendRunLog(sys, log, {L"first", L"  ==> Gr\u00fc\u00dfe"}));
  ASSERT_TRUE(AppendRunLog(sys, log, {L"second"}));
  EXPECT_EQ(hvtest::ReadBytes(log), "first\r\n  ==> Gr\xfc\xdf" "e\r\n\r\nsecond\r\n\r\n");
  EXPECT_EQ(sys.Sleeps, 0);
  EXPECT_FALSE(AppendRunLog(sys, dir / L"no\\such\\dir.log", {L"x"}));
  EXPECT_EQ(sys.Sleeps, 1);  // one more try after a pause
}

TEST(StarterUnattended, FailedMailLineEndsTheRunsBlock) {
  hvtest::TempDir dir;
  TFakeSystem sys;
  const std::wstring log = dir / L"HvStarter.log";
  ASSERT_TRUE(AppendRunLog(sys, log, {L"run"}, false));
  const TSendErrors errors{{TSendErrorType::seFailedRecipient, L"ops@test.local"},
                           {TSendErrorType::seSmtp, L"550 5.1.1 User unknown"}};
  ASSERT_TRUE(AppendRunLog(sys, log, {MailFailureLine(errors)}));
  EXPECT_EQ(hvtest::ReadBytes(log),
            "run\r\n  *** The error mail was not sent: Recipient refused: ops@test.local; 550 5.1.1 User unknown\r\n"
            "\r\n");
  EXPECT_TRUE(MailFailureLine({}).starts_with(L"  *** The error mail was not sent: Unknown or other error"))
      << MailFailureLine({});
}

TEST(StarterUnattended, EndActionLinesAndMailBody) {
  EXPECT_EQ(EndActionText(TDownMode::dmShutdown, TSuspendMode::smStandby), L"The system will be shut down!");
  EXPECT_EQ(EndActionText(TDownMode::dmRestart, TSuspendMode::smNone), L"The system will be restarted!");
  EXPECT_EQ(EndActionText(TDownMode::dmLogOff, TSuspendMode::smNone), L"The user will be logged off!");
  EXPECT_EQ(EndActionText(TDownMode::dmPowerOff, TSuspendMode::smHibernate), L"");
  EXPECT_EQ(EndActionText(TDownMode::dmNone, TSuspendMode::smStandby), L"The system will enter the standby state!");
  EXPECT_EQ(EndActionText(TDownMode::dmNone, TSuspendMode::smHibernate),
            L"The system will enter the hibernate state!");
  EXPECT_EQ(EndActionText(TDownMode::dmNone, TSuspendMode::smNone), L"");
  EXPECT_EQ(ErrorMailBody({L"a", L"b"}, 1),
            (std::vector<std::wstring>{L"HvStarter error report - 1 error:", L"", L"a", L"b"}));
  EXPECT_EQ(ErrorMailBody({}, 3).front(), L"HvStarter error report - 3 errors:");
}
