#pragma once
// A list of texts to pick from or to edit: add, change, remove, reorder, reset to a default list.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/settings/ListUtils.h"
#include "base/text/StringUtils.h"
#include "winui/ComCtrls.h"
#include "winui/Controls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv::qlbackup {

// Option bits of Execute.
enum : uint8_t {
  slPrompt = 1,      // "Prompt" shown (result 6)
  slEdit = 2,        // edit group; the caller's list receives the edited items
  slMove = 4,        // move group
  slMulti = 8,       // several items selectable; the result text joins them with "|"
  slRemoveAll = 16,  // "Remove all" shown
  slNoConfirm = 32   // no questions before removing or resetting
};
constexpr int mrPrompt = 6;

// Validates an added or changed text.
using TCheckEntry = std::function<bool(const std::wstring& text)>;

class TSelectFromListDialog : public TForm {
 public:
  // multiSelect: the list box allows several items (needed for slMulti).
  explicit TSelectFromListDialog(bool multiSelect = false);
  // The modal result: mrOk, mrCancel or mrPrompt.
  int Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring_view hint, uint8_t options,
              int cols, TTextChange convert, std::wstring_view defaults, TStringList& list, std::wstring& text,
              bool showCancel, TCheckEntry checkEntry = nullptr);

  TLabel lbDesc, lbHint;
  TListBox lbxStringList;
  TGroupBox gbEdit, gbMove;
  TButton btnInsert, btnDelete, btnEdit, btnDefault, btnDelAll, UpBtn, DownBtn, OKBtn, btnPrompt, CancelBtn;

  void btnInsertClick();
  void btnEditClick();
  void btnDeleteClick();
  void btnDefaultClick();
  void btnDelAllClick();
  void MoveItem(int delta);

 protected:
  void FormCreate() override;

 private:
  bool Confirm(const TControl& at, const std::wstring& text);
  void Layout(uint8_t options, bool hasDefault);
  bool FEdit = false, FNoConfirm = false, FMultiSelect = false;
  std::wstring DefDelimitedText;
  TCheckEntry FCheckEntry;
};

// The main window's list editor: the dialog runs with "Cancel" and no check; true unless cancelled.
bool SelectFromList(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring_view hint,
                    uint8_t options, int cols, TTextChange convert, std::wstring_view defaults, TStringList& list,
                    std::wstring& text);

}  // namespace hv::qlbackup
