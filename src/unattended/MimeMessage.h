#pragma once
// A mail message as MIME text: headers with encoded words, a text or HTML body, file attachments.
// Pure computation; the mailer reads the files and sends the result.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hv {

enum class TContentType : uint8_t { ctAscii, ctHtml, ctUtf8 };
enum class TMessagePriority : uint8_t { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };

struct TMailAddress {
  std::wstring Name;
  std::wstring Address;
  bool operator==(const TMailAddress&) const = default;
};
// "Name <a@b>", "<a@b>" or "a@b" items separated by "," (commas inside quotes do not separate).
// After a quote that is never closed every comma separates again, and the item with that quote
// is kept whole as its address (HasUnmatchedQuote finds it).
std::vector<TMailAddress> ParseAddressList(std::wstring_view commaText);
// An address given as "Name <a@b>" split into name and address; a name given beside it wins.
TMailAddress SplitAddress(const TMailAddress& a);
bool HasUnmatchedQuote(std::wstring_view address);
// An address with characters outside ASCII can only go to a server that offers SMTPUTF8.
bool IsAsciiAddress(std::wstring_view address);
// The address without control characters and angle brackets (nothing can end a header or an
// SMTP command early).
std::wstring CleanAddress(std::wstring_view address);
// The addresses only, joined by ", ".
std::wstring AddressesText(const std::vector<TMailAddress>& list);

struct TMimeAttachment {
  std::wstring FileName;    // the name the receiver sees (no folder)
  std::string ContentType;  // "type/subtype"
  std::string Data;
};

struct TMimeMessageData {
  TMailAddress From;
  std::vector<TMailAddress> To, Cc;  // blind copies never go into the headers
  std::wstring Subject;
  std::string Date;       // RFC 5322 date-time
  std::string MessageId;  // "<...>", none when empty
  TMessagePriority Priority = TMessagePriority::mpNormal;
  std::vector<std::pair<std::wstring, std::wstring>> ExtraHeaders;
  TContentType ContentType = TContentType::ctAscii;
  std::vector<std::wstring> Body, HtmlBody;
  std::vector<TMimeAttachment> Attachments;
  std::string BoundarySeed;  // makes the multipart boundaries unique
  std::string AnsiCharset;   // charset of text attachments that are neither ASCII nor UTF-8
};

// The message with CR LF line ends (not yet dot-stuffed for SMTP).
std::string BuildMimeMessage(const TMimeMessageData& m);

// The attachment type: without a given type the one of the extension (extType; empty:
// "application/octet-stream"); a given type with "/" as it stands; any other with "application/".
std::string ResolveAttachmentType(std::wstring_view given, std::wstring_view extType);
// Built-in types of common extensions (".pdf" ...); empty when unknown.
std::wstring MimeTypeOfExtension(std::wstring_view ext);
// True when the attachment may go out as 8bit text ("text/plain..."): it does when its data
// fits (FitsEightBit), else as base64.
bool IsEightBitType(std::string_view contentType);
// True when 8bit carries the data unchanged: no NUL, only CR LF line ends, lines of at most 998
// octets.
bool FitsEightBit(std::string_view data);

// An unstructured header value without control characters: as it stands when ASCII, else
// RFC 2047 words (UTF-8, base64) of at most 75 characters, separated by blanks and never splitting
// a character; the first word leaves room for firstLineUsed characters before it.
std::string EncodeHeaderText(std::wstring_view text, size_t firstLineUsed = 0);
// "Name: value" folded before blanks into lines of at most 76 characters where the value allows;
// each line ended by CR LF.
std::string FoldHeader(std::string_view field);
std::string Base64Encode(std::string_view data, size_t lineLength = 0);
std::string Base64Decode(std::string_view text);

}  // namespace hv
