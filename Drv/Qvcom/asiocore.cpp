// The ASIO driver's portable arithmetic.
#include "Drv/Qvcom/asiocore.h"

#include <cstring>

uint32_t AsioBufferSize(uint32_t requested) {
  if (requested >= AsioMaxBuffer) return AsioMaxBuffer;
  if (requested <= AsioMinBuffer) return AsioMinBuffer;
  return (requested + AsioGranularity - 1) / AsioGranularity * AsioGranularity;
}

void AsioMaskOfStored(const uint8_t* stored, uint32_t size, uint8_t mask[AsioMapBytes]) {
  static const uint8_t all[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  if (!stored || size == 0 || (size == 4 && std::memcmp(stored, all, 4) == 0)) {
    std::memset(mask, 0xFF, AsioMapBytes);
    return;
  }
  std::memset(mask, 0, AsioMapBytes);
  std::memcpy(mask, stored, size < AsioMapBytes ? size : AsioMapBytes);
}

namespace {
bool Bit(const uint8_t* mask, uint32_t n) { return (mask[n / 8] >> (n % 8)) & 1; }
}  // namespace

uint32_t AsioInputTable(const uint8_t mask[AsioMapBytes], uint8_t* table, uint32_t limit) {
  uint32_t count = 0;
  for (uint32_t n = 0; n < AsioMaxChannels && count < limit; ++n)
    if (Bit(mask, n)) table[count++] = static_cast<uint8_t>(n);
  return count;
}

uint32_t AsioOutputTable(const uint8_t mask[AsioMapBytes], uint8_t* table, uint32_t limit) {
  uint32_t count = 0;
  for (uint32_t n = 0; n + 1 < AsioMaxChannels && count + 2 <= limit; n += 2) {
    if (!Bit(mask, n) && !Bit(mask, n + 1)) continue;
    table[count++] = static_cast<uint8_t>(n);
    table[count++] = static_cast<uint8_t>(n + 1);
  }
  return count;
}

uint32_t AsioBuildMap(uint8_t* out, uint32_t outSize, uint8_t bytesPerSample, const uint8_t* inputs,
                      uint32_t inputCount, const uint8_t* outputs, uint32_t outputCount, uint32_t bufferSize,
                      uint32_t address) {
  uint32_t length = 12 + inputCount + outputCount;
  if (inputCount > AsioStreamChannels || outputCount > AsioStreamChannels || bufferSize > AsioMaxBuffer ||
      length > outSize)
    return 0;
  uint32_t frames = 2 * bufferSize;  // both halves
  out[0] = bytesPerSample;
  out[1] = static_cast<uint8_t>(inputCount);
  out[2] = static_cast<uint8_t>(outputCount);
  out[3] = 0;
  std::memcpy(out + 4, &frames, 4);
  std::memcpy(out + 8, &address, 4);
  if (inputCount) std::memcpy(out + 12, inputs, inputCount);
  if (outputCount) std::memcpy(out + 12 + inputCount, outputs, outputCount);
  return length;
}

uint32_t AsioSwitchCount(uint32_t hostPosition, uint32_t blockPosition, uint32_t bufferSize, bool* resync) {
  uint32_t ahead = blockPosition - hostPosition;
  *resync = false;
  if (bufferSize && ahead % bufferSize == 0 && ahead / bufferSize >= 1 && ahead / bufferSize <= AsioMaxSwitches)
    return ahead / bufferSize;
  *resync = true;
  return 1;
}

namespace {
int Position(int32_t channel, const uint8_t* list, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i)
    if (list[i] == channel) return static_cast<int>(i);
  return -1;
}
}  // namespace

bool AsioMonitor(int32_t inputChannel, int32_t outputChannel, int32_t gain, int32_t state, int32_t pan,
                 const uint8_t* streamInputs, uint32_t inputCount, const uint8_t* streamOutputs,
                 uint32_t outputCount, AsioMonitorRecord* record) {
  int in = inputChannel == -1 ? 255 : Position(inputChannel, streamInputs, inputCount);
  int out = Position(outputChannel, streamOutputs, outputCount);
  if (in < 0 || out < 0 || (inputChannel == -1 && inputCount == 0)) return false;
  std::memset(record, 0, sizeof *record);
  record->input = static_cast<uint8_t>(in);
  record->output = static_cast<uint8_t>(out);
  uint32_t g = gain < 0 ? 0 : static_cast<uint32_t>(gain);
  record->gain = !state ? 0 : g >= 0x40000000u ? 0x7FFFFFFFu : g * 2;
  record->pan = static_cast<uint32_t>(pan);
  return true;
}
