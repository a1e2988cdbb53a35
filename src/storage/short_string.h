// Short strings of the table file formats: one length byte, then a fixed capacity of characters,
// zero past the length. (Integers at an offset of a byte area are core/byte_order.h's.)
//
// The reader takes untrusted bytes: a short string whose length byte exceeds its capacity is
// reported as such and cut to the capacity, so no read ever leaves the area it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace veltra {

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
