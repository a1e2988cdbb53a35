// The comparison rules of expressions: how two values of (possibly different) types compare, the
// engine's two-valued NULL table, and the operations of the comparison nodes.
//
// NULL rules (not SQL's three-valued ones): two NULLs are equal, a NULL and a value are unequal,
// and no ordering holds between a NULL and anything; `>=` and `<=` hold between two NULLs. When
// the left operand of an ordering operator is a string or memo, the texts are compared even when
// either is NULL, a NULL text reading as the empty text.
//
// Values compare as: texts through the locale's collation (or as unsigned bytes up to and
// including the terminating zero without one); numbers of any two types by value, a decimal
// number as its fixed-point value with four places and the other operand scaled alike, a float
// making the comparison a floating-point one; Booleans with Booleans or integers as truth values;
// dates by day number, a date beside a timestamp as its midnight in milliseconds; times and
// timestamps numerically; bytes and varbytes byte by byte over the shorter size. A NaN sorts
// below every other float and equals itself, so every comparison is a total order.
//
// The comparer of a pair of types is picked once (ValueComparerOf); node operations are picked by
// SelectComparisonOperation, with the comparer built into the operation.
#pragma once

#include <cstdint>
#include <string_view>

#include "expressions/evaluator.h"

namespace veltra {

// <0, 0 or >0 as the value of `left` sorts before, equal to or after the value of `right`.
// REQUIRES: neither is NULL, or both are texts (a NULL text is empty).
using TValueComparer = int (*)(const TExpToken& left, const TExpToken& right,
                               const TEvaluationContext& context);

// The comparer of values of the two types; null when the verifier accepts no comparison of them.
TValueComparer ValueComparerOf(TDataType left, TDataType right);

// True for the types whose values are texts in a node buffer (strings; memo BLOBs, whose
// buffers hold their text).
inline bool IsTextType(TDataType type, TDataSubType sub_type) {
  return type == TDataType::dtString ||
         (type == TDataType::dtBlob && sub_type == TDataSubType::dsMemo);
}

// The text of a node's buffer: up to the first zero byte, the buffer's meaningful end or
// `max_length` characters. Inline
// and scanning by hand: the texts are short and this runs for every text operand of every record.
inline std::string_view NodeText(const TExpToken& node, size_t max_length = SIZE_MAX) {
  const char* text = reinterpret_cast<const char*>(node.Data());
  size_t limit = node.DataSize() < max_length ? node.DataSize() : max_length;
  size_t length = 0;
  while (length < limit && text[length] != 0) ++length;
  return std::string_view(text, length);
}

// Compares two texts as the locale orders them (null: unsigned bytes, a text before every longer
// text it begins); `ignore_case` compares as if both were upper-cased first.
int CompareTexts(std::string_view left, std::string_view right,
                 const platform::LocaleServices* locale, bool ignore_case);

// The NULL table: the answer of `op` (opEqual ... opLessOrEqual) when `left_null` or `right_null`
// holds (at least one of them).
bool NullComparison(TOperator op, bool left_null, bool right_null);

// The answer of `op` for a comparison result `order` (<0, 0, >0).
bool OrderSatisfies(TOperator op, int order);

// The operation of a comparison node: nkBinary with opEqual ... opLessOrEqual, or nkCompare (a
// prefix and case compare of texts, equality or inequality). Null for operand types that do not
// compare.
TNodeOperation SelectComparisonOperation(const TExpToken& node);

// The operation of an nkExtended opBetween or opNotBetween node (children: value, low, high):
// value >= low and, only when that holds, value <= high; NOT BETWEEN negates.
TNodeOperation SelectBetweenOperation(const TExpToken& node);

// Compares two evaluated values with `op` and the NULL table. `comparer` is
// ValueComparerOf(left type, right type) (null when there is none: the answer is then false).
bool CompareValues(TOperator op, const TExpToken& left, const TExpToken& right,
                   TValueComparer comparer, const TEvaluationContext& context);

}  // namespace veltra
