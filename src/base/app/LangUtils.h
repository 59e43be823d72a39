#pragma once
// Language set-up at start: where "Harvane.cfg" lies, which language the texts are shown in, and
// the gettext catalogues (locale\<lang>\LC_MESSAGES\<domain>.mo beside the program).
#include <string>
#include <string_view>
#include <vector>

#include "winui/Translate.h"

namespace hv {

// Full name of "Harvane.cfg" and the language code, as InitLanguage fixed them.
const std::wstring& CfgFileName();
const std::wstring& LanguageCode();

// Sets CfgFileName and LanguageCode from the settings folder (relative: below the application
// data), the .cfg name, the start options /lang:, /ini:, /portable and [Language] LangID, adds the
// extra text domains and loads the language's catalogues.
void InitLanguage(std::wstring_view settingsDir, std::wstring_view cfgName,
                  const std::vector<std::wstring>& extraDomains);
// The program's command-line arguments without the program name.
std::vector<std::wstring> CommandLineArgs();
// Code of the user's interface language (de-DE ...); empty when Windows gives none.
std::wstring GetUserUILanguage();

// What the start options say: the language (empty: none given) and the .cfg file's full name.
struct TStartOptions {
  std::wstring LangCode;
  std::wstring CfgFileName;
};
TStartOptions ParseStartOptions(const std::vector<std::wstring>& args, std::wstring_view cfgFileName,
                                std::wstring_view programDir);
// Replaces %NAME% references by environment values (unset: nothing); a lone "%" ends the scan.
std::wstring ExpandEnvironmentRefs(std::wstring_view value);

// Reads a gettext .mo file (UTF-8 texts); false when it cannot be read or is damaged.
bool ReadMoFile(const std::wstring& fileName, TCatalog& catalog);
// Loads every catalogue of the language below localeDir (code, code with "_", its first part);
// false when there is none. The previous catalogues are dropped.
bool LoadLanguageCatalogs(const std::wstring& localeDir, std::wstring_view code);

}  // namespace hv
