// A records bitmap: one bit per physical record number 1 to n, as filters keep the records they
// select. Bit i - 1 of a sequence of 32-bit words stands for record i; the bits beyond n in the
// last word are always clear, so counts and searches never see them.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace veltra {

class TRecordsBitmap {
 public:
  TRecordsBitmap() = default;
  explicit TRecordsBitmap(uint32_t record_count) { SetSize(record_count); }

  // The number of records the bitmap covers.
  uint32_t Size() const { return size_; }
  uint32_t WordCount() const { return static_cast<uint32_t>(words_.size()); }
  // Bits of the last word in use (0 for an empty bitmap, else 1 to 32).
  uint32_t BitsInLastWord() const;

  // Covers records 1 to `record_count`: new records are clear, the bits of records beyond the
  // new size are cleared, words are added or dropped.
  void SetSize(uint32_t record_count);

  // One record. A record number outside 1 to Size() tests false and is ignored by Set and Clear.
  bool Test(uint32_t record) const;
  void Set(uint32_t record);
  void Clear(uint32_t record);

  // The number of set records.
  uint32_t Count() const;

  // The k-th set record (k = 1 the nearest) after `record` (0: from the start) or before it
  // (Size() + 1: from the end); nullopt when there are fewer than k. REQUIRES: k >= 1.
  std::optional<uint32_t> NextSet(uint32_t record, uint32_t k = 1) const;
  std::optional<uint32_t> PriorSet(uint32_t record, uint32_t k = 1) const;

  // Combines with a bitmap of the same size, record by record. False (and no change) when the
  // sizes differ.
  bool And(const TRecordsBitmap& other);
  bool Or(const TRecordsBitmap& other);

  void SetAll();
  void ClearAll();
  // Takes the size and the bits of `other`.
  void Assign(const TRecordsBitmap& other) { *this = other; }

  bool operator==(const TRecordsBitmap&) const = default;

 private:
  void ClearTail();

  std::vector<uint32_t> words_;
  uint32_t size_ = 0;
};

}  // namespace veltra
