#include "mixer/units/unitmotion.h"

#include "mixer/model/host.h"
#include "mixer/model/settings.h"
#include "mixer/units/services.h"
#include "mixer/units/unitops.h"
#include "mixer/units/unittable.h"

namespace {

uint32_t Low24(int64_t v) { return static_cast<uint32_t>(v) & 0xFFFFFF; }
uint32_t High(int64_t v) { return static_cast<uint32_t>(static_cast<uint64_t>(v) >> 24); }

// The last position a loop may end at; a range reaching it cannot loop.
constexpr int32_t kLoopLimit = 0x7FFF0600;
// "Currently defined seamless record loop stack not possible at this location!"
constexpr uint32_t kMsgLoopStack = 343;

}  // namespace

UnitPrepWords UnitPrepWordsFor(int32_t position, uint32_t playRecMode, int32_t loopStart,
                               int32_t loopEnd) {
  UnitPrepWords w{};
  w.word[0] = Low24(position);
  w.word[1] = High(position);
  w.word[2] = playRecMode;
  if (loopEnd > loopStart) {
    w.word[3] = Low24(loopStart);
    w.word[4] = High(loopStart);
    w.word[5] = Low24(loopEnd);
    w.word[6] = High(loopEnd);
  }
  return w;
}

UnitLoopWords UnitLoopWordsFor(int kind, int on, int32_t start, int32_t end, int flag) {
  UnitLoopWords w{};
  w.word[0] = static_cast<uint32_t>(kind);
  w.word[1] = on ? 1 : 0;
  w.word[2] = Low24(start);
  w.word[3] = High(start);
  w.word[4] = Low24(end);
  w.word[5] = High(end);
  w.word[6] = static_cast<uint32_t>(flag);
  return w;
}

void UnitsLocate(int32_t position) {
  EveryUnit([position](const UnitOps& ops, UnitHandle h) { return ops.locate(h, position); });
}

void UnitsPrepPlayBufs(int32_t position) {
  const uint32_t mode = Settings().PlayRecMode;
  const bool loop = (mode & kModeLoop) != 0;
  const UnitPrepWords w =
      UnitPrepWordsFor(position, mode, loop ? Locs().LeftLoc : 0, loop ? Locs().RightLoc : 0);
  EveryUnit([&w](const UnitOps& ops, UnitHandle h) { return ops.prepPlayBufs(h, w.word); });
}

// Play and record start alike on the units: what records is set by the
// record-track states before. A unit that refuses leaves every unit
// stopped, so that nothing plays on its own.
int UnitsStartPlayRec(int) {
  if (EveryUnit([](const UnitOps& ops, UnitHandle h) { return ops.startPlayRec(h); })) return 1;
  UnitsStop();
  return 0;
}

// Winding moves the units' shuttle at the speed from the now position;
// speed 0 parks it.
void UnitsWind(int32_t speed) {
  const int64_t at = speed != 0 ? Locs().NowLoc : kUnitParked;
  EveryUnit([at, speed](const UnitOps& ops, UnitHandle h) { return ops.setScrubLoc(h, at, speed); });
}

void UnitsSetScrubLoc(int32_t position, int32_t step) {
  EveryUnit([position, step](const UnitOps& ops, UnitHandle h) { return ops.setScrubLoc(h, position, step); });
}

// The loop (kind 1) runs between the locators; the punch range (kind 2) too,
// the pre-roll before it and the post-roll after it being the transport's.
// A range that passes the end of the time line cannot loop (343, with a
// unit to tell); an empty one is sent switched off.
void UnitsSetLoop(int kind, int on, int flag) {
  int units = 0;
  EveryUnit([&units](const UnitOps&, UnitHandle) { return ++units; });
  if (units == 0) return;
  const int32_t start = Locs().LeftLoc;
  const int32_t end = Locs().RightLoc;
  if (on && end >= kLoopLimit) {
    MessageBoxById(nullptr, kMsgLoopStack, kMbWarnOk);
    on = 0;
  }
  if (end <= start) on = 0;
  const UnitLoopWords w = UnitLoopWordsFor(kind, on, start, end, flag);
  EveryUnit([&w](const UnitOps& ops, UnitHandle h) { return ops.setLoop(h, w.word); });
}

void UnitsSetPlayRecEndLoc(int32_t end) {
  EveryUnit([end](const UnitOps& ops, UnitHandle h) { return ops.setPlayRecEndLoc(h, end); });
}

// Scrubbing: every unit, idle first, takes the scrub start as its scrub
// position and prepares its buffers from it; the range's end is where the
// transport's play end lies. Then each starts; the mode's sync part is the
// transport's (its scrub sync mode is set before).
void UnitsPrepScrubBufs(int32_t from, int32_t to) {
  EveryUnit([from, to](const UnitOps& ops, UnitHandle h) {
    return ops.waitIdle(h) && ops.setPlayRecEndLoc(h, to) && ops.setScrubLoc(h, from, 0) &&
           ops.prepScrubBufs(h);
  });
}

void UnitsStartScrub(int) {
  EveryUnit([](const UnitOps& ops, UnitHandle h) { return ops.startScrub(h); });
}
