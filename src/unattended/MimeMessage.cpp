#include "unattended/MimeMessage.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/text/StringUtils.h"

namespace hv {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kFoldWidth = 76;   // header lines are folded to this where blanks allow
constexpr size_t kLineLimit = 998;  // no line of a message grows past this
constexpr size_t kWordLimit = 75;   // RFC 2047 word

bool IsAscii(std::wstring_view s) {
  return std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= 0x20 && c < 0x7F; });
}

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// Header text without control characters: nothing in it can end a header line.
std::wstring NoControl(std::wstring_view s) {
  std::wstring r(s);
  std::erase_if(r, IsControl);
  return r;
}

std::string NoControl(std::string_view s) {
  std::string r(s);
  std::erase_if(r, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
  return r;
}

bool AsciiBytes(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool ValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 && c >= 0xC2 ? 2 : (c & 0xF0) == 0xE0 ? 3
                     : (c & 0xF8) == 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// The UTF-8 of each character (a surrogate pair is one).
std::vector<std::string> Utf8Characters(std::wstring_view text) {
  std::vector<std::string> r;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t n = (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size()) ? 2 : 1;
    r.push_back(WideToUtf8(text.substr(i, n)));
    i += n - 1;
  }
  return r;
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

// RFC 2047 words (UTF-8, base64) of at most 75 characters separated by blanks; no character is
// split; the first word leaves room for firstLineUsed characters when it can.
std::string EncodedWords(std::wstring_view text, size_t firstLineUsed) {
  std::string r, word;
  size_t room = firstLineUsed + 20 <= kFoldWidth ? kFoldWidth - firstLineUsed : kWordLimit;
  auto flush = [&] {
    if (word.empty()) return;
    if (!r.empty()) r += ' ';
    r += "=?UTF-8?B?" + Base64Encode(word) + "?=";
    word.clear();
    room = kWordLimit;
  };
  for (const std::string& ch : Utf8Characters(text)) {
    if (12 + (word.size() + ch.size() + 2) / 3 * 4 > std::min(room, kWordLimit)) flush();
    word += ch;
  }
  flush();
  return r;
}

// A display name: plain ASCII atoms as they stand, ASCII with specials quoted, else encoded.
std::string EncodeDisplayName(std::wstring_view text) {
  const std::wstring name = NoControl(text);
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
  if (NoControl(a.Name).empty()) return addr;
  return EncodeDisplayName(a.Name) + " <" + addr + ">";
}

std::string AddressListHeader(const std::vector<TMailAddress>& list) {
  std::string r;
  for (const TMailAddress& a : list) {
    if (!r.empty()) r += ", ";
    r += AddressHeader(SplitAddress(a));
  }
  return r;
}

bool IsAddressHeader(std::wstring_view name) {
  const std::wstring n = AnsiLowerCase(name);
  return n == L"from" || n == L"sender" || n == L"reply-to" || n == L"to" || n == L"cc" || n == L"bcc";
}

// "Name: text" of an unstructured header; encoded words where folding cannot keep the lines
// within the limit.
std::string TextHeader(std::string_view name, std::wstring_view text) {
  const std::string head = std::string(name) + ": ";
  const std::string field = FoldHeader(head + EncodeHeaderText(text, head.size()));
  for (size_t p = 0; p < field.size();) {
    const size_t e = field.find("\r\n", p);
    if (e - p > kLineLimit) return FoldHeader(head + EncodedWords(NoControl(text), head.size()));
    p = e + 2;
  }
  return field;
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

// A parameter "; name=value": quoted when ASCII, else the RFC 2231 form name*=utf-8''...; a long
// value in numbered sections (name*0, name*1 ...), none splitting a character.
std::string Parameter(std::string_view name, std::wstring_view text) {
  constexpr size_t kSection = 50;
  const std::wstring value = NoControl(text);
  std::vector<std::string> sections(1);
  const bool quoted = IsAscii(value) && value.find_first_of(L"\"\\") == std::wstring::npos;
  for (const std::string& ch : Utf8Characters(value)) {
    std::string piece;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : ch) {
      if (quoted || std::isalnum(c) || c == '.' || c == '-' || c == '_') {
        piece += static_cast<char>(c);
      } else {
        piece += '%';
        piece += kHex[c >> 4];
        piece += kHex[c & 15];
      }
    }
    if (sections.back().size() + piece.size() > kSection) sections.emplace_back();
    sections.back() += piece;
  }
  const std::string n(name);
  auto one = [&](const std::string& key, const std::string& v, bool first) {
    if (quoted) return "; " + key + "=\"" + v + "\"";
    return "; " + key + "*=" + (first ? "utf-8''" : "") + v;
  };
  if (sections.size() == 1) return one(n, sections[0], true);
  std::string r;
  for (size_t i = 0; i < sections.size(); ++i) r += one(n + "*" + std::to_string(i), sections[i], i == 0);
  return r;
}

struct TPart {
  std::string Headers;  // each line ended by CR LF
  std::string Body;     // ended by CR LF unless empty
};

// 8bit, or base64 where a line is too long for 8bit.
TPart TextPart(const char* type, const char* charset, const std::vector<std::wstring>& lines, bool utf8) {
  const std::string text = TextLines(lines, utf8);
  const bool eightBit = FitsEightBit(text);
  return {std::string("Content-Type: ") + type + "; charset=" + charset + "\r\nContent-Transfer-Encoding: " +
              (eightBit ? "8bit" : "base64") + "\r\n",
          eightBit ? text : Base64Encode(text, 76)};
}

std::string Multipart(const std::string& boundary, const std::vector<TPart>& parts) {
  std::string r = "This is a multi-part message in MIME format.\r\n";
  for (const TPart& p : parts) r += "\r\n--" + boundary + "\r\n" + p.Headers + "\r\n" + p.Body;
  r += "\r\n--" + boundary + "--\r\n";
  return r;
}

// A "text/plain" type without a charset gets the one of its data: none for ASCII, "utf-8",
// "utf-16" after its byte-order mark, else the given one of single-byte text.
std::string WithCharset(const std::string& type, std::string_view data, std::string_view ansiCharset) {
  std::string lower = type;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (!IsEightBitType(type) || lower.find("charset") != std::string::npos || AsciiBytes(data)) return type;
  std::string_view charset = ansiCharset;
  if (data.starts_with("\xFF\xFE") || data.starts_with("\xFE\xFF"))
    charset = "utf-16";
  else if (ValidUtf8(data))
    charset = "utf-8";
  return charset.empty() ? type : type + "; charset=" + std::string(charset);
}

// Text goes out 8bit where that keeps every byte, else base64 (NUL, lone CR or LF, long lines).
TPart AttachmentPart(const TMimeAttachment& a, std::string_view ansiCharset) {
  const std::string type = WithCharset(NoControl(a.ContentType), a.Data, ansiCharset);
  const bool eightBit = IsEightBitType(type) && FitsEightBit(a.Data);
  TPart p;
  p.Headers = FoldHeader("Content-Type: " + type + Parameter("name", a.FileName)) +
              "Content-Transfer-Encoding: " + (eightBit ? "8bit" : "base64") + "\r\n" +
              FoldHeader("Content-Disposition: attachment" + Parameter("filename", a.FileName));
  if (eightBit) {
    p.Body = a.Data;
  } else {
    p.Body = Base64Encode(a.Data, 76);
    if (!p.Body.empty()) p.Body.erase(p.Body.size() - 2);  // the delimiter brings its own CR LF
  }
  return p;
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
  auto add = [&](std::wstring_view item, bool whole) {
    size_t b = item.find_first_not_of(L" \t"), e = item.find_last_not_of(L" \t");
    if (b == std::wstring_view::npos) return;
    TMailAddress a{{}, std::wstring(item.substr(b, e - b + 1))};
    if (!whole) a = SplitAddress(a);
    if (!a.Address.empty()) list.push_back(std::move(a));
  };
  size_t start = 0, open = std::wstring_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'"') open = open == std::wstring_view::npos ? i : std::wstring_view::npos;
    if (text[i] != L',' || open != std::wstring_view::npos) continue;
    add(text.substr(start, i - start), false);
    start = i + 1;
  }
  if (open == std::wstring_view::npos) {
    add(text.substr(start), false);
    return list;
  }
  // A quote is never closed: the rest is split at every comma, and an item with an odd number
  // of quotes stays whole.
  for (size_t i = start, from = start; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != L',') continue;
    const std::wstring_view item = text.substr(from, i - from);
    add(item, std::count(item.begin(), item.end(), L'"') % 2 != 0);
    from = i + 1;
  }
  return list;
}

TMailAddress SplitAddress(const TMailAddress& a) {
  const std::wstring& s = a.Address;
  size_t lt = s.rfind(L'<'), gt = s.rfind(L'>');
  if (lt == std::wstring::npos || gt == std::wstring::npos || gt < lt) return a;
  TMailAddress r{a.Name, s.substr(lt + 1, gt - lt - 1)};
  if (!r.Name.empty()) return r;
  std::wstring name = s.substr(0, lt);
  size_t nb = name.find_first_not_of(L" \t"), ne = name.find_last_not_of(L" \t");
  name = nb == std::wstring::npos ? std::wstring() : name.substr(nb, ne - nb + 1);
  if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"') name = name.substr(1, name.size() - 2);
  r.Name = name;
  return r;
}

bool HasUnmatchedQuote(std::wstring_view address) { return std::count(address.begin(), address.end(), L'"') % 2 != 0; }

bool IsAsciiAddress(std::wstring_view address) {
  return std::all_of(address.begin(), address.end(), [](wchar_t c) { return c < 0x80; });
}

std::wstring CleanAddress(std::wstring_view address) {
  std::wstring r;
  for (wchar_t c : address)
    if (!IsControl(c) && c != L'<' && c != L'>') r += c;
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

std::string EncodeHeaderText(std::wstring_view text, size_t firstLineUsed) {
  const std::wstring clean = NoControl(text);
  return IsAscii(clean) ? Ascii(clean) : EncodedWords(clean, firstLineUsed);
}

std::string FoldHeader(std::string_view field) {
  // Pieces of blanks and the text up to the next blank; a line breaks only before a piece.
  std::string r;
  size_t lineStart = 0;
  for (size_t p = 0; p < field.size();) {
    const size_t text = field.find_first_not_of(" \t", p);
    size_t e = text == std::string_view::npos ? field.size() : field.find_first_of(" \t", text);
    if (e == std::string_view::npos) e = field.size();
    if (text != p && text != std::string_view::npos && r.size() > lineStart &&
        r.size() - lineStart + (e - p) > kFoldWidth) {
      r += "\r\n";
      lineStart = r.size();
    }
    r.append(field.substr(p, e - p));
    p = e;
  }
  return r + "\r\n";
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

std::string ResolveAttachmentType(std::wstring_view givenText, std::wstring_view extTypeText) {
  const std::wstring given = NoControl(givenText), extType = NoControl(extTypeText);
  if (given.empty()) return extType.empty() ? std::string("application/octet-stream") : Ascii(extType);
  if (given.find(L'/') != std::wstring::npos) return Ascii(given);
  return "application/" + Ascii(given);
}

bool IsEightBitType(std::string_view contentType) {
  std::string lower(contentType.substr(0, 10));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "text/plain";
}

bool FitsEightBit(std::string_view data) {
  size_t lineStart = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    const char c = data[i];
    if (c == '\0') return false;
    if (c == '\r' && (i + 1 >= data.size() || data[i + 1] != '\n')) return false;
    if (c == '\n') {
      if (i == 0 || data[i - 1] != '\r') return false;
      if (i - 1 - lineStart > kLineLimit) return false;
      lineStart = i + 1;
    }
  }
  return data.size() - lineStart <= kLineLimit;
}

std::string BuildMimeMessage(const TMimeMessageData& m) {
  std::string h;
  h += FoldHeader("From: " + AddressHeader(SplitAddress(m.From)));
  if (!m.To.empty()) h += FoldHeader("To: " + AddressListHeader(m.To));
  if (!m.Cc.empty()) h += FoldHeader("Cc: " + AddressListHeader(m.Cc));
  h += TextHeader("Subject", m.Subject);
  if (!m.Date.empty()) h += FoldHeader("Date: " + NoControl(m.Date));
  if (!m.MessageId.empty()) h += FoldHeader("Message-ID: " + NoControl(m.MessageId));
  if (const char* p = PriorityHeader(m.Priority)) h += std::string("X-Priority: ") + p + "\r\n";
  for (const auto& [name, value] : m.ExtraHeaders) {
    std::string field;
    for (char c : Trimmed(name))
      if (c > 32 && c < 127 && c != ':') field += c;
    if (field.empty()) continue;
    const std::vector<TMailAddress> list = IsAddressHeader(name) ? ParseAddressList(value) : std::vector<TMailAddress>{};
    h += list.empty() ? TextHeader(field, value) : FoldHeader(field + ": " + AddressListHeader(list));
  }
  h += "MIME-Version: 1.0\r\n";

  const bool utf8 = m.ContentType == TContentType::ctUtf8;
  TPart text;
  if (utf8) {
    text = TextPart("text/plain", "utf-8", m.Body, true);
  } else if (m.ContentType == TContentType::ctHtml && !m.HtmlBody.empty()) {
    const std::string boundary = "=_alt_" + NoControl(m.BoundarySeed);
    text.Headers = FoldHeader("Content-Type: multipart/alternative; boundary=\"" + boundary + "\"");
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
  for (const TMimeAttachment& a : m.Attachments) parts.push_back(AttachmentPart(a, m.AnsiCharset));
  const std::string boundary = "=_mixed_" + NoControl(m.BoundarySeed);
  return h + FoldHeader("Content-Type: multipart/mixed; boundary=\"" + boundary + "\"") + "\r\n" +
         Multipart(boundary, parts);
}

}  // namespace hv
