#pragma once
// Where the product lives (settings folder, main program, takeover of settings files), the switches
// and texts for the main program, log-file names, drive sub-folders and volume-label paths.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hv {

class TForm;

inline constexpr std::wstring_view HvRegKey = L"Software\\HarvaneSix";
inline constexpr std::wstring_view IniPathValue = L"IniPath";
inline constexpr std::wstring_view ProgramValue = L"Program";
inline constexpr std::wstring_view DefaultSettingsSubDir = L"Harvane6\\";
inline constexpr std::wstring_view Version5SettingsSubDir = L"Harvane5\\";
inline constexpr std::wstring_view MainProgramName = L"Harvane.exe";
inline constexpr std::wstring_view MainIniFile = L"Harvane.ini";

// --- locations ---

// The suite's default folders: "Harvane6\" below application data (the program folder when Windows
// knows none), the user's Documents folder and the program-files folder, each with a trailing "\".
// Nothing is created.
struct TDefaultDirs {
  std::wstring AppData, Documents, ProgramFiles;
};
TDefaultDirs GetDefaultDirs();

// IniPath of HKEY_CURRENT_USER\<keyName>, as it stands; defaultDir when the key or value is missing or empty.
std::wstring GetRegIniPath(std::wstring_view defaultDir, std::wstring_view keyName = HvRegKey);

// Reads a string value (read-only access); view: 0 default view, 1 the 64-bit view, 2 the 32-bit view. Empty when missing.
std::wstring ReadRegString(HKEY rootKey, std::wstring_view keyName, std::wstring_view valueName, int view = 0);

// The main program: "Harvane.exe" in the current folder (relative name), then in programDir, then the
// value Program of HKEY_LOCAL_MACHINE\<keyName> (in the other registry view when missing); kept only
// when that file exists. Empty when none is found.
// ... with the running program's folder.
std::wstring FindMainProgram();
std::wstring FindMainProgram(std::wstring_view programDir, HKEY rootKey = HKEY_LOCAL_MACHINE,
                             std::wstring_view keyName = HvRegKey);

// Takes over a missing settings file from the default settings folder (version 6); true when the file
// lies in the default folder itself or a copy was tried.
bool CopyFromDefaultDir(std::wstring_view fileName, std::wstring_view defaultDir);
bool CopyFromDefaultDir(std::wstring_view fileName);
// Takes over a missing settings file from "Harvane5\" below appDataDir.
void CopyVersion5File(std::wstring_view appDataDir, std::wstring_view fileName);

// Creates dir with its parents; on failure the default folder is taken. Both with trailing "\".
std::wstring MakeSettingsDir(std::wstring_view dir, std::wstring_view defaultDir);

// Default application-data folder of the suite: "Harvane6\" below appDataPath, programDir without one.
std::wstring GetDefaultSettingsDir(std::wstring_view appDataPath, std::wstring_view programDir);

// The settings folder of a program and its files, as every main form determines them at start-up.
struct TSettingsPaths {
  std::wstring SettingsDir;  // with trailing "\"
  std::wstring OwnIniName;   // <programName>.ini in SettingsDir
  std::wstring MainIniName;  // Harvane.ini in SettingsDir
};
// useProgramDir: the program folder serves (a program on a USB drive). A missing own INI file is taken
// over from the default folder or from "Harvane5\".
TSettingsPaths LocateSettings(std::wstring_view appDataPath, std::wstring_view programDir,
                              std::wstring_view programName, bool useProgramDir,
                              std::wstring_view keyName = HvRegKey);

// The main program's INI file in a settings folder.
std::wstring MainIniFileName(std::wstring_view settingsDir);

// The folder for log files, from SuiteSettings.Directories.LogDir, SettingsDir or the application data.
std::wstring GetLogFolder();
// Log folder: logDir with "\" when set, else settingsDir with "\" when set, else appDataPath.
std::wstring GetLogFolderFrom(std::wstring_view logDir, std::wstring_view settingsDir, std::wstring_view appDataPath);

// --- switches for the main program ---

std::wstring MakeOption(std::wstring_view name);
std::wstring MakeOptionValue(std::wstring_view name, std::wstring_view value);
std::wstring MakeOptionInt(std::wstring_view name, long long value);

// Command line of the main program: its name and each job file (quoted when they hold a blank), then
// the switches as the builders above made them.
std::wstring MakeMainProgramCommand(std::wstring_view program, const std::vector<std::wstring>& jobFiles,
                                    std::wstring_view switches);
// The result of a run of the main program: the low byte of its exit code.
inline int MainProgramResult(unsigned long exitCode) { return static_cast<int>(exitCode & 0xFF); }

// --- texts ---

// Text of an exit code of the main program, with "!" appended.
std::wstring GetTaskResultText(int code);
std::wstring GetOrdinalText(int count);
// -1, 0, 1 as a is earlier, equal or later than b; a text that does not read counts as 1899-12-30 00:00.
int CompareDateStrings(std::wstring_view a, std::wstring_view b);
std::wstring MakeFormCaption(std::wstring_view title, std::wstring_view text, std::wstring_view fileName);
std::wstring GetBitnessSuffix(bool is64Bit);
std::wstring GetBitnessSuffix();
// "User name: " and the name (CurrentUserName without argument).
std::wstring GetUserNameLine(std::wstring_view userName);
std::wstring GetUserNameLine();
// The program title (ProgramVersionInfo's InternalName), " - " text, " [" file name "]".
std::wstring MakeFormCaption(std::wstring_view text, std::wstring_view fileName);
// Title, bitness and, with parts > 0, " (Version x.y.z)".
std::wstring MakeProgramTitle(int parts);
// The about box text; names otherProgram's version when that file has a version resource.
std::wstring GetAboutText(std::wstring_view otherProgram, std::wstring_view text, int parts);
// value * dpi of the monitor that shows the form / 96.
int ScaleToMonitorDpi(int value, const TForm& form);

// --- help ---

// The translated help file name in programDir when that file exists, else "hve-help.chm" there.
std::wstring GetHelpFileName(std::wstring_view programDir);
// Opens the help file (with "::/" and the topic when one is given); an error box when that fails.
void ShowHelp(std::wstring_view topic);
// Closes every help window; called at program end.
void CloseAllHelp() noexcept;

// --- volume-label paths, drive folders, log names ---

// What the volume functions ask of the system and the user.
struct TVolumeSource {
  // Root ("E:\") of the first drive from A whose label equals label (ignoring case); empty when none.
  std::function<std::wstring(std::wstring_view label)> FindDriveByLabel;
  // Label of the volume that holds path; false when it cannot be read.
  std::function<bool(std::wstring_view path, std::wstring& label)> ReadVolumeLabel;
  std::function<bool(std::wstring_view path)> IsLocalOrRemovablePath;
  // Retry box: true to try again.
  std::function<bool(const std::wstring& text)> ConfirmRetry;
  // Error box at the mouse position.
  std::function<void(const std::wstring& text)> ShowError;
};
TVolumeSource& VolumeSource();
TVolumeSource SystemVolumeSource();

// 0 not a volume-label path (unchanged), 1 resolved (label returned), 2 empty path or no such volume.
int ResolveVolumePath(std::wstring& path, std::wstring& label, bool prompt);
std::wstring GetVolumePath(std::wstring_view path, bool prompt);
bool IsVolumePath(std::wstring_view path);
std::wstring MakeVolumePath(std::wstring_view path);

// "Lw?" for a German user interface (LanguageCode without argument), else "Drv?".
std::wstring GetDrivePrefix();
std::wstring GetDrivePrefix(std::wstring_view languageCode);
std::wstring MakeDriveFolder(std::wstring_view prefix, std::wstring_view path);

std::wstring ExpandLogNamePlaceholders(std::wstring_view text, std::wstring_view dest);
std::wstring ExpandVolumeEnvPlaceholders(std::wstring_view text, std::wstring_view volume, int count);

// Full name of the main program's log for a job file; a relative name is taken below logFolder
// (GetLogFolder without it). Empty when the job file is missing or names no log.
std::wstring GetTaskLogName(std::wstring_view jobFile);
std::wstring GetTaskLogName(std::wstring_view jobFile, std::wstring_view logFolder);
// The same for a job not written yet, from the "LogName" and "Destination" it will hold.
std::wstring ExpandTaskLogName(std::wstring_view jobFile, std::wstring_view logName, std::wstring_view dest,
                               std::wstring_view logFolder);

}  // namespace hv
