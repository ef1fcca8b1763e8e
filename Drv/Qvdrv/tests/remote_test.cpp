// The remote half of the device API: the binding it makes for a server, the
// authentication it asks for and its retry without it, the release of a
// half-opened context, and one open at a time on the shared binding slot.
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Drv/Qvdrv/remote.h"

#include <gtest/gtest.h>
#include <rpc.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

struct Call {
  std::string binding;
  unsigned long level;
  unsigned long service;
  std::string name;
  long inq;
};
std::vector<Call> g_calls;
std::vector<DWORD> g_answers;  // statuses of the next opens, in order
int g_closes = 0;
std::atomic<int> g_inFlight{0};
std::atomic<int> g_overlaps{0};

DWORD FakeOpen(void* binding, HANDLE* context, const char* name, DWORD, DWORD, DWORD) {
  if (++g_inFlight > 1) ++g_overlaps;
  Sleep(2);
  Call c{"", 0, 0, name, 0};
  RPC_CSTR text = nullptr;
  if (RpcBindingToStringBindingA(binding, &text) == RPC_S_OK) {
    c.binding = reinterpret_cast<char*>(text);
    RpcStringFreeA(&text);
  }
  c.inq = RpcBindingInqAuthInfoA(binding, nullptr, &c.level, &c.service, nullptr, nullptr);
  DWORD status = 0;
  if (!g_answers.empty()) {
    status = g_answers.front();
    g_answers.erase(g_answers.begin());
  }
  *context = reinterpret_cast<HANDLE>(0x1234);
  g_calls.push_back(c);
  --g_inFlight;
  return status;
}
DWORD FakeClose(HANDLE* context) {
  ++g_closes;
  *context = nullptr;
  return 0;
}

class Remote : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoteCalls() = {FakeOpen, FakeClose, nullptr, nullptr};
    g_calls.clear();
    g_answers.clear();
    g_closes = 0;
  }
  void TearDown() override { RemoteCalls() = {}; }
};

TEST_F(Remote, OpensOnABindingToTheServerWithWindowsAuthentication) {
  QVDEVHANDLE h = qvDevOpen("\\\\studio\\Qvdev1", 0, 0, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].binding, "ncacn_ip_tcp:studio");
  EXPECT_EQ(g_calls[0].name, "\\\\.\\Qvdev1");
  // Where the platform has no Windows authentication the binding keeps none
  // (RPC_S_BINDING_HAS_NO_AUTH); elsewhere it carries what was asked.
  if (g_calls[0].inq == RPC_S_OK) {
    EXPECT_EQ(g_calls[0].level, static_cast<unsigned long>(RPC_C_AUTHN_LEVEL_CONNECT));
    EXPECT_EQ(g_calls[0].service, static_cast<unsigned long>(RPC_C_AUTHN_WINNT));
  } else {
    EXPECT_EQ(g_calls[0].inq, RPC_S_BINDING_HAS_NO_AUTH);
  }
  EXPECT_EQ(qvDevLocal(h), nullptr);  // a remote handle has no local file
  EXPECT_TRUE(qvDevClose(h));
  EXPECT_EQ(g_closes, 1);
}

TEST_F(Remote, RetriesWithoutAuthenticationWhenTheServerKnowsNone) {
  g_answers = {RPC_S_UNKNOWN_AUTHN_SERVICE, 0};
  QVDEVHANDLE h = qvDevOpen("\\\\studio\\Qvdev1", 0, 0, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].service, static_cast<unsigned long>(RPC_C_AUTHN_NONE));
  qvDevClose(h);
}

TEST_F(Remote, AFailedOpenReleasesItsContextAndReportsTheStatus) {
  g_answers = {ERROR_ACCESS_DENIED};
  EXPECT_EQ(qvDevOpen("\\\\studio\\Qvdev1", 0, 0, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(g_closes, 1);
}

TEST_F(Remote, ConcurrentOpensTakeTheBindingOneAtATime) {
  g_overlaps = 0;
  std::vector<HANDLE> threads;
  for (int i = 0; i < 6; ++i) {
    threads.push_back(CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
          for (int k = 0; k < 5; ++k) {
            QVDEVHANDLE h = qvDevOpen("\\\\studio\\Qvdev1", 0, 0, 0);
            if (h != INVALID_HANDLE_VALUE) qvDevClose(h);
          }
          return 0;
        },
        nullptr, 0, nullptr));
  }
  WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 30000);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(g_overlaps, 0);
}

}  // namespace
