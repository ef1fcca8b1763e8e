// The remote half of the device API: the binding it makes for a server, the
// authentication it asks for and its retry without it, the release of a
// half-opened context, and one open at a time on the shared binding slot.
// The server half: the manager routines over a fake device and access key,
// the security callback, and the service's start and end in this process.
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Drv/Qvdrv/remote.h"

#include <gtest/gtest.h>
#include <rpc.h>

#include <atomic>
#include <cstring>
#include <mutex>
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
  void TearDown() override { RemoteCalls() = RemoteStubs(); }
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
        [](LPVOID) WINAPI -> DWORD {
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

// ---- the server half ----

namespace {

struct Report {
  DWORD id;
  DWORD error;  // as the report's first string cannot show it: the thread's last error
  std::vector<uint8_t> data;
  std::string s2;
};
std::mutex g_reportLock;
std::vector<Report> g_reports;

void WINAPI Capture(DWORD, HMODULE, DWORD id, LPVOID data, DWORD dataLen, DWORD n, LPCSTR* strings) {
  std::lock_guard<std::mutex> lock(g_reportLock);
  const auto* bytes = static_cast<const uint8_t*>(data);
  g_reports.push_back({id, GetLastError(), std::vector<uint8_t>(bytes, bytes + (data ? dataLen : 0)),
                       n > 1 && strings[1] ? strings[1] : ""});
}
std::vector<DWORD> ReportIds() {
  std::lock_guard<std::mutex> lock(g_reportLock);
  std::vector<DWORD> ids;
  for (const Report& r : g_reports) ids.push_back(r.id);
  return ids;
}

// The fake device side: what was opened, closed and sent, and the identity
// each call ran in.
struct FakeServer {
  bool authenticates = true;
  RPC_STATUS impersonation = RPC_S_OK;
  LONG keyAnswer = ERROR_SUCCESS;
  DWORD openError = 0;
  int impersonating = 0;  // depth: impersonations not yet reverted
  int impersonations = 0, opens = 0, closes = 0, ioControls = 0;
  bool openedAsClient = false;
  std::string openedName;
  QvDevBlock block{};
};
FakeServer g_fake;

bool FakeAuthenticates() { return g_fake.authenticates; }
RPC_STATUS FakeImpersonate(RPC_BINDING_HANDLE) {
  if (g_fake.impersonation != RPC_S_OK) return g_fake.impersonation;
  ++g_fake.impersonating;
  ++g_fake.impersonations;
  return RPC_S_OK;
}
RPC_STATUS FakeRevert(RPC_BINDING_HANDLE) {
  --g_fake.impersonating;
  return RPC_S_OK;
}
LONG FakeKey() { return g_fake.keyAnswer; }
QVDEVHANDLE WINAPI FakeDevOpen(LPCSTR name, DWORD, DWORD, DWORD) {
  ++g_fake.opens;
  g_fake.openedName = name;
  g_fake.openedAsClient = g_fake.impersonating > 0;
  if (g_fake.openError) {
    SetLastError(g_fake.openError);
    return static_cast<QVDEVHANDLE>(INVALID_HANDLE_VALUE);
  }
  SetLastError(0);
  return &g_fake.block;
}
BOOL WINAPI FakeDevClose(QVDEVHANDLE) {
  ++g_fake.closes;
  SetLastError(0);
  return TRUE;
}
// Answers 4 bytes 0x11223344 to code 1 and fails code 2 with ERROR_BUSY.
BOOL WINAPI FakeDevIoControl(QVDEVHANDLE, DWORD code, LPVOID, DWORD, LPVOID out, DWORD outLen, LPDWORD returned,
                             LPOVERLAPPED) {
  ++g_fake.ioControls;
  if (code == 1 && outLen >= 4) {
    const uint32_t v = 0x11223344;
    std::memcpy(out, &v, 4);
    *returned = 4;
    SetLastError(0);
    return TRUE;
  }
  *returned = 0;
  SetLastError(ERROR_BUSY);
  return FALSE;
}

class Server : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = FakeServer{};
    saved = ServerSeams();
    ServerSeams() = {FakeAuthenticates, FakeImpersonate, FakeRevert, FakeKey,
                     FakeDevOpen,       FakeDevClose,    FakeDevIoControl};
    {
      std::lock_guard<std::mutex> lock(g_reportLock);
      g_reports.clear();
    }
    previous = qvDevErrFunc(Capture);
  }
  void TearDown() override {
    qvDevErrFunc(previous);
    ServerSeams() = saved;
  }
  ServerCalls saved{};
  QvErrorCallback previous = nullptr;
};

TEST_F(Server, OpenRunsAsTheClientAndGivesTheIdentityBack) {
  void* context = nullptr;
  EXPECT_EQ(RpcDevOpen(nullptr, &context, "\\\\.\\Qvtvr0", 0xC0000000, 3, 0), 0u);
  EXPECT_EQ(context, &g_fake.block);
  EXPECT_EQ(g_fake.openedName, "\\\\.\\Qvtvr0");
  EXPECT_TRUE(g_fake.openedAsClient);
  EXPECT_EQ(g_fake.impersonating, 0);  // reverted before the call returned
  ASSERT_EQ(ReportIds(), std::vector<DWORD>{0x4005138A});
  const std::vector<uint8_t> words = {0, 0, 0, 0xC0, 3, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(g_reports[0].data, words);
  // The close runs as the client too, and nulls the context.
  EXPECT_EQ(RpcDevClose(&context), 0u);
  EXPECT_EQ(context, nullptr);
  EXPECT_EQ(g_fake.closes, 1);
  EXPECT_EQ(g_fake.impersonations, 2);
  EXPECT_EQ(g_fake.impersonating, 0);
  EXPECT_EQ(ReportIds(), (std::vector<DWORD>{0x4005138A, 0x4005138C}));
}

TEST_F(Server, OpenRefusalsOpenNothing) {
  struct Case {
    const char* what;
    RPC_STATUS impersonation;
    LONG key;
    DWORD expected;
  } cases[] = {
      {"the access key is closed to the client", RPC_S_OK, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {"the client cannot be impersonated", RPC_S_NO_CONTEXT_AVAILABLE, ERROR_SUCCESS,
       static_cast<DWORD>(RPC_S_NO_CONTEXT_AVAILABLE)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_fake = FakeServer{};
    g_fake.impersonation = c.impersonation;
    g_fake.keyAnswer = c.key;
    {
      std::lock_guard<std::mutex> lock(g_reportLock);
      g_reports.clear();
    }
    void* context = reinterpret_cast<void*>(0x99);
    EXPECT_EQ(RpcDevOpen(nullptr, &context, "\\\\.\\Qvtvr0", 0, 0, 0), c.expected);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(g_fake.opens, 0);
    EXPECT_EQ(g_fake.impersonating, 0);
    ASSERT_EQ(ReportIds(), std::vector<DWORD>{0x80051389});
    EXPECT_EQ(g_reports[0].data.size(), 12u);
    EXPECT_EQ(g_reports[0].s2, "\\\\.\\Qvtvr0");
  }
}

TEST_F(Server, AFailedLocalOpenIsTheStatusAndNoContext) {
  g_fake.openError = ERROR_BAD_UNIT;
  void* context = nullptr;
  EXPECT_EQ(RpcDevOpen(nullptr, &context, "\\\\.\\Qvtvr7", 0, 0, 0), static_cast<DWORD>(ERROR_BAD_UNIT));
  EXPECT_EQ(context, nullptr);
  EXPECT_EQ(ReportIds(), std::vector<DWORD>{0xC005138B});
}

TEST_F(Server, WithoutClientIdentitiesTheAccessKeyIsCheckedAsTheService) {
  g_fake.authenticates = false;
  g_fake.keyAnswer = ERROR_ACCESS_DENIED;
  void* context = nullptr;
  EXPECT_EQ(RpcDevOpen(nullptr, &context, "\\\\.\\Qvtvr0", 0, 0, 0), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(g_fake.impersonations, 0);
  EXPECT_EQ(g_fake.opens, 0);
  g_fake.keyAnswer = ERROR_SUCCESS;
  EXPECT_EQ(RpcDevOpen(nullptr, &context, "\\\\.\\Qvtvr0", 0, 0, 0), 0u);
  EXPECT_FALSE(g_fake.openedAsClient);
  EXPECT_EQ(RpcSecurityCallback(nullptr, nullptr), RPC_S_OK);
}

TEST_F(Server, SecurityCallbackLetsInOnlyAClientItCanImpersonate) {
  EXPECT_EQ(RpcSecurityCallback(nullptr, nullptr), RPC_S_OK);
  EXPECT_EQ(g_fake.impersonating, 0);
  g_fake.impersonation = RPC_S_NO_CONTEXT_AVAILABLE;
  EXPECT_EQ(RpcSecurityCallback(nullptr, nullptr), RPC_S_NO_CONTEXT_AVAILABLE);
}

TEST_F(Server, CloseOfAFailedOpenSendsNothingAndRundownCloses) {
  void* context = INVALID_HANDLE_VALUE;
  EXPECT_EQ(RpcDevClose(&context), 0u);
  EXPECT_EQ(context, nullptr);
  EXPECT_EQ(g_fake.closes, 0);
  EXPECT_TRUE(ReportIds().empty());

  RpcDevRundown(&g_fake.block);
  EXPECT_EQ(g_fake.closes, 1);
  ASSERT_EQ(ReportIds(), std::vector<DWORD>{0x80051388});
  EXPECT_EQ(g_reports[0].data.size(), 4u);
}

TEST_F(Server, IoControlAnswersAndReportsFailures) {
  uint8_t out[8] = {};
  unsigned long returned = 99;
  EXPECT_EQ(RpcDevIoControl(&g_fake.block, 1, nullptr, 0, out, sizeof out, &returned, 0), 0u);
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(out[0], 0x44);
  EXPECT_TRUE(ReportIds().empty());

  EXPECT_EQ(RpcDevIoControl(&g_fake.block, 2, out, 3, out, sizeof out, &returned, 0),
            static_cast<DWORD>(ERROR_BUSY));
  EXPECT_EQ(returned, 0u);
  ASSERT_EQ(ReportIds(), std::vector<DWORD>{0xC005138E});
  EXPECT_EQ(g_reports[0].data.size(), 24u);

  // A length past the service's bound never reaches the device.
  EXPECT_EQ(RpcDevIoControl(&g_fake.block, 1, nullptr, 0, out, RemoteMaxBuffer + 1, &returned, 0),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(g_fake.ioControls, 2);
}

// The service in this process, on the real runtime: a first protocol
// sequence that cannot be used, then local RPC and TCP.
class Service : public Server {
 protected:
  void SetUp() override {
    Server::SetUp();
    savedConfig = RemoteConfig();
    static const char protocols[] = "ncacn_none\0ncalrpc\0ncacn_ip_tcp\0";
    std::memset(RemoteConfig().protocol, 0, sizeof RemoteConfig().protocol);
    std::memcpy(RemoteConfig().protocol, protocols, sizeof protocols);
    RemoteConfig().nameServiceAddress[0] = 0;
  }
  void TearDown() override {
    qvServerEnd();
    RemoteConfig() = savedConfig;
    Server::TearDown();
  }
  RemoteSettings savedConfig{};
};

// One start and end per process: the platform's runtime (Wine's) does not
// listen a second time in a process whose listening was stopped.
TEST_F(Service, StartsPastABadFirstProtocolServesAndEndsABlockingListen) {
  static HANDLE s_listening;
  s_listening = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  qvDevErrFunc([](DWORD c, HMODULE m, DWORD id, LPVOID d, DWORD dl, DWORD n, LPCSTR* s) WINAPI {
    Capture(c, m, id, d, dl, n, s);
    if (id == 0x40051397) SetEvent(s_listening);
  });
  HANDLE thread = CreateThread(
      nullptr, 0, [](LPVOID) WINAPI -> DWORD { return qvServerListen(FALSE) ? 0 : GetLastError() + 1; }, nullptr, 0,
      nullptr);
  ASSERT_EQ(WaitForSingleObject(s_listening, 30000), WAIT_OBJECT_0);
  Sleep(200);
  const std::vector<DWORD> expected = {0x40051392, 0xC005139C, 0x40051392, 0x40051392,
                                       0x40051393, 0x40051395, 0x40051397};
  EXPECT_EQ(ReportIds(), expected);  // no name-service address: no export
  EXPECT_EQ(g_reports[1].s2, "ncacn_none");

  // A client (whose binding takes the first protocol sequence) reaches the
  // fake device through the stubs and the runtime.
  std::memset(RemoteConfig().protocol, 0, sizeof RemoteConfig().protocol);
  std::strcpy(RemoteConfig().protocol, "ncacn_ip_tcp");
  QVDEVHANDLE h = qvDevOpen("\\\\localhost\\Qvtvr0", 0, 0, 0);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(g_fake.openedName, "\\\\.\\Qvtvr0");
  uint32_t word = 0;
  DWORD returned = 0;
  EXPECT_TRUE(qvDevIoControl(h, 1, nullptr, 0, &word, sizeof word, &returned, nullptr));
  EXPECT_EQ(word, 0x11223344u);
  EXPECT_FALSE(qvDevIoControl(h, 2, nullptr, 0, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
  EXPECT_TRUE(qvDevClose(h));
  EXPECT_EQ(g_fake.closes, 1);

  // The end stops the listening: the blocking listen returns with success,
  // and nothing answers any more.
  qvServerEnd();
  ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0) << "the listen did not return";
  DWORD code = 1;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(thread);
  CloseHandle(s_listening);
  EXPECT_EQ(qvDevOpen("\\\\localhost\\Qvtvr0", 0, 0, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(g_fake.opens, 1);
}

TEST_F(Service, EnumWithoutANameServiceSaysSo) {
  if (HMODULE ns = LoadLibraryA("rpcns4.dll")) {
    FreeLibrary(ns);
    GTEST_SKIP() << "the platform has a name service";
  }
  EXPECT_FALSE(qvServerEnum([](LPVOID, LPVOID, LPVOID, LPCSTR) WINAPI {}, nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_NAME_SERVICE_UNAVAILABLE));
}

}  // namespace
