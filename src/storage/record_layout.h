// The layout of a data record and the rules that place and fill its slots.
//
// Record (record size bytes, a multiple of 8 so that encrypted tables encrypt whole blocks):
//    0   1  status: 0 live, 1 deleted (on the free chain), 3 live and changed (cached updates)
//    1   4  signed: in a deleted record the next free record (0 ends the chain); in a live one
//           the engine's own use, not relied upon
//    5   4  RecordID, the record's logical identifier (system field -1)
//    9  16  RecordHash, MD5 of bytes 25 to the end with every BLOB slot zeroed (system field -2)
//   25   …  one slot per stored field in field-number order: an indicator byte (1 value, 0 null)
//           followed by the stored value (zero when null); zero after the last slot
//
// Record size: 25 + the sum of (stored size + 1) over the stored fields, rounded up to a multiple
// of 8; at most 65,534 (9477), and at most 128 BLOB fields (9498).
//
// String values: at most the declared size of characters is kept (twice that for a wide string),
// trailing blanks go unless the field is fixed, the character case setting converts the text
// with the table's locale, the rest of the slot is zero; a text left empty is stored as null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_types.h"
#include "core/engine_error.h"
#include "crypto/md5.h"
#include "storage/field_definition.h"

namespace veltra {

namespace platform {
class LocaleServices;
}

inline constexpr size_t kRecordStatusOffset = 0;
inline constexpr size_t kRecordFreeLinkOffset = 1;
inline constexpr size_t kRecordIdOffset = 5;
inline constexpr size_t kRecordHashOffset = 9;
inline constexpr size_t kFirstSlotOffset = 25;
inline constexpr size_t kRecordSizeAlignment = 8;
inline constexpr uint32_t kMaxRecordSize = 65534;

inline constexpr int32_t kRecordIdFieldNumber = -1;
inline constexpr int32_t kRecordHashFieldNumber = -2;
inline constexpr std::string_view kRecordIdFieldName = "RecordID";
inline constexpr std::string_view kRecordHashFieldName = "RecordHash";

enum class TRecordStatus : uint8_t { rsLive = 0, rsDeleted = 1, rsLiveChanged = 3 };

inline constexpr uint8_t kIndicatorNull = 0;
inline constexpr uint8_t kIndicatorValue = 1;

// The fixed definitions of the system fields (not stored in the file).
const TFieldDefinition& RecordIdDefinition();
const TFieldDefinition& RecordHashDefinition();

// The stored size a definition's type and declared size give; for a definition without a known
// type, the stored size it carries.
uint16_t DerivedStoredSize(const TFieldDefinition& definition);

// Whether the definition's slot (indicator and value) lies inside a record of `record_size`
// bytes, after the system fields.
bool SlotFitsRecord(const TFieldDefinition& definition, uint32_t record_size);

struct RecordLayout {
  uint16_t record_size = 0;
  uint16_t blob_field_count = 0;
};

// Derives the stored sizes and assigns the offsets of `definitions` in order (first slot at 25;
// computed fields take no slot) and returns the record size and BLOB count. Raises
// kErrBlobFieldLimits at the 129th BLOB field and kErrMaxRecordSize when the rounded size exceeds
// 65,534, with `context`; `definitions` is then left partly assigned.
RecordLayout AssignRecordLayout(std::vector<TFieldDefinition>& definitions,
                                const EngineErrorContext& context);

// ---- The record's own bytes. REQUIRES: record.size() >= kFirstSlotOffset. ----
uint8_t RecordStatusByte(std::span<const uint8_t> record);
void SetRecordStatus(std::span<uint8_t> record, TRecordStatus status);
bool IsDeletedRecord(std::span<const uint8_t> record);
int32_t RecordFreeLink(std::span<const uint8_t> record);
void SetRecordFreeLink(std::span<uint8_t> record, int32_t link);
int32_t RecordIdOf(std::span<const uint8_t> record);
void SetRecordId(std::span<uint8_t> record, int32_t id);
crypto::TDigest RecordHashOf(std::span<const uint8_t> record);
void SetRecordHash(std::span<uint8_t> record, const crypto::TDigest& hash);

// MD5 of bytes 25 to the end of `record`, taken over a copy in which every BLOB slot among
// `definitions` is zero, so writing a BLOB does not change the hash. REQUIRES: every slot fits.
crypto::TDigest ComputeRecordHash(std::span<const uint8_t> record,
                                  std::span<const TFieldDefinition> definitions);

// ---- Slots. REQUIRES: SlotFitsRecord(definition, record.size()). ----
bool IsFieldNull(std::span<const uint8_t> record, const TFieldDefinition& definition);
// Null: indicator 0 and the value zeroed.
void SetFieldNull(std::span<uint8_t> record, const TFieldDefinition& definition);
// The stored value bytes (after the indicator).
std::span<uint8_t> FieldValueBytes(std::span<uint8_t> record, const TFieldDefinition& definition);
std::span<const uint8_t> FieldValueBytes(std::span<const uint8_t> record,
                                         const TFieldDefinition& definition);
// Copies `value` (cut or zero-filled to the stored size) into the slot and sets the indicator.
void SetFieldValueBytes(std::span<uint8_t> record, const TFieldDefinition& definition,
                        std::span<const uint8_t> value);

// The text a string field holds when written with `text` under the string value rules, or
// nullopt when it is stored as null. `locale` does the case conversion; null converts the ASCII
// letters only.
std::optional<std::string> StringValueToStore(const TFieldDefinition& definition,
                                              std::string_view text,
                                              const platform::LocaleServices* locale);

// Writes `text` to a string field under the string value rules. REQUIRES: a string field whose
// slot fits.
void StoreStringValue(std::span<uint8_t> record, const TFieldDefinition& definition,
                      std::string_view text, const platform::LocaleServices* locale);

// The text of a string field: the characters up to the first zero byte within its capacity, or
// nullopt when null.
std::optional<std::string> LoadStringValue(std::span<const uint8_t> record,
                                           const TFieldDefinition& definition);

}  // namespace veltra
