// The data file's header checks: the open-time check, and the verification and repair of the
// header and definitions with their messages.
#include <string>
#include <unordered_set>

#include "core/locale_list.h"
#include "core/value_conversion.h"
#include "storage/data_file.h"

namespace veltra {

namespace {

constexpr std::string_view kInHeader = " in table header";
constexpr std::string_view kFixed = ", error fixed";
constexpr std::string_view kCannotFix = ", error cannot be fixed";
constexpr std::string_view kRepairedNamePrefix = "Repaired_Fld";

bool IsNameStart(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

std::string Trimmed(std::string_view text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(' ');
  return std::string(text.substr(begin, end - begin + 1));
}

// The form under which two field names are the same name: trimmed, ASCII letters folded.
std::string NameKey(std::string_view name) {
  std::string key = Trimmed(name);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

// A field's default, minimum or maximum text, read as the engine reads it when the value is used:
// by the field's type and, for BCD, its decimals. A definition of no known type accepts only the
// empty text.
bool IsValidFieldValueText(const TFieldDefinition& definition, std::string_view text) {
  if (text.empty()) return true;
  const std::optional<TDataType> type = DataTypeOfCode(definition.data_type);
  return type && IsValidFieldValueText(text, *type, definition.decimals);
}

std::string Cut(std::string text, size_t capacity) {
  if (text.size() > capacity) text.resize(capacity);
  return text;
}

bool IsSizedType(const TFieldDefinition& definition) {
  const std::optional<TDataType> type = DataTypeOfCode(definition.data_type);
  return type && HasDeclaredSize(*type);
}

uint16_t MaxSizeOf(const TFieldDefinition& definition) {
  return MaxDeclaredSize(*DataTypeOfCode(definition.data_type),
                         static_cast<TDataSubType>(definition.sub_type));
}

uint32_t Rounded(uint32_t offset) {
  return (offset + kRecordSizeAlignment - 1) / kRecordSizeAlignment * kRecordSizeAlignment;
}

// One verification or repair run: the findings go to the log, each as its verify message or, in
// repair mode, with the words of its fix.
class HeaderReport {
 public:
  HeaderReport(bool repair, const THeaderLog& log) : repair_(repair), log_(log) {}

  // A finding whose message contains " in table header": the fix replaces that with
  // " in table header, error fixed".
  void FixedInHeader(std::string_view before, std::string_view after = {}) {
    Emit(std::string(before) + std::string(kInHeader) + (repair_ ? std::string(kFixed) : "") +
         std::string(after));
  }
  // A finding that ends with the fix words appended.
  void FixedAtEnd(std::string_view message) {
    Emit(std::string(message) + (repair_ ? std::string(kFixed) : ""));
  }
  void CannotFix(std::string_view message) {
    Emit(std::string(message) + (repair_ ? std::string(kCannotFix) : ""));
  }
  bool Correct() const { return correct_; }
  bool Repair() const { return repair_; }

 private:
  void Emit(const std::string& message) {
    correct_ = false;
    if (log_) log_(message);
  }

  bool repair_;
  const THeaderLog& log_;
  bool correct_ = true;
};

}  // namespace

void TDataFile::CheckHeader() {
  if (!TLocaleList::IsValidLocaleId(header_.locale)) {
    RaiseEngineError(kErrLocaleNotAvailable, Context());
  }
  std::unordered_set<std::string> names;
  uint32_t running = kFirstSlotOffset;
  uint16_t blobs = 0;
  for (size_t i = 0; i < definitions_.size(); ++i) {
    const TFieldDefinition& definition = definitions_[i];
    const std::optional<TDataType> type = DataTypeOfCode(definition.data_type);
    const bool name_ok = !Trimmed(definition.name).empty() &&
                         IsNameStart(static_cast<uint8_t>(definition.name[0])) &&
                         definition.name.size() <= kFieldNameCapacity &&
                         names.insert(NameKey(definition.name)).second;
    bool size_ok = false;
    if (type && HasDeclaredSize(*type)) {
      size_ok = definition.size >= 1 && definition.size <= MaxSizeOf(definition);
    } else {
      size_ok = definition.size == 0;
    }
    const bool texts_ok = IsValidFieldValueText(definition, definition.default_value) &&
                          IsValidFieldValueText(definition, definition.minimum) &&
                          IsValidFieldValueText(definition, definition.maximum);
    const bool decimals_ok = definition.decimals == 0 || type == TDataType::dtBcd;
    if (!name_ok || !type || !size_ok || !texts_ok || !decimals_ok ||
        definition.offset != running || definition.number != static_cast<int32_t>(i + 1)) {
      RaiseHeaderCorrupt();
    }
    if (type == TDataType::dtBlob) ++blobs;
    running += DerivedStoredSize(definition) + 1u;
  }
  if (Rounded(running) != header_.record_size || blobs != header_.blob_field_count) {
    RaiseHeaderCorrupt();
  }
  const uint64_t size = storage_.FileSize();
  const uint64_t first = HeaderSize();
  const uint64_t records_bytes = size > first ? size - first : 0;
  if (records_bytes % header_.record_size != 0 ||
      records_bytes / header_.record_size != PhysicalRecordCount()) {
    RaiseHeaderCorrupt();
  }
  if (header_.next_free_record < 0 ||
      static_cast<uint32_t>(header_.next_free_record) > PhysicalRecordCount()) {
    RaiseHeaderCorrupt();
  }
}

bool TDataFile::VerifyOrRepairHeader(bool repair, const THeaderLog& log) {
  HeaderReport report(repair, log);
  std::unordered_set<std::string> names;
  uint32_t running = kFirstSlotOffset;
  uint16_t blobs = 0;
  for (size_t i = 0; i < definitions_.size(); ++i) {
    TFieldDefinition& field = definitions_[i];
    const int32_t position = static_cast<int32_t>(i + 1);
    const std::string position_text = std::to_string(position);
    if (Trimmed(field.name).empty()) {
      report.FixedInHeader("Invalid field name (blank) for field # " + position_text);
      if (repair) field.name = std::string(kRepairedNamePrefix) + position_text;
    } else if (!IsNameStart(static_cast<uint8_t>(field.name[0]))) {
      report.FixedInHeader("Invalid field name (first character) for field " + field.name);
      if (repair) field.name = Cut("_" + field.name, kFieldNameCapacity);
    }
    if (field.name.size() > kFieldNameCapacity) {
      report.FixedInHeader("Invalid field name (too long) for field " + field.name);
      if (repair) field.name = Cut(field.name, kFieldNameCapacity);
    }
    if (!names.insert(NameKey(field.name)).second) {
      report.FixedInHeader("Invalid field name (duplicate) for field " + field.name);
      if (repair) {
        field.name = Cut(position_text + field.name, kFieldNameCapacity);
        names.insert(NameKey(field.name));
      }
    }
    const std::optional<TDataType> type = DataTypeOfCode(field.data_type);
    if (!type) {
      report.CannotFix("Invalid field data type (Unknown) for field " + field.name +
                       std::string(kInHeader));
    } else if (IsSizedType(field)) {
      const std::string message = "Invalid field length for field " + field.name +
                                  std::string(kInHeader) + " (" + std::to_string(field.size) + ")";
      if (field.size > MaxSizeOf(field)) {
        report.FixedAtEnd(message);
        if (repair) field.size = MaxSizeOf(field);
      } else if (field.size == 0) {
        report.CannotFix(message);
      }
    } else if (field.size != 0) {
      report.FixedInHeader("Invalid field length for field " + field.name);
      if (repair) field.size = 0;
    }
    struct ValueText {
      std::string_view what;
      std::string* text;
    };
    for (const ValueText& value :
         {ValueText{"default", &field.default_value}, ValueText{"minimum", &field.minimum},
          ValueText{"maximum", &field.maximum}}) {
      if (IsValidFieldValueText(field, *value.text)) continue;
      report.FixedInHeader("Invalid " + std::string(value.what) + " value for field " + field.name);
      if (repair) value.text->clear();
    }
    if (field.decimals != 0 && type != TDataType::dtBcd) {
      report.FixedInHeader("Invalid field decimals for field " + field.name);
      if (repair) field.decimals = field.stored_decimals = 0;
    }
    if (field.offset != running) {
      report.FixedInHeader("Invalid field offset for field " + field.name);
      if (repair) field.offset = static_cast<uint16_t>(std::min<uint32_t>(running, 0xFFFF));
    }
    if (field.number != position) {
      report.FixedInHeader("Invalid field number for field " + field.name);
      if (repair) field.number = position;
    }
    if (repair) field.stored_size = DerivedStoredSize(field);
    if (type == TDataType::dtBlob) ++blobs;
    running += DerivedStoredSize(field) + 1u;
  }

  const uint32_t computed_size = Rounded(running);
  if (computed_size != header_.record_size) {
    report.FixedAtEnd("Invalid physical record length in table header");
    if (repair && computed_size <= kMaxRecordSize) {
      header_.record_size = static_cast<uint16_t>(computed_size);
      DiscardAll();
      ConfigureCache();
    }
  }
  const uint64_t first = HeaderSize();
  uint64_t size = storage_.FileSize();
  const uint64_t records_bytes = size > first ? size - first : 0;
  if (records_bytes % header_.record_size != 0) {
    report.FixedAtEnd("Physical records not aligned on even record size boundaries");
    if (repair) {
      size = first + records_bytes / header_.record_size * header_.record_size;
      DiscardAll();
      storage_.SetFileEnd(size);
    }
  }
  const uint64_t whole_records = records_bytes / header_.record_size;
  if (whole_records != PhysicalRecordCount()) {
    report.FixedAtEnd("Physical record count not correct");
    if (repair) {
      DiscardAll();
      SetLastBlockNumber(static_cast<uint32_t>(whole_records));
    }
  }
  if (header_.next_free_record < 0 ||
      static_cast<uint32_t>(header_.next_free_record) > PhysicalRecordCount()) {
    report.FixedAtEnd("Invalid next free record pointer");
    if (repair) header_.next_free_record = 0;
  }
  if (blobs != header_.blob_field_count) {
    report.FixedAtEnd("Invalid BLOB field count in table header");
    if (repair) header_.blob_field_count = blobs;
  }
  if (!repair) return report.Correct();

  header_.version = kDataFileVersion;
  header_.next_free_record = 0;
  definitions_changed_ = true;
  MarkChanged();
  WriteHeader(true);
  WriteDefinitions(true);
  if (RebuildFreeChain()) {
    WriteBack(false);
    WriteHeader(true);
  }
  return report.Correct();
}

}  // namespace veltra
