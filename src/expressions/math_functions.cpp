// The math functions: ABS, ROUND, TRUNC, CEILING, FLOOR and SIGN, chosen per argument type; MOD;
// the floating-point functions, PI and RAND. A result that does not fit its type, and a math error
// of a floating-point function, is NULL.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>

#include "core/bcd.h"
#include "expressions/function_support.h"

namespace veltra::functions {

namespace {

using TOp = TOperator;
using TType = TDataType;

// 2^63 as a double: every double below it in magnitude truncates to an int64.
constexpr double kLargeIntLimit = 9'223'372'036'854'775'808.0;

std::optional<int64_t> FloatToLargeInt(double value) {
  if (!(std::fabs(value) < kLargeIntLimit)) return std::nullopt;  // NaN too
  return static_cast<int64_t>(value);
}

template <TType T>
constexpr bool kIsIntegral =
    T == TType::dtSmallInt || T == TType::dtInteger || T == TType::dtWord || T == TType::dtLargeInt;

template <TType T>
int64_t LoadIntegral(const uint8_t* data) {
  if constexpr (T == TType::dtSmallInt) return LoadSmallInt(data);
  if constexpr (T == TType::dtInteger) return LoadInteger(data);
  if constexpr (T == TType::dtWord) return LoadWord(data);
  return LoadLargeInt(data);
}

// Stores `value` as T; false when it does not fit.
template <TType T>
bool StoreIntegral(uint8_t* data, int64_t value) {
  if constexpr (T == TType::dtSmallInt) {
    if (value < INT16_MIN || value > INT16_MAX) return false;
    StoreSmallInt(data, static_cast<int16_t>(value));
  } else if constexpr (T == TType::dtInteger) {
    if (value < INT32_MIN || value > INT32_MAX) return false;
    StoreInteger(data, static_cast<int32_t>(value));
  } else if constexpr (T == TType::dtWord) {
    if (value < 0 || value > UINT16_MAX) return false;
    StoreWord(data, static_cast<uint16_t>(value));
  } else {
    StoreLargeInt(data, value);
  }
  return true;
}

// Picks Op<T> for the number type of `type`; null for any other type.
template <template <TType> class Op>
TNodeOperation ForNumberType(TType type) {
  switch (type) {
    case TType::dtSmallInt:
      return Op<TType::dtSmallInt>::Evaluate;
    case TType::dtInteger:
      return Op<TType::dtInteger>::Evaluate;
    case TType::dtWord:
      return Op<TType::dtWord>::Evaluate;
    case TType::dtLargeInt:
      return Op<TType::dtLargeInt>::Evaluate;
    case TType::dtFloat:
      return Op<TType::dtFloat>::Evaluate;
    case TType::dtBcd:
      return Op<TType::dtBcd>::Evaluate;
    default:
      return nullptr;
  }
}

void EvaluateNullResult(TExpToken& node, TEvaluationContext&) { SetNull(node); }

TType ArgType(const TExpToken& node, size_t index) {
  const TExpToken* arg = node.Child(index);
  return arg == nullptr ? TType::dtUnknown : arg->DataType;
}

// ---- ABS -------------------------------------------------------------------------------------

// In the argument's type; the smallest value of a signed integer type has no absolute value
// there and gives NULL.
template <TType T>
struct TAbs {
  static void Evaluate(TExpToken& node, TEvaluationContext& context) {
    TExpToken& arg = EvaluateArg(node, 0, context);
    if (arg.IsNull) return SetNull(node);
    if constexpr (kIsIntegral<T>) {
      int64_t value = LoadIntegral<T>(arg.Data());
      if (value == std::numeric_limits<int64_t>::min()) return SetNull(node);
      if (!StoreIntegral<T>(node.Data(), value < 0 ? -value : value)) return SetNull(node);
      node.IsNull = false;
    } else if constexpr (T == TType::dtFloat) {
      SetFloatResult(node, std::fabs(LoadFloat(arg.Data())));
    } else {
      TBcd value = LoadBcd(arg.Data());
      if (!IsValidBcd(value)) return SetNull(node);
      value.sign_scale &= static_cast<uint8_t>(~TBcd::kSignBit);
      StoreBcd(node.Data(), value);
      node.IsNull = false;
    }
  }
};

// ---- ROUND and TRUNC -------------------------------------------------------------------------

inline constexpr int64_t kMaxFloatPlaces = 20;

// x * 10^places rounded half away from zero (or truncated) and scaled back. The scaled value is
// first read at 15 significant digits, so that 2.675 (held as 2.67499999...) rounds to 2.68 as
// written.
double RoundFloat(double value, int64_t places, bool round) {
  double factor = std::pow(10.0, static_cast<double>(places));
  double scaled = value * factor;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 4'503'599'627'370'496.0) return value;
  char text[40];
  auto written = std::to_chars(text, text + sizeof text, scaled, std::chars_format::general, 15);
  std::from_chars(text, written.ptr, scaled, std::chars_format::general);
  double whole = round ? std::round(scaled) : std::trunc(scaled);
  double result = whole / factor;
  return result == 0 ? 0.0 : result;  // no negative zero
}

// The fixed-point value (x 10,000) rounded or truncated to `places` (0 to 4) decimals; nullopt
// when rounding up leaves the 64-bit range.
std::optional<int64_t> RoundFixed(int64_t fixed, int64_t places, bool round) {
  int64_t divisor = 1;
  for (int64_t i = places; i < kBcdFixedScale; ++i) divisor *= 10;
  int64_t whole = fixed / divisor;
  int64_t rest = fixed % divisor;
  if (round && rest != 0 && (rest < 0 ? -rest : rest) * 2 >= divisor) whole += rest < 0 ? -1 : 1;
  int64_t result = 0;
  if (__builtin_mul_overflow(whole, divisor, &result)) return std::nullopt;
  return result;
}

template <bool kRound>
struct TRounding {
  template <TType T>
  struct Op {
    static void Evaluate(TExpToken& node, TEvaluationContext& context) {
      TExpToken& arg = EvaluateArg(node, 0, context);
      int64_t places = 0;
      if (node.ChildCount() > 1) {
        TExpToken& places_arg = EvaluateArg(node, 1, context);
        if (places_arg.IsNull) return SetNull(node);
        places = IntegerArgument(places_arg);
      }
      if (arg.IsNull) return SetNull(node);
      if constexpr (kIsIntegral<T>) {
        node.CopyValue(arg);  // integers are unchanged
        node.IsNull = false;
      } else if constexpr (T == TType::dtFloat) {
        places = std::clamp<int64_t>(places, 0, kMaxFloatPlaces);
        SetFloatResult(node, RoundFloat(LoadFloat(arg.Data()), places, kRound));
      } else {
        places = std::clamp<int64_t>(places, 0, kBcdFixedScale);
        std::optional<int64_t> fixed = BcdToFixed(LoadBcd(arg.Data()));
        if (fixed) fixed = RoundFixed(*fixed, places, kRound);
        std::optional<TBcd> result = fixed ? BcdFromFixed(*fixed, node.Scale) : std::nullopt;
        if (!result) return SetNull(node);
        StoreBcd(node.Data(), *result);
        node.IsNull = false;
      }
    }
  };
};

// ---- CEILING, FLOOR, SIGN --------------------------------------------------------------------

template <bool kCeiling>
struct TCeilingFloor {
  template <TType T>
  struct Op {
    static void Evaluate(TExpToken& node, TEvaluationContext& context) {
      TExpToken& arg = EvaluateArg(node, 0, context);
      if (arg.IsNull) return SetNull(node);
      std::optional<int64_t> result;
      if constexpr (kIsIntegral<T>) {
        result = LoadIntegral<T>(arg.Data());
      } else if constexpr (T == TType::dtFloat) {
        double value = LoadFloat(arg.Data());
        result = FloatToLargeInt(kCeiling ? std::ceil(value) : std::floor(value));
      } else {
        std::optional<int64_t> fixed = BcdToFixed(LoadBcd(arg.Data()));
        if (fixed) {
          int64_t whole = *fixed / kBcdFixedFactor;
          int64_t rest = *fixed % kBcdFixedFactor;
          if (kCeiling && rest > 0) ++whole;
          if (!kCeiling && rest < 0) --whole;
          result = whole;
        }
      }
      if (!result) return SetNull(node);
      SetLargeIntResult(node, *result);
    }
  };
};

template <TType T>
struct TSign {
  static void Evaluate(TExpToken& node, TEvaluationContext& context) {
    TExpToken& arg = EvaluateArg(node, 0, context);
    if (arg.IsNull) return SetNull(node);
    int32_t sign = 0;
    if constexpr (kIsIntegral<T>) {
      int64_t value = LoadIntegral<T>(arg.Data());
      sign = (value > 0) - (value < 0);
    } else if constexpr (T == TType::dtFloat) {
      double value = LoadFloat(arg.Data());
      if (std::isnan(value)) return SetNull(node);
      sign = (value > 0) - (value < 0);
    } else {
      TBcd value = LoadBcd(arg.Data());
      if (!IsValidBcd(value)) return SetNull(node);
      sign = IsBcdZero(value) ? 0 : (value.IsNegative() ? -1 : 1);
    }
    SetIntegerResult(node, sign);
  }
};

// ---- MOD -------------------------------------------------------------------------------------

// The remainder with the dividend's sign, in the node's type (integer or large integer). By 0 it
// is NULL; by -1 it is 0, computed without the division that traps for the smallest dividend.
template <TType R>
void EvaluateMod(TExpToken& node, TEvaluationContext& context) {
  TExpToken& left = EvaluateArg(node, 0, context);
  TExpToken& right = EvaluateArg(node, 1, context);
  if (left.IsNull || right.IsNull) return SetNull(node);
  int64_t divisor = IntegerArgument(right);
  if (divisor == 0) return SetNull(node);
  int64_t remainder = divisor == -1 ? 0 : IntegerArgument(left) % divisor;
  if (!StoreIntegral<R>(node.Data(), remainder)) return SetNull(node);
  node.IsNull = false;
}

// ---- Floating-point functions ----------------------------------------------------------------

double Cotangent(double x) { return 1.0 / std::tan(x); }
double Degrees(double x) { return x * 57.295779513082320877; }
double Radians(double x) { return x * 0.017453292519943295769; }
double Acos(double x) { return std::acos(x); }
double Asin(double x) { return std::asin(x); }
double Atan(double x) { return std::atan(x); }
double Cos(double x) { return std::cos(x); }
double Exp(double x) { return std::exp(x); }
double Log(double x) { return std::log(x); }
double Log10(double x) { return std::log10(x); }
double Sin(double x) { return std::sin(x); }
double Sqrt(double x) { return std::sqrt(x); }
double Tan(double x) { return std::tan(x); }
double Atan2(double y, double x) { return std::atan2(y, x); }
double Power(double x, double y) { return std::pow(x, y); }

template <double (*F)(double)>
void EvaluateUnaryFloat(TExpToken& node, TEvaluationContext& context) {
  TExpToken& arg = EvaluateArg(node, 0, context);
  std::optional<double> value = arg.IsNull ? std::nullopt : FloatArgument(arg);
  if (!value) return SetNull(node);
  SetFloatResult(node, F(*value));
}

template <double (*F)(double, double)>
void EvaluateBinaryFloat(TExpToken& node, TEvaluationContext& context) {
  TExpToken& first = EvaluateArg(node, 0, context);
  TExpToken& second = EvaluateArg(node, 1, context);
  std::optional<double> a = first.IsNull ? std::nullopt : FloatArgument(first);
  std::optional<double> b = second.IsNull ? std::nullopt : FloatArgument(second);
  if (!a || !b) return SetNull(node);
  SetFloatResult(node, F(*a, *b));
}

void EvaluatePi(TExpToken& node, TEvaluationContext&) { SetFloatResult(node, 3.141592653589793); }

// RAND: a float in [0, 1); RAND(n): a whole number in [0, n) as a float.
void EvaluateRand(TExpToken& node, TEvaluationContext& context) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  double unit = std::uniform_real_distribution<double>(0.0, 1.0)(generator);
  if (node.ChildCount() > 0) {
    TExpToken& range = EvaluateArg(node, 0, context);
    if (!range.IsNull) {
      std::optional<double> limit = FloatArgument(range);
      if (limit) unit = std::floor(unit * *limit);
    }
  }
  SetFloatResult(node, unit);
}

}  // namespace

TNodeOperation SelectMathFunction(const TExpToken& node) {
  TType arg = ArgType(node, 0);
  TNodeOperation per_type = nullptr;
  switch (node.Operator) {
    case TOp::opAbs:
      per_type = ForNumberType<TAbs>(arg);
      break;
    case TOp::opRound:
      per_type = ForNumberType<TRounding<true>::Op>(arg);
      break;
    case TOp::opTrunc:
      per_type = ForNumberType<TRounding<false>::Op>(arg);
      break;
    case TOp::opCeiling:
      per_type = ForNumberType<TCeilingFloor<true>::Op>(arg);
      break;
    case TOp::opFloor:
      per_type = ForNumberType<TCeilingFloor<false>::Op>(arg);
      break;
    case TOp::opSign:
      per_type = ForNumberType<TSign>(arg);
      break;
    case TOp::opMod:
      return node.DataType == TType::dtLargeInt ? EvaluateMod<TType::dtLargeInt>
                                                : EvaluateMod<TType::dtInteger>;
    case TOp::opACos:
      return EvaluateUnaryFloat<Acos>;
    case TOp::opASin:
      return EvaluateUnaryFloat<Asin>;
    case TOp::opATan:
      return EvaluateUnaryFloat<Atan>;
    case TOp::opCos:
      return EvaluateUnaryFloat<Cos>;
    case TOp::opCot:
      return EvaluateUnaryFloat<Cotangent>;
    case TOp::opDegrees:
      return EvaluateUnaryFloat<Degrees>;
    case TOp::opExp:
      return EvaluateUnaryFloat<Exp>;
    case TOp::opLog:
      return EvaluateUnaryFloat<Log>;
    case TOp::opLog10:
      return EvaluateUnaryFloat<Log10>;
    case TOp::opRadians:
      return EvaluateUnaryFloat<Radians>;
    case TOp::opSin:
      return EvaluateUnaryFloat<Sin>;
    case TOp::opSqrt:
      return EvaluateUnaryFloat<Sqrt>;
    case TOp::opTan:
      return EvaluateUnaryFloat<Tan>;
    case TOp::opATan2:
      return EvaluateBinaryFloat<Atan2>;
    case TOp::opPower:
      return EvaluateBinaryFloat<Power>;
    case TOp::opPi:
      return EvaluatePi;
    case TOp::opRand:
      return EvaluateRand;
    default:
      return nullptr;
  }
  // An untyped NULL argument has no number type: the result is NULL.
  return per_type != nullptr ? per_type : EvaluateNullResult;
}

}  // namespace veltra::functions
