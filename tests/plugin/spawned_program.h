// Another program run by a test: forked before anything is opened in the child, its standard
// input and output on pipes, and always reaped (killed first if it is still running when the
// object dies). Standard error stays the test's own.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace veltra::plugin::testing {

class SpawnedProgram {
 public:
  // Starts `argv[0]` (a path) with `argv`, and `environment` added to (or replacing entries of)
  // the test's own environment. Throws std::runtime_error when the program cannot be started.
  SpawnedProgram(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& environment = {});
  ~SpawnedProgram();
  SpawnedProgram(const SpawnedProgram&) = delete;
  SpawnedProgram& operator=(const SpawnedProgram&) = delete;

  pid_t pid() const { return pid_; }
  // Writes `text` to the program's standard input.
  void Write(const std::string& text);
  // Closes the program's standard input (it sees end of input).
  void CloseInput();
  // One line of the program's output without the newline; false at end of output.
  bool ReadLine(std::string& line);
  // Everything the program writes until it closes its output.
  std::string ReadAll();
  // Waits for the program; its exit status, or 128 + signal.
  int Wait();
  // Ends the program with SIGTERM and reaps it.
  void Terminate();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string pending_;
  bool reaped_ = false;
  int status_ = 0;
};

}  // namespace veltra::plugin::testing
