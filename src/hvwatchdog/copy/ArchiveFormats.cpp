#include "hvwatchdog/copy/ArchiveFormats.h"
#include "hvwatchdog/copy/FileErrors.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>

#include "base/text/StringUtils.h"
#include "hvwatchdog/copy/FilePropUtils.h"

namespace hv {

namespace {

void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void Put64(std::string& s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v));
  Put32(s, static_cast<uint32_t>(v >> 32));
}
uint32_t Get16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Get32(const unsigned char* p) { return Get16(p) | (Get16(p + 2) << 16); }
uint64_t Get64(const unsigned char* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

// Latin-1 to OEM (code page 850 subset) for 0x80..0xFF; 0x20: no such character.
const unsigned char kLatin1ToOem[128] = {
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0xAD, 0x9B, 0x9C, 0x20, 0x9D, 0x20, 0x15, 0x20, 0x20, 0x20, 0xAE, 0xAA, 0x20, 0x20, 0x20,
    0xF8, 0xF1, 0xFD, 0x20, 0x20, 0xE6, 0x14, 0x20, 0x20, 0x20, 0x20, 0xAF, 0xAC, 0xAB, 0x20, 0xA8,
    0x20, 0x20, 0x20, 0x20, 0x8E, 0x8F, 0x92, 0x80, 0x20, 0x90, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20,
    0x20, 0xA5, 0x20, 0x20, 0x20, 0x20, 0x99, 0x20, 0x20, 0x20, 0x20, 0x20, 0x9A, 0x20, 0x20, 0xE1,
    0x85, 0x20, 0x83, 0x20, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    0x20, 0xA4, 0x95, 0xA2, 0x93, 0x20, 0x94, 0xF6, 0x20, 0x97, 0xA3, 0x96, 0x81, 0x20, 0x20, 0x98};
const unsigned char kOemToLatin1[128] = {
    0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0xD7, 0xD7,
    0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xD7, 0xD7, 0xBF, 0xD7, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    0xD7, 0xD7, 0xD7, 0xA6, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7,
    0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7,
    0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7,
    0xD7, 0xDF, 0xD7, 0xD7, 0xD7, 0xD7, 0xB5, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7, 0xD7,
    0xD7, 0xB1, 0xD7, 0xD7, 0xB6, 0xA7, 0xF7, 0xD7, 0xB0, 0xD7, 0xB7, 0xD7, 0xD7, 0xB2, 0xD7, 0xA0};

// CRC-32 of the stream's bytes from start to end; the position is kept. False when they cannot be read.
bool StreamCrc(TStream& stream, int64_t start, int64_t end, uint32_t& crc) {
  const int64_t pos = stream.Position();
  stream.SetPosition(start);
  crc = crc32(0, nullptr, 0);
  unsigned char buf[4096];
  for (int64_t left = end - start; left > 0;) {
    const int64_t n = std::min<int64_t>(left, sizeof buf);
    if (!stream.ReadExact(buf, n)) return false;
    crc = crc32(crc, buf, static_cast<uInt>(n));
    left -= n;
  }
  stream.SetPosition(pos);
  return true;
}

std::wstring Latin1ToWide(std::string_view bytes) {
  std::wstring w;
  for (unsigned char c : bytes) w.push_back(c);
  return w;
}

}  // namespace

bool IsLatin1Text(std::wstring_view text) {
  for (wchar_t c : text)
    if (c > 0xFF) return false;
  return true;
}

std::string GzHeaderBytes(std::wstring_view name, uint32_t mtime) {
  // Names of Latin-1 characters are stored as Latin-1 (OS 0), others as UTF-8 (OS 11).
  bool latin1 = IsLatin1Text(name);
  std::string nameBytes;
  if (latin1)
    for (wchar_t c : name) nameBytes.push_back(static_cast<char>(c));
  else
    nameBytes = WideToUtf8(name);
  std::string s;
  s += "\x1F\x8B\x08";
  s.push_back(static_cast<char>(nameBytes.empty() ? 0x04 : 0x0C));
  Put32(s, mtime);
  s.push_back(0);
  s.push_back(static_cast<char>(latin1 ? 0 : 11));
  Put16(s, 20);
  s.push_back(1);
  s.push_back(0);
  Put16(s, 16);
  Put64(s, 0);
  Put64(s, 0);
  if (!nameBytes.empty()) {
    s += nameBytes;
    s.push_back(0);
  }
  return s;
}

int ReadGzHeader(TStream& stream, TGzHeaderInfo& info) {
  info = TGzHeaderInfo{};
  try {
    const int64_t size = stream.Size();
    const int64_t start = stream.Position();
    unsigned char h[10];
    if (!stream.ReadExact(h, 10)) return copyerr::kRead;
    if (h[0] != 0x1F || h[1] != 0x8B || h[2] != 8) return copyerr::kHeader;
    const unsigned flg = h[3];
    // Reserved flags, as gzip refuses them.
    if (flg & 0xE0) return copyerr::kHeader;
    info.MTime = Get32(h + 4);
    if (flg & 0x04) {
      unsigned char b[16];
      if (!stream.ReadExact(b, 2)) return copyerr::kRead;
      int64_t remaining = Get16(b);
      while (remaining > 2) {
        // A sub-field needs its id and length inside the extra field, and its data too.
        if (remaining < 4 || !stream.ReadExact(b, 4)) return copyerr::kRead;
        remaining -= 4;
        int64_t len = Get16(b + 2);
        if (len > remaining) return copyerr::kRead;
        if (b[0] == 1 && b[1] == 0 && len >= 16) {
          if (!stream.ReadExact(b, 16)) return copyerr::kRead;
          info.CSize = static_cast<int64_t>(Get64(b));
          info.USize = static_cast<int64_t>(Get64(b + 8));
          stream.Seek(len - 16, TSeekOrigin::soCurrent);
        } else {
          stream.Seek(len, TSeekOrigin::soCurrent);
        }
        remaining -= len;
      }
      if (remaining > 0) stream.Seek(remaining, TSeekOrigin::soCurrent);
      if (stream.Position() > size) return copyerr::kRead;
    }
    auto readZeroTerminated = [&](std::string* out) {
      char c;
      for (;;) {
        if (stream.Read(&c, 1) != 1) return false;
        if (c == 0) return true;
        if (out) out->push_back(c);
      }
    };
    if (flg & 0x08) {
      std::string name;
      if (!readZeroTerminated(&name)) return copyerr::kRead;
      info.Name = h[9] != 0 ? Utf8ToWide(name) : Latin1ToWide(name);
    }
    if ((flg & 0x10) && !readZeroTerminated(nullptr)) return copyerr::kRead;
    if (flg & 0x02) {
      // The low 16 bits of the CRC-32 of the header bytes before it.
      const int64_t end = stream.Position();
      unsigned char c[2];
      uint32_t crc;
      if (!stream.ReadExact(c, 2) || !StreamCrc(stream, start, end, crc)) return copyerr::kRead;
      if (Get16(c) != (crc & 0xFFFF)) return copyerr::kHeader;
    }
    const int64_t pos = stream.Position();
    if (pos + 8 > size) return copyerr::kRead;
    if (info.CSize == 0) info.CSize = size - pos - 8;
    if (info.USize == 0) {
      unsigned char t[4];
      stream.SetPosition(size - 4);
      if (!stream.ReadExact(t, 4)) return copyerr::kRead;
      info.USize = Get32(t);
      stream.SetPosition(pos);
    }
    return 0;
  } catch (...) {
    return copyerr::kRead;
  }
}

std::string GzSizeFieldBytes(int64_t cSize, int64_t uSize) {
  std::string s;
  Put64(s, static_cast<uint64_t>(cSize));
  Put64(s, static_cast<uint64_t>(uSize));
  return s;
}

std::string GzTrailerBytes(uint32_t crc, int64_t uSize) {
  std::string s;
  Put32(s, crc);
  Put32(s, static_cast<uint32_t>(uSize));
  return s;
}

bool CheckGzTrailer(TStream& stream, uint32_t crc, int64_t uSize) {
  unsigned char t[8];
  if (!stream.ReadExact(t, 8)) return false;
  if (Get32(t) != crc || Get32(t + 4) != static_cast<uint32_t>(uSize)) return false;
  return stream.Position() == stream.Size();
}

bool IsOemName(std::wstring_view name) {
  for (wchar_t c : name) {
    if (c > 0xFF) return false;
    if (c >= 0x80 && kLatin1ToOem[c - 0x80] <= 0x20) return false;
  }
  return true;
}

std::string AnsiToOemName(std::string_view bytes) {
  std::string s(bytes);
  for (auto& c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x80) c = static_cast<char>(kLatin1ToOem[u - 0x80]);
  }
  return s;
}

std::string OemToAnsiName(std::string_view bytes) {
  std::string s(bytes);
  for (auto& c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x80)
      c = static_cast<char>(kOemToLatin1[u - 0x80]);
    else if (u == 0x15)
      c = static_cast<char>(0xA7);
    else if (u == 0x14)
      c = static_cast<char>(0xB6);
  }
  return s;
}

std::string ZipNameBytes(std::wstring_view name, bool& utf8) {
  utf8 = !IsOemName(name);
  if (utf8) return WideToUtf8(name);
  // The UTF-16 values are Latin-1 here: they map straight through the table.
  std::string latin1;
  for (wchar_t c : name) latin1.push_back(static_cast<char>(c));
  return AnsiToOemName(latin1);
}

TZipEntry MakeZipEntry(std::wstring_view name, int64_t size, bool compress, uint32_t dosTime, uint32_t attributes) {
  TZipEntry e;
  e.Name = name;
  e.Zip64 = size > 0xFF000000LL;
  e.Deflate = compress && size > 0;
  e.DosTime = dosTime;
  e.Attributes = attributes & 0xFFFF;
  return e;
}

uint16_t ZipFlags(const TZipEntry& e) {
  bool utf8;
  ZipNameBytes(e.Name, utf8);
  uint16_t f = utf8 ? 0x0880 : 0x0080;
  if (e.Deflate) f |= 0x0002;
  return f;
}

std::string ZipLocalHeader(const TZipEntry& e) {
  bool utf8;
  std::string name = ZipNameBytes(e.Name, utf8);
  std::string s;
  Put32(s, 0x04034B50);
  Put16(s, e.Zip64 ? 45 : 20);
  Put16(s, ZipFlags(e));
  Put16(s, e.Deflate ? 8 : 0);
  Put32(s, e.DosTime);
  Put32(s, e.Crc);
  Put32(s, e.Zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(e.CSize));
  Put32(s, e.Zip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(e.USize));
  Put16(s, static_cast<uint32_t>(name.size()));
  Put16(s, e.Zip64 ? 20 : 0);
  s += name;
  if (e.Zip64) {
    Put16(s, 1);
    Put16(s, 16);
    Put64(s, e.USize);
    Put64(s, e.CSize);
  }
  return s;
}

int64_t ZipLocalZip64Offset(const TZipEntry& e) {
  bool utf8;
  return 30 + static_cast<int64_t>(ZipNameBytes(e.Name, utf8).size()) + 4;
}

std::string ZipDirectory(const TZipEntry& e, uint64_t dirOffset) {
  constexpr uint64_t kMax32 = 0xFFFFFFFFu;
  bool utf8;
  std::string name = ZipNameBytes(e.Name, utf8);
  const uint16_t version = e.Zip64 ? 45 : 20;
  // A value of exactly 0xFFFFFFFF is the Zip64 marker itself, so it moves into the extra too.
  const bool bigU = e.USize >= kMax32, bigC = e.CSize >= kMax32;
  std::string s;
  Put32(s, 0x02014B50);
  Put16(s, version);
  Put16(s, version);
  Put16(s, ZipFlags(e));
  Put16(s, e.Deflate ? 8 : 0);
  Put32(s, e.DosTime);
  Put32(s, e.Crc);
  Put32(s, e.Zip64 && bigC ? 0xFFFFFFFFu : static_cast<uint32_t>(e.CSize));
  Put32(s, e.Zip64 && bigU ? 0xFFFFFFFFu : static_cast<uint32_t>(e.USize));
  Put16(s, static_cast<uint32_t>(name.size()));
  const int k = (e.Zip64 && bigU ? 1 : 0) + (e.Zip64 && bigC ? 1 : 0);
  Put16(s, e.Zip64 ? 4 + 8 * k : 0);
  Put16(s, 0);
  Put16(s, 0);
  Put16(s, 0);
  Put32(s, e.Attributes);
  Put32(s, 0);
  s += name;
  if (e.Zip64) {
    Put16(s, 1);
    Put16(s, 8 * k);
    if (bigU) Put64(s, e.USize);
    if (bigC) Put64(s, e.CSize);
  }
  const uint64_t dirSize = s.size();
  const uint64_t end = dirOffset + dirSize;
  const bool zip64End = end > kMax32;
  if (zip64End) {
    Put32(s, 0x06064B50);
    Put64(s, 44);
    Put16(s, 45);
    Put16(s, 45);
    Put32(s, 0);
    Put32(s, 0);
    Put64(s, 1);
    Put64(s, 1);
    Put64(s, dirSize);
    Put64(s, dirOffset);
    Put32(s, 0x07064B50);
    Put32(s, 0);
    Put64(s, end);
    Put32(s, 1);
  }
  Put32(s, 0x06054B50);
  Put16(s, 0);
  Put16(s, 0);
  Put16(s, 1);
  Put16(s, 1);
  Put32(s, dirSize >= kMax32 ? 0xFFFFFFFFu : static_cast<uint32_t>(dirSize));
  Put32(s, zip64End ? 0xFFFFFFFFu : static_cast<uint32_t>(dirOffset));
  Put16(s, 0);
  return s;
}

namespace {

std::wstring ZipEntryName(const std::string& bytes, uint16_t flag) {
  return SlashToBackslash((flag & 0x0800) ? Utf8ToWide(bytes) : Latin1ToWide(OemToAnsiName(bytes)));
}

// Reads the extra fields (extra bytes, fewer left on return) and takes the sizes whose 32-bit fields
// are 0xFFFFFFFF from the Zip64 field; strict: such a size must be there.
bool ReadZipExtra(TStream& stream, int64_t& extra, uint32_t u32, uint32_t c32, uint64_t& uSize, uint64_t& cSize,
                  bool strict) {
  while (extra >= 4) {
    unsigned char x[4];
    if (!stream.ReadExact(x, 4)) return false;
    const int64_t len = Get16(x + 2);
    if (len > extra - 4) return false;
    std::string data(static_cast<size_t>(len), '\0');
    if (len && !stream.ReadExact(data.data(), len)) return false;
    if (Get16(x) == 1) {
      auto* p = reinterpret_cast<const unsigned char*>(data.data());
      int64_t off = 0;
      for (auto [field, size] : {std::pair{u32, &uSize}, std::pair{c32, &cSize}}) {
        if (field != 0xFFFFFFFFu) continue;
        if (off + 8 > len) {
          if (strict) return false;
          break;
        }
        *size = Get64(p + off);
        off += 8;
      }
    }
    extra -= len + 4;
  }
  return true;
}

}  // namespace

bool ReadZipHeader(TStream& stream, TZipFileInfo& info) {
  info = TZipFileInfo{};
  try {
    unsigned char h[30];
    if (!stream.ReadExact(h, 30) || Get32(h) != 0x04034B50) return false;
    info.Flag = static_cast<uint16_t>(Get16(h + 6));
    info.Method = static_cast<uint16_t>(Get16(h + 8));
    info.TimeStamp = Get32(h + 10);
    info.Crc = Get32(h + 14);
    const uint32_t c32 = Get32(h + 18), u32 = Get32(h + 22);
    info.CSize = c32;
    info.USize = u32;
    std::string name(Get16(h + 26), '\0');
    if (!name.empty() && !stream.ReadExact(name.data(), static_cast<int64_t>(name.size()))) return false;
    info.Filename = ZipEntryName(name, info.Flag);
    uint64_t u = u32, c = c32;
    int64_t extra = Get16(h + 28);
    if (!ReadZipExtra(stream, extra, u32, c32, u, c, false)) return false;
    info.USize = static_cast<int64_t>(u);
    info.CSize = static_cast<int64_t>(c);
    if (extra > 0) stream.Seek(extra, TSeekOrigin::soCurrent);
    return true;
  } catch (...) {
    return false;
  }
}

bool CheckZipDirectory(TStream& stream, const TZipFileInfo& local) {
  constexpr uint32_t kMax32 = 0xFFFFFFFFu;
  try {
    const int64_t dirOffset = stream.Position();
    unsigned char h[46];
    if (!stream.ReadExact(h, 46) || Get32(h) != 0x02014B50) return false;
    const uint32_t c32 = Get32(h + 20), u32 = Get32(h + 24);
    if (Get16(h + 8) != local.Flag || Get16(h + 10) != local.Method || Get32(h + 12) != local.TimeStamp ||
        Get32(h + 16) != local.Crc || Get16(h + 34) != 0 || Get32(h + 42) != 0)
      return false;
    std::string name(Get16(h + 28), '\0');
    if (!name.empty() && !stream.ReadExact(name.data(), static_cast<int64_t>(name.size()))) return false;
    if (ZipEntryName(name, local.Flag) != local.Filename) return false;
    uint64_t uSize = u32, cSize = c32;
    int64_t extra = Get16(h + 30);
    if (!ReadZipExtra(stream, extra, u32, c32, uSize, cSize, true)) return false;
    if (extra != 0) return false;
    if (uSize != static_cast<uint64_t>(local.USize) || cSize != static_cast<uint64_t>(local.CSize)) return false;
    // The comment follows the entry's extra field.
    const int64_t comment = Get16(h + 32);
    if (comment) stream.Seek(comment, TSeekOrigin::soCurrent);
    const int64_t dirEnd = stream.Position();
    const uint64_t dirSize = static_cast<uint64_t>(dirEnd - dirOffset);
    unsigned char e[56];
    if (!stream.ReadExact(e, 4)) return false;
    bool zip64 = false;
    if (Get32(e) == 0x06064B50) {
      zip64 = true;
      if (!stream.ReadExact(e + 4, 52) || Get64(e + 4) != 44 || Get64(e + 24) != 1 || Get64(e + 32) != 1 ||
          Get64(e + 40) != dirSize || Get64(e + 48) != static_cast<uint64_t>(dirOffset))
        return false;
      unsigned char l[20];
      if (!stream.ReadExact(l, 20) || Get32(l) != 0x07064B50 || Get64(l + 8) != static_cast<uint64_t>(dirEnd))
        return false;
      if (!stream.ReadExact(e, 4)) return false;
    }
    if (Get32(e) != 0x06054B50 || !stream.ReadExact(e + 4, 18)) return false;
    if (Get16(e + 8) != 1 || Get16(e + 10) != 1) return false;
    const uint32_t size32 = Get32(e + 12), offset32 = Get32(e + 16);
    if (size32 != (dirSize >= kMax32 ? kMax32 : dirSize)) return false;
    if (zip64 ? offset32 != kMax32 : offset32 != static_cast<uint64_t>(dirOffset)) return false;
    return stream.Position() + Get16(e + 20) == stream.Size();
  } catch (...) {
    return false;
  }
}

}  // namespace hv
