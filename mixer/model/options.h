// Program options read by the model's services: on/off words holding 0 or 1.
#pragma once

#include <cstdint>

// The arrange view scrolls continuously with the current position.
extern int32_t AutoScrollArrWnd;
// Every key goes to the active mixer element window instead of the
// program's accelerators.
extern int32_t AllKeyInpToMixElem;
// Command-line switch -O: a Take's sample-transfer handle stays open between
// transfers instead of being opened and closed for each.
extern int32_t KeepTakesOpen;
// After an edit every touched Part's selected bit takes this value.
extern int32_t KeepSel;
// Menu command ids of the chosen item: 40892 Parts of one track may not
// overlap on one layer, 40893 no such check.
extern int32_t EditOverlapMode;
// 40896 Parts of one kind that overlap on the same play channel on other
// tracks are muted automatically, 40897 they are not.
extern int32_t EditMultiOutMode;
// Play lists of the units get short fades at every Take boundary.
extern int32_t Deglitch;
// A Part moved to another track takes that track's record track as its play
// channel.
extern int32_t AdoptVtrkOutput;
