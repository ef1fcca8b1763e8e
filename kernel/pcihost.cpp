// The host interface of the PCI DSP boards: start and stop, the firmware
// boot, the data writers and readers, the flush, the mailbox, the board's
// buffer commands, the host-register log, the interrupt and its DPCs.
#include "kernel/pciboard.h"
#include "kernel/hostif.h"
#include "kernel/striface.h"

#include <cstring>

namespace {
// Appends a number in hex, at least `digits` digits.
void AppendHex(WCHAR*& at, WCHAR* end, uint32_t v, int digits = 1) {
  WCHAR tmp[8];
  int n = 0;
  do {
    tmp[n++] = u"0123456789ABCDEF"[v & 15];
    v >>= 4;
  } while (v || n < digits);
  while (n && at < end) *at++ = tmp[--n];
}
void AppendText(WCHAR*& at, WCHAR* end, const char16_t* t) {
  while (*t && at < end) *at++ = *t++;
}
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
uint32_t InLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.InputBufferLength; }
uint32_t OutLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength; }
}  // namespace

// ---- start and stop --------------------------------------------------------------------

CPciDsp::CPciDsp(CDspBoardDevice* device, uint32_t boardId) : CDspDevice(device, PortLink::Memory, 0) {
  SetKind(boardId);
}

CPciDsp::~CPciDsp() { CPciDsp::Stop(); }

void CPciDsp::SetOwner(FILE_OBJECT* owner) { CDspDevice::SetOwner(owner); }

NTSTATUS CPciDsp::Start(const HwRegs& regs, const HwRegs&) {
  if (!regs.base) return STATUS_DEVICE_CONFIGURATION_ERROR;
  NTSTATUS status = CDspDevice::Start(regs, HwRegs{});
  if (!NT_SUCCESS(status)) return status;
  auto* board = static_cast<CBoardDevice*>(Device());
  if (board && board->Pdo()) {
    uint8_t latency = 0x40;
    board->PciConfigWrite(HostLatencyTimer, &latency, 1);
  }
  HwWrite32(Registers(), HostCommand, HcvrStart);
  BootFirmware(nullptr, 0);
  if (!m_dpcsReady) InitBoardDpcs();
  if (board && !board->ConnectBoardInterrupt(BoardIsr, this)) return STATUS_DEVICE_CONFIGURATION_ERROR;
  if (!m_stream) {
    m_stream = CStrIface::Create(this);
    if (!m_stream) return STATUS_INSUFFICIENT_RESOURCES;
  }
  return StartBoard();
}

void CPciDsp::Stop() {
  if (Registers().base && BoardId() != BoardIdDnv) {
    HwWrite32(Registers(), HostControl, HctrBoot);
    HwWrite32(Registers(), HostCommand, HcvrStop);
  }
  // No DPC may run after the board and its streams are gone: the interrupt
  // is quieted first (under its own lock, so an interrupt running now ends
  // before), then what it queued is taken off the queue and a DPC already
  // running is waited for. The next start sets the DPCs up again.
  if (m_dpcsReady) {
    KINTERRUPT* interrupt = Device() ? static_cast<CBoardDevice*>(Device())->BoardInterrupt() : nullptr;
    auto quiet = [](void* context) {
      static_cast<CPciDsp*>(context)->m_quiet = true;
      return true;
    };
    if (interrupt) KeSynchronizeExecution(interrupt, quiet, this);
    else m_quiet = true;
    KeRemoveQueueDpc(&m_stateDpc);
    KeRemoveQueueDpc(&m_secondDpc);
    KeFlushQueuedDpcs();
    m_dpcsReady = false;
  }
  if (m_stream) {
    CStrIface::Destroy(m_stream);
    m_stream = nullptr;
  }
  CDspDevice::Stop();
}

NTSTATUS CPciDsp::Open(IRP*) { return Registers().base ? STATUS_SUCCESS : STATUS_DEVICE_NOT_READY; }

NTSTATUS CPciDsp::Close(IRP* irp) {
  if (Stack(irp)->FileObject == Owner()) SetOwner(nullptr);
  return STATUS_SUCCESS;
}

void CPciDsp::WriteHostCommand(uint32_t value) { HwWrite32(Registers(), HostCommand, value); }

// ---- status, ready check, control poll --------------------------------------------------

uint32_t CPciDsp::ReadStatus() {
  uint32_t status = 0;
  for (int i = 0; i < HstrTries; ++i) {
    status = HwRead32(Registers(), HostStatus);
    if (!(status & HstrBusy)) return status;
  }
  // A register that never settles reads as a board that runs nothing.
  return 0;
}

NTSTATUS CPciDsp::Probe() {
  if (!Registers().base) return STATUS_DEVICE_NOT_READY;
  return (ReadStatus() & HstrRunning) ? STATUS_SUCCESS : STATUS_BUS_RESET;
}

uint32_t CPciDsp::ControlPoll() {
  uint32_t control = 0;
  for (int i = 0; i < 10; ++i) {
    control = HwRead32(Registers(), HostControl);
    if (control & (1u << 14)) break;
  }
  return (control >> 5) & 1;
}

// ---- boot -----------------------------------------------------------------------------------

NTSTATUS CPciDsp::Boot(const void* image, uint32_t length) { return BootFirmware(image, length); }

NTSTATUS CPciDsp::BootFirmware(const void* image, uint32_t length) {
  if (!Registers().base) return STATUS_DEVICE_NOT_READY;
  HwWrite32(Registers(), HostControl, HctrBoot);
  if (ReadStatus() & HstrRunning) {
    HwWrite32(Registers(), HostCommand, HcvrReset);
    SetProgramWord(0);
    KsSleepMs(100);
  }
  if (!image || !length) return Probe();
  NTSTATUS status = STATUS_SUCCESS;
  if (!(ReadStatus() & HstrRunning)) {
    // Words 4 and 5 are read whole, so the image must hold 24 bytes.
    uint32_t words[6];
    if (length < sizeof words) {
      status = STATUS_BUFFER_TOO_SMALL;
    } else {
      std::memcpy(words, image, sizeof words);
      if (words[5] != BoardId()) status = STATUS_INVALID_PARAMETER;
    }
    if (NT_SUCCESS(status)) {
      SetProgramWord(words[4]);
      uint32_t count = length / 4, done = 0;
      // The image may be unaligned in the request's buffer: send it in
      // aligned pieces.
      const auto* bytes = static_cast<const uint8_t*>(image);
      uint32_t chunk[64];
      for (uint32_t at = 0; at < count && NT_SUCCESS(status); at += 64) {
        uint32_t n = count - at < 64 ? count - at : 64;
        std::memcpy(chunk, bytes + at * 4, n * 4);
        status = WriteWords(chunk, n, &done);
      }
    }
    if (NT_SUCCESS(status)) {
      uint32_t start = KsTimeMs();
      while (!(ReadStatus() & HstrRunning)) {
        if (KsTimeMs() - start >= 1000) {
          status = STATUS_IO_TIMEOUT;
          break;
        }
        KsSleepMs(50);
      }
    }
  }
  if (NT_SUCCESS(status)) {
    // The firmware's first words: kept for the log, then drained.
    uint32_t kept[8];
    uint32_t got = 0;
    for (;;) {
      bool any = false;
      while (ReadStatus() & HstrReceive) {
        uint32_t w = HwRead32(Registers(), HostData);
        if (got < 8) kept[got] = w;
        ++got;
        any = true;
      }
      if (!any) break;
      KsSleepMs(10);
    }
    if (got) {
      WCHAR text[48] = {}, *at = text, *end = text + 47;
      AppendText(at, end, u"Firmware ");
      AppendHex(at, end, ProgramWord());
      AppendText(at, end, u" post data");
      KsLogEvent(Device() ? static_cast<CBoardDevice*>(Device())->DeviceObject() : nullptr, 0x40060003,
                 STATUS_SUCCESS, text, (got < 8 ? got : 8) * 4, kept);
    }
  }
  if (!NT_SUCCESS(status)) {
    HwWrite32(Registers(), HostCommand, HcvrReset);
    return status;
  }
  return Probe();
}

// ---- writers, readers, flush ---------------------------------------------------------------

NTSTATUS CPciDsp::WriteWords(const uint32_t* words, uint32_t count, uint32_t* done) {
  uint32_t start = KsTimeMs(), i = 0;
  while (i < count) {
    uint32_t status = ReadStatus();
    if (status & HstrRoom) {
      while (i < count) {
        if (count - i >= 4 && (status & HstrEmpty)) {
          for (uint32_t k = 0; k < 4; ++k) HwWrite32(Registers(), HostData + 4 * k, words[i + k]);
          i += 4;
        } else if (status & HstrRoom) {
          HwWrite32(Registers(), HostData, words[i++]);
        } else {
          break;
        }
        status = ReadStatus();
      }
      start = KsTimeMs();
      continue;
    }
    NTSTATUS s = StallCheck(start);
    if (!NT_SUCCESS(s)) {
      Flush();
      *done = i * 4;
      return s;
    }
  }
  *done = count * 4;
  return STATUS_SUCCESS;
}

NTSTATUS CPciDsp::WriteBytes(const uint8_t* bytes, uint32_t count, uint32_t* done) {
  uint32_t start = KsTimeMs(), i = 0;
  while (i < count) {
    if (ReadStatus() & HstrRoom) {
      while (i < count && (ReadStatus() & HstrRoom)) HwWrite32(Registers(), HostData, bytes[i++]);
      start = KsTimeMs();
      continue;
    }
    NTSTATUS s = StallCheck(start);
    if (!NT_SUCCESS(s)) {
      Flush();
      *done = i;
      return s;
    }
  }
  *done = count;
  return STATUS_SUCCESS;
}

NTSTATUS CPciDsp::ReadWords(uint32_t* words, uint32_t count, uint32_t* done) {
  uint32_t start = KsTimeMs(), i = 0;
  while (i < count) {
    if (ReadStatus() & HstrReceive) {
      while (i < count && (ReadStatus() & HstrReceive)) words[i++] = HwRead32(Registers(), HostData);
      start = KsTimeMs();
      continue;
    }
    NTSTATUS s = StallCheck(start);
    if (!NT_SUCCESS(s)) {
      Flush();
      *done = i * 4;
      return s;
    }
  }
  *done = count * 4;
  return STATUS_SUCCESS;
}

void CPciDsp::Flush() {
  if (ReadStatus() & HstrFlush) {
    HwWrite32(Registers(), HostCommand, HcvrFlush);
    KsSleepMs(10);
  }
  for (;;) {
    bool any = false;
    while (ReadStatus() & HstrReceive) {
      HwRead32(Registers(), HostData);
      any = true;
    }
    KsSleepMs(10);
    if (!any) break;
  }
}

// ---- the mailbox -------------------------------------------------------------------------------

NTSTATUS CPciDsp::Mailbox(QvMailbox* m) {
  m->replyBytes = 0;
  if (m->count < 2 || m->count > MailboxWords) return STATUS_INVALID_BUFFER_SIZE;
  uint32_t head[4] = {m->count, m->capacity, m->word0, m->word1}, done = 0;
  NTSTATUS status = WriteWords(head, 4, &done);
  if (NT_SUCCESS(status) && m->count > 2) status = WriteWords(m->extra, m->count - 2, &done);
  if (!NT_SUCCESS(status)) return status;
  if (m->word1 > 0x7FFFFF && (BoardId() == BoardIdTvr || BoardId() == BoardIdTv2))
    KeStallExecutionProcessor(250);
  else if (m->capacity)
    KsSleepMs(2);
  uint32_t start = KsTimeMs();
  for (;;) {
    uint32_t hstr = ReadStatus();
    if (hstr & HstrReceive) {
      uint32_t header = HwRead32(Registers(), HostData);
      if (header & 0x800000) {
        Flush();
        return static_cast<NTSTATUS>(0xC0060000u | (header >> 16));
      }
      uint32_t length = header & 0x7FFFFF;
      if (length > m->capacity) {
        Flush();
        return STATUS_DATA_ERROR;
      }
      status = ReadWords(m->reply, length, &done);
      m->replyBytes = done;
      return status;
    }
    if (!(hstr & HstrRunning)) return STATUS_BUS_RESET;
    status = StallCheck(start);
    if (!NT_SUCCESS(status)) {
      Flush();
      return status;
    }
  }
}

NTSTATUS CPciDsp::Command(QvMailbox* m) { return m_stream ? m_stream->Command(m) : Mailbox(m); }

NTSTATUS CPciDsp::StreamCommand(uint32_t code, const uint32_t* words, uint32_t count, uint32_t* reply,
                                uint32_t capacity, uint32_t* replied) {
  QvMailbox m{0, reply, words, count + 2, capacity, 0, code};
  NTSTATUS status = Command(&m);
  if (replied) *replied = m.replyBytes / 4;
  return status;
}

NTSTATUS CPciDsp::BufferCommand(uint32_t code, IRP* irp) {
  uint32_t in = InLength(irp), out = OutLength(irp);
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  uint32_t words[MailboxWords];
  uint32_t n = in / 4;
  if (n > MailboxWords - 2) return STATUS_INVALID_BUFFER_SIZE;
  if (n) std::memcpy(words, buffer, n * 4);
  // The reply lands in the same system buffer the input came from.
  QvMailbox m{0, reinterpret_cast<uint32_t*>(buffer), words, n + 2, out / 4, 0, code};
  NTSTATUS status = Command(&m);
  irp->IoStatus.Information = m.replyBytes;
  return status;
}

// A DSP-memory write larger than the mailbox holds goes in pieces, each
// with its own count and address.
NTSTATUS CPciDsp::DspMemory(IRP* irp) {
  uint32_t in = InLength(irp);
  if (in < 8) return STATUS_INVALID_PARAMETER;
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  uint32_t head, address;
  std::memcpy(&head, buffer, 4);
  std::memcpy(&address, buffer + 4, 4);
  if (!(head & 0x800000)) return BufferCommand(2, irp);
  uint32_t count = head & 0x7FFFFF;
  if ((in - 8) / 4 < count) return STATUS_INVALID_PARAMETER;
  constexpr uint32_t PerCommand = MailboxWords - 4;
  uint32_t at = 0;
  do {
    uint32_t n = count - at < PerCommand ? count - at : PerCommand;
    uint32_t words[MailboxWords];
    words[0] = 0x800000 | n;
    words[1] = address + at;
    std::memcpy(&words[2], buffer + 8 + at * 4, n * 4);
    NTSTATUS status = StreamCommand(2, words, n + 2);
    if (!NT_SUCCESS(status)) return status;
    at += n;
  } while (at < count);
  irp->IoStatus.Information = 0;
  return STATUS_SUCCESS;
}

NTSTATUS CPciDsp::Load(IRP* irp) {
  uint32_t in = InLength(irp);
  if (in < 4) return STATUS_INVALID_PARAMETER;
  NTSTATUS status = StreamCommand(1, nullptr, 0);
  if (!NT_SUCCESS(status)) return status;
  uint32_t done = 0;
  status = WriteBytes(static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer), in, &done);
  if (!NT_SUCCESS(status)) return status;
  if (m_stream) m_stream->ProgramLoaded();
  status = ApplyDeviceMode(true);
  if (!NT_SUCCESS(status)) return status;
  // A program runs: the board device switches its interfaces on.
  if (auto* board = static_cast<CBoardDevice*>(Device())) board->SetInterfaces(true);
  return STATUS_SUCCESS;
}

NTSTATUS CPciDsp::ApplyDeviceMode(bool) { return STATUS_SUCCESS; }

// ---- the host-register log -----------------------------------------------------------------------

uint32_t CPciDsp::LogHostRegisters(const WCHAR* source, uint32_t seen) {
  uint32_t cstr = 0;
  auto* board = static_cast<CBoardDevice*>(Device());
  if (board && board->Pdo()) board->PciConfigRead(4, &cstr, 4);
  uint32_t hcvr = HwRead32(Registers(), HostCommand);
  uint32_t reply[8] = {};
  uint32_t now = ReadStatus();
  if (!(now & HstrAnswering)) {
    Flush();
    // Words sent: 4, 8, 0, 2, 8, 1800.
    const uint32_t rest[2] = {8, 1800};
    QvMailbox m{0, reply, rest, 4, 8, 0, 2};
    Mailbox(&m);
    now = ReadStatus();
  }
  WCHAR text[64] = {}, *at = text, *end = text + 63;
  AppendText(at, end, u"HSTR=");
  AppendHex(at, end, seen);
  AppendText(at, end, u",");
  AppendHex(at, end, now);
  AppendText(at, end, u" HCVR=");
  AppendHex(at, end, hcvr);
  AppendText(at, end, u" CSTR=");
  AppendHex(at, end, cstr, 8);
  (void)source;
  KsLogEvent(board ? board->DeviceObject() : nullptr, 0xC006006D, STATUS_SUCCESS, text, sizeof reply, reply);
  return now;
}

// ---- the interrupt and its DPCs ---------------------------------------------------------------------

void CPciDsp::InitBoardDpcs() {
  m_lastInterrupt = 0;
  KeInitializeDpc(&m_stateDpc, BoardDpc, this);
  KeInitializeDpc(&m_secondDpc, [](KDPC*, void*, void*, void*) {}, this);
  m_dpcsReady = true;
  m_quiet = false;
}

bool CPciDsp::BoardIsr(KINTERRUPT*, void* context) {
  auto* self = static_cast<CPciDsp*>(context);
  // A stopped board was told to stop and its registers may be unmapped:
  // the interrupt is not its own.
  if (self->m_quiet) return false;
  uint32_t hstr = self->ReadStatus();
  if (!(hstr & HstrInterrupt)) return false;
  if (self->m_armSecond && (hstr & HstrReceive)) {
    self->m_armSecond = false;
    KeInsertQueueDpc(&self->m_secondDpc, nullptr, nullptr);
  }
  uint8_t state = self->InterruptStep();
  HwWrite32(self->Registers(), HostCommand, HcvrAck);
  KeQuerySystemTime(&self->m_lastInterrupt);
  if (state && state != self->m_lastState) {
    self->m_lastState = state;
    KeInsertQueueDpc(&self->m_stateDpc, self, nullptr);
  }
  return true;
}

// The Dunvell's interrupt: its status word says whether it interrupted; the
// stream positions come from its registers (the output and third counters
// in 4-byte units, kept to 24 bits).
bool CPciDsp::BoardIsrDnv(KINTERRUPT*, void* context) {
  auto* self = static_cast<CPciDsp*>(context);
  if (self->m_quiet) return false;
  const HwRegs& r = self->Registers();
  if (!(HwRead32(r, CBoardDnv::InterruptStatus) & 1)) return false;
  uint32_t input = HwRead32(r, CBoardDnv::InputPosition) & 0xFFFFFF;
  uint32_t output = (HwRead32(r, CBoardDnv::OutputPosition) * 4) & 0xFFFFFF;
  uint32_t third = (HwRead32(r, CBoardDnv::ThirdPosition) * 4) & 0xFFFFFF;
  self->m_positions.input = input;
  self->m_positions.inputBase = input;
  self->m_positions.output = output;
  self->m_positions.outputBase = output;
  self->m_positions.third = third;
  KeQuerySystemTime(&self->m_lastInterrupt);
  uint8_t state = self->InterruptStep();
  if (state && state != self->m_lastState) {
    self->m_lastState = state;
    KeInsertQueueDpc(&self->m_stateDpc, self, nullptr);
  }
  return true;
}

uint8_t CPciDsp::InterruptStep() {
  CStreamEngineLink* engine = m_stream ? m_stream->Engine() : nullptr;
  return engine ? engine->InterruptStep() : 0;
}

void CPciDsp::DpcStep() {
  if (CStreamEngineLink* engine = m_stream ? m_stream->Engine() : nullptr) engine->DpcStep();
}

void CPciDsp::BoardDpc(KDPC*, void* context, void*, void*) {
  auto* self = static_cast<CPciDsp*>(context);
  do {
    self->m_lastState = 0;
    self->DpcStep();
  } while (self->m_lastState);
}
