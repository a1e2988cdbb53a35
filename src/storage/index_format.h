// The fixed numbers of the index file: where its header, definition slots and pages lie, the page
// header, the page types, the key compression modes and the limits of indexes and keys. The
// layout itself is written down in docs/formats/index-file.md.
//
// File layout:
//   0        header, 512 bytes
//   512      32 definition slots of 768 bytes (slot s at 512 + 768 s)
//   25,088   pages, each the table's index page size; page n (from 1) at 25,088 + (n - 1) size
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace veltra {

inline constexpr uint32_t kIndexHeaderSize = 512;
inline constexpr uint32_t kIndexDefinitionOffset = 512;
inline constexpr uint32_t kIndexDefinitionSize = 768;
inline constexpr uint32_t kIndexSlotCount = 32;
inline constexpr uint32_t kIndexDefinitionAreaSize = kIndexDefinitionSize * kIndexSlotCount;
inline constexpr uint32_t kIndexFirstPageOffset = kIndexDefinitionOffset + kIndexDefinitionAreaSize;
static_assert(kIndexFirstPageOffset == 25088);

inline constexpr uint8_t kIndexFileVersion = 6;

// Slots: the primary index, up to 30 secondary indexes in creation order, the full-text index.
inline constexpr uint8_t kPrimarySlot = 0;
inline constexpr uint8_t kFirstSecondarySlot = 1;
inline constexpr uint8_t kMaxSecondaryIndexes = 30;
inline constexpr uint8_t kFullTextSlot = 31;
inline constexpr uint8_t kNoIndex = 255;  // physical order

inline constexpr uint32_t kMaxKeyFields = 128;
inline constexpr uint32_t kMaxIndexNameLength = 60;
// The key part in front of the RecordID suffix.
inline constexpr uint32_t kMaxKeyPartSize = 4106;
inline constexpr uint32_t kRecordIdKeySize = 4;  // the suffix of a non-unique key

inline constexpr uint32_t kMinIndexPageSize = 1024;
inline constexpr uint32_t kMaxIndexPageSize = 16384;
inline constexpr uint32_t kDefaultIndexPageSize = 4096;

// The largest key part a page of `page_size` bytes admits: a third of its entry area.
constexpr uint32_t MaxKeyPartSizeFor(uint32_t page_size);

// Field numbers of the system fields in a key.
inline constexpr int16_t kRecordIdFieldNumber = -1;
inline constexpr int16_t kRecordHashFieldNumber = -2;

// The full-text key: indicator, field number (2 bytes big-endian), the word (61 bytes), RecordID.
inline constexpr std::string_view kFullTextIndexName = "Sys Text";
inline constexpr uint32_t kFullTextKeySize = 68;
inline constexpr uint32_t kFullTextFieldOffset = 1;
inline constexpr uint32_t kFullTextWordOffset = 3;
inline constexpr uint32_t kFullTextWordSize = 61;
inline constexpr uint32_t kFullTextRecordIdOffset = 64;

// Page header, in front of every page's entries.
inline constexpr uint32_t kPageHeaderSize = 13;
inline constexpr uint32_t kPageTypeOffset = 0;      // 1 byte
inline constexpr uint32_t kPageCountOffset = 1;     // 2 bytes
inline constexpr uint32_t kPagePreviousOffset = 3;  // 4 bytes
inline constexpr uint32_t kPageNextOffset = 7;      // 4 bytes
inline constexpr uint32_t kPagePackedOffset = 11;   // 2 bytes

enum class TPageType : uint8_t {
  ptRootInner = 0,
  ptInner = 1,
  ptLeaf = 2,
  ptRootLeaf = 3,
  ptData = 4,
};

constexpr bool IsInnerPage(TPageType type) {
  return type == TPageType::ptRootInner || type == TPageType::ptInner;
}
constexpr bool IsLeafPage(TPageType type) {
  return type == TPageType::ptLeaf || type == TPageType::ptRootLeaf;
}

// Leaf key compression, as stored in the definition (the SQL words "NONE", "DUPBYTE",
// "TRAILBYTE", "FULL").
enum class TKeyCompression : uint8_t {
  kcNone = 0,
  kcDuplicateByte = 1,
  kcTrailingByte = 2,
  kcFull = 3,
};
inline constexpr uint8_t kKeyCompressionCount = 4;

// The largest shared-prefix and trailing-zero counts of a compressed leaf entry.
inline constexpr uint32_t kMaxCompressionCount = 254;

// In memory every entry is the key, a 4-byte number (child page or record number), a 4-byte
// subtree count, the shared-byte count d and the trailing-byte count t.
inline constexpr uint32_t kEntryExtraSize = 10;

constexpr uint32_t MaxKeyPartSizeFor(uint32_t page_size) {
  const uint32_t by_page = page_size > kPageHeaderSize ? (page_size - kPageHeaderSize) / 3 : 0;
  return by_page < kMaxKeyPartSize ? by_page : kMaxKeyPartSize;
}
static_assert(MaxKeyPartSizeFor(1024) == 337);

// A std::byte area seen as unsigned bytes (unsigned char may alias any object).
inline uint8_t* AsBytes(std::byte* bytes) { return reinterpret_cast<uint8_t*>(bytes); }
inline const uint8_t* AsBytes(const std::byte* bytes) {
  return reinterpret_cast<const uint8_t*>(bytes);
}

}  // namespace veltra
