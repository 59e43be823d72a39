// Harvane.exe stand-in: works off backup (.buj) and restore (.rsj) jobs with plain copies, writes
// the job's log, appends a record of every run for the tests and exits with the main program's codes.
// The record lists the switches as given (/startapp:, /prompt:, /wait:, /status:, /hide, /force, /restore ...).
// Test keys in the job file, section [Standin]: ExitCode (skip the work and exit with it), Delay (ms
// before ending), RecordFile (where the record goes; else %HV_STANDIN_RECORD%, else beside the program).
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "winui/Handles.h"
#include "base/app/HvUtils.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/PathUtils.h"
#include "base/app/PlaceHolders.h"
#include "base/text/StringUtils.h"
#include "base/os/WinApiUtils.h"

using namespace hv;

namespace {

enum TExitCode { ecOk = 0, ecJobNotFound = 1, ecDestNotFound = 2, ecSourceNotFound = 3, ecCopyErrors = 4,
                 ecInvalidJob = 6 };

std::wstring GetFileNameOnly(const std::wstring& path) {
  const size_t p = path.find_last_of(L"\\:");
  return p == std::wstring::npos ? path : path.substr(p + 1);
}

bool DirExists(const std::wstring& dir) {
  const DWORD attr = GetFileAttributesW(dir.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDir(const std::wstring& dir) {
  if (dir.empty() || DirExists(dir)) return !dir.empty();
  const std::wstring parent = GetParentDir(dir);
  if (!parent.empty() && parent != dir && !DirExists(parent) && !ForceDir(parent)) return false;
  return CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring NowText() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  wchar_t buf[40];
  swprintf(buf, std::size(buf), L"%04u-%02u-%02u %02u:%02u:%02u.%03u", st.wYear, st.wMonth, st.wDay, st.wHour,
           st.wMinute, st.wSecond, st.wMilliseconds);
  return buf;
}

// Runs of the same group append at the same time: each write goes to the end as one piece.
void AppendUtf8(const std::wstring& file, const std::wstring& text) {
  TFileHandle h;
  for (int attempt = 0; attempt < 50; ++attempt) {
    h.Reset(CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h || GetLastError() != ERROR_SHARING_VIOLATION) break;
    Sleep(20);
  }
  if (!h) return;
  const std::string bytes = WideToUtf8(text);
  DWORD written = 0;
  WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::vector<std::wstring> SplitList(std::wstring_view s, wchar_t sep) {
  std::vector<std::wstring> items;
  std::wstring rest(s);
  while (!rest.empty()) {
    std::wstring item = ReadNextItem(rest, sep);
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

bool MatchesAny(const std::wstring& name, const std::vector<std::wstring>& masks) {
  for (const auto& m : masks)
    if (PathMatchSpecW(name.c_str(), m.c_str())) return true;
  return false;
}

// What one folder of a backup leaves out.
struct TDirFilter {
  std::vector<std::wstring> ExcludedDirs, ExcludedFiles, ExcludedTypes;
};

class TJobRun {
 public:
  std::vector<std::wstring> Log;
  int Copied = 0, Errors = 0;

  // Copies the tree below source into dest; false when the destination cannot be made.
  bool CopyTree(const std::wstring& source, const std::wstring& dest, const TDirFilter& filter) {
    if (!ForceDir(dest)) return false;
    WIN32_FIND_DATAW fd;
    TFindHandle find(FindFirstFileW(AddPath(source, L"*").c_str(), &fd));
    if (!find) return true;
    do {
      const std::wstring name = fd.cFileName;
      if (!IsNotDotEntry(name)) continue;
      const std::wstring from = AddPath(source, name), to = AddPath(dest, name);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (MatchesAny(name, filter.ExcludedDirs)) continue;
        if (!CopyTree(from, to, filter)) {
          Log.push_back(L"Error creating " + to);
          ++Errors;
        }
        continue;
      }
      if (MatchesAny(name, filter.ExcludedFiles)) continue;
      const std::wstring ext = GetExtension(name);
      if (!ext.empty() && MatchesAny(ext, filter.ExcludedTypes)) continue;
      if (CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        ++Copied;
      } else {
        Log.push_back(L"Error copying " + from + L" (" + std::to_wstring(GetLastError()) + L")");
        ++Errors;
      }
    } while (FindNextFileW(find.Get(), &fd));
    return true;
  }

  static bool ClearDir(const std::wstring& dir) {
    bool ok = true;
    WIN32_FIND_DATAW fd;
    TFindHandle find(FindFirstFileW(AddPath(dir, L"*").c_str(), &fd));
    if (!find) return true;
    do {
      const std::wstring name = fd.cFileName;
      if (!IsNotDotEntry(name)) continue;
      const std::wstring path = AddPath(dir, name);
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ok = ClearDir(path) && RemoveDirectoryW(path.c_str()) && ok;
      else ok = DeleteFileW(path.c_str()) && ok;
    } while (FindNextFileW(find.Get(), &fd));
    return ok;
  }
};

// Sub-folder of a source in the destination: the drive folder, then the path below the drive.
std::wstring BackupFolderOf(const std::wstring& destination, const std::wstring& driveId, const std::wstring& source) {
  std::wstring folder = AddPath(destination, MakeDriveFolder(driveId, source));
  if (source.size() > 3 && source[1] == L':') folder = AddPath(folder, source.substr(3));
  return TrimRightChar(folder, L'\\');
}

int RunBackup(TUnicodeIniFile& job, TJobRun& run) {
  std::wstring dest = job.ReadString(L"Global", L"Destination", L"");
  const int dirCount = job.ReadInteger(L"Global", L"DirCount", 0);
  if (dest.empty() || dirCount <= 0) return ecInvalidJob;
  const int count = static_cast<int>(job.ReadInt64(L"Global", L"BackupCount", 1));
  std::wstring label;
  if (ResolveVolumePath(dest, label, false) == 2) return ecDestNotFound;
  dest = ExpandVolumeEnvPlaceholders(dest, job.ReadString(L"Dir000", L"Volume", L""), count);
  dest = ExpandFolderPlaceholders(dest);
  if (!ForceDir(TrimRightChar(dest, L'\\'))) return ecDestNotFound;
  run.Log.push_back(L"Destination: " + dest);
  std::wstring driveId = job.ReadString(L"Global", L"DriveId", L"");
  if (driveId.empty()) driveId = L"Drv?";

  for (int i = 0; i < dirCount; ++i) {
    wchar_t section[16];
    swprintf(section, std::size(section), L"Dir%03d", i);
    if (!job.ReadBool(section, L"Enabled", true)) continue;
    const std::wstring source = TrimRightChar(job.ReadString(section, L"Source", L""), L'\\');
    if (source.empty() || !DirExists(source)) {
      run.Log.push_back(L"Source directory not found: " + source);
      return ecSourceNotFound;
    }
    TDirFilter filter;
    filter.ExcludedDirs = SplitList(job.ReadString(section, L"DirFilter", L""), L',');
    if (job.ReadInteger(section, L"FilterMode", 0) == 2)
      filter.ExcludedFiles = SplitList(job.ReadString(section, L"Filter", L""), L'|');
    if (job.ReadInteger(section, L"BackupMode", 0) == 1)
      filter.ExcludedTypes = SplitList(job.ReadString(section, L"Exclude", L""), L',');
    const std::wstring target = BackupFolderOf(dest, driveId, source);
    run.Log.push_back(L"Backup of " + source + L" to " + target);
    if (!run.CopyTree(source, target, filter)) return ecDestNotFound;
  }
  // The count of backups is kept in the job, as the main program does.
  job.WriteInt64(L"Global", L"BackupCount", count + 1);
  return run.Errors ? ecCopyErrors : ecOk;
}

int RunRestore(const TUnicodeIniFile& job, TJobRun& run) {
  const std::wstring source = TrimRightChar(job.ReadString(L"Restore", L"Source", L""), L'\\');
  const std::wstring dest = TrimRightChar(job.ReadString(L"Restore", L"DestDir", L""), L'\\');
  if (source.empty() || dest.empty()) return ecInvalidJob;
  // Only plain copies are made by the stand-in, so only they can be restored.
  if (job.ReadInteger(L"Restore", L"UnCompress", 0) != 0) return ecInvalidJob;
  if (!DirExists(source)) return ecSourceNotFound;
  if (!ForceDir(dest)) return ecDestNotFound;
  if (job.ReadBool(L"Restore", L"ClearDest", false) && !TJobRun::ClearDir(dest)) {
    run.Log.push_back(L"Error clearing " + dest);
    ++run.Errors;
  }
  run.Log.push_back(L"Restore of " + source + L" to " + dest);
  run.CopyTree(source, dest, {});
  return run.Errors ? ecCopyErrors : ecOk;
}

std::wstring SettingsFolder() { return AddPathDelimiter(GetRegIniPath(GetDefaultDirs().AppData)); }

std::wstring LogFolder() {
  const std::wstring settings = SettingsFolder();
  const std::wstring prot = TMemIniFile(MainIniFileName(settings)).ReadString(L"Config", L"ProtDir", L"");
  return prot.empty() ? settings : AddPathDelimiter(prot);
}

// A restore job names its log in [Restore], with %dest% the folder restored into.
std::wstring RestoreLogName(const std::wstring& jobFile, const TMemIniFile& job) {
  std::wstring log = job.ReadString(L"Restore", L"LogName", L"");
  if (log.empty()) return {};
  log = ReplaceTextAll(log, L"%taskname%", DeleteExtension(GetFileNameOnly(jobFile)));
  log = ExpandLogNamePlaceholders(log, job.ReadString(L"Restore", L"DestDir", L""));
  return IsAbsolutePath(log) ? log : AddPath(LogFolder(), log);
}

void WriteJobLog(const std::wstring& jobFile, const TMemIniFile& job, bool restore, const TJobRun& run, int code,
                 const std::wstring& started) {
  const std::wstring section = restore ? L"Restore" : L"Backup";
  const std::wstring logName = restore ? RestoreLogName(jobFile, job) : GetTaskLogName(jobFile, LogFolder());
  if (logName.empty()) return;
  ForceDir(GetParentDir(logName));
  std::wstring text = L"Harvane stand-in - " + std::wstring(section) + L": " + jobFile + L"\r\nStarted: " + started + L"\r\n";
  for (const auto& line : run.Log) text += line + L"\r\n";
  text += L"Files copied: " + std::to_wstring(run.Copied) + L"\r\nErrors: " + std::to_wstring(run.Errors) +
          L"\r\nFinished: " + NowText() + L"\r\nExit code: " + std::to_wstring(code) + L"\r\n";
  AppendUtf8(logName, text);
}

// Runs one job file; returns its exit code.
int RunJob(const std::wstring& jobFile, bool restore, bool edit, std::wstring& recordFile) {
  if (GetFileAttributesW(jobFile.c_str()) == INVALID_FILE_ATTRIBUTES) return ecJobNotFound;
  const std::wstring started = NowText();
  TUnicodeIniFile job = TUnicodeIniFile::CreateForWrite(jobFile, false);
  const std::wstring ownRecord = job.ReadString(L"Standin", L"RecordFile", L"");
  if (!ownRecord.empty()) recordFile = ownRecord;
  const int delay = job.ReadInteger(L"Standin", L"Delay", 0);
  if (delay > 0) Sleep(static_cast<DWORD>(delay));
  if (job.ValueExists(L"Standin", L"ExitCode")) return job.ReadInteger(L"Standin", L"ExitCode", 0);
  if (edit) return ecOk;

  restore = restore || SameFileName(GetExtension(jobFile), L"rsj");
  TJobRun run;
  const int code = restore ? RunRestore(job, run) : RunBackup(job, run);
  if (!restore && code == ecOk) job.UpdateFile();
  WriteJobLog(jobFile, job, restore, run, code, started);
  return code;
}

std::wstring DefaultRecordFile() {
  wchar_t buf[MAX_PATH * 4];
  DWORD n = GetEnvironmentVariableW(L"HV_STANDIN_RECORD", buf, static_cast<DWORD>(std::size(buf)));
  if (n > 0 && n < std::size(buf)) return std::wstring(buf, n);
  n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  return AddPath(GetParentDir(std::wstring(buf, n)), L"Harvane-record.txt");
}

int Run() {
  const std::wstring started = NowText();
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> jobs, options;
  for (int i = 1; argv && i < argc; ++i) {
    std::wstring a = argv[i];
    if (!a.empty() && (a[0] == L'/' || a[0] == L'-')) options.push_back(a.substr(1));
    else jobs.push_back(a);
  }
  LocalFree(argv);

  bool restore = false, edit = false;
  std::wstring switches;
  for (const auto& o : options) {
    switches += (switches.empty() ? L"" : L" ") + o;
    const std::wstring name = GetFirstItem(o, L':');
    if (!name.empty() && MatchOption(name, L"restore")) restore = true;
    if (!name.empty() && MatchOption(name, L"edit")) edit = true;
  }

  std::wstring recordFile = DefaultRecordFile();
  int result = ecOk;
  std::wstring codes;
  for (const auto& job : jobs) {
    int code;
    try {
      code = RunJob(job, restore, edit, recordFile);
    } catch (const hv::Exception& e) {
      // A job file that cannot be read or written back.
      AppendUtf8(recordFile, L"Error=" + e.Message() + L"\r\n");
      code = ecInvalidJob;
    }
    codes += (codes.empty() ? L"" : L",") + std::to_wstring(code);
    result = std::max(result, code);
  }

  wchar_t cur[MAX_PATH * 4];
  const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(std::size(cur)), cur);
  AppendUtf8(recordFile, L"[Run]\r\nCommandLine=" + std::wstring(GetCommandLineW()) + L"\r\nCurrentDir=" +
                             std::wstring(cur, n) + L"\r\nUser=" + GetCurrentUserName() + L"\r\nStart=" + started +
                             L"\r\nEnd=" + NowText() + L"\r\nJobCodes=" + codes + L"\r\nSwitches=" + switches +
                             L"\r\nExitCode=" + std::to_wstring(result) + L"\r\n");
  return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    return Run();
  } catch (const hv::Exception& e) {
    OutputDebugStringW(e.Message().c_str());
    return ecInvalidJob;
  } catch (...) {
    return 255;
  }
}
