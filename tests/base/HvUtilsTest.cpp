#include "base/app/HvUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "base/settings/BuConsts.h"
#include "base/settings/IniFileUtils.h"
#include "base/app/InitProg.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "base/os/WinApiUtils.h"
#include "base/app/PlaceHolders.h"
#include "support/TestSupport.h"
#include "winui/Forms.h"

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;

namespace {

const wchar_t kTestKey[] = L"Software\\HvSuiteTests\\Products";

// A test key under HKEY_CURRENT_USER, removed with its values afterwards.
class RegTestKey {
 public:
  explicit RegTestKey(REGSAM view = 0) : FView(view) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &FKey, nullptr);
  }
  ~RegTestKey() {
    RegCloseKey(FKey);
    RegDeleteKeyExW(HKEY_CURRENT_USER, kTestKey, FView, 0);
  }
  void Set(const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(FKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

 private:
  REGSAM FView;
  HKEY FKey = nullptr;
};

class CurrentDir {
 public:
  explicit CurrentDir(const std::wstring& dir) {
    GetCurrentDirectoryW(MAX_PATH, FSaved);
    SetCurrentDirectoryW(dir.c_str());
  }
  ~CurrentDir() { SetCurrentDirectoryW(FSaved); }

 private:
  wchar_t FSaved[MAX_PATH];
};

bool Exists(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(SettingsFolder, RegIniPath) {
  {
    RegTestKey key;
    EXPECT_EQ(GetRegIniPath(L"C:\\Def\\", kTestKey), L"C:\\Def\\") << "value missing";
    key.Set(L"IniPath", L"");
    EXPECT_EQ(GetRegIniPath(L"C:\\Def\\", kTestKey), L"C:\\Def\\") << "value empty";
    key.Set(L"IniPath", L"D:\\Settings");
    EXPECT_EQ(GetRegIniPath(L"C:\\Def\\", kTestKey), L"D:\\Settings") << "no delimiter added";
  }
  EXPECT_EQ(GetRegIniPath(L"C:\\Def\\", kTestKey), L"C:\\Def\\") << "key missing";
}

TEST(SettingsFolder, CreatedOrDefault) {
  TempDir tmp;
  EXPECT_EQ(MakeSettingsDir(tmp / L"a\\b", tmp / L"def"), tmp / L"a\\b\\");
  EXPECT_TRUE(Exists(tmp / L"a\\b"));
  // A folder below a file cannot be made: the default is taken.
  ASSERT_TRUE(WriteBytes(tmp / L"file", "x"));
  EXPECT_EQ(MakeSettingsDir(tmp / L"file\\sub", tmp / L"def"), tmp / L"def\\");
  EXPECT_EQ(MakeSettingsDir(L"Q:\\nowhere\\x", tmp / L"def"), tmp / L"def\\");
  EXPECT_EQ(MainIniFileName(tmp / L"def\\"), tmp / L"def\\Harvane.ini");
}

TEST(SettingsFolder, TakeOverOfOwnIniFile) {
  TempDir appData;
  const std::wstring def = appData / L"Harvane6";
  const std::wstring v5 = appData / L"Harvane5";
  CreateDirectoryW(def.c_str(), nullptr);
  CreateDirectoryW(v5.c_str(), nullptr);
  TempDir own;

  // Default folder itself: never taken over, not even from version 5.
  ASSERT_TRUE(WriteBytes(v5 + L"\\QlBackup.ini", "v5"));
  EXPECT_TRUE(CopyFromDefaultDir(def + L"\\qlbackup.INI", def + L"\\"));
  EXPECT_FALSE(Exists(def + L"\\qlbackup.ini"));

  // Another folder, nothing in the default folder: version 5 fills in.
  EXPECT_FALSE(CopyFromDefaultDir(own / L"QlBackup.ini", def + L"\\"));
  CopyVersion5File(appData.Path(), own / L"QlBackup.ini");
  EXPECT_EQ(ReadBytes(own / L"QlBackup.ini"), "v5");

  // The default folder wins over version 5; an existing file is never overwritten.
  ASSERT_TRUE(WriteBytes(def + L"\\HvStarter.ini", "v6"));
  ASSERT_TRUE(WriteBytes(v5 + L"\\HvStarter.ini", "v5"));
  FILETIME old{};
  old.dwHighDateTime = 0x01D00000;
  HANDLE h = CreateFileW((def + L"\\HvStarter.ini").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, nullptr, nullptr, &old);
  CloseHandle(h);
  EXPECT_TRUE(CopyFromDefaultDir(own / L"HvStarter.ini", def));
  EXPECT_EQ(ReadBytes(own / L"HvStarter.ini"), "v6");
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW((own / L"HvStarter.ini").c_str(), GetFileExInfoStandard, &data);
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, old.dwHighDateTime) << "last-write time kept";
  ASSERT_TRUE(WriteBytes(def + L"\\HvStarter.ini", "newer"));
  EXPECT_FALSE(CopyFromDefaultDir(own / L"HvStarter.ini", def));
  CopyVersion5File(appData.Path(), own / L"HvStarter.ini");
  EXPECT_EQ(ReadBytes(own / L"HvStarter.ini"), "v6");

  // Without a folder: the real default folder below application data.
  EXPECT_TRUE(CopyFromDefaultDir(GetAppDataSubDir(L"Harvane6\\") + L"HvTestNone.ini"));
  EXPECT_FALSE(CopyFromDefaultDir(own / L"HvTestNone.ini"));

  // Nothing anywhere: nothing happens.
  EXPECT_FALSE(CopyFromDefaultDir(own / L"None.ini", def));
  CopyVersion5File(appData.Path(), own / L"None.ini");
  EXPECT_FALSE(Exists(own / L"None.ini"));

  // A copy that fails is reported, and the program goes on with default settings.
  std::vector<std::wstring> logged;
  Application().OnLog = [&](const std::wstring& m) { logged.push_back(m); };
  EXPECT_TRUE(CopyFromDefaultDir(own / L"no-folder\\HvStarter.ini", def));
  CopyVersion5File(appData.Path(), own / L"no-folder\\QlBackup.ini");
  Application().OnLog = nullptr;
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_NE(logged[0].find(def + L"\\HvStarter.ini"), std::wstring::npos) << logged[0];
  EXPECT_NE(logged[1].find(v5 + L"\\QlBackup.ini"), std::wstring::npos) << logged[1];
}

TEST(MainProgram, CurrentFolderProgramFolderRegistry) {
  TempDir cur, prog, other;
  ASSERT_TRUE(WriteBytes(other / L"Harvane.exe", "MZ"));
  RegTestKey key;
  CurrentDir cd(cur.Path());

  EXPECT_EQ(FindMainProgram(prog.Path(), HKEY_CURRENT_USER, kTestKey), L"") << "nothing anywhere";
  key.Set(L"Program", other / L"Harvane.exe");
  EXPECT_EQ(FindMainProgram(prog.Path(), HKEY_CURRENT_USER, kTestKey), other / L"Harvane.exe");
  key.Set(L"Program", other / L"Missing.exe");
  EXPECT_EQ(FindMainProgram(prog.Path(), HKEY_CURRENT_USER, kTestKey), L"") << "registry names a missing file";

  ASSERT_TRUE(WriteBytes(prog / L"Harvane.exe", "MZ"));
  EXPECT_EQ(FindMainProgram(prog.Path() + L"\\", HKEY_CURRENT_USER, kTestKey), prog / L"Harvane.exe");
  ASSERT_TRUE(WriteBytes(cur / L"Harvane.exe", "MZ"));
  EXPECT_EQ(FindMainProgram(prog.Path(), HKEY_CURRENT_USER, kTestKey), L"Harvane.exe") << "relative, as given";
}

TEST(MainProgram, RegistryOtherView) {
  // A value only in the 32-bit view is found by a 64-bit program (and the other way round).
  TempDir other;
  ASSERT_TRUE(WriteBytes(other / L"Harvane.exe", "MZ"));
  const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  RegTestKey key(otherView);
  key.Set(L"Program", other / L"Harvane.exe");
  TempDir cur;
  CurrentDir cd(cur.Path());
  EXPECT_EQ(FindMainProgram(cur.Path(), HKEY_CURRENT_USER, kTestKey), other / L"Harvane.exe");
}

TEST(MainProgramSwitches, Builders) {
  EXPECT_EQ(MakeOption(L"hide"), L" /hide");
  EXPECT_EQ(MakeOptionValue(L"prompt", L"wait"), L" /prompt:wait");
  EXPECT_EQ(MakeOptionValue(L"log", L"C:\\Logs"), L" /log:C:\\Logs");
  EXPECT_EQ(MakeOptionValue(L"dest", L"C:\\My Backup"), L" \"/dest:C:\\My Backup\"");
  EXPECT_EQ(MakeOptionValue(L"note", L"a \"b\""), L" \"/note:a \"\"b\"\"\"");
  EXPECT_EQ(MakeOptionInt(L"count", -12), L" /count:-12");

  EXPECT_EQ(MakeMainProgramCommand(L"C:\\Program Files\\Harvane.exe", {L"C:\\Jobs\\ql-a.rsj"},
                                   MakeOption(L"hide") + MakeOptionValue(L"prompt", L"wait") + MakeOption(L"restore")),
            L"\"C:\\Program Files\\Harvane.exe\" C:\\Jobs\\ql-a.rsj /hide /prompt:wait /restore");
  EXPECT_EQ(MakeMainProgramCommand(L"Harvane.exe", {L"a b.buj", L"c.buj"}, L""), L"Harvane.exe \"a b.buj\" c.buj");
  EXPECT_EQ(MainProgramResult(0x1234), 0x34);
}

TEST(Texts, ExitCodesOrdinalsCaptions) {
  const wchar_t* results[] = {L"Unexpected error!", L"Task not found!", L"Destination path not found!",
                              L"Source directory not found!", L"Errors during backup!",
                              L"The backup was aborted by the user or due to an error!",
                              L"Invalid task configuration!", L"Unexpected error!"};
  for (int code = 0; code <= 7; ++code) EXPECT_EQ(GetTaskResultText(code), results[code]) << code;
  EXPECT_EQ(GetTaskResultText(-1), L"Unexpected error!");

  EXPECT_EQ(GetOrdinalText(0), L"no ");
  EXPECT_EQ(GetOrdinalText(2), L"2nd ");
  EXPECT_EQ(GetOrdinalText(4), L"4th ");
  EXPECT_EQ(GetOrdinalText(12), L"12th ");

  EXPECT_EQ(MakeFormCaption(L"QlBackup", L"", L""), L"QlBackup");
  EXPECT_EQ(MakeFormCaption(L"QlBackup", L"Mail", L"C:\\x\\job.buj"), L"QlBackup - Mail [job.buj]");
  EXPECT_EQ(GetBitnessSuffix(true), L" - 64-bit");

  EXPECT_EQ(CompareDateStrings(L"", L"garbage"), 0);
  EXPECT_EQ(CompareDateStrings(L"2024-03-05", L"2024-03-06"), -1);
  EXPECT_EQ(CompareDateStrings(L"2024-03-05 10:00", L"2024-03-05 09:00"), 1);
}

TEST(LogFolder, Fallbacks) {
  EXPECT_EQ(GetLogFolderFrom(L"D:\\Logs", L"C:\\S", L"C:\\A"), L"D:\\Logs\\");
  EXPECT_EQ(GetLogFolderFrom(L"", L"C:\\S", L"C:\\A"), L"C:\\S\\");
  EXPECT_EQ(GetLogFolderFrom(L"", L"", L"C:\\A"), L"C:\\A");
}

namespace {

// Drives with labels and the answers of the boxes, for one test.
class FakeVolumes {
 public:
  FakeVolumes() : FSaved(VolumeSource()) {
    auto& s = VolumeSource();
    s.FindDriveByLabel = [this](std::wstring_view label) -> std::wstring {
      for (const auto& [drive, name] : Labels)
        if (!name.empty() && _wcsicmp(name.c_str(), std::wstring(label).c_str()) == 0) return drive + L"\\";
      return {};
    };
    s.ReadVolumeLabel = [this](std::wstring_view path, std::wstring& label) {
      auto it = Labels.find(std::wstring(path.substr(0, 2)));
      if (it == Labels.end()) return false;
      label = it->second;
      return true;
    };
    s.IsLocalOrRemovablePath = [](std::wstring_view path) { return path.size() > 1 && path[1] == L':'; };
    s.ConfirmRetry = [this](const std::wstring& text) {
      Prompts.push_back(text);
      if (Prompts.size() == RetryInserts) Labels[L"G:"] = L"Late";
      return Prompts.size() <= RetryInserts;
    };
    s.ShowError = [this](const std::wstring& text) { Errors.push_back(text); };
  }
  ~FakeVolumes() { VolumeSource() = FSaved; }

  std::map<std::wstring, std::wstring> Labels;
  std::vector<std::wstring> Prompts, Errors;
  size_t RetryInserts = 0;

 private:
  TVolumeSource FSaved;
};

}  // namespace

TEST(VolumePaths, Resolve) {
  FakeVolumes fv;
  fv.Labels = {{L"C:", L"System"}, {L"F:", L"backupdisk"}, {L"H:", L"a:b"}};
  std::wstring path = L":BackupDisk:\\Data", label;
  EXPECT_EQ(ResolveVolumePath(path, label, false), 1);
  EXPECT_EQ(path, L"F:\\Data");
  EXPECT_EQ(label, L"BackupDisk");

  path = L":a::b:\\x";
  EXPECT_EQ(ResolveVolumePath(path, label, false), 1);
  EXPECT_EQ(path, L"H:\\x");

  EXPECT_EQ(GetVolumePath(L":Nope:\\Data", false), L":Nope:\\Data");
  EXPECT_FALSE(IsVolumePath(L":Nope:\\Data"));
  EXPECT_TRUE(IsVolumePath(L"C:\\Data"));
  EXPECT_FALSE(IsVolumePath(L""));
  EXPECT_TRUE(fv.Prompts.empty());

  // With the prompt: Retry until the medium is there.
  fv.RetryInserts = 2;
  EXPECT_EQ(GetVolumePath(L":late:\\x", true), L"G:\\x");
  ASSERT_EQ(fv.Prompts.size(), 2u);
  EXPECT_EQ(fv.Prompts[0], L"Volume \"late\" not found!\r\nPlease insert medium!");
  path = L":Gone:\\x";
  EXPECT_EQ(ResolveVolumePath(path, label, true), 2) << "Cancel gives up";
  EXPECT_EQ(path, L":Gone:\\x");
}

TEST(VolumePaths, UnlabelledDriveIsRefused) {
  // A drive without a label must not turn into "::\rest", which would resolve to any unlabelled disk.
  FakeVolumes fv;
  fv.Labels = {{L"C:", L""}, {L"E:", L"Stick"}};
  EXPECT_EQ(MakeVolumePath(L"C:\\Mail"), L"");
  ASSERT_EQ(fv.Errors.size(), 1u);
  EXPECT_EQ(fv.Errors[0], L"No volume name available for C:");
  std::wstring path = L"::\\Mail", label;
  EXPECT_EQ(ResolveVolumePath(path, label, false), 2);
  EXPECT_FALSE(IsVolumePath(L"::\\Mail"));
}

TEST(VolumePaths, MakeBothWays) {
  FakeVolumes fv;
  fv.Labels = {{L"E:", L"Stick"}, {L"H:", L"a:b"}};
  EXPECT_EQ(MakeVolumePath(L"E:\\Mail"), L":Stick:\\Mail");
  EXPECT_EQ(MakeVolumePath(L":Stick:\\Mail"), L"E:\\Mail");
  EXPECT_EQ(MakeVolumePath(L"H:\\x"), L":a::b:\\x");
  EXPECT_EQ(MakeVolumePath(L":a::b:\\x"), L"H:\\x");
  EXPECT_EQ(MakeVolumePath(L"Q:\\x"), L"") << "label cannot be read";
  EXPECT_EQ(MakeVolumePath(L"\\\\srv\\share"), L"");
  EXPECT_EQ(fv.Errors.size(), 2u);
}

TEST(VolumePaths, RealDrivesUnderWine) {
  // C: exists in every prefix; a label that no drive carries is not found.
  std::wstring label;
  EXPECT_TRUE(SystemVolumeSource().IsLocalOrRemovablePath(L"C:\\x"));
  EXPECT_TRUE(SystemVolumeSource().ReadVolumeLabel(L"C:\\x", label));
  EXPECT_EQ(SystemVolumeSource().FindDriveByLabel(L"NoSuchLabel-4711"), L"");
  EXPECT_FALSE(SystemVolumeSource().ReadVolumeLabel(L"Q:\\x", label));
}

TEST(DriveFolders, PrefixAndFolder) {
  EXPECT_EQ(GetDrivePrefix(L"de-DE"), L"Lw?");
  EXPECT_EQ(GetDrivePrefix(L"DE"), L"Lw?");
  EXPECT_EQ(GetDrivePrefix(L"en"), L"Drv?");
  EXPECT_EQ(GetDrivePrefix(L""), L"Drv?");
  struct Case { const wchar_t *prefix, *path, *out; } cases[] = {
      {L"Drv?", L"c:\\x", L"DrvC\\"},
      {L"Drv?", L"\\\\srv\\share\\x", L"srv\\share\\x\\"},
      {L"Drv?", L"rel", L"rel\\"},
      {L"Drv", L"d:\\", L"DrvD\\"},
      {L"?-?", L"E:", L"E-E\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeDriveFolder(c.prefix, c.path), c.out) << c.path;
}

TEST(LogNames, Placeholders) {
  FakeVolumes fv;
  fv.Labels = {{L"E:", L"Stick"}};
  auto saved = PlaceholderSource();
  PlaceholderSource().Now = [] { return TDateTimeParts{2021, 1, 2, 3, 4, 5}; };
  PlaceholderSource().UserName = [] { return std::wstring(L"jdoe"); };
  PlaceholderSource().ComputerName = [] { return std::wstring(L"PC1"); };
  PlaceholderSource().EnvVar = [](std::wstring_view n) { return n == L"ROOT" ? std::wstring(L"R:\\b") : std::wstring(); };
  struct Case { const wchar_t *in, *dest, *out; } cases[] = {
      {L"%DATE%_%time%_%yaw%_%yam%_%year%", L"", L"2021-01-02_030405_2020-53_2021-01_2021"},
      {L"%username%@%computername%", L"", L"jdoe@PC1"},
      {L"%dest%\\x.log", L"E:\\Backup", L"E:\\Backup\\x.log"},
      {L"%drive%|%volume%", L"E:\\Backup", L"E:|Stick"},
      {L"%drive%|%volume%", L"\\\\srv\\share\\b", L"\\\\srv\\share|"},
      {L"%volume%", L":Stick:\\b", L"Stick"},
      {L"%volume%", L":Gone:\\b", L""},
      {L"%taskname%", L"", L"%taskname%"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandLogNamePlaceholders(c.in, c.dest), c.out) << c.in;

  EXPECT_EQ(ExpandVolumeEnvPlaceholders(L"%evar(ROOT)%\\%VOLUME%\\%d#7%", L"Stick", 1), L"R:\\b\\Stick\\2");
  EXPECT_EQ(ExpandVolumeEnvPlaceholders(L"%evar(UNSET_NAME)%\\x", L"", 1), L"%evar(UNSET_NAME)%\\x");
  EXPECT_EQ(ExpandVolumeEnvPlaceholders(L"%evar(ROOT%x%evar(ROOT)%%EVAR(ROOT)%", L"", 0), L"%evar(ROOT%xR:\\bR:\\b");
  PlaceholderSource() = saved;

  wchar_t temp[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
  EXPECT_EQ(ExpandVolumeEnvPlaceholders(L"%evar(TEMP)%", L"", 0), std::wstring(temp, n));
}

TEST(LogNames, TaskLogName) {
  TempDir tmp;
  FakeVolumes fv;
  fv.Labels = {{L"F:", L"Disk"}};
  auto saved = PlaceholderSource();
  PlaceholderSource().Now = [] { return TDateTimeParts{2024, 1, 10}; };
  auto job = [&](const wchar_t* name, const wchar_t* log, const wchar_t* dest) {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(tmp / name, true);
    if (log) ini.WriteString(L"Global", L"LogName", log);
    ini.WriteString(L"Global", L"Destination", dest);
    ini.WriteString(L"Global", L"BackupCount", L"9");
    ini.WriteString(L"Dir000", L"Volume", L"Vol");
    ini.UpdateFile();
    return tmp / name;
  };
  EXPECT_EQ(GetTaskLogName(job(L"Mail.buj", L"%taskname%.log", L"E:\\Backup"), L"C:\\Logs\\"), L"C:\\Logs\\Mail.log");
  EXPECT_EQ(GetTaskLogName(job(L"Mail.buj", L"%dest%\\%TaskName%.log", L"E:\\Backup"), L"C:\\Logs"),
            L"E:\\Backup\\Mail.log");
  EXPECT_EQ(GetTaskLogName(job(L"a.b.buj", L"%dest%\\%taskname%-%date%.log", L":disk:\\B\\%d#7%-%volume%"), L"C:\\L"),
            L"F:\\B\\3-Vol\\a.b-2024-01-10.log");
  EXPECT_EQ(GetTaskLogName(job(L"x.buj", L"\\\\srv\\logs\\x.log", L""), L"C:\\L"), L"\\\\srv\\logs\\x.log");
  EXPECT_EQ(GetTaskLogName(job(L"y.buj", L"\\logs\\y.log", L""), L"C:\\L"), L"\\logs\\y.log");
  EXPECT_EQ(GetTaskLogName(job(L"z.buj", nullptr, L"E:\\"), L"C:\\L"), L"");
  EXPECT_EQ(GetTaskLogName(tmp / L"missing.buj", L"C:\\L"), L"");
  EXPECT_EQ(GetTaskLogName(L"", L"C:\\L"), L"");
  PlaceholderSource() = saved;
}

TEST(SettingsFolder, LocateSettings) {
  TempDir appData, prog;
  const std::wstring def = appData / L"Harvane6\\";
  RegTestKey key;

  // No registry value: the default folder, created; nothing taken over there.
  CreateDirectoryW((appData / L"Harvane5").c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(appData / L"Harvane5\\QlBackup.ini", "v5"));
  TSettingsPaths p = LocateSettings(appData.Path(), prog.Path(), L"QlBackup", false, kTestKey);
  EXPECT_EQ(p.SettingsDir, def);
  EXPECT_EQ(p.OwnIniName, def + L"QlBackup.ini");
  EXPECT_EQ(p.MainIniName, def + L"Harvane.ini");
  EXPECT_FALSE(Exists(p.OwnIniName));

  // IniPath elsewhere: created, the own INI taken over from version 5.
  key.Set(L"IniPath", appData / L"Own\\Settings");
  p = LocateSettings(appData.Path(), prog.Path(), L"QlBackup", false, kTestKey);
  EXPECT_EQ(p.SettingsDir, appData / L"Own\\Settings\\");
  EXPECT_EQ(ReadBytes(p.OwnIniName), "v5");

  // An IniPath that cannot be made falls back to the default folder.
  key.Set(L"IniPath", L"Q:\\missing");
  EXPECT_EQ(LocateSettings(appData.Path(), prog.Path(), L"HvStarter", false, kTestKey).SettingsDir, def);

  // The program folder (USB use), and no application-data folder at all.
  ASSERT_TRUE(WriteBytes(def + L"HvWatchdog.ini", "v6"));
  p = LocateSettings(appData.Path(), prog.Path(), L"HvWatchdog", true, kTestKey);
  EXPECT_EQ(p.SettingsDir, prog.Path() + L"\\");
  EXPECT_EQ(ReadBytes(p.OwnIniName), "v6");
  EXPECT_EQ(GetDefaultSettingsDir(L"", prog.Path()), prog.Path() + L"\\");
}

TEST(Help, FileNameAndUserLine) {
  TempDir prog;
  EXPECT_EQ(GetHelpFileName(prog.Path()), prog / L"hve-help.chm");
  EXPECT_EQ(GetUserNameLine(L"jdoe"), L"User name: jdoe");
}

TEST(SettingsFolder, DefaultDirs) {
  const TDefaultDirs d = GetDefaultDirs();
  wchar_t env[MAX_PATH];
  GetEnvironmentVariableW(L"APPDATA", env, MAX_PATH);
  EXPECT_EQ(d.AppData, std::wstring(env) + L"\\Harvane6\\");
  EXPECT_EQ(d.Documents, AddPathDelimiter(GetDocumentsPath()));
  EXPECT_EQ(d.ProgramFiles.back(), L'\\');
  EXPECT_EQ(GetDefaultSettingsDir(L"", L"D:\\Prog"), L"D:\\Prog\\") << "no application-data folder";
}

TEST(Texts, ProgramTitleAndAbout) {
  InitVersionInfo(L"base_tests", L" - Vers. 1.0", L"notice", 3);
  const TFileVersionInfo& own = ProgramVersionInfo();
  ASSERT_FALSE(own.InternalName.empty());
  EXPECT_EQ(MakeProgramTitle(0), own.InternalName + GetBitnessSuffix(IsProcess64Bit()));
  EXPECT_EQ(MakeProgramTitle(3), own.InternalName + GetBitnessSuffix() + L" (" + GetProgramVersion(3, L"0.0.0.0") + L")");
  EXPECT_EQ(MakeFormCaption(L"Job", L"C:\\a\\x.buj"), own.InternalName + L" - Job [x.buj]");

  const std::wstring self = hvtest::BinaryDir() + L"\\bin\\base_tests.exe";
  const std::wstring about = GetAboutText(self, L"2026-12-10", 2);
  EXPECT_EQ(about.rfind(own.InternalName + GetBitnessSuffix() + L" (Version ", 0), 0u) << WideToUtf8(about);
  EXPECT_NE(about.find(L") - 2026-12-10\r\n"), std::wstring::npos);
  EXPECT_NE(about.find(L"\r\nPart of program package:\r\n" + own.InternalName), std::wstring::npos);
  const std::wstring plain = GetAboutText(hvtest::BinaryDir() + L"\\bin\\Harvane.exe", L"x", 2);
  EXPECT_EQ(plain.find(L"Part of program package:"), std::wstring::npos) << "no version resource";
}

TEST(LogFolder, FromSuiteSettings) {
  const std::wstring savedLog = SuiteSettings.Directories.LogDir, savedDir = SettingsDir;
  SuiteSettings.Directories.LogDir = L"D:\\Logs";
  SettingsDir = L"C:\\S\\";
  EXPECT_EQ(GetLogFolder(), L"D:\\Logs\\");
  SuiteSettings.Directories.LogDir.clear();
  EXPECT_EQ(GetLogFolder(), L"C:\\S\\");
  SettingsDir.clear();
  EXPECT_EQ(GetLogFolder(), GetAppDataPath());
  SuiteSettings.Directories.LogDir = savedLog;
  SettingsDir = savedDir;
}
