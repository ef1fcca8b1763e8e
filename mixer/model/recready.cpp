#include "mixer/model/recready.h"

#include <algorithm>
#include <cstdint>

#include "mixer/arrange/services.h"
#include "mixer/mix/services.h"
#include "mixer/model/arr.h"
#include "mixer/model/settings.h"
#include "mixer/model/takes.h"
#include "mixer/model/timecode.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"

namespace {

constexpr uint32_t kRecResol24 = 40356;
constexpr int32_t kNinePinTracks = 32;

// The table of a kind and its length; null for a kind without record tracks.
uint8_t* KindTable(int32_t kind, int32_t* count) {
  RecTrkStateTable& t = RecTrkState();
  switch (kind) {
    case kRecKindAudio: *count = kRecTrksAudio; return t.Audio;
    case kRecKindAutom: *count = kRecTrksAutom; return t.Autom;
    case kRecKindMidi: *count = kRecTrksMidi; return t.Midi;
    default: *count = 0; return nullptr;
  }
}

// Whether a record track takes part in a recording: armed, or with arm
// changes during record allowed, present at all.
bool TakesPart(int32_t state) {
  if (Settings().PlayRecMode & kModeArmDuringRec) return state != kRecTrkAbsent;
  return state == kRecTrkReady;
}

// The record tracks one SetRecReady call changes, in ascending order.
struct Changes {
  bool marked[kRecTrksAudio + 1] = {};
  int tracks[kRecTrksAudio];
  int count = 0;
};

// Marks record track n when it is present and not already in the target
// state. Any n is safe: a number out of range reads as absent.
void Consider(Changes* c, int32_t kind, int32_t n, int32_t target) {
  const int32_t state = RecTrkGetState(kind, n);
  if (state == kRecTrkAbsent || state == target || c->marked[n]) return;
  c->marked[n] = true;
}

// The other record tracks of the link group of Virtual Tracks that carries
// record track n.
void ConsiderGroup(Changes* c, int32_t kind, int32_t n, int32_t target) {
  if (CurArr == nullptr) return;
  int last = -1;
  const int first = ArrFindRecTrkGroup(kind, n, &last);
  if (first < 0) return;
  const int end = std::min<int>(last, kArrTracks - 1);
  for (int t = first; t <= end; ++t) {
    const TrkRec& trk = CurArr->Trk[t];
    if (static_cast<int32_t>(trk.RecKind) == kind) Consider(c, kind, static_cast<int32_t>(trk.RecTrack), target);
  }
}

void Collect(Changes* c, int32_t kind, int32_t first, int32_t last, int32_t target) {
  for (int32_t n = first; n <= last; ++n) {
    if (RecTrkGetState(kind, n) == kRecTrkAbsent) continue;
    Consider(c, kind, n, target);
    ConsiderGroup(c, kind, n, target);
    if (kind == kRecKindAudio) Consider(c, kind, MixStereoPartnerTrk(CurMixDoc(), n), target);
  }
  for (int n = 1; n <= kRecTrksAudio; ++n)
    if (c->marked[n]) c->tracks[c->count++] = n;
}

int32_t FirstPresent(int32_t kind, int32_t first, int32_t last) {
  for (int32_t n = first; n <= last; ++n)
    if (RecTrkGetState(kind, n) != kRecTrkAbsent) return n;
  return 0;
}

int32_t TargetState(int32_t mode, int32_t firstState) {
  if (mode == kRecReadySafe) return kRecTrkSafe;
  if (mode == kRecReadyArm) return kRecTrkReady;
  return firstState == kRecTrkReady ? kRecTrkSafe : kRecTrkReady;
}

// Punches the changed tracks out (safe) or in (ready) of the running
// recording; false when the engine refuses the punch-in.
bool PunchWhileRecording(int32_t kind, const Changes& c, int32_t target) {
  const int* audio = kind == kRecKindAudio ? c.tracks : nullptr;
  const int* autom = kind == kRecKindAutom ? c.tracks : nullptr;
  const int* midi = kind == kRecKindMidi ? c.tracks : nullptr;
  const int na = audio ? c.count : 0, nt = autom ? c.count : 0, nm = midi ? c.count : 0;
  const int32_t now = Locs().NowLoc;
  if (target == kRecTrkSafe) {
    ArrTrimRecordParts(now, audio, na, autom, nt, midi, nm);
    return true;
  }
  const int32_t at = std::max(now, ArrRecordStartLoc());
  return ArrRecordLoopTakes(at, audio, na, autom, nt, midi, nm) != 0;
}

void Apply(int32_t kind, int32_t n, int32_t target) {
  RecTrkSetState(kind, n, target);
  ArrRedrawRecTrkHeaders(kind, n);
  if (kind != kRecKindAudio) return;
  MixSendTrkRecReady(CurMixDoc(), n);
  ConsoleNotifyRecReady(n);
  if (n <= kNinePinTracks) NinePinTrackReady(n);
}

}  // namespace

RecTrkStateTable& RecTrkState() {
  static RecTrkStateTable table{};
  return table;
}

int32_t RecTrkCount(int32_t kind) {
  int32_t count = 0;
  KindTable(kind, &count);
  return count;
}

int32_t RecTrkGetState(int32_t kind, int32_t number) {
  int32_t count = 0;
  const uint8_t* table = KindTable(kind, &count);
  if (table == nullptr || number < 1 || number > count) return kRecTrkAbsent;
  return table[number - 1];
}

void RecTrkSetState(int32_t kind, int32_t number, int32_t state) {
  int32_t count = 0;
  uint8_t* table = KindTable(kind, &count);
  if (table == nullptr || number < 1 || number > count) return;
  if (state < kRecTrkAbsent || state > kRecTrkReady) return;
  table[number - 1] = static_cast<uint8_t>(state);
}

int SetRecReady(int32_t kind, int32_t first, int32_t last, int32_t mode) {
  const int32_t count = RecTrkCount(kind);
  if (count == 0 || first > last || mode < kRecReadySafe || mode > kRecReadyToggle) return 0;
  first = std::max(first, 1);
  last = std::min(last, count);
  const int32_t head = FirstPresent(kind, first, last);
  if (head == 0) return 0;
  const int32_t target = TargetState(mode, RecTrkGetState(kind, head));
  Changes changes;
  Collect(&changes, kind, first, last, target);
  if (changes.count == 0) return 0;
  if (TransportState() == kTransportRecording && !PunchWhileRecording(kind, changes, target)) return 0;
  for (int i = 0; i < changes.count; ++i) Apply(kind, changes.tracks[i], target);
  if (kind == kRecKindAudio && !(Settings().PlayRecMode & kModeArmDuringRec) &&
      TransportState() == kTransportPlaying)
    TransportSetRecLimit(RecTimeAvailable());
  return 1;
}

int32_t MaxTrksPerRecTrack() {
  int32_t most = 1;
  if (CurArr == nullptr) return most;
  // Virtual Tracks per record track, by kind slot (Audio, Automation, Midi).
  int32_t counts[3][kRecTrksAudio + 1] = {};
  for (const TrkRec& trk : CurArr->Trk) {
    const int32_t kind = static_cast<int32_t>(trk.RecKind);
    const int slot = kind == kRecKindAudio ? 0 : kind == kRecKindAutom ? 1 : kind == kRecKindMidi ? 2 : -1;
    const int32_t r = static_cast<int32_t>(trk.RecTrack);
    // RecTrkGetState reads a kind or number out of range as absent.
    if (slot < 0 || !TakesPart(RecTrkGetState(kind, r))) continue;
    most = std::max(most, ++counts[slot][r]);
  }
  return most;
}

uint32_t RecTimeAvailable() {
  const uint32_t bytes = GetRecResol() == kRecResol24 ? 3 : 2;
  const uint32_t limit = std::min<uint32_t>(0xFFFFFFFFu / bytes, kMaxSettableLoc);
  const bool looping = Settings().PlayRecMode & kModeLoop;
  uint64_t tracks = 0;
  for (int32_t r = 1; r <= kRecTrksAudio; ++r) {
    if (!TakesPart(RecTrkGetState(kRecKindAudio, r))) continue;
    tracks += looping ? static_cast<uint64_t>(std::max(ArrCountRecTrks(kRecKindAudio, r), 1)) : 1;
  }
  if (tracks == 0) return limit;
  return static_cast<uint32_t>(std::min<uint64_t>(TakeRecFolderFreeBytes() / (tracks * bytes), limit));
}
