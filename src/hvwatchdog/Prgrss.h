#pragma once
// A round clock face that fills clockwise like a pie with the part of the interval that has passed.
#include <windows.h>

#include "winui/Controls.h"

namespace hv {

// The odd diameter d of the face inside a control of height h (the face spans 1..d).
int ClockDiameter(int height);
// End point of the hand for an angle in degrees on a face of diameter d (twelve o'clock is (r, 1)).
POINT ClockHandPoint(int angle, int d);

class TClkProgress : public TControl {
 public:
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  // Angle 0 and the first colour again.
  void Reset();
  // The value of a full turn.
  int Interval() const { return FInterval; }
  void SetInterval(int value) { FInterval = value > 0 ? value : 1; }
  int Position() const { return MulDiv(FAngle, FInterval, 360); }
  void SetPosition(int value);
  int Angle() const { return FAngle; }
  bool Toggle() const { return FToggle; }
  bool Flat = true;
  COLORREF ForeColor = RGB(0, 0, 0);
  COLORREF BackColor = RGB(255, 255, 255);
  // Draws the face into a device context (the paint handler and tests).
  void Paint(HDC dc, int height);

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int FInterval = 100;
  int FAngle = 0;
  bool FToggle = true;
};

}  // namespace hv
