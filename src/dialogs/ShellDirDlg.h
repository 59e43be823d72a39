#pragma once
// The directory selection dialog on the shell's namespace: a folder tree (roots Desktop,
// Documents, Computer, Network or a path) with an optional file list, a history of chosen
// folders, free space, and commands to create and delete folders. Made once on first use and kept
// until the program ends; history and layout also live in an INI section.
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/HListBox.h"
#include "winui/ComCtrls.h"
#include "winui/ExtCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"
#include "winui/Menus.h"

namespace hv {

struct TPidlFree {
  void operator()(ITEMIDLIST* p) const noexcept { CoTaskMemFree(p); }
};
using TPidl = std::unique_ptr<ITEMIDLIST, TPidlFree>;

// Root names of the shell views.
inline constexpr std::wstring_view rfDesktop = L"rfDesktop", rfPersonal = L"rfPersonal",
                                   rfMyComputer = L"rfMyComputer", rfNetwork = L"rfNetwork";

// An absolute item list of a root name or a folder path; null when unknown.
TPidl ShellRootPidl(std::wstring_view root);
// The file-system path of an item, empty for virtual items.
std::wstring ShellItemPath(LPCITEMIDLIST pidl);

// Folders of the shell namespace in a tree, filled as nodes open, with the system's icons.
class TShellTreeView : public TTreeView {
 public:
  TShellTreeView();
  ~TShellTreeView() override;
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  bool ShowHidden = false;
  bool ZipAsFolders = true;

  // A root name or a folder path; false when the shell does not know it (the root stays).
  bool SetRoot(std::wstring_view root);
  const std::wstring& RootName() const { return FRoot; }
  // Selects the folder, opening the nodes on its way; false when it is not below the root.
  bool GoTo(std::wstring_view path);
  std::wstring Path() const;
  LPCITEMIDLIST SelectedPidl() const;
  bool SelectedIsFileSystem() const;
  // Reads the children of the node again.
  void RefreshNode(HTREEITEM item);
  void ScrollSelectedIntoView();

 private:
  struct TNode {
    TPidl Pidl;
    bool Filled = false;
  };
  TNode* Node(HTREEITEM item) const;
  HTREEITEM AddNode(HTREEITEM parent, TPidl pidl, bool hasChildren);
  void Fill(HTREEITEM item);
  void ClearNodes();
  std::wstring FRoot;
  std::vector<std::unique_ptr<TNode>> FNodes;
};

// The files of one shell folder, sorted by name, with size, type and date; with ShowFolders the
// sub-folders come first.
class TShellListView : public TListView {
 public:
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  bool ShowHidden = false;
  bool ZipAsFiles = false;
  bool ShowFolders = false;
  void Fill(LPCITEMIDLIST folder);
  // Fills the list with a folder path; false (list emptied) when the shell does not know it.
  bool FillPath(std::wstring_view path);
  void Clear() {
    TListView::Clear();
    FFolders.clear();
    FPaths.clear();
  }
  bool ItemIsFolder(int index) const;
  // The file-system path of an item (empty for virtual items).
  std::wstring ItemPath(int index) const;

 private:
  std::vector<bool> FFolders;
  std::vector<std::wstring> FPaths;
};

class TShellDirDialog : public TForm {
 public:
  TShellDirDialog();

  TRadioButton spbDesktop, spbMyFiles, spbComputer, spbNetwork;
  TShellTreeView ShellTreeView;
  TLabel laDir;
  TComboBox cbxSelectedDir;
  TButton spbHome, spbUp, spbNew;
  TCheckBox cbxFiles;
  TButton btbOK, btbCancel;
  TLabel laVolHint;
  TSplitter Splitter;
  TShellListView ShellListView;
  TPopupMenu PopupMenu;

  bool Execute(std::wstring_view aTitle, bool hidden, bool fileView, bool zipAsFiles, std::wstring_view homeDir,
               std::wstring& dir);
  void LoadFromIni(std::wstring_view iniName, std::wstring_view section);
  void SaveToIni();
  void ResetPosition();

  void AddDirToHistory(std::wstring_view dir);
  void RemoveDirFromHistory(std::wstring_view dir);
  const std::vector<std::wstring>& History() const { return DirList.Strings(); }
  static std::wstring FreeSpaceText(std::wstring_view path);
  void ShowFileView(bool on);
  void GoToDirectory(std::wstring_view dir);
  bool FileViewShown() const { return FFileView; }
  void Relayout(UINT dpi) override {
    TForm::Relayout(dpi);
    Arrange();
  }
  int PanelLeftWidth() const { return FLeftWidth; }
  int PanelRightWidth() const { return FRightWidth; }

  void spbDesktopClick();
  void spbMyFilesClick();
  void spbComputerClick();
  void spbNetworkClick();
  void spbUpClick();
  void spbHomeClick();
  void spbNewClick();
  void itmDeleteClick();
  void itmUpdateClick();

  bool FormKeyDown(WORD key, bool shift, bool ctrl, bool alt) override;

 protected:
  void FormCreate() override;
  void FormShow() override;
  void FormClose() override;
  void OnSize(int width, int height) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Arrange();
  void ShellTreeViewChange();
  void cbxSelectedDirChange();
  void SetRootButton(TRadioButton& b);
  void SetTreeRoot(std::wstring_view root);
  void UpdateOk();
  void FillFiles();

  std::wstring FDefaultDir, FIniName, FIniSection;
  THistoryList DirList;
  bool FFileView = false;
  bool FSettingText = false;
  int FLeftWidth = 0, FRightWidth = 0;  // pixels
};

// Counts of a folder-tree deletion.
struct TDeleteCounts {
  int Dirs = 0, Files = 0, Errors = 0;
};
// Deletes the files and folders below base\sub (and base itself with deleteBase). Junctions and
// symbolic links are removed as links, never followed.
void DeleteDirTree(std::wstring_view base, std::wstring_view sub, bool deleteBase, TDeleteCounts& counts);

// The INI file and section of the dialog's first creation.
void SetDirDialogIni(std::wstring_view iniName, std::wstring_view section);
bool SelectDirDialog(std::wstring_view aTitle, bool hidden, bool fileView, bool zipAsFiles, std::wstring_view homeDir,
                     std::wstring& dir);
bool SelectDirZip(std::wstring_view aTitle, bool hidden, bool fileView, std::wstring_view homeDir, std::wstring& dir);
// The dialog the application keeps (null before the first call).
TShellDirDialog* DirDialog();

}  // namespace hv
