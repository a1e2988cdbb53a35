#include "storage/index_key.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include "core/byte_order.h"
#include "storage/index_format.h"

namespace veltra {
namespace {

constexpr uint8_t kIndicatorPresent = 1;
constexpr uint64_t kTopBit64 = uint64_t{1} << 63;
constexpr int64_t kBcdKeyScale = 10'000;
constexpr uint8_t kBcdKeyDecimals = 4;

// ASCII case mapping, for tables without a locale.
constexpr std::array<uint8_t, 256> kAsciiUpper = [] {
  std::array<uint8_t, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    table[byte] = static_cast<uint8_t>(byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte);
  }
  return table;
}();

int Sign(int value) { return (value > 0) - (value < 0); }

bool IsText(TDataType type) { return type == TDataType::dtString; }

}  // namespace

void EncodeSmallIntKey(int16_t value, uint8_t* out) {
  StoreU16Be(out, static_cast<uint16_t>(static_cast<uint16_t>(value) ^ 0x8000u));
}

void EncodeIntegerKey(int32_t value, uint8_t* out) {
  StoreU32Be(out, static_cast<uint32_t>(value) ^ 0x8000'0000u);
}

void EncodeLargeIntKey(int64_t value, uint8_t* out) {
  StoreU64Be(out, static_cast<uint64_t>(value) ^ kTopBit64);
}

void EncodeWordKey(uint16_t value, uint8_t* out) { StoreU16Be(out, value); }

void EncodeFloatKey(double value, uint8_t* out) {
  // The sign comes from the value: -0.0 is not below zero and takes the key of +0.0.
  uint64_t bits = value == 0.0 ? 0 : std::bit_cast<uint64_t>(value);
  bits = value < 0.0 ? ~bits : bits | kTopBit64;
  StoreU64Be(out, bits);
}

int64_t BcdKeyValue(const TBcd& value) {
  const int precision = std::min<int>(value.precision, TBcd::kMaxDigits);
  const int scale = value.Scale();
  // Digits kept: those in front of the fifth decimal; the digit after them rounds.
  const int kept = precision - std::max(0, scale - kBcdKeyDecimals);
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t magnitude = 0;
  bool saturated = false;
  auto add_digit = [&](uint64_t digit) {
    if (saturated || magnitude > (kLimit - digit) / 10) {
      saturated = true;
      return;
    }
    magnitude = magnitude * 10 + digit;
  };
  for (int i = 0; i < kept; ++i) add_digit(std::min<uint8_t>(value.Digit(i), 9));
  for (int i = scale; i < kBcdKeyDecimals; ++i) add_digit(0);  // scale below four places
  if (kept >= 0 && kept < precision && std::min<uint8_t>(value.Digit(kept), 9) >= 5) {
    if (!saturated && magnitude < kLimit) {
      ++magnitude;
    }
  }
  if (saturated) magnitude = kLimit;
  const auto signed_magnitude = static_cast<int64_t>(magnitude);
  return value.IsNegative() ? -signed_magnitude : signed_magnitude;
}

void EncodeBcdKey(const TBcd& value, uint8_t* out) { EncodeLargeIntKey(BcdKeyValue(value), out); }

TKeyLayout::TKeyLayout(std::span<const FieldSpec> fields, bool unique, bool case_insensitive,
                       const platform::LocaleServices* locale)
    : unique_(unique), case_insensitive_(case_insensitive) {
  if (locale != nullptr && !locale->IsByteOrder()) locale_ = locale;
  upper_ = locale != nullptr ? locale->UpperTable().data() : kAsciiUpper.data();
  uint32_t offset = 0;
  fields_.reserve(fields.size());
  for (const FieldSpec& spec : fields) {
    const uint16_t width = KeyWidthOf(spec.field);
    fields_.push_back(TKeyField{spec.field, width, offset, spec.descending});
    offset += uint32_t{width} + 1;
  }
  key_part_size_ = offset;
  key_size_ = offset + (unique ? 0 : kRecordIdKeySize);
  BuildSegments();
}

TKeyLayout TKeyLayout::FullText(const platform::LocaleServices* locale) {
  TKeyLayout layout;
  if (locale != nullptr && !locale->IsByteOrder()) layout.locale_ = locale;
  layout.upper_ = locale != nullptr ? locale->UpperTable().data() : kAsciiUpper.data();
  layout.unique_ = false;
  layout.case_insensitive_ = true;
  layout.full_text_ = true;
  layout.key_part_size_ = kFullTextRecordIdOffset;
  layout.key_size_ = kFullTextKeySize;
  layout.segments_ = {
      {0, kFullTextWordOffset, SegmentKind::skBytes, false},
      {kFullTextWordOffset, kFullTextWordSize,
       layout.locale_ != nullptr ? SegmentKind::skText : SegmentKind::skBytes, false},
  };
  layout.segments_end_ = kFullTextRecordIdOffset;
  layout.bytes_only_ = layout.locale_ == nullptr;
  return layout;
}

void TKeyLayout::BuildSegments() {
  // Neighbouring byte-compared ascending fields merge into one run.
  for (const TKeyField& field : fields_) {
    const bool text = locale_ != nullptr && IsText(field.field.type);
    const SegmentKind kind = text ? SegmentKind::skIndicatorText : SegmentKind::skBytes;
    const uint32_t length = uint32_t{field.width} + 1;
    if (kind == SegmentKind::skBytes && !field.descending && !segments_.empty() &&
        segments_.back().kind == SegmentKind::skBytes && !segments_.back().descending) {
      segments_.back().length += length;
    } else {
      segments_.push_back({field.offset, length, kind, field.descending});
    }
    if (kind != SegmentKind::skBytes || field.descending) bytes_only_ = false;
  }
  segments_end_ = key_part_size_;
}

void TKeyLayout::CopyText(const uint8_t* text, size_t capacity, uint8_t* out, size_t width) const {
  const size_t limit = std::min(capacity, width);
  const void* end = std::memchr(text, 0, limit);
  const size_t length =
      end != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(end) - text) : limit;
  if (case_insensitive_) {
    for (size_t i = 0; i < length; ++i) out[i] = upper_[text[i]];
  } else {
    std::memcpy(out, text, length);
  }
}

void TKeyLayout::EncodeField(size_t index, const uint8_t* stored, std::span<uint8_t> key) const {
  const TKeyField& field = fields_[index];
  uint8_t* out = key.data() + field.offset;
  std::memset(out, 0, size_t{field.width} + 1);
  if (stored == nullptr) return;
  out[0] = kIndicatorPresent;
  uint8_t* value = out + 1;
  switch (field.field.type) {
    case TDataType::dtString:
      CopyText(stored, field.field.stored_size, value, field.width);
      break;
    case TDataType::dtDate:
    case TDataType::dtInteger:
    case TDataType::dtTime:
      EncodeIntegerKey(LoadI32Le(stored), value);
      break;
    case TDataType::dtSmallInt:
      EncodeSmallIntKey(LoadSmallInt(stored), value);
      break;
    case TDataType::dtBoolean:
      EncodeWordKey(LoadBoolean(stored) ? 1 : 0, value);
      break;
    case TDataType::dtWord:
      EncodeWordKey(LoadWord(stored), value);
      break;
    case TDataType::dtFloat:
    case TDataType::dtTimestamp:
      EncodeFloatKey(LoadFloat(stored), value);
      break;
    case TDataType::dtBcd:
      EncodeBcdKey(LoadBcd(stored), value);
      break;
    case TDataType::dtLargeInt:
      EncodeLargeIntKey(LoadLargeInt(stored), value);
      break;
    case TDataType::dtBytes:
    case TDataType::dtVarBytes:
      std::memcpy(value, stored, field.width);
      break;
    case TDataType::dtBlob:
    case TDataType::dtUnknown:
      break;  // refused by the definition checks; the value stays zero
  }
}

void TKeyLayout::SetRecordId(std::span<uint8_t> key, int32_t record_id) const {
  EncodeIntegerKey(record_id, key.data() + key_part_size_);
}

void TKeyLayout::EncodeFullTextKey(int16_t field_number, std::string_view word, int32_t record_id,
                                   std::span<uint8_t> key) const {
  std::memset(key.data(), 0, kFullTextKeySize);
  key[0] = kIndicatorPresent;
  StoreU16Be(key.data() + kFullTextFieldOffset, static_cast<uint16_t>(field_number));
  const size_t length = std::min<size_t>(word.size(), kFullTextWordSize);
  for (size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<uint8_t>(word[i]);
    if (byte == 0) break;
    key[kFullTextWordOffset + i] = upper_[byte];
  }
  EncodeIntegerKey(record_id, key.data() + kFullTextRecordIdOffset);
}

int TKeyLayout::CompareText(const uint8_t* a, const uint8_t* b, size_t length) const {
  const void* a_end = std::memchr(a, 0, length);
  const void* b_end = std::memchr(b, 0, length);
  const size_t a_length =
      a_end != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(a_end) - a) : length;
  const size_t b_length =
      b_end != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(b_end) - b) : length;
  return Sign(locale_->Compare({reinterpret_cast<const char*>(a), a_length},
                               {reinterpret_cast<const char*>(b), b_length},
                               platform::CaseCompare::ccRespectCase));
}

int TKeyLayout::CompareByFields(const uint8_t* a, const uint8_t* b, size_t length) const {
  const size_t limit = std::min<size_t>(length, key_size_);
  for (const Segment& segment : segments_) {
    if (segment.offset >= limit) return 0;
    const size_t run = std::min<size_t>(segment.length, limit - segment.offset);
    const uint8_t* x = a + segment.offset;
    const uint8_t* y = b + segment.offset;
    int result = 0;
    switch (segment.kind) {
      case SegmentKind::skBytes:
        result = Sign(std::memcmp(x, y, run));
        break;
      case SegmentKind::skIndicatorText:
        result = (x[0] > y[0]) - (x[0] < y[0]);
        if (result == 0 && run > 1) result = CompareText(x + 1, y + 1, run - 1);
        break;
      case SegmentKind::skText:
        result = CompareText(x, y, run);
        break;
    }
    if (result != 0) return segment.descending ? -result : result;
  }
  if (limit <= segments_end_) return 0;
  return Sign(std::memcmp(a + segments_end_, b + segments_end_, limit - segments_end_));
}

}  // namespace veltra
