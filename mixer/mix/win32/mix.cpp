// The mixer services the model calls while editing and playing.
#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/mixhost.h"
#include "mixer/mix/services.h"
#include "mixer/mix/win32/mixwin.h"
#include "mixer/model/settings.h"

MixDoc* CurMixDoc() { return MixCurrentDoc(); }
void MixReallocDsp() {
  MixProgramSetUp();
  MixSetDspState(MixerDspAllocate(MixCurrentDoc()) ? 1 : 2);
}
void MixSendTrkColors() { MixDocSendTrkColors(MixCurrentDoc()); }
void MixGreyUnavailableIo() { MixDocGreyUnavailableIo(MixCurrentDoc()); }
// No mixer window exists whose title the caption could show.
void MixUpdateMainCaption() {}
void MixSendTempoToElems() {
  const uint32_t meter[2] = {Settings().MeterNum, Settings().MeterDen};
  MixDocSendTempo(MixCurrentDoc(), Settings().Tempo, meter);
}
void MixSendTrkRecReady(MixDoc* mixer, int recTrack) {
  MixProgramSetUp();
  MixDocSendTrkRecReady(mixer, recTrack);
}
void MixSetTrkRecState(int state, int hold, int release) {
  MixProgramSetUp();
  if (MixSetTrkRecStateValue(state, hold, release)) MixDocSendTrkRecReady(MixCurrentDoc(), 0);
}
int MixHasNatRecElem() { return MixDocHasNatRecElem(MixCurrentDoc()); }
void MixRecColumnName(MixDoc* mixer, int recTrack, char* buffer, int size) {
  MixDocRecColumnName(mixer, recTrack, buffer, size);
}
int MixStereoPartnerTrk(MixDoc* mixer, int recTrack) { return MixDocStereoPartner(mixer, recTrack); }
void MixSyncRecTrkAssign() {
  MixDoc* doc = MixCurrentDoc();
  if (doc == nullptr) return;
  MixDocSendTrkColors(doc);
  MixDocSendTrkRecReady(doc, 0);
}
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
uint32_t MxaTakeLog(TakeRec* take) {
  MixProgramSetUp();
  const MxaTake* t = MxaReadTake(take);
  return t ? t->Log : 0;
}
int MxaCopyTakeRange(TakeRec* destination, TakeRec* source, int32_t from, int32_t to, int32_t filter,
                     uint32_t amount) {
  MixProgramSetUp();
  if (from < 0 || to < from) return 0;
  return MxaCopyTakeRangeOf(destination, source, static_cast<uint32_t>(from), static_cast<uint32_t>(to), filter,
                            amount);
}
