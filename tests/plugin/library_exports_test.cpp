// The test plug-in library liballsql.so: what it exports, and a DoUpdate call through dlopen in
// a child process.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "plugin/host_string.h"
#include "spawned_program.h"
#include "support/temp_dir.h"

namespace veltra::plugin {
namespace {

// The defined dynamic symbols of `library`, from nm.
std::vector<std::string> DefinedDynamicSymbols(const std::string& library) {
  std::vector<std::string> symbols;
  testing::SpawnedProgram nm({"/usr/bin/nm", "-D", "--defined-only", library});
  std::string line;
  while (nm.ReadLine(line)) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (!name.empty()) symbols.push_back(name);
  }
  EXPECT_EQ(nm.Wait(), 0);
  return symbols;
}

TEST(LibraryExports, OnlyDoUpdateIsExported) {
  EXPECT_THAT(DefinedDynamicSymbols(ALLSQL_TEST_LIBRARY), ::testing::ElementsAre("DoUpdate"));
}

// Loads the library in a child with `environment` applied (a null value unsets) and its standard
// input at end, calls DoUpdate twice and returns what the child wrote; each dialog shows its
// summary and closes as the input ends.
std::string TwoCallsThroughDlopen(
    const std::vector<std::pair<const char*, const char*>>& environment, int& exit_status) {
  veltra::testing::TempDir dir;
  int read_end[2];
  EXPECT_EQ(pipe(read_end), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(read_end[1], STDOUT_FILENO);
    close(read_end[0]);
    int null_input = open("/dev/null", O_RDONLY);
    dup2(null_input, STDIN_FILENO);
    for (const auto& [name, value] : environment) {
      if (value == nullptr) {
        unsetenv(name);
      } else {
        setenv(name, value, 1);
      }
    }
    void* handle = dlopen(ALLSQL_TEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) _exit(3);
    auto do_update = reinterpret_cast<AllsqlDoUpdateFunction>(dlsym(handle, "DoUpdate"));
    if (do_update == nullptr || dlsym(handle, "_ZN6veltra6plugin12LibraryStateEv") != nullptr) {
      _exit(4);
    }
    AllsqlString directory =
        AllsqlStringNew(dir.path().data(), static_cast<int32_t>(dir.path().size()));
    do_update(0, 0, 0, nullptr, nullptr, nullptr, 1, directory, nullptr);
    do_update(0, 0, 0, nullptr, nullptr, nullptr, 1, directory, nullptr);
    AllsqlStringRelease(directory);
    std::fflush(stdout);
    dlclose(handle);
    _exit(0);
  }
  close(read_end[1]);
  std::string output;
  char buffer[4096];
  ssize_t n;
  while ((n = read(read_end[0], buffer, sizeof buffer)) > 0) output.append(buffer, size_t(n));
  close(read_end[0]);
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return output;
}

TEST(LibraryExports, DoUpdateRunsTheConsoleDialogThroughDlopen) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> environment;
  };
  const Case cases[] = {
      {"asked for", {{"ALLSQL_UI", "console"}}},
      {"no display", {{"ALLSQL_UI", nullptr}, {"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", nullptr}}},
      {"display that cannot be opened",
       {{"ALLSQL_UI", nullptr}, {"DISPLAY", ":65000"}, {"WAYLAND_DISPLAY", nullptr}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int status = -1;
    std::string output = TwoCallsThroughDlopen(c.environment, status);
    EXPECT_EQ(status, 0);
    EXPECT_THAT(output,
                ::testing::HasSubstr("|       DAILY KENO CANADA następne po dniu 30-12-1899\n"));
    EXPECT_THAT(output, ::testing::HasSubstr("== editor + Wciśnij przycisk POBIERZ\n"));
    size_t first = output.find("== dialog closed");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(output.find("== dialog closed", first + 1), std::string::npos);
  }
}

}  // namespace
}  // namespace veltra::plugin
