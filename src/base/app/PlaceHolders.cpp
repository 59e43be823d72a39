#include "base/app/PlaceHolders.h"

#include "base/text/NumberUtils.h"
#include "base/text/StringUtils.h"

namespace hv {

const std::array<std::wstring_view, 14> DatePlaceholders = {
    L"%date%", L"%yaw%", L"%dow%", L"%ldow%", L"%dnw%", L"%day%", L"%week%",
    L"%dom%", L"%wom%", L"%month%", L"%lmonth%", L"%year%", L"%user%", L"%computer%"};
const std::array<std::wstring_view, 12> TimePlaceholders = {
    L"%time%", L"%hour%", L"%minute%", L"%d#?%", L"%w#?%", L"%m#?%",
    L"%y#?%", L"%v#?%", L"%username%", L"%computername%", L"%volume%", L"%mode%"};
const std::array<std::wstring_view, 11> FolderPlaceholders = {
    L"%hvpath%", L"%apppath%", L"%profile%", L"%desktop%", L"%favorites%", L"%progfiles%",
    L"%progpath%", L"%username%", L"%computername%", L"%user%", L"%computer%"};
const std::array<std::wstring_view, 10> EnvFolderPlaceholders = {
    L"%appdata%", L"%localappdata%", L"%allusersprofile%", L"%public%", L"%programfiles%",
    L"%commonprogramfiles%", L"%programfiles(x86)%", L"%commonprogramfiles(x86)%",
    L"%programdata%", L"%userprofile%"};
const std::array<std::wstring_view, 8> ReportPlaceholders = {
    L"%taskname%", L"%username%", L"%computername%", L"%start%",
    L"%end%", L"%duration%", L"%status%", L"%computer%"};
const std::array<std::wstring_view, 13> DevicePlaceholders = {
    L"%device%", L"%date%", L"%yaw%", L"%dow%", L"%ldow%", L"%dnw%", L"%day%",
    L"%week%", L"%dom%", L"%wom%", L"%month%", L"%lmonth%", L"%year%"};

TPlaceholderSource& PlaceholderSource() {
  static TPlaceholderSource source = SystemPlaceholderSource();
  return source;
}

std::wstring ReplaceTextAll(std::wstring_view s, std::wstring_view token, std::wstring_view value) {
  if (token.empty()) return std::wstring(s);
  std::wstring result;
  size_t from = 0;
  for (size_t p = TextPosEx(token, s, 0); p != std::wstring_view::npos; p = TextPosEx(token, s, from)) {
    result.append(s.substr(from, p - from));
    result.append(value);
    from = p + token.size();
  }
  result.append(s.substr(from));
  return result;
}

namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days since 0001-01-01 (proleptic Gregorian); day 0 is a Monday.
int64_t DayNumber(int y, int m, int d) {
  int64_t n = DayOfYear(y, m, d) - 1;
  const int64_t py = y - 1;
  return n + py * 365 + py / 4 - py / 100 + py / 400;
}

struct TDate { int Year, Month, Day; };

TDate DateFromDayNumber(int64_t n) {
  // Walk from an estimate; the range used here is small.
  int y = static_cast<int>(n / 366) + 1;
  while (DayNumber(y + 1, 1, 1) <= n) ++y;
  int m = 1;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int64_t rest = n - DayNumber(y, 1, 1);
  for (;; ++m) {
    const int len = days[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
    if (rest < len) break;
    rest -= len;
  }
  return {y, m, static_cast<int>(rest) + 1};
}

std::wstring StripDots(std::wstring_view s) { return RemoveChars(s, L"."); }

// Replaces every entry of a table that occurs in s by its value (computed once, on demand).
template <size_t N, class F>
std::wstring ExpandTable(std::wstring s, const std::array<std::wstring_view, N>& table, F&& value) {
  for (const auto& token : table) {
    if (TextPos(token, s) != std::wstring::npos) s = ReplaceTextAll(s, token, value(token));
  }
  return s;
}

std::wstring Source(const std::function<std::wstring()>& f) { return f ? f() : std::wstring(); }
std::wstring SourceFolder(TPhFolder kind) {
  const auto& f = PlaceholderSource().Folder;
  return f ? f(kind) : std::wstring();
}
TDateTimeParts SourceNow() {
  const auto& f = PlaceholderSource().Now;
  return f ? f() : TDateTimeParts{};
}

}  // namespace

int DayOfYear(int year, int month, int day) {
  static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  if (month < 1 || month > 12) return day;
  return before[month - 1] + day + (month > 2 && IsLeapYear(year) ? 1 : 0);
}

int IsoDayOfWeek(int year, int month, int day) {
  return static_cast<int>(DayNumber(year, month, day) % 7) + 1;
}

int IsoWeekNumber(int year, int month, int day) {
  // The week's Thursday decides the year; count the Thursdays of that year.
  const int64_t thursday = DayNumber(year, month, day) - IsoDayOfWeek(year, month, day) + 4;
  const TDate t = DateFromDayNumber(thursday);
  return static_cast<int>((thursday - DayNumber(t.Year, 1, 1)) / 7) + 1;
}

int WeekOfMonth(int year, int month, int day) {
  const int64_t thursday = DayNumber(year, month, day) - IsoDayOfWeek(year, month, day) + 4;
  return (DateFromDayNumber(thursday).Day - 1) / 7 + 1;
}

std::wstring YearAndWeek(const TDateTimeParts& t) {
  const int week = IsoWeekNumber(t.Year, t.Month, t.Day);
  const int year = (t.Month == 1 && week > 25) ? t.Year - 1 : t.Year;
  return IntToStrZero(year, 4) + L"-" + IntToStrZero(week, 2);
}

std::wstring CounterValue(int64_t x, int64_t n) {
  if (n <= 0) return {};
  // Remainder first, then the step back and n added only when negative: neither the smallest x nor
  // a modulus near the top of the range can overflow.
  int64_t r = x % n - 1;
  if (r < 0) r += n;
  ++r;
  return IntToStrZero(r, n < 10 ? 1 : n < 100 ? 2 : 3);
}

std::wstring ExpandDatePlaceholdersFS(std::wstring_view text, const TDateNames& names, int count) {
  const TDateTimeParts t = SourceNow();
  const int dow = IsoDayOfWeek(t.Year, t.Month, t.Day);  // 1 = Monday
  const int sundayBased = dow % 7;
  const int doy = DayOfYear(t.Year, t.Month, t.Day);
  const int week = IsoWeekNumber(t.Year, t.Month, t.Day);
  const auto& src = PlaceholderSource();

  std::wstring s = ExpandTable(std::wstring(text), DatePlaceholders, [&](std::wstring_view token) -> std::wstring {
    if (token == L"%date%")
      return IntToStrZero(t.Year, 4) + L"-" + IntToStrZero(t.Month, 2) + L"-" + IntToStrZero(t.Day, 2);
    if (token == L"%yaw%") return YearAndWeek(t);
    if (token == L"%dow%") return StripDots(names.ShortDayNames[sundayBased]);
    if (token == L"%ldow%") return StripDots(names.LongDayNames[sundayBased]);
    if (token == L"%dnw%") return std::to_wstring(dow);
    if (token == L"%day%") return IntToStrZero(doy, 3);
    if (token == L"%week%") return IntToStrZero(week, 2);
    if (token == L"%dom%") return IntToStrZero(t.Day, 2);
    if (token == L"%wom%") return std::to_wstring(WeekOfMonth(t.Year, t.Month, t.Day));
    if (token == L"%month%") return IntToStrZero(t.Month, 2);
    if (token == L"%lmonth%") return StripDots(names.LongMonthNames[(t.Month + 11) % 12]);
    if (token == L"%year%") return IntToStrZero(t.Year, 4);
    if (token == L"%user%") return Source(src.UserName);
    return Source(src.ComputerName);  // %computer%
  });

  if (count > 0) {
    const struct { const wchar_t* Open; int64_t X; } families[] = {
        {L"%d#", doy}, {L"%w#", week}, {L"%m#", t.Month}, {L"%y#", t.Year}, {L"%v#", count}};
    for (const auto& f : families) {
      const size_t open = TextPos(f.Open, s);
      if (open == std::wstring::npos) continue;
      const size_t close = s.find(L'%', open + 3);
      if (close == std::wstring::npos) continue;
      int64_t n = 0;
      const std::wstring modulus = s.substr(open + 3, close - open - 3);
      const bool decimal = !modulus.empty() && modulus.find_first_not_of(L"0123456789", 1) == std::wstring::npos &&
                           (modulus[0] == L'-' || modulus[0] == L'+' || (modulus[0] >= L'0' && modulus[0] <= L'9'));
      const std::wstring value = decimal && TryStrToInt64(modulus, n) ? CounterValue(f.X, n) : std::wstring();
      s = ReplaceTextAll(s, s.substr(open, close - open + 1), value);
    }
  }

  return ExpandTable(std::move(s), TimePlaceholders, [&](std::wstring_view token) -> std::wstring {
    if (token == L"%time%") return IntToStrZero(t.Hour, 2) + IntToStrZero(t.Minute, 2) + IntToStrZero(t.Second, 2);
    if (token == L"%hour%") return IntToStrZero(t.Hour, 2);
    if (token == L"%minute%") return IntToStrZero(t.Minute, 2);
    if (token == L"%username%") return Source(src.UserName);
    if (token == L"%computername%") return Source(src.ComputerName);
    return {};  // %volume%, %mode% and the literal counter tokens
  });
}

std::wstring ExpandDatePlaceholders(std::wstring_view text, int count) {
  return ExpandDatePlaceholdersFS(text, LocaleDateNames(), count);
}

std::wstring ExpandFolderPlaceholders(std::wstring_view text) {
  if (text.empty()) return {};
  const auto& src = PlaceholderSource();
  std::wstring s = ExpandTable(std::wstring(text), FolderPlaceholders, [&](std::wstring_view token) -> std::wstring {
    if (token == L"%hvpath%") return SourceFolder(TPhFolder::pfDocuments);
    if (token == L"%apppath%") return SourceFolder(TPhFolder::pfAppData);
    if (token == L"%profile%") return SourceFolder(TPhFolder::pfProfile);
    if (token == L"%desktop%") return SourceFolder(TPhFolder::pfDesktop);
    if (token == L"%favorites%") return SourceFolder(TPhFolder::pfFavorites);
    if (token == L"%progfiles%") return SourceFolder(TPhFolder::pfProgramFiles);
    if (token == L"%progpath%") return SourceFolder(TPhFolder::pfProgramDir);
    if (token == L"%username%") return Source(src.UserName);
    if (token == L"%computername%") return Source(src.ComputerName);
    return {};  // %user%, %computer%
  });
  return ExpandTable(std::move(s), EnvFolderPlaceholders, [&](std::wstring_view token) -> std::wstring {
    if (token == L"%appdata%") return SourceFolder(TPhFolder::pfAppData);
    if (token == L"%localappdata%") return SourceFolder(TPhFolder::pfLocalAppData);
    if (token == L"%allusersprofile%" || token == L"%programdata%") return SourceFolder(TPhFolder::pfAllUsersProfile);
    if (token == L"%public%") return SourceFolder(TPhFolder::pfPublic);
    if (token == L"%programfiles%") return SourceFolder(TPhFolder::pfProgramFilesW6432);
    if (token == L"%commonprogramfiles%") return SourceFolder(TPhFolder::pfCommonProgramFilesW6432);
    if (token == L"%programfiles(x86)%") return SourceFolder(TPhFolder::pfProgramFilesX86);
    if (token == L"%commonprogramfiles(x86)%") return SourceFolder(TPhFolder::pfCommonProgramFilesX86);
    return SourceFolder(TPhFolder::pfProfile);  // %userprofile%
  });
}

std::wstring CutAtPlaceholder(std::wstring_view path) {
  if (path.find(L'%') == std::wstring_view::npos) return std::wstring(path);
  std::wstring result;
  size_t from = 0;
  while (from <= path.size()) {
    size_t end = path.find(L'\\', from);
    if (end == std::wstring_view::npos) end = path.size();
    const std::wstring_view part = path.substr(from, end - from);
    if (part.find(L'%') != std::wstring_view::npos) break;
    result.append(part).append(L"\\");
    from = end + 1;
  }
  return result;
}

}  // namespace hv
