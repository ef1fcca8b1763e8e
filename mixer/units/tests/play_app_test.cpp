// The real HRL Mixer.exe from a run folder with the native engine, the
// simulated machine and the console stand-in beside it: Play and Stop are
// pressed through the program's own command path (the main menu's
// commands), the console hears the transport, and the simulated machine's
// capture of what the native devices played covers the played span (in
// silence: the program opens no arrangement of its own yet).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mixer/shell/win32/tests/runfolder.h"
#include "mixer/units/tests/wavdata.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Dismisses message boxes of the process (a missing-unit note and the like).
BOOL CALLBACK CloseBoxes(HWND wnd, LPARAM lParam) {
  DWORD owner = 0;
  char cls[16];
  GetWindowThreadProcessId(wnd, &owner);
  if (owner == static_cast<DWORD>(lParam) && GetClassNameA(wnd, cls, sizeof cls) &&
      std::strcmp(cls, "#32770") == 0 && IsWindowVisible(wnd))
    PostMessageA(wnd, WM_COMMAND, IDOK, 0);
  return TRUE;
}

TEST(PlayApp, PlayAndStopRunTheTransportAndTheCapture) {
  std::string run = runfolder::Prepare(
      "hrl_play_run",
      "[MainWnd]\r\nIffv=IFFV1.3\r\nWindow=1 10 10 640 480 1\r\nQV32DevicePath=Qvdev0\r\nConsoleEnable=1\r\n");
  ASSERT_FALSE(run.empty());
  for (const char* dll : {"QvSim.dll", "qvNatDev.dll", "qvNatRec.dll", "QvConInt.dll"})
    ASSERT_TRUE(CopyFileA((runfolder::ProgramDir() + dll).c_str(), (run + dll).c_str(), FALSE)) << dll;
  const std::string wav = run + "NatCapture.wav";
  const std::string console = run + "console.log";
  DeleteFileA(wav.c_str());
  DeleteFileA(console.c_str());
  SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
  SetEnvironmentVariableA("QVCIN_LOG", console.c_str());
  SetEnvironmentVariableA("QVSIM_CAPTURE_WAV", nullptr);
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(runfolder::Start(run, &pi));

  HWND frame = nullptr;
  for (int i = 0; i < 500 && !frame; ++i) {
    Sleep(20);
    EnumWindows(CloseBoxes, static_cast<LPARAM>(pi.dwProcessId));
    frame = runfolder::FindMainFrame(pi.dwProcessId, false);
  }
  ASSERT_NE(frame, nullptr) << "no main frame";
  Sleep(1500);
  PostMessageA(frame, WM_COMMAND, 41419, 0);  // Play
  Sleep(1500);
  PostMessageA(frame, WM_COMMAND, 41418, 0);  // Stop
  std::vector<int32_t> played;
  for (int i = 0; i < 300 && played.empty(); ++i) {
    Sleep(20);
    played = ReadWavData(wav);
  }
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  SetEnvironmentVariableA("QVCIN_LOG", nullptr);

  // About a second and a half of play at the engine's rate, all silence.
  ASSERT_GE(played.size(), 20000u) << "the native devices did not play";
  size_t loud = 0;
  for (int32_t v : played) loud += v != 0;
  EXPECT_EQ(loud, 0u);
  // The console was registered, heard play (4 - 3) and then stop (4 - 2).
  const std::string log = ReadAll(console);
  const size_t reg = log.find("register\n");
  const size_t play = log.find("notify 0 1 0\n", reg);
  const size_t stop = log.find("notify 0 2 0\n", play);
  EXPECT_NE(reg, std::string::npos) << log.substr(0, 200);
  EXPECT_NE(play, std::string::npos);
  EXPECT_NE(stop, std::string::npos);
  EXPECT_NE(log.find("unregister\n", stop), std::string::npos);
}

}  // namespace
