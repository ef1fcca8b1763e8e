#include "takerefs.h"

#include "mixer/model/take.h"

void ArrSyncTakeRefs(const ArrRec* arr, int close) {
  TakeRingClear();
  // TakeRingAdd leaves a Take that is already a member where it is.
  ArrForEachPart(arr, [](uint32_t, uint32_t, const PartRec& part) {
    if (TakeRec* take = TakeFromRef(part.Take)) TakeRingAdd(take);
  });
  TakeRingCloseOthers(close);
}
