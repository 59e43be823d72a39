#include "winui/Forms.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <mutex>

#include "winui/CommonDialogs.h"
#include "winui/Dpi.h"
#include "winui/Errors.h"
#include "winui/Menus.h"
#include "winui/Styles.h"
#include "winui/SyncCall.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"

namespace hv {
namespace {

constexpr UINT WM_HV_SHOWN = WM_APP + 0x0F01;
constexpr const wchar_t* kFormClass = L"HvForm";

void RegisterFormClass(WNDPROC proc) {
  static const bool done =
      RegisterWindowClass(kFormClass, proc, CS_DBLCLKS, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));
  (void)done;
}

struct TDisabledWindows {
  HWND Except;
  std::vector<HWND> List;
  std::exception_ptr Error;  // what stopped the enumeration
};

BOOL CALLBACK DisableWindow(HWND wnd, LPARAM lp) {
  auto* d = reinterpret_cast<TDisabledWindows*>(lp);
  try {
    if (wnd != d->Except && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) {
      d->List.push_back(wnd);
      EnableWindow(wnd, FALSE);
    }
    return TRUE;
  } catch (...) {
    d->Error = std::current_exception();
    return FALSE;
  }
}

bool IsPushButton(HWND wnd) {
  wchar_t cls[16];
  if (!GetClassNameW(wnd, cls, static_cast<int>(std::size(cls))) || lstrcmpiW(cls, L"Button") != 0) return false;
  if (GetPropW(wnd, kSelfDrawnButtonProp)) return false;  // a switch: Enter goes to the default button
  LONG type = GetWindowLongW(wnd, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW;
}

bool IsCheckOrRadio(HWND wnd, bool& radio) {
  wchar_t cls[16];
  if (!GetClassNameW(wnd, cls, static_cast<int>(std::size(cls))) || lstrcmpiW(cls, L"Button") != 0) return false;
  LONG type = GetWindowLongW(wnd, GWL_STYLE) & BS_TYPEMASK;
  radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  return radio || type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> list;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) list.push_back(c);
  return list;
}

void ArrangeChildren(HWND parent) {
  std::vector<HWND> children = ChildWindows(parent);
  std::vector<RECT> rects;
  for (HWND c : children) {
    RECT r{};
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    rects.push_back(r);
  }
  HWND after = HWND_TOP;
  for (size_t i : ReadingOrder(rects)) {
    SetWindowPos(children[i], after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    after = children[i];
  }
  for (HWND c : children)
    if (GetWindowLongW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) ArrangeChildren(c);
}

}  // namespace

std::vector<size_t> ReadingOrder(const std::vector<RECT>& rects) {
  const size_t n = rects.size();
  // First rows: sorted by top, a rectangle that starts above the middle of every one of the row
  // so far joins it; left to right within a row.
  std::vector<size_t> rows(n);
  for (size_t i = 0; i < n; ++i) rows[i] = i;
  std::stable_sort(rows.begin(), rows.end(), [&](size_t a, size_t b) { return rects[a].top < rects[b].top; });
  auto byLeft = [&](size_t a, size_t b) { return rects[a].left < rects[b].left; };
  auto middle = [](const RECT& r) { return (r.top + r.bottom) / 2; };
  size_t rowStart = 0;
  LONG rowMiddle = 0;
  for (size_t i = 0; i <= n; ++i) {
    if (i < n && i > rowStart && rects[rows[i]].top < rowMiddle) {
      rowMiddle = std::min(rowMiddle, middle(rects[rows[i]]));
      continue;
    }
    std::stable_sort(rows.begin() + static_cast<ptrdiff_t>(rowStart), rows.begin() + static_cast<ptrdiff_t>(i), byLeft);
    rowStart = i;
    if (i < n) rowMiddle = middle(rects[rows[i]]);
  }
  // Then a tall rectangle (a group box beside several lines) waits for what lies wholly above it
  // and for what lies left of it on its line (each one's middle within the other's height).
  auto within = [](LONG y, const RECT& r) { return y >= r.top && y < r.bottom; };
  auto before = [&](const RECT& a, const RECT& b) {
    bool sameLine = within(middle(a), b) && within(middle(b), a);
    return a.bottom <= b.top || (sameLine && a.right <= b.left);
  };
  std::vector<size_t> order;
  std::vector<bool> done(n, false);
  while (order.size() < n) {
    size_t pick = n;
    for (size_t i : rows) {
      if (done[i]) continue;
      if (pick == n) pick = i;  // the first left, should the rule go round in a circle
      bool free = true;
      for (size_t j = 0; j < n && free; ++j) free = done[j] || j == i || !before(rects[j], rects[i]);
      if (free) {
        pick = i;
        break;
      }
    }
    done[pick] = true;
    order.push_back(pick);
  }
  return order;
}

// --- TForm

TForm::TForm() = default;

TForm::~TForm() {
  if (FHandle) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    SetWindowLongPtrW(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
    DestroyWindow(FHandle);
    FHandle = nullptr;
  }
}

TForm* TForm::FromHandle(HWND wnd) {
  if (!wnd) return nullptr;
  wchar_t cls[16];
  if (!GetClassNameW(wnd, cls, static_cast<int>(std::size(cls))) || lstrcmpW(cls, kFormClass) != 0) return nullptr;
  return reinterpret_cast<TForm*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
}

void TForm::Create(HWND owner) {
  RegisterFormClass(StaticWndProc);
  DWORD style = WS_CLIPCHILDREN, exStyle = WS_EX_CONTROLPARENT;
  switch (BorderStyle) {
    case TBorderStyle::bsSizeable: style |= WS_OVERLAPPEDWINDOW; break;
    case TBorderStyle::bsDialog:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
      exStyle |= WS_EX_DLGMODALFRAME;
      break;
    case TBorderStyle::bsToolWindow:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
      exStyle |= WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME;
      break;
    case TBorderStyle::bsNone:
      style |= WS_POPUP;
      exStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  bool isMain = Application().MainForm() == this;
  if (!owner && !isMain) owner = Application().OwnerWindow();
  if (isMain && Application().MainFormOnTaskBar) exStyle |= WS_EX_APPWINDOW;
  int x = (style & WS_POPUP) ? 0 : CW_USEDEFAULT;
  FCreating = true;
  struct TCreating {
    bool& F;
    ~TCreating() { F = false; }
  } creating{FCreating};
  HWND wnd = CreateWindowExW(exStyle, kFormClass, L"", style, x, 0, 100, 100, owner, nullptr,
                             GetModuleHandleW(nullptr), this);
  if (!wnd || !FHandle) {
    DWORD code = GetLastError();
    throw EOSError(L"CreateWindowExW", code ? code : ERROR_INVALID_WINDOW_HANDLE, kFormClass);
  }
  FDpi = DpiForWindow(FHandle);
  RebuildFont();
  FormCreate();
  Translate();
  SetClientSize(Scale(ClientWidth96), Scale(ClientHeight96));
  Relayout(FDpi);
  if (ReadingTabOrder) ArrangeTabOrder();
  TStyleManager::ApplyToWindow(FHandle);
}

void TForm::ArrangeTabOrder() { ArrangeChildren(FHandle); }

int TForm::Scale(int v96) const { return hv::Scale(v96, FDpi); }

std::wstring TForm::Caption() const {
  int n = GetWindowTextLengthW(FHandle);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(FHandle, s.data(), n + 1);
  s.resize(static_cast<size_t>(n));
  return s;
}

void TForm::SetCaption(std::wstring_view caption) { SetWindowTextW(FHandle, std::wstring(caption).c_str()); }

void TForm::RebuildFont() {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(FontSize, static_cast<int>(FDpi), 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  lstrcpynW(lf.lfFaceName, FontName.c_str(), LF_FACESIZE);
  HFONT font = CreateFontIndirectW(&lf);
  if (!font) return;
  for (TControl* c : FControls) SendMessageW(c->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  FFont.Reset(font);
}

void TForm::RegisterControl(TControl* c) { FControls.push_back(c); }
void TForm::UnregisterControl(TControl* c) { std::erase(FControls, c); }

TControl* TForm::FocusedControl() const {
  HWND f = GetFocus();
  for (TControl* c : FControls)
    if (c->Handle() == f) return c;
  return nullptr;
}

TButton* TForm::DefaultButton() const {
  for (TControl* c : FControls)
    if (auto* b = dynamic_cast<TButton*>(c); b && b->Default()) return b;
  return nullptr;
}

TButton* TForm::CancelButton() const {
  for (TControl* c : FControls)
    if (auto* b = dynamic_cast<TButton*>(c); b && b->Cancel) return b;
  return nullptr;
}

void TForm::Translate() {
  const std::wstring& domain = TextDomain.empty() ? DefaultTextDomain() : TextDomain;
  std::wstring caption = Caption();
  if (!caption.empty()) SetCaption(DGetText(domain, caption));
  for (TControl* c : FControls) {
    if (c->TranslateText) {
      std::wstring t = c->Text();
      if (!t.empty()) c->SetText(DGetText(domain, t));
    }
    if (!c->Hint.empty()) c->Hint = DGetText(domain, c->Hint);
  }
}

void TForm::Relayout(UINT dpi) {
  for (TControl* c : FControls) {
    const TRect96& r = c->Bounds96;
    c->SetBounds(hv::Scale(r.Left, dpi), hv::Scale(r.Top, dpi), hv::Scale(r.Width, dpi), hv::Scale(r.Height, dpi));
  }
}

void TForm::OnDpiChanged(UINT dpi, const RECT& suggested) {
  FDpi = dpi;
  RebuildFont();
  SetWindowPos(FHandle, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Relayout(dpi);
}

bool TForm::Visible() const { return FHandle && IsWindowVisible(FHandle); }

void TForm::Show() {
  if (!FHandle) return;
  if (!Visible()) {
    FormShow();
    ApplyPosition();
    if (ActiveControl) FLastFocus = nullptr;
    ShowWindow(FHandle, SW_SHOW);
    if (!FocusedControl()) {
      HWND first = ActiveControl && ActiveControl->Visible() && ActiveControl->Enabled()
                       ? ActiveControl->Handle()
                       : GetNextDlgTabItem(FHandle, nullptr, FALSE);
      if (first) ::SetFocus(first);
    }
    PostMessageW(FHandle, WM_HV_SHOWN, 0, 0);
  }
}

void TForm::Hide() {
  if (FHandle)
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

void TForm::Close() {
  if (FModal) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  FormClose();
  Hide();
  if (Application().MainForm() == this) Application().Terminate();
}

int TForm::ShowModal() {
  if (!FHandle) throw EOSError(L"ShowModal", ERROR_INVALID_WINDOW_HANDLE, kFormClass);
  // The other windows come back, also when FormShow, CloseQuery or FormClose raise.
  struct TModalScope {
    TForm& Form;
    TDisabledWindows Disabled;
    ~TModalScope() {
      for (HWND w : Disabled.List) EnableWindow(w, TRUE);
      if (Form.FModal) Form.Hide();
      Form.FModal = false;
    }
  } scope{*this, {FHandle, {}, nullptr}};
  EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&scope.Disabled));
  if (scope.Disabled.Error) std::rethrow_exception(scope.Disabled.Error);
  ModalResult = mrNone;
  FModal = true;
  Show();
  for (;;) {
    if (ModalResult != mrNone) {
      if (CloseQuery()) {
        FormClose();
        break;
      }
      ModalResult = mrNone;
    }
    if (Application().Terminated() || !Application().HandleMessage()) {
      ModalResult = mrCancel;
      break;
    }
  }
  return ModalResult;
}

RECT TForm::BoundsRect() const {
  RECT r{};
  GetWindowRect(FHandle, &r);
  return r;
}
int TForm::Width() const {
  RECT r = BoundsRect();
  return r.right - r.left;
}
int TForm::Height() const {
  RECT r = BoundsRect();
  return r.bottom - r.top;
}
void TForm::SetBounds(int left, int top, int width, int height) {
  SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}
void TForm::SetPos(int left, int top) {
  SetWindowPos(FHandle, nullptr, left, top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}
void TForm::SetClientSize(int width, int height) {
  RECT r{0, 0, width, height};
  AdjustWindowRectForDpi(r, static_cast<DWORD>(GetWindowLongW(FHandle, GWL_STYLE)),
                         static_cast<DWORD>(GetWindowLongW(FHandle, GWL_EXSTYLE)), FDpi);
  SetWindowPos(FHandle, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}
SIZE TForm::ClientSize() const {
  RECT r{};
  GetClientRect(FHandle, &r);
  return {r.right, r.bottom};
}
HMONITOR TForm::Monitor() const { return MonitorFromWindow(FHandle, MONITOR_DEFAULTTONEAREST); }

void TForm::ApplyPosition() {
  RECT area{};
  TForm* main = Application().MainForm();
  if (Position == TPosition::poMainFormCenter && main && main != this && main->Visible()) {
    area = main->BoundsRect();
  } else if (Position != TPosition::poDesigned) {
    HMONITOR mon = nullptr;
    TForm* ref = nullptr;
    if (DefaultMonitor == TDefaultMonitor::dmMainForm) ref = main;
    if (DefaultMonitor == TDefaultMonitor::dmActiveForm) ref = Application().ActiveForm();
    if (ref && ref != this && ref->Visible()) mon = ref->Monitor();
    if (!mon) mon = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(mon, &mi);
    area = mi.rcWork;
  } else {
    return;
  }
  int w = Width(), h = Height();
  SetPos(area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2);
}

bool TForm::FormKeyDown(WORD key, bool shift, bool ctrl, bool alt) {
  if (shift || ctrl || alt) return false;
  if (key == VK_F1) return FormHelp();
  if (key == VK_F11) {
    TControl* c = FocusedControl();
    std::wstring text = c ? ControlHelpText(*c) : std::wstring();
    if (!text.empty() && Application().OnShowHint) Application().OnShowHint(text);
    return true;
  }
  return false;
}

bool TForm::HandleDialogKey(MSG& msg) {
  if (msg.wParam == VK_ESCAPE) {
    TButton* b = CancelButton();
    if (b && b->Visible() && b->Enabled()) {
      b->Click();
      return true;
    }
    return false;
  }
  if (msg.wParam == VK_RETURN) {
    HWND f = GetFocus();
    if (f && IsPushButton(f)) {
      SendMessageW(f, BM_CLICK, 0, 0);
      return true;
    }
    if (f && (GetWindowLongW(f, GWL_STYLE) & (ES_MULTILINE | ES_WANTRETURN)) == (ES_MULTILINE | ES_WANTRETURN))
      return false;
    TButton* b = DefaultButton();
    if (b && b->Visible() && b->Enabled()) {
      b->Click();
      return true;
    }
    return true;  // no default button: Enter does nothing
  }
  return false;
}

bool TForm::PreTranslateMessage(MSG& msg) {
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
    bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
    if (KeyPreview && FormKeyDown(static_cast<WORD>(msg.wParam), shift, ctrl, alt)) return true;
    if (msg.message == WM_KEYDOWN && HandleDialogKey(msg)) return true;
  }
  return IsDialogMessageW(FHandle, &msg);
}

LRESULT TForm::ColorMessage(UINT msg, HDC dc, HWND ctl) {
  const TColorScheme& s = TStyleManager::Active();
  if (s.System) return DefaultProc(msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(ctl));
  bool edit = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
  COLORREF bk = edit ? s.Edit : s.Face;
  SetTextColor(dc, IsWindowEnabled(ctl) ? (edit ? s.EditText : s.FaceText) : s.GrayText);
  SetBkColor(dc, bk);
  return reinterpret_cast<LRESULT>(TStyleManager::Brush(bk));
}

void TForm::DrawDarkButton(const DRAWITEMSTRUCT& di) {
  const TColorScheme& s = TStyleManager::Active();
  HWND b = di.hwndItem;
  bool pressed = di.itemState & ODS_SELECTED, disabled = di.itemState & ODS_DISABLED;
  bool isDefault = GetPropW(b, kDefaultButtonProp) != nullptr;
  RECT r = di.rcItem;
  FillRect(di.hDC, &r, TStyleManager::Brush(s.Face));
  TPenHandle pen(CreatePen(PS_SOLID, isDefault ? 2 : 1, isDefault ? s.Highlight : s.Border));
  HGDIOBJ oldPen = SelectObject(di.hDC, pen.Get());
  HGDIOBJ oldBrush = SelectObject(di.hDC, TStyleManager::Brush(pressed ? s.ButtonPressed : s.Button));
  RoundRect(di.hDC, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1, 4, 4);
  SelectObject(di.hDC, oldBrush);
  SelectObject(di.hDC, oldPen);
  int n = GetWindowTextLengthW(b);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(b, text.data(), n + 1)));
  SetBkMode(di.hDC, TRANSPARENT);
  SetTextColor(di.hDC, disabled ? s.GrayText : s.ButtonText);
  HGDIOBJ oldFont = SelectObject(di.hDC, reinterpret_cast<HFONT>(SendMessageW(b, WM_GETFONT, 0, 0)));
  UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | ((di.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
  DrawTextW(di.hDC, text.c_str(), -1, &r, flags);
  SelectObject(di.hDC, oldFont);
  if ((di.itemState & ODS_FOCUS) && !(di.itemState & ODS_NOFOCUSRECT)) {
    InflateRect(&r, -4, -4);
    DrawFocusRect(di.hDC, &r);
  }
}

// Check boxes and radio buttons in a dark scheme: the system greys a disabled caption by embossing it
// in light colours, so they are drawn here (custom draw of the button).
LRESULT TForm::DrawDarkCheck(const NMHDR& nm, bool radio) {
  const auto& cd = reinterpret_cast<const NMCUSTOMDRAW&>(nm);
  if (cd.dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
  const TColorScheme& s = TStyleManager::Active();
  HWND b = cd.hdr.hwndFrom;
  HDC dc = cd.hdc;
  RECT r = cd.rc;
  bool enabled = IsWindowEnabled(b);
  LRESULT check = SendMessageW(b, BM_GETCHECK, 0, 0);
  FillRect(dc, &r, TStyleManager::Brush(s.Face));
  int size = Scale(13);
  RECT box{r.left, r.top + (r.bottom - r.top - size) / 2, r.left + size, 0};
  box.bottom = box.top + size;
  if (radio) {
    TPenHandle pen(CreatePen(PS_SOLID, 1, enabled ? s.Border : s.GrayText));
    TSelectObject p(dc, pen.Get());
    {
      TSelectObject br(dc, TStyleManager::Brush(s.Edit));
      Ellipse(dc, box.left, box.top, box.right, box.bottom);
    }
    if (check == BST_CHECKED) {
      int inset = std::max(size / 4, 2);
      TPenHandle dotPen(CreatePen(PS_SOLID, 1, enabled ? s.EditText : s.GrayText));
      TSelectObject dp(dc, dotPen.Get());
      TSelectObject br(dc, TStyleManager::Brush(enabled ? s.EditText : s.GrayText));
      Ellipse(dc, box.left + inset, box.top + inset, box.right - inset, box.bottom - inset);
    }
  } else if (check == BST_INDETERMINATE) {
    TStyleManager::DrawGrayedCheckBox(dc, box, size, enabled);
  } else {
    TStyleManager::DrawCheckBox(dc, box, size, check == BST_CHECKED, enabled);
  }
  int n = GetWindowTextLengthW(b);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(b, text.data(), n + 1)));
  LRESULT ui = SendMessageW(b, WM_QUERYUISTATE, 0, 0);
  UINT flags = (GetWindowLongW(b, GWL_STYLE) & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
  if (ui & UISF_HIDEACCEL) flags |= DT_HIDEPREFIX;
  RECT t{box.right + Scale(4), r.top, r.right, r.bottom};
  RECT calc = t;
  DrawTextW(dc, text.c_str(), -1, &calc, flags | DT_CALCRECT);
  int h = calc.bottom - calc.top;
  t.top = r.top + std::max(0L, (r.bottom - r.top - h) / 2);
  t.bottom = t.top + h;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, enabled ? s.FaceText : s.GrayText);
  DrawTextW(dc, text.c_str(), -1, &t, flags);
  if (GetFocus() == b && !(ui & UISF_HIDEFOCUS) && !text.empty()) {
    RECT f{t.left - 1, t.top, std::min(t.left + (calc.right - calc.left) + 1, r.right), t.bottom};
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
    DrawFocusRect(dc, &f);
  }
  return CDRF_SKIPDEFAULT;
}

LRESULT CALLBACK TForm::StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  TForm* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->FHandle = wnd;
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<TForm*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    self->FHandle = nullptr;
    return DefWindowProcW(wnd, msg, wp, lp);
  }
  try {
    return self->WndProc(msg, wp, lp);
  } catch (...) {
    Application().HandleException();
    return 0;
  }
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (lp) {
        if (TControl* c = TControl::FromHandle(reinterpret_cast<HWND>(lp)); c && c->Form() == this) {
          c->HandleCommand(HIWORD(wp));
          return 0;
        }
      }
      if (!lp && HIWORD(wp) == 0 && TMenuItem::DispatchCommand(LOWORD(wp))) return 0;
      if (OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp))) return 0;
      break;
    case WM_NOTIFY: {
      auto& nm = *reinterpret_cast<NMHDR*>(lp);
      LRESULT result = 0;
      bool radio = false;
      if (nm.code == NM_CUSTOMDRAW && !TStyleManager::IsSystemStyle() && IsCheckOrRadio(nm.hwndFrom, radio))
        return DrawDarkCheck(nm, radio);
      if (TControl* c = TControl::FromHandle(nm.hwndFrom); c && c->HandleNotify(nm, result)) return result;
      if (OnNotify(nm, result)) return result;
      break;
    }
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DRAWITEM: {
      auto& di = *reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (TControl* c = TControl::FromHandle(di.hwndItem); c && c->HandleDrawItem(di)) return TRUE;
      if (di.CtlType == ODT_BUTTON) {
        DrawDarkButton(di);
        return TRUE;
      }
      if (TMenuItem::HandleDrawItem(di)) return TRUE;
      break;
    }
    case WM_MEASUREITEM:
      if (TMenuItem::HandleMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
      break;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND f = GetFocus();
        if (f && IsChild(FHandle, f)) FLastFocus = f;
        return 0;
      }
      if (!(FLastFocus && IsWindow(FLastFocus) && IsChild(FHandle, FLastFocus)))
        FLastFocus = ActiveControl && ActiveControl->Visible() && ActiveControl->Enabled()
                         ? ActiveControl->Handle()
                         : GetNextDlgTabItem(FHandle, nullptr, FALSE);
      if (FLastFocus) {
        ::SetFocus(FLastFocus);
        return 0;
      }
      break;
    case WM_SIZE:
      OnSize(LOWORD(lp), HIWORD(lp));
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wp), *reinterpret_cast<RECT*>(lp));
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(FHandle, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, TStyleManager::Brush(TStyleManager::SysColor(COLOR_BTNFACE)));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return ColorMessage(msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_HV_SHOWN:
      if (TTestHooks::OnFormShown) TTestHooks::OnFormShown(*this);
      if (FModal && ModalResult == mrNone && TTestHooks::AnswerModal)
        if (auto r = TTestHooks::AnswerModal(*this)) ModalResult = *r;
      return 0;
  }
  return DefaultProc(msg, wp, lp);
}

// --- TApplication

TApplication& Application() {
  static TApplication app;
  return app;
}

void TApplication::Initialize() {
  FMainThread = GetCurrentThreadId();
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  using Fn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  if (auto fn = reinterpret_cast<Fn>(
          reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext"))))
    fn(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);  // fails harmlessly when the manifest set it
  InitSyncCall();
}

TForm* TApplication::ActiveForm() const {
  if (TForm* f = TForm::FromHandle(GetActiveWindow())) return f;
  return FMainForm;
}

HWND TApplication::OwnerWindow() const {
  TForm* f = ActiveForm();
  return f ? f->Handle() : nullptr;
}

void TApplication::Dispatch(MSG& msg) {
  if (TFindDialog::IsFindDialogMessage(msg)) return;
  if (TForm* f = TForm::FromHandle(GetAncestor(msg.hwnd, GA_ROOT)); f && f->PreTranslateMessage(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

bool TApplication::HandleMessage() {
  MSG msg;
  BOOL r = GetMessageW(&msg, nullptr, 0, 0);
  if (r == 0 || r == -1) {
    FTerminated = true;
    return false;
  }
  Dispatch(msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      FTerminated = true;
      return;
    }
    Dispatch(msg);
  }
}

void TApplication::Run() {
  if (ShowMainForm && FMainForm && !FTerminated) FMainForm->Show();
  while (!FTerminated && HandleMessage()) {
  }
}

void TApplication::Terminate() {
  if (FTerminated) return;
  FTerminated = true;
  PostQuitMessage(0);
}

void TApplication::DestroyForms() {
  // Newest first: the kept forms, then those made at start. A form is out of the list before it
  // is freed, so that its destructor finds no half-freed form there.
  while (!FForms.empty()) {
    std::unique_ptr<TForm> form = std::move(FForms.back());
    FForms.pop_back();
    form.reset();
  }
  FMainForm = nullptr;
}

void TApplication::HandleException() noexcept { HandleException(ExceptionMessage(std::current_exception())); }

void TApplication::HandleException(const std::wstring& message) noexcept {
  // A report opened by a report (a message that throws again while the box is open) goes to the log.
  // After Terminate no modal box would stay open: the log takes it.
  if (GetCurrentThreadId() != FMainThread || !ShowErrorDialogs || !OnException || FReporting || FTerminated) {
    LogError(message);
    return;
  }
  FReporting = true;
  try {
    OnException(message);
  } catch (...) {
    LogError(message);
  }
  FReporting = false;
}

void TApplication::LogError(const std::wstring& message) noexcept {
  static std::mutex lock;
  try {
    std::lock_guard guard(lock);
    if (OnLog) {
      OnLog(message);
      return;
    }
  } catch (...) {
  }
  OutputDebugStringW(message.c_str());
}

void TApplication::Reset() {
  DestroyForms();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT) ValidateRect(msg.hwnd, nullptr);  // else it comes back for ever
  }
  FTerminated = false;
  ShowMainForm = true;
  MainFormOnTaskBar = true;
  ShowErrorDialogs = true;
  OnException = nullptr;
  OnLog = nullptr;
  Tag = 0;
}

}  // namespace hv
