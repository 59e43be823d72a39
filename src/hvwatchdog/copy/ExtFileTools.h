#pragma once
// The copy engine: one file per worker thread, as a plain copy, a gzip member or a one-entry zip archive.
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "base/security/AesLib.h"
#include "hvwatchdog/copy/CopyStreams.h"
#include "hvwatchdog/copy/FilePropUtils.h"
#include "hvwatchdog/copy/ZLibEx.h"

namespace hv {

enum TCopyOption {
  coCompress, coZipCompress, coVerify, coOverwrite, coStorage, coAltStreams, coPermissions, coAttributes,
  coTimeStamp, coCreationTime, coCheckTime, coNoCache, coResetArchive
};
using TCopyOptions = uint32_t;
constexpr TCopyOptions CopyOptions(std::initializer_list<TCopyOption> list) {
  TCopyOptions o = 0;
  for (auto e : list) o |= 1u << e;
  return o;
}

enum TShellCopyMode : uint32_t { scmCopy = 1, scmQuiet = 2 };
using TShellCopyModes = uint32_t;

// Thread priorities as Windows numbers them (THREAD_PRIORITY_NORMAL is 0).
constexpr int kPriorityNormal = 0;

// Creates the destination stream (a seam for tests: disk full and the like).
using TDestStreamFactory =
    std::function<std::unique_ptr<THandleStream>(const std::wstring& name, bool overwrite, uint32_t writeMode)>;

// Opens the source (a seam for tests: read failures).
using TSourceStreamFactory = std::function<std::unique_ptr<THandleStream>(const std::wstring& name)>;

// Worker threads for copies, owned by the program or a scoped object. Threads are made when jobs
// wait and fewer than MaxWorkers run; a thread idle for IdleTimeout ends. Every job gets the pool's
// stop token. The destructor stops the pool: jobs still queued or running see the stop (a copy then
// ends with "Terminated by user"), and every thread is joined.
class TCopyPool {
 public:
  using TJob = std::function<void(std::stop_token)>;
  explicit TCopyPool(unsigned maxWorkers = 4, std::chrono::milliseconds idleTimeout = std::chrono::seconds(10));
  ~TCopyPool();
  TCopyPool(const TCopyPool&) = delete;
  TCopyPool& operator=(const TCopyPool&) = delete;

  // Queues a job. A job reports its own errors; one that throws anyway is handed to OnJobError
  // (without one, the program ends: an error is never dropped). After the pool has stopped, the job
  // runs at once on the caller's thread with a stopped token.
  void Submit(TJob job);
  unsigned MaxWorkers() const;
  // Threads alive now.
  unsigned WorkerCount() const;
  std::function<void(std::exception_ptr)> OnJobError;

  // The folder beside a destination where copies are written before they get their name; made on
  // first use in this pool, with leftovers of an earlier run removed, and removed when empty when
  // the pool ends.
  std::wstring TempFolderFor(const std::wstring& destFolder);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// The outcome of one copy, final once Done is true.
struct TCopyResult {
  // Copy-error code with the operation of the copy (0 = success).
  int32_t ErrorCode = 0;
  // The operation bits: 0x1000 copy, 0x2000 gzip, 0x4000 zip.
  int32_t ErrorType = 0x1000;
  // Per mille of compressed to source bytes (1000 without compression).
  int32_t Ratio = -1;
  uint32_t Crc = 0;
  int64_t SourceBytes = 0;
  int64_t WrittenBytes = 0;
  // The system's or the exception's text of the failure.
  std::wstring SysErrorMsg;
};

// Gzip and zip copies of large files deflate blocks of the file on several threads.
struct TDeflateBlocks {
  int64_t MinSize = 4 << 20;
  uint32_t BlockSize = 128 << 10;
  // 0: as many as processors are free now (1 compresses on the copy's own thread).
  unsigned Threads = 0;
};

// One file copy. Create it, set its options, Start it on a pool, poll Done (or WaitFor), read the
// result, free it. Freeing a copy that has not ended stops it and waits for it.
class TCopyThread {
 public:
  TCopyThread(std::wstring_view sourceName, std::wstring_view destName, uint32_t bufSize, int priority);
  virtual ~TCopyThread();
  TCopyThread(const TCopyThread&) = delete;
  TCopyThread& operator=(const TCopyThread&) = delete;

  // Queues the copy on the pool; a second call does nothing. Options are set before.
  void Start(TCopyPool& pool);
  // Runs the copy on the calling thread, for an owner that would only wait for it (no hand-over to
  // a worker and back per file); the pool keeps the temporary folders. Done is true on return.
  void RunHere(TCopyPool& pool);
  // The copy stops after its current block with "Terminated by user".
  void CancelThread();
  void SetPaused(bool value);
  bool Paused() const;
  // Runs on the UI thread (winui's Synchronize) while the copy waits; in a program without one, on
  // the copy's worker thread.
  void SetOnProgress(TFileProgressEvent event) { FOnProgress = std::move(event); }
  void SetNoWriteCache(bool value) { FWriteMode = value ? 0x88000000u : 0x08000000u; }
  void SetDestStreamFactory(TDestStreamFactory f) { FDestFactory = std::move(f); }
  void SetSourceStreamFactory(TSourceStreamFactory f) { FSourceFactory = std::move(f); }
  void SetDeflateBlocks(const TDeflateBlocks& blocks) { FDeflateBlocks = blocks; }

  bool Done() const;
  // Blocks until the copy has ended (at once when it was never started).
  void WaitFor();
  // Valid once Done is true.
  const TCopyResult& Result() const { return FResult; }
  int32_t ErrorType() const { return FErrFlag; }
  int32_t ErrorCode() const { return FResult.ErrorCode; }
  int32_t Ratio() const { return FResult.Ratio; }
  const std::wstring& SysErrorMsg() const { return FResult.SysErrorMsg; }
  uint32_t Crc() const { return FResult.Crc; }

  bool CheckTime = true;
  bool CopyAttr = true;
  bool CopyCreationTime = false;
  bool CopyPermissions = false;
  bool CopyStorage = false;
  bool CopyAltStreams = false;
  bool CopyTimeStamp = true;
  bool Overwrite = false;
  bool ResetArchiveBit = false;
  // Seconds over which opening the copy for verification is retried.
  uint32_t VerifyDelay = 5;
  TShellCopyModes ShellCopy = 0;

 protected:
  struct TState;
  using TReadFn = std::function<int64_t(void* buffer, int64_t count)>;
  using TWriteFn = std::function<int64_t(const void* buffer, int64_t count)>;

  virtual void Execute();
  // Stops a copy still running and waits for it (destructors of every class that overrides Execute).
  void StopAndWait();
  bool Stopped() const;
  void FinishCopy(int32_t code);
  void DoProgress(TFileAction action, int64_t count, bool speedLimit);
  bool SetSysError(uint32_t code);
  void Gate();

  int32_t OpenStreams();
  void ReleaseStreams();
  // The one block loop of copies and checks: read (to the end, or exactly length bytes when
  // length >= 0), CRC, progress, write (when write is set), pause gate and stop.
  int32_t Transfer(const TReadFn& read, const TWriteFn* write, int64_t length, TFileAction action, bool speedLimit);
  int32_t CopyStream(TStream& source, TStream* dest, int64_t length, bool speedLimit);
  int32_t DeflateStream(TStream& source, TStream& dest, bool speedLimit);
  // DeflateStream of a large file: blocks deflated on `threads` threads, written in order.
  int32_t DeflateBlocks(TStream& source, TStream& dest, bool speedLimit, unsigned threads);
  // Inflates to the end-of-stream marker; data that ends before it is a failed read.
  int32_t InflateStream(TStream& source, TStream* dest, int64_t length, bool speedLimit);
  int32_t PlainCopy();
  int32_t GzipFile();
  int32_t ZipFile(bool compress);
  int32_t WriteZipData(bool compress);
  int32_t ShellCopyFile();
  int32_t CompleteCopy(bool summary, bool altStreams, bool acl);
  int32_t OpenForVerify(const std::wstring& fileName);
  int32_t VerifyCopy();
  int32_t VerifyGzFile();
  int32_t VerifyZipFile();
  // Gives the finished temporary copy its final name, or removes it after a failure.
  int32_t CommitCopy(int32_t code);
  int32_t WriteErrorCode(const std::exception& e);
  const std::wstring& WrittenName() const { return TempNameXL.empty() ? DestNameXL : TempNameXL; }

  TFileProgressEvent FOnProgress;
  bool FCompress = false;
  bool FVerify = false;
  uint32_t FSysError = 0;
  int32_t FErrFlag = 0x1000;
  std::wstring FSysErrMsg;
  std::wstring SourceName, DestName, SourceNameXL, DestNameXL;
  // The copy is written here and renamed to DestNameXL when it is complete.
  std::wstring TempNameXL;
  TFileData SourceFileData;
  // Member or entry name: the source's file name without folder.
  std::wstring FName;
  uint32_t FBufSize;
  std::unique_ptr<THandleStream> sSource, sDest;
  uint32_t FWriteMode = 0x08000000u;
  TZCompressionLevel FCompLevel = TZCompressionLevel::zcDefault;
  uint32_t FCrc = 0;
  bool FNeedCrc = false;
  int64_t UTotal = 0;
  int64_t CTotal = 0;
  int FPriority;
  TDestStreamFactory FDestFactory;
  TSourceStreamFactory FSourceFactory;
  TDeflateBlocks FDeflateBlocks;
  TCopyPool* FPool = nullptr;

 private:
  void Run() noexcept;
  unsigned char* Buffer(int64_t& size);
  std::unique_ptr<unsigned char[]> FBuffer;
  int64_t FBufferSize = 0;
  TCopyResult FResult;
  bool FStarted = false;
  // Shared with the worker, which signals the end after the owner may have freed this object.
  std::shared_ptr<TState> FState;
};

class TGZipThread : public TCopyThread {
 public:
  TGZipThread(std::wstring_view sourceName, std::wstring_view destName, uint32_t bufSize, int priority);
  ~TGZipThread() override;
  TZCompressionLevel CompressionLevel() const { return FCompLevel; }
  void SetCompressionLevel(TZCompressionLevel level) { FCompLevel = level; }
  const std::wstring& Filename() const { return FName; }
  void SetFilename(std::wstring_view name) { FName = name; }

 protected:
  void Execute() override;
};

class TWinCopyThread : public TGZipThread {
 public:
  TWinCopyThread(std::wstring_view sourceName, std::wstring_view destName, TCopyOptions options,
                 uint32_t bufSize, int priority);
  ~TWinCopyThread() override;

 protected:
  void Execute() override;
  bool FZipCompress = false;
};

}  // namespace hv
