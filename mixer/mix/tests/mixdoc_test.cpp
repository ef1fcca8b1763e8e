#include <gtest/gtest.h>

#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixdoc.h"
#include "mixer/mix/tests/mixfake.h"
#include "mixer/model/util/strtab.h"

namespace {

std::vector<int> Numbers(MixDoc* doc) {
  std::vector<int> n;
  for (MixColumn* c = doc->First; c; c = c->Next) n.push_back(c->Number);
  return n;
}

TEST(MixDoc, NewDocumentDefaults) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->First, nullptr);
  EXPECT_EQ(doc->AutomEnable, 1);
  EXPECT_EQ(doc->DelayComp, 0);
  EXPECT_EQ(doc->EditLock, 0);
  EXPECT_EQ(doc->StripWidth, 90);
  EXPECT_EQ(MixColumnPitch(), 92);
  EXPECT_EQ(doc->ContentHeight, 321 - 2 * 4 - 40);
  EXPECT_EQ(MixIsChanged(doc), 0);
  MixDocDestroy(doc);
}

TEST(MixDoc, ColumnsKeepOrderGapsShiftRunsAndRefuseOverlapAndRange) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  for (int n : {7, 5, 6, 9}) ASSERT_NE(MixColumnCreate(doc, n, "c", 0, 0), nullptr);
  EXPECT_EQ(Numbers(doc), (std::vector<int>{5, 6, 7, 9}));
  EXPECT_EQ(MixColumnCreate(doc, 6, "again", 0, 0), nullptr);
  EXPECT_EQ(f.host.messages.back(), IDS_MIX_COLUMNS_OVERLAP);
  ASSERT_EQ(MixColumnOpenGap(doc, 5), 1);
  EXPECT_EQ(Numbers(doc), (std::vector<int>{6, 7, 8, 9}));  // the run 5-7 moved; 9 stayed

  for (int n : {124, 125, 126}) MixColumnCreate(doc, n, nullptr, 0, 0);
  EXPECT_EQ(MixColumnOpenGap(doc, 124), 0);
  EXPECT_EQ(f.host.messages.back(), IDS_MIX_COLUMNS_RANGE);
  EXPECT_EQ(Numbers(doc), (std::vector<int>{6, 7, 8, 9, 124, 125, 126}));
  EXPECT_EQ(MixColumnCreate(doc, 127, nullptr, 0, 0), nullptr);

  doc->FirstVisible = 6;
  EXPECT_EQ(MixColumnAtX(doc, 92 * 2 + 5)->Number, 8);
  EXPECT_EQ(MixColumnAtX(doc, -1), nullptr);
  MixColumnDelete(doc, 7);
  EXPECT_EQ(Numbers(doc), (std::vector<int>{6, 8, 9, 124, 125, 126}));
  MixDocDestroy(doc);
}

TEST(MixDoc, RoutingDecodeTable) {
  struct Case {
    int32_t code, unit, cls, index;
  } cases[] = {
      {0, 0, 1, 0},          {255, 0, 1, 255},     {256, 0, 2, 0},      {511, 0, 2, 255},
      {512, 0, 7, 0},        {639, 0, 7, 127},     {640, 0, 8, 0},      {767, 0, 8, 127},
      {768, 0, 3, 0},        {831, 0, 3, 63},      {832, 0, 4, 0},      {895, 0, 4, 63},
      {896, 0, 5, 0},        {1087, 0, 5, 191},    {1088, 0, 0, 0},     {1095, 0, 0, 0},
      {1096 * 2 + 900, 2, 5, 4},
  };
  for (const Case& c : cases) {
    const MixRouting r = MixDecodeRouting(c.code);
    EXPECT_EQ(r.Unit, c.unit) << c.code;
    EXPECT_EQ(r.Class, c.cls) << c.code;
    EXPECT_EQ(r.Index, c.index) << c.code;
    if (c.cls != 0) {
      EXPECT_EQ(MixEncodeRouting(r.Unit, r.Class, r.Index), c.code);
    }
  }
  struct Old {
    int32_t code, unit, cls, index;
  } old[] = {{0, 0, 1, 0}, {9, 0, 1, 9}, {10, 0, 2, 0}, {22, 0, 3, 0}, {53, 0, 4, 15},
             {54, 0, 5, 0}, {77, 0, 5, 23}, {78, 0, 0, 0}, {110 + 12, 1, 2, 2}};
  for (const Old& c : old) {
    const MixRouting r = MixDecodeOldRouting(c.code);
    EXPECT_EQ(r.Unit, c.unit) << c.code;
    EXPECT_EQ(r.Class, c.cls) << c.code;
    EXPECT_EQ(r.Index, c.index) << c.code;
  }
  MixFixture f;
  f.host.mixerDsps = 0;  // a unit without mixer DSP cards
  EXPECT_TRUE(MixRoutingValid({0, 1, 27}));
  EXPECT_FALSE(MixRoutingValid({0, 1, 28}));
  EXPECT_FALSE(MixRoutingValid({0, 3, 16}));
  EXPECT_FALSE(MixRoutingValid({0, 7, 16}));  // the unit's channel count is 16
  EXPECT_FALSE(MixRoutingValid({0, 6, 0}));
  f.host.mixerDsps = 2;
  EXPECT_TRUE(MixRoutingValid({0, 1, 127}));
  EXPECT_TRUE(MixRoutingValid({0, 4, 63}));
  EXPECT_FALSE(MixRoutingValid({0, 5, 192}));
}

TEST(MixDoc, ElementsStackInOrderAndSendsLearnTheirOutput) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  MixColumn* col = MixColumnCreate(doc, 0, "strip", 0, 0);
  MixElem* in = MixElemCreate(kFakeInput, col, 0, 0, 0, 0);
  MixElem* out = MixElemCreate(kFakeOutput, col, 100, 0, 0, 0);
  FakeElemCalls().clear();
  MixElem* a = MixElemCreate(kFakeEffect, col, 40, 1, 0, 0);
  MixElem* b = MixElemCreate(kFakeEffect, col, 40, 0, 0, 0);  // same place: after a
  MixElem* send = MixElemCreate(kFakeSend, col, 60, 0, 0, 0);
  ASSERT_TRUE(in && out && a && b && send);
  EXPECT_EQ(FakeElemCalls()[0], "set 1 1");
  EXPECT_EQ(FakeElemCalls()[1], "set 2 48000");
  EXPECT_EQ(FakeElemCalls()[2], "set 19 12000");
  EXPECT_EQ(FakeElemCalls()[3], "set 23 4/4");
  EXPECT_EQ(FakeElemCalls().back(), "set 11 777");  // the output's volume below the send
  std::vector<MixElem*> order;
  for (MixElem* e = col->First; e; e = e->Next) order.push_back(e);
  EXPECT_EQ(order, (std::vector<MixElem*>{in, a, b, send, out}));
  EXPECT_EQ(doc->MeterHead, in);
  EXPECT_EQ(doc->RefreshHead, out);
  EXPECT_EQ(a->Routing, -1);
  EXPECT_EQ(a->WndClosed, 1);
  EXPECT_EQ(MixElemAtY(col, 45), a);
  EXPECT_FALSE(MixElemFits(col, 10, 20, nullptr));   // overlaps the input and a
  EXPECT_TRUE(MixElemFits(col, 80, 20, nullptr));
  EXPECT_FALSE(MixElemFits(col, doc->ContentHeight - 21 - 19, 20, nullptr));
  in->Routing = MixEncodeRouting(0, 1, 3);
  EXPECT_EQ(MixElemRouting(a), in->Routing);

  for (MixElem* e : order) MixElemDelete(e);
  EXPECT_EQ(col->First, nullptr);
  EXPECT_EQ(col->Last, nullptr);
  EXPECT_EQ(doc->MeterHead, nullptr);
  EXPECT_EQ(FakeLiveElements(), 0);
  MixDocDestroy(doc);
}

TEST(MixDoc, TempoGoesOutOnlyWhenItChanges) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  MixElemCreate(kFakeEffect, MixColumnCreate(doc, 0, "", 0, 0), 0, 0, 0, 0);
  FakeElemCalls().clear();
  const uint32_t m[2] = {3, 4};
  MixDocSendTempo(doc, 9000, m);
  MixDocSendTempo(doc, 9000, m);
  EXPECT_EQ(FakeElemCalls(), (std::vector<std::string>{"set 19 9000", "set 23 3/4"}));
  MixDocDestroy(doc);
  EXPECT_EQ(FakeLiveElements(), 0);
}

TEST(MixDoc, NativeRecorderElementsTakeTheirTracksStateColoursAndName) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  EXPECT_EQ(MixDocHasNatRecElem(doc), 0);
  MixColumn* vox = MixColumnCreate(doc, 0, "Vox", 0, 0);
  MixElem* rec = MixElemCreate(kFakeNatRec, vox, 0, 0, 0, 0);  // stereo
  rec->Routing = MixEncodeRouting(0, 5, 4);                    // tracks 5 and 6
  MixColumn* other = MixColumnCreate(doc, 1, "Other", 0, 0);
  MixElemCreate(kFakeInput, other, 0, 0, 0, 0);
  EXPECT_EQ(MixDocHasNatRecElem(doc), 1);

  char name[64];
  for (int t : {5, 6}) {
    MixDocRecColumnName(doc, t, name, sizeof name);
    EXPECT_STREQ(name, "Vox");
  }
  MixDocRecColumnName(doc, 7, name, sizeof name);
  EXPECT_STREQ(name, "");

  FakeElemCalls().clear();
  MixDocSendTrkColors(doc);
  EXPECT_EQ(FakeElemCalls(), (std::vector<std::string>{"set 4 104 105"}));

  // Ready tracks get the record state + 1, others 0; a held state ignores
  // changes until it is released.
  f.host.audioStates[4] = 2;
  FakeElemCalls().clear();
  MixSetTrkRecStateValue(2, 0, 0);
  MixDocSendTrkRecReady(doc, 0);
  MixDocSendTrkRecReady(doc, 9);
  EXPECT_EQ(MixSetTrkRecStateValue(1, 1, 0), 1);
  EXPECT_EQ(MixSetTrkRecStateValue(0, 0, 0), 0);
  MixDocSendTrkRecReady(doc, 5);
  EXPECT_EQ(MixSetTrkRecStateValue(0, 0, 1), 1);
  f.host.audioStates[4] = 1;
  MixDocSendTrkRecReady(doc, 5);
  EXPECT_EQ(FakeElemCalls(), (std::vector<std::string>{"set 5 3", "set 5 2", "set 5 0"}));
  EXPECT_EQ(MixTrkRecState(), 0);
  MixDocDestroy(doc);
}

TEST(MixDoc, InputsSendsAndOutputsOfMissingIoAreGreyed) {
  MixFixture f;
  f.host.units = 1;
  MixDoc* doc = MixDocCreate(0);
  MixColumn* c = MixColumnCreate(doc, 0, "c", 0, 0);
  struct Case {
    uint32_t type;
    int32_t routing;
    const char* call;  // null: not touched
  } cases[] = {
      {kFakeInput, MixEncodeRouting(0, 1, 5), "set 17 0"},
      {kFakeInput, MixEncodeRouting(1, 1, 5), "set 17 8421504"},   // no unit 1
      {kFakeOutput, MixEncodeRouting(0, 2, 200), "set 17 8421504"},  // index past 128
      {kFakeSend, MixEncodeRouting(0, 7, 15), "set 17 0"},            // 16 channels
      {kFakeSend, -1, "set 17 0"},
      {kFakeEffect, MixEncodeRouting(1, 1, 5), nullptr},
  };
  int y = 0;
  for (const Case& k : cases) {
    MixElemCreate(k.type, c, y, 0, 0, 0)->Routing = k.routing;
    y += 25;
  }
  FakeElemCalls().clear();
  MixDocGreyUnavailableIo(doc);
  std::vector<std::string> want;
  for (const Case& k : cases)
    if (k.call) want.push_back(k.call);
  EXPECT_EQ(FakeElemCalls(), want);
  MixDocDestroy(doc);
}

TEST(MixDoc, MenuCommandsToggleTheDocument) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  MixElemCreate(kFakeOutput, MixColumnCreate(doc, 0, "o", 0, 0), 0, 0, 0, 0);  // Volume 2, Solo 0
  MixDocToggleEditMode(doc);
  EXPECT_EQ(doc->EditLock, 1);
  f.aut.calls.clear();
  MixDocToggleAutomEnable(doc);
  EXPECT_EQ(doc->AutomEnable, 0);
  EXPECT_EQ(f.aut.Matching("enable"), (std::vector<std::string>{"enable 1 0", "enable 2 0"}));
  f.aut.calls.clear();
  MixDocToggleAutomEnable(doc);
  EXPECT_EQ(f.aut.Matching("enable"), (std::vector<std::string>{"enable 1 2", "enable 2 0"}));
  FakeLoads().clear();
  MixDocToggleDelayComp(doc);
  EXPECT_EQ(doc->DelayComp, 1);
  EXPECT_EQ(FakeLoads(), (std::vector<std::string>{"103 dsp 1"}));  // placed with the new setting
  MixDocDestroy(doc);
}

}  // namespace
