// What the mixer device list and its units decide, free of the platform:
// the rate record and how registry values merge into it, the unit serial
// with its check nibble, channel selections and the channel menu, source
// names, the name-ordered unit list, clock election and rate application,
// and the gate that keeps at most one timer tick queued.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvmix {

constexpr int32_t kOk = 0;
constexpr int32_t kFail = static_cast<int32_t>(0x80004005);
constexpr int32_t kPointer = static_cast<int32_t>(0x80004003);

constexpr uint32_t kClaimBit = 0x80000000u;   // frame-rate word: the sender claims the clock
constexpr uint32_t kDefaultSampleRate = 44100;
constexpr uint16_t kDefaultFrameCode = 0x61C1;

// The 12-byte record of every rate exchange.
struct RateRecord {
  uint32_t sampleRate;  // Hz; 0 unset
  uint32_t variSpeed;   // passed through
  uint32_t frameRate;   // low 16 bits the code; bit 31 the clock claim
};
static_assert(sizeof(RateRecord) == 12, "rate record is 12 bytes");

inline bool SameRate(const RateRecord& a, const RateRecord& b) {
  return a.sampleRate == b.sampleRate && a.variSpeed == b.variSpeed && a.frameRate == b.frameRate;
}
inline bool Claims(const RateRecord& r) { return (r.frameRate & kClaimBit) != 0; }

// The record the MultiMedia key gives: each value read (null when missing or
// not 4 bytes) over the current record, a zero rate or frame code falling
// back on the current one and then on the defaults, the claim bit always the
// current one.
RateRecord MergeRegistryRate(const RateRecord& current, const uint32_t* sampleRate, const uint32_t* variSpeed,
                             const uint32_t* frameRate);

// "G%X%06X" of (high, low) with the check nibble added to the 'G': 'G'..'V'.
// out: at least 16 characters. False when a half does not fit 24 bits.
bool FormatUnitSerial(uint32_t low, uint32_t high, char* out, size_t size);
// The key path of a unit below HKEY_LOCAL_MACHINE; false (invalid
// parameter) unless both halves fit 24 bits and low is non-zero.
bool UnitKeyPath(uint32_t low, uint32_t high, char* out, size_t size);

// The channel table: nine entries of 12 bytes; byte 2 is the capacity.
constexpr int kChannelEntries = 9;
struct ChannelEntry {
  uint8_t bytes[12];
};
static_assert(sizeof(ChannelEntry) == 12, "channel entry is 12 bytes");

// A selection: `offset` channels skipped from the entry's first channel,
// `count` channels taken, in entry `index`.
struct Selection {
  uint8_t offset;
  uint8_t count;
  uint8_t index;
  uint8_t flags;
};
static_assert(sizeof(Selection) == 4, "selection is 4 bytes");

// The request checked against the table; its non-zero fields (the index
// always) go into the selection. kFail for an entry beyond 8 or more
// channels than the entry has.
int32_t CheckSelection(const ChannelEntry table[kChannelEntries], const Selection* request, Selection* selection);

// A board unit's channel table from the first four bytes of the board's
// qvChannelInfo {first input, first output, inputs, outputs}: the external
// inputs and outputs (entries 0, 1) and the streams (6, 7) hold the board's
// channels; buses, tracks and entry 8 hold none.
void ChannelTableFromInfo(const uint8_t info[4], ChannelEntry table[kChannelEntries]);

constexpr uint8_t kMenuAllEntries = 0x02;  // request flag: the track and stream groups too

struct MenuItem {
  uint32_t id;           // entry x 256 + first channel (1-based)
  bool checked;          // the current selection
  bool columnBreak;      // starts a new menu column
};
// The channel menu: per entry 0, 2 (4 and 6 with kMenuAllEntries, starting at
// 4), one item per mono channel or stereo pair.
std::vector<MenuItem> ChannelMenuItems(const ChannelEntry table[kChannelEntries], const Selection& request,
                                       const Selection& current);

// "e1", "EXT 1-2 ": form 0 the group letter in lower case, form 1 the three
// letters and a blank; then the channel number, "-last" for more than one.
bool FormatGroupName(int entry, int form, unsigned first, unsigned count, wchar_t* out, size_t size);

// Case-insensitive comparison of unit names (ASCII letters folded).
int CompareNames(const wchar_t* a, const wchar_t* b);

// Inserts `node` into the singly linked list before the first node whose
// name compares greater, so equal names keep their arrival order.
// Node: m_next, Name().
template <class Node>
void InsertByName(Node*& head, Node* node) {
  Node** link = &head;
  while (*link && CompareNames((*link)->Name(), node->Name()) <= 0) link = &(*link)->m_next;
  node->m_next = *link;
  *link = node;
}

// A unit as rate application sees it.
class RateUnit {
 public:
  virtual ~RateUnit() = default;
  virtual bool IsActive() = 0;
  virtual int32_t Activate() = 0;
  virtual void Deactivate() = 0;
  virtual int32_t ApplyRate(const RateRecord& record) = 0;
  virtual void RateChanged() = 0;
};

// What rate application asks of the graph.
class RateGraph {
 public:
  virtual ~RateGraph() = default;
  virtual int32_t StopStreaming() = 0;
  // The source changed (null: none).
  virtual void SetSyncSource(RateUnit* source) = 0;
  // The source stayed: the clock changed its rate.
  virtual void ClockChanged() = 0;
};

// The graph's rate and clock source. The caller holds the graph's lock.
class RateState {
 public:
  // A non-source sending without the claim bit is refused.
  bool MayRequest(const RateUnit* source, const RateRecord& record) const {
    return Claims(record) || source == m_source;
  }
  // Applies the record over the units in list order; returns the first
  // failure. The new source takes one activation and the old source gives
  // its one back, whatever their order in the list.
  int32_t Apply(RateUnit* source, RateRecord record, RateUnit* const* units, size_t count, RateGraph& graph);

  RateRecord m_current{0, 0, 0};
  RateUnit* m_source = nullptr;
};

// At most one tick of the periodic job queued: a tick that finds the last
// one still queued or running is dropped.
class TickGate {
 public:
  bool TryQueue() {
    int expected = 0;
    return m_queued.compare_exchange_strong(expected, 1);
  }
  void Done() { m_queued.store(0); }
  bool Queued() const { return m_queued.load() != 0; }

 private:
  std::atomic<int> m_queued{0};
};

// How many clients run a unit: the first activation starts it (taken back
// when the start fails), the last deactivation stops it; a deactivation
// with none left is ignored.
class ActiveCount {
 public:
  template <class Start>
  int32_t Activate(Start start, bool* first) {
    *first = ++m_count == 1;
    if (!*first) return kOk;
    int32_t r = start();
    if (r < 0) {
      --m_count;
      *first = false;
    }
    return r;
  }
  // True when this was the last activation.
  bool Deactivate() {
    if (m_count <= 0) return false;
    return --m_count == 0;
  }
  int Count() const { return m_count; }

 private:
  int m_count = 0;
};

}  // namespace qvmix
