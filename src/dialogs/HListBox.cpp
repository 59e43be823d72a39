#include "dialogs/HListBox.h"

#include <windows.h>

#include <algorithm>

#include "base/settings/IniFileUtils.h"
#include "base/settings/ListUtils.h"
#include "winui/Forms.h"

namespace hv {
namespace {

constexpr std::wstring_view kKey = L"History";
constexpr std::wstring_view kBlank = L" ", kBlankMark = L"?";

bool StartsText(std::wstring_view s, std::wstring_view prefix) {
  if (prefix.size() > s.size()) return false;
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, s.data(), static_cast<int>(prefix.size()),
                        prefix.data(), static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

}  // namespace

// --- THistoryList

int THistoryList::IndexOf(std::wstring_view text) const { return IndexOfText(FItems, text); }

void THistoryList::AddStringObject(std::wstring_view text, intptr_t object) {
  if (text.empty()) return;
  if (int i = IndexOf(text); i >= 0) {
    FItems.erase(FItems.begin() + i);
    FObjects.erase(FObjects.begin() + i);
  }
  FItems.insert(FItems.begin(), std::wstring(text));
  FObjects.insert(FObjects.begin(), object);
  if (Count() > FMaxLen) {
    FItems.pop_back();
    FObjects.pop_back();
  }
  UpdateMirror();
}

void THistoryList::RemString(std::wstring_view text) {
  int i = IndexOf(text);
  if (i < 0) return;
  FItems.erase(FItems.begin() + i);
  FObjects.erase(FObjects.begin() + i);
  UpdateMirror();
}

void THistoryList::ClearAll() {
  FItems.clear();
  FObjects.clear();
  UpdateMirror();
}

void THistoryList::AssignList(const std::vector<std::wstring>& list) {
  FItems.assign(list.begin(), list.begin() + std::min<ptrdiff_t>(std::ssize(list), FMaxLen));
  FObjects.assign(FItems.size(), 0);
  UpdateMirror();
}

void THistoryList::SetMaxLen(int value) {
  if (value < 1 || value > 100) return;
  FMaxLen = value;
  if (Count() > value) {
    FItems.resize(static_cast<size_t>(value));
    FObjects.resize(static_cast<size_t>(value));
    UpdateMirror();
  }
}

void THistoryList::SetStrList(std::vector<std::wstring>* list) {
  if (FList) FList->resize(static_cast<size_t>(std::min<ptrdiff_t>(ListSizeBefore, std::ssize(*FList))));
  FList = list;
  ListSizeBefore = list ? static_cast<int>(list->size()) : 0;
  UpdateMirror();
}

void THistoryList::UpdateMirror() {
  if (!FList) return;
  FList->resize(static_cast<size_t>(std::min<ptrdiff_t>(ListSizeBefore, std::ssize(*FList))));
  FList->insert(FList->end(), FItems.begin(), FItems.end());
}

void THistoryList::SaveToIni(TMemIniFile& ini, std::wstring_view section, bool erase) const {
  if (erase) ini.EraseSection(section);
  for (int i = 0; i < Count(); ++i) {
    const std::wstring& s = FItems[static_cast<size_t>(i)];
    ini.WriteString(section, std::wstring(kKey) + std::to_wstring(i), s == kBlank ? kBlankMark : s);
  }
}

void THistoryList::SaveToIni(std::wstring_view fileName, std::wstring_view section, bool erase) const {
  TMemIniFile ini(fileName);
  if (ini.Encoding() == TIniEncoding::ieAnsi) ini.SetEncoding(TIniEncoding::ieUtf16LE);
  SaveToIni(ini, section, erase);
  ini.UpdateFile();
}

void THistoryList::LoadFromIni(const TMemIniFile& ini, std::wstring_view section) {
  FItems.clear();
  FObjects.clear();
  for (int i = 0; i < FMaxLen; ++i) {
    std::wstring s = ini.ReadString(section, std::wstring(kKey) + std::to_wstring(i), L"");
    if (s.empty()) continue;
    if (s == kBlankMark) s = kBlank;
    if (IndexOf(s) >= 0) continue;
    FItems.push_back(std::move(s));
    FObjects.push_back(0);
  }
  UpdateMirror();
}

void THistoryList::LoadFromIni(std::wstring_view fileName, std::wstring_view section) {
  const TMemIniFile ini(fileName);
  LoadFromIni(ini, section);
}

// --- THistoryCombo

void THistoryCombo::Create(TForm& form, const TRect96& r96, HWND parent) {
  TComboBox::Create(form, TComboBoxStyle::csDropDownList, r96, parent);
}

THistoryCombo::~THistoryCombo() {
  if (FIniFileName.empty() || FIniSection.empty()) return;
  try {
    FHistoryList.SaveToIni(FIniFileName, FIniSection, EraseSection);
  } catch (...) {
    Application().HandleException();  // a destructor cannot raise: the history is reported lost
  }
}

void THistoryCombo::SetReadOnly(bool value) {
  if (value == FReadOnly) return;
  FReadOnly = value;
  UpdateList();
}

void THistoryCombo::AddItemObject(std::wstring_view text, intptr_t object) {
  FHistoryList.AddStringObject(text, object);
  UpdateList();
}

void THistoryCombo::DeleteItem(std::wstring_view text) {
  FHistoryList.RemString(text);
  UpdateList();
}

int THistoryCombo::FindItem(std::wstring_view text) const {
  for (int i = 0; i < FHistoryList.Count(); ++i)
    if (StartsText(FHistoryList[i], text)) return i;
  return -1;
}

void THistoryCombo::UpdateList() {
  if (!Handle()) return;
  std::wstring text = Text();
  bool list = FHistoryList.Count() == 0 || FReadOnly;
  SetStyle(list ? TComboBoxStyle::csDropDownList : TComboBoxStyle::csDropDown);
  Clear();
  for (int i = 0; i < FHistoryList.Count(); ++i) Add(FHistoryList[i], FHistoryList.Object(i));
  if (list)
    SetItemIndex(IndexOf(text));
  else
    SetText(text);
}

void THistoryCombo::AssignList(const std::vector<std::wstring>& list) {
  FHistoryList.AssignList(list);
  UpdateList();
}

void THistoryCombo::LoadFromIni(std::wstring_view fileName, std::wstring_view section) {
  FIniFileName = fileName;
  FIniSection = section;
  DWORD attr = GetFileAttributesW(FIniFileName.c_str());
  if (section.empty() || attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) return;
  FHistoryList.LoadFromIni(fileName, section);
  UpdateList();
}

void THistoryCombo::LoadFromIni(const TMemIniFile& ini, std::wstring_view section) {
  FHistoryList.LoadFromIni(ini, section);
  UpdateList();
}

void THistoryCombo::SaveToIni(TMemIniFile& ini, std::wstring_view section, bool erase) const {
  FHistoryList.SaveToIni(ini, section, erase);
}

void THistoryCombo::DoEnter() {
  if (!FModified) FSaveText = Text();
}

void THistoryCombo::DoExit() {
  std::wstring text = Text();
  FModified = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.data(), static_cast<int>(text.size()),
                             FSaveText.data(), static_cast<int>(FSaveText.size())) != CSTR_EQUAL;
  if (AutoUpdate) {
    FHistoryList.AddString(text);
    UpdateList();
  }
}

void THistoryCombo::HandleCommand(WORD code) {
  if (code == CBN_SETFOCUS) DoEnter();
  TComboBox::HandleCommand(code);
  if (code == CBN_KILLFOCUS) DoExit();
}

}  // namespace hv
