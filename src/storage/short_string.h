// Byte-level helpers of the table file formats: little-endian integers and doubles at a given
// offset of a byte area, and short strings (one length byte, then a fixed capacity of characters,
// zero past the length).
//
// Every file format codec writes and reads its integers through these, never by copying structs.
// The readers take untrusted bytes: a short string whose length byte exceeds its capacity is
// reported as such and cut to the capacity, so no read ever leaves the area it was given.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace veltra {

// REQUIRES for all of these: offset + width <= area.size().
inline uint8_t LoadU8(std::span<const uint8_t> area, size_t offset) { return area[offset]; }
inline uint16_t LoadU16(std::span<const uint8_t> area, size_t offset) {
  return static_cast<uint16_t>(area[offset] | (area[offset + 1] << 8));
}
inline uint32_t LoadU32(std::span<const uint8_t> area, size_t offset) {
  return uint32_t{area[offset]} | (uint32_t{area[offset + 1]} << 8) |
         (uint32_t{area[offset + 2]} << 16) | (uint32_t{area[offset + 3]} << 24);
}
inline int32_t LoadI32(std::span<const uint8_t> area, size_t offset) {
  return static_cast<int32_t>(LoadU32(area, offset));
}
inline uint64_t LoadU64(std::span<const uint8_t> area, size_t offset) {
  return uint64_t{LoadU32(area, offset)} | (uint64_t{LoadU32(area, offset + 4)} << 32);
}
inline double LoadDouble(std::span<const uint8_t> area, size_t offset) {
  return std::bit_cast<double>(LoadU64(area, offset));
}

inline void StoreU8(std::span<uint8_t> area, size_t offset, uint8_t value) { area[offset] = value; }
inline void StoreU16(std::span<uint8_t> area, size_t offset, uint16_t value) {
  area[offset] = static_cast<uint8_t>(value);
  area[offset + 1] = static_cast<uint8_t>(value >> 8);
}
inline void StoreU32(std::span<uint8_t> area, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) area[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void StoreI32(std::span<uint8_t> area, size_t offset, int32_t value) {
  StoreU32(area, offset, static_cast<uint32_t>(value));
}
inline void StoreU64(std::span<uint8_t> area, size_t offset, uint64_t value) {
  StoreU32(area, offset, static_cast<uint32_t>(value));
  StoreU32(area, offset + 4, static_cast<uint32_t>(value >> 32));
}
inline void StoreDouble(std::span<uint8_t> area, size_t offset, double value) {
  StoreU64(area, offset, std::bit_cast<uint64_t>(value));
}

// A short string as read from a file.
struct ShortStringRead {
  std::string text;  // at most the capacity
  bool fits = true;  // false: the length byte exceeded the capacity (the text is cut)
};

// Reads the short string of `capacity` characters at `offset` (capacity + 1 bytes).
// REQUIRES: offset + 1 + capacity <= area.size(), capacity <= 255.
inline ShortStringRead LoadShortString(std::span<const uint8_t> area, size_t offset,
                                       size_t capacity) {
  const size_t length = area[offset];
  const size_t taken = length <= capacity ? length : capacity;
  return {std::string(reinterpret_cast<const char*>(area.data() + offset + 1), taken),
          length <= capacity};
}

// Writes `text`, cut to `capacity`, as a short string at `offset`; the characters past its length
// become zero. REQUIRES: as for LoadShortString.
inline void StoreShortString(std::span<uint8_t> area, size_t offset, size_t capacity,
                             std::string_view text) {
  const size_t length = text.size() <= capacity ? text.size() : capacity;
  area[offset] = static_cast<uint8_t>(length);
  for (size_t i = 0; i < capacity; ++i) {
    area[offset + 1 + i] = i < length ? static_cast<uint8_t>(text[i]) : 0;
  }
}

}  // namespace veltra
