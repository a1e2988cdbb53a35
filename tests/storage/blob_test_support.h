// What the BLOB file tests share: a BLOB file held in memory (lengths and cuts included), a
// fixture that creates, reopens and damages one, and a helper that names the code an action
// raises.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "cache_test_doubles.h"
#include "core/byte_order.h"
#include "core/data_engine.h"
#include "core/engine_error.h"
#include "storage/blob_chain.h"
#include "storage/blob_file.h"
#include "support/engine_error_code.h"

namespace veltra::testing {

class MemoryBlobStorage final : public BlobStorage {
 public:
  StorageResult ReadAt(uint64_t offset, std::span<std::byte> into) override {
    if (offset >= bytes.size()) return {};
    const size_t count = std::min<size_t>(into.size(), bytes.size() - offset);
    std::memcpy(into.data(), bytes.data() + offset, count);
    return StorageResult{.bytes = count};
  }
  StorageResult WriteAt(uint64_t offset, std::span<const std::byte> data) override {
    if (bytes.size() < offset + data.size()) bytes.resize(offset + data.size());
    std::memcpy(bytes.data() + offset, data.data(), data.size());
    return StorageResult{.bytes = data.size()};
  }
  uint64_t Size() override { return bytes.size(); }
  void Truncate(uint64_t size) override { bytes.resize(size); }

  std::vector<std::byte> bytes;
};

// `size` bytes that differ from block to block and from position to position.
inline std::vector<std::byte> ValueBytes(size_t size, uint8_t seed = 1) {
  std::vector<std::byte> value(size);
  for (size_t index = 0; index < size; ++index) {
    value[index] = static_cast<std::byte>((index * 13 + seed * 101 + index / 251) & 0xFF);
  }
  return value;
}

class BlobFileFixture : public ::testing::Test {
 protected:
  static constexpr uint32_t kBlockSize = 64;
  static constexpr uint32_t kArea = kBlockSize - kBlockHeaderSize;

  // A new, empty file in storage_, open in file_.
  void Create(TCipherContext* cipher = nullptr, uint32_t block_size = kBlockSize) {
    storage_.bytes.clear();
    file_ = std::make_unique<TBlobFile>(engine_, storage_, owner_);
    file_->CreateHeader({.block_size = block_size, .cipher = cipher});
  }
  // Writes every change back, as a flush does, and opens the file afresh from its bytes.
  void FlushAndReopen(TCipherContext* cipher = nullptr, uint32_t block_size = kBlockSize) {
    Flush();
    Reopen(cipher, block_size);
  }
  void Flush() {
    (void)file_->WriteBack(false);
    (void)file_->WriteHeaderIfChanged();
  }
  void Reopen(TCipherContext* cipher = nullptr, uint32_t block_size = kBlockSize) {
    file_ = std::make_unique<TBlobFile>(engine_, storage_, owner_);
    file_->ReadHeader({.block_size = block_size, .cipher = cipher});
  }

  // Writes `value` as a new chain with `revision`; its first block.
  uint32_t Store(std::span<const std::byte> value, int32_t revision = 7, uint32_t old_first = 0) {
    const TWrittenChain written = WriteBlobChain(*file_, old_first, revision, value);
    EXPECT_EQ(written.status, TChainStatus::csDone);
    return written.first_block;
  }

  // The on-disk bytes of block `block` (of a plain file).
  std::byte* BlockBytes(uint32_t block, uint32_t block_size = kBlockSize) {
    return storage_.bytes.data() + kBlobHeaderSize + size_t{block - 1} * block_size;
  }
  void SetNextOnDisk(uint32_t block, int32_t next) {
    StoreI32Le(reinterpret_cast<uint8_t*>(BlockBytes(block)) + kBlockNextOffset, next);
  }
  void SetRevisionOnDisk(uint32_t block, int32_t revision) {
    StoreI32Le(reinterpret_cast<uint8_t*>(BlockBytes(block)) + kBlockRevisionOffset, revision);
  }
  uint8_t* HeaderBytes() { return reinterpret_cast<uint8_t*>(storage_.bytes.data()); }

  TDataEngine engine_;
  MemoryBlobStorage storage_;
  FakeOwner owner_;
  std::unique_ptr<TBlobFile> file_;
};

}  // namespace veltra::testing
