// How the engine applies a block cipher to a buffer (a record, an index page, a BLOB block, a
// header or a definition area): the whole 8-byte blocks from the start of the area, in order,
// each chained to the one before, and then a reset of the chain. Bytes after the last whole block
// stay as they are; an area shorter than 8 bytes is not changed at all. Every call is therefore an
// independent CBC message from a zero start vector, so any unit can be read and written on its
// own, in any order, and two equal units encrypt alike.
//
// TransformBuffer holds these rules for any block cipher, so a cipher the application supplies
// (through the engine core's hooks) is driven in exactly the same units and order as the built-in
// one. EncryptBuffer / DecryptBuffer are the built-in cipher's fast path.
//
// No allocation; the caller's area is transformed in place.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/cipher_state.h"

namespace veltra::crypto {

// Calls `block_op` with each whole 8-byte block of `area`, first to last, then calls `reset`
// once; `reset` runs also when the area holds no whole block. When `block_op` throws, the later
// blocks are left alone, `reset` still runs and the block's exception propagates (an exception
// from that `reset` is dropped, so the first failure is the one reported). An exception from
// `reset` after all blocks succeeded propagates.
template <typename BlockOp, typename ResetOp>
requires std::invocable<BlockOp&, std::span<uint8_t, kCipherBlockSize>> && std::invocable<ResetOp&>
void TransformBuffer(std::span<uint8_t> area, BlockOp&& block_op, ResetOp&& reset) {
  const size_t block_count = area.size() / kCipherBlockSize;
  uint8_t* block = area.data();
  try {
    for (size_t i = 0; i < block_count; ++i, block += kCipherBlockSize) {
      block_op(std::span<uint8_t, kCipherBlockSize>(block, kCipherBlockSize));
    }
  } catch (...) {
    try {
      reset();
    } catch (...) {
    }
    throw;
  }
  reset();
}

// Encrypts the whole blocks of `area` in place with `state` (CBC from a zero start vector) and
// leaves the chain reset. Never fails.
void EncryptBuffer(CipherState& state, std::span<uint8_t> area);

// The inverse of EncryptBuffer with the same state: decrypts the whole blocks of `area` in place
// and leaves the chain reset. Never fails; a wrong key gives wrong bytes, not an error.
void DecryptBuffer(CipherState& state, std::span<uint8_t> area);

}  // namespace veltra::crypto
