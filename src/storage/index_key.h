// Index keys: the order-preserving encoding of every field type, the layout of a key over its
// fields, the full-text key, and key comparison.
//
// A key is, for each key field in order, one indicator byte (1: the field has a value, 0: NULL)
// and the field's encoded value, written into a zeroed area of the field's key width (its stored
// size, 8 for BCD); a non-unique index appends the record's RecordID, encoded like an integer.
// Encodings are big-endian so that unsigned byte order is value order:
//   string                characters (upper-cased for a case-insensitive index), zeros to the width
//   date, integer, time   4 bytes, top bit inverted (5 is 80 00 00 05, -5 is 7F FF FF FB)
//   small integer         2 bytes, top bit inverted
//   large integer         8 bytes, top bit inverted
//   Boolean, word         2 bytes
//   float, timestamp      the IEEE double; a value >= 0 gets its top bit set, a negative value has
//                         every bit inverted. The sign is taken from the value, so -0.0 and +0.0
//                         are one key (80 00 .. 00). A NaN counts as not negative and sorts above
//                         +infinity.
//   BCD                   the value x 10,000 rounded half away from zero to a 64-bit integer,
//                         top bit inverted. Values with more than four decimals that agree to four
//                         places are one key. Magnitudes of 2^63 / 10,000 (about 9.2e14) and above
//                         saturate at +-(2^63 - 1) instead of overflowing, so those values share
//                         their extreme keys. A digit nibble above 9 counts as 9.
//   bytes, varbytes       the stored bytes
//   BLOB                  not allowed in keys
//
// The full-text key (68 bytes): the indicator 1, the field number as 2 bytes big-endian, the word
// (upper-cased, at most 61 characters, zeros after it), the RecordID.
//
// Key order. Fields compare one after the other over their bytes (indicator and value together)
// as unsigned bytes. With a table locale a string field compares its indicator, then its
// characters (up to the first zero) with the locale's collation, case counting. A descending
// field reverses its own comparison. Bytes after the last field (the RecordID) compare as bytes.
// A comparison may be limited to a prefix of the key. Full-text keys compare bytes 0-2 as bytes,
// the word with the locale, bytes 64-67 as bytes. NULLs (indicator 0) sort first in an ascending
// field.
//
// A layout is immutable once made and may be used from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "core/data_types.h"
#include "platform/locale.h"

namespace veltra {

// What a key needs to know of a table field.
struct TKeyFieldType {
  TDataType type = TDataType::dtUnknown;
  TDataSubType sub_type = TDataSubType::dsNone;
  uint16_t stored_size = 0;
};

// The system fields RecordID (-1) and RecordHash (-2).
inline constexpr TKeyFieldType kRecordIdFieldType{TDataType::dtInteger, TDataSubType::dsNone,
                                                  kIntegerSize};
inline constexpr TKeyFieldType kRecordHashFieldType{TDataType::dtBytes, TDataSubType::dsRecordHash,
                                                    16};

// The bytes a field's encoded value takes in a key: the stored size, 8 for BCD.
constexpr uint16_t KeyWidthOf(const TKeyFieldType& field) {
  return field.type == TDataType::dtBcd ? uint16_t{8} : field.stored_size;
}

// The value encodings (each writes exactly its width).
void EncodeSmallIntKey(int16_t value, uint8_t* out);  // 2 bytes
void EncodeIntegerKey(int32_t value, uint8_t* out);   // 4 bytes; date, time, RecordID too
void EncodeLargeIntKey(int64_t value, uint8_t* out);  // 8 bytes
void EncodeWordKey(uint16_t value, uint8_t* out);     // 2 bytes; Boolean as 0 or 1
void EncodeFloatKey(double value, uint8_t* out);      // 8 bytes; timestamp too
void EncodeBcdKey(const TBcd& value, uint8_t* out);   // 8 bytes
// The value x 10,000 as the BCD key holds it (rounded, saturated; see the top of the file).
int64_t BcdKeyValue(const TBcd& value);

// One key field as a layout places it.
struct TKeyField {
  TKeyFieldType field;
  uint16_t width = 0;   // of the encoded value
  uint32_t offset = 0;  // of the indicator byte
  bool descending = false;
};

// The layout of the keys of one index.
class TKeyLayout {
 public:
  // A layout for `fields` (their types and descending flags, in key order). `locale` is the
  // table's locale services (null or byte order: no table locale, every field compares as
  // bytes); a case-insensitive index stores string values upper-cased. REQUIRES: no BLOB field,
  // at most 128 fields (the definition checks enforce both before a layout is made).
  struct FieldSpec {
    TKeyFieldType field;
    bool descending = false;
  };
  TKeyLayout(std::span<const FieldSpec> fields, bool unique, bool case_insensitive,
             const platform::LocaleServices* locale);

  // The full-text key layout of a table with `locale`.
  static TKeyLayout FullText(const platform::LocaleServices* locale);

  uint32_t KeySize() const { return key_size_; }
  // The bytes in front of the RecordID suffix (the whole key of a unique index).
  uint32_t KeyPartSize() const { return key_part_size_; }
  bool Unique() const { return unique_; }
  bool CaseInsensitive() const { return case_insensitive_; }
  bool IsFullText() const { return full_text_; }
  std::span<const TKeyField> Fields() const { return fields_; }

  // Writes field `index` of `key`: the indicator and the value encoded from its stored form
  // (`stored`: the field's stored bytes as a record slot holds them after the indicator; null
  // for NULL, which writes indicator 0 and zeros). REQUIRES: index < Fields().size(),
  // key.size() >= KeySize(), stored addresses the field's stored size.
  void EncodeField(size_t index, const uint8_t* stored, std::span<uint8_t> key) const;
  // Writes the RecordID suffix. REQUIRES: not unique, key.size() >= KeySize().
  void SetRecordId(std::span<uint8_t> key, int32_t record_id) const;

  // The full-text key of `word` (cut to 61 characters) in field `field_number` of the record
  // with `record_id`. REQUIRES: key.size() >= 68.
  void EncodeFullTextKey(int16_t field_number, std::string_view word, int32_t record_id,
                         std::span<uint8_t> key) const;

  // -1, 0 or 1 as `a` sorts before, equal to or after `b`, over at most `length` bytes (the key
  // size when larger). REQUIRES: both keys hold at least min(length, KeySize()) bytes.
  int Compare(const uint8_t* a, const uint8_t* b, size_t length) const {
    if (bytes_only_) [[likely]] {
      const int result = std::memcmp(a, b, length < key_size_ ? length : key_size_);
      return (result > 0) - (result < 0);
    }
    return CompareByFields(a, b, length);
  }
  int Compare(std::span<const uint8_t> a, std::span<const uint8_t> b) const {
    return Compare(a.data(), b.data(), KeySize());
  }

 private:
  // One run of bytes that compares one way.
  enum class SegmentKind : uint8_t { skBytes, skIndicatorText, skText };
  struct Segment {
    uint32_t offset;
    uint32_t length;
    SegmentKind kind;
    bool descending;
  };

  TKeyLayout() = default;
  void BuildSegments();
  void CopyText(const uint8_t* text, size_t capacity, uint8_t* out, size_t width) const;
  int CompareText(const uint8_t* a, const uint8_t* b, size_t length) const;
  int CompareByFields(const uint8_t* a, const uint8_t* b, size_t length) const;

  std::vector<TKeyField> fields_;
  std::vector<Segment> segments_;
  uint32_t key_size_ = 0;
  uint32_t key_part_size_ = 0;
  uint32_t segments_end_ = 0;
  bool unique_ = true;
  bool case_insensitive_ = false;
  bool full_text_ = false;
  bool bytes_only_ = true;                            // one comparison of unsigned bytes decides
  const platform::LocaleServices* locale_ = nullptr;  // null: bytes order
  const uint8_t* upper_ = nullptr;                    // the upper-case table
};

}  // namespace veltra
