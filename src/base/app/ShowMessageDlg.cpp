#include "base/app/ShowMessageDlg.h"

#include <algorithm>

#include "base/os/WinUtils.h"
#include "winui/Dpi.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kMargin96 = 15, kTextLeft96 = 45, kIconSize96 = 32, kIconLeft96 = 5;
constexpr int kButtonHeight96 = 32, kButtonWidth96 = 87, kCloseWidth96 = 112, kButtonGap96 = 3;

struct TTypeInfo {
  const wchar_t* Icon;  // null: none
  const wchar_t* Caption;
};

TTypeInfo TypeInfo(TMsgDialogType t) {
  switch (t) {
    case TMsgDialogType::mdtInformation: return {IDI_INFORMATION, L"Information"};
    case TMsgDialogType::mdtWarning: return {IDI_WARNING, L"Warning"};
    case TMsgDialogType::mdtError:
    case TMsgDialogType::mdtConfirmError:
    case TMsgDialogType::mdtConfirmRetry: return {IDI_ERROR, L"Error"};
    case TMsgDialogType::mdtConfirm:
    case TMsgDialogType::mdtConfirmCancel:
    case TMsgDialogType::mdtConfirmYesNo: return {IDI_QUESTION, L"Confirm"};
    case TMsgDialogType::mdtCustom: break;
  }
  return {nullptr, L""};
}

void SetButton(TButton& b, const wchar_t* caption, int result) {
  b.SetText(_(caption));
  b.ModalResult = result;
  b.SetVisible(true);
}

}  // namespace

TShowMsgDialog::TShowMsgDialog() {
  BorderStyle = TBorderStyle::bsToolWindow;
  KeyPreview = true;
  FontName = L"Tahoma";
  FontSize = 8;
  TextDomain = L"dialogs";
  ClientWidth96 = 556;
  ClientHeight96 = 137;
}

void TShowMsgDialog::FormCreate() {
  imgIcon.Create(*this, {kIconLeft96, kMargin96, kIconSize96, kIconSize96});
  stInfo.Create(*this, L"", {kTextLeft96, kMargin96, 491, 60}, nullptr, true, true);
  stInfo.TranslateText = false;
  btLeft.Create(*this, L"", {249, 90, kButtonWidth96, kButtonHeight96});
  btCenter.Create(*this, L"", {339, 90, kButtonWidth96, kButtonHeight96});
  btClose.Create(*this, L"", {429, 90, kCloseWidth96, kButtonHeight96});
  for (TButton* b : {&btLeft, &btCenter, &btClose}) b->TranslateText = false;
  Timer.OnTimer = [this] { ModalResult = mrCancel; };
}

int TShowMsgDialog::Execute(TPoint pos, std::wstring_view text, int delay, TMsgDialogType type,
                            TMsgDlgBtn defaultButton, TDefaultMonitor monitor) {
  if (text.empty()) return mrNone;
  DefaultMonitor = monitor;
  btLeft.SetVisible(false);
  btCenter.SetVisible(false);
  btClose.SetVisible(true);
  btClose.Cancel = true;
  btClose.SetDefault(false);
  btClose.ModalResult = mrCancel;

  using enum TMsgDialogType;
  switch (type) {
    case mdtInformation:
    case mdtWarning:
    case mdtError:
      SetButton(btClose, L"&Close", mrCancel);
      btClose.SetDefault(true);
      break;
    case mdtConfirm:
      SetButton(btCenter, L"&Yes", mrYes);
      SetButton(btClose, L"&No", mrNo);
      btCenter.SetDefault(defaultButton == TMsgDlgBtn::mbYes);
      btClose.SetDefault(defaultButton == TMsgDlgBtn::mbNo);
      break;
    case mdtConfirmError:
      SetButton(btCenter, L"&Yes", mrOk);
      SetButton(btClose, L"Cancel", mrCancel);
      btCenter.SetDefault(defaultButton == TMsgDlgBtn::mbYes);
      break;
    case mdtConfirmRetry:
      SetButton(btCenter, L"&Retry", mrRetry);
      SetButton(btClose, L"Cancel", mrCancel);
      btCenter.SetDefault(defaultButton == TMsgDlgBtn::mbRetry);
      break;
    case mdtConfirmCancel:
      SetButton(btCenter, L"&Yes", mrYes);
      SetButton(btClose, L"Cancel", mrCancel);
      btCenter.SetDefault(defaultButton == TMsgDlgBtn::mbYes);
      break;
    case mdtConfirmYesNo:
      SetButton(btLeft, L"&Yes", mrYes);
      SetButton(btCenter, L"&No", mrNo);
      SetButton(btClose, L"Cancel", mrCancel);
      btLeft.SetDefault(defaultButton == TMsgDlgBtn::mbYes);
      btCenter.SetDefault(defaultButton == TMsgDlgBtn::mbNo);
      break;
    case mdtCustom:
      btClose.SetVisible(false);
      break;
  }
  TTypeInfo info = TypeInfo(type);
  imgIcon.SetVisible(info.Icon != nullptr);

  std::wstring title, message(text);
  if (size_t bar = message.find(L'|'); bar != std::wstring::npos) {
    title = message.substr(0, bar);
    message.erase(0, bar + 1);
  }
  RunTimer = type == mdtCustom || delay > 0;
  SetCaption(!title.empty() ? title : (*info.Caption ? _(info.Caption) : std::wstring()));
  if (RunTimer)
    Timer.SetInterval(delay != 0 ? static_cast<UINT>(delay) * 1000
                                 : static_cast<UINT>(120 * message.size() + 2000));
  FCaption = message;
  FDlgType = type;
  PlaceForm(*this, pos);
  int result = ShowModal();
  Timer.SetEnabled(false);
  return result;
}

void TShowMsgDialog::Relayout(UINT dpi) {
  const int top = hv::Scale(kMargin96, dpi), left = hv::Scale(kTextLeft96, dpi);
  const int iconSize = hv::Scale(kIconSize96, dpi), bh = hv::Scale(kButtonHeight96, dpi);
  const int bw = hv::Scale(kButtonWidth96, dpi), cw = hv::Scale(kCloseWidth96, dpi), gap = hv::Scale(kButtonGap96, dpi);
  int rowWidth = bw + cw + (FDlgType == TMsgDialogType::mdtConfirmYesNo ? bw : 0);
  SIZE text = GetTextSize(FCaption, Font());
  int textHeight = std::max<int>(text.cy, FDlgType == TMsgDialogType::mdtCustom ? 2 * top : top + iconSize);
  int clientWidth = 2 * top + left + std::max<int>(text.cx, rowWidth);
  int clientHeight = textHeight + 3 * top + bh;
  SetClientSize(clientWidth, clientHeight);
  imgIcon.SetBounds(hv::Scale(kIconLeft96, dpi), top, iconSize, iconSize);
  stInfo.SetBounds(left, top, clientWidth - left - top, textHeight);
  int btTop = 2 * top + textHeight, x = clientWidth - top - cw;
  btClose.SetBounds(x, btTop, cw, bh);
  x -= gap + bw;
  btCenter.SetBounds(x, btTop, bw, bh);
  x -= gap + bw;
  btLeft.SetBounds(x, btTop, bw, bh);
  if (const wchar_t* icon = TypeInfo(FDlgType).Icon) imgIcon.SetSystemIcon(icon);
}

void TShowMsgDialog::FormShow() {
  Timer.SetEnabled(RunTimer);
  stInfo.SetText(FCaption);
  Relayout(Dpi());
  FitFormToWorkArea(*this);
  stInfo.SetFocus();
}

bool TShowMsgDialog::FormKeyDown(WORD key, bool shift, bool ctrl, bool alt) {
  if (key == VK_F11 || (RunTimer && key != VK_SHIFT && key != VK_CONTROL && key != VK_MENU)) {
    ModalResult = mrCancel;
    return true;
  }
  return TForm::FormKeyDown(key, shift, ctrl, alt);
}

int MessageDialogEx(TPoint pos, std::wstring_view text, int delay, TMsgDialogType type, TMsgDlgBtn defaultButton,
                    TDefaultMonitor monitor) {
  if (text.empty()) return mrNone;
  TShowMsgDialog dlg;
  dlg.Create();
  return dlg.Execute(pos, text, delay, type, defaultButton, monitor);
}

int MessageDialog(std::wstring_view text, TMsgDialogType type) {
  return MessageDialogEx(kDefaultDialogPos, text, 0, type, TMsgDlgBtn::mbYes, TDefaultMonitor::dmActiveForm);
}
int ErrorDialog(std::wstring_view text, int delay) {
  return MessageDialogEx(kDefaultDialogPos, text, delay, TMsgDialogType::mdtError, TMsgDlgBtn::mbYes,
                         TDefaultMonitor::dmActiveForm);
}
int ErrorDialogAt(TPoint pos, std::wstring_view text, TDefaultMonitor monitor) {
  return MessageDialogEx(pos, text, 0, TMsgDialogType::mdtError, TMsgDlgBtn::mbCancel, monitor);
}
int InfoDialog(std::wstring_view text, int delay) {
  return MessageDialogEx(kDefaultDialogPos, text, delay, TMsgDialogType::mdtInformation, TMsgDlgBtn::mbYes,
                         TDefaultMonitor::dmActiveForm);
}
int InfoDialogAt(TPoint pos, std::wstring_view text, TDefaultMonitor monitor) {
  return MessageDialogEx(pos, text, 0, TMsgDialogType::mdtInformation, TMsgDlgBtn::mbCancel, monitor);
}
bool ConfirmDialog(std::wstring_view text) {
  return MessageDialogEx(kDefaultDialogPos, text, 0, TMsgDialogType::mdtConfirm, TMsgDlgBtn::mbYes,
                         TDefaultMonitor::dmActiveForm) == mrYes;
}
bool ConfirmDialogAt(TPoint pos, std::wstring_view text, TMsgDlgBtn defaultButton, TDefaultMonitor monitor) {
  return MessageDialogEx(pos, text, 0, TMsgDialogType::mdtConfirm, defaultButton, monitor) == mrYes;
}
bool ConfirmRetryDialog(std::wstring_view text) {
  return MessageDialogEx(kDefaultDialogPos, text, 0, TMsgDialogType::mdtConfirmRetry, TMsgDlgBtn::mbYes,
                         TDefaultMonitor::dmActiveForm) == mrRetry;
}

}  // namespace hv
