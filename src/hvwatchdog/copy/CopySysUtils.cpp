#include "hvwatchdog/copy/CopySysUtils.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "base/os/WinShell.h"

namespace hv {

namespace {

struct TFindStreamData {
  LARGE_INTEGER StreamSize;
  WCHAR cStreamName[MAX_PATH + 36];
};
using FindFirstStreamFn = HANDLE(WINAPI*)(LPCWSTR, int, LPVOID, DWORD);
using FindNextStreamFn = BOOL(WINAPI*)(HANDLE, LPVOID);

template <class F>
F Kernel32Function(const char* name) {
  HMODULE k = GetModuleHandleW(L"kernel32.dll");
  return k ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(k, name))) : nullptr;
}

}  // namespace

uint32_t FindFirstDataStream(std::wstring_view fileName, TStreamSearchRec& rec) {
  rec.Handle.Reset();
  rec.StreamSize = 0;
  rec.StreamName.clear();
  static const auto fn = Kernel32Function<FindFirstStreamFn>("FindFirstStreamW");
  if (!fn) return ERROR_CALL_NOT_IMPLEMENTED;
  TFindStreamData data{};
  std::wstring n(fileName);
  rec.Handle.Reset(fn(n.c_str(), 0, &data, 0));
  if (!rec.Handle) return GetLastError();
  rec.StreamSize = data.StreamSize.QuadPart;
  rec.StreamName.assign(data.cStreamName, wcsnlen(data.cStreamName, std::size(data.cStreamName)));
  return 0;
}

uint32_t FindNextDataStream(TStreamSearchRec& rec) {
  static const auto fn = Kernel32Function<FindNextStreamFn>("FindNextStreamW");
  if (!fn) return ERROR_CALL_NOT_IMPLEMENTED;
  TFindStreamData data{};
  if (!fn(rec.Handle.Get(), &data)) return GetLastError();
  rec.StreamSize = data.StreamSize.QuadPart;
  rec.StreamName.assign(data.cStreamName, wcsnlen(data.cStreamName, std::size(data.cStreamName)));
  return 0;
}

void FindCloseDataStream(TStreamSearchRec& rec) { rec.Handle.Reset(); }

std::wstring GetTempFolder() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetTempPathW(static_cast<DWORD>(std::size(buf)), buf);
  return n && n < std::size(buf) ? std::wstring(buf, n) : std::wstring();
}

long ShellItemCopy(void* owner, std::wstring_view source, std::wstring_view dest, bool quiet) {
  return ShellItemOperation(static_cast<HWND>(owner), source, dest, 2, quiet ? 0x102694 : 0x2080);
}

int ShellFileCopy(void* owner, std::wstring_view source, std::wstring_view dest, std::wstring_view title, bool quiet) {
  return ShellFileOperation(static_cast<HWND>(owner), source, dest, title, FO_COPY, quiet ? 0x2695 : 0x2081);
}

}  // namespace hv
