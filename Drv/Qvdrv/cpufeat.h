// The processor feature word and the library's pair of sample converters
// (32-bit integer samples to 32-bit float and back), portable: the decision
// from CPUID answers and the converter variants it installs.
#pragma once
#include <cstdint>

namespace qvcpu {

constexpr uint32_t FeatureSse2 = 1u << 0;
constexpr uint32_t FeatureSse = 1u << 1;
constexpr uint32_t FeatureMmx = 1u << 2;
constexpr uint32_t Feature3dNow = 1u << 3;
constexpr uint32_t FeatureHyperThreading = 1u << 7;

struct CpuidRegs {
  uint32_t eax, ebx, ecx, edx;
};

// Where the CPUID answers come from: the processor, or a table in tests.
class CpuidSource {
 public:
  virtual ~CpuidSource() = default;
  virtual bool Present() = 0;  // the CPUID instruction exists
  virtual CpuidRegs Query(uint32_t leaf) = 0;
};

// The feature word the answers give; 0 for no CPUID, another vendor or no MMX.
uint32_t FeaturesFrom(CpuidSource& cpu);

// The processor's own answers.
CpuidSource& ProcessorCpuid();

// Converters take (count, source, destination); count is a non-zero
// multiple of four.
using ConvertRoutine = void (*)(uint32_t count, const void* source, void* destination);
enum ConverterPair { PairPortable, PairSse, PairSse2 };
struct ConverterTable {
  ConvertRoutine toFloat;  // int32 samples to float, scaled by 2^-31
  ConvertRoutine toInt;    // float samples to int32, scaled by 2^31 and clipped
};
ConverterTable ConvertersOf(ConverterPair pair);
// The pair the feature word installs: SSE2, else SSE, else the portable one.
ConverterPair PairFor(uint32_t features);

// The library's cached word and its table. A word of 0 is probed again on
// the next call.
uint32_t GetCpuFeatures(CpuidSource& cpu);
ConverterTable& InstalledConverters();
void ForgetCpuFeatures();  // for tests: back to the unprobed state

}  // namespace qvcpu
