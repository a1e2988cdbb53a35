// The engine's data types: the type and subtype codes every field, column, parameter and
// expression value carries, the declared and stored sizes, the in-memory value representations
// and their stored encodings.
//
// A stored value is the byte image a record slot, an expression node's buffer or a parameter
// buffer holds after the indicator byte. All multi-byte values are little-endian:
//
//   type            stored size        stored value
//   string (1)      size + 1           characters, then a zero byte (wide: 2 * size + 1, below)
//   date (2)        4                  signed day number; 1 January of year 1 is day 1
//   BLOB (3)        8                  first block (signed 32), revision (signed 32)
//   Boolean (4)     2                  0 false, 1 true
//   small int (5)   2                  signed 16-bit
//   integer (6)     4                  signed 32-bit
//   float (7)       8                  IEEE double
//   BCD (8)         34                 decimal number, layout at TBcd
//   bytes (9)       size               raw bytes
//   time (10)       4                  signed milliseconds since midnight
//   timestamp (11)  8                  IEEE double: day number * 86,400,000 + milliseconds
//   word (12)       2                  unsigned 16-bit
//   varbytes (15)   size               raw bytes
//   large int (18)  8                  signed 64-bit
//
// A wide string (subtype 32) of declared size n holds up to 2 * n bytes of 8-bit text followed by
// a zero byte: it is a string whose capacity is twice its declared size.
//
// The load and store helpers below do no allocation and no validation beyond what the type needs;
// they REQUIRE that the pointer addresses the type's stored size. Code 0 and codes not listed are
// not types: DataTypeOfCode answers nullopt for them, so a definition read from a file can be
// checked before it is used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/byte_order.h"

namespace veltra {

// The type codes as stored in field definitions and carried by expression nodes.
enum class TDataType : uint8_t {
  dtUnknown = 0,  // no type: marks a definition corrupt, or an untyped NULL
  dtString = 1,
  dtDate = 2,
  dtBlob = 3,
  dtBoolean = 4,
  dtSmallInt = 5,
  dtInteger = 6,
  dtFloat = 7,
  dtBcd = 8,
  dtBytes = 9,
  dtTime = 10,
  dtTimestamp = 11,
  dtWord = 12,
  dtVarBytes = 15,
  dtLargeInt = 18,
};

// The subtype codes. 0 is the plain form of every type (variable string, binary BLOB, plain
// integer and float).
enum class TDataSubType : uint8_t {
  dsNone = 0,
  dsMoney = 21,        // float
  dsMemo = 22,         // BLOB
  dsGraphic = 26,      // BLOB
  dsAutoInc = 29,      // integer
  dsFixed = 31,        // string: keeps trailing blanks
  dsWide = 32,         // string: capacity 2 * declared size
  dsGuid = 50,         // string of 38 characters
  dsRecordHash = 100,  // bytes: the RecordHash system field
};

// The type of code `code`, or nullopt for 0 and every code that is not a type.
constexpr std::optional<TDataType> DataTypeOfCode(uint8_t code) {
  switch (code) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 15:
    case 18:
      return static_cast<TDataType>(code);
    default:
      return std::nullopt;
  }
}

constexpr uint8_t CodeOf(TDataType type) { return static_cast<uint8_t>(type); }
constexpr uint8_t CodeOf(TDataSubType sub_type) { return static_cast<uint8_t>(sub_type); }

// Sizes.
inline constexpr uint16_t kMaxStringSize = 512;      // declared size of string, bytes, varbytes
inline constexpr uint16_t kMaxWideStringSize = 256;  // declared size of a wide string
inline constexpr uint16_t kGuidStringSize = 38;      // characters of a GUID text
inline constexpr uint16_t kDateSize = 4;
inline constexpr uint16_t kBlobReferenceSize = 8;
inline constexpr uint16_t kBooleanSize = 2;
inline constexpr uint16_t kSmallIntSize = 2;
inline constexpr uint16_t kIntegerSize = 4;
inline constexpr uint16_t kFloatSize = 8;
inline constexpr uint16_t kBcdSize = 34;
inline constexpr uint16_t kTimeSize = 4;
inline constexpr uint16_t kTimestampSize = 8;
inline constexpr uint16_t kWordSize = 2;
inline constexpr uint16_t kLargeIntSize = 8;
inline constexpr uint16_t kMaxStoredSize = 2 * kMaxWideStringSize + 1;  // 513

// True for the types whose definitions carry a declared size (string, bytes, varbytes).
constexpr bool HasDeclaredSize(TDataType type) {
  return type == TDataType::dtString || type == TDataType::dtBytes || type == TDataType::dtVarBytes;
}

// The largest declared size of a sized type: 256 for wide strings, else 512; 0 for the others.
constexpr uint16_t MaxDeclaredSize(TDataType type, TDataSubType sub_type) {
  if (!HasDeclaredSize(type)) return 0;
  if (type == TDataType::dtString && sub_type == TDataSubType::dsWide) return kMaxWideStringSize;
  return kMaxStringSize;
}

// The stored size of a value of the type: the fixed size of a fixed-size type; for string
// size + 1 (wide: 2 * size + 1), for bytes and varbytes size. Callers check the declared size
// against MaxDeclaredSize first; an unknown type gives 0.
constexpr uint16_t StoredSizeOf(TDataType type, TDataSubType sub_type, uint16_t declared_size) {
  switch (type) {
    case TDataType::dtString:
      if (sub_type == TDataSubType::dsWide) return static_cast<uint16_t>(2 * declared_size + 1);
      return static_cast<uint16_t>(declared_size + 1);
    case TDataType::dtBytes:
    case TDataType::dtVarBytes:
      return declared_size;
    case TDataType::dtDate:
      return kDateSize;
    case TDataType::dtBlob:
      return kBlobReferenceSize;
    case TDataType::dtBoolean:
      return kBooleanSize;
    case TDataType::dtSmallInt:
      return kSmallIntSize;
    case TDataType::dtInteger:
      return kIntegerSize;
    case TDataType::dtFloat:
      return kFloatSize;
    case TDataType::dtBcd:
      return kBcdSize;
    case TDataType::dtTime:
      return kTimeSize;
    case TDataType::dtTimestamp:
      return kTimestampSize;
    case TDataType::dtWord:
      return kWordSize;
    case TDataType::dtLargeInt:
      return kLargeIntSize;
    case TDataType::dtUnknown:
      return 0;
  }
  return 0;
}

// Types whose values are numbers (compared and converted by value).
constexpr bool IsNumericType(TDataType type) {
  return type == TDataType::dtSmallInt || type == TDataType::dtInteger ||
         type == TDataType::dtFloat || type == TDataType::dtBcd || type == TDataType::dtWord ||
         type == TDataType::dtLargeInt;
}

// ---------------------------------------------------------------------------------------------
// Value representations.

// A date: the signed day number, 1 January of year 1 being day 1.
using TDate = int32_t;
// A time of day: milliseconds since midnight, 0 to 86,399,999 when valid.
using TTime = int32_t;
// A timestamp: day number * 86,400,000 + milliseconds since midnight.
using TTimestamp = double;

inline constexpr int32_t kMillisecondsPerDay = 86'400'000;
// Day number of 30 December 1899, the day 0 of the application side's date-times (days as a
// double, time of day as the fraction).
inline constexpr TDate kDateTimeEpochDay = 693'594;

// A BLOB reference as a record slot holds it.
struct TBlobReference {
  int32_t first_block = 0;  // 0: the BLOB is empty
  int32_t revision = 0;

  constexpr bool operator==(const TBlobReference&) const = default;
};

// A decimal number as stored (34 bytes):
//   byte 0       precision: the number of digits held (0 to 64); 0 means the value zero
//   byte 1       bit 7 the sign (set: negative), bits 0-5 the scale (decimal places);
//                bit 6 is never written and is ignored when read
//   bytes 2-33   the digits, two per byte, the first in the high half of byte 2
// The value is the precision-digit integer the digits spell, divided by 10^scale. bcd.h holds
// the arithmetic and text forms.
struct TBcd {
  static constexpr uint8_t kMaxDigits = 64;
  static constexpr uint8_t kSignBit = 0x80;
  static constexpr uint8_t kReservedBit = 0x40;
  static constexpr uint8_t kScaleMask = 0x3F;
  static constexpr uint8_t kMaxScale = 63;
  static constexpr size_t kDigitBytes = 32;

  uint8_t precision = 0;
  uint8_t sign_scale = 0;
  std::array<uint8_t, kDigitBytes> digits{};

  constexpr bool IsNegative() const { return (sign_scale & kSignBit) != 0; }
  constexpr uint8_t Scale() const { return sign_scale & kScaleMask; }
  // Digit `i` (0 = the first). REQUIRES: i < kMaxDigits.
  constexpr uint8_t Digit(size_t i) const {
    uint8_t byte = digits[i / 2];
    return (i % 2 == 0) ? static_cast<uint8_t>(byte >> 4) : static_cast<uint8_t>(byte & 0x0F);
  }
  // REQUIRES: i < kMaxDigits, digit <= 9.
  constexpr void SetDigit(size_t i, uint8_t digit) {
    uint8_t& byte = digits[i / 2];
    byte = (i % 2 == 0) ? static_cast<uint8_t>((byte & 0x0F) | (digit << 4))
                        : static_cast<uint8_t>((byte & 0xF0) | (digit & 0x0F));
  }

  constexpr bool operator==(const TBcd&) const = default;
};

// ---------------------------------------------------------------------------------------------
// Stored encodings. REQUIRES for each: `bytes` addresses the type's stored size.

inline TDate LoadDate(const uint8_t* bytes) { return LoadI32Le(bytes); }
inline void StoreDate(uint8_t* bytes, TDate value) { StoreI32Le(bytes, value); }

inline TTime LoadTime(const uint8_t* bytes) { return LoadI32Le(bytes); }
inline void StoreTime(uint8_t* bytes, TTime value) { StoreI32Le(bytes, value); }

inline TTimestamp LoadTimestamp(const uint8_t* bytes) { return LoadF64Le(bytes); }
inline void StoreTimestamp(uint8_t* bytes, TTimestamp value) { StoreF64Le(bytes, value); }

// Any non-zero stored value reads as true; a store writes 0 or 1 only.
inline bool LoadBoolean(const uint8_t* bytes) { return LoadU16Le(bytes) != 0; }
inline void StoreBoolean(uint8_t* bytes, bool value) { StoreU16Le(bytes, value ? 1 : 0); }

inline int16_t LoadSmallInt(const uint8_t* bytes) { return LoadI16Le(bytes); }
inline void StoreSmallInt(uint8_t* bytes, int16_t value) { StoreI16Le(bytes, value); }

inline int32_t LoadInteger(const uint8_t* bytes) { return LoadI32Le(bytes); }
inline void StoreInteger(uint8_t* bytes, int32_t value) { StoreI32Le(bytes, value); }

inline double LoadFloat(const uint8_t* bytes) { return LoadF64Le(bytes); }
inline void StoreFloat(uint8_t* bytes, double value) { StoreF64Le(bytes, value); }

inline uint16_t LoadWord(const uint8_t* bytes) { return LoadU16Le(bytes); }
inline void StoreWord(uint8_t* bytes, uint16_t value) { StoreU16Le(bytes, value); }

inline int64_t LoadLargeInt(const uint8_t* bytes) { return LoadI64Le(bytes); }
inline void StoreLargeInt(uint8_t* bytes, int64_t value) { StoreI64Le(bytes, value); }

inline TBlobReference LoadBlobReference(const uint8_t* bytes) {
  return {LoadI32Le(bytes), LoadI32Le(bytes + 4)};
}
inline void StoreBlobReference(uint8_t* bytes, const TBlobReference& value) {
  StoreI32Le(bytes, value.first_block);
  StoreI32Le(bytes + 4, value.revision);
}

// The 34 bytes as they stand; whether they spell a valid number is IsValidBcd's question (bcd.h).
TBcd LoadBcd(const uint8_t* bytes);
void StoreBcd(uint8_t* bytes, const TBcd& value);

}  // namespace veltra
