// The lock object of one database directory object: it opens (or creates) the directory's lock
// file, keeps the table registry it holds (lock_file.h) as one TDataTableLocks entry per name,
// and takes the locks that cover the whole directory.
//
// Map of the locked bytes of the lock file (offsets from TDataEngine::Limits(), so every process
// with the same LargeFileSupport setting locks the same bytes; values for off / on):
//
//   directory range     DirectoryLockBase (2^32 - 65,536 / 2^63 - 65,536), DirectoryLockSpan
//                       registry read lock: one slot byte; registry write lock: the whole range
//   transaction bytes   DirectoryLockBase - 4096, TransLockSpan (4096): the database
//                       transaction lock; the byte DirectoryLockBase - n is table n's
//   table ranges        TableLockBase - AllTablesLockSpan, AllTablesLockSpan: the all-tables
//                       write lock (commit of a database transaction); table n's range is
//                       TableLockSpan bytes from TableLockBase - n * TableLockSpan
//
// Locks never write the file; they go through the lock file's engine file, which for a physical
// file is the process's one descriptor (so sessions of one process exclude each other exactly as
// processes do) and for the in-memory directory the memory file's lock table.
//
// Opening. The lock file is made atomically (never replacing an existing one) and seeded by
// exactly one opener: whoever finds it empty seeds it from the directory's table files while
// holding the registry write lock; everyone else reads it under the registry read lock. A lock
// file that cannot be opened (busy, or another transient failure) is tried again, 11 attempts
// 100 ms apart, and then raises. Locking is never switched off silently: a lock file that can
// only be opened read-only (read-only media, no write permission), or a read-only directory
// without one, puts the object in a read-only state in which tables can be read (with read
// locks where the file allows them) and every change, every write lock and every transaction
// start raises kErrAccessDenied naming the lock file.
//
// Registering a name takes the registry write lock, rereads the registry when its counter or
// length moved, and appends the name when the registry does not hold it (compared with ASCII
// letters folded). Names this object holds already are answered without touching the file:
// an id never changes once given.
//
// Thread use: one thread at a time (the directory object's session); the lock file's base-file
// guard keeps the process's sessions apart while the registry is read or written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_settings.h"
#include "core/storage_limits.h"
#include "storage/lock_file.h"
#include "storage/lock_retry.h"
#include "storage/table_locks.h"

namespace veltra {

class TDataEngine;
class TEngineFile;

// How far the lock file lets this object go.
enum class TLockFileState : uint8_t {
  lsClosed,      // OpenLockFile has not run (or failed)
  lsShared,      // open read-write: full coordination, changes allowed
  lsReadOnly,    // open read-only: reads coordinated, changes refused
  lsNoLockFile,  // read-only directory without a lock file: reads only, changes refused
};

// Knobs with production defaults; tests shorten the waits.
struct TDirectoryLockOptions {
  TLockSleeper sleeper;  // empty: the platform's sleep
  TLockRetrySettings registry_lock = kRegistryLockRetry;
  uint32_t open_attempts = 11;  // tries at opening the lock file
  uint32_t open_wait_ms = 100;  // pause after each failed try
};

class TDataDirectoryLocks {
 public:
  // A lock object for the directory `directory_path` (with or without a trailing '/'; empty:
  // the current directory, or the root of the in-memory directory) named `database_name` in
  // messages. Nothing is opened until OpenLockFile. REQUIRES: `engine` outlives the object.
  TDataDirectoryLocks(TDataEngine& engine, std::string_view directory_path, bool in_memory,
                      std::string database_name, TDirectoryLockOptions options = {});
  // Frees the entries and closes the lock file, without writing it; the system drops every lock
  // the file still carries.
  ~TDataDirectoryLocks();
  TDataDirectoryLocks(const TDataDirectoryLocks&) = delete;
  TDataDirectoryLocks& operator=(const TDataDirectoryLocks&) = delete;

  // Opens or creates the lock file and loads the registry (see the top of the file). On return
  // state() is lsShared, lsReadOnly or lsNoLockFile. Raises: the open's engine code when every
  // attempt failed; kErrInvalidTableFile for a damaged registry; 10221/10222 or 10223/10224 for
  // the registry locks; kErrReadError/kErrWriteError. REQUIRES: state() == lsClosed.
  void OpenLockFile();

  TLockFileState state() const { return state_; }
  // Whether tables may be created, renamed, deleted, written, and transactions started.
  bool ChangesAllowed() const { return state_ == TLockFileState::lsShared; }
  // Raises kErrAccessDenied naming the lock file (so the message says why the directory is
  // read-only) unless ChangesAllowed().
  void CheckChangesAllowed() const;
  [[noreturn]] void RaiseChangesRefused() const;

  // The entry of `table_name` (a name without path), appended to the registry when new.
  // Raises kErrDatabaseFull (9480) when 4096 names are registered already; kErrInvalidTableFile
  // for an empty name or one longer than 255 characters and for a damaged registry;
  // 10223/10224 for the registry write lock; kErrWriteError. In a read-only directory an
  // unknown name gets an id-0 entry that is not written anywhere. The reference stays valid for
  // the object's life. REQUIRES: state() != lsClosed.
  TDataTableLocks& RegisterTable(std::string_view table_name);

  // The entry of `table_name` if this object holds it already; null otherwise. Touches no file.
  TDataTableLocks* FindEntry(std::string_view table_name) const;

  // The database transaction lock: all transaction bytes. Marks the transaction lock on every
  // entry. Raises kErrTransactionLock (10229) when the retries run out; the changes-refused
  // error in a read-only directory.
  void LockAllTrans();
  // Raises kErrTransactionUnlock (10230) when the system refuses; clears the marks.
  void UnlockAllTrans();
  // The all-tables write lock: every table range, with the write settings. Marks the write lock
  // on every entry. Raises kErrTransactionLock (10229); changes refused as above.
  void LockAllWrite();
  // Raises kErrTransactionUnlock (10230); clears the marks.
  void UnlockAllWrite();
  bool holds_all_trans() const { return holds_all_trans_; }
  bool holds_all_write() const { return holds_all_write_; }

  // ---- What the entries and the tests look at --------------------------------------------------
  TDataEngine& engine() const { return engine_; }
  const TStorageLimits& limits() const { return limits_; }
  const TDirectoryLockOptions& options() const { return options_; }
  // The composed name of the lock file: the directory path, '/', the engine's LockFileName.
  const std::string& lock_file_name() const { return lock_file_name_; }
  bool in_memory() const { return in_memory_; }
  const std::string& database_name() const { return database_name_; }
  // The counter and length of the registry as last read or written by this object.
  const TRegistryHead& head_seen() const { return head_seen_; }
  size_t entry_count() const { return entries_.size(); }
  // REQUIRES: index < entry_count(). Entry i has table id i + 1 (id-0 entries are kept apart).
  const TDataTableLocks& entry(size_t index) const { return *entries_[index]; }

  // Byte locks for the entries: one slot byte from `base` (slot 1 to 65534, drawn at random and
  // drawn again for every retry), or a whole range, retried with `retry`. True when granted.
  // Without a lock file (lsNoLockFile) they grant at once and take nothing.
  bool LockSlot(uint64_t base, const TLockRetrySettings& retry, uint16_t& slot);
  bool LockRange(uint64_t offset, uint64_t length, const TLockRetrySettings& retry);
  bool UnlockRange(uint64_t offset, uint64_t length);

 private:
  bool TryOpenOnce();
  void SeedEmptyFile();
  void LoadRegistry();
  void ReadTableList();
  void AppendTable(std::string_view table_name);
  TDataTableLocks* FindIn(const std::vector<std::unique_ptr<TDataTableLocks>>& list,
                          std::string_view table_name) const;
  std::vector<std::string> NamesHeld() const;
  void TakeRegistryNames(const std::vector<std::string>& names);
  std::vector<std::string> ListTableFiles() const;
  [[noreturn]] void RaiseForDatabase(uint16_t code) const;

  TDataEngine& engine_;
  TStorageLimits limits_;
  TDirectoryLockOptions options_;
  bool in_memory_;
  std::string database_name_;
  std::string directory_path_;  // ends in '/' unless empty
  std::string lock_file_name_;
  std::unique_ptr<TEngineFile> file_;
  TLockFileState state_ = TLockFileState::lsClosed;
  bool head_known_ = false;  // head_seen_ holds a complete read or write
  TRegistryHead head_seen_;
  std::vector<std::unique_ptr<TDataTableLocks>> entries_;       // entry i has id i + 1
  std::vector<std::unique_ptr<TDataTableLocks>> unregistered_;  // id 0, read-only directories
  bool holds_all_trans_ = false;
  bool holds_all_write_ = false;
};

}  // namespace veltra
