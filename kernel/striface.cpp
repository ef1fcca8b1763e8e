// The stream interface of the PCI host-interface boards.
#include "kernel/striface.h"

#include "kernel/hostif.h"
#include "kernel/pciboard.h"
#include "kernel/protocol.h"
#include "kernel/qvdev.h"

#include <cstring>
#include <new>

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
constexpr uint32_t HardwareChannels = 16;
constexpr uint32_t StartCommand = 4, StopCommand = 3;
constexpr uint32_t SharedReplyOffset = 64;
constexpr uint32_t SharedReplyWords = (CStrIface::MailboxBytes - SharedReplyOffset - 4) / 4;
}  // namespace

CStrIface* CStrIface::Create(CPciDsp* dsp) {
  CStrIface* s = new CStrIface(dsp);
  if (s && !s->AllocateCommonBuffer()) {
    delete s;
    return nullptr;
  }
  return s;
}

CStrIface::~CStrIface() {
  QvEngineFree(engine);
  KsFreeCommonBuffer(m_adapter, m_length, m_physical, m_memory);
  KsPutDmaAdapter(m_adapter);
}

// The board reaches the buffer by bus master; a board without an adapter
// (no Plug and Play node) has no shared mailbox and uses the host port.
bool CStrIface::AllocateCommonBuffer() {
  auto* board = static_cast<CBoardDevice*>(m_dsp->Device());
  m_length = Blocks() * BlockBytes + MailboxBytes;
  m_adapter = KsGetDmaAdapter(board ? board->Pdo() : nullptr, (m_length + 4095) / 4096);
  if (!m_adapter) return true;
  m_memory = static_cast<uint8_t*>(KsAllocateCommonBuffer(m_adapter, m_length, &m_physical));
  return m_memory != nullptr;
}

CStrIface::CStrIface(CPciDsp* dsp) : m_dsp(dsp) {
  // "ChannelCount" lowers the hardware's count, rounded up to even.
  uint32_t count = 0xFFFFFFFF;
  auto* board = static_cast<CBoardDevice*>(dsp->Device());
  HANDLE key;
  if (board && board->Pdo() && NT_SUCCESS(KsOpenDeviceKey(board->Pdo(), &key))) {
    KsRegReadDword(key, u"ChannelCount", &count);
    KsRegClose(key);
  }
  m_channels = HardwareChannels;
  if (count < HardwareChannels) m_channels = static_cast<uint8_t>((count + 1) & ~1u);
  m_mode.rate = 44100;
  m_mode.flags = 25025;
}

// ---- commands ---------------------------------------------------------------------

NTSTATUS CStrIface::Command(QvMailbox* m) {
  if (m->count < 2 || m->count > MailboxWords) return STATUS_INVALID_BUFFER_SIZE;
  NTSTATUS status = m_dsp->Probe();
  if (!NT_SUCCESS(status)) return status;
  uint32_t hstr = m_dsp->ReadStatus();
  if ((hstr & 0x30) == 0x30 && SharedArea() && m->capacity <= SharedReplyWords) return SharedCommand(m);
  if ((hstr & 0x30) != 0x30 && m->word1 != StartCommand && m_running) {
    hstr = m_dsp->LogHostRegisters(u"CStrIface::Command", hstr);
    if ((hstr & 0x30) != 0x20) return STATUS_DEVICE_NOT_READY;
  }
  return m_dsp->Mailbox(m);
}

// The shared mailbox: the command's words at its start, the reply's
// header (bit 31 done, bit 23 error, bits 0..22 length) and words from
// +64; the host command 107 then 0x8000 tells the program.
NTSTATUS CStrIface::SharedCommand(QvMailbox* m) {
  uint8_t* area = SharedArea();
  uint32_t head[4] = {m->count, m->capacity, m->word0, m->word1};
  uint32_t zero = 0;
  std::memcpy(area + SharedReplyOffset, &zero, 4);
  std::memcpy(area, head, sizeof head);
  if (m->count > 2) std::memcpy(area + sizeof head, m->extra, (m->count - 2) * 4);
  m_dsp->WriteHostCommand(HcvrMailbox);
  m_dsp->WriteHostCommand(0x8000);
  uint32_t start = KsTimeMs();
  for (;;) {
    uint32_t header;
    std::memcpy(&header, area + SharedReplyOffset, 4);
    if (header & 0x80000000u) {
      if (header & 0x800000) return static_cast<NTSTATUS>(0xC0060000u | ((header >> 16) & 0xFF));
      uint32_t length = header & 0x7FFFFF;
      if (length > m->capacity) return STATUS_DATA_ERROR;
      if (length) std::memcpy(m->reply, area + SharedReplyOffset + 4, length * 4);
      m->replyBytes = length * 4;
      return STATUS_SUCCESS;
    }
    // The status read is a bus access: it lets time pass while polling.
    if (!(m_dsp->ReadStatus() & HstrRunning)) return STATUS_BUS_RESET;
    NTSTATUS status = m_dsp->Stall(start);
    if (status == STATUS_IO_TIMEOUT) m_dsp->WriteHostCommand(HcvrStop);
    if (!NT_SUCCESS(status)) return status;
  }
}

NTSTATUS CStrIface::StreamStatus() {
  return NT_SUCCESS(m_dsp->Probe()) ? STATUS_SUCCESS : STATUS_DEVICE_NOT_READY;
}

uint32_t CStrIface::ActiveWord() const {
  uint32_t word = m_activeWord & 0xFFFF0000u;
  for (uint32_t i = 0; i < 4; ++i) {
    if (m_users[i][0]) word |= 1u << (2 * i + 1);
    if (m_users[i][1]) word |= 1u << (2 * i);
  }
  return word;
}

NTSTATUS CStrIface::StreamStart(uint32_t block, uint32_t direction) {
  if (block >= Blocks() || direction > 1) return STATUS_INVALID_PARAMETER;
  if (m_running == 0 && !NT_SUCCESS(StreamStatus())) return STATUS_DEVICE_NOT_READY;
  ++m_users[block][direction];
  uint32_t word = ActiveWord();
  NTSTATUS status = STATUS_SUCCESS;
  if (m_running == 0 || word != m_activeWord) {
    QvMailbox m{0, nullptr, &word, 3, 0, 0, StartCommand};
    status = Command(&m);
  }
  if (!NT_SUCCESS(status)) {
    --m_users[block][direction];
    return status;
  }
  m_activeWord = word;
  ++m_running;
  return STATUS_SUCCESS;
}

NTSTATUS CStrIface::StreamStop(uint32_t block, uint32_t direction) {
  if (block >= Blocks() || direction > 1 || !m_users[block][direction] || !m_running)
    return STATUS_INVALID_PARAMETER;
  --m_users[block][direction];
  --m_running;
  if (m_running) {
    uint32_t word = ActiveWord();
    if (word == m_activeWord) return STATUS_SUCCESS;
    m_activeWord = word;
    QvMailbox m{0, nullptr, &word, 3, 0, 0, StartCommand};
    return Command(&m);
  }
  m_activeWord = 0;
  uint32_t zero = 0;
  QvMailbox m{0, nullptr, &zero, 3, 0, 0, StopCommand};
  return Command(&m);
}

// ---- the device mode --------------------------------------------------------------------

NTSTATUS CStrIface::OpenModeKey(HANDLE* key) {
  auto* board = static_cast<CPciBoardDevice*>(m_dsp->Device());
  const UNICODE_STRING* link = board ? board->ModeLink() : nullptr;
  if (!link) return STATUS_UNSUCCESSFUL;
  return KsOpenInterfaceKey(link, key);
}

void CStrIface::ReadDeviceMode() {
  if (g_QvWave) {
    g_QvWave->Lock();
    m_mode.rate = g_QvWave->SampleRate();
    m_mode.variSpeed = static_cast<int16_t>(g_QvWave->VariSpeed() & 0xFFFF);
    m_mode.flags = (m_mode.flags & ~0xFFFFu) | (g_QvWave->FrameWord() & 0xFFFF);
    g_QvWave->Unlock();
  }
  uint32_t mode = 0;
  HANDLE key;
  if (NT_SUCCESS(OpenModeKey(&key))) {
    KsRegReadDword(key, u"DeviceMode", &mode);
    KsRegClose(key);
  }
  m_mode.flags = (m_mode.flags & ~ModeSystemRate) | ((mode & 1) ? ModeSystemRate : 0);
}

NTSTATUS CStrIface::SetDeviceMode(const DeviceModeRecord& r, uint32_t* changes) {
  uint32_t c = 0;
  if (r.rate != m_mode.rate || r.variSpeed != m_mode.variSpeed) c |= ModeRateChanged;
  if ((r.flags & 0xFFFF) != (m_mode.flags & 0xFFFF)) c |= ModeFrameChanged;
  if ((r.flags ^ m_mode.flags) & ModeSystemRate) c |= ModeSyncChanged;
  if ((r.flags ^ m_mode.flags) & 0x00F00000) c |= ModeNibbleHighChanged;
  if ((r.flags ^ m_mode.flags) & 0x000F0000) c |= ModeNibbleLowChanged;
  if (changes) *changes = c;
  if (!c) return STATUS_SUCCESS;
  DeviceModeRecord old = m_mode;
  m_mode = r;
  if (c & ModeSyncChanged) {
    HANDLE key;
    if (NT_SUCCESS(OpenModeKey(&key))) {
      KsRegWriteDword(key, u"DeviceMode", (r.flags & ModeSystemRate) ? 1 : 0);
      KsRegClose(key);
    }
  }
  if ((c & (ModeRateChanged | ModeFrameChanged)) && (r.flags & ModeSystemRate) && g_QvWave)
    g_QvWave->StoreRates(r.rate, static_cast<uint16_t>(r.variSpeed), r.flags & 0xFFFF);
  NTSTATUS status = m_dsp->ApplyDeviceMode(false);
  if (!NT_SUCCESS(status)) m_mode = old;
  return status;
}

NTSTATUS CStrIface::ReadConfig(void* data, uint32_t length, uint32_t* got) {
  *got = 0;
  HANDLE key;
  NTSTATUS status = OpenModeKey(&key);
  if (!NT_SUCCESS(status)) return status;
  uint32_t type = 0;
  status = KsRegReadValue(key, u"DeviceConfig", data, length, &type, got);
  KsRegClose(key);
  return status;
}

NTSTATUS CStrIface::WriteConfig(uint32_t type, const void* data, uint32_t length) {
  HANDLE key;
  NTSTATUS status = OpenModeKey(&key);
  if (!NT_SUCCESS(status)) return status;
  status = KsRegWriteValue(key, u"DeviceConfig", type, data, length);
  KsRegClose(key);
  return status;
}

// ---- the generic codes --------------------------------------------------------------------

NTSTATUS CStrIface::DeviceModeIoctl(IRP* irp) {
  IO_STACK_LOCATION* s = Stack(irp);
  uint32_t in = s->Parameters.DeviceIoControl.InputBufferLength;
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  if (in) {
    if (in < 4) return STATUS_INVALID_BUFFER_SIZE;
    uint32_t words[5] = {};
    uint32_t n = in / 4 < 6 ? in / 4 : 6;
    uint32_t raw[6] = {};
    std::memcpy(raw, buffer, n * 4);
    uint32_t first = 0;
    if (n >= 2 && raw[0] == 0) first = 1;  // a leading zero word is skipped
    uint32_t have = n - first > 5 ? 5 : n - first;
    for (uint32_t i = 0; i < have; ++i) words[i] = raw[first + i];
    DeviceModeRecord r = m_mode;
    r.rate = words[0];
    if (have > 1) r.variSpeed = static_cast<int16_t>(words[1] & 0xFFFF);
    if (have > 2) r.flags = words[2];
    if (r.rate == 0) return STATUS_INVALID_PARAMETER;
    if (have > 4 && ((r.flags >> 20) & 0xF) == 7) {
      r.extra[0] = words[3];
      r.extra[1] = words[4];
    }
    NTSTATUS status = SetDeviceMode(r, nullptr);
    if (!NT_SUCCESS(status)) return status;
  }
  uint32_t record[3] = {m_mode.rate, static_cast<uint16_t>(m_mode.variSpeed), m_mode.flags};
  uint32_t bytes = out < 12 ? out / 4 * 4 : 12;
  std::memcpy(buffer, record, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CStrIface::Ioctl(IRP* irp, bool* handled) {
  IO_STACK_LOCATION* s = Stack(irp);
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  *handled = true;
  switch (s->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_QV_GET_STATUS:
    case IOCTL_QV_GET_INFO: {
      // Command 7: status words from +12; command 12: information from +16.
      bool status = s->Parameters.DeviceIoControl.IoControlCode == IOCTL_QV_GET_STATUS;
      uint32_t at = status ? 12 : 16;
      if (out <= at) {
        *handled = status;  // the status code's identity words stay the common ones
        return STATUS_SUCCESS;
      }
      uint32_t reply[MailboxWords] = {};
      uint32_t capacity = (out - at) / 4 < MailboxWords ? (out - at) / 4 : MailboxWords;
      QvMailbox m{0, reply, nullptr, 2, capacity, 0, status ? 7u : 12u};
      NTSTATUS st = Command(&m);
      if (!NT_SUCCESS(st)) return st;
      if (!status) std::memcpy(m_info, reply, sizeof m_info);
      std::memcpy(buffer + at, reply, m.replyBytes);
      irp->IoStatus.Information = at + m.replyBytes;
      return STATUS_SUCCESS;
    }
    case IOCTL_QV_DEVICE_MODE: return DeviceModeIoctl(irp);
    default: *handled = false; return STATUS_SUCCESS;
  }
}
