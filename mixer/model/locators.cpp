// SetLocator: the one writer of the now position and the left and right
// locators.
#include <cstdint>

#include "logs/services.h"
#include "mixer/arrange/services.h"
#include "mixer/mix/services.h"
#include "mixer/model/settings.h"
#include "mixer/model/timecode.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"

namespace {

// Locator numbers of the console and 9-pin notices.
constexpr int kEventNow = 0;
constexpr int kEventLeft = 1;
constexpr int kEventRight = 2;

void ShowNow() {
  TransportShowNowBars();
  TransportShowNowTimecode();
}

// The now position as the running transport reports it: displays only.
void FollowNow(int32_t position) {
  Locs().NowLoc = position;
  VideoSetScrubLoc(position);
  NinePinTransportEvent(kEventNow, position);
  ShowNow();
}

// A locate of the stopped transport: units, cards, engines and links move.
void LocateNow(int32_t position) {
  const ProjectSettings& s = Settings();
  Locs().NowLoc = position;
  ShowNow();
  UnitsLocate(position);
  RefreshPlayLists(position);
  CardsSyncCommand(s.SampleRate, s.SyncSource, position, s.TcOffset, 0, 0);
  UnitsPrepPlayBufs(position);
  VideoPrepPlay(position);
  MxaSetNowLoc(position);
  QVMIV_PrepPlayBufs(position);
  NinePinTransportEvent(kEventNow, position);
}

// Left (event 1) or right (event 2) locator.
void SetRangeEnd(int event, int32_t position, bool prime) {
  if (event == kEventLeft) {
    Locs().LeftLoc = position;
    TransportShowLeftLoc();
  } else {
    Locs().RightLoc = position;
    TransportShowRightLoc();
  }
  ConsoleNotifyLocator(event, position);
  NinePinTransportEvent(event, position);
  if (!ArrIsDraggingRange()) {
    const int on = (Settings().PlayRecMode & kModeLoop) ? 1 : 0;
    UnitsSetLoop(1, on, 0);
    MidiSetLoop(on ? 1 : 0, 0);
    if (prime && IsSeamlessLoopOn() && TransportState() == kTransportStopped) {
      UnitsPrepPlayBufs(Locs().NowLoc);
      QVMIV_PrepPlayBufs(Locs().NowLoc);
    }
  }
  TransportUpdateEndLoc();
  ArrChangeCountRaise();
}

bool Refused(int32_t index, int32_t position) {
  if (index < kLocNowView || index > kLocRightPrime) return true;
  if (position < 0 || position > kMaxSettableLoc) return true;
  const int state = TransportState();
  if (index == kLocNowLocate) return state != kTransportStopped;
  if (index >= kLocLeft) return state == kTransportRecording;
  return false;
}

}  // namespace

int SetLocator(int32_t index, int32_t position) {
  if (Refused(index, position)) return 0;
  switch (index) {
    case kLocNowView: FollowNow(position); break;
    case kLocNowLocate: LocateNow(position); break;
    case kLocLeft:
    case kLocLeftPrime: SetRangeEnd(kEventLeft, position, index == kLocLeftPrime); break;
    default: SetRangeEnd(kEventRight, position, index == kLocRightPrime); break;
  }
  return 1;
}
