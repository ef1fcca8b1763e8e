// What the engine's files share: list guards, the loop parameters as the
// pumps read them, the port and the engine's state.
#pragma once

#include <atomic>
#include <cstdint>

#include "logs/qvMidRec/engine.h"
#include "logs/qvMidRec/engine_os.h"
#include "logs/qvMidRec/midlog_private.h"

// Hands a list from the host's thread to the real-time threads. The count
// holds the owner's reference plus one per reader; the pointer is the list
// (a play list's cursor, which the play pump moves forward).
class ListGuard {
 public:
  bool Create();
  void Destroy();

  // Real-time side: the list with a reference taken, or 0 (no reference
  // kept) when none is published.
  uint32_t Acquire();
  void Release();
  // Moves the cursor from the node acquired to `to`, unless the host has
  // withdrawn the list meanwhile.
  void Advance(uint32_t from, uint32_t to);

  // Host side: withdraws the list and waits until no reader holds it.
  void Hold();
  void Publish(uint32_t list);

 private:
  MidiOsEvent* released_ = nullptr;  // set when the count reaches 0
  std::atomic<int32_t> count_{1};
  std::atomic<uint32_t> list_{0};
};

struct LoopParams {
  uint32_t start;
  uint32_t end;
  uint32_t finish;
  uint32_t length;  // end - start; 0: no loop
  uint32_t span;    // finish - start; 0: no loop recording
  uint32_t passes;  // span / length
};

LoopParams MakeLoopParams(uint32_t enable, uint32_t start, uint32_t end, uint32_t finish);

// The loop parameters of a port as the pumps read them: written by the
// host's thread only, read without a lock. A reader retries a bounded number
// of times while a write is under way and otherwise keeps the copy it had,
// so a pump never waits on the host.
class LoopSnapshot {
 public:
  void Store(const LoopParams& p);
  // *p is updated with a consistent copy when one can be had in a few reads.
  void Load(LoopParams* p) const;

 private:
  static constexpr int kWords = 6;
  std::atomic<uint32_t> seq_{0};  // odd while a write is under way
  std::atomic<uint32_t> words_[kWords]{};
};

struct MidiPort {
  uint32_t moduleIndex;  // 1-based
  uint32_t element;      // the module's value, passed back when enabling input

  // The filter: written by the host's thread, read by the play pump.
  std::atomic<uint32_t> firstTrack{0};  // 0-based
  std::atomic<uint32_t> trackCount{0};
  std::atomic<uint32_t> channel{0};  // 0: one channel per track from 1; 1..16: this one

  uint32_t playList = 0;  // heads, owned by the host's thread
  ListGuard playGuard;
  uint32_t chaseList = 0;
  ListGuard chaseGuard;
  std::atomic<int32_t> chasePending{0};
  uint32_t loopChaseList = 0;
  ListGuard loopChaseGuard;

  // 0 none, 1 the port's channels, 2 all 16.
  std::atomic<int32_t> allNotesOff{0};

  // The play pump's own: its loop offset and the start count it last saw
  // (a new start count means the transport started again: offset 0).
  uint64_t playLoopOffset = 0;
  uint32_t playStarts = 0;
  LoopParams playLoop{};

  // Loop parameters: the host's copy, and the one the pumps read.
  LoopParams loop{};
  LoopSnapshot loopShared;
  MidiOsLock* loopLock = nullptr;  // orders the host's writers

  // Recording, all under the record lock.
  MidiOsLock* recordLock = nullptr;
  uint64_t recordLoopOffset = 0;
  uint32_t passClearMask = 0;  // bit j: pass j mod 32 still to be cleared
  LoopParams recordLoop{};
  uint32_t recordHead = 0;
  uint32_t recordCursor = 0;
  uint32_t recordFree = 0;  // this port's record free list (chained by next)

  // End of the last block played (play pump), read by the conversion.
  std::atomic<uint64_t> blockEnd{0};

  MidiPort* next = nullptr;
};

struct MipModRecord {
  uintptr_t module;
  MIPMODINFO info;
  MipConnectModuleFn connect;
  MipDisconnectModuleFn disconnect;
  MipEnableMidiMsgInputFn enable;
};

struct MidiEngineState {
  MipModRecord modules[kMipMaxModules]{};
  uint32_t moduleCount = 0;
  MipLoader loader{};

  std::atomic<uint32_t> timeCodeOffset{0};
  std::atomic<int32_t> running{0};
  std::atomic<uint32_t> starts{0};  // transport starts, seen by the play pumps
  uint32_t sampleRate = 0;
  uint32_t recordMode = 0;
  uint32_t playRecEnd = 0;
  LoopParams loop{};
  uint32_t lastPrepLocation = 0;

  MidiPort* firstPort = nullptr;
  MidiPort* lastPort = nullptr;
  uint32_t portCount = 0;

  // A block of play nodes ready for the record pumps (chained by next, 0:
  // none), and the thread that prepares the next one on request.
  std::atomic<uint32_t> spare{0};
  std::atomic<bool> spareAsked{false};  // a request is queued and not yet begun
  MidiOsWorker* allocator = nullptr;
};

MidiEngineState& Engine();

// Base MIDI channel (0-based) of a port's first track.
inline uint32_t BaseChannel(uint32_t channel) { return channel != 0 ? channel - 1 : 0; }

// Withdraws the guard's list, frees it and publishes `list` (0: none).
void ReplaceList(ListGuard& guard, uint32_t& head, uint32_t list);
// Rebuilds the port's loop-chase list at the loop start (none without loop).
void RebuildLoopChase(MidiPort& port);
// Gives a chain linked through next back to the play free list.
void GivePlayNodes(uint32_t first);
