#include "hvwatchdog/copy/CopySysUtils.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstring>

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

std::wstring PathFromParent(std::wstring_view path, std::wstring& name) {
  size_t p = path.find_last_of(L"\\/");
  if (p == std::wstring_view::npos) {
    name = path;
    return L".";
  }
  name = path.substr(p + 1);
  return std::wstring(path.substr(0, p == 2 && path[1] == L':' ? 3 : p));
}

}  // namespace

uint32_t FindFirstDataStream(std::wstring_view fileName, TStreamSearchRec& rec) {
  rec = TStreamSearchRec{};
  static const auto fn = Kernel32Function<FindFirstStreamFn>("FindFirstStreamW");
  if (!fn) return ERROR_CALL_NOT_IMPLEMENTED;
  TFindStreamData data{};
  std::wstring n(fileName);
  HANDLE h = fn(n.c_str(), 0, &data, 0);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  rec.Handle = h;
  rec.StreamSize = data.StreamSize.QuadPart;
  rec.StreamName.assign(data.cStreamName, wcsnlen(data.cStreamName, std::size(data.cStreamName)));
  return 0;
}

uint32_t FindNextDataStream(TStreamSearchRec& rec) {
  static const auto fn = Kernel32Function<FindNextStreamFn>("FindNextStreamW");
  if (!fn) return ERROR_CALL_NOT_IMPLEMENTED;
  TFindStreamData data{};
  if (!fn(rec.Handle, &data)) return GetLastError();
  rec.StreamSize = data.StreamSize.QuadPart;
  rec.StreamName.assign(data.cStreamName, wcsnlen(data.cStreamName, std::size(data.cStreamName)));
  return 0;
}

void FindCloseDataStream(TStreamSearchRec& rec) {
  if (rec.Handle != INVALID_HANDLE_VALUE && rec.Handle) FindClose(rec.Handle);
  rec.Handle = INVALID_HANDLE_VALUE;
}

std::wstring GetTempFolder() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetTempPathW(static_cast<DWORD>(std::size(buf)), buf);
  return n && n < std::size(buf) ? std::wstring(buf, n) : std::wstring();
}

long ShellItemCopy(void* owner, std::wstring_view source, std::wstring_view dest, bool quiet) {
  using Microsoft::WRL::ComPtr;
  bool coInit = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  HRESULT hr;
  {
    ComPtr<IFileOperation> op;
    hr = CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&op));
    if (SUCCEEDED(hr)) hr = op->SetOwnerWindow(static_cast<HWND>(owner));
    if (SUCCEEDED(hr)) hr = op->SetOperationFlags(quiet ? 0x102694 : 0x2080);
    std::wstring destName;
    std::wstring destDir = PathFromParent(dest, destName);
    ComPtr<IShellItem> from, to;
    if (SUCCEEDED(hr)) hr = SHCreateItemFromParsingName(std::wstring(source).c_str(), nullptr, IID_PPV_ARGS(&from));
    if (SUCCEEDED(hr)) hr = SHCreateItemFromParsingName(destDir.c_str(), nullptr, IID_PPV_ARGS(&to));
    if (SUCCEEDED(hr)) hr = op->CopyItem(from.Get(), to.Get(), destName.c_str(), nullptr);
    if (SUCCEEDED(hr)) hr = op->PerformOperations();
    BOOL aborted = FALSE;
    if (SUCCEEDED(hr) && SUCCEEDED(op->GetAnyOperationsAborted(&aborted)) && aborted) hr = E_ABORT;
  }
  if (coInit) CoUninitialize();
  return hr;
}

int ShellFileCopy(void* owner, std::wstring_view source, std::wstring_view dest, std::wstring_view title, bool quiet) {
  // Both lists end with two zero characters.
  std::wstring from(source), to(dest), t(title);
  from.push_back(L'\0');
  to.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = static_cast<HWND>(owner);
  op.wFunc = FO_COPY;
  op.pFrom = from.c_str();
  op.pTo = to.c_str();
  op.fFlags = static_cast<FILEOP_FLAGS>(quiet ? 0x2695 : 0x2081);
  op.lpszProgressTitle = t.c_str();
  int rc = SHFileOperationW(&op);
  if (rc == 0 && op.fAnyOperationsAborted) rc = ERROR_CANCELLED;
  return rc;
}

}  // namespace hv
