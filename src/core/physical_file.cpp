#include "core/physical_file.h"

#include <cerrno>
#include <utility>

#include "core/os_error.h"

namespace veltra {

namespace {

TFileResult Failed(int os_error) { return TFileResult::Failure(MapOsError(os_error)); }

TFileResult Answer(const platform::OsStatus& status) {
  return status ? TFileResult::Done() : Failed(status.error());
}

}  // namespace

TPhysicalFile::TPhysicalFile(std::string path) : TBaseFile(std::move(path)) {}

TPhysicalFile::~TPhysicalFile() = default;

TFileResult TPhysicalFile::DoSize() {
  if (!file_.is_open()) return Failed(EBADF);
  platform::OsResult<uint64_t> size = file_.Size();
  if (!size) return Failed(size.error());
  return TFileResult::Value(static_cast<int64_t>(*size));
}

TFileResult TPhysicalFile::DoCreate(const TFileFlags& flags) {
  const platform::CreateAttributes attributes{.temporary = flags.temporary, .hidden = flags.hidden};
  platform::OsResult<platform::File> created =
      flags.must_be_new ? platform::File::CreateNew(Path(), attributes)
                        : platform::File::CreateOrReplace(Path(), attributes);
  if (!created) return Failed(created.error());
  file_ = std::move(*created);
  return TFileResult::Done();
}

TFileResult TPhysicalFile::DoOpenFirst(const TFileFlags& requested) {
  const std::string path = Path();
  platform::OsResult<bool> attribute = platform::IsReadOnly(path);
  if (!attribute) return Failed(attribute.error());
  const bool read_only_attribute = *attribute;

  platform::OpenMode mode{.read_only = requested.read_only || read_only_attribute,
                          .exclusive = requested.exclusive};
  platform::OsResult<platform::File> opened = platform::File::Open(path, mode);
  if (!opened && !mode.read_only) {
    mode.read_only = true;
    opened = platform::File::Open(path, mode);
  }
  if (!opened) return Failed(opened.error());
  file_ = std::move(*opened);

  TFileFlags granted = requested;
  granted.read_only = file_.read_only();
  SetMode(granted, read_only_attribute || file_.forced_read_only());
  return TFileResult::Done();
}

TFileResult TPhysicalFile::DoCloseLast() { return Answer(file_.Close()); }

TFileResult TPhysicalFile::DoRename(const std::string& new_name) {
  return Answer(platform::RenameFile(Path(), new_name));
}

TFileResult TPhysicalFile::DoDelete() { return Answer(platform::DeleteFile(Path())); }

TFileResult TPhysicalFile::DoRead(uint64_t position, void* buffer, size_t count) {
  if (!file_.is_open()) return Failed(EBADF);
  platform::OsResult<size_t> read = file_.ReadAt(position, buffer, count);
  if (!read) return Failed(read.error());
  return TFileResult::Value(static_cast<int64_t>(*read));
}

TFileResult TPhysicalFile::DoWrite(uint64_t position, const void* buffer, size_t count) {
  if (!file_.is_open()) return Failed(EBADF);
  platform::OsStatus written = file_.WriteAt(position, buffer, count);
  if (!written) return Failed(written.error());
  return TFileResult::Value(static_cast<int64_t>(count));
}

TFileResult TPhysicalFile::DoSetEnd(uint64_t position) {
  if (!file_.is_open()) return Failed(EBADF);
  return Answer(file_.SetEndOfFile(position));
}

TFileResult TPhysicalFile::DoFlush() {
  if (!file_.is_open()) return Failed(EBADF);
  return Answer(file_.Flush());
}

bool TPhysicalFile::DoLockRange(uint64_t offset, uint64_t length) {
  if (!file_.is_open()) return false;
  platform::OsStatus locked = file_.LockRange(offset, length);
  // A range held by someone is the expected answer; anything else is left pending for the
  // error the lock layer raises.
  if (!locked && locked.error() != EAGAIN) MapOsError(locked.error());
  return locked.ok();
}

bool TPhysicalFile::DoUnlockRange(uint64_t offset, uint64_t length) {
  if (!file_.is_open()) return false;
  platform::OsStatus unlocked = file_.UnlockRange(offset, length);
  if (!unlocked && unlocked.error() != ENOLCK) MapOsError(unlocked.error());
  return unlocked.ok();
}

}  // namespace veltra
