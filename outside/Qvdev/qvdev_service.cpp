// Qvdev.exe: the remote-access service program. It serves this computer's
// units to other computers through the device library's server exports:
// qvServerListen blocks until the service is told to stop, which calls
// qvServerEnd. Every report of the library is written to the console.
//
//   Qvdev.exe [-stop <event name>] [-ready <event name>] [-board <hex id>]...
//
// -stop: a named event whose signal stops the service (default "Quorvale
// Server Stop"); Ctrl+C and closing the console stop it too. -ready: a named
// event set when the service starts listening. -board: on the simulated
// machine, a PCI DSP board of that id (the machine then holds only the
// boards named).
#include "Drv/Qvdrv/qvdrv.h"
#include "sim/machine/simmachine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kListening = 0x40051397;

QvErrorCallback g_previous = nullptr;
HANDLE g_ready = nullptr;

void WINAPI ServiceReport(DWORD context, HMODULE module, DWORD messageId, LPVOID data, DWORD dataLen,
                          DWORD nStrings, LPCSTR* strings) {
  if (g_previous) g_previous(context, module, messageId, data, dataLen, nStrings, strings);
  if (messageId == kListening && g_ready) SetEvent(g_ready);
}

BOOL WINAPI ConsoleStop(DWORD) {
  qvServerEnd();
  return TRUE;
}

DWORD WINAPI StopWatch(LPVOID event) {
  if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) qvServerEnd();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* stopName = "Quorvale Server Stop";
  const char* readyName = nullptr;
  std::vector<uint32_t> boards;
  for (int i = 1; i < argc; ++i) {
    if (i + 1 < argc && !std::strcmp(argv[i], "-stop")) {
      stopName = argv[++i];
    } else if (i + 1 < argc && !std::strcmp(argv[i], "-ready")) {
      readyName = argv[++i];
    } else if (i + 1 < argc && !std::strcmp(argv[i], "-board")) {
      boards.push_back(static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 16)));
    } else {
      std::fprintf(stderr, "usage: Qvdev.exe [-stop <event>] [-ready <event>] [-board <hex id>]...\n");
      return 87;
    }
  }
  if (!boards.empty()) {
    simmachine::Reset();
    for (uint32_t id : boards)
      if (!simmachine::AddPciBoard(id)) {
        std::fprintf(stderr, "Qvdev: no simulated board of id %X\n", id);
        return 1;
      }
  }

  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, stopName);
  if (readyName) g_ready = CreateEventA(nullptr, TRUE, FALSE, readyName);
  if (!stop || (readyName && !g_ready)) {
    std::fprintf(stderr, "Qvdev: events not made (%lu)\n", GetLastError());
    return 1;
  }
  g_previous = qvDevErrFunc(ServiceReport);
  SetConsoleCtrlHandler(ConsoleStop, TRUE);
  HANDLE watch = CreateThread(nullptr, 0, StopWatch, stop, 0, nullptr);

  BOOL ok = qvServerListen(FALSE);
  DWORD status = ok ? 0 : GetLastError();

  SetEvent(stop);  // ends the watch when the service stopped on its own
  if (watch) {
    WaitForSingleObject(watch, INFINITE);
    CloseHandle(watch);
  }
  CloseHandle(stop);
  if (g_ready) CloseHandle(g_ready);
  if (!boards.empty()) simmachine::Shutdown();
  std::printf("Qvdev: stopped (%lu)\n", status);
  return ok ? 0 : static_cast<int>(status ? status : 1);
}
