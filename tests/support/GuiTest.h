#pragma once
// The fixture of the GUI tests: the application set up for each test and reset after it (hooks,
// forms, catalogues, colour scheme), a form run inside its own message loop, screenshots.
#include <gtest/gtest.h>

#include <functional>

#include "support/TestSupport.h"
#include "winui/Forms.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hvtest {

class GuiTest : public testing::Test {
 protected:
  void SetUp() override { hv::Application().Initialize(); }
  void TearDown() override {
    hv::TTestHooks::Clear();
    hv::Application().Reset();
    hv::ClearCatalogs();
    hv::TStyleManager::TrySetStyle(hv::TStyleManager::kSystemStyle);
  }
  // Shows f modally, runs fn inside its message loop once it shows, then closes it.
  template <class F>
  static void RunShown(hv::TForm& f, F fn) {
    hv::TTestHooks::OnFormShown = [&](hv::TForm& shown) {
      if (&shown != &f) return;
      fn();
      f.ModalResult = hv::mrOk;
    };
    f.ShowModal();
  }
};

// Runs step with the dialog of type D once it shows (the first form shown; message boxes the
// dialog opens afterwards go to others, when given).
template <class D>
void OnShown(std::function<void(D&)> step, std::function<void(hv::TForm&)> others = {}) {
  hv::TTestHooks::OnFormShown = [step, others, done = false](hv::TForm& f) mutable {
    if (auto* d = dynamic_cast<D*>(&f); d && !done) {
      done = true;
      step(*d);
    } else if (others) {
      others(f);
    }
  };
}

inline void PostKey(HWND wnd, WORD key) {
  PostMessageW(wnd, WM_KEYDOWN, key, 0);
  PostMessageW(wnd, WM_KEYUP, key, 0xC0000000);
}

// A screenshot of the form (dark: in the dark scheme, switched back afterwards).
inline void Shot(hv::TForm& f, const wchar_t* name, bool dark = false) {
  if (dark) hv::TStyleManager::TrySetStyle(hv::TStyleManager::kDarkStyle);
  EXPECT_TRUE(hvtest::SaveScreenshot(f.Handle(), name));
  if (dark) hv::TStyleManager::TrySetStyle(hv::TStyleManager::kSystemStyle);
}

}  // namespace hvtest
