// The wave device \Device\Qvwave: created once per driver load, it keeps
// the system-wide rate values and hands board requests to the ring.
#include "kernel/qvdev.h"

#include <cstring>

namespace {
constexpr uint32_t QvDeviceObjectType = 0x83AE;
constexpr uint32_t LowestSampleRate = 8000;
constexpr uint32_t DefaultSampleRate = 44100;
constexpr uint32_t DefaultFrameWord = 25025;

NTSTATUS Fail(QvStartRecord* r, uint32_t event, const UNICODE_STRING* text, DEVICE_OBJECT* device) {
  KsLogEvent(device, event, STATUS_SUCCESS, text->Buffer, 0, nullptr);
  if (device) IoDeleteDevice(device);
  return STATUS_UNSUCCESSFUL;
}
}  // namespace

CWaveDevice::CWaveDevice(DEVICE_OBJECT* device, const UNICODE_STRING* parametersPath)
    : CKeDevice(device, nullptr, nullptr) {
  if (parametersPath && NT_SUCCESS(KsRegOpenAbsolute(parametersPath, &m_parameters))) {
    KsRegReadDword(m_parameters, u"SampleRate", &m_sampleRate);
    KsRegReadDword(m_parameters, u"VariSpeed", &m_variSpeed);
    KsRegReadDword(m_parameters, u"FrameRate", &m_frameWord);
  }
  if (m_sampleRate < LowestSampleRate) m_sampleRate = DefaultSampleRate;
  if ((m_frameWord & 0xFFFF) <= 1000) m_frameWord = DefaultFrameWord;
}

CWaveDevice::~CWaveDevice() { KsRegClose(m_parameters); }

NTSTATUS CWaveDevice::Start(IRP*) {
  if (g_KsRoutines.PoSetPowerState) {
    POWER_STATE s;
    s.DeviceState = PowerDeviceD0;
    g_KsRoutines.PoSetPowerState(m_device, DevicePowerState, s);
  }
  m_power = PowerDeviceD0;
  return STATUS_SUCCESS;
}

void CWaveDevice::Stop() { m_power = PowerDeviceD3; }

NTSTATUS CWaveDevice::BoardIdentity(IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  if (s->Parameters.DeviceIoControl.InputBufferLength < 1) return STATUS_INVALID_PARAMETER;
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  uint8_t n = *static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  uint32_t words[3];
  Lock();
  CBoardDevice* board = QvRingBoard(n);
  if (board) board->IdentityWords(words);
  Unlock();
  if (!board) return STATUS_NO_MORE_ENTRIES;
  if (out < 4) return STATUS_BUFFER_TOO_SMALL;
  uint32_t bytes = out < sizeof words ? out / 4 * 4 : sizeof words;
  std::memcpy(irp->AssociatedIrp.SystemBuffer, words, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CWaveDevice::DeviceControl(IRP* irp) {
  switch (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_QV_GET_ID:
    case IOCTL_QV_GET_STATUS: return BoardIdentity(irp);
    case IOCTL_QV_ATTACH:
    case IOCTL_QV_DETACH: return STATUS_SUCCESS;
    case IOCTL_QV_GET_NAME: {
      UNICODE_STRING name = Name();
      return QvAnswerName(irp, &name);
    }
    default: return STATUS_INVALID_DEVICE_REQUEST;
  }
}

NTSTATUS CreateWaveDevice(QvStartRecord* r) {
  if (g_QvWave) return STATUS_SUCCESS;
  UNICODE_STRING name = KsStringOf(u"\\Device\\Qvwave");
  UNICODE_STRING link = KsStringOf(u"\\??\\Qvwave");
  DEVICE_OBJECT* device;
  if (!NT_SUCCESS(IoCreateDevice(r->driver, sizeof(CWaveDevice), &name, QvDeviceObjectType, 0, false, &device)))
    return Fail(r, QvEventNoDevice, &name, nullptr);
  if (!NT_SUCCESS(IoCreateSymbolicLink(&link, &name))) return Fail(r, QvEventNoLink, &link, device);
  auto* wave = new (device->DeviceExtension) CWaveDevice(device, r->parametersPath);
  if (!NT_SUCCESS(wave->SetLinkName(&link))) {
    IoDeleteSymbolicLink(&link);
    wave->Destroy();
    return STATUS_UNSUCCESSFUL;
  }
  device->Flags |= DO_DIRECT_IO;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  wave->Start(nullptr);
  wave->SetState(KeStateStarted);
  g_QvWave = wave;
  return STATUS_SUCCESS;
}

NTSTATUS QvEnsureWaveDevice(DRIVER_OBJECT* driver) {
  if (g_QvWave || !g_QvRegistryPath) return STATUS_SUCCESS;
  QvStartRecord r{driver, nullptr, nullptr, nullptr, nullptr, nullptr};
  r.parametersPath = KsStringAlloc(static_cast<uint16_t>((g_QvRegistryPath->Length + 26) / 2));
  if (!r.parametersPath) return STATUS_INSUFFICIENT_RESOURCES;
  KsStringAppend(r.parametersPath, g_QvRegistryPath);
  KsStringAppendText(r.parametersPath, u"\\Parameters");
  NTSTATUS status = CreateWaveDevice(&r);
  QvFreeStartRecord(&r);
  return status;
}
