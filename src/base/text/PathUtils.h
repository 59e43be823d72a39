#pragma once
// Text operations on Windows paths ("\" is the only delimiter, a drive is a letter and ":").
// Only DirectoryExists, FindExistingDir and ExpandPath look at the file system. No function raises.
#include <string>
#include <string_view>

namespace hv {

std::wstring AddPathDelimiter(std::wstring_view dir);
std::wstring AddPath(std::wstring_view dir, std::wstring_view name);
std::wstring BuildFileName(std::wstring_view dir, std::wstring_view name, std::wstring_view ext);
std::wstring GetParentDir(std::wstring_view path);
// The name after the last "\", "/" or ":", and the part up to and including it.
std::wstring ExtractFileName(std::wstring_view path);
std::wstring ExtractFilePath(std::wstring_view path);
// Case-insensitive comparison of two file names.
bool SameFileName(std::wstring_view a, std::wstring_view b);
bool IsSameDir(std::wstring_view dir1, std::wstring_view dir2);
bool IsSameDirNonEmpty(std::wstring_view dir1, std::wstring_view dir2);
bool IsSubDir(std::wstring_view dir, std::wstring_view path);
bool IsAbsolutePath(std::wstring_view path);
std::wstring MakeRelativePath(std::wstring_view base, std::wstring_view path);
std::wstring MakeAbsolutePath(std::wstring_view base, std::wstring_view path);
std::wstring ExpandPath(std::wstring_view path);

// Extensions are returned and given without their dot.
std::wstring GetExtension(std::wstring_view name);
std::wstring DeleteExtension(std::wstring_view name);
std::wstring ReplaceExtension(std::wstring_view name, std::wstring_view ext);
// mode 0: append unless name has ext already; 1: replace; other: always append.
std::wstring ApplyExtension(std::wstring_view name, std::wstring_view ext, int mode);

// Shortens a path for display by putting "..." in place of whole folders in its middle.
std::wstring AbbreviatePath(std::wstring_view path, int maxLen);
// A folder (a link to one only when its target opens).
bool DirectoryExists(std::wstring_view dir);
// The nearest existing folder of path (walking up to its drive), else defaultDir.
std::wstring FindExistingDir(std::wstring_view path, std::wstring_view defaultDir);
bool IsValidFileName(std::wstring_view name);
std::wstring ReplaceInvalidChars(std::wstring_view name, wchar_t c);
bool IsNotDotEntry(std::wstring_view name);
bool IsNotDotEntry(std::wstring_view name, std::wstring_view chars);

}  // namespace hv
