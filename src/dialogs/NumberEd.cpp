#include "dialogs/NumberEd.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <vector>

#include "base/app/ShowMessageDlg.h"
#include "base/text/StringUtils.h"
#include "winui/Dpi.h"
#include "winui/Forms.h"
#include "winui/Styles.h"
#include "winui/Translate.h"

namespace hv {
namespace {

constexpr UINT WM_HV_RANGEERROR = WM_APP + 0x0F10;

struct TModeInfo {
  int Radix, DigitsPerByte;
  const wchar_t* Prefix;
  const wchar_t* Keys;
};

const TModeInfo& Info(TNumMode m) {
  static const TModeInfo dec{10, 3, L"", L" +-0123456789"}, hex{16, 2, L"$", L"$0123456789ABCDEFabcdef"},
      oct{8, 3, L"%", L"%01234567"}, bin{2, 8, L"!", L"!01"};
  switch (m) {
    case TNumMode::nmHex: return hex;
    case TNumMode::nmOctal: return oct;
    case TNumMode::nmBin: return bin;
    default: return dec;
  }
}

std::wstring TrimBlanks(std::wstring_view s) {
  size_t b = s.find_first_not_of(L" \t"), e = s.find_last_not_of(L" \t");
  return b == std::wstring_view::npos ? std::wstring() : std::wstring(s.substr(b, e - b + 1));
}

std::vector<TNumUpDown*>& UpDowns() {
  static std::vector<TNumUpDown*> list;
  return list;
}

}  // namespace

// --- TCustomNumEdit

void TCustomNumEdit::Create(TForm& form, const TRect96& r96, HWND parent) {
  TranslateText = false;
  DWORD align = Alignment == TAlignment::taRightJustify ? ES_RIGHT : Alignment == TAlignment::taCenter ? ES_CENTER : ES_LEFT;
  CreateWnd(form, parent, WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | align, WS_EX_CLIENTEDGE, r96);
}

void TCustomNumEdit::DoEnter() {
  if (AutoSelect && GetKeyState(VK_LBUTTON) >= 0) SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

void TCustomNumEdit::HandleCommand(WORD code) {
  if (code == EN_SETFOCUS) DoEnter();
  if (code == EN_KILLFOCUS) DoExit();
  TEdit::HandleCommand(code);
}

LRESULT TCustomNumEdit::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CHAR:
      if (!IsValidChar(static_cast<wchar_t>(wp))) return 0;
      break;
    case WM_PASTE:
    case WM_CUT:
      if (ReadOnly()) return 0;
      break;
    case WM_KEYUP: {
      LRESULT r = TEdit::ControlProc(msg, wp, lp);
      DoKeyUp();
      return r;
    }
  }
  return TEdit::ControlProc(msg, wp, lp);
}

// --- TNumberEdit

void TNumberEdit::Create(TForm& form, const TRect96& r96, HWND parent) {
  TCustomNumEdit::Create(form, r96, parent);
  SetText(ValueText(FValue));
}

TNumMode TNumberEdit::ModeOfText(std::wstring_view text) const {
  if (!FPrefix) return FInpNumMd;
  if (text.empty()) return TNumMode::nmDecimal;
  switch (text[0]) {
    case L'$': return TNumMode::nmHex;
    case L'%': return TNumMode::nmOctal;
    case L'!': return TNumMode::nmBin;
    default: return TNumMode::nmDecimal;
  }
}

std::wstring TNumberEdit::ValueText(int64_t value) const {
  const TModeInfo& info = Info(FNumMode);
  int digits = FDigits;
  if (digits == 0 && FNumMode != TNumMode::nmDecimal) {
    // Digits for the largest value of the bit count, rounded half to even.
    double d = std::log(std::pow(2.0, std::min(FBits, 63))) / std::log(static_cast<double>(info.Radix)) + 0.5;
    int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    digits = static_cast<int>(std::nearbyint(d));
    std::fesetround(saved);
  }
  auto convert = [&](int64_t v, int width) {
    std::wstring s;
    switch (FNumMode) {
      case TNumMode::nmHex: s = IntToHexGrouped(static_cast<uint32_t>(v), width, FGroupDigits); break;
      case TNumMode::nmOctal: s = IntToOctGrouped(static_cast<uint32_t>(v), width, FGroupDigits); break;
      case TNumMode::nmBin: s = IntToBinGrouped(static_cast<uint32_t>(v), width, FGroupDigits); break;
      default:
        return IntToStrGrouped(v, static_cast<uint16_t>(width), FGroupDigits, FNumMode == TNumMode::nmZeroDec);
    }
    return FPrefix ? info.Prefix + s : s;
  };
  if (!FBytes) return convert(value, digits);
  std::wstring text;
  int64_t v = value;
  for (int i = 0; i < (FBits - 1) / 8 + 1; ++i) {
    std::wstring piece = convert(v & 0xFF, info.DigitsPerByte);
    text = text.empty() ? piece : piece + L"_" + text;
    v /= 256;
  }
  return text;
}

void TNumberEdit::SetValue(int64_t value) {
  bool changed = value != FValue;
  FValue = value;
  if (!Handle()) return;
  std::wstring text = ValueText(value);
  SetText(text);
  SendMessageW(Handle(), EM_SETSEL, text.size(), text.size());
  if (changed) SendMessageW(Handle(), EM_SETMODIFY, TRUE, 0);
}

int64_t TNumberEdit::Value() {
  std::wstring text = TrimBlanks(Text());
  if (text == L"+" || text == L"-") text.clear();
  FConvertError = false;
  if (text.empty()) return 0;
  TNumMode mode = ModeOfText(text);
  uint64_t result = 0;
  size_t pos = 0;
  for (;;) {
    size_t end = text.find(L'_', pos);
    std::wstring piece = text.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
    int64_t v = 0;
    bool ok = false;
    switch (mode) {
      case TNumMode::nmHex: ok = TryHexStrToInt(piece, v); break;
      case TNumMode::nmOctal: ok = TryOctStrToInt(piece, v); break;
      case TNumMode::nmBin: ok = TryBinStrToInt(piece, v); break;
      default:
        ok = TryStrToInt64(RemoveSpaces(piece), v) && v >= INT32_MIN && v <= INT32_MAX;
        break;
    }
    if (!ok) {
      MessageBeep(MB_ICONHAND);
      v = 0;
      FConvertError = true;
    }
    result = result * 256 + static_cast<uint64_t>(v);
    if (end == std::wstring::npos) break;
    pos = end + 1;
  }
  return static_cast<int64_t>(result);
}

bool TNumberEdit::IsValidChar(wchar_t key) {
  if (key <= 32) return true;
  TNumMode mode = FInpNumMd;
  if (FPrefix) {
    std::wstring text = TrimBlanks(Text());
    DWORD start = 0, end = 0;
    SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    bool whole = start == 0 && end >= static_cast<DWORD>(GetWindowTextLengthW(Handle()));
    mode = !text.empty() && !whole ? ModeOfText(text) : ModeOfText(std::wstring(1, key));
  }
  if (std::wstring_view(Info(mode).Keys).find(key) != std::wstring_view::npos) return true;
  MessageBeep(MB_ICONHAND);
  return false;
}

void TNumberEdit::SetBits(int bits) { Change(FBits, bits == 0 ? 32 : std::clamp(bits, 1, 64)); }
void TNumberEdit::SetDigits(int digits) { Change(FDigits, std::max(digits, 0)); }
void TNumberEdit::SetPrefix(bool value) { Change(FPrefix, value); }
void TNumberEdit::SetBytes(bool value) { Change(FBytes, value); }
void TNumberEdit::SetGroupDigits(int value) { Change(FGroupDigits, std::max(value, 0)); }
void TNumberEdit::SetNumMode(TNumMode mode) {
  FInpNumMd = mode;
  Change(FNumMode, mode);
}

// --- TRangeEdit

void TRangeEdit::Create(TForm& form, const TRect96& r96, HWND parent) {
  TNumberEdit::Create(form, r96, parent);
  SetValue(FValue);
}

void TRangeEdit::SetMinValue(int64_t v) {
  FMinValue = v;
  SetValue(FValue);
}

void TRangeEdit::SetMaxValue(int64_t v) {
  FMaxValue = v;
  SetValue(FValue);
}

void TRangeEdit::SetValue(int64_t value) {
  if (FMinValue != FMaxValue) value = std::clamp(value, std::min(FMinValue, FMaxValue), std::max(FMinValue, FMaxValue));
  TNumberEdit::SetValue(value);
}

std::wstring TRangeEdit::RangeErrorText() const {
  auto lo = static_cast<uint32_t>(FMinValue), hi = static_cast<uint32_t>(FMaxValue);
  std::wstring range;
  switch (NumMode()) {
    case TNumMode::nmHex: range = L"$" + IntToHexGrouped(lo, 0, 0) + L" .. $" + IntToHexGrouped(hi, 0, 0); break;
    case TNumMode::nmOctal: range = L"%" + IntToOctGrouped(lo, 0, 0) + L" .. %" + IntToOctGrouped(hi, 0, 0); break;
    case TNumMode::nmBin: range = L"!" + IntToBinGrouped(lo, 0, 0) + L" .. !" + IntToBinGrouped(hi, 0, 0); break;
    default:
      range = std::to_wstring(static_cast<int32_t>(lo)) + L" .. " + std::to_wstring(static_cast<int32_t>(hi));
      break;
  }
  return _(L"Range check error") + L" (" + range + L")";
}

void TRangeEdit::DoExit() {
  FValue = Value();
  FRangeError = RangeCheck && FMinValue != FMaxValue && (FValue < FMinValue || FValue > FMaxValue);
  if (FRangeError) {
    // Reported once the focus has moved: the edit takes it back and the error is shown.
    MessageBeep(MB_ICONHAND);
    PostMessageW(Handle(), WM_HV_RANGEERROR, 0, 0);
    return;
  }
  SetValue(FValue);
  TNumberEdit::DoExit();
}

LRESULT TRangeEdit::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_HV_RANGEERROR) {
    SetFocus();
    SendMessageW(Handle(), EM_SETSEL, 0, -1);
    EUserRangeError error(RangeErrorText());
    if (OnRangeError)
      OnRangeError(error);
    else
      ErrorDialog(error.Message());
    return 0;
  }
  return TNumberEdit::ControlProc(msg, wp, lp);
}

// --- TNumUpDown

void TNumUpDown::Create(TForm& form, const TRect96& r96, HWND parent) {
  TPanel::Create(form, r96, parent);
  if (TabStop) SetWindowLongW(Handle(), GWL_STYLE, GetWindowLongW(Handle(), GWL_STYLE) | WS_TABSTOP);
  UpDowns().push_back(this);
}

TNumUpDown::~TNumUpDown() { std::erase(UpDowns(), this); }

void TNumUpDown::SetAssociate(TCustomNumEdit* edit) {
  if (edit) {
    for (TNumUpDown* other : UpDowns())
      if (other != this && other->FAssociate == edit && GetParent(other->Handle()) == GetParent(Handle()))
        throw Exception(SafeFormat(_(L"%s is already associated with %s"), edit->Name, other->Name));
  }
  FAssociate = edit && GetParent(edit->Handle()) == GetParent(Handle()) ? edit : nullptr;
  Place();
}

void TNumUpDown::SetAlignButton(TUDAlignButton value) {
  FAlignButton = value;
  Place();
}

void TNumUpDown::Place() {
  if (FAssociate) {
    const TRect96& e = FAssociate->Bounds96;
    Bounds96 = {FAlignButton == TUDAlignButton::udRight ? e.Left + e.Width : e.Left - 16, e.Top, 16, e.Height};
    UINT dpi = Form()->Dpi();
    SetBounds(Scale(Bounds96.Left, dpi), Scale(Bounds96.Top, dpi), Scale(Bounds96.Width, dpi),
              Scale(Bounds96.Height, dpi));
  }
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TNumUpDown::ClickUp() {
  if (FAssociate) FAssociate->IncrementValue(Increment);
  if (OnUpClick) OnUpClick();
}

void TNumUpDown::ClickDown() {
  if (FAssociate) FAssociate->IncrementValue(-Increment);
  if (OnDownClick) OnDownClick();
}

RECT TNumUpDown::UpRect() const {
  RECT r{};
  GetClientRect(Handle(), &r);
  r.bottom = r.bottom / 2 + 1;
  return r;
}

RECT TNumUpDown::DownRect() const {
  RECT r{};
  GetClientRect(Handle(), &r);
  r.top = r.bottom / 2;
  return r;
}

void TNumUpDown::Paint(HDC dc) {
  const TColorScheme& s = TStyleManager::Active();
  bool enabled = IsWindowEnabled(Handle());
  RECT halves[2] = {UpRect(), DownRect()};
  bool pressed[2] = {FUpDown, FDownDown};
  for (int i = 0; i < 2; ++i) {
    RECT r = halves[i];
    if (s.System) {
      InflateRect(&r, 1, 1);
      DrawFrameControl(dc, &r, DFC_SCROLL,
                       (i == 0 ? DFCS_SCROLLUP : DFCS_SCROLLDOWN) | DFCS_FLAT | (enabled ? 0 : DFCS_INACTIVE) |
                           (pressed[i] ? DFCS_PUSHED : 0));
    } else {
      FillRect(dc, &r, TStyleManager::Brush(pressed[i] ? s.ButtonPressed : s.Button));
      // A small triangle in the middle of the half.
      int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2, a = std::max<int>((r.right - r.left) / 4, 2);
      POINT up[3] = {{cx - a, cy + a / 2}, {cx + a, cy + a / 2}, {cx, cy - a / 2}};
      POINT down[3] = {{cx - a, cy - a / 2}, {cx + a, cy - a / 2}, {cx, cy + a / 2}};
      HBRUSH b = TStyleManager::Brush(enabled ? s.ButtonText : s.GrayText);
      TSelectObject brush(dc, b);
      TSelectObject pen(dc, GetStockObject(NULL_PEN));
      Polygon(dc, i == 0 ? up : down, 3);
    }
  }
  HBRUSH frame = TStyleManager::Brush(
      s.System ? GetSysColor(enabled ? COLOR_BTNSHADOW : COLOR_ACTIVEBORDER) : s.Border);
  FrameRect(dc, &halves[0], frame);
  FrameRect(dc, &halves[1], frame);
  if (GetFocus() == Handle()) {
    RECT r{};
    GetClientRect(Handle(), &r);
    DrawFocusRect(dc, &r);
  }
}

LRESULT TNumUpDown::ControlProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      TPaintDC dc(Handle());
      Paint(dc.Get());
      return 0;
    }
    case WM_LBUTTONDOWN: {
      if (!IsWindowEnabled(Handle())) break;
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      RECT up = UpRect(), down = DownRect();
      FUpDown = PtInRect(&up, pt) && pt.y < down.top;
      FDownDown = !FUpDown && PtInRect(&down, pt);
      if (FUpDown || FDownDown) SetCapture(Handle());
      InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
    }
    case WM_LBUTTONUP: {
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      RECT up = UpRect(), down = DownRect();
      bool wasUp = FUpDown, wasDown = FDownDown;
      FUpDown = FDownDown = false;
      if (GetCapture() == Handle()) ReleaseCapture();
      InvalidateRect(Handle(), nullptr, FALSE);
      if (wasUp && PtInRect(&up, pt) && pt.y < down.top) ClickUp();
      if (wasDown && PtInRect(&down, pt)) ClickDown();
      return 0;
    }
    case WM_KEYDOWN:
      if (wp == VK_ADD || wp == VK_OEM_PLUS) {
        ClickUp();
        return 0;
      }
      if (wp == VK_SUBTRACT || wp == VK_OEM_MINUS) {
        ClickDown();
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_HV_SCHEMECHANGED:
      InvalidateRect(Handle(), nullptr, FALSE);
      return 0;
  }
  return TPanel::ControlProc(msg, wp, lp);
}

}  // namespace hv
