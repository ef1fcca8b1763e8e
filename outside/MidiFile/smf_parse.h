// Reading a standard MIDI file held in memory: the header chunk and every
// track chunk, with running status, meta events and system-exclusive
// events. Only what a tempo map needs reaches the handler: the header, the
// tempo events and the time signatures; note and controller data and
// system-exclusive messages are stepped over.
#pragma once

#include <cstddef>
#include <cstdint>

enum SmfResult : int32_t {
  kSmfOk = 0,
  kSmfNotMidi = 1,    // no header chunk, a short one, format 2 or above, or a time-code division
  kSmfTrackCut = 2,   // a chunk runs past the end of the data; its events up to there were read
  kSmfBadEvent = 3,   // a damaged event (data byte without status, an undefined status,
                      // an over-long length); the rest of that track was left out
  kSmfStopped = 51,   // the handler stopped the read
};

struct SmfHeader {
  uint16_t Format;    // 0: one track, 1: tracks played together
  uint16_t Tracks;    // track chunks announced
  uint16_t Division;  // ticks per quarter note (may be 0; the handler judges)
};

// The handler's answers: 0 to go on, anything else stops the read.
class SmfHandler {
 public:
  virtual ~SmfHandler() = default;
  virtual int Header(const SmfHeader& header) = 0;
  // Tick: from the start of the track, saturated at 0x7FFFFFFF.
  virtual int Tempo(int32_t tick, uint32_t usPerQuarter) = 0;
  // The denominator as the file holds it: a power of two's exponent.
  virtual int TimeSignature(int32_t tick, uint8_t num, uint8_t denPower) = 0;
};

// Reads size bytes at data. Tracks are read in file order and the events of
// each track in time order; a damaged track ends at the damage and the next
// track is still read, its result the worst seen.
SmfResult SmfParse(const uint8_t* data, size_t size, SmfHandler& handler);
