// The file under a BLOB file: the block reads and writes of every buffered file, plus the length
// of the file and cutting it back, which verification and emptying need. The table's engine file
// answers it in the engine (EngineBlobStorage); tests answer it in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "storage/block_storage.h"
#include "storage/engine_file.h"

namespace veltra {

class BlobStorage : public BlockStorage {
 public:
  // The length of the file in bytes. A failure raises its engine error.
  virtual uint64_t Size() = 0;
  // Cuts the file (or extends it with zeros) to `size` bytes. A failure raises its engine error.
  virtual void Truncate(uint64_t size) = 0;
};

// BlobStorage over an open engine file; failures are raised by the engine file with its name.
// REQUIRES: the file outlives this object.
class EngineBlobStorage final : public BlobStorage {
 public:
  explicit EngineBlobStorage(TEngineFile& file) : file_(file), blocks_(file) {}

  StorageResult ReadAt(uint64_t offset, std::span<std::byte> into) override {
    return blocks_.ReadAt(offset, into);
  }
  StorageResult WriteAt(uint64_t offset, std::span<const std::byte> bytes) override {
    return blocks_.WriteAt(offset, bytes);
  }
  uint64_t Size() override { return file_.Size(); }
  void Truncate(uint64_t size) override;

 private:
  TEngineFile& file_;
  EngineFileBlockStorage blocks_;
};

}  // namespace veltra
