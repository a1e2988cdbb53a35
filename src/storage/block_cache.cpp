#include "storage/block_cache.h"

#include <algorithm>
#include <utility>

namespace veltra {

namespace {

constexpr unsigned kInitialIndexBits = 4;  // 16 slots

}  // namespace

BlockIndex::BlockIndex()
    : slots_(size_t{1} << kInitialIndexBits),
      mask_((size_t{1} << kInitialIndexBits) - 1),
      shift_(32 - kInitialIndexBits) {}

void BlockIndex::Insert(uint32_t block, TBuffer* buffer) {
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  size_t slot = Home(block);
  while (slots_[slot].block != 0) slot = (slot + 1) & mask_;
  slots_[slot] = Slot{block, buffer};
  ++count_;
}

void BlockIndex::Erase(uint32_t block) {
  size_t hole = Home(block);
  while (slots_[hole].block != block) {
    if (slots_[hole].block == 0) return;
    hole = (hole + 1) & mask_;
  }
  // Backward shift: move up every later entry of the probe run that may stand in the hole, so
  // that no lookup meets an empty slot before its entry.
  for (size_t next = (hole + 1) & mask_; slots_[next].block != 0; next = (next + 1) & mask_) {
    const size_t home = Home(slots_[next].block);
    if (((next - home) & mask_) >= ((next - hole) & mask_)) {
      slots_[hole] = slots_[next];
      hole = next;
    }
  }
  slots_[hole] = Slot{};
  --count_;
}

void BlockIndex::Clear() {
  std::fill(slots_.begin(), slots_.end(), Slot{});
  count_ = 0;
}

void BlockIndex::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.size() * 2, Slot{});
  mask_ = slots_.size() - 1;
  --shift_;
  for (const Slot& entry : old) {
    if (entry.block == 0) continue;
    size_t slot = Home(entry.block);
    while (slots_[slot].block != 0) slot = (slot + 1) & mask_;
    slots_[slot] = entry;
  }
}

TBuffer& BlockCache::Insert(std::unique_ptr<TBuffer> buffer, uint32_t block) {
  TBuffer& cached = *buffer;
  cached.block_number_ = block;
  cached.cache_ = this;
  cached.cache_state_ = TBuffer::CacheState::csCached;
  cached.slot_ = static_cast<uint32_t>(buffers_.size());
  buffers_.push_back(std::move(buffer));
  index_.Insert(block, &cached);
  LinkAtHead(cached);
  if (cached.dirty_) {
    cached.dirty_ = false;  // so that the list and the count take it in
    BufferDirtied(cached);
    cached.dirty_ = true;
  } else if (cached.pin_count_ > 0) {
    ++busy_count_;
  }
  return cached;
}

TBuffer* BlockCache::FindVictim() const {
  if (!HasVictim()) return nullptr;
  for (TBuffer* buffer = tail_; buffer != nullptr; buffer = buffer->newer_) {
    if (!buffer->dirty_ && buffer->pin_count_ == 0) return buffer;
  }
  return nullptr;
}

void BlockCache::Renumber(TBuffer& buffer, uint32_t block) {
  index_.Erase(buffer.block_number_);
  buffer.block_number_ = block;
  index_.Insert(block, &buffer);
  MoveToHead(buffer);
}

void BlockCache::Free(TBuffer& buffer) { Extract(buffer).reset(); }

void BlockCache::DiscardAll() {
  for (auto& owned : buffers_) {
    TBuffer& buffer = *owned;
    buffer.newer_ = buffer.older_ = buffer.dirty_prev_ = buffer.dirty_next_ = nullptr;
    buffer.dirty_ = false;
    if (buffer.pin_count_ == 0) {
      buffer.cache_state_ = TBuffer::CacheState::csLoose;
      owned.reset();
      continue;
    }
    buffer.cache_state_ = TBuffer::CacheState::csDetached;
    buffer.slot_ = static_cast<uint32_t>(detached_.size());
    detached_.push_back(std::move(owned));
  }
  buffers_.clear();
  index_.Clear();
  head_ = tail_ = dirty_head_ = nullptr;
  dirty_count_ = 0;
  busy_count_ = 0;
}

std::vector<TBuffer*> BlockCache::DirtyBuffers() const {
  std::vector<TBuffer*> dirty;
  dirty.reserve(dirty_count_);
  for (TBuffer* buffer = dirty_head_; buffer != nullptr; buffer = buffer->dirty_next_) {
    dirty.push_back(buffer);
  }
  std::sort(dirty.begin(), dirty.end(), [](const TBuffer* left, const TBuffer* right) {
    return left->block_number_ < right->block_number_;
  });
  return dirty;
}

std::vector<uint32_t> BlockCache::RecencyOrder() const {
  std::vector<uint32_t> order;
  order.reserve(buffers_.size());
  for (const TBuffer* buffer = head_; buffer != nullptr; buffer = buffer->older_) {
    order.push_back(buffer->block_number_);
  }
  return order;
}

void BlockCache::BufferDirtied(TBuffer& buffer) {
  buffer.dirty_prev_ = nullptr;
  buffer.dirty_next_ = dirty_head_;
  if (dirty_head_ != nullptr) dirty_head_->dirty_prev_ = &buffer;
  dirty_head_ = &buffer;
  ++dirty_count_;
  if (buffer.pin_count_ == 0) ++busy_count_;
}

void BlockCache::BufferCleaned(TBuffer& buffer) {
  UnlinkDirty(buffer);
  if (buffer.pin_count_ == 0) --busy_count_;
}

void BlockCache::UnlinkDirty(TBuffer& buffer) {
  if (buffer.dirty_prev_ != nullptr) {
    buffer.dirty_prev_->dirty_next_ = buffer.dirty_next_;
  } else {
    dirty_head_ = buffer.dirty_next_;
  }
  if (buffer.dirty_next_ != nullptr) buffer.dirty_next_->dirty_prev_ = buffer.dirty_prev_;
  buffer.dirty_prev_ = buffer.dirty_next_ = nullptr;
  --dirty_count_;
}

std::unique_ptr<TBuffer> BlockCache::Extract(TBuffer& buffer) {
  if (buffer.dirty_ || buffer.pin_count_ > 0) --busy_count_;
  if (buffer.dirty_) UnlinkDirty(buffer);
  Unlink(buffer);
  index_.Erase(buffer.block_number_);
  const uint32_t slot = buffer.slot_;
  std::unique_ptr<TBuffer> owned = std::move(buffers_[slot]);
  if (slot + 1 != buffers_.size()) {
    buffers_[slot] = std::move(buffers_.back());
    buffers_[slot]->slot_ = slot;
  }
  buffers_.pop_back();
  owned->cache_state_ = TBuffer::CacheState::csLoose;
  owned->cache_ = nullptr;
  return owned;
}

void BlockCache::FreeDetached(TBuffer& buffer) {
  const uint32_t slot = buffer.slot_;
  std::unique_ptr<TBuffer> owned = std::move(detached_[slot]);
  if (slot + 1 != detached_.size()) {
    detached_[slot] = std::move(detached_.back());
    detached_[slot]->slot_ = slot;
  }
  detached_.pop_back();
  owned->cache_state_ = TBuffer::CacheState::csLoose;
}

}  // namespace veltra
