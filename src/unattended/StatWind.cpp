#include "unattended/StatWind.h"

#include <algorithm>

#include "base/os/WinUtils.h"
#include "winui/Dpi.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 12, kLineHeight96 = 17, kWidth96 = 360, kBarHeight96 = 14;
constexpr int kButtonWidth96 = 87, kButtonHeight96 = 28, kButtonGap96 = 5;
constexpr int kStatusTop96 = kMargin96, kInfoTop96 = kStatusTop96 + kLineHeight96 + 3;
constexpr int kBarTop96 = kInfoTop96 + kLineHeight96 + 5, kButtonTop96 = kBarTop96 + kBarHeight96 + 12;

void AddStyle(HWND wnd, LONG_PTR add, LONG_PTR remove) {
  LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
  SetWindowLongPtrW(wnd, GWL_STYLE, (style | add) & ~remove);
}

}  // namespace

TStatusWindow::TStatusWindow() {
  BorderStyle = TBorderStyle::bsToolWindow;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = kWidth96;
  ClientHeight96 = kButtonTop96 + kButtonHeight96 + kButtonGap96;
}

void TStatusWindow::FormCreate() {
  SetCaption(L"Status");
  AddStyle(Handle(), 0, WS_SYSMENU);  // no border icons
  const int width = kWidth96 - 2 * kMargin96;
  StatusLabel.Create(*this, L"", {kMargin96, kStatusTop96, width, kLineHeight96}, nullptr, true);
  ProgLabel.Create(*this, L"", {kMargin96, kInfoTop96, width, kLineHeight96}, nullptr, true);
  for (TLabel* l : {&StatusLabel, &ProgLabel}) {
    l->TranslateText = false;
    AddStyle(l->Handle(), SS_PATHELLIPSIS, 0);  // long paths shortened in the middle
  }
  ProgressBar.Create(*this, {kMargin96, kBarTop96, width, kBarHeight96});
  ProgressBar.SetBackColor(GetSysColor(COLOR_BTNHIGHLIGHT));
  ProgressBar.SetBarWidth(50);
  ProgressBar.SetBorder(0);
  ProgressBar.SetInterval(10);
  ProgressBar.SetPosition(0);
  ProgressBar.SetStyle(TNewProgressBarStyle::npsNormal);
  btnCancel.Create(*this, L"Cancel", {(kWidth96 - kButtonWidth96) / 2, kButtonTop96, kButtonWidth96, kButtonHeight96});
  btnCancel.Cancel = true;
  btnCancel.OnClick = [this] { btnCancelClick(); };
}

void TStatusWindow::ShowStatus(TPoint pos, std::wstring_view title, std::wstring_view status, bool allowBreak,
                               int interval) {
  const bool wasVisible = Visible();
  Stopped = false;
  const RECT button = btnCancel.BoundsRect();
  const int width = ClientSize().cx;
  if (allowBreak) {
    SetClientSize(width, button.bottom + Scale(kButtonGap96));
    btnCancel.SetVisible(true);
  } else {
    SetClientSize(width, button.top);
    btnCancel.SetVisible(false);
  }
  if (!wasVisible || !title.empty()) SetCaption(title);
  ProgLabel.SetText(L"");
  StatusLabel.SetText(status);
  if (!wasVisible) {
    if (interval > 0) {
      ProgressBar.SetStyle(TNewProgressBarStyle::npsContinuous);
      ProgressBar.SetInterval(interval);
      ProgressBar.Reset();
      ProgressBar.SetVisible(true);
    } else if (interval < 0) {
      ProgressBar.SetStyle(TNewProgressBarStyle::npsNormal);
      ProgressBar.Reset();
      ProgressBar.SetVisible(true);
    } else {
      ProgressBar.SetVisible(false);
    }
    PlaceForm(*this, pos);
    CenterCancel();
  }
  if (wasVisible) {
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  } else {
    Show();
  }
}

void TStatusWindow::FormShow() { FitFormToWorkArea(*this); }

void TStatusWindow::SetProgress(int value) {
  ProgressBar.SetPosition(std::clamp(value, ProgressBar.Min(), ProgressBar.Max()));
}

void TStatusWindow::OnSize(int width, int height) {
  if (ProgressBar.Handle()) {
    const RECT r = ProgressBar.BoundsRect();
    ProgressBar.SetBounds(r.left, r.top, std::max<int>(width - 2 * r.left, 0), r.bottom - r.top);
  }
  CenterCancel();
}

void TStatusWindow::CenterCancel() {
  if (!btnCancel.Handle()) return;
  RECT r = btnCancel.BoundsRect();
  btnCancel.SetBounds((ClientSize().cx - (r.right - r.left)) / 2, r.top, r.right - r.left, r.bottom - r.top);
}

TStatusWindow& StatusWindow() { return Application().KeepForm<TStatusWindow>(); }

}  // namespace hv
