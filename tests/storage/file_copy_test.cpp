// Copies: plain and compressed round trips, the compressed layout, copies embedded in a larger
// file, damaged copies refused with clear errors, progress, and the compressor's answers checked.
#include "storage/file_copy.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "core/file_registry.h"
#include "crypto/md5.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "support/temp_dir.h"
#include "support/engine_error_code.h"

namespace veltra {
namespace {

using testing::TempDir;

using Bytes = std::vector<uint8_t>;

using veltra::testing::CodeRaisedBy;

// Bytes that compress somewhat but not to nothing.
Bytes Content(size_t size) {
  Bytes bytes(size);
  uint32_t state = 12345;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245 + 12345;
    bytes[i] = static_cast<uint8_t>(i % 7 == 0 ? state >> 24 : i / 1000);
  }
  return bytes;
}

class FileCopyTest : public ::testing::Test {
 protected:
  std::string NameOf(const std::string& name, bool in_memory) const {
    return in_memory ? "Memory/" + name : dir_.File(name);
  }

  void Put(const std::string& name, bool in_memory, const Bytes& content) {
    TEngineFile file(engine_, name, in_memory);
    file.Create();
    if (!content.empty()) file.Write(content.data(), content.size());
    file.Close();
  }

  Bytes Get(const std::string& name, bool in_memory) {
    TEngineFile file(engine_, name, in_memory);
    file.Open();
    Bytes content(file.Size());
    if (!content.empty()) file.ReadAt(0, content.data(), content.size(), false);
    return content;
  }

  // Replaces the content of a fresh file from the copy `copy`; returns what it then holds.
  Bytes Restore(const std::string& copy, bool in_memory) {
    const std::string name = NameOf("restored.dat", in_memory);
    TEngineFile file(engine_, name, in_memory);
    file.Create();
    file.Write("stale bytes that must go", 24);
    file.ReplaceFromFile(copy, TCopyOptions{});
    file.Close();
    return Get(name, in_memory);
  }

  TempDir dir_;
  TDataEngine engine_;
};

struct RoundTrip {
  size_t size;
  uint8_t level;
  bool in_memory;
};

class CopyRoundTrips : public FileCopyTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(CopyRoundTrips, RestoreGivesBackTheFile) {
  const RoundTrip& c = GetParam();
  const Bytes content = Content(c.size);
  const std::string source_name = NameOf("source.dat", c.in_memory);
  const std::string copy_name = NameOf("copy.dbk", c.in_memory);
  Put(source_name, c.in_memory, content);
  {
    TEngineFile source(engine_, source_name, c.in_memory);
    source.Open();
    source.CopyToFile(copy_name, TCopyOptions{.compression_level = c.level});
  }
  const Bytes copy = Get(copy_name, c.in_memory);
  if (c.level == 0) {
    EXPECT_EQ(copy, content);
  } else {
    const crypto::TDigest marker = crypto::DigestOfText("VELTRA_COMP");
    ASSERT_GE(copy.size(), kCompressedCopyPrefixSize);
    EXPECT_TRUE(std::equal(marker.begin(), marker.end(), copy.begin()));
    EXPECT_EQ(copy[kCompressedCopyLevelOffset], c.level);
    if (c.size == 0) {
      EXPECT_EQ(copy.size(), kCompressedCopyPrefixSize);  // no chunks
    }
  }
  EXPECT_EQ(Restore(copy_name, c.in_memory), content);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CopyRoundTrips,
                         ::testing::Values(RoundTrip{0, 0, false}, RoundTrip{0, 6, false},
                                           RoundTrip{1, 0, false}, RoundTrip{1, 1, false},
                                           RoundTrip{kCopyChunkSize, 9, false},
                                           RoundTrip{kCopyChunkSize + 1, 0, false},
                                           RoundTrip{kCopyChunkSize + 1, 6, false},
                                           RoundTrip{200000, 1, false}, RoundTrip{200000, 6, true},
                                           RoundTrip{100, 0, true}),
                         [](const auto& info) {
                           return "Size" + std::to_string(info.param.size) + "Level" +
                                  std::to_string(info.param.level) +
                                  (info.param.in_memory ? "Memory" : "Disk");
                         });

TEST(FileCopyFormat, ChunkLengthCapIsZlibsBoundForAFullChunk) {
  EXPECT_EQ(kMaxCompressedChunkSize, ZlibCompressBound(kCopyChunkSize));
}

TEST_F(FileCopyTest, CopiesEmbeddedInALargerFileAreReadAndSkippedByTheirLength) {
  const Bytes first = Content(70000);
  const Bytes second = Content(5);
  const Bytes third = Content(3000);
  Put(dir_.File("a.dat"), false, first);
  Put(dir_.File("b.dat"), false, second);
  Put(dir_.File("c.dat"), false, third);

  TEngineFile backup(engine_, dir_.File("backup.bkp"), false);
  backup.Create();
  backup.Write("HEAD", 4);
  const uint8_t levels[] = {6, 0, 1};
  const char* names[] = {"a.dat", "b.dat", "c.dat"};
  for (int i = 0; i < 3; ++i) {
    TEngineFile file(engine_, dir_.File(names[i]), false);
    file.Open();
    file.AppendToFile(backup, TCopyOptions{.compression_level = levels[i]});
  }
  backup.Write("TAIL", 4);

  backup.Seek(TSeekOrigin::soBeginning, 4);
  TEngineFile restored(engine_, dir_.File("restored.dat"), false);
  restored.Create();
  restored.SkipInFile(backup, first.size());
  restored.ReadFromFile(backup, second.size(), TCopyOptions{});
  Bytes got(restored.Size());
  restored.ReadAt(0, got.data(), got.size(), false);
  EXPECT_EQ(got, second);
  restored.ReadFromFile(backup, third.size(), TCopyOptions{});
  got.resize(restored.Size());
  restored.ReadAt(0, got.data(), got.size(), false);
  EXPECT_EQ(got, third);
  char tail[4];
  backup.Read(tail, 4, false);
  EXPECT_EQ(std::string(tail, 4), "TAIL");
}

// Ways to damage the compressed copy of a 70,000-byte file (two chunks).
struct Damage {
  const char* label;
  std::function<void(Bytes&)> apply;
  TEngineCode expected;
};

void SetLength(Bytes& copy, size_t at, uint32_t length) {
  for (int i = 0; i < 4; ++i) copy[at + i] = static_cast<uint8_t>(length >> (8 * i));
}

uint32_t LengthAt(const Bytes& copy, size_t at) {
  return copy[at] | copy[at + 1] << 8 | copy[at + 2] << 16 |
         static_cast<uint32_t>(copy[at + 3]) << 24;
}

class DamagedCopies : public FileCopyTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedCopies, AreRefusedWithAClearError) {
  Put(dir_.File("source.dat"), false, Content(70000));
  {
    TEngineFile source(engine_, dir_.File("source.dat"), false);
    source.Open();
    source.CopyToFile(dir_.File("copy.dbk"), TCopyOptions{.compression_level = 6});
  }
  Bytes copy = Get(dir_.File("copy.dbk"), false);
  GetParam().apply(copy);
  ASSERT_TRUE(platform::DeleteFile(dir_.File("copy.dbk")).ok());
  Put(dir_.File("copy.dbk"), false, copy);
  EXPECT_EQ(CodeRaisedBy([&] { Restore(dir_.File("copy.dbk"), false); }), GetParam().expected);
}

constexpr size_t kFirstLength = kCompressedCopyPrefixSize;

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedCopies,
    ::testing::Values(
        Damage{"LengthPastTheBound",
               [](Bytes& c) { SetLength(c, kFirstLength, kMaxCompressedChunkSize + 1); },
               kErrInvalidTableFile},
        Damage{"HugeLength", [](Bytes& c) { SetLength(c, kFirstLength, 0xFFFFFFFF); },
               kErrInvalidTableFile},
        Damage{"LengthPastTheEnd",
               [](Bytes& c) {
                 SetLength(c, kFirstLength, static_cast<uint32_t>(c.size() - kFirstLength));
               },
               kErrInvalidTableFile},
        Damage{"TruncatedChunk", [](Bytes& c) { c.resize(c.size() - 10); }, kErrInvalidTableFile},
        Damage{"TruncatedLength",
               [](Bytes& c) { c.resize(kFirstLength + 4 + LengthAt(c, kFirstLength) + 2); },
               kErrInvalidTableFile},
        Damage{"MissingLevel", [](Bytes& c) { c.resize(kCompressedCopyMarkerSize); },
               kErrInvalidTableFile},
        Damage{"GarbledData", [](Bytes& c) { c[kFirstLength + 4 + 2] ^= 0xFF; }, kErrUncompress},
        Damage{"ChunkInflatesPastAChunk",
               [](Bytes& c) {
                 const Bytes big = ZlibCompress(Bytes(kCopyChunkSize + 1, 'x'), 6);
                 c.resize(kFirstLength + 4);
                 SetLength(c, kFirstLength, static_cast<uint32_t>(big.size()));
                 c.insert(c.end(), big.begin(), big.end());
               },
               kErrUncompress}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(FileCopyTest, EmbeddedCopyMustHoldTheBytesItsCallerExpects) {
  Put(dir_.File("a.dat"), false, Content(1000));
  TEngineFile backup(engine_, dir_.File("backup.bkp"), false);
  backup.Create();
  {
    TEngineFile file(engine_, dir_.File("a.dat"), false);
    file.Open();
    file.AppendToFile(backup, TCopyOptions{.compression_level = 1});
    file.AppendToFile(backup, TCopyOptions{});
  }
  TEngineFile restored(engine_, dir_.File("restored.dat"), false);
  restored.Create();
  struct Case {
    uint64_t start;
    uint64_t count;
    TEngineCode expected;
  };
  const uint64_t plain_start = backup.Size() - 1000;
  for (const Case& c : {Case{0, 999, kErrInvalidTableFile},         // a chunk holds more
                        Case{0, 1000, 0},                           // exact
                        Case{plain_start, 1001, kErrReadError}}) {  // past the end of the file
    backup.Seek(TSeekOrigin::soBeginning, static_cast<int64_t>(c.start));
    EXPECT_EQ(CodeRaisedBy([&] { restored.ReadFromFile(backup, c.count, TCopyOptions{}); }), c.expected)
        << c.count;
  }
  // A compressed copy that ends before its bytes are all there.
  backup.Seek(TSeekOrigin::soBeginning, 0);
  backup.Write(nullptr, 0);
  {
    TEngineFile file(engine_, dir_.File("a.dat"), false);
    file.Open();
    file.AppendToFile(backup, TCopyOptions{.compression_level = 1});
  }
  backup.Seek(TSeekOrigin::soBeginning, 0);
  EXPECT_EQ(CodeRaisedBy([&] { restored.ReadFromFile(backup, 1001, TCopyOptions{}); }),
            kErrInvalidTableFile);
}

TEST_F(FileCopyTest, ProgressRunsFromZeroToAHundredInSteps) {
  Put(dir_.File("source.dat"), false, Content(200000));  // chunks end at 32%, 65%, 98%, 100%
  struct Case {
    int step;
    uint8_t level;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {10, 0, {0, 32, 65, 98, 100}},
      {50, 0, {0, 65, 100}},
      {0, 6, {0, 32, 65, 98, 100}},
      {100, 6, {0, 100}},
  };
  TEngineFile source(engine_, dir_.File("source.dat"), false);
  source.Open();
  for (const Case& c : cases) {
    std::vector<int> reported;
    std::string named;
    source.CopyToFile(dir_.File("copy.dbk"),
                      TCopyOptions{.compression_level = c.level,
                                   .progress_step = c.step,
                                   .progress = [&](std::string_view name, int percent) {
                                     named = name;
                                     reported.push_back(percent);
                                   }});
    EXPECT_EQ(reported, c.expected) << c.step;
    EXPECT_EQ(named, dir_.File("source.dat"));
  }
  Put(dir_.File("empty.dat"), false, {});
  TEngineFile empty(engine_, dir_.File("empty.dat"), false);
  empty.Open();
  std::vector<int> reported;
  empty.CopyToFile(dir_.File("empty.dbk"), TCopyOptions{.progress = [&](std::string_view, int p) {
                     reported.push_back(p);
                   }});
  EXPECT_EQ(reported, (std::vector<int>{0, 100}));
}

TEST_F(FileCopyTest, CompressorAnswerThatCouldNotBeReadBackFailsAndLeavesNoCopy) {
  Put(dir_.File("source.dat"), false, Content(1000));
  TEngineFile source(engine_, dir_.File("source.dat"), false);
  source.Open();
  const Bytes answers[] = {Bytes(kMaxCompressedChunkSize + 1, 1), Bytes{}};
  for (const Bytes& answer : answers) {
    engine_.MutableHooks().Compression.Compress = [&](std::span<const uint8_t>, uint8_t) {
      return answer;
    };
    EXPECT_EQ(CodeRaisedBy([&] {
                source.CopyToFile(dir_.File("copy.dbk"), TCopyOptions{.compression_level = 1});
              }),
              kErrCompress);
    EXPECT_FALSE(platform::FileExists(dir_.File("copy.dbk")));
  }
}

TEST_F(FileCopyTest, CompressionHooksReplaceZlib) {
  // A "compressor" that stores the bytes reversed.
  auto reverse = [](std::span<const uint8_t> input) { return Bytes(input.rbegin(), input.rend()); };
  engine_.MutableHooks().Compression.Compress = [&](std::span<const uint8_t> in, uint8_t) {
    return reverse(in);
  };
  engine_.MutableHooks().Compression.Decompress = [&](std::span<const uint8_t> in) {
    return reverse(in);
  };
  const Bytes content = Content(100);
  Put(dir_.File("source.dat"), false, content);
  TEngineFile source(engine_, dir_.File("source.dat"), false);
  source.Open();
  source.CopyToFile(dir_.File("copy.dbk"), TCopyOptions{.compression_level = 3});
  const Bytes copy = Get(dir_.File("copy.dbk"), false);
  ASSERT_EQ(copy.size(), kCompressedCopyPrefixSize + 4 + content.size());
  EXPECT_EQ(copy[kCompressedCopyPrefixSize + 4], content.back());
  EXPECT_EQ(Restore(dir_.File("copy.dbk"), false), content);
}

}  // namespace
}  // namespace veltra
