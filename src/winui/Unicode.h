#pragma once
// UTF-8 <-> UTF-16 and ANSI <-> UTF-16, the one set of converters of the suite. Invalid input is
// replaced, not refused.
#include <string>
#include <string_view>

namespace hv {

std::wstring Utf8ToWide(std::string_view s);
std::string WideToUtf8(std::wstring_view s);
// Single-byte text in the system's ANSI code page.
std::wstring AnsiToWide(std::string_view s);
std::string WideToAnsi(std::wstring_view s);
// True when every character of s has its own code in the ANSI code page (no replacement, no
// best-fit look-alike), so that WideToAnsi keeps the text.
bool IsAnsiText(std::wstring_view s);

}  // namespace hv
