#include "base/security/PasswordStrength.h"

#include <gtest/gtest.h>

using namespace hv;

TEST(PasswordStrength, PointsAndQuality) {
  struct Case {
    const wchar_t* pwd;
    int32_t points, quality;
  } cases[] = {
      {L"", 0, 0},
      {L"   ", 0, 0},
      {L"abc", 2, 1},           // 12 - 3 letters only - 4 consecutive - 3 sequence
      {L"a b c", 2, 1},         // blanks do not count
      {L"01234567", 0, 0},      // the middle bonus does not count for digits only
      {L"aaaa", 0, 0},          // repeat increment 25
      {L"Kmppa7rz#", 70, 50},   // 80 bonus, 2 for the repeat, 8 for four consecutive lower-case
      {L"ABCD", 0, 0},          // no upper-case bonus without another class; "abc", "bcd" sequences
      {L"XQZW", 6, 5},          // 16 - 4 letters only - 6 consecutive upper-case
      {L"cba!", 17, 15},        // 16 + 2 + 6 - 4 consecutive - 3 for the reversed sequence
      {L"a1!A a1!A a1!A a1!A a1!A", 189, 85},  // 220 bonus, repeat increment 31
  };
  for (const auto& c : cases) {
    TPasswordAnalysis a = AnalyzePassword(c.pwd);
    EXPECT_EQ(PasswordPoints(a), c.points) << c.pwd;
    EXPECT_EQ(PasswordScore(a), c.quality) << c.pwd;
    EXPECT_EQ(PasswordQuality(c.pwd), c.quality) << c.pwd;
  }
}

TEST(PasswordStrength, Analysis) {
  TPasswordAnalysis a = AnalyzePassword(L"aaaa");
  EXPECT_EQ(a.RepeatIncrement, 25);
  EXPECT_EQ(a.Repeated, 4);
  EXPECT_EQ(a.Unique, 0);
  EXPECT_EQ(a.ConsecLower, 3);

  a = AnalyzePassword(L"Kmppa7rz#");
  EXPECT_EQ(a.Length, 9);
  EXPECT_EQ(a.Upper, 1);
  EXPECT_EQ(a.Lower, 6);
  EXPECT_EQ(a.Digits, 1);
  EXPECT_EQ(a.Symbols, 1);
  EXPECT_EQ(a.Middle, 1);
  EXPECT_EQ(a.Requirements, 5);
  EXPECT_EQ(a.RepeatIncrement, 2);
  EXPECT_EQ(a.ConsecLower, 4);
  EXPECT_EQ(a.SeqAny, 0);

  a = AnalyzePassword(L"xyz987#@!\x00E9");
  EXPECT_EQ(a.SeqLetters, 1);
  EXPECT_EQ(a.SeqDigits, 1);
  EXPECT_EQ(a.SeqSymbols, 1) << "\"!@#\" reversed";
  EXPECT_EQ(a.Symbols, 4) << "a letter outside ASCII is a symbol";
  EXPECT_EQ(a.ConsecSymbols, 3);
  EXPECT_EQ(a.ConsecAny, 2 + 2 + 3);
}

TEST(PasswordStrength, QualityNeverReaches100) {
  EXPECT_EQ(PasswordQuality(L"Aa1!Bb2@Cc3#Dd4$Ee5%Ff6^Gg7&Hh8*Ii9(Jj0)Kk1-Ll2+Mm3=Nn4[Oo5]Pp6{Qq7}Rr8~Ss9?Tt0/Uu1<Vv2>Ww3"),
            99);
  EXPECT_EQ(ReversedText(L"ab\x00E9"), L"\x00E9" L"ba");
}
