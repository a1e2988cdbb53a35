// Type verification of expression trees. TExpressionVerifier walks a parsed tree once, bottom
// up, before it is evaluated: it checks that every operator and function gets operand types it
// accepts (the rules of type_rules.h), sets each node's result type, subtype, size and scale, and
// picks the node's evaluation operation (SelectOperation), so that evaluation never looks at types
// again. On the way it
//   - resolves column names through the owner's column resolver;
//   - converts a string constant that stands beside a date, time or timestamp into that type;
//   - gives every untyped operand (a NULL constant, an unbound parameter) a type: the other
//     operand's beside a binary operator, the unified type among IF, COALESCE, CASE and their
//     kin, the target of a CAST, and else the type the argument asks for (a string for UPPER, an
//     Integer for a number, so -NULL is an Integer NULL). An untyped operand passes the operand
//     checks only when the verify call allows NULL; IS [NOT] NULL always verifies, whatever the
//     type of its operand;
//   - on request, rewrites a bare Boolean or integer value that stands as a condition (the root,
//     or an operand of NOT, AND or OR) into the comparison value = TRUE.
//
// Every error raises the owner's error code (11949 for SQL, 10051 for filters) with the exact
// message, the database and table names and the offending node's line and column; nothing of the
// tree is undone, the caller discards it.
//
// One verifier belongs to one statement or filter and is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/engine_error.h"
#include "expressions/exp_token.h"
#include "expressions/expression_parser.h"
#include "expressions/type_rules.h"

namespace veltra {

// How the verifier reaches the owner's columns and tables (the SQL statement's sources, or a
// filter's table).
class TColumnResolver {
 public:
  virtual ~TColumnResolver() = default;
  // Fills the column node's DataType, SubType, data size (SetDataSize), Scale, FieldNumber and
  // SourceTable, and answers true; answers false when there is no such column.
  virtual bool ResolveColumn(TExpToken& column) = 0;
  // IN (SELECT ...): sets `sub_query`'s type, subtype, size and scale to those of the sub-query's
  // result column and answers true; false when they are not known (the value is then not checked
  // against it).
  virtual bool ResolveSubQuery(TExpToken& sub_query);
  // LASTAUTOINC and IDENT_CURRENT name `table_name`: inside a query, the table is registered as a
  // source table. May raise.
  virtual void ReferenceTable(TExpToken& node, std::string_view table_name);
};

class TExpressionVerifier {
 public:
  TExpressionVerifier() = default;

  // Used for every column node; without one, a column must already carry its type.
  void SetColumnResolver(TColumnResolver* resolver) { resolver_ = resolver; }
  // The declared parameter types of custom functions; without a lookup, their arguments are not
  // checked.
  void SetCustomFunctions(TCustomFunctionLookup lookup) { custom_functions_ = std::move(lookup); }

  TEngineCode ErrorCode() const { return error_code_; }
  void SetErrorCode(TEngineCode code) { error_code_ = code; }
  void SetDatabaseName(std::string_view name) { database_name_ = name; }
  void SetTableName(std::string_view name) { table_name_ = name; }
  // The phrase that ends every message ("SQL statement", "filter expression").
  const std::string& ContextText() const { return context_text_; }
  void SetContextText(std::string_view text) { context_text_ = text; }

  // Checks and types the tree in `root` and picks every node's operation. `null_allowed` lets
  // an untyped NULL pass every operand check; `boolean_context` asks for the Boolean rewrite,
  // which may replace `root` itself. Raises on the first error.
  void Verify(std::unique_ptr<TExpToken>& root, bool null_allowed, bool boolean_context);

  // Raise the kind-mismatch error unless `node` is a column, a constant, or either.
  void RequireColumn(const TExpToken& node) const;
  void RequireConstant(const TExpToken& node) const;
  void RequireColumnOrConstant(const TExpToken& node) const;

  // Raises `message` + " in " + the context text at the position of the node's first token.
  [[noreturn]] void RaiseAtNode(const TExpToken& node, std::string_view message) const;
  // Raises the type-mismatch error for `check` at `node`.
  [[noreturn]] void RaiseExpectedTypes(const TExpToken& node, const TTypeCheck& check) const;
  // Raises the kind-mismatch error for `kinds` at `node`.
  [[noreturn]] void RaiseExpectedKinds(const TExpToken& node, TKindSet kinds) const;

 private:
  // Where a node stands: as a condition (the root, an operand of NOT, AND, OR) it takes part in
  // the Boolean rewrite.
  enum class TPlace : uint8_t { plValue, plCondition };

  void VerifyNode(std::unique_ptr<TExpToken>& slot, TPlace place);
  void VerifyUnary(TExpToken& node);
  void VerifyBinary(TExpToken& node);
  void VerifyExtended(TExpToken& node);
  void VerifyColumn(TExpToken& node);
  void VerifyFunction(TExpToken& node);
  void VerifyArguments(TExpToken& node, const TFunctionRule& rule);
  void VerifyCast(TExpToken& node);
  void VerifyCase(TExpToken& node);
  void VerifyCustomFunction(TExpToken& node);
  void SetFunctionResult(TExpToken& node, const TFunctionRule& rule);

  // Checks `value` against the equality rules beside `model` (IN lists, BETWEEN bounds,
  // unification, CASE operands): date conversion both ways, untyped adoption, then the check.
  void CheckBesideEqual(TExpToken& model, TExpToken& value, bool blob_beside_blob);
  // Checks an operand; an untyped one passes when NULL is allowed (or `always_null` is set).
  void CheckOperand(const TExpToken& node, const TTypeCheck& check, bool always_null = false) const;
  // Converts `constant` (a string constant) to the type of `other` when `other` is a date, time
  // or timestamp; raises the date type-mismatch error when the text does not convert.
  void ConvertDateConstant(TExpToken& constant, const TExpToken& other) const;
  void Unify(TExpToken& node, size_t first, size_t end, std::string_view name);
  // The Boolean rewrite of the node in `slot`, when it stands as a condition and has a type that
  // takes part.
  void RewriteBoolean(std::unique_ptr<TExpToken>& slot, TPlace place) const;

  TColumnResolver* resolver_ = nullptr;
  TCustomFunctionLookup custom_functions_;
  TEngineCode error_code_ = kErrSqlParse;
  std::string database_name_;
  std::string table_name_;
  std::string context_text_;
  bool null_allowed_ = false;
  bool boolean_context_ = false;
};

// True for the untyped operands: NULL constants without a type and unbound parameters.
inline bool IsUntyped(const TExpToken& node) { return node.DataType == TDataType::dtUnknown; }

// Gives `node` (an untyped operand) the type, subtype, size and scale of `model`, its value
// staying NULL with a zeroed buffer, and picks its operation again.
void AdoptType(TExpToken& node, const TExpToken& model);
// Gives `node` (an untyped operand) the type at its stored size (a string: the empty string's).
void AdoptType(TExpToken& node, TDataType type);

}  // namespace veltra
