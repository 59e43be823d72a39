#include "hvwatchdog/copy/ExtFileTools.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <zlib.h>

#include <random>
#include <stdexcept>

#include "hvwatchdog/copy/ArchiveFormats.h"
#include "hvwatchdog/copy/BlockDeflate.h"
#include "hvwatchdog/copy/FileErrors.h"
#include "support/TestSupport.h"
#include "winui/SyncCall.h"
#include "winui/Unicode.h"

namespace {

using namespace hv;
using hvtest::ReadBytes;
using hvtest::TempDir;
using hvtest::WriteBytes;

constexpr uint32_t kBuf = 0x1000;
constexpr TCopyOptions kBase = CopyOptions({coOverwrite, coAttributes, coTimeStamp});

enum class TMode { Plain, Gzip, ZipStored, ZipDeflate };

TCopyOptions ModeOptions(TMode m) {
  switch (m) {
    case TMode::Gzip: return CopyOptions({coCompress});
    case TMode::ZipStored: return CopyOptions({coZipCompress});
    case TMode::ZipDeflate: return CopyOptions({coZipCompress, coCompress});
    default: return 0;
  }
}
const wchar_t* ModeExt(TMode m) {
  return m == TMode::Plain ? L"" : m == TMode::Gzip ? L".gz" : L".zip";
}

std::string Pattern(size_t n, unsigned seed, bool compressible) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i)
    s[i] = compressible ? static_cast<char>("abcdefgh \n"[rng() % 10]) : static_cast<char>(rng());
  return s;
}

// Unpacks what the engine wrote, with the engine's own readers.
std::string Unpack(TMode m, const std::wstring& file) {
  if (m == TMode::Plain) return ReadBytes(file);
  auto s = THandleStream::OpenRead(file);
  int64_t length;
  bool deflated = true;
  if (m == TMode::Gzip) {
    TGzHeaderInfo info;
    EXPECT_EQ(ReadGzHeader(*s, info), 0);
    length = info.CSize;
  } else {
    TZipFileInfo info;
    EXPECT_TRUE(ReadZipHeader(*s, info));
    length = info.CSize;
    deflated = info.Method == 8;
  }
  std::string out;
  if (!deflated) {
    out.resize(static_cast<size_t>(length));
    if (length) {
      EXPECT_TRUE(s->ReadExact(out.data(), length));
    }
    return out;
  }
  TZDecompressionStream z(*s, length, -15);
  char buf[65536];
  for (int64_t n; (n = z.Read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  return out;
}

TCopyPool& Pool() {
  static TCopyPool pool;
  return pool;
}

// The log text of a copy-error code: what the tests compare, rather than the number.
std::string Text(int32_t code) {
  const std::wstring t = FormatCopyError(code, L"", L"");
  return std::string(t.begin(), t.end());
}

int32_t RunCopy(const std::wstring& src, const std::wstring& dst, TCopyOptions options,
                std::function<void(TWinCopyThread&)> setup = nullptr, std::wstring* sysMsg = nullptr) {
  TWinCopyThread t(src, dst, options, kBuf, kPriorityNormal);
  if (setup) setup(t);
  t.Start(Pool());
  while (!t.Done()) Sleep(1);
  if (sysMsg) *sysMsg = t.SysErrorMsg();
  return t.ErrorCode();
}

std::vector<std::wstring> Entries(const std::wstring& folder, bool folders) {
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return found;
  do {
    std::wstring n = fd.cFileName;
    if (n != L"." && n != L".." && ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders)
      found.push_back(n);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(found.begin(), found.end());
  return found;
}

// Only the destination itself: no temporary copy is left, beside it or in the hidden temporary folder.
void ExpectOnlyFiles(const TempDir& dir, std::initializer_list<std::wstring> names) {
  std::vector<std::wstring> want(names);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(Entries(dir.Path(), false), want);
  for (const auto& sub : Entries(dir.Path(), true)) {
    EXPECT_EQ(sub, L"~hvcopy.tmp");
    EXPECT_TRUE(Entries(dir / sub, false).empty());
  }
}

TEST(CopyEngine, EveryModeRoundTripsWithTimesAndAttributes) {
  struct TCase {
    const wchar_t* name;
    size_t size;
  };
  const TCase cases[] = {{L"empty.bin", 0},           {L"one.bin", 1},
                         {L"below buffer.txt", kBuf - 1}, {L"buffer.txt", kBuf},
                         {L"above buffer.txt", kBuf + 1}, {L"big file \u00e9\u00fc.dat", 3 * 1024 * 1024 + 17},
                         {L"Gr\u00fc\u00dfe \u20ac \u65e5\u672c.txt", 70000}};
  for (TMode mode : {TMode::Plain, TMode::Gzip, TMode::ZipStored, TMode::ZipDeflate}) {
    for (const auto& c : cases) {
      for (bool verify : {false, true}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(mode) << " size " << c.size << " verify " << verify);
        TempDir src, dst;
        const std::wstring from = src / c.name, to = dst / (std::wstring(c.name) + ModeExt(mode));
        const std::string data = Pattern(c.size, static_cast<unsigned>(c.size), c.size % 2 == 0);
        ASSERT_TRUE(WriteBytes(from, data));
        FILETIME ft{0x12345600, 0x01D5A000};  // a day in 2019
        HANDLE h = CreateFileW(from.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(h, nullptr, nullptr, &ft);
        CloseHandle(h);
        SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);

        TCopyOptions opt = kBase | ModeOptions(mode) | (verify ? CopyOptions({coVerify}) : 0);
        ASSERT_EQ(RunCopy(from, to, opt), 0);
        EXPECT_EQ(Unpack(mode, to), data);
        WIN32_FILE_ATTRIBUTE_DATA ad;
        ASSERT_TRUE(GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &ad));
        EXPECT_EQ(ad.dwFileAttributes & 0x27, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(ad.ftLastWriteTime.dwHighDateTime, ft.dwHighDateTime);
        EXPECT_EQ(ad.ftLastWriteTime.dwLowDateTime, ft.dwLowDateTime);
        SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
        ExpectOnlyFiles(dst, {std::wstring(c.name) + ModeExt(mode)});
      }
    }
  }
}

TEST(CopyEngine, RatioAndResetArchiveBit) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"a.txt", std::string(100000, 'x')));
  SetFileAttributesW((dir / L"a.txt").c_str(), 0x21);
  TWinCopyThread t(dir / L"a.txt", dir / L"a.txt.gz", CopyOptions({coCompress, coAttributes}), kBuf,
                   kPriorityNormal);
  t.Start(Pool());
  t.WaitFor();
  EXPECT_EQ(t.ErrorCode(), 0);
  EXPECT_GT(t.Ratio(), 0);
  EXPECT_LT(t.Ratio(), 50);
  EXPECT_EQ(GetFileAttributesW((dir / L"a.txt.gz").c_str()) & 0x21, 0x21u);
  SetFileAttributesW((dir / L"a.txt.gz").c_str(), 0x80);

  TWinCopyThread p(dir / L"a.txt", dir / L"b.txt", kBase, kBuf, kPriorityNormal);
  p.Start(Pool());
  p.WaitFor();
  EXPECT_EQ(p.ErrorCode(), 0);
  EXPECT_EQ(p.Ratio(), 1000);
  SetFileAttributesW((dir / L"b.txt").c_str(), 0x80);

  // Wine keeps the archive bit of every file, so the reset shows in the zip entry's attributes.
  TWinCopyThread z(dir / L"a.txt", dir / L"a.zip", CopyOptions({coZipCompress, coCompress, coResetArchive}), kBuf,
                   kPriorityNormal);
  z.Start(Pool());
  z.WaitFor();
  EXPECT_EQ(z.ErrorCode(), 0);
  const std::string zip = ReadBytes(dir / L"a.zip");
  const size_t central = zip.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  EXPECT_EQ(static_cast<unsigned char>(zip[central + 38]), 0x01);
  SetFileAttributesW((dir / L"a.txt").c_str(), 0x80);
}

TEST(CopyEngine, ReadOnlyDestinationIsReplacedWithOverwrite) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", "new"));
  ASSERT_TRUE(WriteBytes(dir / L"d", "old contents"));
  SetFileAttributesW((dir / L"d").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RunCopy(dir / L"s", dir / L"d", kBase), 0);
  EXPECT_EQ(ReadBytes(dir / L"d"), "new");
  SetFileAttributesW((dir / L"d").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(CopyEngine, FaultsGiveTheirCodeAndKeepTheEarlierCopy) {
  TempDir dir;
  const std::wstring src = dir / L"src.txt", dst = dir / L"dst.txt";
  ASSERT_TRUE(WriteBytes(src, Pattern(50000, 1, false)));
  ASSERT_TRUE(WriteBytes(dst, "earlier copy"));
  std::wstring msg;

  // Source vanished.
  EXPECT_EQ(Text(RunCopy(dir / L"gone.txt", dst, kBase)), "Error - File not found (-> Copy)");
  EXPECT_EQ(Text(RunCopy(dir / L"gone.txt", dir / L"x.zip", kBase | ModeOptions(TMode::ZipDeflate))),
            "Error - File not found (-> Zip)");

  // Source locked by another writer without sharing.
  HANDLE lock = CreateFileW(src.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Text(RunCopy(src, dst, kBase, nullptr, &msg)), "Error - Could not open file (-> Copy)");
  EXPECT_FALSE(msg.empty());
  EXPECT_EQ(Text(RunCopy(src, dst + L".gz", kBase | ModeOptions(TMode::Gzip))), "Error - Could not open file (-> gzip)");
  CloseHandle(lock);

  // Destination folder missing; existing destination without overwrite.
  const std::string notCreated = "Error - Could not create file (-> Copy)";
  EXPECT_EQ(Text(RunCopy(src, dir / L"no\\such\\dst.txt", kBase)), notCreated);
  EXPECT_EQ(Text(RunCopy(src, dst, CopyOptions({coAttributes}), nullptr, &msg)), notCreated);
  EXPECT_NE(msg.find(L"System error"), std::wstring::npos);
  EXPECT_EQ(Text(RunCopy(src, L"", kBase)), notCreated);

  EXPECT_EQ(ReadBytes(dst), "earlier copy");
  ExpectOnlyFiles(dir, {L"src.txt", L"dst.txt"});
}

// A destination that fails like a full disk after a number of bytes.
class TFullDiskStream : public THandleStream {
 public:
  TFullDiskStream(std::unique_ptr<THandleStream> inner, int64_t room, bool shortWrite)
      : THandleStream(INVALID_HANDLE_VALUE), FInner(std::move(inner)), FRoom(room), FShort(shortWrite) {}
  int64_t Write(const void* buffer, int64_t count) override {
    if (count > FRoom) {
      if (!FShort) throw EWriteFileStreamError(ERROR_DISK_FULL);
      count = FRoom;
    }
    FRoom -= count;
    return count ? FInner->Write(buffer, count) : 0;
  }
  int64_t Read(void* b, int64_t n) override { return FInner->Read(b, n); }
  int64_t Seek(int64_t o, TSeekOrigin s) override { return FInner->Seek(o, s); }
  int64_t Size() override { return FInner->Size(); }

 private:
  std::unique_ptr<THandleStream> FInner;
  int64_t FRoom;
  bool FShort;
};

TEST(CopyEngine, FullDiskInEveryPhase) {
  struct TCase {
    TMode mode;
    int64_t room;
    bool shortWrite;
  };
  // Incompressible 20000 bytes: the deflate data is ~20010 bytes, written when the stream ends. A full
  // disk is the full-disk error in every phase: header, data, end of the deflate data, trailer, directory.
  const TCase cases[] = {
      {TMode::Plain, 5000, false},      {TMode::Plain, 5000, true},       {TMode::Gzip, 10, false},
      {TMode::Gzip, 5000, false},       {TMode::Gzip, 5000, true},        {TMode::Gzip, 20030, false},
      {TMode::Gzip, 20050, false},      {TMode::ZipDeflate, 10, false},   {TMode::ZipDeflate, 5000, false},
      {TMode::ZipStored, 20060, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.mode) << " room " << c.room << " short " << c.shortWrite);
    TempDir dir;
    const std::wstring src = dir / L"src.bin", dst = dir / (std::wstring(L"dst.bin") + ModeExt(c.mode));
    ASSERT_TRUE(WriteBytes(src, Pattern(20000, 7, false)));
    ASSERT_TRUE(WriteBytes(dst, "earlier copy"));
    std::wstring msg;
    int32_t code = RunCopy(src, dst, kBase | ModeOptions(c.mode), [&](TWinCopyThread& t) {
      t.SetDestStreamFactory([&](const std::wstring& name, bool overwrite, uint32_t mode) {
        return std::make_unique<TFullDiskStream>(std::make_unique<TWriteFileStream>(name, overwrite, mode, 0), c.room,
                                                 c.shortWrite);
      });
    }, &msg);
    const char* op = c.mode == TMode::Plain ? "Copy" : c.mode == TMode::Gzip ? "gzip" : "Zip";
    EXPECT_EQ(Text(code), std::string("Error - Low disk space (-> ") + op + ")") << std::string(msg.begin(), msg.end());
    EXPECT_EQ(ReadBytes(dst), "earlier copy");
    ExpectOnlyFiles(dir, {L"src.bin", std::wstring(L"dst.bin") + ModeExt(c.mode)});
  }
}

TEST(CopyEngine, StopInTheMiddleRemovesThePartialCopy) {
  for (TMode mode : {TMode::Plain, TMode::Gzip, TMode::ZipDeflate}) {
    TempDir dir;
    const std::wstring src = dir / L"src.bin", dst = dir / (std::wstring(L"dst") + ModeExt(mode));
    ASSERT_TRUE(WriteBytes(src, Pattern(200000, 3, false)));
    ASSERT_TRUE(WriteBytes(dst, "earlier copy"));
    int blocks = 0;
    TWinCopyThread* self = nullptr;
    int32_t code = RunCopy(src, dst, kBase | ModeOptions(mode), [&](TWinCopyThread& t) {
      self = &t;
      t.SetOnProgress([&](TFileAction, int64_t count, bool) {
        if (count > 0 && ++blocks == 3) self->CancelThread();
      });
    });
    EXPECT_EQ(CopyErrorNumber(code), TCopyErrorNo::enTerminated);
    EXPECT_EQ(CopyErrorSeverity(code), TCopySeverity::csNone);
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(ReadBytes(dst), "earlier copy");
    ExpectOnlyFiles(dir, {L"src.bin", std::wstring(L"dst") + ModeExt(mode)});
  }
}

TEST(CopyEngine, PauseHoldsTheCopyUntilResumed) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", Pattern(100000, 5, true)));
  TWinCopyThread t(dir / L"s", dir / L"d", kBase, kBuf, kPriorityNormal);
  t.SetPaused(true);
  t.Start(Pool());
  Sleep(100);
  EXPECT_FALSE(t.Done());
  EXPECT_EQ(GetFileAttributesW((dir / L"d").c_str()), INVALID_FILE_ATTRIBUTES);
  t.SetPaused(false);
  t.WaitFor();
  EXPECT_EQ(t.ErrorCode(), 0);
  EXPECT_EQ(ReadBytes(dir / L"d"), ReadBytes(dir / L"s"));
}

// A source that grows while it is copied is reported, not cut at the size seen at the start.
TEST(CopyEngine, SourceChangingDuringTheCopyIsReported) {
  for (TMode mode : {TMode::Plain, TMode::Gzip, TMode::ZipStored}) {
    TempDir dir;
    const std::wstring src = dir / L"grow.log", dst = dir / (std::wstring(L"copy") + ModeExt(mode));
    ASSERT_TRUE(WriteBytes(src, Pattern(3 * kBuf, 9, true)));
    bool grown = false;
    std::wstring msg;
    int32_t code = RunCopy(
        src, dst, kBase | ModeOptions(mode),
        [&](TWinCopyThread& t) {
          t.SetOnProgress([&](TFileAction, int64_t count, bool) {
            if (count > 0 && !grown) {
              grown = true;
              HANDLE h = CreateFileW(src.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
              DWORD put;
              WriteFile(h, "more", 4, &put, nullptr);
              CloseHandle(h);
            }
          });
        },
        &msg);
    EXPECT_EQ(Text(code).substr(0, 32), "Error - Could not read from file") << static_cast<int>(mode);
    EXPECT_FALSE(msg.empty());
    EXPECT_EQ(GetFileAttributesW(dst.c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

// Large compressed copies: blocks deflated on several threads, joined into one deflate stream. Small
// blocks here, so that the cases sit around the block size, the 32 KiB dictionary and the threshold.
constexpr TDeflateBlocks kBlocks{50000, 10000, 3};

TEST(CopyEngine, LargeCompressedCopiesDeflateBlocksOnSeveralThreads) {
  const size_t b = kBlocks.BlockSize, min = static_cast<size_t>(kBlocks.MinSize);
  const size_t sizes[] = {0, min - 1, min, 5 * b, 5 * b + 1, 8 * b - 1, 40000 + 3 * 32768, 300000};
  for (TMode mode : {TMode::Gzip, TMode::ZipDeflate}) {
    for (size_t size : sizes) {
      for (bool verify : {false, true}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(mode) << " size " << size << " verify " << verify);
        TempDir dir;
        const std::wstring from = dir / L"src.dat", to = dir / (std::wstring(L"dst") + ModeExt(mode));
        const std::string data = Pattern(size, static_cast<unsigned>(size), size % 2 == 0);
        ASSERT_TRUE(WriteBytes(from, data));
        int progress = 0;
        TWinCopyThread t(from, to, kBase | ModeOptions(mode) | (verify ? CopyOptions({coVerify}) : 0), kBuf,
                         kPriorityNormal);
        t.SetDeflateBlocks(kBlocks);
        t.SetOnProgress([&](TFileAction a, int64_t count, bool) {
          if (a == TFileAction::acCompress && count > 0) ++progress;
        });
        t.Start(Pool());
        t.WaitFor();
        ASSERT_EQ(t.ErrorCode(), 0) << std::string(t.SysErrorMsg().begin(), t.SysErrorMsg().end());
        EXPECT_EQ(Unpack(mode, to), data);
        EXPECT_EQ(t.Crc(), crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(size)));
        EXPECT_EQ(t.Result().SourceBytes, static_cast<int64_t>(size));
        // One progress call per block above the threshold (a file of whole blocks ends with an empty one).
        if (size >= min) {
          EXPECT_EQ(progress, static_cast<int>(size / b + 1));
        }
        ExpectOnlyFiles(dir, {L"src.dat", std::wstring(L"dst") + ModeExt(mode)});
      }
    }
  }
}

TEST(CopyEngine, LargeCompressedCopyStopsAndPausesPerBlock) {
  for (TMode mode : {TMode::Gzip, TMode::ZipDeflate}) {
    SCOPED_TRACE(static_cast<int>(mode));
    TempDir dir;
    const std::wstring src = dir / L"src.bin", dst = dir / (std::wstring(L"dst") + ModeExt(mode));
    const std::string data = Pattern(400000, 4, true);
    ASSERT_TRUE(WriteBytes(src, data));
    ASSERT_TRUE(WriteBytes(dst, "earlier copy"));
    // Paused at the third block: nothing more is written until resumed.
    {
      std::atomic<int> blocks{0};
      TWinCopyThread t(src, dst, kBase | ModeOptions(mode), kBuf, kPriorityNormal);
      t.SetDeflateBlocks(kBlocks);
      t.SetOnProgress([&](TFileAction, int64_t count, bool) {
        if (count > 0 && ++blocks == 3) t.SetPaused(true);
      });
      t.Start(Pool());
      for (int i = 0; i < 3000 && !t.Paused(); ++i) Sleep(10);
      ASSERT_TRUE(t.Paused());
      Sleep(200);
      EXPECT_FALSE(t.Done());
      EXPECT_EQ(blocks, 3);
      t.SetPaused(false);
      t.WaitFor();
      EXPECT_EQ(t.ErrorCode(), 0);
      EXPECT_EQ(blocks, 41);
      EXPECT_EQ(Unpack(mode, dst), data);
    }
    // Stopped at the third block: ended there, the earlier copy kept.
    ASSERT_TRUE(WriteBytes(dst, "earlier copy"));
    int blocks = 0;
    TWinCopyThread* self = nullptr;
    int32_t code = RunCopy(src, dst, kBase | ModeOptions(mode), [&](TWinCopyThread& t) {
      self = &t;
      t.SetDeflateBlocks(kBlocks);
      t.SetOnProgress([&](TFileAction, int64_t count, bool) {
        if (count > 0 && ++blocks == 3) self->CancelThread();
      });
    });
    EXPECT_EQ(CopyErrorNumber(code), TCopyErrorNo::enTerminated);
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(ReadBytes(dst), "earlier copy");
    ExpectOnlyFiles(dir, {L"src.bin", std::wstring(L"dst") + ModeExt(mode)});
  }
}

// A source whose reads fail after a number of bytes.
class TFailingSource : public THandleStream {
 public:
  TFailingSource(HANDLE h, int64_t room) : THandleStream(h), FRoom(room) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (count > FRoom) throw EReadFileStreamError(ERROR_CRC);
    FRoom -= count;
    return THandleStream::Read(buffer, count);
  }

 private:
  int64_t FRoom;
};

TEST(CopyEngine, ReadErrorInTheMiddleKeepsTheEarlierCopy) {
  for (TMode mode : {TMode::Plain, TMode::Gzip, TMode::ZipDeflate}) {
    for (bool blocks : {false, true}) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(mode) << " blocks " << blocks);
      TempDir dir;
      const std::wstring src = dir / L"src.bin", dst = dir / (std::wstring(L"dst") + ModeExt(mode));
      ASSERT_TRUE(WriteBytes(src, Pattern(300000, 6, true)));
      ASSERT_TRUE(WriteBytes(dst, "earlier copy"));
      std::wstring msg;
      int32_t code = RunCopy(src, dst, kBase | ModeOptions(mode), [&](TWinCopyThread& t) {
        if (blocks) t.SetDeflateBlocks(kBlocks);
        t.SetSourceStreamFactory([](const std::wstring& name) {
          HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
          return std::make_unique<TFailingSource>(h, 150000);
        });
      }, &msg);
      EXPECT_EQ(Text(code).substr(0, 32), "Error - Could not read from file");
      EXPECT_NE(msg.find(L"0x00000017"), std::wstring::npos) << std::string(msg.begin(), msg.end());
      EXPECT_EQ(ReadBytes(dst), "earlier copy");
      ExpectOnlyFiles(dir, {L"src.bin", std::wstring(L"dst") + ModeExt(mode)});
    }
  }
}

TEST(CopyEngine, FullDiskInLargeCompressedCopies) {
  // 300000 incompressible bytes in blocks of 10000: header, data and the last block.
  for (TMode mode : {TMode::Gzip, TMode::ZipDeflate}) {
    for (int64_t room : {10, 100000, 300020}) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(mode) << " room " << room);
      TempDir dir;
      const std::wstring src = dir / L"src.bin", dst = dir / (std::wstring(L"dst") + ModeExt(mode));
      ASSERT_TRUE(WriteBytes(src, Pattern(300000, 8, false)));
      ASSERT_TRUE(WriteBytes(dst, "earlier copy"));
      int32_t code = RunCopy(src, dst, kBase | ModeOptions(mode), [&](TWinCopyThread& t) {
        t.SetDeflateBlocks(kBlocks);
        t.SetDestStreamFactory([&](const std::wstring& name, bool overwrite, uint32_t m) {
          return std::make_unique<TFullDiskStream>(std::make_unique<TWriteFileStream>(name, overwrite, m, 0), room,
                                                   false);
        });
      });
      EXPECT_EQ(Text(code).substr(0, 27), "Error - Low disk space (-> ");
      EXPECT_EQ(ReadBytes(dst), "earlier copy");
      ExpectOnlyFiles(dir, {L"src.bin", std::wstring(L"dst") + ModeExt(mode)});
    }
  }
}

TEST(CopyEngine, FreeProcessorsStaysWithinTheMachine) {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  for (int i = 0; i < 2; ++i) {
    const unsigned n = FreeProcessors();
    EXPECT_GE(n, 1u);
    EXPECT_LE(n, si.dwNumberOfProcessors);
  }
}

class TVerifyProbe : public TWinCopyThread {
 public:
  TVerifyProbe() : TWinCopyThread(L"a", L"b", 0, kBuf, kPriorityNormal) {}
  int32_t Open(const std::wstring& name) {
    int32_t r = OpenForVerify(name);
    sDest.reset();
    return r;
  }
  const std::wstring& Message() const { return FSysErrMsg; }
  // Verifies an archive as the engine verifies its own copy of data with this CRC and size.
  int32_t Verify(TMode mode, const std::wstring& name, const std::string& data) {
    TempNameXL = name;
    FCrc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    UTotal = static_cast<int64_t>(data.size());
    FNeedCrc = true;
    int32_t r = mode == TMode::Gzip ? VerifyGzFile() : VerifyZipFile();
    TempNameXL.clear();
    return r;
  }
};

TEST(CopyEngine, VerificationRetriesOpeningALockedCopyUntilStopped) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"v", "x"));
  HANDLE lock = CreateFileW((dir / L"v").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  TVerifyProbe probe;
  probe.VerifyDelay = 1;  // 40 ms per try
  EXPECT_EQ(Text(probe.Open(dir / L"v")), "Error - Could not open destination file for verification");
  EXPECT_TRUE(probe.Message().ends_with(L" (1000ms)"));
  // A stop ends the retries at once, even with a long delay.
  probe.VerifyDelay = 3600;
  probe.CancelThread();
  EXPECT_EQ(Text(probe.Open(dir / L"v")), "Terminated by user");
  CloseHandle(lock);
  EXPECT_EQ(probe.Open(dir / L"v"), 0);
}

std::string RawDeflate(const std::string& data, int flush) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(data.size() + 1024, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, flush);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void PutLe(std::string& s, size_t at, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

// Damaged copies that gzip -t and unzip -t reject fail the verification too.
TEST(CopyEngine, VerificationRejectsDamagedArchives) {
  TempDir dir;
  const std::string data = Pattern(30000, 11, true);
  ASSERT_TRUE(WriteBytes(dir / L"src.txt", data));
  ASSERT_EQ(RunCopy(dir / L"src.txt", dir / L"good.gz", kBase | ModeOptions(TMode::Gzip)), 0);
  ASSERT_EQ(RunCopy(dir / L"src.txt", dir / L"good.zip", kBase | ModeOptions(TMode::ZipDeflate)), 0);
  const std::string gz = ReadBytes(dir / L"good.gz"), zip = ReadBytes(dir / L"good.zip");
  const size_t gzData = gz.find("src.txt") + 8;  // after the name and its zero
  const size_t central = zip.find("PK\x01\x02"), end = zip.find("PK\x05\x06");
  ASSERT_NE(central, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  // Deflate data whose last block is not final, in place of the real data.
  const std::string open = RawDeflate(data, Z_SYNC_FLUSH);

  struct TCase {
    const char* what;
    TMode mode;
    std::function<std::string()> damage;
  };
  const TCase cases[] = {
      {"gzip as written", TMode::Gzip, [&] { return gz; }},
      {"gzip: last block not final", TMode::Gzip,
       [&] {
         std::string s = gz.substr(0, gzData) + open + gz.substr(gz.size() - 8);
         PutLe(s, 16, open.size(), 8);
         return s;
       }},
      {"gzip: no trailer", TMode::Gzip, [&] { return gz.substr(0, gz.size() - 8); }},
      {"gzip: wrong trailer CRC", TMode::Gzip, [&] { std::string s = gz; s[s.size() - 8] ^= 1; return s; }},
      {"gzip: wrong trailer size", TMode::Gzip, [&] { std::string s = gz; s[s.size() - 4] ^= 1; return s; }},
      {"gzip: method 7", TMode::Gzip, [&] { std::string s = gz; s[2] = 7; return s; }},
      {"gzip: bytes after the trailer", TMode::Gzip, [&] { return gz + "junk"; }},
      {"zip as written", TMode::ZipDeflate, [&] { return zip; }},
      {"zip: no central directory", TMode::ZipDeflate, [&] { return zip.substr(0, central); }},
      {"zip: no end record", TMode::ZipDeflate, [&] { return zip.substr(0, end); }},
      {"zip: central method differs", TMode::ZipDeflate, [&] { std::string s = zip; s[central + 10] = 0; return s; }},
      {"zip: central CRC differs", TMode::ZipDeflate, [&] { std::string s = zip; s[central + 16] ^= 1; return s; }},
      {"zip: central size differs", TMode::ZipDeflate, [&] { std::string s = zip; s[central + 24] ^= 1; return s; }},
      {"zip: central name differs", TMode::ZipDeflate, [&] { std::string s = zip; s[central + 46] = 'S'; return s; }},
      {"zip: end record offset wrong", TMode::ZipDeflate, [&] { std::string s = zip; s[end + 16] ^= 1; return s; }},
      {"zip: local method 9", TMode::ZipDeflate, [&] { std::string s = zip; s[8] = 9; s[central + 10] = 9; return s; }},
      {"zip: last block not final", TMode::ZipDeflate,
       [&] {
         const size_t name = 30 + 7;
         std::string local = zip.substr(0, name);
         PutLe(local, 18, open.size(), 4);
         std::string dir = zip.substr(central);
         PutLe(dir, 20, open.size(), 4);
         PutLe(dir, dir.size() - 22 + 16, name + open.size(), 4);
         return local + open + dir;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring file = dir / L"damaged";
    ASSERT_TRUE(WriteBytes(file, c.damage()));
    TVerifyProbe probe;
    const int32_t r = probe.Verify(c.mode, file, data);
    if (std::string(c.what).ends_with("as written"))
      EXPECT_EQ(r, 0);
    else
      EXPECT_TRUE(IsCopyFailure(r)) << Text(r);
  }
}

// Waits for a copy that must end; a stranded one fails the test instead of hanging it.
bool EndsWithin(const TCopyThread& t, int seconds) {
  for (ULONGLONG until = GetTickCount64() + seconds * 1000ull; !t.Done();) {
    if (GetTickCount64() > until) return false;
    Sleep(1);
  }
  return true;
}

// A worker that has just ended its job must not take the job counted for an idle one and leave
// a later job without a worker: jobs queued one at a time, with pauses longer than the idle
// time-out between them, all run.
TEST(CopyPool, JobsQueuedOneAtATimeAfterIdleTimeOutsAllRun) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", Pattern(5000, 2, true)));
  TCopyPool pool(2, std::chrono::milliseconds(20));
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE(i);
    // Two copies at once, then one: the second worker ends idle while the first goes on.
    std::vector<std::unique_ptr<TWinCopyThread>> copies;
    for (int k = 0; k < (i % 3 == 0 ? 2 : 1); ++k) {
      copies.push_back(std::make_unique<TWinCopyThread>(dir / L"s", dir / (L"d" + std::to_wstring(k)), kBase, kBuf,
                                                        kPriorityNormal));
      copies.back()->Start(pool);
    }
    for (auto& c : copies) {
      ASSERT_TRUE(EndsWithin(*c, 20));
      EXPECT_EQ(c->ErrorCode(), 0);
    }
    // Longer than the idle time-out: the workers end.
    while (pool.WorkerCount() > 0) Sleep(1);
  }
}

TEST(CopyPool, WorkerLimitHoldsAndEndingThePoolStopsEveryCopy) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", Pattern(100000, 3, false)));
  std::vector<std::unique_ptr<TWinCopyThread>> copies;
  {
    TCopyPool pool(2);
    for (int i = 0; i < 5; ++i) {
      copies.push_back(std::make_unique<TWinCopyThread>(dir / L"s", dir / (L"d" + std::to_wstring(i)), kBase, kBuf,
                                                        kPriorityNormal));
      // Paused copies hold their workers: the others wait in the queue.
      copies.back()->SetPaused(true);
      copies.back()->Start(pool);
    }
    EXPECT_EQ(pool.WorkerCount(), 2u);
  }
  for (auto& c : copies) {
    ASSERT_TRUE(c->Done());
    EXPECT_EQ(Text(c->ErrorCode()), "Terminated by user (-> Copy)");
  }
  ExpectOnlyFiles(dir, {L"s"});
}

TEST(CopyPool, AnExceptionInAJobIsKeptInItsResult) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", "data"));
  TWinCopyThread t(dir / L"s", dir / L"d.gz", kBase | ModeOptions(TMode::Gzip), kBuf, kPriorityNormal);
  t.SetOnProgress([](TFileAction, int64_t count, bool) {
    if (count > 0) throw std::runtime_error("progress failed");
  });
  t.Start(Pool());
  t.WaitFor();
  const TCopyResult& r = t.Result();
  EXPECT_TRUE(IsCopyFailure(r.ErrorCode));
  EXPECT_EQ(CopyErrorOperation(r.ErrorCode), TCopyOperation::opGzip);
  EXPECT_EQ(r.SysErrorMsg, L"progress failed");
  ExpectOnlyFiles(dir, {L"s"});

  // A bare job that throws reaches the pool's error handler once.
  TCopyPool pool(1);
  std::atomic<int> reported{0};
  std::atomic<bool> ran{false};
  pool.OnJobError = [&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::runtime_error& x) {
      if (std::string(x.what()) == "job failed") ++reported;
    }
  };
  pool.Submit([](std::stop_token) { throw std::runtime_error("job failed"); });
  pool.Submit([&](std::stop_token) { ran = true; });
  while (!ran) Sleep(1);
  EXPECT_EQ(reported, 1);
}

TEST(CopyPool, LeftoverTemporaryCopiesAreRemovedAtTheNextCopy) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", "new"));
  ASSERT_TRUE(CreateDirectoryW((dir / L"~hvcopy.tmp").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(dir / L"~hvcopy.tmp\\~hv00010002.tmp", "half a copy"));
  {
    TCopyPool pool(1);
    TWinCopyThread t(dir / L"s", dir / L"d", kBase, kBuf, kPriorityNormal);
    t.Start(pool);
    t.WaitFor();
    EXPECT_EQ(t.ErrorCode(), 0);
    ExpectOnlyFiles(dir, {L"s", L"d"});
  }
  // The pool removes its empty temporary folder when it ends.
  EXPECT_EQ(GetFileAttributesW((dir / L"~hvcopy.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The temporary copy's name is longer than the destination's: near the classic path limit it still works.
TEST(CopyEngine, DestinationNearThePathLimit) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", "near the limit"));
  const std::wstring folder = dir / std::wstring(232 - dir.Path().size(), L'f');
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring dst = folder + L"\\d.txt";
  ASSERT_LT(dst.size(), 248u);
  for (TMode mode : {TMode::Plain, TMode::Gzip}) {
    EXPECT_EQ(RunCopy(dir / L"s", dst, kBase | ModeOptions(mode)), 0);
    EXPECT_EQ(Unpack(mode, dst), "near the limit");
  }
}

// The finished copy gets its name through its open handle: every form a destination can be given in
// names the same file as the system's own rename would.
TEST(CopyEngine, DestinationNamesInEveryForm) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", "named"));
  ASSERT_TRUE(CreateDirectoryW((dir / L"sub").c_str(), nullptr));
  std::wstring deep = dir / std::wstring(120, L'a');
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  deep += L"\\" + std::wstring(120, L'b');
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
  struct TCase {
    std::wstring given, lands;
  };
  const TCase cases[] = {
      {L"rel.txt", dir / L"rel.txt"},
      {L"sub\\..\\dots.txt", dir / L"dots.txt"},
      {dir.Path() + L"/sub/slash.txt", dir / L"sub\\slash.txt"},
      {deep + L"\\beyond the path limit.txt", deep + L"\\beyond the path limit.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << WideToUtf8(c.given));
    for (int round = 0; round < 2; ++round) EXPECT_EQ(RunCopy(dir / L"s", c.given, kBase), 0);
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + c.lands), "named");
  }
  SetCurrentDirectoryW(cwd);
  EXPECT_TRUE(Entries(dir / L"~hvcopy.tmp", false).empty());
  EXPECT_TRUE(Entries(L"\\\\?\\" + deep + L"\\~hvcopy.tmp", false).empty());
  // Beyond the path limit the folders go by hand.
  DeleteFileW((L"\\\\?\\" + cases[3].lands).c_str());
  RemoveDirectoryW((L"\\\\?\\" + deep + L"\\~hvcopy.tmp").c_str());
  RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
}

// A copy run on its owner's thread: done on return, progress on that thread when there is no UI.
TEST(CopyEngine, RunHereCopiesOnTheCallingThread) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", Pattern(3 * kBuf, 5, true)));
  TCopyPool pool(1);
  std::vector<DWORD> threads;
  TWinCopyThread t(dir / L"s", dir / L"d.gz", kBase | ModeOptions(TMode::Gzip), kBuf, kPriorityNormal);
  t.SetOnProgress([&](TFileAction, int64_t, bool) { threads.push_back(GetCurrentThreadId()); });
  t.RunHere(pool);
  EXPECT_TRUE(t.Done());
  EXPECT_EQ(t.ErrorCode(), 0);
  EXPECT_EQ(Unpack(TMode::Gzip, dir / L"d.gz"), Pattern(3 * kBuf, 5, true));
  EXPECT_EQ(pool.WorkerCount(), 0u);
  ASSERT_FALSE(threads.empty());
  for (DWORD id : threads) EXPECT_EQ(id, GetCurrentThreadId());
  TWinCopyThread gone(dir / L"gone", dir / L"x", kBase, kBuf, kPriorityNormal);
  gone.RunHere(pool);
  EXPECT_EQ(Text(gone.ErrorCode()), "Error - File not found (-> Copy)");
}

TEST(CopyEngine, ProgressRunsOnTheUiThread) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", Pattern(5 * kBuf, 4, true)));
  InitSyncCall();
  std::vector<DWORD> threads;
  TWinCopyThread t(dir / L"s", dir / L"d", kBase, kBuf, kPriorityNormal);
  t.SetOnProgress([&](TFileAction, int64_t, bool) { threads.push_back(GetCurrentThreadId()); });
  t.Start(Pool());
  // The UI thread keeps its messages flowing while it waits.
  while (!t.Done()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  DoneSyncCall();
  EXPECT_EQ(t.ErrorCode(), 0);
  ASSERT_FALSE(threads.empty());
  for (DWORD id : threads) EXPECT_EQ(id, GetCurrentThreadId());
}

TEST(CopyEngine, FutureTimesAreClampedOnlyWithCheckTime) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", "t"));
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER future{{now.dwLowDateTime, now.dwHighDateTime}};
  future.QuadPart += 3ULL * 86400 * 10000000;
  FILETIME ft{future.LowPart, future.HighPart};
  HANDLE h = CreateFileW((dir / L"s").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  for (bool check : {false, true}) {
    const std::wstring d = dir / (check ? L"checked" : L"unchecked");
    ASSERT_EQ(RunCopy(dir / L"s", d, kBase | (check ? CopyOptions({coCheckTime}) : 0)), 0);
    WIN32_FILE_ATTRIBUTE_DATA ad;
    GetFileAttributesExW(d.c_str(), GetFileExInfoStandard, &ad);
    ULARGE_INTEGER got{{ad.ftLastWriteTime.dwLowDateTime, ad.ftLastWriteTime.dwHighDateTime}};
    if (check)
      EXPECT_LT(got.QuadPart, future.QuadPart - 86400ULL * 10000000);
    else
      EXPECT_EQ(got.QuadPart, future.QuadPart);
  }
}

TEST(CopyEngine, ErrorCodesReadAsLogText) {
  EXPECT_EQ(FormatCopyError(0x1107, L"", L""), L"Error - Low disk space (-> Copy)");
}

}  // namespace
