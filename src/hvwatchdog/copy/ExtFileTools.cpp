#include "hvwatchdog/copy/ExtFileTools.h"

#include <windows.h>
#include <zlib.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "base/text/ExtSysUtils.h"
#include "hvwatchdog/copy/ArchiveFormats.h"
#include "hvwatchdog/copy/CopySysUtils.h"
#include "winui/Translate.h"

namespace hv {

namespace {

bool IsFailure(int32_t code) { return code != 0 && (code & 0xF00) != 0x200; }

std::wstring FileNamePart(std::wstring_view name) {
  size_t p = name.find_last_of(L"\\/:");
  return std::wstring(p == std::wstring_view::npos ? name : name.substr(p + 1));
}

bool IsDiskFull(uint32_t code) { return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL; }

// Worker threads that run one copy after another; an idle worker ends after a while.
class TCopyWorkers {
 public:
  void Run(std::function<void()> job) {
    std::lock_guard lock(FMutex);
    FJobs.push_back(std::move(job));
    if (FIdle == 0) {
      std::thread([this] { Work(); }).detach();
    } else {
      --FIdle;
      FWake.notify_one();
    }
  }

 private:
  void Work() {
    std::unique_lock lock(FMutex);
    for (;;) {
      if (FJobs.empty()) {
        ++FIdle;
        if (!FWake.wait_for(lock, std::chrono::seconds(10), [this] { return !FJobs.empty(); })) {
          --FIdle;
          return;
        }
        // The one who queued the job counted this worker as busy again.
      }
      auto job = std::move(FJobs.front());
      FJobs.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }
  std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<std::function<void()>> FJobs;
  int FIdle = 0;
};

// Never destroyed: idle workers may still wait on it while the process ends.
TCopyWorkers& Workers() {
  static auto* workers = new TCopyWorkers;
  return *workers;
}

}  // namespace

// ---------------------------------------------------------------------------------------------- TCopyThread

TCopyThread::TCopyThread(TNoStart, std::wstring_view sourceName, std::wstring_view destName, uint32_t bufSize,
                         int priority)
    : FEvent(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      SourceName(sourceName),
      DestName(destName),
      SourceNameXL(LongPathXL(sourceName)),
      DestNameXL(LongPathXL(destName)),
      FName(FileNamePart(sourceName)),
      FBuffer(bufSize ? bufSize : 1),
      FPriority(priority) {}

TCopyThread::TCopyThread(std::wstring_view sourceName, std::wstring_view destName, bool suspend, uint32_t bufSize,
                         int priority)
    : TCopyThread(TNoStart{}, sourceName, destName, bufSize, priority) {
  if (!suspend) Start();
}

TCopyThread::~TCopyThread() { StopAndWait(); }

void TCopyThread::Start() {
  if (FStarted) return;
  FStarted = true;
  FDoneEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr), [](void* h) {
    if (h) CloseHandle(h);
  });
  Workers().Run([this, done = FDoneEvent] {
    Run();
    // This object may be gone from here on.
    if (done) SetEvent(done.get());
  });
}

void TCopyThread::WaitFor() {
  if (!FStarted) return;
  if (FDoneEvent)
    WaitForSingleObject(FDoneEvent.get(), INFINITE);
  else
    while (!Done()) Sleep(1);
}

void TCopyThread::StopAndWait() {
  if (!FStarted) return;
  if (!Done()) {
    // Only an owner that gives up early gets here: stop the copy and let a paused one go on.
    FUserBreak = true;
    if (FEvent) SetEvent(FEvent.Get());
  }
  WaitFor();
}

void TCopyThread::Run() noexcept {
  const int oldPriority = GetThreadPriority(GetCurrentThread());
  try {
    SetThreadPriority(GetCurrentThread(), FPriority);
    Execute();
  } catch (...) {
    ReleaseStreams();
    if (!TempNameXL.empty()) DeleteFileXL(TempNameXL, true);
    FError = FErrFlag | 0x105;
  }
  SetThreadPriority(GetCurrentThread(), oldPriority);
  FDone.store(true, std::memory_order_release);
}

void TCopyThread::SetPaused(bool value) {
  if (Done() || value == FPaused) return;
  FPaused = value;
  if (value)
    ResetEvent(FEvent.Get());
  else
    SetEvent(FEvent.Get());
}

void TCopyThread::Gate() {
  if (FEvent) WaitForSingleObject(FEvent.Get(), INFINITE);
}

void TCopyThread::DoProgress(TFileAction action, int64_t count, bool speedLimit) {
  // Runs on the copy thread: a callback that touches windows must post to them.
  if (FOnProgress) FOnProgress(action, count, speedLimit);
}

bool TCopyThread::SetSysError(uint32_t code) {
  if (code == 0) return false;
  FSysError = (code & 0x7FF0000) ? code : (0x00070000u | (code & 0xFFFF));
  return true;
}

void TCopyThread::FinishCopy(int32_t code) {
  Gate();
  FRatio = FCompress && UTotal > 0
               ? static_cast<int32_t>(std::nearbyint(static_cast<double>(CTotal) * 1000.0 / static_cast<double>(UTotal)))
               : 1000;
  if (FSysError) {
    // A Windows code kept with facility 7 is shown with the text of the Windows code.
    uint32_t shown = (FSysError & 0xFFFF0000u) == 0x00070000u ? (FSysError & 0xFFFF) : FSysError;
    FSysErrMsg = SafeFormat(L"System error: %s", SystemErrorText(shown));
  }
  if (code) FError = FErrFlag | code;
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
    return IsDiskFull(w->ErrorCode()) ? 263 : 261;
  }
  if (auto* x = dynamic_cast<const Exception*>(&e)) FSysErrMsg = x->Message();
  return 261;
}

int32_t TCopyThread::OpenStreams() {
  // The source's size, times and attributes come from the handle the copy reads through.
  SourceFileData.Reset();
  SourceFileData.FileName = FName;
  try {
    sSource = THandleStream::OpenRead(SourceNameXL);
  } catch (const EOSError& e) {
    const uint32_t code = e.ErrorCode();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME) return 270;
    FSysErrMsg = e.Message();
    return 258;
  }
  // Basic information and size: far cheaper than the full record of GetFileInformationByHandle.
  FILE_BASIC_INFO info;
  LARGE_INTEGER size;
  if (!GetFileInformationByHandleEx(sSource->Handle(), FileBasicInfo, &info, sizeof info) ||
      !GetFileSizeEx(sSource->Handle(), &size)) {
    SetSysError(GetLastError());
    return 258;
  }
  SourceFileData.FileSize = size.QuadPart;
  SourceFileData.FileAttr = info.FileAttributes;
  SourceFileData.TimeStamps.Valid = true;
  SourceFileData.TimeStamps.CreationTime = static_cast<TFileTime>(info.CreationTime.QuadPart);
  SourceFileData.TimeStamps.LastAccessTime = static_cast<TFileTime>(info.LastAccessTime.QuadPart);
  SourceFileData.TimeStamps.LastWriteTime = static_cast<TFileTime>(info.LastWriteTime.QuadPart);
  if (DestName.empty()) return 257;
  if (!Overwrite && FileGetAttrXL(DestNameXL, false) != -1) {
    SetSysError(ERROR_FILE_EXISTS);
    return 257;
  }
  static std::atomic<unsigned> counter{0};
  wchar_t suffix[40];
  swprintf(suffix, std::size(suffix), L".~%04x%04x.tmp", static_cast<unsigned>(GetCurrentThreadId() & 0xFFFF),
           (counter++ ^ GetTickCount()) & 0xFFFF);
  std::wstring temp = LongPathXL(DestName + suffix);
  try {
    if (FDestFactory)
      sDest = FDestFactory(temp, false, FWriteMode);
    else
      sDest = std::make_unique<TWriteFileStream>(temp, false, FWriteMode, 0);
  } catch (const Exception& e) {
    FSysErrMsg = e.Message();
    return 257;
  }
  TempNameXL = temp;
  return 0;
}

int32_t TCopyThread::CopyStream(TStream& source, TStream* dest, int64_t length, bool speedLimit, bool toEnd) {
  int32_t r = 0;
  unsigned char* buf = FBuffer.data();
  const int64_t bufSize = static_cast<int64_t>(FBuffer.size());
  for (;;) {
    Gate();
    const int64_t n = toEnd ? bufSize : std::min(length, bufSize);
    if (n <= 0) break;
    int64_t got;
    try {
      got = source.Read(buf, n);
    } catch (const Exception& e) {
      FSysErrMsg = e.Message();
      r = 260;
      break;
    }
    if (!toEnd && got < n) {
      SetSysError(ERROR_HANDLE_EOF);
      r = 260;
      break;
    }
    UTotal += got;
    DoProgress(dest ? TFileAction::acCopy : TFileAction::acPrepare, UTotal, speedLimit);
    if (FNeedCrc) FCrc = crc32(FCrc, buf, static_cast<uInt>(got));
    if (dest && got > 0) {
      int64_t put;
      try {
        put = dest->Write(buf, got);
      } catch (const std::exception& e) {
        r = WriteErrorCode(e);
        break;
      }
      if (put < got) {
        r = 263;
        break;
      }
    }
    if (FUserBreak) {
      r = 128;
      break;
    }
    length -= got;
    if (toEnd ? got < n : length < 1) break;
  }
  CTotal = UTotal;
  return r;
}

int32_t TCopyThread::DeflateStream(TStream& source, TStream& dest, bool speedLimit) {
  int32_t r = 0;
  unsigned char* buf = FBuffer.data();
  const int64_t bufSize = static_cast<int64_t>(FBuffer.size());
  try {
    const int64_t start = dest.Position();
    TZCompressionStream z(dest, FCompLevel, -15);
    for (;;) {
      Gate();
      int64_t got;
      try {
        got = source.Read(buf, bufSize);
      } catch (const Exception& e) {
        FSysErrMsg = e.Message();
        r = 260;
        break;
      }
      UTotal += got;
      DoProgress(TFileAction::acCompress, UTotal, speedLimit);
      FCrc = crc32(FCrc, buf, static_cast<uInt>(got));
      if (got > 0) z.Write(buf, got);
      if (FUserBreak) {
        r = 128;
        break;
      }
      if (got < bufSize) break;
    }
    if (r == 0) {
      z.Finish();
      if (UTotal > 0 && dest.Position() == start) r = 263;
    }
  } catch (const std::exception& e) {
    r = WriteErrorCode(e);
  }
  return r;
}

int32_t TCopyThread::InflateStream(TStream& source, TStream* dest, int64_t length, bool speedLimit) {
  int32_t r = 0;
  unsigned char* buf = FBuffer.data();
  const int64_t bufSize = static_cast<int64_t>(FBuffer.size());
  int64_t total = 0;
  try {
    TZDecompressionStream z(source, length, -15);
    for (;;) {
      Gate();
      int64_t got;
      try {
        got = z.Read(buf, bufSize);
      } catch (const Exception& e) {
        FSysErrMsg = e.Message();
        r = 260;
        break;
      }
      FCrc = crc32(FCrc, buf, static_cast<uInt>(got));
      total += got;
      DoProgress(TFileAction::acUnCompress, total, speedLimit);
      if (dest && got > 0) {
        int64_t put;
        try {
          put = dest->Write(buf, got);
        } catch (const std::exception& e) {
          r = WriteErrorCode(e);
          break;
        }
        if (put < got) {
          r = 263;
          break;
        }
      }
      UTotal += got;
      if (FUserBreak) {
        r = 128;
        break;
      }
      if (got < bufSize) break;
    }
  } catch (const Exception& e) {
    FSysErrMsg = e.Message();
    r = 260;
  }
  return r;
}

int32_t TCopyThread::PlainCopy() {
  int32_t r = OpenStreams();
  if (r) {
    ReleaseStreams();
    return r;
  }
  DoProgress(TFileAction::acCopy, -SourceFileData.FileSize, false);
  r = CopyStream(*sSource, sDest.get(), 0, true, true);
  if (!r && UTotal != SourceFileData.FileSize) {
    FSysErrMsg = SafeFormat(_(L"The size of the source changed during the copy (%d -> %d bytes)"),
                            SourceFileData.FileSize, UTotal);
    r = 260;
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
      GzHeaderBytes(FName, static_cast<uint32_t>(FileTimeToUnixSeconds(
                                                  SourceFileData.TimeStamps.LastWriteTime)));
  try {
    if (sDest->Write(header.data(), static_cast<int64_t>(header.size())) != static_cast<int64_t>(header.size()))
      r = 263;
  } catch (const std::exception& e) {
    r = WriteErrorCode(e);
  }
  int64_t start = 0;
  if (!r) {
    try {
      start = sDest->Position();
    } catch (const std::exception& e) {
      r = WriteErrorCode(e);
    }
  }
  if (!r) {
    DoProgress(TFileAction::acCompress, -SourceFileData.FileSize, false);
    r = DeflateStream(*sSource, *sDest, true);
  }
  if (!r && SourceFileData.FileSize != UTotal) {
    FSysErrMsg = SafeFormat(_(L"The size of the source changed during the copy (%d -> %d bytes)"),
                            SourceFileData.FileSize, UTotal);
    r = 260;
  }
  if (!r) {
    try {
      CTotal = sDest->Position() - start;
      unsigned char t[8];
      for (int i = 0; i < 4; ++i) {
        t[i] = static_cast<unsigned char>(FCrc >> (8 * i));
        t[4 + i] = static_cast<unsigned char>(static_cast<uint64_t>(UTotal) >> (8 * i));
      }
      if (sDest->Write(t, 8) != 8) {
        r = 263;
      } else {
        unsigned char sizes[16];
        for (int i = 0; i < 8; ++i) {
          sizes[i] = static_cast<unsigned char>(static_cast<uint64_t>(CTotal) >> (8 * i));
          sizes[8 + i] = static_cast<unsigned char>(static_cast<uint64_t>(UTotal) >> (8 * i));
        }
        sDest->SetPosition(kGzSizeFieldOffset);
        sDest->WriteAll(sizes, 16);
      }
    } catch (const std::exception& e) {
      WriteErrorCode(e);
      r = 261;
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
    r = CopyStream(*sSource, sDest.get(), 0, true, true);
  }
  if (!r && size != UTotal) {
    FSysErrMsg =
        SafeFormat(_(L"The size of the source changed during the copy (%d -> %d bytes)"), size, UTotal);
    r = 260;
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
    WriteErrorCode(e);
    return 5;
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
    WriteErrorCode(e);
    return 5;
  }
  return 0;
}

int32_t TCopyThread::ShellCopyFile() {
  if (!GetFileData(SourceName, SourceFileData)) return 270;
  if (DestName.empty()) return 257;
  const bool quiet = (ShellCopy & scmQuiet) || SourceFileData.FileSize < 0x100000;
  DoProgress(TFileAction::acCopy, -1, false);
  if (SetSysError(static_cast<uint32_t>(ShellItemCopy(nullptr, SourceName, DestName, quiet)))) return 261;
  if (FVerify) {
    UTotal = 0;
    FCrc = 0;
    try {
      sSource = THandleStream::OpenRead(SourceNameXL);
    } catch (const Exception& e) {
      FSysErrMsg = e.Message();
      return 268;
    }
    DoProgress(TFileAction::acVerify, -SourceFileData.FileSize, false);
    int32_t r = CopyStream(*sSource, nullptr, 0, true, true);
    sSource.reset();
    if (r == 128) return r;
    if (r) return 268;
  }
  if (CopyTimeStamp && CopyCreationTime &&
      SetSysError(SetFileTimestamps(DestNameXL, SourceFileData.TimeStamps, CheckTime, true, false)))
    return 527;
  return 0;
}

int32_t TCopyThread::CompleteCopy(bool summary, bool altStreams, bool acl) {
  int32_t r = 0;
  const std::wstring& target = TempNameXL.empty() ? DestNameXL : TempNameXL;
  uint32_t wantAttr = SourceFileData.FileAttr & 0x31A7;
  if (ResetArchiveBit) wantAttr &= ~static_cast<uint32_t>(FILE_ATTRIBUTE_ARCHIVE);
  // Without streams, summary or permissions to add, times and attributes go through the open handle.
  const bool byHandle = sDest && sDest->Handle() != INVALID_HANDLE_VALUE && !summary && !altStreams && !acl;
  if (sDest) {
    if (FVerify && SetSysError(sDest->Flush())) r = 261;
    if (!r && byHandle && CopyTimeStamp &&
        SetSysError(SetHandleTimestamps(sDest->Handle(), SourceFileData.TimeStamps, CheckTime, CopyCreationTime)))
      r = 527;
    if (!r && byHandle && CopyAttr && SetSysError(SetHandleAttributes(sDest->Handle(), wantAttr))) r = 518;
    // A failed close can lose data that the system still held.
    if (SetSysError(sDest->Close()) && (r == 0 || (r & 0xF00) == 0x200)) r = 261;
  }
  ReleaseStreams();
  if (r || byHandle) return r;
  if (altStreams) {
    uint32_t e = CopyAlternateStreams(SourceNameXL, target);
    // A system without stream enumeration has nothing to copy.
    if (e != ERROR_CALL_NOT_IMPLEMENTED && SetSysError(e)) r = 549;
  }
  if (!r && summary) {
    // Document summaries are not carried over by this engine.
    SetSysError(ERROR_NOT_SUPPORTED);
    r = 528;
  }
  if (!r && acl && SetSysError(CopyFileSecurity(SourceNameXL, target))) r = 531;
  if (!r && CopyTimeStamp &&
      SetSysError(SetFileTimestamps(target, SourceFileData.TimeStamps, CheckTime, CopyCreationTime, false)))
    r = 527;
  if (!r && CopyAttr) {
    int32_t cur = FileGetAttrXL(target, false);
    if ((cur == -1 || (static_cast<uint32_t>(cur) & 0x31A7) != wantAttr) &&
        SetSysError(FileSetAttrXL(target, wantAttr, false)))
      r = 518;
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
    Sleep(delay);
  }
  FSysErrMsg = text + L" (" + std::to_wstring(25 * delay) + L"ms)";
  return 278;
}

// Reads the open copy with fresh totals; the copy's own CRC and sizes are what the read must give,
// and they are restored afterwards.
int32_t TCopyThread::VerifyRead(int64_t announcedSize, const std::function<int32_t()>& read) {
  const uint32_t wantCrc = FCrc;
  const int64_t wantSize = UTotal, wantC = CTotal;
  FCrc = 0;
  UTotal = 0;
  DoProgress(TFileAction::acVerify, -announcedSize, false);
  int32_t r = read();
  if (r != 128 && (r || FCrc != wantCrc || UTotal != wantSize)) r = 268;
  FCrc = wantCrc;
  UTotal = wantSize;
  CTotal = wantC;
  sDest.reset();
  return r;
}

int32_t TCopyThread::VerifyCopy() {
  const std::wstring& target = TempNameXL.empty() ? DestNameXL : TempNameXL;
  int32_t r = OpenForVerify(target);
  if (r) return r;
  return VerifyRead(UTotal, [this] { return CopyStream(*sDest, nullptr, 0, true, true); });
}

int32_t TCopyThread::VerifyGzFile() {
  int32_t r = OpenForVerify(TempNameXL);
  if (r) return r;
  TGzHeaderInfo info;
  r = ReadGzHeader(*sDest, info);
  if (r) {
    sDest.reset();
    return r;
  }
  return VerifyRead(info.USize, [&] { return InflateStream(*sDest, nullptr, info.CSize, true); });
}

int32_t TCopyThread::VerifyZipFile() {
  int32_t r = OpenForVerify(TempNameXL);
  if (r) return r;
  TZipFileInfo info;
  if (!ReadZipHeader(*sDest, info)) {
    sDest.reset();
    return 8;
  }
  return VerifyRead(info.USize, [&] {
    int32_t rr = info.Method == 8 ? InflateStream(*sDest, nullptr, info.CSize, true)
                                  : CopyStream(*sDest, nullptr, info.CSize, true, false);
    return !rr && FCrc != info.Crc ? 268 : rr;
  });
}

int32_t TCopyThread::CommitCopy(int32_t code) {
  ReleaseStreams();
  if (TempNameXL.empty()) return code;
  if (IsFailure(code)) {
    DeleteFileXL(TempNameXL, true);
    TempNameXL.clear();
    return code;
  }
  int32_t oldAttr = -1;
  if (Overwrite) {
    oldAttr = FileGetAttrXL(DestNameXL, false);
    if (oldAttr != -1 && (oldAttr & ~FILE_ATTRIBUTE_ARCHIVE & 0x31A7) &&
        SetSysError(FileSetAttrXL(DestNameXL, FILE_ATTRIBUTE_ARCHIVE, false))) {
      DeleteFileXL(TempNameXL, true);
      TempNameXL.clear();
      return 262;
    }
  }
  const DWORD flags = Overwrite ? MOVEFILE_REPLACE_EXISTING : 0;
  if (!MoveFileExW(TempNameXL.c_str(), DestNameXL.c_str(), flags)) {
    const DWORD err = GetLastError();
    SetSysError(err);
    if (oldAttr != -1) FileSetAttrXL(DestNameXL, static_cast<uint32_t>(oldAttr), false);
    DeleteFileXL(TempNameXL, true);
    TempNameXL.clear();
    return err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS ? 257 : 291;
  }
  TempNameXL.clear();
  return code;
}

// ---------------------------------------------------------------------------------------------- TGZipThread

TGZipThread::TGZipThread(TNoStart t, std::wstring_view sourceName, std::wstring_view destName, uint32_t bufSize,
                         int priority)
    : TCopyThread(t, sourceName, destName, bufSize, priority) {
  FCompress = true;
  FErrFlag = 0x2000;
}

TGZipThread::TGZipThread(std::wstring_view sourceName, std::wstring_view destName, bool suspend, uint32_t bufSize,
                         int priority)
    : TGZipThread(TNoStart{}, sourceName, destName, bufSize, priority) {
  if (!suspend) Start();
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
                               bool suspend, uint32_t bufSize, int priority)
    : TGZipThread(TNoStart{}, sourceName, destName, bufSize, priority) {
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
  if (!suspend) Start();
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
