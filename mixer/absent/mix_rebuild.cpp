// No mixer: there are no automation play maps to build.
#include "mixer/mix/services.h"

void MxaRefreshAfterEdit(ArrRec*, MixDoc*, int32_t) {}
