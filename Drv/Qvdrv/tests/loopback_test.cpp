// A unit of another computer, over loopback: Qvdev.exe serves its simulated
// machine (one Tavrion board) in a process of its own; this process opens
// \\localhost\Qvtvr0 through qvDevOpen, sends it I/O control and closes it,
// and the service stops when told.
#include "Drv/Qvdrv/qvdrv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const QVDEVHANDLE Invalid = static_cast<QVDEVHANDLE>(INVALID_HANDLE_VALUE);

struct Service {
  PROCESS_INFORMATION process{};
  HANDLE ready = nullptr, stop = nullptr;
  bool started = false;

  bool Start() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string folder(self);
    folder.resize(folder.rfind('\\') + 1);
    char names[2][64];
    std::snprintf(names[0], sizeof names[0], "QvdevTestReady%lu", GetCurrentProcessId());
    std::snprintf(names[1], sizeof names[1], "QvdevTestStop%lu", GetCurrentProcessId());
    ready = CreateEventA(nullptr, TRUE, FALSE, names[0]);
    stop = CreateEventA(nullptr, TRUE, FALSE, names[1]);
    std::string command = "\"" + folder + "Qvdev.exe\" -board AB2345 -ready " + names[0] + " -stop " + names[1];
    SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                             &process) != FALSE;
    return started && WaitForSingleObject(ready, 60000) == WAIT_OBJECT_0;
  }
  // Signals the stop; the exit code, or 259 when it did not end in time.
  DWORD Stop() {
    SetEvent(stop);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    return code;
  }
  ~Service() {
    if (started) {
      if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
    if (ready) CloseHandle(ready);
    if (stop) CloseHandle(stop);
  }
};

// The service reports that it listens just before it does: a first call may
// still find no endpoint.
QVDEVHANDLE OpenRemote(const char* name) {
  for (int attempt = 0;; ++attempt) {
    QVDEVHANDLE h = qvDevOpen(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    DWORD e = GetLastError();
    if (h != Invalid || attempt == 50 || (e != RPC_S_SERVER_UNAVAILABLE && e != EPT_S_NOT_REGISTERED)) return h;
    Sleep(100);
    SetLastError(e);
  }
}

}  // namespace

TEST(RemoteDevice, AUnitServedByQvdevIsOpenedAndDrivenOverLoopback) {
  Service service;
  ASSERT_TRUE(service.Start()) << "Qvdev.exe did not start listening";

  QVDEVHANDLE h = OpenRemote("\\\\localhost\\Qvtvr0");
  ASSERT_NE(h, Invalid) << GetLastError();
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(qvDevLocal(h), nullptr);

  uint32_t id[3] = {};
  DWORD returned = 0;
  ASSERT_TRUE(qvDevIoControl(h, IOCTL_QV_GET_ID, nullptr, 0, id, sizeof id, &returned, nullptr)) << GetLastError();
  EXPECT_EQ(returned, sizeof id);
  EXPECT_EQ(id[2], BoardIdTvr);

  // An out length beyond what the service allocates for one request is
  // refused there before anything is allocated; the handle stays usable.
  uint32_t small[4] = {};
  EXPECT_FALSE(qvDevIoControl(h, IOCTL_QV_GET_ID, nullptr, 0, small, 0x10000000, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_INVALID_BOUND));
  EXPECT_EQ(returned, 0u);
  EXPECT_TRUE(qvDevIoControl(h, IOCTL_QV_GET_ID, nullptr, 0, id, sizeof id, &returned, nullptr));

  EXPECT_TRUE(qvDevClose(h));
  EXPECT_EQ(GetLastError(), 0u);

  // A unit the served machine does not have: the service's own open error.
  EXPECT_EQ(OpenRemote("\\\\localhost\\Qvtvr5"), Invalid);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_UNIT));

  EXPECT_EQ(service.Stop(), 0u);
  // Stopped: nothing answers any more.
  EXPECT_EQ(qvDevOpen("\\\\localhost\\Qvtvr0", 0, 0, 0), Invalid);
  EXPECT_NE(GetLastError(), 0u);
}
