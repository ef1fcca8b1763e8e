#include "mixer/shell/chanset.h"

#include <cstring>

#include "mixer/model/util/speaker.h"

namespace {

constexpr uint32_t kAudio = 3;

struct Split {
  int32_t stemEnd;
  int32_t channel;
  char suffix[kSpeakerSuffixSize];
};

bool SplitName(const char* name, Split* s) {
  int32_t suffixEnd = 0;
  if (!SplitSpeakerSuffix(name, s->suffix, sizeof s->suffix, &s->stemEnd, &suffixEnd, &s->channel))
    return false;
  return s->channel >= 0 && s->channel < kSpeakerSuffixCount;
}

// Named suffixes are one style; numbered ones (" 1_8") are of one style per
// channel count, the text after the '_'.
bool SameStyle(const Split& a, const Split& b) {
  const bool an = a.channel >= kSpeakerFirstNumbered, bn = b.channel >= kSpeakerFirstNumbered;
  if (an != bn) return false;
  if (!an) return true;
  const char* ua = std::strchr(a.suffix, '_');
  const char* ub = std::strchr(b.suffix, '_');
  return ua && ub && std::strcmp(ua, ub) == 0;
}

}  // namespace

int ChanSetFind(const ChanSetTake& take, const ChanSetTake* candidates, int count, int mode,
                const void* out[17], int32_t* stemLength) {
  Split own{};
  out[0] = take.take;
  if (stemLength) *stemLength = static_cast<int32_t>(std::strlen(take.name));
  if (take.kind != kAudio || !SplitName(take.name, &own)) return 1;
  if (stemLength) *stemLength = own.stemEnd;
  const void* slots[kSpeakerSuffixCount] = {};
  slots[own.channel] = take.take;
  uint32_t found = 1u << own.channel;
  for (int i = 0; i < count; ++i) {
    const ChanSetTake& c = candidates[i];
    if (c.take == take.take || c.kind != kAudio) continue;
    if (mode < 0 || mode > 2 || (mode < 2 && !c.inUse[mode])) continue;
    if (c.length != take.length || c.rate != take.rate || c.format != take.format) continue;
    Split cs{};
    if (!SplitName(c.name, &cs) || cs.stemEnd != own.stemEnd || !SameStyle(cs, own)) continue;
    if (std::strncmp(c.name, take.name, static_cast<size_t>(own.stemEnd)) != 0) continue;
    if (slots[cs.channel]) continue;
    slots[cs.channel] = c.take;
    found |= 1u << cs.channel;
  }
  for (const ChannelLayout& row : kChannelLayouts) {
    if ((row.mask & ~found) != 0 || !(row.mask & (1u << own.channel))) continue;
    int n = 0;
    for (int ch = 0; ch < kSpeakerSuffixCount; ++ch)
      if (row.mask & (1u << ch)) out[n++] = slots[ch];
    return row.count;
  }
  out[0] = take.take;
  return 1;
}

