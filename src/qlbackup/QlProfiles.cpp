#include "qlbackup/QlProfiles.h"

#include <windows.h>

#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {
namespace {

bool SameText(std::wstring_view a, std::wstring_view b) { return AnsiLowerCase(a) == AnsiLowerCase(b); }

// A lead byte (11xxxxxx) followed by a continuation byte (10xxxxxx).
bool HasUtf8Sequence(std::wstring_view text) {
  const std::string bytes = WideToAnsi(text);
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    if ((a & 0xC0) == 0xC0 && (b & 0xC0) == 0x80) return true;
  }
  return false;
}

std::wstring FolderKey(std::wstring_view path) { return AnsiLowerCase(AddPathDelimiter(ReplaceChar(path, L'/', L'\\'))); }

}  // namespace

size_t TProfileList::IndexOf(std::wstring_view name) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (SameText(FItems[i].first, name)) return i;
  return npos;
}

void TProfileList::Clear() { FItems.clear(); }

std::wstring TProfileList::DisplayName(std::wstring_view name) const {
  return !DefProfile.empty() && SameText(name, DefProfile) ? _(L"Default user") : std::wstring(name);
}

size_t TProfileList::AddProfile(std::wstring_view name, std::wstring_view path, std::wstring_view fullPath,
                                bool relative, bool isDefault, std::wstring_view section) {
  TMailProfile p;
  p.ProfileName = DisplayName(name);
  p.Path = path;
  p.FullPath = fullPath;
  p.Relative = relative;
  p.Default = isDefault;
  p.Section = section;
  if (DefProfile.empty() && isDefault) DefProfile = name;
  FItems.emplace_back(std::wstring(name), std::move(p));
  return FItems.size() - 1;
}

std::wstring TProfileList::GetProfileName(std::wstring_view name) const {
  const size_t i = IndexOf(name);
  return i == npos ? std::wstring(name) : DisplayName(FItems[i].second.ProfileName);
}

std::wstring TProfileList::GetPathName(std::wstring_view name) const {
  const size_t i = IndexOf(name);
  if (i == npos) return {};
  const TMailProfile& p = FItems[i].second;
  return p.Relative ? L"<Thunderbird>/" + p.Path : p.Path;
}

std::wstring TProfileList::GetFullPath(std::wstring_view name) const {
  const size_t i = IndexOf(name);
  return i == npos ? std::wstring() : FItems[i].second.FullPath;
}

void TProfileList::SetDefault(std::wstring_view name) {
  // First: the shown name of the default follows DefProfile.
  DefProfile = name;
  const size_t i = IndexOf(DefProfile);
  if (i != npos) {
    for (auto& [n, p] : FItems) {
      p.ProfileName = n;
      p.Default = false;
    }
    FItems[i].second.ProfileName = DisplayName(FItems[i].first);
    FItems[i].second.Default = true;
  }
}

std::wstring TProfileList::DefaultProfile() {
  std::wstring result;
  if (FItems.size() == 1) {
    result = FItems[0].first;
  } else if (!FItems.empty()) {
    if (!DefProfile.empty()) result = DefProfile;
    if (result.empty() && IsInList(L"default-release")) result = Name(IndexOf(L"default-release"));
    if (result.empty() && IsInList(L"default")) result = Name(IndexOf(L"default"));
    for (size_t i = 0; result.empty() && i < FItems.size(); ++i)
      if (SameText(GetExtension(FItems[i].second.FullPath), L"default-release")) result = FItems[i].first;
    if (result.empty()) result = FItems[0].first;
  }
  SetDefault(result);
  return result;
}

void TProfileList::SetDefaultFromPath(std::wstring_view path) {
  if (path.empty()) return;
  for (const auto& [n, p] : FItems)
    if (!p.Path.empty() && FolderKey(p.Path) == FolderKey(path)) {
      SetDefault(std::wstring(n));
      return;
    }
}

std::wstring ThunderbirdDir(std::wstring_view appDataPath) { return AddPath(appDataPath, L"Thunderbird\\"); }
std::wstring ProfilesIniName(std::wstring_view qlApp) { return AddPath(qlApp, L"profiles.ini"); }

bool ReadProfilesIni(std::wstring_view qlApp, TIniEncoding noBom, TProfileList& list, TIniEncoding& used) {
  TMemIniFile ini(ProfilesIniName(qlApp), noBom);
  used = ini.Encoding();
  std::wstring install, defaultPath;
  for (const auto& section : ini.ReadSections())
    if (section.size() >= 7 && SameText(section.substr(0, 7), L"install")) {
      install = section.substr(7);
      break;
    }
  if (!install.empty())
    defaultPath = TMemIniFile(AddPath(qlApp, L"installs.ini"), used == TIniEncoding::ieAnsi ? noBom : TIniEncoding::ieUtf8NoBom)
                      .ReadString(install, L"Default", L"");

  list.Clear();
  list.DefProfile.clear();
  bool failed = used == TIniEncoding::ieAnsi && HasUtf8Sequence(defaultPath);
  for (int n = 0; n <= 9; ++n) {
    const std::wstring section = L"Profile" + std::to_wstring(n);
    if (!ini.SectionExists(section)) continue;
    const std::wstring name = ini.ReadString(section, L"Name", L"default-release");
    const std::wstring path = ini.ReadString(section, L"Path", L"");
    const bool relative = ini.ReadBool(section, L"IsRelative", true);
    const bool isDefault = ini.ReadBool(section, L"Default", false);
    if (used == TIniEncoding::ieAnsi && (HasUtf8Sequence(name) || HasUtf8Sequence(path))) failed = true;
    const std::wstring full = relative ? AddPath(qlApp, ReplaceChar(path, L'/', L'\\')) : path;
    if (!path.empty() && DirectoryExists(full) && list.NotInList(name)) list.AddProfile(name, path, full, relative, isDefault, section);
  }
  if (!failed && !defaultPath.empty()) list.SetDefaultFromPath(defaultPath);
  return !failed;
}

bool FindProfiles(std::wstring_view qlApp, TProfileList& list, TIniEncoding& used) {
  if (GetFileAttributesW(ProfilesIniName(qlApp).c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  if (!ReadProfilesIni(qlApp, TIniEncoding::ieAnsi, list, used))
    ReadProfilesIni(qlApp, TIniEncoding::ieUtf8NoBom, list, used);
  if (list.Count() == 0) return false;
  list.DefaultProfile();
  return true;
}

void UpdateProfilesIni(std::wstring_view qlApp, TIniEncoding encoding, TProfileList& list, std::wstring_view name,
                       std::wstring_view newDir) {
  const size_t i = list.IndexOf(name);
  if (i == TProfileList::npos) return;
  TMemIniFile ini(ProfilesIniName(qlApp), encoding == TIniEncoding::ieUtf8NoBom ? encoding : TIniEncoding::ieAnsi);
  if (ini.Encoding() == TIniEncoding::ieAnsi) ini.SetEncoding(TIniEncoding::ieUtf8NoBom);

  TMailProfile& p = list.Profile(i);
  const std::wstring dir = TrimRightChar(newDir, L'\\');
  p.FullPath = dir;
  p.Path = MakeRelativePath(qlApp, dir);
  p.Relative = !SameText(p.Path, p.FullPath);
  std::wstring section = p.Section;
  if (section.empty()) section = L"Profile" + std::to_wstring(i);
  ini.WriteString(section, L"Name", list.Name(i));
  ini.WriteBool(section, L"IsRelative", p.Relative);
  ini.WriteString(section, L"Path", TrimRightChar(p.Relative ? ReplaceChar(p.Path, L'\\', L'/') : p.Path, L'/'));
  ini.WriteBool(section, L"Default", p.Default);
  ini.UpdateFile();
  if (p.Relative) p.Path = ReplaceChar(p.Path, L'\\', L'/');
}

}  // namespace hv
