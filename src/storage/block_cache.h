// The bookkeeping of a buffered file's cache: which buffers exist, which block each holds, how
// recently each was used, and which are dirty.
//
// - A hash index from block number to buffer (block_index.h) answers a lookup in constant time,
//   however far the cache has grown (inside a transaction every changed block stays cached).
// - An intrusive recency list runs from the most recently used buffer (the head) to the least
//   recently used one (the tail); replacement takes its victims from the tail.
// - An intrusive list of the dirty buffers lets a write-back collect them without visiting the
//   clean ones; they are put in block order when collected.
// - A count of the buffers that are dirty or pinned tells in constant time whether any buffer
//   could be replaced at all.
//
// The cache owns its buffers. DiscardAll frees every buffer that nobody pins; a pinned one is
// taken out of the cache and lives on, detached, until its last pin goes, so that a holder never
// touches freed memory. Pins must not outlive the cache.
//
// Find, MoveToHead, Pin and Unpin are the hit path of every block access: they are inline,
// allocate nothing and call nothing virtual. One thread at a time uses a cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "storage/block_index.h"
#include "storage/buffer.h"

namespace veltra {

class BlockCache {
 public:
  BlockCache() = default;
  BlockCache(const BlockCache&) = delete;
  BlockCache& operator=(const BlockCache&) = delete;

  // Buffers in the cache (detached ones are not counted).
  size_t Count() const { return buffers_.size(); }
  size_t DirtyCount() const { return dirty_count_; }
  // Buffers taken out of the cache by DiscardAll while pinned, not yet released.
  size_t DetachedCount() const { return detached_.size(); }
  // Whether some cached buffer is neither dirty nor pinned.
  bool HasVictim() const { return busy_count_ < buffers_.size(); }

  TBuffer* Find(uint32_t block) const { return index_.Find(block); }

  // Makes a cached buffer the most recently used.
  void MoveToHead(TBuffer& buffer) {
    if (head_ == &buffer) return;
    Unlink(buffer);
    LinkAtHead(buffer);
  }

  void Pin(TBuffer& buffer) {
    if (buffer.pin_count_++ == 0 && !buffer.dirty_) ++busy_count_;
  }

  // Drops one pin (never below 0). A detached buffer is freed with its last pin.
  void Unpin(TBuffer& buffer) {
    if (buffer.pin_count_ == 0) return;
    if (--buffer.pin_count_ != 0) return;
    if (buffer.cache_state_ == TBuffer::CacheState::csDetached) [[unlikely]] {
      FreeDetached(buffer);
    } else if (!buffer.dirty_) {
      --busy_count_;
    }
  }

  // Takes `buffer` into the cache as block `block`, at the head of the recency list, keeping its
  // dirty mark and pins. REQUIRES: the buffer is in no cache; block != 0 and not cached.
  TBuffer& Insert(std::unique_ptr<TBuffer> buffer, uint32_t block);

  // The buffer nearest the tail that is neither dirty nor pinned, or null.
  TBuffer* FindVictim() const;

  // Gives a cached buffer a new block number and makes it the most recently used.
  // REQUIRES: `block` != 0 and not cached.
  void Renumber(TBuffer& buffer, uint32_t block) {
    index_.Erase(buffer);
    buffer.block_number_ = block;
    index_.Insert(buffer);
    MoveToHead(buffer);
  }

  // The tail buffer when it can be replaced, else FindVictim's answer: the usual case in a scan
  // costs one test.
  TBuffer* TakeVictim() const {
    if (tail_ != nullptr && !tail_->dirty_ && tail_->pin_count_ == 0) return tail_;
    return FindVictim();
  }

  // Whether any block of [first, first + count) is cached. REQUIRES: count > 0 and the range
  // ends at a valid block number.
  bool AnyCached(uint32_t first, uint32_t count) const { return index_.AnyInRange(first, count); }

  // The replacement of a read run as one group. Takes the least recently used buffers in turn,
  // from the tail, while they are clean and unpinned, up to `count` of them, and gives them the
  // blocks of [first, first + count) in ascending order when `ascending`, else descending,
  // calling `load(buffer)` for each once it has its new number. Returns how many it placed. The
  // result is that of renumbering each of them in turn (see Renumber): the last one placed is at
  // the head and the others follow it in the order they were placed; the group is moved there in
  // one splice. REQUIRES: count > 0; no block of the range is cached (AnyCached); the range ends
  // at a valid block number.
  template <typename Load>
  uint32_t ReplaceTail(uint32_t first, uint32_t count, bool ascending, Load&& load) {
    uint32_t block = ascending ? first : first + (count - 1);
    uint32_t placed = 0;
    TBuffer* newest = nullptr;
    for (TBuffer* buffer = tail_; placed < count && buffer != nullptr;) {
      if (buffer->dirty_ || buffer->pin_count_ != 0) break;
      TBuffer* const next = buffer->newer_;
      index_.Erase(*buffer);
      buffer->block_number_ = block;
      index_.Insert(*buffer);
      load(*buffer);
      newest = buffer;
      ++placed;
      block = ascending ? block + 1 : block - 1;
      buffer = next;
    }
    if (newest != nullptr) MoveTailGroupToHead(*newest);
    return placed;
  }

  // Removes a cached, unpinned buffer and frees it, dirty or not. REQUIRES: unpinned.
  void Free(TBuffer& buffer);

  // Frees every buffer unwritten; pinned ones are detached instead (see the top of the file).
  void DiscardAll();

  // The dirty buffers, in block-number order.
  std::vector<TBuffer*> DirtyBuffers() const;

  // Clears the dirty mark of a buffer whose disk image has been written.
  void MarkWritten(TBuffer& buffer) { buffer.ClearDirty(); }

  // The block numbers from the most to the least recently used (for checks and tests).
  std::vector<uint32_t> RecencyOrder() const;

 private:
  friend class TBuffer;

  // Called by TBuffer when its dirty mark changes while it is cached.
  void BufferDirtied(TBuffer& buffer);
  void BufferCleaned(TBuffer& buffer);

  void Unlink(TBuffer& buffer) {
    if (buffer.newer_ != nullptr) {
      buffer.newer_->older_ = buffer.older_;
    } else {
      head_ = buffer.older_;
    }
    if (buffer.older_ != nullptr) {
      buffer.older_->newer_ = buffer.newer_;
    } else {
      tail_ = buffer.newer_;
    }
    buffer.newer_ = buffer.older_ = nullptr;
  }
  void LinkAtHead(TBuffer& buffer) {
    buffer.newer_ = nullptr;
    buffer.older_ = head_;
    if (head_ != nullptr) {
      head_->newer_ = &buffer;
    } else {
      tail_ = &buffer;
    }
    head_ = &buffer;
  }
  // Moves the buffers from the tail up to `newest` in front of the head, keeping their order.
  void MoveTailGroupToHead(TBuffer& newest);
  void UnlinkDirty(TBuffer& buffer);
  // Takes a buffer out of every list and the index and returns its owner.
  std::unique_ptr<TBuffer> Extract(TBuffer& buffer);
  void FreeDetached(TBuffer& buffer);

  BlockIndex index_;
  std::vector<std::unique_ptr<TBuffer>> buffers_;   // buffer->slot_ is its place here
  std::vector<std::unique_ptr<TBuffer>> detached_;  // likewise
  TBuffer* head_ = nullptr;
  TBuffer* tail_ = nullptr;
  TBuffer* dirty_head_ = nullptr;
  size_t dirty_count_ = 0;
  size_t busy_count_ = 0;  // cached buffers that are dirty or pinned
};

}  // namespace veltra
