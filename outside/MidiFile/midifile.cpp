// The MidiFile library: reads a standard MIDI file and hands its header,
// tempo and time-signature events to the caller's callbacks.
#include "outside/MidiFile/midifile.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "outside/MidiFile/smf_parse.h"

namespace {

// Larger files are not MIDI files anyone plays; reading stops short of them.
constexpr long kMaxFileSize = 64L * 1024 * 1024;
// The largest exponent whose note value fits the event's byte (a 128th).
constexpr uint8_t kMaxDenPower = 7;

// Forwards the parser's events to the callback table, each in a fresh record.
class CallbackHandler : public SmfHandler {
 public:
  explicit CallbackHandler(const MidiCallbackTable& table) : table_(table) {}

  int Header(const SmfHeader& h) override {
    MidiEventRec e = Blank();
    e.Division = h.Division;
    return Call(table_.Header, &e);
  }
  int Tempo(int32_t tick, uint32_t usPerQuarter) override {
    MidiEventRec e = Blank();
    e.Tick = tick;
    e.UsPerQuarter = usPerQuarter;
    return Call(table_.Tempo, &e);
  }
  int TimeSignature(int32_t tick, uint8_t num, uint8_t denPower) override {
    if (denPower > kMaxDenPower) return 0;  // no note value to hand on: the event is left out
    MidiEventRec e = Blank();
    e.Tick = tick;
    e.Meter.Num = num;
    e.Meter.Den = static_cast<uint8_t>(1u << denPower);
    return Call(table_.TimeSignature, &e);
  }

 private:
  static MidiEventRec Blank() {
    MidiEventRec e;
    std::memset(&e, 0, sizeof e);
    return e;
  }
  static int Call(MidiCallback cb, MidiEventRec* e) { return cb != nullptr && cb(e) != kMidiOk ? 1 : 0; }

  const MidiCallbackTable& table_;
};

bool ReadWholeFile(const char* path, std::vector<uint8_t>* out) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && size <= kMaxFileSize && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out->resize(static_cast<size_t>(size));
    ok = std::fread(out->data(), 1, out->size(), f) == out->size();
  }
  std::fclose(f);
  return ok;
}

const char* ErrorText(int32_t code) {
  switch (code) {
    case kMidiOk: return "No error.";
    case kMidiNotReadable: return "The file cannot be read as a standard MIDI file.";
    case kMidiTrackCut: return "The file ends inside a track; the rest of it is missing.";
    case kMidiBadEvent: return "A track holds damaged event data; it was read up to the damage.";
    case kMidiStopped: return "The read was stopped.";
    default: return "Unknown error.";
  }
}

}  // namespace

extern "C" int32_t MIDIFILE_CALL MidiReadFile(MidiReadParams* params) {
  if (params == nullptr || params->Path == nullptr || params->Callbacks == nullptr) return kMidiNotReadable;
  std::vector<uint8_t> data;
  if (!ReadWholeFile(params->Path, &data)) return kMidiNotReadable;
  CallbackHandler handler(*params->Callbacks);
  return SmfParse(data.data(), data.size(), handler);
}

extern "C" void MIDIFILE_CALL MidiGetErr(MidiReadParams*, char* text, int32_t code) {
  if (text == nullptr) return;
  std::snprintf(text, kMidiErrTextSize, "%s (code %d)", ErrorText(code), static_cast<int>(code));
}
