#include "mixer/arrange/noisegate.h"

#include <algorithm>
#include <cstring>

#include "mixer/model/host.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/fileio.h"
#include "mixer/model/util/strtab.h"

namespace {

constexpr uint32_t kIdsNgtVersion = 26;
constexpr uint32_t kIdsNgtInvalid = 140;
constexpr uint32_t kIdsCantOpenFile = 225;
constexpr uint32_t kIdsFileRwError = 226;

// The version text in its 11 bytes, zero-filled.
void VersionBytes(uint8_t out[kNgtVersionSize]) {
  std::memset(out, 0, kNgtVersionSize);
  const char* v = StrText(kIdsNgtVersion);
  if (v) std::memcpy(out, v, std::min<size_t>(std::strlen(v), kNgtVersionSize - 1));
}

void Encode(const NoiseGateSettings& s, uint8_t out[22]) {
  const uint16_t* w = &s.OnLevel;
  for (int i = 0; i < 11; ++i) {
    out[2 * i] = static_cast<uint8_t>(w[i]);
    out[2 * i + 1] = static_cast<uint8_t>(w[i] >> 8);
  }
}

void Decode(const uint8_t in[22], NoiseGateSettings* s) {
  uint16_t* w = &s->OnLevel;
  for (int i = 0; i < 11; ++i) w[i] = static_cast<uint16_t>(in[2 * i] | (in[2 * i + 1] << 8));
}

}  // namespace

void NoiseGateDefaults(NoiseGateSettings* s) {
  *s = NoiseGateSettings{4096, 1024, 16384, 0, 0, 0, 20, 20, 0, 0, kGateRemove};
}

int NoiseGateSettingsValid(const NoiseGateSettings& s) {
  if (s.OnLevel > kNgtLevelMax || s.OffLevel > kNgtLevelMax || s.FloorLevel > kNgtLevelMax) return 0;
  const uint16_t times[] = {s.MinOn, s.MinOff, s.MinDetect, s.PreTrigger, s.Hold, s.FadeIn, s.FadeOut};
  for (uint16_t t : times)
    if (t > kNgtTimeMax) return 0;
  return s.Hold >= kNgtHoldMin && s.Mode <= kGateFloor;
}

int NgtWriteFile(const char* path, const NoiseGateSettings& s) {
  const FioHandle f = FioOpen(path, kFioCreateAlways);
  if (f == kFioInvalid) {
    MessageBoxById(nullptr, kIdsCantOpenFile, kMbWarnOk);
    return 0;
  }
  uint8_t bytes[kNgtFileSize];
  VersionBytes(bytes);
  Encode(s, bytes + kNgtVersionSize);
  const int ok = FioWrite(f, bytes, kNgtFileSize);
  const int closed = FioClose(f);
  if (!ok || !closed) {
    MessageBoxById(nullptr, kIdsFileRwError, kMbWarnOk);
    return 0;
  }
  return 1;
}

int NgtReadFile(const char* path, NoiseGateSettings* s) {
  const FioHandle f = FioOpen(path, kFioRead);
  if (f == kFioInvalid) {
    MessageBoxById(nullptr, kIdsCantOpenFile, kMbWarnOk);
    return 0;
  }
  uint8_t version[kNgtVersionSize];
  uint8_t expect[kNgtVersionSize];
  VersionBytes(expect);
  uint32_t got = 0;
  if (!FioRead(f, version, kNgtVersionSize, &got) || got != kNgtVersionSize ||
      std::memcmp(version, expect, kNgtVersionSize) != 0) {
    FioClose(f);
    MessageBoxById(nullptr, kIdsNgtInvalid, kMbWarnOk);
    return 0;
  }
  uint8_t words[22];
  got = 0;
  const int read = FioRead(f, words, sizeof words, &got);
  FioClose(f);
  if (!read || got != sizeof words) {
    MessageBoxById(nullptr, kIdsFileRwError, kMbWarnOk);
    return 0;
  }
  // Into a scratch record first: the current settings change only when the
  // whole file was read and every value is one the dialog could have set.
  NoiseGateSettings scratch;
  Decode(words, &scratch);
  if (!NoiseGateSettingsValid(scratch)) {
    MessageBoxById(nullptr, kIdsNgtInvalid, kMbWarnOk);
    return 0;
  }
  *s = scratch;
  return 1;
}

std::vector<GatePair> GateOnListUnion(const std::vector<GatePair>& a, const std::vector<GatePair>& b) {
  std::vector<GatePair> out;
  size_t i = 0, j = 0;
  while ((i < a.size() || j < b.size()) && out.size() < kGateListMax) {
    // The pair with the lower start; the second list's on a tie.
    const bool fromA = j >= b.size() || (i < a.size() && a[i].start < b[j].start);
    const GatePair first = fromA ? a[i++] : b[j++];
    int64_t end = first.End();
    for (;;) {
      if (i < a.size() && a[i].start <= end) {
        end = std::max(end, a[i++].End());
      } else if (j < b.size() && b[j].start <= end) {
        end = std::max(end, b[j++].End());
      } else {
        break;
      }
    }
    out.push_back({first.start, static_cast<int32_t>(end - first.start)});
  }
  return out;
}

GateTiming GateTimingAt(const NoiseGateSettings& s, int32_t rate) {
  return {MsToSamples(s.MinOn, rate),      MsToSamples(s.MinOff, rate), MsToSamples(s.MinDetect, rate),
          MsToSamples(s.PreTrigger, rate), MsToSamples(s.Hold, rate),   MsToSamples(s.FadeIn, rate),
          MsToSamples(s.FadeOut, rate)};
}

void GateOnListShape(std::vector<GatePair>* list, const GateTiming& t, int32_t channelStart) {
  // Pairs as [start, end) in 64 bits while they are shaped.
  struct Run {
    int64_t start, end;
  };
  std::vector<Run> runs;
  const int64_t shortest = int64_t{t.minDetect} + t.hold;
  for (const GatePair& p : *list) {
    if (p.length < shortest) continue;
    const int64_t floor = runs.empty() ? int64_t{channelStart} : runs.back().end;
    const int64_t start = std::max(int64_t{p.start} - t.preTrigger, floor);
    if (!runs.empty() && start <= runs.back().end) {
      runs.back().end = std::max(runs.back().end, p.End());
    } else {
      runs.push_back({std::min(start, int64_t{p.start}), p.End()});
    }
  }
  std::vector<Run> on;
  for (size_t i = 0; i < runs.size();) {
    Run r = runs[i++];
    if (r.end - r.start < t.minOn) {
      r.end = r.start + t.minOn;
      while (i < runs.size() && runs[i].start <= r.end) r.end = std::max(r.end, runs[i++].end);
    }
    on.push_back(r);
  }
  std::vector<Run> shaped;
  for (size_t i = 0; i < on.size();) {
    Run r = on[i++];
    while (i < on.size() && on[i].start - r.end < t.minOff) r.end = std::max(r.end, on[i++].end);
    shaped.push_back(r);
  }
  list->clear();
  for (const Run& r : shaped) {
    const int64_t end = std::min<int64_t>(r.end, INT32_MAX);
    list->push_back({static_cast<int32_t>(r.start), static_cast<int32_t>(end - r.start)});
  }
}

std::vector<GateSpan> GateAnalyseChannel(const std::vector<GatePair>& list, const GateTiming& t,
                                         const NoiseGateSettings& s, int32_t channelStart,
                                         int32_t channelEnd) {
  const uint32_t floorGain = s.Mode == kGateFloor ? s.FloorLevel : 0;
  const uint32_t offGain = s.Mode == kGateMute ? 32768u : s.FloorLevel;
  std::vector<GateSpan> out;
  auto emit = [&](int32_t kind, int64_t from, int64_t to, uint32_t g0, uint32_t g1) {
    if (to <= from || out.size() >= kGateListMax) return;
    if (kind == kGateOff && s.Mode == kGateRemove) return;
    out.push_back({kind, g0, g1, static_cast<int32_t>(from), static_cast<int32_t>(to - from)});
  };
  int64_t p = channelStart;
  const int64_t e = channelEnd;
  for (size_t i = 0; i < list.size(); ++i) {
    const int64_t start = list[i].start;
    if (start > p + t.fadeIn) {
      emit(kGateOff, p, start - t.fadeIn, offGain, offGain);
      p = start - t.fadeIn;
    }
    if (t.fadeIn > 0 && start > p) emit(kGateFadeIn, std::max(p, start - t.fadeIn), start, floorGain, 32768);
    emit(kGateOn, start, list[i].End(), 32768, 32768);
    p = std::max(p, list[i].End());
    int64_t n = i + 1 < list.size() ? int64_t{list[i + 1].start} : e;
    if (t.fadeOut > 0 && n > p) {
      int64_t len = n - p;
      if (n < e) {
        // Share the gap between this fade-out and the next fade-in in the
        // ratio of their lengths.
        const double share = static_cast<double>(n - p) * t.fadeOut / (int64_t{t.fadeOut} + t.fadeIn);
        len = std::min<int64_t>(t.fadeOut, static_cast<int64_t>(share));
      } else {
        len = std::min<int64_t>(t.fadeOut, len);
      }
      emit(kGateFadeOut, p, p + len, 32768, floorGain);
      p += len;
    }
    if (n < e) n -= t.fadeIn;
    if (n > p) {
      emit(kGateOff, p, n, offGain, offGain);
      p = n;
    }
  }
  if (list.empty()) emit(kGateOff, p, e, offGain, offGain);
  return out;
}
