#include "base/os/WinExecute.h"

#include <string>
#include <vector>

namespace hv {

namespace {

// Keeps the caller's windows alive during a wait; a quit request is kept for the main loop.
void ProcessPendingMessages(bool& quitSeen, WPARAM& quitCode) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quitSeen = true;
      quitCode = msg.wParam;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

DWORD CloseProcess(TKernelHandle& process, DWORD result) {
  process.Reset();
  return result;
}

}  // namespace

TKernelHandle StartProcess(std::wstring_view commandLine, std::wstring_view workDir) {
  std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back(L'\0');
  const std::wstring dir(workDir);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &si, &pi)) {
    const DWORD error = GetLastError();
    throw EProcessError(error);
  }
  CloseHandle(pi.hThread);
  return TKernelHandle(pi.hProcess);
}

DWORD WaitForProcess(TKernelHandle& process, DWORD timeoutMs, bool exitCodeWanted) {
  DWORD waitResult = 0;
  if (timeoutMs > 0) {
    DWORD r = WaitForSingleObject(process.Get(), timeoutMs);
    if (r == WAIT_FAILED) return CloseProcess(process, GetLastError());
    if (r == WAIT_TIMEOUT) waitResult = kWaitTimedOut;
  } else {
    bool quitSeen = false;
    WPARAM quitCode = 0;
    DWORD error = 0;
    for (;;) {
      DWORD r = WaitForSingleObject(process.Get(), 100);
      if (r == WAIT_OBJECT_0) break;
      if (r == WAIT_FAILED) {
        error = GetLastError();
        break;
      }
      ProcessPendingMessages(quitSeen, quitCode);
    }
    if (quitSeen) PostQuitMessage(static_cast<int>(quitCode));
    if (error) return CloseProcess(process, error);
  }
  if (waitResult == kWaitTimedOut && !exitCodeWanted) return kWaitTimedOut;

  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.Get(), &exitCode)) return CloseProcess(process, GetLastError());
  if (waitResult == kWaitTimedOut && exitCode == STILL_ACTIVE) return CloseProcess(process, kWaitTimedOut);
  return CloseProcess(process, exitCode != 0 ? exitCode | kExitCodeFlag : waitResult);
}

}  // namespace hv
