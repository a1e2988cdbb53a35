// The Blowfish block cipher: 64-bit blocks, 16 rounds, keys of up to 448 bits, the P-array and
// S-boxes starting from the hexadecimal digits of pi, exactly as the cipher is published. This is
// the raw block transformation; the chaining the engine wraps around it lives in cipher_state.h.
//
// A block is two 32-bit halves. On the byte side each half is big-endian: byte 0 of a block is the
// most significant byte of the left half (LoadBlock / StoreBlock).
//
// A keyed Blowfish object is immutable; it may be read by several threads at once.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace veltra::crypto {

constexpr size_t kBlowfishRounds = 16;
constexpr size_t kBlowfishSubkeys = kBlowfishRounds + 2;  // the P-array
constexpr size_t kBlowfishSBoxes = 4;
constexpr size_t kBlowfishSBoxEntries = 256;
constexpr size_t kBlowfishBlockSize = 8;
// The longest key that takes effect: 448 bits. Bytes past it are ignored.
constexpr size_t kBlowfishMaxKeySize = 56;

// The unkeyed tables (the fraction of pi, word by word); blowfish.cpp.
extern const uint32_t kBlowfishInitialP[kBlowfishSubkeys];
extern const uint32_t kBlowfishInitialS[kBlowfishSBoxes][kBlowfishSBoxEntries];

// One 64-bit block as its two halves.
struct BlockHalves {
  uint32_t left;
  uint32_t right;

  friend bool operator==(const BlockHalves&, const BlockHalves&) = default;
};

// Unaligned big-endian loads and stores; on a little-endian host each is one move and one byte
// swap, which the compiler does not always find in the shift-and-or form.
inline uint32_t LoadBigEndian32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof(value));
  if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap32(value);
  return value;
}

inline void StoreBigEndian32(uint8_t* p, uint32_t value) {
  if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap32(value);
  std::memcpy(p, &value, sizeof(value));
}

// REQUIRES: `bytes` points at 8 readable (StoreBlock: writable) bytes.
inline BlockHalves LoadBlock(const uint8_t* bytes) {
  return {LoadBigEndian32(bytes), LoadBigEndian32(bytes + 4)};
}

inline void StoreBlock(uint8_t* bytes, BlockHalves block) {
  StoreBigEndian32(bytes, block.left);
  StoreBigEndian32(bytes + 4, block.right);
}

// The keyed S-boxes and P-array. sizeof(Blowfish) is kBlowfishKeyedSize.
class Blowfish {
 public:
  // Runs the key schedule: each P-array word is XORed with the next four key bytes, taken
  // cyclically, first byte most significant; then the all-zero block is encrypted repeatedly and
  // each result replaces the next two words of the P-array, then of the S-boxes, in order.
  // Only the first kBlowfishMaxKeySize bytes of `key` are used. An empty key leaves the P-array
  // unmixed before the expansion, which is the same as the one-byte key 0x00; it never fails.
  explicit Blowfish(std::span<const uint8_t> key);

  // The rounds are inlined into every caller's loop: a call per block costs more than the
  // chaining itself.
  [[gnu::always_inline]] BlockHalves Encrypt(BlockHalves block) const {
    uint32_t l = block.left ^ p_[0];
    uint32_t r = block.right;
    r ^= F(l) ^ p_[1];
    l ^= F(r) ^ p_[2];
    r ^= F(l) ^ p_[3];
    l ^= F(r) ^ p_[4];
    r ^= F(l) ^ p_[5];
    l ^= F(r) ^ p_[6];
    r ^= F(l) ^ p_[7];
    l ^= F(r) ^ p_[8];
    r ^= F(l) ^ p_[9];
    l ^= F(r) ^ p_[10];
    r ^= F(l) ^ p_[11];
    l ^= F(r) ^ p_[12];
    r ^= F(l) ^ p_[13];
    l ^= F(r) ^ p_[14];
    r ^= F(l) ^ p_[15];
    l ^= F(r) ^ p_[16];
    return {r ^ p_[17], l};
  }

  [[gnu::always_inline]] BlockHalves Decrypt(BlockHalves block) const {
    uint32_t l = block.left ^ p_[17];
    uint32_t r = block.right;
    r ^= F(l) ^ p_[16];
    l ^= F(r) ^ p_[15];
    r ^= F(l) ^ p_[14];
    l ^= F(r) ^ p_[13];
    r ^= F(l) ^ p_[12];
    l ^= F(r) ^ p_[11];
    r ^= F(l) ^ p_[10];
    l ^= F(r) ^ p_[9];
    r ^= F(l) ^ p_[8];
    l ^= F(r) ^ p_[7];
    r ^= F(l) ^ p_[6];
    l ^= F(r) ^ p_[5];
    r ^= F(l) ^ p_[4];
    l ^= F(r) ^ p_[3];
    r ^= F(l) ^ p_[2];
    l ^= F(r) ^ p_[1];
    return {r ^ p_[0], l};
  }

 private:
  [[gnu::always_inline]] uint32_t F(uint32_t x) const {
    return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xff]) ^ s_[2][(x >> 8) & 0xff]) + s_[3][x & 0xff];
  }

  uint32_t s_[kBlowfishSBoxes][kBlowfishSBoxEntries];
  uint32_t p_[kBlowfishSubkeys];
};

constexpr size_t kBlowfishKeyedSize =
    (kBlowfishSBoxes * kBlowfishSBoxEntries + kBlowfishSubkeys) * sizeof(uint32_t);
static_assert(sizeof(Blowfish) == kBlowfishKeyedSize);

}  // namespace veltra::crypto
