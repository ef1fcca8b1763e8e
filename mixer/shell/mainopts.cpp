#include "mixer/shell/mainopts.h"

int32_t AutoSave = 2;
int32_t WindFast = 0;
int32_t PlayTillNxtMrk = 0;
int32_t SyncInAutoPlayStop = 0;
int32_t SlvMtcPrepDurat = 2500;
int32_t IgnoreExtSRate = 0;
int32_t KeepWvFrmFiles = 1;
int32_t VSyncedMClk = 0;
int32_t ConsoleEnable = 0;
int32_t SyncInTrigOnly = 0;
int32_t DetMixElemChanges = 1;
int32_t SyncOut = 0;
int32_t SyncInDropOut = 30000;
int32_t SyncOutBITCPos = 1;
int32_t SyncInMTCQF48 = 0;
int32_t SyncInVITCDec[5] = {0, 8, 0, 10, 0};
