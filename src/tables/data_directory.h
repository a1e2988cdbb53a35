// The directory object: one per session and database directory. It owns the directory's lock
// object (storage/directory_locks.h) and the table objects open in the directory, kept in one
// ordered registry so that all cursors of the session on one table share one object, and it is
// where transactions are started, committed and rolled back.
//
// Transactions. An unrestricted transaction takes the database transaction lock (every table's
// transaction byte) before any table starts, and at commit the all-tables write lock while the
// tables write. A restricted transaction starts only the listed tables, in ascending table id
// (tables without a lock entry first), so that two restricted transactions over the same tables
// never wait for each other in a circle. A start that fails leaves nothing held: the tables that
// started are rolled back, the database transaction lock is released, and table objects opened
// only for the transaction are freed again. A directory whose lock file refuses changes (read-only
// media) runs no transactions: starting one raises the lock object's error, which names the lock
// file.
//
// Threads: one thread at a time (the session's); the object takes no locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/directory_locks.h"
#include "tables/directory_table.h"

namespace veltra {

class TDataSession;
class TDataEngine;

// The longest database name a directory keeps; longer names are cut.
inline constexpr size_t kMaxDatabaseNameLength = 60;
// The longest table name a restricted transaction compares.
inline constexpr size_t kMaxTransactionTableNameLength = 60;
// The thread id digits that begin the names UniqueTableName makes.
inline constexpr size_t kUniqueNamePrefixLength = 5;

class TDataDirectory {
 public:
  // Made by TDataSession::OpenDirectory with a normalised path (ending in '/', or empty for the
  // in-memory directory opened without one). Makes the lock object and opens the lock file; its
  // errors propagate and nothing is made.
  TDataDirectory(TDataSession& session, std::string_view name, std::string path, bool in_memory,
                 bool keep_tables_open, const TDirectoryLockOptions& lock_options);
  // Rolls back a running transaction, closes every table object by force (discarding what is
  // not written) and frees it, then frees the lock object. Failures are not reported: the
  // objects are freed whatever happens.
  ~TDataDirectory();
  TDataDirectory(const TDataDirectory&) = delete;
  TDataDirectory& operator=(const TDataDirectory&) = delete;

  TDataSession& session() const { return session_; }
  TDataEngine& engine() const;
  const std::string& name() const { return name_; }
  const std::string& path() const { return path_; }
  bool in_memory() const { return in_memory_; }
  bool keep_tables_open() const { return keep_tables_open_; }
  int16_t use_count() const { return use_count_; }
  // The database name in messages: the path without its trailing separator (the name for an
  // in-memory directory without a path).
  std::string DisplayName() const;

  TDataDirectoryLocks& Locks() const { return *locks_; }
  // The lock file refuses changes: no tables are created, renamed or deleted and no
  // transactions run.
  bool LockingDisabled() const { return !locks_->ChangesAllowed(); }

  // ---- Table registry -------------------------------------------------------------------------
  // Names compare trimmed, with ASCII letters folded, as table names on disk resolve.
  struct TFoundTable {
    bool found = false;
    size_t position = 0;  // the table's index, or where the name would be inserted
  };
  TFoundTable FindTable(std::string_view name) const;
  TDirectoryTable* HeldTable(std::string_view name) const;
  size_t TableCount() const { return tables_.size(); }
  // REQUIRES: index < TableCount(). In name order.
  TDirectoryTable& TableAt(size_t index) const { return *tables_[index].table; }

  // Opens `request.name` through its held object, or a new one made by the session's table
  // factory. A held table that a cursor has open refuses an exclusive open (requested now or
  // earlier) with kErrAccessDenied. A table opened while an unrestricted transaction runs joins
  // it, unless `result_table`. Without a factory an unheld name raises kErrTableNotFound. On any
  // failure a new object is freed and a held one is left as it was.
  TDirectoryTable& OpenTable(const TTableOpenRequest& request, bool result_table = false);
  // Closes one use of `table`. `force` closes its files whatever the open count (`discard`:
  // dropping unwritten changes). The object is freed when no cursor has it open, it is in no
  // transaction and the directory does not keep it (kept tables that were opened exclusively
  // are freed). A table the directory does not hold raises kErrTableNotFound.
  void CloseTable(TDirectoryTable& table, bool discard, bool force);

  // Whether a table of `name` exists: the name with the data file extension (the temporary one
  // when `temporary`; a data extension it has is replaced) is held here, or, unless
  // `only_registered`, a file of that name is in the directory (compared without regard to
  // case) or in the memory registry for the in-memory directory.
  bool TableExists(std::string_view name, bool only_registered, bool temporary) const;
  // The names, without extension, of the directory's data files (memory files for the
  // in-memory directory), sorted. Raises the listing's engine error.
  std::vector<std::string> ListTables() const;
  // A temporary table name no table of this directory uses: the first five digits of the calling
  // thread's id, a sequence number from 0, and the temporary data extension.
  std::string UniqueTableName() const;

  // ---- Transactions ---------------------------------------------------------------------------
  // Starts a transaction over every table, or only over `tables` (names with or without the data
  // extension) when it is not empty. Nothing when one is running. Raises the lock object's
  // changes-refused error when the lock file refuses changes; the first failure of a lock or of
  // opening a listed table otherwise, with nothing held afterwards.
  void StartTransaction(std::span<const std::string> tables = {});
  // Commits the running transaction, the tables last to first, flushing to disk when
  // `force_flush`; then frees the table objects no cursor uses. Nothing when none runs. When a
  // table fails to commit, the error propagates with the transaction still running (the
  // database transaction lock held), so that Rollback can discard what is left.
  void Commit(bool force_flush);
  // Rolls back every table of the running transaction, last to first, ends it and frees the
  // table objects no cursor uses. Nothing when none runs. Every table is rolled back and every
  // lock released even when one fails; the first failure then propagates.
  void Rollback();
  // Commit(true) when a transaction runs.
  void CommitIfActive();
  bool InTransaction() const { return in_transaction_; }
  bool Restricted() const { return restricted_; }
  // The tables of the running restricted transaction, in the order they were started.
  const std::vector<TDirectoryTable*>& TransactionTables() const { return transaction_tables_; }

 private:
  friend class TDataSession;

  struct THeldTable {
    std::string key;  // trimmed, ASCII upper case
    std::unique_ptr<TDirectoryTable> table;
  };

  static std::string KeyOf(std::string_view name);
  size_t PositionOf(const TDirectoryTable& table) const;
  std::string WithDataExtension(std::string_view name, bool temporary) const;
  std::string TransactionNameOf(std::string_view name) const;

  void StartRestricted(std::span<const std::string> tables);
  void StartUnrestricted();
  // Frees every held table no cursor uses, that is in no transaction and is not kept open.
  void FreeUnusedTables();
  bool MayFree(const TDirectoryTable& table) const;

  TDataSession& session_;
  std::string name_;
  std::string path_;
  bool in_memory_;
  bool keep_tables_open_;
  int16_t use_count_ = 0;
  std::unique_ptr<TDataDirectoryLocks> locks_;
  std::vector<THeldTable> tables_;  // ordered by key
  bool in_transaction_ = false;
  bool restricted_ = false;
  std::vector<TDirectoryTable*> transaction_tables_;
};

}  // namespace veltra
