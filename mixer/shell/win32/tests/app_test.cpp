// The real HRL Mixer.exe, started in a prepared run folder, found by its
// frame class and closed as a user would close it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Here() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.rfind('\\') + 1);
}

struct Found {
  DWORD pid;
  HWND wnd;
};

BOOL CALLBACK FindFrame(HWND wnd, LPARAM lParam) {
  auto* f = reinterpret_cast<Found*>(lParam);
  char cls[32];
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid == f->pid && GetClassNameA(wnd, cls, sizeof cls) && std::string(cls) == "QV_WC200") {
    f->wnd = wnd;
    return FALSE;
  }
  return TRUE;
}

TEST(App, StartsFromARunFolderAndClosesCleanly) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string run = std::string(temp) + "hrl_app_run\\";
  CreateDirectoryA(run.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((Here() + "HRL Mixer.exe").c_str(), (run + "HRL Mixer.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((Here() + "Qvdrv.dll").c_str(), (run + "Qvdrv.dll").c_str(), FALSE));
  FILE* ini = std::fopen((run + "HRLMixerDef.INI").c_str(), "wb");
  ASSERT_NE(ini, nullptr);
  std::fputs("[MainWnd]\r\nIffv=IFFV1.3\r\nWindow=1 10 10 640 480 1\r\n", ini);
  std::fclose(ini);

  std::string cmd = "\"" + run + "HRL Mixer.exe\"";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             run.c_str(), &si, &pi));
  Found f = {pi.dwProcessId, nullptr};
  for (int i = 0; i < 500 && !f.wnd; ++i) {
    Sleep(20);
    EnumWindows(FindFrame, reinterpret_cast<LPARAM>(&f));
  }
  ASSERT_NE(f.wnd, nullptr) << "no main frame";
  char title[64];
  GetWindowTextA(f.wnd, title, sizeof title);
  EXPECT_STREQ(title, "HRL Mixer");
  EXPECT_NE(GetMenu(f.wnd), nullptr);
  PostMessageA(f.wnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
