#include "hvwatchdog/copy/ExtFileTools.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <deque>
#include <list>
#include <set>
#include <thread>

#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "hvwatchdog/copy/ArchiveFormats.h"
#include "hvwatchdog/copy/BlockDeflate.h"
#include "hvwatchdog/copy/CopySysUtils.h"
#include "hvwatchdog/copy/FileErrors.h"
#include "hvwatchdog/copy/FileSummary.h"
#include "winui/SyncCall.h"
#include "winui/Translate.h"

namespace hv {

namespace {

using namespace copyerr;

bool IsDiskFull(uint32_t code) { return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL; }

// The text of any exception: ours carry a translated message, others their own text.
std::wstring ExceptionText(const std::exception& e) {
  auto* x = dynamic_cast<const Exception*>(&e);
  return x ? x->Message() : Utf8ToWide(e.what());
}

// A slim lock with a condition variable: no kernel object per copy, and no server round trip under Wine.
class TMonitor {
 public:
  void Lock() { AcquireSRWLockExclusive(&FLock); }
  void Unlock() { ReleaseSRWLockExclusive(&FLock); }
  // With the lock held; false on time-out.
  bool Wait(DWORD ms) { return SleepConditionVariableSRW(&FCond, &FLock, ms, 0) != FALSE; }
  void NotifyOne() { WakeConditionVariable(&FCond); }
  void NotifyAll() { WakeAllConditionVariable(&FCond); }

 private:
  SRWLOCK FLock = SRWLOCK_INIT;
  CONDITION_VARIABLE FCond = CONDITION_VARIABLE_INIT;
};

class TMonitorLock {
 public:
  explicit TMonitorLock(TMonitor& m) : FM(m) { FM.Lock(); }
  ~TMonitorLock() { FM.Unlock(); }
  TMonitorLock(const TMonitorLock&) = delete;
  TMonitorLock& operator=(const TMonitorLock&) = delete;

 private:
  TMonitor& FM;
};

// The system's own form of a name (\??\C:\...); empty when it has none.
std::wstring NtPathName(const std::wstring& name) {
  if (name.starts_with(L"\\\\?\\")) return L"\\??\\" + name.substr(4);
  std::wstring full(GetFullPathNameW(name.c_str(), 0, nullptr, nullptr), L'\0');
  if (full.empty()) return {};
  full.resize(GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  if (full.size() > 2 && full[1] == L':') return L"\\??\\" + full;
  if (full.starts_with(L"\\\\") && !full.starts_with(L"\\\\.\\") && !full.starts_with(L"\\\\?\\"))
    return L"\\??\\UNC\\" + full.substr(2);
  return {};
}

// Renames an open file through its handle (opened with DELETE access): one request instead of
// opening the file again by name.
bool RenameByHandle(HANDLE h, const std::wstring& newName, bool replace) {
  const std::wstring nt = NtPathName(newName);
  if (nt.empty()) return false;
  const size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + (nt.size() + 1) * sizeof(wchar_t);
  std::vector<unsigned char> buf(bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
  info->ReplaceIfExists = replace;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nt.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, nt.c_str(), (nt.size() + 1) * sizeof(wchar_t));
  return SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(bytes)) != FALSE;
}

// Prefix of the copies in the temporary folder; a leftover of an earlier run is removed by name.
constexpr wchar_t kTempFolder[] = L"~hvcopy.tmp";
constexpr wchar_t kTempPrefix[] = L"~hv";

void RemoveLeftovers(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  TFindHandle h(FindFirstFileExW((folder + L"\\" + kTempPrefix + L"*").c_str(), FindExInfoBasic, &fd,
                                 FindExSearchNameMatch, nullptr, 0));
  if (!h) return;
  do {
    // A copy another process still writes is open without sharing, and stays.
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileXL(folder + L"\\" + fd.cFileName, true);
  } while (FindNextFileW(h.Get(), &fd));
}

}  // namespace

// ---------------------------------------------------------------------------------------------- TCopyPool

struct TCopyPool::TImpl {
  struct TWorker {
    std::jthread Thread;
    bool Ended = false;
  };
  TMonitor Monitor;
  std::deque<TJob> Jobs;
  std::list<TWorker> Workers;
  unsigned Idle = 0;
  unsigned Running = 0;
  unsigned Max;
  DWORD IdleMs;
  bool Closing = false;
  std::stop_source Stop;
  std::function<void(std::exception_ptr)>* OnJobError;
  std::set<std::wstring> TempFolders;
  TMonitor TempMonitor;

  void RunJob(TJob& job) {
    try {
      job(Stop.get_token());
    } catch (...) {
      if (!*OnJobError) std::terminate();
      (*OnJobError)(std::current_exception());
    }
  }

  // The idle count is changed by the worker itself only, so it cannot drift from the truth.
  void Work(TWorker* self) {
    TMonitorLock lock(Monitor);
    for (;;) {
      while (Jobs.empty() && !Closing) {
        ++Idle;
        const bool woken = Monitor.Wait(IdleMs);
        --Idle;
        if (!woken && Jobs.empty() && !Closing) break;
      }
      if (Jobs.empty()) break;
      TJob job = std::move(Jobs.front());
      Jobs.pop_front();
      Monitor.Unlock();
      RunJob(job);
      job = nullptr;
      Monitor.Lock();
    }
    self->Ended = true;
    --Running;
  }
};

TCopyPool::TCopyPool(unsigned maxWorkers, std::chrono::milliseconds idleTimeout) : FImpl(std::make_unique<TImpl>()) {
  FImpl->Max = maxWorkers ? maxWorkers : 1;
  FImpl->IdleMs = static_cast<DWORD>(idleTimeout.count());
  FImpl->OnJobError = &OnJobError;
}

TCopyPool::~TCopyPool() {
  {
    TMonitorLock lock(FImpl->Monitor);
    FImpl->Closing = true;
    FImpl->Monitor.NotifyAll();
  }
  // Queued and running copies see the stop and end at once; the workers drain the queue.
  FImpl->Stop.request_stop();
  for (auto& w : FImpl->Workers) w.Thread.join();
  for (const auto& folder : FImpl->TempFolders) RemoveDirectoryW(folder.c_str());
}

void TCopyPool::Submit(TJob job) {
  TImpl& p = *FImpl;
  {
    TMonitorLock lock(p.Monitor);
    if (!p.Closing) {
      for (auto it = p.Workers.begin(); it != p.Workers.end();) {
        if (it->Ended) {
          it->Thread.join();
          it = p.Workers.erase(it);
        } else {
          ++it;
        }
      }
      p.Jobs.push_back(std::move(job));
      if (p.Idle >= p.Jobs.size()) {
        p.Monitor.NotifyOne();
      } else if (p.Running < p.Max) {
        if (p.Idle) p.Monitor.NotifyOne();
        auto& w = p.Workers.emplace_back();
        ++p.Running;
        w.Thread = std::jthread([&p, self = &w] { p.Work(self); });
      } else if (p.Idle) {
        p.Monitor.NotifyOne();
      }
      return;
    }
  }
  p.RunJob(job);
}

unsigned TCopyPool::MaxWorkers() const { return FImpl->Max; }

unsigned TCopyPool::WorkerCount() const {
  TMonitorLock lock(FImpl->Monitor);
  return FImpl->Running;
}

std::wstring TCopyPool::TempFolderFor(const std::wstring& destFolder) {
  std::wstring folder = destFolder;
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  folder = LongPathXL(folder + L"\\" + kTempFolder);
  TMonitorLock lock(FImpl->TempMonitor);
  if (FImpl->TempFolders.insert(folder).second) {
    if (CreateDirectoryW(folder.c_str(), nullptr))
      SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN);
    else
      RemoveLeftovers(folder);
  }
  return folder;
}

// ---------------------------------------------------------------------------------------------- TCopyThread

struct TCopyThread::TState {
  TMonitor Monitor;
  std::atomic<bool> Stop{false};
  // Releases a progress call that waits for the UI thread.
  std::stop_source StopSource;
  std::atomic<bool> Paused{false};
  std::atomic<bool> Done{false};

  void RequestStop() {
    {
      TMonitorLock lock(Monitor);
      Stop = true;
      Monitor.NotifyAll();
    }
    StopSource.request_stop();
  }
  void SetPaused(bool value) {
    TMonitorLock lock(Monitor);
    Paused = value;
    Monitor.NotifyAll();
  }
  // Holds a paused copy; a stop lets it go on.
  void Gate() {
    if (!Paused.load(std::memory_order_acquire)) return;
    TMonitorLock lock(Monitor);
    while (Paused && !Stop) Monitor.Wait(INFINITE);
  }
  // Sleeps ms unless a stop comes first; false when stopped.
  bool Sleep(DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    TMonitorLock lock(Monitor);
    for (ULONGLONG now; !Stop && (now = GetTickCount64()) < until;) Monitor.Wait(static_cast<DWORD>(until - now));
    return !Stop;
  }
  void SetDone() {
    TMonitorLock lock(Monitor);
    Done.store(true, std::memory_order_release);
    Monitor.NotifyAll();
  }
  void WaitDone() {
    TMonitorLock lock(Monitor);
    while (!Done) Monitor.Wait(INFINITE);
  }
};

TCopyThread::TCopyThread(std::wstring_view sourceName, std::wstring_view destName, uint32_t bufSize, int priority)
    : SourceName(sourceName),
      DestName(destName),
      SourceNameXL(LongPathXL(sourceName)),
      DestNameXL(LongPathXL(destName)),
      FName(ExtractFileName(sourceName)),
      FBufSize(bufSize ? bufSize : 1),
      FPriority(priority),
      FState(std::make_shared<TState>()) {}

TCopyThread::~TCopyThread() { StopAndWait(); }

void TCopyThread::Start(TCopyPool& pool) {
  if (FStarted) return;
  FStarted = true;
  FPool = &pool;
  FResult.ErrorType = FErrFlag;
  pool.Submit([this, state = FState](std::stop_token stop) {
    {
      std::stop_callback onStop(stop, [&state] { state->RequestStop(); });
      Run();
    }
    // This object may be gone from here on.
    state->SetDone();
  });
}

void TCopyThread::RunHere(TCopyPool& pool) {
  if (FStarted) return;
  FStarted = true;
  FPool = &pool;
  FResult.ErrorType = FErrFlag;
  Run();
  FState->SetDone();
}

void TCopyThread::CancelThread() { FState->RequestStop(); }

void TCopyThread::SetPaused(bool value) {
  if (Done() || value == FState->Paused) return;
  FState->SetPaused(value);
}

bool TCopyThread::Paused() const { return FState->Paused; }

bool TCopyThread::Done() const { return FState->Done.load(std::memory_order_acquire); }

bool TCopyThread::Stopped() const { return FState->Stop.load(std::memory_order_relaxed); }

void TCopyThread::WaitFor() {
  if (FStarted) FState->WaitDone();
}

void TCopyThread::StopAndWait() {
  if (!FStarted || Done()) return;
  // Only an owner that gives up early gets here: stop the copy and let a paused one go on.
  FState->RequestStop();
  FState->WaitDone();
}

void TCopyThread::Run() noexcept {
  try {
    if (Stopped()) {
      FinishCopy(kTerminated);
      return;
    }
    // Pool workers run at normal priority; only another one costs a call each way.
    const bool other = FPriority != kPriorityNormal;
    if (other) SetThreadPriority(GetCurrentThread(), FPriority);
    Execute();
    if (other) SetThreadPriority(GetCurrentThread(), kPriorityNormal);
  } catch (const std::exception& e) {
    ReleaseStreams();
    if (!TempNameXL.empty()) DeleteFileXL(TempNameXL, true);
    FResult.ErrorCode = WithOperation(kWrite, static_cast<TCopyOperation>(FErrFlag >> 12));
    FResult.SysErrorMsg = ExceptionText(e);
  } catch (...) {
    ReleaseStreams();
    if (!TempNameXL.empty()) DeleteFileXL(TempNameXL, true);
    FResult.ErrorCode = WithOperation(kWrite, static_cast<TCopyOperation>(FErrFlag >> 12));
    FResult.SysErrorMsg = _(L"Unexpected error");
  }
  if (FPriority != kPriorityNormal) SetThreadPriority(GetCurrentThread(), kPriorityNormal);
}

void TCopyThread::Gate() { FState->Gate(); }

void TCopyThread::DoProgress(TFileAction action, int64_t count, bool speedLimit) {
  if (!FOnProgress) return;
  // On the UI thread, the copy waiting for it; without one (tools, tests) on the copy's own thread.
  const std::function<void()> call = [&] { FOnProgress(action, count, speedLimit); };
  if (!Synchronize(call, FState->StopSource.get_token()) && !Stopped()) call();
}

bool TCopyThread::SetSysError(uint32_t code) {
  if (code == 0) return false;
  FSysError = (code & 0x7FF0000) ? code : (0x00070000u | (code & 0xFFFF));
  return true;
}

void TCopyThread::FinishCopy(int32_t code) {
  Gate();
  TCopyResult& r = FResult;
  r.Ratio = FCompress && UTotal > 0
                ? static_cast<int32_t>(std::nearbyint(static_cast<double>(CTotal) * 1000.0 / static_cast<double>(UTotal)))
                : 1000;
  if (FSysError) {
    // A Windows code kept with facility 7 is shown with the text of the Windows code.
    uint32_t shown = (FSysError & 0xFFFF0000u) == 0x00070000u ? (FSysError & 0xFFFF) : FSysError;
    FSysErrMsg = SafeFormat(_(L"System error: %s"), SystemErrorText(shown));
  }
  r.ErrorType = FErrFlag;
  r.ErrorCode = WithOperation(code, static_cast<TCopyOperation>(FErrFlag >> 12));
  r.Crc = FCrc;
  r.SourceBytes = UTotal;
  r.WrittenBytes = CTotal;
  r.SysErrorMsg = FSysErrMsg;
}

void TCopyThread::Execute() {
  int32_t r;
  if (ShellCopy & scmCopy) {
    r = ShellCopyFile();
    if (FVerify && r == 0) r = VerifyCopy();
  } else {
    r = PlainCopy();
    if (FVerify && r == 0) r = VerifyCopy();
    r = CommitCopy(r);
  }
  FinishCopy(r);
}

void TCopyThread::ReleaseStreams() {
  auto src = std::move(sSource);
  auto dst = std::move(sDest);
  src.reset();
  dst.reset();
}

int32_t TCopyThread::WriteErrorCode(const std::exception& e) {
  if (auto* w = dynamic_cast<const EFileStreamError*>(&e)) {
    FSysErrMsg = w->Message();
    return IsDiskFull(w->ErrorCode()) ? kDiskFull : kWrite;
  }
  FSysErrMsg = ExceptionText(e);
  return kWrite;
}

unsigned char* TCopyThread::Buffer(int64_t& size) {
  // Sized to the file where it is smaller than the block size: small files cost no large allocation.
  int64_t want = FBufSize;
  if (SourceFileData.FileSize >= 0 && SourceFileData.FileSize < want) want = std::max<int64_t>(SourceFileData.FileSize + 1, 4096);
  if (want > FBufSize) want = FBufSize;
  if (FBufferSize < want) {
    FBuffer.reset(new unsigned char[static_cast<size_t>(want)]);
    FBufferSize = want;
  }
  size = FBufferSize;
  return FBuffer.get();
}

int32_t TCopyThread::OpenStreams() {
  // The source's size, times and attributes come from the handle the copy reads through.
  SourceFileData.Reset();
  SourceFileData.FileName = FName;
  try {
    sSource = FSourceFactory ? FSourceFactory(SourceNameXL) : THandleStream::OpenRead(SourceNameXL);
  } catch (const EOSError& e) {
    const uint32_t code = e.ErrorCode();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME) return kNotFound;
    FSysErrMsg = e.Message();
    return kOpen;
  }
  // Times, attributes and size from the handle (under Wine from its file descriptor, no server call).
  FILE_BASIC_INFO info;
  LARGE_INTEGER size;
  if (!GetFileInformationByHandleEx(sSource->Handle(), FileBasicInfo, &info, sizeof info) ||
      !GetFileSizeEx(sSource->Handle(), &size)) {
    SetSysError(GetLastError());
    return kOpen;
  }
  SourceFileData.FileSize = size.QuadPart;
  SourceFileData.FileAttr = info.FileAttributes;
  SourceFileData.TimeStamps.Valid = true;
  SourceFileData.TimeStamps.CreationTime = static_cast<TFileTime>(info.CreationTime.QuadPart);
  SourceFileData.TimeStamps.LastAccessTime = static_cast<TFileTime>(info.LastAccessTime.QuadPart);
  SourceFileData.TimeStamps.LastWriteTime = static_cast<TFileTime>(info.LastWriteTime.QuadPart);
  if (DestName.empty()) return kCreate;
  if (!Overwrite && FileGetAttrXL(DestNameXL, false) != -1) {
    SetSysError(ERROR_FILE_EXISTS);
    return kCreate;
  }
  // The copy is written in a folder of its own beside the destination: under Wine a new name in a
  // large folder costs a scan of that folder, and the rename stays on the same volume.
  static std::atomic<unsigned> counter{0};
  wchar_t name[40];
  swprintf(name, std::size(name), L"%ls%04x%05x.tmp", kTempPrefix, static_cast<unsigned>(GetCurrentProcessId() & 0xFFFF),
           (counter++) & 0xFFFFF);
  const std::wstring folder = ExtractFilePath(DestName);
  const std::wstring beside = LongPathXL(DestName + L"." + name);
  std::wstring tempFolder, temp = beside;
  if (FPool) {
    tempFolder = FPool->TempFolderFor(folder.empty() ? L"." : folder);
    temp = LongPathXL(tempFolder + L"\\" + name);
  }
  for (int attempt = 0;; ++attempt) {
    try {
      if (FDestFactory)
        sDest = FDestFactory(temp, false, FWriteMode);
      else
        sDest = std::make_unique<TWriteFileStream>(temp, false, FWriteMode, 0);
      break;
    } catch (const EFileStreamError& e) {
      const uint32_t code = e.ErrorCode();
      if (temp != beside && (code == ERROR_PATH_NOT_FOUND || code == ERROR_ACCESS_DENIED)) {
        // The temporary folder was removed meanwhile: make it once more; if that fails, write beside.
        if (attempt == 0 && code == ERROR_PATH_NOT_FOUND && CreateDirectoryW(tempFolder.c_str(), nullptr)) continue;
        temp = beside;
        continue;
      }
      FSysErrMsg = e.Message();
      return kCreate;
    } catch (const Exception& e) {
      FSysErrMsg = e.Message();
      return kCreate;
    }
  }
  TempNameXL = temp;
  return 0;
}

int32_t TCopyThread::Transfer(const TReadFn& read, const TWriteFn* write, int64_t length, TFileAction action,
                              bool speedLimit) {
  int64_t bufSize;
  unsigned char* buf = Buffer(bufSize);
  for (;;) {
    Gate();
    const int64_t n = length < 0 ? bufSize : std::min(length, bufSize);
    if (n <= 0) return 0;
    int64_t got;
    try {
      got = read(buf, n);
    } catch (const std::exception& e) {
      FSysErrMsg = ExceptionText(e);
      return kRead;
    }
    if (length >= 0 && got < n) {
      SetSysError(ERROR_HANDLE_EOF);
      return kRead;
    }
    UTotal += got;
    DoProgress(action, UTotal, speedLimit);
    if (FNeedCrc) FCrc = crc32(FCrc, buf, static_cast<uInt>(got));
    if (write && got > 0) {
      int64_t put;
      try {
        put = (*write)(buf, got);
      } catch (const std::exception& e) {
        return WriteErrorCode(e);
      }
      if (put < got) return kDiskFull;
    }
    if (Stopped()) return kTerminated;
    if (length >= 0) length -= got;
    if (got < n) return 0;
  }
}

int32_t TCopyThread::CopyStream(TStream& source, TStream* dest, int64_t length, bool speedLimit) {
  const TReadFn read = [&source](void* b, int64_t n) { return source.Read(b, n); };
  const TWriteFn write = [dest](const void* b, int64_t n) { return dest->Write(b, n); };
  int32_t r = Transfer(read, dest ? &write : nullptr, length, dest ? TFileAction::acCopy : TFileAction::acPrepare,
                       speedLimit);
  CTotal = UTotal;
  return r;
}

int32_t TCopyThread::DeflateStream(TStream& source, TStream& dest, bool speedLimit) {
  const TDeflateBlocks& b = FDeflateBlocks;
  if (SourceFileData.FileSize >= b.MinSize && SourceFileData.FileSize > b.BlockSize) {
    const int64_t blocks = SourceFileData.FileSize / std::max<uint32_t>(b.BlockSize, 1) + 1;
    const unsigned threads =
        static_cast<unsigned>(std::min<int64_t>(b.Threads ? b.Threads : FreeProcessors(), blocks));
    if (threads > 1) return DeflateBlocks(source, dest, speedLimit, threads);
  }
  try {
    const int64_t start = dest.Position();
    TZCompressionStream z(dest, FCompLevel, -15);
    const TReadFn read = [&source](void* b, int64_t n) { return source.Read(b, n); };
    const TWriteFn write = [&z](const void* b, int64_t n) { return z.Write(b, n); };
    int32_t r = Transfer(read, &write, -1, TFileAction::acCompress, speedLimit);
    if (r == 0) {
      z.Finish();
      if (UTotal > 0 && dest.Position() == start) r = kDiskFull;
    }
    return r;
  } catch (const std::exception& e) {
    return WriteErrorCode(e);
  }
}

int32_t TCopyThread::DeflateBlocks(TStream& source, TStream& dest, bool speedLimit, unsigned threads) {
  try {
    const int64_t start = dest.Position();
    TBlockDeflater z(ZLevel(FCompLevel), threads, FDeflateBlocks.BlockSize);
    const auto block = static_cast<int64_t>(z.BlockSize());
    bool readAll = false;
    for (;;) {
      Gate();
      if (Stopped()) return kTerminated;
      // Keep every thread busy: queue blocks while there is room, then write the oldest.
      while (!readAll && z.HasRoom()) {
        int64_t got;
        try {
          got = source.Read(z.NextInput(), block);
        } catch (const std::exception& e) {
          FSysErrMsg = ExceptionText(e);
          return kRead;
        }
        // A file of whole blocks ends with an empty last block.
        readAll = got < block;
        z.Queue(static_cast<size_t>(std::max<int64_t>(got, 0)), readAll);
      }
      if (z.Queued() == 0) break;
      const TBlockDeflater::TOutput out = z.WaitOldest();
      dest.WriteAll(out.Data, static_cast<int64_t>(out.Size));
      FCrc = crc32_combine(FCrc, out.Crc, static_cast<z_off_t>(out.InputSize));
      UTotal += static_cast<int64_t>(out.InputSize);
      z.Pop();
      DoProgress(TFileAction::acCompress, UTotal, speedLimit);
      if (out.Last) break;
    }
    if (UTotal > 0 && dest.Position() == start) return kDiskFull;
    return 0;
  } catch (const std::exception& e) {
    return WriteErrorCode(e);
  }
}

int32_t TCopyThread::InflateStream(TStream& source, TStream* dest, int64_t length, bool speedLimit) {
  try {
    TZDecompressionStream z(source, length, -15);
    const TReadFn read = [&z](void* b, int64_t n) { return z.Read(b, n); };
    const TWriteFn write = [dest](const void* b, int64_t n) { return dest->Write(b, n); };
    int32_t r = Transfer(read, dest ? &write : nullptr, -1, TFileAction::acUnCompress, speedLimit);
    if (r == 0 && !z.StreamEnded()) {
      FSysErrMsg = _(L"The compressed data ends before its end marker");
      r = kRead;
    }
    return r;
  } catch (const std::exception& e) {
    FSysErrMsg = ExceptionText(e);
    return kRead;
  }
}

int32_t TCopyThread::PlainCopy() {
  int32_t r = OpenStreams();
  if (r) {
    ReleaseStreams();
    return r;
  }
  DoProgress(TFileAction::acCopy, -SourceFileData.FileSize, false);
  r = CopyStream(*sSource, sDest.get(), -1, true);
  if (!r && UTotal != SourceFileData.FileSize) {
    FSysErrMsg = SafeFormat(_(L"The size of the source changed during the copy (%d -> %d bytes)"),
                            SourceFileData.FileSize, UTotal);
    r = kRead;
  }
  if (!r)
    r = CompleteCopy(CopyStorage, CopyAltStreams, CopyPermissions);
  else
    ReleaseStreams();
  return r;
}

int32_t TCopyThread::GzipFile() {
  int32_t r = OpenStreams();
  if (r) {
    ReleaseStreams();
    return r;
  }
  const std::string header =
      GzHeaderBytes(FName, static_cast<uint32_t>(FileTimeToUnixSeconds(SourceFileData.TimeStamps.LastWriteTime)));
  int64_t start = 0;
  try {
    sDest->WriteAll(header.data(), static_cast<int64_t>(header.size()));
    start = sDest->Position();
  } catch (const std::exception& e) {
    r = WriteErrorCode(e);
  }
  if (!r) {
    DoProgress(TFileAction::acCompress, -SourceFileData.FileSize, false);
    r = DeflateStream(*sSource, *sDest, true);
  }
  if (!r && SourceFileData.FileSize != UTotal) {
    FSysErrMsg = SafeFormat(_(L"The size of the source changed during the copy (%d -> %d bytes)"),
                            SourceFileData.FileSize, UTotal);
    r = kRead;
  }
  if (!r) {
    try {
      CTotal = sDest->Position() - start;
      const std::string trailer = GzTrailerBytes(FCrc, UTotal);
      sDest->WriteAll(trailer.data(), static_cast<int64_t>(trailer.size()));
      const std::string sizes = GzSizeFieldBytes(CTotal, UTotal);
      sDest->SetPosition(kGzSizeFieldOffset);
      sDest->WriteAll(sizes.data(), static_cast<int64_t>(sizes.size()));
    } catch (const std::exception& e) {
      r = WriteErrorCode(e);
    }
  }
  if (!r)
    r = CompleteCopy(CopyStorage, CopyAltStreams, CopyPermissions);
  else
    ReleaseStreams();
  return r;
}

int32_t TCopyThread::WriteZipData(bool compress) {
  int64_t start;
  try {
    start = sDest->Position();
  } catch (const std::exception& e) {
    return WriteErrorCode(e);
  }
  const int64_t size = SourceFileData.FileSize;
  int32_t r;
  if (size > 0 && compress) {
    DoProgress(TFileAction::acCompress, -size, false);
    r = DeflateStream(*sSource, *sDest, true);
  } else {
    DoProgress(TFileAction::acCopy, -size, false);
    r = CopyStream(*sSource, sDest.get(), -1, true);
  }
  if (!r && size != UTotal) {
    FSysErrMsg = SafeFormat(_(L"The size of the source changed during the copy (%d -> %d bytes)"), size, UTotal);
    r = kRead;
  }
  if (!r) {
    try {
      CTotal = sDest->Position() - start;
    } catch (const std::exception& e) {
      r = WriteErrorCode(e);
    }
  }
  return r;
}

int32_t TCopyThread::ZipFile(bool compress) {
  uint32_t attr = SourceFileData.FileAttr;
  if (ResetArchiveBit) attr &= ~static_cast<uint32_t>(FILE_ATTRIBUTE_ARCHIVE);
  TZipEntry entry = MakeZipEntry(FName, SourceFileData.FileSize, compress,
                                 static_cast<uint32_t>(FileTimeToDosTime(SourceFileData.TimeStamps.LastWriteTime)),
                                 attr);
  try {
    const std::string local = ZipLocalHeader(entry);
    sDest->WriteAll(local.data(), static_cast<int64_t>(local.size()));
  } catch (const std::exception& e) {
    return WriteErrorCode(e);
  }
  if (int32_t r = WriteZipData(entry.Deflate)) return r;
  entry.Crc = FCrc;
  entry.USize = static_cast<uint64_t>(UTotal);
  entry.CSize = static_cast<uint64_t>(CTotal);
  try {
    unsigned char b[16];
    auto put = [&](uint64_t v, int at, int n) {
      for (int i = 0; i < n; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    sDest->SetPosition(14);
    put(entry.Crc, 0, 4);
    if (entry.Zip64) {
      sDest->WriteAll(b, 4);
      sDest->SetPosition(ZipLocalZip64Offset(entry));
      put(entry.USize, 0, 8);
      put(entry.CSize, 8, 8);
      sDest->WriteAll(b, 16);
    } else {
      put(entry.CSize, 4, 4);
      put(entry.USize, 8, 4);
      sDest->WriteAll(b, 12);
    }
    const int64_t dirOffset = sDest->Seek(0, TSeekOrigin::soEnd);
    const std::string dir = ZipDirectory(entry, static_cast<uint64_t>(dirOffset));
    sDest->WriteAll(dir.data(), static_cast<int64_t>(dir.size()));
  } catch (const std::exception& e) {
    return WriteErrorCode(e);
  }
  return 0;
}

int32_t TCopyThread::ShellCopyFile() {
  if (!GetFileData(SourceName, SourceFileData)) return kNotFound;
  if (DestName.empty()) return kCreate;
  const bool quiet = (ShellCopy & scmQuiet) || SourceFileData.FileSize < 0x100000;
  DoProgress(TFileAction::acCopy, -1, false);
  if (SetSysError(static_cast<uint32_t>(ShellItemCopy(nullptr, SourceName, DestName, quiet)))) return kWrite;
  if (FVerify) {
    UTotal = 0;
    FCrc = 0;
    try {
      sSource = THandleStream::OpenRead(SourceNameXL);
    } catch (const Exception& e) {
      FSysErrMsg = e.Message();
      return kVerify;
    }
    DoProgress(TFileAction::acVerify, -SourceFileData.FileSize, false);
    int32_t r = CopyStream(*sSource, nullptr, -1, true);
    sSource.reset();
    if (r == kTerminated) return r;
    if (r) return kVerify;
  }
  if (CopyTimeStamp && CopyCreationTime &&
      SetSysError(SetFileTimestamps(DestNameXL, SourceFileData.TimeStamps, CheckTime, true, false)))
    return kWarnTimestamp;
  return 0;
}

int32_t TCopyThread::CompleteCopy(bool summary, bool altStreams, bool acl) {
  int32_t r = 0;
  const std::wstring& target = WrittenName();
  uint32_t wantAttr = SourceFileData.FileAttr & 0x31A7;
  if (ResetArchiveBit) wantAttr &= ~static_cast<uint32_t>(FILE_ATTRIBUTE_ARCHIVE);
  // Without streams, summary or permissions to add, times and attributes go through the open handle.
  const bool byHandle = sDest && sDest->Handle() != INVALID_HANDLE_VALUE && !summary && !altStreams && !acl;
  if (sDest) {
    if (FVerify && SetSysError(sDest->Flush())) r = kWrite;
    // Times and attributes in one call; only when that fails, each alone for its own warning.
    const bool both = !r && byHandle && CopyTimeStamp && CopyAttr &&
                SetHandleTimesAndAttributes(sDest->Handle(), SourceFileData.TimeStamps, CheckTime, CopyCreationTime,
                                            wantAttr) == 0;
    if (!r && !both && byHandle && CopyTimeStamp &&
        SetSysError(SetHandleTimestamps(sDest->Handle(), SourceFileData.TimeStamps, CheckTime, CopyCreationTime)))
      r = kWarnTimestamp;
    if (!r && !both && byHandle && CopyAttr && SetSysError(SetHandleAttributes(sDest->Handle(), wantAttr)))
      r = kWarnAttributes;
    // The finished copy takes its name through the open handle; where that is refused, the name is
    // given after the close.
    if (!IsCopyFailure(r) && byHandle && !FVerify && !TempNameXL.empty() &&
        RenameByHandle(sDest->Handle(), DestNameXL, Overwrite))
      TempNameXL.clear();
    // A failed close can lose data that the system still held.
    if (SetSysError(sDest->Close()) && !IsCopyFailure(r)) r = kWrite;
  }
  ReleaseStreams();
  if (r || byHandle) return r;
  if (altStreams) {
    uint32_t e = CopyAlternateStreams(SourceNameXL, target);
    // A system without stream enumeration has nothing to copy.
    if (e != ERROR_CALL_NOT_IMPLEMENTED && SetSysError(e)) r = kWarnAltStreams;
  }
  if (!r && summary) {
    const long hr = CopyFileSummary(SourceNameXL, target);
    if (hr != 0) {
      SetSysError(static_cast<uint32_t>(hr));
      r = kWarnSummary;
    }
  }
  if (!r && acl && SetSysError(CopyFileSecurity(SourceNameXL, target))) r = kWarnPermissions;
  if (!r && CopyTimeStamp &&
      SetSysError(SetFileTimestamps(target, SourceFileData.TimeStamps, CheckTime, CopyCreationTime, false)))
    r = kWarnTimestamp;
  if (!r && CopyAttr) {
    int32_t cur = FileGetAttrXL(target, false);
    if ((cur == -1 || (static_cast<uint32_t>(cur) & 0x31A7) != wantAttr) &&
        SetSysError(FileSetAttrXL(target, wantAttr, false)))
      r = kWarnAttributes;
  }
  return r;
}

int32_t TCopyThread::OpenForVerify(const std::wstring& fileName) {
  const uint32_t delay = VerifyDelay * 1000 / 25;
  std::wstring text;
  for (int i = 0; i < 26; ++i) {
    try {
      sDest = THandleStream::OpenRead(fileName);
      return 0;
    } catch (const Exception& e) {
      text = e.Message();
    }
    if (i < 25 && !FState->Sleep(delay)) return kTerminated;
  }
  FSysErrMsg = text + L" (" + std::to_wstring(25 * delay) + L"ms)";
  return kVerifyOpen;
}

namespace {

// Reads the open copy with fresh totals and restores the copy's own CRC and sizes afterwards.
class TVerifyScope {
 public:
  TVerifyScope(uint32_t& crc, int64_t& uTotal, int64_t& cTotal)
      : FCrc(crc), FU(uTotal), FC(cTotal), FWantCrc(crc), FWantU(uTotal), FWantC(cTotal) {
    FCrc = 0;
    FU = 0;
  }
  ~TVerifyScope() {
    FCrc = FWantCrc;
    FU = FWantU;
    FC = FWantC;
  }
  // The read's result as the verification's: what was read must be what was copied.
  int32_t Check(int32_t r) const {
    if (r == kTerminated) return r;
    return r || FCrc != FWantCrc || FU != FWantU ? kVerify : 0;
  }

 private:
  uint32_t& FCrc;
  int64_t& FU;
  int64_t& FC;
  const uint32_t FWantCrc;
  const int64_t FWantU, FWantC;
};

}  // namespace

int32_t TCopyThread::VerifyCopy() {
  int32_t r = OpenForVerify(WrittenName());
  if (r) return r;
  TVerifyScope scope(FCrc, UTotal, CTotal);
  const bool crc = FNeedCrc;
  FNeedCrc = true;
  DoProgress(TFileAction::acVerify, -SourceFileData.FileSize, false);
  r = scope.Check(CopyStream(*sDest, nullptr, -1, true));
  FNeedCrc = crc;
  sDest.reset();
  return r;
}

// The whole member as gzip -t reads it: header, deflate data to its end marker, trailer at the end
// of the file with the CRC and size of the data.
int32_t TCopyThread::VerifyGzFile() {
  int32_t r = OpenForVerify(WrittenName());
  if (r) return r;
  TGzHeaderInfo info;
  r = ReadGzHeader(*sDest, info);
  if (r) {
    sDest.reset();
    return r;
  }
  TVerifyScope scope(FCrc, UTotal, CTotal);
  DoProgress(TFileAction::acVerify, -info.USize, false);
  r = InflateStream(*sDest, nullptr, info.CSize, true);
  if (r == 0) {
    try {
      if (!CheckGzTrailer(*sDest, FCrc, UTotal)) {
        FSysErrMsg = _(L"The gzip trailer does not match the data");
        r = kVerify;
      }
    } catch (const Exception& e) {
      FSysErrMsg = e.Message();
      r = kVerify;
    }
  }
  r = scope.Check(r);
  sDest.reset();
  return r;
}

// The whole archive as unzip -t reads it: local header, data to its end, CRC and sizes, then the
// central directory entry equal to the local header and the end records.
int32_t TCopyThread::VerifyZipFile() {
  int32_t r = OpenForVerify(WrittenName());
  if (r) return r;
  TZipFileInfo info;
  if (!ReadZipHeader(*sDest, info) || (info.Method != 0 && info.Method != 8)) {
    sDest.reset();
    return kHeader;
  }
  TVerifyScope scope(FCrc, UTotal, CTotal);
  DoProgress(TFileAction::acVerify, -info.USize, false);
  try {
    const int64_t dataStart = sDest->Position();
    r = info.Method == 8 ? InflateStream(*sDest, nullptr, info.CSize, true)
                         : CopyStream(*sDest, nullptr, info.CSize, true);
    if (r == 0 && (FCrc != info.Crc || UTotal != info.USize || sDest->Position() != dataStart + info.CSize)) {
      FSysErrMsg = _(L"The zip entry does not match its header");
      r = kVerify;
    }
    if (r == 0 && !CheckZipDirectory(*sDest, info)) {
      FSysErrMsg = _(L"The zip directory is missing or does not match the entry");
      r = kVerify;
    }
  } catch (const Exception& e) {
    FSysErrMsg = e.Message();
    r = kVerify;
  }
  r = scope.Check(r);
  sDest.reset();
  return r;
}

int32_t TCopyThread::CommitCopy(int32_t code) {
  ReleaseStreams();
  if (TempNameXL.empty()) return code;
  const std::wstring temp = std::move(TempNameXL);
  TempNameXL.clear();
  if (IsCopyFailure(code)) {
    DeleteFileXL(temp, true);
    return code;
  }
  // The rename comes first; only a destination that refuses it gets its attributes reset.
  const DWORD flags = Overwrite ? MOVEFILE_REPLACE_EXISTING : 0;
  if (MoveFileExW(temp.c_str(), DestNameXL.c_str(), flags)) return code;
  DWORD err = GetLastError();
  int32_t oldAttr = -1;
  if (Overwrite && err == ERROR_ACCESS_DENIED) {
    oldAttr = FileGetAttrXL(DestNameXL, false);
    if (oldAttr != -1 && (oldAttr & ~FILE_ATTRIBUTE_ARCHIVE & 0x31A7)) {
      if (SetSysError(FileSetAttrXL(DestNameXL, FILE_ATTRIBUTE_ARCHIVE, false))) {
        DeleteFileXL(temp, true);
        return kResetAttributes;
      }
      if (MoveFileExW(temp.c_str(), DestNameXL.c_str(), flags)) return code;
      err = GetLastError();
      FileSetAttrXL(DestNameXL, static_cast<uint32_t>(oldAttr), false);
    }
  }
  SetSysError(err);
  DeleteFileXL(temp, true);
  return err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS ? kCreate : kRename;
}

// ---------------------------------------------------------------------------------------------- TGZipThread

TGZipThread::TGZipThread(std::wstring_view sourceName, std::wstring_view destName, uint32_t bufSize, int priority)
    : TCopyThread(sourceName, destName, bufSize, priority) {
  FCompress = true;
  FErrFlag = 0x2000;
}

TGZipThread::~TGZipThread() { StopAndWait(); }

void TGZipThread::Execute() {
  FNeedCrc = true;
  int32_t r = GzipFile();
  if (FVerify && r == 0) r = VerifyGzFile();
  FinishCopy(CommitCopy(r));
}

// ---------------------------------------------------------------------------------------------- TWinCopyThread

TWinCopyThread::TWinCopyThread(std::wstring_view sourceName, std::wstring_view destName, TCopyOptions options,
                               uint32_t bufSize, int priority)
    : TGZipThread(sourceName, destName, bufSize, priority) {
  auto has = [options](TCopyOption o) { return (options & (1u << o)) != 0; };
  FCompress = has(coCompress);
  FZipCompress = has(coZipCompress);
  FVerify = has(coVerify);
  Overwrite = has(coOverwrite);
  CopyStorage = has(coStorage);
  CopyAltStreams = has(coAltStreams);
  CopyPermissions = has(coPermissions);
  CopyAttr = has(coAttributes);
  CopyTimeStamp = has(coTimeStamp);
  CopyCreationTime = has(coCreationTime);
  CheckTime = has(coCheckTime);
  SetNoWriteCache(has(coNoCache));
  ResetArchiveBit = has(coResetArchive);
  FErrFlag = FZipCompress ? 0x4000 : FCompress ? 0x2000 : 0x1000;
}

TWinCopyThread::~TWinCopyThread() { StopAndWait(); }

void TWinCopyThread::Execute() {
  if (FVerify) SetNoWriteCache(true);
  FNeedCrc = FVerify || FCompress || FZipCompress;
  int32_t r;
  if (ShellCopy & scmCopy) {
    r = ShellCopyFile();
    if (FVerify && r == 0) r = VerifyCopy();
  } else if (FZipCompress) {
    r = OpenStreams();
    if (!r) r = ZipFile(FCompress);
    if (!r)
      r = CompleteCopy(false, CopyAltStreams, CopyPermissions);
    else
      ReleaseStreams();
    if (FVerify && r == 0) r = VerifyZipFile();
    r = CommitCopy(r);
  } else if (FCompress) {
    r = GzipFile();
    if (FVerify && r == 0) r = VerifyGzFile();
    r = CommitCopy(r);
  } else {
    r = PlainCopy();
    if (FVerify && r == 0) r = VerifyCopy();
    r = CommitCopy(r);
  }
  FinishCopy(r);
}

}  // namespace hv
