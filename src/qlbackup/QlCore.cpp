#include "qlbackup/QlCore.h"

#include <windows.h>

#include <filesystem>

#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/app/PlaceHolders.h"
#include "base/os/WinApiUtils.h"
#include "base/os/WinDevUtils.h"
#include "base/os/FileUtils.h"
#include "base/os/WinExecute.h"
#include "base/os/WinShell.h"
#include "base/os/WinUtils.h"
#include "base/settings/BuConsts.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/ShowMemo.h"
#include "winui/Translate.h"

namespace hv {
namespace {

bool FileExists(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ForceDirectories(const std::wstring& dir) {
  if (dir.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(dir), ec);
  return DirectoryExists(dir);
}

std::wstring CurrentDir() {
  wchar_t buf[MAX_PATH * 4];
  const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(std::size(buf)), buf);
  return n > 0 && n < std::size(buf) ? std::wstring(buf, n) : std::wstring();
}

}  // namespace

std::wstring ResolveOwnIniName(std::wstring_view option, std::wstring_view settingsDir, std::wstring_view programName,
                               std::wstring_view currentDir) {
  const std::wstring name = ExpandFolderPlaceholders(option);
  if (IsAbsolutePath(name)) {
    if (name.back() == L'\\' || GetExtension(name).empty()) return AddPath(name, std::wstring(programName) + L".ini");
    return name;
  }
  if (name.find(L'\\') != std::wstring::npos) return MakeAbsolutePath(currentDir, ApplyExtension(name, L"ini", 0));
  return AddPath(settingsDir, GetExtension(name).empty() ? name + L".ini" : name);
}

std::wstring ResolveJobDir(std::wstring_view option, std::wstring_view userPath, std::wstring_view mainIniName,
                           std::wstring_view currentDir) {
  std::wstring dir;
  if (!option.empty()) dir = MakeAbsolutePath(currentDir, AddPathDelimiter(ExpandFolderPlaceholders(option)));
  if (dir.empty() || !DirectoryExists(dir)) {
    dir = AddPath(userPath, L"Harvane\\");
    if (FileExists(std::wstring(mainIniName))) {
      try {
        const TMemIniFile ini(mainIniName);
        const std::wstring jobDir = ini.ReadString(L"Config", L"JobDir", L"");
        if (!jobDir.empty() && DirectoryExists(jobDir)) dir = AddPathDelimiter(jobDir);
        SuiteSettings.Directories.LogDir = ini.ReadString(L"Config", L"ProtDir", L"");
      } catch (const Exception&) {
      }
    }
  }
  return MakeAbsolutePath(currentDir, dir);
}

void TQlCore::Init(const std::vector<std::wstring>& args) {
  const TDefaultDirs dirs = GetDefaultDirs();
  AppPath = dirs.AppData;
  UserPath = dirs.Documents;
  Version = ProgramVersionInfo().Comments;
  const bool useProgramDir = GetAppDataPath().empty() || IsUsbDrive(ProgramDir().substr(0, 2));
  std::wstring settings = useProgramDir ? ProgramDir() : GetRegIniPath(AppPath);
  CurrentUserName = GetCurrentUserName();
  HvPath = FindMainProgram();
  QlApp = ThunderbirdDir(GetAppDataPath());
  QlProf = ProfilesIniName(QlApp);
  ProfFound = FindProfiles(QlApp, ProfileList, QlEnc);

  Options = ParseQlOptions(args);
  if (!Options.LogDir.empty()) Options.LogDir = ExpandFolderPlaceholders(Options.LogDir);
  SettingsDir = MakeSettingsDir(settings, AppPath);
  MainIniName = MainIniFileName(SettingsDir);
  SuiteSettings.PrinterSettings = LoadPrinterSettings(MainIniName, L"Printer");
  JobDir = ResolveJobDir(Options.JobDir, UserPath, MainIniName, CurrentDir());
  if (Options.IniName.empty()) {
    IniName = SettingsDir + ProgramName() + L".ini";
    if (!CopyFromDefaultDir(IniName, AppPath)) CopyVersion5File(GetAppDataPath(), IniName);
  } else {
    IniName = ResolveOwnIniName(Options.IniName, SettingsDir, ProgramName(), CurrentDir());
  }
  MailProfile = Options.Profile;
  Job = TBackupJob{};
  Job.DriveId = GetDrivePrefix();
  Changed = false;
}

bool TQlCore::CheckEnvironment() {
  if (!ProfFound) {
    FUi.ShowError(_(L"No Thunderbird profiles found!"));
    return false;
  }
  if (HvPath.empty()) {
    FUi.ShowError(SafeFormat(_(L"\"%s\" not found on this system!"), MainProgramName));
    return false;
  }
  if (!ForceDirectories(JobDir)) {
    FUi.ShowError(SafeFormat(_(L"Error accessing directory: \"%s\""), JobDir));
    return false;
  }
  return true;
}

void TQlCore::LoadSettings() {
  TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(L"");
  try {
    ini = TUnicodeIniFile::CreateForRead(IniName);
  } catch (const Exception&) {
  }
  const std::wstring c = L"Config";
  Top = ini.ReadInteger(c, L"Top", -1);
  Left = ini.ReadInteger(c, L"Left", -1);
  DestDir = ini.ReadString(c, L"BackupDirectory", L"");
  RealDir = DestDir.empty() ? DestDir : GetVolumePath(DestDir, true);
  if (MailProfile.empty()) {
    const std::wstring stored = ini.ReadString(c, L"MailProfile", L"");
    MailProfile = !Options.Force && ProfileList.IsInList(stored) ? stored : ProfileList.DefaultProfile();
    // Without any profile (a failed start) the stored choice is kept for the next start.
    if (ProfileList.Count() == 0) MailProfile = stored;
  }
  Job.Calendar = ini.ReadBool(c, L"BackupCalendar", true);
  WaitTime = ini.ReadInteger(c, L"WaitTime", 5);
  StatusIndex = ini.ReadInteger(c, L"StatusWindow", 1);
  if (StatusIndex < 0 || StatusIndex > 4) StatusIndex = 1;
  ExcludedFiles = ini.ReadString(c, L"ExcludedFiles", L"parent.lock,global-messages-db.sqlite");
  ExcludedTypes = ini.ReadString(c, L"ExcludedTypes", L"SQLITE-SHM,SQLITE-WAL,LZ4,BAK,LOCK");
}

void TQlCore::SaveSettings(int top, int left) {
  TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(IniName, false);
  ini.WriteProgramInfo(L"Program", ProgramVersionInfo().InternalName);
  ini.WriteProgramInfo(L"Version", Version);
  const std::wstring c = L"Config";
  ini.WriteInteger(c, L"Top", top);
  ini.WriteInteger(c, L"Left", left);
  ini.WriteString(c, L"BackupDirectory", DestDir);
  ini.WriteString(c, L"MailProfile", MailProfile);
  ini.WriteBool(c, L"BackupCalendar", Job.Calendar);
  ini.WriteInteger(c, L"WaitTime", WaitTime);
  ini.WriteInteger(c, L"StatusWindow", StatusIndex);
  ini.WriteString(c, L"ExcludedFiles", ExcludedFiles);
  ini.WriteString(c, L"ExcludedTypes", ExcludedTypes);
  ini.UpdateFile();
}

bool TQlCore::SelectProfile(std::wstring& profile) {
  if (ProfileList.Count() == 0) return false;
  std::wstring candidate = profile.empty() ? ProfileList.DefaultProfile() : profile;
  if (ProfileList.Count() == 1) {
    candidate = ProfileList.Name(0);
    FUi.ShowInfo(SafeFormat(_(L"Single Thunderbird profile \"%s\" found!"), ProfileList.GetProfileName(candidate)));
  } else if (!FUi.SelectProfile(ProfileList, candidate)) {
    return false;
  }
  const size_t i = ProfileList.IndexOf(candidate);
  if (i == TProfileList::npos) return false;
  profile = ProfileList.Name(i);
  return true;
}

void TQlCore::SetProfile(const std::wstring& profile) {
  MailProfile = profile;
  MailDir = ProfileList.GetFullPath(profile);
  BuTaskName = GetJobFileName(JobDir, profile);
  ReTaskName = RestoreJobName(BuTaskName);
}

bool TQlCore::ReadProfiles() {
  ProfFound = FindProfiles(QlApp, ProfileList, QlEnc);
  if (!ProfFound) FUi.ShowError(_(L"No Thunderbird profiles found!"));
  return ProfFound;
}

bool TQlCore::ReloadProfiles() {
  if (!ReadProfiles()) return false;
  if (ProfileList.NotInList(MailProfile)) {
    FUi.ShowError(SafeFormat(_(L"Profile \"%s\" not found!"), ProfileList.GetProfileName(MailProfile)));
    return false;
  }
  MailDir = ProfileList.GetFullPath(MailProfile);
  return true;
}

void TQlCore::UpdateProfilesIni() { hv::UpdateProfilesIni(QlApp, QlEnc, ProfileList, MailProfile, MailDir); }

bool TQlCore::LoadJob() {
  TBackupJob job = Job;
  try {
    if (!LoadJobFile(BuTaskName, job, GetDrivePrefix())) return false;
  } catch (const Exception& e) {
    FUi.ShowErrorBox(e.Message());
    return false;
  }
  Job = job;
  Changed = false;
  return true;
}

std::wstring TQlCore::LogFileName() const {
  if (BuTaskName.empty() || FileExists(BuTaskName)) return GetTaskLogName(BuTaskName);
  return ExpandTaskLogName(BuTaskName, JobLogName(Options.LogDir), DestDir, GetLogFolder());
}

bool TQlCore::WriteJob(const std::wstring& jobFile, bool unattended) {
  TJobContext c;
  c.Destination = unattended && !Options.BuDir.empty() ? Options.BuDir : DestDir;
  c.MailDir = MailDir;
  c.LogDir = Options.LogDir;
  c.LogFile = unattended && Options.LogMode >= 0 ? Options.LogMode : Job.LogIndex + 1;
  c.ExcludedDirs = Options.ExcludedDirs;
  c.ExcludedFiles = ExcludedFiles;
  c.ExcludedTypes = ExcludedTypes;
  c.Version = Version;
  try {
    WriteJobFile(jobFile, Job, c);
    Changed = false;
    return true;
  } catch (const Exception&) {
    FUi.ShowError(SafeFormat(_(L"Error saving task \"%s\"!"), jobFile));
    return false;
  }
}

std::wstring TQlCore::BuildStatus(bool unattended) const {
  if (unattended) return BuildStatusOptions(Options.StatusPrompt, Options.WaitDelay, false);
  return BuildStatusOptions(StatusIndex, WaitTime, StatusOnTop);
}

std::wstring TQlCore::ProfileArgument() const { return QuoteIfNeeded(MailProfile, L" \t"); }

std::wstring TQlCore::UnattendedArguments() const { return ProfileArgument() + BuildStatus(false); }

bool TQlCore::PrepareUnattendedRun() {
  const std::wstring dest = ExpandDatePlaceholders(RealDir, Job.BackupCount);
  if (!ForceDirectories(dest)) {
    FUi.ShowError(SafeFormat(_(L"Could not create directory:\r\n\"%s\""), dest));
    return false;
  }
  return WriteJob(BuTaskName, false);
}

namespace {

// The item-based move where the system has it, else the classic one.
HRESULT ShellMoveFolder(HWND owner, const std::wstring& source, const std::wstring& dest) {
  if (IsVistaOrLater()) {
    const HRESULT hr = ShellMoveItem(owner, source, dest, true);
    if (hr != REGDB_E_CLASSNOTREG && hr != E_NOTIMPL && hr != E_NOINTERFACE) return hr;
  }
  const int rc = ShellMoveFiles(owner, source, dest, L"", true);
  return rc == 0 ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(rc));
}

}  // namespace

bool TQlCore::ThunderbirdClosed(const std::wstring& purpose, const std::wstring& refused) {
  const auto running = [this] { return ThunderbirdRunning ? ThunderbirdRunning() : IsProcessRunning(L"Thunderbird.exe", false); };
  if (!running()) return true;
  bool none = false;
  if (FUi.SelectOption(L"", _(L"Please close the running Thunderbird application\r\nand then click \"Continue\" ") + purpose,
                       {_(L"Continue")}, 0, L"", none) < 0)
    return false;
  if (!running()) return true;
  FUi.ShowError(_(L"Thunderbird is still running - ") + refused);
  return false;
}

bool TQlCore::MoveMailData() {
  if (!FUi.Confirm(_(L"Move mail data of the selected profile to a different location?"))) return false;
  if (!ThunderbirdClosed(_(L"to move mail data!"), _(L"cannot move mail data!"))) return false;
  const std::wstring docs = TrimRightChar(UserPath, L'\\');
  std::wstring proposed = AddPath(docs, L"Mail");
  if (SameFileName(proposed, MailDir)) proposed = docs;
  bool created = false;
  if (!DirectoryExists(proposed)) {
    if (ForceDirectories(proposed)) created = true;
    else proposed = docs;
  }
  std::wstring dir = proposed;
  if (!FUi.SelectDirectory(_(L"Select new mail folder"), dir, QlApp + L"Profiles")) {
    if (created) RemoveDirectoryW(proposed.c_str());
    return false;
  }
  const std::wstring target = TrimRightChar(dir, L'\\');
  if (SameFileName(target, MailDir)) {
    FUi.ShowError(_(L"The source directory is the same as the destination directory") + L":\r\n" + target);
    return false;
  }
  // A folder inside the profile would be moved into itself; a folder with content would be merged
  // with the profile and its files overwritten.
  if (IsSubDir(MailDir, target)) {
    FUi.ShowError(SafeFormat(_(L"The new mail folder must not lie inside the mail directory:\r\n\"%s\""), target));
    return false;
  }
  if (!ForceDirectories(target)) {
    FUi.ShowError(SafeFormat(_(L"Could not create directory:\r\n\"%s\""), target));
    return false;
  }
  if (!IsDirEmpty(target)) {
    FUi.ShowError(SafeFormat(_(L"The folder \"%s\" is not empty!\r\nPlease select an empty folder for the mail data."), target));
    return false;
  }
  // The profile folder takes the empty folder's place.
  RemoveDirectoryW(target.c_str());
  const HRESULT hr = MoveFolder ? MoveFolder(MailDir, target) : ShellMoveFolder(Window, MailDir, target);
  if (FAILED(hr) || !DirectoryExists(target)) {
    CreateDirectoryW(target.c_str(), nullptr);
    FUi.ShowError(SafeFormat(_(L"Error moving mail data from \"%s\"\r\nto \"%s\""), MailDir, target) + L"\r\n" +
                  SystemErrorText(static_cast<DWORD>(FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))));
    return false;
  }
  CreateDirectoryW(MailDir.c_str(), nullptr);
  MailDir = target;
  Changed = true;
  try {
    UpdateProfilesIni();
  } catch (const Exception& e) {
    FUi.ShowErrorBox(e.Message());
    return true;
  }
  FUi.ShowInfo(SafeFormat(_(L"Mail data successfully moved to:\r\n\"%s\""), ProfileList.GetPathName(MailProfile)));
  return true;
}

int TQlCore::RunMainProgram(const std::wstring& commandLine) {
  FBusy = true;
  FUi.SetBusy(true);
  DWORD result = 0;
  int code = 0;
  try {
    TKernelHandle process = StartProcess(commandLine, L"");
    result = WaitForProcess(process, 0, true);
  } catch (const EProcessError& e) {
    FUi.SetBusy(false);
    FBusy = false;
    FUi.ShowError(SafeFormat(_(L"Error on starting Harvane: %s"), e.Message()));
    return kRunStartFailed;
  }
  FUi.SetBusy(false);
  FBusy = false;
  if (result == 0) return 0;
  if (result & kExitCodeFlag) {
    const DWORD exitCode = result & ~kExitCodeFlag;
    code = MainProgramResult(exitCode);
    FUi.ShowError(SafeFormat(_(L"Error reported by Harvane: %s"), GetTaskResultText(code)));
    // A failure whose low byte is 0 must not read as success.
    return code != 0 ? code : static_cast<int>(exitCode);
  }
  FUi.ShowError(SafeFormat(_(L"Error on executing Harvane: %s"), SystemErrorText(result)));
  return kRunWaitFailed;
}

int TQlCore::RunBackup(const std::wstring& jobFile, bool unattended) {
  std::wstring dest = unattended && !Options.BuDir.empty() ? GetVolumePath(Options.BuDir, true) : RealDir;
  dest = ExpandDatePlaceholders(dest, Job.BackupCount);
  if (dest.empty()) {
    FUi.ShowError(_(L"Destination") + L": " + _(L"No directory specified!"));
    return kRunNotStarted;
  }
  if (!ForceDirectories(dest)) {
    FUi.ShowError(SafeFormat(_(L"Could not create directory:\r\n\"%s\""), dest));
    return kRunNotStarted;
  }
  if (!WriteJob(jobFile, unattended)) return kRunNotStarted;
  try {
    WriteProfileInfo(dest, MailProfile, MailDir);
  } catch (const EWriteError& e) {
    FUi.ShowErrorBox(e.Message());
  }
  const int result = RunMainProgram(MakeBackupCommand(HvPath, jobFile, BuildStatus(unattended)));
  if (MailAfterBackup && Job.MailMode != TMailMode::mmNone) MailAfterBackup(result);
  return result;
}

int TQlCore::Restore() {
  if (!ReloadProfiles()) return kRunNotStarted;
  const std::wstring d = ExpandDatePlaceholders(RealDir, Job.BackupCount);
  const std::wstring info = AddPath(d, kProfileInfoFile);
  const std::wstring target = MailDir;
  std::wstring source = info;
  bool manual = false;
  if (FileExists(info)) {
    const std::wstring p = ReadProfileInfo(info, MailProfile);
    if (p.empty()) {
      if (!FUi.Confirm(SafeFormat(_(L"No matching profile found for \"%s\" in the backup!\r\nSelect a backup directory manually?"),
                                  ProfileList.GetProfileName(MailProfile))))
        return kRunNotStarted;
      manual = true;
    } else {
      if (!IsSameDir(p, target) &&
          !FUi.Confirm(SafeFormat(_(L"Thunderbird configuration was changed since last backup!\r\nRestore data of profile \"%s\" anyway?"),
                                  ProfileList.GetProfileName(MailProfile))))
        return kRunNotStarted;
      std::wstring rest = target.size() > 3 && target[1] == L':' ? target.substr(3) : target;
      source = AddPath(AddPath(d, MakeDriveFolder(Job.DriveId, target)), rest);
      source = TrimRightChar(source, L'\\');
      if (!DirectoryExists(source)) {
        if (!FUi.Confirm(SafeFormat(_(L"Could not find backup directory \"%s\"!\r\nRestore from another directory?"), source)))
          return kRunNotStarted;
        manual = true;
      }
    }
  } else {
    if (!FUi.Confirm(_(L"Could not find backup information for selected profile!\r\nSelect backup directory manually?")))
      return kRunNotStarted;
    manual = true;
  }
  // A found folder without prefs.js is no backup of the profile: choose by hand as well.
  if (!manual && GetBackupFormat(source) < 0) manual = true;
  if (manual) {
    std::wstring start = FindExistingDir(source, L"");
    if (start.empty()) start = CutAtPlaceholder(RealDir);
    for (;;) {
      if (!FUi.SelectDirectory(_(L"Select directory from which to restore files"), start, start)) return kRunNotStarted;
      if (GetBackupFormat(start) >= 0) break;
      FUi.ShowError(SafeFormat(_(L"No Thunderbird data found in \"%s\"!"), start));
    }
    source = start;
  }
  return RestoreFrom(source, target);
}

int TQlCore::RestoreFrom(std::wstring source, const std::wstring& dest) {
  const int format = GetBackupFormat(source);
  std::wstring target = dest;
  if (!ForceDirectories(target)) {
    FUi.ShowError(SafeFormat(_(L"Could not create directory:\r\n\"%s\""), target));
    return kRunNotStarted;
  }
  const std::wstring title = _(L"Restore mail data from: ") + ExpandDatePlaceholders(RealDir, Job.BackupCount);
  const std::vector<std::wstring> buttons = {_(L"Other directory"), _(L"Continue")};
  bool clear = true;
  int mode = 1;
  int answer = FUi.SelectOption(title,
                                SafeFormat(_(L"Restoring mail data to \"%s\" will overwrite all existing mails of profile \"%s\"!"),
                                           target, ProfileList.GetProfileName(MailProfile)),
                                buttons, 1, _(L"Clear mail profile completely prior to restoring"), clear);
  if (answer < 0) return kRunNotStarted;
  // Clearing the target before the copy would take the backup with it.
  const auto holdsBackup = [&](const std::wstring& dir) {
    if (!IsSubDir(source, dir) && !IsSubDir(dir, source)) return false;
    FUi.ShowError(SafeFormat(_(L"The backup cannot be restored into \"%s\":\r\nthe folder holds the backup or lies inside it!"), dir));
    return true;
  };
  if (answer == 1 && holdsBackup(target)) return kRunNotStarted;
  if (answer == 0) {
    for (;;) {
      if (!FUi.SelectDirectory(_(L"Select directory to which to restore files"), target, UserPath)) return kRunNotStarted;
      if (holdsBackup(target)) continue;
      if (IsDirEmpty(target)) {
        mode = 2;
        break;
      }
      clear = true;
      answer = FUi.SelectOption(title, SafeFormat(_(L"The selected directory \"%s\" is not empty!"), target), buttons, 0,
                                _(L"Clear directory completely prior to restoring?"), clear);
      if (answer < 0) return kRunNotStarted;
      if (answer == 1) {
        mode = 2;
        break;
      }
    }
  }
  TRestoreJob job;
  job.Source = source;
  job.DestDir = target;
  job.UnCompress = format;
  job.ClearDest = clear;
  job.LogFile = Job.LogIndex + 1;
  job.LogDir = Options.LogDir;
  job.DriveId = Job.DriveId;
  job.Version = Version;
  try {
    WriteRestoreJobFile(ReTaskName, job);
  } catch (const Exception&) {
    FUi.ShowErrorBox(SafeFormat(_(L"Error saving task \"%s\"!"), ReTaskName));
    return kRunNotStarted;
  }
  if (!ThunderbirdClosed(_(L"to start the restore!"), _(L"restore aborted!"))) return kRunNotStarted;
  const int result = RunMainProgram(MakeRestoreCommand(HvPath, ReTaskName));
  if (mode == 2 && result == 0 && FUi.Confirm(_(L"Adjust Thunderbird profile?"))) {
    MailDir = target;
    Changed = true;
    try {
      UpdateProfilesIni();
    } catch (const Exception& e) {
      FUi.ShowErrorBox(e.Message());
    }
  }
  return result;
}

bool TQlCore::CheckForce() {
  if (!Options.Force) return false;
  ExitCode = kRunNotStarted;
  if (CheckEnvironment()) {
    if (ProfileList.NotInList(MailProfile)) {
      FUi.ShowError(SafeFormat(_(L"Profile \"%s\" not found!"), ProfileList.GetProfileName(MailProfile)));
      return true;
    }
    SetProfile(ProfileList.Name(ProfileList.IndexOf(MailProfile)));
    LoadJob();
    ExitCode = RunBackup(BuTaskName, true);
  }
  if (Window && IsVistaOrLater()) DestroyShutdownBlockReason(Window);
  if (Options.LogOffMode != TDownMode::dmNone)
    ShutdownSystem();
  else if (Options.SuspendMode != TSuspendMode::smNone)
    SuspendSystem();
  return true;
}

void TQlCore::ShutdownSystem() {
  constexpr DWORD kPlanned = 0x80000000;
  bool ok = true;
  switch (Options.LogOffMode) {
    case TDownMode::dmLogOff: ok = ExitWindowsConfirm(L"", EWX_LOGOFF | EWX_FORCEIFHUNG, kPlanned); break;
    case TDownMode::dmShutdown:
    case TDownMode::dmPowerOff: ok = InitiateShutdownConfirm(L"", false, kPlanned); break;
    case TDownMode::dmRestart: ok = InitiateShutdownConfirm(L"", true, kPlanned); break;
    default: return;
  }
  if (!ok) {
    const DWORD error = GetLastError();
    FUi.ShowErrorBox(L"  *** " + SafeFormat(_(L"Error on shutting down or logging off!\r\n%s"), SystemErrorText(error)));
  }
}

void TQlCore::SuspendSystem() {
  if (!SetSystemSuspendState(Options.SuspendMode == TSuspendMode::smHibernate, false, false)) {
    const DWORD error = GetLastError();
    FUi.ShowErrorBox(L"  *** " + SafeFormat(_(L"Error on suspending system!\r\n%s"), SystemErrorText(error)));
  }
}

}  // namespace hv
