// The GSIF kernel interface of a PCI board: the values its interface key
// publishes, the published routine and the entry routine, and CKeGsif,
// the object through which a kernel-mode sampler host drives one stream
// of the board with a callback every buffer.
#pragma once
#include "kernel/services.h"

#include <cstdint>

class CPciBoardDevice;
class CWaveStream;

extern const GUID GUID_QvGsifInterface;

// The host's callback: its argument and context as it set them, and the
// bytes per channel of the buffer just completed.
using GsifCallback = void (*)(void* argument, void* context, uint32_t bytes);

// Command codes.
enum : uint32_t {
  GsifDriverInfo = 0x1000,
  GsifCmdCapabilities = 0x1001,
  GsifOpen = 0x1002,
  GsifClose = 0x1003,
  GsifStart = 0x1004,
  GsifStop = 0x1005,
  GsifIsOpen = 0x1006,
  GsifNothing = 0x1007,
  GsifBufferConfig = 0x100A,
};

// The stream record of GsifOpen, u32 words.
struct GsifStreamRecord {
  uint32_t playFlags[64];      // bit 0: channel wanted for output
  uint32_t playBuffers[64];    // written by the driver
  uint32_t recordFlags[64];
  uint32_t recordBuffers[64];  // written by the driver
  uint32_t bytesPerChannel;    // must be 4096
  uint32_t format;             // must have a bit of 0xC00
};
static_assert(sizeof(GsifStreamRecord) == 258 * 4);

// The capability record of GsifCapabilities (868 bytes): the name, the
// channel counts and sizes, a present flag per channel and direction, two
// buffer sizes; the rest reserved.
struct GsifCapabilities {
  char name[64];
  uint32_t channels;        // the smaller of "ChannelCount" and the board's, rounded up to even
  uint32_t channels32;      // the smaller of that and 32
  uint32_t ringFrames;      // 1024
  uint32_t value30;         // 30
  uint32_t value1;          // 1
  uint32_t inputPresent[64];
  uint32_t outputPresent[64];
  uint32_t bufferBytes[2];  // 4096, 4096
  uint8_t reserved[868 - 64 - 20 - 512 - 8];
};
static_assert(sizeof(GsifCapabilities) == 868);

// The entry record (144 bytes) the entry routine fills.
struct GsifEntryRecord {
  char name[68];            // "CKeGsif"
  uint32_t one;             // +68: 1
  uint8_t reserved[144 - 72 - 8];
  uint64_t object;          // the interface, at the end
};
static_assert(sizeof(GsifEntryRecord) == 144);

class CKeGsif : public CKsInterface {
 public:
  static CKeGsif* Create(CPciBoardDevice* board);
  NTSTATUS QueryInterface(const GUID& iid, void** out) override;
  // A command with its input and output; the lengths are checked.
  virtual NTSTATUS Command(uint32_t code, void* input, uint32_t inLength, void* output, uint32_t outLength);
  virtual NTSTATUS SetCallback(GsifCallback routine, void* argument, void* context);

  uint32_t BufferFrames() const { return m_bufferFrames; }
  uint32_t PlayOffset() const { return m_playOffset; }
  uint64_t FramePosition() const { return m_position; }
  // The buffer of a channel of the open stream (record or play), null when
  // the channel has none; the record's address words hold the same.
  uint32_t* ChannelBuffer(bool record, uint32_t channel) const;

 protected:
  ~CKeGsif() override;

 private:
  explicit CKeGsif(CPciBoardDevice* board) : m_board(board) {}
  NTSTATUS Open(GsifStreamRecord* r);
  void Close();
  void Capabilities(GsifCapabilities* c);
  void BufferConfig(uint32_t words[4]);
  uint32_t KeyChannels();
  static void Block(void* context, uint32_t* record, uint32_t* play);

  CPciBoardDevice* m_board;
  CWaveStream* m_stream = nullptr;
  uint8_t* m_buffers = nullptr;
  uint32_t* m_channelBuffer[2][64] = {};  // play, record
  uint32_t m_bufferFrames = 128;
  uint32_t m_playOffset = 32;
  uint64_t m_position = 0;
  uint32_t m_gathered = 0;
  GsifCallback m_callback = nullptr;
  void* m_argument = nullptr;
  void* m_context = nullptr;
};

// The entry routine whose address "GetInterfaceCallback" holds: (record,
// board extension).
NTSTATUS GsifEntry(GsifEntryRecord* record, CPciBoardDevice* board);

// The interface record the board answers for GUID_QvGsifInterface on its
// stack (20 bytes on the 32-bit system): the standard header with the
// board as context, and the entry routine.
struct GsifInterfaceRecord {
  INTERFACE header;
  NTSTATUS (*entry)(GsifEntryRecord* record, CPciBoardDevice* board);
};
// The board's answer: STATUS_NOT_SUPPORTED when the request is not for
// this interface.
NTSTATUS GsifQueryInterface(CPciBoardDevice* board, const GUID* type, uint16_t size, uint16_t version,
                            void* record);
// The published routine: (record, name of the board device under \Device)
// asks the board's stack for the entry routine and calls it.
NTSTATUS GsifGetInterface(GsifEntryRecord* record, const WCHAR* deviceName);
