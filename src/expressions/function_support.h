// What the built-in function families share: reaching and evaluating arguments, reading their
// values, and writing results into the function node's buffer (growing it for long texts,
// zero-filling it for NULL). Each family (string, date and time, math, conditional) answers the
// operation of the operators it owns; builtin_functions.cpp asks them in turn.
//
// Internal to the function families; the rest of the engine uses builtin_functions.h.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "core/data_types.h"
#include "expressions/evaluator.h"
#include "expressions/exp_token.h"

namespace veltra::functions {

// The operation of `node` if its operator belongs to the family, else null.
TNodeOperation SelectStringFunction(const TExpToken& node);
TNodeOperation SelectDateTimeFunction(const TExpToken& node);
TNodeOperation SelectMathFunction(const TExpToken& node);
TNodeOperation SelectConditionalFunction(const TExpToken& node);

// Argument `index` of a function node. REQUIRES: the verified node has it.
inline TExpToken& Arg(TExpToken& node, size_t index) { return *node.Children[index]; }

// Evaluates argument `index` and answers it.
inline TExpToken& EvaluateArg(TExpToken& node, size_t index, TEvaluationContext& context) {
  TExpToken& arg = *node.Children[index];
  Evaluate(arg, context);
  return arg;
}

// The text a string or memo node holds: its characters up to the terminating zero, within the
// node's size. A NULL node reads as the empty text.
inline std::string_view TextOf(const TExpToken& node) {
  const char* chars = reinterpret_cast<const char*>(node.Data());
  size_t limit = node.DataSize() == 0 ? 1 : node.DataSize();
  return {chars, strnlen(chars, limit)};
}

// True for the types a text argument may have (strings and memos).
constexpr bool IsTextType(TDataType type) {
  return type == TDataType::dtString || type == TDataType::dtBlob;
}

// The value of an integer-typed argument (small integer, integer, word, large integer, Boolean;
// auto-increment included). REQUIRES: the node is not NULL and has one of those types; any other
// type reads as 0.
int64_t IntegerArgument(const TExpToken& node);

// The value of a number argument as a double (integers, float, BCD); nullopt for an invalid
// decimal. REQUIRES: not NULL.
std::optional<double> FloatArgument(const TExpToken& node);

// Room for a text result of `length` characters in the node's buffer: the size grows when the
// text and its zero do not fit, and never shrinks. Answers where to write the characters.
char* TextResultBuffer(TExpToken& node, size_t length);

// Finishes a text result of `length` characters written at TextResultBuffer: the zero and a
// zero-filled rest of the buffer, IsNull cleared.
void FinishTextResult(TExpToken& node, size_t length);

// The text as the node's value (copied; it may not lie in the node's own buffer). An empty text
// gives NULL when `empty_is_null` is set.
void SetTextResult(TExpToken& node, std::string_view text, bool empty_is_null);

// Raises the execution error for a built text longer than kMaxFunctionTextLength.
[[noreturn]] void RaiseTextTooLong(const TExpToken& node);

inline void SetIntegerResult(TExpToken& node, int32_t value) {
  node.IsNull = false;
  StoreInteger(node.Data(), value);
}

inline void SetLargeIntResult(TExpToken& node, int64_t value) {
  node.IsNull = false;
  StoreLargeInt(node.Data(), value);
}

// A float result; NaN and the infinities (math errors) give NULL.
void SetFloatResult(TExpToken& node, double value);

// How a text longer than the node's size is taken: cut to the size (CAST to a string of a given
// length), or whole, the node's buffer growing (the chosen value of IF, COALESCE, CASE and their
// kin, whose verified size is that of the longest verified argument).
enum class TTextFit : uint8_t { tfCut, tfGrow };

// Converts `source`'s value to the node's type, subtype, size and scale into the node's buffer:
// NULL stays NULL, a value that does not convert gives NULL. A text beside a text is copied as
// `fit` says; a memo node always takes the whole text.
void AssignConverted(TExpToken& node, const TExpToken& source, TTextFit fit = TTextFit::tfGrow);

// Whether two evaluated values are equal by the rules of '=' (comparison.h): two NULLs are
// equal, a NULL and a value are not, values of types that do not compare are unequal.
bool ValuesEqual(const TExpToken& left, const TExpToken& right, TEvaluationContext& context);

}  // namespace veltra::functions
