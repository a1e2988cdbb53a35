// Day numbers, calendar parts, weeks and the two date-time forms.
#include "core/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace veltra {
namespace {

TEST(DateTime, DayNumbersOfKnownDays) {
  struct Case {
    int year, month, day;
    TDate number;
  } const cases[] = {
      {1, 1, 1, 1},
      {1, 12, 31, 365},
      {4, 3, 1, 31 + 29 + 1 + 3 * 365},
      {1899, 12, 30, 693'594},
      {1970, 1, 1, 719'163},
      {2000, 2, 29, 730'179},
      {9999, 12, 31, 3'652'059},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.number) << c.year << "-" << c.month;
    EXPECT_EQ(DecodeDate(c.number), (TDateParts{c.year, c.month, c.day}));
  }
}

TEST(DateTime, EveryDayNumberDecodesAndEncodesBack) {
  for (TDate date = kMinDate; date <= kMaxDate; date += 97) {
    const TDateParts parts = DecodeDate(date);
    ASSERT_EQ(EncodeDate(parts.year, parts.month, parts.day), date) << date;
  }
  // Outside the text range decoding still answers, without overflow.
  EXPECT_EQ(DecodeDate(0), (TDateParts{0, 12, 31}));
  DecodeDate(std::numeric_limits<TDate>::min());
  DecodeDate(std::numeric_limits<TDate>::max());
}

TEST(DateTime, EncodingRefusesDaysThatDoNotExist) {
  EXPECT_FALSE(EncodeDate(2023, 2, 29).has_value());
  EXPECT_FALSE(EncodeDate(2024, 2, 31).has_value());
  EXPECT_FALSE(EncodeDate(2024, 4, 31).has_value());
  EXPECT_FALSE(EncodeDate(0, 1, 1).has_value());
  EXPECT_FALSE(EncodeDate(10000, 1, 1).has_value());
  EXPECT_FALSE(EncodeDate(2024, 0, 1).has_value());
  EXPECT_FALSE(EncodeDate(std::numeric_limits<int64_t>::max(), 1, 1).has_value());
  EXPECT_FALSE(EncodeTime(24, 0, 0, 0).has_value());
  EXPECT_FALSE(EncodeTime(0, 0, 0, -1).has_value());
  EXPECT_EQ(EncodeTime(23, 59, 59, 999), kMaxTime);
}

TEST(DateTime, WeekdaysAndIsoWeeks) {
  struct Case {
    int year, month, day;
    int day_of_week, day_of_year, week;
  } const cases[] = {
      {2013, 12, 9, 1, 343, 50},                             // a Monday
      {2010, 1, 3, 7, 3, 53},                                // belongs to the last week of 2009
      {2010, 1, 4, 1, 4, 1},     {2008, 12, 29, 1, 364, 1},  // belongs to the first week of 2009
      {2024, 12, 31, 2, 366, 1}, {1, 1, 1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    const TDate date = EncodeDate(c.year, c.month, c.day).value();
    EXPECT_EQ(DayOfWeek(date), c.day_of_week) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(DayOfYear(date), c.day_of_year);
    EXPECT_EQ(IsoWeekOf(date), c.week);
  }
  EXPECT_EQ(DayOfWeek(0), 7);
  for (TDate extreme : {std::numeric_limits<TDate>::min(), std::numeric_limits<TDate>::max()}) {
    EXPECT_GE(DayOfWeek(extreme), 1);
    EXPECT_LE(DayOfWeek(extreme), 7);
    EXPECT_GE(IsoWeekOf(extreme), 1);
    EXPECT_LE(IsoWeekOf(extreme), 53);
  }
}

TEST(DateTime, TimestampsSplitIntoDayAndTime) {
  const TTimestamp stamp = TimestampOf(738'950, 37'800'123);
  EXPECT_EQ(DateOfTimestamp(stamp), 738'950);
  EXPECT_EQ(TimeOfTimestamp(stamp), 37'800'123);
  EXPECT_EQ(DateOfTimestamp(TimestampOf(-3, 5)), -3);
  EXPECT_EQ(TimeOfTimestamp(TimestampOf(-3, 5)), 5);
  EXPECT_EQ(TimeOfTimestamp(stamp + 0.75), 37'800'123);  // fractions of a millisecond dropped
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e300}) {
    EXPECT_FALSE(DateOfTimestamp(bad).has_value()) << bad;
    EXPECT_FALSE(TimeOfTimestamp(bad).has_value()) << bad;
  }
}

TEST(DateTime, ApplicationDateTimesCountFromTheLastDaysOf1899) {
  struct Case {
    double date_time;
    TDate date;
    TTime time;
  } const cases[] = {
      {0.0, kDateTimeEpochDay, 0},
      {0.5, kDateTimeEpochDay, 43'200'000},
      {45'356.25, kDateTimeEpochDay + 45'356, 21'600'000},
      {-1.25, kDateTimeEpochDay - 1, 21'600'000},  // the fraction counts without its sign
      {-693'593.0, 1, 0},
  };
  for (const Case& c : cases) {
    const TTimestamp stamp = TimestampFromDateTime(c.date_time).value();
    EXPECT_EQ(stamp, TimestampOf(c.date, c.time)) << c.date_time;
    EXPECT_DOUBLE_EQ(DateTimeFromTimestamp(stamp).value(), c.date_time);
  }
  // Rounding to the millisecond carries into the next day.
  EXPECT_EQ(TimestampFromDateTime(0.9999999999), TimestampOf(kDateTimeEpochDay + 1, 0));
  EXPECT_FALSE(TimestampFromDateTime(std::nan("")).has_value());
  EXPECT_FALSE(TimestampFromDateTime(1e12).has_value());
}

}  // namespace
}  // namespace veltra
