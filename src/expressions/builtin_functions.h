// The built-in functions of expressions: for every nkFunction node (aggregates as their
// per-record argument, string, date and time, math and conditional functions, CAST, CASE and the
// functions that reach the layers above through the evaluation host) the operation that computes
// it. The operation is picked once, at verification, from the node's operator and the verified
// types of the node and its arguments, so evaluating a function never looks at types again.
//
// Rules every function keeps:
//   - NULL arguments give NULL unless the function says otherwise; a math error of a
//     floating-point function (NaN, an infinity) gives NULL;
//   - a result that does not fit its type is NULL, never a wrapped value or undefined behaviour:
//     ABS of the smallest small integer, integer or large integer; CEILING and FLOOR of a float
//     or decimal outside the large integer range or NaN; the millisecond splits of a float
//     outside that range. MOD(x, 0) is NULL, and MOD of the smallest integer by -1 is 0 (the
//     remainder always fits);
//   - a string result grows the node's buffer when it is longer than the verified size, so a
//     verified size never cuts or overruns a result;
//   - REPLACE with an empty search text returns the source unchanged and OCCURS of an empty text
//     is 0;
//   - a text a function builds (REPEAT, REPLACE, CONCAT) holds at most kMaxFunctionTextLength
//     characters; a longer result raises the execution error 11950 with the node's position
//     instead of allocating without bound (a script may ask REPEAT for any count).
//
// Operations are used by one thread at a time, as the tree they belong to.
#pragma once

#include <cstdint>

#include "expressions/exp_token.h"

namespace veltra {

// The longest text a function builds: 16,777,216 characters, the terminating zero not counted.
inline constexpr uint32_t kMaxFunctionTextLength = 1u << 24;

// The operation that evaluates the function node `node`, whose arguments are verified already
// (their types set). REQUIRES: node.Kind is nkFunction. Answers null for an operator that has no
// built-in operation (the caller then supplies one that raises).
TNodeOperation SelectFunctionOperation(const TExpToken& node);

}  // namespace veltra
