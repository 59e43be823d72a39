#include "base/app/LangUtils.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/app/InitProg.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "base/os/WinApiUtils.h"

namespace hv {
namespace {

std::wstring& CfgName() {
  static std::wstring s;
  return s;
}
std::wstring& LangCode() {
  static std::wstring s;
  return s;
}

}  // namespace

std::vector<std::wstring> CommandLineArgs() {
  std::vector<std::wstring> args;
  int n = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!argv) return args;
  for (int i = 1; i < n; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

namespace {

std::wstring FullPath(const std::wstring& path) {
  wchar_t buf[MAX_PATH * 4];
  DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(buf)), buf, nullptr);
  return n == 0 || n >= std::size(buf) ? path : std::wstring(buf, n);
}

std::wstring MovedCfgFile(const std::wstring& v, bool portable, const std::wstring& cfg, std::wstring_view programDir) {
  if (v.empty()) return cfg;
  if (v.back() == L'\\') return v + ExtractFileName(cfg);
  std::wstring name = portable ? ReplaceExtension(ExtractFileName(v), L"cfg") : ExtractFileName(cfg);
  bool hasDelim = v.find(L'\\') != std::wstring::npos;
  std::wstring folder;
  if (IsAbsolutePath(v))
    folder = ExtractFilePath(v);
  else if (!hasDelim)
    folder = portable ? std::wstring(programDir) : ExtractFilePath(cfg);
  else
    folder = ExtractFilePath(FullPath(portable ? std::wstring(programDir) + v : v));
  return AddPathDelimiter(folder) + name;
}

std::wstring ReadPlainIni(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t buf[256];
  DWORD n = GetPrivateProfileStringW(section, key, L"", buf, static_cast<DWORD>(std::size(buf)), file.c_str());
  return std::wstring(buf, n);
}

uint32_t Read32(const std::string& d, size_t pos, bool swap) {
  uint32_t v;
  std::memcpy(&v, d.data() + pos, 4);
  return swap ? __builtin_bswap32(v) : v;
}

}  // namespace

const std::wstring& CfgFileName() { return CfgName(); }
const std::wstring& LanguageCode() { return LangCode(); }

std::wstring ExpandEnvironmentRefs(std::wstring_view value) {
  std::wstring result(value);
  size_t pos = value.find(L'%');
  while (pos != std::wstring_view::npos) {
    size_t end = value.find(L'%', pos + 1);
    if (end == std::wstring_view::npos) break;
    std::wstring name(value.substr(pos + 1, end - pos - 1));
    std::wstring ref = L"%" + name + L"%";
    std::wstring env;
    if (!name.empty()) {
      wchar_t buf[4096];
      DWORD n = GetEnvironmentVariableW(name.c_str(), buf, static_cast<DWORD>(std::size(buf)));
      if (n < std::size(buf)) env.assign(buf, n);
    }
    for (size_t at = TextPos(ref, result); at != std::wstring::npos; at = TextPosEx(ref, result, at + env.size()))
      result.replace(at, ref.size(), env);
    pos = value.find(L'%', end + 1);
  }
  return result;
}

TStartOptions ParseStartOptions(const std::vector<std::wstring>& args, std::wstring_view cfgFileName,
                                std::wstring_view programDir) {
  TStartOptions r;
  std::wstring ini;
  bool haveIni = false, portable = false;
  for (const auto& arg : args) {
    if (arg.empty() || (arg[0] != L'/' && arg[0] != L'-')) continue;
    std::wstring opt = arg.substr(1), value = opt;
    if (MatchOptionValue(value, L"lang")) {
      r.LangCode = value;
    } else if (value = opt; MatchOptionValue(value, L"ini")) {
      ini = ExpandEnvironmentRefs(value);
      haveIni = true;
    } else if (MatchOption(opt, L"portable")) {
      portable = true;
      if (!haveIni) ini = programDir;
    }
  }
  r.CfgFileName = MovedCfgFile(ini, portable, std::wstring(cfgFileName), programDir);
  return r;
}

std::wstring GetUserUILanguage() {
  LANGID lang = GetUserDefaultUILanguage();
  if (lang == 0) lang = GetUserDefaultLangID();
  LCID lcid = MAKELCID(lang, SORT_DEFAULT);
  wchar_t buf[LOCALE_NAME_MAX_LENGTH];
  if (IsVistaOrLater()) {
    int n = LCIDToLocaleName(lcid, buf, static_cast<int>(std::size(buf)), 0);
    return n > 1 ? std::wstring(buf, static_cast<size_t>(n - 1)) : std::wstring();
  }
  int n = GetLocaleInfoW(lcid, LOCALE_SISO639LANGNAME, buf, static_cast<int>(std::size(buf)));
  return n > 1 ? std::wstring(buf, static_cast<size_t>(n - 1)).substr(0, 2) : std::wstring();
}

bool ReadMoFile(const std::wstring& fileName, TCatalog& catalog) {
  std::ifstream f(std::filesystem::path(fileName), std::ios::binary);
  if (!f) return false;
  const std::string d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (d.size() < 20) return false;
  bool swap;
  uint32_t magic = Read32(d, 0, false);
  if (magic == 0x950412de)
    swap = false;
  else if (magic == 0xde120495)
    swap = true;
  else
    return false;
  uint64_t count = Read32(d, 8, swap), origins = Read32(d, 12, swap), translations = Read32(d, 16, swap);
  if (origins + count * 8 > d.size() || translations + count * 8 > d.size()) return false;
  TCatalog result;
  // The strings of a catalogue do not overlap: entries that read more than the file holds (all of
  // them pointing into one large string) mark a damaged file, before they cost time or memory.
  uint64_t budget = d.size();
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t olen = Read32(d, origins + i * 8, swap), ooff = Read32(d, origins + i * 8 + 4, swap);
    uint64_t tlen = Read32(d, translations + i * 8, swap), toff = Read32(d, translations + i * 8 + 4, swap);
    if (ooff + olen > d.size() || toff + tlen > d.size()) return false;
    if (olen + tlen > budget) return false;
    budget -= olen + tlen;
    std::string_view id(d.data() + ooff, olen), text(d.data() + toff, tlen);
    id = id.substr(0, id.find('\0'));  // singular of a plural entry
    text = text.substr(0, text.find('\0'));
    if (id.empty() || text.empty()) continue;  // the header
    result[Utf8ToWide(id)] = Utf8ToWide(text);
  }
  catalog = std::move(result);
  return true;
}

bool LoadLanguageCatalogs(const std::wstring& localeDir, std::wstring_view code) {
  ClearCatalogs();
  SetCurrentLanguage(L"");
  if (code.empty()) return false;
  std::wstring underscore = ReplaceChar(code, L'-', L'_');
  std::wstring candidates[] = {std::wstring(code), underscore, underscore.substr(0, underscore.find(L'_'))};
  for (const auto& c : candidates) {
    std::wstring dir = AddPathDelimiter(localeDir) + c + L"\\LC_MESSAGES\\";
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*.mo").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    do {
      TCatalog cat;
      if (ReadMoFile(dir + fd.cFileName, cat)) SetCatalog(DeleteExtension(fd.cFileName), std::move(cat));
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    SetCurrentLanguage(c);
    return true;
  }
  return false;
}

void InitLanguage(std::wstring_view settingsDir, std::wstring_view cfgName,
                  const std::vector<std::wstring>& extraDomains) {
  bool relative = !(settingsDir.size() >= 2 && settingsDir[1] == L':') && !(!settingsDir.empty() && settingsDir[0] == L'\\');
  std::wstring folder = relative ? AddPathDelimiter(GetAppDataPath()) + std::wstring(settingsDir) : std::wstring(settingsDir);
  std::wstring cfg = AddPathDelimiter(folder) + std::wstring(cfgName);
  for (const auto& d : extraDomains) AddDomainForResourceString(d);
  TStartOptions opts = ParseStartOptions(CommandLineArgs(), cfg, ProgramDir());
  CfgName() = opts.CfgFileName;
  std::wstring code = opts.LangCode;
  if (code.empty()) code = ReadPlainIni(CfgName(), L"Language", L"LangID");
  if (code.empty()) code = GetUserUILanguage();
  LangCode() = code;
  SetDefaultTextDomain(ProgramName());
  LoadLanguageCatalogs(ProgramDir() + L"locale", code);
}

}  // namespace hv
