// Golden bytes of a data file written for a table with a field of every type: the header, the
// definitions and two records, each spelled out at its offsets, and the file read back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "data_file_test_support.h"
#include "storage/data_file.h"

namespace veltra {
namespace {

using testing::EveryTypeFields;
using testing::FakeDataOwner;
using testing::MemoryDataStorage;

void PutLe(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutText(std::vector<uint8_t>& bytes, size_t offset, std::string_view text) {
  bytes[offset] = static_cast<uint8_t>(text.size());
  std::memcpy(bytes.data() + offset + 1, text.data(), text.size());
}

std::vector<uint8_t> Slice(const MemoryDataStorage& storage, size_t offset, size_t length) {
  std::vector<uint8_t> out(length);
  for (size_t i = 0; i < length; ++i) out[i] = storage.At(offset + i);
  return out;
}

// Each field of EveryTypeFields: slot offset, type, subtype, declared and stored size.
struct ExpectedSlot {
  uint16_t offset;
  uint8_t type;
  uint8_t sub_type;
  uint16_t size;
  uint16_t stored;
};
constexpr ExpectedSlot kSlots[] = {
    {25, 1, 0, 10, 11}, {37, 2, 0, 0, 4},   {42, 3, 22, 0, 8},  {51, 4, 0, 0, 2},
    {54, 5, 0, 0, 2},   {57, 6, 29, 0, 4},  {62, 7, 21, 0, 8},  {71, 8, 0, 0, 34},
    {106, 9, 0, 4, 4},  {111, 10, 0, 0, 4}, {116, 11, 0, 0, 8}, {125, 12, 0, 0, 2},
    {128, 15, 0, 3, 3}, {132, 18, 0, 0, 8},
};
constexpr uint16_t kRecordSize = 144;  // 141 rounded up to a multiple of 8
constexpr size_t kFirstRecord = 512 + 768 * 14;

class DataFileFormat : public ::testing::Test {
 protected:
  // Writes the table with two records: record 1 with values in every field but the BLOB and the
  // auto-increment field, record 2 with nothing but an auto-increment value given.
  void WriteTable() {
    TDataFile file(engine_, storage_, owner_);
    file.CreateHeader();
    file.SetTableProperties({.locale = 0,
                             .user_major_version = 2,
                             .user_minor_version = 7,
                             .blob_block_size = 512,
                             .index_page_size = 1024,
                             .description = "Draw results"});
    file.SetFieldDefinitions(EveryTypeFields());
    std::vector<uint8_t> image(kRecordSize, 0);
    image[25] = 1;  // indicator, then the characters and zeros
    std::memcpy(image.data() + 26, "Lotto", 5);
    for (size_t field = 1; field < std::size(kSlots); ++field) {
      if (field == 2 || field == 5) continue;  // BLOB and auto-increment stay null
      const ExpectedSlot& slot = kSlots[field];
      image[slot.offset] = 1;
      for (uint16_t i = 0; i < slot.stored; ++i) {
        image[slot.offset + 1 + i] = static_cast<uint8_t>(field * 16 + i);
      }
    }
    record1_ = image;
    ASSERT_EQ(file.InsertRecord(image), 1u);
    std::fill(image.begin(), image.end(), 0);
    image[57] = 1;
    PutLe(image, 58, 40, 4);  // a given auto-increment value is kept
    ASSERT_EQ(file.InsertRecord(image), 2u);
    record2_ = image;
    file.WriteBack(false);
    file.WriteHeader(true);
    file.WriteDefinitions(true);
  }

  std::vector<uint8_t> ExpectedHeader(int32_t counter) const {
    std::vector<uint8_t> header(512, 0);
    PutLe(header, 0, static_cast<uint32_t>(counter), 4);
    header[8] = 6;
    const crypto::TDigest signature = crypto::DigestOfText("VELTRA_SIG");
    std::memcpy(header.data() + 9, signature.data(), 16);
    PutLe(header, 25, 0, 4);   // no free record
    PutLe(header, 29, 3, 4);   // next record number
    PutLe(header, 33, 2, 4);   // last record ID
    PutLe(header, 37, 40, 4);  // last auto-increment: the given 40 beats the issued 1
    PutLe(header, 41, 2, 4);   // record count
    PutLe(header, 45, kRecordSize, 2);
    PutLe(header, 47, 14, 2);  // fields
    PutLe(header, 49, 1, 2);   // BLOB fields
    PutLe(header, 51, 512, 4);
    PutLe(header, 59, 1024, 4);
    PutText(header, 71, "Draw results");
    PutLe(header, 193, 2, 2);
    PutLe(header, 195, 7, 2);
    return header;
  }

  TDataEngine engine_;
  MemoryDataStorage storage_;
  FakeDataOwner owner_{engine_};
  std::vector<uint8_t> record1_;
  std::vector<uint8_t> record2_;
};

TEST_F(DataFileFormat, HeaderBytesAreTheGoldenLayout) {
  WriteTable();
  ASSERT_EQ(storage_.bytes.size(), kFirstRecord + 2 * kRecordSize);
  std::vector<uint8_t> header = Slice(storage_, 0, 512);
  // The last update is the time of writing; it is checked for plausibility, then masked.
  double last_update = 0;
  std::memcpy(&last_update, header.data() + 63, 8);
  EXPECT_LT(last_update, -600000.0);  // days since 1899 minus 693,594
  std::fill_n(header.begin() + 63, 8, 0);
  int32_t counter = 0;
  std::memcpy(&counter, header.data(), 4);
  EXPECT_GT(counter, 0);
  EXPECT_EQ(header, ExpectedHeader(counter));
}

TEST_F(DataFileFormat, DefinitionBytesAreTheGoldenLayout) {
  WriteTable();
  const std::vector<std::string_view> names = {"Name",  "Drawn", "Notes", "Checked", "Game",
                                               "Id",    "Prize", "Stake", "Code",    "At",
                                               "Stamp", "Count", "Tag",   "Total"};
  for (size_t field = 0; field < std::size(kSlots); ++field) {
    SCOPED_TRACE(names[field]);
    std::vector<uint8_t> expected(768, 0);
    PutLe(expected, 0, field + 1, 2);
    PutText(expected, 2, names[field]);
    expected[164] = kSlots[field].type;
    expected[165] = kSlots[field].sub_type;
    PutLe(expected, 166, kSlots[field].size, 2);
    expected[168] = field == 7 ? 2 : 0;
    PutLe(expected, 169, kSlots[field].stored, 2);
    expected[171] = field == 7 ? 2 : 0;
    PutLe(expected, 172, kSlots[field].offset, 2);
    if (field == 0) PutText(expected, 378, "none");
    if (field == 4) {
      PutText(expected, 176, "1");
      PutText(expected, 277, "16");
    }
    EXPECT_EQ(Slice(storage_, 512 + 768 * field, 768), expected);
  }
}

TEST_F(DataFileFormat, RecordBytesAreTheGoldenLayout) {
  WriteTable();
  // Record 1: live, its own number in the link word, ID 1, the first issued auto-increment.
  std::vector<uint8_t> expected1 = record1_;
  PutLe(expected1, 1, 1, 4);
  PutLe(expected1, 5, 1, 4);
  expected1[57] = 1;
  PutLe(expected1, 58, 1, 4);
  std::vector<uint8_t> hashed(expected1.begin() + 25, expected1.end());
  std::fill_n(hashed.begin() + (42 - 25), 9, 0);  // the BLOB slot does not count
  const crypto::TDigest hash1 = crypto::DigestOfBytes(hashed);
  std::memcpy(expected1.data() + 9, hash1.data(), 16);
  EXPECT_EQ(Slice(storage_, kFirstRecord, kRecordSize), expected1);

  std::vector<uint8_t> expected2 = record2_;
  PutLe(expected2, 1, 2, 4);
  PutLe(expected2, 5, 2, 4);
  const crypto::TDigest hash2 =
      crypto::DigestOfBytes(std::span(expected2).subspan(25));  // BLOB slot already zero
  std::memcpy(expected2.data() + 9, hash2.data(), 16);
  EXPECT_EQ(Slice(storage_, kFirstRecord + kRecordSize, kRecordSize), expected2);
}

TEST_F(DataFileFormat, WrittenFileReadsBackWithEveryValue) {
  WriteTable();
  const std::vector<uint8_t> written = Slice(storage_, 0, storage_.bytes.size());
  TDataFile file(engine_, storage_, owner_);
  file.Open(true);
  std::vector<TFieldDefinition> expected = EveryTypeFields();
  ASSERT_EQ(file.FieldCount(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(file.Definitions()[i].name, expected[i].name);
    EXPECT_EQ(file.Definitions()[i].offset, kSlots[i].offset);
  }
  EXPECT_EQ(file.Description(), "Draw results");
  EXPECT_EQ(file.RecordCount(), 2);
  EXPECT_EQ(file.PhysicalRecordCount(), 2u);
  EXPECT_EQ(file.VersionText(), "4.00");
  BufferPin pin = file.GetRecord(1);
  auto& record = static_cast<TRecord&>(*pin);
  EXPECT_EQ(LoadStringValue(record.Bytes(), file.Definitions()[0]), "Lotto");
  EXPECT_EQ(file.HashOf(record.Bytes()), RecordHashOf(record.Bytes()));
  pin.Reset();
  // Writing it all again unchanged gives the same bytes but for the counter and the time.
  file.WriteDefinitions(true);
  EXPECT_EQ(Slice(storage_, 512, storage_.bytes.size() - 512),
            std::vector<uint8_t>(written.begin() + 512, written.end()));
}

TEST(DataFileHeaderCodec, LengthBytesPastCapacityAreReportedAndCut) {
  DataHeaderImage header{};
  header[kHdrDescription] = 101;
  const DecodedDataFileHeader decoded = DecodeDataFileHeader(header);
  EXPECT_FALSE(decoded.description_fits);
  EXPECT_EQ(decoded.header.description.size(), kTableDescriptionCapacity);

  for (size_t offset : {kDefName, kDefDescription, kDefMinimum, kDefMaximum, kDefDefault}) {
    FieldDefinitionImage definition{};
    definition[offset] = 0xFF;
    EXPECT_FALSE(DecodeFieldDefinition(definition).texts_fit) << offset;
  }
}

TEST(DataFileHeaderCodec, SequenceCountersContinueAtOne) {
  EXPECT_EQ(NextSequenceValue(0), 1);
  EXPECT_EQ(NextSequenceValue(41), 42);
  EXPECT_EQ(NextSequenceValue(2147483647), 1);
  EXPECT_EQ(NextSequenceValue(-5), 1);
}

}  // namespace
}  // namespace veltra
