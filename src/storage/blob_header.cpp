#include "storage/blob_header.h"

#include <algorithm>

#include "core/byte_order.h"

namespace veltra {

TBlobHeaderImage EncodeBlobHeader(const TBlobHeader& header) {
  TBlobHeaderImage image{};
  StoreU32Le(&image[kBlobHeaderChangeCounterOffset], header.change_counter);
  StoreU32Le(&image[kBlobHeaderReservedOffset], 0);
  image[kBlobHeaderVersionOffset] = header.version;
  std::copy(header.signature.begin(), header.signature.end(),
            image.begin() + kBlobHeaderSignatureOffset);
  StoreI32Le(&image[kBlobHeaderFirstFreeOffset], header.first_free_block);
  StoreI32Le(&image[kBlobHeaderNextNewOffset], header.next_new_block);
  image[kBlobHeaderModifiedOffset] = header.modified ? 1 : 0;
  return image;
}

TBlobHeader DecodeBlobHeader(std::span<const uint8_t, kBlobHeaderSize> image) {
  TBlobHeader header;
  header.change_counter = LoadU32Le(&image[kBlobHeaderChangeCounterOffset]);
  header.version = image[kBlobHeaderVersionOffset];
  std::copy_n(image.begin() + kBlobHeaderSignatureOffset, crypto::kDigestSize,
              header.signature.begin());
  header.first_free_block = LoadI32Le(&image[kBlobHeaderFirstFreeOffset]);
  header.next_new_block = LoadI32Le(&image[kBlobHeaderNextNewOffset]);
  return header;
}

TEngineCode CheckBlobHeaderVersion(const TBlobHeader& header,
                                   const crypto::TDigest& engine_digest) {
  if (header.version < kBlobFileVersion) return kErrTableVersion;
  if (header.version > kBlobFileVersion) return kErrInvalidTableFile;
  static const crypto::TDigest fallback = crypto::DigestOfText(kFallbackSignature);
  if (!crypto::DigestsEqual(header.signature, engine_digest) &&
      !crypto::DigestsEqual(header.signature, fallback)) {
    return kErrInvalidTableFile;
  }
  return 0;
}

bool BlobHeaderBlocksValid(const TBlobHeader& header) {
  if (header.next_new_block < 1) return false;
  if (header.next_new_block == 1) return header.first_free_block == 0;
  return header.first_free_block >= 0 && header.first_free_block < header.next_new_block;
}

}  // namespace veltra
