#include "expressions/expression_parser.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "core/engine_error.h"
#include "expressions/expression_text.h"

namespace veltra {

// The tests' stand-in for the SQL layer's query.
class TDataQuery {
 public:
  int id = 0;
};

namespace {

using K = TNodeKind;
using O = TOperator;
using D = TDataType;

constexpr TPermissions kAll = 0x3F;

// Parses the whole text as one expression; text left over is an error.
std::unique_ptr<TExpToken> Parse(TExpressionParser& parser, std::string_view text,
                                 TPermissions permissions = kAll) {
  parser.Reset(text);
  parser.NextToken();
  auto tree = parser.ParseExpression(permissions);
  if (!parser.TokenIs('\0')) parser.ErrorExpected("end of expression");
  return tree;
}

std::unique_ptr<TExpToken> Parse(std::string_view text, TPermissions permissions = kAll) {
  TExpressionParser parser;
  return Parse(parser, text, permissions);
}

// "accepted", or the error's message and column.
std::string Outcome(std::string_view text, TPermissions permissions) {
  try {
    Parse(text, permissions);
    return "accepted";
  } catch (const EVELTRAEngineError& error) {
    return error.ContextMessage() + " @" + std::to_string(error.ContextColumn());
  }
}

// ---- Constants ---------------------------------------------------------------------------------

struct ConstantCase {
  const char* text;
  D type;
  uint32_t size;
  bool is_null;
  std::string bytes;  // the first `size` bytes of the value
};

std::string IntBytes(int32_t value) {
  uint8_t bytes[4];
  StoreInteger(bytes, value);
  return std::string(reinterpret_cast<char*>(bytes), 4);
}
std::string LargeBytes(int64_t value) {
  uint8_t bytes[8];
  StoreLargeInt(bytes, value);
  return std::string(reinterpret_cast<char*>(bytes), 8);
}
std::string FloatBytes(double value) {
  uint8_t bytes[8];
  StoreFloat(bytes, value);
  return std::string(reinterpret_cast<char*>(bytes), 8);
}

class ParserConstants : public testing::TestWithParam<ConstantCase> {};

TEST_P(ParserConstants, BecomeTypedValues) {
  const ConstantCase& c = GetParam();
  auto node = Parse(c.text);
  EXPECT_EQ(node->Kind, K::nkConstant);
  EXPECT_EQ(node->DataType, c.type);
  EXPECT_EQ(node->DataSize(), c.size);
  EXPECT_EQ(node->IsNull, c.is_null);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(node->Data()), c.size), c.bytes);
  EXPECT_EQ(node->Text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParserConstants,
    testing::Values(ConstantCase{"2147483647", D::dtInteger, 4, false, IntBytes(2147483647)},
                    ConstantCase{"0", D::dtInteger, 4, false, IntBytes(0)},
                    ConstantCase{"2147483648", D::dtLargeInt, 8, false, LargeBytes(2147483648LL)},
                    ConstantCase{"9223372036854775807", D::dtLargeInt, 8, false,
                                 LargeBytes(9223372036854775807LL)},
                    ConstantCase{"9223372036854775808", D::dtFloat, 8, false,
                                 FloatBytes(9223372036854775808.0)},
                    ConstantCase{"99999999999999999999", D::dtFloat, 8, false, FloatBytes(1e20)},
                    ConstantCase{".5", D::dtFloat, 8, false, FloatBytes(0.5)},
                    ConstantCase{"3.", D::dtFloat, 8, false, FloatBytes(3.0)},
                    ConstantCase{"1.5e3", D::dtFloat, 8, false, FloatBytes(1500.0)},
                    ConstantCase{"2E-2", D::dtFloat, 8, false, FloatBytes(0.02)},
                    ConstantCase{"'it''s'", D::dtString, 5, false, std::string("it's\0", 5)},
                    ConstantCase{"''", D::dtString, 1, true, std::string("\0", 1)},
                    ConstantCase{"#65", D::dtString, 2, false, std::string("A\0", 2)},
                    ConstantCase{"#0255", D::dtString, 2, false, std::string("\xFF\0", 2)},
                    ConstantCase{"TRUE", D::dtBoolean, 2, false, std::string("\x01\0", 2)},
                    ConstantCase{"false", D::dtBoolean, 2, false, std::string("\0\0", 2)},
                    ConstantCase{"NULL", D::dtUnknown, 0, true, ""}));

TEST(ExpressionParser, NumbersReadTheSameInEveryLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  std::string saved = previous != nullptr ? previous : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_ALL, "pl_PL.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  auto node = Parse("1.25");
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(LoadFloat(node->Data()), 1.25);
}

// ---- Shapes, through the text form -------------------------------------------------------------

struct ShapeCase {
  const char* text;
  const char* shape;
};

class ParserShapes : public testing::TestWithParam<ShapeCase> {};

TEST_P(ParserShapes, FollowPrecedenceAndReadBackFromTheirText) {
  auto tree = Parse(GetParam().text);
  std::string shape = ExpressionText(*tree);
  EXPECT_EQ(shape, GetParam().shape);
  auto again = Parse(shape);
  EXPECT_TRUE(again->SameTree(*tree)) << shape;
  EXPECT_EQ(ExpressionText(*again), shape);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParserShapes,
    testing::Values(
        ShapeCase{"a + b * c", "a + b * c"}, ShapeCase{"(a + b) * c", "(a + b) * c"},
        ShapeCase{"a - b - c", "a - b - c"}, ShapeCase{"a - (b - c)", "a - (b - c)"},
        ShapeCase{"a / b mod c * d", "a / b mod c * d"}, ShapeCase{"a OR b AND c", "a OR b AND c"},
        ShapeCase{"(a OR b) AND NOT c", "(a OR b) AND NOT c"},
        ShapeCase{"NOT a = b OR c", "NOT a = b OR c"}, ShapeCase{"NOT (a OR b)", "NOT (a OR b)"},
        ShapeCase{"(a = b) = c", "(a = b) = c"}, ShapeCase{"-a * b", "- a * b"},
        ShapeCase{"-(a * b)", "- (a * b)"}, ShapeCase{"a || b + 'x'", "a || b + 'x'"},
        ShapeCase{"a < > b", "a <> b"}, ShapeCase{"a>=b", "a >= b"},
        ShapeCase{"x is not null", "x is not null"},
        ShapeCase{"x + 1 IS NULL AND y", "x + 1 IS NULL AND y"},
        ShapeCase{"x NOT BETWEEN 1 AND 2 + 3", "x NOT BETWEEN 1 AND 2 + 3"},
        ShapeCase{"name LIKE 'Sm%' ESCAPE '!'", "name LIKE 'Sm%' ESCAPE '!'"},
        ShapeCase{"x IN (1, 2,3)", "x IN (1 , 2 , 3)"}, ShapeCase{"LEFT(name, 3)", "LEFT(name,3)"},
        ShapeCase{"left(name FOR 3)", "left(name,3)"},
        ShapeCase{"SUBSTRING(s FROM 2 FOR 3)", "SUBSTRING(s,2,3)"},
        ShapeCase{"REPLACE(a WITH b IN c)", "REPLACE(a,b,c)"},
        ShapeCase{"TRIM(TRAILING 'x' FROM s)", "TRIM(TRAILING 'x',s)"},
        ShapeCase{"RTRIM(s)", "RTRIM(s)"},
        ShapeCase{"EXTRACT(DAYOFWEEK FROM d)", "EXTRACT(DAYOFWEEK,d)"},
        ShapeCase{"CAST(a AS VARCHAR(10))", "CAST(a,VARCHAR(10))"},
        ShapeCase{"CAST(a + 1 AS DECIMAL(12, 2))", "CAST(a + 1,DECIMAL(12,2))"},
        ShapeCase{"CAST(a AS INT IDENTITY)", "CAST(a,AUTOINC)"},
        ShapeCase{"CAST(a AS LONGVARCHAR)", "CAST(a,MEMO)"},
        ShapeCase{"CASE x WHEN 1 THEN 'a' END", "CASE x WHEN 1 THEN 'a' ELSE NULL END"},
        ShapeCase{"CASE WHEN a > 1 THEN 2 WHEN b THEN 3 ELSE 4 END",
                  "CASE WHEN a > 1 THEN 2 WHEN b THEN 3 ELSE 4 END"},
        ShapeCase{"IF(a = 1 THEN 2 ELSE 3)", "IF(a = 1,2,3)"},
        ShapeCase{"COALESCE(a, b, c)", "COALESCE(a,b,c)"},
        ShapeCase{"POWER(2 TO 3) + PI", "POWER(2,3) + PI()"},
        ShapeCase{"ROUND(x TO 2)", "ROUND(x,2)"}, ShapeCase{"RAND(RANGE 10)", "RAND(10)"},
        ShapeCase{"COUNT(*) + SUM(t.a)", "COUNT(*) + SUM(t.a)"},
        ShapeCase{"[my col] + \"x\"\"y\"", "[my col] + \"x\"\"y\""},
        ShapeCase{"UPPER((a = b))", "UPPER((a = b))"}));

// ---- Operator codes and result types
// -------------------------------------------------------------

struct NodeCase {
  const char* text;
  K kind;
  O op;
  D type;
  uint32_t size;
};

class ParserNodes : public testing::TestWithParam<NodeCase> {};

TEST_P(ParserNodes, CarryTheOperatorCodeAndTheTypeTheParserKnows) {
  auto node = Parse(GetParam().text);
  EXPECT_EQ(node->Kind, GetParam().kind);
  EXPECT_EQ(node->Operator, GetParam().op);
  EXPECT_EQ(node->DataType, GetParam().type);
  EXPECT_EQ(node->DataSize(), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParserNodes,
    testing::Values(
        NodeCase{"a <> b", K::nkBinary, O::opNotEqual, D::dtBoolean, 2},
        NodeCase{"a >< b", K::nkBinary, O::opNotEqual, D::dtBoolean, 2},
        NodeCase{"a < b", K::nkBinary, O::opLess, D::dtBoolean, 2},
        NodeCase{"a <= b", K::nkBinary, O::opLessOrEqual, D::dtBoolean, 2},
        NodeCase{"a > b", K::nkBinary, O::opGreater, D::dtBoolean, 2},
        NodeCase{"x IS NULL", K::nkBinary, O::opEqual, D::dtBoolean, 2},
        NodeCase{"x IS NOT NULL", K::nkBinary, O::opNotEqual, D::dtBoolean, 2},
        NodeCase{"1 || 2", K::nkBinary, O::opAdd, D::dtInteger, 0},
        NodeCase{"-5", K::nkUnary, O::opNegate, D::dtInteger, 0},
        NodeCase{"+a", K::nkUnary, O::opPlus, D::dtUnknown, 0},
        NodeCase{"NOT a", K::nkUnary, O::opNot, D::dtBoolean, 2},
        NodeCase{"a MOD 2", K::nkBinary, O::opMod, D::dtUnknown, 0},
        NodeCase{"x NOT LIKE 'a'", K::nkExtended, O::opNotLike, D::dtBoolean, 2},
        NodeCase{"x NOT IN (1)", K::nkExtended, O::opNotInList, D::dtBoolean, 2},
        NodeCase{"UCASE(a)", K::nkFunction, O::opUpper, D::dtString, 0},
        NodeCase{"LENGTH(a)", K::nkFunction, O::opLength, D::dtInteger, 4},
        NodeCase{"CEIL(a)", K::nkFunction, O::opCeiling, D::dtLargeInt, 8},
        NodeCase{"SQRT(a)", K::nkFunction, O::opSqrt, D::dtFloat, 8},
        NodeCase{"TRUNCATE(a)", K::nkFunction, O::opTrunc, D::dtUnknown, 0},
        NodeCase{"ALLTRIM(a)", K::nkFunction, O::opTrimBoth, D::dtString, 0},
        NodeCase{"MSECSFROMMSECS(a)", K::nkFunction, O::opMSecsFromMSecs, D::dtInteger, 4},
        NodeCase{"CURRENT_GUID", K::nkFunction, O::opCurrentGuid, D::dtString, 39},
        NodeCase{"current_timestamp()", K::nkFunction, O::opCurrentTimestamp, D::dtTimestamp, 8},
        NodeCase{"TEXTSEARCH('a' IN b)", K::nkFunction, O::opTextSearch, D::dtBoolean, 2},
        NodeCase{"TEXTOCCURS('a' IN b)", K::nkFunction, O::opTextOccurs, D::dtWord, 2},
        NodeCase{"IDENT_CURRENT('t')", K::nkFunction, O::opIdentCurrent, D::dtInteger, 4},
        NodeCase{"CAST(a AS MONEY)", K::nkFunction, O::opCast, D::dtFloat, 8},
        NodeCase{"NULLIF(a, b)", K::nkFunction, O::opNullIf, D::dtUnknown, 0}));

TEST(ExpressionParser, NotEqualFormsGiveEqualTrees) {
  auto written = Parse("a <> b");
  EXPECT_TRUE(Parse("a >< b")->SameTree(*written));
  EXPECT_TRUE(Parse("A < > B")->SameTree(*written));
  EXPECT_FALSE(Parse("a = b")->SameTree(*written));
  EXPECT_TRUE(Parse("SUBSTRING(s, 2)")->SameTree(*Parse("SUBSTRING(s FROM 2)")));
}

TEST(ExpressionParser, NullTestsCompareWithANewNullConstant) {
  auto node = Parse("x IS NOT NULL");
  ASSERT_NE(node->Right, nullptr);
  EXPECT_EQ(node->Right->Kind, K::nkConstant);
  EXPECT_TRUE(node->Right->IsNull);
  EXPECT_EQ(node->Right->Text, "");
  EXPECT_EQ(node->Left->ColumnName, "x");
}

TEST(ExpressionParser, QualifiedNamesKeepTheTableFileNameWithoutTheDataExtension) {
  auto node = Parse("[c:\\data\\games.DAT].[ id ] + \"LOTTO\".x");
  EXPECT_EQ(node->Left->TableName, "games");
  EXPECT_EQ(node->Left->ColumnName, "id");
  EXPECT_EQ(node->Left->Text, "[c:\\data\\games.DAT].[ id ]");
  EXPECT_EQ(node->Right->TableName, "LOTTO");
}

TEST(ExpressionParser, NodesRememberTheirPlaceInTheScript) {
  TExpressionParser parser;
  parser.Reset("a +\n  b", 4, 10);
  parser.NextToken();
  auto node = parser.ParseExpression(kAll);
  EXPECT_EQ(node->Line, 4);
  EXPECT_EQ(node->Column, 12);
  EXPECT_EQ(node->Right->Line, 5);
  EXPECT_EQ(node->Right->Column, 3);
}

// ---- Permissions and errors
// -----------------------------------------------------------------------

struct OutcomeCase {
  const char* text;
  TPermissions permissions;
  const char* outcome;
};

class ParserOutcomes : public testing::TestWithParam<OutcomeCase> {};

TEST_P(ParserOutcomes, AcceptOrRaiseTheExactError) {
  EXPECT_EQ(Outcome(GetParam().text, GetParam().permissions), GetParam().outcome)
      << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Permissions, ParserOutcomes,
    testing::Values(
        OutcomeCase{"x IS NOT NULL", kConditionPermissions, "accepted"},
        OutcomeCase{"x IS NOT NULL", kHavingPermissions,
                    "Invalid expression x IS found in SQL statement @1"},
        OutcomeCase{"a + x NOT LIKE 'a'", kHavingPermissions,
                    "Invalid expression a + x NOT found in SQL statement @1"},
        OutcomeCase{"x LIKE 'a'", kHavingPermissions,
                    "Invalid expression LIKE found in SQL statement @3"},
        OutcomeCase{"x BETWEEN 1 AND 2", 0, "Invalid expression BETWEEN found in SQL statement @3"},
        OutcomeCase{"x IN (1, 2)", kHavingPermissions,
                    "Invalid expression IN found in SQL statement @3"},
        OutcomeCase{"COUNT(*)", kSelectColumnPermissions, "accepted"},
        OutcomeCase{"COUNT(*)", kConditionPermissions,
                    "Invalid expression COUNT found in SQL statement @1"},
        OutcomeCase{"SUM(*)", kSelectColumnPermissions,
                    "Invalid expression * found in SQL statement @5"},
        OutcomeCase{"*", kSelectColumnPermissions, "accepted"},
        OutcomeCase{"*", kConditionPermissions, "Invalid expression * found in SQL statement @1"},
        OutcomeCase{"* + 1", kSelectColumnPermissions,
                    "Invalid expression * + found in SQL statement @1"},
        OutcomeCase{"(*)", kSelectColumnPermissions,
                    "Invalid expression * found in SQL statement @2"},
        OutcomeCase{"t.*", kSelectColumnPermissions, "accepted"},
        OutcomeCase{"t.*", kConditionPermissions, "Invalid expression * found in SQL statement @3"},
        OutcomeCase{"t.a", kConditionPermissions, "accepted"},
        OutcomeCase{"t.a", 0, "Invalid expression . found in SQL statement @2"},
        OutcomeCase{"?", kConditionPermissions, "accepted"},
        OutcomeCase{"?", kHavingPermissions, "Invalid expression ? found in SQL statement @1"},
        OutcomeCase{"a IN (SELECT b FROM t)", kConditionPermissions,
                    "Invalid expression SELECT found in SQL statement @7"},
        OutcomeCase{"IF(a IS NULL THEN 1 ELSE 2)", kHavingPermissions, "accepted"},
        OutcomeCase{"IFNULL(a IS NULL THEN 1 ELSE 2)", kHavingPermissions,
                    "Invalid expression a IS found in SQL statement @8"},
        OutcomeCase{"[LEFT] + 1", 0, "accepted"},
        OutcomeCase{"LEFT + 1", 0, "Expected ( but instead found + in SQL statement @6"}));

INSTANTIATE_TEST_SUITE_P(
    Errors, ParserOutcomes,
    testing::Values(
        OutcomeCase{"a = b = c", kAll, "Invalid expression = found in SQL statement @7"},
        OutcomeCase{"a < b > c", kAll, "Invalid expression > found in SQL statement @7"},
        OutcomeCase{"a | b", kAll, "Expected | but instead found b in SQL statement @5"},
        OutcomeCase{"x IS 5", kAll, "Expected NULL or NOT but instead found 5 in SQL statement @6"},
        OutcomeCase{"x IS NOT 5", kAll, "Expected NULL but instead found 5 in SQL statement @10"},
        OutcomeCase{"x NOT 5", kAll, "Expected expression but instead found 5 in SQL statement @7"},
        OutcomeCase{"x BETWEEN 1 OR 2", kAll,
                    "Expected AND but instead found OR in SQL statement @13"},
        OutcomeCase{"1 +", kAll, "Missing expression in SQL statement @4"},
        OutcomeCase{")", kAll, "Expected expression but instead found ) in SQL statement @1"},
        OutcomeCase{"1e", kAll,
                    "Expected numeric expression but instead found 1e in SQL statement @1"},
        OutcomeCase{"1.2.3", kAll,
                    "Expected numeric expression but instead found 1.2.3 in SQL statement @1"},
        OutcomeCase{"1e999", kAll,
                    "Expected numeric expression but instead found 1e999 in SQL statement @1"},
        OutcomeCase{"1e-999", kAll,
                    "Expected numeric expression but instead found 1e-999 in SQL statement @1"},
        OutcomeCase{"1e+", kAll,
                    "Expected numeric expression but instead found 1e+ in SQL statement @1"},
        OutcomeCase{"#256", kAll,
                    "Expected character constant but instead found #256 in SQL statement @1"},
        OutcomeCase{"#99999999999999999999", kAll,
                    "Expected character constant but instead found #99999999999999999999 in SQL "
                    "statement @1"},
        OutcomeCase{"#", kAll,
                    "Expected character constant but instead found # in SQL statement @1"},
        OutcomeCase{"t.'x'", kAll, "Expected identifier but instead found 'x' in SQL statement @3"},
        OutcomeCase{"UPPER(a = b)", kAll, "Expected ) but instead found = in SQL statement @9"},
        OutcomeCase{"LEFT(a; 3)", kAll,
                    "Expected FOR or , but instead found ; in SQL statement @7"},
        OutcomeCase{"LEFT(a, 3", kAll, "Missing ) in SQL statement @10"},
        OutcomeCase{"SUBSTRING(a 2)", kAll,
                    "Expected FROM or , but instead found 2 in SQL statement @13"},
        OutcomeCase{"REPLACE(a WITH b FOR c)", kAll,
                    "Expected IN or , but instead found FOR in SQL statement @18"},
        OutcomeCase{"CAST(a AS TEXT)", kAll,
                    "Expected SQL data type but instead found TEXT in SQL statement @11"},
        OutcomeCase{"CAST(a AS CHAR)", kAll, "Expected ( but instead found ) in SQL statement @15"},
        OutcomeCase{"CAST(a TO INTEGER)", kAll,
                    "Expected AS or , but instead found TO in SQL statement @8"},
        OutcomeCase{"TRIM(x FROM y)", kAll,
                    "Expected LEADING, TRAILING, or BOTH but instead found x in SQL statement @6"},
        OutcomeCase{"EXTRACT(CENTURY FROM d)", kAll,
                    "Expected YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, SECOND, "
                    "or MSECOND but instead found CENTURY in SQL statement @9"},
        OutcomeCase{"NULLIF(a b)", kAll, "Expected , but instead found b in SQL statement @10"},
        OutcomeCase{"MOD(a TO b)", kAll, "Expected , but instead found TO in SQL statement @7"},
        OutcomeCase{"IF(a THEN 1 2)", kAll,
                    "Expected ELSE or , but instead found 2 in SQL statement @13"},
        OutcomeCase{"CASE x THEN 1 END", kAll,
                    "Expected WHEN but instead found THEN in SQL statement @8"},
        OutcomeCase{"CASE WHEN a 1 END", kAll,
                    "Expected THEN but instead found 1 in SQL statement @13"},
        OutcomeCase{"CASE WHEN a THEN 1", kAll, "Missing END in SQL statement @19"},
        OutcomeCase{"x IN 1", kAll, "Expected ( but instead found 1 in SQL statement @6"}));

// ---- CASE, parameters and custom functions
// -----------------------------------------------------------

TEST(ExpressionParser, CaseOperandIsOneChildWhateverTheNumberOfWhens) {
  TExpressionParser parser;
  auto node = Parse(parser, "CASE ? WHEN 1 THEN 'a' WHEN 2 THEN 'b' END");
  ASSERT_EQ(node->Operator, O::opCase);
  ASSERT_EQ(node->ChildCount(), 3u);
  const TExpToken* conditions = node->Child(kCaseConditionsChild);
  const TExpToken* results = node->Child(kCaseResultsChild);
  EXPECT_EQ(conditions->Operator, O::opCaseConditions);
  EXPECT_EQ(conditions->ChildCount(), 2u);
  EXPECT_EQ(results->Operator, O::opCaseResults);
  ASSERT_EQ(results->ChildCount(), 3u);
  EXPECT_TRUE(results->Child(2)->IsNull);
  EXPECT_EQ(results->Child(2)->Text, "NULL");
  ASSERT_EQ(parser.Parameters().size(), 1u);
  EXPECT_EQ(parser.Parameters()[0], node->Child(kCaseOperandChild));
}

TEST(ExpressionParser, ParametersInOrderAndAFailedParseDropsItsOwn) {
  TExpressionParser parser;
  auto kept = Parse(parser, "? + ?");
  ASSERT_EQ(parser.Parameters().size(), 2u);
  EXPECT_EQ(parser.Parameters()[0], kept->Left.get());
  EXPECT_EQ(parser.Parameters()[1], kept->Right.get());
  EXPECT_THROW(Parse(parser, "LEFT(? FOR ?) +"), EVELTRAEngineError);
  EXPECT_EQ(parser.Parameters().size(), 2u);
  parser.ClearParameters();
  EXPECT_TRUE(parser.Parameters().empty());
}

TEST(ExpressionParser, CustomFunctionsTakeTheirDeclaredArgumentsAndType) {
  TCustomFunctionDefinition pair{"MyPair", CodeOf(D::dtInteger), 0, {{6, 0}, {1, 0}}};
  TCustomFunctionDefinition text{"Label", CodeOf(D::dtString), 0, {}};
  TExpressionParser parser;
  parser.SetCustomFunctions([&](std::string_view name) -> const TCustomFunctionDefinition* {
    if (AsciiSameText(name, pair.Name)) return &pair;
    if (AsciiSameText(name, text.Name)) return &text;
    return nullptr;
  });
  auto node = Parse(parser, "mypair(1 + 2, a = b)");
  EXPECT_EQ(node->Operator, O::opCustomFunction);
  EXPECT_EQ(node->DataType, D::dtInteger);
  EXPECT_EQ(node->DataSize(), 4u);
  EXPECT_EQ(node->ChildCount(), 2u);
  EXPECT_EQ(ExpressionText(*node), "mypair(1 + 2,a = b)");
  auto label = Parse(parser, "LABEL()");
  EXPECT_EQ(label->DataType, D::dtString);
  EXPECT_EQ(label->DataSize(), 513u);
  try {
    Parse(parser, "MyPair(1)");
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.ContextMessage(), "Expected , but instead found ) in SQL statement");
  }
  // Built-in names come first.
  EXPECT_EQ(Parse(parser, "LEFT(a, 1)")->Operator, O::opLeft);
}

// A host that reads a sub-select up to its closing parenthesis.
class FakeSubQueryHost : public TSubQueryHost {
 public:
  TDataQuery& CreateInSubQuery(TDataQuery* owner) override {
    owner_seen = owner;
    return sub_query;
  }
  std::string ParseSubQuery(TDataQuery& query, TExpressionParser& parser) override {
    owner_while_parsing = parser.OwnerQuery();
    EXPECT_EQ(&query, &sub_query);
    TTextPosition start = parser.TokenPosition();
    std::string text;
    while (!parser.TokenIs(')') && !parser.TokenIs('\0')) {
      if (parser.TokenIsWord("FAIL")) parser.ErrorInvalidExpression();
      text = std::string(parser.TextFrom(start));
      parser.NextToken();
    }
    return text;
  }

  TDataQuery sub_query;
  TDataQuery* owner_seen = nullptr;
  TDataQuery* owner_while_parsing = nullptr;
};

TEST(ExpressionParser, InSubSelectIsParsedByTheHostWithTheSubQueryAsOwner) {
  TDataQuery outer;
  FakeSubQueryHost host;
  TExpressionParser parser;
  parser.SetOwnerQuery(&outer);
  parser.SetSubQueryHost(&host);
  auto node = Parse(parser, "a NOT IN (SELECT b FROM t) AND c", kSubQueryConditionPermissions);
  const TExpToken& in = *node->Left;
  EXPECT_EQ(in.Operator, O::opNotInSubQuery);
  ASSERT_EQ(in.ChildCount(), 2u);
  EXPECT_EQ(in.Child(1)->Kind, K::nkColumn);
  EXPECT_EQ(in.Child(1)->Query, &host.sub_query);
  EXPECT_EQ(in.Child(1)->Text, "SELECT b FROM t");
  EXPECT_EQ(in.Query, &outer);
  EXPECT_EQ(host.owner_seen, &outer);
  EXPECT_EQ(host.owner_while_parsing, &host.sub_query);
  EXPECT_EQ(parser.OwnerQuery(), &outer);
  EXPECT_EQ(ExpressionText(*node), "a NOT IN (SELECT b FROM t) AND c");

  EXPECT_THROW(Parse(parser, "a IN (SELECT FAIL)", kSubQueryConditionPermissions),
               EVELTRAEngineError);
  EXPECT_EQ(parser.OwnerQuery(), &outer);
}

TEST(ExpressionParser, DataTypesAreOptionalWhereAsked) {
  TExpressionParser parser;
  parser.Reset("TEXT");
  parser.NextToken();
  TExpToken node;
  EXPECT_FALSE(parser.ParseDataType(node, 0, true));
  EXPECT_TRUE(parser.TokenIsWord("TEXT"));
  parser.Reset("char(20) x");
  parser.NextToken();
  EXPECT_TRUE(parser.ParseDataType(node, 0, false));
  EXPECT_EQ(node.DataType, D::dtString);
  EXPECT_EQ(node.SubType, TDataSubType::dsFixed);
  ASSERT_NE(node.Child(1), nullptr);
  EXPECT_EQ(LoadInteger(node.Child(1)->Data()), 20);
  EXPECT_TRUE(parser.TokenIsWord("x"));
}

// ---- Hostile texts
// ---------------------------------------------------------------------------------

std::string Repeat(std::string_view piece, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(ExpressionParser, TextsTooDeepOrTooLargeRaiseInsteadOfExhaustingTheStack) {
  const std::string deep_parentheses = Repeat("(", 5000) + "1" + Repeat(")", 5000);
  const std::string deep_functions = Repeat("ABS(", 5000) + "1" + Repeat(")", 5000);
  const std::string deep_negations = Repeat("-(", 5000) + "1" + Repeat(")", 5000);
  const std::string long_chain = "1" + Repeat(" + 1", 5000);
  const std::string long_list = "x IN (1" + Repeat(",1", 60000) + ")";
  for (const std::string* text :
       {&deep_parentheses, &deep_functions, &deep_negations, &long_chain, &long_list}) {
    try {
      Parse(*text);
      ADD_FAILURE() << "accepted: " << text->substr(0, 20);
    } catch (const EVELTRAEngineError& error) {
      EXPECT_EQ(error.ContextMessage(), "Expression too complex in SQL statement");
    }
  }
  EXPECT_NO_THROW(Parse("1" + Repeat(" + 1", 900)));
  EXPECT_NO_THROW(Parse(Repeat("(", 90) + "1" + Repeat(")", 90)));
}

}  // namespace
}  // namespace veltra
