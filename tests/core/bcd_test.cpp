// Decimal numbers: texts to values and back, the fixed-point form at its limits, damaged values.
#include "core/bcd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/value_text.h"

namespace veltra {
namespace {

std::string TextOf(const TBcd& value, uint8_t max_decimals = kBcdFixedScale) {
  char out[kMaxBcdTextLength] = {};
  const std::optional<size_t> length = BcdToText(value, out, max_decimals);
  return length ? std::string(out, *length) : std::string("<invalid>");
}

TEST(Bcd, TextsReadRoundedToTheScaleAndWriteBack) {
  struct Case {
    const char* text;
    uint8_t scale;
    const char* written;  // null: does not convert
  } const cases[] = {
      {"123.45", 2, "123.45"},
      {"-123.45", 2, "-123.45"},
      {"+7", 0, "7"},
      {" 0.0001 ", 4, "0.0001"},
      {"1.23456", 4, "1.2346"},    // half away from zero
      {"-1.23455", 4, "-1.2346"},  // half away from zero, negative
      {"0.00004", 4, "0"},         // rounds to zero: no "-" either way
      {"-0.00004", 4, "0"},
      {"9.99995", 4, "10"},  // the carry runs through every digit
      {"2.50", 0, "3"},
      {".5", 1, "0.5"},
      {"5.", 0, "5"},
      {"000123.4500", 4, "123.45"},
      {"12.5", 6, "12.5"},
      {"1.000000001", 4, "1"},
      {"0.00000000000000000000000000000000000000000000000000000000000000000000001", 4, "0"},
      {"9999999999999999999999999999999999999999999999999999999999999999", 0,
       "9999999999999999999999999999999999999999999999999999999999999999"},
      {"99999999999999999999999999999999999999999999999999999999999999999", 0, nullptr},
      {"9999999999999999999999999999999999999999999999999999999999999999.5", 0, nullptr},
      {"1e5", 0, nullptr},
      {"1,5", 1, nullptr},
      {"--1", 0, nullptr},
      {"1.2.3", 0, nullptr},
      {".", 0, nullptr},
      {"-", 0, nullptr},
      {"", 0, nullptr},
      {"1", 64, nullptr},  // no scale above 63
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<TBcd> value = BcdFromText(c.text, c.scale);
    if (c.written == nullptr) {
      EXPECT_FALSE(value.has_value());
      continue;
    }
    ASSERT_TRUE(value.has_value());
    EXPECT_TRUE(IsValidBcd(*value));
    EXPECT_EQ(value->Scale(), c.scale);
    EXPECT_EQ(TextOf(*value, 63), c.written);
  }
}

TEST(Bcd, TextKeepsAtMostFourDecimals) {
  EXPECT_EQ(TextOf(BcdFromText("1.123456", 6).value()), "1.1235");
  EXPECT_EQ(TextOf(BcdFromText("-0.00005", 5).value()), "-0.0001");
  EXPECT_EQ(TextOf(BcdFromText("10.10", 2).value()), "10.1");
  EXPECT_EQ(TextOf(BcdZero(2)), "0");
}

TEST(Bcd, LayoutHoldsDigitsFromTheHighHalfOfTheFirstByte) {
  const TBcd value = BcdFromText("-12.345", 3).value();
  EXPECT_EQ(value.precision, 5);
  EXPECT_EQ(value.sign_scale, 0x80 | 3);
  EXPECT_EQ(value.digits[0], 0x12);
  EXPECT_EQ(value.digits[1], 0x34);
  EXPECT_EQ(value.digits[2], 0x50);
  // Fewer digits than the scale: zeros in front keep the digits and the scale aligned.
  const TBcd small = BcdFromText("0.05", 2).value();
  EXPECT_EQ(small.precision, 2);
  EXPECT_EQ(small.digits[0], 0x05);
  EXPECT_EQ(BcdZero(4).precision, 0);
}

TEST(Bcd, FixedPointFormRoundsAndSaturatesAtTheLimits) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  struct Case {
    const char* text;
    uint8_t scale;
    std::optional<int64_t> fixed;
    int64_t saturated;
  } const cases[] = {
      {"1.5", 1, 15000, 15000},
      {"-0.00005", 5, -1, -1},
      {"0.00004", 5, 0, 0},
      {"922337203685477.5807", 4, kMax, kMax},
      {"-922337203685477.5808", 4, kMin, kMin},
      {"922337203685477.5808", 4, std::nullopt, kMax},
      {"920000000000000", 0, 9200000000000000000, 9200000000000000000},
      {"922337203685478", 0, std::nullopt, kMax},
      {"99999999999999999999999999999999999999999999999999999999999999", 0, std::nullopt, kMax},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<TBcd> value = BcdFromText(c.text, c.scale);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(BcdToFixed(*value), c.fixed);
    EXPECT_EQ(BcdToFixedSaturated(*value), c.saturated);
  }
  const TBcd huge_negative = BcdFromText("-" + std::string(60, '9'), 0).value();
  EXPECT_EQ(BcdToFixedSaturated(huge_negative), kMin);
  for (int64_t fixed : {int64_t{0}, int64_t{1}, int64_t{-123456789}, kMax, kMin}) {
    EXPECT_EQ(BcdToFixed(BcdFromFixed(fixed, 4).value()), fixed) << fixed;
  }
  EXPECT_EQ(TextOf(BcdFromFixed(12345, 2).value()), "1.23");
  EXPECT_EQ(TextOf(BcdFromFixed(12355, 2).value()), "1.24");
}

TEST(Bcd, IntegersAndDoubles) {
  EXPECT_EQ(TextOf(BcdFromInt64(std::numeric_limits<int64_t>::min(), 2).value()),
            "-9223372036854775808");
  EXPECT_TRUE(BcdFromInt64(1, 50).has_value());    // 51 digits are fine ...
  EXPECT_TRUE(BcdFromInt64(1, 63).has_value());    // ... and 64
  EXPECT_FALSE(BcdFromInt64(10, 63).has_value());  // 65 are not
  EXPECT_EQ(TextOf(BcdFromDouble(0.1, 4).value()), "0.1");
  EXPECT_EQ(TextOf(BcdFromDouble(2.675, 2).value()), "2.68");
  EXPECT_EQ(TextOf(BcdFromDouble(-1.5e-7, 4).value()), "0");
  EXPECT_EQ(TextOf(BcdFromDouble(1e20, 0).value()), "100000000000000000000");
  EXPECT_FALSE(BcdFromDouble(std::nan(""), 2).has_value());
  EXPECT_FALSE(BcdFromDouble(HUGE_VAL, 2).has_value());
  EXPECT_FALSE(BcdFromDouble(1e300, 0).has_value());
  EXPECT_EQ(BcdToDouble(BcdFromText("-123.456", 3).value()), -123.456);
  EXPECT_EQ(BcdToDouble(BcdZero(3)), 0.0);
  EXPECT_EQ(BcdToInt64(BcdFromText("-7.9", 1).value()), -7);
  EXPECT_FALSE(BcdToInt64(BcdFromText(std::string(20, '9'), 0).value()).has_value());
}

TEST(Bcd, DamagedValuesAreRefusedEverywhere) {
  TBcd bad_digit = BcdFromText("12", 0).value();
  bad_digit.digits[0] = 0x1A;
  TBcd bad_precision;
  bad_precision.precision = 65;
  for (const TBcd& value : {bad_digit, bad_precision}) {
    EXPECT_FALSE(IsValidBcd(value));
    EXPECT_FALSE(IsBcdZero(value));
    EXPECT_FALSE(BcdToFixed(value).has_value());
    EXPECT_EQ(BcdToFixedSaturated(value), 0);
    EXPECT_FALSE(BcdToInt64(value).has_value());
    EXPECT_FALSE(BcdToDouble(value).has_value());
    EXPECT_FALSE(BcdRescale(value, 2).has_value());
    EXPECT_EQ(TextOf(value), "<invalid>");
  }
  // Digits past the precision are not looked at; the reserved bit is ignored.
  TBcd loose = BcdFromText("5", 0).value();
  loose.digits[5] = 0xFF;
  loose.sign_scale |= TBcd::kReservedBit;
  EXPECT_EQ(TextOf(loose), "5");
}

}  // namespace
}  // namespace veltra
