// The system's side of the placeholders: clock, names, folders and the locale's day and month names.
#include <windows.h>
#include <shlobj.h>

#include "base/app/InitProg.h"
#include "base/app/PlaceHolders.h"
#include "base/text/StringUtils.h"
#include "base/os/WinApiUtils.h"
#include "base/os/WinShell.h"

namespace hv {

namespace {

std::wstring EnvValue(std::wstring_view name) {
  const std::wstring n(name);
  wchar_t buf[32768];
  const DWORD len = GetEnvironmentVariableW(n.c_str(), buf, static_cast<DWORD>(std::size(buf)));
  return (len > 0 && len < std::size(buf)) ? std::wstring(buf, len) : std::wstring();
}

std::wstring SystemFolder(TPhFolder kind) {
  switch (kind) {
    case TPhFolder::pfDocuments: return GetSpecialFolder(CSIDL_PERSONAL);
    case TPhFolder::pfAppData: return GetAppDataFolder();
    case TPhFolder::pfLocalAppData: return GetSpecialFolder(CSIDL_LOCAL_APPDATA);
    case TPhFolder::pfProfile: return GetSpecialFolder(CSIDL_PROFILE);
    case TPhFolder::pfDesktop: return GetSpecialFolder(CSIDL_DESKTOPDIRECTORY);
    case TPhFolder::pfFavorites: return GetSpecialFolder(CSIDL_FAVORITES);
    case TPhFolder::pfProgramFiles: return GetProgramFilesDir(0);
    case TPhFolder::pfProgramFilesW6432: return GetProgramFilesDir(4);
    case TPhFolder::pfCommonProgramFilesW6432: return GetProgramFilesDir(5);
    case TPhFolder::pfProgramFilesX86: return GetProgramFilesDir(2);
    case TPhFolder::pfCommonProgramFilesX86: return GetProgramFilesDir(3);
    case TPhFolder::pfProgramDir: return TrimRightChar(ProgramDir(), L'\\');
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
