#include "base/os/WinExecute.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <string>

#include "support/TestSupport.h"

using namespace hv;

namespace {

std::wstring Child(const std::wstring& args) { return L"\"" + hvtest::TestChildExe() + L"\" " + args; }

DWORD MainThreadOf(DWORD processId) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 te{};
  te.dwSize = sizeof(te);
  DWORD tid = 0;
  for (BOOL ok = Thread32First(snap, &te); ok && !tid; ok = Thread32Next(snap, &te))
    if (te.th32OwnerProcessID == processId) tid = te.th32ThreadID;
  CloseHandle(snap);
  return tid;
}

}  // namespace

TEST(WinExecute, ExitCodesAreMarked) {
  struct Case { const wchar_t* cmd; DWORD result; } cases[] = {
      {L"0", 0}, {L"2", 0x20000002}, {L"0x1FFFFFFF", 0x3FFFFFFF}, {L"-1", 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    TKernelHandle h = StartProcess(Child(c.cmd), L"");
    ASSERT_TRUE(h);
    EXPECT_EQ(WaitForProcess(h, 0, false), c.result) << c.cmd;
    EXPECT_FALSE(h) << "the handle is closed";
  }
}

TEST(WinExecute, TimeOutKeepsTheHandleUnlessTheExitCodeIsWanted) {
  TKernelHandle h = StartProcess(Child(L"5 1500"), L"");
  EXPECT_EQ(WaitForProcess(h, 100, false), 258u);
  ASSERT_TRUE(h) << "the caller can wait again";
  EXPECT_EQ(WaitForProcess(h, 0, false), 0x20000005u);
  EXPECT_FALSE(h);

  // A process that still runs is a time-out, not an exit code of 259.
  h = StartProcess(Child(L"0 5000"), L"");
  TKernelHandle keep;
  DuplicateHandle(GetCurrentProcess(), h.Get(), GetCurrentProcess(), keep.Put(), 0, FALSE, DUPLICATE_SAME_ACCESS);
  EXPECT_EQ(WaitForProcess(h, 100, true), 258u);
  EXPECT_FALSE(h);
  TerminateProcess(keep.Get(), 0);
  WaitForSingleObject(keep.Get(), 5000);
}

TEST(WinExecute, WorkingFolderAndStartFailures) {
  hvtest::TempDir dir;
  TKernelHandle h = StartProcess(Child(L"0 0 \"" + (dir / L"cwd.txt") + L"\""), dir.Path());
  EXPECT_EQ(WaitForProcess(h, 0, false), 0u);
  std::string bytes = hvtest::ReadBytes(dir / L"cwd.txt");
  std::wstring cwd(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  EXPECT_EQ(cwd, dir.Path());

  try {
    StartProcess(L"\"" + (dir / L"missing.exe") + L"\"", L"");
    FAIL() << "no exception";
  } catch (const EProcessError& e) {
    EXPECT_EQ(e.Message(), SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(e.ErrorCode(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  }
  EXPECT_THROW(StartProcess(Child(L"0"), dir / L"no-folder"), EProcessError);
}

TEST(WinExecute, NoHandleOfTheChildIsLeft) {
  TKernelHandle h = StartProcess(Child(L"0 300"), L"");
  DWORD tid = MainThreadOf(GetProcessId(h.Get()));
  ASSERT_NE(tid, 0u);
  EXPECT_EQ(WaitForProcess(h, 0, false), 0u);
  // With every handle closed the ended thread is gone; a kept thread handle would keep it.
  HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, tid);
  EXPECT_EQ(thread, nullptr);
  if (thread) CloseHandle(thread);
}

TEST(WinExecute, FailedWaitEndsWithTheError) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(event);
  TKernelHandle stale(event);
  EXPECT_EQ(WaitForProcess(stale, 0, false), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(stale);
  stale.Reset(event);
  EXPECT_EQ(WaitForProcess(stale, 100, false), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(WinExecute, MessagesAreProcessedWhileWaiting) {
  static int ticks = 0;
  ticks = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
  TKernelHandle h = StartProcess(Child(L"0 600"), L"");
  PostQuitMessage(7);
  EXPECT_EQ(WaitForProcess(h, 0, false), 0u);
  KillTimer(nullptr, timer);
  EXPECT_GT(ticks, 3) << "timers fire during the wait";
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "a quit request survives the wait";
  EXPECT_EQ(msg.wParam, 7u);
}
