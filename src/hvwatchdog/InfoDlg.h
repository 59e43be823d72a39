#pragma once
// The status pop-up of the tray icon: the monitored directories, the countdown and the pending files.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "winui/Forms.h"

namespace hv {

// Fills the lines of the pending files.
using TGetStrings = std::function<void(std::vector<std::wstring>&)>;

// The answer of "Start immediate backup"; "Close" answers mrCancel, the open button mrYes.
constexpr int kInfoStart = 11;

// Modal; at pos (the bottom-right corner when bottomRight), kept inside the work area; (-1, -1)
// centres it on the screen.
int ShowInfoDialog(std::wstring_view title, std::wstring_view infoText, std::wstring_view buttonText, TPoint pos,
                   bool bottomRight, bool showOpenButton, bool showStatus, TGetStrings getFileList);
// The status lines of the pop-up while it is shown.
void UpdateInfoStatus(std::wstring_view timeStatus, std::wstring_view fileStatus);
bool InfoDialogShown();
// The pop-up while it is shown (tests).
TForm* InfoDialogForm();

}  // namespace hv
