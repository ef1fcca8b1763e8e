// A tempo map built from any bytes read as a MIDI file, then converted
// through at positions taken from the same bytes: no conversion may divide
// by zero, overflow, or give a tick or musical position below 0.
#include <cstdlib>
#include <cstring>

#include "mixer/model/tempomap.h"
#include "outside/MidiFile/smf_parse.h"

namespace {

class MapFiller : public SmfHandler {
 public:
  explicit MapFiller(TempoMapRec* map) : map_(map) {}
  int Header(const SmfHeader& h) override {
    TempoMapSetPpq(map_, h.Division);
    return 0;
  }
  int Tempo(int32_t tick, uint32_t us) override { return TempoMapAddTempo(map_, tick, us) == 0; }
  int TimeSignature(int32_t tick, uint8_t num, uint8_t pow) override {
    return TempoMapAddMeter(map_, tick, num, pow < 32 ? 1u << pow : 0) == 0;
  }

 private:
  TempoMapRec* map_;
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TempoMapRec* map = TempoMapNew();
  MapFiller filler(map);
  SmfParse(data, size, filler);
  TempoMapFinish(map, 12000, 4, 4);
  for (size_t i = 0; i + 4 <= size; i += 4) {
    int32_t v;
    std::memcpy(&v, data + i, 4);
    const uint32_t rate = 8000 + (static_cast<uint32_t>(v) % 200000);
    Check(TempoSamplesToTicks(map, rate, static_cast<uint32_t>(v)) >= 0);
    Check(TempoTicksToSamples(map, rate, v) >= 0);
    BbtRec b;
    TempoTicksToBbt(map, v, &b);
    Check(b.Bar >= 0 && b.Beat >= 0 && b.Tick >= 0);
    Check(TempoBbtToTicks(map, b) >= 0);
    TempoTicksToSamplesF(map, rate, TempoSamplesToTicksF(map, rate, v));
  }
  TempoMapFree(map);
  return 0;
}
