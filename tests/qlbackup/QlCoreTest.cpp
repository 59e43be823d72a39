// The flows of QlBackup against the stand-in main program, with a scripted user.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <filesystem>

#include "QlTestSupport.h"
#include "base/app/HvUtils.h"
#include "base/os/WinApiUtils.h"
#include "base/os/WinUtils.h"
#include "base/app/PlaceHolders.h"
#include "base/settings/IniFileUtils.h"
#include "base/os/FileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "qlbackup/QlCore.h"
#include "support/TestSupport.h"

using namespace hv;

namespace {

bool Exists(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Answers as a test tells it and keeps what was shown.
class TScriptedUi : public IQlUi {
 public:
  std::vector<std::wstring> Errors, Infos, Questions;
  std::deque<bool> Answers;          // Confirm; empty: yes
  std::deque<int> Options;           // SelectOption; empty: cancel
  std::deque<std::wstring> Folders;  // SelectDirectory; empty: cancel
  std::vector<std::wstring> OptionTexts, FolderTitles, FolderStarts;
  bool OptionChecked = true;
  int BusyCalls = 0;

  void ShowError(const std::wstring& text) override { Errors.push_back(text); }
  void ShowErrorBox(const std::wstring& text) override { Errors.push_back(text); }
  void ShowInfo(const std::wstring& text) override { Infos.push_back(text); }
  bool Confirm(const std::wstring& text) override {
    Questions.push_back(text);
    if (Answers.empty()) return true;
    bool a = Answers.front();
    Answers.pop_front();
    return a;
  }
  int SelectOption(const std::wstring&, const std::wstring& text, const std::vector<std::wstring>&, int,
                   const std::wstring&, bool& checked) override {
    OptionTexts.push_back(text);
    checked = OptionChecked;
    if (Options.empty()) return -1;
    int a = Options.front();
    Options.pop_front();
    return a;
  }
  bool SelectDirectory(const std::wstring& title, std::wstring& dir, const std::wstring&) override {
    FolderTitles.push_back(title);
    FolderStarts.push_back(dir);
    if (Folders.empty()) return false;
    dir = Folders.front();
    Folders.pop_front();
    return true;
  }
  bool SelectProfile(const TProfileList&, std::wstring&) override { return false; }
  void SetBusy(bool) override { ++BusyCalls; }
};

struct TShutdownRecorder : IShutdownApi {
  std::vector<std::string> Calls;
  bool EnablePrivilege() override { return true; }
  bool ExitSession(UINT flags, DWORD) override {
    Calls.push_back("exit " + std::to_string(flags));
    return true;
  }
  bool ShutdownSystem(bool reboot, DWORD reason) override {
    Calls.push_back(std::string(reboot ? "restart " : "shutdown ") + std::to_string(reason));
    return true;
  }
};

std::vector<std::string>* gSuspends = nullptr;
BOOLEAN WINAPI RecordSuspend(BOOLEAN hibernate, BOOLEAN, BOOLEAN) {
  gSuspends->push_back(hibernate ? "hibernate" : "standby");
  return TRUE;
}

class QlCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QlApp = qltest::CopyThunderbird(L"single", Tmp / L"Thunderbird");
    Core.QlApp = QlApp;
    ASSERT_TRUE(FindProfiles(QlApp, Core.ProfileList, Core.QlEnc));
    Core.ProfFound = true;
    Core.HvPath = hvtest::BinaryDir() + L"\\bin\\Harvane.exe";
    ASSERT_TRUE(Exists(Core.HvPath));
    Core.JobDir = Tmp / L"Jobs\\";
    Core.UserPath = Tmp.Path() + L"\\";
    Core.Job.DriveId = L"Drv?";
    Core.Version = L"Version 4.6.0";
    Core.SetProfile(L"default-release");
    Core.DestDir = Core.RealDir = Tmp / L"Backup";
    Core.StatusIndex = 2;
    Core.ThunderbirdRunning = [this] { return TbRunning; };
    Record = Tmp / L"record.txt";
    SetEnvironmentVariableW(L"HV_STANDIN_RECORD", Record.c_str());
    CreateDirectoryW(Core.JobDir.c_str(), nullptr);
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"HV_STANDIN_RECORD", nullptr);
    SetShutdownApi(nullptr);
  }
  std::wstring ProfileDir() const { return Core.MailDir; }
  std::wstring BackupOfProfile() const {
    return Core.RealDir + L"\\" + MakeDriveFolder(L"Drv?", ProfileDir()) + ProfileDir().substr(3);
  }
  // Thunderbird's installation default, in profiles.ini and installs.ini, naming the profile.
  void AddInstallDefaults() {
    const std::string keys = "Default=Profiles/s1mpl3.default-release\r\nLocked=1\r\n";
    const std::string profiles = hvtest::ReadBytes(QlApp + L"profiles.ini");
    ASSERT_TRUE(hvtest::WriteBytes(QlApp + L"profiles.ini", profiles + "\r\n[Install308046B0AF4A39CB]\r\n" + keys));
    ASSERT_TRUE(hvtest::WriteBytes(QlApp + L"installs.ini", "[308046B0AF4A39CB]\r\n" + keys));
  }
  // The installation's default in both files, each as Thunderbird resolves it.
  std::vector<std::wstring> InstallDefaults() const {
    std::vector<std::wstring> dirs;
    for (const auto& [file, section] : {std::pair{L"profiles.ini", L"Install308046B0AF4A39CB"},
                                        std::pair{L"installs.ini", L"308046B0AF4A39CB"}}) {
      const std::wstring d = TMemIniFile(QlApp + file, TIniEncoding::ieUtf8NoBom).ReadString(section, L"Default", L"");
      dirs.push_back(IsAbsolutePath(d) ? d : QlApp + ReplaceChar(d, L'/', L'\\'));
    }
    return dirs;
  }
  void SeedExitCode(const std::wstring& job, int code) {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(job, false);
    ini.WriteInteger(L"Standin", L"ExitCode", code);
    ini.UpdateFile();
  }

  hvtest::TempDir Tmp;
  std::wstring QlApp, Record;
  TScriptedUi Ui;
  TQlCore Core{Ui};
  bool TbRunning = false;
};

TEST_F(QlCoreTest, MainProgramResultsAndTheirTexts) {
  struct Case {
    int Exit, Result;
    std::wstring Text;
  } cases[] = {{0, 0, L""},
               {1, 1, L"Task not found!"},
               {2, 2, L"Destination path not found!"},
               {3, 3, L"Source directory not found!"},
               {4, 4, L"Errors during backup!"},
               {5, 5, L"The backup was aborted by the user or due to an error!"},
               {6, 6, L"Invalid task configuration!"},
               {7, 7, L"Unexpected error!"},
               {8, 8, L"Unexpected error!"},
               {256, 256, L"Unexpected error!"}};
  for (const auto& c : cases) {
    Ui.Errors.clear();
    const int r = Core.RunMainProgram(hvtest::TestChildExe() + L" " + std::to_wstring(c.Exit));
    EXPECT_EQ(r, c.Result) << c.Exit;
    if (c.Text.empty()) {
      EXPECT_TRUE(Ui.Errors.empty());
    } else {
      ASSERT_EQ(Ui.Errors.size(), 1u);
      EXPECT_EQ(Ui.Errors[0], L"Error reported by Harvane: " + c.Text);
    }
  }
  Ui.Errors.clear();
  EXPECT_EQ(Core.RunMainProgram(Tmp / L"missing.exe"), kRunStartFailed);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].rfind(L"Error on starting Harvane: ", 0), 0u);
  EXPECT_FALSE(Core.Busy());
}

TEST_F(QlCoreTest, BackupThroughTheStandin) {
  Core.DestDir = Core.RealDir = Tmp / L"Backup\\%year%";
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_EQ(Ui.BusyCalls, 2);
  const std::wstring dated = ExpandDatePlaceholders(Core.RealDir, 0);
  EXPECT_EQ(ReadProfileInfo(dated + L"\\bu-profiles.ini", L"default-release"), ProfileDir());
  EXPECT_EQ(TUnicodeIniFile::CreateForRead(Core.BuTaskName).ReadString(L"Global", L"Destination", L""),
            Tmp / L"Backup\\%year%");
  const std::wstring copy = dated + L"\\" + MakeDriveFolder(L"Drv?", ProfileDir()) + ProfileDir().substr(3);
  EXPECT_TRUE(Exists(copy + L"\\prefs.js"));
  EXPECT_TRUE(Exists(copy + L"\\Mail\\Local Folders\\Inbox"));
  EXPECT_TRUE(Exists(copy + L"\\calendar-data\\local.sqlite"));
  for (const wchar_t* left : {L"parent.lock", L"global-messages-db.sqlite", L"places.sqlite-wal", L"cache2",
                              L"datareporting"})
    EXPECT_FALSE(Exists(copy + L"\\" + left)) << testing::PrintToString(std::wstring(left));
  const std::string record = hvtest::ReadBytes(Record);
  const std::string expected = WideToUtf8(MakeBackupCommand(Core.HvPath, Core.BuTaskName,
                                                            L" /prompt:quiet /status:normal /hide /force"));
  EXPECT_NE(record.find("CommandLine=" + expected + "\r\n"), std::string::npos) << record;
}

TEST_F(QlCoreTest, BackupStopsBeforeTheMainProgram) {
  Core.DestDir = Core.RealDir = L"";
  EXPECT_EQ(Core.RunBackup(Core.BuTaskName, false), kRunNotStarted);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], L"Destination: No directory specified!");

  Ui.Errors.clear();
  hvtest::WriteBytes(Tmp / L"file", "x");
  Core.RealDir = Tmp / L"file\\sub";
  EXPECT_EQ(Core.RunBackup(Core.BuTaskName, false), kRunNotStarted);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], L"Could not create directory:\r\n\"" + Core.RealDir + L"\"");

  Ui.Errors.clear();
  Core.RealDir = Tmp / L"Backup";
  Core.BuTaskName = Tmp / L"nojobdir\\ql-x.buj";
  EXPECT_EQ(Core.RunBackup(Core.BuTaskName, false), kRunNotStarted);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], L"Error saving task \"" + Core.BuTaskName + L"\"!");
  EXPECT_FALSE(Exists(Record));
}

TEST_F(QlCoreTest, RestoreRoundTripIntoTheProfile) {
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  const std::wstring inbox = ProfileDir() + L"\\Mail\\Local Folders\\Inbox";
  const std::string mail = hvtest::ReadBytes(inbox);
  DeleteFileW(inbox.c_str());
  hvtest::WriteBytes(ProfileDir() + L"\\stray.txt", "x");
  Ui.Options = {1};  // Continue
  EXPECT_EQ(Core.Restore(), 0);
  EXPECT_EQ(hvtest::ReadBytes(inbox), mail);
  EXPECT_FALSE(Exists(ProfileDir() + L"\\stray.txt"));  // cleared first
  EXPECT_TRUE(Ui.Questions.empty());                     // restored in place: nothing to adjust
  const TUnicodeIniFile rsj = TUnicodeIniFile::CreateForRead(Core.ReTaskName);
  EXPECT_EQ(rsj.ReadString(L"Restore", L"Source", L""), BackupOfProfile());
  EXPECT_EQ(rsj.ReadString(L"Restore", L"DestDir", L""), ProfileDir());
  EXPECT_EQ(rsj.ReadString(L"Restore", L"UnCompress", L""), L"0");
  const std::string record = hvtest::ReadBytes(Record);
  EXPECT_NE(record.find(WideToUtf8(MakeRestoreCommand(Core.HvPath, Core.ReTaskName)) + "\r\n"), std::string::npos);
}

TEST_F(QlCoreTest, RestoreIntoAnotherFolderRepointsThunderbird) {
  AddInstallDefaults();
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  const std::wstring other = Tmp / L"Moved profile";
  CreateDirectoryW(other.c_str(), nullptr);
  Ui.Options = {0};  // Other directory
  Ui.Folders = {other};
  EXPECT_EQ(Core.Restore(), 0);
  ASSERT_EQ(Ui.Questions.size(), 1u);
  EXPECT_EQ(Ui.Questions[0], L"Adjust Thunderbird profile?");
  EXPECT_TRUE(Exists(other + L"\\prefs.js"));
  EXPECT_EQ(Core.MailDir, other);
  TProfileList again;
  TIniEncoding enc{};
  ASSERT_TRUE(FindProfiles(QlApp, again, enc));
  EXPECT_EQ(again.GetFullPath(L"default-release"), other);
  EXPECT_EQ(InstallDefaults(), std::vector<std::wstring>(2, other));
}

TEST_F(QlCoreTest, NoAdjustmentAfterAFailedRestore) {
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  SeedExitCode(Core.ReTaskName, 4);
  const std::wstring other = Tmp / L"Other";
  CreateDirectoryW(other.c_str(), nullptr);
  hvtest::WriteBytes(other + L"\\old.txt", "x");
  Ui.Options = {0, 1};  // Other directory, then Continue on "not empty"
  Ui.Folders = {other};
  EXPECT_EQ(Core.Restore(), 4);
  ASSERT_EQ(Ui.OptionTexts.size(), 2u);
  EXPECT_EQ(Ui.OptionTexts[1], L"The selected directory \"" + other + L"\" is not empty!");
  EXPECT_TRUE(Ui.Questions.empty());
  EXPECT_EQ(Core.MailDir, ProfileDir());
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], L"Error reported by Harvane: Errors during backup!");
}

// Clearing a target that holds the backup, or lies inside it, would destroy the backup before it is
// read: such a folder is refused and asked for again.
TEST_F(QlCoreTest, RestoreNeverTargetsTheBackupItself) {
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  const std::wstring backup = BackupOfProfile(), fresh = Tmp / L"Fresh";
  CreateDirectoryW(fresh.c_str(), nullptr);
  Ui.Options = {0, 1};  // Other directory; Continue should a "not empty" question come
  Ui.Folders = {Core.RealDir, backup, backup + L"\\Mail", fresh};
  Ui.Answers = {false};  // leave profiles.ini alone
  EXPECT_EQ(Core.Restore(), 0);
  EXPECT_TRUE(Exists(backup + L"\\prefs.js"));
  EXPECT_TRUE(Exists(backup + L"\\Mail\\Local Folders\\Inbox"));
  EXPECT_TRUE(Exists(fresh + L"\\prefs.js"));
  ASSERT_EQ(Ui.Errors.size(), 3u) << testing::PrintToString(Ui.Errors);
  EXPECT_EQ(Ui.Errors[0], L"The backup cannot be restored into \"" + Core.RealDir +
                              L"\":\r\nthe folder holds the backup or lies inside it!");
  EXPECT_EQ(Ui.OptionTexts.size(), 1u);

  // A backup kept inside the profile folder is refused as the in-place target too.
  Ui = TScriptedUi{};
  Core.DestDir = Core.RealDir = ProfileDir() + L"\\backup";
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  Ui.Options = {1};  // Continue
  EXPECT_EQ(Core.Restore(), kRunNotStarted);
  EXPECT_TRUE(Exists(BackupOfProfile() + L"\\prefs.js"));
  ASSERT_EQ(Ui.Errors.size(), 1u) << testing::PrintToString(Ui.Errors);
  EXPECT_EQ(Ui.Errors[0], L"The backup cannot be restored into \"" + ProfileDir() +
                              L"\":\r\nthe folder holds the backup or lies inside it!");
}

TEST_F(QlCoreTest, RestoreAsksWhereTheBackupCannotBeFound) {
  // No bu-profiles.ini: the user declines the manual choice.
  CreateDirectoryW(Core.RealDir.c_str(), nullptr);
  Ui.Answers = {false};
  EXPECT_EQ(Core.Restore(), kRunNotStarted);
  ASSERT_EQ(Ui.Questions.size(), 1u);
  EXPECT_EQ(Ui.Questions[0], L"Could not find backup information for selected profile!\r\nSelect backup directory manually?");
  EXPECT_TRUE(Ui.FolderTitles.empty());

  // A found backup folder without prefs.js goes to the manual choice; a folder chosen there
  // without Thunderbird data is refused and asked for again.
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  DeleteFileW((BackupOfProfile() + L"\\prefs.js").c_str());
  Ui = TScriptedUi{};
  const std::wstring empty = Tmp / L"Empty", good = Tmp / L"Good";
  CreateDirectoryW(empty.c_str(), nullptr);
  CreateDirectoryW(good.c_str(), nullptr);
  hvtest::WriteBytes(good + L"\\prefs.js.zip", "zip");
  Ui.Folders = {empty, good};
  EXPECT_EQ(Core.Restore(), kRunNotStarted);  // cancelled at the last question
  ASSERT_EQ(Ui.FolderTitles.size(), 2u);
  EXPECT_EQ(Ui.FolderTitles[0], L"Select directory from which to restore files");
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], L"No Thunderbird data found in \"" + empty + L"\"!");
  EXPECT_FALSE(Exists(Core.ReTaskName));

  Ui = TScriptedUi{};
  Ui.Folders = {good};
  Ui.Options = {1};
  SeedExitCode(Core.ReTaskName, 0);
  EXPECT_EQ(Core.Restore(), 0);
  const TUnicodeIniFile rsj = TUnicodeIniFile::CreateForRead(Core.ReTaskName);
  EXPECT_EQ(rsj.ReadString(L"Restore", L"UnCompress", L""), L"3");
  EXPECT_EQ(rsj.ReadString(L"Restore", L"Source", L""), good);
}

TEST_F(QlCoreTest, RestoreWaitsForThunderbirdToClose) {
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  DeleteFileW(Record.c_str());
  TbRunning = true;
  Ui.Options = {1, 0};  // Continue, then Continue with Thunderbird still running
  EXPECT_EQ(Core.Restore(), kRunNotStarted);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], L"Thunderbird is still running - restore aborted!");
  EXPECT_FALSE(Exists(Record));
}

// The real check finds a running "Thunderbird.exe".
TEST_F(QlCoreTest, ARunningThunderbirdProcessStopsTheRestore) {
  ASSERT_EQ(Core.RunBackup(Core.BuTaskName, false), 0);
  DeleteFileW(Record.c_str());
  Core.ThunderbirdRunning = nullptr;
  std::wstring cmd = L"\"" + hvtest::BinaryDir() + L"\\bin\\Thunderbird.exe\" 0 60000";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  for (int i = 0; i < 1200 && !IsProcessRunning(L"Thunderbird.exe", false); ++i) Sleep(25);
  EXPECT_TRUE(IsProcessRunning(L"Thunderbird.exe", false));
  Ui.Options = {1, 0};
  EXPECT_EQ(Core.Restore(), kRunNotStarted);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  ASSERT_EQ(Ui.OptionTexts.size(), 2u);
  EXPECT_EQ(Ui.OptionTexts[1], L"Please close the running Thunderbird application\r\nand then click \"Continue\" to start the restore!");
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_FALSE(Exists(Record));
}

TEST_F(QlCoreTest, UnattendedRunAndEndActions) {
  TShutdownRecorder recorder;
  SetShutdownApi(&recorder);
  std::vector<std::string> suspends;
  gSuspends = &suspends;
  auto oldSuspend = OptionalFunctions().SetSuspendState;
  OptionalFunctions().SetSuspendState = RecordSuspend;

  EXPECT_FALSE(Core.CheckForce());  // no "/force"
  Core.Options = ParseQlOptions({L"nosuchprofile", L"/force", L"/end:restart"});
  Core.MailProfile = Core.Options.Profile;
  EXPECT_TRUE(Core.CheckForce());
  EXPECT_NE(Core.ExitCode, 0);
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], L"Profile \"nosuchprofile\" not found!");
  EXPECT_TRUE(recorder.Calls.empty());

  // A failed backup still ends with the end action; "suspend" gives way to "end".
  Ui.Errors.clear();
  Core.Options = ParseQlOptions({L"/force", L"/end:shutdown", L"/suspend:hibernate", L"/backupdir:" + Tmp / L"Unattended"});
  Core.MailProfile = L"default-release";
  SeedExitCode(Core.BuTaskName, 4);
  EXPECT_TRUE(Core.CheckForce());
  EXPECT_EQ(Core.ExitCode, 4);
  EXPECT_EQ(recorder.Calls, std::vector<std::string>{"shutdown 2147483648"});
  EXPECT_TRUE(suspends.empty());
  EXPECT_TRUE(Exists(Tmp / L"Unattended\\bu-profiles.ini"));
  const std::string record = hvtest::ReadBytes(Record);
  EXPECT_NE(record.find("/prompt:delay /wait:5 /status:normal /hide /force\r\n"), std::string::npos) << record;

  recorder.Calls.clear();
  Core.Options = ParseQlOptions({L"/force", L"/suspend:standby", L"/backupdir:" + Tmp / L"Unattended", L"/p:quiet"});
  SeedExitCode(Core.BuTaskName, 0);
  EXPECT_TRUE(Core.CheckForce());
  EXPECT_EQ(Core.ExitCode, 0);
  EXPECT_EQ(suspends, std::vector<std::string>{"standby"});
  EXPECT_TRUE(recorder.Calls.empty());

  // A failing start check still carries out the end action.
  Core.Options = ParseQlOptions({L"/force", L"/end:logoff"});
  Core.HvPath.clear();
  EXPECT_TRUE(Core.CheckForce());
  EXPECT_EQ(Core.ExitCode, kRunNotStarted);
  EXPECT_EQ(recorder.Calls, std::vector<std::string>{"exit 16"});
  EXPECT_EQ(Ui.Errors.back(), L"\"Harvane.exe\" not found on this system!");
  OptionalFunctions().SetSuspendState = oldSuspend;
}

TEST(QlPathsTest, OwnIniNameAndJobFolder) {
  EXPECT_EQ(ResolveOwnIniName(L"C:\\Conf", L"D:\\S\\", L"QlBackup", L"E:\\Cur"), L"C:\\Conf\\QlBackup.ini");
  EXPECT_EQ(ResolveOwnIniName(L"C:\\Conf\\", L"D:\\S\\", L"QlBackup", L"E:\\Cur"), L"C:\\Conf\\QlBackup.ini");
  EXPECT_EQ(ResolveOwnIniName(L"C:\\Conf\\x.cfg", L"D:\\S\\", L"QlBackup", L"E:\\Cur"), L"C:\\Conf\\x.cfg");
  EXPECT_EQ(ResolveOwnIniName(L"my", L"D:\\S\\", L"QlBackup", L"E:\\Cur"), L"D:\\S\\my.ini");
  EXPECT_EQ(ResolveOwnIniName(L"my.txt", L"D:\\S\\", L"QlBackup", L"E:\\Cur"), L"D:\\S\\my.txt");
  EXPECT_EQ(ResolveOwnIniName(L"sub\\my", L"D:\\S\\", L"QlBackup", L"E:\\Cur"), L"E:\\Cur\\sub\\my.ini");

  hvtest::TempDir tmp;
  const std::wstring user = tmp.Path() + L"\\";
  EXPECT_EQ(ResolveJobDir(tmp / L"nosuch", user, tmp / L"Harvane.ini", L"C:\\"), user + L"Harvane\\");
  CreateDirectoryW((tmp / L"jobs").c_str(), nullptr);
  EXPECT_EQ(ResolveJobDir(L"jobs", user, tmp / L"Harvane.ini", tmp.Path()), tmp / L"jobs\\");
  hvtest::WriteBytes(tmp / L"Harvane.ini", WideToAnsi(L"[Config]\r\nJobDir=" + tmp / L"jobs" + L"\r\n"));
  EXPECT_EQ(ResolveJobDir(L"", user, tmp / L"Harvane.ini", L"C:\\"), tmp / L"jobs\\");
}

// The log viewer prints with the main program's [Printer] settings, read at start-up.
TEST(QlStartTest, PrinterSettingsComeFromTheMainProgramsIni) {
  TScriptedUi ui;
  TQlCore first{ui};
  first.Init({});
  const std::wstring mainIni = MainIniName;
  ASSERT_FALSE(mainIni.empty());
  const std::wstring kept = mainIni + L".kept";
  const bool hadIni = MoveFileExW(mainIni.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING);
  ASSERT_TRUE(hvtest::WriteBytes(mainIni, "[Printer]\r\nPrinter=Office\r\nTopMargin=90\r\nLeftMargin=120\r\n"
                                 "FontName=Consolas\r\nFontSize=8\r\nOrientation=1\r\n"));
  TQlCore core{ui};
  core.Init({});
  const TPrinterSettings s = SuiteSettings.PrinterSettings;
  DeleteFileW(mainIni.c_str());
  if (hadIni) MoveFileExW(kept.c_str(), mainIni.c_str(), 0);
  SuiteSettings.PrinterSettings = TPrinterSettings{};
  EXPECT_EQ(s.PrtName, L"Office");
  EXPECT_EQ(s.Margins.Top, 90);
  EXPECT_EQ(s.Margins.Left, 120);
  EXPECT_EQ(s.Margins.Bottom, 150);  // missing keys keep their defaults
  EXPECT_EQ(s.FontName, L"Consolas");
  EXPECT_EQ(s.FontSize, 8);
  EXPECT_EQ(s.Orientation, TPrinterOrientation::poLandscape);
}

}  // namespace

// What a shortcut or a task passes: the profile as one parameter, read back by the program's parser.
TEST_F(QlCoreTest, UnattendedArgumentsReadBackAsOneProfile) {
  struct Case {
    std::wstring Profile;
    int Status, Wait;
    std::wstring Args;
  } cases[] = {
      {L"default-release", 3, 10, L"default-release /prompt:error /wait:10 /status:normal /hide /force"},
      {L"My mail", 2, 5, L"\"My mail\" /prompt:quiet /status:normal /hide /force"},
      {L"tab\there", 0, 5, L"\"tab\there\" /prompt:wait /status:normal /hide /force"},
  };
  for (const auto& c : cases) {
    Core.MailProfile = c.Profile;
    Core.StatusIndex = c.Status;
    Core.WaitTime = c.Wait;
    EXPECT_EQ(Core.UnattendedArguments(), c.Args);
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW((L"QlBackup.exe " + c.Args).c_str(), &n);
    ASSERT_NE(argv, nullptr);
    std::vector<std::wstring> args(argv + 1, argv + n);
    LocalFree(argv);
    const TQlOptions o = ParseQlOptions(args);
    EXPECT_EQ(o.Profile, c.Profile);
    EXPECT_TRUE(o.Force);
    EXPECT_EQ(o.StatusPrompt, c.Status);
  }
}

TEST_F(QlCoreTest, UnattendedRunPreparedWithDestinationAndJob) {
  Core.DestDir = Core.RealDir = Tmp / L"Backup\\%year%";
  ASSERT_TRUE(Core.PrepareUnattendedRun());
  EXPECT_TRUE(Exists(ExpandDatePlaceholders(Core.RealDir, 0)));
  EXPECT_EQ(TUnicodeIniFile::CreateForRead(Core.BuTaskName).ReadString(L"Global", L"Destination", L""),
            Tmp / L"Backup\\%year%");

  hvtest::WriteBytes(Tmp / L"file", "x");
  Core.RealDir = Tmp / L"file\\sub";
  EXPECT_FALSE(Core.PrepareUnattendedRun());
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], L"Could not create directory:\r\n\"" + Core.RealDir + L"\"");
}

// Moving the profile folder: each refusal leaves profile, profiles.ini and the chosen folder as they were.
TEST_F(QlCoreTest, MoveMailDataRefusals) {
  const std::wstring oldDir = Core.MailDir;
  const std::string iniBytes = hvtest::ReadBytes(QlApp + L"profiles.ini");
  const std::wstring full = Tmp / L"full";
  CreateDirectoryW(full.c_str(), nullptr);
  hvtest::WriteBytes(full + L"\\keep.txt", "mine");
  struct Case {
    const char* Name;
    std::deque<bool> Answers;
    std::vector<bool> Running;  // Thunderbird at each look
    std::deque<int> Options;
    std::deque<std::wstring> Folders;
    std::wstring Error;
  } cases[] = {
      {"not confirmed", {false}, {false}, {}, {}, L""},
      {"Thunderbird left running", {true}, {true, true}, {0}, {}, L"Thunderbird is still running - cannot move mail data!"},
      {"Thunderbird question cancelled", {true}, {true}, {}, {}, L""},
      {"same folder", {true}, {false}, {}, {oldDir + L"\\"},
       L"The source directory is the same as the destination directory:\r\n" + oldDir},
      {"inside the profile", {true}, {false}, {}, {oldDir + L"\\Mail\\new"},
       L"The new mail folder must not lie inside the mail directory:\r\n\"" + oldDir + L"\\Mail\\new\""},
      {"folder with content", {true}, {false}, {}, {full},
       L"The folder \"" + full + L"\" is not empty!\r\nPlease select an empty folder for the mail data."},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Ui = TScriptedUi{};
    Ui.Answers = c.Answers;
    Ui.Options = c.Options;
    Ui.Folders = c.Folders;
    size_t look = 0;
    Core.ThunderbirdRunning = [&] { return look < c.Running.size() ? bool(c.Running[look++]) : false; };
    EXPECT_FALSE(Core.MoveMailData());
    if (c.Error.empty()) EXPECT_TRUE(Ui.Errors.empty());
    else EXPECT_EQ(Ui.Errors, std::vector<std::wstring>{c.Error});
    EXPECT_EQ(Core.MailDir, oldDir);
    EXPECT_FALSE(Core.Changed);
    EXPECT_TRUE(Exists(oldDir + L"\\prefs.js"));
    EXPECT_EQ(hvtest::ReadBytes(full + L"\\keep.txt"), "mine");
    EXPECT_EQ(hvtest::ReadBytes(QlApp + L"profiles.ini"), iniBytes);
  }
  EXPECT_FALSE(Exists(oldDir + L"\\Mail\\new"));
  // Cancelling the folder choice removes the proposed "Mail" folder it made.
  RemoveDirectoryW((Tmp / L"Mail").c_str());
  Ui = TScriptedUi{};
  Core.ThunderbirdRunning = [] { return false; };
  EXPECT_FALSE(Core.MoveMailData());
  EXPECT_EQ(Ui.FolderTitles, std::vector<std::wstring>{L"Select new mail folder"});
  EXPECT_EQ(Ui.FolderStarts, std::vector<std::wstring>{Tmp / L"Mail"});
  EXPECT_FALSE(Exists(Tmp / L"Mail"));
}

TEST_F(QlCoreTest, MoveMailDataToAFolderOutsideThunderbird) {
  AddInstallDefaults();
  const std::wstring oldDir = Core.MailDir, target = Tmp / L"Elsewhere\\Mail data";
  // Thunderbird is closed by the user after the first question.
  std::vector<bool> running = {true, false};
  size_t look = 0;
  Core.ThunderbirdRunning = [&] { return look < running.size() && running[look++]; };
  Ui.Options = {0};
  Ui.Folders = {target + L"\\"};
  ASSERT_TRUE(Core.MoveMailData()) << testing::PrintToString(Ui.Errors);
  EXPECT_TRUE(Ui.Errors.empty()) << testing::PrintToString(Ui.Errors);
  EXPECT_EQ(Ui.OptionTexts.size(), 1u);
  EXPECT_EQ(Core.MailDir, target);
  EXPECT_TRUE(Core.Changed);
  EXPECT_TRUE(Exists(target + L"\\prefs.js"));
  EXPECT_TRUE(Exists(target + L"\\Mail\\Local Folders\\Inbox"));
  // The old folder is there again, empty.
  EXPECT_TRUE(Exists(oldDir));
  EXPECT_TRUE(IsDirEmpty(oldDir));
  const TMemIniFile ini(QlApp + L"profiles.ini");
  EXPECT_EQ(ini.ReadString(L"Profile0", L"Path", L""), target);
  EXPECT_EQ(ini.ReadString(L"Profile0", L"IsRelative", L""), L"0");
  EXPECT_EQ(ini.ReadString(L"Profile0", L"Name", L""), L"default-release");
  // Thunderbird opens the moved profile, not the empty folder left in its place.
  EXPECT_EQ(InstallDefaults(), std::vector<std::wstring>(2, target));
  EXPECT_EQ(Ui.Infos, std::vector<std::wstring>{L"Mail data successfully moved to:\r\n\"" + target + L"\""});
}

// A move the shell refuses is reported and changes nothing.
TEST_F(QlCoreTest, MoveMailDataFailureKeepsTheProfile) {
  const std::wstring oldDir = Core.MailDir, target = Tmp / L"New";
  Core.MoveFolder = [](const std::wstring&, const std::wstring&) { return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED); };
  Ui.Folders = {target};
  EXPECT_FALSE(Core.MoveMailData());
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0].rfind(L"Error moving mail data from \"" + oldDir + L"\"\r\nto \"" + target + L"\"\r\n", 0), 0u)
      << testing::PrintToString(Ui.Errors[0]);
  EXPECT_EQ(Core.MailDir, oldDir);
  EXPECT_TRUE(Exists(target));
  EXPECT_EQ(TMemIniFile(QlApp + L"profiles.ini").ReadString(L"Profile0", L"Path", L""), L"Profiles/s1mpl3.default-release");
}
