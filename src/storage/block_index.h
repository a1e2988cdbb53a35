// The block cache's index: block number → buffer in constant time.
//
// Block numbers are taken in groups of sixteen consecutive numbers. A hash table (open addressing,
// linear probing, Fibonacci hashing, at most half full) maps a group number to a small node that
// holds the buffers of the group's blocks. Consecutive blocks therefore share a node: a
// sequential scan, which looks up, adds and removes blocks in order, stays within a few nodes and
// touches the hash table once per sixteen blocks, and the last node used answers the next lookup
// without probing at all. Nodes are freed with their last buffer, so the memory follows the
// number of cached blocks whatever their numbers.
//
// One thread at a time uses an index (Find updates the last-node shortcut).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "storage/buffer.h"

namespace veltra {

class BlockIndex {
 public:
  BlockIndex();
  ~BlockIndex();
  BlockIndex(const BlockIndex&) = delete;
  BlockIndex& operator=(const BlockIndex&) = delete;

  // The buffer of `block`, or null. Block 0 is never indexed.
  TBuffer* Find(uint32_t block) const {
    const Node* node = FindNode(KeyOf(block));
    return node != nullptr ? node->buffers[block & kGroupMask] : nullptr;
  }

  // Indexes `buffer` under its block number. REQUIRES: block number != 0 and not indexed; the
  // buffer is in no index.
  void Insert(TBuffer& buffer) {
    const uint32_t key = KeyOf(buffer.block_number_);
    Node* node = FindNode(key);
    if (node == nullptr) node = &AddNode(key);
    node->buffers[buffer.block_number_ & kGroupMask] = &buffer;
    ++node->count;
    buffer.index_node_ = node;
  }

  // Removes an indexed buffer, found through the node it records (no lookup).
  void Erase(TBuffer& buffer) {
    Node* node = static_cast<Node*>(buffer.index_node_);
    if (node == nullptr) return;
    buffer.index_node_ = nullptr;
    node->buffers[buffer.block_number_ & kGroupMask] = nullptr;
    if (--node->count == 0) RemoveNode(node->key);
  }

  // Whether any block of [first, first + count) is indexed. One lookup per group of sixteen.
  // REQUIRES: count > 0 and first + count - 1 does not pass the largest block number.
  bool AnyInRange(uint32_t first, uint32_t count) const;

  void Clear();

 private:
  static constexpr unsigned kGroupBits = 4;
  static constexpr uint32_t kGroupMask = (1u << kGroupBits) - 1;

  struct Node : BlockIndexNode {
    uint32_t key = 0;    // group number + 1
    uint32_t count = 0;  // buffers held
    TBuffer* buffers[size_t{1} << kGroupBits] = {};
  };
  struct Slot {
    uint32_t key = 0;  // 0: empty
    std::unique_ptr<Node> node;
  };

  // Group numbers count from 0; the key keeps 0 for an empty slot.
  static uint32_t KeyOf(uint32_t block) { return (block >> kGroupBits) + 1; }

  size_t Home(uint32_t key) const { return static_cast<uint32_t>(key * 0x9E3779B9u) >> shift_; }

  Node* FindNode(uint32_t key) const {
    if (recent_ != nullptr && recent_->key == key) return recent_;
    for (size_t slot = Home(key);; slot = (slot + 1) & mask_) {
      const Slot& entry = slots_[slot];
      if (entry.key == key) {
        recent_ = entry.node.get();
        return recent_;
      }
      if (entry.key == 0) return nullptr;
    }
  }

  Node& AddNode(uint32_t key);
  void RemoveNode(uint32_t key);
  void Grow();

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  unsigned shift_ = 0;
  size_t node_count_ = 0;
  mutable Node* recent_ = nullptr;            // the node of the last lookup, if still live
  std::vector<std::unique_ptr<Node>> spare_;  // freed nodes kept for reuse
};

}  // namespace veltra
