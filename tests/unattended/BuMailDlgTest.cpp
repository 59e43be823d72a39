// The [Mail] section of a backup job.
#include <gtest/gtest.h>

#include "base/security/Crypt.h"
#include "support/TestSupport.h"
#include "unattended/BuMailDlg.h"

using namespace hv;

namespace {

TEST(BuMailDlgTest, RoundTripWithStoredPasswords) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"job.buj";
  TMailData m;
  m.SMTP = L"smtp.example.org";
  m.Port = 587;
  m.Username = L"me";
  m.Password = L"pa ss";
  m.Sender = L"Me <me@example.org>";
  m.ReplyTo = L"r@example.org";
  m.Recipients = L"#a@example.org,*b@example.org,c@example.org";
  m.Subject = L"Backup %date%";
  m.Attachments = L"C:\\a.txt,C:\\b.txt";
  m.CryptKey = L"zip-key";
  m.SecureMode = TSecTransfer::stRequired;
  m.LogMode = TMailMode::mmError;
  m.ZipMode = TZipMode::zmEncrypt;
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
    WriteMailData(ini, L"Mail", m);
    ini.UpdateFile();
  }
  const TUnicodeIniFile ini = TUnicodeIniFile::CreateForRead(file);
  const std::vector<std::wstring> keys = {L"SMTP",       L"Port",    L"Username", L"Password", L"Sender",
                                          L"ReplyTo",    L"Recipients", L"Subject", L"UseTLS",  L"AttachLog",
                                          L"AsZip",      L"Encrypt", L"Attachment0", L"Attachment1"};
  EXPECT_EQ(ini.ReadSection(L"Mail"), keys);
  EXPECT_NE(ini.ReadString(L"Mail", L"Password", L""), L"pa ss");
  EXPECT_EQ(DecryptPassword(ini.ReadString(L"Mail", L"Password", L"")), L"pa ss");
  TMailData back;
  ReadMailData(ini, L"Mail", back);
  EXPECT_EQ(back.Recipients, m.Recipients);
  EXPECT_EQ(back.Password, m.Password);
  EXPECT_EQ(back.CryptKey, m.CryptKey);
  EXPECT_EQ(back.Attachments, m.Attachments);
  EXPECT_EQ(back.Port, 587);
  EXPECT_EQ(back.SecureMode, TSecTransfer::stRequired);
  EXPECT_EQ(back.LogMode, TMailMode::mmError);
  EXPECT_EQ(back.ZipMode, TZipMode::zmEncrypt);
}

TEST(BuMailDlgTest, OlderKeysAndDefaults) {
  hvtest::TempDir tmp;
  const std::wstring file = tmp / L"job.buj";
  {
    TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
    ini.WriteString(L"Mail", L"SendLog", L"1");
    ini.WriteString(L"Mail", L"AsZip", L"2");
    ini.WriteString(L"Mail", L"UseTLS", L"7");
    ini.UpdateFile();
  }
  TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(file, false);
  TMailData m;
  m.SMTP = L"stale";
  ReadMailData(ini, L"Mail", m);
  EXPECT_EQ(m.LogMode, TMailMode::mmAlways);
  EXPECT_EQ(m.ZipMode, TZipMode::zmYes);
  EXPECT_EQ(static_cast<int>(m.SecureMode), 7);  // taken over as it stands
  EXPECT_EQ(m.SMTP, L"");
  EXPECT_EQ(m.Port, 25);
  WriteMailData(ini, L"Mail", m);
  EXPECT_FALSE(ini.ValueExists(L"Mail", L"SendLog"));
  EXPECT_EQ(ini.ReadString(L"Mail", L"Encrypt", L"x"), L"");
  TMailData cleared;
  cleared.Port = 1;
  ClearMailData(cleared);
  EXPECT_EQ(cleared.Port, 25);
}

TEST(BuMailDlgTest, NoAttachmentIsLost) {
  std::wstring list;
  std::vector<std::wstring> ten;
  for (int i = 0; i < 10; ++i) ten.push_back(L"f" + std::to_wstring(i));
  EXPECT_TRUE(AddAttachments(list, ten));
  EXPECT_FALSE(AddAttachments(list, {L"eleven"}));
  EXPECT_EQ(AttachmentList(list).size(), 10u);
  EXPECT_EQ(list.substr(0, 6), L"f0,f1,");

  // A longer list written by an older program is read back whole.
  hvtest::TempDir tmp;
  TUnicodeIniFile ini = TUnicodeIniFile::CreateForWrite(tmp / L"j.buj", false);
  TMailData m;
  m.Attachments = list + L",f10,f11";
  WriteMailData(ini, L"Mail", m);
  TMailData back;
  ReadMailData(ini, L"Mail", back);
  EXPECT_EQ(back.Attachments, m.Attachments);
}

}  // namespace

namespace {

TEST(BuMailDlgTest, RecipientPrefixesReadAndWrittenBack) {
  struct Case {
    std::wstring text;
    std::vector<TRecipient> list;
    std::wstring written;
  };
  const Case cases[] = {
      {L"#a@x.org,*b@x.org,c@x.org",
       {{L"a@x.org", TCheckBoxState::cbGrayed}, {L"b@x.org", TCheckBoxState::cbUnchecked}, {L"c@x.org"}},
       L"#a@x.org,*b@x.org,c@x.org"},
      {L",,c@x.org,", {{L"c@x.org"}}, L"c@x.org"},  // empty items skipped
      {L"", {}, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseRecipients(c.text), c.list) << c.text;
    EXPECT_EQ(JoinRecipients(c.list), c.written) << c.text;
  }
}

TEST(BuMailDlgTest, TestMailSenderAndResultTexts) {
  TmMailer mailer;
  TTestMail mail;
  mail.Server = L"smtp.x.org";
  mail.Port = 2525;
  mail.Recipients = L"a@x.org,b@x.org";
  mail.ReplyTo = L"reply@x.org";
  mail.ProgramName = L"QlBackup";
  mail.ProgramVersion = L"Version 4.6.0";
  mail.DateTime = L"11.12.2026 06:30:00";
  mail.UserAgent = L"QlBackup - 64-bit";

  // A sender without "@" is the display name of the reply address.
  mail.Sender = L"Backup robot";
  PrepareTestMail(mailer, mail);
  EXPECT_EQ(mailer.From, (TMailAddress{L"Backup robot", L"reply@x.org"}));
  EXPECT_EQ(mailer.Subject, L"Harvane: Mail delivery test on 11.12.2026 06:30:00");
  EXPECT_EQ(mailer.Body, (std::vector<std::wstring>{L"This is a test mail from QlBackup (Version 4.6.0)"}));
  EXPECT_EQ(mailer.HeloName, L"Harvane");
  EXPECT_TRUE(mailer.WriteLogFile);
  mail.Sender = L"me@x.org";
  PrepareTestMail(mailer, mail);
  EXPECT_EQ(mailer.From, (TMailAddress{L"Harvane", L"me@x.org"}));
  EXPECT_EQ(mailer.Body.size(), 1u) << "the body starts afresh";
  const std::vector<std::pair<std::wstring, std::wstring>> headers = {
      {L"User-Agent", L"QlBackup - 64-bit"}, {L"Sender", L"me@x.org"}, {L"Reply-To", L"reply@x.org"}};
  EXPECT_EQ(mailer.ExtraHeaders(), headers);

  EXPECT_EQ(TestMailResultText(true, mailer), L"Mail notifications were sent to:\r\na@x.org,b@x.org");
  EXPECT_EQ(TestMailResultText(false, mailer), L"Error during mail delivery (SMTP: smtp.x.org:2525)");
}

}  // namespace
