#pragma once
// Main form of QlBackup.
#include <string>

#include "winui/Forms.h"

namespace hv::qlbackup {

class TMainForm : public TForm {
 public:
  TMainForm();
  // The unattended run ("/force"); true when it was carried out and the program is to end.
  bool CheckForce();

  std::wstring ProgVersDate;
  bool Force = false;
  bool UseDarkMode = false;

 protected:
  void FormCreate() override;
};

}  // namespace hv::qlbackup
