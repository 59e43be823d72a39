#pragma once
// The watchdog's hint window, shown without waiting and kept until the program ends, and the
// notice of a backup destination that has not been available.
#include <string>
#include <string_view>

#include "hvwatchdog/MonTask.h"
#include "winui/Forms.h"

namespace hv {

// Icons of the hint window; htNone shows none.
enum THintType : int { htInformation = 0, htWarning = 1, htError = 2, htQuestion = 3, htNone = 4 };

class TfrmShowHint : public TForm {
 public:
  TfrmShowHint();
  // An empty hint shows nothing (an earlier one stays as it is). delay > 0 closes the window
  // after that many seconds.
  void Execute(TPoint pos, int hintType, std::wstring_view title, std::wstring_view hint, int delay);
  const std::wstring& HintText() const { return FHint; }
  void Relayout(UINT dpi) override;

  TImage imgIcon;
  TLabel stInfo;
  TButton btClose;
  TTimer Timer;

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  std::wstring FHint;
  int FHintType = htInformation;
  TFontHandle FBold;
};

// Makes the hint window (kept by the application) on first use, then runs Execute.
void ShowHintWindow(TPoint pos, int hintType, std::wstring_view title, std::wstring_view hint, int delay);
// The hint window once made, else null.
TfrmShowHint* HintWindow();

// The notice for the enabled directory whose destination failed in most runs in a row; empty
// while that count does not exceed limit.
std::wstring DestinationNoticeText(const TMonTaskList& tasks, int limit);

}  // namespace hv
