#include "winui/ComCtrls.h"

#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>

#include "winui/Dpi.h"
#include "winui/Forms.h"
#include "winui/Styles.h"

namespace hv {
namespace {

UINT FormDpi(const TControl& c) { return c.Form() ? c.Form()->Dpi() : kDesignDpi; }

void FixPlace(WINDOWPOS& wpos, const RECT& place) {
  wpos.x = place.left;
  wpos.y = place.top;
  wpos.cx = place.right - place.left;
  wpos.cy = place.bottom - place.top;
  wpos.flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace

// --- TGroupBox

void TGroupBox::Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent) {
  TPanel::Create(form, r96, parent);
  TranslateText = true;
  SetText(caption);
}

RECT TGroupBox::CaptionRect(HDC dc) const {
  int indent = Scale(8, FormDpi(*this)), pad = Scale(2, FormDpi(*this));
  std::wstring text = Text();
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (text.empty()) return {indent, 0, indent, tm.tmHeight};
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_CALCRECT);
  return {indent, 0, indent + r.right + 2 * pad, tm.tmHeight};
}

void TGroupBox::PaintFrame(HDC dc, const RECT& caption) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  RECT frame{};
  GetClientRect(Handle(), &frame);
  frame.top = tm.tmHeight / 2;
  const TColorScheme& s = TStyleManager::Active();
  // The frame around the caption's gap.
  int saved = SaveDC(dc);
  if (caption.right > caption.left) ExcludeClipRect(dc, caption.left, caption.top, caption.right, caption.bottom);
  if (s.System)
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  else
    FrameRect(dc, &frame, TStyleManager::Brush(s.Border));
  RestoreDC(dc, saved);
  std::wstring text = Text();
  if (text.empty()) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TStyleManager::SysColor(IsWindowEnabled(Handle()) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  RECT r = caption;
  DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

LRESULT TGroupBox::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      TPaintDC dc(Handle());
      TSelectObject font(dc.Get(), Form()->Font());
      PaintFrame(dc.Get(), CaptionRect(dc.Get()));
      return 0;
    }
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_HV_SCHEMECHANGED: {
      LRESULT r = TPanel::ControlProc(msg, wp, lp);
      InvalidateRect(Handle(), nullptr, TRUE);
      return r;
    }
  }
  return TPanel::ControlProc(msg, wp, lp);
}

// --- TRadioButton

void TRadioButton::Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent, bool group) {
  CreateWnd(form, parent, WC_BUTTONW, caption,
            WS_VISIBLE | BS_AUTORADIOBUTTON | (group ? WS_GROUP | WS_TABSTOP : 0), 0, r96);
}
bool TRadioButton::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void TRadioButton::SetChecked(bool value) {
  SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}
void TRadioButton::HandleCommand(WORD code) {
  if (code == BN_CLICKED && OnClick) OnClick();
}

// --- TRadioGroup

void TRadioGroup::Create(TForm& form, std::wstring_view caption, const TRect96& r96, HWND parent) {
  TGroupBox::Create(form, caption, r96, parent);
}

void TRadioGroup::SetItems(const std::vector<std::wstring>& items) {
  for (auto& b : FButtons) {
    HWND h = b->Handle();
    b.reset();
    DestroyWindow(h);
  }
  FButtons.clear();
  for (size_t i = 0; i < items.size(); ++i) {
    auto b = std::make_unique<TRadioButton>();
    b->Create(*Form(), items[i], {}, Handle(), i == 0);
    b->OnClick = [this] {
      if (OnClick) OnClick();
    };
    FButtons.push_back(std::move(b));
  }
  Arrange();
}

std::vector<std::wstring> TRadioGroup::Items() const {
  std::vector<std::wstring> items;
  for (const auto& b : FButtons) items.push_back(b->Text());
  return items;
}

void TRadioGroup::SetColumns(int columns) {
  FColumns = std::clamp(columns, 1, 16);
  Arrange();
}

int TRadioGroup::ItemIndex() const {
  for (size_t i = 0; i < FButtons.size(); ++i)
    if (FButtons[i]->Checked()) return static_cast<int>(i);
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  for (size_t i = 0; i < FButtons.size(); ++i) FButtons[i]->SetChecked(static_cast<int>(i) == index);
}

void TRadioGroup::Arrange() {
  if (FButtons.empty()) return;
  // Items run down the first column, then the next; rows share the height below the caption.
  constexpr int kMargin96 = 8, kBottom96 = 4, kRow96 = 20;
  int n = static_cast<int>(FButtons.size());
  int rows = (n + FColumns - 1) / FColumns;
  int width = std::max(0, Bounds96.Width - 2 * kMargin96) / FColumns;
  int height = std::max(0, Bounds96.Height - kContentTop96 - kBottom96);
  int rowHeight = std::max(kRow96, height / rows);
  UINT dpi = FormDpi(*this);
  for (int i = 0; i < n; ++i) {
    int col = i / rows, row = i % rows;
    TRect96 r{kMargin96 + col * width, kContentTop96 + row * rowHeight + (rowHeight - kRow96) / 2, width - 4, kRow96};
    auto& b = *FButtons[static_cast<size_t>(i)];
    b.Bounds96 = r;
    b.SetBounds(Scale(r.Left, dpi), Scale(r.Top, dpi), Scale(r.Width, dpi), Scale(r.Height, dpi));
  }
}

// --- TUpDown

void TUpDown::Create(TForm& form, const TRect96& r96, HWND parent) {
  TranslateText = false;
  CreateWnd(form, parent, UPDOWN_CLASSW, L"",
            WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS | UDS_HOTTRACK, 0, r96);
  SetRange(0, 100);
}

void TUpDown::SetAssociate(TControl* edit) {
  int pos = Position();
  SendMessageW(Handle(), UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit ? edit->Handle() : nullptr), 0);
  SetPosition(pos);
}

int TUpDown::Min() const {
  int lo = 0, hi = 0;
  SendMessageW(Handle(), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
  return lo;
}

int TUpDown::Max() const {
  int lo = 0, hi = 0;
  SendMessageW(Handle(), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
  return hi;
}

void TUpDown::SetRange(int min, int max) {
  int pos = Position();
  SendMessageW(Handle(), UDM_SETRANGE32, static_cast<WPARAM>(min), static_cast<LPARAM>(max));
  SetPosition(pos);
}

int TUpDown::Position() const {
  BOOL error = FALSE;
  int pos = static_cast<int>(SendMessageW(Handle(), UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)));
  return pos;
}

void TUpDown::SetPosition(int value) {
  int lo = 0, hi = 0;
  SendMessageW(Handle(), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
  if (lo > hi) std::swap(lo, hi);
  SendMessageW(Handle(), UDM_SETPOS32, 0, std::clamp(value, lo, hi));
}

void TUpDown::SetIncrement(int value) {
  FIncrement = std::max(1, value);
  UDACCEL accel{0, static_cast<UINT>(FIncrement)};
  SendMessageW(Handle(), UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
}

bool TUpDown::HandleNotify(const NMHDR& nm, LRESULT& result) {
  if (nm.code != UDN_DELTAPOS) return false;
  // The step is made here, so that OnClick sees the new position.
  const auto& ud = reinterpret_cast<const NMUPDOWN&>(nm);
  int step = ud.iDelta > 0 ? FIncrement : -FIncrement;
  SetPosition(Position() + step);
  result = TRUE;
  if (OnClick) OnClick(ud.iDelta > 0);
  return true;
}

// --- TMemo

void TMemo::Create(TForm& form, const TRect96& r96, HWND parent) {
  TranslateText = false;
  DWORD style = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
  if (!WordWrap) style |= WS_HSCROLL | ES_AUTOHSCROLL;
  style |= ReadOnly ? ES_READONLY : ES_WANTRETURN;
  CreateWnd(form, parent, WC_EDITW, L"", style, WS_EX_CLIENTEDGE, r96);
  SendMessageW(Handle(), EM_SETLIMITTEXT, 0, 0);
}

TMemo::~TMemo() {
  if (!FFont) return;
  FFontName.clear();  // the edit lets go of the font before it is deleted
  if (Handle()) SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
}

void TMemo::SetFont(std::wstring_view name, int pointSize, bool bold, bool italic) {
  FFontName = name;
  FFontSize = pointSize;
  FBold = bold;
  FItalic = italic;
  SendMessageW(Handle(), WM_SETFONT, 0, TRUE);
}

void TMemo::BuildFont() {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(FFontSize, static_cast<int>(FormDpi(*this)), 72);
  lf.lfWeight = FBold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = FItalic;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  lstrcpynW(lf.lfFaceName, FFontName.c_str(), LF_FACESIZE);
  TFontHandle font(CreateFontIndirectW(&lf));
  if (!font) return;
  std::swap(FFont, font);  // the old font goes once the edit uses the new one
  DefProc(WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);
}

int TMemo::LineCount() const { return static_cast<int>(SendMessageW(Handle(), EM_GETLINECOUNT, 0, 0)); }

std::wstring TMemo::Line(int index) const {
  int start = LineIndex(index);
  if (start < 0) return {};
  int len = static_cast<int>(SendMessageW(Handle(), EM_LINELENGTH, static_cast<WPARAM>(start), 0));
  std::wstring s(static_cast<size_t>(std::max(len, 1)) + 1, L'\0');
  *reinterpret_cast<WORD*>(s.data()) = static_cast<WORD>(std::min<size_t>(s.size(), 0xFFFF));
  int n = static_cast<int>(
      SendMessageW(Handle(), EM_GETLINE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data())));
  s.resize(static_cast<size_t>(std::clamp(n, 0, len)));
  return s;
}

int TMemo::SelStart() const {
  DWORD start = 0, end = 0;
  SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(start);
}

int TMemo::SelLength() const {
  DWORD start = 0, end = 0;
  SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TMemo::SetSel(int start, int length) {
  SendMessageW(Handle(), EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start + length));
}

std::wstring TMemo::SelText() const {
  std::wstring text = Text();
  size_t start = std::min<size_t>(static_cast<size_t>(SelStart()), text.size());
  return text.substr(start, static_cast<size_t>(SelLength()));
}

int TMemo::LineFromChar(int pos) const {
  return static_cast<int>(SendMessageW(Handle(), EM_LINEFROMCHAR, static_cast<WPARAM>(pos), 0));
}
int TMemo::LineIndex(int line) const {
  return static_cast<int>(SendMessageW(Handle(), EM_LINEINDEX, static_cast<WPARAM>(line), 0));
}
int TMemo::FirstVisibleLine() const {
  return static_cast<int>(SendMessageW(Handle(), EM_GETFIRSTVISIBLELINE, 0, 0));
}
void TMemo::ScrollToLine(int line) { SendMessageW(Handle(), EM_LINESCROLL, 0, line - FirstVisibleLine()); }
void TMemo::ScrollCaret() { SendMessageW(Handle(), EM_SCROLLCARET, 0, 0); }

LRESULT TMemo::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETFONT:
      if (FFontName.empty()) break;
      BuildFont();  // own font, made again for the form's dpi
      return 0;
    case WM_KEYUP: {
      LRESULT r = DefProc(msg, wp, lp);
      if (OnKeyUp) OnKeyUp(static_cast<WORD>(wp));
      return r;
    }
    case WM_LBUTTONDOWN: {
      LRESULT r = DefProc(msg, wp, lp);
      if (OnMouseDown) OnMouseDown();
      return r;
    }
  }
  return DefProc(msg, wp, lp);
}

// --- TTabSheet

LRESULT TTabSheet::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_WINDOWPOSCHANGING: {
      // The page control places its pages; the form's layout does not.
      auto& wpos = *reinterpret_cast<WINDOWPOS*>(lp);
      if (FPageControl && (!(wpos.flags & SWP_NOMOVE) || !(wpos.flags & SWP_NOSIZE))) FixPlace(wpos, FPlace);
      break;
    }
    case WM_SETTEXT: {
      LRESULT r = TPanel::ControlProc(msg, wp, lp);
      if (FPageControl) FPageControl->SetTabText(FIndex, Text());
      return r;
    }
  }
  return TPanel::ControlProc(msg, wp, lp);
}

// --- TPageControl

LRESULT CALLBACK TPageControl::TabSubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  auto* self = reinterpret_cast<TPageControl*>(ref);
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(wnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, TStyleManager::Brush(TStyleManager::SysColor(COLOR_BTNFACE)));
      return 1;
    }
    case WM_PAINT:
      // The system draws the frames in light colours: in a dark scheme the control draws itself.
      if (TStyleManager::IsSystemStyle()) break;
      try {
        TPaintDC dc(wnd);
        self->PaintDarkTabs(dc.Get());
      } catch (...) {
        Application().HandleException();
      }
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: {
      LRESULT r = DefSubclassProc(wnd, msg, wp, lp);
      InvalidateRect(wnd, nullptr, FALSE);
      return r;
    }
  }
  return DefSubclassProc(wnd, msg, wp, lp);
}

void TPageControl::Create(TForm& form, const TRect96& r96, HWND parent) {
  TPanel::Create(form, r96, parent);
  FTab = CreateWindowExW(0, WC_TABCONTROLW, L"",
                         WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | TCS_OWNERDRAWFIXED | TCS_FOCUSONBUTTONDOWN,
                         0, 0, 0, 0, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowSubclass(FTab, TabSubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
  SendMessageW(FTab, WM_SETFONT, reinterpret_cast<WPARAM>(form.Font()), FALSE);
  Arrange();
}

TTabSheet& TPageControl::AddPage(std::wstring_view caption) {
  auto sheet = std::make_unique<TTabSheet>();
  TTabSheet& s = *sheet;
  s.FPageControl = this;
  s.FIndex = PageCount();
  FPages.push_back(std::move(sheet));
  std::wstring text(caption);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  SendMessageW(FTab, TCM_INSERTITEMW, static_cast<WPARAM>(s.FIndex), reinterpret_cast<LPARAM>(&item));
  s.TPanel::Create(*Form(), {}, Handle());
  s.TranslateText = true;
  s.SetText(caption);
  // The tabs come first in the tab order; their window leaves the page area to the pages.
  SetWindowPos(FTab, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (FActive < 0) FActive = 0;
  Arrange();
  return s;
}

void TPageControl::SetActivePageIndex(int index) {
  if (index < 0 || index >= PageCount()) return;
  FActive = index;
  SendMessageW(FTab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  Arrange();
}

void TPageControl::SetTabsVisible(bool value) {
  FTabsVisible = value;
  Arrange();
}

void TPageControl::SetTabText(int index, const std::wstring& text) {
  std::wstring s = text;
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = s.data();
  SendMessageW(FTab, TCM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  Arrange();
}

void TPageControl::Arrange() {
  if (!Handle() || !FTab) return;
  RECT rc{};
  GetClientRect(Handle(), &rc);
  SetWindowPos(FTab, nullptr, 0, 0, rc.right, rc.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(FTab, FTabsVisible ? SW_SHOWNA : SW_HIDE);
  RECT page = rc;
  if (FTabsVisible) {
    SendMessageW(FTab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    using TRegion = TUniqueHandle<TGdiObjectTraits<HRGN>>;
    TRegion outside(CreateRectRgn(0, 0, rc.right, rc.bottom));
    TRegion inside(CreateRectRgn(page.left, page.top, page.right, page.bottom));
    CombineRgn(outside.Get(), outside.Get(), inside.Get(), RGN_DIFF);
    if (SetWindowRgn(FTab, outside.Get(), TRUE)) outside.Release();  // the window owns it now
  }
  if (FActive >= 0 && SendMessageW(FTab, TCM_GETCURSEL, 0, 0) != FActive)
    SendMessageW(FTab, TCM_SETCURSEL, static_cast<WPARAM>(FActive), 0);
  for (auto& p : FPages) {
    p->FPlace = page;
    SetWindowPos(p->Handle(), nullptr, page.left, page.top, page.right - page.left, page.bottom - page.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    bool show = p->FIndex == FActive;
    if (show != p->Visible()) {
      // Keep the focus out of a page that hides.
      if (!show && IsChild(p->Handle(), GetFocus())) ::SetFocus(FTabsVisible ? FTab : Handle());
      p->SetVisible(show);
    }
  }
}

void TPageControl::DrawTab(HDC dc, int index, const RECT& rect) {
  bool selected = index == FActive;
  const TColorScheme& s = TStyleManager::Active();
  COLORREF bk = s.System ? GetSysColor(COLOR_BTNFACE) : selected ? s.Face : s.Button;
  FillRect(dc, &rect, TStyleManager::Brush(bk));
  wchar_t buf[256] = L"";
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = buf;
  item.cchTextMax = static_cast<int>(std::size(buf));
  SendMessageW(FTab, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TStyleManager::SysColor(IsWindowEnabled(FTab) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  LRESULT ui = SendMessageW(FTab, WM_QUERYUISTATE, 0, 0);
  RECT r = rect;
  DrawTextW(dc, buf, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | ((ui & UISF_HIDEACCEL) ? DT_HIDEPREFIX : 0));
  if (GetFocus() == FTab && index == SendMessageW(FTab, TCM_GETCURFOCUS, 0, 0) && !(ui & UISF_HIDEFOCUS)) {
    // The focus mark around the caption, as the system draws it.
    RECT f{};
    DrawTextW(dc, buf, -1, &f, DT_SINGLELINE | DT_CALCRECT);
    int w = f.right - f.left, h = f.bottom - f.top, pad = Scale(2, FormDpi(*this));
    f.left = (rect.left + rect.right - w) / 2 - pad;
    f.right = f.left + w + 2 * pad;
    f.top = (rect.top + rect.bottom - h) / 2 - pad / 2;
    f.bottom = f.top + h + pad;
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
    DrawFocusRect(dc, &f);
  }
}

void TPageControl::PaintDarkTabs(HDC dc) {
  const TColorScheme& s = TStyleManager::Active();
  RECT rc{};
  GetClientRect(FTab, &rc);
  FillRect(dc, &rc, TStyleManager::Brush(s.Face));
  TSelectObject font(dc, reinterpret_cast<HFONT>(SendMessageW(FTab, WM_GETFONT, 0, 0)));
  HBRUSH border = TStyleManager::Brush(s.Border);
  RECT body = rc;
  int n = static_cast<int>(SendMessageW(FTab, TCM_GETITEMCOUNT, 0, 0));
  RECT sel{};
  auto draw = [&](int i, RECT r) {
    DrawTab(dc, i, r);
    RECT edges[] = {{r.left, r.top, r.right, r.top + 1}, {r.left, r.top, r.left + 1, r.bottom},
                    {r.right - 1, r.top, r.right, r.bottom}};
    for (const RECT& e : edges) FillRect(dc, &e, border);
  };
  for (int i = 0; i < n; ++i) {
    RECT r{};
    SendMessageW(FTab, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
    body.top = std::max(body.top, r.bottom);
    if (i != FActive) {
      draw(i, r);
      continue;
    }
    InflateRect(&r, 2, 0);  // the selected tab stands out over its neighbours, as the system draws it
    r.top -= 2;
    sel = r;
  }
  if (sel.right > sel.left) draw(FActive, sel);
  FrameRect(dc, &body, border);
  if (sel.right > sel.left) {
    RECT gap{sel.left + 1, body.top, sel.right - 1, body.top + 1};  // the selected tab opens into its page
    FillRect(dc, &gap, TStyleManager::Brush(s.Face));
  }
}

LRESULT TPageControl::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NOTIFY: {
      auto& nm = *reinterpret_cast<NMHDR*>(lp);
      if (nm.hwndFrom != FTab) break;
      if (nm.code == TCN_SELCHANGING) return OnChanging && !OnChanging() ? TRUE : FALSE;
      if (nm.code == TCN_SELCHANGE) {
        FActive = static_cast<int>(SendMessageW(FTab, TCM_GETCURSEL, 0, 0));
        Arrange();
        if (OnChange) OnChange();
      }
      return 0;
    }
    case WM_DRAWITEM: {
      auto& di = *reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (di.hwndItem != FTab) break;
      DrawTab(di.hDC, static_cast<int>(di.itemID), di.rcItem);
      return TRUE;
    }
    case WM_SIZE:
      Arrange();
      return 0;
    case WM_SETFONT:
      if (FTab) SendMessageW(FTab, WM_SETFONT, wp, lp);
      Arrange();
      return 0;
    case WM_HV_SCHEMECHANGED:
      if (FTab) {
        wp ? SetWindowTheme(FTab, L"", L"") : SetWindowTheme(FTab, nullptr, nullptr);
        InvalidateRect(FTab, nullptr, TRUE);
      }
      return 0;
  }
  return TPanel::ControlProc(msg, wp, lp);
}

// --- TStatusBar

void TStatusBar::Create(TForm& form, HWND parent, bool sizeGrip) {
  TranslateText = false;
  CreateWnd(form, parent, STATUSCLASSNAMEW, L"",
            WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | (sizeGrip ? SBARS_SIZEGRIP : 0), 0,
            {0, 0, 0, kHeight96});
  SendMessageW(Handle(), WM_HV_SCHEMECHANGED, TStyleManager::Active().Dark, 0);
  SetPanels({-1});
  Realign();
}

void TStatusBar::SetPanels(const std::vector<int>& widths96) {
  FWidths96 = widths96.empty() ? std::vector<int>{-1} : widths96;
  FTexts.resize(FWidths96.size());
  ApplyParts();
}

void TStatusBar::ApplyParts() {
  std::vector<int> edges;
  int x = 0;
  for (int w : FWidths96) {
    x = w < 0 ? -1 : x + Scale(w, FormDpi(*this));
    edges.push_back(x);
  }
  SendMessageW(Handle(), SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  for (size_t i = 0; i < FTexts.size(); ++i)
    SendMessageW(Handle(), SB_SETTEXTW, i | SBT_OWNERDRAW, static_cast<LPARAM>(i));
}

void TStatusBar::SetPanelText(int index, std::wstring_view text) {
  if (index < 0 || index >= PanelCount()) return;
  FTexts[static_cast<size_t>(index)] = text;
  RECT r{};
  SendMessageW(Handle(), SB_GETRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  InvalidateRect(Handle(), &r, TRUE);
}

std::wstring TStatusBar::PanelText(int index) const {
  return index >= 0 && index < PanelCount() ? FTexts[static_cast<size_t>(index)] : std::wstring();
}

void TStatusBar::Realign() {
  SetWindowPos(Handle(), nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TStatusBar::HandleDrawItem(const DRAWITEMSTRUCT& di) {
  std::wstring text = PanelText(static_cast<int>(di.itemID));
  FillRect(di.hDC, &di.rcItem, TStyleManager::Brush(TStyleManager::SysColor(COLOR_BTNFACE)));
  SetBkMode(di.hDC, TRANSPARENT);
  SetTextColor(di.hDC, TStyleManager::SysColor(COLOR_BTNTEXT));
  RECT r = di.rcItem;
  r.left += Scale(2, FormDpi(*this));
  DrawTextW(di.hDC, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  return true;
}

LRESULT TStatusBar::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_WINDOWPOSCHANGING: {
      auto& wpos = *reinterpret_cast<WINDOWPOS*>(lp);
      if ((wpos.flags & SWP_NOMOVE) && (wpos.flags & SWP_NOSIZE)) break;
      RECT pr{};
      GetClientRect(GetParent(Handle()), &pr);
      int h = Scale(kHeight96, FormDpi(*this));
      FixPlace(wpos, {0, pr.bottom - h, pr.right, pr.bottom});
      break;
    }
    case WM_SETFONT: {
      LRESULT r = DefProc(msg, wp, lp);
      ApplyParts();
      Realign();
      return r;
    }
    case WM_HV_SCHEMECHANGED:
      wp ? SetWindowTheme(Handle(), L"", L"") : SetWindowTheme(Handle(), nullptr, nullptr);
      SendMessageW(Handle(), SB_SETBKCOLOR, 0,
                   static_cast<LPARAM>(wp ? TStyleManager::Active().Face : static_cast<COLORREF>(CLR_DEFAULT)));
      InvalidateRect(Handle(), nullptr, TRUE);
      return 0;
  }
  return DefProc(msg, wp, lp);
}

}  // namespace hv
