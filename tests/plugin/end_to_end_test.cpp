// The whole road: allsql-host loads the test plug-in library, whose console dialog a script
// drives against the stand-in results service on a free loopback port.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "spawned_program.h"
#include "support/temp_dir.h"

namespace veltra::plugin {
namespace {

using ::testing::HasSubstr;
using testing::SpawnedProgram;

// Three draws of two games; MULTI MULTI's table keeps the time of day.
constexpr char kHistory[] =
    "dl,1,2026-01-03,1,2,3,4,5,6\n"
    "dl,2,2026-01-06,7,8,9,10,11,12\n"
    "multi_multi,10,2026-01-03 14:00:00,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20\n";

TEST(EndToEnd, ScriptedSessionDownloadsAndEntersTheMissingDraws) {
#ifndef ALLSQL_RESULTS_SERVICE
  GTEST_SKIP() << "the results service is not part of this build";
#else
  veltra::testing::TempDir dir;
  {
    std::ofstream csv(dir.File("history.csv"));
    csv << kHistory;
  }
  std::string database = dir.File("games");
  ASSERT_EQ(mkdir(database.c_str(), 0755), 0);

  SpawnedProgram service(
      {ALLSQL_RESULTS_SERVICE, "--port", "0", "--history", dir.File("history.csv")});
  std::string port_line;
  ASSERT_TRUE(service.ReadLine(port_line));
  ASSERT_EQ(port_line.rfind("port ", 0), 0u) << port_line;
  std::string host = "127.0.0.1:" + port_line.substr(5);

  SpawnedProgram dialog({ALLSQL_HOST_PROGRAM, "--library", ALLSQL_TEST_LIBRARY, database},
                        {{"ALLSQL_UI", "console"}, {"ALLSQL_SERVICE", host}});
  dialog.Write("pobierz\nwykonaj\npobierz\nstatus\nzamknij\n");
  dialog.CloseInput();
  std::string out = dialog.ReadAll();
  EXPECT_EQ(dialog.Wait(), 0) << out;

  // The first request carries the empty tables' state; the answer is executed.
  EXPECT_THAT(out, HasSubstr("== status: Łączę z serwisem " + host + "\n"));
  EXPECT_THAT(out, HasSubstr(R"(data={"dl":["LOTTO","1899-12-30",6,0],"multi_multi":[)"));
  EXPECT_THAT(out, HasSubstr("== status: GOTOWE można wprowadzić losowania do bazy\n"));
  EXPECT_THAT(out, HasSubstr("== status: Do baz gier wprowadzono 3 nowych wyników losowań\n"));
  EXPECT_THAT(out, HasSubstr("|                   LOTTO następne po dniu 06-01-2026\n"));
  EXPECT_THAT(out, HasSubstr("|             MULTI MULTI następne po dniu 03-01-2026\n"));
  EXPECT_THAT(out, HasSubstr("== editor + Razem wprowadzono 3 nowych wyników losowań\n"));
  // The second request sends the new state and finds nothing newer.
  std::string second_request =
      R"(data={"dl":["LOTTO","2026-01-06",6,2],"multi_multi":["multi_multi",)"
      R"("2026-01-03 14:00:00",20,10],"multi":["MULTI_22","1899-12-30",20,0])";
  EXPECT_THAT(out, HasSubstr(second_request));
  EXPECT_THAT(out, HasSubstr("== status: GOTOWE żadnych nowych losowań nie znaleziono, "
                             "spróbuj później ...\n"));
  EXPECT_THAT(out, ::testing::EndsWith("== dialog closed\n"));
  service.Terminate();
#endif
}

TEST(EndToEnd, HostExplainsItsCommandLine) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* output;  // on standard output
  };
  const Case cases[] = {
      {{"--help"}, 0, "usage: allsql-host [--library PATH] DATABASE_DIR"},
      {{}, 2, ""},
      {{"--bogus", "dir"}, 2, ""},
      {{"--library", "/no/such/liballsql.so", "dir"}, 1, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {ALLSQL_HOST_PROGRAM};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SpawnedProgram host(argv);
    host.CloseInput();
    std::string out = host.ReadAll();
    EXPECT_EQ(host.Wait(), c.status) << argv.back();
    EXPECT_THAT(out, HasSubstr(c.output));
  }
}

}  // namespace
}  // namespace veltra::plugin
