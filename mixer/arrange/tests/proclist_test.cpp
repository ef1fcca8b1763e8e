// The processing list's stretches, the "#nn" Take names, the record-track
// channel encoding and the Part length rule.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "mixer/arrange/partspan.h"
#include "mixer/arrange/proclist.h"
#include "mixer/arrange/procthin.h"
#include "mixer/arrange/recchan.h"

namespace {

ProcList Empty() {
  ProcList l;
  std::memset(&l, 0, sizeof l);
  return l;
}

TEST(ProcListTest, StretchesOfOneTakeJoinWhenTheyTouchOrOverlap) {
  ProcList l = Empty();
  ASSERT_EQ(ProcListAdd(&l, 7, 100, 50), 1);   // [100,150)
  ASSERT_EQ(ProcListAdd(&l, 7, 150, 10), 1);   // touches: [100,160)
  ASSERT_EQ(ProcListAdd(&l, 7, 120, 5), 1);    // inside
  ASSERT_EQ(ProcListAdd(&l, 8, 100, 50), 1);   // another Take
  ASSERT_EQ(ProcListAdd(&l, 7, 161, 9), 1);    // one sample apart: its own entry
  ASSERT_EQ(l.Count, 3);
  EXPECT_EQ(l.Span[0].Offset(), 100);
  EXPECT_EQ(l.Span[0].Length, 60u);
  EXPECT_EQ(l.Span[2].Offset(), 161);
  // A stretch bridging two entries folds them into one.
  ASSERT_EQ(ProcListAdd(&l, 7, 159, 3), 1);
  ASSERT_EQ(l.Count, 2);
  EXPECT_EQ(l.Span[0].Take, 7u);
  EXPECT_EQ(l.Span[0].Offset(), 100);
  EXPECT_EQ(l.Span[0].End(), 170);
  EXPECT_EQ(ProcListFind(&l, 7, 165, 5), 0);
  EXPECT_EQ(ProcListFind(&l, 7, 165, 6), -1);
  EXPECT_EQ(ProcListFind(&l, 8, 100, 50), 1);
}

TEST(ProcListTest, HoldsSixtyFourBitOffsetsAndRefusesThe256thStretch) {
  ProcList l = Empty();
  const int64_t far = (int64_t{1} << 33) + 5;
  ASSERT_EQ(ProcListAdd(&l, 1, far, 10), 1);
  EXPECT_EQ(l.Span[0].Offset(), far);
  for (int i = 1; i < kProcSpanMax; ++i) ASSERT_EQ(ProcListAdd(&l, 1, 1000 * i, 10), 1);
  EXPECT_EQ(l.Count, 255);
  ProcList before = l;
  EXPECT_EQ(ProcListAdd(&l, 2, 0, 10), 0);
  EXPECT_EQ(std::memcmp(&before, &l, sizeof l), 0);
  EXPECT_EQ(ProcListAdd(&l, 1, 1005, 100), 1);  // joining still works when full
}

// The Part length rule: a Part covers [Start, Start + Length).
TEST(PartSpanTest, OnePartOneStretchNoSampleAddedOrLost) {
  struct Case {
    int32_t offset, length;
    int64_t take;
    int64_t start, len;
  } cases[] = {
      {0, 100, 1000, 0, 100},
      {950, 100, 1000, 950, 50},   // runs past the Take's end: up to the end only
      {1000, 10, 1000, 1000, 0},
      {-5, 10, 1000, 0, 5},
  };
  for (const Case& c : cases) {
    const TakeStretch s = PartTakeStretch(c.offset, c.length, c.take);
    EXPECT_EQ(s.start, c.start) << c.offset;
    EXPECT_EQ(s.length, c.len) << c.offset;
  }
  EXPECT_EQ(RecordTakeSamples(1000, 1480), 480);
  EXPECT_EQ(RecordedPartLength(480), 480);
  EXPECT_EQ(MixdownTakeSamples(1000, 2000, 64), 1064);
  EXPECT_EQ(MixdownPartLength(1000, 2000), 1000);
}

TEST(RecChannelTest, EncodingIsPinnedAndInvertible) {
  struct Case {
    int32_t first, member, pass, track, channel;
  } cases[] = {
      {1, 0, 0, 1, -1},      {1, 1, 0, 49, -49},       {1, 3, 0, 145, -145},
      {192, 0, 0, 192, -192}, {150, 1, 0, 6, -6},       {150, 1, 2, 6, -390},
      {1, 0, 1, 1, -193},    {192, 0, 1, 192, -384},   {47, 2, 5, 143, -1103},
  };
  for (const Case& c : cases) {
    const int32_t track = RecMemberTrack(c.first, c.member);
    EXPECT_EQ(track, c.track) << c.first << "/" << c.member;
    const int32_t ch = RecPlayChannel(track, c.pass);
    EXPECT_EQ(ch, c.channel);
    EXPECT_EQ(RecChannelTrack(ch), c.track);
    EXPECT_EQ(RecChannelPass(ch), c.pass);
  }
  // Every channel of every pass up to the limit decodes back.
  for (int32_t pass : {0, 1, 7, kRecMaxPass})
    for (int32_t t = 1; t <= 192; ++t) {
      const int32_t ch = RecPlayChannel(t, pass);
      ASSERT_LT(ch, 0);
      ASSERT_EQ(RecChannelTrack(ch), t);
      ASSERT_EQ(RecChannelPass(ch), pass);
    }
  EXPECT_EQ(RecPlayChannel(0, 0), 0);
  EXPECT_EQ(RecPlayChannel(193, 0), 0);
  EXPECT_EQ(RecPlayChannel(1, kRecMaxPass + 1), 0);
  EXPECT_EQ(RecChannelTrack(5), 0);
  EXPECT_EQ(RecChannelPass(0), -1);
  EXPECT_EQ(RecChannelTrack(INT32_MIN), static_cast<int32_t>((2147483648LL - 1) % 192 + 1));
}

std::string NewName(const char* start, const std::set<std::string>& folder) {
  char name[64] = {};
  std::strncpy(name, start, 63);
  NewTakeNameIn(name, [&](const std::function<int(const char*)>& visit) {
    for (const std::string& n : folder)
      if (!visit(n.c_str())) break;
  });
  return name;
}

TEST(TakeNameTest, FirstFreeSuffix) {
  EXPECT_EQ(NewName("Vox", {}), "Vox #01");
  EXPECT_EQ(NewName("Vox", {"Vox #01", "Vox #02"}), "Vox #03");
  EXPECT_EQ(NewName("Vox #0Z", {"Vox #01"}), "Vox #02");
  EXPECT_EQ(NewName("Vox  ", {"Vox #01", "Vox #02", "Other #03"}), "Vox #03");
  EXPECT_EQ(NewName("Vox", {"Vox #01", "Vox #02", "Vox #03", "Vox #04", "Vox #05", "Vox #06",
                            "Vox #07", "Vox #08", "Vox #09"}),
            "Vox #0A");
  std::set<std::string> many;
  for (char a : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"))
    for (char b : std::string("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ")) many.insert(std::string("V #") + a + b);
  many.erase("V #00");
  EXPECT_EQ(NewName("V", many), "V #??");  // every name taken
  const std::string longName(62, 'x');
  EXPECT_EQ(NewName(longName.c_str(), {}), std::string(60, 'x') + "#01");
}

TEST(TakeNameTest, CarrySuffixOntoPartName) {
  struct Case {
    const char* part;
    const char* take;
    std::string want;
  } cases[] = {
      {"Lead", "Vox #03", "Lead #03"},
      {"Lead #01  ", "Vox #0B", "Lead #0B"},
      {"Lead", "Vox", "Lead"},
      {"Lead", "A #01 #02x", "Lead #02"},
  };
  for (const Case& c : cases) {
    char name[64] = {};
    std::strncpy(name, c.part, 63);
    CarryTakeSuffix(name, c.take);
    EXPECT_EQ(std::string(name), c.want) << c.part;
  }
  char full[64];
  std::memset(full, 'p', 63);
  full[63] = '\0';
  CarryTakeSuffix(full, "T #05");
  EXPECT_EQ(std::string(full), std::string(59, 'p') + " #05");
}

}  // namespace

namespace {

struct ThinCall {
  uint32_t newTake, source, from, to;
  int32_t filter;
  uint32_t amount;
  bool operator==(const ThinCall&) const = default;
};
std::vector<ThinCall> g_thinCalls;
size_t g_thinFailAt = SIZE_MAX;

int RecordThinCopy(uint32_t newTake, uint32_t source, uint32_t from, uint32_t to, int32_t filter, uint32_t amount) {
  g_thinCalls.push_back({newTake, source, from, to, filter, amount});
  return g_thinCalls.size() - 1 != g_thinFailAt;
}

// Each entry's range goes to the copy with the filter only when it is on;
// the first failure stops the run.
TEST(ProcThinTest, CopiesEachRangeAndStopsAtTheFirstFailure) {
  ThinSetCopier(RecordThinCopy);
  ThinList l;
  std::memset(&l, 0, sizeof l);
  l.Count = 3;
  l.ThinAmount = 200;
  l.Entry[0] = {11, 5, 100, 50, 21};
  l.Entry[1] = {12, 6, 0, 10, 22};
  l.Entry[2] = {13, 7, 1000, 1, 23};
  for (int filterOn : {0, 1}) {
    l.FilterOn = filterOn;
    g_thinCalls.clear();
    g_thinFailAt = SIZE_MAX;
    EXPECT_EQ(ProcThinAutomation(&l), 1);
    const int32_t f0 = filterOn ? 5 : -1, f2 = filterOn ? 7 : -1;
    ASSERT_EQ(g_thinCalls.size(), 3u);
    EXPECT_EQ(g_thinCalls[0], (ThinCall{21, 11, 100, 150, f0, 200}));
    EXPECT_EQ(g_thinCalls[2], (ThinCall{23, 13, 1000, 1001, f2, 200}));
  }
  g_thinCalls.clear();
  g_thinFailAt = 1;
  EXPECT_EQ(ProcThinAutomation(&l), 0);
  EXPECT_EQ(g_thinCalls.size(), 2u);
  // A range past the 32-bit time line and a damaged count are refused.
  l.Entry[0].From = UINT32_MAX - 5;
  EXPECT_EQ(ProcThinAutomation(&l), 0);
  l.Count = kThinEntryMax + 1;
  EXPECT_EQ(ProcThinAutomation(&l), 0);
  ThinSetCopier(nullptr);
}

}  // namespace
