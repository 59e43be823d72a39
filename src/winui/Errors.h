#pragma once
// The suite's exception root and Windows error texts; the lowest layer, so that winui reports
// and raises them too.
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

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

// The text of an exception for the user: Message() of the suite's exceptions, what() of others,
// "Unknown error" for anything else. Never fails.
std::wstring ExceptionMessage(const std::exception_ptr& e) noexcept;

}  // namespace hv
