// The calendar as the results service counts it: a draw's moment as a day number and the second
// of that day, and the two texts a game's dates are written in ("yyyy-mm-dd" and
// "yyyy-mm-dd hh:nn:ss"). Years 1 to 9999 of the proleptic Gregorian calendar.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "service_catalogue.h"

namespace veltra::results_service {

// Days since 1 January 1970 (negative before it).
using DayNumber = int64_t;

struct CivilDate {
  int year;   // 1..9999
  int month;  // 1..12
  int day;    // 1..31
};

DayNumber DaysFromCivil(CivilDate date);
CivilDate CivilFromDays(DayNumber day);

// 0 Sunday .. 6 Saturday.
int Weekday(DayNumber day);

// The same day of the month `years` years earlier; 29 February falls back to the 28th.
DayNumber YearsBefore(DayNumber day, int years);

// A draw's moment. Dates written without a time of day have second 0.
struct DrawTime {
  DayNumber day = 0;
  int32_t second = 0;  // 0..86399
  auto operator<=>(const DrawTime&) const = default;
};

// Reads `text` in exactly the given format: four-digit year 0001..9999, two-digit month, day,
// hour, minute and second, a day that exists in the calendar, hours 00..23, minutes and seconds
// 00..59. Anything else, leading or trailing blanks included, gives nullopt.
std::optional<DrawTime> ParseDrawTime(std::string_view text, DateFormat format);

// Writes `time` in the given format (the time of day is left out for dfDate).
std::string FormatDrawTime(DrawTime time, DateFormat format);

}  // namespace veltra::results_service
