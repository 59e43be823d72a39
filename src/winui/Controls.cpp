#include "winui/Controls.h"

#include <commctrl.h>

#include <map>

#include "winui/Dpi.h"
#include "winui/Forms.h"
#include "winui/Styles.h"

namespace hv {
namespace {

constexpr UINT_PTR kSubclassId = 0x4856;  // "HV"
constexpr const wchar_t* kControlProp = L"HvControl";

}  // namespace

TControl::~TControl() { Unlink(); }

void TControl::Unlink() {
  if (FHandle) {
    RemoveWindowSubclass(FHandle, SubclassProc, kSubclassId);
    RemovePropW(FHandle, kControlProp);
    RemovePropW(FHandle, kDefaultButtonProp);
    RemovePropW(FHandle, kScrollStateProp);
    if (FForm) FForm->UnregisterControl(this);
    FHandle = nullptr;
  }
}

TControl* TControl::FromHandle(HWND wnd) {
  return wnd ? static_cast<TControl*>(GetPropW(wnd, kControlProp)) : nullptr;
}

void TControl::CreateWnd(TForm& form, HWND parent, const wchar_t* cls, std::wstring_view text, DWORD style,
                         DWORD exStyle, const TRect96& r96) {
  Unlink();
  FForm = &form;
  Bounds96 = r96;
  UINT dpi = form.Dpi();
  FHandle = CreateWindowExW(exStyle, cls, std::wstring(text).c_str(), style | WS_CHILD, Scale(r96.Left, dpi),
                            Scale(r96.Top, dpi), Scale(r96.Width, dpi), Scale(r96.Height, dpi),
                            parent ? parent : form.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!FHandle) return;
  SetWindowSubclass(FHandle, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  SetPropW(FHandle, kControlProp, this);
  SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(form.Font()), FALSE);
  form.RegisterControl(this);
}

LRESULT CALLBACK TControl::SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  auto* self = reinterpret_cast<TControl*>(ref);
  if (msg == WM_NCDESTROY) {
    LRESULT r = DefSubclassProc(wnd, msg, wp, lp);
    self->Unlink();
    return r;
  }
  try {
    LRESULT r = self->ControlProc(msg, wp, lp);
    if (msg == WM_NCPAINT)
      TStyleManager::PaintNonClient(wnd);
    else
      TStyleManager::RefreshScrollBars(wnd, msg);
    if (msg == WM_PAINT && !TStyleManager::IsSystemStyle()) {
      wchar_t cls[16];
      if (GetClassNameW(wnd, cls, static_cast<int>(std::size(cls))) && lstrcmpiW(cls, L"ComboBox") == 0)
        TStyleManager::PaintComboFrame(wnd);
    }
    return r;
  } catch (...) {
    Application().HandleException();
    return 0;
  }
}

LRESULT TControl::ControlProc(UINT msg, WPARAM wp, LPARAM lp) { return DefProc(msg, wp, lp); }
LRESULT TControl::DefProc(UINT msg, WPARAM wp, LPARAM lp) { return DefSubclassProc(FHandle, msg, wp, lp); }

std::wstring TControl::Text() const {
  int n = GetWindowTextLengthW(FHandle);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(FHandle, s.data(), n + 1);
  s.resize(static_cast<size_t>(n));
  return s;
}

void TControl::SetText(std::wstring_view text) { SetWindowTextW(FHandle, std::wstring(text).c_str()); }
bool TControl::Visible() const { return FHandle && (GetWindowLongW(FHandle, GWL_STYLE) & WS_VISIBLE); }
void TControl::SetVisible(bool visible) { ShowWindow(FHandle, visible ? SW_SHOWNA : SW_HIDE); }
bool TControl::Enabled() const { return FHandle && IsWindowEnabled(FHandle); }
void TControl::SetEnabled(bool enabled) { EnableWindow(FHandle, enabled); }
void TControl::SetFocus() { ::SetFocus(FHandle); }
bool TControl::Focused() const { return FHandle && GetFocus() == FHandle; }
void TControl::SetBounds(int left, int top, int width, int height) {
  SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}
RECT TControl::BoundsRect() const {
  RECT r{};
  GetWindowRect(FHandle, &r);
  MapWindowPoints(nullptr, GetParent(FHandle), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// --- TButton

void TButton::Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent) {
  CreateWnd(form, parent, WC_BUTTONW, caption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, r96);
}

void TButton::SetDefault(bool value) {
  FDefault = value;
  if (value)
    SetPropW(Handle(), kDefaultButtonProp, reinterpret_cast<HANDLE>(1));
  else
    RemovePropW(Handle(), kDefaultButtonProp);
  if ((GetWindowLongW(Handle(), GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW)
    InvalidateRect(Handle(), nullptr, TRUE);
  else
    SendMessageW(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() { SendMessageW(Handle(), BM_CLICK, 0, 0); }

void TButton::HandleCommand(WORD code) {
  if (code != BN_CLICKED) return;
  if (OnClick) OnClick();
  if (ModalResult != mrNone && Form()) Form()->ModalResult = ModalResult;
}

// --- TCheckBox

void TCheckBox::Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent) {
  CreateWnd(form, parent, WC_BUTTONW, caption, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, r96);
}
bool TCheckBox::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TCheckBox::SetChecked(bool value) { SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0); }
void TCheckBox::HandleCommand(WORD code) {
  if (code == BN_CLICKED && OnClick) OnClick();
}

// --- TLabel

void TLabel::Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent, bool noPrefix,
                    bool tabStop) {
  CreateWnd(form, parent, WC_STATICW, caption,
            WS_VISIBLE | SS_LEFT | (noPrefix ? SS_NOPREFIX : 0) | (tabStop ? WS_TABSTOP : 0), 0, r96);
}

// --- TEdit

void TEdit::Create(TForm& form, std::wstring_view text, const TRect96& r96, HWND parent, bool readOnly) {
  TranslateText = false;
  CreateWnd(form, parent, WC_EDITW, text, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | (readOnly ? ES_READONLY : 0),
            WS_EX_CLIENTEDGE, r96);
}
bool TEdit::ReadOnly() const { return GetWindowLongW(Handle(), GWL_STYLE) & ES_READONLY; }
void TEdit::SetReadOnly(bool value) { SendMessageW(Handle(), EM_SETREADONLY, value, 0); }
void TEdit::HandleCommand(WORD code) {
  if (code == EN_CHANGE && OnChange) OnChange();
}

bool RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style, HICON icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = icon;
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// --- TPanel

void TPanel::Create(TForm& form, const TRect96& r96, HWND parent) {
  static const bool registered = RegisterWindowClass(L"HvPanel");
  (void)registered;
  TranslateText = false;
  CreateWnd(form, parent, L"HvPanel", L"", WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
            r96);
}

LRESULT TPanel::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      return SendMessageW(GetParent(Handle()), msg, wp, lp);
    case WM_ERASEBKGND:
      return SendMessageW(Form()->Handle(), msg, wp, lp);
  }
  return DefProc(msg, wp, lp);
}

// --- TImage

void TImage::Create(TForm& form, const TRect96& r96, HWND parent) {
  TranslateText = false;
  CreateWnd(form, parent, WC_STATICW, L"", WS_VISIBLE | SS_ICON | SS_REALSIZECONTROL, 0, r96);
}

void TImage::SetSystemIcon(const wchar_t* id) {
  RECT r{};
  GetClientRect(Handle(), &r);
  using Fn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
  static const Fn scaleDown = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "LoadIconWithScaleDown")));
  TIconHandle icon;  // LoadIconWithScaleDown gives an icon of our own, LoadImageW a shared one
  if (!scaleDown || FAILED(scaleDown(nullptr, id, r.right, r.bottom, icon.Put()))) {
    icon.Reset();
    if (auto shared = static_cast<HICON>(LoadImageW(nullptr, id, IMAGE_ICON, r.right, r.bottom, LR_SHARED)))
      icon.Reset(CopyIcon(shared));
  }
  SendMessageW(Handle(), STM_SETICON, reinterpret_cast<WPARAM>(icon.Get()), 0);
  FIcon = std::move(icon);
}

// --- TTimer

namespace {
std::map<UINT_PTR, TTimer*>& Timers() {
  static std::map<UINT_PTR, TTimer*> m;
  return m;
}
}  // namespace

TTimer::~TTimer() { SetEnabled(false); }

void TTimer::SetInterval(UINT ms) {
  FInterval = ms;
  if (FId) {
    SetEnabled(false);
    SetEnabled(true);
  }
}

void TTimer::SetEnabled(bool value) {
  if (value == Enabled()) return;
  if (value) {
    FId = SetTimer(nullptr, 0, FInterval, TimerProc);
    if (FId) Timers()[FId] = this;
  } else {
    KillTimer(nullptr, FId);
    Timers().erase(FId);
    FId = 0;
  }
}

void CALLBACK TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Timers().find(id);
  if (it == Timers().end()) return;
  try {
    if (it->second->OnTimer) it->second->OnTimer();
  } catch (...) {
    Application().HandleException();
  }
}

}  // namespace hv
