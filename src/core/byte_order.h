// Explicit byte-order loads and stores for the engine's file formats. Headers, definitions and
// records hold little-endian integers; index keys hold big-endian ones so that they sort byte by
// byte. Every on-disk integer goes through these helpers, never through a memcpy of a struct.
//
// Each helper works on unaligned bytes and compiles to a single move (plus a byte swap where the
// order differs from the host's). REQUIRES for every helper: `bytes` points at width bytes.
// The codecs of fixed layouts use the forms taking a byte area and an offset.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace veltra {

namespace byte_order_detail {

template <typename T>
inline T LoadNative(const uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <typename T>
inline void StoreNative(uint8_t* bytes, T value) {
  std::memcpy(bytes, &value, sizeof(T));
}

template <typename T>
constexpr T Swap(T value) {
  if constexpr (sizeof(T) == 1) {
    return value;
  } else if constexpr (sizeof(T) == 2) {
    return static_cast<T>(__builtin_bswap16(static_cast<uint16_t>(value)));
  } else if constexpr (sizeof(T) == 4) {
    return static_cast<T>(__builtin_bswap32(static_cast<uint32_t>(value)));
  } else {
    return static_cast<T>(__builtin_bswap64(static_cast<uint64_t>(value)));
  }
}

template <typename T>
inline T LoadLittle(const uint8_t* bytes) {
  T value = LoadNative<T>(bytes);
  if constexpr (std::endian::native == std::endian::big) value = Swap(value);
  return value;
}

template <typename T>
inline void StoreLittle(uint8_t* bytes, T value) {
  if constexpr (std::endian::native == std::endian::big) value = Swap(value);
  StoreNative(bytes, value);
}

template <typename T>
inline T LoadBig(const uint8_t* bytes) {
  T value = LoadNative<T>(bytes);
  if constexpr (std::endian::native == std::endian::little) value = Swap(value);
  return value;
}

template <typename T>
inline void StoreBig(uint8_t* bytes, T value) {
  if constexpr (std::endian::native == std::endian::little) value = Swap(value);
  StoreNative(bytes, value);
}

}  // namespace byte_order_detail

// Little-endian.
inline uint16_t LoadU16Le(const uint8_t* b) { return byte_order_detail::LoadLittle<uint16_t>(b); }
inline uint32_t LoadU32Le(const uint8_t* b) { return byte_order_detail::LoadLittle<uint32_t>(b); }
inline uint64_t LoadU64Le(const uint8_t* b) { return byte_order_detail::LoadLittle<uint64_t>(b); }
inline int16_t LoadI16Le(const uint8_t* b) { return static_cast<int16_t>(LoadU16Le(b)); }
inline int32_t LoadI32Le(const uint8_t* b) { return static_cast<int32_t>(LoadU32Le(b)); }
inline int64_t LoadI64Le(const uint8_t* b) { return static_cast<int64_t>(LoadU64Le(b)); }
inline double LoadF64Le(const uint8_t* b) { return std::bit_cast<double>(LoadU64Le(b)); }

inline void StoreU16Le(uint8_t* b, uint16_t v) { byte_order_detail::StoreLittle(b, v); }
inline void StoreU32Le(uint8_t* b, uint32_t v) { byte_order_detail::StoreLittle(b, v); }
inline void StoreU64Le(uint8_t* b, uint64_t v) { byte_order_detail::StoreLittle(b, v); }
inline void StoreI16Le(uint8_t* b, int16_t v) { StoreU16Le(b, static_cast<uint16_t>(v)); }
inline void StoreI32Le(uint8_t* b, int32_t v) { StoreU32Le(b, static_cast<uint32_t>(v)); }
inline void StoreI64Le(uint8_t* b, int64_t v) { StoreU64Le(b, static_cast<uint64_t>(v)); }
inline void StoreF64Le(uint8_t* b, double v) { StoreU64Le(b, std::bit_cast<uint64_t>(v)); }

// Big-endian (index keys).
inline uint16_t LoadU16Be(const uint8_t* b) { return byte_order_detail::LoadBig<uint16_t>(b); }
inline uint32_t LoadU32Be(const uint8_t* b) { return byte_order_detail::LoadBig<uint32_t>(b); }
inline uint64_t LoadU64Be(const uint8_t* b) { return byte_order_detail::LoadBig<uint64_t>(b); }
inline void StoreU16Be(uint8_t* b, uint16_t v) { byte_order_detail::StoreBig(b, v); }
inline void StoreU32Be(uint8_t* b, uint32_t v) { byte_order_detail::StoreBig(b, v); }
inline void StoreU64Be(uint8_t* b, uint64_t v) { byte_order_detail::StoreBig(b, v); }

// Little-endian at `offset` of a byte area, and single bytes beside them so that a codec reads
// every field the same way. (Their own names, not overloads: callers take the addresses of the
// pointer forms.) REQUIRES: offset + width <= area.size().
inline uint8_t LoadU8At(std::span<const uint8_t> area, size_t offset) { return area[offset]; }
inline uint16_t LoadU16LeAt(std::span<const uint8_t> area, size_t offset) {
  return LoadU16Le(area.data() + offset);
}
inline uint32_t LoadU32LeAt(std::span<const uint8_t> area, size_t offset) {
  return LoadU32Le(area.data() + offset);
}
inline uint64_t LoadU64LeAt(std::span<const uint8_t> area, size_t offset) {
  return LoadU64Le(area.data() + offset);
}
inline int32_t LoadI32LeAt(std::span<const uint8_t> area, size_t offset) {
  return LoadI32Le(area.data() + offset);
}
inline double LoadF64LeAt(std::span<const uint8_t> area, size_t offset) {
  return LoadF64Le(area.data() + offset);
}

inline void StoreU8At(std::span<uint8_t> area, size_t offset, uint8_t v) { area[offset] = v; }
inline void StoreU16LeAt(std::span<uint8_t> area, size_t offset, uint16_t v) {
  StoreU16Le(area.data() + offset, v);
}
inline void StoreU32LeAt(std::span<uint8_t> area, size_t offset, uint32_t v) {
  StoreU32Le(area.data() + offset, v);
}
inline void StoreU64LeAt(std::span<uint8_t> area, size_t offset, uint64_t v) {
  StoreU64Le(area.data() + offset, v);
}
inline void StoreI32LeAt(std::span<uint8_t> area, size_t offset, int32_t v) {
  StoreI32Le(area.data() + offset, v);
}
inline void StoreF64LeAt(std::span<uint8_t> area, size_t offset, double v) {
  StoreF64Le(area.data() + offset, v);
}

}  // namespace veltra
