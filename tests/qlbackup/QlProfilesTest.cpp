// Thunderbird's profiles.ini in its variants: the list, the default, the rewrite of one section.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "QlTestSupport.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/StringUtils.h"
#include "qlbackup/QlProfiles.h"
#include "support/TestSupport.h"

using namespace hv;

namespace {

struct TVariant {
  const wchar_t* Name;
  std::vector<std::wstring> Profiles;  // in list order
  std::wstring Default;
  TIniEncoding Encoding;
};

TEST(QlProfilesTest, EveryVariantGivesItsProfilesAndDefault) {
  const TVariant variants[] = {
      {L"utf8-bom", {L"default-release", L"J\u00fcrgen"}, L"J\u00fcrgen", TIniEncoding::ieUtf8},
      {L"utf8-nobom", {L"default", L"Zo\u00eb"}, L"Zo\u00eb", TIniEncoding::ieUtf8NoBom},
      {L"ansi", {L"M\u00fcller", L"default-release"}, L"default-release", TIniEncoding::ieAnsi},
      {L"gaps", {L"work", L"home"}, L"home", TIniEncoding::ieAnsi},
      {L"duplicates", {L"alpha", L"beta"}, L"alpha", TIniEncoding::ieAnsi},
      {L"absolute", {L"john.doe", L"default"}, L"default", TIniEncoding::ieAnsi},
      {L"single", {L"default-release"}, L"default-release", TIniEncoding::ieAnsi},
  };
  for (const auto& v : variants) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(v.Name)));
    hvtest::TempDir tmp;
    const std::wstring qlApp = qltest::CopyThunderbird(v.Name, tmp / L"Thunderbird");
    TProfileList list;
    TIniEncoding enc{};
    ASSERT_TRUE(FindProfiles(qlApp, list, enc));
    EXPECT_EQ(enc, v.Encoding);
    ASSERT_EQ(list.Count(), v.Profiles.size());
    for (size_t i = 0; i < list.Count(); ++i) EXPECT_EQ(list.Name(i), v.Profiles[i]);
    EXPECT_EQ(list.DefProfile, v.Default);
    EXPECT_EQ(list.GetProfileName(v.Default), L"Default user");
    EXPECT_EQ(list.Profile(list.IndexOf(v.Default)).ProfileName, L"Default user");  // as the picker lists it
    size_t defaults = 0;
    for (size_t i = 0; i < list.Count(); ++i) defaults += list.Profile(i).Default;
    EXPECT_EQ(defaults, 1u);
  }
}

TEST(QlProfilesTest, ShownPathsAndFolders) {
  hvtest::TempDir tmp;
  const std::wstring qlApp = qltest::CopyThunderbird(L"absolute", tmp / L"Thunderbird");
  TProfileList list;
  TIniEncoding enc{};
  ASSERT_TRUE(FindProfiles(qlApp, list, enc));
  EXPECT_EQ(list.GetPathName(L"DEFAULT"), L"<Thunderbird>/Profiles/k3.default");
  EXPECT_EQ(list.GetFullPath(L"default"), qlApp + L"Profiles\\k3.default");
  EXPECT_EQ(list.GetPathName(L"john.doe"), tmp.Path() + L"\\Thunderbird\\Elsewhere\\john");
  EXPECT_TRUE(list.NotInList(L"gone"));  // its folder is missing
  EXPECT_EQ(list.GetProfileName(L"nosuch"), L"nosuch");
  EXPECT_EQ(list.GetPathName(L"nosuch"), L"");
}

TEST(QlProfilesTest, NoProfilesIniLeavesTheListAlone) {
  hvtest::TempDir tmp;
  TProfileList list;
  list.AddProfile(L"kept", L"x", L"C:\\x", true, false);
  TIniEncoding enc{};
  EXPECT_FALSE(FindProfiles(tmp.Path() + L"\\", list, enc));
  EXPECT_EQ(list.Count(), 1u);
}

TEST(QlProfilesTest, InstallsIniOverridesTheDefaultFlag) {
  hvtest::TempDir tmp;
  const std::wstring qlApp = qltest::CopyThunderbird(L"utf8-bom", tmp / L"Thunderbird");
  DeleteFileW((qlApp + L"installs.ini").c_str());
  TProfileList list;
  TIniEncoding enc{};
  ASSERT_TRUE(FindProfiles(qlApp, list, enc));
  EXPECT_EQ(list.DefProfile, L"default-release");  // "Default=1" when installs.ini is gone
}

// The section a profile came from is rewritten, whatever its place in the list, in the file's encoding.
TEST(QlProfilesTest, UpdateWritesTheProfilesOwnSectionInItsEncoding) {
  struct Case {
    const wchar_t* Variant;
    const wchar_t* Profile;
    const char* Section;
    std::string Bom, NewPath;
  } cases[] = {{L"gaps", L"home", "[Profile2]", "", "Path=Profiles/neu.\xC3\xA4\xC3\xB6"},
               {L"utf8-nobom", L"Zo\u00eb", "[Profile1]", "", "Path=Profiles/neu.\xC3\xA4\xC3\xB6"},
               {L"utf8-bom", L"J\u00fcrgen", "[Profile1]", "\xEF\xBB\xBF", "Path=Profiles/neu.\xC3\xA4\xC3\xB6"},
               {L"ansi", L"default-release", "[Profile1]", "", "Path=Profiles/neu.\xE4\xF6"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.Variant)));
    hvtest::TempDir tmp;
    const std::wstring qlApp = qltest::CopyThunderbird(c.Variant, tmp / L"Thunderbird");
    TProfileList list;
    TIniEncoding enc{};
    ASSERT_TRUE(FindProfiles(qlApp, list, enc));
    const std::string before = hvtest::ReadBytes(qlApp + L"profiles.ini");
    const std::wstring newDir = qlApp + L"Profiles\\neu.\u00e4\u00f6";
    CreateDirectoryW(newDir.c_str(), nullptr);
    UpdateProfilesIni(qlApp, enc, list, c.Profile, newDir);

    const std::string after = hvtest::ReadBytes(qlApp + L"profiles.ini");
    EXPECT_EQ(after.substr(0, c.Bom.size()), c.Bom);
    EXPECT_NE(after.find(c.NewPath), std::string::npos) << after;
    const size_t section = after.find(c.Section);
    ASSERT_NE(section, std::string::npos);
    EXPECT_LT(section, after.find("Path=Profiles/neu."));
    const size_t next = after.find("[", section + 1);
    EXPECT_TRUE(next == std::string::npos || next > after.find("Path=Profiles/neu."));
    // Thunderbird's reading of the file finds the new folder again.
    TProfileList again;
    ASSERT_TRUE(FindProfiles(qlApp, again, enc));
    EXPECT_EQ(again.GetFullPath(c.Profile), newDir);
    EXPECT_EQ(again.Count(), list.Count());
    // Profile10 and the other sections stay as they were.
    if (std::wstring(c.Variant) == L"gaps") {
      EXPECT_NE(after.find("[Profile10]\r\nName=ignored"), std::string::npos);
    }
    EXPECT_NE(before, after);
  }
}

TEST(QlProfilesTest, AFolderOutsideThunderbirdIsWrittenAbsolute) {
  hvtest::TempDir tmp;
  const std::wstring qlApp = qltest::CopyThunderbird(L"single", tmp / L"Thunderbird");
  TProfileList list;
  TIniEncoding enc{};
  ASSERT_TRUE(FindProfiles(qlApp, list, enc));
  const std::wstring outside = tmp / L"Restored";
  CreateDirectoryW(outside.c_str(), nullptr);
  UpdateProfilesIni(qlApp, enc, list, L"default-release", outside + L"\\");
  TMemIniFile ini(qlApp + L"profiles.ini");
  EXPECT_EQ(ini.ReadString(L"Profile0", L"Path", L""), outside);
  EXPECT_EQ(ini.ReadString(L"Profile0", L"IsRelative", L""), L"0");
  EXPECT_EQ(ini.ReadString(L"Profile0", L"Default", L""), L"1");
  EXPECT_EQ(ini.ReadString(L"General", L"Version", L""), L"2");
  EXPECT_EQ(list.GetPathName(L"default-release"), outside);
}

// A profiles.ini as Thunderbird leaves it; other is text of sections QlBackup never reads.
std::string ThunderbirdIni(const std::string& br, const std::string& name1, const std::string& other,
                           const std::string& path0) {
  return "; written by Thunderbird" + br + "[General]" + br + "StartWithLastProfile=1" + br + "Version=2" + br + br +
         "[Profile1]" + br + "Name=" + name1 + br + "IsRelative=1" + br + "Path=Profiles/b2.other" + br + br +
         "[Profile0]" + br + "Path=" + path0 + br + "  IsRelative = 1" + br + "Name=default-release" + br +
         "StoreID=0" + br + br + "[BackgroundTasksProfiles]" + br + "MozillaBackgroundTask-x=" + other + br + br +
         "[Profile10]" + br + "Name=" + other + br + "Path=Profiles/z";
}

// A move changes the bytes of the profile's path and nothing else: line breaks, comments, blank
// lines, key order, the byte-order mark or its absence, and text in other sections and keys stay,
// the new path in the file's encoding.
TEST(QlProfilesTest, UpdateKeepsEveryOtherByte) {
  const std::string utf8Path = "Profiles/neu.\xC3\xA4\xC3\xB6";
  struct Case {
    const char* What;
    std::string Bom, Br, Name1, Other, NewPath;
  } cases[] = {
      {"UTF-8, non-ASCII only outside the profiles", "", "\n", "other", "J\xC3\xBCrgen", utf8Path},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBF", "\r\n", "other", "J\xC3\xBCrgen", utf8Path},
      {"UTF-8 names, a byte that is no UTF-8 elsewhere", "", "\r\n", "Zo\xC3\xAB", "J\xFCrgen \xC3\xBC", utf8Path},
      {"ASCII", "", "\r", "other", "Juergen", utf8Path},
      {"ANSI", "", "\r\n", "M\xFCller", "J\xFCrgen", "Profiles/neu.\xE4\xF6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    hvtest::TempDir tmp;
    const std::wstring qlApp = tmp / L"Thunderbird\\";
    for (const wchar_t* dir : {L"Thunderbird", L"Thunderbird\\Profiles", L"Thunderbird\\Profiles\\a1.default",
                               L"Thunderbird\\Profiles\\b2.other", L"Thunderbird\\Profiles\\neu.\u00e4\u00f6"})
      CreateDirectoryW((tmp / dir).c_str(), nullptr);
    ASSERT_TRUE(hvtest::WriteBytes(qlApp + L"profiles.ini",
                                   c.Bom + ThunderbirdIni(c.Br, c.Name1, c.Other, "Profiles/a1.default")));
    TProfileList list;
    TIniEncoding enc{};
    ASSERT_TRUE(FindProfiles(qlApp, list, enc));
    ASSERT_EQ(list.Count(), 2u);
    UpdateProfilesIni(qlApp, enc, list, L"default-release", qlApp + L"Profiles\\neu.\u00e4\u00f6\\");
    EXPECT_EQ(hvtest::ReadBytes(qlApp + L"profiles.ini"), c.Bom + ThunderbirdIni(c.Br, c.Name1, c.Other, c.NewPath));
    EXPECT_EQ(list.GetPathName(L"default-release"), L"<Thunderbird>/Profiles/neu.\u00e4\u00f6");
    TProfileList again;
    ASSERT_TRUE(FindProfiles(qlApp, again, enc));
    EXPECT_EQ(again.GetFullPath(L"default-release"), qlApp + L"Profiles\\neu.\u00e4\u00f6");
  }
}

// A folder whose name the ANSI code page cannot hold turns an ANSI file into UTF-8 (as Thunderbird
// reads it) rather than into question marks.
TEST(QlProfilesTest, AnsiFileTakesANameOutsideItsCodePageAsUtf8) {
  hvtest::TempDir tmp;
  const std::wstring qlApp = tmp / L"Thunderbird\\", newDir = tmp / L"\u03a9mega";
  for (const wchar_t* dir : {L"Thunderbird", L"Thunderbird\\Profiles", L"Thunderbird\\Profiles\\a1.default",
                             L"Thunderbird\\Profiles\\b2.other", L"\u03a9mega"})
    CreateDirectoryW((tmp / dir).c_str(), nullptr);
  ASSERT_TRUE(hvtest::WriteBytes(qlApp + L"profiles.ini", ThunderbirdIni("\r\n", "M\xFCller", "x", "Profiles/a1.default")));
  TProfileList list;
  TIniEncoding enc{};
  ASSERT_TRUE(FindProfiles(qlApp, list, enc));
  ASSERT_EQ(enc, TIniEncoding::ieAnsi);
  UpdateProfilesIni(qlApp, enc, list, L"default-release", newDir);
  std::string expected = ThunderbirdIni("\r\n", "M\xC3\xBCller", "x", WideToUtf8(newDir));
  expected.replace(expected.find("  IsRelative = 1"), 16, "  IsRelative = 0");
  EXPECT_EQ(hvtest::ReadBytes(qlApp + L"profiles.ini"), expected);
  TProfileList again;
  ASSERT_TRUE(FindProfiles(qlApp, again, enc));
  EXPECT_EQ(again.GetFullPath(L"default-release"), newDir);
  EXPECT_TRUE(again.IsInList(L"M\u00fcller"));
}

// Thunderbird starts the profile an installation names as its "Default" (in profiles.ini and in
// installs.ini): where that named the moved profile, in whatever form Thunderbird accepts, it
// follows the profile; a "Default" naming another profile stays.
TEST(QlProfilesTest, InstallationDefaultsFollowTheProfile) {
  hvtest::TempDir tmp;
  const std::wstring qlApp = tmp / L"Thunderbird\\", outside = tmp / L"Elsewhere\\Mail";
  const std::string root = WideToAnsi(qlApp);
  std::string slashed = root;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  const auto files = [](const std::string& moved) {
    const std::string installs = "Default=" + moved + "\r\nLocked=1\r\n\r\n[BBBB]\r\nDefault=Profiles/a1.default2\r\n";
    return std::pair{"[Profile0]\r\nName=default-release\r\nIsRelative=1\r\nPath=Profiles/a1.default\r\n\r\n"
                     "[Profile1]\r\nName=other\r\nIsRelative=1\r\nPath=Profiles/a1.default2\r\nDefault=1\r\n\r\n"
                     "[InstallAAAA]\r\n" + installs + "\r\n[InstallCCCC]\r\nDefault=" + moved + "\r\n",
                     "[AAAA]\r\n" + installs};
  };
  struct Case {
    std::string Default;
    bool Follows;
  } cases[] = {{"Profiles/a1.default", true},
               {"profiles\\A1.DEFAULT\\", true},
               {root + "Profiles\\a1.default", true},
               {slashed + "profiles/a1.Default/", true},
               {"Profiles/a1.default2", false},
               {"", false}};
  for (const bool inside : {true, false}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.Default + (inside ? " inside" : " outside"));
      for (const wchar_t* dir : {L"Thunderbird", L"Thunderbird\\Profiles", L"Thunderbird\\Profiles\\a1.default",
                                 L"Thunderbird\\Profiles\\a1.default2", L"Thunderbird\\Profiles\\neu", L"Elsewhere",
                                 L"Elsewhere\\Mail"})
        CreateDirectoryW((tmp / dir).c_str(), nullptr);
      const auto [profiles, installs] = files(c.Default);
      ASSERT_TRUE(hvtest::WriteBytes(qlApp + L"profiles.ini", profiles));
      ASSERT_TRUE(hvtest::WriteBytes(qlApp + L"installs.ini", installs));
      TProfileList list;
      TIniEncoding enc{};
      ASSERT_TRUE(FindProfiles(qlApp, list, enc));
      const std::wstring newDir = inside ? qlApp + L"Profiles\\neu" : outside;
      UpdateProfilesIni(qlApp, enc, list, L"default-release", newDir);

      const std::string newPath = inside ? "Profiles/neu" : WideToAnsi(outside);
      auto [expected, expectedInstalls] = files(c.Follows ? newPath : c.Default);
      expected.replace(expected.find("IsRelative=1"), 12, inside ? "IsRelative=1" : "IsRelative=0");
      expected.replace(expected.find("Path=Profiles/a1.default"), 24, "Path=" + newPath);
      EXPECT_EQ(hvtest::ReadBytes(qlApp + L"profiles.ini"), expected);
      EXPECT_EQ(hvtest::ReadBytes(qlApp + L"installs.ini"), expectedInstalls);
      TProfileList again;
      ASSERT_TRUE(FindProfiles(qlApp, again, enc));
      EXPECT_EQ(again.DefProfile, c.Follows ? L"default-release" : L"other");
    }
  }
}

}  // namespace
