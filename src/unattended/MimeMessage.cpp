#include "unattended/MimeMessage.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/text/StringUtils.h"

namespace hv {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsAscii(std::wstring_view s) {
  return std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= 0x20 && c < 0x7F; });
}

std::string Ascii(std::wstring_view s) {
  std::string r;
  r.reserve(s.size());
  for (wchar_t c : s) r.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return r;
}

// ISO-8859-1; characters outside it become "?".
std::string Latin1(std::wstring_view s) {
  std::string r;
  r.reserve(s.size());
  for (wchar_t c : s) r.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return r;
}

std::string Trimmed(std::wstring_view s) {
  size_t b = s.find_first_not_of(L" \t"), e = s.find_last_not_of(L" \t");
  return b == std::wstring_view::npos ? std::string() : WideToUtf8(s.substr(b, e - b + 1));
}

// A display name: plain ASCII atoms as they stand, ASCII with specials quoted, else encoded.
std::string EncodeDisplayName(std::wstring_view name) {
  if (!IsAscii(name)) return EncodeHeaderText(name);
  static constexpr std::wstring_view kSpecials = L"()<>[]:;@\\,.\"";
  if (name.find_first_of(kSpecials) == std::wstring_view::npos) return Ascii(name);
  std::string q = "\"";
  for (wchar_t c : name) {
    if (c == L'"' || c == L'\\') q.push_back('\\');
    q.push_back(static_cast<char>(c));
  }
  return q + "\"";
}

std::string AddressHeader(const TMailAddress& a) {
  std::string addr = WideToUtf8(CleanAddress(a.Address));
  if (a.Name.empty()) return addr;
  return EncodeDisplayName(a.Name) + " <" + addr + ">";
}

std::string AddressListHeader(const std::vector<TMailAddress>& list) {
  std::string r;
  for (const TMailAddress& a : list) {
    if (!r.empty()) r += ",\r\n ";
    r += AddressHeader(a);
  }
  return r;
}

// Lines joined with CR LF, every line ended by one; bare LF inside a line becomes CR LF.
std::string NormaliseLineEnds(std::string_view data) {
  std::string r;
  r.reserve(data.size() + data.size() / 32);
  for (size_t i = 0; i < data.size(); ++i) {
    const char c = data[i];
    if (c == '\r') {
      r += "\r\n";
      if (i + 1 < data.size() && data[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      r += "\r\n";
    } else {
      r += c;
    }
  }
  return r;
}

// Lines joined with CR LF, every line ended by one; a lone CR or LF inside a line becomes CR LF.
std::string TextLines(const std::vector<std::wstring>& lines, bool utf8) {
  std::string r;
  for (const std::wstring& l : lines) r += (utf8 ? WideToUtf8(l) : Latin1(l)) + "\r\n";
  return NormaliseLineEnds(r);
}

// A parameter value: quoted when ASCII, else the RFC 2231 form name*=utf-8''...
std::string Parameter(std::string_view name, std::wstring_view value) {
  if (IsAscii(value) && value.find_first_of(L"\"\\") == std::wstring_view::npos)
    return std::string(name) + "=\"" + Ascii(value) + "\"";
  std::string r = std::string(name) + "*=utf-8''";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : WideToUtf8(value)) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
      r += static_cast<char>(c);
    } else {
      r += '%';
      r += kHex[c >> 4];
      r += kHex[c & 15];
    }
  }
  return r;
}

struct TPart {
  std::string Headers;  // each line ended by CR LF
  std::string Body;     // ended by CR LF unless empty
};

TPart TextPart(const char* type, const char* charset, const std::vector<std::wstring>& lines, bool utf8) {
  return {std::string("Content-Type: ") + type + "; charset=" + charset + "\r\nContent-Transfer-Encoding: 8bit\r\n",
          TextLines(lines, utf8)};
}

std::string Multipart(const std::string& boundary, const std::vector<TPart>& parts) {
  std::string r = "This is a multi-part message in MIME format.\r\n";
  for (const TPart& p : parts) r += "\r\n--" + boundary + "\r\n" + p.Headers + "\r\n" + p.Body;
  r += "\r\n--" + boundary + "--\r\n";
  return r;
}

const char* PriorityHeader(TMessagePriority p) {
  switch (p) {
    case TMessagePriority::mpHighest: return "1 (Highest)";
    case TMessagePriority::mpHigh: return "2 (High)";
    case TMessagePriority::mpLow: return "4 (Low)";
    case TMessagePriority::mpLowest: return "5 (Lowest)";
    case TMessagePriority::mpNormal: break;
  }
  return nullptr;
}

}  // namespace

std::vector<TMailAddress> ParseAddressList(std::wstring_view text) {
  std::vector<TMailAddress> list;
  std::wstring item;
  bool quoted = false;
  auto flush = [&] {
    std::wstring s = item;
    item.clear();
    size_t b = s.find_first_not_of(L" \t"), e = s.find_last_not_of(L" \t");
    if (b == std::wstring::npos) return;
    s = s.substr(b, e - b + 1);
    TMailAddress a;
    size_t lt = s.rfind(L'<'), gt = s.rfind(L'>');
    if (lt != std::wstring::npos && gt != std::wstring::npos && gt > lt) {
      a.Address = s.substr(lt + 1, gt - lt - 1);
      std::wstring name = s.substr(0, lt);
      size_t nb = name.find_first_not_of(L" \t"), ne = name.find_last_not_of(L" \t");
      name = nb == std::wstring::npos ? std::wstring() : name.substr(nb, ne - nb + 1);
      if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"') name = name.substr(1, name.size() - 2);
      a.Name = name;
    } else {
      a.Address = s;
    }
    if (!a.Address.empty()) list.push_back(std::move(a));
  };
  for (wchar_t c : text) {
    if (c == L'"') quoted = !quoted;
    if (c == L',' && !quoted)
      flush();
    else
      item += c;
  }
  flush();
  return list;
}

std::wstring CleanAddress(std::wstring_view address) {
  std::wstring r;
  for (wchar_t c : address)
    if (c >= 32 && c != L'<' && c != L'>' && c != 0x7F) r += c;
  return r;
}

std::wstring AddressesText(const std::vector<TMailAddress>& list) {
  std::wstring r;
  for (const TMailAddress& a : list) {
    if (!r.empty()) r += L", ";
    r += a.Address;
  }
  return r;
}

std::string Base64Encode(std::string_view data, size_t lineLength) {
  std::string r;
  r.reserve((data.size() + 2) / 3 * 4 + (lineLength ? data.size() / lineLength * 2 + 2 : 0));
  size_t col = 0;
  for (size_t i = 0; i < data.size(); i += 3) {
    uint32_t v = static_cast<uint8_t>(data[i]) << 16;
    if (i + 1 < data.size()) v |= static_cast<uint8_t>(data[i + 1]) << 8;
    if (i + 2 < data.size()) v |= static_cast<uint8_t>(data[i + 2]);
    char q[4] = {kBase64[(v >> 18) & 63], kBase64[(v >> 12) & 63], i + 1 < data.size() ? kBase64[(v >> 6) & 63] : '=',
                 i + 2 < data.size() ? kBase64[v & 63] : '='};
    r.append(q, 4);
    col += 4;
    if (lineLength && col >= lineLength) {
      r += "\r\n";
      col = 0;
    }
  }
  if (lineLength && col > 0) r += "\r\n";
  return r;
}

std::string Base64Decode(std::string_view text) {
  std::string r;
  uint32_t v = 0;
  int bits = 0;
  for (char c : text) {
    const char* p = c ? std::strchr(kBase64, c) : nullptr;
    if (!p) continue;
    v = (v << 6) | static_cast<uint32_t>(p - kBase64);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      r.push_back(static_cast<char>((v >> bits) & 0xFF));
    }
  }
  return r;
}

std::string EncodeHeaderText(std::wstring_view text) {
  if (IsAscii(text)) return Ascii(text);
  // Words of at most 45 bytes of UTF-8 (60 base64 characters), never splitting a character.
  std::string r;
  std::string word;
  auto flush = [&] {
    if (word.empty()) return;
    if (!r.empty()) r += "\r\n ";
    r += "=?UTF-8?B?" + Base64Encode(word) + "?=";
    word.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    size_t n = (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size()) ? 2 : 1;
    std::string ch = WideToUtf8(text.substr(i, n));
    i += n - 1;
    if (word.size() + ch.size() > 45) flush();
    word += ch;
  }
  flush();
  return r;
}

std::wstring MimeTypeOfExtension(std::wstring_view ext) {
  static const std::pair<const wchar_t*, const wchar_t*> kTypes[] = {
      {L".txt", L"text/plain"},        {L".log", L"text/plain"},       {L".htm", L"text/html"},
      {L".html", L"text/html"},        {L".csv", L"text/csv"},         {L".xml", L"text/xml"},
      {L".ini", L"text/plain"},        {L".pdf", L"application/pdf"},  {L".zip", L"application/zip"},
      {L".gz", L"application/gzip"},   {L".7z", L"application/x-7z-compressed"},
      {L".json", L"application/json"}, {L".rtf", L"application/rtf"},  {L".png", L"image/png"},
      {L".jpg", L"image/jpeg"},        {L".jpeg", L"image/jpeg"},      {L".gif", L"image/gif"},
      {L".bmp", L"image/bmp"},         {L".ico", L"image/x-icon"},     {L".doc", L"application/msword"},
      {L".xls", L"application/vnd.ms-excel"},
      {L".docx", L"application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
      {L".xlsx", L"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
      {L".exe", L"application/octet-stream"}, {L".bin", L"application/octet-stream"},
  };
  std::wstring e = AnsiLowerCase(ext);
  for (const auto& [x, t] : kTypes)
    if (e == x) return t;
  return {};
}

std::string ResolveAttachmentType(std::wstring_view given, std::wstring_view extType) {
  if (given.empty()) return extType.empty() ? std::string("application/octet-stream") : Ascii(extType);
  if (given.find(L'/') != std::wstring_view::npos) return Ascii(given);
  return "application/" + Ascii(given);
}

bool IsEightBitType(std::string_view contentType) {
  std::string lower(contentType.substr(0, 10));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "text/plain";
}

std::string BuildMimeMessage(const TMimeMessageData& m) {
  std::string h;
  h += "From: " + AddressHeader(m.From) + "\r\n";
  if (!m.To.empty()) h += "To: " + AddressListHeader(m.To) + "\r\n";
  if (!m.Cc.empty()) h += "Cc: " + AddressListHeader(m.Cc) + "\r\n";
  h += "Subject: " + EncodeHeaderText(m.Subject) + "\r\n";
  if (!m.Date.empty()) h += "Date: " + m.Date + "\r\n";
  if (!m.MessageId.empty()) h += "Message-ID: " + m.MessageId + "\r\n";
  if (const char* p = PriorityHeader(m.Priority)) h += std::string("X-Priority: ") + p + "\r\n";
  for (const auto& [name, value] : m.ExtraHeaders) {
    std::string field;
    for (char c : Trimmed(name))
      if (c > 32 && c < 127 && c != ':') field += c;
    if (!field.empty()) h += field + ": " + EncodeHeaderText(value) + "\r\n";
  }
  h += "MIME-Version: 1.0\r\n";

  const bool utf8 = m.ContentType == TContentType::ctUtf8;
  TPart text;
  if (utf8) {
    text = TextPart("text/plain", "utf-8", m.Body, true);
  } else if (m.ContentType == TContentType::ctHtml && !m.HtmlBody.empty()) {
    const std::string boundary = "=_alt_" + m.BoundarySeed;
    text.Headers = "Content-Type: multipart/alternative;\r\n boundary=\"" + boundary + "\"\r\n";
    text.Body = Multipart(boundary,
                          {TextPart("text/plain", "iso-8859-1", m.Body, false),
                           TextPart("text/html", "iso-8859-1", m.HtmlBody, false)});
  } else if (m.ContentType == TContentType::ctHtml) {
    text = TextPart("text/html", "iso-8859-1", m.HtmlBody, false);
  } else {
    text = TextPart("text/plain", "iso-8859-1", m.Body, false);
  }
  if (m.Attachments.empty()) return h + text.Headers + "\r\n" + text.Body;

  std::vector<TPart> parts{text};
  for (const TMimeAttachment& a : m.Attachments) {
    TPart p;
    const bool eightBit = IsEightBitType(a.ContentType);
    p.Headers = "Content-Type: " + a.ContentType + ";\r\n " + Parameter("name", a.FileName) + "\r\n" +
                "Content-Transfer-Encoding: " + (eightBit ? "8bit" : "base64") + "\r\n" +
                "Content-Disposition: attachment;\r\n " + Parameter("filename", a.FileName) + "\r\n";
    if (eightBit) {
      p.Body = NormaliseLineEnds(a.Data);
    } else {
      p.Body = Base64Encode(a.Data, 76);
      if (!p.Body.empty()) p.Body.erase(p.Body.size() - 2);  // the delimiter brings its own CR LF
    }
    parts.push_back(std::move(p));
  }
  const std::string boundary = "=_mixed_" + m.BoundarySeed;
  return h + "Content-Type: multipart/mixed;\r\n boundary=\"" + boundary + "\"\r\n\r\n" + Multipart(boundary, parts);
}

}  // namespace hv
