#include "qlbackup/SelectFromListDlg.h"

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "base/text/ExtSysUtils.h"
#include "dialogs/InputString.h"
#include "winui/Translate.h"

namespace hv::qlbackup {
namespace {

// Design at 96 dpi.
constexpr int kDist96 = 5, kPanelLeft96 = 250, kPanelWidth96 = 96, kButtonWidth96 = 80, kButtonHeight96 = 26;

}  // namespace

TSelectFromListDialog::TSelectFromListDialog(bool multiSelect) : FMultiSelect(multiSelect) {
  BorderStyle = TBorderStyle::bsDialog;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = 356;
  ClientHeight96 = 426;
}

void TSelectFromListDialog::FormCreate() {
  SetCaption(L"Select item from list");
  lbDesc.Create(*this, L"", {10, 8, 230, 17});
  lbDesc.TranslateText = false;
  lbxStringList.MultiSelect = FMultiSelect;
  lbxStringList.ExtendedSelect = FMultiSelect;
  lbxStringList.Create(*this, {10, 26, 230, 390});
  lbxStringList.TranslateText = false;
  lbxStringList.OnDblClick = [this] {
    if (FEdit) btnEditClick();
    else ModalResult = mrOk;
  };
  gbEdit.Create(*this, L"Edit items", {kPanelLeft96, 8, kPanelWidth96, 180});
  const int x = (kPanelWidth96 - kButtonWidth96) / 2;
  btnInsert.Create(*this, L"Add", {x, 22, kButtonWidth96, kButtonHeight96}, gbEdit.Handle());
  btnDelete.Create(*this, L"Remove", {x, 52, kButtonWidth96, kButtonHeight96}, gbEdit.Handle());
  btnEdit.Create(*this, L"Change", {x, 82, kButtonWidth96, kButtonHeight96}, gbEdit.Handle());
  btnDefault.Create(*this, L"Default", {x, 112, kButtonWidth96, kButtonHeight96}, gbEdit.Handle());
  btnDelAll.Create(*this, L"Remove all", {x, 142, kButtonWidth96, kButtonHeight96}, gbEdit.Handle());
  btnInsert.OnClick = [this] { btnInsertClick(); };
  btnDelete.OnClick = [this] { btnDeleteClick(); };
  btnEdit.OnClick = [this] { btnEditClick(); };
  btnDefault.OnClick = [this] { btnDefaultClick(); };
  btnDelAll.OnClick = [this] { btnDelAllClick(); };
  gbMove.Create(*this, L"Move item", {kPanelLeft96, 194, kPanelWidth96, 56});
  UpBtn.Create(*this, L"\u25B2", {x, 22, kButtonWidth96 / 2 - 2, kButtonHeight96}, gbMove.Handle());
  UpBtn.Hint = L"Move item up";
  UpBtn.TranslateText = false;
  DownBtn.Create(*this, L"\u25BC", {x + kButtonWidth96 / 2 + 2, 22, kButtonWidth96 / 2 - 2, kButtonHeight96},
                 gbMove.Handle());
  DownBtn.Hint = L"Move item down";
  DownBtn.TranslateText = false;
  UpBtn.OnClick = [this] { MoveItem(-1); };
  DownBtn.OnClick = [this] { MoveItem(1); };
  lbHint.Create(*this, L"", {kPanelLeft96, 256, kPanelWidth96, 60});
  lbHint.TranslateText = false;
  const int bx = kPanelLeft96 + x;
  OKBtn.Create(*this, L"OK", {bx, 330, kButtonWidth96, kButtonHeight96});
  OKBtn.ModalResult = mrOk;
  OKBtn.SetDefault(true);
  btnPrompt.Create(*this, L"Prompt", {bx, 360, kButtonWidth96, kButtonHeight96});
  btnPrompt.ModalResult = mrPrompt;
  CancelBtn.Create(*this, L"Cancel", {bx, 390, kButtonWidth96, kButtonHeight96});
  CancelBtn.ModalResult = mrCancel;
  CancelBtn.Cancel = true;
}

void TSelectFromListDialog::Layout(uint8_t options, bool hasDefault) {
  const int dist = Scale(kDist96), bh = Scale(kButtonHeight96), bw = Scale(kButtonWidth96);
  const int x = Scale((kPanelWidth96 - kButtonWidth96) / 2), left = Scale(kPanelLeft96), width = Scale(kPanelWidth96);
  btnDefault.SetVisible(hasDefault);
  btnDelAll.SetVisible(options & slRemoveAll);
  int y = Scale(TGroupBox::kContentTop96) + dist;
  for (TButton* b : {&btnInsert, &btnDelete, &btnEdit, &btnDefault, &btnDelAll}) {
    if (!b->Visible()) continue;
    b->SetBounds(x, y, bw, bh);
    y += bh + dist;
  }
  int top = Scale(8);
  gbEdit.SetVisible(FEdit);
  if (FEdit) {
    gbEdit.SetBounds(left, top, width, y + dist);
    top += y + 2 * dist;
  }
  gbMove.SetVisible(options & slMove);
  if (options & slMove) {
    gbMove.SetBounds(left, top, width, Scale(TGroupBox::kContentTop96) + bh + 2 * dist);
    top += Scale(TGroupBox::kContentTop96) + bh + 3 * dist;
  }
  lbHint.SetVisible(!lbHint.Text().empty());
  if (lbHint.Visible()) {
    lbHint.SetBounds(left, top, width, Scale(60));
    top += Scale(60) + dist;
  }
  std::vector<TButton*> bottom{&OKBtn};
  if (btnPrompt.Visible()) bottom.push_back(&btnPrompt);
  if (CancelBtn.Visible()) bottom.push_back(&CancelBtn);
  top = std::max(top, Scale(200));
  for (TButton* b : bottom) {
    b->SetBounds(left + x, top, bw, bh);
    top += bh + dist;
  }
  const int height = top + Scale(8);
  SetClientSize(ClientSize().cx, height);
  lbxStringList.SetBounds(Scale(10), Scale(26), Scale(230), height - Scale(26) - Scale(10));
}

int TSelectFromListDialog::Execute(TPoint pos, std::wstring_view title, std::wstring_view desc,
                                   std::wstring_view hint, uint8_t options, int cols, TTextChange convert,
                                   std::wstring_view defaults, TStringList& list, std::wstring& text, bool showCancel,
                                   TCheckEntry checkEntry) {
  SetCaption(title);
  CancelBtn.SetVisible(showCancel);
  FCheckEntry = std::move(checkEntry);
  lbDesc.SetText(desc);
  lbHint.SetText(hint);
  FEdit = options & slEdit;
  FNoConfirm = options & slNoConfirm;
  btnPrompt.SetVisible(options & slPrompt);
  DefDelimitedText = defaults;
  lbxStringList.Hint = desc;
  lbxStringList.SetItems(list);
  for (int i = 0; i < lbxStringList.Count(); ++i)
    if (lbxStringList.Item(i) == text) {
      lbxStringList.SetItemIndex(i);
      if (FMultiSelect) lbxStringList.SetSelected(i, true);
      break;
    }
  Layout(options, !defaults.empty());
  PlaceForm(*this, pos);
  const int result = ShowModal();
  if (result == mrCancel) return result;
  TStringList items = lbxStringList.Items();
  for (auto& item : items) item = ChangeCase(item, convert);
  if (FEdit) list = items;
  text.clear();
  if (FMultiSelect && (options & slMulti)) {
    for (int i = 0; i < lbxStringList.Count(); ++i)
      if (lbxStringList.Selected(i)) text += (text.empty() ? L"" : L"|") + items[static_cast<size_t>(i)];
  } else if (const int i = lbxStringList.ItemIndex(); i >= 0) {
    text = items[static_cast<size_t>(i)];
  }
  return result;
}

bool TSelectFromListDialog::Confirm(const TControl& at, const std::wstring& text) {
  return FNoConfirm || ConfirmDialogAt(TopLeftPos(at), text, TMsgDlgBtn::mbYes, TDefaultMonitor::dmActiveForm);
}

void TSelectFromListDialog::btnInsertClick() {
  std::wstring s;
  if (!EditStringSimple(BottomRightPos(btnInsert, {-100 - Scale(kButtonWidth96), 10}), _(L"Add item"),
                        lbDesc.Text(), s) ||
      s.empty())
    return;
  if (FCheckEntry && !FCheckEntry(s)) {
    ErrorDialog(SafeFormat(_(L"Invalid entry: \"%s\""), s));
    return;
  }
  const int i = lbxStringList.Add(s);
  if (FMultiSelect)
    for (int k = 0; k < lbxStringList.Count(); ++k) lbxStringList.SetSelected(k, k == i);
  lbxStringList.SetItemIndex(i);
}

void TSelectFromListDialog::btnEditClick() {
  const int i = lbxStringList.ItemIndex();
  if (i < 0 || (FMultiSelect && !lbxStringList.Selected(i))) return;
  std::wstring s = lbxStringList.Item(i);
  if (!EditStringSimple(BottomRightPos(btnEdit, {-100 - Scale(kButtonWidth96), 10}), _(L"Edit item"), lbDesc.Text(),
                        s) ||
      s.empty())
    return;
  if (FCheckEntry && !FCheckEntry(s)) {
    ErrorDialog(SafeFormat(_(L"Invalid entry: \"%s\""), s));
    return;
  }
  lbxStringList.Delete(i);
  lbxStringList.Insert(i, s);
  lbxStringList.SetItemIndex(i);
  if (FMultiSelect) lbxStringList.SetSelected(i, true);
}

void TSelectFromListDialog::btnDeleteClick() {
  if (FMultiSelect) {
    if (lbxStringList.SelCount() == 0 || !Confirm(btnDelete, _(L"Remove all selected items?"))) return;
    for (int i = lbxStringList.Count() - 1; i >= 0; --i)
      if (lbxStringList.Selected(i)) lbxStringList.Delete(i);
    return;
  }
  const int i = lbxStringList.ItemIndex();
  if (i < 0 || !Confirm(btnDelete, SafeFormat(_(L"Remove item: \"%s\"?"), lbxStringList.Item(i)))) return;
  lbxStringList.Delete(i);
  // The item now at that place is selected; after the last one nothing is.
  if (i < lbxStringList.Count()) lbxStringList.SetItemIndex(i);
}

void TSelectFromListDialog::btnDefaultClick() {
  if (!Confirm(btnDefault, _(L"Reset to default values") + std::wstring(L"?"))) return;
  lbxStringList.SetItems(CommaTextToList(DefDelimitedText));
}

void TSelectFromListDialog::btnDelAllClick() {
  if (!Confirm(btnDelAll, _(L"Clear whole list") + std::wstring(L"?"))) return;
  lbxStringList.Clear();
}

void TSelectFromListDialog::MoveItem(int delta) {
  const int i = lbxStringList.ItemIndex(), j = i + delta;
  if (i < 0 || j < 0 || j >= lbxStringList.Count()) return;
  if (FMultiSelect && !lbxStringList.Selected(i)) return;
  const std::wstring s = lbxStringList.Item(i);
  lbxStringList.Delete(i);
  lbxStringList.Insert(j, s);
  if (FMultiSelect)
    for (int k = 0; k < lbxStringList.Count(); ++k) lbxStringList.SetSelected(k, k == j);
  lbxStringList.SetItemIndex(j);
}

bool SelectFromList(TPoint pos, std::wstring_view title, std::wstring_view desc, std::wstring_view hint,
                    uint8_t options, int cols, TTextChange convert, std::wstring_view defaults, TStringList& list,
                    std::wstring& text) {
  TSelectFromListDialog dialog(options & slMulti);
  dialog.Create(Application().OwnerWindow());
  return dialog.Execute(pos, title, desc, hint, options, cols, convert, defaults, list, text, true) != mrCancel;
}

}  // namespace hv::qlbackup
