// The byte-range lock primitives under the platform's files: open-file-description locks
// (F_OFD_SETLK) on a descriptor, the limits of the lock space, and the per-file state that all
// handles of this process on one file share.
//
// Why both: an open-file-description lock conflicts with the locks of every other open of the
// file, in this process or another, and dies with its last descriptor (so a killed process leaves
// nothing behind), but it lets the same descriptor lock its own bytes again. Plain fcntl locks
// are worse still: a process never conflicts with itself, and closing any descriptor of the file
// drops all of the process's locks. So every lock is also recorded in a RangeLockTable kept per
// file (device and inode) for the whole process, which refuses any overlap, the holder's own
// included. File (file.h) combines the two; use its LockRange/UnlockRange.
//
// The lock space: a range may start anywhere from 0 and must end at or before byte 2^63 − 2,
// far beyond any real file end. Byte 2^63 − 1 (kShareLockOffset) is reserved for share modes, a
// byte the engine's lock map never uses. A length of 0 is refused (the system would read it as
// "to infinity").
#pragma once

#include <sys/types.h>

#include <compare>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/os_result.h"
#include "platform/range_lock_table.h"

namespace veltra::platform {

// The share-mode byte: a shared open holds a read lock on it, an exclusive open a write lock.
inline constexpr uint64_t kShareLockOffset = 0x7FFFFFFFFFFFFFFFull;  // 2^63 − 1
// One past the last byte a byte-range lock may cover.
inline constexpr uint64_t kLockSpaceEnd = kShareLockOffset;

// Ok when [offset, offset + length) is a lockable range; EINVAL when length is 0 or the range
// reaches kLockSpaceEnd or beyond.
OsStatus ValidateLockRange(uint64_t offset, uint64_t length);

// What identifies a file for locking: its device and inode, whatever name it was opened by.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend auto operator<=>(const FileId&, const FileId&) = default;
};

// The identity of the file an open descriptor refers to.
OsResult<FileId> FileIdOf(int fd);

enum class OfdLockType { olRead, olWrite };

// Takes an open-file-description lock on the range without waiting. A write lock needs a
// descriptor open for writing, a read lock one open for reading (else EBADF). Fails with EAGAIN
// when a conflicting lock is held through another open of the file (this process's included).
// Re-locking bytes this descriptor already holds succeeds: check a RangeLockTable first.
// REQUIRES: offset and length within the lock space or the share byte (never length 0).
OsStatus OfdLock(int fd, uint64_t offset, uint64_t length, OfdLockType type);

// Releases the range of this descriptor's locks; bytes it does not hold are left alone.
OsStatus OfdUnlock(int fd, uint64_t offset, uint64_t length);

// Whether a lock of `type` on the range would conflict with a lock held through another open of
// the file (any process, this one included). A write probe conflicts with read and write locks.
OsResult<bool> OfdConflicts(int fd, uint64_t offset, uint64_t length, OfdLockType type);

// The state of one file (device and inode) that every File object of this process on it shares:
// its held byte ranges and the share modes of its opens. It is shared (std::shared_ptr) by those
// File objects because none of them owns the file more than another; it dies with the last one.
struct OpenFileState {
  std::mutex mutex;
  RangeLockTable ranges;    // guarded by mutex
  int shared_opens = 0;     // guarded by mutex
  int exclusive_opens = 0;  // guarded by mutex
};

// The state of the file, made when no File of this process has the file open. Thread-safe.
std::shared_ptr<OpenFileState> AcquireOpenFileState(FileId id);

// The state of the file if some File of this process has it open; null otherwise. Thread-safe.
std::shared_ptr<OpenFileState> FindOpenFileState(FileId id);

}  // namespace veltra::platform
