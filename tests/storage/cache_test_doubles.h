// Test doubles for the buffered file: a file held in memory that records every read and write,
// an owner whose table state a test sets, and a requester with a fixed read-ahead count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <vector>

#include "storage/block_storage.h"
#include "storage/buffered_file.h"

namespace veltra::testing {

// A file in memory. Reads past the end come back short, as from a real file.
class MemoryStorage final : public BlockStorage {
 public:
  struct Call {
    uint64_t offset;
    size_t length;
    bool operator==(const Call&) const = default;
  };

  StorageResult ReadAt(uint64_t offset, std::span<std::byte> into) override {
    reads.push_back({offset, into.size()});
    if (offset >= bytes.size()) return {};
    const size_t count = std::min<size_t>(into.size(), bytes.size() - offset);
    std::memcpy(into.data(), bytes.data() + offset, count);
    return StorageResult{.bytes = count};
  }

  StorageResult WriteAt(uint64_t offset, std::span<const std::byte> data) override {
    writes.push_back({offset, data.size()});
    if (fail_writes) return StorageResult{.error = kErrWriteError};
    if (bytes.size() < offset + data.size()) bytes.resize(offset + data.size());
    std::memcpy(bytes.data() + offset, data.data(), data.size());
    return StorageResult{.bytes = data.size()};
  }

  std::vector<std::byte> bytes;
  std::vector<Call> reads;
  std::vector<Call> writes;
  bool fail_writes = false;
};

// The table side, with every flag a test may set. `on_read_lock` runs inside TakeReadLock (a test
// discards the caches there, as the table does when another process changed it).
class FakeOwner final : public BufferedFileOwner {
 public:
  ReadLockOutcome TakeReadLock() override {
    ++read_locks;
    if (on_read_lock) on_read_lock();
    const ReadLockOutcome outcome = next_outcome;
    next_outcome = ReadLockOutcome::roUnchanged;
    return outcome;
  }
  bool InTransaction() const override { return in_transaction; }
  bool Exclusive() const override { return exclusive; }
  bool StrictChangeDetection() const override { return strict; }
  bool WrittenSinceOpen() const override { return written; }
  void MarkWritten() override { written = true; }
  EngineErrorContext ErrorContext() const override { return {.table = "draws"}; }

  ReadLockOutcome next_outcome = ReadLockOutcome::roUnchanged;
  std::function<void()> on_read_lock;
  int read_locks = 0;
  bool in_transaction = false;
  bool exclusive = false;
  bool strict = false;
  bool written = false;
};

class FixedReadAhead final : public ReadAheadSource {
 public:
  explicit FixedReadAhead(uint32_t count) : count_(count) {}
  uint32_t ReadAheadCount(ReadAheadDirection) override { return count_; }

 private:
  uint32_t count_;
};

// A layout with `block_size`-byte blocks after a `header`-byte header and a cache of `buffers`
// buffers (the count limits it; the byte budget is ample).
inline BlockFileLayout SmallLayout(uint32_t block_size, uint32_t buffers, uint64_t header = 64) {
  return BlockFileLayout{
      .block_size = block_size,
      .first_block_offset = header,
      .budget = {.max_bytes = 1 << 30, .max_count = static_cast<int32_t>(buffers)},
      .max_file_size = uint64_t{1} << 40,
      .max_records = 1000000,
  };
}

// The byte a block holds at `index` in the tests' file images.
inline std::byte PatternByte(uint32_t block, size_t index) {
  return static_cast<std::byte>((block * 31 + index * 7) & 0xFF);
}

// A file image of `blocks` blocks after `header` header bytes, each block filled by PatternByte.
inline std::vector<std::byte> PatternImage(uint64_t header, uint32_t block_size, uint32_t blocks) {
  std::vector<std::byte> image(header + uint64_t{block_size} * blocks, std::byte{0xEE});
  for (uint32_t block = 1; block <= blocks; ++block) {
    for (size_t index = 0; index < block_size; ++index) {
      image[header + uint64_t{block - 1} * block_size + index] = PatternByte(block, index);
    }
  }
  return image;
}

}  // namespace veltra::testing
