#include "solo.h"

#include <algorithm>

#include "editpriv.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/editseams.h"
#include "mixer/arrange/partlink.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/timecode.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"
#include "mixer/units/solo.h"

using arredit::End;

int32_t ArrScrubState = 0;
int32_t ArrScrubPressX = 0;

namespace {

constexpr int32_t kAudioChannels = 192;
constexpr int32_t kMidiChannels = 128;
constexpr int32_t kNoMidiChannel = 129;
constexpr int32_t kAutoMuteMode = 40896;
constexpr uint32_t kScrubModePlain = 40875;

bool ValidAudio(int32_t ch) { return ch >= 1 && ch <= kAudioChannels; }
bool ValidMidi(int32_t ch) { return ch >= 1 && ch <= kMidiChannels; }

// Steps shared by solo play and scrub of one Part: the selection, the units
// stopped and silenced, and the play lists of the Part alone from `from`:
// an Audio Part's channel-link group, or the MIDI lists of any other kind.
bool PrepareSolo(DcHandle dc, const PartRec& part, uint32_t slot, uint32_t track, int32_t from) {
  if (!KeepSel) ArrClearSelection(CurArr, dc, 1);
  UnitsStop();
  SoloSilenceAll();
  const bool multiOut = EditMultiOutMode == kAutoMuteMode;
  if (part.TakeKind == kTakeAudio) {
    const auto group = arredit::LinkGroup(CurArr, slot);
    const int32_t members = static_cast<int32_t>(group.size());
    // Members without a channel of their own take a run of channels that
    // must end at 192.
    int32_t next = std::clamp(GetMutedSoloAudOut(), 1, std::max(1, kAudioChannels + 1 - members));
    for (const auto& m : group) {
      const int32_t ch = ArrPart(CurArr, m.second)->PlayChannel;
      const bool valid = ValidAudio(ch);
      const int32_t engine = valid ? ch : next++;
      const int32_t filter = valid && multiOut ? -1 : static_cast<int32_t>(m.first);
      if (!SoloCompileTrack(CurArr, engine, from, ch, filter)) {
        // Nothing starts: the normal play lists come back in place of the
        // silenced ones.
        arredit::RebuildPlay();
        return false;
      }
    }
    SoloBuildMidi(CurArr, kNoMidiChannel, -1);
  } else if (ValidMidi(part.PlayChannel)) {
    SoloBuildMidi(CurArr, part.PlayChannel, multiOut ? -1 : static_cast<int32_t>(track));
  } else {
    SoloBuildMidi(CurArr, std::clamp(GetMutedSoloMidiOut(), 1, kMidiChannels),
                  static_cast<int32_t>(track));
  }
  return true;
}

// Starts scrubbing from the prepared play lists and keeps the state and the
// press for the scrub drag.
int StartScrub(int32_t position, int x) {
  int mode = 0;
  ArrScrubState = 1;
  if (GetScrubMode() == kScrubModePlain || GetScrubWind()) {
    mode = NinePinIsLockMode() ? 2 : 1;
    ArrScrubState = 4;
  }
  TransportStartScrub(position, mode);
  ArrScrubPressX = x;
  return 1;
}

}  // namespace

SoloSpan ArrSoloSpanAt(int32_t position, int64_t start, int64_t end, int64_t snap, int32_t left,
                       int32_t right) {
  int64_t s = start, e = end;
  for (const int64_t c : {snap, int64_t{left}, int64_t{right}}) {
    if (c > position && c < end) e = std::min(e, c);
    if (c > start && c < position) s = std::max(s, c);
  }
  if (position - s > e - position) s = position;
  return {arrlist::Clamp32(s, 0, INT32_MAX), arrlist::Clamp32(e, 0, INT32_MAX)};
}

int ArrSoloPart(DcHandle dc, int32_t part, uint32_t track, int32_t position) {
  const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (p == nullptr) return 0;
  const int32_t from = std::max(position, 0);
  if (!PrepareSolo(dc, *p, static_cast<uint32_t>(part), track, from)) return 0;
  TransportStartSolo(from, EndOfTime);
  return 1;
}

int ArrSoloPartSpan(int32_t position, DcHandle dc, int32_t part, uint32_t track) {
  const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (p == nullptr || (p->TakeKind != kTakeAudio && p->TakeKind != kTakeMidi)) return 0;
  const SoloSpan span = ArrSoloSpanAt(position, p->Start, End(*p), int64_t{p->Start} + p->SnapPoint,
                                      Locs().LeftLoc, Locs().RightLoc);
  if (!PrepareSolo(dc, *p, static_cast<uint32_t>(part), track, span.Start)) return 0;
  TransportStartSolo(span.Start, span.End);
  return 1;
}

int ArrSoloScrub(DcHandle dc, uint32_t track, int x, int, int32_t part, int32_t position) {
  const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (p == nullptr) return 0;
  ArrEditWnd().ShowCursor(ArrEditWnd().ToolCursor(kToolSoloScrub, 0));
  const int32_t from = std::clamp(position, 0, kArrScrubMaxLoc);
  if (!PrepareSolo(dc, *p, static_cast<uint32_t>(part), track, from)) return 0;
  return StartScrub(from, x);
}

int ArrScrubAll(DcHandle dc, int32_t position, int x, int) {
  const int32_t from = std::clamp(position, 0, kArrScrubMaxLoc);
  ArrEditWnd().ShowCursor(ArrEditWnd().ToolCursor(kToolScrubAll, 0));
  if (!KeepSel) ArrClearSelection(CurArr, dc, 1);
  UnitsStop();
  SoloSilenceAll();
  RebuildAllPlayLists(CurArr, from, 0);
  return StartScrub(from, x);
}
