// The text forms of the engine's values: how a date, time, timestamp, Boolean, number or decimal
// is read from text and written as text. They are the same in every locale (the decimal point is
// always ".", dates are "yyyy-mm-dd"), so that constants, default values and conversions mean the
// same thing everywhere.
//
// Reading (surrounding blanks are ignored by every reader):
//   date       "yyyy-mm-dd": three decimal numbers of any length split at the two "-"; the
//              year 1 to 9999 and the day must exist ("2023-02-31" does not convert)
//   time       the first "AM" (any case) is removed and selects the 12-hour reading, else the
//              first "PM" is removed and selects it with 12 hours added; the rest is
//              hours ":" minutes [":" seconds ["." milliseconds]], each a decimal number (the
//              milliseconds are a count, so ".5" is 5 ms). In the 12-hour reading hour 12 is 0 for
//              AM and stays 12 for PM. Hours above 23, minutes or seconds above 59, milliseconds
//              above 999 do not convert ("24:00" and "13:00 PM" do not)
//   timestamp  split at the first blank into a date and a time; without a blank a time when the
//              text holds ":", else a date. A time alone lies on 30 December 1899 (the day 0 of
//              the application's date-times), a date alone at its midnight
//   Boolean    "TRUE" or "FALSE" in any case
//   integer    an optional sign and decimal digits, within the target type's range
//   float      an optional sign, digits with an optional "." (or "." and digits), an optional
//              exponent; values too large for a double do not convert, too small ones are zero
//
// Writing:
//   date       "yyyy-mm-dd" with a four-digit year
//   time       "hh:mm", then ":ss" when the seconds are not 0, then "." and the milliseconds
//              unpadded when seconds and milliseconds are both not 0; the 12-hour form shows 12
//              for hour 0 and appends " AM" or " PM"
//   timestamp  date, a blank, time
//   Boolean    "True" or "False"
//   float      the shortest text with at most 15 significant digits: positional for decimal
//              exponents -5 to 14 ("0.1", "123.456", "0.00001"), else "1.5E-7", "1E15";
//              NaN is "NAN", infinities "INF" and "-INF" (which do not read back)
//   BCD        rounded to four decimals with trailing zeros dropped (bcd.h)
//
// Every reader and writer is total and allocation-free; a text that does not convert and a
// value that has no text form (a day outside 1 to 9999, a time outside the day) are nullopt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/bcd.h"
#include "core/data_types.h"

namespace veltra {

// A value's text, held inline.
struct TValueText {
  static constexpr size_t kCapacity = 80;

  std::array<char, kCapacity> chars{};
  uint8_t length = 0;

  std::string_view View() const { return {chars.data(), length}; }
  std::string ToString() const { return std::string(View()); }
};

enum class TTimeTextForm : uint8_t { tf24Hour, tf12Hour };

std::optional<TDate> TextToDate(std::string_view text);
std::optional<TTime> TextToTime(std::string_view text);
std::optional<TTimestamp> TextToTimestamp(std::string_view text);
std::optional<bool> TextToBoolean(std::string_view text);
// REQUIRES: min <= max.
std::optional<int64_t> TextToInteger(std::string_view text, int64_t min, int64_t max);
std::optional<double> TextToFloat(std::string_view text);
// A decimal text rounded to `scale` places (BcdFromText).
inline std::optional<TBcd> TextToBcd(std::string_view text, uint8_t scale) {
  return BcdFromText(text, scale);
}

std::optional<TValueText> DateToText(TDate date);
std::optional<TValueText> TimeToText(TTime time, TTimeTextForm form = TTimeTextForm::tf24Hour);
std::optional<TValueText> TimestampToText(TTimestamp timestamp,
                                          TTimeTextForm form = TTimeTextForm::tf24Hour);
TValueText BooleanToText(bool value);
TValueText IntegerToText(int64_t value);
TValueText FloatToText(double value);
std::optional<TValueText> BcdValueToText(const TBcd& value);

}  // namespace veltra
