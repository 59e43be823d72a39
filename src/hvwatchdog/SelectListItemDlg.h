#pragma once
// Choice of one entry of a list, such as the source directory of a job to be monitored.
#include <string>
#include <string_view>
#include <vector>

#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

class TSelectListItemDialog : public TForm {
 public:
  TSelectListItemDialog();
  // The chosen entry's index, -1 when cancelled or none is selected.
  int Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, const std::vector<std::wstring>& list);

  TLabel lbDesc;
  TListBox lbxStringList;
  TButton OKBtn, CancelBtn;

 protected:
  void FormCreate() override;
};

// Creates the dialog, runs it and frees it.
int SelectListItem(TPoint pos, std::wstring_view title, std::wstring_view desc, const std::vector<std::wstring>& list);

}  // namespace hv
