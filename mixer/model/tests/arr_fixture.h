// Shared set-up of the arrangement tests: a fresh arrangement, Parts built
// from a few numbers, and brute-force answers computed sample by sample.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"

inline PartRec MakePart(int32_t start, int32_t length, int16_t layer = 0, uint32_t flags = 0,
                        uint32_t take = 1, uint16_t kind = 3) {
  PartRec p;
  std::memset(&p, 0, sizeof p);
  p.Start = start;
  p.Length = length;
  p.Layer = layer;
  p.Flags = flags;
  p.Take = take;
  p.TakeKind = kind;
  p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
  p.Next = kArrNoSlot;
  return p;
}

class ArrTest : public ::testing::Test {
 protected:
  ArrRec* arr = nullptr;

  void SetUp() override {
    Services().Reset();
    Host().Reset();
    arr = ArrNew(nullptr);
    ASSERT_NE(arr, nullptr);
  }
  void TearDown() override {
    if (CurArr == arr) CurArr = nullptr;
    ArrHeap.Free(arr);
  }

  uint32_t Add(uint32_t track, const PartRec& part) {
    uint32_t slot = kArrNoSlot;
    EXPECT_EQ(ArrInsertPart(&arr, part, &slot, track, nullptr), 1);
    return slot;
  }
  uint32_t Add(uint32_t track, int32_t start, int32_t length, int16_t layer = 0,
               uint32_t flags = 0) {
    return Add(track, MakePart(start, length, layer, flags));
  }
  PartRec& P(uint32_t slot) { return *ArrPart(arr, slot); }

  // The track's list, in order.
  std::vector<uint32_t> List(uint32_t track) const {
    std::vector<uint32_t> slots;
    ArrForEachTrackPart(arr, track, [&](uint32_t slot, const PartRec&) { slots.push_back(slot); });
    return slots;
  }

  // Every visible section of the track, by ArrNxtVisibleSection.
  std::vector<ArrSection> Sections(uint32_t track) const {
    std::vector<ArrSection> all;
    ArrSection s = {-1, 0, 0};
    while (ArrNxtVisibleSection(arr, track, &s) && all.size() < 100000) all.push_back(s);
    return all;
  }
};

inline bool operator==(const ArrSection& a, const ArrSection& b) {
  return a.Part == b.Part && a.Start == b.Start && a.Length == b.Length;
}
inline std::ostream& operator<<(std::ostream& os, const ArrSection& s) {
  return os << "{" << s.Part << ", " << s.Start << ", " << s.Length << "}";
}

// Brute force, for Parts of positive length within [0, limit): the Part
// heard at each sample (the highest layer covering it, the first in list
// order among equal layers), merged into runs.
inline std::vector<ArrSection> OracleSections(const ArrRec* arr, uint32_t track, int32_t limit) {
  std::vector<int32_t> top(limit, -1);
  std::vector<int16_t> layer(limit, 0);
  ArrForEachTrackPart(arr, track, [&](uint32_t slot, const PartRec& p) {
    for (int32_t t = p.Start; t < p.Start + p.Length && t < limit; ++t)
      if (top[t] < 0 || p.Layer > layer[t]) {
        top[t] = static_cast<int32_t>(slot);
        layer[t] = p.Layer;
      }
  });
  std::vector<ArrSection> runs;
  for (int32_t t = 0; t < limit; ++t) {
    if (top[t] < 0) continue;
    if (!runs.empty() && runs.back().Part == top[t] && runs.back().Start + runs.back().Length == t)
      ++runs.back().Length;
    else
      runs.push_back({top[t], t, 1});
  }
  return runs;
}

// Brute force: the first other Part of the list sharing a sample with the
// Part in `slot`.
inline uint16_t OracleLink(const ArrRec* arr, uint32_t track, uint32_t slot) {
  const PartRec& p = *ArrPart(arr, slot);
  uint16_t link = kArrNoLink;
  ArrForEachTrackPart(arr, track, [&](uint32_t s, const PartRec& q) {
    if (link != kArrNoLink || s == slot) return;
    for (int32_t t = q.Start; t < q.Start + q.Length; ++t)
      if (t >= p.Start && t < p.Start + p.Length) {
        link = static_cast<uint16_t>(s);
        break;
      }
  });
  return link;
}
