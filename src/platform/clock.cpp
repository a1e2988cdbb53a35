#include "platform/clock.h"

#include <sched.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace veltra::platform {
namespace {

timespec Now(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return now;
}

}  // namespace

uint32_t TickCount() {
  timespec now = Now(CLOCK_MONOTONIC);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

int64_t PerformanceCounter() {
  timespec now = Now(CLOCK_MONOTONIC);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t PerformanceFrequency() { return 1000000000; }

void SleepMilliseconds(uint32_t milliseconds) {
  if (milliseconds == 0) {
    ::sched_yield();
    return;
  }
  timespec wait{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

int64_t CurrentThreadId() { return static_cast<int64_t>(::syscall(SYS_gettid)); }

LocalDateTime CurrentLocalDateTime() {
  timespec now = Now(CLOCK_REALTIME);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec,
                       static_cast<int>(now.tv_nsec / 1000000), local.tm_wday};
}

}  // namespace veltra::platform
