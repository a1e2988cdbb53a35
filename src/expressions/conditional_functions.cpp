// The conditional functions and CAST: IF, COALESCE, IFNULL, NULLIF, CASE with and without an
// operand, and CAST through the engine's value conversion. Only the branch a condition chooses is
// evaluated, and the chosen value is converted to the node's verified type.
#include "core/value_conversion.h"
#include "expressions/function_support.h"

namespace veltra::functions {

namespace {

using TOp = TOperator;

// IF(condition THEN a ELSE b): a when the condition is non-zero (a NULL condition is zero).
void EvaluateIf(TExpToken& node, TEvaluationContext& context) {
  TExpToken& condition = EvaluateArg(node, 0, context);
  bool chosen = !condition.IsNull && IntegerArgument(condition) != 0;
  AssignConverted(node, EvaluateArg(node, chosen ? 1 : 2, context));
}

// COALESCE(x, ...): the first non-NULL value; the later ones are not evaluated.
void EvaluateCoalesce(TExpToken& node, TEvaluationContext& context) {
  for (size_t i = 0; i < node.ChildCount(); ++i) {
    TExpToken& value = EvaluateArg(node, i, context);
    if (!value.IsNull) {
      AssignConverted(node, value);
      return;
    }
  }
  SetNull(node);
}

// IFNULL(x THEN a ELSE b): a when x is NULL, else b.
void EvaluateIfNull(TExpToken& node, TEvaluationContext& context) {
  TExpToken& tested = EvaluateArg(node, 0, context);
  AssignConverted(node, EvaluateArg(node, tested.IsNull ? 1 : 2, context));
}

// NULLIF(a, b): NULL when a = b by the rules of '=' (so also when both are NULL), else a.
void EvaluateNullIf(TExpToken& node, TEvaluationContext& context) {
  TExpToken& first = EvaluateArg(node, 0, context);
  TExpToken& second = EvaluateArg(node, 1, context);
  if (ValuesEqual(first, second, context)) {
    SetNull(node);
    return;
  }
  AssignConverted(node, first);
}

// CASE: the result of the first condition that holds, else the last result when the results
// outnumber the conditions (the ELSE value), else NULL. With an operand (child 2) the operand is
// evaluated once and each WHEN value is compared with it by the rules of '='.
void EvaluateCase(TExpToken& node, TEvaluationContext& context) {
  TExpToken& conditions = Arg(node, kCaseConditionsChild);
  TExpToken& results = Arg(node, kCaseResultsChild);
  TExpToken* operand = node.Child(kCaseOperandChild);
  if (operand != nullptr) Evaluate(*operand, context);
  size_t count = conditions.ChildCount();
  for (size_t i = 0; i < count; ++i) {
    TExpToken& condition = EvaluateArg(conditions, i, context);
    bool holds = operand != nullptr ? ValuesEqual(*operand, condition, context)
                                    : !condition.IsNull && IntegerArgument(condition) != 0;
    if (holds && i < results.ChildCount()) {
      AssignConverted(node, EvaluateArg(results, i, context));
      return;
    }
  }
  if (results.ChildCount() > count) {
    AssignConverted(node, EvaluateArg(results, count, context));
    return;
  }
  SetNull(node);
}

// The lists of a CASE node are evaluated by the CASE node itself; on their own they do nothing.
void EvaluateCaseList(TExpToken&, TEvaluationContext&) {}

// CAST(x AS type): a value that does not convert is NULL; a text is cut to the target's length
// (a memo target takes the whole text).
void EvaluateCast(TExpToken& node, TEvaluationContext& context) {
  AssignConverted(node, EvaluateArg(node, 0, context), TTextFit::tfCut);
}

}  // namespace

TNodeOperation SelectConditionalFunction(const TExpToken& node) {
  switch (node.Operator) {
    case TOp::opIf:
      return EvaluateIf;
    case TOp::opCoalesce:
      return EvaluateCoalesce;
    case TOp::opIfNull:
      return EvaluateIfNull;
    case TOp::opNullIf:
      return EvaluateNullIf;
    case TOp::opCase:
      return EvaluateCase;
    case TOp::opCaseConditions:
    case TOp::opCaseResults:
      return EvaluateCaseList;
    case TOp::opCast:
      return EvaluateCast;
    default:
      return nullptr;
  }
}

}  // namespace veltra::functions
