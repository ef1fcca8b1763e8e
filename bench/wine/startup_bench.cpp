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

#include "mixer/shell/win32/tests/runfolder.h"

namespace {

// Milliseconds until the frame showed, or -1.
double RunOnce(const std::string& run) {
  PROCESS_INFORMATION pi;
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  if (!runfolder::Start(run, &pi)) return -1;
  HWND frame = nullptr;
  for (int i = 0; i < 20000 && !frame; ++i) {
    frame = runfolder::FindMainFrame(pi.dwProcessId, true);
    if (!frame) Sleep(1);
  }
  QueryPerformanceCounter(&t1);
  if (frame) PostMessageA(frame, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return frame ? 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / freq.QuadPart : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  std::string run = runfolder::Prepare("hrl_startup_bench", "[MainWnd]\r\nIffv=IFFV1.3\r\n");
  if (run.empty()) {
    std::printf("cannot prepare the run folder\n");
    return 1;
  }
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
