#include "hvwatchdog/SelectListItemDlg.h"

#include "base/os/WinUtils.h"
#include "dialogs/DlgUtils.h"

namespace hv {

TSelectListItemDialog::TSelectListItemDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  ClientWidth96 = 496;
  ClientHeight96 = 278;
}

void TSelectListItemDialog::FormCreate() {
  SetCaption(L"Select item from list");
  lbDesc.Create(*this, L"", {10, 8, 476, 34}, nullptr, true);
  lbDesc.TranslateText = false;
  lbxStringList.Create(*this, {10, 44, 476, 186});
  CreateOkCancel(*this, OKBtn, CancelBtn, {306, 240, 86, 28}, {400, 240, 86, 28});
  ActiveControl = &lbxStringList;
}

int TSelectListItemDialog::Execute(TPoint pos, std::wstring_view title, std::wstring_view desc,
                                   const std::vector<std::wstring>& list) {
  SetCaption(title);
  lbDesc.SetText(desc);
  lbxStringList.SetItems(list);
  lbxStringList.SetItemIndex(list.empty() ? -1 : 0);
  PlaceForm(*this, pos);
  if (ShowModal() != mrOk) return -1;
  return lbxStringList.ItemIndex();
}

int SelectListItem(TPoint pos, std::wstring_view title, std::wstring_view desc, const std::vector<std::wstring>& list) {
  TSelectListItemDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, title, desc, list);
}

}  // namespace hv
