// The ring of Takes in use, rebuilt from an arrangement.
#pragma once

#include "mixer/model/arr.h"

// Empties the Take store's ring of Takes in use and puts into it the Take
// of every Part of every track of `arr` (each once). With `close`, the files
// of Takes that were in the ring before and are no longer in it are closed
// and the Take windows told (TakeRingCloseOthers). Part Take references
// that name no open Take are passed over.
void ArrSyncTakeRefs(const ArrRec* arr, int close);
