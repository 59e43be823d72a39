// The profile backup program's mail dialog driven as a user would: the record shown and taken
// back, the checks of OK, the histories in the main program's INI file, and the test mail.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/app/LangUtils.h"
#include "base/app/ShowMessageDlg.h"
#include "base/security/Crypt.h"
#include "base/settings/BuConsts.h"
#include "base/settings/IniFileUtils.h"
#include "dialogs/EditHistListDlg.h"
#include "dialogs/InpText.h"
#include "dialogs/NewPwdDlg.h"
#include "dialogs/PhDlg.h"
#include "support/TestSupport.h"
#include "unattended/BuMailDlg.h"
#include "unattended/MailTestDlg.h"
#include "unattended/StatWind.h"
#include "winui/CommonDialogs.h"
#include "winui/TestHooks.h"
#include "winui/Translate.h"
#include "winui/Unicode.h"

namespace hv {
namespace {

class MailDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    Application().Initialize();
    SuiteSettings.Directories.LogDir = logs.Path();
  }
  void TearDown() override {
    TTestHooks::Clear();
    TCommonDialog::TestAnswer = nullptr;
    SuiteSettings.Directories.LogDir.clear();
    Application().Reset();
  }
  // Error boxes are answered and their texts kept.
  void AnswerBoxes() {
    TTestHooks::AnswerModal = [this](TForm& f) -> std::optional<int> {
      if (auto* box = dynamic_cast<TShowMsgDialog*>(&f)) {
        messages.push_back(box->Message());
        return mrYes;
      }
      return std::nullopt;
    };
  }
  hvtest::TempDir logs;
  std::vector<std::wstring> messages;
};

std::string Utf16(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TMailData SampleRecord() {
  TMailData m;
  m.SMTP = L"smtp.old";
  m.Port = 587;
  m.Username = L"me";
  m.Password = L"abc";
  m.Sender = L"Backup robot";
  m.ReplyTo = L"reply@x.org";
  m.Recipients = L"#err@x.org,*off@x.org,on@x.org";
  m.Subject = L"Backup";
  m.Attachments = L"C:\\a.txt";
  m.CryptKey = L"zip-key";
  m.SecureMode = TSecTransfer::stExplicit;
  m.LogMode = TMailMode::mmAlways;
  m.ZipMode = TZipMode::zmEncrypt;
  return m;
}

TEST_F(MailDialogTest, FilledOkStoresRecordAndHistories) {
  const std::wstring iniName = logs / L"Harvane.ini";
  ASSERT_TRUE(hvtest::WriteBytes(iniName, Utf16(L"[Config]\r\nLangID=7\r\n[SmtpServer]\r\nHistory0=smtp.old\r\n"
                                                L"[MailTo]\r\nAddress0=old@x.org\r\n")));
  TMailData data = SampleRecord();
  TMailMode mode = TMailMode::mmError;
  int zipPrompts = 0;
  AnswerBoxes();
  {
    TMailDialog d;
    d.Create();
    d.Init(iniName);
    d.Init(logs / L"other.ini");  // only once
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (auto* in = dynamic_cast<TInputTextDialog*>(&f)) {
        EXPECT_EQ(in->Caption(), L"New mail recipient");
        in->TextFeld.SetText(L" new@x.org ");
        in->OKBtn.Click();
        return;
      }
      if (auto* pw = dynamic_cast<TNewPwdDialog*>(&f)) {
        ++zipPrompts;
        EXPECT_EQ(pw->Caption(), L"File encryption");
        pw->edtPwd.SetText(L"zip-key-2");
        pw->edtRepPwd.SetText(L"zip-key-2");
        pw->OKBtn.Click();
        return;
      }
      if (auto* ph = dynamic_cast<TPlaceHolderDialog*>(&f)) {
        EXPECT_EQ(ph->Groups[phMail].Text(), L"Placeholder for Backup mail data");
        ph->OKBtn.Click();  // the preselected "%taskname%"
        return;
      }
      if (auto* ed = dynamic_cast<TEditHistListDialog*>(&f)) {
        EXPECT_EQ(ed->lbxStringList.Items(), (std::vector<std::wstring>{L"old@x.org"}));
        ed->lbxStringList.SetSelected(0, true);
        ed->btnDeleteClick();
        ed->OKBtn.Click();
        return;
      }
      if (&f != &d) return;
      // The record as the controls show it.
      EXPECT_EQ(d.lbTask.Text(), L"Backup mail data");
      EXPECT_EQ(d.edServer.Text(), L"smtp.old");
      EXPECT_EQ(d.edServer.Style(), TComboBoxStyle::csDropDown);
      EXPECT_EQ(d.edUsername.Style(), TComboBoxStyle::csDropDown) << "no history yet: still typed";
      EXPECT_EQ(d.edtSmtpPwd.Text(), L"\u25CF\u25CF\u25CF");
      EXPECT_EQ(d.edSender.Items(), (std::vector<std::wstring>{L"old@x.org"}));
      EXPECT_EQ(d.lbRecipients.Items(), (std::vector<std::wstring>{L"err@x.org", L"off@x.org", L"on@x.org"}));
      EXPECT_EQ(d.lbRecipients.State(0), TCheckBoxState::cbGrayed);
      EXPECT_EQ(d.lbRecipients.State(1), TCheckBoxState::cbUnchecked);
      EXPECT_EQ(d.lbRecipients.State(2), TCheckBoxState::cbChecked);
      EXPECT_EQ(d.cbSecure.ItemIndex(), 1);
      EXPECT_EQ(d.edPort.Value(), 587);
      EXPECT_TRUE(d.rbError.Checked());
      EXPECT_TRUE(d.rbLogAlways.Checked());
      EXPECT_EQ(d.rgZip.ItemIndex(), 2);
      EXPECT_TRUE(d.rgZip.Enabled());
      EXPECT_EQ(d.lbAttach.Items(), (std::vector<std::wstring>{L"C:\\a.txt"}));
      d.lbRecipients.SetItemIndex(0);
      EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"QlMailDialog"));

      // The port follows the security choice; the same choice again keeps a typed port.
      d.cbSecure.SetItemIndex(3);
      d.cbSecure.OnCloseUp();
      EXPECT_EQ(d.edPort.Value(), 465);
      d.edPort.SetValue(4650);
      d.cbSecure.OnCloseUp();
      EXPECT_EQ(d.edPort.Value(), 4650);
      d.cbSecure.SetItemIndex(0);
      d.cbSecure.OnCloseUp();
      EXPECT_EQ(d.edPort.Value(), 25);
      // Chosen with the keyboard while the list is closed: the same rule, and the choice is kept.
      d.cbSecure.SetFocus();
      SendMessageW(d.cbSecure.Handle(), WM_KEYDOWN, VK_END, 0);
      EXPECT_EQ(d.cbSecure.ItemIndex(), 3);
      EXPECT_EQ(d.edPort.Value(), 465);
      SendMessageW(d.cbSecure.Handle(), WM_KEYDOWN, VK_HOME, 0);
      EXPECT_EQ(d.edPort.Value(), 25);

      // "Never" attaches no log: the zip choice is off.
      d.rbLogNever.Click();
      EXPECT_FALSE(d.rgZip.Enabled());
      d.rbLogError.Click();
      EXPECT_TRUE(d.rgZip.Enabled());
      // Choosing "Encrypted" asks for the zip password.
      d.rgZip.Button(1).Click();
      d.rgZip.Button(2).Click();
      EXPECT_EQ(zipPrompts, 1);

      // The checks of OK, in their order.
      struct Check {
        std::wstring server, user, sender, reply;
        bool ok;
      };
      const Check checks[] = {{L"", L"user1", L"a@x.org", L""},
                              {L"smtp.new", L"", L"a@x.org", L""},
                              {L"smtp.new", L"user1", L"Robot", L"nobody"},
                              {L"smtp.new", L"user1", L"Robot", L"r@x.org", true},
                              {L"smtp.new", L"user1", L"a@x.org", L"", true}};
      for (const Check& c : checks) {
        d.edServer.SetText(c.server);
        d.edUsername.SetText(c.user);
        d.edSender.SetText(c.sender);
        d.edReply.SetText(c.reply);
        EXPECT_EQ(d.CheckSettings(), c.ok) << c.server << "/" << c.user << "/" << c.sender << "/" << c.reply;
      }
      // The address history behind sender and reply, tidied in the history editor.
      d.edSender.SetText(L"typed");
      d.pmiEditListClick(d.edSender);
      EXPECT_TRUE(d.edSender.Items().empty());
      EXPECT_TRUE(d.edReply.Items().empty());
      EXPECT_EQ(d.edSender.Text(), L"typed");

      // Attachments: more files than the job file holds are refused as a whole.
      std::vector<std::wstring> chosen(10, L"C:\\many.txt");
      TCommonDialog::TestAnswer = [&](TCommonDialog& c) -> std::optional<bool> {
        static_cast<TOpenDialog&>(c).Files = chosen;
        return true;
      };
      d.btnAddAtt.Click();
      EXPECT_EQ(d.lbAttach.Items(), (std::vector<std::wstring>{L"C:\\a.txt"}));
      chosen = {L"C:\\x.txt", L"C:\\y.txt"};
      d.btnAddAtt.Click();
      d.lbAttach.SetSelected(0, true);
      d.btnRemAtt.Click();
      TCommonDialog::TestAnswer = nullptr;
      EXPECT_EQ(d.lbAttach.Items(), (std::vector<std::wstring>{L"C:\\x.txt", L"C:\\y.txt"}));

      d.edServer.SetText(L"smtp.new");
      d.edUsername.SetText(L"user1");
      d.edSender.SetText(L"Robot");
      d.edReply.SetText(L"robot@x.org");
      // A placeholder replaces the selected part of the subject.
      d.edSubject.SetText(L"Backup of XXX");
      SendMessageW(d.edSubject.Handle(), CB_SETEDITSEL, 0, MAKELPARAM(10, 13));
      d.btnPhSubject.Click();
      EXPECT_EQ(d.edSubject.Text(), L"Backup of %taskname%");
      d.btnAddRec.Click();
      d.lbRecipients.SetState(1, TCheckBoxState::cbChecked);
      d.rbAlways.Click();
      d.OKBtn.Click();
    };
    ASSERT_TRUE(d.Execute(nullptr, L"Backup mail data", data, mode));
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"Please specify an SMTP server!", L"Please specify a user name!",
                                                   L"Please specify a valid reply address!",
                                                   L"The maximum number of attachments is 10!",
                                                   L"Remove selected attachments?"}));

    // Cancel leaves the record alone.
    const TMailData before = data;
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (&f != &d) return;
      d.edServer.SetText(L"changed");
      d.lbRecipients.Clear();
      d.rbNever.Click();
      d.CancelBtn.Click();
    };
    TMailMode cancelled = mode;
    EXPECT_FALSE(d.Execute(nullptr, L"Backup mail data", data, cancelled));
    EXPECT_EQ(cancelled, TMailMode::mmAlways);
    EXPECT_EQ(data.SMTP, before.SMTP);
    EXPECT_EQ(data.Recipients, before.Recipients);
  }
  EXPECT_EQ(mode, TMailMode::mmAlways);

  // The record as the job file stores it.
  const std::wstring job = logs / L"job.buj";
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(job, false);
    WriteMailData(ini, L"Mail", data);
    ini.UpdateFile();
  }
  const TUnicodeIniFile read = TUnicodeIniFile::CreateForRead(job);
  EXPECT_EQ(DecryptPassword(read.ReadString(L"Mail", L"Password", L"")), L"abc");
  EXPECT_EQ(DecryptPassword(read.ReadString(L"Mail", L"Encrypt", L"")), L"zip-key-2");
  TMailData expected = SampleRecord();
  expected.SMTP = L"smtp.new";
  expected.Port = 25;
  expected.Username = L"user1";
  expected.Sender = L"Robot";
  expected.ReplyTo = L"robot@x.org";
  expected.Recipients = L"#err@x.org,off@x.org,on@x.org,new@x.org";
  expected.Subject = L"Backup of %taskname%";
  expected.SecureMode = TSecTransfer::stNone;
  expected.LogMode = TMailMode::mmError;
  TMailData back;
  ReadMailData(read, L"Mail", back);
  EXPECT_EQ(back.SMTP, expected.SMTP);
  EXPECT_EQ(back.Port, expected.Port);
  EXPECT_EQ(back.Username, expected.Username);
  EXPECT_EQ(back.Sender, expected.Sender);
  EXPECT_EQ(back.ReplyTo, expected.ReplyTo);
  EXPECT_EQ(back.Recipients, expected.Recipients);
  EXPECT_EQ(back.Subject, expected.Subject);
  EXPECT_EQ(back.Attachments, L"C:\\x.txt,C:\\y.txt");
  EXPECT_EQ(back.SecureMode, expected.SecureMode);
  EXPECT_EQ(back.LogMode, expected.LogMode);
  EXPECT_EQ(back.ZipMode, TZipMode::zmEncrypt);

  // The histories were written when the dialog went away, newest first, the file's other
  // sections untouched.
  EXPECT_EQ(hvtest::ReadBytes(iniName),
            Utf16(L"[Config]\r\nLangID=7\r\n[SmtpServer]\r\nHistory0=smtp.new\r\nHistory1=smtp.old\r\n"
                  L"[MailTo]\r\nAddress0=robot@x.org\r\nAddress1=Robot\r\nAddress2=new@x.org\r\n"
                  L"[Subjects]\r\nHistory0=Backup of %taskname%\r\n[MailUser]\r\nHistory0=user1\r\n"));
}

// With HV_SMTP_PEER_PORT set (by tests/tools/qlmail_peer.py) the test mail goes to the SMTP peer
// on 127.0.0.1; the script checks what arrived.
TEST_F(MailDialogTest, TestMailThroughThePeer) {
  const char* port = std::getenv("HV_SMTP_PEER_PORT");
  if (!port) GTEST_SKIP() << "run by qlmail_peer.py";
  TmMailer mailer;
  TMailData data;
  data.SMTP = L"127.0.0.1";
  data.Port = std::atoi(port);
  data.Username = L"mailuser";
  data.Password = L"Pa55-w\u00f6rd-42";
  data.Sender = L"Backup robot";
  data.ReplyTo = L"reply@test.local";
  data.Recipients = L"#err@test.local,*off@test.local,on@test.local";
  TMailMode mode = TMailMode::mmAlways;
  std::vector<std::wstring> results;
  bool statusShown = false;
  TMailDialog d;
  d.Create();
  TTestHooks::OnFormShown = [&](TForm& f) {
    if (auto* s = dynamic_cast<TStatusWindow*>(&f)) {
      statusShown = true;
      EXPECT_EQ(s->Caption(), L"Checking mail settings");
      EXPECT_EQ(s->StatusLabel.Text(), L"Sending mail");
      EXPECT_TRUE(hvtest::SaveScreenshot(s->Handle(), L"QlMailTestStatus"));
      return;
    }
    if (auto* r = dynamic_cast<TMailTestDialog*>(&f)) {
      results.push_back(r->stInfo.Text());
      EXPECT_TRUE(hvtest::SaveScreenshot(r->Handle(), L"QlMailTestResult"));
      r->btbOK.Click();
      return;
    }
    if (&f != &d) return;
    d.btnTest.Click();
    // A refused recipient is reported with its address.
    d.lbRecipients.Add(L"refused@test.local");
    d.btnTest.Click();
    d.CancelBtn.Click();
  };
  const TMailData before = data;
  EXPECT_FALSE(d.Execute(&mailer, L"Backup mail data", data, mode));
  EXPECT_EQ(data.Recipients, before.Recipients) << "the test changes nothing of the record";
  EXPECT_TRUE(statusShown);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0], L"Mail notifications were sent to:\r\nerr@test.local,off@test.local,on@test.local");
  const std::wstring failed = L"Error during mail delivery (SMTP: 127.0.0.1:" + std::to_wstring(data.Port) + L")";
  EXPECT_EQ(results[1].substr(0, failed.size()), failed) << WideToUtf8(results[1]);
  EXPECT_NE(results[1].find(L"\r\n - Could not deliver mail to refused@test.local"), std::wstring::npos)
      << WideToUtf8(results[1]);
  EXPECT_NE(hvtest::ReadBytes(logs / L"HvSmtp.log").find("Recv"), std::string::npos) << "session log written";
}

}  // namespace
}  // namespace hv

namespace hv {
namespace {

// The German texts fit the dialog.
TEST_F(MailDialogTest, German) {
  ASSERT_TRUE(LoadLanguageCatalogs(hvtest::BinaryDir() + L"\\bin\\locale", L"de"));
  const std::wstring oldDomain = DefaultTextDomain();
  SetDefaultTextDomain(L"QlBackup");
  {
    TMailDialog d;
    d.Create();
    EXPECT_EQ(d.Caption(), L"E-Mail-Konfiguration");
    EXPECT_EQ(d.rbAlways.Text(), L"Wie in der Empfängerliste angegeben");
    TMailData data = SampleRecord();
    TMailMode mode = TMailMode::mmAlways;
    TTestHooks::OnFormShown = [&](TForm& f) {
      if (&f != &d) return;
      EXPECT_TRUE(hvtest::SaveScreenshot(d.Handle(), L"QlMailDialog-de"));
      d.CancelBtn.Click();
    };
    EXPECT_FALSE(d.Execute(nullptr, L"Maildaten sichern", data, mode));
  }
  SetDefaultTextDomain(oldDomain);
  ClearCatalogs();
}

}  // namespace
}  // namespace hv
