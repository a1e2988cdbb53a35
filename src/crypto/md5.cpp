#include "crypto/md5.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace veltra::crypto {
namespace {

// The initial chaining values A, B, C, D.
constexpr std::array<uint32_t, 4> kMd5Initial = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

// The message is padded with 0x80, zeros, then its bit length as a little-endian 64-bit integer
// in the last 8 bytes of the final block.
constexpr uint8_t kPadMarker = 0x80;
constexpr size_t kLengthFieldSize = 8;
constexpr size_t kLengthFieldOffset = kMd5BlockSize - kLengthFieldSize;

inline uint32_t LoadLittleEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void StoreLittleEndian32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// One step of each round: a := b + ((a + f(b, c, d) + x + t) <<< s).
template <int kShift>
inline uint32_t RoundF(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
  return std::rotl(a + (d ^ (b & (c ^ d))) + x + t, kShift) + b;
}

// (b & d) | (c & ~d), written as a sum: the two terms never share a set bit, and the sum lets
// the term that does not depend on b start before b is known.
template <int kShift>
inline uint32_t RoundG(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
  return std::rotl(a + x + t + (c & ~d) + (b & d), kShift) + b;
}

template <int kShift>
inline uint32_t RoundH(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
  return std::rotl(a + (b ^ c ^ d) + x + t, kShift) + b;
}

template <int kShift>
inline uint32_t RoundI(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, uint32_t t) {
  return std::rotl(a + (c ^ (b | ~d)) + x + t, kShift) + b;
}

}  // namespace

void Md5::Reset() {
  state_ = kMd5Initial;
  length_ = 0;
  pending_size_ = 0;
}

void Md5::ProcessBlocks(const uint8_t* blocks, size_t count) {
  uint32_t a0 = state_[0];
  uint32_t b0 = state_[1];
  uint32_t c0 = state_[2];
  uint32_t d0 = state_[3];
  for (; count > 0; --count, blocks += kMd5BlockSize) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLittleEndian32(blocks + 4 * i);
    uint32_t a = a0, b = b0, c = c0, d = d0;

    a = RoundF<7>(a, b, c, d, x[0], 0xd76aa478);
    d = RoundF<12>(d, a, b, c, x[1], 0xe8c7b756);
    c = RoundF<17>(c, d, a, b, x[2], 0x242070db);
    b = RoundF<22>(b, c, d, a, x[3], 0xc1bdceee);
    a = RoundF<7>(a, b, c, d, x[4], 0xf57c0faf);
    d = RoundF<12>(d, a, b, c, x[5], 0x4787c62a);
    c = RoundF<17>(c, d, a, b, x[6], 0xa8304613);
    b = RoundF<22>(b, c, d, a, x[7], 0xfd469501);
    a = RoundF<7>(a, b, c, d, x[8], 0x698098d8);
    d = RoundF<12>(d, a, b, c, x[9], 0x8b44f7af);
    c = RoundF<17>(c, d, a, b, x[10], 0xffff5bb1);
    b = RoundF<22>(b, c, d, a, x[11], 0x895cd7be);
    a = RoundF<7>(a, b, c, d, x[12], 0x6b901122);
    d = RoundF<12>(d, a, b, c, x[13], 0xfd987193);
    c = RoundF<17>(c, d, a, b, x[14], 0xa679438e);
    b = RoundF<22>(b, c, d, a, x[15], 0x49b40821);

    a = RoundG<5>(a, b, c, d, x[1], 0xf61e2562);
    d = RoundG<9>(d, a, b, c, x[6], 0xc040b340);
    c = RoundG<14>(c, d, a, b, x[11], 0x265e5a51);
    b = RoundG<20>(b, c, d, a, x[0], 0xe9b6c7aa);
    a = RoundG<5>(a, b, c, d, x[5], 0xd62f105d);
    d = RoundG<9>(d, a, b, c, x[10], 0x02441453);
    c = RoundG<14>(c, d, a, b, x[15], 0xd8a1e681);
    b = RoundG<20>(b, c, d, a, x[4], 0xe7d3fbc8);
    a = RoundG<5>(a, b, c, d, x[9], 0x21e1cde6);
    d = RoundG<9>(d, a, b, c, x[14], 0xc33707d6);
    c = RoundG<14>(c, d, a, b, x[3], 0xf4d50d87);
    b = RoundG<20>(b, c, d, a, x[8], 0x455a14ed);
    a = RoundG<5>(a, b, c, d, x[13], 0xa9e3e905);
    d = RoundG<9>(d, a, b, c, x[2], 0xfcefa3f8);
    c = RoundG<14>(c, d, a, b, x[7], 0x676f02d9);
    b = RoundG<20>(b, c, d, a, x[12], 0x8d2a4c8a);

    a = RoundH<4>(a, b, c, d, x[5], 0xfffa3942);
    d = RoundH<11>(d, a, b, c, x[8], 0x8771f681);
    c = RoundH<16>(c, d, a, b, x[11], 0x6d9d6122);
    b = RoundH<23>(b, c, d, a, x[14], 0xfde5380c);
    a = RoundH<4>(a, b, c, d, x[1], 0xa4beea44);
    d = RoundH<11>(d, a, b, c, x[4], 0x4bdecfa9);
    c = RoundH<16>(c, d, a, b, x[7], 0xf6bb4b60);
    b = RoundH<23>(b, c, d, a, x[10], 0xbebfbc70);
    a = RoundH<4>(a, b, c, d, x[13], 0x289b7ec6);
    d = RoundH<11>(d, a, b, c, x[0], 0xeaa127fa);
    c = RoundH<16>(c, d, a, b, x[3], 0xd4ef3085);
    b = RoundH<23>(b, c, d, a, x[6], 0x04881d05);
    a = RoundH<4>(a, b, c, d, x[9], 0xd9d4d039);
    d = RoundH<11>(d, a, b, c, x[12], 0xe6db99e5);
    c = RoundH<16>(c, d, a, b, x[15], 0x1fa27cf8);
    b = RoundH<23>(b, c, d, a, x[2], 0xc4ac5665);

    a = RoundI<6>(a, b, c, d, x[0], 0xf4292244);
    d = RoundI<10>(d, a, b, c, x[7], 0x432aff97);
    c = RoundI<15>(c, d, a, b, x[14], 0xab9423a7);
    b = RoundI<21>(b, c, d, a, x[5], 0xfc93a039);
    a = RoundI<6>(a, b, c, d, x[12], 0x655b59c3);
    d = RoundI<10>(d, a, b, c, x[3], 0x8f0ccc92);
    c = RoundI<15>(c, d, a, b, x[10], 0xffeff47d);
    b = RoundI<21>(b, c, d, a, x[1], 0x85845dd1);
    a = RoundI<6>(a, b, c, d, x[8], 0x6fa87e4f);
    d = RoundI<10>(d, a, b, c, x[15], 0xfe2ce6e0);
    c = RoundI<15>(c, d, a, b, x[6], 0xa3014314);
    b = RoundI<21>(b, c, d, a, x[13], 0x4e0811a1);
    a = RoundI<6>(a, b, c, d, x[4], 0xf7537e82);
    d = RoundI<10>(d, a, b, c, x[11], 0xbd3af235);
    c = RoundI<15>(c, d, a, b, x[2], 0x2ad7d2bb);
    b = RoundI<21>(b, c, d, a, x[9], 0xeb86d391);

    a0 += a;
    b0 += b;
    c0 += c;
    d0 += d;
  }
  state_ = {a0, b0, c0, d0};
}

void Md5::Update(std::span<const uint8_t> bytes) {
  const uint8_t* data = bytes.data();
  size_t size = bytes.size();
  if (size == 0) return;  // an empty span may have no storage at all
  length_ += size;
  if (pending_size_ > 0) {
    size_t take = std::min(size, kMd5BlockSize - pending_size_);
    std::memcpy(pending_.data() + pending_size_, data, take);
    pending_size_ += take;
    data += take;
    size -= take;
    if (pending_size_ < kMd5BlockSize) return;
    ProcessBlocks(pending_.data(), 1);
    pending_size_ = 0;
  }
  size_t whole = size / kMd5BlockSize;
  if (whole > 0) {
    ProcessBlocks(data, whole);
    data += whole * kMd5BlockSize;
    size -= whole * kMd5BlockSize;
  }
  if (size > 0) {
    std::memcpy(pending_.data(), data, size);
    pending_size_ = size;
  }
}

void Md5::Update(std::string_view text) {
  Update(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TDigest Md5::Final() {
  uint64_t bit_length = length_ << 3;
  pending_[pending_size_++] = kPadMarker;
  if (pending_size_ > kLengthFieldOffset) {
    std::memset(pending_.data() + pending_size_, 0, kMd5BlockSize - pending_size_);
    ProcessBlocks(pending_.data(), 1);
    pending_size_ = 0;
  }
  std::memset(pending_.data() + pending_size_, 0, kLengthFieldOffset - pending_size_);
  StoreLittleEndian32(pending_.data() + kLengthFieldOffset, static_cast<uint32_t>(bit_length));
  StoreLittleEndian32(pending_.data() + kLengthFieldOffset + 4,
                      static_cast<uint32_t>(bit_length >> 32));
  ProcessBlocks(pending_.data(), 1);
  pending_size_ = 0;

  TDigest digest;
  for (size_t i = 0; i < state_.size(); ++i) StoreLittleEndian32(digest.data() + 4 * i, state_[i]);
  return digest;
}

TDigest DigestOfBytes(std::span<const uint8_t> bytes) {
  Md5 md5;
  md5.Update(bytes);
  return md5.Final();
}

TDigest DigestOfText(std::string_view text) {
  Md5 md5;
  md5.Update(text);
  return md5.Final();
}

bool DigestsEqual(const TDigest& a, const TDigest& b) {
  uint8_t difference = 0;
  for (size_t i = 0; i < kDigestSize; ++i) difference |= a[i] ^ b[i];
  return difference == 0;
}

}  // namespace veltra::crypto
