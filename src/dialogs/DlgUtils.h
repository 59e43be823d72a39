#pragma once
// Parts that every dialog of the suite has: the OK and Cancel buttons and the measure of its font.
#include <windows.h>

#include <string_view>

#include "winui/Forms.h"

namespace hv {

// OK is the default button (Enter) and answers mrOk; Cancel answers Esc with mrCancel. OK is made
// first, so it comes first in the tab order.
void CreateOkCancel(TForm& form, TButton& ok, TButton& cancel, const TRect96& okBounds, const TRect96& cancelBounds,
                    std::wstring_view okCaption = L"OK");
// Both buttons of one size.
void CreateOkCancel(TForm& form, TButton& ok, TButton& cancel, const TRect96& bounds,
                    std::wstring_view okCaption = L"OK");
// Cancel ends at right, OK stands gap pixels to its left; pixels of the form's dpi.
void PlaceOkCancel(TButton& ok, TButton& cancel, int right, int top, int width, int height, int gap);

// The metrics of a font as the screen shows it (tmHeight, tmAveCharWidth ...).
TEXTMETRICW FontMetrics(HFONT font);

}  // namespace hv
