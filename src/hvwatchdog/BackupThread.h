#pragma once
// The backup thread of one monitored directory: copies its pending files with the copy engine and
// keeps older versions (".bak-1" newest).
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "hvwatchdog/TextFilter.h"
#include "hvwatchdog/copy/ExtFileTools.h"
#include "hvwatchdog/copy/FileErrors.h"

namespace hv {

// The copy's name below the destination: T of a source file, "%hour%" replaced by hour.
std::wstring BackupTargetName(std::wstring_view dest, std::wstring_view drvId, std::wstring_view source, int hour);

// Copy options and name suffix of a source file for a compression mode (0 none, 1 gzip, 2 zip).
struct TCopyMode {
  uint32_t Options;
  std::wstring Suffix;
};
TCopyMode BackupCopyMode(std::wstring_view source, int compress, const TMatchList& noCompList);

// One step of making room for a new version.
struct TRotationStep {
  enum TKind { rsDelete, rsRename } Kind;
  std::wstring From, To;  // To only for renames
};
// T's versions (T with ".bak-k" before its extension, plus suffix): the oldest kept version is
// dropped only when all are there, a gap is filled instead; the current copy becomes ".bak-1".
std::vector<TRotationStep> PlanRotation(std::wstring_view target, std::wstring_view suffix, int retain,
                                        const std::function<bool(const std::wstring&)>& exists);

// Copy-error code of a failed rotation step: "Error deleting file".
constexpr int32_t kRotationError = CopyError(TCopySeverity::csError, TCopyErrorNo::enDelete);
// "Could not rename temporary file".
constexpr int32_t kRenameError = copyerr::kRename;

// The log line of a copied file; errorText empty on success.
std::wstring BackupFileLine(int id, std::wstring_view source, std::wstring_view dest, int renames,
                            std::wstring_view task, std::wstring_view errorText);

class TBackupThread {
 public:
  // Called on the backup thread with each finished log line.
  using TStringMsg = std::function<void(const std::wstring&)>;

  TBackupThread(int id, std::wstring_view task, std::wstring_view destDir, std::wstring_view sourceDir,
                std::wstring_view drvId, std::wstring_view noComp, const TMatchList& fileList, int compress,
                int retain, TStringMsg sendMsg);
  ~TBackupThread();
  TBackupThread(const TBackupThread&) = delete;
  TBackupThread& operator=(const TBackupThread&) = delete;

  // The thread has marked itself done.
  bool Done() const { return FDone.load(std::memory_order_acquire); }
  // Ends after the files being copied; the rest stays unfinished.
  void Cancel() { FCancel = true; }
  void WaitFor();
  // After Done: names that were not copied (failed or not reached); they stay pending.
  std::vector<std::wstring> Unfinished() const;
  size_t CopiedCount() const { return FCopied; }

  // Test seam: the engine's copy of one file (source, destination, options) -> copy-error code.
  static std::function<int32_t(const std::wstring&, const std::wstring&, uint32_t, std::wstring&)>& CopySeam();

 private:
  void Execute() noexcept;
  int32_t BackupFile(const std::wstring& name, int& renames, std::wstring& errText);
  int32_t BackupFileSafe(const std::wstring& name, int& renames, std::wstring& errText) noexcept;
  // The outcome of one file: pending list, count and log line.
  void Report(const std::wstring& name, int32_t e, int renames, const std::wstring& errText);

  static constexpr unsigned kCopiesAtOnce = 4;

  TMatchList FFileList;
  TMatchList FNoCompList;
  int FId;
  int FCompress;
  int FRetain;
  std::wstring FTask, FDest, FBase, FDrv;
  TStringMsg FOnStringMsg;
  std::atomic<bool> FDone{false};
  std::atomic<bool> FCancel{false};
  mutable std::mutex FLock;
  std::vector<std::wstring> FUnfinished;
  size_t FCopied = 0;
  // Destination folders known to exist in this run.
  std::unordered_set<std::wstring> FFolders;
  std::mutex FFoldersLock;
  // Runs the copies and keeps their temporary folders.
  TCopyPool FPool{kCopiesAtOnce};
  std::thread FThread;
};

}  // namespace hv
