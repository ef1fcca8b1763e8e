// Wave streams: the stream objects a channel map opens on the boards' 16-
// channel blocks, the handle that carries them, the stream codes, and the
// per-board engine that moves their audio at every board interrupt.
#pragma once
#include "kernel/kedevice.h"
#include "kernel/samplecopy.h"
#include "kernel/streamengine.h"
#include "kernel/striface.h"

class CPciDsp;
class CStrIface;
class CWaveStream;
struct HwRegs;

// The stream side of one board: its position record and, per 16-channel
// block, the stream objects attached to it with their channel masks. It is
// the engine the board's stream interface calls: the position reset and
// mark of the board's first stream start, the bound-stream question of a
// program load, and the board's interrupt and DPC steps.
struct QvBoardEngine final : KsPoolObject, CStreamEngineLink {
  static constexpr uint32_t MaxBlocks = 4;
  CPciDsp* dsp = nullptr;
  KSPIN_LOCK lock;                   // the lists and every stream's exchange state
  QvPositionRecord position{};
  uint32_t stats[4] = {};            // largest in-out distance, largest output window / 40, DPC delay (us), status
  uint64_t boardBlock = 0;           // the board's last block done
  bool started = false;              // an interrupt has been seen
  int64_t interruptTime = 0;
  CWaveStream* attached[MaxBlocks] = {};  // per block, linked through CWaveStream::m_nodeNext
  CWaveStream* primaries = nullptr;       // the streams driven from this board's interrupt
  uint16_t inMask[MaxBlocks] = {}, outMask[MaxBlocks] = {};
  uint16_t inExclusive[MaxBlocks] = {}, outExclusive[MaxBlocks] = {};
  uint8_t* memory = nullptr;         // the board's sample memory
  uint32_t blocks = 0;
  // The board stopped while streams were still attached: the last of them
  // to go frees the engine.
  bool orphan = false;
  bool Empty() const;

  void ResetPosition(int32_t mtcInputOffset, int32_t mtcOutputOffset) override;
  void FirstStartDone() override;
  bool StreamBound(FILE_OBJECT* file) override;
  uint8_t InterruptStep() override;
  void DpcStep() override;
};

// The engine's state against its board's interrupt routine: the engine's
// spin lock and, inside it, the board interrupt's own lock, which the
// interrupt routine runs under. The routine itself takes no other lock, so
// that it never spins on a lock held at dispatch level on its own
// processor. Once the board has stopped, its engine is the engine lock's
// alone (the stop clears the engine's board under both). Every path that
// touches an engine's lists or a stream's exchange state holds it.
struct QvEngineGuard {
  explicit QvEngineGuard(QvBoardEngine* e);
  ~QvEngineGuard();
  QvEngineGuard(const QvEngineGuard&) = delete;
  QvEngineGuard& operator=(const QvEngineGuard&) = delete;
  KSPIN_LOCK* lock;
  KIRQL irql;
  KINTERRUPT* interrupt;
  KIRQL interruptIrql = 0;
};

// Returns the board's engine, made on first use; null without memory.
// Freeing it when the board stops leaves it to the last stream attached.
QvBoardEngine* QvEngineOf(CPciDsp* dsp);
void QvEngineFree(QvBoardEngine* engine);

// A stream whose samples live in a ring in the caller's memory, beside a
// 32-byte control block there; both locked and mapped while it exists.
struct QvCallerStream : KsPoolObject {
  MDL* controlMdl = nullptr;
  MDL* ringMdl = nullptr;
  bool controlLocked = false, ringLocked = false;
  QvCallerControl* control = nullptr;
  uint8_t* ring = nullptr;
  uint32_t length = 0;      // taken once when it was made
  bool running = false;
  uint32_t wait = 0;        // blocks before the first transfer
  uint32_t block[QvBlockFrames * 16] = {};
  ~QvCallerStream();
};

// One stream object: the channels of one 16-channel block of one board.
// The first object of a handle is the primary one: it owns the client's
// buffer, the frame counter, the status record and the queue of waiting
// requests; the others are chained to it and move with it.
class CWaveStream : public KsPoolObject {
 public:
  CWaveStream(QvBoardEngine* engine, uint32_t block);
  ~CWaveStream();

  QvBoardEngine* Engine() const { return m_engine; }
  uint32_t Block() const { return m_block; }

  // ---- set up while opening ----
  QvBoardEngine* m_engine;
  uint32_t m_block;
  uint8_t m_inChannels[16] = {}, m_outChannels[16] = {};  // block-relative channel of each run
  uint8_t m_inCount = 0, m_outCount = 0;
  uint32_t m_inFirstRun = 0, m_outFirstRun = 0;  // index of the object's first run in the client's buffer
  uint16_t m_inMask = 0, m_outMask = 0;
  bool m_inShared = true, m_outMixable = true;
  bool m_attached = false, m_startedIn = false, m_startedOut = false;
  CWaveStream* m_chain = nullptr;     // the next object of the primary's chain
  CWaveStream* m_nodeNext = nullptr;  // in the engine's block list
  CWaveStream* m_primaryNext = nullptr;
  FILE_OBJECT* m_file = nullptr;      // the handle the stream is bound to

  // ---- the primary's ----
  CKeDevice* m_device = nullptr;  // whose reference a queued request holds
  FILE_OBJECT* m_board = nullptr; // a referenced board device, for streams opened by name
  MDL* m_mdl = nullptr;
  bool m_locked = false;
  uint8_t* m_buffer = nullptr;
  uint32_t m_frames = 0, m_bytes = 0, m_runs = 0;
  uint32_t m_delay = 1;           // blocks
  QvPlanarRoutine m_in = nullptr, m_out = nullptr;
  bool m_grouped = false;
  uint32_t m_rate = 0x10000;
  QvRateConverter* m_converter = nullptr;
  bool m_routed = false;
  QvCallerStream* m_caller = nullptr;
  // Streams of an in-kernel host: called at every block of the running
  // primary, under the engine's lock, with its block's record slot and the
  // play slot it fills; after the client's buffer moved, or in its place
  // when the primary has none.
  void (*m_blockHook)(void* context, uint32_t* record, uint32_t* play) = nullptr;
  void* m_hookContext = nullptr;

  // ---- grouped streams: the client's data buffers in queue order ----
  struct DataBuffer {
    IRP* irp;
    uint8_t* data;
    uint32_t length, used;
  };
  static constexpr uint32_t MaxBuffers = 32;
  DataBuffer m_data[MaxBuffers] = {};
  uint32_t m_dataHead = 0, m_dataCount = 0;
  uint32_t m_frameBytes = 0;
  bool m_pairOut = false;
  QvInterleavedRoutine m_move = nullptr;
  uint32_t* m_scratch = nullptr;  // the board's 4096-byte scratch block, where the converter's source is gathered
  // Frames of the queue into a block, or a block into the queue; returns
  // the frames moved (under the engine's lock).
  uint32_t MoveQueued(uint32_t* board, uint32_t frames);

  // ---- the exchange (under the engine's lock) ----
  bool m_running = false, m_stopping = false, m_ready = false, m_pending = false;
  uint32_t m_position = 0;  // frames into the client's buffer
  uint64_t m_counter = 0;   // frames since the reset
  QvStatusRecord m_status{};
  KsQueue m_waits;

  void Reset();
};

// The handle of a wave stream: its primary object.
class CStreamHandle : public CKeHandle {
 public:
  ~CStreamHandle() override;
  NTSTATUS DeviceControl(IRP* irp) override;
  void Cleanup(IRP* irp) override;
  // Opens a stream from a channel map on the ring's boards (board null) or
  // on one board; the earlier stream is released first.
  NTSTATUS Open(IRP* irp, CKeDevice* device, CPciDsp* board);
  void Release();
  CWaveStream* Primary() const { return m_primary; }

 private:
  NTSTATUS Position(IRP* irp);
  NTSTATUS Start(IRP* irp);
  NTSTATUS Stop();
  NTSTATUS Wait(IRP* irp);
  NTSTATUS Data(IRP* irp);
  NTSTATUS CallerMessage(uint32_t message, const uint8_t* in, uint32_t length);
  NTSTATUS Rate(IRP* irp, bool second);
  NTSTATUS Control(IRP* irp);
  NTSTATUS Message(IRP* irp);
  NTSTATUS Info(IRP* irp);
  CWaveStream* m_primary = nullptr;
};

// The handle object of a file, made when it has none; null when the file
// carries another kind of handle object.
CStreamHandle* QvStreamHandleOf(FILE_OBJECT* file);

// A primary's chain made in the kernel (an in-kernel host's stream):
// attached to its blocks and started on its boards, or released (stopped,
// detached and freed, its buffer left to its owner); run or stopped.
NTSTATUS QvAttachStreams(CWaveStream* primary);
void QvReleaseStreams(CWaveStream* primary);
void QvRunStreams(CWaveStream* primary, bool run);

// The board's interrupt step and DPC step.
uint8_t QvEngineInterrupt(CPciDsp* dsp, const HwRegs& regs);
void QvEngineDpc(CPciDsp* dsp);
