// The engine's file registry: it makes every file name correspond to exactly one base file object
// in the process, so that all tables, cursors and sessions that use a file share its object (and
// with it one operating-system handle, its guard and its memory-file locks).
//
// Two lists, each with its own lock: the physical files and the memory files. Names are compared
// after trimming leading and trailing blanks (and control characters). Memory file names compare
// with ASCII letters folded, like table names. Physical names compare exactly: Linux paths are
// case-sensitive, so two spellings that differ in case may be two files (or two directories), and
// one object for both would mix their data. The directory layer resolves a table name to the
// entry on disk (platform::ResolveName) before it reaches the registry.
//
// A physical file object lives while a handle is open and is dropped with the last close. A memory
// file stays registered, with its content, after its last close until it is deleted. A temporary
// file (of either kind) is deleted and dropped when its last handle closes.
//
// Operations answer a failure as a negated engine code (TFileResult); the engine file raises it
// with the file's or table's name. Threads: any thread may call any operation; each runs under its
// list's lock and calls into the file objects while holding it.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/base_file.h"

namespace veltra {

// The answer of an open or create: the shared object and the new handle, or a failure.
struct TOpenedFile {
  TBaseFile* file = nullptr;      // owned by the registry; valid until the handle is closed
  TFileHandle handle = 0;         // > 0, or the negated engine code of a failure
  bool read_only = false;         // the mode the handle really has
  bool forced_read_only = false;  // the file carries the read-only attribute

  bool ok() const { return handle > 0; }
  TEngineCode code() const { return handle < 0 ? static_cast<TEngineCode>(-handle) : 0; }
};

// Names found by List, or the engine code of a failure (0 on success).
struct TFileList {
  TEngineCode error = 0;
  std::vector<std::string> names;
};

class TFileRegistry {
 public:
  TFileRegistry();
  ~TFileRegistry();  // closes every file as CloseAll does
  TFileRegistry(const TFileRegistry&) = delete;
  TFileRegistry& operator=(const TFileRegistry&) = delete;

  // Memory: whether the name is registered. Physical: registered, or the system finds a file
  // (not a directory) of that name.
  bool Exists(std::string_view name, bool in_memory);

  // Opens a file and returns its object and a new handle.
  // - Registered, no handle open: the object takes over `flags` and opens.
  // - Registered with handles open: kErrAccessDenied when the object was opened exclusive or
  //   `flags.exclusive` is asked; otherwise a handle is added without reopening, and the answer
  //   reports the mode the object really has (a file opened read-only stays read-only).
  // - Not registered: memory, kErrTableNotFound; physical, a new object is opened and registered
  //   on success (on failure nothing is registered).
  TOpenedFile Open(std::string_view name, bool in_memory, const TFileFlags& flags);

  // Creates a file (empty, exclusive, read-write) and returns its object and a new handle.
  // - Registered with handles open: kErrAccessDenied.
  // - Registered without handles (a closed memory file): created again in place.
  // - Not registered: a new object is created and registered on success. A physical file that
  //   exists on disk is replaced, unless it is open anywhere (kErrAccessDenied).
  TOpenedFile Create(std::string_view name, bool in_memory, bool hidden, bool temporary);

  // As Create, but never takes over an existing name: kErrAccessDenied when the name is
  // registered or (physical) a file of that name exists. Two threads or processes racing for one
  // name never both succeed. Temporary names are reserved through it.
  TOpenedFile CreateNew(std::string_view name, bool in_memory, bool hidden, bool temporary);

  // Closes `handle` of `file`. kErrTableNotFound when the file is not registered in the chosen
  // list or has no handle open; kErrInvalidFileHandle for a handle it does not have. When the last
  // handle goes: a temporary file is deleted and dropped, a physical file is dropped, a memory
  // file stays registered. `file` is compared by address only, so a stale pointer is safe here.
  TFileResult Close(const TBaseFile* file, TFileHandle handle, bool in_memory);

  // Renames a file. kErrAccessDenied when `new_name` is registered, or `old_name` is registered
  // with handles open. A registered file is renamed and moves to its new place; a physical file
  // that is not registered is renamed on disk (never replacing a file); an unregistered memory
  // name is kErrTableNotFound.
  TFileResult Rename(std::string_view old_name, std::string_view new_name, bool in_memory);

  // Deletes a file. Registered: kErrAccessDenied while handles are open, else deleted and
  // dropped. Not registered: physical, deleted on disk; memory, kErrTableNotFound.
  TFileResult Delete(std::string_view name, bool in_memory);

  // The names matching `pattern` ("dir/*.dat": a directory, then a wildcard pattern of '*' and
  // '?' compared without regard to ASCII case), without their directory and, unless
  // `with_extensions`, without their extension. Memory: the registered names whose directory part
  // equals the pattern's; physical: the regular files of the directory on disk. Sorted.
  TFileList List(bool in_memory, std::string_view pattern, bool with_extensions);

  // Closes every handle of every file of both lists, deletes the temporary ones and drops every
  // object (memory files lose their content). For the engine's stop. Failures are ignored: every
  // object is freed whatever happens.
  void CloseAll();

  // How many objects a list holds (physical objects are those with handles open).
  size_t RegisteredCount(bool in_memory);

  // The registry's form of a name: trimmed; for memory files also ASCII letters upper-cased.
  static std::string KeyOf(std::string_view name, bool in_memory);
  // The name trimmed of leading and trailing blanks and control characters.
  static std::string_view TrimName(std::string_view name);

 private:
  struct TList {
    std::mutex lock;
    std::map<std::string, std::unique_ptr<TBaseFile>> files;  // by KeyOf(name)
  };

  TList& ListOf(bool in_memory) { return in_memory ? memory_ : physical_; }
  static std::unique_ptr<TBaseFile> MakeFile(const std::string& name, bool in_memory);
  TOpenedFile CreateLocked(TList& list, std::string_view name, bool in_memory, bool hidden,
                           bool temporary, bool must_be_new);

  TList physical_;
  TList memory_;
};

}  // namespace veltra
