// The backup job, the restore job, bu-profiles.ini and the storage form of a backup.
#include <gtest/gtest.h>
#include <windows.h>

#include "QlTestSupport.h"
#include "base/security/Crypt.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/StringUtils.h"
#include "qlbackup/QlJob.h"
#include "support/TestSupport.h"

using namespace hv;

namespace {

std::wstring Golden(const std::wstring& dest, const std::wstring& source, const std::wstring& version) {
  std::wstring text = Utf8ToWide(hvtest::ReadBytes(hvtest::FixtureDir() + L"\\qlbackup\\new-job.txt"));
  for (auto [token, value] : {std::pair{L"@DEST@", dest}, {L"@SOURCE@", source}, {L"@VERSION@", version}})
    for (size_t p; (p = text.find(token)) != std::wstring::npos;) text.replace(p, wcslen(token), value);
  return text;
}

TJobContext Context(const std::wstring& source) {
  TJobContext c;
  c.Destination = L"E:\\Mail\\%date%";
  c.MailDir = source + L"\\";
  c.ExcludedFiles = L"parent.lock,global-messages-db.sqlite";
  c.ExcludedTypes = L"SQLITE-SHM,SQLITE-WAL,LZ4,BAK,LOCK";
  c.Version = L"Version 4.6.0";
  return c;
}

TBackupJob NewJob() {
  TBackupJob job;
  job.DriveId = L"Drv?";
  return job;
}

TEST(QlJobTest, JobFileNames) {
  EXPECT_EQ(GetJobFileName(L"C:\\Jobs", L"john.doe"), L"C:\\Jobs\\ql-john.buj");
  EXPECT_EQ(GetJobFileName(L"C:\\Jobs\\", L"a:b*c"), L"C:\\Jobs\\ql-a_b_c.buj");
  EXPECT_EQ(GetJobFileName(L"C:\\Jobs\\", L"default-release"), L"C:\\Jobs\\ql-default-release.buj");
  EXPECT_EQ(RestoreJobName(L"C:\\Jobs\\ql-x.buj"), L"C:\\Jobs\\ql-x.rsj");
}

TEST(QlJobTest, NewJobFileIsWrittenByteForByte) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"ql-default.buj", source = L"C:\\users\\me\\Profiles\\a1.default";
  WriteJobFile(file, NewJob(), Context(source));
  const std::string bytes = hvtest::ReadBytes(file);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(qltest::ReadUtf16File(file), Golden(L"E:\\Mail\\%date%", source, L"Version 4.6.0"));
}

TEST(QlJobTest, RewriteKeepsForeignKeysAndAddsExcludedFolders) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"job.buj";
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
    ini.WriteString(L"Global", L"BackupCount", L"17");
    ini.WriteString(L"Standin", L"ExitCode", L"4");
    ini.WriteString(L"Mail", L"SendLog", L"1");
    ini.WriteString(L"Dir000", L"SubDir0", L"keep");
    ini.UpdateFile();
  }
  TJobContext c = Context(L"C:\\p");
  c.ExcludedDirs = L"a,b";
  c.LogDir = L"D:\\Logs\\";
  c.LogFile = 2;
  WriteJobFile(file, NewJob(), c);
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(file);
  EXPECT_EQ(ini.ReadString(L"Global", L"BackupCount", L""), L"17");
  EXPECT_EQ(ini.ReadString(L"Standin", L"ExitCode", L""), L"4");
  EXPECT_EQ(ini.ReadString(L"Dir000", L"SubDir0", L""), L"keep");
  EXPECT_FALSE(ini.ValueExists(L"Mail", L"SendLog"));
  EXPECT_EQ(ini.ReadInteger(L"DirFilter", L"Count", 0), 8);
  EXPECT_EQ(ini.ReadString(L"DirFilter", L"Mask006", L""), L"a");
  EXPECT_EQ(ini.ReadString(L"DirFilter", L"Mask007", L""), L"b");
  EXPECT_EQ(ini.ReadString(L"Dir000", L"DirFilter", L""), std::wstring(kDefaultDirFilter) + L",a,b");
  EXPECT_EQ(ini.ReadString(L"Global", L"LogName", L""), L"D:\\Logs\\%taskname%.log");
  EXPECT_EQ(ini.ReadString(L"Global", L"LogFile", L""), L"2");
  const auto keys = ini.ReadSection(L"Global");
  EXPECT_EQ(keys.back(), L"DirCount");
}

TEST(QlJobTest, SettingsRoundTripThroughTheJobFile) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"job.buj";
  TBackupJob job = NewJob();
  job.TaskNote = L"My \"mail\" backup";
  job.Encrypt = true;
  job.CryptMode = 3;
  job.FixPwd = true;
  job.CryptPwd = L"s3cret!";
  job.LogIndex = 1;
  job.Sync = true;
  job.UseRecycler = true;
  job.NoCompression = true;
  job.Calendar = false;
  job.MailMode = TMailMode::mmError;
  job.MailData.SMTP = L"smtp.example.org";
  job.MailData.Recipients = L"a@example.org";
  TJobContext c = Context(L"C:\\p");
  c.LogFile = 2;
  WriteJobFile(file, job, c);
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(file);
  EXPECT_EQ(ini.ReadString(L"Dir001", L"Enabled", L""), L"0");
  const std::wstring stored = ini.ReadString(L"Global", L"Password", L"");
  EXPECT_GE(stored.size(), 100u);
  EXPECT_EQ(DecryptPassword(stored), L"s3cret!");

  TBackupJob back;
  ASSERT_TRUE(LoadJobFile(file, back, L"Lw?"));
  EXPECT_EQ(back.TaskNote, job.TaskNote);
  EXPECT_EQ(back.CryptMode, 3);
  EXPECT_TRUE(back.Encrypt && back.FixPwd && back.FixPwdEnabled);
  EXPECT_EQ(back.CryptPwd, L"s3cret!");
  EXPECT_EQ(back.LogIndex, 1);
  EXPECT_TRUE(back.Sync && back.UseRecycler && back.UseRecyclerEnabled);
  EXPECT_TRUE(back.NoCompression);
  EXPECT_EQ(back.MailMode, TMailMode::mmError);
  EXPECT_TRUE(back.SendMail);
  EXPECT_EQ(back.DriveId, L"Drv?");
  EXPECT_EQ(back.BackupCount, 1);
}

TEST(QlJobTest, LoadingOldOrOddValues) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"job.buj";
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
    ini.WriteString(L"Global", L"Note", L"#Quoted# note");
    ini.WriteString(L"Global", L"SendMail", L"1");  // but no recipients
    ini.WriteString(L"Mail", L"SMTP", L"smtp.example.org");
    ini.WriteString(L"Global", L"LogFile", L"5");
    ini.WriteString(L"Global", L"FixPassword", L"1");  // without encryption
    ini.WriteString(L"Global", L"UseRecycler", L"1");  // without synchronisation
    ini.WriteString(L"Global", L"Password", L"garbage");
    ini.UpdateFile();
  }
  TBackupJob job;
  ASSERT_TRUE(LoadJobFile(file, job, L"Drv?"));
  EXPECT_EQ(job.TaskNote, L"\"Quoted\" note");
  EXPECT_EQ(job.MailMode, TMailMode::mmNone);
  EXPECT_FALSE(job.SendMail);
  EXPECT_EQ(job.LogIndex, 0);
  EXPECT_FALSE(job.FixPwd || job.FixPwdEnabled);
  EXPECT_FALSE(job.UseRecycler || job.UseRecyclerEnabled);
  EXPECT_EQ(job.CryptPwd, L"");
  EXPECT_EQ(job.DriveId, L"Drv?");
  // The note read with "#" is stored with double quotes.
  WriteJobFile(file, job, Context(L"C:\\p"));
  EXPECT_EQ(TUnicodeIniFile::CreateForRead(file).ReadString(L"Global", L"Note", L""), L"\"Quoted\" note");

  TBackupJob untouched;
  untouched.TaskNote = L"x";
  EXPECT_FALSE(LoadJobFile(tmp / L"none.buj", untouched, L"Drv?"));
  EXPECT_EQ(untouched.TaskNote, L"x");
}

TEST(QlJobTest, AJobThatCannotBeWrittenRaisesAndStaysAsItWas) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"job.buj";
  WriteJobFile(file, NewJob(), Context(L"C:\\p"));
  const std::string before = hvtest::ReadBytes(file);
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  TJobContext c = Context(L"C:\\other");
  EXPECT_THROW(WriteJobFile(file, NewJob(), c), EWriteError);
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(hvtest::ReadBytes(file), before);
  EXPECT_THROW(WriteJobFile(tmp / L"missing\\job.buj", NewJob(), c), EWriteError);
}

TEST(QlJobTest, RestoreJobKeysInOrder) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"ql-x.rsj";
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
    ini.WriteString(L"Global", L"Old", L"1");
    ini.WriteString(L"Restore", L"DirPrefix", L"x");
    ini.WriteString(L"Restore", L"Own", L"kept");
    ini.UpdateFile();
  }
  TRestoreJob job{L"E:\\B\\DrvC\\p", L"C:\\p", 1, true, 2, L"", L"Drv?", L"Version 4.6.0"};
  WriteRestoreJobFile(file, job);
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(file);
  EXPECT_FALSE(ini.SectionExists(L"Global"));
  EXPECT_FALSE(ini.ValueExists(L"Restore", L"DirPrefix"));
  const std::vector<std::wstring> expected = {
      L"Own", L"Source", L"DestDir", L"Origin", L"Overwrite", L"RestoreMode", L"ClearDest", L"LogFile", L"LogName",
      L"CreationTime", L"CopyPermissions", L"AllowJunctions", L"CopySummary", L"EmptyDirs", L"UnCompress",
      L"NoDecrypt", L"Password", L"SecurityCopies", L"BakSecMode", L"BakDirs", L"BakFiles", L"BakPrefix", L"BakSuffix",
      L"SyncSecMode", L"SyncDirs", L"SyncFiles", L"SyncPrefix", L"SyncSuffix", L"DriveId", L"Timespan", L"IgnoreDst",
      L"FtpBackup"};
  EXPECT_EQ(ini.ReadSection(L"Restore"), expected);
  EXPECT_EQ(ini.ReadString(L"Restore", L"ClearDest", L""), L"1");
  EXPECT_EQ(ini.ReadString(L"Restore", L"UnCompress", L""), L"1");
  EXPECT_EQ(ini.ReadString(L"Restore", L"LogName", L""), L"%taskname%.log");
  EXPECT_EQ(ini.ReadString(L"Unicode", L"Version", L""), L"Version 4.6.0");
}

TEST(QlJobTest, ProfileInfoKeepsOtherProfiles) {
  hvtest::TempDir tmp;
  WriteProfileInfo(tmp.Path(), L"default-release", L"C:\\p1");
  WriteProfileInfo(tmp.Path() + L"\\", L"Zo\u00eb", L"C:\\p2");
  WriteProfileInfo(tmp.Path(), L"default-release", L"C:\\p3");
  const std::wstring file = tmp / L"bu-profiles.ini";
  EXPECT_EQ(ReadProfileInfo(file, L"default-release"), L"C:\\p3");
  EXPECT_EQ(ReadProfileInfo(file, L"Zo\u00eb"), L"C:\\p2");
  EXPECT_EQ(ReadProfileInfo(file, L"other"), L"");
  EXPECT_EQ(ReadProfileInfo(tmp / L"none.ini", L"x"), L"");
  EXPECT_EQ(hvtest::ReadBytes(file).substr(0, 2), "\xFF\xFE");
  EXPECT_THROW(WriteProfileInfo(tmp / L"missing", L"x", L"y"), EWriteError);
}

TEST(QlJobTest, BackupFormatFromPrefsJs) {
  struct Case {
    std::vector<const wchar_t*> Files;
    int Format;
  } cases[] = {{{}, -1},
               {{L"prefs.js"}, 0},
               {{L"prefs.js.gz"}, 1},
               {{L"prefs.js.gze"}, 1},
               {{L"prefs.js.zip", L"prefs.js"}, 3},
               {{L"prefs.js.gz", L"prefs.js"}, 1},
               {{L"user.js"}, -1}};
  for (const auto& c : cases) {
    hvtest::TempDir tmp;
    for (const wchar_t* f : c.Files) hvtest::WriteBytes(tmp / f, "x");
    EXPECT_EQ(GetBackupFormat(tmp.Path()), c.Format) << c.Files.size();
  }
}

}  // namespace
