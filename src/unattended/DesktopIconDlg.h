#pragma once
// The desktop shortcut of an unattended backup: name, description and the main program's options
// (status window, splash screen, action after the backup, errors that suppress it); options the
// dialog does not know are passed on.
#include <string>
#include <string_view>

#include "winui/ComCtrls.h"
#include "winui/Controls.h"
#include "winui/Forms.h"

namespace hv {

// Order of the status radio group and of the action buttons.
enum TShortcutStatus : int { ssQuiet, ssDelay, ssWait, ssError, ssSilent };
enum TShortcutAction : int { kaNone, kaStandby, kaHibernate, kaLogoff, kaRestart, kaShutdown, kaLockDown, kaHybrid };

struct TShortcutOptions {
  int Status = ssDelay;
  bool NoSplash = true, ActionChangeable = true;
  int Action = kaNone;
  bool PowerOff = false;  // "/end:poweroff" given; kept while no other action is chosen
  int ActErr = 0;
  std::wstring Other;     // options not understood, each " /" + option (quoted when it holds a blank)
};

// Items without "/" or "-" (a profile name) are dropped.
void ParseShortcutOptions(std::wstring_view options, TShortcutOptions& opt);
void ParseShortcutOption(std::wstring_view item, TShortcutOptions& opt);
std::wstring BuildShortcutOptions(const TShortcutOptions& opt);

class TDesktopIconDialog : public TForm {
 public:
  TDesktopIconDialog();
  bool Execute(std::wstring_view caption, std::wstring_view tasks, std::wstring& shortcut, std::wstring& description,
               std::wstring& options);

  TLabel laShortcut, laDescription, laTasks;
  TEdit edShortcut, edDescription, edTasks;
  TRadioGroup rgStatus;
  TCheckBox cbSplash, cbAction;
  TGroupBox gbAction;
  TRadioButton rbNone, rbStandby, rbHibernate, rbLogoff, rbRestart, rbShutdown, rbLockDown, rbHybridDown;
  TButton bbErrorAction, OKBtn, CancelBtn;
  TRadioButton& ActionButton(int action);

 protected:
  void FormCreate() override;
  bool FormHelp() override;

 private:
  void ShowOptions();
  void rbActionClick(int action);
  void bbErrorActionClick();
  TShortcutOptions FOpt;
  std::wstring FAct;
};

bool ShowDesktopIconDialogSimple(std::wstring_view caption, std::wstring_view tasks, std::wstring& shortcut,
                                 std::wstring& description, std::wstring& options);

}  // namespace hv
