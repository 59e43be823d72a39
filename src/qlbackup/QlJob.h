#pragma once
// The files QlBackup writes for the main program: the profile's backup job (".buj"), its restore
// job (".rsj") and the record "bu-profiles.ini" that every backup leaves in its destination.
#include <cstdint>
#include <string>
#include <string_view>

#include "unattended/BuMailDlg.h"

namespace hv {

// The job settings as the main form shows them.
struct TBackupJob {
  std::wstring TaskNote;
  std::wstring DriveId;
  int32_t BackupCount = 0;
  std::wstring CryptPwd;
  int32_t CryptMode = 0;
  int32_t SyncMode = 0;
  TMailMode MailMode = TMailMode::mmNone;
  TMailData MailData;
  // Check boxes and the log radio group.
  bool Calendar = true;
  bool NoCompression = false;
  bool Encrypt = false;
  bool FixPwd = false;
  bool FixPwdEnabled = false;
  int LogIndex = 0;  // 0 short, 1 long
  bool Sync = false;
  bool UseRecycler = false;
  bool UseRecyclerEnabled = false;
  bool SendMail = false;
};

// What else goes into a backup job.
struct TJobContext {
  std::wstring Destination;    // as typed: placeholders and volume labels stay
  std::wstring MailDir;        // the profile folder
  std::wstring LogDir;         // with trailing "\" or empty
  int32_t LogFile = 1;         // "LogFile": log index + 1, or the unattended run's log mode
  std::wstring ExcludedDirs;   // extra folder masks, comma list
  std::wstring ExcludedFiles;  // comma list
  std::wstring ExcludedTypes;  // comma list
  std::wstring Version;        // version text of the program
};

inline constexpr std::wstring_view kDefaultDirFilter = L"*cache*,log*,crash*,calendar-data,backup,datareporting";
inline constexpr std::wstring_view kNoCompTypes =
    L"7z,ace,arc,arj,bz2,cab,docx,epub,gif,gz,gze,jpeg,jpg,lha,lzh,mp3,mp4,mpg,odg,odp,ods,odt,otp,ots,ott,pdf,"
    L"png,pptx,rar,webm,webp,xlsm,xlsx,xpi,zip,zipx";
inline constexpr std::wstring_view kProfileInfoFile = L"bu-profiles.ini";

// "LogName" of the jobs: logDir (with "\" or empty) + "%taskname%.log".
std::wstring JobLogName(std::wstring_view logDir);

// jobDir (with "\") + "ql-" + the profile name with invalid characters as "_", extension "buj".
std::wstring GetJobFileName(std::wstring_view jobDir, std::wstring_view profile);
std::wstring RestoreJobName(std::wstring_view backupJob);

// Writes the backup job over the existing file (keys not written here survive). Raises
// EWriteError (or EOSError when the old file cannot be read).
void WriteJobFile(std::wstring_view fileName, const TBackupJob& job, const TJobContext& context);
// Loads the settings of a job file; false (job unchanged) when the file does not exist.
bool LoadJobFile(std::wstring_view fileName, TBackupJob& job, std::wstring_view defaultDriveId);

struct TRestoreJob {
  std::wstring Source, DestDir;
  int32_t UnCompress = 0;  // 0 plain, 1 gzip, 3 zip
  bool ClearDest = false;
  int32_t LogFile = 1;
  std::wstring LogDir;
  std::wstring DriveId;
  std::wstring Version;
};
// Raises EWriteError or EOSError.
void WriteRestoreJobFile(std::wstring_view fileName, const TRestoreJob& job);

// "Path" of the profile's section of a bu-profiles.ini; empty when missing or unreadable.
std::wstring ReadProfileInfo(std::wstring_view fileName, std::wstring_view profile);
// Adds or replaces the profile's section in destDir's bu-profiles.ini. Raises EWriteError.
void WriteProfileInfo(std::wstring_view destDir, std::wstring_view profile, std::wstring_view mailDir);

// Storage form of a backed-up profile in folder: 3 zip, 1 gzip, 0 plain, -1 no prefs.js at all.
int GetBackupFormat(std::wstring_view folder);

}  // namespace hv
