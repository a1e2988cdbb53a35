// The storage limits and the lock-space constants of the engine. Both follow from one setting,
// LargeFileSupport: without it files stay below 4 GB and locks live just under 2^32; with it
// files may grow to 128 GB and locks move to the top of the 63-bit offset space.
//
// Byte-range locks are placed at the top of a file's offset space and counted downwards. In the
// lock file, from the top:
//
//   DirectoryLockBase .. LockSpaceTop - 1          the directory range (DirectoryLockSpan bytes)
//   DirectoryLockBase - n                          transaction byte of table id n (1..4096)
//   TableLockBase - n * TableLockSpan, +Span       the lock range of table id n
//
// In a table's data file, from the top:
//
//   RecordLockTop - n                              record n (1..MaxTableRecords)
//   RecordLockBase - s                             semaphore s (1..SemaphoreLimit)
//
// Every process computes the same numbers from the same setting, so they lock the same bytes.
// The share-mode byte of the platform layer (2^63 - 1) lies above every range in both settings.
#pragma once

#include <cstdint>

namespace veltra {

// The largest table id a lock file hands out.
inline constexpr uint32_t kMaxTableId = 4096;

struct TStorageLimits {
  uint64_t MaxTableFileSize;   // largest data, index or BLOB file; growing past it is 9479
  uint32_t MaxTableRecords;    // record numbers of a table, and its record lock range
  uint64_t LockSpaceTop;       // highest lock offset of the lock file
  uint64_t DirectoryLockSpan;  // the directory lock range
  uint64_t DirectoryLockBase;  // start of the directory range
  uint64_t TransLockSpan;      // the transaction bytes of all table ids
  uint64_t TableLockBase;      // table id n locks TableLockSpan bytes from TableLockBase - n * span
  uint64_t TableLockSpan;      // one table's lock range
  uint64_t AllTablesLockSpan;  // the lock ranges of all table ids together
  uint64_t RecordLockTop;      // highest lock offset of a data file; record n at RecordLockTop - n
  uint64_t RecordLockBase;     // semaphore s at RecordLockBase - s
  uint32_t SemaphoreLimit;     // highest semaphore number

  // Offset of the transaction byte of table id `table_id`. REQUIRES: 1 <= table_id <= 4096.
  constexpr uint64_t TransLockOffset(uint32_t table_id) const {
    return DirectoryLockBase - table_id;
  }
  // First byte of the lock range of table id `table_id`. REQUIRES: 1 <= table_id <= 4096.
  constexpr uint64_t TableLockOffset(uint32_t table_id) const {
    return TableLockBase - uint64_t{table_id} * TableLockSpan;
  }
  // The byte that locks record `record` of a data file. REQUIRES: 1 <= record <= MaxTableRecords.
  constexpr uint64_t RecordLockOffset(uint32_t record) const { return RecordLockTop - record; }
  // The byte that locks semaphore `semaphore`. REQUIRES: 1 <= semaphore <= SemaphoreLimit.
  constexpr uint64_t SemaphoreLockOffset(uint32_t semaphore) const {
    return RecordLockBase - semaphore;
  }

  constexpr bool operator==(const TStorageLimits&) const = default;
};

// The limits and constants for a LargeFileSupport value. A pure function: the engine core
// computes its copy with it at Start, and the lock layer and tests may call it directly.
TStorageLimits StorageLimitsFor(bool large_file_support);

}  // namespace veltra
