#pragma once
// The picker for one of several Thunderbird profiles.
#include <string>

#include "qlbackup/QlProfiles.h"
#include "winui/Forms.h"

namespace hv {

// A plain list box of texts.
class TProfileListBox : public TControl {
 public:
  void Create(TForm& form, const TRect96& r96);
  void Add(const std::wstring& text);
  int ItemIndex() const;
  void SetItemIndex(int index);
  int Count() const;
  std::wstring Item(int index) const;
  std::function<void()> OnDblClick;
  void HandleCommand(WORD code) override;
};

class TSelectProfileDialog : public TForm {
 public:
  TSelectProfileDialog();
  // pos with a negative coordinate: centred on the screen.
  bool Execute(TPoint pos, const TProfileList& list, std::wstring& profile);

  TLabel laSelect;
  TProfileListBox lbProfiles;
  TButton bbOk, bbCancel;

 protected:
  void FormCreate() override;
};

bool SelectProfileDialog(TPoint pos, const TProfileList& list, std::wstring& profile);

}  // namespace hv
