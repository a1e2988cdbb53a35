// The expression parser: turns the text at the scanner's current token into a TExpToken tree.
// SQL statements use it for every expression they hold (select columns, WHERE, HAVING, JOIN
// conditions, SET values, VALUES lists, DDL defaults and constraints) and drive its scanner for
// the statement grammar; table filters parse their filter expressions with it.
//
// Precedence, lowest first: OR; AND; NOT; one comparison (=, <, >, <>, ><, <=, >=, each pair of
// characters possibly written apart) or an extended form ([NOT] BETWEEN, [NOT] LIKE, [NOT] IN,
// IS [NOT] NULL); + - ||; * / MOD; unary + and -; primaries. Function arguments are additive
// expressions unless a form takes full ones.
//
// The parser builds trees only: it resolves no names and converts no types, except that numeric
// literals become binary constants (read without regard to any locale) and a name that is a
// registered custom function becomes a call with the declared result type.
//
// Every operation that builds a tree returns a new tree owned by the caller; on error it raises
// through the scanner's error settings and frees the partial tree. Trees are kept shallow enough
// for the recursive passes made over them (kMaxTreeHeight, kMaxNesting); a deeper text raises
// "Expression too complex".
//
// One parser belongs to one statement or filter and is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_engine.h"
#include "expressions/exp_token.h"
#include "expressions/scanner.h"

namespace veltra {

// Which constructs are legal at a place: a set of the pf flags. Operands inside a construct are
// parsed with the same set less pfStar.
using TPermissions = uint8_t;
inline constexpr TPermissions pfAggregates = 0x01;  // SUM, RUNSUM, AVG, STDDEV, MIN, MAX, COUNT
inline constexpr TPermissions pfStar = 0x02;        // a bare * or table.* as a column
inline constexpr TPermissions pfExtended = 0x04;    // BETWEEN, LIKE, IN, IS [NOT] NULL, NOT forms
inline constexpr TPermissions pfParameters = 0x08;  // ? parameter markers
inline constexpr TPermissions pfSubQueries = 0x10;  // IN (SELECT ...)
inline constexpr TPermissions pfQualified = 0x20;   // table.column and table.*

// The sets the SQL grammar passes.
inline constexpr TPermissions kSelectColumnPermissions = 0x27;
inline constexpr TPermissions kConditionPermissions = 0x2C;
inline constexpr TPermissions kSubQueryConditionPermissions = 0x3C;
inline constexpr TPermissions kHavingPermissions = 0x21;
inline constexpr TPermissions kColumnNamePermissions = 0x20;

// The deepest tree the parser builds, and the deepest nesting of parentheses, calls and unary
// operators it follows.
inline constexpr uint32_t kMaxTreeHeight = 1000;
inline constexpr uint32_t kMaxNesting = 200;

// The registered custom function called `name` (compared without regard to case), or null.
using TCustomFunctionLookup =
    std::function<const TCustomFunctionDefinition*(std::string_view name)>;

class TExpressionParser;

// How the parser reaches the SQL layer for `[NOT] IN (SELECT ...)`.
class TSubQueryHost {
 public:
  virtual ~TSubQueryHost() = default;
  // Creates a sub-query of `owner` for an IN list: registered with its owner, which keeps it,
  // with a live result requested. Raises on failure.
  virtual TDataQuery& CreateInSubQuery(TDataQuery* owner) = 0;
  // Parses the SELECT statement of `sub_query` from the parser's current token, stopping before
  // the closing ')', and returns the sub-query's SQL text. Raises on a parse error.
  virtual std::string ParseSubQuery(TDataQuery& sub_query, TExpressionParser& parser) = 0;
};

class TExpressionParser : public TExpressionScanner {
 public:
  TExpressionParser();
  ~TExpressionParser() override;

  // The query new nodes are attached to (switched to a sub-query while one is parsed).
  TDataQuery* OwnerQuery() const { return owner_query_; }
  void SetOwnerQuery(TDataQuery* query) { owner_query_ = query; }
  // Where IN (SELECT ...) is parsed; without a host the form is an invalid construct.
  void SetSubQueryHost(TSubQueryHost* host) { sub_query_host_ = host; }
  // The custom functions; without a lookup no name is one.
  void SetCustomFunctions(TCustomFunctionLookup lookup) { custom_functions_ = std::move(lookup); }
  // The data file extension that qualified names drop (".dat" unless set).
  void SetDataFileExtension(std::string_view extension) { data_extension_ = extension; }

  // The '?' constant nodes in order of appearance since the last ClearParameters. The nodes
  // belong to the trees; an operation that fails drops the ones it added.
  const std::vector<TExpToken*>& Parameters() const { return parameters_; }
  void ClearParameters() { parameters_.clear(); }

  // A full expression (the OR level), from the current token.
  std::unique_ptr<TExpToken> ParseExpression(TPermissions permissions);
  // An additive expression: no comparisons, AND, OR or NOT.
  std::unique_ptr<TExpToken> ParseAdditive(TPermissions permissions);
  // One primary.
  std::unique_ptr<TExpToken> ParsePrimary(TPermissions permissions);
  // Reads an SQL type name into node's DataType and SubType, with its length (child 1) or
  // precision and scale (children 1 and 2). Answers false, reading nothing, when `optional` is
  // set and the token is no type name; else raises the expected-text error for "SQL data type".
  bool ParseDataType(TExpToken& node, TPermissions permissions, bool optional);

  // A table name as every qualified name holds it: its file-name part, without the data file
  // extension when it ends in it (compared without regard to case).
  std::string NormalizeTableName(std::string_view name) const;

 private:
  friend class TNestingGuard;
  std::unique_ptr<TExpToken> ParseOr(TPermissions permissions);
  std::unique_ptr<TExpToken> ParseAnd(TPermissions permissions);
  std::unique_ptr<TExpToken> ParseNot(TPermissions permissions);
  std::unique_ptr<TExpToken> ParseComparison(TPermissions permissions);
  std::unique_ptr<TExpToken> ParseExtended(std::unique_ptr<TExpToken> operand,
                                           const TTextPosition& start, TPermissions permissions);
  std::unique_ptr<TExpToken> ParseInList(std::unique_ptr<TExpToken> node, TPermissions permissions);
  std::unique_ptr<TExpToken> ParseMultiplicative(TPermissions permissions);
  std::unique_ptr<TExpToken> ParseUnary(TPermissions permissions);
  std::unique_ptr<TExpToken> ParseNumber();
  std::unique_ptr<TExpToken> ParseString();
  std::unique_ptr<TExpToken> ParseCharCode();
  std::unique_ptr<TExpToken> ParseColumn(TPermissions permissions);
  std::unique_ptr<TExpToken> ParseParameter(TPermissions permissions);
  // Function forms (expression_functions.cpp). Null when the word names no function.
  std::unique_ptr<TExpToken> ParseFunction(TPermissions permissions);
  std::unique_ptr<TExpToken> ParseCustomFunction(const TCustomFunctionDefinition& function,
                                                 TPermissions permissions);
  std::unique_ptr<TExpToken> ParseCase(std::unique_ptr<TExpToken> node, TPermissions permissions);
  std::unique_ptr<TExpToken> ParseCast(std::unique_ptr<TExpToken> node, TPermissions permissions);
  std::unique_ptr<TExpToken> ParseTrim(std::unique_ptr<TExpToken> node, TPermissions permissions);
  std::unique_ptr<TExpToken> ParseExtract(std::unique_ptr<TExpToken> node,
                                          TPermissions permissions);
  // Reads a keyword separator, or ',' in its place; else the expected-text error "<word> or ,".
  void ExpectSeparator(std::string_view word);
  // A node at the current token (text as written, position of the token).
  std::unique_ptr<TExpToken> NodeHere(TNodeKind kind, TOperator op);
  // A node with the text at `position`; counts it against the text's node limit.
  std::unique_ptr<TExpToken> NewNode(TNodeKind kind, TOperator op, std::string text,
                                     const TTextPosition& position);
  // Builds a binary node over the operands, checking the tree height.
  std::unique_ptr<TExpToken> MakeBinary(std::unique_ptr<TExpToken> node,
                                        std::unique_ptr<TExpToken> left,
                                        std::unique_ptr<TExpToken> right);
  // Raises the invalid-construct error at `start` when `node` is a bare '*' column.
  void RejectStarOperand(const TExpToken& node, const TTextPosition& start);
  void CheckHeight(const TExpToken& node);

  TDataQuery* owner_query_ = nullptr;
  TSubQueryHost* sub_query_host_ = nullptr;
  TCustomFunctionLookup custom_functions_;
  std::string data_extension_;
  std::vector<TExpToken*> parameters_;
  uint32_t nesting_ = 0;
};

}  // namespace veltra
