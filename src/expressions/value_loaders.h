// Loaders of the values in node buffers, one per stored type, each reading the value in the forms
// the comparison and arithmetic templates need: as a 64-bit integer, a double, a fixed-point
// number with four decimal places (wide, so that scaling never overflows) or a truth value. The
// templates are instantiated per pair of loaders, so an operation reads its operands without
// looking at their types.
#pragma once

#include <cstdint>
#include <optional>

#include "core/bcd.h"
#include "core/data_types.h"

namespace veltra {

using TFixedWide = __int128;

// Integer types: Int, Float, Fixed, Truth.
template <class T, T (*Load)(const uint8_t*)>
struct LoadIntegerKind {
  static int64_t Int(const uint8_t* p) { return Load(p); }
  static double Float(const uint8_t* p) { return static_cast<double>(Load(p)); }
  static TFixedWide Fixed(const uint8_t* p) {
    return static_cast<TFixedWide>(Load(p)) * kBcdFixedFactor;
  }
  static std::optional<TFixedWide> FixedExact(const uint8_t* p) { return Fixed(p); }
  static bool Truth(const uint8_t* p) { return Load(p) != 0; }
};

using LoadSmallIntValue = LoadIntegerKind<int16_t, LoadSmallInt>;
using LoadIntegerValue = LoadIntegerKind<int32_t, LoadInteger>;
using LoadWordValue = LoadIntegerKind<uint16_t, LoadWord>;
using LoadLargeIntValue = LoadIntegerKind<int64_t, LoadLargeInt>;
using LoadDateValue = LoadIntegerKind<int32_t, LoadDate>;  // dates and times: day or millisecond

struct LoadBooleanValue {
  static int64_t Int(const uint8_t* p) { return LoadBoolean(p) ? 1 : 0; }
  static double Float(const uint8_t* p) { return LoadBoolean(p) ? 1.0 : 0.0; }
  static TFixedWide Fixed(const uint8_t* p) { return LoadBoolean(p) ? kBcdFixedFactor : 0; }
  static std::optional<TFixedWide> FixedExact(const uint8_t* p) { return Fixed(p); }
  static bool Truth(const uint8_t* p) { return LoadBoolean(p); }
};

// Floats and timestamps (a timestamp is a double of milliseconds).
struct LoadFloatValue {
  static double Float(const uint8_t* p) { return LoadFloat(p); }
  // A float makes every comparison and computation a floating-point one: Fixed and Int exist
  // only so that the pair templates compile for every pair, and are never selected.
  static TFixedWide Fixed(const uint8_t*) { return 0; }
  static std::optional<TFixedWide> FixedExact(const uint8_t*) { return std::nullopt; }
  static int64_t Int(const uint8_t*) { return 0; }
  static bool Truth(const uint8_t* p) { return LoadFloat(p) != 0.0; }
};

// Decimal numbers as their fixed-point value: FixedExact is nullopt beyond the 64-bit fixed-point
// range (callers then compare through Float or make the result NULL); Fixed saturates there.
struct LoadBcdValue {
  static TFixedWide Fixed(const uint8_t* p) { return BcdToFixedSaturated(LoadBcd(p)); }
  static std::optional<TFixedWide> FixedExact(const uint8_t* p) {
    std::optional<int64_t> fixed = BcdToFixed(LoadBcd(p));
    if (!fixed) return std::nullopt;
    return static_cast<TFixedWide>(*fixed);
  }
  static double Float(const uint8_t* p) { return BcdToDouble(LoadBcd(p)).value_or(0.0); }
  // Never selected: a decimal number beside an integer computes in fixed point.
  static int64_t Int(const uint8_t*) { return 0; }
  static bool Truth(const uint8_t* p) { return !IsBcdZero(LoadBcd(p)); }
};

}  // namespace veltra
