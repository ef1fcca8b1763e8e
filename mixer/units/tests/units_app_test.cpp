// The real HRL Mixer.exe with the simulated machine beside it: its run
// folder names the recorder unit and a unit that does not exist, so the
// start-up scan opens unit 1 and reports the second path as unit 2.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "mixer/shell/win32/tests/runfolder.h"

namespace {

BOOL CALLBACK CollectText(HWND child, LPARAM lParam) {
  char text[256];
  if (GetWindowTextA(child, text, sizeof text) > 0) *reinterpret_cast<std::string*>(lParam) += text;
  return TRUE;
}

// A message box of the process whose text holds `part`.
struct Box {
  DWORD pid;
  const char* part;
  HWND wnd;
  std::string text;
};

BOOL CALLBACK FindBox(HWND wnd, LPARAM lParam) {
  auto* b = reinterpret_cast<Box*>(lParam);
  DWORD owner = 0;
  char cls[16];
  GetWindowThreadProcessId(wnd, &owner);
  if (owner != b->pid || !GetClassNameA(wnd, cls, sizeof cls) || std::strcmp(cls, "#32770") != 0)
    return TRUE;
  std::string text;
  EnumChildWindows(wnd, CollectText, reinterpret_cast<LPARAM>(&text));
  b->text += "[" + text + "]";
  if (text.find(b->part) == std::string::npos) return TRUE;
  b->wnd = wnd;
  return FALSE;
}

TEST(UnitsApp, StartsWithTheSimulatedUnitOpenAndClosesCleanly) {
  std::string run = runfolder::Prepare(
      "hrl_units_run",
      "[MainWnd]\r\nIffv=IFFV1.3\r\nWindow=1 10 10 640 480 1\r\nQV32DevicePath=Qvdev0 Qvdev7\r\n");
  ASSERT_FALSE(run.empty());
  ASSERT_TRUE(CopyFileA((runfolder::ProgramDir() + "QvSim.dll").c_str(), (run + "QvSim.dll").c_str(), FALSE));
  SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(runfolder::Start(run, &pi));

  // Unit 1 opened, so the missing path is reported for unit 2.
  Box box = {pi.dwProcessId, "Quorvale unit 2 (Qvdev7) can not be opened!", nullptr, {}};
  for (int i = 0; i < 500 && !box.wnd; ++i) {
    Sleep(20);
    box.text.clear();
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
  }
  ASSERT_NE(box.wnd, nullptr) << "no message for the missing unit; boxes: " << box.text;
  PostMessageA(box.wnd, WM_COMMAND, IDOK, 0);

  HWND frame = nullptr;
  for (int i = 0; i < 500 && !frame; ++i) {
    Sleep(20);
    frame = runfolder::FindMainFrame(pi.dwProcessId, false);
  }
  ASSERT_NE(frame, nullptr) << "no main frame";
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
