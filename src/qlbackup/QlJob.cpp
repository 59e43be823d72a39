#include "qlbackup/QlJob.h"

#include <windows.h>

#include "base/security/Crypt.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {
namespace {

bool FileExists(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteDirSection(TUnicodeIniFile& ini, std::wstring_view section, bool enabled, std::wstring_view source,
                     bool profileDir, const TJobContext& c, std::wstring_view dirFilter) {
  ini.WriteBool(section, L"Enabled", enabled);
  ini.WriteString(section, L"Source", source);
  ini.WriteString(section, L"Volume", L"");
  ini.WriteInteger(section, L"Regular", 0);
  ini.WriteInteger(section, L"FilterMode", profileDir ? 2 : 0);
  if (profileDir) ini.WriteString(section, L"Filter", ReplaceChar(c.ExcludedFiles, L',', L'|'));
  ini.WriteInteger(section, L"ExtRegular", 0);
  ini.WriteInteger(section, L"ExtFilterMode", 0);
  ini.WriteString(section, L"ExtFilter", L"*");
  ini.WriteInteger(section, L"Attributes", 0);
  ini.WriteInteger(section, L"SyncCount", 0);
  ini.WriteInteger(section, L"BackupMode", 1);
  ini.WriteString(section, L"Exclude", profileDir ? c.ExcludedTypes : L"");
  ini.WriteString(section, L"DirFilter", dirFilter);
  ini.WriteInteger(section, L"IncludeDirs", 0);
  ini.WriteInteger(section, L"SubCount", 0);
}

}  // namespace

std::wstring GetJobFileName(std::wstring_view jobDir, std::wstring_view profile) {
  return ReplaceExtension(AddPathDelimiter(jobDir) + L"ql-" + ReplaceInvalidChars(profile, L'_'), L"buj");
}

std::wstring JobLogName(std::wstring_view logDir) { return std::wstring(logDir) + L"%taskname%" + L"." + L"log"; }

std::wstring RestoreJobName(std::wstring_view backupJob) { return ReplaceExtension(backupJob, L"rsj"); }

void WriteJobFile(std::wstring_view fileName, const TBackupJob& job, const TJobContext& c) {
  TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(fileName, false);
  ini.WriteProgramInfo(L"Program", L"Harvane");
  ini.WriteProgramInfo(L"Version", c.Version);

  const std::wstring g = L"Global";
  ini.WriteInteger(g, L"FtpBackup", 0);
  ini.WriteString(g, L"Destination", c.Destination);
  ini.WriteString(g, L"Note", job.TaskNote.empty() ? L"#" + _(L"Thunderbird mail backup") + L"#" : job.TaskNote);
  ini.WriteString(g, L"DriveId", job.DriveId);
  ini.WriteInteger(g, L"SendMail", static_cast<int>(job.MailMode));
  WriteMailData(ini, L"Mail", job.MailData);

  for (const wchar_t* key : {L"DeleteFile", L"DeleteDirs", L"Verify", L"UseVss"}) ini.WriteInteger(g, key, 0);
  ini.WriteBool(g, L"Compress", !job.NoCompression);
  ini.WriteInteger(g, L"CompressAsZip", 1);
  ini.WriteString(g, L"NoCompTypes", kNoCompTypes);
  ini.WriteInteger(g, L"Encrypt", job.Encrypt ? job.CryptMode : 0);
  ini.WriteBool(g, L"FixPassword", job.FixPwd);
  ini.WriteString(g, L"Password", EncryptPassword(job.CryptPwd));
  ini.WriteInteger(g, L"LogFile", c.LogFile);
  ini.WriteString(g, L"LogName", JobLogName(c.LogDir));
  ini.WriteInteger(g, L"Timespan", 2);
  ini.WriteInteger(g, L"IgnoreDst", 1);
  for (const wchar_t* key : {L"AllowJunctions", L"FollowJunctions", L"ScanDirectories", L"NoWriteCache",
                             L"TimestampFile", L"SkipUnavailDir", L"DestMode"})
    ini.WriteInteger(g, key, 0);
  ini.WriteInteger(g, L"SyncMode", job.Sync ? 1 : 0);
  ini.WriteBool(g, L"UseRecycler", job.UseRecycler);
  ini.WriteInteger(g, L"CopySummary", 0);
  ini.WriteInteger(g, L"CopyPermissions", 0);
  ini.WriteInteger(g, L"CreationTime", 1);
  ini.WriteInteger(g, L"EmptyDirs", 1);
  for (const wchar_t* key : {L"ClearDest", L"ArchBit", L"UseArch", L"OnlyArch"}) ini.WriteInteger(g, key, 0);

  std::wstring dirFilter(kDefaultDirFilter);
  if (!c.ExcludedDirs.empty()) dirFilter += L"," + c.ExcludedDirs;
  std::wstring rest = dirFilter;
  int count = 0;
  do {
    wchar_t key[16];
    swprintf(key, std::size(key), L"Mask%03d", count++);
    ini.WriteString(L"DirFilter", key, ReadNextItem(rest, L','));
  } while (!rest.empty());
  ini.WriteInteger(L"DirFilter", L"Count", count);
  ini.WriteInteger(g, L"DirCount", 2);

  const std::wstring source = TrimRightChar(c.MailDir, L'\\');
  WriteDirSection(ini, L"Dir000", true, source, true, c, dirFilter);
  WriteDirSection(ini, L"Dir001", job.Calendar, AddPath(source, L"calendar-data"), false, c, L"backup");
  ini.UpdateFile();
}

bool LoadJobFile(std::wstring_view fileName, TBackupJob& job, std::wstring_view defaultDriveId) {
  if (!FileExists(std::wstring(fileName))) return false;
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(fileName);
  const std::wstring g = L"Global";
  job.TaskNote = ReplaceChar(ini.ReadString(g, L"Note", L""), L'#', L'"');
  job.DriveId = ini.ReadString(g, L"DriveId", defaultDriveId);
  job.BackupCount = ini.ReadInteger(g, L"BackupCount", 1);
  job.NoCompression = !ini.ReadBool(g, L"Compress", true);
  ReadMailData(ini, L"Mail", job.MailData);
  job.MailMode = static_cast<TMailMode>(ini.ReadInteger(g, L"SendMail", 0));
  if (job.MailData.SMTP.empty() || job.MailData.Recipients.empty()) job.MailMode = TMailMode::mmNone;
  job.SendMail = job.MailMode != TMailMode::mmNone;
  job.CryptMode = ini.ReadInteger(g, L"Encrypt", 0);
  job.Encrypt = job.CryptMode > 0;
  job.FixPwd = job.Encrypt && ini.ReadBool(g, L"FixPassword", false);
  job.FixPwdEnabled = job.Encrypt;
  job.CryptPwd = DecryptPassword(ini.ReadString(g, L"Password", L""));
  const int log = ini.ReadInteger(g, L"LogFile", 1) - 1;
  job.LogIndex = log < 0 || log > 1 ? 0 : log;
  job.SyncMode = ini.ReadInteger(g, L"SyncMode", 0);
  job.Sync = job.SyncMode != 0;
  job.UseRecyclerEnabled = job.Sync;
  job.UseRecycler = job.Sync && ini.ReadBool(g, L"UseRecycler", false);
  return true;
}

void WriteRestoreJobFile(std::wstring_view fileName, const TRestoreJob& j) {
  TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(fileName, false);
  ini.EraseSection(L"Global");
  ini.WriteProgramInfo(L"Program", L"Harvane");
  ini.WriteProgramInfo(L"Version", j.Version);
  const std::wstring r = L"Restore";
  ini.WriteString(r, L"Source", j.Source);
  ini.WriteString(r, L"DestDir", j.DestDir);
  for (const wchar_t* key : {L"Origin", L"Overwrite", L"RestoreMode"}) ini.WriteInteger(r, key, 0);
  ini.WriteBool(r, L"ClearDest", j.ClearDest);
  ini.WriteInteger(r, L"LogFile", j.LogFile);
  ini.WriteString(r, L"LogName", JobLogName(j.LogDir));
  ini.WriteInteger(r, L"CreationTime", 1);
  for (const wchar_t* key : {L"CopyPermissions", L"AllowJunctions", L"CopySummary", L"EmptyDirs"})
    ini.WriteInteger(r, key, 0);
  ini.WriteInteger(r, L"UnCompress", j.UnCompress);
  ini.WriteInteger(r, L"NoDecrypt", 0);
  ini.WriteString(r, L"Password", L"");
  ini.WriteInteger(r, L"SecurityCopies", 0);
  ini.WriteInteger(r, L"BakSecMode", 0);
  ini.WriteInteger(r, L"BakDirs", 1);
  ini.WriteInteger(r, L"BakFiles", 1);
  ini.WriteString(r, L"BakPrefix", L"~");
  ini.WriteString(r, L"BakSuffix", L"bak");
  ini.WriteInteger(r, L"SyncSecMode", 0);
  ini.WriteInteger(r, L"SyncDirs", 1);
  ini.WriteInteger(r, L"SyncFiles", 1);
  ini.WriteString(r, L"SyncPrefix", L"_");
  ini.WriteString(r, L"SyncSuffix", L"sync");
  ini.DeleteKey(r, L"DirPrefix");
  ini.WriteString(r, L"DriveId", j.DriveId);
  ini.WriteInteger(r, L"Timespan", 2);
  ini.WriteInteger(r, L"IgnoreDst", 1);
  ini.WriteInteger(r, L"FtpBackup", 0);
  ini.UpdateFile();
}

std::wstring ReadProfileInfo(std::wstring_view fileName, std::wstring_view profile) {
  try {
    return TUnicodeIniFile::CreateForRead(fileName).ReadString(profile, L"Path", L"");
  } catch (const Exception&) {
    return {};
  }
}

void WriteProfileInfo(std::wstring_view destDir, std::wstring_view profile, std::wstring_view mailDir) {
  TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(AddPath(destDir, kProfileInfoFile), false);
  ini.WriteString(profile, L"Path", mailDir);
  ini.UpdateFile();
}

int GetBackupFormat(std::wstring_view folder) {
  const std::wstring base = AddPath(folder, L"prefs.js");
  if (FileExists(base + L".zip")) return 3;
  if (FileExists(base + L".gz") || FileExists(base + L".gze")) return 1;
  if (FileExists(base)) return 0;
  return -1;
}

}  // namespace hv
