// A heap of fixed-size list nodes, carved a block at a time and recycled
// through a free list, never returned one by one.
//
// Nodes are named by 32-bit indices, 1-based (0 = none), so that the nodes
// keep their 32-bit layout in every build and a stale index can be checked
// instead of followed. The directory of blocks is allocated once, with the
// heap, and never moves: a node's address stays valid while the heap lives.
//
// The free list belongs to one thread. Carving may also happen on another
// thread (CarveChain), so the directory grows under a lock of its own; a
// node handed to another thread through a release/acquire pair can be
// reached there with At() without any lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

// prev of a node on the free list: no node in a list has it.
constexpr uint32_t kFreeNodeMark = 0xFFFFFFFFu;

// Node must have u32 fields prev and next.
template <class Node, uint32_t kPerBlock>
class NodeHeap {
 public:
  // Enough for some 67 million events, far beyond a 32-bit process.
  static constexpr uint32_t kMaxBlocks = 65536;

  NodeHeap() = default;
  NodeHeap(const NodeHeap&) = delete;
  NodeHeap& operator=(const NodeHeap&) = delete;
  ~NodeHeap() { Destroy(); }

  bool Exists() const { return dir_ != nullptr; }

  bool Create() {
    if (dir_ != nullptr) return true;
    dir_.reset(new (std::nothrow) Node*[kMaxBlocks]());
    return dir_ != nullptr;
  }

  // Frees every block and forgets the free list.
  void Destroy() {
    if (dir_ == nullptr) return;
    const uint32_t blocks = blocks_.load();
    for (uint32_t b = 0; b < blocks; ++b) delete[] dir_[b];
    dir_.reset();
    blocks_.store(0);
    free_ = 0;
  }

  // Caps the number of blocks this heap may carve (memory bound; tests use
  // it to reach exhaustion). The cap outlives Destroy.
  void SetBlockLimit(uint32_t blocks) {
    std::lock_guard<std::mutex> hold(carve_);
    limit_ = blocks < kMaxBlocks ? blocks : kMaxBlocks;
  }

  // A fresh block as a chain of free nodes linked through next, left off
  // the free list: the first node's index, 0 when none can be carved. Safe
  // beside the free list's own thread.
  uint32_t CarveChain() { return CarveBlock(); }

  // A node off the free list with prev = next = 0, carving a block when the
  // list is empty; 0 when none can be had.
  uint32_t Take() {
    if (free_ == 0 && !Carve()) return 0;
    const uint32_t n = free_;
    Node& node = At(n);
    free_ = node.next;
    node.prev = 0;
    node.next = 0;
    return n;
  }

  void Give(uint32_t n) {
    Node& node = At(n);
    node.prev = kFreeNodeMark;
    node.next = free_;
    free_ = n;
  }

  // Returns a chain linked through next, from first to its end.
  void GiveChain(uint32_t first) {
    while (first != 0) {
      const uint32_t next = At(first).next;
      Give(first);
      first = next;
    }
  }

  // True for the index of a node carved by this heap and not on its free list.
  bool Live(uint32_t n) const {
    if (n == 0 || dir_ == nullptr || n > blocks_.load(std::memory_order_acquire) * kPerBlock) return false;
    return At(n).prev != kFreeNodeMark;
  }

  Node& At(uint32_t n) { return dir_[(n - 1) / kPerBlock][(n - 1) % kPerBlock]; }
  const Node& At(uint32_t n) const { return dir_[(n - 1) / kPerBlock][(n - 1) % kPerBlock]; }

 private:
  // Onto the (empty) free list.
  bool Carve() {
    free_ = CarveBlock();
    return free_ != 0;
  }

  // One zeroed block chained in index order; its first index, or 0.
  uint32_t CarveBlock() {
    std::lock_guard<std::mutex> hold(carve_);
    const uint32_t blocks = blocks_.load(std::memory_order_relaxed);
    if (dir_ == nullptr || blocks >= limit_) return 0;
    Node* block = new (std::nothrow) Node[kPerBlock]();
    if (block == nullptr) return 0;
    const uint32_t base = blocks * kPerBlock + 1;
    for (uint32_t i = 0; i < kPerBlock; ++i) {
      block[i].prev = kFreeNodeMark;
      block[i].next = i + 1 < kPerBlock ? base + i + 1 : 0;
    }
    dir_[blocks] = block;
    blocks_.store(blocks + 1, std::memory_order_release);
    return base;
  }

  std::unique_ptr<Node*[]> dir_;
  std::mutex carve_;
  std::atomic<uint32_t> blocks_{0};
  uint32_t free_ = 0;
  uint32_t limit_ = kMaxBlocks;
};
