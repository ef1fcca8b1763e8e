#include "mixer/arrange/consolidate.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/genwave.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/proclist.h"
#include "mixer/arrange/procnorm.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/timecode.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/fileio.h"

namespace {

constexpr uint32_t kIdsNoFolder = 178;
constexpr uint32_t kIdsGlobalAlloc = 192;
constexpr uint32_t kIdsMutedNotProcessed = 243;
constexpr uint32_t kIdsAskRemoveMuted = 244;
constexpr uint32_t kIdsAskDelUnref = 245;
constexpr uint32_t kIdsAudioOnly = 321;
constexpr uint32_t kIdsAskPartialXfades = 338;
constexpr uint32_t kUndoConsolidation = 109;
constexpr uint32_t kConsCreatorCode = 1310;
constexpr uint32_t kIdsMaxParts = 216;
constexpr int32_t kConsFlatGainLength = 0x7FFFFF;

ConsRenderFn g_render = nullptr;

bool Muted(const PartRec& p) { return p.PlayChannel < 1 || p.PlayChannel > kConsChannels; }

template <typename F> void ForEachPart(ArrRec* arr, F&& f) {
  for (uint32_t t = 0; t < kArrTracks; ++t)
    for (uint32_t s = arr->ListHead[t]; s != kArrNoSlot;) {
      PartRec* p = ArrPart(arr, s);
      if (p == nullptr) break;
      const uint32_t next = p->Next;
      f(s, t, *p);
      s = next;
    }
}

bool PartnerSelected(ArrRec* arr, uint16_t partner) {
  if (partner == kArrNoLink) return true;
  const PartRec* p = ArrPart(arr, partner);
  return p == nullptr || arredit::Sel(*p);
}

// Clears the channel links between the Part in `slot` of `track` and its
// partners on the neighbouring tracks.
void UnlinkChannels(ArrRec* arr, uint32_t slot, uint32_t track) {
  PartRec& me = *ArrPart(arr, slot);
  auto clearOn = [&](uint32_t t, uint32_t bit) {
    if (t >= kArrTracks) return;
    ForEachPart(arr, [&](uint32_t, uint32_t pt, PartRec& p) {
      if (pt == t && p.Start == me.Start && (p.Flags & bit)) p.Flags &= ~bit;
    });
  };
  if (me.Flags & kPartLinkNext) clearOn(track + 1, kPartLinkPrev);
  if (me.Flags & kPartLinkPrev && track > 0) clearOn(track - 1, kPartLinkNext);
  me.Flags &= ~(kPartLinkNext | kPartLinkPrev);
}

void DeleteTakes(ConsChannel* table) {
  for (int c = 0; c < kConsChannels; ++c) {
    if (TakeRec* t = TakeFromRef(table[c].NewTake)) TakeDeleteFile(t);
    table[c].NewTake = 0;
  }
}

std::string TakeName(uint32_t ref) {
  TakeRec* t = TakeFromRef(ref);
  const char* n = t ? reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrName)) : nullptr;
  return n ? std::string(n) : std::string();
}

}  // namespace

void ConsSetRenderer(ConsRenderFn fn) { g_render = fn; }

void ConsBuildTable(const ArrRec* arr, ConsChannel table[kConsChannels]) {
  for (int c = 0; c < kConsChannels; ++c) table[c] = {-1, 0, 0, 0};
  ForEachPart(const_cast<ArrRec*>(arr), [&](uint32_t slot, uint32_t, PartRec& p) {
    if (!arredit::Sel(p) || Muted(p)) return;
    ConsChannel& ch = table[p.PlayChannel - 1];
    const int32_t end = static_cast<int32_t>(std::min<int64_t>(arredit::End(p), INT32_MAX));
    if (ch.FirstPart < 0) {
      ch = {static_cast<int32_t>(slot), p.Start, end, 0};
      return;
    }
    if (p.Start < ch.Start) {
      ch.FirstPart = static_cast<int32_t>(slot);
      ch.Start = p.Start;
    }
    ch.End = std::max(ch.End, end);
  });
}

namespace {

// Every Part of a track in list (start) order.
std::vector<uint32_t> TrackSlots(const ArrRec* arr, uint32_t track) {
  std::vector<uint32_t> v;
  ArrForEachTrackPart(arr, track, [&](uint32_t slot, const PartRec&) { v.push_back(slot); });
  return v;
}

// The gap [from, to) between two Parts of `track` can be bridged: no other
// Part of the track overlapping `p` reaches past from, and (when play
// channels may not overlap across tracks) no Part of the same channel and
// kind on an earlier track covers any of the gap.
bool GapFree(const ArrRec* arr, uint32_t track, uint32_t slot, const PartRec& p, int32_t from, int32_t to) {
  bool free = true;
  ArrForEachTrackPart(arr, track, [&](uint32_t s, const PartRec& q) {
    if (s != slot && PartOverlapsRange(p.Start, from, q) && arredit::End(q) > from) free = false;
  });
  if (!free || EditMultiOutMode != 40896 || to <= from) return free;
  for (uint32_t t = 0; t < track && free; ++t)
    ArrForEachTrackPart(arr, t, [&](uint32_t, const PartRec& q) {
      if (q.TakeKind == p.TakeKind && q.PlayChannel == p.PlayChannel && PartOverlapsRange(from, to, q))
        free = false;
    });
  return free;
}

// Joins `next` onto the end of `p`.
void Glue(PartRec& p, const PartRec& next) {
  p.Length = static_cast<int32_t>(arredit::End(next) - p.Start);
  p.GainEnd = next.GainEnd;
  p.Flags |= next.Flags & kPartTimelocked;
  p.XfadeOutCurve = next.XfadeOutCurve;
  p.XfadeOutPartner = next.XfadeOutPartner;
  p.XfadeOutWindow[0] = next.XfadeOutWindow[0];
  p.XfadeOutWindow[1] = next.XfadeOutWindow[1];
  if (p.SnapPoint == 0 && next.SnapPoint != 0) p.SnapPoint = next.SnapPoint + (next.Start - p.Start);
  // A ramp over a glued Part this long would no longer follow what was
  // rendered: it plays flat at the louder of its two gains.
  if (p.TakeKind == kTakeAudio && p.Length > kConsFlatGainLength)
    p.GainStart = p.GainEnd = std::max(p.GainStart, p.GainEnd);
}

}  // namespace

int ConsCollectParts(ArrRec** arrp, DcHandle dc, uint32_t* error) {
  *error = 0;
  ArrRec* arr = *arrp;
  ArrRelinkOverlaps(arr);
  // The visible sections of the selected Parts, each a Part of its own with
  // its gains baked at its ends, no links and no crossfades.
  struct Piece {
    uint32_t track;
    PartRec part;
  };
  std::vector<Piece> pieces;
  std::vector<std::pair<uint32_t, uint32_t>> selected;
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    ArrSection sec{-1, 0, 0};
    while (ArrNxtVisibleSection(arr, t, &sec)) {
      const PartRec& p = *ArrPart(arr, static_cast<uint32_t>(sec.Part));
      if (!arredit::Sel(p) || p.PlayChannel < 1 || p.PlayChannel > kConsChannels) continue;
      const int32_t rel = sec.Start - p.Start;
      PartRec c = p;
      c.Start = sec.Start;
      c.Offset = p.Offset + rel;
      c.Length = sec.Length;
      if (p.TakeKind == kTakeAudio) {
        c.GainStart = ArrPartGainAt(rel, p);
        c.GainEnd = ArrPartGainAt(rel + sec.Length, p);
      }
      c.SnapPoint = (p.SnapPoint != 0 && p.SnapPoint - rel > 0 && p.SnapPoint - rel < sec.Length)
                        ? p.SnapPoint - rel
                        : 0;
      c.OverlapLink = kArrNoLink;
      c.XfadeInPartner = c.XfadeOutPartner = kArrNoLink;
      c.XfadeInWindow[0] = c.XfadeOutWindow[0] = 0;
      c.XfadeInWindow[1] = c.XfadeOutWindow[1] = 255;
      c.Layer = 0;
      c.Flags |= kPartSelected;
      c.Next = kArrNoSlot;
      pieces.push_back({t, c});
    }
    ArrForEachTrackPart(arr, t, [&](uint32_t slot, const PartRec& p) {
      if (arredit::Sel(p)) selected.push_back({slot, t});
    });
  }
  // Whatever lay under the selected Parts is redrawn at the end.
  for (const auto& sel : selected) {
    const uint32_t slot = sel.first;
    const PartRec& sp = *ArrPart(arr, slot);
    ArrForEachTrackPart(arr, sel.second, [&](uint32_t s, const PartRec& q) {
      if (s != slot && !arredit::Sel(q) && PartOverlapsRange(sp.Start, static_cast<int32_t>(arredit::End(sp)), q))
        ArrPart(arr, s)->Flags |= kPartTempMark;
    });
  }
  for (const auto& [slot, track] : selected) ArrUnlinkPart(arr, slot, track);
  for (const Piece& piece : pieces) {
    if (!ArrInsertPart(arrp, piece.part, nullptr, piece.track, error)) {
      if (*error == 0) *error = kIdsMaxParts;
      return 0;
    }
    arr = *arrp;
  }
  ArrRelinkOverlaps(arr);

  // Glue the pieces that continue one another in the new Take.
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    bool merged = true;
    while (merged) {
      merged = false;
      const std::vector<uint32_t> slots = TrackSlots(arr, t);
      for (size_t i = 0; i + 1 < slots.size() && !merged; ++i) {
        PartRec& p = *ArrPart(arr, slots[i]);
        const PartRec& n = *ArrPart(arr, slots[i + 1]);
        if (!arredit::Sel(p) || !arredit::Sel(n) || n.PlayChannel != p.PlayChannel || n.Take != p.Take ||
            n.TakeKind != p.TakeKind || int64_t{n.Offset} - n.Start != int64_t{p.Offset} - p.Start ||
            n.Start < arredit::End(p))
          continue;
        const int32_t end = static_cast<int32_t>(arredit::End(p));
        if (n.Start != end && !GapFree(arr, t, slots[i], p, end, n.Start)) continue;
        Glue(p, n);
        ArrUnlinkPart(arr, slots[i + 1], t);
        PartCheckXfade(arr, slots[i]);
        merged = true;
      }
    }
  }

  ArrRelinkOverlaps(arr);
  ArrRaiseSelLayers(arr, 0, 1);
  ArrCheckXfades(arr, 1);
  arredit::MuteSelectedOverlaps(arr, dc);
  ArrCheckPartLinks(arr, 1, dc);
  return 1;
}

int32_t ConsHoldPosition(int64_t windowEnd, int32_t audBufSize) {
  if (windowEnd < 0) return EndOfTime;
  const int64_t hold = windowEnd - std::max(audBufSize, 0) - 32;
  return static_cast<int32_t>(std::clamp<int64_t>(hold, 0, EndOfTime));
}

int ArrConsolidate(DcHandle dc) {
  if (ArrOfflineRunActive()) return 0;
  bool notAudio = false, partialXfade = false, any = false, allMuted = true, someMuted = false;
  ForEachPart(CurArr, [&](uint32_t, uint32_t, PartRec& p) {
    if (!arredit::Sel(p)) return;
    any = true;
    if (p.TakeKind != kTakeAudio) notAudio = true;
    if (!PartnerSelected(CurArr, p.XfadeInPartner) || !PartnerSelected(CurArr, p.XfadeOutPartner))
      partialXfade = true;
    if (Muted(p)) {
      someMuted = true;
    } else {
      allMuted = false;
    }
  });
  if (!any) return 0;
  if (notAudio) return arredit::Refuse(kIdsAudioOnly);
  if (partialXfade && !arredit::AskYesNo(kIdsAskPartialXfades, kMbAskYesNo)) return 0;
  if (allMuted) return arredit::Refuse(kIdsMutedNotProcessed);
  if (!arredit::BeginStep(kUndoConsolidation)) return 0;

  if (someMuted) {
    const int answer = MessageBoxById(nullptr, kIdsAskRemoveMuted, kMbAskYesNoCancel);
    if (answer == kIdCancel) {
      UndoApply(0);
      return 0;
    }
    if (answer != kIdYes) {
      ForEachPart(CurArr, [&](uint32_t slot, uint32_t track, PartRec& p) {
        if (!arredit::Sel(p) || !Muted(p)) return;
        UnlinkChannels(CurArr, slot, track);
        p.Flags &= ~kPartSelected;
      });
    }
  }

  std::unique_ptr<ConsChannel[]> table(new (std::nothrow) ConsChannel[kConsChannels]);
  if (!table) {
    arredit::FailStep(kIdsGlobalAlloc);
    return 0;
  }
  ConsBuildTable(CurArr, table.get());

  // One new Take per channel. A missing folder or a failed creation stops
  // here: the Takes made so far are deleted and the step is undone, so no
  // Part ever points at a Take that does not exist.
  const ProcOptions& o = ProcOpts();
  for (int c = 0; c < kConsChannels; ++c) {
    ConsChannel& ch = table[c];
    if (ch.FirstPart < 0) continue;
    uint32_t error = 0;
    TakeRec* made = nullptr;
    if (!o.folder.empty() && FioDirExists(o.folder.c_str())) {
      char name[64] = {};
      std::strncpy(name, TakeName(ArrPart(CurArr, static_cast<uint32_t>(ch.FirstPart))->Take).c_str(),
                   sizeof name - 1);
      NewTakeName(o.folder.c_str(), name);
      made = TakeCreateAudio(o.folder.c_str(), o.rec24Bit ? 3 : 2,
                             static_cast<uint32_t>(int64_t{ch.End} - ch.Start), kConsCreatorCode, 0, 0, 1,
                             name, "", nullptr, nullptr, &error);
    } else {
      error = kIdsNoFolder;
    }
    if (made == nullptr) {
      DeleteTakes(table.get());
      UndoApply(0);
      MessageBoxById(nullptr, error ? error : kIdsNoFolder, kMbWarnOk, o.folder.c_str());
      arredit::RebuildPlay();
      return 0;
    }
    ch.NewTake = TakeRef(made);
  }

  int rendered;
  {
    OfflineRunScope running;
    rendered = g_render ? g_render(table.get()) : kIdCancel;
  }
  if (rendered != kIdOk) {
    ProcUnitsStop();
    DeleteTakes(table.get());
    UndoApply(0);
    arredit::SelectionToKeepSel(CurArr);
    arredit::RebuildPlay();
    return 0;
  }

  std::vector<uint32_t> oldTakes;
  ForEachPart(CurArr, [&](uint32_t, uint32_t, PartRec& p) {
    if (!arredit::Sel(p)) return;
    oldTakes.push_back(p.Take);
    if (Muted(p)) return;
    const ConsChannel& ch = table[p.PlayChannel - 1];
    p.Take = ch.NewTake;
    p.Offset = p.Start - ch.Start;
    p.Flags &= ~kPartPhaseInvert;
    p.GainStart = p.GainEnd = 32768;
    CarryTakeSuffix(p.Name, TakeName(ch.NewTake).c_str());
  });
  // Muted Parts the user chose to remove.
  std::vector<std::pair<uint32_t, uint32_t>> remove;
  ForEachPart(CurArr, [&](uint32_t slot, uint32_t track, PartRec& p) {
    if (arredit::Sel(p) && Muted(p)) remove.push_back({slot, track});
  });
  for (const auto& r : remove) ArrUnlinkPart(CurArr, r.first, r.second);
  ArrSyncTakeRefs(CurArr, 0);
  uint32_t collectError = 0;
  if (!ConsCollectParts(&CurArr, dc, &collectError)) {
    // The step is undone whole: the Parts play their old Takes again and the
    // new ones go.
    UndoApply(0);
    ArrSyncTakeRefs(CurArr, 0);
    DeleteTakes(table.get());
    MessageBoxById(nullptr, collectError, kMbWarnOk);
    arredit::RebuildPlay();
    return 0;
  }

  std::set<uint32_t> used;
  ForEachPart(CurArr, [&](uint32_t, uint32_t, PartRec& p) { used.insert(p.Take); });
  std::set<uint32_t> unused;
  for (uint32_t t : oldTakes)
    if (!used.count(t)) unused.insert(t);
  if (!unused.empty() && (o.delUnRefATk == 40883 ||
                          (o.delUnRefATk == 40885 && arredit::AskYesNo(kIdsAskDelUnref, kMbAskYesNo)))) {
    for (uint32_t t : unused)
      if (TakeRec* r = TakeFromRef(t)) TakeMoveToReBin(r);
  }
  arredit::Finish(dc);
  if (ProcOpts().autoGenWaveforms) ArrGenTakeWaveforms(dc, 1, 0, 0);
  return 1;
}
