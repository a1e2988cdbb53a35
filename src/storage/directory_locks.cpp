#include "storage/directory_locks.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <exception>
#include <random>
#include <utility>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "core/file_registry.h"
#include "core/os_error.h"
#include "platform/clock.h"
#include "platform/directory.h"
#include "storage/engine_file.h"

namespace veltra {

namespace {

// Read slots are drawn from 1 to 65534, so the last byte of a range is never a reader's.
constexpr uint32_t kSlotDraws = 65535;

// Every process (and every thread) draws its slots from its own generator, seeded from the
// performance counter, the process and the thread; a fork makes the child seed afresh, so a
// parent and its child never walk the same sequence.
std::atomic<uint32_t> fork_generation{0};

void CountFork() { fork_generation.fetch_add(1, std::memory_order_relaxed); }

uint16_t DrawSlot() {
  static const int registered = pthread_atfork(nullptr, nullptr, CountFork);
  (void)registered;
  thread_local std::minstd_rand generator;
  thread_local uint32_t seeded_generation = 0;
  thread_local bool seeded = false;
  const uint32_t generation = fork_generation.load(std::memory_order_relaxed);
  if (!seeded || seeded_generation != generation) {
    const auto counter = static_cast<uint64_t>(platform::PerformanceCounter());
    const auto process = static_cast<uint64_t>(getpid());
    const auto thread = static_cast<uint64_t>(platform::CurrentThreadId());
    std::seed_seq seed{static_cast<uint32_t>(counter), static_cast<uint32_t>(counter >> 32),
                       static_cast<uint32_t>(process), static_cast<uint32_t>(thread)};
    generator.seed(seed);
    seeded_generation = generation;
    seeded = true;
  }
  const auto slot = static_cast<uint16_t>(generator() % kSlotDraws);
  return slot == 0 ? uint16_t{1} : slot;
}

bool IsReadOnlyDirectoryError(int os_error) {
  return os_error == EACCES || os_error == EROFS || os_error == EPERM;
}

// Holds a registry lock of `locks` for a scope; the unlock is checked on the normal path.
class TRegistryLockScope {
 public:
  TRegistryLockScope(TDataDirectoryLocks& locks, bool write, const TStorageLimits& limits)
      : locks_(locks), write_(write) {
    const TLockRetrySettings& retry = locks.options().registry_lock;
    if (write_) {
      offset_ = limits.DirectoryLockBase;
      length_ = limits.DirectoryLockSpan;
      held_ = locks.LockRange(offset_, length_, retry);
    } else {
      uint16_t slot = 0;
      held_ = locks.LockSlot(limits.DirectoryLockBase, retry, slot);
      offset_ = limits.DirectoryLockBase + slot - 1;
      length_ = 1;
    }
    if (!held_) Raise(write_ ? kErrLockFileWriteLock : kErrLockFileReadLock);
  }
  // On an exception's way out: release, and let the first failure be the one reported.
  ~TRegistryLockScope() {
    if (held_) (void)locks_.UnlockRange(offset_, length_);
  }
  TRegistryLockScope(const TRegistryLockScope&) = delete;
  TRegistryLockScope& operator=(const TRegistryLockScope&) = delete;

  void Release() {
    held_ = false;
    if (!locks_.UnlockRange(offset_, length_)) {
      Raise(write_ ? kErrLockFileWriteUnlock : kErrLockFileReadUnlock);
    }
  }

 private:
  [[noreturn]] void Raise(TEngineCode code) const {
    RaiseEngineError(code, {.database = locks_.database_name()});
  }

  TDataDirectoryLocks& locks_;
  bool write_;
  bool held_ = false;
  uint64_t offset_ = 0;
  uint64_t length_ = 0;
};

}  // namespace

TDataDirectoryLocks::TDataDirectoryLocks(TDataEngine& engine, std::string_view directory_path,
                                         bool in_memory, std::string database_name,
                                         TDirectoryLockOptions options)
    : engine_(engine),
      limits_(engine.Limits()),
      options_(std::move(options)),
      in_memory_(in_memory),
      database_name_(std::move(database_name)),
      directory_path_(directory_path) {
  if (!directory_path_.empty() && directory_path_.back() != '/') directory_path_ += '/';
  lock_file_name_ = directory_path_ + engine.LockFileName();
}

TDataDirectoryLocks::~TDataDirectoryLocks() {
  entries_.clear();
  unregistered_.clear();
  file_.reset();
}

void TDataDirectoryLocks::RaiseForDatabase(uint16_t code) const {
  RaiseEngineError(code, {.database = database_name_});
}

void TDataDirectoryLocks::RaiseChangesRefused() const {
  RaiseEngineError(kErrAccessDenied, {.database = database_name_, .table = lock_file_name_});
}

void TDataDirectoryLocks::CheckChangesAllowed() const {
  if (!ChangesAllowed()) RaiseChangesRefused();
}

// ---- Opening ------------------------------------------------------------------------------------

void TDataDirectoryLocks::OpenLockFile() {
  std::exception_ptr last_failure;
  const uint32_t attempts = options_.open_attempts == 0 ? 1 : options_.open_attempts;
  for (uint32_t attempt = 0; attempt < attempts; ++attempt) {
    try {
      if (TryOpenOnce()) return;
    } catch (const EVELTRAEngineError& error) {
      file_.reset();
      state_ = TLockFileState::lsClosed;
      entries_.clear();
      head_known_ = false;
      head_seen_ = {};
      // A damaged registry or a registry lock that ran out of its retries does not get better
      // by trying again.
      const TEngineCode code = error.EngineCode();
      if (code == kErrInvalidTableFile ||
          (code >= kErrLockFileReadLock && code <= kErrLockFileWriteUnlock)) {
        throw;
      }
      last_failure = std::current_exception();
    }
    if (attempt + 1 < attempts) SleepFor(options_.sleeper, options_.open_wait_ms);
  }
  if (last_failure) std::rethrow_exception(last_failure);
  RaiseEngineError(kErrAccessDenied, {.database = database_name_, .table = lock_file_name_});
}

bool TDataDirectoryLocks::TryOpenOnce() {
  TFileRegistry& registry = engine_.FileRegistry();
  if (!registry.Exists(lock_file_name_, in_memory_)) {
    // Exclusive creation never replaces a file another opener made meanwhile. The new file is
    // empty; whoever opens it first seeds it under the registry write lock (SeedEmptyFile), so
    // a creator that dies at once leaves nothing that the next opener cannot mend.
    TOpenedFile created = registry.CreateNew(lock_file_name_, in_memory_, true, false);
    if (created.ok()) {
      TFileResult closed = registry.Close(created.file, created.handle, in_memory_);
      if (!closed.ok()) {
        RaiseEngineError(closed.code(), {.database = database_name_, .table = lock_file_name_});
      }
    } else {
      const int os_error = TakePendingOsError();
      if (!registry.Exists(lock_file_name_, in_memory_)) {
        if (!in_memory_ && IsReadOnlyDirectoryError(os_error)) {
          state_ = TLockFileState::lsNoLockFile;
          return true;
        }
        RaiseEngineError(created.code(), {.database = database_name_, .table = lock_file_name_});
      }
    }
  }
  auto file = std::make_unique<TEngineFile>(engine_, lock_file_name_, in_memory_);
  file->set_hidden(true);
  file->Open();
  file_ = std::move(file);
  state_ = file_->read_only() ? TLockFileState::lsReadOnly : TLockFileState::lsShared;
  LoadRegistry();
  return true;
}

void TDataDirectoryLocks::LoadRegistry() {
  {
    TRegistryLockScope read_lock(*this, false, limits_);
    ScopedEngineFileGuard guard(*file_);
    TRegistryHead head;
    if (ReadRegistryHead(*file_, head)) {
      ReadTableList();
      read_lock.Release();
      return;
    }
    read_lock.Release();
  }
  // An empty file: nobody has seeded it yet (or its seeder died). A read-only one stays empty.
  if (state_ != TLockFileState::lsShared) return;
  TRegistryLockScope write_lock(*this, true, limits_);
  SeedEmptyFile();
  write_lock.Release();
}

void TDataDirectoryLocks::SeedEmptyFile() {
  // Listed before the guard is entered: the registry's lock comes before any file's guard.
  const std::vector<std::string> names = ListTableFiles();
  ScopedEngineFileGuard guard(*file_);
  TRegistryHead head;
  if (ReadRegistryHead(*file_, head)) {
    ReadTableList();  // another opener seeded it while this one waited
    return;
  }
  head_seen_ =
      AppendRegistryEntries(*file_, TRegistryHead{.counter = 0}, kFirstLockFileCounter, names);
  head_known_ = true;
  TakeRegistryNames(names);
}

std::vector<std::string> TDataDirectoryLocks::ListTableFiles() const {
  TFileList listed = engine_.FileRegistry().List(
      in_memory_, directory_path_ + "*" + engine_.TableDataExtension(), false);
  if (listed.error != 0) {
    RaiseEngineError(listed.error, {.database = database_name_, .table = lock_file_name_});
  }
  std::vector<std::string> names;
  for (std::string& name : listed.names) {
    if (name.empty() || name.size() > kMaxRegistryNameLength) continue;
    if (names.size() == kMaxTableId) break;
    bool present = false;
    for (const std::string& kept : names) {
      if (platform::EqualsIgnoringAsciiCase(kept, name)) present = true;
    }
    if (!present) names.push_back(std::move(name));
  }
  return names;
}

// ---- The registry -------------------------------------------------------------------------------

void TDataDirectoryLocks::ReadTableList() {
  if (state_ == TLockFileState::lsNoLockFile) return;
  ScopedEngineFileGuard guard(*file_);
  TRegistryHead head;
  if (!ReadRegistryHead(*file_, head)) {
    if (head_known_) {
      RaiseEngineError(kErrInvalidTableFile, {.database = database_name_,
                                              .table = lock_file_name_,
                                              .message = "the registry has gone"});
    }
    return;
  }
  // Unchanged only when both the counter and the length are: a registration that died between
  // writing L and the counter still shows its entry to every later reader.
  if (head_known_ && head == head_seen_) return;
  const std::vector<std::string> names = ReadRegistryEntries(*file_, head, NamesHeld());
  TakeRegistryNames(names);
  // Seen only now that the whole registry has been read and checked.
  head_seen_ = head;
  head_known_ = true;
}

std::vector<std::string> TDataDirectoryLocks::NamesHeld() const {
  std::vector<std::string> names;
  names.reserve(entries_.size());
  for (const auto& entry : entries_) names.push_back(entry->table_name());
  return names;
}

void TDataDirectoryLocks::TakeRegistryNames(const std::vector<std::string>& names) {
  for (size_t index = entries_.size(); index < names.size(); ++index) {
    auto entry =
        std::make_unique<TDataTableLocks>(*this, static_cast<int32_t>(index + 1), names[index]);
    // An entry that arrives while a directory-wide lock is held is covered by it.
    if (holds_all_trans_) entry->MarkHeld(THeldLock::hlTrans, true);
    if (holds_all_write_) entry->MarkHeld(THeldLock::hlWrite, true);
    entries_.push_back(std::move(entry));
  }
}

TDataTableLocks* TDataDirectoryLocks::FindIn(
    const std::vector<std::unique_ptr<TDataTableLocks>>& list, std::string_view table_name) const {
  for (const auto& entry : list) {
    if (platform::EqualsIgnoringAsciiCase(entry->table_name(), table_name)) return entry.get();
  }
  return nullptr;
}

TDataTableLocks* TDataDirectoryLocks::FindEntry(std::string_view table_name) const {
  if (TDataTableLocks* entry = FindIn(entries_, table_name)) return entry;
  return FindIn(unregistered_, table_name);
}

TDataTableLocks& TDataDirectoryLocks::RegisterTable(std::string_view table_name) {
  if (table_name.empty() || table_name.size() > kMaxRegistryNameLength) {
    RaiseEngineError(kErrInvalidTableFile, {.database = database_name_, .table = table_name});
  }
  if (TDataTableLocks* entry = FindIn(entries_, table_name)) return *entry;

  if (state_ == TLockFileState::lsShared) {
    TRegistryLockScope write_lock(*this, true, limits_);
    ReadTableList();
    TDataTableLocks* entry = FindIn(entries_, table_name);
    if (entry == nullptr) {
      if (entries_.size() >= kMaxTableId) RaiseForDatabase(kErrDatabaseFull);
      AppendTable(table_name);
      entry = entries_.back().get();
    }
    write_lock.Release();
    return *entry;
  }

  if (state_ == TLockFileState::lsReadOnly) {
    TRegistryLockScope read_lock(*this, false, limits_);
    ReadTableList();
    read_lock.Release();
    if (TDataTableLocks* entry = FindIn(entries_, table_name)) return *entry;
  }
  if (TDataTableLocks* entry = FindIn(unregistered_, table_name)) return *entry;
  unregistered_.push_back(std::make_unique<TDataTableLocks>(*this, 0, std::string(table_name)));
  return *unregistered_.back();
}

void TDataDirectoryLocks::AppendTable(std::string_view table_name) {
  const std::string names[] = {std::string(table_name)};
  ScopedEngineFileGuard guard(*file_);
  const TRegistryHead written =
      AppendRegistryEntries(*file_, head_seen_, NextLockFileCounter(head_seen_.counter), names);
  std::vector<std::string> all = NamesHeld();
  all.push_back(names[0]);
  TakeRegistryNames(all);
  head_seen_ = written;
}

// ---- Byte locks ---------------------------------------------------------------------------------

bool TDataDirectoryLocks::LockSlot(uint64_t base, const TLockRetrySettings& retry, uint16_t& slot) {
  if (state_ == TLockFileState::lsNoLockFile) {
    slot = 1;
    return true;
  }
  return RetryLock(retry, options_.sleeper, [&] {
    slot = DrawSlot();
    return file_->LockRange(base + slot - 1, 1);
  });
}

bool TDataDirectoryLocks::LockRange(uint64_t offset, uint64_t length,
                                    const TLockRetrySettings& retry) {
  if (state_ == TLockFileState::lsNoLockFile) return true;
  return RetryLock(retry, options_.sleeper, [&] { return file_->LockRange(offset, length); });
}

bool TDataDirectoryLocks::UnlockRange(uint64_t offset, uint64_t length) {
  if (state_ == TLockFileState::lsNoLockFile) return true;
  return file_->UnlockRange(offset, length);
}

// ---- Directory-wide locks -----------------------------------------------------------------------

void TDataDirectoryLocks::LockAllTrans() {
  if (holds_all_trans_) return;
  CheckChangesAllowed();
  if (!LockRange(limits_.DirectoryLockBase - limits_.TransLockSpan, limits_.TransLockSpan,
                 engine_.TableTransLock())) {
    RaiseForDatabase(kErrTransactionLock);
  }
  holds_all_trans_ = true;
  for (auto& entry : entries_) entry->MarkHeld(THeldLock::hlTrans, true);
  for (auto& entry : unregistered_) entry->MarkHeld(THeldLock::hlTrans, true);
}

void TDataDirectoryLocks::UnlockAllTrans() {
  if (!holds_all_trans_) return;
  if (!UnlockRange(limits_.DirectoryLockBase - limits_.TransLockSpan, limits_.TransLockSpan)) {
    RaiseForDatabase(kErrTransactionUnlock);
  }
  holds_all_trans_ = false;
  for (auto& entry : entries_) entry->MarkHeld(THeldLock::hlTrans, false);
  for (auto& entry : unregistered_) entry->MarkHeld(THeldLock::hlTrans, false);
}

void TDataDirectoryLocks::LockAllWrite() {
  if (holds_all_write_) return;
  CheckChangesAllowed();
  if (!LockRange(limits_.TableLockBase - limits_.AllTablesLockSpan, limits_.AllTablesLockSpan,
                 engine_.TableWriteLock())) {
    RaiseForDatabase(kErrTransactionLock);
  }
  holds_all_write_ = true;
  for (auto& entry : entries_) entry->MarkHeld(THeldLock::hlWrite, true);
  for (auto& entry : unregistered_) entry->MarkHeld(THeldLock::hlWrite, true);
}

void TDataDirectoryLocks::UnlockAllWrite() {
  if (!holds_all_write_) return;
  if (!UnlockRange(limits_.TableLockBase - limits_.AllTablesLockSpan, limits_.AllTablesLockSpan)) {
    RaiseForDatabase(kErrTransactionUnlock);
  }
  holds_all_write_ = false;
  for (auto& entry : entries_) entry->MarkHeld(THeldLock::hlWrite, false);
  for (auto& entry : unregistered_) entry->MarkHeld(THeldLock::hlWrite, false);
}

}  // namespace veltra
