#pragma once
// The Windows shell: special and known folders, shell links, shell file operations and the
// notice that everything may have changed. Results and HRESULT codes; nothing raises.
#include <windows.h>

#include <string>
#include <string_view>

namespace hv {

// Link data flag: run the target as administrator.
constexpr DWORD kLinkRunAsUser = 0x2000;

// Folder paths without trailing delimiter; empty on failure.
std::wstring GetSpecialFolder(int csidl);
// Empty before Windows 6.
std::wstring GetKnownFolder(const GUID& folderId);
std::wstring GetDocumentsFolder();
std::wstring GetAppDataFolder();
// 0 (and above 5): program files, 1: common files, 2: program files (x86), 3: common files (x86),
// 4: 64-bit program files, 5: 64-bit common files; the environment first where one names it.
std::wstring GetProgramFilesDir(int kind);

void NotifyShellAllChanged();

HRESULT CreateShellLinkEx(std::wstring_view linkFile, std::wstring_view target, std::wstring_view iconFile,
                          std::wstring_view arguments, std::wstring_view workDir, std::wstring_view description,
                          int iconIndex, bool runAs);
// The icon is the target's first.
HRESULT CreateShellLink(std::wstring_view linkFile, std::wstring_view target, std::wstring_view arguments,
                        std::wstring_view workDir, std::wstring_view description, bool runAs);
// A missing link file gives the failure of its look-up (0x80070002 and all outputs empty); a
// failed load or flag query is the result.
HRESULT ReadShellLinkEx(std::wstring_view linkFile, std::wstring& target, std::wstring& arguments,
                        std::wstring& workDir, std::wstring& description, bool& runAs);
// False also for a missing link file.
bool ReadShellLink(std::wstring_view linkFile, std::wstring& target, std::wstring& arguments, std::wstring& workDir,
                   std::wstring& description);

// Item-based operation (Windows 6 and later): 1 move, 2 copy, 3 delete; dest names the new item.
HRESULT ShellItemOperation(HWND owner, std::wstring_view source, std::wstring_view dest, int operation, DWORD flags);
HRESULT ShellMoveItem(HWND owner, std::wstring_view source, std::wstring_view dest, bool silent);
HRESULT ShellDeleteFolder(HWND owner, std::wstring_view folder, bool allowUndo, bool silent);

// SHFileOperationW on one source (and one destination unless dest is empty); a title shows
// simple progress.
int ShellFileOperation(HWND owner, std::wstring_view source, std::wstring_view dest, std::wstring_view title,
                       UINT func, WORD flags);
int ShellMoveFiles(HWND owner, std::wstring_view source, std::wstring_view dest, std::wstring_view title, bool silent);
int ShellDeleteFiles(HWND owner, std::wstring_view source, std::wstring_view title, bool allowUndo, bool silent);

}  // namespace hv
