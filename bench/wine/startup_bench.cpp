// Start-up time of HRL Mixer.exe: from CreateProcess to the main frame
// (class QV_WC200) shown, over several runs from a prepared run folder, then
// closed with WM_CLOSE. Prints each run and the median in milliseconds.
// Usage: startup_bench [runs]   (HRL Mixer.exe and Qvdrv.dll beside it)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Here() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.rfind('\\') + 1);
}

struct Search {
  DWORD pid;
  HWND wnd;
};

BOOL CALLBACK FindShownFrame(HWND wnd, LPARAM lParam) {
  auto* s = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  char cls[32];
  GetWindowThreadProcessId(wnd, &pid);
  if (pid == s->pid && IsWindowVisible(wnd) && GetClassNameA(wnd, cls, sizeof cls) &&
      std::string(cls) == "QV_WC200") {
    s->wnd = wnd;
    return FALSE;
  }
  return TRUE;
}

std::string PrepareRunFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string run = std::string(temp) + "hrl_startup_bench\\";
  CreateDirectoryA(run.c_str(), nullptr);
  CopyFileA((Here() + "HRL Mixer.exe").c_str(), (run + "HRL Mixer.exe").c_str(), FALSE);
  CopyFileA((Here() + "Qvdrv.dll").c_str(), (run + "Qvdrv.dll").c_str(), FALSE);
  if (FILE* ini = std::fopen((run + "HRLMixerDef.INI").c_str(), "wb")) {
    std::fputs("[MainWnd]\r\nIffv=IFFV1.3\r\n", ini);
    std::fclose(ini);
  }
  return run;
}

// Milliseconds until the frame showed, or -1.
double RunOnce(const std::string& run) {
  std::string cmd = "\"" + run + "HRL Mixer.exe\"";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, run.c_str(), &si,
                      &pi))
    return -1;
  Search s = {pi.dwProcessId, nullptr};
  for (int i = 0; i < 20000 && !s.wnd; ++i) {
    EnumWindows(FindShownFrame, reinterpret_cast<LPARAM>(&s));
    if (!s.wnd) Sleep(1);
  }
  QueryPerformanceCounter(&t1);
  if (s.wnd) PostMessageA(s.wnd, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return s.wnd ? 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / freq.QuadPart : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  std::string run = PrepareRunFolder();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    double ms = RunOnce(run);
    std::printf("run %d: %.1f ms\n", i + 1, ms);
    if (ms < 0) return 1;
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("start-up to main window shown: median %.1f ms (min %.1f, max %.1f; target 2000)\n",
              times[times.size() / 2], times.front(), times.back());
  return 0;
}
