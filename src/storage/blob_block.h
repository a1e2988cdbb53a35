// One block of a table's BLOB file as its cache holds it (TBlock): the 18-byte block header split
// from the data area, in plain form whatever the table. The bytes on disk are decrypted as one
// unit when a block is loaded and encrypted as one unit when it is saved, when the table is
// encrypted.
//
// Block layout on disk (integers little-endian), block size bytes:
//
//   offset size  content
//        0    4  previous block of the value's chain (0 in the first block)
//        4    4  next block of the chain (0 in the last); in a free block the next free block
//        8    2  bytes used in the data area
//       10    4  revision number of the value the block belongs to
//       14    4  total stored length of the value (first block only; 0 in the others)
//       18    .  the data area, block size - 18 bytes
//
// The links and counts are kept as read, unchecked: the BLOB file and the chain walks judge them.
// A block is used by one thread at a time, like the table it belongs to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/engine_hooks.h"
#include "storage/buffer.h"

namespace veltra {

inline constexpr uint32_t kBlockHeaderSize = 18;
inline constexpr size_t kBlockPreviousOffset = 0;
inline constexpr size_t kBlockNextOffset = 4;
inline constexpr size_t kBlockUsedOffset = 8;
inline constexpr size_t kBlockRevisionOffset = 10;
inline constexpr size_t kBlockTotalLengthOffset = 14;

// What the blocks of one BLOB file share for their conversions: the table's cipher (null for a
// table without a password) and a work area for decrypting a block just read. Owned by the BLOB
// file; used by one thread at a time.
struct TBlockCodec {
  TCipherContext* cipher = nullptr;
  std::vector<uint8_t> scratch;
};

class TBlock final : public TBuffer {
 public:
  // A block whose data area holds `data_size` bytes (block size - 18), converted through `codec`.
  // REQUIRES: `codec` outlives the block.
  TBlock(TBufferedFile& owner, uint32_t data_size, TBlockCodec& codec);

  int32_t Previous() const { return previous_; }
  int32_t Next() const { return next_; }
  uint16_t Used() const { return used_; }
  int32_t Revision() const { return revision_; }
  uint32_t TotalLength() const { return total_length_; }

  // Each setter marks the block dirty. REQUIRES: the caller holds a pin.
  void SetPrevious(int32_t block);
  void SetNext(int32_t block);
  void SetUsed(uint16_t used);
  void SetRevision(int32_t revision);
  void SetTotalLength(uint32_t length);

 protected:
  void InitialiseData(PageKind page_kind) override;
  void DecodeDiskImage(std::span<const std::byte> image) override;
  void EncodeDiskImage(std::span<std::byte> image) const override;
  void AssignData(const TBuffer& other) override;
  bool EqualsBuffer(const TBuffer& other) const override;

 private:
  TBlockCodec& codec_;
  int32_t previous_ = 0;
  int32_t next_ = 0;
  uint16_t used_ = 0;
  int32_t revision_ = 0;
  uint32_t total_length_ = 0;
};

}  // namespace veltra
