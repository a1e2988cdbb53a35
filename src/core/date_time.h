// Calendar arithmetic on the engine's day numbers, times and timestamps.
//
// A date is a signed day number in the proleptic Gregorian calendar with 1 January of year 1 as
// day 1 (30 December 1899 is day 693,594); a time is milliseconds since midnight; a timestamp is
// day number * 86,400,000 + milliseconds, held as a double. The application side counts
// date-times as days since 30 December 1899 with the time of day as the fraction; the last two
// helpers move between the two.
//
// Dates that can be written as text have years 1 to 9999. Decoding works for every day number,
// so a damaged value can still be reported; encoding refuses what does not exist. Every helper
// is total: a value out of range is a nullopt answer, never undefined behaviour. Thread-safe
// (pure functions).
#pragma once

#include <cstdint>
#include <optional>

#include "core/data_types.h"

namespace veltra {

inline constexpr int32_t kMinDateYear = 1;
inline constexpr int32_t kMaxDateYear = 9999;
inline constexpr TDate kMinDate = 1;          // 1 January of year 1
inline constexpr TDate kMaxDate = 3'652'059;  // 31 December 9999
inline constexpr TTime kMaxTime = kMillisecondsPerDay - 1;

inline constexpr int32_t kMillisecondsPerHour = 3'600'000;
inline constexpr int32_t kMillisecondsPerMinute = 60'000;
inline constexpr int32_t kMillisecondsPerSecond = 1'000;

struct TDateParts {
  int32_t year = 1;
  int32_t month = 1;  // 1 to 12
  int32_t day = 1;    // 1 to 31

  constexpr bool operator==(const TDateParts&) const = default;
};

struct TTimeParts {
  int32_t hour = 0;         // 0 to 23
  int32_t minute = 0;       // 0 to 59
  int32_t second = 0;       // 0 to 59
  int32_t millisecond = 0;  // 0 to 999

  constexpr bool operator==(const TTimeParts&) const = default;
};

constexpr bool IsLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Days of `month` (1 to 12) in `year`; 0 for a month outside 1 to 12.
constexpr int32_t DaysInMonth(int64_t year, int64_t month) {
  constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

// The day number of a calendar day, or nullopt unless the year is 1 to 9999 and the day exists
// (31 February does not).
std::optional<TDate> EncodeDate(int64_t year, int64_t month, int64_t day);

// The calendar day of any day number (days before day 1 give years 0 and below).
TDateParts DecodeDate(TDate date);

// True for 1 to 31 December 9999: the dates that have a text form.
constexpr bool IsValidDate(TDate date) { return date >= kMinDate && date <= kMaxDate; }

// The time of the parts, or nullopt when an hour is above 23, a minute or second above 59, a
// millisecond above 999 or any part negative.
std::optional<TTime> EncodeTime(int64_t hour, int64_t minute, int64_t second, int64_t millisecond);

constexpr bool IsValidTime(TTime time) { return time >= 0 && time <= kMaxTime; }

// The parts of a valid time; nullopt outside 0 to 86,399,999.
std::optional<TTimeParts> DecodeTime(TTime time);

// 1 Monday to 7 Sunday, for every day number.
int32_t DayOfWeek(TDate date);
// 1 for 1 January.
int32_t DayOfYear(TDate date);
// The ISO 8601 week: week 1 is the Monday-to-Sunday week that holds 4 January.
int32_t IsoWeekOf(TDate date);

// day * 86,400,000 + time, exact in a double for every int32 day and valid time.
constexpr TTimestamp TimestampOf(TDate date, TTime time) {
  return static_cast<double>(date) * kMillisecondsPerDay + time;
}

// The day of a timestamp (rounded down), or nullopt for NaN, infinities and timestamps whose day
// does not fit a day number.
std::optional<TDate> DateOfTimestamp(TTimestamp timestamp);

// The milliseconds since midnight of a timestamp (a fraction of a millisecond is dropped), or
// nullopt where DateOfTimestamp has none.
std::optional<TTime> TimeOfTimestamp(TTimestamp timestamp);

// An application date-time (days since 30 December 1899; the fraction is the time of day, taken
// without its sign for days before then) as a timestamp, rounded to the millisecond; nullopt for
// NaN, infinities and date-times whose day does not fit a day number.
std::optional<TTimestamp> TimestampFromDateTime(double date_time);

// The application date-time of a timestamp; nullopt where DateOfTimestamp has none.
std::optional<double> DateTimeFromTimestamp(TTimestamp timestamp);

}  // namespace veltra
