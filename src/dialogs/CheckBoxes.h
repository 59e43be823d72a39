#pragma once
// TCheckComboBox: a drop-down list whose items carry check marks ("Long name|Short"); the closed
// box shows the short names of the checked items, the open list toggles an item by click or space
// bar and stays open. TCheckGroupBox: a group box with a check box in its caption that enables or
// disables everything inside it.
#include <windows.h>

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>

#include "winui/ComCtrls.h"
#include "winui/ListControls.h"

namespace hv {

using TSelected = std::bitset<256>;

class TCheckComboBox : public TComboBox {
 public:
  ~TCheckComboBox() override;
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  // Attaches to the current drop-down list again (call before filling the box).
  void Init();

  void SetChecked(int index, bool checked);
  int AddChecked(std::wstring_view text, bool checked);
  bool IsChecked(int index) const;
  void CheckAll(bool checked);
  std::wstring GetLongString(int index) const;
  std::wstring GetShortString(int index) const;

  int DefaultIndex() const { return FDefaultIndex; }
  void SetDefaultIndex(int index);
  // A fixed caption in place of the checked items' short names (empty: none).
  const std::wstring& Caption() const { return FFixedText; }
  void SetCaption(std::wstring_view text);
  const std::wstring& HintPrefix() const { return FHintPrefix; }
  void SetHintPrefix(std::wstring_view text);
  COLORREF ColorFocus() const { return FColorFocus; }
  void SetColorFocus(COLORREF c);
  COLORREF ColorNotFocus() const { return FColorNotFocus; }
  void SetColorNotFocus(COLORREF c);
  int CheckedCount();
  // The text of the closed box (the checked items' short names).
  std::wstring BoxText();

  // Bit i: item i (items 0 ... 31).
  uint32_t Selected();
  void SetSelected(uint32_t mask);
  TSelected SelectedIndexes() const;
  void SetSelectedIndexes(const TSelected& set);

  // Raised by SetChecked, also when the state stays.
  std::function<void()> OnCheckClick;

  void HandleCommand(WORD code) override;

 protected:
  void DrawItem(const DRAWITEMSTRUCT& di) override;

 private:
  static LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT ListMessage(HWND list, UINT msg, WPARAM wp, LPARAM lp);
  void Toggle(HWND list, int index);
  void CalcText();
  void Changed();
  int CheckSize() const;
  HWND FListHandle = nullptr;
  COLORREF FColorFocus = RGB(0xA6, 0xCA, 0xF0);
  COLORREF FColorNotFocus = GetSysColor(COLOR_INFOBK);
  int FDefaultIndex = -1;
  int FCheckedCount = 0;
  std::wstring FFixedText, FHintPrefix, sHint;
  bool bCalcText = true;
};

class TCheckGroupBox : public TGroupBox {
 public:
  void Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent = nullptr);
  TCheckBox CheckBox;
  std::wstring Caption() const { return CheckBox.Text(); }
  void SetCaption(std::wstring_view caption);
  bool Checked() const { return CheckBox.Checked(); }
  // Enables or disables the box's controls.
  void SetChecked(bool value);
  std::function<void()> OnCheckClick;
  // Every control of the box follows the check box; the check box takes the box's hint.
  void Invalidate();

 protected:
  RECT CaptionRect(HDC dc) const override;
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FitCheckBox(HDC dc);
  bool FCreatingCheckBox = false;
};

}  // namespace hv
