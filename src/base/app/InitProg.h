#pragma once
// Program start-up shared by the three programs: process-wide program folder, name and version
// information, the common start-up order, and the folders the main forms use right after start.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/os/WinApiUtils.h"

namespace hv {

// Folder of the running program with a trailing "\", and its file name without extension.
const std::wstring& ProgramDir();
const std::wstring& ProgramName();
// Full name of the running program's file.
std::wstring ProgramFile();
// The program's own version resource (InitVersionInfo fills it; Comments holds the version text).
const TFileVersionInfo& ProgramVersionInfo();

// Roaming application data without trailing "\" (empty when Windows knows none).
std::wstring GetAppDataPath();
// GetAppDataPath + "\" + subDir, or ProgramDir when there is no application-data folder.
std::wstring GetAppDataSubDir(std::wstring_view subDir);
std::wstring GetDocumentsPath();
std::wstring GetProgramFilesPath();

// "Version" and the version cut to its first parts dot-separated parts (0: the first part only).
std::wstring MakeVersionText(std::wstring_view version, int parts);
// MakeVersionText of the program's version (the file's version, or defaultVersion without one).
std::wstring GetProgramVersion(int parts, std::wstring_view defaultVersion);

struct TVersionCaption {
  std::wstring Caption;    // title (Version x.y.z)
  std::wstring BuildDate;  // short date of the program file
};
// Reads the program's version resource into ProgramVersionInfo; the fallbacks stand in when the
// program file has none.
TVersionCaption InitVersionInfo(std::wstring_view title, std::wstring_view fallbackVersion,
                                std::wstring_view fallbackNotice, int parts);

// [Config] "DarkMode" of "Harvane.cfg" (CfgFileName), false when missing.
bool CfgDarkMode();
// Registers "Windows10 Dark" as the dark style; switches to it with the option dark, else follows
// the Windows app theme when the .cfg asks for dark mode.
void InitProgramStyle(bool darkOption);

// What a program entry gives to the common start-up.
struct TProgramEntry {
  std::vector<std::wstring> ExtraDomains;  // besides the program's own, e.g. {"winui", "Units"}
  std::function<void()> CreateForms;       // Application().CreateForm<...>(), main form first
  bool ShowMainForm = true;                // false: the main form shows itself (CheckForce)
  std::function<bool()> CheckForce;        // true: the unattended run is done, end at once
  std::function<int()> ExitCode;           // the process's exit code after the loop (none: 0)
};
// Runs the start-up in the suite's common order, the message loop and the program end; the
// exit code.
int RunProgram(const TProgramEntry& entry);

}  // namespace hv
