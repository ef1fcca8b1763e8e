// Random sequences of log, view and play-list operations on small heaps: no
// crash, no stale node, and every log and play list stays in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "logs/qvMidRec/midlog.h"
#include "logs/qvMidRec/midlog_private.h"

namespace {

constexpr int64_t kSamplesPerQuarter = 24000;

int32_t QVMIV_CALLBACK Span(uint32_t sLo, uint32_t sHi, uint32_t res, uint32_t eLo, uint32_t eHi) {
  const int64_t s = static_cast<int64_t>(uint64_t{sHi} << 32 | sLo);
  const int64_t e = static_cast<int64_t>(uint64_t{eHi} << 32 | eLo);
  return static_cast<int32_t>((e - s) * res / kSamplesPerQuarter);
}

uint32_t QVMIV_CALLBACK ToLoc(uint32_t sLo, uint32_t sHi, uint32_t res, uint32_t ticks) {
  const int64_t s = static_cast<int64_t>(uint64_t{sHi} << 32 | sLo);
  return static_cast<uint32_t>(s + int64_t{ticks} * kSamplesPerQuarter / res);
}

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool More() const { return p_ < end_; }
  uint8_t U8() { return p_ < end_ ? *p_++ : 0; }
  uint32_t U16() { return U8() | uint32_t{U8()} << 8; }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckLogOrdered(MidiLogHandle log) {
  int32_t n = 0;
  if (MidiGetLogEventCnt(log, &n) == 0) return;
  std::vector<MidiLogEvent> all(static_cast<size_t>(n));
  Check(MidiGetAllLogEvents(log, &n, all.data()) == 1);
  for (size_t i = 1; i < all.size(); ++i) Check(all[i - 1].position <= all[i].position);
}

void CheckPlayListOrdered(MidiPlayList list) {
  MidiPlayEntry prev{0, 0};
  for (uint32_t n = list; n != 0; n = MidiPlayNodeNext(n)) {
    MidiPlayEntry e{};
    Check(MidiGetPlayNode(n, &e) == 1);
    Check(prev.position <= e.position);
    prev = e;
  }
}

MidiViewHandle AnyView(MidiViewListHandle list, uint8_t pick) {
  MidiViewHandle v = MidiFirstView(list);
  for (uint8_t i = 0; v != 0 && i < pick % 4; ++i) {
    const MidiViewHandle next = MidiNextView(v);
    if (next == 0) break;
    v = next;
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MidiLibRelease();
  MidiSetHeapBlockLimit(MidiHeapKind::kEvents, 2);
  MidiSetHeapBlockLimit(MidiHeapKind::kViews, 1);
  MidiSetHeapBlockLimit(MidiHeapKind::kPlayNodes, 2);
  const MidiInitRecord init{Span, ToLoc};
  MidiSetInitRecord(&init);

  MidiLogHandle logs[4] = {};
  MidiViewListHandle lists[4] = {};
  MidiEventHandle node = 0;
  Bytes in(data, size);
  while (in.More()) {
    const uint8_t op = in.U8();
    const uint8_t a = in.U8();
    MidiLogHandle& log = logs[a % 4];
    MidiViewListHandle& list = lists[(a >> 2) % 4];
    switch (op % 11) {
      case 0: MidiCreateLog(&log, (a & 0x10) != 0 ? 960 : 0); break;
      case 1: MidiDeleteLog(log); break;
      case 2: {
        MidiLogEvent e{};
        e.position = in.U16();
        e.kind = static_cast<uint8_t>(in.U8() % 8);
        e.data1 = in.U8() % 4;
        e.data2 = static_cast<int16_t>(in.U16());
        e.value = in.U16();
        MidiAddLogEvent(log, &e);
        break;
      }
      case 3: MidiDeleteAllLogEvents(log); break;
      case 4: {
        MidiLogEvent e{};
        MidiGetLogFirstEqualOrNxtEventFromTickPos(log, in.U8() % 8, in.U16(), &e, &node);
        break;
      }
      case 5: {
        MidiLogEvent e{};
        MidiGetLogNxtEvent(node, in.U8() % 8, &e, &node);
        break;
      }
      case 6: MidiCreateViewList(in.U8() % 4, a & 1, &list); break;
      case 7: MidiDeleteViewList(list); break;
      case 8: {
        const MidiView v{in.U16(), in.U16(), in.U16(), log};
        MidiAddView(list, &v);
        break;
      }
      case 9: {
        const MidiPlayList play = BuildPlayList(in.U8() % 18, in.U8() % 4, in.U8() % 5);
        CheckPlayListOrdered(play);
        const MidiPlayList chase = BuildChaseList(play, in.U16());
        CheckPlayListOrdered(chase);
        FreePlayList(chase);
        FreePlayList(play);
        break;
      }
      case 10: {
        const uint32_t position = in.U16();
        const uint32_t message = in.U8() | (in.U8() % 4u) << 8 | uint32_t{in.U8()} << 16;
        WriteRecordedEvent(AnyView(list, a), position, message, position + in.U16());
        break;
      }
    }
    CheckLogOrdered(log);
  }
  MidiLibRelease();
  return 0;
}
