#pragma once
// Copy-error codes: error number in bits 0-7, severity in bits 8-11, operation in bits 12-15.
#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

// The log text of a copy-error code; FileName and Info may be empty.
std::wstring FormatCopyError(int32_t code, std::wstring_view fileName, std::wstring_view info);

}  // namespace hv
