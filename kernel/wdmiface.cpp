// The direct-call interface for the WDM driver: the interface record, the
// stream objects' formats and states, their packets moved block by block
// through board memory, the framing record, prefill and the position.
#include "kernel/wdmiface.h"

#include "kernel/pciboard.h"
#include "kernel/streamlayout.h"
#include "kernel/striface.h"
#include "kernel/wavestream.h"

#include <cstring>

const GUID IID_QvWdmStream = {0xB4C90A53, 0x5791, 0x11D0, {0x86, 0xF9, 0x00, 0xA0, 0xC9, 0x11, 0xB5, 0x44}};
const GUID IID_QvWdmStreamBoard = {0x3085E62C, 0x38AA, 0x11D5, {0xB1, 0x85, 0x28, 0xEA, 0xE3, 0x00, 0x00, 0x00}};
// The kernel-streaming identities of an audio wave format.
const GUID KSDATAFORMAT_TYPE_AUDIO_QV = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID KSDATAFORMAT_SPECIFIER_WAVEFORMATEX_QV = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
const GUID KSDATAFORMAT_SUBTYPE_PCM_QV = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// The board's own sub-format: integer samples left-justified in 32-bit
// words of its channels, the port's second choice.
const GUID KSDATAFORMAT_SUBTYPE_QVBOARD = {0x5C2E0E7A, 0x1D1B, 0x4E3A, {0x9A, 0x1F, 0x3B, 0x77, 0xC6, 0x2D, 0x41, 0x08}};

namespace {
constexpr uint32_t HeaderBytes = 64;        // the kernel-streaming format header
constexpr uint32_t WaveBytes = 18;          // the wave format after it
constexpr uint32_t ExtensibleBytes = 104;   // header, wave format and its 22-byte extension
constexpr uint32_t PrefillBlocks = 6;

GUID GuidAt(const uint8_t* p) {
  GUID g;
  std::memcpy(&g, p, sizeof g);
  return g;
}
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
bool Supported(const GUID& g) {
  return IsEqualGUID(g, KSDATAFORMAT_SUBTYPE_PCM_QV) || IsEqualGUID(g, KSDATAFORMAT_SUBTYPE_QVBOARD);
}
void ReferenceDevice(void* context) { ObReferenceObject(context); }
void DereferenceDevice(void* context) { ObDereferenceObject(context); }
}  // namespace

// ---- the interface record ---------------------------------------------------------------------------

NTSTATUS QvWdmQueryInterface(CPciBoardDevice* board, const GUID* type, uint16_t size, uint16_t version,
                             void* record) {
  if (!type || !IsEqualGUID(*type, GUID_QvWdmInterface)) return STATUS_NOT_SUPPORTED;
  if (size < sizeof(QvWdmInterfaceRecord) || version != 0 || !record) return STATUS_INVALID_PARAMETER;
  QvWdmInterfaceRecord r{};
  r.size = sizeof(QvWdmInterfaceRecord);
  r.version = 0;
  r.context = board->DeviceObject();
  ObReferenceObject(r.context);
  r.reference = ReferenceDevice;
  r.dereference = DereferenceDevice;
  r.open = QvWdmOpenStream;
  CStrIface* s = board->Dsp()->Stream();
  uint8_t channels = s ? s->ChannelCount() : 0;
  r.bytes[2] = r.bytes[3] = channels;
  r.board = board;
  std::memcpy(record, &r, sizeof r);
  return STATUS_SUCCESS;
}

// ---- open ---------------------------------------------------------------------------------------------

NTSTATUS QvWdmOpenStream(CPciBoardDevice* board, CQvWdmStream** out, void* portStream, const void* format,
                         uint32_t formatLength, bool capture, CKsInterface* const port[3], QvWdmSink* sink) {
  if (!board || !out || !portStream || !format || !port || !port[0] || !port[1] || !port[2] || !sink)
    return STATUS_INVALID_PARAMETER;
  *out = nullptr;
  CPciDsp* dsp = board->Dsp();
  if (!dsp->Stream() || !NT_SUCCESS(dsp->Probe())) return STATUS_DEVICE_NOT_READY;
  auto* s = new CQvWdmStream(board, capture);
  if (!s) return STATUS_INSUFFICIENT_RESOURCES;
  s->m_portStream = portStream;
  s->m_sink = sink;
  for (int i = 0; i < 3; ++i) {
    s->m_port[i] = port[i];
    port[i]->AddRef();
  }
  // "PlayOffset" of the WDM interface's key: at most 63.
  HANDLE key;
  if (NT_SUCCESS(board->WdmKey(&key))) {
    uint32_t offset = 0;
    if (NT_SUCCESS(KsRegReadDword(key, u"PlayOffset", &offset))) s->m_playOffset = offset > 63 ? 63 : offset;
    KsRegClose(key);
  }
  // Like a grouped map of one channel in the asked direction, until the
  // format says which.
  s->m_channels = 1;
  s->m_bytesPerSample = 4;
  s->m_frameBytes = 4;
  NTSTATUS status = s->SetFormat(format, formatLength);
  if (!NT_SUCCESS(status)) {
    s->Release();
    return status;
  }
  *out = s;
  return STATUS_SUCCESS;
}

CQvWdmStream::~CQvWdmStream() {
  Unprepare();
  for (CKsInterface* p : m_port)
    if (p) p->Release();
}

NTSTATUS CQvWdmStream::QueryInterface(const GUID& iid, void** out) {
  if (!out) return STATUS_INVALID_PARAMETER;
  *out = nullptr;
  if (!IsEqualGUID(iid, IID_QvWdmStream) && !IsEqualGUID(iid, IID_QvWdmStreamBoard) && !IsEqualGUID(iid, KsIidBase))
    return STATUS_NOT_SUPPORTED;
  AddRef();
  *out = this;
  return STATUS_SUCCESS;
}

// ---- format ---------------------------------------------------------------------------------------------

NTSTATUS CQvWdmStream::SetFormat(const void* format, uint32_t length) {
  if (!format) return STATUS_INVALID_PARAMETER;
  if (m_state != QvKsStop) return STATUS_INVALID_DEVICE_REQUEST;
  const auto* f = static_cast<const uint8_t*>(format);
  if (length < HeaderBytes + WaveBytes) return STATUS_NOT_SUPPORTED;
  uint32_t declared = U32(f);
  if (declared < HeaderBytes + WaveBytes || declared > length) return STATUS_NOT_SUPPORTED;
  if (!IsEqualGUID(GuidAt(f + 16), KSDATAFORMAT_TYPE_AUDIO_QV) ||
      !IsEqualGUID(GuidAt(f + 48), KSDATAFORMAT_SPECIFIER_WAVEFORMATEX_QV) || !Supported(GuidAt(f + 32)))
    return STATUS_NOT_SUPPORTED;
  const uint8_t* w = f + HeaderBytes;
  uint16_t tag = U16(w), channels = U16(w + 2), align = U16(w + 12);
  uint32_t rate = U32(w + 4);
  uint32_t offset = 0;
  if (tag == 0xFFFE) {
    if (declared < ExtensibleBytes || U16(w + 16) < 22 || !Supported(GuidAt(w + 24))) return STATUS_NOT_SUPPORTED;
    uint32_t mask = U32(w + 20);
    if (mask)
      while (!(mask & (1u << offset))) ++offset;
  }
  if (channels < 1 || offset + channels > 16 || align % channels) return STATUS_NOT_SUPPORTED;
  uint32_t bytes = align / channels;
  if (bytes < 1 || bytes > 4) return STATUS_NOT_SUPPORTED;
  uint32_t boardRate = m_board->Dsp()->Stream() ? m_board->Dsp()->Stream()->Mode().rate : 0;
  if (uint64_t(rate) * 100 < uint64_t(boardRate) * 95 || uint64_t(rate) * 100 > uint64_t(boardRate) * 105)
    return STATUS_NOT_SUPPORTED;
  // Capture of all 16 channels at 16 bits packs the words undithered.
  QvInterleavedRoutine copy;
  if (m_capture)
    copy = bytes == 2 ? (channels == 16 ? QvIn16 : QvIn16Dither) : QvPickInterleaved(bytes, false, false);
  else
    copy = QvPickInterleaved(bytes, true, false);
  if (!copy) return STATUS_NOT_SUPPORTED;
  m_offset = offset;
  m_channels = channels;
  m_bytesPerSample = bytes;
  m_frameBytes = align;
  m_rate = rate;
  m_copy = copy;
  return STATUS_SUCCESS;
}

void CQvWdmStream::Framing(uint32_t words[6]) const {
  std::memset(words, 0, 24);
  words[0] = 0x80000002;
  words[3] = QvBlockFrames * m_frameBytes;
}

// ---- states -----------------------------------------------------------------------------------------------

// The stream on the board: one object on block 0 with the format's
// channels, and the packet list's bounce area.
NTSTATUS CQvWdmStream::Prepare() {
  QvBoardEngine* e = QvEngineOf(m_board->Dsp());
  if (!e) return STATUS_DEVICE_NOT_READY;
  m_bounce = static_cast<uint8_t*>(KsAllocate(QvBlockFrames * m_frameBytes));
  auto* s = new CWaveStream(e, 0);
  if (!m_bounce || !s) {
    delete s;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  for (uint32_t i = 0; i < m_channels; ++i) {
    if (m_capture) s->m_inChannels[s->m_inCount++] = uint8_t(m_offset + i);
    else s->m_outChannels[s->m_outCount++] = uint8_t(m_offset + i);
  }
  s->m_inMask = uint16_t(m_capture ? ((1u << m_channels) - 1) << m_offset : 0);
  s->m_outMask = uint16_t(m_capture ? 0 : ((1u << m_channels) - 1) << m_offset);
  s->m_blockHook = Block;
  s->m_hookContext = this;
  s->m_delay = QvPlayAhead;  // what the prefill fills before the interrupt takes over
  m_stream = s;
  NTSTATUS status = QvAttachStreams(s);
  if (!NT_SUCCESS(status)) Unprepare();
  return status;
}

// Packets still queued go back to the port, so that none is lost.
void CQvWdmStream::Unprepare() {
  if (m_stream) QvReleaseStreams(m_stream);
  m_stream = nullptr;
  KsFree(m_bounce);
  m_bounce = nullptr;
  for (; m_count; --m_count, m_head = (m_head + 1) % Slots)
    m_sink->PacketDone(m_packets[m_head].data, m_packets[m_head].bytes);
  m_head = 0;
}

void CQvWdmStream::Halt() {
  if (m_stream) QvRunStreams(m_stream, false);
}

NTSTATUS CQvWdmStream::SetState(uint32_t state) {
  if (state > QvKsRun) return STATUS_INVALID_PARAMETER;
  if (state == m_state) return STATUS_SUCCESS;
  NTSTATUS status = STATUS_SUCCESS;
  switch (state) {
    case QvKsStop:
      Halt();
      Unprepare();
      break;
    case QvKsAcquire:
      if (m_state == QvKsStop) status = Prepare();
      else Halt();
      break;
    case QvKsPause:
      if (m_state != QvKsAcquire && m_state != QvKsRun) return STATUS_INVALID_DEVICE_REQUEST;
      Halt();
      break;
    case QvKsRun: {
      if (m_state != QvKsPause) return STATUS_INVALID_DEVICE_REQUEST;
      QvBoardEngine* e = m_stream->m_engine;
      {
        QvEngineGuard g(e);
        for (uint32_t i = 0; i < m_count; ++i) m_packets[(m_head + i) % Slots].used = 0;
        // Playback fills ahead of the playing position what the board's
        // play ring holds (up to six blocks) before the interrupt takes
        // over; the interrupt then fills the slot after them.
        if (!m_capture && e->started && e->memory) {
          uint32_t blocks = m_stream->m_delay < PrefillBlocks ? m_stream->m_delay : PrefillBlocks;
          for (uint32_t b = 1; b <= blocks; ++b) {
            uint64_t k = e->boardBlock + b;
            MoveBlock(reinterpret_cast<uint32_t*>(e->memory + QvPlayRing + (k % QvRingSlots) * QvSlotBytes));
          }
        }
      }
      QvRunStreams(m_stream, true);
      break;
    }
    default: break;
  }
  if (!NT_SUCCESS(status)) {
    Halt();
    Unprepare();
    m_state = QvKsStop;
    return status;
  }
  m_state = state;
  return STATUS_SUCCESS;
}

// ---- packets -------------------------------------------------------------------------------------------

NTSTATUS CQvWdmStream::AddPacket(uint8_t* data, uint32_t bytes) {
  if (!data || !bytes) return STATUS_INVALID_PARAMETER;
  if (!m_stream) return STATUS_INVALID_DEVICE_STATE;
  QvEngineGuard g(m_stream->m_engine);
  if (m_count == Slots) return STATUS_DEVICE_BUSY;
  m_packets[(m_head + m_count++) % Slots] = {data, bytes, 0};
  return STATUS_SUCCESS;
}

// Moves up to `bytes` between `io` and the queued packets, in packet order,
// completing each packet used up: out of the packets for playback, into
// them for capture. The bytes moved.
uint32_t CQvWdmStream::Exchange(uint8_t* io, uint32_t bytes, bool intoPackets) {
  uint32_t done = 0;
  while (done < bytes && m_count) {
    Packet& p = m_packets[m_head];
    uint32_t n = p.bytes - p.used < bytes - done ? p.bytes - p.used : bytes - done;
    if (intoPackets)
      std::memcpy(p.data + p.used, io + done, n);
    else
      std::memcpy(io + done, p.data + p.used, n);
    p.used += n;
    done += n;
    if (p.used == p.bytes) {
      m_sink->PacketDone(p.data, p.bytes);
      m_head = (m_head + 1) % Slots;
      --m_count;
    }
  }
  return done;
}

// One block between the board's slot and the packets, through the bounce
// area; what the packets cannot give is silence.
void CQvWdmStream::MoveBlock(uint32_t* slot) {
  uint32_t bytes = QvBlockFrames * m_frameBytes;
  if (!m_count) return;
  if (m_capture) {
    m_copy(slot + m_offset, m_bounce, QvBlockFrames, m_channels, m_frameBytes);
    Exchange(m_bounce, bytes, true);
  } else {
    uint32_t got = Exchange(m_bounce, bytes, false);
    std::memset(m_bounce + got, 0, bytes - got);
    m_copy(slot + m_offset, m_bounce, QvBlockFrames, m_channels, m_frameBytes);
  }
  m_position += bytes;
  if (!m_count) m_sink->Notify(GUID_QvWdmInterface);
}

void CQvWdmStream::Block(void* context, uint32_t* record, uint32_t* play) {
  auto* self = static_cast<CQvWdmStream*>(context);
  KeQuerySystemTime(&self->m_lastBlock);
  self->MoveBlock(self->m_capture ? record : play);
}

uint64_t CQvWdmStream::Position() {
  if (!m_stream) return m_position;
  QvEngineGuard g(m_stream->m_engine);
  uint64_t position = m_position;
  if (m_state == QvKsRun && m_count && m_rate && m_lastBlock) {
    int64_t now;
    KeQuerySystemTime(&now);
    uint64_t elapsed = now > m_lastBlock ? uint64_t(now - m_lastBlock) : 0;
    uint64_t frames = elapsed * m_rate / 10000000;
    if (frames > QvBlockFrames) frames = QvBlockFrames;
    position += frames * m_frameBytes;
  }
  return position;
}
