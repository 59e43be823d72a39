#include "base/settings/BuConsts.h"

#include <windows.h>

#include "base/text/StringUtils.h"
#include "base/app/SystemInfo.h"
#include "base/os/WinApiUtils.h"

namespace hv {

std::wstring PickerDateFormat = L"yyyy-MM-dd";
std::wstring PickerTimeFormat = L"HH:mm";

THvSettings SuiteSettings;
std::wstring SettingsDir;
std::wstring MainIniName;
std::wstring CurrentUserName;

namespace {

// A numeric locale value; def when the query fails or the value is not a number.
int64_t LocaleNumber(const wchar_t* localeName, LCTYPE type, int64_t def) {
  wchar_t buf[16];
  int n = GetLocaleInfoEx(localeName, type, buf, static_cast<int>(std::size(buf)));
  int64_t v;
  if (n <= 1 || !TryStrToInt64(std::wstring_view(buf, static_cast<size_t>(n - 1)), v)) return def;
  return v;
}

// Unit initialisation: the values are fixed before any form exists.
const bool kInitialised = (Is64BitProcess(), ScreenReaderActive(), SuiteFormatSettings(), true);

}  // namespace

TPickerFormats LocalePickerFormats(std::wstring_view localeName) {
  const std::wstring name(localeName);
  const wchar_t* locale = name.empty() ? LOCALE_NAME_USER_DEFAULT : name.c_str();
  TPickerFormats f;
  f.Time = LocaleNumber(locale, LOCALE_ITIME, 1) != 0 ? L"HH:mm" : L"hh:mm tt";
  switch (LocaleNumber(locale, LOCALE_IDATE, 2)) {
    case 0: f.Date = L"MM/dd/yyyy"; break;
    case 1: f.Date = L"dd.MM.yyyy"; break;
    default: f.Date = L"yyyy-MM-dd"; break;
  }
  return f;
}

void SetLocaleTimeFormats() {
  TPickerFormats f = LocalePickerFormats();
  PickerDateFormat = f.Date;
  PickerTimeFormat = f.Time;
}

bool Is64BitProcess() {
  static const bool value = IsProcess64Bit();
  return value;
}

bool ScreenReaderActive() {
  static const bool value = IsScreenReaderActive();
  return value;
}

const TFormatSettings& SuiteFormatSettings() {
  static const TFormatSettings value = FormatSettings();
  return value;
}

}  // namespace hv
