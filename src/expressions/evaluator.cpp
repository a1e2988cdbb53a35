// Operation selection and the operations of the logical and extended nodes: AND, OR, NOT, LIKE,
// IN lists, IN sub-queries and BETWEEN, and of columns and constants.
#include "expressions/evaluator.h"

#include <cstring>
#include <string>

#include "core/engine_error.h"
#include "core/error_codes.h"
#include "expressions/arithmetic.h"
#include "expressions/builtin_functions.h"
#include "expressions/comparison.h"
#include "expressions/like_match.h"

namespace veltra {

bool TEvaluationHost::SubQueryHasRow(TExpToken&, TEvaluationContext&) { return false; }
bool TEvaluationHost::TextSearch(const TExpToken&, std::string_view, TEvaluationContext&) {
  return false;
}
int32_t TEvaluationHost::TextOccurs(const TExpToken&, std::string_view, TEvaluationContext&) {
  return 0;
}
int32_t TEvaluationHost::LastAutoInc(std::string_view, TEvaluationContext&) { return 0; }
void TEvaluationHost::CallCustomFunction(TExpToken& node, TEvaluationContext&) { SetNull(node); }
void TEvaluationHost::FetchCurrentValue(TExpToken& node, TEvaluationContext&) {
  RaiseIllegalColumn(node);
}

TEvaluationHost& DefaultEvaluationHost() {
  static TEvaluationHost host;
  return host;
}

void SetNull(TExpToken& node) {
  node.IsNull = true;
  std::memset(node.Data(), 0, node.DataSize() == 0 ? 1 : node.DataSize());
}

void RaiseIllegalColumn(const TExpToken& column) {
  std::string message = "Internal error: Column \"" + column.ColumnName + "\" specified illegally";
  RaiseEngineError(kErrSqlParse,
                   {.message = message, .line = column.Line, .column = column.Column});
}

void EvaluateConstant(TExpToken&, TEvaluationContext&) {}

namespace {

void EvaluateColumn(TExpToken& node, TEvaluationContext& context) {
  if (context.Fetcher == nullptr) [[unlikely]]
    RaiseIllegalColumn(node);
  context.Fetcher(node, context);
}

[[noreturn]] void EvaluateUnsupported(TExpToken& node, TEvaluationContext&) {
  std::string message = "Internal error: the expression " + node.Text + " cannot be evaluated";
  RaiseEngineError(kErrSqlParse, {.message = message, .line = node.Line, .column = node.Column});
}

// ---- Logic: the right operand first, the left only when the right does not decide ----------

void EvaluateAnd(TExpToken& node, TEvaluationContext& context) {
  bool result = EvaluateCondition(*node.Right, context) && EvaluateCondition(*node.Left, context);
  SetBooleanResult(node, result);
}

void EvaluateOr(TExpToken& node, TEvaluationContext& context) {
  bool result = EvaluateCondition(*node.Right, context) || EvaluateCondition(*node.Left, context);
  SetBooleanResult(node, result);
}

void EvaluateNot(TExpToken& node, TEvaluationContext& context) {
  SetBooleanResult(node, !EvaluateCondition(*node.Left, context));
}

// ---- IN lists and sub-queries ------------------------------------------------------------------

template <bool kNot>
void EvaluateInList(TExpToken& node, TEvaluationContext& context) {
  TExpToken& value = *node.Children[0];
  Evaluate(value, context);
  bool found = false;
  for (size_t i = 1; i < node.Children.size() && !found; ++i) {
    TExpToken& element = *node.Children[i];
    Evaluate(element, context);
    found = CompareValues(TOperator::opEqual, value, element,
                          ValueComparerOf(value.DataType, element.DataType), context);
  }
  SetBooleanResult(node, found != kNot);
}

template <bool kNot>
void EvaluateInSubQuery(TExpToken& node, TEvaluationContext& context) {
  Evaluate(*node.Children[0], context);
  bool found = HostOf(context).SubQueryHasRow(node, context);
  SetBooleanResult(node, found != kNot);
}

TNodeOperation SelectExtended(const TExpToken& node) {
  if (node.Children.size() < 1 || !node.Children[0]) return nullptr;
  for (const auto& child : node.Children) {
    if (!child) return nullptr;
  }
  switch (node.Operator) {
    case TOperator::opLike:
    case TOperator::opNotLike:
      return SelectLikeOperation(node);
    case TOperator::opInList:
      return EvaluateInList<false>;
    case TOperator::opNotInList:
      return EvaluateInList<true>;
    case TOperator::opInSubQuery:
      return EvaluateInSubQuery<false>;
    case TOperator::opNotInSubQuery:
      return EvaluateInSubQuery<true>;
    case TOperator::opBetween:
    case TOperator::opNotBetween:
      return SelectBetweenOperation(node);
    default:
      return nullptr;
  }
}

TNodeOperation SelectBinaryOperation(const TExpToken& node) {
  if (!node.Left || !node.Right) return nullptr;
  switch (node.Operator) {
    case TOperator::opAnd:
      return EvaluateAnd;
    case TOperator::opOr:
      return EvaluateOr;
    case TOperator::opEqual:
    case TOperator::opNotEqual:
    case TOperator::opGreater:
    case TOperator::opLess:
    case TOperator::opGreaterOrEqual:
    case TOperator::opLessOrEqual:
      return SelectComparisonOperation(node);
    default:
      return SelectArithmeticOperation(node);
  }
}

TNodeOperation SelectKnownOperation(const TExpToken& node) {
  switch (node.Kind) {
    case TNodeKind::nkConstant:
      return EvaluateConstant;
    case TNodeKind::nkColumn:
      return EvaluateColumn;
    case TNodeKind::nkUnary:
      if (!node.Left) return nullptr;
      if (node.Operator == TOperator::opNot) return EvaluateNot;
      return SelectArithmeticOperation(node);
    case TNodeKind::nkBinary:
      return SelectBinaryOperation(node);
    case TNodeKind::nkCompare:
      return SelectComparisonOperation(node);
    case TNodeKind::nkExtended:
      return SelectExtended(node);
    case TNodeKind::nkFunction:
      return SelectFunctionOperation(node);
    case TNodeKind::nkNone:
      break;
  }
  return nullptr;
}

}  // namespace

TNodeOperation SelectOperation(const TExpToken& node) {
  TNodeOperation operation = SelectKnownOperation(node);
  return operation != nullptr ? operation : EvaluateUnsupported;
}

void BindColumnFetcher(TExpToken& root, TColumnFetcher fetcher) {
  if (root.Left) BindColumnFetcher(*root.Left, fetcher);
  if (root.Right) BindColumnFetcher(*root.Right, fetcher);
  for (auto& child : root.Children) {
    if (child) BindColumnFetcher(*child, fetcher);
  }
  if (root.Kind == TNodeKind::nkColumn && root.Operation == EvaluateColumn && fetcher != nullptr) {
    root.Operation = fetcher;
  }
}

void SelectOperations(TExpToken& root) {
  if (root.Left) SelectOperations(*root.Left);
  if (root.Right) SelectOperations(*root.Right);
  for (auto& child : root.Children) {
    if (child) SelectOperations(*child);
  }
  root.Operation = SelectOperation(root);
}

}  // namespace veltra
