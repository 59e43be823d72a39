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
