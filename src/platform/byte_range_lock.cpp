#include "platform/byte_range_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

namespace veltra::platform {
namespace {

struct flock RangeOf(uint64_t offset, uint64_t length, short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = static_cast<off_t>(length);
  range.l_pid = 0;  // required by the open-file-description commands
  return range;
}

short SystemType(OfdLockType type) { return type == OfdLockType::olWrite ? F_WRLCK : F_RDLCK; }

// The registry of per-file states. It holds weak references only, so a state lives exactly as
// long as the File objects that use it; expired entries are swept when the map has doubled.
class OpenFileRegistry {
 public:
  std::shared_ptr<OpenFileState> Acquire(FileId id) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::weak_ptr<OpenFileState>& slot = states_[id];
    std::shared_ptr<OpenFileState> state = slot.lock();
    if (!state) {
      state = std::make_shared<OpenFileState>();
      slot = state;
      SweepIfGrown();
    }
    return state;
  }

  std::shared_ptr<OpenFileState> Find(FileId id) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = states_.find(id);
    return found == states_.end() ? nullptr : found->second.lock();
  }

 private:
  static constexpr size_t kFirstSweepSize = 64;

  void SweepIfGrown() {
    if (states_.size() < sweep_at_) return;
    std::erase_if(states_, [](const auto& entry) { return entry.second.expired(); });
    sweep_at_ = std::max(kFirstSweepSize, 2 * states_.size());
  }

  std::mutex mutex_;
  std::map<FileId, std::weak_ptr<OpenFileState>> states_;
  size_t sweep_at_ = kFirstSweepSize;
};

OpenFileRegistry& Registry() {
  static OpenFileRegistry registry;
  return registry;
}

}  // namespace

OsStatus ValidateLockRange(uint64_t offset, uint64_t length) {
  if (length == 0 || offset >= kLockSpaceEnd || length > kLockSpaceEnd - offset) {
    return OsError{EINVAL};
  }
  return OsStatus::Ok();
}

OsResult<FileId> FileIdOf(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return OsError{errno};
  return FileId{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

OsStatus OfdLock(int fd, uint64_t offset, uint64_t length, OfdLockType type) {
  struct flock range = RangeOf(offset, length, SystemType(type));
  while (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
    if (errno == EINTR) continue;
    // The system answers a held lock with EACCES or EAGAIN; callers see one number.
    return OsError{errno == EACCES ? EAGAIN : errno};
  }
  return OsStatus::Ok();
}

OsStatus OfdUnlock(int fd, uint64_t offset, uint64_t length) {
  struct flock range = RangeOf(offset, length, F_UNLCK);
  while (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
    if (errno == EINTR) continue;
    return OsError{errno};
  }
  return OsStatus::Ok();
}

OsResult<bool> OfdConflicts(int fd, uint64_t offset, uint64_t length, OfdLockType type) {
  struct flock range = RangeOf(offset, length, SystemType(type));
  while (::fcntl(fd, F_OFD_GETLK, &range) != 0) {
    if (errno == EINTR) continue;
    return OsError{errno};
  }
  return range.l_type != F_UNLCK;
}

std::shared_ptr<OpenFileState> AcquireOpenFileState(FileId id) { return Registry().Acquire(id); }

std::shared_ptr<OpenFileState> FindOpenFileState(FileId id) { return Registry().Find(id); }

}  // namespace veltra::platform
