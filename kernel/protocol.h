// The driver's I/O-control protocol: codes, the records that travel in their
// buffers, and the unit kinds.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t QvDeviceType = 0x83AE;

// Board ids: the families of the board table, the kind word of the PCI
// board classes.
constexpr uint32_t BoardIdTke = 0x170000;
constexpr uint32_t BoardIdTkePci = 0x170001;
constexpr uint32_t BoardIdTkeEpp = 0x170002;
constexpr uint32_t BoardIdTkeEppPci = 0x170003;
constexpr uint32_t BoardIdTvr = 0xAB2345;
constexpr uint32_t BoardIdTv2 = 0xAB1920;
constexpr uint32_t BoardIdCbl = 0xAB6935;
constexpr uint32_t BoardIdDnv = 0x561101;
constexpr uint32_t BoardIdMio = 0xAB9A3E;

constexpr uint32_t QvInterfaceVersion = 0x00070430;

constexpr uint32_t IOCTL_QV_GET_ID = 0x83AE2000;
constexpr uint32_t IOCTL_QV_GET_STATUS = 0x83AE2010;
constexpr uint32_t IOCTL_QV_ATTACH = 0x83AE2100;
constexpr uint32_t IOCTL_QV_DETACH = 0x83AE2200;
constexpr uint32_t IOCTL_QV_BOOT = 0x83AE2300;
constexpr uint32_t IOCTL_QV_TIMEOUT = 0x83AE2400;
constexpr uint32_t IOCTL_QV_GET_NAME = 0x83AE2500;
constexpr uint32_t IOCTL_QV_PCI_CONFIG_GET = 0x83AE25E0;
constexpr uint32_t IOCTL_QV_PCI_CONFIG_SET = 0x83AE25F0;
constexpr uint32_t IOCTL_QV_LINK = 0x83AE2700;
constexpr uint32_t IOCTL_QV_LOAD = 0x83AE2800;
constexpr uint32_t IOCTL_QV_DSP_MEMORY = 0x83AE2810;
constexpr uint32_t IOCTL_QV_GET_INFO = 0x83AE2820;
constexpr uint32_t IOCTL_QV_EXT_QUERY = 0x83AE2830;
constexpr uint32_t IOCTL_QV_DEVICE_MODE = 0x83AE2840;
constexpr uint32_t IOCTL_QV_SET_PARAM = 0x83AE2850;
constexpr uint32_t IOCTL_QV_GET_PARAM = 0x83AE2860;
constexpr uint32_t IOCTL_QV_EXP_SETTING = 0x83AE2870;
constexpr uint32_t IOCTL_QV_WAVE_POSITION = 0x83AE2900;
constexpr uint32_t IOCTL_QV_WAVE_START = 0x83AE2A00;
constexpr uint32_t IOCTL_QV_WAVE_PAUSE = 0x83AE2B00;
constexpr uint32_t IOCTL_QV_WAVE_STOP = 0x83AE2C00;
constexpr uint32_t IOCTL_QV_WAVE_WAIT = 0x83AE2D00;
constexpr uint32_t IOCTL_QV_WAVE_BUFFER = 0x83AE2D01;
constexpr uint32_t IOCTL_QV_WAVE_MESSAGE = 0x83AE2D80;
constexpr uint32_t IOCTL_QV_GET_CHANNELS = 0x83AE2DE0;
constexpr uint32_t IOCTL_QV_WAVE_MAP = 0x83AE2E00;
constexpr uint32_t IOCTL_QV_WAVE_RATE = 0x83AE2E10;
constexpr uint32_t IOCTL_QV_WAVE_RATE_EX = 0x83AE2E20;
constexpr uint32_t IOCTL_QV_WAVE_VOLUME = 0x83AE2E30;
constexpr uint32_t IOCTL_QV_WAVE_CONTROL = 0x83AE2E40;
constexpr uint32_t IOCTL_QV_SET_ROUTES = 0x83AE2E80;
constexpr uint32_t IOCTL_QV_DSP = 0x83AE3000;       // the pass-through range's first code
constexpr uint32_t IOCTL_QV_DSP_LAST = 0x83AE3FFC;

// Codes carried out only for the handle that owns the unit (some only
// when they carry input).
bool QvIsOwnerOnly(uint32_t code, uint32_t inLength);
// The buffer rules of each code, checked before anything else: the status
// to fail with (and the Information to report), or success.
int32_t QvCheckBuffers(uint32_t code, const void* buffer, uint32_t inLength, uint32_t outLength,
                       uint32_t* information);

// The host-port units' reading of a pass-through code: bits 2..7 cleared,
// then it must lie in 0x83AE3100..0x83AE3F00. Host command nibble in bits
// 8..11, write format in bits 5..7, read format in bits 2..4.
struct QvHostCommand {
  uint8_t nibble;       // 1: no host command
  uint8_t writeFormat;
  uint8_t readFormat;
};
bool QvHostPassThrough(uint32_t code, QvHostCommand* out);

// A PCI DSP board's reading of a pass-through code: the command handed to
// the board's command path and, on the Dunvell board, the DSP behind its
// controller. Tavrion boards take codes with bits 2..7 cleared in
// 0x83AE3100..0x83AE3F00 (command 0x800000 + offset / 32, the read-format
// bits dropped); Corbelle and Mixer I/O every code of the range (0x800000 +
// offset / 4); the Dunvell board offset / 4 as a DSP number (bits 6 up,
// below its DSP count) and an operation (bits 0..5: 0 and 1 with bit 23
// added, 14 to 23 as they are).
struct QvBoardCommand {
  uint32_t command;
  uint32_t dsp;
};
// STATUS_SUCCESS with *out filled; STATUS_INVALID_DEVICE_REQUEST when the
// board does not take the code as a pass-through; STATUS_NOT_SUPPORTED for
// a Dunvell operation or DSP number it refuses.
int32_t QvBoardPassThrough(uint32_t boardId, uint32_t code, uint32_t dspCount, QvBoardCommand* out);

// Unit kinds of the host-port units.
constexpr uint32_t UnitKindPort1 = 0x170100;
constexpr uint32_t UnitKindPort2 = 0x170200;

// The stream request of 0x83AE2E00 (13 bytes and more: the channel numbers follow).
#pragma pack(push, 1)
struct qvChannelMap {
  uint8_t bytes;        // per sample (explicit lists) or per frame (grouped)
  uint8_t firstCount;   // input channels in bits 0-6, bit 7 exclusive
  uint8_t secondCount;  // output channels, as firstCount
  uint8_t grouped;
  uint32_t frames;      // explicit: buffer length in frames; grouped: the client's rate
  uint32_t buffer;      // explicit: the client's buffer address
  uint8_t channels[1];  // first list, then second list
};
#pragma pack(pop)
static_assert(sizeof(qvChannelMap) == 13);
static_assert(offsetof(qvChannelMap, frames) == 4 && offsetof(qvChannelMap, channels) == 12);

struct qvChannelInfo {
  uint8_t firstInput, firstOutput, inputs, outputs;
  uint32_t minFrames, maxFrames, stepFrames;
  uint32_t programWord[2];
  uint32_t sampleRate;
  uint32_t variSpeed;
  uint32_t boardId;
};
static_assert(sizeof(qvChannelInfo) == 36);
static_assert(offsetof(qvChannelInfo, programWord) == 16 && offsetof(qvChannelInfo, boardId) == 32);

constexpr uint32_t QvMinFrames = 128;
constexpr uint32_t QvMaxFrames = 0x100000;
constexpr uint32_t QvFrameStep = 128;
constexpr uint32_t QvChannelMask = 0x7F;

// The checks a qvChannelMap of `length` bytes must pass before a stream is
// opened with it: STATUS_INVALID_BUFFER_SIZE under 13 bytes or too short for
// its channel lists, STATUS_INVALID_PARAMETER with no channels, a bad sample
// size or an explicit buffer at 0, STATUS_INVALID_USER_BUFFER for a buffer
// length off the 128-frame grid.
int32_t QvCheckChannelMap(const void* map, uint32_t length);
