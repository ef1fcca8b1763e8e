// The layer bound to the recorder linked into the same program, and the
// gate-on list's block on the layer's heap: the portable build.
#include "native/qvNatDev/natdev.h"
#include "native/qvNatDev/natseg.h"

namespace {

const NatRecApi kStatic = {
    OpenRecorder, CloseRecorder, RecorderSetDisk0List, RecorderSetDisk1List, RecorderSetFade0List,
    RecorderSetFade1List, RecorderSetDiskRList, RecorderSetFadeCurvTable, RecorderGetStatus,
    RecorderWaitUntilIdle, RecorderGetDiskErrorStat, RecorderGetCloc, RecorderGetExpandedCloc,
    RecorderGetAudioBufMinimum, RecorderGetAudioRecTfrLocs, RecorderGetPlayListState,
    RecorderSetAudTrkCfg, RecorderSetTimeCodeStatics, RecorderSetPlayRecEndLoc,
    RecorderSetSeamlessLoopParams, RecorderPrepAudPlayBufs, RecorderStartPlayRec, RecorderStop,
    RecorderSetScrubParam, RecorderPrepScrubBufs, RecorderStartScrub, RecorderSetAsyncHoldLoc,
    RecorderNORMProcess, RecorderREMDCProcess, RecorderRenderProcess, RecorderNoiseGateScan,
    RecorderGetMaxPeak, RecorderGetNoiseGateOnList, RecorderTimeCodeSlaveArmPlayRec,
};

}  // namespace

const NatRecApi* NatRec() { return &kStatic; }

void* NatGlobalAlloc(uint32_t bytes) { return NatHeapAlloc(bytes); }
int32_t* NatGlobalLock(void* block) { return static_cast<int32_t*>(block); }
void NatGlobalUnlock(void*) {}
void NatGlobalFree(void* block) { NatHeapFree(block); }
