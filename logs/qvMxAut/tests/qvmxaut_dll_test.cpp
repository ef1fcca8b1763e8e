// qvMxAut.dll as the host binds it: loaded by name, every export found by
// its exact decorated name, and a short play and record session through the
// bound entry points.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "logs/qvMxAut/qvmxaut.h"

namespace {

const char* const kExports[] = {
    "_QVMXA_Init@4", "_QVMXA_SetSampleRate@4", "_QVMXA_SetTouchTimeout@4", "_QVMXA_SetFadeResolTime@4",
    "_QVMXA_SetMatchTime@4", "_QVMXA_SetRecordMode@4", "_QVMXA_CreateLog@4", "_QVMXA_DeleteLog@4",
    "_QVMXA_AddLogKnobEvent@8", "_QVMXA_GetLogKnobEventCnt@8", "_QVMXA_GetAllLogKnobEvents@12",
    "_QVMXA_GetPrvLogKnobEventFromLoc@16", "_QVMXA_GetNxtLogKnobEventFromLoc@16", "_QVMXA_DeleteLogKnobEvent@12",
    "_QVMXA_CopyLog@16", "_QVMXA_ReduceLogKnobEvents@20", "_QVMXA_ApplyLastLogKnobEventsFromBegin@12",
    "_QVMXA_CreateRecordLogKnobMap@8", "_QVMXA_GetRecordLogKnobMapValue@16", "_QVMXA_DeleteRecordLogKnobMap@4",
    "_QVMXA_DeleteAllRecordLogKnobMaps@0", "_QVMXA_CreatePlayLogKnobMap@8", "_QVMXA_SetPlayLogKnobMapValue@12",
    "_QVMXA_DeletePlayLogKnobMap@4", "_QVMXA_DeleteAllPlayLogKnobMaps@0", "_QVMXA_CreateKnob@12",
    "_QVMXA_SetKnobTrkAndIndx@12", "_QVMXA_SetKnobAutomEnableMode@8", "_QVMXA_GetKnobValue@8",
    "_QVMXA_InvalidateKnobDspCmds@4", "_QVMXA_DeleteKnob@4", "_QVMXA_CreateViewList@12", "_QVMXA_AddView@8",
    "_QVMXA_DeleteViewList@4", "_QVMXA_DeleteAllViewLists@4", "_QVMXA_StartPlayRec@0", "_QVMXA_SetLocator@8",
    "_QVMXA_SetKnobValue@16", "_QVMXA_StopPlayRec@8",
};

std::vector<std::pair<uint32_t, int32_t>> g_calls;

int32_t __stdcall KnobValue(uint32_t id, int32_t value, uint32_t zero) {
  EXPECT_EQ(zero, 0u);
  g_calls.emplace_back(id, value);
  return 0;
}

class QvMxAutDll : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = LoadLibraryA("qvMxAut.dll");
    ASSERT_NE(lib_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (lib_ != nullptr) FreeLibrary(lib_);
  }
  template <class Fn>
  Fn Bind(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib_, name)));
  }
  HMODULE lib_ = nullptr;
};

TEST_F(QvMxAutDll, EveryExportBindsByItsDecoratedName) {
  EXPECT_EQ(std::size(kExports), 39u);
  for (const char* name : kExports) EXPECT_NE(GetProcAddress(lib_, name), nullptr) << name;
}

TEST_F(QvMxAutDll, PlaysAndRecordsThroughTheBoundExports) {
  auto init = Bind<decltype(&QVMXA_Init)>("_QVMXA_Init@4");
  auto createLog = Bind<decltype(&QVMXA_CreateLog)>("_QVMXA_CreateLog@4");
  auto addEvent = Bind<decltype(&QVMXA_AddLogKnobEvent)>("_QVMXA_AddLogKnobEvent@8");
  auto getCount = Bind<decltype(&QVMXA_GetLogKnobEventCnt)>("_QVMXA_GetLogKnobEventCnt@8");
  auto createKnob = Bind<decltype(&QVMXA_CreateKnob)>("_QVMXA_CreateKnob@12");
  auto setTrack = Bind<decltype(&QVMXA_SetKnobTrkAndIndx)>("_QVMXA_SetKnobTrkAndIndx@12");
  auto setMode = Bind<decltype(&QVMXA_SetKnobAutomEnableMode)>("_QVMXA_SetKnobAutomEnableMode@8");
  auto createPlayMap = Bind<decltype(&QVMXA_CreatePlayLogKnobMap)>("_QVMXA_CreatePlayLogKnobMap@8");
  auto setPlayMap = Bind<decltype(&QVMXA_SetPlayLogKnobMapValue)>("_QVMXA_SetPlayLogKnobMapValue@12");
  auto createRecMap = Bind<decltype(&QVMXA_CreateRecordLogKnobMap)>("_QVMXA_CreateRecordLogKnobMap@8");
  auto getRecMap = Bind<decltype(&QVMXA_GetRecordLogKnobMapValue)>("_QVMXA_GetRecordLogKnobMapValue@16");
  auto createList = Bind<decltype(&QVMXA_CreateViewList)>("_QVMXA_CreateViewList@12");
  auto addView = Bind<decltype(&QVMXA_AddView)>("_QVMXA_AddView@8");
  auto setRecordMode = Bind<decltype(&QVMXA_SetRecordMode)>("_QVMXA_SetRecordMode@4");
  auto start = Bind<decltype(&QVMXA_StartPlayRec)>("_QVMXA_StartPlayRec@0");
  auto setLocator = Bind<decltype(&QVMXA_SetLocator)>("_QVMXA_SetLocator@8");
  auto setKnob = Bind<decltype(&QVMXA_SetKnobValue)>("_QVMXA_SetKnobValue@16");
  auto stop = Bind<decltype(&QVMXA_StopPlayRec)>("_QVMXA_StopPlayRec@8");
  auto getValue = Bind<decltype(&QVMXA_GetKnobValue)>("_QVMXA_GetKnobValue@8");
  auto deleteAllLists = Bind<decltype(&QVMXA_DeleteAllViewLists)>("_QVMXA_DeleteAllViewLists@4");

  AutInitRecord rec{&KnobValue, {1, 2, 3}};
  ASSERT_EQ(init(&rec), 1);
  AutLogHandle play = 0, recorded = 0;
  ASSERT_EQ(createLog(&play), 1);
  ASSERT_EQ(createLog(&recorded), 1);
  const AutLogKnobEvent events[] = {{0, 0, 0, 0}, {0, 1000, 100, 0}};
  for (const AutLogKnobEvent& e : events) ASSERT_EQ(addEvent(play, &e), 1);

  AutKnobDesc desc{1, {0, 0, 0}};
  AutKnobHandle knob = 0;
  ASSERT_EQ(createKnob(77, &desc, &knob), 1);
  AutMapHandle playMap = 0, recMap = 0;
  ASSERT_EQ(createPlayMap(1, &playMap), 1);
  ASSERT_EQ(setPlayMap(playMap, 0, knob), 1);
  ASSERT_EQ(createRecMap(2, &recMap), 1);
  AutViewListHandle playList = 0, recList = 0;
  ASSERT_EQ(createList(5, 0, &playList), 1);
  ASSERT_EQ(createList(5, 1, &recList), 1);
  AutView pv{0, 100000, 0, play, playMap}, rv{0, 100000, 0, recorded, recMap};
  ASSERT_EQ(addView(playList, &pv), 1);
  ASSERT_EQ(addView(recList, &rv), 1);
  ASSERT_EQ(setTrack(knob, 5, 1), 1);
  ASSERT_EQ(setMode(knob, 2), 1);
  ASSERT_EQ(setRecordMode(1), 1);

  ASSERT_EQ(start(), 1);
  ASSERT_EQ(setLocator(0, 1), 1);
  Sleep(2);  // glides update once per millisecond at the least
  ASSERT_EQ(setLocator(500, 0), 1);
  int32_t value = 0;
  ASSERT_EQ(getValue(knob, &value), 1);
  EXPECT_EQ(value, 50);
  ASSERT_FALSE(g_calls.empty());
  EXPECT_EQ(g_calls.back(), (std::pair<uint32_t, int32_t>{77, 50}));

  ASSERT_EQ(setKnob(knob, 20, 600, 0), 1);  // the user's move is recorded
  int32_t key = 9, written = 0, count = 0;
  ASSERT_EQ(getRecMap(recMap, 1, &key, &written), 1);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(written, 1);
  ASSERT_EQ(getCount(recorded, &count), 1);
  EXPECT_GE(count, 2);  // the played event carried over, then the move
  ASSERT_EQ(stop(0, 0), 1);
  ASSERT_EQ(deleteAllLists(0), 1);
  ASSERT_EQ(deleteAllLists(1), 1);
}

}  // namespace
