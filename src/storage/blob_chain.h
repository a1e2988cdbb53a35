// The chains of blocks that hold BLOB values in a table's BLOB file: loading a value's stored
// bytes, writing them (reusing the value's old chain before taking free blocks) and freeing a
// chain onto the free-block chain.
//
// A value's stored bytes fill the data areas of its chain in order, each block holding
// min(block size - 18, bytes left) and its used count; the first block carries the total stored
// length; every block carries the value's revision number, and a freed block gets a new one, so a
// reader that holds an old reference notices that the value was rewritten (the stale answer).
//
// Walks are checked as they go: a link outside the file, a block met twice (a cycle), a block of
// another revision inside a chain that is being rewritten or freed, or a block pinned by another
// user is kErrBlobBlockCorrupt; no walk takes more steps than the file has blocks. A chain that
// ends before its stored length is kErrBlobEndReached. A failure part-way leaves what was
// already changed in the cache, dirty: the table's change fails and is not stored.
//
// Blocks after the first of a chain are read ahead: the BLOB file reads as many consecutive blocks
// as the value still needs, up to its read-ahead limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "storage/blob_file.h"

namespace veltra {

enum class TChainStatus : uint8_t {
  csDone,
  // A block read showed that another process changed the table: its caches were discarded, the
  // caller starts its operation again.
  csRetry,
  // A block of the chain carries another revision: the reference is older than the value.
  csStale,
};

struct TLoadedChain {
  TChainStatus status = TChainStatus::csDone;
  std::vector<std::byte> bytes;  // the stored bytes, when done
};

// The stored bytes of the value whose chain starts at `first_block` (0: the empty value) and
// carries `revision`.
TLoadedChain LoadBlobChain(TBlobFile& file, uint32_t first_block, int32_t revision);

struct TWrittenChain {
  TChainStatus status = TChainStatus::csDone;
  uint32_t first_block = 0;  // the chain's first block when done; 0 for the empty value
};

// Writes `stored` as a chain with `revision`, reusing the blocks of the old chain that starts at
// `old_first_block` (0: none) in order, then taking blocks; what is left of the old chain is
// freed. Empty `stored` frees the old chain. More than 4294967295 bytes is kErrInvalidBlobLength.
// Never answers csStale.
TWrittenChain WriteBlobChain(TBlobFile& file, uint32_t old_first_block, int32_t revision,
                             std::span<const std::byte> stored);

// Frees the chain that starts at `first_block` (0: nothing to free), giving each block
// `new_revision`. Never answers csStale.
TChainStatus FreeBlobChain(TBlobFile& file, uint32_t first_block, int32_t new_revision);

}  // namespace veltra
