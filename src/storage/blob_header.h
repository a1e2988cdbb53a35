// The BLOB file's header: the first 512 bytes of a table's BLOB file, which count its blocks, head
// its free-block chain and carry the change counter that moves at every header write.
//
// Layout (integers little-endian):
//
//   offset size  content
//        0    4  change counter, raised by one at every write of the header
//        4    4  reserved, 0
//        8    1  format version (6)
//        9   16  signature: the digest of the engine's signature text, or of "VELTRA_SIG"
//       25    4  first free block (signed; 0: the free-block chain is empty)
//       29    4  next new block = blocks in the file + 1 (1 for an empty file)
//       33    1  whether the header was marked changed when it was written; ignored on reading
//       34  478  zero
//
// Encoding and decoding are pure: the BLOB file (blob_file.h) decrypts before decoding and
// encrypts after encoding when its table is encrypted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/error_codes.h"
#include "crypto/md5.h"

namespace veltra {

inline constexpr size_t kBlobHeaderSize = 512;
inline constexpr size_t kBlobHeaderChangeCounterOffset = 0;
inline constexpr size_t kBlobHeaderReservedOffset = 4;
inline constexpr size_t kBlobHeaderVersionOffset = 8;
inline constexpr size_t kBlobHeaderSignatureOffset = 9;
inline constexpr size_t kBlobHeaderFirstFreeOffset = 25;
inline constexpr size_t kBlobHeaderNextNewOffset = 29;
inline constexpr size_t kBlobHeaderModifiedOffset = 33;

inline constexpr uint8_t kBlobFileVersion = 6;

// The signature text whose digest every engine accepts, whatever its own signature.
inline constexpr std::string_view kFallbackSignature = "VELTRA_SIG";

// Change counters are signed 32-bit sequence values: after 2147483647 comes 1.
constexpr uint32_t NextChangeCounter(uint32_t counter) {
  return counter >= 2147483647u ? 1u : counter + 1;
}

using TBlobHeaderImage = std::array<uint8_t, kBlobHeaderSize>;

// The header as held in memory.
struct TBlobHeader {
  uint32_t change_counter = 0;
  uint8_t version = kBlobFileVersion;
  crypto::TDigest signature{};
  int32_t first_free_block = 0;
  int32_t next_new_block = 1;
  bool modified = false;

  bool operator==(const TBlobHeader&) const = default;
};

// The 512 bytes of `header`, reserved and unused bytes zero.
TBlobHeaderImage EncodeBlobHeader(const TBlobHeader& header);

// The header held in `image`; the modified byte is not taken.
TBlobHeader DecodeBlobHeader(std::span<const uint8_t, kBlobHeaderSize> image);

// Whether a header may be opened by an engine whose signature digest is `engine_digest`: 0 when
// it may; kErrTableVersion for a version below 6; kErrInvalidTableFile for a version above 6 or a
// version-6 header that carries neither the engine's digest nor that of kFallbackSignature.
TEngineCode CheckBlobHeaderVersion(const TBlobHeader& header, const crypto::TDigest& engine_digest);

// Whether the block fields of a header just read are consistent: the next new block at least 1;
// with no blocks no free block; otherwise a first free block from 0 to the block count.
bool BlobHeaderBlocksValid(const TBlobHeader& header);

}  // namespace veltra
