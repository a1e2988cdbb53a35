// The data file's records: getting them, the free chain, inserting, deleting and emptying.
//
// The free chain is a stack threaded through the deleted records: the header's next free record
// names the most recently deleted record, each deleted record's link names the one deleted before
// it, and the last link is 0. Nothing on it is trusted: a head or link outside 1 to the physical
// record count, or a slot handed out that is not deleted, is kErrDataRecordCorrupt, raised before
// anything is changed, so a damaged chain can never hand out a live record for overwriting.
#include <algorithm>

#include "core/data_engine.h"
#include "storage/data_file.h"

namespace veltra {

namespace {

TRecord& AsRecord(BufferPin& pin) { return static_cast<TRecord&>(*pin); }

}  // namespace

void TDataFile::CheckRecordNumber(uint32_t number) const {
  if (number < 1 || number > PhysicalRecordCount()) RaiseRecordCorrupt();
}

BufferPin TDataFile::GetRecord(uint32_t number, const BufferRequest& request) {
  CheckRecordNumber(number);
  return GetBuffer(number, request);
}

TNewRecordSlot TDataFile::ClaimRecordSlot() {
  const int32_t head = header_.next_free_record;
  if (head == 0) {
    const uint32_t number = PhysicalRecordCount() + 1;
    BufferPin pin = GetBuffer(number);
    return {pin ? number : 0, std::move(pin)};
  }
  if (head < 0) RaiseRecordCorrupt();
  const auto number = static_cast<uint32_t>(head);
  CheckRecordNumber(number);
  BufferPin pin = GetBuffer(number);
  if (pin.Retry()) return {};
  const std::span<const uint8_t> record = AsRecord(pin).Bytes();
  const int32_t link = RecordFreeLink(record);
  if (!IsDeletedRecord(record) || link < 0 || static_cast<uint32_t>(link) > PhysicalRecordCount() ||
      link == head) {
    RaiseRecordCorrupt();
  }
  SetNextFreeRecord(link);
  return {number, std::move(pin)};
}

uint32_t TDataFile::InsertRecord(std::span<const uint8_t> fields) {
  TNewRecordSlot slot = ClaimRecordSlot();
  if (slot.pin.Retry()) return 0;
  TRecord& buffer = AsRecord(slot.pin);
  const std::span<uint8_t> record = buffer.Bytes();
  const size_t count = std::min(record.size(), fields.size());
  std::fill(record.begin(), record.end(), uint8_t{0});
  if (count > kFirstSlotOffset) {
    std::copy(fields.begin() + kFirstSlotOffset, fields.begin() + count,
              record.begin() + kFirstSlotOffset);
  }
  SetRecordStatus(record, TRecordStatus::rsLive);
  // In memory a live record keeps its own number in the link word.
  SetRecordFreeLink(record, static_cast<int32_t>(slot.number));
  SetRecordId(record, IssueNextRecordId());

  // Every null auto-increment field gets the next value; given values are kept, and the header
  // follows the largest one.
  const int32_t next_auto = NextSequenceValue(header_.last_auto_increment);
  bool issued_auto = false;
  int32_t highest_given = header_.last_auto_increment;
  for (const TFieldDefinition& definition : definitions_) {
    if (!IsAutoIncrement(definition)) continue;
    if (IsFieldNull(record, definition)) {
      StoreInteger(FieldValueBytes(record, definition).data(), next_auto);
      record[definition.offset] = kIndicatorValue;
      issued_auto = true;
    } else {
      highest_given =
          std::max(highest_given, LoadInteger(FieldValueBytes(record, definition).data()));
    }
  }
  if (issued_auto) {
    SetLastAutoIncrement(std::max(next_auto, highest_given));
  } else if (highest_given != header_.last_auto_increment) {
    SetLastAutoIncrement(highest_given);
  }
  SetRecordHash(record, HashOf(record));
  buffer.MarkDirty();
  IncrementRecordCount();
  return slot.number;
}

bool TDataFile::DeleteRecord(uint32_t number) {
  BufferPin pin = GetRecord(number);
  if (pin.Retry()) return false;
  TRecord& buffer = AsRecord(pin);
  const std::span<uint8_t> record = buffer.Bytes();
  // Pushing a deleted record again would make the chain a loop.
  if (IsDeletedRecord(record)) RaiseRecordCorrupt();
  SetRecordStatus(record, TRecordStatus::rsDeleted);
  SetRecordFreeLink(record, header_.next_free_record);
  buffer.MarkDirty();
  SetNextFreeRecord(static_cast<int32_t>(number));
  DecrementRecordCount();
  return true;
}

std::optional<uint32_t> TDataFile::RebuildFreeChain() {
  SetNextFreeRecord(0);
  uint32_t pushed = 0;
  for (uint32_t number = 1; number <= PhysicalRecordCount(); ++number) {
    BufferPin pin = GetRecord(number);
    if (pin.Retry()) return std::nullopt;
    TRecord& buffer = AsRecord(pin);
    const std::span<uint8_t> record = buffer.Bytes();
    if (!IsDeletedRecord(record)) continue;
    SetRecordFreeLink(record, header_.next_free_record);
    buffer.MarkDirty();
    SetNextFreeRecord(static_cast<int32_t>(number));
    ++pushed;
  }
  return pushed;
}

void TDataFile::Empty() {
  DiscardAll();
  storage_.SetFileEnd(HeaderSize());
  SetLastBlockNumber(0);
  header_.next_free_record = 0;
  header_.next_record_number = 1;
  header_.last_record_id = 0;
  header_.last_auto_increment = 0;
  header_.record_count = 0;
  MarkChanged();
  owner_.MarkWritten();
}

}  // namespace veltra
