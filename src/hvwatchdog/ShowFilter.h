#pragma once
// The filters of a monitored directory and the test that admits a changed file.
#include <string_view>

#include "hvwatchdog/TextFilter.h"

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

}  // namespace hv
