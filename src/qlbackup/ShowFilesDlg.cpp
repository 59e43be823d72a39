#include "qlbackup/ShowFilesDlg.h"

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "winui/Translate.h"

namespace hv::qlbackup {
namespace {

// Design at 96 dpi.
constexpr int kTopHeight96 = 26, kBottomHeight96 = 40, kButtonWidth96 = 87, kButtonHeight96 = 28;
constexpr int kUpWidth96 = 34, kMargin96 = 6;
// Widths of the size, type and date columns in characters.
constexpr int kColumnChars[] = {12, 15, 17};

bool IsFolder(const std::wstring& dir) {
  const DWORD attr = GetFileAttributesW(dir.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TShowFilesDialog::TShowFilesDialog() {
  BorderStyle = TBorderStyle::bsSizeable;
  Position = TPosition::poScreenCenter;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = 475;
  ClientHeight96 = 280;
}

void TShowFilesDialog::FormCreate() {
  SetCaption(L"Dialog");
  paTop.Create(*this, {0, 0, ClientWidth96, kTopHeight96});
  laDir.Create(*this, L"", {kMargin96, 5, ClientWidth96 - 2 * kMargin96, 17}, paTop.Handle(), true);
  laDir.TranslateText = false;
  SetWindowLongPtrW(laDir.Handle(), GWL_STYLE, GetWindowLongPtrW(laDir.Handle(), GWL_STYLE) | SS_PATHELLIPSIS);
  lvFiles.ShowFolders = true;
  lvFiles.Create(*this, {0, kTopHeight96, ClientWidth96, ClientHeight96 - kTopHeight96 - kBottomHeight96});
  lvFiles.OnDblClick = [this] { lvFilesDblClick(); };
  paBottom.Create(*this, {0, ClientHeight96 - kBottomHeight96, ClientWidth96, kBottomHeight96});
  btnDirUp.Create(*this, L"\u2191", {kMargin96, 6, kUpWidth96, kButtonHeight96}, paBottom.Handle());
  btnDirUp.TranslateText = false;
  btnDirUp.Hint = L"One directory up";
  btnDirUp.OnClick = [this] { btnDirUpClick(); };
  btnClose.Create(*this, L"Close", {ClientWidth96 - kMargin96 - kButtonWidth96, 6, kButtonWidth96, kButtonHeight96},
                  paBottom.Handle());
  btnClose.ModalResult = mrOk;
  btnClose.SetDefault(true);
  btnClose.Cancel = true;
}

void TShowFilesDialog::Relayout(UINT dpi) {
  TForm::Relayout(dpi);
  Arrange();
}

void TShowFilesDialog::OnSize(int, int) { Arrange(); }

void TShowFilesDialog::Arrange() {
  if (!btnClose.Handle()) return;
  const SIZE cs = ClientSize();
  const int top = Scale(kTopHeight96), bottom = Scale(kBottomHeight96), m = Scale(kMargin96);
  paTop.SetBounds(0, 0, cs.cx, top);
  laDir.SetBounds(m, Scale(5), std::max<int>(cs.cx - 2 * m, 1), Scale(17));
  const int listHeight = std::max<int>(cs.cy - top - bottom, 1);
  lvFiles.SetBounds(0, top, cs.cx, listHeight);
  paBottom.SetBounds(0, cs.cy - bottom, cs.cx, bottom);
  btnClose.SetBounds(cs.cx - m - Scale(kButtonWidth96), Scale(6), Scale(kButtonWidth96), Scale(kButtonHeight96));
  // Fixed character widths for size, type and date; the name takes the rest.
  // A character is as wide as a digit: the columns hold numbers and dates.
  const int cw = std::max<int>(GetTextSize(L"0", Font()).cx, 1);
  int rest = cs.cx - GetSystemMetrics(SM_CXVSCROLL) - Scale(4);
  for (size_t i = 0; i < std::size(kColumnChars); ++i) {
    const int px = kColumnChars[i] * cw;
    lvFiles.SetColumnWidth96(static_cast<int>(i) + 1, MulDiv(px, 96, static_cast<int>(Dpi())));
    rest -= px;
  }
  lvFiles.SetColumnWidth96(0, MulDiv(std::max(rest, Scale(48)), 96, static_cast<int>(Dpi())));
}

void TShowFilesDialog::ShowDir(const std::wstring& dir) {
  FCurrent = AddPathDelimiter(dir);
  lvFiles.FillPath(FCurrent);
  laDir.SetText(FCurrent);
  lvFiles.Hint = DGetText(L"dialogs", L"Directory:") + L" " + FCurrent;
  btnDirUp.SetEnabled(!IsSameDir(FCurrent, RootName));
}

void TShowFilesDialog::Show(std::wstring_view title, std::wstring_view dir) {
  SetCaption(title.empty() ? DGetText(L"dialogs", L"Show files") : std::wstring(title));
  const std::wstring folder(dir);
  if (folder.empty() || !IsFolder(folder)) {
    ErrorDialog(SafeFormat(DGetText(L"dialogs", L"Directory not found:\r\n%s!"), folder));
    return;
  }
  RootName = AddPathDelimiter(folder);
  ShowDir(RootName);
  ShowModal();
}

void TShowFilesDialog::lvFilesDblClick() {
  const int i = lvFiles.ItemIndex();
  if (!lvFiles.ItemIsFolder(i)) return;
  const std::wstring path = lvFiles.ItemPath(i);
  if (!path.empty() && IsFolder(path)) ShowDir(path);
}

void TShowFilesDialog::btnDirUpClick() {
  // Never above the folder the view was given.
  if (IsSameDir(FCurrent, RootName) || !IsSubDir(RootName, FCurrent)) return;
  ShowDir(GetParentDir(FCurrent));
}

void ShowFiles(std::wstring_view title, std::wstring_view dir) {
  TShowFilesDialog dialog;
  dialog.Create(Application().OwnerWindow());
  dialog.Show(title, dir);
}

}  // namespace hv::qlbackup
