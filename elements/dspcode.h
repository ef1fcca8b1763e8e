// The instruction words of the mixer DSP as element programs are written in
// them. A program runs once per sample frame over one working value X:
// it loads a channel's input sample, passes it through gain, filter, delay
// and meter steps that read the element's data words, and stores it to an
// output channel. Samples are 24-bit fractions; stores saturate.
//
// A word holds the operation in bits 20..23 and its fields below:
//   channel  bits 0..2      (LD, ST, MAC, NEG; GAINALL and PEAKALL: channels - 1)
//   shift    bits 4..5      (MUL, MAC: the product is doubled `shift` times)
//   offset   bits 8..15     (data word offset within its area)
//   bank     bit 16         (second bank of a two-bank area)
//   area     bits 17..19
// DLY has its pointer word offset in bits 8..11 and its delay word offset
// in bits 12..15 (both in area 1) and its sample memory in `area`.
#pragma once

#include <cstdint>

enum DspInstr : uint32_t {
  kDspNop = 0,
  kDspLd = 1,    // X = input[channel]
  kDspSt = 2,    // output[channel] = X
  kDspMul = 3,   // X = -(X x word) << shift: data words carry minus the gain
  kDspMac = 4,   // X += -(input[channel] x word) << shift
  kDspPeak = 5,  // word = max(word, |X| >> 8): peak since the last meter read, 0..32768
  kDspEq = 6,    // X through one peaking band: coefficients at area/offset (4 words),
                 // its four state words in area `channel`, bank `bank`
  kDspDly = 7,   // X through a circular delay of 256 words (index and delay words in area 1)
  kDspDla = 8,   // X through a delay line of absolute addresses {end, pointer, base} at area 1/offset
  kDspNeg = 9,   // output[channel] = -output[channel] (the inverting variant of a NOP)
  kDspZero = 10, // X = 0
  kDspGainAll = 11,  // output[c] = -(input[c] x word) << shift for channels 0 .. channel field
  kDspPeakAll = 12,  // word[offset + c] takes the peak of output[c] for channels 0 .. channel field
  kDspSkip = 13,     // the next program word is data (a word the element patches), not run
  kDspDyn = 14,      // channels 0 .. channel field through the dynamics processor (below)
};

// DYN: input gain, compressor and gate/expander over one shared envelope,
// make-up and output gain, with the element's data in fixed places:
//   program word 1      bank select: 0x227400 coefficient bank 1 (area 1), else bank 2 (area 2)
//   program word B      bypass: bit 7 set = processing (B in bits 8..19 of the DYN word)
//   area 4 words 0, 1   input and output gain (0x80000 = unity); words 2, 3 receive the
//                       compressor's and the gate's gain (0x400000 = unity)
//   area 3 word 0       the envelope; second bank word 0 the input peak, word 9 (mono) or
//                       16 (stereo) the output peak, as 24-bit magnitudes
//   bank words          0 threshold (ln of the level x 2^20), 1 -1/ratio x 2^23, 2 peak
//                       detection when nonzero, 5 attack step x 2^24, 6 release step x 2^32,
//                       7 gate hysteresis (ln x 2^19: once open, the gate closes that far
//                       below its threshold), 8 gate threshold (ln x 2^19), 9 the gate's slope
//                       below its threshold (x 2^18, negative: the gain's ln falls by
//                       slope x the level's ln; a steep slope gates, a gentle one expands),
//                       10 gate range (ln x 2^20, the floor of that fall), 11 hold time in
//                       samples, 12 gate release step x 2^32 (a falling gain moves that share
//                       of the way to its target each sample), 13 gate attack step x 2^24 (a
//                       rising gain climbs that much, in unity x 2^24, each sample), 14
//                       make-up (0x80000 = unity)
//   area 3 words 1, 2, 4  the gate's hold count, its open flag and its gain (0x400000 = unity)
// With the side-chain flag (bit 3 of the DYN word) the processor has 2n inputs,
// channels n..2n-1 being the side chain, and the next program word holds the
// offsets of two program words it reads (the DYN consumes that word): bits
// 0..11 the side-chain input word (the envelope follows the side chain while
// it holds the "on" word of its width, below), bits 12..23 the side-chain
// listen word (while "on", the outputs carry what the envelope follows).

constexpr uint32_t DspOpOf(uint32_t w) { return (w >> 20) & 0xF; }
constexpr uint32_t DspChOf(uint32_t w) { return w & 7; }
constexpr uint32_t DspShiftOf(uint32_t w) { return (w >> 4) & 3; }
constexpr uint32_t DspOffOf(uint32_t w) { return (w >> 8) & 0xFF; }
constexpr uint32_t DspBankOf(uint32_t w) { return (w >> 16) & 1; }
constexpr uint32_t DspAreaOf(uint32_t w) { return (w >> 17) & 7; }

constexpr uint32_t DspWord(uint32_t op, uint32_t area = 0, uint32_t offset = 0, uint32_t bank = 0,
                           uint32_t shift = 0, uint32_t channel = 0) {
  return (op & 0xF) << 20 | (area & 7) << 17 | (bank & 1) << 16 | (offset & 0xFF) << 8 | (shift & 3) << 4 |
         (channel & 7);
}
constexpr uint32_t DspLd(uint32_t ch) { return DspWord(kDspLd, 0, 0, 0, 0, ch); }
constexpr uint32_t DspSt(uint32_t ch) { return DspWord(kDspSt, 0, 0, 0, 0, ch); }
constexpr uint32_t DspMul(uint32_t area, uint32_t offset, uint32_t shift) {
  return DspWord(kDspMul, area, offset, 0, shift);
}
constexpr uint32_t DspMac(uint32_t ch, uint32_t area, uint32_t offset, uint32_t shift) {
  return DspWord(kDspMac, area, offset, 0, shift, ch);
}
constexpr uint32_t DspPeak(uint32_t area, uint32_t offset) { return DspWord(kDspPeak, area, offset); }
constexpr uint32_t DspEq(uint32_t coefArea, uint32_t coefOffset, uint32_t stateArea, uint32_t bank) {
  return DspWord(kDspEq, coefArea, coefOffset, bank, 0, stateArea);
}
constexpr uint32_t DspDly(uint32_t indexOffset, uint32_t delayOffset, uint32_t memArea) {
  return DspWord(kDspDly, memArea, (delayOffset & 0xF) << 4 | (indexOffset & 0xF));
}
constexpr uint32_t DspDla(uint32_t offset, uint32_t memArea) { return DspWord(kDspDla, memArea, offset); }
constexpr uint32_t DspNeg(uint32_t ch) { return DspWord(kDspNeg, 0, 0, 0, 0, ch); }
constexpr uint32_t DspGainAll(uint32_t channels, uint32_t area, uint32_t offset, uint32_t shift) {
  return DspWord(kDspGainAll, area, offset, 0, shift, channels - 1);
}
constexpr uint32_t DspPeakAll(uint32_t channels, uint32_t area, uint32_t offset) {
  return DspWord(kDspPeakAll, area, offset, 0, 0, channels - 1);
}
constexpr uint32_t DspZero() { return DspWord(kDspZero); }
constexpr uint32_t DspSkip() { return DspWord(kDspSkip); }
constexpr uint32_t DspDyn(uint32_t channels, uint32_t bypassWord) {
  return (uint32_t{kDspDyn} << 20) | (bypassWord & 0xFFF) << 8 | ((channels - 1) & 7);
}
constexpr uint32_t DspDynBypassOf(uint32_t w) { return (w >> 8) & 0xFFF; }
constexpr uint32_t kDspDynSideChain = 0x8;
constexpr uint32_t DspDynSideChainOperand(uint32_t inputWord, uint32_t listenWord) {
  return (listenWord & 0xFFF) << 12 | (inputWord & 0xFFF);
}
// The side-chain words' "on" values: mono (one channel) and stereo.
constexpr uint32_t kDspDynScInputOn[2] = {0x000000, 0x46D849};
constexpr uint32_t kDspDynScListenOn[2] = {0x724900, 0x236671};

// Words of the circular delay memory of DLY.
constexpr uint32_t kDspDelayWords = 256;
