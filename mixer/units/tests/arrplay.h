// An arrangement of real Take files for the play tests, and the sound the
// native recorder must play for it: each Part's samples at its level, ramped
// in and out over 32 samples, the tracks added up.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/takeio.h"
#include "native/qvNatRec/fade.h"

namespace arrplay {

constexpr int64_t kUnity = -0x800000;

// A Part's recorder level: unity -0x800000, the sign turned when inverted.
inline int64_t Level(uint32_t gain, bool inverted) { return (inverted ? 1 : -1) * int64_t{gain} * 256; }
inline int32_t Apply(int32_t sample, int64_t level) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{sample} * level / kUnity, INT32_MIN, INT32_MAX));
}

struct PartSpec {
  uint32_t track;
  int32_t channel, start, length, offset;
  uint32_t gain;
  bool inverted;
  int take;
};

// Two Takes of 30000 samples each; Parts on outputs 1 and 2 at half, three
// quarter and (inverted) unity gain, two of them overlapping in time.
constexpr uint32_t kTakeSamples = 30000;
constexpr PartSpec kParts[] = {
    {0, 1, 1000, 12000, 0, 16384, false, 0},
    {1, 2, 6000, 10000, 100, 24576, false, 1},
    {0, 1, 20000, 4000, 5000, 32768, true, 1},
};
// The span the Parts cover, and some silence after them.
constexpr int64_t kSpan = 24000 + 2000;

// A 16-bit Take "T<k>" of a ramp-like signal in `dir` (ending in '\'), and
// the words the recorder reads from it.
inline TakeRec* MakeTake(const std::string& dir, int k, uint32_t n, std::vector<int32_t>* words) {
  std::vector<int16_t> v(n);
  for (uint32_t i = 0; i < n; ++i)
    v[i] = static_cast<int16_t>(static_cast<int32_t>((i * (k == 0 ? 7919u : 104729u)) % 60001u) - 30000);
  uint32_t error = 0;
  TakeRec* t = TakeCreateAudio(dir.c_str(), 2, n, 0, 48000, 0, 1, ("T" + std::to_string(k)).c_str(), "",
                               nullptr, nullptr, &error);
  EXPECT_NE(t, nullptr) << error;
  if (t == nullptr) return nullptr;
  EXPECT_EQ(TakeDataIo(t, 1, 0, n * 2, v.data(), &error), 1);
  words->assign(n, 0);
  std::vector<uint8_t> scratch(n * 3);
  EXPECT_EQ(TakeReadSamples(t, 0, static_cast<int32_t>(n), reinterpret_cast<uint32_t*>(words->data()), n, 0,
                            scratch.data()),
            1);
  return t;
}

// A new arrangement of kParts over the two Takes; null when a step failed.
inline ArrRec* MakeArr(TakeRec* const takes[2]) {
  ArrRec* arr = ArrNew(nullptr);
  if (arr == nullptr) return nullptr;
  for (const PartSpec& s : kParts) {
    PartRec p;
    std::memset(&p, 0, sizeof p);
    p.Start = s.start;
    p.Length = s.length;
    p.Offset = s.offset;
    p.Take = TakeRef(takes[s.take]);
    p.TakeKind = kTakeAudio;
    p.PlayChannel = s.channel;
    p.GainStart = p.GainEnd = s.gain;
    if (s.inverted) p.Flags = kPartPhaseInvert;
    p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
    p.Next = kArrNoSlot;
    if (ArrInsertPart(&arr, p, nullptr, s.track, nullptr) != 1) return arr;
  }
  ArrRelinkOverlaps(arr);
  return arr;
}

// The expected sound of kParts over [0, kSpan).
inline std::vector<int32_t> Reference(const std::vector<int32_t> words[2]) {
  std::vector<int32_t> out(static_cast<size_t>(kSpan));
  for (int64_t t = 0; t < kSpan; ++t) {
    int64_t sum = 0;
    for (const PartSpec& s : kParts) {
      if (t < s.start || t >= s.start + s.length) continue;
      const int64_t at = t - s.start;
      const int32_t sample = words[s.take][static_cast<size_t>(s.offset + at)];
      int64_t level = Level(s.gain, s.inverted);
      if (at < 32) level = level * kFadeRampTable[32 + at] / 32768;
      else if (at >= s.length - 32) level = level * kFadeRampTable[at - (s.length - 32)] / 32768;
      sum += Apply(sample, level);
    }
    out[static_cast<size_t>(t)] = static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
  }
  return out;
}

// The samples of `played` that differ from `want` over want's length, the
// first ten reported.
inline size_t Mismatches(const std::vector<int32_t>& played, const std::vector<int32_t>& want) {
  size_t count = 0;
  for (size_t t = 0; t < want.size(); ++t) {
    const int32_t got = t < played.size() ? played[t] : 0;
    if (got != want[t] && ++count <= 10)
      ADD_FAILURE() << "sample " << t << ": played " << got << ", expected " << want[t];
  }
  return count;
}

}  // namespace arrplay
