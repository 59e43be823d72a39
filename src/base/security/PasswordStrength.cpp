#include "base/security/PasswordStrength.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace hv {

namespace {

enum TCharClass { ccUpper, ccLower, ccDigit, ccSymbol };

TCharClass ClassOf(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return ccUpper;
  if (c >= L'a' && c <= L'z') return ccLower;
  if (c >= L'0' && c <= L'9') return ccDigit;
  return ccSymbol;
}

// Three-character slices of alphabet found in s, forwards or backwards (each slice once).
int32_t CountSequences(std::wstring_view s, std::wstring_view alphabet) {
  int32_t count = 0;
  for (size_t i = 0; i + 3 <= alphabet.size(); ++i) {
    std::wstring_view slice = alphabet.substr(i, 3);
    if (s.find(slice) != std::wstring_view::npos || s.find(ReversedText(slice)) != std::wstring_view::npos) ++count;
  }
  return count;
}

}  // namespace

std::wstring ReversedText(std::wstring_view text) { return std::wstring(text.rbegin(), text.rend()); }

TPasswordAnalysis AnalyzePassword(std::wstring_view password) {
  TPasswordAnalysis a;
  std::wstring pwd;
  for (wchar_t c : password)
    if (c != L' ') pwd += c;
  const int32_t n = static_cast<int32_t>(pwd.size());
  a.Length = n;

  int32_t last[4] = {-2, -2, -2, -2};
  int32_t* counts[4] = {&a.Upper, &a.Lower, &a.Digits, &a.Symbols};
  int32_t* consec[4] = {&a.ConsecUpper, &a.ConsecLower, &a.ConsecDigits, &a.ConsecSymbols};
  for (int32_t i = 0; i < n; ++i) {
    TCharClass cls = ClassOf(pwd[i]);
    if ((cls == ccDigit || cls == ccSymbol) && i > 0 && i < n - 1) ++a.Middle;
    if (last[cls] == i - 1) {
      ++*consec[cls];
      ++a.ConsecAny;
    }
    last[cls] = i;
    ++*counts[cls];
  }

  for (int32_t i = 0; i < n; ++i) {
    bool exists = false;
    for (int32_t j = 0; j < n; ++j)
      if (j != i && pwd[j] == pwd[i]) {
        exists = true;
        a.RepeatIncrement += static_cast<double>(n) / std::abs(j - i);
      }
    if (exists) {
      ++a.Repeated;
      a.Unique = n - a.Repeated;
      a.RepeatIncrement = std::ceil(a.Unique ? a.RepeatIncrement / a.Unique : a.RepeatIncrement);
    }
  }

  std::wstring lower(pwd);
  for (wchar_t& c : lower)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  a.SeqLetters = CountSequences(lower, L"abcdefghijklmnopqrstuvwxyz");
  a.SeqDigits = CountSequences(lower, L"0123456789");
  a.SeqSymbols = CountSequences(lower, L"!@#$%^&+-/*=?()[]{}~");
  a.SeqAny = a.SeqLetters + a.SeqDigits + a.SeqSymbols;

  const int32_t letters = a.Upper + a.Lower;
  if (letters > 0 && a.Symbols == 0 && a.Digits == 0) a.LettersOnly = n;
  if (letters == 0 && a.Symbols == 0 && a.Digits > 0) a.DigitsOnly = n;

  a.Requirements = (n >= 8) + (a.Upper >= 1) + (a.Lower >= 1) + (a.Digits >= 1) + (a.Symbols >= 1);
  return a;
}

int32_t PasswordPoints(const TPasswordAnalysis& a) {
  const int32_t n = a.Length;
  int32_t p = n * 4;
  if (a.Upper > 0 && a.Upper < n) p += (n - a.Upper) * 2;
  if (a.Lower > 0 && a.Lower < n) p += (n - a.Lower) * 2;
  if (a.Digits > 0 && a.Digits < n) p += a.Digits * 4;
  p += a.Symbols * 6;
  if (a.DigitsOnly == 0) p += a.Middle * 2;
  if (a.Requirements > 3) p += a.Requirements * 2;
  p -= a.LettersOnly + a.DigitsOnly;
  p -= static_cast<int32_t>(a.RepeatIncrement);
  p -= 2 * (a.ConsecUpper + a.ConsecLower + a.ConsecDigits);
  p -= 3 * a.SeqAny;
  return std::clamp(p, 0, 500);
}

int32_t PasswordScore(const TPasswordAnalysis& a) {
  const double quality = (1.0 - std::exp(-PasswordPoints(a) / 100.0) / 0.993) * 100.0;
  return quality < 0 ? 0 : static_cast<int32_t>(std::nearbyint(quality));
}

int32_t PasswordQuality(std::wstring_view password) { return PasswordScore(AnalyzePassword(password)); }

}  // namespace hv
