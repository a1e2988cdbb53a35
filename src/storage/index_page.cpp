#include "storage/index_page.h"

#include <algorithm>
#include <cstring>

#include "core/byte_order.h"
#include "core/engine_error.h"

namespace veltra {
namespace {

// Offsets inside an unpacked entry record, after the key.
constexpr uint32_t kNumberField = 0;
constexpr uint32_t kSubtreeField = 4;
constexpr uint32_t kSharedField = 8;
constexpr uint32_t kTrailingField = 9;

bool SharesPrefix(TKeyCompression compression) {
  return compression == TKeyCompression::kcDuplicateByte || compression == TKeyCompression::kcFull;
}
bool DropsTrailing(TKeyCompression compression) {
  return compression == TKeyCompression::kcTrailingByte || compression == TKeyCompression::kcFull;
}

uint32_t SuffixSize(const TPageLayout& layout) { return layout.unique ? 0 : kRecordIdKeySize; }

// The number of stored count bytes (d, t) in front of a leaf entry.
uint32_t CountBytes(TKeyCompression compression) {
  return (SharesPrefix(compression) ? 1u : 0u) + (DropsTrailing(compression) ? 1u : 0u);
}

}  // namespace

TPage::TPage(TBufferedFile& owner, uint32_t page_size, TCipherContext* cipher,
             const BufferedFileOwner* error_owner)
    : TBuffer(owner, page_size - kPageHeaderSize),
      page_size_(page_size),
      cipher_(cipher),
      error_owner_(error_owner) {}

void TPage::RaiseCorrupt() const {
  RaiseEngineError(kErrIndexPageCorrupt,
                   error_owner_ != nullptr ? error_owner_->ErrorContext() : EngineErrorContext{});
}

void TPage::SetType(TPageType type) {
  type_ = type;
  MarkDirty();
}
void TPage::SetPrevious(uint32_t page) {
  previous_ = page;
  MarkDirty();
}
void TPage::SetNext(uint32_t page) {
  next_ = page;
  MarkDirty();
}

void TPage::InitialiseFor(const TPageLayout& layout, TPageType type) {
  std::fill(Data().begin(), Data().end(), std::byte{0});
  type_ = type;
  count_ = 0;
  previous_ = 0;
  next_ = 0;
  packed_size_ = 0;
  layout_ = layout;
  bound_ = type != TPageType::ptData;
  entries_.clear();
  MarkDirty();
}

uint32_t TPage::StoredEntrySize(const TPageLayout& layout, TPageType type, uint32_t shared,
                                uint32_t trailing) {
  const uint32_t key = layout.key_size;
  if (IsInnerPage(type)) return key + 4 + (layout.no_counts ? 0 : 4);
  const uint32_t stored_key = key - (SharesPrefix(layout.compression) ? shared : 0) -
                              (DropsTrailing(layout.compression) ? trailing : 0);
  return CountBytes(layout.compression) + stored_key + 4;
}

TPage::TEntryCounts TPage::CompressionCounts(const TPageLayout& layout,
                                             std::span<const uint8_t> previous,
                                             std::span<const uint8_t> key) {
  TEntryCounts counts;
  const uint32_t size = layout.key_size;
  uint32_t shared = 0;
  if (SharesPrefix(layout.compression) && !previous.empty()) {
    const uint32_t limit = std::min(size, kMaxCompressionCount);
    while (shared < limit && previous[shared] == key[shared]) ++shared;
  }
  uint32_t trailing = 0;
  if (DropsTrailing(layout.compression)) {
    const uint32_t suffix = SuffixSize(layout);
    // A non-unique key keeps its RecordID whole; with fewer than 5 bytes after the shared prefix
    // nothing is left out.
    if (suffix == 0 || size - shared > kRecordIdKeySize) {
      const uint32_t body_end = size - suffix;
      while (trailing < kMaxCompressionCount && body_end - trailing > shared &&
             key[body_end - trailing - 1] == 0) {
        ++trailing;
      }
    }
  }
  counts.shared = static_cast<uint8_t>(shared);
  counts.trailing = static_cast<uint8_t>(trailing);
  return counts;
}

void TPage::CheckEntry(uint16_t entry) const {
  if (!bound_ || entry < 1 || entry > count_) RaiseCorrupt();
}

std::span<const uint8_t> TPage::Key(uint16_t entry) const {
  CheckEntry(entry);
  return {EntryAt(entry), layout_.key_size};
}
uint32_t TPage::Number(uint16_t entry) const {
  CheckEntry(entry);
  return LoadU32Le(EntryAt(entry) + layout_.key_size + kNumberField);
}
void TPage::SetNumber(uint16_t entry, uint32_t number) {
  CheckEntry(entry);
  StoreU32Le(EntryAt(entry) + layout_.key_size + kNumberField, number);
  MarkDirty();
}
uint32_t TPage::SubtreeCount(uint16_t entry) const {
  CheckEntry(entry);
  return LoadU32Le(EntryAt(entry) + layout_.key_size + kSubtreeField);
}
void TPage::SetSubtreeCount(uint16_t entry, uint32_t count) {
  CheckEntry(entry);
  StoreU32Le(EntryAt(entry) + layout_.key_size + kSubtreeField, count);
  MarkDirty();
}
uint8_t TPage::Shared(uint16_t entry) const {
  CheckEntry(entry);
  return EntryAt(entry)[layout_.key_size + kSharedField];
}
uint8_t TPage::Trailing(uint16_t entry) const {
  CheckEntry(entry);
  return EntryAt(entry)[layout_.key_size + kTrailingField];
}
void TPage::SetShared(uint16_t entry, uint8_t shared) {
  CheckEntry(entry);
  EntryAt(entry)[layout_.key_size + kSharedField] = shared;
  MarkDirty();
}
void TPage::SetTrailing(uint16_t entry, uint8_t trailing) {
  CheckEntry(entry);
  EntryAt(entry)[layout_.key_size + kTrailingField] = trailing;
  MarkDirty();
}

uint32_t TPage::StoredSizeOf(uint16_t entry) const {
  const uint8_t* record = EntryAt(entry);
  return StoredEntrySize(layout_, type_, record[layout_.key_size + kSharedField],
                         record[layout_.key_size + kTrailingField]);
}

void TPage::Repack(uint16_t entry) {
  if (entry < 1 || entry > count_) return;
  uint8_t* record = EntryAt(entry);
  std::span<const uint8_t> previous;
  if (entry > 1) previous = {EntryAt(entry - 1), layout_.key_size};
  const TEntryCounts counts = IsLeafPage(type_)
                                  ? CompressionCounts(layout_, previous, {record, layout_.key_size})
                                  : TEntryCounts{};
  record[layout_.key_size + kSharedField] = counts.shared;
  record[layout_.key_size + kTrailingField] = counts.trailing;
}

uint32_t TPage::PackedSizeWithInsert(uint16_t position, std::span<const uint8_t> key) const {
  if (!bound_ || key.size() != layout_.key_size || position < 1 || position > count_ + 1) {
    RaiseCorrupt();
  }
  if (!IsLeafPage(type_)) {
    return packed_size_ + StoredEntrySize(layout_, type_, 0, 0);
  }
  std::span<const uint8_t> previous;
  if (position > 1) previous = {EntryAt(position - 1), layout_.key_size};
  const TEntryCounts mine = CompressionCounts(layout_, previous, key);
  uint32_t size = packed_size_ + StoredEntrySize(layout_, type_, mine.shared, mine.trailing);
  if (position <= count_) {  // the successor now follows the new key
    const TEntryCounts next =
        CompressionCounts(layout_, key, {EntryAt(position), layout_.key_size});
    size =
        size - StoredSizeOf(position) + StoredEntrySize(layout_, type_, next.shared, next.trailing);
  }
  return size;
}

void TPage::Insert(uint16_t position, std::span<const uint8_t> key, uint32_t number,
                   uint32_t subtree_count) {
  if (!CanInsert(position, key)) RaiseCorrupt();
  const uint32_t new_size = PackedSizeWithInsert(position, key);
  const size_t stride = EntryStride();
  const auto at = static_cast<std::ptrdiff_t>((position - 1) * stride);
  entries_.insert(entries_.begin() + at, stride, 0);
  uint8_t* record = entries_.data() + at;
  std::memcpy(record, key.data(), key.size());
  StoreU32Le(record + layout_.key_size + kNumberField, number);
  StoreU32Le(record + layout_.key_size + kSubtreeField, subtree_count);
  ++count_;
  Repack(position);
  Repack(position + 1);
  packed_size_ = static_cast<uint16_t>(new_size);
  MarkDirty();
}

void TPage::Delete(uint16_t entry) {
  CheckEntry(entry);
  uint32_t size = packed_size_ - StoredSizeOf(entry);
  const bool has_successor = entry < count_;
  if (has_successor) size -= StoredSizeOf(entry + 1);
  const size_t stride = EntryStride();
  const auto at = static_cast<std::ptrdiff_t>((entry - 1) * stride);
  entries_.erase(entries_.begin() + at,
                 entries_.begin() + at + static_cast<std::ptrdiff_t>(stride));
  --count_;
  if (has_successor) {
    Repack(entry);
    size += StoredSizeOf(entry);
  }
  packed_size_ = static_cast<uint16_t>(size);
  MarkDirty();
}

void TPage::RecomputePackedSize() {
  if (!bound_) RaiseCorrupt();
  uint32_t size = 0;
  for (uint16_t entry = 1; entry <= count_; ++entry) {
    Repack(entry);
    size += StoredSizeOf(entry);
  }
  packed_size_ = static_cast<uint16_t>(size);
  MarkDirty();
}

void TPage::Bind(const TPageLayout& layout) {
  if (bound_ && layout == layout_) return;
  if (!IsInnerPage(type_) && !IsLeafPage(type_)) RaiseCorrupt();
  if (layout.key_size == 0 || layout.key_size > kMaxKeyPartSize + kRecordIdKeySize ||
      static_cast<uint8_t>(layout.compression) >= kKeyCompressionCount) {
    RaiseCorrupt();
  }
  if (bound_) {  // rebinding: the stored form of the current entries is the starting point
    std::vector<uint8_t> stored(EntryArea(), 0);
    PackEntries(stored.data());
    std::memcpy(Data().data(), stored.data(), stored.size());
  }
  const TPageLayout previous_layout = layout_;
  const bool was_bound = bound_;
  layout_ = layout;
  try {
    Unpack({AsBytes(Data().data()), EntryArea()});
  } catch (...) {
    layout_ = previous_layout;
    bound_ = was_bound;
    throw;
  }
}

void TPage::Unpack(std::span<const uint8_t> stored) {
  const uint32_t key_size = layout_.key_size;
  const bool leaf = IsLeafPage(type_);
  const TKeyCompression compression = leaf ? layout_.compression : TKeyCompression::kcNone;
  const uint32_t suffix = SuffixSize(layout_);
  if (count_ > kMaxEntries) RaiseCorrupt();
  // No entry is stored in fewer bytes than with the largest d and t, so a count that cannot fit
  // is refused before anything is allocated for it.
  const uint32_t most_shared =
      SharesPrefix(compression) ? std::min(key_size, kMaxCompressionCount) : 0;
  const uint32_t most_trailing =
      DropsTrailing(compression) ? std::min(key_size - most_shared, kMaxCompressionCount) : 0;
  const uint32_t least_stored = StoredEntrySize(layout_, type_, most_shared, most_trailing);
  if (size_t{count_} * least_stored > stored.size()) RaiseCorrupt();
  std::vector<uint8_t> entries(size_t{count_} * EntryStride(), 0);
  size_t at = 0;
  for (uint16_t entry = 1; entry <= count_; ++entry) {
    uint8_t* record = entries.data() + (entry - 1) * size_t{EntryStride()};
    uint32_t shared = 0;
    uint32_t trailing = 0;
    if (leaf && SharesPrefix(compression)) {
      if (at >= stored.size()) RaiseCorrupt();
      shared = stored[at++];
      if (shared > key_size || (entry == 1 && shared != 0)) RaiseCorrupt();
    }
    if (leaf && DropsTrailing(compression)) {
      if (at >= stored.size()) RaiseCorrupt();
      trailing = stored[at++];
      if (trailing > key_size - shared) RaiseCorrupt();
      if (trailing != 0 && suffix != 0 && key_size - shared <= kRecordIdKeySize) RaiseCorrupt();
      if (trailing > key_size - shared - (trailing != 0 ? suffix : 0)) RaiseCorrupt();
    }
    if (shared > 0) std::memcpy(record, record - EntryStride(), shared);
    // The left-out zeros lie in [gap_begin, gap_end); the stored bytes are the rest after d.
    const uint32_t gap_end = key_size - (trailing != 0 ? suffix : 0);
    const uint32_t gap_begin = gap_end - trailing;
    const uint32_t first_part = gap_begin - shared;
    const uint32_t second_part = key_size - gap_end;
    const uint32_t extra = IsInnerPage(type_) ? (layout_.no_counts ? 4 : 8) : 4;
    if (stored.size() - at < size_t{first_part} + second_part + extra) RaiseCorrupt();
    std::memcpy(record + shared, stored.data() + at, first_part);
    at += first_part;
    std::memcpy(record + gap_end, stored.data() + at, second_part);
    at += second_part;
    std::memcpy(record + key_size + kNumberField, stored.data() + at, 4);
    at += 4;
    if (IsInnerPage(type_) && !layout_.no_counts) {
      std::memcpy(record + key_size + kSubtreeField, stored.data() + at, 4);
      at += 4;
    }
    record[key_size + kSharedField] = static_cast<uint8_t>(shared);
    record[key_size + kTrailingField] = static_cast<uint8_t>(trailing);
  }
  // The packed size of a compressed leaf page is what its entries take; other pages are checked
  // by the count alone, their size follows from it.
  if (leaf && compression != TKeyCompression::kcNone && packed_size_ != at) RaiseCorrupt();
  entries_ = std::move(entries);
  packed_size_ = static_cast<uint16_t>(at);
  bound_ = true;
}

uint32_t TPage::PackEntries(uint8_t* out) const {
  const uint32_t key_size = layout_.key_size;
  const bool leaf = IsLeafPage(type_);
  const TKeyCompression compression = leaf ? layout_.compression : TKeyCompression::kcNone;
  const uint32_t suffix = SuffixSize(layout_);
  uint32_t at = 0;
  for (uint16_t entry = 1; entry <= count_; ++entry) {
    const uint8_t* record = EntryAt(entry);
    const uint32_t shared = SharesPrefix(compression) ? record[key_size + kSharedField] : 0;
    const uint32_t trailing = DropsTrailing(compression) ? record[key_size + kTrailingField] : 0;
    if (SharesPrefix(compression)) out[at++] = static_cast<uint8_t>(shared);
    if (DropsTrailing(compression)) out[at++] = static_cast<uint8_t>(trailing);
    const uint32_t gap_end = key_size - (trailing != 0 ? suffix : 0);
    const uint32_t gap_begin = gap_end - trailing;
    std::memcpy(out + at, record + shared, gap_begin - shared);
    at += gap_begin - shared;
    std::memcpy(out + at, record + gap_end, key_size - gap_end);
    at += key_size - gap_end;
    std::memcpy(out + at, record + key_size + kNumberField, 4);
    at += 4;
    if (IsInnerPage(type_) && !layout_.no_counts) {
      std::memcpy(out + at, record + key_size + kSubtreeField, 4);
      at += 4;
    }
  }
  return at;
}

void TPage::EncodePlain(std::span<std::byte> image) const {
  std::fill(image.begin(), image.end(), std::byte{0});
  uint8_t* out = AsBytes(image.data());
  out[kPageTypeOffset] = static_cast<uint8_t>(type_);
  StoreU16Le(out + kPageCountOffset, count_);
  StoreU32Le(out + kPagePreviousOffset, previous_);
  StoreU32Le(out + kPageNextOffset, next_);
  uint32_t packed = packed_size_;
  if (bound_) {
    packed = PackEntries(out + kPageHeaderSize);
  } else {
    std::memcpy(out + kPageHeaderSize, Data().data(), EntryArea());
  }
  StoreU16Le(out + kPagePackedOffset, static_cast<uint16_t>(packed));
}

void TPage::EncodeDiskImage(std::span<std::byte> image) const {
  EncodePlain(image);
  if (cipher_ != nullptr) cipher_->EncryptBuffer({AsBytes(image.data()), image.size()});
}

void TPage::DecodeDiskImage(std::span<const std::byte> image) {
  std::vector<uint8_t> plain(page_size_, 0);
  std::memcpy(plain.data(), image.data(), std::min<size_t>(image.size(), page_size_));
  if (cipher_ != nullptr) cipher_->DecryptBuffer(plain);
  type_ = static_cast<TPageType>(plain[kPageTypeOffset]);
  count_ = LoadU16Le(plain.data() + kPageCountOffset);
  previous_ = LoadU32Le(plain.data() + kPagePreviousOffset);
  next_ = LoadU32Le(plain.data() + kPageNextOffset);
  packed_size_ = LoadU16Le(plain.data() + kPagePackedOffset);
  std::memcpy(Data().data(), plain.data() + kPageHeaderSize, EntryArea());
  bound_ = false;
  entries_.clear();
}

void TPage::InitialiseData(PageKind page_kind) {
  std::fill(Data().begin(), Data().end(), std::byte{0});
  type_ = static_cast<TPageType>(page_kind);
  count_ = 0;
  previous_ = 0;
  next_ = 0;
  packed_size_ = 0;
  bound_ = false;
  entries_.clear();
}

void TPage::AssignData(const TBuffer& other) {
  TBuffer::AssignData(other);
  const auto* page = dynamic_cast<const TPage*>(&other);
  if (page == nullptr) return;
  type_ = page->type_;
  count_ = page->count_;
  previous_ = page->previous_;
  next_ = page->next_;
  packed_size_ = page->packed_size_;
  bound_ = page->bound_;
  layout_ = page->layout_;
  entries_ = page->entries_;
}

bool TPage::EqualsBuffer(const TBuffer& other) const {
  const auto* page = dynamic_cast<const TPage*>(&other);
  if (page == nullptr || page->page_size_ != page_size_) return false;
  std::vector<std::byte> mine(page_size_);
  std::vector<std::byte> theirs(page_size_);
  EncodePlain(mine);
  page->EncodePlain(theirs);
  return mine == theirs;
}

}  // namespace veltra
