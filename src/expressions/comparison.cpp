// Comparers of every type pair and the comparison node operations. Each comparer is a template
// over the operands' loaders, so a comparison node calls one function that loads both values in
// their stored encodings and compares them without looking at their types.
#include "expressions/comparison.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/bcd.h"
#include "expressions/value_loaders.h"

namespace veltra {

namespace {

inline uint8_t AsciiUpper(uint8_t c) { return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c; }

int CompareBytesOrder(std::string_view left, std::string_view right, bool ignore_case) {
  size_t n = std::min(left.size(), right.size());
  for (size_t i = 0; i < n; ++i) {
    uint8_t a = static_cast<uint8_t>(left[i]);
    uint8_t b = static_cast<uint8_t>(right[i]);
    if (ignore_case) {
      a = AsciiUpper(a);
      b = AsciiUpper(b);
    }
    if (a != b) return a < b ? -1 : 1;
  }
  if (left.size() == right.size()) return 0;
  return left.size() < right.size() ? -1 : 1;
}

template <class T>
inline int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Floats in a total order: NaN below everything and equal to itself.
inline int FloatOrder(double a, double b) {
  bool a_nan = std::isnan(a);
  bool b_nan = std::isnan(b);
  if (a_nan || b_nan) return static_cast<int>(b_nan) - static_cast<int>(a_nan);
  return Order(a, b);
}

template <class L, class R>
int CompareInt(const TExpToken& l, const TExpToken& r, const TEvaluationContext&) {
  return Order(L::Int(l.Data()), R::Int(r.Data()));
}

template <class L, class R>
int CompareFloat(const TExpToken& l, const TExpToken& r, const TEvaluationContext&) {
  return FloatOrder(L::Float(l.Data()), R::Float(r.Data()));
}

// Decimal numbers beside integers or decimals: exactly in fixed point, or through doubles for a
// decimal beyond the fixed-point range (which saturating would make equal to its neighbours).
template <class L, class R>
int CompareFixed(const TExpToken& l, const TExpToken& r, const TEvaluationContext&) {
  std::optional<TFixedWide> a = L::FixedExact(l.Data());
  std::optional<TFixedWide> b = R::FixedExact(r.Data());
  if (a && b) return Order(*a, *b);
  return FloatOrder(L::Float(l.Data()), R::Float(r.Data()));
}

template <class L, class R>
int CompareTruth(const TExpToken& l, const TExpToken& r, const TEvaluationContext&) {
  return Order(L::Truth(l.Data()), R::Truth(r.Data()));
}

int CompareDateTimestamp(const TExpToken& l, const TExpToken& r, const TEvaluationContext&) {
  return FloatOrder(LoadDate(l.Data()) * static_cast<double>(kMillisecondsPerDay),
                    LoadTimestamp(r.Data()));
}

int CompareTimestampDate(const TExpToken& l, const TExpToken& r, const TEvaluationContext&) {
  return FloatOrder(LoadTimestamp(l.Data()),
                    LoadDate(r.Data()) * static_cast<double>(kMillisecondsPerDay));
}

int CompareTextValues(const TExpToken& l, const TExpToken& r, const TEvaluationContext& context) {
  return CompareTexts(NodeText(l), NodeText(r), context.Locale, false);
}

int CompareByteValues(const TExpToken& l, const TExpToken& r, const TEvaluationContext&) {
  uint32_t n = std::min(l.DataSize(), r.DataSize());
  int c = std::memcmp(l.Data(), r.Data(), n);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

enum class TLoadKind { lkNone, lkSmallInt, lkInteger, lkWord, lkLargeInt, lkFloat, lkBcd };

TLoadKind NumberKindOf(TDataType type) {
  switch (type) {
    case TDataType::dtSmallInt:
      return TLoadKind::lkSmallInt;
    case TDataType::dtInteger:
      return TLoadKind::lkInteger;
    case TDataType::dtWord:
      return TLoadKind::lkWord;
    case TDataType::dtLargeInt:
      return TLoadKind::lkLargeInt;
    case TDataType::dtFloat:
      return TLoadKind::lkFloat;
    case TDataType::dtBcd:
      return TLoadKind::lkBcd;
    default:
      return TLoadKind::lkNone;
  }
}

bool IsByteType(TDataType type) {
  return type == TDataType::dtBytes || type == TDataType::dtVarBytes;
}

// The comparer of a type pair, handed to `sink.Make<Comparer>()` so that callers get either the
// comparer itself or a node operation with the comparer built in; `sink.None()` when the types
// do not compare.
template <class L, class R, class Sink>
auto NumberPair(TLoadKind lk, TLoadKind rk, const Sink& sink) {
  if (lk == TLoadKind::lkFloat || rk == TLoadKind::lkFloat) {
    return sink.template Make<CompareFloat<L, R>>();
  }
  if (lk == TLoadKind::lkBcd || rk == TLoadKind::lkBcd) {
    return sink.template Make<CompareFixed<L, R>>();
  }
  return sink.template Make<CompareInt<L, R>>();
}

template <class L, class Sink>
auto NumberRight(TLoadKind lk, TLoadKind rk, const Sink& sink) {
  switch (rk) {
    case TLoadKind::lkSmallInt:
      return NumberPair<L, LoadSmallIntValue>(lk, rk, sink);
    case TLoadKind::lkInteger:
      return NumberPair<L, LoadIntegerValue>(lk, rk, sink);
    case TLoadKind::lkWord:
      return NumberPair<L, LoadWordValue>(lk, rk, sink);
    case TLoadKind::lkLargeInt:
      return NumberPair<L, LoadLargeIntValue>(lk, rk, sink);
    case TLoadKind::lkFloat:
      return NumberPair<L, LoadFloatValue>(lk, rk, sink);
    case TLoadKind::lkBcd:
      return NumberPair<L, LoadBcdValue>(lk, rk, sink);
    case TLoadKind::lkNone:
      break;
  }
  return sink.None();
}

template <class Sink>
auto NumberComparer(TLoadKind lk, TLoadKind rk, const Sink& sink) {
  switch (lk) {
    case TLoadKind::lkSmallInt:
      return NumberRight<LoadSmallIntValue>(lk, rk, sink);
    case TLoadKind::lkInteger:
      return NumberRight<LoadIntegerValue>(lk, rk, sink);
    case TLoadKind::lkWord:
      return NumberRight<LoadWordValue>(lk, rk, sink);
    case TLoadKind::lkLargeInt:
      return NumberRight<LoadLargeIntValue>(lk, rk, sink);
    case TLoadKind::lkFloat:
      return NumberRight<LoadFloatValue>(lk, rk, sink);
    case TLoadKind::lkBcd:
      return NumberRight<LoadBcdValue>(lk, rk, sink);
    case TLoadKind::lkNone:
      break;
  }
  return sink.None();
}

// Truth values: a Boolean beside a Boolean or an integer type (L or R being the Boolean).
template <class Sink, bool kBooleanLeft>
auto TruthComparer(TDataType other, const Sink& sink) {
  auto make = [&sink]<class Other>() {
    if constexpr (kBooleanLeft) {
      return sink.template Make<CompareTruth<LoadBooleanValue, Other>>();
    } else {
      return sink.template Make<CompareTruth<Other, LoadBooleanValue>>();
    }
  };
  switch (other) {
    case TDataType::dtBoolean:
      return make.template operator()<LoadBooleanValue>();
    case TDataType::dtSmallInt:
      return make.template operator()<LoadSmallIntValue>();
    case TDataType::dtInteger:
      return make.template operator()<LoadIntegerValue>();
    case TDataType::dtWord:
      return make.template operator()<LoadWordValue>();
    case TDataType::dtLargeInt:
      return make.template operator()<LoadLargeIntValue>();
    default:
      return sink.None();
  }
}

template <class Sink>
auto DispatchComparer(TDataType left, TDataType right, const Sink& sink) {
  if (left == TDataType::dtString || left == TDataType::dtBlob) {
    if (right == TDataType::dtString || right == TDataType::dtBlob) {
      return sink.template Make<CompareTextValues>();
    }
    return sink.None();
  }
  if (IsByteType(left) || IsByteType(right)) return sink.template Make<CompareByteValues>();
  if (left == TDataType::dtBoolean) return TruthComparer<Sink, true>(right, sink);
  if (right == TDataType::dtBoolean) return TruthComparer<Sink, false>(left, sink);
  if (left == TDataType::dtDate) {
    if (right == TDataType::dtDate)
      return sink.template Make<CompareInt<LoadDateValue, LoadDateValue>>();
    if (right == TDataType::dtTimestamp) return sink.template Make<CompareDateTimestamp>();
    return sink.None();
  }
  if (left == TDataType::dtTimestamp) {
    if (right == TDataType::dtTimestamp) {
      return sink.template Make<CompareFloat<LoadFloatValue, LoadFloatValue>>();
    }
    if (right == TDataType::dtDate) return sink.template Make<CompareTimestampDate>();
    return sink.None();
  }
  if (left == TDataType::dtTime) {
    if (right == TDataType::dtTime)
      return sink.template Make<CompareInt<LoadDateValue, LoadDateValue>>();
    return sink.None();
  }
  return NumberComparer(NumberKindOf(left), NumberKindOf(right), sink);
}

struct ComparerSink {
  template <TValueComparer Comparer>
  TValueComparer Make() const {
    return Comparer;
  }
  TValueComparer None() const { return nullptr; }
};

}  // namespace

int CompareTexts(std::string_view left, std::string_view right,
                 const platform::LocaleServices* locale, bool ignore_case) {
  if (locale == nullptr || locale->IsByteOrder()) {
    return CompareBytesOrder(left, right, ignore_case);
  }
  int c = locale->Compare(
      left, right,
      ignore_case ? platform::CaseCompare::ccIgnoreCase : platform::CaseCompare::ccRespectCase);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

TValueComparer ValueComparerOf(TDataType left, TDataType right) {
  return DispatchComparer(left, right, ComparerSink{});
}

bool NullComparison(TOperator op, bool left_null, bool right_null) {
  bool both = left_null && right_null;
  switch (op) {
    case TOperator::opEqual:
    case TOperator::opGreaterOrEqual:
    case TOperator::opLessOrEqual:
      return both;
    case TOperator::opNotEqual:
      return !both;
    default:
      return false;
  }
}

bool OrderSatisfies(TOperator op, int order) {
  switch (op) {
    case TOperator::opEqual:
      return order == 0;
    case TOperator::opNotEqual:
      return order != 0;
    case TOperator::opGreater:
      return order > 0;
    case TOperator::opLess:
      return order < 0;
    case TOperator::opGreaterOrEqual:
      return order >= 0;
    case TOperator::opLessOrEqual:
      return order <= 0;
    default:
      return false;
  }
}

bool CompareValues(TOperator op, const TExpToken& left, const TExpToken& right,
                   TValueComparer comparer, const TEvaluationContext& context) {
  bool text_order = op != TOperator::opEqual && op != TOperator::opNotEqual &&
                    IsTextType(left.DataType, left.SubType);
  if (!text_order && (left.IsNull || right.IsNull)) {
    return NullComparison(op, left.IsNull, right.IsNull);
  }
  if (comparer == nullptr) return false;
  return OrderSatisfies(op, comparer(left, right, context));
}

namespace {

template <TOperator Op>
constexpr bool Satisfies(int order) {
  if constexpr (Op == TOperator::opEqual) return order == 0;
  if constexpr (Op == TOperator::opNotEqual) return order != 0;
  if constexpr (Op == TOperator::opGreater) return order > 0;
  if constexpr (Op == TOperator::opLess) return order < 0;
  if constexpr (Op == TOperator::opGreaterOrEqual) return order >= 0;
  if constexpr (Op == TOperator::opLessOrEqual) return order <= 0;
  return false;
}

template <TOperator Op>
constexpr bool NullAnswer(bool both) {
  if constexpr (Op == TOperator::opEqual || Op == TOperator::opGreaterOrEqual ||
                Op == TOperator::opLessOrEqual) {
    return both;
  } else if constexpr (Op == TOperator::opNotEqual) {
    return !both;
  } else {
    return false;
  }
}

// A comparison with the NULL table. With kRightConstant the right operand is a plain constant
// (IsPlainConstant at selection), whose buffer is read as it stands.
template <TValueComparer Comparer, TOperator Op, bool kRightConstant = false>
void CompareNode(TExpToken& node, TEvaluationContext& context) {
  TExpToken& left = *node.Left;
  TExpToken& right = *node.Right;
  Evaluate(left, context);
  if constexpr (!kRightConstant) Evaluate(right, context);
  if (left.IsNull || right.IsNull) [[unlikely]] {
    SetBooleanResult(node, NullAnswer<Op>(left.IsNull && right.IsNull));
    return;
  }
  SetBooleanResult(node, Satisfies<Op>(Comparer(left, right, context)));
}

// An ordering of texts: NULL texts compare as empty texts.
template <TOperator Op>
void OrderTextsNode(TExpToken& node, TEvaluationContext& context) {
  TExpToken& left = *node.Left;
  TExpToken& right = *node.Right;
  Evaluate(left, context);
  Evaluate(right, context);
  SetBooleanResult(node, Satisfies<Op>(CompareTexts(NodeText(left), NodeText(right), context.Locale,
                                                    node.CaseInsensitive)));
}

// nkCompare: equality of texts over the node's prefix length, with the node's case flag.
template <TOperator Op>
void PrefixCompareNode(TExpToken& node, TEvaluationContext& context) {
  TExpToken& left = *node.Left;
  TExpToken& right = *node.Right;
  Evaluate(left, context);
  Evaluate(right, context);
  if (left.IsNull || right.IsNull) {
    SetBooleanResult(node, NullAnswer<Op>(left.IsNull && right.IsNull));
    return;
  }
  size_t limit = node.PrefixLength != 0 ? node.PrefixLength : SIZE_MAX;
  std::string_view a = NodeText(left, limit);
  std::string_view b = NodeText(right, limit);
  SetBooleanResult(node, Satisfies<Op>(CompareTexts(a, b, context.Locale, node.CaseInsensitive)));
}

// The unequal-types fallback of a comparison the verifier allowed but no comparer covers (an
// untyped NULL beside a value): only the NULL table can answer.
template <TOperator Op>
void NullOnlyNode(TExpToken& node, TEvaluationContext& context) {
  TExpToken& left = *node.Left;
  TExpToken& right = *node.Right;
  Evaluate(left, context);
  Evaluate(right, context);
  bool any_null = left.IsNull || right.IsNull;
  SetBooleanResult(node, any_null ? NullAnswer<Op>(left.IsNull && right.IsNull) : false);
}

template <template <TOperator> class Maker>
TNodeOperation ForOperator(TOperator op) {
  switch (op) {
    case TOperator::opEqual:
      return Maker<TOperator::opEqual>::kOperation;
    case TOperator::opNotEqual:
      return Maker<TOperator::opNotEqual>::kOperation;
    case TOperator::opGreater:
      return Maker<TOperator::opGreater>::kOperation;
    case TOperator::opLess:
      return Maker<TOperator::opLess>::kOperation;
    case TOperator::opGreaterOrEqual:
      return Maker<TOperator::opGreaterOrEqual>::kOperation;
    case TOperator::opLessOrEqual:
      return Maker<TOperator::opLessOrEqual>::kOperation;
    default:
      return nullptr;
  }
}

template <TOperator Op>
struct OrderTextsMaker {
  static constexpr TNodeOperation kOperation = OrderTextsNode<Op>;
};
template <TOperator Op>
struct PrefixCompareMaker {
  static constexpr TNodeOperation kOperation = PrefixCompareNode<Op>;
};
template <TOperator Op>
struct NullOnlyMaker {
  static constexpr TNodeOperation kOperation = NullOnlyNode<Op>;
};

// The node operations of one comparer, by operator.
template <bool kRightConstant>
struct OperationSink {
  TOperator op;
  template <TValueComparer Comparer>
  TNodeOperation Make() const {
    switch (op) {
      case TOperator::opEqual:
        return CompareNode<Comparer, TOperator::opEqual, kRightConstant>;
      case TOperator::opNotEqual:
        return CompareNode<Comparer, TOperator::opNotEqual, kRightConstant>;
      case TOperator::opGreater:
        return CompareNode<Comparer, TOperator::opGreater, kRightConstant>;
      case TOperator::opLess:
        return CompareNode<Comparer, TOperator::opLess, kRightConstant>;
      case TOperator::opGreaterOrEqual:
        return CompareNode<Comparer, TOperator::opGreaterOrEqual, kRightConstant>;
      case TOperator::opLessOrEqual:
        return CompareNode<Comparer, TOperator::opLessOrEqual, kRightConstant>;
      default:
        return nullptr;
    }
  }
  TNodeOperation None() const { return nullptr; }
};

bool IsOrdering(TOperator op) {
  return op == TOperator::opGreater || op == TOperator::opLess ||
         op == TOperator::opGreaterOrEqual || op == TOperator::opLessOrEqual;
}

// BETWEEN with one comparer for both bounds (the bounds of one type, the value not a text). With
// kConstantBounds both bounds are plain constants, read as they stand.
template <TValueComparer Comparer, bool kNot, bool kConstantBounds = false>
void BetweenNode(TExpToken& node, TEvaluationContext& context) {
  TExpToken& value = *node.Children[0];
  TExpToken& low = *node.Children[1];
  TExpToken& high = *node.Children[2];
  Evaluate(value, context);
  if constexpr (!kConstantBounds) Evaluate(low, context);
  bool inside;
  if (value.IsNull || low.IsNull) [[unlikely]] {
    inside = NullAnswer<TOperator::opGreaterOrEqual>(value.IsNull && low.IsNull);
  } else {
    inside = Comparer(value, low, context) >= 0;
  }
  if (inside) {
    if constexpr (!kConstantBounds) Evaluate(high, context);
    if (value.IsNull || high.IsNull) [[unlikely]] {
      inside = NullAnswer<TOperator::opLessOrEqual>(value.IsNull && high.IsNull);
    } else {
      inside = Comparer(value, high, context) <= 0;
    }
  }
  SetBooleanResult(node, inside != kNot);
}

// Any other BETWEEN: the comparers looked up per evaluation.
template <bool kNot>
void BetweenGeneralNode(TExpToken& node, TEvaluationContext& context) {
  TExpToken& value = *node.Children[0];
  TExpToken& low = *node.Children[1];
  TExpToken& high = *node.Children[2];
  Evaluate(value, context);
  Evaluate(low, context);
  bool inside = CompareValues(TOperator::opGreaterOrEqual, value, low,
                              ValueComparerOf(value.DataType, low.DataType), context);
  if (inside) {
    Evaluate(high, context);
    inside = CompareValues(TOperator::opLessOrEqual, value, high,
                           ValueComparerOf(value.DataType, high.DataType), context);
  }
  SetBooleanResult(node, inside != kNot);
}

template <bool kNot, bool kConstantBounds>
struct BetweenSink {
  template <TValueComparer Comparer>
  TNodeOperation Make() const {
    return BetweenNode<Comparer, kNot, kConstantBounds>;
  }
  TNodeOperation None() const { return BetweenGeneralNode<kNot>; }
};

}  // namespace

TNodeOperation SelectComparisonOperation(const TExpToken& node) {
  if (!node.Left || !node.Right) return nullptr;
  const TExpToken& left = *node.Left;
  const TExpToken& right = *node.Right;
  if (node.Kind == TNodeKind::nkCompare) {
    if (node.Operator != TOperator::opEqual && node.Operator != TOperator::opNotEqual) {
      return nullptr;
    }
    return ForOperator<PrefixCompareMaker>(node.Operator);
  }
  if (IsOrdering(node.Operator) && IsTextType(left.DataType, left.SubType)) {
    return ForOperator<OrderTextsMaker>(node.Operator);
  }
  TDataType left_type = left.DataType;
  TDataType right_type = right.DataType;
  // An untyped operand (a NULL constant) takes the other's type; its value is NULL anyway.
  if (left_type == TDataType::dtUnknown) left_type = right_type;
  if (right_type == TDataType::dtUnknown) right_type = left_type;
  if (left_type == TDataType::dtUnknown) return ForOperator<NullOnlyMaker>(node.Operator);
  if (IsPlainConstant(right)) {
    return DispatchComparer(left_type, right_type, OperationSink<true>{node.Operator});
  }
  return DispatchComparer(left_type, right_type, OperationSink<false>{node.Operator});
}

}  // namespace veltra

namespace veltra {

TNodeOperation SelectBetweenOperation(const TExpToken& node) {
  if (node.Children.size() < 3 || !node.Children[0] || !node.Children[1] || !node.Children[2]) {
    return nullptr;
  }
  bool negated = node.Operator == TOperator::opNotBetween;
  const TExpToken& value = *node.Children[0];
  TDataType low = node.Children[1]->DataType;
  TDataType high = node.Children[2]->DataType;
  bool one_comparer = low == high && value.DataType != TDataType::dtUnknown &&
                      low != TDataType::dtUnknown && !IsTextType(value.DataType, value.SubType);
  if (!one_comparer) return negated ? BetweenGeneralNode<true> : BetweenGeneralNode<false>;
  bool constant_bounds = IsPlainConstant(*node.Children[1]) && IsPlainConstant(*node.Children[2]);
  if (constant_bounds) {
    if (negated) return DispatchComparer(value.DataType, low, BetweenSink<true, true>{});
    return DispatchComparer(value.DataType, low, BetweenSink<false, true>{});
  }
  if (negated) return DispatchComparer(value.DataType, low, BetweenSink<true, false>{});
  return DispatchComparer(value.DataType, low, BetweenSink<false, false>{});
}

}  // namespace veltra
