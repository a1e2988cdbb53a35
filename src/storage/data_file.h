// The data file of a table (TDataFile): the buffered file of its records, which also owns the
// table's 512-byte header and its field definitions while the table is open.
//
// File layout: the header at 0 (data_file_header.h), the field definitions from 512, 768 bytes
// each (field_definition.h), then the records, record n at 512 + 768 × field count +
// (n − 1) × record size (record_layout.h). The header is never encrypted; with an encrypted table
// the definition area and every record are encrypted through the engine's cipher services.
//
// Untrusted files. Every open, whether or not it runs the full header check, refuses with 8961
// a header or definition that could make a later access leave its area: a short string whose
// length byte exceeds its capacity, a record too small for the system fields, a known type whose
// stored size is not the one its declared size gives, or a slot that does not lie inside the
// record. Following the free chain checks every link and the status of every slot it hands out;
// a broken chain is kErrDataRecordCorrupt (8962), never an overwritten live record.
//
// One thread at a time uses a data file (its open table's users serialise their access).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_hooks.h"
#include "crypto/table_password.h"
#include "storage/block_storage.h"
#include "storage/buffered_file.h"
#include "storage/data_file_header.h"
#include "storage/data_record.h"
#include "storage/field_definition.h"
#include "storage/record_layout.h"
#include "storage/table_flush.h"

namespace veltra {

class TDataEngine;

// The file under a data file: block reads and writes, plus what the header and the emptying need.
// The operations without a result raise their engine error themselves.
class DataFileStorage : public BlockStorage {
 public:
  virtual uint64_t FileSize() = 0;
  // Cuts (or extends) the file to `size` bytes.
  virtual void SetFileEnd(uint64_t size) = 0;
  // Asks the operating system to write the file's data to the disk.
  virtual void FlushFile() = 0;
};

// DataFileStorage over an open engine file. REQUIRES: the file outlives this object.
class EngineDataFileStorage final : public DataFileStorage {
 public:
  explicit EngineDataFileStorage(TEngineFile& file) : file_(file), blocks_(file) {}
  StorageResult ReadAt(uint64_t offset, std::span<std::byte> into) override {
    return blocks_.ReadAt(offset, into);
  }
  StorageResult WriteAt(uint64_t offset, std::span<const std::byte> bytes) override {
    return blocks_.WriteAt(offset, bytes);
  }
  uint64_t FileSize() override;
  void SetFileEnd(uint64_t size) override;
  void FlushFile() override;

 private:
  TEngineFile& file_;
  EngineFileBlockStorage blocks_;
};

// What a data file needs of its open table beyond what every buffered file needs.
class DataFileOwner : public BufferedFileOwner {
 public:
  // The cipher of the session's password whose check value is `check_value`. Raises
  // kErrPasswordRequired (10498) when the session supplies none that matches.
  virtual TCipherContext& PasswordFor(const crypto::TPasswordCheckValue& check_value) = 0;
};

// The table-wide properties that creating (or restructuring) a table sets.
struct TTableProperties {
  uint32_t locale = 0;
  uint16_t user_major_version = 0;
  uint16_t user_minor_version = 0;
  int32_t last_auto_increment = 0;
  uint32_t blob_block_size = 0;
  uint32_t index_page_size = 0;
  std::string description = {};  // cut to 100 characters
  bool encrypted = false;
  crypto::TPasswordCheckValue check_value{};
};

// A definition found by name, with its position (1 to field count; -1 and -2 for the system
// fields).
struct TFieldLookup {
  const TFieldDefinition* definition = nullptr;
  int32_t position = 0;
};

// Receives each message of a header verification or repair.
using THeaderLog = std::function<void(std::string_view message)>;

// A record slot handed out for a new record: its number and the pinned record, or the retry
// answer (pin.Retry()) when another process changed the table on the way.
struct TNewRecordSlot {
  uint32_t number = 0;
  BufferPin pin;
};

class TDataFile final : public TBufferedFile, public TableFlushFile, private RecordCipherSource {
 public:
  // REQUIRES: every argument outlives the data file.
  TDataFile(TDataEngine& engine, DataFileStorage& storage, DataFileOwner& owner);
  ~TDataFile() override;

  // ---- Creating a table ------------------------------------------------------------------------
  // Zero header and no definitions; version 6; the signature digest of the engine's signature;
  // next record number 1.
  void CreateHeader();
  // Locale, user versions, last auto-increment value, BLOB block size, index page size,
  // description (cut to 100), encrypted flag and check value; marks the header changed.
  void SetTableProperties(const TTableProperties& properties);
  // The cipher that encrypts definitions and records of a table being created encrypted (an open
  // takes it from the owner). Null: not encrypted.
  void SetCipher(TCipherContext* cipher) { cipher_ = cipher; }
  // Takes `definitions` (numbered by position), derives stored sizes and offsets and the record
  // size (kErrBlobFieldLimits, kErrMaxRecordSize; nothing changes then), configures the cache
  // for the new geometry and marks definitions and header changed. REQUIRES: 1 to 1,024
  // definitions (else kErrHeaderCorrupt).
  void SetFieldDefinitions(std::vector<TFieldDefinition> definitions);

  // ---- Opening ---------------------------------------------------------------------------------
  // Reads and checks the header: version 6 (0 to 5: kErrTableVersion, else kErrInvalidTableFile),
  // the signature digest of the engine's signature or of the default one (kErrInvalidTableFile),
  // 1 to 1,024 fields (kErrHeaderCorrupt); for an encrypted table takes the owner's matching
  // password (kErrPasswordRequired); reads the definitions, checks the bounds described at the
  // top (kErrHeaderCorrupt), configures and resets the cache; then, when `check_header`, runs
  // CheckHeader.
  void Open(bool check_header);
  // Drops the buffers and forgets the cipher. The header and definitions stay readable.
  void Close();

  // ---- Header and definitions on disk ----------------------------------------------------------
  // Writes the 512 header bytes when `forced` or the header changed: raises the change counter,
  // stamps the last update, clears the header-changed mark.
  void WriteHeader(bool forced);
  // Reads the header again; true when its change counter differs from the one held.
  bool RereadHeader();
  // Writes the definition area (encrypted when the table is) when `forced` or it changed.
  void WriteDefinitions(bool forced);

  // ---- TableFlushFile --------------------------------------------------------------------------
  bool WriteBackAll() override { return WriteBack(false); }
  bool HeaderChanged() const override { return TBufferedFile::HeaderChanged(); }
  void MarkHeaderChanged() override;
  void WriteHeader() override { WriteHeader(true); }
  bool DefinitionsChanged() const override { return definitions_changed_; }
  void WriteDefinitions() override { WriteDefinitions(true); }
  void FlushToDisk() override;
  void Trim() override { TBufferedFile::Trim(); }

  // ---- Header values ---------------------------------------------------------------------------
  // The header as held, with the next record number of the block counter.
  TDataFileHeader Header() const;
  int32_t ChangeCounter() const { return header_.change_counter; }
  uint8_t Version() const { return header_.version; }
  // "1.00" to "4.00" for versions 0 to 6; empty for any other.
  std::string_view VersionText() const;
  uint16_t RecordSize() const { return header_.record_size; }
  uint16_t FieldCount() const { return static_cast<uint16_t>(definitions_.size()); }
  uint16_t BlobFieldCount() const { return header_.blob_field_count; }
  uint32_t BlobBlockSize() const { return header_.blob_block_size; }
  uint32_t IndexPageSize() const { return header_.index_page_size; }
  uint32_t Locale() const { return header_.locale; }
  bool Encrypted() const { return header_.encrypted; }
  const std::string& Description() const { return header_.description; }
  // Next record number - 1: records in the file, deleted ones included.
  uint32_t PhysicalRecordCount() const { return LastBlockNumber(); }
  uint64_t HeaderSize() const { return DataFileFirstBlockOffset(FieldCount()); }

  int32_t RecordCount() const { return header_.record_count; }
  void SetRecordCount(int32_t count);
  void IncrementRecordCount() { SetRecordCount(header_.record_count + 1); }
  void DecrementRecordCount() { SetRecordCount(header_.record_count - 1); }

  int32_t LastRecordId() const { return header_.last_record_id; }
  void SetLastRecordId(int32_t id);
  // Issues the next record ID (1 after 2,147,483,647) and keeps it as the last one.
  int32_t IssueNextRecordId();

  int32_t LastAutoIncrement() const { return header_.last_auto_increment; }
  void SetLastAutoIncrement(int32_t value);

  // Issues the next BLOB revision number and keeps it as the last one.
  int32_t IssueNextBlobRevision();

  // The head of the free chain, or the next record number when the chain is empty.
  int32_t NextFreeRecord() const;
  // The free chain's head as stored (0: empty).
  int32_t FreeChainHead() const { return header_.next_free_record; }
  void SetNextFreeRecord(int32_t record);

  // ---- Definitions -----------------------------------------------------------------------------
  const std::vector<TFieldDefinition>& Definitions() const { return definitions_; }
  // 1 to field count, or -1 / -2 for the system fields; null for any other number.
  const TFieldDefinition* DefinitionByNumber(int32_t number) const;
  // "RecordID" and "RecordHash" first, then the fields in order, names compared without regard
  // to case; a null definition when none has the name.
  TFieldLookup DefinitionByName(std::string_view name) const;
  // Replaces number, name, subtype, description, required flag, minimum, maximum and default of
  // field `field_number` (1 to field count, else kErrInvalidField) without touching records.
  void AlterDescriptiveProperties(int32_t field_number, const TFieldDefinition& definition);

  // ---- Records (data_file_records.cpp) ---------------------------------------------------------
  // The pinned record `number` (1 to the physical count, else kErrDataRecordCorrupt), or the retry
  // answer.
  BufferPin GetRecord(uint32_t number, const BufferRequest& request = {});
  // A slot for a new record: the head of the free chain when there is one (the chain's head then
  // moves to the link stored in it), else a record appended at the end. A head or link out of
  // range, or a reused slot that is not deleted, is kErrDataRecordCorrupt and changes nothing.
  TNewRecordSlot ClaimRecordSlot();
  // Inserts a record whose field slots are those of `fields` (a record image of RecordSize()
  // bytes; its first 25 bytes are ignored): status 0, a new RecordID, null auto-increment fields
  // given the next value, the hash; raises the header's counters and the record count. Returns
  // the record number, or 0 for the retry answer.
  uint32_t InsertRecord(std::span<const uint8_t> fields);
  // Deletes live record `number`: status 1, pushed on the free chain, record count lowered. A
  // record that is already deleted is kErrDataRecordCorrupt. Returns false for the retry answer.
  bool DeleteRecord(uint32_t number);
  // Pushes every deleted record on the free chain again, from the first to the last, and
  // returns how many; used by repair after it cleared the chain. nullopt: the retry answer.
  std::optional<uint32_t> RebuildFreeChain();
  // Drops every record: the file ends after the definitions; next free 0, next record number 1,
  // last record ID, last auto-increment and record count 0, header changed. The change counter is
  // never reset: it keeps counting upward, so no other process can mistake the emptied table for
  // the one it last saw.
  void Empty();
  // The record hash of `record` under this table's definitions.
  crypto::TDigest HashOf(std::span<const uint8_t> record) const {
    return ComputeRecordHash(record, definitions_);
  }

  // ---- Checks (data_file_check.cpp) ------------------------------------------------------------
  // The open-time consistency check; kErrHeaderCorrupt for any finding, kErrLocaleNotAvailable
  // when the table's locale is not installed.
  void CheckHeader();
  // Checks header and definitions, reporting each finding to `log`; with `repair` also fixes what
  // can be fixed, ends with version 6 and next free 0, writes header and definitions and
  // rebuilds the free chain. Returns whether the header was correct.
  bool VerifyOrRepairHeader(bool repair, const THeaderLog& log);

 protected:
  std::unique_ptr<TBuffer> NewBuffer() override;

 private:
  TCipherContext* RecordCipher() const override { return cipher_; }
  EngineErrorContext Context() const { return Owner().ErrorContext(); }
  [[noreturn]] void RaiseHeaderCorrupt() const;
  [[noreturn]] void RaiseRecordCorrupt() const;

  DataHeaderImage ReadHeaderImage();
  // Checks version, signature and field count of a header just read, and its bounds.
  void AcceptHeader(const DecodedDataFileHeader& decoded);
  void ReadDefinitions();
  // The bounds every open enforces (see the top of the file).
  void CheckBounds() const;
  void ConfigureCache();
  void MarkChanged() { SetHeaderChanged(true); }
  bool IsAutoIncrement(const TFieldDefinition& definition) const;
  void CheckRecordNumber(uint32_t number) const;

  TDataEngine& engine_;
  DataFileStorage& storage_;
  DataFileOwner& owner_;
  TDataFileHeader header_;
  std::vector<TFieldDefinition> definitions_;
  bool definitions_changed_ = false;
  TCipherContext* cipher_ = nullptr;
};

}  // namespace veltra
