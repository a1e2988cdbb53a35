// The results service over a real loopback socket: the server answers the request target exactly
// as the update dialog sends it (braces and quotes unencoded, brackets and blanks as %XX).
#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "answer.h"
#include "request_text.h"
#include "results_server.h"

namespace veltra::results_service {
namespace {

// A server on a free port, run on its own thread for the life of the object.
class RunningServer {
 public:
  explicit RunningServer(const DrawHistory& history)
      : server_(history), port_(server_.Bind(0)), thread_([this] {
          server_.Run();
          returned_ = true;
        }) {}

  ~RunningServer() {
    // Stop is lost when it comes before Run listens, so it is repeated until Run has returned.
    while (!returned_) {
      server_.Stop();
      std::this_thread::yield();
    }
    thread_.join();
  }

  int port() const { return port_; }

 private:
  ResultsServer server_;
  int port_;
  std::atomic<bool> returned_ = false;
  std::thread thread_;
};

TEST(ResultsServer, AnswersTheDialogsRequestOverTheSocket) {
  DrawHistory history = GenerateHistory({.years = 1});
  RunningServer running(history);
  httplib::Client client(kLoopbackAddress, running.port());
  client.set_url_encode(false);  // send the target exactly as the dialog encodes it

  std::string request = fixtures::EmptyTablesRequest();
  auto result = client.Get(fixtures::DownloadTarget(request));
  ASSERT_TRUE(result) << httplib::to_string(result.error());
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(result->get_header_value("Content-Type"), "text/plain; charset=windows-1250");
  EXPECT_EQ(result->body, BuildAnswer(history, ParseDrawRequest(request)));
  EXPECT_GT(result->body.size(), 1'000'000u);

  std::array<fixtures::StateText, kGameCount> newest;
  for (size_t i = 0; i < kGameCount; ++i) {
    const ServiceGame& game = ServiceGames()[i];
    newest[i] = {FormatDrawTime(history.games[i].back().time, game.date_format),
                 history.games[i].back().id};
  }
  result = client.Get(fixtures::DownloadTarget(fixtures::RequestText(newest)));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(result->body, "");
  EXPECT_EQ(result->get_header_value("Content-Length"), "0");
}

TEST(ResultsServer, RefusesMalformedRequestsAndOtherPaths) {
  DrawHistory history = GenerateHistory({.years = 1});
  RunningServer running(history);
  httplib::Client client(kLoopbackAddress, running.port());
  client.set_url_encode(false);
  struct Case {
    std::string target;
    int status;
    std::string_view body;
  } cases[] = {
      {"/dtools/down_all_232.php?data=%7B%22zz%22:%5B%5D%7D", 400,
       "malformed request: at offset 1: unknown game \"zz\" (found \"\"zz\":[]}\")\n"},
      {"/dtools/down_all_232.php", 400, "malformed request: the request has no query\n"},
      {"/dtools/other.php?data=%7B%7D", 404,
       "not found: this service answers only GET /dtools/down_all_232.php?data=...\n"},
  };
  for (const Case& c : cases) {
    auto result = client.Get(c.target);
    ASSERT_TRUE(result) << c.target;
    EXPECT_EQ(result->status, c.status) << c.target;
    EXPECT_EQ(result->body, c.body);
  }
}

TEST(ResultsServer, RefusesAPortThatIsTaken) {
  DrawHistory history;
  RunningServer running(history);
  ResultsServer second(history);
  EXPECT_THROW(second.Bind(running.port()), std::runtime_error);
}

}  // namespace
}  // namespace veltra::results_service
