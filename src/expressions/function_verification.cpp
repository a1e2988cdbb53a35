// Type verification of function nodes: argument checks by the function rules of type_rules.h,
// result types and sizes, CAST, CASE and custom functions. Part of TExpressionVerifier.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/value_conversion.h"
#include "expressions/evaluator.h"
#include "expressions/type_verification.h"

namespace veltra {

namespace {

using D = TDataType;
using S = TDataSubType;
using O = TOperator;
using K = TNodeKind;
using A = TArgumentRule;
using R = TResultRule;

constexpr int64_t kMaxCastLength = kMaxStringSize;
constexpr int64_t kMaxBcdCastScale = 4;
// The size CAST to a string without a length gives a value that is not a string: room for the
// longest text of a number, date, time or timestamp.
constexpr uint32_t kCastTextSize = 80;
constexpr std::string_view kLengthMessage =
    "Length argument must be greater than 0 and less than or equal to 512";
constexpr std::string_view kScaleMessage =
    "Scale argument must be an integer less than or equal to 4 but greater than or equal to 0";

std::string_view TextOf(const TExpToken& node) {
  const char* chars = reinterpret_cast<const char*>(node.Data());
  return {chars, strnlen(chars, node.DataSize())};
}

// The value of an integer constant, also written with a sign; nullopt for anything else.
std::optional<int64_t> IntegerConstant(const TExpToken& node) {
  if (node.Kind == K::nkUnary && node.Left != nullptr &&
      (node.Operator == O::opNegate || node.Operator == O::opPlus)) {
    std::optional<int64_t> value = IntegerConstant(*node.Left);
    if (!value || node.Operator == O::opPlus) return value;
    if (*value == INT64_MIN) return std::nullopt;
    return -*value;
  }
  if (node.Kind != K::nkConstant || node.IsNull) return std::nullopt;
  switch (node.DataType) {
    case D::dtSmallInt:
      return LoadSmallInt(node.Data());
    case D::dtInteger:
      return LoadInteger(node.Data());
    case D::dtWord:
      return LoadWord(node.Data());
    case D::dtLargeInt:
      return LoadLargeInt(node.Data());
    default:
      return std::nullopt;
  }
}

uint64_t TextLength(const TExpToken& node) { return node.DataSize() > 0 ? node.DataSize() - 1 : 0; }

void CopyResultType(TExpToken& node, const TExpToken& from) {
  node.DataType = from.DataType;
  node.SubType = from.SubType;
  node.Scale = from.Scale;
  node.SetDataSize(from.DataSize());
}

// The type of a text result over `from`: a string keeps its type, a BLOB gives a memo.
void SetTextResult(TExpToken& node, const TExpToken& from, uint64_t size) {
  node.DataType = from.DataType == D::dtBlob ? D::dtBlob : D::dtString;
  node.SubType = from.DataType == D::dtBlob ? S::dsMemo : from.SubType;
  node.Scale = 0;
  node.SetDataSize(ClampVerifiedSize(size));
}

// REPLACE(search WITH replacement IN source): every occurrence of a search text of at least
// one character may become the replacement, so the result is at most the source's length
// times the replacement's (or the source's length when the replacement is no longer than a
// constant search text). An empty search returns the source.
uint64_t ReplaceSize(const TExpToken& search, const TExpToken& replacement,
                     const TExpToken& source) {
  uint64_t source_length = TextLength(source);
  uint64_t replacement_length =
      replacement.Kind == K::nkConstant ? TextOf(replacement).size() : TextLength(replacement);
  uint64_t search_length = search.Kind == K::nkConstant ? TextOf(search).size() : 1;
  if (search_length == 0 || replacement_length <= search_length) return source_length + 1;
  uint64_t occurrences = source_length / search_length;
  return source_length + occurrences * (replacement_length - search_length) + 1;
}

// REPEAT(text FOR count): with a constant count the text's length times the count (a count
// below 1 gives the empty text), saturating before it can wrap; with any other count the
// text's own size, evaluation growing the buffer as the result needs.
uint64_t RepeatSize(const TExpToken& text, const TExpToken& count) {
  uint64_t length = TextLength(text);
  std::optional<int64_t> times = IntegerConstant(count);
  if (!times) return length + 1;
  if (*times <= 0 || length == 0) return 1;
  if (static_cast<uint64_t>(*times) >= kMaxVerifiedSize) return kMaxVerifiedSize;
  return length * static_cast<uint64_t>(*times) + 1;
}

}  // namespace

void TExpressionVerifier::VerifyFunction(TExpToken& node) {
  switch (node.Operator) {
    case O::opCase:
      VerifyCase(node);
      return;
    case O::opCast:
      VerifyCast(node);
      return;
    case O::opCustomFunction:
      VerifyCustomFunction(node);
      return;
    default:
      break;
  }
  const TFunctionRule* rule = FunctionRule(node.Operator);
  if (rule == nullptr || node.ChildCount() < rule->min_arguments ||
      node.ChildCount() > rule->max_arguments) {
    RaiseAtNode(node, "Invalid expression " + node.Text + " found");
  }
  if (node.Operator == O::opNullIf && node.ChildCount() == 3) node.Children.pop_back();
  VerifyArguments(node, *rule);
  SetFunctionResult(node, *rule);
  if (node.Operator == O::opNullIf) {
    // The work node where evaluation keeps the comparison of the two values.
    auto work = MakeToken(K::nkConstant, O::opNone, "NULLIF");
    SetResultType(*work, D::dtBoolean);
    work->Line = node.Line;
    work->Column = node.Column;
    work->Operation = SelectOperation(*work);
    node.AddChild(std::move(work));
  }
}

void TExpressionVerifier::VerifyArguments(TExpToken& node, const TFunctionRule& rule) {
  for (size_t i = 0; i < node.ChildCount(); ++i) {
    if (node.Children[i] == nullptr)
      RaiseAtNode(node, "Invalid expression " + node.Text + " found");
    A argument = rule.arguments[std::min<size_t>(i, rule.arguments.size() - 1)];
    if (argument == A::arTableName && node.Children[i]->Kind == K::nkColumn) {
      // A bare table name: it stands as the text of its name.
      TExpToken& name = *node.Children[i];
      std::string text = name.ColumnName;
      name.Kind = K::nkConstant;
      name.DataType = D::dtString;
      name.SetDataSize(static_cast<uint32_t>(text.size() + 1));
      std::memcpy(name.Data(), text.data(), text.size());
      name.Data()[text.size()] = 0;
    }
    VerifyNode(node.Children[i], TPlace::plValue);
  }
  for (size_t i = 0; i < node.ChildCount(); ++i) {
    TExpToken& child = *node.Children[i];
    A argument = rule.arguments[std::min<size_t>(i, rule.arguments.size() - 1)];
    switch (argument) {
      case A::arAny:
        continue;
      case A::arTableName:
        RequireConstant(child);
        CheckOperand(child, type_sets::kStringValue);
        if (resolver_ != nullptr && !child.IsNull) {
          resolver_->ReferenceTable(node, std::string(TextOf(child)));
        }
        break;
      case A::arTextColumn:
        RequireColumn(child);
        break;
      case A::arDateTime:
        if (child.Kind == K::nkConstant && child.DataType == D::dtString && !child.IsNull) {
          // A date text, else a time text, else a timestamp text.
          for (D type : {D::dtDate, D::dtTime, D::dtTimestamp}) {
            if (TextConvertsTo(TextOf(child), type)) {
              TExpToken model;
              SetResultType(model, type);
              ConvertDateConstant(child, model);
              break;
            }
          }
        }
        break;
      default:
        break;
    }
    CheckOperand(child, ArgumentCheck(argument));
    if (IsUntyped(child) && rule.result != R::rrUnify) {
      AdoptType(child, rule.result == R::rrSum ? D::dtFloat : UntypedArgumentType(argument));
    }
  }
}

void TExpressionVerifier::SetFunctionResult(TExpToken& node, const TFunctionRule& rule) {
  TExpToken* subject = node.Child(rule.subject);
  switch (rule.result) {
    case R::rrFixed:
      SetResultType(node, rule.type);
      node.Scale = 0;
      if (rule.type == D::dtString) node.SetDataSize(kGuidStringSize + 1);
      return;
    case R::rrSum: {
      TExpToken& argument = *node.Children[0];
      switch (argument.DataType) {
        case D::dtSmallInt:
        case D::dtWord:
          SetResultType(node, D::dtInteger);
          return;
        case D::dtInteger:
          SetResultType(node, D::dtLargeInt);
          return;
        default:
          CopyResultType(node, argument);
          return;
      }
    }
    case R::rrMinMax:
    case R::rrArgument:
      CopyResultType(node, *subject);
      if (node.SubType == S::dsAutoInc) node.SubType = S::dsNone;
      return;
    case R::rrText:
      SetTextResult(node, *subject, subject->DataSize());
      return;
    case R::rrReplace:
      SetTextResult(node, *node.Children[2],
                    ReplaceSize(*node.Children[0], *node.Children[1], *node.Children[2]));
      return;
    case R::rrRepeat:
      SetTextResult(node, *node.Children[0], RepeatSize(*node.Children[0], *node.Children[1]));
      return;
    case R::rrConcat: {
      TExpToken& left = *node.Children[0];
      TExpToken& right = *node.Children[1];
      bool memo = left.DataType == D::dtBlob || right.DataType == D::dtBlob;
      node.DataType = memo ? D::dtBlob : D::dtString;
      node.SubType = memo ? S::dsMemo : S::dsNone;
      node.Scale = 0;
      node.SetDataSize(ClampVerifiedSize(TextLength(left) + TextLength(right) + 1));
      return;
    }
    case R::rrModulo: {
      D left = node.Children[0]->DataType;
      D right = node.Children[1]->DataType;
      SetResultType(node, ArithmeticResultType(O::opMod, left, right).value_or(D::dtInteger));
      node.Scale = 0;
      return;
    }
    case R::rrUnify: {
      size_t end = node.Operator == O::opNullIf ? 2 : node.ChildCount();
      if (node.Operator == O::opIf) {
        TExpToken& condition = *node.Children[0];
        if (IsUntyped(condition)) AdoptType(condition, D::dtBoolean);
      }
      Unify(node, rule.subject, end, rule.name);
      return;
    }
    case R::rrCast:
    case R::rrCase:
    case R::rrCustom:
      return;
  }
}

void TExpressionVerifier::VerifyCast(TExpToken& node) {
  if (node.ChildCount() == 0 || node.Children[0] == nullptr) {
    RaiseAtNode(node, "Invalid expression " + node.Text + " found");
  }
  for (auto& child : node.Children) {
    if (child != nullptr) VerifyNode(child, TPlace::plValue);
  }
  TExpToken& source = *node.Children[0];
  D target = node.DataType;
  S sub_type = node.SubType;
  bool null_source = source.Kind == K::nkConstant && source.IsNull;
  if (!null_source) CheckOperand(source, CastSourceCheck(target));

  TExpToken* length = node.Child(1);
  auto checked_length = [&](int64_t limit) -> int64_t {
    RequireConstant(*length);
    CheckOperand(*length, type_sets::kInteger);
    std::optional<int64_t> value = IntegerConstant(*length);
    if (!value || *value <= 0 || *value > limit) RaiseAtNode(*length, kLengthMessage);
    return *value;
  };
  node.Scale = 0;
  switch (target) {
    case D::dtString:
      if (sub_type == S::dsGuid) {
        node.SetDataSize(kGuidStringSize + 1);
      } else if (length != nullptr) {
        int64_t limit = sub_type == S::dsWide ? kMaxCastLength / 2 : kMaxCastLength;
        node.SetDataSize(
            StoredSizeOf(target, sub_type, static_cast<uint16_t>(checked_length(limit))));
      } else {
        node.SetDataSize(source.DataType == D::dtString ? source.DataSize() : kCastTextSize);
      }
      break;
    case D::dtBlob:
      node.SetDataSize(ClampVerifiedSize(source.DataSize()));
      break;
    case D::dtBytes:
    case D::dtVarBytes:
      if (length == nullptr) RaiseAtNode(node, kLengthMessage);
      node.SetDataSize(static_cast<uint32_t>(checked_length(kMaxCastLength)));
      break;
    case D::dtBcd:
      node.SetDataSize(kBcdSize);
      if (TExpToken* scale = node.Child(2)) {
        std::optional<int64_t> value = IntegerConstant(*scale);
        if (!value || *value < 0 || *value > kMaxBcdCastScale) RaiseAtNode(*scale, kScaleMessage);
        node.Scale = static_cast<uint8_t>(*value);
      }
      break;
    case D::dtUnknown:
      RaiseAtNode(node, "Invalid expression " + node.Text + " found");
    default:
      SetResultType(node, target, sub_type);
  }
  if (IsUntyped(source)) AdoptType(source, node);
}

void TExpressionVerifier::VerifyCase(TExpToken& node) {
  TExpToken* conditions = node.Child(kCaseConditionsChild);
  TExpToken* results = node.Child(kCaseResultsChild);
  if (conditions == nullptr || results == nullptr || conditions->Operator != O::opCaseConditions ||
      results->Operator != O::opCaseResults || node.ChildCount() > kCaseOperandChild + 1) {
    RaiseAtNode(node, "Invalid expression " + node.Text + " found");
  }
  TExpToken* operand = node.Child(kCaseOperandChild);
  if (operand != nullptr) VerifyNode(node.Children[kCaseOperandChild], TPlace::plValue);
  operand = node.Child(kCaseOperandChild);

  for (auto& condition : conditions->Children) {
    if (condition == nullptr) RaiseAtNode(node, "Invalid expression " + node.Text + " found");
    VerifyNode(condition, TPlace::plValue);
    if (operand != nullptr) {
      CheckBesideEqual(*operand, *condition, false);
      if (IsUntyped(*condition) && !IsUntyped(*operand)) AdoptType(*condition, *operand);
      if (IsUntyped(*operand) && !IsUntyped(*condition)) AdoptType(*operand, *condition);
    } else {
      CheckOperand(*condition, type_sets::kCondition);
      if (IsUntyped(*condition)) AdoptType(*condition, D::dtBoolean);
    }
  }
  if (operand != nullptr) {
    if (IsUntyped(*operand)) AdoptType(*operand, D::dtInteger);
    for (auto& condition : conditions->Children) {
      if (IsUntyped(*condition)) AdoptType(*condition, *operand);
    }
  }
  SetResultType(*conditions, D::dtBoolean);
  conditions->Operation = SelectOperation(*conditions);

  for (auto& result : results->Children) {
    if (result == nullptr) RaiseAtNode(node, "Invalid expression " + node.Text + " found");
    VerifyNode(result, TPlace::plValue);
  }
  Unify(*results, 0, results->ChildCount(), "CASE..THEN");
  results->Operation = SelectOperation(*results);
  CopyResultType(node, *results);
}

void TExpressionVerifier::VerifyCustomFunction(TExpToken& node) {
  for (auto& child : node.Children) {
    if (child == nullptr) RaiseAtNode(node, "Invalid expression " + node.Text + " found");
    VerifyNode(child, TPlace::plValue);
  }
  const TCustomFunctionDefinition* function =
      custom_functions_ ? custom_functions_(node.Text) : nullptr;
  if (function == nullptr) return;
  if (function->Arguments.size() != node.ChildCount()) {
    RaiseAtNode(node, "Invalid expression " + node.Text + " found");
  }
  for (size_t i = 0; i < node.ChildCount(); ++i) {
    const TCustomFunctionArgument& declared = function->Arguments[i];
    TExpToken model;
    model.Kind = K::nkColumn;
    model.Text = node.Text;
    TDataType type = DataTypeOfCode(declared.DataType).value_or(D::dtUnknown);
    auto sub_type = static_cast<S>(declared.SubType);
    SetResultType(model, type, sub_type);
    if (HasDeclaredSize(type)) {
      model.SetDataSize(StoredSizeOf(type, sub_type, MaxDeclaredSize(type, sub_type)));
    }
    TExpToken& argument = *node.Children[i];
    if (IsUntyped(model)) continue;
    CheckBesideEqual(model, argument, true);
    if (IsUntyped(argument)) AdoptType(argument, model);
  }
}

}  // namespace veltra
