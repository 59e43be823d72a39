#pragma once
// The result of a mail delivery: the message with an icon, and the SMTP session log to view or
// delete.
#include <cstdint>
#include <string>
#include <string_view>

#include "dialogs/SelectDlg.h"
#include "winui/ComCtrls.h"
#include "winui/Forms.h"

namespace hv {

class TMailTestDialog : public TForm {
 public:
  TMailTestDialog();
  // Shows the result modally; true.
  bool Execute(std::wstring_view caption, std::wstring_view logFile, TMsgDlgType dlgType);
  void Relayout(UINT dpi) override;

  TImage imgIcon;
  TLabel stInfo;
  TGroupBox gbLog;
  TButton btbShowLog, btbDelLog, btbOK;
  std::wstring lfn;

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  void btbShowLogClick();
  void btbDelLogClick();
  void UpdateLogButtons();
  TMsgDlgType FType = TMsgDlgType::mtInformation;
};

// Created on first use and kept until the program ends; true.
bool ShowMailStatus(std::wstring_view caption, std::wstring_view logFile, TMsgDlgType dlgType);
// The dialog ShowMailStatus keeps (null before its first use).
TMailTestDialog* MailStatusDialog();

}  // namespace hv
