#include "storage/buffer.h"

#include <algorithm>
#include <cstring>

#include "storage/block_cache.h"

namespace veltra {

TBuffer::TBuffer(TBufferedFile& owner, uint32_t data_size)
    : data_(std::make_unique<std::byte[]>(data_size)), data_size_(data_size), owner_(&owner) {}

TBuffer::TBuffer(TBufferedFile& owner, uint32_t data_size, PlainImage) : TBuffer(owner, data_size) {
  plain_image_ = true;
}

TBuffer::~TBuffer() = default;

void TBuffer::MarkDirty() {
  if (dirty_) return;
  dirty_ = true;
  if (cache_state_ == CacheState::csCached) cache_->BufferDirtied(*this);
}

void TBuffer::ClearDirty() {
  if (!dirty_) return;
  dirty_ = false;
  if (cache_state_ == CacheState::csCached) cache_->BufferCleaned(*this);
}

void TBuffer::Assign(const TBuffer& other) {
  if (&other == this) return;
  AssignData(other);
  if (cache_state_ == CacheState::csLoose) block_number_ = other.block_number_;
  if (other.dirty_) {
    MarkDirty();
  } else {
    ClearDirty();
  }
}

void TBuffer::SetData(std::span<const std::byte> bytes) {
  const size_t count = std::min<size_t>(bytes.size(), data_size_);
  if (count > 0) std::memcpy(data_.get(), bytes.data(), count);
  MarkDirty();
}

void TBuffer::GetData(std::span<std::byte> out) const {
  const size_t count = std::min<size_t>(out.size(), data_size_);
  if (count > 0) std::memcpy(out.data(), data_.get(), count);
}

void TBuffer::Initialise(PageKind page_kind) {
  InitialiseData(page_kind);
  ClearDirty();
}

void TBuffer::SaveToDiskImage(std::span<std::byte> image) const { EncodeDiskImage(image); }

bool TBuffer::Equals(const TBuffer& other) const { return EqualsBuffer(other); }

bool TBuffer::EqualsData(std::span<const std::byte> bytes) const {
  if (bytes.size() > data_size_) return false;
  return bytes.empty() || std::memcmp(data_.get(), bytes.data(), bytes.size()) == 0;
}

void TBuffer::InitialiseData(PageKind) { std::memset(data_.get(), 0, data_size_); }

void TBuffer::DecodeDiskImage(std::span<const std::byte> image) {
  const size_t count = std::min<size_t>(image.size(), data_size_);
  std::memcpy(data_.get(), image.data(), count);
  if (count < data_size_) std::memset(data_.get() + count, 0, data_size_ - count);
}

void TBuffer::EncodeDiskImage(std::span<std::byte> image) const {
  const size_t count = std::min<size_t>(image.size(), data_size_);
  std::memcpy(image.data(), data_.get(), count);
  if (count < image.size()) std::memset(image.data() + count, 0, image.size() - count);
}

void TBuffer::AssignData(const TBuffer& other) {
  const size_t count = std::min(other.data_size_, data_size_);
  std::memcpy(data_.get(), other.data_.get(), count);
}

bool TBuffer::EqualsBuffer(const TBuffer& other) const {
  return other.data_size_ == data_size_ &&
         std::memcmp(data_.get(), other.data_.get(), data_size_) == 0;
}

}  // namespace veltra
