// The positional reads and writes a buffered file does on the file under it, as one narrow
// interface: the table's engine file answers it in the engine, a platform file or a test double
// elsewhere. Failures come back as engine codes, which the buffered file raises with the table's
// name; an implementation that knows the name itself (the engine file) may raise instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/error_codes.h"
#include "platform/file.h"
#include "storage/engine_file.h"

namespace veltra {

// Bytes transferred, or the failure as an engine code (0: success).
struct [[nodiscard]] StorageResult {
  size_t bytes = 0;
  TEngineCode error = 0;

  bool ok() const { return error == 0; }
};

class BlockStorage {
 public:
  virtual ~BlockStorage() = default;

  // Reads up to into.size() bytes at `offset`. Fewer bytes come back only at the end of the
  // file. Any seek the file needs happens under its guard together with the read.
  virtual StorageResult ReadAt(uint64_t offset, std::span<std::byte> into) = 0;

  // Writes all of `bytes` at `offset`. A write that cannot complete fails, even when part of it
  // reached the file: with kErrWriteError, the operating system's error number left pending for
  // the error's context.
  virtual StorageResult WriteAt(uint64_t offset, std::span<const std::byte> bytes) = 0;
};

// BlockStorage over an open platform file. REQUIRES: the file outlives this object.
class FileBlockStorage final : public BlockStorage {
 public:
  explicit FileBlockStorage(platform::File& file) : file_(file) {}

  // Read failures are mapped to engine codes (core/os_error.h).
  StorageResult ReadAt(uint64_t offset, std::span<std::byte> into) override;
  StorageResult WriteAt(uint64_t offset, std::span<const std::byte> bytes) override;

 private:
  platform::File& file_;
};

// BlockStorage over an open engine file, through its guarded positional reads and writes. Short
// reads are handed back for the buffered file to judge; failures are raised by the engine file
// with its name (kErrReadError, kErrWriteError). REQUIRES: the file outlives this object.
class EngineFileBlockStorage final : public BlockStorage {
 public:
  explicit EngineFileBlockStorage(TEngineFile& file) : file_(file) {}

  StorageResult ReadAt(uint64_t offset, std::span<std::byte> into) override;
  StorageResult WriteAt(uint64_t offset, std::span<const std::byte> bytes) override;

 private:
  TEngineFile& file_;
};

}  // namespace veltra
