// qvMidRec.dll's engine as the host uses it: the library finds the test
// input module in "..\..\MixElem\V103\" from its own folder, and a log
// plays through the module's port and a recording comes back into a log.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "logs/qvMidRec/engine.h"
#include "logs/qvMidRec/midlog.h"

namespace {

using Fn0 = int32_t(WINAPI*)();
using Fn1 = int32_t(WINAPI*)(uint32_t);
using Fn2 = int32_t(WINAPI*)(uint32_t, uint32_t);
using Fn4 = int32_t(WINAPI*)(uint32_t, uint32_t, uint32_t, uint32_t);
using InitFn = int32_t(WINAPI*)(const MidiInitRecord*);
using CreateLogFn = int32_t(WINAPI*)(void**, uint32_t);
using AddLogEventFn = int32_t(WINAPI*)(void*, const MidiLogEvent*);
using GetAllLogEventsFn = int32_t(WINAPI*)(void*, int32_t*, MidiLogEvent*);
using CreateViewListFn = int32_t(WINAPI*)(uint32_t, uint32_t, void**);
using AddViewFn = int32_t(WINAPI*)(void*, const MidiView*);

using ConnectionFn = uint32_t (*)(uint32_t*);
using OpenFn = int32_t (*)(uint32_t, uint32_t, uint32_t, uint32_t);
using CloseFn = int32_t (*)(uint32_t);
using PlayFn = uint32_t (*)(uint32_t, uint64_t, uint32_t, MipMidiEvent*, uint32_t);
using ReceiveFn = uint32_t (*)(uint32_t, const MipMidiEvent*, uint32_t);

int32_t WINAPI SpanToTicks(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) { return 0; }
uint32_t WINAPI TicksToLoc(uint32_t startLo, uint32_t, uint32_t, uint32_t) { return startLo; }

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L'\\') + 1);
}

template <class Fn>
Fn Bind(HMODULE dll, const char* name) {
  Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  EXPECT_NE(fn, nullptr) << name;
  return fn;
}

constexpr uint32_t Msg(uint32_t status, uint32_t data1, uint32_t data2 = 0) {
  return status | data1 << 8 | data2 << 16;
}

TEST(QvMidRecEngineDll, LoadsTheInputModuleAndPlaysAndRecordsThroughIt) {
  // The layout of an installation: the library two folders below the one
  // that holds MixElem\V103\. Beside the module, a library that is no
  // module (it lacks the entry points) is passed over.
  const std::wstring here = ExeFolder();
  const std::wstring root = here + L"enginerun\\";
  for (const wchar_t* dir : {L"", L"bin\\", L"bin\\lib\\", L"MixElem\\", L"MixElem\\V103\\"}) {
    CreateDirectoryW((root + dir).c_str(), nullptr);
  }
  ASSERT_TRUE(CopyFileW((here + L"qvMidRec.dll").c_str(), (root + L"bin\\lib\\qvMidRec.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((here + L"testmip\\testmip.dll").c_str(), (root + L"MixElem\\V103\\testmip.dll").c_str(),
                        FALSE));
  ASSERT_TRUE(CopyFileW((here + L"qvMidRec.dll").c_str(), (root + L"MixElem\\V103\\other.dll").c_str(), FALSE));

  const HMODULE lib = LoadLibraryW((root + L"bin\\lib\\qvMidRec.dll").c_str());
  ASSERT_NE(lib, nullptr) << GetLastError();
  const MidiInitRecord init{SpanToTicks, TicksToLoc};
  ASSERT_EQ(Bind<InitFn>(lib, "_QVMIV_Init@4")(&init), 1);

  const HMODULE mip = GetModuleHandleW(L"testmip.dll");
  ASSERT_NE(mip, nullptr) << "the library loaded the module from its folder";
  EXPECT_EQ(GetModuleHandleW(L"other.dll"), nullptr) << "not a module: unloaded";
  uint32_t tracks = 0;
  EXPECT_EQ(Bind<ConnectionFn>(mip, "MipTestConnection")(&tracks), 1u);
  EXPECT_EQ(tracks, 128u);

  // A log on track 0 and a record list on the same track.
  void* log = nullptr;
  ASSERT_EQ(Bind<CreateLogFn>(lib, "_QVMIV_CreateLog@8")(&log, 0), 1);
  const auto addEvent = Bind<AddLogEventFn>(lib, "_QVMIV_AddLogEvent@8");
  const MidiLogEvent cc{100, 3, 7, 64, 0};
  const MidiLogEvent note{300, 1, 60, 100, 50};
  ASSERT_EQ(addEvent(log, &cc), 1);
  ASSERT_EQ(addEvent(log, &note), 1);
  const auto createList = Bind<CreateViewListFn>(lib, "_QVMIV_CreateViewList@12");
  const auto addView = Bind<AddViewFn>(lib, "_QVMIV_AddView@8");
  void* playList = nullptr;
  ASSERT_EQ(createList(0, 0, &playList), 1);
  const MidiView playView{1000, 5000, 0, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(log))};
  ASSERT_EQ(addView(playList, &playView), 1);
  void* recLog = nullptr;
  ASSERT_EQ(Bind<CreateLogFn>(lib, "_QVMIV_CreateLog@8")(&recLog, 0), 1);
  void* recList = nullptr;
  ASSERT_EQ(createList(0, 1, &recList), 1);
  const MidiView recView{0, 100000, 0, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(recLog))};
  ASSERT_EQ(addView(recList, &recView), 1);

  ASSERT_EQ(Bind<OpenFn>(mip, "MipTestOpen")(9, 0, 1, 2), 1) << "element 9: track 0 on channel 2";
  ASSERT_EQ(Bind<Fn1>(lib, "_QVMIV_SetSampleRate@4")(48000), 1);
  ASSERT_EQ(Bind<Fn1>(lib, "_QVMIV_SetTimeCodeOffset@4")(0), 1);
  ASSERT_EQ(Bind<Fn1>(lib, "_QVMIV_SetRecordMode@4")(0), 1);
  ASSERT_EQ(Bind<Fn1>(lib, "_QVMIV_SetPlayRecEndLoc@4")(100000), 1);
  ASSERT_EQ(Bind<Fn4>(lib, "_QVMIV_SetSeamlessLoopParams@16")(0, 0, 0, 0), 1);
  ASSERT_EQ(Bind<Fn0>(lib, "_QVMIV_BuildPlaylists@0")(), 1);
  ASSERT_EQ(Bind<Fn0>(lib, "_QVMIV_SetRecordEnable@0")(), 1);
  ASSERT_EQ(Bind<Fn1>(lib, "_QVMIV_PrepPlayBufs@4")(1000), 1);
  ASSERT_EQ(Bind<Fn0>(lib, "_QVMIV_StartPlayRec@0")(), 1);

  const auto play = Bind<PlayFn>(mip, "MipTestPlay");
  std::vector<MipMidiEvent> out(512);
  uint32_t n = play(9, 1000, 512, out.data(), 512);
  ASSERT_EQ(n, 4u);
  const uint64_t expectedAt[] = {0, 100, 300, 350};
  const uint32_t expectedMsg[] = {0x7BB1, Msg(0xB1, 7, 64), Msg(0x91, 60, 100), Msg(0x91, 60)};
  for (uint32_t i = 0; i < n; ++i) {
    EXPECT_EQ(out[i].position, expectedAt[i]) << i;
    EXPECT_EQ(out[i].message, expectedMsg[i]) << i << " (first: All Notes Off on channel 2 for the new list)";
  }
  EXPECT_EQ(play(9, 1000 + 512, 512, out.data(), 512), 0u);

  // Input is enabled for element 9 (its track has a record list): the
  // scripted messages are recorded and converted into the record log.
  const MipMidiEvent incoming[] = {{2000, Msg(0x91, 64, 90)}, {2100, Msg(0x81, 64, 0)}, {2200, Msg(0xB1, 1, 5)}};
  EXPECT_EQ(Bind<ReceiveFn>(mip, "MipTestReceive")(9, incoming, 3), 3u);
  play(9, 2048, 1024, out.data(), 512);  // notes still sounding would end at 3072
  ASSERT_EQ(Bind<Fn2>(lib, "_QVMIV_StopPlayRec@8")(0, 0), 1);
  ASSERT_EQ(Bind<Fn1>(lib, "_QVMIV_ConvertRecordlistsIntoLogs@4")(0), 1);
  MidiLogEvent got[4] = {};
  int32_t count = 4;
  ASSERT_EQ(Bind<GetAllLogEventsFn>(lib, "_QVMIV_GetAllLogEvents@12")(recLog, &count, got), 1);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(got[0].position, 2000u);
  EXPECT_EQ(got[0].kind, 1);
  EXPECT_EQ(got[0].value, 100u) << "the note ends at its note-off";
  EXPECT_EQ(got[1].position, 2200u);
  EXPECT_EQ(got[1].kind, 3);

  EXPECT_EQ(Bind<CloseFn>(mip, "MipTestClose")(9), 1);
  ASSERT_EQ(Bind<Fn0>(lib, "_QVMIV_Quit@0")(), 1);
  EXPECT_EQ(GetModuleHandleW(L"testmip.dll"), nullptr) << "quitting unloads the module";
  FreeLibrary(lib);
}

}  // namespace
