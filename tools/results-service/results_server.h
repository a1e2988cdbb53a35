// The results service's HTTP side: a server on the loopback interface that answers
// GET /dtools/down_all_232.php from a draw history (answer.h) and 404 to everything else.
//
// Bind, then Run on one thread; Stop may be called from any other thread (or from a signal
// watcher) and makes Run return. Requests are served on the server's own worker threads; they
// only read the history.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "draw_history.h"

namespace httplib {
class Server;
}

namespace veltra::results_service {

inline constexpr int kDefaultPort = 18232;
inline constexpr const char* kLoopbackAddress = "127.0.0.1";

class ResultsServer {
 public:
  // `history` must outlive the server. `log`, when set, gets one line per request (method,
  // target, status, body size), called on the worker threads.
  explicit ResultsServer(const DrawHistory& history,
                         std::function<void(const std::string&)> log = nullptr);
  ~ResultsServer();
  ResultsServer(const ResultsServer&) = delete;
  ResultsServer& operator=(const ResultsServer&) = delete;

  // Binds 127.0.0.1:`port`; port 0 takes a free port. Returns the bound port. Raises
  // std::runtime_error when the port cannot be bound.
  int Bind(int port);

  // Serves until Stop. Requires a successful Bind. Returns false when listening failed.
  bool Run();

  // Makes Run return; harmless before Run and when called again.
  void Stop();

  // True once Run is accepting connections.
  bool IsRunning() const;

 private:
  const DrawHistory& history_;
  std::function<void(const std::string&)> log_;
  std::unique_ptr<httplib::Server> server_;
};

}  // namespace veltra::results_service
