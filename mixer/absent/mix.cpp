// No mixer: no document, no element modules.
#include "mixer/mix/services.h"

MixDoc* CurMixDoc() { return nullptr; }
void MixReallocDsp() {}
void MixSendTrkColors() {}
void MixGreyUnavailableIo() {}
void MixUpdateMainCaption() {}
void MixSendTempoToElems() {}
void MixSendTrkRecReady(MixDoc*, int) {}
int MixStereoPartnerTrk(MixDoc*, int) { return 0; }
void MxaSetNowLoc(int32_t) {}
void MxaSetRecordMode(uint32_t, uint32_t) {}
void MxaStoreSetting(uint32_t) {}
int MxaFreeTake(uint32_t) { return 1; }
