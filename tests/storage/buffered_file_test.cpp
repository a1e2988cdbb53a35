// The buffered file against a file in memory (and, for injected failures, a real file): a
// model-based run of random operations, read-ahead at both ends of the file, the retry answer,
// the damaged-buffer and full-table errors, short reads, growth inside a transaction and
// write-back in runs.
#include "storage/buffered_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cache_test_doubles.h"
#include "core/data_engine.h"
#include "core/engine_error.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "support/temp_dir.h"
#include "support/engine_error_code.h"

namespace veltra {
namespace {

using testing::FakeOwner;
using testing::FixedReadAhead;
using testing::MemoryStorage;
using testing::PatternByte;
using testing::PatternImage;
using testing::SmallLayout;

constexpr uint32_t kBlockSize = 16;
constexpr uint64_t kHeader = 64;

using veltra::testing::CodeRaisedBy;

bool HoldsPattern(const TBuffer& buffer, uint32_t block) {
  for (size_t index = 0; index < buffer.DataSize(); ++index) {
    if (buffer.Data()[index] != PatternByte(block, index)) return false;
  }
  return true;
}

class BufferedFileTest : public ::testing::Test {
 protected:
  // A file of `blocks` patterned blocks with a cache of `buffers` buffers.
  void Open(uint32_t blocks, uint32_t buffers, const FileKindParameters& kind = kDataFileKind) {
    storage_.bytes = PatternImage(kHeader, kBlockSize + kind.block_header_size, blocks);
    storage_.reads.clear();
    storage_.writes.clear();
    file_ = std::make_unique<TBufferedFile>(kind, storage_, owner_);
    file_->Configure(SmallLayout(kBlockSize + kind.block_header_size, buffers, kHeader));
    file_->SetLastBlockNumber(blocks);
  }
  BufferPin Get(uint32_t block, ReadAheadDirection direction = ReadAheadDirection::rdNone,
                uint32_t count = 1) {
    FixedReadAhead cursor(count);
    return file_->GetBuffer(block, {.cursor = &cursor, .direction = direction, .read_ahead = true});
  }
  // Changes the first byte of a block through the cache.
  void Change(uint32_t block, std::byte value) {
    BufferPin pin = Get(block);
    ASSERT_FALSE(pin.Retry());
    pin->Data()[0] = value;
    pin->MarkDirty();
  }
  std::byte OnDisk(uint32_t block, size_t index = 0) const {
    return storage_.bytes[file_->BlockOffset(block) + index];
  }

  MemoryStorage storage_;
  FakeOwner owner_;
  std::unique_ptr<TBufferedFile> file_;
};

// Random gets (reads and appends), changes, held pins, write-backs, trims and transactions on a
// four-buffer cache, checked against a reference copy of the file after every step: every block
// the cache holds reads as the reference says, and every block that is not held dirty is on
// disk as the reference says, so no change is lost and none is written early.
TEST_F(BufferedFileTest, RandomOperationsKeepTheCacheAndTheFileInStepWithAReference) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    Open(12, 4);
    std::vector<std::byte> reference = storage_.bytes;
    std::vector<BufferPin> held;
    std::mt19937 random(seed);
    size_t writes_at_transaction_start = 0;

    for (int step = 0; step < 3000; ++step) {
      const uint32_t last = file_->LastBlockNumber();
      switch (random() % 10) {
        case 0:
        case 1:
        case 2:
        case 3: {  // get, possibly change, possibly hold
          const uint32_t block = 1 + random() % (last + 1);
          const auto direction = static_cast<ReadAheadDirection>(random() % 3);
          BufferPin pin = Get(block, direction, 1 + random() % 6);
          ASSERT_FALSE(pin.Retry());
          ASSERT_EQ(pin->BlockNumber(), block);
          if (block > last) reference.resize(reference.size() + kBlockSize, std::byte{0});
          const uint64_t offset = file_->BlockOffset(block);
          ASSERT_EQ(std::memcmp(pin->Data().data(), reference.data() + offset, kBlockSize), 0)
              << "block " << block << " at step " << step;
          if (random() % 2 == 0) {
            const size_t index = random() % kBlockSize;
            const auto value = static_cast<std::byte>(random());
            pin->Data()[index] = value;
            pin->MarkDirty();
            reference[offset + index] = value;
          }
          if (random() % 4 == 0 && held.size() < 2) held.push_back(std::move(pin));
          break;
        }
        case 4:
          if (!held.empty()) held.erase(held.begin());
          break;
        case 5:
          if (!owner_.in_transaction) (void)file_->WriteBack(true);
          break;
        case 6:
          if (!owner_.in_transaction && held.empty()) (void)file_->WriteBack(false);
          break;
        case 7:
          file_->Trim();
          break;
        case 8:  // start or end a transaction; the end writes everything, as a commit does
          if (!owner_.in_transaction) {
            owner_.in_transaction = true;
            writes_at_transaction_start = storage_.writes.size();
          } else if (held.empty()) {
            owner_.in_transaction = false;
            (void)file_->WriteBack(false);
            file_->Trim();
          }
          break;
        default:
          break;
      }
      if (owner_.in_transaction) {
        ASSERT_EQ(storage_.writes.size(), writes_at_transaction_start) << "written early";
      }
      for (uint32_t block = 1; block <= file_->LastBlockNumber(); ++block) {
        const uint64_t offset = file_->BlockOffset(block);
        const TBuffer* cached = file_->Peek(block);
        if (cached != nullptr) {
          ASSERT_EQ(std::memcmp(cached->Data().data(), reference.data() + offset, kBlockSize), 0)
              << "cached block " << block << " at step " << step;
        }
        if (cached == nullptr || !cached->Dirty()) {
          ASSERT_GE(storage_.bytes.size(), offset + kBlockSize) << "block " << block;
          ASSERT_EQ(
              std::memcmp(storage_.bytes.data() + offset, reference.data() + offset, kBlockSize), 0)
              << "disk block " << block << " at step " << step;
        }
      }
    }
    held.clear();
    owner_.in_transaction = false;
    ASSERT_TRUE(file_->WriteBack(false) || file_->DirtyCount() == 0);
    EXPECT_EQ(storage_.bytes, reference);

    // A fresh cache reads the same file back.
    const uint32_t last = file_->LastBlockNumber();
    file_ = std::make_unique<TBufferedFile>(kDataFileKind, storage_, owner_);
    file_->Configure(SmallLayout(kBlockSize, 3, kHeader));
    file_->SetLastBlockNumber(last);
    for (uint32_t block = 1; block <= last; ++block) {
      BufferPin pin = Get(block, ReadAheadDirection::rdForward, 3);
      ASSERT_EQ(
          std::memcmp(pin->Data().data(), reference.data() + file_->BlockOffset(block), kBlockSize),
          0);
    }
  }
}

struct ReadAheadCase {
  const char* name;
  uint32_t block;
  ReadAheadDirection direction;
  uint32_t count;  // what the cursor asks for
  bool allowed;
  uint32_t first;  // the run read
  uint32_t last;

  friend void PrintTo(const ReadAheadCase& c, std::ostream* out) { *out << c.name; }
};

class ReadAhead : public BufferedFileTest, public ::testing::WithParamInterface<ReadAheadCase> {};

// Ten blocks, a cache of eight buffers: the read-ahead limit is four.
TEST_P(ReadAhead, ReadsOneRunInsideTheFileAndLeavesTheAskedBlockAtTheHead) {
  const ReadAheadCase& c = GetParam();
  Open(10, 8);
  ASSERT_EQ(file_->ReadAheadLimit(), 4u);
  FixedReadAhead cursor(c.count);
  BufferPin pin = file_->GetBuffer(
      c.block, {.cursor = &cursor, .direction = c.direction, .read_ahead = c.allowed});
  ASSERT_FALSE(pin.Retry());
  EXPECT_TRUE(HoldsPattern(*pin, c.block));

  const uint32_t blocks = c.last - c.first + 1;
  ASSERT_EQ(storage_.reads.size(), 1u);
  EXPECT_EQ(storage_.reads[0],
            (MemoryStorage::Call{file_->BlockOffset(c.first), size_t{blocks} * kBlockSize}));
  EXPECT_EQ(file_->BufferCount(), blocks);
  for (uint32_t block = c.first; block <= c.last; ++block) {
    ASSERT_NE(file_->Peek(block), nullptr) << block;
    EXPECT_TRUE(HoldsPattern(*file_->Peek(block), block)) << block;
  }
  // The run is placed towards the asked block, which ends at the head.
  std::vector<uint32_t> expected;
  for (uint32_t step = 0; step < blocks; ++step) {
    expected.push_back(c.direction == ReadAheadDirection::rdBackward ? c.block - step
                                                                     : c.block + step);
  }
  EXPECT_EQ(file_->RecencyOrder(), expected);
  EXPECT_EQ(file_->Statistics().physical_reads, 1u);
  EXPECT_EQ(file_->Statistics().bytes_read, size_t{blocks} * kBlockSize);
}

constexpr auto kForward = ReadAheadDirection::rdForward;
constexpr auto kBackward = ReadAheadDirection::rdBackward;
constexpr auto kNone = ReadAheadDirection::rdNone;

INSTANTIATE_TEST_SUITE_P(
    BufferedFile, ReadAhead,
    ::testing::Values(ReadAheadCase{"forward_from_first", 1, kForward, 3, true, 1, 3},
                      ReadAheadCase{"forward_bounded_by_limit", 2, kForward, 9, true, 2, 5},
                      ReadAheadCase{"forward_stops_at_last", 9, kForward, 4, true, 9, 10},
                      ReadAheadCase{"forward_at_last", 10, kForward, 4, true, 10, 10},
                      ReadAheadCase{"backward_inside", 8, kBackward, 3, true, 6, 8},
                      ReadAheadCase{"backward_bounded_by_limit", 10, kBackward, 9, true, 7, 10},
                      ReadAheadCase{"backward_stops_at_first", 2, kBackward, 4, true, 1, 2},
                      ReadAheadCase{"backward_at_first", 1, kBackward, 4, true, 1, 1},
                      ReadAheadCase{"no_direction", 5, kNone, 4, true, 5, 5},
                      ReadAheadCase{"not_allowed", 5, kForward, 4, false, 5, 5}),
    [](const ::testing::TestParamInfo<ReadAheadCase>& info) { return info.param.name; });

TEST_F(BufferedFileTest, IndexPagesAreReadOneAtATime) {
  Open(10, 8, kIndexFileKind);
  EXPECT_EQ(file_->ReadAheadLimit(), 1u);
  BufferPin pin = Get(4, kForward, 5);
  EXPECT_EQ(storage_.reads,
            (std::vector<MemoryStorage::Call>{{file_->BlockOffset(4), kBlockSize + 13}}));
}

TEST_F(BufferedFileTest, AReadRunLeavesDirtyAndPinnedBlocksAloneAndReloadsCleanOnes) {
  Open(6, 8);
  Change(3, std::byte{0xA3});    // dirty, unpinned
  BufferPin held = Get(4);       // clean, pinned
  { BufferPin clean = Get(5); }  // clean, unpinned
  // The file changes under the cache (as after this process wrote it through another table).
  for (uint32_t block = 2; block <= 5; ++block)
    storage_.bytes[file_->BlockOffset(block)] = std::byte{0x77};

  BufferPin pin = Get(2, kForward, 4);
  EXPECT_EQ(pin->Data()[0], std::byte{0x77});
  EXPECT_EQ(file_->Peek(3)->Data()[0], std::byte{0xA3}) << "a dirty block was overwritten";
  EXPECT_TRUE(file_->Peek(3)->Dirty());
  EXPECT_EQ(held->Data()[0], PatternByte(4, 0)) << "a pinned block was overwritten";
  EXPECT_EQ(file_->Peek(5)->Data()[0], std::byte{0x77}) << "a clean block was not reloaded";
}

struct FullCacheReadCase {
  const char* name;
  uint32_t dirty;   // 0: none; made dirty when it is read
  uint32_t pinned;  // 0: none; held from its read on
  uint32_t block;
  ReadAheadDirection direction;
  std::vector<uint32_t> order;  // the recency order afterwards

  friend void PrintTo(const FullCacheReadCase& c, std::ostream* out) { *out << c.name; }
};

class FullCacheRead : public BufferedFileTest,
                      public ::testing::WithParamInterface<FullCacheReadCase> {};

// Eight buffers holding blocks 1..8 (block 1 least recently used); a read of four blocks
// replaces the least recently used clean, unpinned buffers, skipping dirty and pinned ones, and
// reloads the clean blocks of the run that are cached; the run ends at the head in the order of
// the read-ahead.
TEST_P(FullCacheRead, ReplacesTheLeastRecentlyUsedCleanBuffersAndLeavesTheRunInOrder) {
  const FullCacheReadCase& c = GetParam();
  Open(20, 8);
  BufferPin held;
  for (uint32_t block = 1; block <= 8; ++block) {
    BufferPin pin = Get(block);
    if (block == c.dirty) {
      pin->Data()[0] = std::byte{0xD1};
      pin->MarkDirty();
    }
    if (block == c.pinned) held = std::move(pin);
  }
  storage_.reads.clear();
  BufferPin pin = Get(c.block, c.direction, 4);
  ASSERT_FALSE(pin.Retry());
  EXPECT_EQ(file_->RecencyOrder(), c.order);
  EXPECT_EQ(storage_.reads.size(), 1u);
  EXPECT_EQ(file_->BufferCount(), 8u);
  for (uint32_t block : c.order) {
    if (block == c.dirty) {
      EXPECT_EQ(file_->Peek(block)->Data()[0], std::byte{0xD1}) << "dirty block " << block;
      EXPECT_TRUE(file_->Peek(block)->Dirty());
    } else {
      EXPECT_TRUE(HoldsPattern(*file_->Peek(block), block)) << block;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    BufferedFile, FullCacheRead,
    ::testing::Values(
        FullCacheReadCase{"forward", 0, 0, 12, kForward, {12, 13, 14, 15, 8, 7, 6, 5}},
        FullCacheReadCase{"backward", 0, 0, 15, kBackward, {15, 14, 13, 12, 8, 7, 6, 5}},
        FullCacheReadCase{"dirty in the tail", 2, 0, 12, kForward, {12, 13, 14, 15, 8, 7, 6, 2}},
        FullCacheReadCase{"pinned tail", 0, 1, 12, kForward, {12, 13, 14, 15, 8, 7, 6, 1}},
        FullCacheReadCase{"dirty and pinned", 3, 1, 15, kBackward, {15, 14, 13, 12, 8, 7, 3, 1}},
        FullCacheReadCase{"run partly cached", 0, 0, 9, kBackward, {9, 8, 7, 6, 5, 4, 3, 2}},
        FullCacheReadCase{
            "run partly cached and dirty", 7, 0, 9, kBackward, {9, 8, 6, 7, 5, 4, 3, 2}},
        FullCacheReadCase{
            "run touching the last group", 0, 0, 17, kForward, {17, 18, 19, 20, 8, 7, 6, 5}}),
    [](const ::testing::TestParamInfo<FullCacheReadCase>& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

TEST_F(BufferedFileTest, AWriteBackDuringAReadLeavesTheBlocksOfTheReadAlone) {
  Open(10, 6);  // read-ahead limit 3
  for (uint32_t block : {2u, 5u, 6u, 7u, 8u}) Change(block, std::byte{0xD0});
  BufferPin held = Get(9);
  // Reading 1..3 places 3 first, and every buffer is dirty or pinned: a write-back frees some.
  // Had it written block 2, the placement of 2 would take it for clean and reload it from the
  // bytes read before that write.
  BufferPin pin = Get(1, kForward, 3);
  EXPECT_EQ(file_->Peek(2)->Data()[0], std::byte{0xD0});
  EXPECT_TRUE(file_->Peek(2)->Dirty());
  EXPECT_EQ(OnDisk(5), std::byte{0xD0});
}

TEST_F(BufferedFileTest, TheRetryAnswerComesWhenTheReadLockShowsAnotherProcessChangedTheTable) {
  Open(6, 4);
  BufferPin held = Get(1);
  owner_.next_outcome = ReadLockOutcome::roChanged;
  owner_.on_read_lock = [&] { file_->DiscardAll(); };  // what the table does then
  BufferPin retry = Get(5);
  EXPECT_TRUE(retry.Retry());
  EXPECT_EQ(file_->BufferCount(), 0u);
  EXPECT_TRUE(storage_.reads.size() == 1) << "nothing is read after the change is seen";
  EXPECT_TRUE(HoldsPattern(*held, 1)) << "a pin held across the discard stays readable";
  held.Reset();
  owner_.on_read_lock = nullptr;
  BufferPin again = Get(5);
  ASSERT_FALSE(again.Retry());
  EXPECT_TRUE(HoldsPattern(*again, 5));
}

TEST_F(BufferedFileTest, TheReadLockIsTakenOnlyForReadsAndOnlyWhenChangesAreDetectedThere) {
  struct Case {
    bool strict;
    bool exclusive;
    int read_locks;
  };
  for (const Case& c : {Case{false, false, 1}, Case{true, false, 0}, Case{false, true, 0}}) {
    SCOPED_TRACE(::testing::Message() << "strict " << c.strict << " exclusive " << c.exclusive);
    Open(4, 4);
    owner_ = FakeOwner();
    owner_.strict = c.strict;
    owner_.exclusive = c.exclusive;
    { BufferPin read = Get(2); }
    { BufferPin hit = Get(2); }
    { BufferPin appended = Get(5); }
    EXPECT_EQ(owner_.read_locks, c.read_locks);
  }
}

TEST_F(BufferedFileTest, DamagedBufferRequestsRaiseTheFileKindsCorruptCode) {
  struct Case {
    const FileKindParameters& kind;
    TEngineCode code;
  };
  for (const Case& c :
       {Case{kDataFileKind, 8962}, Case{kIndexFileKind, 8965}, Case{kBlobFileKind, 8963}}) {
    SCOPED_TRACE(c.code);
    Open(4, 4, c.kind);
    EXPECT_EQ(CodeRaisedBy([&] { BufferPin pin = Get(0); }), c.code) << "block 0";
    EXPECT_EQ(CodeRaisedBy([&] { BufferPin pin = Get(6); }), c.code) << "past the end";

    BufferPin pinned = Get(2);
    pinned->MarkDirty();
    EXPECT_FALSE(file_->WriteBack(true)) << "a partial write-back skips a pinned buffer";
    EXPECT_EQ(CodeRaisedBy([&] { (void)file_->WriteBack(false); }), c.code);
    EXPECT_TRUE(storage_.writes.empty());
    pinned.Reset();
    EXPECT_TRUE(file_->WriteBack(false));
  }
}

TEST_F(BufferedFileTest, AppendingChecksTheFileSizeAndRecordNumberLimits) {
  struct Case {
    const char* name;
    const FileKindParameters& kind;
    uint32_t last;
    uint32_t max_records;
    uint64_t max_file_size;  // 0: ample
    bool full;
  };
  constexpr uint64_t kAmple = 0;
  const Case cases[] = {
      // The record-number limit counts record numbers ever handed out (the next record number
      // - 1 is the last block), deleted records included: they all have lock bytes.
      {"data below the record limit", kDataFileKind, 99, 100, kAmple, false},
      {"data at the record limit", kDataFileKind, 100, 100, kAmple, true},
      {"index has no record limit", kIndexFileKind, 100, 100, kAmple, false},
      {"blob has no record limit", kBlobFileKind, 100, 100, kAmple, false},
      {"file exactly full after", kDataFileKind, 9, 100, kHeader + 10 * kBlockSize, false},
      {"file one byte short", kDataFileKind, 9, 100, kHeader + 10 * kBlockSize - 1, true},
      {"index file size", kIndexFileKind, 9, 100, kHeader + 10 * (kBlockSize + 13) - 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file_ = std::make_unique<TBufferedFile>(c.kind, storage_, owner_);
    BlockFileLayout layout = SmallLayout(kBlockSize + c.kind.block_header_size, 4, kHeader);
    layout.max_records = c.max_records;
    if (c.max_file_size != kAmple) layout.max_file_size = c.max_file_size;
    file_->Configure(layout);
    file_->SetLastBlockNumber(c.last);
    const TEngineCode code = CodeRaisedBy([&] { BufferPin pin = Get(c.last + 1); });
    EXPECT_EQ(code, c.full ? kErrTableFull : 0);
    EXPECT_EQ(file_->LastBlockNumber(), c.full ? c.last : c.last + 1);
    EXPECT_EQ(file_->HeaderChanged(), !c.full);
    EXPECT_EQ(file_->BufferCount(), c.full ? 0u : 1u);
  }
  EXPECT_TRUE(storage_.reads.empty()) << "appending reads nothing";
}

TEST_F(BufferedFileTest, AnAppendedBlockStartsZeroedAndDirtyWithThePageKind) {
  Open(3, 4);
  BufferPin pin = Get(4);
  EXPECT_EQ(pin->BlockNumber(), 4u);
  EXPECT_TRUE(pin->Dirty());
  EXPECT_TRUE(std::all_of(pin->Data().begin(), pin->Data().end(),
                          [](std::byte b) { return b == std::byte{0}; }));
  EXPECT_EQ(file_->EndOffset(), kHeader + 4 * kBlockSize);
  pin.Reset();
  EXPECT_TRUE(file_->WriteBack(false));
  EXPECT_EQ(storage_.bytes.size(), kHeader + 4 * kBlockSize);
}

TEST_F(BufferedFileTest, AShortReadIsAnErrorUnlessTheMissingBlocksAreAccountedFor) {
  struct Case {
    const char* name;
    bool exclusive;
    bool in_transaction;
    bool written;
    bool appended_unwritten;  // the missing blocks are this process's, still in the cache
    TEngineCode code;
  };
  const Case cases[] = {
      {"file cut short", false, false, false, false, kErrReadError},
      {"exclusive, not written", true, false, false, false, kErrReadError},
      {"transaction, not written", false, true, false, false, kErrReadError},
      {"exclusive and written", true, false, true, false, 0},
      {"transaction and written", false, true, true, false, 0},
      {"own appended blocks", false, true, false, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open(6, 8);  // blocks 1..6 on disk
    owner_ = FakeOwner();
    owner_.exclusive = c.exclusive;
    owner_.in_transaction = c.in_transaction;
    owner_.written = c.written;
    if (c.appended_unwritten) {
      for (uint32_t block = 7; block <= 8; ++block) BufferPin appended = Get(block);
    } else {
      file_->SetLastBlockNumber(8);  // the header claims two blocks the file lacks
    }
    const TEngineCode code = CodeRaisedBy([&] {
      BufferPin pin = Get(5, kForward, 4);
      EXPECT_TRUE(HoldsPattern(*pin, 5));
    });
    EXPECT_EQ(code, c.code);
    if (c.appended_unwritten) {
      EXPECT_TRUE(file_->Peek(7)->Dirty()) << "an unwritten block was replaced by the read";
    }
  }
}

TEST_F(BufferedFileTest, ATransactionGrowsTheCacheByTheKindsStepInsteadOfWritingEarly) {
  struct Case {
    const FileKindParameters& kind;
    size_t capacity_after;  // four buffers configured, twenty changed blocks
  };
  for (const Case& c :
       {Case{kDataFileKind, 68}, Case{kIndexFileKind, 20}, Case{kBlobFileKind, 36}}) {
    SCOPED_TRACE(c.kind.growth_step);
    Open(10, 4, c.kind);
    owner_.in_transaction = true;
    for (uint32_t block = 1; block <= 20; ++block) Change(block, std::byte{0x55});
    EXPECT_TRUE(storage_.writes.empty());
    EXPECT_EQ(file_->BufferCount(), 20u);
    EXPECT_EQ(file_->Capacity(), c.capacity_after);
    file_->Trim();
    EXPECT_EQ(file_->BufferCount(), 20u) << "trim inside a transaction drops no change";

    owner_.in_transaction = false;  // the commit
    EXPECT_TRUE(file_->WriteBack(false));
    EXPECT_EQ(storage_.writes.size(), 1u);
    file_->Trim();
    EXPECT_EQ(file_->BufferCount(), 4u);
    EXPECT_EQ(file_->Capacity(), 4u);
    for (uint32_t block = 1; block <= 20; ++block) EXPECT_EQ(OnDisk(block), std::byte{0x55});
  }
}

TEST_F(BufferedFileTest, OutsideATransactionAFullCacheWritesBackToFreeABuffer) {
  Open(10, 4);
  for (uint32_t block = 1; block <= 4; ++block) Change(block, std::byte{0x11});
  EXPECT_TRUE(storage_.writes.empty());
  { BufferPin next = Get(5); }
  EXPECT_EQ(storage_.writes.size(), 1u);
  EXPECT_EQ(file_->Capacity(), 4u);
  EXPECT_EQ(file_->BufferCount(), 4u);
}

TEST_F(BufferedFileTest, WriteBackJoinsConsecutiveDirtyBlocksIntoOneWriteEach) {
  Open(10, 16);
  for (uint32_t block : {9u, 1u, 5u, 2u, 6u, 3u}) Change(block, std::byte{0x42});
  EXPECT_TRUE(file_->WriteBack(false));
  const std::vector<MemoryStorage::Call> expected = {
      {file_->BlockOffset(1), 3 * kBlockSize},
      {file_->BlockOffset(5), 2 * kBlockSize},
      {file_->BlockOffset(9), 1 * kBlockSize},
  };
  EXPECT_EQ(storage_.writes, expected);
  EXPECT_EQ(file_->Statistics().write_operations, 3u);
  EXPECT_EQ(file_->DirtyCount(), 0u);
  EXPECT_TRUE(owner_.written);
  EXPECT_FALSE(file_->WriteBack(false)) << "nothing left to write";
  EXPECT_EQ(storage_.writes.size(), 3u);
}

TEST_F(BufferedFileTest, AFailedWriteKeepsItsBlocksDirtyAndTheRunsBeforeItWritten) {
  Open(10, 16);
  for (uint32_t block : {1u, 2u, 5u}) Change(block, std::byte{0x42});
  storage_.fail_writes = true;
  EXPECT_EQ(CodeRaisedBy([&] { (void)file_->WriteBack(false); }), kErrWriteError);
  EXPECT_TRUE(file_->Peek(1)->Dirty());
  EXPECT_TRUE(file_->Peek(2)->Dirty());
  EXPECT_TRUE(file_->Peek(5)->Dirty());
  EXPECT_FALSE(owner_.written);
  storage_.fail_writes = false;
  EXPECT_TRUE(file_->WriteBack(false));
  EXPECT_EQ(OnDisk(2), std::byte{0x42});
  EXPECT_EQ(OnDisk(5), std::byte{0x42});
}

TEST_F(BufferedFileTest, ABlockSizeWithoutRoomForDataIsADamagedHeader) {
  struct Case {
    const FileKindParameters& kind;
    uint32_t block_size;
  };
  for (const Case& c : {Case{kDataFileKind, 0}, Case{kIndexFileKind, 13}, Case{kBlobFileKind, 18},
                        Case{kDataFileKind, kMaxBlockSize + 1}}) {
    TBufferedFile file(c.kind, storage_, owner_);
    EXPECT_EQ(CodeRaisedBy([&] { file.Configure(SmallLayout(c.block_size, 4)); }),
              kErrHeaderCorrupt)
        << c.block_size;
  }
}

TEST_F(BufferedFileTest, ConfiguringAReopenedFileStartsFromAnEmptyCache) {
  Open(4, 4);
  Change(2, std::byte{1});
  { BufferPin pin = Get(3); }
  file_->Configure(SmallLayout(kBlockSize * 2, 4, kHeader));
  EXPECT_EQ(file_->BufferCount(), 0u);
  EXPECT_EQ(file_->LastBlockNumber(), 0u);
  EXPECT_EQ(file_->BufferDataSize(), kBlockSize * 2);
}

TEST(CacheSize, FollowsTheBudgetTheCountAndTheKindsCharge) {
  struct Case {
    const FileKindParameters& kind;
    uint32_t data_size;
    CacheBudget budget;
    uint32_t size;
    uint32_t read_ahead_limit;
  };
  const Case cases[] = {
      {kDataFileKind, 128, {32768, 8192}, 199, 99},       // 32768 / (128 + 36)
      {kDataFileKind, 128, {32768, 50}, 50, 25},          // the count bounds it
      {kDataFileKind, 65534, {32768, 8192}, 1, 1},        // at least one
      {kIndexFileKind, 4096 - 13, {65536, 8192}, 15, 1},  // 65536 / (4083 + 56)
      {kBlobFileKind, 512 - 18, {32768, 8192}, 59, 1},    // 32768 / (494 + 56)
      {kDataFileKind, 128, {0, 0}, 1, 1},
  };
  for (const Case& c : cases) {
    const uint32_t size = CacheSizeFor(c.kind, c.data_size, c.budget);
    EXPECT_EQ(size, c.size) << c.data_size;
    EXPECT_EQ(ReadAheadLimitFor(c.kind, size), c.read_ahead_limit) << c.data_size;
  }
}

// Failures of the real file under the cache, injected by the platform layer, through the
// platform file and through the engine file (whose errors carry the table's name).
class BufferedFileFault : public ::testing::TestWithParam<platform::FaultKind> {
 protected:
  void SetUp() override {
    if (!platform::kFaultInjectionBuilt) GTEST_SKIP() << "fault injection is not built in";
  }
  void TearDown() override { platform::DisarmAllFaults(); }

  // Changes block 2 of a four-block file; an injected failure fails the write-back with
  // kErrWriteError; the change stays dirty through reads that replace the other buffers; the
  // next write-back writes it. Returns the byte block 2 then starts with on disk.
  std::byte RunScenario(BlockStorage& storage, const std::function<std::byte()>& read_block_2) {
    FakeOwner owner;
    TBufferedFile cache(kDataFileKind, storage, owner);
    cache.Configure(SmallLayout(kBlockSize, 2, kHeader));
    cache.SetLastBlockNumber(4);
    {
      BufferPin pin = cache.GetBuffer(2);
      pin->Data()[0] = std::byte{0x99};
      pin->MarkDirty();
    }
    {
      platform::ScopedFault fault(
          {.operation = platform::FaultOperation::foWrite, .nth = 1, .kind = GetParam()});
      EXPECT_TRUE(fault.armed());
      EXPECT_EQ(CodeRaisedBy([&] { (void)cache.WriteBack(false); }), kErrWriteError);
    }
    if (GetParam() != platform::FaultKind::fkShortWrite) {
      EXPECT_NE(read_block_2(), std::byte{0x99});  // a short write stores part of the run
    }
    // Reading the other blocks through the two-buffer cache replaces only clean buffers.
    for (uint32_t block : {1u, 3u, 4u}) BufferPin pin = cache.GetBuffer(block);
    EXPECT_TRUE(cache.Peek(2) != nullptr && cache.Peek(2)->Dirty()) << "the change was dropped";
    EXPECT_TRUE(cache.WriteBack(false));
    EXPECT_FALSE(cache.Peek(2)->Dirty());
    return read_block_2();
  }

  veltra::testing::TempDir dir_;
  const std::vector<std::byte> image_ = PatternImage(kHeader, kBlockSize, 4);
};

TEST_P(BufferedFileFault, AFailedPlatformWriteKeepsTheChangeUntilALaterWriteBackSucceeds) {
  platform::OsResult<platform::File> created = platform::File::CreateNew(dir_.File("t.dat"));
  ASSERT_TRUE(created.ok());
  platform::File file = std::move(*created);
  ASSERT_TRUE(file.WriteAt(0, image_.data(), image_.size()).ok());
  FileBlockStorage storage(file);
  const std::byte written = RunScenario(storage, [&] {
    std::byte first{};
    EXPECT_TRUE(file.ReadAt(kHeader + kBlockSize, &first, 1).ok());
    return first;
  });
  EXPECT_EQ(written, std::byte{0x99});
}

TEST_P(BufferedFileFault, AFailedEngineFileWriteKeepsTheChangeUntilALaterWriteBackSucceeds) {
  TDataEngine engine;
  TEngineFile file(engine, dir_.File("t.dat"), false);
  file.Create();
  file.WriteAt(0, image_.data(), image_.size());
  EngineFileBlockStorage storage(file);
  const std::byte written = RunScenario(storage, [&] {
    std::byte first{};
    EXPECT_EQ(file.ReadAt(kHeader + kBlockSize, &first, 1, false), 1u);
    return first;
  });
  EXPECT_EQ(written, std::byte{0x99});
  file.Close();
}

INSTANTIATE_TEST_SUITE_P(BufferedFile, BufferedFileFault,
                         ::testing::Values(platform::FaultKind::fkIoError,
                                           platform::FaultKind::fkNoSpace,
                                           platform::FaultKind::fkShortWrite));

}  // namespace
}  // namespace veltra
