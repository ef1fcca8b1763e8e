// The real HRL Mixer.exe, started in a prepared run folder, found by its
// frame class and closed as a user would close it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "mixer/shell/win32/tests/runfolder.h"

namespace {

TEST(App, StartsFromARunFolderAndClosesCleanly) {
  std::string run = runfolder::Prepare(
      "hrl_app_run", "[MainWnd]\r\nIffv=IFFV1.3\r\nWindow=1 10 10 640 480 1\r\n");
  ASSERT_FALSE(run.empty());
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(runfolder::Start(run, &pi));
  HWND frame = nullptr;
  for (int i = 0; i < 500 && !frame; ++i) {
    Sleep(20);
    frame = runfolder::FindMainFrame(pi.dwProcessId, false);
  }
  ASSERT_NE(frame, nullptr) << "no main frame";
  char title[64];
  GetWindowTextA(frame, title, sizeof title);
  EXPECT_STREQ(title, "HRL Mixer");
  EXPECT_NE(GetMenu(frame), nullptr);
  PostMessageA(frame, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
