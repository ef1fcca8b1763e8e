// No sync, cards, 9-pin or video yet: their settings go nowhere.
#include "mixer/units/services.h"

void UnitsSetSampleRate(int, uint32_t, int32_t, int) {}
int UnitsSetSync() { return 1; }
void CardsSyncCommand(uint32_t, uint32_t, int32_t, uint32_t, uint32_t, uint32_t) {}
void TransportSetRecLimit(uint32_t) {}
void NinePinSetTimecodeFormat(uint32_t) {}
void NinePinSetMachineFlags(uint32_t, uint32_t) {}
void NinePinTransportEvent(int, int32_t) {}
void NinePinTrackReady(int) {}
void VideoSetSampleRate(uint32_t) {}
void VideoSetOffset(uint32_t) {}
void VideoSetScrubLoc(int32_t) {}
void VideoPrepPlay(int32_t) {}
int UnitAboutTexts(int, char*, int, char*, int) { return 0; }
int EngineSmallBufFlag() { return 0; }
