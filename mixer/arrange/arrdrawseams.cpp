#include "mixer/arrange/arrdrawseams.h"

namespace {
ArrDrawSeams g_seams;
}

void ArrSetDrawSeams(const ArrDrawSeams& seams) { g_seams = seams; }
const ArrDrawSeams& ArrDrawSeamsNow() { return g_seams; }
