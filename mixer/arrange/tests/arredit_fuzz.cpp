// Any bytes as a damaged arrangement block, the way an arrangement file may
// bring one in: list heads, Part records and track assignments from the
// input. The repairs the file reader runs, the queries its writer asks and
// a copy of every Part into a new arrangement must neither crash nor read
// outside the block, and must leave names terminated.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/rectrk.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/take.h"

namespace {

constexpr uint32_t kHeadTracks = 8;  // tracks whose list heads and records come from the input

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int store = TakeStoreOpen();
  (void)store;
  if (size < kHeadTracks * 2) return 0;
  const uint32_t n = 1 + data[0] % 48;
  ArrRec* arr = ArrNew(nullptr);
  if (arr == nullptr || !ArrReserveParts(&arr, n, 1, nullptr)) {
    ArrHeap.Free(arr);
    return 0;
  }
  arr->PartCount = n;
  for (uint32_t t = 0; t < kHeadTracks; ++t) arr->ListHead[t] = data[1 + t] % (n + 2);
  const uint8_t* rest = data + 1 + kHeadTracks;
  size_t left = size - 1 - kHeadTracks;
  const size_t trkBytes = std::min(left, size_t{kHeadTracks * sizeof(TrkRec)});
  std::memcpy(arr->Trk, rest, trkBytes);
  rest += trkBytes;
  left -= trkBytes;
  std::memcpy(ArrPart(arr, 0), rest, std::min(left, size_t{n} * sizeof(PartRec)));

  ArrCheckRecTrkAssign(arr);
  ArrRelinkOverlaps(arr);
  ArrCheckXfades(arr, 0);
  ArrCheckPartLinks(arr, 1, nullptr);
  ArrCheckPartNames(arr, 1, nullptr);
  // A free slot that a damaged list reaches ends the list for every walk.
  ArrForEachPart(arr, [&](uint32_t, uint32_t slot, const PartRec& part) {
    if (part.Start == kPartFreeStart) return;
    if (std::memchr(part.Name, '\0', sizeof part.Name) == nullptr) __builtin_trap();
    ArrPart(arr, slot)->Flags |= kPartSelected;
  });
  ArrHasPlayChanOverlap(arr);
  ArrSyncTakeRefs(arr, 0);

  ArrRec* dest = ArrNew(nullptr);
  int32_t offset = static_cast<int8_t>(data[0]) * 1000;
  uint32_t error = 0;
  if (dest != nullptr) {
    dest = ArrCopyParts(nullptr, dest, arr, &offset, data[1] % 3, 1, 0, data[2] & 1, data[2] & 2, 0,
                        data[2] & 4, &error);
    ArrHeap.Free(dest);
  }
  offset = 500;
  arr = ArrCopyParts(nullptr, arr, arr, &offset, 0, data[3] & 1, 0, 1, 1, 0, 0, &error);
  ArrHeap.Free(arr);
  return 0;
}
