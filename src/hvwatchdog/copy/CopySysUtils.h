#pragma once
// System helpers of the copy engine: data streams of a file, the temporary folder, one-file shell copies.
#include <cstdint>
#include <string>
#include <string_view>

#include "winui/Handles.h"

namespace hv {

struct TStreamSearchRec {
  // Closed with the record; none when the search did not start.
  TFindHandle Handle;
  int64_t StreamSize = 0;
  // ":name:$DATA"; the main stream is "::$DATA".
  std::wstring StreamName;
};

// 0, 120 when the system lacks the function, else a Windows error code.
uint32_t FindFirstDataStream(std::wstring_view fileName, TStreamSearchRec& rec);
// 0, 38 at the end, 120 when the system lacks the function, else a Windows error code.
uint32_t FindNextDataStream(TStreamSearchRec& rec);
// Ends the search before the record goes.
void FindCloseDataStream(TStreamSearchRec& rec);

// With a trailing delimiter.
std::wstring GetTempFolder();

// The shell's one-file copy through IFileOperation: S_OK or the failing HRESULT.
long ShellItemCopy(void* owner, std::wstring_view source, std::wstring_view dest, bool quiet);
// The same through SHFileOperation: its result (0 = success).
int ShellFileCopy(void* owner, std::wstring_view source, std::wstring_view dest, std::wstring_view title, bool quiet);

}  // namespace hv
