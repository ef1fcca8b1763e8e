#include "mixer/model/musical.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"

namespace {

// A whole note lasts 24000 x rate / Tempo samples: 4 quarters of 60 s x 100
// / Tempo each, Tempo being in 1/100 BPM.
constexpr uint64_t kWholeNoteTempoSeconds = 4 * 6000;

int32_t ClampI32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int64_t ClampDoubleToI64(double v) {
  if (!(v == v)) return 0;  // NaN
  constexpr double kLimit = 9.2e18;
  return static_cast<int64_t>(std::clamp(v, -kLimit, kLimit));
}

// Ticks per quarter note of a tempo map; 960 stands for a missing map.
uint32_t MapTicksPerQuarter(const TempoMapRec* map) {
  const uint32_t ppq = TempoGetPpq(map);
  return ppq != 0 ? ppq : kTicksPerQuarter;
}

const TempoMapRec* CurTempoMap() { return TempoMap; }

void MapLocToBbt(const TempoMapRec* map, BbtRec* out, int32_t position, int32_t base) {
  const uint32_t p = static_cast<uint32_t>(std::max(position, 0));
  TempoTicksToBbt(map, TempoSamplesToTicks(map, Settings().SampleRate, p), out);
  out->Bar = ClampI32(int64_t{out->Bar} + base);
  out->Beat = ClampI32(int64_t{out->Beat} + base);
}

int32_t MapBbtToLoc(const TempoMapRec* map, const BbtRec& bbt, int32_t base) {
  const BbtRec from0{ClampI32(int64_t{bbt.Bar} - base), ClampI32(int64_t{bbt.Beat} - base), bbt.Tick};
  return std::min(TempoTicksToSamples(map, Settings().SampleRate, TempoBbtToTicks(map, from0)), kMaxLoc);
}

}  // namespace

uint32_t TicksPerBeat() {
  const uint32_t den = Settings().MeterDen;
  return den != 0 ? kTicksPerWhole / den : 0;
}

bool NoteGridValid(uint32_t n) {
  const ProjectSettings& s = Settings();
  return s.SampleRate != 0 && s.Tempo != 0 && n != 0;
}

uint64_t NoteUnitAt(int64_t p, uint32_t n) {
  const ProjectSettings& s = Settings();
  if (!NoteGridValid(n)) return 0;
  return ScaleFloor(static_cast<uint64_t>(std::max<int64_t>(p, 0)), uint64_t{s.Tempo} * n,
                    uint64_t{s.SampleRate} * kWholeNoteTempoSeconds);
}

int64_t NoteUnitStart(uint64_t k, uint32_t n) {
  const ProjectSettings& s = Settings();
  if (!NoteGridValid(n)) return 0;
  const uint64_t v = ScaleCeil(k, uint64_t{s.SampleRate} * kWholeNoteTempoSeconds, uint64_t{s.Tempo} * n);
  return static_cast<int64_t>(std::min<uint64_t>(v, std::numeric_limits<int64_t>::max()));
}

void LocToBbt(BbtRec* out, int32_t position, int32_t base) {
  if (const TempoMapRec* map = CurTempoMap()) return MapLocToBbt(map, out, position, base);
  const ProjectSettings& s = Settings();
  const uint64_t p = static_cast<uint64_t>(std::max(position, 0));
  const uint64_t perWhole = uint64_t{s.SampleRate} * kWholeNoteTempoSeconds;
  const uint32_t tpb = TicksPerBeat();
  const uint64_t tick = tpb != 0 ? ScaleFloor(uint64_t{s.Tempo} * kTicksPerWhole, p, perWhole) % tpb : 0;
  const uint64_t beats = ScaleFloor(uint64_t{s.Tempo} * s.MeterDen, p, perWhole);
  const uint64_t num = s.MeterNum;
  out->Tick = static_cast<int32_t>(tick);
  out->Beat = ClampI32((num != 0 ? static_cast<int64_t>(beats % num) : 0) + base);
  out->Bar = ClampI32((num != 0 ? static_cast<int64_t>(std::min<uint64_t>(beats / num, INT32_MAX)) : 0) + base);
}

int32_t BbtToLoc(const BbtRec& bbt, int32_t base) {
  if (const TempoMapRec* map = CurTempoMap()) return MapBbtToLoc(map, bbt, base);
  const ProjectSettings& s = Settings();
  if (s.SampleRate == 0 || s.Tempo == 0 || s.MeterDen == 0) return 0;
  // The position in 1/(3840 x MeterDen) whole notes: each beat is 3840
  // of them and each tick MeterDen. Bars and beats are at most 2^32 and the
  // meter 16-bit, so this stays far inside 64 bits.
  const int64_t beats = (int64_t{bbt.Bar} - base) * s.MeterNum + bbt.Beat - base;
  const int64_t units = beats * kTicksPerWhole + int64_t{bbt.Tick} * s.MeterDen;
  if (units <= 0) return 0;
  // samples = units x 24000 x R / (3840 x MeterDen x Tempo) = units x 25 R / (4 MeterDen Tempo)
  const uint64_t v = ScaleCeil(static_cast<uint64_t>(units), uint64_t{s.SampleRate} * 25,
                               uint64_t{s.MeterDen} * s.Tempo * 4);
  return static_cast<int32_t>(std::min<uint64_t>(v, kMaxLoc));
}

double LocToTicks(const TempoMapRec* map, uint32_t tempo, uint32_t rate, int64_t samples) {
  if (map != nullptr) return TempoSamplesToTicksF(map, rate, samples);
  if (rate == 0) return 0.0;
  return double(tempo) * double(samples) * kTicksPerQuarter / (double(rate) * 6000.0);
}

int64_t TicksToLoc(const TempoMapRec* map, uint32_t tempo, uint32_t rate, double ticks) {
  if (map != nullptr) return TempoTicksToSamplesF(map, rate, ticks);
  if (tempo == 0) return 0;
  return ClampDoubleToI64(std::ceil(double(rate) * ticks * 6000.0 / (double(tempo) * kTicksPerQuarter)));
}

int64_t RescaleTicks(const TempoMapRec* mapA, const TempoMapRec* mapB, int64_t ticks) {
  if (mapA == mapB) return ticks;
  const int64_t a = MapTicksPerQuarter(mapA), b = MapTicksPerQuarter(mapB);
  if (a == b) return ticks;
  return ClampDoubleToI64(double(ticks) * a / b);
}

int64_t LocSpanToMidiTicks(int32_t from, int32_t resolution, int32_t to) {
  const ProjectSettings& s = Settings();
  const TempoMapRec* map = CurTempoMap();
  const double span = LocToTicks(map, s.Tempo, s.SampleRate, to) - LocToTicks(map, s.Tempo, s.SampleRate, from);
  return ClampDoubleToI64(std::floor(span * resolution / MapTicksPerQuarter(map)));
}

int32_t MidiTicksToLocEnd(int32_t start, int32_t resolution, int64_t ticks) {
  if (resolution <= 0) return start;
  const ProjectSettings& s = Settings();
  const TempoMapRec* map = CurTempoMap();
  const double at = LocToTicks(map, s.Tempo, s.SampleRate, start) +
                    double(ticks) * MapTicksPerQuarter(map) / resolution;
  const int64_t end = TicksToLoc(map, s.Tempo, s.SampleRate, at);
  return static_cast<int32_t>(std::clamp<int64_t>(end, 0, kMaxLoc));
}
