#include "Drv/Qvdrv/tests/scripted.h"

#include "kernel/km/kmsim.h"
#include "kernel/protocol.h"

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>

namespace scripted {
namespace {

enum class Kind { Board, Stream };

struct Device {
  Kind kind = Kind::Board;
  uint32_t boardId = 0;
  int failBootAt = -1;
  int boots = 0;
  bool booted = false;
  FILE_OBJECT* owner = nullptr;
  uint32_t blocks = 0;
  uint32_t served = 0;
  bool running = false;
  bool failWaits = false;
  IRP* pendingWait = nullptr;
  std::vector<Request> requests;
  struct Answer {
    bool succeed;
    std::vector<uint8_t> reply;
  };
  std::map<uint32_t, Answer> answers;
};

std::mutex g_lock;
DRIVER_OBJECT* g_driver = nullptr;
std::map<std::string, Device> g_devices;
std::map<DEVICE_OBJECT*, std::string> g_names;

NTSTATUS Complete(IRP* irp, NTSTATUS status, uintptr_t information = 0) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, 0);
  return status;
}

NTSTATUS CreateClose(DEVICE_OBJECT* device, IRP* irp) {
  if (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_CLEANUP) {
    std::lock_guard<std::mutex> lk(g_lock);
    Device& d = g_devices[g_names[device]];
    if (d.owner == IoGetCurrentIrpStackLocation(irp)->FileObject) d.owner = nullptr;
  }
  return Complete(irp, STATUS_SUCCESS);
}

// The block a wait returns: position, a time stamp of 0, the rest zero.
uintptr_t FillBlock(IRP* irp, uint32_t position) {
  uint32_t status[8] = {position, 0, 0, 0, 0, 0, 0, 0};
  std::memcpy(irp->AssociatedIrp.SystemBuffer, status, sizeof status);
  return sizeof status;
}

NTSTATUS BoardControl(Device& d, IRP* irp, uint32_t code, uint32_t outLen) {
  FILE_OBJECT* file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  switch (code) {
    case IOCTL_QV_ATTACH:
      if (d.owner && d.owner != file) return STATUS_DEVICE_BUSY;
      d.owner = file;  // the attach that finds the board stopped owns it too
      return d.booted ? STATUS_SUCCESS : STATUS_BUS_RESET;
    case IOCTL_QV_GET_ID:
    case IOCTL_QV_GET_STATUS: {  // the identity words lead the status
      if (outLen < 12) return STATUS_BUFFER_TOO_SMALL;
      uint32_t id[3] = {QvInterfaceVersion, 0, d.boardId};
      std::memcpy(irp->AssociatedIrp.SystemBuffer, id, sizeof id);
      irp->IoStatus.Information = sizeof id;
      return STATUS_SUCCESS;
    }
    case IOCTL_QV_BOOT:
    case IOCTL_QV_LOAD:
      if (d.boots++ == d.failBootAt) return STATUS_UNSUCCESSFUL;
      d.booted = true;
      return STATUS_SUCCESS;
    default: {
      auto a = d.answers.find(code);
      if (a == d.answers.end()) return STATUS_INVALID_DEVICE_REQUEST;
      if (!a->second.succeed) return STATUS_UNSUCCESSFUL;
      size_t n = a->second.reply.size() < outLen ? a->second.reply.size() : outLen;
      if (n) std::memcpy(irp->AssociatedIrp.SystemBuffer, a->second.reply.data(), n);
      irp->IoStatus.Information = n;
      return STATUS_SUCCESS;
    }
  }
}

NTSTATUS StreamControl(Device& d, IRP* irp, uint32_t code, uint32_t inLen, std::unique_lock<std::mutex>& lk) {
  switch (code) {
    case IOCTL_QV_WAVE_START: d.running = true; break;
    case IOCTL_QV_WAVE_PAUSE: d.running = false; return STATUS_SUCCESS;
    case IOCTL_QV_WAVE_STOP: {
      d.running = false;
      IRP* wait = d.pendingWait;
      d.pendingWait = nullptr;
      lk.unlock();
      if (wait) Complete(wait, STATUS_CANCELLED);
      return STATUS_SUCCESS;
    }
    case IOCTL_QV_WAVE_WAIT:
      if (d.failWaits) return STATUS_UNSUCCESSFUL;
      if (d.served < d.blocks && d.running) {
        irp->IoStatus.Information = FillBlock(irp, ++d.served * 128);
        return STATUS_SUCCESS;
      }
      IoMarkIrpPending(irp);
      d.pendingWait = irp;
      return STATUS_PENDING;
    case IOCTL_QV_WAVE_MAP: return STATUS_SUCCESS;
    default: return STATUS_INVALID_DEVICE_REQUEST;
  }
  // A stream that resumes serves a wait left pending while it was paused.
  if (d.pendingWait && d.served < d.blocks) {
    IRP* wait = d.pendingWait;
    d.pendingWait = nullptr;
    uintptr_t n = FillBlock(wait, ++d.served * 128);
    lk.unlock();
    Complete(wait, STATUS_SUCCESS, n);
  }
  (void)inLen;
  return STATUS_SUCCESS;
}

NTSTATUS Control(DEVICE_OBJECT* device, IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  uint32_t code = s->Parameters.DeviceIoControl.IoControlCode;
  uint32_t inLen = s->Parameters.DeviceIoControl.InputBufferLength;
  uint32_t outLen = s->Parameters.DeviceIoControl.OutputBufferLength;
  std::unique_lock<std::mutex> lk(g_lock);
  Device& d = g_devices[g_names[device]];
  const auto* in = static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  d.requests.push_back({code, std::vector<uint8_t>(in, in ? in + inLen : in)});
  irp->IoStatus.Information = 0;
  NTSTATUS status = d.kind == Kind::Board ? BoardControl(d, irp, code, outLen) : StreamControl(d, irp, code, inLen, lk);
  if (status == STATUS_PENDING) return status;
  if (lk.owns_lock()) lk.unlock();
  return Complete(irp, status, irp->IoStatus.Information);
}

NTSTATUS Entry(DRIVER_OBJECT* driver, const UNICODE_STRING*) {
  driver->MajorFunction[IRP_MJ_CREATE] = CreateClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = CreateClose;
  driver->MajorFunction[IRP_MJ_CLEANUP] = CreateClose;
  driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = Control;
  driver->DriverUnload = [](DRIVER_OBJECT* d) {
    while (d->DeviceObject) IoDeleteDevice(d->DeviceObject);
  };
  return STATUS_SUCCESS;
}

void Add(const char* name, Device device) {
  std::u16string n = km::U16(name);
  std::u16string deviceName = u"\\Device\\" + n, linkName = u"\\??\\" + n;
  UNICODE_STRING dn, ln;
  RtlInitUnicodeString(&dn, deviceName.c_str());
  RtlInitUnicodeString(&ln, linkName.c_str());
  DEVICE_OBJECT* d = nullptr;
  IoCreateDevice(g_driver, 0, &dn, QvDeviceType, 0, false, &d);
  IoCreateSymbolicLink(&ln, &dn);
  std::lock_guard<std::mutex> lk(g_lock);
  g_devices[name] = device;
  g_names[d] = name;
}

}  // namespace

void Load() {
  km::LoadDriver(Entry, u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Scripted", &g_driver);
}

void Unload() {
  {
    std::lock_guard<std::mutex> lk(g_lock);
    for (auto& [name, d] : g_devices) {
      if (d.pendingWait) Complete(d.pendingWait, STATUS_CANCELLED);
      d.pendingWait = nullptr;
    }
  }
  for (auto& [device, name] : g_names) {
    std::u16string link = u"\\??\\" + km::U16(name.c_str());
    UNICODE_STRING ln;
    RtlInitUnicodeString(&ln, link.c_str());
    IoDeleteSymbolicLink(&ln);
  }
  if (g_driver) km::UnloadDriver(g_driver);
  g_driver = nullptr;
  g_devices.clear();
  g_names.clear();
}

void AddBoard(const char* name, uint32_t boardId, int failBootAt) {
  Device d;
  d.kind = Kind::Board;
  d.boardId = boardId;
  d.failBootAt = failBootAt;
  Add(name, d);
}

void AddStream(const char* name, uint32_t blocks) {
  Device d;
  d.kind = Kind::Stream;
  d.blocks = blocks;
  Add(name, d);
}

std::vector<Request> BoardRequests(const char* name) {
  std::lock_guard<std::mutex> lk(g_lock);
  return g_devices[name].requests;
}
std::vector<Request> StreamRequests(const char* name) { return BoardRequests(name); }

void SetAnswer(const char* name, uint32_t code, bool succeed, std::vector<uint8_t> reply) {
  std::lock_guard<std::mutex> lk(g_lock);
  g_devices[name].answers[code] = {succeed, std::move(reply)};
}

uint32_t StreamWaitsServed(const char* name) {
  std::lock_guard<std::mutex> lk(g_lock);
  return g_devices[name].served;
}

void AddBlocks(const char* name, uint32_t blocks) {
  std::unique_lock<std::mutex> lk(g_lock);
  Device& d = g_devices[name];
  d.blocks += blocks;
  if (!d.pendingWait || !d.running) return;
  IRP* wait = d.pendingWait;
  d.pendingWait = nullptr;
  uintptr_t n = FillBlock(wait, ++d.served * 128);
  lk.unlock();
  Complete(wait, STATUS_SUCCESS, n);
}

void FailStreamWaits(const char* name) {
  std::lock_guard<std::mutex> lk(g_lock);
  g_devices[name].failWaits = true;
}

}  // namespace scripted
