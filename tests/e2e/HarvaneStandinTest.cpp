// The stand-in main program, started as a process on job files as the suite writes them.
#include <gtest/gtest.h>
#include <windows.h>

#include "winui/Handles.h"
#include "base/app/HvUtils.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "support/TestSupport.h"

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;

namespace {

std::wstring StandinExe() { return hvtest::BinaryDir() + L"\\bin\\Harvane.exe"; }

bool Exists(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Exists(StandinExe()));
    Record = Tmp / L"record.txt";
    Source = Tmp / L"profile";
    Dest = Tmp / L"backup";
    Jobs = Tmp / L"my jobs";
    CreateDirectoryW(Jobs.c_str(), nullptr);
    for (const wchar_t* dir : {L"profile", L"profile\\Mail", L"profile\\Mail\\Local Folders", L"profile\\cache2",
                               L"profile\\calendar-data"})
      CreateDirectoryW((Tmp / dir).c_str(), nullptr);
    WriteBytes(Source + L"\\prefs.js", "user_pref(\"a\", 1);\n");
    WriteBytes(Source + L"\\Mail\\Local Folders\\Inbox", "From x\n");
    WriteBytes(Source + L"\\cache2\\entry", "cached");
    WriteBytes(Source + L"\\parent.lock", "lock");
    WriteBytes(Source + L"\\old.tmp", "tmp");
    WriteBytes(Source + L"\\calendar-data\\local.sqlite", "cal");
  }

  // A backup job as the profile backup program writes it, plus a key the stand-in does not know.
  std::wstring WriteBackupJob(const std::wstring& name, const std::wstring& dest, const std::wstring& source,
                              int dirCount = 2) {
    const std::wstring file = Jobs + L"\\" + name;
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
    ini.WriteProgramInfo(L"Program", L"Harvane");
    ini.WriteString(L"Global", L"Destination", dest);
    ini.WriteString(L"Global", L"DriveId", L"Drv?");
    ini.WriteString(L"Global", L"LogName", L"%dest%\\%taskname%.log");
    ini.WriteString(L"Global", L"Custom", L"keep me");
    ini.WriteInteger(L"Global", L"DirCount", dirCount);
    ini.WriteString(L"Dir000", L"Source", source);
    ini.WriteString(L"Dir000", L"FilterMode", L"2");
    ini.WriteString(L"Dir000", L"Filter", L"parent.lock|global-messages-db.sqlite");
    ini.WriteString(L"Dir000", L"BackupMode", L"1");
    ini.WriteString(L"Dir000", L"Exclude", L"tmp,bak");
    ini.WriteString(L"Dir000", L"DirFilter", L"*cache*,log*,crash*,calendar-data,backup,datareporting");
    ini.WriteString(L"Dir001", L"Enabled", L"0");
    ini.WriteString(L"Dir001", L"Source", source + L"\\calendar-data");
    ini.UpdateFile();
    return file;
  }

  std::wstring WriteRestoreJob(const std::wstring& name, const std::wstring& source, const std::wstring& dest,
                               bool clear) {
    const std::wstring file = Jobs + L"\\" + name;
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
    ini.WriteString(L"Restore", L"Source", source);
    ini.WriteString(L"Restore", L"DestDir", dest);
    ini.WriteBool(L"Restore", L"ClearDest", clear);
    ini.WriteString(L"Restore", L"LogName", L"%dest%" + std::wstring(L"\\") + L"%taskname%.log");
    ini.WriteString(L"Restore", L"UnCompress", L"0");
    ini.UpdateFile();
    return file;
  }

  // Starts the stand-in the way the suite does; returns its exit code.
  DWORD Run(const std::vector<std::wstring>& jobs, const std::wstring& switches = L"") {
    SetEnvironmentVariableW(L"HV_STANDIN_RECORD", Record.c_str());
    std::wstring cmd = MakeMainProgramCommand(StandinExe(), jobs, switches);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, Tmp.Path().c_str(),
                                   &si, &pi);
    SetEnvironmentVariableW(L"HV_STANDIN_RECORD", nullptr);
    if (!ok) return 0xFFFFFFFF;
    TKernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }

  // The last run's value of a key in the record file.
  std::wstring LastRecord(const std::wstring& key) {
    const std::wstring text = Utf8ToWide(ReadBytes(Record));
    const size_t run = text.rfind(L"[Run]");
    if (run == std::wstring::npos) return L"<none>";
    const size_t p = text.find(L"\r\n" + key + L"=", run);
    if (p == std::wstring::npos) return L"<none>";
    const size_t start = p + key.size() + 3;
    return text.substr(start, text.find(L"\r\n", start) - start);
  }

  std::wstring BackupFolder() const { return Dest + L"\\" + MakeDriveFolder(L"Drv?", Source) + Source.substr(3); }

  TempDir Tmp;
  std::wstring Record, Source, Dest, Jobs;
};

}  // namespace

TEST_F(StandinTest, BackupThenRestoreBringsTheTreeBack) {
  const std::wstring job = WriteBackupJob(L"ql-default.buj", Dest, Source);
  EXPECT_EQ(Run({job}, MakeOption(L"hide") + MakeOptionValue(L"prompt", L"wait")), 0u);

  const std::wstring copy = BackupFolder();
  EXPECT_EQ(ReadBytes(copy + L"\\prefs.js"), "user_pref(\"a\", 1);\n");
  EXPECT_EQ(ReadBytes(copy + L"\\Mail\\Local Folders\\Inbox"), "From x\n");
  EXPECT_FALSE(Exists(copy + L"\\cache2")) << "folder mask";
  EXPECT_FALSE(Exists(copy + L"\\calendar-data")) << "folder mask; Dir001 disabled";
  EXPECT_FALSE(Exists(copy + L"\\parent.lock")) << "file filter";
  EXPECT_FALSE(Exists(copy + L"\\old.tmp")) << "excluded type";

  // The job keeps what the stand-in does not use, and gains the count of backups.
  const TUnicodeIniFile back = TUnicodeIniFile::CreateForRead(job);
  EXPECT_EQ(back.ReadString(L"Global", L"Custom", L""), L"keep me");
  EXPECT_EQ(back.ReadString(L"Unicode", L"Program", L""), L"Harvane");
  EXPECT_EQ(back.ReadInt64(L"Global", L"BackupCount", 0), 2);
  EXPECT_EQ(ReadBytes(job).substr(0, 2), "\xFF\xFE");

  // The log lies where the suite looks for it.
  const std::wstring log = GetTaskLogName(job, L"C:\\unused");
  EXPECT_EQ(log, Dest + L"\\ql-default.log");
  EXPECT_NE(Utf8ToWide(ReadBytes(log)).find(L"Files copied: 2"), std::wstring::npos);

  EXPECT_NE(LastRecord(L"CommandLine").find(L"\"" + job + L"\" /hide /prompt:wait"), std::wstring::npos)
      << "the job's folder holds a blank";
  EXPECT_TRUE(SameFileName(LastRecord(L"CurrentDir"), Tmp.Path()));
  EXPECT_FALSE(LastRecord(L"User").empty());
  EXPECT_NE(LastRecord(L"Start"), L"<none>");
  EXPECT_NE(LastRecord(L"End"), L"<none>");
  EXPECT_EQ(LastRecord(L"ExitCode"), L"0");

  // Restore into a new folder that holds a stray file, clearing it first.
  const std::wstring target = Tmp / L"restored";
  CreateDirectoryW(target.c_str(), nullptr);
  WriteBytes(target + L"\\stray", "x");
  const std::wstring rsj = WriteRestoreJob(L"ql-default.rsj", copy, target, true);
  EXPECT_EQ(Run({rsj}, MakeOption(L"hide") + MakeOptionValue(L"prompt", L"wait") + MakeOption(L"restore")), 0u);
  EXPECT_EQ(ReadBytes(target + L"\\prefs.js"), "user_pref(\"a\", 1);\n");
  EXPECT_EQ(ReadBytes(target + L"\\Mail\\Local Folders\\Inbox"), "From x\n");
  EXPECT_FALSE(Exists(target + L"\\stray"));
  EXPECT_TRUE(Exists(target + L"\\ql-default.log"));
  EXPECT_NE(Utf8ToWide(ReadBytes(target + L"\\ql-default.log")).find(L"Restore"), std::wstring::npos);
  EXPECT_EQ(LastRecord(L"ExitCode"), L"0");
}

TEST_F(StandinTest, ExitCodes) {
  WriteBytes(Tmp / L"file", "x");
  const std::wstring ok = WriteBackupJob(L"ok.buj", Dest, Source);
  const std::wstring noSource = WriteBackupJob(L"nosrc.buj", Dest, Tmp / L"missing");
  const std::wstring noDest = WriteBackupJob(L"nodest.buj", Tmp / L"file\\below", Source);
  const std::wstring noVolume = WriteBackupJob(L"novol.buj", L":NoSuchLabel-4711:\\x", Source);
  const std::wstring invalid = WriteBackupJob(L"invalid.buj", Dest, Source, 0);
  const std::wstring forced = WriteBackupJob(L"forced.buj", Dest, Source);
  const std::wstring slow = WriteBackupJob(L"slow.buj", Dest, Source);
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(forced, false);
    ini.WriteInteger(L"Standin", L"ExitCode", 5);
    ini.UpdateFile();
    TUnicodeIniFile s = TUnicodeIniFile::CreateForWrite(slow, false);
    s.WriteInteger(L"Standin", L"Delay", 50);
    s.UpdateFile();
  }
  const std::wstring badRestore = WriteRestoreJob(L"bad.rsj", Tmp / L"missing", Tmp / L"r", false);

  struct Case { std::vector<std::wstring> jobs; std::wstring switches; DWORD code; const wchar_t* codes; } cases[] = {
      {{ok}, L"", 0, L"0"},
      {{Tmp / L"none.buj"}, L"", 1, L"1"},
      {{noDest}, L"", 2, L"2"},
      {{noVolume}, L"", 2, L"2"},
      {{noSource}, L"", 3, L"3"},
      {{forced}, L"", 5, L"5"},
      {{invalid}, L"", 6, L"6"},
      {{badRestore}, MakeOption(L"restore"), 3, L"3"},
      {{slow}, L"", 0, L"0"},
      {{ok, noSource}, L"", 3, L"0,3"},
      {{forced}, MakeOption(L"edit"), 5, L"5"},
      {{ok}, MakeOption(L"edit"), 0, L"0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.jobs[0] + c.switches));
    EXPECT_EQ(Run(c.jobs, c.switches), c.code);
    EXPECT_EQ(LastRecord(L"JobCodes"), c.codes);
    EXPECT_EQ(LastRecord(L"ExitCode"), std::to_wstring(c.code));
  }
  EXPECT_EQ(TUnicodeIniFile::CreateForRead(noSource).ReadInt64(L"Global", L"BackupCount", 0), 0)
      << "a failed backup is not counted";
  EXPECT_EQ(TUnicodeIniFile::CreateForRead(forced).ReadInt64(L"Global", L"BackupCount", 0), 0);
  EXPECT_EQ(TUnicodeIniFile::CreateForRead(ok).ReadInt64(L"Global", L"BackupCount", 0), 3) << "two backups, one edit";
}

TEST_F(StandinTest, RecordIsKeptWhileAnotherRunAppends) {
  // Jobs of a group run at the same time and append to one record file.
  const std::wstring ok = WriteBackupJob(L"ok.buj", Dest, Source);
  TFileHandle other(CreateFileW(Record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other);
  EXPECT_EQ(Run({ok}), 0u);
  other.Reset();
  EXPECT_EQ(LastRecord(L"ExitCode"), L"0");
  EXPECT_NE(Utf8ToWide(ReadBytes(Dest + L"\\ok.log")).find(L"Exit code: 0"), std::wstring::npos);
}
