// The kernel services layer: multiply-divide, counted strings, the clock,
// the event log, the registry helpers and the cancel-safe queue.
#include "kernel/tests/fixture.h"

#include <cstring>

TEST(MulDiv, RoundsToNearestAwayFromZero) {
  struct Case {
    int32_t a, b, c, want;
  };
  const Case cases[] = {
      {7, 3, 2, 11},   {-7, 3, 2, -11}, {7, -3, 2, -11},  {-7, -3, -2, -11}, {1, 1, 0, -1},
      {0, 5, 3, 0},    {5, 1, 3, 2},    {4, 1, 3, 1},     {-5, 1, 3, -2},    {INT32_MAX, 2, 1, -1},
      {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},       {INT32_MIN, 1, 1, INT32_MIN},
      {0, 1, 0, 0},  // a zero numerator gives 0 before the zero divisor counts
  };
  for (const auto& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << " " << c.b << " " << c.c;
}

class ServicesTest : public KernelTest {};

TEST_F(ServicesTest, CountedStringsRefuseWhatDoesNotFit) {
  UNICODE_STRING* s = KsStringAlloc(5);  // four characters and the zero
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(KsStringAppendText(s, u"Qv"), STATUS_SUCCESS);
  EXPECT_EQ(KsStringAppendNumber(s, 255, 16), STATUS_SUCCESS);
  EXPECT_EQ(KsStringAppendChar(s, u'x'), STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(KsStringAppendNumber(s, 7, 10), STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(std::u16string(s->Buffer, s->Length / 2), u"QvFF");
  UNICODE_STRING prefix = KsStringOf(u"qv");
  EXPECT_TRUE(KsStringPrefix(&prefix, s, true));
  EXPECT_FALSE(KsStringPrefix(&prefix, s, false));
  s->Buffer[2] = 0;
  KsStringFixLength(s);
  EXPECT_EQ(s->Length, 4);
  KsStringFree(s);
}

TEST_F(ServicesTest, SleepMovesTheVirtualClock) {
  KsClockStart();
  uint32_t before = KsTimeMs();
  EXPECT_EQ(KsSleepMs(2000), before + 2000);
  EXPECT_EQ(KsSleepMs(0), before + 2000);
  EXPECT_EQ(KsTime100ns() / 10000, int64_t(before) + 2000);
}

TEST_F(ServicesTest, EventLogCutsLongEntriesAndNamesMissingText) {
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  km::ClearEventLog();
  std::u16string longText(300, u'a');
  uint8_t dump[200] = {1, 2, 3};
  KsLogEvent(nullptr, 0xC006006C, STATUS_UNSUCCESSFUL, longText.c_str(), sizeof dump, dump);
  KsLogEvent(nullptr, 0xC0060066, STATUS_SUCCESS, nullptr, 0, nullptr);
  auto log = km::EventLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].category, KsEventCategory);
  EXPECT_LE(ErrorLogPacketHeader + log[0].dump.size() + (log[0].text.size() + 1) * 2, ERROR_LOG_MAXIMUM_SIZE);
  EXPECT_GT(log[0].text.size(), 0u);
  EXPECT_EQ(log[1].text, u"(null)");
  EXPECT_EQ(log[1].object, driver);
}

TEST_F(ServicesTest, DriverPoolIsClearedByTheServicesLayer) {
  // The kernel's pool comes back as it was left; the driver's blocks are clear.
  void* raw = ExAllocatePoolWithTag(NonPagedPool, 64, km::Tag("Test"));
  ASSERT_NE(raw, nullptr);
  EXPECT_NE(static_cast<uint8_t*>(raw)[0], 0);
  ExFreePool(raw);
  auto* p = static_cast<uint8_t*>(KsAllocate(64));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
  KsFree(p);
}

TEST_F(ServicesTest, SendPnpOnlyThroughTheResolvedRoutine) {
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  km::Arrival a = ArriveBoard(TavrionId());
  IO_STACK_LOCATION s{};
  s.MajorFunction = IRP_MJ_PNP;
  s.MinorFunction = IRP_MN_QUERY_CAPABILITIES;
  DEVICE_CAPABILITIES caps{};
  caps.Size = sizeof caps;
  s.Parameters.DeviceCapabilities.Capabilities = &caps;
  auto saved = g_KsRoutines.IoGetAttachedDeviceReference;
  g_KsRoutines.IoGetAttachedDeviceReference = nullptr;
  EXPECT_EQ(KsSendPnp(a.pdo, &s, STATUS_NOT_SUPPORTED, nullptr), STATUS_NOT_SUPPORTED);
  g_KsRoutines.IoGetAttachedDeviceReference = saved;
  EXPECT_EQ(KsSendPnp(a.pdo, &s, STATUS_NOT_SUPPORTED, nullptr), STATUS_SUCCESS);
  RemoveNode(a.pdo);
}

TEST_F(ServicesTest, EventLogHasASizeAndWraps) {
  uint8_t dump[64] = {};
  for (uint32_t i = 0; i < 20000; ++i) {
    dump[0] = static_cast<uint8_t>(i);
    KsLogEvent(nullptr, 0xC006006C, NtStatus(0xC0000000u | i), u"0x83AE2000", sizeof dump, dump);
  }
  auto log = km::EventLog();
  size_t bytes = 0;
  for (const auto& e : log) bytes += ErrorLogPacketHeader + e.text.size() * 2 + e.dump.size();
  EXPECT_LE(bytes, km::EventLogCapacity);
  ASSERT_FALSE(log.empty());
  EXPECT_LT(log.size(), 20000u) << "the oldest entries made room";
  EXPECT_EQ(log.back().status, NtStatus(0xC0000000u | 19999)) << "the newest entry is kept";
}

TEST_F(ServicesTest, PhysicalViewKeepsTheOffsetWithinItsPage) {
  // A register at physical 0xE0000124 seen through a view of a range that
  // starts inside its page.
  struct Register : simbus::RegisterDevice {
    uint32_t Read(uint32_t offset, uint32_t) override { return offset == 0x124 ? 0xCAFE : 0; }
    void Write(uint32_t, uint32_t, uint32_t) override {}
  } reg;
  simbus::Place(simbus::ResKind::Memory, 0xE0000000, 0x1000, &reg);
  KsPhysicalView view;
  ASSERT_EQ(KsMapPhysicalView(0xE0000120, 0x20, &view), STATUS_SUCCESS);
  auto at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(view.Address));
  EXPECT_EQ(at - static_cast<uint32_t>(reinterpret_cast<uintptr_t>(view.Base)), 0x120u);
  uint32_t value = 0;
  ASSERT_TRUE(UmMemoryRead(at + 4, 4, &value));
  EXPECT_EQ(value, 0xCAFEu);
  KsUnmapPhysicalView(&view);
  EXPECT_EQ(km::ViewCount(), 0u);
  EXPECT_FALSE(UmMemoryRead(at + 4, 4, &value)) << "nothing behind an unmapped view";
  simbus::Unplace(&reg);
}

TEST_F(ServicesTest, RegistryReadOrCreate) {
  km::RegWriteDword(u"\\Registry\\Machine\\Software\\T", u"Present", 7);
  km::RegWrite(u"\\Registry\\Machine\\Software\\T", u"Text", REG_SZ, u"x", 4);
  HANDLE key;
  ASSERT_EQ(KsRegOpen(u"Software\\T", &key), STATUS_SUCCESS);
  uint32_t v = 1;
  EXPECT_EQ(KsRegReadOrCreateDword(key, u"Present", &v), STATUS_SUCCESS);
  EXPECT_EQ(v, 7u);
  v = 5;
  EXPECT_EQ(KsRegReadDword(key, u"Missing", &v), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(v, 5u);
  EXPECT_EQ(KsRegReadOrCreateDword(key, u"Missing", &v), STATUS_SUCCESS);
  EXPECT_EQ(km::RegReadDword(u"\\Registry\\Machine\\Software\\T", u"Missing"), 5u);
  EXPECT_EQ(KsRegReadDword(key, u"Text", &v), STATUS_OBJECT_TYPE_MISMATCH);
  KsRegClose(key);
  EXPECT_EQ(KsRegOpen(u"Software\\Absent", &key), STATUS_OBJECT_NAME_NOT_FOUND);
  ASSERT_EQ(KsRegCreate(u"Software\\New\\Deeper", &key), STATUS_SUCCESS);
  KsRegClose(key);
  EXPECT_TRUE(km::RegKeyExists(u"\\Registry\\Machine\\Software\\New\\Deeper"));
}

// ---- the cancel-safe queue, through a test device that queues every request ----

namespace {
KsQueue g_queue;
DEVICE_OBJECT* g_queueDevice;

NTSTATUS QueueRequest(DEVICE_OBJECT*, IRP* irp) {
  NTSTATUS status = KsQueueInsert(&g_queue, irp, nullptr);
  if (status == STATUS_CANCELLED) {
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
  }
  return status;
}

NTSTATUS Succeed(DEVICE_OBJECT*, IRP* irp) {
  irp->IoStatus.Status = STATUS_SUCCESS;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

NTSTATUS QueueDriverEntry(DRIVER_OBJECT* driver, const UNICODE_STRING*) {
  for (int major : {IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_CLEANUP}) driver->MajorFunction[major] = Succeed;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = QueueRequest;
  UNICODE_STRING name = KsStringOf(u"\\Device\\QueueTest");
  UNICODE_STRING link = KsStringOf(u"\\??\\QueueTest");
  IoCreateDevice(driver, 0, &name, 0x83AE, 0, false, &g_queueDevice);
  IoCreateSymbolicLink(&link, &name);
  driver->DriverUnload = [](DRIVER_OBJECT*) {
    UNICODE_STRING l = KsStringOf(u"\\??\\QueueTest");
    IoDeleteSymbolicLink(&l);
    IoDeleteDevice(g_queueDevice);
  };
  KsQueueInit(&g_queue, nullptr);
  return STATUS_SUCCESS;
}

class QueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    km::Reset();
    ASSERT_EQ(km::LoadDriver(QueueDriverEntry, u"", &queueDriver), STATUS_SUCCESS);
  }
  void TearDown() override { km::UnloadDriver(queueDriver); }
  DRIVER_OBJECT* queueDriver = nullptr;
};
}  // namespace

TEST_F(QueueTest, InsertOfACancelledRequestLeavesTheQueueAlone) {
  IRP* irp = IoAllocateIrp(1, false);
  irp->Cancel = true;
  EXPECT_EQ(KsQueueInsert(&g_queue, irp, nullptr), STATUS_CANCELLED);
  EXPECT_TRUE(IsListEmpty(&g_queue.Head));
  EXPECT_EQ(irp->CancelRoutine.load(), nullptr);
  IoFreeIrp(irp);
}

TEST_F(QueueTest, CancelCompletesAQueuedRequestWithoutData) {
  UmHandle h;
  ASSERT_EQ(UmOpen("\\\\.\\QueueTest", GENERIC_READ, 0, &h), STATUS_SUCCESS);
  uint8_t out[8] = {0xEE};
  UmRequest* r = UmIoControlBegin(h, 0x83AE2D00, nullptr, 0, out, sizeof out);
  ASSERT_NE(r, nullptr);
  EXPECT_FALSE(UmIsDone(r));
  EXPECT_EQ(UmCancelIo(h), STATUS_SUCCESS);
  uint32_t got = 99;
  EXPECT_EQ(UmWait(r, &got), STATUS_CANCELLED);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_TRUE(IsListEmpty(&g_queue.Head));
  EXPECT_EQ(UmClose(h), STATUS_SUCCESS);
}

TEST_F(QueueTest, FlushTakesOnlyTheRequestsOfOneFileObject) {
  UmHandle a, b;
  ASSERT_EQ(UmOpen("\\\\.\\QueueTest", GENERIC_READ, 0, &a), STATUS_SUCCESS);
  ASSERT_EQ(UmOpen("\\\\.\\QueueTest", GENERIC_READ, 0, &b), STATUS_SUCCESS);
  UmRequest* ra = UmIoControlBegin(a, 0x83AE2D00, nullptr, 0, nullptr, 0);
  UmRequest* rb = UmIoControlBegin(b, 0x83AE2D00, nullptr, 0, nullptr, 0);
  IRP* first = KsQueueRemoveFirst(&g_queue);  // a's: taken out, completed by us
  ASSERT_NE(first, nullptr);
  FILE_OBJECT* fileA = IoGetCurrentIrpStackLocation(first)->FileObject;
  UmRequest* ra2 = UmIoControlBegin(a, 0x83AE2D00, nullptr, 0, nullptr, 0);
  KsQueueFlush(&g_queue, fileA);
  EXPECT_TRUE(UmIsDone(ra2));
  EXPECT_FALSE(UmIsDone(rb));
  first->IoStatus.Status = STATUS_SUCCESS;
  IoCompleteRequest(first, IO_NO_INCREMENT);
  EXPECT_EQ(UmWait(ra, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(UmWait(ra2, nullptr), STATUS_CANCELLED);
  KsQueueFlush(&g_queue, nullptr);
  EXPECT_EQ(UmWait(rb, nullptr), STATUS_CANCELLED);
  EXPECT_EQ(KsQueueRemoveFirst(&g_queue), nullptr);
  UmClose(a);
  UmClose(b);
}
