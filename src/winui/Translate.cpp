#include "winui/Translate.h"

namespace hv {

// No catalogues are loaded yet: every text stays English.
std::wstring _(std::wstring_view msgid) { return std::wstring(msgid); }

}  // namespace hv
