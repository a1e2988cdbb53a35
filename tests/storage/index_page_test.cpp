// Index pages: pack and unpack round trips in every compression mode, unique and not, the packed
// size kept in step with a full repack, the shared-prefix example, capacity from the real stored
// sizes (two 337-byte keys on a 1,024-byte page, pages of one entry), encrypted images, and
// damaged images that must give 8965 rather than a read outside the page.
#include "storage/index_page.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cache_test_doubles.h"
#include "core/engine_error.h"
#include "core/engine_hooks.h"
#include "crypto/md5.h"
#include "storage/index_file.h"
#include "support/engine_error_code.h"

namespace veltra {
namespace {

using testing::FakeOwner;
using testing::MemoryStorage;

using veltra::testing::CodeRaisedBy;

TIndexFileConfig ConfigFor(uint32_t page_size) {
  TIndexFileConfig config;
  config.page_size = page_size;
  return config;
}

class PageFixture {
 public:
  explicit PageFixture(uint32_t page_size = 4096) : file_(storage_, owner_, ConfigFor(page_size)) {}
  std::unique_ptr<TPage> NewPage(TCipherContext* cipher = nullptr) {
    return std::make_unique<TPage>(file_, file_.PageSize(), cipher, &owner_);
  }
  // The page read back from its disk image and bound to its layout.
  std::unique_ptr<TPage> RoundTrip(const TPage& page, TCipherContext* cipher = nullptr) {
    std::vector<std::byte> image(page.PageSize());
    page.SaveToDiskImage(image);
    auto copy = NewPage(cipher);
    copy->LoadFromDiskImage(image);
    copy->Bind(page.Layout());
    return copy;
  }

  MemoryStorage storage_;
  FakeOwner owner_;
  TIndexFile file_;
};

// Keys with long shared beginnings and zero tails, as string keys have.
std::vector<uint8_t> RandomKey(std::mt19937& random, const TPageLayout& layout) {
  std::vector<uint8_t> key(layout.key_size, 0);
  const uint32_t part = layout.key_size - (layout.unique ? 0 : 4);
  key[0] = 1;
  const uint32_t used = 1 + random() % part;
  for (uint32_t i = 1; i < used; ++i) key[i] = static_cast<uint8_t>('A' + random() % 3);
  for (uint32_t i = part; i < layout.key_size; ++i) key[i] = static_cast<uint8_t>(random());
  return key;
}

struct ModeCase {
  TKeyCompression compression;
  bool unique;
  uint16_t key_size;
};

std::string ModeName(const ::testing::TestParamInfo<ModeCase>& info) {
  static const char* const kNames[] = {"None", "DupByte", "TrailByte", "Full"};
  return std::string(kNames[static_cast<int>(info.param.compression)]) +
         (info.param.unique ? "Unique" : "NonUnique") + std::to_string(info.param.key_size);
}

class PageModes : public ::testing::TestWithParam<ModeCase> {};

// Random inserts and deletes on a leaf page: after every step the packed size equals a full
// repack, and the page read back from its image holds the same entries.
TEST_P(PageModes, PackedSizeMatchesARepackAndImagesRoundTrip) {
  const ModeCase mode = GetParam();
  const TPageLayout layout{mode.key_size, mode.unique, false, mode.compression};
  PageFixture fixture;
  auto page = fixture.NewPage();
  page->InitialiseFor(layout, TPageType::ptLeaf);
  std::mt19937 random(3);
  std::vector<std::vector<uint8_t>> keys;
  for (int step = 0; step < 400; ++step) {
    if (keys.empty() || random() % 3 != 0) {
      std::vector<uint8_t> key = RandomKey(random, layout);
      const auto position =
          static_cast<uint16_t>(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin() + 1);
      if (!page->CanInsert(position, key)) break;
      page->Insert(position, key, static_cast<uint32_t>(step + 1));
      keys.insert(keys.begin() + position - 1, key);
    } else {
      const auto entry = static_cast<uint16_t>(1 + random() % keys.size());
      page->Delete(entry);
      keys.erase(keys.begin() + entry - 1);
    }
    const uint16_t incremental = page->PackedSize();
    page->RecomputePackedSize();
    ASSERT_EQ(incremental, page->PackedSize()) << "step " << step;
    ASSERT_LE(page->PackedSize(), page->EntryArea());
  }
  ASSERT_GT(keys.size(), 5u);
  auto copy = fixture.RoundTrip(*page);
  ASSERT_EQ(copy->Count(), keys.size());
  EXPECT_EQ(copy->PackedSize(), page->PackedSize());
  for (uint16_t entry = 1; entry <= copy->Count(); ++entry) {
    ASSERT_TRUE(
        std::equal(keys[entry - 1].begin(), keys[entry - 1].end(), copy->Key(entry).begin()));
    ASSERT_EQ(copy->Number(entry), page->Number(entry));
    ASSERT_EQ(copy->Shared(entry), page->Shared(entry));
    ASSERT_EQ(copy->Trailing(entry), page->Trailing(entry));
  }
  EXPECT_TRUE(copy->Equals(*page));
}

INSTANTIATE_TEST_SUITE_P(IndexPage, PageModes,
                         ::testing::Values(ModeCase{TKeyCompression::kcNone, true, 9},
                                           ModeCase{TKeyCompression::kcNone, false, 13},
                                           ModeCase{TKeyCompression::kcDuplicateByte, true, 22},
                                           ModeCase{TKeyCompression::kcDuplicateByte, false, 26},
                                           ModeCase{TKeyCompression::kcTrailingByte, true, 22},
                                           ModeCase{TKeyCompression::kcTrailingByte, false, 26},
                                           ModeCase{TKeyCompression::kcFull, true, 22},
                                           ModeCase{TKeyCompression::kcFull, false, 26},
                                           ModeCase{TKeyCompression::kcFull, false, 600},
                                           ModeCase{TKeyCompression::kcTrailingByte, false, 6}),
                         ModeName);

TEST(IndexPage, DuplicateByteStoresTheSharedCountAndTheRest) {
  // ABCD and ABCE in a unique string index share the indicator and three letters.
  const TPageLayout layout{6, true, false, TKeyCompression::kcDuplicateByte};
  PageFixture fixture;
  auto page = fixture.NewPage();
  page->InitialiseFor(layout, TPageType::ptRootLeaf);
  const uint8_t first[] = {1, 'A', 'B', 'C', 'D', 0};
  const uint8_t second[] = {1, 'A', 'B', 'C', 'E', 0};
  page->Insert(1, first, 7);
  page->Insert(2, second, 8);
  EXPECT_EQ(page->Shared(2), 4);
  std::vector<std::byte> image(page->PageSize());
  page->EncodePlain(image);
  const uint8_t expected[] = {3, 2,   0,   0,   0,   0,   0, 0, 0, 0, 0, 18, 0,  // header
                              0, 1,   'A', 'B', 'C', 'D', 0, 7, 0, 0, 0,         // d = 0, whole key
                              4, 'E', 0,   8,   0,   0,   0};                    // d = 4, the rest
  EXPECT_EQ(std::memcmp(image.data(), expected, sizeof(expected)), 0);
}

TEST(IndexPage, InnerPagesStoreChildAndCountUnlessTheIndexKeepsNone) {
  for (bool no_counts : {false, true}) {
    const TPageLayout layout{5, true, no_counts, TKeyCompression::kcFull};
    PageFixture fixture;
    auto page = fixture.NewPage();
    page->InitialiseFor(layout, TPageType::ptInner);
    const uint8_t key[] = {1, 0x80, 0, 0, 0};
    page->Insert(1, key, 12, 99);
    EXPECT_EQ(page->PackedSize(), no_counts ? 9 : 13);
    auto copy = fixture.RoundTrip(*page);
    EXPECT_EQ(copy->Number(1), 12u);
    EXPECT_EQ(copy->SubtreeCount(1), no_counts ? 0u : 99u);
  }
}

// The key limit of a 1,024-byte page is 337 bytes, yet only two such entries fit: capacity is
// what the stored sizes allow, and a page with a single entry is sound.
TEST(IndexPage, CapacityFollowsTheStoredSizesDownToOneEntry) {
  const TPageLayout layout{337, true, false, TKeyCompression::kcNone};
  PageFixture fixture(1024);
  auto page = fixture.NewPage();
  page->InitialiseFor(layout, TPageType::ptLeaf);
  std::vector<uint8_t> key(337, 1);
  ASSERT_TRUE(page->CanInsert(1, key));
  page->Insert(1, key, 1);
  auto single = fixture.RoundTrip(*page);
  EXPECT_EQ(single->Count(), 1);
  key[5] = 2;
  ASSERT_TRUE(page->CanInsert(2, key));
  page->Insert(2, key, 2);
  key[5] = 3;
  EXPECT_FALSE(page->CanInsert(3, key));
  EXPECT_EQ(CodeRaisedBy([&] { page->Insert(3, key, 3); }), kErrIndexPageCorrupt);
  EXPECT_EQ(page->Count(), 2);
}

TEST(IndexPage, EncryptedImagesHideTheHeaderAndReadBack) {
  const crypto::TDigest digest = crypto::DigestOfText("secret");
  auto cipher = TCipherContext::Create(TCipherHooks{}, digest);
  const TPageLayout layout{9, false, false, TKeyCompression::kcFull};
  PageFixture fixture;
  auto page = fixture.NewPage(cipher.get());
  page->InitialiseFor(layout, TPageType::ptLeaf);
  const uint8_t key[] = {1, 0x80, 0, 0, 5, 0x80, 0, 0, 1};
  page->Insert(1, key, 3);
  std::vector<std::byte> plain(page->PageSize());
  std::vector<std::byte> image(page->PageSize());
  page->EncodePlain(plain);
  page->SaveToDiskImage(image);
  EXPECT_NE(std::memcmp(plain.data(), image.data(), 16), 0);
  auto copy = fixture.RoundTrip(*page, cipher.get());
  EXPECT_EQ(copy->Count(), 1);
  EXPECT_EQ(copy->Number(1), 3u);
}

// Damaged page images: every one gives 8965 when bound, and none reads outside the page.
TEST(IndexPage, DamagedImagesAreRefusedWhenBound) {
  const TPageLayout layout{22, false, false, TKeyCompression::kcFull};
  PageFixture fixture(1024);
  auto page = fixture.NewPage();
  page->InitialiseFor(layout, TPageType::ptLeaf);
  std::mt19937 random(5);
  for (uint16_t i = 1; i <= 10; ++i) page->Insert(i, RandomKey(random, layout), i);
  page->RecomputePackedSize();
  std::vector<std::byte> good(page->PageSize());
  page->EncodePlain(good);

  struct Case {
    const char* name;
    size_t offset;
    uint8_t value;
  };
  const Case cases[] = {
      {"data page type", 0, 4},
      {"unknown page type", 0, 9},
      {"count beyond the page", 1, 0xFF},
      {"first entry shares bytes", 13, 3},
      {"trailing count past the key", 14, 250},
      {"packed size disagrees", 11, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::byte> image = good;
    image[c.offset] = static_cast<std::byte>(c.value);
    if (std::string(c.name) == "count beyond the page") image[2] = std::byte{0x0F};
    auto copy = fixture.NewPage();
    copy->LoadFromDiskImage(image);
    EXPECT_EQ(CodeRaisedBy([&] { copy->Bind(layout); }), kErrIndexPageCorrupt);
    EXPECT_FALSE(copy->Bound());
  }
  // An image of random bytes never decodes outside the page (ASan watches), whatever it says.
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::byte> image(page->PageSize());
    for (auto& byte : image) byte = static_cast<std::byte>(random());
    image[0] = static_cast<std::byte>(random() % 4);
    image[2] = std::byte{0};
    auto copy = fixture.NewPage();
    copy->LoadFromDiskImage(image);
    (void)CodeRaisedBy([&] { copy->Bind(layout); });
  }
}

}  // namespace
}  // namespace veltra
