// Clock and thread services of the operating system, as the engine uses them: millisecond ticks
// for lock retries and timing, a monotonic performance counter, sleep, the calling thread's id,
// and the local date and time.
//
// Every function may be called from any thread.
#pragma once

#include <cstdint>

namespace veltra::platform {

// Milliseconds since an arbitrary start, from a monotonic clock; wraps like a 32-bit counter.
uint32_t TickCount();

// A monotonic counter in PerformanceFrequency() units per second.
int64_t PerformanceCounter();
int64_t PerformanceFrequency();

// Suspends the calling thread for at least `milliseconds`; 0 yields the processor.
void SleepMilliseconds(uint32_t milliseconds);

// The kernel's id of the calling thread (unique among the live threads of the system).
int64_t CurrentThreadId();

// Broken-down local date and time.
struct LocalDateTime {
  int year;         // four digits
  int month;        // 1..12
  int day;          // 1..31
  int hour;         // 0..23
  int minute;       // 0..59
  int second;       // 0..59
  int millisecond;  // 0..999
  int day_of_week;  // 0 Sunday .. 6 Saturday
};

LocalDateTime CurrentLocalDateTime();

}  // namespace veltra::platform
