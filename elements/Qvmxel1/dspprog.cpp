// The DSP programs of the element types. Each is padded with no-operation
// words to its type's program size; areas: 1 coefficients or pointers,
// 2 and 3 gain, switch, meter, filter-state or sample memory, 5 the program.
#include <array>
#include <vector>

#include "elements/Qvmxel1/qvmxel1.h"
#include "elements/dspcode.h"

namespace {

using Words = std::vector<uint32_t>;

// Channels 0..n-1 through one gain word of area 2.
Words GainAll(uint32_t n, uint32_t shift) {
  if (n <= 2) {
    Words w;
    for (uint32_t c = 0; c < n; ++c) w.insert(w.end(), {DspLd(c), DspMul(2, 0, shift), DspSt(c)});
    return w;
  }
  return {DspGainAll(n, 2, 0, shift)};
}

// One input to `outs` outputs, output c through gain word c of area 2; a
// stereo input keeps its channels apart. Meters (area 3) when asked.
Words Panned(uint32_t ins, uint32_t outs, uint32_t shift, bool meters) {
  Words w;
  for (uint32_t c = 0; c < outs; ++c) {
    w.insert(w.end(), {DspLd(ins == 1 ? 0 : c), DspMul(2, c, shift), DspSt(c)});
    if (meters) w.push_back(DspPeak(3, c));
  }
  return w;
}

Words Eq(uint32_t channels) {
  Words w;
  for (uint32_t c = 0; c < channels; ++c)
    w.insert(w.end(), {DspLd(c), DspEq(1, 0, 2 + c, 0), DspEq(1, 4, 2 + c, 1), DspSt(c)});
  return w;
}

Words Sdl(uint32_t channels) {
  Words w;
  if (channels == 1) {
    w = {DspLd(0), DspDly(0, 1, 2), DspSt(0)};
    w.resize(kSdlPhaseMono + 1, kDspNop);
  } else {
    w = {DspLd(0), DspDly(0, 2, 2), DspSt(0), DspLd(1), DspDly(1, 2, 3), DspSt(1)};
    w.resize(kSdlPhaseStereo + 2, kDspNop);
  }
  return w;
}

Words Track(uint32_t channels) {
  // Live input on channels 0..n-1, the track's playback on n..2n-1, each
  // through its switch word of area 3.
  Words w;
  for (uint32_t c = 0; c < channels; ++c)
    w.insert(w.end(), {DspZero(), DspMac(c, 3, 0, 0), DspMac(channels + c, 3, 1, 0), DspSt(c)});
  return w;
}

Words Meter(uint32_t channels) {
  Words w;
  for (uint32_t c = 0; c < channels; ++c) w.insert(w.end(), {DspLd(c), DspPeak(2, c)});
  return w;
}

Words DelayComp(uint32_t channels) {
  // Mono and stereo share one {end, pointer, base} block at 0; more
  // channels keep {channels, 1} before it.
  const uint32_t block = channels <= 2 ? 0 : 2;
  Words w;
  for (uint32_t c = 0; c < channels; ++c) w.insert(w.end(), {DspLd(c), DspDla(block, 2), DspSt(c)});
  return w;
}

Words Build(int row) {
  const ELEMTYPEPROPINFO& t = kTypeTable[row].Props;
  switch (FamilyOfRow(row)) {
    case kFamInput:
    case kFamOutput:
      return t.AreaSize[2] == 2 ? Panned(t.Inputs, 2, 0, false) : GainAll(t.Outputs, 0);
    case kFamFader:
      return GainAll(t.Outputs, 1);
    case kFamTrack:
      return Track(t.Outputs);
    case kFamEq:
      return Eq(t.Outputs);
    case kFamSdl:
      return Sdl(t.Outputs);
    case kFamPeak:
      return Meter(t.Inputs);
    case kFamSend:
      return Panned(t.Inputs, t.Outputs, 0, false);
    case kFamOutFader:
      if (t.Outputs <= 2) return Panned(t.Inputs, t.Outputs, 1, true);
      return {DspGainAll(t.Outputs, 2, 0, 1), DspPeakAll(t.Outputs, 3, 0)};
    case kFamDelayComp:
      return DelayComp(t.Outputs);
    default:
      return {};
  }
}

struct Programs {
  std::array<Words, kTypeRows> Rows;
  Programs() {
    for (int r = 0; r < kTypeRows; ++r) {
      Rows[r] = Build(r);
      Rows[r].resize(kTypeTable[r].Props.AreaSize[5], kDspNop);
    }
  }
};

}  // namespace

const uint32_t* ProgramOfRow(int row, uint32_t* count) {
  static const Programs programs;
  if (row < 0 || row >= kTypeRows) {
    *count = 0;
    return nullptr;
  }
  *count = uint32_t(programs.Rows[row].size());
  return programs.Rows[row].data();
}
