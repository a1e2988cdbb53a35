#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/fault_injection.h"

namespace veltra::platform {
namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kNewFileMode = 0666;        // narrowed by the umask
constexpr mode_t kTemporaryFileMode = 0600;  // a temporary file is nobody else's business
constexpr uint64_t kMaxFileOffset = 0x7FFFFFFFFFFFFFFFull;
// CreateOrReplace retries when the file vanishes between "it exists" and opening it.
constexpr int kReplaceAttempts = 3;
// Flags of every open of a file by name: no descriptor leaks into programs this process starts,
// and a name that turned out to be a FIFO or a terminal neither blocks nor becomes one.
constexpr int kOpenFlags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

std::atomic<uint64_t> g_next_handle_id{1};

// Closes a descriptor on every path unless it was handed on.
class DescriptorGuard {
 public:
  explicit DescriptorGuard(int fd) : fd_(fd) {}
  ~DescriptorGuard() {
    if (fd_ >= 0) ::close(fd_);
  }
  DescriptorGuard(const DescriptorGuard&) = delete;
  DescriptorGuard& operator=(const DescriptorGuard&) = delete;
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

OsStatus FromErrno() { return OsError{errno}; }

bool RefusesWriting(int error) {
  return error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY;
}

// EISDIR for a directory, EINVAL for anything else that is not a regular file.
OsStatus CheckRegular(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return OsError{EISDIR};
  if (!S_ISREG(info.st_mode)) return OsError{EINVAL};
  return OsStatus::Ok();
}

OsResult<struct stat> StatRegular(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return OsError{errno};
  if (OsStatus regular = CheckRegular(info); !regular.ok()) return OsError{regular.error()};
  return info;
}

OsStatus CheckTransferRange(uint64_t offset, size_t size) {
  if (offset > kMaxFileOffset || size > kMaxFileOffset - offset) return OsError{EINVAL};
  return OsStatus::Ok();
}

// The directory part of a path, for creating a file in it: "." when there is none.
std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Gives the unnamed file behind `fd` the name `path`; EEXIST when the name is taken.
OsStatus LinkIntoPlace(int fd, const std::string& path) {
  char proc_path[64];
  std::snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, proc_path, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return OsStatus::Ok();
  }
  int error = errno;
  if (error == EEXIST) return OsError{EEXIST};
  // Without /proc a privileged process can still link the descriptor itself.
  if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return OsStatus::Ok();
  return OsError{errno == EEXIST ? EEXIST : error};
}

// EBUSY when the file at `path` is open anywhere, shared or exclusive; Ok otherwise, also when
// it cannot be probed (the operation that follows then reports whatever is wrong with the path).
// A symbolic link is not followed: deleting or renaming it leaves its target alone.
OsStatus RefuseIfOpen(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | kOpenFlags);
  if (fd < 0) return OsStatus::Ok();
  DescriptorGuard guard(fd);
  if (OsResult<FileId> id = FileIdOf(fd); id.ok()) {
    if (std::shared_ptr<OpenFileState> state = FindOpenFileState(*id)) {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (state->shared_opens + state->exclusive_opens > 0) return OsError{EBUSY};
    }
  }
  OsResult<bool> busy = OfdConflicts(fd, kShareLockOffset, 1, OfdLockType::olWrite);
  if (busy.ok() && *busy) return OsError{EBUSY};
  return OsStatus::Ok();
}

// Renames without replacing where the file system has no RENAME_NOREPLACE: a hard link fails
// on an existing target, and only without hard links does a check-then-rename remain.
OsStatus RenameByLink(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) == 0) {
    if (::unlink(from.c_str()) == 0) return OsStatus::Ok();
    int error = errno;
    ::unlink(to.c_str());
    return OsError{error};
  }
  int error = errno;
  if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS) return OsError{error};
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) return OsError{EEXIST};
  if (::rename(from.c_str(), to.c_str()) != 0) return FromErrno();
  return OsStatus::Ok();
}

}  // namespace

File::~File() { (void)Close(); }

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept {
  if (this == &other) return *this;
  (void)Close();
  fd_ = std::exchange(other.fd_, -1);
  handle_id_ = other.handle_id_;
  id_ = other.id_;
  state_ = std::move(other.state_);
  path_ = std::move(other.path_);
  writable_descriptor_ = other.writable_descriptor_;
  read_only_ = other.read_only_;
  forced_read_only_ = other.forced_read_only_;
  exclusive_ = other.exclusive_;
  temporary_ = other.temporary_;
  hidden_ = other.hidden_;
  share_held_ = other.share_held_;
  other.Reset();
  return *this;
}

void File::Reset() {
  fd_ = -1;
  handle_id_ = 0;
  id_ = FileId{};
  state_.reset();
  path_.clear();
  writable_descriptor_ = false;
  read_only_ = false;
  forced_read_only_ = false;
  exclusive_ = false;
  temporary_ = false;
  hidden_ = false;
  share_held_ = false;
}

OsResult<File> File::Adopt(int fd, const std::string& path, bool writable_descriptor, OpenMode mode,
                           bool forced_read_only, CreateAttributes attributes) {
  File file;
  file.fd_ = fd;
  file.path_ = path;
  file.writable_descriptor_ = writable_descriptor;
  file.read_only_ = mode.read_only;
  file.forced_read_only_ = forced_read_only;
  file.exclusive_ = mode.exclusive;
  file.temporary_ = attributes.temporary;
  file.hidden_ = attributes.hidden;

  struct stat info {};
  if (::fstat(fd, &info) != 0) return OsError{errno};
  if (OsStatus regular = CheckRegular(info); !regular.ok()) return OsError{regular.error()};
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return OsError{errno};

  file.id_ = FileId{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  file.state_ = AcquireOpenFileState(file.id_);
  file.handle_id_ = g_next_handle_id.fetch_add(1, std::memory_order_relaxed);
  if (OsStatus shared = file.TakeShareLock(); !shared.ok()) return OsError{shared.error()};
  return OsResult<File>(std::move(file));
}

OsStatus File::TakeShareLock() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->exclusive_opens > 0 || (exclusive_ && state_->shared_opens > 0)) {
    return OsError{EBUSY};
  }
  OfdLockType type =
      exclusive_ && writable_descriptor_ ? OfdLockType::olWrite : OfdLockType::olRead;
  OsStatus locked = OfdLock(fd_, kShareLockOffset, 1, type);
  if (!locked.ok()) return OsError{locked.error() == EAGAIN ? EBUSY : locked.error()};
  ++(exclusive_ ? state_->exclusive_opens : state_->shared_opens);
  share_held_ = true;
  return OsStatus::Ok();
}

OsResult<File> File::Open(const std::string& path, OpenMode mode) {
  OsResult<struct stat> info = StatRegular(path);
  if (!info.ok()) return OsError{info.error()};
  bool attribute_read_only = (info->st_mode & kWriteBits) == 0;
  bool read_only = mode.read_only || attribute_read_only;
  bool forced_read_only = !mode.read_only && attribute_read_only;

  // Read-write even for a read-only handle, when allowed, so that its locks are write locks.
  bool writable_descriptor = true;
  int fd = ::open(path.c_str(), O_RDWR | kOpenFlags);
  if (fd < 0) {
    // A read-only handle asked for write access only for its locks: whatever the refusal was,
    // reading alone may still work.
    int refusal = errno;
    if (!mode.read_only && !RefusesWriting(refusal)) return OsError{refusal};
    fd = ::open(path.c_str(), O_RDONLY | kOpenFlags);
    if (fd < 0) return OsError{errno};
    writable_descriptor = false;
    read_only = true;
    if (!mode.read_only && refusal == EROFS) forced_read_only = true;
  }
  return Adopt(fd, path, writable_descriptor, OpenMode{read_only, mode.exclusive}, forced_read_only,
               CreateAttributes{});
}

OsResult<File> File::CreateNew(const std::string& path, CreateAttributes attributes) {
  if (path.empty()) return OsError{ENOENT};
  if (path.back() == '/') return OsError{EISDIR};
  OsResult<File> unnamed = CreateUnnamed(path, attributes);
  if (unnamed.ok() || unnamed.error() == EEXIST) return unnamed;
  // No unnamed files on this file system (or no way to name them): create by name. Another
  // process may open the new file before its share lock is taken; it then fails with EBUSY.
  return CreateByName(path, attributes);
}

// The file is made without a name, locked exclusively, and only then given its name, so no other
// open can ever see it unlocked.
OsResult<File> File::CreateUnnamed(const std::string& path, CreateAttributes attributes) {
  mode_t permissions = attributes.temporary ? kTemporaryFileMode : kNewFileMode;
  int fd = ::open(DirectoryOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, permissions);
  if (fd < 0) return OsError{errno};
  OsResult<File> file = Adopt(fd, path, true, OpenMode{false, true}, false, attributes);
  if (!file.ok()) return file;
  if (OsStatus linked = LinkIntoPlace(fd, path); !linked.ok()) return OsError{linked.error()};
  return file;
}

OsResult<File> File::CreateByName(const std::string& path, CreateAttributes attributes) {
  mode_t permissions = attributes.temporary ? kTemporaryFileMode : kNewFileMode;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, permissions);
  if (fd < 0) return OsError{errno};
  return Adopt(fd, path, true, OpenMode{false, true}, false, attributes);
}

OsResult<File> File::OpenForReplace(const std::string& path, CreateAttributes attributes) {
  OsResult<struct stat> info = StatRegular(path);
  if (!info.ok()) return OsError{info.error()};
  if ((info->st_mode & kWriteBits) == 0) return OsError{EACCES};
  int fd = ::open(path.c_str(), O_RDWR | kOpenFlags);
  if (fd < 0) return OsError{errno};
  OsResult<File> file = Adopt(fd, path, true, OpenMode{false, true}, false, attributes);
  if (!file.ok()) return file;
  // Only now, holding the exclusive share lock, is it safe to drop the old content.
  while (::ftruncate(fd, 0) != 0) {
    if (errno != EINTR) return OsError{errno};
  }
  return file;
}

OsResult<File> File::CreateOrReplace(const std::string& path, CreateAttributes attributes) {
  for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
    OsResult<File> created = CreateNew(path, attributes);
    if (created.ok() || created.error() != EEXIST) return created;
    OsResult<File> replaced = OpenForReplace(path, attributes);
    if (replaced.ok() || replaced.error() != ENOENT) return replaced;
  }
  return OsError{EBUSY};
}

OsResult<size_t> File::ReadAt(uint64_t offset, void* data, size_t size) const {
  if (OsStatus range = CheckTransferRange(offset, size); !range.ok()) {
    return OsError{range.error()};
  }
  size_t wanted = size;
  if constexpr (kFaultInjectionBuilt) {
    FaultDecision fault = CheckFault(FaultOperation::foRead);
    if (fault.error != 0) return OsError{fault.error};
    if (fault.short_transfer) wanted = size / 2;
  }
  auto* bytes = static_cast<unsigned char*>(data);
  size_t done = 0;
  while (done < wanted) {
    ssize_t n = ::pread(fd_, bytes + done, wanted - done, static_cast<off_t>(offset + done));
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0) {
      break;  // end of file
    } else if (errno != EINTR) {
      return OsError{errno};
    }
  }
  return done;
}

OsStatus File::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (read_only_) return OsError{EBADF};
  if (OsStatus range = CheckTransferRange(offset, size); !range.ok()) return range;
  size_t wanted = size;
  int fail_after = 0;
  if constexpr (kFaultInjectionBuilt) {
    FaultDecision fault = CheckFault(FaultOperation::foWrite);
    if (fault.short_transfer) {
      wanted = size / 2;
      fail_after = fault.error;
    } else if (fault.error != 0) {
      return OsError{fault.error};
    }
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t done = 0;
  while (done < wanted) {
    ssize_t n = ::pwrite(fd_, bytes + done, wanted - done, static_cast<off_t>(offset + done));
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n == 0) {
      return OsError{EIO};  // no progress and no reason given: never report it as written
    } else if (errno != EINTR) {
      return OsError{errno};
    }
  }
  if (fail_after != 0) return OsError{fail_after};
  return OsStatus::Ok();
}

OsResult<uint64_t> File::Size() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) return OsError{errno};
  return static_cast<uint64_t>(info.st_size);
}

OsStatus File::SetEndOfFile(uint64_t size) {
  if (read_only_) return OsError{EBADF};
  if (size > kMaxFileOffset) return OsError{EINVAL};
  if constexpr (kFaultInjectionBuilt) {
    FaultDecision fault = CheckFault(FaultOperation::foSetEndOfFile);
    if (fault.error != 0) return OsError{fault.error};
  }
  while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return FromErrno();
  }
  return OsStatus::Ok();
}

OsStatus File::Flush() {
  if constexpr (kFaultInjectionBuilt) {
    FaultDecision fault = CheckFault(FaultOperation::foFlush);
    if (fault.error != 0) return OsError{fault.error};
  }
  while (::fdatasync(fd_) != 0) {
    if (errno != EINTR) return FromErrno();
  }
  return OsStatus::Ok();
}

OsStatus File::LockRange(uint64_t offset, uint64_t length) {
  if (OsStatus valid = ValidateLockRange(offset, length); !valid.ok()) return valid;
  if (!is_open()) return OsError{EBADF};
  std::lock_guard<std::mutex> lock(state_->mutex);
  // The table first: the system would let this descriptor take its own bytes again.
  if (state_->ranges.Overlaps(offset, length)) return OsError{EAGAIN};
  OfdLockType type = writable_descriptor_ ? OfdLockType::olWrite : OfdLockType::olRead;
  if (OsStatus locked = OfdLock(fd_, offset, length, type); !locked.ok()) return locked;
  state_->ranges.Insert(handle_id_, offset, length);
  return OsStatus::Ok();
}

OsStatus File::UnlockRange(uint64_t offset, uint64_t length) {
  if (OsStatus valid = ValidateLockRange(offset, length); !valid.ok()) return valid;
  if (!is_open()) return OsError{EBADF};
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->ranges.Holds(handle_id_, offset, length)) return OsError{ENOLCK};
  if (OsStatus unlocked = OfdUnlock(fd_, offset, length); !unlocked.ok()) return unlocked;
  state_->ranges.Unlock(handle_id_, offset, length);
  return OsStatus::Ok();
}

OsStatus File::Close() {
  if (fd_ < 0) return OsStatus::Ok();
  int error = 0;
  if (state_) {
    // Under the state's mutex, so no other handle sees this one's ranges free in the table while
    // the system still holds them, or the other way round.
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->ranges.ReleaseOwner(handle_id_);
    if (share_held_) --(exclusive_ ? state_->exclusive_opens : state_->shared_opens);
    if (::close(fd_) != 0) error = errno;
  } else if (::close(fd_) != 0) {
    error = errno;
  }
  Reset();
  if (error != 0) return OsError{error};
  return OsStatus::Ok();
}

OsResult<ScopedRangeLock> ScopedRangeLock::Acquire(File& file, uint64_t offset, uint64_t length) {
  if (OsStatus locked = file.LockRange(offset, length); !locked.ok()) {
    return OsError{locked.error()};
  }
  return OsResult<ScopedRangeLock>(ScopedRangeLock(file, offset, length));
}

ScopedRangeLock::~ScopedRangeLock() { (void)Release(); }

ScopedRangeLock::ScopedRangeLock(ScopedRangeLock&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), offset_(other.offset_), length_(other.length_) {}

OsStatus ScopedRangeLock::Release() {
  if (file_ == nullptr) return OsStatus::Ok();
  File* file = std::exchange(file_, nullptr);
  return file->UnlockRange(offset_, length_);
}

OsStatus DeleteFile(const std::string& path) {
  if (OsStatus open = RefuseIfOpen(path); !open.ok()) return open;
  if (::unlink(path.c_str()) != 0) return FromErrno();
  return OsStatus::Ok();
}

OsStatus RenameFile(const std::string& from, const std::string& to) {
  if (OsStatus open = RefuseIfOpen(from); !open.ok()) return open;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return OsStatus::Ok();
  }
  int error = errno;
  if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return OsError{error};
  return RenameByLink(from, to);
}

OsResult<bool> IsReadOnly(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return OsError{errno};
  return (info.st_mode & kWriteBits) == 0;
}

OsStatus SetReadOnly(const std::string& path, bool read_only) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return FromErrno();
  mode_t permissions = info.st_mode & kPermissionBits;
  permissions = read_only ? (permissions & ~kWriteBits) : (permissions | S_IWUSR);
  if (::chmod(path.c_str(), permissions) != 0) return FromErrno();
  return OsStatus::Ok();
}

}  // namespace veltra::platform
