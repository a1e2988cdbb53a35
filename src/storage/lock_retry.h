// The retry loop of the lock layer: a lock that is busy is tried again after a short sleep, a
// bounded number of times. The sleep goes through a replaceable sleeper, so tests can count the
// waits instead of sleeping them.
//
// Thread use: the functions keep no state; a sleeper is called on the caller's thread.
#pragma once

#include <cstdint>
#include <functional>

#include "core/engine_settings.h"

namespace veltra {

// Sleeps for the given number of milliseconds (or pretends to). Empty: the platform's sleep.
using TLockSleeper = std::function<void(uint32_t milliseconds)>;

// The retry settings of the registry locks of a lock file (fixed: 32,768 retries, 3 ms apart).
inline constexpr TLockRetrySettings kRegistryLockRetry{.WaitTime = 3, .RetryCount = 32768};

// Sleeps `milliseconds` through `sleeper`, or the platform's sleep when it is empty.
void SleepFor(const TLockSleeper& sleeper, uint32_t milliseconds);

// Calls `attempt` until it answers true, at most retry.RetryCount + 1 times, sleeping
// retry.WaitTime milliseconds after every failed attempt but the last (so at most RetryCount
// sleeps). Returns whether an attempt succeeded. Exceptions of `attempt` or of the sleeper
// propagate at once. A template so that the uncontended path (the first attempt succeeds) costs
// the attempt alone.
template <typename Attempt>
bool RetryLock(const TLockRetrySettings& retry, const TLockSleeper& sleeper, Attempt&& attempt) {
  for (uint32_t failures = 0;; ++failures) {
    if (attempt()) return true;
    if (failures >= retry.RetryCount) return false;
    SleepFor(sleeper, retry.WaitTime);
  }
}

}  // namespace veltra
