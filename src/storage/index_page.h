// The index page (TPage): the buffer of one page of the index file, with its page header and its
// entries.
//
// On disk a page is the 13-byte page header followed by its entries, stored back to back:
//   0   1  page type (TPageType)
//   1   2  entry count
//   3   4  previous page on the same level (0: none)
//   7   4  next page on the same level; the next free page of a free page; the next data page
//   11  2  packed size: the bytes the stored entries take
//   13  .. the entries
// Stored entries by page type (d: leading bytes shared with the previous key, t: trailing zero
// bytes left out; both at most 254):
//   inner pages       key, child page (4), subtree count (4, left out when the index keeps no
//                     counts)
//   leaf, none        key, record number (4)
//   leaf, dup-byte    d, key bytes d.., record number
//   leaf, trail-byte  t, key without its last t bytes, record number
//   leaf, full        d, t, key bytes d.. without the last t, record number
// In a non-unique index the 4-byte RecordID at the end of the key never counts in t: t counts the
// zeros before it, and the RecordID is stored after the shortened key; when fewer than 5 key
// bytes remain after the shared prefix, t is 0. Data pages hold raw bytes after the header.
// Integers in the page header and the numbers of the entries are little-endian.
//
// In memory a page that is bound to its index's layout (Bind, InitialiseFor) holds every entry
// unpacked as a fixed record: the key, the number, the subtree count, d and t. The disk image is
// packed again when the page is written. A page read from disk stays in its stored form until it
// is bound, because only the index that owns it knows its key size and compression. Binding checks
// every stored entry against the page's room: a page whose entries do not decode raises the
// index buffers-corrupt error (8965), never reads outside the page.
//
// Capacity comes from the real stored sizes: an entry fits when the packed size after inserting it
// (it and its successor re-packed) stays within the page; a page with one entry is a valid page.
// Encrypted tables encrypt the whole page, its header included.
//
// Used by one thread at a time, like the index file it belongs to.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/engine_hooks.h"
#include "storage/buffer.h"
#include "storage/buffered_file.h"
#include "storage/index_format.h"

namespace veltra {

// What the page code needs to know of the index a page belongs to.
struct TPageLayout {
  uint16_t key_size = 0;
  bool unique = true;
  bool no_counts = false;
  TKeyCompression compression = TKeyCompression::kcNone;

  bool operator==(const TPageLayout&) const = default;
};

class TPage final : public TBuffer {
 public:
  // A page buffer of a file with `page_size`-byte pages. `cipher` (may be null) encrypts the disk
  // image of an encrypted table; `error_owner` (may be null) names the table in the errors
  // raised. REQUIRES: both outlive the page; page_size > 13.
  TPage(TBufferedFile& owner, uint32_t page_size, TCipherContext* cipher,
        const BufferedFileOwner* error_owner);

  uint32_t PageSize() const { return page_size_; }
  // The bytes the entries may take: page size - 13.
  uint32_t EntryArea() const { return page_size_ - kPageHeaderSize; }

  // The page header. Setters mark the page dirty.
  TPageType Type() const { return type_; }
  void SetType(TPageType type);
  uint16_t Count() const { return count_; }
  uint32_t Previous() const { return previous_; }
  void SetPrevious(uint32_t page);
  uint32_t Next() const { return next_; }
  void SetNext(uint32_t page);
  uint16_t PackedSize() const { return packed_size_; }

  // Makes the page an empty page of `type` for an index of `layout`, dirty.
  void InitialiseFor(const TPageLayout& layout, TPageType type);

  // Unpacks the stored entries for an index of `layout` (nothing when already bound to it).
  // Raises 8965 when the page is not an inner or leaf page or its entries do not decode within
  // the page: a count beyond what fits, a first entry that shares bytes, a d or t larger than the
  // key leaves, entries that run past the entry area, or a packed size that disagrees.
  void Bind(const TPageLayout& layout);
  bool Bound() const { return bound_; }
  const TPageLayout& Layout() const { return layout_; }

  // Entries, numbered from 1. REQUIRES: bound, 1 <= entry <= Count().
  std::span<const uint8_t> Key(uint16_t entry) const;
  uint32_t Number(uint16_t entry) const;
  void SetNumber(uint16_t entry, uint32_t number);
  uint32_t SubtreeCount(uint16_t entry) const;
  void SetSubtreeCount(uint16_t entry, uint32_t count);
  uint8_t Shared(uint16_t entry) const;
  uint8_t Trailing(uint16_t entry) const;
  // Overrides the stored counts of an entry; the next RecomputePackedSize or a change of the
  // entry or its predecessor recomputes them.
  void SetShared(uint16_t entry, uint8_t shared);
  void SetTrailing(uint16_t entry, uint8_t trailing);

  // The packed size after inserting `key` before entry `position` (Count() + 1 appends).
  // REQUIRES: bound, key.size() == key size, 1 <= position <= Count() + 1.
  uint32_t PackedSizeWithInsert(uint16_t position, std::span<const uint8_t> key) const;
  bool CanInsert(uint16_t position, std::span<const uint8_t> key) const {
    return Count() < kMaxEntries && PackedSizeWithInsert(position, key) <= EntryArea();
  }
  // Inserts an entry before `position`; the entry and its successor are re-packed and the packed
  // size adjusted. Raises 8965 when it does not fit (CanInsert is false) or the arguments are out
  // of range; nothing changes then.
  void Insert(uint16_t position, std::span<const uint8_t> key, uint32_t number,
              uint32_t subtree_count = 0);
  // Deletes entry `entry`; its successor is re-packed. Raises 8965 when out of range.
  void Delete(uint16_t entry);
  // Recomputes d and t of every entry and the packed size from scratch.
  void RecomputePackedSize();

  // The stored size of one entry with counts d and t on a page of `type`.
  static uint32_t StoredEntrySize(const TPageLayout& layout, TPageType type, uint32_t shared,
                                  uint32_t trailing);
  // d and t of `key` after `previous` (empty: first entry) under the layout's compression.
  struct TEntryCounts {
    uint8_t shared = 0;
    uint8_t trailing = 0;
  };
  static TEntryCounts CompressionCounts(const TPageLayout& layout,
                                        std::span<const uint8_t> previous,
                                        std::span<const uint8_t> key);

  // The page's disk image without encryption (what SaveToDiskImage writes before encrypting).
  void EncodePlain(std::span<std::byte> image) const;

  // More entries than this never fit: every stored entry takes at least 5 bytes.
  static constexpr uint16_t kMaxEntries = (kMaxIndexPageSize - kPageHeaderSize) / 5;

 protected:
  void InitialiseData(PageKind page_kind) override;
  void DecodeDiskImage(std::span<const std::byte> image) override;
  void EncodeDiskImage(std::span<std::byte> image) const override;
  void AssignData(const TBuffer& other) override;
  bool EqualsBuffer(const TBuffer& other) const override;

 private:
  uint32_t EntryStride() const { return uint32_t{layout_.key_size} + kEntryExtraSize; }
  uint8_t* EntryAt(uint16_t entry) { return entries_.data() + (entry - 1) * size_t{EntryStride()}; }
  const uint8_t* EntryAt(uint16_t entry) const {
    return entries_.data() + (entry - 1) * size_t{EntryStride()};
  }
  uint32_t StoredSizeOf(uint16_t entry) const;
  // Recomputes d and t of `entry` from its predecessor.
  void Repack(uint16_t entry);
  void CheckEntry(uint16_t entry) const;
  void Unpack(std::span<const uint8_t> stored);
  uint32_t PackEntries(uint8_t* out) const;
  [[noreturn]] void RaiseCorrupt() const;

  uint32_t page_size_;
  TCipherContext* cipher_;
  const BufferedFileOwner* error_owner_;

  TPageType type_ = TPageType::ptRootInner;
  uint16_t count_ = 0;
  uint32_t previous_ = 0;
  uint32_t next_ = 0;
  uint16_t packed_size_ = 0;

  bool bound_ = false;
  TPageLayout layout_;
  std::vector<uint8_t> entries_;  // count_ records of EntryStride() bytes while bound
};

}  // namespace veltra
