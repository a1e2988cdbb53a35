#include "expressions/function_support.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/bcd.h"
#include "core/engine_error.h"
#include "core/error_codes.h"
#include "core/value_conversion.h"
#include "expressions/builtin_functions.h"

namespace veltra::functions {

int64_t IntegerArgument(const TExpToken& node) {
  const uint8_t* data = node.Data();
  switch (node.DataType) {
    case TDataType::dtSmallInt:
      return LoadSmallInt(data);
    case TDataType::dtInteger:
      return LoadInteger(data);
    case TDataType::dtWord:
      return LoadWord(data);
    case TDataType::dtLargeInt:
      return LoadLargeInt(data);
    case TDataType::dtBoolean:
      return LoadBoolean(data) ? 1 : 0;
    default:
      return 0;
  }
}

std::optional<double> FloatArgument(const TExpToken& node) {
  switch (node.DataType) {
    case TDataType::dtFloat:
      return LoadFloat(node.Data());
    case TDataType::dtBcd:
      return BcdToDouble(LoadBcd(node.Data()));
    default:
      return static_cast<double>(IntegerArgument(node));
  }
}

char* TextResultBuffer(TExpToken& node, size_t length) {
  // Callers check lengths against kMaxFunctionTextLength, so the size fits 32 bits.
  if (length + 1 > node.DataSize()) node.SetDataSize(static_cast<uint32_t>(length + 1));
  return reinterpret_cast<char*>(node.Data());
}

void FinishTextResult(TExpToken& node, size_t length) {
  node.IsNull = false;
  std::memset(node.Data() + length, 0, node.DataSize() - length);
}

void SetTextResult(TExpToken& node, std::string_view text, bool empty_is_null) {
  if (text.empty() && empty_is_null) {
    SetNull(node);
    return;
  }
  char* out = TextResultBuffer(node, text.size());
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  FinishTextResult(node, text.size());
}

void RaiseTextTooLong(const TExpToken& node) {
  std::string message = "The result of " + node.Text + " would be longer than " +
                        std::to_string(kMaxFunctionTextLength) + " characters";
  RaiseEngineError(kErrSqlExecution,
                   {.message = message, .line = node.Line, .column = node.Column});
}

void SetFloatResult(TExpToken& node, double value) {
  if (!std::isfinite(value)) {
    SetNull(node);
    return;
  }
  node.IsNull = false;
  StoreFloat(node.Data(), value);
}

namespace {

TValueDesc DescOf(const TExpToken& node) {
  return {.type = node.DataType,
          .sub_type = node.SubType,
          .size = node.DataSize(),
          .scale = node.Scale};
}

}  // namespace

void AssignConverted(TExpToken& node, const TExpToken& source) {
  if (source.IsNull || source.DataType == TDataType::dtUnknown) {
    SetNull(node);
    return;
  }
  if (IsTextType(node.DataType) && IsTextType(source.DataType)) {
    std::string_view text = TextOf(source);
    if (node.DataType == TDataType::dtString && text.size() + 1 > node.DataSize()) {
      text = text.substr(0, node.DataSize() == 0 ? 0 : node.DataSize() - 1);
    }
    SetTextResult(node, text, false);
    return;
  }
  if (source.DataType == node.DataType && source.SubType == node.SubType &&
      source.Scale == node.Scale && source.DataSize() == node.DataSize()) {
    std::memcpy(node.Data(), source.Data(), node.DataSize());
    node.IsNull = false;
    return;
  }
  node.IsNull = !ConvertValue(DescOf(source), source.Data(), DescOf(node), node.Data());
}

namespace {

bool IsIntegral(TDataType type) {
  return type == TDataType::dtSmallInt || type == TDataType::dtInteger ||
         type == TDataType::dtWord || type == TDataType::dtLargeInt;
}

// Dates, times and timestamps as milliseconds, dates at their midnight.
std::optional<double> MillisecondsOf(const TExpToken& node) {
  switch (node.DataType) {
    case TDataType::dtDate:
      return static_cast<double>(LoadDate(node.Data())) * kMillisecondsPerDay;
    case TDataType::dtTime:
      return LoadTime(node.Data());
    case TDataType::dtTimestamp:
      return LoadTimestamp(node.Data());
    default:
      return std::nullopt;
  }
}

bool NumbersEqual(const TExpToken& left, const TExpToken& right) {
  if (IsIntegral(left.DataType) && IsIntegral(right.DataType)) {
    return IntegerArgument(left) == IntegerArgument(right);
  }
  if (left.DataType == TDataType::dtFloat || right.DataType == TDataType::dtFloat) {
    std::optional<double> a = FloatArgument(left);
    std::optional<double> b = FloatArgument(right);
    return a && b && *a == *b;
  }
  // A decimal beside a decimal or an integer: fixed point, the integer scaled alike.
  auto fixed = [](const TExpToken& node) -> std::optional<int64_t> {
    if (node.DataType == TDataType::dtBcd) return BcdToFixed(LoadBcd(node.Data()));
    int64_t value = IntegerArgument(node);
    int64_t scaled = 0;
    if (__builtin_mul_overflow(value, kBcdFixedFactor, &scaled)) return std::nullopt;
    return scaled;
  };
  std::optional<int64_t> a = fixed(left);
  std::optional<int64_t> b = fixed(right);
  return a && b && *a == *b;
}

}  // namespace

bool ValuesEqual(const TExpToken& left, const TExpToken& right, TEvaluationContext& context) {
  if (left.IsNull || right.IsNull) return left.IsNull && right.IsNull;
  TDataType a = left.DataType;
  TDataType b = right.DataType;
  if (IsTextType(a) && IsTextType(b)) {
    std::string_view x = TextOf(left);
    std::string_view y = TextOf(right);
    if (context.Locale == nullptr) return x == y;
    return context.Locale->Compare(x, y, platform::CaseCompare::ccRespectCase) == 0;
  }
  if (a == TDataType::dtBoolean || b == TDataType::dtBoolean) {
    if ((a != TDataType::dtBoolean && !IsIntegral(a)) ||
        (b != TDataType::dtBoolean && !IsIntegral(b))) {
      return false;
    }
    return (IntegerArgument(left) != 0) == (IntegerArgument(right) != 0);
  }
  if (IsNumericType(a) && IsNumericType(b)) return NumbersEqual(left, right);
  if (a == TDataType::dtBytes || a == TDataType::dtVarBytes) {
    if (b != TDataType::dtBytes && b != TDataType::dtVarBytes) return false;
    size_t size = std::min(left.DataSize(), right.DataSize());
    return std::memcmp(left.Data(), right.Data(), size) == 0;
  }
  std::optional<double> x = MillisecondsOf(left);
  std::optional<double> y = MillisecondsOf(right);
  if (x && y && (a == b || (a != TDataType::dtTime && b != TDataType::dtTime))) return *x == *y;
  return false;
}

}  // namespace veltra::functions
