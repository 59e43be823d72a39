#pragma once
// Thunderbird's profiles: read from its "profiles.ini" (with "installs.ini" for the default),
// the list QlBackup works on, the choice of the default, and the rewrite of one profile's section.
#include <string>
#include <string_view>
#include <vector>

#include "base/settings/IniFileUtils.h"

namespace hv {

struct TMailProfile {
  std::wstring ProfileName;  // shown name: "Default user" for the default profile
  std::wstring Path;         // "Path" as read
  std::wstring FullPath;     // the profile folder
  bool Default = false;
  bool Relative = true;
  std::wstring Section;  // the section of profiles.ini it was read from
};

// Profiles in file order; names are looked up without regard to case.
class TProfileList {
 public:
  std::wstring DefProfile;  // name of the default profile, empty when none is known

  size_t Count() const { return FItems.size(); }
  const std::wstring& Name(size_t index) const { return FItems[index].first; }
  const TMailProfile& Profile(size_t index) const { return FItems[index].second; }
  TMailProfile& Profile(size_t index) { return FItems[index].second; }
  // npos when absent.
  size_t IndexOf(std::wstring_view name) const;
  void Clear();

  std::wstring DisplayName(std::wstring_view name) const;
  size_t AddProfile(std::wstring_view name, std::wstring_view path, std::wstring_view fullPath, bool relative,
                    bool isDefault, std::wstring_view section = {});
  bool IsInList(std::wstring_view name) const { return IndexOf(name) != npos; }
  bool NotInList(std::wstring_view name) const { return !IsInList(name); }
  std::wstring GetProfileName(std::wstring_view name) const;
  // "<Thunderbird>/" and Path for a relative profile: the text shown as the mail directory.
  std::wstring GetPathName(std::wstring_view name) const;
  std::wstring GetFullPath(std::wstring_view name) const;
  void SetDefault(std::wstring_view name);
  std::wstring DefaultProfile();
  void SetDefaultFromPath(std::wstring_view path);

  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  std::vector<std::pair<std::wstring, TMailProfile>> FItems;
};

// Thunderbird's folder below the roaming application data, with trailing "\".
std::wstring ThunderbirdDir(std::wstring_view appDataPath);
std::wstring ProfilesIniName(std::wstring_view qlApp);

// One pass over profiles.ini of qlApp; a file without byte-order mark is read in noBom. False
// when a pass in ANSI met UTF-8 sequences in a name or path. used: the encoding read.
bool ReadProfilesIni(std::wstring_view qlApp, TIniEncoding noBom, TProfileList& list, TIniEncoding& used);
// Reads the profiles (ANSI, then UTF-8 when that failed) and fixes the default; true when at
// least one was found. A missing profiles.ini leaves the list as it was.
bool FindProfiles(std::wstring_view qlApp, TProfileList& list, TIniEncoding& used);

// Points the profile at newDir: updates the list, the profile's own section of profiles.ini and
// every installation's "Default" (in profiles.ini and installs.ini) that named its old folder.
// Every other byte of the files stays as it was (the profile's "Default" flag too); values are
// written in the file's encoding.
// Raises EWriteError (or EExtFileStreamError when a file cannot be read).
void UpdateProfilesIni(std::wstring_view qlApp, TIniEncoding encoding, TProfileList& list, std::wstring_view name,
                       std::wstring_view newDir);

}  // namespace hv
