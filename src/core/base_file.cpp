#include "core/base_file.h"

#include <cerrno>
#include <limits>
#include <utility>

#include "core/os_error.h"

namespace veltra {

namespace {

// The handle table's first allocation; most files have a few handles.
constexpr size_t kInitialHandleCapacity = 64;

using Lock = std::lock_guard<std::recursive_mutex>;

// A failure that the file layer itself decides, reported like the system's: the number is left
// pending for the message and the mapped code is returned.
TFileResult OsFailure(int os_error) { return TFileResult::Failure(MapOsError(os_error)); }

}  // namespace

TBaseFile::TBaseFile(std::string name) : name_(std::move(name)) {
  handles_.reserve(kInitialHandleCapacity);
}

TBaseFile::~TBaseFile() = default;

std::string TBaseFile::name() const {
  Lock lock(guard_);
  return name_;
}

bool TBaseFile::exclusive() const {
  Lock lock(guard_);
  return exclusive_;
}

bool TBaseFile::read_only() const {
  Lock lock(guard_);
  return read_only_;
}

bool TBaseFile::forced_read_only() const {
  Lock lock(guard_);
  return forced_read_only_;
}

bool TBaseFile::temporary() const {
  Lock lock(guard_);
  return temporary_;
}

bool TBaseFile::hidden() const {
  Lock lock(guard_);
  return hidden_;
}

uint32_t TBaseFile::open_count() const {
  Lock lock(guard_);
  return static_cast<uint32_t>(handles_.size());
}

bool TBaseFile::IsHandleOpen(TFileHandle handle) const {
  Lock lock(guard_);
  return FindHandle(handle) != nullptr;
}

void TBaseFile::SetMode(const TFileFlags& granted, bool forced_read_only) {
  exclusive_ = granted.exclusive;
  read_only_ = granted.read_only;
  forced_read_only_ = forced_read_only;
  temporary_ = granted.temporary;
  hidden_ = granted.hidden;
}

TBaseFile::THandleEntry* TBaseFile::FindHandle(TFileHandle handle) {
  for (THandleEntry& entry : handles_) {
    if (entry.id == handle) return &entry;
  }
  return nullptr;
}

const TBaseFile::THandleEntry* TBaseFile::FindHandle(TFileHandle handle) const {
  return const_cast<TBaseFile*>(this)->FindHandle(handle);
}

bool TBaseFile::CanIssueHandle() const {
  return handles_.size() < kMaxOpenHandles &&
         last_handle_id_ < std::numeric_limits<TFileHandle>::max();
}

TFileResult TBaseFile::IssueHandle() {
  handles_.push_back(THandleEntry{.id = ++last_handle_id_, .position = 0});
  return TFileResult::Value(last_handle_id_);
}

TFileResult TBaseFile::Size() {
  Lock lock(guard_);
  return DoSize();
}

TFileResult TBaseFile::Create(const TFileFlags& flags) {
  Lock lock(guard_);
  if (!handles_.empty()) return TFileResult::Failure(kErrAccessDenied);
  if (!CanIssueHandle()) return TFileResult::Failure(kErrTooManyFiles);
  TFileResult created = DoCreate(flags);
  if (!created) return created;
  SetMode(TFileFlags{.exclusive = true,
                     .read_only = false,
                     .temporary = flags.temporary,
                     .hidden = flags.hidden},
          false);
  return IssueHandle();
}

TFileResult TBaseFile::Open(const TFileFlags& requested) {
  Lock lock(guard_);
  if (!CanIssueHandle()) return TFileResult::Failure(kErrTooManyFiles);
  if (handles_.empty()) {
    TFileResult opened = DoOpenFirst(requested);
    if (!opened) return opened;
  }
  return IssueHandle();
}

TFileResult TBaseFile::Close(TFileHandle handle) {
  Lock lock(guard_);
  THandleEntry* entry = FindHandle(handle);
  if (entry == nullptr) return TFileResult::Failure(kErrInvalidFileHandle);
  handles_.erase(handles_.begin() + (entry - handles_.data()));
  if (!handles_.empty()) return TFileResult::Done();
  return DoCloseLast();
}

TFileResult TBaseFile::CloseAllHandles() {
  Lock lock(guard_);
  if (handles_.empty()) return TFileResult::Done();
  handles_.clear();
  return DoCloseLast();
}

TFileResult TBaseFile::Rename(const std::string& new_name) {
  Lock lock(guard_);
  if (!handles_.empty()) return TFileResult::Failure(kErrAccessDenied);
  TFileResult renamed = DoRename(new_name);
  if (renamed) name_ = new_name;
  return renamed;
}

TFileResult TBaseFile::Delete() {
  Lock lock(guard_);
  if (!handles_.empty()) return TFileResult::Failure(kErrAccessDenied);
  return DoDelete();
}

TFileResult TBaseFile::ReadEntry(THandleEntry& entry, uint64_t offset, void* buffer, size_t count) {
  if (offset > kMaxFileOffset || count > kMaxFileOffset - offset) return OsFailure(EINVAL);
  if (count == 0) {
    entry.position = offset;
    return TFileResult::Value(0);
  }
  TFileResult read = DoRead(offset, buffer, count);
  if (read) entry.position = offset + static_cast<uint64_t>(read.value());
  return read;
}

TFileResult TBaseFile::WriteEntry(THandleEntry& entry, uint64_t offset, const void* buffer,
                                  size_t count) {
  if (offset > kMaxFileOffset || count > kMaxFileOffset - offset) return OsFailure(EINVAL);
  if (read_only_) return OsFailure(EBADF);
  TFileResult written = count == 0 ? DoSetEnd(offset) : DoWrite(offset, buffer, count);
  if (written) entry.position = offset + count;
  return written;
}

TFileResult TBaseFile::Read(TFileHandle handle, void* buffer, size_t count) {
  Lock lock(guard_);
  THandleEntry* entry = FindHandle(handle);
  if (entry == nullptr) return OsFailure(EBADF);
  return ReadEntry(*entry, entry->position, buffer, count);
}

TFileResult TBaseFile::Write(TFileHandle handle, const void* buffer, size_t count) {
  Lock lock(guard_);
  THandleEntry* entry = FindHandle(handle);
  if (entry == nullptr) return OsFailure(EBADF);
  return WriteEntry(*entry, entry->position, buffer, count);
}

TFileResult TBaseFile::ReadAt(TFileHandle handle, uint64_t offset, void* buffer, size_t count) {
  Lock lock(guard_);
  THandleEntry* entry = FindHandle(handle);
  if (entry == nullptr) return OsFailure(EBADF);
  return ReadEntry(*entry, offset, buffer, count);
}

TFileResult TBaseFile::WriteAt(TFileHandle handle, uint64_t offset, const void* buffer,
                               size_t count) {
  Lock lock(guard_);
  THandleEntry* entry = FindHandle(handle);
  if (entry == nullptr) return OsFailure(EBADF);
  return WriteEntry(*entry, offset, buffer, count);
}

TFileResult TBaseFile::Flush(TFileHandle handle) {
  Lock lock(guard_);
  if (FindHandle(handle) == nullptr) return OsFailure(EBADF);
  return DoFlush();
}

TFileResult TBaseFile::Seek(TFileHandle handle, TSeekOrigin origin, int64_t offset) {
  Lock lock(guard_);
  THandleEntry* entry = FindHandle(handle);
  if (entry == nullptr) return OsFailure(EBADF);
  int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::soBeginning:
      break;
    case TSeekOrigin::soCurrent:
      base = static_cast<int64_t>(entry->position);
      break;
    case TSeekOrigin::soEnd: {
      TFileResult size = DoSize();
      if (!size) return size;
      base = size.value();
      break;
    }
    default:
      return OsFailure(EINVAL);
  }
  // Both lie in [0, 2^63 - 1] or offset is negative, so the sum cannot overflow from below; only
  // a positive offset can carry it past the top.
  if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) return OsFailure(EINVAL);
  const int64_t position = base + offset;
  if (position < 0) return OsFailure(EINVAL);
  entry->position = static_cast<uint64_t>(position);
  return TFileResult::Value(position);
}

namespace {

bool IsLockableRange(uint64_t offset, uint64_t length) {
  return length > 0 && offset < kMaxFileOffset && length <= kMaxFileOffset - offset;
}

}  // namespace

bool TBaseFile::LockRange(uint64_t offset, uint64_t length) {
  Lock lock(guard_);
  if (!IsLockableRange(offset, length)) return false;
  return DoLockRange(offset, length);
}

bool TBaseFile::UnlockRange(uint64_t offset, uint64_t length) {
  Lock lock(guard_);
  if (!IsLockableRange(offset, length)) return false;
  return DoUnlockRange(offset, length);
}

}  // namespace veltra
