// Operation selection and the operations of the node kinds that need no type rules: columns,
// constants, AND, OR, NOT and the host's defaults.
#include "expressions/evaluator.h"

#include <cstring>
#include <string>

#include "core/engine_error.h"
#include "core/error_codes.h"

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

void SetNull(TExpToken& node) {
  node.IsNull = true;
  std::memset(node.Data(), 0, node.DataSize() == 0 ? 1 : node.DataSize());
}

void RaiseIllegalColumn(const TExpToken& column) {
  std::string message = "Internal error: Column \"" + column.ColumnName + "\" specified illegally";
  RaiseEngineError(kErrSqlParse,
                   {.message = message, .line = column.Line, .column = column.Column});
}

namespace {

void EvaluateConstant(TExpToken&, TEvaluationContext&) {}

void EvaluateColumn(TExpToken& node, TEvaluationContext& context) {
  if (context.Fetcher == nullptr) RaiseIllegalColumn(node);
  context.Fetcher(node, context);
}

[[noreturn]] void EvaluateUnsupported(TExpToken& node, TEvaluationContext&) {
  std::string message = "Internal error: the expression " + node.Text + " cannot be evaluated";
  RaiseEngineError(kErrSqlParse, {.message = message, .line = node.Line, .column = node.Column});
}

}  // namespace

TNodeOperation SelectOperation(const TExpToken& node) {
  switch (node.Kind) {
    case TNodeKind::nkConstant:
      return EvaluateConstant;
    case TNodeKind::nkColumn:
      return EvaluateColumn;
    default:
      return EvaluateUnsupported;
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
