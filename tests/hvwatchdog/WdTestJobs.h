#pragma once
// Job files of the main program and small helpers for the watchdog's tests.
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "base/settings/IniFileUtils.h"

namespace wdtest {

using TKeys = std::initializer_list<std::pair<const wchar_t*, std::wstring>>;

// A backup job with one source folder (section Dir000) and the given keys.
inline void WriteJob(const std::wstring& path, const std::wstring& source, const std::wstring& dest, TKeys global = {},
                     TKeys dir = {}) {
  auto ini = hv::TUnicodeIniFile::CreateForWrite(path, true);
  ini.WriteString(L"Global", L"Destination", dest);
  ini.WriteString(L"Global", L"DirCount", L"1");
  for (const auto& [k, v] : global) ini.WriteString(L"Global", k, v);
  ini.WriteString(L"Dir000", L"Source", source);
  for (const auto& [k, v] : dir) ini.WriteString(L"Dir000", k, v);
  ini.UpdateFile();
}

// Processes messages until the condition holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

}  // namespace wdtest
