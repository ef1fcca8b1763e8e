#include "mixer/arrange/recchan.h"

int32_t RecMemberTrack(int32_t firstTrack, int32_t member) {
  if (firstTrack < 1 || firstTrack > kRecTrackCount || member < 0) return 0;
  const int64_t slot = (int64_t{firstTrack} - 1 + int64_t{kRecMemberStep} * member) % kRecTrackCount;
  return static_cast<int32_t>(slot + 1);
}

int32_t RecPlayChannel(int32_t recordTrack, int32_t pass) {
  if (recordTrack < 1 || recordTrack > kRecTrackCount || pass < 0 || pass > kRecMaxPass) return 0;
  return -(recordTrack + kRecTrackCount * pass);
}

int32_t RecChannelTrack(int32_t channel) {
  if (channel >= 0) return 0;
  const int64_t m = -int64_t{channel};
  return static_cast<int32_t>((m - 1) % kRecTrackCount + 1);
}

int32_t RecChannelPass(int32_t channel) {
  if (channel >= 0) return -1;
  const int64_t m = -int64_t{channel};
  return static_cast<int32_t>((m - 1) / kRecTrackCount);
}
