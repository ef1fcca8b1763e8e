#include "sim/dsp/simdsprun.h"

#include <algorithm>
#include <cmath>

#include "elements/dspcode.h"

namespace {

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, kSimSampleMin, kSimSampleMax)); }

// The cell of a data word, or null when the element has no such word.
uint32_t* Cell(SimDspElement* e, uint32_t area, uint32_t bank, uint32_t offset) {
  if (area >= kElemAreaCount) return nullptr;
  SimDspArea& a = e->Areas[area];
  if (bank && a.Type != kAreaTwoBank) return nullptr;
  std::vector<uint32_t>& b = a.Banks[bank];
  return offset < b.size() ? &b[offset] : nullptr;
}

int32_t Load(SimDspElement* e, uint32_t area, uint32_t bank, uint32_t offset) {
  const uint32_t* c = Cell(e, area, bank, offset);
  return c ? DspWordLoad(*c) : 0;
}

void Store(SimDspElement* e, uint32_t area, uint32_t bank, uint32_t offset, int64_t v) {
  if (uint32_t* c = Cell(e, area, bank, offset)) *c = DspWordStore(static_cast<uint32_t>(Saturate(v)));
}

// -(x x word) as a 24-bit fraction product, doubled `shift` times.
int64_t GainProduct(int64_t x, int32_t word, uint32_t shift) {
  return (-(x * word) * (int64_t{1} << shift)) >> 23;
}

// One peaking band: v = (1-a)/2 (x - x2) + b(1+a) v1 - a v2 and
// y = x + (G-1) v, with the coefficients stored halved, (G-1) quartered.
int64_t EqBand(SimDspElement* e, uint32_t w, int64_t x) {
  const uint32_t ca = DspAreaOf(w), co = DspOffOf(w), sa = DspChOf(w), sb = DspBankOf(w);
  constexpr double kOne = 8388608.0;
  const double c0 = Load(e, ca, 0, co) / kOne, c1 = Load(e, ca, 0, co + 1) / kOne;
  const double c2 = Load(e, ca, 0, co + 2) / kOne, c3 = Load(e, ca, 0, co + 3) / kOne;
  const double x1 = Load(e, sa, sb, 0), x2 = Load(e, sa, sb, 1);
  const double v1 = Load(e, sa, sb, 2), v2 = Load(e, sa, sb, 3);
  const double v = 2 * c0 * (static_cast<double>(x) - x2) + 2 * c2 * v1 - 2 * c1 * v2;
  Store(e, sa, sb, 1, static_cast<int64_t>(x1));
  Store(e, sa, sb, 0, x);
  Store(e, sa, sb, 3, static_cast<int64_t>(v1));
  Store(e, sa, sb, 2, std::llround(v));
  return std::llround(static_cast<double>(x) + 4 * c3 * v);
}

// The sample delay line: index word and delay word in area 1, 256 words of
// sample memory; a delay of 0 passes the sample straight through.
int64_t Delay(SimDspElement* e, uint32_t w, int64_t x) {
  const uint32_t idxOff = DspOffOf(w) & 0xF, dlyOff = DspOffOf(w) >> 4, mem = DspAreaOf(w);
  const uint32_t index = static_cast<uint32_t>(Load(e, 1, 0, idxOff)) % kDspDelayWords;
  const uint32_t delay = static_cast<uint32_t>(Load(e, 1, 0, dlyOff)) % kDspDelayWords;
  Store(e, mem, 0, index, x);
  const int64_t y = Load(e, mem, 0, (index + kDspDelayWords - delay) % kDspDelayWords);
  Store(e, 1, 0, idxOff, (index + 1) % kDspDelayWords);
  return y;
}

// A delay line over absolute sample-memory addresses {end, pointer, base}:
// the word at the pointer is the sample from one trip round the line ago.
int64_t DelayAbsolute(SimDspElement* e, uint32_t w, int64_t x) {
  const uint32_t off = DspOffOf(w), mem = DspAreaOf(w);
  if (mem >= kElemAreaCount) return x;
  const uint32_t areaBase = e->Areas[mem].Base;
  const uint32_t end = static_cast<uint32_t>(Load(e, 1, 0, off)) & 0xFFFFFF;
  const uint32_t ptr = static_cast<uint32_t>(Load(e, 1, 0, off + 1)) & 0xFFFFFF;
  const uint32_t base = static_cast<uint32_t>(Load(e, 1, 0, off + 2)) & 0xFFFFFF;
  if (end <= base || ptr < base || ptr >= end || ptr < areaBase) return x;
  uint32_t* cell = Cell(e, mem, 0, ptr - areaBase);
  if (!cell) return x;
  const int64_t y = DspWordLoad(*cell);
  *cell = DspWordStore(static_cast<uint32_t>(Saturate(x)));
  Store(e, 1, 0, off + 1, ptr + 1 >= end ? base : ptr + 1);
  return y;
}

// The meter word keeps the largest |sample| / 256 (0..32768) since it was read.
void Peak(SimDspElement* e, uint32_t w, uint32_t offset, int64_t x) {
  const int64_t level = std::min<int64_t>(std::llabs(int64_t{Saturate(x)}) >> 8, 32768);
  if (level > Load(e, DspAreaOf(w), DspBankOf(w), offset)) Store(e, DspAreaOf(w), DspBankOf(w), offset, level);
}

// The dynamics processor of DYN over channels 0..n-1 of the frame; with the
// side-chain flag, channels n..2n-1 are the side chain and `operand` names
// the side-chain input and listen words.
void Dynamics(SimDspElement* e, const SimDspArea& program, uint32_t w, uint32_t operand, const int32_t* src,
              uint32_t inChannels, int32_t* dst, uint32_t outChannels) {
  const uint32_t n = std::min<uint32_t>(DspChOf(w) + 1, 4);
  const std::vector<uint32_t>& words = program.Banks[0];
  auto programWord = [&](uint32_t at, uint32_t& out) {
    if (at >= program.Size) return false;
    out = words[at] & 0xFFFFFF;
    return true;
  };
  uint32_t word = 0;
  const bool processing = programWord(DspDynBypassOf(w), word) && (word & 0x80);
  bool keyed = false, listen = false;
  if (w & kDspDynSideChain) {
    const uint32_t width = n > 1 ? 1 : 0;
    keyed = programWord(operand & 0xFFF, word) && word == kDspDynScInputOn[width];
    listen = programWord(operand >> 12 & 0xFFF, word) && word == kDspDynScListenOn[width];
  }
  const uint32_t bankArea = programWord(1, word) && word == 0x227400 ? 1 : 2;
  auto bank = [&](uint32_t i) { return double(Load(e, bankArea, 0, i)); };
  const double inGain = Load(e, 4, 0, 0) / 524288.0, outGain = Load(e, 4, 0, 1) / 524288.0;
  double x[4] = {}, key[4] = {};
  double level = 0, keyLevel = 0;
  for (uint32_t c = 0; c < n; ++c) {
    x[c] = (c < inChannels ? src[c] : 0) * (processing ? inGain : 1.0);
    level = std::max(level, std::fabs(x[c]));
    // The side chain reaches the detector as it comes, without the input gain.
    key[c] = keyed ? (n + c < inChannels ? src[n + c] : 0) : x[c];
    keyLevel = std::max(keyLevel, std::fabs(key[c]));
  }
  Store(e, 3, 1, 0, std::max<int64_t>(Load(e, 3, 1, 0), std::min<int64_t>(int64_t(level), 0x7FFFFF)));
  double gc = 1, gg = 1;
  if (processing) {
    // Compressor over the envelope of the detector.
    double env = Load(e, 3, 0, 0);
    if (keyLevel > env) env = bank(2) != 0 ? keyLevel : env + (keyLevel - env) * bank(5) / 16777216.0;
    else env -= env * bank(6) / 4294967296.0;
    Store(e, 3, 0, 0, int64_t(env));
    const double ln = std::log(std::max(env, 1.0) / 8388608.0);
    const double over = ln - bank(0) / 1048576.0;
    if (over > 0) gc = std::exp(-over * (1 + bank(1) / 8388608.0));
    // Gate or expander over the same envelope: open at its threshold (held
    // open down to the hysteresis below it), then open for the hold time,
    // then its gain falls by the slope down to the range.
    const double threshold = bank(8) / 524288.0;
    bool open = Load(e, 3, 0, 2) != 0;
    int64_t hold = Load(e, 3, 0, 1);
    double target = 1;
    if (ln >= threshold - (open ? bank(7) / 524288.0 : 0)) {
      open = true;
      hold = int64_t(bank(11));
    } else if (hold > 0) {
      --hold;
    } else {
      open = false;
      target = std::exp(std::max(bank(10) / 1048576.0, (ln - threshold) * -bank(9) / 262144.0));
    }
    gg = Load(e, 3, 0, 4) / 4194304.0;
    if (target > gg) gg = std::min(target, gg + bank(13) / 16777216.0);
    else gg += (target - gg) * bank(12) / 4294967296.0;
    Store(e, 3, 0, 1, hold);
    Store(e, 3, 0, 2, open);
    Store(e, 3, 0, 4, std::llround(gg * 4194304.0));
    Store(e, 4, 0, 2, std::llround(gc * 4194304.0));
    Store(e, 4, 0, 3, std::llround(gg * 4194304.0));
  }
  const double g = processing ? gc * gg * bank(14) / 524288.0 * outGain : 1.0;
  double outPeak = 0;
  for (uint32_t c = 0; c < n && c < outChannels; ++c) {
    dst[c] = Saturate(std::llround(listen ? key[c] : x[c] * g));
    outPeak = std::max(outPeak, std::fabs(double(dst[c])));
  }
  const uint32_t outAt = n > 1 ? 16 : 9;
  Store(e, 3, 1, outAt, std::max<int64_t>(Load(e, 3, 1, outAt), int64_t(outPeak)));
}

const SimDspArea* ProgramArea(const SimDspElement* e) {
  for (const SimDspArea& a : e->Areas)
    if (a.Type == kAreaProgram && a.Size) return &a;
  return nullptr;
}

}  // namespace

void SimDspProcess(SimDspElement* e, const int32_t* in, uint32_t inChannels, int32_t* out, uint32_t outChannels,
                   uint32_t frames) {
  std::fill(out, out + size_t{outChannels} * frames, 0);
  const SimDspArea* program = e ? ProgramArea(e) : nullptr;
  if (!program) return;
  for (uint32_t f = 0; f < frames; ++f) {
    const int32_t* src = in + size_t{f} * inChannels;
    int32_t* dst = out + size_t{f} * outChannels;
    int64_t x = 0;
    for (uint32_t pc = 0; pc < program->Size; ++pc) {
      const uint32_t w = program->Banks[0][pc];
      switch (DspOpOf(w)) {
        case kDspLd:
          x = DspChOf(w) < inChannels ? src[DspChOf(w)] : 0;
          break;
        case kDspSt:
          if (DspChOf(w) < outChannels) dst[DspChOf(w)] = Saturate(x);
          break;
        case kDspMul:
          x = GainProduct(x, Load(e, DspAreaOf(w), DspBankOf(w), DspOffOf(w)), DspShiftOf(w));
          break;
        case kDspMac: {
          const int64_t s = DspChOf(w) < inChannels ? src[DspChOf(w)] : 0;
          x += GainProduct(s, Load(e, DspAreaOf(w), DspBankOf(w), DspOffOf(w)), DspShiftOf(w));
          break;
        }
        case kDspPeak:
          Peak(e, w, DspOffOf(w), x);
          break;
        case kDspEq:
          x = EqBand(e, w, Saturate(x));
          break;
        case kDspDly:
          x = Delay(e, w, Saturate(x));
          break;
        case kDspDla:
          x = DelayAbsolute(e, w, Saturate(x));
          break;
        case kDspNeg:
          if (DspChOf(w) < outChannels) dst[DspChOf(w)] = Saturate(-int64_t{dst[DspChOf(w)]});
          break;
        case kDspGainAll:
          for (uint32_t c = 0; c <= DspChOf(w) && c < outChannels; ++c) {
            const int64_t s = c < inChannels ? src[c] : 0;
            dst[c] = Saturate(GainProduct(s, Load(e, DspAreaOf(w), DspBankOf(w), DspOffOf(w)), DspShiftOf(w)));
          }
          break;
        case kDspPeakAll:
          for (uint32_t c = 0; c <= DspChOf(w) && c < outChannels; ++c) Peak(e, w, DspOffOf(w) + c, dst[c]);
          break;
        case kDspZero:
          x = 0;
          break;
        case kDspSkip:
          ++pc;
          break;
        case kDspDyn: {
          uint32_t operand = 0;
          if (w & kDspDynSideChain) {
            if (pc + 1 < program->Size) operand = program->Banks[0][pc + 1];
            ++pc;
          }
          Dynamics(e, *program, w, operand, src, inChannels, dst, outChannels);
          break;
        }
        default:
          break;
      }
    }
  }
}
