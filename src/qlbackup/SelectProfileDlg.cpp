#include "qlbackup/SelectProfileDlg.h"

#include "base/os/WinUtils.h"
#include "dialogs/DlgUtils.h"

namespace hv {

void TProfileListBox::Create(TForm& form, const TRect96& r96) {
  CreateWnd(form, nullptr, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
            WS_EX_CLIENTEDGE, r96);
  TranslateText = false;
}

void TProfileListBox::Add(const std::wstring& text) {
  SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
int TProfileListBox::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0)); }
void TProfileListBox::SetItemIndex(int index) { SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
int TProfileListBox::Count() const { return static_cast<int>(SendMessageW(Handle(), LB_GETCOUNT, 0, 0)); }
std::wstring TProfileListBox::Item(int index) const {
  const LRESULT n = SendMessageW(Handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n < 0) return {};
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(Handle(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(n));
  return s;
}
void TProfileListBox::HandleCommand(WORD code) {
  if (code == LBN_DBLCLK && OnDblClick) OnDblClick();
}

TSelectProfileDialog::TSelectProfileDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = 300;
  ClientHeight96 = 230;
}

void TSelectProfileDialog::FormCreate() {
  SetCaption(L"Multiple profiles found");
  laSelect.Create(*this, L"Select Thunderbird profile:", {10, 10, 280, 18});
  lbProfiles.Create(*this, {10, 32, 280, 150});
  CreateOkCancel(*this, bbOk, bbCancel, {110, 192, 85, 28}, {205, 192, 85, 28});
  lbProfiles.OnDblClick = [this] { ModalResult = mrOk; };
}

bool TSelectProfileDialog::Execute(TPoint pos, const TProfileList& list, std::wstring& profile) {
  for (size_t i = 0; i < list.Count(); ++i) lbProfiles.Add(list.Profile(i).ProfileName);
  if (profile.empty()) {
    TProfileList copy = list;
    profile = copy.DefaultProfile();
  }
  int selected = 0;
  for (size_t i = 0; i < list.Count(); ++i)
    if (list.Profile(i).ProfileName == list.DisplayName(profile)) selected = static_cast<int>(i);
  lbProfiles.SetItemIndex(selected);
  if (pos.X >= 0 && pos.Y >= 0) {
    Position = TPosition::poDesigned;
    int left = pos.X, top = pos.Y;
    AdjustToWorkArea(left, top, Width(), Height());
    SetPos(left, top);
  }
  if (ShowModal() != mrOk) return false;
  const int i = lbProfiles.ItemIndex();
  profile = list.Name(i < 0 ? 0 : static_cast<size_t>(i));
  return true;
}

bool SelectProfileDialog(TPoint pos, const TProfileList& list, std::wstring& profile) {
  TSelectProfileDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, list, profile);
}

}  // namespace hv
