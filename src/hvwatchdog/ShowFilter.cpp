#include "hvwatchdog/ShowFilter.h"

#include <string>

#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "winui/Translate.h"

namespace hv {

// A filter that cannot decide on a name admits the file: a needless copy loses nothing, a skipped
// one may lose the only copy of a change. So an undecided file filter matches in include mode and
// does not match in exclude mode; an undecided folder name counts as the side that admits.
bool AdmitsFile(const TMonFilter& filter, std::wstring_view relName) {
  const size_t slash = relName.find_last_of(L'\\');
  const std::wstring path(slash == std::wstring_view::npos ? std::wstring_view{} : relName.substr(0, slash + 1));
  const std::wstring_view name = slash == std::wstring_view::npos ? relName : relName.substr(slash + 1);
  const std::wstring type = GetExtension(name);
  bool ok = (!filter.ExtList.Contains(type) != filter.IncludeExts) && filter.FileFilter.MatchesFilter(name, true);
  if (ok && !filter.SubDirList.Empty()) {
    bool any = false;
    for (const auto& dir : filter.SubDirList) {
      try {
        if (MatchesMask(path, dir + L"*")) {
          any = true;
          break;
        }
      } catch (const EFilterError&) {
      }
    }
    ok = !any != filter.IncludeSubDirs;
  }
  if (ok && filter.SubDirFilter.Mode() != TFilterMode::fmOff) {
    bool any = false;
    size_t start = 0;
    while (start < path.size() && !any) {
      size_t end = path.find(L'\\', start);
      if (end == std::wstring::npos) end = path.size();
      const std::wstring_view folder = std::wstring_view(path).substr(start, end - start);
      if (end > start && filter.SubDirFilter.MatchesFilter(folder, filter.IncludeSubDirs)) any = true;
      start = end + 1;
    }
    ok = !any != filter.IncludeSubDirs;
  }
  return ok;
}

namespace {

std::vector<std::wstring> SplitBars(const std::wstring& text) {
  std::vector<std::wstring> items;
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find(L'|', start);
    std::wstring item = text.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start);
    if (!item.empty()) items.push_back(std::move(item));
    if (bar == std::wstring::npos) break;
    start = bar + 1;
  }
  return items;
}

}  // namespace

TFilterViewTexts FilterViewTexts(const TMonFilter& filter) {
  TFilterViewTexts v;
  v.SubDirsLabel = filter.IncludeSubDirs ? _(L"included in this list") : _(L"not included in this list");
  v.DirFiltLabel =
      filter.IncludeSubDirs ? _(L"matching these filter conditions") : _(L"not matching these filter conditions");
  v.FileExtLabel = filter.IncludeExts ? _(L"matching these file types") : _(L"not matching these file types");
  v.SubDirs = filter.SubDirList.ToVector();
  v.DirFilt = SplitBars(filter.SubDirFilter.Filter());
  v.FileExt = filter.ExtList.ToVector();
  v.Regular = filter.FileFilter.Regular();
  switch (filter.FileFilter.Mode()) {
    case TFilterMode::fmOff: v.FileFilt = {_(L"All files")}; break;
    case TFilterMode::fmInclude: v.FileFilt = {SafeFormat(_(L"only %s"), L":")}; break;
    case TFilterMode::fmExclude: v.FileFilt = {SafeFormat(_(L"all except %s"), L":")}; break;
  }
  if (filter.FileFilter.Mode() != TFilterMode::fmOff)
    for (auto& item : SplitBars(filter.FileFilter.Filter())) v.FileFilt.push_back(std::move(item));
  return v;
}

TShowFilterDialog::TShowFilterDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  ClientWidth96 = 546;
  ClientHeight96 = 371;
}

void TShowFilterDialog::FormCreate() {
  SetCaption(L"Selection for subdirectories and files");
  gbDirs.Create(*this, L"Monitor all subdirectories", {8, 8, 530, 152});
  laSubDirs.Create(*this, L"", {10, 22, 250, 17}, gbDirs.Handle());
  lbSubDirs.Create(*this, {10, 42, 250, 100}, gbDirs.Handle());
  laDirFilt.Create(*this, L"", {270, 22, 250, 17}, gbDirs.Handle());
  lbDirFilt.Create(*this, {270, 42, 250, 100}, gbDirs.Handle());
  gbFiles.Create(*this, L"Monitor all files", {8, 166, 530, 160});
  laFileExt.Create(*this, L"", {10, 22, 250, 17}, gbFiles.Handle());
  lbFileExt.Columns = 5;
  lbFileExt.Create(*this, {10, 42, 250, 108}, gbFiles.Handle());
  laRegular.Create(*this, L"Use filter as regular expression", {270, 22, 250, 17}, gbFiles.Handle());
  lbFileFilt.Create(*this, {270, 42, 250, 108}, gbFiles.Handle());
  for (TLabel* l : {&laSubDirs, &laDirFilt, &laFileExt}) l->TranslateText = false;
  btClose.Create(*this, L"Close", {450, 335, 88, 28});
  btClose.ModalResult = mrCancel;
  btClose.Cancel = true;
  btClose.SetDefault(true);
}

int TShowFilterDialog::Execute(const TMonFilter& filter) {
  const TFilterViewTexts v = FilterViewTexts(filter);
  laSubDirs.SetText(v.SubDirsLabel);
  laDirFilt.SetText(v.DirFiltLabel);
  laFileExt.SetText(v.FileExtLabel);
  laRegular.SetVisible(v.Regular);
  lbSubDirs.SetItems(v.SubDirs);
  lbDirFilt.SetItems(v.DirFilt);
  lbFileExt.SetItems(v.FileExt);
  lbFileFilt.SetItems(v.FileFilt);
  return ShowModal();
}

void ShowFilterDialog(const TMonFilter& filter) {
  TShowFilterDialog dlg;
  dlg.Create();
  dlg.Execute(filter);
}

}  // namespace hv
