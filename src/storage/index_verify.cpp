// The checks of the index file's header and definitions: the open-time check (any finding is a
// damaged header) and the verification and repair that report each finding with its message.
// Both run the one inspection below; the open-time check runs it on copies and stops at the
// first finding.
//
// Decisions beyond the message table: the key-size limits are judged on the size the fields
// need (a stored size that merely disagrees with it is set right, one whose fields cannot fit
// removes the index); a compression code outside 0 to 3 is reported as an invalid definition
// and repaired as no compression; a duplicate name is prefixed with "_" until it is unique.
#include <algorithm>
#include <string>
#include <vector>

#include "core/engine_error.h"
#include "storage/index_file.h"

namespace veltra {
namespace {

constexpr std::string_view kErrorFixed = ", error fixed";

struct Inspection {
  TIndexHeader& header;
  std::array<TIndexDefinition, kIndexSlotCount>& definitions;
  uint32_t last_page;
  const TIndexTableShape& shape;
  const TIndexVerifyReport* report;  // null: stop at the first finding
  bool repair;
  int findings = 0;
  std::vector<uint8_t> removed;

  // Records a finding; false when the inspection stops here.
  bool Found(const std::string& message, std::string_view repair_words) {
    ++findings;
    if (report == nullptr) return false;
    if (*report) (*report)(repair ? message + std::string(repair_words) : message);
    return true;
  }

  bool NameTaken(uint8_t slot, std::string_view name) const {
    for (uint8_t other = kFirstSecondarySlot; other < slot; ++other) {
      if (SameIndexName(definitions[other].name, name)) return true;
    }
    return false;
  }

  bool CheckName(uint8_t slot) {
    TIndexDefinition& definition = definitions[slot];
    const std::string name = definition.name;
    if (name.empty() || !IsIndexNameStart(static_cast<uint8_t>(name[0]))) {
      if (!Found("Invalid index name for index " + name, "")) return false;
      if (repair) definition.SetName("_" + name);
    }
    if (definition.stored_name_length > kMaxIndexNameLength) {
      if (!Found("Invalid index name (too long) for index " + definition.name, "")) return false;
      if (repair) definition.SetName(definition.name);
    }
    if (NameTaken(slot, definition.name)) {
      if (!Found("Duplicate index name for index " + definition.name, kErrorFixed)) return false;
      if (repair) {
        std::string renamed = definition.name;
        for (uint32_t tries = 0; tries <= kMaxIndexNameLength && NameTaken(slot, renamed);
             ++tries) {
          renamed = ("_" + renamed).substr(0, kMaxIndexNameLength);
        }
        definition.SetName(renamed);
      }
    }
    return true;
  }

  bool IsTextIndexable(int16_t number) const {
    const std::optional<TKeyFieldType> field = KeyFieldTypeOf(shape, number);
    if (!field || number < 1) return false;
    return field->type == TDataType::dtString ||
           (field->type == TDataType::dtBlob && field->sub_type == TDataSubType::dsMemo);
  }

  bool CheckFullText() {
    TIndexDefinition& definition = definitions[kFullTextSlot];
    bool sound = definition.name == kFullTextIndexName &&
                 definition.stored_name_length == kFullTextIndexName.size() &&
                 definition.key_size == kFullTextKeySize &&
                 definition.compression == static_cast<uint8_t>(TKeyCompression::kcFull) &&
                 definition.no_counts && !definition.unique &&
                 definition.field_count <= kMaxKeyFields;
    for (size_t i = 0; sound && i < kMaxKeyFields; ++i) {
      const int16_t number = definition.fields[i];
      sound = i < definition.field_count ? IsTextIndexable(number) : number == 0;
    }
    if (sound) return true;
    if (!Found("Invalid index definition for index " + definition.name, kErrorFixed)) return false;
    if (repair) definition = FullTextDefinition();
    return true;
  }

  bool CheckPrimary() {
    TIndexDefinition& definition = definitions[kPrimarySlot];
    if (definition.name.empty() && definition.stored_name_length == 0 && definition.unique &&
        definition.field_count > 0 && definition.fields[0] != 0) {
      return true;
    }
    if (!Found("Invalid primary index definition", kErrorFixed)) return false;
    if (repair) definition = DefaultPrimaryDefinition();
    return true;
  }

  // Field list, field count, key size and compression of a primary or secondary index.
  bool CheckKey(uint8_t slot) {
    TIndexDefinition& definition = definitions[slot];
    const std::string name = DisplayIndexName(slot, definition);
    size_t last_used = 0;
    for (size_t i = 0; i < kMaxKeyFields; ++i) {
      if (definition.fields[i] != 0) last_used = i + 1;
    }
    std::vector<std::pair<int16_t, uint8_t>> list;
    for (size_t i = 0; i < last_used; ++i) {
      const int16_t number = definition.fields[i];
      const std::optional<TKeyFieldType> field = KeyFieldTypeOf(shape, number);
      const bool exists = number != 0 && field && field->type != TDataType::dtBlob &&
                          field->type != TDataType::dtUnknown;
      if (exists) {
        list.emplace_back(number, definition.descending_fields[i]);
        continue;
      }
      if (!Found("Invalid field number " + std::to_string(number) + " in index " + name,
                 ", error fixed and field removed from index")) {
        return false;
      }
    }
    if (repair) {
      definition.fields.fill(0);
      definition.descending_fields.fill(0);
      for (size_t i = 0; i < list.size(); ++i) {
        definition.fields[i] = list[i].first;
        definition.descending_fields[i] = list[i].second;
      }
    }
    if (definition.field_count != list.size()) {
      if (!Found("Invalid key field count of " + std::to_string(definition.field_count) +
                     " for index " + name,
                 kErrorFixed)) {
        return false;
      }
      if (repair) definition.field_count = static_cast<uint8_t>(list.size());
    }
    uint32_t needed = definition.unique ? 0 : kRecordIdKeySize;
    for (const auto& [number, descending] : list) {
      needed += uint32_t{KeyWidthOf(*KeyFieldTypeOf(shape, number))} + 1;
    }
    const uint32_t part = needed - (definition.unique ? 0 : kRecordIdKeySize);
    const std::string size_message =
        "Invalid key size of " + std::to_string(definition.key_size) + " for index " + name;
    if (part < 1 || part > MaxKeyPartSizeFor(shape.page_size)) {
      if (!Found(size_message, ", error fixed and index removed")) return false;
      if (repair) removed.push_back(slot);
      return true;
    }
    if (definition.key_size != needed) {
      if (!Found(size_message, kErrorFixed)) return false;
      if (repair) definition.key_size = static_cast<uint16_t>(needed);
    }
    if (definition.compression >= kKeyCompressionCount) {
      if (!Found("Invalid index definition for index " + name, kErrorFixed)) return false;
      if (repair) definition.compression = 0;
    }
    return true;
  }

  bool CheckPages(uint8_t slot) {
    const std::string name = DisplayIndexName(slot, definitions[slot]);
    if (header.roots[slot] > last_page) {
      if (!Found("Invalid root page pointer for index " + name, kErrorFixed)) return false;
      if (repair) header.roots[slot] = 0;
    }
    if (header.data_pages[slot] > last_page) {
      if (!Found("Invalid data root page pointer for index " + name, kErrorFixed)) return false;
      if (repair) header.data_pages[slot] = 0;
    }
    return true;
  }

  bool Run() {
    if (header.free_page_head > last_page) {
      if (!Found("Invalid free index page pointer", kErrorFixed)) return false;
      if (repair) header.free_page_head = 0;
    }
    if (header.secondary_count > kMaxSecondaryIndexes) {
      // Only a file opened without its checks gets here; the slots past 30 are not indexes.
      if (report == nullptr) return false;
      if (repair) header.secondary_count = kMaxSecondaryIndexes;
    }
    if (!CheckPrimary() || !CheckKey(kPrimarySlot) || !CheckPages(kPrimarySlot)) return false;
    const uint8_t count = std::min(header.secondary_count, kMaxSecondaryIndexes);
    for (uint8_t slot = kFirstSecondarySlot; slot <= count; ++slot) {
      if (!CheckName(slot) || !CheckKey(slot) || !CheckPages(slot)) return false;
    }
    return CheckFullText() && CheckPages(kFullTextSlot);
  }
};

}  // namespace

void TIndexFile::CheckHeader(const TIndexTableShape& shape) const {
  TIndexHeader header = Header();
  std::array<TIndexDefinition, kIndexSlotCount> definitions = definitions_;
  TIndexTableShape checked_shape = shape;
  checked_shape.page_size = page_size_;
  Inspection inspection{header, definitions, LastBlockNumber(), checked_shape, nullptr, false,
                        0,      {}};
  inspection.Run();
  if (inspection.findings > 0) Raise(kErrHeaderCorrupt);
}

bool TIndexFile::VerifyOrRepair(const TIndexTableShape& shape, const TIndexVerifyReport& report,
                                bool repair) {
  TIndexTableShape checked_shape = shape;
  checked_shape.page_size = page_size_;
  Inspection inspection{header_, definitions_, LastBlockNumber(), checked_shape, &report, repair, 0,
                        {}};
  inspection.Run();
  if (!repair) return inspection.findings == 0;
  // Later slots first, so that the earlier marked slots keep their numbers.
  for (auto slot = inspection.removed.rbegin(); slot != inspection.removed.rend(); ++slot) {
    Remove(*slot);
  }
  header_.version = kIndexFileVersion;
  definitions_changed_ = true;
  WriteHeader();
  WriteDefinitions(true);
  return inspection.findings == 0;
}

}  // namespace veltra
