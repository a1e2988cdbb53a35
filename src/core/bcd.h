// The decimal number type (BCD): validity, construction from text, integers, doubles and the
// engine's fixed-point form, and the way back.
//
// A TBcd (data_types.h) spells an integer of `precision` digits; its value is that integer
// divided by 10^scale. Values this module builds hold no leading zero digits beyond what the
// scale needs (precision = max(digits, scale)); the value zero has precision 0.
//
// Arithmetic and comparison inside the engine work on the fixed-point form: the value * 10,000
// rounded to the nearest (halves away from zero) as a 64-bit integer. A value of magnitude
// 922,337,203,685,477.5808 or more has no fixed-point form; BcdToFixed then answers nullopt and
// BcdToFixedSaturated the nearest end of the 64-bit range.
//
// Every operation is total and allocation-free: bad digits, an oversized precision, a scale above
// 63 or a result of more than 64 digits give nullopt. Rounding is always half away from zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/data_types.h"

namespace veltra {

inline constexpr int64_t kBcdFixedFactor = 10'000;
inline constexpr uint8_t kBcdFixedScale = 4;

// The longest text BcdToText writes: a sign, 64 digits and a decimal point, or a sign, "0." and
// 63 decimals.
inline constexpr size_t kMaxBcdTextLength = 67;

// True when the precision is at most 64 and every one of the precision digits is 0 to 9.
bool IsValidBcd(const TBcd& value);

// True for a valid value that is zero, whatever its sign and scale.
bool IsBcdZero(const TBcd& value);

// Zero with the given scale. REQUIRES: scale <= 63.
TBcd BcdZero(uint8_t scale);

// The number a decimal text spells, rounded to `scale` places: optional blanks, an optional "+"
// or "-", digits with an optional "." and further digits (at least one digit in all), optional
// blanks. No exponent, no thousands separators. nullopt for any other text, a scale above 63 or
// more than 64 digits.
std::optional<TBcd> BcdFromText(std::string_view text, uint8_t scale);

// The integer with `scale` zero decimals; nullopt when that needs more than 64 digits.
std::optional<TBcd> BcdFromInt64(int64_t value, uint8_t scale);

// A double through its 15-significant-digit decimal form (so 0.1 is exactly 0.1), rounded to
// `scale` places. nullopt for NaN, infinities and values that need more than 64 digits.
std::optional<TBcd> BcdFromDouble(double value, uint8_t scale);

// The fixed-point value `fixed` / 10,000 with `scale` places (rounded when scale < 4).
// nullopt only for a scale above 63.
std::optional<TBcd> BcdFromFixed(int64_t fixed, uint8_t scale);

// The same value with `scale` places (rounded when the scale shrinks). nullopt for an invalid
// value, a scale above 63 or more than 64 digits.
std::optional<TBcd> BcdRescale(const TBcd& value, uint8_t scale);

// The fixed-point form; nullopt for an invalid value or one outside the 64-bit range.
std::optional<int64_t> BcdToFixed(const TBcd& value);

// The fixed-point form, clamped to the 64-bit range; an invalid value gives 0.
int64_t BcdToFixedSaturated(const TBcd& value);

// The value truncated toward zero; nullopt for an invalid value or one outside the 64-bit range.
std::optional<int64_t> BcdToInt64(const TBcd& value);

// The nearest double; nullopt for an invalid value.
std::optional<double> BcdToDouble(const TBcd& value);

// Writes the value's text into `out` and answers its length: rounded to at most `max_decimals`
// places, trailing zero decimals and a bare "." dropped, "-" only for a non-zero result, "."
// as the decimal point ("-12.5", "0.0001", "3"). nullopt (and nothing written) for an invalid
// value. REQUIRES: `out` has room for kMaxBcdTextLength characters.
std::optional<size_t> BcdToText(const TBcd& value, char* out,
                                uint8_t max_decimals = kBcdFixedScale);

}  // namespace veltra
