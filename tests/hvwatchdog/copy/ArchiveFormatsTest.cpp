#include "hvwatchdog/copy/ArchiveFormats.h"
#include "hvwatchdog/copy/FileErrors.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "hvwatchdog/copy/ZLibEx.h"

namespace {

using namespace hv;

uint64_t Le(const std::string& s, size_t at, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

// The header CRC of gzip: the low 16 bits of the CRC-32 of the header bytes before it.
std::string HeaderCrc(const std::string& header) {
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(header.data()), static_cast<uInt>(header.size()));
  return {static_cast<char>(crc & 0xFF), static_cast<char>((crc >> 8) & 0xFF)};
}

TEST(GzipHeader, FixedFieldsSizeSubfieldAndName) {
  const std::string h = GzHeaderBytes(L"Notes.txt", 0x01020304);
  ASSERT_EQ(h.size(), 32u + 10u);
  EXPECT_EQ(h.substr(0, 4), std::string("\x1F\x8B\x08\x0C", 4));
  EXPECT_EQ(Le(h, 4, 4), 0x01020304u);
  EXPECT_EQ(h[8], 0);
  EXPECT_EQ(h[9], 0);
  EXPECT_EQ(Le(h, 10, 2), 20u);
  EXPECT_EQ(h.substr(12, 4), std::string("\x01\x00\x10\x00", 4));
  EXPECT_EQ(h.substr(32), std::string("Notes.txt\0", 10));

  EXPECT_EQ(GzHeaderBytes(L"\u00e9", 0).substr(32), std::string("\xE9\0", 2));
  const std::string euro = GzHeaderBytes(L"\u20ac", 0);
  EXPECT_EQ(euro[9], 11);
  EXPECT_EQ(euro.substr(32), std::string("\xE2\x82\xAC\0", 4));
  EXPECT_EQ(GzHeaderBytes(L"", 0)[3], 0x04);
}

TEST(GzipHeader, ReadsOwnAndForeignMembers) {
  std::string own = GzHeaderBytes(L"Gr\u00fc\u00df.txt", 77);
  own.replace(16, 8, std::string("\x05\0\0\0\0\0\0\0", 8));
  own.replace(24, 8, std::string("\x03\0\0\0\0\0\0\0", 8));
  own += std::string("DATA\x01\x02\x03\x04\x03\0\0\0", 12);
  TMemoryStream s(own);
  TGzHeaderInfo info;
  ASSERT_EQ(ReadGzHeader(s, info), 0);
  EXPECT_EQ(info.Name, L"Gr\u00fc\u00df.txt");
  EXPECT_EQ(info.MTime, 77u);
  EXPECT_EQ(info.CSize, 5);
  EXPECT_EQ(info.USize, 3);
  EXPECT_EQ(s.Position(), static_cast<int64_t>(own.size()) - 12);

  // Another program's member: no extra field, a comment and a header CRC.
  std::string foreign("\x1F\x8B\x08\x1A\0\0\0\0\0\x03", 10);
  foreign += std::string("n.txt\0comment\0", 14);
  foreign += HeaderCrc(foreign);
  foreign += std::string("0123456789\x11\x22\x33\x44\x2A\0\0\0", 18);
  TMemoryStream f(foreign);
  ASSERT_EQ(ReadGzHeader(f, info), 0);
  EXPECT_EQ(info.Name, L"n.txt");
  EXPECT_EQ(info.CSize, 10);
  EXPECT_EQ(info.USize, 42);
}

// As gzip does, verification refuses a member whose header CRC is wrong or whose reserved flags
// are set; a correct header CRC passes, also over an extra field.
TEST(GzipHeader, HeaderCrcAndReservedFlags) {
  const std::string tail("DATA\x01\x02\x03\x04\x03\0\0\0", 12);
  std::string own = GzHeaderBytes(L"a.txt", 0);
  own[3] |= 0x02;
  own += HeaderCrc(own);
  std::string wrongCrc = own;
  wrongCrc[own.size() - 1] ^= 0x01;
  std::string reserved = GzHeaderBytes(L"a.txt", 0);
  const struct {
    const char* what;
    std::string header;
    int32_t result;
  } cases[] = {
      {"correct header CRC", own, 0},
      {"wrong header CRC", wrongCrc, copyerr::kHeader},
      {"flag 0x20", std::string(reserved).replace(3, 1, 1, '\x2C'), copyerr::kHeader},
      {"flag 0x40", std::string(reserved).replace(3, 1, 1, '\x4C'), copyerr::kHeader},
      {"flag 0x80", std::string(reserved).replace(3, 1, 1, '\x8C'), copyerr::kHeader},
      {"header CRC cut off", own.substr(0, own.size() - 1), copyerr::kRead},
  };
  for (const auto& c : cases) {
    TMemoryStream s(c.header + (c.result == copyerr::kRead ? std::string() : tail));
    TGzHeaderInfo info;
    EXPECT_EQ(ReadGzHeader(s, info), c.result) << c.what;
    if (c.result == 0) {
      EXPECT_EQ(info.Name, L"a.txt");
      EXPECT_EQ(s.Position(), static_cast<int64_t>(c.header.size()));
    }
  }
}

TEST(GzipHeader, DamagedHeadersStayInsideTheirBounds) {
  struct TCase {
    std::string bytes;
    int result;
  };
  const std::string fixed("\x1F\x8B\x08\x04\0\0\0\0\0\0", 10);
  const TCase cases[] = {
      {"", 4},
      {std::string("\x1F\x8B\x08", 3), 4},
      {std::string("PK\x03\x04\0\0\0\0\0\0\0\0", 12), 8},
      // A compression method other than deflate.
      {std::string("\x1F\x8B\x07\x00\0\0\0\0\0\0", 10) + std::string(20, 'x'), 8},
      // Extra length beyond the end of the file.
      {fixed + std::string("\xFF\xFF\x01\x00\x10\x00", 6), 4},
      // A sub-field whose length runs past the extra field.
      {fixed + std::string("\x06\x00\x41\x42\xF0\x00\x00\x00", 8) + std::string(300, 'x'), 4},
      // A name without its terminating zero.
      {std::string("\x1F\x8B\x08\x08\0\0\0\0\0\0name-without-end", 26), 4},
      // No room for the trailer.
      {std::string("\x1F\x8B\x08\x00\0\0\0\0\0\0\x03\x00", 12), 4},
  };
  for (const auto& c : cases) {
    TMemoryStream s(c.bytes);
    TGzHeaderInfo info;
    // 4: the header cannot be read; 8: it is not a gzip header of deflate data.
    const int32_t want = c.result == 4 ? copyerr::kRead : copyerr::kHeader;
    EXPECT_EQ(FormatCopyError(ReadGzHeader(s, info), L"", L""), FormatCopyError(want, L"", L"")) << c.bytes.size();
  }
}

TEST(ZipNames, OemOrUtf8FromTheUtf16Values) {
  bool utf8;
  EXPECT_EQ(ZipNameBytes(L"\u00dcber.txt", utf8), "\x9A" "ber.txt");
  EXPECT_FALSE(utf8);
  // U+0080..U+009F are not Latin-1 letters a code page could change: no OEM form, UTF-8.
  EXPECT_EQ(ZipNameBytes(L"a\u00aa", utf8), "a\xC2\xAA");
  EXPECT_TRUE(utf8);
  EXPECT_EQ(ZipNameBytes(L"\u20ac", utf8), "\xE2\x82\xAC");
  EXPECT_TRUE(utf8);
  EXPECT_TRUE(IsOemName(L"plain name.txt"));
  EXPECT_EQ(OemToAnsiName("\x9A\x15\x14"), "\xDC\xA7\xB6");
  EXPECT_EQ(AnsiToOemName("\xE9"), "\x82");
}

TEST(ZipHeaders, SmallDeflatedEntry) {
  TZipEntry e = MakeZipEntry(L"ten.txt", 10, true, 0x11223344, 0x21);
  e.Crc = 0xDEADBEEF;
  e.CSize = 12;
  e.USize = 10;
  const std::string l = ZipLocalHeader(e);
  EXPECT_EQ(Le(l, 0, 4), 0x04034B50u);
  EXPECT_EQ(Le(l, 4, 2), 20u);
  EXPECT_EQ(Le(l, 6, 2), 0x0082u);
  EXPECT_EQ(Le(l, 8, 2), 8u);
  EXPECT_EQ(Le(l, 10, 4), 0x11223344u);
  EXPECT_EQ(Le(l, 18, 4), 12u);
  EXPECT_EQ(Le(l, 22, 4), 10u);
  EXPECT_EQ(Le(l, 28, 2), 0u);
  const std::string d = ZipDirectory(e, 30 + 7 + 12);
  EXPECT_EQ(Le(d, 0, 4), 0x02014B50u);
  EXPECT_EQ(Le(d, 30, 2), 0u);
  EXPECT_EQ(Le(d, 38, 4), 0x21u);
  EXPECT_EQ(d.size(), 46u + 7 + 22);
  EXPECT_EQ(Le(d, 53 + 12, 4), 53u);
  EXPECT_EQ(Le(d, 53 + 16, 4), 49u);

  TMemoryStream s(l);
  TZipFileInfo info;
  ASSERT_TRUE(ReadZipHeader(s, info));
  EXPECT_EQ(info.Filename, L"ten.txt");
  EXPECT_EQ(info.Method, 8);
  EXPECT_EQ(info.Crc, 0xDEADBEEFu);
  EXPECT_EQ(info.CSize, 12);

  TZipEntry empty = MakeZipEntry(L"e", 0, true, 0, 0x20);
  EXPECT_FALSE(empty.Deflate);
  EXPECT_EQ(Le(ZipLocalHeader(empty), 6, 2), 0x0080u);
}

TEST(ZipHeaders, Zip64Sizes) {
  struct TCase {
    uint64_t usize, csize, dirOffset;
    int k;
    bool endRecords;
  };
  const TCase cases[] = {
      {0xFF000001ull, 0x10000000ull, 0x10000030ull, 0, false},
      // Exactly 0xFFFFFFFF is the marker itself: it moves into the extra.
      {0xFFFFFFFFull, 0xFFFFFFFFull, 0x100000020ull, 2, true},
      {6ull << 30, 6ull << 30, (6ull << 30) + 40, 2, true},
      {6ull << 30, 0x20000000ull, 0x20000040ull, 1, false},
      // The Zip64 end records only when the directory ends beyond 0xFFFFFFFF, not at it.
      {0xFF000001ull, 0x10000000ull, 0xFFFFFFFFull - 57, 0, false},
      {0xFF000001ull, 0x10000000ull, 0xFFFFFFFFull - 56, 0, true},
  };
  for (const auto& c : cases) {
    TZipEntry e = MakeZipEntry(L"big.bin", static_cast<int64_t>(c.usize), false, 0, 0x20);
    ASSERT_TRUE(e.Zip64);
    e.USize = c.usize;
    e.CSize = c.csize;
    const std::string l = ZipLocalHeader(e);
    EXPECT_EQ(Le(l, 4, 2), 45u);
    EXPECT_EQ(Le(l, 18, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le(l, 28, 2), 20u);
    EXPECT_EQ(Le(l, ZipLocalZip64Offset(e), 8), c.usize);
    TMemoryStream s(l);
    TZipFileInfo info;
    ASSERT_TRUE(ReadZipHeader(s, info));
    EXPECT_EQ(static_cast<uint64_t>(info.USize), c.usize);
    EXPECT_EQ(static_cast<uint64_t>(info.CSize), c.csize);

    const std::string d = ZipDirectory(e, c.dirOffset);
    EXPECT_EQ(Le(d, 30, 2), 4u + 8 * c.k) << c.usize;
    EXPECT_EQ(Le(d, 46 + 7 + 2, 2), 8u * c.k);
    const size_t centralSize = 46 + 7 + 4 + 8 * c.k;
    EXPECT_EQ(d.size(), centralSize + (c.endRecords ? 56 + 20 : 0) + 22);
    const std::string end = d.substr(d.size() - 22);
    EXPECT_EQ(Le(end, 16, 4), c.endRecords ? 0xFFFFFFFFu : c.dirOffset);
    if (c.endRecords) {
      EXPECT_EQ(Le(d, centralSize, 4), 0x06064B50u);
      EXPECT_EQ(Le(d, centralSize + 48, 8), c.dirOffset);
      EXPECT_EQ(Le(d, centralSize + 56 + 8, 8), c.dirOffset + centralSize);
    }
  }
}

TEST(ZipHeaders, ForeignSignatureIsRejected) {
  TMemoryStream s(std::string("\x1F\x8B\x08\x00", 4) + std::string(40, '\0'));
  TZipFileInfo info;
  EXPECT_FALSE(ReadZipHeader(s, info));
  TMemoryStream shortHeader(std::string("PK\x03\x04", 4));
  EXPECT_FALSE(ReadZipHeader(shortHeader, info));
}

TEST(ZLibStreams, RawDeflateRoundTripAndInputLimit) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{200000}}) {
    std::string data;
    for (size_t i = 0; i < n; ++i) data.push_back(static_cast<char>('a' + (i * 7919) % 26));
    TMemoryStream packed;
    {
      TZCompressionStream z(packed, TZCompressionLevel::zcDefault, -15);
      z.Write(data.data(), static_cast<int64_t>(data.size()));
      z.Finish();
    }
    if (n == 0) {
      EXPECT_EQ(packed.Data(), std::string("\x03\x00", 2));
    }
    const int64_t csize = static_cast<int64_t>(packed.Data().size());
    // A trailer after the deflate data is never fed to inflate.
    TMemoryStream withTrailer(packed.Data() + "TRAILER!");
    TZDecompressionStream u(withTrailer, csize, -15);
    std::string out(n + 10, '\0');
    EXPECT_EQ(u.Read(out.data(), static_cast<int64_t>(out.size())), static_cast<int64_t>(n));
    out.resize(n);
    EXPECT_EQ(out, data);
    EXPECT_EQ(withTrailer.Position(), csize);
  }
}

TEST(ZLibStreams, InvalidOperationsAndDamagedData) {
  TMemoryStream m;
  TZCompressionStream z(m);
  char b[4];
  EXPECT_THROW(z.Read(b, 4), EZCompressionError);
  EXPECT_THROW(z.Seek(1, TSeekOrigin::soCurrent), EZCompressionError);
  EXPECT_EQ(z.Seek(0, TSeekOrigin::soCurrent), 0);
  TMemoryStream junk(std::string(100, '\xFF'));
  TZDecompressionStream u(junk, 0, -15);
  EXPECT_THROW(u.Read(b, 4), EZDecompressionError);
}

// The last buffer of the deflate data failing on a full disk is an error, not a quiet loss.
TEST(ZLibStreams, FailedFinalWriteRaises) {
  struct TFull : TMemoryStream {
    int64_t Write(const void*, int64_t) override { throw EWriteFileStreamError(112); }
  } full;
  TZCompressionStream z(full, TZCompressionLevel::zcDefault, -15);
  z.Write("abc", 3);
  try {
    z.Finish();
    FAIL() << "no error";
  } catch (const EWriteFileStreamError& e) {
    EXPECT_EQ(e.ErrorCode(), 112u);
  }
}

}  // namespace
