// No arrange window: nothing to redraw or scroll, no record pass.
#include "mixer/arrange/services.h"

int ArrIsDraggingRange() { return 0; }
void ArrTrimRecordParts(int32_t, const int*, int, const int*, int, const int*, int) {}
int ArrRecordLoopTakes(int32_t, const int*, int, const int*, int, const int*, int) { return 0; }
int32_t ArrRecordStartLoc() { return 0; }
