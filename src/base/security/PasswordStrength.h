#pragma once
// Password quality in percent (0 to 99) from character classes, repetitions, runs of one class
// and alphabetic, numeric and symbol sequences.
#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

struct TPasswordAnalysis {
  int32_t Length = 0;  // after blanks are removed
  int32_t Upper = 0, Lower = 0, Digits = 0, Symbols = 0;
  int32_t Middle = 0;  // digits and symbols neither first nor last
  int32_t Requirements = 0;
  int32_t LettersOnly = 0, DigitsOnly = 0;
  int32_t Unique = 0, Repeated = 0;
  double RepeatIncrement = 0;
  int32_t ConsecUpper = 0, ConsecLower = 0, ConsecDigits = 0, ConsecSymbols = 0, ConsecAny = 0;
  int32_t SeqLetters = 0, SeqDigits = 0, SeqSymbols = 0, SeqAny = 0;
};

TPasswordAnalysis AnalyzePassword(std::wstring_view password);
// Bonus less penalty points, limited to 0..500.
int32_t PasswordPoints(const TPasswordAnalysis& a);
// The quality of the analysed password, 0..99.
int32_t PasswordScore(const TPasswordAnalysis& a);
int32_t PasswordQuality(std::wstring_view password);
std::wstring ReversedText(std::wstring_view text);

}  // namespace hv
