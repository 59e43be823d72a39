// The tray icon's window, its callbacks and the shell's "TaskbarCreated".
#include "winui/TrayIcon.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "winui/Forms.h"

namespace hv {
namespace {

struct TCall {
  DWORD Message;
  NOTIFYICONDATAW Data;
};

class TRecordingShell : public ITrayShell {
 public:
  bool Notify(DWORD message, NOTIFYICONDATAW& data) override {
    Calls.push_back({message, data});
    return Accept;
  }
  std::vector<TCall> Calls;
  bool Accept = true;
};

class TrayIconTest : public testing::Test {
 protected:
  void SetUp() override {
    Application().Initialize();
    SetTrayShell(&Shell);
  }
  void TearDown() override {
    SetTrayShell(nullptr);
    Application().Reset();
  }
  TRecordingShell Shell;
};

TEST_F(TrayIconTest, AddModifyBalloonAndRemove) {
  {
    TTrayIcon tray(2, WM_USER + 1);
    ASSERT_NE(tray.Handle(), nullptr);
    tray.SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
    tray.SetHint(L"HvWatchdog");
    EXPECT_TRUE(Shell.Calls.empty());  // nothing reaches the shell while hidden
    ASSERT_TRUE(tray.SetVisible(true));
    ASSERT_EQ(Shell.Calls.size(), 1u);
    const TCall& add = Shell.Calls[0];
    EXPECT_EQ(add.Message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.Data.hWnd, tray.Handle());
    EXPECT_EQ(add.Data.uID, 2u);
    EXPECT_EQ(add.Data.uCallbackMessage, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(add.Data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_STREQ(add.Data.szTip, L"HvWatchdog");
    EXPECT_NE(add.Data.hIcon, nullptr);

    tray.SetHint(std::wstring(200, L'x'));  // cut to what the shell takes
    EXPECT_EQ(Shell.Calls.back().Message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(wcslen(Shell.Calls.back().Data.szTip), 127u);

    EXPECT_TRUE(tray.ShowBalloon(L"HvWatchdog", L"monitors selected directories", TBalloonIcon::biUser, false, true));
    const TCall& balloon = Shell.Calls.back();
    EXPECT_EQ(balloon.Data.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_STREQ(balloon.Data.szInfoTitle, L"HvWatchdog");
    EXPECT_STREQ(balloon.Data.szInfo, L"monitors selected directories");
    EXPECT_EQ(balloon.Data.dwInfoFlags, static_cast<DWORD>(NIIF_USER | NIIF_NOSOUND | NIIF_LARGE_ICON));
    EXPECT_EQ(balloon.Data.hBalloonIcon, tray.Icon());
  }
  EXPECT_EQ(Shell.Calls.back().Message, static_cast<DWORD>(NIM_DELETE));  // the icon leaves with its object
}

TEST_F(TrayIconTest, WindowReceivesCallbacksAndReAddsAfterTaskbarCreated) {
  TTrayIcon tray(2, WM_USER + 1);
  std::vector<UINT> mouse;
  int balloonClicks = 0;
  tray.OnMouse = [&](UINT m) { mouse.push_back(m); };
  tray.OnBalloonClick = [&] { ++balloonClicks; };
  ASSERT_TRUE(tray.SetVisible(true));
  PostMessageW(tray.Handle(), WM_USER + 1, 2, WM_LBUTTONDOWN);
  PostMessageW(tray.Handle(), WM_USER + 1, 2, WM_RBUTTONDOWN);
  PostMessageW(tray.Handle(), WM_USER + 1, 7, WM_LBUTTONDOWN);  // another icon's: not ours
  PostMessageW(tray.Handle(), WM_USER + 1, 2, NIN_BALLOONUSERCLICK);
  Application().ProcessMessages();
  EXPECT_EQ(mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_RBUTTONDOWN}));
  EXPECT_EQ(balloonClicks, 1);

  // Explorer restarted: the shown icon comes back, with its tip.
  tray.SetHint(L"Next backup: 00:30");
  size_t before = Shell.Calls.size();
  SendMessageW(tray.Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_EQ(Shell.Calls.size(), before + 1);
  EXPECT_EQ(Shell.Calls.back().Message, static_cast<DWORD>(NIM_ADD));
  EXPECT_STREQ(Shell.Calls.back().Data.szTip, L"Next backup: 00:30");
  // The broadcast reaches the hidden top-level window as the shell sends it.
  before = Shell.Calls.size();
  SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 2000,
                      nullptr);
  EXPECT_EQ(Shell.Calls.size(), before + 1);

  // A hidden icon stays hidden.
  tray.SetVisible(false);
  before = Shell.Calls.size();
  SendMessageW(tray.Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_EQ(Shell.Calls.size(), before);
}

TEST_F(TrayIconTest, HandlerErrorsAreReported) {
  TTrayIcon tray(2, WM_USER + 1);
  tray.OnMouse = [](UINT) { throw std::runtime_error("no destination"); };
  std::vector<std::wstring> reports;
  Application().OnException = [&](const std::wstring& text) { reports.push_back(text); };
  SendMessageW(tray.Handle(), WM_USER + 1, 2, WM_LBUTTONDOWN);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find(L"no destination"), std::wstring::npos);
}

TEST_F(TrayIconTest, RefusedAddLeavesTheIconHidden) {
  TTrayIcon tray;
  Shell.Accept = false;
  EXPECT_FALSE(tray.SetVisible(true));
  EXPECT_FALSE(tray.Visible());
  EXPECT_FALSE(tray.ShowBalloon(L"t", L"x"));
}

}  // namespace
}  // namespace hv
