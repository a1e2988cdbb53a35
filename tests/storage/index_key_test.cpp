// Index keys: the golden encodings, the key order property for every type ascending and
// descending (with NULLs), case-insensitive Polish strings, BCD rounding and saturation, the
// full-text key and comparisons over a key prefix.
#include "storage/index_key.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "storage/index_format.h"

namespace veltra {
namespace {

constexpr platform::LocaleId kPolishLocaleId = 0x0415;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> bytes;
  for (int value : values) bytes.push_back(static_cast<uint8_t>(value));
  return bytes;
}

TBcd MakeBcd(int64_t mantissa, uint8_t scale) {
  TBcd bcd;
  if (mantissa == 0) return bcd;
  const uint64_t magnitude =
      mantissa < 0 ? 0 - static_cast<uint64_t>(mantissa) : static_cast<uint64_t>(mantissa);
  const std::string digits = std::to_string(magnitude);
  bcd.precision = static_cast<uint8_t>(digits.size());
  bcd.sign_scale = static_cast<uint8_t>((mantissa < 0 ? TBcd::kSignBit : 0) | scale);
  for (size_t i = 0; i < digits.size(); ++i) bcd.SetDigit(i, static_cast<uint8_t>(digits[i] - '0'));
  return bcd;
}

TBcd BcdOfDigits(const std::string& digits, uint8_t scale, bool negative = false) {
  TBcd bcd;
  bcd.precision = static_cast<uint8_t>(digits.size());
  bcd.sign_scale = static_cast<uint8_t>((negative ? TBcd::kSignBit : 0) | scale);
  for (size_t i = 0; i < digits.size(); ++i) bcd.SetDigit(i, static_cast<uint8_t>(digits[i] - '0'));
  return bcd;
}

template <typename Encode, typename Value>
std::vector<uint8_t> Encoded(Encode encode, Value value, size_t width) {
  std::vector<uint8_t> out(width);
  encode(value, out.data());
  return out;
}

TEST(IndexKeyEncoding, ValuesEncodeToTheirGoldenBytes) {
  EXPECT_EQ(Encoded(EncodeIntegerKey, 5, 4), Bytes({0x80, 0, 0, 5}));
  EXPECT_EQ(Encoded(EncodeIntegerKey, -5, 4), Bytes({0x7F, 0xFF, 0xFF, 0xFB}));
  EXPECT_EQ(Encoded(EncodeIntegerKey, -1, 4), Bytes({0x7F, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Encoded(EncodeSmallIntKey, int16_t{-2}, 2), Bytes({0x7F, 0xFE}));
  EXPECT_EQ(Encoded(EncodeWordKey, uint16_t{0x1234}, 2), Bytes({0x12, 0x34}));
  EXPECT_EQ(Encoded(EncodeLargeIntKey, int64_t{1}, 8), Bytes({0x80, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(Encoded(EncodeFloatKey, 1.0, 8), Bytes({0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Encoded(EncodeFloatKey, -1.0, 8),
            Bytes({0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Encoded(EncodeBcdKey, MakeBcd(125, 2), 8),  // 1.25 x 10,000
            Bytes({0x80, 0, 0, 0, 0, 0, 0x30, 0xD4}));
}

// The sign of a float key is the value's: -0.0 and +0.0 are one key.
TEST(IndexKeyEncoding, NegativeZeroAndPositiveZeroShareOneFloatKey) {
  EXPECT_EQ(Encoded(EncodeFloatKey, -0.0, 8), Encoded(EncodeFloatKey, 0.0, 8));
  EXPECT_EQ(Encoded(EncodeFloatKey, 0.0, 8), Bytes({0x80, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_LT(Encoded(EncodeFloatKey, -std::numeric_limits<double>::denorm_min(), 8),
            Encoded(EncodeFloatKey, -0.0, 8));
  EXPECT_LT(Encoded(EncodeFloatKey, std::numeric_limits<double>::infinity(), 8),
            Encoded(EncodeFloatKey, std::numeric_limits<double>::quiet_NaN(), 8));
}

TEST(IndexKeyEncoding, BcdKeysRoundToFourDecimalsAndSaturateAtTheEnds) {
  struct Case {
    const char* name;
    TBcd value;
    int64_t key_value;
  };
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  const Case cases[] = {
      {"zero", TBcd{}, 0},
      {"negative zero", BcdOfDigits("0", 0, true), 0},
      {"four decimals", MakeBcd(-12345, 4), -12345},
      {"fifth decimal rounds up", MakeBcd(123455, 5), 12346},
      {"fifth decimal rounds down", MakeBcd(123454, 5), 12345},
      {"negative rounds away from zero", MakeBcd(-123455, 5), -12346},
      {"tiny value", BcdOfDigits("4", 9), 0},
      {"largest exact", MakeBcd(922337203685477, 0), 9223372036854770000},
      {"9.3e14 saturates", MakeBcd(930000000000000, 0), kMax},
      {"-9.3e14 saturates", MakeBcd(-930000000000000, 0), -kMax},
      {"64 nines saturate", BcdOfDigits(std::string(64, '9'), 0), kMax},
      {"64 nines with rounding", BcdOfDigits(std::string(64, '9'), 63), 100000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BcdKeyValue(c.value), c.key_value);
  }
  // A digit nibble above 9 (a damaged value) counts as 9.
  TBcd damaged = BcdOfDigits("10", 0);
  damaged.digits[0] = 0x1F;
  EXPECT_EQ(BcdKeyValue(damaged), 190000);
  // Values that agree to four decimals collide: the documented price of the 64-bit key.
  EXPECT_EQ(BcdKeyValue(MakeBcd(1000001, 6)), BcdKeyValue(MakeBcd(1000002, 6)));
  // A precision byte past 64 digits is read as 64, never beyond the digits.
  TBcd huge = BcdOfDigits(std::string(64, '1'), 0);
  huge.precision = 255;
  EXPECT_EQ(BcdKeyValue(huge), kMax);
}

// ---- The key order property -------------------------------------------------------------------

struct Sample {
  bool null = false;
  std::vector<uint8_t> stored;
  long double number = 0;  // the value of numeric types
  std::string text;        // the value of strings and bytes
};

struct TypeCase {
  const char* name;
  TKeyFieldType type;
  std::function<Sample(std::mt19937_64&)> make;
  // <0, 0, >0 as the values compare (both present).
  std::function<int(const Sample&, const Sample&)> compare;
};

int CompareNumbers(const Sample& a, const Sample& b) {
  return (a.number > b.number) - (a.number < b.number);
}
int CompareBytes(const Sample& a, const Sample& b) { return (a.text > b.text) - (a.text < b.text); }

template <typename T, typename Store>
Sample NumberSample(T value, size_t size, Store store) {
  Sample sample;
  sample.stored.resize(size);
  store(sample.stored.data(), value);
  sample.number = static_cast<long double>(value);
  return sample;
}

double RandomDouble(std::mt19937_64& random) {
  switch (random() % 4) {
    case 0:
      return static_cast<double>(static_cast<int64_t>(random() % 2001) - 1000);
    case 1:
      return (random() % 2 ? -1.0 : 1.0) * std::ldexp(static_cast<double>(random() % 1000),
                                                      static_cast<int>(random() % 200) - 100);
    case 2:
      return random() % 2 ? -0.0 : 0.0;
    default:
      return static_cast<double>(random() % 7) - 3.5;
  }
}

std::vector<TypeCase> TypeCases() {
  using DT = TDataType;
  auto i32 = [](DT) {
    return [](std::mt19937_64& random) {
      const int32_t values[] = {0, -1, 1, INT32_MIN, INT32_MAX};
      const int32_t value =
          random() % 3 == 0 ? values[random() % 5] : static_cast<int32_t>(random());
      return NumberSample(value, 4, StoreI32Le);
    };
  };
  return {
      {"integer", {DT::dtInteger, TDataSubType::dsNone, 4}, i32(DT::dtInteger), CompareNumbers},
      {"date", {DT::dtDate, TDataSubType::dsNone, 4}, i32(DT::dtDate), CompareNumbers},
      {"time", {DT::dtTime, TDataSubType::dsNone, 4}, i32(DT::dtTime), CompareNumbers},
      {"small integer",
       {DT::dtSmallInt, TDataSubType::dsNone, 2},
       [](std::mt19937_64& r) { return NumberSample(static_cast<int16_t>(r()), 2, StoreI16Le); },
       CompareNumbers},
      {"word",
       {DT::dtWord, TDataSubType::dsNone, 2},
       [](std::mt19937_64& r) { return NumberSample(static_cast<uint16_t>(r()), 2, StoreU16Le); },
       CompareNumbers},
      {"Boolean",
       {DT::dtBoolean, TDataSubType::dsNone, 2},
       [](std::mt19937_64& r) {
         Sample s = NumberSample(static_cast<uint16_t>(r() % 3), 2, StoreU16Le);
         s.number = s.number != 0;  // any value but 0 is true
         return s;
       },
       CompareNumbers},
      {"large integer",
       {DT::dtLargeInt, TDataSubType::dsNone, 8},
       [](std::mt19937_64& r) { return NumberSample(static_cast<int64_t>(r()), 8, StoreI64Le); },
       CompareNumbers},
      {"float",
       {DT::dtFloat, TDataSubType::dsNone, 8},
       [](std::mt19937_64& r) { return NumberSample(RandomDouble(r), 8, StoreF64Le); },
       CompareNumbers},
      {"timestamp",
       {DT::dtTimestamp, TDataSubType::dsNone, 8},
       [](std::mt19937_64& r) {
         return NumberSample(static_cast<double>(r() % 100000000000000) - 5e13, 8, StoreF64Le);
       },
       CompareNumbers},
      {"BCD",
       {DT::dtBcd, TDataSubType::dsNone, 34},
       [](std::mt19937_64& r) {
         const auto mantissa = static_cast<int64_t>(r() % 1800000000000000) - 900000000000000;
         const auto scale = static_cast<uint8_t>(r() % 5);
         Sample s;
         s.stored.resize(34);
         StoreBcd(s.stored.data(), MakeBcd(mantissa, scale));
         // The exact value x 10,000 is an integer: compare that, not the rounded quotient.
         s.number = static_cast<long double>(mantissa) * std::pow(10.0L, 4 - scale);
         return s;
       },
       CompareNumbers},
      {"bytes",
       {DT::dtBytes, TDataSubType::dsNone, 6},
       [](std::mt19937_64& r) {
         Sample s;
         for (int i = 0; i < 6; ++i) s.stored.push_back(static_cast<uint8_t>(r() % 4 * 85));
         s.text.assign(s.stored.begin(), s.stored.end());
         return s;
       },
       CompareBytes},
      {"string without locale",
       {DT::dtString, TDataSubType::dsNone, 9},
       [](std::mt19937_64& r) {
         Sample s;
         const size_t length = r() % 9;
         for (size_t i = 0; i < length; ++i) s.text.push_back(static_cast<char>('A' + r() % 4));
         s.stored.assign(s.text.begin(), s.text.end());
         s.stored.resize(9, 0);
         return s;
       },
       CompareBytes},
  };
}

// Keys built from random values compare as their values do, reversed for a descending field;
// NULL sorts before every value of an ascending field and after every value of a descending one.
TEST(IndexKeyOrder, KeyOrderEqualsValueOrderForEveryType) {
  for (const TypeCase& type_case : TypeCases()) {
    for (bool descending : {false, true}) {
      SCOPED_TRACE(std::string(type_case.name) + (descending ? " descending" : " ascending"));
      const TKeyLayout::FieldSpec spec{type_case.type, descending};
      const TKeyLayout layout({&spec, 1}, /*unique=*/true, false, nullptr);
      ASSERT_EQ(layout.KeySize(), uint32_t{KeyWidthOf(type_case.type)} + 1);
      std::mt19937_64 random(7);
      std::vector<Sample> samples;
      std::vector<std::vector<uint8_t>> keys;
      for (int i = 0; i < 300; ++i) {
        Sample sample;
        if (i % 50 == 0) {
          sample.null = true;
        } else {
          sample = type_case.make(random);
        }
        std::vector<uint8_t> key(layout.KeySize(), 0xEE);
        layout.EncodeField(0, sample.null ? nullptr : sample.stored.data(), key);
        samples.push_back(std::move(sample));
        keys.push_back(std::move(key));
      }
      for (size_t i = 0; i < samples.size(); ++i) {
        for (size_t j = 0; j < samples.size(); j += 7) {
          const Sample& a = samples[i];
          const Sample& b = samples[j];
          int expected = a.null || b.null ? (b.null - a.null) : type_case.compare(a, b);
          expected = (expected > 0) - (expected < 0);
          if (descending) expected = -expected;
          ASSERT_EQ(layout.Compare(keys[i], keys[j]), expected) << i << " vs " << j;
          if (!descending) {  // ascending keys sort byte by byte
            ASSERT_EQ((keys[i] > keys[j]) - (keys[i] < keys[j]), expected) << i << " vs " << j;
          }
        }
      }
    }
  }
}

std::string RandomPolishText(std::mt19937_64& random, size_t max_length) {
  // Windows-1250: a A e E l L o O z Z, then a-ogonek, e-ogonek, l-stroke, o-acute, z-dot,
  // s-acute, c-acute, n-acute in both cases, and a blank.
  static const uint8_t kAlphabet[] = {'a',  'A',  'e',  'E',  'l',  'L',  'o',  'O',  'z',  'Z',
                                      's',  'c',  'n',  0xB9, 0xA5, 0xEA, 0xCA, 0xB3, 0xA3, 0xF3,
                                      0xD3, 0xBF, 0xAF, 0x9C, 0x8C, 0xE6, 0xC6, 0xF1, 0xD1, ' '};
  std::string text;
  const size_t length = 1 + random() % max_length;
  for (size_t i = 0; i < length; ++i) {
    text.push_back(static_cast<char>(kAlphabet[random() % sizeof(kAlphabet)]));
  }
  return text;
}

// A case-insensitive index with the Polish locale: keys compare as the texts do under the
// locale's order without regard to case, in both directions, and upper-cased texts are stored.
TEST(IndexKeyOrder, PolishCaseInsensitiveKeysFollowTheLocaleOrder) {
  const platform::LocaleServices* polish = platform::LocaleServicesOf(kPolishLocaleId);
  if (polish == nullptr) GTEST_SKIP() << "the Polish locale is not available";
  const TKeyFieldType field{TDataType::dtString, TDataSubType::dsNone, 21};
  for (bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending" : "ascending");
    const TKeyLayout::FieldSpec spec{field, descending};
    const TKeyLayout layout({&spec, 1}, /*unique=*/false, /*case_insensitive=*/true, polish);
    ASSERT_EQ(layout.KeySize(), 22u + 4u);
    std::mt19937_64 random(11);
    std::vector<std::string> texts;
    std::vector<std::vector<uint8_t>> keys;
    for (int i = 0; i < 200; ++i) {
      std::string text = RandomPolishText(random, 20);
      std::vector<uint8_t> stored(text.begin(), text.end());
      stored.resize(21, 0);
      std::vector<uint8_t> key(layout.KeySize(), 0);
      layout.EncodeField(0, stored.data(), key);
      layout.SetRecordId(key, 1);
      texts.push_back(text);
      keys.push_back(std::move(key));
    }
    const std::string upper = polish->UpperCase(texts[0]);
    EXPECT_EQ(std::string(keys[0].begin() + 1, keys[0].begin() + 1 + upper.size()), upper);
    for (size_t i = 0; i < texts.size(); ++i) {
      for (size_t j = 0; j < texts.size(); j += 3) {
        int expected = polish->Compare(texts[i], texts[j], platform::CaseCompare::ccIgnoreCase);
        expected = (expected > 0) - (expected < 0);
        if (descending) expected = -expected;
        ASSERT_EQ(layout.Compare(keys[i], keys[j]), expected)
            << polish->ToUtf8(texts[i]) << " vs " << polish->ToUtf8(texts[j]);
      }
    }
  }
  // The locale orders l-stroke after l and before m, which bytes would not (0xB3 > 'm').
  const TKeyLayout::FieldSpec spec{field, false};
  const TKeyLayout layout({&spec, 1}, true, true, polish);
  auto key_of = [&](std::string text) {
    std::vector<uint8_t> stored(text.begin(), text.end());
    stored.resize(21, 0);
    std::vector<uint8_t> key(layout.KeySize());
    layout.EncodeField(0, stored.data(), key);
    return key;
  };
  EXPECT_LT(layout.Compare(key_of("lz"), key_of("\xB3"
                                                "a")),
            0);
  EXPECT_LT(layout.Compare(key_of("\xB3"
                                  "z"),
                           key_of("ma")),
            0);
  EXPECT_EQ(layout.Compare(key_of("\xB3\xF3"
                                  "d\xBF"),
                           key_of("\xA3\xD3"
                                  "D\xAF")),
            0);
}

// Two fields, the second descending, then the RecordID: each part decides in its own direction
// and a comparison limited to a prefix sees only that prefix.
TEST(IndexKeyOrder, FieldsDecideInTurnAndAPrefixComparesOnlyItsBytes) {
  const TKeyLayout::FieldSpec specs[] = {
      {{TDataType::dtInteger, TDataSubType::dsNone, 4}, false},
      {{TDataType::dtSmallInt, TDataSubType::dsNone, 2}, true},
  };
  const TKeyLayout layout(specs, /*unique=*/false, false, nullptr);
  ASSERT_EQ(layout.KeySize(), 5u + 3u + 4u);
  auto key = [&](int32_t first, int16_t second, int32_t record_id) {
    std::vector<uint8_t> out(layout.KeySize());
    uint8_t stored[4];
    StoreI32Le(stored, first);
    layout.EncodeField(0, stored, out);
    StoreI16Le(stored, second);
    layout.EncodeField(1, stored, out);
    layout.SetRecordId(out, record_id);
    return out;
  };
  EXPECT_EQ(layout.Compare(key(1, 9, 1), key(2, 0, 1)), -1);
  EXPECT_EQ(layout.Compare(key(1, 9, 1), key(1, 0, 1)), -1);  // descending second field
  EXPECT_EQ(layout.Compare(key(1, 0, 1), key(1, 0, 2)), -1);  // the RecordID ascends
  EXPECT_EQ(layout.Compare(key(1, 0, 1).data(), key(1, 0, 2).data(), 8), 0);
  EXPECT_EQ(layout.Compare(key(1, 9, 1).data(), key(1, 0, 1).data(), 5), 0);
  EXPECT_EQ(layout.Compare(key(1, 9, 1).data(), key(1, 0, 1).data(), 1000), -1);
}

TEST(IndexKeyFullText, KeyHoldsFieldWordAndRecordIdAndComparesInThreeParts) {
  const platform::LocaleServices* polish = platform::LocaleServicesOf(kPolishLocaleId);
  const TKeyLayout byte_layout = TKeyLayout::FullText(nullptr);
  std::vector<uint8_t> key(kFullTextKeySize, 0xEE);
  byte_layout.EncodeFullTextKey(3, "ab", 5, key);
  std::vector<uint8_t> expected(kFullTextKeySize, 0);
  expected[0] = 1;
  expected[2] = 3;
  expected[3] = 'A';
  expected[4] = 'B';
  expected[64] = 0x80;
  expected[67] = 5;
  EXPECT_EQ(key, expected);
  // A word longer than 61 characters is cut; the RecordID stays in place.
  byte_layout.EncodeFullTextKey(1, std::string(80, 'x'), 7, key);
  EXPECT_EQ(key[63], 'X');
  EXPECT_EQ(key[67], 7);

  if (polish == nullptr) GTEST_SKIP() << "the Polish locale is not available";
  const TKeyLayout layout = TKeyLayout::FullText(polish);
  auto full_text = [&](int16_t field, std::string word, int32_t id) {
    std::vector<uint8_t> out(kFullTextKeySize);
    layout.EncodeFullTextKey(field, word, id, out);
    return out;
  };
  EXPECT_LT(layout.Compare(full_text(1, "zz", 1), full_text(2, "aa", 1)), 0);  // field first
  EXPECT_LT(layout.Compare(full_text(1, "l\xB9", 9), full_text(1,
                                                               "\xB3"
                                                               "a",
                                                               1)),
            0);
  EXPECT_LT(layout.Compare(full_text(1, "kot", 1), full_text(1, "KOT", 2)), 0);  // then the id
}

}  // namespace
}  // namespace veltra
