#pragma once
// The suite's mail component: the addresses, texts, attachments and extra headers of one
// message, built as MIME and sent over SMTP with optional TLS (STARTTLS or implicit) and SASL
// authentication; what went wrong is collected in ErrorList; an SMTP session log on request.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "unattended/MimeMessage.h"

namespace hv {

enum class TSecTransfer : uint8_t { stNone, stExplicit, stRequired, stImplicit };
enum class TSendErrorType : uint8_t { seUnknown, seSmtp, seFailedRecipient, seNoSecure };
struct TSendError {
  TSendErrorType ErrType = TSendErrorType::seUnknown;
  std::wstring ErrMsg;
};
using TSendErrors = std::vector<TSendError>;
using TGetPassword = std::function<void(std::wstring&)>;
enum class TWorkMode : uint8_t { wmRead, wmWrite };

class TmMailer;
using TMailerEvent = std::function<void(TmMailer&)>;
using TWorkBeginEvent = std::function<void(TmMailer&, TWorkMode, int64_t total)>;
using TWorkEvent = std::function<void(TmMailer&, TWorkMode, int64_t count)>;
using TWorkEndEvent = std::function<void(TmMailer&, TWorkMode)>;

// Files to attach: a file name, or a file name, "|" and a content type.
class TAttachement {
 public:
  std::vector<std::wstring> AttachedFiles;
};

// The SASL mechanisms in the order they are tried.
inline constexpr std::wstring_view kSaslMechanisms[] = {L"LOGIN", L"PLAIN", L"CRAM-MD5", L"CRAM-SHA1"};
// The CRAM answer before base64: user, a blank and the hex HMAC (MD5 or SHA-1) of the challenge.
std::string CramResponse(std::wstring_view mechanism, std::wstring_view user, std::wstring_view password,
                         std::string_view challenge);

class TmMailer {
 public:
  // Without TLS.
  TmMailer();
  // TLS when root, cert and key are given and the three files exist in path (with trailing "\").
  TmMailer(std::wstring_view path, std::wstring_view root, std::wstring_view cert, std::wstring_view key,
           std::wstring_view keyPassword);
  TmMailer(const TmMailer&) = delete;
  TmMailer& operator=(const TmMailer&) = delete;
  ~TmMailer();

  std::wstring About = L"Harvane SMTP mailer 1.0";
  std::vector<std::wstring> Body, HTMLBody;
  TAttachement Attachments;
  std::wstring Host;
  int Port = 25;
  std::wstring UserId, Password;
  std::wstring HeloName = L"Test";
  TMessagePriority Priority = TMessagePriority::mpNormal;
  TMailAddress From;
  std::vector<TMailAddress> Recipients, CCList, BCCList;
  void SetRecipients(std::wstring_view commaText) { Recipients = ParseAddressList(commaText); }
  std::wstring Subject;
  TContentType ContentType = TContentType::ctAscii;
  void SetSecureTransfer(TSecTransfer mode) { FSecure = mode; }
  TSecTransfer SecureTransfer() const { return FSecure; }
  bool ContinueOnFailedRecipient = false;
  const TSendErrors& ErrorList() const { return FErrors; }
  std::wstring Logname;  // the temporary folder's "SmtpLog.txt" after construction
  bool WriteLogFile = false;
  uint32_t ConnectTimeout = 30000, ReadTimeout = 30000;
  // A whole reply, and a TLS handshake, must arrive within this time, however the server spreads it.
  uint32_t CommandTimeout = 60000;
  // The server's certificate must chain to the root file and name the host.
  bool VerifyCertificate = true;

  TMailerEvent OnConnected, OnDisconnected;
  TWorkBeginEvent OnBeginSend;
  TWorkEvent OnSending;
  TWorkEndEvent OnEndSend;
  TGetPassword OnSSLPassword;

  bool TlsAvailable() const { return FTlsAvail; }
  const std::wstring& RootFile() const { return FRootFile; }

  void ClearBody() { Body.clear(); }
  void AddToBody(std::wstring_view line) { Body.emplace_back(line); }
  void ClearExtraHeaders() { FExtraHeaders.clear(); }
  // An existing header of that name (any case) takes the new value.
  void AddExtraHeader(std::wstring_view name, std::wstring_view value);
  const std::vector<std::pair<std::wstring, std::wstring>>& ExtraHeaders() const { return FExtraHeaders; }

  // Builds the message into a file; false on any failure.
  bool SaveToFile(std::wstring_view fileName);
  // Connects, sends and disconnects; true when ErrorList stays empty. Never raises.
  bool Send();

 private:
  class TSession;
  std::string BuildMessage();
  // The sender's and every recipient's address as MAIL FROM and RCPT TO give them.
  std::vector<std::wstring> EnvelopeAddresses() const;
  void AddError(TSendErrorType type, std::wstring message);

  TSecTransfer FSecure = TSecTransfer::stNone;
  TSendErrors FErrors;
  std::vector<std::pair<std::wstring, std::wstring>> FExtraHeaders;
  bool FTlsAvail = false;
  std::wstring FRootFile, FCertFile, FKeyFile, FCertPwd;
  std::vector<std::wstring> FTlsMissing;  // why TLS is not available
};

}  // namespace hv
