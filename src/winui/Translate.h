#pragma once
// Run-time translation of the suite's texts. The English text is the msgid; without a catalogue
// (or without an entry in it) the English text is returned unchanged.
// Catalogues are set once at start-up (see LangUtils) and only read afterwards.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace hv {

// msgid -> translation of one text domain.
using TCatalog = std::unordered_map<std::wstring, std::wstring>;

// Translated text of msgid: the default domain first, then the resource-string domains in the
// order they were added.
std::wstring _(std::wstring_view msgid);
// Translated text of msgid in one domain only.
std::wstring DGetText(std::wstring_view domain, std::wstring_view msgid);

// The program's own domain (the default one).
void SetDefaultTextDomain(std::wstring_view domain);
const std::wstring& DefaultTextDomain();
// Further domains searched by _(); one already present is not added twice.
void AddDomainForResourceString(std::wstring_view domain);
const std::vector<std::wstring>& ResourceStringDomains();

// The catalogue of a domain (replaces an earlier one); ClearCatalogs drops all of them.
void SetCatalog(std::wstring_view domain, TCatalog catalog);
void ClearCatalogs();
// The language whose catalogues are loaded (empty: none).
void SetCurrentLanguage(std::wstring_view code);
const std::wstring& CurrentLanguage();

}  // namespace hv
