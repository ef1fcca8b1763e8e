#include "Drv/Qvdrv/cpufeat.h"

#include <cpuid.h>

namespace qvcpu {
namespace {

constexpr uint32_t EdxMmx = 1u << 23;
constexpr uint32_t EdxSse = 1u << 25;
constexpr uint32_t EdxSse2 = 1u << 26;
constexpr uint32_t EdxHtt = 1u << 28;
constexpr uint32_t Edx3dNow = 1u << 31;

bool VendorIs(const CpuidRegs& r, const char (&name)[13]) {
  // The vendor text lies in EBX, EDX, ECX, four characters each.
  const uint32_t words[3] = {r.ebx, r.edx, r.ecx};
  for (int i = 0; i < 12; ++i) {
    if (static_cast<char>(words[i / 4] >> (8 * (i % 4))) != name[i]) return false;
  }
  return true;
}

uint32_t StandardLeafFeatures(CpuidSource& cpu) {
  CpuidRegs r = cpu.Query(1);
  if (!(r.edx & EdxMmx)) return 0;
  uint32_t word = FeatureMmx | (r.edx & EdxSse ? FeatureSse : 0) | (r.edx & EdxSse2 ? FeatureSse2 : 0);
  uint32_t logical = (r.ebx >> 16) & 0xFF;
  if ((r.edx & EdxHtt) && logical >= 2) word |= FeatureHyperThreading;
  return word;
}

class Processor final : public CpuidSource {
 public:
  bool Present() override { return __get_cpuid_max(0, nullptr) != 0; }
  CpuidRegs Query(uint32_t leaf) override {
    CpuidRegs r{};
    __cpuid(leaf, r.eax, r.ebx, r.ecx, r.edx);
    return r;
  }
};

uint32_t g_features = 0;  // a plain word: two first calls may both probe
ConverterTable g_table = ConvertersOf(PairPortable);

}  // namespace

uint32_t FeaturesFrom(CpuidSource& cpu) {
  if (!cpu.Present()) return 0;
  CpuidRegs vendor = cpu.Query(0);
  if (VendorIs(vendor, "GenuineIntel")) return StandardLeafFeatures(cpu);
  if (!VendorIs(vendor, "AuthenticAMD")) return 0;
  if (cpu.Query(0x80000000).eax < 0x80000001) return StandardLeafFeatures(cpu);
  CpuidRegs ext = cpu.Query(0x80000001);
  if (!(ext.edx & EdxMmx)) return 0;
  return FeatureMmx | FeatureSse | (ext.edx & Edx3dNow ? Feature3dNow : 0);
}

CpuidSource& ProcessorCpuid() {
  static Processor processor;
  return processor;
}

ConverterPair PairFor(uint32_t features) {
  if (features & FeatureSse2) return PairSse2;
  if (features & FeatureSse) return PairSse;
  return PairPortable;
}

uint32_t GetCpuFeatures(CpuidSource& cpu) {
  if (g_features) return g_features;
  uint32_t word = FeaturesFrom(cpu);
  g_features = word;
  if (word) g_table = ConvertersOf(PairFor(word));
  return word;
}

ConverterTable& InstalledConverters() { return g_table; }

void ForgetCpuFeatures() {
  g_features = 0;
  g_table = ConvertersOf(PairPortable);
}

}  // namespace qvcpu
