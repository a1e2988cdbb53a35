// BLOB value chains: how many blocks a value takes, rewriting over the old chain, freeing, the
// revision check that exposes a stale reference, and damaged chains (cycles, links outside the
// file, foreign blocks, short chains) that must end in an error without looping or damaging the
// free-block chain.
#include "storage/blob_chain.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "blob_test_support.h"

namespace veltra {
namespace {

using testing::BlobFileFixture;
using testing::CodeRaisedBy;
using testing::ValueBytes;

class BlobChainTest : public BlobFileFixture {
 protected:
  // The blocks of the free-block chain, head first.
  std::vector<uint32_t> FreeChain() {
    std::vector<uint32_t> blocks;
    for (int32_t block = file_->FirstFreeBlock(); block != 0 && blocks.size() < 100;) {
      blocks.push_back(static_cast<uint32_t>(block));
      block = file_->GetBlock(static_cast<uint32_t>(block))->Next();
    }
    return blocks;
  }
};

TEST_F(BlobChainTest, AValueTakesAsManyBlocksAsItsBytesFill) {
  struct Case {
    size_t size;
    uint32_t blocks;
  };
  const Case cases[] = {
      {0, 0}, {1, 1}, {kArea, 1}, {kArea + 1, 2}, {3 * kArea, 3}, {3 * kArea + 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Create();
    const std::vector<std::byte> value = ValueBytes(c.size);
    const uint32_t first = Store(value);
    EXPECT_EQ(first, c.blocks == 0 ? 0u : 1u);
    FlushAndReopen();
    EXPECT_EQ(file_->NextNewBlock(), c.blocks + 1);
    EXPECT_EQ(storage_.bytes.size(), kBlobHeaderSize + c.blocks * kBlockSize);
    const TLoadedChain loaded = LoadBlobChain(*file_, first, 7);
    ASSERT_EQ(loaded.status, TChainStatus::csDone);
    EXPECT_EQ(loaded.bytes, value);
    if (c.blocks > 0) {
      EXPECT_EQ(file_->GetBlock(first)->TotalLength(), c.size);
      EXPECT_EQ(file_->GetBlock(c.blocks)->Used(), c.size - (c.blocks - 1) * kArea);
    }
  }
}

TEST_F(BlobChainTest, RewritingReusesTheOldChainThenFreeBlocksThenAppends) {
  struct Case {
    const char* name;
    uint32_t old_blocks;
    uint32_t new_blocks;
    std::vector<uint32_t> free_after;  // the free-block chain afterwards
    uint32_t next_new_after;
  };
  // The file holds the value (blocks 1..old_blocks) and, after it, blocks 5 and 6 freed in that
  // order, so the free-block chain is 6, 5.
  const Case cases[] = {
      {"same length", 3, 3, {6, 5}, 7},
      // The old chain's tail is freed in chain order, so its last block ends at the head.
      {"shrinks", 4, 2, {4, 3, 6, 5}, 7},
      {"grows into the free blocks", 2, 4, {}, 7},
      {"grows past the free blocks", 2, 6, {}, 9},
      {"shrinks to nothing", 3, 0, {3, 2, 1, 6, 5}, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Create();
    const uint32_t first = Store(ValueBytes(c.old_blocks * kArea, 1), 7);
    while (file_->NextNewBlock() <= 6) (void)file_->TakeBlock();
    for (uint32_t block : {5u, 6u}) file_->FreeBlock(*file_->GetBlock(block));
    FlushAndReopen();

    const std::vector<std::byte> value = ValueBytes(c.new_blocks * kArea, 2);
    const TWrittenChain written = WriteBlobChain(*file_, first, 8, value);
    ASSERT_EQ(written.status, TChainStatus::csDone);
    EXPECT_EQ(written.first_block, c.new_blocks == 0 ? 0u : first);
    FlushAndReopen();
    EXPECT_EQ(FreeChain(), c.free_after);
    EXPECT_EQ(file_->NextNewBlock(), c.next_new_after);
    EXPECT_EQ(LoadBlobChain(*file_, written.first_block, 8).bytes, value);
    // A reader holding the old reference learns that the value was rewritten.
    if (c.new_blocks > 0) {
      EXPECT_EQ(LoadBlobChain(*file_, first, 7).status, TChainStatus::csStale);
    }
    for (uint32_t freed : c.free_after) {
      if (freed <= c.old_blocks) {
        EXPECT_EQ(file_->GetBlock(freed)->Revision(), 8);
      }
    }
    EXPECT_TRUE(file_->VerifyBlobFile(false, {}));
  }
}

TEST_F(BlobChainTest, DamagedChainsEndInAnErrorAndLeaveTheFreeChainSound) {
  enum class Operation { kLoad, kFree, kRewrite };
  struct Case {
    const char* name;
    std::function<void()> damage;  // on a 3-block value in blocks 1..3 of 6
    Operation operation;
    TEngineCode code;
  };
  const auto set_total = [this](uint32_t total) {
    StoreU32Le(reinterpret_cast<uint8_t*>(BlockBytes(1)) + kBlockTotalLengthOffset, total);
  };
  const auto cycle = [this, set_total] {
    SetNextOnDisk(3, 1);
    set_total(5 * kArea);
  };
  const auto outside = [this] { SetNextOnDisk(2, 50); };
  const auto negative = [this] { SetNextOnDisk(2, -2); };
  const auto foreign = [this] { SetRevisionOnDisk(2, 99); };
  const Case cases[] = {
      {"cycle", cycle, Operation::kLoad, kErrBlobBlockCorrupt},
      {"cycle", cycle, Operation::kFree, kErrBlobBlockCorrupt},
      {"cycle", cycle, Operation::kRewrite, kErrBlobBlockCorrupt},
      {"self link", [this] { SetNextOnDisk(2, 2); }, Operation::kFree, kErrBlobBlockCorrupt},
      {"link outside the file", outside, Operation::kLoad, kErrBlobBlockCorrupt},
      {"link outside the file", outside, Operation::kFree, kErrBlobBlockCorrupt},
      {"link outside the file", outside, Operation::kRewrite, kErrBlobBlockCorrupt},
      {"negative link", negative, Operation::kLoad, kErrBlobBlockCorrupt},
      {"negative link", negative, Operation::kFree, kErrBlobBlockCorrupt},
      {"block of another value", foreign, Operation::kFree, kErrBlobBlockCorrupt},
      {"block of another value", foreign, Operation::kRewrite, kErrBlobBlockCorrupt},
      {"chain ends early", [this] { SetNextOnDisk(2, 0); }, Operation::kLoad, kErrBlobEndReached},
      {"block used short",
       [this] { StoreU16Le(reinterpret_cast<uint8_t*>(BlockBytes(2)) + kBlockUsedOffset, 10); },
       Operation::kLoad, kErrBlobEndReached},
      {"used count beyond the data area",
       [this] {
         StoreU16Le(reinterpret_cast<uint8_t*>(BlockBytes(1)) + kBlockUsedOffset, kArea + 1);
       },
       Operation::kLoad, kErrBlobBlockCorrupt},
      {"length the file cannot hold", [this, set_total] { set_total(0xFFFFFFFF); },
       Operation::kLoad, kErrBlobEndReached},
      // The free-block chain leads into the chain being written.
      {"free chain into the value",
       [this] { StoreI32Le(HeaderBytes() + kBlobHeaderFirstFreeOffset, 1); }, Operation::kRewrite,
       kErrBlobBlockCorrupt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.name << " / " << static_cast<int>(c.operation));
    Create();
    (void)Store(ValueBytes(3 * kArea), 7);
    // Blocks of other values after it, so that a cycle fits within the file's length.
    for (int i = 0; i < 3; ++i) file_->TakeBlock()->SetUsed(1);
    Flush();
    c.damage();
    Reopen();
    const TEngineCode code = CodeRaisedBy([&] {
      switch (c.operation) {
        case Operation::kLoad:
          (void)LoadBlobChain(*file_, 1, 7);
          break;
        case Operation::kFree:
          (void)FreeBlobChain(*file_, 1, 8);
          break;
        case Operation::kRewrite:
          (void)WriteBlobChain(*file_, 1, 8, ValueBytes(6 * kArea));
          break;
      }
    });
    EXPECT_EQ(code, c.code);
    // No block went onto the free-block chain twice.
    if (c.operation == Operation::kFree) {
      EXPECT_TRUE(file_->VerifyBlobFile(false, {}));
    }
  }
}

TEST_F(BlobChainTest, AStaleReferenceIsAnsweredNotRaised) {
  Create();
  const uint32_t first = Store(ValueBytes(2 * kArea), 7);
  FlushAndReopen();
  EXPECT_EQ(LoadBlobChain(*file_, first, 6).status, TChainStatus::csStale);
  // A block after the first that carries another revision: rewritten under the reader's feet.
  Flush();
  SetRevisionOnDisk(2, 9);
  Reopen();
  EXPECT_EQ(LoadBlobChain(*file_, first, 7).status, TChainStatus::csStale);
}

TEST_F(BlobChainTest, FreeingGivesEveryBlockTheNewRevisionAndFreesInChainOrder) {
  Create();
  const uint32_t first = Store(ValueBytes(3 * kArea), 7);
  ASSERT_EQ(FreeBlobChain(*file_, first, 12), TChainStatus::csDone);
  EXPECT_EQ(FreeChain(), (std::vector<uint32_t>{3, 2, 1}));
  for (uint32_t block = 1; block <= 3; ++block) EXPECT_EQ(file_->GetBlock(block)->Revision(), 12);
  EXPECT_EQ(FreeBlobChain(*file_, 0, 13), TChainStatus::csDone);
  // The next value takes the freed blocks, last freed first.
  EXPECT_EQ(Store(ValueBytes(2 * kArea), 14), 3u);
  EXPECT_EQ(FreeChain(), (std::vector<uint32_t>{1}));
}

TEST_F(BlobChainTest, AChangeSeenWhileReadingABlockIsAnsweredWithRetry) {
  const std::function<TChainStatus(TBlobFile&)> operations[] = {
      [](TBlobFile& file) { return LoadBlobChain(file, 1, 7).status; },
      [](TBlobFile& file) { return FreeBlobChain(file, 1, 8); },
      [](TBlobFile& file) { return WriteBlobChain(file, 1, 8, ValueBytes(kArea)).status; },
      [](TBlobFile& file) { return WriteBlobChain(file, 0, 8, ValueBytes(kArea)).status; },
  };
  int index = 0;
  for (const auto& operation : operations) {
    SCOPED_TRACE(index++);
    Create();
    (void)Store(ValueBytes(2 * kArea), 7);
    (void)file_->TakeBlock();
    file_->FreeBlock(*file_->GetBlock(3));  // so that taking a block reads one
    FlushAndReopen();
    // Another process changed the table: the read lock says so before the first block is read.
    owner_.next_outcome = ReadLockOutcome::roChanged;
    EXPECT_EQ(operation(*file_), TChainStatus::csRetry);
  }
}

TEST_F(BlobChainTest, ABlockPinnedByAnotherUserIsNotFreed) {
  Create();
  const uint32_t first = Store(ValueBytes(3 * kArea), 7);
  BlockPin held = file_->GetBlock(2);
  EXPECT_EQ(CodeRaisedBy([&] { (void)FreeBlobChain(*file_, first, 8); }), kErrBlobBlockCorrupt);
  EXPECT_EQ(held->Revision(), 7);
}

}  // namespace
}  // namespace veltra
