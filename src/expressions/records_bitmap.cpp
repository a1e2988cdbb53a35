// The records bitmap.
#include "expressions/records_bitmap.h"

#include <algorithm>
#include <bit>

namespace veltra {

namespace {

constexpr uint32_t kBitsPerWord = 32;

}  // namespace

uint32_t TRecordsBitmap::BitsInLastWord() const {
  if (size_ == 0) return 0;
  uint32_t bits = size_ % kBitsPerWord;
  return bits == 0 ? kBitsPerWord : bits;
}

void TRecordsBitmap::SetSize(uint32_t record_count) {
  size_ = record_count;
  words_.resize((static_cast<uint64_t>(record_count) + kBitsPerWord - 1) / kBitsPerWord, 0);
  ClearTail();
}

void TRecordsBitmap::ClearTail() {
  if (words_.empty()) return;
  uint32_t bits = BitsInLastWord();
  if (bits < kBitsPerWord) words_.back() &= (uint32_t{1} << bits) - 1;
}

bool TRecordsBitmap::Test(uint32_t record) const {
  if (record == 0 || record > size_) return false;
  uint32_t bit = record - 1;
  return (words_[bit / kBitsPerWord] >> (bit % kBitsPerWord)) & 1u;
}

void TRecordsBitmap::Set(uint32_t record) {
  if (record == 0 || record > size_) return;
  uint32_t bit = record - 1;
  words_[bit / kBitsPerWord] |= uint32_t{1} << (bit % kBitsPerWord);
}

void TRecordsBitmap::Clear(uint32_t record) {
  if (record == 0 || record > size_) return;
  uint32_t bit = record - 1;
  words_[bit / kBitsPerWord] &= ~(uint32_t{1} << (bit % kBitsPerWord));
}

uint32_t TRecordsBitmap::Count() const {
  uint32_t count = 0;
  for (uint32_t word : words_) count += static_cast<uint32_t>(std::popcount(word));
  return count;
}

std::optional<uint32_t> TRecordsBitmap::NextSet(uint32_t record, uint32_t k) const {
  if (k == 0 || record >= size_) return std::nullopt;
  uint32_t bit = record;  // the bit of record + 1
  size_t index = bit / kBitsPerWord;
  uint32_t word = words_[index] & (~uint32_t{0} << (bit % kBitsPerWord));
  while (true) {
    uint32_t in_word = static_cast<uint32_t>(std::popcount(word));
    if (in_word >= k) {
      for (uint32_t i = 1; i < k; ++i) word &= word - 1;  // drop the lower set bits
      return static_cast<uint32_t>(index * kBitsPerWord) +
             static_cast<uint32_t>(std::countr_zero(word)) + 1;
    }
    k -= in_word;
    if (++index >= words_.size()) return std::nullopt;
    word = words_[index];
  }
}

std::optional<uint32_t> TRecordsBitmap::PriorSet(uint32_t record, uint32_t k) const {
  if (k == 0 || record <= 1 || size_ == 0) return std::nullopt;
  uint32_t last = std::min(record - 1, size_);  // the highest record to look at
  uint32_t bit = last - 1;
  size_t index = bit / kBitsPerWord;
  uint32_t shift = kBitsPerWord - 1 - bit % kBitsPerWord;
  uint32_t word = words_[index] & (~uint32_t{0} >> shift);
  while (true) {
    uint32_t in_word = static_cast<uint32_t>(std::popcount(word));
    if (in_word >= k) {
      for (uint32_t i = 1; i < k; ++i) word &= ~(uint32_t{1} << (31 - std::countl_zero(word)));
      return static_cast<uint32_t>(index * kBitsPerWord) + (31 - std::countl_zero(word)) + 1;
    }
    k -= in_word;
    if (index == 0) return std::nullopt;
    word = words_[--index];
  }
}

bool TRecordsBitmap::And(const TRecordsBitmap& other) {
  if (other.size_ != size_) return false;
  for (size_t i = 0; i < words_.size(); ++i) words_[i] &= other.words_[i];
  return true;
}

bool TRecordsBitmap::Or(const TRecordsBitmap& other) {
  if (other.size_ != size_) return false;
  for (size_t i = 0; i < words_.size(); ++i) words_[i] |= other.words_[i];
  return true;
}

void TRecordsBitmap::SetAll() {
  std::fill(words_.begin(), words_.end(), ~uint32_t{0});
  ClearTail();
}

void TRecordsBitmap::ClearAll() { std::fill(words_.begin(), words_.end(), 0); }

}  // namespace veltra
