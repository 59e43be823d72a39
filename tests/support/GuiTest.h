#pragma once
// The fixture of the GUI tests: the application set up for each test and reset after it (hooks,
// forms, catalogues, colour scheme), a form run inside its own message loop, screenshots.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "winui/Forms.h"
#include "winui/Styles.h"
#include "winui/TestHooks.h"
#include "winui/Unicode.h"
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

// The tab stops of a shown form in the order Tab walks them, from the first once round.
inline std::vector<HWND> TabStops(HWND form) {
  std::vector<HWND> stops;
  HWND first = GetNextDlgTabItem(form, nullptr, FALSE);
  for (HWND w = first; w && stops.size() < 500; w = GetNextDlgTabItem(form, w, FALSE)) {
    if (!stops.empty() && w == first) break;
    stops.push_back(w);
  }
  return stops;
}

inline std::wstring WindowLabel(HWND w) {
  wchar_t cls[64] = L"", text[64] = L"";
  GetClassNameW(w, cls, 64);
  GetWindowTextW(w, text, 64);
  return std::wstring(cls) + L" \"" + text + L"\"";
}

// Checks that Tab walks the form in reading order: no stop lies wholly above the one before it, or
// on the same line (each one's middle within the other's height) wholly to its left. Two stops are
// compared by the windows that hold them side by side (a group box or page with its stops is one place).
inline void ExpectReadingTabOrder(HWND form, const wchar_t* name) {
  std::vector<HWND> stops = TabStops(form);
  EXPECT_GT(stops.size(), 1u) << hv::WideToUtf8(name);
  auto chain = [form](HWND w) {
    std::vector<HWND> c;
    for (; w && w != form; w = GetParent(w)) c.insert(c.begin(), w);
    return c;
  };
  for (size_t i = 1; i < stops.size(); ++i) {
    std::vector<HWND> a = chain(stops[i - 1]), b = chain(stops[i]);
    size_t k = 0;
    while (k < a.size() && k < b.size() && a[k] == b[k]) ++k;
    if (k == a.size() || k == b.size()) continue;
    RECT ra{}, rb{};
    GetWindowRect(a[k], &ra);
    GetWindowRect(b[k], &rb);
    auto within = [](LONG y, const RECT& r) { return y >= r.top && y < r.bottom; };
    bool above = rb.bottom <= ra.top;
    bool sameLine = within((ra.top + ra.bottom) / 2, rb) && within((rb.top + rb.bottom) / 2, ra);
    EXPECT_FALSE(above || (sameLine && rb.right <= ra.left))
        << hv::WideToUtf8(name) << ": " << hv::WideToUtf8(WindowLabel(stops[i - 1])) << " -> "
        << hv::WideToUtf8(WindowLabel(stops[i]));
  }
}

}  // namespace hvtest
