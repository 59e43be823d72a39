// The viewer's text decoding and search, and printing laid out with a fixed-width measure and
// rendered into enhanced metafiles, one per page.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/settings/IniFileUtils.h"
#include "dialogs/PrintText.h"
#include "dialogs/ShowMemo.h"
#include "support/TestSupport.h"

namespace hv {
namespace {

TEST(ViewerTextTest, DecodesByMarkOrCodePageAndDropsZeroCharactersAfterDecoding) {
  struct Case {
    std::string bytes;
    UINT codePage;
    std::wstring text;
    TTextEncoding encoding;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBFgr\xC3\xBC\xC3\x9F", 0, L"gr\u00FC\u00DF", {CP_UTF8, true}},
      {std::string("\xFF\xFEh\0\xE4\0\n\0", 8), 0, L"h\u00E4\n", {1200, true}},
      {std::string("\xFE\xFF\0h\0\xE4", 6), 0, L"h\u00E4", {1201, true}},
      {"gr\xC3\xBC", CP_UTF8, L"gr\u00FC", {CP_UTF8, false}},
      {"gr\xFC", 1252, L"gr\u00FC", {1252, false}},
      {std::string("a\0b\r\n\0c", 7), 1252, L"ab\r\nc", {1252, false}},
      // A UTF-16 text with a zero character inside keeps the rest of its characters.
      {std::string("\xFF\xFE" "a\0\0\0b\0", 8), 0, L"ab", {1200, true}},
      {"", 0, L"", {GetACP(), false}},
  };
  for (const Case& c : cases) {
    TTextEncoding e;
    bool failed = true;
    EXPECT_EQ(DecodeTextBytes(c.bytes, c.codePage, e, failed), c.text) << c.bytes;
    EXPECT_FALSE(failed);
    EXPECT_EQ(e, c.encoding) << c.bytes;
  }
  TTextEncoding e;
  bool failed = false;
  EXPECT_EQ(DecodeTextBytes("abc", 4711, e, failed), L"abc");
  EXPECT_TRUE(failed);
  EXPECT_EQ(e.CodePage, GetACP());
}

TEST(ViewerTextTest, EncodingWritesTheBytesItWasReadFrom) {
  const std::string files[] = {"\xEF\xBB\xBFl\xC3\xBCne\r\n", std::string("\xFF\xFEx\0\xFC\0", 6),
                               std::string("\xFE\xFF\0x\0\xFC", 6), "plain \xE4\r\n"};
  for (const std::string& f : files) {
    TTextEncoding e;
    bool failed = false;
    const std::wstring text = DecodeTextBytes(f, f.starts_with("plain") ? 1252 : 0, e, failed);
    EXPECT_EQ(EncodeTextBytes(text, e), f);
  }
}

TEST(ViewerTextTest, FindsDownAndUpWithCaseAndWholeWords) {
  const std::wstring t = L"Error one\r\nerror two\r\nerrors\r\nERROR";
  constexpr auto npos = std::wstring::npos;
  EXPECT_EQ(FindInText(t, L"error", 0, true, false, false), 0u);
  EXPECT_EQ(FindInText(t, L"error", 1, true, false, false), 11u);
  EXPECT_EQ(FindInText(t, L"error", 1, true, true, false), 11u);
  EXPECT_EQ(FindInText(t, L"Error", 1, true, true, false), npos);
  EXPECT_EQ(FindInText(t, L"error", 12, true, false, true), 30u);
  EXPECT_EQ(FindInText(t, L"error", t.size(), false, false, false), 30u);
  EXPECT_EQ(FindInText(t, L"error", 30, false, false, true), 11u);
  EXPECT_EQ(FindInText(t, L"error", 30, false, false, false), 22u);
  EXPECT_EQ(FindInText(t, L"error", 4, false, false, false), npos);
  EXPECT_EQ(FindInText(t, L"", 0, true, false, false), npos);
  EXPECT_EQ(FindInText(L"", L"x", 0, true, false, false), npos);
}

// Every character 20 units (2 mm) wide.
int Fixed(std::wstring_view s) { return static_cast<int>(s.size()) * 20; }

TEST(PrintTextTest, WrapsAtBlanksBackslashesAndBracesOrCharacterByCharacter) {
  // 1000 units: 49 characters fit (980 < 1000).
  const std::wstring noBreak(120, L'x');
  auto p = WrapPrintLine(noBreak, 1000, Fixed);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0], std::wstring(49, L'x'));
  EXPECT_EQ(p[1], L"* " + std::wstring(47, L'x'));
  EXPECT_EQ(p[2], L"* " + std::wstring(24, L'x'));

  std::wstring words;
  for (int i = 0; i < 12; ++i) words += L"word" + std::to_wstring(i) + L" ";
  p = WrapPrintLine(words, 1000, Fixed);
  ASSERT_GE(p.size(), 2u);
  EXPECT_EQ(p[0], L"word0 word1 word2 word3 word4 word5 word6 word7 ");
  EXPECT_TRUE(p[1].starts_with(L"* word8 "));

  const std::wstring path = L"C:\\Users\\Somebody\\Application Data\\Harvane6\\Logs\\backup-of-the-day.log";
  p = WrapPrintLine(path, 600, Fixed);
  ASSERT_GE(p.size(), 2u);
  EXPECT_EQ(p[0], L"C:\\Users\\Somebody\\");
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    EXPECT_LT(Fixed(p[i]), 600);
    const wchar_t last = p[i].back();
    EXPECT_TRUE(last == L' ' || last == L'\\' || last == L'}') << p[i];
  }
  std::wstring joined = p[0];
  for (size_t i = 1; i < p.size(); ++i) joined += p[i].substr(2);
  EXPECT_EQ(joined, path);
  EXPECT_EQ(WrapPrintLine(L"short", 1000, Fixed), std::vector<std::wstring>{L"short"});
  EXPECT_THROW(WrapPrintLine(L"abc", 10, Fixed), EPrintError);
}

TEST(PrintTextTest, MarginsWithoutRoomAreAnErrorNotAnEndlessLoop) {
  TPrinterSettings s;
  s.Margins.Left = 1500;
  s.Margins.Right = 600;
  EXPECT_THROW(LayoutPrintPages({L"a"}, L"T", L"f", MakePrintLayout(s, 210, 297), Fixed), EPrintError);
  s.Margins.Left = 1950;
  s.Margins.Right = 100;
  EXPECT_THROW(LayoutPrintPages({L"a"}, L"T", L"f", MakePrintLayout(s, 210, 297), Fixed), EPrintError);
  s = {};
  s.Margins.Top = 2900;
  EXPECT_THROW(LayoutPrintPages({L"a"}, L"T", L"f", MakePrintLayout(s, 210, 297), Fixed), EPrintError);
}

std::vector<std::wstring> MetafileTexts(HENHMETAFILE emf) {
  std::vector<std::wstring> texts;
  EnumEnhMetaFile(
      nullptr, emf,
      [](HDC, HANDLETABLE*, const ENHMETARECORD* rec, int, LPARAM lp) -> int {
        if (rec->iType == EMR_EXTTEXTOUTW) {
          const auto* r = reinterpret_cast<const EMREXTTEXTOUTW*>(rec);
          const auto* chars = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(rec) + r->emrtext.offString);
          reinterpret_cast<std::vector<std::wstring>*>(lp)->emplace_back(chars, r->emrtext.nChars);
        }
        return 1;
      },
      &texts, nullptr);
  return texts;
}

TEST(PrintTextTest, ALongLogPrintsToPagesWithHeadersAndWrappedLines) {
  TPrinterSettings s;  // margins 200/150/100/150, 10 points: line height 35, step 38
  const TPrintLayout layout = MakePrintLayout(s, 210, 297);
  EXPECT_EQ(layout.PageHeight, 2820);
  EXPECT_EQ(layout.RightLimit, 2000);
  EXPECT_EQ(layout.LineHeight, 35);
  std::vector<std::wstring> lines;
  for (int i = 0; i < 200; ++i) lines.push_back(L"line " + std::to_wstring(i));
  lines[100] = std::wstring(150, L'#');  // 1800 units of room: 89 characters, then "* " and the other 61
  const std::wstring file = L"C:\\Logs\\backup.log";
  const auto pages = LayoutPrintPages(lines, L"Backup log", file, layout, Fixed);
  // First line at 150 + 2 * 38 + 20 = 246; lines start while y < 2820: 68 per page.
  ASSERT_EQ(pages.size(), 3u);  // 202 printed lines

  for (size_t n = 0; n < pages.size(); ++n) {
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    SetPrintMapping(dc);
    RenderPrintPage(dc, pages[n], layout);
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    ASSERT_NE(emf, nullptr);
    const auto texts = MetafileTexts(emf);
    DeleteEnhMetaFile(emf);
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0], L"Backup log");
    EXPECT_EQ(texts[1], L"Page: " + std::to_wstring(n + 1));
    EXPECT_EQ(texts[2], L"File: " + file);
    if (n == 0) {
      EXPECT_EQ(texts[3], L"line 0");
      EXPECT_EQ(texts.size(), 3u + 68u);
      EXPECT_EQ(texts.back(), L"line 67");
    }
    if (n == 1) {
      const auto it = std::find(texts.begin(), texts.end(), std::wstring(89, L'#'));
      ASSERT_NE(it, texts.end());
      EXPECT_EQ(*(it + 1), L"* " + std::wstring(61, L'#'));
    }
  }
  // Every line of a page starts below the header and above the bottom limit.
  for (const auto& page : pages)
    for (const auto& item : page) EXPECT_LT(item.Y, layout.PageHeight);
}

TEST(PrinterSettingsTest, IniKeysRoundTripAndBadOrientationIsPortrait) {
  hvtest::TempDir dir;
  const std::wstring ini = dir / L"Harvane.ini";
  TPrinterSettings s = LoadPrinterSettings(ini, L"Printer");
  EXPECT_EQ(s.Margins.Left, 200);
  EXPECT_EQ(s.FontName, L"Courier New");
  s.PrtName = L"Office";
  s.Margins = {120, 130, 140, 160};
  s.FontName = L"Lucida Console";
  s.FontSize = 9;
  s.FontStyle = 3;
  s.Orientation = TPrinterOrientation::poLandscape;
  SavePrinterSettings(ini, L"Printer", s);
  const TPrinterSettings r = LoadPrinterSettings(ini, L"Printer");
  EXPECT_EQ(r.PrtName, L"Office");
  EXPECT_EQ(r.Margins.Left, 120);
  EXPECT_EQ(r.Margins.Top, 130);
  EXPECT_EQ(r.Margins.Right, 140);
  EXPECT_EQ(r.Margins.Bottom, 160);
  EXPECT_EQ(r.FontName, L"Lucida Console");
  EXPECT_EQ(r.FontSize, 9);
  EXPECT_EQ(r.FontStyle, 3);
  EXPECT_EQ(r.Orientation, TPrinterOrientation::poLandscape);
  {
    TMemIniFile f(ini);
    f.WriteInteger(L"Printer", L"Orientation", 7);
    f.UpdateFile();
  }
  EXPECT_EQ(LoadPrinterSettings(ini, L"Printer").Orientation, TPrinterOrientation::poPortrait);
  EXPECT_EQ(LoadPrinterSettings(ini, L"").Margins.Left, 200);
}

}  // namespace
}  // namespace hv
