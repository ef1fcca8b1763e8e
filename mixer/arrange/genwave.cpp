#include "mixer/arrange/genwave.h"

#include <algorithm>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"

namespace {

WaveformSeams g_seams;
bool g_pending = false;

bool NeedsOverview(const PartRec& p) {
  if (p.TakeKind != kTakeAudio) return false;
  const TakeRec* t = TakeFromRef(p.Take);
  return t != nullptr && TakeGetAttr(const_cast<TakeRec*>(t), kTakeAttrWaveExists) == 0;
}

}  // namespace

void ArrSetWaveformSeams(const WaveformSeams& seams) { g_seams = seams; }
int ArrWaveformsPending() { return g_pending ? 1 : 0; }

int ArrGenTakeWaveforms(DcHandle dc, int redraw, int redrawOther, int onlyIfPending) {
  if (onlyIfPending && !g_pending) return 0;
  g_pending = false;
  if (CurArr == nullptr) return 0;
  // The Takes without an overview, gathered before any is built: a build
  // runs a dialog whose message loop may change the arrangement meanwhile
  // (a record pass laid at the stop, an undo), so no walk of it spans one.
  std::vector<uint32_t> takes;
  ArrForEachPart(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
    if (NeedsOverview(p) && std::find(takes.begin(), takes.end(), p.Take) == takes.end()) takes.push_back(p.Take);
  });
  std::vector<uint32_t> built;
  for (const uint32_t ref : takes) {
    TakeRec* t = TakeFromRef(ref);
    if (t == nullptr || TakeGetAttr(t, kTakeAttrWaveExists) != 0) continue;  // gone, or made meanwhile
    if (!(g_seams.cacheHas && g_seams.cacheHas(t))) {
      if (g_seams.stopped && !g_seams.stopped()) {
        g_pending = true;  // built when the transport stops
        continue;
      }
      if (!g_seams.build || !g_seams.build(t)) break;
      t = TakeFromRef(ref);  // the build's message loop may have freed it
      if (t == nullptr) continue;
    }
    uint32_t error = 0;
    TakeSetAttr(t, kTakeAttrWaveExists, 1, &error);
    built.push_back(ref);
  }
  if (!built.empty()) {
    if (redraw) {
      if (dc != nullptr) {
        ArrForEachPart(CurArr, [&](uint32_t track, uint32_t slot, const PartRec& p) {
          if (p.TakeKind == kTakeAudio && std::find(built.begin(), built.end(), p.Take) != built.end())
            ArrDrawPart(dc, CurArr, slot, track, 1, 0);
        });
      } else if (g_seams.invalidateParts) {
        g_seams.invalidateParts();
      }
    }
    if (redrawOther && g_seams.invalidateTakeList) g_seams.invalidateTakeList();
  }
  return static_cast<int>(built.size());
}
