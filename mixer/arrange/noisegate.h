// The noise gate's settings, their .NGT files, and the host side of a gate
// run: joining the on-lists of linked channels, shaping them with the timing
// settings and analysing them into fade-in, on, fade-out and off spans.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Eleven 16-bit words; levels are linear gains (32768 = unity), times are
// milliseconds.
struct NoiseGateSettings {
  uint16_t OnLevel;
  uint16_t OffLevel;
  uint16_t FloorLevel;
  uint16_t MinOn;
  uint16_t MinOff;
  uint16_t MinDetect;
  uint16_t PreTrigger;
  uint16_t Hold;
  uint16_t FadeIn;
  uint16_t FadeOut;
  uint16_t Mode;  // kGateRemove, kGateMute, kGateFloor
};
static_assert(sizeof(NoiseGateSettings) == 22);

enum : uint16_t { kGateRemove = 0, kGateMute = 1, kGateFloor = 2 };

inline constexpr int kNgtFileSize = 33;
inline constexpr int kNgtVersionSize = 11;
inline constexpr uint16_t kNgtLevelMax = 32768;
inline constexpr uint16_t kNgtTimeMax = 10000;
inline constexpr uint16_t kNgtHoldMin = 10;

void NoiseGateDefaults(NoiseGateSettings* s);
// 1 when every word lies in the range the settings dialog can produce.
int NoiseGateSettingsValid(const NoiseGateSettings& s);

// Files: 1 on success, 0 after a message (225 cannot open, 226 read/write
// error, 140 not a settings file or a value out of range). A failed read
// leaves *s as it was.
int NgtWriteFile(const char* path, const NoiseGateSettings& s);
int NgtReadFile(const char* path, NoiseGateSettings* s);

// A stretch where the gate is on, in samples.
struct GatePair {
  int32_t start;
  int32_t length;
  int64_t End() const { return int64_t{start} + length; }
};
inline constexpr size_t kGateListMax = 16384;

// The union of two sorted, disjoint on-lists (at most kGateListMax pairs).
std::vector<GatePair> GateOnListUnion(const std::vector<GatePair>& a, const std::vector<GatePair>& b);

// The timing settings in samples.
struct GateTiming {
  int32_t minOn, minOff, minDetect, preTrigger, hold, fadeIn, fadeOut;
};
GateTiming GateTimingAt(const NoiseGateSettings& s, int32_t sampleRate);

// Shapes a channel's on-list in place: drops short detections, moves the
// pairs earlier by the pre-trigger (not before channelStart nor the previous
// pair), then applies Min On and Min Off.
void GateOnListShape(std::vector<GatePair>* list, const GateTiming& t, int32_t channelStart);

enum GateSpanKind : int32_t { kGateFadeIn = 0, kGateOn = 1, kGateFadeOut = 2, kGateOff = 3 };
struct GateSpan {
  int32_t kind;
  uint32_t gainStart;
  uint32_t gainEnd;
  int32_t start;
  int32_t length;
};
// The spans of one channel from channelStart to channelEnd: fade-ins, ons,
// fade-outs and (except in remove mode) offs, with the envelope's gain at
// both ends of each.
std::vector<GateSpan> GateAnalyseChannel(const std::vector<GatePair>& list, const GateTiming& t,
                                         const NoiseGateSettings& s, int32_t channelStart,
                                         int32_t channelEnd);

// The engine's scan of one play channel over [from, to) with the on and off
// levels and the hold in samples: IDOK with the on-list, IDCANCEL when
// cancelled, or a message id.
using GateScanFn = int (*)(int32_t channel, int32_t from, int32_t to, int32_t onLevel, int32_t offLevel,
                           int32_t holdSamples, std::vector<GatePair>* onList);
void GateSetScanner(GateScanFn fn);

// The current settings of the program (the defaults at start).
NoiseGateSettings& NoiseGateCurrent();

// Runs the gate on the selected Parts of the current arrangement; 1 when
// done.
int ArrNoiseGate(void* dc);
