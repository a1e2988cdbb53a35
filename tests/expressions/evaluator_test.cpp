// Evaluation by node kind: AND, OR and NOT with NULL operands and their evaluation order, LIKE
// and NOT LIKE with NULLs, IN lists, BETWEEN, columns through the fetcher, and the internal error
// of a column without one.
#include "expressions/evaluator.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "core/engine_error.h"
#include "core/error_codes.h"
#include "expressions/expression_parser.h"
#include "expressions/type_verification.h"
#include "test_trees.h"

namespace veltra {
namespace {

using namespace test_trees;
using O = TOperator;
using T = TDataType;

// A column whose value the test fetcher reads from the record: an integer at offset
// FieldNumber * 4, NULL when it is the smallest integer; the fetcher counts its calls.
struct FetchLog {
  int calls = 0;
};

void FetchInteger(TExpToken& column, TEvaluationContext& context) {
  ++static_cast<FetchLog*>(context.Owner)->calls;
  int32_t value = LoadInteger(context.Record + 4 * column.FieldNumber);
  if (value == INT32_MIN) {
    SetNull(column);
    return;
  }
  column.IsNull = false;
  StoreInteger(column.Data(), value);
}

Node Column(uint16_t field) {
  Node n = Typed(TNodeKind::nkColumn, O::opNone, "c" + std::to_string(field), T::dtInteger);
  n->ColumnName = n->Text;
  n->FieldNumber = field;
  return n;
}

Node BoolOrNull(int v) { return v < 0 ? Null(T::dtBoolean) : Bool(v != 0); }

struct LogicCase {
  int left;  // 0 false, 1 true, -1 NULL
  int right;
  bool and_result;
  bool or_result;
};

const LogicCase kLogicCases[] = {
    {1, 1, true, true},   {1, 0, false, true},  {0, 1, false, true},    {0, 0, false, false},
    {-1, 1, false, true}, {1, -1, false, true}, {-1, -1, false, false}, {-1, 0, false, false},
};

TEST(Logic, NullBooleansCountAsFalse) {
  for (const LogicCase& c : kLogicCases) {
    Node conj = Binary(O::opAnd, BoolOrNull(c.left), BoolOrNull(c.right));
    Node disj = Binary(O::opOr, BoolOrNull(c.left), BoolOrNull(c.right));
    EXPECT_EQ(BoolOf(EvalTree(*conj)), c.and_result) << c.left << " AND " << c.right;
    EXPECT_EQ(BoolOf(EvalTree(*disj)), c.or_result) << c.left << " OR " << c.right;
  }
  for (int v : {-1, 0, 1}) {
    Node negation = Unary(O::opNot, BoolOrNull(v), T::dtBoolean);
    EXPECT_EQ(BoolOf(EvalTree(*negation)), v != 1) << "NOT " << v;
  }
}

TEST(Logic, TheRightOperandDecidesFirstAndTheLeftIsSkipped) {
  int32_t record[2] = {7, 0};
  FetchLog log;
  TEvaluationContext context{reinterpret_cast<uint8_t*>(record), &log, nullptr, FetchInteger};
  // c0 = 7 AND FALSE: the left comparison never fetches.
  Node conj = Binary(O::opAnd, Binary(O::opEqual, Column(0), Int(7)), Bool(false));
  EXPECT_EQ(BoolOf(EvalTree(*conj, context)), false);
  EXPECT_EQ(log.calls, 0);
  Node disj = Binary(O::opOr, Binary(O::opEqual, Column(0), Int(7)), Bool(true));
  EXPECT_EQ(BoolOf(EvalTree(*disj, context)), true);
  EXPECT_EQ(log.calls, 0);
  Node both = Binary(O::opAnd, Binary(O::opEqual, Column(0), Int(7)), Bool(true));
  EXPECT_EQ(BoolOf(EvalTree(*both, context)), true);
  EXPECT_EQ(log.calls, 1);
}

TEST(Column, ValuesComeThroughTheFetcherForEachRecord) {
  int32_t record[2] = {0, 41};
  FetchLog log;
  TEvaluationContext context{reinterpret_cast<uint8_t*>(record), &log, nullptr, FetchInteger};
  Node sum = Binary(O::opAdd, Column(1), Int(1), T::dtInteger);
  EXPECT_EQ(IntOf(EvalTree(*sum, context)), 42);
  record[1] = INT32_MIN;
  Evaluate(*sum, context);
  EXPECT_EQ(IntOf(*sum), std::nullopt);
  record[1] = 1;
  Evaluate(*sum, context);
  EXPECT_EQ(IntOf(*sum), 2);
}

TEST(Column, WithoutAFetcherRaisesTheInternalColumnError) {
  Node node = Binary(O::opGreater, Column(3), Int(1));
  node->Left->ColumnName = "Amount";
  node->Left->Line = 2;
  node->Left->Column = 9;
  try {
    EvalTree(*node);
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& e) {
    EXPECT_EQ(e.EngineCode(), kErrSqlParse);
    EXPECT_EQ(e.ContextMessage(), "Internal error: Column \"Amount\" specified illegally");
    EXPECT_EQ(e.ContextLine(), 2);
    EXPECT_EQ(e.ContextColumn(), 9);
  }
}

TEST(Operations, ATreeOfUnknownShapeRaisesInsteadOfCrashing) {
  Node node = Binary(O::opLike, Int(1), Int(2));  // LIKE is never binary
  EXPECT_THROW(EvalTree(*node), EVELTRAEngineError);
  Node no_operands = Typed(TNodeKind::nkExtended, O::opBetween, "BETWEEN", T::dtBoolean);
  EXPECT_THROW(EvalTree(*no_operands), EVELTRAEngineError);
}

struct ExtendedCase {
  const char* name;
  std::function<Node()> build;
  bool result;
};

void PrintTo(const ExtendedCase& c, std::ostream* os) { *os << c.name; }

Node Like(O op, Node value, Node pattern) {
  return Extended(op, List(std::move(value), std::move(pattern)));
}

const ExtendedCase kExtendedCases[] = {
    {"LikeMatches", [] { return Like(O::opLike, Str("Smith"), Str("Sm%")); }, true},
    {"LikeNullPattern", [] { return Like(O::opLike, Str("abc"), Null(T::dtString)); }, false},
    {"NotLikeNullPattern", [] { return Like(O::opNotLike, Str("abc"), Null(T::dtString)); }, true},
    {"LikeNullValue", [] { return Like(O::opLike, Null(T::dtString), Str("%")); }, false},
    {"NotLikeMatch", [] { return Like(O::opNotLike, Str("Smith"), Str("S_ith")); }, false},
    {"LikeWithEscape", [] { return Extended(O::opLike, List(Str("50%"), Str("50!%"), Str("!"))); },
     true},
    {"LikeEscapedPercentIsLiteral",
     [] { return Extended(O::opLike, List(Str("500"), Str("50!%"), Str("!"))); }, false},
    {"InListFound", [] { return Extended(O::opInList, List(Int(3), Int(1), Float(3.0))); }, true},
    {"InListMissing", [] { return Extended(O::opInList, List(Int(3), Int(1), Int(2))); }, false},
    {"NotInListMissing", [] { return Extended(O::opNotInList, List(Int(3), Int(1))); }, true},
    {"InListNullMatchesNull",
     [] { return Extended(O::opInList, List(Null(T::dtInteger), Int(1), Null(T::dtInteger))); },
     true},
    {"InListOfTexts", [] { return Extended(O::opInList, List(Str("b"), Str("a"), Str("b"))); },
     true},
    {"BetweenInside", [] { return Extended(O::opBetween, List(Int(5), Int(5), Int(20))); }, true},
    {"BetweenAbove", [] { return Extended(O::opBetween, List(Int(21), Int(5), Int(20))); }, false},
    {"BetweenMixedBounds",
     [] { return Extended(O::opBetween, List(Int(7), Float(6.5), Large(7))); }, true},
    {"NotBetweenBelow", [] { return Extended(O::opNotBetween, List(Int(4), Int(5), Int(20))); },
     true},
    {"BetweenNullValue",
     [] { return Extended(O::opBetween, List(Null(T::dtInteger), Int(5), Int(20))); }, false},
    {"NotBetweenNullValue",
     [] { return Extended(O::opNotBetween, List(Null(T::dtInteger), Int(5), Int(20))); }, true},
    {"BetweenTexts", [] { return Extended(O::opBetween, List(Str("m"), Str("a"), Str("z"))); },
     true},
    {"BetweenDates", [] { return Extended(O::opBetween, List(Date(9), Date(10), Date(20))); },
     false},
    {"InSubQueryWithoutHostHasNoRow",
     [] { return Extended(O::opInSubQuery, List(Int(1), Int(1))); }, false},
    {"NotInSubQueryWithoutHost", [] { return Extended(O::opNotInSubQuery, List(Int(1), Int(1))); },
     true},
};

class ExtendedOperators : public ::testing::TestWithParam<ExtendedCase> {};

TEST_P(ExtendedOperators, Answer) {
  Node node = GetParam().build();
  EXPECT_EQ(BoolOf(EvalTree(*node)), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Evaluation, ExtendedOperators, ::testing::ValuesIn(kExtendedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InList, StopsAtTheFirstEqualElement) {
  int32_t record[2] = {1, 2};
  FetchLog log;
  TEvaluationContext context{reinterpret_cast<uint8_t*>(record), &log, nullptr, FetchInteger};
  Node node = Extended(O::opInList, List(Int(1), Column(0), Column(1)));
  EXPECT_EQ(BoolOf(EvalTree(*node, context)), true);
  EXPECT_EQ(log.calls, 1);
}

class RecordingHost : public TEvaluationHost {
 public:
  bool SubQueryHasRow(TExpToken& node, TEvaluationContext&) override {
    seen = IntOf(*node.Children[0]).value_or(-1);
    return seen == 4;
  }
  int64_t seen = 0;
};

TEST(InSubQuery, AsksTheHostWithTheEvaluatedValue) {
  RecordingHost host;
  TEvaluationContext context;
  context.Host = &host;
  Node node =
      Extended(O::opInSubQuery, List(Binary(O::opAdd, Int(2), Int(2), T::dtInteger), Int(0)));
  EXPECT_EQ(BoolOf(EvalTree(*node, context)), true);
  EXPECT_EQ(host.seen, 4);
}

}  // namespace
}  // namespace veltra

namespace veltra {
namespace {

// Whole expressions as the parser reads and the verifier types them, then evaluated: the
// operations picked at verification agree with the verified types.
struct ParsedCase {
  const char* text;
  std::optional<std::string> value;  // nullopt: NULL
};

void PrintTo(const ParsedCase& c, std::ostream* os) { *os << c.text; }

const ParsedCase kParsedCases[] = {
    {"NULL = NULL", "True"},
    {"NULL <> NULL", "False"},
    {"5 > NULL", "False"},
    {"NULL >= NULL", "True"},
    {"NOT (NULL = 1)", "True"},
    {"'abc' LIKE NULL", "False"},
    {"'abc' NOT LIKE NULL", "True"},
    {"7 / 0", std::nullopt},
    {"7 MOD 0", std::nullopt},
    {"7 / 2", "3.5"},
    {"-7 MOD 3", "-1"},
    {"'ab' + NULL", "ab"},
    {"'ab' || 'cd'", "abcd"},
    {"2147483647 + 1", std::nullopt},
    {"-2147483647 - 2", std::nullopt},
    {"65536 * 65536", std::nullopt},
    {"9223372036854775807 + 1", std::nullopt},
    {"1 + 2 * 3 - 4", "3"},
    {"1.5 + 2", "3.5"},
    {"3 BETWEEN 1 AND 5 AND 'Smith' LIKE 'Sm%'", "True"},
    {"3 NOT BETWEEN 1 AND 5 OR 2 IN (1, 3)", "False"},
    {"'b' IN ('a', 'b')", "True"},
    {"CAST('2013-05-01' AS DATE) + 30", "2013-05-31"},
    {"CAST('2013-05-31' AS DATE) - CAST('2013-05-01' AS DATE)", "30"},
    {"CAST('10:00' AS TIME) - CAST('09:59' AS TIME)", "60000"},
    {"CAST('2013-05-01' AS DATE) < CAST('2013-05-01 00:00:01' AS TIMESTAMP)", "True"},
    {"CAST(1.25 AS DECIMAL(10,2)) * 2", "2.5"},
    {"CAST(10 AS DECIMAL(10,4)) / 3", "3.3333"},
    {"CAST(2.5 AS DECIMAL(10,2)) > 2", "True"},
    {"-(-2147483647 - 1)", std::nullopt},
};

class ParsedExpressions : public ::testing::TestWithParam<ParsedCase> {};

TEST_P(ParsedExpressions, EvaluateToTheirValues) {
  TExpressionParser parser;
  parser.SetErrorCode(kErrSqlParse);
  parser.SetContextText("SQL statement");
  parser.Reset(GetParam().text);
  parser.NextToken();
  std::unique_ptr<TExpToken> tree = parser.ParseExpression(kConditionPermissions);
  TExpressionVerifier verifier;
  verifier.SetErrorCode(kErrSqlParse);
  verifier.SetContextText("SQL statement");
  verifier.Verify(tree, true, false);
  TEvaluationContext context;
  Evaluate(*tree, context);
  EXPECT_EQ(ValueTextOf(*tree), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Evaluation, ParsedExpressions, ::testing::ValuesIn(kParsedCases));

// Comparisons, BETWEEN and LIKE read plain constant operands as their buffers stand; a constant
// with an operation of its own keeps the operation that evaluates every operand. Both answer
// alike over NULL and non-NULL values, with the value a column or a constant.
void OwnOperation(TExpToken&, TEvaluationContext&) {}

// Selects the operations of `root` as if none of its constant operands were plain.
void SelectWithEvaluatedConstants(TExpToken& root) {
  SelectOperations(root);
  auto mark = [](Node& child) {
    if (child && child->Kind == TNodeKind::nkConstant) child->Operation = OwnOperation;
  };
  mark(root.Left);
  mark(root.Right);
  for (Node& child : root.Children) mark(child);
  root.Operation = SelectOperation(root);
}

struct ConstantOperandCase {
  const char* label;
  std::function<Node(bool from_column)> build;  // from_column: the value is column 1
};

Node IntValue(bool from_column, int32_t v) { return from_column ? Column(1) : Int(v); }

std::vector<ConstantOperandCase> ConstantOperandCases() {
  std::vector<ConstantOperandCase> cases;
  const O kOps[] = {O::opEqual, O::opNotEqual,       O::opGreater,
                    O::opLess,  O::opGreaterOrEqual, O::opLessOrEqual};
  for (O op : kOps) {
    cases.push_back({"IntInt", [op](bool c) { return Binary(op, IntValue(c, 7), Int(7)); }});
    cases.push_back({"IntLarge", [op](bool c) { return Binary(op, IntValue(c, 7), Large(9)); }});
    cases.push_back({"IntFloat", [op](bool c) { return Binary(op, IntValue(c, 7), Float(6.5)); }});
    cases.push_back(
        {"IntNull", [op](bool c) { return Binary(op, IntValue(c, 7), Null(T::dtInteger)); }});
    cases.push_back(
        {"IntUntypedNull", [op](bool c) { return Binary(op, IntValue(c, 7), Null()); }});
    cases.push_back({"StrStr", [op](bool) { return Binary(op, Str("abc"), Str("abd")); }});
    cases.push_back({"StrNull", [op](bool) { return Binary(op, Str("abc"), Null(T::dtString)); }});
  }
  for (O op : {O::opBetween, O::opNotBetween}) {
    cases.push_back(
        {"Between", [op](bool c) { return Extended(op, List(IntValue(c, 7), Int(5), Int(20))); }});
    cases.push_back({"BetweenEdge",
                     [op](bool c) { return Extended(op, List(IntValue(c, 7), Int(7), Int(7))); }});
    cases.push_back({"BetweenNullLow", [op](bool c) {
                       return Extended(op, List(IntValue(c, 7), Null(T::dtInteger), Int(20)));
                     }});
    cases.push_back({"BetweenNullHigh", [op](bool c) {
                       return Extended(op, List(IntValue(c, 7), Int(5), Null(T::dtInteger)));
                     }});
    cases.push_back({"BetweenLarge", [op](bool c) {
                       return Extended(op, List(IntValue(c, 7), Large(8), Large(20)));
                     }});
  }
  for (O op : {O::opLike, O::opNotLike}) {
    cases.push_back({"Like", [op](bool) { return Extended(op, List(Str("Smith"), Str("Sm%"))); }});
    cases.push_back(
        {"LikeNo", [op](bool) { return Extended(op, List(Str("Jones"), Str("Sm%"))); }});
    cases.push_back(
        {"LikeNullValue", [op](bool) { return Extended(op, List(Null(T::dtString), Str("%"))); }});
    cases.push_back({"LikeNullPattern",
                     [op](bool) { return Extended(op, List(Str("Smith"), Null(T::dtString))); }});
  }
  return cases;
}

TEST(ConstantOperands, AnswerAsWhenEveryOperandIsEvaluated) {
  // Column 1 holds 7, then NULL.
  for (int32_t stored : {7, 4, 25, INT32_MIN}) {
    uint8_t record[8] = {};
    StoreInteger(record + 4, stored);
    FetchLog log;
    TEvaluationContext context{.Record = record, .Owner = &log, .Fetcher = FetchInteger};
    for (bool from_column : {false, true}) {
      for (const ConstantOperandCase& c : ConstantOperandCases()) {
        Node plain = c.build(from_column);
        Node general = c.build(from_column);
        SelectOperations(*plain);
        SelectWithEvaluatedConstants(*general);
        Evaluate(*plain, context);
        Evaluate(*general, context);
        EXPECT_EQ(BoolOf(*plain), BoolOf(*general))
            << c.label << " operator " << static_cast<int>(plain->Operator) << " column "
            << from_column << " stored " << stored;
      }
    }
  }
}

TEST(ConstantOperands, ANewValueStoredInAConstantIsSeen) {
  Node comparison = Binary(O::opGreater, Int(7), Int(5));
  SelectOperations(*comparison);
  TEvaluationContext context;
  Evaluate(*comparison, context);
  EXPECT_EQ(BoolOf(*comparison), true);
  StoreInteger(comparison->Right->Data(), 9);
  Evaluate(*comparison, context);
  EXPECT_EQ(BoolOf(*comparison), false);
  SetNull(*comparison->Right);
  Evaluate(*comparison, context);
  EXPECT_EQ(BoolOf(*comparison), false);

  Node between = Extended(O::opBetween, List(Int(7), Int(5), Int(20)));
  SelectOperations(*between);
  Evaluate(*between, context);
  EXPECT_EQ(BoolOf(*between), true);
  StoreInteger(between->Children[2]->Data(), 6);
  Evaluate(*between, context);
  EXPECT_EQ(BoolOf(*between), false);
}

}  // namespace
}  // namespace veltra
