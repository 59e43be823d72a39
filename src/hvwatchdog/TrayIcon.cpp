#include "hvwatchdog/TrayIcon.h"

#include <shellapi.h>

#include <algorithm>

namespace hv {

namespace {

NOTIFYICONDATAW MakeData(HWND wnd, UINT id) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = wnd;
  nid.uID = id;
  return nid;
}

void CopyText(wchar_t* dest, size_t size, std::wstring_view text) {
  const size_t n = std::min(text.size(), size - 1);
  text.copy(dest, n);
  dest[n] = 0;
}

}  // namespace

std::wstring TrayTipText(std::wstring_view tip) {
  return std::wstring(tip.substr(0, std::size(NOTIFYICONDATAW{}.szTip) - 1));
}

bool AddTrayIconEx(HWND wnd, UINT id, UINT callbackMessage, HICON icon, HICON balloonIcon,
                   std::wstring_view balloonTitle, std::wstring_view balloonText, std::wstring_view tip, bool sound) {
  NOTIFYICONDATAW nid = MakeData(wnd, id);
  nid.uFlags = NIF_STATE;
  nid.dwStateMask = NIS_HIDDEN;
  if (callbackMessage > 0) {
    nid.uFlags |= NIF_MESSAGE;
    nid.uCallbackMessage = callbackMessage;
  }
  if (icon) {
    nid.uFlags |= NIF_ICON;
    nid.hIcon = icon;
  }
  if (!tip.empty()) {
    nid.uFlags |= NIF_TIP;
    CopyText(nid.szTip, std::size(nid.szTip), tip);
  }
  if (!balloonTitle.empty()) {
    nid.uFlags |= NIF_INFO;
    CopyText(nid.szInfoTitle, std::size(nid.szInfoTitle), balloonTitle);
    CopyText(nid.szInfo, std::size(nid.szInfo), balloonText);
    if (balloonIcon || icon) {
      nid.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON;
      nid.hBalloonIcon = balloonIcon ? balloonIcon : icon;
    } else {
      nid.dwInfoFlags = NIIF_INFO;
    }
    if (!sound) nid.dwInfoFlags |= NIIF_NOSOUND;
  }
  return Shell_NotifyIconW(NIM_ADD, &nid) != FALSE;
}

bool SetTrayTip(HWND wnd, UINT id, std::wstring_view tip) {
  if (tip.empty()) return false;
  NOTIFYICONDATAW nid = MakeData(wnd, id);
  nid.uFlags = NIF_TIP;
  CopyText(nid.szTip, std::size(nid.szTip), tip);
  return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

bool ModifyTrayIcon(HWND wnd, UINT id, HICON icon, std::wstring_view tip) {
  NOTIFYICONDATAW nid = MakeData(wnd, id);
  nid.uFlags = NIF_ICON;
  nid.hIcon = icon;
  if (!tip.empty()) {
    nid.uFlags |= NIF_TIP;
    CopyText(nid.szTip, std::size(nid.szTip), tip);
  }
  return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

bool ShowTrayBalloon(HWND wnd, UINT id, std::wstring_view title, std::wstring_view text, bool sound) {
  NOTIFYICONDATAW nid = MakeData(wnd, id);
  nid.uFlags = NIF_INFO;
  CopyText(nid.szInfoTitle, std::size(nid.szInfoTitle), title);
  CopyText(nid.szInfo, std::size(nid.szInfo), text);
  nid.dwInfoFlags = NIIF_INFO | (sound ? 0 : NIIF_NOSOUND);
  return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

bool RemoveTrayIcon(HWND wnd, UINT id) {
  NOTIFYICONDATAW nid = MakeData(wnd, id);
  return Shell_NotifyIconW(NIM_DELETE, &nid) != FALSE;
}

int GetTaskbarPosition(RECT& rect) {
  rect = RECT{};
  if (!FindWindowW(L"Shell_TrayWnd", nullptr)) return -1;
  APPBARDATA abd{};
  abd.cbSize = sizeof(abd);
  if (!SHAppBarMessage(ABM_GETTASKBARPOS, &abd)) return -1;
  rect = abd.rc;
  return static_cast<int>(abd.uEdge);
}

}  // namespace hv
