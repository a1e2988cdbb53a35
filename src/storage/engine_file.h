// The engine file: the handle through which one open table (or a backup, a copy, the lock layer)
// uses one file. It opens and creates the file through the engine's file registry, so every user
// of a name in the process shares one base file object, and it turns every failure into an
// engine error raised with Name() in its context (the file's name, or for a table's files the
// table's name).
//
// Failures raised:
//   opening, creating, closing, deleting, renaming   the registry's code (kErrTableNotFound when
//                                                    the file to open does not exist)
//   a read that fails or, unless accepted, ends short  kErrReadError (9217)
//   a write that fails or stores fewer bytes           kErrWriteError (9218)
//   seek, size, flush                                  the code of the failure
// The operating system's error number, when there was one, is in the error's ContextOsError.
//
// Threads: an engine file belongs to one user at a time; the base file it shares is guarded by
// the base file's own guard. Seek followed by Read or Write must be done under
// ScopedEngineFileGuard (or EnterGuard/LeaveGuard) when other users may share the file; ReadAt and
// WriteAt take the guard themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/base_file.h"

namespace veltra {

class TDataEngine;

// Called with the file's name and a whole percentage done, 0 to 100.
using TCopyProgress = std::function<void(std::string_view file_name, int percent)>;

// How a copy is written and reported.
struct TCopyOptions {
  // 0: a plain copy; 1 to 9: the compressed copy format at that zlib level.
  uint8_t compression_level = 0;
  // Progress is reported again once the percentage has grown by at least this much (below 1
  // counts as 1).
  int progress_step = 1;
  TCopyProgress progress = {};  // may be empty
};

class TEngineFile {
 public:
  // A closed engine file for `file_name` in the physical or the memory registry of `engine`.
  // REQUIRES: `engine` outlives the object.
  TEngineFile(TDataEngine& engine, std::string file_name, bool in_memory);
  // Closes the file if it is open, ignoring a failure (call Close to see it).
  virtual ~TEngineFile();
  TEngineFile(const TEngineFile&) = delete;
  TEngineFile& operator=(const TEngineFile&) = delete;

  // The name that errors report: the file name here; a table's files answer the table's name.
  virtual std::string Name() const;

  TDataEngine& engine() const { return engine_; }
  const std::string& file_name() const { return file_name_; }
  bool in_memory() const { return in_memory_; }
  bool is_open() const { return base_file_ != nullptr; }
  // The logical handle while open, else 0.
  TFileHandle handle() const { return handle_; }
  // REQUIRES: is_open().
  TBaseFile& base_file() const { return *base_file_; }

  // The modes asked for by the next Open or Create. REQUIRES: closed.
  void set_file_name(std::string file_name);
  void set_exclusive(bool exclusive) { exclusive_ = exclusive; }
  void set_read_only(bool read_only) { read_only_ = read_only; }
  void set_temporary(bool temporary) { temporary_ = temporary; }
  void set_hidden(bool hidden) { hidden_ = hidden; }
  // The modes: as asked while closed; read-only and forced read-only as granted once open.
  bool exclusive() const { return exclusive_; }
  bool read_only() const { return read_only_; }
  bool forced_read_only() const { return forced_read_only_; }
  bool temporary() const { return temporary_; }
  bool hidden() const { return hidden_; }

  // Opens the file with the modes set. Raises kErrTableNotFound when it does not exist, else the
  // registry's code (kErrAccessDenied for a share conflict). REQUIRES: closed.
  virtual void Open();

  // Closes the file. It is closed afterwards even when the registry reports a failure, which is
  // then raised. Closing a closed file does nothing.
  virtual void Close();

  // Creates the file (empty, exclusive, read-write) and leaves it open. REQUIRES: closed.
  virtual void Create();

  // Deletes the file by name. REQUIRES: closed (a file open elsewhere: kErrAccessDenied).
  virtual void Delete();

  // Renames the file and takes the new name. REQUIRES: closed.
  virtual void Rename(const std::string& new_name);

  // Writes a copy of this file to a new file `target_name` (created, replacing a file of that
  // name that nobody has open; in the same registry as this file), plain or compressed as the
  // options say, and closes it. REQUIRES: open.
  virtual void CopyToFile(const std::string& target_name, const TCopyOptions& options);

  // Replaces the content of this file with that of the copy `source_name` (plain or compressed,
  // recognised by its first bytes; in the same registry as this file). REQUIRES: open read-write.
  virtual void ReplaceFromFile(const std::string& source_name, const TCopyOptions& options);

  // Writes a copy of this file at the current position of `target`, which is left after it.
  // REQUIRES: both open.
  virtual void AppendToFile(TEngineFile& target, const TCopyOptions& options);

  // Replaces the content of this file with the copy that starts at the current position of
  // `source` and holds `byte_count` bytes of file content (uncompressed bytes); `source` is left
  // after the copy. REQUIRES: both open.
  virtual void ReadFromFile(TEngineFile& source, uint64_t byte_count, const TCopyOptions& options);

  // Moves the position of `source` past a copy of `byte_count` bytes of file content. REQUIRES:
  // `source` open.
  virtual void SkipInFile(TEngineFile& source, uint64_t byte_count);

  // Reads up to `count` bytes at the position and returns how many arrived. Fewer than `count`
  // raise kErrReadError unless `accept_short`. REQUIRES: open.
  virtual size_t Read(void* buffer, size_t count, bool accept_short);

  // Writes `count` bytes at the position; a count of 0 sets the end of the file there. Raises
  // kErrWriteError when not every byte was written. REQUIRES: open.
  virtual void Write(const void* buffer, size_t count);

  // Writes the file's data to the disk. REQUIRES: open.
  virtual void Flush();

  // Moves the position and returns it. REQUIRES: open.
  uint64_t Seek(TSeekOrigin origin, int64_t offset);
  // The size of the file; the position is kept. REQUIRES: open.
  uint64_t Size();
  // Cuts (or extends with zeros) the file to `size` bytes; the position is left there. Failures
  // are raised as by Seek and Write. REQUIRES: open.
  void SetEnd(uint64_t size);

  // Seek and Read or Write under one entry of the guard, without allocating: the block caches'
  // path. Same answers and errors as Read and Write. REQUIRES: open.
  size_t ReadAt(uint64_t offset, void* buffer, size_t count, bool accept_short);
  void WriteAt(uint64_t offset, const void* buffer, size_t count);

  // Byte-range locks of the file (TBaseFile::LockRange): true when granted or released.
  // REQUIRES: open.
  bool LockRange(uint64_t offset, uint64_t length);
  bool UnlockRange(uint64_t offset, uint64_t length);

  // The base file's guard. REQUIRES: open, and the file stays open while the guard is held.
  void EnterGuard() { base_file_->EnterGuard(); }
  void LeaveGuard() { base_file_->LeaveGuard(); }

  // Raises `code` with Name() as the table in the context. Never returns.
  [[noreturn]] void RaiseFileError(TEngineCode code) const;

 private:
  void TakeOpened(TBaseFile* file, TFileHandle handle, bool read_only, bool forced_read_only);
  int64_t Checked(TFileResult result) const;

  TDataEngine& engine_;
  std::string file_name_;
  bool in_memory_;
  bool exclusive_ = false;
  bool read_only_ = false;
  bool forced_read_only_ = false;
  bool temporary_ = false;
  bool hidden_ = false;
  TBaseFile* base_file_ = nullptr;  // the registry's object while open
  TFileHandle handle_ = 0;
};

// Holds an open engine file's guard for a scope.
class ScopedEngineFileGuard {
 public:
  explicit ScopedEngineFileGuard(TEngineFile& file) : guard_(file.base_file()) {}

 private:
  ScopedFileGuard guard_;
};

}  // namespace veltra
