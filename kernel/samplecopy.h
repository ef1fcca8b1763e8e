// The sample copy and mix routines between a client's buffer and a board's
// sample memory. Board memory holds frames of 16 channels, one 32-bit word
// per channel with the sample left-justified in it. Input routines (board to
// client) store into the client's buffer; output routines add into board
// memory with saturation, so that several clients can play into the same
// channels after the memory was cleared.
//
// These run for every block of every stream at deferred level: no
// allocation, no locks.
#pragma once
#include <cstdint>

constexpr uint32_t QvBoardStride = 16;         // words per board frame
constexpr uint32_t QvMixPositive = 0x7FFFFF00;  // stored on positive overflow
constexpr uint32_t QvMixNegative = 0x80000100;  // stored on negative overflow

// Adds a left-justified sample to a board word; on signed overflow the
// symmetric bound is stored.
inline uint32_t QvMixWord(uint32_t word, int32_t sample) {
  int32_t sum;
  if (__builtin_add_overflow(static_cast<int32_t>(word), sample, &sum))
    return sample > 0 ? QvMixPositive : QvMixNegative;
  return static_cast<uint32_t>(sum);
}

// Interleaved client frames: `board` is the first channel's word of the
// first frame, `client` the first frame, `channels` consecutive channels,
// `frameBytes` the client's frame stride.
using QvInterleavedRoutine = void (*)(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels,
                                      uint32_t frameBytes);
// One channel's contiguous run: `board` is the channel's word in the first frame.
using QvPlanarRoutine = void (*)(uint32_t* board, uint8_t* run, uint32_t frames);

// Interleaved, input.
void QvIn8(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvIn16(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvIn16Dither(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvIn24(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvIn32(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
// Interleaved, output (mix).
void QvMix8(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvMix16(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvMix24(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvMix32(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
// One client channel mixed into two neighbouring board channels; `channels`
// is ignored (always the pair).
void QvMixPair8(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvMixPair16(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvMixPair24(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);
void QvMixPair32(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes);

// Planar runs with a channel list.
void QvPlanarIn16(uint32_t* board, uint8_t* run, uint32_t frames);
void QvPlanarIn32(uint32_t* board, uint8_t* run, uint32_t frames);
void QvPlanarMix16(uint32_t* board, uint8_t* run, uint32_t frames);
void QvPlanarMix32(uint32_t* board, uint8_t* run, uint32_t frames);
void QvPlanarStore32(uint32_t* board, uint8_t* run, uint32_t frames);

// Channel pair words: channel n in the low 16 bits of a 32-bit client word
// and channel n + 1 in the high 16 bits; or two 32-bit words per frame.
void QvPairIn16(uint32_t* board, uint32_t* client, uint32_t frames);
void QvPairMix16(uint32_t* board, const uint32_t* client, uint32_t frames);
void QvPairMix32(uint32_t* board, const uint32_t* client, uint32_t frames);

// Whole blocks: n frames of 16 words.
void QvCopyFrames(uint32_t* to, const uint32_t* from, uint32_t frames);
// Zeroes `count` channels from `first` for `frames` frames.
void QvClearChannels(uint32_t* board, uint32_t first, uint32_t count, uint32_t frames);

// The dither generator shared by every stream: x <- x * 422527 mod 8388593.
uint32_t QvDitherNext();
void QvDitherSeed(uint32_t x);

// The routines a stream picks: by bytes per sample (1 to 4) and direction;
// `pair` for a mono output widened to a channel pair. Null for a size
// without a routine.
QvInterleavedRoutine QvPickInterleaved(uint32_t bytesPerSample, bool output, bool pair);
// By bytes per sample (2 or 4), direction and, for 32-bit outputs, storing
// instead of mixing. Null for another size.
QvPlanarRoutine QvPickPlanar(uint32_t bytesPerSample, bool output, bool store);
