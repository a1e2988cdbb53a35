// The results-service program as scripts use it: its options, the "port N" first line, serving,
// and a clean stop on SIGTERM.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "request_text.h"

extern char** environ;

namespace veltra::results_service {
namespace {

// The program, started with its standard output on a pipe and its standard error discarded;
// killed and reaped when the object dies.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    args.insert(args.begin(), RESULTS_SERVICE_PROGRAM);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    output_ = out[0];
    if (error != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start " + args[0]);
    }
  }

  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    ::close(output_);
  }

  // The next line of standard output without its newline; "" at its end.
  std::string ReadLine() {
    std::string line;
    char c;
    for (;;) {
      ssize_t n = ::read(output_, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || c == '\n') return line;
      line += c;
    }
  }

  // Everything left on standard output, up to its end.
  std::string ReadAll() {
    std::string all;
    char buffer[4096];
    for (;;) {
      ssize_t n = ::read(output_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return all;
      all.append(buffer, static_cast<size_t>(n));
    }
  }

  void Signal(int signal_number) { ::kill(pid_, signal_number); }

  // The exit code, or 128 + the signal that ended the program.
  int Wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

TEST(ResultsServiceProgram, PrintsItsPortThenServesUntilSigterm) {
  Program program({"--port", "0", "--years", "1"});
  std::string first = program.ReadLine();
  ASSERT_TRUE(first.starts_with("port ")) << first;
  int port = std::stoi(first.substr(5));
  ASSERT_GT(port, 0);

  httplib::Client client("127.0.0.1", port);
  client.set_url_encode(false);
  auto result = client.Get(fixtures::DownloadTarget(fixtures::EmptyTablesRequest()));
  ASSERT_TRUE(result) << httplib::to_string(result.error());
  EXPECT_EQ(result->status, 200);
  EXPECT_TRUE(
      result->body.starts_with("INSERT INTO LOTTO (id, [date], l1, l2, l3, l4, l5, l6) "
                               "VALUES (3992, '2025-07-01', "))
      << result->body.substr(0, 120);

  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(), 0);
}

TEST(ResultsServiceProgram, AnswersItsOptionsWithoutServing) {
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string_view output_start;
  } cases[] = {
      {{"--help"}, 0, "usage: results-service [options]\n"},
      {{"--print-schema"}, 0, "CREATE TABLE IF NOT EXISTS LOTTO (id INTEGER NOT NULL PRIMARY KEY"},
      {{"--print-csv", "--years", "1", "--to", "2024-02-29"},
       0,
       "# key,id,date,n1,...,nN\ndl,3626,2023-02-28,"},
      {{"--port", "65536"}, 2, ""},
      {{"--years", "0"}, 2, ""},
      {{"--to", "1999-12-31"}, 2, ""},
      {{"--to"}, 2, ""},
      {{"--frobnicate"}, 2, ""},
      {{"--history", "draws.csv", "--seed", "1"}, 2, ""},
      {{"--history", "/nonexistent/draws.csv"}, 1, ""},
  };
  for (const Case& c : cases) {
    Program program(c.args);
    std::string output = program.ReadAll();
    EXPECT_EQ(program.Wait(), c.exit_code) << c.args[0];
    EXPECT_TRUE(output.starts_with(c.output_start)) << output.substr(0, 200);
    if (c.exit_code != 0) {
      EXPECT_EQ(output, "");
    }
  }
}

}  // namespace
}  // namespace veltra::results_service
