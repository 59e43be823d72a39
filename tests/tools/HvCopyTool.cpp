// Test tool: copies one file with the watchdog's copy engine.
//   HvCopyTool <plain|gzip|zip|zipstored> <source> <destination> [verify] [threads=N]
// threads=N: large compressed files deflate blocks on N threads whatever the machine's load.
// Prints the copy-error code and its text; the exit code is the copy-error code (0: success).
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/text/StringUtils.h"
#include "hvwatchdog/copy/ExtFileTools.h"
#include "hvwatchdog/copy/FileErrors.h"

int wmain(int argc, wchar_t** argv) {
  using namespace hv;
  if (argc < 4) {
    std::fputs("usage: HvCopyTool <plain|gzip|zip|zipstored> <source> <destination> [verify] [threads=N]\n", stderr);
    return 2;
  }
  const std::wstring mode = argv[1];
  TCopyOptions options = CopyOptions({coOverwrite, coAttributes, coTimeStamp});
  if (mode == L"gzip")
    options |= CopyOptions({coCompress});
  else if (mode == L"zip")
    options |= CopyOptions({coZipCompress, coCompress});
  else if (mode == L"zipstored")
    options |= CopyOptions({coZipCompress});
  else if (mode != L"plain")
    return 2;
  TDeflateBlocks blocks;
  for (int i = 4; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"verify")
      options |= CopyOptions({coVerify});
    else if (arg.starts_with(L"threads="))
      blocks.Threads = static_cast<unsigned>(std::stoul(arg.substr(8)));
  }
  TCopyPool pool(1);
  TWinCopyThread copy(argv[2], argv[3], options, 0x80000, kPriorityNormal);
  copy.SetDeflateBlocks(blocks);
  copy.Start(pool);
  copy.WaitFor();
  const int32_t code = copy.ErrorCode();
  std::printf("0x%04x %s", static_cast<unsigned>(code), WideToUtf8(FormatCopyError(code, L"", L"")).c_str());
  if (!copy.SysErrorMsg().empty()) std::printf(" [%s]", WideToUtf8(copy.SysErrorMsg()).c_str());
  std::printf("\n");
  return code;
}
