// Options of the main frame read by the timer procedure and the message
// loop: on/off words holding 0 or 1, and numbers.
#pragma once

#include <cstdint>

extern int32_t AutoSave;            // minutes between automatic saves, 0 off
extern int32_t WindFast;            // rewind and fast forward at about 83x, else 20x
extern int32_t PlayTillNxtMrk;      // play stops at the end of the range
extern int32_t SyncInAutoPlayStop;  // incoming time code starts and stops play
extern int32_t SlvMtcPrepDurat;     // milliseconds of chase preparation
extern int32_t IgnoreExtSRate;      // the external rate is not adopted
extern int32_t KeepWvFrmFiles;
extern int32_t VSyncedMClk;         // the master clock follows video
extern int32_t SyncInTrigOnly;      // incoming time code only triggers
extern int32_t ConsoleEnable;       // the control surface is linked
extern int32_t DetMixElemChanges;   // element changes count as mix changes
extern int32_t SyncOut;             // sync outputs, bit k = item 40506 + k
// The sync configuration the units are sent: drop-out samples, the burnt-in
// time code position, the quarter-frame choice and the VITC decoder set-up.
extern int32_t SyncInDropOut;
extern int32_t SyncOutBITCPos;
extern int32_t SyncInMTCQF48;
extern int32_t SyncInVITCDec[5];
