#pragma once
// Asks for one line of text in a combo box that offers earlier entries, optionally with a button
// that adds a character from the character table.
#include <string>
#include <string_view>

#include "base/settings/ListUtils.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

class TInputTextDialog : public TForm {
 public:
  TInputTextDialog();
  ~TInputTextDialog() override;
  bool Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, bool showTable,
               std::wstring_view fontName, std::wstring& text);
  // The field's items from an INI history, written back when the dialog is freed.
  void LoadFromIni(std::wstring_view iniName, std::wstring_view section);
  // Items of the field (before Execute; afterwards they hold the confirmed text at the top).
  void SetHistory(const TStringList& items, bool sorted);
  TStringList History() const { return TextFeld.Items(); }
  void Relayout(UINT dpi) override;

  TLabel Descriptor;
  TComboBox TextFeld;
  TButton OKBtn, CancelBtn, CharTabBtn;

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  void FollowItemCount();
  void CharTabBtnClick();
  std::wstring FIniName, FIniSection;
  TFontHandle FFieldFont;
  int FDefWidth = 0;
};

// history (may be null): the entries offered; on OK it receives them with the text at the top.
// showTable: with the "Character table" button.
bool InputTextHist(TPoint pos, std::wstring_view title, std::wstring_view desc, bool showTable,
                   std::wstring_view fontName, TStringList* history, bool sorted, std::wstring& text);
bool InputText(TPoint pos, std::wstring_view title, std::wstring_view desc, bool showTable, std::wstring& text);

}  // namespace hv
