#include "mixer/arrange/procthin.h"

namespace {
ThinCopyFn g_copy = nullptr;
}  // namespace

void ThinSetCopier(ThinCopyFn fn) { g_copy = fn; }

int ProcThinAutomation(ThinList* list) {
  if (list == nullptr || g_copy == nullptr || list->Count < 0 || list->Count > kThinEntryMax) return 0;
  for (int32_t i = 0; i < list->Count; ++i) {
    const ThinEntry& e = list->Entry[i];
    const uint64_t to = uint64_t{e.From} + e.Length;
    if (to > UINT32_MAX) return 0;
    const int32_t filter = list->FilterOn ? e.FilterValue : -1;
    if (!g_copy(e.NewTake, e.SourceTake, e.From, static_cast<uint32_t>(to), filter, list->ThinAmount)) return 0;
  }
  return 1;
}
