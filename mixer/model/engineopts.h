// Option getters of the play/record engine.
#pragma once

#include <cstdint>

// IsSeamlessLoopOn, the third engine option, reads the project settings and
// lives beside them.
#include "mixer/model/settings.h"

// Audio buffer sizes of the engine, in samples per track.
constexpr int32_t kAudBufSmall = 0x20000;
constexpr int32_t kAudBufLarge = 0x40000;

// The engine's buffer size right now: kAudBufSmall while its small-buffer
// flag is set, else kAudBufLarge.
int32_t AudBufSize();

// The span in samples given to a Part of a running multi-pass recording:
// play-list compilation extends such a Part's end by it, as the Part's real
// length is known only when the pass ends.
constexpr int32_t kRecPartSpan = 193986;
int32_t RecPartSpan();
