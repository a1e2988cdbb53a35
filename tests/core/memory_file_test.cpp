// Memory files: content across chunk boundaries, the end of file set by a write of 0 bytes,
// creating again, seeks, per-handle positions, and the lock table.
#include "core/memory_file.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace veltra {
namespace {

class MemoryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TFileResult created = file_.Create(TFileFlags{});
    ASSERT_TRUE(created.ok());
    handle_ = static_cast<TFileHandle>(created.value());
  }

  std::vector<uint8_t> ReadAt(uint64_t offset, size_t count) {
    std::vector<uint8_t> bytes(count, 0xEE);
    TFileResult read = file_.ReadAt(handle_, offset, bytes.data(), count);
    EXPECT_TRUE(read.ok());
    bytes.resize(read.ok() ? static_cast<size_t>(read.value()) : 0);
    return bytes;
  }

  TMemoryFile file_{"Memory/t.dat"};
  TFileHandle handle_ = 0;
};

TEST_F(MemoryFileTest, ContentCrossesChunkBoundaries) {
  std::vector<uint8_t> pattern(3 * kMemoryChunkSize + 100);
  std::iota(pattern.begin(), pattern.end(), uint8_t{7});
  const uint64_t start = kMemoryChunkSize - 50;
  ASSERT_EQ(file_.WriteAt(handle_, start, pattern.data(), pattern.size()).value(),
            static_cast<int64_t>(pattern.size()));
  EXPECT_EQ(file_.Size().value(), static_cast<int64_t>(start + pattern.size()));
  EXPECT_EQ(file_.allocated_size() % kMemoryChunkSize, 0u);
  EXPECT_GE(file_.allocated_size(), start + pattern.size());
  EXPECT_EQ(ReadAt(start, pattern.size()), pattern);
  EXPECT_EQ(ReadAt(0, 4), std::vector<uint8_t>(4, 0));  // never written: zeros
}

TEST_F(MemoryFileTest, ReadStopsAtTheEnd) {
  ASSERT_TRUE(file_.WriteAt(handle_, 0, "abcdef", 6).ok());
  struct Case {
    uint64_t offset;
    size_t count;
    size_t expected;
  };
  for (const Case& c : {Case{0, 10, 6}, Case{4, 10, 2}, Case{6, 10, 0}, Case{100, 10, 0}}) {
    EXPECT_EQ(ReadAt(c.offset, c.count).size(), c.expected) << c.offset;
  }
  // The position moves by what was read.
  ASSERT_TRUE(file_.Seek(handle_, TSeekOrigin::soBeginning, 4).ok());
  char bytes[10];
  EXPECT_EQ(file_.Read(handle_, bytes, sizeof bytes).value(), 2);
  EXPECT_EQ(file_.Seek(handle_, TSeekOrigin::soCurrent, 0).value(), 6);
}

TEST_F(MemoryFileTest, WriteOfZeroBytesSetsTheSizeAndCutBytesReadAsZeros) {
  std::vector<uint8_t> ones(200, 1);
  ASSERT_TRUE(file_.WriteAt(handle_, 0, ones.data(), ones.size()).ok());
  const uint64_t allocated = file_.allocated_size();

  ASSERT_TRUE(file_.WriteAt(handle_, 50, nullptr, 0).ok());
  EXPECT_EQ(file_.Size().value(), 50);
  EXPECT_EQ(file_.allocated_size(), allocated);  // the chunks stay

  ASSERT_TRUE(file_.WriteAt(handle_, 150, nullptr, 0).ok());  // extends
  EXPECT_EQ(file_.Size().value(), 150);
  std::vector<uint8_t> expected(150, 0);
  std::fill(expected.begin(), expected.begin() + 50, 1);
  EXPECT_EQ(ReadAt(0, 200), expected);
}

TEST_F(MemoryFileTest, CreatingAgainFreesTheContent) {
  ASSERT_TRUE(file_.WriteAt(handle_, 0, "abc", 3).ok());
  ASSERT_TRUE(file_.Close(handle_).ok());
  TFileResult again = file_.Create(TFileFlags{});
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.value(), 2);
  EXPECT_EQ(file_.Size().value(), 0);
  EXPECT_EQ(file_.allocated_size(), 0u);
}

TEST_F(MemoryFileTest, SeeksFromEachOrigin) {
  ASSERT_TRUE(file_.WriteAt(handle_, 0, "0123456789", 10).ok());
  struct Case {
    TSeekOrigin origin;
    int64_t offset;
    int64_t expected;  // < 0: refused
  };
  const Case cases[] = {
      {TSeekOrigin::soEnd, -5, 5},         {TSeekOrigin::soBeginning, 3, 3},
      {TSeekOrigin::soCurrent, 4, 7},      {TSeekOrigin::soCurrent, -8, -1},
      {TSeekOrigin::soEnd, 20, 30},        {TSeekOrigin::soBeginning, -1, -1},
      {TSeekOrigin::soEnd, INT64_MAX, -1},
  };
  ASSERT_TRUE(file_.Seek(handle_, TSeekOrigin::soBeginning, 0).ok());
  int64_t position = 0;
  for (const Case& c : cases) {
    TFileResult moved = file_.Seek(handle_, c.origin, c.offset);
    if (c.expected < 0) {
      EXPECT_FALSE(moved.ok()) << c.offset;
    } else {
      ASSERT_TRUE(moved.ok()) << c.offset;
      EXPECT_EQ(moved.value(), c.expected);
      position = c.expected;
    }
    // A refused seek leaves the position where it was.
    EXPECT_EQ(file_.Seek(handle_, TSeekOrigin::soCurrent, 0).value(), position);
  }
}

TEST_F(MemoryFileTest, HandlesKeepTheirOwnPositions) {
  TFileResult second = file_.Open(TFileFlags{});
  ASSERT_TRUE(second.ok());
  const auto other = static_cast<TFileHandle>(second.value());
  ASSERT_TRUE(file_.Write(handle_, "first", 5).ok());
  ASSERT_TRUE(file_.Seek(other, TSeekOrigin::soBeginning, 2).ok());
  char bytes[3] = {};
  ASSERT_EQ(file_.Read(other, bytes, 3).value(), 3);
  EXPECT_EQ(std::string(bytes, 3), "rst");
  EXPECT_EQ(file_.Seek(handle_, TSeekOrigin::soCurrent, 0).value(), 5);
  EXPECT_EQ(file_.Read(handle_ + 99, bytes, 1).code(), kErrInvalidFileHandle);
}

TEST_F(MemoryFileTest, WriteFarPastTheEndCostsOnlyTheChunksWritten) {
  const uint64_t far = 1'000'000'000;
  ASSERT_TRUE(file_.WriteAt(handle_, far, "z", 1).ok());
  EXPECT_EQ(file_.Size().value(), static_cast<int64_t>(far + 1));
  EXPECT_EQ(ReadAt(far - 2, 3), (std::vector<uint8_t>{0, 0, 'z'}));
  EXPECT_EQ(file_.WriteAt(handle_, kMaxMemoryFileSize, "z", 1).code(), kErrOutOfMemory);
  EXPECT_EQ(file_.WriteAt(handle_, kMaxMemoryFileSize + 1, nullptr, 0).code(), kErrOutOfMemory);
}

struct LockCase {
  const char* label;
  uint64_t offset;
  uint64_t length;
  bool granted;  // with [100, 110) held
};

class MemoryFileLocks : public MemoryFileTest, public ::testing::WithParamInterface<LockCase> {};

TEST_P(MemoryFileLocks, GrantOnlyRangesThatOverlapNoHeldRange) {
  ASSERT_TRUE(file_.LockRange(100, 10));
  const LockCase& c = GetParam();
  EXPECT_EQ(file_.LockRange(c.offset, c.length), c.granted);
  EXPECT_EQ(file_.locked_range_count(), c.granted ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Ranges, MemoryFileLocks,
                         ::testing::Values(LockCase{"SameStartShorter", 100, 1, false},
                                           LockCase{"SameStartLonger", 100, 50, false},
                                           LockCase{"CoversTheTail", 109, 5, false},
                                           LockCase{"CoversTheHead", 95, 6, false},
                                           LockCase{"Inside", 103, 2, false},
                                           LockCase{"Around", 50, 100, false},
                                           LockCase{"JustBefore", 90, 10, true},
                                           LockCase{"JustAfter", 110, 5, true},
                                           LockCase{"FarAbove", uint64_t{1} << 40, 65535, true},
                                           LockCase{"ZeroLength", 200, 0, false},
                                           LockCase{"ReachesTheTop", kMaxFileOffset - 4, 5, false},
                                           LockCase{"BelowTheTop", kMaxFileOffset - 5, 5, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(MemoryFileTest, UnlockNamesExactlyAHeldRange) {
  ASSERT_TRUE(file_.LockRange(100, 10));
  EXPECT_FALSE(file_.UnlockRange(101, 9));   // not the start
  EXPECT_FALSE(file_.UnlockRange(100, 5));   // not the length
  EXPECT_FALSE(file_.UnlockRange(300, 10));  // never locked
  EXPECT_TRUE(file_.UnlockRange(100, 10));
  EXPECT_FALSE(file_.UnlockRange(100, 10));
  EXPECT_TRUE(file_.LockRange(105, 1));  // free again
}

TEST_F(MemoryFileTest, LocksGoWithTheLastHandle) {
  TFileResult second = file_.Open(TFileFlags{});
  ASSERT_TRUE(file_.LockRange(100, 10));
  ASSERT_TRUE(file_.Close(handle_).ok());
  EXPECT_EQ(file_.locked_range_count(), 1u);
  ASSERT_TRUE(file_.Close(static_cast<TFileHandle>(second.value())).ok());
  EXPECT_EQ(file_.locked_range_count(), 0u);
}

TEST_F(MemoryFileTest, ReadOnlyOpenRefusesWrites) {
  ASSERT_TRUE(file_.Close(handle_).ok());
  TFileResult opened = file_.Open(TFileFlags{.read_only = true});
  ASSERT_TRUE(opened.ok());
  const auto handle = static_cast<TFileHandle>(opened.value());
  EXPECT_TRUE(file_.read_only());
  EXPECT_EQ(file_.WriteAt(handle, 0, "x", 1).code(), kErrInvalidFileHandle);
  EXPECT_EQ(file_.WriteAt(handle, 0, nullptr, 0).code(), kErrInvalidFileHandle);
}

}  // namespace
}  // namespace veltra
