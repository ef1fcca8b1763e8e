#include "mixer/model/tempoimport.h"

#include <cstring>

#include "mixer/model/host.h"
#include "mixer/model/settings.h"
#include "mixer/model/util/strtab.h"

namespace {

// The map being filled. The callbacks receive only the event, and an import
// runs on the user-interface thread, one at a time.
TempoMapRec* g_filling = nullptr;

constexpr uint16_t kReadMode = 4096;

int32_t MIDIFILE_CALL OnHeader(MidiEventRec* e) {
  if (g_filling == nullptr || e == nullptr || e->Division == 0) return kMidiStopped;
  TempoMapSetPpq(g_filling, e->Division);
  return kMidiOk;
}

int32_t MIDIFILE_CALL OnTempo(MidiEventRec* e) {
  if (g_filling == nullptr || e == nullptr) return kMidiStopped;
  return TempoMapAddTempo(g_filling, e->Tick, e->UsPerQuarter) != 0 ? kMidiOk : kMidiStopped;
}

int32_t MIDIFILE_CALL OnTimeSignature(MidiEventRec* e) {
  if (g_filling == nullptr || e == nullptr) return kMidiStopped;
  return TempoMapAddMeter(g_filling, e->Tick, e->Meter.Num, e->Meter.Den) != 0 ? kMidiOk : kMidiStopped;
}

// "Warning: " and the library's text for code.
void ShowLibraryError(const MidiFileApi& api, MidiReadParams* params, int32_t code) {
  char text[kMidiErrTextSize] = {};
  if (api.GetErr != nullptr) api.GetErr(params, text, code);
  text[kMidiErrTextSize - 1] = '\0';
  MessageBoxText(nullptr, "%s%s", kMbWarnOk, StrText(IDS_MIDI_WARNING), text);
}

int32_t ReadInto(const MidiFileApi& api, MidiReadParams* params, TempoMapRec* map) {
  g_filling = map;
  const int32_t rc = api.ReadFile(params);
  g_filling = nullptr;
  return rc;
}

}  // namespace

TempoMapRec* ImportTempoMapWith(const MidiFileApi& api, const char* path) {
  if (api.ReadFile == nullptr || path == nullptr) return nullptr;
  MidiReadParams params;
  std::memset(&params, 0, sizeof params);
  params.Callbacks = &params.Table;
  params.Path = path;
  params.Mode = kReadMode;
  params.Table.Header = OnHeader;
  params.Table.Tempo = OnTempo;
  params.Table.TimeSignature = OnTimeSignature;

  TempoMapRec* map = TempoMapNew();
  if (map == nullptr) return nullptr;
  const int32_t rc = ReadInto(api, &params, map);
  if (rc != kMidiOk && rc != kMidiStopped) ShowLibraryError(api, &params, rc);
  // Without a resolution no tick can be converted: the header must have come.
  if (rc == kMidiStopped || rc == kMidiNotReadable || TempoGetPpq(map) == 0) {
    TempoMapFree(map);
    return nullptr;
  }
  const ProjectSettings& s = Settings();
  if (TempoMapFinish(map, s.Tempo, s.MeterNum, s.MeterDen) == 0) {
    TempoMapFree(map);
    return nullptr;
  }
  return map;
}
