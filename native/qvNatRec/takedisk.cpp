#include "native/qvNatRec/takedisk.h"

#include <algorithm>

#include "mixer/model/take.h"
#include "mixer/model/takeio.h"

int32_t TakeDiskRead(int32_t take, uint64_t position, int32_t count, uint32_t* ring,
                     uint32_t ringLen, uint32_t ringStart, void* scratch) {
  TakeRec* rec = TakeFromRef(static_cast<uint32_t>(take));
  if (rec == nullptr) {
    // A Take closed since the list was made: the request is silence.
    RingFillSilence(ring, ringLen, ringStart, static_cast<uint32_t>(std::max(count, 0)));
    return 0;
  }
  return TakeReadSamples(rec, position, count, ring, ringLen, ringStart, scratch);
}

int32_t TakeDiskWrite(int32_t take, uint64_t position, int32_t count, uint32_t* ring,
                      uint32_t ringLen, uint32_t ringStart, void* scratch) {
  TakeRec* rec = TakeFromRef(static_cast<uint32_t>(take));
  if (rec == nullptr) return 0;
  return TakeWriteSamples(rec, position, count, ring, ringLen, ringStart, scratch);
}
