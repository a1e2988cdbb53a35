// The MD5 message digest, as the engine uses it for 16-byte fingerprints: the signature digest in
// the table file headers, the marker of compressed copies, the hash of every record and the digest
// of every table password.
//
// The digest is computed exactly as the algorithm is published; a digest's bytes are kept in the
// order in which MD5 outputs them. The digest of a text is the digest of its 8-bit characters, with
// no terminator and no length prefix.
//
// An Md5 object is used by one thread at a time; the free functions may be called from any thread.
// Nothing here allocates and nothing fails.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace veltra::crypto {

constexpr size_t kDigestSize = 16;
constexpr size_t kMd5BlockSize = 64;

// A 16-byte MD5 digest.
using TDigest = std::array<uint8_t, kDigestSize>;

// An incremental MD5 computation: Update any number of times, then Final once.
class Md5 {
 public:
  Md5() { Reset(); }

  // Starts a new message; the object is then as if newly made.
  void Reset();

  // Appends `bytes` to the message. REQUIRES: Final has not been called since the last Reset.
  void Update(std::span<const uint8_t> bytes);
  void Update(std::string_view text);

  // Pads the message and returns its digest. Afterwards the object must be Reset before reuse.
  TDigest Final();

 private:
  // Runs the compression function over `count` whole 64-byte blocks starting at `blocks`.
  void ProcessBlocks(const uint8_t* blocks, size_t count);

  std::array<uint32_t, 4> state_;
  uint64_t length_;  // message length in bytes so far (the bit length is taken modulo 2^64)
  std::array<uint8_t, kMd5BlockSize> pending_;
  size_t pending_size_;
};

// The digest of a byte area.
TDigest DigestOfBytes(std::span<const uint8_t> bytes);

// The digest of a text's 8-bit characters.
TDigest DigestOfText(std::string_view text);

// True when all 16 bytes of the two digests are equal. The time taken does not depend on where
// they differ, so comparing password digests leaks nothing through timing.
bool DigestsEqual(const TDigest& a, const TDigest& b);

}  // namespace veltra::crypto
