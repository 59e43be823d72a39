#include "hvwatchdog/copy/BlockDeflate.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/text/StringUtils.h"
#include "hvwatchdog/copy/ZLibEx.h"

namespace hv {

namespace {

constexpr size_t kDictSize = 32768;

enum class TSlotState { Free, Queued, Done };

struct TSlot {
  std::unique_ptr<unsigned char[]> Input;  // dictionary area, then the block
  size_t DictSize = 0;
  size_t Size = 0;
  bool Last = false;
  std::vector<unsigned char> Output;
  size_t OutSize = 0;
  uint32_t Crc = 0;
  std::string Error;
  TSlotState State = TSlotState::Free;
};

class TDeflater {
 public:
  explicit TDeflater(int level) {
    if (deflateInit2(&FZ, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) FFailed = true;
  }
  ~TDeflater() {
    if (!FFailed) deflateEnd(&FZ);
  }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;

  // Deflates the slot's block into its output; false with the slot's error set on failure.
  bool Run(TSlot& s) {
    if (FFailed) {
      s.Error = "deflateInit2 failed";
      return false;
    }
    unsigned char* data = s.Input.get() + kDictSize;
    s.Crc = crc32(0, data, static_cast<uInt>(s.Size));
    int rc = deflateReset(&FZ);
    if (rc == Z_OK && s.DictSize) rc = deflateSetDictionary(&FZ, data - s.DictSize, static_cast<uInt>(s.DictSize));
    if (rc != Z_OK) return Fail(s, rc);
    // Room for the whole block and the flush marker in one call; grown when deflate asks for more.
    const size_t bound = deflateBound(&FZ, static_cast<uLong>(s.Size)) + 16;
    if (s.Output.size() < bound) s.Output.resize(bound);
    FZ.next_in = data;
    FZ.avail_in = static_cast<uInt>(s.Size);
    s.OutSize = 0;
    const int flush = s.Last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      FZ.next_out = s.Output.data() + s.OutSize;
      FZ.avail_out = static_cast<uInt>(s.Output.size() - s.OutSize);
      rc = deflate(&FZ, flush);
      s.OutSize = s.Output.size() - FZ.avail_out;
      if (rc < 0 && rc != Z_BUF_ERROR) return Fail(s, rc);
      const bool complete = s.Last ? rc == Z_STREAM_END : FZ.avail_in == 0 && FZ.avail_out > 0;
      if (complete) return true;
      s.Output.resize(s.Output.size() * 2);
    }
  }

 private:
  bool Fail(TSlot& s, int rc) {
    s.Error = FZ.msg ? FZ.msg : zError(rc);
    return false;
  }
  z_stream FZ{};
  bool FFailed = false;
};

}  // namespace

struct TBlockDeflater::TImpl {
  int Level;
  size_t Block;
  std::vector<TSlot> Slots;
  size_t Head = 0;    // oldest queued
  size_t Count = 0;   // queued, not yet popped
  std::deque<size_t> Jobs;
  std::mutex Mutex;
  std::condition_variable JobReady, BlockDone;
  bool Closing = false;
  std::vector<std::thread> Threads;
  // The last 32 KiB of the input queued so far.
  std::vector<unsigned char> History;

  void Work() {
    TDeflater d(Level);
    std::unique_lock lock(Mutex);
    for (;;) {
      JobReady.wait(lock, [&] { return Closing || !Jobs.empty(); });
      if (Closing) return;
      TSlot& s = Slots[Jobs.front()];
      Jobs.pop_front();
      lock.unlock();
      try {
        d.Run(s);
      } catch (const std::exception& e) {
        s.Error = e.what();
      }
      lock.lock();
      s.State = TSlotState::Done;
      BlockDone.notify_all();
    }
  }
};

TBlockDeflater::TBlockDeflater(int level, unsigned threads, size_t blockSize) : FImpl(std::make_unique<TImpl>()) {
  TImpl& p = *FImpl;
  p.Level = level;
  p.Block = std::max<size_t>(blockSize, 1);
  threads = std::max(threads, 1u);
  p.Slots.resize(2 * threads + 2);
  for (auto& s : p.Slots) s.Input.reset(new unsigned char[kDictSize + p.Block]);
  p.History.reserve(kDictSize);
  try {
    for (unsigned i = 0; i < threads; ++i) p.Threads.emplace_back([&p] { p.Work(); });
  } catch (...) {
    // Fewer threads than asked still work; none is a failure of the caller.
    if (p.Threads.empty()) throw;
  }
}

TBlockDeflater::~TBlockDeflater() {
  {
    std::lock_guard lock(FImpl->Mutex);
    FImpl->Closing = true;
  }
  FImpl->JobReady.notify_all();
  for (auto& t : FImpl->Threads) t.join();
}

size_t TBlockDeflater::BlockSize() const { return FImpl->Block; }

bool TBlockDeflater::HasRoom() const { return FImpl->Count < FImpl->Slots.size(); }

size_t TBlockDeflater::Queued() const { return FImpl->Count; }

unsigned char* TBlockDeflater::NextInput() {
  TImpl& p = *FImpl;
  return p.Slots[(p.Head + p.Count) % p.Slots.size()].Input.get() + kDictSize;
}

void TBlockDeflater::Queue(size_t size, bool last) {
  TImpl& p = *FImpl;
  const size_t index = (p.Head + p.Count) % p.Slots.size();
  TSlot& s = p.Slots[index];
  unsigned char* data = s.Input.get() + kDictSize;
  s.Size = std::min(size, p.Block);
  s.Last = last;
  s.DictSize = p.History.size();
  s.Error.clear();
  std::memcpy(data - s.DictSize, p.History.data(), s.DictSize);
  // The dictionary of the next block: the last 32 KiB before it.
  if (s.Size >= kDictSize) {
    p.History.assign(data + s.Size - kDictSize, data + s.Size);
  } else {
    const size_t keep = std::min(p.History.size(), kDictSize - s.Size);
    p.History.erase(p.History.begin(), p.History.end() - static_cast<ptrdiff_t>(keep));
    p.History.insert(p.History.end(), data, data + s.Size);
  }
  {
    std::lock_guard lock(p.Mutex);
    s.State = TSlotState::Queued;
    p.Jobs.push_back(index);
  }
  ++p.Count;
  p.JobReady.notify_one();
}

TBlockDeflater::TOutput TBlockDeflater::WaitOldest() {
  TImpl& p = *FImpl;
  TSlot& s = p.Slots[p.Head];
  {
    std::unique_lock lock(p.Mutex);
    p.BlockDone.wait(lock, [&] { return s.State == TSlotState::Done; });
  }
  if (!s.Error.empty()) throw EZCompressionError(Utf8ToWide(s.Error));
  return {s.Output.data(), s.OutSize, s.Size, s.Crc, s.Last};
}

void TBlockDeflater::Pop() {
  TImpl& p = *FImpl;
  {
    std::lock_guard lock(p.Mutex);
    p.Slots[p.Head].State = TSlotState::Free;
  }
  p.Head = (p.Head + 1) % p.Slots.size();
  --p.Count;
}

namespace {

uint64_t Ticks(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

struct TCpuSample {
  uint64_t Idle = 0, Total = 0, Own = 0;
  ULONGLONG At = 0;
};

bool Sample(TCpuSample& s) {
  FILETIME idle, kernel, user, created, ended, pKernel, pUser;
  if (!GetSystemTimes(&idle, &kernel, &user) ||
      !GetProcessTimes(GetCurrentProcess(), &created, &ended, &pKernel, &pUser))
    return false;
  s.Idle = Ticks(idle);
  s.Total = Ticks(kernel) + Ticks(user);  // kernel time includes the idle time
  s.Own = Ticks(pKernel) + Ticks(pUser);
  s.At = GetTickCount64();
  return true;
}

}  // namespace

unsigned FreeProcessors() {
  static std::mutex mutex;
  static TCpuSample last;
  static unsigned free = 1;
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  const unsigned processors = std::max<unsigned>(si.dwNumberOfProcessors, 1);
  if (processors == 1) return 1;
  std::lock_guard lock(mutex);
  TCpuSample now;
  if (!Sample(now)) return 1;
  if (last.At == 0 || now.At - last.At > 3000) {
    // Nothing recent to compare with: look at a short moment now.
    last = now;
    Sleep(50);
    if (!Sample(now)) return 1;
  } else if (now.At - last.At < 250) {
    return free;
  }
  const uint64_t total = now.Total - last.Total;
  if (total > 0) {
    const double idle = static_cast<double>(now.Idle - last.Idle) + static_cast<double>(now.Own - last.Own);
    const double cores = idle / static_cast<double>(total) * processors;
    free = std::clamp(static_cast<unsigned>(cores + 0.5), 1u, processors);
  }
  last = now;
  return free;
}

}  // namespace hv
