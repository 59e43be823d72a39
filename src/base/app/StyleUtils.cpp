#include "base/app/StyleUtils.h"

#include <windows.h>

#include <cmath>

#include "base/text/ExtSysUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "winui/Styles.h"
#include "winui/Translate.h"

namespace hv {
namespace {

struct TStyleNames {
  std::wstring Start = TStyleManager::Active().Name, Light = Start, Dark = Start;
};

TStyleNames& Names() {
  static TStyleNames n;
  return n;
}

}  // namespace

void InitStyleNames(std::wstring_view darkName) {
  Names().Light = Names().Start;
  Names().Dark = darkName;
}
const std::wstring& StartStyleName() { return Names().Start; }
const std::wstring& LightStyleName() { return Names().Light; }
const std::wstring& DarkStyleName() { return Names().Dark; }

void SelectStyle(bool dark) {
  const std::wstring& name = dark ? Names().Dark : Names().Light;
  const std::wstring& active = TStyleManager::Active().Name;
  if (CompareStringOrdinal(active.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) return;
  if (!TStyleManager::TrySetStyle(name)) ErrorDialog(SafeFormat(_(L"The style \"%s\" is not available."), name));
}

bool AppsUseDarkTheme() {
  DWORD value = 1, size = sizeof(value);
  return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                      L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
         value == 0;
}

void SelectSystemStyle() { SelectStyle(AppsUseDarkTheme()); }

TColor GetStyledColor(TStyleColor element, TColor defaultColor) {
  const TColorScheme& s = TStyleManager::Active();
  if (s.System) return defaultColor;
  switch (element) {
    case TStyleColor::scWindow:
    case TStyleColor::scPanel: return s.Face;
    case TStyleColor::scEdit: return s.Edit;
    case TStyleColor::scListView: return s.Window;
    case TStyleColor::scButtonNormal: return s.Button;
    case TStyleColor::scButtonHot: return s.ButtonHot;
    case TStyleColor::scButtonPressed: return s.ButtonPressed;
    case TStyleColor::scBorder: return s.Border;
  }
  return defaultColor;
}

TColor GetStyledFontColor(TStyleFont element, TColor defaultColor) {
  const TColorScheme& s = TStyleManager::Active();
  if (s.System) return defaultColor;
  switch (element) {
    case TStyleFont::sfWindowTextNormal:
    case TStyleFont::sfPanelTextNormal: return s.FaceText;
    case TStyleFont::sfEditBoxTextNormal: return s.EditText;
    case TStyleFont::sfListItemTextNormal: return s.WindowText;
    case TStyleFont::sfListItemTextSelected: return s.HighlightText;
    case TStyleFont::sfButtonTextNormal: return s.ButtonText;
    case TStyleFont::sfButtonTextDisabled: return s.GrayText;
  }
  return defaultColor;
}

TColor GetStyledSysColor(TColor color) {
  if (TStyleManager::IsSystemStyle() || (color & 0xFF000000) != kSystemColorBase) return color;
  return TStyleManager::SysColor(static_cast<int>(color & 0xFF));
}

int ColorDistance(TColor a, TColor b) {
  if (a == b) return 0;
  if ((a >= 0x1000000) != (b >= 0x1000000)) return 255;
  auto d = [&](int shift) {
    double v = static_cast<double>((a >> shift) & 0xFF) - static_cast<double>((b >> shift) & 0xFF);
    return v * v;
  };
  return static_cast<int>(std::lround(std::sqrt((d(0) + d(8) + d(16)) / 3.0)));
}

}  // namespace hv
