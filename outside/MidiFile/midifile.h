// The interface of the MidiFile library: MidiReadFile reads a standard MIDI
// file and hands its header, tempo and time-signature events to callbacks
// of the caller; MidiGetErr gives the text of a result code.
//
// The records are laid out for the 32-bit program; in a 64-bit build the
// two pointers and the callback slots are wider, the rest alike (both sides
// are built together).
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#define MIDIFILE_CALL __cdecl
#else
#define MIDIFILE_CALL
#endif

// Results of MidiReadFile.
enum : int32_t {
  kMidiOk = 0,
  kMidiNotReadable = 1,  // no file, not a standard MIDI file, or a form it cannot read
  kMidiTrackCut = 2,     // a track runs past the end of the file; what came before was read
  kMidiBadEvent = 3,     // a track holds a damaged event; its track ended there
  kMidiStopped = 51,     // a callback stopped the read
};

// The event handed to a callback. A header event carries the file's time
// division in ticks per quarter note; a tempo event its tick and
// microseconds per quarter; a time-signature event its tick, the numerator
// and the denominator as a note value (4 = quarter).
struct MidiEventRec {
  uint8_t Reserved0[24];
  uint16_t Division;  // 24: header
  uint8_t Reserved1[10];
  int32_t Tick;  // 36: ticks from the start of the track, at least 0
  uint8_t Reserved2[4];
  union {
    uint32_t UsPerQuarter;  // 44: tempo
    struct {
      uint8_t Num;  // 44: time signature
      uint8_t Den;  // 45
    } Meter;
  };
};
static_assert(offsetof(MidiEventRec, Division) == 24);
static_assert(offsetof(MidiEventRec, Tick) == 36);
static_assert(offsetof(MidiEventRec, UsPerQuarter) == 44);
static_assert(sizeof(MidiEventRec) == 48);

// A callback returns 0 to go on or kMidiStopped to end the read.
using MidiCallback = int32_t(MIDIFILE_CALL*)(MidiEventRec* event);

// The callback table: a slot per event kind; the library calls the three
// named ones and leaves the rest, which callers keep at 0.
struct MidiCallbackTable {
  MidiCallback Reserved0[4];
  MidiCallback Header;  // 68
  MidiCallback Reserved1[6];
  MidiCallback TimeSignature;  // 96
  MidiCallback Reserved2;
  MidiCallback Tempo;  // 104
  MidiCallback Reserved3[4];
};

struct MidiReadParams {
  MidiCallbackTable* Callbacks;  // 0: normally &Table
  const char* Path;              // 4: the file to read
  uint8_t Reserved0[18];
  uint16_t Mode;  // 26: the program passes 4096; the library reads files the same whatever it holds
  uint8_t Reserved1[24];
  MidiCallbackTable Table;  // 52..123
};
static_assert(sizeof(void*) != 4 || offsetof(MidiReadParams, Mode) == 26);
static_assert(sizeof(void*) != 4 || offsetof(MidiReadParams, Table) == 52);
static_assert(sizeof(void*) != 4 || offsetof(MidiReadParams, Table.Header) == 68);
static_assert(sizeof(void*) != 4 || offsetof(MidiReadParams, Table.TimeSignature) == 96);
static_assert(sizeof(void*) != 4 || offsetof(MidiReadParams, Table.Tempo) == 104);
static_assert(sizeof(void*) != 4 || sizeof(MidiReadParams) == 124);

// Size of the text buffer MidiGetErr fills, NUL included.
constexpr size_t kMidiErrTextSize = 256;

using MidiReadFileFn = int32_t(MIDIFILE_CALL*)(MidiReadParams* params);
using MidiGetErrFn = void(MIDIFILE_CALL*)(MidiReadParams* params, char* text, int32_t code);

extern "C" {
int32_t MIDIFILE_CALL MidiReadFile(MidiReadParams* params);
// Writes the text of code into text (kMidiErrTextSize characters).
void MIDIFILE_CALL MidiGetErr(MidiReadParams* params, char* text, int32_t code);
}
