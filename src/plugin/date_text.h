// Date-times of the application side and the three ways the dialog writes them.
//
// A date-time is a 64-bit floating-point count of days since 30 December 1899; its fraction is
// the time of day (for days before that date the fraction's absolute value). The time separator
// is always a colon.
#pragma once

#include <cstdint>
#include <string>

namespace veltra::plugin {

enum class TDateLayout {
  dlDate,         // "yyyy-mm-dd"
  dlDateTime,     // "yyyy-mm-dd hh:nn:ss" (24-hour clock)
  dlSummaryDate,  // "dd-mm-yyyy"
};

struct DateTimeParts {
  int year = 1899;  // 1..9999
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The earliest and latest date-times with a four-digit year (1 January 1 and 31 December 9999).
inline constexpr double kMinDateTime = -693593.0;
inline constexpr double kMaxDateTime = 2958466.0;  // exclusive: the start of 1 January 10000

// Splits a date-time, rounding the time of day to the millisecond (a time that rounds up to
// midnight moves to the next day). Throws std::out_of_range for a value that is not finite or
// lies outside [kMinDateTime, kMaxDateTime).
DateTimeParts DecodeDateTime(double date_time);

// The date-time of a calendar date and time of day. Throws std::out_of_range for a field out of
// its range (month 1..12, day within the month, hour 0..23, minute and second 0..59).
double EncodeDateTime(const DateTimeParts& parts);

// The date-time written in `layout`; throws as DecodeDateTime.
std::string FormatDateTime(double date_time, TDateLayout layout);

}  // namespace veltra::plugin
