// A field definition of a table, as the data file keeps it after its header (768 bytes per field,
// in field-number order), and its codec.
//
// Layout (offsets within one definition, little-endian integers):
//     0   2  unsigned  field number, 1 to field count, equal to the position
//     2  61  short     field name, capacity 60
//    63 101  short     field description, capacity 100
//   164   1  unsigned  data type code
//   165   1  unsigned  subtype (0 if none)
//   166   2  unsigned  declared size (string, bytes, varbytes; 0 for the others)
//   168   1  unsigned  decimals (BCD only)
//   169   2  unsigned  stored size: bytes of the value in the record
//   171   1  unsigned  stored decimals (equal to decimals)
//   172   2  unsigned  offset of the field's slot in the record
//   174   1  Boolean   required
//   175   1  unsigned  character case: 0 as entered, 1 upper, 2 lower
//   176 101  short     minimum value as text, capacity 100
//   277 101  short     maximum value as text, capacity 100
//   378 101  short     default value as text, capacity 100
//   479   1  unsigned  compression level of a BLOB field, 0 to 9
//   480   1  Boolean   computed (not stored in the record; false in table files)
//   481 287  -         run-time area: zero when written, ignored when read
//
// With an encrypted table the whole definition area (768 × field count bytes) is encrypted as one
// buffer; the codec here sees plain bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace veltra {

inline constexpr size_t kFieldDefinitionBytes = 768;

inline constexpr size_t kDefNumber = 0;
inline constexpr size_t kDefName = 2;
inline constexpr size_t kDefDescription = 63;
inline constexpr size_t kDefDataType = 164;
inline constexpr size_t kDefSubType = 165;
inline constexpr size_t kDefSize = 166;
inline constexpr size_t kDefDecimals = 168;
inline constexpr size_t kDefStoredSize = 169;
inline constexpr size_t kDefStoredDecimals = 171;
inline constexpr size_t kDefOffset = 172;
inline constexpr size_t kDefRequired = 174;
inline constexpr size_t kDefCharacterCase = 175;
inline constexpr size_t kDefMinimum = 176;
inline constexpr size_t kDefMaximum = 277;
inline constexpr size_t kDefDefault = 378;
inline constexpr size_t kDefCompression = 479;
inline constexpr size_t kDefComputed = 480;
inline constexpr size_t kDefRunTimeArea = 481;

inline constexpr size_t kFieldNameCapacity = 60;
inline constexpr size_t kFieldDescriptionCapacity = 100;
inline constexpr size_t kFieldValueTextCapacity = 100;  // minimum, maximum and default texts

enum class TCharacterCase : uint8_t { ccAsEntered = 0, ccUpper = 1, ccLower = 2 };

struct TFieldDefinition {
  int32_t number = 0;  // 1 to field count; -1 and -2 for the system fields
  std::string name;
  std::string description;
  uint8_t data_type = 0;
  uint8_t sub_type = 0;
  uint16_t size = 0;
  uint8_t decimals = 0;
  uint16_t stored_size = 0;
  uint8_t stored_decimals = 0;
  uint16_t offset = 0;
  bool required = false;
  uint8_t character_case = 0;  // a TCharacterCase value as stored
  std::string minimum;
  std::string maximum;
  std::string default_value;
  uint8_t compression = 0;
  bool computed = false;

  bool operator==(const TFieldDefinition&) const = default;
};

using FieldDefinitionImage = std::array<uint8_t, kFieldDefinitionBytes>;

// The 768 bytes of `definition`; texts are cut to their capacities, the run-time area is zero.
FieldDefinitionImage EncodeFieldDefinition(const TFieldDefinition& definition);

struct DecodedFieldDefinition {
  TFieldDefinition definition;
  // False when any of the five short strings had a length byte past its capacity (the text is
  // then cut to the capacity).
  bool texts_fit = true;
};

// Reads one definition image. Never fails; the values are untrusted.
DecodedFieldDefinition DecodeFieldDefinition(std::span<const uint8_t, kFieldDefinitionBytes> image);

}  // namespace veltra
