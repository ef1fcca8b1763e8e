// The wave device \Device\Qvwave: created once per driver load, it keeps
// the system-wide rate values and hands board requests to the ring.
#include "kernel/qvdev.h"
#include "kernel/wavestream.h"

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
  // Kept open for writing: the rates the boards report are written back.
  if (parametersPath && NT_SUCCESS(KsRegOpenAbsoluteWritable(parametersPath, &m_parameters))) {
    KsRegReadDword(m_parameters, u"SampleRate", &m_sampleRate);
    KsRegReadDword(m_parameters, u"VariSpeed", &m_variSpeed);
    KsRegReadDword(m_parameters, u"FrameRate", &m_frameWord);
  }
  if (m_sampleRate < LowestSampleRate) m_sampleRate = DefaultSampleRate;
  if ((m_frameWord & 0xFFFF) <= 1000) m_frameWord = DefaultFrameWord;
}

CWaveDevice::~CWaveDevice() { KsRegClose(m_parameters); }

void CWaveDevice::StoreRates(uint32_t sampleRate, uint32_t variSpeed, uint32_t frameWord) {
  // A frame word whose low 16 bits are 0 carries no frame rate.
  bool frame = (frameWord & 0xFFFF) != 0;
  Lock();
  m_sampleRate = sampleRate;
  m_variSpeed = variSpeed;
  if (frame) m_frameWord = frameWord;
  Unlock();
  HANDLE shared = nullptr;
  if (!NT_SUCCESS(KsRegCreate(u"Software\\Quorvale\\MultiMedia", &shared))) shared = nullptr;
  for (HANDLE key : {m_parameters, shared}) {
    if (!key) continue;
    KsRegWriteDword(key, u"VariSpeed", variSpeed & 0xFFFF);
    KsRegWriteDword(key, u"SampleRate", sampleRate);
    if (frame) KsRegWriteDword(key, u"FrameRate", frameWord & 0xFFFF);
  }
  KsRegClose(shared);
}

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

namespace {
qvChannelInfo LimitsOnly() {
  qvChannelInfo r{};
  r.minFrames = QvMinFrames;
  r.maxFrames = QvMaxFrames;
  r.stepFrames = QvFrameStep;
  return r;
}
constexpr uint32_t SummaryLimit = 254;

// The part of a board's channels it offers, in each direction: the index
// (cut to the direction's channel count) moves the first channel up, the
// count (cut to the channels left after the index) limits the count.
struct Offered {
  uint32_t firstInput, firstOutput, inputs, outputs;
};
void Limit(uint32_t index, uint32_t count, uint32_t* first, uint32_t* channels) {
  if (index > *channels) index = *channels;
  if (count > *channels - index) count = *channels - index;
  *first += index;
  *channels = count;
}
Offered OfferedChannels(CBoardDevice* b) {
  uint32_t index, count;
  b->MediaLimits(&index, &count);
  Offered o{b->FirstInput(), b->FirstOutput(), b->Inputs(), b->Outputs()};
  Limit(index, count, &o.firstInput, &o.inputs);
  Limit(index, count, &o.firstOutput, &o.outputs);
  return o;
}
uint8_t Byte(uint32_t v) { return static_cast<uint8_t>(v > 0xFF ? 0xFF : v); }
}  // namespace

// The channels of one board of the ring (input 1 byte) or of all of them.
NTSTATUS CWaveDevice::ChannelQuery(IRP* irp, uint32_t in) {
  qvChannelInfo r = LimitsOnly();
  Lock();
  if (in >= 1) {
    CBoardDevice* b = QvRingBoard(*static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer));
    if (!b) {
      Unlock();
      return STATUS_NO_MORE_ENTRIES;
    }
    Offered o = OfferedChannels(b);
    r.firstInput = Byte(o.firstInput);
    r.firstOutput = Byte(o.firstOutput);
    r.inputs = static_cast<uint8_t>(o.inputs > SummaryLimit ? SummaryLimit : o.inputs);
    r.outputs = static_cast<uint8_t>(o.outputs > SummaryLimit ? SummaryLimit : o.outputs);
    r.sampleRate = m_sampleRate;
    r.variSpeed = m_variSpeed;
    r.boardId = b->BoardId();
  } else {
    uint32_t inputs = 0, outputs = 0;
    for (CBoardDevice* b = g_QvRingHead; b; b = b->RingNext()) {
      Offered o = OfferedChannels(b);
      if (inputs + o.inputs > SummaryLimit || outputs + o.outputs > SummaryLimit) {
        inputs = outputs = SummaryLimit;
        break;
      }
      inputs += o.inputs;
      outputs += o.outputs;
    }
    r.inputs = static_cast<uint8_t>(inputs);
    r.outputs = static_cast<uint8_t>(outputs);
    uint32_t rate = 0, vari = 0;
    HANDLE key;
    if (NT_SUCCESS(KsRegOpen(u"Software\\Quorvale\\MultiMedia", &key))) {
      KsRegReadDword(key, u"SampleRate", &rate);
      KsRegReadDword(key, u"VariSpeed", &vari);
      KsRegClose(key);
    }
    r.sampleRate = rate < 8000 ? 44100 : rate;
    r.variSpeed = vari;
  }
  Unlock();
  KsCopyOutput(irp, &r, sizeof r);
  return STATUS_SUCCESS;
}

// A query, or a stream opened from a map on the ring's boards and bound to
// the handle (an empty input only releases the handle's stream).
NTSTATUS CWaveDevice::StreamMap(IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  uint32_t in = s->Parameters.DeviceIoControl.InputBufferLength;
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  if (out && in <= 4) return ChannelQuery(irp, in);
  if (in == 0 && !(s->FileObject && s->FileObject->FsContext)) return STATUS_SUCCESS;
  CStreamHandle* handle = QvStreamHandleOf(s->FileObject);
  if (!handle) return STATUS_INVALID_PARAMETER;
  Lock();
  NTSTATUS status = handle->Open(irp, this, nullptr);
  Unlock();
  return status;
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
    case IOCTL_QV_WAVE_MAP: return StreamMap(irp);
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
