#include "core/storage_limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace veltra {
namespace {

constexpr uint64_t kTop32 = (uint64_t{1} << 32) - 1;
constexpr uint64_t kTop63 = (uint64_t{1} << 63) - 1;
constexpr uint64_t kShareByte = kTop63;  // the platform's share-mode byte

struct LimitsCase {
  bool large_files;
  TStorageLimits expected;
};

TEST(StorageLimits, HaveTheExactValuesOfBothSettings) {
  const LimitsCase cases[] = {
      {false,
       {.MaxTableFileSize = 4'000'000'000,
        .MaxTableRecords = 200'000'000,
        .LockSpaceTop = kTop32,
        .DirectoryLockSpan = 65535,
        .DirectoryLockBase = 4'294'901'760,
        .TransLockSpan = 4096,
        .TableLockBase = 4'294'901'760 - 4096,
        .TableLockSpan = 65535,
        .AllTablesLockSpan = 268'431'360,
        .RecordLockTop = kTop32,
        .RecordLockBase = kTop32 - 200'000'000,
        .SemaphoreLimit = 1024}},
      {true,
       {.MaxTableFileSize = 128'000'000'000,
        .MaxTableRecords = 1'000'000'000,
        .LockSpaceTop = kTop63,
        .DirectoryLockSpan = 65535,
        .DirectoryLockBase = kTop63 - 65535,
        .TransLockSpan = 4096,
        .TableLockBase = kTop63 - 65535 - 4096,
        .TableLockSpan = 65535,
        .AllTablesLockSpan = 268'431'360,
        .RecordLockTop = kTop63,
        .RecordLockBase = kTop63 - 1'000'000'000,
        .SemaphoreLimit = 1024}},
  };
  for (const LimitsCase& c : cases) {
    SCOPED_TRACE(c.large_files);
    EXPECT_EQ(StorageLimitsFor(c.large_files), c.expected);
  }
}

// A lock range [first, last] with a name, for the overlap check.
struct Range {
  std::string name;
  uint64_t first;
  uint64_t last;
};

void ExpectDisjointAndBelow(std::vector<Range> ranges, uint64_t ceiling) {
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.first < b.first; });
  for (size_t i = 0; i < ranges.size(); ++i) {
    EXPECT_LE(ranges[i].first, ranges[i].last) << ranges[i].name;
    EXPECT_LT(ranges[i].last, ceiling) << ranges[i].name << " reaches the share byte";
    if (i > 0) {
      EXPECT_LT(ranges[i - 1].last, ranges[i].first)
          << ranges[i - 1].name << " overlaps " << ranges[i].name;
    }
  }
}

TEST(StorageLimits, LockFileRangesNeverOverlapOrReachTheShareByte) {
  for (bool large : {false, true}) {
    SCOPED_TRACE(large);
    const TStorageLimits l = StorageLimitsFor(large);
    std::vector<Range> ranges = {
        {"directory", l.DirectoryLockBase, l.DirectoryLockBase + l.DirectoryLockSpan - 1},
        {"transaction bytes", l.TransLockOffset(kMaxTableId), l.TransLockOffset(1)},
    };
    for (uint32_t id : {1u, 2u, 2048u, kMaxTableId - 1, kMaxTableId}) {
      ranges.push_back({"table " + std::to_string(id), l.TableLockOffset(id),
                        l.TableLockOffset(id) + l.TableLockSpan - 1});
    }
    ExpectDisjointAndBelow(ranges, std::min(l.LockSpaceTop + 1, kShareByte));
    // The table ranges of all ids fill exactly AllTablesLockSpan bytes below the transaction bytes.
    EXPECT_EQ(l.TableLockBase - l.TableLockOffset(kMaxTableId), l.AllTablesLockSpan);
    EXPECT_EQ(l.TransLockOffset(kMaxTableId), l.TableLockBase);
  }
}

TEST(StorageLimits, DataFileLocksNeverOverlapAndLieBeyondTheLargestFile) {
  for (bool large : {false, true}) {
    SCOPED_TRACE(large);
    const TStorageLimits l = StorageLimitsFor(large);
    const std::vector<Range> ranges = {
        {"records", l.RecordLockOffset(l.MaxTableRecords), l.RecordLockOffset(1)},
        {"semaphores", l.SemaphoreLockOffset(l.SemaphoreLimit), l.SemaphoreLockOffset(1)},
    };
    ExpectDisjointAndBelow(ranges, std::min(l.RecordLockTop + 1, kShareByte));
    // The whole-table lock covers exactly the record bytes.
    EXPECT_EQ(l.RecordLockOffset(l.MaxTableRecords), l.RecordLockBase);
    EXPECT_GT(l.SemaphoreLockOffset(l.SemaphoreLimit), l.MaxTableFileSize);
  }
}

}  // namespace
}  // namespace veltra
