#include "winui/TrayIcon.h"

#include <algorithm>

#include "winui/Forms.h"

namespace hv {
namespace {

constexpr const wchar_t* kTrayClass = L"HvTrayIcon";

class TShellTray : public ITrayShell {
 public:
  bool Notify(DWORD message, NOTIFYICONDATAW& data) override { return Shell_NotifyIconW(message, &data) != FALSE; }
};

ITrayShell& RealShell() {
  static TShellTray shell;
  return shell;
}

ITrayShell*& ActiveShell() {
  static ITrayShell* active = &RealShell();
  return active;
}

UINT TaskbarCreatedMessage() {
  static const UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
  return msg;
}

template <size_t N>
void CopyText(wchar_t (&dest)[N], std::wstring_view text) {
  size_t n = std::min(text.size(), N - 1);
  std::copy_n(text.data(), n, dest);
  dest[n] = L'\0';
}

}  // namespace

ITrayShell& TrayShell() { return *ActiveShell(); }

void SetTrayShell(ITrayShell* shell) { ActiveShell() = shell ? shell : &RealShell(); }

TTrayIcon::TTrayIcon(UINT id, UINT callbackMessage) : FId(id), FCallback(callbackMessage) {
  static const bool registered = RegisterWindowClass(kTrayClass, WndProc);
  (void)registered;
  TaskbarCreatedMessage();
  // A hidden top-level window: message-only windows do not receive the shell's broadcast.
  FWnd = CreateWindowExW(WS_EX_TOOLWINDOW, kTrayClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         GetModuleHandleW(nullptr), this);
}

TTrayIcon::~TTrayIcon() {
  SetVisible(false);
  if (FWnd) {
    SetWindowLongPtrW(FWnd, GWLP_USERDATA, 0);
    DestroyWindow(FWnd);
  }
}

NOTIFYICONDATAW TTrayIcon::Data(UINT flags) const {
  NOTIFYICONDATAW d{};
  d.cbSize = sizeof(d);
  d.hWnd = FWnd;
  d.uID = FId;
  d.uFlags = flags;
  d.uCallbackMessage = FCallback;
  d.hIcon = FIcon.Get();
  CopyText(d.szTip, FHint);
  return d;
}

bool TTrayIcon::Add() {
  NOTIFYICONDATAW d = Data(NIF_MESSAGE | (FIcon ? NIF_ICON : 0) | NIF_TIP);
  return TrayShell().Notify(NIM_ADD, d);
}

void TTrayIcon::SetIcon(HICON icon) {
  FIcon.Reset(icon ? CopyIcon(icon) : nullptr);
  if (FVisible) {
    NOTIFYICONDATAW d = Data(NIF_ICON);
    TrayShell().Notify(NIM_MODIFY, d);
  }
}

void TTrayIcon::SetHint(std::wstring_view hint) {
  FHint = hint;
  if (FVisible) {
    NOTIFYICONDATAW d = Data(NIF_TIP);
    TrayShell().Notify(NIM_MODIFY, d);
  }
}

bool TTrayIcon::SetVisible(bool value) {
  if (value == FVisible) return true;
  if (value) {
    if (!Add()) return false;
  } else {
    NOTIFYICONDATAW d = Data(0);
    TrayShell().Notify(NIM_DELETE, d);
  }
  FVisible = value;
  return true;
}

bool TTrayIcon::ShowBalloon(std::wstring_view title, std::wstring_view text, TBalloonIcon icon, bool sound,
                            bool large) {
  if (!FVisible) return false;
  NOTIFYICONDATAW d = Data(NIF_INFO);
  CopyText(d.szInfoTitle, title);
  CopyText(d.szInfo, text);
  switch (icon) {
    case TBalloonIcon::biNone: d.dwInfoFlags = NIIF_NONE; break;
    case TBalloonIcon::biInfo: d.dwInfoFlags = NIIF_INFO; break;
    case TBalloonIcon::biWarning: d.dwInfoFlags = NIIF_WARNING; break;
    case TBalloonIcon::biError: d.dwInfoFlags = NIIF_ERROR; break;
    case TBalloonIcon::biUser:
      d.dwInfoFlags = NIIF_USER;
      d.hBalloonIcon = FIcon.Get();
      break;
  }
  if (!sound) d.dwInfoFlags |= NIIF_NOSOUND;
  if (large) d.dwInfoFlags |= NIIF_LARGE_ICON;
  return TrayShell().Notify(NIM_MODIFY, d);
}

LRESULT CALLBACK TTrayIcon::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(wnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  auto* self = reinterpret_cast<TTrayIcon*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (self) {
    try {
      if (msg == self->FCallback && wp == self->FId) {
        UINT event = LOWORD(lp);
        if (event == NIN_BALLOONUSERCLICK) {
          if (self->OnBalloonClick) self->OnBalloonClick();
        } else if (self->OnMouse) {
          self->OnMouse(event);
        }
        return 0;
      }
      if (msg == TaskbarCreatedMessage()) {
        if (self->FVisible && !self->Add()) self->FVisible = false;
        return 0;
      }
    } catch (...) {
      Application().HandleException();
      return 0;
    }
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace hv
