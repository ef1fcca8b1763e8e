// The arrange editor's routines under the arrangement file, on a full
// arrangement: copying the selection into a new arrangement (the
// selected-only save), the play-channel overlap scan and the link check.
#include <benchmark/benchmark.h>

#include <cstring>

#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/options.h"

namespace {

// 16384 Parts, 64 per track, each track's Parts back to back; every other
// Part selected; channels by track, so tracks pair up on one channel.
ArrRec* FullArrangement(uint32_t linkFlags) {
  ArrRec* arr = ArrNew(nullptr);
  ArrReserveParts(&arr, kArrMaxParts, 1, nullptr);
  for (uint32_t i = 0; i < kArrMaxParts; ++i) {
    PartRec p;
    std::memset(&p, 0, sizeof p);
    const uint32_t track = i / 64;
    p.Start = int32_t(i % 64) * 1000 + int32_t(track % 2) * 2000000;
    p.Length = 1000;
    p.TakeKind = 3;
    p.PlayChannel = int32_t(track / 2 + 1);
    p.Flags = (i % 2 ? uint32_t{kPartSelected} : 0u) | linkFlags;
    p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
    p.Next = kArrNoSlot;
    ArrInsertPart(&arr, p, nullptr, track, nullptr);
  }
  return arr;
}

void BM_CopySelectionToNewArr(benchmark::State& state) {
  ArrRec* src = FullArrangement(0);
  EditMultiOutMode = 40897;
  for (auto _ : state) {
    ArrRec* dest = ArrNew(nullptr);
    int32_t offset = 0;
    uint32_t error = 0;
    dest = ArrCopyParts(nullptr, dest, src, &offset, 0, 1, 0, 0, 0, 0, 0, &error);
    benchmark::DoNotOptimize(dest->PartCount);
    ArrHeap.Free(dest);
    state.PauseTiming();
    ArrForEachPart(src, [&](uint32_t, uint32_t slot, const PartRec&) {
      if (slot % 2) ArrPart(src, slot)->Flags |= kPartSelected;
    });
    state.ResumeTiming();
  }
  ArrHeap.Free(src);
}
BENCHMARK(BM_CopySelectionToNewArr)->Unit(benchmark::kMillisecond);

void BM_PlayChanOverlapScan(benchmark::State& state) {
  ArrRec* arr = FullArrangement(0);
  for (auto _ : state) benchmark::DoNotOptimize(ArrHasPlayChanOverlap(arr));
  ArrHeap.Free(arr);
}
BENCHMARK(BM_PlayChanOverlapScan)->Unit(benchmark::kMillisecond);

void BM_CheckPartLinksBroken(benchmark::State& state) {
  ArrRec* arr = FullArrangement(kPartLinkNext | kPartLinkPrev);
  for (auto _ : state) benchmark::DoNotOptimize(ArrCheckPartLinks(arr, 0, nullptr));
  ArrHeap.Free(arr);
}
BENCHMARK(BM_CheckPartLinksBroken)->Unit(benchmark::kMillisecond);

}  // namespace
