#include "winui/Clipboard.h"

#include <cstring>

namespace hv {
namespace {

// Another program may hold the clipboard for a moment: try a few times.
class TClipboardScope {
 public:
  explicit TClipboardScope(HWND owner) {
    for (int i = 0; i < 10 && !FOpen; ++i) {
      FOpen = OpenClipboard(owner) != FALSE;
      if (!FOpen) Sleep(10);
    }
  }
  ~TClipboardScope() {
    if (FOpen) CloseClipboard();
  }
  TClipboardScope(const TClipboardScope&) = delete;
  TClipboardScope& operator=(const TClipboardScope&) = delete;
  bool Open() const { return FOpen; }

 private:
  bool FOpen = false;
};

}  // namespace

bool ClipboardHasText() { return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE; }

bool GetClipboardText(std::wstring& text) {
  TClipboardScope clip(nullptr);
  if (!clip.Open()) return false;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return false;
  auto* p = static_cast<const wchar_t*>(GlobalLock(data));
  if (!p) return false;
  size_t max = GlobalSize(data) / sizeof(wchar_t);
  size_t n = 0;
  while (n < max && p[n]) ++n;
  text.assign(p, n);
  GlobalUnlock(data);
  return true;
}

bool SetClipboardText(std::wstring_view text, HWND owner) {
  TClipboardScope clip(owner);
  if (!clip.Open()) return false;
  if (!EmptyClipboard()) return false;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (!mem) return false;
  auto* p = static_cast<wchar_t*>(GlobalLock(mem));
  std::memcpy(p, text.data(), text.size() * sizeof(wchar_t));
  p[text.size()] = L'\0';
  GlobalUnlock(mem);
  if (!SetClipboardData(CF_UNICODETEXT, mem)) {
    DWORD e = GetLastError();
    GlobalFree(mem);
    SetLastError(e);
    return false;
  }
  return true;
}

}  // namespace hv
