#include "base/app/LangUtils.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "base/app/InitProg.h"
#include "support/TestSupport.h"
#include "winui/Translate.h"

namespace hv {
namespace {

std::wstring CurrentDir() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetCurrentDirectoryW(MAX_PATH, buf);
  std::wstring d(buf, n);
  if (d.back() != L'\\') d += L'\\';
  return d;
}

TEST(LangUtilsTest, StartOptionsChooseLanguageAndMoveTheCfgFile) {
  SetEnvironmentVariableW(L"HVTESTDIR", L"E:\\t");
  const std::wstring prog = L"C:\\Prog\\", cfg = L"C:\\AppData\\Harvane6\\Harvane.cfg";
  struct Case {
    std::vector<std::wstring> Args;
    std::wstring Lang, Cfg;
  } cases[] = {
      {{}, L"", cfg},
      {{L"profile", L"/force"}, L"", cfg},
      {{L"/lang:fr"}, L"fr", cfg},
      {{L"/lang:fr", L"/lang:de"}, L"de", cfg},
      {{L"/l:de"}, L"de", cfg},
      {{L"-LANG:de"}, L"de", cfg},
      {{L"/lang:"}, L"", cfg},
      {{L"/portable"}, L"", L"C:\\Prog\\Harvane.cfg"},
      {{L"/"}, L"", L"C:\\Prog\\Harvane.cfg"},
      {{L"-p"}, L"", L"C:\\Prog\\Harvane.cfg"},
      {{L"/ini:D:\\cfg\\"}, L"", L"D:\\cfg\\Harvane.cfg"},
      {{L"/ini:D:\\cfg\\my.ini"}, L"", L"D:\\cfg\\Harvane.cfg"},
      {{L"/portable", L"/ini:D:\\cfg\\my.ini"}, L"", L"D:\\cfg\\my.cfg"},
      {{L"/ini:D:\\cfg\\my.ini", L"/portable"}, L"", L"D:\\cfg\\my.cfg"},
      {{L"/ini:my.ini"}, L"", cfg},
      {{L"/portable", L"/ini:my.ini"}, L"", L"C:\\Prog\\my.cfg"},
      {{L"/portable", L"/ini:sub\\my.ini"}, L"", L"C:\\Prog\\sub\\my.cfg"},
      {{L"/portable", L"/ini:..\\x\\my.ini"}, L"", L"C:\\x\\my.cfg"},
      {{L"/ini:%hvtestdir%\\my.ini"}, L"", L"E:\\t\\Harvane.cfg"},
      {{L"/ini:sub\\my.ini"}, L"", CurrentDir() + L"sub\\Harvane.cfg"},
      {{L"/ini:50%\\my.ini"}, L"", CurrentDir() + L"50%\\Harvane.cfg"},
  };
  for (const auto& c : cases) {
    TStartOptions o = ParseStartOptions(c.Args, cfg, prog);
    std::wstring args;
    for (const auto& a : c.Args) args += a + L" ";
    EXPECT_EQ(o.LangCode, c.Lang) << testing::PrintToString(args);
    EXPECT_EQ(o.CfgFileName, c.Cfg) << testing::PrintToString(args);
  }
}

TEST(LangUtilsTest, EnvironmentReferences) {
  SetEnvironmentVariableW(L"HVTESTDIR", L"E:\\t");
  SetEnvironmentVariableW(L"HVUNSET", nullptr);
  struct Case {
    std::wstring In, Out;
  } cases[] = {
      {L"%HVTESTDIR%\\a", L"E:\\t\\a"},
      {L"%hvtestdir%\\a\\%HvTestDir%", L"E:\\t\\a\\E:\\t"},
      {L"%HVUNSET%\\a", L"\\a"},
      {L"50%\\my.ini", L"50%\\my.ini"},
      {L"%HVTESTDIR%\\50%", L"E:\\t\\50%"},
      {L"plain", L"plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandEnvironmentRefs(c.In), c.Out) << testing::PrintToString(c.In);
}

std::wstring TestLocale() { return hvtest::BinaryDir() + L"\\fixtures\\locale"; }

TEST(LangUtilsTest, ReadsCompiledCatalogues) {
  TCatalog cat;
  ASSERT_TRUE(ReadMoFile(TestLocale() + L"\\xx\\LC_MESSAGES\\Units.mo", cat));
  EXPECT_EQ(cat[L"Version"], L"Fassung");
  EXPECT_EQ(cat.count(L""), 0u);  // the header is no entry

  hvtest::TempDir dir;
  EXPECT_FALSE(ReadMoFile(dir / L"missing.mo", cat));
  std::string good = hvtest::ReadBytes(TestLocale() + L"\\xx\\LC_MESSAGES\\Units.mo");
  struct Case {
    const char* Name;
    std::string Bytes;
  } damaged[] = {{"wrong magic", "\x01\x02\x03\x04" + good.substr(4)},
                 {"truncated", good.substr(0, 40)},
                 {"too short", good.substr(0, 10)}};
  for (const auto& d : damaged) {
    hvtest::WriteBytes(dir / L"bad.mo", d.Bytes);
    TCatalog before{{L"keep", L"me"}};
    EXPECT_FALSE(ReadMoFile(dir / L"bad.mo", before)) << d.Name;
    EXPECT_EQ(before.size(), 1u) << d.Name;
  }
}

// Entries that all point into one large string: refused as damaged, at the cost of the file's size
// (read whole, 20,000 entries of 200 KB each would be 4 GB of text).
TEST(LangUtilsTest, HostileCatalogueIsRefusedQuickly) {
  const uint32_t count = 20000, big = 200000;
  const uint32_t origins = 28, translations = origins + count * 8, strings = translations + count * 8;
  std::string mo(strings + big, 'a');
  auto put = [&](uint32_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) mo[at + k] = static_cast<char>(v >> (8 * k));
  };
  put(0, 0x950412de);
  put(4, 0);
  put(8, count);
  put(12, origins);
  put(16, translations);
  put(20, 0);
  put(24, 0);
  for (uint32_t i = 0; i < count; ++i) {
    put(origins + i * 8, big - i);  // a different suffix each: every key would be new
    put(origins + i * 8 + 4, strings + i);
    put(translations + i * 8, big - i);
    put(translations + i * 8 + 4, strings + i);
  }
  hvtest::TempDir dir;
  ASSERT_TRUE(hvtest::WriteBytes(dir / L"hostile.mo", mo));
  TCatalog cat{{L"keep", L"me"}};
  EXPECT_FALSE(ReadMoFile(dir / L"hostile.mo", cat));
  EXPECT_EQ(cat.size(), 1u);
}

TEST(LangUtilsTest, LoadsTheLanguageOrItsFirstPart) {
  AddDomainForResourceString(L"Units");
  ASSERT_TRUE(LoadLanguageCatalogs(TestLocale(), L"xx-YY"));
  EXPECT_EQ(CurrentLanguage(), L"xx");
  EXPECT_EQ(_(L"Version"), L"Fassung");
  EXPECT_EQ(_(L"Not translated"), L"Not translated");
  EXPECT_EQ(DGetText(L"winui", L"&Close"), L"&Zumachen");
  EXPECT_EQ(DGetText(L"Units", L"&Close"), L"&Close");

  EXPECT_FALSE(LoadLanguageCatalogs(TestLocale(), L"zz"));
  EXPECT_EQ(_(L"Version"), L"Version");
}

TEST(InitProgTest, VersionTexts) {
  struct Case {
    std::wstring Version;
    int Parts;
    std::wstring Text;
  } cases[] = {{L"6.3.12.0", 3, L"Version 6.3.12"}, {L"1.2", 3, L"Version 1.2"}, {L"1.2.3.4", 2, L"Version 1.2"},
               {L"1.2.3", 0, L"Version 1"},         {L"1.2.3", 3, L"Version 1.2.3"}, {L"7", 1, L"Version 7"}};
  for (const auto& c : cases) EXPECT_EQ(MakeVersionText(c.Version, c.Parts), c.Text) << c.Parts;
}

TEST(InitProgTest, CaptionFromTheProgramsVersionResource) {
  TVersionCaption v = InitVersionInfo(L"Fallback", L" - Vers. 9.9", L"notice", 3);
  EXPECT_EQ(v.Caption, L"hvtests (Version 6.3.2)");
  EXPECT_EQ(ProgramVersionInfo().Comments, L"Version 6.3.2");
  EXPECT_FALSE(v.BuildDate.empty());
  EXPECT_EQ(ProgramName(), L"base_tests");
  EXPECT_EQ(ProgramDir().back(), L'\\');
}

}  // namespace
}  // namespace hv
