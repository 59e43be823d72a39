#pragma once
// The copy engine: one file per worker thread, as a plain copy, a gzip member or a one-entry zip archive.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/security/AesLib.h"
#include "winui/Handles.h"
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

class TCopyThread {
 public:
  TCopyThread(std::wstring_view sourceName, std::wstring_view destName, bool suspend, uint32_t bufSize, int priority);
  virtual ~TCopyThread();
  TCopyThread(const TCopyThread&) = delete;
  TCopyThread& operator=(const TCopyThread&) = delete;

  // Starts a copy created suspended. The copy runs on a worker of a process-wide pool, so that
  // many small files do not pay for a new thread each.
  void Start();
  void CancelThread() { FUserBreak = true; }
  void SetPaused(bool value);
  bool Paused() const { return FPaused; }
  void SetOnProgress(TFileProgressEvent event) { FOnProgress = std::move(event); }
  void SetNoWriteCache(bool value) { FWriteMode = value ? 0x88000000u : 0x08000000u; }
  void SetDestStreamFactory(TDestStreamFactory f) { FDestFactory = std::move(f); }

  bool Done() const { return FDone.load(std::memory_order_acquire); }
  // Blocks until the copy has ended.
  void WaitFor();
  int32_t ErrorType() const { return FErrFlag; }
  int32_t ErrorCode() const { return FError; }
  int32_t Ratio() const { return FRatio; }
  const std::wstring& SysErrorMsg() const { return FSysErrMsg; }
  uint32_t Crc() const { return FCrc; }

  bool CheckTime = true;
  bool CopyAttr = true;
  bool CopyCreationTime = false;
  bool CopyPermissions = false;
  bool CopyStorage = false;
  bool CopyAltStreams = false;
  bool CopyTimeStamp = true;
  bool Overwrite = false;
  bool ResetArchiveBit = false;
  uint32_t VerifyDelay = 5;
  TShellCopyModes ShellCopy = 0;

 protected:
  struct TNoStart {};
  TCopyThread(TNoStart, std::wstring_view sourceName, std::wstring_view destName, uint32_t bufSize, int priority);

  virtual void Execute();
  // Stops a copy still running and waits for its thread (destructors).
  void StopAndWait();
  void FinishCopy(int32_t code);
  void DoProgress(TFileAction action, int64_t count, bool speedLimit);
  bool SetSysError(uint32_t code);
  void Gate();

  int32_t OpenStreams();
  void ReleaseStreams();
  int32_t CopyStream(TStream& source, TStream* dest, int64_t length, bool speedLimit, bool toEnd);
  int32_t DeflateStream(TStream& source, TStream& dest, bool speedLimit);
  int32_t InflateStream(TStream& source, TStream* dest, int64_t length, bool speedLimit);
  int32_t PlainCopy();
  int32_t GzipFile();
  int32_t ZipFile(bool compress);
  int32_t WriteZipData(bool compress);
  int32_t ShellCopyFile();
  int32_t CompleteCopy(bool summary, bool altStreams, bool acl);
  int32_t OpenForVerify(const std::wstring& fileName);
  int32_t VerifyRead(int64_t announcedSize, const std::function<int32_t()>& read);
  int32_t VerifyCopy();
  int32_t VerifyGzFile();
  int32_t VerifyZipFile();
  // Gives the finished temporary copy its final name, or removes it after a failure.
  int32_t CommitCopy(int32_t code);
  int32_t WriteErrorCode(const std::exception& e);

  TFileProgressEvent FOnProgress;
  bool FCompress = false;
  bool FVerify = false;
  uint32_t FSysError = 0;
  std::atomic<bool> FPaused{false};
  TUniqueHandle<TKernelHandleTraits> FEvent;
  int32_t FError = 0;
  int32_t FErrFlag = 0x1000;
  std::wstring FSysErrMsg;
  std::wstring SourceName, DestName, SourceNameXL, DestNameXL;
  // The copy is written here and renamed to DestNameXL when it is complete.
  std::wstring TempNameXL;
  TFileData SourceFileData;
  // Member or entry name: the source's file name without folder.
  std::wstring FName;
  std::vector<unsigned char> FBuffer;
  std::unique_ptr<THandleStream> sSource, sDest;
  uint32_t FWriteMode = 0x08000000u;
  std::atomic<bool> FUserBreak{false};
  TZCompressionLevel FCompLevel = TZCompressionLevel::zcDefault;
  uint32_t FCrc = 0;
  bool FNeedCrc = false;
  int64_t UTotal = 0;
  int64_t CTotal = 0;
  int32_t FRatio = -1;
  int FPriority;
  TDestStreamFactory FDestFactory;

 private:
  void Run() noexcept;
  std::atomic<bool> FDone{false};
  bool FStarted = false;
  // Set when the copy has ended; shared with the worker, which may still signal it after the owner
  // has freed this object.
  std::shared_ptr<void> FDoneEvent;
};

class TGZipThread : public TCopyThread {
 public:
  TGZipThread(std::wstring_view sourceName, std::wstring_view destName, bool suspend, uint32_t bufSize, int priority);
  ~TGZipThread() override;
  TZCompressionLevel CompressionLevel() const { return FCompLevel; }
  void SetCompressionLevel(TZCompressionLevel level) { FCompLevel = level; }
  const std::wstring& Filename() const { return FName; }
  void SetFilename(std::wstring_view name) { FName = name; }

 protected:
  TGZipThread(TNoStart, std::wstring_view sourceName, std::wstring_view destName, uint32_t bufSize, int priority);
  void Execute() override;
};

class TWinCopyThread : public TGZipThread {
 public:
  TWinCopyThread(std::wstring_view sourceName, std::wstring_view destName, TCopyOptions options, bool suspend,
                 uint32_t bufSize, int priority);
  ~TWinCopyThread() override;

 protected:
  void Execute() override;
  bool FZipCompress = false;
};

}  // namespace hv
