// The physical file: a base file backed by one operating-system file. However many handles are
// open, the process holds one descriptor for it, opened with the first handle and closed with the
// last; every handle reads and writes through it at its own position.
//
// Opening (the first handle): a file that carries the read-only attribute is opened read-only and
// reports forced read-only, whoever runs the process; a read-write open that the system refuses
// is tried once more read-only. Creating never truncates a file that is open anywhere: the
// existing file is emptied only once this process holds it exclusively, and a create that must
// be new fails when the name exists.
//
// Failures of the system come back as negated engine codes with the error number left pending
// (MapOsError). Threads: as for every base file, the guard serialises the operations.
#pragma once

#include <string>

#include "core/base_file.h"
#include "platform/file.h"

namespace veltra {

class TPhysicalFile final : public TBaseFile {
 public:
  // `path` is the file's full path.
  explicit TPhysicalFile(std::string path);
  ~TPhysicalFile() override;

  bool in_memory() const override { return false; }

  // Whether the operating-system file is open (a handle is open).
  bool is_os_file_open() const { return file_.is_open(); }
  // The operating-system file's identity while open (tests compare it).
  platform::FileId os_file_id() const { return file_.id(); }

 protected:
  TFileResult DoSize() override;
  TFileResult DoCreate(const TFileFlags& flags) override;
  TFileResult DoOpenFirst(const TFileFlags& requested) override;
  TFileResult DoCloseLast() override;
  TFileResult DoRename(const std::string& new_name) override;
  TFileResult DoDelete() override;
  TFileResult DoRead(uint64_t position, void* buffer, size_t count) override;
  TFileResult DoWrite(uint64_t position, const void* buffer, size_t count) override;
  TFileResult DoSetEnd(uint64_t position) override;
  TFileResult DoFlush() override;
  bool DoLockRange(uint64_t offset, uint64_t length) override;
  bool DoUnlockRange(uint64_t offset, uint64_t length) override;

 private:
  std::string Path() const { return name(); }

  platform::File file_;  // open while a handle is open
};

}  // namespace veltra
