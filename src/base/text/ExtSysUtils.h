#pragma once
// Formatting that never throws; the suite's exceptions and Windows error texts (from winui).
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "winui/Errors.h"

namespace hv {

// Exception, EConvertError, EOSError and SystemErrorText: see winui/Errors.h.

// Locale values used when numbers are formatted; a copy of the user's settings taken once.
struct TFormatSettings {
  wchar_t DecimalSeparator = L'.';
  wchar_t ThousandSeparator = L',';
  // "%m": symbol, placement of positive (0-3) and negative (0-15) amounts as Windows numbers them, decimals.
  std::wstring CurrencyString = L"$";
  uint8_t CurrencyFormat = 0;
  uint8_t NegCurrFormat = 0;
  uint8_t CurrencyDecimals = 2;
};
// The process-wide copy (read from the user's locale on first use).
TFormatSettings& FormatSettings();

// One argument of a format pattern.
class TFormatArg {
 public:
  enum class Kind { Int32, Int64, UInt64, Float, Char, String, Pointer };

  TFormatArg(int v) : FKind(Kind::Int32), FInt(v) {}
  TFormatArg(long v) : FKind(Kind::Int32), FInt(v) {}
  TFormatArg(long long v) : FKind(Kind::Int64), FInt(v) {}
  TFormatArg(unsigned v) : FKind(Kind::Int64), FInt(v) {}
  TFormatArg(unsigned long v) : FKind(Kind::Int64), FInt(v) {}
  TFormatArg(unsigned long long v) : FKind(Kind::UInt64), FInt(static_cast<int64_t>(v)) {}
  TFormatArg(double v) : FKind(Kind::Float), FFloat(v) {}
  TFormatArg(wchar_t c) : FKind(Kind::Char), FStr(1, c) {}
  TFormatArg(const wchar_t* s) : FKind(Kind::String), FStr(s ? s : L"") {}
  TFormatArg(std::wstring s) : FKind(Kind::String), FStr(std::move(s)) {}
  TFormatArg(std::wstring_view s) : FKind(Kind::String), FStr(s) {}
  TFormatArg(const void* p) : FKind(Kind::Pointer), FInt(static_cast<int64_t>(reinterpret_cast<uintptr_t>(p))) {}
  TFormatArg(bool) = delete;
  TFormatArg(const char*) = delete;

  Kind GetKind() const { return FKind; }
  int64_t Int() const { return FInt; }
  double Float() const { return FFloat; }
  const std::wstring& Str() const { return FStr; }

 private:
  Kind FKind;
  int64_t FInt = 0;
  double FFloat = 0;
  std::wstring FStr;
};

// Delphi-style formatting: %[index:][-][width][.precision]type with the types d u x e f g n m p s
// (either case) and %% for a percent sign; "*" takes width or precision from the arguments.
// Raises EConvertError for a bad pattern, a missing argument or an argument of the wrong type.
std::wstring FormatV(std::wstring_view pattern, std::span<const TFormatArg> args);
std::wstring FormatV(std::wstring_view pattern, std::span<const TFormatArg> args, const TFormatSettings& fs);
// "Format error: " followed by the pattern; never raises.
std::wstring FormatErrorText(std::wstring_view pattern) noexcept;
// FormatV that never raises: a failure gives "Format error: " followed by the pattern.
std::wstring SafeFormatV(std::wstring_view pattern, std::span<const TFormatArg> args) noexcept;

template <class... A>
std::wstring Format(std::wstring_view pattern, const A&... args) {
  const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
  return FormatV(pattern, std::span<const TFormatArg>(list, sizeof...(A)));
}

template <class... A>
std::wstring SafeFormat(std::wstring_view pattern, const A&... args) noexcept {
  try {
    const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
    return SafeFormatV(pattern, std::span<const TFormatArg>(list, sizeof...(A)));
  } catch (...) {
    return FormatErrorText(pattern);
  }
}

}  // namespace hv
