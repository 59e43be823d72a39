#pragma once
// Mail settings of the profile backup program: the record that goes into a backup job's [Mail]
// section, and its reader and writer.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings/IniFileUtils.h"

namespace hv {

// When mail is sent (also: when the run's log is attached).
enum class TMailMode : uint8_t { mmNone, mmAlways, mmError };
// How the attached log is packed.
enum class TZipMode : uint8_t { zmNo, zmYes, zmEncrypt };
// TLS use of the SMTP connection.
enum class TSecTransfer : uint8_t { stNone, stExplicit, stRequired, stImplicit };

// The most attachments a job file holds ("Attachment0" to "Attachment9").
constexpr size_t kMaxAttachments = 10;

struct TMailData {
  std::wstring SMTP;
  std::wstring Username;
  std::wstring Password;  // plain in memory
  std::wstring Sender;
  std::wstring ReplyTo;
  std::wstring Recipients;  // comma list; "#" prefix: only on errors, "*": inactive
  std::wstring Subject;
  std::wstring Attachments;  // comma list
  std::wstring CryptKey;     // plain in memory
  int32_t Port = 25;
  TSecTransfer SecureMode = TSecTransfer::stNone;
  TMailMode LogMode = TMailMode::mmNone;
  TZipMode ZipMode = TZipMode::zmNo;
};

void ClearMailData(TMailData& mailData);
void ReadMailData(const TUnicodeIniFile& ini, std::wstring_view section, TMailData& mailData);
void WriteMailData(TUnicodeIniFile& ini, std::wstring_view section, const TMailData& mailData);

// The non-empty items of a comma list of attachments.
std::vector<std::wstring> AttachmentList(std::wstring_view attachments);
// Adds files to the comma list; false (list unchanged) when that would hold more than
// kMaxAttachments entries.
bool AddAttachments(std::wstring& attachments, const std::vector<std::wstring>& files);

}  // namespace hv
