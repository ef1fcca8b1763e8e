// qvMidRec.dll as the host uses it: loaded by name, every export bound by
// its exact decorated name.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "logs/qvMidRec/midlog.h"
#include "logs/qvMidRec/tests/midlog_fixture.h"

namespace {

using CreateLogFn = int32_t(WINAPI*)(void**, uint32_t);
using HandleFn = int32_t(WINAPI*)(void*);
using AddLogEventFn = int32_t(WINAPI*)(void*, const MidiLogEvent*);
using GetLogEventCntFn = int32_t(WINAPI*)(void*, int32_t*);
using GetAllLogEventsFn = int32_t(WINAPI*)(void*, int32_t*, MidiLogEvent*);
using GetFirstFn = int32_t(WINAPI*)(void*, uint8_t, uint32_t, MidiLogEvent*, void**);
using GetNextFn = int32_t(WINAPI*)(void*, uint8_t, MidiLogEvent*, void**);
using CreateViewListFn = int32_t(WINAPI*)(uint32_t, uint32_t, void**);
using DeleteAllViewListsFn = int32_t(WINAPI*)(uint32_t);
using AddViewFn = int32_t(WINAPI*)(void*, const MidiView*);

struct Exports {
  CreateLogFn CreateLog;
  HandleFn DeleteLog;
  AddLogEventFn AddLogEvent;
  HandleFn DeleteAllLogEvents;
  GetLogEventCntFn GetLogEventCnt;
  GetAllLogEventsFn GetAllLogEvents;
  GetFirstFn GetFirst;
  GetNextFn GetNext;
  CreateViewListFn CreateViewList;
  HandleFn DeleteViewList;
  DeleteAllViewListsFn DeleteAllViewLists;
  AddViewFn AddView;
};

class QvMidRecDll : public ::testing::Test {
 protected:
  void SetUp() override {
    dll_ = LoadLibraryA("qvMidRec.dll");
    ASSERT_NE(dll_, nullptr) << "error " << GetLastError();
    const struct {
      const char* name;
      FARPROC* slot;
    } binds[] = {
        {"_QVMIV_CreateLog@8", reinterpret_cast<FARPROC*>(&x_.CreateLog)},
        {"_QVMIV_DeleteLog@4", reinterpret_cast<FARPROC*>(&x_.DeleteLog)},
        {"_QVMIV_AddLogEvent@8", reinterpret_cast<FARPROC*>(&x_.AddLogEvent)},
        {"_QVMIV_DeleteAllLogEvents@4", reinterpret_cast<FARPROC*>(&x_.DeleteAllLogEvents)},
        {"_QVMIV_GetLogEventCnt@8", reinterpret_cast<FARPROC*>(&x_.GetLogEventCnt)},
        {"_QVMIV_GetAllLogEvents@12", reinterpret_cast<FARPROC*>(&x_.GetAllLogEvents)},
        {"_QVMIV_GetLogFirstEqualOrNxtEventFromTickPos@20", reinterpret_cast<FARPROC*>(&x_.GetFirst)},
        {"_QVMIV_GetLogNxtEvent@16", reinterpret_cast<FARPROC*>(&x_.GetNext)},
        {"_QVMIV_CreateViewList@12", reinterpret_cast<FARPROC*>(&x_.CreateViewList)},
        {"_QVMIV_DeleteViewList@4", reinterpret_cast<FARPROC*>(&x_.DeleteViewList)},
        {"_QVMIV_DeleteAllViewLists@4", reinterpret_cast<FARPROC*>(&x_.DeleteAllViewLists)},
        {"_QVMIV_AddView@8", reinterpret_cast<FARPROC*>(&x_.AddView)},
    };
    for (const auto& b : binds) {
      *b.slot = GetProcAddress(dll_, b.name);
      ASSERT_NE(*b.slot, nullptr) << b.name;
    }
  }
  void TearDown() override {
    if (dll_ != nullptr) FreeLibrary(dll_);
  }

  HMODULE dll_ = nullptr;
  Exports x_{};
};

TEST_F(QvMidRecDll, LogsAndViewListsThroughTheExports) {
  void* log = nullptr;
  ASSERT_EQ(x_.CreateLog(&log, 960), 1);
  ASSERT_NE(log, nullptr);
  const MidiLogEvent events[] = {Ev(20, kMidiControl, 7, 100, 0), Ev(10, kMidiNote, 60, 90, 480),
                                 Ev(10, kMidiNote, 60, 64, 240), Ev(30, kMidiNote, 62, 80, 120)};
  for (const MidiLogEvent& e : events) EXPECT_EQ(x_.AddLogEvent(log, &e), 1);
  int32_t count = 0;
  ASSERT_EQ(x_.GetLogEventCnt(log, &count), 1);
  EXPECT_EQ(count, 3) << "the second note at 10 updated the first";

  MidiLogEvent all[4] = {};
  count = 2;
  ASSERT_EQ(x_.GetAllLogEvents(log, &count, all), 1);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(all[0].position, 10u);
  EXPECT_EQ(all[0].data2, 64);
  EXPECT_EQ(all[0].value, 240u);
  EXPECT_EQ(all[1].kind, kMidiControl);

  MidiLogEvent out{};
  void* node = nullptr;
  ASSERT_EQ(x_.GetFirst(log, kMidiNote, 11, &out, &node), 1);
  EXPECT_EQ(out.position, 30u);
  ASSERT_EQ(x_.GetFirst(log, 0, 0, &out, &node), 1);
  ASSERT_EQ(x_.GetNext(node, kMidiNote, &out, &node), 1);
  EXPECT_EQ(out.data1, 62);
  EXPECT_EQ(x_.GetNext(node, 0, &out, &node), 0);
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(x_.GetFirst(log, 0, 31, &out, &node), 0);

  void* play = nullptr;
  void* record = nullptr;
  ASSERT_EQ(x_.CreateViewList(0, 0, &play), 1);
  ASSERT_EQ(x_.CreateViewList(0, 1, &record), 1);
  const MidiView view{1000, 500, 0, static_cast<MidiLogHandle>(reinterpret_cast<uintptr_t>(log))};
  EXPECT_EQ(x_.AddView(play, &view), 1);
  EXPECT_EQ(x_.AddView(record, &view), 1);
  EXPECT_EQ(x_.DeleteViewList(play), 1);
  EXPECT_EQ(x_.DeleteViewList(play), 0);
  EXPECT_EQ(x_.DeleteAllViewLists(1), 1);
  EXPECT_EQ(x_.AddView(record, &view), 0);

  EXPECT_EQ(x_.DeleteAllLogEvents(log), 1);
  EXPECT_EQ(x_.DeleteAllLogEvents(log), 0);
  EXPECT_EQ(x_.DeleteLog(log), 1);
  EXPECT_EQ(x_.DeleteLog(log), 0);
  EXPECT_EQ(x_.CreateLog(nullptr, 0), 0);
}

}  // namespace
