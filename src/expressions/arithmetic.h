// The arithmetic of expressions: + - * / MOD and the unary - and +, over the verified operand
// types, and the checked conversions that arithmetic and the functions share.
//
// Rules:
//   - when neither operand is a text and either is NULL, the result is NULL; texts concatenate
//     with a NULL text counting as empty, and the concatenation is never NULL;
//   - integer results are exact in the result type (32 bits for integer, 64 for large integer,
//     16 for a negated small integer or word); a result that does not fit is NULL, never a
//     wrapped value: 2147483647 + 1, -(-2147483648), the smallest large integer times -1;
//   - division and MOD by zero are NULL; MOD has the dividend's sign, and any value MOD -1 is 0
//     (so the smallest integer MOD -1 never traps);
//   - integer / integer is a float division;
//   - decimal numbers compute as fixed-point values with four decimal places, in a wider integer
//     so that scaling never overflows; a result beyond the fixed-point range, or one that does not
//     fit the result's precision and scale, is NULL; products and quotients round half away from
//     zero to four places;
//   - floats follow IEEE arithmetic (an infinity stays one) except that dividing by zero is NULL;
//   - a date, time or timestamp plus or minus an integer moves it by days or milliseconds (the
//     low 32 bits of a large integer); a date or time result outside the 32-bit range is NULL;
//     date - date and time - time are integers, timestamp - date, time or timestamp a float of
//     milliseconds (a date as its midnight, a time as milliseconds since midnight).
#pragma once

#include <cstdint>
#include <optional>

#include "expressions/evaluator.h"

namespace veltra {

// The operation of an arithmetic node: nkBinary with opAdd, opSubtract, opMultiply, opDivide or
// opMod, or nkUnary with opNegate or opPlus. Null for an operator or type combination that has
// no arithmetic.
TNodeOperation SelectArithmeticOperation(const TExpToken& node);

// A float truncated toward zero to a 64-bit or 32-bit integer; nullopt for NaN, the infinities
// and values outside the target's range (instead of the undefined conversion).
std::optional<int64_t> FloatToInt64(double value);
std::optional<int32_t> FloatToInt32(double value);

// The decimal number of `fixed` (the value times 10,000) written into `node` with the node's
// scale; the node becomes NULL when the value does not fit. Answers whether it fit.
bool StoreFixedValue(TExpToken& node, int64_t fixed);

}  // namespace veltra
