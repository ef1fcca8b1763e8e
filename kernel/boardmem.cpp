// Board-memory handles: the view of the card's memory, the location words
// and the card's PCI configuration space.
#include "kernel/boardmem.h"

#include <cstring>

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
constexpr uint32_t LocationBytes = 16;
constexpr uint32_t MaxConfigBytes = 64;

class CBoardMemoryHandle : public CKeHandle {
 public:
  explicit CBoardMemoryHandle(CUnitDevice* card) : m_card(card) {}
  ~CBoardMemoryHandle() override { KsUnmapPhysicalView(&m_view); }

  NTSTATUS Map() {
    CUnitDevice::MemoryRange range;
    if (!m_card->FirstMemoryRange(&range)) return STATUS_DEVICE_CONFIGURATION_ERROR;
    m_range = range;
    return KsMapPhysicalView(range.physical, range.length, &m_view);
  }

  NTSTATUS DeviceControl(IRP* irp) override {
    IO_STACK_LOCATION* s = Stack(irp);
    FILE_OBJECT* file = s->FileObject;
    uint32_t in = s->Parameters.DeviceIoControl.InputBufferLength;
    uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
    if ((out && !file->ReadAccess) || (in && !file->WriteAccess)) return STATUS_ACCESS_DENIED;
    switch (s->Parameters.DeviceIoControl.IoControlCode) {
      case IOCTL_QV_PCI_CONFIG_GET: return Location(irp, out);
      case IOCTL_QV_PCI_CONFIG_SET:
        if (!in) return STATUS_SUCCESS;
        return m_card->PciConfigWrite(0, irp->AssociatedIrp.SystemBuffer, in) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
      default: return STATUS_UNSUCCESSFUL;
    }
  }

 private:
  // The view's address, the range's length, the bus type and the PCI device
  // number, each only where the buffer holds it, then the configuration
  // bytes that fit behind them.
  NTSTATUS Location(IRP* irp, uint32_t out) {
    if (out < 4) return STATUS_BUFFER_TOO_SMALL;
    auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    uint32_t words[4] = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_view.Address)), m_range.length,
                         m_range.interfaceType, m_card->PciSlot()};
    uint32_t head = out < LocationBytes ? out / 4 * 4 : LocationBytes;
    std::memcpy(buffer, words, head);
    uint32_t config = out > LocationBytes ? out - LocationBytes : 0;
    if (config > MaxConfigBytes) config = MaxConfigBytes;
    if (config && !m_card->PciConfigRead(0, buffer + LocationBytes, config)) config = 0;
    irp->IoStatus.Information = head + config;
    return STATUS_SUCCESS;
  }

  CUnitDevice* m_card;
  CUnitDevice::MemoryRange m_range{};
  KsPhysicalView m_view{};
};
}  // namespace

NTSTATUS BoardMemoryHandleOpen(CUnitDevice* card, IRP* irp) {
  if (Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength < 4) return STATUS_BUFFER_TOO_SMALL;
  auto* handle = new CBoardMemoryHandle(card);
  if (!handle) return STATUS_INSUFFICIENT_RESOURCES;
  NTSTATUS status = handle->Map();
  if (!NT_SUCCESS(status)) {
    delete handle;
    return status;
  }
  Stack(irp)->FileObject->FsContext = handle;
  return handle->DeviceControl(irp);
}
