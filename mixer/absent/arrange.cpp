// No arrange window: nothing to redraw or scroll, no record pass.
#include "mixer/arrange/services.h"

int ArrIsDraggingRange() { return 0; }
int ArrFindRecTrkGroup(int, int, int*) { return -1; }
int ArrCountRecTrks(int, int) { return 1; }
void ArrRedrawRecTrkHeaders(int, int) {}
void ArrTrimRecordParts(int32_t, const int*, int, const int*, int, const int*, int) {}
int ArrRecordLoopTakes(int32_t, const int*, int, const int*, int, const int*, int) { return 0; }
int32_t ArrRecordStartLoc() { return 0; }
