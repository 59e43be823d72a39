#include <windows.h>
#include <bcrypt.h>

#include "unattended/mMailer10.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "base/os/FileUtils.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "unattended/SmtpSocket.h"
#include "winui/Forms.h"
#include "winui/Translate.h"

namespace hv {
namespace {

// What one reply may hold: far beyond any real server (an EHLO reply has some 10 to 30 lines, and
// a reply line at most 512 bytes), low enough that no server can keep a send busy or fill memory.
constexpr size_t kMaxReplyLines = 100;
constexpr size_t kMaxReplyBytes = 64 * 1024;
// Characters of server text kept in an error entry and in a line of the session log.
constexpr size_t kMaxErrorText = 200, kMaxLoggedText = 512;

// A reply of the server: its code and its lines without the code.
struct TReply {
  int Code = 0;
  std::vector<std::string> Lines;
  std::string Text() const {
    std::string r = std::to_string(Code);
    for (const std::string& line : Lines) r += " " + line;
    return r;
  }
};

// Explicit TLS required, but the server offers no STARTTLS.
class ENoStartTls : public ETlsError {
 public:
  using ETlsError::ETlsError;
};

// An answer of the server that the session did not expect.
class ESmtpReply : public Exception {
 public:
  explicit ESmtpReply(const TReply& r) : Exception(ServerText(r.Text(), kMaxErrorText)) {}
  ESmtpReply(std::wstring_view lead, const TReply& r)
      : Exception(std::wstring(lead) + L": " + ServerText(r.Text(), kMaxErrorText)) {}
};

std::string HexOf(const std::vector<UCHAR>& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string r;
  for (UCHAR b : bytes) {
    r += kHex[b >> 4];
    r += kHex[b & 15];
  }
  return r;
}

std::vector<UCHAR> Hmac(const wchar_t* algorithm, std::string_view key, std::string_view data) {
  BCRYPT_ALG_HANDLE alg = nullptr;
  if (BCryptOpenAlgorithmProvider(&alg, algorithm, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG) != 0)
    throw Exception(_(L"The hash function is not available."));
  std::vector<UCHAR> digest;
  DWORD length = 0, got = 0;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (BCryptGetProperty(alg, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof length, &got, 0) == 0 &&
      BCryptCreateHash(alg, &hash, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(key.data())),
                       static_cast<ULONG>(key.size()), 0) == 0) {
    digest.resize(length);
    if (BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())), static_cast<ULONG>(data.size()),
                       0) != 0 ||
        BCryptFinishHash(hash, digest.data(), length, 0) != 0)
      digest.clear();
    BCryptDestroyHash(hash);
  }
  BCryptCloseAlgorithmProvider(alg, 0);
  if (digest.empty()) throw Exception(_(L"The hash function is not available."));
  return digest;
}

std::string RandomHex(size_t bytes) {
  std::vector<UCHAR> r(bytes);
  BCryptGenRandom(nullptr, r.data(), static_cast<ULONG>(r.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  return HexOf(r);
}

// RFC 5322 date-time of now in local time.
std::string MailDate() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  TIME_ZONE_INFORMATION tz;
  DWORD mode = GetTimeZoneInformation(&tz);
  long bias = tz.Bias + (mode == TIME_ZONE_ID_DAYLIGHT ? tz.DaylightBias : mode == TIME_ZONE_ID_STANDARD ? tz.StandardBias : 0);
  long offset = -bias;
  static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char buf[64];
  snprintf(buf, sizeof buf, "%s, %d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[t.wDayOfWeek % 7], t.wDay,
           kMonths[(t.wMonth + 11) % 12], t.wYear, t.wHour, t.wMinute, t.wSecond, offset < 0 ? '-' : '+',
           std::labs(offset) / 60, std::labs(offset) % 60);
  return buf;
}

std::wstring RegistryContentType(const std::wstring& ext) {
  wchar_t value[256];
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, ext.c_str(), L"Content Type", RRF_RT_REG_SZ, nullptr, value, &size) == 0)
    return value;
  return {};
}

// The charset of single-byte text in the ANSI code page; empty when there is no name for it.
std::string AnsiCharset() {
  const UINT cp = GetACP();
  if ((cp >= 1250 && cp <= 1258) || cp == 874) return "windows-" + std::to_string(cp);
  switch (cp) {
    case 932: return "shift_jis";
    case 936: return "gbk";
    case 949: return "euc-kr";
    case 950: return "big5";
    case 65001: return "utf-8";
  }
  return {};
}

std::string ReadAttachment(const std::wstring& name) {
  try {
    return ReadFileBytes(name);
  } catch (const EExtFileStreamError& e) {
    throw EExtFileStreamError(SafeFormat(_(L"The attachment \"%s\" cannot be read: %s"), name,
                                         SystemErrorText(e.ErrorCode())),
                              e.ErrorCode());
  }
}

// Lines ending in CR LF with a leading "." doubled, ended by the lone ".".
std::string DotStuffed(const std::string& message) {
  std::string r;
  r.reserve(message.size() + 64);
  bool lineStart = true;
  for (char c : message) {
    if (lineStart && c == '.') r += '.';
    r += c;
    lineStart = c == '\n';
  }
  if (!r.ends_with("\r\n")) r += "\r\n";
  return r + ".\r\n";
}

std::wstring NowText() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t buf[40];
  swprintf(buf, std::size(buf), L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond, t.wMilliseconds);
  return buf;
}

// The session log: appended to, UTF-8, one line per event; never raises.
class TSessionLog {
 public:
  explicit TSessionLog(const std::wstring& fileName) {
    if (!fileName.empty()) FOut.open(std::filesystem::path(fileName), std::ios::binary | std::ios::app);
  }
  bool Active() const { return FOut.is_open(); }
  void Line(std::wstring_view kind, std::wstring_view text) {
    if (!FOut.is_open()) return;
    FOut << WideToUtf8(NowText()) << ' ' << WideToUtf8(kind) << ' ' << WideToUtf8(text) << "\r\n";
    FOut.flush();
  }
  void Error(std::wstring_view text) { Line(L"Error", text); }

 private:
  std::ofstream FOut;
};

}  // namespace

std::string CramResponse(std::wstring_view mechanism, std::wstring_view user, std::wstring_view password,
                         std::string_view challenge) {
  const wchar_t* alg = mechanism == L"CRAM-SHA1" ? BCRYPT_SHA1_ALGORITHM : BCRYPT_MD5_ALGORITHM;
  return WideToUtf8(user) + " " + HexOf(Hmac(alg, WideToUtf8(password), challenge));
}

// One connection: commands and replies, logged; the password never reaches the log.
class TmMailer::TSession {
 public:
  TSession(TmMailer& owner, TSessionLog& log, const TClientCertificate* cert) : M(owner), Log(log), Cert(cert) {}

  // The reply within the bounds; the caller has set the deadline.
  TReply Read() {
    TReply r;
    std::string first;
    for (size_t bytes = 0;;) {
      std::string line;
      if (r.Lines.size() == kMaxReplyLines)
        throw ESocketError(SafeFormat(_(L"The server's reply has more than %u lines: %s"),
                                      static_cast<unsigned>(kMaxReplyLines), ServerText(first, kMaxErrorText)));
      if (!Sock.ReadLine(line, kMaxReplyBytes - bytes))
        throw ESocketError(SafeFormat(_(L"The server's reply is longer than %u bytes: %s"),
                                      static_cast<unsigned>(kMaxReplyBytes),
                                      ServerText(first.empty() ? line : first, kMaxErrorText)));
      bytes = std::min(kMaxReplyBytes, bytes + line.size() + 2);  // a line may end in LF alone
      if (first.empty()) first = line;
      Log.Line(L"Recv", ServerText(line, kMaxLoggedText));
      int code = line.size() >= 3 ? std::atoi(line.substr(0, 3).c_str()) : 0;
      if (code < 100) throw ESocketError(_(L"The server sent no valid reply."));
      r.Code = code;
      r.Lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
      if (line.size() < 4 || line[3] != '-') return r;
    }
  }
  TReply Command(std::string_view cmd, std::wstring_view logged = {}) {
    Sock.SetDeadline(M.CommandTimeout);
    Log.Line(L"Sent", logged.empty() ? Utf8ToWide(cmd) : std::wstring(logged));
    Sock.Write(std::string(cmd) + "\r\n");
    return Read();
  }
  TReply Expect(std::string_view cmd, std::initializer_list<int> codes, std::wstring_view logged = {}) {
    TReply r = Command(cmd, logged);
    if (std::find(codes.begin(), codes.end(), r.Code) == codes.end()) throw ESmtpReply(r);
    return r;
  }

  void Hello() {
    const std::string helo = WideToUtf8(CleanAddress(M.HeloName));
    TReply r = Command("EHLO " + helo);
    Capabilities.clear();
    if (r.Code == 250) {
      for (size_t i = 1; i < r.Lines.size(); ++i) Capabilities.push_back(r.Lines[i]);
    } else {
      Expect("HELO " + helo, {250});
    }
  }
  bool Offers(std::string_view keyword) const {
    for (const std::string& c : Capabilities) {
      std::string upper = c;
      for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
      if (upper == keyword || upper.starts_with(std::string(keyword) + " ")) return true;
    }
    return false;
  }
  std::vector<std::string> AuthMechanisms() const {
    std::vector<std::string> list;
    for (const std::string& c : Capabilities) {
      std::string upper = c;
      for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
      if (!upper.starts_with("AUTH ") && !upper.starts_with("AUTH=")) continue;
      std::string rest = upper.substr(5);
      for (size_t p = 0; p < rest.size();) {
        size_t e = rest.find(' ', p);
        if (e == std::string::npos) e = rest.size();
        if (e > p) list.push_back(rest.substr(p, e - p));
        p = e + 1;
      }
    }
    return list;
  }

  void StartTls() {
    TTlsOptions o;
    o.RootFile = M.FRootFile;
    o.HostName = M.Host;
    o.VerifyServer = M.VerifyCertificate;
    o.ClientCert = Cert;
    Log.Line(L"Stat", _(L"TLS handshake"));
    Sock.SetDeadline(M.CommandTimeout);
    Sock.StartTls(o);
    Log.Line(L"Stat", _(L"TLS session established"));
  }

  // One mechanism; false when the server refused the credentials.
  bool Authenticate(const std::string& mech, TReply& last) {
    const std::string user = WideToUtf8(M.UserId), pass = WideToUtf8(M.Password);
    const std::wstring hidden = L"<" + _(L"password hidden") + L">";
    if (mech == "PLAIN") {
      std::string blob = Base64Encode(std::string(1, '\0') + user + '\0' + pass);
      last = Command("AUTH PLAIN " + blob, L"AUTH PLAIN " + hidden);
      if (last.Code == 334) last = Command(blob, hidden);
    } else if (mech == "LOGIN") {
      last = Command("AUTH LOGIN");
      if (last.Code == 334) last = Command(Base64Encode(user));
      if (last.Code == 334) last = Command(Base64Encode(pass), hidden);
    } else {
      last = Command("AUTH " + mech);
      if (last.Code == 334) {
        std::string challenge = Base64Decode(last.Lines.empty() ? std::string() : last.Lines.back());
        last = Command(Base64Encode(CramResponse(Utf8ToWide(mech), M.UserId, M.Password, challenge)));
      }
    }
    if (last.Code == 334) last = Command("*");  // an exchange the server would not end
    return last.Code == 235;
  }

  void Login() {
    const std::vector<std::string> offered = AuthMechanisms();
    TReply last;
    bool tried = false;
    for (std::wstring_view m : kSaslMechanisms) {
      std::string mech = WideToUtf8(m);
      if (std::find(offered.begin(), offered.end(), mech) == offered.end()) continue;
      tried = true;
      if (Authenticate(mech, last)) return;
      if (last.Code == 421) break;
    }
    if (!tried) throw Exception(_(L"Authentication Failed") + L": " + _(L"the server offers no known method."));
    throw ESmtpReply(_(L"Authentication Failed"), last);
  }

  void Run(const std::string& message) {
    const bool implicit = M.FSecure == TSecTransfer::stImplicit;
    if (M.Host.empty()) throw ESocketError(_(L"No SMTP server is given."));
    if (M.Port <= 0 || M.Port > 65535) throw ESocketError(SafeFormat(_(L"Invalid port: %d"), M.Port));
    Sock.SetReadTimeout(M.ReadTimeout);
    Sock.Connect(M.Host, static_cast<uint16_t>(M.Port), M.ConnectTimeout);
    Log.Line(L"Stat", SafeFormat(_(L"Connected to %s:%d."), M.Host, M.Port));
    if (M.OnConnected) M.OnConnected(M);
    if (implicit) StartTls();
    Sock.SetDeadline(M.CommandTimeout);
    TReply greeting = Read();
    if (greeting.Code != 220) throw ESmtpReply(greeting);
    Hello();
    if (M.FSecure == TSecTransfer::stExplicit || M.FSecure == TSecTransfer::stRequired) {
      if (Offers("STARTTLS")) {
        Expect("STARTTLS", {220});
        StartTls();
        Hello();
      } else if (M.FSecure == TSecTransfer::stRequired) {
        throw ENoStartTls(_(L"SSL is not available on this server."));
      }
    }
    if (!M.UserId.empty() && !M.Password.empty()) Login();
    Expect("MAIL FROM:<" + WideToUtf8(CleanAddress(SplitAddress(M.From).Address)) + ">" + Utf8Parameter(), {250});
    for (const auto* list : {&M.Recipients, &M.CCList, &M.BCCList}) {
      for (const TMailAddress& a : *list) {
        TReply r = Command("RCPT TO:<" + WideToUtf8(CleanAddress(a.Address)) + ">");
        if (r.Code == 250 || r.Code == 251) continue;
        std::wstring who = a.Address;
        if (who.empty()) who = ServerText(r.Text(), kMaxErrorText);
        M.AddError(TSendErrorType::seFailedRecipient, who);
        if (!M.ContinueOnFailedRecipient) throw ESmtpReply(r);
      }
    }
    Expect("DATA", {354});
    const std::string data = DotStuffed(message);
    Log.Line(L"Sent", SafeFormat(_(L"<message of %d bytes>"), static_cast<long long>(message.size())));
    if (M.OnBeginSend) M.OnBeginSend(M, TWorkMode::wmWrite, static_cast<int64_t>(data.size()));
    Sock.ClearDeadline();  // the message takes as long as its size needs; each write has its time-out
    constexpr size_t kChunk = 32 * 1024;
    for (size_t done = 0; done < data.size();) {
      const size_t n = std::min(kChunk, data.size() - done);
      Sock.Write(std::string_view(data).substr(done, n));
      done += n;
      if (M.OnSending)
        M.OnSending(M, TWorkMode::wmWrite, static_cast<int64_t>(done));
      else
        Application().ProcessMessages();
    }
    if (M.OnEndSend) M.OnEndSend(M, TWorkMode::wmWrite);
    Sock.SetDeadline(M.CommandTimeout);
    TReply accepted = Read();
    if (accepted.Code != 250) throw ESmtpReply(accepted);
  }

  void Quit() noexcept {
    if (!Sock.Connected()) return;
    try {
      Command("QUIT");
    } catch (...) {
    }
  }

  // " SMTPUTF8" when an address needs it; an address outside ASCII is refused before MAIL FROM
  // when the server does not offer it.
  std::string Utf8Parameter() const {
    for (const std::wstring& a : M.EnvelopeAddresses()) {
      if (IsAsciiAddress(a)) continue;
      if (!Offers("SMTPUTF8"))
        throw Exception(
            SafeFormat(_(L"The server accepts no mail address with characters outside ASCII (it offers no SMTPUTF8): %s"), a));
      return " SMTPUTF8";
    }
    return {};
  }

  TmMailer& M;
  TSessionLog& Log;
  const TClientCertificate* Cert;
  TSocketStream Sock;
  std::vector<std::string> Capabilities;
};

TmMailer::TmMailer() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(static_cast<DWORD>(std::size(temp)), temp);
  Logname = std::wstring(temp, n) + L"SmtpLog.txt";
}

TmMailer::TmMailer(std::wstring_view path, std::wstring_view root, std::wstring_view cert, std::wstring_view key,
                   std::wstring_view keyPassword)
    : TmMailer() {
  FCertPwd = keyPassword;
  if (root.empty() || cert.empty() || key.empty()) return;
  FRootFile = std::wstring(path) + std::wstring(root);
  FCertFile = std::wstring(path) + std::wstring(cert);
  FKeyFile = std::wstring(path) + std::wstring(key);
  for (const std::wstring* f : {&FRootFile, &FCertFile, &FKeyFile}) {
    DWORD attr = GetFileAttributesW(f->c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) FTlsMissing.push_back(*f);
  }
  FTlsAvail = FTlsMissing.empty();
}

TmMailer::~TmMailer() = default;

void TmMailer::AddExtraHeader(std::wstring_view name, std::wstring_view value) {
  for (auto& [n, v] : FExtraHeaders)
    if (AnsiLowerCase(n) == AnsiLowerCase(name)) {
      v = value;
      return;
    }
  FExtraHeaders.emplace_back(name, value);
}

void TmMailer::AddError(TSendErrorType type, std::wstring message) { FErrors.push_back({type, std::move(message)}); }

std::vector<std::wstring> TmMailer::EnvelopeAddresses() const {
  std::vector<std::wstring> r{SplitAddress(From).Address};
  for (const auto* list : {&Recipients, &CCList, &BCCList})
    for (const TMailAddress& a : *list) r.push_back(a.Address);
  return r;
}

std::string TmMailer::BuildMessage() {
  TMimeMessageData m;
  m.From = From;
  m.AnsiCharset = AnsiCharset();
  m.To = Recipients;
  m.Cc = CCList;
  m.Subject = Subject;
  m.Date = MailDate();
  const std::string seed = RandomHex(12);
  m.BoundarySeed = seed;
  m.MessageId = "<" + seed + "." + RandomHex(4) + "@" + WideToUtf8(HeloName.empty() ? L"localhost" : CleanAddress(HeloName)) + ">";
  m.Priority = Priority;
  m.ExtraHeaders = FExtraHeaders;
  m.ContentType = ContentType;
  m.Body = Body;
  m.HtmlBody = HTMLBody;
  for (const std::wstring& entry : Attachments.AttachedFiles) {
    size_t bar = entry.find(L'|');
    std::wstring file = entry.substr(0, bar), given = bar == std::wstring::npos ? std::wstring() : entry.substr(bar + 1);
    std::wstring ext = GetExtension(file);
    if (!ext.empty()) ext = L"." + ext;
    std::wstring extType = MimeTypeOfExtension(ext);
    if (extType.empty() && !ext.empty()) extType = RegistryContentType(ext);
    TMimeAttachment a;
    a.FileName = file.substr(file.find_last_of(L"\\/:") == std::wstring::npos ? 0 : file.find_last_of(L"\\/:") + 1);
    a.ContentType = ResolveAttachmentType(given, extType);
    a.Data = ReadAttachment(file);
    m.Attachments.push_back(std::move(a));
  }
  return BuildMimeMessage(m);
}

bool TmMailer::SaveToFile(std::wstring_view fileName) {
  try {
    const std::string data = BuildMessage();
    TExtFileStream f(fileName, fmCreate);
    int64_t written = 0;
    if (f.Write(data.data(), static_cast<uint32_t>(data.size()), written) != 0 ||
        written != static_cast<int64_t>(data.size()))
      return false;
    return f.Close() == 0;
  } catch (...) {
    return false;
  }
}

bool TmMailer::Send() {
  FErrors.clear();
  TSessionLog log(WriteLogFile ? Logname : std::wstring());
  if (FSecure != TSecTransfer::stNone && !FTlsAvail) {
    const std::wstring text = _(L"Error creating SSL session.");
    AddError(TSendErrorType::seNoSecure, text);
    if (log.Active()) {
      log.Error(text);
      for (const std::wstring& f : FTlsMissing) log.Error(SafeFormat(_(L"File not found: %s"), f));
    }
    return false;
  }
  for (const std::wstring& a : EnvelopeAddresses()) {
    if (!HasUnmatchedQuote(a)) continue;
    const std::wstring text = SafeFormat(_(L"Unmatched quote in the mail address: %s"), a);
    AddError(TSendErrorType::seUnknown, text);
    log.Error(text);
    return false;
  }
  std::string message;
  try {
    message = BuildMessage();
  } catch (const Exception& e) {
    AddError(TSendErrorType::seUnknown, e.Message());
    log.Error(e.Message());
    return false;
  } catch (...) {
    AddError(TSendErrorType::seUnknown,
             _(L"Unknown or other error: Can not determine owner, other error, or the error can not be revealed."));
    return false;
  }
  std::unique_ptr<TClientCertificate> cert;
  if (FSecure != TSecTransfer::stNone) {
    try {
      std::wstring pwd = FCertPwd;
      if (OnSSLPassword) OnSSLPassword(pwd);
      cert = std::make_unique<TClientCertificate>(FCertFile, FKeyFile, pwd);
    } catch (const Exception& e) {
      AddError(TSendErrorType::seNoSecure, e.Message());
      log.Error(e.Message());
      return false;
    }
  }
  TSession session(*this, log, cert.get());
  bool polite = true;  // the server still answers: say goodbye
  try {
    session.Run(message);
  } catch (const ENoStartTls& e) {
    AddError(TSendErrorType::seNoSecure, e.Message());
  } catch (const ETlsError& e) {
    AddError(TSendErrorType::seNoSecure, e.Message());
    polite = false;
  } catch (const ESmtpReply& e) {
    AddError(TSendErrorType::seSmtp, e.Message());
  } catch (const ESocketError& e) {
    AddError(TSendErrorType::seSmtp, e.Message());
    polite = false;
  } catch (const Exception& e) {
    AddError(TSendErrorType::seSmtp, e.Message());
  } catch (...) {
    AddError(TSendErrorType::seUnknown,
             _(L"Unknown or other error: Can not determine owner, other error, or the error can not be revealed."));
  }
  for (const TSendError& e : FErrors) log.Error(e.ErrType == TSendErrorType::seFailedRecipient
                                                    ? SafeFormat(_(L"Recipient refused: %s"), e.ErrMsg)
                                                    : e.ErrMsg);
  if (session.Sock.Connected()) {
    if (polite) session.Quit();
    session.Sock.Close();
    log.Line(L"Stat", _(L"Disconnected."));
    if (OnDisconnected) OnDisconnected(*this);
  }
  return FErrors.empty();
}

}  // namespace hv
