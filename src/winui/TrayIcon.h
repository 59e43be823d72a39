#pragma once
// An icon in the notification area. A hidden window of its own receives the icon's callback
// messages and the shell's "TaskbarCreated" broadcast, after which a shown icon is added again.
// The shell calls go through a seam, so that tests can record them.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <string_view>

#include "winui/Handles.h"

namespace hv {

class ITrayShell {
 public:
  virtual ~ITrayShell() = default;
  // Shell_NotifyIconW.
  virtual bool Notify(DWORD message, NOTIFYICONDATAW& data) = 0;
};
// The active seam (the shell unless a test set another); null restores the shell.
ITrayShell& TrayShell();
void SetTrayShell(ITrayShell* shell);

enum class TBalloonIcon { biNone, biInfo, biWarning, biError, biUser };

class TTrayIcon {
 public:
  // id: the icon's identifier; callbackMessage: the message its window receives for mouse events.
  explicit TTrayIcon(UINT id = 1, UINT callbackMessage = WM_USER + 1);
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;
  ~TTrayIcon();

  HWND Handle() const { return FWnd; }
  UINT Id() const { return FId; }
  UINT CallbackMessage() const { return FCallback; }

  // The icon is copied; the caller keeps its own.
  void SetIcon(HICON icon);
  HICON Icon() const { return FIcon.Get(); }
  // The tip (at most 127 characters are shown).
  void SetHint(std::wstring_view hint);
  const std::wstring& Hint() const { return FHint; }
  // Adds or removes the icon; false when the shell refused.
  bool SetVisible(bool value);
  bool Visible() const { return FVisible; }
  // A balloon notice at the shown icon; user: the icon's own picture. large: a large picture.
  bool ShowBalloon(std::wstring_view title, std::wstring_view text, TBalloonIcon icon = TBalloonIcon::biInfo,
                   bool sound = false, bool large = false);

  // The mouse message (WM_LBUTTONDOWN, WM_RBUTTONUP ...) of a callback.
  std::function<void(UINT mouseMessage)> OnMouse;
  std::function<void()> OnBalloonClick;

 private:
  static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
  NOTIFYICONDATAW Data(UINT flags) const;
  bool Add();
  UINT FId, FCallback;
  HWND FWnd = nullptr;
  TIconHandle FIcon;
  std::wstring FHint;
  bool FVisible = false;
};

}  // namespace hv
