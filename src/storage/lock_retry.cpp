#include "storage/lock_retry.h"

#include "platform/clock.h"

namespace veltra {

void SleepFor(const TLockSleeper& sleeper, uint32_t milliseconds) {
  if (sleeper) {
    sleeper(milliseconds);
  } else {
    platform::SleepMilliseconds(milliseconds);
  }
}

}  // namespace veltra
