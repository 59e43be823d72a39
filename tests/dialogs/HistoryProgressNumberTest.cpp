// History lists, progress geometry and number texts: the parts that need no window.
#include <gtest/gtest.h>

#include "base/settings/IniFileUtils.h"
#include "dialogs/HListBox.h"
#include "dialogs/NumberEd.h"
#include "dialogs/Prgrss.h"
#include "support/TestSupport.h"

namespace hv {
namespace {

using Lines = std::vector<std::wstring>;

Lines Added(std::initializer_list<const wchar_t*> texts, int maxLen = THistoryList::kDefaultMaxLen) {
  THistoryList h;
  h.SetMaxLen(maxLen);
  for (auto t : texts) h.AddString(t);
  return h.Strings();
}

TEST(HistoryListTest, NewestFirstWithoutRegardToCaseAndAtMostMaxLen) {
  EXPECT_EQ(Added({L"a", L"b", L"A"}), (Lines{L"A", L"b"}));
  EXPECT_EQ(Added({L"a", L"", L"b"}), (Lines{L"b", L"a"}));
  EXPECT_EQ(Added({L"1", L"2", L"3", L"4"}, 3), (Lines{L"4", L"3", L"2"}));
  THistoryList h;
  for (auto t : {L"x", L"y", L"z"}) h.AddString(t);
  h.SetMaxLen(0);
  h.SetMaxLen(101);
  EXPECT_EQ(h.MaxLen(), THistoryList::kDefaultMaxLen);
  h.SetMaxLen(2);
  EXPECT_EQ(h.Strings(), (Lines{L"z", L"y"}));
  h.RemString(L"Z");
  EXPECT_EQ(h.Strings(), (Lines{L"y"}));
  h.AssignList({L"1", L"2", L"3"});
  EXPECT_EQ(h.Strings(), (Lines{L"1", L"2"}));
}

TEST(HistoryListTest, MirrorsItselfAfterTheOwnLinesOfAnotherList) {
  Lines other{L"own"};
  THistoryList h;
  h.SetStrList(&other);
  h.AddString(L"a");
  h.AddString(L"b");
  EXPECT_EQ(other, (Lines{L"own", L"b", L"a"}));
  h.ClearAll();
  EXPECT_EQ(other, (Lines{L"own"}));
  h.AddString(L"c");
  h.SetStrList(nullptr);
  EXPECT_EQ(other, (Lines{L"own"}));
}

// UTF-16LE with byte-order mark, as the suite's INI files are.
std::string Utf16File(std::wstring_view text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TEST(HistoryListTest, RoundTripsThroughAnIniSectionByteExact) {
  hvtest::TempDir dir;
  const std::wstring file = dir / L"hist.ini";
  const std::wstring text =
      L"[Config]\r\nKey=1\r\n[Subjects]\r\nHistory0=Backup \u00e4\u20ac done\r\nHistory1=?\r\n"
      L"History2=second\r\n[Other]\r\nx=y\r\n";
  ASSERT_TRUE(hvtest::WriteBytes(file, Utf16File(text)));
  THistoryList h;
  h.LoadFromIni(file, L"Subjects");
  EXPECT_EQ(h.Strings(), (Lines{L"Backup \u00e4\u20ac done", L" ", L"second"}));
  h.SaveToIni(file, L"Subjects", false);
  EXPECT_EQ(hvtest::ReadBytes(file), Utf16File(text));
  EXPECT_EQ(h[1], L" ") << "saving leaves the list as it is";

  // Erasing drops the keys of a longer history; gaps and duplicates are skipped on reading.
  THistoryList shorter;
  shorter.AddString(L"only");
  shorter.SaveToIni(file, L"Subjects", true);
  TMemIniFile ini(file);
  EXPECT_EQ(ini.ReadSection(L"Subjects"), (Lines{L"History0"}));
  EXPECT_EQ(ini.Encoding(), TIniEncoding::ieUtf16LE);
  EXPECT_EQ(hvtest::ReadBytes(file).substr(0, 2), "\xFF\xFE");

  ASSERT_TRUE(hvtest::WriteBytes(
      file, Utf16File(L"[H]\r\nHistory0=a\r\nHistory1=\r\nHistory2=A\r\nHistory4=e\r\nHistory20=late\r\n")));
  h.SetMaxLen(5);
  h.LoadFromIni(file, L"H");
  EXPECT_EQ(h.Strings(), (Lines{L"a", L"e"}));
}

TEST(HistoryListTest, ANewFileIsWrittenAsUtf16) {
  hvtest::TempDir dir;
  THistoryList h;
  h.AddString(L"x");
  h.SaveToIni(dir / L"new.ini", L"S", true);
  EXPECT_EQ(hvtest::ReadBytes(dir / L"new.ini"), Utf16File(L"[S]\r\nHistory0=x\r\n"));
}

TEST(ProgressTest, BarGeometry) {
  TNewProgressBar bar;
  bar.SetPosition(40);
  RECT r = bar.BarRect(151, 11);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.right - r.left, 59);  // 147 * 40 / 100, rounded
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.bottom, 9);
  r = bar.BarRect(151, 3);  // inset 0 on a thin bar
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.bottom, 3);
  // An empty range shows no bar (no division by zero); positions outside the range are clamped.
  bar.SetMax(0);
  r = bar.BarRect(151, 11);
  EXPECT_EQ(r.right - r.left, 0);
  bar.SetMax(100);
  bar.SetPosition(250);
  r = bar.BarRect(151, 11);
  EXPECT_EQ(r.right, 149);
}

TEST(ProgressTest, NudgeStepsAfterMoreThanIntervalNudges) {
  TCustomProgress p;
  int steps = 0;
  p.OnIncrement = [&] { ++steps; };
  p.Nudge();
  EXPECT_EQ(steps, 0) << "only in psNudge";
  p.SetProgressStatus(TProgressStatus::psNudge);
  for (int i = 0; i < 10; ++i) p.Nudge();
  EXPECT_EQ(steps, 0);
  p.Nudge();
  EXPECT_EQ(steps, 1);
  EXPECT_EQ(p.Current(), 2);
  EXPECT_FALSE(p.TimerRunning());
}

TEST(NumberEditTest, TextsOfTheModes) {
  struct Case {
    TNumMode Mode;
    int Bits;
    bool Bytes, Prefix;
    int64_t Value;
    const wchar_t* Text;
  } cases[] = {
      {TNumMode::nmDecimal, 32, false, true, -42, L"-42"},
      {TNumMode::nmHex, 16, true, true, 0x1234, L"$12_$34"},
      {TNumMode::nmHex, 32, false, true, 0xBEEF, L"$0000BEEF"},  // 8 digits for 32 bits
      {TNumMode::nmHex, 32, false, false, 255, L"000000FF"},
      {TNumMode::nmOctal, 32, false, true, 8, L"%00000000010"},  // 11 digits
      {TNumMode::nmZeroDec, 32, false, true, 7, L"0000000007"},  // 10 digits
      {TNumMode::nmBin, 8, false, true, 5, L"!00000101"},
  };
  for (const auto& c : cases) {
    TNumberEdit e;
    e.SetNumMode(c.Mode);
    e.SetBits(c.Bits);
    e.SetBytes(c.Bytes);
    e.SetPrefix(c.Prefix);
    EXPECT_EQ(e.ValueText(c.Value), c.Text);
  }
  TNumberEdit e;
  e.SetBits(0);
  EXPECT_EQ(e.Bits(), 32);
}

TEST(NumberEditTest, RangeErrorTexts) {
  TRangeEdit e;
  e.SetMinValue(1);
  e.SetMaxValue(99);
  EXPECT_EQ(e.RangeErrorText(), L"Range check error (1 .. 99)");
  e.SetNumMode(TNumMode::nmHex);
  EXPECT_EQ(e.RangeErrorText(), L"Range check error ($1 .. $63)");
}

}  // namespace
}  // namespace hv
