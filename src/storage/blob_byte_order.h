// Little-endian loads and stores for the BLOB file's header and block header. Explicit byte by
// byte, so the layout on disk never depends on the host or on a struct's padding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veltra::blob_bytes {

inline uint16_t Load16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

inline uint32_t Load32(const uint8_t* at) {
  return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
         (uint32_t{at[3]} << 24);
}

inline int32_t LoadSigned32(const uint8_t* at) { return static_cast<int32_t>(Load32(at)); }

inline void Store16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

inline void Store32(uint8_t* at, uint32_t value) {
  for (size_t index = 0; index < 4; ++index) at[index] = static_cast<uint8_t>(value >> (8 * index));
}

inline void StoreSigned32(uint8_t* at, int32_t value) { Store32(at, static_cast<uint32_t>(value)); }

}  // namespace veltra::blob_bytes
