#pragma once
// Shared by the dialog tests: a fixture that resets the application, and the hook that runs a
// step once the dialog under test shows.
#include <gtest/gtest.h>

#include <functional>

#include "winui/Forms.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv::dlgtest {

class DialogTest : public testing::Test {
 protected:
  void SetUp() override { Application().Initialize(); }
  void TearDown() override {
    TTestHooks::Clear();
    TStyleManager::TrySetStyle(TStyleManager::kSystemStyle);
    Application().Reset();
    ClearCatalogs();
  }
};

// Runs step with the dialog of type D once it shows (the first form shown; message boxes the
// dialog opens afterwards go to others, when given).
template <class D>
void OnShown(std::function<void(D&)> step, std::function<void(TForm&)> others = {}) {
  TTestHooks::OnFormShown = [step, others, done = false](TForm& f) mutable {
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
inline void Shot(TForm& f, const wchar_t* name, bool dark = false) {
  if (dark) TStyleManager::TrySetStyle(TStyleManager::kDarkStyle);
  EXPECT_TRUE(SaveScreenshot(f.Handle(), name));
  if (dark) TStyleManager::TrySetStyle(TStyleManager::kSystemStyle);
}

}  // namespace hv::dlgtest
