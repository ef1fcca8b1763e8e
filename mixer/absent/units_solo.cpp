// No transport yet: solo play, scrub and the crossfade audition start
// nothing.
#include "mixer/units/solo.h"

void SoloSilenceAll() {}
int SoloCompileTrack(const ArrRec*, int32_t, int32_t, int32_t, int32_t) { return 1; }
void SoloBuildMidi(const ArrRec*, int32_t, int32_t) {}
void RebuildAllPlayLists(ArrRec*, int32_t, int) {}
void TransportStartSolo(int32_t, int32_t) {}
void TransportStartScrub(int32_t, int) {}
int NinePinIsLockMode() { return 0; }
int TransportStartAudition(int32_t, int32_t) { return 0; }
void TransportStopAudition() {}
