// The device library's sample converters (int32 to float and back, every
// pair) against a plain memcpy of the same buffers, in bytes per second.
#include "Drv/Qvdrv/cpufeat.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t Samples = 16384;  // 64 KB per buffer: a stream block of 16 channels at 1024 frames

struct Buffers {
  int32_t* ints;
  float* floats;
  Buffers() {
    ints = static_cast<int32_t*>(std::aligned_alloc(16, Samples * 4));
    floats = static_cast<float*>(std::aligned_alloc(16, Samples * 4));
    for (size_t i = 0; i < Samples; ++i) {
      ints[i] = static_cast<int32_t>(i * 2654435761u);
      floats[i] = static_cast<float>(ints[i]) / 2147483648.0f;
    }
  }
  ~Buffers() {
    std::free(ints);
    std::free(floats);
  }
};

void BM_Memcpy(benchmark::State& state) {
  Buffers b;
  for (auto _ : state) {
    std::memcpy(b.floats, b.ints, Samples * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Samples * 4);
}
BENCHMARK(BM_Memcpy);

void BM_IntToFloat(benchmark::State& state) {
  Buffers b;
  qvcpu::ConvertRoutine f = qvcpu::ConvertersOf(static_cast<qvcpu::ConverterPair>(state.range(0))).toFloat;
  for (auto _ : state) {
    f(Samples, b.ints, b.floats);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Samples * 4);
}
BENCHMARK(BM_IntToFloat)->Arg(qvcpu::PairPortable)->Arg(qvcpu::PairSse)->Arg(qvcpu::PairSse2);

void BM_FloatToInt(benchmark::State& state) {
  Buffers b;
  qvcpu::ConvertRoutine f = qvcpu::ConvertersOf(static_cast<qvcpu::ConverterPair>(state.range(0))).toInt;
  for (auto _ : state) {
    f(Samples, b.floats, b.ints);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * Samples * 4);
}
BENCHMARK(BM_FloatToInt)->Arg(qvcpu::PairPortable)->Arg(qvcpu::PairSse)->Arg(qvcpu::PairSse2);

}  // namespace
