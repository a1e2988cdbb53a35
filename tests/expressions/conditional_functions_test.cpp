// IF, COALESCE, IFNULL, NULLIF, CASE and CAST over hand-typed trees: the chosen value converted
// to the node's type, branches not taken left unevaluated, a CASE operand evaluated once, and
// CAST giving NULL where a value does not convert.
#include <gtest/gtest.h>

#include <functional>

#include "function_fixture.h"

namespace veltra::function_test {
namespace {

struct ValueCase {
  const char* label;
  std::function<Node()> build;
  std::optional<double> expected;  // numbers; nullopt: NULL
};

double AsNumber(const TExpToken& node) {
  if (node.DataType == D::dtFloat || node.DataType == D::dtBcd) return *FloatResult(node);
  return static_cast<double>(*IntResult(node));
}

// The CASE node as the parser builds it: the WHEN list, the THEN list with the ELSE value last
// (a NULL constant when there is none), and the operand, when there is one, as the third child.
Node CaseNode(TResult result, std::vector<Node> whens, std::vector<Node> thens, Node operand) {
  Node conditions = MakeToken(TNodeKind::nkFunction, O::opCaseConditions, "WHEN");
  for (Node& when : whens) conditions->AddChild(std::move(when));
  conditions->Operation = SelectFunctionOperation(*conditions);
  Node results = MakeToken(TNodeKind::nkFunction, O::opCaseResults, "THEN");
  for (Node& then : thens) results->AddChild(std::move(then));
  results->Operation = SelectFunctionOperation(*results);
  if (operand != nullptr)
    return Fn(O::opCase, result, std::move(conditions), std::move(results), std::move(operand));
  return Fn(O::opCase, result, std::move(conditions), std::move(results));
}

template <class... N>
std::vector<Node> List(N... nodes) {
  std::vector<Node> list;
  (list.push_back(std::move(nodes)), ...);
  return list;
}

TEST(ConditionalFunctions, TheChosenValueIsConvertedAndTheOthersAreNotEvaluated) {
  const ValueCase cases[] = {
      {"IF true", [] { return Fn(O::opIf, Of(D::dtFloat), Bool(true), Int(1), Untouchable()); }, 1},
      {"IF false",
       [] { return Fn(O::opIf, Of(D::dtFloat), Bool(false), Untouchable(), Float(2.5)); }, 2.5},
      {"IF NULL condition takes the ELSE value",
       [] { return Fn(O::opIf, Of(D::dtInteger), NullOf(D::dtBoolean), Untouchable(), Int(3)); },
       3},
      {"IF integer condition",
       [] { return Fn(O::opIf, Of(D::dtInteger), Int(7), Int(1), Untouchable()); }, 1},
      {"COALESCE stops at the first value",
       [] { return Fn(O::opCoalesce, Of(D::dtLargeInt), NullOf(), Int(5), Untouchable()); }, 5},
      {"COALESCE of NULLs",
       [] { return Fn(O::opCoalesce, Of(D::dtInteger), NullOf(), NullOf(D::dtInteger)); },
       std::nullopt},
      {"IFNULL of NULL",
       [] { return Fn(O::opIfNull, Of(D::dtInteger), NullOf(), Int(1), Untouchable()); }, 1},
      {"IFNULL of a value",
       [] { return Fn(O::opIfNull, Of(D::dtInteger), Int(0), Untouchable(), Int(2)); }, 2},
      {"NULLIF equal", [] { return Fn(O::opNullIf, Of(D::dtInteger), Int(3), Small(3)); },
       std::nullopt},
      {"NULLIF unequal", [] { return Fn(O::opNullIf, Of(D::dtInteger), Int(3), Int(4)); }, 3},
      {"NULLIF integer and float by value",
       [] { return Fn(O::opNullIf, Of(D::dtInteger), Int(3), Float(3.0)); }, std::nullopt},
      {"NULLIF of two NULLs", [] { return Fn(O::opNullIf, Of(D::dtInteger), NullOf(), NullOf()); },
       std::nullopt},
      {"NULLIF value and NULL", [] { return Fn(O::opNullIf, Of(D::dtInteger), Int(3), NullOf()); },
       3},
      {"CASE first true condition",
       [] {
         return CaseNode(Of(D::dtInteger), List(Bool(false), Bool(true), Untouchable()),
                         List(Untouchable(), Int(20), Untouchable(), Untouchable()), nullptr);
       },
       20},
      {"CASE takes the ELSE value",
       [] {
         return CaseNode(Of(D::dtFloat), List(Bool(false), NullOf(D::dtBoolean)),
                         List(Untouchable(), Untouchable(), Int(9)), nullptr);
       },
       9},
      {"CASE without ELSE is NULL",
       [] {
         return CaseNode(Of(D::dtInteger), List(Bool(false)), List(Untouchable(), NullOf()),
                         nullptr);
       },
       std::nullopt},
      {"CASE operand matching the second WHEN",
       [] {
         return CaseNode(Of(D::dtInteger), List(Int(1), Large(2), Untouchable()),
                         List(Untouchable(), Int(200), Untouchable(), Untouchable()), Small(2));
       },
       200},
      {"CASE operand matching nothing",
       [] {
         return CaseNode(Of(D::dtInteger), List(Int(1), Int(2)),
                         List(Untouchable(), Untouchable(), Int(-1)), Int(3));
       },
       -1},
      {"CAST text to integer", [] { return Fn(O::opCast, Of(D::dtInteger), Str("12")); }, 12},
      {"CAST text that is no number", [] { return Fn(O::opCast, Of(D::dtInteger), Str("abc")); },
       std::nullopt},
      {"CAST float to integer truncates",
       [] { return Fn(O::opCast, Of(D::dtInteger), Float(-3.7)); }, -3},
      {"CAST float beyond the integers",
       [] { return Fn(O::opCast, Of(D::dtInteger), Float(1e30)); }, std::nullopt},
      {"CAST text to Boolean", [] { return Fn(O::opCast, Of(D::dtBoolean), Str("true")); }, 1},
      {"CAST text to decimal", [] { return Fn(O::opCast, Of(D::dtBcd, 2), Str("1.255")); }, 1.26},
      {"CAST of NULL", [] { return Fn(O::opCast, Of(D::dtInteger), NullOf()); }, std::nullopt},
  };
  for (const ValueCase& c : cases) {
    Node node = c.build();
    EvaluateTree(*node);
    if (!c.expected) {
      EXPECT_TRUE(node->IsNull) << c.label;
      EXPECT_TRUE(ZeroFrom(*node, 0)) << c.label;
    } else {
      ASSERT_FALSE(node->IsNull) << c.label;
      EXPECT_DOUBLE_EQ(AsNumber(*node), *c.expected) << c.label;
    }
  }
}

struct TextCase {
  const char* label;
  std::function<Node()> build;
  std::optional<std::string> expected;
};

TEST(ConditionalFunctions, TextResults) {
  const TextCase cases[] = {
      {"CAST cuts to the length", [] { return Fn(O::opCast, Text(4), Str("abcdef")); }, "abc"},
      {"CAST date to text", [] { return Fn(O::opCast, Text(11), Date("2010-01-03")); },
       "2010-01-03"},
      {"CAST text to date and back",
       [] { return Fn(O::opCast, Text(11), Fn(O::opCast, Of(D::dtDate), Str("2000-02-29"))); },
       "2000-02-29"},
      {"CAST of a day that does not exist",
       [] { return Fn(O::opCast, Text(11), Fn(O::opCast, Of(D::dtDate), Str("2001-02-29"))); },
       std::nullopt},
      {"CAST to memo keeps a long text",
       [] {
         return Fn(O::opCast, {D::dtBlob, 4, 0, TDataSubType::dsMemo}, Str(std::string(2000, 'm')));
       },
       std::string(2000, 'm')},
      {"IF keeps a text longer than its verified size whole",
       [] { return Fn(O::opIf, Text(3), Bool(true), Str(std::string(700, 'w')), Str("x")); },
       std::string(700, 'w')},
      {"CASE text values",
       [] {
         return CaseNode(Text(6), List(Str("b"), Str("a")), List(Str("no"), Str("yes"), NullOf()),
                         Str("a"));
       },
       "yes"},
      {"COALESCE grows to a longer text",
       [] {
         return Fn(O::opCoalesce, {D::dtBlob, 4, 0, TDataSubType::dsMemo}, NullOf(D::dtString),
                   Memo(std::string(1500, 'z')));
       },
       std::string(1500, 'z')},
  };
  for (const TextCase& c : cases) {
    Node node = c.build();
    EXPECT_EQ(TextResult(EvaluateTree(*node)), c.expected) << c.label;
  }
}

int operand_evaluations = 0;

void CountingConstant(TExpToken&, TEvaluationContext&) { ++operand_evaluations; }

TEST(ConditionalFunctions, ACaseOperandIsEvaluatedOnceAsAChildOfTheCase) {
  Node operand = Int(3);
  operand->Operation = CountingConstant;
  Node node = CaseNode(Of(D::dtInteger), List(Int(1), Int(2), Int(3), Int(4)),
                       List(Int(10), Int(20), Int(30), Int(40), NullOf()), std::move(operand));
  ASSERT_EQ(node->ChildCount(), 3u);
  operand_evaluations = 0;
  EXPECT_EQ(IntResult(EvaluateTree(*node)), 30);
  EXPECT_EQ(operand_evaluations, 1);
  // The operand stays one node of the tree: a change to it (a parameter's new value) is seen.
  StoreInteger(node->Child(kCaseOperandChild)->Data(), 4);
  EXPECT_EQ(IntResult(EvaluateTree(*node)), 40);
  EXPECT_EQ(operand_evaluations, 2);
}

}  // namespace
}  // namespace veltra::function_test
