#pragma once
// The fixture of QlBackup's main-window tests: the application set up for each test, an empty job
// folder in the user's documents before and after it, the forms destroyed afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/app/InitProg.h"
#include "winui/Controls.h"
#include "winui/Forms.h"
#include "winui/TestHooks.h"

namespace hvtest {

class QlGuiTest : public testing::Test {
 protected:
  void SetUp() override {
    StartApplication();
    JobDir = hv::GetDocumentsPath() + L"\\Harvane";
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(JobDir), ec);
  }
  void TearDown() override {
    hv::TTestHooks::Clear();
    hv::Application().DestroyForms();
    hv::Application().Reset();
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(JobDir), ec);
  }
  // Initialises the application; an exception it catches fails the test.
  static void StartApplication() {
    hv::Application().Initialize();
    hv::Application().OnException = [](const std::wstring& text) { ADD_FAILURE() << testing::PrintToString(text); };
  }

  std::wstring JobDir;
};

// A click as the user makes it: the button's window is active first. Activating it inside the click
// (from BM_CLICK's focus change) moves the focus to the form's last control between press and release,
// and the button then drops the click.
inline void Click(hv::TControl& c) {
  const HWND root = GetAncestor(c.Handle(), GA_ROOT);
  if (GetActiveWindow() != root) SetActiveWindow(root);
  SendMessageW(c.Handle(), BM_CLICK, 0, 0);
}

}  // namespace hvtest
