#include "platform/fault_injection.h"

#include <atomic>
#include <cerrno>

namespace veltra::platform {
namespace {

// One armed fault. `remaining` counts down the operations still to pass; 0 means disarmed. The
// plan's other fields are written before `remaining` is published (release) and read after it
// was seen non-zero (acquire).
struct FaultSlot {
  std::atomic<uint64_t> remaining{0};
  std::atomic<int> kind{0};
  std::atomic<bool> persistent{false};
  std::atomic<uint64_t> fired{0};
};

FaultSlot g_slots[kFaultOperationCount];

FaultSlot& SlotOf(FaultOperation operation) { return g_slots[static_cast<int>(operation)]; }

FaultDecision DecisionFor(FaultOperation operation, FaultKind kind) {
  switch (kind) {
    case FaultKind::fkIoError:
      return {EIO, false};
    case FaultKind::fkNoSpace:
      return {ENOSPC, false};
    case FaultKind::fkShortWrite:
      if (operation == FaultOperation::foWrite) return {ENOSPC, true};
      if (operation == FaultOperation::foRead) return {0, true};
      return {EIO, false};
  }
  return {EIO, false};
}

}  // namespace

bool ArmFault(const FaultPlan& plan) {
  if (!kFaultInjectionBuilt || plan.nth == 0) return false;
  FaultSlot& slot = SlotOf(plan.operation);
  slot.remaining.store(0, std::memory_order_relaxed);
  slot.kind.store(static_cast<int>(plan.kind), std::memory_order_relaxed);
  slot.persistent.store(plan.persistent, std::memory_order_relaxed);
  slot.remaining.store(plan.nth, std::memory_order_release);
  return true;
}

void DisarmFault(FaultOperation operation) {
  SlotOf(operation).remaining.store(0, std::memory_order_release);
}

void DisarmAllFaults() {
  for (FaultSlot& slot : g_slots) slot.remaining.store(0, std::memory_order_release);
}

uint64_t FaultsFired(FaultOperation operation) {
  return SlotOf(operation).fired.load(std::memory_order_relaxed);
}

namespace fault_detail {

FaultDecision CheckArmedFault(FaultOperation operation) {
  FaultSlot& slot = SlotOf(operation);
  uint64_t remaining = slot.remaining.load(std::memory_order_acquire);
  while (remaining != 0) {
    if (remaining == 1) {
      // A persistent fault stays at 1 and fires for every later operation as well.
      bool persistent = slot.persistent.load(std::memory_order_relaxed);
      if (persistent ||
          slot.remaining.compare_exchange_weak(remaining, 0, std::memory_order_acq_rel)) {
        slot.fired.fetch_add(1, std::memory_order_relaxed);
        auto kind = static_cast<FaultKind>(slot.kind.load(std::memory_order_relaxed));
        return DecisionFor(operation, kind);
      }
      continue;  // another thread moved the count; look again
    }
    if (slot.remaining.compare_exchange_weak(remaining, remaining - 1, std::memory_order_acq_rel)) {
      return FaultDecision{};
    }
  }
  return FaultDecision{};
}

}  // namespace fault_detail
}  // namespace veltra::platform
