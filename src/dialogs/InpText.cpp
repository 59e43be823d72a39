#include "dialogs/InpText.h"

#include <algorithm>

#include "base/os/WinUtils.h"
#include "dialogs/CharTableDlg.h"
#include "dialogs/DlgUtils.h"
#include "dialogs/InputString.h"
#include "winui/Dpi.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 301, kClientHeight96 = 96, kMargin96 = 8, kLabelHeight96 = 16, kFieldTop96 = 28;
constexpr int kFieldHeight96 = 23, kButtonWidth96 = 87, kButtonHeight96 = 27, kButtonGap96 = 6, kVisibleRows = 15;
constexpr int kTableButtonWidth96 = kClientWidth96 - 2 * kMargin96 - 2 * kButtonWidth96 - 2 * kButtonGap96;

}  // namespace

TInputTextDialog::TInputTextDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  KeyPreview = true;
  TextDomain = L"dialogs";
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

TInputTextDialog::~TInputTextDialog() {
  if (!FIniName.empty() && !FIniSection.empty()) {
    try {
      TComboHistory combo(TextFeld);
      SaveHistoryCombo(FIniName, FIniSection, true, combo, -1, false);
    } catch (...) {
      Application().HandleException();
    }
  }
  if (FFieldFont && TextFeld.Handle())
    SendMessageW(TextFeld.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
}

void TInputTextDialog::FormCreate() {
  SetCaption(L"Edit text");
  Descriptor.Create(*this, L"", {kMargin96, kMargin96, kClientWidth96 - 2 * kMargin96, kLabelHeight96}, nullptr, true);
  Descriptor.TranslateText = false;
  TextFeld.Create(*this, TComboBoxStyle::csSimple, {kMargin96, kFieldTop96, kClientWidth96 - 2 * kMargin96, kFieldHeight96});
  TextFeld.TranslateText = false;
  TextFeld.SetDropDownCount(kVisibleRows);
  CreateOkCancel(*this, OKBtn, CancelBtn, {0, 0, kButtonWidth96, kButtonHeight96});
  CharTabBtn.Create(*this, L"Character table", {0, 0, kTableButtonWidth96, kButtonHeight96});
  CharTabBtn.OnClick = [this] { CharTabBtnClick(); };
  FDefWidth = Scale(kClientWidth96);
}

void TInputTextDialog::Relayout(UINT dpi) {
  if (!CancelBtn.Handle()) return;
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  const int w = ClientSize().cx, m = s(kMargin96);
  Descriptor.SetBounds(m, m, w - 2 * m, s(kLabelHeight96));
  TextFeld.SetBounds(m, s(kFieldTop96), w - 2 * m, s(kFieldHeight96));
  int top = s(kClientHeight96 - kMargin96 - kButtonHeight96);
  PlaceOkCancel(OKBtn, CancelBtn, w - m, top, s(kButtonWidth96), s(kButtonHeight96), s(kButtonGap96));
  CharTabBtn.SetBounds(m, top, s(kTableButtonWidth96), s(kButtonHeight96));
}

void TInputTextDialog::FormShow() { FitFormToWorkArea(*this); }

void TInputTextDialog::FollowItemCount() {
  TextFeld.SetStyle(TextFeld.Count() > 0 ? TComboBoxStyle::csDropDown : TComboBoxStyle::csSimple);
  if (FFieldFont) SendMessageW(TextFeld.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FFieldFont.Get()), FALSE);
  Relayout(Dpi());
}

void TInputTextDialog::SetHistory(const TStringList& items, bool sorted) {
  TStringList list = items;
  if (sorted)
    std::sort(list.begin(), list.end(),
              [](const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; });
  TextFeld.SetItems(list);
  FollowItemCount();
}

void TInputTextDialog::LoadFromIni(std::wstring_view iniName, std::wstring_view section) {
  FIniName = iniName;
  FIniSection = section;
  if (FIniName.empty() || FIniSection.empty()) return;
  TComboHistory combo(TextFeld);
  LoadHistoryCombo(FIniName, FIniSection, combo, -1, false);
  FollowItemCount();
}

void TInputTextDialog::CharTabBtnClick() {
  LOGFONTW lf{};
  GetObjectW(FFieldFont ? FFieldFont.Get() : Font(), sizeof(lf), &lf);
  if (wchar_t c = SelectCharacter(TopRightPos(CharTabBtn), lf.lfFaceName))
    TextFeld.SetText(TextFeld.Text() + c);
  TextFeld.SetFocus();
  const auto end = static_cast<WORD>(std::min<size_t>(TextFeld.Text().size(), 0xFFFF));
  SendMessageW(TextFeld.Handle(), CB_SETEDITSEL, 0, MAKELPARAM(end, end));
}

bool TInputTextDialog::Execute(TPoint pos, std::wstring_view title, std::wstring_view desc, bool showTable,
                               std::wstring_view fontName, std::wstring& text) {
  PlaceForm(*this, pos);
  if (!title.empty()) SetCaption(title);
  Descriptor.SetText(desc);
  CharTabBtn.SetVisible(showTable);
  if (!fontName.empty()) {
    LOGFONTW lf{};
    GetObjectW(Font(), sizeof(lf), &lf);
    lstrcpynW(lf.lfFaceName, std::wstring(fontName).c_str(), LF_FACESIZE);
    FFieldFont.Reset(CreateFontIndirectW(&lf));
  }
  FollowItemCount();
  TextFeld.SetText(text);
  TextFeld.Hint = desc;
  HFONT measure = FFieldFont ? FFieldFont.Get() : Font();
  SetClientSize(InputStringClientWidth(GetTextWidth(text, measure), Dpi(), FDefWidth), Scale(kClientHeight96));
  Relayout(Dpi());
  ActiveControl = &TextFeld;
  if (ShowModal() != mrOk) return false;
  text = TextFeld.Text();
  TComboHistory combo(TextFeld);
  AddToHistoryCombo(combo, text);
  return true;
}

bool InputTextHist(TPoint pos, std::wstring_view title, std::wstring_view desc, bool showTable,
                   std::wstring_view fontName, TStringList* history, bool sorted, std::wstring& text) {
  TInputTextDialog dlg;
  dlg.Create();
  if (history) dlg.SetHistory(*history, sorted);
  if (!dlg.Execute(pos, title, desc, showTable, fontName, text)) return false;
  if (history) *history = dlg.History();
  return true;
}

bool InputText(TPoint pos, std::wstring_view title, std::wstring_view desc, bool showTable, std::wstring& text) {
  return InputTextHist(pos, title, desc, showTable, L"", nullptr, false, text);
}

}  // namespace hv
