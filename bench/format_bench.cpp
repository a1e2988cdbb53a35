// Index key and page micro benchmarks: integer keys encoded and compared (beside memcmp over the
// same keys), 20-character Polish case-insensitive string keys compared (beside memcmp), and a
// full 4 KiB leaf page packed and unpacked in each compression mode.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "storage/index_file.h"
#include "storage/index_key.h"
#include "storage/index_page.h"

namespace veltra {
namespace {

constexpr size_t kKeyCount = 4096;  // keys per table: more than the first-level cache holds

class NullStorage final : public BlockStorage {
 public:
  StorageResult ReadAt(uint64_t, std::span<std::byte>) override { return {}; }
  StorageResult WriteAt(uint64_t, std::span<const std::byte> bytes) override {
    return {.bytes = bytes.size()};
  }
};

class NullOwner final : public BufferedFileOwner {
 public:
  ReadLockOutcome TakeReadLock() override { return ReadLockOutcome::roUnchanged; }
  bool InTransaction() const override { return false; }
  bool Exclusive() const override { return true; }
  bool StrictChangeDetection() const override { return false; }
  bool WrittenSinceOpen() const override { return false; }
  void MarkWritten() override {}
  EngineErrorContext ErrorContext() const override { return {.table = "bench"}; }
};

struct KeyTable {
  uint32_t key_size;
  std::vector<uint8_t> bytes;
  const uint8_t* Key(size_t i) const { return bytes.data() + (i % kKeyCount) * key_size; }
};

const TKeyLayout& IntegerLayout() {
  static const TKeyLayout::FieldSpec spec{{TDataType::dtInteger, TDataSubType::dsNone, 4}, false};
  static const TKeyLayout layout({&spec, 1}, /*unique=*/true, false, nullptr);
  return layout;
}

const KeyTable& IntegerKeys() {
  static const KeyTable table = [] {
    KeyTable keys{IntegerLayout().KeySize(), {}};
    keys.bytes.resize(kKeyCount * keys.key_size);
    std::mt19937 random(1);
    for (size_t i = 0; i < kKeyCount; ++i) {
      uint8_t stored[4];
      // Close values, so that comparisons run into the last bytes as in a dense index.
      StoreI32Le(stored, static_cast<int32_t>(random() % 512));
      IntegerLayout().EncodeField(0, stored,
                                  {keys.bytes.data() + i * keys.key_size, keys.key_size});
    }
    return keys;
  }();
  return table;
}

const platform::LocaleServices* Polish() { return platform::LocaleServicesOf(0x0415); }

const TKeyLayout& PolishLayout() {
  static const TKeyLayout::FieldSpec spec{{TDataType::dtString, TDataSubType::dsNone, 21}, false};
  static const TKeyLayout layout({&spec, 1}, /*unique=*/true, /*case_insensitive=*/true, Polish());
  return layout;
}

const KeyTable& PolishKeys() {
  static const KeyTable table = [] {
    static const uint8_t kLetters[] = {'a', 'b',  'c',  'e',  'k',  'l',  'm',  'o',  'r',  's',
                                       'z', 0xB9, 0xEA, 0xB3, 0xF3, 0xBF, 0x9C, 0xE6, 0xF1, ' '};
    KeyTable keys{PolishLayout().KeySize(), {}};
    keys.bytes.resize(kKeyCount * keys.key_size);
    std::mt19937 random(2);
    for (size_t i = 0; i < kKeyCount; ++i) {
      uint8_t stored[21] = {};
      // A shared beginning of a few letters, as in names, then 20 characters in all.
      for (int c = 0; c < 20; ++c) {
        stored[c] = c < 3 ? static_cast<uint8_t>('k' + random() % 2)
                          : kLetters[random() % sizeof(kLetters)];
      }
      PolishLayout().EncodeField(0, stored, {keys.bytes.data() + i * keys.key_size, keys.key_size});
    }
    return keys;
  }();
  return table;
}

void BM_EncodeIntegerKey(benchmark::State& state) {
  const TKeyLayout& layout = IntegerLayout();
  uint8_t key[5];
  uint8_t stored[4];
  int32_t value = 0;
  for (auto _ : state) {
    StoreI32Le(stored, value++);
    layout.EncodeField(0, stored, key);
    benchmark::DoNotOptimize(key);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeIntegerKey);

template <typename Compare>
void CompareRun(benchmark::State& state, const KeyTable& keys, Compare compare) {
  size_t i = 0;
  int sum = 0;
  for (auto _ : state) {
    sum += compare(keys.Key(i), keys.Key(i * 7 + 1));
    ++i;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_CompareIntegerKeys(benchmark::State& state) {
  const TKeyLayout& layout = IntegerLayout();
  size_t length = IntegerKeys().key_size;
  benchmark::DoNotOptimize(length);
  CompareRun(state, IntegerKeys(),
             [&](const uint8_t* a, const uint8_t* b) { return layout.Compare(a, b, length); });
}
BENCHMARK(BM_CompareIntegerKeys);

// memcmp over the key size as an index knows it: at run time.
void BM_MemcmpIntegerKeys(benchmark::State& state) {
  size_t length = IntegerKeys().key_size;
  benchmark::DoNotOptimize(length);
  CompareRun(state, IntegerKeys(),
             [&](const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, length); });
}

// memcmp with the length fixed at compile time (the compiler inlines it): a lower bound.
void BM_MemcmpIntegerKeysFixedLength(benchmark::State& state) {
  CompareRun(state, IntegerKeys(),
             [](const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 5); });
}
BENCHMARK(BM_MemcmpIntegerKeysFixedLength);
BENCHMARK(BM_MemcmpIntegerKeys);

void BM_ComparePolishKeys(benchmark::State& state) {
  if (Polish() == nullptr) {
    state.SkipWithError("the Polish locale is not available");
    return;
  }
  const TKeyLayout& layout = PolishLayout();
  CompareRun(state, PolishKeys(),
             [&](const uint8_t* a, const uint8_t* b) { return layout.Compare(a, b, 22); });
}
BENCHMARK(BM_ComparePolishKeys);

void BM_MemcmpPolishKeys(benchmark::State& state) {
  if (Polish() == nullptr) {
    state.SkipWithError("the Polish locale is not available");
    return;
  }
  size_t length = PolishKeys().key_size;
  benchmark::DoNotOptimize(length);
  CompareRun(state, PolishKeys(),
             [&](const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, length); });
}
BENCHMARK(BM_MemcmpPolishKeys);

// A 4 KiB leaf page of a non-unique index on a 20-character string, filled to the brim.
struct FullPage {
  NullStorage storage;
  NullOwner owner;
  std::unique_ptr<TIndexFile> file;
  std::unique_ptr<TPage> page;
  std::vector<std::byte> image;

  explicit FullPage(TKeyCompression compression) {
    TIndexFileConfig config;
    config.page_size = 4096;
    file = std::make_unique<TIndexFile>(storage, owner, config);
    page = std::make_unique<TPage>(*file, 4096, nullptr, &owner);
    const TPageLayout layout{26, false, false, compression};
    page->InitialiseFor(layout, TPageType::ptLeaf);
    std::mt19937 random(3);
    for (uint32_t n = 1;; ++n) {
      std::vector<uint8_t> key(26, 0);
      key[0] = 1;
      const size_t length = 4 + random() % 14;
      for (size_t c = 1; c <= length; ++c) key[c] = static_cast<uint8_t>('A' + (n >> (c % 8)) % 4);
      EncodeIntegerKey(static_cast<int32_t>(n), key.data() + 22);
      uint16_t position = 1;
      while (position <= page->Count() &&
             std::memcmp(page->Key(position).data(), key.data(), 26) < 0) {
        ++position;
      }
      if (!page->CanInsert(position, key)) break;
      page->Insert(position, key, n);
    }
    image.resize(4096);
    page->SaveToDiskImage(image);
  }
};

void BM_PackLeafPage(benchmark::State& state) {
  FullPage full(static_cast<TKeyCompression>(state.range(0)));
  for (auto _ : state) {
    full.page->SaveToDiskImage(full.image);
    benchmark::DoNotOptimize(full.image.data());
  }
  state.counters["entries"] = full.page->Count();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PackLeafPage)->DenseRange(0, 3)->ArgName("mode");

void BM_UnpackLeafPage(benchmark::State& state) {
  FullPage full(static_cast<TKeyCompression>(state.range(0)));
  const TPageLayout layout = full.page->Layout();
  TPage page(*full.file, 4096, nullptr, &full.owner);
  for (auto _ : state) {
    page.LoadFromDiskImage(full.image);
    page.Bind(layout);
    benchmark::DoNotOptimize(page.Key(page.Count()).data());
  }
  state.counters["entries"] = full.page->Count();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UnpackLeafPage)->DenseRange(0, 3)->ArgName("mode");

}  // namespace
}  // namespace veltra

BENCHMARK_MAIN();
