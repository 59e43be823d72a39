#pragma once
// Run-time translation of the suite's texts. The English text is the msgid; without a catalogue
// (or without an entry in it) the English text is returned unchanged.
#include <string>
#include <string_view>

namespace hv {

// Translated text of msgid, searched in the loaded text domains.
std::wstring _(std::wstring_view msgid);

}  // namespace hv
