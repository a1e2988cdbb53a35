#include "storage/blob_header.h"

#include <algorithm>

#include "storage/blob_byte_order.h"

namespace veltra {

TBlobHeaderImage EncodeBlobHeader(const TBlobHeader& header) {
  TBlobHeaderImage image{};
  blob_bytes::Store32(&image[kBlobHeaderChangeCounterOffset], header.change_counter);
  blob_bytes::Store32(&image[kBlobHeaderReservedOffset], 0);
  image[kBlobHeaderVersionOffset] = header.version;
  std::copy(header.signature.begin(), header.signature.end(),
            image.begin() + kBlobHeaderSignatureOffset);
  blob_bytes::StoreSigned32(&image[kBlobHeaderFirstFreeOffset], header.first_free_block);
  blob_bytes::StoreSigned32(&image[kBlobHeaderNextNewOffset], header.next_new_block);
  image[kBlobHeaderModifiedOffset] = header.modified ? 1 : 0;
  return image;
}

TBlobHeader DecodeBlobHeader(std::span<const uint8_t, kBlobHeaderSize> image) {
  TBlobHeader header;
  header.change_counter = blob_bytes::Load32(&image[kBlobHeaderChangeCounterOffset]);
  header.version = image[kBlobHeaderVersionOffset];
  std::copy_n(image.begin() + kBlobHeaderSignatureOffset, crypto::kDigestSize,
              header.signature.begin());
  header.first_free_block = blob_bytes::LoadSigned32(&image[kBlobHeaderFirstFreeOffset]);
  header.next_new_block = blob_bytes::LoadSigned32(&image[kBlobHeaderNextNewOffset]);
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
