#include "draw_time.h"

#include <cstdio>

namespace veltra::results_service {
namespace {

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `width` decimal digits at `pos`.
std::optional<int> Digits(std::string_view text, size_t pos, size_t width) {
  if (pos + width > text.size()) return std::nullopt;
  int value = 0;
  for (size_t i = pos; i < pos + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

// The civil-calendar conversions count in 400-year eras of 146097 days, with years starting on
// 1 March so that the leap day ends the year.
DayNumber DaysFromCivil(CivilDate date) {
  int64_t year = date.year - (date.month <= 2 ? 1 : 0);
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t year_of_era = year - era * 400;
  int64_t month = date.month > 2 ? date.month - 3 : date.month + 9;
  int64_t day_of_year = (153 * month + 2) / 5 + date.day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

CivilDate CivilFromDays(DayNumber day) {
  int64_t z = day + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t day_of_era = z - era * 146097;
  int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t mp = (5 * day_of_year + 2) / 153;
  int d = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  int y = static_cast<int>(year_of_era + era * 400 + (m <= 2 ? 1 : 0));
  return {y, m, d};
}

int Weekday(DayNumber day) {
  // 1 January 1970 was a Thursday.
  int64_t weekday = (day + 4) % 7;
  return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

DayNumber YearsBefore(DayNumber day, int years) {
  CivilDate date = CivilFromDays(day);
  date.year -= years;
  if (date.year < kMinYear) date = {kMinYear, 1, 1};
  if (date.day > DaysInMonth(date.year, date.month)) date.day = DaysInMonth(date.year, date.month);
  return DaysFromCivil(date);
}

std::optional<DrawTime> ParseDrawTime(std::string_view text, DateFormat format) {
  constexpr size_t kDateLength = 10;      // yyyy-mm-dd
  constexpr size_t kDateTimeLength = 19;  // yyyy-mm-dd hh:nn:ss
  size_t expected = format == DateFormat::dfDate ? kDateLength : kDateTimeLength;
  if (text.size() != expected || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto year = Digits(text, 0, 4);
  auto month = Digits(text, 5, 2);
  auto day = Digits(text, 8, 2);
  if (!year || !month || !day || *year < kMinYear || *year > kMaxYear || *month < 1 ||
      *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month)) {
    return std::nullopt;
  }
  DrawTime time{DaysFromCivil({*year, *month, *day}), 0};
  if (format == DateFormat::dfDate) return time;
  if (text[10] != ' ' || text[13] != ':' || text[16] != ':') return std::nullopt;
  auto hour = Digits(text, 11, 2);
  auto minute = Digits(text, 14, 2);
  auto second = Digits(text, 17, 2);
  if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  time.second = *hour * 3600 + *minute * 60 + *second;
  return time;
}

std::string FormatDrawTime(DrawTime time, DateFormat format) {
  CivilDate date = CivilFromDays(time.day);
  char text[32];
  if (format == DateFormat::dfDate) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.year, date.month,
                  date.day, time.second / 3600, time.second / 60 % 60, time.second % 60);
  }
  return text;
}

}  // namespace veltra::results_service
