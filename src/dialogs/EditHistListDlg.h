#pragma once
// Tidies a list of texts such as the address history of a combo box: remove entries, move them
// up or down and, when the caller allows it, edit one. The caller's list changes only on OK.
// The dialog frees nothing of the caller's: each entry carries the caller's data, and the
// entries removed on OK are handed back, so that their owner can release them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "winui/ComCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

struct THistEntry {
  std::wstring Text;
  intptr_t Data = 0;  // the caller's, never used by the dialog
  bool operator==(const THistEntry&) const = default;
};
using THistEntries = std::vector<THistEntry>;

// Moves the selected positions one up (down), keeping a block at the top (bottom) in place; the
// new positions of the moved entries, in the order of the selection.
std::vector<int> MoveEntriesUp(THistEntries& list, std::vector<int> selected);
std::vector<int> MoveEntriesDown(THistEntries& list, std::vector<int> selected);

class TEditHistListDialog : public TForm {
 public:
  TEditHistListDialog();
  bool Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, THistEntries& list, bool allowDelete,
               bool allowEdit, int& index, THistEntries* removed);
  void Relayout(UINT dpi) override;

  TLabel lbDesc;
  TListBox lbxStringList;
  TButton btnDelete, btnEdit, UpBtn, DownBtn, OKBtn, CancelBtn;
  TGroupBox gbxMove;

  void btnDeleteClick();
  void btnEditClick();
  void UpBtnClick();
  void DownBtnClick();

 protected:
  void FormCreate() override;
  void FormShow() override;
  void OnSize(int width, int height) override { Relayout(Dpi()); }

 private:
  struct TItem {
    THistEntry Entry;
    int Id;
  };
  void Fill(int current, const std::vector<int>& selected);
  std::vector<int> SelectedPositions() const;
  std::vector<TItem> FItems;
  THistEntries FRemoved;
};

// index: in, the entry to select (-1: none); out, with editing the current entry, else the new
// position of the entry selected at the start (-1 when it was removed).
bool EditHistoryListEx(TPoint pos, std::wstring_view title, std::wstring_view desc, THistEntries& list,
                       bool allowDelete, bool allowEdit, int& index, THistEntries* removed = nullptr);
bool EditHistoryList(TPoint pos, std::wstring_view title, std::wstring_view desc, THistEntries& list,
                     THistEntries* removed = nullptr);

}  // namespace hv
