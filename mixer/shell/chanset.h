// The multichannel set a mono Audio Take belongs to: the Takes of the same
// folder whose names differ only in their channel suffix (" L", " R", ...,
// " 1_8" ...) and whose length, rate and format agree.
#pragma once

#include <cstdint>

struct TakeRec;

// One Take as the finder compares it.
struct ChanSetTake {
  const void* take;
  const char* name;  // file name without folder and extension
  uint32_t kind;
  int32_t length;
  uint32_t rate;
  uint32_t format;
  int inUse[2];      // the two in-use tests of modes 0 and 1
};

// Fills out[17] with the set's Takes in channel order and returns their
// count; 1 with the Take alone when it belongs to no set. *stemLength
// (may be null) receives the length of the name without its suffix.
int ChanSetFind(const ChanSetTake& take, const ChanSetTake* candidates, int count, int mode,
                const void* out[17], int32_t* stemLength);

// The same over the Takes of the Take's folder.
int TakeFindChannelSet(TakeRec* out[17], TakeRec* take, int mode, int32_t* stemLength);
