#include "plugin/date_text.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace veltra::plugin {
namespace {

constexpr int64_t kMillisecondsPerDay = 86'400'000;

// Days since 1 March of year 0 in the proleptic Gregorian calendar (after H. Hinnant).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

DateTimeParts DecodeDateTime(double date_time) {
  if (!std::isfinite(date_time) || date_time < kMinDateTime || date_time >= kMaxDateTime) {
    throw std::out_of_range("Invalid date-time value");
  }
  double whole = std::trunc(date_time);
  int64_t days = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(date_time - whole) * kMillisecondsPerDay);
  if (ms >= kMillisecondsPerDay) {
    ms -= kMillisecondsPerDay;
    days += date_time < 0 ? -1 : 1;
  }
  DateTimeParts parts;
  CivilFromDays(kEpochDays + days, parts.year, parts.month, parts.day);
  if (parts.year < 1 || parts.year > 9999) throw std::out_of_range("Invalid date-time value");
  parts.hour = static_cast<int>(ms / 3'600'000);
  parts.minute = static_cast<int>(ms / 60'000 % 60);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.millisecond = static_cast<int>(ms % 1000);
  return parts;
}

double EncodeDateTime(const DateTimeParts& p) {
  if (p.year < 1 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
      p.minute > 59 || p.second < 0 || p.second > 59 || p.millisecond < 0 || p.millisecond > 999) {
    throw std::out_of_range("Invalid date or time");
  }
  double days = static_cast<double>(
      DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
      kEpochDays);
  double fraction =
      static_cast<double>(((p.hour * 60 + p.minute) * 60 + p.second) * 1000 + p.millisecond) /
      kMillisecondsPerDay;
  // Before the epoch the time of day still counts forwards from midnight: -1.25 is 29 December
  // 1899, 06:00.
  return days < 0 ? days - fraction : days + fraction;
}

std::string FormatDateTime(double date_time, TDateLayout layout) {
  DateTimeParts p = DecodeDateTime(date_time);
  char text[32];
  switch (layout) {
    case TDateLayout::dlDate:
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
      break;
    case TDateLayout::dlDateTime:
      std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                    p.hour, p.minute, p.second);
      break;
    case TDateLayout::dlSummaryDate:
      std::snprintf(text, sizeof text, "%02d-%02d-%04d", p.day, p.month, p.year);
      break;
  }
  return text;
}

}  // namespace veltra::plugin
