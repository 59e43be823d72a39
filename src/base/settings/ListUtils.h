#pragma once
// Histories (most-recently-used lists of texts) in INI sections, string lists and combo boxes.
#include <string>
#include <string_view>
#include <vector>

namespace hv {

class TMemIniFile;
class TComboBox;

inline constexpr int DefaultHistoryLength = 50;
inline constexpr std::wstring_view DefaultHistoryPrefix = L"History";

using TStringList = std::vector<std::wstring>;

// What the history functions need of a combo box.
class IHistoryCombo {
 public:
  virtual ~IHistoryCombo() = default;
  virtual TStringList Items() const = 0;
  virtual void SetItems(const TStringList& items) = 0;
  virtual int DropDownCount() const = 0;
  virtual void SetItemIndex(int index) = 0;
  virtual bool IsDropDownList() const = 0;
  // true: drop-down style, false: simple style.
  virtual void SetDropDownStyle(bool dropDown) = 0;
};

// The history functions on winui's combo box (it must outlive the adapter).
class TComboHistory : public IHistoryCombo {
 public:
  explicit TComboHistory(TComboBox& combo) : FCombo(combo) {}
  TStringList Items() const override;
  void SetItems(const TStringList& items) override;
  int DropDownCount() const override;
  void SetItemIndex(int index) override;
  bool IsDropDownList() const override;
  void SetDropDownStyle(bool dropDown) override;

 private:
  TComboBox& FCombo;
};

// Position of text in list, compared without regard to case; -1 when absent.
int IndexOfText(const TStringList& list, std::wstring_view text);

// Keys prefix + 0 ... count - 1; a missing section leaves list as it is. swap turns "#" into '"'.
void LoadHistoryIni(const TMemIniFile& ini, std::wstring_view section, std::wstring_view prefix,
                    TStringList& list, int count, bool swap);
void LoadHistoryFile(std::wstring_view fileName, std::wstring_view section, std::wstring_view prefix,
                     TStringList& list, int count, bool swap);
void LoadHistory(std::wstring_view fileName, std::wstring_view section, std::wstring_view prefix,
                 TStringList& list, bool swap);
// count < 0: the combo's drop-down count.
void LoadHistoryCombo(std::wstring_view fileName, std::wstring_view section, IHistoryCombo& combo, int count,
                      bool swap);

void SaveHistoryIni(TMemIniFile& ini, std::wstring_view section, std::wstring_view prefix, bool erase,
                    const TStringList& list, int count, bool swap);
// Writes the file back in its own Unicode encoding (UTF-16LE for a new or ANSI file). Raises EWriteError.
void SaveHistoryFile(std::wstring_view fileName, std::wstring_view section, std::wstring_view prefix, bool erase,
                     const TStringList& list, int count, bool swap);
void SaveHistory(std::wstring_view fileName, std::wstring_view section, std::wstring_view prefix, bool erase,
                 const TStringList& list, bool swap);
void SaveHistoryCombo(std::wstring_view fileName, std::wstring_view section, bool erase, const IHistoryCombo& combo,
                      int count, bool swap);

// Puts text at the top (newest spelling wins); drops the last item when a new text meets a full list.
void AddToHistoryList(TStringList& list, std::wstring_view text, int max);
void AddToHistory(TStringList& list, std::wstring_view text);
void AddToHistoryCombo(IHistoryCombo& combo, std::wstring_view text);

}  // namespace hv
