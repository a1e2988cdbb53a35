// The data file's behaviour: the open checks and their codes, verify and repair with their
// messages, the free chain and its damage, emptying, encryption, and a real engine file written
// and read back.
#include "storage/data_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/data_engine.h"
#include "data_file_test_support.h"
#include "storage/engine_file.h"
#include "support/temp_dir.h"
#include "support/engine_error_code.h"

namespace veltra {
namespace {

using testing::FakeDataOwner;
using testing::Field;
using testing::MemoryDataStorage;

using veltra::testing::CodeRaisedBy;

// Two fields: "Name" string(10) at 25 and "Game" integer at 37; record size 48.
std::vector<TFieldDefinition> TwoFields() {
  return {Field("Name", TDataType::dtString, 10), Field("Game", TDataType::dtInteger)};
}
constexpr size_t kDefinitions = 512;
constexpr size_t kRecords = 512 + 2 * 768;
constexpr size_t kRecordSize = 48;

class DataFileTest : public ::testing::Test {
 protected:
  // A table of `records` records whose "Game" field holds the record's number.
  void Build(uint32_t records, std::vector<TFieldDefinition> fields = TwoFields()) {
    TDataFile file(engine_, storage_, owner_);
    file.CreateHeader();
    file.SetTableProperties({.description = "draws"});
    file.SetFieldDefinitions(std::move(fields));
    for (uint32_t i = 1; i <= records; ++i) Insert(file, i);
    Flush(file);
  }
  static uint32_t Insert(TDataFile& file, uint32_t value) {
    std::vector<uint8_t> image(file.RecordSize(), 0);
    const TFieldDefinition& game = *file.DefinitionByName("Game").definition;
    image[game.offset] = 1;
    StoreInteger(image.data() + game.offset + 1, static_cast<int32_t>(value));
    return file.InsertRecord(image);
  }
  static void Flush(TDataFile& file) {
    file.WriteBack(false);
    file.WriteHeader(true);
    file.WriteDefinitions(false);
  }
  std::unique_ptr<TDataFile> Open(bool check = true) {
    auto file = std::make_unique<TDataFile>(engine_, storage_, owner_);
    file->Open(check);
    return file;
  }
  static int32_t GameOf(TDataFile& file, uint32_t number) {
    BufferPin pin = file.GetRecord(number);
    const auto& record = static_cast<TRecord&>(*pin);
    return LoadInteger(record.Bytes().data() + 38);
  }

  TDataEngine engine_;
  MemoryDataStorage storage_;
  FakeDataOwner owner_{engine_};
};

TEST_F(DataFileTest, RecordSizeFollowsTheSlots) {
  Build(0, {Field("Name", TDataType::dtString, 10)});
  EXPECT_EQ(Open()->RecordSize(), 40);  // 25 + 11 + 1 = 37, rounded to 40
  EXPECT_EQ(storage_.bytes.size(), 512u + 768u);
}

// Each damage of a written table, and the code the open gives with and without the full check.
struct OpenCase {
  const char* what;
  std::function<void(MemoryDataStorage&)> damage;
  TEngineCode checked;
  TEngineCode unchecked;
};

class OpenChecks : public DataFileTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenChecks, DamageGivesItsCode) {
  Build(3);
  GetParam().damage(storage_);
  EXPECT_EQ(CodeRaisedBy([&] { Open(true); }), GetParam().checked);
  EXPECT_EQ(CodeRaisedBy([&] { Open(false); }), GetParam().unchecked);
}

void PutU16(MemoryDataStorage& s, size_t offset, uint16_t value) {
  s.Put(offset, static_cast<uint8_t>(value));
  s.Put(offset + 1, static_cast<uint8_t>(value >> 8));
}

INSTANTIATE_TEST_SUITE_P(
    DataFile, OpenChecks,
    ::testing::Values(
        OpenCase{"intact", [](MemoryDataStorage&) {}, 0, 0},
        OpenCase{"older version", [](MemoryDataStorage& s) { s.Put(8, 5); }, kErrTableVersion,
                 kErrTableVersion},
        OpenCase{"unknown version", [](MemoryDataStorage& s) { s.Put(8, 7); }, kErrInvalidTableFile,
                 kErrInvalidTableFile},
        OpenCase{"signature", [](MemoryDataStorage& s) { s.Put(12, s.At(12) ^ 1); },
                 kErrInvalidTableFile, kErrInvalidTableFile},
        OpenCase{"field count above 1024", [](MemoryDataStorage& s) { PutU16(s, 47, 1025); },
                 kErrHeaderCorrupt, kErrHeaderCorrupt},
        OpenCase{"file shorter than its header", [](MemoryDataStorage& s) { s.bytes.resize(300); },
                 kErrHeaderCorrupt, kErrHeaderCorrupt},
        OpenCase{"blank name", [](MemoryDataStorage& s) { s.Put(kDefinitions + 3, ' '); },
                 kErrHeaderCorrupt, 0},
        OpenCase{"name starting with a digit",
                 [](MemoryDataStorage& s) { s.Put(kDefinitions + 3, '7'); }, kErrHeaderCorrupt, 0},
        OpenCase{"duplicate name",
                 [](MemoryDataStorage& s) {
                   s.Put(kDefinitions + 768 + 2, 4);
                   for (size_t i = 0; i < 4; ++i) s.Put(kDefinitions + 768 + 3 + i, "NAME"[i]);
                 },
                 kErrHeaderCorrupt, 0},
        OpenCase{"type 0", [](MemoryDataStorage& s) { s.Put(kDefinitions + 768 + 164, 0); },
                 kErrHeaderCorrupt, 0},
        OpenCase{"offset not the running offset",
                 [](MemoryDataStorage& s) { PutU16(s, kDefinitions + 768 + 172, 38); },
                 kErrHeaderCorrupt, 0},
        OpenCase{"offset past the record",
                 [](MemoryDataStorage& s) { PutU16(s, kDefinitions + 768 + 172, 60000); },
                 kErrHeaderCorrupt, kErrHeaderCorrupt},
        OpenCase{"stored size not the type's",
                 [](MemoryDataStorage& s) { PutU16(s, kDefinitions + 768 + 169, 200); },
                 kErrHeaderCorrupt, kErrHeaderCorrupt},
        OpenCase{"name length past capacity",
                 [](MemoryDataStorage& s) { s.Put(kDefinitions + 2, 61); }, kErrHeaderCorrupt,
                 kErrHeaderCorrupt},
        OpenCase{"default text length past capacity",
                 [](MemoryDataStorage& s) { s.Put(kDefinitions + 378, 200); }, kErrHeaderCorrupt,
                 kErrHeaderCorrupt},
        OpenCase{"description length past capacity", [](MemoryDataStorage& s) { s.Put(71, 101); },
                 kErrHeaderCorrupt, kErrHeaderCorrupt},
        OpenCase{"invalid minimum",
                 [](MemoryDataStorage& s) {
                   s.Put(kDefinitions + 768 + 176, 2);
                   s.Put(kDefinitions + 768 + 177, 'x');
                   s.Put(kDefinitions + 768 + 178, '1');
                 },
                 kErrHeaderCorrupt, 0},
        OpenCase{"record size", [](MemoryDataStorage& s) { PutU16(s, 45, 56); }, kErrHeaderCorrupt,
                 0},
        OpenCase{"partial last record",
                 [](MemoryDataStorage& s) { s.bytes.resize(s.bytes.size() - 5); },
                 kErrHeaderCorrupt, 0},
        OpenCase{"next record number", [](MemoryDataStorage& s) { s.Put(29, 9); },
                 kErrHeaderCorrupt, 0},
        OpenCase{"next free past the records", [](MemoryDataStorage& s) { s.Put(25, 4); },
                 kErrHeaderCorrupt, 0},
        OpenCase{"locale not installed",
                 [](MemoryDataStorage& s) {
                   s.Put(189, 0x39);
                   s.Put(190, 0x30);
                 },
                 kErrLocaleNotAvailable, 0}),
    [](const ::testing::TestParamInfo<OpenCase>& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST_F(DataFileTest, VerifyReportsAndRepairFixesThenVerifyIsClean) {
  Build(3);
  storage_.Put(kDefinitions + 3, '7');               // field 1: "7ame"
  storage_.Put(kDefinitions + 768 + 166, 4);         // field 2: an integer with a size
  storage_.Put(kDefinitions + 768 + 168, 2);         //          and decimals
  PutU16(storage_, kDefinitions + 768 + 172, 40);    //          and a wrong offset
  storage_.bytes.resize(storage_.bytes.size() - 5);  // a partial last record
  storage_.Put(25, 3);                               // a free record that is live
  const std::vector<std::string> findings = {
      "Invalid field name (first character) for field 7ame in table header",
      "Invalid field length for field Game in table header",
      "Invalid field decimals for field Game in table header",
      "Invalid field offset for field Game in table header",
      "Physical records not aligned on even record size boundaries",
      "Physical record count not correct",
  };
  auto run = [&](bool repair) {
    std::vector<std::string> log;
    auto file = Open(false);
    const bool correct =
        file->VerifyOrRepairHeader(repair, [&](std::string_view m) { log.emplace_back(m); });
    return std::make_pair(correct, log);
  };
  auto [verified, verify_log] = run(false);
  EXPECT_FALSE(verified);
  EXPECT_EQ(verify_log, findings);

  auto [repaired, repair_log] = run(true);
  EXPECT_FALSE(repaired);
  EXPECT_EQ(repair_log,
            (std::vector<std::string>{
                "Invalid field name (first character) for field 7ame in table header, error fixed",
                "Invalid field length for field Game in table header, error fixed",
                "Invalid field decimals for field Game in table header, error fixed",
                "Invalid field offset for field Game in table header, error fixed",
                "Physical records not aligned on even record size boundaries, error fixed",
                "Physical record count not correct, error fixed",
                // With the partial record gone, record 3 no longer exists.
                "Invalid next free record pointer, error fixed",
            }));

  auto [clean, clean_log] = run(false);
  EXPECT_TRUE(clean);
  EXPECT_TRUE(clean_log.empty()) << clean_log.front();
  auto file = Open(true);
  EXPECT_EQ(file->Definitions()[0].name, "_7ame");
  EXPECT_EQ(file->PhysicalRecordCount(), 2u);
  EXPECT_EQ(file->FreeChainHead(), 0);
}

TEST_F(DataFileTest, VerifyMessagesForNamesTypesAndSizes) {
  std::vector<TFieldDefinition> fields = {
      Field(" ", TDataType::dtString, 10), Field("Twin", TDataType::dtString, 600),
      Field("twin ", TDataType::dtBytes, 0), Field("Odd", TDataType::dtUnknown),
      Field("When", TDataType::dtDate)};
  fields[4].default_value = "2024-02-31";
  fields[3].stored_size = 4;
  TDataFile file(engine_, storage_, owner_);
  file.CreateHeader();
  file.SetFieldDefinitions(fields);
  Flush(file);
  std::vector<std::string> log;
  for (bool repair : {false, true}) {
    auto opened = Open(false);
    opened->VerifyOrRepairHeader(repair, [&](std::string_view m) { log.emplace_back(m); });
  }
  EXPECT_EQ(log, (std::vector<std::string>{
                     "Invalid field name (blank) for field # 1 in table header",
                     "Invalid field length for field Twin in table header (600)",
                     "Invalid field name (duplicate) for field twin  in table header",
                     "Invalid field length for field twin  in table header (0)",
                     "Invalid field data type (Unknown) for field Odd in table header",
                     "Invalid default value for field When in table header",
                     "Invalid field name (blank) for field # 1 in table header, error fixed",
                     "Invalid field length for field Twin in table header (600), error fixed",
                     "Invalid field name (duplicate) for field twin  in table header, error fixed",
                     "Invalid field length for field 3twin  in table header (0), error cannot be "
                     "fixed",
                     // The shorter "Twin" moves every slot after it.
                     "Invalid field offset for field 3twin  in table header, error fixed",
                     "Invalid field data type (Unknown) for field Odd in table header, error "
                     "cannot be fixed",
                     "Invalid field offset for field Odd in table header, error fixed",
                     "Invalid default value for field When in table header, error fixed",
                     "Invalid field offset for field When in table header, error fixed",
                     "Invalid physical record length in table header, error fixed",
                 }));
  auto repaired = Open(false);
  EXPECT_EQ(repaired->Definitions()[0].name, "Repaired_Fld1");
  EXPECT_EQ(repaired->Definitions()[1].size, 512);
  EXPECT_EQ(repaired->Definitions()[2].name, "3twin ");
  EXPECT_EQ(repaired->Definitions()[4].default_value, "");
}

TEST_F(DataFileTest, FreeChainReusesTheLastDeletedFirst) {
  Build(10);
  {
    auto file = Open();
    ASSERT_TRUE(file->DeleteRecord(3));
    ASSERT_TRUE(file->DeleteRecord(7));
    EXPECT_EQ(file->FreeChainHead(), 7);
    EXPECT_EQ(file->RecordCount(), 8);
    Flush(*file);
  }
  EXPECT_EQ(storage_.At(kRecords + 6 * kRecordSize), 1);      // record 7 deleted
  EXPECT_EQ(storage_.At(kRecords + 6 * kRecordSize + 1), 3);  // links to 3
  EXPECT_EQ(storage_.At(kRecords + 2 * kRecordSize + 1), 0);  // 3 ends the chain
  auto file = Open();
  EXPECT_EQ(Insert(*file, 100), 7u);
  EXPECT_EQ(Insert(*file, 101), 3u);
  EXPECT_EQ(Insert(*file, 102), 11u);
  EXPECT_EQ(GameOf(*file, 7), 100);
  EXPECT_EQ(file->RecordCount(), 11);
  EXPECT_EQ(CodeRaisedBy([&] { (void)file->DeleteRecord(12); }), kErrDataRecordCorrupt);
}

// Each damage of the chain 7 -> 3 -> 0 and the insert that meets it.
struct ChainCase {
  const char* what;
  size_t record;  // whose link word is overwritten (0: the header's head)
  int32_t link;
  int inserts_before_failure;
};

class FreeChainDamage : public DataFileTest, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(FreeChainDamage, IsCaughtBeforeAnyLiveRecordIsOverwritten) {
  Build(10);
  {
    auto file = Open();
    ASSERT_TRUE(file->DeleteRecord(3));
    ASSERT_TRUE(file->DeleteRecord(7));
    Flush(*file);
  }
  const ChainCase& c = GetParam();
  const size_t at = c.record == 0 ? 25 : kRecords + (c.record - 1) * kRecordSize + 1;
  for (size_t i = 0; i < 4; ++i) storage_.Put(at + i, static_cast<uint8_t>(c.link >> (8 * i)));
  auto file = Open(false);
  for (int i = 0; i < c.inserts_before_failure; ++i) ASSERT_NE(Insert(*file, 50), 0u);
  EXPECT_EQ(CodeRaisedBy([&] { Insert(*file, 99); }), kErrDataRecordCorrupt);
  for (uint32_t n = 1; n <= 10; ++n) {
    if (n != 3 && n != 7) {
      EXPECT_EQ(GameOf(*file, n), static_cast<int32_t>(n));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(DataFile, FreeChainDamage,
                         ::testing::Values(ChainCase{"head names a live record", 0, 5, 0},
                                           ChainCase{"head past the end", 0, 40, 0},
                                           ChainCase{"link to a live record", 7, 5, 1},
                                           ChainCase{"link past the end", 7, 11, 0},
                                           ChainCase{"negative link", 7, -2, 0},
                                           ChainCase{"link to itself", 7, 7, 0}),
                         [](const ::testing::TestParamInfo<ChainCase>& info) {
                           std::string name = info.param.what;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST_F(DataFileTest, EmptyingLeavesHeaderAndDefinitionsAndKeepsCountingChanges) {
  Build(5);
  auto file = Open();
  ASSERT_TRUE(file->DeleteRecord(2));
  Flush(*file);
  const int32_t counter = file->ChangeCounter();
  file->Empty();
  Flush(*file);
  EXPECT_EQ(storage_.bytes.size(), 512u + 2 * 768u);
  EXPECT_GT(file->ChangeCounter(), counter);
  auto reopened = Open();
  EXPECT_GT(reopened->ChangeCounter(), counter);
  EXPECT_EQ(reopened->RecordCount(), 0);
  EXPECT_EQ(reopened->FreeChainHead(), 0);
  EXPECT_EQ(reopened->NextFreeRecord(), 1);
  EXPECT_EQ(reopened->LastRecordId(), 0);
  EXPECT_EQ(Insert(*reopened, 1), 1u);
}

TEST_F(DataFileTest, LastRecordIdWrapsToOne) {
  Build(1);
  auto file = Open();
  file->SetLastRecordId(2147483647);
  const uint32_t first = Insert(*file, 2);
  const uint32_t second = Insert(*file, 3);
  auto id_of = [&](uint32_t n) {
    BufferPin pin = file->GetRecord(n);
    return RecordIdOf(static_cast<TRecord&>(*pin).Bytes());
  };
  EXPECT_EQ(id_of(first), 1);
  EXPECT_EQ(id_of(second), 2);  // the counter follows the issued value, so IDs stay unique
}

TEST_F(DataFileTest, EncryptedTableRoundTripsAndNeedsItsPassword) {
  owner_.SetPassword("tajne");
  {
    TDataFile file(engine_, storage_, owner_);
    file.CreateHeader();
    file.SetTableProperties({.encrypted = true, .check_value = owner_.CheckValue()});
    file.SetCipher(owner_.Cipher());
    file.SetFieldDefinitions(TwoFields());
    Insert(file, 7);
    Insert(file, 7);
    Flush(file);
  }
  // On disk the definitions and each record are one encrypted buffer each; the header is plain.
  EXPECT_EQ(storage_.At(71), 0);
  EXPECT_NE(storage_.At(kDefinitions + 3), 'N');
  std::vector<uint8_t> disk(kRecordSize);
  for (size_t i = 0; i < kRecordSize; ++i) disk[i] = storage_.At(kRecords + kRecordSize + i);
  TDataEngine::DecryptBuffer(*owner_.Cipher(), disk);
  auto file = Open();
  EXPECT_EQ(file->Definitions()[0].name, "Name");
  EXPECT_EQ(GameOf(*file, 2), 7);
  BufferPin pin = file->GetRecord(2);
  const std::span<const uint8_t> plain = static_cast<TRecord&>(*pin).Bytes();
  EXPECT_EQ(disk, std::vector<uint8_t>(plain.begin(), plain.end()));
  pin.Reset();

  owner_.SetPassword("Tajne");
  EXPECT_EQ(CodeRaisedBy([&] { Open(); }), kErrPasswordRequired);
}

TEST_F(DataFileTest, DefinitionLookups) {
  Build(0);
  auto file = Open();
  EXPECT_EQ(file->DefinitionByName("recordid").position, -1);
  EXPECT_EQ(file->DefinitionByName("RECORDHASH").definition->stored_size, 16);
  EXPECT_EQ(file->DefinitionByName("game").position, 2);
  EXPECT_EQ(file->DefinitionByName("nothing").definition, nullptr);
  EXPECT_EQ(file->DefinitionByNumber(-1)->offset, 5);
  EXPECT_EQ(file->DefinitionByNumber(3), nullptr);

  TFieldDefinition renamed = file->Definitions()[0];
  renamed.name = "Title";
  renamed.sub_type = CodeOf(TDataSubType::dsFixed);
  file->AlterDescriptiveProperties(1, renamed);
  EXPECT_EQ(file->DefinitionByName("title").position, 1);
  renamed.sub_type = CodeOf(TDataSubType::dsWide);  // would widen the slot
  EXPECT_EQ(CodeRaisedBy([&] { file->AlterDescriptiveProperties(1, renamed); }),
            kErrInvalidFieldDefinition);
}

TEST_F(DataFileTest, EngineFileIsWrittenAndReadBack) {
  veltra::testing::TempDir dir;
  const std::string name = dir.path() + "/draws.dat";
  {
    TEngineFile engine_file(engine_, name, false);
    engine_file.Create();
    EngineDataFileStorage storage(engine_file);
    TDataFile file(engine_, storage, owner_);
    file.CreateHeader();
    file.SetFieldDefinitions(TwoFields());
    for (uint32_t i = 1; i <= 4; ++i) Insert(file, i);
    ASSERT_TRUE(file.DeleteRecord(2));
    Flush(file);
    file.Empty();
    Insert(file, 9);
    Flush(file);
  }
  TEngineFile engine_file(engine_, name, false);
  engine_file.Open();
  EXPECT_EQ(engine_file.Size(), 512u + 2 * 768u + kRecordSize);
  EngineDataFileStorage storage(engine_file);
  TDataFile file(engine_, storage, owner_);
  file.Open(true);
  EXPECT_EQ(file.RecordCount(), 1);
  BufferPin pin = file.GetRecord(1);
  EXPECT_EQ(LoadInteger(static_cast<TRecord&>(*pin).Bytes().data() + 38), 9);
}

}  // namespace
}  // namespace veltra
