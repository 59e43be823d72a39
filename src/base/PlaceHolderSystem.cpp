// The system's side of the placeholders: clock, names, folders and the locale's day and month names.
#include <windows.h>
#include <shlobj.h>

#include "base/PlaceHolders.h"
#include "base/WinApiUtils.h"

namespace hv {

namespace {

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) result = path;
  CoTaskMemFree(path);
  return result;
}

std::wstring EnvValue(std::wstring_view name) {
  const std::wstring n(name);
  wchar_t buf[32768];
  const DWORD len = GetEnvironmentVariableW(n.c_str(), buf, static_cast<DWORD>(std::size(buf)));
  return (len > 0 && len < std::size(buf)) ? std::wstring(buf, len) : std::wstring();
}

std::wstring EnvOrKnown(std::wstring_view name, REFKNOWNFOLDERID id) {
  std::wstring v = EnvValue(name);
  return v.empty() ? KnownFolder(id) : v;
}

std::wstring ProgramFolder() {
  wchar_t buf[MAX_PATH * 4];
  const DWORD len = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  std::wstring name(buf, len < std::size(buf) ? len : 0);
  const size_t p = name.rfind(L'\\');
  return p == std::wstring::npos ? std::wstring() : name.substr(0, p);
}

std::wstring SystemFolder(TPhFolder kind) {
  switch (kind) {
    case TPhFolder::pfDocuments: return KnownFolder(FOLDERID_Documents);
    case TPhFolder::pfAppData: return KnownFolder(FOLDERID_RoamingAppData);
    case TPhFolder::pfLocalAppData: return KnownFolder(FOLDERID_LocalAppData);
    case TPhFolder::pfProfile: return KnownFolder(FOLDERID_Profile);
    case TPhFolder::pfDesktop: return KnownFolder(FOLDERID_Desktop);
    case TPhFolder::pfFavorites: return KnownFolder(FOLDERID_Favorites);
    case TPhFolder::pfProgramFiles: return KnownFolder(FOLDERID_ProgramFiles);
    case TPhFolder::pfProgramFilesW6432: return EnvOrKnown(L"ProgramW6432", FOLDERID_ProgramFiles);
    case TPhFolder::pfCommonProgramFilesW6432: return EnvOrKnown(L"CommonProgramW6432", FOLDERID_ProgramFilesCommon);
    case TPhFolder::pfProgramFilesX86: return EnvOrKnown(L"ProgramFiles(x86)", FOLDERID_ProgramFilesX86);
    case TPhFolder::pfCommonProgramFilesX86: return EnvOrKnown(L"CommonProgramFiles(x86)", FOLDERID_ProgramFilesCommonX86);
    case TPhFolder::pfProgramDir: return ProgramFolder();
    case TPhFolder::pfAllUsersProfile: return GetAllUsersProfileDir();
    case TPhFolder::pfPublic: return GetPublicDir();
  }
  return {};
}

std::wstring LocaleText(LCTYPE type) {
  wchar_t buf[128];
  const int len = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buf, static_cast<int>(std::size(buf)));
  return len > 1 ? std::wstring(buf, len - 1) : std::wstring();
}

}  // namespace

TPlaceholderSource SystemPlaceholderSource() {
  TPlaceholderSource s;
  s.Now = [] {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return TDateTimeParts{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  };
  s.UserName = GetCurrentUserName;
  s.ComputerName = GetLocalComputerName;
  s.Folder = SystemFolder;
  s.EnvVar = EnvValue;
  return s;
}

const TDateNames& LocaleDateNames() {
  static const TDateNames names = [] {
    TDateNames n;
    for (int i = 0; i < 7; ++i) {
      // The locale counts from Monday (1) to Sunday (7); the table from Sunday.
      const int slot = (i + 1) % 7;
      n.ShortDayNames[slot] = LocaleText(LOCALE_SABBREVDAYNAME1 + i);
      n.LongDayNames[slot] = LocaleText(LOCALE_SDAYNAME1 + i);
    }
    for (int i = 0; i < 12; ++i) n.LongMonthNames[i] = LocaleText(LOCALE_SMONTHNAME1 + i);
    return n;
  }();
  return names;
}

}  // namespace hv
