#pragma once
// Most-recently-used lists: THistoryList keeps its newest entry first, at most MaxLen entries,
// can mirror itself into another string list and lives in an INI section ("History0" ...).
// THistoryCombo is a combo box whose list is such a history.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "winui/ListControls.h"

namespace hv {

class TMemIniFile;
class TMenuItem;

class THistoryList {
 public:
  static constexpr int kDefaultMaxLen = 15;

  int Count() const { return static_cast<int>(FItems.size()); }
  const std::vector<std::wstring>& Strings() const { return FItems; }
  const std::wstring& operator[](int index) const { return FItems[static_cast<size_t>(index)]; }
  intptr_t Object(int index) const { return FObjects[static_cast<size_t>(index)]; }
  // Position of the text, ignoring case; -1 when absent.
  int IndexOf(std::wstring_view text) const;

  // An empty text is ignored; else the text moves (or goes) to the top, the newest spelling wins.
  void AddString(std::wstring_view text) { AddStringObject(text, 0); }
  void AddStringObject(std::wstring_view text, intptr_t object);
  void RemString(std::wstring_view text);
  void ClearAll();
  // Empties the history and takes the first MaxLen lines.
  void AssignList(const std::vector<std::wstring>& list);

  int MaxLen() const { return FMaxLen; }
  // 1 ... 100; other values are ignored. A smaller value drops entries from the end.
  void SetMaxLen(int value);

  // Another list that receives the history after its own lines (null: none).
  std::vector<std::wstring>* StrList() const { return FList; }
  void SetStrList(std::vector<std::wstring>* list);

  // A menu whose entries after its own mirror the history ("1 text" ... "F text", "10 text"),
  // behind a separator when it has entries of its own; null: none.
  TMenuItem* Menu() const { return FMenu; }
  void SetMenu(TMenuItem* menu);
  // A second menu that receives copies of the mirrored entries (emptied first).
  TMenuItem* Menu2() const { return FMenu2; }
  void SetMenu2(TMenuItem* menu);
  // Radio entries; the checked one stays checked when the menu is rebuilt.
  bool RadioMenu() const { return FRadioMenu; }
  void SetRadioMenu(bool value);
  // False: an "&" in an entry shows as it stands instead of marking a hot key.
  bool ShowHotKeys() const { return FShowHotKeys; }
  void SetShowHotKeys(bool value);
  // Checks the menu entry of the text; false when it is not in the history.
  bool SelectMenuItem(std::wstring_view text);
  // A mirrored entry was clicked: the menu and the entry's text (or, without it, its index).
  std::function<void(TMenuItem* sender, const std::wstring& entry)> OnAutoItemClick;
  std::function<void(TMenuItem* sender, int index)> OnAutoItemClickIndex;
  // Given to every mirrored entry when set.
  std::function<void(SIZE& size)> OnAutoMeasureItem;
  std::function<void(HDC dc, const RECT& rect, bool selected)> OnAutoDrawItem;

  // Keys "History0" ...; a single blank is stored as "?". erase: the section is removed first.
  void SaveToIni(TMemIniFile& ini, std::wstring_view section, bool erase) const;
  // Writes the file at once, keeping its encoding (a new or ANSI file becomes UTF-16LE with its
  // byte-order mark). Raises EWriteError.
  void SaveToIni(std::wstring_view fileName, std::wstring_view section, bool erase) const;
  // Empties the history, then reads keys 0 ... MaxLen - 1; missing and empty keys are skipped.
  void LoadFromIni(const TMemIniFile& ini, std::wstring_view section);
  void LoadFromIni(std::wstring_view fileName, std::wstring_view section);

 protected:
  // Click on a mirrored entry: checks it and reports the entry its number names.
  virtual void AutoItemClick(TMenuItem& item);

 private:
  void UpdateMirror();
  void RemoveMenuEntries();
  void BuildMenu();
  TMenuItem* FMenu = nullptr;
  TMenuItem* FMenu2 = nullptr;
  size_t MenuSizeBefore = 0;
  bool FRadioMenu = false, FShowHotKeys = true;
  std::wstring FCheckedItem;
  std::vector<std::wstring> FItems;
  std::vector<intptr_t> FObjects;
  int FMaxLen = kDefaultMaxLen;
  std::vector<std::wstring>* FList = nullptr;
  int ListSizeBefore = 0;
};

class THistoryCombo : public TComboBox {
 public:
  THistoryCombo() = default;
  // Saves the history when IniFileName and IniSection are set (errors are dropped: the form is
  // going away).
  ~THistoryCombo() override;
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);

  THistoryList& HistoryList() { return FHistoryList; }
  bool AutoUpdate = true;
  bool EraseSection = false;
  int MaxItems() const { return FHistoryList.MaxLen(); }
  void SetMaxItems(int value) { FHistoryList.SetMaxLen(value); }
  bool Modified() const { return FModified; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value);
  const std::wstring& IniFileName() const { return FIniFileName; }
  const std::wstring& IniSection() const { return FIniSection; }

  void AddItem(std::wstring_view text) { AddItemObject(text, 0); }
  void AddItemObject(std::wstring_view text, intptr_t object);
  void DeleteItem(std::wstring_view text);
  // First entry that begins with the text, ignoring case; -1 when none.
  int FindItem(std::wstring_view text) const;
  // The items become the history: a drop-down list when read-only, else editable.
  void UpdateList();
  void AssignList(const std::vector<std::wstring>& list);
  // Stores both names; loads when the file exists and the section name is not empty.
  void LoadFromIni(std::wstring_view fileName, std::wstring_view section);
  void LoadFromIni(const TMemIniFile& ini, std::wstring_view section);
  void SaveToIni(TMemIniFile& ini, std::wstring_view section, bool erase) const;

  void HandleCommand(WORD code) override;

 private:
  void DoEnter();
  void DoExit();
  THistoryList FHistoryList;
  std::wstring FSaveText, FIniFileName, FIniSection;
  bool FReadOnly = false, FModified = false;
};

}  // namespace hv
