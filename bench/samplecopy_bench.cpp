// The sample copy and mix routines in bytes per second of client data,
// beside memcpy of the same number of bytes. A stream moves blocks of 64
// frames; a run of 64 blocks keeps the buffers in the cache as the driver's
// would be.
#include "kernel/samplecopy.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t Frames = 64 * 64;

struct Buffers {
  explicit Buffers(uint32_t clientBytes) : board(Frames * QvBoardStride, 0x01000000), client(clientBytes, 1) {}
  std::vector<uint32_t> board;
  std::vector<uint8_t> client;
};

// range(0): bytes per sample; range(1): channels; range(2): 0 input, 1 mix.
void Interleaved(benchmark::State& state) {
  uint32_t bytes = uint32_t(state.range(0)), channels = uint32_t(state.range(1));
  bool output = state.range(2) != 0;
  Buffers b(Frames * bytes * channels);
  QvInterleavedRoutine r = QvPickInterleaved(bytes, output, false);
  for (auto _ : state) {
    for (uint32_t f = 0; f < Frames; f += 64)
      r(&b.board[f * QvBoardStride], &b.client[f * bytes * channels], 64, channels, bytes * channels);
    benchmark::DoNotOptimize(b.board.data());
    benchmark::DoNotOptimize(b.client.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * b.client.size());
}

void Planar(benchmark::State& state) {
  uint32_t bytes = uint32_t(state.range(0));
  QvPlanarRoutine r = QvPickPlanar(bytes, state.range(1) != 0, state.range(2) != 0);
  Buffers b(Frames * bytes);
  for (auto _ : state) {
    for (uint32_t f = 0; f < Frames; f += 64) r(&b.board[f * QvBoardStride], &b.client[f * bytes], 64);
    benchmark::DoNotOptimize(b.board.data());
    benchmark::DoNotOptimize(b.client.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * b.client.size());
}

void Dithered(benchmark::State& state) {
  Buffers b(Frames * 4);
  for (auto _ : state) {
    for (uint32_t f = 0; f < Frames; f += 64) QvIn16Dither(&b.board[f * QvBoardStride], &b.client[f * 4], 64, 2, 4);
    benchmark::DoNotOptimize(b.client.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * b.client.size());
}

void WholeBlocks(benchmark::State& state) {
  std::vector<uint32_t> from(Frames * QvBoardStride, 7), to(Frames * QvBoardStride);
  for (auto _ : state) {
    QvCopyFrames(to.data(), from.data(), Frames);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * to.size() * 4);
}

// memcpy of the bytes a routine moves: range(0) bytes per block run.
void Memcpy(benchmark::State& state) {
  std::vector<uint8_t> from(size_t(state.range(0)), 1), to(size_t(state.range(0)));
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size());
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * to.size());
}

}  // namespace

BENCHMARK(Interleaved)
    ->ArgNames({"bytes", "channels", "mix"})
    ->ArgsProduct({{1, 2, 3, 4}, {2}, {0, 1}})
    ->Args({2, 16, 0})
    ->Args({4, 16, 0});
BENCHMARK(Planar)->ArgNames({"bytes", "mix", "store"})->Args({2, 0, 0})->Args({4, 0, 0})->Args({2, 1, 0})->Args({4, 1, 0})->Args({4, 1, 1});
BENCHMARK(Dithered);
BENCHMARK(WholeBlocks);
// The client bytes of the runs above: 1 to 4 bytes x 2 channels, 16 channels, one channel, whole blocks.
BENCHMARK(Memcpy)->Arg(Frames * 2)->Arg(Frames * 4)->Arg(Frames * 6)->Arg(Frames * 8)->Arg(Frames * 32)->Arg(Frames * 64)
    ->Arg(Frames * 64 * 4);
