// Shared pieces of the lock layer's tests: an engine with short lock retries, a sleeper that
// counts instead of sleeping, the raw bytes of a file, and the error an action raises.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/data_engine.h"
#include "core/engine_error.h"
#include "storage/directory_locks.h"
#include "support/engine_error_code.h"

namespace veltra::lock_test {

// Retries used by the tests: a busy lock fails after three attempts.
inline constexpr uint16_t kTestRetries = 2;

// An engine whose table locks retry kTestRetries times and whose limits follow `large_files`.
inline void ConfigureEngine(TDataEngine& engine, bool large_files) {
  TEngineSettings settings = engine.Settings();
  settings.LargeFileSupport = large_files;
  for (TLockRetrySettings* retry :
       {&settings.TableReadLock, &settings.TableWriteLock, &settings.TableTransLock}) {
    retry->RetryCount = kTestRetries;
    retry->WaitTime = 1;
  }
  engine.UpdateSettings(settings);
  engine.Start(TStartParameters{});
}

// Counts the sleeps (and their milliseconds) instead of sleeping.
struct SleepCounter {
  uint32_t sleeps = 0;
  uint64_t milliseconds = 0;
  TLockSleeper Sleeper() {
    return [this](uint32_t ms) {
      ++sleeps;
      milliseconds += ms;
    };
  }
};

inline TDirectoryLockOptions FastOptions(SleepCounter& counter) {
  return TDirectoryLockOptions{.sleeper = counter.Sleeper(),
                               .registry_lock = {.WaitTime = 1, .RetryCount = kTestRetries}};
}

inline std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline void TouchFile(const std::string& path) { std::ofstream out(path, std::ios::binary); }

using veltra::testing::CodeRaisedBy;

inline EVELTRAEngineError ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EVELTRAEngineError& error) {
    return error;
  }
  return EVELTRAEngineError(TErrorContextFields{});
}

}  // namespace veltra::lock_test
