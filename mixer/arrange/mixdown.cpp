#include "mixer/arrange/mixdown.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/genwave.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partspan.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/proclist.h"
#include "mixer/arrange/recchan.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/arr.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/timecode.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/fileio.h"
#include "mixer/model/util/speaker.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"

namespace {

constexpr uint32_t kIdsNoFolder = 178;
constexpr uint32_t kIdsPartsCannotOverlap = 187;
constexpr uint32_t kIdsOutOfTracks = 227;
constexpr uint32_t kIdsNoRecordTracks = 310;
constexpr uint32_t kIdsMixdownName = 620;
constexpr uint32_t kUndoMixdown = 120;
constexpr uint32_t kMixdownCreatorCode = 1000;
constexpr int32_t kMixdownRecTracks = 128;

MixdownSeams g_seams;

}  // namespace

void MixdownSetSeams(const MixdownSeams& seams) { g_seams = seams; }

int ArrMixdown(int32_t position, DcHandle dc, uint32_t firstTrack) {
  if (ArrOfflineRunActive()) return 0;
  ArrClearSelection(CurArr, dc, 1);
  const int32_t left = Locs().LeftLoc, right = Locs().RightLoc;
  if (position < left || position >= right) return 0;
  int32_t n = 0;
  const int32_t output = g_seams.pickOutput ? g_seams.pickOutput(&n) : -1;
  if (output < 0 || n < 1) return 0;
  if (firstTrack + static_cast<uint32_t>(n) > kArrTracks) return arredit::Refuse(kIdsOutOfTracks);

  // Record tracks that Parts in the range play on, and their stereo partners.
  std::set<int32_t> used;
  for (uint32_t t = 0; t < kArrTracks; ++t)
    ArrForEachTrackPart(CurArr, t, [&](uint32_t, const PartRec& p) {
      if (p.TakeKind != kTakeAudio || p.Start >= right || arredit::End(p) <= left) return;
      const int32_t ch = p.PlayChannel < 0 ? RecChannelTrack(p.PlayChannel) : (p.PlayChannel - 1) % 192 + 1;
      if (p.PlayChannel == 0) return;
      used.insert(ch);
      if (g_seams.stereoPartner)
        if (int32_t partner = g_seams.stereoPartner(ch)) used.insert(partner);
    });
  const int32_t delay = std::max(g_seams.pathDelay ? g_seams.pathDelay(output) : 0, 0);
  std::vector<int32_t> recTracks;
  for (int32_t r = 1; r <= kMixdownRecTracks && static_cast<int32_t>(recTracks.size()) < n; ++r)
    if (!used.count(r)) recTracks.push_back(r);
  if (static_cast<int32_t>(recTracks.size()) < n) return arredit::Refuse(kIdsNoRecordTracks);

  const int64_t takeSamples = MixdownTakeSamples(left, right, delay);
  const int32_t end = static_cast<int32_t>(std::min<int64_t>(int64_t{left} + takeSamples, EndOfTime));
  int32_t top = -1;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t t = firstTrack + static_cast<uint32_t>(i);
    bool overlap = false;
    ArrForEachTrackPart(CurArr, t, [&](uint32_t, const PartRec& p) {
      if (p.Start < right && arredit::End(p) > left) overlap = true;
      if (p.Start < end && arredit::End(p) > left) top = std::max<int32_t>(top, p.Layer);
    });
    if (overlap && EditOverlapMode == 40892) return arredit::Refuse(kIdsPartsCannotOverlap);
  }
  uint32_t error = 0;
  if (!ArrReserveParts(&CurArr, static_cast<uint32_t>(n), 1, &error)) return arredit::Refuse(error);
  const ProcOptions& o = ProcOpts();
  if (o.folder.empty() || !FioDirExists(o.folder.c_str())) {
    MessageBoxById(nullptr, kIdsNoFolder, kMbWarnOk, o.folder.c_str());
    return 0;
  }
  if (!arredit::BeginStep(kUndoMixdown)) return 0;

  std::vector<uint32_t> takes, slots;
  auto undoAll = [&]() {
    for (uint32_t t : takes)
      if (TakeRec* r = TakeFromRef(t)) TakeDeleteFile(r);
    UndoApply(0);
    ArrSyncTakeRefs(CurArr, 0);
    arredit::RebuildPlay();
  };
  const uint32_t bps = o.rec24Bit ? 3 : 2;
  for (int32_t i = 0; i < n; ++i) {
    char name[64] = {};
    const char* stem = StrText(kIdsMixdownName);
    char stamp[24] = {};
    if (o.appendLocalTime && g_seams.localTimeStamp) {
      stamp[0] = ' ';
      g_seams.localTimeStamp(stamp + 1, sizeof stamp - 1);
    }
    char suffix[12] = {};
    MakeChannelNames(suffix, sizeof suffix, i, n, 0);
    std::snprintf(name, sizeof name, "%.36s%.14s%.11s", stem && *stem ? stem : "Mixdown", stamp, suffix);
    NewTakeName(o.folder.c_str(), name);
    TakeRec* take = TakeCreateAudio(o.folder.c_str(), bps, static_cast<uint32_t>(takeSamples), kMixdownCreatorCode,
                                    0, 0, 1, name, "", nullptr, nullptr, &error);
    if (take == nullptr) {
      undoAll();
      MessageBoxById(nullptr, error, kMbWarnOk, o.folder.c_str());
      return 0;
    }
    takes.push_back(TakeRef(take));
    PartRec p;
    std::memset(&p, 0, sizeof p);
    StrCopyN(p.Name, name, sizeof p.Name);
    p.Start = left;
    p.Length = static_cast<int32_t>(end - left);
    p.Take = takes.back();
    p.TakeKind = kTakeAudio;
    p.GainStart = p.GainEnd = 32768;
    p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
    p.XfadeInWindow[1] = p.XfadeOutWindow[1] = 255;
    p.Next = kArrNoSlot;
    p.Flags = kPartTempMark | (i < n - 1 ? kPartLinkNext : 0u) | (i >= 1 ? kPartLinkPrev : 0u);
    p.PlayChannel = -recTracks[static_cast<size_t>(i)];
    p.Layer = static_cast<int16_t>(top + 1);
    uint32_t slot = kArrNoSlot;
    if (!ArrInsertPart(&CurArr, p, &slot, firstTrack + static_cast<uint32_t>(i), &error)) {
      undoAll();
      return arredit::Refuse(error);
    }
    slots.push_back(slot);
  }

  // The units start far enough ahead for their stream buffers to fill.
  const int64_t buffers = int64_t{left} - 4 * int64_t{std::max<int32_t>(ProcOpts().streamSmpBufSize, 0)};
  const int32_t preRoll = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(buffers, int64_t{left} - 256)));
  int answer;
  {
    OfflineRunScope running;
    answer = g_seams.run ? g_seams.run(output, recTracks.data(), n, preRoll, end) : kIdCancel;
  }
  if (answer != kIdOk) {
    undoAll();
    return 0;
  }
  for (int32_t i = 0; i < n; ++i) {
    PartRec& p = *ArrPart(CurArr, slots[static_cast<size_t>(i)]);
    p.PlayChannel = recTracks[static_cast<size_t>(i)];
    p.Length = MixdownPartLength(left, right);
    // The path delay is cut off the head of the recording.
    TakeRec* take = TakeFromRef(p.Take);
    const uintptr_t start = TakeGetAttr(take, kTakeAttrDataStart);
    TakeSetAttr(take, kTakeAttrDataStart, start + static_cast<uintptr_t>(delay) * bps, &error);
  }
  ArrSyncTakeRefs(CurArr, 0);
  arredit::Finish(dc);
  if (ProcOpts().autoGenWaveforms) ArrGenTakeWaveforms(dc, 1, 0, 0);
  return 1;
}
