#include "support/child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace veltra::testing {
namespace {

void WriteLine(int fd, const std::string& message) {
  std::string line = message + "\n";
  size_t done = 0;
  while (done < line.size()) {
    ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error("pipe write failed");
    done += static_cast<size_t>(n);
  }
}

std::string ReadLine(int fd) {
  std::string line;
  char c;
  for (;;) {
    ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || c == '\n') return line;
    line.push_back(c);
  }
}

}  // namespace

void ParentLink::Send(const std::string& message) { WriteLine(write_fd_, message); }
std::string ParentLink::Receive() { return ReadLine(read_fd_); }

ChildProcess::ChildProcess(std::function<int(ParentLink&)> body) {
  int down[2];
  int up[2];
  if (::pipe(down) != 0 || ::pipe(up) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::close(down[1]);
    ::close(up[0]);
    ParentLink link(down[0], up[1]);
    int result = 1;
    try {
      result = body(link);
    } catch (...) {
      result = 1;
    }
    ::_exit(result);
  }
  ::close(down[0]);
  ::close(up[1]);
  to_child_ = down[1];
  from_child_ = up[0];
}

ChildProcess::~ChildProcess() {
  if (!reaped_) Kill();
  ::close(to_child_);
  ::close(from_child_);
}

void ChildProcess::Send(const std::string& message) { WriteLine(to_child_, message); }
std::string ChildProcess::Receive() { return ReadLine(from_child_); }

int ChildProcess::Wait() {
  if (!reaped_) {
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  }
  return status_;
}

void ChildProcess::Kill() {
  if (reaped_) return;
  ::kill(pid_, SIGKILL);
  Wait();
}

}  // namespace veltra::testing
