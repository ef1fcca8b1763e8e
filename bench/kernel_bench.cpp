// The driver's request path on the simulated machine: one I/O control from
// user mode through the I/O manager, the dispatch and back; and MulDiv.
#include "kernel/km/kmsim.h"
#include "kernel/km/um.h"
#include "kernel/qvdev.h"

#include <benchmark/benchmark.h>

namespace {
struct Machine {
  DRIVER_OBJECT* driver = nullptr;
  UmHandle wave = 0;
  Machine() {
    km::Reset();
    km::LoadDriver(DriverEntry, u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Qvdev", &driver);
    km::PnpArrive(driver, simbus::PciNode({0x1057, 0x1801, 0x89AB, 0x2345}, 1));
    UmOpen("\\\\.\\Qvwave", GENERIC_READ | GENERIC_WRITE, 0, &wave);
  }
  ~Machine() {
    UmClose(wave);
    km::UnloadDriver(driver);
    km::Reset();
  }
};

void BM_IoctlRoundTrip(benchmark::State& state) {
  Machine m;
  uint8_t index = 0;
  uint32_t words[3];
  for (auto _ : state) {
    uint32_t got;
    benchmark::DoNotOptimize(UmIoControl(m.wave, IOCTL_QV_GET_ID, &index, 1, words, sizeof words, &got));
  }
}
BENCHMARK(BM_IoctlRoundTrip);

void BM_MulDiv(benchmark::State& state) {
  int32_t a = 48000;
  for (auto _ : state) {
    benchmark::DoNotOptimize(MulDiv(a, 0x10000, 44100));
    ++a;
  }
}
BENCHMARK(BM_MulDiv);
}  // namespace
