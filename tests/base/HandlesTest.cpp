#include "winui/Handles.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using namespace hv;

TEST(Handles, MoveTransfersOwnershipAndCloseReportsErrors) {
  hvtest::TempDir dir;
  TFileHandle a(CreateFileW((dir / L"f").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(a);
  HANDLE raw = a.Get();
  TFileHandle b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.Get(), raw);
  // The file is held open exclusively until b is closed.
  EXPECT_EQ(CreateFileW((dir / L"f").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(b.Close(), 0u);
  EXPECT_FALSE(b);
  EXPECT_EQ(b.Close(), 0u) << "closing nothing is no error";
  TFileHandle c(CreateFileW((dir / L"f").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(c);

  TKernelHandle ev(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(ev);
  HANDLE copy = ev.Get();
  ev.Reset();
  EXPECT_FALSE(ev);
  EXPECT_FALSE(SetEvent(copy)) << "Reset closed the event";
}
