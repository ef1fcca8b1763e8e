// DriverEntry and DriverUnload: the driver's dispatch table, the kernel
// routines it resolves, and the two start paths.
#include "kernel/qvdev.h"

uint32_t g_QvMajorVersion;
UNICODE_STRING* g_QvRegistryPath;
CWaveDevice* g_QvWave;
uint32_t g_QvBusCounter;

void QvFreeStartRecord(QvStartRecord* r) {
  KsStringFree(r->parametersPath);
  KsStringFree(r->deviceName);
  KsStringFree(r->linkName);
  KsFree(r->legacyList);
  *r = {};
}

namespace {
constexpr WCHAR ParametersSuffix[] = u"\\Parameters";

// The wave device goes when it is the last device object the driver has.
void RetireWaveDevice(DRIVER_OBJECT* driver) {
  if (!g_QvWave) return;
  DEVICE_OBJECT* wave = g_QvWave->DeviceObject();
  if (driver->DeviceObject != wave || wave->NextDevice) return;
  CWaveDevice* w = g_QvWave;
  g_QvWave = nullptr;
  w->Remove(false);
}

void InstallDispatch(DRIVER_OBJECT* driver) {
  driver->DriverUnload = DriverUnload;
  for (int major : {IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_CLEANUP, IRP_MJ_FLUSH_BUFFERS})
    driver->MajorFunction[major] = KeDispatchCreateClose;
  driver->MajorFunction[IRP_MJ_READ] = KeDispatchReadWrite;
  driver->MajorFunction[IRP_MJ_WRITE] = KeDispatchReadWrite;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = KeDispatchDeviceControl;
  driver->MajorFunction[IRP_MJ_QUERY_INFORMATION] = KeDispatchInformation;
  driver->MajorFunction[IRP_MJ_SET_INFORMATION] = KeDispatchInformation;
}

void InstallPnp(DRIVER_OBJECT* driver) {
  driver->MajorFunction[IRP_MJ_PNP] = KeDispatchPnp;
  driver->MajorFunction[IRP_MJ_POWER] = KeDispatchPower;
  driver->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = KeDispatchSystemControl;
  driver->DriverExtension->AddDevice = AddDevice;
}

// The two paths: Plug and Play kernels (5 and later) and NT 4.
NTSTATUS StartPnp(QvStartRecord* r) {
  InstallPnp(r->driver);
  NTSTATUS status = KsResolveRoutines();
  if (!NT_SUCCESS(status)) return status;
  return CreateWaveDevice(r);
}

NTSTATUS StartLegacy(QvStartRecord* r) {
  NTSTATUS status = QvLegacyStart(r);
  if (!NT_SUCCESS(status)) return status;
  if (!r->driver->DeviceObject) return STATUS_NO_SUCH_DEVICE;
  return g_QvRingHead ? CreateWaveDevice(r) : STATUS_SUCCESS;
}

NTSTATUS RunEntry(QvStartRecord* r, const UNICODE_STRING* registryPath) {
  uint32_t major = 0;
  PsGetVersion(&major, nullptr, nullptr, nullptr);
  g_QvMajorVersion = major;
  KsClockStart();
  // NT 4 has none of the resolved routines and calls its DMA through the
  // record.
  g_KsRoutines = {};
  KsBuildDmaOperations(major < 5);
  // The registry path's length plus 26 bytes: "\Parameters" and a zero.
  r->parametersPath = KsStringAlloc(static_cast<uint16_t>((registryPath->Length + 26) / 2), true);
  KsStringAppend(r->parametersPath, registryPath);
  KsStringAppendText(r->parametersPath, ParametersSuffix);
  g_QvRegistryPath = KsStringAlloc(static_cast<uint16_t>(registryPath->Length / 2 + 1), true);
  KsStringAppend(g_QvRegistryPath, registryPath);
  InstallDispatch(r->driver);
  return major >= 5 ? StartPnp(r) : StartLegacy(r);
}

void ForgetDriverState() {
  KsStringFree(g_QvRegistryPath);
  g_QvRegistryPath = nullptr;
  g_KeAfterRemoval = nullptr;
}
}  // namespace

NTSTATUS DriverEntry(DRIVER_OBJECT* driver, const UNICODE_STRING* registryPath) {
  KsSetLogDriver(driver);
  g_KeAfterRemoval = RetireWaveDevice;
  QvResetCounters();
  QvStartRecord r{driver, nullptr, nullptr, nullptr, nullptr, nullptr};
  NTSTATUS status;
  try {
    status = RunEntry(&r, registryPath);
  } catch (const KmException& e) {
    KsLogException(u"DriverEntry", &e, sizeof e);
    status = e.Code;
  }
  QvFreeStartRecord(&r);
  if (!NT_SUCCESS(status)) {
    // Nothing stays loaded after a failed entry.
    DriverUnload(driver);
  }
  return status;
}

void DriverUnload(DRIVER_OBJECT* driver) {
  // Each object removes itself from the list, so the head is read again.
  while (DEVICE_OBJECT* d = driver->DeviceObject) {
    CKeDevice* obj = CKeDevice::From(d);
    if (obj == g_QvWave) g_QvWave = nullptr;
    obj->Destroy();
  }
  bool conflict;
  CM_RESOURCE_LIST empty{};
  IoReportResourceUsage(nullptr, driver, &empty, sizeof empty, nullptr, nullptr, 0, false, &conflict);
  ForgetDriverState();
}
