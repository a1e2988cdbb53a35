// Expression tree utilities.
#include "expressions/tree_utilities.h"

#include <array>
#include <utility>

#include "expressions/evaluator.h"

namespace veltra {

std::unique_ptr<TExpToken> CopyTree(const TExpToken& node) { return node.Clone(); }

bool IsAggregateNode(const TExpToken& node) {
  if (node.Kind != TNodeKind::nkFunction) return false;
  auto code = static_cast<uint8_t>(node.Operator);
  return code >= static_cast<uint8_t>(TOperator::opSum) &&
         code <= static_cast<uint8_t>(TOperator::opStdDev);
}

namespace {

template <class Node, class Visit>
void ForEachOperand(Node& node, Visit visit) {
  if (node.Left) visit(*node.Left);
  if (node.Right) visit(*node.Right);
  for (auto& child : node.Children) {
    if (child) visit(*child);
  }
}

void CollectAggregates(TExpToken& node, std::vector<TExpToken*>& found) {
  if (IsAggregateNode(node)) {
    found.push_back(&node);
    return;
  }
  ForEachOperand(node, [&found](TExpToken& operand) { CollectAggregates(operand, found); });
}

void CollectColumns(TExpToken& node, std::vector<TExpToken*>& found) {
  if (node.Kind == TNodeKind::nkColumn) found.push_back(&node);
  ForEachOperand(node, [&found](TExpToken& operand) { CollectColumns(operand, found); });
}

template <class Predicate>
bool AnyNode(const TExpToken& node, Predicate predicate) {
  if (predicate(node)) return true;
  bool any = false;
  ForEachOperand(node, [&](const TExpToken& operand) { any = any || AnyNode(operand, predicate); });
  return any;
}

void FindFirst(const TExpToken& node, const TExpToken*& first) {
  if (node.Line > 0 && (first == nullptr || node.Line < first->Line ||
                        (node.Line == first->Line && node.Column < first->Column))) {
    first = &node;
  }
  ForEachOperand(node, [&first](const TExpToken& operand) { FindFirst(operand, first); });
}

void EvaluateCurrentValue(TExpToken& node, TEvaluationContext& context) {
  HostOf(context).FetchCurrentValue(node, context);
}

}  // namespace

std::vector<TExpToken*> FindAggregates(TExpToken& node) {
  std::vector<TExpToken*> found;
  CollectAggregates(node, found);
  return found;
}

std::vector<TExpToken*> FindColumns(TExpToken& node) {
  std::vector<TExpToken*> found;
  CollectColumns(node, found);
  return found;
}

bool ContainsAggregates(const TExpToken& node) {
  return AnyNode(node, [](const TExpToken& n) { return IsAggregateNode(n); });
}

bool ContainsColumns(const TExpToken& node) {
  return AnyNode(node, [](const TExpToken& n) { return n.Kind == TNodeKind::nkColumn; });
}

const TExpToken& FirstTokenNode(const TExpToken& node) {
  const TExpToken* first = nullptr;
  FindFirst(node, first);
  return first != nullptr ? *first : node;
}

bool SwapComparisonOperands(TExpToken& node) {
  if ((node.Kind != TNodeKind::nkBinary && node.Kind != TNodeKind::nkCompare) || !node.Left ||
      !node.Right) {
    return false;
  }
  TOperator mirrored;
  switch (node.Operator) {
    case TOperator::opEqual:
    case TOperator::opNotEqual:
      mirrored = node.Operator;
      break;
    case TOperator::opGreater:
      mirrored = TOperator::opLess;
      break;
    case TOperator::opLess:
      mirrored = TOperator::opGreater;
      break;
    case TOperator::opGreaterOrEqual:
      mirrored = TOperator::opLessOrEqual;
      break;
    case TOperator::opLessOrEqual:
      mirrored = TOperator::opGreaterOrEqual;
      break;
    default:
      return false;
  }
  std::swap(node.Left, node.Right);
  node.Operator = mirrored;
  if (node.Operation != nullptr) node.Operation = SelectOperation(node);
  return true;
}

TOperator AggregateCode(std::string_view name) {
  struct Entry {
    std::string_view name;
    TOperator op;
  };
  static constexpr std::array<Entry, 7> kAggregates = {{
      {"SUM", TOperator::opSum},
      {"RUNSUM", TOperator::opRunSum},
      {"AVG", TOperator::opAvg},
      {"STDDEV", TOperator::opStdDev},
      {"MIN", TOperator::opMin},
      {"MAX", TOperator::opMax},
      {"COUNT", TOperator::opCount},
  }};
  for (const Entry& entry : kAggregates) {
    if (entry.name.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      char c = name[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == entry.name[i];
    }
    if (same) return entry.op;
  }
  return TOperator::opNone;
}

std::unique_ptr<TExpToken> MakeCurrentValueNode(const TExpToken& column) {
  auto node = std::make_unique<TExpToken>();
  node->CopyAttributes(column);
  node->Kind = TNodeKind::nkColumn;
  SetNull(*node);
  node->Operation = EvaluateCurrentValue;
  return node;
}

}  // namespace veltra
