#include "results_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <stdexcept>

#include "answer.h"

namespace veltra::results_service {
namespace {

constexpr int kStatusNotFound = 404;

// kDownloadPath as the server's route pattern (a regular expression).
constexpr const char* kDownloadPattern = R"(/dtools/down_all_232\.php)";

// The request target as a log may show it: control bytes would reach the terminal.
std::string Printable(const std::string& text) {
  std::string shown = text;
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return shown;
}

}  // namespace

ResultsServer::ResultsServer(const DrawHistory& history,
                             std::function<void(const std::string&)> log)
    : history_(history), log_(std::move(log)), server_(std::make_unique<httplib::Server>()) {
  // The library's default would share the port (SO_REUSEPORT) with any other process bound to
  // it, silently splitting the requests between two services. Reusing the address alone still
  // lets a restarted service bind while old connections linger.
  server_->set_socket_options([](socket_t socket) {
    int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server_->Get(kDownloadPattern,
               [this](const httplib::Request& request, httplib::Response& response) {
                 Reply reply = AnswerDownload(history_, request.target);
                 response.status = reply.status;
                 response.set_content(reply.body, reply.content_type.c_str());
               });
  server_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.status == kStatusNotFound) {
      response.set_content(
          "not found: this service answers only GET " + std::string(kDownloadPath) + "?data=...\n",
          "text/plain; charset=utf-8");
    }
  });
  if (log_) {
    server_->set_logger([this](const httplib::Request& request, const httplib::Response& response) {
      log_(request.method + " " + Printable(request.target) + " -> " +
           std::to_string(response.status) + ", " + std::to_string(response.body.size()) +
           " bytes");
    });
  }
}

ResultsServer::~ResultsServer() { Stop(); }

int ResultsServer::Bind(int port) {
  if (port == 0) {
    int bound = server_->bind_to_any_port(kLoopbackAddress);
    if (bound < 0) throw std::runtime_error("cannot bind a free port on 127.0.0.1");
    return bound;
  }
  if (!server_->bind_to_port(kLoopbackAddress, port)) {
    throw std::runtime_error("cannot bind 127.0.0.1:" + std::to_string(port));
  }
  return port;
}

bool ResultsServer::Run() { return server_->listen_after_bind(); }

void ResultsServer::Stop() { server_->stop(); }

bool ResultsServer::IsRunning() const { return server_->is_running(); }

}  // namespace veltra::results_service
