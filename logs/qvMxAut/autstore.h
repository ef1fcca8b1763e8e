// Storage of the automation library: handle tables for the objects the host
// names (logs, view lists, knobs, knob maps) and block-carved node pools for
// events and views. Records link each other by handle or node index, never
// by address, so they keep their layout in 32- and 64-bit builds and a link
// to something deleted finds nothing instead of a recycled record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

// No node: the end of a chain, an empty cursor.
constexpr uint32_t kAutNoNode = 0xFFFFFFFFu;

// The kind of object a handle names; part of the handle, so a handle of one
// kind given where another is expected finds nothing.
enum class AutKind : uint32_t { Log = 1, ViewList = 2, Knob = 3, PlayMap = 4, RecordMap = 5 };

// A handle is kind (3 bits) | slot generation (12 bits) | slot (17 bits);
// never 0, since the kind is never 0.
template <class T, AutKind K>
class AutHandleTable {
 public:
  static constexpr uint32_t kSlotBits = 17;
  static constexpr uint32_t kGenBits = 12;
  static constexpr uint32_t kMaxSlots = 1u << kSlotBits;

  T* Find(uint32_t handle) {
    const uint32_t slot = handle & (kMaxSlots - 1);
    if ((handle >> (kSlotBits + kGenBits)) != static_cast<uint32_t>(K)) return nullptr;
    if (slot >= slots_.size() || !slots_[slot].used) return nullptr;
    if (slots_[slot].generation != ((handle >> kSlotBits) & ((1u << kGenBits) - 1))) return nullptr;
    return &slots_[slot].value;
  }

  // The new object's handle; 0 when the table is full or memory runs out.
  uint32_t Add(T&& value) {
    try {
      uint32_t slot;
      if (!free_.empty()) {
        slot = free_.back();
        free_.pop_back();
      } else {
        if (slots_.size() >= kMaxSlots) return 0;
        free_.reserve(slots_.size() + 1);  // Remove never has to allocate
        slots_.emplace_back();
        slot = static_cast<uint32_t>(slots_.size() - 1);
      }
      Slot& s = slots_[slot];
      s.used = true;
      s.value = std::move(value);
      ++live_;
      return (static_cast<uint32_t>(K) << (kSlotBits + kGenBits)) | (s.generation << kSlotBits) | slot;
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }

  void Remove(uint32_t handle) {
    if (Find(handle) == nullptr) return;
    Slot& s = slots_[handle & (kMaxSlots - 1)];
    s.used = false;
    s.value = T{};
    s.generation = (s.generation + 1) & ((1u << kGenBits) - 1);
    free_.push_back(handle & (kMaxSlots - 1));
    --live_;
  }

  uint32_t Count() const { return live_; }

  // The live handles, a snapshot the caller may delete through.
  std::vector<uint32_t> Handles() const {
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].used) {
        out.push_back((static_cast<uint32_t>(K) << (kSlotBits + kGenBits)) | (slots_[i].generation << kSlotBits) | i);
      }
    }
    return out;
  }

 private:
  struct Slot {
    uint32_t generation = 0;
    bool used = false;
    T value{};
  };
  std::vector<Slot> slots_;
  std::vector<uint32_t> free_;
  uint32_t live_ = 0;
};

// Nodes carved Block at a time, zeroed and chained into a free list through
// their `next` word, recycled through it; each node remembers the handle of
// the object it belongs to (0 while free), so a cursor is checked in O(1).
template <class Node, uint32_t Block>
class AutNodePool {
 public:
  explicit AutNodePool(uint32_t limit) : limit_(limit) {}

  Node& operator[](uint32_t i) { return nodes_[i]; }
  const Node& operator[](uint32_t i) const { return nodes_[i]; }

  // A free node for owner, or kAutNoNode when none can be carved.
  uint32_t Take(uint32_t owner) {
    if (free_ == kAutNoNode && !Carve()) return kAutNoNode;
    const uint32_t i = free_;
    free_ = nodes_[i].next;
    nodes_[i] = Node{};
    owner_[i] = owner;
    return i;
  }

  void Give(uint32_t i) {
    nodes_[i] = Node{};
    nodes_[i].next = free_;
    owner_[i] = 0;
    free_ = i;
  }

  bool Owns(uint32_t owner, uint32_t i) const { return i < owner_.size() && owner != 0 && owner_[i] == owner; }
  uint32_t Owner(uint32_t i) const { return i < owner_.size() ? owner_[i] : 0; }

  // Frees every block; only when no owner holds a node any more.
  void Destroy() {
    std::vector<Node>().swap(nodes_);
    std::vector<uint32_t>().swap(owner_);
    free_ = kAutNoNode;
  }

 private:
  bool Carve() {
    const size_t n = nodes_.size();
    if (n + Block > limit_) return false;
    try {
      nodes_.resize(n + Block);
      owner_.resize(n + Block, 0);
    } catch (const std::bad_alloc&) {
      nodes_.resize(n);
      owner_.resize(n);
      return false;
    }
    for (size_t i = n; i < n + Block; ++i) {
      nodes_[i] = Node{};
      nodes_[i].next = i + 1 < n + Block ? static_cast<uint32_t>(i + 1) : kAutNoNode;
    }
    free_ = static_cast<uint32_t>(n);
    return true;
  }

  std::vector<Node> nodes_;
  std::vector<uint32_t> owner_;
  uint32_t free_ = kAutNoNode;
  uint32_t limit_;
};

// One event of a log, in a chain of ascending location (equal locations in
// the order they were added).
struct AutEventNode {
  int32_t key;
  uint32_t location;
  int32_t value;
  uint32_t previous;
  uint32_t next;
};
static_assert(sizeof(AutEventNode) == 20);

// One view of a view list, in a chain of ascending start.
struct AutViewNode {
  uint32_t start;        // time-line samples
  uint32_t length;
  uint32_t offset;       // log location at the view's start
  uint32_t log;          // handle
  uint32_t map;          // play or record map handle, as the list's kind
  uint32_t eventCursor;  // an event of the log, where searches in it start
  uint32_t previous;
  uint32_t next;
};
static_assert(sizeof(AutViewNode) == 32);

struct AutLog {
  uint32_t first = kAutNoNode;
  uint32_t cursor = kAutNoNode;  // the event last found, added or removed around
};
static_assert(sizeof(AutLog) == 8);

struct AutViewList {
  uint32_t kind = 0;  // non-zero: record list
  uint32_t track = 0;
  uint32_t firstView = kAutNoNode;
  uint32_t viewCursor = kAutNoNode;  // the view last visited by a locator step
  uint32_t nextList = 0;             // handle; 0 ends the chain
};
static_assert(sizeof(AutViewList) == 20);

// Membership of a knob in one of the engine's knob lists.
struct AutKnobLink {
  uint32_t inList;
  uint32_t link;  // next knob's handle; 0 ends the list
};

struct AutKnob {
  uint32_t hostId;
  uint32_t glide;  // the first AutKnobDesc word
  uint32_t descUnread[3];
  uint32_t enableMode;  // 0 off, 1 plays, 2 plays and records the user's moves
  uint32_t track;
  uint32_t index;        // entry of the record map
  uint32_t touchTime;    // ms of the last user move; 0 = none since start or stop
  uint32_t touchTimeout; // ms
  uint32_t recordList;   // handles, 0 = none
  uint32_t playList;
  int32_t value;
  uint32_t nextKnob;
  struct {
    AutKnobLink link;
    uint32_t view;
    uint32_t event;
  } seen;
  struct {
    AutKnobLink link;
    uint32_t startLocation;
    int32_t startValue;
    uint32_t endLocation;
    int32_t endValue;
    uint32_t lastUpdate;  // ms; 0 = not yet set at all
  } glideTo;
  struct {
    AutKnobLink link;
  } touched;
  struct {
    AutKnobLink link;
    uint32_t startLocation;
    int32_t startValue;
    uint32_t endLocation;
    int32_t endValue;
  } match;
};
static_assert(sizeof(AutKnob) == 132);

struct AutPlayMap {
  std::vector<uint32_t> knobs;  // log key -> knob handle (0 = none)
};

struct AutRecordMapEntry {
  int32_t key;      // -1 until the knob first writes
  int32_t written;  // 0/1
};

struct AutRecordMap {
  uint32_t nextKey = 0;
  int32_t lastKey = -1;
  std::vector<AutRecordMapEntry> entries;  // by knob index
};

// Head and tail of a knob list (handles, 0 = empty).
struct AutKnobList {
  uint32_t head = 0;
  uint32_t tail = 0;
};
