// The index file's header (512 bytes at offset 0):
//   0     4  change counter, raised at every header write
//   4     4  reserved, zero
//   8     1  format version: 6
//   9    16  signature digest
//   25    4  head of the free-page chain (0: none)
//   29    4  next page number: the page count + 1
//   33    1  number of secondary indexes, 0 to 30
//   34  128  root page of each slot 0 to 31, 4 bytes each (0: the index is empty)
//   162 128  first data page of each slot 0 to 31 (the full-text parameters; 0 otherwise)
//   290   1  header-changed mark (readers ignore it)
//   291 221  reserved, zero
// Integers are little-endian. The codec takes the bytes as they are; what they must satisfy is
// the index file's business (index_file.h).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "crypto/md5.h"
#include "storage/index_format.h"

namespace veltra {

struct TIndexHeader {
  int32_t change_counter = 0;
  uint8_t version = kIndexFileVersion;
  crypto::TDigest signature{};
  uint32_t free_page_head = 0;
  uint32_t next_page = 1;
  uint8_t secondary_count = 0;
  std::array<uint32_t, kIndexSlotCount> roots{};
  std::array<uint32_t, kIndexSlotCount> data_pages{};
  bool changed_mark = false;

  bool operator==(const TIndexHeader&) const = default;
};

// REQUIRES: bytes.size() == 512.
void EncodeIndexHeader(const TIndexHeader& header, std::span<uint8_t> bytes);
TIndexHeader DecodeIndexHeader(std::span<const uint8_t> bytes);

// The change counter after `counter`: one more, and 1 again after 2,147,483,647.
constexpr int32_t NextChangeCounter(int32_t counter) {
  return counter >= INT32_MAX || counter < 0 ? 1 : counter + 1;
}

}  // namespace veltra
