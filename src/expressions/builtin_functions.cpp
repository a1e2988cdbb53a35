// The function selector, the aggregates' per-record values, and the functions that reach the
// layers above through the evaluation host (text search, auto-increment values, custom
// functions). The string, date and time, math and conditional families live in their own files.
#include "expressions/builtin_functions.h"

#include <algorithm>

#include "expressions/evaluator.h"
#include "expressions/function_support.h"

namespace veltra {

namespace {

using TOp = TOperator;
using functions::Arg;
using functions::EvaluateArg;

TEvaluationHost& HostOf(TEvaluationContext& context) {
  static TEvaluationHost defaults;
  return context.Host != nullptr ? *context.Host : defaults;
}

// SUM, RUNSUM, AVG, STDDEV, MIN and MAX: the argument's value for the current record in the
// node's type; the SQL layer accumulates it.
void EvaluateAggregateArgument(TExpToken& node, TEvaluationContext& context) {
  functions::AssignConverted(node, EvaluateArg(node, 0, context));
}

// COUNT: 1 for a record whose argument is not NULL (every record for COUNT(*)), else NULL.
void EvaluateCount(TExpToken& node, TEvaluationContext& context) {
  TExpToken& arg = Arg(node, 0);
  bool star = arg.Kind == TNodeKind::nkColumn && arg.ColumnName == "*";
  if (!star) Evaluate(arg, context);
  if (!star && arg.IsNull) {
    SetNull(node);
    return;
  }
  functions::SetIntegerResult(node, 1);
}

void EvaluateTextSearch(TExpToken& node, TEvaluationContext& context) {
  TExpToken& words = EvaluateArg(node, 0, context);
  TExpToken& column = EvaluateArg(node, 1, context);
  bool found =
      !words.IsNull && HostOf(context).TextSearch(column, functions::TextOf(words), context);
  SetBooleanResult(node, found);
}

// TEXTOCCURS: the count in the node's type (integer, or word clamped to 65,535).
template <bool kWord>
void EvaluateTextOccurs(TExpToken& node, TEvaluationContext& context) {
  TExpToken& words = EvaluateArg(node, 0, context);
  TExpToken& column = EvaluateArg(node, 1, context);
  int32_t count =
      words.IsNull ? 0 : HostOf(context).TextOccurs(column, functions::TextOf(words), context);
  node.IsNull = false;
  if constexpr (kWord) {
    StoreWord(node.Data(), static_cast<uint16_t>(std::clamp<int32_t>(count, 0, UINT16_MAX)));
  } else {
    StoreInteger(node.Data(), count);
  }
}

// LASTAUTOINC and IDENT_CURRENT: the table is named by a string constant (or a bare name).
void EvaluateLastAutoInc(TExpToken& node, TEvaluationContext& context) {
  TExpToken& table = EvaluateArg(node, 0, context);
  std::string_view name = table.DataType == TDataType::dtString
                              ? functions::TextOf(table)
                              : std::string_view(table.ColumnName);
  functions::SetIntegerResult(node, HostOf(context).LastAutoInc(name, context));
}

void EvaluateCustomFunction(TExpToken& node, TEvaluationContext& context) {
  for (size_t i = 0; i < node.ChildCount(); ++i) EvaluateArg(node, i, context);
  HostOf(context).CallCustomFunction(node, context);
}

TNodeOperation SelectHostFunction(const TExpToken& node) {
  switch (node.Operator) {
    case TOp::opSum:
    case TOp::opRunSum:
    case TOp::opAvg:
    case TOp::opStdDev:
    case TOp::opMin:
    case TOp::opMax:
      return EvaluateAggregateArgument;
    case TOp::opCount:
      return EvaluateCount;
    case TOp::opTextSearch:
      return EvaluateTextSearch;
    case TOp::opTextOccurs:
      return node.DataType == TDataType::dtWord ? EvaluateTextOccurs<true>
                                                : EvaluateTextOccurs<false>;
    case TOp::opLastAutoInc:
    case TOp::opIdentCurrent:
      return EvaluateLastAutoInc;
    case TOp::opCustomFunction:
      return EvaluateCustomFunction;
    default:
      return nullptr;
  }
}

}  // namespace

TNodeOperation SelectFunctionOperation(const TExpToken& node) {
  using Selector = TNodeOperation (*)(const TExpToken&);
  constexpr Selector kFamilies[] = {
      functions::SelectStringFunction,
      functions::SelectDateTimeFunction,
      functions::SelectMathFunction,
      functions::SelectConditionalFunction,
      SelectHostFunction,
  };
  for (Selector select : kFamilies) {
    if (TNodeOperation operation = select(node)) return operation;
  }
  return nullptr;
}

}  // namespace veltra
