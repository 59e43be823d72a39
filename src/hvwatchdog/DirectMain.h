#pragma once
// Main form of HvWatchdog.
#include <string>

#include "winui/Forms.h"

namespace hv {

class TfrmHvWatchdog : public TForm {
 public:
  TfrmHvWatchdog();
  // Shows the main window unless started with "/force"; always false (the program keeps running).
  bool CheckForce();

  std::wstring ProgVersName, ProgVersDate;
  bool Force = false;
  bool UseDarkMode = false;

 protected:
  void FormCreate() override;
};

}  // namespace hv
