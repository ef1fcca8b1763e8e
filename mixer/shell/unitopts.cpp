#include "mixer/shell/unitopts.h"

namespace {

struct Swap {
  uint32_t from;
  uint32_t to;
};

uint32_t Apply(uint32_t id, const Swap* swaps, int count) {
  for (int i = 0; i < count; ++i)
    if (id == swaps[i].from) return swaps[i].to;
  return id;
}

constexpr uint32_t kWordClockOut = 40361;
constexpr uint32_t kWordClock = 40418;

}  // namespace

uint32_t RemapClockOut(uint32_t id, const UnitHardware& unit) {
  if (!unit.hasHost && (id == 40362 || id == 40365)) return kWordClockOut;
  return id;
}

uint32_t RemapIo96K(uint32_t id, const UnitHardware& unit) {
  if (!(unit.hasHost && unit.hasMixDsps)) return id >= 40386 ? 40384 : id;
  if (id < 40386) id = 40386;
  static const Swap kKind3[] = {{40387, 40386}, {40389, 40388}};
  static const Swap kKind2[] = {{40386, 40387}, {40388, 40389}};
  if (unit.kind == 3) return Apply(id, kKind3, 2);
  if (unit.kind == 2) return Apply(id, kKind2, 2);
  return id;
}

uint32_t RemapMasterClock(uint32_t id, const UnitHardware& unit) {
  if (id == 40411) return kWordClock;  // the group's gap has no item
  if (!unit.hasHost) {
    static const Swap kCardOnly[] = {
        {40416, kWordClock}, {40417, kWordClock}, {40419, kWordClock},
        {40420, kWordClock}, {40421, kWordClock}};
    return Apply(id, kCardOnly, 5);
  }
  static const Swap kKind3[] = {{40412, 40410}, {40413, 40410}, {40415, 40414}, {40416, 40414}};
  static const Swap kKind2[] = {{40409, 40410}};
  if (unit.kind == 3) return Apply(id, kKind3, 4);
  if (unit.kind == 2) return Apply(id, kKind2, 1);
  return id;
}

uint32_t UnitOptionFlags(int32_t midiCfg, int32_t mtcQf48) {
  uint32_t flags = static_cast<uint32_t>(midiCfg) & ~kOptionMtcQf48;
  return mtcQf48 ? flags | kOptionMtcQf48 : flags;
}
