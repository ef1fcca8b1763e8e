// Building a tempo map from a standard MIDI file through the MidiFile
// library.
#pragma once

#include "mixer/model/tempomap.h"
#include "outside/MidiFile/midifile.h"

// The two entry points of the library.
struct MidiFileApi {
  MidiReadFileFn ReadFile;
  MidiGetErrFn GetErr;
};

// Reads the file's resolution, tempo and time-signature events into a new
// map, completed from the project tempo and meter. No map, and no message,
// when memory runs out or the file's resolution is 0 (or never given); a
// library error is shown as "Warning: " and its text, and gives no map when
// the file could not be read at all, else a map of what was read.
TempoMapRec* ImportTempoMapWith(const MidiFileApi& api, const char* path);

// The same through the MidiFile library loaded by name (Windows layer); 0
// when the library or its entry points are missing.
TempoMapRec* ImportTempoMap(const char* path);
