#include "storage/index_file.h"

#include <algorithm>
#include <vector>

#include "core/engine_error.h"
#include "core/table_version.h"

namespace veltra {
namespace {

constexpr std::string_view kDefaultSignatureText = "VELTRA_SIG";

}  // namespace

TIndexFile::TIndexFile(BlockStorage& storage, BufferedFileOwner& owner,
                       const TIndexFileConfig& config)
    : TBufferedFile(kIndexFileKind, storage, owner),
      storage_(storage),
      page_size_(config.page_size),
      signature_(config.signature),
      cipher_(config.cipher),
      truncate_(config.truncate) {
  if (page_size_ < kMinIndexPageSize || page_size_ > kMaxIndexPageSize) Raise(kErrIndexLimits);
  Configure(BlockFileLayout{
      .block_size = page_size_,
      .first_block_offset = kIndexFirstPageOffset,
      .budget = config.budget,
      .max_file_size = config.max_file_size,
      .max_records = 0,
  });
}

void TIndexFile::Raise(TEngineCode code, std::string_view index) const {
  EngineErrorContext context = Owner().ErrorContext();
  if (!index.empty()) context.index = index;
  RaiseEngineError(code, context);
}

std::unique_ptr<TBuffer> TIndexFile::NewBuffer() {
  return std::make_unique<TPage>(*this, page_size_, cipher_, &Owner());
}

TIndexHeader TIndexFile::Header() const {
  TIndexHeader header = header_;
  header.next_page = NextPageNumber();
  header.changed_mark = HeaderChanged();
  return header;
}

void TIndexFile::CreateHeader() {
  header_ = TIndexHeader{};
  header_.version = kIndexFileVersion;
  header_.signature = signature_;
  definitions_.fill(TIndexDefinition{});
  definitions_[kPrimarySlot] = DefaultPrimaryDefinition();
  definitions_[kFullTextSlot] = FullTextDefinition();
  DiscardAll();
  SetLastBlockNumber(0);
  MarkHeaderChanged();
  definitions_changed_ = true;
}

void TIndexFile::ReadHeader() {
  std::array<uint8_t, kIndexHeaderSize> bytes{};
  const StorageResult result =
      storage_.ReadAt(0, {reinterpret_cast<std::byte*>(bytes.data()), bytes.size()});
  if (!result.ok()) Raise(result.error);
  if (result.bytes < bytes.size()) Raise(kErrHeaderCorrupt);
  if (cipher_ != nullptr) cipher_->DecryptBuffer(bytes);
  header_ = DecodeIndexHeader(bytes);
  SetLastBlockNumber(header_.next_page > 0 ? header_.next_page - 1 : 0);
  SetHeaderChanged(false);
}

void TIndexFile::WriteHeader() {
  header_.change_counter = NextChangeCounter(header_.change_counter);
  TIndexHeader header = Header();
  header.changed_mark = false;
  std::array<uint8_t, kIndexHeaderSize> bytes{};
  EncodeIndexHeader(header, bytes);
  if (cipher_ != nullptr) cipher_->EncryptBuffer(bytes);
  const StorageResult result =
      storage_.WriteAt(0, {reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()});
  if (!result.ok()) Raise(result.error);
  SetHeaderChanged(false);
}

void TIndexFile::ReadDefinitions() {
  std::vector<uint8_t> bytes(kIndexDefinitionAreaSize);
  const StorageResult result = storage_.ReadAt(
      kIndexDefinitionOffset, {reinterpret_cast<std::byte*>(bytes.data()), bytes.size()});
  if (!result.ok()) Raise(result.error);
  if (result.bytes < bytes.size()) Raise(kErrHeaderCorrupt);
  if (cipher_ != nullptr) cipher_->DecryptBuffer(bytes);
  for (uint32_t slot = 0; slot < kIndexSlotCount; ++slot) {
    definitions_[slot] = DecodeIndexDefinition(
        std::span<const uint8_t>(bytes).subspan(slot * kIndexDefinitionSize, kIndexDefinitionSize));
  }
  definitions_changed_ = false;
}

bool TIndexFile::WriteDefinitions(bool force) {
  if (!definitions_changed_ && !force) return false;
  std::vector<uint8_t> bytes(kIndexDefinitionAreaSize);
  for (uint32_t slot = 0; slot < kIndexSlotCount; ++slot) {
    EncodeIndexDefinition(
        definitions_[slot],
        std::span<uint8_t>(bytes).subspan(slot * kIndexDefinitionSize, kIndexDefinitionSize));
  }
  if (cipher_ != nullptr) cipher_->EncryptBuffer(bytes);
  const StorageResult result = storage_.WriteAt(
      kIndexDefinitionOffset, {reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()});
  if (!result.ok()) Raise(result.error);
  definitions_changed_ = false;
  return true;
}

void TIndexFile::Open() {
  ReadHeader();
  if (header_.version != kIndexFileVersion) {
    Raise(IsValidTableVersion(header_.version) ? kErrTableVersion : kErrInvalidTableFile);
  }
  static const crypto::TDigest kDefaultSignature = crypto::DigestOfText(kDefaultSignatureText);
  if (!crypto::DigestsEqual(header_.signature, signature_) &&
      !crypto::DigestsEqual(header_.signature, kDefaultSignature)) {
    Raise(kErrInvalidTableFile);
  }
  if (header_.secondary_count > kMaxSecondaryIndexes || header_.next_page == 0) {
    Raise(kErrHeaderCorrupt);
  }
  ReadDefinitions();
  Reset();
}

void TIndexFile::SetRoot(uint8_t slot, uint32_t page) {
  header_.roots.at(slot) = page;
  MarkHeaderChanged();
}

void TIndexFile::SetDataPage(uint8_t slot, uint32_t page) {
  header_.data_pages.at(slot) = page;
  MarkHeaderChanged();
}

bool TIndexFile::SlotInUse(uint8_t slot) const {
  return slot == kPrimarySlot || slot == kFullTextSlot ||
         (slot >= kFirstSecondarySlot && slot <= header_.secondary_count);
}

void TIndexFile::CheckSlotInUse(uint8_t slot) const {
  if (slot >= kIndexSlotCount || !SlotInUse(slot)) Raise(kErrIndexLimits);
}

TIndexDefinition TIndexFile::CheckedDefinition(const TIndexDefinition& definition,
                                               const TIndexTableShape& shape) const {
  if (definition.field_count > kMaxKeyFields) Raise(kErrIndexLimits, definition.name);
  for (size_t i = 0; i < definition.field_count; ++i) {
    const std::optional<TKeyFieldType> field = KeyFieldTypeOf(shape, definition.fields[i]);
    if (!field || field->type == TDataType::dtBlob || field->type == TDataType::dtUnknown) {
      Raise(kErrInvalidIndexField, definition.name);
    }
  }
  const uint32_t key_size = ComputedKeySize(definition, shape).value_or(0);
  const uint32_t key_part = key_size - (definition.unique ? 0 : kRecordIdKeySize);
  if (definition.field_count == 0 || key_part < 1 || key_part > MaxKeyPartSizeFor(page_size_)) {
    Raise(kErrInvalidKeySize, definition.name);
  }
  TIndexDefinition checked = definition;
  checked.key_size = static_cast<uint16_t>(key_size);
  if (static_cast<uint8_t>(checked.compression) >= kKeyCompressionCount) checked.compression = 0;
  return checked;
}

void TIndexFile::SetPrimary(const TIndexDefinition& definition, const TIndexTableShape& shape) {
  if (!IsDefaultPrimary(definitions_[kPrimarySlot])) Raise(kErrPrimaryIndexExists);
  TIndexDefinition checked = CheckedDefinition(definition, shape);
  checked.SetName("");
  definitions_[kPrimarySlot] = checked;
  header_.roots[kPrimarySlot] = 0;
  definitions_changed_ = true;
  MarkHeaderChanged();
}

uint8_t TIndexFile::AddSecondary(const TIndexDefinition& definition,
                                 const TIndexTableShape& shape) {
  if (header_.secondary_count >= kMaxSecondaryIndexes) Raise(kErrIndexLimits, definition.name);
  if (definition.name.empty()) Raise(kErrIndexNameMissing);
  if (!IsIndexNameStart(static_cast<uint8_t>(definition.name[0])) ||
      definition.name.size() > kMaxIndexNameLength ||
      definition.stored_name_length > kMaxIndexNameLength) {
    Raise(kErrInvalidIndexName, definition.name);
  }
  if (Find(definition.name) != kNoIndex) Raise(kErrIndexExists, definition.name);
  TIndexDefinition checked = CheckedDefinition(definition, shape);
  checked.SetName(definition.name);
  const uint8_t slot = ++header_.secondary_count;
  definitions_[slot] = checked;
  header_.roots[slot] = 0;
  header_.data_pages[slot] = 0;
  definitions_changed_ = true;
  MarkHeaderChanged();
  return slot;
}

void TIndexFile::SetDefinition(uint8_t slot, const TIndexDefinition& definition) {
  CheckSlotInUse(slot);
  definitions_[slot] = definition;
  header_.roots[slot] = 0;
  definitions_changed_ = true;
  MarkHeaderChanged();
}

void TIndexFile::Rename(uint8_t slot, const TIndexDefinition& definition) {
  CheckSlotInUse(slot);
  TIndexDefinition& target = definitions_[slot];
  target.SetName(definition.name);
  target.field_count = definition.field_count;
  target.fields = definition.fields;
  target.descending_fields = definition.descending_fields;
  target.descending = definition.descending;
  definitions_changed_ = true;
}

void TIndexFile::Remove(uint8_t slot) {
  CheckSlotInUse(slot);
  if (slot == kPrimarySlot) {
    definitions_[slot] = DefaultPrimaryDefinition();
  } else if (slot == kFullTextSlot) {
    definitions_[slot] = FullTextDefinition();
  } else {
    const uint8_t last = header_.secondary_count;
    for (uint8_t moved = slot; moved < last; ++moved) {
      definitions_[moved] = definitions_[moved + 1];
      header_.roots[moved] = header_.roots[moved + 1];
      header_.data_pages[moved] = header_.data_pages[moved + 1];
    }
    slot = last;
    definitions_[slot] = TIndexDefinition{};
    --header_.secondary_count;
  }
  header_.roots[slot] = 0;
  header_.data_pages[slot] = 0;
  definitions_changed_ = true;
  MarkHeaderChanged();
}

uint8_t TIndexFile::Find(std::string_view name) const {
  for (uint8_t slot = kFirstSecondarySlot; slot <= header_.secondary_count; ++slot) {
    if (SameIndexName(definitions_[slot].name, name)) return slot;
  }
  return kNoIndex;
}

void TIndexFile::Empty() {
  DiscardAll();
  if (truncate_) truncate_(kIndexFirstPageOffset);
  SetLastBlockNumber(0);
  header_.free_page_head = 0;
  header_.roots.fill(0);
  header_.data_pages.fill(0);
  MarkHeaderChanged();
  Reset();
}

BufferPin TIndexFile::GetPage(uint32_t page, uint8_t slot) {
  if (slot >= kIndexSlotCount) Raise(kErrIndexLimits);
  if (page == 0 || page > LastBlockNumber()) Raise(kErrIndexPageCorrupt);
  BufferPin pin = GetBuffer(page);
  if (pin.Retry()) return pin;
  PageOf(pin).Bind(PageLayoutOf(definitions_[slot]));
  return pin;
}

BufferPin TIndexFile::NewPage(uint8_t slot, TPageType type) {
  if (slot >= kIndexSlotCount) Raise(kErrIndexLimits);
  const TPageLayout layout = PageLayoutOf(definitions_[slot]);
  const uint32_t head = header_.free_page_head;
  if (head != 0) {
    if (head > LastBlockNumber()) Raise(kErrIndexPageCorrupt);
    BufferPin pin = GetBuffer(head);
    if (pin.Retry()) return pin;
    TPage& page = PageOf(pin);
    // A link that leaves the file would hand out a page that does not exist: the chain ends.
    const uint32_t next = page.Next();
    if (next > LastBlockNumber() || next == head) Raise(kErrIndexPageCorrupt);
    header_.free_page_head = next;
    page.InitialiseFor(layout, type);
    MarkHeaderChanged();
    return pin;
  }
  BufferPin pin = GetBuffer(LastBlockNumber() + 1, {.page_kind = static_cast<PageKind>(type)});
  if (pin.Retry()) return pin;
  PageOf(pin).InitialiseFor(layout, type);
  return pin;
}

void TIndexFile::FreePage(TPage& page) {
  page.InitialiseFor(TPageLayout{}, TPageType::ptData);
  page.SetNext(header_.free_page_head);
  header_.free_page_head = page.BlockNumber();
  MarkHeaderChanged();
}

}  // namespace veltra
