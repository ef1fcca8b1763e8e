// The GSIF kernel interface: CKeGsif's commands, its stream of wave-stream
// objects over per-channel rings of 1024 samples, and the host's callback
// every buffer.
#include "kernel/gsif.h"

#include "kernel/pciboard.h"
#include "kernel/striface.h"
#include "kernel/wavestream.h"

#include <cstring>

namespace {
constexpr uint32_t RingFrames = 1024, RingBytes = RingFrames * 4;
constexpr uint32_t MaxChannels = 64;

uint32_t RoundUpEven(uint32_t n) { return (n + 1) & ~1u; }
}  // namespace

CKeGsif* CKeGsif::Create(CPciBoardDevice* board) { return new CKeGsif(board); }

CKeGsif::~CKeGsif() { Close(); }

NTSTATUS CKeGsif::QueryInterface(const GUID& iid, void** out) {
  if (!out) return STATUS_INVALID_PARAMETER;
  *out = nullptr;
  if (!IsEqualGUID(iid, GUID_QvGsifInterface) && !IsEqualGUID(iid, KsIidBase)) return STATUS_NOT_SUPPORTED;
  AddRef();
  *out = this;
  return STATUS_SUCCESS;
}

NTSTATUS CKeGsif::SetCallback(GsifCallback routine, void* argument, void* context) {
  m_callback = routine;
  m_argument = argument;
  m_context = context;
  return STATUS_SUCCESS;
}

uint32_t* CKeGsif::ChannelBuffer(bool record, uint32_t channel) const {
  return channel < MaxChannels ? m_channelBuffer[record ? 1 : 0][channel] : nullptr;
}

// "ChannelCount" of the interface key, limited to the board's channels
// and 64, rounded up to even.
uint32_t CKeGsif::KeyChannels() {
  uint32_t count = 0xFFFFFFFF;
  HANDLE key;
  if (NT_SUCCESS(m_board->GsifKey(&key))) {
    KsRegReadDword(key, u"ChannelCount", &count);
    KsRegClose(key);
  }
  CStrIface* s = m_board->Dsp()->Stream();
  uint32_t board = s ? s->ChannelCount() : 0;
  if (board > MaxChannels) board = MaxChannels;
  return RoundUpEven(count < board ? count : board);
}

void CKeGsif::Capabilities(GsifCapabilities* c) {
  std::memset(c, 0, sizeof *c);
  HANDLE key;
  if (NT_SUCCESS(m_board->GsifKey(&key))) {
    WCHAR name[65] = {};
    uint32_t type = 0, got = 0;
    if (NT_SUCCESS(KsRegReadValue(key, u"FriendlyName", name, sizeof name - 2, &type, &got)) && type == REG_SZ)
      for (uint32_t i = 0; i < 64 && name[i]; ++i) c->name[i] = name[i] < 0x80 ? char(name[i]) : '?';
    KsRegClose(key);
  }
  uint32_t n = KeyChannels();
  c->channels = n;
  c->channels32 = n < 32 ? n : 32;
  c->ringFrames = RingFrames;
  c->value30 = 30;
  c->value1 = 1;
  for (uint32_t i = 0; i < n; ++i) c->inputPresent[i] = c->outputPresent[i] = 1;
  c->bufferBytes[0] = c->bufferBytes[1] = RingBytes;
}

// "FrameSize" rounded up to a multiple of 64 within 64..256; "PlayOffset"
// in 64-frame units rounded up within 1..3, kept as units x 16.
void CKeGsif::BufferConfig(uint32_t words[4]) {
  uint32_t frames = 128, offset = 0xFFFFFFFF;
  HANDLE key;
  if (NT_SUCCESS(m_board->GsifKey(&key))) {
    KsRegReadDword(key, u"FrameSize", &frames);
    KsRegReadDword(key, u"PlayOffset", &offset);
    KsRegClose(key);
  }
  frames = frames > 256 ? 256 : frames < 64 ? 64 : (frames + 63) / 64 * 64;
  uint32_t units = offset == 0xFFFFFFFF ? 2 : offset > 3 * 64 ? 3 : offset == 0 ? 1 : (offset + 63) / 64;
  m_bufferFrames = frames;
  m_playOffset = units * 16;
  if (m_stream) {
    // An open stream plays that many blocks ahead from now on.
    QvEngineGuard g(m_stream->m_engine);
    m_stream->m_delay = units;
  }
  words[0] = RingFrames;
  words[1] = frames;
  words[2] = m_playOffset;
  words[3] = 0;
}

NTSTATUS CKeGsif::Command(uint32_t code, void* input, uint32_t inLength, void* output, uint32_t outLength) {
  switch (code) {
    case GsifDriverInfo: {
      static const uint32_t info[5] = {4, 32, 1056, 0, 0x20000};
      if (!output || outLength < sizeof info) return STATUS_INVALID_PARAMETER;
      std::memcpy(output, info, sizeof info);
      return STATUS_SUCCESS;
    }
    case GsifCmdCapabilities:
      if (!output || outLength < sizeof(GsifCapabilities)) return STATUS_INVALID_PARAMETER;
      Capabilities(static_cast<GsifCapabilities*>(output));
      return STATUS_SUCCESS;
    case GsifOpen:
      if (!input || inLength < sizeof(GsifStreamRecord)) return STATUS_INVALID_PARAMETER;
      return Open(static_cast<GsifStreamRecord*>(input));
    case GsifClose:
      if (!m_stream) return STATUS_INVALID_DEVICE_STATE;
      Close();
      return STATUS_SUCCESS;
    case GsifStart:
    case GsifStop:
      if (!m_stream) return STATUS_INVALID_DEVICE_STATE;
      QvRunStreams(m_stream, code == GsifStart);
      return STATUS_SUCCESS;
    case GsifIsOpen: return m_stream ? STATUS_SUCCESS : STATUS_INVALID_DEVICE_STATE;
    case GsifNothing: return STATUS_SUCCESS;
    case GsifBufferConfig: {
      if (!output || outLength < 16) return STATUS_INVALID_PARAMETER;
      uint32_t words[4];
      BufferConfig(words);
      std::memcpy(output, words, sizeof words);
      return STATUS_SUCCESS;
    }
    default: return STATUS_INVALID_PARAMETER;
  }
}

// One stream object per 16-channel block with wanted channels; each
// wanted channel a ring of 1024 32-bit samples, record rings first, in one
// allocation.
NTSTATUS CKeGsif::Open(GsifStreamRecord* r) {
  Close();
  if (r->bytesPerChannel != RingBytes || !(r->format & 0xC00)) return STATUS_INVALID_PARAMETER;
  CPciDsp* dsp = m_board->Dsp();
  CStrIface* iface = dsp->Stream();
  uint32_t board = iface ? iface->ChannelCount() : 0;
  if (board > MaxChannels) board = MaxChannels;
  uint32_t inputs = 0, outputs = 0;
  for (uint32_t c = 0; c < MaxChannels; ++c) {
    bool in = r->recordFlags[c] & 1, out = r->playFlags[c] & 1;
    if ((in || out) && c >= board) return STATUS_INVALID_PARAMETER;
    inputs += in;
    outputs += out;
  }
  if (inputs > board || outputs > board) return STATUS_INVALID_PARAMETER;
  QvBoardEngine* e = QvEngineOf(dsp);
  if (!e) return STATUS_DEVICE_NOT_READY;
  uint32_t runs = inputs + outputs;
  m_buffers = static_cast<uint8_t*>(KsAllocate(size_t(runs ? runs : 1) * RingBytes));
  if (!m_buffers) return STATUS_INSUFFICIENT_RESOURCES;
  std::memset(m_buffers, 0, size_t(runs ? runs : 1) * RingBytes);
  CWaveStream* head = nullptr;
  CWaveStream** tail = &head;
  uint32_t inRun = 0, outRun = inputs;
  NTSTATUS status = STATUS_SUCCESS;
  for (uint32_t block = 0; block * 16 < board && NT_SUCCESS(status); ++block) {
    CWaveStream* s = nullptr;
    for (uint32_t i = 0; i < 16 && block * 16 + i < board; ++i) {
      uint32_t c = block * 16 + i;
      bool in = r->recordFlags[c] & 1, out = r->playFlags[c] & 1;
      if (!in && !out) continue;
      if (!s) {
        s = new CWaveStream(e, block);
        if (!s) {
          status = STATUS_INSUFFICIENT_RESOURCES;
          break;
        }
        *tail = s;
        tail = &s->m_chain;
        s->m_inFirstRun = inRun;
        s->m_outFirstRun = outRun;
      }
      if (in) {
        s->m_inMask = uint16_t(s->m_inMask | 1u << i);
        s->m_inChannels[s->m_inCount++] = uint8_t(i);
        m_channelBuffer[1][c] = reinterpret_cast<uint32_t*>(m_buffers + size_t(inRun++) * RingBytes);
      }
      if (out) {
        s->m_outMask = uint16_t(s->m_outMask | 1u << i);
        s->m_outChannels[s->m_outCount++] = uint8_t(i);
        m_channelBuffer[0][c] = reinterpret_cast<uint32_t*>(m_buffers + size_t(outRun++) * RingBytes);
      }
    }
  }
  if (head) {
    head->m_bytes = 4;
    head->m_frames = RingFrames;
    head->m_runs = runs;
    head->m_in = QvPickPlanar(4, false, false);
    head->m_out = QvPickPlanar(4, true, false);
    head->m_buffer = m_buffers;
    head->m_delay = m_playOffset / 16;  // the play offset: blocks ahead of the board
    head->m_blockHook = Block;
    head->m_hookContext = this;
  }
  if (NT_SUCCESS(status) && !head) status = STATUS_INVALID_PARAMETER;
  if (NT_SUCCESS(status)) status = QvAttachStreams(head);
  m_stream = head;
  if (!NT_SUCCESS(status)) {
    Close();
    return status;
  }
  for (uint32_t c = 0; c < MaxChannels; ++c) {
    r->recordBuffers[c] = uint32_t(reinterpret_cast<uintptr_t>(m_channelBuffer[1][c]));
    r->playBuffers[c] = uint32_t(reinterpret_cast<uintptr_t>(m_channelBuffer[0][c]));
  }
  m_position = 0;
  m_gathered = 0;
  return STATUS_SUCCESS;
}

void CKeGsif::Close() {
  if (m_stream) QvReleaseStreams(m_stream);
  m_stream = nullptr;
  KsFree(m_buffers);
  m_buffers = nullptr;
  std::memset(m_channelBuffer, 0, sizeof m_channelBuffer);
}

// Every block of the running stream: the frame position, and the host's
// callback once a buffer's frames are gathered.
void CKeGsif::Block(void* context, uint32_t*, uint32_t*) {
  auto* self = static_cast<CKeGsif*>(context);
  self->m_position += QvBlockFrames;
  self->m_gathered += QvBlockFrames;
  if (self->m_gathered < self->m_bufferFrames) return;
  self->m_gathered = 0;
  if (self->m_callback) self->m_callback(self->m_argument, self->m_context, self->m_bufferFrames * 4);
}

// ---- the entry routine ----------------------------------------------------------------------------

NTSTATUS GsifEntry(GsifEntryRecord* record, CPciBoardDevice* board) {
  if (!record || !board) return STATUS_INVALID_PARAMETER;
  std::memset(record, 0, sizeof *record);
  std::memcpy(record->name, "CKeGsif", 8);
  record->one = 1;
  CKeGsif* gsif = board->Gsif();
  if (!gsif) return STATUS_INSUFFICIENT_RESOURCES;
  void* object = nullptr;
  NTSTATUS status = gsif->QueryInterface(GUID_QvGsifInterface, &object);
  if (NT_SUCCESS(status)) record->object = reinterpret_cast<uintptr_t>(object);
  return status;
}

// ---- the query interface and the published routine ----------------------------------------------

namespace {
void ReferenceBoard(void* context) { ObReferenceObject(static_cast<CPciBoardDevice*>(context)->DeviceObject()); }
void DereferenceBoard(void* context) { ObDereferenceObject(static_cast<CPciBoardDevice*>(context)->DeviceObject()); }
}  // namespace

NTSTATUS GsifQueryInterface(CPciBoardDevice* board, const GUID* type, uint16_t size, uint16_t version,
                            void* record) {
  if (!type || !IsEqualGUID(*type, GUID_QvGsifInterface)) return STATUS_NOT_SUPPORTED;
  if (size < sizeof(GsifInterfaceRecord) || version != 0 || !record) return STATUS_INVALID_PARAMETER;
  GsifInterfaceRecord r{};
  r.header.Size = sizeof r;
  r.header.Version = 0;
  r.header.Context = board;
  r.header.InterfaceReference = ReferenceBoard;
  r.header.InterfaceDereference = DereferenceBoard;
  r.entry = GsifEntry;
  ReferenceBoard(board);
  std::memcpy(record, &r, sizeof r);
  return STATUS_SUCCESS;
}

NTSTATUS GsifGetInterface(GsifEntryRecord* record, const WCHAR* deviceName) {
  if (!record || !deviceName) return STATUS_INVALID_PARAMETER;
  GsifInterfaceRecord r{};
  NTSTATUS status = KsQueryDeviceInterface(deviceName, &GUID_QvGsifInterface, sizeof r, 0, &r.header);
  if (!NT_SUCCESS(status)) return status;
  status = r.entry ? r.entry(record, static_cast<CPciBoardDevice*>(r.header.Context)) : STATUS_UNSUCCESSFUL;
  if (r.header.InterfaceDereference) r.header.InterfaceDereference(r.header.Context);
  return status;
}
