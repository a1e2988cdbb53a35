// Day numbers through the civil-from-days arithmetic on 400-year eras, in 64 bits so that no
// input can overflow.
#include "core/date_time.h"

#include <cmath>
#include <limits>

namespace veltra {

namespace {

constexpr int64_t kDaysPerEra = 146'097;  // days of 400 Gregorian years

// Days from 1 January 1970 (the era arithmetic's zero) to a civil day.
constexpr int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * kDaysPerEra + day_of_era - 719'468;
}

// Added to a count of days from 1 January 1970, gives the day number.
constexpr int64_t kDayOneOffset = 1 - DaysFromCivil(1, 1, 1);
static_assert(DaysFromCivil(1899, 12, 30) + kDayOneOffset == kDateTimeEpochDay);
static_assert(DaysFromCivil(9999, 12, 31) + kDayOneOffset == kMaxDate);

constexpr TDateParts CivilFromDays(int64_t days_since_1970) {
  const int64_t z = days_since_1970 + 719'468;
  const int64_t era = (z >= 0 ? z : z - kDaysPerEra + 1) / kDaysPerEra;
  const int64_t day_of_era = z - era * kDaysPerEra;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int64_t day = day_of_year - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<int32_t>(year), static_cast<int32_t>(month), static_cast<int32_t>(day)};
}

// Whole days of a timestamp, as a double, when they fit a day number.
std::optional<double> WholeDays(TTimestamp timestamp) {
  if (!std::isfinite(timestamp)) return std::nullopt;
  const double days = std::floor(timestamp / kMillisecondsPerDay);
  if (days < std::numeric_limits<int32_t>::min() || days > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return days;
}

}  // namespace

std::optional<TDate> EncodeDate(int64_t year, int64_t month, int64_t day) {
  if (year < kMinDateYear || year > kMaxDateYear) return std::nullopt;
  if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return static_cast<TDate>(DaysFromCivil(year, month, day) + kDayOneOffset);
}

TDateParts DecodeDate(TDate date) { return CivilFromDays(int64_t{date} - kDayOneOffset); }

std::optional<TTime> EncodeTime(int64_t hour, int64_t minute, int64_t second, int64_t millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return std::nullopt;
  }
  return static_cast<TTime>(hour * kMillisecondsPerHour + minute * kMillisecondsPerMinute +
                            second * kMillisecondsPerSecond + millisecond);
}

std::optional<TTimeParts> DecodeTime(TTime time) {
  if (!IsValidTime(time)) return std::nullopt;
  return TTimeParts{time / kMillisecondsPerHour, time / kMillisecondsPerMinute % 60,
                    time / kMillisecondsPerSecond % 60, time % kMillisecondsPerSecond};
}

int32_t DayOfWeek(TDate date) {
  // Day 1 (1 January of year 1) was a Monday.
  const int64_t from_monday = (int64_t{date} - 1) % 7;
  return static_cast<int32_t>((from_monday + 7) % 7 + 1);
}

int32_t DayOfYear(TDate date) {
  const TDateParts parts = DecodeDate(date);
  const int64_t first = DaysFromCivil(parts.year, 1, 1) + kDayOneOffset;
  return static_cast<int32_t>(int64_t{date} - first + 1);
}

int32_t IsoWeekOf(TDate date) {
  // The week belongs to the year of its Thursday.
  const int64_t thursday = int64_t{date} - DayOfWeek(date) + 4;
  const TDateParts parts = CivilFromDays(thursday - kDayOneOffset);
  const int64_t first = DaysFromCivil(parts.year, 1, 1) + kDayOneOffset;
  return static_cast<int32_t>((thursday - first) / 7 + 1);
}

std::optional<TDate> DateOfTimestamp(TTimestamp timestamp) {
  const std::optional<double> days = WholeDays(timestamp);
  if (!days) return std::nullopt;
  return static_cast<TDate>(*days);
}

std::optional<TTime> TimeOfTimestamp(TTimestamp timestamp) {
  const std::optional<double> days = WholeDays(timestamp);
  if (!days) return std::nullopt;
  const double rest = std::floor(timestamp - *days * kMillisecondsPerDay);
  // Rounding of huge timestamps can leave the rest just outside the day.
  if (rest < 0) return 0;
  if (rest > kMaxTime) return kMaxTime;
  return static_cast<TTime>(rest);
}

std::optional<TTimestamp> TimestampFromDateTime(double date_time) {
  if (!std::isfinite(date_time)) return std::nullopt;
  const double whole = std::trunc(date_time);
  double milliseconds = std::round(std::fabs(date_time - whole) * kMillisecondsPerDay);
  double day = whole + kDateTimeEpochDay;
  if (milliseconds >= kMillisecondsPerDay) {
    milliseconds -= kMillisecondsPerDay;
    day += date_time < 0 ? -1 : 1;
  }
  if (day < std::numeric_limits<int32_t>::min() || day > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return day * kMillisecondsPerDay + milliseconds;
}

std::optional<double> DateTimeFromTimestamp(TTimestamp timestamp) {
  const std::optional<TDate> date = DateOfTimestamp(timestamp);
  const std::optional<TTime> time = TimeOfTimestamp(timestamp);
  if (!date || !time) return std::nullopt;
  const double days = static_cast<double>(*date) - kDateTimeEpochDay;
  const double fraction = static_cast<double>(*time) / kMillisecondsPerDay;
  return days >= 0 ? days + fraction : days - fraction;
}

}  // namespace veltra
