// Thunderbird's profiles.ini in its variants: the list, the default, the rewrite of one section.
#include <gtest/gtest.h>
#include <windows.h>

#include "QlTestSupport.h"
#include "base/settings/IniFileUtils.h"
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

// The section a profile came from is rewritten, whatever its place in the list.
TEST(QlProfilesTest, UpdateWritesTheProfilesOwnSectionInItsEncoding) {
  struct Case {
    const wchar_t* Variant;
    const wchar_t* Profile;
    const char* Section;
    std::string Bom;
  } cases[] = {{L"gaps", L"home", "[Profile2]", ""},
               {L"utf8-nobom", L"Zo\u00eb", "[Profile1]", ""},
               {L"utf8-bom", L"J\u00fcrgen", "[Profile1]", "\xEF\xBB\xBF"},
               {L"ansi", L"default-release", "[Profile1]", ""}};
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
    EXPECT_NE(after.find("Path=Profiles/neu.\xC3\xA4\xC3\xB6"), std::string::npos) << after;  // UTF-8
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

}  // namespace
