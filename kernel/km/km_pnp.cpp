// Plug and Play and power in the simulated kernel: the bus driver that owns
// the physical device objects, the PnP manager's requests, device
// properties, device and interface registry keys, loading drivers.
#include "kernel/km/km_private.h"

#include <cstring>
#include <map>
#include <vector>

namespace {
const std::u16string MachineKey = u"\\Registry\\Machine";
const std::u16string EnumKey = MachineKey + u"\\System\\CurrentControlSet\\Enum\\SIM\\";
const std::u16string ClassesKey = MachineKey + u"\\System\\CurrentControlSet\\Control\\DeviceClasses\\";

DRIVER_OBJECT* g_bus;
uint32_t g_nodeNumber;

struct Interface {
  std::u16string cls;   // the class in text form
  DEVICE_OBJECT* pdo;
  bool enabled;
  uint32_t token;       // the installer's number of the interface, never reused
};
uint32_t g_nextToken = 1;
std::mutex g_ifLock;
std::map<std::u16string, Interface> g_interfaces;  // by lower-case link name

std::u16string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return km::U16(text);
}

void FillResources(const simbus::DeviceNode& node, CM_RESOURCE_LIST* list) {
  *list = {};
  list->InterfaceType = PCIBus;
  list->BusNumber = node.bus;
  for (const auto& r : node.resources) {
    if (list->Count == KmMaxDescriptors) break;
    auto& d = list->Descriptors[list->Count++];
    d.ShareDisposition = r.shared ? CmResourceShareShared : CmResourceShareDeviceExclusive;
    switch (r.kind) {
      case simbus::ResKind::Port:
        d.Type = CmResourceTypePort;
        d.Flags = CM_RESOURCE_PORT_IO;
        break;
      case simbus::ResKind::Memory: d.Type = CmResourceTypeMemory; break;
      case simbus::ResKind::Interrupt:
        d.Type = CmResourceTypeInterrupt;
        d.Flags = r.latched ? CM_RESOURCE_INTERRUPT_LATCHED : 0;
        break;
    }
    d.Start = r.start;
    d.Length = r.length;
    d.Level = r.level;
    d.Vector = r.vector;
    d.Affinity = 1;
  }
}

// The bus driver's answers on a physical device object.
NTSTATUS BusPnp(DEVICE_OBJECT* pdo, IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  NTSTATUS status = irp->IoStatus.Status;
  switch (s->MinorFunction) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL: status = STATUS_SUCCESS; break;
    case IRP_MN_QUERY_CAPABILITIES: {
      DEVICE_CAPABILITIES* c = s->Parameters.DeviceCapabilities.Capabilities;
      if (c && c->Size >= sizeof(DEVICE_CAPABILITIES)) {
        c->Address = pdo->Node ? pdo->Node->node.address >> 16 : 0;
        c->UINumber = c->Address;
        c->DeviceState[1] = PowerDeviceD0;
        status = STATUS_SUCCESS;
      } else {
        status = STATUS_INVALID_PARAMETER;
      }
      break;
    }
    case IRP_MN_QUERY_DEVICE_RELATIONS:
      if (s->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation) {
        auto* r =
            static_cast<DEVICE_RELATIONS*>(ExAllocatePoolWithTag(PagedPool, DeviceRelationsSize(1), km::Tag("KmPn")));
        if (!r) {
          status = STATUS_INSUFFICIENT_RESOURCES;
          break;
        }
        r->Count = 1;
        DeviceRelationsObjects(r)[0] = pdo;
        ObReferenceObject(pdo);
        irp->IoStatus.Information = reinterpret_cast<uintptr_t>(r);
        status = STATUS_SUCCESS;
      }
      break;
    default: break;
  }
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS BusPower(DEVICE_OBJECT*, IRP* irp) {
  PoStartNextPowerIrp(irp);
  irp->IoStatus.Status = STATUS_SUCCESS;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

NTSTATUS InvalidRequest(DEVICE_OBJECT*, IRP* irp) {
  irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_INVALID_DEVICE_REQUEST;
}

DRIVER_OBJECT* NewDriverObject() {
  auto* d = new DRIVER_OBJECT();
  d->DriverExtension = &d->Extension;
  for (auto& f : d->MajorFunction) f = InvalidRequest;
  return d;
}

// A PnP request to the top of a stack, waited for; the status starts as
// "not supported" as the PnP manager sends it.
NTSTATUS SendPnp(DEVICE_OBJECT* target, const IO_STACK_LOCATION& params, uintptr_t* information) {
  DEVICE_OBJECT* top = IoGetAttachedDeviceReference(target);
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, false);
  IO_STATUS_BLOCK iosb{};
  IRP* irp = IoAllocateIrp(top->StackSize, false);
  if (!irp) {
    ObDereferenceObject(top);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  irp->Origin = km::IrpBuiltSync;
  irp->UserEvent = &done;
  irp->UserIosb = &iosb;
  irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
  irp->IoStatus.Information = information ? *information : 0;
  IO_STACK_LOCATION* s = IoGetNextIrpStackLocation(irp);
  *s = params;
  s->CompletionRoutine = nullptr;
  s->Control = 0;
  IoCallDriver(top, irp);
  KeWaitForSingleObject(&done, Executive, KernelMode, false, nullptr);
  ObDereferenceObject(top);
  if (information) *information = iosb.Information;
  return iosb.Status;
}

IO_STACK_LOCATION PnpParams(uint8_t minor) {
  IO_STACK_LOCATION s{};
  s.MajorFunction = IRP_MJ_PNP;
  s.MinorFunction = minor;
  return s;
}
}  // namespace

namespace km {

DRIVER_OBJECT* BusDriver() {
  if (!g_bus) {
    g_bus = NewDriverObject();
    g_bus->MajorFunction[IRP_MJ_PNP] = BusPnp;
    g_bus->MajorFunction[IRP_MJ_POWER] = BusPower;
  }
  return g_bus;
}

void Reset() {
  // Nodes left from an earlier run go with their physical device objects.
  while (g_bus && g_bus->DeviceObject) {
    DEVICE_OBJECT* pdo = g_bus->DeviceObject;
    delete pdo->Node;
    pdo->Node = nullptr;
    pdo->ReferenceCount = 0;
    IoDeleteDevice(pdo);
  }
  simbus::Reset();
  simbus::Bus().clock = Now;
  ResetRegistry();
  ResetIo();
  ResetSystem();
  ResetViews();
  ResetClock();
  FailPoolAfter(-1);
  DelayDpcs(0);
  {
    std::lock_guard<std::mutex> lk(g_ifLock);
    g_interfaces.clear();
  }
  delete g_bus;
  g_bus = nullptr;
  g_nodeNumber = 0;
}

NTSTATUS LoadDriver(DriverEntryRoutine entry, const std::u16string& servicePath, DRIVER_OBJECT** driver) {
  DRIVER_OBJECT* d = NewDriverObject();
  UNICODE_STRING path{static_cast<uint16_t>(servicePath.size() * 2), static_cast<uint16_t>(servicePath.size() * 2),
                      const_cast<WCHAR*>(servicePath.data())};
  NTSTATUS status;
  try {
    status = entry(d, &path);
  } catch (const KmException& e) {
    BugCheck("an exception left DriverEntry");
  }
  if (!NT_SUCCESS(status)) {
    if (d->DeviceObject) BugCheck("DriverEntry failed and left device objects");
    delete d;
    d = nullptr;
  }
  *driver = d;
  return status;
}

void UnloadDriver(DRIVER_OBJECT* driver) {
  if (driver->DriverUnload) driver->DriverUnload(driver);
  if (driver->DeviceObject) BugCheck("the driver unloaded with device objects left");
  delete driver;
}

Arrival PnpArrive(DRIVER_OBJECT* driver, const simbus::DeviceNode& node) {
  Arrival a{nullptr, STATUS_UNSUCCESSFUL, STATUS_UNSUCCESSFUL};
  DEVICE_OBJECT* pdo;
  char16_t name[40];
  std::u16string n = u"\\Device\\SimPnp" + U16(std::to_string(g_nodeNumber).c_str());
  (void)name;
  UNICODE_STRING u{static_cast<uint16_t>(n.size() * 2), static_cast<uint16_t>(n.size() * 2), n.data()};
  if (!NT_SUCCESS(IoCreateDevice(BusDriver(), 0, &u, 0x22, 0, false, &pdo))) return a;
  pdo->Flags &= ~DO_DEVICE_INITIALIZING;
  pdo->Node = new KmDeviceNode{node, EnumKey + U16(std::to_string(g_nodeNumber++).c_str()), 0, {}};
  a.pdo = pdo;
  a.addStatus = driver->DriverExtension->AddDevice(driver, pdo);
  if (!NT_SUCCESS(a.addStatus)) return a;
  CM_RESOURCE_LIST raw, translated;
  FillResources(node, &raw);
  FillResources(node, &translated);
  IO_STACK_LOCATION s = PnpParams(IRP_MN_START_DEVICE);
  s.Parameters.StartDevice = {&raw, &translated};
  a.startStatus = SendPnp(pdo, s, nullptr);
  return a;
}

NTSTATUS PnpRequest(DEVICE_OBJECT* pdo, uint8_t minor) { return SendPnp(pdo, PnpParams(minor), nullptr); }

NTSTATUS PowerRequest(DEVICE_OBJECT* pdo, uint8_t minor, POWER_STATE_TYPE type, POWER_STATE state) {
  IO_STACK_LOCATION s{};
  s.MajorFunction = IRP_MJ_POWER;
  s.MinorFunction = minor;
  s.Parameters.Power.Type = type;
  s.Parameters.Power.State = state;
  return SendPnp(pdo, s, nullptr);
}

NTSTATUS PnpSendTo(DEVICE_OBJECT* device, IO_STACK_LOCATION params, uintptr_t* information) {
  params.MajorFunction = IRP_MJ_PNP;
  return SendPnp(device, params, information);
}

std::vector<DEVICE_OBJECT*> PnpBusRelations(DEVICE_OBJECT* pdo, NTSTATUS* status) {
  IO_STACK_LOCATION s = PnpParams(IRP_MN_QUERY_DEVICE_RELATIONS);
  s.Parameters.QueryDeviceRelations.Type = BusRelations;
  uintptr_t info = 0;
  *status = SendPnp(pdo, s, &info);
  std::vector<DEVICE_OBJECT*> out;
  if (auto* r = reinterpret_cast<DEVICE_RELATIONS*>(info)) {
    for (uint32_t i = 0; i < r->Count; ++i) {
      out.push_back(DeviceRelationsObjects(r)[i]);
      ObDereferenceObject(DeviceRelationsObjects(r)[i]);
    }
    ExFreePool(r);
  }
  return out;
}

void PnpDeleteNode(DEVICE_OBJECT* pdo) {
  {
    std::lock_guard<std::mutex> lk(g_ifLock);
    for (auto it = g_interfaces.begin(); it != g_interfaces.end();) {
      if (it->second.pdo != pdo) {
        ++it;
        continue;
      }
      if (it->second.enabled) {
        std::u16string linkName = it->first.substr(0, it->first.find(u'\\', 4));
        UNICODE_STRING u{static_cast<uint16_t>(linkName.size() * 2), static_cast<uint16_t>(linkName.size() * 2),
                         linkName.data()};
        IoDeleteSymbolicLink(&u);
      }
      it = g_interfaces.erase(it);
    }
  }
  delete pdo->Node;
  pdo->Node = nullptr;
  IoDeleteDevice(pdo);
}

}  // namespace km

// ---- device properties and keys ------------------------------------------------

NTSTATUS IoGetDeviceProperty(DEVICE_OBJECT* pdo, DEVICE_REGISTRY_PROPERTY property, uint32_t length, void* buffer,
                             uint32_t* resultLength) {
  if (!pdo->Node) return STATUS_INVALID_DEVICE_REQUEST;
  std::vector<uint8_t> value;
  auto text = [&value](const std::u16string& s, bool terminate) {
    value.resize(s.size() * 2 + (terminate ? 2 : 0));
    std::memcpy(value.data(), s.data(), s.size() * 2);
  };
  switch (property) {
    case DevicePropertyHardwareID: text(pdo->Node->node.hardwareIds, false); break;
    case DevicePropertyDeviceDescription: text(pdo->Node->node.description, true); break;
    case DevicePropertyAddress:
      value.resize(4);
      std::memcpy(value.data(), &pdo->Node->node.address, 4);
      break;
    default: return STATUS_INVALID_PARAMETER;
  }
  *resultLength = static_cast<uint32_t>(value.size());
  if (length < value.size()) return STATUS_BUFFER_TOO_SMALL;
  std::memcpy(buffer, value.data(), value.size());
  return STATUS_SUCCESS;
}

static NTSTATUS CreateKeyAt(const std::u16string& path, HANDLE* key) {
  km::RegCreateKey(path);
  UNICODE_STRING u{static_cast<uint16_t>(path.size() * 2), static_cast<uint16_t>(path.size() * 2),
                   const_cast<WCHAR*>(path.data())};
  OBJECT_ATTRIBUTES a;
  InitializeObjectAttributes(&a, &u, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  return ZwOpenKey(key, KEY_ALL_ACCESS, &a);
}

NTSTATUS IoOpenDeviceRegistryKey(DEVICE_OBJECT* pdo, uint32_t which, ACCESS_MASK, HANDLE* key) {
  if (!pdo->Node) return STATUS_INVALID_DEVICE_REQUEST;
  std::u16string path =
      pdo->Node->registryPath + (which == PLUGPLAY_REGKEY_DEVICE ? u"\\Device Parameters" : u"\\Driver");
  return CreateKeyAt(path, key);
}

NTSTATUS IoRegisterDeviceInterface(DEVICE_OBJECT* pdo, const GUID* cls, const UNICODE_STRING* reference,
                                   UNICODE_STRING* symbolicLink) {
  if (!pdo->Node) return STATUS_INVALID_DEVICE_REQUEST;
  std::u16string c = GuidText(*cls);
  std::u16string instance = pdo->Node->registryPath.substr(EnumKey.size());
  std::u16string link = u"\\??\\SIM#" + instance + u"#" + c;
  if (reference && reference->Length) link += u"\\" + km::Str(reference);
  if (!km::MakePoolString(link, symbolicLink)) return STATUS_INSUFFICIENT_RESOURCES;
  bool added;
  {
    std::lock_guard<std::mutex> lk(g_ifLock);
    added = g_interfaces.emplace(km::Lower(link), Interface{c, pdo, false, g_nextToken}).second;
    if (added) ++g_nextToken;
  }
  // The installer's interface section: a new interface key is named after
  // its device.
  if (added) {
    HANDLE key;
    if (NT_SUCCESS(IoOpenDeviceInterfaceRegistryKey(symbolicLink, KEY_ALL_ACCESS, &key))) {
      std::u16string device = pdo->Node->registryPath + u"\\Device Parameters";
      if (auto name = km::RegReadString(device, u"FriendlyName")) {
        UNICODE_STRING value{24, 24, const_cast<WCHAR*>(u"FriendlyName")};
        uint8_t probe[4];
        uint32_t got = 0;
        if (ZwQueryValueKey(key, &value, KeyValuePartialInformation, probe, sizeof probe, &got) ==
            STATUS_OBJECT_NAME_NOT_FOUND)
          ZwSetValueKey(key, &value, 0, REG_SZ, name->c_str(), static_cast<uint32_t>(name->size() + 1) * 2);
      }
      ZwClose(key);
    }
  }
  return STATUS_SUCCESS;
}

// An enabled interface's link names its device's PDO, so a process opens
// the device stack by the interface's path.
NTSTATUS IoSetDeviceInterfaceState(const UNICODE_STRING* symbolicLink, bool enable) {
  std::lock_guard<std::mutex> lk(g_ifLock);
  std::u16string link = km::Lower(km::Str(symbolicLink));
  size_t end = link.find(u'\\', 4);
  std::u16string linkName = link.substr(0, end);
  auto it = g_interfaces.find(link);
  if (it == g_interfaces.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
  if (it->second.enabled == enable) return STATUS_SUCCESS;
  UNICODE_STRING u{static_cast<uint16_t>(linkName.size() * 2), static_cast<uint16_t>(linkName.size() * 2),
                   linkName.data()};
  if (enable) {
    UNICODE_STRING target{static_cast<uint16_t>(it->second.pdo->Name.size() * 2),
                          static_cast<uint16_t>(it->second.pdo->Name.size() * 2), it->second.pdo->Name.data()};
    IoCreateSymbolicLink(&u, &target);
  } else {
    IoDeleteSymbolicLink(&u);
  }
  it->second.enabled = enable;
  return STATUS_SUCCESS;
}

NTSTATUS IoGetDeviceInterfaces(const GUID* cls, DEVICE_OBJECT* pdo, uint32_t, WCHAR** list) {
  std::u16string c = GuidText(*cls), all;
  {
    std::lock_guard<std::mutex> lk(g_ifLock);
    for (const auto& [lower, i] : g_interfaces)
      if (i.enabled && i.cls == c && (!pdo || i.pdo == pdo)) all += lower + u'\0';
  }
  all += u'\0';
  auto* b = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, all.size() * 2, km::Tag("KmIf")));
  if (!b) return STATUS_INSUFFICIENT_RESOURCES;
  std::memcpy(b, all.data(), all.size() * 2);
  *list = b;
  return STATUS_SUCCESS;
}

namespace km {

bool DeviceInterfaceAt(const GUID& cls, size_t index, InterfaceInfo* out) {
  std::u16string c = GuidText(cls);
  std::lock_guard<std::mutex> lk(g_ifLock);
  for (const auto& [lower, i] : g_interfaces) {
    if (i.cls != c || !i.pdo->Node) continue;
    if (index--) continue;
    out->link = lower;
    out->instance = u"SIM\\" + i.pdo->Node->registryPath.substr(EnumKey.size());
    out->token = i.token;
    out->enabled = i.enabled;
    out->pdo = i.pdo;
    return true;
  }
  return false;
}

DEVICE_OBJECT* DeviceInterfacePdo(const std::u16string& link) {
  std::lock_guard<std::mutex> lk(g_ifLock);
  auto it = g_interfaces.find(Lower(link));
  return it == g_interfaces.end() ? nullptr : it->second.pdo;
}

}  // namespace km

NTSTATUS IoOpenDeviceInterfaceRegistryKey(const UNICODE_STRING* symbolicLink, ACCESS_MASK, HANDLE* key) {
  std::u16string link = km::Lower(km::Str(symbolicLink));
  std::u16string cls;
  {
    std::lock_guard<std::mutex> lk(g_ifLock);
    auto it = g_interfaces.find(link);
    if (it == g_interfaces.end()) return STATUS_OBJECT_NAME_NOT_FOUND;
    cls = it->second.cls;
  }
  for (auto& ch : link)
    if (ch == u'\\') ch = u'#';
  return CreateKeyAt(ClassesKey + cls + u"\\" + link + u"\\Device Parameters", key);
}

void IoInvalidateDeviceRelations(DEVICE_OBJECT* pdo, DEVICE_RELATION_TYPE) {
  if (pdo->Node) pdo->Node->invalidatedRelations++;
}

// ---- power ---------------------------------------------------------------------

NTSTATUS PoCallDriver(DEVICE_OBJECT* device, IRP* irp) { return IoCallDriver(device, irp); }

POWER_STATE PoSetPowerState(DEVICE_OBJECT* device, POWER_STATE_TYPE, POWER_STATE state) {
  DEVICE_OBJECT* bottom = device;
  while (bottom->AttachedTo) bottom = bottom->AttachedTo;
  POWER_STATE old{};
  if (bottom->Node) {
    old = bottom->Node->power;
    bottom->Node->power = state;
  }
  return old;
}

NTSTATUS PoRequestPowerIrp(DEVICE_OBJECT* pdo, uint8_t minor, POWER_STATE state, REQUEST_POWER_COMPLETE done,
                           void* context, IRP** irp) {
  IO_STACK_LOCATION s{};
  s.MajorFunction = IRP_MJ_POWER;
  s.MinorFunction = minor;
  s.Parameters.Power.Type = DevicePowerState;
  s.Parameters.Power.State = state;
  if (irp) *irp = nullptr;
  NTSTATUS status = SendPnp(pdo, s, nullptr);
  IO_STATUS_BLOCK iosb{status, 0};
  if (done) done(pdo, minor, state, context, &iosb);
  return STATUS_PENDING;
}

void PoStartNextPowerIrp(IRP*) {}


