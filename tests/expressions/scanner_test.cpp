#include "expressions/scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine_error.h"

namespace veltra {
namespace {

using TT = TTokenType;

struct ScannedToken {
  TTokenType type;
  std::string text;  // TokenText()
  int32_t line;
  int32_t column;

  bool operator==(const ScannedToken&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ScannedToken& token) {
  return out << "{" << static_cast<int>(token.type) << ", \"" << token.text << "\", " << token.line
             << ", " << token.column << "}";
}

std::vector<ScannedToken> ScanAll(std::string_view text, int32_t line = 1, int32_t column = 1) {
  TExpressionScanner scanner;
  scanner.Reset(text, line, column);
  std::vector<ScannedToken> tokens;
  while (scanner.NextToken() != TT::ttEnd) {
    tokens.push_back(
        {scanner.TokenType(), scanner.TokenText(), scanner.TokenLine(), scanner.TokenColumn()});
  }
  return tokens;
}

struct TokenCase {
  const char* name;
  const char* text;
  std::vector<ScannedToken> tokens;
};

class ScannerTokens : public testing::TestWithParam<TokenCase> {};

TEST_P(ScannerTokens, ScansTheTokensWithTheirTextsAndPlaces) {
  EXPECT_EQ(ScanAll(GetParam().text), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScannerTokens,
    testing::Values(
        TokenCase{"BracketedNameIsNoKeyword",
                  "select  max([date]) as mx",
                  {{TT::ttIdentifier, "select", 1, 1},
                   {TT::ttIdentifier, "max", 1, 9},
                   {CharToken('('), "(", 1, 12},
                   {TT::ttBracketedName, "date", 1, 13},
                   {CharToken(')'), ")", 1, 19},
                   {TT::ttIdentifier, "as", 1, 21},
                   {TT::ttIdentifier, "mx", 1, 24}}},
        TokenCase{"NameCharacters",
                  "_a1!$@ \xE9t\xE9 a.b",
                  {{TT::ttIdentifier, "_a1!$@", 1, 1},
                   {TT::ttIdentifier, "\xE9t\xE9", 1, 8},
                   {TT::ttIdentifier, "a", 1, 12},
                   {CharToken('.'), ".", 1, 13},
                   {TT::ttIdentifier, "b", 1, 14}}},
        TokenCase{"QuotesDoubledInside",
                  "'it''s' '' \"it\"\"s\" [a''b]",
                  {{TT::ttString, "it's", 1, 1},
                   {TT::ttString, "", 1, 9},
                   {TT::ttQuotedName, "it\"s", 1, 12},
                   {TT::ttBracketedName, "a''b", 1, 20}}},
        TokenCase{"CharacterCodes",
                  "#65 #256 #",
                  {{TT::ttCharCode, "#65", 1, 1},
                   {TT::ttCharCode, "#256", 1, 5},
                   {TT::ttCharCode, "#", 1, 10}}},
        TokenCase{"Numbers",
                  "2147483647 2147483648 99999999999999999999 .5 3. 1e 1.5e+3 1.2.3 .5.6 12abc",
                  {{TT::ttInteger, "2147483647", 1, 1},
                   {TT::ttInteger, "2147483648", 1, 12},
                   {TT::ttInteger, "99999999999999999999", 1, 23},
                   {TT::ttReal, ".5", 1, 44},
                   {TT::ttReal, "3.", 1, 47},
                   {TT::ttReal, "1e", 1, 50},
                   {TT::ttReal, "1.5e+3", 1, 53},
                   {TT::ttReal, "1.2.3", 1, 60},
                   {TT::ttReal, ".5", 1, 66},
                   {TT::ttReal, ".6", 1, 68},
                   {TT::ttInteger, "12", 1, 71},
                   {TT::ttIdentifier, "abc", 1, 73}}},
        TokenCase{"SignEndsANumberUnlessAfterTheExponent",
                  "1-2 1e-2",
                  {{TT::ttInteger, "1", 1, 1},
                   {CharToken('-'), "-", 1, 2},
                   {TT::ttInteger, "2", 1, 3},
                   {TT::ttReal, "1e-2", 1, 5}}},
        TokenCase{"OperatorCharactersAreSeparateTokens",
                  "a<>b>=c||d",
                  {{TT::ttIdentifier, "a", 1, 1},
                   {CharToken('<'), "<", 1, 2},
                   {CharToken('>'), ">", 1, 3},
                   {TT::ttIdentifier, "b", 1, 4},
                   {CharToken('>'), ">", 1, 5},
                   {CharToken('='), "=", 1, 6},
                   {TT::ttIdentifier, "c", 1, 7},
                   {CharToken('|'), "|", 1, 8},
                   {CharToken('|'), "|", 1, 9},
                   {TT::ttIdentifier, "d", 1, 10}}},
        TokenCase{"CommentsAreSkippedAndTheirLinesCounted",
                  "a -- note\r\nb /* one\ntwo\r\nthree */ c\rd -- last",
                  {{TT::ttIdentifier, "a", 1, 1},
                   {TT::ttIdentifier, "b", 2, 1},
                   {TT::ttIdentifier, "c", 4, 10},
                   {TT::ttIdentifier, "d", 5, 1}}},
        TokenCase{"ControlBytesAreWhiteSpace",
                  "\x01x\x1fy\t z",
                  {{TT::ttIdentifier, "x", 1, 2},
                   {TT::ttIdentifier, "y", 1, 4},
                   {TT::ttIdentifier, "z", 1, 7}}},
        TokenCase{"MinusMinusOnlyAsAComment",
                  "5 - -3",
                  {{TT::ttInteger, "5", 1, 1},
                   {CharToken('-'), "-", 1, 3},
                   {CharToken('-'), "-", 1, 5},
                   {TT::ttInteger, "3", 1, 6}}}),
    [](const testing::TestParamInfo<TokenCase>& info) { return std::string(info.param.name); });

TEST(ExpressionScanner, EmbeddedNulEndsTheText) {
  std::string text("a\0b", 3);
  EXPECT_EQ(ScanAll(text), (std::vector<ScannedToken>{{TT::ttIdentifier, "a", 1, 1}}));
}

TEST(ExpressionScanner, FirstLineContinuesTheStatementsColumn) {
  EXPECT_EQ(ScanAll("a b\n  c", 7, 20), (std::vector<ScannedToken>{{TT::ttIdentifier, "a", 7, 20},
                                                                   {TT::ttIdentifier, "b", 7, 22},
                                                                   {TT::ttIdentifier, "c", 8, 3}}));
}

TEST(ExpressionScanner, KeywordsCompareWithAnAsciiFoldOnly) {
  TExpressionScanner scanner;
  scanner.Reset("sElEcT [select] \"select\" \xFDN");
  scanner.NextToken();
  EXPECT_TRUE(scanner.TokenIsWord("SELECT"));
  EXPECT_FALSE(scanner.TokenIsWord("SELEC"));
  scanner.NextToken();
  EXPECT_FALSE(scanner.TokenIsWord("SELECT"));
  EXPECT_TRUE(scanner.IsNameToken());
  scanner.NextToken();
  EXPECT_FALSE(scanner.TokenIsWord("SELECT"));
  scanner.NextToken();
  // A dotless i (0xFD in the Turkish code page) never equals an ASCII I.
  EXPECT_FALSE(scanner.TokenIsWord("IN"));
}

TEST(ExpressionScanner, MarksAndStatementTexts) {
  TExpressionScanner scanner;
  scanner.Reset("create\r\n  table [x y] (a)");
  scanner.NextToken();
  scanner.MarkStatementStart();
  scanner.MarkKeywordStart();
  scanner.NextToken();
  scanner.NextToken();
  EXPECT_EQ(scanner.KeywordText(), "create  table");
  scanner.SetMark();
  scanner.NextToken();
  scanner.NextToken();
  EXPECT_EQ(scanner.TextFromMark(), "[x y] (a");
  EXPECT_EQ(scanner.RawTokenText(), "a");
  EXPECT_EQ(scanner.StatementText(), "create\r\n  table [x y] (");
  EXPECT_FALSE(scanner.SkipIf('\0'));
}

struct ScanErrorCase {
  const char* name;
  const char* text;
  int32_t start_line;
  int32_t start_column;
  const char* message;
  int32_t line;
  int32_t column;
};

class ScannerErrors : public testing::TestWithParam<ScanErrorCase> {};

TEST_P(ScannerErrors, RaiseTheExpectedCharacterErrorAtTheTokenStart) {
  const ScanErrorCase& c = GetParam();
  TExpressionScanner scanner;
  scanner.SetContextText("SELECT SQL statement");
  scanner.SetDatabaseName("games");
  scanner.Reset(c.text, c.start_line, c.start_column);
  try {
    while (scanner.NextToken() != TT::ttEnd) {
    }
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.EngineCode(), kErrSqlParse);
    EXPECT_EQ(error.ContextMessage(), c.message);
    EXPECT_EQ(error.ContextLine(), c.line);
    EXPECT_EQ(error.ContextColumn(), c.column);
    EXPECT_EQ(error.ContextDatabase(), "games");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScannerErrors,
    testing::Values(
        ScanErrorCase{"StringAtEnd", "a 'abc", 1, 1,
                      "Expected ' but instead found 'abc in SELECT SQL statement", 1, 3},
        ScanErrorCase{"StringAtLineBreak", "x\n  'ab\ncd'", 1, 1,
                      "Expected ' but instead found 'ab in SELECT SQL statement", 2, 3},
        ScanErrorCase{"QuotedName", "\"ab", 1, 1,
                      "Expected \" but instead found \"ab in SELECT SQL statement", 1, 1},
        ScanErrorCase{"BracketedName", "[ab\r\n]", 1, 1,
                      "Expected ] but instead found [ab in SELECT SQL statement", 1, 1},
        ScanErrorCase{"OpenBlockComment", "a /* open\nstill", 1, 1,
                      "Missing / in SELECT SQL statement", 2, 6},
        // The third statement of a script starts on line 5, column 9; its second line is line 6.
        ScanErrorCase{"ThirdStatementOfAScript", "select 'x'\n  from 'oops", 5, 9,
                      "Expected ' but instead found 'oops in SELECT SQL statement", 6, 8},
        ScanErrorCase{"ErrorOnAStatementsFirstLine", "select [x", 5, 9,
                      "Expected ] but instead found [x in SELECT SQL statement", 5, 16}),
    [](const testing::TestParamInfo<ScanErrorCase>& info) { return std::string(info.param.name); });

TEST(ExpressionScanner, ParseErrorMessageCarriesLineAndColumn) {
  TExpressionScanner scanner;
  scanner.SetContextText("SELECT SQL statement");
  scanner.Reset("select a\n  from t\n where (b , c", 3, 1);
  for (int i = 0; i < 8; ++i) scanner.NextToken();
  ASSERT_TRUE(scanner.TokenIs(','));
  try {
    scanner.Expect(')');
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_STREQ(error.what(),
                 "VELTRA Engine Error # 11949 SQL parsing error - Expected ) but instead found , "
                 "in SELECT SQL statement at line 5, column 11");
  }
}

TEST(ExpressionScanner, FilterErrorsUseTheFilterCode) {
  TExpressionScanner scanner;
  scanner.SetErrorCode(kErrFilterError);
  scanner.SetTableName("lotto");
  scanner.SetContextText("filter expression");
  scanner.Reset("a");
  scanner.NextToken();
  scanner.NextToken();
  try {
    scanner.ExpectWord("AND");
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.EngineCode(), kErrFilterError);
    EXPECT_EQ(error.ContextMessage(), "Missing AND in filter expression");
    EXPECT_STREQ(error.what(),
                 "VELTRA Engine Error # 10051 Filter error for the table 'lotto' - Missing AND in "
                 "filter expression at line 1, column 2");
  }
}

TEST(ExpressionScanner, LongFoundTextsAreCutToOneShortMessage) {
  TExpressionScanner scanner;
  std::string text = "'" + std::string(1000, 'x');
  scanner.Reset(text);
  try {
    scanner.NextToken();
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_LE(error.ContextMessage().size(), 255u);
    EXPECT_EQ(error.ContextMessage().substr(0, 30), "Expected ' but instead found '");
  }
}

}  // namespace
}  // namespace veltra
