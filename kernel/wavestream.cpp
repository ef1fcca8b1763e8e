// Wave streams: opening from a channel map, the stream codes, and the
// board engine's interrupt and DPC steps.
#include "kernel/wavestream.h"

#include "kernel/pciboard.h"
#include "kernel/protocol.h"
#include "kernel/qvdev.h"
#include "kernel/streamlayout.h"
#include "kernel/striface.h"

#include <cstring>

void QvCompleteData(CWaveStream* p, bool all);
void DataCancel(DEVICE_OBJECT* device, IRP* irp);

namespace {

IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
uint32_t InLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.InputBufferLength; }
uint32_t OutLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength; }

constexpr uint32_t RouteCommand = 5;
constexpr uint32_t NoDelayFrames = 320;
constexpr uint32_t GroupedProgramBump = 8;
constexpr uint32_t UnityRate = 0x10000;

uint32_t* SlotOf(QvBoardEngine* e, uint32_t block, uint32_t ring, uint64_t k) {
  return reinterpret_cast<uint32_t*>(e->memory + block * CStrIface::BlockBytes + ring + (k % QvRingSlots) * QvSlotBytes);
}

uint16_t MaskOf(const uint8_t* channels, uint32_t count) {
  uint16_t m = 0;
  for (uint32_t i = 0; i < count; ++i) m |= uint16_t(1u << channels[i]);
  return m;
}

// The masks of a block from the objects still attached to it.
void RecomputeMasks(QvBoardEngine* e, uint32_t block) {
  e->inMask[block] = e->outMask[block] = e->inExclusive[block] = e->outExclusive[block] = 0;
  for (CWaveStream* s = e->attached[block]; s; s = s->m_nodeNext) {
    e->inMask[block] |= s->m_inMask;
    e->outMask[block] |= s->m_outMask;
    if (!s->m_inShared) e->inExclusive[block] |= s->m_inMask;
    if (!s->m_outMixable) e->outExclusive[block] |= s->m_outMask;
  }
}

using EngineGuard = QvEngineGuard;

// Sends stream-interface command 5 for a channel pair.
NTSTATUS Route(QvBoardEngine* e, uint32_t in, uint32_t out, uint32_t left, uint32_t right) {
  CStrIface* iface = e->dsp ? e->dsp->Stream() : nullptr;
  if (!iface) return STATUS_DEVICE_NOT_READY;
  uint32_t words[4] = {in, out, left / 256, right / 256};
  QvMailbox m{0, nullptr, words, 6, 0, 0, RouteCommand};
  e->dsp->Lock();
  NTSTATUS status = iface->Command(&m);
  e->dsp->Unlock();
  return status;
}

// The record of a board as a stream answers it.
qvChannelInfo BoardInfo(QvBoardEngine* e) {
  qvChannelInfo r{};
  r.minFrames = QvMinFrames;
  r.maxFrames = QvMaxFrames;
  r.stepFrames = QvFrameStep;
  CStrIface* iface = e->dsp ? e->dsp->Stream() : nullptr;
  if (!iface) return r;
  r.inputs = r.outputs = iface->ChannelCount();
  r.minFrames = QvMinFrames;
  r.maxFrames = QvMaxFrames;
  r.stepFrames = QvFrameStep;
  r.programWord[0] = iface->ProgramValue(0);
  r.programWord[1] = iface->ProgramValue(1);
  r.sampleRate = iface->Mode().rate;
  r.variSpeed = static_cast<uint16_t>(iface->Mode().variSpeed);
  r.boardId = e->dsp->BoardId();
  return r;
}

uint32_t ReadGrouping() {
  uint32_t grouping = 2;
  HANDLE key;
  if (NT_SUCCESS(KsRegOpen(u"Software\\Quorvale\\MultiMedia", &key))) {
    KsRegReadDword(key, u"Grouping", &grouping);
    KsRegClose(key);
  }
  return grouping;
}

}  // namespace

QvEngineGuard::QvEngineGuard(QvBoardEngine* e) : lock(&e->lock) {
  KeAcquireSpinLock(lock, &irql);
  CDspBoardDevice* board = e->dsp ? e->dsp->Device() : nullptr;
  interrupt = board ? board->BoardInterrupt() : nullptr;
  if (interrupt) interruptIrql = KeAcquireInterruptSpinLock(interrupt);
}

QvEngineGuard::~QvEngineGuard() {
  if (interrupt) KeReleaseInterruptSpinLock(interrupt, interruptIrql);
  KeReleaseSpinLock(lock, irql);
}

// ---- engines ------------------------------------------------------------------------------

QvBoardEngine* QvEngineOf(CPciDsp* dsp) {
  CStrIface* iface = dsp ? dsp->Stream() : nullptr;
  if (!iface || !iface->SampleMemory()) return nullptr;
  if (!iface->engine) {
    auto* e = new QvBoardEngine;
    if (!e) return nullptr;
    KeInitializeSpinLock(&e->lock);
    e->dsp = dsp;
    e->memory = iface->SampleMemory();
    e->blocks = iface->Blocks() < QvBoardEngine::MaxBlocks ? iface->Blocks() : QvBoardEngine::MaxBlocks;
    QvPositionReset(&e->position);
    iface->engine = e;
    iface->SetEngine(e);
  }
  return iface->engine;
}

bool QvBoardEngine::Empty() const {
  bool empty = !primaries;
  for (uint32_t i = 0; i < MaxBlocks; ++i) empty = empty && !attached[i];
  return empty;
}

void QvBoardEngine::ResetPosition(int32_t mtcInputOffset, int32_t) {
  // Only the input side's time code moves the position; the output offset
  // stays with the stream interface.
  EngineGuard g(this);
  QvPositionReset(&position);
  position.inputOffset = mtcInputOffset;
  started = false;
}

void QvBoardEngine::FirstStartDone() {
  EngineGuard g(this);
  position.flags |= QvPosPhaseStable;
}

bool QvBoardEngine::StreamBound(FILE_OBJECT* file) {
  if (!file) return false;
  EngineGuard g(this);
  for (CWaveStream* p = primaries; p; p = p->m_primaryNext)
    if (p->m_file == file) return true;
  for (uint32_t b = 0; b < MaxBlocks; ++b)
    for (CWaveStream* s = attached[b]; s; s = s->m_nodeNext)
      if (s->m_file == file) return true;
  return false;
}

uint8_t QvBoardEngine::InterruptStep() { return dsp ? QvEngineInterrupt(dsp, dsp->HostRegisters()) : 0; }

void QvBoardEngine::DpcStep() {
  if (dsp) QvEngineDpc(dsp);
}

void QvEngineFree(QvBoardEngine* engine) {
  if (!engine) return;
  bool empty;
  {
    EngineGuard g(engine);
    engine->dsp = nullptr;
    engine->memory = nullptr;
    empty = engine->Empty();
    engine->orphan = !empty;
  }
  if (empty) delete engine;
}

// ---- stream objects -----------------------------------------------------------------------

CWaveStream::CWaveStream(QvBoardEngine* engine, uint32_t block) : m_engine(engine), m_block(block) {
  KsQueueInit(&m_waits, nullptr);
}

QvCallerStream::~QvCallerStream() {
  KsUnlockFreeMdl(ringMdl, ringLocked);
  KsUnlockFreeMdl(controlMdl, controlLocked);
}

CWaveStream::~CWaveStream() {
  delete m_caller;
  delete m_converter;
}

uint32_t CWaveStream::MoveQueued(uint32_t* board, uint32_t frames) {
  uint32_t done = 0;
  uint32_t channels = m_pairOut ? 2 : (m_outCount ? m_outCount : m_inCount);
  while (done < frames && m_dataCount) {
    DataBuffer& d = m_data[m_dataHead % MaxBuffers];
    uint32_t left = (d.length - d.used) / m_frameBytes;
    uint32_t n = frames - done < left ? frames - done : left;
    if (n) m_move(board + done * 16, d.data + d.used, n, channels, m_frameBytes);
    d.used += n * m_frameBytes;
    done += n;
    if (d.length - d.used < m_frameBytes) {
      // Used up: the DPC completes it.
      ++m_dataHead;
      --m_dataCount;
      m_pending = true;
      d.data = nullptr;
    }
  }
  return done;
}

void CWaveStream::Reset() {
  m_position = 0;
  m_counter = 0;
  m_ready = m_pending = false;
  std::memset(&m_status, 0, sizeof m_status);
}

// ---- opening ------------------------------------------------------------------------------

CStreamHandle::~CStreamHandle() { Release(); }

void CStreamHandle::Cleanup(IRP*) { Release(); }

void CStreamHandle::Release() {
  CWaveStream* primary = m_primary;
  if (!primary) return;
  m_primary = nullptr;
  QvReleaseStreams(primary);
}

void QvReleaseStreams(CWaveStream* primary) {
  MDL* mdl = primary->m_mdl;
  bool locked = primary->m_locked;
  {
    EngineGuard g(primary->m_engine);
    primary->m_running = false;
    primary->m_stopping = true;
    QvBoardEngine* e = primary->m_engine;
    for (CWaveStream** p = &e->primaries; *p; p = &(*p)->m_primaryNext) {
      if (*p == primary) {
        *p = primary->m_primaryNext;
        break;
      }
    }
  }
  KsQueueFlush(&primary->m_waits, nullptr);
  QvCompleteData(primary, true);
  for (CWaveStream* s = primary; s;) {
    QvBoardEngine* e = s->m_engine;
    bool dead = false;
    if (s->m_attached) {
      EngineGuard g(e);
      for (CWaveStream** p = &e->attached[s->m_block]; *p; p = &(*p)->m_nodeNext) {
        if (*p == s) {
          *p = s->m_nodeNext;
          break;
        }
      }
      RecomputeMasks(e, s->m_block);
      dead = e->orphan && e->Empty();
    }
    if (dead) {
      // Its board is gone: nothing to stop there.
      CWaveStream* next = s->m_chain;
      delete s;
      delete e;
      s = next;
      continue;
    }
    CStrIface* iface = e->dsp ? e->dsp->Stream() : nullptr;
    if (iface) {
      // The stream interface takes the board's lock itself.
      if (s->m_startedIn) iface->StreamStop(s->m_block, 0);
      if (s->m_startedOut) iface->StreamStop(s->m_block, 1);
    }
    CWaveStream* next = s->m_chain;
    delete s;
    s = next;
  }
  KsUnlockFreeMdl(mdl, locked);
}

namespace {

// The objects an explicit-list map makes: the boards in ring order, on
// each the 16-channel block of the next entry, with the following entries
// of each list on that board and block.
// With `only` the map names channels of that one board, counted on it.
NTSTATUS BuildChain(const qvChannelMap& m, const uint8_t* lists, CBoardDevice* only, CWaveStream** head) {
  uint32_t inputs = m.firstCount & QvChannelMask, outputs = m.secondCount & QvChannelMask;
  const uint8_t* inList = lists;
  const uint8_t* outList = lists + inputs;
  uint32_t ii = 0, oi = 0;
  CWaveStream** tail = head;
  for (CBoardDevice* b = only ? only : g_QvRingHead; b && (ii < inputs || oi < outputs);
       b = only ? nullptr : b->RingNext()) {
    auto* dsp = static_cast<CPciBoardDevice*>(b)->Dsp();
    QvBoardEngine* e = QvEngineOf(dsp);
    auto onBoard = [](uint32_t channel, uint32_t first, uint32_t count, uint32_t* local) {
      if (channel < first || channel - first >= count) return false;
      *local = channel - first;
      return true;
    };
    uint32_t firstIn = only ? 0 : b->FirstInput(), firstOut = only ? 0 : b->FirstOutput();
    for (;;) {
      uint32_t ci = 0, co = 0;
      bool hasIn = ii < inputs && onBoard(inList[ii], firstIn, b->Inputs(), &ci);
      bool hasOut = oi < outputs && onBoard(outList[oi], firstOut, b->Outputs(), &co);
      if (!hasIn && !hasOut) break;
      if (!e) return STATUS_DEVICE_NOT_READY;
      uint32_t block = hasIn && hasOut ? (ci / 16 < co / 16 ? ci / 16 : co / 16) : hasIn ? ci / 16 : co / 16;
      if (block >= e->blocks) return STATUS_INVALID_PARAMETER;
      auto* s = new CWaveStream(e, block);
      if (!s) return STATUS_INSUFFICIENT_RESOURCES;
      *tail = s;
      tail = &s->m_chain;
      s->m_inFirstRun = ii;
      s->m_outFirstRun = inputs + oi;
      while (ii < inputs && onBoard(inList[ii], firstIn, b->Inputs(), &ci) && ci / 16 == block)
        s->m_inChannels[s->m_inCount++] = uint8_t(ci % 16), ++ii;
      while (oi < outputs && onBoard(outList[oi], firstOut, b->Outputs(), &co) && co / 16 == block)
        s->m_outChannels[s->m_outCount++] = uint8_t(co % 16), ++oi;
    }
  }
  return ii < inputs || oi < outputs ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS;
}

// A grouped stream: one group of channels of one direction on the board
// that holds its first channel.
NTSTATUS BuildGroup(const qvChannelMap& m, uint8_t channel, CBoardDevice* only, CWaveStream** head) {
  uint32_t inputs = m.firstCount & QvChannelMask, outputs = m.secondCount & QvChannelMask;
  if (inputs && outputs) return STATUS_INVALID_PARAMETER;
  bool output = outputs != 0;
  uint32_t count = output ? outputs : inputs;
  for (CBoardDevice* b = only ? only : g_QvRingHead; b; b = only ? nullptr : b->RingNext()) {
    uint32_t first = only ? 0 : output ? b->FirstOutput() : b->FirstInput();
    uint32_t total = output ? b->Outputs() : b->Inputs();
    if (channel < first || channel - first >= total) continue;
    QvBoardEngine* e = QvEngineOf(static_cast<CPciBoardDevice*>(b)->Dsp());
    if (!e) return STATUS_DEVICE_NOT_READY;
    uint32_t local = channel - first;
    // One mono output on an even channel becomes the channel pair.
    bool pair = output && count == 1 && local % 2 == 0 && local + 1 < total && ReadGrouping() == 2;
    uint32_t width = pair ? 2 : count;
    if (local % 16 + width > 16 || local / 16 >= e->blocks) return STATUS_INVALID_PARAMETER;
    auto* s = new CWaveStream(e, local / 16);
    if (!s) return STATUS_INSUFFICIENT_RESOURCES;
    s->m_grouped = true;
    for (uint32_t i = 0; i < width; ++i) {
      if (output) s->m_outChannels[s->m_outCount++] = uint8_t(local % 16 + i);
      else s->m_inChannels[s->m_inCount++] = uint8_t(local % 16 + i);
    }
    *head = s;
    return STATUS_SUCCESS;
  }
  return STATUS_INVALID_PARAMETER;
}

}  // namespace

NTSTATUS CStreamHandle::Open(IRP* irp, CKeDevice* device, CPciDsp* board) {
  Release();
  uint32_t in = InLength(irp);
  if (in == 0) return STATUS_SUCCESS;
  const uint8_t* bytes = static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  NTSTATUS status = QvCheckChannelMap(bytes, in);
  if (!NT_SUCCESS(status)) return status;
  CBoardDevice* only = board ? static_cast<CBoardDevice*>(board->Device()) : nullptr;
  if (board && !only) return STATUS_DEVICE_NOT_READY;
  if (!only && !g_QvRingHead) return STATUS_INVALID_PARAMETER;
  qvChannelMap m;
  std::memcpy(&m, bytes, sizeof m);
  const uint8_t* lists = bytes + offsetof(qvChannelMap, channels);
  uint32_t inputs = m.firstCount & QvChannelMask, outputs = m.secondCount & QvChannelMask;

  CWaveStream* head = nullptr;
  status = m.grouped ? BuildGroup(m, lists[0], only, &head) : BuildChain(m, lists, only, &head);
  for (CWaveStream* s = head; s; s = s->m_chain) s->m_file = Stack(irp)->FileObject;
  if (head) {
    head->m_device = device;
    m_primary = head;  // released on failure below
  }
  if (!NT_SUCCESS(status)) {
    Release();
    return status;
  }

  // The primary's format, buffer and routines.
  CWaveStream* p = head;
  bool exclusiveOut = (m.secondCount & 0x80) != 0;
  for (CWaveStream* s = p; s; s = s->m_chain) {
    s->m_inShared = (m.firstCount & 0x80) == 0;
    s->m_outMixable = !exclusiveOut;
    s->m_inMask = MaskOf(s->m_inChannels, s->m_inCount);
    s->m_outMask = MaskOf(s->m_outChannels, s->m_outCount);
  }
  if (m.grouped) {
    uint32_t channels = inputs + outputs;
    p->m_bytes = m.bytes / channels;  // bytes per sample; the map check kept it within 1..4
    p->m_frameBytes = m.bytes;
    p->m_pairOut = outputs == 1 && p->m_outCount == 2;
    p->m_move = QvPickInterleaved(p->m_bytes, outputs != 0, p->m_pairOut);
    // The board's scratch block, where the rate converter's source blocks
    // are gathered; it lives until the board's last stream stops.
    p->m_scratch = reinterpret_cast<uint32_t*>(p->m_engine->dsp->Stream()->Scratch());
    if (!p->m_scratch) {
      Release();
      return STATUS_INSUFFICIENT_RESOURCES;
    }
    uint32_t boardRate = p->m_engine->dsp->Stream()->Mode().rate;
    uint32_t clientRate = m.frames ? m.frames : boardRate;
    bool near = uint64_t(clientRate) * 100 >= uint64_t(boardRate) * 97 && uint64_t(clientRate) * 100 <= uint64_t(boardRate) * 103;
    if (!near && inputs) {
      Release();
      return STATUS_INVALID_PARAMETER;
    }
    if (!near) {
      uint64_t ratio = boardRate ? (uint64_t(clientRate) << 16) / boardRate : 0;
      p->m_converter = new QvRateConverter;
      if (!p->m_converter) {
        Release();
        return STATUS_INSUFFICIENT_RESOURCES;
      }
      if (ratio > 0x20000 || !p->m_converter->SetRate(uint32_t(ratio))) {
        Release();
        return STATUS_INVALID_PARAMETER;
      }
      p->m_rate = p->m_converter->Rate();
    }
    p->m_delay = 0;
  } else {
    p->m_bytes = m.bytes;
    p->m_frames = m.frames;
    p->m_runs = inputs + outputs;
    p->m_in = QvPickPlanar(m.bytes, false, false);
    p->m_out = QvPickPlanar(m.bytes, true, exclusiveOut);
    uint32_t length = m.frames * m.bytes * p->m_runs;
    p->m_mdl = KsBuildUserMdl(reinterpret_cast<void*>(uintptr_t(m.buffer)), length);
    p->m_locked = p->m_mdl && KsLockUserMdl(p->m_mdl, IoWriteAccess);
    p->m_buffer = p->m_locked ? static_cast<uint8_t*>(KsMapLockedMdl(p->m_mdl)) : nullptr;
    if (!p->m_buffer) {
      Release();
      return STATUS_INSUFFICIENT_RESOURCES;
    }
    p->m_delay = m.frames < 1536 ? 1 : m.frames < 2048 ? 2 : 3;
  }

  status = QvAttachStreams(p);
  if (!NT_SUCCESS(status)) {
    Release();
    return status;
  }
  if (OutLength(irp)) return Info(irp);
  return STATUS_SUCCESS;
}

NTSTATUS QvAttachStreams(CWaveStream* p) {
  NTSTATUS status = STATUS_SUCCESS;
  // Every object on its block: refused when its channels meet another
  // stream's and either one asked for them alone.
  for (CWaveStream* s = p; s; s = s->m_chain) {
    QvBoardEngine* e = s->m_engine;
    EngineGuard g(e);
    uint32_t b = s->m_block;
    bool inClash = (e->inMask[b] & s->m_inMask) && (!s->m_inShared || (e->inExclusive[b] & s->m_inMask));
    bool outClash = (e->outMask[b] & s->m_outMask) && (!s->m_outMixable || (e->outExclusive[b] & s->m_outMask));
    if (inClash || outClash) {
      status = STATUS_SHARING_VIOLATION;
      break;
    }
    bool first = !e->primaries;
    for (uint32_t i = 0; i < e->blocks; ++i) first = first && !e->attached[i];
    if (first) {
      QvPositionReset(&e->position);
      e->started = false;
    }
    s->m_nodeNext = e->attached[b];
    e->attached[b] = s;
    s->m_attached = true;
    RecomputeMasks(e, b);
  }
  for (CWaveStream* s = p; NT_SUCCESS(status) && s; s = s->m_chain) {
    CStrIface* iface = s->m_engine->dsp->Stream();
    if (s->m_inCount) {
      status = iface->StreamStart(s->m_block, 0);
      s->m_startedIn = NT_SUCCESS(status);
    }
    if (NT_SUCCESS(status) && s->m_outCount) {
      status = iface->StreamStart(s->m_block, 1);
      s->m_startedOut = NT_SUCCESS(status);
    }
  }
  if (status == STATUS_BUS_RESET) status = STATUS_DEVICE_NOT_READY;
  if (!NT_SUCCESS(status)) return status;
  {
    EngineGuard g(p->m_engine);
    p->m_primaryNext = p->m_engine->primaries;
    p->m_engine->primaries = p;
  }
  return STATUS_SUCCESS;
}

void QvRunStreams(CWaveStream* p, bool run) {
  EngineGuard g(p->m_engine);
  p->m_stopping = !run;
  p->m_running = run;
  if (!run) p->Reset();
}

NTSTATUS CStreamHandle::Info(IRP* irp) {
  qvChannelInfo r = BoardInfo(m_primary->m_engine);
  r.programWord[1] += m_primary->m_delay ? m_primary->m_delay * QvBlockFrames : NoDelayFrames;
  if (m_primary->m_grouped) r.programWord[0] += GroupedProgramBump;
  KsCopyOutput(irp, &r, sizeof r);
  return STATUS_SUCCESS;
}

CStreamHandle* QvStreamHandleOf(FILE_OBJECT* file) {
  if (!file) return nullptr;
  if (!file->FsContext) file->FsContext = new CStreamHandle;
  return static_cast<CStreamHandle*>(file->FsContext);
}

// ---- stream codes -------------------------------------------------------------------------

NTSTATUS CStreamHandle::DeviceControl(IRP* irp) {
  if (!m_primary) return STATUS_INVALID_DEVICE_REQUEST;
  switch (Stack(irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_QV_WAVE_POSITION: return Position(irp);
    case IOCTL_QV_WAVE_START: return Start(irp);
    case IOCTL_QV_WAVE_PAUSE: {
      EngineGuard g(m_primary->m_engine);
      m_primary->m_running = false;
      return STATUS_SUCCESS;
    }
    case IOCTL_QV_WAVE_STOP: return Stop();
    case IOCTL_QV_WAVE_WAIT: return Wait(irp);
    case IOCTL_QV_WAVE_BUFFER: return m_primary->m_grouped ? Data(irp) : Wait(irp);
    case IOCTL_QV_WAVE_MESSAGE: return Message(irp);
    case IOCTL_QV_WAVE_RATE: return Rate(irp, false);
    case IOCTL_QV_WAVE_RATE_EX: return Rate(irp, true);
    case IOCTL_QV_WAVE_VOLUME: {
      uint32_t zero = 0;
      KsCopyOutput(irp, &zero, OutLength(irp) >= 4 ? 4 : 0);
      return STATUS_SUCCESS;
    }
    case IOCTL_QV_WAVE_CONTROL: return Control(irp);
    default: return STATUS_INVALID_DEVICE_REQUEST;
  }
}

NTSTATUS CStreamHandle::Position(IRP* irp) {
  if (OutLength(irp) < 4) return STATUS_BUFFER_TOO_SMALL;
  uint32_t words[9];
  {
    EngineGuard g(m_primary->m_engine);
    words[0] = static_cast<uint32_t>(m_primary->m_counter);
    std::memcpy(words + 1, &m_primary->m_status, sizeof m_primary->m_status);
  }
  KsCopyOutput(irp, words, sizeof words);
  return STATUS_SUCCESS;
}

NTSTATUS CStreamHandle::Start(IRP* irp) {
  // {thread handle, priority}: the caller's stream thread runs at that priority.
  if (InLength(irp) >= 5) {
    const uint8_t* in = static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer);
    uint32_t handle;
    std::memcpy(&handle, in, 4);
    uint32_t priority = in[4] > 31 ? 31 : in[4];
    void* thread = nullptr;
    if (NT_SUCCESS(ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(uintptr_t(handle)), 0, nullptr, UserMode,
                                             &thread, nullptr))) {
      KeSetPriorityThread(thread, int32_t(priority));
      ObDereferenceObject(thread);
    }
  }
  EngineGuard g(m_primary->m_engine);
  m_primary->m_stopping = false;
  m_primary->m_running = true;
  return STATUS_SUCCESS;
}

NTSTATUS CStreamHandle::Stop() {
  {
    EngineGuard g(m_primary->m_engine);
    m_primary->m_running = false;
    m_primary->m_stopping = true;
    m_primary->Reset();
  }
  KsQueueFlush(&m_primary->m_waits, nullptr);
  QvCompleteData(m_primary, true);
  if (m_primary->m_routed) {
    for (uint32_t i = 0; i < m_primary->m_inCount; ++i)
      Route(m_primary->m_engine, m_primary->m_inChannels[i], 0, 0, 0);
    m_primary->m_routed = false;
  }
  return STATUS_SUCCESS;
}

namespace {
// Writes the status record into the request's direct buffer, or its output.
void Answer(IRP* irp, const QvStatusRecord& r) {
  uint32_t out = OutLength(irp);
  uint32_t n = out < sizeof r ? out : uint32_t(sizeof r);
  void* to = irp->MdlAddress ? KsMapLockedMdl(irp->MdlAddress) : irp->AssociatedIrp.SystemBuffer;
  if (to && n) std::memcpy(to, &r, n);
  irp->IoStatus.Information = to ? n : 0;
}
}  // namespace

NTSTATUS CStreamHandle::Wait(IRP* irp) {
  CWaveStream* p = m_primary;
  if (p->m_grouped) return STATUS_NOT_SUPPORTED;
  QvStatusRecord r;
  {
    EngineGuard g(p->m_engine);
    if (p->m_stopping) return STATUS_CANCELLED;
    if (!p->m_ready || !IsListEmpty(&p->m_waits.Head)) return KsQueueInsert(&p->m_waits, irp, CKeDevice::CancelQueued);
    p->m_ready = false;
    r = p->m_status;
  }
  Answer(irp, r);
  return STATUS_SUCCESS;
}

// A grouped stream's data buffer: queued with its direct buffer mapped,
// filled or drained 64 frames a block, completed when used up.
NTSTATUS CStreamHandle::Data(IRP* irp) {
  CWaveStream* p = m_primary;
  uint32_t length = OutLength(irp);
  uint8_t* data = irp->MdlAddress ? static_cast<uint8_t*>(KsMapLockedMdl(irp->MdlAddress)) : nullptr;
  if (!data || length < p->m_frameBytes) return STATUS_INVALID_PARAMETER;
  // Queued with its cancel routine, under the cancel lock so that a cancel
  // finds it in the queue.
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  if (irp->Cancel) {
    IoReleaseCancelSpinLock(irql);
    return STATUS_CANCELLED;
  }
  NTSTATUS status = STATUS_PENDING;
  {
    EngineGuard g(p->m_engine);
    CWaveStream::DataBuffer& slot = p->m_data[(p->m_dataHead + p->m_dataCount) % CWaveStream::MaxBuffers];
    if (p->m_stopping && !p->m_running) {
      status = STATUS_CANCELLED;
    } else if (slot.irp) {
      status = STATUS_DEVICE_BUSY;  // a used-up buffer not yet completed still holds its place
    } else {
      slot = {irp, data, length, 0};
      ++p->m_dataCount;
      irp->Tail.Overlay.DriverContext[0] = p;
      IoMarkIrpPending(irp);
      irp->IoStatus.Status = STATUS_PENDING;
      IoSetCancelRoutine(irp, DataCancel);
    }
  }
  IoReleaseCancelSpinLock(irql);
  return status;
}

// Completes the data buffers used up (or, at a stop, every one) with
// success and the bytes used.
// With the engine's lock held: takes the buffers to complete out of the
// stream. A buffer whose cancel routine has already been called is left:
// that routine completes it.
uint32_t TakeData(CWaveStream* p, bool all, CWaveStream::DataBuffer* taken) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < CWaveStream::MaxBuffers; ++i) {
    CWaveStream::DataBuffer& d = p->m_data[i];
    // Used-up buffers have left the queue with their data cleared.
    if (d.irp && (all || !d.data)) {
      if (!IoSetCancelRoutine(d.irp, nullptr)) {
        d.data = nullptr;
        continue;
      }
      taken[n++] = d;
      d = {};
    }
  }
  if (all) p->m_dataHead = p->m_dataCount = 0;
  return n;
}

void CompleteData(CKeDevice* device, CWaveStream::DataBuffer* taken, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    taken[i].irp->IoStatus.Information = taken[i].used;
    device->CompletePending(taken[i].irp, STATUS_SUCCESS, IO_SOUND_INCREMENT);
  }
}

// With the engine's lock held: whether a cancelled buffer is still held.
bool DataHeld(const CWaveStream* p) {
  for (const CWaveStream::DataBuffer& d : p->m_data)
    if (d.irp) return true;
  return false;
}

void QvCompleteData(CWaveStream* p, bool all) {
  if (!p || !p->m_grouped) return;
  CWaveStream::DataBuffer taken[CWaveStream::MaxBuffers];
  uint32_t n;
  {
    EngineGuard g(p->m_engine);
    n = TakeData(p, all, taken);
  }
  CompleteData(p->m_device, taken, n);
  // A cancel routine under way still uses the stream: the stop waits for it.
  for (;;) {
    {
      EngineGuard g(p->m_engine);
      if (!all || !DataHeld(p)) return;
    }
    int64_t wait = -1000;  // 100 us
    KeDelayExecutionThread(KernelMode, false, &wait);
  }
}

// The cancel routine of a queued data buffer: out of the queue (the
// buffers after it move up) and completed with the bytes it had used.
void DataCancel(DEVICE_OBJECT*, IRP* irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  auto* p = static_cast<CWaveStream*>(irp->Tail.Overlay.DriverContext[0]);
  uint32_t used = 0;
  CKeDevice* device;  // the request holds its reference; the stream may go once the buffer is out
  {
    EngineGuard g(p->m_engine);
    device = p->m_device;
    constexpr uint32_t Max = CWaveStream::MaxBuffers;
    for (uint32_t i = 0; i < Max; ++i) {
      CWaveStream::DataBuffer& d = p->m_data[i];
      if (d.irp != irp) continue;
      used = d.used;
      uint32_t offset = (i + Max - p->m_dataHead % Max) % Max;
      if (d.data && offset < p->m_dataCount) {
        for (uint32_t o = offset; o + 1 < p->m_dataCount; ++o)
          p->m_data[(p->m_dataHead + o) % Max] = p->m_data[(p->m_dataHead + o + 1) % Max];
        p->m_data[(p->m_dataHead + p->m_dataCount - 1) % Max] = {};
        --p->m_dataCount;
      } else {
        d = {};
      }
      break;
    }
  }
  irp->IoStatus.Information = used;
  device->CompletePending(irp, STATUS_CANCELLED);
}

NTSTATUS CStreamHandle::Rate(IRP* irp, bool second) {
  uint32_t in = InLength(irp), out = OutLength(irp);
  if (in < 4 && out < 4) {
    irp->IoStatus.Information = 4;
    return STATUS_BUFFER_TOO_SMALL;
  }
  CWaveStream* p = m_primary;
  uint32_t before = second ? (p->m_converter ? p->m_converter->Fraction() : 0) : p->m_rate;
  if (in >= 4) {
    uint32_t rate;
    std::memcpy(&rate, irp->AssociatedIrp.SystemBuffer, 4);
    if (!second && rate != UnityRate && p->m_inCount) return STATUS_INVALID_PARAMETER;
    if (!p->m_converter) {
      auto* c = new QvRateConverter;
      if (!c) return STATUS_INSUFFICIENT_RESOURCES;
      EngineGuard g(p->m_engine);
      p->m_converter = c;
    }
    if (!second) {
      EngineGuard g(p->m_engine);
      if (!p->m_converter->SetRate(rate)) return STATUS_INVALID_PARAMETER;
      p->m_rate = p->m_converter->Rate();
    }
  }
  if (out >= 4) KsCopyOutput(irp, &before, 4);
  return STATUS_SUCCESS;
}

NTSTATUS CStreamHandle::Control(IRP* irp) {
  if (InLength(irp) < 12) return STATUS_INVALID_BUFFER_SIZE;
  CWaveStream* p = m_primary;
  if (p->m_grouped) return STATUS_NOT_SUPPORTED;
  const uint8_t* in = static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  uint32_t gain, pan;
  std::memcpy(&gain, in + 4, 4);
  std::memcpy(&pan, in + 8, 4);
  if (in[1] >= p->m_outCount) return STATUS_INVALID_PARAMETER;
  if (in[0] != 255 && in[0] >= p->m_inCount) return STATUS_INVALID_PARAMETER;
  // Fractions of 0x7FFFFFFF: gain x (1 - pan) and gain x pan.
  uint32_t right = static_cast<uint32_t>(uint64_t(gain) * pan / 0x7FFFFFFF);
  uint32_t left = static_cast<uint32_t>(uint64_t(gain) * (0x7FFFFFFFu - (pan > 0x7FFFFFFF ? 0x7FFFFFFF : pan)) / 0x7FFFFFFF);
  NTSTATUS status = STATUS_SUCCESS;
  for (uint32_t i = 0; i < p->m_inCount && NT_SUCCESS(status); ++i)
    if (in[0] == 255 || in[0] == i) status = Route(p->m_engine, p->m_inChannels[i], p->m_outChannels[in[1]], left, right);
  if (NT_SUCCESS(status)) p->m_routed = true;
  return status;
}

NTSTATUS CStreamHandle::Message(IRP* irp) {
  if (InLength(irp) < 12) return STATUS_INVALID_PARAMETER;
  const uint8_t* in = static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  uint32_t message;
  uint16_t first, second;
  std::memcpy(&message, in, 4);
  std::memcpy(&first, in + 4, 2);
  std::memcpy(&second, in + 6, 2);
  CWaveStream* p = m_primary;
  uint32_t base = message >= 20100 ? message - 100 : message;
  if (base == 20000 || (p->m_caller && (base == 20002 || base == 20003)))
    return CallerMessage(base, in, InLength(irp));
  if (message == 0x403E && p->m_grouped && p->m_inCount == 2) {
    uint32_t c = p->m_block * 16 + p->m_inChannels[0];
    NTSTATUS status;
    if (first && second) status = Route(p->m_engine, c, c, 0, 0);
    else if (!first) status = Route(p->m_engine, c, c, 0x40000000, 0);
    else status = Route(p->m_engine, c + 1, c, 0, 0x40000000);
    p->m_routed = NT_SUCCESS(status) && !(first && second);
    return status;
  }
  return STATUS_INVALID_PARAMETER;
}

// 20000 maps the caller's control block (its address at +8 of the message)
// and the ring it names (the control block's first word, its length the
// second): the length must be a whole number of blocks of the stream's
// channels. 20002 starts the stream, 20003 stops it.
NTSTATUS CStreamHandle::CallerMessage(uint32_t message, const uint8_t* in, uint32_t length) {
  CWaveStream* p = m_primary;
  if (message == 20002 || message == 20003) {
    EngineGuard g(p->m_engine);
    p->m_caller->running = message == 20002;
    p->m_caller->wait = 3;
    return STATUS_SUCCESS;
  }
  if (p->m_caller) return STATUS_UNSUCCESSFUL;
  uint32_t address = 0;
  if (length >= 12) std::memcpy(&address, in + 8, 4);
  if (!address) return STATUS_INVALID_PARAMETER;
  auto* c = new QvCallerStream;
  if (!c) return STATUS_INSUFFICIENT_RESOURCES;
  c->controlMdl = KsBuildUserMdl(reinterpret_cast<void*>(uintptr_t(address)), sizeof(QvCallerControl));
  c->controlLocked = c->controlMdl && KsLockUserMdl(c->controlMdl, IoWriteAccess);
  c->control = c->controlLocked ? static_cast<QvCallerControl*>(KsMapLockedMdl(c->controlMdl)) : nullptr;
  if (!c->control) {
    delete c;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  uint32_t channels = p->m_outCount ? p->m_outCount : p->m_inCount;
  uint32_t bytes = QvBlockFrames * channels * 4;
  uint32_t ring = c->control->reserved0;
  c->length = c->control->length;
  if (!ring || !c->length || c->length % bytes) {
    delete c;
    return STATUS_INVALID_PARAMETER;
  }
  c->ringMdl = KsBuildUserMdl(reinterpret_cast<void*>(uintptr_t(ring)), c->length);
  c->ringLocked = c->ringMdl && KsLockUserMdl(c->ringMdl, IoWriteAccess);
  c->ring = c->ringLocked ? static_cast<uint8_t*>(KsMapLockedMdl(c->ringMdl)) : nullptr;
  if (!c->ring) {
    delete c;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  EngineGuard g(p->m_engine);
  p->m_caller = c;
  return STATUS_SUCCESS;
}

// ---- the interrupt and DPC steps -----------------------------------------------------------

namespace {

// One block of a primary's chain between the boards and the client's
// buffer: inputs from the record slot the board just filled, outputs into
// the play slot it plays QvPlayAhead blocks on.
static_assert(QvRateConverter::BlockWords * 4 == CStrIface::ScratchBytes, "a source block fills the scratch area");

// A grouped stream's block: its queued buffers into the play slot (through
// the rate converter when it has one) or out of the record slot. Frames
// the queue could not give are silence and are not counted.
void GroupBlock(CWaveStream* p, QvBoardEngine* e, uint64_t k) {
  uint32_t first = p->m_outCount ? p->m_outChannels[0] : p->m_inChannels[0];
  uint32_t moved;
  if (p->m_outCount && p->m_converter) {
    struct Source {
      CWaveStream* p;
      uint32_t first;
      static bool Fetch(void* context, uint32_t* block) {
        auto* s = static_cast<Source*>(context);
        uint32_t* scratch = s->p->m_scratch;
        std::memset(scratch, 0, QvRateConverter::BlockWords * 4);
        if (!s->p->MoveQueued(scratch + s->first, QvBlockFrames)) return false;
        std::memcpy(block, scratch, QvRateConverter::BlockWords * 4);
        return true;
      }
    } source{p, first};
    uint32_t* play = SlotOf(e, p->m_block, QvPlayRing, k + QvPlayAhead);
    moved = p->m_converter->Mix(play, first, p->m_outCount, Source::Fetch, &source) ? QvBlockFrames : 0;
  } else if (p->m_outCount) {
    moved = p->MoveQueued(SlotOf(e, p->m_block, QvPlayRing, k + QvPlayAhead) + first, QvBlockFrames);
  } else {
    moved = p->MoveQueued(SlotOf(e, p->m_block, QvRecordRing, k) + first, QvBlockFrames);
  }
  p->m_counter += moved;
}

// A caller-memory stream's block: interleaved 32-bit frames of the
// stream's channels between the caller's ring and the board.
void CallerBlock(CWaveStream* p, QvBoardEngine* e, uint64_t k) {
  QvCallerStream* c = p->m_caller;
  if (!c->running) return;
  if (c->wait) {
    --c->wait;
    return;
  }
  bool playback = p->m_outCount != 0;
  uint32_t count = playback ? p->m_outCount : p->m_inCount;
  const uint8_t* channels = playback ? p->m_outChannels : p->m_inChannels;
  uint32_t frameBytes = count * 4;
  auto* block = reinterpret_cast<uint8_t*>(c->block);
  if (playback) {
    if (!QvRingStep(c->control, c->ring, c->length, true, block, QvBlockFrames * frameBytes)) return;
    uint32_t* play = SlotOf(e, p->m_block, QvPlayRing, k + QvPlayAhead);
    for (uint32_t i = 0; i < count; ++i) QvMix32(play + channels[i], block + i * 4, QvBlockFrames, 1, frameBytes);
  } else {
    uint32_t* record = SlotOf(e, p->m_block, QvRecordRing, k);
    for (uint32_t i = 0; i < count; ++i) QvIn32(record + channels[i], block + i * 4, QvBlockFrames, 1, frameBytes);
    QvRingStep(c->control, c->ring, c->length, false, block, QvBlockFrames * frameBytes);
  }
}

// Blocks between the block done and the play slot a stream fills.
uint32_t PlayLead(const CWaveStream* p) { return p->m_delay ? p->m_delay : QvPlayAhead; }

void StreamBlock(CWaveStream* p, QvBoardEngine* own, uint64_t k) {
  if (p->m_caller) CallerBlock(p, own, k);
  if (!p->m_running) return;
  if (p->m_grouped) return GroupBlock(p, own, k);
  if (!p->m_buffer) {
    if (p->m_blockHook)
      p->m_blockHook(p->m_hookContext, SlotOf(own, p->m_block, QvRecordRing, k),
                     SlotOf(own, p->m_block, QvPlayRing, k + PlayLead(p)));
    return;
  }
  uint32_t run = p->m_frames * p->m_bytes;
  for (CWaveStream* s = p; s; s = s->m_chain) {
    QvBoardEngine* e = s->m_engine;
    if (!e->memory) continue;  // its board has gone
    // Another board's block count is read without its lock: torn-free.
    uint64_t j = e == own ? k : QvRead64(reinterpret_cast<const volatile uint64_t*>(&e->boardBlock));
    uint32_t* record = SlotOf(e, s->m_block, QvRecordRing, j);
    uint32_t* play = SlotOf(e, s->m_block, QvPlayRing, j + PlayLead(p));
    for (uint32_t i = 0; i < s->m_inCount; ++i)
      p->m_in(record + s->m_inChannels[i], p->m_buffer + (s->m_inFirstRun + i) * run + p->m_position * p->m_bytes,
              QvBlockFrames);
    for (uint32_t i = 0; i < s->m_outCount; ++i)
      p->m_out(play + s->m_outChannels[i], p->m_buffer + (s->m_outFirstRun + i) * run + p->m_position * p->m_bytes,
               QvBlockFrames);
  }
  p->m_counter += QvBlockFrames;
  p->m_position += QvBlockFrames;
  if (p->m_blockHook)
    p->m_blockHook(p->m_hookContext, SlotOf(own, p->m_block, QvRecordRing, k),
                   SlotOf(own, p->m_block, QvPlayRing, k + PlayLead(p)));
  uint32_t half = p->m_frames / 2;
  if (p->m_position == half || p->m_position == p->m_frames) {
    if (p->m_position == p->m_frames) p->m_position = 0;
    const DeviceModeRecord& mode = own->dsp->Stream()->Mode();
    QvModeWords words{mode.rate, static_cast<uint16_t>(mode.variSpeed), mode.flags, {mode.extra[0], mode.extra[1]}};
    QvFillStatus(&p->m_status, p->m_counter, own->position.time, 0, 0, 0, words);
    p->m_ready = true;
    p->m_pending = true;
  }
}

// The board's positions at its interrupt. The host-interface boards answer
// from their stream registers (0x20 up). The Dunvell has none of those: its
// interrupt took its input, output and third positions from its own
// registers (24 bits, 4-sample units). The third is the output position
// latched with the interrupt; the rate is its device mode's; its transport
// always runs and no time code reaches it.
void ReadBoard(CPciDsp* dsp, CStrIface* iface, const HwRegs& regs, QvBoardReading* r) {
  if (dsp->BoardId() == BoardIdDnv) {
    const volatile CPciDsp::BoardPositions& p = dsp->Positions();
    r->input = p.input;
    r->output = p.output;
    r->latch = p.third;
    r->running = 1;
    r->rate = iface->Mode().rate;
    return;
  }
  r->input = HwRead32(regs, QvRegInput);
  r->output = HwRead32(regs, QvRegOutput);
  r->latch = HwRead32(regs, QvRegLatch);
  r->running = HwRead32(regs, QvRegRunning);
  r->rate = HwRead32(regs, QvRegRate);
  r->tcLatch = HwRead32(regs, QvRegTcLatch);
  r->tc[0] = HwRead32(regs, QvRegTc0);
  r->tc[1] = HwRead32(regs, QvRegTc1);
  r->frameCount = HwRead32(regs, QvRegFrameCount);
  r->source = HwRead32(regs, QvRegTcSource);
}

}  // namespace

uint8_t QvEngineInterrupt(CPciDsp* dsp, const HwRegs& regs) {
  CStrIface* iface = dsp->Stream();
  QvBoardEngine* e = iface ? iface->engine : nullptr;
  if (!e) return 0;
  QvBoardReading r{};
  ReadBoard(dsp, iface, regs, &r);
  KeQuerySystemTime(&r.stamp);
  // Under the interrupt's lock: every other path takes it too.
  e->interruptTime = r.stamp;
  uint8_t state = 0;
  if (!e->started) {
    // The first interrupt takes the board's positions; the rings start silent.
    e->started = true;
    e->position.time = 0;
    QvPositionUpdate(&e->position, r);
    e->boardBlock = (r.input & QvCounterMask) / QvBlockUnits - 1;
    std::memset(e->memory, 0, size_t(e->blocks) * CStrIface::BlockBytes);
    return 0;
  }
  // The frame-rate code of the board's device mode, for time code.
  uint32_t frameCode = iface->Mode().flags & QvPosFrameCodeMask;
  if (frameCode) e->position.flags = (e->position.flags & ~QvPosFrameCodeMask) | frameCode;
  uint32_t advance = QvPositionUpdate(&e->position, r);
  // The phase of a board to the first board of the ring, the master.
  CPciDsp* master = g_QvRingHead ? static_cast<CPciBoardDevice*>(g_QvRingHead)->Dsp() : nullptr;
  QvBoardEngine* m = master && master != dsp && master->Stream() ? master->Stream()->engine : nullptr;
  if (m && m->started && e->position.rate && e->position.ratio) {
    int64_t blockTime = int64_t(QvBlockFrames) * 10000000 / e->position.rate;
    // The master's position is read without its lock (its interrupt may
    // run on another processor): the 64-bit time torn-free.
    int64_t masterTime = int64_t(QvRead64(reinterpret_cast<const volatile uint64_t*>(&m->position.time)));
    uint32_t masterInput = *reinterpret_cast<const volatile uint32_t*>(&m->position.lastInput);
    int64_t apart = e->position.time - masterTime;
    if (apart >= blockTime || apart <= -blockTime)
      QvPhaseStep(&e->position, (e->position.lastInput - masterInput) & QvCounterMask, apart, blockTime);
  }
  uint32_t distance = (r.input - r.output) & QvCounterMask;
  if (distance > e->stats[0] && distance < 0x800000) e->stats[0] = distance;
  if (e->position.outputAdvance / 40 > e->stats[1]) e->stats[1] = e->position.outputAdvance / 40;
  for (uint32_t n = advance / QvBlockUnits; n; --n) {
    QvPositionBlock(&e->position);
    uint64_t k = ++e->boardBlock;
    for (uint32_t b = 0; b < e->blocks; ++b) std::memset(SlotOf(e, b, QvPlayRing, k + QvMostAhead), 0, QvSlotBytes);
    for (CWaveStream* p = e->primaries; p; p = p->m_primaryNext) StreamBlock(p, e, k);
  }
  for (CWaveStream* p = e->primaries; p; p = p->m_primaryNext) state |= p->m_pending ? 1 : 0;
  return state;
}

void QvEngineDpc(CPciDsp* dsp) {
  CStrIface* iface = dsp->Stream();
  QvBoardEngine* e = iface ? iface->engine : nullptr;
  if (!e) return;
  int64_t now;
  KeQuerySystemTime(&now);
  constexpr uint32_t MaxDone = 8;
  struct Done {
    IRP* irp;
    CKeDevice* device;
    QvStatusRecord record;
  } done[MaxDone];
  uint32_t count = 0;
  CWaveStream::DataBuffer data[CWaveStream::MaxBuffers];
  CKeDevice* dataDevice = nullptr;
  uint32_t dataCount = 0;
  {
    EngineGuard g(e);
    uint32_t delay = static_cast<uint32_t>((now - e->interruptTime) / 10);
    if (delay > e->stats[2]) e->stats[2] = delay;
    for (CWaveStream* p = e->primaries; p && count < MaxDone; p = p->m_primaryNext) {
      if (!p->m_pending) continue;
      if (p->m_grouped) {
        // One grouped stream's used buffers per pass; the next pass takes another.
        if (dataCount) continue;
        p->m_pending = false;
        dataDevice = p->m_device;
        dataCount = TakeData(p, false, data);
        continue;
      }
      p->m_pending = false;
      if (!p->m_ready) continue;
      IRP* irp = KsQueueRemoveFirst(&p->m_waits);
      if (!irp) continue;
      p->m_ready = false;
      done[count++] = {irp, p->m_device, p->m_status};
    }
  }
  for (uint32_t i = 0; i < count; ++i) {
    Answer(done[i].irp, done[i].record);
    done[i].device->CompletePending(done[i].irp, STATUS_SUCCESS, IO_SOUND_INCREMENT);
  }
  if (dataCount) CompleteData(dataDevice, data, dataCount);
}
