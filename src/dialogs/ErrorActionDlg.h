#pragma once
// The errors on which an end action after a backup is skipped, as a bit mask.
#include <string_view>

#include "winui/ComCtrls.h"
#include "winui/Forms.h"

namespace hv {

// Mask bits of the error kinds.
enum : int { eaTaskNotFound = 1, eaDestination = 2, eaSourceMissing = 4, eaInvalidTask = 8, eaOtherErrors = 16 };
inline constexpr int kErrorActionMask = 31;

class TErrorActionDialog : public TForm {
 public:
  TErrorActionDialog();
  // true on OK; mask then holds the ticked bits (higher bits dropped), else it is unchanged.
  bool Execute(TPoint pos, std::wstring_view action, int& mask);

  TGroupBox gbSettings;
  TCheckBox cbErr1, cbErr2, cbErr4, cbErr8, cbErr16;
  TButton OKBtn, CancelBtn;

 protected:
  void FormCreate() override;
  void FormShow() override;
};

bool SelectErrorActions(TPoint pos, std::wstring_view action, int& mask);

}  // namespace hv
