#pragma once
// Light and dark visual style of the programs, and colours that follow the active style.
#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

// Red in the low byte, then green, then blue; 0x1000000 or more is a system colour
// (0xFF000000 | COLOR_... index) or another special value.
using TColor = uint32_t;
constexpr TColor kSystemColorBase = 0xFF000000;
constexpr TColor clWindow = kSystemColorBase | 5, clWindowText = kSystemColorBase | 8,
                 clBtnFace = kSystemColorBase | 15, clBtnText = kSystemColorBase | 18,
                 clHighlight = kSystemColorBase | 13, clHighlightText = kSystemColorBase | 14,
                 clInfoBk = kSystemColorBase | 24;

enum class TStyleColor { scWindow, scPanel, scEdit, scListView, scButtonNormal, scButtonHot, scButtonPressed, scBorder };
enum class TStyleFont {
  sfWindowTextNormal, sfPanelTextNormal, sfEditBoxTextNormal, sfListItemTextNormal, sfListItemTextSelected,
  sfButtonTextNormal, sfButtonTextDisabled
};

// The light style becomes the start style, the dark style darkName.
void InitStyleNames(std::wstring_view darkName);
const std::wstring& StartStyleName();
const std::wstring& LightStyleName();
const std::wstring& DarkStyleName();
// Switches to the dark or light style unless it is active already.
void SelectStyle(bool dark);
// HKCU ...\Themes\Personalize "AppsUseLightTheme" exists and is 0.
bool AppsUseDarkTheme();
void SelectSystemStyle();

TColor GetStyledColor(TStyleColor element, TColor defaultColor);
TColor GetStyledFontColor(TStyleFont element, TColor defaultColor);
TColor GetStyledSysColor(TColor color);
// 0 to 255: 255 between a system colour and an RGB colour, else the root mean square of the
// byte differences.
int ColorDistance(TColor a, TColor b);

}  // namespace hv
