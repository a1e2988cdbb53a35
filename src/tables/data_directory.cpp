#include "tables/data_directory.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <string>
#include <utility>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "core/file_registry.h"
#include "platform/clock.h"
#include "platform/directory.h"
#include "tables/data_session.h"
#include "tables/directory_path.h"

namespace veltra {
namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return !suffix.empty() && text.size() >= suffix.size() &&
         platform::EqualsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

// Keeps the first exception of a run of cleanup steps that must all run.
class FirstError {
 public:
  template <typename Step>
  void Run(Step&& step) {
    try {
      step();
    } catch (...) {
      if (!error_) error_ = std::current_exception();
    }
  }
  void Rethrow() const {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  std::exception_ptr error_;
};

}  // namespace

TDataDirectory::TDataDirectory(TDataSession& session, std::string_view name, std::string path,
                               bool in_memory, bool keep_tables_open,
                               const TDirectoryLockOptions& lock_options)
    : session_(session),
      name_(name.substr(0, kMaxDatabaseNameLength)),
      path_(std::move(path)),
      in_memory_(in_memory),
      keep_tables_open_(keep_tables_open) {
  locks_ = std::make_unique<TDataDirectoryLocks>(session_.engine(), path_, in_memory_,
                                                 DisplayName(), lock_options);
  locks_->OpenLockFile();
}

TDataDirectory::~TDataDirectory() {
  try {
    Rollback();
  } catch (...) {
    // The tables are closed with discard below; nothing of the transaction is written.
  }
  for (THeldTable& held : tables_) {
    try {
      held.table->ForceClose(true);
    } catch (...) {
      // The object is freed whatever its files answer.
    }
  }
  transaction_tables_.clear();
  tables_.clear();
  locks_.reset();
}

TDataEngine& TDataDirectory::engine() const { return session_.engine(); }

std::string TDataDirectory::DisplayName() const {
  if (path_.empty()) return name_;
  if (path_.size() > 1 && path_.back() == kPathSeparator) {
    return path_.substr(0, path_.size() - 1);
  }
  return path_;
}

// ---- Table registry -------------------------------------------------------------------------

std::string TDataDirectory::KeyOf(std::string_view name) {
  std::string key(TrimBlanks(name));
  std::transform(key.begin(), key.end(), key.begin(), AsciiUpper);
  return key;
}

TDataDirectory::TFoundTable TDataDirectory::FindTable(std::string_view name) const {
  const std::string key = KeyOf(name);
  const auto at = std::lower_bound(
      tables_.begin(), tables_.end(), key,
      [](const THeldTable& held, const std::string& wanted) { return held.key < wanted; });
  return {.found = at != tables_.end() && at->key == key,
          .position = static_cast<size_t>(at - tables_.begin())};
}

TDirectoryTable* TDataDirectory::HeldTable(std::string_view name) const {
  const TFoundTable found = FindTable(name);
  return found.found ? tables_[found.position].table.get() : nullptr;
}

size_t TDataDirectory::PositionOf(const TDirectoryTable& table) const {
  for (size_t i = 0; i < tables_.size(); ++i) {
    if (tables_[i].table.get() == &table) return i;
  }
  return tables_.size();
}

TDirectoryTable& TDataDirectory::OpenTable(const TTableOpenRequest& request, bool result_table) {
  const bool join = in_transaction_ && !restricted_ && !result_table;
  const TFoundTable found = FindTable(request.name);
  if (found.found) {
    TDirectoryTable& table = *tables_[found.position].table;
    if (request.no_open_count) return table;
    if (table.IsOpen() && (request.exclusive || table.Exclusive())) {
      RaiseEngineError(kErrAccessDenied, {.table = request.display_name});
    }
    table.Open(request);
    if (join && !table.InTransaction()) {
      try {
        table.StartTransaction();
      } catch (...) {
        table.Close();  // undoes the open above: the table is left as it was
        throw;
      }
    }
    return table;
  }

  TTableFactory* factory = session_.TableFactory();
  if (factory == nullptr) RaiseEngineError(kErrTableNotFound, {.table = request.display_name});
  std::unique_ptr<TDirectoryTable> made = factory->MakeTable(*this, request);
  made->Open(request);
  if (join) made->StartTransaction();
  TDirectoryTable& table = *made;
  tables_.insert(tables_.begin() + static_cast<std::ptrdiff_t>(found.position),
                 THeldTable{.key = KeyOf(request.name), .table = std::move(made)});
  return table;
}

bool TDataDirectory::MayFree(const TDirectoryTable& table) const {
  if (table.IsOpen() || table.InTransaction()) return false;
  return !keep_tables_open_ || table.Exclusive();
}

void TDataDirectory::CloseTable(TDirectoryTable& table, bool discard, bool force) {
  const size_t position = PositionOf(table);
  if (position == tables_.size()) {
    RaiseEngineError(kErrTableNotFound, {.table = table.TableName()});
  }
  if (force) {
    table.ForceClose(discard);
    if (table.IsOpen()) return;
  } else {
    table.Close();
    if (!MayFree(table)) return;
  }
  tables_.erase(tables_.begin() + static_cast<std::ptrdiff_t>(position));
}

std::string TDataDirectory::WithDataExtension(std::string_view name, bool temporary) const {
  const TDataEngine& core = engine();
  std::string_view base = TrimBlanks(name);
  for (const std::string& extension : {core.TableDataExtension(), core.TableDataTempExtension()}) {
    if (EndsWithIgnoringCase(base, extension)) {
      base.remove_suffix(extension.size());
      break;
    }
  }
  std::string result(base);
  result += temporary ? core.TableDataTempExtension() : core.TableDataExtension();
  return result;
}

bool TDataDirectory::TableExists(std::string_view name, bool only_registered,
                                 bool temporary) const {
  const std::string file_name = WithDataExtension(name, temporary);
  if (FindTable(file_name).found) return true;
  if (only_registered) return false;
  TFileRegistry& registry = engine().FileRegistry();
  if (registry.Exists(path_ + file_name, in_memory_)) return true;
  if (in_memory_) return false;
  return platform::ResolveName(path_.empty() ? std::string(".") : path_, file_name).ok();
}

std::vector<std::string> TDataDirectory::ListTables() const {
  const std::string pattern = path_ + "*" + engine().TableDataExtension();
  TFileList list = engine().FileRegistry().List(in_memory_, pattern, false);
  if (list.error != 0) RaiseEngineError(list.error, {.table = DisplayName()});
  return std::move(list.names);
}

std::string TDataDirectory::UniqueTableName() const {
  const std::string prefix =
      std::to_string(std::llabs(platform::CurrentThreadId())).substr(0, kUniqueNamePrefixLength);
  for (uint64_t n = 0;; ++n) {
    std::string candidate = prefix + std::to_string(n);
    if (!TableExists(candidate, false, true)) {
      return candidate + engine().TableDataTempExtension();
    }
  }
}

// ---- Transactions ---------------------------------------------------------------------------

std::string TDataDirectory::TransactionNameOf(std::string_view name) const {
  std::string_view base = TrimBlanks(name);
  const std::string& extension = engine().TableDataExtension();
  if (EndsWithIgnoringCase(base, extension)) base.remove_suffix(extension.size());
  return KeyOf(base.substr(0, kMaxTransactionTableNameLength));
}

void TDataDirectory::StartTransaction(std::span<const std::string> tables) {
  if (in_transaction_) return;
  locks_->CheckChangesAllowed();
  if (tables.empty()) {
    StartUnrestricted();
  } else {
    StartRestricted(tables);
  }
  in_transaction_ = true;
}

void TDataDirectory::StartRestricted(std::span<const std::string> tables) {
  // Listed tables the directory does not hold yet are opened for the transaction; a failure
  // frees them again, so the directory is left as it was.
  std::vector<TDirectoryTable*> opened;
  auto undo = [&](const std::vector<TDirectoryTable*>& started) {
    FirstError cleanup;
    for (auto it = started.rbegin(); it != started.rend(); ++it) {
      TDirectoryTable* table = *it;
      cleanup.Run([table] { table->RollbackTransaction(); });
    }
    for (TDirectoryTable* table : opened) {
      if (!MayFree(*table)) continue;
      cleanup.Run([table] { table->ForceClose(true); });
      tables_.erase(tables_.begin() + static_cast<std::ptrdiff_t>(PositionOf(*table)));
    }
  };

  std::vector<std::string> wanted;
  for (const std::string& name : tables) wanted.push_back(TransactionNameOf(name));

  try {
    for (const std::string& name : tables) {
      const std::string file_name = WithDataExtension(name, false);
      if (FindTable(file_name).found) continue;
      TDirectoryTable& table = OpenTable(
          {.name = file_name, .display_name = std::string(TrimBlanks(name)), .no_open_count = true},
          true);
      opened.push_back(&table);
    }
  } catch (...) {
    undo({});
    throw;
  }

  std::vector<TDirectoryTable*> members;
  for (const THeldTable& held : tables_) {
    const std::string name = TransactionNameOf(held.table->TableName());
    if (std::find(wanted.begin(), wanted.end(), name) != wanted.end()) {
      members.push_back(held.table.get());
    }
  }
  // Ascending table id, those without a lock entry (id 0) first: the engine's lock order.
  std::stable_sort(members.begin(), members.end(),
                   [](const TDirectoryTable* a, const TDirectoryTable* b) {
                     return a->LockTableId() < b->LockTableId();
                   });

  std::vector<TDirectoryTable*> started;
  try {
    for (TDirectoryTable* table : members) {
      table->StartTransaction();
      started.push_back(table);
    }
  } catch (...) {
    undo(started);
    throw;
  }
  restricted_ = true;
  transaction_tables_ = std::move(members);
}

void TDataDirectory::StartUnrestricted() {
  locks_->LockAllTrans();
  std::vector<TDirectoryTable*> started;
  try {
    for (THeldTable& held : tables_) {
      held.table->StartTransaction();
      started.push_back(held.table.get());
    }
  } catch (...) {
    FirstError cleanup;
    for (auto it = started.rbegin(); it != started.rend(); ++it) {
      TDirectoryTable* table = *it;
      cleanup.Run([table] { table->RollbackTransaction(); });
    }
    cleanup.Run([this] { locks_->UnlockAllTrans(); });
    throw;
  }
  restricted_ = false;
  transaction_tables_.clear();
}

void TDataDirectory::Commit(bool force_flush) {
  if (!in_transaction_) return;
  if (restricted_) {
    for (auto it = transaction_tables_.rbegin(); it != transaction_tables_.rend(); ++it) {
      (*it)->CommitTransaction(force_flush);
    }
  } else {
    locks_->LockAllWrite();
    FirstError commit;
    commit.Run([&] {
      for (auto it = tables_.rbegin(); it != tables_.rend(); ++it) {
        it->table->CommitTransaction(force_flush);
      }
    });
    commit.Run([this] { locks_->UnlockAllWrite(); });
    commit.Rethrow();
    locks_->UnlockAllTrans();
  }
  in_transaction_ = false;
  restricted_ = false;
  transaction_tables_.clear();
  FreeUnusedTables();
}

void TDataDirectory::Rollback() {
  if (!in_transaction_) return;
  FirstError rollback;
  if (restricted_) {
    for (auto it = transaction_tables_.rbegin(); it != transaction_tables_.rend(); ++it) {
      TDirectoryTable* table = *it;
      rollback.Run([table] { table->RollbackTransaction(); });
    }
  } else {
    for (auto it = tables_.rbegin(); it != tables_.rend(); ++it) {
      TDirectoryTable* table = it->table.get();
      rollback.Run([table] { table->RollbackTransaction(); });
    }
    if (locks_->holds_all_trans()) rollback.Run([this] { locks_->UnlockAllTrans(); });
  }
  in_transaction_ = false;
  restricted_ = false;
  transaction_tables_.clear();
  rollback.Run([this] { FreeUnusedTables(); });
  rollback.Rethrow();
}

void TDataDirectory::CommitIfActive() {
  if (in_transaction_) Commit(true);
}

void TDataDirectory::FreeUnusedTables() {
  FirstError cleanup;
  for (size_t i = tables_.size(); i-- > 0;) {
    TDirectoryTable* table = tables_[i].table.get();
    if (!MayFree(*table)) continue;
    cleanup.Run([table] { table->ForceClose(false); });
    tables_.erase(tables_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  cleanup.Rethrow();
}

}  // namespace veltra
