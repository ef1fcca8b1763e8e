// The mixer services the model calls while editing and playing.
#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixhost.h"
#include "mixer/mix/services.h"
#include "mixer/mix/win32/mixwin.h"
#include "mixer/model/settings.h"

MixDoc* CurMixDoc() { return MixCurrentDoc(); }
void MixReallocDsp() { MixSetDspState(MixHostGet().DspAllocate(MixCurrentDoc()) ? 1 : 2); }
// The element windows that show track colours and unavailable I/O are not
// built yet.
void MixSendTrkColors() {}
void MixGreyUnavailableIo() {}
void MixUpdateMainCaption() {}
void MixSendTempoToElems() {
  const uint32_t meter[2] = {Settings().MeterNum, Settings().MeterDen};
  MixDocSendTempo(MixCurrentDoc(), Settings().Tempo, meter);
}
// The native recorder elements that take the record state are not among
// the modules yet.
void MixSendTrkRecReady(MixDoc*, int) {}
int MixStereoPartnerTrk(MixDoc* mixer, int recTrack) { return MixDocStereoPartner(mixer, recTrack); }
void MxaSetNowLoc(int32_t position) {
  MixProgramSetUp();
  MxaSetNowLocValue(position);
}
void MxaSetRecordMode(uint32_t mode, uint32_t flags) {
  MixProgramSetUp();
  MxaSetRecordModeValue(mode, flags);
}
void MxaStoreSetting(uint32_t value) { MxaStoreSettingValue(value); }
int MxaFreeTake(uint32_t log) {
  MixProgramSetUp();
  if (MxaTake* take = MxaTakeByLog(log)) return MxaFreeTakeRec(take);
  if (log) MixAutLibGet().DeleteLog(log);
  return 1;
}
