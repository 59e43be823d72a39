// The flows of QlBackup against the stand-in main program, with a scripted user.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "QlTestSupport.h"
#include "base/app/HvUtils.h"
#include "base/os/WinApiUtils.h"
#include "base/os/WinUtils.h"
#include "base/app/PlaceHolders.h"
#include "base/settings/IniFileUtils.h"
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
  std::vector<std::wstring> OptionTexts, FolderTitles;
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
  for (int i = 0; i < 200 && !IsProcessRunning(L"Thunderbird.exe", false); ++i) Sleep(25);
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

}  // namespace
