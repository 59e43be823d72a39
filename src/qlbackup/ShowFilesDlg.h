#pragma once
// A modal view of a folder's files and sub-folders; sub-folders open with a double click, and
// "One directory up" goes back, never above the folder the view was given.
#include <string>
#include <string_view>

#include "dialogs/ShellDirDlg.h"
#include "winui/Controls.h"
#include "winui/Forms.h"

namespace hv::qlbackup {

class TShowFilesDialog : public TForm {
 public:
  TShowFilesDialog();
  // A missing folder shows only an error box.
  void Show(std::wstring_view title, std::wstring_view dir);
  void Relayout(UINT dpi) override;

  TPanel paTop, paBottom;
  TLabel laDir;
  TShellListView lvFiles;
  TButton btnClose, btnDirUp;
  std::wstring RootName;  // with trailing delimiter
  const std::wstring& CurrentDir() const { return FCurrent; }

  // Opens the item when it is a folder.
  void lvFilesDblClick();
  void btnDirUpClick();

 protected:
  void FormCreate() override;
  void OnSize(int width, int height) override;

 private:
  void ShowDir(const std::wstring& dir);
  void Arrange();
  std::wstring FCurrent;  // with trailing delimiter
};

void ShowFiles(std::wstring_view title, std::wstring_view dir);

}  // namespace hv::qlbackup
