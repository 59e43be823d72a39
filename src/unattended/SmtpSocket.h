#pragma once
// The mailer's connection: a TCP client over Winsock with connect and read time-outs, and TLS on
// the open connection through Schannel, with the server's certificate checked against a PEM file
// of trusted roots and the host name.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/text/ExtSysUtils.h"

namespace hv {

// A failed connection, a time-out or a connection closed by the server.
class ESocketError : public Exception {
 public:
  using Exception::Exception;
};
// A failed TLS handshake, plain text where TLS was due, or a server certificate that does not verify.
class ETlsError : public Exception {
 public:
  using Exception::Exception;
};

// The client's certificate (PEM) with its RSA key (PEM: PKCS#8, plain or encrypted with PBES2,
// or PKCS#1), held in a key container of its own for the life of the object.
class TClientCertificate {
 public:
  // Raises ETlsError when a file cannot be read, the key's form is unknown or the password is wrong.
  TClientCertificate(const std::wstring& certFile, const std::wstring& keyFile, std::wstring_view password);
  ~TClientCertificate();
  TClientCertificate(const TClientCertificate&) = delete;
  TClientCertificate& operator=(const TClientCertificate&) = delete;
  const void* Context() const { return FCert; }  // PCCERT_CONTEXT

 private:
  void Load(const std::wstring& certFile, const std::wstring& keyFile, std::wstring_view password);
  void Release() noexcept;
  const void* FCert = nullptr;
  std::wstring FContainer;
};

struct TTlsOptions {
  std::wstring RootFile;   // PEM file of the trusted root certificates
  std::wstring HostName;   // the name the certificate must carry
  bool VerifyServer = true;
  const TClientCertificate* ClientCert = nullptr;  // offered when the server asks for one
};

class TSocketStream {
 public:
  TSocketStream();
  ~TSocketStream();
  TSocketStream(const TSocketStream&) = delete;
  TSocketStream& operator=(const TSocketStream&) = delete;

  // Raises ESocketError.
  void Connect(std::wstring_view host, uint16_t port, uint32_t timeoutMs);
  void SetReadTimeout(uint32_t ms) { FReadTimeout = ms; }
  // Reads, writes and the TLS handshake fail once ms have passed from now, however the server
  // spreads its bytes; until ClearDeadline.
  void SetDeadline(uint32_t ms);
  void ClearDeadline() { FDeadline = 0; }
  bool Connected() const;
  // TLS handshake on the open connection; raises ETlsError or ESocketError. Plain text received
  // before it or in its place fails it at once.
  void StartTls(const TTlsOptions& options);
  bool Tls() const { return FTls != nullptr; }
  // One line without its CR LF; false when the line with its CR LF would be longer than maxBytes
  // (line then holds its first maxBytes bytes). Raises ESocketError.
  bool ReadLine(std::string& line, size_t maxBytes);
  void Write(std::string_view data);
  // Sends TLS's close notice when it can, then closes; never raises.
  void Close() noexcept;

 private:
  struct TTls;
  size_t RawRecv(char* buffer, size_t size);
  void RawSend(const char* data, size_t size);
  // The time to wait for the socket; raises ESocketError when the deadline has passed.
  uint32_t WaitTime(bool& byDeadline) const;
  [[noreturn]] void RaiseDeadline() const;
  void FillPlain();

  uintptr_t FSocket;
  uint32_t FReadTimeout = 30000;
  uint64_t FDeadline = 0;  // tick count; 0: none
  uint32_t FDeadlineMs = 0;
  std::unique_ptr<TTls> FTls;
  std::string FPlain;  // received plain text not yet read
};

// Server text for an error or the session log: decoded as UTF-8, control characters as "?", at
// most maxChars characters and "..." where it was cut.
std::wstring ServerText(std::string_view bytes, size_t maxChars);

// The certificate's names as the host check sees them.
struct TCertNames {
  std::vector<std::wstring> DnsNames;
  std::vector<std::string> IpAddresses;  // raw 4 or 16 bytes
  std::wstring CommonName;
};
// True when host (a name or a dotted IPv4 address) is one the certificate names; DNS names may
// start with "*." for one label; the common name counts only when there are no DNS names.
bool CertificateMatchesHost(const TCertNames& names, std::wstring_view host);

}  // namespace hv
