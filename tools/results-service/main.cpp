// results-service: a local stand-in for the draw results web service. It answers the update
// dialog's download request on 127.0.0.1 from a generated or a CSV draw history; see --help.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "answer.h"
#include "draw_history.h"
#include "history_csv.h"
#include "results_server.h"

namespace veltra::results_service {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: results-service [options]\n"
    "\n"
    "Serves GET /dtools/down_all_232.php?data=<request> on 127.0.0.1: for each game named in\n"
    "the request, the INSERT statements of the draws newer than the newest date and id sent.\n"
    "The first line on standard output is \"port N\"; one line per request goes to standard\n"
    "error. SIGINT or SIGTERM stops the service.\n"
    "\n"
    "options:\n"
    "  --port N          listen on port N (default 18232); 0 takes a free port\n"
    "  --seed N          seed of the generated history (default 232)\n"
    "  --to YYYY-MM-DD   last day of the generated history (default 2026-06-30)\n"
    "  --years N         years of generated history before that day (default 3, at most 100)\n"
    "  --history FILE    serve the draws of a CSV file instead of a generated history\n"
    "                    (lines: key,id,date,n1,...,nN)\n"
    "  --print-csv       write the history as CSV to standard output and exit\n"
    "  --print-schema    write CREATE TABLE statements of the sixteen game tables and exit\n"
    "  --help            show this text and exit\n";

struct Options {
  int port = kDefaultPort;
  HistoryOptions history;
  bool generator_option = false;
  std::string csv_path;
  bool print_csv = false;
  bool print_schema = false;
  bool help = false;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <typename T>
T ParseNumber(std::string_view option, std::string_view text, T min, T max) {
  T value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    throw UsageError(std::string(option) + " needs a whole number from " + std::to_string(min) +
                     " to " + std::to_string(max) + ", not \"" + std::string(text) + "\"");
  }
  return value;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) throw UsageError(std::string(arg) + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--port") {
      options.port = ParseNumber<int>(arg, value(), 0, 65535);
    } else if (arg == "--seed") {
      options.history.seed = ParseNumber<uint64_t>(arg, value(), 0, UINT64_MAX);
      options.generator_option = true;
    } else if (arg == "--years") {
      options.history.years = ParseNumber<int>(arg, value(), 1, kMaxYears);
      options.generator_option = true;
    } else if (arg == "--to") {
      std::string_view text = value();
      std::optional<DrawTime> day = ParseDrawTime(text, DateFormat::dfDate);
      if (!day || *day < DrawTime{DaysFromCivil(kNumberingStart), 0}) {
        throw UsageError("--to needs a date written YYYY-MM-DD from 2000-01-01 on, not \"" +
                         std::string(text) + "\"");
      }
      options.history.end_day = day->day;
      options.generator_option = true;
    } else if (arg == "--history") {
      options.csv_path = value();
    } else if (arg == "--print-csv") {
      options.print_csv = true;
    } else if (arg == "--print-schema") {
      options.print_schema = true;
    } else {
      throw UsageError("unknown option \"" + std::string(arg) + "\"");
    }
  }
  if (!options.csv_path.empty() && options.generator_option) {
    throw UsageError("--history cannot be combined with --seed, --to or --years");
  }
  return options;
}

// Serves until SIGINT or SIGTERM. The signals are blocked in every thread and taken by a watcher
// thread with sigwait, so that stopping the server never runs inside a signal handler.
int Serve(const DrawHistory& history, int port) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  ResultsServer server(history, [](const std::string& line) {
    std::fprintf(stderr, "results-service: %s\n", line.c_str());
  });
  int bound = server.Bind(port);
  std::printf("port %d\n", bound);
  std::fflush(stdout);
  std::fprintf(stderr, "results-service: %zu draws of %zu games on http://%s:%d%.*s\n",
               history.TotalDraws(), kGameCount, kLoopbackAddress, bound,
               static_cast<int>(kDownloadPath.size()), kDownloadPath.data());

  std::atomic<bool> finished = false;
  std::thread watcher([&] {
    int signal_number = 0;
    sigwait(&signals, &signal_number);
    // Run may not have started listening yet: keep asking until it has returned.
    while (!finished) {
      server.Stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  bool served = server.Run();
  finished = true;
  pthread_kill(watcher.native_handle(), SIGTERM);
  watcher.join();
  if (!served) {
    std::fprintf(stderr, "results-service: listening failed\n");
    return kExitFailure;
  }
  return 0;
}

int Main(int argc, char** argv) {
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "results-service: %s\n(see --help)\n", error.what());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.print_schema) {
    std::fputs(SchemaScript().c_str(), stdout);
    return 0;
  }
  try {
    DrawHistory history = options.csv_path.empty() ? GenerateHistory(options.history)
                                                   : ReadHistoryCsvFile(options.csv_path);
    if (options.print_csv) {
      std::fputs(WriteHistoryCsv(history).c_str(), stdout);
      return 0;
    }
    return Serve(history, options.port);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "results-service: %s\n", error.what());
    return kExitFailure;
  }
}

}  // namespace
}  // namespace veltra::results_service

int main(int argc, char** argv) { return veltra::results_service::Main(argc, argv); }
