#include "hvwatchdog/DirectoryWatch.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/text/ExtSysUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Controls.h"
#include "winui/Handles.h"
#include "winui/Translate.h"

namespace hv {

namespace {

constexpr UINT WM_WATCH_REPORT = WM_USER + 138;
constexpr size_t kRecordBytes = 532;  // 12-byte head and 260 characters
const wchar_t kWindowClass[] = L"HvDirectoryWatchWindow";

std::wstring Trimmed(std::wstring_view s) {
  size_t b = s.find_first_not_of(L" \t");
  if (b == std::wstring_view::npos) return {};
  size_t e = s.find_last_not_of(L" \t");
  return std::wstring(s.substr(b, e - b + 1));
}

// Wine watches a subfolder that existed before the watch began only once a handle to it has been
// opened; Windows needs nothing of the kind.
bool SubfoldersNeedOpening() {
  static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

void OpenSubfolders(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW((dir + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchLimitToDirectories, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L".."))
      continue;
    const std::wstring sub = dir + L"\\" + fd.cFileName;
    HANDLE d = CreateFileW(sub.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (d != INVALID_HANDLE_VALUE) CloseHandle(d);
    OpenSubfolders(sub);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

}  // namespace

std::vector<TRawChange> ParseNotifyBuffer(const void* buffer, size_t bytes) {
  std::vector<TRawChange> out;
  const auto* base = static_cast<const unsigned char*>(buffer);
  size_t offset = 0;
  while (offset + 12 <= bytes) {
    DWORD next, action, nameBytes;
    std::memcpy(&next, base + offset, 4);
    std::memcpy(&action, base + offset + 4, 4);
    std::memcpy(&nameBytes, base + offset + 8, 4);
    if (offset + 12 + nameBytes > bytes) break;
    std::wstring name(nameBytes / sizeof(wchar_t), L'\0');
    std::memcpy(name.data(), base + offset + 12, name.size() * sizeof(wchar_t));
    out.push_back({action, std::move(name)});
    if (next == 0) break;
    offset += next;
  }
  return out;
}

// What the watch thread hands to the main thread: changes and errors in order.
struct TDirectoryWatch::TShared {
  struct TEvent {
    bool IsError;
    uint32_t Code;  // action code or error code
    std::wstring Text;
  };
  std::mutex Lock;
  std::vector<TEvent> Events;
  bool Posted = false;
  HWND Wnd = nullptr;
  std::atomic<bool> Ended{false};
  std::atomic<uint32_t> SimulatedError{0};

  void Push(TEvent e) {
    std::lock_guard<std::mutex> g(Lock);
    Events.push_back(std::move(e));
    // One wake-up per batch; a post that fails leaves the events queued for the owner's next call.
    if (!Posted) Posted = PostMessageW(Wnd, WM_WATCH_REPORT, 0, 0) != FALSE;
  }
  void Error(uint32_t code, std::wstring text) { Push({true, code, std::move(text)}); }
};

struct TDirectoryWatch::TThread {
  TUniqueHandle<TFileHandleTraits> Dir;
  TUniqueHandle<TKernelHandleTraits> Abort, Change, Armed;
  std::thread Worker;
  std::wstring Directory;
  bool SubTree = true;
  DWORD Filter = 0;
  std::vector<unsigned char> Buffer;
  std::shared_ptr<TShared> Shared;

  void Rescan(const std::wstring& rel) {
    WIN32_FIND_DATAW fd;
    std::wstring pattern = Directory;
    if (pattern.back() != L'\\') pattern += L'\\';
    pattern += rel + L"*";
    HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return;
    std::vector<std::wstring> dirs;
    do {
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (wcscmp(fd.cFileName, L".") != 0 && wcscmp(fd.cFileName, L"..") != 0 &&
            !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
          dirs.push_back(rel + fd.cFileName + L"\\");
      } else {
        Shared->Push({false, FILE_ACTION_MODIFIED, rel + fd.cFileName});
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    if (SubTree)
      for (const auto& d : dirs) Rescan(d);
  }

  void Run() noexcept {
    bool rescan = false;
    OVERLAPPED ov{};
    for (;;) {
      try {
        ov = OVERLAPPED{};
        ov.hEvent = Change.Get();
        if (!ReadDirectoryChangesW(Dir.Get(), Buffer.data(), static_cast<DWORD>(Buffer.size()), SubTree, Filter,
                                   nullptr, &ov, nullptr)) {
          const DWORD e = GetLastError();
          Shared->Error(e, SystemErrorText(e));
          break;
        }
        // The first read is pending: changes from now on are caught.
        if (WaitForSingleObject(Armed.Get(), 0) != WAIT_OBJECT_0) {
          if (SubTree && SubfoldersNeedOpening()) {
            std::wstring dir = Directory;
            while (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
            OpenSubfolders(dir);
          }
          SetEvent(Armed.Get());
        }
        // The read is pending again before the tree is read, so nothing changed meanwhile is missed.
        if (rescan) {
          rescan = false;
          Rescan(L"");
        }
        HANDLE handles[2] = {Change.Get(), Abort.Get()};
        const DWORD w = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (w != WAIT_OBJECT_0) {
          DWORD n;
          CancelIoEx(Dir.Get(), &ov);
          GetOverlappedResult(Dir.Get(), &ov, &n, TRUE);
          if (w != WAIT_OBJECT_0 + 1) {
            const DWORD e = GetLastError();
            Shared->Error(e, SystemErrorText(e));
          }
          break;
        }
        DWORD bytes = 0;
        BOOL ok = GetOverlappedResult(Dir.Get(), &ov, &bytes, FALSE);
        if (const uint32_t simulated = Shared->SimulatedError.exchange(0)) {
          ok = FALSE;
          SetLastError(simulated);
        }
        if (!ok) {
          const DWORD e = GetLastError();
          if (e != ERROR_NOTIFY_ENUM_DIR) {
            Shared->Error(e, SystemErrorText(e));
            break;
          }
          bytes = 0;
        }
        if (bytes == 0) {
          Shared->Error(ERROR_NOTIFY_ENUM_DIR, SystemErrorText(ERROR_NOTIFY_ENUM_DIR));
          rescan = true;
          continue;
        }
        for (auto& c : ParseNotifyBuffer(Buffer.data(), bytes)) Shared->Push({false, c.Action, std::move(c.Name)});
      } catch (const std::exception& e) {
        const auto* x = dynamic_cast<const Exception*>(&e);
        Shared->Error(GetLastError(), x ? x->Message() : Utf8ToWide(e.what()));
      }
    }
    Shared->Ended = true;
    SetEvent(Armed.Get());
    // Wakes the owner so that it sees the watch stopped.
    Shared->Push({true, 0, {}});
  }
};

TDirectoryWatch::TDirectoryWatch(int id) : FId(id) {
  static const bool registered = RegisterWindowClass(kWindowClass);
  (void)registered;
  FWndHandle = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
  if (FWndHandle) {
    SetWindowLongPtrW(FWndHandle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(FWndHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WndProc));
  }
}

TDirectoryWatch::~TDirectoryWatch() {
  try {
    Stop();
  } catch (...) {
  }
  if (FWndHandle) {
    SetWindowLongPtrW(FWndHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    DestroyWindow(FWndHandle);
  }
}

LRESULT CALLBACK TDirectoryWatch::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_WATCH_REPORT) {
    auto* self = reinterpret_cast<TDirectoryWatch*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    try {
      if (self) self->ProcessPending();
    } catch (...) {
      // A handler's failure must not leave through the window procedure.
    }
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

void TDirectoryWatch::Start() {
  if (FDirectory.empty()) throw Exception(_(L"Please specify a directory to watch"));
  if (FThread) return;
  auto t = std::make_unique<TThread>();
  t->Dir.Reset(CreateFileW(FDirectory.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
  if (!t->Dir) {
    const DWORD e = GetLastError();
    throw Exception(SafeFormat(_(L"Error trying to create file handle for \"%s\". Error code: %d"), FDirectory,
                               static_cast<int>(e)));
  }
  t->Abort.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  t->Change.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  t->Armed.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!t->Abort || !t->Change || !t->Armed) throw EOSError(L"CreateEvent", GetLastError(), FDirectory);
  t->Directory = FDirectory;
  t->SubTree = FWatchSubTree;
  t->Filter = FWatchOptions;
  t->Buffer.resize(static_cast<size_t>(FBufferSize) * kRecordBytes);
  FShared = std::make_shared<TShared>();
  FShared->Wnd = FWndHandle;
  t->Shared = FShared;
  TThread* raw = t.get();
  t->Worker = std::thread([raw] { raw->Run(); });
  // Start returns when the watch catches changes.
  WaitForSingleObject(t->Armed.Get(), 5000);
  FThread = std::move(t);
  DoChange();
}

void TDirectoryWatch::Stop() {
  if (!FThread) return;
  SetEvent(FThread->Abort.Get());
  // The thread cancels its read and waits for the cancellation before it ends; only then do the
  // handle and the buffer go.
  if (FThread->Worker.joinable()) FThread->Worker.join();
  FThread.reset();
  // Changes reported before the stop still reach the owner; queued errors go with the watch.
  std::vector<TShared::TEvent> events;
  {
    std::lock_guard<std::mutex> g(FShared->Lock);
    events.swap(FShared->Events);
  }
  FShared.reset();
  for (auto& e : events)
    if (!e.IsError) DoNotify(e.Code, e.Text);
  DoChange();
}

bool TDirectoryWatch::Running() const { return FThread && FShared && !FShared->Ended; }

void TDirectoryWatch::SimulateFailure(uint32_t code) {
  if (FShared) FShared->SimulatedError = code;
}

size_t TDirectoryWatch::ProcessPending() {
  auto shared = FShared;
  if (!shared) return 0;
  std::vector<TShared::TEvent> events;
  {
    std::lock_guard<std::mutex> g(shared->Lock);
    events.swap(shared->Events);
    shared->Posted = false;
  }
  for (auto& e : events) {
    if (e.IsError) {
      if (e.Code == 0 && e.Text.empty()) {
        DoChange();  // the thread has ended
      } else if (OnError) {
        OnError(*this, static_cast<int>(e.Code), e.Text);
      }
    } else {
      DoNotify(e.Code, e.Text);
    }
  }
  return events.size();
}

void TDirectoryWatch::DoChange() {
  if (OnChange) OnChange(*this);
}

void TDirectoryWatch::DoNotify(uint32_t action, const std::wstring& fileName) {
  if (!OnNotify || action < 1 || action > 5) return;
  const auto a = static_cast<TWatchAction>(action - 1);
  if (FWatchActions & (1u << a)) OnNotify(*this, FId, a, fileName);
}

void TDirectoryWatch::Restart() {
  if (FThread) {
    Stop();
    Start();
  }
  DoChange();
}

void TDirectoryWatch::SetDirectory(std::wstring_view dir) {
  std::wstring d = Trimmed(dir);
  if (CompareStringOrdinal(d.c_str(), -1, FDirectory.c_str(), -1, TRUE) == CSTR_EQUAL) return;
  FDirectory = d;
  Restart();
}

void TDirectoryWatch::SetWatchSubTree(bool value) {
  if (value == FWatchSubTree) return;
  FWatchSubTree = value;
  Restart();
}

void TDirectoryWatch::SetWatchOptions(TWatchOptions value) {
  if (value == FWatchOptions) return;
  FWatchOptions = value;
  Restart();
}

void TDirectoryWatch::SetWatchActions(TWatchActions value) {
  if (value == FWatchActions) return;
  FWatchActions = value;
  Restart();
}

}  // namespace hv
