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

TEST(LibraryExports, DoUpdateRunsTheConsoleDialogThroughDlopen) {
  veltra::testing::TempDir dir;
  // The child loads the library and calls DoUpdate with its standard input at end: the dialog
  // shows its summary and closes as the input ends.
  int read_end[2];
  ASSERT_EQ(pipe(read_end), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(read_end[1], STDOUT_FILENO);
    close(read_end[0]);
    int null_input = open("/dev/null", O_RDONLY);
    dup2(null_input, STDIN_FILENO);
    setenv("ALLSQL_UI", "console", 1);
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
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_THAT(output,
              ::testing::HasSubstr("|       DAILY KENO CANADA następne po dniu 30-12-1899\n"));
  EXPECT_THAT(output, ::testing::HasSubstr("== editor + Wciśnij przycisk POBIERZ\n"));
  // Two dialogs, each closed by the end of the input.
  size_t first = output.find("== dialog closed");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(output.find("== dialog closed", first + 1), std::string::npos);
}

}  // namespace
}  // namespace veltra::plugin
