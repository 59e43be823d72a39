// Calls from worker threads into the UI thread.
#include "winui/SyncCall.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "support/GuiTest.h"
#include "winui/Forms.h"
#include "winui/TestHooks.h"

namespace hv {
namespace {

class SyncCallTest : public hvtest::GuiTest {};

// Processes messages until done is set (at most 20 s, so a broken call fails instead of hanging).
bool PumpUntil(const std::atomic<bool>& done) {
  DWORD start = GetTickCount();
  while (!done) {
    if (GetTickCount() - start > 20000) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    Application().ProcessMessages();
  }
  return true;
}

TEST_F(SyncCallTest, WorkerRunsCallsOnTheUiThread) {
  const DWORD ui = GetCurrentThreadId();
  std::atomic<bool> done = false;
  std::vector<DWORD> ranOn;
  int results = 0;
  std::jthread worker([&] {
    for (int i = 0; i < 3; ++i)
      if (Synchronize([&] { ranOn.push_back(GetCurrentThreadId()); })) ++results;
    done = true;
  });
  ASSERT_TRUE(PumpUntil(done));
  EXPECT_EQ(results, 3);
  EXPECT_EQ(ranOn, std::vector<DWORD>(3, ui));
  // On the UI thread the call runs at once.
  bool direct = false;
  EXPECT_TRUE(Synchronize([&] { direct = true; }));
  EXPECT_TRUE(direct);
}

class TWaitForm : public TForm {
 public:
  TWaitForm() { BorderStyle = TBorderStyle::bsDialog; }
};

TEST_F(SyncCallTest, RunsWhileTheUiThreadIsInAModalLoop) {
  TWaitForm form;
  form.Create();
  std::jthread worker;
  std::atomic<bool> ran = false;
  TTestHooks::OnFormShown = [&](TForm& f) {
    worker = std::jthread([&] {
      // The modal form closes from inside the call: the call ran in the form's loop.
      Synchronize([&] {
        ran = true;
        f.ModalResult = mrOk;
      });
    });
  };
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_TRUE(ran);
}

TEST_F(SyncCallTest, ExceptionOfTheCallReachesTheWorker) {
  std::atomic<bool> done = false;
  std::string caught;
  std::jthread worker([&] {
    try {
      Synchronize([] { throw std::runtime_error("disk full"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
    done = true;
  });
  ASSERT_TRUE(PumpUntil(done));
  EXPECT_EQ(caught, "disk full");
}

TEST_F(SyncCallTest, StoppedOrShutDownCallsDoNotRunLater) {
  // The UI thread does not pump: the worker stops waiting when told to, and the call is dropped.
  std::atomic<bool> ran = false;
  std::atomic<int> result = -1;
  {
    std::jthread worker([&](std::stop_token stop) { result = Synchronize([&] { ran = true; }, stop); });
    worker.request_stop();
  }  // joined
  EXPECT_EQ(result, 0);
  Application().ProcessMessages();
  EXPECT_FALSE(ran);

  // Shutting the calls down releases a waiting worker; later calls fail at once.
  std::atomic<bool> queued = false;
  std::jthread worker([&] {
    queued = true;
    result = Synchronize([&] { ran = true; });
  });
  while (!queued) std::this_thread::yield();
  DoneSyncCall();
  worker.join();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(Synchronize([&] { ran = true; }));  // no UI thread any more: not even here
  InitSyncCall();
  Application().ProcessMessages();
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace hv
