#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mixer/mix/mixaut.h"
#include "mixer/mix/tests/mixfake.h"
#include "mixer/model/util/strtab.h"

namespace {

TEST(MixAut, KnobsRegisterWithShiftEnableModeAndGlide) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  MixColumn* col = MixColumnCreate(doc, 3, "", 0, 0);
  MixElem* in = MixElemCreate(kFakeInput, col, 0, 0, 0, 0);
  MixElem* out = MixElemCreate(kFakeOutput, col, 50, 0, 0, 0);
  ASSERT_TRUE(in->Knobs && out->Knobs);
  EXPECT_EQ(in->Knobs[0].ValueShift, 1);  // range +-0x1000000
  EXPECT_EQ(in->Knobs[1].ValueShift, 0);
  EXPECT_EQ(out->Knobs[0].EnableMode, 2);
  EXPECT_EQ(out->Knobs[1].EnableMode, 0);  // "Solo" of an output element
  EXPECT_EQ(f.aut.Matching("create"),
            (std::vector<std::string>{"create 1 glide 1", "create 2 glide 0", "create 3 glide 1", "create 4 glide 0"}));
  EXPECT_EQ(f.aut.Matching("enable"),
            (std::vector<std::string>{"enable 1 2", "enable 2 2", "enable 3 2", "enable 4 0"}));
  EXPECT_EQ(MxaKnobChanged(), 1);

  // A value out of the library comes back on the element's scale.
  MxaKnobValueCallback(f.aut.hostIds[1], 0x400000);
  EXPECT_EQ(FakeElemCalls().back(), "set 7 0 8388608");
  f.aut.calls.clear();
  MxaSetNowLocValue(1000);
  EXPECT_EQ(f.aut.calls, std::vector<std::string>{"locate 1000 1"});
  EXPECT_EQ(MxaKnobChanged(), 0);
  MxaSetKnobValue(&in->Knobs[0], 0x1000000, 0);
  EXPECT_EQ(f.aut.calls.back(), "value 1 8388608 at 1000 code 0");

  MxaAssignKnobTrks(doc);
  EXPECT_EQ(f.aut.Matching("track"), (std::vector<std::string>{"track 1 3 0", "track 2 3 1", "track 3 3 2",
                                                              "track 4 3 3"}));
  f.aut.calls.clear();
  doc->AutomEnable = 0;
  MxaApplyEnableAll(doc);
  EXPECT_EQ(f.aut.Matching("enable 1"), std::vector<std::string>{"enable 1 0"});
  MixDocDestroy(doc);
  EXPECT_EQ(f.aut.Matching("delete").size(), 4u);
}

TEST(MixAut, AKnobThatCannotBeCreatedUndoesTheElementsKnobs) {
  MixFixture f;
  f.aut.createAfter = 1;
  MixDoc* doc = MixDocCreate(0);
  MixElem* in = MixElemCreate(kFakeInput, MixColumnCreate(doc, 0, "", 0, 0), 0, 0, 0, 0);
  ASSERT_NE(in, nullptr);  // the element stays, unautomated
  EXPECT_EQ(in->Knobs, nullptr);
  EXPECT_EQ(f.aut.Matching("delete"), std::vector<std::string>{"delete 1"});
  EXPECT_EQ(MxaKnobById(1), nullptr);
  MixDocDestroy(doc);
}

MxaTake MakeTake(MxaKnobEntry* e, int32_t min, int32_t max, int32_t dmin, int32_t dmax, int32_t div, int32_t kind) {
  std::memset(e, 0, sizeof *e);
  MxaEntSetWord(e, kMxaEntRawMin, min);
  MxaEntSetWord(e, kMxaEntRawMax, max);
  MxaEntSetWord(e, kMxaEntDispMin, dmin);
  MxaEntSetWord(e, kMxaEntDispMax, dmax);
  MxaEntSetWord(e, kMxaEntDivisor, div);
  MxaEntSetWord(e, kMxaEntScaleKind, kind);
  MxaEntSetText(e, kMxaEntUnitAt, 16, "dB");
  MxaTake t{};
  t.KnobCount = 1;
  t.Knobs = e;
  return t;
}

TEST(MixAut, KnobValueTexts) {
  struct Case {
    int32_t min, max, dmin, dmax, div, kind, scale, value;
    const char* text;
  } cases[] = {
      {0, 100, -1000, 1000, 10, 0, 100, 50, "0.0dB"},
      {0, 100, -1000, 1000, 10, 0, 100, 25, "-50.0dB"},
      {0, 100, -1000, 1000, 10, 1, 100, 0, "-100.0dB"},
      {0, 100, -5, 5, 100, 0, 100, 10, "-0.04dB"},
      {0, 100, 0, 12345, 1000, 0, 100, 100, "12.345dB"},
      {0, 100, 0, 12345, 10000, 0, 100, 100, "1.2345dB"},
      {0, 100, -7, 7, 1, 0, 100, 0, "-7dB"},
      {0, 100, -7, 7, 3, 0, 100, 100, "7dB"},
      {0, 65536, -1440, 60, 10, 2, 65536, 32768, "0.0dB"},
      {0, 65536, -1440, 60, 10, 2, 65536, 3277, "-19.9dB"},  // truncated toward 0
      {0, 65536, -1440, 60, 10, 2, 65536, 0, "-144.0dB"},   // raw 0: the display minimum
      {0, 65536, -1440, 60, 10, 2, 65536, -5, "-144.0dB"},  // below 0 as well
      {5, 5, -3, 9, 1, 0, 100, 50, "-3dB"},                 // no range: no division
  };
  for (const Case& c : cases) {
    MxaKnobEntry e;
    MxaTake t = MakeTake(&e, c.min, c.max, c.dmin, c.dmax, c.div, c.kind);
    char buf[64];
    EXPECT_EQ(MxaKnobValueText(&t, 0, c.scale, c.value, nullptr, -1, buf, sizeof buf), 1) << c.text;
    EXPECT_STREQ(buf, c.text);
  }
  MxaKnobEntry e;
  MxaTake t = MakeTake(&e, 0, 100, 0, 10, 1, 3);
  char buf[64] = "x";
  EXPECT_EQ(MxaKnobValueText(&t, 0, 100, 5, nullptr, -1, buf, sizeof buf), 0);  // unknown scale kind
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(MxaKnobValueText(&t, 1, 100, 5, nullptr, -1, buf, sizeof buf), 0);  // no such knob
  EXPECT_EQ(MxaKnobValueText(&t, 0, 0, 5, nullptr, -1, buf, sizeof buf), 0);    // no scale
  MxaEntSetWord(&e, kMxaEntDisabled, 1);
  MxaEntSetWord(&e, kMxaEntScaleKind, 0);
  EXPECT_EQ(MxaKnobValueText(&t, 0, 100, 5, nullptr, -1, buf, sizeof buf), 0);
}

TEST(MixAut, LiveKnobTextComesFromTheElement) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  MixElem* in = MixElemCreate(kFakeInput, MixColumnCreate(doc, 2, "", 0, 0), 0, 0, 0, 0);
  MxaKnobEntry e;
  MxaTake t = MakeTake(&e, -0x1000000, 0x1000000, 0, 1, 1, 0);
  MxaEntSetWord(&e, kMxaEntType, kFakeInput);
  MxaEntSetWord(&e, kMxaEntKnobId, 0);
  char buf[64];
  ASSERT_EQ(MxaKnobValueText(&t, 0, 2, 1, doc, 2, buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "K0=0");  // raw 0x1000000 + min
  EXPECT_EQ(f.aut.calls.back(), "value 1 0 at 0 code 0");
  (void)in;
  MixDocDestroy(doc);
}

TEST(MixAut, TakeKnobNamesAndCopies) {
  MixFixture f;
  MxaKnobEntry k[2];
  std::memset(k, 0, sizeof k);
  MxaEntSetText(&k[0], kMxaEntNameAt, 72, "EQ");
  MxaEntSetText(&k[0], kMxaEntParamAt, 68, "Gain");
  MxaEntSetText(&k[1], kMxaEntNameAt, 72, "EQ");
  MxaEntSetText(&k[1], kMxaEntParamAt, 68, "Freq");
  MxaEntSetWord(&k[1], kMxaEntInstance, 1);
  MxaEntSetWord(&k[1], kMxaEntDisabled, 1);
  MxaTake src{};
  src.Log = 7;
  src.TakeId = 42;
  src.KnobCount = 2;
  src.Knobs = k;
  char name[64];
  MxaTakeKnobName(&src, 0, name, sizeof name);
  EXPECT_STREQ(name, "EQ - Gain");
  MxaTakeKnobName(&src, 1, name, sizeof name);
  EXPECT_STREQ(name, "EQ #2 - Freq");
  EXPECT_EQ(MxaTakeKnobCount(&src), 2);
  EXPECT_EQ(MxaTakeKnobEnabled(&src, 1), 0);
  EXPECT_EQ(MxaTakeKnobId(&src, 5), 0);

  MxaTake* copy = nullptr;
  ASSERT_EQ(MxaCopyTakeRange(&copy, &src, 100, 200, -1, 10), 1);
  EXPECT_EQ(f.aut.calls, (std::vector<std::string>{"copy 7 100 200", "reduce 507 0 480 0 2147419647"}));
  EXPECT_EQ(copy->Changed, 1u);
  EXPECT_EQ(copy->TakeId, 42u);
  EXPECT_EQ(MxaTakeList(), copy);
  EXPECT_EQ(std::memcmp(copy->Knobs, k, sizeof k), 0);
  // The same target again: its log is freed and the record reused.
  f.aut.calls.clear();
  MxaKnobEntry one;
  MxaTake edited = MakeTake(&one, 0, 100, 0, 1, 1, 0);
  edited.Log = 8;
  MxaTake* same = copy;
  ASSERT_EQ(MxaCopyTakeEdit(&copy, &edited, 0, 50, 0, 10, 20, 50, 100), 1);
  EXPECT_EQ(copy, same);
  EXPECT_EQ(f.aut.calls, (std::vector<std::string>{"dellog 507", "copy 8 0 50", "delevent 508 0 10",
                                                   "add 508 0 20 50"}));
  EXPECT_EQ(MxaTakeByLog(508), copy);
  MxaFreeTakeRec(copy);
  EXPECT_EQ(MxaTakeList(), nullptr);
}

// An automation Take file as the store holds it: knob table, then events.
FakeTake TakeFile(int knobs, const std::vector<AutLogKnobEvent>& events) {
  FakeTake t;
  t.data.resize(size_t(knobs) * 256 + events.size() * 16);
  for (int k = 0; k < knobs; ++k) {
    MxaKnobEntry e{};
    MxaEntSetText(&e, kMxaEntNameAt, 72, k ? "Pan" : "Volume");
    std::memcpy(t.data.data() + 256 * k, &e, 256);
  }
  for (size_t i = 0; i < events.size(); ++i) {
    const int32_t w[4] = {events[i].key, int32_t(events[i].location), events[i].value, 0};
    std::memcpy(t.data.data() + 256 * knobs + 16 * i, w, 16);
  }
  t.words[kMxaAttrLength] = uint32_t(events.size());
  t.words[kMxaAttrKnobCount] = uint32_t(knobs);
  t.words[kMxaAttrMapValue] = 5;
  return t;
}

int32_t EventCount(EngineAutLib& lib, AutLogHandle log) {
  int32_t n = -1;
  lib.GetLogKnobEventCnt(log, &n);
  return n;
}

TEST(MixAutTakeFiles, ReadChangedWrittenAndReadBack) {
  MixFixture f;
  EngineAutLib lib;
  MixSetAutLib(&lib);
  FakeTake file = TakeFile(2, {{0, 100, 7, 0}, {1, 200, -3, 0}, {0, 300, 9, 0}});
  const std::vector<uint8_t> table(file.data.begin(), file.data.begin() + 512);
  MxaTake* t = MxaReadTake(&file);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(MxaReadTake(&file), t);  // read once
  EXPECT_EQ(t->KnobCount, 2);
  EXPECT_EQ(t->RecMapValue, 5);
  EXPECT_EQ(file.words[kMxaAttrLog], t->Log);
  EXPECT_EQ(EventCount(lib, t->Log), 3);
  char name[64];
  MxaTakeKnobName(t, 1, name, sizeof name);
  EXPECT_STREQ(name, "Pan - ");

  AutLogKnobEvent ev{1, 400, 12, 0};
  lib.AddLogKnobEvent(t->Log, &ev);
  t->Changed = 1;
  EXPECT_EQ(MxaWriteChangedTakes(0), 0);  // asks only
  EXPECT_EQ(file.words[kMxaAttrLength], 3u);
  ASSERT_EQ(MxaWriteChangedTakes(1), 1);
  EXPECT_EQ(t->Changed, 0u);
  EXPECT_EQ(file.words[kMxaAttrLength], 4u);
  EXPECT_EQ(file.data.size(), 512u + 4 * 16);
  EXPECT_TRUE(std::equal(table.begin(), table.end(), file.data.begin()));

  MxaFreeTakeRec(t);
  t = MxaReadTake(&file);
  ASSERT_NE(t, nullptr);
  AutLogKnobEvent back{};
  ASSERT_EQ(lib.GetNxtLogKnobEventFromLoc(t->Log, 1, 201, &back), 1);
  EXPECT_EQ(back.location, 400u);
  EXPECT_EQ(back.value, 12);

  // A failed write keeps the Take marked.
  t->Changed = 1;
  file.failWrite = true;
  EXPECT_EQ(MxaWriteChangedTakes(1), 0);
  EXPECT_EQ(t->Changed, 1u);
  MxaFreeTakeRec(t);
}

TEST(MixAutTakeFiles, DamagedFilesAreNotRead) {
  MixFixture f;
  EngineAutLib lib;
  MixSetAutLib(&lib);
  struct Case {
    const char* what;
    uint32_t attr, value;
  } cases[] = {
      {"one event more than the data", kMxaAttrLength, 3},
      {"one knob fewer", kMxaAttrKnobCount, 1},
      {"knob count beyond any table", kMxaAttrKnobCount, 0x10000001},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    FakeTake file = TakeFile(2, {{0, 100, 7, 0}, {1, 200, -3, 0}});
    file.words[k.attr] = k.value;
    EXPECT_EQ(MxaReadTake(&file), nullptr);
  }
  FakeTake badKey = TakeFile(2, {{0, 100, 7, 0}, {2, 200, -3, 0}});
  EXPECT_EQ(MxaReadTake(&badKey), nullptr);
  EXPECT_EQ(MxaTakeList(), nullptr);
  EXPECT_EQ(badKey.words.count(kMxaAttrLog), 0u);
}

TEST(MixAutTakeFiles, ARangeCopyBelongsToItsTargetTake) {
  MixFixture f;
  EngineAutLib lib;
  MixSetAutLib(&lib);
  FakeTake src = TakeFile(1, {{0, 100, 7, 0}, {0, 900, 8, 0}});
  FakeTake dst;
  ASSERT_EQ(MxaCopyTakeRangeOf(&dst, &src, 0, 500, -1, 0), 1);
  MxaTake* copy = MxaTakeByOwner(&dst);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(dst.words[kMxaAttrLog], copy->Log);
  ASSERT_EQ(MxaWriteChangedTakes(1), 1);
  EXPECT_EQ(dst.words[kMxaAttrLength], 1u);
  EXPECT_EQ(src.words[kMxaAttrLength], 2u);  // the source is untouched
  EXPECT_EQ(src.data.size(), 256u + 32);
  // A second copy into the same Take reuses its record.
  ASSERT_EQ(MxaCopyTakeRangeOf(&dst, &src, 0, 1000, -1, 0), 1);
  EXPECT_EQ(MxaTakeByOwner(&dst), copy);
  EXPECT_EQ(EventCount(lib, copy->Log), 2);
  while (MxaTakeList()) MxaFreeTakeRec(MxaTakeList());
}

TEST(MixAutPlayMaps, EachAutomationTrackGetsAListAndEachPartAViewWithItsKnobMap) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  MixElemCreate(kFakeOutput, MixColumnCreate(doc, 3, "o", 0, 0), 0, 0, 0, 0);  // knobs 1, 2 on track 3
  // The Take's knobs: the output's Solo and Volume, and a knob of a type the
  // mixer does not hold.
  FakeTake file = TakeFile(3, {{0, 10, 1, 0}});
  const int32_t words[3][2] = {{kFakeOutput, 1}, {kFakeOutput, 0}, {kFakeEffect, 0}};
  for (int k = 0; k < 3; ++k) {
    MxaKnobEntry e;
    std::memcpy(&e, file.data.data() + 256 * k, 256);
    MxaEntSetWord(&e, kMxaEntType, words[k][0]);
    MxaEntSetWord(&e, kMxaEntKnobId, words[k][1]);
    std::memcpy(file.data.data() + 256 * k, &e, 256);
  }
  f.host.autParts = {{3, 1000, 500, 20, &file}, {0, 0, 100, 0, &file}, {3, 2000, 0, 0, &file}};
  MxaSetNowLocValue(700);
  f.aut.calls.clear();
  ASSERT_EQ(MxaRebuildPlayMaps(doc, 1), 1);
  std::vector<std::string> want = {"dellists 0", "delplaymaps",
                                   "list 0 0", "playmap 3", "view 700 0 100 0 log 900 map 803",
                                   "list 3 0", "playmap 3", "mapvalue 803 0 2", "mapvalue 803 1 1",
                                   "view 703 1000 500 20 log 900 map 803", "locate 700 1"};
  std::vector<std::string> got;
  for (const std::string& c : f.aut.calls)
    if (c.rfind("newlog", 0) && c.rfind("add ", 0)) got.push_back(c);
  EXPECT_EQ(got, want);
  f.host.autParts.clear();
  MixDocDestroy(doc);
  while (MxaTakeList()) MxaFreeTakeRec(MxaTakeList());
}

struct RecordCmd : ::testing::Test {
  MixFixture f;
  MixDoc* doc = nullptr;
  void SetUp() override {
    doc = MixDocCreate(0);
    MixColumn* col = MixColumnCreate(doc, 0, "", 0, 0);
    MixElemCreate(kFakeInput, col, 0, 0, 0, 0);  // knob 1 continuous (class 1), knob 2 switch (class 2)
    f.host.autReady = 5;
    f.host.left = 1000;
    f.host.right = 49000;
    f.host.audioStates[3] = 2;
    MxaSetNowLocValue(0);
    f.aut.calls.clear();
  }
  void TearDown() override { MixDocDestroy(doc); }
};

TEST_F(RecordCmd, RefusesWithoutAReadyTrackOrOnAShortRange) {
  f.host.autReady = -1;
  EXPECT_EQ(MixAutomRecordCmd(doc), 0);
  f.host.autReady = 5;
  f.host.right = f.host.left + 3;
  EXPECT_EQ(MixAutomRecordCmd(doc), 0);
  EXPECT_TRUE(f.host.events.empty());
  EXPECT_TRUE(f.aut.calls.empty());
  f.host.transport = 3;  // moving: the knobs are only sent
  EXPECT_EQ(MixAutomRecordCmd(doc), 1);
  EXPECT_EQ(f.aut.calls.size(), 2u);
}

TEST_F(RecordCmd, SequencesPerOption) {
  struct Case {
    uint32_t options;
    std::vector<std::string> calls;
  } cases[] = {
      {0,
       {"mode 0", "start", "value 2 0 at 0 code 2", "value 1 0 at 1000 code 3", "value 1 0 at 1049 code 6",
        "stop 1 49000", "mode 9"}},
      {kMxaRecOptOnce, {"mode 0", "start", "value 2 0 at 0 code 2", "value 1 0 at 0 code 2", "stop 1 49000", "mode 9"}},
      {kMxaRecOptEnd,
       {"mode 0", "start", "value 2 0 at 0 code 2", "value 1 0 at 1000 code 3", "value 1 0 at 1049 code 6",
        "value 1 0 at 48999 code 2", "stop 1 49000", "mode 9"}},
      {kMxaRecOptOnce | kMxaRecOptEnd | kMxaRecOptReturn,
       {"mode 0", "start", "value 2 0 at 0 code 2", "value 1 0 at 0 code 2", "value 1 0 at 48806 code 2",
        "value 2 0 at 48999 code 7", "value 1 0 at 48999 code 7", "stop 1 49000", "mode 9", "locate 1000 0"}},
  };
  for (const Case& c : cases) {
    f.host.rec = MixAutRecordSettings{c.options, 1, 4, 0};
    MxaSetRecordModeValue(9, 0);
    MxaSetNowLocValue(0);
    f.aut.calls.clear();
    f.host.events.clear();
    EXPECT_EQ(MixAutomRecordCmd(doc), 1);
    EXPECT_EQ(f.aut.calls, c.calls) << c.options;
    EXPECT_EQ(f.host.events, (std::vector<std::string>{"pass 1000 49000", "stop 49000"}));
    EXPECT_EQ(f.host.audioStates[3], 2);
    EXPECT_EQ(f.host.recordSetting, 7u);
    EXPECT_EQ(MxaNowLoc(), 49000);
  }
}

TEST_F(RecordCmd, AStepLengthTakesTheRangeFromTheNowPosition) {
  f.host.rec = MixAutRecordSettings{kMxaRecOptOnce, 0, 0, 500};
  MxaSetNowLocValue(0x7FFF05FF - 100);
  f.aut.calls.clear();
  EXPECT_EQ(MixAutomRecordCmd(doc), 1);
  EXPECT_EQ(f.host.events.front(), "pass 2147419547 2147419647");
  f.host.recordPassResult = 0;
  f.host.audioStates[3] = 2;
  EXPECT_EQ(MixAutomRecordCmd(doc), 0);
  EXPECT_EQ(f.host.audioStates[3], 2);
}

}  // namespace
