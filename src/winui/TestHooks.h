#pragma once
// Hooks through which GUI tests drive forms: a callback once a form shows (fill controls, press
// buttons), automatic answers of modal forms (message boxes), and window screenshots as PNG.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hv {

class TForm;

struct TTestHooks {
  // Runs inside the message loop once a form is visible.
  static inline std::function<void(TForm&)> OnFormShown;
  // Asked after OnFormShown for a modal form; a value closes the form with that modal result.
  static inline std::function<std::optional<int>(TForm&)> AnswerModal;
  static void Clear() {
    OnFormShown = nullptr;
    AnswerModal = nullptr;
  }
};

// Saves what the window shows (frame included) as a PNG file through WIC.
bool SaveWindowAsPng(HWND wnd, const std::wstring& fileName);

}  // namespace hv
