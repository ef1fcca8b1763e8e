// 128 tracks of 24-bit audio with fades and crossfades, streamed from Take
// files through the recorder and read by 128 stream clients as fast as the
// engine fills, against a plain read of the same files. Reported: multiples
// of real time at 48 kHz (by the wall clock, and per core by the process's
// CPU time), megabytes of Take data per second, and that speed as a part of
// a plain read of the same files made in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/scratch_folder.h"
#include "mixer/model/options.h"
#include "mixer/model/take.h"
#include "native/qvNatRec/recorder.h"
#include "native/qvNatRec/ringclient.h"
#include "native/qvNatRec/takedisk.h"

namespace {

constexpr int32_t kTracks = 128;
constexpr uint32_t kSamples = 240000;  // 5 s at 48 kHz per Take
constexpr double kRate = 48000.0;
constexpr int32_t kUnity = -0x800000;

// 128 Takes, made once and removed when the program ends.
struct BenchTakes {
  std::filesystem::path folder;
  std::vector<std::string> files;
  std::vector<int32_t> refs;

  BenchTakes() {
    folder = BenchScratchFolder("hrl-natrec-bench");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    TakeStoreOpen();
    std::vector<uint8_t> data(size_t{kSamples} * 3);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
    const std::string dir = folder.string() + "\\";
    for (int32_t k = 0; k < kTracks; ++k) {
      const std::string name = "Track" + std::to_string(k);
      uint32_t error = 0;
      TakeRec* take = TakeCreateAudio(dir.c_str(), 3, kSamples, 0, 48000, 25, 0, name.c_str(),
                                      nullptr, nullptr, nullptr, &error);
      if (take == nullptr) return;
      files.push_back((folder / (name + ".ATAK")).string());
      refs.push_back(static_cast<int32_t>(TakeRef(take)));
      FILE* f = std::fopen(files.back().c_str(), "r+b");
      std::fseek(f, kTakeDataOffset, SEEK_SET);
      std::fwrite(data.data(), 1, data.size(), f);
      std::fclose(f);
    }
  }
  ~BenchTakes() {
    TakeStoreClose();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  bool ok() const { return refs.size() == kTracks; }
};

BenchTakes& Takes() {
  static BenchTakes takes;
  return takes;
}

RecSeg Seg(int64_t start, int32_t a, int32_t b, int32_t kind, bool closing = false) {
  return {start, a, b, kind, closing ? kRecSegClosing : 0u};
}

// Each track: its own Take in layer 0 to the middle, then a 32-sample
// crossfade into the next track's Take in layer 1 at half level, with a
// ramp in at the start and a shaped fade out over the last second.
void SendLists(Recorder* rec, const std::vector<int32_t>& refs) {
  const int64_t mid = kSamples / 2, xf = mid - 32, fadeOut = kSamples - 48000;
  for (int32_t k = 0; k < kTracks; ++k) {
    const RecSeg d0[] = {Seg(0, 0, 0, refs[k]), Seg(mid, 0, 0, 0, true)};
    const RecSeg f0[] = {Seg(0, 0, kUnity, kFadeRampIn), Seg(32, kUnity, 0, kFadeLevel),
                         Seg(xf, kUnity, 0, kFadeRampOut), Seg(mid, 0, 0, 0, true)};
    const RecSeg d1[] = {Seg(0, 0, 0, 0), Seg(xf, 0, 0, refs[(k + 1) % kTracks]),
                         Seg(kSamples, 0, 0, 0, true)};
    const RecSeg f1[] = {Seg(0, 0, 0, kFadeLevel), Seg(xf, 0, -0x400000, kFadeRampIn),
                         Seg(mid, -0x400000, 0, kFadeLevel), Seg(fadeOut, -0x400000, 0, kFadeLinear + 2),
                         Seg(kSamples, 0, 0, 0, true)};
    RecorderSetDisk0List(rec, k, 2, d0);
    RecorderSetFade0List(rec, k, 4, f0);
    RecorderSetDisk1List(rec, k, 3, d1);
    RecorderSetFade1List(rec, k, 5, f1);
  }
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Reads every Take's data plainly, file after file, in blocks of the
// engine's fill size; the bytes read.
double PlainReadTakes(const BenchTakes& takes) {
  static std::vector<uint8_t> buffer(16384 * 3);
  double bytes = 0;
  for (const std::string& file : takes.files) {
    FILE* f = std::fopen(file.c_str(), "rb");
    std::fseek(f, kTakeDataOffset, SEEK_SET);
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) bytes += static_cast<double>(n);
    std::fclose(f);
  }
  benchmark::DoNotOptimize(buffer.data());
  return bytes;
}

// Argument: the keep-Takes-open switch (-O): 0 opens and closes a Take file
// for each transfer, 1 keeps its handle.
void BM_Stream128Tracks(benchmark::State& state) {
  BenchTakes& takes = Takes();
  KeepTakesOpen = static_cast<int32_t>(state.range(0));
  if (!takes.ok()) {
    state.SkipWithError("no Takes");
    return;
  }
  Recorder* rec = OpenRecorder(0, &kTakeDiskCallbacks);
  std::vector<std::unique_ptr<RingClient>> clients;
  for (int32_t k = 0; k < kTracks; ++k) clients.push_back(std::make_unique<RingClient>(rec, k));
  SendLists(rec, takes.refs);
  RecorderSetPlayRecEndLoc(rec, kSamples);
  std::vector<int32_t> block(4096);
  int64_t mix = 0;
  double wall = 0, cpu = 0, plainWall = 0, plainBytes = 0;
  for (auto _ : state) {
    const auto began = std::chrono::steady_clock::now();
    const double cpuBegan = CpuSeconds();
    RecorderPrepAudPlayBufs(rec, 0);
    RecorderWaitUntilIdle(rec);
    RecorderStartPlayRec(rec);
    for (bool any = true; any;) {
      any = false;
      uint32_t moved = 0;
      for (auto& c : clients) {
        if (!c->running()) continue;
        any = true;
        const uint32_t n = c->Advance(4096, block.data(), nullptr);
        moved += n;
        if (n != 0) mix += block[n - 1];
      }
      // Nothing buffered yet: wait for the fill without spinning, so that the
      // CPU time counted is the engine's.
      if (any && moved == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    RecorderWaitUntilIdle(rec);
    const double w = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    state.SetIterationTime(w);
    wall += w;
    cpu += CpuSeconds() - cpuBegan;
    // The plain read of the same files in the same run, for the ratios.
    const auto plainBegan = std::chrono::steady_clock::now();
    plainBytes += PlainReadTakes(takes);
    plainWall += std::chrono::duration<double>(std::chrono::steady_clock::now() - plainBegan).count();
  }
  benchmark::DoNotOptimize(mix);
  clients.clear();
  CloseRecorder(rec);
  const double audio = kSamples / kRate * static_cast<double>(state.iterations());
  const double bytes = 3.0 * kSamples * kTracks * static_cast<double>(state.iterations());
  state.counters["x_realtime"] = audio / wall;
  state.counters["x_realtime_per_core"] = audio / cpu;
  state.counters["MB_per_s"] = bytes / wall / 1e6;
  // Speed as a part of the plain read's, by the wall clock and per core.
  const double plainSpeed = plainBytes / plainWall;
  state.counters["of_plain_read"] = bytes / wall / plainSpeed;
  state.counters["of_plain_read_per_core"] = bytes / cpu / plainSpeed;
  KeepTakesOpen = 0;
}
BENCHMARK(BM_Stream128Tracks)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The same bytes read plainly, file after file, in blocks of the engine's
// fill size.
void BM_PlainRead128Takes(benchmark::State& state) {
  BenchTakes& takes = Takes();
  if (!takes.ok()) {
    state.SkipWithError("no Takes");
    return;
  }
  double bytes = 0;
  for (auto _ : state) bytes += PlainReadTakes(takes);
  state.counters["MB_per_s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainRead128Takes)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
