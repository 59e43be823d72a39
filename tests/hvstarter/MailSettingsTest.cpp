// The starter's [Mail] section: written byte for byte as the starter's INI file holds it, read
// back with its defaults.
#include <gtest/gtest.h>

#include "base/security/Crypt.h"
#include "base/settings/IniFileUtils.h"
#include "hvstarter/MailDlg.h"
#include "support/TestSupport.h"

namespace hv::hvstarter {
namespace {

std::wstring Utf16File(const std::wstring& path) {
  const std::string bytes = hvtest::ReadBytes(path);
  if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return {};
  std::wstring text((bytes.size() - 2) / 2, L'\0');
  memcpy(text.data(), bytes.data() + 2, text.size() * 2);
  return text;
}

TEST(StarterMailSettings, WrittenByteExactAndReadBack) {
  hvtest::TempDir dir;
  const std::wstring name = dir / L"HvStarter.ini";
  ASSERT_TRUE(hvtest::WriteBytes(name, std::string("\xFF\xFE", 2) + std::string(
      "[\0M\0a\0i\0l\0]\0\r\0\n\0S\0e\0n\0d\0L\0o\0g\0=\0\x31\0\r\0\n\0", 38)));
  TMailData data;
  data.Server = L"smtp.example.org";
  data.Port = 587;
  data.Username = L"jörg";
  data.Password = L"s3cret pw";
  data.Sender = L"Backup Box";
  data.ReplyTo = L"admin@example.org";
  data.Recipients = L"a@example.org,b@example.org";
  data.Subject = L"Errors on %computername%";
  data.SecureMode = TSecTransfer::stRequired;
  data.WriteLog = true;
  data.Enabled = true;
  {
    auto ini = TUnicodeIniFile::CreateForWrite(name, false);
    WriteMailSettings(ini, data);
    ini.UpdateFile();
  }
  std::wstring text = Utf16File(name);
  const size_t p = text.find(L"Password=");
  ASSERT_NE(p, std::wstring::npos);
  const size_t e = text.find(L"\r\n", p);
  EXPECT_EQ(DecryptPassword(text.substr(p + 9, e - p - 9)), L"s3cret pw");
  text.replace(p + 9, e - p - 9, L"*");
  EXPECT_EQ(text,
            L"[Unicode]\r\nEncoding=UTF-16LE\r\n[Mail]\r\nSMTP=smtp.example.org\r\nPort=587\r\nUsername=jörg\r\nPassword=*\r\nSender=Backup Box\r\n"
            L"ReplyTo=admin@example.org\r\nRecipients=a@example.org,b@example.org\r\nSubject=Errors on %computername%\r\n"
            L"UseTLS=2\r\nEnabled=1\r\n");  // the old "SendLog" went with the section

  TMailData back;
  ReadMailSettings(TUnicodeIniFile::CreateForRead(name), back);
  EXPECT_EQ(back.Server, data.Server);
  EXPECT_EQ(back.Port, 587);
  EXPECT_EQ(back.Username, data.Username);
  EXPECT_EQ(back.Password, data.Password);
  EXPECT_EQ(back.Sender, data.Sender);
  EXPECT_EQ(back.ReplyTo, data.ReplyTo);
  EXPECT_EQ(back.Recipients, data.Recipients);
  EXPECT_EQ(back.Subject, data.Subject);
  EXPECT_EQ(back.SecureMode, TSecTransfer::stRequired);
  EXPECT_TRUE(back.Enabled);
  EXPECT_FALSE(back.WriteLog);  // not stored
}

TEST(StarterMailSettings, DefaultsAndMailOffWithoutRecipients) {
  hvtest::TempDir dir;
  const std::wstring name = dir / L"HvStarter.ini";
  ASSERT_TRUE(hvtest::WriteBytes(name, "[Mail]\r\nSMTP=mail.local\r\nEnabled=1\r\n"));
  TMailData data;
  ReadMailSettings(TUnicodeIniFile::CreateForRead(name), data);
  EXPECT_EQ(data.Server, L"mail.local");
  EXPECT_EQ(data.Port, 25);
  EXPECT_EQ(data.Sender, L"HvStarter");
  EXPECT_EQ(data.Subject, L"HvStarter error report");
  EXPECT_EQ(data.Password, L"");
  EXPECT_FALSE(data.Enabled);
}

}  // namespace
}  // namespace hv::hvstarter
