// Recording stand-in for solo play, scrub and the crossfade audition's
// transport: every call is logged (FakeLog), queries answer from the
// services fake.
#include "mixer/units/playlist.h"
#include "mixer/units/solo.h"
#include "tests/fakes/services_fake.h"

void SoloSilenceAll() { FakeLog("SoloSilenceAll()"); }
int SoloCompileTrack(const ArrRec*, int32_t engineTrack, int32_t from, int32_t playChannel,
                     int32_t track) {
  FakeLog("SoloCompileTrack(%d, %d, %d, %d)", engineTrack, from, playChannel, track);
  return Services().soloCompiles;
}
void SoloBuildMidi(const ArrRec*, int32_t channel, int32_t track) {
  FakeLog("SoloBuildMidi(%d, %d)", channel, track);
}
void RebuildAllPlayLists(ArrRec*, int32_t position, int flag) {
  FakeLog("RebuildAllPlayLists(%d, %d)", position, flag);
}
void TransportStartSolo(int32_t start, int32_t end) { FakeLog("TransportStartSolo(%d, %d)", start, end); }
void TransportStartScrub(int32_t position, int mode) {
  FakeLog("TransportStartScrub(%d, %d)", position, mode);
}
int NinePinIsLockMode() { return Services().ninePinLock; }
int TransportStartAudition(int32_t from, int32_t to) {
  FakeLog("TransportStartAudition(%d, %d)", from, to);
  return Services().auditionStarts;
}
void TransportStopAudition() { FakeLog("TransportStopAudition()"); }
int SoloPlayTakeList(int32_t engineTrack, uint32_t n, const PlayTakeEntry* entries) {
  FakeLog("SoloPlayTakeList(%d, %u)", engineTrack, n);
  for (uint32_t i = 0; i < n; ++i)
    FakeLog("  entry(%u, %u, %u)", entries[i].Take, entries[i].Offset, entries[i].Length);
  return 1;
}
