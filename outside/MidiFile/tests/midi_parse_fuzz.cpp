// Any bytes through the MIDI file reader: it must stay inside the data and
// hand on only ticks from 0 to 0x7FFFFFFF.
#include <cstdlib>

#include "outside/MidiFile/smf_parse.h"

namespace {

class Checker : public SmfHandler {
 public:
  int Header(const SmfHeader& h) override { return h.Format > 1 ? Fail() : 0; }
  int Tempo(int32_t tick, uint32_t us) override { return tick < 0 || us > 0xFFFFFF ? Fail() : 0; }
  int TimeSignature(int32_t tick, uint8_t, uint8_t) override { return tick < 0 ? Fail() : 0; }

 private:
  static int Fail() { std::abort(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Checker checker;
  SmfParse(data, size, checker);
  return 0;
}
