#include "storage/index_definition.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/byte_order.h"

namespace veltra {
namespace {

// Slot offsets.
constexpr size_t kNameOffset = 0;
constexpr size_t kKeySizeOffset = 61;
constexpr size_t kDescendingOffset = 126;
constexpr size_t kCaseInsensitiveOffset = 127;
constexpr size_t kUniqueOffset = 128;
constexpr size_t kCompressionOffset = 129;
constexpr size_t kFieldCountOffset = 130;
constexpr size_t kDescendingFieldsOffset = 131;
constexpr size_t kFieldNumbersOffset = 259;
constexpr size_t kNoCountsOffset = 515;

constexpr uint8_t kPrimaryKeySize = 5;

uint8_t AsciiUpper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

}  // namespace

void TIndexDefinition::SetName(std::string_view text) {
  name.assign(text.substr(0, kMaxIndexNameLength));
  stored_name_length = static_cast<uint8_t>(name.size());
}

void TIndexDefinition::AddField(int16_t field_number, bool descending_field) {
  fields[field_count] = field_number;
  descending_fields[field_count] = descending_field ? 1 : 0;
  ++field_count;
}

void EncodeIndexDefinition(const TIndexDefinition& definition, std::span<uint8_t> slot) {
  std::fill(slot.begin(), slot.end(), uint8_t{0});
  const size_t name_length = std::min<size_t>(definition.name.size(), kMaxIndexNameLength);
  // A stored length past the capacity is written back as found (the checks report it); the
  // characters never are.
  slot[kNameOffset] = definition.stored_name_length > kMaxIndexNameLength
                          ? definition.stored_name_length
                          : static_cast<uint8_t>(name_length);
  std::memcpy(slot.data() + kNameOffset + 1, definition.name.data(), name_length);
  StoreU16Le(slot.data() + kKeySizeOffset, definition.key_size);
  slot[kDescendingOffset] = definition.descending ? 1 : 0;
  slot[kCaseInsensitiveOffset] = definition.case_insensitive ? 1 : 0;
  slot[kUniqueOffset] = definition.unique ? 1 : 0;
  slot[kCompressionOffset] = definition.compression;
  slot[kFieldCountOffset] = definition.field_count;
  for (size_t i = 0; i < kMaxKeyFields; ++i) {
    slot[kDescendingFieldsOffset + i] = definition.descending_fields[i];
    StoreI16Le(slot.data() + kFieldNumbersOffset + 2 * i, definition.fields[i]);
  }
  slot[kNoCountsOffset] = definition.no_counts ? 1 : 0;
}

TIndexDefinition DecodeIndexDefinition(std::span<const uint8_t> slot) {
  TIndexDefinition definition;
  definition.stored_name_length = slot[kNameOffset];
  const size_t name_length = std::min<size_t>(slot[kNameOffset], kMaxIndexNameLength);
  definition.name.assign(reinterpret_cast<const char*>(slot.data() + kNameOffset + 1), name_length);
  definition.key_size = LoadU16Le(slot.data() + kKeySizeOffset);
  definition.descending = slot[kDescendingOffset] != 0;
  definition.case_insensitive = slot[kCaseInsensitiveOffset] != 0;
  definition.unique = slot[kUniqueOffset] != 0;
  definition.compression = slot[kCompressionOffset];
  definition.field_count = slot[kFieldCountOffset];
  for (size_t i = 0; i < kMaxKeyFields; ++i) {
    definition.descending_fields[i] = slot[kDescendingFieldsOffset + i];
    definition.fields[i] = LoadI16Le(slot.data() + kFieldNumbersOffset + 2 * i);
  }
  definition.no_counts = slot[kNoCountsOffset] != 0;
  return definition;
}

TIndexDefinition DefaultPrimaryDefinition() {
  TIndexDefinition definition;
  definition.unique = true;
  definition.key_size = kPrimaryKeySize;
  definition.AddField(kRecordIdFieldNumber);
  return definition;
}

TIndexDefinition FullTextDefinition(std::span<const int16_t> fields) {
  TIndexDefinition definition;
  definition.SetName(kFullTextIndexName);
  definition.key_size = kFullTextKeySize;
  definition.unique = false;
  definition.compression = static_cast<uint8_t>(TKeyCompression::kcFull);
  definition.no_counts = true;
  for (int16_t field : fields.first(std::min<size_t>(fields.size(), kMaxKeyFields))) {
    definition.AddField(field);
  }
  return definition;
}

bool IsDefaultPrimary(const TIndexDefinition& definition) {
  return definition == DefaultPrimaryDefinition();
}

bool IsIndexNameStart(uint8_t character) {
  return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
         character == '_' || (character >= 128 && character <= 254);
}

bool SameIndexName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(static_cast<uint8_t>(a[i])) != AsciiUpper(static_cast<uint8_t>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string DisplayIndexName(uint8_t slot, const TIndexDefinition& definition) {
  if (slot == kPrimarySlot && definition.name.empty()) return "Primary";
  return definition.name;
}

std::optional<TKeyFieldType> KeyFieldTypeOf(const TIndexTableShape& shape, int16_t number) {
  if (number == kRecordIdFieldNumber) return kRecordIdFieldType;
  if (number == kRecordHashFieldNumber) return kRecordHashFieldType;
  if (number < 1 || static_cast<size_t>(number) > shape.fields.size()) return std::nullopt;
  return shape.fields[static_cast<size_t>(number) - 1];
}

std::optional<uint32_t> ComputedKeySize(const TIndexDefinition& definition,
                                        const TIndexTableShape& shape) {
  uint32_t size = 0;
  const size_t count = std::min<size_t>(definition.field_count, kMaxKeyFields);
  for (size_t i = 0; i < count; ++i) {
    const std::optional<TKeyFieldType> field = KeyFieldTypeOf(shape, definition.fields[i]);
    if (!field || field->type == TDataType::dtBlob || field->type == TDataType::dtUnknown) {
      return std::nullopt;
    }
    size += uint32_t{KeyWidthOf(*field)} + 1;
  }
  return size + (definition.unique ? 0 : kRecordIdKeySize);
}

TKeyLayout KeyLayoutOf(uint8_t slot, const TIndexDefinition& definition,
                       const TIndexTableShape& shape, const platform::LocaleServices* locale) {
  if (slot == kFullTextSlot) return TKeyLayout::FullText(locale);
  std::vector<TKeyLayout::FieldSpec> specs;
  const size_t count = std::min<size_t>(definition.field_count, kMaxKeyFields);
  for (size_t i = 0; i < count; ++i) {
    specs.push_back({KeyFieldTypeOf(shape, definition.fields[i]).value_or(TKeyFieldType{}),
                     definition.descending_fields[i] != 0});
  }
  return TKeyLayout(specs, definition.unique, definition.case_insensitive, locale);
}

TPageLayout PageLayoutOf(const TIndexDefinition& definition) {
  return TPageLayout{
      .key_size = definition.key_size,
      .unique = definition.unique,
      .no_counts = definition.no_counts,
      .compression = definition.compression < kKeyCompressionCount ? definition.Compression()
                                                                   : TKeyCompression::kcNone,
  };
}

}  // namespace veltra
