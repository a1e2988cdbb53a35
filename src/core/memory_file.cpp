#include "core/memory_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

#include "core/os_error.h"

namespace veltra {

namespace {

TFileResult OutOfMemory() { return TFileResult::Failure(MapOsError(ENOMEM)); }

uint64_t ChunksFor(uint64_t end) { return (end + kMemoryChunkSize - 1) / kMemoryChunkSize; }

}  // namespace

TMemoryFile::TMemoryFile(std::string name) : TBaseFile(std::move(name)) {}

TMemoryFile::~TMemoryFile() = default;

uint64_t TMemoryFile::allocated_size() const {
  ScopedFileGuard guard(const_cast<TMemoryFile&>(*this));
  return static_cast<uint64_t>(chunks_.size()) * kMemoryChunkSize;
}

size_t TMemoryFile::locked_range_count() const {
  ScopedFileGuard guard(const_cast<TMemoryFile&>(*this));
  return locks_.size();
}

void TMemoryFile::FreeContent() {
  chunks_.clear();
  chunks_.shrink_to_fit();
  size_ = 0;
}

bool TMemoryFile::Reserve(uint64_t end) {
  const uint64_t needed = ChunksFor(end);
  if (needed <= chunks_.size()) return true;
  try {
    chunks_.resize(static_cast<size_t>(needed));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

TFileResult TMemoryFile::DoSize() { return TFileResult::Value(static_cast<int64_t>(size_)); }

TFileResult TMemoryFile::DoCreate(const TFileFlags&) {
  FreeContent();
  locks_.clear();
  return TFileResult::Done();
}

TFileResult TMemoryFile::DoOpenFirst(const TFileFlags& requested) {
  SetMode(requested, false);
  return TFileResult::Done();
}

TFileResult TMemoryFile::DoCloseLast() {
  locks_.clear();
  return TFileResult::Done();
}

TFileResult TMemoryFile::DoRename(const std::string&) { return TFileResult::Done(); }

TFileResult TMemoryFile::DoDelete() {
  FreeContent();
  locks_.clear();
  return TFileResult::Done();
}

TFileResult TMemoryFile::DoRead(uint64_t position, void* buffer, size_t count) {
  if (position >= size_) return TFileResult::Value(0);
  const uint64_t total = std::min<uint64_t>(count, size_ - position);
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t done = 0;
  while (done < total) {
    const uint64_t at = position + done;
    const size_t index = static_cast<size_t>(at / kMemoryChunkSize);
    const size_t offset = static_cast<size_t>(at % kMemoryChunkSize);
    const size_t piece =
        static_cast<size_t>(std::min<uint64_t>(total - done, kMemoryChunkSize - offset));
    if (index < chunks_.size() && chunks_[index]) {
      std::memcpy(out + done, chunks_[index].get() + offset, piece);
    } else {
      std::memset(out + done, 0, piece);
    }
    done += piece;
  }
  return TFileResult::Value(static_cast<int64_t>(total));
}

TFileResult TMemoryFile::DoWrite(uint64_t position, const void* buffer, size_t count) {
  if (position > kMaxMemoryFileSize || count > kMaxMemoryFileSize - position) {
    return OutOfMemory();
  }
  const uint64_t end = position + count;
  if (!Reserve(end)) return OutOfMemory();
  const auto* in = static_cast<const uint8_t*>(buffer);
  uint64_t done = 0;
  while (done < count) {
    const uint64_t at = position + done;
    const size_t index = static_cast<size_t>(at / kMemoryChunkSize);
    const size_t offset = static_cast<size_t>(at % kMemoryChunkSize);
    const size_t piece =
        static_cast<size_t>(std::min<uint64_t>(count - done, kMemoryChunkSize - offset));
    Chunk& chunk = chunks_[index];
    if (!chunk) {
      // Value-initialised, so the bytes not written read as zeros.
      chunk.reset(new (std::nothrow) uint8_t[kMemoryChunkSize]());
      if (!chunk) {
        size_ = std::max(size_, at);  // what was copied so far stays
        return OutOfMemory();
      }
    }
    std::memcpy(chunk.get() + offset, in + done, piece);
    done += piece;
  }
  size_ = std::max(size_, end);
  return TFileResult::Value(static_cast<int64_t>(count));
}

TFileResult TMemoryFile::DoSetEnd(uint64_t position) {
  if (position > kMaxMemoryFileSize) return OutOfMemory();
  if (position < size_) {
    // Zero what is cut off, so that growing over it again reads zeros.
    uint64_t at = position;
    while (at < size_) {
      const size_t index = static_cast<size_t>(at / kMemoryChunkSize);
      const size_t offset = static_cast<size_t>(at % kMemoryChunkSize);
      const size_t piece =
          static_cast<size_t>(std::min<uint64_t>(size_ - at, kMemoryChunkSize - offset));
      if (index < chunks_.size() && chunks_[index]) {
        std::memset(chunks_[index].get() + offset, 0, piece);
      }
      at += piece;
    }
  } else if (!Reserve(position)) {
    return OutOfMemory();
  }
  size_ = position;
  return TFileResult::Done();
}

TFileResult TMemoryFile::DoFlush() { return TFileResult::Done(); }

bool TMemoryFile::DoLockRange(uint64_t offset, uint64_t length) {
  const uint64_t last = offset + length - 1;
  auto next = locks_.lower_bound(offset);  // the first held range starting at or after offset
  if (next != locks_.end() && next->first <= last) return false;
  if (next != locks_.begin()) {
    const auto before = std::prev(next);
    if (before->first + before->second - 1 >= offset) return false;
  }
  try {
    locks_.emplace_hint(next, offset, length);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool TMemoryFile::DoUnlockRange(uint64_t offset, uint64_t length) {
  const auto held = locks_.find(offset);
  if (held == locks_.end() || held->second != length) return false;
  locks_.erase(held);
  return true;
}

}  // namespace veltra
