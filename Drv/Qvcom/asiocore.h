// The ASIO driver's arithmetic that needs no Windows API: buffer sizes,
// channel masks and tables, the stream's channel map record, the number of
// buffer switches a block asks for, and the input-monitor record.
#pragma once
#include <cstddef>
#include <cstdint>

// Device channels a mask can name, and the most a stream carries in one
// direction (a map's count byte holds 7 bits; bit 7 asks for exclusive use).
constexpr uint32_t AsioMaxChannels = 254;
constexpr uint32_t AsioStreamChannels = 127;
constexpr uint32_t AsioMapBytes = 32;

constexpr uint32_t AsioMinBuffer = 64, AsioMaxBuffer = 65536, AsioGranularity = 64;

// A buffer size rounded up to a multiple of 64 and kept within 64..65536.
uint32_t AsioBufferSize(uint32_t requested);

// The 32-byte mask of a stored value: none stored (size 0) or 4 bytes
// 0xFFFFFFFF mean every channel; a shorter value is padded with zero bits.
void AsioMaskOfStored(const uint8_t* stored, uint32_t size, uint8_t mask[AsioMapBytes]);

// The channel tables: every set bit n (n < 254) of the input mask; for the
// outputs the stereo pair n, n + 1 of each even n where either bit is set.
// At most `limit` entries; the number written.
uint32_t AsioInputTable(const uint8_t mask[AsioMapBytes], uint8_t* table, uint32_t limit);
uint32_t AsioOutputTable(const uint8_t mask[AsioMapBytes], uint8_t* table, uint32_t limit);

// The stream's channel map (the driver's record: bytes per sample, input and
// output counts, explicit lists, buffer length in frames, buffer address,
// then the device channels, inputs first). 0 when a count does not fit the
// 7-bit count field or the buffer is too long; else the record's length.
uint32_t AsioBuildMap(uint8_t* out, uint32_t outSize, uint8_t bytesPerSample, const uint8_t* inputs,
                      uint32_t inputCount, const uint8_t* outputs, uint32_t outputCount, uint32_t bufferSize,
                      uint32_t address);

// The buffer switches a block asks for: the host's position (low 32 bits)
// steps by the buffer size until it reaches the block's position. When it
// cannot reach it in at most AsioMaxSwitches steps (the positions are out of
// step) one switch is made and `resync` set: the position is then taken
// from the block.
constexpr uint32_t AsioMaxSwitches = 16;
uint32_t AsioSwitchCount(uint32_t hostPosition, uint32_t blockPosition, uint32_t bufferSize, bool* resync);

// The wave device's input-monitor record: input and output as positions in
// the stream's lists (input 255: every input), gain and pan.
struct AsioMonitorRecord {
  uint8_t input, output, zero[2];
  uint32_t gain, pan;
};
static_assert(sizeof(AsioMonitorRecord) == 12);
// From the host's request: input -1 (all) or a device channel, output a
// device channel, gain (0x40000000 or more is full scale), state, pan.
// False when a channel is not one of the stream's.
bool AsioMonitor(int32_t inputChannel, int32_t outputChannel, int32_t gain, int32_t state, int32_t pan,
                 const uint8_t* streamInputs, uint32_t inputCount, const uint8_t* streamOutputs,
                 uint32_t outputCount, AsioMonitorRecord* record);
