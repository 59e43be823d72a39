#pragma once
// Forms and the application object. A form owns its window; it is laid out at 96 dpi and scaled
// to its monitor (per-monitor dpi), runs modally with a modal result, asks before it closes and
// can preview the keys of its controls.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "winui/Controls.h"

namespace hv {

// Modal results: the values of IDOK ... and the extras mrAll, mrNoToAll, mrYesToAll.
enum : int {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
  mrClose = 8, mrHelp = 9, mrAll = 12, mrNoToAll = 13, mrYesToAll = 14
};

// Button kinds that the message boxes offer.
enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp, mbClose };

enum class TPosition { poDesigned, poScreenCenter, poMainFormCenter };
enum class TDefaultMonitor { dmDesktop, dmPrimary, dmMainForm, dmActiveForm };
// bsNone: a borderless pop-up (drop-down lists and the like).
enum class TBorderStyle { bsSizeable, bsDialog, bsToolWindow, bsNone };

// Indices of the rectangles in reading order: top to bottom, left to right within a line; a tall
// rectangle beside several lines comes after those of them that lie left of it.
std::vector<size_t> ReadingOrder(const std::vector<RECT>& rects);

struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

class TForm {
 public:
  TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;
  virtual ~TForm();

  // Creates the (hidden) window, runs FormCreate, translates and lays out. owner: the window
  // that owns this one (null: the application's active or main form; none for the main form).
  void Create(HWND owner = nullptr);
  HWND Handle() const { return FHandle; }
  static TForm* FromHandle(HWND wnd);

  std::wstring Caption() const;
  void SetCaption(std::wstring_view caption);
  UINT Dpi() const { return FDpi; }
  int Scale(int v96) const;
  HFONT Font() const { return FFont.Get(); }

  void Show();
  void Hide();
  bool Visible() const;
  // Asks CloseQuery; a modal form then ends with mrCancel, the main form ends the application,
  // any other form is hidden.
  void Close();
  int ShowModal();
  bool Modal() const { return FModal; }
  int ModalResult = mrNone;

  // Pixels, screen coordinates.
  RECT BoundsRect() const;
  int Left() const { return BoundsRect().left; }
  int Top() const { return BoundsRect().top; }
  int Width() const;
  int Height() const;
  void SetBounds(int left, int top, int width, int height);
  void SetPos(int left, int top);
  void SetClientSize(int width, int height);
  SIZE ClientSize() const;
  HMONITOR Monitor() const;

  // Set before Create (or before showing for Position / DefaultMonitor).
  TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
  TPosition Position = TPosition::poDesigned;
  TDefaultMonitor DefaultMonitor = TDefaultMonitor::dmActiveForm;
  bool KeyPreview = false;
  int ClientWidth96 = 400, ClientHeight96 = 300;
  std::wstring FontName = L"Segoe UI";
  int FontSize = 9;  // points
  // Text domain of the form's texts (empty: the default domain).
  std::wstring TextDomain;

  const std::vector<TControl*>& Controls() const { return FControls; }
  TControl* FocusedControl() const;
  // The control that gets the focus when the form shows (null: the first in the tab order).
  TControl* ActiveControl = nullptr;
  TButton* DefaultButton() const;
  TButton* CancelButton() const;
  // Translates caption, control texts and hints (fonts are never translated).
  void Translate();
  // Puts the child windows of every container into reading order by their places, which makes
  // it the tab order; Create does it once after the layout unless ReadingTabOrder is false.
  void ArrangeTabOrder();
  bool ReadingTabOrder = true;
  // Sets a control's design rectangle to pixels for the dpi; override for measured layouts.
  virtual void Relayout(UINT dpi);

  // Called with every message for a window of the form before dispatch; true when handled.
  bool PreTranslateMessage(MSG& msg);

 protected:
  // Builds the controls; the form is then translated and laid out.
  virtual void FormCreate() {}
  virtual void FormShow() {}
  virtual bool CloseQuery() { return true; }
  virtual void FormClose() {}
  // Key preview; true when the key was handled. F1 runs FormHelp, F11 shows the hint of the
  // focused control through the application.
  virtual bool FormKeyDown(WORD key, bool shift, bool ctrl, bool alt);
  virtual bool FormHelp() { return false; }
  // The help text of a control for F11 (its hint by default).
  virtual std::wstring ControlHelpText(TControl& control) { return control.Hint; }

  virtual bool OnCommand(WORD id, WORD code, HWND ctl) { return false; }
  virtual bool OnNotify(const NMHDR& nm, LRESULT& result) { return false; }
  virtual void OnSize(int width, int height) {}
  virtual void OnDpiChanged(UINT dpi, const RECT& suggested);
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(FHandle, msg, wp, lp); }

 private:
  friend class TControl;
  static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM);
  void RegisterControl(TControl* c);
  void UnregisterControl(TControl* c);
  void RebuildFont();
  void ApplyPosition();
  bool HandleDialogKey(MSG& msg);
  LRESULT ColorMessage(UINT msg, HDC dc, HWND ctl);
  void DrawDarkButton(const DRAWITEMSTRUCT& di);
  LRESULT DrawDarkCheck(const NMHDR& nm, bool radio);  // NM_CUSTOMDRAW

  HWND FHandle = nullptr;
  HWND FLastFocus = nullptr;
  TFontHandle FFont;
  UINT FDpi = 96;
  bool FModal = false;
  bool FCreating = false;
  std::vector<TControl*> FControls;
};

class TApplication {
 public:
  // Common controls and dpi awareness; the calling thread runs the message loop.
  void Initialize();
  bool MainFormOnTaskBar = true;
  bool ShowMainForm = true;
  int Tag = 0;

  // Creates a form owned by the application; the first becomes the main form.
  template <class T, class... A>
  T& CreateForm(A&&... args) {
    auto form = std::make_unique<T>(std::forward<A>(args)...);
    T& ref = *form;
    FForms.push_back(std::move(form));
    if (!FMainForm) FMainForm = &ref;
    ref.Create();
    return ref;
  }
  // A form the application keeps until the program ends, made hidden on first use (its window owned
  // by the main form, so no dialog that goes away takes it along). DestroyForms frees kept forms
  // before the forms made at start, while the main form still stands.
  template <class T>
  T& KeepForm() {
    if (T* kept = KeptForm<T>()) return *kept;
    auto form = std::make_unique<T>();
    form->Create(FMainForm && FMainForm->Handle() ? FMainForm->Handle() : OwnerWindow());
    T& ref = *form;
    FForms.push_back(std::move(form));
    return ref;
  }
  // The kept form of class T; null before its first use.
  template <class T>
  T* KeptForm() const {
    for (const auto& f : FForms)
      if (typeid(*f) == typeid(T)) return static_cast<T*>(f.get());
    return nullptr;
  }
  TForm* MainForm() const { return FMainForm; }
  // The form of the active window, else the main form.
  TForm* ActiveForm() const;
  // The window that owns new dialogs.
  HWND OwnerWindow() const;

  // Shows the main form unless told not to, then runs the message loop until Terminate.
  void Run();
  void ProcessMessages();
  // Handles one message; false when it was WM_QUIT.
  bool HandleMessage();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Frees the forms it owns, newest first (kept forms, then the main form last).
  void DestroyForms();
  // Resets the state for the next test.
  void Reset();

  // Shows a help text (F11 on a form); set by the start-up code.
  std::function<void(const std::wstring&)> OnShowHint;

  // Reports the exception being handled (call it in a catch block) or a message, once: on the
  // thread of the message loop through OnException, else (another thread, no window may be
  // shown, the application terminated, or while a report is open) through OnLog. Never throws.
  void HandleException() noexcept;
  void HandleException(const std::wstring& message) noexcept;
  // Shows an error (the suite's message box, set by the start-up code); without it: OnLog.
  std::function<void(const std::wstring&)> OnException;
  // Writes a line to the program's log; without it the text goes to the debugger output.
  std::function<void(const std::wstring&)> OnLog;
  // False while no window may be shown (unattended runs): errors go to the log.
  bool ShowErrorDialogs = true;

 private:
  void Dispatch(MSG& msg);
  void LogError(const std::wstring& message) noexcept;
  std::vector<std::unique_ptr<TForm>> FForms;
  DWORD FMainThread = GetCurrentThreadId();
  bool FReporting = false;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
};

TApplication& Application();

}  // namespace hv
