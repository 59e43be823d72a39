#include "base/text/PathUtils.h"

#include <windows.h>

#include <vector>

namespace hv {

namespace {

constexpr wchar_t kDelim = L'\\';

bool StartsWithIgnoreCase(std::wstring_view s, std::wstring_view prefix) {
  return s.size() >= prefix.size() && SameFileName(s.substr(0, prefix.size()), prefix);
}

// Position of the dot that starts the extension, npos when there is none.
size_t ExtensionDot(std::wstring_view name) {
  size_t dot = name.rfind(L'.');
  if (dot == std::wstring_view::npos) return dot;
  size_t delim = name.rfind(kDelim);
  if (delim != std::wstring_view::npos && delim > dot) return std::wstring_view::npos;
  return dot;
}

}  // namespace

bool DirectoryExists(std::wstring_view dir) {
  const std::wstring path(dir);
  DWORD attr = GetFileAttributesW(path.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!(attr & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  // A link: it exists when its target can be opened.
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::wstring AddPathDelimiter(std::wstring_view dir) {
  std::wstring r(dir);
  if (!r.empty() && r.back() != kDelim) r += kDelim;
  return r;
}

std::wstring AddPath(std::wstring_view dir, std::wstring_view name) {
  if (name.empty()) return std::wstring(dir);
  if (dir.empty()) return std::wstring(name);
  return AddPathDelimiter(dir) + std::wstring(name);
}

std::wstring BuildFileName(std::wstring_view dir, std::wstring_view name, std::wstring_view ext) {
  if (!ext.empty() && ext[0] == L'.') ext.remove_prefix(1);
  std::wstring n(name);
  if (n.find(L'.') == std::wstring::npos && !ext.empty()) n += L"." + std::wstring(ext);
  if (n.find(L':') != std::wstring::npos || (!n.empty() && n[0] == kDelim) || dir.empty()) return n;
  return AddPathDelimiter(dir) + n;
}

std::wstring GetParentDir(std::wstring_view path) {
  if (!path.empty() && path.back() == kDelim) path.remove_suffix(1);
  size_t p = path.rfind(kDelim);
  if (p == std::wstring_view::npos || p == 0) return std::wstring(path);
  return std::wstring(path.substr(0, p));
}

bool SameFileName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool IsSameDir(std::wstring_view dir1, std::wstring_view dir2) {
  return SameFileName(AddPathDelimiter(dir1), AddPathDelimiter(dir2));
}

bool IsSameDirNonEmpty(std::wstring_view dir1, std::wstring_view dir2) { return !dir1.empty() && IsSameDir(dir1, dir2); }

bool IsSubDir(std::wstring_view dir, std::wstring_view path) {
  if (dir.empty()) return false;
  return StartsWithIgnoreCase(AddPathDelimiter(path), AddPathDelimiter(dir));
}

bool IsAbsolutePath(std::wstring_view path) {
  return !path.empty() && (path[0] == kDelim || path.find(L':') != std::wstring_view::npos);
}

std::wstring MakeRelativePath(std::wstring_view base, std::wstring_view path) {
  if (IsSameDir(base, path)) return {};
  if (IsSubDir(base, path)) return std::wstring(path.substr(AddPathDelimiter(base).size()));
  return std::wstring(path);
}

std::wstring MakeAbsolutePath(std::wstring_view base, std::wstring_view path) {
  if (IsAbsolutePath(path)) return std::wstring(path);
  return AddPathDelimiter(base) + std::wstring(path);
}

std::wstring ExpandPath(std::wstring_view path) {
  if (IsAbsolutePath(path)) return std::wstring(path);
  std::wstring p(path);
  DWORD n = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
  if (n == 0) return p;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(p.c_str(), n, full.data(), nullptr);
  if (n == 0 || n >= full.size()) return p;
  full.resize(n);
  return full;
}

std::wstring GetExtension(std::wstring_view name) {
  size_t dot = ExtensionDot(name);
  return dot == std::wstring_view::npos ? std::wstring() : std::wstring(name.substr(dot + 1));
}

std::wstring DeleteExtension(std::wstring_view name) {
  size_t dot = ExtensionDot(name);
  return std::wstring(dot == std::wstring_view::npos ? name : name.substr(0, dot));
}

std::wstring ReplaceExtension(std::wstring_view name, std::wstring_view ext) {
  if (name.empty()) return {};
  std::wstring r = DeleteExtension(name);
  if (!ext.empty() && ext[0] == L'.') ext.remove_prefix(1);
  if (ext.empty()) return r;
  return r + L"." + std::wstring(ext);
}

std::wstring ApplyExtension(std::wstring_view name, std::wstring_view ext, int mode) {
  if (name.empty() || ext.empty()) return std::wstring(name);
  if (mode == 1) return ReplaceExtension(name, ext);
  if (mode == 0 && SameFileName(GetExtension(name), ext) && ExtensionDot(name) != std::wstring_view::npos)
    return std::wstring(name);
  std::wstring r(name);
  if (r.back() == L'.') r.pop_back();
  if (ext[0] != L'.') r += L'.';
  return r + std::wstring(ext);
}

std::wstring AbbreviatePath(std::wstring_view path, int maxLen) {
  const size_t len = path.size();
  if (maxLen <= 3 || len < static_cast<size_t>(maxLen)) return std::wstring(path);
  auto tail = [&] { return L"..." + std::wstring(path.substr(len - (maxLen - 2))); };

  size_t e = len >= 2 ? path.rfind(kDelim, len - 2) : std::wstring_view::npos;
  if (e == std::wstring_view::npos) return tail();
  size_t d = e;
  while (d > 0) {
    d = path.rfind(kDelim, d - 1);
    if (d == std::wstring_view::npos) break;
    if (len - (e - d - 1) + 3 <= static_cast<size_t>(maxLen))
      return std::wstring(path.substr(0, d + 1)) + L"..." + std::wstring(path.substr(e));
  }
  return tail();
}

std::wstring FindExistingDir(std::wstring_view path, std::wstring_view defaultDir) {
  if (path.empty() || !IsAbsolutePath(path)) return std::wstring(defaultDir);
  std::wstring p(path);
  if (DirectoryExists(p)) return p;
  if (p.size() >= 2 && p[0] == kDelim && p[1] == kDelim) return std::wstring(defaultDir);

  size_t colon = p.find(L':');
  std::wstring drive = colon == std::wstring::npos ? std::wstring() : p.substr(0, colon + 1);
  for (;;) {
    std::wstring parent = GetParentDir(p);
    if (parent == p || parent.empty()) return std::wstring(defaultDir);
    p = parent;
    if (!drive.empty() && SameFileName(p, drive)) {
      // The drive itself: "C:" means the current folder of C:, so look at its root.
      return DirectoryExists(p + L"\\") ? p : std::wstring(defaultDir);
    }
    if (DirectoryExists(p)) return p;
  }
}

bool IsValidFileName(std::wstring_view name) {
  for (wchar_t c : name) {
    if (c < 32) return false;
    if (c < 256 && std::wstring_view(L"\"*/:<>?\\|").find(c) != std::wstring_view::npos) return false;
  }
  return true;
}

std::wstring ReplaceInvalidChars(std::wstring_view name, wchar_t c) {
  std::wstring r(name);
  for (auto& ch : r)
    if (!IsValidFileName(std::wstring_view(&ch, 1))) ch = c;
  return r;
}

bool IsNotDotEntry(std::wstring_view name) { return name != L"." && name != L".."; }

bool IsNotDotEntry(std::wstring_view name, std::wstring_view chars) {
  return IsNotDotEntry(name) && (name.empty() || chars.find(name[0]) == std::wstring_view::npos);
}

std::wstring ExtractFileName(std::wstring_view path) {
  const size_t p = path.find_last_of(L"\\/:");
  return std::wstring(p == std::wstring_view::npos ? path : path.substr(p + 1));
}

std::wstring ExtractFilePath(std::wstring_view path) {
  const size_t p = path.find_last_of(L"\\/:");
  return p == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, p + 1));
}

}  // namespace hv
