// A table of held byte ranges of one file, each with its owner, that refuses overlaps.
//
// Byte-range locks must fail when any byte of the range is held by anyone, the same owner
// included, and an unlock must name exactly a range that is held. The operating system's locks
// cannot say that inside one process (a descriptor may re-lock its own bytes), so every lock
// taken through the platform's files is recorded here as well; the table alone also serves
// locks that live only in memory.
//
// The table has no lock of its own: its user guards it (the platform's files keep it in the
// per-file state under that state's mutex).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace veltra::platform {

class RangeLockTable {
 public:
  // Identifies the holder of a range (a file handle, a session); any value the user chooses.
  using Owner = uint64_t;

  // Whether any held range shares a byte with [offset, offset + length).
  // REQUIRES: length >= 1 and offset + length does not overflow.
  bool Overlaps(uint64_t offset, uint64_t length) const;

  // Whether `owner` holds exactly the range [offset, offset + length).
  bool Holds(Owner owner, uint64_t offset, uint64_t length) const;

  // Records the range for `owner`.
  // REQUIRES: the range is valid as for Overlaps and overlaps nothing held.
  void Insert(Owner owner, uint64_t offset, uint64_t length);

  // Overlaps check and Insert in one step: true when the range was free and is now held.
  bool TryLock(Owner owner, uint64_t offset, uint64_t length);

  // Removes the range when `owner` holds exactly it and returns true; otherwise changes nothing
  // and returns false (a sub-range, a super-range or another owner's range is not held).
  bool Unlock(Owner owner, uint64_t offset, uint64_t length);

  // Removes every range of `owner` (its handle closed); returns how many were removed.
  size_t ReleaseOwner(Owner owner);

  size_t size() const { return ranges_.size(); }
  bool empty() const { return ranges_.empty(); }

 private:
  struct Held {
    uint64_t length;
    Owner owner;
  };

  // Held ranges by first byte. They never overlap, so the only candidate for an overlap with a
  // range is the held range with the greatest start not past the range's last byte.
  std::map<uint64_t, Held> ranges_;
};

}  // namespace veltra::platform
