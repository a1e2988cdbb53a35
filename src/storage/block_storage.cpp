#include "storage/block_storage.h"

#include "core/os_error.h"

namespace veltra {

StorageResult FileBlockStorage::ReadAt(uint64_t offset, std::span<std::byte> into) {
  platform::OsResult<size_t> read = file_.ReadAt(offset, into.data(), into.size());
  if (!read.ok()) return StorageResult{.bytes = 0, .error = MapOsError(read.error())};
  return StorageResult{.bytes = read.value()};
}

StorageResult FileBlockStorage::WriteAt(uint64_t offset, std::span<const std::byte> bytes) {
  const platform::OsStatus written = file_.WriteAt(offset, bytes.data(), bytes.size());
  if (!written.ok()) {
    (void)MapOsError(written.error());  // keeps the number for the error's context
    return StorageResult{.bytes = 0, .error = kErrWriteError};
  }
  return StorageResult{.bytes = bytes.size()};
}

StorageResult EngineFileBlockStorage::ReadAt(uint64_t offset, std::span<std::byte> into) {
  return StorageResult{.bytes = file_.ReadAt(offset, into.data(), into.size(), true)};
}

StorageResult EngineFileBlockStorage::WriteAt(uint64_t offset, std::span<const std::byte> bytes) {
  file_.WriteAt(offset, bytes.data(), bytes.size());
  return StorageResult{.bytes = bytes.size()};
}

}  // namespace veltra
