#pragma once
// The status window: a non-modal window with a title, two text lines, a progress bar and an
// optional Cancel button, shown while a mail is being sent.
#include <string>
#include <string_view>

#include "dialogs/Prgrss.h"
#include "winui/Forms.h"

namespace hv {

class TStatusWindow : public TForm {
 public:
  TStatusWindow();

  // Shows the window or, when visible, updates it. A title changes the caption of a visible
  // window; interval > 0 runs the bar, < 0 shows it at 0, 0 hides it (only when not visible yet).
  void ShowStatus(TPoint pos, std::wstring_view title, std::wstring_view status, bool allowBreak, int interval);
  void SetStatus(std::wstring_view text) { StatusLabel.SetText(text); }
  void SetInfo(std::wstring_view text) { ProgLabel.SetText(text); }
  // Clamped to the bar's range.
  void SetProgress(int value);

  TLabel StatusLabel, ProgLabel;
  TNewProgressBar ProgressBar;
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

// The program's status window, made on first use (owner: the application) and kept until the
// program ends.
TStatusWindow& StatusWindow();

}  // namespace hv
