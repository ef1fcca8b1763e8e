// Ports: one per module element that wants MIDI, in one chain; the first
// port brings up the play-node heap and the allocator thread, the last takes
// them down.
#include <algorithm>
#include <new>

#include "logs/qvMidRec/engine_private.h"

MidiEngineState& Engine() {
  static MidiEngineState state;
  return state;
}

const MIPHOSTFUNCS* MidiHostFuncs() {
  static const MIPHOSTFUNCS funcs{kMipHostFuncsSize, MidiCreatePort, MidiDeletePort,
                                  MidiSetPortFilter, MidiReadBlock,  MidiRecordEvents};
  return &funcs;
}

void GivePlayNodes(uint32_t first) { Lib().play.GiveChain(first); }

void ReplaceList(ListGuard& guard, uint32_t& head, uint32_t list) {
  guard.Hold();
  FreePlayList(head);
  head = list;
  guard.Publish(list);
}

void RebuildLoopChase(MidiPort& port) {
  const uint32_t list = port.loop.length != 0 ? BuildChaseList(port.playList, port.loop.start) : 0;
  ReplaceList(port.loopChaseGuard, port.loopChaseList, list);
}

uint32_t MidiPortTrackLimit(uint32_t firstTrack, uint32_t trackCount, uint32_t channel) {
  constexpr uint32_t kChannels = 16;
  if (firstTrack >= kChannels) return 0;
  return std::min({trackCount, channel != 0 ? 1u : kChannels, kChannels - firstTrack});
}

namespace {

// On the allocator thread: the next spare block, unless one is still there
// (only the record pumps empty the slot, and each asks for the next block
// after taking one).
void AllocateSpare(void*) {
  MidiEngineState& engine = Engine();
  engine.spareAsked.store(false);
  if (engine.spare.load() != 0) return;
  const uint32_t block = Lib().play.CarveChain();
  if (block != 0) engine.spare.store(block);
}

bool StartEngineThreads() {
  MidiEngineState& engine = Engine();
  if (!Lib().play.Create()) return false;
  engine.spare.store(Lib().play.CarveChain());
  engine.allocator = MidiOsWorkerStart(AllocateSpare, nullptr);
  return engine.allocator != nullptr;
}

void StopEngineThreads() {
  MidiEngineState& engine = Engine();
  if (engine.allocator != nullptr) MidiOsWorkerStop(engine.allocator);
  engine.allocator = nullptr;
  engine.spare.store(0);
  engine.spareAsked.store(false);
  Lib().play.Destroy();
}

void DestroyPort(MidiPort* port) {
  port->playGuard.Destroy();
  port->chaseGuard.Destroy();
  port->loopChaseGuard.Destroy();
  MidiOsLockDestroy(port->loopLock);
  MidiOsLockDestroy(port->recordLock);
  delete port;
}

bool InChain(const MidiPort* port) {
  for (const MidiPort* p = Engine().firstPort; p != nullptr; p = p->next) {
    if (p == port) return true;
  }
  return false;
}

}  // namespace

MidiPort* QVMIV_CALLBACK MidiCreatePort(uint32_t moduleIndex, uint32_t element) {
  MidiEngineState& engine = Engine();
  MidiPort* port = new (std::nothrow) MidiPort;
  if (port == nullptr) return nullptr;
  if (engine.portCount == 0 && !StartEngineThreads()) {
    StopEngineThreads();
    delete port;
    return nullptr;
  }
  port->moduleIndex = moduleIndex;
  port->element = element;
  port->loop = engine.loop;
  port->loopShared.Store(engine.loop);
  port->playLoop = port->recordLoop = engine.loop;
  port->playStarts = engine.starts.load();
  port->loopLock = MidiOsLockCreate();
  port->recordLock = MidiOsLockCreate();
  if (!port->playGuard.Create() || !port->chaseGuard.Create() || !port->loopChaseGuard.Create() ||
      port->loopLock == nullptr || port->recordLock == nullptr) {
    DestroyPort(port);
    if (engine.portCount == 0) StopEngineThreads();
    return nullptr;
  }
  if (engine.lastPort != nullptr) {
    engine.lastPort->next = port;
  } else {
    engine.firstPort = port;
  }
  engine.lastPort = port;
  ++engine.portCount;
  // No tracks yet: the play list is empty until the module sets a filter.
  ReplaceList(port->playGuard, port->playList, BuildPlayList(port->channel, port->firstTrack, port->trackCount));
  RebuildLoopChase(*port);
  return port;
}

int32_t QVMIV_CALLBACK MidiDeletePort(MidiPort* port) {
  MidiEngineState& engine = Engine();
  if (port == nullptr || !InChain(port)) return 0;
  ReplaceList(port->playGuard, port->playList, 0);
  ReplaceList(port->chaseGuard, port->chaseList, 0);
  ReplaceList(port->loopChaseGuard, port->loopChaseList, 0);
  MidiPort* prev = nullptr;
  for (MidiPort* p = engine.firstPort; p != port; p = p->next) prev = p;
  (prev != nullptr ? prev->next : engine.firstPort) = port->next;
  if (engine.lastPort == port) engine.lastPort = prev;
  --engine.portCount;
  // The record nodes go back to the host's free list; no pump may use the
  // port any more.
  GivePlayNodes(port->recordHead);
  GivePlayNodes(port->recordFree);
  DestroyPort(port);
  if (engine.portCount == 0) StopEngineThreads();
  return 1;
}

int32_t QVMIV_CALLBACK MidiSetPortFilter(MidiPort* port, uint32_t firstTrack, uint32_t trackCount,
                                         uint32_t channel) {
  if (port == nullptr || channel > 16 || !InChain(port)) return 0;
  const uint32_t count = MidiPortTrackLimit(firstTrack, trackCount, channel);
  if (firstTrack == port->firstTrack && count == port->trackCount && channel == port->channel) return 1;
  port->playGuard.Hold();
  port->allNotesOff.store(2);
  FreePlayList(port->playList);
  port->firstTrack.store(firstTrack);
  port->trackCount.store(count);
  port->channel.store(channel);
  port->playList = BuildPlayList(channel, firstTrack, count);
  port->playGuard.Publish(port->playList);
  if (port->loop.length != 0) RebuildLoopChase(*port);
  return 1;
}

int32_t MidiGetPortInfo(MidiPort* port, MidiPortInfo* out) {
  if (port == nullptr || out == nullptr || !InChain(port)) return 0;
  MidiOsLockEnter(port->recordLock);
  uint32_t recorded = 0;
  for (uint32_t n = port->recordHead; n != 0; n = Lib().play.At(n).next) ++recorded;
  MidiOsLockLeave(port->recordLock);
  *out = MidiPortInfo{port->firstTrack, port->trackCount, port->channel, recorded};
  return 1;
}
