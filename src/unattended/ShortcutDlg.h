#pragma once
// The starter's own command line for desktop shortcuts and scheduled tasks: the groups to run,
// "/force" and the options of the unattended run; the dialog that edits it.
#include <string>
#include <string_view>
#include <vector>

#include "winui/ComCtrls.h"
#include "winui/Controls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

// Index of the action radio group.
enum TStarterAction : int { saNone, saPrompt, saStandby, saHibernate, saLogoff, saShutdown, saRestart };

struct TStarterOptions {
  std::vector<std::wstring> Groups;  // named on the command line, in its order
  int Action = saNone;
  bool Term = false, WriteLog = false, LockScreen = false;
  int ActErr = 0;  // error-action mask of "erractions", 0: none
  std::wstring IniPath;
};

// Reads a starter command line; other options ("force" among them) are ignored.
TStarterOptions ParseStarterOptions(std::wstring_view options);
// "/force" and the options of opt (its groups are not written).
std::wstring BuildStarterOptions(const TStarterOptions& opt);
// The groups (each quoted when it holds a blank) and a blank each, then BuildStarterOptions.
std::wstring BuildStarterCommandLine(const std::vector<std::wstring>& groups, const TStarterOptions& opt);

class TShortcutDialog : public TForm {
 public:
  TShortcutDialog();
  // groups: comma text of the group names; okCaption empty: "OK". True on OK: name and options
  // (the selected groups and the built options) are the new ones.
  bool Execute(std::wstring_view caption, std::wstring_view nameLabel, bool showLockScreen,
               std::wstring_view groups, std::wstring& name, std::wstring& options, std::wstring_view okCaption = {});

  TLabel laSettings, laConfigs, laName, laIniTitle, lbIniPath;
  TListBox lbConfigs;
  TRadioGroup rgAction;
  TCheckBox cbTerm, cbWritelog, cbLockScreen;
  TEdit edName;
  TButton OKBtn, CancelBtn;
  // With OK: the checks of the input (error box and focus on the first failing one).
  bool CloseQuery() override;

 protected:
  void FormCreate() override;

 private:
  void rgActionClick();
  TStarterOptions FromControls() const;
  int FActErr = 0;
  std::wstring FIniPath;
};

// The dialog of the running program, made on first use and kept until the program ends.
TShortcutDialog& ShortcutDialog();
bool ShowShortcutDialog(std::wstring_view caption, std::wstring_view nameLabel, bool showLockScreen,
                        std::wstring_view groups, std::wstring& name, std::wstring& options,
                        std::wstring_view okCaption = {});

}  // namespace hv
