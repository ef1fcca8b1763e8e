// Device objects and dispatch: opening, share access, states, removal with
// requests in flight and handles open, query-remove, the wave device's
// answers, logging of failed requests, and the WDM child.
#include "kernel/tests/fixture.h"

#include <chrono>
#include <thread>

namespace {
// A started device that leaves every I/O control pending in its queue.
class PendingDevice : public CKeDevice {
 public:
  explicit PendingDevice(DEVICE_OBJECT* d) : CKeDevice(d, nullptr, nullptr) { KsQueueInit(&queue, nullptr); }
  NTSTATUS DeviceControl(IRP* irp) override { return KsQueueInsert(&queue, irp, CancelQueued); }
  KsQueue queue;
};

PendingDevice* MakePendingDevice(DRIVER_OBJECT* driver, bool started) {
  UNICODE_STRING name = KsStringOf(u"\\Device\\Pending");
  UNICODE_STRING link = KsStringOf(u"\\??\\Pending");
  DEVICE_OBJECT* d;
  if (!NT_SUCCESS(IoCreateDevice(driver, sizeof(PendingDevice), &name, 0x83AE, 0, false, &d))) return nullptr;
  IoCreateSymbolicLink(&link, &name);
  auto* p = new (d->DeviceExtension) PendingDevice(d);
  p->SetLinkName(&link);
  if (started) p->SetState(KeStateStarted);
  return p;
}

void WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

IO_STACK_LOCATION Pnp(uint8_t minor) {
  IO_STACK_LOCATION s{};
  s.MinorFunction = minor;
  return s;
}
}  // namespace

class DeviceTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
  }
};

TEST_F(DeviceTest, OpeningChecksStateNameAndShareAccess) {
  PendingDevice* p = MakePendingDevice(driver, false);
  ASSERT_NE(p, nullptr);
  UmHandle h, h2;
  EXPECT_EQ(UmOpen("\\\\.\\Pending", GENERIC_READ, 0, &h), STATUS_INVALID_DEVICE_STATE);
  p->SetState(KeStateStarted);
  EXPECT_EQ(UmOpen("\\\\.\\Qvwave\\x", GENERIC_READ, 0, &h), STATUS_NO_SUCH_DEVICE);
  EXPECT_EQ(UmOpen("\\\\.\\Nothing", GENERIC_READ, 0, &h), STATUS_OBJECT_NAME_NOT_FOUND);

  ASSERT_EQ(UmOpen("\\\\.\\Pending", GENERIC_READ, 0, &h), STATUS_SUCCESS);
  EXPECT_EQ(UmOpen("\\\\.\\Pending", GENERIC_READ, FILE_SHARE_READ, &h2), STATUS_SHARING_VIOLATION);
  EXPECT_EQ(UmOpen("\\\\.\\Pending", 0, 0, &h2), STATUS_SUCCESS) << "an open without data access shares anything";
  EXPECT_EQ(p->OpenHandles(), 2u);
  UmClose(h2);
  UmClose(h);
  ASSERT_EQ(UmOpen("\\\\.\\Pending", GENERIC_READ, FILE_SHARE_READ, &h), STATUS_SUCCESS);
  EXPECT_EQ(UmOpen("\\\\.\\Pending", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &h2), STATUS_SHARING_VIOLATION);
  ASSERT_EQ(UmOpen("\\\\.\\PENDING", GENERIC_READ, FILE_SHARE_READ, &h2), STATUS_SUCCESS);
  UmClose(h2);
  UmClose(h);
  EXPECT_EQ(p->OpenHandles(), 0u);
}

TEST_F(DeviceTest, RemovalWaitsForRequestsInFlightAndRefusesNewOnes) {
  PendingDevice* p = MakePendingDevice(driver, true);
  DEVICE_OBJECT* d = p->DeviceObject();
  UmHandle h;
  ASSERT_EQ(UmOpen("\\\\.\\Pending", GENERIC_READ, 0, &h), STATUS_SUCCESS);
  UmRequest* inFlight = UmIoControlBegin(h, 0x83AE2D00, nullptr, 0, nullptr, 0);
  ASSERT_FALSE(UmIsDone(inFlight));

  std::atomic<bool> removed{false};
  std::thread remover([&] {
    km::PnpSendTo(d, Pnp(IRP_MN_REMOVE_DEVICE), nullptr);
    removed = true;
  });
  WaitFor([&] { return p->State() == KeStateRemoved; });
  ASSERT_EQ(p->State(), KeStateRemoved);
  EXPECT_EQ(UmIoControl(h, 0x83AE2D00, nullptr, 0, nullptr, 0, nullptr), STATUS_DELETE_PENDING);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(removed) << "removal must wait for the request in flight";

  UmCancelIo(h);
  EXPECT_EQ(UmWait(inFlight, nullptr), STATUS_CANCELLED);
  remover.join();
  EXPECT_TRUE(removed);
  EXPECT_EQ(km::FindDevice(u"\\Device\\Pending"), nullptr);
  EXPECT_EQ(km::LinkTarget(u"\\??\\Pending"), u"");
  // The handle outlives its device: refused, but it still closes.
  EXPECT_EQ(UmIoControl(h, 0x83AE2D00, nullptr, 0, nullptr, 0, nullptr), STATUS_DELETE_PENDING);
  EXPECT_EQ(UmClose(h), STATUS_SUCCESS);
}

TEST_F(DeviceTest, QueryRemoveFailsWhileAHandleIsOpen) {
  km::Arrival a = ArriveBoard(TavrionId());
  UmHandle h;
  ASSERT_EQ(UmOpen("\\\\.\\Qvtvr0", GENERIC_READ | GENERIC_WRITE, 0, &h), STATUS_SUCCESS);
  EXPECT_EQ(km::PnpRequest(a.pdo, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(Board(u"\\Device\\Qvtvr0")->State(), KeStateStarted);
  EXPECT_EQ(km::PnpRequest(a.pdo, IRP_MN_QUERY_STOP_DEVICE), STATUS_UNSUCCESSFUL);
  UmClose(h);
  EXPECT_EQ(km::PnpRequest(a.pdo, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(Board(u"\\Device\\Qvtvr0")->State(), KeStateRemovePending);
  EXPECT_EQ(km::PnpRequest(a.pdo, IRP_MN_CANCEL_REMOVE_DEVICE), STATUS_SUCCESS);
  EXPECT_EQ(Board(u"\\Device\\Qvtvr0")->State(), KeStateStarted);
  RemoveNode(a.pdo);
}

TEST_F(DeviceTest, SurpriseRemovalWithAHandleOpen) {
  km::Arrival a = ArriveBoard(TavrionId());
  UmHandle h;
  ASSERT_EQ(UmOpen("\\\\.\\Qvtvr0", GENERIC_READ, 0, &h), STATUS_SUCCESS);
  EXPECT_EQ(km::PnpRequest(a.pdo, IRP_MN_SURPRISE_REMOVAL), STATUS_SUCCESS);
  EXPECT_EQ(km::PnpRequest(a.pdo, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
  km::PnpDeleteNode(a.pdo);
  uint8_t name[16];
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_NAME, nullptr, 0, name, sizeof name, nullptr), STATUS_DELETE_PENDING);
  EXPECT_EQ(UmClose(h), STATUS_SUCCESS);
}

TEST_F(DeviceTest, WaveDeviceRefusesHandlesOpenWhenItIsDestroyed) {
  km::Arrival a = ArriveBoard(TavrionId());
  UmHandle h;
  ASSERT_EQ(UmOpen("\\\\.\\QVWAVE", GENERIC_READ, 0, &h), STATUS_SUCCESS);
  RemoveNode(a.pdo);
  EXPECT_EQ(km::FindDevice(u"\\Device\\Qvwave"), nullptr);
  uint8_t out[12];
  uint8_t index = 0;
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_ID, &index, 1, out, sizeof out, nullptr), STATUS_DELETE_PENDING);
  UmHandle h2;
  EXPECT_EQ(UmOpen("\\\\.\\Qvwave", GENERIC_READ, 0, &h2), STATUS_OBJECT_NAME_NOT_FOUND);
  km::Arrival b = ArriveBoard(TavrionId());
  EXPECT_EQ(b.startStatus, STATUS_SUCCESS) << "a new wave device while the old one waits for its handle";
  EXPECT_EQ(UmClose(h), STATUS_SUCCESS);
  RemoveNode(b.pdo);
}

TEST_F(DeviceTest, WaveDeviceAnswersBoardIdentityAndName) {
  km::Arrival a = ArriveBoard(TavrionId());
  UmHandle h;
  ASSERT_EQ(UmOpen("\\\\.\\Qvwave", GENERIC_READ | GENERIC_WRITE, 0, &h), STATUS_SUCCESS);
  uint32_t words[4] = {};
  uint32_t got = 0;
  uint8_t index = 0;
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_ID, &index, 1, words, 12, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 12u);
  EXPECT_EQ(words[0], QvInterfaceVersion);
  EXPECT_EQ(words[2], BoardIdTvr);
  words[0] = 0;
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_STATUS, &index, 1, words, 6, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_ID, &index, 1, words, 3, &got), STATUS_BUFFER_TOO_SMALL);
  index = 1;
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_ID, &index, 1, words, 12, &got), STATUS_NO_MORE_ENTRIES);
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_ID, nullptr, 0, words, 12, &got), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_ATTACH, nullptr, 0, nullptr, 0, &got), STATUS_SUCCESS);

  char name[8] = {};
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_NAME, nullptr, 0, name, 7, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 7u);
  EXPECT_STREQ(name, "Qvwave");
  EXPECT_EQ(UmIoControl(h, IOCTL_QV_GET_NAME, nullptr, 0, name, 6, &got), STATUS_BUFFER_OVERFLOW);
  UmClose(h);
  RemoveNode(a.pdo);
}

TEST_F(DeviceTest, FailedRequestsAreLoggedExceptTheExpectedOnes) {
  km::Arrival a = ArriveBoard(TavrionId());
  UmHandle h;
  ASSERT_EQ(UmOpen("\\\\.\\Qvtvr0", GENERIC_READ, 0, &h), STATUS_SUCCESS);
  km::ClearEventLog();
  uint8_t in[100] = {1, 2, 3};
  EXPECT_EQ(UmIoControl(h, 0x83AE2A00, in, sizeof in, nullptr, 0, nullptr), STATUS_ACCESS_DENIED)
      << "input on a handle without write access";
  UmHandle w;
  ASSERT_EQ(UmOpen("\\\\.\\Qvwave", GENERIC_READ, 0, &w), STATUS_SUCCESS);
  EXPECT_EQ(UmIoControl(w, IOCTL_QV_GET_ID, nullptr, 0, nullptr, 0, nullptr), STATUS_INVALID_PARAMETER);
  auto log = km::EventLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].code, QvEventIoctlFailed);
  EXPECT_EQ(log[0].text, u"0x83AE2A00");
  EXPECT_EQ(log[0].dump.size(), 64u);
  EXPECT_EQ(log[0].object, km::FindDevice(u"\\Device\\Qvtvr0"));
  UmClose(w);
  UmClose(h);
  RemoveNode(a.pdo);
}

TEST_F(DeviceTest, SetPowerRecordsDeviceAndSystemStates) {
  km::Arrival a = ArriveBoard(TavrionId());
  CBoardDevice* board = Board(u"\\Device\\Qvtvr0");
  POWER_STATE state{};
  state.SystemState = PowerSystemSleeping3;
  EXPECT_EQ(km::PowerRequest(a.pdo, IRP_MN_SET_POWER, SystemPowerState, state), STATUS_SUCCESS);
  EXPECT_EQ(board->SystemPower(), PowerSystemSleeping3);
  state.DeviceState = PowerDeviceD3;
  EXPECT_EQ(km::PowerRequest(a.pdo, IRP_MN_SET_POWER, DevicePowerState, state), STATUS_SUCCESS);
  EXPECT_EQ(board->DevicePower(), PowerDeviceD3);
  EXPECT_EQ(board->SystemPower(), PowerSystemSleeping3);
  RemoveNode(a.pdo);
}

TEST_F(DeviceTest, WdmChildFollowsEnableWdm) {
  km::Arrival a = ArriveBoard(TavrionId());
  CBoardDevice* board = Board(u"\\Device\\Qvtvr0");
  board->SetChannels(0, 16);
  ASSERT_EQ(board->SetInterfaces(true), STATUS_SUCCESS);
  EXPECT_EQ(board->Child(), nullptr) << "no inputs, no WDM interface";
  EXPECT_EQ(a.pdo->Node->invalidatedRelations, 0u);
  board->SetChannels(16, 16);
  ASSERT_EQ(board->SetInterfaces(true), STATUS_SUCCESS);
  EXPECT_EQ(km::RegReadDword(DeviceKey(a.pdo), u"EnableWdm"), 1u);
  EXPECT_EQ(a.pdo->Node->invalidatedRelations, 1u);
  ASSERT_EQ(board->SetInterfaces(true), STATUS_SUCCESS);
  EXPECT_EQ(a.pdo->Node->invalidatedRelations, 1u) << "no change, no new relations";
  NTSTATUS status;
  auto children = km::PnpBusRelations(a.pdo, &status);
  ASSERT_EQ(children.size(), 1u);
  DEVICE_OBJECT* child = children[0];
  EXPECT_EQ(static_cast<CWdmChild*>(CKeDevice::From(child))->BusNumber(), 0u);

  struct IdCase {
    BUS_QUERY_ID_TYPE type;
    NTSTATUS status;
    const char16_t* text;
  };
  const IdCase ids[] = {{BusQueryDeviceID, STATUS_SUCCESS, u"Quorvale\\Wdm"},
                        {BusQueryHardwareIDs, STATUS_SUCCESS, u"Qvwdm"},
                        {BusQueryInstanceID, STATUS_SUCCESS, u"Qvtvr0"},
                        {BusQueryCompatibleIDs, STATUS_NOT_SUPPORTED, nullptr}};
  for (const auto& c : ids) {
    IO_STACK_LOCATION s = Pnp(IRP_MN_QUERY_ID);
    s.Parameters.QueryId.IdType = c.type;
    uintptr_t info = 0;
    EXPECT_EQ(km::PnpSendTo(child, s, &info), c.status);
    if (!c.text) continue;
    auto* text = reinterpret_cast<char16_t*>(info);
    EXPECT_EQ(std::u16string(text), c.text);
    EXPECT_EQ(text[std::char_traits<char16_t>::length(c.text) + 1], 0) << "two zero characters";
    ExFreePool(text);
  }
  IO_STACK_LOCATION s = Pnp(IRP_MN_QUERY_DEVICE_TEXT);
  uintptr_t info = 0;
  EXPECT_EQ(km::PnpSendTo(child, s, &info), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(info)), u"WDM/KS on Tavrion");
  ExFreePool(reinterpret_cast<void*>(info));

  DEVICE_CAPABILITIES caps{};
  caps.Size = sizeof caps;
  s = Pnp(IRP_MN_QUERY_CAPABILITIES);
  s.Parameters.DeviceCapabilities.Capabilities = &caps;
  EXPECT_EQ(km::PnpSendTo(child, s, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(caps.Address, 0xFFFFFFFFu);
  EXPECT_TRUE(caps.Flags & CAP_SurpriseRemovalOK);
  caps.Size = 40;
  EXPECT_EQ(km::PnpSendTo(child, s, nullptr), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(km::PnpSendTo(child, Pnp(IRP_MN_EJECT), nullptr), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(km::PnpSendTo(child, Pnp(IRP_MN_QUERY_PNP_DEVICE_STATE), nullptr), STATUS_NOT_SUPPORTED);

  km::RegWriteDword(DeviceKey(a.pdo), u"EnableWdm", 0);
  board->SetInterfaces(true);
  EXPECT_TRUE(km::PnpBusRelations(a.pdo, &status).empty());
  EXPECT_EQ(km::PnpSendTo(child, Pnp(IRP_MN_REMOVE_DEVICE), nullptr), STATUS_SUCCESS);
  EXPECT_EQ(board->Child(), nullptr);
  RemoveNode(a.pdo);
}

TEST_F(DeviceTest, BoardRemovalTakesItsChildAlong) {
  km::Arrival a = ArriveBoard(TavrionId());
  CBoardDevice* board = Board(u"\\Device\\Qvtvr0");
  board->SetChannels(8, 0);
  board->SetInterfaces(true);
  ASSERT_NE(board->Child(), nullptr);
  EXPECT_EQ(km::DeviceCount(driver), 3u);
  RemoveNode(a.pdo);
  EXPECT_EQ(km::DeviceCount(driver), 0u);
}
