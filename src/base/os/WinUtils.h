#pragma once
// Placing forms on the screen (the suite's position rule, work-area margins), scaling to the
// monitor's dpi, screen points of controls, text extents, shutdown and the code-page list.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text/ExtSysUtils.h"
#include "winui/Forms.h"

namespace hv {

// Margins inside the work area at 96 dpi.
constexpr int kWorkAreaMargin96 = 20;
constexpr int kWorkAreaBottomMargin96 = 30;

// Moves a rectangle that crosses an edge of the work area back inside with the margins (scaled
// to dpi); one that lies inside is not moved.
void AdjustToWorkAreaIn(int& left, int& top, int width, int height, const RECT& workArea, UINT dpi);
// The same for the monitor nearest to (left, top).
void AdjustToWorkArea(int& left, int& top, int width, int height);
void FitFormToWorkArea(TForm& form);
// (-1,-1): centred on the main form; (-1,0): centred on the screen; else the top-left corner
// (a negative coordinate keeps the current one), with above the form goes above the point.
void PlaceForm(TForm& form, TPoint pos, bool above = false);

int ScaleToMonitor(int value, const TForm& form);
int ScaleForMonitor(int value, HMONITOR monitor);
// Bitmaps are scaled only from 120 % on.
bool NeedsBitmapScaling(UINT oldDpi, UINT newDpi);
// Rebuilds an image list with its images stretched to the new dpi (from 120 % on).
void ScaleImageList(HIMAGELIST list, UINT oldDpi, UINT newDpi);
// Bitmap images of push buttons stretched to the new dpi (from 120 % on); recursively.
void ScaleButtonGlyphs(HWND parent, UINT oldDpi, UINT newDpi);
// Item heights of owner-drawn combo boxes; recursively.
void ScaleComboItemHeights(HWND parent, UINT oldDpi, UINT newDpi);

// Screen points of a control's corners, with an offset.
TPoint TopLeftPos(const TControl& c, TPoint offset = {});
TPoint BottomLeftPos(const TControl& c, TPoint offset = {});
TPoint TopRightPos(const TControl& c, TPoint offset = {});
TPoint BottomRightPos(const TControl& c, TPoint offset = {});
TPoint GetCursorPosition(TPoint offset = {});

// Text extents in a font; lines are separated by CR LF.
int GetTextWidth(std::wstring_view text, HFONT font);
int GetMaxLineWidth(std::wstring_view text, HDC dc);
int GetMaxLineWidthFont(std::wstring_view text, HFONT font);
int GetMaxItemWidth(const std::vector<std::wstring>& items, HFONT font);
int CountLines(std::wstring_view text);
SIZE GetTextSize(std::wstring_view text, HFONT font);
// The size of text as a static text of that width shows it: its lines wrapped between words.
SIZE GetWrappedTextSize(std::wstring_view text, HFONT font, int width);

// Static texts and read-only edits among the children (recursively) get or lose tab stops.
void SetReadOnlyTabStops(HWND parent, bool tabStop);
void SetClientWidthToButton(TForm& form, const TControl& button, int margin);

// Enables a privilege ("SeShutdownPrivilege" ...) in the token of a process; false when the token
// cannot be opened or the privilege is not granted.
bool EnableProcessPrivilege(HANDLE process, std::wstring_view privilege);

// Shutting down: every call goes through this seam; tests put a recorder in its place.
class IShutdownApi {
 public:
  virtual ~IShutdownApi() = default;
  virtual bool EnablePrivilege() = 0;
  virtual bool ExitSession(UINT flags, DWORD reason) = 0;
  virtual bool ShutdownSystem(bool reboot, DWORD reason) = 0;
};
// The active seam (the real calls unless a test set another); null restores the real one.
IShutdownApi& ShutdownApi();
void SetShutdownApi(IShutdownApi* api);
bool EnableShutdownPrivilege();
// With a message, a confirmation box asks first (No gives false).
bool ExitWindowsConfirm(std::wstring_view message, UINT flags, DWORD reason);
bool InitiateShutdownConfirm(std::wstring_view message, bool reboot, DWORD reason);

// The code pages Windows supports as "name - (number)", sorted by text; extra (when given) comes
// first, led by a blank, with the number 0. False (list unchanged) when the enumeration fails; an
// error inside it is raised.
bool GetCodePageList(std::vector<std::pair<std::wstring, UINT>>& list, std::wstring_view extra);

// The name the program units use for SafeFormat; the same function.
template <class... A>
std::wstring SafeFormatStr(std::wstring_view pattern, const A&... args) noexcept {
  return SafeFormat(pattern, args...);
}

}  // namespace hv
