// A small table object for directory tests: it takes its transaction byte through a real lock
// entry of the directory's lock file and records what the directory asks of it (start, commit,
// rollback, closes) in a log the test reads. Changes are plain strings: pending ones are written
// by a commit and dropped by a rollback. What a test checks outlives the objects, which the
// directory frees.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/engine_error.h"
#include "storage/directory_locks.h"
#include "tables/data_directory.h"
#include "tables/directory_table.h"

namespace veltra::testing {

// One table as the test sees it, across the objects the directory makes for it.
struct RecordedTable {
  std::vector<std::string> pending;  // changes of the running transaction
  std::vector<std::string> written;  // committed changes
  bool flushed = false;              // the last commit flushed to disk
  bool files_open = false;
  bool fail_open = false;
  bool fail_commit = false;  // the commit raises after releasing its locks
  bool committed_under_all_write = false;
};

class RecordingFactory;

class RecordingTable : public TDirectoryTable {
 public:
  RecordingTable(RecordingFactory& factory, TDataDirectory& directory, std::string name)
      : factory_(factory), directory_(directory), name_(std::move(name)) {}

  const std::string& TableName() const override { return name_; }
  void Open(const TTableOpenRequest& request) override;
  void Close() override;
  void ForceClose(bool discard) override;
  bool IsOpen() const override { return open_count_ > 0; }
  bool Exclusive() const override { return exclusive_; }
  int32_t LockTableId() const override { return entry_ ? entry_->table_id() : 0; }
  bool InTransaction() const override { return in_transaction_; }
  void StartTransaction() override;
  void CommitTransaction(bool force_flush) override;
  void RollbackTransaction() override;

  // A change made through a cursor: pending in a transaction, written at once outside one.
  void Change(const std::string& change);

 private:
  RecordedTable& Record() const;
  // Releases the transaction byte unless the directory's database transaction lock covers it.
  void ReleaseTransactionByte();

  RecordingFactory& factory_;
  TDataDirectory& directory_;
  std::string name_;
  TDataTableLocks* entry_ = nullptr;
  int open_count_ = 0;
  bool exclusive_ = false;
  bool in_transaction_ = false;
};

class RecordingFactory : public TTableFactory {
 public:
  std::unique_ptr<TDirectoryTable> MakeTable(TDataDirectory& directory,
                                             const TTableOpenRequest& request) override {
    log.push_back("make " + request.name);
    return std::make_unique<RecordingTable>(*this, directory, request.name);
  }

  // The record of `name` (as the directory registers it, with the data extension).
  RecordedTable& Table(const std::string& name) { return tables[name]; }

  std::map<std::string, RecordedTable> tables;
  std::vector<std::string> log;
};

inline RecordedTable& RecordingTable::Record() const { return factory_.Table(name_); }

inline void RecordingTable::Open(const TTableOpenRequest& request) {
  if (Record().fail_open) RaiseEngineError(kErrTableNotFound, {.table = request.display_name});
  if (!Record().files_open) {
    const std::string base = name_.substr(0, name_.rfind('.'));
    entry_ = &directory_.Locks().RegisterTable(base);
    Record().files_open = true;
    exclusive_ = request.exclusive;
  }
  if (!request.no_open_count) ++open_count_;
}

inline void RecordingTable::Close() {
  if (open_count_ > 0) --open_count_;
  if (open_count_ == 0 && !in_transaction_) Record().files_open = false;
}

inline void RecordingTable::ForceClose(bool discard) {
  factory_.log.push_back("force close " + name_);
  if (discard) Record().pending.clear();
  open_count_ = 0;
  Record().files_open = false;
}

inline void RecordingTable::StartTransaction() {
  factory_.log.push_back("start " + name_);
  entry_->LockTrans();
  in_transaction_ = true;
}

inline void RecordingTable::ReleaseTransactionByte() {
  if (!entry_->owner().holds_all_trans()) entry_->UnlockTrans();
}

inline void RecordingTable::CommitTransaction(bool force_flush) {
  factory_.log.push_back("commit " + name_);
  RecordedTable& record = Record();
  if (record.fail_commit) {
    in_transaction_ = false;
    ReleaseTransactionByte();
    RaiseEngineError(kErrWriteError, {.table = name_});
  }
  record.committed_under_all_write = entry_->owner().holds_all_write();
  record.written.insert(record.written.end(), record.pending.begin(), record.pending.end());
  record.pending.clear();
  record.flushed = force_flush;
  in_transaction_ = false;
  ReleaseTransactionByte();
}

inline void RecordingTable::RollbackTransaction() {
  if (!in_transaction_) return;
  factory_.log.push_back("rollback " + name_);
  Record().pending.clear();
  in_transaction_ = false;
  ReleaseTransactionByte();
}

inline void RecordingTable::Change(const std::string& change) {
  if (in_transaction_) {
    Record().pending.push_back(change);
  } else {
    Record().written.push_back(change);
  }
}

}  // namespace veltra::testing
