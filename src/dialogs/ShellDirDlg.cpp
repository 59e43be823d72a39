#include "dialogs/ShellDirDlg.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <windowsx.h>
#include <wrl/client.h>

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/os/FileUtils.h"
#include "base/os/WinShell.h"
#include "base/os/WinUtils.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/NumberUtils.h"
#include "base/text/PathUtils.h"
#include "dialogs/DlgUtils.h"
#include "dialogs/InputString.h"
#include "dialogs/SelectDlg.h"
#include "winui/Translate.h"

namespace hv {
namespace {

constexpr wchar_t kDomain[] = L"dialogs";
// 96-dpi layout.
constexpr int kClientWidth96 = 801, kClientHeight96 = 406, kRightWidth96 = 390, kSplitWidth96 = 4;
constexpr int kRootWidth96 = 96, kBottomHeight96 = 100, kButtonHeight96 = 28, kToolButton96 = 28;
constexpr int kMaxHistory = 15;

std::wstring T(std::wstring_view msgid) { return DGetText(kDomain, msgid); }

template <class I>
using TCom = Microsoft::WRL::ComPtr<I>;

// The shell folder of an absolute item list (the desktop for the empty one).
TCom<IShellFolder> BindFolder(LPCITEMIDLIST pidl) {
  TCom<IShellFolder> desktop, folder;
  if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
  if (!pidl || ILIsEmpty(pidl)) return desktop;
  if (FAILED(desktop->BindToObject(pidl, nullptr, IID_IShellFolder, reinterpret_cast<void**>(folder.GetAddressOf()))))
    return nullptr;
  return folder;
}

struct TChild {
  TPidl Pidl;  // absolute
  std::wstring Name;
  SFGAOF Attributes = 0;
};

// The children of a folder, sorted as the shell sorts them.
std::vector<TChild> EnumChildren(HWND owner, LPCITEMIDLIST parent, SHCONTF flags) {
  std::vector<TChild> result;
  TCom<IShellFolder> folder = BindFolder(parent);
  if (!folder) return result;
  TCom<IEnumIDList> items;
  if (folder->EnumObjects(owner, flags, &items) != S_OK || !items) return result;
  std::vector<TPidl> relative;
  for (;;) {
    LPITEMIDLIST child = nullptr;
    ULONG got = 0;
    if (items->Next(1, &child, &got) != S_OK || got == 0) break;
    relative.emplace_back(child);
  }
  std::sort(relative.begin(), relative.end(), [&](const TPidl& a, const TPidl& b) {
    const HRESULT hr = folder->CompareIDs(0, a.get(), b.get());
    return SUCCEEDED(hr) && static_cast<short>(HRESULT_CODE(hr)) < 0;
  });
  for (TPidl& rel : relative) {
    TChild c;
    LPCITEMIDLIST list[] = {rel.get()};
    c.Attributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER | SFGAO_STREAM | SFGAO_FILESYSANCESTOR;
    if (FAILED(folder->GetAttributesOf(1, list, &c.Attributes))) c.Attributes = 0;
    STRRET str{};
    if (SUCCEEDED(folder->GetDisplayNameOf(rel.get(), SHGDN_INFOLDER, &str))) {
      wchar_t* name = nullptr;
      if (SUCCEEDED(StrRetToStrW(&str, rel.get(), &name))) {
        c.Name = name;
        CoTaskMemFree(name);
      }
    }
    c.Pidl.reset(ILCombine(parent, rel.get()));
    if (c.Pidl) result.push_back(std::move(c));
  }
  return result;
}

int IconIndex(LPCITEMIDLIST pidl, bool open) {
  SHFILEINFOW sfi{};
  const UINT flags = SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0);
  if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &sfi, sizeof sfi, flags)) return -1;
  return sfi.iIcon;
}

HIMAGELIST SystemImages() {
  SHFILEINFOW sfi{};
  return reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

bool IsPrefixPath(const std::wstring& dir, const std::wstring& path) {
  if (dir.empty()) return false;
  const std::wstring d = AddPathDelimiter(dir), p = AddPathDelimiter(path);
  return p.size() >= d.size() && CompareStringOrdinal(d.data(), static_cast<int>(d.size()), p.data(),
                                                      static_cast<int>(d.size()), TRUE) == CSTR_EQUAL;
}

std::wstring& IniName() {
  static std::wstring s;
  return s;
}
std::wstring& IniSection() {
  static std::wstring s;
  return s;
}

}  // namespace

TPidl ShellRootPidl(std::wstring_view root) {
  LPITEMIDLIST pidl = nullptr;
  int csidl = -1;
  if (root == rfDesktop) csidl = CSIDL_DESKTOP;
  else if (root == rfPersonal) csidl = CSIDL_PERSONAL;
  else if (root == rfMyComputer) csidl = CSIDL_DRIVES;
  else if (root == rfNetwork) csidl = CSIDL_NETWORK;
  if (csidl >= 0) {
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl))) return nullptr;
    return TPidl(pidl);
  }
  if (root.empty()) return nullptr;
  const std::wstring path(root);
  if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr))) return nullptr;
  return TPidl(pidl);
}

std::wstring ShellItemPath(LPCITEMIDLIST pidl) {
  wchar_t buf[MAX_PATH * 2]{};
  if (!pidl || !SHGetPathFromIDListW(pidl, buf)) return {};
  return buf;
}

// ---- tree ----

TShellTreeView::TShellTreeView() {
  ShowRoot = false;
  ShowLines = true;
}
TShellTreeView::~TShellTreeView() = default;

void TShellTreeView::Create(TForm& form, const TRect96& r96, HWND parent) {
  TTreeView::Create(form, r96, parent);
  SetImageList(SystemImages());
  OnExpanding = [this](HTREEITEM item) {
    Fill(item);
    return true;
  };
}

TShellTreeView::TNode* TShellTreeView::Node(HTREEITEM item) const {
  return item ? reinterpret_cast<TNode*>(ItemData(item)) : nullptr;
}

void TShellTreeView::ClearNodes() {
  Clear();
  FNodes.clear();
}

HTREEITEM TShellTreeView::AddNode(HTREEITEM parent, TPidl pidl, bool hasChildren) {
  auto node = std::make_unique<TNode>();
  node->Pidl = std::move(pidl);
  std::wstring name;
  SHFILEINFOW sfi{};
  if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(node->Pidl.get()), 0, &sfi, sizeof sfi, SHGFI_PIDL | SHGFI_DISPLAYNAME))
    name = sfi.szDisplayName;
  const int icon = IconIndex(node->Pidl.get(), false), open = IconIndex(node->Pidl.get(), true);
  HTREEITEM item = AddItem(parent, name, reinterpret_cast<intptr_t>(node.get()), hasChildren, icon, open);
  FNodes.push_back(std::move(node));
  return item;
}

void TShellTreeView::Fill(HTREEITEM item) {
  TNode* node = Node(item);
  if (!node || node->Filled) return;
  node->Filled = true;
  SHCONTF flags = SHCONTF_FOLDERS;
  if (ShowHidden) flags |= SHCONTF_INCLUDEHIDDEN | SHCONTF_INCLUDESUPERHIDDEN;
  for (TChild& c : EnumChildren(Form() ? Form()->Handle() : nullptr, node->Pidl.get(), flags)) {
    if (!(c.Attributes & SFGAO_FOLDER)) continue;
    if ((c.Attributes & SFGAO_STREAM) && !ZipAsFolders) continue;
    const bool sub = (c.Attributes & SFGAO_HASSUBFOLDER) != 0;
    HTREEITEM h = AddNode(item, std::move(c.Pidl), sub);
    SetItemText(h, c.Name.empty() ? ItemText(h) : c.Name);
  }
}

bool TShellTreeView::SetRoot(std::wstring_view root) {
  TPidl pidl = ShellRootPidl(root);
  if (!pidl) return false;
  ClearNodes();
  FRoot = root;
  HTREEITEM top = AddNode(nullptr, std::move(pidl), true);
  Fill(top);
  Expand(top);
  SetSelected(top);
  return true;
}

bool TShellTreeView::GoTo(std::wstring_view path) {
  HTREEITEM item = TTreeView::Root();
  if (!item || path.empty()) return false;
  const std::wstring target(path);
  TPidl want = ShellRootPidl(target);
  auto matches = [&](HTREEITEM h, bool& equal) {
    TNode* n = Node(h);
    const std::wstring p = ShellItemPath(n->Pidl.get());
    equal = (want && ILIsEqual(n->Pidl.get(), want.get())) || (!p.empty() && IsSameDir(p, target));
    return equal || (want && ILIsParent(n->Pidl.get(), want.get(), FALSE)) || IsPrefixPath(p, target);
  };
  bool equal = false;
  if (!matches(item, equal)) return false;
  while (!equal) {
    Fill(item);
    HTREEITEM next = nullptr;
    for (HTREEITEM c = FirstChild(item); c; c = NextSibling(c))
      if (matches(c, equal)) {
        next = c;
        break;
      }
    if (!next) break;
    Expand(item);
    item = next;
  }
  SetSelected(item);
  return equal;
}

std::wstring TShellTreeView::Path() const {
  const TNode* n = Node(Selected());
  return n ? ShellItemPath(n->Pidl.get()) : std::wstring();
}

LPCITEMIDLIST TShellTreeView::SelectedPidl() const {
  const TNode* n = Node(Selected());
  return n ? n->Pidl.get() : nullptr;
}

bool TShellTreeView::SelectedIsFileSystem() const { return !Path().empty(); }

void TShellTreeView::RefreshNode(HTREEITEM item) {
  TNode* n = Node(item);
  if (!n) return;
  const bool open = Expanded(item);
  DeleteChildren(item);
  n->Filled = false;
  Fill(item);
  if (open) Expand(item);
}

void TShellTreeView::ScrollSelectedIntoView() {
  if (HTREEITEM s = Selected()) TreeView_EnsureVisible(Handle(), s);
}

// ---- file list ----

void TShellListView::Create(TForm& form, const TRect96& r96, HWND parent) {
  ViewStyle = TViewStyle::vsReport;
  TListView::Create(form, r96, parent);
  SetWindowLongPtrW(Handle(), GWL_STYLE, GetWindowLongPtrW(Handle(), GWL_STYLE) | LVS_SHAREIMAGELISTS);
  SetImageList(SystemImages(), LVSIL_SMALL);
  AddColumn(T(L"Name"), 160);
  AddColumn(T(L"Size"), 80, LVCFMT_RIGHT);
  AddColumn(T(L"Type"), 100);
  AddColumn(T(L"Modified"), 110);
}

void TShellListView::Fill(LPCITEMIDLIST folder) {
  SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
  Clear();
  if (folder) {
    SHCONTF flags = SHCONTF_NONFOLDERS | (ZipAsFiles || ShowFolders ? SHCONTF_FOLDERS : 0);
    if (ShowHidden) flags |= SHCONTF_INCLUDEHIDDEN | SHCONTF_INCLUDESUPERHIDDEN;
    std::vector<TChild> children = EnumChildren(Form() ? Form()->Handle() : nullptr, folder, flags);
    std::stable_sort(children.begin(), children.end(), [](const TChild& a, const TChild& b) {
      return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.Name.c_str(), -1, b.Name.c_str(), -1) ==
             CSTR_LESS_THAN;
    });
    auto isFolder = [this](const TChild& c) {
      return (c.Attributes & SFGAO_FOLDER) && !((c.Attributes & SFGAO_STREAM) && ZipAsFiles);
    };
    if (ShowFolders)
      std::stable_partition(children.begin(), children.end(), isFolder);
    for (const TChild& c : children) {
      const bool folderItem = isFolder(c);
      if (folderItem && !ShowFolders) continue;
      const int i = AddItem(c.Name, 0, IconIndex(c.Pidl.get(), false));
      FFolders.push_back(folderItem);
      FPaths.push_back(ShellItemPath(c.Pidl.get()));
      SHFILEINFOW sfi{};
      if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(c.Pidl.get()), 0, &sfi, sizeof sfi, SHGFI_PIDL | SHGFI_TYPENAME))
        SetItemText(i, 2, sfi.szTypeName);
      const std::wstring& path = FPaths.back();
      WIN32_FILE_ATTRIBUTE_DATA fa{};
      if (!path.empty() && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &fa)) {
        const int64_t size = (static_cast<int64_t>(fa.nFileSizeHigh) << 32) | fa.nFileSizeLow;
        if (!folderItem) SetItemText(i, 1, SizeToStr(size));
        FILETIME local{};
        SYSTEMTIME st{};
        if (FileTimeToLocalFileTime(&fa.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &st)) {
          wchar_t date[64]{}, time[32]{};
          GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, static_cast<int>(std::size(date)));
          GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, time, static_cast<int>(std::size(time)));
          SetItemText(i, 3, std::wstring(date) + L" " + time);
        }
      }
    }
  }
  SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Handle(), nullptr, TRUE);
}

bool TShellListView::FillPath(std::wstring_view path) {
  TPidl pidl = ShellRootPidl(path);
  Fill(pidl.get());
  return pidl != nullptr;
}

bool TShellListView::ItemIsFolder(int index) const {
  return index >= 0 && static_cast<size_t>(index) < FFolders.size() && FFolders[static_cast<size_t>(index)];
}

std::wstring TShellListView::ItemPath(int index) const {
  return index >= 0 && static_cast<size_t>(index) < FPaths.size() ? FPaths[static_cast<size_t>(index)] : std::wstring();
}

// ---- folder-tree deletion ----

void DeleteDirTree(std::wstring_view base, std::wstring_view sub, bool deleteBase, TDeleteCounts& counts) {
  const std::wstring dir = sub.empty() ? std::wstring(base) : AddPathDelimiter(base) + std::wstring(sub);
  if (!DirectoryExists(dir)) return;
  std::vector<std::wstring> dirs, links, files;
  WIN32_FIND_DATAW fd{};
  {
    TFindHandle find(FindFirstFileW((AddPathDelimiter(dir) + L"*").c_str(), &fd));
    if (!find) {
      ++counts.Errors;
      return;
    }
    do {
      const std::wstring name = fd.cFileName;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (name == L"." || name == L"..") continue;
        // A junction or directory link is removed as a link; what it points to stays.
        (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? links : dirs).push_back(name);
      } else {
        files.push_back(name);
      }
    } while (FindNextFileW(find.Get(), &fd));
  }
  const std::wstring subPrefix = sub.empty() ? std::wstring() : AddPathDelimiter(sub);
  for (const std::wstring& d : dirs) DeleteDirTree(base, subPrefix + d, deleteBase, counts);
  bool allGone = true;
  for (const std::wstring& l : links) {
    const std::wstring p = AddPathDelimiter(dir) + l;
    SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (RemoveDirectoryW(p.c_str())) {
      ++counts.Dirs;
    } else {
      ++counts.Errors;
      allGone = false;
    }
  }
  for (const std::wstring& f : files) {
    const std::wstring p = AddPathDelimiter(dir) + f;
    SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    if (DeleteFileW(p.c_str())) {
      ++counts.Files;
    } else {
      ++counts.Errors;
      allGone = false;
    }
  }
  if (allGone && (deleteBase || !sub.empty())) {
    SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (RemoveDirectoryW(dir.c_str()))
      ++counts.Dirs;
    else if (IsDirEmpty(dir))
      ++counts.Errors;
  }
}

// ---- the dialog ----

TShellDirDialog::TShellDirDialog() {
  TextDomain = kDomain;
  KeyPreview = true;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
  DirList.SetMaxLen(kMaxHistory);
}

void TShellDirDialog::FormCreate() {
  SetCaption(L"Select directory");
  SetWindowLongPtrW(Handle(), GWL_STYLE, GetWindowLongPtrW(Handle(), GWL_STYLE) & ~(WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  FRightWidth = Scale(kRightWidth96);
  FLeftWidth = Scale(kClientWidth96 - kRightWidth96 - kSplitWidth96);
  TRadioButton* roots[] = {&spbDesktop, &spbMyFiles, &spbComputer, &spbNetwork};
  const wchar_t* captions[] = {L"Desktop", L"Documents", L"Computer", L"Network"};
  for (int i = 0; i < 4; ++i) {
    roots[i]->Create(*this, captions[i], {4, 4 + i * 34, 88, 30}, nullptr, i == 0);
    SetWindowLongPtrW(roots[i]->Handle(), GWL_STYLE, GetWindowLongPtrW(roots[i]->Handle(), GWL_STYLE) | BS_PUSHLIKE);
  }
  spbComputer.SetChecked(true);
  spbDesktop.OnClick = [this] { spbDesktopClick(); };
  spbMyFiles.OnClick = [this] { spbMyFilesClick(); };
  spbComputer.OnClick = [this] { spbComputerClick(); };
  spbNetwork.OnClick = [this] { spbNetworkClick(); };

  ShellTreeView.Create(*this, {kRootWidth96, 4, 300, 280});
  ShellTreeView.OnChange = [this](HTREEITEM) { ShellTreeViewChange(); };
  laDir.Create(*this, L"Directory:", {8, 0, 64, 18});
  cbxSelectedDir.Create(*this, TComboBoxStyle::csDropDown, {72, 0, 200, 24});
  cbxSelectedDir.Hint = L"Directory";
  cbxSelectedDir.TranslateText = false;
  cbxSelectedDir.SetDropDownCount(kMaxHistory);
  cbxSelectedDir.OnChange = [this] { cbxSelectedDirChange(); };
  cbxSelectedDir.OnCloseUp = [this] {
    const int i = cbxSelectedDir.ItemIndex();
    if (i >= 0) GoToDirectory(cbxSelectedDir.Item(i));
  };
  spbHome.Create(*this, L"\u2302", {0, 0, kToolButton96, 24});
  spbHome.TranslateText = false;
  spbHome.Hint = L"Go to default folder";
  spbHome.OnClick = [this] { spbHomeClick(); };
  spbUp.Create(*this, L"\u2191", {0, 0, kToolButton96, 24});
  spbUp.TranslateText = false;
  spbUp.Hint = L"One folder up";
  spbUp.OnClick = [this] { spbUpClick(); };
  spbNew.Create(*this, L"+", {0, 0, kToolButton96, 24});
  spbNew.TranslateText = false;
  spbNew.Hint = L"Create new folder";
  spbNew.OnClick = [this] { spbNewClick(); };
  cbxFiles.Create(*this, L"Show files", {8, 0, 120, 20});
  cbxFiles.OnClick = [this] { ShowFileView(cbxFiles.Checked()); };
  laVolHint.Create(*this, L"", {8, 0, 300, 18}, nullptr, true);
  laVolHint.TranslateText = false;
  CreateOkCancel(*this, btbOK, btbCancel, {0, 0, 84, kButtonHeight96});
  btbOK.OnClick = [this] { AddDirToHistory(cbxSelectedDir.Text()); };

  Splitter.MinSize96 = 1;
  Splitter.Create(*this, {kClientWidth96 - kRightWidth96 - kSplitWidth96, 0, kSplitWidth96, kClientHeight96});
  Splitter.OnMoved = [this](int pos) {
    const int total = FLeftWidth + Splitter.BoundsRect().right - Splitter.BoundsRect().left + FRightWidth;
    FLeftWidth = std::max(pos, Scale(200));
    FRightWidth = std::max(total - FLeftWidth - Scale(kSplitWidth96), Scale(1));
    Arrange();
  };
  ShellListView.Create(*this, {kClientWidth96 - kRightWidth96, 0, kRightWidth96, kClientHeight96});

  PopupMenu.Add(L"Create folder", [this] { spbNewClick(); });
  PopupMenu.Add(L"Delete folder", [this] { itmDeleteClick(); });
  PopupMenu.AddSeparator();
  PopupMenu.Add(L"Update", [this] { itmUpdateClick(); });
  PopupMenu.Add(L"Cancel");
  PopupMenu.OnPopup = [this] { itmUpdateClick(); };
  ShowFileView(false);
}

void TShellDirDialog::OnSize(int, int) { Arrange(); }

void TShellDirDialog::Arrange() {
  if (!btbCancel.Handle()) return;
  const SIZE cs = ClientSize();
  const int lw = FFileView ? FLeftWidth : cs.cx;
  const int h = cs.cy, bottom = Scale(kBottomHeight96), pad = Scale(4);
  const int treeLeft = Scale(kRootWidth96);
  ShellTreeView.SetBounds(treeLeft, pad, std::max(lw - treeLeft - pad, 10), std::max(h - bottom - pad, 10));
  const int row1 = h - bottom + Scale(8), row2 = row1 + Scale(32), row3 = h - Scale(kButtonHeight96) - Scale(8);
  const int tb = Scale(kToolButton96);
  laDir.SetBounds(Scale(8), row1 + Scale(3), Scale(64), Scale(18));
  const int comboRight = lw - 3 * tb - Scale(12);
  cbxSelectedDir.SetBounds(Scale(74), row1, std::max(comboRight - Scale(74), 20), Scale(300));
  spbHome.SetBounds(comboRight + Scale(4), row1, tb, Scale(24));
  spbUp.SetBounds(comboRight + Scale(4) + tb, row1, tb, Scale(24));
  spbNew.SetBounds(comboRight + Scale(4) + 2 * tb, row1, tb, Scale(24));
  cbxFiles.SetBounds(Scale(8), row2, Scale(120), Scale(20));
  laVolHint.SetBounds(Scale(132), row2 + Scale(2), std::max(lw - Scale(140), 10), Scale(18));
  btbCancel.SetBounds(lw - Scale(92), row3, Scale(84), Scale(kButtonHeight96));
  btbOK.SetBounds(lw - Scale(182), row3, Scale(84), Scale(kButtonHeight96));
  if (FFileView) {
    const int sw = Scale(kSplitWidth96);
    Splitter.SetBounds(lw, 0, sw, h);
    ShellListView.SetBounds(lw + sw, 0, std::max<int>(cs.cx - lw - sw, 1), h);
    // Columns in characters: the list width less 48, then 12, 15 and 17.
    const int cw = std::max<int>(static_cast<int>(FontMetrics(Font()).tmAveCharWidth), 1);
    const int chars = static_cast<int>(cs.cx - lw - sw) / cw;
    const int widths[] = {std::max(chars - 48, 8), 12, 15, 17};
    for (int i = 0; i < 4; ++i) ShellListView.SetColumnWidth96(i, MulDiv(widths[i] * cw, 96, static_cast<int>(Dpi())));
  }
}

void TShellDirDialog::SetRootButton(TRadioButton& b) {
  for (TRadioButton* r : {&spbDesktop, &spbMyFiles, &spbComputer, &spbNetwork}) r->SetChecked(r == &b);
}

void TShellDirDialog::SetTreeRoot(std::wstring_view root) { ShellTreeView.SetRoot(root); }

void TShellDirDialog::UpdateOk() { btbOK.SetEnabled(DirectoryExists(cbxSelectedDir.Text())); }

void TShellDirDialog::FillFiles() {
  if (FFileView) ShellListView.Fill(ShellTreeView.SelectedPidl());
}

bool TShellDirDialog::Execute(std::wstring_view aTitle, bool hidden, bool fileView, bool zipAsFiles,
                              std::wstring_view homeDir, std::wstring& dir) {
  SetCaption(aTitle);
  FDefaultDir = homeDir;
  ShellTreeView.ShowHidden = hidden;
  ShellListView.ShowHidden = hidden;
  ShellTreeView.ZipAsFolders = !zipAsFiles;
  ShellListView.ZipAsFiles = zipAsFiles;
  GoToDirectory(dir);
  FSettingText = true;
  cbxSelectedDir.SetText(ShellTreeView.Path());
  FSettingText = false;
  laVolHint.SetText(FreeSpaceText(cbxSelectedDir.Text()));
  cbxFiles.SetVisible(fileView);
  ShowFileView(fileView && cbxFiles.Checked());
  if (ShowModal() != mrOk) return false;
  const std::wstring chosen = cbxSelectedDir.Text();
  dir = chosen.empty() ? chosen : AddPathDelimiter(chosen);
  return true;
}

void TShellDirDialog::GoToDirectory(std::wstring_view dirIn) {
  std::wstring s(dirIn.empty() ? std::wstring_view(FDefaultDir) : dirIn);
  std::wstring root;
  if (!s.empty()) {
    SetRootButton(spbComputer);
    root = std::wstring(rfMyComputer);
    if (!DirectoryExists(s)) {
      s = GetDocumentsFolder();
      if (s.empty()) {
        wchar_t cur[MAX_PATH]{};
        GetCurrentDirectoryW(static_cast<DWORD>(std::size(cur)), cur);
        s = cur;
      }
    }
    if (DirectoryExists(s) && s.starts_with(L"\\\\")) {
      root = std::wstring(rfNetwork);
      SetRootButton(spbNetwork);
    }
  } else {
    SetRootButton(spbDesktop);
    root = std::wstring(rfDesktop);
  }
  SetTreeRoot(root);
  if (!s.empty() && !ShellTreeView.GoTo(s) && root == rfNetwork) {
    // A share the network folder does not list: the share itself becomes the root.
    SetTreeRoot(s);
  }
  if (HTREEITEM sel = ShellTreeView.Selected()) ShellTreeView.Expand(sel);
  ShellTreeView.ScrollSelectedIntoView();
}

void TShellDirDialog::ShowFileView(bool on) {
  FFileView = on;
  const int h = ClientSize().cy;
  if (on) {
    ShellListView.SetVisible(true);
    Splitter.SetVisible(true);
    SetClientSize(FLeftWidth + Scale(kSplitWidth96) + FRightWidth, h);
    if (DirectoryExists(cbxSelectedDir.Text())) ShellTreeView.GoTo(cbxSelectedDir.Text());
    FillFiles();
  } else {
    SetClientSize(FLeftWidth, h);
    ShellListView.SetVisible(false);
    Splitter.SetVisible(false);
    ShellListView.Clear();
  }
  Arrange();
  FSettingText = true;
  cbxSelectedDir.SetText(ShellTreeView.Path());
  FSettingText = false;
  laVolHint.SetText(FreeSpaceText(cbxSelectedDir.Text()));
  UpdateOk();
}

std::wstring TShellDirDialog::FreeSpaceText(std::wstring_view path) {
  if (path.empty()) return {};
  ULARGE_INTEGER avail{}, total{};
  if (!GetDiskFreeSpaceExW(AddPathDelimiter(path).c_str(), &avail, &total, nullptr)) return {};
  return SizeToStr(static_cast<int64_t>(avail.QuadPart)) + T(L" free of ") +
         SizeToStr(static_cast<int64_t>(total.QuadPart));
}

void TShellDirDialog::ShellTreeViewChange() {
  if (!ShellTreeView.Selected()) {
    laVolHint.SetText(L"");
    return;
  }
  std::wstring path = ShellTreeView.Path();
  if (!FSettingText) {
    btbOK.SetEnabled(!path.empty());
    const std::wstring link = AddPathDelimiter(path) + L"target.lnk";
    std::wstring target, args, work, desc;
    if (!path.empty() && GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ReadShellLink(link, target, args, work, desc) && !target.empty())
      path = target;
    FSettingText = true;
    cbxSelectedDir.SetText(path);
    FSettingText = false;
  }
  laVolHint.SetText(FreeSpaceText(cbxSelectedDir.Text()));
  FillFiles();
}

void TShellDirDialog::cbxSelectedDirChange() {
  if (FSettingText) return;
  const std::wstring text = cbxSelectedDir.Text();
  const bool exists = DirectoryExists(text);
  if (exists) {
    // The tree follows; the box keeps what was typed.
    FSettingText = true;
    ShellTreeView.GoTo(text);
    FSettingText = false;
  }
  btbOK.SetEnabled(exists);
}

void TShellDirDialog::AddDirToHistory(std::wstring_view dir) {
  if (dir.empty()) return;
  DirList.AddString(dir);
  cbxSelectedDir.SetItems(DirList.Strings());
}

void TShellDirDialog::RemoveDirFromHistory(std::wstring_view dir) {
  if (DirList.IndexOf(dir) < 0) return;
  DirList.RemString(dir);
  cbxSelectedDir.SetItems(DirList.Strings());
  if (cbxSelectedDir.Count() > 0) cbxSelectedDir.SetItemIndex(0);
}

void TShellDirDialog::spbDesktopClick() {
  SetRootButton(spbDesktop);
  SetTreeRoot(rfDesktop);
}
void TShellDirDialog::spbMyFilesClick() {
  SetRootButton(spbMyFiles);
  SetTreeRoot(rfPersonal);
}
void TShellDirDialog::spbComputerClick() {
  SetRootButton(spbComputer);
  SetTreeRoot(rfMyComputer);
}
void TShellDirDialog::spbNetworkClick() {
  SetRootButton(spbNetwork);
  SetTreeRoot(rfNetwork);
}

void TShellDirDialog::spbUpClick() {
  HTREEITEM sel = ShellTreeView.Selected();
  if (ShellTreeView.RootName() == rfPersonal) {
    const std::wstring up = GetParentDir(ShellTreeView.Path());
    SetRootButton(spbComputer);
    SetTreeRoot(rfMyComputer);
    if (!up.empty()) ShellTreeView.GoTo(up);
  } else if (!sel || !ShellTreeView.Parent(sel)) {
    SetRootButton(spbComputer);
    SetTreeRoot(rfMyComputer);
  } else {
    HTREEITEM parent = ShellTreeView.Parent(sel);
    if (parent != ShellTreeView.TTreeView::Root()) ShellTreeView.SetSelected(parent);
  }
  ShellTreeView.ScrollSelectedIntoView();
  ShellTreeView.SetFocus();
}

void TShellDirDialog::spbHomeClick() {
  if (!DirectoryExists(FDefaultDir)) {
    ErrorDialog(SafeFormat(T(L"Directory not found:\r\n%s!"), FDefaultDir));
    RemoveDirFromHistory(FDefaultDir);
    ShellTreeView.SetFocus();
    return;
  }
  const bool driveRoot = FDefaultDir.size() == 3 && FDefaultDir.substr(1) == L":\\";
  if (ShellTreeView.RootName() == rfNetwork || driveRoot) {
    SetTreeRoot(FDefaultDir);
  } else {
    SetRootButton(spbComputer);
    SetTreeRoot(rfMyComputer);
    ShellTreeView.GoTo(FDefaultDir);
    ShellTreeView.ScrollSelectedIntoView();
  }
  ShellTreeView.SetFocus();
}

void TShellDirDialog::spbNewClick() {
  const std::wstring base = ShellTreeView.Path();
  std::wstring name;
  if (!EditString(kDefaultDialogPos, base, T(L"New subdirectory:"), L"", name) || name.empty()) {
    ShellTreeView.SetFocus();
    return;
  }
  const std::wstring dir = AddPathDelimiter(base) + name;
  const int rc = base.empty() || !IsValidFileName(name) ? ERROR_BAD_PATHNAME
                                                       : SHCreateDirectoryExW(Handle(), dir.c_str(), nullptr);
  if (rc == ERROR_SUCCESS || (rc == ERROR_ALREADY_EXISTS && DirectoryExists(dir))) {
    SetRootButton(spbComputer);
    SetTreeRoot(rfMyComputer);
    ShellTreeView.GoTo(dir);
    ShellTreeView.ScrollSelectedIntoView();
  } else {
    ErrorDialog(SafeFormat(T(L"Could not create directory:\r\n%s!"), dir));
  }
  ShellTreeView.SetFocus();
}

void TShellDirDialog::itmDeleteClick() {
  const std::wstring path = ShellTreeView.Path();
  if (path.empty()) return;
  const int mode = ShowSelectDialog(T(L"Delete directory"), SafeFormat(T(L"Delete \"%s\""), path),
                                    TMsgDlgType::mtConfirmation, true, {T(L"Definitely"), T(L"To recycle bin")}, L"",
                                    0, -1, L"");
  if (mode < 0) return;
  spbUpClick();
  bool ok = false;
  if (mode == 1) {
    ok = SUCCEEDED(ShellDeleteFolder(Handle(), AddPathDelimiter(path), true, false));
    if (ok) InfoDialog(SafeFormat(T(L"%s moved to Recycle Bin!"), path));
  } else {
    TDeleteCounts counts;
    DeleteDirTree(path, L"", true, counts);
    ok = counts.Errors == 0 && !DirectoryExists(path);
    if (ok)
      InfoDialog(SafeFormat(T(L"%u directories with %u files deleted!"), static_cast<unsigned>(counts.Dirs),
                            static_cast<unsigned>(counts.Files)));
  }
  if (!ok) ErrorDialog(SafeFormat(T(L"Error deleting directory:\r\n%s!"), path));
  itmUpdateClick();
}

void TShellDirDialog::itmUpdateClick() {
  if (HTREEITEM sel = ShellTreeView.Selected()) ShellTreeView.RefreshNode(sel);
}

bool TShellDirDialog::FormKeyDown(WORD key, bool shift, bool ctrl, bool alt) {
  if (key == VK_F5 && !shift && !ctrl && !alt) {
    itmUpdateClick();
    return true;
  }
  if (ctrl && !alt) {
    // Matched by letter: the numeric pad keys share the lower-case letters' codes.
    switch (key) {
      case 'C': spbComputer.Click(); return true;
      case 'D': spbMyFiles.Click(); return true;
      case 'H': if (spbHome.Visible()) spbHome.Click(); return true;
      case 'N': spbNew.Click(); return true;
      case 'T': spbDesktop.Click(); return true;
      case 'U': spbUp.Click(); return true;
      case 'W': spbNetwork.Click(); return true;
      default: break;
    }
  }
  if (key == VK_RETURN && !ctrl && !alt) {
    if (cbxSelectedDir.DroppedDown()) return false;
    if (btbOK.Enabled()) btbOK.Click();
    return true;
  }
  return TForm::FormKeyDown(key, shift, ctrl, alt);
}

LRESULT TShellDirDialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CONTEXTMENU && reinterpret_cast<HWND>(wp) == ShellTreeView.Handle()) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (pt.x == -1 && pt.y == -1) {
      RECT r{};
      GetWindowRect(ShellTreeView.Handle(), &r);
      pt = {r.left + 20, r.top + 20};
    } else {
      TVHITTESTINFO hit{};
      hit.pt = pt;
      ScreenToClient(ShellTreeView.Handle(), &hit.pt);
      if (HTREEITEM item = TreeView_HitTest(ShellTreeView.Handle(), &hit)) ShellTreeView.SetSelected(item);
    }
    PopupMenu.Popup(pt.x, pt.y, Handle());
    return 0;
  }
  if (msg == WM_ACTIVATE && LOWORD(wp) != WA_INACTIVE && ShellTreeView.Handle()) {
    const LRESULT r = TForm::WndProc(msg, wp, lp);
    ShellTreeView.ScrollSelectedIntoView();
    ShellTreeView.SetFocus();
    return r;
  }
  return TForm::WndProc(msg, wp, lp);
}

void TShellDirDialog::FormShow() {
  FitFormToWorkArea(*this);
  spbHome.SetVisible(!FDefaultDir.empty());
  spbHome.Hint = T(L"Default: ") + FDefaultDir;
  FSettingText = true;
  const std::wstring text = cbxSelectedDir.Text();
  cbxSelectedDir.SetItems(DirList.Strings());
  cbxSelectedDir.SetText(text);
  FSettingText = false;
  if (DirectoryExists(text)) {
    FSettingText = true;
    ShellTreeView.GoTo(text);
    FSettingText = false;
  }
  UpdateOk();
}

void TShellDirDialog::FormClose() {
  try {
    SaveToIni();
  } catch (...) {
    // History and layout are kept in memory; the next close tries again.
  }
}

void TShellDirDialog::LoadFromIni(std::wstring_view iniName, std::wstring_view section) {
  FIniName = iniName;
  FIniSection = section;
  if (FIniName.empty() || FIniSection.empty() || GetFileAttributesW(FIniName.c_str()) == INVALID_FILE_ATTRIBUTES)
    return;
  TMemIniFile ini(FIniName);
  DirList.LoadFromIni(ini, FIniSection);
  const int top = ini.ReadInteger(FIniSection, L"Top", 0);
  const int left = ini.ReadInteger(FIniSection, L"Left", Left());
  FLeftWidth = std::max(ini.ReadInteger(FIniSection, L"DirWidth", FLeftWidth), Scale(200));
  FRightWidth = std::max(ini.ReadInteger(FIniSection, L"FileWidth", FRightWidth), Scale(1));
  cbxFiles.SetChecked(ini.ReadBool(FIniSection, L"Fileview", false));
  ShowFileView(FFileView);
  if (top == 0) {
    PlaceForm(*this, kDefaultDialogPos);
  } else {
    SetPos(left, top);
  }
}

void TShellDirDialog::SaveToIni() {
  if (FIniName.empty() || FIniSection.empty()) return;
  TMemIniFile ini(FIniName);
  ini.EraseSection(FIniSection);
  DirList.SaveToIni(ini, FIniSection, false);
  ini.WriteInteger(FIniSection, L"Top", Top());
  ini.WriteInteger(FIniSection, L"Left", Left());
  ini.WriteInteger(FIniSection, L"DirWidth", FLeftWidth);
  ini.WriteInteger(FIniSection, L"FileWidth", FRightWidth);
  ini.WriteBool(FIniSection, L"Fileview", cbxFiles.Checked());
  ini.UpdateFile();
}

void TShellDirDialog::ResetPosition() { SetPos(50, 50); }

void SetDirDialogIni(std::wstring_view iniName, std::wstring_view section) {
  IniName() = iniName;
  IniSection() = section;
}

bool SelectDirDialog(std::wstring_view aTitle, bool hidden, bool fileView, bool zipAsFiles, std::wstring_view homeDir,
                     std::wstring& dir) {
  TShellDirDialog* d = DirDialog();
  if (!d) {
    d = &Application().KeepForm<TShellDirDialog>();
    d->LoadFromIni(IniName(), IniSection());
  }
  return d->Execute(aTitle, hidden, fileView, zipAsFiles, homeDir, dir);
}

bool SelectDirZip(std::wstring_view aTitle, bool hidden, bool fileView, std::wstring_view homeDir, std::wstring& dir) {
  return SelectDirDialog(aTitle, hidden, fileView, true, homeDir, dir);
}

TShellDirDialog* DirDialog() { return Application().KeptForm<TShellDirDialog>(); }

}  // namespace hv
