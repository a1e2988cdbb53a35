// Tree utilities: finding columns and aggregates, the first token's node, mirroring comparisons,
// aggregate codes, and the current-value node reading through the host.
#include "expressions/tree_utilities.h"

#include <gtest/gtest.h>

#include "core/engine_error.h"
#include "test_trees.h"

namespace veltra {
namespace {

using namespace test_trees;
using O = TOperator;
using T = TDataType;

Node Column(const char* name, int32_t line, int32_t column) {
  Node n = Typed(TNodeKind::nkColumn, O::opNone, name, T::dtInteger);
  n->ColumnName = name;
  n->Line = line;
  n->Column = column;
  return n;
}

Node Aggregate(O op, Node argument) {
  Node n = Typed(TNodeKind::nkFunction, op, "AGG", T::dtInteger);
  n->AddChild(std::move(argument));
  return n;
}

TEST(TreeUtilities, FindsColumnsAndAggregatesInTreeOrder) {
  // SUM(a) + b * 2, the aggregate's column belongs to it.
  Node tree = Binary(O::opAdd, Aggregate(O::opSum, Column("a", 1, 5)),
                     Binary(O::opMultiply, Column("b", 1, 14), Int(2), T::dtInteger), T::dtInteger);
  auto aggregates = FindAggregates(*tree);
  ASSERT_EQ(aggregates.size(), 1u);
  EXPECT_EQ(aggregates[0]->Operator, O::opSum);
  auto columns = FindColumns(*tree);
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0]->ColumnName, "a");
  EXPECT_EQ(columns[1]->ColumnName, "b");
  EXPECT_TRUE(ContainsAggregates(*tree));
  EXPECT_FALSE(ContainsAggregates(*tree->Right));
  EXPECT_TRUE(ContainsColumns(*tree->Right));
  EXPECT_FALSE(ContainsColumns(*Int(1)));
}

TEST(TreeUtilities, FirstTokenNodeIsTheEarliestPosition) {
  Node tree = Binary(O::opAdd, Column("late", 2, 1), Column("early", 1, 9), T::dtInteger);
  tree->Line = 2;
  tree->Column = 3;
  EXPECT_EQ(FirstTokenNode(*tree).ColumnName, "early");
  Node unplaced = Int(1);
  EXPECT_EQ(&FirstTokenNode(*unplaced), unplaced.get());
}

TEST(TreeUtilities, SwappedComparisonsMeanTheSame) {
  struct Case {
    O op, mirrored;
  };
  for (Case c :
       {Case{O::opLess, O::opGreater}, Case{O::opGreater, O::opLess},
        Case{O::opLessOrEqual, O::opGreaterOrEqual}, Case{O::opGreaterOrEqual, O::opLessOrEqual},
        Case{O::opEqual, O::opEqual}, Case{O::opNotEqual, O::opNotEqual}}) {
    for (int left : {1, 2, 3}) {
      Node node = Binary(c.op, Int(left), Int(2));
      std::optional<bool> before = BoolOf(EvalTree(*node));
      ASSERT_TRUE(SwapComparisonOperands(*node));
      EXPECT_EQ(node->Operator, c.mirrored);
      EXPECT_EQ(IntOf(*node->Right), left);
      EXPECT_EQ(BoolOf(EvalTree(*node)), before);
    }
  }
  Node sum = Binary(O::opAdd, Int(1), Int(2), T::dtInteger);
  EXPECT_FALSE(SwapComparisonOperands(*sum));
  EXPECT_EQ(IntOf(*sum->Left), 1);
}

TEST(TreeUtilities, AggregateCodesIgnoreCase) {
  struct Case {
    const char* name;
    O op;
  };
  for (Case c : {Case{"SUM", O::opSum}, Case{"runsum", O::opRunSum}, Case{"Avg", O::opAvg},
                 Case{"STDDEV", O::opStdDev}, Case{"min", O::opMin}, Case{"MAX", O::opMax},
                 Case{"count", O::opCount}, Case{"SUMS", O::opNone}, Case{"", O::opNone},
                 Case{"UPPER", O::opNone}}) {
    EXPECT_EQ(AggregateCode(c.name), c.op) << c.name;
  }
}

class CurrentValueHost : public TEvaluationHost {
 public:
  void FetchCurrentValue(TExpToken& node, TEvaluationContext&) override {
    node.IsNull = false;
    StoreInteger(node.Data(), 77);
  }
};

TEST(TreeUtilities, CurrentValueNodeReadsThroughTheHost) {
  Node column = Column("parent_id", 1, 1);
  column->FieldNumber = 3;
  Node node = MakeCurrentValueNode(*column);
  EXPECT_EQ(node->FieldNumber, 3);
  EXPECT_EQ(node->DataType, T::dtInteger);
  CurrentValueHost host;
  TEvaluationContext context;
  context.Host = &host;
  Evaluate(*node, context);
  EXPECT_EQ(IntOf(*node), 77);
  TEvaluationContext no_host;
  EXPECT_THROW(Evaluate(*node, no_host), EVELTRAEngineError);
}

}  // namespace
}  // namespace veltra
