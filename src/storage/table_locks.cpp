#include "storage/table_locks.h"

#include <utility>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "storage/directory_locks.h"

namespace veltra {

TDataTableLocks::TDataTableLocks(TDataDirectoryLocks& owner, int32_t table_id,
                                 std::string table_name)
    : owner_(owner), table_id_(table_id), table_name_(std::move(table_name)) {}

void TDataTableLocks::MarkHeld(THeldLock lock, bool held) {
  if (held) {
    held_ |= static_cast<uint8_t>(lock);
  } else {
    held_ &= static_cast<uint8_t>(~static_cast<uint8_t>(lock));
  }
}

void TDataTableLocks::RaiseForTable(uint16_t code) const {
  RaiseEngineError(code, {.database = owner_.database_name(), .table = table_name_});
}

bool TDataTableLocks::LockRead() {
  // A write or transaction lock keeps writers out already; one read lock is enough.
  if (held_ != 0) return false;
  if (table_id_ == 0) {
    // A name nobody registered in a read-only directory: nobody can be writing it.
    read_slot_ = 0;
    MarkHeld(THeldLock::hlRead, true);
    return true;
  }
  uint16_t slot = 0;
  if (!owner_.LockSlot(owner_.limits().TableLockOffset(static_cast<uint32_t>(table_id_)),
                       owner_.engine().TableReadLock(), slot)) {
    RaiseForTable(kErrTableReadLock);
  }
  read_slot_ = slot;
  MarkHeld(THeldLock::hlRead, true);
  return true;
}

void TDataTableLocks::UnlockRead() {
  if (!holds_read()) return;
  if (table_id_ != 0) {
    const uint64_t byte =
        owner_.limits().TableLockOffset(static_cast<uint32_t>(table_id_)) + read_slot_ - 1;
    if (!owner_.UnlockRange(byte, 1)) RaiseForTable(kErrTableReadUnlock);
  }
  MarkHeld(THeldLock::hlRead, false);
}

bool TDataTableLocks::LockWrite(bool outside_transaction) {
  if (holds_write()) return false;
  owner_.CheckChangesAllowed();
  const TStorageLimits& limits = owner_.limits();
  const TLockRetrySettings& retry = owner_.engine().TableWriteLock();
  const auto id = static_cast<uint32_t>(table_id_);
  const uint64_t trans_byte = limits.TransLockOffset(id);

  bool took_trans = false;
  if (outside_transaction && !holds_trans()) {
    if (!owner_.LockRange(trans_byte, 1, retry)) RaiseForTable(kErrTableWriteLock);
    MarkHeld(THeldLock::hlTrans, true);
    took_trans = true;
  }
  // The whole range covers this entry's own read byte, which would refuse it: give the read lock
  // up first. Other writers stay out meanwhile, since every writer holds the transaction byte (or
  // the database transaction lock) that this entry now holds.
  const bool had_read = holds_read();
  if (had_read) {
    try {
      UnlockRead();
    } catch (const EVELTRAEngineError&) {
      if (took_trans) {
        (void)owner_.UnlockRange(trans_byte, 1);
        MarkHeld(THeldLock::hlTrans, false);
      }
      throw;
    }
  }
  if (!owner_.LockRange(limits.TableLockOffset(id), limits.TableLockSpan, retry)) {
    if (took_trans) {
      (void)owner_.UnlockRange(trans_byte, 1);
      MarkHeld(THeldLock::hlTrans, false);
    }
    if (had_read) {
      try {
        (void)LockRead();
      } catch (const EVELTRAEngineError&) {
        // The write lock's failure is the one to report; the read lock is simply gone.
      }
    }
    RaiseForTable(kErrTableWriteLock);
  }
  MarkHeld(THeldLock::hlWrite, true);
  return took_trans;
}

void TDataTableLocks::UnlockWrite(bool outside_transaction) {
  if (!holds_write()) return;
  const TStorageLimits& limits = owner_.limits();
  const auto id = static_cast<uint32_t>(table_id_);
  if (!owner_.UnlockRange(limits.TableLockOffset(id), limits.TableLockSpan)) {
    RaiseForTable(kErrTableWriteUnlock);
  }
  MarkHeld(THeldLock::hlWrite, false);
  if (outside_transaction && holds_trans()) {
    if (!owner_.UnlockRange(limits.TransLockOffset(id), 1)) RaiseForTable(kErrTableWriteUnlock);
    MarkHeld(THeldLock::hlTrans, false);
  }
}

bool TDataTableLocks::LockTrans() {
  if (holds_trans()) return false;
  owner_.CheckChangesAllowed();
  const uint64_t byte = owner_.limits().TransLockOffset(static_cast<uint32_t>(table_id_));
  if (!owner_.LockRange(byte, 1, owner_.engine().TableTransLock())) {
    RaiseEngineError(kErrTransactionLock,
                     {.database = owner_.database_name(), .table = table_name_});
  }
  MarkHeld(THeldLock::hlTrans, true);
  return true;
}

void TDataTableLocks::UnlockTrans() {
  if (!holds_trans()) return;
  const uint64_t byte = owner_.limits().TransLockOffset(static_cast<uint32_t>(table_id_));
  if (!owner_.UnlockRange(byte, 1)) {
    RaiseEngineError(kErrTransactionUnlock,
                     {.database = owner_.database_name(), .table = table_name_});
  }
  MarkHeld(THeldLock::hlTrans, false);
}

}  // namespace veltra
