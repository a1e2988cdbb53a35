#include "storage/record_layout.h"

#include <algorithm>
#include <cstring>

#include "core/byte_order.h"
#include "platform/locale.h"
#include "storage/data_file_header.h"

namespace veltra {

namespace {

TFieldDefinition SystemDefinition(int32_t number, std::string_view name, TDataType type,
                                  TDataSubType sub_type, uint16_t size, uint16_t offset) {
  TFieldDefinition definition;
  definition.number = number;
  definition.name = std::string(name);
  definition.data_type = CodeOf(type);
  definition.sub_type = CodeOf(sub_type);
  definition.size = size;
  definition.stored_size = size;
  definition.offset = offset;
  return definition;
}

bool IsBlobField(const TFieldDefinition& definition) {
  return definition.data_type == CodeOf(TDataType::dtBlob);
}

// Characters a string slot can hold: the stored size less the terminating zero.
size_t StringCapacity(const TFieldDefinition& definition) {
  return definition.stored_size > 0 ? definition.stored_size - 1u : 0u;
}

}  // namespace

const TFieldDefinition& RecordIdDefinition() {
  static const TFieldDefinition definition =
      SystemDefinition(kRecordIdFieldNumber, kRecordIdFieldName, TDataType::dtInteger,
                       TDataSubType::dsNone, kIntegerSize, kRecordIdOffset);
  return definition;
}

const TFieldDefinition& RecordHashDefinition() {
  static const TFieldDefinition definition = SystemDefinition(
      kRecordHashFieldNumber, kRecordHashFieldName, TDataType::dtBytes, TDataSubType::dsRecordHash,
      static_cast<uint16_t>(crypto::kDigestSize), kRecordHashOffset);
  return definition;
}

uint16_t DerivedStoredSize(const TFieldDefinition& definition) {
  const std::optional<TDataType> type = DataTypeOfCode(definition.data_type);
  if (!type) return definition.stored_size;
  return StoredSizeOf(*type, static_cast<TDataSubType>(definition.sub_type), definition.size);
}

bool SlotFitsRecord(const TFieldDefinition& definition, uint32_t record_size) {
  return definition.offset >= kFirstSlotOffset &&
         uint32_t{definition.offset} + 1u + definition.stored_size <= record_size;
}

RecordLayout AssignRecordLayout(std::vector<TFieldDefinition>& definitions,
                                const EngineErrorContext& context) {
  uint32_t running = kFirstSlotOffset;
  uint16_t blobs = 0;
  for (TFieldDefinition& definition : definitions) {
    definition.stored_size = DerivedStoredSize(definition);
    definition.stored_decimals = definition.decimals;
    if (IsBlobField(definition) && ++blobs > kMaxBlobFieldCount) {
      RaiseEngineError(kErrBlobFieldLimits, context);
    }
    if (definition.computed) {
      definition.offset = 0;
      continue;
    }
    // The running offset may pass 65,535 before the size check; the offset of a slot that far is
    // never used because the size check fails.
    definition.offset = static_cast<uint16_t>(std::min<uint32_t>(running, 0xFFFF));
    running += definition.stored_size + 1u;
  }
  const uint32_t rounded =
      (running + kRecordSizeAlignment - 1) / kRecordSizeAlignment * kRecordSizeAlignment;
  if (rounded > kMaxRecordSize) RaiseEngineError(kErrMaxRecordSize, context);
  return {static_cast<uint16_t>(rounded), blobs};
}

uint8_t RecordStatusByte(std::span<const uint8_t> record) { return record[kRecordStatusOffset]; }
void SetRecordStatus(std::span<uint8_t> record, TRecordStatus status) {
  record[kRecordStatusOffset] = static_cast<uint8_t>(status);
}
bool IsDeletedRecord(std::span<const uint8_t> record) {
  return RecordStatusByte(record) == static_cast<uint8_t>(TRecordStatus::rsDeleted);
}
int32_t RecordFreeLink(std::span<const uint8_t> record) {
  return LoadI32LeAt(record, kRecordFreeLinkOffset);
}
void SetRecordFreeLink(std::span<uint8_t> record, int32_t link) {
  StoreI32LeAt(record, kRecordFreeLinkOffset, link);
}
int32_t RecordIdOf(std::span<const uint8_t> record) { return LoadI32LeAt(record, kRecordIdOffset); }
void SetRecordId(std::span<uint8_t> record, int32_t id) {
  StoreI32LeAt(record, kRecordIdOffset, id);
}
crypto::TDigest RecordHashOf(std::span<const uint8_t> record) {
  crypto::TDigest hash;
  std::copy_n(record.begin() + kRecordHashOffset, hash.size(), hash.begin());
  return hash;
}
void SetRecordHash(std::span<uint8_t> record, const crypto::TDigest& hash) {
  std::copy(hash.begin(), hash.end(), record.begin() + kRecordHashOffset);
}

crypto::TDigest ComputeRecordHash(std::span<const uint8_t> record,
                                  std::span<const TFieldDefinition> definitions) {
  const std::span<const uint8_t> fields = record.subspan(kFirstSlotOffset);
  if (std::none_of(definitions.begin(), definitions.end(), IsBlobField)) {
    return crypto::DigestOfBytes(fields);
  }
  std::vector<uint8_t> copy(fields.begin(), fields.end());
  for (const TFieldDefinition& definition : definitions) {
    if (!IsBlobField(definition) || definition.computed) continue;
    std::fill_n(copy.begin() + (definition.offset - kFirstSlotOffset), definition.stored_size + 1u,
                uint8_t{0});
  }
  return crypto::DigestOfBytes(copy);
}

bool IsFieldNull(std::span<const uint8_t> record, const TFieldDefinition& definition) {
  return record[definition.offset] == kIndicatorNull;
}

void SetFieldNull(std::span<uint8_t> record, const TFieldDefinition& definition) {
  std::fill_n(record.begin() + definition.offset, definition.stored_size + 1u, uint8_t{0});
}

std::span<uint8_t> FieldValueBytes(std::span<uint8_t> record, const TFieldDefinition& definition) {
  return record.subspan(definition.offset + 1u, definition.stored_size);
}

std::span<const uint8_t> FieldValueBytes(std::span<const uint8_t> record,
                                         const TFieldDefinition& definition) {
  return record.subspan(definition.offset + 1u, definition.stored_size);
}

void SetFieldValueBytes(std::span<uint8_t> record, const TFieldDefinition& definition,
                        std::span<const uint8_t> value) {
  std::span<uint8_t> slot = FieldValueBytes(record, definition);
  const size_t count = std::min(slot.size(), value.size());
  std::copy_n(value.begin(), count, slot.begin());
  std::fill(slot.begin() + count, slot.end(), uint8_t{0});
  record[definition.offset] = kIndicatorValue;
}

std::optional<std::string> StringValueToStore(const TFieldDefinition& definition,
                                              std::string_view text,
                                              const platform::LocaleServices* locale) {
  // A zero byte ends the stored text, so nothing after one can be kept.
  text = text.substr(0, std::min(text.find('\0'), text.size()));
  std::string value(text.substr(0, std::min(text.size(), StringCapacity(definition))));
  if (definition.sub_type != CodeOf(TDataSubType::dsFixed)) {
    const size_t end = value.find_last_not_of(' ');
    value.erase(end == std::string::npos ? 0 : end + 1);
  }
  const auto character_case = static_cast<TCharacterCase>(definition.character_case);
  if (character_case == TCharacterCase::ccUpper || character_case == TCharacterCase::ccLower) {
    const bool upper = character_case == TCharacterCase::ccUpper;
    if (locale != nullptr) {
      value = upper ? locale->UpperCase(value) : locale->LowerCase(value);
    } else {
      for (char& c : value) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
  }
  if (value.empty()) return std::nullopt;
  return value;
}

void StoreStringValue(std::span<uint8_t> record, const TFieldDefinition& definition,
                      std::string_view text, const platform::LocaleServices* locale) {
  const std::optional<std::string> value = StringValueToStore(definition, text, locale);
  if (!value) {
    SetFieldNull(record, definition);
    return;
  }
  SetFieldValueBytes(record, definition,
                     std::span(reinterpret_cast<const uint8_t*>(value->data()), value->size()));
}

std::optional<std::string> LoadStringValue(std::span<const uint8_t> record,
                                           const TFieldDefinition& definition) {
  if (IsFieldNull(record, definition)) return std::nullopt;
  const std::span<const uint8_t> value =
      FieldValueBytes(record, definition).first(StringCapacity(definition));
  const auto end = std::find(value.begin(), value.end(), uint8_t{0});
  return std::string(value.begin(), end);
}

}  // namespace veltra
