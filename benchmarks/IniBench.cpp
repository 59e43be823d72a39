// Loading and saving INI files of many short sections: time per MiB should stay flat as the
// file grows (near-linear loading).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "base/settings/IniFileUtils.h"

using namespace hv;

int wmain() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring name = std::wstring(temp) + L"hv-inibench-" + std::to_wstring(GetCurrentProcessId()) + L".ini";
  for (int sections : {25000, 50000, 100000, 200000}) {
    std::string bytes;
    for (int i = 0; i < sections; ++i) bytes += "[s" + std::to_string(i) + "]\r\n";
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    auto t0 = std::chrono::steady_clock::now();
    TMemIniFile ini(name);
    auto t1 = std::chrono::steady_clock::now();
    ini.UpdateFile();
    auto t2 = std::chrono::steady_clock::now();
    const double mib = bytes.size() / 1048576.0;
    const double load = std::chrono::duration<double>(t1 - t0).count();
    const double save = std::chrono::duration<double>(t2 - t1).count();
    std::printf("%7d sections %5.2f MiB: load %.3f s (%.3f s/MiB), save %.3f s (%.3f s/MiB)\n", sections, mib, load,
                load / mib, save, save / mib);
  }
  DeleteFileW(name.c_str());
  return 0;
}
