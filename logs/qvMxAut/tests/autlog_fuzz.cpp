// Arbitrary sequences of host calls, with handles picked among those handed
// out (and stale or foreign ones), so that every deletion order and every
// walk over deleted logs, maps, knobs and lists is tried.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "logs/qvMxAut/autlog.h"

namespace {

class FuzzSystem : public AutSystem {
 public:
  uint32_t NowMs() override { return now; }
  bool MouseCaptured() override { return captured; }
  uint32_t now = 1000;
  bool captured = false;
};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool Done() const { return p_ >= end_; }
  uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  uint32_t Word() {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w = (w << 8) | Byte();
    return w;
  }
  // Small numbers most of the time, so that events, views and steps meet.
  uint32_t Loc() { return (Byte() & 0x80) != 0 ? Word() : Byte() * 16u; }
  uint32_t Pick(const std::vector<uint32_t>& from) {
    const uint8_t b = Byte();
    return from.empty() || b == 0xFF ? b : from[b % from.size()];
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

void Ignore(void*, uint32_t, int32_t) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSystem sys;
  AutEngine eng(sys, 4000, 200);
  eng.Init(&Ignore, nullptr);
  std::vector<uint32_t> logs, knobs, playMaps, recMaps, lists;
  Input in(data, size);
  for (int ops = 0; ops < 2000 && !in.Done(); ++ops) {
    uint32_t h = 0;
    switch (in.Byte() % 24) {
      case 0: if (eng.CreateLog(&h)) logs.push_back(h); break;
      case 1: eng.DeleteLog(in.Pick(logs)); break;
      case 2: case 3: {
        AutLogKnobEvent e{static_cast<int32_t>(in.Byte() % 4), in.Loc(), static_cast<int32_t>(in.Word()), 0};
        eng.AddLogKnobEvent(in.Pick(logs), &e);
        break;
      }
      case 4: eng.DeleteLogKnobEvent(in.Pick(logs), in.Byte() % 4, in.Loc()); break;
      case 5: { AutLogKnobEvent e; eng.GetPrvLogKnobEventFromLoc(in.Pick(logs), in.Byte() % 4, in.Loc(), &e); break; }
      case 6: { AutLogKnobEvent e; eng.GetNxtLogKnobEventFromLoc(in.Pick(logs), in.Byte() % 4, in.Loc(), &e); break; }
      case 7: if (eng.CopyLog(&h, in.Pick(logs), in.Loc(), in.Loc())) logs.push_back(h); break;
      case 8: eng.ReduceLogKnobEvents(in.Pick(logs), in.Byte() % 4, in.Loc(), in.Loc(), in.Byte()); break;
      case 9: eng.ApplyLastLogKnobEventsFromBegin(in.Pick(logs), in.Byte() % 4, in.Byte() & 1); break;
      case 10: if (eng.CreatePlayLogKnobMap(in.Byte() % 6, &h)) playMaps.push_back(h); break;
      case 11: eng.SetPlayLogKnobMapValue(in.Pick(playMaps), in.Byte() % 7, in.Pick(knobs)); break;
      case 12: if (eng.CreateRecordLogKnobMap(in.Byte() % 6, &h)) recMaps.push_back(h); break;
      case 13: (in.Byte() & 1) ? eng.DeletePlayLogKnobMap(in.Pick(playMaps)) : eng.DeleteRecordLogKnobMap(in.Pick(recMaps)); break;
      case 14: {
        AutKnobDesc d{in.Byte() & 1u, {0, 0, 0}};
        if (eng.CreateKnob(in.Byte(), &d, &h)) knobs.push_back(h);
        break;
      }
      case 15: eng.SetKnobTrkAndIndx(in.Pick(knobs), in.Byte() % 3, in.Byte() % 6); break;
      case 16: eng.SetKnobAutomEnableMode(in.Pick(knobs), in.Byte() % 3); break;
      case 17: eng.DeleteKnob(in.Pick(knobs)); break;
      case 18: if (eng.CreateViewList(in.Byte() % 3, in.Byte() & 1, &h)) lists.push_back(h); break;
      case 19: {
        const uint32_t list = in.Pick(lists);
        AutView v{in.Loc(), in.Loc(), in.Loc(), in.Pick(logs), in.Pick((in.Byte() & 1) ? playMaps : recMaps)};
        eng.AddView(list, &v);
        break;
      }
      case 20: (in.Byte() & 1) ? eng.DeleteViewList(in.Pick(lists)) : eng.DeleteAllViewLists(in.Byte() & 1); break;
      case 21: {
        const uint8_t b = in.Byte();
        if (b & 1) eng.StartPlayRec(); else if (b & 2) eng.StopPlayRec(b & 4, in.Loc());
        eng.SetRecordMode(b >> 6);
        eng.SetTouchTimeout(in.Byte());
        eng.SetMatchTime(in.Byte());
        eng.SetSampleRate(in.Word());
        eng.SetFadeResolTime(in.Byte() % 4);
        break;
      }
      case 22: sys.now += in.Byte(); eng.SetLocator(in.Loc(), in.Byte() & 1); break;
      default: sys.captured = (in.Byte() & 1) != 0; eng.SetKnobValue(in.Pick(knobs), static_cast<int32_t>(in.Word()), in.Loc(), in.Byte()); break;
    }
  }
  return 0;
}
