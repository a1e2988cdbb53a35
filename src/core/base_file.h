// The base file: one object per file name per process, shared by every table, cursor and session
// of the process that uses the file. It keeps the file's mode (exclusive, read-only, forced
// read-only, temporary, hidden), its logical handles with their positions, and a guard that
// serialises every operation. Its two kinds are the physical file (an operating-system file) and
// the memory file (content kept in this process only).
//
// Handles. Every open or create issues a new handle id, 1, 2, 3 ... in the object's life, never
// reused. Each handle has its own position; Read and Write work at it and advance it. The
// operating-system file is opened once, when the first handle opens, and closed with the last.
//
// Results. Operations answer a TFileResult: a value that is never negative (a handle id, a byte
// count, a position, a size, or 0 for "done"), or a failure as a negated engine code. A failure of
// the operating system leaves its error number pending for the next engine error of the thread
// (MapOsError), so the error raised with the file's name reports it.
//
// Threads. Every operation enters the guard and leaves it on every path. The guard is recursive:
// a caller that seeks and then reads or writes holds it across both steps (ScopedFileGuard), and
// the operations it calls meanwhile enter it again. ReadAt and WriteAt do the seek and the
// transfer under one entry. Lock order: a registry list's lock before a file's guard; never call
// the registry while holding a guard.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/error_codes.h"

namespace veltra {

// A logical handle of a base file: positive once issued.
using TFileHandle = int32_t;

// Origins of a seek.
enum class TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// The modes of an open or create. For an open, read_only is what is asked; the granted mode is
// the object's afterwards. A create always makes the file exclusive and read-write and uses only
// temporary and hidden.
struct TFileFlags {
  bool exclusive = false;
  bool read_only = false;
  bool temporary = false;
  bool hidden = false;
  // Create only: fail with kErrAccessDenied when a file of that name exists, never replacing it.
  bool must_be_new = false;
};

// A non-negative value, or a failure as a negated engine code.
class [[nodiscard]] TFileResult {
 public:
  static constexpr TFileResult Value(int64_t value) { return TFileResult(value); }
  static constexpr TFileResult Done() { return TFileResult(0); }
  static constexpr TFileResult Failure(TEngineCode code) {
    return TFileResult(-static_cast<int64_t>(code));
  }

  constexpr bool ok() const { return value_ >= 0; }
  constexpr explicit operator bool() const { return ok(); }
  // REQUIRES: ok().
  constexpr int64_t value() const { return value_; }
  // The engine code of a failure; 0 on success.
  constexpr TEngineCode code() const {
    return value_ < 0 ? static_cast<TEngineCode>(-value_) : TEngineCode{0};
  }
  // The value, or the negated code: the form the engine passes on as a handle.
  constexpr int64_t raw() const { return value_; }

 private:
  constexpr explicit TFileResult(int64_t value) : value_(value) {}
  int64_t value_;
};

// Longest logical size or position a file may have (the largest offset the system can address).
inline constexpr uint64_t kMaxFileOffset = (uint64_t{1} << 63) - 1;
// Most handles one base file keeps open at once (the open count is 16-bit).
inline constexpr uint32_t kMaxOpenHandles = 65535;

class TBaseFile {
 public:
  // `name` is the full path (physical) or the registry name (memory), already trimmed.
  explicit TBaseFile(std::string name);
  virtual ~TBaseFile();
  TBaseFile(const TBaseFile&) = delete;
  TBaseFile& operator=(const TBaseFile&) = delete;

  virtual bool in_memory() const = 0;

  // The guard. Enter and Leave pair on one thread; prefer ScopedFileGuard.
  void EnterGuard() { guard_.lock(); }
  void LeaveGuard() { guard_.unlock(); }

  // The file's name and mode. The mode is the one granted by the first open or by the create, and
  // holds while any handle is open.
  std::string name() const;
  bool exclusive() const;
  bool read_only() const;
  bool forced_read_only() const;
  bool temporary() const;
  bool hidden() const;
  uint32_t open_count() const;
  bool IsHandleOpen(TFileHandle handle) const;

  // The file's size in bytes. Positions are not moved. Fails for a physical file with no handle
  // open (kErrInvalidFileHandle).
  TFileResult Size();

  // Creates the file, empty, exclusive and read-write, with the temporary and hidden attributes
  // of `flags`, and returns a new handle id. REQUIRES: no handle open. A physical file never
  // truncates a file that is open anywhere (kErrAccessDenied instead); a memory file frees its
  // content.
  TFileResult Create(const TFileFlags& flags);

  // Adds a handle and returns its id. When none is open, the file takes over `requested` and is
  // opened: a physical file with the read-only attribute is opened read-only and reports forced
  // read-only; a read-write open that the system refuses is tried once more read-only. When
  // handles are open, nothing is reopened and `requested` is not looked at (the registry decides
  // whether the open may share the file). Errors: kErrTableNotFound when the file does not exist;
  // kErrAccessDenied when the share mode conflicts; kErrTooManyFiles past kMaxOpenHandles.
  TFileResult Open(const TFileFlags& requested);

  // Removes a handle; the operating-system file is closed with the last one. kErrInvalidFileHandle
  // for a handle that is not open. A failure of the system's close is reported after the handle
  // has gone.
  TFileResult Close(TFileHandle handle);

  // Closes every handle (the engine's stop). Reports the system's close error, if any.
  TFileResult CloseAllHandles();

  // Renames the file and changes the object's name. REQUIRES: no handle open (a physical file
  // open anywhere is refused with kErrAccessDenied). A physical rename never replaces an existing
  // file (kErrAccessDenied).
  TFileResult Rename(const std::string& new_name);

  // Deletes a physical file from the disk; a memory file's content is freed. REQUIRES: no handle
  // open.
  TFileResult Delete();

  // Reads up to `count` bytes at the handle's position and advances it; returns the bytes read,
  // fewer only at the end of the file.
  TFileResult Read(TFileHandle handle, void* buffer, size_t count);

  // Writes `count` bytes at the handle's position and advances it; returns `count`. A count of 0
  // sets the end of the file at the position (truncating or extending it) and returns 0. A write
  // that cannot store every byte fails. A read-only file refuses writes (kErrInvalidFileHandle).
  TFileResult Write(TFileHandle handle, const void* buffer, size_t count);

  // Writes the file's data to the disk (a memory file has nothing to do).
  TFileResult Flush(TFileHandle handle);

  // Moves the handle's position to `offset` from the origin and returns the new position. A
  // position below 0 or past kMaxFileOffset fails and leaves the position as it was.
  TFileResult Seek(TFileHandle handle, TSeekOrigin origin, int64_t offset);

  // Seek to `offset` and Read or Write, under one entry of the guard and without allocating: the
  // path the block caches take. The handle's position ends after the bytes transferred.
  TFileResult ReadAt(TFileHandle handle, uint64_t offset, void* buffer, size_t count);
  TFileResult WriteAt(TFileHandle handle, uint64_t offset, const void* buffer, size_t count);

  // Locks [offset, offset + length) exclusively without waiting; true when granted. Refused when
  // any byte of it is held by anyone (for a physical file: any process, any handle, this one
  // included; for a memory file: any holder in this process). A length of 0 or a range that
  // reaches kMaxFileOffset is refused. The lock belongs to the file, not to a handle.
  bool LockRange(uint64_t offset, uint64_t length);

  // Releases a range locked before: it must name exactly a held range (same offset and length).
  // True when done.
  bool UnlockRange(uint64_t offset, uint64_t length);

 protected:
  // The kind's part of each operation, called with the guard held and the handle checked.
  virtual TFileResult DoSize() = 0;
  virtual TFileResult DoCreate(const TFileFlags& flags) = 0;
  // Called only when no handle is open; sets the granted mode through SetMode.
  virtual TFileResult DoOpenFirst(const TFileFlags& requested) = 0;
  // Called when the last handle has gone.
  virtual TFileResult DoCloseLast() = 0;
  virtual TFileResult DoRename(const std::string& new_name) = 0;
  virtual TFileResult DoDelete() = 0;
  virtual TFileResult DoRead(uint64_t position, void* buffer, size_t count) = 0;
  virtual TFileResult DoWrite(uint64_t position, const void* buffer, size_t count) = 0;
  virtual TFileResult DoSetEnd(uint64_t position) = 0;
  virtual TFileResult DoFlush() = 0;
  virtual bool DoLockRange(uint64_t offset, uint64_t length) = 0;
  virtual bool DoUnlockRange(uint64_t offset, uint64_t length) = 0;

  void SetMode(const TFileFlags& granted, bool forced_read_only);

 private:
  struct THandleEntry {
    TFileHandle id;
    uint64_t position;
  };

  THandleEntry* FindHandle(TFileHandle handle);
  const THandleEntry* FindHandle(TFileHandle handle) const;
  bool CanIssueHandle() const;
  TFileResult IssueHandle();
  TFileResult ReadEntry(THandleEntry& entry, uint64_t offset, void* buffer, size_t count);
  TFileResult WriteEntry(THandleEntry& entry, uint64_t offset, const void* buffer, size_t count);

  mutable std::recursive_mutex guard_;
  std::string name_;
  bool exclusive_ = false;
  bool read_only_ = false;
  bool forced_read_only_ = false;
  bool temporary_ = false;
  bool hidden_ = false;
  std::vector<THandleEntry> handles_;
  TFileHandle last_handle_id_ = 0;
};

// Holds a base file's guard for a scope.
class ScopedFileGuard {
 public:
  explicit ScopedFileGuard(TBaseFile& file) : file_(file) { file_.EnterGuard(); }
  ~ScopedFileGuard() { file_.LeaveGuard(); }
  ScopedFileGuard(const ScopedFileGuard&) = delete;
  ScopedFileGuard& operator=(const ScopedFileGuard&) = delete;

 private:
  TBaseFile& file_;
};

}  // namespace veltra
