// Crossfade links: repair after edits, pairing, and the Part heard inside a
// crossfade.
#include "arr_fixture.h"

namespace {

class XfadeTest : public ArrTest {
 protected:
  void Pair(uint32_t out, uint32_t in) {
    P(out).XfadeOutPartner = static_cast<uint16_t>(in);
    P(in).XfadeInPartner = static_cast<uint16_t>(out);
  }
  bool Marked(uint32_t slot) { return (P(slot).Flags & kPartTempMark) != 0; }
};

TEST_F(XfadeTest, CheckKeepsValidPairsAndClearsTheRest) {
  // a [0, 100) -> b [80, 200) -> c [190, 300): two valid pairs.
  uint32_t a = Add(0, 0, 100);
  uint32_t b = Add(0, 80, 120);
  uint32_t c = Add(0, 190, 110);
  Pair(a, b);
  Pair(b, c);
  ArrCheckXfades(arr, 1);
  EXPECT_EQ(P(a).XfadeOutPartner, b);
  EXPECT_EQ(P(b).XfadeInPartner, a);
  EXPECT_EQ(P(b).XfadeOutPartner, c);
  EXPECT_EQ(P(c).XfadeInPartner, b);
  EXPECT_FALSE(Marked(a) || Marked(b) || Marked(c));
  EXPECT_EQ(ArrHasXfades(arr, 0), 1);
  EXPECT_EQ(PartsAreXfadePartners(arr, b, a), 1);
  EXPECT_EQ(PartsAreXfadePartners(arr, a, c), 0);
  EXPECT_EQ(PartCoveringLoc(arr, b, 90), int32_t(a));
  EXPECT_EQ(PartCoveringLoc(arr, b, 195), int32_t(c));
  EXPECT_EQ(PartCoveringLoc(arr, b, 150), -1);
}

TEST_F(XfadeTest, BrokenPairsAreClearedOnBothSidesAndMarked) {
  struct Case {
    const char* what;
    int32_t aStart, aLen, bStart, bLen;
    bool oneSided;  // only a names b
    bool freeB;
  } cases[] = {
      {"b ends inside a", 0, 100, 50, 30, false, false},
      {"b starts with a", 0, 100, 0, 150, false, false},
      {"no overlap", 0, 100, 100, 50, false, false},
      {"only one side names the other", 0, 100, 80, 50, true, false},
      {"partner slot freed", 0, 100, 80, 50, false, true},
  };
  for (const Case& c : cases) {
    ArrHeap.Free(arr);
    arr = ArrNew(nullptr);
    uint32_t a = Add(0, c.aStart, c.aLen);
    uint32_t b = Add(0, c.bStart, c.bLen);
    Pair(a, b);
    if (c.oneSided) P(b).XfadeInPartner = kArrNoLink;
    if (c.freeB) ArrUnlinkPart(arr, b, 0);
    ArrCheckXfades(arr, 1);
    EXPECT_EQ(P(a).XfadeOutPartner, kArrNoLink) << c.what;
    EXPECT_TRUE(Marked(a)) << c.what;
    if (!c.freeB) {
      EXPECT_EQ(P(b).XfadeInPartner, kArrNoLink) << c.what;
      EXPECT_EQ(Marked(b), !c.oneSided) << c.what;
    }
  }
  // Without the mark flag the links go but no bit is set; a Part of another
  // track is never a partner.
  ArrHeap.Free(arr);
  arr = ArrNew(nullptr);
  uint32_t a = Add(0, 0, 100);
  uint32_t b = Add(1, 80, 100);
  Pair(a, b);
  ArrCheckXfades(arr, 0);
  EXPECT_EQ(P(a).XfadeOutPartner, kArrNoLink);
  EXPECT_EQ(P(b).XfadeInPartner, kArrNoLink);
  EXPECT_FALSE(Marked(a) || Marked(b));
}

TEST_F(XfadeTest, OutLinkClearedWhenItStartsBeforeTheInCrossfadeEnds) {
  // a [0, 100) -> b [50, 200) -> c [90, 300): c starts before a ends.
  uint32_t a = Add(0, 0, 100);
  uint32_t b = Add(0, 50, 150);
  uint32_t c = Add(0, 90, 210);
  Pair(a, b);
  Pair(b, c);
  ArrCheckXfades(arr, 1);
  EXPECT_EQ(P(b).XfadeInPartner, a);
  EXPECT_EQ(P(b).XfadeOutPartner, kArrNoLink);
  EXPECT_EQ(P(c).XfadeInPartner, kArrNoLink);  // the pair goes on both sides
  EXPECT_TRUE(Marked(b) && Marked(c));
  EXPECT_FALSE(Marked(a));
}

TEST_F(XfadeTest, PartCheckMakesLinksMutual) {
  uint32_t a = Add(0, 0, 100);
  uint32_t b = Add(0, 80, 100);
  uint32_t c = Add(0, 170, 100);
  P(b).XfadeInPartner = static_cast<uint16_t>(a);  // a does not name b yet
  P(b).XfadeOutPartner = static_cast<uint16_t>(c);
  PartCheckXfade(arr, b);
  EXPECT_EQ(P(a).XfadeOutPartner, b);
  EXPECT_EQ(P(c).XfadeInPartner, b);

  // a is already paired with d (a valid pair): e's claim leaves it alone.
  ArrHeap.Free(arr);
  arr = ArrNew(nullptr);
  a = Add(0, 0, 100);
  uint32_t d = Add(0, 90, 100);
  uint32_t e = Add(0, 95, 100);
  Pair(a, d);
  P(e).XfadeInPartner = static_cast<uint16_t>(a);
  PartCheckXfade(arr, e);
  EXPECT_EQ(P(a).XfadeOutPartner, d);
  ArrCheckXfades(arr, 1);  // the one-sided claim goes
  EXPECT_EQ(P(e).XfadeInPartner, kArrNoLink);
  EXPECT_EQ(P(d).XfadeInPartner, a);

  // A claim that cannot be a pair (the partner ends first) is not made mutual.
  P(a).XfadeOutPartner = kArrNoLink;
  P(d).XfadeInPartner = kArrNoLink;
  uint32_t f = Add(0, 10, 20);
  P(f).XfadeInPartner = static_cast<uint16_t>(a);
  PartCheckXfade(arr, f);
  EXPECT_EQ(P(a).XfadeOutPartner, kArrNoLink);
}

TEST_F(XfadeTest, HasXfadesRemoves) {
  uint32_t a = Add(0, 0, 100);
  uint32_t b = Add(0, 80, 100);
  EXPECT_EQ(ArrHasXfades(arr, 0), 0);
  Pair(a, b);
  EXPECT_EQ(ArrHasXfades(arr, 1), 1);
  EXPECT_EQ(ArrHasXfades(arr, 0), 0);
  EXPECT_EQ(P(a).XfadeOutPartner, kArrNoLink);
  EXPECT_EQ(P(b).XfadeInPartner, kArrNoLink);
}

}  // namespace
