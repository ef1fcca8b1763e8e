// Automation-event thinning: the routine the automation processing driver
// runs on its list, one range of a source automation Take copied, thinned,
// into each destination Take.
#pragma once

#include <cstdint>

struct ThinEntry {
  uint32_t SourceTake;
  int32_t FilterValue;  // the knob of the selected curve
  uint32_t From;
  uint32_t Length;
  uint32_t NewTake;
};
static_assert(sizeof(ThinEntry) == 20);

inline constexpr int32_t kThinEntryMax = 255;

struct ThinList {
  int32_t Count;
  int32_t FilterOn;     // non-zero: only the entry's filter value is thinned
  uint32_t ThinAmount;  // the thin factor
  ThinEntry Entry[kThinEntryMax];
};
static_assert(sizeof(ThinList) == 12 + 20 * kThinEntryMax);

// Copies [from, to) of the source automation Take into the destination,
// thinning the events of `filter` (-1: every knob) by `amount`; 0 on
// failure. The automation library's copy is installed here by the program.
using ThinCopyFn = int (*)(uint32_t newTake, uint32_t sourceTake, uint32_t from, uint32_t to, int32_t filter,
                           uint32_t amount);
void ThinSetCopier(ThinCopyFn fn);

// Each entry in order; stops at the first failed copy with 0, else 1.
int ProcThinAutomation(ThinList* list);
