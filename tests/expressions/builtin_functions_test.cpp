// The built-in functions end to end: expression texts parsed, verified and evaluated, each
// result read back as text. Every function form the parser knows gets an operation; the families'
// own tests cover the edge cases.
#include "expressions/builtin_functions.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/engine_error.h"
#include "core/value_conversion.h"
#include "expressions/evaluator.h"
#include "expressions/expression_parser.h"
#include "expressions/type_verification.h"
#include "function_fixture.h"

namespace veltra {
namespace {

std::unique_ptr<TExpToken> Verified(const std::string& text) {
  TExpressionParser parser;
  parser.SetErrorCode(kErrSqlParse);
  parser.SetContextText("SQL statement");
  parser.Reset(text);
  parser.NextToken();
  auto tree = parser.ParseExpression(kSelectColumnPermissions | pfExtended);
  TExpressionVerifier verifier;
  verifier.SetErrorCode(kErrSqlParse);
  verifier.SetContextText("SQL statement");
  verifier.Verify(tree, true, false);
  return tree;
}

// The value of the expression as text; "NULL" for NULL.
std::string ValueOf(const std::string& text) {
  auto tree = Verified(text);
  TEvaluationContext context;
  Evaluate(*tree, context);
  if (tree->IsNull) return "NULL";
  TValueDesc desc{tree->DataType, tree->SubType, tree->DataSize(), tree->Scale};
  return ValueToText(desc, tree->Data()).value_or("<no text>");
}

struct Case {
  const char* text;
  const char* expected;
};

TEST(BuiltinFunctions, ParsedAndVerifiedExpressionsEvaluate) {
  const Case cases[] = {
      {"SUBSTRING('hello' FROM 2 FOR 3)", "ell"},
      {"SUBSTRING('hello' FROM 9)", "NULL"},
      {"LEFT('ab' FOR 0)", "NULL"},
      {"RIGHT('abc', 2)", "bc"},
      {"REPLACE('a' WITH 'xyz' IN 'banana')", "bxyznxyznxyz"},
      {"REPLACE('' WITH 'x' IN 'abc')", "NULL"},  // the literal '' is NULL
      {"OCCURS('' IN 'abc')", "NULL"},
      {"POSITION('lo' IN 'hello')", "4"},
      {"TRIM(BOTH 'x' FROM 'xxaxx')", "a"},
      {"LTRIM('  a ')", "a "},
      {"LENGTH('hello')", "5"},
      {"REPEAT('ab' FOR 3)", "ababab"},
      {"CONCAT('ab' WITH NULL)", "ab"},
      {"UPPER('abc')", "ABC"},
      {"UPPER(NULL)", "NULL"},
      {"EXTRACT(WEEK FROM '2010-01-03')", "53"},
      {"EXTRACT(DAYOFWEEK FROM '2013-12-09')", "1"},
      {"EXTRACT(DAYOFYEAR FROM CAST('2012-12-31' AS DATE))", "366"},
      {"YEARSFROMMSECS(31536000000)", "1"},
      {"DAYSFROMMSECS(31536000000)", "0"},
      {"ROUND(2.5)", "3"},
      {"ROUND(2.675 TO 2)", "2.68"},
      {"TRUNC(2.679, 2)", "2.67"},
      {"CEILING(2.1)", "3"},
      {"FLOOR(2.9)", "2"},
      {"ABS(0 - 2147483647 - 1)", "NULL"},
      {"MOD(7, 0)", "NULL"},
      {"MOD(7, 3)", "1"},
      {"SIGN(0 - 4)", "-1"},
      {"POWER(2 TO 10)", "1024"},
      {"SQRT(0 - 1)", "NULL"},
      {"IF(1 = 1 THEN 'yes' ELSE 'no')", "yes"},
      {"IFNULL(NULL THEN 1 ELSE 2)", "1"},
      {"NULLIF(3, 3)", "NULL"},
      {"NULLIF(3, 4)", "3"},
      {"COALESCE(NULL, NULL, 7)", "7"},
      {"CASE WHEN 1 = 2 THEN 'a' WHEN 2 = 2 THEN 'b' ELSE 'c' END", "b"},
      {"CASE 3 WHEN 1 THEN 'one' WHEN 3 THEN 'three' END", "three"},
      {"CASE 5 WHEN 1 THEN 'one' END", "NULL"},
      {"CAST('12' AS INTEGER)", "12"},
      {"CAST('twelve' AS INTEGER)", "NULL"},
      {"CAST(3.7 AS INTEGER)", "3"},
      {"CAST('abcdef' AS VARCHAR(3))", "abc"},
      {"CAST('2001-02-29' AS DATE)", "NULL"},
  };
  for (const Case& c : cases) {
    try {
      EXPECT_EQ(ValueOf(c.text), c.expected) << c.text;
    } catch (const EVELTRAEngineError& error) {
      ADD_FAILURE() << c.text << ": " << error.what();
    }
  }
}

// A function without an operation would raise when evaluated; every form evaluates.
TEST(BuiltinFunctions, EveryFunctionFormHasAnOperation) {
  const char* texts[] = {
      "LOWER('A')",
      "LCASE('A')",
      "UCASE('a')",
      "POS('a' IN 'ba')",
      "ALLTRIM(' a ')",
      "RTRIM(' a ')",
      "TRIM(LEADING 'a' FROM 'ab')",
      "TRIM(TRAILING 'b' FROM 'ab')",
      "EXTRACT(YEAR FROM CURRENT_DATE)",
      "EXTRACT(MONTH FROM CURRENT_TIMESTAMP)",
      "EXTRACT(DAY FROM CURRENT_DATE)",
      "EXTRACT(HOUR FROM CURRENT_TIME)",
      "EXTRACT(MINUTE FROM CURRENT_TIME)",
      "EXTRACT(SECOND FROM CURRENT_TIME)",
      "EXTRACT(MSECOND FROM CURRENT_TIME)",
      "HOURSFROMMSECS(1)",
      "MINSFROMMSECS(1)",
      "SECSFROMMSECS(1)",
      "MSECSFROMMSECS(1)",
      "TRUNCATE(1.5)",
      "ACOS(1)",
      "ASIN(1)",
      "ATAN(1)",
      "ATAN2(1, 1)",
      "CEIL(1.5)",
      "COS(1)",
      "COT(1)",
      "DEGREES(1)",
      "EXP(1)",
      "LOG(1)",
      "LOG10(1)",
      "PI",
      "RADIANS(1)",
      "RAND",
      "RAND(RANGE 5)",
      "SIN(1)",
      "TAN(1)",
      "CURRENT_GUID",
      "LASTAUTOINC('t')",
      "IDENT_CURRENT('t')",
      "SUM(1)",
      "RUNSUM(1)",
      "AVG(1)",
      "STDDEV(1)",
      "MIN(1)",
      "MAX(1)",
      "COUNT(1)",
  };
  for (const char* text : texts) {
    try {
      auto tree = Verified(text);
      TEvaluationContext context;
      Evaluate(*tree, context);
    } catch (const EVELTRAEngineError& error) {
      ADD_FAILURE() << text << ": " << error.what();
    }
  }
}

using namespace function_test;  // NOLINT: the tree builders

// Answers as a source would, and records what it was asked.
class RecordingHost : public TEvaluationHost {
 public:
  bool TextSearch(const TExpToken&, std::string_view words, TEvaluationContext&) override {
    return words == "lotto draw";
  }
  int32_t TextOccurs(const TExpToken&, std::string_view words, TEvaluationContext&) override {
    return words == "many" ? 70000 : 2;
  }
  int32_t LastAutoInc(std::string_view table, TEvaluationContext&) override {
    return table == "games" ? 41 : 0;
  }
  void CallCustomFunction(TExpToken& node, TEvaluationContext&) override {
    int64_t sum = 0;
    for (const auto& child : node.Children) sum += *IntResult(*child);
    StoreInteger(node.Data(), static_cast<int32_t>(sum));
    node.IsNull = false;
  }
};

Node Column(std::string name) {
  Node node = Str("the record's text");
  node->Kind = TNodeKind::nkColumn;
  node->ColumnName = std::move(name);
  node->Operation = [](TExpToken&, TEvaluationContext&) {};  // fetched already
  return node;
}

struct HostCase {
  const char* label;
  std::function<Node()> build;
  std::optional<int64_t> expected;
};

TEST(BuiltinFunctions, HostFunctionsAndAggregateArguments) {
  const HostCase cases[] = {
      {"TEXTSEARCH found",
       [] { return Fn(O::opTextSearch, Of(D::dtBoolean), Str("lotto draw"), Column("notes")); }, 1},
      {"TEXTSEARCH not found",
       [] { return Fn(O::opTextSearch, Of(D::dtBoolean), Str("other"), Column("notes")); }, 0},
      {"TEXTSEARCH of NULL words",
       [] { return Fn(O::opTextSearch, Of(D::dtBoolean), NullOf(D::dtString), Column("n")); }, 0},
      {"TEXTOCCURS as an integer",
       [] { return Fn(O::opTextOccurs, Of(D::dtInteger), Str("x"), Column("notes")); }, 2},
      {"TEXTOCCURS as a word is clamped",
       [] { return Fn(O::opTextOccurs, Of(D::dtWord), Str("many"), Column("notes")); }, 65535},
      {"LASTAUTOINC", [] { return Fn(O::opLastAutoInc, Of(D::dtInteger), Str("games")); }, 41},
      {"IDENT_CURRENT of no source",
       [] { return Fn(O::opIdentCurrent, Of(D::dtInteger), Str("other")); }, 0},
      {"custom function", [] { return Fn(O::opCustomFunction, Of(D::dtInteger), Int(2), Int(3)); },
       5},
      {"SUM takes its result type", [] { return Fn(O::opSum, Of(D::dtInteger), Small(-5)); }, -5},
      {"MAX of a NULL", [] { return Fn(O::opMax, Of(D::dtInteger), NullOf(D::dtInteger)); },
       std::nullopt},
      {"COUNT of a value", [] { return Fn(O::opCount, Of(D::dtInteger), Int(0)); }, 1},
      {"COUNT of a NULL", [] { return Fn(O::opCount, Of(D::dtInteger), NullOf()); }, std::nullopt},
      {"COUNT(*)",
       [] {
         Node star = MakeToken(TNodeKind::nkColumn, O::opNone, "*");
         star->ColumnName = "*";
         star->Operation = SelectOperation(*star);  // raises if evaluated without a fetcher
         return Fn(O::opCount, Of(D::dtInteger), std::move(star));
       },
       1},
  };
  for (const HostCase& c : cases) {
    RecordingHost host;
    TEvaluationContext context;
    context.Host = &host;
    Node node = c.build();
    Evaluate(*node, context);
    EXPECT_EQ(IntResult(*node), c.expected) << c.label;
  }
}

TEST(BuiltinFunctions, WithoutAHostTheFunctionsAnswerAsWithoutASource) {
  Node search = Fn(O::opTextSearch, Of(D::dtBoolean), Str("lotto draw"), Column("notes"));
  Node last = Fn(O::opLastAutoInc, Of(D::dtInteger), Str("games"));
  Node custom = Fn(O::opCustomFunction, Of(D::dtInteger), Int(1));
  EXPECT_EQ(IntResult(EvaluateTree(*search)), 0);
  EXPECT_EQ(IntResult(EvaluateTree(*last)), 0);
  EXPECT_EQ(IntResult(EvaluateTree(*custom)), std::nullopt);
}

}  // namespace
}  // namespace veltra
