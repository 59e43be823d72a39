#pragma once
// Thunderbird fixture trees for the QlBackup tests.
#include <string>

namespace qltest {

// Copies tests/fixtures/thunderbird/<variant> into dir (profiles.ini with "@ROOT@" replaced by
// dir); returns dir with a trailing "\".
std::wstring CopyThunderbird(const std::wstring& variant, const std::wstring& dir);
// A file's text, read as UTF-16LE with byte-order mark.
std::wstring ReadUtf16File(const std::wstring& name);

}  // namespace qltest
