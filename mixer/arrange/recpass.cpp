#include "mixer/arrange/recpass.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partspan.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/recchan.h"
#include "mixer/arrange/reclay.h"
#include "mixer/arrange/rectrk.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/arr.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/fileio.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/speaker.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/shell/services.h"

namespace {

constexpr uint32_t kIdsNoFolder = 178;
constexpr uint32_t kIdsLocatorsNotSet = 267;
constexpr uint32_t kUndoRecord = 88;
constexpr uint32_t kIdsDefaultAudioName = 616;
constexpr uint32_t kIdsDefaultMidiName = 618;
constexpr uint32_t kIdsDefaultAutomName = 619;
constexpr uint32_t kTakeAttrRecordedMark = 16;

RecPassSeams g_seams;
bool g_pending = false;  // a pass laid Parts that the stop has not settled
int32_t g_pass = 0;      // the pass being recorded
// Takes created ahead of the pass, by record track: the first channel of the
// track records into it.
std::vector<std::pair<int32_t, TakeRec*>> g_ahead;

TakeRec* AheadTake(int32_t rec) {
  for (const auto& a : g_ahead)
    if (a.first == rec) return a.second;
  return nullptr;
}

constexpr uint32_t kIdsTimelocked = 317;
constexpr int kWaitSleepMs = 10;
// Looks without progress after which the recorder is taken to have stopped
// writing (3 seconds): the wait ends rather than hang the program.
constexpr int kWaitStallLooks = 300;

// Waits until the recorder's transfer locations have passed `target`,
// keeping the position displays moving. A recorder whose transfers stop
// moving short of the target ends the wait.
void WaitForTransfer(int32_t target) {
  if (!g_seams.recTransferLoc) return;
  int32_t last = g_seams.recTransferLoc();
  for (int still = 0; last < target && still < kWaitStallLooks;) {
    const int32_t at = g_seams.currentLoc ? g_seams.currentLoc() : target;
    if (g_seams.showPosition) g_seams.showPosition(at);
    if (g_seams.sleep) g_seams.sleep(kWaitSleepMs);
    const int32_t now = g_seams.recTransferLoc();
    still = now > last ? 0 : still + 1;
    last = now;
  }
}

int32_t Width(int32_t rec) {
  const int32_t w = g_seams.groupWidth ? g_seams.groupWidth(rec) : 1;
  return std::clamp(w, 1, 8);
}

// The first Virtual Track recording `kind` onto `rec`, or -1.
int32_t VirtualTrackOf(int32_t rec, int32_t kind = kRecKindAudio) {
  for (uint32_t t = 0; t < kArrTracks; ++t)
    if (CurArr->Trk[t].RecTrack == static_cast<uint32_t>(rec) &&
        CurArr->Trk[t].RecKind == static_cast<uint32_t>(kind))
      return static_cast<int32_t>(t);
  return -1;
}

std::vector<int32_t> ArmedTracks(int32_t kind) {
  std::vector<int32_t> armed;
  for (int32_t r = 1; r <= RecTrkCount(kind); ++r)
    if (RecTrkGetState(kind, r) == kRecTrkReady) armed.push_back(r);
  return armed;
}
std::vector<int32_t> ArmedAudioTracks() { return ArmedTracks(kRecKindAudio); }

// The record-track kind of a Part's Take kind (the kinds share their numbers).
int32_t RecKindOf(const PartRec& p) { return p.TakeKind; }

// The mixer's record time code of `start`; null when none.
const TcRec* RecordTimeCode(int32_t start, TcRec* tc) {
  return g_seams.recordTimeCode && g_seams.recordTimeCode(start, tc) ? tc : nullptr;
}

// A recorded Part of `take` over [start, end) with the defaults of a new
// recording.
PartRec RecordedPart(const char* name, int32_t start, int32_t end, uint32_t take, uint16_t kind) {
  PartRec p;
  std::memset(&p, 0, sizeof p);
  std::snprintf(p.Name, sizeof p.Name, "%s", name);
  p.Start = start;
  p.Length = RecordedPartLength(int64_t{end} - start);
  p.Take = take;
  p.TakeKind = kind;
  p.GainStart = p.GainEnd = 32768;
  p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
  p.XfadeInWindow[1] = p.XfadeOutWindow[1] = 255;
  p.Next = kArrNoSlot;
  return p;
}

void TakeName(int32_t rec, int32_t member, int32_t width, char* out) {
  const char* column = g_seams.columnName ? g_seams.columnName(rec) : nullptr;
  char stem[64] = {};
  if (column && *column) {
    std::strncpy(stem, column, 50);
  } else {
    const char* d = StrText(kIdsDefaultAudioName);
    std::strncpy(stem, d && *d ? d : "Audio", 50);
  }
  char stamp[24] = {};
  if (ProcOpts().appendLocalTime && g_seams.localTimeStamp) {
    stamp[0] = ' ';
    g_seams.localTimeStamp(stamp + 1, sizeof stamp - 1);
  }
  char suffix[12] = {};
  if (width > 1) MakeChannelNames(suffix, sizeof suffix, member, width, 0);
  std::snprintf(out, 64, "%.*s%.14s%.11s", stamp[0] ? 36 : 50, stem, stamp, suffix);
  ReplaceBadNameChars(out);
}

// Lays one Part and one empty Take for every armed Midi (or Automation)
// record track of the pass on the given stack: a log Take has one channel,
// its Part the record track's recording channel; the log fills it while
// the transport records. 0 after a message.
int LayLogPass(int32_t kind, int32_t start, int32_t end, int32_t pass, int32_t stacks, bool wide) {
  const ProcOptions& o = ProcOpts();
  for (int32_t rec : ArmedTracks(kind)) {
    const int32_t first = VirtualTrackOf(rec, kind);
    if (first < 0) continue;
    const int32_t vt = first + (stacks > 1 ? pass % stacks : 0);
    if (vt >= static_cast<int32_t>(kArrTracks) || CurArr->Trk[vt].RecTrack != static_cast<uint32_t>(rec) ||
        CurArr->Trk[vt].RecKind != static_cast<uint32_t>(kind))
      continue;
    uint32_t error = 0;
    if (!ArrReserveParts(&CurArr, 1, 1, &error)) {
      MessageBoxById(nullptr, error, kMbWarnOk);
      return 0;
    }
    char name[64] = {};
    const char* d = StrText(kind == kRecKindMidi ? kIdsDefaultMidiName : kIdsDefaultAutomName);
    char stamp[24] = {};
    if (ProcOpts().appendLocalTime && g_seams.localTimeStamp) {
      stamp[0] = ' ';
      g_seams.localTimeStamp(stamp + 1, sizeof stamp - 1);
    }
    std::snprintf(name, sizeof name, "%.36s%.14s", d && *d ? d : (kind == kRecKindMidi ? "Midi" : "Autom"),
                  stamp);
    ReplaceBadNameChars(name);
    NewTakeName(o.folder.c_str(), name);
    TcRec tcRec{};
    const TcRec* tc = RecordTimeCode(start, &tcRec);
    TakeRec* take = kind == kRecKindMidi
                        ? TakeCreateMidi(o.folder.c_str(), 0, 0, 0, 0, 0, 0, 0, 1, name, "", tc, nullptr, &error)
                        : TakeCreateAutom(o.folder.c_str(), 0, 0, 0, 0, 0, 0, 0, 1, name, "", tc, nullptr, &error);
    if (take == nullptr) {
      MessageBoxById(nullptr, error, kMbWarnOk, o.folder.c_str());
      return 0;
    }
    const uint32_t track = static_cast<uint32_t>(vt);
    PartRec p = RecordedPart(name, start, end, TakeRef(take), static_cast<uint16_t>(kind));
    if (wide || pass > 0) p.Flags |= kPartPassMark;
    p.PlayChannel = RecPlayChannel(rec, pass);
    p.Layer = static_cast<int16_t>(TrkTopLayerInRange(track, CurArr, start, end, 0) + 1);
    if (!ArrInsertPart(&CurArr, p, nullptr, track, &error)) {
      MessageBoxById(nullptr, error, kMbWarnOk);
      return 0;
    }
  }
  return 1;
}

// Lays one Part per channel of every armed record track of the pass on the
// given stack; 0 after a message.
int LayPass(int32_t start, int32_t end, int32_t pass, int32_t stacks, int* conflict) {
  const std::vector<int32_t> armed = ArmedAudioTracks();
  const uint32_t rate = Settings().SampleRate;
  const bool wide = static_cast<int32_t>(armed.size()) > (rate >= 50000 ? 8 : 16);
  const ProcOptions& o = ProcOpts();
  for (int32_t rec : armed) {
    const int32_t first = VirtualTrackOf(rec);
    // A record track carried by a member of a link group below its head
    // records with the head's group, not again on its own.
    if (first < 0 || !ArrTrkIsGroupHead(CurArr, static_cast<uint32_t>(first))) continue;
    const int32_t width = Width(rec);
    const int32_t vt = first + (stacks > 1 ? (pass % stacks) * width : 0);
    if (vt + width > static_cast<int32_t>(kArrTracks)) continue;
    if (CurArr->Trk[vt].RecTrack != static_cast<uint32_t>(rec) || CurArr->Trk[vt].RecKind != kRecKindAudio) continue;
    uint32_t error = 0;
    if (!ArrReserveParts(&CurArr, static_cast<uint32_t>(width), 1, &error)) {
      MessageBoxById(nullptr, error, kMbWarnOk);
      return 0;
    }
    TcRec tcRec{};
    const TcRec* tc = RecordTimeCode(start, &tcRec);
    for (int32_t k = 0; k < width; ++k) {
      char name[64];
      TakeName(rec, k, width, name);
      char unique[64] = {};
      StrCopyN(unique, name, sizeof unique);
      NewTakeName(o.folder.c_str(), unique);
      TakeRec* ahead = k == 0 ? AheadTake(rec) : nullptr;
      TakeRec* take = ahead;
      if (ahead != nullptr) {
        // The Take made ahead already records; it takes the pass's name.
        if (!TakeSetAttr(ahead, kTakeAttrName, reinterpret_cast<uintptr_t>(unique), &error) ||
            (tc && !TakeSetAttr(ahead, kTakeAttrTcStamp, reinterpret_cast<uintptr_t>(tc), &error))) {
          MessageBoxById(nullptr, error, kMbWarnOk, o.folder.c_str());
          return 0;
        }
      } else {
        take = TakeCreateAudio(o.folder.c_str(), o.rec24Bit ? 3 : 2,
                               static_cast<uint32_t>(RecordTakeSamples(start, end)), 0, 0, 0, 1, unique, "",
                               tc, nullptr, &error);
      }
      if (take == nullptr) {
        MessageBoxById(nullptr, error, kMbWarnOk, o.folder.c_str());
        return 0;
      }
      const uint32_t track = static_cast<uint32_t>(vt + k);
      PartRec p = RecordedPart(unique, start, end, TakeRef(take), kTakeAudio);
      p.Flags = CurArr->Trk[track].Flags & (kPartLinkNext | kPartLinkPrev);
      if (wide || pass > 0) p.Flags |= kPartPassMark;
      const int32_t member = RecMemberTrack(rec, k);
      p.PlayChannel = RecPlayChannel(member, pass);
      int32_t top = -1;
      for (int32_t m = 0; m < width; ++m)
        top = std::max(top, TrkTopLayerInRange(static_cast<uint32_t>(vt + m), CurArr, start, end, 0));
      p.Layer = static_cast<int16_t>(top + 1);
      if (conflict) {
        ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec& q) {
          if (q.TakeKind != kTakeAudio || q.Start >= end || arredit::End(q) <= start) return;
          const int32_t qc = q.PlayChannel < 0 ? RecChannelTrack(q.PlayChannel) : q.PlayChannel;
          if (qc >= 1 && (qc - 1) % 192 + 1 == member) *conflict = 1;
        });
      }
      if (!ArrInsertPart(&CurArr, p, nullptr, track, &error)) {
        MessageBoxById(nullptr, error, kMbWarnOk);
        return 0;
      }
      if (g_seams.playTake && ahead == nullptr) g_seams.playTake(member, p.Take, start);
    }
  }
  g_pending = true;
  return LayLogPass(kRecKindMidi, start, end, pass, stacks, wide) &&
         LayLogPass(kRecKindAutom, start, end, pass, stacks, wide);
}

// Trims the Parts being recorded in `pass` at `position`: a Part starting
// there or later is removed with its Take; one reaching past it ends there.
// pass -1: the Parts of every pass whose record track is no longer armed.
// With `only`, just the Parts of the listed record tracks.
void TrimPass(int32_t position, int32_t pass, const std::vector<int32_t>* only = nullptr) {
  std::vector<std::pair<uint32_t, uint32_t>> remove;
  for (uint32_t t = 0; t < kArrTracks; ++t)
    ArrForEachTrackPart(CurArr, t, [&](uint32_t slot, const PartRec& q) {
      if (q.PlayChannel >= 0) return;
      if (pass >= 0 && RecChannelPass(q.PlayChannel) != pass) return;
      if (pass < 0 && RecTrkGetState(RecKindOf(q), RecChannelTrack(q.PlayChannel)) != kRecTrkSafe) return;
      if (only && (q.TakeKind != kTakeAudio ||
                   std::find(only->begin(), only->end(), RecChannelTrack(q.PlayChannel)) == only->end()))
        return;
      PartRec& p = *ArrPart(CurArr, slot);
      if (p.Start >= position) {
        remove.push_back({slot, t});
      } else if (arredit::End(p) > position) {
        p.Length = position - p.Start;
        // An Audio Take's length is its samples; a log Take counts events.
        uint32_t error = 0;
        if (p.TakeKind == kTakeAudio)
          TakeSetAttr(TakeFromRef(p.Take), kTakeAttrLength, static_cast<uintptr_t>(p.Length), &error);
      }
    });
  for (const auto& r : remove) {
    if (TakeRec* take = TakeFromRef(ArrPart(CurArr, r.first)->Take)) TakeDeleteFile(take);
    ArrUnlinkPart(CurArr, r.first, r.second);
  }
}

// Settles a recorded Part with its surroundings: with Parts not allowed to
// overlap, the Parts under it are cut away on every track of its
// channel-link group (ArrLayRecordedParts, from the group's head; a
// timelocked Part stays, with message 317 once); with play channels not
// allowed to overlap across tracks, the other tracks' Parts on its channel
// are muted. The other Parts of the recording carry the pass mark and stay.
void SettleRecordedPart(uint32_t slot, uint32_t track, bool* timelockShown) {
  const PartRec r = *ArrPart(CurArr, slot);
  if (EditOverlapMode == 40892 && !(r.Flags & kPartLinkPrev)) {
    uint32_t result = 0;
    if (!ArrLayRecordedParts(nullptr, &result, &CurArr, slot, r.Start, static_cast<int32_t>(arredit::End(r)),
                            track) &&
        result != 0 && !(result == kIdsTimelocked && *timelockShown)) {
      MessageBoxById(nullptr, result, kMbWarnOk);
      *timelockShown = *timelockShown || result == kIdsTimelocked;
    }
  }
  if (EditMultiOutMode == 40896) ArrMuteSameOutputOverlaps(CurArr, slot, track, nullptr, 0);
}

}  // namespace

void ArrTrimRecordParts(int32_t position, const int32_t* audioTracks, int32_t count) {
  if (!g_pending || audioTracks == nullptr || count <= 0) return;
  const std::vector<int32_t> only(audioTracks, audioTracks + count);
  TrimPass(position, g_pass, &only);
  ArrRelinkOverlaps(CurArr);
  arredit::RebuildPlay();
}

void ArrRedrawRecordParts(DcHandle dc) {
  if (!g_pending || dc == nullptr) return;
  for (uint32_t t = 0; t < kArrTracks; ++t)
    ArrForEachTrackPart(CurArr, t, [&](uint32_t slot, const PartRec& p) {
      if (p.PlayChannel < 0) ArrDrawPart(dc, CurArr, slot, t, 1, 0);
    });
}

void RecSetPassSeams(const RecPassSeams& seams) { g_seams = seams; }

int ArrRecordRollback() {
  UndoSuspend(0);
  if (!g_pending) return 0;
  g_pending = false;
  UndoApply(0);
  ArrSyncTakeRefs(CurArr, 0);
  arredit::RebuildPlay();
  return 1;
}

// Creates one Take per armed record track before the recording starts,
// named from the time stamp and the track, and directs the recording into
// it from `start`; then moves the start up to where the recorder already
// is. 0 after a message, or when nothing is left to record.
int CreateTakesAhead(int32_t* start, int32_t end) {
  const ProcOptions& o = ProcOpts();
  char stamp[24] = "";
  if (g_seams.localTimeStamp) g_seams.localTimeStamp(stamp, sizeof stamp);
  for (int32_t rec : ArmedAudioTracks()) {
    char name[64];
    std::snprintf(name, sizeof name, "%s %d", stamp, static_cast<int>(rec));
    ReplaceBadNameChars(name);
    NewTakeName(o.folder.c_str(), name);
    uint32_t error = 0;
    TakeRec* take = TakeCreateAudio(o.folder.c_str(), o.rec24Bit ? 3 : 2,
                                    static_cast<uint32_t>(RecordTakeSamples(*start, end)), 0, 0, 0, 1, name, "",
                                    nullptr, nullptr, &error);
    if (take == nullptr) {
      MessageBoxById(nullptr, error, kMbWarnOk, o.folder.c_str());
      return 0;
    }
    g_ahead.push_back({rec, take});
    if (g_seams.playTake) g_seams.playTake(rec, TakeRef(take), *start);
  }
  const int32_t at = g_seams.currentLoc ? g_seams.currentLoc() : *start;
  if (at <= *start) return 1;
  if (at >= end) return 0;
  // The recorder has passed the start: the Takes' valid data begin that
  // much later.
  for (const auto& a : g_ahead) {
    const uint64_t bps = TakeGetAttr(a.second, kTakeAttrBytesPerSample);
    const uint64_t data = TakeGetAttr(a.second, kTakeAttrDataStart) + bps * static_cast<uint64_t>(at - *start);
    uint32_t error = 0;
    if (data > UINT32_MAX || !TakeSetAttr(a.second, kTakeAttrDataStart, static_cast<uintptr_t>(data), &error)) {
      MessageBoxById(nullptr, error ? error : kIdsNoFolder, kMbWarnOk, o.folder.c_str());
      return 0;
    }
  }
  *start = at;
  return 1;
}

int ArrRecordPass(int32_t* start, int32_t* end, int createTakes, int* conflict) {
  if (*start >= *end) return arredit::Refuse(kIdsLocatorsNotSet);
  const ProcOptions& o = ProcOpts();
  if (o.folder.empty() || !FioDirExists(o.folder.c_str())) {
    MessageBoxById(nullptr, kIdsNoFolder, kMbWarnOk, o.folder.c_str());
    return 0;
  }
  if (!arredit::BeginStep(kUndoRecord)) return 0;
  UndoSuspend(1);
  g_pending = true;
  g_pass = 0;
  g_ahead.clear();
  if (conflict) *conflict = 0;
  // Play/record mode bit 3 records without Takes made ahead.
  if (createTakes && !(Settings().PlayRecMode & kModeOption3) && !CreateTakesAhead(start, *end)) {
    g_ahead.clear();
    ArrRecordRollback();
    return 0;
  }
  const int laid = LayPass(*start, *end, 0, 1, conflict);
  g_ahead.clear();
  if (!laid) {
    ArrRecordRollback();
    return 0;
  }
  ArrRelinkOverlaps(CurArr);
  ArrSyncTakeRefs(CurArr, 0);
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}

int ArrRecordLoopStep(int32_t position, int32_t end, int32_t pass, int32_t stacks) {
  TrimPass(position, -1);  // punched out
  if (position >= end) return 0;
  // The pass's Takes are directed to the tracks only once the recorder has
  // passed the pass start.
  WaitForTransfer(position);
  g_pass = pass;
  if (!LayPass(position, end, pass, std::max(stacks, 1), nullptr)) {
    ArrRecordRollback();
    return 0;
  }
  ArrRelinkOverlaps(CurArr);
  ArrSyncTakeRefs(CurArr, 0);
  arredit::RebuildPlay();
  return 1;
}

int ArrRecordStop(int32_t stopPosition, int32_t lastPass) {
  UndoSuspend(0);
  if (!g_pending) return 0;
  g_pending = false;
  TrimPass(stopPosition, lastPass);
  // A stop right where a loop pass began leaves that pass empty: the pass
  // before it is the one heard.
  int32_t audible = lastPass;
  bool lastHasParts = false;
  for (uint32_t t = 0; t < kArrTracks; ++t)
    ArrForEachTrackPart(CurArr, t, [&](uint32_t, const PartRec& q) {
      if (q.PlayChannel < 0 && RecChannelPass(q.PlayChannel) == lastPass) lastHasParts = true;
    });
  if (!lastHasParts && lastPass > 0) audible = lastPass - 1;
  // The pass marks of earlier recordings go; this one's Parts get theirs.
  for (uint32_t t = 0; t < kArrTracks; ++t)
    ArrForEachTrackPart(CurArr, t, [&](uint32_t slot, const PartRec&) {
      ArrPart(CurArr, slot)->Flags &= ~kPartPassMark;
    });
  std::vector<std::pair<uint32_t, uint32_t>> recorded;
  for (uint32_t t = 0; t < kArrTracks; ++t)
    ArrForEachTrackPart(CurArr, t, [&](uint32_t slot, const PartRec& q) {
      if (q.PlayChannel >= 0) return;
      recorded.push_back({slot, t});
      PartRec& p = *ArrPart(CurArr, slot);
      const int32_t rec = RecChannelTrack(p.PlayChannel);
      // The last pass plays; earlier passes stay as silent members of the stack.
      p.PlayChannel = RecChannelPass(p.PlayChannel) == audible ? rec : rec + 192;
      p.Flags |= kPartPassMark;
      uint32_t error = 0;
      TakeSetAttr(TakeFromRef(p.Take), kTakeAttrRecordedMark, 100, &error);
      if (p.TakeKind == kTakeAutom && g_seams.automKnobRef) p.AutoMapValue = g_seams.automKnobRef(p.Take);
    });
  ArrRelinkOverlaps(CurArr);
  bool timelockShown = false;
  for (const auto& [slot, track] : recorded) {
    const PartRec* p = ArrPart(CurArr, slot);
    if (p != nullptr && p->Start != kPartFreeStart && p->TakeKind == kTakeAudio && p->PlayChannel >= 1 &&
        p->PlayChannel <= 192)
      SettleRecordedPart(slot, track, &timelockShown);
  }
  ArrRelinkOverlaps(CurArr);
  // The last audio must reach the disk before the play data are rebuilt.
  WaitForTransfer(g_seams.currentLoc ? g_seams.currentLoc() : stopPosition);
  ArrSyncTakeRefs(CurArr, 0);
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}
