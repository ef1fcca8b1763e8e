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
