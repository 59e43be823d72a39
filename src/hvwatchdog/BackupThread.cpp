#include "hvwatchdog/BackupThread.h"

#include <windows.h>

#include <condition_variable>
#include <deque>

#include "base/app/HvUtils.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "hvwatchdog/copy/ExtFileTools.h"
#include "hvwatchdog/copy/FileErrors.h"
#include "hvwatchdog/copy/FilePropUtils.h"
#include "winui/Translate.h"

namespace hv {

namespace {

std::wstring VersionName(std::wstring_view target, std::wstring_view suffix, int k) {
  return InsertNameSuffix(target, L".bak-" + std::to_wstring(k)) + std::wstring(suffix);
}

// A name beside the copy that no copy of a source file can carry.
std::wstring StagingName(const std::wstring& f) {
  static std::atomic<unsigned> counter{0};
  wchar_t buf[40];
  swprintf(buf, std::size(buf), L".~hv%04x%04x.tmp", static_cast<unsigned>(GetCurrentThreadId() & 0xFFFF),
           (counter++ ^ GetTickCount()) & 0xFFFF);
  return f + buf;
}

uint32_t DeleteVersion(const std::wstring& name) {
  // Read-only is cleared first; a vanished file is no failure.
  return DeleteExistingFileXL(name, true);
}

uint32_t RenameVersion(const std::wstring& from, const std::wstring& to) {
  int32_t attr = FileGetAttrXL(to, false);
  if (attr != -1 && (attr & FILE_ATTRIBUTE_READONLY)) ChangeFileAttrXL(to, FILE_ATTRIBUTE_READONLY, true, false);
  if (MoveFileExW(LongPathXL(from).c_str(), LongPathXL(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
  return GetLastError();
}

int32_t EngineCopy(TCopyPool& pool, const std::wstring& source, const std::wstring& dest, uint32_t options,
                   std::wstring& sysMsg) {
  TWinCopyThread copy(source, dest, options, 0x80000, kPriorityNormal);
  // The backup thread only waits for its copy: the copy runs on it.
  copy.RunHere(pool);
  sysMsg = copy.SysErrorMsg();
  return copy.ErrorCode();
}

}  // namespace

std::wstring BackupTargetName(std::wstring_view dest, std::wstring_view drvId, std::wstring_view source, int hour) {
  std::wstring t(dest);
  if (!drvId.empty()) t = AddPath(dest, MakeDriveFolder(drvId, source));
  wchar_t hh[8];
  swprintf(hh, std::size(hh), L"%.2d", hour);
  for (size_t p; (p = TextPos(L"%hour%", t)) != std::wstring::npos;) t.replace(p, 6, hh);
  std::wstring rest = PathWithoutDrive(source);
  while (!rest.empty() && rest.front() == L'\\') rest.erase(0, 1);
  return AddPath(t, rest);
}

TCopyMode BackupCopyMode(std::wstring_view source, int compress, const TMatchList& noCompList) {
  const bool compressible = !noCompList.Contains(GetExtension(source));
  TCopyMode m{CopyOptions({coOverwrite, coAttributes, coTimeStamp}), L""};
  if (compress == 1) {
    if (compressible) {
      m.Options |= CopyOptions({coCompress});
      m.Suffix = L".gz";
    }
  } else if (compress == 2) {
    if (compressible) m.Options |= CopyOptions({coCompress});
    m.Options |= CopyOptions({coZipCompress});
    m.Suffix = L".zip";
  }
  return m;
}

std::vector<TRotationStep> PlanRotation(std::wstring_view target, std::wstring_view suffix, int retain,
                                        const std::function<bool(const std::wstring&)>& exists) {
  std::vector<TRotationStep> steps;
  const std::wstring current = std::wstring(target) + std::wstring(suffix);
  if (retain <= 0) return steps;
  int gap = retain + 1;
  for (int k = 1; k <= retain; ++k)
    if (!exists(VersionName(target, suffix, k))) {
      gap = k;
      break;
    }
  if (gap > retain) {
    steps.push_back({TRotationStep::rsDelete, VersionName(target, suffix, retain), {}});
    gap = retain;
  }
  for (int k = gap; k >= 2; --k)
    steps.push_back({TRotationStep::rsRename, VersionName(target, suffix, k - 1), VersionName(target, suffix, k)});
  steps.push_back({TRotationStep::rsRename, current, VersionName(target, suffix, 1)});
  return steps;
}

std::wstring BackupFileLine(int id, std::wstring_view source, std::wstring_view dest, int renames,
                            std::wstring_view task, std::wstring_view errorText) {
  wchar_t pos[16];
  swprintf(pos, std::size(pos), L"%.2d", id);
  std::wstring line = L"   => " + std::wstring(pos) + L": " + std::wstring(source) + L" => " + std::wstring(dest);
  if (renames > 0) line += L" (+" + std::to_wstring(renames) + L")";
  line += L" (" + std::wstring(task) + L")";
  if (!errorText.empty()) line += L"\r\n  *** " + std::wstring(errorText);
  return line;
}

std::function<int32_t(const std::wstring&, const std::wstring&, uint32_t, std::wstring&)>& TBackupThread::CopySeam() {
  static std::function<int32_t(const std::wstring&, const std::wstring&, uint32_t, std::wstring&)> seam;
  return seam;
}

TBackupThread::TBackupThread(int id, std::wstring_view task, std::wstring_view destDir, std::wstring_view sourceDir,
                             std::wstring_view drvId, std::wstring_view noComp, const TMatchList& fileList,
                             int compress, int retain, TStringMsg sendMsg)
    : FFileList(fileList),
      FId(id),
      FCompress(compress),
      FRetain(retain),
      FTask(task),
      FDest(destDir),
      FBase(sourceDir),
      FDrv(drvId),
      FOnStringMsg(std::move(sendMsg)) {
  FNoCompList.SetCommaText(noComp);
  FThread = std::thread([this] { Execute(); });
}

TBackupThread::~TBackupThread() {
  if (FThread.joinable()) FThread.join();
}

void TBackupThread::WaitFor() {
  if (FThread.joinable()) FThread.join();
}

std::vector<std::wstring> TBackupThread::Unfinished() const {
  std::lock_guard<std::mutex> g(FLock);
  return FUnfinished;
}

int32_t TBackupThread::BackupFile(const std::wstring& name, int& renames, std::wstring& errText) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::wstring source = AddPath(FBase, name);
  const std::wstring target = BackupTargetName(FDest, FDrv, source, now.wHour);
  const TCopyMode mode = BackupCopyMode(source, FCompress, FNoCompList);
  // A destination folder is made, or found, once per run; a failure surfaces as a copy error.
  const std::wstring folder = GetParentDir(target);
  {
    std::lock_guard<std::mutex> g(FFoldersLock);
    if (!FFolders.contains(folder) && ForceDirectoriesXL(folder)) FFolders.insert(folder);
  }
  const std::wstring f = target + mode.Suffix;
  auto& seam = CopySeam();
  auto copy = [&](const std::wstring& dest) {
    std::wstring sysMsg;
    int32_t e = seam ? seam(source, dest, mode.Options, sysMsg) : EngineCopy(FPool, source, dest, mode.Options, sysMsg);
    if (e != 0) {
      errText = FormatCopyError(e, L"", L"");
      if (!sysMsg.empty()) errText += L": " + sysMsg;
    }
    // The folder may have gone: the next file looks again.
    if (IsCopyFailure(e)) {
      std::lock_guard<std::mutex> g(FFoldersLock);
      FFolders.erase(folder);
    }
    return e;
  };
  // Without versions to keep, the engine replaces the copy through its temporary name. Only versions
  // need to know whether a copy exists (under Wine, asking for a missing name reads the whole folder).
  if (FRetain <= 0 || !FileExistsXL(f, false)) return copy(f);

  const std::wstring staged = StagingName(f);
  int32_t e = copy(staged);
  if (IsCopyFailure(e)) {
    DeleteVersion(staged);
    return e;
  }
  const auto steps = PlanRotation(target, mode.Suffix, FRetain, [](const std::wstring& n) {
    return FileExistsXL(n, false);
  });
  for (const auto& step : steps) {
    const uint32_t err = step.Kind == TRotationStep::rsDelete ? DeleteVersion(step.From) : RenameVersion(step.From, step.To);
    if (err) {
      // The current copy and the versions still there stay as they are; the file stays pending.
      DeleteVersion(staged);
      errText = FormatCopyError(kRotationError, step.From, SystemErrorText(err));
      return kRotationError;
    }
    if (step.Kind == TRotationStep::rsRename) ++renames;
  }
  if (uint32_t err = RenameVersion(staged, f)) {
    // The newest good copy goes back to its name.
    RenameVersion(VersionName(target, mode.Suffix, 1), f);
    DeleteVersion(staged);
    errText = FormatCopyError(kRenameError, f, SystemErrorText(err));
    return kRenameError;
  }
  return e;
}

void TBackupThread::Report(const std::wstring& name, int32_t e, int renames, const std::wstring& errText) {
  if (IsCopyFailure(e)) {
    // A file gone from a directory that is still there has nothing left to copy.
    const std::wstring source = AddPath(FBase, name);
    if (FileExistsXL(source, false) || !IsDirectory(FBase)) {
      std::lock_guard<std::mutex> g(FLock);
      FUnfinished.push_back(name);
    }
  } else {
    ++FCopied;
  }
  if (FOnStringMsg) {
    try {
      FOnStringMsg(BackupFileLine(FId, AddPath(FBase, name), FDest, renames, FTask, errText));
    } catch (...) {
      // The log is the receiver's affair; the thread goes on and reports done.
    }
  }
}

int32_t TBackupThread::BackupFileSafe(const std::wstring& name, int& renames, std::wstring& errText) noexcept {
  try {
    return BackupFile(name, renames, errText);
  } catch (const std::exception& x) {
    const auto* ex = dynamic_cast<const Exception*>(&x);
    errText = ex ? ex->Message() : Utf8ToWide(x.what());
  } catch (...) {
    errText = _(L"Unexpected error");
  }
  return copyerr::kWrite;
}

void TBackupThread::Execute() noexcept {
  // Several files are copied at once (under Wine most of a small copy waits for the server); each is
  // reported in list order. A test's stand-in copy runs one at a time, as its order may matter.
  const size_t atOnce = CopySeam() ? 1 : kCopiesAtOnce;
  struct TItem {
    const std::wstring* Name;
    int32_t Code = 0;
    int Renames = 0;
    std::wstring ErrText;
    bool Done = false;
  };
  std::deque<TItem> flight;
  std::mutex lock;
  std::condition_variable done;
  auto next = FFileList.begin();
  for (;;) {
    while (flight.size() < atOnce && next != FFileList.end() && !FCancel) {
      TItem& item = flight.emplace_back();
      item.Name = &*next++;
      if (atOnce == 1) {
        item.Code = BackupFileSafe(*item.Name, item.Renames, item.ErrText);
        item.Done = true;
        break;
      }
      FPool.Submit([&, it = &item](std::stop_token) {
        int renames = 0;
        std::wstring errText;
        const int32_t e = BackupFileSafe(*it->Name, renames, errText);
        std::lock_guard<std::mutex> g(lock);
        it->Code = e;
        it->Renames = renames;
        it->ErrText = std::move(errText);
        it->Done = true;
        done.notify_all();
      });
    }
    if (flight.empty()) break;
    TItem& oldest = flight.front();
    {
      std::unique_lock<std::mutex> g(lock);
      done.wait(g, [&] { return oldest.Done; });
    }
    Report(*oldest.Name, oldest.Code, oldest.Renames, oldest.ErrText);
    flight.pop_front();
  }
  // After a cancel, the names not reached stay pending.
  {
    std::lock_guard<std::mutex> g(FLock);
    for (; next != FFileList.end(); ++next) FUnfinished.push_back(*next);
  }
  FDone.store(true, std::memory_order_release);
}

}  // namespace hv
