#include "hvwatchdog/WdStart.h"

#include "winui/Dpi.h"
#include "winui/Translate.h"

namespace hv {

namespace {

constexpr int kWidth96 = 414, kHeight96 = 176;
constexpr int kIconSize96 = 48, kTextLeft96 = 92;
// White is the colour key: the corners outside the rounded picture are not drawn.
constexpr COLORREF kKey = RGB(255, 255, 255);
constexpr COLORREF kBack = RGB(0x1E, 0x3A, 0x5F);
constexpr COLORREF kBand = RGB(0x2B, 0x55, 0x8A);
constexpr COLORREF kText = RGB(0xF2, 0xF5, 0xFA);
constexpr int kMainIcon = 1;

TFontHandle MakeFont(const wchar_t* face, int points, UINT dpi, int weight) {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(points, static_cast<int>(dpi), 72);
  lf.lfWeight = weight;
  lf.lfQuality = CLEARTYPE_QUALITY;
  wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return TFontHandle(CreateFontIndirectW(&lf));
}

}  // namespace

TStartScreen::TStartScreen() {
  BorderStyle = TBorderStyle::bsNone;
  Position = TPosition::poScreenCenter;
  DefaultMonitor = TDefaultMonitor::dmPrimary;
  ClientWidth96 = kWidth96;
  ClientHeight96 = kHeight96;
  FBack.Reset(CreateSolidBrush(kBack));
}

void TStartScreen::FormCreate() {
  SetCaption(L"StartScreen");
  lblVers.Create(*this, L"", {0, 136, kWidth96, 22});
  lblVers.TranslateText = false;
  SetWindowLongW(lblVers.Handle(), GWL_STYLE, GetWindowLongW(lblVers.Handle(), GWL_STYLE) | SS_CENTER);
  SetWindowLongW(Handle(), GWL_EXSTYLE, GetWindowLongW(Handle(), GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TOOLWINDOW);
  SetLayeredWindowAttributes(Handle(), kKey, 0, LWA_COLORKEY);
}

void TStartScreen::Relayout(UINT dpi) {
  TForm::Relayout(dpi);
  FVersFont = MakeFont(L"Verdana", 10, dpi, FW_BOLD);
  FTitleFont = MakeFont(L"Verdana", 20, dpi, FW_BOLD);
  if (lblVers.Handle()) SendMessageW(lblVers.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FVersFont.Get()), TRUE);
}

void TStartScreen::ShowMsg(std::wstring_view versInfo) {
  lblVers.SetText(versInfo);
  Show();
  UpdateWindow(Handle());
}

void TStartScreen::Paint(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  TBrushHandle key(CreateSolidBrush(kKey)), band(CreateSolidBrush(kBand));
  FillRect(dc, &r, key.Get());
  const int round = Scale(24);
  {
    TSelectObject pen(dc, GetStockObject(NULL_PEN));
    TSelectObject back(dc, FBack.Get());
    RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, round, round);
  }
  {
    TSelectObject pen(dc, GetStockObject(NULL_PEN));
    TSelectObject brush(dc, band.Get());
    Rectangle(dc, r.left, Scale(104), r.right + 1, Scale(108));
  }

  const int iconSize = Scale(kIconSize96);
  HICON icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainIcon), IMAGE_ICON, iconSize, iconSize, LR_SHARED));
  if (!icon) icon = LoadIconW(nullptr, IDI_APPLICATION);
  DrawIconEx(dc, Scale(26), Scale(30), icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);

  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kText);
  {
    TSelectObject font(dc, FTitleFont.Get());
    RECT title{Scale(kTextLeft96), Scale(26), r.right - Scale(12), Scale(62)};
    DrawTextW(dc, L"HvWatchdog", -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  TSelectObject font(dc, Font());
  const std::wstring sub = _(L"File change monitoring with direct backup");
  RECT line{Scale(kTextLeft96), Scale(64), r.right - Scale(12), Scale(96)};
  DrawTextW(dc, sub.c_str(), -1, &line, DT_WORDBREAK | DT_NOPREFIX);
}

LRESULT TStartScreen::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      TPaintDC dc(Handle());
      Paint(dc.Get());
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetTextColor(dc, kText);
      SetBkColor(dc, kBack);
      return reinterpret_cast<LRESULT>(FBack.Get());
    }
  }
  return TForm::WndProc(msg, wp, lp);
}

}  // namespace hv
