#pragma once
// Starting a child process and waiting for it while the user interface stays alive.
#include <windows.h>

#include <string_view>

#include "base/text/ExtSysUtils.h"
#include "winui/Handles.h"

namespace hv {

// A process could not be started; the message is the system's text for the Windows error code.
class EProcessError : public Exception {
 public:
  explicit EProcessError(uint32_t code) : Exception(SystemErrorText(code)), FCode(code) {}
  EProcessError(uint32_t code, std::wstring_view message) : Exception(std::wstring(message)), FCode(code) {}
  uint32_t ErrorCode() const noexcept { return FCode; }

 private:
  uint32_t FCode;
};

// Set in a result of WaitForProcess when the process ended with a non-zero exit code.
constexpr DWORD kExitCodeFlag = 0x20000000;
// Result of a wait that ran out of time.
constexpr DWORD kWaitTimedOut = WAIT_TIMEOUT;

// Starts a command line (the program path quoted by the caller when it holds blanks) in workDir,
// or the current folder when workDir is empty.
TKernelHandle StartProcess(std::wstring_view commandLine, std::wstring_view workDir);

// Waits at most timeoutMs (0: until the process ends, processing window messages every 100 ms).
// Result: 0 for exit code 0, the exit code with kExitCodeFlag for any other, kWaitTimedOut when
// the time ran out (with no exit code wanted the handle then stays open; with it wanted, a process
// that still runs gives kWaitTimedOut too, never its "still active" code), or the Windows error
// code of a failed wait or exit-code query. Except after a plain time-out the handle is closed.
DWORD WaitForProcess(TKernelHandle& process, DWORD timeoutMs, bool exitCodeWanted);

}  // namespace hv
