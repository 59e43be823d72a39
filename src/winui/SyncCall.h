#pragma once
// Calls from worker threads into the UI thread. The worker queues the call and wakes a hidden
// window of the UI thread with a posted message, then waits; the UI thread runs the call in
// whatever message loop it is in (the main loop, a modal form, a message box). Workers never
// touch a window themselves. The UI thread must not block on a worker without pumping messages.
#include <functional>
#include <stop_token>

namespace hv {

// Creates the hidden window on the calling thread, which becomes the UI thread (again after
// DoneSyncCall). TApplication::Initialize calls it.
void InitSyncCall();
// Destroys the window; workers that wait are released (their calls report false).
void DoneSyncCall();
bool IsUiThread();

// Runs fn on the UI thread and waits for it; on the UI thread itself fn runs at once. False when
// fn did not run: stop was requested before it started, or there is no UI thread (any more). An
// exception thrown by fn is rethrown here, in the calling thread.
bool Synchronize(const std::function<void()>& fn, std::stop_token stop = {});

}  // namespace hv
