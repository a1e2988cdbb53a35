// The buffered file: the per-table cache of one table file's fixed-size blocks (data records,
// index pages or BLOB blocks), the base of the data, index and BLOB files.
//
// Block n (from 1) lies at first block offset + (n - 1) × block size. A block is handed out
// pinned; while pinned it is never replaced nor written by replacement. Blocks missing from the
// cache are read with read-ahead, forwards or backwards, several blocks in one read; blocks
// appended at the end are made without reading. Replacement takes the least recently used buffer
// that is neither dirty nor pinned. Outside a transaction a cache that has no such buffer writes
// its dirty buffers back first; inside one it grows instead, so a transaction's changes never
// reach the file before its commit. A write-back writes the dirty buffers in block order, one
// write per run of consecutive blocks, and clears their dirty marks only once the write has
// succeeded.
//
// Reading from disk first takes the table's read lock through the owner (the open table). When
// that shows that another process changed the table, the owner discards the table's caches and
// GetBuffer gives the retry answer: the caller starts its operation again with fresh headers.
//
// The file kind's parameters are data (file_kind.h); a subclass supplies its buffers (NewBuffer)
// and keeps its header's block counter through SetLastBlockNumber / LastBlockNumber.
//
// One thread at a time uses a buffered file (the table's users serialise their access to it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/engine_error.h"
#include "storage/block_cache.h"
#include "storage/block_storage.h"
#include "storage/buffer.h"
#include "storage/file_kind.h"

namespace veltra {

enum class ReadAheadDirection : uint8_t { rdNone = 0, rdForward = 1, rdBackward = 2 };

// The cursor (or a cursor's BLOB access) that asks for a block, as the read-ahead sees it.
class ReadAheadSource {
 public:
  virtual ~ReadAheadSource() = default;
  // How many consecutive blocks, the asked one included, the requester is about to use in
  // `direction`. Asked only when a block has to be read from disk.
  virtual uint32_t ReadAheadCount(ReadAheadDirection direction) = 0;
};

enum class ReadLockOutcome : uint8_t { roUnchanged, roChanged };

// What a buffered file needs of the open table that owns it.
class BufferedFileOwner {
 public:
  virtual ~BufferedFileOwner() = default;
  // Takes the table's read lock before a block is read from disk (the owner keeps it as long as
  // its cursor operation runs). roChanged: another process changed the table; the owner has
  // reloaded the headers and discarded the caches of every file of the table, this one
  // included.
  virtual ReadLockOutcome TakeReadLock() = 0;
  virtual bool InTransaction() const = 0;
  virtual bool Exclusive() const = 0;
  // Changes are then detected at the start of every cursor operation, not when reading blocks.
  virtual bool StrictChangeDetection() const = 0;
  // Whether this process has written to the table's files since the table was opened.
  virtual bool WrittenSinceOpen() const = 0;
  virtual void MarkWritten() = 0;
  // The names that the file's engine errors carry (the table's display name, the database).
  virtual EngineErrorContext ErrorContext() const = 0;
};

// How a block is asked for.
struct BufferRequest {
  ReadAheadSource* cursor = nullptr;  // may be null: no read-ahead
  PageKind page_kind = kNoPageKind;   // for a page appended to the index file
  ReadAheadDirection direction = ReadAheadDirection::rdNone;
  bool read_ahead = false;
};

struct BufferedFileStatistics {
  uint64_t buffer_hits = 0;      // requests answered from the cache
  uint64_t reads_requested = 0;  // requests for blocks in the file (appends not counted)
  uint64_t physical_reads = 0;   // reads issued to the file
  uint64_t bytes_read = 0;
  uint64_t write_operations = 0;  // writes issued to the file
};

// The geometry of an open file and the limits its cache and its growth obey.
struct BlockFileLayout {
  uint32_t block_size = 0;          // bytes of one block on disk
  uint64_t first_block_offset = 0;  // the header size
  CacheBudget budget;
  uint64_t max_file_size = 0;  // appending beyond it is kErrTableFull
  uint32_t max_records = 0;    // the data file's record-number limit
};

class TBufferedFile;

// A pin on a buffer, released when the pin goes; or no buffer: the retry answer of GetBuffer.
class [[nodiscard]] BufferPin {
 public:
  BufferPin() = default;
  BufferPin(BufferPin&& other) noexcept : buffer_(std::exchange(other.buffer_, nullptr)) {}
  BufferPin& operator=(BufferPin&& other) noexcept {
    if (this != &other) {
      Reset();
      buffer_ = std::exchange(other.buffer_, nullptr);
    }
    return *this;
  }
  BufferPin(const BufferPin&) = delete;
  BufferPin& operator=(const BufferPin&) = delete;
  ~BufferPin() { Reset(); }

  // No buffer: the caller must start its operation again.
  bool Retry() const { return buffer_ == nullptr; }
  explicit operator bool() const { return buffer_ != nullptr; }
  TBuffer& operator*() const { return *buffer_; }
  TBuffer* operator->() const { return buffer_; }
  TBuffer* Get() const { return buffer_; }

  // Releases the pin now.
  inline void Reset();

 private:
  friend class TBufferedFile;
  explicit BufferPin(TBuffer* buffer) : buffer_(buffer) {}

  TBuffer* buffer_ = nullptr;
};

class TBufferedFile {
 public:
  // REQUIRES: `storage` and `owner` outlive the file; Configure before the first block access.
  TBufferedFile(const FileKindParameters& kind, BlockStorage& storage, BufferedFileOwner& owner);
  virtual ~TBufferedFile();
  TBufferedFile(const TBufferedFile&) = delete;
  TBufferedFile& operator=(const TBufferedFile&) = delete;

  // Takes the geometry and limits of the file just opened: every buffer of an earlier opening is
  // discarded, the block counter starts at 0 and the cache is reset (Reset). A block size that
  // leaves no buffer data, or one above kMaxBlockSize, is a damaged header: kErrHeaderCorrupt,
  // and nothing changes.
  void Configure(const BlockFileLayout& layout);

  // Clears the statistics and recomputes the cache size, the capacity and the read-ahead limit.
  void Reset();

  // The block counter of the file's header: the last block number (next number - 1).
  uint32_t LastBlockNumber() const { return last_block_number_; }
  void SetLastBlockNumber(uint32_t last) { last_block_number_ = last; }
  // Set when a block was counted; the header's owner clears it once the header is written.
  bool HeaderChanged() const { return header_changed_; }
  void SetHeaderChanged(bool changed) { header_changed_ = changed; }

  // Block `block`, pinned; or the retry answer (see the top of the file).
  // - Block 0, a block beyond the one after the last, or a buffer lost on the way: the kind's
  //   buffers-corrupt error.
  // - The block after the last: appended after the limits are checked (kErrTableFull beyond the
  //   file size or the record-number limit); it starts zeroed and dirty, and is counted.
  // - Otherwise, from the cache, or read with request.read_ahead in request.direction: up to the
  //   requester's count, the read-ahead limit and the blocks that exist that way (never below
  //   block 1, never past the last). A read that comes back short is kErrReadError, unless the
  //   missing blocks are ones this process holds unwritten or the table is exclusive or in a
  //   transaction and this process has written to it. Read failures raise their engine code.
  BufferPin GetBuffer(uint32_t block, const BufferRequest& request = {}) {
    if (TBuffer* cached = cache_.Find(block)) [[likely]] {
      ++statistics_.reads_requested;
      ++statistics_.buffer_hits;
      cache_.MoveToHead(*cached);
      cache_.Pin(*cached);
      return BufferPin(cached);
    }
    return GetBufferFromFile(block, request);
  }

  // Drops one pin of `buffer` (not below 0). REQUIRES: a buffer of this file.
  void ReleaseBuffer(TBuffer& buffer) { cache_.Unpin(buffer); }

  // Writes the dirty, unpinned buffers (outside a read under way) in runs of consecutive blocks,
  // one write per run, and returns whether anything was written. A full write-back
  // (partial = false) that finds a dirty buffer pinned raises the buffers-corrupt error before
  // writing anything. A failed write raises its engine code; the buffers of the failed run and
  // of the runs after it stay dirty.
  bool WriteBack(bool partial);

  // Frees every buffer unwritten (pinned ones live on, detached, until released).
  void DiscardAll();

  // Frees replaceable buffers until the cache holds no more than its configured size (writing
  // back first when none is clean, outside a transaction), then sets the capacity to the larger
  // of the buffer count and the configured size.
  void Trim();

  // Header size + last block number × block size.
  uint64_t EndOffset() const {
    return first_block_offset_ + uint64_t{last_block_number_} * block_size_;
  }
  uint64_t BlockOffset(uint32_t block) const {
    return first_block_offset_ + (uint64_t{block} - 1) * block_size_;
  }

  const FileKindParameters& Kind() const { return kind_; }
  uint32_t BlockSize() const { return block_size_; }
  uint32_t BufferDataSize() const { return buffer_data_size_; }
  uint64_t FirstBlockOffset() const { return first_block_offset_; }
  uint32_t CacheSize() const { return cache_size_; }  // configured, in buffers
  size_t Capacity() const { return capacity_; }
  uint32_t ReadAheadLimit() const { return read_ahead_limit_; }
  size_t BufferCount() const { return cache_.Count(); }
  size_t DirtyCount() const { return cache_.DirtyCount(); }
  const BufferedFileStatistics& Statistics() const { return statistics_; }
  // The cached buffer of `block`, without pinning it or touching its recency; null if none.
  const TBuffer* Peek(uint32_t block) const { return cache_.Find(block); }
  // Block numbers from the most to the least recently used.
  std::vector<uint32_t> RecencyOrder() const { return cache_.RecencyOrder(); }

 protected:
  // A new buffer of BufferDataSize() bytes for this kind. The default is a PlainBuffer.
  virtual std::unique_ptr<TBuffer> NewBuffer();

  BufferedFileOwner& Owner() const { return owner_; }
  [[noreturn]] void RaiseCorrupt() const;

 private:
  BufferPin GetBufferFromFile(uint32_t block, const BufferRequest& request);
  BufferPin AppendBlock(uint32_t block, PageKind page_kind);
  void CheckOneMoreBlockFits() const;
  uint32_t BlocksToRead(uint32_t block, const BufferRequest& request);
  void ReadBlocks(uint32_t block, uint32_t count, ReadAheadDirection direction);
  bool ShortReadAccepted(uint32_t first_missing, uint32_t end) const;
  void PlaceBlock(uint32_t block, std::span<const std::byte> image);
  TBuffer& ObtainFreeBuffer(uint32_t block);
  bool InReadUnderWay(uint32_t block) const;
  void WriteRun(std::span<TBuffer* const> run);
  [[noreturn]] void Raise(TEngineCode code) const;

  const FileKindParameters& kind_;
  BlockStorage& storage_;
  BufferedFileOwner& owner_;

  uint32_t block_size_ = 0;
  uint32_t buffer_data_size_ = 0;
  uint64_t first_block_offset_ = 0;
  CacheBudget budget_;
  uint64_t max_file_size_ = 0;
  uint32_t max_records_ = 0;

  uint32_t last_block_number_ = 0;
  bool header_changed_ = false;

  BlockCache cache_;
  uint32_t cache_size_ = 1;
  size_t capacity_ = 1;
  uint32_t read_ahead_limit_ = 1;

  // The multi-block read under way (length 0: none), and the areas reads and writes go through.
  uint64_t read_offset_ = 0;
  uint64_t read_length_ = 0;
  std::vector<std::byte> read_area_;
  std::vector<std::byte> write_area_;

  BufferedFileStatistics statistics_;
};

inline void BufferPin::Reset() {
  if (buffer_ == nullptr) return;
  buffer_->Owner().ReleaseBuffer(*buffer_);
  buffer_ = nullptr;
}

}  // namespace veltra
