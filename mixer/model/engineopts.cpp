#include "mixer/model/engineopts.h"

#include "mixer/units/services.h"

int32_t AudBufSize() { return EngineSmallBufFlag() ? kAudBufSmall : kAudBufLarge; }

int32_t RecPartSpan() { return kRecPartSpan; }
