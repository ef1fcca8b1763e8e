#include "partlink.h"

#include <cstring>

#include "mixer/model/arrlist.h"
#include "mixer/model/options.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"

namespace {

constexpr int32_t kMutedChannelShift = 192;
constexpr int32_t kAudioChannels = 192;
constexpr int32_t kOtherChannels = 128;
constexpr size_t kNameSize = sizeof(PartRec{}.Name);

// Draws one Part; drawn unselected (its bit cleared for the drawing only)
// when `unselected` is set.
void DrawPart(DcHandle dc, ArrRec* arr, uint32_t slot, uint32_t track, int unselected) {
  if (dc == nullptr) return;
  PartRec* part = ArrPart(arr, slot);
  if (part == nullptr) return;
  const uint32_t flags = part->Flags;
  if (unselected) part->Flags &= ~kPartSelected;
  ArrDrawPart(dc, arr, slot, track, 1, 0);
  part->Flags = flags;
}

// One pass over every Part: clears (with repair) the link bits whose
// partner is missing. Returns how many bits were bad.
uint32_t CheckLinksOnce(ArrRec* arr, int repair, DcHandle dc) {
  uint32_t bad = 0;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& part) {
    uint32_t lost = 0;
    if ((part.Flags & kPartLinkNext) && ArrLinkNxt(arr, slot, track, nullptr) < 0) lost |= kPartLinkNext;
    if ((part.Flags & kPartLinkPrev) && ArrLinkPrv(arr, slot, track, nullptr) < 0) lost |= kPartLinkPrev;
    if (lost == 0) return;
    ++bad;
    if (!repair) return;
    part.Flags &= ~lost;
    DrawPart(dc, arr, slot, track, 0);
  });
  return bad;
}

size_t BoundedLength(const char* name) {
  const void* nul = std::memchr(name, '\0', kNameSize);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - name) : kNameSize;
}

bool NameIsUsable(const char* name) {
  return BoundedLength(name) < kNameSize && CheckNameChars(name, nullptr);
}

void MendName(PartRec& part) {
  char* name = part.Name;
  name[kNameSize - 1] = '\0';
  ReplaceBadNameChars(name);
  size_t blanks = std::strspn(name, " ");
  std::memmove(name, name + blanks, std::strlen(name + blanks) + 1);
  if (name[0] != '\0') return;
  TakeRec* take = TakeFromRef(part.Take);
  const char* takeName = take ? reinterpret_cast<const char*>(TakeGetAttr(take, kTakeAttrName)) : nullptr;
  if (takeName == nullptr) return;
  std::strncpy(name, takeName, kNameSize - 1);
  name[kNameSize - 1] = '\0';
  ReplaceBadNameChars(name);
}

bool HasValidChannel(const PartRec& part) {
  const int32_t top = part.TakeKind == kTakeAudio ? kAudioChannels : kOtherChannels;
  return part.PlayChannel >= 1 && part.PlayChannel <= top;
}

}  // namespace

int ArrCheckPartLinks(ArrRec* arr, int repair, DcHandle dc) {
  const uint32_t bad = CheckLinksOnce(arr, repair, dc);
  // Clearing a bit can take the partner from a bit checked earlier in the
  // pass; repeat until a pass finds nothing. Each pass clears a bit.
  if (repair && bad != 0)
    while (CheckLinksOnce(arr, repair, dc) != 0) {
    }
  return bad == 0 ? 1 : 0;
}

int ArrCheckPartNames(ArrRec* arr, int repair, DcHandle dc) {
  int good = 1;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& part) {
    if (NameIsUsable(part.Name)) return;
    good = 0;
    if (!repair) return;
    MendName(part);
    DrawPart(dc, arr, slot, track, 0);
  });
  return good;
}

uint32_t ArrClearSelection(ArrRec* arr, DcHandle dc, int redraw) {
  uint32_t changed = 0;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& part) {
    if (!arrlist::IsSelected(part)) return;
    part.Flags &= ~kPartSelected;
    ++changed;
    if (redraw) DrawPart(dc, arr, slot, track, 0);
  });
  if (redraw && dc == nullptr && changed != 0) ArrRedrawWindows();
  return changed;
}

int ArrMuteSameOutputOverlaps(ArrRec* arr, uint32_t slot, uint32_t track, DcHandle dc,
                              int drawUnselected) {
  const PartRec* source = arrlist::UsedPart(arr, slot);
  if (source == nullptr || !HasValidChannel(*source)) return 0;
  const PartRec part = *source;
  int muted = 0;
  arrlist::WalkAll(arr, [&](uint32_t t, uint32_t s, PartRec& other) {
    if (t == track || other.TakeKind != part.TakeKind || other.PlayChannel != part.PlayChannel ||
        !arrlist::PartsOverlap(part, other))
      return;
    other.PlayChannel += kMutedChannelShift;
    muted = 1;
    DrawPart(dc, arr, s, t, drawUnselected);
  });
  return muted;
}

void ArrRedrawMarked(DcHandle dc, ArrRec* arr) {
  if (dc == nullptr) return;
  auto markedBelow = [arr](const PartRec& part, uint16_t link) {
    const PartRec* partner = arrlist::UsedPart(arr, arrlist::LinkSlot(link));
    return partner != nullptr && (partner->Flags & kPartTempMark) && partner->Layer < part.Layer;
  };
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& part) {
    if ((part.Flags & kPartTempMark) || markedBelow(part, part.XfadeInPartner) ||
        markedBelow(part, part.XfadeOutPartner))
      DrawPart(dc, arr, slot, track, KeepSel == 0 && arrlist::IsSelected(part));
  });
}
