// After an arrangement edit: the automation play maps and position.
#include "mixer/mix/mixaut.h"
#include "mixer/mix/services.h"

void MxaRefreshAfterEdit(ArrRec*, MixDoc* mixer, int32_t position) { MxaRefreshAfterEditDoc(mixer, position); }
