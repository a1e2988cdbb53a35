#include "storage/index_header.h"

#include <algorithm>
#include <cstring>

#include "core/byte_order.h"

namespace veltra {
namespace {

constexpr size_t kChangeCounterOffset = 0;
constexpr size_t kVersionOffset = 8;
constexpr size_t kSignatureOffset = 9;
constexpr size_t kFreePageOffset = 25;
constexpr size_t kNextPageOffset = 29;
constexpr size_t kSecondaryCountOffset = 33;
constexpr size_t kRootsOffset = 34;
constexpr size_t kDataPagesOffset = 162;
constexpr size_t kChangedMarkOffset = 290;

}  // namespace

void EncodeIndexHeader(const TIndexHeader& header, std::span<uint8_t> bytes) {
  std::fill(bytes.begin(), bytes.end(), uint8_t{0});
  StoreI32Le(bytes.data() + kChangeCounterOffset, header.change_counter);
  bytes[kVersionOffset] = header.version;
  std::memcpy(bytes.data() + kSignatureOffset, header.signature.data(), header.signature.size());
  StoreU32Le(bytes.data() + kFreePageOffset, header.free_page_head);
  StoreU32Le(bytes.data() + kNextPageOffset, header.next_page);
  bytes[kSecondaryCountOffset] = header.secondary_count;
  for (size_t slot = 0; slot < kIndexSlotCount; ++slot) {
    StoreU32Le(bytes.data() + kRootsOffset + 4 * slot, header.roots[slot]);
    StoreU32Le(bytes.data() + kDataPagesOffset + 4 * slot, header.data_pages[slot]);
  }
  bytes[kChangedMarkOffset] = header.changed_mark ? 1 : 0;
}

TIndexHeader DecodeIndexHeader(std::span<const uint8_t> bytes) {
  TIndexHeader header;
  header.change_counter = LoadI32Le(bytes.data() + kChangeCounterOffset);
  header.version = bytes[kVersionOffset];
  std::memcpy(header.signature.data(), bytes.data() + kSignatureOffset, header.signature.size());
  header.free_page_head = LoadU32Le(bytes.data() + kFreePageOffset);
  header.next_page = LoadU32Le(bytes.data() + kNextPageOffset);
  header.secondary_count = bytes[kSecondaryCountOffset];
  for (size_t slot = 0; slot < kIndexSlotCount; ++slot) {
    header.roots[slot] = LoadU32Le(bytes.data() + kRootsOffset + 4 * slot);
    header.data_pages[slot] = LoadU32Le(bytes.data() + kDataPagesOffset + 4 * slot);
  }
  header.changed_mark = bytes[kChangedMarkOffset] != 0;
  return header;
}

}  // namespace veltra
