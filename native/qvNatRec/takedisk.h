// The recorder's disk callbacks over the Take store: the 32-bit Take
// reference of a segment names the Take, and the transfer is the store's own
// sample transfer (TakeReadSamples, TakeWriteSamples) under the Take's lock.
#pragma once

#include <cstdint>

#include "native/qvNatRec/recorder.h"

int32_t TakeDiskRead(int32_t take, uint64_t position, int32_t count, uint32_t* ring,
                     uint32_t ringLen, uint32_t ringStart, void* scratch);
int32_t TakeDiskWrite(int32_t take, uint64_t position, int32_t count, uint32_t* ring,
                      uint32_t ringLen, uint32_t ringStart, void* scratch);

inline constexpr RecorderDiskCallbacks kTakeDiskCallbacks{TakeDiskRead, TakeDiskWrite};
