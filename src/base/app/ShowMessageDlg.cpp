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

TMsgBoxLayout MessageBoxLayout(TMsgDialogType type, UINT dpi, int workAreaWidth,
                               const std::function<SIZE(int width)>& measure) {
  auto s = [dpi](int v) { return hv::Scale(v, dpi); };
  const int top = s(kMargin96), left = s(kTextLeft96), iconSize = s(kIconSize96), bh = s(kButtonHeight96);
  const int bw = s(kButtonWidth96), cw = s(kCloseWidth96), gap = s(kButtonGap96);
  const int rowWidth = bw + cw + (type == TMsgDialogType::mdtConfirmYesNo ? bw : 0);
  TMsgBoxLayout l;
  SIZE text = measure(0);
  const int maxText = std::max(rowWidth, workAreaWidth / 2);
  if (text.cx > maxText) {
    l.WrapWidth = maxText;
    text = measure(maxText);
  }
  const int textHeight = std::max<int>(text.cy, type == TMsgDialogType::mdtCustom ? 2 * top : top + iconSize);
  const int clientWidth = 2 * top + left + std::max<int>(text.cx, rowWidth);
  l.Client = {clientWidth, textHeight + 3 * top + bh};
  l.Icon = {s(kIconLeft96), top, s(kIconLeft96) + iconSize, top + iconSize};
  l.Text = {left, top, clientWidth - top, top + textHeight};
  const int btTop = 2 * top + textHeight;
  int x = clientWidth - top - cw;
  l.Close = {x, btTop, x + cw, btTop + bh};
  x -= gap + bw;
  l.Center = {x, btTop, x + bw, btTop + bh};
  x -= gap + bw;
  l.Left = {x, btTop, x + bw, btTop + bh};
  return l;
}

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
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  const int workAreaWidth =
      GetMonitorInfoW(Monitor(), &mi) ? mi.rcWork.right - mi.rcWork.left : GetSystemMetrics(SM_CXSCREEN);
  const TMsgBoxLayout l = MessageBoxLayout(FDlgType, dpi, workAreaWidth, [this](int width) {
    return width > 0 ? GetWrappedTextSize(FCaption, Font(), width) : GetTextSize(FCaption, Font());
  });
  auto place = [](TControl& c, const RECT& r) { c.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); };
  SetClientSize(l.Client.cx, l.Client.cy);
  place(imgIcon, l.Icon);
  place(stInfo, l.Text);
  place(btClose, l.Close);
  place(btCenter, l.Center);
  place(btLeft, l.Left);
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
