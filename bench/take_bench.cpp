// Streaming a 64 MB 24-bit Audio Take into a sample ring the way the
// recorder's play threads do, against a plain sequential read of the same
// file's bytes: the transfer's locking, opening, seeking and unpacking should
// cost little beside the read itself. Each transfer benchmark reports its
// speed as a part of the plain read's (`of_plain_read`), both measured in
// the same run, and `of_plain_read_bound` what the part could be for a
// transfer that reads into the scratch buffer and unpacks from there, if its
// read cost no more than the plain read (the unpack into the ring timed on
// its own). Transfers through kept handles unpack straight from a view of
// the file's pages instead: that bound does not hold for them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/scratch_folder.h"
#include "mixer/model/options.h"
#include "mixer/model/take.h"
#include "mixer/model/takeio.h"

namespace {

constexpr uint32_t kSamples = (64u << 20) / 3;  // 64 MB of 24-bit samples
constexpr uint32_t kFillBlock = 65536;  // samples per write while making the file

// Made once: the store, a folder and one Take filled with a byte ramp;
// all of it removed again when the program ends.
struct BenchTake {
  std::filesystem::path folder;
  std::string file;  // native path of the Take file
  TakeRec* take = nullptr;

  BenchTake() {
    folder = BenchScratchFolder("hrl-take-bench");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    TakeStoreOpen();
    uint32_t error = 0;
    const std::string dir = folder.string() + "\\";
    take = TakeCreateAudio(dir.c_str(), 3, kSamples, 0, 48000, 25, 0, "Stream", nullptr, nullptr,
                           nullptr, &error);
    if (take == nullptr) return;
    file = (folder / "Stream.ATAK").string();
    std::vector<uint8_t> data(kFillBlock * 3);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31);
    FILE* f = std::fopen(file.c_str(), "r+b");
    std::fseek(f, kTakeDataOffset, SEEK_SET);
    const uint64_t bytes = uint64_t{kSamples} * 3;
    for (uint64_t done = 0; done < bytes; done += data.size())
      std::fwrite(data.data(), 1, std::min<uint64_t>(data.size(), bytes - done), f);
    std::fclose(f);
  }
  ~BenchTake() {
    TakeStoreClose();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

BenchTake& StreamTake() {
  static BenchTake bench;
  return bench;
}

// A plain sequential read of the Take's data bytes in blocks of `bytes`;
// the seconds it took.
double PlainRead(const BenchTake& b, std::vector<uint8_t>& buffer) {
  const auto began = std::chrono::steady_clock::now();
  FILE* f = std::fopen(b.file.c_str(), "rb");
  std::fseek(f, kTakeDataOffset, SEEK_SET);
  while (std::fread(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
  }
  std::fclose(f);
  benchmark::DoNotOptimize(buffer.data());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

// Each iteration streams the whole Take through TakeReadSamples and then
// reads the same bytes plainly in blocks of the same size; the time reported
// is the transfer's, and `of_plain_read` the transfer's speed as a part of
// the plain read's, both measured in the same run.
void BM_TakeReadSamples(benchmark::State& state) {
  BenchTake& b = StreamTake();
  if (b.take == nullptr) {
    state.SkipWithError("no Take");
    return;
  }
  // Samples per transfer from the argument; a ring of two and a half blocks,
  // so that transfers wrap.
  const uint32_t block = static_cast<uint32_t>(state.range(0));
  KeepTakesOpen = static_cast<int32_t>(state.range(1));
  const uint32_t ringLength = block * 5 / 2;
  std::vector<uint32_t> ring(ringLength);
  std::vector<uint8_t> scratch(block * 3);
  std::vector<uint8_t> plainBuffer(block * 3);
  uint32_t ringStart = 0;
  double transferSeconds = 0, plainSeconds = 0, unpackSeconds = 0;
  for (auto _ : state) {
    const auto began = std::chrono::steady_clock::now();
    for (uint64_t position = 0; position < kSamples; position += block) {
      if (!TakeReadSamples(b.take, position, static_cast<int32_t>(block), ring.data(), ringLength,
                           ringStart,
                           scratch.data())) {
        state.SkipWithError("read failed");
        return;
      }
      ringStart = (ringStart + block) % ringLength;
    }
    benchmark::DoNotOptimize(ring.data());
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    state.SetIterationTime(took);
    transferSeconds += took;
    plainSeconds += PlainRead(b, plainBuffer);
    // The transfer's own work beside the read: unpacking the same number of
    // blocks from the scratch buffer (in cache, as after a read) into the ring.
    const auto unpackBegan = std::chrono::steady_clock::now();
    for (uint64_t position = 0; position < kSamples; position += block) {
      RingUnpackSamples(scratch.data(), block, 3, ring.data(), ringLength, ringStart);
      ringStart = (ringStart + block) % ringLength;
    }
    benchmark::DoNotOptimize(ring.data());
    unpackSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - unpackBegan).count();
  }
  KeepTakesOpen = 0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSamples * 3);
  state.counters["of_plain_read"] = plainSeconds / transferSeconds;
  // What a transfer by read and unpack could reach if its read cost no more
  // than the plain read: the plain read's time against that time plus the
  // unpack's.
  state.counters["of_plain_read_bound"] = plainSeconds / (plainSeconds + unpackSeconds);
}
// Arguments: samples per transfer; the keep-files-open switch.
BENCHMARK(BM_TakeReadSamples)
    ->Args({8192, 0})
    ->Args({65536, 0})
    ->Args({8192, 1})
    ->Args({65536, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SequentialFread(benchmark::State& state) {
  BenchTake& b = StreamTake();
  if (b.take == nullptr) {
    state.SkipWithError("no Take");
    return;
  }
  std::vector<uint8_t> buffer(state.range(0) * 3);
  for (auto _ : state) {
    FILE* f = std::fopen(b.file.c_str(), "rb");
    std::fseek(f, kTakeDataOffset, SEEK_SET);
    while (std::fread(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
    }
    std::fclose(f);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSamples * 3);
}
BENCHMARK(BM_SequentialFread)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);

}  // namespace
