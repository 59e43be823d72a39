#include "base/app/HvUtils.h"

#include <oleauto.h>

#include <filesystem>

#include "base/settings/BuConsts.h"
#include "base/text/ExtSysUtils.h"
#include "base/os/FileUtils.h"
#include "winui/Handles.h"
#include "base/settings/IniFileUtils.h"
#include "base/app/InitProg.h"
#include "base/app/LangUtils.h"
#include "base/text/PathUtils.h"
#include "base/app/PlaceHolders.h"
#include "base/app/ShowMessageDlg.h"
#include "base/text/StringUtils.h"
#include "base/os/WinApiUtils.h"
#include "base/os/WinDevUtils.h"
#include "base/os/WinUtils.h"
#include "winui/Forms.h"
#include "winui/Translate.h"

namespace hv {

namespace {

bool FileExists(std::wstring_view name) {
  const DWORD attr = GetFileAttributesW(std::wstring(name).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

// A failed copy is reported; the program then starts with default settings.
void TakeOver(const std::wstring& source, std::wstring_view dest) {
  try {
    CopyFileTimeAttr(source, dest, static_cast<int32_t>(GetFileAttributesW(source.c_str())), 0x40000);
  } catch (const Exception& e) {
    Application().HandleException(
        SafeFormat(_(L"The settings could not be taken over from \"%s\" (%s); default settings are used."), source,
                   e.Message()));
  }
}

}  // namespace

// --- locations ---

TDefaultDirs GetDefaultDirs() {
  TDefaultDirs dirs;
  dirs.AppData = GetAppDataSubDir(DefaultSettingsSubDir);
  dirs.Documents = AddPathDelimiter(GetDocumentsPath());
  dirs.ProgramFiles = AddPathDelimiter(GetProgramFilesPath());
  return dirs;
}

std::wstring ReadRegString(HKEY rootKey, std::wstring_view keyName, std::wstring_view valueName, int view) {
  REGSAM access = KEY_READ;
  if (view == 1) access |= KEY_WOW64_64KEY;
  if (view == 2) access |= KEY_WOW64_32KEY;
  TRegKey key;
  if (RegOpenKeyExW(rootKey, std::wstring(keyName).c_str(), 0, access, key.Put()) != ERROR_SUCCESS) return {};
  HKEY raw = key.Get();
  const std::wstring value(valueName);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(raw, value.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return {};
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegQueryValueExW(raw, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
    return {};
  text.resize(wcsnlen(text.c_str(), size / sizeof(wchar_t)));
  return text;
}

std::wstring GetRegIniPath(std::wstring_view defaultDir, std::wstring_view keyName) {
  std::wstring dir = ReadRegString(HKEY_CURRENT_USER, keyName, IniPathValue);
  return dir.empty() ? std::wstring(defaultDir) : dir;
}

std::wstring FindMainProgram(std::wstring_view programDir, HKEY rootKey, std::wstring_view keyName) {
  if (FileExists(MainProgramName)) return std::wstring(MainProgramName);
  std::wstring name = AddPath(programDir, MainProgramName);
  if (!programDir.empty() && FileExists(name)) return name;
  name = ReadRegString(rootKey, keyName, ProgramValue);
  if (name.empty()) {
    // The other view: 32-bit from a 64-bit process, 64-bit from a 32-bit one.
    name = ReadRegString(rootKey, keyName, ProgramValue, sizeof(void*) == 8 ? 2 : 1);
  }
  return !name.empty() && FileExists(name) ? name : std::wstring();
}

bool CopyFromDefaultDir(std::wstring_view fileName, std::wstring_view defaultDir) {
  const std::wstring source = AddPath(defaultDir, ExtractFileName(fileName));
  if (SameFileName(source, fileName)) return true;
  if (!FileExists(fileName) && FileExists(source)) {
    TakeOver(source, fileName);
    return true;
  }
  return false;
}

bool CopyFromDefaultDir(std::wstring_view fileName) {
  return CopyFromDefaultDir(fileName, GetAppDataSubDir(DefaultSettingsSubDir));
}

void CopyVersion5File(std::wstring_view appDataDir, std::wstring_view fileName) {
  const std::wstring source = AddPath(AddPath(appDataDir, Version5SettingsSubDir), ExtractFileName(fileName));
  if (!FileExists(fileName) && FileExists(source)) TakeOver(source, fileName);
}

std::wstring MakeSettingsDir(std::wstring_view dir, std::wstring_view defaultDir) {
  std::error_code ec;
  const std::wstring d = AddPathDelimiter(dir);
  if (!dir.empty()) {
    std::filesystem::create_directories(std::filesystem::path(d), ec);
    const DWORD attr = GetFileAttributesW(d.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) return d;
  }
  std::filesystem::create_directories(std::filesystem::path(std::wstring(defaultDir)), ec);
  return AddPathDelimiter(defaultDir);
}

std::wstring MainIniFileName(std::wstring_view settingsDir) { return AddPath(settingsDir, MainIniFile); }

std::wstring GetDefaultSettingsDir(std::wstring_view appDataPath, std::wstring_view programDir) {
  return appDataPath.empty() ? AddPathDelimiter(programDir) : AddPath(appDataPath, DefaultSettingsSubDir);
}

TSettingsPaths LocateSettings(std::wstring_view appDataPath, std::wstring_view programDir,
                              std::wstring_view programName, bool useProgramDir, std::wstring_view keyName) {
  const std::wstring defaultDir = GetDefaultSettingsDir(appDataPath, programDir);
  const std::wstring dir = useProgramDir ? std::wstring(programDir) : GetRegIniPath(defaultDir, keyName);
  TSettingsPaths paths;
  paths.SettingsDir = MakeSettingsDir(dir, defaultDir);
  paths.OwnIniName = paths.SettingsDir + std::wstring(programName) + L".ini";
  if (!CopyFromDefaultDir(paths.OwnIniName, defaultDir)) CopyVersion5File(appDataPath, paths.OwnIniName);
  paths.MainIniName = MainIniFileName(paths.SettingsDir);
  return paths;
}

std::wstring FindMainProgram() { return FindMainProgram(ProgramDir()); }

std::wstring GetLogFolder() {
  return GetLogFolderFrom(SuiteSettings.Directories.LogDir, SettingsDir, GetAppDataPath());
}

std::wstring GetLogFolderFrom(std::wstring_view logDir, std::wstring_view settingsDir, std::wstring_view appDataPath) {
  if (!logDir.empty()) return AddPathDelimiter(logDir);
  if (!settingsDir.empty()) return AddPathDelimiter(settingsDir);
  return std::wstring(appDataPath);
}

// --- switches ---

std::wstring MakeOption(std::wstring_view name) { return L" /" + std::wstring(name); }

std::wstring MakeOptionValue(std::wstring_view name, std::wstring_view value) {
  const std::wstring option = L"/" + std::wstring(name) + L":" + std::wstring(value);
  return L" " + (option.find(L' ') == std::wstring::npos ? option : QuoteIfNeeded(option, {}));
}

std::wstring MakeOptionInt(std::wstring_view name, long long value) {
  return MakeOptionValue(name, std::to_wstring(value));
}

std::wstring MakeMainProgramCommand(std::wstring_view program, const std::vector<std::wstring>& jobFiles,
                                    std::wstring_view switches) {
  std::wstring cmd = QuoteIfNeeded(program, L" ");
  for (const auto& job : jobFiles) cmd += L" " + QuoteIfNeeded(job, L" ");
  return cmd + std::wstring(switches);
}

// --- texts ---

std::wstring GetTaskResultText(int code) {
  std::wstring_view text;
  switch (code) {
    case 1: text = L"Task not found"; break;
    case 2: text = L"Destination path not found"; break;
    case 3: text = L"Source directory not found"; break;
    case 4: text = L"Errors during backup"; break;
    case 5: text = L"The backup was aborted by the user or due to an error"; break;
    case 6: text = L"Invalid task configuration"; break;
    default: text = L"Unexpected error"; break;
  }
  return _(text) + L"!";
}

std::wstring GetOrdinalText(int count) {
  switch (count) {
    case 0: return _(L"no ");
    case 1: return _(L"1st ");
    case 2: return _(L"2nd ");
    case 3: return _(L"3rd ");
    default: return std::to_wstring(count) + _(L"th ");
  }
}

int CompareDateStrings(std::wstring_view a, std::wstring_view b) {
  auto read = [](std::wstring_view s) {
    DATE d = 0;
    std::wstring text(s);
    if (text.empty() || FAILED(VarDateFromStr(text.data(), LOCALE_USER_DEFAULT, 0, &d))) d = 0;
    return d;
  };
  const DATE da = read(a), db = read(b);
  return da < db ? -1 : da > db ? 1 : 0;
}

std::wstring MakeFormCaption(std::wstring_view title, std::wstring_view text, std::wstring_view fileName) {
  std::wstring caption(title);
  if (!text.empty()) caption += L" - " + std::wstring(text);
  if (!fileName.empty()) caption += L" [" + ExtractFileName(fileName) + L"]";
  return caption;
}

std::wstring GetBitnessSuffix(bool is64Bit) { return is64Bit ? L" - 64-bit" : L" - 32-bit"; }

std::wstring GetBitnessSuffix() { return GetBitnessSuffix(Is64BitProcess()); }

std::wstring GetUserNameLine(std::wstring_view userName) { return _(L"User name: ") + std::wstring(userName); }
std::wstring GetUserNameLine() { return GetUserNameLine(CurrentUserName); }

std::wstring MakeFormCaption(std::wstring_view text, std::wstring_view fileName) {
  return MakeFormCaption(ProgramVersionInfo().InternalName, text, fileName);
}

std::wstring MakeProgramTitle(int parts) {
  std::wstring title = ProgramVersionInfo().InternalName + GetBitnessSuffix();
  if (parts > 0) title += L" (" + GetProgramVersion(parts, L"0.0.0.0") + L")";
  return title;
}

std::wstring GetAboutText(std::wstring_view otherProgram, std::wstring_view text, int parts) {
  const TFileVersionInfo& own = ProgramVersionInfo();
  std::wstring about = own.InternalName + GetBitnessSuffix() + L" (" + _(L"Version") + L" " + own.Version + L") - " +
                       std::wstring(text) + L"\r\n" + own.Copyright;
  TFileVersionInfo other;
  if (!otherProgram.empty() && ReadFileVersionInfo(otherProgram, other)) {
    about += L"\r\n" + _(L"Part of program package:") + L"\r\n" + other.InternalName + GetBitnessSuffix();
    if (parts > 0) about += L" (" + MakeVersionText(other.Version, parts) + L")";
  }
  return about;
}

int ScaleToMonitorDpi(int value, const TForm& form) { return ScaleToMonitor(value, form); }

// --- help ---

namespace {

constexpr wchar_t kHelpFile[] = L"hve-help.chm";
constexpr UINT kHelpDisplayTopic = 0;  // HH_DISPLAY_TOPIC
constexpr UINT kHelpCloseAll = 0x12;   // HH_CLOSE_ALL
using THtmlHelpW = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// hhctrl.ocx, loaded on first use and kept until the process ends.
THtmlHelpW HtmlHelpFunction(bool load) {
  static HMODULE module = nullptr;
  if (!module && load) module = LoadLibraryW(L"hhctrl.ocx");
  return module ? reinterpret_cast<THtmlHelpW>(reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")))
                : nullptr;
}

}  // namespace

std::wstring GetHelpFileName(std::wstring_view programDir) {
  const std::wstring translated = AddPath(programDir, _(kHelpFile));
  return FileExists(translated) ? translated : AddPath(programDir, kHelpFile);
}

void ShowHelp(std::wstring_view topic) {
  const std::wstring file = GetHelpFileName(ProgramDir());
  const std::wstring target = topic.empty() ? file : file + L"::/" + std::wstring(topic);
  const THtmlHelpW help = FileExists(file) ? HtmlHelpFunction(true) : nullptr;
  if (!help || !help(GetDesktopWindow(), target.c_str(), kHelpDisplayTopic, 0))
    ErrorDialog(_(L"Help is not available on this system!"));
}

void CloseAllHelp() noexcept {
  if (const THtmlHelpW help = HtmlHelpFunction(false)) help(nullptr, nullptr, kHelpCloseAll, 0);
}

namespace {
// Help windows opened by the program close with it.
struct THelpCloser {
  ~THelpCloser() { CloseAllHelp(); }
} helpCloser;
}  // namespace

// --- volume-label paths ---

TVolumeSource& VolumeSource() {
  static TVolumeSource source = SystemVolumeSource();
  return source;
}

int ResolveVolumePath(std::wstring& path, std::wstring& label, bool prompt) {
  if (path.empty()) return 2;
  if (path[0] != L':') return 0;
  std::wstring rest = path;
  const std::wstring name = ReadNextQuotedItem(rest, L'\\', L':');
  // A volume without a name cannot be told from any other one.
  if (name.empty()) return 2;
  const TVolumeSource& vs = VolumeSource();
  for (;;) {
    const std::wstring root = vs.FindDriveByLabel ? vs.FindDriveByLabel(name) : std::wstring();
    if (!root.empty()) {
      path = AddPathDelimiter(root) + rest;
      label = name;
      return 1;
    }
    if (!prompt || !vs.ConfirmRetry ||
        !vs.ConfirmRetry(SafeFormat(_(L"Volume %s not found!\r\nPlease insert medium!"), L"\"" + name + L"\"")))
      return 2;
  }
}

std::wstring GetVolumePath(std::wstring_view path, bool prompt) {
  std::wstring p(path), label;
  return ResolveVolumePath(p, label, prompt) == 1 ? p : std::wstring(path);
}

bool IsVolumePath(std::wstring_view path) {
  std::wstring p(path), label;
  return ResolveVolumePath(p, label, false) != 2;
}

std::wstring MakeVolumePath(std::wstring_view path) {
  std::wstring p(path), label;
  switch (ResolveVolumePath(p, label, true)) {
    case 1: return p;
    case 2: return {};
    default: break;
  }
  const TVolumeSource& vs = VolumeSource();
  const bool hasDrive = p.size() >= 2 && p[1] == L':';
  if (hasDrive && vs.IsLocalOrRemovablePath && vs.IsLocalOrRemovablePath(p) && vs.ReadVolumeLabel &&
      vs.ReadVolumeLabel(p, label) && !label.empty()) {
    std::wstring quoted;
    for (wchar_t c : label) quoted += c == L':' ? L"::" : std::wstring(1, c);
    return L":" + quoted + L":" + p.substr(2);
  }
  if (vs.ShowError) vs.ShowError(_(L"No volume name available for ") + p.substr(0, hasDrive ? 2 : p.size()));
  return {};
}

TVolumeSource SystemVolumeSource() {
  TVolumeSource s;
  s.FindDriveByLabel = [](std::wstring_view label) { return FindDriveByLabel(label, 0); };
  s.ReadVolumeLabel = [](std::wstring_view path, std::wstring& label) { return ReadVolumeLabel(path, label); };
  s.IsLocalOrRemovablePath = [](std::wstring_view path) { return IsLocalOrRemovablePath(path); };
  s.ConfirmRetry = [](const std::wstring& text) { return ConfirmRetryDialog(text); };
  s.ShowError = [](const std::wstring& text) {
    POINT cursor{};
    GetCursorPos(&cursor);
    ErrorDialogAt(TPoint{cursor.x, cursor.y}, text, TDefaultMonitor::dmActiveForm);
  };
  return s;
}

// --- drive folders and log names ---

std::wstring GetDrivePrefix() { return GetDrivePrefix(LanguageCode()); }

std::wstring GetDrivePrefix(std::wstring_view languageCode) {
  const bool german = languageCode.size() >= 2 && (languageCode[0] | 0x20) == L'd' && (languageCode[1] | 0x20) == L'e';
  return german ? L"Lw?" : L"Drv?";
}

std::wstring MakeDriveFolder(std::wstring_view prefix, std::wstring_view path) {
  std::wstring folder;
  if (path.starts_with(L"\\\\")) {
    folder = path.substr(2);
  } else if (path.find(L':') == std::wstring_view::npos) {
    folder = path;
  } else {
    wchar_t letter = path[0];
    if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
    folder = prefix;
    if (folder.find(L'?') == std::wstring::npos) folder += letter;
    else for (wchar_t& c : folder) if (c == L'?') c = letter;
  }
  return AddPathDelimiter(folder);
}

namespace {

std::wstring DrivePart(std::wstring_view dest) {
  if (dest.starts_with(L"\\\\")) {
    // \\server\share
    size_t p = dest.find(L'\\', 2);
    if (p != std::wstring_view::npos) p = dest.find(L'\\', p + 1);
    return std::wstring(dest.substr(0, p));
  }
  if (dest.size() >= 2 && dest[1] == L':') return std::wstring(dest.substr(0, 2));
  return {};
}

std::wstring VolumeOf(std::wstring_view dest) {
  std::wstring p(dest), label;
  const int r = ResolveVolumePath(p, label, false);
  if (r == 1) return label;
  if (r == 2) return {};
  const TVolumeSource& vs = VolumeSource();
  if (p.size() >= 2 && p[1] == L':' && vs.IsLocalOrRemovablePath && vs.IsLocalOrRemovablePath(p) &&
      vs.ReadVolumeLabel && vs.ReadVolumeLabel(p, label))
    return label;
  return {};
}

}  // namespace

std::wstring ExpandLogNamePlaceholders(std::wstring_view text, std::wstring_view dest) {
  std::wstring s(text);
  const auto& src = PlaceholderSource();
  const TDateTimeParts t = src.Now ? src.Now() : TDateTimeParts{};
  auto two = [](int v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); };
  for (std::wstring_view token : LogNamePlaceholders) {
    if (TextPos(token, s) == std::wstring::npos) continue;
    std::wstring value;
    if (token == L"%date%") value = std::to_wstring(t.Year) + L"-" + two(t.Month) + L"-" + two(t.Day);
    else if (token == L"%time%") value = two(t.Hour) + two(t.Minute) + two(t.Second);
    else if (token == L"%yaw%") value = YearAndWeek(t);
    else if (token == L"%yam%") value = std::to_wstring(t.Year) + L"-" + two(t.Month);
    else if (token == L"%year%") value = std::to_wstring(t.Year);
    else if (token == L"%username%") value = src.UserName ? src.UserName() : L"";
    else if (token == L"%computername%") value = src.ComputerName ? src.ComputerName() : L"";
    else if (token == L"%dest%") value = dest;
    else if (token == L"%drive%") value = DrivePart(dest);
    else value = VolumeOf(dest);
    s = ReplaceTextAll(s, token, value);
  }
  return s;
}

std::wstring ExpandVolumeEnvPlaceholders(std::wstring_view text, std::wstring_view volume, int count) {
  std::wstring s = ReplaceTextAll(text, L"%volume%", volume);
  const auto& src = PlaceholderSource();
  size_t pos = 0;
  for (;;) {
    const size_t open = s.find(L'%', pos);
    if (open == std::wstring::npos) break;
    const size_t close = s.find(L'%', open + 1);
    if (close == std::wstring::npos) break;
    pos = close + 1;
    const std::wstring item = s.substr(open, close - open + 1);
    if (TextPos(L"%evar", item) != 0) continue;
    const size_t lp = item.find(L'(');
    const size_t rp = lp == std::wstring::npos ? lp : item.find(L')', lp);
    if (rp == std::wstring::npos) continue;
    const std::wstring value = src.EnvVar ? src.EnvVar(item.substr(lp + 1, rp - lp - 1)) : std::wstring();
    if (value.empty()) continue;
    s = s.substr(0, open) + ReplaceTextAll(s.substr(open), item, value);
    pos = open + value.size();
  }
  return ExpandDatePlaceholdersFS(s, LocaleDateNames(), count);
}

std::wstring GetTaskLogName(std::wstring_view jobFile) { return GetTaskLogName(jobFile, GetLogFolder()); }

std::wstring GetTaskLogName(std::wstring_view jobFile, std::wstring_view logFolder) {
  if (jobFile.empty() || !FileExists(jobFile)) return {};
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(jobFile);
  const std::wstring log = ini.ReadString(L"Global", L"LogName", L"");
  if (log.empty()) return {};
  std::wstring dest = ini.ReadString(L"Global", L"Destination", L"");
  if (TextPos(L"%dest%", log) == 0 && IsVolumePath(dest)) {
    const int count = static_cast<int>(ini.ReadInt64(L"Global", L"BackupCount", 1));
    const std::wstring volume = ini.ReadString(L"Dir000", L"Volume", L"");
    dest = ExpandVolumeEnvPlaceholders(GetVolumePath(dest, false), volume, count);
  }
  return ExpandTaskLogName(jobFile, log, dest, logFolder);
}

std::wstring ExpandTaskLogName(std::wstring_view jobFile, std::wstring_view logName, std::wstring_view dest,
                               std::wstring_view logFolder) {
  std::wstring log(logName);
  if (TextPos(L"%taskname%", log) != std::wstring::npos)
    log = ReplaceTextAll(log, L"%taskname%", DeleteExtension(ExtractFileName(jobFile)));
  const std::wstring name = ExpandLogNamePlaceholders(log, dest);
  if (IsAbsolutePath(name)) return name;
  return AddPath(logFolder, name);
}

}  // namespace hv
