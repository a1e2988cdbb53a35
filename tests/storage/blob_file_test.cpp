// The BLOB file: the bytes of a new file and of a block, the free-block chain (last freed, first
// taken), the header checks with their codes, block sizes, reads and writes within one block,
// emptying, verification and repair, change counters and encryption.
#include "storage/blob_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "blob_test_support.h"
#include "crypto/md5.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace veltra {
namespace {

using testing::BlobFileFixture;
using testing::CodeRaisedBy;
using testing::ValueBytes;

class BlobFileTest : public BlobFileFixture {};

TEST_F(BlobFileTest, NewFileIsExactlyItsHeader) {
  Create();
  // Counter 1, reserved, version 6, the digest of the engine's default signature, no free
  // block, next new block 1, written while marked changed; zero to the end.
  const std::vector<uint8_t> expected_start = {
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06,                    // 0..8
      0x72, 0x19, 0xF2, 0x67, 0x9D, 0xFB, 0x79, 0x35, 0x8F, 0x37, 0xAB, 0x70,  // 9..20
      0x8C, 0xEB, 0xD9, 0x15,                                                  // 21..24
      0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,                    // 25..33
  };
  ASSERT_EQ(storage_.bytes.size(), kBlobHeaderSize);
  std::vector<uint8_t> actual(kBlobHeaderSize);
  std::memcpy(actual.data(), storage_.bytes.data(), actual.size());
  std::vector<uint8_t> expected(kBlobHeaderSize, 0);
  std::copy(expected_start.begin(), expected_start.end(), expected.begin());
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(file_->ChangeCounter(), 1u);
  EXPECT_EQ(file_->NextNewBlock(), 1u);
  EXPECT_EQ(file_->FirstFreeBlock(), 0);
  EXPECT_TRUE(owner_.written);
}

TEST_F(BlobFileTest, BlockBytesCarryLinksCountsAndData) {
  Create();
  const std::vector<std::byte> value = ValueBytes(kArea + 5);
  ASSERT_EQ(Store(value, 0x01020304), 1u);
  Flush();
  ASSERT_EQ(storage_.bytes.size(), kBlobHeaderSize + 2 * kBlockSize);
  const auto block_header = [&](uint32_t block) {
    std::vector<uint8_t> bytes(kBlockHeaderSize);
    std::memcpy(bytes.data(), BlockBytes(block), bytes.size());
    return bytes;
  };
  // previous 0, next 2, used 46, revision, total length 51.
  EXPECT_EQ(block_header(1),
            (std::vector<uint8_t>{0, 0, 0, 0, 2, 0, 0, 0, 46, 0, 4, 3, 2, 1, 51, 0, 0, 0}));
  // previous 1, next 0, used 5, revision, total 0 (only the first block carries it).
  EXPECT_EQ(block_header(2),
            (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 5, 0, 4, 3, 2, 1, 0, 0, 0, 0}));
  EXPECT_EQ(std::memcmp(BlockBytes(1) + kBlockHeaderSize, value.data(), kArea), 0);
  EXPECT_EQ(std::memcmp(BlockBytes(2) + kBlockHeaderSize, value.data() + kArea, 5), 0);
  EXPECT_TRUE(std::all_of(BlockBytes(2) + kBlockHeaderSize + 5, BlockBytes(2) + kBlockSize,
                          [](std::byte b) { return b == std::byte{0}; }));
  // Next new block 3 in the header.
  EXPECT_EQ(LoadU32Le(HeaderBytes() + kBlobHeaderNextNewOffset), 3u);
}

TEST_F(BlobFileTest, FreedBlocksAreTakenLastFreedFirst) {
  Create();
  for (uint32_t expected = 1; expected <= 10; ++expected) {
    BlockPin pin = file_->TakeBlock();
    ASSERT_EQ(pin.Number(), expected);
    pin->SetUsed(1);
  }
  for (uint32_t block : {5u, 9u}) {
    BlockPin pin = file_->GetBlock(block);
    file_->FreeBlock(*pin);
  }
  EXPECT_EQ(file_->FirstFreeBlock(), 9);
  EXPECT_EQ(file_->GetBlock(9)->Next(), 5);
  EXPECT_EQ(file_->GetBlock(5)->Next(), 0);

  // The chain survives a write and a reopen.
  FlushAndReopen();
  EXPECT_EQ(file_->FirstFreeBlock(), 9);
  for (uint32_t expected : {9u, 5u, 11u}) {
    BlockPin pin = file_->TakeBlock();
    EXPECT_EQ(pin.Number(), expected);
    // A taken block is cleared.
    EXPECT_EQ(pin->Next(), 0);
    EXPECT_EQ(pin->Used(), 0);
    EXPECT_TRUE(pin->Dirty());
  }
  EXPECT_EQ(file_->FirstFreeBlock(), 0);
  EXPECT_EQ(file_->NextNewBlock(), 12u);
}

TEST_F(BlobFileTest, DamagedFreeChainIsRefusedWhenTaking) {
  struct Case {
    const char* name;
    int32_t first_free;
    int32_t next_of_first;  // written into block 2
  };
  const Case cases[] = {
      {"first free beyond the file", 4, 0},
      {"first free negative", -1, 0},
      {"link beyond the file", 2, 9},
      {"link negative", 2, -3},
      {"link to itself", 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Create();
    for (int i = 0; i < 3; ++i) (void)file_->TakeBlock();
    Flush();
    SetNextOnDisk(2, c.next_of_first);
    StoreI32Le(HeaderBytes() + kBlobHeaderFirstFreeOffset, c.first_free);
    Reopen();
    EXPECT_EQ(CodeRaisedBy([&] { (void)file_->TakeBlock(); }), kErrBlobBlockCorrupt);
  }
}

TEST_F(BlobFileTest, FreeingTheHeadTwiceIsRefused) {
  Create();
  BlockPin pin = file_->TakeBlock();
  file_->FreeBlock(*pin);
  EXPECT_EQ(CodeRaisedBy([&] { file_->FreeBlock(*pin); }), kErrBlobBlockCorrupt);
  EXPECT_EQ(pin->Next(), 0);  // no self-link was made
}

TEST_F(BlobFileTest, HeaderDamageGivesItsCode) {
  struct Case {
    const char* name;
    std::function<void(uint8_t*)> damage;
    TEngineCode at_open;   // ReadHeader
    TEngineCode at_check;  // CheckBlobHeader, when the open succeeded
  };
  const Case cases[] = {
      {"intact", [](uint8_t*) {}, 0, 0},
      {"version 5", [](uint8_t* h) { h[kBlobHeaderVersionOffset] = 5; }, kErrTableVersion, 0},
      {"version 0", [](uint8_t* h) { h[kBlobHeaderVersionOffset] = 0; }, kErrTableVersion, 0},
      {"version 7", [](uint8_t* h) { h[kBlobHeaderVersionOffset] = 7; }, kErrInvalidTableFile, 0},
      {"foreign signature", [](uint8_t* h) { h[kBlobHeaderSignatureOffset + 3] ^= 0x40; },
       kErrInvalidTableFile, 0},
      {"next new block 0", [](uint8_t* h) { StoreI32Le(h + kBlobHeaderNextNewOffset, 0); }, 0,
       kErrHeaderCorrupt},
      {"next new block negative", [](uint8_t* h) { StoreI32Le(h + kBlobHeaderNextNewOffset, -8); },
       0, kErrHeaderCorrupt},
      {"free block in an empty file",
       [](uint8_t* h) {
         StoreI32Le(h + kBlobHeaderNextNewOffset, 1);
         StoreI32Le(h + kBlobHeaderFirstFreeOffset, 1);
       },
       0, kErrHeaderCorrupt},
      {"free block past the count",
       [](uint8_t* h) { StoreI32Le(h + kBlobHeaderFirstFreeOffset, 4); }, 0, kErrHeaderCorrupt},
      {"free block negative", [](uint8_t* h) { StoreI32Le(h + kBlobHeaderFirstFreeOffset, -1); }, 0,
       kErrHeaderCorrupt},
      {"free block is the last block",
       [](uint8_t* h) { StoreI32Le(h + kBlobHeaderFirstFreeOffset, 3); }, 0, 0},
      {"modified byte and reserved bytes are ignored",
       [](uint8_t* h) {
         h[kBlobHeaderModifiedOffset] = 0x5A;
         h[kBlobHeaderReservedOffset] = 0x11;
         h[kBlobHeaderSize - 1] = 0x22;
       },
       0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Create();
    for (int i = 0; i < 3; ++i) (void)file_->TakeBlock();
    Flush();
    c.damage(HeaderBytes());
    EXPECT_EQ(CodeRaisedBy([&] { Reopen(); }), c.at_open);
    if (c.at_open == 0) {
      EXPECT_EQ(CodeRaisedBy([&] { file_->CheckBlobHeader(); }), c.at_check);
    }
  }
}

TEST_F(BlobFileTest, AFileShorterThanItsHeaderIsNotValid) {
  Create();
  storage_.bytes.resize(100);
  EXPECT_EQ(CodeRaisedBy([&] { Reopen(); }), kErrInvalidTableFile);
}

TEST_F(BlobFileTest, TheEnginesOwnSignatureAndTheStandardOneAreBothAccepted) {
  engine_.SetSignature("LOTTERY_HOST");
  Create();  // written with the digest of "LOTTERY_HOST"
  EXPECT_EQ(CodeRaisedBy([&] { Reopen(); }), 0);
  engine_.SetSignature("OTHER");
  EXPECT_EQ(CodeRaisedBy([&] { Reopen(); }), kErrInvalidTableFile);
  Create();  // the digest of "OTHER"
  engine_.SetSignature(kFallbackSignature);
  EXPECT_EQ(CodeRaisedBy([&] { Reopen(); }), kErrInvalidTableFile);
  engine_.SetSignature("OTHER");
  Create();
  const crypto::TDigest fallback = crypto::DigestOfText(kFallbackSignature);
  std::copy(fallback.begin(), fallback.end(), HeaderBytes() + kBlobHeaderSignatureOffset);
  EXPECT_EQ(CodeRaisedBy([&] { Reopen(); }), 0);
}

TEST_F(BlobFileTest, BlockSizesOutsideTheLimitsAreRefused) {
  const std::array<uint8_t, 16> key{};
  std::unique_ptr<TCipherContext> cipher = engine_.CreateCipherState(key);
  struct Case {
    uint32_t block_size;
    bool encrypted;
    TEngineCode at_create;
    TEngineCode at_open;
  };
  const Case cases[] = {
      {64, false, 0, 0},
      {63, false, kErrBlobFieldLimits, kErrHeaderCorrupt},
      {65536, false, 0, 0},
      {65537, false, kErrBlobFieldLimits, kErrHeaderCorrupt},
      {100, false, 0, 0},
      // Encrypted blocks are whole cipher units, so no tail stays in plain text.
      {100, true, kErrBlobFieldLimits, kErrBlobFieldLimits},
      {104, true, 0, 0},
      {65535, true, kErrBlobFieldLimits, kErrBlobFieldLimits},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.block_size << (c.encrypted ? " encrypted" : ""));
    TCipherContext* context = c.encrypted ? cipher.get() : nullptr;
    EXPECT_EQ(CodeRaisedBy([&] { Create(context, c.block_size); }), c.at_create);
    if (c.at_create != 0) {
      EXPECT_TRUE(storage_.bytes.empty());
    }
    // The same size given by a data header when an existing file is opened.
    Create();
    EXPECT_EQ(CodeRaisedBy([&] { Reopen(context, c.block_size); }),
              c.at_open == 0 && c.encrypted ? kErrInvalidTableFile : c.at_open);
  }
}

TEST_F(BlobFileTest, TheCacheIsSizedByTheBlobBudget) {
  struct Case {
    uint32_t block_size;
    uint32_t buffers;  // 32,768 bytes ÷ (block size − 18 + 56), at least 1
  };
  const Case cases[] = {{64, 321}, {512, 59}, {16384, 1}, {65536, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block_size);
    Create(nullptr, c.block_size);
    EXPECT_EQ(file_->CacheSize(), c.buffers);
    EXPECT_EQ(file_->ReadAheadLimit(), 1u);
  }
}

TEST_F(BlobFileTest, ReadsAndWritesStayInsideTheDataArea) {
  struct Case {
    uint32_t offset;
    size_t count;
    TEngineCode code;
    size_t read;  // bytes a read gives back from a block with 20 bytes used
  };
  const Case cases[] = {
      {0, 20, 0, 20},
      {0, kArea, 0, 20},
      {10, 30, 0, 10},
      {20, 5, 0, 0},
      {kArea, 0, 0, 0},
      {30, 16, 0, 0},
      {0, kArea + 1, kErrInvalidBlobLength, 0},
      {30, 17, kErrInvalidBlobLength, 0},
      {kArea + 1, 0, kErrInvalidBlobLength, 0},
  };
  Create();
  BlockPin pin = file_->TakeBlock();
  const std::vector<std::byte> value = ValueBytes(20);
  ASSERT_EQ(file_->WriteIntoBlock(*pin, 0, value), 20u);
  EXPECT_EQ(pin->Used(), 20);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.offset << "+" << c.count);
    std::vector<std::byte> out(c.count);
    size_t read = 0;
    EXPECT_EQ(CodeRaisedBy([&] { read = file_->ReadFromBlock(*pin, c.offset, out); }), c.code);
    EXPECT_EQ(read, c.read);
    if (c.read > 0) {
      EXPECT_EQ(std::memcmp(out.data(), value.data() + c.offset, c.read), 0);
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "write " << c.offset << "+" << c.count);
    const std::vector<std::byte> bytes(c.count, std::byte{0x7E});
    EXPECT_EQ(CodeRaisedBy([&] { (void)file_->WriteIntoBlock(*pin, c.offset, bytes); }), c.code);
  }
  // Writes raise the used count to cover what they wrote, never lower it.
  EXPECT_EQ(pin->Used(), kArea);
}

TEST_F(BlobFileTest, EmptyingCutsTheFileBackToAFreshHeader) {
  Create();
  (void)Store(ValueBytes(3 * kArea));
  Flush();
  {
    BlockPin pin = file_->GetBlock(2);
    file_->FreeBlock(*pin);
  }
  const uint32_t counter = file_->ChangeCounter();
  file_->EmptyBlobFile();
  EXPECT_EQ(storage_.bytes.size(), kBlobHeaderSize);
  EXPECT_EQ(file_->BufferCount(), 0u);
  EXPECT_TRUE(file_->HeaderChanged());
  Flush();
  EXPECT_EQ(storage_.bytes.size(), kBlobHeaderSize);
  Reopen();
  EXPECT_EQ(file_->NextNewBlock(), 1u);
  EXPECT_EQ(file_->FirstFreeBlock(), 0);
  EXPECT_EQ(file_->ChangeCounter(), counter + 1);
  EXPECT_EQ(file_->TakeBlock().Number(), 1u);
}

TEST_F(BlobFileTest, ChangeCountersMoveAtEveryWriteAndAreSeenOnReload) {
  Create();
  TBlobFile other(engine_, storage_, owner_);
  other.ReadHeader({.block_size = kBlockSize});
  EXPECT_FALSE(other.ReloadHeader());

  file_->MarkHeaderChanged();  // raised in memory at once, not written
  EXPECT_EQ(file_->ChangeCounter(), 2u);
  EXPECT_FALSE(other.ReloadHeader());
  file_->WriteHeader();
  EXPECT_EQ(file_->ChangeCounter(), 3u);
  EXPECT_TRUE(other.ReloadHeader());
  EXPECT_EQ(other.ChangeCounter(), 3u);

  // A header written unchanged only when forced.
  EXPECT_FALSE(file_->WriteHeaderIfChanged());
  EXPECT_TRUE(file_->WriteHeaderIfChanged(true));
  EXPECT_EQ(file_->ChangeCounter(), 4u);

  // After the largest signed value the counter continues at 1.
  StoreU32Le(HeaderBytes(), 2147483647u);
  Reopen();
  file_->WriteHeader();
  EXPECT_EQ(LoadU32Le(HeaderBytes()), 1u);
}

TEST_F(BlobFileTest, VerificationReportsAndRepairsLengthCountAndFreePointer) {
  struct Case {
    const char* name;
    int64_t resize_by;       // bytes added to (or cut from) a file of 3 whole blocks
    int32_t next_new_block;  // written into the header
    int32_t first_free;
    std::vector<std::string_view> findings;
    uint32_t repaired_blocks;
  };
  constexpr int64_t kHalf = kBlockSize / 2;
  const Case cases[] = {
      {"sound", 0, 4, 0, {}, 3},
      {"half a block more", kHalf, 4, 0, {kBlobNotAligned}, 3},
      // 512 + 2.5 blocks: the partial block goes, then the count follows the length.
      {"two and a half blocks", -kHalf, 5, 0, {kBlobNotAligned, kBlobBlockCountWrong}, 2},
      {"two and a half blocks, count right after the cut", -kHalf, 3, 0, {kBlobNotAligned}, 2},
      {"count too large", 0, 6, 0, {kBlobBlockCountWrong}, 3},
      {"count too small", 0, 2, 0, {kBlobBlockCountWrong}, 3},
      {"count zero", 0, 0, 0, {kBlobBlockCountWrong}, 3},
      {"free pointer past the end", 0, 4, 7, {kBlobFreePointerInvalid}, 3},
      {"free pointer negative", 0, 4, -2, {kBlobFreePointerInvalid}, 3},
      {"all at once",
       10,
       9,
       9,
       {kBlobNotAligned, kBlobBlockCountWrong, kBlobFreePointerInvalid},
       3},
  };
  for (const Case& c : cases) {
    for (const bool repair : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.name << (repair ? ", repair" : ""));
      Create();
      (void)Store(ValueBytes(3 * kArea));
      Flush();
      storage_.bytes.resize(
          static_cast<size_t>(static_cast<int64_t>(storage_.bytes.size()) + c.resize_by),
          std::byte{0x33});
      StoreI32Le(HeaderBytes() + kBlobHeaderNextNewOffset, c.next_new_block);
      StoreI32Le(HeaderBytes() + kBlobHeaderFirstFreeOffset, c.first_free);
      Reopen();
      std::vector<std::string> log;
      const bool clean =
          file_->VerifyBlobFile(repair, [&](std::string_view line) { log.emplace_back(line); });
      std::vector<std::string> expected;
      for (std::string_view finding : c.findings) {
        expected.push_back(std::string(finding) + (repair ? std::string(kErrorFixedSuffix) : ""));
      }
      EXPECT_EQ(log, expected);
      EXPECT_EQ(clean, c.findings.empty());
      if (!repair) continue;
      EXPECT_TRUE(file_->HeaderChanged());
      Flush();
      Reopen();
      file_->CheckBlobHeader();
      EXPECT_EQ(file_->NextNewBlock(), c.repaired_blocks + 1);
      EXPECT_EQ(storage_.bytes.size(), kBlobHeaderSize + c.repaired_blocks * kBlockSize);
      EXPECT_TRUE(file_->VerifyBlobFile(false, {}));
      // The value's blocks are intact after the repair.
      if (c.repaired_blocks == 3) {
        EXPECT_EQ(LoadBlobChain(*file_, 1, 7).bytes, ValueBytes(3 * kArea));
      }
    }
  }
}

TEST_F(BlobFileTest, VerificationFollowsTheFreeChainAndEmptiesItWhenCyclic) {
  Create();
  for (int i = 0; i < 4; ++i) (void)file_->TakeBlock();
  for (uint32_t block : {1u, 3u}) {
    BlockPin pin = file_->GetBlock(block);
    file_->FreeBlock(*pin);
  }
  EXPECT_TRUE(file_->VerifyBlobFile(false, {}));
  Flush();
  SetNextOnDisk(1, 3);  // 3 -> 1 -> 3 -> ...
  Reopen();
  std::vector<std::string> log;
  EXPECT_FALSE(file_->VerifyBlobFile(true, [&](std::string_view line) { log.emplace_back(line); }));
  EXPECT_EQ(log, (std::vector<std::string>{std::string(kBlobFreePointerInvalid) +
                                           std::string(kErrorFixedSuffix)}));
  EXPECT_EQ(file_->FirstFreeBlock(), 0);
  EXPECT_EQ(file_->TakeBlock().Number(), 5u);
}

TEST_F(BlobFileTest, EncryptedFileRoundTripsAndHidesItsBytes) {
  const crypto::TDigest key = crypto::DigestOfText("secret");
  std::unique_ptr<TCipherContext> cipher = engine_.CreateCipherState(key);
  constexpr uint32_t kEncryptedBlockSize = 72;
  constexpr uint32_t kEncryptedArea = kEncryptedBlockSize - kBlockHeaderSize;
  std::vector<std::byte> value(2 * kEncryptedArea + 7, std::byte{'A'});
  Create(cipher.get(), kEncryptedBlockSize);
  EXPECT_TRUE(file_->Encrypted());
  const uint32_t first = Store(value);
  FlushAndReopen(cipher.get(), kEncryptedBlockSize);
  EXPECT_EQ(file_->NextNewBlock(), 4u);
  EXPECT_EQ(file_->ChangeCounter(), 2u);
  const TLoadedChain loaded = LoadBlobChain(*file_, first, 7);
  ASSERT_EQ(loaded.status, TChainStatus::csDone);
  EXPECT_EQ(loaded.bytes, value);

  // Nothing on disk reads as plain: no version byte, and not even the last eight bytes of a
  // block are a run of the value's letter.
  EXPECT_NE(HeaderBytes()[kBlobHeaderVersionOffset], kBlobFileVersion);
  for (uint32_t block = 1; block <= 2; ++block) {
    const std::byte* tail = BlockBytes(block, kEncryptedBlockSize) + kEncryptedBlockSize - 8;
    EXPECT_FALSE(std::all_of(tail, tail + 8, [](std::byte b) { return b == std::byte{'A'}; }));
  }
  // Without the key, or with another one, the header does not read as a BLOB file's.
  EXPECT_NE(CodeRaisedBy([&] { Reopen(nullptr, kEncryptedBlockSize); }), 0);
  std::unique_ptr<TCipherContext> wrong = engine_.CreateCipherState(crypto::DigestOfText("Secret"));
  EXPECT_NE(CodeRaisedBy([&] { Reopen(wrong.get(), kEncryptedBlockSize); }), 0);
}

TEST(EngineBlobStorage, ARealFileIsCreatedReadAndCutBack) {
  testing::TempDir dir;
  TDataEngine engine;
  testing::FakeOwner owner;
  const std::string path = dir.File("draws.blb");
  const std::vector<std::byte> value = ValueBytes(1000);
  uint32_t first = 0;
  {
    TEngineFile handle(engine, path, false);
    handle.Create();
    EngineBlobStorage storage(handle);
    TBlobFile file(engine, storage, owner);
    file.CreateHeader({.block_size = 128});
    first = WriteBlobChain(file, 0, 3, value).first_block;
    (void)file.WriteBack(false);
    file.WriteHeader();
    EXPECT_EQ(storage.Size(), kBlobHeaderSize + 10 * 128);
  }
  TEngineFile handle(engine, path, false);
  handle.Open();
  EngineBlobStorage storage(handle);
  TBlobFile file(engine, storage, owner);
  file.ReadHeader({.block_size = 128});
  file.CheckBlobHeader();
  EXPECT_EQ(LoadBlobChain(file, first, 3).bytes, value);
  file.EmptyBlobFile();
  file.WriteHeader();
  EXPECT_EQ(storage.Size(), kBlobHeaderSize);
  EXPECT_TRUE(file.VerifyBlobFile(false, {}));
}

}  // namespace
}  // namespace veltra
