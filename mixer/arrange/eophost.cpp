#include "mixer/arrange/eophost.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <set>

#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/proclist.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/docnames.h"
#include "mixer/model/ini.h"
#include "mixer/model/marker.h"
#include "mixer/model/mrkdir.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/takeio.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/fileio.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/services.h"
#include "mixer/units/playlist.h"
#include "mixer/units/services.h"
#include "mixer/units/solo.h"

namespace eophost {

EopPlatform g_defaultPlatform;
EopPlatform* g_platform = &g_defaultPlatform;

RunState g_run;

}  // namespace eophost

using namespace eophost;

void EopSetPlatform(EopPlatform* platform) { g_platform = platform ? platform : &g_defaultPlatform; }
const std::vector<uint32_t>& EopRunTakes() { return g_run.takes; }
int EopAuditionIsPlaying() { return g_run.auditionPlaying; }

namespace {

constexpr int32_t kMaxPosition = 0x7fff05fe;
constexpr int32_t kOverlapKeep = 40893;
constexpr int32_t kAutoMuteMode = 40896;

// ---- Handles ----

PartRec* PartOf(uint32_t handle, uint32_t* slot, uint32_t* track) {
  if (handle < 1 || CurArr == nullptr) return nullptr;
  const uint32_t s = handle - 1;
  PartRec* p = arrlist::UsedPart(CurArr, s);
  if (p == nullptr) return nullptr;
  const int32_t t = ArrTrackOfPart(CurArr, s);
  if (t < 0) return nullptr;
  if (slot) *slot = s;
  if (track) *track = static_cast<uint32_t>(t);
  return p;
}

TakeRec* AudioTake(uint32_t ref) {
  TakeRec* t = TakeFromRef(ref);
  if (t == nullptr || !TakeIsOpen(t) || TakeGetAttr(t, kTakeAttrKind) != kTakeAudio) return nullptr;
  return t;
}

bool IsRunTake(uint32_t ref) {
  return std::find(g_run.takes.begin(), g_run.takes.end(), ref) != g_run.takes.end();
}

int64_t TakeLength(TakeRec* t) { return t ? static_cast<int64_t>(TakeGetAttr(t, kTakeAttrLength)) : 0; }

uint32_t FrameType(uint32_t code) {
  switch (code) {
    case kFr24: return 0;
    case kFr25: return 1;
    case kFr2997: return 2;
    case kFr2997Df: return 3;
    case kFr30: return 4;
    case kFr30Df: return 5;
    default: return 1;
  }
}
uint32_t FrameCode(uint32_t type) {
  static const uint32_t codes[] = {kFr24, kFr25, kFr2997, kFr2997Df, kFr30, kFr30Df};
  return type < 6 ? codes[type] : kFr25;
}

EopTimeCode ToEop(const TcRec& tc, uint32_t code) {
  return EopTimeCode{tc.Hours, tc.Minutes, tc.Seconds, tc.Frames, tc.SubFrames, static_cast<uint16_t>(FrameType(code))};
}
TcRec FromEop(const EopTimeCode& e) { return TcRec{e.Hours, e.Minutes, e.Seconds, e.Frames, e.SubFrames}; }

void CopyText(void* out, const char* text, size_t size) {
  auto* o = static_cast<char*>(out);
  std::strncpy(o, text ? text : "", size - 1);
  o[size - 1] = 0;
}

// The group: the Part and its channel-link partners, head first, each with
// its track.
struct Member {
  uint32_t slot;
  uint32_t track;
};
std::vector<Member> GroupOf(uint32_t slot, uint32_t track) {
  std::vector<Member> g;
  uint32_t head = track;
  uint32_t* list = ArrLinkList(CurArr, slot, track);
  if (list == nullptr || ArrLinkCount(CurArr, slot, track, &head) == 0) {
    if (list) ArrLinkListFree(list);
    return {{slot, track}};
  }
  for (uint32_t i = 0; list[i] != kArrNoSlot; ++i) g.push_back({list[i], head + i});
  ArrLinkListFree(list);
  if (g.empty()) g.push_back({slot, track});
  return g;
}

// For a module below revision 8: a Part of a group of three or more
// channels is taken out of it before it is changed.
void BreakWideGroup(uint32_t slot, uint32_t track) {
  if (g_run.revision >= 8) return;
  uint32_t head = 0;
  if (ArrLinkCount(CurArr, slot, track, &head) >= 3 && ArrBreakChannelLink(CurArr, slot, track))
    g_run.linksBroken = 1;
}

bool AnyTimelocked(const std::vector<Member>& g) {
  for (const Member& m : g)
    if (ArrPart(CurArr, m.slot)->Flags & kPartTimelocked) return true;
  return false;
}

// The selected bits of every Part, by slot.
std::vector<uint32_t> SavedSelection() {
  std::vector<uint32_t> s;
  arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t slot, PartRec& p) {
    if (arrlist::IsSelected(p)) s.push_back(slot);
  });
  return s;
}
void SelectOnly(const std::vector<Member>& g) {
  arrlist::WalkAll(CurArr, [](uint32_t, uint32_t, PartRec& p) { p.Flags &= ~kPartSelected; });
  for (const Member& m : g) ArrPart(CurArr, m.slot)->Flags |= kPartSelected;
}
void RestoreSelection(const std::vector<uint32_t>& saved) {
  arrlist::WalkAll(CurArr, [](uint32_t, uint32_t, PartRec& p) { p.Flags &= ~kPartSelected; });
  for (uint32_t s : saved)
    if (PartRec* p = arrlist::UsedPart(CurArr, s)) p->Flags |= kPartSelected;
}

// Options the copy of Parts reads, set for the length of one call.
struct CopyOptions {
  int32_t keep = KeepSel, overlap = EditOverlapMode;
  CopyOptions() {
    KeepSel = 1;
    EditOverlapMode = kOverlapKeep;
  }
  ~CopyOptions() {
    KeepSel = keep;
    EditOverlapMode = overlap;
  }
};

void MultiOutCheck(const std::vector<Member>& g) {
  if (EditMultiOutMode != kAutoMuteMode) return;
  for (const Member& m : g) ArrMuteSameOutputOverlaps(CurArr, m.slot, m.track, nullptr, 0);
}

// ---- Slot 0 ----

int32_t EOP_CALL HostGetInfo(uint32_t code, void* out) {
  if (out == nullptr) return kEopBadParam;
  auto word = [out](uint32_t v) { *static_cast<uint32_t*>(out) = v; };
  const ProjectSettings& s = Settings();
  switch (code) {
    case 0: word(s.SampleRate); return 0;
    case 1: {
      TcRec tc{};
      Loc64ToTimeCode(&tc, s.TcOffset, nullptr, s.SampleRate, s.CurFrameRate, 1);
      *static_cast<EopTimeCode*>(out) = ToEop(tc, s.CurFrameRate);
      return 0;
    }
    case 2: word(256); return 0;
    case 3: word(kMaxPosition); return 0;
    case 4:
    case 6:
    case 10: word(1); return 0;
    case 5: word(192); return 0;
    case 7: word(s.Tempo); return 0;
    case 8:
      static_cast<uint32_t*>(out)[0] = s.MeterNum;
      static_cast<uint32_t*>(out)[1] = s.MeterDen;
      return 0;
    case 9: {
      char path[kDocNameSize] = {};
      ArrNameGet(path, sizeof path);
      const char* name = std::strrchr(path, '\\');
      CopyText(out, name ? name + 1 : path, kDocNameSize);
      return 0;
    }
    case 11: word(static_cast<uint32_t>(Locs().NowLoc)); return 0;
    case 12: word(static_cast<uint32_t>(Locs().LeftLoc)); return 0;
    case 13: word(static_cast<uint32_t>(Locs().RightLoc)); return 0;
    case 14: CopyText(out, MainIniPath(), kDocNameSize); return 0;
    case 15: word(ProcOpts().rec24Bit ? 24 : 16); return 0;
    default: return kEopUnknownCode;
  }
}

// ---- Slots 1 and 2 ----

int32_t EOP_CALL HostPartAtLoc(const EopTrackLoc* loc, uint32_t mode, uint32_t* out) {
  if (loc == nullptr || out == nullptr || loc->Track < 0 || loc->Track > 255 || loc->Position >= EndOfTime || mode > 1)
    return kEopBadParam;
  *out = 0;
  for (uint32_t t = static_cast<uint32_t>(loc->Track); t < kArrTracks && *out == 0; ++t)
    arrlist::WalkTrack(CurArr, t, [&](uint32_t slot, PartRec& p) {
      if (mode == 1 && !arrlist::IsSelected(p)) return true;
      if (t == static_cast<uint32_t>(loc->Track) && arrlist::End64(p) <= loc->Position) return true;
      *out = slot + 1;
      return false;
    });
  return 0;
}

int32_t EOP_CALL HostNxtPart(uint32_t part, uint32_t mode, uint32_t* out) {
  uint32_t slot, track;
  if (PartOf(part, &slot, &track) == nullptr) return kEopBadHandle;
  if (mode > 1 || out == nullptr) return kEopBadParam;
  *out = 0;
  bool passed = false;
  for (uint32_t t = track; t < kArrTracks && *out == 0; ++t)
    arrlist::WalkTrack(CurArr, t, [&](uint32_t s, PartRec& p) {
      if (!passed) {
        if (s == slot) passed = true;
        return true;
      }
      if (mode == 1 && !arrlist::IsSelected(p)) return true;
      *out = s + 1;
      return false;
    });
  return 0;
}

// ---- Slots 3 and 4 ----

uint32_t HandleOf(int32_t slot) { return slot < 0 ? 0 : static_cast<uint32_t>(slot) + 1; }
uint32_t HandleOfLink(uint16_t link) { return link == kArrNoLink ? 0 : uint32_t{link} + 1; }
bool AudioOnlyItem(uint32_t item) { return item == 2 || item == 3 || item == 14 || item == 18; }

int32_t EOP_CALL HostGetPartInfo(uint32_t part, uint32_t item, void* out) {
  uint32_t slot, track;
  const PartRec* p = PartOf(part, &slot, &track);
  if (p == nullptr) return kEopBadHandle;
  if (item > 21) return kEopUnknownCode;
  if (out == nullptr) return kEopBadParam;
  if (AudioOnlyItem(item) && p->TakeKind != kTakeAudio) return kEopAudioOnly;
  auto word = [out](int64_t v) { *static_cast<uint32_t*>(out) = static_cast<uint32_t>(v); };
  auto words = [out](int64_t a, int64_t b) {
    static_cast<uint32_t*>(out)[0] = static_cast<uint32_t>(a);
    static_cast<uint32_t*>(out)[1] = static_cast<uint32_t>(b);
  };
  // A module below revision 8 sees groups as left/right pairs.
  uint32_t head = track;
  ArrLinkCount(CurArr, slot, track, &head);
  const bool oddInGroup = ((track - head) & 1) != 0;
  switch (item) {
    case 0: word(p->Length); break;
    case 1: words(track, p->Start); break;
    case 2: words(p->Take, p->Offset); break;
    case 3: {
      const int32_t ch = p->PlayChannel > 192 ? p->PlayChannel - 192 : p->PlayChannel;
      word(ch >= 1 ? ch - 1 : -1);
      break;
    }
    case 4: CopyText(out, p->Name, sizeof p->Name); break;
    case 5: word(arrlist::IsSelected(*p)); break;
    case 6: word(p->PlayChannel > 192); break;
    case 7: word((p->Flags & kPartTimelocked) != 0); break;
    case 8:
    case 9: {
      uint32_t t = 0;
      const int32_t other = item == 8 ? ArrLinkPrv(CurArr, slot, track, &t) : ArrLinkNxt(CurArr, slot, track, &t);
      const bool hidden = g_run.revision < 8 && (item == 8 ? !oddInGroup : oddInGroup);
      word(hidden ? 0 : HandleOf(other));
      break;
    }
    case 10: word(p->GainStart); break;
    case 11: word(p->GainEnd); break;
    case 12: word(static_cast<int8_t>(p->FadeCurve)); break;
    case 13: word(p->Layer); break;
    case 14: word(HandleOfLink(p->XfadeInPartner)); break;
    case 15: word(static_cast<int8_t>(p->XfadeInCurve)); break;
    case 16: word(p->XfadeInWindow[0]); break;
    case 17: word(p->XfadeInWindow[1]); break;
    case 18: word(HandleOfLink(p->XfadeOutPartner)); break;
    case 19: word(p->XfadeOutCurve); break;
    case 20: word(p->XfadeOutWindow[0]); break;
    case 21: word(p->XfadeOutWindow[1]); break;
  }
  return 0;
}

int32_t SetLength(uint32_t slot, uint32_t track, int32_t length) {
  if (length <= 0) return kEopBadParam;
  const std::vector<Member> g = GroupOf(slot, track);
  for (const Member& m : g) {
    const PartRec& p = *ArrPart(CurArr, m.slot);
    if (p.TakeKind == kTakeAudio && int64_t{p.Offset} + length > TakeLength(TakeFromRef(p.Take))) return kEopBadParam;
    if (int64_t{p.Start} + length > EndOfTime) return kEopOutOfRange;
  }
  if (AnyTimelocked(g)) return kEopTimelocked;
  for (const Member& m : g) {
    PartRec& p = *ArrPart(CurArr, m.slot);
    p.Length = length;
    if (p.SnapPoint >= length) p.SnapPoint = 0;
    if (p.TakeKind == kTakeAudio && length >= arredit::kLongPartSamples)
      p.GainStart = p.GainEnd = std::max(p.GainStart, p.GainEnd);
  }
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 0);
  const std::vector<uint32_t> saved = SavedSelection();
  SelectOnly(g);
  ArrRaiseSelLayers(CurArr, 0, 0);
  RestoreSelection(saved);
  MultiOutCheck(g);
  return 0;
}

int32_t MoveGroup(uint32_t slot, uint32_t track, const int32_t* to) {
  if (to == nullptr || to[0] < 0 || to[0] > 255 || to[1] < 0 || to[1] >= EndOfTime) return kEopBadParam;
  const std::vector<Member> g = GroupOf(slot, track);
  if (AnyTimelocked(g)) return kEopTimelocked;
  const bool groupSel = arrlist::IsSelected(*ArrPart(CurArr, slot));
  std::vector<uint32_t> saved;
  for (uint32_t s : SavedSelection())
    if (std::none_of(g.begin(), g.end(), [s](const Member& m) { return m.slot == s; })) saved.push_back(s);
  int32_t dt = to[1] - ArrPart(CurArr, slot)->Start;
  const int32_t dtrack = to[0] - static_cast<int32_t>(track);
  SelectOnly(g);
  uint32_t error = 0;
  {
    CopyOptions opts;
    // Moved to another track, the group takes that track's record track as
    // its play channel when the option says so.
    const int channel = AdoptVtrkOutput && dtrack != 0 ? 1 : 0;
    CurArr = ArrCopyParts(nullptr, CurArr, CurArr, &dt, dtrack, 0, 0, 0, 0, 0, channel, &error);
  }
  std::vector<uint32_t> moved = SavedSelection();
  RestoreSelection(saved);
  if (groupSel)
    for (uint32_t s : moved) ArrPart(CurArr, s)->Flags |= kPartSelected;
  if (error == 186) return kEopOutOfRange;
  if (error != 0) return kEopUnspecified;
  return 0;
}

// Group members next to each other that are no longer channel partners
// lose the link between them.
void DropBrokenLinks(const std::vector<Member>& g) {
  for (size_t i = 1; i < g.size(); ++i) {
    PartRec& a = *ArrPart(CurArr, g[i - 1].slot);
    PartRec& b = *ArrPart(CurArr, g[i].slot);
    if (!PartsAreChannelPartners(a, b)) {
      a.Flags &= ~kPartLinkNext;
      b.Flags &= ~kPartLinkPrev;
    }
  }
}

int32_t SetLink(uint32_t slot, uint32_t track, uint32_t item, uint32_t other) {
  PartRec& p = *ArrPart(CurArr, slot);
  const bool prev = item == 8;
  const uint32_t mine = prev ? kPartLinkPrev : kPartLinkNext;
  const uint32_t theirs = prev ? kPartLinkNext : kPartLinkPrev;
  if (other == 0) {
    uint32_t t = 0;
    const int32_t o = prev ? ArrLinkPrv(CurArr, slot, track, &t) : ArrLinkNxt(CurArr, slot, track, &t);
    p.Flags &= ~mine;
    if (o >= 0) ArrPart(CurArr, static_cast<uint32_t>(o))->Flags &= ~theirs;
    return 0;
  }
  uint32_t os, ot;
  PartRec* q = PartOf(other, &os, &ot);
  if (q == nullptr) return kEopBadHandle;
  const int64_t want = prev ? int64_t{track} - 1 : int64_t{track} + 1;
  if (ot != want || !PartsAreChannelPartners(p, *q)) return kEopNotLinked;
  if (g_run.revision < 8 && (p.Flags & (kPartLinkPrev | kPartLinkNext) & ~mine)) return kEopNotLinked;
  p.Flags |= mine;
  q->Flags |= theirs;
  q->Flags = (q->Flags & ~kPartSelected) | (p.Flags & kPartSelected);
  return 0;
}

int32_t SetXfadePartner(uint32_t slot, uint32_t track, bool in, uint32_t other) {
  PartRec& p = *ArrPart(CurArr, slot);
  uint16_t& mine = in ? p.XfadeInPartner : p.XfadeOutPartner;
  if (other == 0) {
    if (PartRec* q = arrlist::UsedPart(CurArr, arrlist::LinkSlot(mine))) (in ? q->XfadeOutPartner : q->XfadeInPartner) = kArrNoLink;
    mine = kArrNoLink;
    return 0;
  }
  uint32_t os, ot;
  PartRec* q = PartOf(other, &os, &ot);
  if (q == nullptr) return kEopBadHandle;
  if (q->TakeKind != kTakeAudio) return kEopAudioOnly;
  const int64_t pEnd = arrlist::End64(p), qEnd = arrlist::End64(*q);
  bool ok = ot == track && os != slot;
  if (in) {
    ok = ok && q->Start < p.Start && qEnd > p.Start && qEnd <= pEnd &&
         (q->XfadeOutPartner == kArrNoLink || q->XfadeOutPartner == slot);
    if (const PartRec* po = arrlist::UsedPart(CurArr, arrlist::LinkSlot(p.XfadeOutPartner))) ok = ok && qEnd <= po->Start;
  } else {
    ok = ok && q->Start > p.Start && q->Start < pEnd && qEnd >= pEnd &&
         (q->XfadeInPartner == kArrNoLink || q->XfadeInPartner == slot);
    if (const PartRec* pi = arrlist::UsedPart(CurArr, arrlist::LinkSlot(p.XfadeInPartner)))
      ok = ok && q->Start >= arrlist::End64(*pi);
  }
  if (!ok) return kEopNoXfade;
  mine = static_cast<uint16_t>(os);
  (in ? q->XfadeOutPartner : q->XfadeInPartner) = static_cast<uint16_t>(slot);
  return 0;
}

int32_t EOP_CALL HostSetPartInfo(uint32_t part, uint32_t item, uintptr_t value) {
  uint32_t slot, track;
  if (PartOf(part, &slot, &track) == nullptr) return kEopBadHandle;
  if (item > 21) return kEopUnknownCode;
  BreakWideGroup(slot, track);
  PartRec& p = *ArrPart(CurArr, slot);
  const bool audio = p.TakeKind == kTakeAudio;
  const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(value));
  const std::vector<Member> g = GroupOf(slot, track);
  auto forGroup = [&](auto fn) {
    for (const Member& m : g) fn(*ArrPart(CurArr, m.slot));
  };
  switch (item) {
    case 0: return SetLength(slot, track, v);
    case 1: return MoveGroup(slot, track, reinterpret_cast<const int32_t*>(value));
    case 2: {
      if (!audio) return kEopAudioOnly;
      if (p.Flags & kPartTimelocked) return kEopTimelocked;
      const auto* tl = reinterpret_cast<const EopTakeLoc*>(value);
      if (tl == nullptr) return kEopBadParam;
      TakeRec* t = AudioTake(tl->Take);
      if (t == nullptr || tl->Offset < 0 || int64_t{tl->Offset} + p.Length > TakeLength(t)) return kEopBadTake;
      p.Take = tl->Take;
      p.Offset = tl->Offset;
      DropBrokenLinks(g);
      return 0;
    }
    case 3: {
      if (!audio) return kEopAudioOnly;
      if (v < -1 || v > 191) return kEopBadParam;
      const bool muted = p.PlayChannel > 192;
      p.PlayChannel = v < 0 ? 0 : v + 1 + (muted ? 192 : 0);
      MultiOutCheck({{slot, track}});
      return 0;
    }
    case 4: {
      const char* text = reinterpret_cast<const char*>(value);
      if (text == nullptr) return kEopBadParam;
      std::string name(text);
      const size_t a = name.find_first_not_of(' ');
      name = a == std::string::npos ? std::string() : name.substr(a, name.find_last_not_of(' ') - a + 1);
      if (name.size() > 63) name.resize(63);
      if (!CheckNameChars(name.c_str(), nullptr)) return kEopBadName;
      std::memset(p.Name, 0, sizeof p.Name);
      std::memcpy(p.Name, name.data(), name.size());
      return 0;
    }
    case 5: forGroup([&](PartRec& q) { q.Flags = v ? (q.Flags | kPartSelected) : (q.Flags & ~kPartSelected); }); return 0;
    case 6:
      forGroup([&](PartRec& q) {
        if (v && q.PlayChannel >= 1 && q.PlayChannel <= 192) q.PlayChannel += 192;
        if (!v && q.PlayChannel > 192) q.PlayChannel -= 192;
      });
      return 0;
    case 7: forGroup([&](PartRec& q) { q.Flags = v ? (q.Flags | kPartTimelocked) : (q.Flags & ~kPartTimelocked); }); return 0;
    case 8:
    case 9: return SetLink(slot, track, item, static_cast<uint32_t>(value));
    case 10:
    case 11:
      if (static_cast<uint32_t>(value) > 32768) return kEopBadParam;
      (item == 10 ? p.GainStart : p.GainEnd) = static_cast<uint32_t>(value);
      return 0;
    case 12:
    case 15:
    case 19:
      if (static_cast<uint32_t>(value) > 7) return kEopBadParam;
      if (item == 12) p.FadeCurve = static_cast<uint8_t>(value);
      else if (item == 15) p.XfadeInCurve = static_cast<uint8_t>(value);
      else p.XfadeOutCurve = static_cast<uint16_t>(value);
      return 0;
    case 13: {
      if (v < 0 || v > 32766) return kEopBadParam;
      bool taken = false;
      for (const Member& m : g) {
        const PartRec& me = *ArrPart(CurArr, m.slot);
        arrlist::WalkTrack(CurArr, m.track, [&](uint32_t s, PartRec& o) {
          if (s != m.slot && o.Layer == v && arrlist::PartsOverlap(o, me)) taken = true;
          return !taken;
        });
      }
      if (taken) return kEopLayerTaken;
      forGroup([&](PartRec& q) { q.Layer = static_cast<int16_t>(v); });
      ArrRelinkOverlaps(CurArr);
      return 0;
    }
    case 14:
    case 18:
      if (!audio) return kEopAudioOnly;
      return SetXfadePartner(slot, track, item == 14, static_cast<uint32_t>(value));
    case 16:
    case 20: {
      uint8_t* w = item == 16 ? p.XfadeInWindow : p.XfadeOutWindow;
      if (v < 0 || v >= w[1]) return kEopBadParam;
      w[0] = static_cast<uint8_t>(v);
      return 0;
    }
    case 17:
    case 21: {
      uint8_t* w = item == 17 ? p.XfadeInWindow : p.XfadeOutWindow;
      if (v <= w[0] || v > 255) return kEopBadParam;
      w[1] = static_cast<uint8_t>(v);
      return 0;
    }
  }
  return kEopUnknownCode;
}

// ---- Slots 5 and 6 ----

int32_t EOP_CALL HostCreateParts(int32_t length, const EopTrackLoc* at, const EopTakeLoc* take, uint32_t templ,
                                 uint32_t* out) {
  if (out) *out = 0;
  if (at == nullptr || take == nullptr || out == nullptr || length < 1 || at->Track < 0 || at->Track > 255 ||
      at->Position < 0 || at->Position >= EndOfTime)
    return kEopBadParam;
  TakeRec* t = AudioTake(take->Take);
  if (t == nullptr || take->Offset < 0 || TakeLength(t) - take->Offset <= length) return kEopBadTake;
  const PartRec* tp = nullptr;
  if (templ != 0 && (tp = PartOf(templ, nullptr, nullptr)) == nullptr) return kEopBadHandle;
  PartRec np{};
  if (tp) {
    np = *tp;
  } else {
    np.GainStart = np.GainEnd = 32768;
    const char* name = reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrName));
    std::strncpy(np.Name, name ? name : "", sizeof np.Name - 1);
  }
  np.Flags = (tp ? tp->Flags & ~(kPartLinkNext | kPartLinkPrev | kPartTempMark | kPartPassMark) : 0) | kPartSelected;
  np.Start = at->Position;
  np.Take = take->Take;
  np.Offset = take->Offset;
  np.Length = length;
  np.TakeKind = kTakeAudio;
  np.OverlapLink = kArrNoLink;
  np.XfadeInPartner = np.XfadeOutPartner = kArrNoLink;
  np.XfadeInWindow[0] = np.XfadeOutWindow[0] = 0;
  np.XfadeInWindow[1] = np.XfadeOutWindow[1] = 255;
  np.Layer = 0;
  np.SnapPoint = 0;
  np.Next = kArrNoSlot;
  const bool templSel = tp && arrlist::IsSelected(*tp);

  uint32_t error = 0;
  ArrRec* temp = ArrNew(&error);
  if (temp == nullptr) return kEopNoMemory;
  if (!ArrInsertPart(&temp, np, nullptr, static_cast<uint32_t>(at->Track), &error)) {
    ArrHeap.Free(temp);
    return kEopNoMemory;
  }
  const std::vector<uint32_t> saved = SavedSelection();
  RestoreSelection({});
  int32_t dt = 0;
  {
    CopyOptions opts;
    CurArr = ArrCopyParts(nullptr, CurArr, temp, &dt, 0, 1, 0, 0, 0, 0, 0, &error);
  }
  ArrHeap.Free(temp);
  const std::vector<uint32_t> made = SavedSelection();
  RestoreSelection(saved);
  if (error == 186) return kEopOutOfRange;
  if (error == 192) return kEopNoMemory;
  if (error == 216) return kEopTooManyParts;
  if (error != 0 || made.empty()) return kEopUnspecified;
  if (templSel) ArrPart(CurArr, made[0])->Flags |= kPartSelected;
  *out = made[0] + 1;
  return 0;
}

int32_t EOP_CALL HostDeletePart(uint32_t part) {
  uint32_t slot, track;
  if (PartOf(part, &slot, &track) == nullptr) return kEopBadHandle;
  BreakWideGroup(slot, track);
  const std::vector<Member> g = GroupOf(slot, track);
  if (AnyTimelocked(g)) return kEopTimelocked;
  for (const Member& m : g) {
    PartRec& p = *ArrPart(CurArr, m.slot);
    if (PartRec* q = arrlist::UsedPart(CurArr, arrlist::LinkSlot(p.XfadeInPartner))) q->XfadeOutPartner = kArrNoLink;
    if (PartRec* q = arrlist::UsedPart(CurArr, arrlist::LinkSlot(p.XfadeOutPartner))) q->XfadeInPartner = kArrNoLink;
  }
  for (const Member& m : g) ArrUnlinkPart(CurArr, m.slot, m.track);
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 0);
  return 0;
}

// ---- Slots 7 to 12 ----

int32_t EOP_CALL HostGetTakeInfo(uint32_t take, uint32_t item, void* out) {
  TakeRec* t = AudioTake(take);
  if (t == nullptr) return kEopBadHandle;
  if (item > 9) return kEopUnknownCode;
  if (out == nullptr) return kEopBadParam;
  auto word = [out](uint32_t v) { *static_cast<uint32_t*>(out) = v; };
  switch (item) {
    case 0: word(static_cast<uint32_t>(TakeGetAttr(t, kTakeAttrBitsPerSample))); break;
    case 1:
    case 2: word(0); break;
    case 3: word(static_cast<uint32_t>(TakeLength(t))); break;
    case 4: CopyText(out, reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrName)), 64); break;
    case 5: CopyText(out, reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrDescription)), 128); break;
    case 6: word(static_cast<uint32_t>(TakeGetAttr(t, kTakeAttrSampleRate))); break;
    case 7: {
      const auto* tc = reinterpret_cast<const TcRec*>(TakeGetAttr(t, kTakeAttrTcStamp));
      *static_cast<EopTimeCode*>(out) = ToEop(tc ? *tc : TcRec{}, static_cast<uint32_t>(TakeGetAttr(t, kTakeAttrFrameRate)));
      break;
    }
    case 8:
    case 9: {
      const void* ft = reinterpret_cast<const void*>(TakeGetAttr(t, item == 8 ? kTakeAttrCreated : kTakeAttrModified));
      if (ft) std::memcpy(out, ft, 8);
      break;
    }
  }
  return 0;
}

// The time-code stamp at `rate` of the same moment as `tc` at `oldRate`.
TcRec ReexpressStamp(const TcRec& tc, uint32_t code, uint32_t oldRate, uint32_t rate) {
  uint32_t high = 0;
  const uint32_t low = TimeCodeToLoc64(tc, &high, oldRate, code);
  const uint64_t at = (uint64_t{high} << 32) | low;
  const uint64_t moved = oldRate ? ScaleFloor(at, rate, oldRate) : at;
  const uint32_t mh = static_cast<uint32_t>(moved >> 32);
  TcRec out{};
  Loc64ToTimeCode(&out, static_cast<uint32_t>(moved), &mh, rate, code, 1);
  return out;
}

int32_t EOP_CALL HostSetTakeInfo(uint32_t take, uint32_t item, uintptr_t value) {
  if (g_run.auditionPlaying) return kEopPlaying;
  TakeRec* t = AudioTake(take);
  if (t == nullptr || !IsRunTake(take)) return kEopBadHandle;
  if (item < 3 || item > 7) return kEopUnknownCode;
  uint32_t error = 0;
  const uint32_t rate = static_cast<uint32_t>(TakeGetAttr(t, kTakeAttrSampleRate));
  const uint32_t code = static_cast<uint32_t>(TakeGetAttr(t, kTakeAttrFrameRate));
  switch (item) {
    case 3: {
      const int64_t len = static_cast<uint32_t>(value);
      if (len >= TakeLength(t) || len < 1) return kEopBadParam;
      int64_t used = 0;
      arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, PartRec& p) {
        if (p.Take == take) used = std::max(used, int64_t{p.Offset} + p.Length);
      });
      if (len < used) return kEopBadTake;
      return TakeSetAttr(t, kTakeAttrLength, static_cast<uint32_t>(len), &error) ? 0 : kEopUnspecified;
    }
    case 4: {
      const char* text = reinterpret_cast<const char*>(value);
      if (text == nullptr) return kEopBadParam;
      std::string name(text);
      const size_t a = name.find_first_not_of(' ');
      name = a == std::string::npos ? std::string() : name.substr(a, name.find_last_not_of(' ') - a + 1);
      if (name.size() > 63) name.resize(63);
      if (!CheckNameChars(name.c_str(), nullptr)) return kEopBadName;
      return TakeSetAttr(t, kTakeAttrName, reinterpret_cast<uintptr_t>(name.c_str()), &error) ? 0 : kEopBadName;
    }
    case 5: {
      char desc[128] = {};
      CopyText(desc, reinterpret_cast<const char*>(value), sizeof desc);
      return TakeSetAttr(t, kTakeAttrDescription, reinterpret_cast<uintptr_t>(desc), &error) ? 0 : kEopUnspecified;
    }
    case 6: {
      const uint32_t r = static_cast<uint32_t>(value);
      if (ValidSampleRate(r) == 0) return kEopBadParam;
      const auto* tc = reinterpret_cast<const TcRec*>(TakeGetAttr(t, kTakeAttrTcStamp));
      const TcRec stamp = ReexpressStamp(tc ? *tc : TcRec{}, code, rate, r);
      if (!TakeSetAttr(t, kTakeAttrSampleRate, r, &error)) return kEopUnspecified;
      return TakeSetAttr(t, kTakeAttrTcStamp, reinterpret_cast<uintptr_t>(&stamp), &error) ? 0 : kEopUnspecified;
    }
    case 7: {
      const auto* e = reinterpret_cast<const EopTimeCode*>(value);
      if (e == nullptr || e->FrameType > 5) return kEopBadParam;
      const uint32_t c = FrameCode(e->FrameType);
      const TcRec stamp = ReexpressStamp(FromEop(*e), c, rate, rate);
      if (!TakeSetAttr(t, kTakeAttrFrameRate, c, &error)) return kEopUnspecified;
      return TakeSetAttr(t, kTakeAttrTcStamp, reinterpret_cast<uintptr_t>(&stamp), &error) ? 0 : kEopUnspecified;
    }
  }
  return kEopUnknownCode;
}

uint32_t CreationCode(uint32_t processId) {
  switch (processId) {
    case kEopIdReverse: return 1700;
    case kEopIdTimeStretch: return 1400;
    case kEopIdRateConvert: return 1500;
    case kEopIdPitchShift: return 1600;
    default: return 2100;
  }
}

int32_t EOP_CALL HostCreateTake(uint32_t zero1, uint32_t zero2, uint32_t bits, uint32_t length, uint32_t templ,
                                uint32_t* out) {
  if (out) *out = 0;
  if (g_run.auditionPlaying) return kEopPlaying;
  if (out == nullptr || zero1 != 0 || zero2 != 0 || (bits != 16 && bits != 24) || length == 0 ||
      uint64_t{bits} * length / 8 > 0xFFFFFFFFull)
    return kEopBadParam;
  uint32_t rate = Settings().SampleRate, code = Settings().CurFrameRate;
  char name[64] = {};
  char desc[128] = {};
  if (templ != 0) {
    TakeRec* tt = AudioTake(templ);
    if (tt == nullptr) return kEopBadHandle;
    rate = static_cast<uint32_t>(TakeGetAttr(tt, kTakeAttrSampleRate));
    code = static_cast<uint32_t>(TakeGetAttr(tt, kTakeAttrFrameRate));
    CopyText(name, reinterpret_cast<const char*>(TakeGetAttr(tt, kTakeAttrName)), sizeof name);
    CopyText(desc, reinterpret_cast<const char*>(TakeGetAttr(tt, kTakeAttrDescription)), sizeof desc);
  } else {
    CopyText(name, StrText(365), sizeof name);
  }
  const std::string& folder = ProcOpts().folder;
  if (folder.empty() || !FioDirExists(folder.c_str())) return kEopNoFolder;
  NewTakeName(folder.c_str(), name);
  uint32_t error = 0;
  TakeRec* made = TakeCreateAudio(folder.c_str(), bits / 8, length, CreationCode(g_run.processId), rate, code, 1, name,
                                  desc, nullptr, nullptr, &error);
  if (made == nullptr) return error == 181 ? kEopDiskFull : error == 196 ? kEopNoMemory : kEopUnspecified;
  *out = TakeRef(made);
  g_run.takes.push_back(*out);
  return 0;
}

int32_t EOP_CALL HostDeleteTake(uint32_t take) {
  if (g_run.auditionPlaying) return kEopPlaying;
  TakeRec* t = AudioTake(take);
  if (t == nullptr || !IsRunTake(take)) return kEopBadHandle;
  if (!ArrTakeIsUnreferenced(CurArr, take)) return kEopBadTake;
  TakeDeleteFile(t);
  g_run.takes.erase(std::find(g_run.takes.begin(), g_run.takes.end(), take));
  return 0;
}

int32_t TakeIo(uint32_t take, uint32_t offset, uint32_t count, void* buffer, bool write) {
  if (g_run.auditionPlaying) return kEopPlaying;
  TakeRec* t = AudioTake(take);
  if (t == nullptr || (write && !IsRunTake(take))) return kEopBadHandle;
  if (count == 0 || buffer == nullptr || uint64_t{offset} + count > static_cast<uint64_t>(TakeLength(t)) ||
      count > 0x7fffffffu)
    return kEopBadParam;
  const uint32_t bps = static_cast<uint32_t>(TakeGetAttr(t, kTakeAttrBytesPerSample));
  std::unique_ptr<uint32_t[]> ring(new (std::nothrow) uint32_t[count]);
  std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[size_t{count} * 4]);
  if (!ring || !scratch) return kEopNoMemory;
  const int32_t n = static_cast<int32_t>(count);
  if (!write) {
    if (!TakeReadSamples(t, offset, n, ring.get(), count, 0, scratch.get())) return kEopNoMemory;
    for (uint32_t i = 0; i < count; ++i) {
      if (bps == 2) static_cast<int16_t*>(buffer)[i] = static_cast<int16_t>(ring[i] >> 16);
      else static_cast<uint32_t*>(buffer)[i] = ring[i];
    }
    return 0;
  }
  for (uint32_t i = 0; i < count; ++i)
    ring[i] = bps == 2 ? static_cast<uint32_t>(static_cast<uint16_t>(static_cast<const int16_t*>(buffer)[i])) << 16
                       : static_cast<const uint32_t*>(buffer)[i];
  return TakeWriteSamples(t, offset, n, ring.get(), count, 0, scratch.get()) ? 0 : kEopNoMemory;
}
int32_t EOP_CALL HostReadTake(uint32_t take, uint32_t offset, uint32_t count, void* buffer) {
  return TakeIo(take, offset, count, buffer, false);
}
int32_t EOP_CALL HostWriteTake(uint32_t take, uint32_t offset, uint32_t count, void* buffer) {
  return TakeIo(take, offset, count, buffer, true);
}

// ---- Slots 13 and 14: audition ----

int32_t EOP_CALL HostPlayTakes(uint32_t count, const EopPlayEntry* list) {
  if (list == nullptr && count != 0) return kEopBadParam;
  int64_t total[192] = {};
  for (uint32_t i = 0; i < count; ++i) {
    const EopPlayEntry& e = list[i];
    if (e.Track < 0 || e.Track > 191 || e.Zero != 0) return kEopBadParam;
    if (e.Take != 0) {
      TakeRec* t = AudioTake(e.Take);
      if (t == nullptr) return kEopBadHandle;
      const int64_t len = TakeLength(t);
      if (e.Offset < 0 || e.Offset >= len || e.Length <= 0 || e.Length > len - e.Offset) return kEopBadParam;
    } else if (e.Length <= 0) {
      return kEopBadParam;
    }
    total[e.Track] += e.Length;
    if (total[e.Track] > EndOfTime) return kEopBadParam;
  }
  if (g_run.auditionPlaying) return kEopPlaying;
  UnitsStop();
  int64_t end = 0;
  for (int64_t t : total) end = std::max(end, t);
  std::vector<PlayTakeEntry> track;
  try {
    track.reserve(count);
  } catch (const std::bad_alloc&) {
    return kEopNoMemory;
  }
  // Every play channel silenced with the play flags cleared, then each
  // track of the list sent its events in order; the transport plays them
  // once from 0 to the end of the longest track.
  SoloSilenceAll();
  int sent = 1;
  for (int32_t tr = 0; tr < 192 && sent; ++tr) {
    track.clear();
    for (uint32_t i = 0; i < count; ++i)
      if (list[i].Track == tr)
        track.push_back({list[i].Take, static_cast<uint32_t>(list[i].Offset), static_cast<uint32_t>(list[i].Length)});
    if (!track.empty()) sent = SoloPlayTakeList(tr + 1, static_cast<uint32_t>(track.size()), track.data());
  }
  if (!sent || !TransportStartAudition(0, static_cast<int32_t>(end))) {
    // Nothing plays: the normal play lists come back.
    TransportStopAudition();
    RebuildAllPlayLists(CurArr, GetCurrentLoc(), 0);
    return sent ? kEopUnspecified : kEopNoMemory;
  }
  g_run.auditionEnd = static_cast<int32_t>(end);
  g_run.auditionPlaying = 1;
  return 0;
}

int32_t EOP_CALL HostPlayPos(int32_t* position, uint32_t stop) {
  if (!g_run.auditionPlaying) {
    if (position) *position = g_run.auditionEnd;
    return 0;
  }
  const int32_t now = GetCurrentLoc();
  if (position) *position = now;
  if (now < g_run.auditionEnd && !stop) return kEopPlaying;
  TransportStopAudition();
  g_run.auditionEnd = now;
  g_run.auditionPlaying = 0;
  return 0;
}

// ---- Slot 15 ----

uint32_t ErrorTextId(int32_t code) {
  switch (code) {
    case kEopNoXfade: return 265;
    case kEopLayerTaken: return 341;
    case kEopAudioOnly: return 321;
    case kEopPlaying: return 279;
    case kEopNoFolder: return 178;
    case kEopDiskFull: return 319;
    case kEopTooManyParts: return 216;
    case kEopNotLinked: return 263;
    case kEopTimelocked: return 317;
    case kEopBadTake: return 316;
    case kEopOutOfRange: return 186;
    case kEopBadName: return 285;
    case kEopBadParam: return 315;
    case kEopUnknownCode: return 314;
    case kEopBadHandle: return 313;
    case kEopNoMemory: return 195;
    case kEopOk: return 312;
    default: return 324;
  }
}

int32_t EOP_CALL HostErrorText(int32_t code, char* buffer, uint32_t size) {
  if (buffer != nullptr && size > 0) CopyText(buffer, StrText(ErrorTextId(code)), size);
  return 0;
}

int32_t EOP_CALL HostReserved() { return kEopUnknownCode; }

// ---- Slot 17 ----

int32_t EOP_CALL HostSetProjectTime(uint32_t code, uintptr_t value) {
  if (g_run.auditionPlaying) return kEopPlaying;
  if (code == 0) {
    if (ValidSampleRate(static_cast<uint32_t>(value)) == 0) return kEopBadParam;
    SetArrParam(0, static_cast<uint32_t>(value));
    return 0;
  }
  if (code != 1) return kEopUnknownCode;
  const auto* e = reinterpret_cast<const EopTimeCode*>(value);
  if (e == nullptr || e->FrameType > 5) return kEopBadParam;
  const uint32_t c = FrameCode(e->FrameType);
  const uint32_t at = TimeCodeToLoc64(FromEop(*e), nullptr, Settings().SampleRate, c);
  SetArrParam(2, c);
  SetArrParam(5, at);
  return 0;
}

// ---- Slots 18 to 23: markers ----

int32_t EOP_CALL HostMrkFromLoc(int32_t position, uint32_t* out) {
  if (position >= EndOfTime || out == nullptr) return kEopBadParam;
  *out = MrkAtOrAfterLoc(CurMrkList, position);
  return 0;
}

int32_t EOP_CALL HostMrkNxt(uint32_t number, uint32_t* out) {
  if (!MrkIsValid(CurMrkList, number)) return kEopBadHandle;
  if (out == nullptr) return kEopBadParam;
  *out = 0;
  bool passed = false;
  MrkForEach(CurMrkList, [&](uint32_t n, const MrkRec&) {
    if (*out == 0 && passed) *out = n;
    if (n == number) passed = true;
  });
  return 0;
}

int32_t EOP_CALL HostMrkGet(uint32_t number, uint32_t item, void* out) {
  if (!MrkIsValid(CurMrkList, number)) return kEopBadHandle;
  if (item > 2) return kEopUnknownCode;
  if (out == nullptr) return kEopBadParam;
  const MrkRec& m = *MrkSlot(CurMrkList, number - 1);
  if (item == 0) *static_cast<uint32_t*>(out) = number;
  else if (item == 1) *static_cast<int32_t*>(out) = m.Position;
  else CopyText(out, m.Name, sizeof m.Name);
  return 0;
}

int32_t EOP_CALL HostMrkSet(uint32_t number, uint32_t item, uintptr_t value) {
  if (!MrkIsValid(CurMrkList, number)) return kEopBadHandle;
  if (item == 1) {
    const int32_t pos = static_cast<int32_t>(static_cast<uint32_t>(value));
    if (pos < 0 || pos >= EndOfTime) return kEopBadParam;
    MrkEdit(kMrkEditMove, number, pos);
    return 0;
  }
  if (item == 2) {
    if (value == 0) return kEopBadParam;
    MrkEdit(kMrkEditRename, number, static_cast<intptr_t>(value));
    return 0;
  }
  return kEopUnknownCode;
}

int32_t EOP_CALL HostMrkAdd(uint32_t number, int32_t position, uint32_t* out) {
  if (number < 1 || number > kMrkMaxNumber || position < 0 || position >= EndOfTime) return kEopBadParam;
  if (MrkIsValid(CurMrkList, number)) return kEopMarkerExists;
  MrkRec rec{};
  rec.Position = position;
  rec.Next = kMrkNoSlot;
  uint32_t error = 0;
  if (!MrkInsert(&CurMrkList, rec, number, &error)) return error == 193 ? kEopNoMemory : kEopMarkerFailed;
  MrkDirRefresh(kMrkDirAdd, static_cast<int32_t>(number));
  ConsoleNotifyMarker(CurMrkList, number);
  if (out) *out = number;
  return 0;
}

int32_t EOP_CALL HostMrkDelete(uint32_t number) {
  if (!MrkIsValid(CurMrkList, number)) return kEopBadHandle;
  MrkEdit(kMrkEditDelete, number, 0);
  return 0;
}

// ---- Slots 24 and 25: Takes of the recording folder ----

bool PassesFilter(TakeRec* t, uint32_t filter) {
  if (t == nullptr || TakeGetAttr(t, kTakeAttrKind) != kTakeAudio) return false;
  if (filter & 1) return true;
  if ((filter & 4) && TakeInRing(t)) return true;
  // Bit 1 asks the file manager (whose query accepts nothing in this
  // program).
  return (filter & 2) && SFManQueryTake(TakeRef(t)) != 0;
}

uint32_t ScanOn(TakeRec* t, uint32_t filter) {
  for (; t != nullptr; t = TakeFindNext(t))
    if (PassesFilter(t, filter)) {
      g_run.scanLast = TakeRef(t);
      return g_run.scanLast;
    }
  TakeFindClose();
  g_run.scanLast = 0;
  return 0;
}

bool RingMode(uint32_t filter) { return (filter & 0x22) == 0x22; }

int32_t EOP_CALL HostFirstTake(uint32_t zero1, uint32_t zero2, uint32_t filter, uint32_t* out) {
  if (zero1 != 0 || zero2 != 0 || out == nullptr) return kEopBadParam;
  if (RingMode(filter)) {
    *out = TakeRef(TakeRingFirst());
    return 0;
  }
  const std::string& folder = ProcOpts().folder;
  *out = folder.empty() ? 0 : ScanOn(TakeFindFirst(folder.c_str()), filter);
  return 0;
}

int32_t EOP_CALL HostNxtTake(uint32_t take, uint32_t filter, uint32_t* out) {
  TakeRec* t = AudioTake(take);
  if (t == nullptr) return kEopBadHandle;
  if (out == nullptr) return kEopBadParam;
  if (RingMode(filter)) {
    *out = TakeRef(TakeRingNext(t));
    return 0;
  }
  *out = take == g_run.scanLast ? ScanOn(TakeFindNext(t), filter) : 0;
  return 0;
}

// ---- Slots 26 and 27: visible sections ----

void SectionOut(const ArrSection& s, EopSectionOut* out) {
  const PartRec* p = s.Part >= 0 ? arrlist::UsedPart(CurArr, static_cast<uint32_t>(s.Part)) : nullptr;
  if (p == nullptr) {
    *out = EopSectionOut{0, 0, 0};
    return;
  }
  *out = EopSectionOut{static_cast<uint32_t>(s.Part) + 1, s.Start - p->Start, s.Length};
}

int32_t EOP_CALL HostVisibleSection(const EopTrackLoc* loc, EopSectionOut* out) {
  if (loc == nullptr || out == nullptr || loc->Track < 0 || loc->Track > 255 || loc->Position < 0 ||
      loc->Position > kMaxPosition)
    return kEopBadParam;
  *out = EopSectionOut{0, 0, 0};
  ArrRelinkOverlaps(CurArr);
  for (uint32_t t = static_cast<uint32_t>(loc->Track); t < kArrTracks; ++t) {
    int32_t at = -1;
    arrlist::WalkTrack(CurArr, t, [&](uint32_t, PartRec& p) {
      if (t == static_cast<uint32_t>(loc->Track) && arrlist::End64(p) <= loc->Position) return true;
      at = t == static_cast<uint32_t>(loc->Track) ? std::max(p.Start, loc->Position) : p.Start;
      return false;
    });
    if (at < 0) continue;
    const int32_t top = ArrTopPartAtLoc(CurArr, t, at, nullptr);
    ArrSection s{-1, 0, 0};
    if (top >= 0 && PartVisibleEnd(CurArr, static_cast<uint32_t>(top), at, &s)) {
      // The section from the position on.
      const int64_t end = int64_t{s.Start} + s.Length;
      s.Start = std::max(s.Start, at);
      s.Length = static_cast<int32_t>(end - s.Start);
      SectionOut(s, out);
      return 0;
    }
  }
  return 0;
}

int32_t EOP_CALL HostPartSection(EopSectionOut* io) {
  if (io == nullptr) return kEopBadParam;
  uint32_t slot, track;
  const PartRec* p = PartOf(io->Part, &slot, &track);
  if (p == nullptr) return kEopBadHandle;
  if (io->Offset < 0 || io->Length < 0 || int64_t{io->Offset} + io->Length > p->Length) return kEopBadParam;
  const int64_t at = int64_t{p->Start} + io->Offset;
  ArrRelinkOverlaps(CurArr);
  for (uint32_t t = track; t < kArrTracks; ++t) {
    ArrSection s{-1, 0, 0};
    while (ArrNxtVisibleSection(CurArr, t, &s)) {
      if (t != track || int64_t{s.Start} + s.Length > at) {
        SectionOut(s, io);
        return 0;
      }
    }
  }
  *io = EopSectionOut{0, 0, 0};
  return 0;
}

EOPHOSTFUNCS MakeTable() {
  EOPHOSTFUNCS h{};
  h.Size = sizeof h;
  h.GetInfo = HostGetInfo;
  h.PartAtLoc = HostPartAtLoc;
  h.NxtPart = HostNxtPart;
  h.GetPartInfo = HostGetPartInfo;
  h.SetPartInfo = HostSetPartInfo;
  h.CreateParts = HostCreateParts;
  h.DeletePart = HostDeletePart;
  h.GetTakeInfo = HostGetTakeInfo;
  h.SetTakeInfo = HostSetTakeInfo;
  h.CreateTake = HostCreateTake;
  h.DeleteTake = HostDeleteTake;
  h.ReadTake = HostReadTake;
  h.WriteTake = HostWriteTake;
  h.PlayTakes = HostPlayTakes;
  h.PlayPos = HostPlayPos;
  h.ErrorText = HostErrorText;
  h.Reserved16 = HostReserved;
  h.SetProjectTime = HostSetProjectTime;
  h.MrkFromLoc = HostMrkFromLoc;
  h.MrkNxt = HostMrkNxt;
  h.MrkGet = HostMrkGet;
  h.MrkSet = HostMrkSet;
  h.MrkAdd = HostMrkAdd;
  h.MrkDelete = HostMrkDelete;
  h.FirstTake = HostFirstTake;
  h.NxtTake = HostNxtTake;
  h.VisibleSection = HostVisibleSection;
  h.PartSection = HostPartSection;
  return h;
}

}  // namespace

const EOPHOSTFUNCS& EopHostFuncs() {
  static const EOPHOSTFUNCS table = MakeTable();
  return table;
}

void EopStopAudition() { HostPlayPos(nullptr, 1); }

namespace eophost {
RunState& Run() { return g_run; }
void BeginRun(int slot, uint32_t revision, uint32_t processId) {
  g_run.slot = slot;
  g_run.revision = revision;
  g_run.processId = processId;
  g_run.takes.clear();
  g_run.linksBroken = 0;
  g_run.scanLast = 0;
}
void EndRun() {
  g_run.slot = -1;
  g_run.takes.clear();
}
}  // namespace eophost
