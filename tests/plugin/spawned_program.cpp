#include "spawned_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

extern char** environ;

namespace veltra::plugin::testing {

SpawnedProgram::SpawnedProgram(const std::vector<std::string>& argv,
                               const std::map<std::string, std::string>& environment) {
  if (argv.empty()) throw std::runtime_error("no program to start");
  // Everything the child needs is made before the fork: it only dups, sets and execs.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry(*e);
    std::string name = entry.substr(0, entry.find('='));
    if (environment.count(name) == 0) env_text.push_back(entry);
  }
  for (const auto& [name, value] : environment) env_text.push_back(name + "=" + value);
  std::vector<char*> env;
  for (std::string& e : env_text) env.push_back(e.data());
  env.push_back(nullptr);

  int in_pipe[2];
  int out_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(out_pipe, O_CLOEXEC) != 0) {
    close(in_pipe[0]);
    close(in_pipe[1]);
    throw std::runtime_error("pipe failed");
  }
  pid_ = fork();
  if (pid_ < 0) {
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1]}) close(fd);
    throw std::runtime_error("fork failed");
  }
  if (pid_ == 0) {
    dup2(in_pipe[0], STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  input_ = in_pipe[1];
  output_ = out_pipe[0];
  signal(SIGPIPE, SIG_IGN);
}

SpawnedProgram::~SpawnedProgram() {
  CloseInput();
  if (!reaped_) Terminate();
  if (output_ >= 0) close(output_);
}

void SpawnedProgram::Write(const std::string& text) {
  size_t done = 0;
  while (done < text.size() && input_ >= 0) {
    ssize_t n = write(input_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error("writing to the program failed");
    done += static_cast<size_t>(n);
  }
}

void SpawnedProgram::CloseInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

bool SpawnedProgram::ReadLine(std::string& line) {
  for (;;) {
    size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return true;
    }
    char buffer[4096];
    ssize_t n = read(output_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (pending_.empty()) return false;
      line = std::move(pending_);
      pending_.clear();
      return true;
    }
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

std::string SpawnedProgram::ReadAll() {
  std::string all = std::move(pending_);
  pending_.clear();
  char buffer[4096];
  for (;;) {
    ssize_t n = read(output_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    all.append(buffer, static_cast<size_t>(n));
  }
  return all;
}

int SpawnedProgram::Wait() {
  if (reaped_) return status_;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_;
}

void SpawnedProgram::Terminate() {
  if (reaped_) return;
  kill(pid_, SIGTERM);
  Wait();
}

}  // namespace veltra::plugin::testing
