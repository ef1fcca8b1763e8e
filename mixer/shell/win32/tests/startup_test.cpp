// Start-up and shutdown in this process, with the recording stand-ins of the
// subsystems: the order of the steps, the failure paths and the bounds that
// keep start-up out of loops.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "mixer/model/win32/tests/modal_closer.h"
#include "mixer/model/marker.h"
#include "mixer/model/takeio.h"
#include "mixer/model/settings.h"
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
      "EopUpdateMenu()", "SplashDestroy()",
      "MixDocCreateCurrent()", "CreateTimer(5)", "MixOfferSave()", "MixDocDestroyCurrent()",
      "UnitsStop()",      "CloseUnits()",     "MixFreeElemLibs()",   "QVMIV_Quit()",
      "NatDevCloseAll()",
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
  HWND seen = nullptr;
  std::thread closer = CloseWhenShown(&seen);
  // A second close, answered Yes, after the first was cancelled.
  std::thread second([&] {
    closer.join();
    Sleep(200);
    EXPECT_TRUE(IsWindow(seen));
    Startup().mixSaveAnswer = 1;
    PostMessageA(seen, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL), 0);
  second.join();
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

}  // namespace
