#include "dialogs/EditHistListDlg.h"

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "base/settings/ListUtils.h"
#include "base/text/ExtSysUtils.h"
#include "dialogs/DlgUtils.h"
#include "dialogs/InpText.h"
#include "winui/Dpi.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 360, kClientHeight96 = 260, kMargin96 = 8, kLabelHeight96 = 16;
constexpr int kSideWidth96 = 96, kButtonHeight96 = 27, kGap96 = 6, kMoveHeight96 = 88;

std::wstring Dlg(const wchar_t* msgid) { return DGetText(L"dialogs", msgid); }

}  // namespace

std::vector<int> MoveEntriesUp(THistEntries& list, std::vector<int> selected) {
  std::sort(selected.begin(), selected.end());
  std::vector<int> moved;
  int boundary = 0;
  for (int p : selected) {
    if (p < 0 || p >= static_cast<int>(list.size())) continue;
    if (p > boundary) {
      std::swap(list[static_cast<size_t>(p)], list[static_cast<size_t>(p - 1)]);
      --p;
    }
    if (p == boundary) ++boundary;
    moved.push_back(p);
  }
  return moved;
}

std::vector<int> MoveEntriesDown(THistEntries& list, std::vector<int> selected) {
  std::sort(selected.begin(), selected.end(), std::greater<>());
  std::vector<int> moved;
  int boundary = static_cast<int>(list.size()) - 1;
  for (int p : selected) {
    if (p < 0 || p >= static_cast<int>(list.size())) continue;
    if (p < boundary) {
      std::swap(list[static_cast<size_t>(p)], list[static_cast<size_t>(p + 1)]);
      ++p;
    }
    if (p == boundary) --boundary;
    moved.push_back(p);
  }
  return moved;
}

TEditHistListDialog::TEditHistListDialog() {
  BorderStyle = TBorderStyle::bsSizeable;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

void TEditHistListDialog::FormCreate() {
  SetCaption(L"Edit list entries");
  lbDesc.Create(*this, L"", {kMargin96, kMargin96, 200, kLabelHeight96}, nullptr, true);
  lbDesc.TranslateText = false;
  lbxStringList.MultiSelect = true;
  lbxStringList.ExtendedSelect = true;
  lbxStringList.Create(*this, {kMargin96, 28, 200, 200});
  btnDelete.Create(*this, L"Remove", {0, 0, kSideWidth96, kButtonHeight96});
  btnDelete.Hint = L"Remove item";
  btnDelete.OnClick = [this] { btnDeleteClick(); };
  btnEdit.Create(*this, L"Edit", {0, 0, kSideWidth96, kButtonHeight96});
  btnEdit.Hint = L"Edit item";
  btnEdit.OnClick = [this] { btnEditClick(); };
  gbxMove.Create(*this, L"Move entry", {0, 0, kSideWidth96, kMoveHeight96});
  UpBtn.Create(*this, L"\u25B2", {12, TGroupBox::kContentTop96 + 2, kSideWidth96 - 24, 27}, gbxMove.Handle());
  UpBtn.TranslateText = false;
  UpBtn.Hint = L"Move item up";
  UpBtn.OnClick = [this] { UpBtnClick(); };
  DownBtn.Create(*this, L"\u25BC", {12, TGroupBox::kContentTop96 + 33, kSideWidth96 - 24, 27}, gbxMove.Handle());
  DownBtn.TranslateText = false;
  DownBtn.Hint = L"Move item down";
  DownBtn.OnClick = [this] { DownBtnClick(); };
  CreateOkCancel(*this, OKBtn, CancelBtn, {0, 0, kSideWidth96, kButtonHeight96});
}

void TEditHistListDialog::Relayout(UINT dpi) {
  if (!CancelBtn.Handle()) return;
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  SIZE c = ClientSize();
  const int m = s(kMargin96), side = s(kSideWidth96), bh = s(kButtonHeight96), gap = s(kGap96);
  const int listTop = m + s(kLabelHeight96) + s(4), sideLeft = c.cx - m - side;
  lbDesc.SetBounds(m, m, c.cx - 2 * m, s(kLabelHeight96));
  lbxStringList.SetBounds(m, listTop, std::max<int>(sideLeft - gap - m, s(40)), std::max<int>(c.cy - listTop - m, s(40)));
  int y = listTop;
  for (TButton* b : {&btnDelete, &btnEdit}) {
    if (!b->Visible()) continue;
    b->SetBounds(sideLeft, y, side, bh);
    y += bh + gap;
  }
  gbxMove.SetBounds(sideLeft, y, side, s(kMoveHeight96));
  UpBtn.SetBounds(s(12), s(TGroupBox::kContentTop96 + 2), side - s(24), bh);
  DownBtn.SetBounds(s(12), s(TGroupBox::kContentTop96 + 33), side - s(24), bh);
  CancelBtn.SetBounds(sideLeft, c.cy - m - bh, side, bh);
  OKBtn.SetBounds(sideLeft, c.cy - m - 2 * bh - gap, side, bh);
}

void TEditHistListDialog::FormShow() { FitFormToWorkArea(*this); }

void TEditHistListDialog::Fill(int current, const std::vector<int>& selected) {
  lbxStringList.Clear();
  for (const TItem& item : FItems) lbxStringList.Add(item.Entry.Text, item.Id);
  for (int p : selected) lbxStringList.SetSelected(p, true);
  if (current >= 0 && current < lbxStringList.Count())
    SendMessageW(lbxStringList.Handle(), LB_SETCARETINDEX, static_cast<WPARAM>(current), FALSE);
}

std::vector<int> TEditHistListDialog::SelectedPositions() const {
  std::vector<int> positions;
  for (int i = 0; i < lbxStringList.Count(); ++i)
    if (lbxStringList.Selected(i)) positions.push_back(i);
  return positions;
}

void TEditHistListDialog::btnDeleteClick() {
  std::vector<int> selected = SelectedPositions();
  if (selected.empty()) return;
  int current = lbxStringList.ItemIndex();
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    FRemoved.push_back(FItems[static_cast<size_t>(*it)].Entry);
    FItems.erase(FItems.begin() + *it);
  }
  current = std::min(current, static_cast<int>(FItems.size()) - 1);
  Fill(current, current >= 0 ? std::vector<int>{current} : std::vector<int>{});
}

void TEditHistListDialog::btnEditClick() {
  int current = lbxStringList.ItemIndex();
  // The caret of a list without selection is no current entry: nothing to edit then.
  if (current < 0 || current >= static_cast<int>(FItems.size()) || !lbxStringList.Selected(current)) return;
  std::wstring text = FItems[static_cast<size_t>(current)].Entry.Text;
  if (!InputTextHist(BottomRightPos(btnEdit), Dlg(L"Edit item"), lbDesc.Text(), false, L"", nullptr, false, text)) return;
  for (size_t i = 0; i < FItems.size(); ++i)
    if (static_cast<int>(i) != current && lstrcmpiW(FItems[i].Entry.Text.c_str(), text.c_str()) == 0) {
      ErrorDialogAt(TopLeftPos(btnEdit), SafeFormat(Dlg(L"Item \"%s\" already exists!"), text),
                    TDefaultMonitor::dmActiveForm);
      return;
    }
  FItems[static_cast<size_t>(current)].Entry.Text = text;
  Fill(current, {current});
}

void TEditHistListDialog::UpBtnClick() {
  std::vector<int> selected = SelectedPositions();
  if (selected.empty()) return;
  // The moves run on the positions; the items with their ids follow.
  std::vector<TItem> before = FItems;
  THistEntries order;
  for (size_t i = 0; i < FItems.size(); ++i) order.push_back({L"", static_cast<intptr_t>(i)});
  std::vector<int> moved = MoveEntriesUp(order, selected);
  for (size_t i = 0; i < order.size(); ++i) FItems[i] = before[static_cast<size_t>(order[i].Data)];
  Fill(moved.empty() ? -1 : moved.front(), moved);
}

void TEditHistListDialog::DownBtnClick() {
  std::vector<int> selected = SelectedPositions();
  if (selected.empty()) return;
  std::vector<TItem> before = FItems;
  THistEntries order;
  for (size_t i = 0; i < FItems.size(); ++i) order.push_back({L"", static_cast<intptr_t>(i)});
  std::vector<int> moved = MoveEntriesDown(order, selected);
  for (size_t i = 0; i < order.size(); ++i) FItems[i] = before[static_cast<size_t>(order[i].Data)];
  Fill(moved.empty() ? -1 : moved.back(), moved);
}

bool TEditHistListDialog::Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, THistEntries& list,
                                  bool allowDelete, bool allowEdit, int& index, THistEntries* removed) {
  if (pos.X < 0 || pos.Y < 0) {
    PlaceForm(*this, {-1, 0});
  } else {
    int left = pos.X, top = pos.Y;
    AdjustToWorkArea(left, top, Width(), Height());
    SetPos(left, top);
  }
  if (!title.empty()) SetCaption(title);
  lbDesc.SetText(desc);
  FRemoved.clear();
  FItems.clear();
  for (size_t i = 0; i < list.size(); ++i) FItems.push_back({list[i], static_cast<int>(i)});
  btnDelete.SetVisible(allowDelete);
  btnEdit.SetVisible(allowEdit);
  int remembered = -1;
  if (index >= 0 && index < static_cast<int>(list.size())) remembered = index;
  Fill(remembered, remembered >= 0 ? std::vector<int>{remembered} : std::vector<int>{});
  Relayout(Dpi());
  ActiveControl = &lbxStringList;
  if (ShowModal() != mrOk) return false;
  list.clear();
  for (const TItem& item : FItems) list.push_back(item.Entry);
  if (removed) *removed = FRemoved;
  if (allowEdit) {
    int current = lbxStringList.ItemIndex();
    index = current >= 0 && lbxStringList.Selected(current) ? current : -1;
  } else if (remembered >= 0) {
    index = -1;
    for (size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i].Id == remembered) index = static_cast<int>(i);
  }
  return true;
}

bool EditHistoryListEx(TPoint pos, std::wstring_view title, std::wstring_view desc, THistEntries& list,
                       bool allowDelete, bool allowEdit, int& index, THistEntries* removed) {
  TEditHistListDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, title, desc, list, allowDelete, allowEdit, index, removed);
}

bool EditHistoryList(TPoint pos, std::wstring_view title, std::wstring_view desc, THistEntries& list,
                     THistEntries* removed) {
  int index = -1;
  return EditHistoryListEx(pos, title, desc, list, true, false, index, removed);
}

}  // namespace hv
