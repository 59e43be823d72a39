#pragma once
// The filters of a monitored directory and the test that admits a changed file.
#include <string>
#include <string_view>
#include <vector>

#include "hvwatchdog/TextFilter.h"
#include "winui/ComCtrls.h"
#include "winui/Forms.h"
#include "winui/ListControls.h"

namespace hv {

struct TMonFilter {
  // The subdirectory list and the directory filter name what is monitored (true) or left out.
  bool IncludeSubDirs = false;
  // The type list names the types that are monitored (true) or left out.
  bool IncludeExts = false;
  TMatchList SubDirList;
  TMatchList ExtList;
  TTextFilter SubDirFilter{false, true};
  TTextFilter FileFilter{true, true};
};

// Whether a changed file (name relative to the monitored directory) passes the filters.
bool AdmitsFile(const TMonFilter& filter, std::wstring_view relName);

// What the filter view shows of a directory's filters.
struct TFilterViewTexts {
  std::wstring SubDirsLabel, DirFiltLabel, FileExtLabel;
  std::vector<std::wstring> SubDirs, DirFilt, FileExt, FileFilt;
  bool Regular = false;
};
TFilterViewTexts FilterViewTexts(const TMonFilter& filter);

// The read-only view of a directory's filters.
class TShowFilterDialog : public TForm {
 public:
  TShowFilterDialog();
  int Execute(const TMonFilter& filter);

  TGroupBox gbDirs, gbFiles;
  TLabel laSubDirs, laDirFilt, laFileExt, laRegular;
  TListBox lbSubDirs, lbDirFilt, lbFileExt, lbFileFilt;
  TButton btClose;

 protected:
  void FormCreate() override;
};

// Shows the filters modally.
void ShowFilterDialog(const TMonFilter& filter);

}  // namespace hv
