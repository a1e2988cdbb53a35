#include "storage/block_index.h"

#include <utility>

namespace veltra {

namespace {

constexpr unsigned kInitialSlotBits = 4;  // 16 slots
// Freed nodes kept for the groups a scan enters next; more are given back.
constexpr size_t kMaxSpareNodes = 16;

}  // namespace

BlockIndex::BlockIndex()
    : slots_(size_t{1} << kInitialSlotBits),
      mask_((size_t{1} << kInitialSlotBits) - 1),
      shift_(32 - kInitialSlotBits) {}

BlockIndex::~BlockIndex() = default;

void BlockIndex::Clear() {
  for (Slot& slot : slots_) {
    if (slot.key == 0) continue;
    for (TBuffer* buffer : slot.node->buffers) {
      if (buffer != nullptr) buffer->index_node_ = nullptr;
    }
    slot.key = 0;
    slot.node.reset();
  }
  recent_ = nullptr;
  node_count_ = 0;
}

bool BlockIndex::AnyInRange(uint32_t first, uint32_t count) const {
  const uint32_t last = first + (count - 1);
  for (uint32_t key = KeyOf(first); key <= KeyOf(last); ++key) {
    const Node* node = FindNode(key);
    if (node == nullptr) continue;
    // Group g holds blocks 16 (g - 1) .. 16 (g - 1) + 15 (key g); only the part inside the range
    // counts.
    const uint32_t group_first = (key - 1) << kGroupBits;
    const uint32_t from = first > group_first ? first - group_first : 0;
    const uint32_t to = last - group_first < kGroupMask ? last - group_first : kGroupMask;
    if (from == 0 && to == kGroupMask) return true;  // a node is never empty
    for (uint32_t entry = from; entry <= to; ++entry) {
      if (node->buffers[entry] != nullptr) return true;
    }
  }
  return false;
}

BlockIndex::Node& BlockIndex::AddNode(uint32_t key) {
  if ((node_count_ + 1) * 2 > slots_.size()) Grow();
  std::unique_ptr<Node> node;
  if (!spare_.empty()) {
    node = std::move(spare_.back());
    spare_.pop_back();
  } else {
    node = std::make_unique<Node>();
  }
  node->key = key;
  size_t slot = Home(key);
  while (slots_[slot].key != 0) slot = (slot + 1) & mask_;
  slots_[slot].key = key;
  slots_[slot].node = std::move(node);
  ++node_count_;
  recent_ = slots_[slot].node.get();
  return *recent_;
}

void BlockIndex::RemoveNode(uint32_t key) {
  size_t hole = Home(key);
  while (slots_[hole].key != key) hole = (hole + 1) & mask_;
  std::unique_ptr<Node> node = std::move(slots_[hole].node);
  if (recent_ == node.get()) recent_ = nullptr;
  node->key = 0;  // every buffer entry is already null: the count reached 0
  if (spare_.size() < kMaxSpareNodes) spare_.push_back(std::move(node));
  // Backward shift: move up every later entry of the probe run that may stand in the hole, so
  // that no lookup meets an empty slot before its entry.
  for (size_t next = (hole + 1) & mask_; slots_[next].key != 0; next = (next + 1) & mask_) {
    const size_t home = Home(slots_[next].key);
    if (((next - home) & mask_) >= ((next - hole) & mask_)) {
      slots_[hole] = std::move(slots_[next]);
      slots_[next].key = 0;
      hole = next;
    }
  }
  slots_[hole].key = 0;
  slots_[hole].node.reset();
  --node_count_;
}

void BlockIndex::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_ = std::vector<Slot>(old.size() * 2);
  mask_ = slots_.size() - 1;
  --shift_;
  for (Slot& entry : old) {
    if (entry.key == 0) continue;
    size_t slot = Home(entry.key);
    while (slots_[slot].key != 0) slot = (slot + 1) & mask_;
    slots_[slot] = std::move(entry);
  }
}

}  // namespace veltra
