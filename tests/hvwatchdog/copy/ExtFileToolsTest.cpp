#include "hvwatchdog/copy/ExtFileTools.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "hvwatchdog/copy/ArchiveFormats.h"
#include "hvwatchdog/copy/FileErrors.h"
#include "support/TestSupport.h"

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

int32_t RunCopy(const std::wstring& src, const std::wstring& dst, TCopyOptions options,
                std::function<void(TWinCopyThread&)> setup = nullptr, std::wstring* sysMsg = nullptr) {
  TWinCopyThread t(src, dst, options, true, kBuf, kPriorityNormal);
  if (setup) setup(t);
  t.Start();
  while (!t.Done()) Sleep(1);
  if (sysMsg) *sysMsg = t.SysErrorMsg();
  return t.ErrorCode();
}

// Only the destination itself: no temporary copy is left beside it.
void ExpectOnlyFiles(const TempDir& dir, std::initializer_list<std::wstring> names) {
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir.Path() + L"\\*").c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do {
    std::wstring n = fd.cFileName;
    if (n != L"." && n != L"..") found.push_back(n);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(found.begin(), found.end());
  std::vector<std::wstring> want(names);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(found, want);
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
  TWinCopyThread t(dir / L"a.txt", dir / L"a.txt.gz", CopyOptions({coCompress, coAttributes}), false, kBuf,
                   kPriorityNormal);
  t.WaitFor();
  EXPECT_EQ(t.ErrorCode(), 0);
  EXPECT_GT(t.Ratio(), 0);
  EXPECT_LT(t.Ratio(), 50);
  EXPECT_EQ(GetFileAttributesW((dir / L"a.txt.gz").c_str()) & 0x21, 0x21u);
  SetFileAttributesW((dir / L"a.txt.gz").c_str(), 0x80);

  TWinCopyThread p(dir / L"a.txt", dir / L"b.txt", kBase, false, kBuf, kPriorityNormal);
  p.WaitFor();
  EXPECT_EQ(p.ErrorCode(), 0);
  EXPECT_EQ(p.Ratio(), 1000);
  SetFileAttributesW((dir / L"b.txt").c_str(), 0x80);

  // Wine keeps the archive bit of every file, so the reset shows in the zip entry's attributes.
  TWinCopyThread z(dir / L"a.txt", dir / L"a.zip", CopyOptions({coZipCompress, coCompress, coResetArchive}), false,
                   kBuf, kPriorityNormal);
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
  EXPECT_EQ(RunCopy(dir / L"gone.txt", dst, kBase), 0x110E);
  EXPECT_EQ(RunCopy(dir / L"gone.txt", dir / L"x.zip", kBase | ModeOptions(TMode::ZipDeflate)), 0x410E);

  // Source locked by another writer without sharing.
  HANDLE lock = CreateFileW(src.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(RunCopy(src, dst, kBase, nullptr, &msg), 0x1102);
  EXPECT_FALSE(msg.empty());
  EXPECT_EQ(RunCopy(src, dst + L".gz", kBase | ModeOptions(TMode::Gzip)), 0x2102);
  CloseHandle(lock);

  // Destination folder missing; existing destination without overwrite.
  EXPECT_EQ(RunCopy(src, dir / L"no\\such\\dst.txt", kBase), 0x1101);
  EXPECT_EQ(RunCopy(src, dst, CopyOptions({coAttributes}), nullptr, &msg), 0x1101);
  EXPECT_NE(msg.find(L"System error"), std::wstring::npos);
  EXPECT_EQ(RunCopy(src, L"", kBase), 0x1101);

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
    int32_t code;
  };
  // Incompressible 20000 bytes: the deflate data is ~20010 bytes, written when the stream ends.
  const TCase cases[] = {
      {TMode::Plain, 5000, false, 0x1107},     {TMode::Plain, 5000, true, 0x1107},
      {TMode::Gzip, 10, false, 0x2107},        {TMode::Gzip, 5000, false, 0x2107},
      {TMode::Gzip, 5000, true, 0x2107},       {TMode::Gzip, 20030, false, 0x2107},
      {TMode::Gzip, 20050, false, 0x2105},     {TMode::ZipDeflate, 10, false, 0x4005},
      {TMode::ZipDeflate, 5000, false, 0x4107}, {TMode::ZipStored, 20060, false, 0x4005},
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
    EXPECT_EQ(code, c.code) << std::string(msg.begin(), msg.end());
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
    EXPECT_EQ(code, (mode == TMode::Plain ? 0x1000 : mode == TMode::Gzip ? 0x2000 : 0x4000) | 0x80);
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(ReadBytes(dst), "earlier copy");
    ExpectOnlyFiles(dir, {L"src.bin", std::wstring(L"dst") + ModeExt(mode)});
  }
}

TEST(CopyEngine, PauseHoldsTheCopyUntilResumed) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"s", Pattern(100000, 5, true)));
  TWinCopyThread t(dir / L"s", dir / L"d", kBase, true, kBuf, kPriorityNormal);
  t.SetPaused(true);
  t.Start();
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
    EXPECT_EQ(code & 0xFFF, 0x104) << static_cast<int>(mode);
    EXPECT_FALSE(msg.empty());
    EXPECT_EQ(GetFileAttributesW(dst.c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

class TVerifyProbe : public TWinCopyThread {
 public:
  TVerifyProbe() : TWinCopyThread(L"a", L"b", 0, true, kBuf, kPriorityNormal) {}
  int32_t Open(const std::wstring& name) {
    int32_t r = OpenForVerify(name);
    sDest.reset();
    return r;
  }
};

TEST(CopyEngine, VerificationRetriesOpeningALockedCopy) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir / L"v", "x"));
  HANDLE lock = CreateFileW((dir / L"v").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  TVerifyProbe probe;
  probe.VerifyDelay = 1;  // 40 ms per try
  EXPECT_EQ(probe.Open(dir / L"v"), 278);
  const std::wstring& msg = probe.SysErrorMsg();
  EXPECT_TRUE(msg.ends_with(L" (1000ms)")) << std::string(msg.begin(), msg.end());
  CloseHandle(lock);
  EXPECT_EQ(probe.Open(dir / L"v"), 0);
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
