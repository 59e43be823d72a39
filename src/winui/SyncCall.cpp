#include "winui/SyncCall.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include "winui/Controls.h"

namespace hv {
namespace {

constexpr UINT WM_HV_SYNC = WM_APP + 0x0F10;
constexpr const wchar_t* kSyncClass = L"HvSyncCall";

enum class TCallState { csPending, csRunning, csDone, csDropped };

struct TCall {
  const std::function<void()>* Fn = nullptr;
  TCallState State = TCallState::csPending;
  std::exception_ptr Error;
};

struct TSyncState {
  std::mutex Lock;
  std::condition_variable_any Changed;
  std::deque<std::shared_ptr<TCall>> Queue;
  HWND Wnd = nullptr;
  DWORD UiThread = 0;
};

TSyncState& State() {
  static TSyncState s;
  return s;
}

void RunQueued() {
  TSyncState& s = State();
  for (;;) {
    std::shared_ptr<TCall> call;
    {
      std::lock_guard lock(s.Lock);
      if (s.Queue.empty()) return;
      call = std::move(s.Queue.front());
      s.Queue.pop_front();
      if (call->State != TCallState::csPending) continue;
      call->State = TCallState::csRunning;
    }
    std::exception_ptr error;
    try {
      (*call->Fn)();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(s.Lock);
      call->Error = error;
      call->State = TCallState::csDone;
    }
    s.Changed.notify_all();
  }
}

LRESULT CALLBACK SyncWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_HV_SYNC) {
    RunQueued();  // exceptions of the calls go back to their callers
    return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

void InitSyncCall() {
  TSyncState& s = State();
  if (s.Wnd && s.UiThread == GetCurrentThreadId()) return;
  DoneSyncCall();
  static const bool registered = RegisterWindowClass(kSyncClass, SyncWndProc);
  (void)registered;
  HWND wnd = CreateWindowExW(0, kSyncClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                             nullptr);
  std::lock_guard lock(s.Lock);
  s.Wnd = wnd;
  s.UiThread = GetCurrentThreadId();
}

void DoneSyncCall() {
  TSyncState& s = State();
  HWND wnd = nullptr;
  {
    std::lock_guard lock(s.Lock);
    wnd = s.Wnd;
    s.Wnd = nullptr;
    s.UiThread = 0;
    for (auto& call : s.Queue) call->State = TCallState::csDropped;
    s.Queue.clear();
  }
  s.Changed.notify_all();
  if (wnd) DestroyWindow(wnd);
}

bool IsUiThread() {
  std::lock_guard lock(State().Lock);
  return State().UiThread == GetCurrentThreadId();
}

bool Synchronize(const std::function<void()>& fn, std::stop_token stop) {
  if (!fn) return false;
  TSyncState& s = State();
  auto call = std::make_shared<TCall>();
  call->Fn = &fn;
  std::unique_lock lock(s.Lock);
  if (s.UiThread == GetCurrentThreadId()) {
    lock.unlock();
    fn();
    return true;
  }
  if (!s.Wnd || stop.stop_requested()) return false;
  s.Queue.push_back(call);
  if (!PostMessageW(s.Wnd, WM_HV_SYNC, 0, 0)) {
    std::erase(s.Queue, call);
    return false;
  }
  auto finished = [&] { return call->State == TCallState::csDone || call->State == TCallState::csDropped; };
  s.Changed.wait(lock, stop, finished);
  if (call->State == TCallState::csPending) {  // stopped before the UI thread took it
    call->State = TCallState::csDropped;
    std::erase(s.Queue, call);
    return false;
  }
  // A call that runs already uses the caller's data: wait for its end even when stopped.
  s.Changed.wait(lock, finished);
  if (call->State == TCallState::csDropped) return false;
  if (call->Error) std::rethrow_exception(call->Error);
  return true;
}

}  // namespace hv
