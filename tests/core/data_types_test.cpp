// Type codes, stored sizes and the golden stored bytes of every type's encoding.
#include "core/data_types.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/bcd.h"
#include "core/date_time.h"

namespace veltra {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DataTypes, OnlyTheListedCodesAreTypes) {
  const uint8_t types[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 18};
  int known = 0;
  for (int code = 0; code < 256; ++code) {
    const std::optional<TDataType> type = DataTypeOfCode(static_cast<uint8_t>(code));
    if (type) {
      ++known;
      EXPECT_EQ(CodeOf(*type), code);
    }
  }
  EXPECT_EQ(known, static_cast<int>(std::size(types)));
  for (uint8_t code : types) EXPECT_TRUE(DataTypeOfCode(code).has_value()) << int{code};
}

TEST(DataTypes, StoredSizesFollowTypeAndDeclaredSize) {
  struct Case {
    TDataType type;
    TDataSubType sub_type;
    uint16_t declared;
    uint16_t stored;
  } const cases[] = {
      {TDataType::dtString, TDataSubType::dsNone, 10, 11},
      {TDataType::dtString, TDataSubType::dsFixed, 512, 513},
      {TDataType::dtString, TDataSubType::dsWide, 256, 513},
      {TDataType::dtString, TDataSubType::dsGuid, 38, 39},
      {TDataType::dtBytes, TDataSubType::dsNone, 16, 16},
      {TDataType::dtVarBytes, TDataSubType::dsNone, 512, 512},
      {TDataType::dtDate, TDataSubType::dsNone, 0, 4},
      {TDataType::dtBlob, TDataSubType::dsMemo, 0, 8},
      {TDataType::dtBoolean, TDataSubType::dsNone, 0, 2},
      {TDataType::dtSmallInt, TDataSubType::dsNone, 0, 2},
      {TDataType::dtInteger, TDataSubType::dsAutoInc, 0, 4},
      {TDataType::dtFloat, TDataSubType::dsMoney, 0, 8},
      {TDataType::dtBcd, TDataSubType::dsNone, 0, 34},
      {TDataType::dtTime, TDataSubType::dsNone, 0, 4},
      {TDataType::dtTimestamp, TDataSubType::dsNone, 0, 8},
      {TDataType::dtWord, TDataSubType::dsNone, 0, 2},
      {TDataType::dtLargeInt, TDataSubType::dsNone, 0, 8},
      {TDataType::dtUnknown, TDataSubType::dsNone, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StoredSizeOf(c.type, c.sub_type, c.declared), c.stored) << int{CodeOf(c.type)};
  }
  EXPECT_EQ(MaxDeclaredSize(TDataType::dtString, TDataSubType::dsWide), 256);
  EXPECT_EQ(MaxDeclaredSize(TDataType::dtVarBytes, TDataSubType::dsNone), 512);
  EXPECT_EQ(MaxDeclaredSize(TDataType::dtInteger, TDataSubType::dsNone), 0);
}

// Stores with `store`, compares with the golden bytes, loads back with `load`.
template <typename T, typename Store, typename Load>
void ExpectGolden(T value, const Bytes& golden, Store store, Load load) {
  Bytes stored(golden.size(), 0xEE);
  store(stored.data(), value);
  EXPECT_EQ(stored, golden);
  EXPECT_EQ(load(golden.data()), value);
}

TEST(DataTypes, GoldenStoredBytesOfEveryFixedType) {
  ExpectGolden(TDate{kDateTimeEpochDay}, {0x5A, 0x95, 0x0A, 0x00}, StoreDate, LoadDate);
  ExpectGolden(TDate{-2}, {0xFE, 0xFF, 0xFF, 0xFF}, StoreDate, LoadDate);
  ExpectGolden(TTime{kMaxTime}, {0xFF, 0x5B, 0x26, 0x05}, StoreTime, LoadTime);
  // 2024-03-05 10:30 = day 738,950 * 86,400,000 + 37,800,000 ms = 63,845,317,800,000.
  ExpectGolden(TimestampOf(EncodeDate(2024, 3, 5).value(), 37'800'000),
               {0x00, 0x20, 0x78, 0xBE, 0x92, 0x08, 0xCD, 0x42}, StoreTimestamp, LoadTimestamp);
  ExpectGolden(true, {0x01, 0x00}, StoreBoolean, LoadBoolean);
  ExpectGolden(false, {0x00, 0x00}, StoreBoolean, LoadBoolean);
  ExpectGolden(int16_t{-2}, {0xFE, 0xFF}, StoreSmallInt, LoadSmallInt);
  ExpectGolden(int32_t{0x12345678}, {0x78, 0x56, 0x34, 0x12}, StoreInteger, LoadInteger);
  ExpectGolden(1.5, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F}, StoreFloat, LoadFloat);
  ExpectGolden(uint16_t{0xBEEF}, {0xEF, 0xBE}, StoreWord, LoadWord);
  ExpectGolden(int64_t{-0x0102030405060708}, {0xF8, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE},
               StoreLargeInt, LoadLargeInt);
  ExpectGolden(TBlobReference{.first_block = 7, .revision = 0x01020304},
               {0x07, 0x00, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01}, StoreBlobReference,
               LoadBlobReference);
  // Any non-zero stored Boolean reads as true.
  const uint8_t two[] = {0x02, 0x00};
  EXPECT_TRUE(LoadBoolean(two));
}

TEST(DataTypes, GoldenStoredBytesOfADecimal) {
  Bytes golden(kBcdSize, 0);
  golden[0] = 6;         // precision
  golden[1] = 0x80 | 2;  // negative, two decimals
  golden[2] = 0x12;      // -1234.56
  golden[3] = 0x34;
  golden[4] = 0x56;
  ExpectGolden(BcdFromText("-1234.56", 2).value(), golden, StoreBcd, LoadBcd);

  // The reserved bit is never written.
  TBcd marked = BcdZero(1);
  marked.sign_scale |= TBcd::kReservedBit;
  Bytes stored(kBcdSize);
  StoreBcd(stored.data(), marked);
  EXPECT_EQ(stored[1], 1);
}

TEST(DataTypes, ByteOrderHelpersForKeys) {
  uint8_t bytes[8] = {};
  StoreU64Be(bytes, 0x0102030405060708);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[7], 0x08);
  EXPECT_EQ(LoadU64Be(bytes), 0x0102030405060708u);
  StoreU32Be(bytes, 0xA1B2C3D4);
  EXPECT_EQ(LoadU32Le(bytes), 0xD4C3B2A1u);
  StoreU16Be(bytes, 0x0102);
  EXPECT_EQ(LoadU16Be(bytes), 0x0102);
}

}  // namespace
}  // namespace veltra
