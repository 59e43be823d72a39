// Copy engine against its baselines, measured in one run and reported as ratios (baseline time /
// engine time; 1.0 means as fast):
//   plain copies against CopyFileW (1 GiB in large files, 10,000 small files),
//   gzip and zip copies against plain zlib raw deflate of the same data at the same level.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "hvwatchdog/copy/BlockDeflate.h"
#include "hvwatchdog/copy/ExtFileTools.h"

namespace {

using namespace hv;
using Clock = std::chrono::steady_clock;

uint32_t kBufSize = 0x80000;  // as the watchdog's backup thread uses
constexpr int kRounds = 3;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "benchmark failed: %s (%lu)\n", what, GetLastError());
    std::exit(1);
  }
}

// Text-like data that deflate packs to roughly a third.
std::string MakeData(size_t n, unsigned seed) {
  static const char* words[] = {"backup ", "watchdog ", "copy ", "file ", "destination ", "source ", "0x1F8B ",
                                "interval ", "monitor ", "\r\n", "version ", "2026-12-10 "};
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(n + 16);
  while (s.size() < n) {
    if (rng() % 5 == 0) {
      for (int i = 0; i < 6; ++i) s.push_back(static_cast<char>(rng()));
    } else {
      s += words[rng() % std::size(words)];
    }
  }
  s.resize(n);
  return s;
}

void WriteFileBytes(const std::wstring& name, const std::string& data) {
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(h != INVALID_HANDLE_VALUE, "create data file");
  DWORD put = 0;
  Check(WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &put, nullptr) && put == data.size(), "write data");
  CloseHandle(h);
}

TCopyPool& Pool() {
  static TCopyPool pool(4);
  return pool;
}

void EngineCopy(const std::wstring& src, const std::wstring& dst, TCopyOptions extra, unsigned threads = 0) {
  TWinCopyThread t(src, dst, CopyOptions({coOverwrite, coAttributes, coTimeStamp}) | extra, kBufSize,
                   kPriorityNormal);
  TDeflateBlocks blocks;
  blocks.Threads = threads;
  t.SetDeflateBlocks(blocks);
  t.Start(Pool());
  // The backup thread polls Done; here the copy is simply waited for.
  t.WaitFor();
  Check(t.ErrorCode() == 0, "engine copy");
}

// count copies with up to `parallel` of them in flight at once; one at a time runs them on this thread,
// as the watchdog's backup thread does.
void EngineCopies(int count, int parallel, const std::function<std::wstring(int)>& src,
                  const std::function<std::wstring(int)>& dst) {
  if (parallel == 1) {
    for (int i = 0; i < count; ++i) {
      TWinCopyThread t(src(i), dst(i), CopyOptions({coOverwrite, coAttributes, coTimeStamp}), kBufSize,
                       kPriorityNormal);
      t.RunHere(Pool());
      Check(t.ErrorCode() == 0, "engine copy");
    }
    return;
  }
  std::vector<std::unique_ptr<TWinCopyThread>> flight(static_cast<size_t>(parallel));
  for (int i = 0; i < count + parallel; ++i) {
    auto& slot = flight[static_cast<size_t>(i % parallel)];
    if (slot) {
      slot->WaitFor();
      Check(slot->ErrorCode() == 0, "engine copy");
      slot.reset();
    }
    if (i < count) {
      slot = std::make_unique<TWinCopyThread>(src(i), dst(i), CopyOptions({coOverwrite, coAttributes, coTimeStamp}),
                                              kBufSize, kPriorityNormal);
      slot->Start(Pool());
    }
  }
}

void DeleteFiles(int count, const std::function<std::wstring(int)>& name) {
  for (int i = 0; i < count; ++i) DeleteFileW(name(i).c_str());
}

// Reads the source in the engine's block size and writes raw deflate data, as zlib's own loop.
void ZlibDeflate(const std::wstring& src, const std::wstring& dst) {
  HANDLE in = CreateFileW(src.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  HANDLE out = CreateFileW(dst.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  Check(in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE, "zlib files");
  static std::vector<unsigned char> ibuf(kBufSize), obuf(0x10000);
  z_stream z{};
  Check(deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK, "deflateInit2");
  DWORD got = 0, put = 0;
  int flush;
  do {
    Check(ReadFile(in, ibuf.data(), kBufSize, &got, nullptr), "zlib read");
    flush = got < kBufSize ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = ibuf.data();
    z.avail_in = got;
    do {
      z.next_out = obuf.data();
      z.avail_out = static_cast<uInt>(obuf.size());
      deflate(&z, flush);
      DWORD n = static_cast<DWORD>(obuf.size() - z.avail_out);
      if (n) Check(WriteFile(out, obuf.data(), n, &put, nullptr) && put == n, "zlib write");
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&z);
  CloseHandle(in);
  CloseHandle(out);
}

// Best of kRounds for each side, the two sides alternating so that both see the same cache state.
struct TResult {
  double baseline, engine;
};
TResult Compare(const std::function<void()>& baseline, const std::function<void()>& engine) {
  double b = 1e30, e = 1e30;
  for (int r = 0; r < kRounds; ++r) {
    auto t0 = Clock::now();
    baseline();
    auto t1 = Clock::now();
    engine();
    auto t2 = Clock::now();
    b = std::min(b, std::chrono::duration<double>(t1 - t0).count());
    e = std::min(e, std::chrono::duration<double>(t2 - t1).count());
  }
  return {b, e};
}

void Report(const char* name, double megabytes, TResult r) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::printf("%-52s baseline %7.3f s (%7.1f MB/s)  engine %7.3f s (%7.1f MB/s)  ratio %.2f\n", name, r.baseline,
              megabytes / r.baseline, r.engine, megabytes / r.engine, r.baseline / r.engine);
}

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring n = fd.cFileName;
      if (n == L"." || n == L"..") continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(dir + L"\\" + n);
      else
        DeleteFileW((dir + L"\\" + n).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

}  // namespace

// wmain [work folder [parts]]: parts is any of l (large files), s (small files), n (small files: new
// names in 100 folders only), c (compression).
int wmain(int argc, wchar_t** argv) {
  std::wstring work = argc > 1 ? argv[1] : L"Z:\\tmp\\hvbench-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring parts = argc > 2 ? argv[2] : L"lsc";
  if (argc > 3) kBufSize = static_cast<uint32_t>(std::stoul(argv[3], nullptr, 0));
  auto part = [&](wchar_t c) { return parts.find(c) != std::wstring::npos; };
  CreateDirectoryW(work.c_str(), nullptr);
  const std::wstring src = work + L"\\src", a = work + L"\\a", b = work + L"\\b";
  for (const auto& d : {src, a, b}) CreateDirectoryW(d.c_str(), nullptr);

  // 1 GiB in four large files.
  constexpr int kLarge = 4;
  constexpr size_t kLargeSize = 256u << 20;
  const std::string block = part(L'l') || part(L'c') ? MakeData(kLargeSize, 1) : std::string();
  for (int i = 0; i < kLarge; ++i)
    if (part(L'l') || (i == 0 && part(L'c'))) WriteFileBytes(src + L"\\large" + std::to_wstring(i) + L".dat", block);
  auto large = [&](const std::wstring& dir, int i) { return dir + L"\\large" + std::to_wstring(i) + L".dat"; };
  if (part(L'l')) Report("plain copy, 1 GiB in 4 files vs CopyFileW", 1024.0,
         Compare([&] { for (int i = 0; i < kLarge; ++i) Check(CopyFileW(large(src, i).c_str(), large(a, i).c_str(), FALSE), "CopyFileW"); },
                 [&] { for (int i = 0; i < kLarge; ++i) EngineCopy(large(src, i), large(b, i), 0); }));

  // 10,000 small files of 1 to 8 KiB, in one folder and in 100 folders of 100; into an empty folder
  // (new names) and over the copies of the round before (overwrite). The engine writes each copy
  // under a temporary name and renames it; one copy at a time as the backup thread does, and four
  // at a time.
  constexpr int kSmall = 10000;
  const std::string smallData = MakeData(8192, 2);
  double smallMb = 0;
  for (int i = 0; i < kSmall; ++i) smallMb += (1024 + (i * 7919) % 7168) / 1048576.0;
  // n: only new names in 100 folders.
  const bool newOnly = !part(L's');
  for (int folders : {1, 100}) {
    if (!part(L's') && !part(L'n')) break;
    if (newOnly && folders == 1) continue;
    const std::wstring tag = L"\\small" + std::to_wstring(folders);
    auto small = [&](const std::wstring& root, int i) {
      return root + tag + L"\\d" + std::to_wstring(i % folders) + L"\\f" + std::to_wstring(i) + L".txt";
    };
    for (const auto& root : {src, a, b}) {
      CreateDirectoryW((root + tag).c_str(), nullptr);
      for (int d = 0; d < folders; ++d) CreateDirectoryW((root + tag + L"\\d" + std::to_wstring(d)).c_str(), nullptr);
    }
    for (int i = 0; i < kSmall; ++i) WriteFileBytes(small(src, i), smallData.substr(0, 1024 + (i * 7919) % 7168));
    auto from = [&](int i) { return small(src, i); };
    auto toA = [&](int i) { return small(a, i); };
    auto toB = [&](int i) { return small(b, i); };
    auto baseline = [&] {
      for (int i = 0; i < kSmall; ++i) Check(CopyFileW(from(i).c_str(), toA(i).c_str(), FALSE), "CopyFileW");
    };
    const std::string where = folders == 1 ? "1 folder" : "100 folders";
    for (int parallel : {1, 4}) {
      auto engine = [&] { EngineCopies(kSmall, parallel, from, toB); };
      const std::string how = parallel == 1 ? "" : ", 4 at once";
      // New names (both sides start from empty folders; the deletion is not timed), then overwrite
      // the copies just made; best of two each. Every new name in a folder of 10,000 costs Wine a
      // scan of that folder, so these rounds are few.
      TResult fresh{1e30, 1e30}, over{1e30, 1e30};
      for (int r = 0; r < 2; ++r) {
        DeleteFiles(kSmall, toA);
        DeleteFiles(kSmall, toB);
        for (TResult* res : {&fresh, &over}) {
          if (newOnly && res == &over) break;
          auto t0 = Clock::now();
          baseline();
          auto t1 = Clock::now();
          engine();
          auto t2 = Clock::now();
          res->baseline = std::min(res->baseline, std::chrono::duration<double>(t1 - t0).count());
          res->engine = std::min(res->engine, std::chrono::duration<double>(t2 - t1).count());
        }
      }
      Report(("small files, new names, " + where + how).c_str(), smallMb, fresh);
      if (!newOnly) Report(("small files, overwrite, " + where + how).c_str(), smallMb, over);
      std::fflush(stdout);
    }
  }

  // Compression: one 256 MiB file, zlib's default level on both sides; the engine with as many
  // threads as processors are free (the count it saw is shown) and with 4 threads.
  const std::wstring one = large(src, 0);
  if (part(L'c')) {
    struct TRow {
      const char* name;
      TCopyOptions options;
      const wchar_t* dest;
      unsigned threads;
      double best = 1e30;
      unsigned seen = 0;
    };
    TRow rows[] = {{"gzip copy, 256 MiB, free processors", CopyOptions({coCompress}), L"\\z.gz", 0},
                   {"zip copy, 256 MiB, free processors", CopyOptions({coZipCompress, coCompress}), L"\\z.zip", 0},
                   {"gzip copy, 256 MiB, 4 threads", CopyOptions({coCompress}), L"\\z4.gz", 4},
                   {"zip copy, 256 MiB, 4 threads", CopyOptions({coZipCompress, coCompress}), L"\\z4.zip", 4}};
    double base = 1e30;
    for (int r = 0; r < kRounds; ++r) {
      auto t0 = Clock::now();
      ZlibDeflate(one, a + L"\\z.deflate");
      base = std::min(base, std::chrono::duration<double>(Clock::now() - t0).count());
      for (auto& row : rows) {
        if (!row.threads) row.seen = std::max(row.seen, FreeProcessors());
        auto t1 = Clock::now();
        EngineCopy(one, b + row.dest, row.options, row.threads);
        row.best = std::min(row.best, std::chrono::duration<double>(Clock::now() - t1).count());
      }
    }
    for (const auto& row : rows) {
      const std::string name = std::string(row.name) + " vs zlib" +
                               (row.threads ? "" : " (" + std::to_string(row.seen) + " free)");
      Report(name.c_str(), 256.0, {base, row.best});
    }
  }

  RemoveTree(work);
  return 0;
}
