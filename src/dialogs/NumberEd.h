#pragma once
// Numeric input: TNumberEdit shows a 64-bit value in decimal, hexadecimal, octal or binary and
// refuses keys that cannot belong to it; TRangeEdit keeps the value inside a range; TNumUpDown
// is a pair of small up/down buttons beside such an edit.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/text/ExtSysUtils.h"
#include "base/text/NumberUtils.h"
#include "winui/Controls.h"

namespace hv {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A range edit left with a value outside its range.
class EUserRangeError : public Exception {
 public:
  using Exception::Exception;
};

class TCustomNumEdit : public TEdit {
 public:
  // Set before Create.
  TAlignment Alignment = TAlignment::taLeftJustify;
  bool AutoSelect = true;
  // Used in messages.
  std::wstring Name;

  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  virtual bool IsValidChar(wchar_t key) { return true; }
  virtual void IncrementValue(int32_t delta) {}
  void HandleCommand(WORD code) override;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;
  virtual void DoEnter();
  virtual void DoExit() {}
  virtual void DoKeyUp() {}
};

class TNumberEdit : public TCustomNumEdit {
 public:
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);

  // Reads the text (a piece that does not convert beeps, counts 0 and sets CheckError).
  int64_t Value();
  virtual void SetValue(int64_t value);
  bool CheckError() const { return FConvertError; }

  int Bits() const { return FBits; }
  void SetBits(int bits);  // 0 means 32
  int Digits() const { return FDigits; }
  void SetDigits(int digits);
  bool Prefix() const { return FPrefix; }
  void SetPrefix(bool value);
  bool Bytes() const { return FBytes; }
  void SetBytes(bool value);
  int GroupDigits() const { return FGroupDigits; }
  void SetGroupDigits(int value);
  TNumMode NumMode() const { return FNumMode; }
  // Also the input mode.
  void SetNumMode(TNumMode mode);
  TNumMode InputMode() const { return FInpNumMd; }

  bool IsValidChar(wchar_t key) override;
  void IncrementValue(int32_t delta) override { SetValue(FValue + delta); }

  // The text of a value in the edit's mode (pure: no window needed).
  std::wstring ValueText(int64_t value) const;

 protected:
  void DoExit() override { SetValue(Value()); }
  void DoKeyUp() override { FValue = Value(); }
  TNumMode ModeOfText(std::wstring_view text) const;
  int64_t FValue = 0;
  bool FConvertError = false;

 private:
  template <class T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    SetValue(FValue);
  }
  int FBits = 32, FDigits = 0, FGroupDigits = 0;
  bool FPrefix = true, FBytes = false;
  TNumMode FNumMode = TNumMode::nmDecimal, FInpNumMd = TNumMode::nmDecimal;
};

class TRangeEdit : public TNumberEdit {
 public:
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  int64_t MinValue() const { return FMinValue; }
  void SetMinValue(int64_t v);
  int64_t MaxValue() const { return FMaxValue; }
  void SetMaxValue(int64_t v);
  bool RangeCheck = true;
  bool RangeError() const { return FRangeError; }
  // Clamped into the range unless both bounds are equal.
  void SetValue(int64_t value) override;
  // "Range check error (min .. max)" in the edit's mode.
  std::wstring RangeErrorText() const;
  // Leaving the edit with a value outside the range puts the focus back and reports the error
  // here (by default in an error box).
  std::function<void(const EUserRangeError&)> OnRangeError;

 protected:
  void DoExit() override;
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  int64_t FMinValue = 0, FMaxValue = 100;
  bool FRangeError = false;
};

enum class TUDAlignButton { udLeft, udRight };

class TNumUpDown : public TPanel {
 public:
  static constexpr TRect96 kDefaultBounds{0, 0, 16, 21};
  ~TNumUpDown() override;
  // Set before Create.
  bool TabStop = false;
  std::wstring Name;
  void Create(TForm& form, const TRect96& r96 = kDefaultBounds, HWND parent = nullptr);

  TCustomNumEdit* Associate() const { return FAssociate; }
  // Raises Exception when another up/down of the same parent is attached to the edit; an edit of
  // another parent is not attached.
  void SetAssociate(TCustomNumEdit* edit);
  TUDAlignButton AlignButton() const { return FAlignButton; }
  void SetAlignButton(TUDAlignButton value);
  int32_t Increment = 1;
  std::function<void()> OnUpClick, OnDownClick;
  void ClickUp();
  void ClickDown();
  // The halves in client pixels.
  RECT UpRect() const;
  RECT DownRect() const;

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Place();
  void Paint(HDC dc);
  TCustomNumEdit* FAssociate = nullptr;
  TUDAlignButton FAlignButton = TUDAlignButton::udRight;
  bool FUpDown = false, FDownDown = false;
};

}  // namespace hv
