// Multi-process tests: fork a child that runs a function, talk to it through two pipes, and
// always reap it. The child never returns into the test framework: it exits with the function's
// result (0 when it returns normally, 1 when it throws).
//
// Fork before opening anything that the child should not share, and synchronise through
// Send/Receive, never through sleeps.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace veltra::testing {

class ChildProcess;

// The child's end of the pipes.
class ParentLink {
 public:
  ParentLink(int read_fd, int write_fd) : read_fd_(read_fd), write_fd_(write_fd) {}
  void Send(const std::string& message);
  // Blocks until a whole line arrives; returns it without the newline ("" at end of stream).
  std::string Receive();

 private:
  int read_fd_;
  int write_fd_;
};

class ChildProcess {
 public:
  // Forks; the child runs body(link) and _exits with its result.
  explicit ChildProcess(std::function<int(ParentLink&)> body);
  ~ChildProcess();  // kills and reaps a child that is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  void Send(const std::string& message);
  std::string Receive();
  // Waits for the child; returns its exit status, or 128 + signal when it was killed.
  int Wait();
  // SIGKILLs the child and reaps it.
  void Kill();

 private:
  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

}  // namespace veltra::testing
