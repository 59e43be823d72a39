#include "hvwatchdog/ShowFilter.h"

#include <string>

#include "base/text/PathUtils.h"

namespace hv {

bool AdmitsFile(const TMonFilter& filter, std::wstring_view relName) {
  const size_t slash = relName.find_last_of(L'\\');
  const std::wstring path(slash == std::wstring_view::npos ? std::wstring_view{} : relName.substr(0, slash + 1));
  const std::wstring_view name = slash == std::wstring_view::npos ? relName : relName.substr(slash + 1);
  const std::wstring type = GetExtension(name);
  bool ok = (!filter.ExtList.Contains(type) != filter.IncludeExts) && filter.FileFilter.MatchesFilter(name);
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
      if (end > start && filter.SubDirFilter.MatchesFilter(std::wstring_view(path).substr(start, end - start)))
        any = true;
      start = end + 1;
    }
    ok = !any != filter.IncludeSubDirs;
  }
  return ok;
}

}  // namespace hv
