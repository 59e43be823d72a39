#pragma once
// Raw deflate of one input on several threads. The input is cut in blocks; each block is deflated on
// its own with the 32 KiB before it as dictionary and ends with a sync flush (the last one with the
// end of the stream), so that the blocks in order form one valid deflate stream. Each block's CRC-32
// comes with it, to be joined with crc32_combine.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace hv {

class TBlockDeflater {
 public:
  // level: zlib's level; threads >= 1 are started here and joined by the destructor.
  TBlockDeflater(int level, unsigned threads, size_t blockSize);
  ~TBlockDeflater();
  TBlockDeflater(const TBlockDeflater&) = delete;
  TBlockDeflater& operator=(const TBlockDeflater&) = delete;

  size_t BlockSize() const;
  // True while another block can be queued.
  bool HasRoom() const;
  // Blocks queued and not yet taken.
  size_t Queued() const;
  // Where the next block goes (BlockSize bytes); valid until Queue.
  unsigned char* NextInput();
  // Queues the block written to NextInput; the last block ends the deflate data (it may be empty).
  void Queue(size_t size, bool last);

  struct TOutput {
    const unsigned char* Data;
    size_t Size;
    // Input bytes of the block and their CRC-32.
    size_t InputSize;
    uint32_t Crc;
    bool Last;
  };
  // Waits for the oldest queued block (there must be one); raises EZCompressionError when zlib failed.
  // The data stays valid until Pop.
  TOutput WaitOldest();
  void Pop();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// Threads a large compression may use now: the processors that were idle over the last moments
// (those this process kept busy count as idle), at least 1. Sampled at most every few seconds.
unsigned FreeProcessors();

}  // namespace hv
