// Index definitions: the 768-byte slot codec, the default primary and full-text definitions, the
// rules an index name follows, and what a definition implies (its key size, key layout and page
// layout).
//
// Definition slot (768 bytes):
//   0    61  name, length byte + 60 characters (the primary index's name is empty)
//   61    2  key size
//   63   63  reserved, zero
//   126   1  descending (every key field descending)
//   127   1  case-insensitive
//   128   1  unique (else the RecordID ends every key)
//   129   1  key compression (TKeyCompression)
//   130   1  key field count, 0 to 128
//   131 128  per key field: 1 when descending
//   259 256  per key field: the field number, 2 bytes (-1 RecordID, -2 RecordHash)
//   515   1  no counts (inner pages keep no subtree counts)
//   516   2  run-time marks, zero on disk
//   518 250  reserved, zero
// Integers are little-endian. A definition is decoded as it stands, damage included (a name length
// past its capacity, a field count past the list, a compression code out of range), so that the
// checks can see and report it; decoding itself never reads outside the slot.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/locale.h"
#include "storage/index_format.h"
#include "storage/index_key.h"
#include "storage/index_page.h"

namespace veltra {

struct TIndexDefinition {
  std::string name;                // at most 60 characters are kept
  uint8_t stored_name_length = 0;  // the length byte as read; the name's length when made here
  uint16_t key_size = 0;
  bool descending = false;
  bool case_insensitive = false;
  bool unique = false;
  uint8_t compression = 0;  // a TKeyCompression code
  uint8_t field_count = 0;
  std::array<int16_t, kMaxKeyFields> fields{};
  std::array<uint8_t, kMaxKeyFields> descending_fields{};
  bool no_counts = false;

  bool operator==(const TIndexDefinition&) const = default;

  // Sets the name and its length byte (cut to 60 characters).
  void SetName(std::string_view text);
  // Appends a key field. REQUIRES: field_count < 128.
  void AddField(int16_t field_number, bool descending_field = false);
  TKeyCompression Compression() const { return static_cast<TKeyCompression>(compression); }
};

// The codec of one slot. REQUIRES: slot.size() == 768.
void EncodeIndexDefinition(const TIndexDefinition& definition, std::span<uint8_t> slot);
TIndexDefinition DecodeIndexDefinition(std::span<const uint8_t> slot);

// The primary index of a table created without one: empty name, unique, the one key field
// RecordID, key size 5, no compression.
TIndexDefinition DefaultPrimaryDefinition();
// The full-text definition over `fields` (string or memo fields): "Sys Text", key size 68, not
// unique, full compression, no counts.
TIndexDefinition FullTextDefinition(std::span<const int16_t> fields = {});
bool IsDefaultPrimary(const TIndexDefinition& definition);

// The first character of a secondary index name: a letter A-Z or a-z, an underscore, or a
// character 128 to 254.
bool IsIndexNameStart(uint8_t character);
// Index names compare without regard to case (the ASCII letters).
bool SameIndexName(std::string_view a, std::string_view b);
// The name messages show: "Primary" for the primary index's empty name.
std::string DisplayIndexName(uint8_t slot, const TIndexDefinition& definition);

// The fields of the table an index lives in, as the definition checks see them: field number n
// is fields[n - 1]; the system fields -1 and -2 exist in every table.
struct TIndexTableShape {
  std::span<const TKeyFieldType> fields;
  uint32_t page_size = kDefaultIndexPageSize;
};

// The type of field `number`, or nullopt when the table has no such field.
std::optional<TKeyFieldType> KeyFieldTypeOf(const TIndexTableShape& shape, int16_t number);

// The key size the first `field_count` fields of the definition give (+4 when not unique), or
// nullopt when a field does not exist or is a BLOB.
std::optional<uint32_t> ComputedKeySize(const TIndexDefinition& definition,
                                        const TIndexTableShape& shape);

// The key layout of a definition. REQUIRES: its fields exist and are no BLOBs (checked header).
TKeyLayout KeyLayoutOf(uint8_t slot, const TIndexDefinition& definition,
                       const TIndexTableShape& shape, const platform::LocaleServices* locale);
// The page layout of a definition (its stored key size).
TPageLayout PageLayoutOf(const TIndexDefinition& definition);

}  // namespace veltra
