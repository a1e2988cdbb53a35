// Test-only fault injection for file I/O: a process-wide switch that makes the N-th read, write,
// flush or set-end-of-file (counted per operation kind from the moment it is armed) fail the way
// a disk fails, so that the engine's failure paths are tested against the errors they will meet.
//
// The hooks exist only in builds that define ALLSQL_FAULT_INJECTION (the Debug build does). In
// other builds CheckFault is a constant "no fault" that the compiler removes, and arming does
// nothing (ArmFault returns false, so a test can skip itself).
//
// Every function may be called from any thread; the counters are atomics.
#pragma once

#include <cstdint>

namespace veltra::platform {

#ifdef ALLSQL_FAULT_INJECTION
inline constexpr bool kFaultInjectionBuilt = true;
#else
inline constexpr bool kFaultInjectionBuilt = false;
#endif

// The file operations that can be made to fail; each kind has its own counter.
enum class FaultOperation { foRead, foWrite, foFlush, foSetEndOfFile };
inline constexpr int kFaultOperationCount = 4;

// How the chosen operation fails.
enum class FaultKind {
  fkIoError,    // fails with EIO, nothing transferred
  fkNoSpace,    // fails with ENOSPC, nothing transferred
  fkShortWrite  // a write stores the first half of its bytes and then fails with ENOSPC;
                // a read returns the first half of its bytes as if the file ended there;
                // a flush or set-end-of-file fails with EIO
};

struct FaultPlan {
  FaultOperation operation = FaultOperation::foWrite;
  uint64_t nth = 1;  // 1 = the next operation of that kind
  FaultKind kind = FaultKind::fkIoError;
  bool persistent = false;  // the N-th and every later operation of that kind fail until disarmed
};

// What an I/O operation is to do: error 0 without a short transfer means "proceed normally".
struct FaultDecision {
  int error = 0;
  bool short_transfer = false;  // transfer half, then report `error` (writes) or stop (reads)
};

// Arms a fault for plan.operation, replacing any fault armed for that kind and restarting its
// count. Returns false (and does nothing) when fault injection is not built in or nth is 0.
bool ArmFault(const FaultPlan& plan);

// Disarms the fault of one operation kind, or of every kind.
void DisarmFault(FaultOperation operation);
void DisarmAllFaults();

// How many times an armed fault of this kind has fired since the process started.
uint64_t FaultsFired(FaultOperation operation);

// Arms a fault for the life of the object (tests).
class ScopedFault {
 public:
  explicit ScopedFault(const FaultPlan& plan) : operation_(plan.operation) {
    armed_ = ArmFault(plan);
  }
  ~ScopedFault() { DisarmFault(operation_); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;

  bool armed() const { return armed_; }

 private:
  FaultOperation operation_;
  bool armed_ = false;
};

namespace fault_detail {
FaultDecision CheckArmedFault(FaultOperation operation);
}  // namespace fault_detail

// Called by every file operation of the given kind before it touches the system.
inline FaultDecision CheckFault(FaultOperation operation) {
  if constexpr (kFaultInjectionBuilt) {
    return fault_detail::CheckArmedFault(operation);
  } else {
    (void)operation;
    return FaultDecision{};
  }
}

}  // namespace veltra::platform
