// The lock file's codec: counters that wrap to 1, entries encoded as length and characters, and
// damaged entry bytes recognised for what they are.
#include "storage/lock_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace veltra {
namespace {

TEST(LockFileCounter, FollowsEveryValueWithAPositiveOne) {
  struct Case {
    int32_t counter;
    int32_t next;
  };
  const Case cases[] = {
      {1, 2}, {41, 42}, {std::numeric_limits<int32_t>::max(), 1},
      {0, 1}, {-7, 1},  {std::numeric_limits<int32_t>::min(), 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NextLockFileCounter(c.counter), c.next) << c.counter;
  }
}

TEST(LockFileCodec, WholeFileIsCounterLengthAndEntries) {
  const std::vector<std::string> names = {"Lotto", "", "Mini"};
  const std::vector<uint8_t> expected = {
      7,  0,   0,   0,              // counter
      16, 0,   0,   0,              // L = 4 + 6 + 1 + 5
      5,  'L', 'o', 't', 't', 'o',  // id 1
      0,                            // id 2: an empty name is still an entry
      4,  'M', 'i', 'n', 'i',       // id 3
  };
  EXPECT_EQ(EncodeLockFile(7, names), expected);
  EXPECT_EQ(RegistryLengthOf(names), 16);
}

TEST(LockFileCodec, DecodeGivesBackTheNamesOfSoundEntries) {
  std::vector<std::string> names;
  names.push_back(std::string(255, 'x'));
  names.push_back("a");
  const TRegistryDecode decoded = DecodeRegistryEntries(EncodeRegistryEntries(names));
  EXPECT_TRUE(decoded.fault.empty());
  EXPECT_EQ(decoded.names, names);
}

TEST(LockFileCodec, DamagedEntriesAreReported) {
  struct Case {
    const char* what;
    std::vector<uint8_t> entries;
    size_t names_before_fault;
  };
  std::vector<uint8_t> too_many(kMaxTableId + 1, 0);  // 4097 empty entries
  const Case cases[] = {
      {"length byte past the end", {3, 'a', 'b'}, 0},
      {"second entry past the end", {1, 'a', 9}, 1},
      {"too many entries", too_many, kMaxTableId},
  };
  for (const Case& c : cases) {
    const TRegistryDecode decoded = DecodeRegistryEntries(c.entries);
    EXPECT_FALSE(decoded.fault.empty()) << c.what;
    EXPECT_EQ(decoded.names.size(), c.names_before_fault) << c.what;
  }
}

TEST(LockFileCodec, ExactlyTheLargestRegistryIsSound) {
  std::vector<std::string> names(kMaxTableId, std::string(kMaxRegistryNameLength, 'n'));
  EXPECT_EQ(RegistryLengthOf(names), kMaxRegistryLength);
  const TRegistryDecode decoded = DecodeRegistryEntries(EncodeRegistryEntries(names));
  EXPECT_TRUE(decoded.fault.empty());
  EXPECT_EQ(decoded.names.size(), kMaxTableId);
}

}  // namespace
}  // namespace veltra
