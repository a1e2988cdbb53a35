// A child process that opens one file and takes byte-range locks on it when told, for tests of
// what one process's opens and locks do to another's. Every call waits for the child's answer:
// the errno of the operation, 0 for success.
//
// The child is forked when the object is made, before the test opens anything, and holds nothing
// until its first command. It is killed and reaped when the object dies.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <sstream>
#include <string>

#include "platform/file.h"
#include "support/child_process.h"

namespace veltra::testing {

class FileHolderChild {
 public:
  explicit FileHolderChild(std::string path)
      : child_([path](ParentLink& link) { return Serve(path, link); }) {}

  int Open(platform::OpenMode mode) {
    return Ask("open " + std::to_string(mode.read_only) + " " + std::to_string(mode.exclusive));
  }
  int Close() { return Ask("close"); }
  int Lock(uint64_t offset, uint64_t length) { return Ask(RangeCommand("lock", offset, length)); }
  int Unlock(uint64_t offset, uint64_t length) {
    return Ask(RangeCommand("unlock", offset, length));
  }
  // Gives up root (when running as root) for the unprivileged user and group `id`, so that the
  // child meets the permission checks an ordinary user meets.
  int BecomeUser(uid_t id) { return Ask("become " + std::to_string(id)); }
  // Whether the child's handle takes read locks only (answers 1 or 0).
  int TakesReadLocks() { return Ask("readlocks"); }

  void Kill() { child_.Kill(); }

 private:
  static std::string RangeCommand(const char* verb, uint64_t offset, uint64_t length) {
    return std::string(verb) + " " + std::to_string(offset) + " " + std::to_string(length);
  }

  int Ask(const std::string& command) {
    child_.Send(command);
    return std::stoi(child_.Receive());
  }

  static int Serve(const std::string& path, ParentLink& link) {
    platform::File file;
    for (;;) {
      std::istringstream command(link.Receive());
      std::string verb;
      if (!(command >> verb)) return 0;  // the parent went away
      int answer = 0;
      if (verb == "open") {
        platform::OpenMode mode;
        command >> mode.read_only >> mode.exclusive;
        auto opened = platform::File::Open(path, mode);
        answer = opened.error();
        if (opened.ok()) file = std::move(*opened);
      } else if (verb == "close") {
        answer = file.Close().error();
      } else if (verb == "lock" || verb == "unlock") {
        uint64_t offset = 0;
        uint64_t length = 0;
        command >> offset >> length;
        answer =
            (verb == "lock" ? file.LockRange(offset, length) : file.UnlockRange(offset, length))
                .error();
      } else if (verb == "become") {
        uid_t id = 0;
        command >> id;
        if (::geteuid() == 0 && (::setgid(id) != 0 || ::setuid(id) != 0)) answer = errno;
      } else if (verb == "readlocks") {
        answer = file.takes_read_locks() ? 1 : 0;
      } else {
        answer = EINVAL;
      }
      link.Send(std::to_string(answer));
    }
  }

  ChildProcess child_;
};

}  // namespace veltra::testing
