// CStrIface: the stream interface of a PCI host-interface board. Its
// channel count, the command exchange with the DSP program, the running
// streams' active-blocks word, the device-mode record with its stored
// settings ("DeviceMode", "DeviceConfig") and the boards' generic codes.
#pragma once
#include "kernel/services.h"

#include <atomic>
#include <cstdint>

class CPciDsp;
struct QvMailbox;
struct qvChannelInfo;
struct QvBoardEngine;
void QvEngineFree(QvBoardEngine* engine);

// The device mode of a board: rate in Hz, vari-speed in 1/100000 of the
// rate, the mode word (frame-rate word, clock nibbles, link flags, bit 31
// the system-wide rate / external sync) and two further words.
struct DeviceModeRecord {
  uint32_t rate;
  int16_t variSpeed;
  uint32_t flags;
  uint32_t extra[2];
};

// What a device-mode change touched.
enum : uint32_t {
  ModeRateChanged = 1,
  ModeFrameChanged = 2,
  ModeSyncChanged = 4,
  ModeNibbleHighChanged = 8,   // bits 20-23
  ModeNibbleLowChanged = 16,   // bits 16-19
};
constexpr uint32_t ModeSystemRate = 1u << 31;

// What the interrupt-time stream engine does for a board's stream
// interface: its position record is reset before the board's first stream
// starts (with the time-code offsets of "MtcInpOffset" and "MtcOutOffset")
// and marked once that start succeeded; a program load is refused while a
// stream is bound to the handle that asks. The board's interrupt runs the
// engine's step (its result the stream state byte, whose change queues the
// state DPC) and the state DPC its completion step.
class CStreamEngineLink {
 public:
  virtual void ResetPosition(int32_t mtcInputOffset, int32_t mtcOutputOffset) = 0;
  virtual void FirstStartDone() = 0;
  virtual bool StreamBound(FILE_OBJECT* file) = 0;
  virtual uint8_t InterruptStep() { return 0; }
  virtual void DpcStep() {}

 protected:
  ~CStreamEngineLink() = default;
};

// The record of one 16-channel block of the common buffer.
struct StreamBlockRecord {
  uint32_t offset;        // of the block's sample memory in the common buffer
  uint32_t busAddress;    // the same as the board sees it
  uint32_t bytes;         // 32768
  uint32_t firstChannel;  // of the board's channels
  uint32_t channels;      // of the board's channels in this block
};
static_assert(sizeof(StreamBlockRecord) == 20);

class CStrIface : public KsPoolObject {
 public:
  // hardwareChannels: the board's own count (16, or 64 on a Dunvell that
  // says so), which "ChannelCount" may lower.
  static CStrIface* Create(CPciDsp* dsp, uint8_t hardwareChannels = 16);
  static void Destroy(CStrIface* s) { delete s; }
  ~CStrIface();

  // The common buffer: sample memory per 16-channel block, then the
  // shared mailbox and status area.
  static constexpr uint32_t BlockBytes = 32768;
  static constexpr uint32_t MailboxBytes = 192;
  uint32_t CommonBufferAddress() const { return static_cast<uint32_t>(m_physical); }
  uint8_t* SharedArea() const { return m_memory ? m_memory + Blocks() * BlockBytes : nullptr; }
  uint8_t* SampleMemory() const { return m_memory; }
  // The wave streams' side of the board, made by the first stream.
  QvBoardEngine* engine = nullptr;

  uint8_t ChannelCount() const { return m_channels; }
  uint8_t Blocks() const { return static_cast<uint8_t>((m_channels + 15) / 16); }
  uint8_t FirstChannel() const { return m_firstChannel; }
  void SetFirstChannel(uint8_t first) { m_firstChannel = first; }

  // The stream engine that serves this board; null until one attaches.
  void SetEngine(CStreamEngineLink* engine) { m_engine = engine; }
  CStreamEngineLink* Engine() const { return m_engine.load(); }
  const StreamBlockRecord& BlockRecord(uint32_t block) const { return m_blocks[block & 3]; }
  uint8_t* BlockMemory(uint32_t block) const {
    return m_memory && block < Blocks() ? m_memory + block * BlockBytes : nullptr;
  }
  // A 4096-byte scratch area, made on first use and freed at the last stop;
  // null when there is no memory for it.
  uint8_t* Scratch();
  static constexpr uint32_t ScratchBytes = 4096;
  // The time-code offsets read when the board's first stream started.
  int32_t MtcInputOffset() const { return m_mtcOffset[0]; }
  int32_t MtcOutputOffset() const { return m_mtcOffset[1]; }
  // The per-channel record of GET_CHANNELS: two 16-bit values a channel.
  void SetChannelValues(uint32_t channel, uint16_t v0, uint16_t v1);
  // This board's qvChannelInfo.
  void ChannelInfo(qvChannelInfo* info) const;
  // The board whose streams run first, null while none runs.
  static CStrIface* FirstBoard();

  // One command to the DSP program, when the board is ready.
  NTSTATUS Command(QvMailbox* m);
  NTSTATUS StreamStatus();
  // A stream of a 16-channel block starts or stops; direction 0 is the
  // block's first (its bit 2i+1 in the active-blocks word), 1 its second.
  // Both take the board's lock themselves and are called without it: the
  // first start on a board also serves the board whose streams run first,
  // and takes the two locks in the driver-wide order of the boards.
  NTSTATUS StreamStart(uint32_t block, uint32_t direction);
  NTSTATUS StreamStop(uint32_t block, uint32_t direction);
  uint32_t RunningStreams() const { return m_running; }

  // The device mode: the current record; read from the system-wide values
  // and "DeviceMode"; applied when it differs (changes: what it touched).
  const DeviceModeRecord& Mode() const { return m_mode; }
  // Reads the system-wide rate values (under the wave device's lock) and
  // "DeviceMode", then applies them to the board under its lock; called
  // without the board's lock, which ranks below the wave device's.
  NTSTATUS ReadDeviceMode();
  NTSTATUS SetDeviceMode(const DeviceModeRecord& r, uint32_t* changes);
  // The mode word's flags that no device-mode change compares (the
  // time-code lock bits 24 and 25).
  void SetModeFlags(uint32_t flags) { m_mode.flags = flags; }
  // The program load is done: its values are asked for again.
  void ProgramLoaded() { m_programValues[0] = m_programValues[1] = 0; }
  void SetProgramValues(uint16_t v0, uint16_t v1) {
    m_programValues[0] = v0;
    m_programValues[1] = v1;
  }
  uint16_t ProgramValue(int i) const { return m_programValues[i & 1]; }

  // Command 7: the board's status words (up to `capacity`).
  NTSTATUS StatusWords(uint32_t* words, uint32_t capacity, uint32_t* bytes);

  // The board class's stored settings in "DeviceConfig".
  NTSTATUS ReadConfig(void* data, uint32_t length, uint32_t* got);
  NTSTATUS WriteConfig(uint32_t type, const void* data, uint32_t length);

  // The generic codes of these boards on the worker; *handled false when the
  // code is not one of them.
  NTSTATUS Ioctl(IRP* irp, bool* handled);

 private:
  CStrIface(CPciDsp* dsp, uint8_t hardwareChannels);
  // The system-wide values and "DeviceMode", as read before a start.
  struct SystemMode {
    uint32_t rate;
    int16_t variSpeed;
    uint16_t frame;
    bool systemRate;
  };
  SystemMode ReadSystemMode();
  NTSTATUS ApplySystemMode(const SystemMode& m);
  NTSTATUS ApplyMode(const DeviceModeRecord& r, uint32_t* changes, bool storeSystemRate);
  NTSTATUS OpenModeKey(HANDLE* key);
  uint32_t ActiveWord() const;
  NTSTATUS DeviceModeIoctl(IRP* irp);
  bool AllocateCommonBuffer();
  NTSTATUS SharedCommand(QvMailbox* m);
  NTSTATUS SendActiveWord(uint32_t word);
  NTSTATUS ChannelsIoctl(IRP* irp);
  NTSTATUS InfoIoctl(IRP* irp);
  NTSTATUS MapIoctl(IRP* irp);
  void FreeScratch();
  static void ClaimFirst(CStrIface* s);
  static void ReleaseFirst(CStrIface* s);

  CPciDsp* m_dsp;
  uint8_t m_channels = 16;
  uint8_t m_firstChannel = 0;
  uint32_t m_running = 0;
  uint16_t m_users[4][2] = {};  // per block and direction
  uint32_t m_activeWord = 0;
  DeviceModeRecord m_mode{};
  uint32_t m_info[4] = {};
  uint16_t m_programValues[2] = {};
  DMA_ADAPTER* m_adapter = nullptr;
  uint8_t* m_memory = nullptr;
  uint64_t m_physical = 0;
  uint32_t m_length = 0;
  int32_t m_order = 0;        // the driver-wide order of the boards' locks
  std::atomic<CStreamEngineLink*> m_engine{nullptr};  // read by the interrupt
  StreamBlockRecord m_blocks[4] = {};
  uint8_t* m_scratch = nullptr;
  int32_t m_mtcOffset[2] = {};
  uint16_t m_channelValues[64][2] = {};
};
