// Arithmetic node operations. Every operation is a template over the operands' loaders and the
// result's encoding, picked once from the verified types.
#include "expressions/arithmetic.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "core/bcd.h"
#include "expressions/comparison.h"
#include "expressions/value_loaders.h"

namespace veltra {

std::optional<int64_t> FloatToInt64(double value) {
  // 2^63 is exactly representable; every double in [-2^63, 2^63) converts (NaN fails both tests).
  constexpr double kLimit = 9223372036854775808.0;
  if (!(value >= -kLimit && value < kLimit)) return std::nullopt;
  return static_cast<int64_t>(std::trunc(value));
}

std::optional<int32_t> FloatToInt32(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return std::nullopt;
  return static_cast<int32_t>(std::trunc(value));
}

bool StoreFixedValue(TExpToken& node, int64_t fixed) {
  std::optional<TBcd> value = BcdFromFixed(fixed, node.Scale);
  if (!value) {
    SetNull(node);
    return false;
  }
  node.IsNull = false;
  StoreBcd(node.Data(), *value);
  return true;
}

namespace {

constexpr TFixedWide kFixedMax = std::numeric_limits<int64_t>::max();
constexpr TFixedWide kFixedMin = std::numeric_limits<int64_t>::min();

// n / d rounded half away from zero. REQUIRES: d != 0.
TFixedWide RoundedQuotient(TFixedWide n, TFixedWide d) {
  TFixedWide q = n / d;
  TFixedWide r = n % d;
  if (r < 0) r = -r;
  TFixedWide ad = d < 0 ? -d : d;
  if (2 * r >= ad) q += ((n < 0) != (d < 0)) ? -1 : 1;
  return q;
}

// Both operands evaluated; true when the result is NULL (and has been set so).
inline bool OperandsNull(TExpToken& node, TEvaluationContext& context) {
  Evaluate(*node.Left, context);
  Evaluate(*node.Right, context);
  if (node.Left->IsNull || node.Right->IsNull) [[unlikely]] {
    SetNull(node);
    return true;
  }
  return false;
}

// ---- Integers --------------------------------------------------------------------------------

template <class T>
struct IntegerResult {
  static void Store(TExpToken& node, int64_t value) {
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
      SetNull(node);
      return;
    }
    node.IsNull = false;
    if constexpr (sizeof(T) == 8) {
      StoreLargeInt(node.Data(), value);
    } else if constexpr (sizeof(T) == 4) {
      StoreInteger(node.Data(), static_cast<int32_t>(value));
    } else if constexpr (std::is_signed_v<T>) {
      StoreSmallInt(node.Data(), static_cast<int16_t>(value));
    } else {
      StoreWord(node.Data(), static_cast<uint16_t>(value));
    }
  }
};

template <class L, class R, TOperator Op, class Result>
void IntegerArithmetic(TExpToken& node, TEvaluationContext& context) {
  if (OperandsNull(node, context)) return;
  int64_t a = L::Int(node.Left->Data());
  int64_t b = R::Int(node.Right->Data());
  int64_t result = 0;
  bool overflow = false;
  if constexpr (Op == TOperator::opAdd) {
    overflow = __builtin_add_overflow(a, b, &result);
  } else if constexpr (Op == TOperator::opSubtract) {
    overflow = __builtin_sub_overflow(a, b, &result);
  } else if constexpr (Op == TOperator::opMultiply) {
    overflow = __builtin_mul_overflow(a, b, &result);
  } else {  // opMod
    if (b == 0) {
      SetNull(node);
      return;
    }
    result = (b == -1) ? 0 : a % b;
  }
  if (overflow) {
    SetNull(node);
    return;
  }
  Result::Store(node, result);
}

// ---- Floats ------------------------------------------------------------------------------------

template <class L, class R, TOperator Op>
void FloatArithmetic(TExpToken& node, TEvaluationContext& context) {
  if (OperandsNull(node, context)) return;
  double a = L::Float(node.Left->Data());
  double b = R::Float(node.Right->Data());
  double result;
  if constexpr (Op == TOperator::opAdd) {
    result = a + b;
  } else if constexpr (Op == TOperator::opSubtract) {
    result = a - b;
  } else if constexpr (Op == TOperator::opMultiply) {
    result = a * b;
  } else {
    if (b == 0.0) {
      SetNull(node);
      return;
    }
    result = a / b;
  }
  node.IsNull = false;
  StoreFloat(node.Data(), result);
}

// ---- Decimal numbers ---------------------------------------------------------------------------

template <class L, class R, TOperator Op>
void FixedArithmetic(TExpToken& node, TEvaluationContext& context) {
  if (OperandsNull(node, context)) return;
  std::optional<TFixedWide> a = L::FixedExact(node.Left->Data());
  std::optional<TFixedWide> b = R::FixedExact(node.Right->Data());
  if (!a || !b) {
    SetNull(node);
    return;
  }
  TFixedWide result;
  if constexpr (Op == TOperator::opAdd) {
    result = *a + *b;
  } else if constexpr (Op == TOperator::opSubtract) {
    result = *a - *b;
  } else if constexpr (Op == TOperator::opMultiply) {
    // Both below 2^63 in magnitude: the product fits 127 bits.
    result = RoundedQuotient(*a * *b, kBcdFixedFactor);
  } else {
    if (*b == 0) {
      SetNull(node);
      return;
    }
    result = RoundedQuotient(*a * kBcdFixedFactor, *b);
  }
  if (result > kFixedMax || result < kFixedMin) {
    SetNull(node);
    return;
  }
  StoreFixedValue(node, static_cast<int64_t>(result));
}

// ---- Dates, times and timestamps -------------------------------------------------------------

// The low 32 bits of an integer operand, as the day or millisecond offset.
template <class I>
int64_t Offset(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(I::Int(p))));
}

// date or time (T at `kMomentLeft`'s side) plus or minus an integer: a 32-bit result.
template <class I, bool kMomentLeft, TOperator Op>
void MomentPlusInteger(TExpToken& node, TEvaluationContext& context) {
  if (OperandsNull(node, context)) return;
  int64_t moment = kMomentLeft ? LoadInteger(node.Left->Data()) : LoadInteger(node.Right->Data());
  int64_t offset = kMomentLeft ? Offset<I>(node.Right->Data()) : Offset<I>(node.Left->Data());
  int64_t result = Op == TOperator::opAdd ? moment + offset : moment - offset;
  IntegerResult<int32_t>::Store(node, result);
}

template <class I, bool kMomentLeft, TOperator Op>
void TimestampPlusInteger(TExpToken& node, TEvaluationContext& context) {
  if (OperandsNull(node, context)) return;
  double moment =
      kMomentLeft ? LoadTimestamp(node.Left->Data()) : LoadTimestamp(node.Right->Data());
  double offset = static_cast<double>(kMomentLeft ? Offset<I>(node.Right->Data())
                                                  : Offset<I>(node.Left->Data()));
  node.IsNull = false;
  StoreTimestamp(node.Data(), Op == TOperator::opAdd ? moment + offset : moment - offset);
}

// date - date, time - time: an integer.
void MomentDifference(TExpToken& node, TEvaluationContext& context) {
  if (OperandsNull(node, context)) return;
  IntegerResult<int32_t>::Store(
      node, int64_t{LoadInteger(node.Left->Data())} - LoadInteger(node.Right->Data()));
}

// timestamp - date, time or timestamp: float milliseconds.
template <TDataType kRight>
void TimestampDifference(TExpToken& node, TEvaluationContext& context) {
  if (OperandsNull(node, context)) return;
  double right;
  if constexpr (kRight == TDataType::dtDate) {
    right = LoadDate(node.Right->Data()) * static_cast<double>(kMillisecondsPerDay);
  } else if constexpr (kRight == TDataType::dtTime) {
    right = LoadTime(node.Right->Data());
  } else {
    right = LoadTimestamp(node.Right->Data());
  }
  node.IsNull = false;
  StoreFloat(node.Data(), LoadTimestamp(node.Left->Data()) - right);
}

// ---- Texts -------------------------------------------------------------------------------------

void ConcatenateTexts(TExpToken& node, TEvaluationContext& context) {
  Evaluate(*node.Left, context);
  Evaluate(*node.Right, context);
  std::string_view a = NodeText(*node.Left);
  std::string_view b = NodeText(*node.Right);
  size_t needed = a.size() + b.size() + 1;
  if (node.DataSize() < needed) node.SetDataSize(static_cast<uint32_t>(needed));
  uint8_t* out = node.Data();
  std::memcpy(out, a.data(), a.size());
  std::memcpy(out + a.size(), b.data(), b.size());
  out[a.size() + b.size()] = 0;
  node.IsNull = false;
}

// ---- Unary -------------------------------------------------------------------------------------

template <class L, class Result>
void NegateInteger(TExpToken& node, TEvaluationContext& context) {
  TExpToken& operand = *node.Left;
  Evaluate(operand, context);
  if (operand.IsNull) {
    SetNull(node);
    return;
  }
  int64_t value = L::Int(operand.Data());
  if (value == std::numeric_limits<int64_t>::min()) {
    SetNull(node);
    return;
  }
  Result::Store(node, -value);
}

void NegateFloat(TExpToken& node, TEvaluationContext& context) {
  TExpToken& operand = *node.Left;
  Evaluate(operand, context);
  if (operand.IsNull) {
    SetNull(node);
    return;
  }
  node.IsNull = false;
  StoreFloat(node.Data(), -LoadFloat(operand.Data()));
}

void NegateBcd(TExpToken& node, TEvaluationContext& context) {
  TExpToken& operand = *node.Left;
  Evaluate(operand, context);
  if (operand.IsNull) {
    SetNull(node);
    return;
  }
  TBcd value = LoadBcd(operand.Data());
  if (!IsBcdZero(value)) value.sign_scale ^= TBcd::kSignBit;
  node.IsNull = false;
  StoreBcd(node.Data(), value);
}

void UnaryPlus(TExpToken& node, TEvaluationContext& context) {
  TExpToken& operand = *node.Left;
  Evaluate(operand, context);
  if (operand.IsNull) {
    SetNull(node);
    return;
  }
  uint32_t size = std::min(node.DataSize(), operand.DataSize());
  std::memcpy(node.Data(), operand.Data(), size);
  node.IsNull = false;
}

void AlwaysNull(TExpToken& node, TEvaluationContext& context) {
  if (node.Left) Evaluate(*node.Left, context);
  if (node.Right) Evaluate(*node.Right, context);
  SetNull(node);
}

// ---- Selection ---------------------------------------------------------------------------------

// Calls `visit.template operator()<Loader>()` with the loader of `type`; `fallback()` for a type
// outside the set. kWithFloats adds floats and decimal numbers to the integer types.
template <bool kWithFloat, bool kWithBcd, class Visit, class Fallback>
TNodeOperation VisitNumber(TDataType type, Visit visit, Fallback fallback) {
  switch (type) {
    case TDataType::dtSmallInt:
      return visit.template operator()<LoadSmallIntValue>();
    case TDataType::dtInteger:
      return visit.template operator()<LoadIntegerValue>();
    case TDataType::dtWord:
      return visit.template operator()<LoadWordValue>();
    case TDataType::dtLargeInt:
      return visit.template operator()<LoadLargeIntValue>();
    case TDataType::dtFloat:
      if constexpr (kWithFloat) return visit.template operator()<LoadFloatValue>();
      break;
    case TDataType::dtBcd:
      if constexpr (kWithBcd) return visit.template operator()<LoadBcdValue>();
      break;
    default:
      break;
  }
  return fallback();
}

template <TOperator Op>
TNodeOperation SelectNumberOperation(TDataType result, TDataType left, TDataType right) {
  auto none = [] { return TNodeOperation{nullptr}; };
  switch (result) {
    case TDataType::dtInteger:
    case TDataType::dtLargeInt: {
      if constexpr (Op == TOperator::opDivide) {
        return nullptr;
      } else {
        bool wide = result == TDataType::dtLargeInt;
        return VisitNumber<false, false>(
            left,
            [&]<class L>() {
              return VisitNumber<false, false>(
                  right,
                  [&]<class R>() -> TNodeOperation {
                    if (wide) return IntegerArithmetic<L, R, Op, IntegerResult<int64_t>>;
                    return IntegerArithmetic<L, R, Op, IntegerResult<int32_t>>;
                  },
                  none);
            },
            none);
      }
    }
    case TDataType::dtFloat:
      if constexpr (Op == TOperator::opMod) {
        return nullptr;
      } else {
        return VisitNumber<true, true>(
            left,
            [&]<class L>() {
              return VisitNumber<true, true>(
                  right, [&]<class R>() -> TNodeOperation { return FloatArithmetic<L, R, Op>; },
                  none);
            },
            none);
      }
    case TDataType::dtBcd:
      if constexpr (Op == TOperator::opMod) {
        return nullptr;
      } else {
        return VisitNumber<false, true>(
            left,
            [&]<class L>() {
              return VisitNumber<false, true>(
                  right, [&]<class R>() -> TNodeOperation { return FixedArithmetic<L, R, Op>; },
                  none);
            },
            none);
      }
    default:
      return nullptr;
  }
}

bool IsMomentType(TDataType type) {
  return type == TDataType::dtDate || type == TDataType::dtTime || type == TDataType::dtTimestamp;
}

template <TOperator Op>
TNodeOperation SelectMomentOperation(TDataType result, TDataType left, TDataType right) {
  auto none = [] { return TNodeOperation{nullptr}; };
  if constexpr (Op == TOperator::opSubtract) {
    if (left == right && (left == TDataType::dtDate || left == TDataType::dtTime)) {
      return MomentDifference;
    }
    if (left == TDataType::dtTimestamp) {
      if (right == TDataType::dtDate) return TimestampDifference<TDataType::dtDate>;
      if (right == TDataType::dtTime) return TimestampDifference<TDataType::dtTime>;
      if (right == TDataType::dtTimestamp) return TimestampDifference<TDataType::dtTimestamp>;
    }
  }
  if constexpr (Op == TOperator::opAdd || Op == TOperator::opSubtract) {
    bool moment_left = IsMomentType(left);
    TDataType integer = moment_left ? right : left;
    if (!moment_left && Op == TOperator::opSubtract) return nullptr;
    return VisitNumber<false, false>(
        integer,
        [&]<class I>() -> TNodeOperation {
          if (result == TDataType::dtTimestamp) {
            return moment_left ? TimestampPlusInteger<I, true, Op>
                               : TimestampPlusInteger<I, false, Op>;
          }
          return moment_left ? MomentPlusInteger<I, true, Op> : MomentPlusInteger<I, false, Op>;
        },
        none);
  }
  return nullptr;
}

template <TOperator Op>
TNodeOperation SelectBinary(const TExpToken& node) {
  TDataType left = node.Left->DataType;
  TDataType right = node.Right->DataType;
  if (left == TDataType::dtUnknown || right == TDataType::dtUnknown) return AlwaysNull;
  if (IsMomentType(left) || IsMomentType(right)) {
    return SelectMomentOperation<Op>(node.DataType, left, right);
  }
  return SelectNumberOperation<Op>(node.DataType, left, right);
}

TNodeOperation SelectNegate(const TExpToken& node) {
  switch (node.Left->DataType) {
    case TDataType::dtSmallInt:
      return NegateInteger<LoadSmallIntValue, IntegerResult<int16_t>>;
    case TDataType::dtInteger:
      return NegateInteger<LoadIntegerValue, IntegerResult<int32_t>>;
    case TDataType::dtWord:
      return NegateInteger<LoadWordValue, IntegerResult<uint16_t>>;
    case TDataType::dtLargeInt:
      return NegateInteger<LoadLargeIntValue, IntegerResult<int64_t>>;
    case TDataType::dtFloat:
      return NegateFloat;
    case TDataType::dtBcd:
      return NegateBcd;
    case TDataType::dtUnknown:
      return AlwaysNull;
    default:
      return nullptr;
  }
}

}  // namespace

TNodeOperation SelectArithmeticOperation(const TExpToken& node) {
  if (node.Kind == TNodeKind::nkUnary) {
    if (!node.Left) return nullptr;
    if (node.Operator == TOperator::opNegate) return SelectNegate(node);
    if (node.Operator == TOperator::opPlus) {
      return node.Left->DataType == TDataType::dtUnknown ? AlwaysNull : UnaryPlus;
    }
    return nullptr;
  }
  if (!node.Left || !node.Right) return nullptr;
  switch (node.Operator) {
    case TOperator::opAdd:
      if (IsTextType(node.DataType, node.SubType)) return ConcatenateTexts;
      return SelectBinary<TOperator::opAdd>(node);
    case TOperator::opSubtract:
      return SelectBinary<TOperator::opSubtract>(node);
    case TOperator::opMultiply:
      return SelectBinary<TOperator::opMultiply>(node);
    case TOperator::opDivide:
      return SelectBinary<TOperator::opDivide>(node);
    case TOperator::opMod:
      return SelectBinary<TOperator::opMod>(node);
    default:
      return nullptr;
  }
}

}  // namespace veltra
