#include "dialogs/ErrorActionDlg.h"

#include "base/os/WinUtils.h"
#include "base/text/ExtSysUtils.h"
#include "dialogs/DlgUtils.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 8, kGroupWidth96 = 300, kBoxHeight96 = 22, kBoxIndent96 = 12;
constexpr int kButtonWidth96 = 87, kButtonHeight96 = 27, kButtonGap96 = 6;
constexpr int kGroupHeight96 = TGroupBox::kContentTop96 + 5 * kBoxHeight96 + 8;

}  // namespace

TErrorActionDialog::TErrorActionDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  KeyPreview = true;
  ClientWidth96 = kGroupWidth96 + 2 * kMargin96;
  ClientHeight96 = kGroupHeight96 + 3 * kMargin96 + kButtonHeight96;
}

void TErrorActionDialog::FormCreate() {
  SetCaption(L"Subsequent action");
  gbSettings.Create(*this, L"", {kMargin96, kMargin96, kGroupWidth96, kGroupHeight96});
  gbSettings.TranslateText = false;
  struct {
    TCheckBox* Box;
    const wchar_t* Caption;
  } boxes[] = {{&cbErr1, L"Task file not found"},
               {&cbErr2, L"Destination not accessible"},
               {&cbErr4, L"Source directory not found"},
               {&cbErr8, L"Invalid task configuration"},
               {&cbErr16, L"Other errors during backup"}};
  int top = TGroupBox::kContentTop96;
  for (auto& b : boxes) {
    b.Box->Create(*this, b.Caption, {kBoxIndent96, top, kGroupWidth96 - 2 * kBoxIndent96, kBoxHeight96 - 2},
                  gbSettings.Handle());
    top += kBoxHeight96;
  }
  const int buttonTop = kGroupHeight96 + 2 * kMargin96;
  const int right = kGroupWidth96 + kMargin96;
  const TRect96 ok{right - 2 * kButtonWidth96 - kButtonGap96, buttonTop, kButtonWidth96, kButtonHeight96};
  CreateOkCancel(*this, OKBtn, CancelBtn, ok, {right - kButtonWidth96, buttonTop, kButtonWidth96, kButtonHeight96});
}

void TErrorActionDialog::FormShow() { FitFormToWorkArea(*this); }

bool TErrorActionDialog::Execute(TPoint pos, std::wstring_view action, int& mask) {
  PlaceForm(*this, pos);
  gbSettings.SetText(SafeFormat(_(L"No %s on these errors"), std::wstring(action)));
  TCheckBox* boxes[] = {&cbErr1, &cbErr2, &cbErr4, &cbErr8, &cbErr16};
  for (int i = 0; i < 5; ++i) boxes[i]->SetChecked(mask & (1 << i));
  ActiveControl = &cbErr1;
  if (ShowModal() != mrOk) return false;
  int result = 0;
  for (int i = 0; i < 5; ++i)
    if (boxes[i]->Checked()) result |= 1 << i;
  mask = result;
  return true;
}

bool SelectErrorActions(TPoint pos, std::wstring_view action, int& mask) {
  TErrorActionDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, action, mask);
}

}  // namespace hv
