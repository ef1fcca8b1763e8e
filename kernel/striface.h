// CStrIface: the stream interface of a PCI host-interface board. Its
// channel count, the command exchange with the DSP program, the running
// streams' active-blocks word, the device-mode record with its stored
// settings ("DeviceMode", "DeviceConfig") and the boards' generic codes.
#pragma once
#include "kernel/services.h"

#include <cstdint>

class CPciDsp;
struct QvMailbox;
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

class CStrIface : public KsPoolObject {
 public:
  static CStrIface* Create(CPciDsp* dsp);
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

  // One command to the DSP program, when the board is ready.
  NTSTATUS Command(QvMailbox* m);
  NTSTATUS StreamStatus();
  // A stream of a 16-channel block starts or stops; direction 0 is the
  // block's first (its bit 2i+1 in the active-blocks word), 1 its second.
  NTSTATUS StreamStart(uint32_t block, uint32_t direction);
  NTSTATUS StreamStop(uint32_t block, uint32_t direction);
  uint32_t RunningStreams() const { return m_running; }

  // The device mode: the current record; read from the system-wide values
  // and "DeviceMode"; applied when it differs (changes: what it touched).
  const DeviceModeRecord& Mode() const { return m_mode; }
  void ReadDeviceMode();
  NTSTATUS SetDeviceMode(const DeviceModeRecord& r, uint32_t* changes);
  // The program load is done: its values are asked for again.
  void ProgramLoaded() { m_programValues[0] = m_programValues[1] = 0; }
  void SetProgramValues(uint16_t v0, uint16_t v1) {
    m_programValues[0] = v0;
    m_programValues[1] = v1;
  }
  uint16_t ProgramValue(int i) const { return m_programValues[i & 1]; }

  // The board class's stored settings in "DeviceConfig".
  NTSTATUS ReadConfig(void* data, uint32_t length, uint32_t* got);
  NTSTATUS WriteConfig(uint32_t type, const void* data, uint32_t length);

  // The generic codes of these boards on the worker; *handled false when the
  // code is not one of them.
  NTSTATUS Ioctl(IRP* irp, bool* handled);

 private:
  explicit CStrIface(CPciDsp* dsp);
  NTSTATUS OpenModeKey(HANDLE* key);
  uint32_t ActiveWord() const;
  NTSTATUS DeviceModeIoctl(IRP* irp);
  bool AllocateCommonBuffer();
  NTSTATUS SharedCommand(QvMailbox* m);

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
};
