// The date and time functions over hand-typed trees: EXTRACT of every part from dates, times and
// timestamps (ISO weeks at year ends, leap years), the millisecond splits, and the current date,
// time and GUID.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "core/date_time.h"
#include "function_fixture.h"
#include "platform/clock.h"

namespace veltra::function_test {
namespace {

struct PartCase {
  const char* label;
  std::function<Node()> build;
  std::optional<int64_t> expected;
};

Node Extract(O part, Node value) { return Fn(part, Of(D::dtInteger), std::move(value)); }

TEST(DateTimeFunctions, ExtractGivesTheCalendarAndClockParts) {
  const PartCase cases[] = {
      {"ISO week of 2010-01-03 belongs to 2009",
       [] { return Extract(O::opExtractWeek, Date("2010-01-03")); }, 53},
      {"ISO week of 2010-01-04", [] { return Extract(O::opExtractWeek, Date("2010-01-04")); }, 1},
      {"ISO week of 2008-12-29 belongs to 2009",
       [] { return Extract(O::opExtractWeek, Date("2008-12-29")); }, 1},
      {"ISO week of a timestamp",
       [] { return Extract(O::opExtractWeek, Stamp("2010-01-03 23:59")); }, 53},
      {"DAYOFWEEK Monday", [] { return Extract(O::opExtractDayOfWeek, Date("2013-12-09")); }, 1},
      {"DAYOFWEEK Sunday", [] { return Extract(O::opExtractDayOfWeek, Date("2013-12-15")); }, 7},
      {"DAYOFYEAR 1 January", [] { return Extract(O::opExtractDayOfYear, Date("2013-01-01")); }, 1},
      {"DAYOFYEAR end of a leap year",
       [] { return Extract(O::opExtractDayOfYear, Date("2012-12-31")); }, 366},
      {"DAYOFYEAR end of a common year",
       [] { return Extract(O::opExtractDayOfYear, Date("2100-12-31")); }, 365},
      {"DAYOFYEAR 1 March of 2000",
       [] { return Extract(O::opExtractDayOfYear, Date("2000-03-01")); }, 61},
      {"YEAR", [] { return Extract(O::opExtractYear, Date("2000-02-29")); }, 2000},
      {"MONTH", [] { return Extract(O::opExtractMonth, Date("2000-02-29")); }, 2},
      {"DAY of a leap day", [] { return Extract(O::opExtractDay, Date("2000-02-29")); }, 29},
      {"HOUR of a timestamp",
       [] { return Extract(O::opExtractHour, Stamp("2010-01-03 13:45:10.250")); }, 13},
      {"MINUTE of a timestamp",
       [] { return Extract(O::opExtractMinute, Stamp("2010-01-03 13:45:10.250")); }, 45},
      {"SECOND of a time", [] { return Extract(O::opExtractSecond, Time("13:45:10.250")); }, 10},
      {"MSECOND of a time", [] { return Extract(O::opExtractMSecond, Time("13:45:10.250")); }, 250},
      {"DAY of a timestamp", [] { return Extract(O::opExtractDay, Stamp("2010-01-03 13:45")); }, 3},
      {"date parts of a time are 0", [] { return Extract(O::opExtractYear, Time("13:45")); }, 0},
      {"DAYOFWEEK of a time is 0", [] { return Extract(O::opExtractDayOfWeek, Time("13:45")); }, 0},
      {"time parts of a date are 0", [] { return Extract(O::opExtractHour, Date("2010-01-03")); },
       0},
      {"NULL date", [] { return Extract(O::opExtractYear, NullOf(D::dtDate)); }, std::nullopt},
      {"untyped NULL", [] { return Extract(O::opExtractYear, NullOf()); }, std::nullopt},
  };
  for (const PartCase& c : cases) {
    Node node = c.build();
    EXPECT_EQ(IntResult(EvaluateTree(*node)), c.expected) << c.label;
  }
}

TEST(DateTimeFunctions, ExtractOfADamagedTimestampIsNull) {
  Node node = Extract(O::opExtractYear, Stamp("2010-01-03"));
  StoreTimestamp(node->Child(0)->Data(), std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(IntResult(EvaluateTree(*node)), std::nullopt);
}

TEST(DateTimeFunctions, MillisecondSplitsRemoveTheLargerUnitsFirst) {
  constexpr int64_t kYear = 31'536'000'000;
  const int64_t ms = 2 * kYear + 3 * int64_t{kMillisecondsPerDay} + 4 * kMillisecondsPerHour +
                     5 * kMillisecondsPerMinute + 6 * kMillisecondsPerSecond + 7;
  const PartCase cases[] = {
      {"years of one year", [] { return Fn(O::opYearsFromMSecs, Of(D::dtInteger), Large(kYear)); },
       1},
      {"days of one year", [] { return Fn(O::opDaysFromMSecs, Of(D::dtInteger), Large(kYear)); },
       0},
      {"years", [ms] { return Fn(O::opYearsFromMSecs, Of(D::dtInteger), Large(ms)); }, 2},
      {"days", [ms] { return Fn(O::opDaysFromMSecs, Of(D::dtInteger), Large(ms)); }, 3},
      {"hours", [ms] { return Fn(O::opHoursFromMSecs, Of(D::dtInteger), Large(ms)); }, 4},
      {"minutes", [ms] { return Fn(O::opMinsFromMSecs, Of(D::dtInteger), Large(ms)); }, 5},
      {"seconds", [ms] { return Fn(O::opSecsFromMSecs, Of(D::dtInteger), Large(ms)); }, 6},
      {"milliseconds", [ms] { return Fn(O::opMSecsFromMSecs, Of(D::dtInteger), Large(ms)); }, 7},
      {"a float is truncated",
       [] { return Fn(O::opSecsFromMSecs, Of(D::dtInteger), Float(2999.9)); }, 2},
      {"a float beyond the integer range",
       [] { return Fn(O::opYearsFromMSecs, Of(D::dtInteger), Float(1e30)); }, std::nullopt},
      {"NaN",
       [] {
         return Fn(O::opYearsFromMSecs, Of(D::dtInteger),
                   Float(std::numeric_limits<double>::quiet_NaN()));
       },
       std::nullopt},
      {"the largest count",
       [] {
         return Fn(O::opYearsFromMSecs, Of(D::dtInteger),
                   Large(std::numeric_limits<int64_t>::max()));
       },
       292'471'208},
  };
  for (const PartCase& c : cases) {
    Node node = c.build();
    EXPECT_EQ(IntResult(EvaluateTree(*node)), c.expected) << c.label;
  }
}

TEST(DateTimeFunctions, CurrentDateAndTimeAreTheLocalClock) {
  auto today = [] {
    platform::LocalDateTime now = platform::CurrentLocalDateTime();
    return *EncodeDate(now.year, now.month, now.day);
  };
  TDate before = today();
  Node date = Fn(O::opCurrentDate, Of(D::dtDate));
  Node stamp = Fn(O::opCurrentTimestamp, Of(D::dtTimestamp));
  Node time = Fn(O::opCurrentTime, Of(D::dtTime));
  TDate got = LoadDate(EvaluateTree(*date).Data());
  TTimestamp got_stamp = LoadTimestamp(EvaluateTree(*stamp).Data());
  TTime got_time = LoadTime(EvaluateTree(*time).Data());
  TDate after = today();
  EXPECT_TRUE(got == before || got == after);
  EXPECT_TRUE(DateOfTimestamp(got_stamp) == before || DateOfTimestamp(got_stamp) == after);
  EXPECT_TRUE(IsValidTime(got_time));
}

TEST(DateTimeFunctions, CurrentGuidIsANewBracedText) {
  Node first = Fn(O::opCurrentGuid, Text(kGuidStringSize + 1));
  Node second = Fn(O::opCurrentGuid, Text(kGuidStringSize + 1));
  std::string a = TextResult(EvaluateTree(*first)).value();
  std::string b = TextResult(EvaluateTree(*second)).value();
  ASSERT_EQ(a.size(), kGuidStringSize);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.front(), '{');
  EXPECT_EQ(a.back(), '}');
  for (size_t at : {9u, 14u, 19u, 24u}) EXPECT_EQ(a[at], '-') << a;
  EXPECT_EQ(a[15], '4') << "version 4: " << a;
}

}  // namespace
}  // namespace veltra::function_test
