#include "winui/Errors.h"

#include <windows.h>

#include <cwchar>

#include "winui/Translate.h"
#include "winui/Unicode.h"

namespace hv {
namespace {

std::wstring Hex8(uint32_t v) {
  wchar_t buf[16];
  swprintf(buf, std::size(buf), L"0x%.8X", v);
  return buf;
}

// The system's message for a code, with trailing blanks, control characters and full stops removed.
std::wstring SystemMessage(uint32_t code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                           nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buf),
                           0, nullptr);
  std::wstring text;
  if (n && buf) text.assign(buf, n);
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) text.pop_back();
  return text;
}

}  // namespace

Exception::Exception(std::wstring message) : FMessage(std::move(message)), FWhat(WideToUtf8(FMessage)) {}

EOSError::EOSError(std::wstring_view call, uint32_t code, std::wstring_view context)
    : Exception(std::wstring(call) + (context.empty() ? L"" : L" (" + std::wstring(context) + L")") + L": " +
                SystemErrorText(code)),
      FCall(call),
      FCode(code),
      FContext(context) {}

unsigned WindowsMajorVersion() {
  static const unsigned major = [] {
    // RtlGetVersion is not subject to the compatibility shims of GetVersionEx.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
      auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
      if (fn && fn(&vi) == 0) return static_cast<unsigned>(vi.dwMajorVersion);
    }
    return 6u;
  }();
  return major;
}

std::wstring SystemErrorTextForVersion(uint32_t errorCode, unsigned majorVersion) {
  try {
    if (majorVersion >= 6) {
      std::wstring text = SystemMessage(errorCode);
      if (!text.empty()) return text + L" (" + Hex8(errorCode) + L")";
      return _(L"Error code") + L" = " + Hex8(errorCode);
    }
    std::wstring text;
    switch ((errorCode >> 16) & 0x7FF) {
      case 0:
      case 7: text = SystemMessage(errorCode & 0xFFFF); break;
      case 1: text = _(L"Remote procedure call error"); break;
      case 2: text = _(L"Dispatch error"); break;
      case 3: text = _(L"Storage error"); break;
      case 8: text = _(L"Windows error"); break;
      case 128: text = _(L"Error in SHFileOperation"); break;
      case 129: text = _(L"ShellExecute error"); break;
      default: text = _(L"Unknown system error code"); break;
    }
    return text + L" (" + Hex8(errorCode) + L")";
  } catch (...) {
    return L"Error code";
  }
}

std::wstring SystemErrorText(uint32_t errorCode) { return SystemErrorTextForVersion(errorCode, WindowsMajorVersion()); }

std::wstring ExceptionMessage(const std::exception_ptr& e) noexcept {
  try {
    try {
      if (e) std::rethrow_exception(e);
    } catch (const Exception& x) {
      return x.Message();
    } catch (const std::exception& x) {
      return Utf8ToWide(x.what());
    } catch (...) {
    }
    return _(L"Unknown error");
  } catch (...) {
    return L"Unknown error";
  }
}

}  // namespace hv
