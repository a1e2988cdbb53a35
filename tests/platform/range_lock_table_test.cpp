#include "platform/range_lock_table.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/byte_range_lock.h"

namespace veltra::platform {
namespace {

constexpr RangeLockTable::Owner kHolder = 1;
constexpr RangeLockTable::Owner kOther = 2;
constexpr uint64_t kTop = kLockSpaceEnd;  // one past the last lockable byte

struct OverlapCase {
  const char* name;
  uint64_t offset;
  uint64_t length;
  bool granted;
};

// The held range is [1000, 1100).
class RangeLockTableOverlap : public ::testing::TestWithParam<OverlapCase> {};

TEST_P(RangeLockTableOverlap, SecondRangeIsGrantedOnlyWithoutASharedByte) {
  const OverlapCase& c = GetParam();
  for (RangeLockTable::Owner second : {kHolder, kOther}) {
    RangeLockTable table;
    ASSERT_TRUE(table.TryLock(kHolder, 1000, 100));
    EXPECT_EQ(table.TryLock(second, c.offset, c.length), c.granted)
        << c.name << " by owner " << second;
    EXPECT_EQ(table.size(), c.granted ? 2u : 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RangeLockTableOverlap,
                         ::testing::Values(OverlapCase{"same range", 1000, 100, false},
                                           OverlapCase{"first byte", 1000, 1, false},
                                           OverlapCase{"last byte", 1099, 1, false},
                                           OverlapCase{"inside", 1010, 10, false},
                                           OverlapCase{"containing", 900, 300, false},
                                           OverlapCase{"over the start", 990, 11, false},
                                           OverlapCase{"over the end", 1099, 50, false},
                                           OverlapCase{"adjacent below", 900, 100, true},
                                           OverlapCase{"adjacent above", 1100, 100, true},
                                           OverlapCase{"far above", kTop - 65535, 65535, true}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (c == ' ') c = '_';
                           }
                           return name;
                         });

TEST(RangeLockTable, OverlapIsFoundAmongManyRanges) {
  RangeLockTable table;
  for (uint64_t i = 0; i < 100; ++i) ASSERT_TRUE(table.TryLock(kHolder, i * 10, 5));
  EXPECT_FALSE(table.Overlaps(505, 5));  // the gap between [500, 505) and [510, 515)
  EXPECT_TRUE(table.Overlaps(504, 1));
  EXPECT_TRUE(table.Overlaps(505, 100));  // reaches the ranges above
  EXPECT_FALSE(table.Overlaps(995, kTop - 995));
}

struct UnlockCase {
  const char* name;
  RangeLockTable::Owner owner;
  uint64_t offset;
  uint64_t length;
};

TEST(RangeLockTable, UnlockOfAnythingButTheExactHeldRangeFailsAndChangesNothing) {
  const UnlockCase cases[] = {
      {"sub-range", kHolder, 1000, 50},   {"tail", kHolder, 1050, 50},
      {"super-range", kHolder, 900, 300}, {"shifted", kHolder, 1001, 100},
      {"never locked", kHolder, 5, 1},    {"other owner", kOther, 1000, 100},
  };
  RangeLockTable table;
  ASSERT_TRUE(table.TryLock(kHolder, 1000, 100));
  for (const UnlockCase& c : cases) {
    EXPECT_FALSE(table.Unlock(c.owner, c.offset, c.length)) << c.name;
    EXPECT_TRUE(table.Holds(kHolder, 1000, 100)) << c.name;
  }
  EXPECT_TRUE(table.Unlock(kHolder, 1000, 100));
  EXPECT_TRUE(table.empty());
}

TEST(RangeLockTable, ReleaseOwnerDropsOnlyThatOwnersRanges) {
  RangeLockTable table;
  ASSERT_TRUE(table.TryLock(kHolder, 0, 10));
  ASSERT_TRUE(table.TryLock(kOther, 10, 10));
  ASSERT_TRUE(table.TryLock(kHolder, 20, 10));
  EXPECT_EQ(table.ReleaseOwner(kHolder), 2u);
  EXPECT_TRUE(table.Holds(kOther, 10, 10));
  EXPECT_TRUE(table.TryLock(kOther, 0, 10));
}

struct ValidityCase {
  const char* name;
  uint64_t offset;
  uint64_t length;
  bool valid;
};

TEST(ValidateLockRange, AcceptsTheLockSpaceAndRefusesZeroLengthOverflowAndTheShareByte) {
  const ValidityCase cases[] = {
      {"first byte", 0, 1, true},
      {"highest lockable byte", kTop - 1, 1, true},
      {"directory range at the top", kTop - 65535, 65535, true},
      {"whole lock space", 0, kTop, true},
      {"length zero", 100, 0, false},
      {"share byte", kShareLockOffset, 1, false},
      {"reaches the share byte", kTop - 10, 11, false},
      {"offset past 2^63", 0x8000000000000000ull, 1, false},
      {"wraps around", 10, UINT64_MAX, false},
      {"largest offset and length", UINT64_MAX, UINT64_MAX, false},
  };
  for (const ValidityCase& c : cases) {
    EXPECT_EQ(ValidateLockRange(c.offset, c.length).error(), c.valid ? 0 : EINVAL) << c.name;
  }
}

}  // namespace
}  // namespace veltra::platform
