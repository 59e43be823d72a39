#include "winui/Translate.h"

#include <map>

namespace hv {
namespace {

struct TState {
  std::wstring DefaultDomain = L"default";
  std::vector<std::wstring> Domains;
  std::map<std::wstring, TCatalog, std::less<>> Catalogs;
  std::wstring Language;
};

TState& State() {
  static TState s;
  return s;
}

const std::wstring* Find(std::wstring_view domain, std::wstring_view msgid) {
  auto& cats = State().Catalogs;
  auto c = cats.find(domain);
  if (c == cats.end()) return nullptr;
  auto e = c->second.find(std::wstring(msgid));
  if (e == c->second.end() || e->second.empty()) return nullptr;
  return &e->second;
}

}  // namespace

std::wstring _(std::wstring_view msgid) {
  if (msgid.empty()) return {};
  if (auto t = Find(State().DefaultDomain, msgid)) return *t;
  for (const auto& d : State().Domains)
    if (auto t = Find(d, msgid)) return *t;
  return std::wstring(msgid);
}

std::wstring DGetText(std::wstring_view domain, std::wstring_view msgid) {
  if (msgid.empty()) return {};
  if (auto t = Find(domain, msgid)) return *t;
  return std::wstring(msgid);
}

void SetDefaultTextDomain(std::wstring_view domain) { State().DefaultDomain = domain; }
const std::wstring& DefaultTextDomain() { return State().DefaultDomain; }

void AddDomainForResourceString(std::wstring_view domain) {
  auto& ds = State().Domains;
  for (const auto& d : ds)
    if (d == domain) return;
  ds.emplace_back(domain);
}
const std::vector<std::wstring>& ResourceStringDomains() { return State().Domains; }

void SetCatalog(std::wstring_view domain, TCatalog catalog) {
  State().Catalogs[std::wstring(domain)] = std::move(catalog);
}
void ClearCatalogs() { State().Catalogs.clear(); }

void SetCurrentLanguage(std::wstring_view code) { State().Language = code; }
const std::wstring& CurrentLanguage() { return State().Language; }

}  // namespace hv
