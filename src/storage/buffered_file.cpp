#include "storage/buffered_file.h"

#include <algorithm>
#include <limits>

namespace veltra {

namespace {

// A run of consecutive dirty blocks is written in one write up to this many bytes; a longer run
// (a very large transaction) goes out in pieces of this size, so that the write area stays
// bounded.
constexpr size_t kMaxWriteBytes = size_t{16} << 20;

// A write area up to this size is kept for the next write-back; a larger one is given back.
constexpr size_t kRetainedWriteAreaBytes = size_t{256} << 10;

// Marks the multi-block read under way for the duration of a scope, so that a write-back started
// while its blocks are placed leaves the blocks of the read alone.
class ReadUnderWay {
 public:
  ReadUnderWay(uint64_t& offset, uint64_t& length, uint64_t read_offset, uint64_t read_length)
      : offset_(offset), length_(length) {
    offset_ = read_offset;
    length_ = read_length;
  }
  ~ReadUnderWay() { offset_ = length_ = 0; }
  ReadUnderWay(const ReadUnderWay&) = delete;
  ReadUnderWay& operator=(const ReadUnderWay&) = delete;

 private:
  uint64_t& offset_;
  uint64_t& length_;
};

}  // namespace

TBufferedFile::TBufferedFile(const FileKindParameters& kind, BlockStorage& storage,
                             BufferedFileOwner& owner)
    : kind_(kind), storage_(storage), owner_(owner) {}

TBufferedFile::~TBufferedFile() = default;

void TBufferedFile::Configure(const BlockFileLayout& layout) {
  if (layout.block_size <= kind_.block_header_size || layout.block_size > kMaxBlockSize) {
    RaiseEngineError(kErrHeaderCorrupt, owner_.ErrorContext());
  }
  cache_.DiscardAll();
  last_block_number_ = 0;
  header_changed_ = false;
  block_size_ = layout.block_size;
  buffer_data_size_ = layout.block_size - kind_.block_header_size;
  first_block_offset_ = layout.first_block_offset;
  budget_ = layout.budget;
  max_file_size_ = layout.max_file_size;
  max_records_ = layout.max_records;
  Reset();
}

void TBufferedFile::Reset() {
  statistics_ = {};
  cache_size_ = CacheSizeFor(kind_, buffer_data_size_, budget_);
  capacity_ = cache_size_;
  read_ahead_limit_ = ReadAheadLimitFor(kind_, cache_size_);
}

std::unique_ptr<TBuffer> TBufferedFile::NewBuffer() {
  return std::make_unique<PlainBuffer>(*this, buffer_data_size_);
}

void TBufferedFile::RaiseCorrupt() const { Raise(kind_.buffers_corrupt_code); }

void TBufferedFile::Raise(TEngineCode code) const { RaiseEngineError(code, owner_.ErrorContext()); }

BufferPin TBufferedFile::GetBufferFromFile(uint32_t block, const BufferRequest& request) {
  if (block == 0) RaiseCorrupt();
  if (uint64_t{block} == uint64_t{last_block_number_} + 1) {
    return AppendBlock(block, request.page_kind);
  }
  ++statistics_.reads_requested;
  if (!owner_.StrictChangeDetection() && !owner_.Exclusive()) {
    if (owner_.TakeReadLock() == ReadLockOutcome::roChanged) return BufferPin();
  }
  // With fresh headers a block past the end is a reference that points nowhere.
  if (block > last_block_number_) RaiseCorrupt();
  ReadBlocks(block, BlocksToRead(block, request), request.direction);
  TBuffer* buffer = cache_.Find(block);
  if (buffer == nullptr) RaiseCorrupt();
  cache_.MoveToHead(*buffer);
  cache_.Pin(*buffer);
  return BufferPin(buffer);
}

BufferPin TBufferedFile::AppendBlock(uint32_t block, PageKind page_kind) {
  CheckOneMoreBlockFits();
  TBuffer& buffer = ObtainFreeBuffer(block);
  buffer.Initialise(page_kind);
  // The header counts the block from now on, so it must reach the file even if its user never
  // changes it.
  buffer.MarkDirty();
  ++last_block_number_;
  header_changed_ = true;
  cache_.Pin(buffer);
  return BufferPin(&buffer);
}

void TBufferedFile::CheckOneMoreBlockFits() const {
  const uint64_t next = uint64_t{last_block_number_} + 1;
  // The data file's limit counts record numbers, not live records: the next record number is
  // what the record-lock bytes must cover, deleted records or not.
  const bool too_many = next > std::numeric_limits<uint32_t>::max() ||
                        (kind_.limits_record_count && next > max_records_);
  if (too_many || first_block_offset_ + next * block_size_ > max_file_size_) {
    Raise(kErrTableFull);
  }
}

uint32_t TBufferedFile::BlocksToRead(uint32_t block, const BufferRequest& request) {
  if (!request.read_ahead || request.direction == ReadAheadDirection::rdNone ||
      !kind_.asks_read_ahead || request.cursor == nullptr) {
    return 1;
  }
  uint32_t count = std::min(request.cursor->ReadAheadCount(request.direction), read_ahead_limit_);
  // Forwards the run must stop at the last block; backwards it must not reach block 0 (or
  // below), where the header lies.
  const uint32_t available =
      request.direction == ReadAheadDirection::rdForward ? last_block_number_ - block + 1 : block;
  count = std::min(count, available);
  return std::max<uint32_t>(count, 1);
}

void TBufferedFile::ReadBlocks(uint32_t block, uint32_t count, ReadAheadDirection direction) {
  const bool backward = direction == ReadAheadDirection::rdBackward;
  const uint32_t first = backward ? block - count + 1 : block;
  const size_t length = size_t{count} * block_size_;
  if (read_area_.size() < length) read_area_.resize(length);
  const std::span<std::byte> area(read_area_.data(), length);

  ReadUnderWay under_way(read_offset_, read_length_, BlockOffset(first), length);
  const StorageResult read = storage_.ReadAt(BlockOffset(first), area);
  ++statistics_.physical_reads;
  statistics_.bytes_read += read.bytes;
  if (!read.ok()) Raise(read.error);
  const uint32_t whole = static_cast<uint32_t>(std::min(read.bytes, length) / block_size_);
  if (whole < count && !ShortReadAccepted(first + whole, first + count)) Raise(kErrReadError);

  // The asked block is placed last, so that it ends at the head of the recency list.
  auto image = [&](uint32_t index) {
    return area.subspan(size_t{index} * block_size_, block_size_);
  };
  // The usual case of a scan: the cache is full and no block of the run is cached, so the least
  // recently used buffers take the run as one group, as far as they can be replaced. The blocks
  // they could not take are placed one by one, as always.
  uint32_t placed = 0;
  if (whole > 0 && cache_.Count() >= capacity_ && !cache_.AnyCached(first, whole)) {
    placed = cache_.ReplaceTail(first, whole, backward, [&](TBuffer& buffer) {
      buffer.LoadFromDiskImage(image(buffer.BlockNumber() - first));
    });
  }
  if (backward) {
    for (uint32_t index = placed; index < whole; ++index) PlaceBlock(first + index, image(index));
  } else {
    for (uint32_t index = whole - placed; index-- > 0;) PlaceBlock(first + index, image(index));
  }
}

bool TBufferedFile::ShortReadAccepted(uint32_t first_missing, uint32_t end) const {
  if ((owner_.Exclusive() || owner_.InTransaction()) && owner_.WrittenSinceOpen()) return true;
  // Blocks this process appended and has not written yet lie past the end of the file on disk;
  // a run that reaches into them is not a damaged or truncated file.
  for (uint32_t block = first_missing; block < end; ++block) {
    const TBuffer* cached = cache_.Find(block);
    if (cached == nullptr || !cached->Dirty()) return false;
  }
  return true;
}

void TBufferedFile::PlaceBlock(uint32_t block, std::span<const std::byte> image) {
  if (TBuffer* cached = cache_.Find(block)) {
    // A dirty or pinned buffer is newer than the disk, or in use: it stays as it is.
    if (cached->Dirty() || cached->PinCount() > 0) return;
    cached->LoadFromDiskImage(image);
    cache_.MoveToHead(*cached);
    return;
  }
  if (cache_.Count() >= capacity_) {
    if (TBuffer* victim = cache_.TakeVictim()) {
      cache_.Renumber(*victim, block);
      victim->LoadFromDiskImage(image);
      return;
    }
  }
  ObtainFreeBuffer(block).LoadFromDiskImage(image);
}

TBuffer& TBufferedFile::ObtainFreeBuffer(uint32_t block) {
  if (cache_.Count() < capacity_) return cache_.Insert(NewBuffer(), block);
  TBuffer* victim = cache_.TakeVictim();
  if (victim == nullptr && !owner_.InTransaction()) {
    (void)WriteBack(true);
    victim = cache_.FindVictim();
  }
  if (victim != nullptr) {
    cache_.Renumber(*victim, block);
    return *victim;
  }
  // Every buffer is dirty or pinned (always so for the changes of a transaction): grow rather
  // than write early.
  capacity_ += kind_.growth_step;
  return cache_.Insert(NewBuffer(), block);
}

bool TBufferedFile::InReadUnderWay(uint32_t block) const {
  if (read_length_ == 0) return false;
  const uint64_t offset = BlockOffset(block);
  return offset + block_size_ > read_offset_ && offset < read_offset_ + read_length_;
}

bool TBufferedFile::WriteBack(bool partial) {
  std::vector<TBuffer*> work = cache_.DirtyBuffers();
  size_t kept = 0;
  for (TBuffer* buffer : work) {
    if (buffer->PinCount() > 0) {
      if (!partial) RaiseCorrupt();
      continue;
    }
    if (InReadUnderWay(buffer->BlockNumber())) continue;
    work[kept++] = buffer;
  }
  work.resize(kept);
  if (work.empty()) return false;

  const size_t max_run = std::max<size_t>(1, kMaxWriteBytes / block_size_);
  for (size_t start = 0; start < work.size();) {
    size_t end = start + 1;
    while (end < work.size() && end - start < max_run &&
           work[end]->BlockNumber() == work[end - 1]->BlockNumber() + 1) {
      ++end;
    }
    WriteRun(std::span<TBuffer* const>(work).subspan(start, end - start));
    start = end;
  }
  if (write_area_.size() > kRetainedWriteAreaBytes) std::vector<std::byte>().swap(write_area_);
  return true;
}

void TBufferedFile::WriteRun(std::span<TBuffer* const> run) {
  const size_t length = run.size() * block_size_;
  if (write_area_.size() < length) write_area_.resize(length);
  const std::span<std::byte> area(write_area_.data(), length);
  for (size_t index = 0; index < run.size(); ++index) {
    run[index]->SaveToDiskImage(area.subspan(index * block_size_, block_size_));
  }
  const StorageResult written = storage_.WriteAt(BlockOffset(run.front()->BlockNumber()), area);
  ++statistics_.write_operations;
  if (!written.ok()) {
    // The run stays dirty: its changes are only in these buffers until a write succeeds.
    if (write_area_.size() > kRetainedWriteAreaBytes) std::vector<std::byte>().swap(write_area_);
    Raise(written.error);
  }
  for (TBuffer* buffer : run) cache_.MarkWritten(*buffer);
  owner_.MarkWritten();
}

void TBufferedFile::DiscardAll() { cache_.DiscardAll(); }

void TBufferedFile::Trim() {
  while (cache_.Count() > cache_size_) {
    TBuffer* victim = cache_.FindVictim();
    if (victim == nullptr && !owner_.InTransaction()) {
      (void)WriteBack(true);
      victim = cache_.FindVictim();
    }
    if (victim == nullptr) break;
    cache_.Free(*victim);
  }
  capacity_ = std::max<size_t>(cache_.Count(), cache_size_);
}

}  // namespace veltra
