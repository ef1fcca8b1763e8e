// Start-up and shutdown in this process, with the recording stand-ins of the
// subsystems: the order of the steps, the failure paths and the bounds that
// keep start-up out of loops.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "mixer/model/win32/tests/modal_closer.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/util/win32/datetime.h"
#include "mixer/model/takeio.h"
#include "mixer/model/settings.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/timer.h"
#include "mixer/shell/win32/mainwnd.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "tests/fakes/startup_fake.h"

// The device library's timer, recorded in the same log.
extern "C" BOOL WINAPI CreateTimer(QVTIMER* timer, UINT period) {
  Startup().log.push_back("CreateTimer(" + std::to_string(period) + ")");
  return 0;
}
extern "C" void WINAPI DeleteTimer(QVTIMER*) { Startup().log.push_back("DeleteTimer()"); }
extern "C" LPCSTR WINAPI GetLastErrorText() { return "LastError = 0"; }

namespace {

// A fresh folder as the current directory, with `ini` as HRLMixerDef.INI
// unless it is empty.
void EnterRunFolder(const char* name, const char* ini) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  std::string path = std::string(dir) + name;
  CreateDirectoryA(path.c_str(), nullptr);
  SetCurrentDirectoryA(path.c_str());
  DeleteFileA("HRLMixerDef.INI");
  if (*ini) {
    FILE* f = std::fopen("HRLMixerDef.INI", "wb");
    std::fputs(ini, f);
    std::fclose(f);
  }
}

// Closes the main frame with WM_CLOSE once it shows.
std::thread CloseWhenShown(HWND* seen) {
  return std::thread([seen] {
    for (int i = 0; i < 500; ++i) {
      HWND wnd = FindWindowA("QV_WC200", nullptr);
      if (wnd && IsWindowVisible(wnd)) {
        *seen = wnd;
        PostMessageA(wnd, WM_CLOSE, 0, 0);
        return;
      }
      Sleep(20);
    }
  });
}

int RunUntilClosed(const char* cmdLine, HWND* seen) {
  std::thread closer = CloseWhenShown(seen);
  int result = HrlWinMain(GetModuleHandleA(nullptr), cmdLine, SW_SHOWNORMAL);
  closer.join();
  return result;
}

TEST(Startup, RunsAndShutsDownInOrder) {
  Startup().Reset();
  EnterRunFolder("hrl_startup_ok", "");  // no ini file: the built-in defaults
  HWND seen = nullptr;
  EXPECT_EQ(RunUntilClosed("-S5", &seen), 0);
  ASSERT_NE(seen, nullptr);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_EQ(WndTable[kMainWnd], nullptr);
  const char* order[] = {
      "SplashCreate()",   "OpenUnits()",      "UnitsConfigDialog()", "NatDevOpenAll(128)",
      "CheckUnitsHardware()", "UnitsStartClocks()", "QVMXA_Init()",
      "RebuildAndPrepPlayLists(0)", "MxaRefreshAfterEdit(0)", "MidiRebuildAndPrep(0)",
      "EopUpdateMenu()", "SplashDestroy()", "SFManSettingsHook()",
      "MixDocCreateCurrent()", "StatusRedrawAll()", "CreateTimer(5)", "MixOfferSave()", "MixDocDestroyCurrent()",
      "UnitsStop()",      "CloseUnits()",     "MixFreeElemLibs()",   "QVMIV_Quit()",
      "NatDevCloseAll()", "SFManExitHook()",
  };
  int last = -1;
  for (const char* step : order) {
    int at = Startup().IndexOf(step);
    EXPECT_GT(at, last) << step << "\n" << Startup().Joined();
    last = at;
  }
  // The engine reads and writes Audio Takes through the Take store.
  EXPECT_EQ(Startup().diskCallbacks.read, &TakeReadSamples);
  EXPECT_EQ(Startup().diskCallbacks.write, &TakeWriteSamples);
  // The device timer was refused, so there is nothing to delete.
  EXPECT_EQ(Startup().Count("DeleteTimer"), 0);
  // The classes of the windows the shell and the arrange editor will
  // create are all there, whether or not their windows are built.
  WNDCLASSA wc;
  for (const char* name : {"QV_WC200", "BmStatic9_WC", "BRotPot9_WC", "ToolWnd_WC",
                           "DragnDropWnd_WC", "StatWnd_WC", "ArrWnd_WC", "ArrColWnd_WC",
                           "ArrChildWnd_WC", "DirWnd_WC", "SFManWnd_WC", "MrkDirWnd_WC",
                           "AudBufWnd_WC", "BigClocWnd_WC", "XFDisp_WC"})
    EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), name, &wc)) << name;
}

// Marker keys sent to the running frame as its accelerators send them.
TEST(Startup, MarkerKeysPlaceMarkersAndSetLocators) {
  Startup().Reset();
  EnterRunFolder("hrl_startup_keys", "");
  std::thread keys([] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
    ASSERT_NE(wnd, nullptr);
    auto key = [wnd](UINT id) { SendMessageA(wnd, WM_COMMAND, id, 0); };
    key(42391);  // 1
    key(42392);  // 2
    EXPECT_EQ(MarkerKeyAccumulator(), 12);
    key(42400);  // place marker 12 at the current position (0)
    EXPECT_EQ(MrkIsValid(CurMrkList, 12), 1);
    EXPECT_EQ(MarkerKeyAccumulator(), -13);
    key(42400);  // the next one offered: 13
    EXPECT_EQ(MrkIsValid(CurMrkList, 13), 1);
    key(42407);
    key(42400);  // empty: the first free number from 1
    EXPECT_EQ(MrkIsValid(CurMrkList, 1), 1);
    EXPECT_EQ(MrkIsValid(CurMrkList, 0), 0);
    for (int i = 0; i < 4; ++i) key(42399);  // 9999 typed: 9, 99, 999, then 9 again
    EXPECT_EQ(MarkerKeyAccumulator(), 9);
    key(42402);  // left locator to marker 9, which does not exist: no change
    EXPECT_EQ(MarkerKeyAccumulator(), 0);
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  keys.join();
}

TEST(Startup, PerUnitOptionsAreClampedAndRemapped) {
  Startup().Reset();
  Startup().unitCount = 2;
  Startup().hasHost[0] = Startup().hasMixDsps[0] = 1;
  Startup().hwKind[0] = 2;
  EnterRunFolder("hrl_startup_units",
                 "[MainWnd]\r\nIffv=IFFV1.3\r\nMClkUnit1=40409\r\nMClkUnit2=40422\r\n"
                 "IoAESInpSRC1=5\r\n");
  uint32_t clocks[2] = {};
  std::thread closer([&] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
    ASSERT_NE(wnd, nullptr);
    SendMessageA(wnd, WM_NULL, 0, 0);  // start-up has finished
    clocks[0] = GetMClkUnit(0);
    clocks[1] = GetMClkUnit(1);
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  closer.join();
  EXPECT_EQ(clocks[0], 40410u);  // AES/EBU on hardware kind 2 becomes 40410
  EXPECT_EQ(clocks[1], 40423u);  // "Internal" of a second unit is raised to AES/EBU
  EXPECT_GE(Startup().IndexOf("UnitCardSetAesSrc(1, 5)"), 0);
  EXPECT_EQ(Startup().Count("UnitCardSetAesSrc(0"), 0);  // unit 1 has a host interface
}

// The console option holds whether the link came up, not what was asked.
TEST(Startup, ConsoleOptionFollowsTheLink) {
  for (int links : {1, 0}) {
    Startup().Reset();
    Startup().consoleLinks = links;
    EnterRunFolder("hrl_startup_console", "[MainWnd]\r\nIffv=IFFV1.3\r\nConsoleEnable=1\r\n");
    UINT state = 0;
    std::thread closer([&] {
      HWND wnd = nullptr;
      for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
      ASSERT_NE(wnd, nullptr);
      SendMessageA(wnd, WM_NULL, 0, 0);  // start-up has finished
      state = GetMenuState(GetMenu(wnd), 41814, MF_BYCOMMAND);
      PostMessageA(wnd, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
    closer.join();
    EXPECT_EQ(Startup().Count("ConsoleRegister"), Shell().comEx ? 1 : 0);
    EXPECT_EQ((state & MF_CHECKED) != 0, links && Shell().comEx) << links;
  }
}

TEST(Startup, CancelledSaveKeepsTheProgramRunning) {
  Startup().Reset();
  Startup().mixSaveAnswer = 0;
  EnterRunFolder("hrl_startup_cancel", "");
  // The first close is sent, so that it is over before the answer changes;
  // a second close, answered Yes, ends the program.
  std::thread closer([] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
    ASSERT_NE(wnd, nullptr);
    SendMessageA(wnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(wnd));
    Startup().mixSaveAnswer = 1;
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  closer.join();
  EXPECT_EQ(Startup().Count("MixOfferSave"), 2);
}

TEST(Startup, WrongIniVersionUndoesAndReturnsZero) {
  Startup().Reset();
  EnterRunFolder("hrl_startup_badini", "[MainWnd]\r\nIffv=IFFV1.2\r\n");
  ModalCloser closer(IDOK);
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  EXPECT_EQ(closer.seen().text, "Invalid initialization file!");
  EXPECT_EQ(Startup().Count("OpenUnits"), 0);
}

TEST(Startup, EngineRefusalClosesUnitsAndEngine) {
  Startup().Reset();
  Startup().natDevOpenResult = 0;
  EnterRunFolder("hrl_startup_noengine", "");
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  EXPECT_GE(Startup().IndexOf("CloseUnits()"), 0);
  EXPECT_GE(Startup().IndexOf("NatDevCloseAll()"), 0);
  EXPECT_EQ(FindWindowA("QV_WC200", nullptr), nullptr);
}

TEST(Startup, SyncBoardUpdatesRerunTheChecksABoundedNumberOfTimes) {
  Startup().Reset();
  Startup().syncBoard[0] = 1;
  Startup().flashUpdates = 1;
  EnterRunFolder("hrl_startup_flash", "");
  HWND seen = nullptr;
  EXPECT_EQ(RunUntilClosed("-Q", &seen), 0);
  // One update: the checks ran twice, the flash query only on the first pass.
  EXPECT_EQ(Startup().Count("CheckUnitsHardware"), 2);
  EXPECT_GE(Startup().IndexOf("UpdateSyncBoards(9PSXIL.BIN, 9PS051.BIN, 1)"), 0);
  EXPECT_GE(Startup().IndexOf("UpdateSyncBoards(9PSXIL.BIN, 9PS051.BIN, 0)"), 0);
  EXPECT_GE(Startup().IndexOf("NinePinSetMode(40900)"), 0);

  Startup().Reset();
  Startup().syncBoard[0] = 1;
  Startup().flashUpdates = 1000;  // a board that claims an update every time
  EXPECT_EQ(RunUntilClosed("", &seen), 0);
  EXPECT_EQ(Startup().Count("UpdateSyncBoards"), 4);
}

// The sync configuration and each unit's MIDI word are read at creation,
// clamped, and the option flags carry the quarter-frame choice.
TEST(Startup, SyncAndMidiConfigurationAreReadAndSent) {
  Startup().Reset();
  Startup().unitCount = 2;
  EnterRunFolder("hrl_startup_sync",
                 "[MainWnd]\r\nIffv=IFFV1.3\r\nSyncInVITCDec=2 5 1\r\nSyncInDropOut=999999\r\n"
                 "SyncOutBITCPos=0\r\nSyncInMTCQF48=1\r\nMidiCfgSUnit1=1\r\nMidiCfgSUnit2=2\r\n");
  HWND seen = nullptr;
  EXPECT_EQ(RunUntilClosed("", &seen), 0);
  const int32_t vitc[5] = {2, 5, 1, 10, 0};  // missing numbers take their defaults
  for (int i = 0; i < 5; ++i) EXPECT_EQ(SyncInVITCDec[i], vitc[i]) << i;
  EXPECT_EQ(SyncInDropOut, 960000);
  EXPECT_EQ(SyncOutBITCPos, 1);
  EXPECT_GE(Startup().IndexOf("UnitSetOptionFlags(0, 3)"), 0) << Startup().Joined();
  EXPECT_GE(Startup().IndexOf("UnitSetOptionFlags(1, 2)"), 0);
}

// A heap that cannot be created ends the creation with message 194; the
// failed start-up leaves no frame, no pending quit and nothing open.
TEST(Startup, HeapCreateFailureEndsCreation) {
  Startup().Reset();
  EnterRunFolder("hrl_startup_heap", "");
  MrkHeap.FailNext();
  {
    ModalCloser closer(IDOK);
    EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
    EXPECT_EQ(closer.seen().text, "Heap create failed!");
  }
  EXPECT_EQ(FindWindowA("QV_WC200", nullptr), nullptr);
  EXPECT_FALSE(ArrHeap.Created());
  EXPECT_GE(Startup().IndexOf("CloseUnits()"), 0);
  EXPECT_GE(Startup().IndexOf("NatDevCloseAll()"), 0);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  // The program starts again afterwards, on fresh heaps.
  HWND seen = nullptr;
  EXPECT_EQ(RunUntilClosed("", &seen), 0);
  EXPECT_NE(seen, nullptr);
  EXPECT_FALSE(MrkHeap.Created());
}

// The accelerators wait while the mouse is captured, and while every key
// goes to the mixer elements unless one of the program's own windows is
// active; a modal state does not stop them.
TEST(Startup, AcceleratorsFollowCaptureAndTheActiveWindow) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "HrlAccelTestWnd";
  RegisterClassA(&wc);
  auto make = [] {
    return CreateWindowExA(0, "HrlAccelTestWnd", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                           100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  };
  HWND frame = make(), element = make();
  WndTable[kMainWnd] = frame;
  const int32_t saved = AllKeyInpToMixElem;
  struct Case {
    bool capture;
    int32_t allKeys;
    HWND active;
    bool applies;
  } cases[] = {
      {false, 0, element, true},  {true, 0, frame, false},  {false, 1, frame, true},
      {false, 1, element, false}, {true, 1, frame, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.capture << " " << c.allKeys << " "
                                    << (c.active == frame ? "frame" : "element"));
    AllKeyInpToMixElem = c.allKeys;
    SetActiveWindow(c.active);
    if (c.capture) SetCapture(c.active);
    EXPECT_EQ(MainAcceleratorsApply(), c.applies);
    ReleaseCapture();
  }
  AllKeyInpToMixElem = saved;
  WndTable[kMainWnd] = nullptr;
  DestroyWindow(element);
  DestroyWindow(frame);
}

// A settings change makes the frame read the user's time format again.
TEST(Startup, SettingChangeRereadsTheTimeFormat) {
  Startup().Reset();
  EnterRunFolder("hrl_startup_intl", "");
  char seenSeparator[kIntlTextSize] = {};
  std::thread changer([&] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
    ASSERT_NE(wnd, nullptr);
    WriteProfileStringA("Intl", "sTime", ".");
    SendMessageA(wnd, WM_SETTINGCHANGE, 0, 0);
    std::memcpy(seenSeparator, UserIntlTime.sTime, sizeof seenSeparator);
    WriteProfileStringA("Intl", "sTime", nullptr);
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  changer.join();
  EXPECT_STREQ(seenSeparator, ".");
}

// Opening the menu greys by the clock: the sample rates and the varispeed
// only while unit 1 runs on its internal clock.
TEST(Startup, MenuOpeningGreysByTheMasterClock) {
  Startup().Reset();
  EnterRunFolder("hrl_startup_menu", "");
  UINT internalRate = 0, externalRate = 0, varispeed = 0, undo = 0, file = 0;
  std::thread opener([&] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
    ASSERT_NE(wnd, nullptr);
    HMENU menu = GetMenu(wnd);
    SendMessageA(wnd, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    internalRate = GetMenuState(menu, 41583, MF_BYCOMMAND);
    undo = GetMenuState(menu, 41440, MF_BYCOMMAND);
    file = GetMenuState(menu, 0, MF_BYPOSITION);
    SendMessageA(wnd, WM_COMMAND, 40409, 0);  // unit 1 on AES/EBU
    SendMessageA(wnd, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    externalRate = GetMenuState(menu, 41583, MF_BYCOMMAND);
    varispeed = GetMenuState(menu, 41600, MF_BYCOMMAND);
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  opener.join();
  EXPECT_FALSE(internalRate & MF_GRAYED);
  EXPECT_TRUE(externalRate & MF_GRAYED);
  EXPECT_TRUE(varispeed & MF_GRAYED);
  EXPECT_TRUE(undo & MF_GRAYED);  // nothing to undo yet
  EXPECT_FALSE(file & MF_GRAYED);
}

// Ids that no command uses are left to the default window procedure.
TEST(Commands, UnknownIdsReturnZero) {
  const struct {
    UINT first, last;
  } ranges[] = {{40411, 40411}, {40425, 40425}, {40439, 40439}, {40453, 40453},
                {41005, 41007}, {41012, 41014}, {41019, 41319}, {41909, 42299},
                {42301, 42317}, {45056, 45999}};
  for (const auto& r : ranges)
    for (UINT id = r.first; id <= r.last; ++id) EXPECT_EQ(MainCmdDispatch(nullptr, id), 0) << id;
}

// Every setting saved is what the next start restores: two saves in a row
// write the same values, and they are the values the first start read.
TEST(Commands, SavedSettingsRestoreToThemselves) {
  const char* ini =
      "[MainWnd]\r\nIffv=IFFV1.3\r\nRecResol=40355\r\nSyncConOutUnit1=40363\r\n"
      "Io96KUnit0=40385\r\nIoMadi96KUnit0=45001\r\nIoMadiModeUnit0=45021\r\nIoAESInpSRC0=9\r\n"
      "MClkUnit1=40410\r\nSyncInTrigOnly=1\r\nSyncIn=40502\r\nSyncOut=2\r\n"
      "SrateSelector=41585\r\nFrateSelector=41604\r\nTimebar=40518\r\nWavAxis=40723\r\n"
      "SnapEnable=1\r\nSnap=40522\r\nMutedSoloAudOut=17\r\nMutedSoloMidiOut=5\r\n"
      "ScrubMode=40875\r\nProcRefATk=40880\r\nProcDelUnRefATk=40884\r\nProcRefCTk=40888\r\n"
      "ProcDelUnRefCTk=40890\r\nProcRefMTk=43300\r\nProcDelUnRefMTk=43305\r\n"
      "EditOverlapMode=40893\r\nEditMultiOutMode=40897\r\nS9PinMode=40902\r\nKeepSel=1\r\n"
      "FastRedraw=0\r\nWindFast=1\r\nScrubWind=1\r\nDetMixElemChanges=0\r\n"
      "StreamSmpBufSize=256\r\nProChStat=1\r\nUseNumSpExt=1\r\nUndoLevels=25\r\nAutoSave=7\r\n"
      "LTool=5\r\nRTool=6\r\nAltLTool=7\r\nAltRTool=8\r\nSyncInAutoPlayStop=1\r\n"
      "SlvMtcPrepDurat=1234\r\nAlignOutElemsWNoInp=1\r\nSyncInDropOut=4800\r\n"
      "SyncInMTCQF48=1\r\nSyncOutBITCPos=4\r\nMidiCfgSUnit1=1\r\nSyncInVITCDec=1 2 1 3 1\r\n"
      "[MrkDirWnd]\r\nSort=40731\r\n[BigClocWnd]\r\nAlwaysOnTop=0\r\n"
      "[VideoWnd]\r\nVideoDispSize=40738\r\nAlwaysOnTop=0\r\n"
      "[9PinWnd]\r\nAlwaysOnTop=0\r\nRecBtnEnable=1\r\n[MixWnd]\r\nAlwaysOnTop=0\r\n";
  const struct {
    const char* section;
    const char* key;
    int value;
  } want[] = {
      {"MainWnd", "RecResol", 40355}, {"MainWnd", "SyncConOutUnit1", 40363},
      {"MainWnd", "Io96KUnit0", 40385}, {"MainWnd", "IoMadi96KUnit0", 45001},
      {"MainWnd", "IoMadiModeUnit0", 45021}, {"MainWnd", "IoAESInpSRC0", 9},
      {"MainWnd", "MClkUnit1", 40410}, {"MainWnd", "SyncInTrigOnly", 1},
      {"MainWnd", "SyncIn", 40502}, {"MainWnd", "SyncOut", 2},
      {"MainWnd", "SrateSelector", 41585}, {"MainWnd", "FrateSelector", 41604},
      {"MainWnd", "Timebar", 40518}, {"MainWnd", "WavAxis", 40723},
      {"MainWnd", "SnapEnable", 1}, {"MainWnd", "Snap", 40522},
      {"MainWnd", "MutedSoloAudOut", 17}, {"MainWnd", "MutedSoloMidiOut", 5},
      {"MainWnd", "ScrubMode", 40875}, {"MainWnd", "ProcRefATk", 40880},
      {"MainWnd", "ProcDelUnRefATk", 40884}, {"MainWnd", "ProcRefCTk", 40888},
      {"MainWnd", "ProcDelUnRefCTk", 40890}, {"MainWnd", "ProcRefMTk", 43300},
      {"MainWnd", "ProcDelUnRefMTk", 43305}, {"MainWnd", "EditOverlapMode", 40893},
      {"MainWnd", "EditMultiOutMode", 40897}, {"MainWnd", "S9PinMode", 40902},
      {"MainWnd", "KeepSel", 1}, {"MainWnd", "FastRedraw", 0}, {"MainWnd", "WindFast", 1},
      {"MainWnd", "ScrubWind", 1}, {"MainWnd", "DetMixElemChanges", 0},
      {"MainWnd", "FillWvForm", 1}, {"MainWnd", "StreamSmpBufSize", 256},
      {"MainWnd", "ProChStat", 1}, {"MainWnd", "UseNumSpExt", 1},
      {"MainWnd", "UndoLevels", 25}, {"MainWnd", "AutoSave", 7}, {"MainWnd", "LTool", 5},
      {"MainWnd", "RTool", 6}, {"MainWnd", "AltLTool", 7}, {"MainWnd", "AltRTool", 8},
      {"MainWnd", "SyncInAutoPlayStop", 1}, {"MainWnd", "SlvMtcPrepDurat", 1234},
      {"MainWnd", "AlignOutElemsWFader", 0}, {"MainWnd", "AlignOutElemsWNoInp", 1},
      {"MainWnd", "SyncInDropOut", 4800}, {"MainWnd", "SyncInMTCQF48", 1},
      {"MainWnd", "SyncOutBITCPos", 4}, {"MainWnd", "MidiCfgSUnit1", 1},
      {"MainWnd", "ConsoleEnable", 0}, {"MainWnd", "VSyncedMClk", 0},
      {"MrkDirWnd", "Sort", 40731}, {"BigClocWnd", "AlwaysOnTop", 0},
      {"VideoWnd", "VideoDispSize", 40738}, {"VideoWnd", "AlwaysOnTop", 0},
      {"9PinWnd", "AlwaysOnTop", 0}, {"9PinWnd", "RecBtnEnable", 1},
      {"MixWnd", "AlwaysOnTop", 0},
  };
  EnterRunFolder("hrl_commands_save", ini);
  char path[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, path);
  std::strcat(path, "\\HRLMixerDef.INI");
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Startup().Reset();
    Startup().unitCount = 1;  // a card without a host interface
    std::thread saver([] {
      HWND wnd = nullptr;
      for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
      ASSERT_NE(wnd, nullptr);
      SendMessageA(wnd, WM_COMMAND, 41849, 0);  // Save Settings
      PostMessageA(wnd, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
    saver.join();
    for (const auto& w : want)
      EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA(w.section, w.key, -1, path)), w.value)
          << w.section << " " << w.key;
    char vitc[64];
    GetPrivateProfileStringA("MainWnd", "SyncInVITCDec", "", vitc, sizeof vitc, path);
    EXPECT_STREQ(vitc, "1 2 1 3 1");
  }
}

// One card of type 100: its master clock items are renamed, the other units'
// entries are gone.
TEST(Commands, MenuIsTailoredToTheUnitsFound) {
  Startup().Reset();
  Startup().unitCount = 1;
  Startup().ioType[0] = 100;
  EnterRunFolder("hrl_commands_tailor", "");
  char aes[32] = {}, tdif[32] = {};
  int clockEntries = -1, clockOut = 0;
  std::thread reader([&] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
    ASSERT_NE(wnd, nullptr);
    SendMessageA(wnd, WM_NULL, 0, 0);
    HMENU menu = GetMenu(wnd);
    GetMenuStringA(menu, 40409, aes, sizeof aes, MF_BYCOMMAND);
    GetMenuStringA(menu, 40410, tdif, sizeof tdif, MF_BYCOMMAND);
    clockEntries = GetMenuItemCount(GetSubMenu(GetSubMenu(menu, 2), 0));
    clockOut = static_cast<int>(GetMenuState(menu, 40360, MF_BYCOMMAND));
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  reader.join();
  EXPECT_STREQ(aes, "MADI &A");
  EXPECT_STREQ(tdif, "MADI &B");
  EXPECT_EQ(clockEntries, 2);  // unit 1 and Video Sync
  EXPECT_EQ(clockOut, -1);     // no word-clock output on type 100
}

// Accelerators reach the dispatcher through the menu's state: a greyed item
// sends nothing, an enabled one toggles its check.
WNDPROC frameProc = nullptr;
int undoCommands = 0;
LRESULT CALLBACK CountingProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && LOWORD(wParam) == 41440) ++undoCommands;
  return CallWindowProcA(frameProc, wnd, msg, wParam, lParam);
}

TEST(Commands, AcceleratorsFollowTheMenuState) {
  Startup().Reset();
  EnterRunFolder("hrl_commands_accel", "");
  int undoSent = -1;
  UINT passKeys = 0;
  std::thread presser([&] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
    ASSERT_NE(wnd, nullptr);
    SendMessageA(wnd, WM_NULL, 0, 0);
    frameProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    HACCEL accel = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(447));
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG msg = {wnd, WM_KEYDOWN, 'Z', 0, 0, {}};
    TranslateAcceleratorA(wnd, accel, &msg);  // Undo, greyed: nothing to undo
    undoSent = undoCommands;
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    msg.wParam = 'K';
    TranslateAcceleratorA(wnd, accel, &msg);  // Ctrl+Alt+K: pass all keys on
    passKeys = GetMenuState(GetMenu(wnd), 41830, MF_BYCOMMAND);
    SetKeyboardState(std::array<BYTE, 256>{}.data());
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(frameProc));
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  presser.join();
  EXPECT_EQ(undoSent, 0);
  EXPECT_TRUE(passKeys & MF_CHECKED);
  EXPECT_EQ(AllKeyInpToMixElem, 1);
  AllKeyInpToMixElem = 0;
}

// Switching the sync input to an external source takes the seamless loop
// off.
TEST(Commands, ExternalSyncInSwitchesTheLoopOff) {
  Startup().Reset();
  EnterRunFolder("hrl_commands_syncin", "");
  uint32_t loopOn = 0, loopAfter = 0;
  std::thread sender([&] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500 && !(wnd = FindWindowA("QV_WC200", nullptr)); ++i) Sleep(20);
    ASSERT_NE(wnd, nullptr);
    SendMessageA(wnd, WM_COMMAND, 41430, 0);  // seamless loop on
    loopOn = Settings().PlayRecMode & kModeLoop;
    SendMessageA(wnd, WM_COMMAND, 40502, 0);
    loopAfter = Settings().PlayRecMode & kModeLoop;
    SendMessageA(wnd, WM_COMMAND, 40501, 0);
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  sender.join();
  EXPECT_NE(loopOn, 0u);
  EXPECT_EQ(loopAfter, 0u);
}

}  // namespace
