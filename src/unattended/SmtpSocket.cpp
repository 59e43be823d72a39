#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>
#include <wincrypt.h>

#include "unattended/SmtpSocket.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/os/FileUtils.h"
#include "base/text/StringUtils.h"
#include "unattended/MimeMessage.h"
#include "winui/Translate.h"

namespace hv {
namespace {

constexpr uintptr_t kNoSocket = static_cast<uintptr_t>(INVALID_SOCKET);

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

[[noreturn]] void RaiseSocket(std::wstring_view what, int code) {
  throw ESocketError(std::wstring(what) + L": " + SystemErrorText(static_cast<uint32_t>(code)));
}

[[noreturn]] void RaiseTls(std::wstring_view what, SECURITY_STATUS status) {
  throw ETlsError(std::wstring(what) + L": " + SystemErrorText(static_cast<uint32_t>(status)));
}

// Waits until the socket can be read (or written); false on time-out.
bool WaitFor(SOCKET s, bool write, uint32_t timeoutMs) {
  fd_set set, errors;
  FD_ZERO(&set);
  FD_SET(s, &set);
  FD_ZERO(&errors);
  FD_SET(s, &errors);
  timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
  int n = select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &tv);
  if (n == SOCKET_ERROR) RaiseSocket(_(L"Socket error"), WSAGetLastError());
  return n > 0;
}

struct TCertFree {
  void operator()(const CERT_CONTEXT* c) const { CertFreeCertificateContext(c); }
};
using TCertPtr = std::unique_ptr<const CERT_CONTEXT, TCertFree>;
struct TStoreClose {
  void operator()(void* s) const { CertCloseStore(s, 0); }
};
using TStorePtr = std::unique_ptr<void, TStoreClose>;
struct TChainFree {
  void operator()(const CERT_CHAIN_CONTEXT* c) const { CertFreeCertificateChain(c); }
};

// The certificates of a PEM file in a memory store; empty when the file holds none.
TStorePtr LoadPemStore(const std::wstring& fileName, int& count) {
  count = 0;
  TStorePtr store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  std::string text;
  try {
    text = ReadFileBytes(fileName);
  } catch (const Exception&) {
    return store;
  }
  static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----", kEnd = "-----END CERTIFICATE-----";
  for (size_t pos = text.find(kBegin); pos != std::string::npos; pos = text.find(kBegin, pos)) {
    size_t end = text.find(kEnd, pos);
    if (end == std::string::npos) break;
    end += kEnd.size();
    std::string block = text.substr(pos, end - pos);
    pos = end;
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                              &size, nullptr, nullptr))
      continue;
    std::vector<BYTE> der(size);
    if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                             &size, nullptr, nullptr) &&
        CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_ALWAYS,
                                         nullptr))
      ++count;
  }
  return store;
}

bool StoreHolds(HCERTSTORE store, const CERT_CONTEXT* cert) {
  for (const CERT_CONTEXT* c = nullptr; (c = CertEnumCertificatesInStore(store, c)) != nullptr;) {
    if (c->cbCertEncoded == cert->cbCertEncoded &&
        std::memcmp(c->pbCertEncoded, cert->pbCertEncoded, c->cbCertEncoded) == 0) {
      CertFreeCertificateContext(c);
      return true;
    }
  }
  return false;
}

TCertNames ReadCertNames(const CERT_CONTEXT* cert) {
  TCertNames names;
  const CERT_INFO* info = cert->pCertInfo;
  if (const CERT_EXTENSION* ext = CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension)) {
    CERT_ALT_NAME_INFO* alt = nullptr;
    DWORD size = 0;
    if (CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, ext->Value.pbData, ext->Value.cbData,
                            CRYPT_DECODE_ALLOC_FLAG, nullptr, &alt, &size)) {
      for (DWORD i = 0; i < alt->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& e = alt->rgAltEntry[i];
        if (e.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME && e.pwszDNSName)
          names.DnsNames.emplace_back(e.pwszDNSName);
        else if (e.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS)
          names.IpAddresses.emplace_back(reinterpret_cast<const char*>(e.IPAddress.pbData), e.IPAddress.cbData);
      }
      LocalFree(alt);
    }
  }
  wchar_t cn[256] = {};
  if (CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME), cn,
                         static_cast<DWORD>(std::size(cn))) > 1)
    names.CommonName = cn;
  return names;
}

// False when the certificate names its usages and server authentication is not among them.
bool AllowsServerAuth(const CERT_CONTEXT* cert) {
  const CERT_INFO* info = cert->pCertInfo;
  const CERT_EXTENSION* ext = CertFindExtension(szOID_ENHANCED_KEY_USAGE, info->cExtension, info->rgExtension);
  if (!ext) return true;
  CERT_ENHKEY_USAGE* usage = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, ext->Value.pbData, ext->Value.cbData,
                           CRYPT_DECODE_ALLOC_FLAG, nullptr, &usage, &size))
    return false;
  bool found = false;
  for (DWORD i = 0; i < usage->cUsageIdentifier && !found; ++i)
    found = std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_SERVER_AUTH) == 0;
  LocalFree(usage);
  return found;
}

// The first line of what the server sent, without its line end, for a message.
std::wstring FirstLineText(std::string_view data) {
  data = data.substr(0, data.find('\n'));
  if (data.ends_with('\r')) data.remove_suffix(1);
  return ServerText(data, 80);
}

// Raises ETlsError when data, received where a TLS record begins, is no TLS record (content type
// 20..23, version 3.x): a plain server, or plain text slipped in.
void CheckTlsRecord(std::string_view data) {
  if (data.empty()) return;
  const uint8_t type = static_cast<uint8_t>(data[0]);
  if (type >= 20 && type <= 23 && (data.size() < 2 || data[1] == 3)) return;
  throw ETlsError(SafeFormat(_(L"The server did not answer in TLS; it sent: \"%s\""),
                             FirstLineText(data)));
}

// Raises ETlsError unless the chain ends in a root of the file and names the host.
void VerifyServerCertificate(const CERT_CONTEXT* cert, const TTlsOptions& options) {
  int rootCount = 0;
  TStorePtr roots = LoadPemStore(options.RootFile, rootCount);
  if (rootCount == 0)
    throw ETlsError(SafeFormat(_(L"No root certificate could be read from \"%s\"."), options.RootFile));
  TStorePtr all(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
  CertAddStoreToCollection(all.get(), roots.get(), 0, 0);
  if (cert->hCertStore) CertAddStoreToCollection(all.get(), cert->hCertStore, 0, 0);
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  const CERT_CHAIN_CONTEXT* raw = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, all.get(), &para, 0, nullptr, &raw))
    RaiseTls(_(L"The server certificate could not be checked"), static_cast<SECURITY_STATUS>(GetLastError()));
  std::unique_ptr<const CERT_CHAIN_CONTEXT, TChainFree> chain(raw);
  const DWORD errors = chain->TrustStatus.dwErrorStatus;
  if (errors & (CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED))
    throw ETlsError(_(L"The server certificate has expired or is not yet valid."));
  bool anchored = false;
  if (chain->cChain > 0) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    for (DWORD i = 0; i < simple->cElement && !anchored; ++i)
      anchored = StoreHolds(roots.get(), simple->rgpElement[i]->pCertContext);
  }
  const DWORD ignored = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                        CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_IS_PARTIAL_CHAIN;
  if (!anchored || (errors & ~ignored) != 0)
    throw ETlsError(SafeFormat(_(L"The server certificate was not issued by a trusted root of \"%s\"."),
                               options.RootFile));
  if (!AllowsServerAuth(cert))
    throw ETlsError(_(L"The server certificate is not meant for server authentication."));
  if (!CertificateMatchesHost(ReadCertNames(cert), options.HostName))
    throw ETlsError(SafeFormat(_(L"The server certificate is not valid for the host \"%s\"."), options.HostName));
}

bool ParseIpv4(std::wstring_view s, std::string& bytes) {
  bytes.clear();
  int value = -1, parts = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == L'.') {
      if (value < 0 || ++parts > 4) return false;
      bytes.push_back(static_cast<char>(value));
      value = -1;
    } else if (s[i] >= L'0' && s[i] <= L'9') {
      value = (value < 0 ? 0 : value * 10) + (s[i] - L'0');
      if (value > 255) return false;
    } else {
      return false;
    }
  }
  return parts == 4;
}

bool DnsNameMatches(std::wstring pattern, std::wstring host) {
  pattern = AnsiLowerCase(pattern);
  host = AnsiLowerCase(host);
  if (!host.empty() && host.back() == L'.') host.pop_back();
  if (pattern.starts_with(L"*.")) {
    size_t dot = host.find(L'.');
    return dot != std::wstring::npos && dot > 0 && host.substr(dot) == pattern.substr(1);
  }
  return pattern == host;
}

}  // namespace

std::wstring ServerText(std::string_view bytes, size_t maxChars) {
  // Four bytes at most per character: decoding more could not change what is kept.
  std::wstring text = Utf8ToWide(bytes.substr(0, std::min(bytes.size(), maxChars * 4 + 4)));
  for (wchar_t& c : text)
    if (c < 32 || (c >= 0x7F && c < 0xA0)) c = L'?';
  if (text.size() <= maxChars && bytes.size() <= maxChars * 4 + 4) return text;
  size_t cut = std::min(maxChars, text.size());
  if (cut > 0 && IS_HIGH_SURROGATE(text[cut - 1])) --cut;
  text.resize(cut);
  return text + L"...";
}

bool CertificateMatchesHost(const TCertNames& names, std::wstring_view host) {
  if (host.empty()) return false;
  if (std::string ip; ParseIpv4(host, ip))
    return std::find(names.IpAddresses.begin(), names.IpAddresses.end(), ip) != names.IpAddresses.end();
  if (!names.DnsNames.empty())
    return std::any_of(names.DnsNames.begin(), names.DnsNames.end(),
                       [&](const std::wstring& n) { return DnsNameMatches(n, std::wstring(host)); });
  return !names.CommonName.empty() && DnsNameMatches(names.CommonName, std::wstring(host));
}

struct TSocketStream::TTls {
  CredHandle Cred{};
  CtxtHandle Ctx{};
  bool HaveCred = false, HaveCtx = false;
  SecPkgContext_StreamSizes Sizes{};
  std::string Cipher;  // received encrypted bytes not yet decrypted

  ~TTls() {
    if (HaveCtx) DeleteSecurityContext(&Ctx);
    if (HaveCred) FreeCredentialsHandle(&Cred);
  }
};

TSocketStream::TSocketStream() : FSocket(kNoSocket) {}

TSocketStream::~TSocketStream() { Close(); }

bool TSocketStream::Connected() const { return FSocket != kNoSocket; }

void TSocketStream::Connect(std::wstring_view host, uint16_t port, uint32_t timeoutMs) {
  Close();
  StartWinsock();
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  ADDRINFOW* list = nullptr;
  const std::wstring hostName(host), service = std::to_wstring(port);
  if (int rc = GetAddrInfoW(hostName.c_str(), service.c_str(), &hints, &list); rc != 0)
    RaiseSocket(SafeFormat(_(L"The server \"%s\" was not found"), hostName), rc);
  int lastError = WSAECONNREFUSED;
  bool timedOut = false;
  for (ADDRINFOW* a = list; a && FSocket == kNoSocket; a = a->ai_next) {
    SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) {
      lastError = WSAGetLastError();
      continue;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    bool ok = connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0;
    if (!ok && WSAGetLastError() == WSAEWOULDBLOCK) {
      bool ready = false;
      try {
        ready = WaitFor(s, true, timeoutMs);
      } catch (...) {
        closesocket(s);
        throw;
      }
      if (!ready) {
        timedOut = true;
      } else {
        int err = 0, len = sizeof err;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
        ok = err == 0;
        if (!ok) lastError = err;
      }
    } else if (!ok) {
      lastError = WSAGetLastError();
    }
    if (ok) {
      nonBlocking = 0;
      ioctlsocket(s, FIONBIO, &nonBlocking);
      FSocket = static_cast<uintptr_t>(s);
    } else {
      closesocket(s);
    }
  }
  FreeAddrInfoW(list);
  if (FSocket == kNoSocket) {
    const std::wstring where = hostName + L":" + service;
    if (timedOut && lastError == WSAECONNREFUSED)
      throw ESocketError(SafeFormat(_(L"Connecting to %s timed out."), where));
    RaiseSocket(SafeFormat(_(L"Could not connect to %s"), where), lastError);
  }
}

void TSocketStream::SetDeadline(uint32_t ms) {
  FDeadlineMs = ms;
  FDeadline = GetTickCount64() + ms;
}

void TSocketStream::RaiseDeadline() const {
  throw ESocketError(SafeFormat(_(L"The server did not complete its answer within %u seconds."),
                                static_cast<unsigned>(FDeadlineMs / 1000)));
}

uint32_t TSocketStream::WaitTime(bool& byDeadline) const {
  byDeadline = false;
  if (FDeadline == 0) return FReadTimeout;
  const uint64_t now = GetTickCount64();
  if (now >= FDeadline) RaiseDeadline();
  const uint64_t left = FDeadline - now;
  if (left >= FReadTimeout) return FReadTimeout;
  byDeadline = true;
  return static_cast<uint32_t>(left);
}

size_t TSocketStream::RawRecv(char* buffer, size_t size) {
  if (FSocket == kNoSocket) throw ESocketError(_(L"The connection is closed."));
  SOCKET s = static_cast<SOCKET>(FSocket);
  bool byDeadline = false;
  if (!WaitFor(s, false, WaitTime(byDeadline))) {
    if (byDeadline) RaiseDeadline();
    throw ESocketError(_(L"Read timed out."));
  }
  int n = recv(s, buffer, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
  if (n == 0) throw ESocketError(_(L"The server closed the connection."));
  if (n < 0) RaiseSocket(_(L"Socket error"), WSAGetLastError());
  return static_cast<size_t>(n);
}

void TSocketStream::RawSend(const char* data, size_t size) {
  if (FSocket == kNoSocket) throw ESocketError(_(L"The connection is closed."));
  SOCKET s = static_cast<SOCKET>(FSocket);
  while (size > 0) {
    bool byDeadline = false;
    if (!WaitFor(s, true, WaitTime(byDeadline))) {
      if (byDeadline) RaiseDeadline();
      throw ESocketError(_(L"Write timed out."));
    }
    int n = send(s, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (n == SOCKET_ERROR) RaiseSocket(_(L"Socket error"), WSAGetLastError());
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void TSocketStream::StartTls(const TTlsOptions& options) {
  // The server speaks no more in clear once it agreed to TLS: what it sent after that is injected.
  if (!FPlain.empty())
    throw ETlsError(SafeFormat(_(L"The server sent plain text after agreeing to TLS: \"%s\""),
                               FirstLineText(FPlain)));
  auto tls = std::make_unique<TTls>();
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.grbitEnabledProtocols = SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT | SP_PROT_TLS1_2_CLIENT;
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  PCCERT_CONTEXT client = options.ClientCert ? static_cast<PCCERT_CONTEXT>(options.ClientCert->Context()) : nullptr;
  if (client) {
    cred.cCreds = 1;
    cred.paCred = &client;
  }
  TimeStamp expiry;
  SECURITY_STATUS st = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                                 nullptr, &cred, nullptr, nullptr, &tls->Cred, &expiry);
  if (st != SEC_E_OK) RaiseTls(_(L"Error creating SSL session."), st);
  tls->HaveCred = true;

  const DWORD request = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                        ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;
  std::wstring target = options.HostName;
  std::string in;
  bool first = true;
  for (;;) {
    CheckTlsRecord(in);
    SecBuffer inBufs[2] = {{static_cast<unsigned long>(in.size()), SECBUFFER_TOKEN, in.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBufs};
    SecBuffer outBuf{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuf};
    DWORD flags = 0;
    if (!first && in.empty()) {
      char buf[16384];
      in.append(buf, RawRecv(buf, sizeof buf));
      continue;
    }
    st = InitializeSecurityContextW(&tls->Cred, first ? nullptr : &tls->Ctx, target.data(), request, 0, 0,
                                    first ? nullptr : &inDesc, 0, first ? &tls->Ctx : nullptr, &outDesc, &flags,
                                    &expiry);
    const bool wasFirst = first;
    if (first) {
      if (st == SEC_I_CONTINUE_NEEDED || st == SEC_E_OK) tls->HaveCtx = true;
      first = false;
    }
    if (outBuf.cbBuffer > 0 && outBuf.pvBuffer) {
      std::string token(static_cast<const char*>(outBuf.pvBuffer), outBuf.cbBuffer);
      FreeContextBuffer(outBuf.pvBuffer);
      RawSend(token.data(), token.size());
    }
    if (wasFirst) {
      if (st != SEC_I_CONTINUE_NEEDED) RaiseTls(_(L"The TLS handshake failed"), st);
      continue;
    }
    if (st == SEC_E_INCOMPLETE_MESSAGE) {
      char buf[16384];
      in.append(buf, RawRecv(buf, sizeof buf));
      continue;
    }
    if (st == SEC_I_INCOMPLETE_CREDENTIALS) continue;  // the server asked for a certificate: go on without
    if (st != SEC_E_OK && st != SEC_I_CONTINUE_NEEDED) RaiseTls(_(L"The TLS handshake failed"), st);
    if (inBufs[1].BufferType == SECBUFFER_EXTRA && inBufs[1].cbBuffer > 0)
      in = in.substr(in.size() - inBufs[1].cbBuffer);
    else
      in.clear();
    if (st == SEC_E_OK) break;
  }
  tls->Cipher = std::move(in);
  st = QueryContextAttributesW(&tls->Ctx, SECPKG_ATTR_STREAM_SIZES, &tls->Sizes);
  if (st != SEC_E_OK) RaiseTls(_(L"The TLS handshake failed"), st);
  if (options.VerifyServer) {
    const CERT_CONTEXT* remote = nullptr;
    st = QueryContextAttributesW(&tls->Ctx, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote);
    if (st != SEC_E_OK || !remote) throw ETlsError(_(L"The server sent no certificate."));
    TCertPtr holder(remote);
    VerifyServerCertificate(remote, options);
  }
  FTls = std::move(tls);
}

void TSocketStream::FillPlain() {
  if (!FTls) {
    char buf[8192];
    FPlain.append(buf, RawRecv(buf, sizeof buf));
    return;
  }
  TTls& t = *FTls;
  for (;;) {
    if (!t.Cipher.empty()) {
      CheckTlsRecord(t.Cipher);
      SecBuffer bufs[4] = {{static_cast<unsigned long>(t.Cipher.size()), SECBUFFER_DATA, t.Cipher.data()},
                           {0, SECBUFFER_EMPTY, nullptr},
                           {0, SECBUFFER_EMPTY, nullptr},
                           {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
      SECURITY_STATUS st = DecryptMessage(&t.Ctx, &desc, 0, nullptr);
      if (st == SEC_E_OK) {
        std::string extra;
        for (const SecBuffer& b : bufs) {
          if (b.BufferType == SECBUFFER_DATA && b.cbBuffer) FPlain.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
          if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer) extra.assign(t.Cipher.end() - b.cbBuffer, t.Cipher.end());
        }
        t.Cipher = std::move(extra);
        if (!FPlain.empty()) return;
        continue;
      }
      if (st == SEC_I_CONTEXT_EXPIRED) throw ESocketError(_(L"The server closed the connection."));
      if (st != SEC_E_INCOMPLETE_MESSAGE) RaiseTls(_(L"TLS error"), st);
    }
    char buf[16384];
    t.Cipher.append(buf, RawRecv(buf, sizeof buf));
  }
}

bool TSocketStream::ReadLine(std::string& line, size_t maxBytes) {
  for (;;) {
    const size_t lf = FPlain.find('\n');
    if ((lf == std::string::npos ? FPlain.size() : lf + 1) > maxBytes) {
      line = FPlain.substr(0, maxBytes);
      return false;
    }
    if (lf != std::string::npos) {
      line = FPlain.substr(0, lf);
      FPlain.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    FillPlain();
  }
}

void TSocketStream::Write(std::string_view data) {
  if (!FTls) {
    RawSend(data.data(), data.size());
    return;
  }
  TTls& t = *FTls;
  const size_t chunk = t.Sizes.cbMaximumMessage ? t.Sizes.cbMaximumMessage : 16384;
  std::vector<char> buf;
  while (!data.empty()) {
    const size_t n = std::min(chunk, data.size());
    buf.assign(t.Sizes.cbHeader + n + t.Sizes.cbTrailer, 0);
    std::memcpy(buf.data() + t.Sizes.cbHeader, data.data(), n);
    SecBuffer bufs[4] = {{t.Sizes.cbHeader, SECBUFFER_STREAM_HEADER, buf.data()},
                         {static_cast<unsigned long>(n), SECBUFFER_DATA, buf.data() + t.Sizes.cbHeader},
                         {t.Sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, buf.data() + t.Sizes.cbHeader + n},
                         {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
    SECURITY_STATUS st = EncryptMessage(&t.Ctx, 0, &desc, 0);
    if (st != SEC_E_OK) RaiseTls(_(L"TLS error"), st);
    RawSend(buf.data(), bufs[0].cbBuffer + bufs[1].cbBuffer + bufs[2].cbBuffer);
    data.remove_prefix(n);
  }
}

void TSocketStream::Close() noexcept {
  if (FSocket == kNoSocket) {
    FTls.reset();
    return;
  }
  if (FTls) {
    try {
      DWORD type = SCHANNEL_SHUTDOWN;
      SecBuffer in{sizeof type, SECBUFFER_TOKEN, &type};
      SecBufferDesc inDesc{SECBUFFER_VERSION, 1, &in};
      if (ApplyControlToken(&FTls->Ctx, &inDesc) == SEC_E_OK) {
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
        DWORD flags = 0;
        TimeStamp expiry;
        const DWORD request = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                              ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;
        if (InitializeSecurityContextW(&FTls->Cred, &FTls->Ctx, nullptr, request, 0, 0, nullptr, 0, nullptr, &outDesc,
                                       &flags, &expiry) == SEC_E_OK &&
            out.pvBuffer) {
          send(static_cast<SOCKET>(FSocket), static_cast<const char*>(out.pvBuffer), static_cast<int>(out.cbBuffer), 0);
        }
        if (out.pvBuffer) FreeContextBuffer(out.pvBuffer);
      }
    } catch (...) {
    }
    FTls.reset();
  }
  shutdown(static_cast<SOCKET>(FSocket), SD_BOTH);
  closesocket(static_cast<SOCKET>(FSocket));
  FSocket = kNoSocket;
  FPlain.clear();
}

// --- client certificate

namespace {

// A DER element: its tag and its content.
struct TDer {
  uint8_t Tag = 0;
  std::string_view Content;
};

// Reads the next element from data; false at the end or on bad data.
bool NextDer(std::string_view& data, TDer& e) {
  if (data.size() < 2) return false;
  e.Tag = static_cast<uint8_t>(data[0]);
  size_t len = static_cast<uint8_t>(data[1]), head = 2;
  if (len & 0x80) {
    const size_t n = len & 0x7F;
    if (n == 0 || n > 4 || data.size() < 2 + n) return false;
    len = 0;
    for (size_t i = 0; i < n; ++i) len = (len << 8) | static_cast<uint8_t>(data[2 + i]);
    head += n;
  }
  if (data.size() - head < len) return false;
  e.Content = data.substr(head, len);
  data.remove_prefix(head + len);
  return true;
}

bool Expect(std::string_view& data, uint8_t tag, std::string_view& content) {
  TDer e;
  if (!NextDer(data, e) || e.Tag != tag) return false;
  content = e.Content;
  return true;
}

constexpr std::string_view kOidPbes2{"\x2A\x86\x48\x86\xF7\x0D\x01\x05\x0D", 9};
constexpr std::string_view kOidPbkdf2{"\x2A\x86\x48\x86\xF7\x0D\x01\x05\x0C", 9};
constexpr std::string_view kOidHmacSha1{"\x2A\x86\x48\x86\xF7\x0D\x02\x07", 8};
constexpr std::string_view kOidHmacSha256{"\x2A\x86\x48\x86\xF7\x0D\x02\x09", 8};
constexpr std::string_view kOidAesCbc{"\x60\x86\x48\x01\x65\x03\x04\x01", 8};  // + 0x02, 0x16, 0x2A
constexpr std::string_view kOidDesEde3Cbc{"\x2A\x86\x48\x86\xF7\x0D\x03\x07", 8};

[[noreturn]] void BadKey(const std::wstring& keyFile) {
  throw ETlsError(SafeFormat(_(L"The key file \"%s\" cannot be read: unknown form or wrong password."), keyFile));
}

std::string ReadTlsFile(const std::wstring& name) {
  try {
    return ReadFileBytes(name);
  } catch (const EExtFileStreamError& e) {
    throw ETlsError(SafeFormat(_(L"\"%s\" cannot be read: %s"), name, SystemErrorText(e.ErrorCode())));
  }
}

// The DER of the first PEM block with the label; empty when there is none.
std::string PemBlock(const std::string& text, std::string_view label, std::string* headers = nullptr) {
  const std::string begin = "-----BEGIN " + std::string(label) + "-----", end = "-----END " + std::string(label) + "-----";
  size_t b = text.find(begin);
  if (b == std::string::npos) return {};
  b += begin.size();
  size_t e = text.find(end, b);
  if (e == std::string::npos) return {};
  std::string body = text.substr(b, e - b);
  if (headers) *headers = body;
  if (size_t blank = body.find(":"); blank != std::string::npos) return {};  // encrypted PEM headers
  return Base64Decode(body);
}

// PBES2 (PBKDF2 with HMAC-SHA1 or -SHA256; AES-CBC or 3DES-CBC): the PKCS#8 key inside; empty on failure.
std::string DecryptPkcs8(std::string_view der, const std::string& password) {
  std::string_view outer, algo, oid, params, kdf, kdfOid, kdfParams, salt, iter, enc, encOid, iv, data;
  if (!Expect(der, 0x30, outer) || !Expect(outer, 0x30, algo) || !Expect(algo, 0x06, oid) || oid != kOidPbes2 ||
      !Expect(algo, 0x30, params) || !Expect(params, 0x30, kdf) || !Expect(kdf, 0x06, kdfOid) || kdfOid != kOidPbkdf2 ||
      !Expect(kdf, 0x30, kdfParams) || !Expect(kdfParams, 0x04, salt) || !Expect(kdfParams, 0x02, iter) ||
      !Expect(params, 0x30, enc) || !Expect(enc, 0x06, encOid) || !Expect(enc, 0x04, iv) ||
      !Expect(outer, 0x04, data))
    return {};
  ULONG keyLen = 0, block = 16;
  const wchar_t* cipherName = BCRYPT_AES_ALGORITHM;
  if (encOid.size() == 9 && encOid.starts_with(kOidAesCbc)) {
    const uint8_t aes = static_cast<uint8_t>(encOid[8]);
    keyLen = aes == 0x02 ? 16 : aes == 0x16 ? 24 : aes == 0x2A ? 32 : 0;
  } else if (encOid == kOidDesEde3Cbc) {
    keyLen = 24;
    block = 8;
    cipherName = BCRYPT_3DES_ALGORITHM;
  }
  if (keyLen == 0 || iv.size() != block || iter.size() > 4) return {};
  ULONGLONG iterations = 0;
  for (char c : iter) iterations = (iterations << 8) | static_cast<uint8_t>(c);
  const wchar_t* prf = BCRYPT_SHA1_ALGORITHM;
  for (TDer e; NextDer(kdfParams, e);) {
    std::string_view prfOid, rest = e.Content;
    if (e.Tag == 0x30 && Expect(rest, 0x06, prfOid)) {
      if (prfOid == kOidHmacSha256) prf = BCRYPT_SHA256_ALGORITHM;
      else if (prfOid != kOidHmacSha1) return {};
    }
  }
  std::string key(keyLen, '\0'), plain(data.size(), '\0');
  BCRYPT_ALG_HANDLE hmac = nullptr, cipher = nullptr;
  BCRYPT_KEY_HANDLE aesKey = nullptr;
  bool ok = BCryptOpenAlgorithmProvider(&hmac, prf, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG) == 0 &&
            BCryptDeriveKeyPBKDF2(hmac, reinterpret_cast<PUCHAR>(const_cast<char*>(password.data())),
                                  static_cast<ULONG>(password.size()),
                                  reinterpret_cast<PUCHAR>(const_cast<char*>(salt.data())),
                                  static_cast<ULONG>(salt.size()), iterations,
                                  reinterpret_cast<PUCHAR>(key.data()), keyLen, 0) == 0 &&
            BCryptOpenAlgorithmProvider(&cipher, cipherName, nullptr, 0) == 0 &&
            BCryptSetProperty(cipher, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_CBC)),
                              sizeof(BCRYPT_CHAIN_MODE_CBC), 0) == 0 &&
            BCryptGenerateSymmetricKey(cipher, &aesKey, nullptr, 0, reinterpret_cast<PUCHAR>(key.data()), keyLen, 0) == 0;
  ULONG got = 0;
  std::string ivCopy(iv);
  ok = ok && BCryptDecrypt(aesKey, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                           static_cast<ULONG>(data.size()), nullptr, reinterpret_cast<PUCHAR>(ivCopy.data()), block,
                           reinterpret_cast<PUCHAR>(plain.data()), static_cast<ULONG>(plain.size()), &got,
                           BCRYPT_BLOCK_PADDING) == 0;
  if (aesKey) BCryptDestroyKey(aesKey);
  if (cipher) BCryptCloseAlgorithmProvider(cipher, 0);
  if (hmac) BCryptCloseAlgorithmProvider(hmac, 0);
  SecureZeroMemory(key.data(), key.size());
  if (!ok) return {};
  plain.resize(got);
  return plain;
}

// The RSAPrivateKey inside a PKCS#8 PrivateKeyInfo; empty when it is none.
std::string RsaKeyOfPkcs8(std::string_view der) {
  static constexpr std::string_view kOidRsa{"\x2A\x86\x48\x86\xF7\x0D\x01\x01\x01", 9};
  std::string_view info, version, algo, oid, key;
  if (!Expect(der, 0x30, info) || !Expect(info, 0x02, version) || !Expect(info, 0x30, algo) ||
      !Expect(algo, 0x06, oid) || oid != kOidRsa || !Expect(info, 0x04, key))
    return {};
  return std::string(key);
}

}  // namespace

TClientCertificate::TClientCertificate(const std::wstring& certFile, const std::wstring& keyFile,
                                       std::wstring_view password) {
  try {
    Load(certFile, keyFile, password);
  } catch (...) {
    Release();
    throw;
  }
}

void TClientCertificate::Load(const std::wstring& certFile, const std::wstring& keyFile, std::wstring_view password) {
  const std::string certDer = PemBlock(ReadTlsFile(certFile), "CERTIFICATE");
  PCCERT_CONTEXT cert = certDer.empty() ? nullptr
                                        : CertCreateCertificateContext(X509_ASN_ENCODING,
                                                                       reinterpret_cast<const BYTE*>(certDer.data()),
                                                                       static_cast<DWORD>(certDer.size()));
  if (!cert) throw ETlsError(SafeFormat(_(L"The certificate file \"%s\" cannot be read."), certFile));
  FCert = cert;
  const std::string keyText = ReadTlsFile(keyFile);
  std::string rsa;
  if (std::string der = PemBlock(keyText, "ENCRYPTED PRIVATE KEY"); !der.empty()) {
    std::string plain = DecryptPkcs8(der, WideToUtf8(password));
    rsa = plain.empty() ? std::string() : RsaKeyOfPkcs8(plain);
    SecureZeroMemory(plain.data(), plain.size());
  } else if (std::string p8 = PemBlock(keyText, "PRIVATE KEY"); !p8.empty()) {
    rsa = RsaKeyOfPkcs8(p8);
  } else {
    rsa = PemBlock(keyText, "RSA PRIVATE KEY");
  }
  if (rsa.empty()) BadKey(keyFile);
  BYTE* blob = nullptr;
  DWORD blobSize = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, PKCS_RSA_PRIVATE_KEY, reinterpret_cast<const BYTE*>(rsa.data()),
                           static_cast<DWORD>(rsa.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &blob, &blobSize))
    BadKey(keyFile);
  SecureZeroMemory(rsa.data(), rsa.size());
  std::vector<UCHAR> id(8);
  BCryptGenRandom(nullptr, id.data(), static_cast<ULONG>(id.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  FContainer = L"HvMailer-";
  for (UCHAR b : id) FContainer += SafeFormat(L"%.2x", static_cast<unsigned>(b));
  HCRYPTPROV prov = 0;
  HCRYPTKEY key = 0;
  bool ok = CryptAcquireContextW(&prov, FContainer.c_str(), MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_NEWKEYSET);
  DWORD error = ok ? 0 : GetLastError();
  if (ok) {
    ok = CryptImportKey(prov, blob, blobSize, 0, 0, &key);
    if (!ok) error = GetLastError();
    if (key) CryptDestroyKey(key);
    CryptReleaseContext(prov, 0);
  }
  SecureZeroMemory(blob, blobSize);
  LocalFree(blob);
  if (!ok) RaiseTls(_(L"The client key cannot be used"), static_cast<SECURITY_STATUS>(error));
  CRYPT_KEY_PROV_INFO info{};
  info.pwszContainerName = FContainer.data();
  info.pwszProvName = const_cast<wchar_t*>(MS_ENHANCED_PROV_W);
  info.dwProvType = PROV_RSA_FULL;
  info.dwKeySpec = AT_KEYEXCHANGE;
  if (!CertSetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, 0, &info))
    RaiseTls(_(L"The client key cannot be used"), static_cast<SECURITY_STATUS>(GetLastError()));
}

TClientCertificate::~TClientCertificate() { Release(); }

void TClientCertificate::Release() noexcept {
  if (!FContainer.empty()) {
    HCRYPTPROV prov = 0;
    CryptAcquireContextW(&prov, FContainer.c_str(), MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
    FContainer.clear();
  }
  if (FCert) CertFreeCertificateContext(static_cast<PCCERT_CONTEXT>(FCert));
  FCert = nullptr;
}

}  // namespace hv
