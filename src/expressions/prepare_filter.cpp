// Filter preparation: constant folding, then the specialisation of text comparisons.
#include "expressions/prepare_filter.h"

#include <cstring>
#include <string>

#include "core/value_conversion.h"
#include "expressions/comparison.h"
#include "expressions/like_match.h"
#include "expressions/tree_utilities.h"

namespace veltra {

namespace {

constexpr char kPartialMark = '*';

// The text a folded constant shows in plans and messages.
std::string ConstantText(const TExpToken& node) {
  if (node.IsNull) return "NULL";
  TValueDesc desc{node.DataType, node.SubType, node.DataSize(), node.Scale};
  std::optional<std::string> text = ValueToText(desc, node.Data());
  if (!text) return node.Text;
  if (!IsTextType(node.DataType, node.SubType)) return *text;
  std::string quoted = "'";
  for (char c : *text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

std::unique_ptr<TExpToken> ConstantOf(const TExpToken& value) {
  auto constant = std::make_unique<TExpToken>();
  constant->Kind = TNodeKind::nkConstant;
  constant->CopyValue(value);
  constant->Line = value.Line;
  constant->Column = value.Column;
  constant->Text = ConstantText(value);
  constant->Operation = SelectOperation(*constant);
  return constant;
}

std::unique_ptr<TExpToken> TrueConstant() {
  auto constant = std::make_unique<TExpToken>(TNodeKind::nkConstant, TOperator::opNone, "TRUE");
  SetResultType(*constant, TDataType::dtBoolean);
  SetBooleanResult(*constant, true);
  constant->Operation = SelectOperation(*constant);
  return constant;
}

// Replaces every column-free subtree below `slot` (and `slot` itself) by its value.
void Fold(std::unique_ptr<TExpToken>& slot, TEvaluationContext& context) {
  TExpToken& node = *slot;
  if (node.Kind == TNodeKind::nkConstant) return;
  if (!ContainsColumns(node) && !ContainsAggregates(node) && node.Operation != nullptr) {
    Evaluate(node, context);
    slot = ConstantOf(node);
    return;
  }
  if (node.Left) Fold(node.Left, context);
  if (node.Right) Fold(node.Right, context);
  for (auto& child : node.Children) {
    if (child) Fold(child, context);
  }
}

bool IsTextConstant(const TExpToken* node) {
  return node != nullptr && node->Kind == TNodeKind::nkConstant && !node->IsNull &&
         node->DataType == TDataType::dtString;
}

// Rewrites the text of a string constant (a prefix of its current text).
void SetConstantText(TExpToken& constant, std::string_view text) {
  std::string copy(text);
  std::memset(constant.Data(), 0, constant.DataSize());
  std::memcpy(constant.Data(), copy.data(), copy.size());
  constant.Text = "'" + copy + "'";
}

// UPPER(x) or LOWER(x): the operator; opNone otherwise.
TOperator CaseFunctionOf(const TExpToken* node) {
  if (node == nullptr || node->Kind != TNodeKind::nkFunction) return TOperator::opNone;
  if (node->Operator == TOperator::opUpper || node->Operator == TOperator::opLower) {
    return node->Operator;
  }
  return TOperator::opNone;
}

void SpecialiseEquality(TExpToken& node, const TFilterOptions& options) {
  TOperator left_case = CaseFunctionOf(node.Left.get());
  if (left_case != TOperator::opNone && left_case == CaseFunctionOf(node.Right.get())) {
    node.CaseInsensitive = true;
    return;
  }
  if (!IsTextConstant(node.Right.get()) || !IsTextType(node.Left->DataType, node.Left->SubType)) {
    return;
  }
  std::string_view text = NodeText(*node.Right);
  size_t stars = 0;
  while (stars < text.size() && text[text.size() - 1 - stars] == kPartialMark) ++stars;
  if (!options.case_insensitive && stars == 0) return;
  bool partial = !options.no_partial_compare && stars > 0;
  if (partial && stars == text.size()) {
    // Every text matches: `=` becomes TRUE = TRUE and `<>` TRUE <> TRUE.
    node.Left = TrueConstant();
    node.Right = TrueConstant();
    node.Operation = SelectOperation(node);
    return;
  }
  node.Kind = TNodeKind::nkCompare;
  node.CaseInsensitive = options.case_insensitive;
  node.PrefixLength = 0;
  if (partial) {
    size_t kept = text.size() - stars;
    SetConstantText(*node.Right, text.substr(0, kept));
    node.PrefixLength = static_cast<uint32_t>(kept);
  }
  node.Operation = SelectOperation(node);
}

void SpecialiseLike(TExpToken& node) {
  if (node.Children.size() < 2 || !node.Children[0] || !IsTextConstant(node.Children[1].get())) {
    return;
  }
  std::optional<uint8_t> escape;
  if (node.Children.size() > 2 && node.Children[2]) {
    const TExpToken& escape_node = *node.Children[2];
    if (escape_node.Kind != TNodeKind::nkConstant) return;
    std::string_view escape_text = NodeText(escape_node);
    if (!escape_node.IsNull && !escape_text.empty()) escape = static_cast<uint8_t>(escape_text[0]);
  }
  std::string_view pattern = NodeText(*node.Children[1]);
  std::optional<TLikePrefix> prefix = LikePatternPrefix(pattern, escape);
  if (!prefix || prefix->prefix.empty()) return;
  size_t kept = prefix->prefix.size();
  bool has_percent = prefix->trailing_percent > 0;
  node.Left = std::move(node.Children[0]);
  node.Right = std::move(node.Children[1]);
  node.Children.clear();
  SetConstantText(*node.Right, pattern.substr(0, kept));
  node.Kind = TNodeKind::nkCompare;
  node.Operator = node.Operator == TOperator::opLike ? TOperator::opEqual : TOperator::opNotEqual;
  node.Text = node.Operator == TOperator::opEqual ? "=" : "<>";
  node.PrefixLength = has_percent ? static_cast<uint32_t>(kept) : 0;
  node.CaseInsensitive = false;
  node.Operation = SelectOperation(node);
}

void SpecialiseList(TExpToken& node) {
  if (node.Children.empty()) return;
  TOperator first = CaseFunctionOf(node.Children[0].get());
  if (first == TOperator::opNone) return;
  for (const auto& child : node.Children) {
    if (CaseFunctionOf(child.get()) != first) return;
  }
  node.CaseInsensitive = true;
}

void Specialise(TExpToken& node, const TFilterOptions& options) {
  if (node.Left) Specialise(*node.Left, options);
  if (node.Right) Specialise(*node.Right, options);
  for (auto& child : node.Children) {
    if (child) Specialise(*child, options);
  }
  if (node.Kind == TNodeKind::nkBinary &&
      (node.Operator == TOperator::opEqual || node.Operator == TOperator::opNotEqual) &&
      node.Left && node.Right) {
    SpecialiseEquality(node, options);
  } else if (node.Kind == TNodeKind::nkExtended) {
    switch (node.Operator) {
      case TOperator::opLike:
      case TOperator::opNotLike:
        SpecialiseLike(node);
        break;
      case TOperator::opInList:
      case TOperator::opNotInList:
      case TOperator::opBetween:
      case TOperator::opNotBetween:
        SpecialiseList(node);
        break;
      default:
        break;
    }
  }
}

}  // namespace

std::unique_ptr<TExpToken> PrepareFilterTree(const TExpToken& tree, const TFilterOptions& options,
                                             TEvaluationContext& context) {
  std::unique_ptr<TExpToken> copy = CopyTree(tree);
  TEvaluationContext fold_context = context;
  fold_context.Fetcher = nullptr;  // a column-free subtree reads no column
  Fold(copy, fold_context);
  Specialise(*copy, options);
  return copy;
}

TPreparedFilter::TPreparedFilter(const TExpToken& tree, const TFilterOptions& options, void* owner,
                                 TColumnFetcher fetcher, const platform::LocaleServices* locale,
                                 TEvaluationHost* host) {
  context_.Owner = owner;
  context_.Fetcher = fetcher;
  context_.Locale = locale;
  context_.Host = host;
  tree_ = PrepareFilterTree(tree, options, context_);
  BindColumnFetcher(*tree_, fetcher);
}

}  // namespace veltra
