// The libcurl client against an in-process HTTP server on a free loopback port.

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "plugin/http_client.h"

namespace veltra::plugin {
namespace {

class LoopbackServer {
 public:
  LoopbackServer() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // The socket listens already; wait for the loop too, so that stop() cannot come before it.
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~LoopbackServer() {
    server_.stop();
    thread_.join();
  }
  httplib::Server& server() { return server_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

// A loopback port nobody listens on: bound to find a free one, then closed.
int UnusedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
  close(fd);
  return ntohs(address.sin_port);
}

std::string AllBytes(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i * 7 % 256);
  return body;
}

TEST(CurlHttpClient, BodyArrivesIntactWithCumulativeProgress) {
  LoopbackServer s;
  const std::string body = AllBytes(300'000);
  httplib::Headers seen;
  s.server().Get("/dtools/down_all_232.php",
                 [&](const httplib::Request& req, httplib::Response& res) {
                   seen = req.headers;
                   res.set_content(body, "text/plain; charset=windows-1250");
                 });
  std::vector<int64_t> counts;
  std::string got = NewCurlHttpClient()->Get(s.Url("/dtools/down_all_232.php?data=%5B1%5D"),
                                             [&](TWorkMode mode, int64_t count) {
                                               EXPECT_EQ(mode, TWorkMode::wmRead);
                                               counts.push_back(count);
                                             });
  EXPECT_EQ(got, body);
  ASSERT_GE(counts.size(), 2u);
  EXPECT_EQ(counts.front(), 0);
  EXPECT_EQ(counts.back(), static_cast<int64_t>(body.size()));
  EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
  auto header = [&](const char* name) {
    auto it = seen.find(name);
    return it == seen.end() ? std::string() : it->second;
  };
  EXPECT_EQ(header("Accept"), "text/html, */*");
  EXPECT_EQ(header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
}

TEST(CurlHttpClient, EmptyBodyIsEmpty) {
  LoopbackServer s;
  s.server().Get("/e", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("", "text/plain");
  });
  EXPECT_EQ(NewCurlHttpClient()->Get(s.Url("/e"), {}), "");
}

TEST(CurlHttpClient, FailuresGiveClearErrors) {
  LoopbackServer s;
  s.server().Get("/500", [](const httplib::Request&, httplib::Response& res) {
    res.status = 500;
    res.set_content("boom", "text/plain");
  });
  s.server().Get("/moved", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(s.Url("/elsewhere"));
  });
  int closed_port = UnusedPort();
  struct Case {
    std::string url;
    const char* message_part;
  };
  const Case cases[] = {
      {s.Url("/missing"), "404 Not Found"},
      {s.Url("/500"), "500 Internal Server Error"},
      {s.Url("/moved"), "302"},
      {"http://127.0.0.1:" + std::to_string(closed_port) + "/x", "Couldn't connect to server"},
  };
  for (const Case& c : cases) {
    try {
      NewCurlHttpClient()->Get(c.url, {});
      ADD_FAILURE() << c.url << " must fail";
    } catch (const EHttpError& e) {
      EXPECT_THAT(e.what(), ::testing::HasSubstr(c.message_part)) << c.url;
    }
  }
}

TEST(CurlHttpClient, ErrorOfTheProgressHandlerEndsTheTransfer) {
  LoopbackServer s;
  s.server().Get("/big", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(100'000, 'x'), "text/plain");
  });
  EXPECT_THROW(NewCurlHttpClient()->Get(s.Url("/big"),
                                        [](TWorkMode, int64_t count) {
                                          if (count > 0) throw std::runtime_error("stop");
                                        }),
               std::runtime_error);
}

}  // namespace
}  // namespace veltra::plugin
