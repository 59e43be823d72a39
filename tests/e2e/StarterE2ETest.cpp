// HvStarter started as a process on fixture groups, with the stand-in main program: sequential and
// parallel runs, exit codes and their texts, the unattended log, the real logon call, the main form.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <set>

#include <shlobj.h>

#include "base/os/WinApiUtils.h"
#include "base/os/WinExecute.h"
#include "base/os/WinShell.h"
#include "base/security/Crypt.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/StringUtils.h"
#include "support/TestSupport.h"
#include "support/TestWindows.h"
#include "winui/Handles.h"
#include "winui/TestHooks.h"
#include "winui/Unicode.h"

using namespace hv;

namespace {

// The released program, and the test build whose logon start records and starts under the current user.
std::wstring StarterExe() { return hvtest::BinaryDir() + L"\\bin\\HvStarter.exe"; }
std::wstring TestStarterExe() { return hvtest::BinaryDir() + L"\\testbin\\HvStarter.exe"; }

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t p = 0;
  for (size_t q; (q = text.find(L"\r\n", p)) != std::wstring::npos; p = q + 2) lines.push_back(text.substr(p, q - p));
  if (p < text.size()) lines.push_back(text.substr(p));
  return lines;
}

// The runs the stand-in recorded: key -> value per run.
std::vector<std::map<std::wstring, std::wstring>> Runs(const std::wstring& file, std::wstring_view head = L"[Run]") {
  std::vector<std::map<std::wstring, std::wstring>> runs;
  for (const auto& l : Lines(Utf8ToWide(hvtest::ReadBytes(file)))) {
    if (l == head) runs.emplace_back();
    else if (!runs.empty() && l.find(L'=') != std::wstring::npos) runs.back()[l.substr(0, l.find(L'='))] =
        l.substr(l.find(L'=') + 1);
  }
  return runs;
}

std::wstring DateText(const SYSTEMTIME& t) {
  wchar_t d[128], h[128];
  GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, d, 128, nullptr);
  GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, nullptr, h, 128);
  return std::wstring(d) + L" " + h;
}

// The log's date-time texts of every second from one moment to another.
std::set<std::wstring> DateTexts(const FILETIME& from, const FILETIME& to) {
  std::set<std::wstring> texts;
  ULARGE_INTEGER a{{from.dwLowDateTime, from.dwHighDateTime}}, b{{to.dwLowDateTime, to.dwHighDateTime}};
  for (ULONGLONG t = a.QuadPart - 10000000ULL; t <= b.QuadPart + 10000000ULL; t += 5000000ULL) {
    FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
    SYSTEMTIME st;
    FileTimeToSystemTime(&ft, &st);
    texts.insert(DateText(st));
  }
  return texts;
}

FILETIME LocalNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return ft;
}

class StarterE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    Conf = Tmp / L"conf";
    Jobs = Tmp / L"job files";
    CreateDirectoryW(Conf.c_str(), nullptr);
    CreateDirectoryW(Jobs.c_str(), nullptr);
    StandinRecord = Tmp / L"standin.txt";
    LogonRecord = Tmp / L"logon.txt";
  }

  std::wstring Job(const std::wstring& name, int exitCode, int delayMs = 0) {
    const std::wstring file = Jobs + L"\\" + name;
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
    ini.WriteInteger(L"Standin", L"ExitCode", exitCode);
    if (delayMs) ini.WriteInteger(L"Standin", L"Delay", delayMs);
    ini.UpdateFile();
    return file;
  }

  struct TGroup {
    std::wstring Name, User;
    bool Parallel = false;
    int StartDelay = 0;
    std::vector<std::pair<std::wstring, bool>> Files;
  };
  void WriteIni(const std::vector<TGroup>& groups, const std::wstring& lastTask = L"") {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(Conf + L"\\HvStarter.ini", true);
    ini.WriteInteger(L"Config", L"TaskCount", static_cast<int>(groups.size()));
    ini.WriteString(L"Config", L"LastTask", lastTask);
    for (size_t i = 0; i < groups.size(); ++i) {
      const std::wstring sn = L"Task0" + std::to_wstring(i);
      const TGroup& g = groups[i];
      ini.WriteString(sn, L"Description", g.Name);
      ini.WriteString(sn, L"Username", g.User);
      ini.WriteString(sn, L"Password", EncryptPassword(L"s3cret"));
      ini.WriteBool(sn, L"PasswordPrompt", false);
      ini.WriteBool(sn, L"Parallel", g.Parallel);
      ini.WriteInteger(sn, L"StartDelay", g.StartDelay);
      ini.WriteInteger(sn, L"Count", static_cast<int>(g.Files.size()));
      for (size_t j = 0; j < g.Files.size(); ++j)
        ini.WriteString(sn, L"TaskFile0" + std::to_wstring(j), (g.Files[j].second ? L"" : L"#") + g.Files[j].first);
    }
    ini.UpdateFile();
  }

  // Starts the test build, or the released program (which must not take the recording).
  bool Start(const std::wstring& args, bool released = false) {
    Exe = released ? StarterExe() : TestStarterExe();
    SetEnvironmentVariableW(L"HV_STANDIN_RECORD", StandinRecord.c_str());
    SetEnvironmentVariableW(L"HV_STARTER_LOGON_RECORD", LogonRecord.c_str());
    // No quotes around the folder: its trailing "\" would escape them.
    std::wstring cmd = L"\"" + Exe + L"\" /lang:en /ini:" + Conf + L"\\ " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    const BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, Tmp.Path().c_str(), &si,
                                   &Pi);
    SetEnvironmentVariableW(L"HV_STANDIN_RECORD", nullptr);
    SetEnvironmentVariableW(L"HV_STARTER_LOGON_RECORD", nullptr);
    Process.Reset(Pi.hProcess);
    Thread.Reset(Pi.hThread);
    return ok;
  }
  DWORD WaitEnd() { return hvtest::WaitForExit(Process.Get(), Pi.dwProcessId, 60000); }
  std::vector<std::wstring> LogLines() { return Lines(AnsiToWide(hvtest::ReadBytes(Conf + L"\\HvStarter.log"))); }

  hvtest::TempDir Tmp;
  std::wstring Conf, Jobs, StandinRecord, LogonRecord, Exe;
  PROCESS_INFORMATION Pi{};
  TKernelHandle Process, Thread;
};

std::wstring FirstLine() {
  TFileVersionInfo info;
  ReadFileVersionInfo(StarterExe(), info);
  return L"HvStarter - 64-bit (Version " + info.Version + L")";
}

}  // namespace

TEST_F(StarterE2E, UnattendedRunOfSequentialAndParallelGroups) {
  const std::wstring ok = Job(L"ok job.buj", 0), warn = Job(L"warn.buj", 4), skip = Job(L"skip.buj", 0);
  const std::wstring p1 = Job(L"p1.buj", 0, 1500), p2 = Job(L"p2.buj", 0, 1500), p4 = Job(L"p4.buj", 5, 1500);
  const int codes[] = {1, 2, 3, 6, 256};
  std::vector<std::pair<std::wstring, bool>> codeJobs;
  for (int c : codes) codeJobs.emplace_back(Job(L"code" + std::to_wstring(c) + L".buj", c), true);
  WriteIni({{L"Seq", L"DOM\\backup", false, 0, {{ok, true}, {skip, false}, {warn, true}}},
            {L"Par", L"backup", true, 10, {{p1, true}, {p2, true}, {skip, false}, {p4, true}}},
            {L"Codes", L"", true, 0, codeJobs},
            {L"Empty", L"", false, 0, {{skip, false}}},
            {L"Empty, too", L"", false, 0, {{skip, false}}}});

  const FILETIME before = LocalNow();
  ASSERT_TRUE(Start(L"/force /logmode:1 seq Par Codes Empty Nope"));
  EXPECT_EQ(WaitEnd(), 0u);
  const FILETIME after = LocalNow();

  // The stand-in's runs: one for the sequential group, one per checked job of the others.
  const auto runs = Runs(StandinRecord);
  ASSERT_EQ(runs.size(), 1u + 3u + std::size(codes));
  const std::wstring& seqLine = runs[0].at(L"CommandLine");
  EXPECT_NE(seqLine.find(L" /startapp:hvstarter /prompt:delay /ini:" + Conf + L"\\ /wait:5 /force /noaction \"" + ok +
                            L"\" \"" + warn + L"\""),
            std::wstring::npos) << seqLine;
  EXPECT_EQ(seqLine.find(L"skip"), std::wstring::npos);
  EXPECT_EQ(runs[0].at(L"JobCodes"), L"0,4");

  std::vector<std::map<std::wstring, std::wstring>> par(runs.begin() + 1, runs.begin() + 4);
  std::map<std::wstring, std::wstring> tails;
  for (const auto& r : par) {
    const std::wstring& cmd = r.at(L"CommandLine");
    const size_t a = cmd.find(L"/noaction") + 9, b = cmd.find(L" \"" + Jobs);
    ASSERT_NE(b, std::wstring::npos) << cmd;
    tails[cmd.substr(cmd.rfind(L'\\') + 1, cmd.size() - cmd.rfind(L'\\') - 2)] = cmd.substr(a, b - a);
  }
  EXPECT_EQ(tails[L"p1.buj"], L" /xinst:1");
  EXPECT_EQ(tails[L"p2.buj"], L" /delay:10 /xinst:2");
  EXPECT_EQ(tails[L"p4.buj"], L" /delay:30 /xinst:4");
  // All three ran at once: each started before any ended.
  std::wstring lastStart, firstEnd = L"~";
  for (const auto& r : par) {
    lastStart = std::max(lastStart, r.at(L"Start"));
    firstEnd = std::min(firstEnd, r.at(L"End"));
  }
  EXPECT_LT(lastStart, firstEnd);

  // The logon starts: account split, password from the stored string.
  const auto logons = Runs(LogonRecord, L"[Logon]");
  ASSERT_EQ(logons.size(), runs.size());
  EXPECT_EQ(logons[0].at(L"User"), L"backup");
  EXPECT_EQ(logons[0].at(L"Domain"), L"DOM");
  EXPECT_EQ(logons[0].at(L"PasswordLength"), L"6");
  EXPECT_EQ(logons[1].at(L"Domain"), L"");

  // The log, line by line.
  const std::vector<std::wstring> log = LogLines();
  const std::set<std::wstring> dates = DateTexts(before, after);
  const std::wstring task = L"      Backup task: ";
  std::vector<std::wstring> expected = {
      FirstLine(), L"<date>  ==> Start: ",
      L"  ->  Backup group: Seq - User name: DOM\\backup", task + ok, task + warn,
      L"  *** Error reported by Harvane: Errors during backup!",
      L"  ->  Backup group: Par - User name: backup", task + p1, task + p2, task + p4,
      L"  *** Error reported by Harvane: The backup was aborted by the user or due to an error! - Backup task: " + p4,
      L"  ->  Backup group: Codes - User name: "};
  for (const auto& j : codeJobs) expected.push_back(task + j.first);
  const size_t codeLines = expected.size();
  const std::wstring codeTexts[] = {L"Task not found!", L"Destination path not found!", L"Source directory not found!",
                                    L"Invalid task configuration!", L"Unexpected error!"};
  for (size_t i = 0; i < std::size(codes); ++i)
    expected.push_back(L"  *** Error reported by Harvane: " + codeTexts[i] + L" - Backup task: " + codeJobs[i].first);
  expected.insert(expected.end(), {L"  ->  Backup group: Empty - User name: ", L"  *** No backup tasks specified!",
                                   L"  *** Unknown group: Nope", L"<date>  ==> End: ", L""});
  ASSERT_EQ(log.size(), expected.size()) << testing::PrintToString(log);
  // The parallel codes end in any order.
  std::vector<std::wstring> got(log.begin() + codeLines, log.begin() + codeLines + std::size(codes));
  std::sort(got.begin(), got.end());
  std::vector<std::wstring> want(expected.begin() + codeLines, expected.begin() + codeLines + std::size(codes));
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
  for (size_t i = 0; i < log.size(); ++i) {
    if (i >= codeLines && i < codeLines + std::size(codes)) continue;
    if (expected[i].rfind(L"<date>", 0) == 0) {
      const std::wstring prefix = expected[i].substr(6);
      ASSERT_EQ(log[i].substr(0, prefix.size()), prefix);
      EXPECT_TRUE(dates.count(log[i].substr(prefix.size()))) << testing::PrintToString(log[i]);
    } else {
      EXPECT_EQ(log[i], expected[i]) << i;
    }
  }

  // A second run appends; a group name may hold a comma.
  ASSERT_TRUE(Start(L"/force /logmode:1 \"Empty, too\""));
  EXPECT_EQ(WaitEnd(), 0u);
  const auto twice = LogLines();
  ASSERT_EQ(twice.size(), log.size() + 6) << testing::PrintToString(twice);
  EXPECT_EQ(twice[log.size()], FirstLine());
  EXPECT_EQ(twice[log.size() + 2], L"  ->  Backup group: Empty, too - User name: ");
}

// The released program calls the system's logon start whatever its environment says.
TEST_F(StarterE2E, FailedLogonCallOfTheSystemIsReported) {
  WriteIni({{L"G", L"hv-no-such-user", false, 0, {{Job(L"a.buj", 0), true}}}});
  ASSERT_TRUE(Start(L"/force /logmode:1 G", true));
  EXPECT_EQ(WaitEnd(), 0u);
  const auto log = LogLines();
  ASSERT_EQ(log.size(), 7u) << testing::PrintToString(log);
  EXPECT_EQ(log[3], L"      Backup task: " + Jobs + L"\\a.buj");
  // Wine's call fails without an error code.
  EXPECT_EQ(log[4], L"  *** Error on starting Harvane: The logon start failed and the system gave no reason "
                    L"(0x00000000)");
  EXPECT_TRUE(Runs(StandinRecord).empty());
  EXPECT_EQ(GetFileAttributesW(LogonRecord.c_str()), INVALID_FILE_ATTRIBUTES);
}

namespace {

struct TChildren {
  HWND Combo = nullptr, List = nullptr, Run = nullptr;
};
BOOL CALLBACK FindChildren(HWND wnd, LPARAM lp) {
  auto* c = reinterpret_cast<TChildren*>(lp);
  wchar_t cls[64], text[64];
  GetClassNameW(wnd, cls, 64);
  GetWindowTextW(wnd, text, 64);
  if (lstrcmpiW(cls, L"ComboBox") == 0) c->Combo = wnd;
  if (lstrcmpiW(cls, L"ListBox") == 0) c->List = wnd;
  if (lstrcmpW(text, L"Start backup") == 0) c->Run = wnd;
  return TRUE;
}

bool WaitForFile(const std::wstring& file, std::wstring_view text, HANDLE process) {
  for (int i = 0; i < 600; ++i) {
    if (Utf8ToWide(hvtest::ReadBytes(file)).find(text) != std::wstring::npos) return true;
    if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) return false;
  }
  return false;
}

}  // namespace

TEST_F(StarterE2E, MainFormShowsGroupsAndStaysDuringARun) {
  const std::wstring slow = Job(L"slow.buj", 0, 2500);
  const std::wstring gone = Jobs + L"\\gone.buj";
  WriteIni({{L"Nightly", L"DOM\\backup", false, 0, {{Job(L"a.buj", 0), true}, {gone, false}, {Job(L"c.buj", 0), false}}},
            {L"Slow", L"backup", false, 0, {{slow, true}}},
            {L"Weekly", L"", true, 5, {}}},
           L"nightly");
  ASSERT_TRUE(Start(L""));
  ASSERT_EQ(WaitForInputIdle(Process.Get(), 30000), 0u);
  const HWND mainWnd = hvtest::FindProcessWindow(Pi.dwProcessId);
  ASSERT_TRUE(mainWnd);
  TChildren c;
  EnumChildWindows(mainWnd, FindChildren, reinterpret_cast<LPARAM>(&c));
  ASSERT_TRUE(c.Combo && c.List && c.Run);
  EXPECT_EQ(SendMessageW(c.Combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(c.Combo, CB_GETCURSEL, 0, 0), 0);
  ASSERT_EQ(SendMessageW(c.List, LB_GETCOUNT, 0, 0), 3);
  wchar_t item[MAX_PATH];
  SendMessageW(c.List, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(item));
  EXPECT_EQ(std::wstring(item), gone + L"  (missing)");
  RedrawWindow(mainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);  // let the frame settle for the picture
  EXPECT_TRUE(hvtest::SaveScreenshot(mainWnd, L"main-HvStarter-groups"));

  // Run the slow group; a close during the run is refused.
  SendMessageW(c.Combo, CB_SETCURSEL, 1, 0);
  SendMessageW(mainWnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c.Combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(c.Combo));
  EXPECT_EQ(SendMessageW(c.List, LB_GETCOUNT, 0, 0), 1);
  PostMessageW(c.Run, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitForFile(LogonRecord, L"slow.buj", Process.Get()));
  EXPECT_FALSE(IsWindowEnabled(c.Run));
  PostMessageW(mainWnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitForFile(StandinRecord, L"ExitCode=0", Process.Get()));
  DWORD_PTR r = 0;
  EXPECT_TRUE(SendMessageTimeoutW(mainWnd, WM_NULL, 0, 0, SMTO_BLOCK, 20000, &r));  // the run has finished
  EXPECT_TRUE(IsWindow(mainWnd));
  EXPECT_TRUE(IsWindowEnabled(c.Run));

  PostMessageW(mainWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitEnd(), 0u);
  // The missing job file is still stored.
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(Conf + L"\\HvStarter.ini");
  EXPECT_EQ(ini.ReadString(L"Task00", L"TaskFile01", L""), L"#" + gone);
  EXPECT_EQ(ini.ReadString(L"Config", L"LastTask", L""), L"Slow");
  EXPECT_EQ(ini.ReadInteger(L"Config", L"TaskCount", 0), 3);
}

TEST_F(StarterE2E, DesktopShortcutMadeInTheWindowRunsItsGroup) {
  const std::wstring job = Job(L"linked.buj", 0);
  WriteIni({{L"Other", L"", false, 0, {{Job(L"other.buj", 0), true}}}, {L"Nightly", L"DOM\\backup", false, 0, {{job, true}}}});
  const std::wstring name = L"HvStarter e2e " + std::to_wstring(GetCurrentProcessId());
  const std::wstring desktopDir = GetSpecialFolder(CSIDL_DESKTOPDIRECTORY);
  CreateDirectoryW(desktopDir.c_str(), nullptr);
  const std::wstring link = desktopDir + L"\\" + name + L".lnk";
  DeleteFileW(link.c_str());

  // Made through the window and its shortcut dialog.
  ASSERT_TRUE(Start(L""));
  ASSERT_EQ(WaitForInputIdle(Process.Get(), 30000), 0u);
  const HWND mainWnd = hvtest::FindProcessWindow(Pi.dwProcessId);
  ASSERT_TRUE(mainWnd);
  const HWND desktop = hvtest::FindChildWindow(mainWnd, L"Button", L"Desktop shortcut");
  ASSERT_TRUE(desktop);
  PostMessageW(desktop, BM_CLICK, 0, 0);
  const HWND dialog = hvtest::WaitForCaption(Pi.dwProcessId, L"Create Desktop shortcut", Process.Get());
  ASSERT_TRUE(dialog);
  const HWND list = hvtest::FindChildWindow(dialog, L"ListBox"), edit = hvtest::FindChildWindow(dialog, L"Edit"),
             ok = hvtest::FindChildWindow(dialog, L"Button", L"OK");
  ASSERT_TRUE(list && edit && ok);
  SendMessageW(list, LB_SETSEL, TRUE, 1);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageW(ok, BM_CLICK, 0, 0);
  bool made = false;
  for (int i = 0; i < 600 && !made; ++i) {
    made = GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!made) Sleep(50);
  }
  ASSERT_TRUE(made);
  DWORD_PTR r = 0;
  SendMessageTimeoutW(mainWnd, WM_NULL, 0, 0, SMTO_BLOCK, 20000, &r);  // the link is written completely
  PostMessageW(mainWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitEnd(), 0u);

  std::wstring target, args, workDir, desc;
  bool runAs = true;
  ASSERT_EQ(ReadShellLinkEx(link, target, args, workDir, desc, runAs), S_OK);
  DeleteFileW(link.c_str());
  EXPECT_EQ(AnsiLowerCase(target), AnsiLowerCase(Exe));
  EXPECT_EQ(args, L"Nightly /force /ini:" + Conf + L"\\ /logmode:1");
  EXPECT_EQ(desc, name);

  // Started as the shell would: the group it names runs unattended.
  SetEnvironmentVariableW(L"HV_STANDIN_RECORD", StandinRecord.c_str());
  SetEnvironmentVariableW(L"HV_STARTER_LOGON_RECORD", LogonRecord.c_str());
  TKernelHandle process = StartProcess(L"\"" + target + L"\" " + args, workDir);
  SetEnvironmentVariableW(L"HV_STANDIN_RECORD", nullptr);
  SetEnvironmentVariableW(L"HV_STARTER_LOGON_RECORD", nullptr);
  EXPECT_EQ(WaitForProcess(process, 60000, true), 0u);
  const auto runs = Runs(StandinRecord);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NE(runs[0].at(L"CommandLine").find(job), std::wstring::npos);
  EXPECT_EQ(runs[0].at(L"CommandLine").find(L"other.buj"), std::wstring::npos);
  const auto log = LogLines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[2], L"  ->  Backup group: Nightly - User name: DOM\\backup");
}

// The dialogs the program keeps, opened and left open or cancelled, in English and German: the
// program ends with 0, and the log viewer writes its view into the main program's settings at the end.
TEST_F(StarterE2E, KeptDialogsOpenedThenQuitEndCleanly) {
  const struct {
    const wchar_t *Lang, *ShowLog, *LogDirTitle;
  } cases[] = {{L"en", L"Show HvStarter log file", L"Select log directory"},
               {L"de", L"HvStarter-Protokoll anzeigen", L"Protokollverzeichnis ausw\u00e4hlen"}};
  WriteIni({{L"Nightly", L"", false, 0, {{Job(L"a.buj", 0), true}}}});
  ASSERT_TRUE(hvtest::WriteBytes(Conf + L"\\HvStarter.log", "HvStarter\r\n  *** error\r\n"));
  const std::wstring mainIni = Conf + L"\\Harvane.ini";
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.Lang)));
    ASSERT_TRUE(hvtest::WriteBytes(mainIni, ""));
    ASSERT_TRUE(Start(L"/lang:" + std::wstring(c.Lang)));
    ASSERT_EQ(WaitForInputIdle(Process.Get(), 30000), 0u);
    const HWND mainWnd = hvtest::WaitForProcessWindow(Pi.dwProcessId);
    ASSERT_TRUE(mainWnd);

    // The log directory's button is the lower of the two "..." buttons.
    std::vector<HWND> dots = hvtest::FindChildWindows(mainWnd, L"Button", L"...");
    ASSERT_EQ(dots.size(), 2u);
    const auto top = [](HWND w) {
      RECT r{};
      GetWindowRect(w, &r);
      return r.top;
    };
    PostMessageW(top(dots[0]) > top(dots[1]) ? dots[0] : dots[1], BM_CLICK, 0, 0);
    const HWND dirDialog = hvtest::WaitForCaption(Pi.dwProcessId, c.LogDirTitle, Process.Get());
    ASSERT_TRUE(dirDialog) << testing::PrintToString(hvtest::ProcessWindowsText(Pi.dwProcessId));
    EXPECT_TRUE(hvtest::SaveScreenshot(dirDialog, L"e2e-HvStarter-dirdialog-" + std::wstring(c.Lang)));
    PostMessageW(dirDialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(hvtest::WaitHidden(dirDialog, Process.Get()));

    const HWND showLog = hvtest::FindChildWindow(mainWnd, L"Button", c.ShowLog);
    ASSERT_TRUE(showLog);
    PostMessageW(showLog, BM_CLICK, 0, 0);
    const HWND viewer = hvtest::WaitForProcessWindow(Pi.dwProcessId, L"HvForm", true, mainWnd);
    ASSERT_TRUE(viewer) << testing::PrintToString(hvtest::ProcessWindowsText(Pi.dwProcessId));
    Sleep(300);  // the text is shown
    EXPECT_TRUE(hvtest::SaveScreenshot(viewer, L"e2e-HvStarter-viewer-" + std::wstring(c.Lang)));
    RECT shown{};
    GetWindowRect(viewer, &shown);

    PostMessageW(mainWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitEnd(), 0u);
    const TMemIniFile ini(mainIni);
    EXPECT_EQ(ini.ReadInteger(L"View", L"Width", 0), shown.right - shown.left);
    EXPECT_EQ(ini.ReadInteger(L"View", L"Height", 0), shown.bottom - shown.top);
    for (const wchar_t* key : {L"Top", L"Left", L"FontName", L"FontSize", L"FontStyle"})
      EXPECT_TRUE(ini.ValueExists(L"View", key)) << testing::PrintToString(std::wstring(key));
  }
}
