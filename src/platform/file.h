// Operating-system files as the engine's physical files use them: one descriptor per File, with
// positional reads and writes, size, set end of file, flush to disk, share modes, byte-range
// locks, and the path operations (delete, rename, read-only attribute) that respect share modes.
//
// Share modes. Every open holds a lock on the share byte (kShareLockOffset, 2^63 − 1): a shared
// open a read lock, an exclusive open a write lock. So an exclusive open keeps every other open
// out, in any process and through any handle, and a shared open keeps exclusive opens out; a
// refused open fails with EBUSY. Within this process the share modes of all handles of a file
// are also counted, so they hold there exactly whatever the descriptors allow.
//
// Read-only handles. A write lock needs a descriptor open for writing, so a File opened
// read-only still opens its descriptor for reading and writing when the system lets it (it never
// writes through it: WriteAt and SetEndOfFile fail with EBADF). Its share lock and byte-range
// locks are then the same write locks as a read-write handle's. When the file cannot be opened
// for writing at all (no write permission, read-only file system) the descriptor is read-only
// and those locks are read locks: they still conflict with every lock of a writable handle in
// any process and with every lock in this process, but two such handles in different processes
// do not exclude each other (neither of them can change the file). An exclusive open in that
// situation reports limited_exclusive().
//
// Creation never truncates a live file: new files are made with O_EXCL and published under their
// name already holding the exclusive share lock; replacing an existing file truncates it only
// after the exclusive share lock is held, so a file open anywhere is refused with EBUSY instead.
//
// Descriptors are close-on-exec. A child forked without exec shares them, and with them this
// process's share modes and locks, until it closes them: fork before opening.
//
// Thread use: ReadAt, WriteAt, Size, SetEndOfFile, Flush, LockRange and UnlockRange may be called
// from several threads at once. Moving, Close and destruction need the object to themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_range_lock.h"
#include "platform/os_result.h"

namespace veltra::platform {

struct OpenMode {
  bool read_only = false;
  bool exclusive = false;
};

// Attributes a file is created with. Both are recorded on the File for its owner; Linux has no
// hidden attribute, and deleting a temporary file when its last user closes it is the caller's
// part. Temporary files are created readable and writable by their owner only.
struct CreateAttributes {
  bool temporary = false;
  bool hidden = false;
};

class File {
 public:
  File() = default;  // not open
  ~File();           // closes, ignoring a close error (call Close to see it)
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing regular file with the given access and share mode.
  // When read-write is asked for a file that carries the read-only attribute (no write bits in
  // its mode, whoever runs the process) or that lies on a read-only file system, the file is
  // opened read-only and reports forced_read_only(). When the system refuses writing for another
  // reason (EACCES, EPERM) it is opened read-only as well and reports read_only() only.
  // Errors: the system's (ENOENT, EACCES, ...); EISDIR for a directory; EINVAL for anything that
  // is not a regular file; EBUSY when the share mode conflicts with an open elsewhere.
  static OsResult<File> Open(const std::string& path, OpenMode mode);

  // Creates a new file, read-write and exclusive, failing with EEXIST when the name exists.
  static OsResult<File> CreateNew(const std::string& path, CreateAttributes attributes = {});

  // Creates the file, or empties an existing one: read-write and exclusive. An existing file is
  // truncated only once the exclusive share lock is held. Errors: EBUSY when the file is open
  // anywhere; EACCES when it carries the read-only attribute; EISDIR, EINVAL as for Open.
  static OsResult<File> CreateOrReplace(const std::string& path, CreateAttributes attributes = {});

  bool is_open() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  FileId id() const { return id_; }
  bool read_only() const { return read_only_; }  // granted access
  bool forced_read_only() const { return forced_read_only_; }
  bool exclusive() const { return exclusive_; }
  // Exclusive, but only a read lock could be taken on the share byte (see the top of the file):
  // other processes' exclusive opens are kept out, their shared opens are not.
  bool limited_exclusive() const { return exclusive_ && !writable_descriptor_; }
  // The descriptor could only be opened for reading, so the share lock and the byte-range locks
  // of this handle are read locks at the system level (see the top of the file).
  bool takes_read_locks() const { return !writable_descriptor_; }
  bool temporary() const { return temporary_; }
  bool hidden() const { return hidden_; }

  // Reads up to `size` bytes at `offset`, retrying interrupted and partial reads. Returns the
  // bytes read, fewer than `size` only at the end of the file. Errors: the system's; EINVAL when
  // offset + size passes 2^63 − 1.
  OsResult<size_t> ReadAt(uint64_t offset, void* data, size_t size) const;

  // Writes all `size` bytes at `offset`, retrying interrupted and partial writes. A write that
  // cannot complete fails (ENOSPC, EIO, ...) even when part of it was stored; success means every
  // byte was written. EBADF through a read-only handle.
  OsStatus WriteAt(uint64_t offset, const void* data, size_t size);

  // The file's size in bytes.
  OsResult<uint64_t> Size() const;

  // Cuts or extends the file to `size` bytes. EBADF through a read-only handle.
  OsStatus SetEndOfFile(uint64_t size);

  // Writes the file's data to the disk (fdatasync).
  OsStatus Flush();

  // Locks [offset, offset + length) exclusively, without waiting. Fails with EAGAIN when any byte
  // of it is held by anyone: another process, another handle of this process, or this handle
  // itself. Offsets may lie anywhere in the lock space, far past the end of the file. EINVAL for
  // a length of 0 or a range that reaches byte 2^63 − 1. The lock is released by UnlockRange,
  // by closing this handle, or by the death of the process.
  OsStatus LockRange(uint64_t offset, uint64_t length);

  // Releases a range this handle locked. It must name exactly a held range (same offset and
  // length): a sub-range, a super-range, a range never locked or one of another handle fails
  // with ENOLCK and changes nothing. EINVAL as for LockRange.
  OsStatus UnlockRange(uint64_t offset, uint64_t length);

  // Closes the file, releasing its locks and its share mode; reports the system's close error.
  // Closing a File that is not open succeeds.
  OsStatus Close();

 private:
  static OsResult<File> Adopt(int fd, const std::string& path, bool writable_descriptor,
                              OpenMode mode, bool forced_read_only, CreateAttributes attributes);
  static OsResult<File> OpenForReplace(const std::string& path, CreateAttributes attributes);
  static OsResult<File> CreateUnnamed(const std::string& path, CreateAttributes attributes);
  static OsResult<File> CreateByName(const std::string& path, CreateAttributes attributes);
  OsStatus TakeShareLock();
  void Reset();

  int fd_ = -1;
  uint64_t handle_id_ = 0;  // owner of this handle's ranges in the shared table
  FileId id_;
  std::shared_ptr<OpenFileState> state_;
  std::string path_;
  bool writable_descriptor_ = false;
  bool read_only_ = false;
  bool forced_read_only_ = false;
  bool exclusive_ = false;
  bool temporary_ = false;
  bool hidden_ = false;
  bool share_held_ = false;  // the share lock is taken and counted in state_
};

// Holds a byte-range lock of a File until Release or destruction.
class ScopedRangeLock {
 public:
  // Locks the range (see File::LockRange). REQUIRES: `file` outlives the guard.
  static OsResult<ScopedRangeLock> Acquire(File& file, uint64_t offset, uint64_t length);
  ~ScopedRangeLock();
  ScopedRangeLock(ScopedRangeLock&& other) noexcept;
  ScopedRangeLock& operator=(ScopedRangeLock&&) = delete;
  ScopedRangeLock(const ScopedRangeLock&) = delete;
  ScopedRangeLock& operator=(const ScopedRangeLock&) = delete;

  // Unlocks now and reports the answer; later calls and the destructor do nothing.
  OsStatus Release();

 private:
  ScopedRangeLock(File& file, uint64_t offset, uint64_t length)
      : file_(&file), offset_(offset), length_(length) {}

  File* file_;  // null once released
  uint64_t offset_;
  uint64_t length_;
};

// Deletes a file. Refused with EBUSY while the file is open anywhere, through any handle of any
// process, shared or exclusive (the share byte is probed; a file this process cannot read is not
// probed). Errors: the system's (ENOENT, EISDIR, ...).
OsStatus DeleteFile(const std::string& path);

// Renames `from` to `to`, never replacing an existing `to` (EEXIST). Refused with EBUSY while
// `from` is open anywhere, as for DeleteFile. Where the file system cannot rename without
// replacing, the file is linked under the new name and unlinked under the old one.
OsStatus RenameFile(const std::string& from, const std::string& to);

// Whether the file carries the read-only attribute: no write bit in its mode. Decided from the
// mode alone, so the answer does not depend on who runs the process.
OsResult<bool> IsReadOnly(const std::string& path);

// Sets the read-only attribute (clears every write bit) or clears it (gives the owner write).
OsStatus SetReadOnly(const std::string& path, bool read_only);

}  // namespace veltra::platform
