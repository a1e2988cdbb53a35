// The record layout: the record-size rule and its limits, the string value rules, slot bounds and
// the record hash that ignores BLOB slots.
#include "storage/record_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "data_file_test_support.h"

namespace veltra {
namespace {

using testing::Field;

TEngineCode LayoutCode(std::vector<TFieldDefinition> fields) {
  try {
    AssignRecordLayout(fields, {.table = "draws"});
  } catch (const EVELTRAEngineError& error) {
    return error.EngineCode();
  }
  return 0;
}

TEST(RecordLayout, SizeLimits) {
  struct Case {
    const char* what;
    std::vector<TFieldDefinition> fields;
    TEngineCode code;
  };
  std::vector<TFieldDefinition> blobs128(128, Field("B", TDataType::dtBlob));
  std::vector<TFieldDefinition> blobs129(129, Field("B", TDataType::dtBlob));
  // 25 + 127 strings of 512 (513 + 1 each) = 65,303; a string of 223 brings it to 65,528, one
  // of 224 to 65,529, which rounds to 65,536.
  std::vector<TFieldDefinition> at_limit(127, Field("S", TDataType::dtString, 512));
  at_limit.push_back(Field("T", TDataType::dtString, 223));
  std::vector<TFieldDefinition> past_limit = at_limit;
  past_limit.back().size = 224;
  const Case cases[] = {
      {"128 BLOB fields", blobs128, 0},
      {"129 BLOB fields", blobs129, kErrBlobFieldLimits},
      {"record of 65,528 bytes", at_limit, 0},
      {"record above 65,534 bytes", past_limit, kErrMaxRecordSize},
  };
  for (const Case& c : cases) EXPECT_EQ(LayoutCode(c.fields), c.code) << c.what;
}

TEST(RecordLayout, OffsetsFollowStoredSizesAndComputedFieldsTakeNoSlot) {
  std::vector<TFieldDefinition> fields = {
      Field("W", TDataType::dtString, 5, TDataSubType::dsWide), Field("C", TDataType::dtInteger),
      Field("G", TDataType::dtString, 38, TDataSubType::dsGuid), Field("B", TDataType::dtBcd)};
  fields[1].computed = true;
  const RecordLayout layout = AssignRecordLayout(fields, {});
  EXPECT_EQ(fields[0].stored_size, 11);  // 2 × 5 + 1
  EXPECT_EQ(fields[2].offset, 25 + 12);
  EXPECT_EQ(fields[3].offset, 25 + 12 + 40);
  EXPECT_EQ(layout.record_size, 112);  // 25 + 12 + 40 + 35 = 112
  EXPECT_FALSE(SlotFitsRecord(fields[3], 111));
  EXPECT_TRUE(SlotFitsRecord(fields[3], 112));
}

TEST(RecordLayout, StringValueRules) {
  struct Case {
    const char* what;
    TDataSubType sub_type;
    TCharacterCase character_case;
    std::string_view text;
    std::optional<std::string> stored;
  };
  const Case cases[] = {
      {"cut to the size", TDataSubType::dsNone, TCharacterCase::ccAsEntered, "Multi Lotek",
       "Multi Lote"},
      {"trailing blanks go", TDataSubType::dsNone, TCharacterCase::ccAsEntered, "Lotto  ", "Lotto"},
      {"a fixed string keeps them", TDataSubType::dsFixed, TCharacterCase::ccAsEntered, "Lotto  ",
       "Lotto  "},
      {"blanks only are null", TDataSubType::dsNone, TCharacterCase::ccAsEntered, "   ",
       std::nullopt},
      {"empty is null", TDataSubType::dsFixed, TCharacterCase::ccAsEntered, "", std::nullopt},
      {"upper case", TDataSubType::dsNone, TCharacterCase::ccUpper, "mini lotto", "MINI LOTTO"},
      {"lower case", TDataSubType::dsNone, TCharacterCase::ccLower, "KENO", "keno"},
      {"a zero byte ends the text", TDataSubType::dsNone, TCharacterCase::ccAsEntered,
       std::string_view("ab\0cd", 5), "ab"},
  };
  for (const Case& c : cases) {
    std::vector<TFieldDefinition> fields = {Field("N", TDataType::dtString, 10, c.sub_type)};
    fields[0].character_case = static_cast<uint8_t>(c.character_case);
    const RecordLayout layout = AssignRecordLayout(fields, {});
    std::vector<uint8_t> record(layout.record_size, 0xAA);
    StoreStringValue(record, fields[0], c.text, nullptr);
    EXPECT_EQ(LoadStringValue(record, fields[0]), c.stored) << c.what;
    // The slot past the text is zero, so equal values make equal records (and hashes).
    const size_t used = c.stored ? c.stored->size() : 0;
    for (size_t i = 26 + used; i < 37; ++i) EXPECT_EQ(record[i], 0) << c.what << " " << i;
  }
}

TEST(RecordLayout, HashIgnoresBlobSlotsOnly) {
  std::vector<TFieldDefinition> fields = {Field("B", TDataType::dtBlob),
                                          Field("I", TDataType::dtInteger)};
  const RecordLayout layout = AssignRecordLayout(fields, {});
  std::vector<uint8_t> record(layout.record_size, 0);
  const crypto::TDigest before = ComputeRecordHash(record, fields);
  StoreBlobReference(FieldValueBytes(std::span<uint8_t>(record), fields[0]).data(), {5, 9});
  record[fields[0].offset] = kIndicatorValue;
  EXPECT_EQ(ComputeRecordHash(record, fields), before);
  record[fields[1].offset] = kIndicatorValue;
  EXPECT_NE(ComputeRecordHash(record, fields), before);
}

}  // namespace
}  // namespace veltra
