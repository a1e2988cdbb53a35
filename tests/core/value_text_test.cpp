// Text forms of every type: tables of texts that read to a value (and the value's own text),
// and texts that do not convert.
#include "core/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/date_time.h"

namespace veltra {
namespace {

TDate Day(int year, int month, int day) { return EncodeDate(year, month, day).value(); }
TTime Ms(int hour, int minute, int second = 0, int millisecond = 0) {
  return EncodeTime(hour, minute, second, millisecond).value();
}

struct DateCase {
  const char* text;
  std::optional<TDate> value;
  const char* written;  // the value's text; null when it equals `text`
};

TEST(ValueText, DatesReadAndWrite) {
  const DateCase cases[] = {
      {"2024-03-05", Day(2024, 3, 5), nullptr},
      {"0001-01-01", 1, nullptr},
      {"1899-12-30", kDateTimeEpochDay, nullptr},
      {"9999-12-31", kMaxDate, nullptr},
      {"2024-2-29", Day(2024, 2, 29), "2024-02-29"},          // numbers of any length
      {" 0002024-003-0005 ", Day(2024, 3, 5), "2024-03-05"},  // blanks around, leading zeros
      {"2023-02-29", std::nullopt, nullptr},                  // not a leap year
      {"2024-02-31", std::nullopt, nullptr},                  // 31 February
      {"1900-02-29", std::nullopt, nullptr},                  // century rule
      {"2000-02-29", Day(2000, 2, 29), nullptr},              // 400-year rule
      {"2024-13-01", std::nullopt, nullptr},
      {"2024-00-10", std::nullopt, nullptr},
      {"0000-01-01", std::nullopt, nullptr},
      {"10000-01-01", std::nullopt, nullptr},
      {"2024-01", std::nullopt, nullptr},
      {"2024-01-01-01", std::nullopt, nullptr},
      {"2024--01", std::nullopt, nullptr},
      {"2024-+1-01", std::nullopt, nullptr},
      {"2024/01/01", std::nullopt, nullptr},
      {"99999999999999999999-01-01", std::nullopt, nullptr},  // saturates, no overflow
      {"", std::nullopt, nullptr},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextToDate(c.text), c.value);
    if (c.value) {
      EXPECT_EQ(DateToText(*c.value).value().View(), c.written ? c.written : c.text);
    }
  }
}

TEST(ValueText, DatesWithoutTextForm) {
  for (TDate date : {0, -5, kMaxDate + 1, std::numeric_limits<TDate>::max(),
                     std::numeric_limits<TDate>::min()}) {
    EXPECT_FALSE(DateToText(date).has_value()) << date;
  }
}

struct TimeCase {
  const char* text;
  std::optional<TTime> value;
  const char* written;  // the 24-hour text; null when it equals `text`
};

TEST(ValueText, TimesReadAndWrite) {
  const TimeCase cases[] = {
      {"10:30", Ms(10, 30), nullptr},
      {"10:30:15", Ms(10, 30, 15), nullptr},
      {"10:30:15.250", Ms(10, 30, 15, 250), nullptr},
      {"10:30:15.5", Ms(10, 30, 15, 5), nullptr},     // milliseconds are a count
      {"10:30:00.500", Ms(10, 30, 0, 500), "10:30"},  // no seconds: no milliseconds written
      {"00:00", 0, nullptr},
      {"23:59:59.999", kMaxTime, nullptr},
      {"7:5", Ms(7, 5), "07:05"},
      {"12:00 AM", 0, "00:00"},
      {"12:30 am", Ms(0, 30), "00:30"},
      {"12:00 PM", Ms(12, 0), "12:00"},
      {"01:15 PM", Ms(13, 15), "13:15"},
      {"11:59:59 PM", Ms(23, 59, 59), "23:59:59"},
      {"PM 3:00", Ms(15, 0), "15:00"},
      {"  09:45  ", Ms(9, 45), "09:45"},
      {"24:00", std::nullopt, nullptr},  // hour 24
      {"12:60", std::nullopt, nullptr},
      {"12:00:60", std::nullopt, nullptr},
      {"12:00:00.1000", std::nullopt, nullptr},
      {"13:00 PM", std::nullopt, nullptr},  // 25 o'clock
      {"10", std::nullopt, nullptr},
      {"10:", std::nullopt, nullptr},
      {":30", std::nullopt, nullptr},
      {"10:30.5", std::nullopt, nullptr},  // milliseconds only after seconds
      {"10:30:15:01", std::nullopt, nullptr},
      {"10 : 30", std::nullopt, nullptr},
      {"-1:30", std::nullopt, nullptr},
      {"99999999999999999999:00", std::nullopt, nullptr},
      {"AM", std::nullopt, nullptr},
      {"", std::nullopt, nullptr},
  };
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextToTime(c.text), c.value);
    if (c.value) {
      EXPECT_EQ(TimeToText(*c.value).value().View(), c.written ? c.written : c.text);
    }
  }
}

TEST(ValueText, TwelveHourFormShowsTwelveForMidnight) {
  const std::pair<TTime, const char*> cases[] = {
      {0, "12:00 AM"},         {Ms(0, 5, 7), "12:05:07 AM"},          {Ms(11, 59), "11:59 AM"},
      {Ms(12, 0), "12:00 PM"}, {Ms(13, 30, 1, 20), "01:30:01.20 PM"}, {Ms(23, 0), "11:00 PM"},
  };
  for (const auto& [time, text] : cases) {
    EXPECT_EQ(TimeToText(time, TTimeTextForm::tf12Hour).value().View(), text);
    EXPECT_EQ(TextToTime(text), time) << text;
  }
  EXPECT_FALSE(TimeToText(-1).has_value());
  EXPECT_FALSE(TimeToText(kMillisecondsPerDay).has_value());
}

struct TimestampCase {
  const char* text;
  std::optional<TTimestamp> value;
  const char* written;
};

TEST(ValueText, TimestampsReadAndWrite) {
  const TimestampCase cases[] = {
      {"2024-03-05 10:30:15.250", TimestampOf(Day(2024, 3, 5), Ms(10, 30, 15, 250)), nullptr},
      {"2024-03-05 10:30 PM", TimestampOf(Day(2024, 3, 5), Ms(22, 30)), "2024-03-05 22:30"},
      {"2024-03-05 12:00 AM", TimestampOf(Day(2024, 3, 5), 0), "2024-03-05 00:00"},
      {"2024-03-05", TimestampOf(Day(2024, 3, 5), 0), "2024-03-05 00:00"},
      {"10:30", TimestampOf(kDateTimeEpochDay, Ms(10, 30)), "1899-12-30 10:30"},
      {"2024-02-31 10:00", std::nullopt, nullptr},
      {"2024-03-05 24:00", std::nullopt, nullptr},
      {"2024-03-05 ", TimestampOf(Day(2024, 3, 5), 0), "2024-03-05 00:00"},
      {"2024-03-05 x", std::nullopt, nullptr},
      {"noon", std::nullopt, nullptr},
      {"", std::nullopt, nullptr},
  };
  for (const TimestampCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextToTimestamp(c.text), c.value);
    if (c.value) {
      EXPECT_EQ(TimestampToText(*c.value).value().View(), c.written ? c.written : c.text);
    }
  }
  for (double bad : {std::nan(""), HUGE_VAL, -1.0, 1e300}) {
    EXPECT_FALSE(TimestampToText(bad).has_value()) << bad;
  }
}

TEST(ValueText, BooleansInAnyCase) {
  EXPECT_EQ(TextToBoolean("TRUE"), true);
  EXPECT_EQ(TextToBoolean("tRuE"), true);
  EXPECT_EQ(TextToBoolean(" false "), false);
  for (const char* bad : {"1", "0", "yes", "T", "TRUEX", ""}) {
    EXPECT_FALSE(TextToBoolean(bad).has_value()) << bad;
  }
  EXPECT_EQ(BooleanToText(true).View(), "True");
  EXPECT_EQ(BooleanToText(false).View(), "False");
}

TEST(ValueText, IntegersWithinTheirRange) {
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  struct Case {
    const char* text;
    int64_t min, max;
    std::optional<int64_t> value;
  } const cases[] = {
      {"0", kMin, kMax, 0},
      {"-17", kMin, kMax, -17},
      {"+17", kMin, kMax, 17},
      {" 42 ", kMin, kMax, 42},
      {"9223372036854775807", kMin, kMax, kMax},
      {"-9223372036854775808", kMin, kMax, kMin},
      {"9223372036854775808", kMin, kMax, std::nullopt},
      {"-9223372036854775809", kMin, kMax, std::nullopt},
      {"184467440737095516160", kMin, kMax, std::nullopt},  // past 2^64: no wrap
      {"32767", -32768, 32767, 32767},
      {"32768", -32768, 32767, std::nullopt},
      {"-1", 0, 65535, std::nullopt},
      {"1.5", kMin, kMax, std::nullopt},
      {"1e3", kMin, kMax, std::nullopt},
      {"-", kMin, kMax, std::nullopt},
      {"", kMin, kMax, std::nullopt},
      {"12a", kMin, kMax, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextToInteger(c.text, c.min, c.max), c.value) << c.text;
  }
  EXPECT_EQ(IntegerToText(kMin).View(), "-9223372036854775808");
}

TEST(ValueText, FloatsReadDecimalTexts) {
  struct Case {
    const char* text;
    std::optional<double> value;
  } const cases[] = {
      {"1.5", 1.5},
      {"-0.25", -0.25},
      {"+3", 3.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"1.5e3", 1500},
      {"1E-2", 0.01},
      {" 2 ", 2.0},
      {"1e-400", 0},
      {"1e400", std::nullopt},
      {"1,5", std::nullopt},
      {"1e", std::nullopt},
      {"e5", std::nullopt},
      {".", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"0x10", std::nullopt},
      {"1.2.3", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToFloat(c.text), c.value) << c.text;
}

TEST(ValueText, FloatTextsAreShortestAndRoundTrip) {
  const char* const texts[] = {"0",
                               "1",
                               "-1",
                               "0.1",
                               "0.3",
                               "123.456",
                               "1234567890",
                               "0.00001",
                               "1E-6",
                               "1.5E-7",
                               "1E15",
                               "-2.5E20",
                               "1E-300",
                               "123456789012345",
                               "0.000123",
                               "3.14159265358979",
                               "1.7976931348623E308"};
  for (const char* text : texts) {
    const std::optional<double> value = TextToFloat(text);
    ASSERT_TRUE(value.has_value()) << text;
    EXPECT_EQ(FloatToText(*value).View(), text);
  }
  // At most 15 significant digits.
  EXPECT_EQ(FloatToText(0.1 + 0.2).View(), "0.3");
  EXPECT_EQ(FloatToText(1.0 / 3).View(), "0.333333333333333");
  EXPECT_EQ(FloatToText(999999999999999.9).View(), "1E15");
  EXPECT_EQ(FloatToText(-0.0).View(), "0");
  EXPECT_EQ(FloatToText(std::nan("")).View(), "NAN");
  EXPECT_EQ(FloatToText(-HUGE_VAL).View(), "-INF");
}

}  // namespace
}  // namespace veltra
