#include "winui/Unicode.h"

#include <windows.h>

namespace hv {
namespace {

std::wstring ToWide(UINT codePage, std::string_view s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string FromWide(UINT codePage, std::wstring_view s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string u(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, s.data(), static_cast<int>(s.size()), u.data(), n, nullptr, nullptr);
  return u;
}

// Length of the well-formed sequence at s[i], 0 when the byte there starts none.
size_t SequenceLength(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c >= 0xE0 && c <= 0xEF) n = 3;
  else if (c >= 0xF0 && c <= 0xF4) n = 4;
  else return 0;
  if (c == 0xE0) lo = 0xA0;
  if (c == 0xED) hi = 0x9F;
  if (c == 0xF0) lo = 0x90;
  if (c == 0xF4) hi = 0x8F;
  if (s.size() - i < n) return 0;
  const auto c1 = static_cast<unsigned char>(s[i + 1]);
  if (c1 < lo || c1 > hi) return 0;
  for (size_t k = 2; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

bool IsKeptByte(std::wstring_view s, size_t i) {
  return s[i] >= 0xDC80 && s[i] <= 0xDCFF && (i == 0 || s[i - 1] < 0xD800 || s[i - 1] > 0xDBFF);
}

}  // namespace

std::wstring Utf8ToWide(std::string_view s, TUtf8Errors errors) {
  if (errors == TUtf8Errors::ueReplace || IsValidUtf8(s)) return ToWide(CP_UTF8, s);
  std::wstring w;
  w.reserve(s.size());
  size_t run = 0, i = 0;
  while (i < s.size()) {
    if (const size_t n = SequenceLength(s, i)) {
      i += n;
      continue;
    }
    w += ToWide(CP_UTF8, s.substr(run, i - run));
    w += static_cast<wchar_t>(0xDC00 | static_cast<unsigned char>(s[i]));
    run = ++i;
  }
  w += ToWide(CP_UTF8, s.substr(run));
  return w;
}

std::string WideToUtf8(std::wstring_view s, TUtf8Errors errors) {
  if (errors == TUtf8Errors::ueReplace) return FromWide(CP_UTF8, s);
  std::string u;
  size_t run = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if (IsKeptByte(s, i)) {
      u += FromWide(CP_UTF8, s.substr(run, i - run));
      u += static_cast<char>(s[i] & 0xFF);
      run = i + 1;
    }
  if (run == 0) return FromWide(CP_UTF8, s);
  u += FromWide(CP_UTF8, s.substr(run));
  return u;
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = SequenceLength(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::wstring AnsiToWide(std::string_view s) { return ToWide(CP_ACP, s); }
std::string WideToAnsi(std::wstring_view s) { return FromWide(CP_ACP, s); }

bool IsAnsiText(std::wstring_view s) {
  if (s.empty()) return true;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0,
                              nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}

}  // namespace hv
