#pragma once
// The %...% placeholders of paths, names and command lines: tables and expansion.
// Tokens are matched without regard to case. The OS look-ups go through TPlaceholderSource.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace hv {

extern const std::array<std::wstring_view, 14> DatePlaceholders;
extern const std::array<std::wstring_view, 12> TimePlaceholders;
extern const std::array<std::wstring_view, 11> FolderPlaceholders;
extern const std::array<std::wstring_view, 10> EnvFolderPlaceholders;
extern const std::array<std::wstring_view, 8> ReportPlaceholders;
extern const std::array<std::wstring_view, 13> DevicePlaceholders;

// Local date and time at the moment of expansion.
struct TDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0;
};

// Day and month names of a locale (index 0 = Sunday for days, January for months).
struct TDateNames {
  std::array<std::wstring, 7> ShortDayNames;
  std::array<std::wstring, 7> LongDayNames;
  std::array<std::wstring, 12> LongMonthNames;
};
// Names of the user's locale, read once.
const TDateNames& LocaleDateNames();

enum class TPhFolder {
  pfDocuments,                 // %hvpath%
  pfAppData,                   // %apppath%, %appdata%
  pfLocalAppData,              // %localappdata%
  pfProfile,                   // %profile%, %userprofile%
  pfDesktop,
  pfFavorites,
  pfProgramFiles,              // program files, kind 0
  pfProgramFilesW6432,         // kind 4
  pfCommonProgramFilesW6432,   // kind 5
  pfProgramFilesX86,           // kind 2
  pfCommonProgramFilesX86,     // kind 3
  pfProgramDir,                // folder of the running program
  pfAllUsersProfile,           // %ALLUSERSPROFILE%, else the Windows folder
  pfPublic,                    // %PUBLIC%
};

// Where placeholder values come from; every member may be replaced (tests do).
struct TPlaceholderSource {
  std::function<TDateTimeParts()> Now;
  std::function<std::wstring()> UserName;
  std::function<std::wstring()> ComputerName;
  // Without trailing "\"; empty when Windows knows none.
  std::function<std::wstring(TPhFolder)> Folder;
  // Empty when the variable is not set.
  std::function<std::wstring(std::wstring_view)> EnvVar;
};
// The process-wide source (initially the system's); tests may assign members.
TPlaceholderSource& PlaceholderSource();
// The system's own source.
TPlaceholderSource SystemPlaceholderSource();

// Every occurrence of token in s (without regard to case) replaced by value; value is not searched again.
std::wstring ReplaceTextAll(std::wstring_view s, std::wstring_view token, std::wstring_view value);

// Calendar helpers used by the date placeholders.
int DayOfYear(int year, int month, int day);
// Monday 1 to Sunday 7.
int IsoDayOfWeek(int year, int month, int day);
int IsoWeekNumber(int year, int month, int day);
// Week of the month: weeks begin on Monday and belong to the month that holds their Thursday.
int WeekOfMonth(int year, int month, int day);
// "yyyy-ww" with the year one less in January when the week is above 25.
std::wstring YearAndWeek(const TDateTimeParts& t);
// Value of one cyclic counter: ((x - 1) mod n) + 1 padded to 1, 2 or 3 digits; empty for n <= 0.
std::wstring CounterValue(int64_t x, int64_t n);

std::wstring ExpandDatePlaceholders(std::wstring_view text, int count);
std::wstring ExpandDatePlaceholdersFS(std::wstring_view text, const TDateNames& names, int count);
std::wstring ExpandFolderPlaceholders(std::wstring_view text);
// The part of path before the first folder that holds a "%", with a trailing "\".
std::wstring CutAtPlaceholder(std::wstring_view path);

}  // namespace hv
