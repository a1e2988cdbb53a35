#include "plugin/date_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veltra::plugin {
namespace {

TEST(DateText, WritesTheThreeLayouts) {
  struct Case {
    double date_time;
    const char* date;
    const char* date_time_text;
    const char* summary;
  };
  const Case cases[] = {
      {0.0, "1899-12-30", "1899-12-30 00:00:00", "30-12-1899"},
      {41398.0, "2013-05-04", "2013-05-04 00:00:00", "04-05-2013"},
      {41398.75, "2013-05-04", "2013-05-04 18:00:00", "04-05-2013"},
      {41398.0 + 86399.0 / 86400, "2013-05-04", "2013-05-04 23:59:59", "04-05-2013"},
      {41398.9999999999, "2013-05-05", "2013-05-05 00:00:00", "05-05-2013"},  // rounds to midnight
      {-1.25, "1899-12-29", "1899-12-29 06:00:00", "29-12-1899"},
      {60.0, "1900-02-28", "1900-02-28 00:00:00", "28-02-1900"},
      {-693593.0, "0001-01-01", "0001-01-01 00:00:00", "01-01-0001"},
      {2958465.5, "9999-12-31", "9999-12-31 12:00:00", "31-12-9999"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDateTime(c.date_time, TDateLayout::dlDate), c.date) << c.date_time;
    EXPECT_EQ(FormatDateTime(c.date_time, TDateLayout::dlDateTime), c.date_time_text);
    EXPECT_EQ(FormatDateTime(c.date_time, TDateLayout::dlSummaryDate), c.summary);
  }
}

TEST(DateText, RefusesValuesWithoutAFourDigitYear) {
  for (double bad : {-693594.0, 2958466.0, 1e300, -1e300, std::nan(""), double(INFINITY)}) {
    EXPECT_THROW(FormatDateTime(bad, TDateLayout::dlDate), std::out_of_range) << bad;
  }
}

TEST(DateText, EncodeIsTheInverseOfDecode) {
  for (double d : {0.0, 41398.75, -1.25, 36525.5, -693593.0}) {
    DateTimeParts p = DecodeDateTime(d);
    EXPECT_DOUBLE_EQ(EncodeDateTime(p), d);
  }
  EXPECT_THROW(EncodeDateTime({.year = 2013, .month = 2, .day = 29}), std::out_of_range);
  EXPECT_NO_THROW(EncodeDateTime({.year = 2012, .month = 2, .day = 29}));
  EXPECT_THROW(EncodeDateTime({.year = 2013, .month = 1, .day = 1, .hour = 24}), std::out_of_range);
}

}  // namespace
}  // namespace veltra::plugin
