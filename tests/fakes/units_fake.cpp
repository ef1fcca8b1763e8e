#include "units_fake.h"

#include "mixer/model/util/format.h"

UnitsFake& Units() {
  static UnitsFake fake;
  return fake;
}

int NatDevAllIdle() {
  ++Units().natDevAllIdleCalls;
  return Units().natDevAllIdle;
}

int UnitAboutTexts(int unit, char* first, int firstSize, char* second, int secondSize) {
  if (unit < 0 || unit >= kMaxUnits || Units().about[unit][0].empty()) return 0;
  FormatText(first, firstSize, "%s", Units().about[unit][0].c_str());
  FormatText(second, secondSize, "%s", Units().about[unit][1].c_str());
  return 1;
}

int EngineSmallBufFlag() { return Units().engineSmallBuf; }
