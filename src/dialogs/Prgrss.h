#pragma once
// Painted progress controls: TCustomProgress, a marquee of slanted stripes stepped by its own
// timer or by nudges, and TNewProgressBar, a flat bar with a position or a moving block.
#include <windows.h>

#include <functional>

#include "winui/Controls.h"

namespace hv {

enum class TProgressStatus { psOn, psOff, psNudge };
enum class TNewProgressBarStyle { npsNormal, npsReverse, npsContinuous };

class TCustomProgress : public TPanel {
 public:
  static constexpr TRect96 kDefaultBounds{0, 0, 150, 14};
  void Create(TForm& form, const TRect96& r96 = kDefaultBounds, HWND parent = nullptr);

  void Start() { SetProgressStatus(TProgressStatus::psOn); }
  void Stop() { SetProgressStatus(TProgressStatus::psOff); }
  // The timer runs exactly when not paused.
  void Pause(bool paused) { FProgressTimer.SetEnabled(!paused); }
  // In psNudge: one step after more than Interval nudges.
  void Nudge();
  TProgressStatus ProgressStatus() const { return FProgressStatus; }
  void SetProgressStatus(TProgressStatus status);
  int Interval() const { return FProgressInterval; }
  void SetInterval(int ms);
  COLORREF ForeColor() const { return FProgressForeColor; }
  void SetForeColor(COLORREF c);
  COLORREF BackColor() const { return FProgressBackColor; }
  void SetBackColor(COLORREF c);
  int Increment() const { return FIncr; }
  void SetIncrement(int pixels) { FIncr = pixels; }
  // Offset of the animation in pixels.
  int Current() const { return FProgressCurrent; }
  bool TimerRunning() const { return FProgressTimer.Enabled(); }
  std::function<void()> OnIncrement;

 protected:
  void Step();
  void Repaint();
  virtual void Paint(HDC dc, int width, int height);
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

  TProgressStatus FProgressStatus = TProgressStatus::psOff;
  TTimer FProgressTimer;
  COLORREF FProgressForeColor = RGB(0x00, 0x00, 0xFF);
  COLORREF FProgressBackColor = RGB(0xFF, 0x00, 0x00);
  int FProgressInterval = 10;
  int FProgressCurrent = 0;
  int FIncr = 2;
  int NudgeCounter = 0;
};

class TNewProgressBar : public TCustomProgress {
 public:
  static constexpr TRect96 kDefaultBounds{0, 0, 151, 11};
  void Create(TForm& form, const TRect96& r96 = kDefaultBounds, HWND parent = nullptr);

  // npsNormal: position 0, stopped; the block styles start moving.
  void Reset();
  int BarWidth() const { return FBarWidth; }
  void SetBarWidth(int v) { Change(FBarWidth, v); }
  int Border() const { return FBorder; }
  void SetBorder(int v) { Change(FBorder, v); }
  int Min() const { return FMin; }
  void SetMin(int v) { Change(FMin, v); }
  int Max() const { return FMax; }
  void SetMax(int v) { Change(FMax, v); }
  int Position() const { return FPos; }
  void SetPosition(int v) { Change(FPos, v); }
  bool Flat() const { return FFlat; }
  void SetFlat(bool v) { Change(FFlat, v); }
  bool Transparent() const { return FTrans; }
  void SetTransparent(bool v) { Change(FTrans, v); }
  TNewProgressBarStyle Style() const { return FStyle; }
  void SetStyle(TNewProgressBarStyle style);
  COLORREF BarColor() const { return ForeColor(); }
  void SetBarColor(COLORREF c) { SetForeColor(c); }

  // Where the bar is drawn for a control of that size (pixels); empty when there is none.
  RECT BarRect(int width, int height) const;

 protected:
  void Paint(HDC dc, int width, int height) override;

 private:
  template <class T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    Repaint();
  }
  // Wraps the block's offset at the ends of its run.
  void WrapOffset(int width);
  int FBarWidth = 50, FBorder = 1, FPos = 0, FMin = 0, FMax = 100;
  bool FBarFwd = true, FFlat = true, FTrans = true;
  TNewProgressBarStyle FStyle = TNewProgressBarStyle::npsNormal;
};

}  // namespace hv
