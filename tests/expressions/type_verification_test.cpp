#include "expressions/type_verification.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "core/engine_error.h"
#include "core/error_codes.h"
#include "expressions/evaluator.h"
#include "expressions/expression_parser.h"

namespace veltra {
namespace {

using D = TDataType;
using S = TDataSubType;

struct ColumnSpec {
  const char* name;
  D type;
  S sub_type;
  uint32_t size;
  uint8_t scale;
};

// The table every test expression reads.
constexpr ColumnSpec kColumns[] = {
    {"i", D::dtInteger, S::dsNone, 4, 0},    {"ai", D::dtInteger, S::dsAutoInc, 4, 0},
    {"si", D::dtSmallInt, S::dsNone, 2, 0},  {"w", D::dtWord, S::dsNone, 2, 0},
    {"l", D::dtLargeInt, S::dsNone, 8, 0},   {"f", D::dtFloat, S::dsNone, 8, 0},
    {"money", D::dtFloat, S::dsMoney, 8, 0}, {"c", D::dtBcd, S::dsNone, 34, 2},
    {"b", D::dtBoolean, S::dsNone, 2, 0},    {"s", D::dtString, S::dsNone, 21, 0},
    {"fx", D::dtString, S::dsFixed, 11, 0},  {"d", D::dtDate, S::dsNone, 4, 0},
    {"t", D::dtTime, S::dsNone, 4, 0},       {"ts", D::dtTimestamp, S::dsNone, 8, 0},
    {"m", D::dtBlob, S::dsMemo, 1000, 0},    {"g", D::dtBlob, S::dsGraphic, 8, 0},
    {"bl", D::dtBlob, S::dsNone, 8, 0},      {"by", D::dtBytes, S::dsNone, 8, 0},
};

class TableResolver : public TColumnResolver {
 public:
  bool ResolveColumn(TExpToken& column) override {
    for (size_t i = 0; i < std::size(kColumns); ++i) {
      const ColumnSpec& spec = kColumns[i];
      if (column.ColumnName != spec.name) continue;
      column.DataType = spec.type;
      column.SubType = spec.sub_type;
      column.Scale = spec.scale;
      column.SetDataSize(spec.size);
      column.FieldNumber = static_cast<uint16_t>(i + 1);
      return true;
    }
    return false;
  }
  bool ResolveSubQuery(TExpToken& sub_query) override {
    SetResultType(sub_query, D::dtInteger);
    return true;
  }
  void ReferenceTable(TExpToken&, std::string_view table_name) override {
    tables.emplace_back(table_name);
  }
  std::vector<std::string> tables;
};

const TCustomFunctionDefinition kAddOne{"ADDONE", 6, 0, {{6, 0}}};

const TCustomFunctionDefinition* FindCustom(std::string_view name) {
  return AsciiSameText(name, kAddOne.Name) ? &kAddOne : nullptr;
}

struct Options {
  bool null_allowed = true;
  bool boolean_context = false;
};

class VerifierTest : public ::testing::Test {
 protected:
  std::unique_ptr<TExpToken> Verified(const std::string& text, Options options = {}) {
    TExpressionParser parser;
    parser.SetErrorCode(kErrSqlParse);
    parser.SetContextText("SQL statement");
    parser.SetCustomFunctions(FindCustom);
    parser.Reset(text);
    parser.NextToken();
    auto tree = parser.ParseExpression(kSelectColumnPermissions | pfExtended | pfParameters);
    TExpressionVerifier verifier;
    verifier.SetErrorCode(kErrSqlParse);
    verifier.SetContextText("SQL statement");
    verifier.SetColumnResolver(&resolver_);
    verifier.SetCustomFunctions(FindCustom);
    verifier.Verify(tree, options.null_allowed, options.boolean_context);
    return tree;
  }

  // The message of the error verifying `text` raises, with its position.
  struct Failure {
    std::string message;
    int32_t line = 0;
    int32_t column = 0;
  };
  Failure FailureOf(const std::string& text, Options options = {}) {
    try {
      Verified(text, options);
    } catch (const EVELTRAEngineError& error) {
      EXPECT_EQ(error.EngineCode(), kErrSqlParse);
      return {error.ContextMessage(), error.ContextLine(), error.ContextColumn()};
    }
    ADD_FAILURE() << text << " verified";
    return {};
  }

  TableResolver resolver_;
};

// Every node of a verified tree has its operation.
void ExpectOperations(const TExpToken& node) {
  EXPECT_NE(node.Operation, nullptr) << node.Text;
  if (node.Left) ExpectOperations(*node.Left);
  if (node.Right) ExpectOperations(*node.Right);
  for (const auto& child : node.Children) {
    if (child) ExpectOperations(*child);
  }
}

struct TypeCase {
  const char* text;
  D type;
  S sub_type;
  uint32_t size;
  uint8_t scale;
};

constexpr TypeCase kTypeCases[] = {
    // Arithmetic by operand types.
    {"i + 1", D::dtInteger, S::dsNone, 4, 0},
    {"si * w", D::dtInteger, S::dsNone, 4, 0},
    {"i / 2", D::dtFloat, S::dsNone, 8, 0},
    {"i MOD l", D::dtLargeInt, S::dsNone, 8, 0},
    {"l + f", D::dtFloat, S::dsNone, 8, 0},
    {"c + i", D::dtBcd, S::dsNone, 34, 2},
    {"c * f", D::dtFloat, S::dsNone, 8, 0},
    {"i / c", D::dtBcd, S::dsNone, 34, 2},
    {"money * 2", D::dtFloat, S::dsMoney, 8, 0},
    {"d - d", D::dtInteger, S::dsNone, 4, 0},
    {"d + 1", D::dtDate, S::dsNone, 4, 0},
    {"1 + d", D::dtDate, S::dsNone, 4, 0},
    {"t - t", D::dtInteger, S::dsNone, 4, 0},
    {"ts - d", D::dtFloat, S::dsNone, 8, 0},
    {"ts + i", D::dtTimestamp, S::dsNone, 8, 0},
    {"-c", D::dtBcd, S::dsNone, 34, 2},
    // Concatenation: the sum of the lengths; memo results clamped to the node buffer.
    {"s + s", D::dtString, S::dsNone, 41, 0},
    {"s || 'ab'", D::dtString, S::dsNone, 23, 0},
    {"CONCAT(s WITH fx)", D::dtString, S::dsNone, 31, 0},
    {"s + m", D::dtBlob, S::dsMemo, 1016, 0},
    {"m + m", D::dtBlob, S::dsMemo, kMaxVerifiedSize, 0},
    // Comparisons and extended forms.
    {"fx = s", D::dtBoolean, S::dsNone, 2, 0},
    {"d BETWEEN '2013-01-01' AND '2013-12-31'", D::dtBoolean, S::dsNone, 2, 0},
    {"i IN (1, 2, NULL)", D::dtBoolean, S::dsNone, 2, 0},
    {"s LIKE 'a%' ESCAPE '!'", D::dtBoolean, S::dsNone, 2, 0},
    // Untyped NULL takes the other operand's type, or the type the argument asks for.
    {"NULL + 1", D::dtInteger, S::dsNone, 4, 0},
    {"c - NULL", D::dtBcd, S::dsNone, 34, 2},
    {"-NULL", D::dtInteger, S::dsNone, 4, 0},
    {"NULL + NULL", D::dtInteger, S::dsNone, 4, 0},
    {"UPPER(NULL)", D::dtString, S::dsNone, 1, 0},
    {"NULL || 'ab'", D::dtString, S::dsNone, 5, 0},
    // IS [NOT] NULL verifies beside every type.
    {"bl IS NULL", D::dtBoolean, S::dsNone, 2, 0},
    {"g IS NOT NULL", D::dtBoolean, S::dsNone, 2, 0},
    {"NULL IS NULL", D::dtBoolean, S::dsNone, 2, 0},
    // Aggregates.
    {"SUM(si)", D::dtInteger, S::dsNone, 4, 0},
    {"SUM(i)", D::dtLargeInt, S::dsNone, 8, 0},
    {"SUM(c)", D::dtBcd, S::dsNone, 34, 2},
    {"SUM(NULL)", D::dtFloat, S::dsNone, 8, 0},
    {"AVG(f)", D::dtFloat, S::dsNone, 8, 0},
    {"MAX(ai)", D::dtInteger, S::dsNone, 4, 0},
    {"MIN(s)", D::dtString, S::dsNone, 21, 0},
    {"COUNT(*)", D::dtInteger, S::dsNone, 4, 0},
    {"STDDEV(i)", D::dtFloat, S::dsNone, 8, 0},
    // String functions.
    {"UPPER(s)", D::dtString, S::dsNone, 21, 0},
    {"LOWER(m)", D::dtBlob, S::dsMemo, 1000, 0},
    {"SUBSTRING(fx FROM 2 FOR 3)", D::dtString, S::dsFixed, 11, 0},
    {"TRIM(LEADING ' ' FROM s)", D::dtString, S::dsNone, 21, 0},
    {"LENGTH(s)", D::dtInteger, S::dsNone, 4, 0},
    {"POSITION('a' IN s)", D::dtInteger, S::dsNone, 4, 0},
    {"LEFT(s FOR 2)", D::dtString, S::dsNone, 21, 0},
    {"TEXTOCCURS('a' IN s)", D::dtInteger, S::dsNone, 4, 0},
    {"TEXTSEARCH('a' IN s)", D::dtBoolean, S::dsNone, 2, 0},
    // REPLACE: the source's length, each character possibly becoming the replacement.
    {"REPLACE('a' WITH 'xyz' IN s)", D::dtString, S::dsNone, 61, 0},
    {"REPLACE('abc' WITH 'x' IN s)", D::dtString, S::dsNone, 21, 0},
    {"REPLACE(s WITH s IN s)", D::dtString, S::dsNone, 401, 0},
    {"REPLACE('a' WITH m IN s)", D::dtString, S::dsNone, kMaxVerifiedSize, 0},
    // REPEAT: by a constant count, saturating; by any other count the text's size.
    {"REPEAT(s FOR 3)", D::dtString, S::dsNone, 61, 0},
    {"REPEAT(s FOR i)", D::dtString, S::dsNone, 21, 0},
    {"REPEAT(s FOR 2147483647)", D::dtString, S::dsNone, kMaxVerifiedSize, 0},
    {"REPEAT(s FOR 9223372036854775807)", D::dtString, S::dsNone, kMaxVerifiedSize, 0},
    {"REPEAT(s FOR -5)", D::dtString, S::dsNone, 1, 0},
    // Date, time and math functions.
    {"EXTRACT(YEAR FROM '2013-05-01')", D::dtInteger, S::dsNone, 4, 0},
    {"EXTRACT(HOUR FROM '10:30')", D::dtInteger, S::dsNone, 4, 0},
    {"DAYSFROMMSECS(f)", D::dtInteger, S::dsNone, 4, 0},
    {"CEILING(f)", D::dtLargeInt, S::dsNone, 8, 0},
    {"ROUND(c TO 1)", D::dtBcd, S::dsNone, 34, 2},
    {"ABS(ai)", D::dtInteger, S::dsNone, 4, 0},
    {"MOD(i, l)", D::dtLargeInt, S::dsNone, 8, 0},
    {"POWER(i TO 2)", D::dtFloat, S::dsNone, 8, 0},
    {"SIGN(f)", D::dtInteger, S::dsNone, 4, 0},
    {"PI", D::dtFloat, S::dsNone, 8, 0},
    {"CURRENT_GUID", D::dtString, S::dsNone, 39, 0},
    {"LASTAUTOINC(customers)", D::dtInteger, S::dsNone, 4, 0},
    // CAST.
    {"CAST(i AS VARCHAR(10))", D::dtString, S::dsNone, 11, 0},
    {"CAST(s AS CHAR(5))", D::dtString, S::dsFixed, 6, 0},
    {"CAST(s AS WIDECHAR(10))", D::dtString, S::dsWide, 21, 0},
    {"CAST(i AS GUID)", D::dtString, S::dsGuid, 39, 0},
    {"CAST(f AS DECIMAL(10, 3))", D::dtBcd, S::dsNone, 34, 3},
    {"CAST(s AS MEMO)", D::dtBlob, S::dsMemo, 21, 0},
    {"CAST(s AS BYTES(16))", D::dtBytes, S::dsNone, 16, 0},
    {"CAST('2013-01-02' AS DATE)", D::dtDate, S::dsNone, 4, 0},
    {"CAST(NULL AS TIMESTAMP)", D::dtTimestamp, S::dsNone, 8, 0},
    // Unified results: the first value's type, then any larger one's.
    {"IF(b THEN i ELSE f)", D::dtFloat, S::dsNone, 8, 0},
    {"IF(i THEN NULL ELSE s)", D::dtString, S::dsNone, 21, 0},
    {"COALESCE(NULL, s, 'abc')", D::dtString, S::dsNone, 21, 0},
    {"IFNULL(i THEN 1 ELSE c)", D::dtBcd, S::dsNone, 34, 2},
    {"NULLIF(i, 2)", D::dtInteger, S::dsNone, 4, 0},
    {"IF(b THEN d ELSE '2013-01-01')", D::dtDate, S::dsNone, 4, 0},
    {"CASE i WHEN 1 THEN 'a' ELSE 'bcd' END", D::dtString, S::dsNone, 4, 0},
    {"CASE WHEN b THEN 1 WHEN i > 2 THEN l END", D::dtLargeInt, S::dsNone, 8, 0},
    {"ADDONE(NULL)", D::dtInteger, S::dsNone, 4, 0},
};

TEST_F(VerifierTest, TypesExpressionsByTheRules) {
  for (const TypeCase& test : kTypeCases) {
    SCOPED_TRACE(test.text);
    std::unique_ptr<TExpToken> tree;
    try {
      tree = Verified(test.text);
    } catch (const EVELTRAEngineError& error) {
      ADD_FAILURE() << error.what();
      continue;
    }
    EXPECT_EQ(tree->DataType, test.type);
    EXPECT_EQ(tree->SubType, test.sub_type);
    EXPECT_EQ(tree->DataSize(), test.size);
    EXPECT_EQ(tree->Scale, test.scale);
    ExpectOperations(*tree);
  }
}

struct FailureCase {
  const char* text;
  bool null_allowed;
  const char* message;
  int32_t column;
};

constexpr FailureCase kFailureCases[] = {
    {"1 + 'a'", true,
     "Expected NULL, SmallInt, Word, AutoInc, Integer, LargeInt, Currency, Float, BCD, Date, "
     "Time, or Timestamp expression but instead found 'a' in SQL statement",
     5},
    {"d = 'yesterday'", true,
     "Expected NULL, Date, Time, or Timestamp expression but instead found 'yesterday' in SQL "
     "statement",
     5},
    {"NOT 5", true, "Expected NULL, Boolean expression but instead found 5 in SQL statement", 5},
    {"i AND b", true, "Expected NULL, Boolean expression but instead found i in SQL statement", 1},
    {"m = g", true,
     "Expected NULL, FixedChar, GUID, String, Memo, or BLOB expression but instead found g in "
     "SQL statement",
     5},
    {"bl = bl", true, "Expected NULL expression but instead found bl in SQL statement", 6},
    {"b > b", true,
     "Expected NULL, FixedChar, GUID, String, Bytes, VarBytes, SmallInt, Word, AutoInc, Integer, "
     "LargeInt, Currency, Float, BCD, Date, Time, Timestamp, Memo, or BLOB expression but "
     "instead found b in SQL statement",
     1},
    {"UPPER(i)", true,
     "Expected NULL, FixedChar, GUID, String, or Memo expression but instead found i in SQL "
     "statement",
     7},
    {"s LIKE 1", true,
     "Expected NULL, FixedChar, GUID, String, or Memo expression but instead found 1 in SQL "
     "statement",
     8},
    {"i IN (1, 'x')", true,
     "Expected NULL, Boolean, SmallInt, Word, AutoInc, Integer, LargeInt, Currency, Float, or "
     "BCD expression but instead found 'x' in SQL statement",
     10},
    {"nosuch = 1", true, "Expected column name but instead found nosuch in SQL statement", 1},
    {"TEXTSEARCH('a' IN 'b')", true, "Expected column name but instead found 'b' in SQL statement",
     19},
    {"EXTRACT(DAY FROM 'soon')", true,
     "Expected NULL, Date, Time, or Timestamp expression but instead found 'soon' in SQL "
     "statement",
     18},
    {"ADDONE('x')", true,
     "Expected NULL, Boolean, SmallInt, Word, AutoInc, Integer, LargeInt, Currency, Float, or "
     "BCD expression but instead found 'x' in SQL statement",
     8},
    {"-NULL", false,
     "Expected NULL, SmallInt, Word, AutoInc, Integer, LargeInt, Currency, Float, or BCD "
     "expression but instead found NULL in SQL statement",
     2},
    {"IF(b THEN NULL ELSE NULL)", true,
     "At least one of the IF expression arguments must be a non-NULL value in SQL statement", 11},
    {"COALESCE(NULL, NULL)", true,
     "At least one of the COALESCE expression arguments must be a non-NULL value in SQL "
     "statement",
     10},
    {"CASE WHEN b THEN NULL END", true,
     "At least one of the CASE..THEN expression arguments must be a non-NULL value in SQL "
     "statement",
     18},
    {"CAST(s AS VARCHAR(513))", true,
     "Length argument must be greater than 0 and less than or equal to 512 in SQL statement", 19},
    {"CAST(s AS CHAR(0))", true,
     "Length argument must be greater than 0 and less than or equal to 512 in SQL statement", 16},
    {"CAST(s AS WIDECHAR(257))", true,
     "Length argument must be greater than 0 and less than or equal to 512 in SQL statement", 20},
    {"CAST(i AS DECIMAL(10, 5))", true,
     "Scale argument must be an integer less than or equal to 4 but greater than or equal to 0 "
     "in SQL statement",
     23},
    {"CAST(d AS INTEGER)", true,
     "Expected NULL, FixedChar, String, Bytes, VarBytes, Boolean, SmallInt, Word, AutoInc, "
     "Integer, LargeInt, Currency, Float, or BCD expression but instead found d in SQL "
     "statement",
     6},
};

TEST_F(VerifierTest, MismatchesRaiseTheExactMessageAtTheOffendingNode) {
  for (const FailureCase& test : kFailureCases) {
    SCOPED_TRACE(test.text);
    Failure failure = FailureOf(test.text, {.null_allowed = test.null_allowed});
    EXPECT_EQ(failure.message, test.message);
    EXPECT_EQ(failure.line, 1);
    EXPECT_EQ(failure.column, test.column);
  }
}

TEST_F(VerifierTest, ErrorPositionCountsLinesOfTheText) {
  Failure failure = FailureOf("i +\n  'a'");
  EXPECT_EQ(failure.line, 2);
  EXPECT_EQ(failure.column, 3);
}

TEST_F(VerifierTest, DateTextBesideADateBecomesADate) {
  auto tree = Verified("d = '2013-05-01'");
  ASSERT_EQ(tree->Right->DataType, D::dtDate);
  EXPECT_EQ(LoadDate(tree->Right->Data()), *EncodeDate(2013, 5, 1));
  auto timestamp = Verified("'2013-05-01 10:30' < ts");
  EXPECT_EQ(timestamp->Left->DataType, D::dtTimestamp);
  EXPECT_EQ(timestamp->Left->DataSize(), kTimestampSize);
}

TEST_F(VerifierTest, UntypedOperandsTakeTheTypeBesideThem) {
  auto comparison = Verified("s = NULL");
  EXPECT_EQ(comparison->Right->DataType, D::dtString);
  EXPECT_EQ(comparison->Right->DataSize(), 21u);
  EXPECT_TRUE(comparison->Right->IsNull);
  auto list = Verified("NULL IN (l, 2)");
  EXPECT_EQ(list->Children[0]->DataType, D::dtLargeInt);
  auto is_null = Verified("m IS NULL");
  EXPECT_EQ(is_null->Right->DataType, D::dtBlob);
  EXPECT_EQ(is_null->Right->SubType, S::dsMemo);
  auto choice = Verified("IF(b THEN NULL ELSE c)");
  EXPECT_EQ(choice->Children[1]->DataType, D::dtBcd);
  EXPECT_EQ(choice->Children[1]->Scale, 2);
}

TEST_F(VerifierTest, IsNullVerifiesEvenWhereNullIsNotAllowed) {
  for (const char* text : {"bl IS NULL", "s IS NOT NULL", "NULL IS NULL"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Verified(text, {.null_allowed = false})->DataType, D::dtBoolean);
  }
  EXPECT_EQ(FailureOf("s = NULL", {.null_allowed = false}).column, 5);
}

TEST_F(VerifierTest, BooleanContextComparesBareValuesWithTrue) {
  for (const char* text : {"b", "i", "IF(b THEN 1 ELSE 0)"}) {
    SCOPED_TRACE(text);
    auto tree = Verified(text, {.boolean_context = true});
    ASSERT_EQ(tree->Kind, TNodeKind::nkBinary);
    EXPECT_EQ(tree->Operator, TOperator::opEqual);
    EXPECT_EQ(tree->Text, "=");
    EXPECT_EQ(tree->DataType, D::dtBoolean);
    EXPECT_EQ(tree->Right->Text, "TRUE");
    EXPECT_TRUE(LoadBoolean(tree->Right->Data()));
    ExpectOperations(*tree);
  }
  // Operands of NOT, AND and OR are conditions too; so an integer AND a Boolean passes.
  auto both = Verified("i AND NOT b", {.boolean_context = true});
  EXPECT_EQ(both->Left->Operator, TOperator::opEqual);
  EXPECT_EQ(both->Right->Left->Operator, TOperator::opEqual);
  // Operands of other operators and strings are left alone, as is everything without the option.
  EXPECT_EQ(Verified("b = b", {.boolean_context = true})->Left->Kind, TNodeKind::nkColumn);
  EXPECT_EQ(Verified("s", {.boolean_context = true})->Kind, TNodeKind::nkColumn);
  EXPECT_EQ(Verified("b")->Kind, TNodeKind::nkColumn);
}

TEST_F(VerifierTest, CaseOperandIsComparedWithEveryWhenValue) {
  auto tree = Verified("CASE d WHEN '2013-01-01' THEN 1 WHEN NULL THEN 2 END");
  const TExpToken& conditions = *tree->Children[kCaseConditionsChild];
  EXPECT_EQ(conditions.Children[0]->DataType, D::dtDate);
  EXPECT_EQ(conditions.Children[1]->DataType, D::dtDate);
  EXPECT_EQ(FailureOf("CASE i WHEN 'x' THEN 1 END").column, 13);
}

TEST_F(VerifierTest, InSubQueryValueIsCheckedAgainstTheResultColumn) {
  for (const char* value : {"s", "i"}) {
    SCOPED_TRACE(value);
    auto node = MakeToken(TNodeKind::nkExtended, TOperator::opInSubQuery, "IN");
    auto& column = node->AddChild(MakeToken(TNodeKind::nkColumn, TOperator::opNone, value));
    column.ColumnName = value;
    node->AddChild(MakeToken(TNodeKind::nkColumn, TOperator::opNone, "SELECT x FROM y"));
    TExpressionVerifier verifier;
    verifier.SetColumnResolver(&resolver_);
    if (std::string(value) == "s") {
      EXPECT_THROW(verifier.Verify(node, true, false), EVELTRAEngineError);
    } else {
      verifier.Verify(node, true, false);
      EXPECT_EQ(node->DataType, D::dtBoolean);
      EXPECT_EQ(node->Children[1]->DataType, D::dtInteger);
    }
  }
}

TEST_F(VerifierTest, TableNamesOfAutoIncrementFunctionsReachTheResolver) {
  Verified("LASTAUTOINC(customers) + IDENT_CURRENT('orders')");
  EXPECT_EQ(resolver_.tables, (std::vector<std::string>{"customers", "orders"}));
}

TEST_F(VerifierTest, ColumnsWithoutResolverMustCarryATypeAlready) {
  TExpressionVerifier verifier;
  verifier.SetContextText("filter expression");
  verifier.SetErrorCode(kErrFilterError);
  auto column = MakeToken(TNodeKind::nkColumn, TOperator::opNone, "name");
  column->ColumnName = "name";
  try {
    verifier.Verify(column, true, true);
    ADD_FAILURE() << "verified";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.EngineCode(), kErrFilterError);
    EXPECT_EQ(error.ContextMessage(),
              "Expected column name but instead found name in filter "
              "expression");
  }
  SetResultType(*column, D::dtBoolean);
  verifier.Verify(column, true, true);
  EXPECT_EQ(column->Operator, TOperator::opEqual);
}

TEST_F(VerifierTest, VerifyingTwiceGivesTheSameTypes) {
  for (const char* text : {"NULL + 1", "d = '2013-05-01'", "NULLIF(i, 2)", "bl IS NULL"}) {
    SCOPED_TRACE(text);
    auto tree = Verified(text);
    TExpressionVerifier verifier;
    verifier.SetColumnResolver(&resolver_);
    verifier.Verify(tree, false, false);
    auto again = Verified(text);
    EXPECT_TRUE(tree->SameTree(*again));
  }
}

// Every operator and function form over every pair of operand kinds either verifies, with every
// node typed and given its operation, or raises the engine error; nothing else happens.
TEST_F(VerifierTest, EveryFormOverEveryOperandVerifiesOrRaises) {
  const std::vector<std::string> forms = {"$ + $",
                                          "$ - $",
                                          "$ * $",
                                          "$ / $",
                                          "$ MOD $",
                                          "$ = $",
                                          "$ < $",
                                          "$ AND $",
                                          "NOT $",
                                          "-$",
                                          "$ LIKE $",
                                          "$ BETWEEN $ AND $",
                                          "$ IN ($, $)",
                                          "$ IS NULL",
                                          "UPPER($)",
                                          "SUBSTRING($ FROM $ FOR $)",
                                          "REPLACE($ WITH $ IN $)",
                                          "REPEAT($ FOR $)",
                                          "LEFT($ FOR $)",
                                          "CONCAT($ WITH $)",
                                          "TRIM(BOTH $ FROM $)",
                                          "EXTRACT(WEEK FROM $)",
                                          "SUM($)",
                                          "MIN($)",
                                          "AVG($)",
                                          "COUNT($)",
                                          "ABS($)",
                                          "ROUND($ TO $)",
                                          "MOD($, $)",
                                          "CEILING($)",
                                          "SQRT($)",
                                          "IF($ THEN $ ELSE $)",
                                          "IFNULL($ THEN $ ELSE $)",
                                          "NULLIF($, $)",
                                          "COALESCE($, $)",
                                          "CASE $ WHEN $ THEN $ ELSE $ END",
                                          "CASE WHEN $ THEN $ END",
                                          "CAST($ AS VARCHAR(5))",
                                          "CAST($ AS DATE)",
                                          "CAST($ AS DECIMAL(5, 2))",
                                          "ADDONE($)",
                                          "YEARSFROMMSECS($)"};
  const std::vector<std::string> operands = {"NULL", "''", "'2013-01-01'", "1", "1.5", "TRUE", "s",
                                             "m",    "g",  "bl",           "d", "ts",  "c",    "by",
                                             "?"};
  for (bool boolean_context : {false, true}) {
    for (const std::string& form : forms) {
      for (const std::string& first : operands) {
        for (const std::string& rest : operands) {
          // The first operand, then the other one in every further place.
          std::string text = form;
          const std::string* operand = &first;
          for (size_t at = text.find('$'); at != std::string::npos; at = text.find('$')) {
            text.replace(at, 1, *operand);
            operand = &rest;
          }
          SCOPED_TRACE(text);
          try {
            auto tree = Verified(text, {.null_allowed = true, .boolean_context = boolean_context});
            ExpectOperations(*tree);
          } catch (const EVELTRAEngineError& error) {
            EXPECT_EQ(error.EngineCode(), kErrSqlParse);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace veltra
