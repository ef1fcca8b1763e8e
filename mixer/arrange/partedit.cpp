#include "partedit.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "mixer/model/arrlist.h"
#include "mixer/model/take.h"

namespace {

constexpr uint32_t kMaxGain = 65536;
constexpr int32_t kAudioChannels = 192;
constexpr int32_t kOtherChannels = 128;

int32_t GainArg(uint32_t gain) { return static_cast<int32_t>(std::min(gain, kMaxGain)); }

// 1..192 for Audio, 1..128 for Automation and Midi; muted (193..) and
// recording (negative) channels play on no channel.
bool HasValidChannel(const PartRec& part) {
  const int32_t top = part.TakeKind == kTakeAudio ? kAudioChannels : kOtherChannels;
  return part.PlayChannel >= 1 && part.PlayChannel <= top;
}

struct ChanSpan {
  uint16_t Kind;
  int32_t Channel;
  int64_t Start;
  int64_t End;
  uint32_t Track;
};

// Sweep over spans of one kind and channel in start order. The two latest
// ends seen so far on different tracks are enough: a span overlaps an
// earlier span of another track exactly when it starts before the latest
// end that lies on a track other than its own.
bool SweepHasOverlap(const std::vector<ChanSpan>& spans, size_t from, size_t to) {
  int64_t end1 = INT64_MIN, end2 = INT64_MIN;  // end1 on track1, end2 on another track
  uint32_t track1 = kArrNoSlot;
  for (size_t i = from; i < to; ++i) {
    const ChanSpan& s = spans[i];
    const int64_t latestElsewhere = s.Track != track1 ? end1 : end2;
    if (s.Start < latestElsewhere) return true;
    if (s.Track == track1) {
      end1 = std::max(end1, s.End);
    } else if (s.End > end1) {
      end2 = end1;
      end1 = s.End;
      track1 = s.Track;
    } else {
      end2 = std::max(end2, s.End);
    }
  }
  return false;
}

}  // namespace

uint32_t ArrPartGainAt(int32_t offset, const PartRec& part) {
  if (part.TakeKind != kTakeAudio) return 0;
  const int32_t gain = FadeCurveValue(offset, part.FadeCurve, GainArg(part.GainStart),
                                      GainArg(part.GainEnd), part.Length);
  return static_cast<uint32_t>(std::clamp<int32_t>(gain, 0, kMaxGain));
}

int ArrHasPlayChanOverlap(const ArrRec* arr) {
  std::vector<ChanSpan> spans;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t, const PartRec& part) {
    if (HasValidChannel(part) && part.Length > 0)
      spans.push_back({part.TakeKind, part.PlayChannel, part.Start, arrlist::End64(part), track});
  });
  auto key = [](const ChanSpan& s) { return std::tie(s.Kind, s.Channel, s.Start); };
  std::sort(spans.begin(), spans.end(),
            [&](const ChanSpan& a, const ChanSpan& b) { return key(a) < key(b); });
  for (size_t from = 0; from < spans.size();) {
    size_t to = from;
    while (to < spans.size() && spans[to].Kind == spans[from].Kind &&
           spans[to].Channel == spans[from].Channel)
      ++to;
    if (SweepHasOverlap(spans, from, to)) return 1;
    from = to;
  }
  return 0;
}
