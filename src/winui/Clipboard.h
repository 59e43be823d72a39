#pragma once
// Text on the clipboard (CF_UNICODETEXT).
#include <windows.h>

#include <string>
#include <string_view>

namespace hv {

bool ClipboardHasText();
// False when the clipboard cannot be opened (another program holds it) or holds no text.
bool GetClipboardText(std::wstring& text);
// Replaces the clipboard's contents; false (with the last error set) when that failed.
bool SetClipboardText(std::wstring_view text, HWND owner = nullptr);

}  // namespace hv
