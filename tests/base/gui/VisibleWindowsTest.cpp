#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "base/os/WinApiUtils.h"

using namespace hv;

namespace {
struct TWnd {
  HWND H;
  TWnd(const wchar_t* title, DWORD exStyle, HWND owner = nullptr, bool visible = true)
      : H(CreateWindowExW(exStyle, L"STATIC", title, WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 50, 50, owner,
                          nullptr, nullptr, nullptr)) {}
  ~TWnd() { DestroyWindow(H); }
};
}  // namespace

TEST(VisibleWindowTitles, TaskBarWindowsOnly) {
  TWnd a(L"hv-vis-a", 0), b(L"hv-vis-b", 0), tool(L"hv-vis-tool", WS_EX_TOOLWINDOW),
      app(L"hv-vis-app", WS_EX_TOOLWINDOW | WS_EX_APPWINDOW), owned(L"hv-vis-owned", 0, a.H),
      hidden(L"hv-vis-hidden", 0, nullptr, false), untitled(L"", 0);
  std::vector<std::pair<std::wstring, HWND>> list;
  ASSERT_TRUE(GetVisibleWindowTitles(list));
  auto has = [&](const wchar_t* t, HWND h) {
    return std::find(list.begin(), list.end(), std::make_pair(std::wstring(t), h)) != list.end();
  };
  EXPECT_TRUE(has(L"hv-vis-a", a.H));
  EXPECT_TRUE(has(L"hv-vis-b", b.H));  // two windows of one program
  EXPECT_TRUE(has(L"hv-vis-app", app.H));
  EXPECT_FALSE(has(L"hv-vis-tool", tool.H));
  EXPECT_FALSE(has(L"hv-vis-owned", owned.H));
  EXPECT_FALSE(has(L"hv-vis-hidden", hidden.H));
  for (const auto& [t, h] : list) EXPECT_NE(h, untitled.H);
}
