#pragma once
// The suite's message box: placed by the suite's position rule, scaled to the monitor, translated,
// optionally closing itself after a delay; the text may carry a title: "title|message".
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "winui/Forms.h"

namespace hv {

enum class TMsgDialogType : uint8_t {
  mdtInformation, mdtWarning, mdtError, mdtConfirm, mdtConfirmError, mdtConfirmRetry, mdtConfirmCancel,
  mdtConfirmYesNo, mdtCustom
};

// Where the box puts its parts, in client pixels.
struct TMsgBoxLayout {
  SIZE Client{};
  RECT Icon{}, Text{}, Left{}, Center{}, Close{};
  int WrapWidth = 0;  // the message's lines are wrapped at this width; 0: shown as written
};
// measure(width): the size of the message in the box's font with its lines wrapped at width
// (0: as written). Lines wider than half the work area are wrapped, so the box stays readable and
// fits the work area; the box is as wide as the message or the button row needs.
TMsgBoxLayout MessageBoxLayout(TMsgDialogType type, UINT dpi, int workAreaWidth,
                               const std::function<SIZE(int width)>& measure);

class TShowMsgDialog : public TForm {
 public:
  TShowMsgDialog();
  // Shows the box modally; an empty text shows nothing and gives mrNone.
  int Execute(TPoint pos, std::wstring_view text, int delay, TMsgDialogType type, TMsgDlgBtn defaultButton,
              TDefaultMonitor monitor);

  TImage imgIcon;
  TLabel stInfo;
  TButton btLeft, btCenter, btClose;
  TTimer Timer;
  bool RunTimer = false;
  TMsgDialogType DlgType() const { return FDlgType; }
  const std::wstring& Message() const { return FCaption; }
  void Relayout(UINT dpi) override;

 protected:
  void FormCreate() override;
  void FormShow() override;
  bool FormKeyDown(WORD key, bool shift, bool ctrl, bool alt) override;

 private:
  TMsgDialogType FDlgType = TMsgDialogType::mdtInformation;
  std::wstring FCaption;
};

// (-1,-1): centred on the main form; (-1,0): centred on the screen.
constexpr TPoint kDefaultDialogPos{-1, -1};

int MessageDialogEx(TPoint pos, std::wstring_view text, int delay, TMsgDialogType type, TMsgDlgBtn defaultButton,
                    TDefaultMonitor monitor);
int MessageDialog(std::wstring_view text, TMsgDialogType type);
int ErrorDialog(std::wstring_view text, int delay = 0);
int ErrorDialogAt(TPoint pos, std::wstring_view text, TDefaultMonitor monitor);
int InfoDialog(std::wstring_view text, int delay = 0);
int InfoDialogAt(TPoint pos, std::wstring_view text, TDefaultMonitor monitor);
// True when the answer is "yes".
bool ConfirmDialog(std::wstring_view text);
bool ConfirmDialogAt(TPoint pos, std::wstring_view text, TMsgDlgBtn defaultButton, TDefaultMonitor monitor);
// True when the answer is "retry".
bool ConfirmRetryDialog(std::wstring_view text);

}  // namespace hv
