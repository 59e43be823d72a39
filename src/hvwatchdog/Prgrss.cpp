#include "hvwatchdog/Prgrss.h"

#include <algorithm>
#include <cmath>

namespace hv {

int ClockDiameter(int height) {
  int d = height - 1;
  if (d % 2 == 0) --d;
  return d;
}

POINT ClockHandPoint(int angle, int d) {
  const int r = (d - 1) / 2;
  const double rad = angle * 0.017453292519943295;
  // Halves round to the even neighbour.
  long x = r + std::lrint(r * std::sin(rad));
  long y = r - std::lrint(r * std::cos(rad));
  if (x < 1) x = 1;
  if (y < 1) y = 1;
  return POINT{std::min<long>(d, x), std::min<long>(d, y)};
}

void TClkProgress::Create(TForm& form, const TRect96& r96, HWND parent) {
  CreateWnd(form, parent, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, r96);
}

void TClkProgress::Reset() {
  FAngle = 0;
  FToggle = true;
  if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TClkProgress::SetPosition(int value) {
  const int angle = MulDiv(value, 360, FInterval);
  if (angle == FAngle) return;
  FAngle = angle;
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TClkProgress::Paint(HDC dc, int h) {
  if (FAngle >= 360) {
    FAngle = 0;
    FToggle = !FToggle;
  }
  TSelectObject pen(dc, GetStockObject(DC_PEN));
  TSelectObject brush(dc, GetStockObject(DC_BRUSH));
  RECT all{0, 0, h, h};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  if (Flat) {
    SetDCPenColor(dc, GetSysColor(COLOR_BTNSHADOW));
    SetDCBrushColor(dc, GetSysColor(COLOR_BTNFACE));
    Ellipse(dc, 0, 0, h, h);
  } else {
    SetDCPenColor(dc, GetSysColor(COLOR_BTNSHADOW));
    SetDCBrushColor(dc, GetSysColor(COLOR_BTNSHADOW));
    Ellipse(dc, 0, 0, h - 1, h - 1);
    SetDCPenColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    SetDCBrushColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    Ellipse(dc, 1, 1, h, h);
  }
  SetDCPenColor(dc, GetSysColor(COLOR_BTNFACE));
  const int d = ClockDiameter(h);
  if (FAngle > 0) {
    SetDCBrushColor(dc, FToggle ? ForeColor : BackColor);
    Ellipse(dc, 1, 1, d, d);
  }
  const int r = (d - 1) / 2;
  const POINT end = ClockHandPoint(FAngle, d);
  SetDCBrushColor(dc, FToggle ? BackColor : ForeColor);
  Pie(dc, 1, 1, d, d, r, 1, end.x, end.y);
}

LRESULT TClkProgress::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    TPaintDC dc(Handle());
    RECT rc;
    GetClientRect(Handle(), &rc);
    Paint(dc.Get(), rc.bottom);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  return TControl::ControlProc(msg, wp, lp);
}

}  // namespace hv
