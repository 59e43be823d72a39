#pragma once
// UTF-8 <-> UTF-16 and ANSI <-> UTF-16, the one set of converters of the suite. Invalid input is
// replaced, not refused.
#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

// What Utf8ToWide makes of bytes that are no valid UTF-8: U+FFFD, or (ueKeep) one lone surrogate
// U+DC80..U+DCFF per byte, which WideToUtf8 with ueKeep turns back into the same byte.
enum class TUtf8Errors : uint8_t { ueReplace, ueKeep };

std::wstring Utf8ToWide(std::string_view s, TUtf8Errors errors = TUtf8Errors::ueReplace);
std::string WideToUtf8(std::wstring_view s, TUtf8Errors errors = TUtf8Errors::ueReplace);
// True when s is well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF).
bool IsValidUtf8(std::string_view s);
// Single-byte text in the system's ANSI code page.
std::wstring AnsiToWide(std::string_view s);
std::string WideToAnsi(std::wstring_view s);
// True when every character of s has its own code in the ANSI code page (no replacement, no
// best-fit look-alike), so that WideToAnsi keeps the text.
bool IsAnsiText(std::wstring_view s);

}  // namespace hv
