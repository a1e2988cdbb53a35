// The memory file: a base file whose content lives in this process only, for in-memory tables
// and in-memory temporary tables. It stays registered, content and all, after its last handle
// closes, until it is deleted or created again.
//
// Content layout: equal chunks of kMemoryChunkSize bytes; byte p lies at offset
// p mod kMemoryChunkSize of chunk p div kMemoryChunkSize. The chunk list only grows (a write of 0
// bytes that shrinks the file keeps its chunks); chunks are allocated when first written, and a
// chunk never written reads as zeros, so a write far past the end costs only the chunks it
// touches. Bytes past the logical size always read as zeros once the file grows over them again.
//
// Locks: a range is granted when it overlaps no held range (two ranges starting at the same
// offset always overlap); an unlock names exactly a held range. The ranges belong to the file and
// go with its last handle, as the system's locks go with the last descriptor of a physical file,
// so in-memory tables follow the same lock protocol inside the process as tables on disk.
//
// Threads: as for every base file, the guard serialises the operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/base_file.h"

namespace veltra {

// Bytes per chunk of a memory file's content.
inline constexpr size_t kMemoryChunkSize = 65528;
// The largest logical size of a memory file: the largest table file there is. A write or end of
// file past it fails as out of memory.
inline constexpr uint64_t kMaxMemoryFileSize = 128'000'000'000;

class TMemoryFile final : public TBaseFile {
 public:
  // `name` is the file's registry name.
  explicit TMemoryFile(std::string name);
  ~TMemoryFile() override;

  bool in_memory() const override { return true; }

  // The chunk list's extent in bytes: a multiple of kMemoryChunkSize.
  uint64_t allocated_size() const;
  // How many ranges are locked.
  size_t locked_range_count() const;

 protected:
  TFileResult DoSize() override;
  TFileResult DoCreate(const TFileFlags& flags) override;
  TFileResult DoOpenFirst(const TFileFlags& requested) override;
  TFileResult DoCloseLast() override;
  TFileResult DoRename(const std::string& new_name) override;
  TFileResult DoDelete() override;
  TFileResult DoRead(uint64_t position, void* buffer, size_t count) override;
  TFileResult DoWrite(uint64_t position, const void* buffer, size_t count) override;
  TFileResult DoSetEnd(uint64_t position) override;
  TFileResult DoFlush() override;
  bool DoLockRange(uint64_t offset, uint64_t length) override;
  bool DoUnlockRange(uint64_t offset, uint64_t length) override;

 private:
  using Chunk = std::unique_ptr<uint8_t[]>;

  // Grows the chunk list to cover `end` bytes (no chunk is allocated). False when memory fails.
  bool Reserve(uint64_t end);
  void FreeContent();

  std::vector<Chunk> chunks_;  // null: never written, all zeros
  uint64_t size_ = 0;
  std::map<uint64_t, uint64_t> locks_;  // start -> length, disjoint
};

}  // namespace veltra
