#include "hvstarter/MailDlg.h"

#include <algorithm>

#include "base/app/ShowMessageDlg.h"
#include "base/os/WinUtils.h"
#include "base/security/Crypt.h"
#include "base/settings/IniFileUtils.h"
#include "base/text/StringUtils.h"
#include "dialogs/DlgUtils.h"
#include "dialogs/InpText.h"
#include "dialogs/NewPwdDlg.h"
#include "winui/Translate.h"

namespace hv::hvstarter {
namespace {

constexpr std::wstring_view kMail = L"Mail";
constexpr int kHistoryLines = 15;
// Design at 96 dpi.
constexpr int kButtonWidth96 = 87, kButtonHeight96 = 28, kEditHeight96 = 23;

std::wstring Dots(size_t count) { return std::wstring(count % 256, L'\u25CF'); }

// An address offered from the history, trimmed; on OK the history has it at the top.
bool AskAddress(TPoint pos, std::wstring_view title, TStringList& history, std::wstring& address) {
  if (!InputTextHist(pos, DGetText(L"dialogs", title), DGetText(L"dialogs", L"Address:"), false, L"", &history, false,
                     address))
    return false;
  address = TrimRightChar(TrimLeftChar(address, L' '), L' ');
  return !address.empty();
}

}  // namespace

TMailData DefaultValues() { return TMailData{}; }

TMailDialog::TMailDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poMainFormCenter;
  KeyPreview = true;
  ClientWidth96 = 500;
  ClientHeight96 = 470;
}

TMailDialog::~TMailDialog() {
  try {
    SaveHistories();
  } catch (...) {
    // The program is ending; its settings file was written before.
  }
}

void TMailDialog::FormCreate() {
  SetCaption(L"Mail settings");
  laServer.Create(*this, L"SMTP server:", {10, 8, 230, 17});
  cbServer.Create(*this, TComboBoxStyle::csDropDown, {10, 26, 230, kEditHeight96});
  cbServer.SetDropDownCount(kHistoryLines);
  cbServer.TranslateText = false;
  laPort.Create(*this, L"Port:", {250, 8, 80, 17});
  edPort.Create(*this, {250, 26, 80, kEditHeight96});
  edPort.SetMinValue(1);
  edPort.SetMaxValue(32767);
  edPort.SetValue(25);
  laUser.Create(*this, L"User name:", {10, 56, 230, 17});
  cbUser.Create(*this, TComboBoxStyle::csDropDown, {10, 74, 230, kEditHeight96});
  cbUser.SetDropDownCount(kHistoryLines);
  cbUser.TranslateText = false;
  laPwd.Create(*this, L"Password:", {250, 56, 240, 17});
  edSmtpPwd.Create(*this, L"", {250, 74, 200, kEditHeight96}, nullptr, true);
  edSmtpPwd.TranslateText = false;
  edSmtpPwd.Hint = L"Click button to enter password";
  SetWindowLongPtrW(edSmtpPwd.Handle(), GWL_STYLE, GetWindowLongPtrW(edSmtpPwd.Handle(), GWL_STYLE) & ~WS_TABSTOP);
  bbPassword.Create(*this, L"...", {456, 73, 34, 25});
  bbPassword.Hint = L"Click button to enter password";
  bbPassword.OnClick = [this] { bbPasswordClick(); };
  cbShowPwd.Create(*this, L"Show password", {250, 104, 240, 20});
  cbShowPwd.OnClick = [this] { ShowPassword(); };
  gbSecure.Create(*this, L"Use secure data connection", {10, 104, 230, 54});
  cbSecure.Create(*this, TComboBoxStyle::csDropDownList, {10, 22, 210, kEditHeight96}, gbSecure.Handle());
  cbSecure.SetItems({L"None", L"If available (explicit)", L"Require (explicit)", L"Always (implicit)"});
  cbSecure.OnCloseUp = [this] { cbSecureCloseUp(); };
  cbSecure.OnSelect = [this] {
    if (!cbSecure.DroppedDown()) cbSecureCloseUp();  // chosen with the keyboard or the wheel
  };
  laSender.Create(*this, L"Sender:", {10, 166, 230, 17});
  cbSender.Create(*this, TComboBoxStyle::csDropDown, {10, 184, 230, kEditHeight96});
  cbSender.TranslateText = false;
  laReply.Create(*this, L"Reply-To:", {250, 166, 240, 17});
  cbReply.Create(*this, TComboBoxStyle::csDropDown, {250, 184, 240, kEditHeight96});
  cbReply.TranslateText = false;
  laRecipients.Create(*this, L"Recipients:", {10, 214, 300, 17});
  lbRecipients.Create(*this, {10, 232, 340, 104});
  lbRecipients.TranslateText = false;
  lbRecipients.OnDblClick = [this] { btnEditClick(); };
  btnAdd.Create(*this, L"Add recipient", {360, 232, 130, kButtonHeight96});
  btnAdd.OnClick = [this] { btnAddClick(); };
  btnRemove.Create(*this, L"Remove recipient", {360, 270, 130, kButtonHeight96});
  btnRemove.OnClick = [this] { btnRemoveClick(); };
  btnEdit.Create(*this, L"Edit recipient", {360, 308, 130, kButtonHeight96});
  btnEdit.OnClick = [this] { btnEditClick(); };
  laSubject.Create(*this, L"Subject:", {10, 344, 480, 17});
  edSubject.Create(*this, L"", {10, 362, 480, kEditHeight96});
  edSubject.TranslateText = false;
  cbMailLog.Create(*this, L"Write communication log to file", {10, 394, 300, 20});
  cbMail.Create(*this, L"Enable mail delivery", {10, 416, 300, 20});
  CreateOkCancel(*this, OKBtn, CancelBtn, {500 - 10 - 2 * kButtonWidth96 - 6, 434, kButtonWidth96, kButtonHeight96},
                 {500 - 10 - kButtonWidth96, 434, kButtonWidth96, kButtonHeight96});
}

void TMailDialog::LoadFromIni(std::wstring_view iniName) {
  if (!FIniName.empty() || iniName.empty()) return;
  FIniName = iniName;
  TComboHistory server(cbServer), user(cbUser);
  LoadHistoryCombo(FIniName, L"SmtpServer", server, -1, false);
  LoadHistoryCombo(FIniName, L"MailUser", user, -1, false);
  LoadHistoryFile(FIniName, L"MailTo", L"Address", hl, DefaultHistoryLength, false);
}

void TMailDialog::SaveHistories() {
  if (FIniName.empty()) return;
  TComboHistory server(cbServer), user(cbUser);
  SaveHistoryCombo(FIniName, L"SmtpServer", true, server, -1, false);
  SaveHistoryCombo(FIniName, L"MailUser", true, user, -1, false);
  SaveHistoryFile(FIniName, L"MailTo", L"Address", true, hl, DefaultHistoryLength, false);
}

bool TMailDialog::Execute(std::wstring_view prompt, bool showPwd, TMailData& data) {
  cbShowPwd.SetVisible(showPwd);
  cbShowPwd.SetChecked(false);
  cbMail.SetText(prompt);
  cbMail.SetVisible(!prompt.empty());
  cbServer.SetText(data.Server);
  edPort.SetValue(data.Port);
  cbUser.SetText(data.Username);
  MailPwd = data.Password;
  ShowPassword();
  cbSender.SetItems(hl);
  cbSender.SetText(data.Sender);
  cbReply.SetItems(hl);
  cbReply.SetText(data.ReplyTo);
  lbRecipients.SetItems(CommaTextToList(data.Recipients));
  fSecureMode = data.SecureMode;
  cbSecure.SetItemIndex(static_cast<int>(fSecureMode));
  edSubject.SetText(data.Subject);
  cbMailLog.SetChecked(data.WriteLog);
  cbMail.SetChecked(data.Enabled);
  if (ShowModal() != mrOk) return false;

  data.Server = cbServer.Text();
  data.Port = static_cast<int32_t>(edPort.Value());
  data.Username = cbUser.Text();
  data.Password = MailPwd;
  data.Sender = cbSender.Text();
  data.ReplyTo = cbReply.Text();
  AddToHistory(hl, data.Sender);
  AddToHistory(hl, data.ReplyTo);
  data.Recipients = ListToCommaText(lbRecipients.Items());
  data.SecureMode = fSecureMode;
  data.Subject = edSubject.Text();
  data.WriteLog = cbMailLog.Checked();
  if (cbMail.Visible()) data.Enabled = cbMail.Checked();
  TComboHistory server(cbServer), user(cbUser);
  AddToHistoryCombo(server, data.Server);
  AddToHistoryCombo(user, data.Username);
  return true;
}

bool TMailDialog::CloseQuery() {
  if (ModalResult != mrOk) return true;
  if (cbServer.Text().empty()) {
    ErrorDialog(_(L"Please specify an SMTP server!"));
    cbServer.SetFocus();
    return false;
  }
  if (lbRecipients.Count() == 0) {
    ErrorDialog(_(L"Please specify at least one recipient!"));
    btnAddClick();
    return false;
  }
  return true;
}

void TMailDialog::ShowPassword() {
  edSmtpPwd.SetText(cbShowPwd.Visible() && cbShowPwd.Checked() ? MailPwd : Dots(MailPwd.size()));
}

void TMailDialog::bbPasswordClick() {
  std::wstring pwd = MailPwd;
  if (!NewPasswordEx(TopLeftPos(bbPassword), Caption(), pwd, false, false, 8, true)) return;
  MailPwd = pwd;
  ShowPassword();
}

void TMailDialog::cbSecureCloseUp() {
  const int choice = cbSecure.ItemIndex();
  if (choice < 0 || choice == static_cast<int>(fSecureMode)) return;
  fSecureMode = static_cast<TSecTransfer>(choice);
  edPort.SetValue(fSecureMode == TSecTransfer::stImplicit ? 465 : 25);
}

void TMailDialog::btnAddClick() {
  std::wstring address;
  if (!AskAddress(TopLeftPos(btnAdd), L"New mail recipient", hl, address)) return;
  for (const auto& item : lbRecipients.Items())
    if (AnsiLowerCase(item) == AnsiLowerCase(address)) return;
  lbRecipients.SetItemIndex(lbRecipients.Add(address));
}

void TMailDialog::btnEditClick() {
  const int i = lbRecipients.ItemIndex();
  if (i < 0) return;
  std::wstring address = lbRecipients.Item(i);
  if (!AskAddress(TopLeftPos(btnEdit), L"Edit mail recipient", hl, address)) return;
  lbRecipients.Delete(i);
  lbRecipients.Insert(i, address);
  lbRecipients.SetItemIndex(i);
}

void TMailDialog::btnRemoveClick() {
  const int i = lbRecipients.ItemIndex();
  if (i < 0) return;
  if (!ConfirmDialogAt(TopLeftPos(btnRemove),
                       SafeFormat(_(L"Remove recipient:\r\n%s\r\nfrom list?"), lbRecipients.Item(i)), TMsgDlgBtn::mbYes,
                       TDefaultMonitor::dmActiveForm))
    return;
  lbRecipients.Delete(i);
  if (lbRecipients.Count() > 0) lbRecipients.SetItemIndex(std::min(i, lbRecipients.Count() - 1));
}

}  // namespace hv::hvstarter
