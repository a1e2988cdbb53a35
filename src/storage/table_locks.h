// The lock entry of one table name in a directory's lock object: the table's read, write and
// transaction locks, taken as byte-range locks on the directory's lock file at offsets computed
// from the table's id (1 to 4096).
//
//   transaction byte   DirectoryLockBase - id                     1 byte
//   table range        TableLockBase - id * TableLockSpan         TableLockSpan bytes
//
// A reader locks one random byte of the table range (slot s from 1 to 65534: the byte
// TableLockOffset(id) + s - 1), so any number of readers hold the table together; a writer locks
// the whole range, which keeps readers and other writers out. Outside a transaction a writer
// first takes the table's transaction byte, which keeps transactions out; a transaction holds
// that byte from its start to its end. Lock order: transaction bytes before table ranges.
//
// The "newly taken" answers tell the open table when it must look at the data file's change
// counter again: only when this entry held none of its locks before the call.
//
// Every busy lock is retried with the engine's settings for its kind (read, write, transaction),
// sleeping through the owner's sleeper. A failed lock raises and leaves nothing of its own held;
// a failed unlock raises before the held mark is cleared.
//
// Directories whose lock file could only be opened read-only (read-only media): read locks work
// as usual, and a name that the registry does not hold gets an entry with id 0 whose read lock
// takes nothing (nobody can have registered it to write). LockWrite and LockTrans raise the
// owner's "changes refused" error.
//
// Thread use: as for the owner, one thread at a time.
#pragma once

#include <cstdint>
#include <string>

namespace veltra {

class TDataDirectoryLocks;

// The locks an entry holds, as a bit set.
enum class THeldLock : uint8_t { hlRead = 1, hlWrite = 2, hlTrans = 4 };

class TDataTableLocks {
 public:
  // Made by the owner only (RegisterTable, or when another process's entries are read).
  TDataTableLocks(TDataDirectoryLocks& owner, int32_t table_id, std::string table_name);
  // Frees the entry without touching the file: the owner's file closes with it and the system
  // drops the locks of a closed handle. Prefer releasing what is held first.
  ~TDataTableLocks() = default;
  TDataTableLocks(const TDataTableLocks&) = delete;
  TDataTableLocks& operator=(const TDataTableLocks&) = delete;

  TDataDirectoryLocks& owner() const { return owner_; }
  // 1 to 4096; 0 for an unregistered name in a read-only directory.
  int32_t table_id() const { return table_id_; }
  // The name as stored in the registry.
  const std::string& table_name() const { return table_name_; }
  // The slot of the read lock held (1 to 65534), meaningful while holds_read().
  uint16_t read_slot() const { return read_slot_; }
  bool holds_read() const { return Holds(THeldLock::hlRead); }
  bool holds_write() const { return Holds(THeldLock::hlWrite); }
  bool holds_trans() const { return Holds(THeldLock::hlTrans); }
  bool holds_any() const { return held_ != 0; }

  // The table read lock. Returns true when it was newly taken, false (locking nothing) when the
  // entry already holds a read, write or transaction lock. Raises kErrTableReadLock (10225) when
  // the retries run out.
  bool LockRead();
  // Releases the read lock if held. Raises kErrTableReadUnlock (10226) when the system refuses.
  void UnlockRead();

  // The table write lock. `outside_transaction`: the caller's table is in no transaction, so the
  // transaction byte is taken first (and released again when the range cannot be had). Returns
  // true when this call newly took the transaction byte, false otherwise (also when the write
  // lock was already held). Raises kErrTableWriteLock (10227) when either step runs out of
  // retries, leaving no byte of this call held; the owner's "changes refused" error in a
  // read-only directory.
  bool LockWrite(bool outside_transaction);
  // Releases the write lock if held and, when `outside_transaction`, the transaction byte too.
  // Raises kErrTableWriteUnlock (10228) when the system refuses either.
  void UnlockWrite(bool outside_transaction);

  // The table's transaction byte. Returns true when newly taken, false when already held.
  // Raises kErrTransactionLock (10229) when the retries run out; the owner's "changes refused"
  // error in a read-only directory.
  bool LockTrans();
  // Releases the transaction byte if held. Raises kErrTransactionUnlock (10230).
  void UnlockTrans();

  // Sets or clears a held mark without locking: the owner's directory-wide locks cover every
  // entry at once.
  void MarkHeld(THeldLock lock, bool held);

 private:
  bool Holds(THeldLock lock) const { return (held_ & static_cast<uint8_t>(lock)) != 0; }
  [[noreturn]] void RaiseForTable(uint16_t code) const;

  TDataDirectoryLocks& owner_;
  int32_t table_id_;
  std::string table_name_;
  uint16_t read_slot_ = 0;
  uint8_t held_ = 0;
};

}  // namespace veltra
