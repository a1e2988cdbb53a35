// The lock file's content: the table registry of a database directory, whose positions give every
// table name that ever took part in locking its table id (1 to 4096). This module encodes and
// decodes that content and reads and writes it through the lock file's engine file; the locks
// and the rules of who may read or write it when live in directory_locks.h.
//
// Layout (little-endian; the file is 4 + L bytes long once written):
//
//   offset  width  content
//   0       4      change counter, signed; raised by one before every change of the registry,
//                  2,147,483,647 followed by 1, so never 0 in a written file; a new file has 1
//   4       4      registry length L: 4 + the bytes of the entries (it counts itself)
//   8       L - 4  the entries in table-id order: a length byte n (0 to 255), then n characters
//                  of the table name; the k-th entry is table id k
//
// Entries are only ever appended. A registration writes the new entries after the old ones
// first, then L, then the counter, and flushes between the entries and L, so that a crash at any
// point leaves either the old registry (with some unused bytes after it, which readers ignore)
// or the new one. Readers therefore accept bytes past 4 + L, and a reader that holds an older
// registry treats any change of the counter or of L as new entries.
//
// Every byte of the file is untrusted: a length below 4 or above the largest registry, an entry
// running past L, more than 4096 entries, or a registry that does not extend the one already
// known raises kErrInvalidTableFile with the lock file's name, and the file is left as it is.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage_limits.h"

namespace veltra {

class TEngineFile;

inline constexpr uint64_t kLockFileCounterOffset = 0;
inline constexpr uint64_t kLockFileLengthOffset = 4;
inline constexpr uint64_t kLockFileEntriesOffset = 8;
inline constexpr size_t kLockFileFieldSize = 4;
// The counter of a newly written lock file.
inline constexpr int32_t kFirstLockFileCounter = 1;
// The longest name an entry can hold (its length is one byte).
inline constexpr size_t kMaxRegistryNameLength = 255;
// L of a registry without entries, and of the largest registry there can be.
inline constexpr int32_t kEmptyRegistryLength = 4;
inline constexpr int32_t kMaxRegistryLength =
    kEmptyRegistryLength + static_cast<int32_t>(kMaxTableId * (1 + kMaxRegistryNameLength));

// The counter that follows `counter`: one more, 2,147,483,647 followed by 1; a counter that is
// not positive (never written) is followed by 1 as well.
int32_t NextLockFileCounter(int32_t counter);

// L for these entries. REQUIRES: every name at most kMaxRegistryNameLength long.
int32_t RegistryLengthOf(std::span<const std::string> names);

// The entry bytes of `names` (each a length byte and the characters), in order.
// REQUIRES: every name at most kMaxRegistryNameLength long.
std::vector<uint8_t> EncodeRegistryEntries(std::span<const std::string> names);

// A whole lock file: counter, L, entries. Tests and the seeding of a new file use it.
std::vector<uint8_t> EncodeLockFile(int32_t counter, std::span<const std::string> names);

// The names held by `entries` (the L - 4 bytes after L). On damage `fault` says what is wrong
// (and `names` holds what was read before it); an empty `fault` means the bytes are sound.
struct TRegistryDecode {
  std::vector<std::string> names;
  std::string_view fault;
};
TRegistryDecode DecodeRegistryEntries(std::span<const uint8_t> entries);

// The counter and L at the head of a lock file.
struct TRegistryHead {
  int32_t counter = 0;
  int32_t length = kEmptyRegistryLength;
  constexpr bool operator==(const TRegistryHead&) const = default;
};

// Reads the head of the lock file. Returns false for an empty file (one whose creator has not
// written it yet, or died before it did). Raises kErrInvalidTableFile for a file shorter than the
// head or an L out of range, kErrReadError when the read fails. REQUIRES: `file` open; the
// caller holds a registry lock.
bool ReadRegistryHead(TEngineFile& file, TRegistryHead& head);

// Reads and validates the entries of a registry whose head is `head`. `known` are the names the
// caller holds already: they must be the first entries of the file, else the file is damaged.
// Returns every name of the file. Raises kErrInvalidTableFile on damage, kErrReadError when the
// read fails. REQUIRES: as for ReadRegistryHead.
std::vector<std::string> ReadRegistryEntries(TEngineFile& file, const TRegistryHead& head,
                                             std::span<const std::string> known);

// Appends `added` to a registry whose head is `old_head`: writes the new entries after the old
// ones, flushes, writes the new L and then `new_counter`, and flushes again. Returns the new
// head. Raises kErrWriteError (or the flush's code) on failure; the file then still holds a
// sound registry (the old or the new one). REQUIRES: `file` open read-write; the caller holds
// the registry write lock.
TRegistryHead AppendRegistryEntries(TEngineFile& file, const TRegistryHead& old_head,
                                    int32_t new_counter, std::span<const std::string> added);

}  // namespace veltra
