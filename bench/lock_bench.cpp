// The cost of the lock protocol's uncontended paths on a real directory, beside the reference
// engine's whole one-row lookup in autocommit mode (which takes and drops its own file locks on
// every statement):
//
//   ReadLock     table read lock + release (one random slot byte)
//   WriteLock    table write lock + release outside a transaction (transaction byte, then range)
//   Transaction  table transaction lock, write lock inside it, release of both (start + commit)
//   SqliteLookup one-row primary-key SELECT, statement prepared once, stepped and reset
//
// After the runs it prints the read lock's time as a share of the lookup's. Target: at most 0.5.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "core/data_engine.h"
#include "platform/directory.h"
#include "storage/directory_locks.h"
#include "storage/table_locks.h"

namespace veltra {
namespace {

// A scratch directory with a lock file and one registered table; removed at exit.
class BenchDirectory {
 public:
  BenchDirectory() {
    std::string pattern = platform::TemporaryDirectory() + "/lock_bench.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
    locks_ = std::make_unique<TDataDirectoryLocks>(engine_, path_, false, "bench");
    locks_->OpenLockFile();
    table_ = &locks_->RegisterTable("Draws");
  }
  ~BenchDirectory() {
    locks_.reset();
    std::remove((path_ + "/veltra.lck").c_str());
    std::remove((path_ + "/reference.db").c_str());
    std::remove(path_.c_str());
  }
  TDataTableLocks& table() { return *table_; }
  const std::string& path() const { return path_; }

 private:
  TDataEngine engine_;
  std::string path_;
  std::unique_ptr<TDataDirectoryLocks> locks_;
  TDataTableLocks* table_ = nullptr;
};

BenchDirectory& Directory() {
  static BenchDirectory directory;
  return directory;
}

void ReadLock(benchmark::State& state) {
  TDataTableLocks& table = Directory().table();
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.LockRead());
    table.UnlockRead();
  }
}
BENCHMARK(ReadLock);

void WriteLock(benchmark::State& state) {
  TDataTableLocks& table = Directory().table();
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.LockWrite(true));
    table.UnlockWrite(true);
  }
}
BENCHMARK(WriteLock);

void Transaction(benchmark::State& state) {
  TDataTableLocks& table = Directory().table();
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.LockTrans());
    benchmark::DoNotOptimize(table.LockWrite(false));
    table.UnlockWrite(false);
    table.UnlockTrans();
  }
}
BENCHMARK(Transaction);

void Check(int result, sqlite3* db) {
  if (result != SQLITE_OK && result != SQLITE_DONE && result != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    std::abort();
  }
}

void SqliteLookup(benchmark::State& state) {
  const std::string file = Directory().path() + "/reference.db";
  sqlite3* db = nullptr;
  Check(sqlite3_open(file.c_str(), &db), db);
  Check(sqlite3_exec(db,
                     "CREATE TABLE IF NOT EXISTS draws(id INTEGER PRIMARY KEY, value INTEGER);"
                     "INSERT OR REPLACE INTO draws VALUES (1, 42);",
                     nullptr, nullptr, nullptr),
        db);
  sqlite3_stmt* statement = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT value FROM draws WHERE id = ?", -1, &statement, nullptr),
        db);
  for (auto _ : state) {
    sqlite3_bind_int(statement, 1, 1);
    Check(sqlite3_step(statement), db);
    benchmark::DoNotOptimize(sqlite3_column_int(statement, 0));
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
}
BENCHMARK(SqliteLookup);

// Keeps each benchmark's time per iteration for the ratio printed at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.iterations > 0) {
        microseconds_[run.benchmark_name()] =
            run.real_accumulated_time / static_cast<double>(run.iterations) * 1e6;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> microseconds_;
};

}  // namespace
}  // namespace veltra

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  veltra::RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& us = reporter.microseconds_;
  for (const auto& [name, value] : us) std::printf("%-14s %8.3f us/op\n", name.c_str(), value);
  if (us.count("ReadLock") != 0 && us.count("SqliteLookup") != 0) {
    const double ratio = us.at("ReadLock") / us.at("SqliteLookup");
    std::printf("read lock + release / reference one-row lookup = %.3f (target <= 0.5): %s\n",
                ratio, ratio <= 0.5 ? "met" : "NOT met");
  }
  benchmark::Shutdown();
  return 0;
}
