// The records bitmap: sizes around word boundaries, single records, counts, k-th searches in both
// directions, AND and OR, and the bits beyond the size staying clear.
#include "expressions/records_bitmap.h"

#include <gtest/gtest.h>

#include <set>

namespace veltra {
namespace {

TEST(RecordsBitmap, SizesKeepWordsAndLastWordBits) {
  struct Case {
    uint32_t size, words, last_bits;
  };
  for (Case c : {Case{0, 0, 0}, Case{1, 1, 1}, Case{31, 1, 31}, Case{32, 1, 32}, Case{33, 2, 1},
                 Case{64, 2, 32}, Case{65, 3, 1}}) {
    TRecordsBitmap bitmap(c.size);
    EXPECT_EQ(bitmap.WordCount(), c.words) << c.size;
    EXPECT_EQ(bitmap.BitsInLastWord(), c.last_bits) << c.size;
  }
}

TEST(RecordsBitmap, RecordNumbersOutsideTheSizeAreIgnored) {
  TRecordsBitmap bitmap(40);
  bitmap.Set(0);
  bitmap.Set(41);
  EXPECT_EQ(bitmap.Count(), 0u);
  bitmap.Set(1);
  bitmap.Set(40);
  EXPECT_TRUE(bitmap.Test(1));
  EXPECT_TRUE(bitmap.Test(40));
  EXPECT_FALSE(bitmap.Test(41));
  bitmap.Clear(40);
  EXPECT_FALSE(bitmap.Test(40));
  EXPECT_EQ(bitmap.Count(), 1u);
}

TEST(RecordsBitmap, ShrinkingClearsAndGrowingAddsClearRecords) {
  TRecordsBitmap bitmap(70);
  bitmap.SetAll();
  EXPECT_EQ(bitmap.Count(), 70u);
  bitmap.SetSize(33);
  EXPECT_EQ(bitmap.Count(), 33u);
  EXPECT_EQ(bitmap.WordCount(), 2u);
  bitmap.SetSize(70);
  EXPECT_EQ(bitmap.Count(), 33u);
  EXPECT_FALSE(bitmap.Test(34));
  EXPECT_EQ(bitmap.NextSet(33), std::nullopt);
  bitmap.ClearAll();
  EXPECT_EQ(bitmap.Count(), 0u);
}

TEST(RecordsBitmap, FindsTheKthSetRecordInBothDirections) {
  const std::set<uint32_t> set_records = {1, 5, 31, 32, 33, 64, 65, 100};
  TRecordsBitmap bitmap(100);
  for (uint32_t r : set_records) bitmap.Set(r);
  std::vector<uint32_t> order(set_records.begin(), set_records.end());
  // Against a plain search over every start and k.
  for (uint32_t start = 0; start <= 101; ++start) {
    for (uint32_t k = 1; k <= 9; ++k) {
      std::optional<uint32_t> next, prior;
      uint32_t seen = 0;
      for (uint32_t r : order) {
        if (r > start && ++seen == k) {
          next = r;
          break;
        }
      }
      seen = 0;
      for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (*it < start && ++seen == k) {
          prior = *it;
          break;
        }
      }
      EXPECT_EQ(bitmap.NextSet(start, k), next) << start << " " << k;
      EXPECT_EQ(bitmap.PriorSet(start, k), prior) << start << " " << k;
    }
  }
}

TEST(RecordsBitmap, AndOrCombineOnlyBitmapsOfTheSameSize) {
  TRecordsBitmap a(40), b(40), other(41);
  a.Set(1);
  a.Set(2);
  b.Set(2);
  b.Set(40);
  TRecordsBitmap c;
  c.Assign(a);
  EXPECT_TRUE(c.And(b));
  EXPECT_EQ(c.Count(), 1u);
  EXPECT_TRUE(c.Test(2));
  EXPECT_TRUE(a.Or(b));
  EXPECT_EQ(a.Count(), 3u);
  EXPECT_FALSE(a.And(other));
  EXPECT_EQ(a.Count(), 3u);
}

}  // namespace
}  // namespace veltra
