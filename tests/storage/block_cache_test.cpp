// The cache's bookkeeping: lookups against a reference map, replacement victims, the
// dirty list and its order, and buffers that outlive a discard while pinned.
#include "storage/block_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "cache_test_doubles.h"
#include "storage/buffered_file.h"

namespace veltra {
namespace {

using testing::FakeOwner;
using testing::MemoryStorage;

class BlockCacheTest : public ::testing::Test {
 protected:
  // Blocks 1..count, inserted in order, so block 1 ends at the tail.
  void Fill(uint32_t count) {
    for (uint32_t block = 1; block <= count; ++block) {
      buffers_.push_back(&cache_.Insert(std::make_unique<PlainBuffer>(file_, 8), block));
    }
  }
  TBuffer& Block(uint32_t block) { return *cache_.Find(block); }

  MemoryStorage storage_;
  FakeOwner owner_;
  TBufferedFile file_{kDataFileKind, storage_, owner_};
  BlockCache cache_;
  std::vector<TBuffer*> buffers_;
};

// Random adds, frees, renumberings and discards over blocks from a few hundred groups of sixteen
// scattered over the whole range of block numbers, so that the index's nodes fill and empty and
// its hash table sees collisions, long probe runs and removals inside them; every lookup agrees
// with a reference map.
TEST_F(BlockCacheTest, LookupsAgreeWithAReferenceMapThroughAddsFreesRenumberingsAndDiscards) {
  std::mt19937 random(7);
  std::vector<uint32_t> groups(300);
  for (uint32_t& group : groups) group = static_cast<uint32_t>(random() % (1u << 28));
  auto random_block = [&] {
    const uint32_t block = groups[random() % groups.size()] * 16 + random() % 16;
    return block == 0 ? 1 : block;
  };
  std::map<uint32_t, TBuffer*> reference;
  for (int step = 0; step < 30000; ++step) {
    const uint32_t block = random_block();
    auto found = reference.find(block);
    const unsigned action = random() % 8;
    if (found == reference.end() && action < 5) {
      reference[block] = &cache_.Insert(std::make_unique<PlainBuffer>(file_, 8), block);
    } else if (found != reference.end() && action < 6) {
      cache_.Free(*found->second);
      reference.erase(found);
    } else if (found != reference.end() && action < 7) {
      const uint32_t target = random_block();
      if (!reference.contains(target)) {
        cache_.Renumber(*found->second, target);
        reference[target] = found->second;
        reference.erase(found);
      }
    } else if (step % 5000 == 0) {
      cache_.DiscardAll();
      reference.clear();
    }
    ASSERT_EQ(cache_.Count(), reference.size());
    if (step % 97 == 0) {
      for (uint32_t group : groups) {
        for (uint32_t probe = group * 16; probe < group * 16 + 16; ++probe) {
          auto expected = reference.find(probe);
          ASSERT_EQ(cache_.Find(probe), expected == reference.end() ? nullptr : expected->second)
              << "block " << probe << " at step " << step;
        }
      }
    }
  }
  EXPECT_EQ(cache_.Find(0), nullptr);
}

TEST_F(BlockCacheTest, VictimIsTheBufferNearestTheTailThatIsNeitherDirtyNorPinned) {
  struct Case {
    const char* name;
    std::vector<uint32_t> dirty;
    std::vector<uint32_t> pinned;
    uint32_t victim;  // 0: none
  };
  const Case cases[] = {
      {"all clean", {}, {}, 1},
      {"tail dirty", {1}, {}, 2},
      {"tail pinned", {}, {1}, 2},
      {"dirty and pinned mixed", {1, 3}, {2}, 4},
      {"dirty while pinned", {1, 2}, {1, 2, 3}, 4},
      {"none left", {1, 2}, {3, 4}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BlockCache cache;
    for (uint32_t block = 1; block <= 4; ++block) {
      cache.Insert(std::make_unique<PlainBuffer>(file_, 8), block);
    }
    for (uint32_t block : c.pinned) cache.Pin(*cache.Find(block));
    for (uint32_t block : c.dirty) cache.Find(block)->MarkDirty();
    TBuffer* victim = cache.FindVictim();
    EXPECT_EQ(victim == nullptr ? 0 : victim->BlockNumber(), c.victim);
    EXPECT_EQ(cache.HasVictim(), c.victim != 0);
    // Undoing every mark makes every buffer replaceable again.
    for (uint32_t block : c.pinned) cache.Unpin(*cache.Find(block));
    for (uint32_t block : c.dirty) cache.MarkWritten(*cache.Find(block));
    EXPECT_EQ(cache.FindVictim()->BlockNumber(), 1u);
    EXPECT_EQ(cache.DirtyCount(), 0u);
  }
}

TEST_F(BlockCacheTest, UseMovesABufferToTheHeadAndRenumberingKeepsTheIndexRight) {
  Fill(4);
  EXPECT_EQ(cache_.RecencyOrder(), (std::vector<uint32_t>{4, 3, 2, 1}));
  cache_.MoveToHead(Block(2));
  EXPECT_EQ(cache_.RecencyOrder(), (std::vector<uint32_t>{2, 4, 3, 1}));
  cache_.Renumber(Block(1), 9);
  EXPECT_EQ(cache_.RecencyOrder(), (std::vector<uint32_t>{9, 2, 4, 3}));
  EXPECT_EQ(cache_.Find(1), nullptr);
  EXPECT_EQ(cache_.Find(9)->BlockNumber(), 9u);
  cache_.Free(Block(4));
  EXPECT_EQ(cache_.RecencyOrder(), (std::vector<uint32_t>{9, 2, 3}));
  EXPECT_EQ(cache_.Count(), 3u);
}

// Six buffers, block 1 at the tail: a run of `count` blocks from `first` takes the tail buffers
// while they are clean and unpinned, with the result of renumbering them one after another.
TEST_F(BlockCacheTest, ATailGroupTakesARunAsIfEachBufferWereRenumberedInTurn) {
  struct Case {
    const char* name;
    uint32_t first;
    uint32_t count;
    bool ascending;
    std::vector<uint32_t> dirty;
    std::vector<uint32_t> pinned;
    std::vector<uint32_t> loaded;  // the new block numbers, in the order they were loaded
    std::vector<uint32_t> order;   // the recency order afterwards
  };
  const Case cases[] = {
      {"descending", 100, 3, false, {}, {}, {102, 101, 100}, {100, 101, 102, 6, 5, 4}},
      {"ascending", 100, 3, true, {}, {}, {100, 101, 102}, {102, 101, 100, 6, 5, 4}},
      {"stops at a dirty buffer", 100, 3, false, {2}, {}, {102}, {102, 6, 5, 4, 3, 2}},
      {"stops at a pinned tail", 100, 3, false, {}, {1}, {}, {6, 5, 4, 3, 2, 1}},
      {"the whole list", 50, 6, true, {}, {}, {50, 51, 52, 53, 54, 55}, {55, 54, 53, 52, 51, 50}},
      {"more than the list",
       50,
       8,
       false,
       {},
       {},
       {57, 56, 55, 54, 53, 52},
       {52, 53, 54, 55, 56, 57}},
      {"inside the same groups", 7, 3, false, {}, {}, {9, 8, 7}, {7, 8, 9, 6, 5, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BlockCache cache;
    std::vector<TBuffer*> by_old_number(7, nullptr);
    for (uint32_t block = 1; block <= 6; ++block) {
      by_old_number[block] = &cache.Insert(std::make_unique<PlainBuffer>(file_, 8), block);
    }
    for (uint32_t block : c.pinned) cache.Pin(*cache.Find(block));
    for (uint32_t block : c.dirty) cache.Find(block)->MarkDirty();

    std::vector<uint32_t> loaded;
    const uint32_t placed = cache.ReplaceTail(c.first, c.count, c.ascending, [&](TBuffer& buffer) {
      loaded.push_back(buffer.BlockNumber());
    });
    EXPECT_EQ(placed, c.loaded.size());
    EXPECT_EQ(loaded, c.loaded);
    EXPECT_EQ(cache.RecencyOrder(), c.order);
    EXPECT_EQ(cache.Count(), 6u);
    // The index follows: the tail buffers answer to their new numbers only.
    for (size_t index = 0; index < loaded.size(); ++index) {
      EXPECT_EQ(cache.Find(loaded[index]), by_old_number[index + 1]) << loaded[index];
      if (!std::count(c.loaded.begin(), c.loaded.end(), index + 1)) {
        EXPECT_EQ(cache.Find(static_cast<uint32_t>(index + 1)), nullptr) << index + 1;
      }
    }
    for (uint32_t block = static_cast<uint32_t>(loaded.size()) + 1; block <= 6; ++block) {
      EXPECT_EQ(cache.Find(block), by_old_number[block]) << block;
    }
    EXPECT_EQ(cache.TakeVictim() == nullptr ? 0 : cache.TakeVictim()->BlockNumber(),
              cache.FindVictim() == nullptr ? 0 : cache.FindVictim()->BlockNumber());
    for (uint32_t block : c.pinned) cache.Unpin(*cache.Find(block));
  }
}

TEST_F(BlockCacheTest, AnyCachedLooksAtTheRangeOnlyAcrossGroupsOfSixteen) {
  Fill(1);                                                     // block 1
  cache_.Insert(std::make_unique<PlainBuffer>(file_, 8), 31);  // the last of group 1
  cache_.Insert(std::make_unique<PlainBuffer>(file_, 8), 48);  // the first of group 3
  cache_.Insert(std::make_unique<PlainBuffer>(file_, 8), 0xFFFFFFFFu);
  struct Case {
    uint32_t first;
    uint32_t count;
    bool cached;
  };
  const Case cases[] = {
      {1, 1, true},    {2, 29, false},           {2, 30, true},           {32, 16, false},
      {32, 17, true},  {47, 1, false},           {49, 200, false},        {16, 16, true},
      {17, 14, false}, {0xFFFFFFF0u, 15, false}, {0xFFFFFFF0u, 16, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cache_.AnyCached(c.first, c.count), c.cached) << c.first << " +" << c.count;
  }
}

TEST_F(BlockCacheTest, DirtyBuffersAreCollectedInBlockOrderWhateverOrderTheyChanged) {
  Fill(8);
  for (uint32_t block : {7u, 2u, 5u, 3u}) Block(block).MarkDirty();
  Block(5).MarkDirty();   // twice: listed once
  Block(3).Initialise();  // clean again: not listed
  std::vector<uint32_t> order;
  for (TBuffer* buffer : cache_.DirtyBuffers()) order.push_back(buffer->BlockNumber());
  EXPECT_EQ(order, (std::vector<uint32_t>{2, 5, 7}));
  EXPECT_EQ(cache_.DirtyCount(), 3u);
  cache_.Free(Block(5));  // dirty buffers may be dropped, as a discard does
  EXPECT_EQ(cache_.DirtyCount(), 2u);
}

TEST_F(BlockCacheTest, APinnedBufferOutlivesDiscardAllUntilItsLastPinGoes) {
  Fill(3);
  TBuffer& kept = Block(2);
  cache_.Pin(kept);
  cache_.Pin(kept);
  kept.Data()[0] = std::byte{42};
  kept.MarkDirty();
  cache_.DiscardAll();
  EXPECT_EQ(cache_.Count(), 0u);
  EXPECT_EQ(cache_.Find(2), nullptr);
  EXPECT_EQ(cache_.DetachedCount(), 1u);
  // The holder can still read it; its change is discarded with the rest.
  EXPECT_EQ(kept.Data()[0], std::byte{42});
  EXPECT_FALSE(kept.Dirty());
  kept.MarkDirty();  // changes to a detached buffer go nowhere
  EXPECT_EQ(cache_.DirtyCount(), 0u);
  cache_.Unpin(kept);
  EXPECT_EQ(cache_.DetachedCount(), 1u);
  cache_.Unpin(kept);  // the last pin frees it (the sanitizer checks nothing touches it later)
  EXPECT_EQ(cache_.DetachedCount(), 0u);
  // The cache works on as before.
  cache_.Insert(std::make_unique<PlainBuffer>(file_, 8), 2);
  EXPECT_EQ(cache_.FindVictim()->BlockNumber(), 2u);
}

TEST(Buffer, DiskImageRoundTripAndComparisons) {
  MemoryStorage storage;
  FakeOwner owner;
  TBufferedFile file(kDataFileKind, storage, owner);
  PlainBuffer first(file, 4);
  PlainBuffer second(file, 4);
  const std::byte image[4] = {std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4}};
  first.SetData(image);
  EXPECT_TRUE(first.Dirty());
  std::byte saved[4] = {};
  first.SaveToDiskImage(saved);
  EXPECT_TRUE(first.Dirty()) << "saving an image must not clear the mark before the write";
  second.LoadFromDiskImage(saved);
  EXPECT_FALSE(second.Dirty());
  EXPECT_TRUE(second.Equals(first));
  EXPECT_TRUE(second.EqualsData(std::span<const std::byte>(image, 2)));
  second.Initialise();
  EXPECT_FALSE(second.Equals(first));
  second.Assign(first);
  EXPECT_TRUE(second.Dirty());
  EXPECT_TRUE(second.Equals(first));
  std::byte out[4] = {};
  second.GetData(out);
  EXPECT_EQ(std::memcmp(out, image, 4), 0);
}

}  // namespace
}  // namespace veltra
