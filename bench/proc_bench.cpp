// The normalize scan of a 10-minute 24-bit stereo recording (two mono Takes
// at 48 kHz) through the processing list, the span lists and the native
// engine's normalise job, against `sox <file> -n stat` over the same samples
// as one stereo WAV file, in the same run. Reported: megabytes of sample data
// per second for each (the Takes' bytes; the WAV holds the same bytes).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/scratch_folder.h"
#include "mixer/arrange/procengine.h"
#include "mixer/model/take.h"
#include "mixer/units/natlink.h"
#include "mixer/units/playlist.h"
#include "native/qvNatRec/takedisk.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kSamples = kRate * 600;  // 10 minutes
constexpr uint64_t kBytes = uint64_t{kSamples} * 3 * 2;

struct BenchData {
  std::filesystem::path folder;
  std::string wav;
  uint32_t refs[2] = {};
  bool ok = false;

  BenchData() {
    folder = BenchScratchFolder("hrl-proc-bench");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    TakeStoreOpen();
    // A pseudo-random 24-bit signal per channel.
    std::vector<uint8_t> ch[2];
    for (int c = 0; c < 2; ++c) {
      ch[c].resize(size_t{kSamples} * 3);
      uint32_t x = 12345u + static_cast<uint32_t>(c);
      for (size_t i = 0; i < ch[c].size(); ++i) {
        x = x * 1664525u + 1013904223u;
        ch[c][i] = static_cast<uint8_t>(x >> 24);
      }
    }
    const std::string dir = folder.string() + "\\";
    for (int c = 0; c < 2; ++c) {
      const std::string name = c ? "Right" : "Left";
      uint32_t error = 0;
      TakeRec* take = TakeCreateAudio(dir.c_str(), 3, kSamples, 0, kRate, 25, 0, name.c_str(), nullptr,
                                      nullptr, nullptr, &error);
      if (take == nullptr) return;
      refs[c] = TakeRef(take);
      FILE* f = std::fopen((folder / (name + ".ATAK")).string().c_str(), "r+b");
      if (!f) return;
      std::fseek(f, kTakeDataOffset, SEEK_SET);
      std::fwrite(ch[c].data(), 1, ch[c].size(), f);
      std::fclose(f);
    }
    // The same samples as one interleaved stereo WAV file.
    wav = (folder / "stereo.wav").string();
    FILE* f = std::fopen(wav.c_str(), "wb");
    if (!f) return;
    auto u32 = [f](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [f](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    const uint32_t data = static_cast<uint32_t>(kBytes);
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + data);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(2);
    u32(kRate);
    u32(kRate * 6);
    u16(6);
    u16(24);
    std::fwrite("data", 1, 4, f);
    u32(data);
    std::vector<uint8_t> frames(size_t{65536} * 6);
    for (uint32_t at = 0; at < kSamples; at += 65536) {
      const uint32_t n = std::min<uint32_t>(65536, kSamples - at);
      for (uint32_t i = 0; i < n; ++i)
        for (int c = 0; c < 2; ++c) std::memcpy(&frames[size_t{i} * 6 + c * 3], &ch[c][size_t{at + i} * 3], 3);
      std::fwrite(frames.data(), 1, size_t{n} * 6, f);
    }
    std::fclose(f);
    int32_t error = 0;
    NatLinkBind(NatDevStaticApi());
    ok = NatLinkOpenAll(kPlayChannels, &kTakeDiskCallbacks, &error) == 1;
  }
  ~BenchData() {
    NatLinkCloseAll();
    TakeStoreClose();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

BenchData& Data() {
  static BenchData data;
  return data;
}

void BM_NormalizeScan(benchmark::State& state) {
  BenchData& d = Data();
  if (!d.ok) {
    state.SkipWithError("set-up failed");
    return;
  }
  int32_t peak = 0;
  for (auto _ : state) {
    ProcList list;
    std::memset(&list, 0, sizeof list);
    list.Mode = 1;
    list.PlayGain = 32768;
    list.ProcessGain = 32768;
    for (int c = 0; c < 2; ++c) ProcListAdd(&list, d.refs[c], 0, kSamples);
    if (ProcEngineRunPass(kProcNormProcess, &list) != 1) {
      state.SkipWithError("scan failed");
      return;
    }
    peak = list.Result;
  }
  state.counters["peak"] = peak;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

void BM_SoxStat(benchmark::State& state) {
  BenchData& d = Data();
  const std::string cmd = "sox '" + d.wav + "' -n stat > /dev/null 2>&1";
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) {
      state.SkipWithError("sox is not installed or failed");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}

}  // namespace

BENCHMARK(BM_NormalizeScan)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SoxStat)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
