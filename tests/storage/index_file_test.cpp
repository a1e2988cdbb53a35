// The index file: golden bytes of the header and the definitions (default primary, a secondary
// and the full-text definition) read back, plain and encrypted; the open checks; the definition
// operations and their errors; pages stored, freed and reused; check, verify and repair.
#include "storage/index_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cache_test_doubles.h"
#include "core/engine_error.h"
#include "crypto/md5.h"
#include "support/engine_error_code.h"

namespace veltra {
namespace {

using testing::FakeOwner;
using testing::MemoryStorage;

using veltra::testing::CodeRaisedBy;

// A table with fields 1 integer, 2 string(10), 3 BLOB memo, 4 float, 5 string(300).
const TKeyFieldType kFields[] = {
    {TDataType::dtInteger, TDataSubType::dsNone, 4},
    {TDataType::dtString, TDataSubType::dsNone, 11},
    {TDataType::dtBlob, TDataSubType::dsMemo, 8},
    {TDataType::dtFloat, TDataSubType::dsNone, 8},
    {TDataType::dtString, TDataSubType::dsNone, 301},
};

TIndexDefinition Secondary(std::string name, std::initializer_list<int16_t> fields,
                           bool unique = false) {
  TIndexDefinition definition;
  definition.SetName(name);
  definition.unique = unique;
  for (int16_t field : fields) definition.AddField(field);
  return definition;
}

class IndexFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<TIndexFile> MakeFile(uint32_t page_size = 1024,
                                       TCipherContext* cipher = nullptr) {
    TIndexFileConfig config;
    config.page_size = page_size;
    config.signature = crypto::DigestOfText("VELTRA_SIG");
    config.cipher = cipher;
    config.truncate = [this](uint64_t size) { storage_.bytes.resize(size); };
    return std::make_unique<TIndexFile>(storage_, owner_, config);
  }
  // A new file written to storage and opened again.
  std::unique_ptr<TIndexFile> Reopen(TIndexFile& file, TCipherContext* cipher = nullptr) {
    file.WriteBack(false);
    file.WriteHeader();
    file.WriteDefinitions(true);
    auto again = MakeFile(file.PageSize(), cipher);
    again->Open();
    return again;
  }
  TIndexTableShape Shape(uint32_t page_size = 1024) const { return {kFields, page_size}; }
  std::string Verify(TIndexFile& file, bool repair) {
    std::string log;
    file.VerifyOrRepair(
        Shape(file.PageSize()), [&](std::string_view m) { log += std::string(m) + "\n"; }, repair);
    return log;
  }
  const uint8_t* At(size_t offset) const {
    return reinterpret_cast<const uint8_t*>(storage_.bytes.data()) + offset;
  }

  MemoryStorage storage_;
  FakeOwner owner_;
};

TEST_F(IndexFileTest, HeaderAndDefinitionsHaveTheirGoldenBytesAndReadBack) {
  auto file = MakeFile();
  file->CreateHeader();
  const uint8_t slot = file->AddSecondary(Secondary("ByName", {2, 1}), Shape());
  ASSERT_EQ(slot, 1);
  file->SetRoot(1, 0);
  auto reopened = Reopen(*file);
  ASSERT_GE(storage_.bytes.size(), size_t{kIndexFirstPageOffset});

  const crypto::TDigest signature = crypto::DigestOfText("VELTRA_SIG");
  std::vector<uint8_t> header(512, 0);
  header[0] = 1;  // change counter after one write
  header[8] = 6;  // version
  std::memcpy(header.data() + 9, signature.data(), 16);
  header[29] = 1;  // next page
  header[33] = 1;  // one secondary index
  EXPECT_EQ(std::vector<uint8_t>(At(0), At(512)), header);

  std::vector<uint8_t> primary(768, 0);  // the default primary: unique, RecordID, size 5
  primary[61] = 5;
  primary[128] = 1;
  primary[130] = 1;
  primary[259] = 0xFF;
  primary[260] = 0xFF;
  EXPECT_EQ(std::vector<uint8_t>(At(512), At(512 + 768)), primary);

  std::vector<uint8_t> secondary(768, 0);  // string(10) + integer + RecordID: 12 + 5 + 4
  secondary[0] = 6;
  std::memcpy(secondary.data() + 1, "ByName", 6);
  secondary[61] = 21;
  secondary[130] = 2;
  secondary[259] = 2;
  secondary[261] = 1;
  EXPECT_EQ(std::vector<uint8_t>(At(512 + 768), At(512 + 2 * 768)), secondary);

  std::vector<uint8_t> full_text(768, 0);
  full_text[0] = 8;
  std::memcpy(full_text.data() + 1, "Sys Text", 8);
  full_text[61] = 68;
  full_text[129] = 3;
  full_text[515] = 1;
  EXPECT_EQ(std::vector<uint8_t>(At(512 + 31 * 768), At(512 + 32 * 768)), full_text);

  EXPECT_EQ(reopened->Definition(1), file->Definition(1));
  EXPECT_EQ(reopened->Definition(31), FullTextDefinition());
  EXPECT_TRUE(IsDefaultPrimary(reopened->Definition(0)));
  EXPECT_EQ(reopened->SecondaryCount(), 1);
  EXPECT_EQ(reopened->ChangeCounter(), 1);
  EXPECT_NO_THROW(reopened->CheckHeader(Shape()));
}

TEST_F(IndexFileTest, EncryptedFileHidesHeaderDefinitionsAndPagesAndReadsBack) {
  auto cipher = TCipherContext::Create(TCipherHooks{}, crypto::DigestOfText("pw"));
  auto file = MakeFile(1024, cipher.get());
  file->CreateHeader();
  file->AddSecondary(Secondary("Amount", {4}), Shape());
  {
    BufferPin pin = file->NewPage(1, TPageType::ptRootLeaf);
    const uint8_t key[] = {1, 0xBF, 0xF0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 9};
    TIndexFile::PageOf(pin).Insert(1, key, 9);
    file->SetRoot(1, pin->BlockNumber());
  }
  auto reopened = Reopen(*file, cipher.get());
  EXPECT_NE(*At(8), 6);  // the version byte is not readable
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(At(512 + 768 + 1)), 6).find("Amount"),
            std::string::npos);
  EXPECT_EQ(reopened->Definition(1).name, "Amount");
  BufferPin pin = reopened->GetPage(reopened->Root(1), 1);
  EXPECT_EQ(TIndexFile::PageOf(pin).Number(1), 9u);
  // Without the password the header is not a valid index file.
  auto plain = MakeFile();
  EXPECT_NE(CodeRaisedBy([&] { plain->Open(); }), 0);
}

TEST_F(IndexFileTest, OpenRefusesWrongVersionsSignaturesAndCounts) {
  struct Case {
    const char* name;
    size_t offset;
    uint8_t value;
    TEngineCode code;
  };
  const Case cases[] = {
      {"older version", 8, 5, kErrTableVersion},
      {"unknown version", 8, 9, kErrInvalidTableFile},
      {"foreign signature", 9, 0x55, kErrInvalidTableFile},
      {"31 secondary indexes", 33, 31, kErrHeaderCorrupt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    storage_.bytes.clear();
    auto file = MakeFile();
    file->CreateHeader();
    Reopen(*file);
    storage_.bytes[c.offset] = static_cast<std::byte>(c.value);
    EXPECT_EQ(CodeRaisedBy([&] { MakeFile()->Open(); }), c.code);
  }
  storage_.bytes.resize(100);
  EXPECT_EQ(CodeRaisedBy([&] { MakeFile()->Open(); }), kErrHeaderCorrupt);
  EXPECT_EQ(CodeRaisedBy([&] { MakeFile(512); }), kErrIndexLimits);
  EXPECT_EQ(CodeRaisedBy([&] { MakeFile(16385); }), kErrIndexLimits);
}

TEST_F(IndexFileTest, DefinitionOperationsCheckTheirArguments) {
  auto file = MakeFile();
  file->CreateHeader();
  file->AddSecondary(Secondary("Taken", {1}), Shape());
  TIndexDefinition many = Secondary("Many", {});
  many.field_count = 129;
  struct Case {
    const char* name;
    TIndexDefinition definition;
    TEngineCode code;
  };
  const Case cases[] = {
      {"empty name", Secondary("", {1}), kErrIndexNameMissing},
      {"digit first", Secondary("1st", {1}), kErrInvalidIndexName},
      {"existing name in other case", Secondary("TAKEN", {1}), kErrIndexExists},
      {"BLOB field", Secondary("Memo", {3}), kErrInvalidIndexField},
      {"missing field", Secondary("Gone", {9}), kErrInvalidIndexField},
      {"no fields", Secondary("None", {}), kErrInvalidKeySize},
      {"key past a third of the page", Secondary("Long", {5, 5}), kErrInvalidKeySize},
      {"129 fields", many, kErrIndexLimits},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CodeRaisedBy([&] { file->AddSecondary(c.definition, Shape()); }), c.code);
    EXPECT_EQ(file->SecondaryCount(), 1);
  }
  EXPECT_EQ(file->AddSecondary(Secondary("_under", {1}), Shape()), 2);
  EXPECT_EQ(file->AddSecondary(Secondary("\xC5"
                                         "ma",
                                         {2}),
                               Shape()),
            3);
  for (int i = 4; i <= 30; ++i)
    file->AddSecondary(Secondary("I" + std::to_string(i), {1}), Shape());
  EXPECT_EQ(CodeRaisedBy([&] { file->AddSecondary(Secondary("Extra", {1}), Shape()); }),
            kErrIndexLimits);

  file->SetPrimary(Secondary("", {1}, true), Shape());
  EXPECT_EQ(file->Definition(0).key_size, 5);
  EXPECT_EQ(CodeRaisedBy([&] { file->SetPrimary(Secondary("", {4}, true), Shape()); }),
            kErrPrimaryIndexExists);
  file->Remove(0);
  EXPECT_TRUE(IsDefaultPrimary(file->Definition(0)));
  EXPECT_EQ(file->Find("taken"), 1);
  EXPECT_EQ(file->Find("nothing"), kNoIndex);
}

TEST_F(IndexFileTest, RemovingASecondaryIndexMovesTheLaterOnesDown) {
  auto file = MakeFile();
  file->CreateHeader();
  for (int i = 1; i <= 5; ++i) {
    file->AddSecondary(Secondary("I" + std::to_string(i), {1}), Shape());
    file->SetRoot(static_cast<uint8_t>(i), 0);
    file->SetDataPage(static_cast<uint8_t>(i), 0);
  }
  file->Remove(2);
  ASSERT_EQ(file->SecondaryCount(), 4);
  EXPECT_EQ(file->Definition(1).name, "I1");
  EXPECT_EQ(file->Definition(2).name, "I3");
  EXPECT_EQ(file->Definition(4).name, "I5");
  EXPECT_EQ(file->Definition(5), TIndexDefinition{});
  EXPECT_EQ(file->Find("I2"), kNoIndex);
  EXPECT_EQ(CodeRaisedBy([&] { file->Remove(5); }), kErrIndexLimits);
  file->Rename(2, Secondary("Three", {2}));
  EXPECT_EQ(file->Definition(2).name, "Three");
  EXPECT_EQ(file->Definition(2).fields[0], 2);
}

TEST_F(IndexFileTest, FreedPagesAreReusedLastFirstAndEmptyingDropsEveryPage) {
  auto file = MakeFile();
  file->CreateHeader();
  std::vector<uint32_t> pages;
  for (int i = 0; i < 4; ++i) pages.push_back(file->NewPage(0, TPageType::ptLeaf)->BlockNumber());
  EXPECT_EQ(pages, (std::vector<uint32_t>{1, 2, 3, 4}));
  for (uint32_t page : {2u, 4u}) {
    BufferPin pin = file->GetRawPage(page);
    file->FreePage(TIndexFile::PageOf(pin));
  }
  EXPECT_EQ(file->FreePageHead(), 4u);
  EXPECT_EQ(file->NewPage(0, TPageType::ptLeaf)->BlockNumber(), 4u);
  EXPECT_EQ(file->NewPage(0, TPageType::ptLeaf)->BlockNumber(), 2u);
  EXPECT_EQ(file->NewPage(0, TPageType::ptLeaf)->BlockNumber(), 5u);
  {  // a free chain whose link leaves the file ends in 8965, not in a page that does not exist
    BufferPin pin = file->GetRawPage(3);
    file->FreePage(TIndexFile::PageOf(pin));
    TIndexFile::PageOf(pin).SetNext(77);
  }
  EXPECT_EQ(CodeRaisedBy([&] { (void)file->NewPage(0, TPageType::ptLeaf); }), kErrIndexPageCorrupt);
  EXPECT_EQ(CodeRaisedBy([&] { (void)file->GetPage(0, 0); }), kErrIndexPageCorrupt);
  file->SetRoot(0, 1);
  auto reopened = Reopen(*file);
  EXPECT_EQ(reopened->NextPageNumber(), 6u);
  reopened->Empty();
  EXPECT_EQ(storage_.bytes.size(), size_t{kIndexFirstPageOffset});
  EXPECT_EQ(reopened->NextPageNumber(), 1u);
  EXPECT_EQ(reopened->FreePageHead(), 0u);
  EXPECT_EQ(reopened->Root(0), 0u);
}

// Each damage: the open-time check refuses it, verification reports its message, repair reports
// the repair wording and leaves a file that verifies clean and passes the check.
TEST_F(IndexFileTest, VerifyReportsAndRepairFixesEachDamage) {
  struct Case {
    const char* name;
    std::function<void(TIndexFile&)> damage;
    const char* verify;
    const char* repair;
  };
  const Case cases[] = {
      {"free page head",
       [](TIndexFile& f) {
         f.FreePage(TIndexFile::PageOf(f.NewPage(0, TPageType::ptLeaf)));
         f.SetRoot(0, 0);
       },
       nullptr, nullptr},
      {"bad first character",
       [](TIndexFile& f) {
         TIndexDefinition d = f.Definition(1);
         d.SetName("9lives");
         f.SetDefinition(1, d);
       },
       "Invalid index name for index 9lives\n", "Invalid index name for index 9lives\n"},
      {"duplicate name",
       [](TIndexFile& f) {
         TIndexDefinition d = f.Definition(2);
         d.SetName("byint");
         f.SetDefinition(2, d);
       },
       "Duplicate index name for index byint\n",
       "Duplicate index name for index byint, error fixed\n"},
      {"named primary",
       [](TIndexFile& f) {
         TIndexDefinition d = f.Definition(0);
         d.SetName("P");
         f.SetDefinition(0, d);
       },
       "Invalid primary index definition\n", "Invalid primary index definition, error fixed\n"},
      {"missing field",
       [](TIndexFile& f) {
         TIndexDefinition d = f.Definition(1);
         d.fields[0] = 9;
         f.SetDefinition(1, d);
       },
       "Invalid field number 9 in index ByInt\nInvalid key field count of 1 for index ByInt\n"
       "Invalid key size of 9 for index ByInt\n",
       "Invalid field number 9 in index ByInt, error fixed and field removed from index\n"
       "Invalid key field count of 1 for index ByInt, error fixed\n"
       "Invalid key size of 9 for index ByInt, error fixed and index removed\n"},
      {"stored key size",
       [](TIndexFile& f) {
         TIndexDefinition d = f.Definition(2);
         d.key_size = 40;
         f.SetDefinition(2, d);
       },
       "Invalid key size of 40 for index ByText\n",
       "Invalid key size of 40 for index ByText, error fixed\n"},
      {"field count",
       [](TIndexFile& f) {
         TIndexDefinition d = f.Definition(2);
         d.field_count = 3;
         f.SetDefinition(2, d);
       },
       "Invalid key field count of 3 for index ByText\n",
       "Invalid key field count of 3 for index ByText, error fixed\n"},
      {"root page", [](TIndexFile& f) { f.SetRoot(2, 50); },
       "Invalid root page pointer for index ByText\n",
       "Invalid root page pointer for index ByText, error fixed\n"},
      {"data page", [](TIndexFile& f) { f.SetDataPage(31, 50); },
       "Invalid data root page pointer for index Sys Text\n",
       "Invalid data root page pointer for index Sys Text, error fixed\n"},
      {"full-text slot",
       [](TIndexFile& f) {
         TIndexDefinition d = f.Definition(31);
         d.AddField(1);  // an integer field is not text
         f.SetDefinition(31, d);
       },
       "Invalid index definition for index Sys Text\n",
       "Invalid index definition for index Sys Text, error fixed\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    storage_.bytes.clear();
    auto file = MakeFile();
    file->CreateHeader();
    file->AddSecondary(Secondary("ByInt", {1}), Shape());
    file->AddSecondary(Secondary("ByText", {2}, true), Shape());
    c.damage(*file);
    if (c.verify == nullptr) {  // the free-page head: damage it in the header itself
      auto reopened = Reopen(*file);
      storage_.bytes[25] = std::byte{99};
      file = MakeFile();
      file->Open();
      EXPECT_EQ(Verify(*file, false), "Invalid free index page pointer\n");
      EXPECT_EQ(CodeRaisedBy([&] { file->CheckHeader(Shape()); }), kErrHeaderCorrupt);
      EXPECT_EQ(Verify(*file, true), "Invalid free index page pointer, error fixed\n");
    } else {
      EXPECT_EQ(CodeRaisedBy([&] { file->CheckHeader(Shape()); }), kErrHeaderCorrupt);
      EXPECT_EQ(Verify(*file, false), c.verify);
      EXPECT_EQ(Verify(*file, true), c.repair);
    }
    EXPECT_EQ(Verify(*file, false), "");
    EXPECT_NO_THROW(file->CheckHeader(Shape()));
    auto reopened = MakeFile();
    reopened->Open();
    EXPECT_EQ(Verify(*reopened, false), "");
  }
}

}  // namespace
}  // namespace veltra
