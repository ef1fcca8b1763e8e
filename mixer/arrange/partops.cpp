#include "partops.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "editpriv.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/arrange/arrview.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/snap.h"
#include "mixer/model/take.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/services.h"

using arredit::End;
using arredit::Sel;

namespace {

constexpr int32_t kMuteShift = 192;
constexpr int32_t kAudioChannels = 192;
constexpr int32_t kAssignLimit = 128;
constexpr int32_t kNoOutput = 0;
constexpr uint32_t kLinkBits = kPartLinkNext | kPartLinkPrev;
constexpr int32_t kMaxDeciDb = 0;  // gains are capped at 0.0 dB

struct Member {
  uint32_t Slot;
  uint32_t Track;
};

void Draw(DcHandle dc, ArrRec* arr, uint32_t slot, uint32_t track) {
  if (dc != nullptr) ArrDrawPart(dc, arr, slot, track, 1, 0);
}

void SetSel(PartRec& p, int value) {
  p.Flags = value ? (p.Flags | kPartSelected) : (p.Flags & ~kPartSelected);
}

// The members of the Part's channel-link group from its head down; the
// Part alone when it has no links or the group cannot be followed.
std::vector<Member> Group(const ArrRec* arr, uint32_t slot, uint32_t track) {
  std::vector<Member> members;
  const PartRec* part = arrlist::UsedPart(arr, slot);
  if (part == nullptr) return members;
  uint32_t headTrack = track;
  uint32_t* list = PartIsChannelLinked(*part) ? ArrLinkList(arr, slot, track) : nullptr;
  if (list != nullptr && ArrLinkHead(arr, slot, track, &headTrack) >= 0) {
    for (uint32_t i = 0; list[i] != kArrNoSlot && headTrack + i < kArrTracks; ++i)
      members.push_back({list[i], headTrack + i});
  }
  ArrLinkListFree(list);
  if (members.empty()) members.push_back({slot, track});
  return members;
}

// The Part in `slot` when it lies on `track`; null for a free slot or a
// track that does not hold it (the links are found from the track).
const PartRec* PartOnTrack(const ArrRec* arr, int32_t slot, uint32_t track) {
  if (slot < 0 || track >= kArrTracks) return nullptr;
  const PartRec* p = arrlist::UsedPart(arr, static_cast<uint32_t>(slot));
  return p != nullptr && ArrTrackOfPart(arr, static_cast<uint32_t>(slot)) == static_cast<int32_t>(track)
             ? p
             : nullptr;
}

// Every selected Part, with its track.
std::vector<Member> Selected(const ArrRec* arr) {
  std::vector<Member> sel;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, const PartRec& p) {
    if (Sel(p)) sel.push_back({slot, track});
  });
  return sel;
}

bool AnySelected(const ArrRec* arr, bool (*test)(const PartRec&)) {
  bool any = false;
  arrlist::WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& p) { any = any || (Sel(p) && test(p)); });
  return any;
}

bool IsTimelocked(const PartRec& p) { return (p.Flags & kPartTimelocked) != 0; }
bool NotAudio(const PartRec& p) { return p.TakeKind != kTakeAudio; }
bool NotAutom(const PartRec& p) { return p.TakeKind != kTakeAutom; }

// The clicked Part, with its track; null when the slot holds none.
PartRec* Clicked(int32_t part, uint32_t* track) {
  if (part < 0) return nullptr;
  PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (p == nullptr) return nullptr;
  const int32_t t = ArrTrackOfPart(CurArr, static_cast<uint32_t>(part));
  if (t < 0) return nullptr;
  if (track) *track = static_cast<uint32_t>(t);
  return p;
}

// Redraws every selected Part, then applies KeepSel and raises the change
// count: the ending of the operations that change only attributes.
void FinishAttributes(DcHandle dc) {
  for (const Member& m : Selected(CurArr)) Draw(dc, CurArr, m.Slot, m.Track);
  arredit::SelectionToKeepSel(CurArr);
  ArrChangeCountRaise();
}

// Moves a gain by `delta` 0.1 dB, capped at 0.0 dB.
uint32_t MoveGain(uint32_t gain, int32_t delta) {
  return DeciDbToGain(std::min(GainToDeciDb(gain) + delta, kMaxDeciDb));
}

}  // namespace

// ---- Channels ----

int ArrAssignOutputs(int32_t firstPart, DcHandle dc, uint32_t kind, int32_t channel) {
  uint32_t track = 0;
  if (Clicked(firstPart, &track) == nullptr) return 0;
  int32_t start = channel;
  if (kind == kTakeAudio) {
    uint32_t headTrack = track;
    if (ArrLinkHead(CurArr, static_cast<uint32_t>(firstPart), track, &headTrack) >= 0)
      start -= static_cast<int32_t>(track - headTrack);
    start = std::max(start, 1);
  }
  if (!arredit::BeginStep(IDS_UNDO_OUTPUT_CHANGE)) return 0;
  std::vector<Member> changed;
  for (const Member& m : Selected(CurArr)) {
    const PartRec& p = *ArrPart(CurArr, m.Slot);
    if (p.TakeKind != kind || !PartIsLinkHead(p)) continue;
    std::vector<Member> group = Group(CurArr, m.Slot, m.Track);
    const int32_t size = static_cast<int32_t>(group.size());
    int32_t first = std::min(start, kAssignLimit - size + 1);
    for (int32_t i = 0; i < size; ++i) {
      PartRec& member = *ArrPart(CurArr, group[i].Slot);
      const int32_t ch = first + i;
      member.PlayChannel = ch < 1 ? kNoOutput : ch;
      changed.push_back(group[i]);
    }
  }
  for (const Member& m : changed) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    SetSel(p, KeepSel);
    Draw(dc, CurArr, m.Slot, m.Track);
    if (EditMultiOutMode == 40896) ArrMuteSameOutputOverlaps(CurArr, m.Slot, m.Track, dc, 0);
  }
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}

int ArrToggleMute(int32_t part, DcHandle dc) {
  const PartRec* clicked = Clicked(part, nullptr);
  if (clicked == nullptr) return 0;
  const bool mute = clicked->PlayChannel >= 1 && clicked->PlayChannel <= kAudioChannels;
  if (!arredit::BeginStep(IDS_UNDO_OUTPUT_MUTE)) return 0;
  std::vector<Member> unmuted;
  for (const Member& m : Selected(CurArr)) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    if (mute && p.PlayChannel >= 1 && p.PlayChannel <= kAudioChannels) {
      p.PlayChannel += kMuteShift;
    } else if (!mute && p.PlayChannel > kAudioChannels) {
      p.PlayChannel -= kMuteShift;
      unmuted.push_back(m);
    }
  }
  // A Part brought back onto its channel mutes what it now overlaps there.
  if (EditMultiOutMode == 40896)
    for (const Member& m : unmuted) ArrMuteSameOutputOverlaps(CurArr, m.Slot, m.Track, dc, 0);
  FinishAttributes(dc);
  arredit::RebuildPlay();
  return 1;
}

// ---- Snap point ----

int ArrSetSnapPoint(DcHandle dc, int32_t position, const ArrInput& input) {
  static uint32_t lastClick = 0;
  static bool clicked = false;
  const bool repeat = clicked && input.Time - lastClick <= input.DoubleClickTime;
  lastClick = input.Time;
  clicked = true;
  if (!arredit::BeginStep(IDS_UNDO_SNAP_POINT)) return 0;
  const int32_t p = repeat ? 0 : SnapLoc(position, 0, 0, CurArr, CurMrkList, kSnapExcludeNone, 0);
  for (const Member& m : Selected(CurArr)) {
    PartRec& part = *ArrPart(CurArr, m.Slot);
    part.SnapPoint = !repeat && part.Start < p && p < End(part) ? p - part.Start : 0;
  }
  FinishAttributes(dc);
  return 1;
}

// ---- Glue ----

int ArrGlueSelected(DcHandle dc) {
  // The work table: each Part's link-group size and place, noted before any
  // Part changes.
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> groupOf;
  try {
    arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t slot, const PartRec&) {
      uint32_t head = track;
      const uint32_t size = ArrLinkCount(CurArr, slot, track, &head);
      groupOf[slot] = {size, track - head};
    });
  } catch (const std::bad_alloc&) {
    return arredit::Refuse(IDS_GLOBAL_ALLOC_FAILED);
  }
  if (!arredit::BeginStep(IDS_UNDO_GLUE)) return 0;
  for (const Member& m : Selected(CurArr)) {
    PartRec* part = arrlist::UsedPart(CurArr, m.Slot);
    if (part == nullptr) continue;  // absorbed by an earlier selected Part
    for (;;) {
      PartRec* next = arrlist::UsedPart(CurArr, part->Next);
      if (next == nullptr) break;
      const uint32_t nextSlot = part->Next;
      const bool continues = next->Start == End(*part) && next->Take == part->Take &&
                             next->TakeKind == part->TakeKind &&
                             int64_t{next->Offset} == int64_t{part->Offset} + part->Length &&
                             End(*part) + next->Length <= INT32_MAX &&
                             groupOf[nextSlot] == groupOf[m.Slot];
      if (!continues) break;
      if (part->SnapPoint == 0 && next->SnapPoint != 0) part->SnapPoint = next->SnapPoint + part->Length;
      part->Length += next->Length;
      part->GainEnd = next->GainEnd;
      part->XfadeOutPartner = next->XfadeOutPartner;
      std::memcpy(part->XfadeOutWindow, next->XfadeOutWindow, sizeof part->XfadeOutWindow);
      part->XfadeOutCurve = next->XfadeOutCurve;
      part->Flags |= next->Flags & kPartTimelocked;
      ArrUnlinkPart(CurArr, nextSlot, m.Track);
      PartCheckXfade(CurArr, m.Slot);
    }
    if (part->TakeKind == kTakeAudio && part->Length >= arredit::kLongPartSamples)
      part->GainStart = part->GainEnd = std::max(part->GainStart, part->GainEnd);
    part->Flags |= kPartTempMark;
  }
  ArrRelinkOverlaps(CurArr);
  ArrRaiseSelLayers(CurArr, 1, 0);
  // A group whose members were not all glued alike loses its links.
  ArrCheckPartLinks(CurArr, 1, dc);
  arredit::MuteSelectedOverlaps(CurArr, dc);
  arredit::Finish(dc);
  return 1;
}

// ---- Delete ----

int ArrDeleteSelected(DcHandle dc) {
  if (AnySelected(CurArr, IsTimelocked)) return arredit::Refuse(IDS_TIMELOCKED_NO_MOVE);
  const int asked = ArrSelHasUnsharedTakes(CurArr);
  const int rebin = asked ? arredit::AskYesNo(IDS_ASK_DELETE_UNREF_TAKES, kMbAskYesNo) : 0;
  return ArrDeleteSelectedApply(dc, rebin, asked);
}

int ArrDeleteSelectedApply(DcHandle dc, int rebin, int asked) {
  if (AnySelected(CurArr, IsTimelocked)) return arredit::Refuse(IDS_TIMELOCKED_NO_MOVE);
  if (!arredit::BeginStep(IDS_UNDO_DELETE)) return 0;
  if (rebin) ArrReBinUnsharedSelTakes(CurArr, 1);
  const std::vector<Member> sel = Selected(CurArr);
  // Erase first and mark what lay under, so the redraw after the removal
  // shows the uncovered Parts.
  for (const Member& m : sel) {
    const PartRec& gone = *ArrPart(CurArr, m.Slot);
    if (dc != nullptr) ArrErasePart(dc, CurArr, m.Slot, m.Track, 0);
    arrlist::WalkTrack(CurArr, m.Track, [&](uint32_t, PartRec& other) {
      if (!Sel(other) && arrlist::PartsOverlap(gone, other)) other.Flags |= kPartTempMark;
      return true;
    });
  }
  for (const Member& m : sel) ArrUnlinkPart(CurArr, m.Slot, m.Track);
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 1);
  // A link group that lost members keeps none of its links.
  ArrCheckPartLinks(CurArr, 1, dc);
  ArrRedrawMarked(dc, CurArr);
  ArrClearTempMarks(CurArr);
  if (asked) ArrSyncTakeRefs(CurArr, 0);
  ArrEditWnd().UpdateScrollRanges();
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}

// ---- Flags ----

int ArrInvertPhase(int32_t part, DcHandle dc) {
  const PartRec* clicked = Clicked(part, nullptr);
  if (clicked == nullptr) return 0;
  if (AnySelected(CurArr, NotAudio)) return arredit::Refuse(IDS_AUDIO_PARTS_ONLY);
  const bool invert = (clicked->Flags & kPartPhaseInvert) == 0;
  if (!arredit::BeginStep(IDS_UNDO_PHASE_INVERSION)) return 0;
  for (const Member& m : Selected(CurArr)) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    p.Flags = invert ? (p.Flags | kPartPhaseInvert) : (p.Flags & ~kPartPhaseInvert);
  }
  FinishAttributes(dc);
  arredit::RebuildPlay();
  return 1;
}

int ArrToggleTimelock(int32_t part, DcHandle dc) {
  const PartRec* clicked = Clicked(part, nullptr);
  if (clicked == nullptr) return 0;
  const bool lock = !IsTimelocked(*clicked);
  if (!arredit::BeginStep(IDS_UNDO_TIMELOCK)) return 0;
  for (const Member& m : Selected(CurArr)) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    p.Flags = lock ? (p.Flags | kPartTimelocked) : (p.Flags & ~kPartTimelocked);
  }
  FinishAttributes(dc);
  return 1;
}

int ArrChooseAutomKnob(int button, int32_t part, WndHandle, DcHandle dc, int x, int y) {
  const PartRec* clicked = Clicked(part, nullptr);
  if (clicked == nullptr) return 0;
  if (AnySelected(CurArr, NotAutom) || clicked->TakeKind != kTakeAutom)
    return arredit::Refuse(IDS_AUTOM_PARTS_ONLY);
  ArrEditRoutines& rtn = ArrEditRtn();
  const uint32_t take = clicked->Take;
  const int count = std::max(rtn.KnobCount(take), 0);
  if (count == 0) return 0;
  std::vector<std::string> names(count);
  std::vector<ArrMenuItem> items(count);
  for (int k = 0; k < count; ++k) {
    char name[128];
    rtn.KnobName(take, k, name, sizeof name);
    name[sizeof name - 1] = '\0';
    names[k] = name;
    items[k] = {names[k].c_str(), k == clicked->AutoMapValue ? 1 : 0};
  }
  const int pick = ArrEditWnd().TrackMenu(items.data(), count, clicked->AutoMapValue, x, y, button);
  if (pick < 0 || pick >= count) return 0;
  const std::string pickName = names[pick];
  const uint32_t pickId = rtn.KnobId(take, pick);
  if (!arredit::BeginStep(IDS_UNDO_AUTOM_CURVE)) return 0;
  for (const Member& m : Selected(CurArr)) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    const int knobs = rtn.KnobCount(p.Take);
    for (int k = 0; k < knobs; ++k) {
      char name[128];
      rtn.KnobName(p.Take, k, name, sizeof name);
      name[sizeof name - 1] = '\0';
      if (pickName == name && rtn.KnobId(p.Take, k) == pickId) {
        p.AutoMapValue = static_cast<uint16_t>(k);
        break;
      }
    }
  }
  FinishAttributes(dc);
  return 1;
}

// ---- Gains ----

uint32_t ArrAddGainDelta(ArrRec* arr, int which, uint32_t oldLevel, uint32_t newLevel, DcHandle dc,
                         uint32_t* message) {
  const int32_t delta = GainToDeciDb(newLevel) - GainToDeciDb(oldLevel);
  uint32_t changed = 0;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& p) {
    if (!Sel(p) || p.TakeKind != kTakeAudio) return;
    if (which != 2 && p.Length >= arredit::kLongPartSamples) {
      if (message) *message = IDS_PARTS_TOO_LONG_TO_FADE;
      return;
    }
    if (which == 0 || which == 2) p.GainStart = MoveGain(p.GainStart, delta);
    if (which == 1 || which == 2) p.GainEnd = MoveGain(p.GainEnd, delta);
    ++changed;
    Draw(dc, arr, slot, track);
  });
  return changed;
}

uint32_t ArrSetTrackFade(DcHandle dc, ArrRec* arr, uint32_t track, uint32_t startGain,
                         uint32_t endGain, int curve) {
  int64_t from = INT64_MAX, to = INT64_MIN;
  arrlist::WalkTrack(arr, track, [&](uint32_t, const PartRec& p) {
    if (Sel(p)) from = std::min<int64_t>(from, p.Start), to = std::max(to, End(p));
    return true;
  });
  if (from > to) return 0;
  // The span as one Part, so that its gain at any offset comes from the one
  // fade rule.
  PartRec span{};
  span.TakeKind = kTakeAudio;
  span.Length = static_cast<int32_t>(std::min<int64_t>(to - from, INT32_MAX));
  span.GainStart = startGain;
  span.GainEnd = endGain;
  span.FadeCurve = static_cast<uint8_t>(curve & 7);
  uint32_t changed = 0;
  bool tooLong = false;
  arrlist::WalkTrack(arr, track, [&](uint32_t slot, PartRec& p) {
    if (!Sel(p) || p.TakeKind != kTakeAudio) return true;
    if (p.Length >= arredit::kLongPartSamples) {
      tooLong = true;
      return true;
    }
    if (startGain == endGain) {
      p.GainStart = p.GainEnd = startGain;
    } else {
      const int64_t at = p.Start - from;
      p.GainStart = ArrPartGainAt(static_cast<int32_t>(at), span);
      p.GainEnd = ArrPartGainAt(static_cast<int32_t>(std::min<int64_t>(at + p.Length, INT32_MAX)), span);
      p.FadeCurve = span.FadeCurve;
    }
    ++changed;
    Draw(dc, arr, slot, track);
    return true;
  });
  if (tooLong) arredit::Refuse(IDS_PARTS_TOO_LONG_TO_FADE);
  return changed;
}

// ---- Link groups ----

void ArrSetLinkGroupSelection(DcHandle dc, ArrRec* arr, int32_t part, uint32_t track, int value,
                              int includeSelf) {
  if (PartOnTrack(arr, part, track) == nullptr) return;
  for (const Member& m : Group(arr, static_cast<uint32_t>(part), track)) {
    if (m.Slot == static_cast<uint32_t>(part) && !includeSelf) continue;
    SetSel(*ArrPart(arr, m.Slot), value);
    Draw(dc, arr, m.Slot, m.Track);
  }
}

uint32_t ArrExtendSelectionToLinks(DcHandle dc, ArrRec* arr) {
  uint32_t added = 0;
  for (const Member& s : Selected(arr)) {
    if (!PartIsChannelLinked(*ArrPart(arr, s.Slot))) continue;
    for (const Member& m : Group(arr, s.Slot, s.Track)) {
      PartRec& p = *ArrPart(arr, m.Slot);
      if (Sel(p)) continue;
      p.Flags |= kPartSelected;
      ++added;
      Draw(dc, arr, m.Slot, m.Track);
    }
  }
  return added;
}

namespace {

// The first Part on `track` that may be linked to `part`: a channel partner
// with no link bits.
int32_t FreePartner(const ArrRec* arr, const PartRec& part, uint32_t track, bool selectedOnly) {
  int32_t found = -1;
  arrlist::WalkTrack(arr, track, [&](uint32_t slot, const PartRec& other) {
    if (other.Start > part.Start) return false;
    if (!PartIsChannelLinked(other) && PartsAreChannelPartners(part, other) &&
        (!selectedOnly || Sel(other))) {
      found = static_cast<int32_t>(slot);
      return false;
    }
    return true;
  });
  return found;
}

// Links the Part on `upper` to the one on the track below it.
void LinkPair(DcHandle dc, ArrRec* arr, Member upper, Member lower, int mark) {
  PartRec& u = *ArrPart(arr, upper.Slot);
  PartRec& l = *ArrPart(arr, lower.Slot);
  u.Flags |= kPartLinkNext;
  l.Flags |= kPartLinkPrev;
  if (mark) {
    u.Flags |= kPartPassMark;
    l.Flags |= kPartPassMark;
  }
  Draw(dc, arr, upper.Slot, upper.Track);
  Draw(dc, arr, lower.Slot, lower.Track);
}

}  // namespace

int ArrStereoLink(DcHandle dc, ArrRec* arr, int32_t part, uint32_t track, int mark) {
  const PartRec* p = PartOnTrack(arr, part, track);
  if (p == nullptr || p->TakeKind != kTakeAudio || PartIsChannelLinked(*p))
    return 0;
  const uint32_t other = track + 1 < kArrTracks ? track + 1 : track - 1;
  const int32_t partner = FreePartner(arr, *p, other, false);
  if (partner < 0) return 0;
  SetSel(*ArrPart(arr, static_cast<uint32_t>(partner)), Sel(*p));
  const Member self{static_cast<uint32_t>(part), track};
  const Member mate{static_cast<uint32_t>(partner), other};
  if (other > track)
    LinkPair(dc, arr, self, mate, mark);
  else
    LinkPair(dc, arr, mate, self, mark);
  return 1;
}

uint32_t ArrMultiChanLink(DcHandle dc, ArrRec* arr, int32_t part, uint32_t track, int mark,
                          int selectedOnly) {
  const PartRec* p = PartOnTrack(arr, part, track);
  if (p == nullptr || p->TakeKind != kTakeAudio) return 0;
  uint32_t links = 0;
  const Member start{static_cast<uint32_t>(part), track};
  // Downward: each new member links to the one above it.
  for (Member cur = start; cur.Track + 1 < kArrTracks;) {
    const PartRec& c = *ArrPart(arr, cur.Slot);
    if (c.Flags & kPartLinkNext) break;
    const int32_t next = FreePartner(arr, c, cur.Track + 1, selectedOnly != 0);
    if (next < 0) break;
    const Member lower{static_cast<uint32_t>(next), cur.Track + 1};
    LinkPair(dc, arr, cur, lower, mark);
    ++links;
    cur = lower;
  }
  for (Member cur = start; cur.Track > 0;) {
    const PartRec& c = *ArrPart(arr, cur.Slot);
    if (c.Flags & kPartLinkPrev) break;
    const int32_t prev = FreePartner(arr, c, cur.Track - 1, selectedOnly != 0);
    if (prev < 0) break;
    const Member upper{static_cast<uint32_t>(prev), cur.Track - 1};
    LinkPair(dc, arr, upper, cur, mark);
    ++links;
    cur = upper;
  }
  return links;
}

uint32_t ArrUnlinkGroup(DcHandle dc, ArrRec* arr, int32_t part, uint32_t track, int mark) {
  const PartRec* p = PartOnTrack(arr, part, track);
  if (p == nullptr) return 0;
  const int sel = Sel(*p);
  const std::vector<Member> group = Group(arr, static_cast<uint32_t>(part), track);
  for (const Member& m : group) {
    PartRec& q = *ArrPart(arr, m.Slot);
    q.Flags &= ~kLinkBits;
    SetSel(q, sel);
    if (mark) q.Flags |= kPartPassMark;
    Draw(dc, arr, m.Slot, m.Track);
  }
  // A Part whose links could not be followed loses its own bits all the same.
  PartRec& self = *ArrPart(arr, static_cast<uint32_t>(part));
  self.Flags &= ~kLinkBits;
  return static_cast<uint32_t>(group.size());
}

// ---- Rubber band and slip ----

uint32_t ArrRubberBandSelect(DcHandle dc, const ArrBandRect& band) {
  const ArrViewRec& view = ArrView();
  const int32_t row = std::max(view.Vzoom, 1) + kArrRowGap;
  auto trackAt = [&](int32_t y) {
    const int64_t t = (int64_t{y} - view.TopHeight - 1) / row + view.FirstTrack;
    return static_cast<uint32_t>(std::clamp<int64_t>(t, 0, kArrTracks - 1));
  };
  auto posAt = [&](int32_t x) {
    const int64_t p = int64_t{view.Origin} + int64_t{x} * std::max(view.Hzoom, 1) - kArrTimeShift;
    return static_cast<int32_t>(std::clamp<int64_t>(p, 0, INT32_MAX));
  };
  uint32_t t0 = trackAt(band.Y0), t1 = trackAt(band.Y1);
  int32_t p0 = posAt(band.X0), p1 = posAt(band.X1);
  if (t0 > t1) std::swap(t0, t1);
  if (p0 > p1) std::swap(p0, p1);
  uint32_t inside = 0;
  for (uint32_t t = t0; t <= t1; ++t)
    arrlist::WalkTrack(CurArr, t, [&](uint32_t slot, PartRec& p) {
      if (PartOverlapsRange(p0, p1, p)) {
        p.Flags |= kPartSelected;
        ++inside;
        Draw(dc, CurArr, slot, t);
      }
      return true;
    });
  return inside;
}

int ArrSlipCommit(int32_t x, DcHandle dc, const ArrSlipDrag& drag) {
  ArrEditWnd().EraseSlipFeedback(dc);
  const ArrViewRec& view = ArrView();
  const bool left = x < drag.PressX;
  int64_t distance = (int64_t{drag.PressX} - x) * std::max(view.Hzoom, 1);
  if (distance < 0) distance = -distance;
  distance = SnapLoc(static_cast<int32_t>(std::min<int64_t>(distance, INT32_MAX)), 0, 0, CurArr,
                     CurMrkList, kSnapExcludeNone, 0);
  const int32_t limit = drag.KeyStep != 0 ? std::abs(drag.KeyStep)
                                          : std::max(left ? drag.LimitLeft : drag.LimitRight, 0);
  distance = std::min<int64_t>(distance, limit);
  if (distance == 0) return 0;
  if (AnySelected(CurArr, IsTimelocked)) return arredit::Refuse(IDS_TIMELOCKED_NO_MOVE);
  if (!arredit::BeginStep(IDS_UNDO_SLIP)) return 0;
  for (const Member& m : Selected(CurArr)) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    const int64_t offset = int64_t{p.Offset} + (left ? distance : -distance);
    p.Offset = static_cast<int32_t>(std::clamp<int64_t>(offset, 0, INT32_MAX));
  }
  FinishAttributes(dc);
  arredit::RebuildPlay();
  return 1;
}
