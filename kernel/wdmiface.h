// The direct-call interface the WDM driver binds to: the interface record
// a board answers for GUID_QvWdmInterface, the open-stream routine, and the
// stream objects that take kernel-streaming formats, follow its states and
// move the port's packets through board memory.
#pragma once
#include "kernel/samplecopy.h"
#include "kernel/services.h"

#include <cstdint>

class CPciBoardDevice;
class CWaveStream;
class CQvWdmStream;

extern const GUID GUID_QvWdmInterface;
extern const GUID IID_QvWdmStream;       // {B4C90A53-5791-11D0-86F9-00A0C911B544}
extern const GUID IID_QvWdmStreamBoard;  // {3085E62C-38AA-11D5-B185-28EAE3000000}
extern const GUID KSDATAFORMAT_TYPE_AUDIO_QV;
extern const GUID KSDATAFORMAT_SPECIFIER_WAVEFORMATEX_QV;
extern const GUID KSDATAFORMAT_SUBTYPE_PCM_QV;
extern const GUID KSDATAFORMAT_SUBTYPE_QVBOARD;

// The port's notification sink: a packet the stream is done with, and
// GUID_QvWdmInterface when no packet is left.
class QvWdmSink {
 public:
  virtual void PacketDone(uint8_t* data, uint32_t bytes) = 0;
  virtual void Notify(const GUID& what) = 0;

 protected:
  ~QvWdmSink() = default;
};

// The open-stream routine of the interface record.
using QvWdmOpenRoutine = NTSTATUS (*)(CPciBoardDevice* board, CQvWdmStream** out, void* portStream,
                                      const void* format, uint32_t formatLength, bool capture,
                                      CKsInterface* const port[3], QvWdmSink* sink);

// The interface record (28 bytes on the 32-bit system, where it holds
// 32-bit pointers).
struct QvWdmInterfaceRecord {
  uint16_t size;
  uint16_t version;
  void* context;                          // the board's device object, referenced
  void (*reference)(void* context);
  void (*dereference)(void* context);
  QvWdmOpenRoutine open;
  uint8_t bytes[4];                       // 0, 0, then twice the board's channel count
  CPciBoardDevice* board;
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(QvWdmInterfaceRecord) == 28);
#endif

// A query-interface request on the board's stack: STATUS_NOT_SUPPORTED when
// it is not for GUID_QvWdmInterface (not this interface's).
NTSTATUS QvWdmQueryInterface(CPciBoardDevice* board, const GUID* type, uint16_t size, uint16_t version,
                             void* record);

NTSTATUS QvWdmOpenStream(CPciBoardDevice* board, CQvWdmStream** out, void* portStream, const void* format,
                         uint32_t formatLength, bool capture, CKsInterface* const port[3], QvWdmSink* sink);

// The kernel-streaming states.
enum QvKsState : uint32_t { QvKsStop = 0, QvKsAcquire = 1, QvKsPause = 2, QvKsRun = 3 };

class CQvWdmStream : public CKsInterface {
 public:
  NTSTATUS QueryInterface(const GUID& iid, void** out) override;
  NTSTATUS SetFormat(const void* format, uint32_t length);
  NTSTATUS SetState(uint32_t state);
  uint32_t State() const { return m_state; }
  // The framing record: word 0 0x80000002, word 3 64 x bytes per frame.
  void Framing(uint32_t words[6]) const;
  // A packet of the port: queued in one of eight slots (STATUS_DEVICE_BUSY
  // when all are taken).
  NTSTATUS AddPacket(uint8_t* data, uint32_t bytes);
  // The byte position, with the bytes played since the last interrupt
  // estimated while running with packets queued.
  uint64_t Position();
  uint32_t ChannelOffset() const { return m_offset; }
  uint32_t Channels() const { return m_channels; }
  uint32_t FrameBytes() const { return m_frameBytes; }
  uint32_t PlayOffset() const { return m_playOffset; }

 protected:
  ~CQvWdmStream() override;

 private:
  friend NTSTATUS QvWdmOpenStream(CPciBoardDevice*, CQvWdmStream**, void*, const void*, uint32_t, bool,
                                  CKsInterface* const[3], QvWdmSink*);
  CQvWdmStream(CPciBoardDevice* board, bool capture) : m_board(board), m_capture(capture) {}
  NTSTATUS Prepare();
  void Unprepare();
  void Halt();
  static void Block(void* context, uint32_t* record, uint32_t* play);
  void MoveBlock(uint32_t* slot);
  uint32_t Exchange(uint8_t* io, uint32_t bytes, bool intoPackets);

  struct Packet {
    uint8_t* data;
    uint32_t bytes, used;
  };
  static constexpr uint32_t Slots = 8;

  CPciBoardDevice* m_board;
  bool m_capture;
  CKsInterface* m_port[3] = {};
  QvWdmSink* m_sink = nullptr;
  void* m_portStream = nullptr;
  CWaveStream* m_stream = nullptr;       // while acquired
  uint8_t* m_bounce = nullptr;           // the packet list's bounce area of one block
  Packet m_packets[Slots] = {};
  uint32_t m_head = 0, m_count = 0;
  uint32_t m_state = QvKsStop;
  uint64_t m_position = 0;
  uint32_t m_offset = 0, m_channels = 0, m_frameBytes = 0, m_bytesPerSample = 0, m_rate = 0;
  uint32_t m_playOffset = 0;
  QvInterleavedRoutine m_copy = nullptr;
  int64_t m_lastBlock = 0;
};
