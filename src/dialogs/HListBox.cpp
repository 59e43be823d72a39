#include "dialogs/HListBox.h"

#include <windows.h>

#include <algorithm>

#include "base/settings/IniFileUtils.h"
#include "base/settings/ListUtils.h"
#include "winui/Forms.h"
#include "winui/Menus.h"

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
  RemoveMenuEntries();
  if (FMenu2) FMenu2->Clear();
  FItems.clear();
  FObjects.clear();
  if (FList) FList->resize(static_cast<size_t>(std::min<ptrdiff_t>(ListSizeBefore, std::ssize(*FList))));
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
  BuildMenu();
  if (!FList) return;
  FList->resize(static_cast<size_t>(std::min<ptrdiff_t>(ListSizeBefore, std::ssize(*FList))));
  FList->insert(FList->end(), FItems.begin(), FItems.end());
}

void THistoryList::SetMenu(TMenuItem* menu) {
  RemoveMenuEntries();
  FMenu = menu;
  MenuSizeBefore = menu ? menu->Count() : 0;
  BuildMenu();
}

void THistoryList::SetMenu2(TMenuItem* menu) {
  if (FMenu2) FMenu2->Clear();
  FMenu2 = menu;
  BuildMenu();
}

void THistoryList::SetRadioMenu(bool value) {
  if (value == FRadioMenu) return;
  FRadioMenu = value;
  BuildMenu();
}

void THistoryList::SetShowHotKeys(bool value) {
  if (value == FShowHotKeys) return;
  FShowHotKeys = value;
  BuildMenu();
}

// Removes the mirrored entries; the text of a checked one is kept for the rebuild.
void THistoryList::RemoveMenuEntries() {
  if (!FMenu) return;
  FCheckedItem.clear();
  while (FMenu->Count() > MenuSizeBefore) {
    const size_t last = FMenu->Count() - 1;
    TMenuItem& item = FMenu->Items(last);
    if (item.Checked() && !item.IsLine()) {
      const std::wstring& c = item.Caption();
      const size_t blank = c.find(L' ');
      if (blank != std::wstring::npos) {
        std::wstring text = c.substr(blank + 1);
        if (!FShowHotKeys) {
          for (size_t p = text.find(L"&&"); p != std::wstring::npos; p = text.find(L"&&", p + 1)) text.erase(p, 1);
        }
        FCheckedItem = text;
      }
    }
    FMenu->Delete(last);
  }
}

void THistoryList::BuildMenu() {
  if (!FMenu) return;
  std::wstring checked = FCheckedItem;
  RemoveMenuEntries();
  if (FCheckedItem.empty()) FCheckedItem = checked;
  if (MenuSizeBefore > 0 && !FItems.empty()) FMenu->AddSeparator();
  for (size_t i = 0; i < FItems.size(); ++i) {
    wchar_t number[16];
    swprintf(number, std::size(number), L"%X ", static_cast<unsigned>(i + 1));
    std::wstring text = FItems[i];
    if (!FShowHotKeys) {
      for (size_t p = text.find(L'&'); p != std::wstring::npos; p = text.find(L'&', p + 2)) text.insert(p, 1, L'&');
    }
    auto item = std::make_unique<TMenuItem>(std::wstring(number) + text);
    TMenuItem* raw = item.get();
    item->SetEnabled(true);
    item->GroupIndex = 99;
    item->SetRadioItem(FRadioMenu);
    item->OnClick = [this, raw] { AutoItemClick(*raw); };
    if (OnAutoDrawItem) item->OnDrawItem = OnAutoDrawItem;
    if (OnAutoMeasureItem) item->OnMeasureItem = OnAutoMeasureItem;
    FMenu->Add(std::move(item));
    if (FRadioMenu && CompareStringOrdinal(FItems[i].c_str(), -1, FCheckedItem.c_str(), -1, FALSE) == CSTR_EQUAL)
      raw->SetChecked(true);
  }
  FCheckedItem.clear();
  if (!FMenu2) return;
  FMenu2->Clear();
  for (size_t i = MenuSizeBefore; i < FMenu->Count(); ++i) {
    const TMenuItem& from = FMenu->Items(i);
    auto copy = std::make_unique<TMenuItem>(from.Caption());
    TMenuItem* raw = copy.get();
    copy->GroupIndex = from.GroupIndex;
    copy->SetRadioItem(from.RadioItem());
    copy->SetEnabled(from.Enabled());
    copy->SetVisible(from.Visible());
    copy->Hint = from.Hint;
    copy->OnDrawItem = from.OnDrawItem;
    copy->OnMeasureItem = from.OnMeasureItem;
    if (!from.IsLine()) copy->OnClick = [this, raw] { AutoItemClick(*raw); };
    FMenu2->Add(std::move(copy));
    if (from.Checked()) raw->SetChecked(true);
  }
}

bool THistoryList::SelectMenuItem(std::wstring_view text) {
  const int i = IndexOf(text);
  if (i < 0) return false;
  const size_t first = MenuSizeBefore + (MenuSizeBefore > 0 ? 1 : 0);
  if (FMenu && first + static_cast<size_t>(i) < FMenu->Count()) FMenu->Items(first + static_cast<size_t>(i)).SetChecked(true);
  if (FMenu2 && static_cast<size_t>(i) + (MenuSizeBefore > 0 ? 1 : 0) < FMenu2->Count())
    FMenu2->Items(static_cast<size_t>(i) + (MenuSizeBefore > 0 ? 1 : 0)).SetChecked(true);
  return true;
}

void THistoryList::AutoItemClick(TMenuItem& item) {
  item.SetChecked(true);
  std::wstring head = item.Caption().substr(0, item.Caption().find(L' '));
  if (const size_t amp = head.find(L'&'); amp != std::wstring::npos) head.erase(amp, 1);
  const long n = wcstol(head.c_str(), nullptr, 16);
  if (n <= 0 || n > Count()) return;
  // The handler may change the history, which rebuilds the menu and frees this item.
  TMenuItem* sender = FMenu;
  if (OnAutoItemClick) {
    const std::wstring entry = FItems[static_cast<size_t>(n - 1)];
    auto handler = OnAutoItemClick;
    handler(sender, entry);
  } else if (OnAutoItemClickIndex) {
    auto handler = OnAutoItemClickIndex;
    handler(sender, static_cast<int>(n - 1));
  }
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
  TComboBox::Create(form, FReadOnly ? TComboBoxStyle::csDropDownList : TComboBoxStyle::csDropDown, r96, parent);
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
  // An empty history stays editable: the first entry has to be typed.
  bool list = FReadOnly;
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
