#pragma once
// Starting a file manager or another program under another account: the dialog that asks for the
// account and the program, and the start itself.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "winui/Controls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv::hvstarter {

enum class TAppMode { amFileMgr, amApp };

// Starts a command line under an account (user, domain, password, command line, current folder)
// and returns the process handle; raises EProcessError.
using TProcessStarter = std::function<HANDLE(std::wstring_view user, std::wstring_view domain,
                                             std::wstring_view password, std::wstring_view commandLine,
                                             std::wstring_view currentDir)>;

// The program part of a command line: up to the first blank outside double quotes, unquoted.
std::wstring ProgramOfCommand(std::wstring_view command);

class TAppDialog : public TForm {
 public:
  TAppDialog();
  // Writes its settings when LoadFromIni named a file (errors are dropped: the program ends).
  ~TAppDialog() override;
  // Remembers file and section for the whole run and loads the settings.
  void LoadFromIni(std::wstring_view iniName, std::wstring_view section);
  void SaveToIni();
  // True when a program is to be started: account, password and program (a command line) are set.
  bool Execute(std::wstring& account, std::wstring& password, std::wstring& program);
  bool CloseQuery() override;

  TAppMode Mode = TAppMode::amFileMgr;
  std::wstring ProgPath;  // where the program picker starts without a text
  TLabel laAccount, laFileMgr, laApp;
  TEdit edAccount, edFileMgr;
  TComboBox cbApp;
  TButton bbSelFileMgr, bbStartFileMgr, bbSelApp, bbStartApp, CloseBtn;

 protected:
  void FormCreate() override;

 private:
  void bbSelFileMgrClick();
  void bbSelAppClick();
  std::wstring FIniName, FSection;
};

// The password for an account: the new-password dialog without confirmation, minimum length 8.
bool EnterPwd(std::wstring_view title, std::wstring& password);

// Starts command under account without waiting and closes the process handle; a failure is shown
// at errorPos as "Error starting application: %s". True when the program was started.
bool StartAppAsUser(const TProcessStarter& start, TPoint errorPos, std::wstring_view account,
                    std::wstring_view password, std::wstring_view command);

}  // namespace hv::hvstarter
