// The storage limits and lock-space constants for both LargeFileSupport values.
#include "core/storage_limits.h"

namespace veltra {

namespace {

constexpr uint64_t kSmallMaxTableFileSize = 4'000'000'000;
constexpr uint64_t kLargeMaxTableFileSize = 128'000'000'000;
constexpr uint32_t kSmallMaxTableRecords = 200'000'000;
constexpr uint32_t kLargeMaxTableRecords = 1'000'000'000;
constexpr uint64_t kSmallLockSpaceTop = (uint64_t{1} << 32) - 1;
constexpr uint64_t kLargeLockSpaceTop = (uint64_t{1} << 63) - 1;
constexpr uint64_t kDirectoryLockSpan = 65535;
constexpr uint64_t kTransLockSpan = kMaxTableId;
constexpr uint64_t kTableLockSpan = 65535;
constexpr uint32_t kSemaphoreLimit = 1024;

constexpr TStorageLimits MakeLimits(uint64_t max_file_size, uint32_t max_records, uint64_t top) {
  TStorageLimits limits{};
  limits.MaxTableFileSize = max_file_size;
  limits.MaxTableRecords = max_records;
  limits.LockSpaceTop = top;
  limits.DirectoryLockSpan = kDirectoryLockSpan;
  limits.DirectoryLockBase = top - kDirectoryLockSpan;
  limits.TransLockSpan = kTransLockSpan;
  limits.TableLockBase = limits.DirectoryLockBase - kTransLockSpan;
  limits.TableLockSpan = kTableLockSpan;
  limits.AllTablesLockSpan = uint64_t{kMaxTableId} * kTableLockSpan;
  limits.RecordLockTop = top;
  limits.RecordLockBase = top - max_records;
  limits.SemaphoreLimit = kSemaphoreLimit;
  return limits;
}

constexpr TStorageLimits kSmallLimits =
    MakeLimits(kSmallMaxTableFileSize, kSmallMaxTableRecords, kSmallLockSpaceTop);
constexpr TStorageLimits kLargeLimits =
    MakeLimits(kLargeMaxTableFileSize, kLargeMaxTableRecords, kLargeLockSpaceTop);

// Every lock must lie beyond the largest file, so that a lock never covers stored bytes.
static_assert(kSmallLimits.TableLockBase - kSmallLimits.AllTablesLockSpan >
              kSmallLimits.MaxTableFileSize);
static_assert(kSmallLimits.RecordLockBase - kSmallLimits.SemaphoreLimit >
              kSmallLimits.MaxTableFileSize);
static_assert(kLargeLimits.RecordLockBase - kLargeLimits.SemaphoreLimit >
              kLargeLimits.MaxTableFileSize);

}  // namespace

TStorageLimits StorageLimitsFor(bool large_file_support) {
  return large_file_support ? kLargeLimits : kSmallLimits;
}

}  // namespace veltra
