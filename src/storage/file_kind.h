// What distinguishes the three kinds of buffered table file (data, index, BLOB) as far as their
// cache goes: the error that reports damaged buffers, the bytes of a block that are not buffer
// data, the bookkeeping charged per buffer against the byte budget, how far the cache grows when
// it cannot replace anything, how many blocks one read may fetch, and whether appending is bounded
// by the record-number limit as well as by the file size. The values are data, one constant per
// kind; the geometry of a particular file (its block size and header size) comes from its header.
#pragma once

#include <cstdint>

#include "core/error_codes.h"

namespace veltra {

enum class TableFileKind : uint8_t { tkData, tkIndex, tkBlob };

struct FileKindParameters {
  TableFileKind kind;
  TEngineCode buffers_corrupt_code;  // block 0, a lost buffer, a dirty pin in a full write-back
  uint32_t block_header_size;        // on-disk bytes of a block in front of its buffer data
  uint32_t buffer_charge;            // bookkeeping bytes charged per buffer against the budget
  uint32_t growth_step;              // buffers added when every buffer is dirty or pinned
  bool read_ahead_half_cache;        // read-ahead limit: half the cache, else one block
  bool asks_read_ahead;              // the requester says how many blocks follow, else one
  bool limits_record_count;          // appending is bounded by the record-number limit too
};

inline constexpr FileKindParameters kDataFileKind{
    .kind = TableFileKind::tkData,
    .buffers_corrupt_code = kErrDataRecordCorrupt,
    .block_header_size = 0,
    .buffer_charge = 36,
    .growth_step = 64,
    .read_ahead_half_cache = true,
    .asks_read_ahead = true,
    .limits_record_count = true,
};

inline constexpr FileKindParameters kIndexFileKind{
    .kind = TableFileKind::tkIndex,
    .buffers_corrupt_code = kErrIndexPageCorrupt,
    .block_header_size = 13,
    .buffer_charge = 56,
    .growth_step = 4,
    .read_ahead_half_cache = false,
    .asks_read_ahead = false,
    .limits_record_count = false,
};

inline constexpr FileKindParameters kBlobFileKind{
    .kind = TableFileKind::tkBlob,
    .buffers_corrupt_code = kErrBlobBlockCorrupt,
    .block_header_size = 18,
    .buffer_charge = 56,
    .growth_step = 32,
    .read_ahead_half_cache = false,
    .asks_read_ahead = true,
    .limits_record_count = false,
};

// Header sizes of the three files: the first block of each starts right after its header.
inline constexpr uint64_t kDataFileHeaderSize = 512;
inline constexpr uint64_t kFieldDefinitionSize = 768;  // one per field, after the data header
inline constexpr uint64_t kIndexFileHeaderSize = 25088;
inline constexpr uint64_t kBlobFileHeaderSize = 512;

// Offset of record 1 in a data file with `field_count` field definitions.
constexpr uint64_t DataFileFirstBlockOffset(uint32_t field_count) {
  return kDataFileHeaderSize + kFieldDefinitionSize * field_count;
}

// The largest block a buffered file accepts. Record, page and BLOB block sizes stay far below it;
// a header claiming more is damaged, and the cache must not allocate what it says.
inline constexpr uint32_t kMaxBlockSize = 1u << 20;

// A cache's limits from the engine settings: a byte budget and a buffer count.
struct CacheBudget {
  int32_t max_bytes = 0;
  int32_t max_count = 0;
};

// The configured cache size in buffers: the budget divided by (buffer data size + the kind's
// charge), at most the count, at least 1.
constexpr uint32_t CacheSizeFor(const FileKindParameters& kind, uint32_t buffer_data_size,
                                CacheBudget budget) {
  const uint64_t per_buffer = uint64_t{buffer_data_size} + kind.buffer_charge;
  uint64_t size = budget.max_bytes > 0 ? static_cast<uint64_t>(budget.max_bytes) / per_buffer : 0;
  const uint64_t max_count = budget.max_count > 0 ? static_cast<uint64_t>(budget.max_count) : 1;
  if (size > max_count) size = max_count;
  return size < 1 ? 1 : static_cast<uint32_t>(size);
}

// The most blocks one physical read fetches, for a cache of `capacity` buffers.
constexpr uint32_t ReadAheadLimitFor(const FileKindParameters& kind, uint32_t capacity) {
  if (!kind.read_ahead_half_cache) return 1;
  return capacity / 2 < 1 ? 1 : capacity / 2;
}

}  // namespace veltra
