#include "expressions/type_verification.h"

#include <algorithm>
#include <cstring>

#include "core/value_conversion.h"
#include "expressions/evaluator.h"

namespace veltra {

namespace {

using D = TDataType;
using S = TDataSubType;
using O = TOperator;
using K = TNodeKind;

constexpr size_t kMaxShortMessage = 255;
bool IsNullConstant(const TExpToken& node) { return node.Kind == K::nkConstant && node.IsNull; }

bool IsDateLike(D type) { return type == D::dtDate || type == D::dtTime || type == D::dtTimestamp; }

bool TakesBooleanRewrite(D type) {
  return type == D::dtBoolean || type == D::dtSmallInt || type == D::dtInteger ||
         type == D::dtWord || type == D::dtLargeInt;
}

bool IsComparison(O op) { return op >= O::opEqual && op <= O::opLessOrEqual; }

// x IS [NOT] NULL: the comparison the parser builds with a fresh NULL constant on the right.
bool IsNullTest(const TExpToken& node) {
  if (node.Right == nullptr || !IsNullConstant(*node.Right) || !node.Right->Text.empty()) {
    return false;
  }
  return node.Text.size() >= 2 && (node.Text[0] == 'I' || node.Text[0] == 'i') &&
         (node.Text[1] == 'S' || node.Text[1] == 's');
}

// The node of the first token of the subtree, for the position of messages about a whole
// construct.
const TExpToken& FirstTokenNode(const TExpToken& node) {
  const TExpToken* current = &node;
  while (true) {
    if ((current->Kind == K::nkBinary || current->Kind == K::nkCompare) && current->Left) {
      current = current->Left.get();
    } else if (current->Kind == K::nkExtended && current->Child(0) != nullptr) {
      current = current->Child(0);
    } else {
      return *current;
    }
  }
}

std::string_view TextOf(const TExpToken& node) {
  const char* chars = reinterpret_cast<const char*>(node.Data());
  return {chars, strnlen(chars, node.DataSize())};
}

// The length of a string value's longest text: the verified size less the terminating zero.
uint64_t TextLength(const TExpToken& node) { return node.DataSize() > 0 ? node.DataSize() - 1 : 0; }

void CopyResultType(TExpToken& node, const TExpToken& from) {
  node.DataType = from.DataType;
  node.SubType = from.SubType;
  node.Scale = from.Scale;
  node.SetDataSize(from.DataSize());
}

TExpToken& Operand(const std::unique_ptr<TExpToken>& slot, const TExpToken& owner,
                   const TExpressionVerifier& verifier) {
  if (slot == nullptr) {
    verifier.RaiseAtNode(owner, "Invalid expression " + owner.Text + " found");
  }
  return *slot;
}

}  // namespace

bool TColumnResolver::ResolveSubQuery(TExpToken&) { return false; }
void TColumnResolver::ReferenceTable(TExpToken&, std::string_view) {}

void AdoptType(TExpToken& node, const TExpToken& model) {
  node.DataType = model.DataType;
  node.SubType = model.SubType;
  node.Scale = model.Scale;
  node.SetDataSize(model.DataSize());
  std::memset(node.Data(), 0, node.BufferSize());
  node.Operation = SelectOperation(node);
}

void AdoptType(TExpToken& node, TDataType type) {
  node.DataType = type;
  node.SubType = S::dsNone;
  node.Scale = 0;
  node.SetDataSize(type == D::dtString ? 1 : StoredSizeOf(type, S::dsNone, 0));
  std::memset(node.Data(), 0, node.BufferSize());
  node.Operation = SelectOperation(node);
}

// ---- Errors -------------------------------------------------------------------------------

void TExpressionVerifier::RaiseAtNode(const TExpToken& node, std::string_view message) const {
  const TExpToken& first = FirstTokenNode(node);
  std::string text = std::string(message) + " in " + context_text_;
  text.resize(std::min(text.size(), kMaxShortMessage));
  RaiseEngineError(error_code_, {.database = database_name_,
                                 .table = table_name_,
                                 .message = text,
                                 .line = first.Line,
                                 .column = first.Column});
}

void TExpressionVerifier::RaiseExpectedTypes(const TExpToken& node, const TTypeCheck& check) const {
  std::string text = "Expected " + TypeListText(check) + " expression but instead found " +
                     node.Text + " in " + context_text_;
  text.resize(std::min(text.size(), kMaxShortMessage));
  RaiseEngineError(error_code_, {.database = database_name_,
                                 .table = table_name_,
                                 .message = text,
                                 .line = node.Line,
                                 .column = node.Column});
}

void TExpressionVerifier::RaiseExpectedKinds(const TExpToken& node, TKindSet kinds) const {
  std::string text = "Expected " + KindListText(kinds) + " but instead found " + node.Text +
                     " in " + context_text_;
  text.resize(std::min(text.size(), kMaxShortMessage));
  RaiseEngineError(error_code_, {.database = database_name_,
                                 .table = table_name_,
                                 .message = text,
                                 .line = node.Line,
                                 .column = node.Column});
}

void TExpressionVerifier::RequireColumn(const TExpToken& node) const {
  if (node.Kind != K::nkColumn) RaiseExpectedKinds(node, ksColumn);
}

void TExpressionVerifier::RequireConstant(const TExpToken& node) const {
  if (node.Kind != K::nkConstant) RaiseExpectedKinds(node, ksConstant);
}

void TExpressionVerifier::RequireColumnOrConstant(const TExpToken& node) const {
  if (node.Kind != K::nkColumn && node.Kind != K::nkConstant) {
    RaiseExpectedKinds(node, ksColumn | ksConstant);
  }
}

// ---- The walk -----------------------------------------------------------------------------

void TExpressionVerifier::Verify(std::unique_ptr<TExpToken>& root, bool null_allowed,
                                 bool boolean_context) {
  if (root == nullptr) return;
  null_allowed_ = null_allowed;
  boolean_context_ = boolean_context;
  VerifyNode(root, TPlace::plCondition);
}

void TExpressionVerifier::VerifyNode(std::unique_ptr<TExpToken>& slot, TPlace place) {
  TExpToken& node = *slot;
  switch (node.Kind) {
    case K::nkUnary:
      VerifyNode(node.Left, node.Operator == O::opNot ? TPlace::plCondition : TPlace::plValue);
      Operand(node.Left, node, *this);
      VerifyUnary(node);
      break;
    case K::nkBinary:
    case K::nkCompare: {
      TPlace inner = (node.Operator == O::opAnd || node.Operator == O::opOr) ? TPlace::plCondition
                                                                             : TPlace::plValue;
      Operand(node.Left, node, *this);
      Operand(node.Right, node, *this);
      VerifyNode(node.Left, inner);
      VerifyNode(node.Right, inner);
      VerifyBinary(node);
      break;
    }
    case K::nkExtended: {
      bool sub_query = node.Operator == O::opInSubQuery || node.Operator == O::opNotInSubQuery;
      size_t verified = sub_query ? 1 : node.ChildCount();
      for (size_t i = 0; i < verified; ++i) VerifyNode(node.Children[i], TPlace::plValue);
      VerifyExtended(node);
      break;
    }
    case K::nkColumn:
      VerifyColumn(node);
      break;
    case K::nkConstant:
      break;
    case K::nkFunction:
      VerifyFunction(node);
      break;
    default:
      RaiseAtNode(node, "Invalid expression " + node.Text + " found");
  }
  node.Operation = SelectOperation(node);
  RewriteBoolean(slot, place);
}

void TExpressionVerifier::CheckOperand(const TExpToken& node, const TTypeCheck& check,
                                       bool always_null) const {
  if (IsUntyped(node)) {
    if (!null_allowed_ && !always_null) RaiseExpectedTypes(node, check);
    return;
  }
  if (!check.Accepts(node.DataType, node.SubType)) RaiseExpectedTypes(node, check);
}

void TExpressionVerifier::ConvertDateConstant(TExpToken& constant, const TExpToken& other) const {
  if (constant.Kind != K::nkConstant || constant.DataType != D::dtString ||
      !IsDateLike(other.DataType)) {
    return;
  }
  if (constant.IsNull) {
    AdoptType(constant, other);
    return;
  }
  std::array<uint8_t, kTimestampSize> value{};
  TValueDesc target{.type = other.DataType};
  if (!TextToValue(TextOf(constant), target, value.data())) {
    RaiseExpectedTypes(constant, type_sets::kDateTime);
  }
  AdoptType(constant, other);
  std::memcpy(constant.Data(), value.data(), StoredSizeOf(other.DataType, S::dsNone, 0));
}

void TExpressionVerifier::VerifyUnary(TExpToken& node) {
  TExpToken& operand = *node.Left;
  if (node.Operator == O::opNot) {
    CheckOperand(operand, type_sets::kBoolean);
    if (IsUntyped(operand)) AdoptType(operand, D::dtBoolean);
    SetResultType(node, D::dtBoolean);
    return;
  }
  CheckOperand(operand, type_sets::kNumber);
  if (IsUntyped(operand)) AdoptType(operand, D::dtInteger);
  CopyResultType(node, operand);
}

void TExpressionVerifier::VerifyBinary(TExpToken& node) {
  TExpToken& left = *node.Left;
  TExpToken& right = *node.Right;
  if (IsNullTest(node)) {
    if (IsUntyped(left)) AdoptType(left, D::dtInteger);
    AdoptType(right, left);
    SetResultType(node, D::dtBoolean);
    return;
  }
  const TBinaryOperandRule* rule = BinaryOperandRule(node.Operator);
  if (rule == nullptr) RaiseAtNode(node, "Invalid expression " + node.Text + " found");
  ConvertDateConstant(right, left);
  ConvertDateConstant(left, right);

  bool logic = node.Operator == O::opAnd || node.Operator == O::opOr;
  bool left_untyped = IsUntyped(left);
  bool right_untyped = IsUntyped(right);
  if (left_untyped) CheckOperand(left, rule->left);
  if (right_untyped) {
    CheckOperand(right, rule->right[static_cast<size_t>(ClassOf(left.DataType, left.SubType))]);
  }
  if (left_untyped && right_untyped) {
    AdoptType(left, logic ? D::dtBoolean : D::dtInteger);
    AdoptType(right, left);
  } else if (left_untyped) {
    if (logic)
      AdoptType(left, D::dtBoolean);
    else
      AdoptType(left, right);
  } else if (right_untyped) {
    if (logic)
      AdoptType(right, D::dtBoolean);
    else
      AdoptType(right, left);
  }
  if (!left_untyped) CheckOperand(left, rule->left);
  const TTypeSet& right_set =
      rule->right[static_cast<size_t>(ClassOf(left.DataType, left.SubType))];
  if (!right_untyped) CheckOperand(right, right_set);

  if (logic || IsComparison(node.Operator) || node.Kind == K::nkCompare) {
    SetResultType(node, D::dtBoolean);
    return;
  }
  std::optional<D> result = ArithmeticResultType(node.Operator, left.DataType, right.DataType);
  if (!result) RaiseExpectedTypes(right, right_set);
  node.DataType = *result;
  node.Scale = 0;
  node.SubType = S::dsNone;
  bool money = (left.SubType == S::dsMoney && IsNumericType(right.DataType)) ||
               (right.SubType == S::dsMoney && IsNumericType(left.DataType));
  if (*result == D::dtFloat && money) node.SubType = S::dsMoney;
  switch (*result) {
    case D::dtString:
    case D::dtBlob:
      if (*result == D::dtBlob) node.SubType = S::dsMemo;
      node.SetDataSize(ClampVerifiedSize(TextLength(left) + TextLength(right) + 1));
      break;
    case D::dtBcd:
      node.Scale = std::max(left.Scale, right.Scale);
      node.SetDataSize(kBcdSize);
      break;
    default:
      node.SetDataSize(StoredSizeOf(*result, node.SubType, 0));
  }
}

void TExpressionVerifier::CheckBesideEqual(TExpToken& model, TExpToken& value,
                                           bool blob_beside_blob) {
  ConvertDateConstant(value, model);
  ConvertDateConstant(model, value);
  const TBinaryOperandRule& rule = *BinaryOperandRule(O::opEqual);
  if (IsUntyped(model) || IsUntyped(value)) {
    CheckOperand(model, rule.left);
    CheckOperand(value, rule.left);
    return;
  }
  if (blob_beside_blob && model.DataType == D::dtBlob && value.DataType == D::dtBlob) return;
  CheckOperand(model, rule.left);
  CheckOperand(value, rule.right[static_cast<size_t>(ClassOf(model.DataType, model.SubType))]);
}

namespace {

// Gives every untyped node of `nodes` the type of `model`, or Integer when `model` is untyped.
void AdoptAll(TExpToken& model, const std::vector<TExpToken*>& nodes) {
  if (IsUntyped(model)) AdoptType(model, D::dtInteger);
  for (TExpToken* node : nodes) {
    if (node != &model && IsUntyped(*node)) AdoptType(*node, model);
  }
}

}  // namespace

void TExpressionVerifier::VerifyExtended(TExpToken& node) {
  size_t count = node.ChildCount();
  for (size_t i = 0; i < count; ++i) Operand(node.Children[i], node, *this);
  if (count < 2) RaiseAtNode(node, "Invalid expression " + node.Text + " found");
  TExpToken& value = *node.Children[0];
  switch (node.Operator) {
    case O::opLike:
    case O::opNotLike:
      if (count > 3) RaiseAtNode(node, "Invalid expression " + node.Text + " found");
      for (auto& child : node.Children) {
        CheckOperand(*child, type_sets::kStringValue);
        if (IsUntyped(*child)) AdoptType(*child, D::dtString);
      }
      break;
    case O::opInSubQuery:
    case O::opNotInSubQuery: {
      TExpToken& sub_query = *node.Children[1];
      if (resolver_ != nullptr && resolver_->ResolveSubQuery(sub_query)) {
        sub_query.Operation = SelectOperation(sub_query);
        CheckBesideEqual(value, sub_query, false);
        if (IsUntyped(value)) AdoptType(value, sub_query);
      } else if (IsUntyped(value)) {
        AdoptType(value, D::dtInteger);
      }
      break;
    }
    default: {
      std::vector<TExpToken*> all;
      for (auto& child : node.Children) all.push_back(child.get());
      // An untyped value is compared with the first typed element.
      TExpToken* model = &value;
      for (TExpToken* child : all) {
        if (!IsUntyped(*child)) {
          model = child;
          break;
        }
      }
      for (TExpToken* child : all) {
        if (child != model) CheckBesideEqual(*model, *child, false);
      }
      AdoptAll(*model, all);
    }
  }
  SetResultType(node, D::dtBoolean);
}

void TExpressionVerifier::VerifyColumn(TExpToken& node) {
  if (node.ColumnName == "*") return;
  if (resolver_ != nullptr) {
    if (!resolver_->ResolveColumn(node)) RaiseExpectedKinds(node, ksColumn);
  } else if (IsUntyped(node)) {
    RaiseExpectedKinds(node, ksColumn);
  }
}

void TExpressionVerifier::Unify(TExpToken& node, size_t first, size_t end, std::string_view name) {
  end = std::min(end, node.ChildCount());
  if (first >= end) RaiseAtNode(node, "Invalid expression " + node.Text + " found");
  std::vector<TExpToken*> values;
  for (size_t i = first; i < end; ++i) values.push_back(&Operand(node.Children[i], node, *this));
  if (std::all_of(values.begin(), values.end(), [](TExpToken* v) { return IsNullConstant(*v); })) {
    RaiseAtNode(*values[0], "At least one of the " + std::string(name) +
                                " expression arguments must be a non-NULL value");
  }
  // Each value against the typed one before it: date texts convert, the equality rules hold.
  TExpToken* previous = nullptr;
  for (TExpToken* value : values) {
    if (IsUntyped(*value)) {
      CheckOperand(*value, BinaryOperandRule(O::opEqual)->left);
      continue;
    }
    if (previous != nullptr) CheckBesideEqual(*previous, *value, true);
    previous = value;
  }
  TExpToken* result = values[0];
  for (TExpToken* value : values) {
    if (value->DataSize() > result->DataSize() || value->Scale > result->Scale) result = value;
  }
  if (IsUntyped(*result)) {
    SetResultType(node, D::dtInteger);
  } else {
    CopyResultType(node, *result);
  }
  for (TExpToken* value : values) {
    if (IsUntyped(*value)) AdoptType(*value, node);
  }
}

void TExpressionVerifier::RewriteBoolean(std::unique_ptr<TExpToken>& slot, TPlace place) const {
  if (!boolean_context_ || place != TPlace::plCondition) return;
  TExpToken& node = *slot;
  bool takes_part = node.Kind == K::nkColumn || node.Kind == K::nkConstant;
  if (node.Kind == K::nkFunction) {
    const TFunctionRule* rule = FunctionRule(node.Operator);
    takes_part = rule != nullptr && rule->boolean_rewrite;
  }
  if (!takes_part || !TakesBooleanRewrite(node.DataType)) return;

  auto truth = MakeToken(K::nkConstant, O::opNone, "TRUE");
  SetResultType(*truth, D::dtBoolean);
  StoreBoolean(truth->Data(), true);
  auto comparison = MakeToken(K::nkBinary, O::opEqual, "=");
  for (TExpToken* made : {truth.get(), comparison.get()}) {
    made->Line = node.Line;
    made->Column = node.Column;
    made->Query = node.Query;
  }
  truth->Operation = SelectOperation(*truth);
  SetResultType(*comparison, D::dtBoolean);
  comparison->Left = std::move(slot);
  comparison->Right = std::move(truth);
  comparison->UpdateHeight();
  comparison->Operation = SelectOperation(*comparison);
  slot = std::move(comparison);
}

}  // namespace veltra
