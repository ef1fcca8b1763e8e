// The gate run over the selected Audio Parts: scan each play channel, join
// linked channels, shape and analyse, then rebuild the Parts from the spans.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/noisegate.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/arr.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/util/fade.h"

namespace {

constexpr uint32_t kIdsMaxParts = 216;
constexpr uint32_t kIdsMutedNotProcessed = 243;
constexpr uint32_t kIdsTimelocked = 317;
constexpr uint32_t kIdsAudioOnly = 321;
constexpr uint32_t kIdsOverlapping = 336;
constexpr uint32_t kUndoNoiseGate = 121;
constexpr uint32_t kIdsMixedLinked = 277;
constexpr int kChannels = 192;
constexpr int32_t kGateFadeCurve = 5;

GateScanFn g_scan = nullptr;

struct Member {
  uint32_t slot, track;
};

bool Muted(const PartRec& p) { return p.PlayChannel < 1 || p.PlayChannel > kChannels; }

// The Part on `track` that starts at `start` and carries link bit `bit`.
const PartRec* LinkedAt(uint32_t track, int32_t start, uint32_t bit) {
  const PartRec* found = nullptr;
  ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec& q) {
    if (!found && q.Start == start && (q.Flags & bit)) found = &q;
  });
  return found;
}

// The play channels of a Part's channel-link group.
std::set<int32_t> GroupChannels(const PartRec& p, uint32_t track) {
  std::set<int32_t> channels{p.PlayChannel};
  const PartRec* q = &p;
  for (uint32_t t = track; (q->Flags & kPartLinkPrev) && t > 0; --t) {
    q = LinkedAt(t - 1, p.Start, kPartLinkNext);
    if (q == nullptr) break;
    channels.insert(q->PlayChannel);
  }
  q = &p;
  for (uint32_t t = track; (q->Flags & kPartLinkNext) && t + 1 < kArrTracks; ++t) {
    q = LinkedAt(t + 1, p.Start, kPartLinkPrev);
    if (q == nullptr) break;
    channels.insert(q->PlayChannel);
  }
  return channels;
}

uint32_t Envelope(uint32_t g0, uint32_t g1, int64_t at, int64_t length) {
  const int64_t shape = FadeShape(kGateFadeCurve, static_cast<int32_t>(at), static_cast<int32_t>(length));
  return static_cast<uint32_t>(int64_t{g0} + (int64_t{g1} - g0) * shape / kFadeOne);
}

}  // namespace

void GateSetScanner(GateScanFn fn) { g_scan = fn; }

NoiseGateSettings& NoiseGateCurrent() {
  static NoiseGateSettings s = [] {
    NoiseGateSettings d;
    NoiseGateDefaults(&d);
    return d;
  }();
  return s;
}

int ArrNoiseGate(void* dcv) {
  DcHandle dc = static_cast<DcHandle>(dcv);
  if (ArrOfflineRunActive()) return 0;
  std::vector<Member> sel;
  bool notAudio = false, locked = false, overlap = false;
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    int64_t lastEnd = INT64_MIN;
    ArrForEachTrackPart(CurArr, t, [&](uint32_t slot, const PartRec& p) {
      if (!arredit::Sel(p)) return;
      if (p.TakeKind != kTakeAudio) notAudio = true;
      if (p.Flags & kPartTimelocked) locked = true;
      if (p.Start < lastEnd) overlap = true;
      lastEnd = std::max(lastEnd, arredit::End(p));
      sel.push_back({slot, t});
    });
  }
  if (sel.empty()) return 0;
  if (notAudio) return arredit::Refuse(kIdsAudioOnly);
  if (overlap) return arredit::Refuse(kIdsOverlapping);
  if (locked) return arredit::Refuse(kIdsTimelocked);
  bool someMuted = false;
  std::vector<Member> live;
  for (const Member& m : sel) {
    PartRec& p = *ArrPart(CurArr, m.slot);
    if (Muted(p)) {
      p.Flags &= ~kPartSelected;
      someMuted = true;
    } else {
      live.push_back(m);
    }
  }
  if (someMuted) MessageBoxById(nullptr, kIdsMutedNotProcessed, kMbWarnOk);
  if (live.empty()) return 0;

  // The channels' Parts in start order (the lower track first on a tie).
  std::map<int32_t, std::vector<Member>> byChannel;
  for (const Member& m : live) byChannel[ArrPart(CurArr, m.slot)->PlayChannel].push_back(m);
  for (auto& [ch, parts] : byChannel)
    std::stable_sort(parts.begin(), parts.end(), [](const Member& a, const Member& b) {
      const int32_t sa = ArrPart(CurArr, a.slot)->Start, sb = ArrPart(CurArr, b.slot)->Start;
      return sa != sb ? sa < sb : a.track < b.track;
    });

  // Every Part of a channel must belong to a link group of the same
  // channels as the channel's first Part.
  for (auto& [ch, parts] : byChannel) {
    const std::set<int32_t> first = GroupChannels(*ArrPart(CurArr, parts[0].slot), parts[0].track);
    for (const Member& m : parts)
      if (GroupChannels(*ArrPart(CurArr, m.slot), m.track) != first) {
        arredit::RebuildPlay();
        return arredit::Refuse(kIdsMixedLinked);
      }
  }

  // Channels whose Parts are channel-linked gate together.
  std::map<int32_t, std::set<int32_t>> linked;
  for (const Member& m : live) {
    const PartRec& p = *ArrPart(CurArr, m.slot);
    if (!(p.Flags & kPartLinkNext) || m.track + 1 >= kArrTracks) continue;
    ArrForEachTrackPart(CurArr, m.track + 1, [&](uint32_t, const PartRec& q) {
      if (q.Start == p.Start && (q.Flags & kPartLinkPrev) && arredit::Sel(q) && !Muted(q)) {
        linked[p.PlayChannel].insert(q.PlayChannel);
        linked[q.PlayChannel].insert(p.PlayChannel);
      }
    });
  }

  const NoiseGateSettings s = NoiseGateCurrent();
  const int32_t rate = static_cast<int32_t>(Settings().SampleRate);
  const GateTiming timing = GateTimingAt(s, rate);
  std::map<int32_t, std::vector<GatePair>> lists;
  std::map<int32_t, std::pair<int32_t, int32_t>> range;
  for (auto& [ch, parts] : byChannel) {
    int32_t from = INT32_MAX;
    int64_t to = 0;
    for (const Member& m : parts) {
      const PartRec& p = *ArrPart(CurArr, m.slot);
      from = std::min(from, p.Start);
      to = std::max(to, arredit::End(p));
    }
    range[ch] = {from, static_cast<int32_t>(std::min<int64_t>(to, INT32_MAX))};
    std::vector<GatePair> on;
    const int answer = g_scan ? g_scan(ch, from, range[ch].second, s.OnLevel, s.OffLevel, timing.hold, &on)
                              : kIdCancel;
    if (answer == kIdCancel) {
      arredit::RebuildPlay();
      return 0;
    }
    if (answer != kIdOk) return arredit::Refuse(static_cast<uint32_t>(answer));
    if (on.size() >= kGateListMax) return arredit::Refuse(kIdsMaxParts);
    lists[ch] = std::move(on);
  }
  arredit::RebuildPlay();
  std::map<int32_t, std::vector<GatePair>> joined = lists;
  for (auto& [ch, others] : linked)
    for (int32_t o : others)
      if (lists.count(o)) joined[ch] = GateOnListUnion(joined[ch], lists[o]);

  // Spans cut over each channel's Parts: {kind, gains, Part, offset, length}.
  struct Entry {
    GateSpan span;
    Member part;
  };
  std::vector<Entry> entries;
  for (auto& [ch, parts] : byChannel) {
    std::vector<GatePair> l = joined[ch];
    GateOnListShape(&l, timing, range[ch].first);
    for (const GateSpan& sp : GateAnalyseChannel(l, timing, s, range[ch].first, range[ch].second)) {
      const int64_t spanEnd = int64_t{sp.start} + sp.length;
      for (const Member& m : parts) {
        const PartRec& p = *ArrPart(CurArr, m.slot);
        const int64_t a = std::max<int64_t>(sp.start, p.Start), b = std::min(spanEnd, arredit::End(p));
        if (a >= b) continue;
        GateSpan e = sp;
        e.gainStart = Envelope(sp.gainStart, sp.gainEnd, a - sp.start, sp.length);
        e.gainEnd = Envelope(sp.gainStart, sp.gainEnd, b - sp.start, sp.length);
        e.start = static_cast<int32_t>(a - p.Start);  // offset into the Part
        e.length = static_cast<int32_t>(b - a);
        entries.push_back({e, m});
        if (entries.size() >= kGateListMax) return arredit::Refuse(kIdsMaxParts);
      }
    }
  }
  uint32_t error = 0;
  if (entries.size() > live.size() &&
      !ArrReserveParts(&CurArr, static_cast<uint32_t>(entries.size() - live.size()), 1, &error))
    return arredit::Refuse(error);
  if (!arredit::BeginStep(kUndoNoiseGate)) return 0;

  std::set<uint32_t> referenced;
  for (const Entry& e : entries) referenced.insert(e.part.slot);
  std::vector<Member> removeWhole;
  for (const Member& m : live) {
    if (referenced.count(m.slot)) continue;
    PartRec& p = *ArrPart(CurArr, m.slot);
    if (s.Mode == kGateRemove) {
      removeWhole.push_back(m);
    } else if (s.Mode == kGateMute) {
      p.PlayChannel += kChannels;
    } else {
      p.GainStart = static_cast<uint32_t>(uint64_t{p.GainStart} * s.FloorLevel / 32768);
      p.GainEnd = static_cast<uint32_t>(uint64_t{p.GainEnd} * s.FloorLevel / 32768);
    }
    p.Flags = KeepSel ? (p.Flags | kPartSelected) : (p.Flags & ~kPartSelected);
  }
  for (const Member& m : removeWhole) ArrUnlinkPart(CurArr, m.slot, m.track);

  // Each referenced Part is replaced by its pieces.
  std::map<uint32_t, PartRec> copies;
  for (const Entry& e : entries)
    if (!copies.count(e.part.slot)) copies[e.part.slot] = *ArrPart(CurArr, e.part.slot);
  for (const auto& [slot, copy] : copies) {
    (void)copy;
    for (const Member& m : live)
      if (m.slot == slot) ArrUnlinkPart(CurArr, slot, m.track);
  }
  for (const Entry& e : entries) {
    const PartRec& copy = copies[e.part.slot];
    PartRec n = copy;
    n.Start = copy.Start + e.span.start;
    n.Offset = copy.Offset + e.span.start;
    n.Length = e.span.length;
    n.GainStart = static_cast<uint32_t>(uint64_t{ArrPartGainAt(e.span.start, copy)} * e.span.gainStart / 32768);
    n.GainEnd =
        static_cast<uint32_t>(uint64_t{ArrPartGainAt(e.span.start + e.span.length, copy)} * e.span.gainEnd / 32768);
    if (copy.SnapPoint < e.span.start || copy.SnapPoint >= e.span.start + e.span.length)
      n.SnapPoint = 0;
    else
      n.SnapPoint = copy.SnapPoint - e.span.start;
    if (e.span.kind == kGateOff && s.Mode == kGateMute) n.PlayChannel += kChannels;
    n.Flags = KeepSel ? (n.Flags | kPartSelected) : (n.Flags & ~kPartSelected);
    n.OverlapLink = n.XfadeInPartner = n.XfadeOutPartner = kArrNoLink;
    n.Next = kArrNoSlot;
    if (!ArrInsertPart(&CurArr, n, nullptr, e.part.track, &error)) {
      arredit::FailStep(error);
      return 0;
    }
  }
  ArrSyncTakeRefs(CurArr, 0);
  arredit::Finish(dc);
  return 1;
}
