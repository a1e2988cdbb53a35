#include "platform/range_lock_table.h"

#include <iterator>

namespace veltra::platform {

bool RangeLockTable::Overlaps(uint64_t offset, uint64_t length) const {
  uint64_t last = offset + (length - 1);
  auto after = ranges_.upper_bound(last);
  if (after == ranges_.begin()) return false;
  auto candidate = std::prev(after);
  uint64_t candidate_last = candidate->first + (candidate->second.length - 1);
  return candidate_last >= offset;
}

bool RangeLockTable::Holds(Owner owner, uint64_t offset, uint64_t length) const {
  auto found = ranges_.find(offset);
  return found != ranges_.end() && found->second.length == length && found->second.owner == owner;
}

void RangeLockTable::Insert(Owner owner, uint64_t offset, uint64_t length) {
  ranges_.emplace(offset, Held{length, owner});
}

bool RangeLockTable::TryLock(Owner owner, uint64_t offset, uint64_t length) {
  if (Overlaps(offset, length)) return false;
  Insert(owner, offset, length);
  return true;
}

bool RangeLockTable::Unlock(Owner owner, uint64_t offset, uint64_t length) {
  if (!Holds(owner, offset, length)) return false;
  ranges_.erase(offset);
  return true;
}

size_t RangeLockTable::ReleaseOwner(Owner owner) {
  size_t removed = 0;
  for (auto it = ranges_.begin(); it != ranges_.end();) {
    if (it->second.owner == owner) {
      it = ranges_.erase(it);
      ++removed;
    } else {
      ++it;
    }
  }
  return removed;
}

}  // namespace veltra::platform
