// The arrange window's solo play and scrub states, as the timer reads them,
// in an object of their own: a test that links the real arrange window
// takes its states instead.
#include "startup_fake.h"

#include "mixer/arrange/services.h"

int ArrSoloPlaying() { return Startup().soloPlaying; }
int ArrScrubbing() { return Startup().scrubbing; }
int ArrSoloPlayState() { return Startup().soloPlayState; }
