#include "mixer/arrange/procnorm.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "mixer/model/host.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/numtext.h"

namespace {

constexpr uint32_t kIdsOverloaded = 248;
constexpr uint32_t kIdsAlreadyFull = 249;
constexpr uint32_t kIdsTooSmall = 250;
constexpr uint32_t kIdsDcOverload = 255;
constexpr int kIdOkButton = 1;

ProcRunSeams g_seams;
int32_t g_target = 0;

int Run(ProcDialog d, ProcList* list) { return g_seams.run ? g_seams.run(d, list) : 2; }
void StopUnits() {
  if (g_seams.unitsStop) g_seams.unitsStop();
}

// " %d.%02d" or "-%d.%02d" of a value in hundredths.
void CentiText(int32_t v, const char* tail, char* out, int size) {
  const int64_t m = std::llabs(int64_t{v});
  std::snprintf(out, static_cast<size_t>(size), "%c%d.%02d%s", v < 0 ? '-' : ' ', static_cast<int>(m / 100),
                static_cast<int>(m % 100), tail);
}

}  // namespace

void ProcSetRunSeams(const ProcRunSeams& seams) { g_seams = seams; }
int ProcRunDialog(ProcDialog dialog, ProcList* list) { return Run(dialog, list); }
void ProcUnitsStop() { StopUnits(); }
int32_t NormTargetLevel() { return g_target; }
void NormSetTargetLevel(int32_t centiDb) { g_target = centiDb; }

int32_t NormApplyTarget(const char* text, int32_t peak) {
  int32_t t = TextToNumber(text, 100);
  if (t >= 1) t = 0;
  if (t < -9600) t = -9600;
  g_target = t;
  const int32_t a = std::min(ScaleByCentiDb(t, 32766), 32762);
  if (peak <= 0) return 32768;
  return static_cast<int32_t>(int64_t{a} * 32768 / peak);
}

void NormPeakText(int32_t peak, char* out, int size) {
  CentiText(RatioToCentiDb(static_cast<uint32_t>(std::max(peak, 0)), 32766), " dB.", out, size);
}

void NormTargetText(int32_t centiDb, char* out, int size) { CentiText(centiDb, "", out, size); }

int ProcNormalize(ProcList* list) {
  list->PlayGain = 32768;
  list->ProcessGain = 32768;
  list->Result = 0;
  list->Mode = 1;
  if (Run(kProcNormProcess, list) != kIdOkButton) {
    StopUnits();
    list->Result = 0;
    return 0;
  }
  const int32_t peak = list->Result;
  if (peak >= 32767) {
    MessageBoxById(nullptr, kIdsOverloaded, kMbWarnOk);
    list->Result = 0;
    return 0;
  }
  if (peak >= 32760) {
    MessageBoxById(nullptr, kIdsAlreadyFull, kMbWarnOk);
    list->Result = 0;
    return 0;
  }
  const int32_t d = RatioToCentiDb(32766, static_cast<uint32_t>(std::max(peak, 0)));
  if (d > 4800) {
    MessageBoxById(nullptr, kIdsTooSmall, kMbWarnOk, d / 100, d % 100);
    list->Result = 0;
    return 0;
  }
  if (Run(kProcNormParam, list) != kIdOkButton) {
    list->Result = 0;
    return 0;
  }
  list->Mode = 0;
  if (Run(kProcNormProcess, list) != kIdOkButton) {
    StopUnits();
    list->Result = 0;
    return 0;
  }
  list->Result = 1;
  return 1;
}

int ProcRemoveDc(ProcList* list) {
  list->PlayGain = 32768;
  list->Mode = 0;
  list->ProcessGain = 32768;
  for (;;) {
    if (Run(kProcRemDcProcess, list) != kIdOkButton) {
      StopUnits();
      list->Result = 0;
      return 0;
    }
    const int32_t result = list->Result;
    if (result < 32767) break;
    const int32_t d = RatioToCentiDb(static_cast<uint32_t>(result), 32766);
    if (MessageBoxById(nullptr, kIdsDcOverload, kMbAskYesNo, d / 100, d % 100) != kIdYes) break;
    if (result < 8 * 32767) {
      list->ProcessGain = static_cast<int32_t>(int64_t{list->ProcessGain} * 32762 / result);
    } else {
      list->PlayGain >>= 3;
    }
  }
  list->Result = 1;
  return 1;
}
