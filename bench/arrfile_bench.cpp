// Writing and reading the arrangement file of a full arrangement: 16384
// Parts over 64 Takes and 999 markers.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/scratch_folder.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrfile.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/blockheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/take.h"

namespace {

constexpr uint32_t kBenchTakes = 64;

// Made once: the store, a folder of Takes, the arrangement and its markers.
struct BenchArr {
  std::filesystem::path folder;
  std::string path;
  ArrRec* arr = nullptr;
  MrkList* markers = nullptr;

  BenchArr() {
    folder = BenchScratchFolder("hrl-arrfile-bench");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    TakeStoreOpen();
    const std::string dir = folder.string() + "\\";
    std::vector<TakeRec*> takes;
    for (uint32_t i = 0; i < kBenchTakes; ++i) {
      uint32_t error = 0;
      const std::string name = "Take " + std::to_string(i);
      takes.push_back(TakeCreateAudio(dir.c_str(), 3, 48000 * 600, 0, 48000, 25, 1, name.c_str(),
                                      nullptr, nullptr, nullptr, &error));
    }
    arr = ArrNew(nullptr);
    ArrReserveParts(&arr, kArrMaxParts, 1, nullptr);
    PartRec part;
    std::memset(&part, 0, sizeof part);
    part.TakeKind = 3;
    part.PlayChannel = 1;
    part.GainStart = part.GainEnd = 32768;
    part.OverlapLink = part.XfadeInPartner = part.XfadeOutPartner = kArrNoLink;
    std::strcpy(part.Name, "Part");
    for (uint32_t i = 0; i < kArrMaxParts; ++i) {
      const uint32_t track = i % 128;
      part.Start = int32_t(i / 128) * 48000;
      part.Length = 40000;
      part.Offset = part.Start;
      part.PlayChannel = int32_t(track + 1);
      part.Take = TakeRef(takes[i % kBenchTakes]);
      ArrInsertPart(&arr, part, nullptr, track, nullptr);
    }
    ArrRelinkOverlaps(arr);
    markers = MrkListNew(nullptr);
    MrkRec mrk;
    std::memset(&mrk, 0, sizeof mrk);
    for (uint32_t n = 1; n <= kMrkMaxNumber; ++n) {
      mrk.Position = int32_t(n) * 4800;
      MrkInsert(&markers, mrk, n, nullptr);
    }
    path = folder.string() + "\\bench.arr";
  }
  ~BenchArr() {
    TakeStoreClose();
    std::filesystem::remove_all(folder);
  }
};

BenchArr& Bench() {
  static BenchArr bench;
  return bench;
}

void BM_WriteArrFile(benchmark::State& state) {
  BenchArr& b = Bench();
  for (auto _ : state) benchmark::DoNotOptimize(WriteArrFile(b.path.c_str(), b.arr, b.markers, 0));
}
BENCHMARK(BM_WriteArrFile)->Unit(benchmark::kMillisecond);

void BM_ReadArrFile(benchmark::State& state) {
  BenchArr& b = Bench();
  WriteArrFile(b.path.c_str(), b.arr, b.markers, 0);
  for (auto _ : state) {
    ArrRec* arr = nullptr;
    MrkList* markers = nullptr;
    uint32_t error = 0;
    ArrReadRequest req{b.path.c_str(), &arr, &markers, 0, nullptr, &error};
    benchmark::DoNotOptimize(ReadArrFile(req, nullptr));
    state.PauseTiming();
    ArrHeap.Free(arr);
    MrkHeap.Free(markers);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReadArrFile)->Unit(benchmark::kMillisecond);

}  // namespace
