#include "storage/blob_block.h"

#include <algorithm>
#include <cstring>

#include "core/byte_order.h"
#include "core/data_engine.h"

namespace veltra {

namespace {

std::span<uint8_t> AsBytes(std::span<std::byte> bytes) {
  return {reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()};
}

}  // namespace

TBlock::TBlock(TBufferedFile& owner, uint32_t data_size, TBlockCodec& codec)
    : TBuffer(owner, data_size), codec_(codec) {}

void TBlock::SetPrevious(int32_t block) {
  previous_ = block;
  MarkDirty();
}

void TBlock::SetNext(int32_t block) {
  next_ = block;
  MarkDirty();
}

void TBlock::SetUsed(uint16_t used) {
  used_ = used;
  MarkDirty();
}

void TBlock::SetRevision(int32_t revision) {
  revision_ = revision;
  MarkDirty();
}

void TBlock::SetTotalLength(uint32_t length) {
  total_length_ = length;
  MarkDirty();
}

void TBlock::InitialiseData(PageKind page_kind) {
  TBuffer::InitialiseData(page_kind);
  previous_ = next_ = revision_ = 0;
  used_ = 0;
  total_length_ = 0;
}

void TBlock::DecodeDiskImage(std::span<const std::byte> image) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image.data());
  if (codec_.cipher != nullptr) {
    codec_.scratch.assign(bytes, bytes + image.size());
    TDataEngine::DecryptBuffer(*codec_.cipher, codec_.scratch);
    bytes = codec_.scratch.data();
  }
  if (image.size() < kBlockHeaderSize) {
    InitialiseData(kNoPageKind);
    return;
  }
  previous_ = LoadI32Le(bytes + kBlockPreviousOffset);
  next_ = LoadI32Le(bytes + kBlockNextOffset);
  used_ = LoadU16Le(bytes + kBlockUsedOffset);
  revision_ = LoadI32Le(bytes + kBlockRevisionOffset);
  total_length_ = LoadU32Le(bytes + kBlockTotalLengthOffset);
  const std::span<std::byte> data = Data();
  const size_t count = std::min(data.size(), image.size() - kBlockHeaderSize);
  std::memcpy(data.data(), bytes + kBlockHeaderSize, count);
  std::fill(data.begin() + count, data.end(), std::byte{0});
}

void TBlock::EncodeDiskImage(std::span<std::byte> image) const {
  std::fill(image.begin(), image.end(), std::byte{0});
  if (image.size() < kBlockHeaderSize) return;
  uint8_t* bytes = reinterpret_cast<uint8_t*>(image.data());
  StoreI32Le(bytes + kBlockPreviousOffset, previous_);
  StoreI32Le(bytes + kBlockNextOffset, next_);
  StoreU16Le(bytes + kBlockUsedOffset, used_);
  StoreI32Le(bytes + kBlockRevisionOffset, revision_);
  StoreU32Le(bytes + kBlockTotalLengthOffset, total_length_);
  const std::span<const std::byte> data = Data();
  std::memcpy(bytes + kBlockHeaderSize, data.data(),
              std::min(data.size(), image.size() - kBlockHeaderSize));
  if (codec_.cipher != nullptr) TDataEngine::EncryptBuffer(*codec_.cipher, AsBytes(image));
}

void TBlock::AssignData(const TBuffer& other) {
  TBuffer::AssignData(other);
  if (const auto* block = dynamic_cast<const TBlock*>(&other)) {
    previous_ = block->previous_;
    next_ = block->next_;
    used_ = block->used_;
    revision_ = block->revision_;
    total_length_ = block->total_length_;
  }
}

bool TBlock::EqualsBuffer(const TBuffer& other) const {
  const auto* block = dynamic_cast<const TBlock*>(&other);
  if (block == nullptr || !TBuffer::EqualsBuffer(other)) return false;
  return previous_ == block->previous_ && next_ == block->next_ && used_ == block->used_ &&
         revision_ == block->revision_ && total_length_ == block->total_length_;
}

}  // namespace veltra
