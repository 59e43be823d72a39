#pragma once
// The result of a mail delivery: the message with an icon, and the SMTP session log to view or
// delete.
#include <cstdint>
#include <string>
#include <string_view>

#include "winui/ComCtrls.h"
#include "winui/Forms.h"

namespace hv {

// Message kinds of the class library, in the order of the icon list.
enum class TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

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

// The session log in a modal window, scrolled to its last line.
void ShowLogFile(std::wstring_view title, std::wstring_view fileName);

}  // namespace hv
