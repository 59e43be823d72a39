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

}  // namespace

std::wstring Utf8ToWide(std::string_view s) { return ToWide(CP_UTF8, s); }
std::string WideToUtf8(std::wstring_view s) { return FromWide(CP_UTF8, s); }
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
