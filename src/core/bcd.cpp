// Decimal numbers are built from a run of decimal digits and a power of ten: the digits spell an
// integer D and the value is D * 10^power. Building for a target scale shifts the run (zeros
// appended, or digits dropped with rounding on the first dropped one), strips leading zeros and
// packs at most 64 digits. Every buffer is a fixed array on the stack.
#include "core/bcd.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace veltra {

namespace {

// A text may carry up to 64 significant integer digits and, for a scale of up to 63, the
// decimals up to the rounding digit.
constexpr int kMaxWorkDigits = TBcd::kMaxDigits + TBcd::kMaxScale + 2;

struct DigitRun {
  std::array<uint8_t, kMaxWorkDigits> digit{};
  int count = 0;
  bool negative = false;

  // False when the run is full.
  bool Push(uint8_t d) {
    if (count == kMaxWorkDigits) return false;
    digit[count++] = d;
    return true;
  }
};

TBcd Pack(bool negative, const uint8_t* digits, int count, uint8_t scale) {
  TBcd value;
  value.sign_scale = scale;
  if (count == 0) return value;
  const int precision = std::max<int>(count, scale);
  const int pad = precision - count;
  value.precision = static_cast<uint8_t>(precision);
  for (int i = 0; i < count; ++i) value.SetDigit(static_cast<size_t>(pad + i), digits[i]);
  if (negative) value.sign_scale |= TBcd::kSignBit;
  return value;
}

// The value run * 10^power with `scale` places.
std::optional<TBcd> Build(const DigitRun& run, int power, uint8_t scale) {
  if (scale > TBcd::kMaxScale) return std::nullopt;
  int first = 0;
  while (first < run.count && run.digit[first] == 0) ++first;
  const int count = run.count - first;
  if (count == 0) return BcdZero(scale);
  const int shift = power + scale;

  // One spare place in front takes the carry of rounding up.
  std::array<uint8_t, TBcd::kMaxDigits + 1> out{};
  int length = 0;
  if (shift >= 0) {
    if (count + shift > TBcd::kMaxDigits) return std::nullopt;
    for (int i = 0; i < count; ++i) out[1 + length++] = run.digit[first + i];
    for (int i = 0; i < shift; ++i) out[1 + length++] = 0;
  } else {
    const int drop = -shift;
    // Past the last digit every dropped digit is a leading zero, so the value rounds to zero.
    if (drop > count) return BcdZero(scale);
    const int keep = count - drop;
    if (keep > TBcd::kMaxDigits) return std::nullopt;
    for (int i = 0; i < keep; ++i) out[1 + length++] = run.digit[first + i];
    if (run.digit[first + keep] >= 5) {
      int i = length;
      while (i > 0 && out[i] == 9) out[i--] = 0;
      if (i > 0) {
        ++out[i];
      } else {
        out[0] = 1;  // carried past the first digit
      }
    }
  }
  const uint8_t* digits = out.data() + 1;
  if (out[0] != 0) {
    digits = out.data();
    ++length;
  }
  while (length > 0 && digits[0] == 0) {
    ++digits;
    --length;
  }
  if (length > TBcd::kMaxDigits) return std::nullopt;
  return Pack(run.negative, digits, length, scale);
}

DigitRun RunOf(const TBcd& value) {
  DigitRun run;
  run.negative = value.IsNegative();
  run.count = value.precision;
  for (int i = 0; i < run.count; ++i) run.digit[i] = value.Digit(static_cast<size_t>(i));
  return run;
}

// |digits| as an unsigned 64-bit number; nullopt on overflow.
std::optional<uint64_t> MagnitudeOf(const uint8_t* digits, int count) {
  uint64_t magnitude = 0;
  for (int i = 0; i < count; ++i) {
    if (magnitude > (std::numeric_limits<uint64_t>::max() - digits[i]) / 10) return std::nullopt;
    magnitude = magnitude * 10 + digits[i];
  }
  return magnitude;
}

std::optional<int64_t> SignedOf(bool negative, uint64_t magnitude) {
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (!negative) {
    if (magnitude > kMaxPositive) return std::nullopt;
    return static_cast<int64_t>(magnitude);
  }
  if (magnitude > kMaxPositive + 1) return std::nullopt;
  if (magnitude == kMaxPositive + 1) return std::numeric_limits<int64_t>::min();
  return -static_cast<int64_t>(magnitude);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool IsValidBcd(const TBcd& value) {
  if (value.precision > TBcd::kMaxDigits) return false;
  for (size_t i = 0; i < value.precision; ++i) {
    if (value.Digit(i) > 9) return false;
  }
  return true;
}

bool IsBcdZero(const TBcd& value) {
  if (!IsValidBcd(value)) return false;
  for (size_t i = 0; i < value.precision; ++i) {
    if (value.Digit(i) != 0) return false;
  }
  return true;
}

TBcd BcdZero(uint8_t scale) {
  TBcd value;
  value.sign_scale = static_cast<uint8_t>(scale & TBcd::kScaleMask);
  return value;
}

std::optional<TBcd> BcdFromText(std::string_view text, uint8_t scale) {
  if (scale > TBcd::kMaxScale) return std::nullopt;
  size_t pos = 0;
  size_t end = text.size();
  while (pos < end && IsBlank(text[pos])) ++pos;
  while (end > pos && IsBlank(text[end - 1])) --end;
  DigitRun run;
  if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
    run.negative = text[pos] == '-';
    ++pos;
  }
  int digits_seen = 0;
  int decimals = 0;
  bool point = false;
  for (; pos < end; ++pos) {
    const char c = text[pos];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    ++digits_seen;
    // Decimals past the rounding digit cannot change the result.
    if (point && decimals > scale) continue;
    if (run.count == 0 && c == '0' && !point) continue;  // leading zero
    if (!point && run.count == TBcd::kMaxDigits) return std::nullopt;
    if (!run.Push(static_cast<uint8_t>(c - '0'))) return std::nullopt;
    if (point) ++decimals;
  }
  if (digits_seen == 0) return std::nullopt;
  return Build(run, -decimals, scale);
}

std::optional<TBcd> BcdFromInt64(int64_t value, uint8_t scale) {
  DigitRun run;
  run.negative = value < 0;
  uint64_t magnitude = value < 0 ? ~static_cast<uint64_t>(value) + 1 : static_cast<uint64_t>(value);
  std::array<uint8_t, 20> reversed{};
  int count = 0;
  do {
    reversed[count++] = static_cast<uint8_t>(magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count > 0) run.Push(reversed[--count]);
  return Build(run, 0, scale);
}

std::optional<TBcd> BcdFromDouble(double value, uint8_t scale) {
  if (!std::isfinite(value)) return std::nullopt;
  // "-d.ddddddddddddddde-ddd": 15 significant digits, correctly rounded.
  std::array<char, 32> text{};
  const std::to_chars_result result = std::to_chars(text.data(), text.data() + text.size(), value,
                                                    std::chars_format::scientific, 14);
  if (result.ec != std::errc{}) return std::nullopt;
  const char* p = text.data();
  DigitRun run;
  if (*p == '-') {
    run.negative = true;
    ++p;
  }
  while (p < result.ptr && *p != 'e') {
    if (*p != '.') run.Push(static_cast<uint8_t>(*p - '0'));
    ++p;
  }
  int exponent = 0;
  if (p < result.ptr) {
    std::from_chars(*(p + 1) == '+' ? p + 2 : p + 1, result.ptr, exponent);
  }
  return Build(run, exponent - (run.count - 1), scale);
}

std::optional<TBcd> BcdFromFixed(int64_t fixed, uint8_t scale) {
  if (scale > TBcd::kMaxScale) return std::nullopt;
  std::optional<TBcd> whole = BcdFromInt64(fixed, 0);
  if (!whole) return std::nullopt;
  return Build(RunOf(*whole), -kBcdFixedScale, scale);
}

std::optional<TBcd> BcdRescale(const TBcd& value, uint8_t scale) {
  if (!IsValidBcd(value)) return std::nullopt;
  return Build(RunOf(value), -value.Scale(), scale);
}

std::optional<int64_t> BcdToFixed(const TBcd& value) {
  const std::optional<TBcd> fixed = BcdRescale(value, kBcdFixedScale);
  if (!fixed) return std::nullopt;
  const DigitRun run = RunOf(*fixed);
  const std::optional<uint64_t> magnitude = MagnitudeOf(run.digit.data(), run.count);
  if (!magnitude) return std::nullopt;
  return SignedOf(run.negative, *magnitude);
}

int64_t BcdToFixedSaturated(const TBcd& value) {
  if (!IsValidBcd(value)) return 0;
  if (const std::optional<int64_t> fixed = BcdToFixed(value)) return *fixed;
  // Valid but outside the range: rescaling can fail only by having too many digits.
  return value.IsNegative() ? std::numeric_limits<int64_t>::min()
                            : std::numeric_limits<int64_t>::max();
}

std::optional<int64_t> BcdToInt64(const TBcd& value) {
  if (!IsValidBcd(value)) return std::nullopt;
  const DigitRun run = RunOf(value);
  const int whole_digits = std::max(0, run.count - value.Scale());
  const std::optional<uint64_t> magnitude = MagnitudeOf(run.digit.data(), whole_digits);
  if (!magnitude) return std::nullopt;
  return SignedOf(run.negative, *magnitude);
}

std::optional<double> BcdToDouble(const TBcd& value) {
  if (!IsValidBcd(value)) return std::nullopt;
  // "-" digits "e-" scale: at most 1 + 64 + 2 + 2 characters.
  std::array<char, 80> text{};
  size_t length = 0;
  bool any = false;
  for (size_t i = 0; i < value.precision; ++i) {
    const uint8_t d = value.Digit(i);
    if (d == 0 && !any) continue;
    any = true;
    text[length++] = static_cast<char>('0' + d);
  }
  if (!any) return 0.0;
  text[length++] = 'e';
  text[length++] = '-';
  const std::to_chars_result scale_end =
      std::to_chars(text.data() + length, text.data() + text.size(), int{value.Scale()});
  length = static_cast<size_t>(scale_end.ptr - text.data());
  double magnitude = 0;
  const std::from_chars_result parsed =
      std::from_chars(text.data(), text.data() + length, magnitude);
  // Out of range cannot happen for 64 digits and a scale of at most 63, except underflow of
  // tiny values, which from_chars reports; they are zero as doubles.
  if (parsed.ec == std::errc::result_out_of_range) magnitude = 0;
  return value.IsNegative() ? -magnitude : magnitude;
}

std::optional<size_t> BcdToText(const TBcd& value, char* out, uint8_t max_decimals) {
  if (!IsValidBcd(value)) return std::nullopt;
  const uint8_t places = std::min<uint8_t>(value.Scale(), max_decimals);
  const std::optional<TBcd> rounded = BcdRescale(value, places);
  if (!rounded) return std::nullopt;  // cannot happen: rounding never adds digits beyond 64
  const int precision = rounded->precision;
  // The digits left-padded with zeros to at least places + 1, so an integer part exists.
  const int total = std::max(precision, places + 1);
  const int pad = total - precision;
  auto digit_at = [&](int i) -> char {
    return static_cast<char>('0' + (i < pad ? 0 : rounded->Digit(static_cast<size_t>(i - pad))));
  };
  int decimals = places;
  while (decimals > 0 && digit_at(total - 1 - (places - decimals)) == '0') --decimals;
  size_t length = 0;
  if (rounded->IsNegative() && !IsBcdZero(*rounded)) out[length++] = '-';
  const int whole = total - places;
  int i = 0;
  while (i < whole - 1 && digit_at(i) == '0') ++i;  // leading zeros of the integer part
  for (; i < whole; ++i) out[length++] = digit_at(i);
  if (decimals > 0) {
    out[length++] = '.';
    for (int k = 0; k < decimals; ++k) out[length++] = digit_at(whole + k);
  }
  return length;
}

}  // namespace veltra
