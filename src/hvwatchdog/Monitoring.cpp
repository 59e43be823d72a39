#include "hvwatchdog/Monitoring.h"

#include "base/app/HvUtils.h"
#include "base/os/FileUtils.h"
#include "base/os/WinDevUtils.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "hvwatchdog/BackupThread.h"
#include "hvwatchdog/copy/FilePropUtils.h"
#include "winui/Controls.h"
#include "winui/Translate.h"

namespace hv {

namespace {

constexpr UINT WM_BACKUP_LINES = WM_USER + 140;
const wchar_t kWindowClass[] = L"HvWatchdogMonitorWindow";
// Milliseconds between two notices of new log lines from the backup threads.
constexpr ULONGLONG kLinesInterval = 100;

std::wstring Pos2(size_t pos) {
  wchar_t buf[16];
  swprintf(buf, std::size(buf), L"%.2u", static_cast<unsigned>(pos));
  return buf;
}

std::wstring NameOnly(const std::wstring& path) { return path.substr(path.find_last_of(L"\\:") + 1); }

std::wstring NowText() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return DateTimeText(st);
}

std::wstring WithThousands(size_t n) {
  std::wstring digits = std::to_wstring(n), out;
  const wchar_t sep = FormatSettings().ThousandSeparator;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += sep;
    out += digits[i];
  }
  return out;
}

}  // namespace

std::wstring FileCountText(size_t count) {
  if (count == 0) return _(L"No files");
  if (count == 1) return _(L"1 file");
  if (count <= 9999) return SafeFormat(_(L"%u files"), static_cast<unsigned>(count));
  std::wstring pattern = _(L"%u files");
  size_t p = pattern.find(L"%u");
  if (p == std::wstring::npos) return SafeFormat(pattern, static_cast<unsigned>(count));
  return pattern.substr(0, p) + WithThousands(count) + pattern.substr(p + 2);
}

std::wstring CountdownText(bool periodic, int t) {
  if (!periodic) return _(L"on demand");
  if (t < 0) t = 0;
  if (t >= 3600) return std::to_wstring(t / 3600) + L" h" + std::to_wstring(t % 3600 / 60) + L" m";
  if (t >= 600) return std::to_wstring(t / 60) + L" m";
  if (t >= 60) return std::to_wstring(t / 60) + L" m " + std::to_wstring(t % 60) + L" s";
  return std::to_wstring(t) + L" s";
}

std::wstring DailyLogName(std::wstring_view logDir, const SYSTEMTIME& st) {
  wchar_t name[64];
  swprintf(name, std::size(name), L"HvWatchdog %.4u-%.2u-%.2u.log", st.wYear, st.wMonth, st.wDay);
  return AddPath(logDir, name);
}

TWdMonitor::TWdMonitor() : FLines(std::make_shared<TLines>()) {
  static const bool registered = RegisterWindowClass(kWindowClass, &TWdMonitor::WndProc);
  (void)registered;
  FWnd = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (FWnd) SetWindowLongPtrW(FWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  FLines->Wnd = FWnd;
}

TWdMonitor::~TWdMonitor() {
  for (auto& t : Tasks) {
    t->DirWatch.reset();
    if (t->BuThread) t->BuThread->Cancel();
  }
  for (auto& t : Tasks) t->BuThread.reset();
  CloseLog();
  if (FWnd) {
    SetWindowLongPtrW(FWnd, GWLP_USERDATA, 0);
    DestroyWindow(FWnd);
  }
}

LRESULT CALLBACK TWdMonitor::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_BACKUP_LINES) {
    if (auto* self = reinterpret_cast<TWdMonitor*>(GetWindowLongPtrW(wnd, GWLP_USERDATA))) {
      try {
        self->DrainLines();
      } catch (...) {
      }
    }
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

size_t TWdMonitor::FileCount() const {
  size_t n = 0;
  for (size_t i = 0; i < Tasks.Count(); ++i) n += Tasks[i].FileList.Count();
  return n;
}

bool TWdMonitor::AnyBackupRunning() const {
  for (size_t i = 0; i < Tasks.Count(); ++i)
    if (Tasks[i].BuThread) return true;
  return false;
}

void TWdMonitor::CheckTasks() {
  auto log = [this](const std::wstring& s) { AddLogLine(s); };
  for (auto& t : Tasks) {
    // A directory being backed up is not judged by a job file that may be in the middle of an edit.
    if (t->BuThread) continue;
    if (!FileExistsXL(t->BuTask, true)) {
      AddLogLine(_(L"Task not found") + L": " + t->BuTask);
      t->MonStatus = TMonTaskStatus::mtInvalid;
    } else if (IsDirectory(t->Dir)) {
      if (CheckTaskFile(t->BuTask, nullptr) != 0) t->MonStatus = TMonTaskStatus::mtInvalid;
      LoadTaskSettings(*t, Defaults, log);
      if (t->MonStatus == TMonTaskStatus::mtInvalid)
        AddLogLine(SafeFormat(_(L"The backup task \"%s\" has invalid settings!"), t->BuTask));
    } else {
      AddLogLine(SafeFormat(_(L"Directory \"%s\" not found!"), t->Dir));
      t->MonStatus = TMonTaskStatus::mtInvalid;
    }
  }
}

bool TWdMonitor::StartMonitoring(std::wstring& error) {
  if (FInFinalWait) return false;
  auto log = [this](const std::wstring& s) { AddLogLine(s); };
  bool any = false;
  for (auto& t : Tasks) {
    if (t->MonStatus != TMonTaskStatus::mtEnabled) continue;
    if (CheckTaskFile(t->BuTask, nullptr) != 0) {
      t->MonStatus = TMonTaskStatus::mtInvalid;
      AddLogLine(SafeFormat(_(L"The backup task \"%s\" has invalid settings!"), t->BuTask));
    } else if (LoadTaskSettings(*t, Defaults, log) == 0) {
      t->MonStatus = TMonTaskStatus::mtEnabled;
    }
    if (t->MonStatus == TMonTaskStatus::mtEnabled) any = true;
  }
  if (!any) {
    error = _(L"Please specify at least one directory to be monitored!");
    return false;
  }
  TimeCount = BuInterval;
  size_t pos = 0;
  for (auto& t : Tasks) {
    ++pos;
    if (t->MonStatus != TMonTaskStatus::mtEnabled || !IsDirectory(t->Dir)) continue;
    auto watch = std::make_unique<TDirectoryWatch>(static_cast<int>(pos));
    watch->SetDirectory(t->Dir);
    watch->SetWatchSubTree(true);
    watch->SetWatchActions(kAllWatchActions);
    watch->SetWatchOptions(t->Watches);
    watch->SetBufferSize(WatchBufferRecords);
    watch->OnNotify = [this](TDirectoryWatch&, int id, TWatchAction a, const std::wstring& name) {
      DirChangeNotify(id, a, name);
    };
    TMonTask* task = t.get();
    watch->OnError = [this, task, pos](TDirectoryWatch&, int code, const std::wstring& text) {
      WatchError(*task, pos, code, text);
    };
    watch->OnChange = [this, task](TDirectoryWatch&) { WatchChanged(*task); };
    try {
      watch->Start();
    } catch (const Exception& e) {
      AddLogLine(L" *** " + NowText() + L" - " + Pos2(pos) + L": " + e.Message());
      if (OnNotice) OnNotice(e.Message());
    }
    t->DirWatch = std::move(watch);
  }
  FMonitoring = true;
  return true;
}

void TWdMonitor::WatchError(TMonTask& task, size_t pos, int code, const std::wstring& text) {
  std::wstring line = L" *** " + NowText() + L" - " + Pos2(pos) + L": " + task.Dir + L": " + text;
  if (code == kWatchOverflow) line += L" " + _(L"(the directory is read again)");
  AddLogLine(line);
  if (OnNotice) OnNotice(line.substr(5));
}

void TWdMonitor::WatchChanged(TMonTask& task) {
  if (!FMonitoring || !task.DirWatch || task.DirWatch->Running()) return;
  const std::wstring text = SafeFormat(_(L"The monitoring of \"%s\" has stopped!"), task.Dir);
  AddLogLine(L" *** " + NowText() + L" - " + text);
  if (OnNotice) OnNotice(text);
}

void TWdMonitor::DirChangeNotify(int id, TWatchAction action, const std::wstring& fileName) {
  if (id <= 0 || static_cast<size_t>(id) > Tasks.Count()) return;
  TMonTask& task = Tasks[static_cast<size_t>(id - 1)];
  const std::wstring full = AddPath(task.Dir, fileName);
  if (action == waRemoved || action == waRenamedOld) {
    task.FileList.Remove(fileName);
    // A folder that goes takes its pending files along: their copies could only fail, run after run.
    task.FileList.RemovePrefix(fileName + L"\\");
    return;
  }
  if (task.FileList.Contains(fileName)) return;
  if (IsDirectory(full)) {
    // A folder that arrives brings files that report no change of their own.
    if (action == waAdded || action == waRenamedNew) {
      WIN32_FIND_DATAW fd;
      HANDLE h = FindFirstFileExW(AddPath(full, L"*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
      if (h != INVALID_HANDLE_VALUE) {
        std::vector<std::wstring> names;
        do {
          if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L".."))
            names.push_back(AddPath(fileName, fd.cFileName));
        } while (FindNextFileW(h, &fd));
        FindClose(h);
        for (const auto& n : names) DirChangeNotify(id, waAdded, n);
      }
    }
    return;
  }
  const TMonFilter& filter = task.MonFilter;
  const bool fileStalled = filter.FileFilter.Stalled(), dirStalled = filter.SubDirFilter.Stalled();
  if (AdmitsFile(filter, fileName)) task.FileList.Add(fileName);
  if (!fileStalled && filter.FileFilter.Stalled()) FilterStalled(task, static_cast<size_t>(id), filter.FileFilter);
  if (!dirStalled && filter.SubDirFilter.Stalled()) FilterStalled(task, static_cast<size_t>(id), filter.SubDirFilter);
}

void TWdMonitor::FilterStalled(const TMonTask& task, size_t pos, const TTextFilter& filter) {
  const std::wstring text =
      task.Dir + L": " +
      SafeFormat(_(L"Filter error: \"%s\" takes too long on \"%s\". Until monitoring starts again the filter is "
                   L"not used, and the files it would leave out are backed up."),
                 filter.Filter(), filter.StalledOn());
  // Also between runs, when the daily log is closed.
  const bool wasOpen = LogOpen();
  OpenLog();
  AddLogLine(L" *** " + NowText() + L" - " + Pos2(pos) + L": " + text);
  if (!wasOpen) CloseLog();
  if (OnNotice) OnNotice(text);
}

void TWdMonitor::AddLogLine(const std::wstring& line) { AddLogLines({line}); }

void TWdMonitor::AddLogLines(const std::vector<std::wstring>& lines) {
  if (lines.empty()) return;
  if (FLog != INVALID_HANDLE_VALUE) {
    // One write for all lines at hand.
    std::wstring text;
    for (const auto& l : lines) text += l + L"\r\n";
    const std::string bytes = WideToUtf8(text);
    DWORD written = 0;
    if (!WriteFile(FLog, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      const DWORD e = GetLastError();
      // The run goes on without the log.
      CloseLog();
      const std::wstring msg = _(L"Could not write to the log file") + L": " + SystemErrorText(e);
      if (OnLog) OnLog(msg);
      if (OnNotice) OnNotice(msg);
    }
  }
  if (OnLog)
    for (const auto& l : lines) OnLog(l);
}

void TWdMonitor::DrainLines() {
  std::vector<std::wstring> lines;
  {
    std::lock_guard<std::mutex> g(FLines->Lock);
    lines.swap(FLines->Items);
    FLines->Posted = false;
  }
  AddLogLines(lines);
}

void TWdMonitor::OpenLog() {
  if (FLog != INVALID_HANDLE_VALUE || !WriteLog) return;
  SYSTEMTIME st;
  GetLocalTime(&st);
  const std::wstring name = DailyLogName(LogDir, st);
  if (!FileExistsXL(name, true) && CreateUtf8BomFile(name) != 0) return;
  FLog = CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

void TWdMonitor::CloseLog() {
  if (FLog != INVALID_HANDLE_VALUE) CloseHandle(FLog);
  FLog = INVALID_HANDLE_VALUE;
}

bool TWdMonitor::ReleaseDoneThreads() {
  bool running = false;
  for (auto& t : Tasks) {
    if (!t->BuThread) continue;
    if (!t->BuThread->Done()) {
      running = true;
      continue;
    }
    t->BuThread->WaitFor();
    // Failed and unreached names stay pending for the next run.
    for (const auto& n : t->BuThread->Unfinished()) t->FileList.Add(n);
    t->BuThread.reset();
  }
  DrainLines();
  return running;
}

void TWdMonitor::RunBackup(bool final) {
  if (FInFinalWait) return;
  bool busy = false;
  if (FileCount() > 0) {
    OpenLog();
    AddLogLine(NowText() + L"  ==> " + SafeFormat(_(L"%s need to be backed up"), FileCountText(FileCount())));
    size_t pos = 0;
    for (auto& t : Tasks) {
      ++pos;
      if (t->MonStatus != TMonTaskStatus::mtEnabled || t->FileList.Empty()) continue;
      // The previous run of this directory is still copying: its names wait for the next run.
      if (t->BuThread) {
        busy = true;
        continue;
      }
      std::wstring dest = t->DestDir, label;
      const int resolved = ResolveVolumePath(dest, label, false);
      if (resolved != 2 && GetPathType(dest) != TPathType::ptUnknown) {
        auto lines = FLines;
        t->BuThread = std::make_unique<TBackupThread>(
            static_cast<int>(pos), NameOnly(t->BuTask), dest, t->Dir, t->DrvId, t->NoCompCommaText,
            t->FileList, t->Compress, t->RetainBak, [lines](const std::wstring& line) {
              std::lock_guard<std::mutex> g(lines->Lock);
              lines->Items.push_back(line);
              // At most one notice per interval: a post per file would cost the copy a server call
              // each. What comes after the last notice is taken by the timer.
              const ULONGLONG now = GetTickCount64();
              if (!lines->Posted && now - lines->LastPost >= kLinesInterval) {
                lines->Posted = PostMessageW(lines->Wnd, WM_BACKUP_LINES, 0, 0) != FALSE;
                lines->LastPost = now;
              }
            });
        t->FileList.Clear();
        t->ErrCount = 0;
      } else {
        // A volume-label path names its label, any other its drive.
        std::wstring shown = ExtractDrivePart(dest);
        if (!t->DestDir.empty() && t->DestDir[0] == L':')
          shown = t->DestDir.substr(1, t->DestDir.find(L':', 1) == std::wstring::npos ? std::wstring::npos
                                                                                       : t->DestDir.find(L':', 1) - 1);
        AddLogLine(L" *** " + NowText() + L" - " + Pos2(pos) + L": " +
                   SafeFormat(_(L"Drive \"%s\" not ready!"), shown));
        ++t->ErrCount;
      }
    }
  }
  if (final) {
    WaitForBackupThreads(false);
    // A final run leaves nothing behind for a next run that does not come.
    if (busy) return RunBackup(true);
  }
  if (OnSaveSettings) OnSaveSettings();
}

void TWdMonitor::WaitForBackupThreads(bool cancel) {
  FInFinalWait = true;
  if (cancel)
    for (auto& t : Tasks)
      if (t->BuThread) t->BuThread->Cancel();
  while (ReleaseDoneThreads()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    if (ProcessMessages) ProcessMessages();
  }
  CloseLog();
  FInFinalWait = false;
}

bool TWdMonitor::Tick() {
  if (FInFinalWait || !FMonitoring) return false;
  if (TimeCount > 0) --TimeCount;
  if (!ReleaseDoneThreads() && LogOpen()) CloseLog();
  if (TimeCount == 0) {
    TimeCount = BuInterval;
    RunBackup(false);
    InstantBackup = false;
    return true;
  }
  if (InstantBackup) {
    RunBackup(false);
    InstantBackup = false;
    return true;
  }
  return false;
}

void TWdMonitor::StopMonitoring() {
  if (FInFinalWait) return;
  for (auto& t : Tasks)
    if (t->DirWatch) {
      // A watch stopped on purpose is not reported as one that has stopped by itself.
      t->DirWatch->OnChange = nullptr;
      t->DirWatch->Stop();
    }
  if (FileCount() > 0)
    RunBackup(true);
  else
    WaitForBackupThreads(false);
  for (auto& t : Tasks) t->DirWatch.reset();
  FMonitoring = false;
}

void TWdMonitor::Close(bool endSession) {
  if (FInFinalWait) return;
  for (auto& t : Tasks) t->DirWatch.reset();
  FMonitoring = false;
  WaitForBackupThreads(endSession);
}

}  // namespace hv
