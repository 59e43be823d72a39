#include "base/app/PlaceHolders.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

#include "support/TestSupport.h"

using namespace hv;

namespace {

// Replaces the process-wide source for one test and restores it afterwards.
class FixedSource {
 public:
  explicit FixedSource(TDateTimeParts now) : FSaved(PlaceholderSource()) {
    auto& s = PlaceholderSource();
    s.Now = [now] { return now; };
    s.UserName = [] { return std::wstring(L"jdoe"); };
    s.ComputerName = [] { return std::wstring(L"PC1"); };
    s.Folder = [](TPhFolder f) -> std::wstring {
      switch (f) {
        case TPhFolder::pfDocuments: return L"C:\\Users\\jdoe\\Documents";
        case TPhFolder::pfAppData: return L"C:\\Users\\jdoe\\AppData\\Roaming";
        case TPhFolder::pfProfile: return L"C:\\Users\\jdoe";
        case TPhFolder::pfProgramFilesX86: return L"C:\\Program Files (x86)";
        case TPhFolder::pfPublic: return L"";
        default: return L"F" + std::to_wstring(static_cast<int>(f));
      }
    };
  }
  ~FixedSource() { PlaceholderSource() = FSaved; }

 private:
  TPlaceholderSource FSaved;
};

TDateNames DottedNames() {
  TDateNames n;
  const wchar_t* days[] = {L"So.", L"Mo.", L"Di.", L"Mi.", L"Do.", L"Fr.", L"Sa."};
  for (int i = 0; i < 7; ++i) {
    n.ShortDayNames[i] = days[i];
    n.LongDayNames[i] = std::wstring(days[i]) + L"ntag.";
  }
  for (int i = 0; i < 12; ++i) n.LongMonthNames[i] = L"M." + std::to_wstring(i + 1);
  return n;
}

}  // namespace

TEST(Calendar, IsoWeeksAndWeekOfMonth) {
  struct Case { int y, m, d, week, dnw, wom; } cases[] = {
      {2021, 1, 1, 53, 5, 5},    // Friday of the last week of December 2020
      {2021, 1, 4, 1, 1, 1},
      {2024, 12, 30, 1, 1, 1},   // belongs to January 2025
      {2024, 3, 5, 10, 2, 1},
      {2024, 2, 29, 9, 4, 5},
      {2026, 12, 31, 53, 4, 5},
      {2024, 9, 1, 35, 7, 5},    // Sunday: its Thursday is in August
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
    EXPECT_EQ(IsoWeekNumber(c.y, c.m, c.d), c.week);
    EXPECT_EQ(IsoDayOfWeek(c.y, c.m, c.d), c.dnw);
    EXPECT_EQ(WeekOfMonth(c.y, c.m, c.d), c.wom);
  }
  EXPECT_EQ(DayOfYear(2024, 12, 31), 366);
  EXPECT_EQ(DayOfYear(2023, 3, 1), 60);
}

TEST(DatePlaceholders, DatesAndTimes) {
  FixedSource fs({2024, 3, 5, 7, 8, 9});
  const TDateNames names = DottedNames();
  struct Case { const wchar_t *in, *out; } cases[] = {
      {L"Backup-%DATE%", L"Backup-2024-03-05"},
      {L"%yaw%|%dnw%|%day%|%week%|%dom%|%wom%|%month%|%year%", L"2024-10|2|065|10|05|1|03|2024"},
      {L"%dow%-%LDOW%-%lmonth%", L"Di-Dintag-M3"},
      {L"%time%_%hour%_%minute%", L"070809_07_08"},
      {L"%user%@%Computer% %username%/%computername%", L"jdoe@PC1 jdoe/PC1"},
      {L"%volume%%mode%%d#?%x", L"x"},
      {L"%unknown%\\%date", L"%unknown%\\%date"},
      {L"%date%%date%", L"2024-03-052024-03-05"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandDatePlaceholdersFS(c.in, names, 1), c.out) << c.in;
}

TEST(DatePlaceholders, YearAndWeekAroundNewYear) {
  struct Case { TDateTimeParts t; const wchar_t* out; } cases[] = {
      {{2021, 1, 1}, L"2020-53"}, {{2021, 1, 4}, L"2021-01"}, {{2024, 12, 30}, L"2024-01"}};
  for (const auto& c : cases) {
    FixedSource fs(c.t);
    EXPECT_EQ(ExpandDatePlaceholdersFS(L"%yaw%", DottedNames(), 0), c.out);
  }
}

TEST(DatePlaceholders, Counters) {
  FixedSource fs({2024, 1, 10});  // day 10, week 2, month 1
  const TDateNames names = DottedNames();
  struct Case { const wchar_t* in; int count; const wchar_t* out; } cases[] = {
      {L"%d#7%", 1, L"3"},
      {L"%d#30%", 1, L"10"},
      {L"%D#30%", 1, L"10"},
      {L"%v#100%", 5, L"005"},
      {L"%v#3%", 7, L"1"},
      {L"%w#12%|%m#12%|%y#10%", 1, L"02|01|04"},
      {L"%d#7%", 0, L"%d#7%"},
      {L"%d#x%", 1, L""},
      {L"%d#%", 1, L""},
      {L"%d#7%\\%d#30%", 1, L"3\\%d#30%"},
      {L"a%d#7%b%D#7%", 1, L"a3b3"},
      {L"%d#7", 1, L"%d#7"},
      // a modulus of 0 or below is no counter: empty, as for one that does not read
      {L"[%d#0%]", 1, L"[]"},
      {L"[%v#-3%]", 4, L"[]"},
      {L"[%v#99999999999999999999%]", 4, L"[]"},
      {L"[%y#9223372036854775807%]", 1, L"[2024]"},
      // the modulus is a decimal integer only
      {L"[%d#$7%]", 1, L"[]"},
      {L"[%d#0x7%]", 1, L"[]"},
      {L"[%d#x7%]", 1, L"[]"},
      {L"[%d# 7%]", 1, L"[]"},
      {L"[%d#+7%]", 1, L"[3]"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandDatePlaceholdersFS(c.in, names, c.count), c.out) << c.in;
}

TEST(DatePlaceholders, CounterValueAtTheEndsOfTheRange) {
  struct Case { int64_t x, n; const wchar_t* out; } cases[] = {
      {INT64_MIN, 7, L"6"},
      {INT64_MIN, INT64_MAX, L"9223372036854775806"},
      {INT64_MAX, INT64_MAX, L"9223372036854775807"},
      {0, 10, L"10"},
      {1, 10, L"01"},
      {-1, 3, L"2"},
  };
  for (const auto& c : cases) EXPECT_EQ(CounterValue(c.x, c.n), c.out) << c.x << " " << c.n;
}

TEST(FolderPlaceholders, TablesInOrder) {
  FixedSource fs({2024, 1, 1});
  EXPECT_EQ(ExpandFolderPlaceholders(L""), L"");
  EXPECT_EQ(ExpandFolderPlaceholders(L"%HVPATH%\\x"), L"C:\\Users\\jdoe\\Documents\\x");
  EXPECT_EQ(ExpandFolderPlaceholders(L"%apppath%|%appdata%|%userprofile%|%profile%"),
            L"C:\\Users\\jdoe\\AppData\\Roaming|C:\\Users\\jdoe\\AppData\\Roaming|C:\\Users\\jdoe|C:\\Users\\jdoe");
  EXPECT_EQ(ExpandFolderPlaceholders(L"%user%%computer%|%username%|%public%|%programfiles(x86)%"),
            L"|jdoe||C:\\Program Files (x86)");
  EXPECT_EQ(ExpandFolderPlaceholders(L"%date%"), L"%date%");
}

TEST(FolderPlaceholders, SystemValuesUnderWine) {
  // The real source: values come from Windows and hold no trailing "\".
  const std::wstring docs = ExpandFolderPlaceholders(L"%hvpath%");
  EXPECT_FALSE(docs.empty());
  EXPECT_NE(docs.back(), L'\\');
  wchar_t env[MAX_PATH];
  ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", env, MAX_PATH), 0u);
  EXPECT_EQ(ExpandFolderPlaceholders(L"%AppData%"), env);
  const std::wstring prog = ExpandFolderPlaceholders(L"%progpath%");
  EXPECT_NE(GetFileAttributesW((prog + L"\\base_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(ExpandDatePlaceholders(L"%user%", 0).empty());
}

TEST(CutAtPlaceholder, FixedPart) {
  struct Case { const wchar_t *in, *out; } cases[] = {
      {L"C:\\Backup\\%date%\\Files", L"C:\\Backup\\"},
      {L"%desktop%\\x", L""},
      {L"C:\\Backup\\Files", L"C:\\Backup\\Files"},
      {L"C:\\Backup\\Files\\", L"C:\\Backup\\Files\\"},
      {L"C:\\a\\b%d#7%c", L"C:\\a\\"},
      {L"\\\\srv\\share\\%user%", L"\\\\srv\\share\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(CutAtPlaceholder(c.in), c.out) << c.in;
}
