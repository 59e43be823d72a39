#include "unattended/BuMailDlg.h"

#include "base/security/Crypt.h"
#include "base/text/StringUtils.h"

namespace hv {

void ClearMailData(TMailData& mailData) { mailData = TMailData{}; }

std::vector<std::wstring> AttachmentList(std::wstring_view attachments) {
  std::vector<std::wstring> items;
  std::wstring rest(attachments);
  while (!rest.empty()) {
    std::wstring item = ReadNextItem(rest, L',');
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

bool AddAttachments(std::wstring& attachments, const std::vector<std::wstring>& files) {
  std::vector<std::wstring> items = AttachmentList(attachments);
  for (const auto& f : files)
    if (!f.empty()) items.push_back(f);
  if (items.size() > kMaxAttachments) return false;
  std::wstring joined;
  for (const auto& item : items) joined += (joined.empty() ? L"" : L",") + item;
  attachments = joined;
  return true;
}

void ReadMailData(const TUnicodeIniFile& ini, std::wstring_view section, TMailData& m) {
  m.SMTP = ini.ReadString(section, L"SMTP", L"");
  m.Port = ini.ReadInteger(section, L"Port", 25);
  m.Username = ini.ReadString(section, L"Username", L"");
  m.Password = DecryptPassword(ini.ReadString(section, L"Password", L""));
  m.Sender = ini.ReadString(section, L"Sender", L"");
  m.ReplyTo = ini.ReadString(section, L"ReplyTo", L"");
  m.Recipients = ini.ReadString(section, L"Recipients", L"");
  m.Subject = ini.ReadString(section, L"Subject", L"");
  m.SecureMode = static_cast<TSecTransfer>(ini.ReadInteger(section, L"UseTLS", 0));
  m.LogMode = static_cast<TMailMode>(ini.ReadInteger(section, L"AttachLog", 0));
  if (ini.ReadBool(section, L"SendLog", false) && m.LogMode == TMailMode::mmNone) m.LogMode = TMailMode::mmAlways;
  m.ZipMode = static_cast<TZipMode>(ini.ReadInteger(section, L"AsZip", 0));
  m.CryptKey = DecryptPassword(ini.ReadString(section, L"Encrypt", L""));
  if (m.CryptKey.empty() && m.ZipMode == TZipMode::zmEncrypt) m.ZipMode = TZipMode::zmYes;
  std::wstring attachments;
  // Keys 0 to 9, and any further ones a longer list left behind.
  for (size_t i = 0; i < kMaxAttachments || ini.ValueExists(section, L"Attachment" + std::to_wstring(i)); ++i) {
    std::wstring a = ini.ReadString(section, L"Attachment" + std::to_wstring(i), L"");
    if (!a.empty()) attachments += (attachments.empty() ? L"" : L",") + a;
  }
  m.Attachments = attachments;
}

void WriteMailData(TUnicodeIniFile& ini, std::wstring_view section, const TMailData& m) {
  ini.EraseSectionValues(section);
  ini.WriteString(section, L"SMTP", m.SMTP);
  ini.WriteInteger(section, L"Port", m.Port);
  ini.WriteString(section, L"Username", m.Username);
  ini.WriteString(section, L"Password", EncryptPassword(m.Password));
  ini.WriteString(section, L"Sender", m.Sender);
  ini.WriteString(section, L"ReplyTo", m.ReplyTo);
  ini.WriteString(section, L"Recipients", m.Recipients);
  ini.WriteString(section, L"Subject", m.Subject);
  ini.WriteInteger(section, L"UseTLS", static_cast<int>(m.SecureMode));
  ini.WriteInteger(section, L"AttachLog", static_cast<int>(m.LogMode));
  ini.WriteInteger(section, L"AsZip", static_cast<int>(m.ZipMode));
  ini.WriteString(section, L"Encrypt", EncryptPassword(m.CryptKey));
  const std::vector<std::wstring> items = AttachmentList(m.Attachments);
  for (size_t i = 0; i < items.size(); ++i)
    ini.WriteString(section, L"Attachment" + std::to_wstring(i), items[i]);
}

}  // namespace hv

// ---- the dialog ----

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>

#include "base/app/HvUtils.h"
#include "base/app/InitProg.h"
#include "base/app/ShowMessageDlg.h"
#include "base/os/FileUtils.h"
#include "base/os/WinUtils.h"
#include "base/settings/BuConsts.h"
#include "base/text/ExtSysUtils.h"
#include "base/text/PathUtils.h"
#include "dialogs/DlgUtils.h"
#include "dialogs/EditHistListDlg.h"
#include "dialogs/InpText.h"
#include "dialogs/NewPwdDlg.h"
#include "dialogs/PhDlg.h"
#include "unattended/StatWind.h"
#include "winui/CommonDialogs.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// Design at 96 dpi.
constexpr int kClientWidth96 = 620, kClientHeight96 = 590;
constexpr int kEditHeight96 = 23, kLabelHeight96 = 17, kButtonHeight96 = 28, kButtonWidth96 = 96;
constexpr int kHistoryLines = 15;
constexpr int kSmallButton96 = 34;

std::wstring Dots(size_t count) { return std::wstring(count, L'\u25CF'); }

std::wstring ReplaceAll(std::wstring text, std::wstring_view from, std::wstring_view to) {
  for (size_t p = text.find(from); p != std::wstring::npos; p = text.find(from, p + to.size()))
    text.replace(p, from.size(), to);
  return text;
}

TPoint MousePos() {
  POINT p{};
  GetCursorPos(&p);
  return {p.x, p.y};
}

std::wstring JoinComma(const std::vector<std::wstring>& items) {
  std::wstring text;
  for (const auto& item : items) text += (text.empty() ? L"" : L",") + item;
  return text;
}

// Right-clicks into the edit part of a combo box reach the form, which offers the history editor.
LRESULT CALLBACK ComboEditProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR combo) {
  if (msg == WM_CONTEXTMENU) {
    HWND box = reinterpret_cast<HWND>(combo);
    return SendMessageW(GetAncestor(box, GA_ROOT), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box), lp);
  }
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(wnd, ComboEditProc, 0);
  return DefSubclassProc(wnd, msg, wp, lp);
}

void HookComboEdit(TComboBox& combo) {
  COMBOBOXINFO ci{};
  ci.cbSize = sizeof ci;
  if (!combo.Handle() || !GetComboBoxInfo(combo.Handle(), &ci) || !ci.hwndItem || ci.hwndItem == combo.Handle()) return;
  SetWindowSubclass(ci.hwndItem, ComboEditProc, 0, reinterpret_cast<DWORD_PTR>(combo.Handle()));
}

}  // namespace

std::vector<TRecipient> ParseRecipients(std::wstring_view recipients) {
  std::vector<TRecipient> list;
  for (const std::wstring& item : AttachmentList(recipients)) {
    if (item[0] == L'#')
      list.push_back({item.substr(1), TCheckBoxState::cbGrayed});
    else if (item[0] == L'*')
      list.push_back({item.substr(1), TCheckBoxState::cbUnchecked});
    else
      list.push_back({item, TCheckBoxState::cbChecked});
  }
  return list;
}

std::wstring JoinRecipients(const std::vector<TRecipient>& recipients) {
  std::vector<std::wstring> items;
  for (const TRecipient& r : recipients) {
    const wchar_t* prefix = r.State == TCheckBoxState::cbGrayed     ? L"#"
                            : r.State == TCheckBoxState::cbUnchecked ? L"*"
                                                                     : L"";
    items.push_back(prefix + r.Address);
  }
  return JoinComma(items);
}

void PrepareTestMail(TmMailer& mailer, const TTestMail& mail) {
  mailer.ClearBody();
  mailer.Subject = L"Harvane: " + _(L"Mail delivery test on ") + mail.DateTime;
  mailer.AddToBody(_(L"This is a test mail from ") + mail.ProgramName + L" (" + mail.ProgramVersion + L")");
  mailer.SetRecipients(mail.Recipients);
  mailer.Host = mail.Server;
  mailer.Port = mail.Port;
  mailer.UserId = mail.User;
  mailer.Password = mail.Password;
  mailer.SetSecureTransfer(mail.SecureMode);
  mailer.HeloName = L"Harvane";
  mailer.Logname = mail.LogFile;
  mailer.WriteLogFile = true;
  if (mail.Sender.find(L'@') == std::wstring::npos)
    mailer.From = {mail.Sender, mail.ReplyTo};
  else
    mailer.From = {L"Harvane", mail.Sender};
  mailer.Attachments.AttachedFiles.clear();
  mailer.ClearExtraHeaders();
  mailer.AddExtraHeader(L"User-Agent", mail.UserAgent);
  mailer.AddExtraHeader(L"Sender", mailer.From.Address);
  mailer.AddExtraHeader(L"Reply-To", mail.ReplyTo);
}

std::wstring TestMailResultText(bool success, const TmMailer& mailer) {
  if (success) {
    std::vector<std::wstring> addresses;
    for (const TMailAddress& a : mailer.Recipients) addresses.push_back(a.Address);
    return ReplaceAll(SafeFormat(_(L"Mail notifications were sent to: %s"), JoinComma(addresses)), L": ", L":\r\n");
  }
  std::wstring text = SafeFormat(_(L"Error during mail delivery (SMTP: %s:%u)"), mailer.Host, mailer.Port);
  for (const TSendError& e : mailer.ErrorList())
    text += L"\r\n - " + (e.ErrType == TSendErrorType::seFailedRecipient
                              ? SafeFormat(_(L"Could not deliver mail to %s!"), e.ErrMsg)
                              : e.ErrMsg);
  return text;
}

TMailDialog::TMailDialog() {
  BorderStyle = TBorderStyle::bsDialog;
  Position = TPosition::poScreenCenter;
  KeyPreview = true;
  ClientWidth96 = kClientWidth96;
  ClientHeight96 = kClientHeight96;
}

TMailDialog::~TMailDialog() {
  if (FIniName.empty()) return;
  try {
    SaveHistoryFile(FIniName, L"MailTo", L"Address", true, hl, DefaultHistoryLength, false);
  } catch (...) {
    Application().HandleException();  // a destructor cannot raise: the history is reported lost
  }
}

void TMailDialog::FormCreate() {
  SetCaption(L"E-Mail configuration");
  const int w = kClientWidth96 - 20;
  lbTask.Create(*this, L"", {10, 8, w, 20}, nullptr, true);
  lbTask.TranslateText = false;

  // Server
  laServer.Create(*this, L"SMTP server:", {10, 34, 220, kLabelHeight96});
  edServer.Create(*this, {10, 52, 220, kEditHeight96});
  edServer.SetMaxItems(kHistoryLines);
  edServer.SetDropDownCount(kHistoryLines);
  edServer.TranslateText = false;
  edServer.Hint = L"Server name";
  laPort.Create(*this, L"Port:", {240, 34, 80, kLabelHeight96});
  edPort.Create(*this, {240, 52, 80, kEditHeight96});
  edPort.SetMinValue(0);
  edPort.SetMaxValue(65535);
  edPort.SetValue(25);
  gbSecure.Create(*this, L"Use secure data connection", {330, 30, 280, 54});
  cbSecure.Create(*this, TComboBoxStyle::csOwnerDrawFixed, {8, 22, 264, kEditHeight96}, gbSecure.Handle());
  cbSecure.SetItems({_(L"None"), _(L"If available (explicit)"), _(L"Require (explicit)"), _(L"Always (implicit)")});
  cbSecure.TranslateText = false;
  cbSecure.OnCloseUp = [this] { cbSecureCloseUp(); };
  cbSecure.OnSelect = [this] {
    if (!cbSecure.DroppedDown()) cbSecureCloseUp();  // chosen with the keyboard or the wheel
  };
  laUser.Create(*this, L"User name:", {10, 84, 220, kLabelHeight96});
  edUsername.Create(*this, {10, 102, 220, kEditHeight96});
  edUsername.SetMaxItems(kHistoryLines);
  edUsername.SetDropDownCount(kHistoryLines);
  edUsername.TranslateText = false;
  laPwd.Create(*this, L"Password:", {240, 84, 330, kLabelHeight96});
  edtSmtpPwd.Create(*this, L"", {240, 102, 330, kEditHeight96}, nullptr, true);
  edtSmtpPwd.TranslateText = false;
  edtSmtpPwd.Hint = L"Click button to enter password";
  SetWindowLongPtrW(edtSmtpPwd.Handle(), GWL_STYLE, GetWindowLongPtrW(edtSmtpPwd.Handle(), GWL_STYLE) & ~WS_TABSTOP);
  bbPassword.Create(*this, L"...", {576, 101, kSmallButton96, 25});
  bbPassword.TranslateText = false;
  bbPassword.Hint = L"Click button to enter password";
  bbPassword.OnClick = [this] { bbPasswordClick(); };

  // Sender
  laSender.Create(*this, L"Sender:", {10, 134, 290, kLabelHeight96});
  edSender.Create(*this, TComboBoxStyle::csDropDown, {10, 152, 290, kEditHeight96});
  edSender.TranslateText = false;
  edSender.Tag = 1;
  laReply.Create(*this, L"Reply-to address:", {320, 134, 290, kLabelHeight96});
  edReply.Create(*this, TComboBoxStyle::csDropDown, {320, 152, 290, kEditHeight96});
  edReply.TranslateText = false;
  edReply.Tag = 1;

  // Recipients
  laRecipients.Create(*this, L"Recipients:", {10, 184, 290, kLabelHeight96});
  lbRecipients.AllowGrayed = true;
  lbRecipients.Create(*this, {10, 202, 440, 106});
  lbRecipients.TranslateText = false;
  lbRecipients.OnDblClick = [this] { btnEditRecClick(); };
  btnAddRec.Create(*this, L"Add recipient", {460, 202, 150, kButtonHeight96});
  btnAddRec.OnClick = [this] { btnAddRecClick(); };
  btnRemRec.Create(*this, L"Remove recipient", {460, 241, 150, kButtonHeight96});
  btnRemRec.OnClick = [this] { btnRemRecClick(); };
  btnEditRec.Create(*this, L"Edit recipient", {460, 280, 150, kButtonHeight96});
  btnEditRec.OnClick = [this] { btnEditRecClick(); };
  laRecNote.Create(*this, L"The recipients marked with a square will receive a mail only in case of errors",
                   {10, 312, w, kLabelHeight96});

  // Subject
  laSubject.Create(*this, L"Subject:", {10, 338, 290, kLabelHeight96});
  edSubject.Create(*this, {10, 356, 440, kEditHeight96});
  edSubject.SetMaxItems(kHistoryLines);
  edSubject.SetDropDownCount(kHistoryLines);
  edSubject.TranslateText = false;
  btnPhSubject.Create(*this, L"Insert placeholder", {460, 354, 150, kButtonHeight96});
  btnPhSubject.OnClick = [this] { btnPhSubjectClick(); };

  // Attachments
  gbLog.Create(*this, L"Attach log file", {10, 392, 170, 96});
  rbLogAlways.Create(*this, L"Always", {10, 22, 150, 20}, gbLog.Handle(), true);
  rbLogError.Create(*this, L"Only on errors", {10, 45, 150, 20}, gbLog.Handle());
  rbLogNever.Create(*this, L"Never", {10, 68, 150, 20}, gbLog.Handle());
  for (TRadioButton* rb : {&rbLogAlways, &rbLogError, &rbLogNever}) rb->OnClick = [this] { rbLogClick(); };
  rbLogNever.SetChecked(true);
  rgZip.Create(*this, L"Pack as zip file", {188, 392, 150, 96});
  rgZip.SetItems({L"No", L"Plain text", L"Encrypted"});
  rgZip.Hint = L"Compress attached log file";
  rgZip.OnClick = [this] { rgZipClick(); };
  laAttach.Create(*this, L"Other attachments:", {346, 392, 224, kLabelHeight96});
  lbAttach.MultiSelect = true;
  lbAttach.ExtendedSelect = true;
  lbAttach.Create(*this, {346, 410, 224, 78});
  lbAttach.TranslateText = false;
  lbAttach.OnDblClick = [this] { btnEditAttClick(); };
  btnAddAtt.Create(*this, L"+", {576, 410, kSmallButton96, 24});
  btnAddAtt.Hint = L"Select files to be attached";
  btnAddAtt.OnClick = [this] { btnAddAttClick(); };
  btnRemAtt.Create(*this, L"-", {576, 437, kSmallButton96, 24});
  btnRemAtt.Hint = L"Remove attachments from list";
  btnRemAtt.OnClick = [this] { btnRemAttClick(); };
  btnEditAtt.Create(*this, L"...", {576, 464, kSmallButton96, 24});
  btnEditAtt.Hint = L"Edit selected attachment";
  btnEditAtt.OnClick = [this] { btnEditAttClick(); };
  for (TButton* b : {&btnAddAtt, &btnRemAtt, &btnEditAtt}) b->TranslateText = false;

  // Action
  gbAction.Create(*this, L"Send mail after action", {10, 496, 290, 86});
  rbNever.Create(*this, L"Never", {10, 20, 270, 20}, gbAction.Handle(), true);
  rbError.Create(*this, L"Only on errors", {10, 41, 270, 20}, gbAction.Handle());
  rbAlways.Create(*this, L"As specified in list of recipients", {10, 62, 270, 20}, gbAction.Handle());
  rbNever.SetChecked(true);
  const int by = kClientHeight96 - 10 - kButtonHeight96;
  btnTest.Create(*this, L"Test", {310, by, kButtonWidth96, kButtonHeight96});
  btnTest.Hint = L"Send mail to check settings";
  btnTest.OnClick = [this] { btnTestClick(); };
  const int okLeft = kClientWidth96 - 10 - 2 * kButtonWidth96 - 6;
  CreateOkCancel(*this, OKBtn, CancelBtn, {okLeft, by, kButtonWidth96, kButtonHeight96},
                 {kClientWidth96 - 10 - kButtonWidth96, by, kButtonWidth96, kButtonHeight96});

  pmHistList.Add(L"Edit list ...", [this] {
    if (FPopupCombo) pmiEditListClick(*FPopupCombo);
  });
  pmHistList.AddSeparator();
  pmHistList.Add(L"Cancel");
}

void TMailDialog::Relayout(UINT dpi) {
  TForm::Relayout(dpi);
  // The task's caption in the bold form of the dialog's font.
  LOGFONTW lf{};
  if (GetObjectW(Font(), sizeof lf, &lf)) {
    lf.lfWeight = FW_BOLD;
    TFontHandle bold(CreateFontIndirectW(&lf));
    SendMessageW(lbTask.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(bold.Get()), TRUE);
    FBoldFont = std::move(bold);
  }
}

void TMailDialog::FormShow() {
  FitFormToWorkArea(*this);
  for (TComboBox* c : {static_cast<TComboBox*>(&edServer), static_cast<TComboBox*>(&edUsername), &edSender, &edReply,
                       static_cast<TComboBox*>(&edSubject)})
    HookComboEdit(*c);
}

bool TMailDialog::FormHelp() {
  ShowHelp(L"hv-options.html#mail");
  return true;
}

LRESULT TMailDialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CONTEXTMENU) {
    HWND from = reinterpret_cast<HWND>(wp);
    for (TComboBox* c : {static_cast<TComboBox*>(&edServer), static_cast<TComboBox*>(&edUsername), &edSender,
                         &edReply, static_cast<TComboBox*>(&edSubject)})
      if (c->Handle() == from) {
        POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (pt.x == -1 && pt.y == -1) {
          const TPoint p = BottomLeftPos(*c);
          pt = {p.X, p.Y};
        }
        FPopupCombo = c;
        pmHistList.Popup(pt.x, pt.y, Handle());
        return 0;
      }
  }
  return TForm::WndProc(msg, wp, lp);
}

void TMailDialog::Init(std::wstring_view iniName) {
  if (!FIniName.empty() || iniName.empty()) return;
  FIniName = iniName;
  edServer.LoadFromIni(FIniName, L"SmtpServer");
  edUsername.LoadFromIni(FIniName, L"MailUser");
  edSubject.LoadFromIni(FIniName, L"Subjects");
  LoadHistoryFile(FIniName, L"MailTo", L"Address", hl, DefaultHistoryLength, false);
}

void TMailDialog::ShowPwdDots() { edtSmtpPwd.SetText(Dots(MailPwd.size())); }

bool TMailDialog::Execute(TmMailer* mailer, std::wstring_view task, TMailData& m, TMailMode& mode) {
  lbTask.SetText(task);
  fMailer = mailer;
  Action = std::wstring(task.substr(0, std::min(task.find(L':'), task.size())));
  rbAlways.SetChecked(mode == TMailMode::mmAlways);
  rbError.SetChecked(mode == TMailMode::mmError);
  rbNever.SetChecked(mode != TMailMode::mmAlways && mode != TMailMode::mmError);
  edServer.SetText(m.SMTP);
  edUsername.SetText(m.Username);
  MailPwd = m.Password;
  ShowPwdDots();
  edSender.SetItems(hl);
  edSender.SetText(m.Sender);
  edReply.SetItems(hl);
  edReply.SetText(m.ReplyTo);
  lbRecipients.Clear();
  for (const TRecipient& r : ParseRecipients(m.Recipients)) lbRecipients.SetState(lbRecipients.Add(r.Address), r.State);
  fSecureMode = m.SecureMode;
  cbSecure.SetItemIndex(static_cast<int>(fSecureMode) < cbSecure.Count() ? static_cast<int>(fSecureMode) : -1);
  edPort.SetValue(m.Port);
  rbLogAlways.SetChecked(m.LogMode == TMailMode::mmAlways);
  rbLogError.SetChecked(m.LogMode == TMailMode::mmError);
  rbLogNever.SetChecked(m.LogMode == TMailMode::mmNone);
  rgZip.SetItemIndex(static_cast<int>(m.ZipMode) < rgZip.Count() ? static_cast<int>(m.ZipMode) : -1);
  rbLogClick();
  CryptPwd = m.CryptKey;
  edSubject.SetText(m.Subject);
  lbAttach.SetItems(AttachmentList(m.Attachments));
  ActiveControl = &edServer;
  if (ShowModal() != mrOk) return false;

  mode = rbError.Checked() ? TMailMode::mmError : rbAlways.Checked() ? TMailMode::mmAlways : TMailMode::mmNone;
  m.SMTP = edServer.Text();
  m.Port = static_cast<int32_t>(edPort.Value());
  m.Username = edUsername.Text();
  m.Password = MailPwd;
  m.Sender = edSender.Text();
  m.ReplyTo = edReply.Text();
  AddToHistory(hl, m.Sender);
  AddToHistory(hl, m.ReplyTo);
  std::vector<TRecipient> recipients;
  for (int i = 0; i < lbRecipients.Count(); ++i) recipients.push_back({lbRecipients.Item(i), lbRecipients.State(i)});
  m.Recipients = JoinRecipients(recipients);
  m.SecureMode = fSecureMode;
  m.LogMode = rbLogError.Checked() ? TMailMode::mmError : rbLogAlways.Checked() ? TMailMode::mmAlways : TMailMode::mmNone;
  // A value the group cannot show stays as it was.
  if (rgZip.ItemIndex() >= 0) m.ZipMode = static_cast<TZipMode>(rgZip.ItemIndex());
  m.CryptKey = m.ZipMode == TZipMode::zmEncrypt ? CryptPwd : std::wstring();
  m.Subject = edSubject.Text();
  m.Attachments = JoinComma(lbAttach.Items());
  edServer.AddItem(m.SMTP);
  edUsername.AddItem(m.Username);
  edSubject.AddItem(m.Subject);
  return true;
}

bool TMailDialog::CloseQuery() {
  if (ModalResult != mrOk) return true;
  return CheckSettings();
}

bool TMailDialog::CheckSettings() {
  if (edServer.Text().empty()) {
    ErrorDialog(_(L"Please specify an SMTP server!"));
    edServer.SetFocus();
    return false;
  }
  if (edUsername.Text().empty()) {
    ErrorDialog(_(L"Please specify a user name!"));
    edUsername.SetFocus();
    return false;
  }
  if (lbRecipients.Count() == 0) {
    ErrorDialog(_(L"Please specify at least one recipient!"));
    btnAddRec.Click();
    return false;
  }
  if (edSender.Text().find(L'@') != std::wstring::npos || edReply.Text().find(L'@') != std::wstring::npos) return true;
  ErrorDialog(_(L"Please specify a valid reply address!"));
  edReply.SetFocus();
  return false;
}

void TMailDialog::bbPasswordClick() {
  std::wstring pwd = MailPwd;
  if (!NewPassword(TopLeftPos(bbPassword), Caption(), pwd)) return;
  MailPwd = pwd;
  ShowPwdDots();
}

void TMailDialog::cbSecureCloseUp() {
  const int choice = cbSecure.ItemIndex();
  if (choice < 0 || choice == static_cast<int>(fSecureMode)) return;
  fSecureMode = static_cast<TSecTransfer>(choice);
  edPort.SetValue(fSecureMode == TSecTransfer::stImplicit ? 465 : 25);
}

void TMailDialog::rbLogClick() {
  const bool on = !rbLogNever.Checked();
  rgZip.SetEnabled(on);
  for (int i = 0; i < rgZip.Count(); ++i) rgZip.Button(i).SetEnabled(on);
}

void TMailDialog::rgZipClick() {
  if (!Visible() || rgZip.ItemIndex() != static_cast<int>(TZipMode::zmEncrypt)) return;
  std::wstring pwd = CryptPwd;
  if (NewPasswordEx(TopRightPos(rgZip), _(L"File encryption"), pwd, true, false,
                    SuiteSettings.OtherSettings.MinPwdLength, true))
    CryptPwd = pwd;
}

void TMailDialog::btnPhSubjectClick() {
  const std::wstring ph = SelectPlaceholder(BottomRightPos(btnPhSubject), TPhType::ptMail, Action);
  if (ph.empty()) return;
  DWORD start = 0, end = 0;
  SendMessageW(edSubject.Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  std::wstring text = edSubject.Text();
  start = std::min<DWORD>(start, static_cast<DWORD>(text.size()));
  end = std::clamp<DWORD>(end, start, static_cast<DWORD>(text.size()));
  text.replace(start, end - start, ph);
  edSubject.SetText(text);
  const DWORD caret = start + static_cast<DWORD>(ph.size());
  SendMessageW(edSubject.Handle(), CB_SETEDITSEL, 0, MAKELPARAM(caret, caret));
}

void TMailDialog::btnAddRecClick() {
  std::wstring address;
  if (!InputTextHist(MousePos(), _(L"New mail recipient"), _(L"Address:"), false, L"", &hl, false, address)) return;
  address = TrimRightChar(TrimLeftChar(address, L' '), L' ');
  if (address.empty()) return;
  for (int i = 0; i < lbRecipients.Count(); ++i)
    if (AnsiLowerCase(lbRecipients.Item(i)) == AnsiLowerCase(address)) return;
  const int i = lbRecipients.Add(address);
  lbRecipients.SetState(i, TCheckBoxState::cbChecked);
  lbRecipients.SetItemIndex(i);
}

void TMailDialog::btnEditRecClick() {
  const int i = lbRecipients.ItemIndex();
  if (i < 0) return;
  std::wstring address = lbRecipients.Item(i);
  if (!InputTextHist(MousePos(), _(L"Edit mail recipient"), _(L"Address:"), false, L"", &hl, false, address)) return;
  address = TrimRightChar(TrimLeftChar(address, L' '), L' ');
  if (address.empty()) return;
  const TCheckBoxState state = lbRecipients.State(i);
  lbRecipients.Delete(i);
  lbRecipients.Insert(i, address);
  lbRecipients.SetState(i, state);
  lbRecipients.SetItemIndex(i);
}

void TMailDialog::btnRemRecClick() {
  const int i = lbRecipients.ItemIndex();
  if (i < 0) return;
  if (!ConfirmDialogAt(MousePos(), SafeFormat(_(L"Remove recipient:\r\n%s\r\nfrom list?"), lbRecipients.Item(i)),
                       TMsgDlgBtn::mbYes, TDefaultMonitor::dmActiveForm))
    return;
  lbRecipients.Delete(i);
  if (lbRecipients.Count() > 0) lbRecipients.SetItemIndex(std::min(i, lbRecipients.Count() - 1));
}

void TMailDialog::btnAddAttClick() {
  if (static_cast<size_t>(lbAttach.Count()) >= kMaxAttachments) {
    ErrorDialogAt(MousePos(), SafeFormat(_(L"The maximum number of attachments is %u!"), kMaxAttachments),
                  TDefaultMonitor::dmActiveForm);
    return;
  }
  TOpenDialog od;
  od.Options |= ofAllowMultiSelect | ofFileMustExist;
  const int sel = lbAttach.ItemIndex();
  if (sel >= 0 && lbAttach.Selected(sel)) od.InitialDir = ExtractFilePath(lbAttach.Item(sel));
  od.Filter = _(L"All files") + L"|*.*";
  od.Title = _(L"Select files to be attached");
  if (!od.Execute(Handle())) return;
  std::wstring list = JoinComma(lbAttach.Items());
  // More files than the job file holds are refused as a whole.
  if (!AddAttachments(list, od.Files)) {
    ErrorDialogAt(MousePos(), SafeFormat(_(L"The maximum number of attachments is %u!"), kMaxAttachments),
                  TDefaultMonitor::dmActiveForm);
    return;
  }
  lbAttach.SetItems(AttachmentList(list));
}

void TMailDialog::btnEditAttClick() {
  const int sel = lbAttach.ItemIndex();
  if (sel >= 0 && lbAttach.Selected(sel)) {
    std::wstring file = lbAttach.Item(sel);
    if (!InputText(MousePos(), _(L"Edit attachment"), _(L"File path:"), false, file) || file.empty()) return;
    lbAttach.Delete(sel);
    lbAttach.Insert(sel, file);
    lbAttach.SetSelected(sel, true);
    return;
  }
  if (static_cast<size_t>(lbAttach.Count()) >= kMaxAttachments) {
    ErrorDialogAt(MousePos(), SafeFormat(_(L"The maximum number of attachments is %u!"), kMaxAttachments),
                  TDefaultMonitor::dmActiveForm);
    return;
  }
  std::wstring file;
  if (!InputText(MousePos(), _(L"Add attachment"), _(L"File path:"), false, file) || file.empty()) return;
  lbAttach.Add(file);
}

void TMailDialog::btnRemAttClick() {
  if (lbAttach.SelCount() <= 0) return;
  if (!ConfirmDialogAt(MousePos(), _(L"Remove selected attachments?"), TMsgDlgBtn::mbYes,
                       TDefaultMonitor::dmActiveForm))
    return;
  for (int i = lbAttach.Count() - 1; i >= 0; --i)
    if (lbAttach.Selected(i)) lbAttach.Delete(i);
}

void TMailDialog::pmiEditListClick(TComboBox& combo) {
  THistEntries entries;
  const bool addresses = combo.Tag == 1;
  for (const auto& s : addresses ? hl : combo.Items()) entries.push_back({s});
  if (!EditHistoryList(BottomLeftPos(combo), Caption(), combo.Hint.empty() ? std::wstring() : _(combo.Hint), entries))
    return;
  TStringList list;
  for (const auto& e : entries) list.push_back(e.Text);
  if (addresses) {
    hl = list;
    for (TComboBox* c : {&edSender, &edReply}) {
      const std::wstring text = c->Text();
      c->SetItems(hl);
      c->SetText(text);
    }
  } else if (auto* history = dynamic_cast<THistoryCombo*>(&combo)) {
    const std::wstring text = combo.Text();
    history->AssignList(list);
    combo.SetText(text);
  }
}

void TMailDialog::btnTestClick() {
  if (!CheckSettings() || !fMailer) return;
  TStatusWindow& status = StatusWindow();
  status.ShowStatus(kDefaultDialogPos, _(L"Checking mail settings"), _(L"Sending mail"), false, 5);
  EnableWindow(Handle(), FALSE);
  Application().ProcessMessages();
  TTestMail mail;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  mail.DateTime = DateTimeText(now);
  mail.ProgramName = ProgramName();
  mail.ProgramVersion = ProgramVersionInfo().Comments;
  std::vector<std::wstring> all = lbRecipients.Items();
  mail.Recipients = JoinComma(all);
  mail.Server = edServer.Text();
  mail.Port = static_cast<int>(edPort.Value());
  mail.User = edUsername.Text();
  mail.Password = MailPwd;
  mail.SecureMode = fSecureMode;
  mail.LogFile = AddPathDelimiter(GetLogFolder()) + L"HvSmtp.log";
  mail.Sender = edSender.Text();
  mail.ReplyTo = edReply.Text();
  mail.UserAgent = MakeProgramTitle(3);
  PrepareTestMail(*fMailer, mail);
  EnableWindow(Handle(), TRUE);
  bool sent = false;
  try {
    sent = fMailer->Send() && fMailer->ErrorList().empty();
  } catch (...) {
    sent = false;
  }
  if (status.Visible()) status.Hide();
  fMailer->WriteLogFile = false;
  ShowMailStatus(TestMailResultText(sent, *fMailer), mail.LogFile,
                 sent ? TMsgDlgType::mtInformation : TMsgDlgType::mtError);
}

bool ShowMailDialog(TmMailer* mailer, std::wstring_view task, TMailData& mailData, TMailMode& mode) {
  TMailDialog dialog;
  dialog.Create(Application().OwnerWindow());
  dialog.Init(MainIniName);
  return dialog.Execute(mailer, task, mailData, mode);
}

}  // namespace hv
