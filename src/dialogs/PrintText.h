#pragma once
// Printing a text: pages with a header (title, page number, file name, a rule) and long lines
// wrapped at blanks, backslashes or closing braces, continuation lines marked "* ". Layout works
// in tenths of a millimetre with a text measure handed in, so that it runs without a printer.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings/BuConsts.h"
#include "winui/Errors.h"

namespace hv {

// The margins leave no room for a line.
class EPrintError : public Exception {
 public:
  using Exception::Exception;
};

// Width of a text in tenths of a millimetre.
using TTextMeasure = std::function<int(std::wstring_view)>;

// The pieces a line is printed in; every piece after the first starts with "* ". Raises
// EPrintError when not even one character fits.
std::vector<std::wstring> WrapPrintLine(std::wstring_view line, int availWidth, const TTextMeasure& measure);

struct TPrintItem {
  int X = 0, Y = 0;
  std::wstring Text;
  bool Bold = false;
  bool RightAligned = false;  // X is where the text ends
  bool Rule = false;          // a line from X to RuleEnd at Y
  int RuleEnd = 0;
};
using TPrintPage = std::vector<TPrintItem>;

struct TPrintLayout {
  int PageHeight = 0;  // the lowest y at which a line may start
  int RightLimit = 0;
  int LineHeight = 0;
  TPrinterSettings Settings;
};

// Page sizes from the device's size in millimetres (0: 2000 x 2900) and the settings.
TPrintLayout MakePrintLayout(const TPrinterSettings& settings, int deviceWidthMm, int deviceHeightMm);

// Pages of lines with their headers. Raises EPrintError when the margins leave no room.
std::vector<TPrintPage> LayoutPrintPages(const std::vector<std::wstring>& lines, std::wstring_view title,
                                         std::wstring_view fileName, const TPrintLayout& layout,
                                         const TTextMeasure& measure);

// A font of the settings for a device context in the metric mapping that RenderPrintPage sets.
HFONT CreatePrintFont(const TPrintLayout& layout, bool bold);
// Switches dc to tenths of a millimetre with y growing downwards.
void SetPrintMapping(HDC dc);
// Draws one page on dc (mapping set by the caller).
void RenderPrintPage(HDC dc, const TPrintPage& page, const TPrintLayout& layout);
// The measure of the settings' font on dc (mapping set by the caller).
TTextMeasure DeviceTextMeasure(HDC dc, const TPrintLayout& layout);

// Prints lines as one document on a printer's device context; errors as EPrintError or EOSError.
void PrintTextLines(HDC printerDC, std::wstring_view docName, const std::vector<std::wstring>& lines,
                    std::wstring_view title, std::wstring_view fileName, const TPrinterSettings& settings);

}  // namespace hv
