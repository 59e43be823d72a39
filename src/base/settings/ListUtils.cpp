#include "base/settings/ListUtils.h"

#include <windows.h>

#include "base/settings/IniFileUtils.h"
#include "base/text/StringUtils.h"
#include "winui/ListControls.h"

namespace hv {

namespace {

std::wstring PrefixOrDefault(std::wstring_view prefix) {
  return std::wstring(prefix.empty() ? DefaultHistoryPrefix : prefix);
}

int ComboCount(const IHistoryCombo& combo, int count) { return count < 0 ? combo.DropDownCount() : count; }

}  // namespace

TStringList TComboHistory::Items() const { return FCombo.Items(); }
void TComboHistory::SetItems(const TStringList& items) { FCombo.SetItems(items); }
int TComboHistory::DropDownCount() const { return FCombo.DropDownCount(); }
void TComboHistory::SetItemIndex(int index) { FCombo.SetItemIndex(index); }
bool TComboHistory::IsDropDownList() const { return FCombo.IsDropDownList(); }
void TComboHistory::SetDropDownStyle(bool dropDown) {
  FCombo.SetStyle(dropDown ? TComboBoxStyle::csDropDown : TComboBoxStyle::csSimple);
}

int IndexOfText(const TStringList& list, std::wstring_view text) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, list[i].data(), static_cast<int>(list[i].size()),
                       text.data(), static_cast<int>(text.size())) == CSTR_EQUAL)
      return static_cast<int>(i);
  }
  return -1;
}

void LoadHistoryIni(const TMemIniFile& ini, std::wstring_view section, std::wstring_view prefix,
                    TStringList& list, int count, bool swap) {
  if (!ini.SectionExists(section)) return;
  list.clear();
  const std::wstring key = PrefixOrDefault(prefix);
  for (int i = 0; i < count; ++i) {
    std::wstring value = ini.ReadString(section, key + std::to_wstring(i), L"");
    if (value.empty()) continue;
    if (swap) value = ReplaceChar(value, L'#', L'"');
    if (IndexOfText(list, value) < 0) list.push_back(std::move(value));
  }
}

void LoadHistoryFile(std::wstring_view fileName, std::wstring_view section, std::wstring_view prefix,
                     TStringList& list, int count, bool swap) {
  const TMemIniFile ini(fileName);
  LoadHistoryIni(ini, section, prefix, list, count, swap);
}

void LoadHistory(std::wstring_view fileName, std::wstring_view section, std::wstring_view prefix,
                 TStringList& list, bool swap) {
  LoadHistoryFile(fileName, section, prefix, list, DefaultHistoryLength, swap);
}

void LoadHistoryCombo(std::wstring_view fileName, std::wstring_view section, IHistoryCombo& combo, int count,
                      bool swap) {
  TStringList items = combo.Items();
  LoadHistoryFile(fileName, section, L"", items, ComboCount(combo, count), swap);
  combo.SetItems(items);
  if (!items.empty()) combo.SetItemIndex(0);
  if (!combo.IsDropDownList()) combo.SetDropDownStyle(items.size() > 1);
}

void SaveHistoryIni(TMemIniFile& ini, std::wstring_view section, std::wstring_view prefix, bool erase,
                    const TStringList& list, int count, bool swap) {
  const std::wstring key = PrefixOrDefault(prefix);
  if (erase) ini.EraseSection(section);
  const size_t n = count < 0 ? 0 : std::min(static_cast<size_t>(count), list.size());
  for (size_t i = 0; i < n; ++i)
    ini.WriteString(section, key + std::to_wstring(i), swap ? ReplaceChar(list[i], L'"', L'#') : list[i]);
}

void SaveHistoryFile(std::wstring_view fileName, std::wstring_view section, std::wstring_view prefix, bool erase,
                     const TStringList& list, int count, bool swap) {
  TMemIniFile ini(fileName);
  // The suite's files are UTF-16LE: never write them back as ANSI.
  if (ini.Encoding() == TIniEncoding::ieAnsi) ini.SetEncoding(TIniEncoding::ieUtf16LE);
  SaveHistoryIni(ini, section, prefix, erase, list, count, swap);
  ini.UpdateFile();
}

void SaveHistory(std::wstring_view fileName, std::wstring_view section, std::wstring_view prefix, bool erase,
                 const TStringList& list, bool swap) {
  SaveHistoryFile(fileName, section, prefix, erase, list, DefaultHistoryLength, swap);
}

void SaveHistoryCombo(std::wstring_view fileName, std::wstring_view section, bool erase, const IHistoryCombo& combo,
                      int count, bool swap) {
  SaveHistoryFile(fileName, section, L"", erase, combo.Items(), ComboCount(combo, count), swap);
}

void AddToHistoryList(TStringList& list, std::wstring_view text, int max) {
  if (text.empty()) return;
  const int i = IndexOfText(list, text);
  if (i < 0) {
    if (!list.empty() && static_cast<int>(list.size()) >= max) list.pop_back();
    list.insert(list.begin(), std::wstring(text));
    return;
  }
  if (i > 0) {
    std::wstring item = std::move(list[i]);
    list.erase(list.begin() + i);
    list.insert(list.begin(), std::move(item));
  }
  list[0] = text;
}

void AddToHistory(TStringList& list, std::wstring_view text) { AddToHistoryList(list, text, DefaultHistoryLength); }

void AddToHistoryCombo(IHistoryCombo& combo, std::wstring_view text) {
  TStringList items = combo.Items();
  AddToHistoryList(items, text, combo.DropDownCount());
  combo.SetItems(items);
  if (!items.empty()) combo.SetItemIndex(0);
  if (!combo.IsDropDownList()) combo.SetDropDownStyle(items.size() > 1);
}

}  // namespace hv
