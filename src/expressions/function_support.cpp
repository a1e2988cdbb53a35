#include "expressions/function_support.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/bcd.h"
#include "core/engine_error.h"
#include "core/error_codes.h"
#include "core/value_conversion.h"
#include "expressions/builtin_functions.h"
#include "expressions/comparison.h"

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

void AssignConverted(TExpToken& node, const TExpToken& source, TTextFit fit) {
  if (source.IsNull || source.DataType == TDataType::dtUnknown) {
    SetNull(node);
    return;
  }
  if (IsTextType(node.DataType) && IsTextType(source.DataType)) {
    std::string_view text = TextOf(source);
    if (fit == TTextFit::tfCut && node.DataType == TDataType::dtString &&
        text.size() + 1 > node.DataSize()) {
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

bool ValuesEqual(const TExpToken& left, const TExpToken& right, TEvaluationContext& context) {
  return CompareValues(TOperator::opEqual, left, right,
                       ValueComparerOf(left.DataType, right.DataType), context);
}

}  // namespace veltra::functions
