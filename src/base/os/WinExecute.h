#pragma once
// Starting a child process and waiting for it while the user interface stays alive.
#include <windows.h>

#include <string_view>

#include "base/text/ExtSysUtils.h"

namespace hv {

// A process could not be started; the message is the system's text.
class EProcessError : public Exception {
 public:
  using Exception::Exception;
};

// Set in a result of WaitForProcess when the process ended with a non-zero exit code.
constexpr DWORD kExitCodeFlag = 0x20000000;
// Result of a wait that ran out of time.
constexpr DWORD kWaitTimedOut = WAIT_TIMEOUT;

// Starts a command line (the program path quoted by the caller when it holds blanks) in workDir,
// or the current folder when workDir is empty. The caller owns the returned process handle.
HANDLE StartProcess(std::wstring_view commandLine, std::wstring_view workDir);

// Waits at most timeoutMs (0: until the process ends, processing window messages every 100 ms).
// Result: 0 for exit code 0, the exit code with kExitCodeFlag for any other, kWaitTimedOut when
// the time ran out (and no exit code was wanted: the handle then stays open), or the Windows
// error code of a failed wait or exit-code query. Except after a plain time-out the handle is
// closed and process set to null.
DWORD WaitForProcess(HANDLE& process, DWORD timeoutMs, bool exitCodeWanted);

}  // namespace hv
