#include "qlbackup/QlProfiles.h"

#include <windows.h>

#include "base/os/FileUtils.h"
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

bool IsInstallSection(std::wstring_view section) {
  return section.size() >= 7 && SameText(section.substr(0, 7), L"install");
}

// A "Path" or "Default" value as Thunderbird resolves it: relative to its folder unless absolute,
// "/" and "\\" alike, without regard to case.
bool NamesFolder(std::wstring_view qlApp, std::wstring_view value, std::wstring_view folder) {
  std::wstring v = ReplaceChar(value, L'/', L'\\');
  if (v.empty() || folder.empty()) return false;
  if (!IsAbsolutePath(v)) v = AddPath(qlApp, v);
  return FolderKey(v) == FolderKey(folder);
}

// One byte per character, so that an ANSI file keeps every byte whatever the code page.
std::wstring ByteUnits(std::string_view bytes) {
  std::wstring units(bytes.size(), L'\0');
  for (size_t i = 0; i < bytes.size(); ++i) units[i] = static_cast<unsigned char>(bytes[i]);
  return units;
}

std::string UnitBytes(std::wstring_view units) {
  std::string bytes(units.size(), '\0');
  for (size_t i = 0; i < units.size(); ++i) bytes[i] = static_cast<char>(units[i]);
  return bytes;
}

// "profiles.ini" or "installs.ini" changed key by key and written back with every other byte as
// read. Without byte-order mark the file is UTF-8 when it reads as such (as Thunderbird reads
// it), else in the encoding profiles.ini was read in.
class TThunderbirdFile {
 public:
  TThunderbirdFile(std::wstring fileName, TIniEncoding readAs) : FFileName(std::move(fileName)) {
    if (GetFileAttributesW(FFileName.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    FBytes = ReadFileBytes(FFileName);
    FEdit.SetText(DecodeText(FBytes, FEncoding, TIniEncoding::ieUtf8NoBom));
    if (FEncoding == TIniEncoding::ieUtf8NoBom && readAs != TIniEncoding::ieUtf8NoBom && !IsValidUtf8(FBytes)) {
      FEncoding = TIniEncoding::ieAnsi;
      FEdit.SetText(ByteUnits(FBytes));
    }
  }

  std::vector<std::wstring> Sections() const { return FEdit.Sections(); }

  bool Find(std::wstring_view section, std::wstring_view key, std::wstring& value) const {
    if (!FEdit.Find(section, key, value)) return false;
    if (FEncoding == TIniEncoding::ieAnsi) value = AnsiToWide(UnitBytes(value));
    return true;
  }

  void Write(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    if (FEncoding == TIniEncoding::ieAnsi && !IsAnsiText(value)) {
      // Only UTF-8 holds the value: the whole file goes over, as Thunderbird reads it.
      FEdit.SetText(AnsiToWide(UnitBytes(FEdit.Text())));
      FEncoding = TIniEncoding::ieUtf8NoBom;
    }
    FEdit.Set(section, key, FEncoding == TIniEncoding::ieAnsi ? ByteUnits(WideToAnsi(value)) : std::wstring(value));
    FChanged = true;
  }

  // Writes the key when its value, read with def for a missing key, differs.
  void Update(std::wstring_view section, std::wstring_view key, std::wstring_view value, std::wstring_view def) {
    std::wstring old;
    if (!Find(section, key, old)) old = def;
    if (old != value) Write(section, key, value);
  }

  void UpdateBool(std::wstring_view section, std::wstring_view key, bool value, bool def) {
    std::wstring old;
    int64_t n = 0;
    const bool current = Find(section, key, old) && TryStrToInt64(old, n) ? n != 0 : def;
    if (current != value) Write(section, key, value ? L"1" : L"0");
  }

  // Every "Default" that named oldFolder (in the sections of installations only) becomes value.
  void FollowDefault(std::wstring_view qlApp, std::wstring_view oldFolder, std::wstring_view value,
                     bool installSectionsOnly) {
    for (const auto& section : Sections()) {
      std::wstring old;
      if ((!installSectionsOnly || IsInstallSection(section)) && Find(section, L"Default", old) &&
          NamesFolder(qlApp, old, oldFolder))
        Write(section, L"Default", value);
    }
  }

  void Save() const {
    if (!FChanged) return;
    const std::string bytes =
        FEncoding == TIniEncoding::ieAnsi ? UnitBytes(FEdit.Text()) : EncodeText(FEdit.Text(), FEncoding);
    if (bytes != FBytes) ReplaceFileBytes(FFileName, bytes);
  }

 private:
  std::wstring FFileName;
  bool FChanged = false;
  std::string FBytes;
  TIniEncoding FEncoding = TIniEncoding::ieUtf8NoBom;
  TIniTextEdit FEdit;
};

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
  TMailProfile& p = list.Profile(i);
  const std::wstring dir = TrimRightChar(newDir, L'\\');
  const std::wstring path = MakeRelativePath(qlApp, dir);
  const bool relative = !SameText(path, dir);
  const std::wstring pathValue = TrimRightChar(relative ? ReplaceChar(path, L'\\', L'/') : path, L'/');

  TThunderbirdFile profiles(ProfilesIniName(qlApp), encoding);
  const std::wstring section = p.Section.empty() ? L"Profile" + std::to_wstring(i) : p.Section;
  profiles.Update(section, L"Name", list.Name(i), L"default-release");
  profiles.UpdateBool(section, L"IsRelative", relative, true);
  profiles.Update(section, L"Path", pathValue, L"");
  // An installation's default that named the old folder follows the profile.
  TThunderbirdFile installs(AddPath(qlApp, L"installs.ini"), encoding);
  profiles.FollowDefault(qlApp, p.FullPath, pathValue, true);
  installs.FollowDefault(qlApp, p.FullPath, pathValue, false);

  profiles.Save();
  p.FullPath = dir;
  p.Path = relative ? ReplaceChar(path, L'\\', L'/') : path;
  p.Relative = relative;
  installs.Save();
}

}  // namespace hv
