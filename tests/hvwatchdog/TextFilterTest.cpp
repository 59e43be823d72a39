#include "hvwatchdog/TextFilter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "hvwatchdog/ShowFilter.h"

namespace {

using namespace hv;

TEST(MatchesMask, Table) {
  struct {
    const wchar_t* text;
    const wchar_t* mask;
    bool match;
  } cases[] = {
      {L"a.TXT", L"*.txt", true},       {L"a.txt.bak", L"*.txt", false}, {L"abc", L"a?c", true},
      {L"ac", L"a?c", false},           {L"b1", L"[a-c]1", true},        {L"d1", L"[!a-c]1", true},
      {L"B1", L"[a-c]1", true},         {L"x", L"*", true},              {L"", L"*", true},
      {L"readme.", L"*.", true},        {L"aXbXc", L"a*b*c", true},      {L"aXbXd", L"a*b*c", false},
      {L"Ä.doc", L"ä*", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.text, c.mask), c.match) << c.text << L" " << c.mask;
  EXPECT_THROW(MatchesMask(L"x", L"[abc"), EFilterError);
}

TEST(TMatchList, SortedCaseInsensitiveWithoutDuplicates) {
  TMatchList l;
  EXPECT_TRUE(l.Add(L"b.txt"));
  EXPECT_TRUE(l.Add(L"A.txt"));
  EXPECT_FALSE(l.Add(L"B.TXT"));
  EXPECT_TRUE(l.Add(L"sub\\c.txt"));
  EXPECT_EQ(l.CommaText(), L"A.txt,b.txt,sub\\c.txt");
  EXPECT_TRUE(l.Contains(L"a.TXT"));
  EXPECT_TRUE(l.Remove(L"B.txt"));
  EXPECT_FALSE(l.Remove(L"B.txt"));
  l.SetCommaText(L"zip, Gz,,gz ,7z");
  EXPECT_EQ(l.CommaText(), L"7z,Gz,zip");
}

TEST(TTextFilter, MaskListsOfFileFilters) {
  TTextFilter f(true, true);
  f.SetMode(TFilterMode::fmInclude);
  f.SetFilter(L"*.txt|*.doc");
  EXPECT_TRUE(f.MatchesFilter(L"a.TXT"));
  EXPECT_FALSE(f.MatchesFilter(L"a.pdf"));

  f.SetFilter(L"+*.txt|!a*");
  EXPECT_TRUE(f.MatchesFilter(L"b.txt"));
  EXPECT_FALSE(f.MatchesFilter(L"a.txt"));

  f.SetFilter(L"*.");
  EXPECT_TRUE(f.MatchesFilter(L"readme"));
  EXPECT_FALSE(f.MatchesFilter(L"readme.md"));

  f.SetFilter(L"abc");
  EXPECT_EQ(f.Filter(), L"abc.*");
  f.SetFilter(L"*");
  EXPECT_EQ(f.Filter(), L"*.*");

  try {
    f.SetFilter(L"[ab");
    FAIL() << "no error";
  } catch (const EFilterError& e) {
    EXPECT_EQ(e.Message(), L"Illegal mask!");
  }
  EXPECT_EQ(f.Filter(), L"*");

  f.SetMode(TFilterMode::fmOff);
  EXPECT_TRUE(f.MatchesFilter(L"anything"));
}

TEST(TTextFilter, RegularExpressions) {
  TTextFilter f(true, true);
  f.SetRegular(true);
  f.SetMode(TFilterMode::fmExclude);
  f.SetFilter(L"\\.tmp$");
  EXPECT_FALSE(f.MatchesFilter(L"x.TMP"));
  EXPECT_TRUE(f.MatchesFilter(L"x.txt"));
  try {
    f.SetFilter(L"(abc");
    FAIL() << "no error";
  } catch (const EFilterError& e) {
    EXPECT_EQ(e.Message(), L"Illegal regular expression!");
  }
  EXPECT_EQ(f.Filter(), L".");
  f.SetFilter(L"");
  EXPECT_EQ(f.Filter(), L".");
  // Perl syntax: lazy quantifiers, classes and look-ahead.
  f.SetMode(TFilterMode::fmInclude);
  f.SetFilter(L"^(?!~)\\w+?\\d{2}\\.docx?$");
  EXPECT_TRUE(f.MatchesFilter(L"Report12.DOC"));
  EXPECT_FALSE(f.MatchesFilter(L"~Report12.doc"));
}

// A search that backtracks without end gives up after kRegexStepLimit character reads. The name gets
// the caller's undecided result and the filter runs no more until it is set again, so a burst of
// such names stays fast. The times are printed, never checked.
TEST(TTextFilter, RunawaySearchesGiveUp) {
  struct {
    const wchar_t* expr;
    std::wstring name;
  } cases[] = {
      // Boost's own bound never stops this search: it fails through the assertion.
      {L".(a|a)*(?!)", std::wstring(178, L'a')},
      // Here Boost's bound stops it, which used to count as "no match".
      {L"(a+)+$", std::wstring(40, L'a') + L"!"},
      {L"^(\\w+\\s?)*$", std::wstring(60, L'a') + L"!.txt"},
  };
  using TClock = std::chrono::steady_clock;
  auto ms = [](TClock::time_point since) {
    return std::chrono::duration<double, std::milli>(TClock::now() - since).count();
  };
  for (const auto& c : cases) {
    for (TFilterMode mode : {TFilterMode::fmInclude, TFilterMode::fmExclude}) {
      TTextFilter f(true, true);
      f.SetRegular(true);
      f.SetMode(mode);
      f.SetFilter(c.expr);
      const auto start = TClock::now();
      EXPECT_TRUE(f.MatchesFilter(c.name, true)) << c.expr;
      const double first = ms(start);
      EXPECT_TRUE(f.Stalled()) << c.expr;
      EXPECT_EQ(f.StalledOn(), c.name);
      const auto burstStart = TClock::now();
      for (int i = 0; i < 10000; ++i) ASSERT_TRUE(f.MatchesFilter(c.name, true));
      std::printf("[  bound   ] %ls on %zu characters (%s): gave up after %.1f ms; 10,000 more names %.1f ms\n",
                  c.expr, c.name.size(), mode == TFilterMode::fmInclude ? "include" : "exclude", first,
                  ms(burstStart));
      // Stalled, it answers undecided also for names it could decide.
      EXPECT_FALSE(f.MatchesFilter(L"b.txt", false));
      f.SetFilter(c.expr);
      EXPECT_FALSE(f.Stalled());
      EXPECT_FALSE(f.MatchesFilter(c.name, false)) << c.expr;
    }
  }

  // Ordinary patterns on names of full length stay far inside the bound.
  const std::wstring longName = std::wstring(251, L'x') + L".tmp";
  struct {
    const wchar_t* expr;
    std::wstring name;
    bool match;
  } ordinary[] = {
      {L"(a|b|c|d)*x+y", longName, false},
      {L"\\.tmp$", longName, true},
      {L".*foo.*bar", longName, false},
      {L"^(?!~)\\w+?\\d{2}\\.docx?$", std::wstring(250, L'r') + L"12.doc", true},
      {L"(\\w+)\\.\\1", L"abc.abc", true},
  };
  for (const auto& c : ordinary) {
    TTextFilter f(true, true);
    f.SetRegular(true);
    f.SetMode(TFilterMode::fmInclude);
    f.SetFilter(c.expr);
    const auto start = TClock::now();
    EXPECT_EQ(f.MatchesFilter(c.name, !c.match), c.match) << c.expr;
    EXPECT_FALSE(f.Stalled()) << c.expr;
    std::printf("[ ordinary ] %ls on %zu characters: %.3f ms\n", c.expr, c.name.size(), ms(start));
  }
}

TEST(AdmitsFile, AFilterThatGivesUpAdmits) {
  const std::wstring runaway = std::wstring(40, L'a') + L"!";
  for (bool includeSubDirs : {false, true}) {
    TMonFilter f;
    f.IncludeSubDirs = includeSubDirs;
    f.SubDirFilter.SetRegular(true);
    f.SubDirFilter.SetMode(TFilterMode::fmInclude);
    f.SubDirFilter.SetFilter(L"(a+)+$");
    EXPECT_TRUE(AdmitsFile(f, runaway + L"\\x.dat")) << includeSubDirs;
    EXPECT_TRUE(f.SubDirFilter.Stalled());
  }
  for (TFilterMode mode : {TFilterMode::fmInclude, TFilterMode::fmExclude}) {
    TMonFilter f;
    f.FileFilter.SetRegular(true);
    f.FileFilter.SetMode(mode);
    f.FileFilter.SetFilter(L"(a+)+$");
    EXPECT_TRUE(AdmitsFile(f, L"sub\\" + runaway));
    EXPECT_TRUE(f.FileFilter.Stalled());
    // The type list still decides.
    f.ExtList.Add(L"tmp");
    EXPECT_FALSE(AdmitsFile(f, L"x.tmp"));
  }
}

TEST(AdmitsFile, TypesFiltersAndFolders) {
  TMonFilter f;
  f.IncludeExts = false;
  f.ExtList.SetCommaText(L"tmp,bak");
  EXPECT_TRUE(AdmitsFile(f, L"a.txt"));
  EXPECT_FALSE(AdmitsFile(f, L"sub\\a.TMP"));
  f.IncludeExts = true;
  EXPECT_FALSE(AdmitsFile(f, L"a.txt"));
  EXPECT_TRUE(AdmitsFile(f, L"a.bak"));
  f.ExtList.Clear();
  f.IncludeExts = false;

  f.SubDirFilter.SetMode(TFilterMode::fmInclude);
  f.SubDirFilter.SetFilter(L"cache*");
  f.IncludeSubDirs = false;
  EXPECT_FALSE(AdmitsFile(f, L"Cache\\x.dat"));
  EXPECT_FALSE(AdmitsFile(f, L"data\\cache2\\x.dat"));
  EXPECT_TRUE(AdmitsFile(f, L"data\\x.dat"));
  EXPECT_TRUE(AdmitsFile(f, L"x.dat"));
  f.IncludeSubDirs = true;
  EXPECT_TRUE(AdmitsFile(f, L"Cache\\x.dat"));
  EXPECT_FALSE(AdmitsFile(f, L"data\\x.dat"));
  EXPECT_FALSE(AdmitsFile(f, L"x.dat"));
  f.SubDirFilter.SetMode(TFilterMode::fmOff);

  f.SubDirList.Add(L"docs\\");
  f.IncludeSubDirs = false;
  EXPECT_FALSE(AdmitsFile(f, L"Docs\\a.txt"));
  EXPECT_TRUE(AdmitsFile(f, L"other\\a.txt"));
  f.IncludeSubDirs = true;
  EXPECT_TRUE(AdmitsFile(f, L"docs\\deep\\a.txt"));
  EXPECT_FALSE(AdmitsFile(f, L"a.txt"));
}

// What the filter view lists: the mode lines of the file filter and the items split at "|".
TEST(FilterViewTexts, ModesListsAndLabels) {
  TMonFilter f;
  TFilterViewTexts v = FilterViewTexts(f);
  EXPECT_EQ(v.SubDirsLabel, L"not included in this list");
  EXPECT_EQ(v.DirFiltLabel, L"not matching these filter conditions");
  EXPECT_EQ(v.FileExtLabel, L"not matching these file types");
  EXPECT_EQ(v.FileFilt, std::vector<std::wstring>{L"All files"});
  EXPECT_FALSE(v.Regular);

  f.IncludeSubDirs = f.IncludeExts = true;
  f.SubDirList.Add(L"Docs\\");
  f.ExtList.SetCommaText(L"txt,doc");
  f.SubDirFilter.SetFilter(L"cache*|tmp");
  f.SubDirFilter.SetMode(TFilterMode::fmInclude);
  f.FileFilter.SetFilter(L"*.txt|a*");
  f.FileFilter.SetMode(TFilterMode::fmInclude);
  v = FilterViewTexts(f);
  EXPECT_EQ(v.SubDirsLabel, L"included in this list");
  EXPECT_EQ(v.DirFiltLabel, L"matching these filter conditions");
  EXPECT_EQ(v.FileExtLabel, L"matching these file types");
  EXPECT_EQ(v.SubDirs, std::vector<std::wstring>{L"Docs\\"});
  EXPECT_EQ(v.DirFilt, (std::vector<std::wstring>{L"cache*", L"tmp"}));
  EXPECT_EQ(v.FileExt, (std::vector<std::wstring>{L"doc", L"txt"}));
  EXPECT_EQ(v.FileFilt, (std::vector<std::wstring>{L"only :", L"*.txt", L"a*.*"}));

  f.FileFilter.SetRegular(true);
  f.FileFilter.SetFilter(L"\\.tmp$");
  f.FileFilter.SetMode(TFilterMode::fmExclude);
  v = FilterViewTexts(f);
  EXPECT_TRUE(v.Regular);
  EXPECT_EQ(v.FileFilt, (std::vector<std::wstring>{L"all except :", L"\\.tmp$"}));
}

}  // namespace
