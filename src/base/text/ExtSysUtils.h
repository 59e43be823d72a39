#pragma once
// Exceptions of the suite, Windows error texts and formatting that never throws.
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace hv {

// Root of the suite's exceptions; the message is the user-facing (translated) text.
class Exception : public std::exception {
 public:
  explicit Exception(std::wstring message);
  const std::wstring& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FWhat.c_str(); }

 private:
  std::wstring FMessage;
  std::string FWhat;
};

// A text that cannot be converted (numbers, format patterns and their arguments).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A failed Windows call: the call's name, the error code and what it was working on.
class EOSError : public Exception {
 public:
  EOSError(std::wstring_view call, uint32_t code, std::wstring_view context = {});
  uint32_t ErrorCode() const noexcept { return FCode; }
  const std::wstring& Call() const noexcept { return FCall; }
  const std::wstring& Context() const noexcept { return FContext; }

 private:
  std::wstring FCall;
  uint32_t FCode;
  std::wstring FContext;
};

// Major version of the running Windows (6 for Vista to 8.1, 10 for later ones).
unsigned WindowsMajorVersion();

// Text of a Windows error code or COM result: the system's text and " (0x%.8x)", or
// "Error code = 0x%.8x" when the system has none. Never fails.
std::wstring SystemErrorText(uint32_t errorCode);
// The same, as on a Windows of the given major version (below 6 the facility decides).
std::wstring SystemErrorTextForVersion(uint32_t errorCode, unsigned majorVersion);

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
