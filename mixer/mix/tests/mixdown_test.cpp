// What a mixdown asks of the mixer document: its outputs, their routing
// text and the temporary mixer that records one of them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mixer/mix/mixdown.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/tests/mixfake.h"

namespace {

MixElem* Routed(MixColumn* col, uint32_t type, int32_t y, int32_t routing) {
  MixElem* e = MixElemCreate(type, col, y, 0, 0, 0);
  if (e) e->Routing = routing;
  return e;
}

// Every routed output once, in column order; inputs and unrouted outputs
// are no outputs.
TEST(Mixdown, OutputsAreTheRoutedOutputElements) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  MixColumn* a = MixColumnCreate(doc, 0, "a", 0, 0);
  MixColumn* b = MixColumnCreate(doc, 3, "b", 0, 0);
  const int32_t bus2 = MixEncodeRouting(0, 3, 1), out5 = MixEncodeRouting(1, 2, 4);
  ASSERT_TRUE(Routed(a, kFakeInput, 0, MixEncodeRouting(0, 1, 0)));
  ASSERT_TRUE(Routed(a, kFakeOutput, 40, bus2));
  ASSERT_TRUE(Routed(b, kFakeOutput, 0, -1));
  ASSERT_TRUE(Routed(b, kFakeOutput, 40, out5));
  ASSERT_TRUE(Routed(b, kFakeOutput, 80, bus2));
  const std::vector<MixdownOutput> outs = MixdownOutputs(doc);
  ASSERT_EQ(outs.size(), 2u);
  EXPECT_EQ(outs[0].Routing, bus2);
  EXPECT_EQ(outs[0].Channels, 1);
  EXPECT_EQ(outs[1].Routing, out5);
  EXPECT_TRUE(MixdownOutputs(nullptr).empty());
  MixDocDestroy(doc);
}

TEST(Mixdown, RoutingText) {
  struct Case {
    int32_t output, channels;
    int size;
    const char* text;
  } cases[] = {
      {MixEncodeRouting(0, 3, 2), 1, 64, "BUS 3 U1"},    {MixEncodeRouting(1, 3, 0), 2, 64, "BUS 1-2 U2"},
      {MixEncodeRouting(0, 2, 9), 1, 64, "OUT 10 U1"},   {2 * 1096 + 1090, 1, 64, "U3"},
      {MixEncodeRouting(0, 3, 2), 1, 4, "BUS"},          {-1, 1, 64, ""},
  };
  for (const Case& c : cases) {
    char text[64];
    std::memset(text, 'x', sizeof text);
    MixFormatRouting(text, c.output, c.channels, c.size);
    EXPECT_STREQ(text, c.text) << c.output;
  }
}

// One column per channel: an input on channel i of the output and a
// recorder on the channel's record track; outputs whose channels leave
// their routing class, bad record tracks and modules without the types
// give no mixer.
TEST(Mixdown, TheMixdownMixerRecordsEachChannelOnItsTrack) {
  MixFixture f;
  const int32_t tracks[] = {5, 9};
  MixDoc* doc = MixBuildMixdownMixer(MixEncodeRouting(0, 3, 6), 2, tracks);
  ASSERT_NE(doc, nullptr);
  int i = 0;
  for (MixColumn* c = doc->First; c; c = c->Next, ++i) {
    EXPECT_EQ(c->Number, i);
    ASSERT_TRUE(c->First && c->First->Next);
    EXPECT_EQ(c->First->Kind, kMixInput);
    EXPECT_EQ(c->First->Routing, MixEncodeRouting(0, 3, 6 + i));
    EXPECT_EQ(c->First->Next->Kind, kMixNatRec);
    EXPECT_EQ(c->First->Next->Routing, MixEncodeRouting(0, 5, tracks[i] - 1));
    EXPECT_EQ(c->First->Next->Next, nullptr);
  }
  EXPECT_EQ(i, 2);
  EXPECT_EQ(MixDspState(), 1);
  MixDocDestroy(doc);

  EXPECT_EQ(MixBuildMixdownMixer(MixEncodeRouting(0, 3, 63), 2, tracks), nullptr);  // bus 65
  const int32_t bad[] = {0};
  EXPECT_EQ(MixBuildMixdownMixer(MixEncodeRouting(0, 3, 0), 1, bad), nullptr);
  EXPECT_EQ(MixBuildMixdownMixer(-1, 1, tracks), nullptr);
  EXPECT_EQ(FakeLiveElements(), 0);
}

// The user's mixer waits as an image while the mixdown mixer is current,
// and comes back with its columns and its change state; when no mixdown
// mixer can be built it is back at once.
TEST(Mixdown, TheUsersMixerComesBackFromItsImage) {
  MixFixture f;
  MixDoc* current = MixDocCreate(0);
  MixColumn* col = MixColumnCreate(current, 4, "Vox", 0, 0);
  ASSERT_TRUE(Routed(col, kFakeOutput, 0, MixEncodeRouting(0, 3, 0)));
  MixSnapshotStates(current);
  MixdownSavedMixer saved;
  const int32_t tracks[] = {3};
  ASSERT_EQ(MixdownSwapIn(&current, &saved, MixEncodeRouting(0, 3, 0), 1, tracks), 1);
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(current->First->First->Kind, kMixInput);
  EXPECT_EQ(MixdownSwapIn(&current, &saved, MixEncodeRouting(0, 3, 0), 1, tracks), 0);  // one at a time
  EXPECT_EQ(MixdownSwapOut(&current, &saved), 1);
  ASSERT_NE(current, nullptr);
  ASSERT_NE(MixColumnFind(current, 4), nullptr);
  EXPECT_STREQ(MixColumnFind(current, 4)->Name, "Vox");
  EXPECT_EQ(MixColumnCount(current), 1);
  EXPECT_EQ(MixIsChanged(current), 0);
  EXPECT_EQ(MixdownSwapOut(&current, &saved), 0);  // nothing to end

  // Bus 64 has no second channel: no mixdown mixer, the user's is back.
  EXPECT_EQ(MixdownSwapIn(&current, &saved, MixEncodeRouting(0, 3, 63), 2, tracks), 0);
  ASSERT_NE(current, nullptr);
  EXPECT_STREQ(MixColumnFind(current, 4)->Name, "Vox");
  EXPECT_FALSE(saved.active);
  MixDocDestroy(current);
}

TEST(Mixdown, NoMixerWithoutInputAndRecorderTypes) {
  MixFixture f;
  FreeElementLibraries();
  const int32_t tracks[] = {1};
  EXPECT_EQ(MixBuildMixdownMixer(MixEncodeRouting(0, 3, 0), 1, tracks), nullptr);
}

}  // namespace
