// QlBackup started as a process for its unattended run, against the stand-in main program.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "QlFixture.h"
#include "base/app/HvUtils.h"
#include "base/os/WinApiUtils.h"
#include "base/os/WinShell.h"
#include "base/security/Crypt.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/StringUtils.h"
#include "qlbackup/QlCore.h"
#include "qlbackup/QlJob.h"
#include "qlbackup/QlOptions.h"
#include "support/TestSupport.h"
#include "support/TestWindows.h"
#include "winui/Handles.h"
#include "winui/TestHooks.h"

using namespace hv;

namespace {

namespace fs = std::filesystem;

std::wstring BinDir() { return hvtest::BinaryDir() + L"\\bin"; }

bool Exists(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ReadUtf16(const std::wstring& name) {
  const std::string b = hvtest::ReadBytes(name);
  std::wstring s;
  for (size_t i = 2; i + 1 < b.size(); i += 2)
    s += static_cast<wchar_t>(static_cast<unsigned char>(b[i]) | (static_cast<unsigned char>(b[i + 1]) << 8));
  return s;
}

BOOL CALLBACK CollectStatic(HWND wnd, LPARAM lp) {
  wchar_t cls[32], text[2048];
  if (GetClassNameW(wnd, cls, 32) && lstrcmpiW(cls, L"Static") == 0) {
    const int n = GetWindowTextW(wnd, text, 2048);
    if (n > 0) *reinterpret_cast<std::wstring*>(lp) += std::wstring(text, static_cast<size_t>(n));
  }
  return TRUE;
}

// A run of QlBackup: the texts of the boxes it showed (each closed as a user would) and its exit code.
struct TRun {
  std::vector<std::wstring> Boxes;
  DWORD ExitCode = 0xFFFFFFFF;
};

TRun RunQlBackup(const std::wstring& exe, const std::wstring& args, const std::wstring& workDir,
                 const std::wstring& shot = L"") {
  TRun run;
  std::wstring cmd = L"\"" + exe + L"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(), &si, &pi))
    return run;
  TKernelHandle process(pi.hProcess), thread(pi.hThread);
  for (int i = 0; i < 3600; ++i) {
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    const HWND boxWnd = hvtest::FindProcessWindow(pi.dwProcessId, nullptr);
    if (!boxWnd) continue;
    Sleep(100);  // the box has laid out its text
    std::wstring text;
    EnumChildWindows(boxWnd, CollectStatic, reinterpret_cast<LPARAM>(&text));
    if (!shot.empty() && run.Boxes.empty()) hvtest::SaveScreenshot(boxWnd, shot);
    run.Boxes.push_back(text);
    PostMessageW(boxWnd, WM_CLOSE, 0, 0);
    // Gone before the next box is looked for: a slow close would count this box twice.
    for (int j = 0; j < 600 && IsWindow(boxWnd) && IsWindowVisible(boxWnd); ++j)
      if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &run.ExitCode);
  else TerminateProcess(pi.hProcess, 99);
  return run;
}

class QlBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Jobs = Tmp / L"Jobs";
    Dest = Tmp / L"Backup";
    Record = Tmp / L"record.txt";
    CreateDirectoryW(Jobs.c_str(), nullptr);
    SetEnvironmentVariableW(L"HV_STANDIN_RECORD", Record.c_str());
    Profile = Tb.Dir + L"\\Profiles\\s1mpl3.default-release";
    Job = Jobs + L"\\ql-default-release.buj";
  }
  void TearDown() override { SetEnvironmentVariableW(L"HV_STANDIN_RECORD", nullptr); }

  std::wstring Args(const std::wstring& profile) const {
    return profile + L" /force /taskdir:" + Jobs + L" /ini:" + Tmp / L"QlBackup.ini" + L" /backupdir:" + Dest;
  }
  void SeedExitCode(int code) {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(Job, false);
    ini.WriteInteger(L"Standin", L"ExitCode", code);
    ini.UpdateFile();
  }
  std::wstring LastCommandLine() const {
    const std::wstring text = Utf8ToWide(hvtest::ReadBytes(Record));
    const size_t p = text.rfind(L"CommandLine=");
    if (p == std::wstring::npos) return L"<none>";
    return text.substr(p + 12, text.find(L"\r\n", p) - p - 12);
  }

  qle2e::TThunderbirdInstall Tb{L"single"};
  hvtest::TempDir Tmp;
  std::wstring Jobs, Dest, Record, Profile, Job;
};

TEST_F(QlBackupTest, UnattendedBackupThroughTheStandin) {
  const TRun run = RunQlBackup(BinDir() + L"\\QlBackup.exe", Args(L"default-release"), Tmp.Path());
  EXPECT_EQ(run.ExitCode, 0u);
  EXPECT_TRUE(run.Boxes.empty()) << testing::PrintToString(run.Boxes);

  // The job file as written (the stand-in added its count of backups at the end of [Global]).
  std::wstring golden = Utf8ToWide(hvtest::ReadBytes(hvtest::FixtureDir() + L"\\qlbackup\\new-job.txt"));
  TFileVersionInfo info;
  ASSERT_TRUE(ReadFileVersionInfo(BinDir() + L"\\QlBackup.exe", info));
  const std::wstring version = L"Version " + info.Version.substr(0, info.Version.rfind(L'.'));
  for (auto [token, value] : {std::pair{L"@DEST@", Dest}, {L"@SOURCE@", Profile}, {L"@VERSION@", version}})
    for (size_t p; (p = golden.find(token)) != std::wstring::npos;) golden.replace(p, wcslen(token), value);
  golden.replace(golden.find(L"[Mail]"), 0, L"BackupCount=2\r\n");
  EXPECT_EQ(ReadUtf16(Job), golden);
  EXPECT_EQ(hvtest::ReadBytes(Job).substr(0, 2), "\xFF\xFE");

  EXPECT_EQ(LastCommandLine(), MakeBackupCommand(BinDir() + L"\\Harvane.exe", Job,
                                                 L" /prompt:delay /wait:5 /status:normal /hide /force"));
  const std::wstring record = Utf8ToWide(hvtest::ReadBytes(Record));
  EXPECT_NE(record.find(L"\r\nSwitches=startapp:qlbackup prompt:delay wait:5 status:normal hide force\r\n"),
            std::wstring::npos);
  EXPECT_EQ(ReadProfileInfo(Dest + L"\\bu-profiles.ini", L"default-release"), Profile);
  const std::wstring copy = Dest + L"\\" + MakeDriveFolder(L"Drv?", Profile) + Profile.substr(3);
  EXPECT_TRUE(Exists(copy + L"\\Mail\\Local Folders\\Inbox"));
  EXPECT_TRUE(Exists(copy + L"\\calendar-data\\local.sqlite"));
  EXPECT_FALSE(Exists(copy + L"\\parent.lock"));
  EXPECT_FALSE(Exists(Tmp / L"QlBackup.ini"));  // an unattended run keeps the settings as they are
}

TEST_F(QlBackupTest, StoredPasswordAndOptionsOfTheRun) {
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(Job, false);
    ini.WriteString(L"Global", L"Encrypt", L"2");
    ini.WriteString(L"Global", L"FixPassword", L"1");
    ini.WriteString(L"Global", L"Password", EncryptPassword(L"fixed pw"));
    ini.UpdateFile();
  }
  const TRun run = RunQlBackup(BinDir() + L"\\QlBackup.exe",
                               L"/force /prompt:error /wait:9 /logmode:2 /logdir:C:\\Logs /exclude:a,b " + Args(L""),
                               Tmp.Path());
  EXPECT_EQ(run.ExitCode, 0u) << testing::PrintToString(run.Boxes);
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(Job);
  const std::wstring stored = ini.ReadString(L"Global", L"Password", L"");
  EXPECT_GE(stored.size(), 100u);
  EXPECT_LE(stored.size(), 117u);
  for (wchar_t ch : stored) EXPECT_TRUE((ch >= L'!' && ch <= L'u') || ch == L'z') << int(ch);  // Ascii85
  EXPECT_EQ(DecryptPassword(stored), L"fixed pw");
  EXPECT_EQ(ini.ReadString(L"Global", L"Encrypt", L""), L"2");
  EXPECT_EQ(ini.ReadString(L"Global", L"LogFile", L""), L"2");
  EXPECT_EQ(ini.ReadString(L"Global", L"LogName", L""), L"C:\\Logs\\%taskname%.log");
  EXPECT_EQ(ini.ReadString(L"DirFilter", L"Count", L""), L"8");
  EXPECT_EQ(LastCommandLine(), MakeBackupCommand(BinDir() + L"\\Harvane.exe", Job,
                                                 L" /prompt:error /wait:9 /status:normal /hide /force"));
}

TEST_F(QlBackupTest, FailuresGiveTheirTextAndExitCode) {
  struct Case {
    int Code;
    std::wstring Text;
  } cases[] = {{1, L"Task not found!"},
               {2, L"Destination path not found!"},
               {3, L"Source directory not found!"},
               {4, L"Errors during backup!"},
               {5, L"The backup was aborted by the user or due to an error!"},
               {6, L"Invalid task configuration!"},
               {7, L"Unexpected error!"},
               {8, L"Unexpected error!"},
               {256, L"Unexpected error!"}};
  for (const auto& c : cases) {
    SeedExitCode(c.Code);
    const TRun run = RunQlBackup(BinDir() + L"\\QlBackup.exe", Args(L"default-release"), Tmp.Path(),
                                 c.Code == 4 ? L"qlbackup-unattended-error" : L"");
    EXPECT_EQ(run.ExitCode, static_cast<DWORD>(c.Code));
    ASSERT_EQ(run.Boxes.size(), 1u) << c.Code;
    EXPECT_EQ(run.Boxes[0], L"QlBackup\r\nError reported by Harvane: " + c.Text) << c.Code;
  }

  // The main program cannot be started.
  hvtest::TempDir copy;
  fs::copy_file(fs::path(BinDir() + L"\\QlBackup.exe"), fs::path(copy / L"QlBackup.exe"));
  hvtest::WriteBytes(copy / L"Harvane.exe", "not a program");
  TRun run = RunQlBackup(copy / L"QlBackup.exe", Args(L"default-release"), copy.Path());
  EXPECT_EQ(run.ExitCode, 7u);
  ASSERT_EQ(run.Boxes.size(), 1u);
  EXPECT_EQ(run.Boxes[0].rfind(L"QlBackup\r\nError on starting Harvane: ", 0), 0u) << testing::PrintToString(run.Boxes[0]);

  // A profile that is not there: no run, a failure code.
  run = RunQlBackup(BinDir() + L"\\QlBackup.exe", Args(L"nosuchprofile"), Tmp.Path());
  EXPECT_EQ(run.ExitCode, 9u);
  ASSERT_EQ(run.Boxes.size(), 1u);
  EXPECT_EQ(run.Boxes[0], L"QlBackup\r\nProfile \"nosuchprofile\" not found!");
}

}  // namespace

namespace {

// The window's questions are not asked in the tests below.
class TSilentUi : public IQlUi {
 public:
  void ShowError(const std::wstring&) override {}
  void ShowErrorBox(const std::wstring&) override {}
  void ShowInfo(const std::wstring&) override {}
  bool Confirm(const std::wstring&) override { return false; }
  int SelectOption(const std::wstring&, const std::wstring&, const std::vector<std::wstring>&, int, const std::wstring&,
                   bool&) override {
    return -1;
  }
  bool SelectDirectory(const std::wstring&, std::wstring&, const std::wstring&) override { return false; }
  bool SelectProfile(const TProfileList&, std::wstring&) override { return false; }
  void SetBusy(bool) override {}
};

}  // namespace

// A desktop shortcut with the arguments the main window gives it: started, it backs up the profile
// it names, also when the name holds a blank.
TEST_F(QlBackupTest, ShortcutCommandLineRunsTheProfileItNames) {
  std::string ini = hvtest::ReadBytes(Tb.Dir + L"\\profiles.ini");
  ini.replace(ini.find("Name=default-release"), 20, "Name=My mail");
  ASSERT_TRUE(hvtest::WriteBytes(Tb.Dir + L"\\profiles.ini", ini));
  TSilentUi ui;
  TQlCore core(ui);
  core.MailProfile = L"My mail";
  core.StatusIndex = 2;
  const std::wstring link = Tmp / L"Backup ql-My mail.lnk";
  ASSERT_EQ(CreateShellLink(link, BinDir() + L"\\QlBackup.exe",
                            core.UnattendedArguments() + L" /taskdir:" + Jobs + L" /backupdir:" + Dest, Jobs,
                            L"Thunderbird mail backup: My mail", false),
            S_OK);

  std::wstring target, args, workDir, desc;
  ASSERT_TRUE(ReadShellLink(link, target, args, workDir, desc));
  ASSERT_EQ(args.rfind(L"\"My mail\" /prompt:quiet", 0), 0u) << args;
  const TRun run = RunQlBackup(target, args, workDir);
  EXPECT_EQ(run.ExitCode, 0u) << testing::PrintToString(run.Boxes);
  EXPECT_TRUE(run.Boxes.empty()) << testing::PrintToString(run.Boxes);
  EXPECT_EQ(LastCommandLine(), MakeBackupCommand(BinDir() + L"\\Harvane.exe", Jobs + L"\\ql-My mail.buj",
                                                 L" /prompt:quiet /status:normal /hide /force"));
  EXPECT_EQ(ReadProfileInfo(Dest + L"\\bu-profiles.ini", L"My mail"), Profile);
}
