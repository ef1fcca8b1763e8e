// Sample transfer between Audio Take files and the native recorder's sample
// rings. The recorder's worker threads call TakeReadSamples and
// TakeWriteSamples for any open Take, several at a time; each call holds the
// Take's own lock for its whole file access, so that a rename, move, resize
// or free on the user-interface thread is seen either wholly or not at all.
//
// The ring: one 32-bit word per sample, left-justified. A 16-bit sample s is
// the word s x 65536, a 24-bit sample s the word s x 256 (low byte 0). A
// transfer of n samples from ring index i uses i, i+1, ... and continues at
// index 0 after the ring's last index.
#pragma once

#include <cstdint>

struct TakeRec;

// Zeroes `count` ring words from `start`, wrapping.
void RingFillSilence(uint32_t* ring, uint32_t ringLen, uint32_t start, uint32_t count);

// Unpacks `count` little-endian samples of `bytesPerSample` bytes (3: 24-bit,
// otherwise 16-bit) from `src` into the ring from `start`, wrapping.
void RingUnpackSamples(const uint8_t* src, uint32_t count, uint32_t bytesPerSample,
                       uint32_t* ring, uint32_t ringLen, uint32_t start);

// Packs `count` ring words from `start`, wrapping, into `dst`: the upper 24
// bits of each word (bytesPerSample 3) or the upper 16 bits, little-endian.
void RingPackSamples(const uint32_t* ring, uint32_t ringLen, uint32_t start, uint32_t count,
                     uint32_t bytesPerSample, uint8_t* dst);

// Reads `count` samples from sample `position` of the Take's data (file
// offset 522 + position x bytes per sample) into the ring from `ringStart`;
// `scratch` holds at least count x bytes per sample bytes. Samples past the
// end of the data are zero words. 1 when the samples were read, 0 when
// nothing could be read (the whole request is then zero words, as far as the
// ring arguments allow).
int TakeReadSamples(TakeRec* take, uint64_t position, int32_t count, uint32_t* ring,
                    uint32_t ringLen, uint32_t ringStart, void* scratch);

// Writes `count` ring words from `ringStart` as samples at `position`, cut
// at the end of the data: a write never extends a Take. 1 when written or
// when nothing was left to write, 0 on failure.
int TakeWriteSamples(TakeRec* take, uint64_t position, int32_t count, uint32_t* ring,
                     uint32_t ringLen, uint32_t ringStart, void* scratch);

