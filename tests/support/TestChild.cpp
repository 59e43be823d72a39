// Child process of the process tests: hv_test_child.exe <exit code> [sleep ms] [file for the current folder]
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  int code = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 0)) : 0;
  if (argc > 2) Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 0)));
  if (argc > 3) {
    wchar_t dir[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, dir);
    HANDLE f = CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(f, dir, n * sizeof(wchar_t), &written, nullptr);
    CloseHandle(f);
  }
  return code;
}
