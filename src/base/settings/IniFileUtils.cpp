#include "base/settings/IniFileUtils.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <limits>

#include "winui/Handles.h"
#include "base/text/PathUtils.h"
#include "base/text/StringUtils.h"
#include "winui/Translate.h"

namespace hv {

namespace {

constexpr wchar_t kUnicodeSection[] = L"Unicode";
constexpr wchar_t kEncodingKey[] = L"Encoding";
constexpr wchar_t kUtf16LE[] = L"UTF-16LE";

bool SameText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::wstring_view Trim(std::wstring_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= L' ') ++b;
  while (e > b && s[e - 1] <= L' ') --e;
  return s.substr(b, e - b);
}

// The key of a section name in the index; SameText decides in the end.
std::wstring FoldedName(std::wstring_view name) {
  std::wstring folded(name);
  if (!folded.empty())
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, folded.data(), static_cast<int>(folded.size()),
                  folded.data(), static_cast<int>(folded.size()), nullptr, nullptr, 0);
  return folded;
}

bool StartsLikeByteOrderMark(std::string_view bytes) {
  return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

}  // namespace

std::string EncodeText(std::wstring_view text, TIniEncoding encoding) {
  std::string bytes;
  switch (encoding) {
    case TIniEncoding::ieAnsi:
      bytes = WideToAnsi(text);
      // Text that would read as a byte-order mark is kept behind an empty line (dropped on reading).
      if (StartsLikeByteOrderMark(bytes)) bytes.insert(0, "\r\n");
      return bytes;
    case TIniEncoding::ieUtf8:
      return "\xEF\xBB\xBF" + WideToUtf8(text, TUtf8Errors::ueKeep);
    case TIniEncoding::ieUtf8NoBom:
      return WideToUtf8(text, TUtf8Errors::ueKeep);
    case TIniEncoding::ieUtf16LE:
    case TIniEncoding::ieUtf16BE: {
      const bool be = encoding == TIniEncoding::ieUtf16BE;
      bytes.reserve(2 + text.size() * 2);
      bytes += be ? "\xFE\xFF" : "\xFF\xFE";
      for (wchar_t c : text) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>((c >> 8) & 0xFF);
        bytes += be ? hi : lo;
        bytes += be ? lo : hi;
      }
      return bytes;
    }
  }
  return bytes;
}

namespace {

// The whole file; false when it or its folder does not exist. Other failures raise.
bool ReadWholeFile(const std::wstring& fileName, std::string& bytes) {
  TFileHandle h(CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) {
    DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return false;
    throw EOSError(L"CreateFileW", err, fileName);
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h.Get(), &size)) throw EOSError(L"GetFileSizeEx", GetLastError(), fileName);
  if (size.QuadPart > std::numeric_limits<int>::max()) throw EOSError(L"ReadFile", ERROR_FILE_TOO_LARGE, fileName);
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(h.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
      throw EOSError(L"ReadFile", GetLastError(), fileName);
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return true;
}

// Writes bytes to a new file beside target and puts it in target's place. Returns 0 or the
// Windows error code; target is unchanged on failure.
DWORD ReplaceFileContents(const std::wstring& target, std::string_view bytes) {
  static std::atomic<unsigned> counter{0};
  // A read-only file is not replaced (Windows refuses the move, Wine would not).
  const DWORD oldAttr = GetFileAttributesW(target.c_str());
  if (oldAttr != INVALID_FILE_ATTRIBUTES && (oldAttr & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  std::wstring temp;
  TFileHandle h;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = target + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L".tmp";
    h.Reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h) break;
    DWORD err = GetLastError();
    if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) return err;
  }
  if (!h) return ERROR_FILE_EXISTS;

  DWORD err = 0;
  size_t done = 0;
  while (err == 0 && done < bytes.size()) {
    DWORD written = 0;
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!WriteFile(h.Get(), bytes.data() + done, chunk, &written, nullptr)) err = GetLastError();
    else if (written == 0) err = ERROR_WRITE_FAULT;
    done += written;
  }
  if (err == 0 && !FlushFileBuffers(h.Get())) err = GetLastError();
  if (DWORD closeErr = h.Close(); closeErr != 0 && err == 0) err = closeErr;

  if (err == 0) {
    // The new file keeps the old one's attributes.
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (oldAttr != INVALID_FILE_ATTRIBUTES && (oldAttr & kept) != 0) SetFileAttributesW(temp.c_str(), oldAttr & kept);
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      err = GetLastError();
  }
  if (err != 0) DeleteFileW(temp.c_str());
  return err;
}

}  // namespace

EWriteError::EWriteError(std::wstring_view fileName, uint32_t errorCode)
    : Exception(SafeFormat(_(L"Error writing to \"%s\""), fileName)), FErrorCode(errorCode) {}

std::wstring DecodeText(std::string_view bytes, TIniEncoding& encoding, TIniEncoding noBom) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    encoding = TIniEncoding::ieUtf8;
    return Utf8ToWide(bytes.substr(3), TUtf8Errors::ueKeep);
  }
  if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
    const bool be = bytes[0] == '\xFE';
    encoding = be ? TIniEncoding::ieUtf16BE : TIniEncoding::ieUtf16LE;
    std::wstring text;
    text.reserve((bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto b0 = static_cast<unsigned char>(bytes[i]), b1 = static_cast<unsigned char>(bytes[i + 1]);
      text += static_cast<wchar_t>(be ? (b0 << 8) | b1 : (b1 << 8) | b0);
    }
    if (bytes.size() % 2 == 1) {
      auto last = static_cast<unsigned char>(bytes.back());
      text += static_cast<wchar_t>(be ? last << 8 : last);
    }
    return text;
  }
  if (noBom == TIniEncoding::ieUtf8NoBom) {
    encoding = TIniEncoding::ieUtf8NoBom;
    return Utf8ToWide(bytes, TUtf8Errors::ueKeep);
  }
  encoding = TIniEncoding::ieAnsi;
  return AnsiToWide(bytes);
}

void ReplaceFileBytes(std::wstring_view fileName, std::string_view bytes) {
  const std::wstring name(fileName);
  if (DWORD err = ReplaceFileContents(name, bytes)) throw EWriteError(name, err);
}

// ---------------------------------------------------------------------------------------------
// TMemIniFile

TMemIniFile::TMemIniFile(std::wstring_view fileName) : TMemIniFile(fileName, TIniEncoding::ieAnsi) {}

TMemIniFile::TMemIniFile(std::wstring_view fileName, TIniEncoding noBom) : FFileName(fileName) {
  std::string bytes;
  if (!FFileName.empty() && ReadWholeFile(FFileName, bytes)) SetText(DecodeText(bytes, FEncoding, noBom));
}

void TMemIniFile::SetText(std::wstring_view text) {
  Clear();
  TIniSection* section = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring_view::npos) end = text.size();
    std::wstring_view line = Trim(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size() && text[pos] == L'\r') ++pos;
    if (pos < text.size() && text[pos] == L'\n') ++pos;

    if (line.empty()) continue;
    if (line.front() == L'[' && line.back() == L']' && line.size() >= 2) {
      section = &AddSection(Trim(line.substr(1, line.size() - 2)));
    } else if (!section) {
      FPreamble.emplace_back(line);
    } else {
      size_t eq = line.find(L'=');
      if (line.front() == L';' || eq == std::wstring_view::npos)
        section->Lines.push_back({L"", std::wstring(line), false});
      else
        section->Lines.push_back({std::wstring(Trim(line.substr(0, eq))), std::wstring(Trim(line.substr(eq + 1))), true});
    }
  }
}

std::wstring TMemIniFile::GetText() const {
  std::wstring text;
  for (const auto& line : FPreamble) text.append(line).append(L"\r\n");
  for (const auto& section : FSections) {
    text.append(L"[").append(section.Name).append(L"]\r\n");
    for (const auto& line : section.Lines) {
      if (line.IsKey) text.append(line.Key).append(L"=");
      text.append(line.Value).append(L"\r\n");
    }
  }
  return text;
}

TMemIniFile::TIniSection* TMemIniFile::FindSection(std::wstring_view name) {
  auto it = FIndex.find(FoldedName(name));
  if (it != FIndex.end() && SameText(FSections[it->second].Name, name)) return &FSections[it->second];
  return nullptr;
}

void TMemIniFile::RebuildIndex() {
  FIndex.clear();
  for (size_t i = 0; i < FSections.size(); ++i) FIndex.emplace(FoldedName(FSections[i].Name), i);
}

const TMemIniFile::TIniSection* TMemIniFile::FindSection(std::wstring_view name) const {
  return const_cast<TMemIniFile*>(this)->FindSection(name);
}

TMemIniFile::TIniSection& TMemIniFile::AddSection(std::wstring_view name) {
  if (TIniSection* s = FindSection(name)) return *s;
  FSections.push_back({std::wstring(name), {}});
  FIndex.emplace(FoldedName(name), FSections.size() - 1);
  return FSections.back();
}

std::wstring TMemIniFile::ReadString(std::wstring_view section, std::wstring_view ident, std::wstring_view def) const {
  if (const TIniSection* s = FindSection(section))
    for (const auto& line : s->Lines)
      if (line.IsKey && SameText(line.Key, ident)) return line.Value;
  return std::wstring(def);
}

void TMemIniFile::WriteString(std::wstring_view section, std::wstring_view ident, std::wstring_view value) {
  TIniSection& s = AddSection(section);
  for (auto& line : s.Lines)
    if (line.IsKey && SameText(line.Key, ident)) {
      line.Value = value;
      return;
    }
  s.Lines.push_back({std::wstring(ident), std::wstring(value), true});
}

int32_t TMemIniFile::ReadInteger(std::wstring_view section, std::wstring_view ident, int32_t def) const {
  int64_t v;
  if (!TryStrToInt64(ReadString(section, ident, L""), v)) return def;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return def;
  return static_cast<int32_t>(v);
}

void TMemIniFile::WriteInteger(std::wstring_view section, std::wstring_view ident, int32_t value) {
  WriteString(section, ident, std::to_wstring(value));
}

bool TMemIniFile::ReadBool(std::wstring_view section, std::wstring_view ident, bool def) const {
  int64_t v;
  if (!TryStrToInt64(ReadString(section, ident, L""), v)) return def;
  return v != 0;
}

void TMemIniFile::WriteBool(std::wstring_view section, std::wstring_view ident, bool value) {
  WriteString(section, ident, value ? L"1" : L"0");
}

bool TMemIniFile::SectionExists(std::wstring_view section) const { return FindSection(section) != nullptr; }

bool TMemIniFile::ValueExists(std::wstring_view section, std::wstring_view ident) const {
  if (const TIniSection* s = FindSection(section))
    for (const auto& line : s->Lines)
      if (line.IsKey && SameText(line.Key, ident)) return true;
  return false;
}

std::vector<std::wstring> TMemIniFile::ReadSections() const {
  std::vector<std::wstring> names;
  for (const auto& s : FSections) names.push_back(s.Name);
  return names;
}

std::vector<std::wstring> TMemIniFile::ReadSection(std::wstring_view section) const {
  std::vector<std::wstring> keys;
  if (const TIniSection* s = FindSection(section))
    for (const auto& line : s->Lines)
      if (line.IsKey) keys.push_back(line.Key);
  return keys;
}

std::vector<std::pair<std::wstring, std::wstring>> TMemIniFile::ReadSectionValues(std::wstring_view section) const {
  std::vector<std::pair<std::wstring, std::wstring>> values;
  if (const TIniSection* s = FindSection(section))
    for (const auto& line : s->Lines)
      if (line.IsKey) values.emplace_back(line.Key, line.Value);
  return values;
}

void TMemIniFile::WriteSectionValues(std::wstring_view section,
                                     const std::vector<std::pair<std::wstring, std::wstring>>& values) {
  TIniSection& s = AddSection(section);
  std::erase_if(s.Lines, [](const TIniLine& line) { return line.IsKey; });
  s.Lines.reserve(s.Lines.size() + values.size());
  for (const auto& [key, value] : values) s.Lines.push_back({key, value, true});
}

void TMemIniFile::DeleteKey(std::wstring_view section, std::wstring_view ident) {
  if (TIniSection* s = FindSection(section))
    std::erase_if(s->Lines, [&](const TIniLine& line) { return line.IsKey && SameText(line.Key, ident); });
}

void TMemIniFile::EraseSection(std::wstring_view section) {
  if (std::erase_if(FSections, [&](const TIniSection& s) { return SameText(s.Name, section); })) RebuildIndex();
}

void TMemIniFile::Clear() {
  FPreamble.clear();
  FSections.clear();
  FIndex.clear();
}

void TMemIniFile::WriteFile() const {
  if (FFileName.empty()) throw EWriteError(FFileName, ERROR_INVALID_NAME);
  const std::wstring full = ExpandPath(FFileName);
  ReplaceFileBytes(full, EncodeText(GetText(), FEncoding));
}

void TMemIniFile::UpdateFile() { WriteFile(); }

// ---------------------------------------------------------------------------------------------
// TIniTextEdit

std::vector<TIniTextEdit::TLine> TIniTextEdit::Lines() const {
  std::vector<TLine> lines;
  std::wstring section;
  bool inSection = false;
  for (size_t pos = 0; pos < FText.size();) {
    TLine l;
    const size_t begin = pos;
    l.End = std::min(FText.find_first_of(L"\r\n", pos), FText.size());
    pos = l.End;
    if (pos < FText.size() && FText[pos] == L'\r') ++pos;
    if (pos < FText.size() && FText[pos] == L'\n') ++pos;
    l.Next = pos;
    const std::wstring_view raw(FText.data() + begin, l.End - begin), line = Trim(raw);
    const size_t b = begin + static_cast<size_t>(line.data() - raw.data()), e = b + line.size();
    const size_t eq = line.find(L'=');
    if (line.empty()) {
      l.Kind = TLineKind::lkBlank;
    } else if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
      l.Kind = TLineKind::lkHeader;
      section = Trim(line.substr(1, line.size() - 2));
      inSection = true;
    } else if (line.front() != L';' && eq != std::wstring_view::npos) {
      l.Kind = TLineKind::lkKey;
      l.Key = Trim(line.substr(0, eq));
      l.ValueBegin = b + eq + 1;
      while (l.ValueBegin < e && FText[l.ValueBegin] <= L' ') ++l.ValueBegin;
      l.ValueEnd = e;
    } else {
      l.Kind = TLineKind::lkOther;
    }
    l.Section = section;
    l.InSection = inSection;
    lines.push_back(std::move(l));
  }
  return lines;
}

std::wstring TIniTextEdit::LineBreak() const {
  const size_t p = FText.find_first_of(L"\r\n");
  if (p == std::wstring::npos || FText.compare(p, 2, L"\r\n") == 0) return L"\r\n";
  return std::wstring(1, FText[p]);
}

bool TIniTextEdit::IsKey(const TLine& line, std::wstring_view section, std::wstring_view key) {
  return line.Kind == TLineKind::lkKey && line.InSection && SameText(line.Section, section) && SameText(line.Key, key);
}

std::vector<std::wstring> TIniTextEdit::Sections() const {
  std::vector<std::wstring> names;
  for (const auto& l : Lines())
    if (l.Kind == TLineKind::lkHeader) names.push_back(l.Section);
  return names;
}

bool TIniTextEdit::Find(std::wstring_view section, std::wstring_view key, std::wstring& value) const {
  for (const auto& l : Lines())
    if (IsKey(l, section, key)) {
      value = FText.substr(l.ValueBegin, l.ValueEnd - l.ValueBegin);
      return true;
    }
  return false;
}

void TIniTextEdit::Set(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const std::vector<TLine> lines = Lines();
  for (const auto& l : lines)
    if (IsKey(l, section, key)) {
      FText.replace(l.ValueBegin, l.ValueEnd - l.ValueBegin, value);
      return;
    }
  const std::wstring entry = std::wstring(key) + L"=" + std::wstring(value), br = LineBreak();
  size_t last = std::wstring::npos;  // the last line of the section's first block that is not blank
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].Kind == TLineKind::lkHeader) {
      if (last != std::wstring::npos) break;
      if (SameText(lines[i].Section, section)) last = i;
    } else if (last != std::wstring::npos && lines[i].Kind != TLineKind::lkBlank) {
      last = i;
    }
  }
  if (last != std::wstring::npos) {
    const TLine& l = lines[last];
    if (l.Next == l.End) FText.insert(l.End, br + entry);
    else FText.insert(l.Next, entry + br);
    return;
  }
  if (!lines.empty() && lines.back().Next == lines.back().End) FText += br;
  if (!lines.empty() && lines.back().Kind != TLineKind::lkBlank) FText += br;
  FText += L"[" + std::wstring(section) + L"]" + br + entry + br;
}

// ---------------------------------------------------------------------------------------------
// TUnicodeIniFile

TUnicodeIniFile::TUnicodeIniFile(std::wstring_view fileName, bool readOnly)
    : TMemIniFile(fileName), FReadOnly(readOnly) {}

TUnicodeIniFile TUnicodeIniFile::CreateForRead(std::wstring_view fileName) { return TUnicodeIniFile(fileName, true); }

TUnicodeIniFile TUnicodeIniFile::CreateForWrite(std::wstring_view fileName, bool clearEntries) {
  TUnicodeIniFile ini(fileName, false);
  if (clearEntries) ini.Clear();
  ini.SetEncoding(TIniEncoding::ieUtf16LE);
  if (!ini.ValueExists(kUnicodeSection, kEncodingKey)) ini.WriteString(kUnicodeSection, kEncodingKey, kUtf16LE);
  return ini;
}

void TUnicodeIniFile::WriteProgramInfo(std::wstring_view ident, std::wstring_view value) {
  WriteString(kUnicodeSection, ident, value);
}

int64_t TUnicodeIniFile::ReadInt64(std::wstring_view section, std::wstring_view ident, int64_t def) const {
  int64_t v;
  return TryStrToInt64(ReadString(section, ident, L""), v) ? v : def;
}

void TUnicodeIniFile::WriteInt64(std::wstring_view section, std::wstring_view ident, int64_t value) {
  WriteString(section, ident, std::to_wstring(value));
}

void TUnicodeIniFile::EraseSectionValues(std::wstring_view section) {
  if (TIniSection* s = FindSection(section)) s->Lines.clear();
}

void TUnicodeIniFile::UpdateFile() {
  if (FReadOnly) return;
  SetEncoding(TIniEncoding::ieUtf16LE);
  WriteFile();
}

bool ReadIniBool(std::wstring_view fileName, std::wstring_view section, std::wstring_view ident, bool def) {
  try {
    return TMemIniFile(fileName).ReadBool(section, ident, def);
  } catch (const Exception&) {
    return def;
  }
}

}  // namespace hv
