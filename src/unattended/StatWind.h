#pragma once
// The status window: a non-modal window with a title, two text lines, a progress bar and an
// optional Cancel button, shown while a mail is being sent.
#include <string>
#include <string_view>

#include "winui/Forms.h"

namespace hv {

// The status window's progress bar: a running bar (marquee) or a position from 0 to 100.
class TStatusProgress : public TControl {
 public:
  void Create(TForm& form, const TRect96& r96);
  void SetRunning(UINT interval);  // 0: stops the run
  bool Running() const { return FRunning; }
  int Min() const { return 0; }
  int Max() const { return 100; }
  void SetPosition(int value);
  int Position() const;

 private:
  bool FRunning = false;
};

class TStatusWindow : public TForm {
 public:
  TStatusWindow();

  // Shows the window or, when visible, updates it. A title changes the caption of a visible
  // window; interval > 0 runs the bar, < 0 shows it at 0, 0 hides it (only when not visible yet).
  void ShowStatus(TPoint pos, std::wstring_view title, std::wstring_view status, bool allowBreak, int interval);
  void SetStatus(std::wstring_view text) { StatusLabel.SetText(text); }
  void SetInfo(std::wstring_view text) { ProgLabel.SetText(text); }
  void SetProgress(int value) { ProgressBar.SetPosition(value); }

  TLabel StatusLabel, ProgLabel;
  TStatusProgress ProgressBar;
  TButton btnCancel;
  bool Stopped = false;

 protected:
  void FormCreate() override;
  void FormShow() override;
  void OnSize(int width, int height) override;

 private:
  void btnCancelClick() { Stopped = true; }
  void CenterCancel();
};

}  // namespace hv
