#pragma once
// The watchdog's icon in the notification area.
#include <windows.h>

#include <string>
#include <string_view>

namespace hv {

// The tip cut to what the notification area takes (127 characters).
std::wstring TrayTipText(std::wstring_view tip);

// Each returns whether the shell call succeeded.
bool AddTrayIconEx(HWND wnd, UINT id, UINT callbackMessage, HICON icon, HICON balloonIcon,
                   std::wstring_view balloonTitle, std::wstring_view balloonText, std::wstring_view tip, bool sound);
bool SetTrayTip(HWND wnd, UINT id, std::wstring_view tip);
bool ModifyTrayIcon(HWND wnd, UINT id, HICON icon, std::wstring_view tip);
// A balloon from an icon that is shown already (adding it again fails); information icon.
bool ShowTrayBalloon(HWND wnd, UINT id, std::wstring_view title, std::wstring_view text, bool sound);
bool RemoveTrayIcon(HWND wnd, UINT id);

// Edge of the task bar (0 left, 1 top, 2 right, 3 bottom, -1 unknown) and its rectangle.
int GetTaskbarPosition(RECT& rect);

}  // namespace hv
