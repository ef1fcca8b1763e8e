#include "mixer/units/midiplay.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/musical.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/util/paths.h"
#include "mixer/units/playlist.h"

namespace {

constexpr int kTransportPlaying = 3, kTransportRecording = 4;
constexpr int32_t kSeamlessLimit = 0x7FFF0600;
constexpr int32_t kNoPart = -1;

const MidiLibApi* gLib = nullptr;
const MidiPlayHost* gHost = nullptr;

MidiTakeLog* gLogs = nullptr;
MidiViewListHandle gPlaySlots[kMidiTracks];
MidiViewListHandle gRecordSlots[kMidiTracks];
struct LoopSent {
  uint32_t enable, start, end, position;
};
LoopSent gLoop{};
uint32_t gRecordMode = 0;
void Message(uint32_t id, const char* arg = nullptr) {
  if (gHost != nullptr && gHost->message != nullptr) gHost->message(id, arg);
}

bool Moving() {
  if (gHost == nullptr) return false;
  const int s = gHost->transportState();
  return s == kTransportPlaying || s == kTransportRecording || gHost->recordPassLaidOut();
}

int32_t AttrOf(TakeRec* take, uint32_t n) { return static_cast<int32_t>(TakeGetAttr(take, n)); }

// The Take keeps a 32-bit word for its record: the record's number in this
// table plus 1.
std::vector<MidiTakeLog*> gById;

uint32_t Register(MidiTakeLog* rec) {
  for (size_t i = 0; i < gById.size(); ++i) {
    if (gById[i] == nullptr) {
      gById[i] = rec;
      return static_cast<uint32_t>(i + 1);
    }
  }
  gById.push_back(rec);
  return static_cast<uint32_t>(gById.size());
}

void Unregister(MidiTakeLog* rec) {
  if (rec->Id >= 1 && rec->Id <= gById.size() && gById[rec->Id - 1] == rec) gById[rec->Id - 1] = nullptr;
  rec->Id = 0;
}

MidiTakeLog* RecOf(TakeRec* take) {
  const auto id = static_cast<uint32_t>(TakeGetAttr(take, kTakeAttrMidiLog));
  return id >= 1 && id <= gById.size() ? gById[id - 1] : nullptr;
}

int32_t PendingOf(const MidiTakeLog* rec) { return rec->Pending; }
void SetPending(MidiTakeLog* rec, int32_t count) { rec->Pending = count > 0 ? count : 0; }

void Append(MidiTakeLog* rec) {
  MidiTakeLog** at = &gLogs;
  while (*at != nullptr) at = &(*at)->Next;
  *at = rec;
}

void Unlink(MidiTakeLog* rec) {
  for (MidiTakeLog** at = &gLogs; *at != nullptr; at = &(*at)->Next) {
    if (*at == rec) {
      *at = rec->Next;
      break;
    }
  }
}

// The Take's record, or a new one with an empty log (not yet listed).
MidiTakeLog* LogOf(TakeRec* take, bool* made) {
  *made = false;
  if (MidiTakeLog* rec = RecOf(take)) return rec;
  auto* rec = static_cast<MidiTakeLog*>(PlayListHeapAlloc(sizeof(MidiTakeLog)));
  if (rec == nullptr) {
    Message(kMidiMsgHeap);
    return nullptr;
  }
  rec->Take = take;
  if (!gLib->createLog(&rec->Log, static_cast<uint32_t>(AttrOf(take, kTakeAttrTickResolution)))) {
    PlayListHeapFree(rec);
    Message(kMidiMsgHeap);
    return nullptr;
  }
  *made = true;
  return rec;
}

void List(MidiTakeLog* rec) {
  uint32_t error = 0;
  rec->Id = Register(rec);
  TakeSetAttr(rec->Take, kTakeAttrMidiLog, rec->Id, &error);
  Append(rec);
}

void Discard(MidiTakeLog* rec) {
  Unregister(rec);
  gLib->deleteLog(rec->Log);
  PlayListHeapFree(rec);
}

int AddView(MidiViewListHandle* slots, int32_t m, uint32_t isRecord, const MidiView& view) {
  if (slots[m - 1] == 0 && !gLib->createViewList(static_cast<uint32_t>(m - 1), isRecord, &slots[m - 1])) {
    slots[m - 1] = 0;
    Message(kMidiMsgHeap);
    return 0;
  }
  if (!gLib->addView(slots[m - 1], &view)) {
    Message(kMidiMsgHeap);
    return 0;
  }
  return 1;
}

MidiView ViewOf(const PartRec& part, MidiTakeLog* rec) {
  return {static_cast<uint32_t>(part.Start), static_cast<uint32_t>(part.Length),
          static_cast<uint32_t>(part.Offset), rec->Log};
}

int AddRecordView(int32_t m, int clear, const PartRec& part) {
  TakeRec* take = TakeFromRef(part.Take);
  if (take == nullptr) return 1;
  bool made = false;
  MidiTakeLog* rec = LogOf(take, &made);
  if (rec == nullptr) return 0;
  if (made) {
    List(rec);
    // What the Take already holds is kept until the record is saved.
    SetPending(rec, AttrOf(take, kTakeAttrMidiWord3));
  } else if (clear) {
    gLib->deleteAllLogEvents(rec->Log);
    rec->EventCount = 0;
    SetPending(rec, 0);
  }
  rec->Recording = rec->InUse = rec->Dirty = 1;
  return AddView(gRecordSlots, m, 1, ViewOf(part, rec));
}

int AddPlayView(int32_t m, const PartRec& part) {
  TakeRec* take = TakeFromRef(part.Take);
  if (take == nullptr) return 1;
  bool made = false;
  MidiTakeLog* rec = LogOf(take, &made);
  if (rec == nullptr) return 0;
  if (made) {
    const int32_t stored = AttrOf(take, kTakeAttrMidiWord3);
    if (!Moving() && stored > 0) {
      rec->EventCount = stored;
      if (!MidiLoadLog(rec)) {
        Discard(rec);
        return 0;
      }
    } else {
      rec->EventCount = 0;
      SetPending(rec, stored);
    }
    List(rec);
  } else if (PendingOf(rec) > 0 && !Moving()) {
    // Made while the transport ran: its stored events are read now.
    if (!MidiLoadLog(rec)) return 0;
  }
  rec->InUse = 1;
  if (m == 0) return 1;
  return AddView(gPlaySlots, m, 0, ViewOf(part, rec));
}

// The loop range of a loop recording: S from the left locator less the
// pre-roll, E past the right locator and the post-roll, capped.
void LoopRange(int32_t* s, int32_t* e) {
  const uint32_t mode = gHost->playRecMode();
  int64_t start = gHost->leftLoc();
  if (mode & 2u) start = std::max<int64_t>(start - gHost->preRoll(), 0);
  int64_t end = int64_t{gHost->rightLoc()} + 1;
  if (mode & 4u) end += gHost->postRoll();
  *s = static_cast<int32_t>(start);
  *e = static_cast<int32_t>(std::min<int64_t>(end, kMidiEndOfTime));
}

// The next section of arrangement track t whose Part matches channel w.
int NextSection(const ArrRec* arr, uint32_t t, int32_t w, ArrSection* sec) {
  while (ArrNxtVisibleSection(arr, t, sec)) {
    const PartRec* part = ArrPart(arr, static_cast<uint32_t>(sec->Part));
    int32_t pass = 0;
    if (part == nullptr || !MidiPartMatch(*part, w, &pass)) continue;
    if (pass > 0) {
      int32_t s = 0, e = 0;
      LoopRange(&s, &e);
      sec->Start = static_cast<int32_t>(std::min<int64_t>(
          int64_t{sec->Start} + int64_t{pass} * (e - s), kMidiEndOfTime));
    }
    return 1;
  }
  sec->Part = kNoPart;
  return 0;
}

int CompileTrack(const ArrRec* arr, int32_t m, int32_t w, int32_t onlyTrack, ArrSection* cur,
                 bool rebuildPlay, int clear) {
  const uint32_t first = onlyTrack >= 0 ? static_cast<uint32_t>(onlyTrack) : 0;
  const uint32_t last = onlyTrack >= 0 ? static_cast<uint32_t>(onlyTrack) : kArrTracks - 1;
  for (uint32_t t = first; t <= last; ++t) {
    cur[t] = {kNoPart, 0, 0};
    NextSection(arr, t, w, &cur[t]);
  }
  int64_t p = 0;
  for (;;) {
    for (uint32_t t = first; t <= last; ++t)
      while (cur[t].Part != kNoPart && int64_t{cur[t].Start} + cur[t].Length <= p)
        NextSection(arr, t, w, &cur[t]);
    int64_t best = 0x7FFFFFFF, bestLen = 0;
    int32_t chosen = -1;
    for (uint32_t t = first; t <= last; ++t) {
      if (cur[t].Part == kNoPart) continue;
      const PartRec* part = ArrPart(arr, static_cast<uint32_t>(cur[t].Part));
      const int64_t start = std::max<int64_t>(cur[t].Start, p);
      const int64_t end = int64_t{cur[t].Start} + cur[t].Length;
      if (part->PlayChannel >= 0) {
        if (start < best) {
          // It may play only until the start of a later-starting section
          // already found on a lower track.
          const int64_t len = std::min(end, best) - start;
          best = start;
          bestLen = len;
          chosen = static_cast<int32_t>(t);
        }
      } else if (start <= best) {
        bestLen = (start < best ? std::min(end, best) : end) - start;
        best = start;
        chosen = static_cast<int32_t>(t);
      } else if (chosen >= 0) {
        bestLen = std::min(bestLen, start - best);
      }
    }
    if (chosen < 0 || best >= 0x7FFFFFFF) return 1;
    const ArrSection& sec = cur[chosen];
    PartRec part = *ArrPart(arr, static_cast<uint32_t>(sec.Part));
    if (best > part.Start) part.Offset += static_cast<int32_t>(best - part.Start);
    part.Start = static_cast<int32_t>(best);
    part.Length = static_cast<int32_t>(bestLen);
    p = best + bestLen;
    if (part.PlayChannel < 0) {
      if (!AddRecordView(m, clear, part)) return 0;
    } else if (rebuildPlay) {
      if (!AddPlayView(m, part)) return 0;
    }
  }
}

}  // namespace

// ---- Binding ----

void MidiBindLib(const MidiLibApi* api) { gLib = api; }
void MidiSetHost(const MidiPlayHost* host) { gHost = host; }

// ---- Transport calls ----

void MidiSetRecMode(uint32_t mode) {
  gRecordMode = mode;
  if (gLib) gLib->setRecordMode(mode);
}

void MidiStopPlayRec(int32_t position) {
  if (gLib) gLib->stopPlayRec(position >= 0 ? 1 : 0, static_cast<uint32_t>(position));
}

void MidiStartPlay() {
  if (gLib) gLib->startPlayRec();
}

void MidiPrepPlay(int32_t position) {
  if (gLib) gLib->prepPlayBufs(static_cast<uint32_t>(position));
}

int MidiSetLoopRange(int kind, int prepare) {
  if (gLib == nullptr || gHost == nullptr) return 1;
  LoopSent want{};
  if (kind == 1 && gHost->seamlessLoopOn()) {
    want = {1, static_cast<uint32_t>(gHost->leftLoc()), static_cast<uint32_t>(gHost->rightLoc()),
            static_cast<uint32_t>(gHost->rightLoc())};
  } else if (kind == 2 && gHost->seamlessLoopOn()) {
    int32_t s = 0, e = 0;
    LoopRange(&s, &e);
    const int64_t position = int64_t{s} + int64_t{e - s} * gHost->loopPasses();
    if (position < 0 || position >= kSeamlessLimit) {
      Message(kMidiMsgLoopStack);
      return 0;
    }
    want = {1, static_cast<uint32_t>(s), static_cast<uint32_t>(e), static_cast<uint32_t>(position)};
  }
  if (std::memcmp(&want, &gLoop, sizeof want) == 0) return 1;
  gLoop = want;
  if (!gLib->setSeamlessLoopParams(want.enable, want.start, want.end, want.position)) return 0;
  if (prepare && !Moving()) gLib->prepPlayBufs(static_cast<uint32_t>(gHost->nowLoc()));
  return 1;
}

// ---- Matching and compiling ----

int MidiPartMatch(const PartRec& part, int32_t wanted, int32_t* loopPass) {
  *loopPass = 0;
  if (part.TakeKind != kTakeMidi) return 0;
  const int32_t c = part.PlayChannel > kMidiTracks ? 0 : part.PlayChannel;
  const int32_t w = wanted > kMidiTracks ? 0 : wanted;
  if (c == w) return 1;
  if (c >= 0) return 0;
  if (gHost != nullptr && gHost->seamlessLoopOn()) {
    const int64_t k = int64_t{c} + 1;
    if (1 - (k % 192) != w) return 0;
    *loopPass = static_cast<int32_t>(-k / 192);
    return 1;
  }
  const int32_t passes = gHost != nullptr ? std::max(gHost->loopPasses(), 1) : 1;
  const int32_t pass = gHost != nullptr ? gHost->loopPass() : 0;
  return -int64_t{c} == int64_t{pass % passes} * 192 + w;
}

int MidiBuildPlayLists(ArrRec* arr, int afterRecording, int clearRecordLogs, int32_t track,
                       int32_t filter, int32_t wantedChannel) {
  if (gLib == nullptr) return 1;
  if (!MidiCollectRecorded()) return 0;
  const bool rebuildPlay = !afterRecording || gRecordMode == 0;
  std::fill(std::begin(gRecordSlots), std::end(gRecordSlots), 0);
  gLib->deleteAllViewLists(1);
  MidiClearInUse(1);
  if (rebuildPlay) {
    std::fill(std::begin(gPlaySlots), std::end(gPlaySlots), 0);
    gLib->deleteAllViewLists(0);
    MidiClearInUse(0);
  }
  auto* cur = static_cast<ArrSection*>(PlayListHeapAlloc(sizeof(ArrSection) * kArrTracks));
  if (cur == nullptr) {
    Message(kMidiMsgHeap);
    return 0;
  }
  const int32_t onlyTrack = track >= 0 && static_cast<uint32_t>(track) < kArrTracks ? track : -1;
  const int32_t from = filter > 0 ? filter : 1;
  const int32_t to = filter > 0 ? filter : kMidiTracks;
  for (int32_t m = from; m <= to && m <= kMidiTracks && arr != nullptr; ++m) {
    const int32_t w = filter > 0 ? wantedChannel : m;
    if (!CompileTrack(arr, m, w, onlyTrack, cur, rebuildPlay, clearRecordLogs)) {
      PlayListHeapFree(cur);
      return 0;
    }
  }
  if (rebuildPlay && arr != nullptr) {
    for (uint32_t slot = 0; slot < arr->PartCount; ++slot) {
      const PartRec* part = ArrPart(arr, slot);
      if (part->Start < 0 || part->TakeKind != kTakeMidi) continue;
      if (!AddPlayView(0, *part)) {
        PlayListHeapFree(cur);
        return 0;
      }
    }
    gLib->buildPlaylists();
  }
  gLib->setRecordEnable();
  PlayListHeapFree(cur);
  if (!afterRecording && filter == 0) MidiFreeUnusedLogs();
  return 1;
}

int MidiRebuildAndPrepLists(ArrRec* arr, int32_t position) {
  const int ok = MidiBuildPlayLists(arr, 0, 0, -1, 0, 0);
  if (ok && gLib != nullptr && !Moving()) gLib->prepPlayBufs(static_cast<uint32_t>(position));
  return ok;
}

// ---- Logs ----

int MidiLoadLog(MidiTakeLog* rec) {
  const int32_t count = PendingOf(rec) > 0 ? PendingOf(rec) : rec->EventCount;
  if (count <= 0) return 1;
  auto* events = static_cast<MidiLogEvent*>(PlayListHeapAlloc(sizeof(MidiLogEvent) * count));
  if (events == nullptr) {
    Message(kMidiMsgHeap);
    return 0;
  }
  uint32_t error = 0;
  int ok = TakeDataIo(rec->Take, 0, 0, static_cast<uint32_t>(sizeof(MidiLogEvent) * count), events,
                      &error);
  if (!ok) {
    Message(error);
  } else {
    for (int32_t i = 0; i < count && ok; ++i) ok = gLib->addLogEvent(rec->Log, &events[i]);
    if (!ok) Message(kMidiMsgHeap);
  }
  PlayListHeapFree(events);
  if (ok) {
    // The stored events are in the log now; a pending count adds to what
    // was recorded into it meanwhile.
    int32_t inLog = count;
    gLib->getLogEventCnt(rec->Log, &inLog);
    rec->EventCount = inLog;
    SetPending(rec, 0);
  }
  return ok;
}

int MidiSaveLog(MidiTakeLog* rec, int sizeOnly) {
  if (PendingOf(rec) > 0 && !MidiLoadLog(rec)) return 0;
  const int32_t count = rec->EventCount;
  if (count <= 0) {
    if (!sizeOnly) rec->Dirty = 0;
    return 1;
  }
  uint32_t error = 0;
  const uint32_t bytes = static_cast<uint32_t>(sizeof(MidiLogEvent) * count);
  if (!TakeSetAttr(rec->Take, kTakeAttrDataBytes, bytes, &error)) {
    char drive[8] = {};
    PathGetDrive(rec->Take->path, drive, sizeof drive);
    Message(error == 181 ? kMidiMsgNoSpace : error, drive);
    return 0;
  }
  if (!sizeOnly) {
    auto* events = static_cast<MidiLogEvent*>(PlayListHeapAlloc(bytes));
    if (events == nullptr) {
      Message(kMidiMsgHeap);
      return 0;
    }
    int32_t n = count;
    int ok = gLib->getAllLogEvents(rec->Log, &n, events);
    ok = ok && TakeDataIo(rec->Take, 1, 0, bytes, events, &error);
    PlayListHeapFree(events);
    if (!ok) {
      Message(error != 0 ? error : kMidiMsgHeap);
      return 0;
    }
    rec->Dirty = 0;
  }
  TakeSetAttr(rec->Take, kTakeAttrMidiWord3, static_cast<uintptr_t>(count), &error);
  return 1;
}

int MidiSaveLogs(int sizeOnly) {
  for (MidiTakeLog* rec = gLogs; rec != nullptr; rec = rec->Next)
    if (rec->Dirty && !MidiSaveLog(rec, sizeOnly)) return 0;
  return 1;
}

int MidiCollectRecorded() {
  if (gLib == nullptr) return 1;
  gLib->convertRecordlistsIntoLogs(0);
  for (MidiTakeLog* rec = gLogs; rec != nullptr; rec = rec->Next) {
    if (!rec->Recording) continue;
    int32_t n = 0;
    if (gLib->getLogEventCnt(rec->Log, &n)) rec->EventCount = n;
    rec->Recording = 0;
  }
  return 1;
}

void MidiClearInUse(int recordSide) {
  for (MidiTakeLog* rec = gLogs; rec != nullptr; rec = rec->Next)
    if ((rec->Recording != 0) == (recordSide != 0)) rec->InUse = 0;
}

int MidiDeleteLogRecord(MidiTakeLog* rec) {
  if (rec == nullptr) return 1;
  Unlink(rec);
  Discard(rec);
  return 1;
}

void MidiFreeUnusedLogs() {
  for (MidiTakeLog* rec = gLogs; rec != nullptr;) {
    MidiTakeLog* next = rec->Next;
    if (!rec->InUse && !rec->Dirty && !rec->Recording) {
      uint32_t error = 0;
      TakeSetAttr(rec->Take, kTakeAttrMidiLog, 0, &error);
      Unlink(rec);
      Discard(rec);
    }
    rec = next;
  }
}

// ---- Drawing ----

namespace {

int64_t TickOf(int32_t resolution, int32_t origin, int32_t position) {
  return resolution >= 1 ? LocSpanToMidiTicks(origin, resolution, position)
                         : int64_t{position} - origin;
}

int32_t LocOf(int32_t resolution, int32_t origin, int64_t tick) {
  return resolution >= 1 ? MidiTicksToLocEnd(origin, resolution, tick)
                         : static_cast<int32_t>(origin + tick);
}

MidiEventHandle Note(MidiTakeLog* rec, int32_t origin, const MidiLogEvent& ev, MidiEventHandle node,
                     int32_t* position, int32_t* length, int32_t* note) {
  const int32_t t = AttrOf(rec->Take, kTakeAttrTickResolution);
  *position = LocOf(t, origin, ev.position);
  *length = LocOf(t, origin, int64_t{ev.position} + ev.value) - *position;
  *note = ev.data1;
  return node;
}

// The drawing value of an event other than a note: its 16-bit data word,
// the high byte alone for a pitch bend (whose word holds both message
// bytes, first low).
MidiEventHandle Other(MidiTakeLog* rec, int32_t origin, const MidiLogEvent& ev, MidiEventHandle node,
                      int32_t* position, int32_t* value) {
  const uint16_t word = static_cast<uint16_t>(ev.data2);
  *position = LocOf(AttrOf(rec->Take, kTakeAttrTickResolution), origin, ev.position);
  *value = ev.kind == kMidiPitchBend ? word >> 8 : word;
  return node;
}

// The first event from `node` on (itself included) that is not a note;
// 0 at the end of the log.
MidiEventHandle SkipNotes(MidiEventHandle node, MidiLogEvent* ev) {
  while (node != 0 && ev->kind == kMidiNote) {
    MidiEventHandle next = 0;
    if (!gLib->nextEvent(node, 0, ev, &next)) return 0;
    node = next;
  }
  return node;
}

}  // namespace

MidiEventHandle MidiPartFirstEventEx(MidiTakeLog* rec, int32_t origin, int32_t* position, int32_t* value) {
  if (gLib == nullptr || rec == nullptr) return 0;
  const int32_t t = AttrOf(rec->Take, kTakeAttrTickResolution);
  const int64_t tick = std::max<int64_t>(TickOf(t, origin, *position), 0);
  MidiLogEvent ev{};
  MidiEventHandle node = 0;
  if (!gLib->firstEvent(rec->Log, 0, static_cast<uint32_t>(std::min<int64_t>(tick, UINT32_MAX)), &ev, &node))
    return 0;
  node = SkipNotes(node, &ev);
  return node != 0 ? Other(rec, origin, ev, node, position, value) : 0;
}

MidiEventHandle MidiPartNextEventEx(MidiTakeLog* rec, int32_t origin, MidiEventHandle node,
                                    int32_t* position, int32_t* value) {
  if (gLib == nullptr || rec == nullptr || node == 0) return 0;
  MidiLogEvent ev{};
  MidiEventHandle next = 0;
  if (!gLib->nextEvent(node, 0, &ev, &next)) return 0;
  next = SkipNotes(next, &ev);
  return next != 0 ? Other(rec, origin, ev, next, position, value) : 0;
}

MidiEventHandle MidiPartFirstEvent(MidiTakeLog* rec, int32_t origin, int32_t* position,
                                   int32_t* length, int32_t* note) {
  if (gLib == nullptr || rec == nullptr) return 0;
  const int32_t t = AttrOf(rec->Take, kTakeAttrTickResolution);
  const int64_t tick = std::max<int64_t>(TickOf(t, origin, *position), 0);
  MidiLogEvent ev{};
  MidiEventHandle node = 0;
  if (!gLib->firstEvent(rec->Log, kMidiNote, static_cast<uint32_t>(tick), &ev, &node) || node == 0)
    return 0;
  return Note(rec, origin, ev, node, position, length, note);
}

MidiEventHandle MidiPartNextEvent(MidiTakeLog* rec, int32_t origin, MidiEventHandle node,
                                  int32_t* position, int32_t* length, int32_t* note) {
  if (gLib == nullptr || rec == nullptr || node == 0) return 0;
  MidiLogEvent ev{};
  MidiEventHandle next = 0;
  if (!gLib->nextEvent(node, kMidiNote, &ev, &next) || next == 0) return 0;
  return Note(rec, origin, ev, next, position, length, note);
}

// ---- Tests ----

MidiViewListHandle MidiPlaySlot(int32_t track) {
  return track >= 1 && track <= kMidiTracks ? gPlaySlots[track - 1] : 0;
}
MidiViewListHandle MidiRecordSlot(int32_t track) {
  return track >= 1 && track <= kMidiTracks ? gRecordSlots[track - 1] : 0;
}
MidiTakeLog* MidiTakeLogs() { return gLogs; }
MidiTakeLog* MidiTakeLogOf(TakeRec* take) { return take != nullptr ? RecOf(take) : nullptr; }

void MidiPlayReset() {
  while (gLogs != nullptr) {
    MidiTakeLog* rec = gLogs;
    uint32_t error = 0;
    TakeSetAttr(rec->Take, kTakeAttrMidiLog, 0, &error);
    Unlink(rec);
    if (gLib != nullptr) {
      Discard(rec);
    } else {
      Unregister(rec);
      PlayListHeapFree(rec);
    }
  }
  std::fill(std::begin(gPlaySlots), std::end(gPlaySlots), 0);
  std::fill(std::begin(gRecordSlots), std::end(gRecordSlots), 0);
  gLoop = {};
  gRecordMode = 0;
}
