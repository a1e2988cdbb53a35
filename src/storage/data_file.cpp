#include "storage/data_file.h"

#include <algorithm>
#include <limits>

#include "core/data_engine.h"
#include "core/engine_settings.h"
#include "core/table_version.h"
#include "storage/engine_file.h"

namespace veltra {

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

uint64_t EngineDataFileStorage::FileSize() { return file_.Size(); }

void EngineDataFileStorage::SetFileEnd(uint64_t size) { file_.SetEnd(size); }

void EngineDataFileStorage::FlushFile() { file_.Flush(); }

TDataFile::TDataFile(TDataEngine& engine, DataFileStorage& storage, DataFileOwner& owner)
    : TBufferedFile(kDataFileKind, storage, owner),
      engine_(engine),
      storage_(storage),
      owner_(owner) {}

TDataFile::~TDataFile() = default;

std::unique_ptr<TBuffer> TDataFile::NewBuffer() {
  const RecordCipherSource& cipher = *this;
  return std::make_unique<TRecord>(*this, BufferDataSize(), cipher);
}

void TDataFile::RaiseHeaderCorrupt() const { RaiseEngineError(kErrHeaderCorrupt, Context()); }
void TDataFile::RaiseRecordCorrupt() const { RaiseEngineError(kErrDataRecordCorrupt, Context()); }

// ---- Creating -----------------------------------------------------------------------------------

void TDataFile::CreateHeader() {
  DiscardAll();
  header_ = TDataFileHeader{};
  header_.version = kDataFileVersion;
  header_.signature = engine_.SignatureDigest();
  header_.next_record_number = 1;
  definitions_.clear();
  definitions_changed_ = true;
  SetLastBlockNumber(0);
  MarkChanged();
}

void TDataFile::SetTableProperties(const TTableProperties& properties) {
  header_.locale = properties.locale;
  header_.user_major_version = properties.user_major_version;
  header_.user_minor_version = properties.user_minor_version;
  header_.last_auto_increment = properties.last_auto_increment;
  header_.blob_block_size = properties.blob_block_size;
  header_.index_page_size = properties.index_page_size;
  header_.description = properties.description.substr(
      0, std::min(properties.description.size(), kTableDescriptionCapacity));
  header_.encrypted = properties.encrypted;
  header_.check_value =
      properties.encrypted ? properties.check_value : crypto::TPasswordCheckValue{};
  MarkChanged();
}

void TDataFile::SetFieldDefinitions(std::vector<TFieldDefinition> definitions) {
  if (definitions.empty() || definitions.size() > kMaxFieldCount) RaiseHeaderCorrupt();
  for (size_t i = 0; i < definitions.size(); ++i) {
    definitions[i].number = static_cast<int32_t>(i + 1);
  }
  const RecordLayout layout = AssignRecordLayout(definitions, Context());
  definitions_ = std::move(definitions);
  header_.field_count = static_cast<uint16_t>(definitions_.size());
  header_.record_size = layout.record_size;
  header_.blob_field_count = layout.blob_field_count;
  definitions_changed_ = true;
  MarkChanged();
  ConfigureCache();
}

void TDataFile::ConfigureCache() {
  // The block counter and the header mark are the header's; a new geometry keeps them.
  const uint32_t last = LastBlockNumber();
  const bool header_changed = TBufferedFile::HeaderChanged();
  const TStorageLimits& limits = engine_.Limits();
  Configure(BlockFileLayout{
      .block_size = header_.record_size,
      .first_block_offset = HeaderSize(),
      .budget = {.max_bytes = engine_.MaxTableDataBufferSize(),
                 .max_count = engine_.MaxTableDataBufferCount()},
      .max_file_size = limits.MaxTableFileSize,
      .max_records = limits.MaxTableRecords,
  });
  SetLastBlockNumber(last);
  SetHeaderChanged(header_changed);
}

// ---- Opening ------------------------------------------------------------------------------------

DataHeaderImage TDataFile::ReadHeaderImage() {
  DataHeaderImage image{};
  const StorageResult read = storage_.ReadAt(0, std::as_writable_bytes(std::span<uint8_t>(image)));
  if (!read.ok()) RaiseEngineError(read.error, Context());
  // A file shorter than its header is damaged.
  if (read.bytes != image.size()) RaiseHeaderCorrupt();
  return image;
}

void TDataFile::AcceptHeader(const DecodedDataFileHeader& decoded) {
  const TDataFileHeader& header = decoded.header;
  if (header.version != kDataFileVersion) {
    RaiseEngineError(header.version < kDataFileVersion ? kErrTableVersion : kErrInvalidTableFile,
                     Context());
  }
  if (!crypto::DigestsEqual(header.signature, engine_.SignatureDigest()) &&
      !crypto::DigestsEqual(header.signature, crypto::DigestOfText(kDefaultEngineSignature))) {
    RaiseEngineError(kErrInvalidTableFile, Context());
  }
  if (header.field_count == 0 || header.field_count > kMaxFieldCount) RaiseHeaderCorrupt();
  if (!decoded.description_fits) RaiseHeaderCorrupt();
  if (header.record_size < kFirstSlotOffset) RaiseHeaderCorrupt();
  if (header.next_record_number < 1 ||
      static_cast<uint32_t>(header.next_record_number) - 1 > engine_.Limits().MaxTableRecords) {
    RaiseHeaderCorrupt();
  }
}

void TDataFile::Open(bool check_header) {
  DiscardAll();
  cipher_ = nullptr;
  const DecodedDataFileHeader decoded = DecodeDataFileHeader(ReadHeaderImage());
  AcceptHeader(decoded);
  header_ = decoded.header;
  if (header_.encrypted) cipher_ = &owner_.PasswordFor(header_.check_value);
  ReadDefinitions();
  SetLastBlockNumber(static_cast<uint32_t>(header_.next_record_number - 1));
  SetHeaderChanged(false);
  ConfigureCache();
  if (check_header) CheckHeader();
}

void TDataFile::Close() {
  DiscardAll();
  cipher_ = nullptr;
}

void TDataFile::ReadDefinitions() {
  const size_t count = header_.field_count;
  std::vector<uint8_t> area(count * kFieldDefinitionBytes);
  const StorageResult read =
      storage_.ReadAt(kDataHeaderSize, std::as_writable_bytes(std::span<uint8_t>(area)));
  if (!read.ok()) RaiseEngineError(read.error, Context());
  if (read.bytes != area.size()) RaiseHeaderCorrupt();
  if (cipher_ != nullptr) TDataEngine::DecryptBuffer(*cipher_, area);
  std::vector<TFieldDefinition> definitions;
  definitions.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const std::span<const uint8_t, kFieldDefinitionBytes> image(
        area.data() + i * kFieldDefinitionBytes, kFieldDefinitionBytes);
    DecodedFieldDefinition decoded = DecodeFieldDefinition(image);
    if (!decoded.texts_fit) RaiseHeaderCorrupt();
    definitions.push_back(std::move(decoded.definition));
  }
  definitions_ = std::move(definitions);
  definitions_changed_ = false;
  CheckBounds();
}

void TDataFile::CheckBounds() const {
  for (const TFieldDefinition& definition : definitions_) {
    if (definition.computed) continue;
    if (DataTypeOfCode(definition.data_type) &&
        definition.stored_size != DerivedStoredSize(definition)) {
      RaiseHeaderCorrupt();
    }
    if (!SlotFitsRecord(definition, header_.record_size)) RaiseHeaderCorrupt();
  }
}

// ---- Header and definitions on disk -------------------------------------------------------------

TDataFileHeader TDataFile::Header() const {
  TDataFileHeader header = header_;
  header.next_record_number = static_cast<int32_t>(LastBlockNumber() + 1);
  return header;
}

void TDataFile::WriteHeader(bool forced) {
  if (!forced && !TBufferedFile::HeaderChanged()) return;
  TDataFileHeader header = Header();
  header.change_counter = NextSequenceValue(header_.change_counter);
  header.last_update = LastUpdateNow();
  const DataHeaderImage image = EncodeDataFileHeader(header, false);
  const StorageResult written = storage_.WriteAt(0, std::as_bytes(std::span(image)));
  if (!written.ok()) RaiseEngineError(written.error, Context());
  header_ = header;
  SetHeaderChanged(false);
  owner_.MarkWritten();
}

bool TDataFile::RereadHeader() {
  const DecodedDataFileHeader decoded = DecodeDataFileHeader(ReadHeaderImage());
  AcceptHeader(decoded);
  // Another process may have appended records or emptied the table, never restructured it while
  // this one has it open; a header that says otherwise is damaged.
  if (decoded.header.field_count != header_.field_count ||
      decoded.header.record_size != header_.record_size) {
    RaiseHeaderCorrupt();
  }
  const bool changed = decoded.header.change_counter != header_.change_counter;
  header_ = decoded.header;
  SetLastBlockNumber(static_cast<uint32_t>(header_.next_record_number - 1));
  SetHeaderChanged(false);
  return changed;
}

void TDataFile::WriteDefinitions(bool forced) {
  if (!forced && !definitions_changed_) return;
  std::vector<uint8_t> area(definitions_.size() * kFieldDefinitionBytes);
  for (size_t i = 0; i < definitions_.size(); ++i) {
    const FieldDefinitionImage image = EncodeFieldDefinition(definitions_[i]);
    std::copy(image.begin(), image.end(), area.begin() + i * kFieldDefinitionBytes);
  }
  if (cipher_ != nullptr) TDataEngine::EncryptBuffer(*cipher_, area);
  const StorageResult written =
      storage_.WriteAt(kDataHeaderSize, std::as_bytes(std::span<const uint8_t>(area)));
  if (!written.ok()) RaiseEngineError(written.error, Context());
  definitions_changed_ = false;
  owner_.MarkWritten();
}

void TDataFile::MarkHeaderChanged() {
  header_.change_counter = NextSequenceValue(header_.change_counter);
  MarkChanged();
}

void TDataFile::FlushToDisk() { storage_.FlushFile(); }

std::string_view TDataFile::VersionText() const { return TableVersionText(header_.version); }

// ---- Header values ------------------------------------------------------------------------------

void TDataFile::SetRecordCount(int32_t count) {
  header_.record_count = count;
  MarkChanged();
}

void TDataFile::SetLastRecordId(int32_t id) {
  header_.last_record_id = id;
  MarkChanged();
}

int32_t TDataFile::IssueNextRecordId() {
  SetLastRecordId(NextSequenceValue(header_.last_record_id));
  return header_.last_record_id;
}

void TDataFile::SetLastAutoIncrement(int32_t value) {
  header_.last_auto_increment = value;
  MarkChanged();
}

int32_t TDataFile::IssueNextBlobRevision() {
  header_.last_blob_revision = NextSequenceValue(header_.last_blob_revision);
  MarkChanged();
  return header_.last_blob_revision;
}

int32_t TDataFile::NextFreeRecord() const {
  return header_.next_free_record != 0 ? header_.next_free_record
                                       : static_cast<int32_t>(LastBlockNumber() + 1);
}

void TDataFile::SetNextFreeRecord(int32_t record) {
  header_.next_free_record = record;
  MarkChanged();
}

// ---- Definitions --------------------------------------------------------------------------------

const TFieldDefinition* TDataFile::DefinitionByNumber(int32_t number) const {
  if (number == kRecordIdFieldNumber) return &RecordIdDefinition();
  if (number == kRecordHashFieldNumber) return &RecordHashDefinition();
  if (number < 1 || static_cast<size_t>(number) > definitions_.size()) return nullptr;
  return &definitions_[static_cast<size_t>(number) - 1];
}

TFieldLookup TDataFile::DefinitionByName(std::string_view name) const {
  if (EqualsIgnoringAsciiCase(name, kRecordIdFieldName)) {
    return {&RecordIdDefinition(), kRecordIdFieldNumber};
  }
  if (EqualsIgnoringAsciiCase(name, kRecordHashFieldName)) {
    return {&RecordHashDefinition(), kRecordHashFieldNumber};
  }
  for (size_t i = 0; i < definitions_.size(); ++i) {
    if (EqualsIgnoringAsciiCase(name, definitions_[i].name)) {
      return {&definitions_[i], static_cast<int32_t>(i + 1)};
    }
  }
  return {};
}

void TDataFile::AlterDescriptiveProperties(int32_t field_number,
                                           const TFieldDefinition& definition) {
  if (field_number < 1 || static_cast<size_t>(field_number) > definitions_.size()) {
    RaiseEngineError(kErrInvalidField, Context());
  }
  TFieldDefinition& target = definitions_[static_cast<size_t>(field_number) - 1];
  // A new subtype must not change the slot's width (a fixed string may become variable, a plain
  // one may not become wide): the records are not touched.
  TFieldDefinition reshaped = target;
  reshaped.sub_type = definition.sub_type;
  if (DerivedStoredSize(reshaped) != target.stored_size) {
    RaiseEngineError(kErrInvalidFieldDefinition, {.table = Context().table, .field = target.name});
  }
  auto cut = [](const std::string& text, size_t capacity) {
    return text.substr(0, std::min(text.size(), capacity));
  };
  target.number = definition.number;
  target.name = cut(definition.name, kFieldNameCapacity);
  target.sub_type = definition.sub_type;
  target.description = cut(definition.description, kFieldDescriptionCapacity);
  target.required = definition.required;
  target.minimum = cut(definition.minimum, kFieldValueTextCapacity);
  target.maximum = cut(definition.maximum, kFieldValueTextCapacity);
  target.default_value = cut(definition.default_value, kFieldValueTextCapacity);
  definitions_changed_ = true;
  MarkChanged();
}

bool TDataFile::IsAutoIncrement(const TFieldDefinition& definition) const {
  return definition.data_type == CodeOf(TDataType::dtInteger) &&
         definition.sub_type == CodeOf(TDataSubType::dsAutoInc) && !definition.computed;
}

}  // namespace veltra
