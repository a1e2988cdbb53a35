#include "storage/block_cache.h"

#include <algorithm>
#include <utility>

namespace veltra {

TBuffer& BlockCache::Insert(std::unique_ptr<TBuffer> buffer, uint32_t block) {
  TBuffer& cached = *buffer;
  cached.block_number_ = block;
  cached.cache_ = this;
  cached.cache_state_ = TBuffer::CacheState::csCached;
  cached.slot_ = static_cast<uint32_t>(buffers_.size());
  buffers_.push_back(std::move(buffer));
  index_.Insert(cached);
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

void BlockCache::MoveTailGroupToHead(TBuffer& newest) {
  if (&newest == head_) return;  // the group is the whole list
  TBuffer* const oldest = tail_;
  TBuffer* const rest = newest.newer_;
  rest->older_ = nullptr;
  tail_ = rest;
  newest.newer_ = nullptr;
  oldest->older_ = head_;
  head_->newer_ = oldest;
  head_ = &newest;
}

void BlockCache::Free(TBuffer& buffer) { Extract(buffer).reset(); }

void BlockCache::DiscardAll() {
  index_.Clear();
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
  index_.Erase(buffer);
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
