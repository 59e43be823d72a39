#include "dialogs/PrintText.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "winui/Handles.h"
#include "winui/Translate.h"

namespace hv {
namespace {

constexpr int kLineGap = 3;      // tenths of a millimetre between lines
constexpr int kRuleGap = 20;     // below the header's rule
constexpr std::wstring_view kContinuation = L"* ";
constexpr std::wstring_view kBreakChars = L" \\}";

std::wstring T(std::wstring_view msgid) { return DGetText(L"dialogs", msgid); }

void NoRoom() { throw EPrintError(T(L"The printer margins leave no room for the text.")); }

}  // namespace

std::vector<std::wstring> WrapPrintLine(std::wstring_view line, int availWidth, const TTextMeasure& measure) {
  std::vector<std::wstring> pieces;
  std::wstring prefix, rest(line);
  while (measure(prefix + rest) >= availWidth) {
    std::wstring piece;
    auto fill = [&] {
      while (!rest.empty() && measure(prefix + piece + rest[0]) < availWidth) {
        piece += rest[0];
        rest.erase(0, 1);
      }
    };
    for (;;) {
      const size_t pos = rest.find_first_of(kBreakChars);
      if (pos == std::wstring::npos) {
        if (piece.empty()) fill();
        break;
      }
      std::wstring part = rest.substr(0, pos + 1);
      if (measure(prefix + piece + part) < availWidth) {
        piece += part;
        rest.erase(0, pos + 1);
        continue;
      }
      if (piece.empty()) fill();
      break;
    }
    if (piece.empty()) NoRoom();
    pieces.push_back(prefix + piece);
    prefix = kContinuation;
  }
  pieces.push_back(prefix + rest);
  return pieces;
}

TPrintLayout MakePrintLayout(const TPrinterSettings& settings, int deviceWidthMm, int deviceHeightMm) {
  TPrintLayout l;
  l.Settings = settings;
  l.PageHeight = (deviceHeightMm > 0 ? deviceHeightMm * 10 : 2900) - settings.Margins.Bottom;
  l.RightLimit = (deviceWidthMm > 0 ? deviceWidthMm * 10 : 2000) - settings.Margins.Right;
  l.LineHeight = static_cast<int>(std::lround(settings.FontSize * 3.53));
  return l;
}

std::vector<TPrintPage> LayoutPrintPages(const std::vector<std::wstring>& lines, std::wstring_view title,
                                         std::wstring_view fileName, const TPrintLayout& layout,
                                         const TTextMeasure& measure) {
  const int left = layout.Settings.Margins.Left, top = layout.Settings.Margins.Top;
  const int avail = layout.RightLimit - left;
  const int step = layout.LineHeight + kLineGap;
  // A header and one line must fit, and the continuation mark with one character.
  if (avail <= 0 || layout.LineHeight <= 0 || top + 2 * step + kRuleGap >= layout.PageHeight ||
      measure(std::wstring(kContinuation) + L"W") >= avail)
    NoRoom();

  std::vector<TPrintPage> pages(1);
  int y = top;
  const std::wstring fileLabel = T(L"File: ");
  auto pageCheck = [&] {
    if (y >= layout.PageHeight) {
      y = top;
      pages.emplace_back();
    }
    if (y == top) {
      TPrintPage& p = pages.back();
      p.push_back({left, y, std::wstring(title), true});
      p.push_back({layout.RightLimit, y, SafeFormat(T(L"Page: %u"), static_cast<unsigned>(pages.size())), true, true});
      y += step;
      const int room = std::max(80 - static_cast<int>(fileLabel.size()), 10);
      p.push_back({left, y, fileLabel + AbbreviatePath(fileName, room), true});
      y += step;
      TPrintItem rule;
      rule.X = left;
      rule.Y = y;
      rule.Rule = true;
      rule.RuleEnd = layout.RightLimit;
      p.push_back(rule);
      y += kRuleGap;
    }
  };
  for (const std::wstring& line : lines) {
    pageCheck();
    std::vector<std::wstring> pieces = WrapPrintLine(line, avail, measure);
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) pageCheck();
      pages.back().push_back({left, y, std::move(pieces[i])});
      y += step;
    }
  }
  return pages;
}

HFONT CreatePrintFont(const TPrintLayout& layout, bool bold) {
  const auto& s = layout.Settings;
  LOGFONTW lf{};
  lf.lfHeight = -layout.LineHeight;
  lf.lfWeight = (bold || (s.FontStyle & 1)) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (s.FontStyle & 2) ? TRUE : FALSE;
  lf.lfUnderline = (s.FontStyle & 4) ? TRUE : FALSE;
  lf.lfStrikeOut = (s.FontStyle & 8) ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynW(lf.lfFaceName, s.FontName.c_str(), LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

void SetPrintMapping(HDC dc) {
  SetMapMode(dc, MM_LOMETRIC);
  SIZE wext{}, vext{};
  GetWindowExtEx(dc, &wext);
  GetViewportExtEx(dc, &vext);
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, wext.cx, wext.cy, nullptr);
  SetViewportExtEx(dc, vext.cx, -vext.cy, nullptr);
}

void RenderPrintPage(HDC dc, const TPrintPage& page, const TPrintLayout& layout) {
  TFontHandle normal(CreatePrintFont(layout, false)), bold(CreatePrintFont(layout, true));
  TSelectObject font(dc, normal.Get());  // the loop below switches fonts; this puts the DC's own back
  TSelectObject brush(dc, GetStockObject(WHITE_BRUSH));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  for (const TPrintItem& item : page) {
    if (item.Rule) {
      MoveToEx(dc, item.X, item.Y, nullptr);
      LineTo(dc, item.RuleEnd, item.Y);
      continue;
    }
    SelectObject(dc, item.Bold ? bold.Get() : normal.Get());
    SetTextAlign(dc, item.RightAligned ? (TA_RIGHT | TA_TOP) : (TA_LEFT | TA_TOP));
    TextOutW(dc, item.X, item.Y, item.Text.c_str(), static_cast<int>(item.Text.size()));
  }
}

TTextMeasure DeviceTextMeasure(HDC dc, const TPrintLayout& layout) {
  auto font = std::make_shared<TFontHandle>(CreatePrintFont(layout, false));
  return [dc, font](std::wstring_view s) {
    TSelectObject select(dc, font->Get());
    SIZE sz{};
    GetTextExtentPoint32W(dc, s.data(), static_cast<int>(s.size()), &sz);
    return static_cast<int>(sz.cx);
  };
}

void PrintTextLines(HDC printerDC, std::wstring_view docName, const std::vector<std::wstring>& lines,
                    std::wstring_view title, std::wstring_view fileName, const TPrinterSettings& settings) {
  const TPrintLayout layout =
      MakePrintLayout(settings, GetDeviceCaps(printerDC, HORZSIZE), GetDeviceCaps(printerDC, VERTSIZE));
  SetPrintMapping(printerDC);
  const std::vector<TPrintPage> pages =
      LayoutPrintPages(lines, title, fileName, layout, DeviceTextMeasure(printerDC, layout));
  const std::wstring name(docName);
  DOCINFOW di{};
  di.cbSize = sizeof di;
  di.lpszDocName = name.c_str();
  if (StartDocW(printerDC, &di) <= 0) throw EOSError(L"StartDoc", GetLastError());
  try {
    for (const TPrintPage& page : pages) {
      if (StartPage(printerDC) <= 0) throw EOSError(L"StartPage", GetLastError());
      SetPrintMapping(printerDC);
      RenderPrintPage(printerDC, page, layout);
      if (EndPage(printerDC) <= 0) throw EOSError(L"EndPage", GetLastError());
    }
  } catch (...) {
    AbortDoc(printerDC);
    throw;
  }
  EndDoc(printerDC);
}

}  // namespace hv
