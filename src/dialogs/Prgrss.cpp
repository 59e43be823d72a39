#include "dialogs/Prgrss.h"

#include <algorithm>

#include "winui/ExtCtrls.h"
#include "winui/Styles.h"

namespace hv {

// --- TCustomProgress

void TCustomProgress::Create(TForm& form, const TRect96& r96, HWND parent) {
  TPanel::Create(form, r96, parent);
  FProgressTimer.SetInterval(static_cast<UINT>(FProgressInterval));
  FProgressTimer.OnTimer = [this] { Step(); };
}

void TCustomProgress::SetProgressStatus(TProgressStatus status) {
  if (status == FProgressStatus) return;
  FProgressStatus = status;
  FProgressTimer.SetEnabled(status == TProgressStatus::psOn);
  if (status == TProgressStatus::psNudge) NudgeCounter = 0;
  Repaint();
}

void TCustomProgress::Nudge() {
  if (FProgressStatus != TProgressStatus::psNudge) return;
  if (++NudgeCounter > FProgressInterval) {
    NudgeCounter = 0;
    Step();
  }
}

void TCustomProgress::SetInterval(int ms) {
  FProgressInterval = ms;
  FProgressTimer.SetInterval(static_cast<UINT>(std::max(ms, 1)));
}

void TCustomProgress::SetForeColor(COLORREF c) {
  FProgressForeColor = c;
  Repaint();
}

void TCustomProgress::SetBackColor(COLORREF c) {
  FProgressBackColor = c;
  Repaint();
}

void TCustomProgress::Step() {
  FProgressCurrent += FIncr;
  if (OnIncrement) OnIncrement();
  Repaint();
}

void TCustomProgress::Repaint() {
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TCustomProgress::Paint(HDC dc, int width, int height) {
  int h = height;
  if (h <= 0) return;
  if (FProgressCurrent >= 2 * h) FProgressCurrent = 0;
  RECT all{0, 0, width, height};
  FillRect(dc, &all, TStyleManager::Brush(FProgressBackColor));
  TSelectObject brush(dc, TStyleManager::Brush(FProgressForeColor));
  TSelectObject pen(dc, GetStockObject(NULL_PEN));
  int c = FProgressCurrent;
  for (int x = 0; x <= width + h; x += 2 * h) {
    POINT pts[4] = {{x + c - h, 1}, {x + c, 1}, {x + c - h, h - 1}, {x + c - 2 * h, h - 1}};
    Polygon(dc, pts, 4);
  }
}

LRESULT TCustomProgress::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      // Through a bitmap: no flicker at 100 steps a second.
      PaintBuffered(Handle(), [this](HDC dc, const RECT& r) { Paint(dc, r.right, r.bottom); });
      return 0;
    case WM_HV_SCHEMECHANGED:
      Repaint();
      return 0;
  }
  return TPanel::ControlProc(msg, wp, lp);
}

// --- TNewProgressBar

void TNewProgressBar::Create(TForm& form, const TRect96& r96, HWND parent) {
  TCustomProgress::Create(form, r96, parent);
  FProgressForeColor = RGB(0x00, 0x70, 0xA0);
  FProgressBackColor = GetSysColor(COLOR_BTNFACE);
  Reset();
}

void TNewProgressBar::Reset() {
  if (FStyle == TNewProgressBarStyle::npsNormal) {
    FPos = 0;
    SetProgressStatus(TProgressStatus::psOff);
  } else {
    SetProgressStatus(TProgressStatus::psOn);
    if (FStyle == TNewProgressBarStyle::npsReverse) {
      FProgressCurrent = 0;
      FBarFwd = true;
    } else {
      FProgressCurrent = FBarWidth / 10;
    }
  }
  Repaint();
}

void TNewProgressBar::SetStyle(TNewProgressBarStyle style) {
  if (style == FStyle) return;
  FStyle = style;
  Reset();
}

void TNewProgressBar::WrapOffset(int width) {
  if (FStyle == TNewProgressBarStyle::npsReverse) {
    if (FProgressCurrent >= width - FBarWidth - 2) {
      FProgressCurrent = 0;
      FBarFwd = !FBarFwd;
    }
  } else if (FStyle == TNewProgressBarStyle::npsContinuous) {
    if (FProgressCurrent >= width + FBarWidth - FBarWidth / 10) FProgressCurrent = FBarWidth / 10;
  }
}

RECT TNewProgressBar::BarRect(int width, int height) const {
  int a = FBorder + 1;  // border and pen
  if (height / 2 < a) a = height / 2 - 1;
  a = std::max(a, 0);
  RECT r{a, a, a, height - a};
  switch (FStyle) {
    case TNewProgressBarStyle::npsNormal: {
      // An empty range (Max = Min) shows no bar instead of dividing by zero.
      int range = FMax - FMin;
      int span = std::max(width - 2 * a, 0);
      int w = range > 0 ? MulDiv(std::clamp(FPos, FMin, FMax) - FMin, span, range) : 0;
      r.right = a + std::clamp(w, 0, span);
      break;
    }
    case TNewProgressBarStyle::npsReverse:
      r.left = FBarFwd ? a + FProgressCurrent : width - FBarWidth - a - FProgressCurrent;
      r.right = r.left + FBarWidth;
      break;
    case TNewProgressBarStyle::npsContinuous:
      r.left = FProgressCurrent - FBarWidth > 1 ? FProgressCurrent - FBarWidth : a;
      r.right = std::min(FProgressCurrent, width - a);
      break;
  }
  if (r.right < r.left) r.right = r.left;
  return r;
}

void TNewProgressBar::Paint(HDC dc, int width, int height) {
  const TColorScheme& s = TStyleManager::Active();
  COLORREF back = s.System ? FProgressBackColor : s.Face;
  if (FTrans) back = TStyleManager::SysColor(COLOR_BTNFACE);
  COLORREF bar = FProgressForeColor;
  {
    TPenHandle pen(CreatePen(PS_SOLID, 1, TStyleManager::SysColor(COLOR_BTNSHADOW)));
    TSelectObject selPen(dc, pen.Get());
    TSelectObject selBrush(dc, TStyleManager::Brush(back));
    Rectangle(dc, 0, 0, width, height);
    if (!FFlat) {
      TPenHandle light(CreatePen(PS_SOLID, 1, TStyleManager::SysColor(COLOR_BTNHIGHLIGHT)));
      TSelectObject selLight(dc, light.Get());
      MoveToEx(dc, width - 1, 0, nullptr);
      LineTo(dc, width - 1, height - 1);
      LineTo(dc, -1, height - 1);
    }
  }
  WrapOffset(width);
  RECT r = BarRect(width, height);
  if (r.right > r.left && r.bottom > r.top) FillRect(dc, &r, TStyleManager::Brush(bar));
}

}  // namespace hv
