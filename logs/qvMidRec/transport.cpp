// The host's transport calls: time-code offset, loop, play lists, record
// enable, preparing a start, start and stop, and turning what the ports
// recorded into MIDI logs.
#include <algorithm>

#include "logs/qvMidRec/engine_private.h"

namespace {

template <class Fn>
void ForEachPort(Fn fn) {
  for (MidiPort* p = Engine().firstPort; p != nullptr; p = p->next) fn(*p);
}

// True when track t lies among the port's tracks.
bool PortHasTrack(const MidiPort& port, uint32_t t) {
  return t >= port.firstTrack && uint64_t{t} < uint64_t{port.firstTrack} + port.trackCount;
}

bool RecordListFor(const MidiPort& port) {
  for (MidiViewListHandle h = MidiFirstViewList(1); h != 0; h = MidiNextViewList(h)) {
    uint32_t track = 0;
    if (MidiGetViewListTrack(h, &track) != 0 && PortHasTrack(port, track)) return true;
  }
  return false;
}

}  // namespace

int32_t MidiSetSampleRate(uint32_t rate) {
  Engine().sampleRate = rate;
  return 1;
}

int32_t MidiSetTimeCodeOffset(uint32_t offset) {
  Engine().timeCodeOffset.store(offset);
  return 1;
}

int32_t MidiSetRecordMode(uint32_t mode) {
  Engine().recordMode = mode;
  return 1;
}

int32_t MidiSetPlayRecEndLoc(uint32_t location) {
  Engine().playRecEnd = location;
  return 1;
}

int32_t MidiSetSeamlessLoopParams(uint32_t enable, uint32_t start, uint32_t end, uint32_t finish) {
  const LoopParams loop = MakeLoopParams(enable, start, end, finish);
  Engine().loop = loop;
  ForEachPort([&](MidiPort& port) {
    MidiOsLockEnter(port.loopLock);
    port.loop = loop;
    port.loopShared.Store(loop);
    MidiOsLockLeave(port.loopLock);
    RebuildLoopChase(port);
  });
  return 1;
}

int32_t MidiBuildPlaylists() {
  ForEachPort([](MidiPort& port) {
    port.playGuard.Hold();
    port.allNotesOff.store(1);
    FreePlayList(port.playList);
    port.playList = BuildPlayList(port.channel, port.firstTrack, port.trackCount);
    port.playGuard.Publish(port.playList);
    if (port.loop.length != 0) RebuildLoopChase(port);
  });
  return 1;
}

int32_t MidiSetRecordEnable() {
  MidiEngineState& engine = Engine();
  ForEachPort([&](MidiPort& port) {
    const uint32_t enable = RecordListFor(port) ? 1 : 0;
    if (port.moduleIndex == 0 || port.moduleIndex > engine.moduleCount) return;
    engine.modules[port.moduleIndex - 1].enable(port.element, enable);
  });
  return 1;
}

int32_t MidiPrepPlayBufs(uint32_t location) {
  Engine().lastPrepLocation = location;
  ForEachPort([&](MidiPort& port) {
    port.chaseGuard.Hold();
    FreePlayList(port.chaseList);
    port.chaseList = BuildChaseList(port.playList, location);
    if (port.chaseList != 0) {
      port.chaseGuard.Publish(port.chaseList);
      port.chasePending.store(1);
    }
  });
  return 1;
}

int32_t MidiStartPlayRec() {
  MidiEngineState& engine = Engine();
  // The play pumps see the new start count and begin at loop offset 0.
  engine.starts.fetch_add(1);
  ForEachPort([](MidiPort& port) {
    MidiOsLockEnter(port.recordLock);
    port.recordLoopOffset = 0;
    port.passClearMask = 0;
    MidiOsLockLeave(port.recordLock);
  });
  engine.running.store(1);
  return 1;
}

int32_t MidiStopPlayRec() {
  Engine().running.store(0);
  ForEachPort([](MidiPort& port) {
    port.allNotesOff.store(1);
    ReplaceList(port.chaseGuard, port.chaseList, 0);
  });
  return 1;
}

namespace {

constexpr uint32_t kSlots = 16;

// Writes the port's recorded messages into the record views of its tracks.
void ConvertPort(MidiPort& port, const MidiViewHandle (&slots)[kSlots]) {
  MidiEngineState& engine = Engine();
  MidiViewHandle slot[kSlots];
  std::copy(std::begin(slots), std::end(slots), slot);
  const uint32_t base = BaseChannel(port.channel);
  // Notes still sounding end at the loop finish, else where playing ended.
  int64_t cap = port.loop.finish;
  if (port.loop.span == 0) {
    const int64_t played = static_cast<int64_t>(port.blockEnd.load() - port.recordLoopOffset -
                                                engine.timeCodeOffset.load());
    cap = std::min<int64_t>(played, engine.playRecEnd);
  }
  const uint32_t capped = static_cast<uint32_t>(std::clamp<int64_t>(cap, 0, UINT32_MAX));
  const PlayHeap& heap = Lib().play;
  for (uint32_t n = port.recordHead; n != 0; n = heap.At(n).next) {
    const MidiPlayNode& node = heap.At(n);
    const uint32_t i = (node.message & 0x0F) - base;  // wraps past 15 below the base
    if (i >= kSlots || slot[i] == 0) continue;
    MidiView v{};
    while (MidiGetView(slot[i], &v) != 0 && uint64_t{node.position} >= uint64_t{v.start} + v.length) {
      slot[i] = MidiNextView(slot[i]);
    }
    if (slot[i] == 0 || node.position < v.start) continue;
    const uint64_t viewEnd = uint64_t{v.start} + v.length;
    WriteRecordedEvent(slot[i], node.position, node.message,
                       static_cast<uint32_t>(std::min<uint64_t>(capped, viewEnd)));
  }
}

}  // namespace

int32_t MidiConvertRecordlistsIntoLogs(uint32_t discard) {
  ForEachPort([&](MidiPort& port) {
    MidiViewHandle slots[kSlots] = {};
    bool any = false;
    for (MidiViewListHandle h = MidiFirstViewList(1); h != 0; h = MidiNextViewList(h)) {
      uint32_t track = 0;
      if (MidiGetViewListTrack(h, &track) == 0 || !PortHasTrack(port, track) || track - port.firstTrack >= kSlots) {
        continue;
      }
      slots[track - port.firstTrack] = MidiFirstView(h);
      any = any || slots[track - port.firstTrack] != 0;
    }
    MidiOsLockEnter(port.recordLock);
    if (discard == 0 && any) ConvertPort(port, slots);
    // The whole list goes to the port's record free list.
    while (port.recordHead != 0) {
      const uint32_t n = port.recordHead;
      port.recordHead = Lib().play.At(n).next;
      Lib().play.At(n).next = port.recordFree;
      port.recordFree = n;
    }
    port.recordCursor = 0;
    MidiOsLockLeave(port.recordLock);
  });
  return 1;
}
