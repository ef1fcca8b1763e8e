// Queries of the selection: counts and lists of selected Parts, the Takes
// only the selection uses, and which tracks an operation applies to.
#include <algorithm>
#include <vector>

#include "arr.h"
#include "arrheap.h"
#include "arrlist.h"
#include "host.h"
#include "mixer/model/takes.h"
#include "mixer/shell/services.h"

using namespace arrlist;

namespace {

// The file manager's event for a Take whose file went into the "qvReBin"
// folder; the value is the Take.
constexpr uint32_t kSFManTakeReBinned = 2;

constexpr char kAskTrksWithSelParts[] = "Apply only to Virtual Tracks that have Parts selected?";

// The Takes of the unselected Parts, sorted, for lookups by binary search.
std::vector<uint32_t> UnselectedTakes(const ArrRec* arr) {
  std::vector<uint32_t> takes;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    if (!IsSelected(part)) takes.push_back(part.Take);
  });
  std::sort(takes.begin(), takes.end());
  return takes;
}

bool Contains(const std::vector<uint32_t>& sorted, uint32_t take) {
  return std::binary_search(sorted.begin(), sorted.end(), take);
}

}  // namespace

uint32_t ArrCountSelParts(const ArrRec* arr, int32_t mode, uint32_t kind) {
  uint32_t count = 0;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    if (!IsSelected(part)) return;
    bool sameKind = part.TakeKind == kind;
    if ((mode == kArrCountKind && !sameKind) || (mode == kArrCountNotKind && sameKind)) return;
    ++count;
  });
  return count;
}

// ---- Take sharing ----

int ArrTakeIsUnreferenced(const ArrRec* arr, uint32_t take) {
  bool used = false;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) { used = used || part.Take == take; });
  return used ? 0 : 1;
}

int ArrPartTakeIsUnshared(const ArrRec* arr, uint32_t slot) {
  const PartRec* part = UsedPart(arr, slot);
  if (part == nullptr) return 0;
  bool shared = false;
  WalkAll(arr, [&](uint32_t, uint32_t s, const PartRec& q) {
    shared = shared || (s != slot && q.Take == part->Take);
  });
  return shared ? 0 : 1;
}

int ArrSelHasUnsharedTakes(const ArrRec* arr) {
  std::vector<uint32_t> unselected = UnselectedTakes(arr);
  bool found = false;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    found = found || (IsSelected(part) && !Contains(unselected, part.Take));
  });
  return found ? 1 : 0;
}

uint32_t ArrReBinUnsharedSelTakes(const ArrRec* arr, int notify) {
  std::vector<uint32_t> unselected = UnselectedTakes(arr);
  // Several selected Parts may share a Take: its file moves once.
  std::vector<uint32_t> moved;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    if (!IsSelected(part) || Contains(unselected, part.Take)) return;
    if (std::find(moved.begin(), moved.end(), part.Take) != moved.end()) return;
    moved.push_back(part.Take);
    if (notify) SFManNotify(kSFManTakeReBinned, part.Take);
    TakeMoveToReBin(part.Take);
  });
  return static_cast<uint32_t>(moved.size());
}

void AskTrksWithSelParts(uint8_t mask[kArrTracks]) {
  if (mask == nullptr) return;
  uint8_t withSel[kArrTracks] = {};
  bool any = false;
  WalkAll(CurArr, [&](uint32_t track, uint32_t, const PartRec& part) {
    if (!IsSelected(part)) return;
    withSel[track] = 1;
    any = true;
  });
  bool onlySel = any && MessageBoxText(nullptr, kAskTrksWithSelParts, kMbAskYesNoYes) == kIdYes;
  for (uint32_t track = 0; track < kArrTracks; ++track) mask[track] = onlySel ? withSel[track] : 1;
}

uint32_t* ArrSelPartList(const ArrRec* arr) {
  uint32_t count = ArrCountSelParts(arr, kArrCountAll, 0);
  uint32_t* list = ArrSlotListAlloc(count + 1);
  if (list == nullptr) return nullptr;
  uint32_t n = 0;
  WalkAll(arr, [&](uint32_t, uint32_t slot, const PartRec& part) {
    if (IsSelected(part) && n < count) list[n++] = slot;
  });
  list[n] = kArrNoSlot;
  return list;
}

void ArrSelPartListFree(uint32_t* list) { ArrSlotListFree(list); }


// ---- Neighbours of the selection on one track ----

int32_t TrkFirstSelPart(const ArrRec* arr, uint32_t track) {
  int32_t first = -1;
  const PartRec* best = nullptr;
  WalkTrack(arr, track, [&](uint32_t slot, const PartRec& part) {
    if (best != nullptr && part.Start != best->Start) return false;
    if (IsSelected(part) && (best == nullptr || part.Layer > best->Layer)) {
      first = static_cast<int32_t>(slot);
      best = &part;
    }
    return true;
  });
  return first;
}

int32_t TrkLastSelPart(const ArrRec* arr, uint32_t track) {
  int32_t last = -1;
  const PartRec* best = nullptr;
  WalkTrack(arr, track, [&](uint32_t slot, const PartRec& part) {
    if (!IsSelected(part)) return true;
    bool later = best == nullptr || End64(part) > End64(*best) ||
                 (End64(part) == End64(*best) && part.Layer >= best->Layer);
    if (later) {
      last = static_cast<int32_t>(slot);
      best = &part;
    }
    return true;
  });
  return last;
}

namespace {

// The Part of the highest layer (the first on equal layers) among those
// from `first` on that `pick` accepts, while `goOn` holds.
template <typename Pick, typename GoOn>
int32_t HighestLayer(const ArrRec* arr, uint32_t first, Pick pick, GoOn goOn) {
  int32_t found = -1;
  int16_t layer = 0;
  WalkFrom(arr, first, [&](uint32_t slot, const PartRec& part) {
    if (!goOn(part)) return false;
    if (pick(part) && (found < 0 || part.Layer > layer)) {
      found = static_cast<int32_t>(slot);
      layer = part.Layer;
    }
    return true;
  });
  return found;
}

}  // namespace

int32_t TrkPartBeforeSel(const ArrRec* arr, uint32_t track) {
  const PartRec* sel = UsedPart(arr, static_cast<uint32_t>(TrkFirstSelPart(arr, track)));
  if (sel == nullptr) return -1;
  int32_t at = sel->Start;
  return HighestLayer(
      arr, arr->ListHead[track], [&](const PartRec& p) { return End64(p) == at; },
      [&](const PartRec& p) { return p.Start < at; });
}

int32_t TrkPartAfterSel(const ArrRec* arr, uint32_t track) {
  const PartRec* sel = UsedPart(arr, static_cast<uint32_t>(TrkLastSelPart(arr, track)));
  if (sel == nullptr) return -1;
  int64_t at = End64(*sel);
  return HighestLayer(
      arr, sel->Next, [&](const PartRec& p) { return p.Start == at; },
      [&](const PartRec& p) { return p.Start <= at; });
}
