#include "mixer/arrange/genwave.h"

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
  // The Parts to redraw once their Take has its overview.
  struct Marked {
    uint32_t slot, track;
  };
  std::vector<Marked> marked;
  if (dc != nullptr && redraw)
    for (uint32_t track = 0; track < kArrTracks; ++track)
      ArrForEachTrackPart(CurArr, track, [&](uint32_t slot, const PartRec& p) {
        if (NeedsOverview(p)) marked.push_back({slot, track});
      });
  int done = 0;
  bool stop = false;
  for (uint32_t track = 0; track < kArrTracks && !stop; ++track)
    ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec& p) {
      if (stop || !NeedsOverview(p)) return;
      TakeRec* t = TakeFromRef(p.Take);
      if (!(g_seams.cacheHas && g_seams.cacheHas(t))) {
        if (g_seams.stopped && !g_seams.stopped()) {
          g_pending = true;  // built when the transport stops
          return;
        }
        if (!g_seams.build || !g_seams.build(t)) {
          stop = true;
          return;
        }
      }
      uint32_t error = 0;
      TakeSetAttr(t, kTakeAttrWaveExists, 1, &error);
      ++done;
    });
  if (done > 0) {
    if (redraw) {
      if (dc != nullptr) {
        for (const Marked& m : marked) ArrDrawPart(dc, CurArr, m.slot, m.track, 1, 0);
      } else if (g_seams.invalidateParts) {
        g_seams.invalidateParts();
      }
    }
    if (redrawOther && g_seams.invalidateTakeList) g_seams.invalidateTakeList();
  }
  return done;
}
