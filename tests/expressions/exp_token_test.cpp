#include "expressions/exp_token.h"

#include <gtest/gtest.h>

#include <cstring>

namespace veltra {
namespace {

TEST(ExpToken, ValueBufferKeepsItsSizeGrowsAndNeverVanishes) {
  TExpToken node;
  EXPECT_EQ(node.BufferSize(), kValueBufferSize);
  EXPECT_EQ(node.Data()[0], 0);

  struct Step {
    uint32_t size;
    size_t buffer;
  };
  const Step steps[] = {{1, kValueBufferSize},
                        {kValueBufferSize, kValueBufferSize},
                        {kValueBufferSize + 1, kValueBufferSize + 1},
                        {5000, 5000},
                        {3000, 5000},
                        {10, kValueBufferSize},
                        {0, kValueBufferSize}};
  for (const Step& step : steps) {
    std::memset(node.Data(), 'x', node.BufferSize());
    node.SetDataSize(step.size);
    EXPECT_EQ(node.DataSize(), step.size);
    EXPECT_EQ(node.BufferSize(), step.buffer) << step.size;
    if (step.size > 0) {
      EXPECT_EQ(node.Data()[std::min<size_t>(step.size, kValueBufferSize) - 1], 'x');
    }
  }
  // A NULL value always has a zero byte to read as the empty text.
  EXPECT_EQ(node.Data()[0], 0);
}

TEST(ExpToken, PutChildGrowsTheListWithEmptySlots) {
  TExpToken node;
  node.PutChild(2, MakeToken(TNodeKind::nkConstant, TOperator::opNone, "1"));
  EXPECT_EQ(node.ChildCount(), 3u);
  EXPECT_EQ(node.Child(0), nullptr);
  EXPECT_EQ(node.Child(1), nullptr);
  ASSERT_NE(node.Child(2), nullptr);
  EXPECT_EQ(node.Child(2)->Text, "1");
  EXPECT_EQ(node.Child(3), nullptr);
  EXPECT_EQ(node.Height(), 2u);
}

std::unique_ptr<TExpToken> Constant(int32_t value) {
  auto node = MakeToken(TNodeKind::nkConstant, TOperator::opNone, std::to_string(value));
  SetResultType(*node, TDataType::dtInteger);
  StoreInteger(node->Data(), value);
  return node;
}

std::unique_ptr<TExpToken> Column(std::string name) {
  auto node = MakeToken(TNodeKind::nkColumn, TOperator::opNone, name);
  node->ColumnName = std::move(name);
  return node;
}

TEST(ExpToken, CloneIsDeepAndEqualityFoldsNamesButNotValues) {
  auto tree = MakeToken(TNodeKind::nkBinary, TOperator::opAdd, "+");
  tree->Left = Column("Price");
  tree->Right = Constant(5);
  tree->UpdateHeight();

  auto copy = tree->Clone();
  EXPECT_TRUE(copy->SameTree(*tree));
  EXPECT_EQ(copy->Height(), 2u);
  StoreInteger(copy->Right->Data(), 6);
  EXPECT_FALSE(copy->SameTree(*tree));
  EXPECT_EQ(LoadInteger(tree->Right->Data()), 5);

  EXPECT_TRUE(Column("PRICE")->SameNode(*Column("price")));
  EXPECT_FALSE(Column("price")->SameNode(*Column("prices")));
  EXPECT_FALSE(Constant(1)->SameNode(*Constant(2)));
  auto swapped = tree->Clone();
  std::swap(swapped->Left, swapped->Right);
  EXPECT_FALSE(swapped->SameTree(*tree));
}

}  // namespace
}  // namespace veltra
