// Conversions between types, through their stored encodings: a table of text to each type and
// back, the number carriers at their ranges, the temporal pairs, byte copies, and the failure text
// of each type.
#include "core/value_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/bcd.h"
#include "core/date_time.h"

namespace veltra {
namespace {

using Bytes = std::vector<uint8_t>;

TValueDesc Desc(TDataType type, uint32_t size = 0, uint8_t scale = 0) {
  return {.type = type, .size = size, .scale = scale};
}

// A value in its stored encoding.
struct Value {
  TValueDesc desc;
  Bytes bytes;
};

Value Text(std::string_view text, uint32_t size = 0) {
  const uint32_t width = size ? size : static_cast<uint32_t>(text.size() + 1);
  Bytes bytes(width, 0);
  std::memcpy(bytes.data(), text.data(), std::min<size_t>(text.size(), width));
  return {Desc(TDataType::dtString, width), bytes};
}

template <typename T, typename Store>
Value Typed(TDataType type, T value, Store store, uint8_t scale = 0) {
  Value v{Desc(type, 0, scale), Bytes(ValueWidth(Desc(type)), 0)};
  store(v.bytes.data(), value);
  return v;
}

Value Int(int32_t value) { return Typed(TDataType::dtInteger, value, StoreInteger); }
Value Large(int64_t value) { return Typed(TDataType::dtLargeInt, value, StoreLargeInt); }
Value Float(double value) { return Typed(TDataType::dtFloat, value, StoreFloat); }
Value Bcd(const char* text, uint8_t scale) {
  return Typed(TDataType::dtBcd, BcdFromText(text, scale).value(), StoreBcd, scale);
}

// The converted value, or nullopt; the target bytes must be zero after a failure.
std::optional<Bytes> Convert(const Value& source, const TValueDesc& target) {
  Bytes out(ValueWidth(target), 0xEE);
  const bool ok = ConvertValue(source.desc, source.bytes.data(), target, out.data());
  if (!ok) {
    EXPECT_EQ(out, Bytes(out.size(), 0)) << "a failed conversion leaves the NULL form";
    return std::nullopt;
  }
  return out;
}

std::string AsText(const std::optional<Bytes>& bytes) {
  if (!bytes) return "<none>";
  return std::string(reinterpret_cast<const char*>(bytes->data()),
                     strnlen(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

// Text to each type and back to text: the canonical text, or null when it does not convert.
TEST(ValueConversion, TextToEveryTypeAndBack) {
  struct Case {
    const char* text;
    TValueDesc target;
    const char* back;
  } const cases[] = {
      {"2024-02-29", Desc(TDataType::dtDate), "2024-02-29"},
      {"2024-02-31", Desc(TDataType::dtDate), nullptr},
      {"12:15 AM", Desc(TDataType::dtTime), "00:15"},
      {"24:00", Desc(TDataType::dtTime), nullptr},
      {"2024-02-29 11:00:01.5 PM", Desc(TDataType::dtTimestamp), "2024-02-29 23:00:01.5"},
      {"2024-02-29 25:00", Desc(TDataType::dtTimestamp), nullptr},
      {"true", Desc(TDataType::dtBoolean), "True"},
      {"yes", Desc(TDataType::dtBoolean), nullptr},
      {"-32768", Desc(TDataType::dtSmallInt), "-32768"},
      {"32768", Desc(TDataType::dtSmallInt), nullptr},
      {"2147483647", Desc(TDataType::dtInteger), "2147483647"},
      {"2147483648", Desc(TDataType::dtInteger), nullptr},
      {"65535", Desc(TDataType::dtWord), "65535"},
      {"-1", Desc(TDataType::dtWord), nullptr},
      {"-9223372036854775808", Desc(TDataType::dtLargeInt), "-9223372036854775808"},
      {"9223372036854775808", Desc(TDataType::dtLargeInt), nullptr},
      {"1.25e2", Desc(TDataType::dtFloat), "125"},
      {"1.2.5", Desc(TDataType::dtFloat), nullptr},
      {"-12.34567", Desc(TDataType::dtBcd, 0, 4), "-12.3457"},
      {"12,5", Desc(TDataType::dtBcd, 0, 2), nullptr},
      {"abcdef", Desc(TDataType::dtString, 4), "abc"},  // cut to the target size
      {"abc", Desc(TDataType::dtBytes, 5), "abc"},
      {"memo text", Desc(TDataType::dtBlob, 20), "memo text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<Bytes> converted = Convert(Text(c.text), c.target);
    if (c.back == nullptr) {
      EXPECT_FALSE(converted.has_value());
      EXPECT_FALSE(TextConvertsTo(c.text, c.target.type, c.target.scale));
      continue;
    }
    ASSERT_TRUE(converted.has_value());
    EXPECT_TRUE(TextConvertsTo(c.text, c.target.type, c.target.scale));
    const Value typed{c.target, *converted};
    EXPECT_EQ(AsText(Convert(typed, Desc(TDataType::dtString, 64))), c.back);
    EXPECT_EQ(ValueToText(c.target, converted->data()), c.back);
  }
}

TEST(ValueConversion, NumbersConvertByValueAndNeverWrap) {
  struct Case {
    Value source;
    TValueDesc target;
    const char* result;  // as text; null: does not convert
  } const cases[] = {
      {Float(-2.9), Desc(TDataType::dtInteger), "-2"},  // truncation toward zero
      {Float(2.9), Desc(TDataType::dtWord), "2"},
      {Float(2147483647.9), Desc(TDataType::dtInteger), "2147483647"},
      {Float(2147483648.0), Desc(TDataType::dtInteger), nullptr},
      {Float(9.3e18), Desc(TDataType::dtLargeInt), nullptr},
      {Float(-9223372036854775808.0), Desc(TDataType::dtLargeInt), "-9223372036854775808"},
      {Float(std::nan("")), Desc(TDataType::dtInteger), nullptr},
      {Float(-HUGE_VAL), Desc(TDataType::dtSmallInt), nullptr},
      {Float(std::nan("")), Desc(TDataType::dtBcd, 0, 2), nullptr},
      {Float(0.1), Desc(TDataType::dtBcd, 0, 4), "0.1"},
      {Large(70000), Desc(TDataType::dtSmallInt), nullptr},
      {Large(-1), Desc(TDataType::dtWord), nullptr},
      {Large(std::numeric_limits<int64_t>::max()), Desc(TDataType::dtFloat), "9.22337203685478E18"},
      {Int(-5), Desc(TDataType::dtBcd, 0, 2), "-5"},
      {Bcd("-7.99", 2), Desc(TDataType::dtInteger), "-7"},
      {Bcd("99999999999", 0), Desc(TDataType::dtInteger), nullptr},
      {Bcd("1.5", 1), Desc(TDataType::dtFloat), "1.5"},
      {Bcd("1.25", 2), Desc(TDataType::dtBcd, 0, 1), "1.3"},  // rescaled, half away from zero
      {Int(0), Desc(TDataType::dtBoolean), "False"},
      {Float(-0.5), Desc(TDataType::dtBoolean), "True"},
      {Bcd("0.00", 2), Desc(TDataType::dtBoolean), "False"},
      {Typed(TDataType::dtBoolean, true, StoreBoolean), Desc(TDataType::dtLargeInt), "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.result ? c.result : "<none>"));
    const std::optional<Bytes> converted = Convert(c.source, c.target);
    if (c.result == nullptr) {
      EXPECT_FALSE(converted.has_value());
      continue;
    }
    ASSERT_TRUE(converted.has_value());
    EXPECT_EQ(ValueToText(c.target, converted->data()), c.result);
  }
}

TEST(ValueConversion, DatesTimesAndTimestamps) {
  const TDate day = EncodeDate(2024, 3, 5).value();
  const TTime time = EncodeTime(10, 30, 0, 0).value();
  const Value date = Typed(TDataType::dtDate, day, StoreDate);
  const Value stamp = Typed(TDataType::dtTimestamp, TimestampOf(day, time), StoreTimestamp);
  const Value clock = Typed(TDataType::dtTime, time, StoreTime);

  EXPECT_EQ(LoadTimestamp(Convert(date, Desc(TDataType::dtTimestamp))->data()),
            TimestampOf(day, 0));
  EXPECT_EQ(LoadDate(Convert(stamp, Desc(TDataType::dtDate))->data()), day);
  EXPECT_EQ(LoadTime(Convert(stamp, Desc(TDataType::dtTime))->data()), time);
  EXPECT_EQ(LoadTimestamp(Convert(clock, Desc(TDataType::dtTimestamp))->data()),
            TimestampOf(kDateTimeEpochDay, time));

  // Pairs that do not convert, and damaged values.
  EXPECT_FALSE(Convert(date, Desc(TDataType::dtTime)));
  EXPECT_FALSE(Convert(clock, Desc(TDataType::dtDate)));
  EXPECT_FALSE(Convert(date, Desc(TDataType::dtInteger)));
  EXPECT_FALSE(Convert(Int(5), Desc(TDataType::dtDate)));
  EXPECT_FALSE(Convert(Typed(TDataType::dtTime, -1, StoreTime), Desc(TDataType::dtTimestamp)));
  EXPECT_FALSE(Convert(Typed(TDataType::dtTimestamp, std::nan(""), StoreTimestamp),
                       Desc(TDataType::dtDate)));
  EXPECT_FALSE(Convert(Typed(TDataType::dtDate, 0, StoreDate), Desc(TDataType::dtString, 20)));
}

TEST(ValueConversion, BytesAreCopiedCutOrZeroFilled) {
  const Value integer = Int(0x04030201);
  EXPECT_EQ(Convert(integer, Desc(TDataType::dtBytes, 6)), (Bytes{1, 2, 3, 4, 0, 0}));
  EXPECT_EQ(Convert(integer, Desc(TDataType::dtVarBytes, 2)), (Bytes{1, 2}));
  const Value raw{Desc(TDataType::dtBytes, 3), Bytes{0x10, 0x20, 0x30}};
  EXPECT_EQ(Convert(raw, Desc(TDataType::dtInteger)), (Bytes{0x10, 0x20, 0x30, 0}));
  EXPECT_EQ(Convert(raw, Desc(TDataType::dtBytes, 2)), (Bytes{0x10, 0x20}));
  EXPECT_EQ(AsText(Convert(raw, Desc(TDataType::dtString, 3))), "\x10\x20");
  // A BLOB gives its content to strings and bytes and converts to nothing else.
  const Value memo{Desc(TDataType::dtBlob, 3), Bytes{'4', '2', 0}};
  EXPECT_EQ(AsText(Convert(memo, Desc(TDataType::dtString, 10))), "42");
  EXPECT_FALSE(Convert(memo, Desc(TDataType::dtInteger)));
  EXPECT_EQ(AsText(Convert(Int(42), Desc(TDataType::dtBlob, 8))), "42");
}

TEST(ValueConversion, EqualTypesAreCopied) {
  EXPECT_EQ(AsText(Convert(Text("abcdef"), Desc(TDataType::dtString, 3))), "ab");
  EXPECT_EQ(Convert(Text("x"), Desc(TDataType::dtString, 0)), std::nullopt);
  Value odd_boolean{Desc(TDataType::dtBoolean), Bytes{7, 0}};
  EXPECT_EQ(Convert(odd_boolean, Desc(TDataType::dtBoolean)), (Bytes{1, 0}));
  // A damaged decimal does not convert.
  Value damaged = Bcd("12", 0);
  damaged.bytes[2] = 0xAB;
  EXPECT_FALSE(Convert(damaged, Desc(TDataType::dtBcd, 0, 2)));
  EXPECT_FALSE(Convert(damaged, Desc(TDataType::dtString, 10)));
  EXPECT_FALSE(Convert(Int(1), Desc(TDataType::dtUnknown)));
}

TEST(ValueConversion, FailuresOutsideTheEngineRaiseTheTextOfTheType) {
  struct Case {
    TDataType type;
    const char* message;
  } const cases[] = {
      {TDataType::dtDate, "'x' is not a valid date"},
      {TDataType::dtTime, "'x' is not a valid time"},
      {TDataType::dtTimestamp, "'x' is not a valid date and time"},
      {TDataType::dtBoolean, "'x' is not a valid boolean"},
      {TDataType::dtSmallInt, "'x' is not a valid integer value"},
      {TDataType::dtLargeInt, "'x' is not a valid integer value"},
      {TDataType::dtFloat, "'x' is not a valid floating point value"},
      {TDataType::dtBcd, "'x' is not a valid BCD value"},
  };
  uint8_t scratch[kMaxStoredSize] = {};
  for (const Case& c : cases) {
    try {
      TextToValueOrRaise("x", Desc(c.type), scratch);
      ADD_FAILURE() << c.message;
    } catch (const EConvertError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
  TextToValueOrRaise("2024-01-01", Desc(TDataType::dtDate), scratch);
  EXPECT_EQ(LoadDate(scratch), EncodeDate(2024, 1, 1).value());
}

TEST(ValueConversion, FieldValueTextsFollowTheFieldType) {
  struct Case {
    const char* text;
    TDataType type;
    bool valid;
  } const cases[] = {
      {"", TDataType::dtBlob, true},
      {"x", TDataType::dtBlob, false},
      {"current_date", TDataType::dtDate, true},
      {"CURRENT_TIME", TDataType::dtDate, false},
      {"2024-02-31", TDataType::dtDate, false},
      {"Current_Time", TDataType::dtTime, true},
      {"12:00 PM", TDataType::dtTime, true},
      {"CURRENT_DATE", TDataType::dtTimestamp, true},
      {"CURRENT_TIME", TDataType::dtTimestamp, true},
      {"CURRENT_TIMESTAMP", TDataType::dtTimestamp, true},
      {"10:00", TDataType::dtTimestamp, true},
      {"CURRENT_TIMESTAMP", TDataType::dtDate, false},
      {"anything", TDataType::dtString, true},
      {"anything", TDataType::dtVarBytes, true},
      {"12.5", TDataType::dtBcd, true},
      {"12.5", TDataType::dtInteger, false},
      {"False", TDataType::dtBoolean, true},
      {"70000", TDataType::dtSmallInt, false},
      // The texts are read as the value readers read them: blanks around a value are ignored,
      // a number has one sign at most, BCD takes no exponent where a float does.
      {" 2024-01-01 ", TDataType::dtDate, true},
      {" 2024-01-01 10:00 ", TDataType::dtTimestamp, true},
      {"12:30:", TDataType::dtTime, false},
      {"+-5", TDataType::dtInteger, false},
      {"-32768", TDataType::dtSmallInt, true},
      {"1e5", TDataType::dtBcd, false},
      {"1e5", TDataType::dtFloat, true},
      {"nan", TDataType::dtFloat, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsValidFieldValueText(c.text, c.type, 2), c.valid) << c.text;
  }
}

// Any bytes in any source type convert to any target type without undefined behaviour, and a
// failure leaves the NULL form (checked inside Convert).
TEST(ValueConversion, ArbitraryStoredBytesConvertSafely) {
  const TDataType types[] = {TDataType::dtString,   TDataType::dtDate,      TDataType::dtBlob,
                             TDataType::dtBoolean,  TDataType::dtSmallInt,  TDataType::dtInteger,
                             TDataType::dtFloat,    TDataType::dtBcd,       TDataType::dtBytes,
                             TDataType::dtTime,     TDataType::dtTimestamp, TDataType::dtWord,
                             TDataType::dtVarBytes, TDataType::dtLargeInt};
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245 + 12345;
    return static_cast<uint8_t>(state >> 16);
  };
  for (int round = 0; round < 40; ++round) {
    for (TDataType from : types) {
      Value source{Desc(from, 40, next() % 70), Bytes(40)};
      for (uint8_t& byte : source.bytes) byte = next();
      if (round % 2 == 0 && from == TDataType::dtBcd) source.bytes[0] %= 65;
      for (TDataType to : types) Convert(source, Desc(to, 1 + next() % 40, next() % 64));
    }
  }
}

}  // namespace
}  // namespace veltra
