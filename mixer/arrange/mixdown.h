// Mixdown: the range between the locators is played through a temporary
// mixer and the chosen mixer output recorded into new Takes on free record
// tracks, laid as new Parts on consecutive Virtual Tracks.
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"

// What mixdown asks of the mixer and the transport.
struct MixdownSeams {
  // The routing menu: the chosen output's routing code (negative: none) and
  // its channel count.
  int32_t (*pickOutput)(int32_t* channels) = nullptr;
  // The stereo partner record track of a record track, 0 when none.
  int32_t (*stereoPartner)(int32_t recTrack) = nullptr;
  // The output's path delay in samples.
  int32_t (*pathDelay)(int32_t output) = nullptr;
  // Plays [preRoll, end) through the mixdown mixer, recording `output` onto
  // the record tracks (n of them); IDOK, or IDCANCEL when cancelled or the
  // mixer's check fails. The mixer is restored before it returns.
  int (*run)(int32_t output, const int32_t* recTracks, int32_t n, int32_t preRoll, int32_t end) = nullptr;
  // The local time text that follows "Mixdown" and a blank in the new
  // Takes' names when ProcOpts().appendLocalTime is set.
  int (*localTimeStamp)(char* out, int size) = nullptr;
};
void MixdownSetSeams(const MixdownSeams& seams);

// Tool 15 clicked at `position`, laying the Parts from Virtual Track
// `firstTrack` (0-based); 1 when done.
int ArrMixdown(int32_t position, DcHandle dc, uint32_t firstTrack);
