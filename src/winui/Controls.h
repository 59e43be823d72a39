#pragma once
// Thin wrappers over the Win32 controls that the forms use. A wrapper borrows its HWND (the
// form owns the windows); it is subclassed with its object in dwRefData and carries the control's
// design rectangle at 96 dpi, its hint and whether its text is translated with the form.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "winui/Handles.h"

namespace hv {

class TForm;

// Registers a window class of the program: arrow cursor, the procedure, class style and icon given.
// True also when the class exists already.
bool RegisterWindowClass(const wchar_t* name, WNDPROC proc = DefWindowProcW, UINT style = 0, HICON icon = nullptr);

// Design rectangle at 96 dpi, relative to the parent's client area.
struct TRect96 {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

class TControl {
 public:
  TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;
  virtual ~TControl();

  HWND Handle() const { return FHandle; }
  TForm* Form() const { return FForm; }
  // The object of a subclassed control window, nullptr for other windows.
  static TControl* FromHandle(HWND wnd);

  std::wstring Text() const;
  void SetText(std::wstring_view text);
  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  void SetFocus();
  bool Focused() const;
  // Pixels, relative to the parent's client area.
  void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const;

  TRect96 Bounds96;
  std::wstring Hint;
  bool TranslateText = true;  // false for data such as the text of an edit
  intptr_t Tag = 0;

  // Called by the parent for WM_COMMAND / WM_NOTIFY of this control.
  virtual void HandleCommand(WORD code) {}
  virtual bool HandleNotify(const NMHDR& nm, LRESULT& result) { return false; }
  // Called by the parent for WM_DRAWITEM of an owner-drawn control; true when drawn.
  virtual bool HandleDrawItem(const DRAWITEMSTRUCT& di) { return false; }

 protected:
  // Creates the window as a child of parent (the form's client area when parent is null).
  void CreateWnd(TForm& form, HWND parent, const wchar_t* cls, std::wstring_view text, DWORD style,
                 DWORD exStyle, const TRect96& r96);
  virtual LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefProc(UINT msg, WPARAM wp, LPARAM lp);

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void Unlink();
  HWND FHandle = nullptr;
  TForm* FForm = nullptr;
};

class TButton : public TControl {
 public:
  void Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent = nullptr);
  // Modal result given to the form when clicked (0: none).
  int ModalResult = 0;
  // Answers Enter / Escape in the form.
  void SetDefault(bool value);
  bool Default() const { return FDefault; }
  bool Cancel = false;
  void Click();  // as BM_CLICK does
  std::function<void()> OnClick;
  void HandleCommand(WORD code) override;

 private:
  bool FDefault = false;
};

class TCheckBox : public TControl {
 public:
  void Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent = nullptr);
  bool Checked() const;
  void SetChecked(bool value);
  std::function<void()> OnClick;
  void HandleCommand(WORD code) override;
};

class TLabel : public TControl {
 public:
  // noPrefix: "&" is shown as it stands (messages); else it marks the mnemonic.
  void Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent = nullptr,
              bool noPrefix = false, bool tabStop = false);
};

class TEdit : public TControl {
 public:
  void Create(TForm& form, std::wstring_view text, const TRect96& r96, HWND parent = nullptr,
              bool readOnly = false);
  bool ReadOnly() const;
  void SetReadOnly(bool value);
  std::function<void()> OnChange;
  void HandleCommand(WORD code) override;
};

// A plain container: forwards the notifications of its children to the form.
class TPanel : public TControl {
 public:
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);

 protected:
  LRESULT ControlProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// An icon in a static control; the icon is destroyed with the wrapper.
class TImage : public TControl {
 public:
  void Create(TForm& form, const TRect96& r96, HWND parent = nullptr);
  // One of the system icons (IDI_WARNING ...) at the control's current size.
  void SetSystemIcon(const wchar_t* id);

 private:
  TIconHandle FIcon;
};

// A timer of the thread's message loop (no window needed).
class TTimer {
 public:
  TTimer() = default;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;
  ~TTimer();
  void SetInterval(UINT ms);
  UINT Interval() const { return FInterval; }
  void SetEnabled(bool value);
  bool Enabled() const { return FId != 0; }
  std::function<void()> OnTimer;

 private:
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD);
  UINT FInterval = 1000;
  UINT_PTR FId = 0;
};

}  // namespace hv
