#pragma once
// INI files held wholly in memory: read when the object is made, written in one piece by
// UpdateFile. Sections and keys are found without regard to case and keep the order in which
// they were first added. Keys the program never touches survive a rewrite.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/text/ExtSysUtils.h"

namespace hv {

// Writing an INI file failed; the file as it was before is left in place.
class EWriteError : public Exception {
 public:
  EWriteError(std::wstring_view fileName, uint32_t errorCode);
  uint32_t ErrorCode() const noexcept { return FErrorCode; }

 private:
  uint32_t FErrorCode;
};

// How a file's text is stored: detected from the byte-order mark when reading. ieUtf8NoBom is
// UTF-8 without a byte-order mark (files of other programs), read only when asked for.
enum class TIniEncoding : uint8_t { ieAnsi, ieUtf8, ieUtf16LE, ieUtf16BE, ieUtf8NoBom };

// Bytes of a text file to text: UTF-8, UTF-16LE and UTF-16BE by their byte-order mark, else
// noBom (the ANSI code page or UTF-8 without mark). encoding receives what was used. An odd last
// byte of UTF-16 becomes a character of its own, and bytes that are no valid UTF-8 are kept
// (TUtf8Errors::ueKeep), so that a rewrite in the same encoding keeps them.
std::wstring DecodeText(std::string_view bytes, TIniEncoding& encoding,
                        TIniEncoding noBom = TIniEncoding::ieAnsi);
// Text to the bytes of a file in encoding, with its byte-order mark.
std::string EncodeText(std::wstring_view text, TIniEncoding encoding);
// Puts bytes in the file's place through a temporary file beside it, so that a failure leaves
// the old file as it was. Raises EWriteError.
void ReplaceFileBytes(std::wstring_view fileName, std::string_view bytes);

class TMemIniFile {
 public:
  // Loads the file; a missing file (or folder) gives an empty object. A file that exists but
  // cannot be read raises EOSError.
  explicit TMemIniFile(std::wstring_view fileName);
  // A file without byte-order mark is read in noBom (ieAnsi or ieUtf8NoBom).
  TMemIniFile(std::wstring_view fileName, TIniEncoding noBom);
  virtual ~TMemIniFile() = default;
  TMemIniFile(TMemIniFile&&) noexcept = default;
  TMemIniFile& operator=(TMemIniFile&&) noexcept = default;

  const std::wstring& FileName() const noexcept { return FFileName; }
  TIniEncoding Encoding() const noexcept { return FEncoding; }
  void SetEncoding(TIniEncoding e) noexcept { FEncoding = e; }

  std::wstring ReadString(std::wstring_view section, std::wstring_view ident, std::wstring_view def) const;
  void WriteString(std::wstring_view section, std::wstring_view ident, std::wstring_view value);
  // Decimal or hexadecimal ("$", "0x"); def when missing, not a number or out of range.
  int32_t ReadInteger(std::wstring_view section, std::wstring_view ident, int32_t def) const;
  void WriteInteger(std::wstring_view section, std::wstring_view ident, int32_t value);
  // "0" is false, any other number true; def when missing or not a number.
  bool ReadBool(std::wstring_view section, std::wstring_view ident, bool def) const;
  // Written as "1" or "0".
  void WriteBool(std::wstring_view section, std::wstring_view ident, bool value);

  bool SectionExists(std::wstring_view section) const;
  bool ValueExists(std::wstring_view section, std::wstring_view ident) const;
  std::vector<std::wstring> ReadSections() const;
  // The key names of a section, in file order.
  std::vector<std::wstring> ReadSection(std::wstring_view section) const;
  std::vector<std::pair<std::wstring, std::wstring>> ReadSectionValues(std::wstring_view section) const;
  // Replaces every key of the section by values, in their order, in one pass (long lists).
  void WriteSectionValues(std::wstring_view section, const std::vector<std::pair<std::wstring, std::wstring>>& values);
  void DeleteKey(std::wstring_view section, std::wstring_view ident);
  // Removes the section with its header.
  void EraseSection(std::wstring_view section);
  void Clear();

  // Writes the whole file through a temporary file in the same folder that then replaces the
  // old one, so a failure leaves the old file intact. Raises EWriteError.
  virtual void UpdateFile();

  // The text as it is written to the file.
  std::wstring GetText() const;

 protected:
  struct TIniLine {
    std::wstring Key;
    std::wstring Value;
    bool IsKey = true;  // false: a comment or other line kept as it stands (in Value)
  };
  struct TIniSection {
    std::wstring Name;
    std::vector<TIniLine> Lines;
  };

  TIniSection* FindSection(std::wstring_view name);
  const TIniSection* FindSection(std::wstring_view name) const;
  TIniSection& AddSection(std::wstring_view name);
  void SetText(std::wstring_view text);
  void WriteFile() const;

 private:
  void RebuildIndex();
  std::wstring FFileName;
  TIniEncoding FEncoding = TIniEncoding::ieAnsi;
  std::vector<std::wstring> FPreamble;  // lines before the first section
  std::vector<TIniSection> FSections;
  std::unordered_map<std::wstring, size_t> FIndex;  // upper-cased name -> position in FSections
};

// An INI text changed key by key, for files of other programs: every line an edit does not change
// keeps its characters (line breaks, comments, blank lines, order). Lines are read as TMemIniFile
// reads them.
class TIniTextEdit {
 public:
  explicit TIniTextEdit(std::wstring text = {}) : FText(std::move(text)) {}
  const std::wstring& Text() const noexcept { return FText; }
  void SetText(std::wstring text) { FText = std::move(text); }

  std::vector<std::wstring> Sections() const;
  // The value of the first such key of the section; false when there is none.
  bool Find(std::wstring_view section, std::wstring_view key, std::wstring& value) const;
  // Replaces that value, else adds the key after the last line of the section, or the section
  // at the end of the text; new lines end as the text's first line does.
  void Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);

 private:
  enum class TLineKind : uint8_t { lkBlank, lkHeader, lkKey, lkOther };
  struct TLine {
    TLineKind Kind = TLineKind::lkBlank;
    size_t End = 0, Next = 0;  // end of the text, end of its line break
    bool InSection = false;
    std::wstring Section, Key;  // the section the line lies in (a header's own name)
    size_t ValueBegin = 0, ValueEnd = 0;
  };
  std::vector<TLine> Lines() const;
  std::wstring LineBreak() const;
  static bool IsKey(const TLine& line, std::wstring_view section, std::wstring_view key);

  std::wstring FText;
};

// The suite's settings and job files: UTF-16LE with a byte-order mark, lines ending in CR LF, a
// section "Unicode" with "Encoding". Nothing is written by the destructor: a writer calls
// UpdateFile where it is done with the object.
class TUnicodeIniFile : public TMemIniFile {
 public:
  // Read only: UpdateFile never touches the file, whatever was written into the object.
  static TUnicodeIniFile CreateForRead(std::wstring_view fileName);
  // Loads the whole file (untouched keys survive), drops all sections when clearEntries, and
  // makes sure [Unicode] has an "Encoding" key ("UTF-16LE" unless one is there).
  static TUnicodeIniFile CreateForWrite(std::wstring_view fileName, bool clearEntries);

  bool ReadOnly() const noexcept { return FReadOnly; }

  // A key of the section "Unicode" ("Program", "Version").
  void WriteProgramInfo(std::wstring_view ident, std::wstring_view value);
  // More than two characters beginning with "0x" (or "0X"): hexadecimal; else decimal, a
  // leading "$" also marking hexadecimal. def when missing or not a number.
  int64_t ReadInt64(std::wstring_view section, std::wstring_view ident, int64_t def) const;
  void WriteInt64(std::wstring_view section, std::wstring_view ident, int64_t value);
  // Deletes every key of the section and keeps its header.
  void EraseSectionValues(std::wstring_view section);

  void UpdateFile() override;

 private:
  TUnicodeIniFile(std::wstring_view fileName, bool readOnly);
  bool FReadOnly;
};

// One Boolean of any INI file (encoding detected); def when the file cannot be read.
bool ReadIniBool(std::wstring_view fileName, std::wstring_view section, std::wstring_view ident, bool def);

}  // namespace hv
